// The CRT-free start of tamsel.exe: command line -> argv -> main -> ExitProcess.
#include "start.h"

#include "../tamsel.h"
#include "cmdline.h"

static bool IsLeadByte[256];
static char ProgramPath[260];

static void ReportStartFailure(const char* text) {
    DWORD written;
    WriteFile(GetStdHandle(STD_ERROR_HANDLE), text, TextLength(text), &written, nullptr);
}

int RunTamsel() {
    if (!ReadLeadBytes(CP_ACP, IsLeadByte)) ReportStartFailure(NoCodePage);  // goes on without them
    GetModuleFileNameA(nullptr, ProgramPath, sizeof ProgramPath);            // argv[0]; never read
    int argc;
    char** argv;
    const char* failure =
        SplitCommandLine(GetCommandLineA(), IsLeadByte, ProgramPath, &argc, &argv);
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
    // reported not to show under such a manifest until comctl32.dll is loaded. Loaded here, once,
    // before any box. Result ignored: the run goes on either way.
    LoadLibraryA("comctl32.dll");
    ExitProcess(RunTamsel());
}
