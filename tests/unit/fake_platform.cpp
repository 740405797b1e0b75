// The fake KERNEL32/USER32 for the host tests. Calls made with arguments the tool must never
// pass (an owner window, a foreign buffer, another handle) are logged as BAD so that any
// expected log fails on them.
#include "fake_platform.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "../../src/messages.h"

FakeScript script;
FakeState fake;

namespace {

const HANDLE StdoutHandle = reinterpret_cast<HANDLE>(0x18);
const HANDLE StderrHandle = reinterpret_cast<HANDLE>(0x20);
const uintptr_t FirstBlock = 0x1000;

std::vector<std::unique_ptr<std::vector<char>>> blocks;
// Never destroyed: the tool's heap blocks live for the whole run, so they stay reachable until
// the leak checkers look at exit.
std::vector<void*>& heapBlocks = *new std::vector<void*>;

void Log(const std::string& line) {
    fake.calls.push_back(line);
}

std::string Escape(const char* text) {
    std::string out;
    for (; *text; ++text) {
        if (*text == '\n') {
            out += "\\n";
        } else if (*text == '\r') {
            out += "\\r";
        } else {
            out += *text;
        }
    }
    return out;
}

std::vector<char>* Block(HANDLE handle) {
    uintptr_t index = reinterpret_cast<uintptr_t>(handle) - FirstBlock;
    return index < blocks.size() ? blocks[index].get() : nullptr;
}

bool LastBlock(HANDLE handle) {
    return !blocks.empty() && Block(handle) == blocks.back().get();
}

bool HeapFails() {
    if (script.heapAllocsBeforeFailure == 0) return true;
    if (script.heapAllocsBeforeFailure > 0) --script.heapAllocsBeforeFailure;
    return false;
}

}  // namespace

void ResetFake() {
    script = FakeScript();
    fake = FakeState();
    blocks.clear();
    for (void* p : heapBlocks) std::free(p);
    heapBlocks.clear();
    std::memset(MessageText, 0, sizeof MessageText);
}

std::string CallLog() {
    std::string log;
    for (const std::string& call : fake.calls) log += (log.empty() ? "" : "; ") + call;
    return log;
}

std::string LastBlockBytes() {
    return blocks.empty() ? std::string()
                          : std::string(blocks.back()->begin(), blocks.back()->end());
}

extern "C" {

int MessageBoxA(HWND owner, const char* text, const char* caption, UINT type) {
    bool sound = owner == nullptr && text == MessageText && std::strcmp(caption, "Tamsel") == 0;
    char typeText[16];
    std::snprintf(typeText, sizeof typeText, "0x%x", type);
    Log(sound ? "MessageBoxA(" + std::string(typeText) + ", \"" + Escape(text) + "\")"
              : "MessageBoxA(BAD owner, buffer or caption)");
    if (script.dialogAnswers.empty()) return 1;  // IDOK
    int answer = script.dialogAnswers.front();
    script.dialogAnswers.pop_front();
    return answer;
}

int wsprintfA(char* out, const char* format, ...) {
    if (out != MessageText) Log("wsprintfA(BAD buffer)");
    va_list values;
    va_start(values, format);
    int length = std::vsnprintf(out, 1024, format, values);
    va_end(values);
    return length;
}

BOOL OpenClipboard(HWND owner) {
    Log(owner == nullptr ? "OpenClipboard(null)" : "OpenClipboard(BAD owner)");
    if (script.openFailures > 0) {
        --script.openFailures;
        return 0;
    }
    ++fake.clipboardOpen;
    return 1;
}

BOOL EmptyClipboard(void) {
    Log("EmptyClipboard");
    if (fake.clipboardOpen == 0) return 0;
    fake.clipboard.clear();
    fake.clipboardSet = false;
    return 1;
}

HANDLE SetClipboardData(UINT format, HANDLE data) {
    Log(LastBlock(data) ? "SetClipboardData(" + std::to_string(format) + ")"
                        : "SetClipboardData(BAD handle)");
    if (script.setDataFails || fake.clipboardOpen == 0 || !LastBlock(data)) return nullptr;
    const std::vector<char>& block = *Block(data);
    const char* zero = static_cast<const char*>(std::memchr(block.data(), 0, block.size()));
    fake.clipboard = zero ? std::string(block.data(), zero) : "BAD unterminated block";
    fake.clipboardSet = true;
    fake.unlockedWhenSet = fake.locks == 0;
    return data;
}

BOOL CloseClipboard(void) {
    Log("CloseClipboard");
    if (fake.clipboardOpen == 0) return 0;
    --fake.clipboardOpen;
    return 1;
}

// The documented numbers, not the tool's own constants: -10 input, -11 output, -12 error.
HANDLE GetStdHandle(DWORD which) {
    int number = static_cast<int>(which);
    Log("GetStdHandle(" + std::to_string(number) + ")");
    return number == -10   ? script.stdinHandle
           : number == -11 ? StdoutHandle
           : number == -12 ? StderrHandle
                           : nullptr;
}

// ReadFile and ReadConsoleA both play the next scripted read.
static BOOL PlayRead(const char* name, HANDLE file, void* buffer, DWORD size, DWORD* done,
                     void* extra) {
    Log(file == script.stdinHandle && extra == nullptr
            ? name + ("(" + std::to_string(size) + ")")
            : name + std::string("(BAD handle or extra argument)"));
    fake.readSizes.push_back(size);
    FakeRead read{true, ""};  // the end of the input once the script has no more
    if (!script.reads.empty()) {
        read = script.reads.front();
        script.reads.pop_front();
    }
    if (read.error != 0) script.lastError = read.error;
    if (read.bytes.size() > size) read.bytes = "BAD read larger than asked";
    std::memcpy(buffer, read.bytes.data(), read.bytes.size());  // a failed read leaves them too
    if (!read.countUntouched) *done = read.ok ? static_cast<DWORD>(read.bytes.size()) : 0;
    return read.ok;
}

BOOL ReadFile(HANDLE file, void* buffer, DWORD size, DWORD* done, void* overlapped) {
    return PlayRead("ReadFile", file, buffer, size, done, overlapped);
}

BOOL ReadConsoleA(HANDLE input, void* buffer, DWORD size, DWORD* done, void* control) {
    if (!script.console) Log("ReadConsoleA(BAD not a console)");
    return PlayRead("ReadConsoleA", input, buffer, size, done, control);
}

BOOL FlushConsoleInputBuffer(HANDLE input) {
    Log(script.console && input == script.stdinHandle ? "FlushConsoleInputBuffer"
                                                      : "FlushConsoleInputBuffer(BAD handle)");
    return 1;
}

UINT GetConsoleCP(void) {
    return script.console ? script.consoleCodePage : 0;
}

UINT GetOEMCP(void) {
    return script.oemCodePage;
}

DWORD GetLastError(void) {
    return script.lastError;
}

void SetLastError(DWORD error) {
    script.lastError = error;
}

BOOL GetConsoleMode(HANDLE handle, DWORD* mode) {
    if (!script.console || handle != script.stdinHandle) return 0;
    *mode = script.consoleMode;
    return 1;
}

BOOL WriteFile(HANDLE file, const void* buffer, DWORD size, DWORD* done, void*) {
    if (file == StderrHandle) {
        fake.stderrBytes.append(static_cast<const char*>(buffer), size);
    } else {
        Log("WriteFile(BAD handle)");
    }
    *done = size;
    return 1;
}

HGLOBAL GlobalAlloc(UINT flags, SIZE_T size) {
    Log("GlobalAlloc(0x" +
        [&] {
            char hex[16];
            std::snprintf(hex, sizeof hex, "%x", flags);
            return std::string(hex);
        }() +
        ", " + std::to_string(size) + ")");
    if (script.allocFails) return nullptr;
    // Without GMEM_ZEROINIT (0x40) the bytes are garbage: a tool relying on zeros shows it.
    blocks.push_back(std::make_unique<std::vector<char>>(size, (flags & 0x40) ? 0 : '?'));
    fake.blockSize = size;
    fake.locks = 0;
    return reinterpret_cast<HGLOBAL>(FirstBlock + blocks.size() - 1);
}

void* GlobalLock(HGLOBAL handle) {
    Log(LastBlock(handle) ? "GlobalLock" : "GlobalLock(BAD handle)");
    if (script.lockFails || !LastBlock(handle)) return nullptr;
    ++fake.locks;
    return Block(handle)->data();
}

BOOL GlobalUnlock(HGLOBAL handle) {
    Log(LastBlock(handle) ? "GlobalUnlock" : "GlobalUnlock(BAD handle)");
    if (fake.locks > 0) --fake.locks;
    return fake.locks > 0;
}

char* lstrcatA(char* dest, const char* source) {
    return std::strcat(dest, source);
}

void Sleep(DWORD milliseconds) {
    Log("Sleep(" + std::to_string(milliseconds) + ")");
}

char* GetCommandLineA(void) {
    return const_cast<char*>(script.commandLine.c_str());
}

DWORD GetModuleFileNameA(HANDLE, char* path, DWORD size) {
    std::snprintf(path, size, "C:\\tools\\tamsel.exe");
    return static_cast<DWORD>(std::strlen(path));
}

// Answers only for code page 0, CP_ACP. The lead-byte pairs end with a 0,0 pair; what follows
// it is left as garbage that would mark 0x80 to 0xFE as lead bytes if it were read.
BOOL GetCPInfo(UINT codePage, CPINFO* info) {
    if (script.codePageFails || codePage != 0) return 0;
    std::memset(info, 0x80, sizeof *info);
    info->MaxCharSize = script.leadRanges.empty() ? 1 : 2;
    size_t n = script.leadRanges.size();
    if (n > 0) std::memcpy(info->LeadByte, script.leadRanges.data(), n);
    if (n + 2 <= MAX_LEADBYTES) {
        info->LeadByte[n] = info->LeadByte[n + 1] = 0;
        if (n + 4 <= MAX_LEADBYTES) info->LeadByte[n + 3] = 0xFE;
    }
    return 1;
}

HANDLE GetProcessHeap(void) {
    return reinterpret_cast<HANDLE>(0x30);
}

// Flags the tool never passes (HEAP_NO_SERIALIZE, HEAP_GENERATE_EXCEPTIONS, ...) fail the call.
void* HeapAlloc(HANDLE, DWORD flags, SIZE_T size) {
    if (flags != 0 || HeapFails()) return nullptr;
    void* p = std::malloc(size);
    heapBlocks.push_back(p);
    return p;
}

void* HeapReAlloc(HANDLE, DWORD flags, void* block, SIZE_T size) {
    if (flags != 0 || HeapFails()) return nullptr;
    void* p = std::realloc(block, size);
    for (void*& known : heapBlocks) {
        if (known == block) known = p;
    }
    return p;
}

void ExitProcess(UINT code) {
    throw FakeExit{code};  // nothing the start-up left behind needs unwinding
}
}
