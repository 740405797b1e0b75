// The standard-input mode: up to StdinLimit bytes of standard input, unchanged, to the clipboard.
#include "messages.h"
#include "tamsel.h"

// Every read lands here first; static, so that 8 KB never sits on the stack.
static char ReadChunk[StdinLimit];

// Ctrl+C or Ctrl+Break while text is typed at the console must leave the clipboard alone: the
// user aborted. The system's default handling ends the process, but only after the read has
// returned 0 bytes, from a thread it starts for that. Up to Windows 7 the read also leaves
// ERROR_OPERATION_ABORTED, and Tamsel ends at once as that handling would. Since Windows 8 it
// does not, so the interrupted read looks just like Ctrl+Z, Enter: at a console, an end of input
// first waits this long for the default handling, and only a run still alive after it goes on
// to the hand-off. Pipes and files end without waiting.
constexpr DWORD ConsoleInterruptWait = 500;

static bool IsConsole(HANDLE input) {
    DWORD mode;
    return GetConsoleMode(input, &mode) != 0;
}

int CopyStandardInput() {
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    if (input == INVALID_HANDLE_VALUE) return 1;
    // Only Cancel stops here; a prompt that could not be shown still lets a pipe through.
    if (ShowMessage(StdinPrompt, 0) == IDCANCEL) return 0;

    HGLOBAL block;
    char* text = AllocateTextBlock(StdinLimit + 1, &block);
    if (!text) {
        ShowMessage(StdinAllocationError, 0);
        return 1;
    }
    // total counts every byte consumed, zero bytes included; end is where the next kept byte
    // goes. A zero byte would end the clipboard text early, so each one alone is dropped.
    DWORD total = 0;
    DWORD end = 0;
    while (total < StdinLimit) {  // the rest stays unread for whoever reads next
        DWORD got;
        SetLastError(0);  // an error left by an earlier call is not this read's
        BOOL read = ReadFile(input, ReadChunk, StdinLimit - total, &got, nullptr);
        if (!read || got == 0) {
            if (GetLastError() == ERROR_OPERATION_ABORTED) {
                return static_cast<int>(STATUS_CONTROL_C_EXIT);
            }
            if (read && IsConsole(input)) Sleep(ConsoleInterruptWait);
            // A failed read (a broken pipe, a null handle) ends the input like a read of 0 bytes.
            break;
        }
        total += got;
        for (DWORD i = 0; i < got; ++i) {
            if (ReadChunk[i] != 0) text[end++] = ReadChunk[i];
        }
    }
    return PublishTextBlock(block) ? 0 : 1;
}
