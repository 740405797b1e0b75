// The CRT-free start of tamsel.exe: command line -> argv -> main -> ExitProcess.
#include "start.h"

#include "../tamsel.h"
#include "../unicode.h"
#include "cmdline.h"

static bool IsLeadByte[256];
static char ProgramPath[260];

static void ReportStartFailure(const char* text) {
    DWORD written;
    WriteFile(GetStdHandle(STD_ERROR_HANDLE), text, TextLength(text), &written, nullptr);
}

// On Windows of the NT line the command line is Unicode, and the ANSI one is a lossy copy:
// '?' for a character the ANSI code page lacks, and a look-alike where its best-fit table has one,
// so that a fullwidth quote, an ideographic space or (under 932) a yen sign would split the line
// where the user wrote no separator. Where the two differ in any unit, the Unicode line is split
// instead, as UTF-8: a quote, a backslash, a blank or a tab never occurs inside a UTF-8 sequence,
// so the same rules hold, with no lead bytes. Windows 95, 98 and Me have no Unicode command line.
// Returns the line to split and sets ArgumentsCodePage to its code page; null when memory ran out.
static const char* CommandLine() {
    const char* ansi = GetCommandLineA();
    ArgumentsCodePage = CP_ACP;
    if (!MakesTextOfUnicode()) return ansi;
    const WCHAR* wide = GetCommandLineW();
    DWORD bytes = TextLength(ansi) + 1, units = 0;
    while (wide[units]) ++units;
    // One buffer: first the ANSI line made Unicode again (a unit a byte at most), then the UTF-8.
    SIZE_T size = bytes * sizeof(WCHAR) > units * 3 + 1 ? bytes * sizeof(WCHAR) : units * 3 + 1;
    void* buffer = HeapAlloc(GetProcessHeap(), 0, size);
    if (!buffer) return nullptr;
    // Unit by unit: lstrcmpW would compare linguistically. A line that cannot be made Unicode
    // again is split as it is.
    WCHAR* again = static_cast<WCHAR*>(buffer);
    if (!MultiByteToWideChar(CP_ACP, 0, ansi, -1, again, bytes)) return ansi;
    DWORD i = 0;
    while (again[i] == wide[i] && wide[i]) ++i;
    if (again[i] == wide[i]) return ansi;
    EncodeUtf8(wide, static_cast<char*>(buffer));
    for (int c = 0; c < 256; ++c) IsLeadByte[c] = false;
    ArgumentsCodePage = CP_UTF8;
    return static_cast<char*>(buffer);
}

int RunTamsel() {
    if (!ReadLeadBytes(CP_ACP, IsLeadByte)) ReportStartFailure(NoCodePage);  // goes on without them
    GetModuleFileNameA(nullptr, ProgramPath, sizeof ProgramPath);            // argv[0]; never read
    int argc;
    char** argv;
    const char* line = CommandLine();
    const char* failure =
        line ? SplitCommandLine(line, IsLeadByte, ProgramPath, &argc, &argv) : NoCopySpace;
    if (failure) {
        ReportStartFailure(failure);
        return 1;
    }
    return main(argc, argv);
}

// Windows enters here with the stack aligned to 4 bytes only. That is all either compiler
// assumes as tamsel.exe is built (GCC through -mpreferred-stack-boundary=2, Clang always for
// 32-bit Windows), so nothing needs realigning.
extern "C" __attribute__((noreturn)) void TamselStart() {
    // The manifest asks for the common controls 6, and on Windows XP a message box has been
    // reported not to show under such a manifest until comctl32.dll is loaded: loaded here, once,
    // before any box. From XP on, the manifest sends that load to the common controls 6 in WinSxS.
    // Before XP nothing does: the loader would search the exe's folder and then the current one
    // before the system's, so a comctl32.dll left where the user types tamsel would run inside
    // Tamsel, and no box needs it there. Result ignored: the run goes on either way.
    DWORD version = GetVersion();
    if (((version & 0xFF) << 8 | (version >> 8 & 0xFF)) >= 0x0501) LoadLibraryA("comctl32.dll");
    ExitProcess(RunTamsel());
}
