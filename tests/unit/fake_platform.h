// A stand-in for KERNEL32 and USER32 that plays a scripted world (answers, input, failures),
// keeps what a user could see of a run, and notes every breach of what Windows demands.
#ifndef TAMSEL_FAKE_PLATFORM_H
#define TAMSEL_FAKE_PLATFORM_H

#include <deque>
#include <string>
#include <utility>
#include <vector>

#include "../../src/platform/platform.h"

struct FakeRead {
    bool ok;
    // The input as it arrives: a piece of a pipe or a file, or a line typed at a console. A read
    // asking for fewer bytes takes its start and leaves the rest for the next read.
    std::string bytes;
    DWORD error = 0;              // the last error the read leaves; 0: leaves it as it was
    bool countUntouched = false;  // the read never stores a count
};

// Clipboard formats with their bytes, in the order they were set.
using Clipboard = std::vector<std::pair<UINT, std::string>>;

struct FakeScript {
    std::deque<int> dialogAnswers;  // MessageBoxA results in order; IDOK (1) when empty
    HANDLE stdinHandle = reinterpret_cast<HANDLE>(0x10);
    // When these run out a pipe ends (a read fails with 109), a file too (a read delivers 0
    // bytes). A console never does: reading on would wait.
    std::deque<FakeRead> reads;
    bool file = false;             // standard input is a file, not a pipe
    bool console = false;          // standard input is a console (GetConsoleMode succeeds)
    DWORD consoleMode = 7;         // processed input, line input, echo
    bool oldConsoleHost = false;   // keeps no more of a line than asked, less CR LF
    std::deque<std::string> late;  // console input arriving 50 ms after the input was emptied
    bool waitFails = false;        // WaitForSingleObject fails
    bool readOnlyConsole = false;  // FlushConsoleInputBuffer refused (no write access)
    bool eventReadFails = false;   // ReadConsoleInputA fails
    bool messagePipe = false;      // a read shorter than its piece fails with 234 yet delivers
    // The process has a console even where standard input is a pipe (dir | tamsel in a console
    // window): GetConsoleCP answers, by default with the OEM code page, as Windows.
    UINT consoleCodePage = 850;
    UINT oemCodePage = 850;              // GetOEMCP
    UINT ansiCodePage = 1252;            // GetACP
    bool windows9x = false;              // GetVersion: Windows 98
    WORD windowsVersion = 0x0601;        // GetVersion otherwise: major, minor (Windows 7)
    LCID systemLocale = 0x0407;          // GetSystemDefaultLCID: German (Germany)
    DWORD lastError = 0;                 // the last error when the run starts
    int globalAllocsBeforeFailure = -1;  // GlobalAlloc succeeds this often, then fails
    bool lockFails = false;              // GlobalLock returns null
    DWORD clipboardBusyMs = 0;           // another program holds the clipboard this long
    bool setDataFails = false;           // SetClipboardData returns null
    std::string commandLine;             // what GetCommandLineA returns
    std::u16string wideCommandLine;      // GetCommandLineW's; none: commandLine made Unicode
    bool codePageFails = false;          // GetCPInfo fails
    std::vector<BYTE> leadRanges;        // GetCPInfo's lead-byte pairs
    int heapAllocsBeforeFailure = -1;    // HeapAlloc/HeapReAlloc succeed this often, then fail
};

struct FakeState {
    std::vector<std::string> dialogs;  // each box shown: its type in hex, a blank, its text
    Clipboard clipboard;               // before a run: an earlier text and a private format
    std::string stderrBytes;
    std::vector<DWORD> readSizes;  // the sizes asked for, in order
    std::vector<std::string> breaches;
    int clipboardOpen = 0;
    DWORD now = 0;                // milliseconds slept or waited since the start
    DWORD quietSince = 0;         // when the console's input was last emptied
    int signalledWaits = 0;       // waits that found input events
    DWORD emptyPipeAt = ~0u;      // when the last read found a non-blocking pipe empty
    bool answered = false;        // a box with OK and Cancel was answered
    bool lineTaken = false;       // a console read took the first line in part: a flush keeps it
    bool commonControls = false;  // comctl32.dll was loaded
    std::u16string wideLine;      // GetCommandLineW's line where none is scripted
};

// What ExitProcess throws, so that a test can see the exit code of a whole start.
struct FakeExit {
    UINT code;
};

extern FakeScript script;
extern FakeState fake;
extern const Clipboard EarlierClipboard;

// Clears script and state, frees every fake block and heap allocation.
void ResetFake();
// What the next reader of standard input gets: what is left of the input and of what arrives.
std::string Unread();
// Every breach of a run that has ended, including a clipboard left open; empty when none.
std::string Breaches();
// What handing this text over leaves on the clipboard: the text in its format (CF_TEXT, 1, or
// CF_OEMTEXT, 7), then the Unicode text (CF_UNICODETEXT, 13) as UTF-16LE when given, then
// CF_LOCALE (16) holding the system's locale, 0x0407.
Clipboard Handed(const std::string& text, UINT format = 1, const std::string& unicode = "");

#endif
