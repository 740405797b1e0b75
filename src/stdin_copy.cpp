// The standard-input mode: up to StdinLimit bytes of standard input, unchanged, to the clipboard.
#include "messages.h"
#include "platform/cmdline.h"
#include "tamsel.h"
#include "unicode.h"

// Every read lands here first, input events read away too, and the UTF-16 text that the check
// of piped text makes (a unit a byte at most); static, so that it never sits on the stack.
alignas(4) static char ReadChunk[StdinLimit * sizeof(WCHAR)];

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
static DWORD ReadInput(HANDLE input, bool console, DWORD size) {
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
        // A message pipe, or one that Cygwin made, delivers nothing for a write of nothing: its
        // writer is still there as long as the pipe is. A file or a console ends so, and under
        // Wine a pipe from a Unix shell, which the peek fails.
        if (read && got == 0) {
            bool pipe = GetFileType(input) == FILE_TYPE_PIPE;
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
// one: the text then ends before it (DecodeUtf8 ends UTF-8 so). UTF-16, which ends at a whole
// unit, never ends between the two halves of a surrogate pair. Returns the length kept.
static DWORD WholeCharacters(const char* text, DWORD length, UINT codePage, bool cut) {
    if (codePage == CP_UTF16) {
        const BYTE* end = reinterpret_cast<const BYTE*>(text) + length;
        return length && IsFirstHalf(end[-2] | end[-1] << 8) ? length - 2 : length;
    }
    if (!cut) return length;
    // In a double-byte code page a trail byte may look like a lead byte: count from the start.
    if (ReadLeadBytes(codePage, IsLeadByte) != 2) return length;
    DWORD end = 0;
    while (end < length) end += IsLeadByte[static_cast<BYTE>(text[end])] ? 2 : 1;
    return end > length ? length - 1 : length;
}

static bool StartsWith(const char* text, const char* mark) {
    while (*mark) {
        if (*text++ != *mark++) return false;
    }
    return true;
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
    // total counts every byte taken. A pipe or a file is asked for the room left, so that the
    // rest stays unread for whoever reads next. A console is asked for all the buffer holds:
    // hosts before 2023 drop what a line holds beyond the count asked, which would cut a hole
    // into the text; what does not fit is not kept. A process started without standard input
    // (a null handle) copies the empty text.
    DWORD total = 0;
    DWORD got = 0;
    while (input && total < StdinLimit) {
        got = ReadInput(input, console, console ? StdinLimit : StdinLimit - total);
        if (got == 0 || got >= Failed || (console && ReadChunk[0] == EndOfText)) break;
        for (DWORD i = 0; i < got && total < StdinLimit; ++i) text[total++] = ReadChunk[i];
    }
    // At a console whoever reads next is the shell, which would run the rest of a long paste
    // as commands. So the rest of the line the console already took goes first, then the input
    // events waiting and what still arrives, until the input has been quiet for a moment. A
    // handle opened for reading only (cmd opens tamsel < CON so) may not flush, but may take the
    // events away; where neither works, or the wait fails, the copy goes on.
    if (console && total >= StdinLimit) {
        while ((mode & ENABLE_LINE_INPUT) && !EndsLine(mode)) {
            got = ReadInput(input, console, StdinLimit);
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

    // Typed text comes in the console's code page: by default the OEM one, or chcp's. A pipe or
    // a file is taken to be in the ANSI code page, unless its bytes say otherwise: a byte order
    // mark, or UTF-8 where the ANSI code page is single-byte, since text in one is almost never
    // well-formed UTF-8 by chance. In a double-byte one it often is: there UTF-8 needs the mark.
    UINT codePage = console ? GetConsoleCP() : GetACP();
    bool checkBytes = !console && MakesTextOfUnicode();
    DWORD skip = 0;
    if (checkBytes && StartsWith(text, "\xFF\xFE")) codePage = CP_UTF16, skip = 2;
    // UTF-32LE's mark begins with UTF-16LE's.
    if (skip && total >= 4 && !text[2] && !text[3]) codePage = CP_UTF32, skip = 4;
    if (checkBytes && StartsWith(text, "\xEF\xBB\xBF")) codePage = CP_UTF8, skip = 3;
    // The mark goes. A zero unit would end the clipboard's text early, so each one alone goes
    // too: a zero byte of 8-bit text, a zero unit of UTF-16 or UTF-32, whose other zero bytes are
    // part of the text. So does a unit that the input ended inside.
    DWORD unit = codePage == CP_UTF32 ? 4 : codePage == CP_UTF16 ? 2 : 1;
    DWORD length = 0;
    for (DWORD i = skip; i + unit <= total; i += unit) {
        BYTE any = 0;
        for (DWORD k = 0; k < unit; ++k) any |= text[i + k];
        for (DWORD k = 0; any && k < unit; ++k) text[length++] = text[i + k];
    }
    if (codePage == CP_UTF32) {
        length = DecodeUtf32(text, length, reinterpret_cast<WCHAR*>(text)) * sizeof(WCHAR);
        codePage = CP_UTF16;
    }
    bool cut = total == StdinLimit;
    if (codePage == CP_UTF8 ||
        (checkBytes && skip == 0 && ReadLeadBytes(CP_ACP, IsLeadByte) == 1)) {
        DWORD whole = length;
        DWORD units = DecodeUtf8(text, &whole, reinterpret_cast<WCHAR*>(ReadChunk), cut);
        if (codePage == CP_UTF8 || (units && units < whole)) codePage = CP_UTF8, length = whole;
    }
    length = WholeCharacters(text, length, codePage, cut);
    while (total > length) text[--total] = 0;  // the dropped bytes still counted
    return PublishTextBlock(block, text, codePage) ? 0 : 1;
}
