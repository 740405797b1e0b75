// The standard-input mode: up to StdinLimit bytes of standard input, unchanged, to the clipboard.
#include "messages.h"
#include "platform/cmdline.h"
#include "tamsel.h"

// Every read lands here first, input events read away too; static, so that 8 KB never sits on
// the stack.
alignas(4) static char ReadChunk[StdinLimit];

// Ctrl+Z as the first byte of a console read: the typed text ends there.
constexpr char EndOfText = 0x1A;

// How long a console's input must stay quiet before a long paste counts as all there.
constexpr DWORD PasteQuietTime = 100;
// How long to wait before reading again a non-blocking pipe that was empty.
constexpr DWORD EmptyPipeDelay = 10;
// An INPUT_RECORD's size: ReadChunk holds this many console input events.
constexpr DWORD InputRecordSize = 20;

// What a read ended with besides a count: Ctrl+C, or a failure that is not the input's end.
constexpr DWORD Interrupted = static_cast<DWORD>(-1);
constexpr DWORD Failed = static_cast<DWORD>(-2);

// The last two bytes read, the later one low: a line's CR LF may come in two reads.
static WORD LastTwo;
// The lead bytes of the code page last asked about.
static bool IsLeadByte[256];

// Reads at most size bytes into ReadChunk. Returns their count, 0 at the end of the input,
// Interrupted when Ctrl+C or Ctrl+Break cut a console read short, or Failed. The console's own
// ReadFile hides that cut since Windows 8, and the process may be one that ignores Ctrl+C
// (start /b), so nothing else would stop the half-typed text from reaching the clipboard;
// ReadConsoleA reports it on every Windows.
static DWORD ReadInput(HANDLE input, bool console, bool pipe, DWORD size) {
    for (;;) {
        DWORD got = static_cast<DWORD>(-1);  // a count the read never set is no count
        SetLastError(0);                     // an error left by an earlier call is not this read's
        BOOL read = console ? ReadConsoleA(input, ReadChunk, size, &got, nullptr)
                            : ReadFile(input, ReadChunk, size, &got, nullptr);
        DWORD error = read && got != 0 ? 0 : GetLastError();
        // A message pipe's read fails so when the message goes on beyond size, yet delivers.
        if ((read || error == ERROR_MORE_DATA) && got != 0 && got <= size) {
            if (console) {
                BYTE before = got > 1 ? ReadChunk[got - 2] : LastTwo;
                LastTwo = static_cast<WORD>(before << 8 | static_cast<BYTE>(ReadChunk[got - 1]));
            }
            return got;
        }
        if (error == ERROR_OPERATION_ABORTED) return Interrupted;
        // A pipe that delivers nothing took a write of nothing: its writer is still there as long
        // as the pipe is. A file or a console ends so.
        if (read && got == 0) {
            if (pipe && PeekNamedPipe(input, nullptr, 0, nullptr, nullptr, nullptr)) continue;
            return 0;
        }
        // A pipe ends by failing so; any other failure, and a count beyond the room asked for,
        // would pass a cut text off as the whole.
        if (error == ERROR_BROKEN_PIPE || error == ERROR_PIPE_NOT_CONNECTED) return 0;
        // A pipe in non-blocking mode, empty for now. A Cygwin program (Git Bash, MSYS2) that
        // shares the pipe's read end with Tamsel can have switched it so.
        if (error != ERROR_NO_DATA) return Failed;
        Sleep(EmptyPipeDelay);
    }
}

// Whether the last console read ended its line. Enter gives CR LF with processed input, CR alone
// without it (Wine still gives CR LF); a pasted lone LF (Unix line ends) stays inside the line.
static bool EndsLine(DWORD mode) {
    return LastTwo == ('\r' << 8 | '\n') ||
           (!(mode & ENABLE_PROCESSED_INPUT) && static_cast<BYTE>(LastTwo) == '\r');
}

// Where the limit cut the text inside a character, its first bytes alone would paste as a broken
// one: the text then ends before it. Returns the length kept.
static DWORD WholeCharacters(const char* text, DWORD length, UINT codePage, bool cut) {
    if (!cut) return length;
    if (codePage == CP_UTF8) {  // the last lead byte, and whether all its bytes are there
        for (DWORD back = 1; back <= 4 && back <= length; ++back) {
            BYTE c = text[length - back];
            if ((c & 0xC0) == 0x80) continue;
            DWORD bytes = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
            return bytes > back ? length - back : length;
        }
        return length;
    }
    // In a double-byte code page a trail byte may look like a lead byte: count from the start.
    if (ReadLeadBytes(codePage, IsLeadByte) != 2) return length;
    DWORD end = 0;
    while (end < length) end += IsLeadByte[static_cast<BYTE>(text[end])] ? 2 : 1;
    return end > length ? length - 1 : length;
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
    bool pipe = GetFileType(input) == FILE_TYPE_PIPE;
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
        got = ReadInput(input, console, pipe, console ? StdinLimit : StdinLimit - total);
        if (got == 0 || got >= Failed || (console && ReadChunk[0] == EndOfText)) break;
        for (DWORD i = 0; i < got && total < StdinLimit; ++i, ++total) {
            if (ReadChunk[i] != 0) text[end++] = ReadChunk[i];
        }
    }
    // At a console whoever reads next is the shell, which would run the rest of a long paste
    // as commands. So the rest of the line the console already took goes first, then the input
    // events waiting and what still arrives, until the input has been quiet for a moment. A
    // handle opened for reading only (cmd opens tamsel < CON so) may not flush, but may take the
    // events away; where neither works, or the wait fails, the copy goes on.
    if (console && total >= StdinLimit) {
        while ((mode & ENABLE_LINE_INPUT) && !EndsLine(mode)) {
            got = ReadInput(input, console, pipe, StdinLimit);
            if (got == 0 || got >= Failed) break;
        }
        if (got < Failed) {
            // Result ignored: where the flush is refused, the events go once the wait finds them.
            FlushConsoleInputBuffer(input);
            while (WaitForSingleObject(input, PasteQuietTime) == WAIT_OBJECT_0) {
                if (FlushConsoleInputBuffer(input)) continue;
                DWORD events;
                if (!ReadConsoleInputA(input, ReadChunk, StdinLimit / InputRecordSize, &events)) {
                    break;
                }
            }
        }
    }
    if (got == Interrupted) return static_cast<int>(STATUS_CONTROL_C_EXIT);
    if (got == Failed) return 1;  // the clipboard keeps what it held: the text is not whole

    // Typed text comes in the console's code page: by default the OEM one, or chcp's.
    UINT codePage = console ? GetConsoleCP() : GetACP();
    DWORD length = WholeCharacters(text, end, codePage, total == StdinLimit);
    while (end > length) text[--end] = 0;  // the dropped bytes still counted
    return PublishTextBlock(block, text, codePage) ? 0 : 1;
}
