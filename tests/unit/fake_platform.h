// A recording stand-in for KERNEL32 and USER32: every call the logic makes is written to a log,
// and every answer comes from a script the test sets beforehand.
#ifndef TAMSEL_FAKE_PLATFORM_H
#define TAMSEL_FAKE_PLATFORM_H

#include <deque>
#include <string>
#include <vector>

#include "../../src/platform/platform.h"

struct FakeRead {
    bool ok;
    std::string bytes;  // put in the buffer, counted on success only; more than asked: test error
    DWORD error = 0;    // the last error the read leaves; 0: leaves it as it was
    bool countUntouched = false;  // the read never stores a count
};

struct FakeScript {
    std::deque<int> dialogAnswers;  // MessageBoxA results in order; IDOK when empty
    HANDLE stdinHandle = reinterpret_cast<HANDLE>(0x10);
    std::deque<FakeRead> reads;  // ReadFile/ReadConsoleA results in order; end of input when empty
    bool console = false;        // standard input is a console (GetConsoleMode succeeds)
    DWORD consoleMode = 7;       // processed input, line input, echo
    UINT consoleCodePage = 850;  // GetConsoleCP; by default the OEM code page, as Windows
    UINT oemCodePage = 850;      // GetOEMCP
    DWORD lastError = 0;         // the last error when the run starts
    bool allocFails = false;     // GlobalAlloc returns null
    bool lockFails = false;      // GlobalLock returns null
    int openFailures = 0;        // OpenClipboard fails this many times first
    bool setDataFails = false;   // SetClipboardData returns null
    std::string commandLine;     // what GetCommandLineA returns
    bool codePageFails = false;  // GetCPInfo fails
    std::vector<BYTE> leadRanges;      // GetCPInfo's lead-byte pairs
    int heapAllocsBeforeFailure = -1;  // HeapAlloc/HeapReAlloc succeed this often, then fail
};

struct FakeState {
    std::vector<std::string> calls;  // one line per platform call, in order
    std::string clipboard;           // CF_TEXT bytes up to the zero byte, once set
    bool clipboardSet = false;
    int clipboardOpen = 0;         // nesting; must be back to 0 when a run ends
    int locks = 0;                 // locks held on the last block
    bool unlockedWhenSet = false;  // the block was unlocked when it reached the clipboard
    size_t blockSize = 0;          // size of the last block allocated
    std::string stderrBytes;
    std::vector<DWORD> readSizes;  // the sizes asked for, in order
};

// What ExitProcess throws, so that a test can see the exit code of a whole start.
struct FakeExit {
    UINT code;
};

extern FakeScript script;
extern FakeState fake;

// Clears script and state, frees every fake block and heap allocation.
void ResetFake();
// The log as one string, calls separated by "; ".
std::string CallLog();
// The bytes of the last block allocated, all of them.
std::string LastBlockBytes();

#endif
