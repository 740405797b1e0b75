// The standard-input mode: up to StdinLimit bytes of standard input, unchanged, to the clipboard.
#include "messages.h"
#include "tamsel.h"

// Every read lands here first; static, so that 8 KB never sits on the stack.
static char ReadChunk[StdinLimit];

// Ctrl+Z as the first byte of a console read: the typed text ends there.
constexpr char EndOfText = 0x1A;

// What a read ended with: bytes (the count), the end of the input, or Ctrl+C.
constexpr DWORD Interrupted = static_cast<DWORD>(-1);

// Reads at most room bytes into ReadChunk. Returns their count, 0 at the end of the input (or
// a failed read: a broken pipe, a null handle), or Interrupted when Ctrl+C or Ctrl+Break cut a
// console read short. The console's own ReadFile hides that cut since Windows 8, and the
// process may be one that ignores Ctrl+C (start /b), so nothing else would stop the half-typed
// text from reaching the clipboard; ReadConsoleA reports it on every Windows.
static DWORD ReadInput(HANDLE input, bool console, DWORD room) {
    DWORD got = static_cast<DWORD>(-1);  // a count the read never set is no count
    SetLastError(0);                     // an error left by an earlier call is not this read's
    BOOL read = console ? ReadConsoleA(input, ReadChunk, room, &got, nullptr)
                        : ReadFile(input, ReadChunk, room, &got, nullptr);
    if (read && got != 0 && got <= room) return got;
    return GetLastError() == ERROR_OPERATION_ABORTED ? Interrupted : 0;
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
    DWORD mode = 0;
    bool console = GetConsoleMode(input, &mode) != 0;
    // total counts every byte consumed, zero bytes included; end is where the next kept byte
    // goes. A zero byte would end the clipboard text early, so each one alone is dropped.
    DWORD total = 0;
    DWORD end = 0;
    DWORD got = 0;
    while (total < StdinLimit) {
        got = ReadInput(input, console, StdinLimit - total);
        if (got == Interrupted) return static_cast<int>(STATUS_CONTROL_C_EXIT);
        if (got == 0 || (console && ReadChunk[0] == EndOfText)) break;  // else 0x1A is a byte
        total += got;
        for (DWORD i = 0; i < got; ++i) {
            if (ReadChunk[i] != 0) text[end++] = ReadChunk[i];
        }
    }
    // From a pipe or a file the rest stays unread for whoever reads next. At a console that is
    // the shell, which would run the rest of a long paste as commands: the rest of the line the
    // console already took goes first, then the input events still waiting.
    if (console && (mode & ENABLE_LINE_INPUT)) {
        while (got != 0 && ReadChunk[got - 1] != '\n') {
            got = ReadInput(input, console, StdinLimit);
            if (got == Interrupted) return static_cast<int>(STATUS_CONTROL_C_EXIT);
        }
    }
    if (console && total >= StdinLimit) FlushConsoleInputBuffer(input);
    // Typed text comes in the console's code page, by default the OEM one, which CF_TEXT (the
    // ANSI code page) would garble; handed over as CF_OEMTEXT, Windows converts it for every
    // reader. After chcp 1252 it already is ANSI; after chcp 65001 it is UTF-8, which no 8-bit
    // format describes: both stay CF_TEXT.
    UINT format = console && GetConsoleCP() == GetOEMCP() ? CF_OEMTEXT : CF_TEXT;
    return PublishTextBlock(block, format) ? 0 : 1;
}
