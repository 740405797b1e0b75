// The CRT-free start of tamsel.exe: command line -> argv -> main -> ExitProcess.
#include "../tamsel.h"
#include "cmdline.h"

static bool IsLeadByte[256];
static char ProgramPath[260];

static void ReportStartFailure(const char* text) {
    DWORD written;
    WriteFile(GetStdHandle(STD_ERROR_HANDLE), text, TextLength(text), &written, nullptr);
}

int RunTamsel() {
    if (!ReadLeadBytes(IsLeadByte)) ReportStartFailure(NoCodePage);  // goes on without them
    GetModuleFileNameA(nullptr, ProgramPath, sizeof ProgramPath);    // argv[0]; never read
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

// Windows enters here with only 4-byte stack alignment; the compiler assumes 16.
extern "C" __attribute__((force_align_arg_pointer, noreturn)) void TamselStart() {
    ExitProcess(RunTamsel());
}
