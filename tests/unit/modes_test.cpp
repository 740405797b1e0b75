// Whole runs of main over the fake platform: dialogs, calls in order, clipboard bytes, exit code.
#include <gtest/gtest.h>

#include "../../src/tamsel.h"
#include "fake_platform.h"

namespace {

using Setup = void (*)(FakeScript&);

struct Case {
    const char* name;
    std::vector<std::string> args;  // argv[1] onwards; argv[0] is never read
    Setup setup;
    int exitCode;
    std::string calls;
    const char* clipboard;  // null: the clipboard was never set
    friend void PrintTo(const Case& row, std::ostream* os) {
        *os << row.name;
    }  // not as bytes
};

std::string Box(const char* type, const std::string& text) {
    return std::string("MessageBoxA(") + type + ", \"" + text + "\")";
}
std::string ArgsPrompt(int n) {
    std::string count = std::to_string(n);
    return Box("0x21", "Copy " + count + " arguments to clipboard?\\n" + count +
                           " Parameter in die Zwischenablage kopieren?\\n");
}
std::string ArgsWarning(int size) {
    std::string s = std::to_string(size);
    return Box("0x30", "Error allocating global memory (size: " + s +
                           ").\\nFehler bei Speicherreservierung (" + s + " Bytes).\\n");
}
const std::string Help =
    Box("0x40",
        "Copies all arguments to clipboard.\\nKopiert alle Parameter in die Zwischenablage.\\n");
const std::string StdinPrompt =
    "GetStdHandle(-10); " +
    Box("0x21", "Copy STDIN to clipboard?\\nSTDIN in die Zwischenablage kopieren?\\n");
const std::string StdinWarning = Box(
    "0x30", "Error allocating global memory (8 KB).\\nFehler bei Speicherreservierung (8 KB).\\n");
const std::string StdinBlock = "; GlobalAlloc(0x2042, 8193); GlobalLock; ";
const std::string Handoff =
    "GlobalUnlock; OpenClipboard(null); EmptyClipboard; SetClipboardData(1); CloseClipboard";
// Typed at a console in its OEM code page: CF_OEMTEXT, 7.
const std::string OemHandoff =
    "GlobalUnlock; OpenClipboard(null); EmptyClipboard; SetClipboardData(7); CloseClipboard";
const std::string Flush = "FlushConsoleInputBuffer; ";
const std::string Full = std::string(8190, 'a');  // two bytes short of the limit
const std::string FullCut = Full + "bc";          // the limit inside a line
const std::string FullLine = Full + "\r\n";       // the limit at a line's end
const std::string Busy = "OpenClipboard(null); Sleep(100); ";

std::string Repeat(const std::string& s, int n) {
    std::string out;
    while (n-- > 0) out += s;
    return out;
}

void Nothing(FakeScript&) {}

const Case Runs[] = {
    // Help: only the first byte of a sole argument counts; the box's result never matters.
    {"HelpQuestion", {"/?"}, Nothing, 0, Help, nullptr},
    {"HelpLoneSlash", {"/"}, Nothing, 0, Help, nullptr},
    {"HelpAnyPath", {"/any/path"}, Nothing, 0, Help, nullptr},
    {"HelpBoxFailed", {"/h"}, [](FakeScript& s) { s.dialogAnswers = {0}; }, 0, Help, nullptr},
    // Arguments mode: each argument plus CR LF, in a block of exactly that size plus one.
    {"TwoArgumentsNoHelp",
     {"/?", "x"},
     Nothing,
     0,
     ArgsPrompt(2) + "; GlobalAlloc(0x2042, 8); GlobalLock; " + Handoff,
     "/?\r\nx\r\n"},
    {"BlankInsideArgument",
     {"alpha", "beta gamma"},
     Nothing,
     0,
     ArgsPrompt(2) + "; GlobalAlloc(0x2042, 20); GlobalLock; " + Handoff,
     "alpha\r\nbeta gamma\r\n"},
    {"EmptySoleArgument",
     {""},
     Nothing,
     0,
     ArgsPrompt(1) + "; GlobalAlloc(0x2042, 3); GlobalLock; " + Handoff,
     "\r\n"},
    {"HighBytesAndWildcards",
     {"\xE4\xF6\xFC\xDF", "*.txt"},
     Nothing,
     0,
     ArgsPrompt(2) + "; GlobalAlloc(0x2042, 14); GlobalLock; " + Handoff,
     "\xE4\xF6\xFC\xDF\r\n*.txt\r\n"},
    {"ArgumentsCancelled",
     {"a"},
     [](FakeScript& s) { s.dialogAnswers = {2 /* IDCANCEL */}; },
     0,
     ArgsPrompt(1),
     nullptr},
    {"ArgumentsPromptFailed",
     {"a"},
     [](FakeScript& s) { s.dialogAnswers = {0}; },
     1,
     ArgsPrompt(1),
     nullptr},
    {"ArgumentsPromptNoDisplay",
     {"a"},
     [](FakeScript& s) { s.dialogAnswers = {-1}; },
     1,
     ArgsPrompt(1),
     nullptr},
    {"ArgumentsAllocFails",
     {"alpha", "beta gamma"},
     [](FakeScript& s) { s.allocFails = true; },
     1,
     ArgsPrompt(2) + "; GlobalAlloc(0x2042, 20); " + ArgsWarning(20),
     nullptr},
    {"ArgumentsLockFails",
     {"a"},
     [](FakeScript& s) { s.lockFails = true; },
     1,
     ArgsPrompt(1) + "; GlobalAlloc(0x2042, 4); GlobalLock; " + ArgsWarning(4),
     nullptr},
    // Hand-off: a busy clipboard is retried 10 times, 100 ms apart; failure is exit code 1.
    {"ClipboardBusyBriefly",
     {"a"},
     [](FakeScript& s) { s.openFailures = 3; },
     0,
     ArgsPrompt(1) + "; GlobalAlloc(0x2042, 4); GlobalLock; GlobalUnlock; " + Repeat(Busy, 3) +
         "OpenClipboard(null); EmptyClipboard; SetClipboardData(1); CloseClipboard",
     "a\r\n"},
    {"ClipboardBusyOnLastTry",
     {"a"},
     [](FakeScript& s) { s.openFailures = 9; },
     0,
     ArgsPrompt(1) + "; GlobalAlloc(0x2042, 4); GlobalLock; GlobalUnlock; " + Repeat(Busy, 9) +
         "OpenClipboard(null); EmptyClipboard; SetClipboardData(1); CloseClipboard",
     "a\r\n"},
    {"ClipboardNeverOpens",
     {"a"},
     [](FakeScript& s) { s.openFailures = 10; },
     1,
     ArgsPrompt(1) + "; GlobalAlloc(0x2042, 4); GlobalLock; GlobalUnlock; " + Repeat(Busy, 9) +
         "OpenClipboard(null)",
     nullptr},
    {"ClipboardRefusesData",
     {"a"},
     [](FakeScript& s) { s.setDataFails = true; },
     1,
     ArgsPrompt(1) + "; GlobalAlloc(0x2042, 4); GlobalLock; " + Handoff,
     nullptr},
    // Standard-input mode.
    {"StdinInvalidHandle",
     {},
     [](FakeScript& s) {
         s.stdinHandle = reinterpret_cast<HANDLE>(-1); /* unusable */
     },
     1,
     "GetStdHandle(-10)",
     nullptr},
    {"StdinCancelled",
     {},
     [](FakeScript& s) { s.dialogAnswers = {2 /* IDCANCEL */}; },
     0,
     StdinPrompt,
     nullptr},
    {"StdinEmpty", {}, Nothing, 0, StdinPrompt + StdinBlock + "ReadFile(8192); " + Handoff, ""},
    {"StdinPromptFailedGoesOn",
     {},
     [](FakeScript& s) {
         s.dialogAnswers = {0};
         s.reads = {{true, "x"}};
     },
     0,
     StdinPrompt + StdinBlock + "ReadFile(8192); ReadFile(8191); " + Handoff,
     "x"},
    {"StdinNoDisplayGoesOn",
     {},
     [](FakeScript& s) { s.dialogAnswers = {-1}; },
     0,
     StdinPrompt + StdinBlock + "ReadFile(8192); " + Handoff,
     ""},
    {"StdinPiecesKeepLineEnds",
     {},
     [](FakeScript& s) {
         s.reads = {{true, "ab\r\n"}, {true, "c\n"}};
     },
     0,
     StdinPrompt + StdinBlock + "ReadFile(8192); ReadFile(8188); ReadFile(8186); " + Handoff,
     "ab\r\nc\n"},
    {"StdinZeroBytesDroppedAlone",
     {},
     [](FakeScript& s) {
         s.reads = {{true, std::string("ab\0cd", 5)}, {true, std::string("\0ef\0", 4)}};
     },
     0,
     StdinPrompt + StdinBlock + "ReadFile(8192); ReadFile(8187); ReadFile(8183); " + Handoff,
     "abcdef"},
    {"StdinFailedReadEndsInput",
     {},
     [](FakeScript& s) {
         s.reads = {{true, "ab"}, {false, ""}};
     },
     0,
     StdinPrompt + StdinBlock + "ReadFile(8192); ReadFile(8190); " + Handoff,
     "ab"},
    {"StdinStaleErrorBeforeEnd",
     {},
     [](FakeScript& s) {
         s.lastError = 995;
         s.reads = {{true, "ab"}};
     },
     0,
     StdinPrompt + StdinBlock + "ReadFile(8192); ReadFile(8190); " + Handoff,
     "ab"},
    {"StdinPipeLimitLeavesRest",
     {},
     [](FakeScript& s) {
         s.reads = {{true, FullCut}, {true, "rest\r\n"}};
     },
     0,
     StdinPrompt + StdinBlock + "ReadFile(8192); " + Handoff,
     FullCut.c_str()},
    // At a console: Ctrl+C or Ctrl+Break (ERROR_OPERATION_ABORTED, 995) never leads to a
    // hand-off, whether the read succeeds with 0 bytes or fails.
    {"StdinConsoleInterrupted",
     {},
     [](FakeScript& s) {
         s.console = true;
         s.reads = {{true, "half typed"}, {true, "", 995}};
     },
     static_cast<int>(0xC000013A),
     StdinPrompt + StdinBlock + "ReadConsoleA(8192); ReadConsoleA(8182)",
     nullptr},
    {"StdinConsoleInterruptedReadFails",
     {},
     [](FakeScript& s) {
         s.console = true;
         s.reads = {{true, "half typed"}, {false, "\x1A", 995}};  // bytes left, yet no read
     },
     static_cast<int>(0xC000013A),
     StdinPrompt + StdinBlock + "ReadConsoleA(8192); ReadConsoleA(8182)",
     nullptr},
    // A read that succeeds yet never stores its count ends the input: what is in the buffer is
    // not taken on trust, however much a stale count would claim.
    {"StdinConsoleCountNeverSet",
     {},
     [](FakeScript& s) {
         s.console = true;
         s.reads = {{true, "ab\r\n"}, {true, "junk", 0, true}, {true, "never read"}};
     },
     0,
     StdinPrompt + StdinBlock + "ReadConsoleA(8192); ReadConsoleA(8188); " + OemHandoff,
     "ab\r\n"},
    // Typed text in the console's OEM code page goes over as CF_OEMTEXT, with no wait.
    {"StdinConsoleOemText",
     {},
     [](FakeScript& s) {
         s.console = true;
         s.reads = {{true,
                     "Gr\x81\xE1"
                     "e\r\n"}};
     },
     0,
     StdinPrompt + StdinBlock + "ReadConsoleA(8192); ReadConsoleA(8185); " + OemHandoff,
     "Gr\x81\xE1"
     "e\r\n"},
    {"StdinConsoleOtherCodePage",
     {},
     [](FakeScript& s) {
         s.console = true;
         s.consoleCodePage = 1252;
         s.reads = {{true,
                     "Gr\xFC\xDF"
                     "e\r\n"}};
     },
     0,
     StdinPrompt + StdinBlock + "ReadConsoleA(8192); ReadConsoleA(8185); " + Handoff,
     "Gr\xFC\xDF"
     "e\r\n"},
    // Ctrl+Z ends the typed text only as the first byte of a read, and adds nothing.
    {"StdinConsoleCtrlZStartsLine",
     {},
     [](FakeScript& s) {
         s.console = true;
         s.reads = {{true,
                     "a\x1A"
                     "b\r\n"},
                    {true, "\x1A\r\n"},
                    {true, "never read"}};
     },
     0,
     StdinPrompt + StdinBlock + "ReadConsoleA(8192); ReadConsoleA(8187); " + OemHandoff,
     "a\x1A"
     "b\r\n"},
    // Ctrl+Z two bytes short of the limit: no flush, as nothing beyond it was typed; the rest
    // of its line is read and dropped all the same.
    {"StdinConsoleCtrlZNearLimit",
     {},
     [](FakeScript& s) {
         s.console = true;
         s.reads = {{true, Full}, {true, "\x1A\r"}, {true, "\n"}, {true, "never read"}};
     },
     0,
     StdinPrompt + StdinBlock + "ReadConsoleA(8192); ReadConsoleA(2); ReadConsoleA(8192); " +
         OemHandoff,
     Full.c_str()},
    // The limit inside a line: the rest of that line is read and dropped, then the waiting
    // input events; the shell gets nothing of a long paste.
    {"StdinConsoleLimitInsideLine",
     {},
     [](FakeScript& s) {
         s.console = true;
         s.reads = {{true, Full}, {true, "bc"}, {true, "de"}, {true, "f\r\n"}, {true, "next"}};
     },
     0,
     StdinPrompt + StdinBlock +
         "ReadConsoleA(8192); ReadConsoleA(2); ReadConsoleA(8192); ReadConsoleA(8192); " + Flush +
         OemHandoff,
     FullCut.c_str()},
    {"StdinConsoleLimitAtLineEnd",
     {},
     [](FakeScript& s) {
         s.console = true;
         s.reads = {{true, FullLine}, {true, "next"}};
     },
     0,
     StdinPrompt + StdinBlock + "ReadConsoleA(8192); " + Flush + OemHandoff,
     FullLine.c_str()},
    {"StdinConsoleLimitWithoutLineInput",
     {},
     [](FakeScript& s) {
         s.console = true;
         s.consoleMode = 1;  // processed input only: a read takes what is there
         s.reads = {{true, FullCut}, {true, "next"}};
     },
     0,
     StdinPrompt + StdinBlock + "ReadConsoleA(8192); " + Flush + OemHandoff,
     FullCut.c_str()},
    {"StdinConsoleInterruptedAfterLimit",
     {},
     [](FakeScript& s) {
         s.console = true;
         s.reads = {{true, FullCut}, {true, "", 995}};
     },
     static_cast<int>(0xC000013A),
     StdinPrompt + StdinBlock + "ReadConsoleA(8192); ReadConsoleA(8192)",
     nullptr},
    {"StdinNullHandle",
     {},
     [](FakeScript& s) {
         s.stdinHandle = nullptr;
         s.reads = {{false, ""}};
     },
     0,
     StdinPrompt + StdinBlock + "ReadFile(8192); " + Handoff,
     ""},
    {"StdinAllocFails",
     {},
     [](FakeScript& s) { s.allocFails = true; },
     1,
     StdinPrompt + "; GlobalAlloc(0x2042, 8193); " + StdinWarning,
     nullptr},
    {"StdinLockFails",
     {},
     [](FakeScript& s) { s.lockFails = true; },
     1,
     StdinPrompt + "; GlobalAlloc(0x2042, 8193); GlobalLock; " + StdinWarning,
     nullptr},
    {"StdinClipboardNeverOpens",
     {},
     [](FakeScript& s) { s.openFailures = 10; },
     1,
     StdinPrompt + StdinBlock + "ReadFile(8192); GlobalUnlock; " + Repeat(Busy, 9) +
         "OpenClipboard(null)",
     nullptr},
};

class RunTest : public testing::TestWithParam<Case> {};

TEST_P(RunTest, DialogsCallsClipboardAndExitCode) {
    const Case& run = GetParam();
    ResetFake();
    run.setup(script);
    std::vector<std::string> args = run.args;
    std::vector<char*> argv = {const_cast<char*>("tamsel.exe")};
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);

    EXPECT_EQ(TamselMain(static_cast<int>(argv.size()) - 1, argv.data()), run.exitCode);
    EXPECT_EQ(CallLog(), run.calls);
    EXPECT_EQ(fake.clipboardSet, run.clipboard != nullptr);
    if (run.clipboard) {
        EXPECT_EQ(fake.clipboard, run.clipboard);
        EXPECT_TRUE(fake.unlockedWhenSet);
    }
    EXPECT_EQ(fake.clipboardOpen, 0) << "every open clipboard is closed again";
}

INSTANTIATE_TEST_SUITE_P(Main, RunTest, testing::ValuesIn(Runs),
                         [](const testing::TestParamInfo<Case>& info) { return info.param.name; });

// The arguments block is filled to its last byte: the text, then exactly one zero.
TEST(ArgumentsBlock, IsSizedExactly) {
    ResetFake();
    std::vector<std::string> args = {"tamsel.exe", "alpha", "beta gamma"};
    char* argv[] = {args[0].data(), args[1].data(), args[2].data(), nullptr};
    ASSERT_EQ(TamselMain(3, argv), 0);
    EXPECT_EQ(LastBlockBytes(), std::string("alpha\r\nbeta gamma\r\n\0", 20));
}

// Reading stops at the limit: no read asks for more than the room left, however the input is
// split, and whatever lies beyond the first 8192 bytes is never asked for.
struct Limit {
    const char* name;
    std::vector<size_t> pieces;  // sizes of the reads the input arrives in
    std::vector<DWORD> asked;    // what each read must ask for
    friend void PrintTo(const Limit& row, std::ostream* os) {
        *os << row.name;
    }  // not as bytes
};

const Limit Limits[] = {
    {"OneFullRead", {8192}, {8192}},
    {"TwoHalves", {4096, 4096}, {8192, 4096}},
    {"LastByteAlone", {8191, 1}, {8192, 1}},
    {"RoomShrinksWithEachRead", {8000, 150, 42}, {8192, 192, 42}},
};

class LimitTest : public testing::TestWithParam<Limit> {};

TEST_P(LimitTest, NeverAsksBeyondTheRoomLeft) {
    const Limit& limit = GetParam();
    ResetFake();
    std::string expected;
    char fill = 'a';
    for (size_t piece : limit.pieces) {
        script.reads.push_back({true, std::string(piece, fill)});
        expected += std::string(piece, fill++);
    }
    script.reads.push_back({true, "never read"});
    char* argv[] = {const_cast<char*>("tamsel.exe"), nullptr};

    EXPECT_EQ(TamselMain(1, argv), 0);
    EXPECT_EQ(fake.readSizes, limit.asked);
    EXPECT_EQ(fake.clipboard, expected);
}

INSTANTIATE_TEST_SUITE_P(Stdin, LimitTest, testing::ValuesIn(Limits),
                         [](const testing::TestParamInfo<Limit>& info) { return info.param.name; });

}  // namespace
