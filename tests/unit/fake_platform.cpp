// The fake KERNEL32/USER32 for the host tests. What Windows demands of every run is checked here,
// once: a breach is noted, and a test fails on any.
#include "fake_platform.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "../../src/messages.h"
#include "../../src/tamsel.h"

FakeScript script;
FakeState fake;
const Clipboard EarlierClipboard = {{1, "earlier"}, {0xC0DE, "private"}};

namespace {

const HANDLE StdoutHandle = reinterpret_cast<HANDLE>(0x18);
const HANDLE StderrHandle = reinterpret_cast<HANDLE>(0x20);
const uintptr_t FirstBlock = 0x1000;

struct Block {
    UINT flags;
    std::vector<char> bytes;
    int locks = 0;
    bool everLocked = false;
};
std::vector<Block> blocks;
// Never destroyed: the tool's heap blocks live for the whole run, so they stay reachable until
// the leak checkers look at exit.
std::vector<void*>& heapBlocks = *new std::vector<void*>;

void Breach(const std::string& what) {
    fake.breaches.push_back(what);
}

Block* Find(HANDLE handle) {
    uintptr_t index = reinterpret_cast<uintptr_t>(handle) - FirstBlock;
    return index < blocks.size() ? &blocks[index] : nullptr;
}

// Whether the console holds input events: the rest of a line a read took is none.
bool EventsWaiting() {
    return script.reads.size() > (fake.lineTaken ? 1u : 0u);
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
    fake.clipboard = EarlierClipboard;
    blocks.clear();
    for (void* p : heapBlocks) std::free(p);
    heapBlocks.clear();
    std::memset(MessageText, 0, sizeof MessageText);
    ArgumentsCodePage = 0;  // CP_ACP, as a process starts with it
}

std::string Unread() {
    std::string rest;
    for (const FakeRead& read : script.reads) rest += read.bytes;
    for (const std::string& piece : script.late) rest += piece;
    return rest;
}

std::string Breaches() {
    std::string all;
    for (const std::string& breach : fake.breaches) all += breach + "; ";
    if (fake.clipboardOpen != 0) all += "the clipboard is left open";
    return all;
}

Clipboard Handed(const std::string& text, UINT format, const std::string& unicode) {
    Clipboard handed = {{format, text}, {16, std::string("\x07\x04\0\0", 4)}};
    if (!unicode.empty()) handed.insert(handed.begin() + 1, {13, unicode});
    return handed;
}

extern "C" {

int MessageBoxA(HWND owner, const char* text, const char* caption, UINT type) {
    // Windows XP has been reported to show no box under the manifest until comctl32.dll is loaded.
    if (!script.windows9x && script.windowsVersion == 0x0501 && !fake.commonControls) return 0;
    if (owner != nullptr || text != MessageText || std::strcmp(caption, "Tamsel") != 0) {
        Breach("a box with an owner, another buffer or caption");
    }
    char typeText[16];
    std::snprintf(typeText, sizeof typeText, "0x%x ", type);
    fake.dialogs.push_back(typeText + std::string(text));
    int answer = 1;  // IDOK
    if (!script.dialogAnswers.empty()) {
        answer = script.dialogAnswers.front();
        script.dialogAnswers.pop_front();
    }
    if (type & 1) fake.answered = true;  // MB_OKCANCEL
    return answer;
}

int wsprintfA(char* out, const char* format, ...) {
    if (out != MessageText) Breach("wsprintfA into another buffer");
    va_list values;
    va_start(values, format);
    int length = std::vsnprintf(out, 1024, format, values);
    va_end(values);
    return length;
}

BOOL OpenClipboard(HWND owner) {
    if (owner != nullptr) Breach("the clipboard opened for a window");
    if (fake.now < script.clipboardBusyMs) return 0;
    ++fake.clipboardOpen;
    return 1;
}

BOOL EmptyClipboard(void) {
    if (fake.clipboardOpen == 0) return 0;
    fake.clipboard.clear();
    return 1;
}

// A text format keeps its bytes up to the zero byte (CF_TEXT 1, CF_OEMTEXT 7) or the zero UTF-16
// unit (CF_UNICODETEXT 13); any other format all the block's bytes.
HANDLE SetClipboardData(UINT format, HANDLE data) {
    Block* block = Find(data);
    if (!block || !block->everLocked || block->locks != 0) {
        Breach("a block handed to the clipboard unknown, never filled or still locked");
    } else if ((block->flags & 0x2042) != 0x2042) {  // GMEM_MOVEABLE, ZEROINIT, DDESHARE
        Breach("a block handed to the clipboard fixed, not zero-filled or not shareable");
    }
    if (script.setDataFails || fake.clipboardOpen == 0 || !block) return nullptr;
    std::string bytes(block->bytes.begin(), block->bytes.end());
    size_t zero = format == 13 ? bytes.find(std::string(2, '\0')) : bytes.find('\0');
    while (format == 13 && zero % 2 != 0) zero = bytes.find(std::string(2, '\0'), zero + 1);
    if (format == 1 || format == 7 || format == 13) {
        bytes = zero == std::string::npos ? "unterminated text" : bytes.substr(0, zero);
    }
    fake.clipboard.emplace_back(format, bytes);
    return data;
}

BOOL CloseClipboard(void) {
    if (fake.clipboardOpen == 0) return 0;
    --fake.clipboardOpen;
    return 1;
}

// The documented numbers, not the tool's own constants: -10 input, -11 output, -12 error.
HANDLE GetStdHandle(DWORD which) {
    int number = static_cast<int>(which);
    return number == -10   ? script.stdinHandle
           : number == -11 ? StdoutHandle
           : number == -12 ? StderrHandle
                           : nullptr;
}

// ReadFile and ReadConsoleA both play the input, as a pipe, a file or a console would; but since
// Windows 8 a console's ReadFile that Ctrl+C cut (995) just returns nothing, as at the end.
static BOOL PlayRead(HANDLE file, void* buffer, DWORD size, DWORD* done, void* extra,
                     bool consoleReadFile = false) {
    if (file != script.stdinHandle || extra != nullptr) Breach("a read of another handle");
    if (!fake.answered) Breach("a read before the prompt was answered");
    if (size > 8192) Breach("a read larger than Tamsel's buffer");
    if (fake.emptyPipeAt == fake.now) Breach("a busy loop on an empty pipe");
    fake.readSizes.push_back(size);
    if (file == nullptr) {     // a process started without standard input
        script.lastError = 6;  // ERROR_INVALID_HANDLE
        return 0;
    }
    if (script.reads.empty()) {
        if (script.console) Breach("a console read after the last line: it would wait forever");
        *done = 0;
        if (!script.console && !script.file) script.lastError = 109;  // ERROR_BROKEN_PIPE
        return script.console || script.file;
    }
    FakeRead read = script.reads.front();
    script.reads.pop_front();
    if (read.error != 0 && !(consoleReadFile && read.error == 995)) script.lastError = read.error;
    fake.emptyPipeAt = read.error == 232 ? fake.now : ~0u;  // ERROR_NO_DATA
    fake.lineTaken = false;
    bool messageCut = script.messagePipe && read.bytes.size() > size;
    if (read.ok && read.bytes.size() > size && script.console && script.oldConsoleHost) {
        // What fits, less room for the line's end (CR LF); the rest of the line is lost.
        std::string end = read.bytes.substr(read.bytes.size() - 2);
        read.bytes = (read.bytes.substr(0, size - std::min<DWORD>(size, 2)) + end).substr(0, size);
    } else if (read.ok && read.bytes.size() > size) {
        script.reads.push_front({true, read.bytes.substr(size)});
        read.bytes.resize(size);
        fake.lineTaken = script.console && (script.consoleMode & 2);  // ENABLE_LINE_INPUT
    }
    if (messageCut) read.ok = false, script.lastError = 234;    // ERROR_MORE_DATA
    std::memcpy(buffer, read.bytes.data(), read.bytes.size());  // a failed read leaves them too
    if (consoleReadFile && read.error == 995) read = {true, ""};
    bool stored = read.ok || messageCut;
    if (!read.countUntouched) *done = stored ? static_cast<DWORD>(read.bytes.size()) : 0;
    return read.ok;
}

BOOL ReadFile(HANDLE file, void* buffer, DWORD size, DWORD* done, void* overlapped) {
    return PlayRead(file, buffer, size, done, overlapped, script.console);
}

BOOL ReadConsoleA(HANDLE input, void* buffer, DWORD size, DWORD* done, void* control) {
    if (!script.console) Breach("ReadConsoleA of what is not a console");
    return PlayRead(input, buffer, size, done, control);
}

// Keeps the rest of a line a read took in part. A handle without write access may not flush.
BOOL FlushConsoleInputBuffer(HANDLE input) {
    if (!script.console || input != script.stdinHandle) Breach("a flush of no console");
    if (script.readOnlyConsole) return script.lastError = 5, 0;  // ERROR_ACCESS_DENIED
    while (EventsWaiting()) script.reads.pop_back();
    fake.quietSince = fake.now;
    return 1;
}

// Takes the events of the first piece waiting, one a character, at most length of them.
BOOL ReadConsoleInputA(HANDLE input, void* records, DWORD length, DWORD* read) {
    if (!script.console || input != script.stdinHandle) Breach("input events of no console");
    if (script.eventReadFails) return 0;
    if (!EventsWaiting()) return Breach("ReadConsoleInputA with no events: it would wait"), 0;
    std::string& events = script.reads[fake.lineTaken ? 1 : 0].bytes;
    *read = std::min<DWORD>(length, static_cast<DWORD>(events.size()));
    std::memset(records, 0, *read * 20);  // an INPUT_RECORD is 20 bytes
    events.erase(0, *read);
    if (events.empty()) script.reads.erase(script.reads.begin() + (fake.lineTaken ? 1 : 0));
    fake.quietSince = fake.now;
    return 1;
}

// A late piece of a paste arrives 50 ms after the input was last emptied: a wait too short
// misses it. A wait that keeps finding events spins, as it would on Windows.
DWORD WaitForSingleObject(HANDLE object, DWORD milliseconds) {
    if (object != script.stdinHandle || milliseconds > 1000) Breach("a wait too long or for more");
    if (script.waitFails) return 0xFFFFFFFF;  // WAIT_FAILED
    DWORD arrival = fake.quietSince + 50;
    if (!EventsWaiting() && !script.late.empty() && arrival <= fake.now + milliseconds) {
        fake.now = std::max(fake.now, arrival);
        script.reads.push_back({true, script.late.front()});
        script.late.pop_front();
    }
    if (!EventsWaiting()) return fake.now += milliseconds, 258;  // WAIT_TIMEOUT
    if (++fake.signalledWaits <= 1000) return 0;                 // WAIT_OBJECT_0
    Breach("a wait that finds input events forever: they are never taken away");
    return 258;
}

UINT GetConsoleCP(void) {
    return script.consoleCodePage;
}

UINT GetOEMCP(void) {
    return script.oemCodePage;
}

UINT GetACP(void) {
    return script.ansiCodePage;
}

// Code page 437 as far as "Grüße" needs it (0x81 ü, 0xE1 ß), and an ANSI code page (0, CP_ACP)
// of 1252 or 932 a unit a byte, as ASCII and 1252's ü and ß are; zero-terminated (size -1), as
// UTF-16LE. Any other code page fails as one that Windows lacks (87, ERROR_INVALID_PARAMETER),
// and so does a wideSize too small for all of it.
int MultiByteToWideChar(UINT codePage, DWORD flags, const char* text, int size, WCHAR* wide,
                        int wideSize) {
    if (flags != 0 || size != -1) Breach("a conversion Tamsel never needs");
    int n = static_cast<int>(std::strlen(text)) + 1;
    if (codePage == 0) codePage = script.ansiCodePage;
    bool ansi = codePage == script.ansiCodePage && (codePage == 1252 || codePage == 932);
    if ((codePage != 437 && !ansi) || n > wideSize) return script.lastError = 87, 0;
    for (int i = 0; i < n; ++i) {
        unsigned char c = text[i];
        wide[i] = ansi ? c : c == 0x81 ? 0xFC : c == 0xE1 ? 0xDF : c;
    }
    return n;
}

LCID GetSystemDefaultLCID(void) {
    return script.systemLocale;
}

DWORD GetLastError(void) {
    return script.lastError;
}

void SetLastError(DWORD error) {
    script.lastError = error;
}

DWORD GetVersion(void) {  // Windows 98 (4.10), or the version scripted, build 7601
    WORD version = script.windowsVersion;
    return script.windows9x ? 0xC0000A04 : 0x1DB10000 | (version & 0xFF) << 8 | version >> 8;
}

DWORD GetFileType(HANDLE file) {
    if (file != script.stdinHandle || !file) return 0;  // FILE_TYPE_UNKNOWN
    return script.console ? 2 : script.file ? 1 : 3;    // CHAR, DISK, PIPE
}

// A pipe is there while its writer is: until its input runs out.
BOOL PeekNamedPipe(HANDLE pipe, void* buffer, DWORD size, DWORD*, DWORD*, DWORD*) {
    if (GetFileType(pipe) != 3 || buffer || size) Breach("a peek at no pipe, or taking bytes");
    return script.reads.empty() ? script.lastError = 109, 0 : 1;
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
        Breach("a write to another handle than standard error");
    }
    *done = size;
    return 1;
}

// Without GMEM_ZEROINIT (0x40) the bytes are garbage: a tool relying on zeros shows it.
HGLOBAL GlobalAlloc(UINT flags, SIZE_T size) {
    if (script.globalAllocsBeforeFailure == 0) return nullptr;
    if (script.globalAllocsBeforeFailure > 0) --script.globalAllocsBeforeFailure;
    blocks.push_back({flags, std::vector<char>(size, (flags & 0x40) ? 0 : '?')});
    return reinterpret_cast<HGLOBAL>(FirstBlock + blocks.size() - 1);
}

void* GlobalLock(HGLOBAL handle) {
    Block* block = Find(handle);
    if (!block) Breach("a lock of no block");
    if (script.lockFails || !block) return nullptr;
    ++block->locks;
    block->everLocked = true;
    return block->bytes.data();
}

BOOL GlobalUnlock(HGLOBAL handle) {
    Block* block = Find(handle);
    if (!block || block->locks == 0) {
        Breach("an unlock of no locked block");
        return 0;
    }
    return --block->locks > 0;
}

char* lstrcatA(char* dest, const char* source) {
    return std::strcat(dest, source);
}

void Sleep(DWORD milliseconds) {
    fake.now += milliseconds;
}

// Windows' best fit in the ANSI code page as far as the rows need it: 1252's upper half, ASCII for
// its fullwidth forms and U+3000, a backslash for 932's yen sign, else '?'.
static char BestFit(char16_t unit) {
    bool cp1252 = script.ansiCodePage == 1252;
    if (unit < 0x80 || (cp1252 && unit < 0x100)) return static_cast<char>(unit);
    if (cp1252 && unit >= 0xFF01 && unit <= 0xFF5E) return static_cast<char>(unit - 0xFEE0);
    return cp1252 && unit == 0x3000 ? ' ' : script.ansiCodePage == 932 && unit == 0xA5 ? '\\' : '?';
}

char* GetCommandLineA(void) {  // made of the Unicode line where one is scripted, as Windows does
    if (!script.wideCommandLine.empty()) script.commandLine.clear();
    for (char16_t unit : script.wideCommandLine) script.commandLine += BestFit(unit);
    return const_cast<char*>(script.commandLine.c_str());
}

WCHAR* GetCommandLineW(void) {
    if (script.windows9x) Breach("GetCommandLineW on Windows 98, where it is made of the ANSI one");
    fake.wideLine = script.wideCommandLine;
    if (fake.wideLine.empty()) {  // as CreateProcessA makes it: the ANSI line converted
        for (unsigned char c : script.commandLine) fake.wideLine += c;
    }
    return reinterpret_cast<WCHAR*>(fake.wideLine.data());
}

DWORD GetModuleFileNameA(HANDLE, char* path, DWORD size) {
    std::snprintf(path, size, "C:\\tools\\tamsel.exe");
    return static_cast<DWORD>(std::strlen(path));
}

// Before Windows XP no manifest sends a DLL's name to WinSxS: the current folder can plant one.
HANDLE LoadLibraryA(const char* name) {
    if (script.windows9x || script.windowsVersion < 0x0501) Breach("a DLL by name before XP");
    fake.commonControls = std::strcmp(name, "comctl32.dll") == 0;
    return nullptr;  // the start-up goes on without it
}

// The ANSI code page (0, CP_ACP, or its number) has the lead-byte pairs scripted, UTF-8 none
// and 4 bytes a character, any other code page neither. The pairs end with a 0,0 pair; what
// follows it is left as garbage that would mark 0x80 to 0xFE as lead bytes if it were read.
BOOL GetCPInfo(UINT codePage, CPINFO* info) {
    if (script.codePageFails) return 0;
    if (codePage == 0) codePage = script.ansiCodePage;
    size_t n = codePage == script.ansiCodePage ? script.leadRanges.size() : 0;
    std::memset(info, 0x80, sizeof *info);
    info->MaxCharSize = n ? 2 : codePage == 65001 ? 4 : 1;
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
