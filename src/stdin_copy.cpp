// The standard-input mode: up to StdinLimit bytes of standard input, unchanged, to the clipboard.
#include "messages.h"
#include "tamsel.h"

// Every read lands here first; static, so that 8 KB never sits on the stack.
static char ReadChunk[StdinLimit];

// Ctrl+Z as the first byte of a console read: the typed text ends there.
constexpr char EndOfText = 0x1A;

// How long a console's input must stay quiet before a long paste counts as all there.
constexpr DWORD PasteQuietTime = 100;

// What a read ended with besides a count: Ctrl+C, or a failure that is not the input's end.
constexpr DWORD Interrupted = static_cast<DWORD>(-1);
constexpr DWORD Failed = static_cast<DWORD>(-2);

// Reads at most size bytes into ReadChunk. Returns their count, 0 at the end of the input,
// Interrupted when Ctrl+C or Ctrl+Break cut a console read short, or Failed. The console's own
// ReadFile hides that cut since Windows 8, and the process may be one that ignores Ctrl+C
// (start /b), so nothing else would stop the half-typed text from reaching the clipboard;
// ReadConsoleA reports it on every Windows.
static DWORD ReadInput(HANDLE input, bool console, DWORD size) {
    DWORD got = static_cast<DWORD>(-1);  // a count the read never set is no count
    SetLastError(0);                     // an error left by an earlier call is not this read's
    BOOL read = console ? ReadConsoleA(input, ReadChunk, size, &got, nullptr)
                        : ReadFile(input, ReadChunk, size, &got, nullptr);
    if (read && got != 0 && got <= size) return got;
    DWORD error = GetLastError();
    if (error == ERROR_OPERATION_ABORTED) return Interrupted;
    // A pipe ends by failing so; any other failure would pass a cut text off as the whole.
    if (read || error == ERROR_BROKEN_PIPE || error == ERROR_PIPE_NOT_CONNECTED) return 0;
    return Failed;
}

// Whether a console read of got bytes ended its line: with LF, or, where processed input is
// off, with the CR that Enter then gives alone.
static bool EndsLine(DWORD got, DWORD mode) {
    char last = ReadChunk[got - 1];
    return last == '\n' || (last == '\r' && !(mode & ENABLE_PROCESSED_INPUT));
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
    // total counts every byte taken, zero bytes included; end is where the next kept byte goes.
    // A zero byte would end the clipboard text early, so each one alone is dropped. A pipe or a
    // file is asked for the room left, so that the rest stays unread for whoever reads next. A
    // console is asked for all the buffer holds: hosts before 2023 drop what a line holds beyond
    // the count asked, which would cut a hole into the text; what does not fit is not kept.
    // A process started without standard input (a null handle) copies the empty text.
    DWORD total = 0;
    DWORD end = 0;
    DWORD got = 0;
    while (input && total < StdinLimit) {
        got = ReadInput(input, console, console ? StdinLimit : StdinLimit - total);
        if (got == 0 || got >= Failed || (console && ReadChunk[0] == EndOfText)) break;
        for (DWORD i = 0; i < got && total < StdinLimit; ++i, ++total) {
            if (ReadChunk[i] != 0) text[end++] = ReadChunk[i];
        }
    }
    // At a console whoever reads next is the shell, which would run the rest of a long paste
    // as commands. So the rest of the line the console already took goes first, then the input
    // events waiting, then what still arrives until the input has been quiet for a moment.
    if (console && total >= StdinLimit) {
        while ((mode & ENABLE_LINE_INPUT) && !EndsLine(got, mode)) {
            got = ReadInput(input, console, StdinLimit);
            if (got == 0 || got >= Failed) break;
        }
        if (got < Failed) {
            do {
                FlushConsoleInputBuffer(input);  // result ignored: nothing else would remove it
            } while (WaitForSingleObject(input, PasteQuietTime) == WAIT_OBJECT_0);
        }
    }
    if (got == Interrupted) return static_cast<int>(STATUS_CONTROL_C_EXIT);
    if (got == Failed) return 1;  // the clipboard keeps what it held: the text is not whole
    // Typed text comes in the console's code page, by default the OEM one, which CF_TEXT (the
    // ANSI code page) would garble; handed over as CF_OEMTEXT, Windows converts it for every
    // reader. After chcp 1252 it already is ANSI; after chcp 65001 it is UTF-8, which no 8-bit
    // format describes: both stay CF_TEXT.
    UINT format = console && GetConsoleCP() == GetOEMCP() ? CF_OEMTEXT : CF_TEXT;
    return PublishTextBlock(block, format) ? 0 : 1;
}
