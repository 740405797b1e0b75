// The start-up's command-line splitting, its code-page lead bytes and its out-of-memory paths.
#include "../../src/platform/cmdline.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>

#include "../../src/platform/start.h"
#include "fake_platform.h"

extern "C" void TamselStart();

// GetCPInfo fills this layout: MaxCharSize, DefaultChar[2], then LeadByte[12].
static_assert(sizeof(CPINFO) == 20, "CPINFO is 20 bytes");
static_assert(offsetof(CPINFO, DefaultChar) == 4, "DefaultChar at offset 4");
static_assert(offsetof(CPINFO, LeadByte) == 6, "LeadByte at offset 6");
static_assert(sizeof(CPINFO::LeadByte) == 12, "12 lead-byte entries");

namespace {

const std::vector<BYTE> Cp932 = {0x81, 0x9F, 0xE0, 0xFC}, None = {};

// The arguments 1 to n, and the command line that gives them.
std::vector<std::string> Numbers(int n) {
    std::vector<std::string> numbers;
    for (int i = 1; i <= n; ++i) numbers.push_back(std::to_string(i));
    return numbers;
}
std::string NumbersLine(int n) {
    std::string line = "tamsel";
    for (const std::string& number : Numbers(n)) line += " " + number;
    return line;
}

struct Split {
    const char* name;
    std::string line;
    std::vector<std::string> args;  // argv[1] onwards
    std::vector<BYTE> lead = {};
    friend void PrintTo(const Split& row, std::ostream* os) {
        *os << row.name;
    }  // not as bytes
};

const Split Splits[] = {
    {"OnlyProgram", "tamsel", {}},
    {"EmptyLine", "", {}},
    {"TrailingBlanksAndTabs", "tamsel a \t ", {"a"}},
    {"LeadingBlanks", "  tamsel a", {"a"}},
    {"TabsSeparate", "tamsel\ta\t\tb", {"a", "b"}},
    {"CrLfAreOrdinary", "tamsel a\r\nb", {"a\r\nb"}},
    {"QuotedProgramWithBlank", "\"C:\\Program Files\\tamsel.exe\" a", {"a"}},
    {"QuotedProgramTouchingText", "\"C:\\t\\tamsel.exe\"abc def", {"abc", "def"}},
    {"QuotedProgramTouchingQuote", "\"C:\\t\\tamsel.exe\"\"a b\"", {"a b"}},
    {"UnclosedQuotedProgram", "\"C:\\a b", {}},
    {"ProgramNameKnowsNoQuotes", "tam\"sel a", {"a"}},
    {"TouchingPiecesJoin", "tamsel a\"b c\"d", {"ab cd"}},
    {"EmptyQuotesCount", "tamsel \"\" x \"\"", {"", "x", ""}},
    {"EmptyStretchInside", "tamsel a\"\"b", {"ab"}},
    {"UnclosedQuoteRunsToEnd", "tamsel \"a b  ", {"a b  "}},
    {"BackslashQuote", "tamsel a\\\"b \"c\\\"d\"", {"a\"b", "c\"d"}},
    {"DoubledBackslashStays", "tamsel a\\\\b c\\\\", {"a\\\\b", "c\\\\"}},
    {"DoubledBackslashBeforeQuote", "tamsel a\\\\\"b c\"", {"a\\\"b", "c"}},
    {"LoneBackslashes", "tamsel \\ a\\", {"\\", "a\\"}},
    {"NoWildcardExpansion", "tamsel *.txt ? [a]", {"*.txt", "?", "[a]"}},
    {"HighBytesSingleByteCodePage", "tamsel \xE4\xF6 \x81\"x y\"", {"\xE4\xF6", "\x81x y"}},
    {"ByteFFSingleByteCodePage", "tamsel \xFF\" x\"", {"\xFF x"}},
    // With a double-byte code page the byte after a lead byte is never a quote, backslash or
    // blank: 0x95 0x5C is one character whose second byte happens to be a backslash.
    {"LeadByteShieldsBackslash", "tamsel \x95\\\"a b\"", {"\x95\\a b"}, Cp932},
    {"WithoutLeadBytesSameIsLiteralQuote", "tamsel \x95\\\"a b\"", {"\x95\"a", "b"}},
    {"LeadByteShieldsQuote", "tamsel \x81\" x", {"\x81\"", "x"}, Cp932},
    {"LeadByteShieldsBlank", "tamsel \xFC b", {"\xFC b"}, Cp932},
    {"LeadByteAtEnd", "tamsel a\xE0", {"a\xE0"}, Cp932},
    {"LeadByteInsideQuotes", "tamsel \"\x9F\" c\"", {"\x9F\" c"}, Cp932},
    // Six ranges fill the table with no 0,0 pair after them; 0x80 and 0x82 lie between ranges.
    {"SixRangesNoTerminator",
     "tamsel \x83\" \x82\""
     "a b\" \x80\""
     "c d\" \xFF\"",
     {"\x83\"",
      "\x82"
      "a b",
      "\x80"
      "c d",
      "\xFF\""},
     {0x81, 0x81, 0x83, 0x84, 0x86, 0x86, 0x88, 0x88, 0xA0, 0xA0, 0xFF, 0xFF}},
    // The vector grows 16 entries at a time and keeps room for its closing null entry: with 15
    // or 31 arguments that null entry is the first of a new stretch.
    {"FifteenArguments", NumbersLine(15), Numbers(15)},
    {"ThirtyOneArguments", NumbersLine(31), Numbers(31)},
    {"FortyArguments", NumbersLine(40), Numbers(40)},
};

class SplitTest : public testing::TestWithParam<Split> {};

TEST_P(SplitTest, GivesTheseArguments) {
    const Split& split = GetParam();
    ResetFake();
    script.leadRanges = split.lead;
    bool isLead[256];
    std::fill(isLead, isLead + 256, true);    // whatever an earlier code page left
    ASSERT_NE(ReadLeadBytes(0, isLead), 0u);  // CP_ACP
    char program[] = "C:\\tools\\tamsel.exe";
    int argc = -1;
    char** argv = nullptr;

    // Bytes after the line's end, which the splitter must never reach.
    std::string line = split.line + std::string("\0 beyond \"the end", 17);

    ASSERT_EQ(SplitCommandLine(line.c_str(), isLead, program, &argc, &argv), nullptr);
    ASSERT_EQ(argc, static_cast<int>(split.args.size()) + 1);
    EXPECT_EQ(argv[0], program);
    for (size_t i = 0; i < split.args.size(); ++i) EXPECT_EQ(argv[i + 1], split.args[i]) << i;
    EXPECT_EQ(argv[argc], nullptr);
}

INSTANTIATE_TEST_SUITE_P(CommandLine, SplitTest, testing::ValuesIn(Splits),
                         [](const testing::TestParamInfo<Split>& info) { return info.param.name; });

// The whole start-up, from GetCommandLineA to the exit code that reaches ExitProcess.
struct Start {
    const char* name;
    std::string line;
    int heapAllocs;  // heap calls that succeed (the first for the Unicode line) before one fails
    bool codePageFails;
    std::vector<BYTE> lead;
    UINT exitCode;
    std::string stderrBytes;
    const char* clipboard;                 // null: never set
    void (*setup)(FakeScript&) = nullptr;  // more of the script
    friend void PrintTo(const Start& row, std::ostream* os) {
        *os << row.name;
    }  // not as bytes
};

std::string Copied(const std::vector<std::string>& args) {
    std::string text;
    for (const std::string& arg : args) text += arg + "\r\n";
    return text;
}
const std::string FourteenCopied = Copied(Numbers(14));
template <WORD Number>
void Version(FakeScript& s) {
    s.windowsVersion = Number;
}

// What the start-up writes to standard error.
const std::string NoCopy = "\r\nNo space for copy of command line\r\n",
                  NoVector = "\r\nNo space for command line argument vector\r\n",
                  NoTable =
                      "\r\nError: system code page access failure; MBCS table not initialized\r\n";
void PromptFails(FakeScript& s) {
    s.dialogAnswers = {0};
}
void CtrlC(FakeScript& s) {
    s.console = true;
    s.reads = {{true, "", 995}};
}
void Snowman(FakeScript& s) {
    s.wideCommandLine = u"tamsel ☃";
}

const Start Starts[] = {
    {"CopiesSplitArguments", "\"C:\\t\\tamsel.exe\" alpha \"beta gamma\"", -1, false, None, 0, "",
     "alpha\r\nbeta gamma\r\n"},
    {"ReadsLeadBytesOfCodePage", "tamsel \xFC \x81\\\"", -1, false, Cp932, 0, "",
     "\xFC \x81\\\r\n"},
    {"NoCopySpace", NumbersLine(1), 0, false, None, 1, NoCopy, nullptr},
    {"NoVectorSpace", NumbersLine(1), 2, false, None, 1, NoVector, nullptr},
    // 15 arguments, the program and the null entry need 17 entries.
    {"NoSpaceToGrowVector", NumbersLine(15), 3, false, None, 1, NoVector, nullptr},
    {"FourteenArgumentsNeedNoGrowth", NumbersLine(14), 3, false, None, 0, "",
     FourteenCopied.c_str()},
    {"CodePageUnreadableGoesOn", "tamsel \x81 x", -1, true, None, 0, NoTable, "\x81\r\nx\r\n"},
    // comctl32.dll by name only from Windows XP on, where a box needs it; before, the current
    // folder could plant one. Memory that runs out for the Unicode command line ends the start.
    {"Windows2000", "tamsel a", -1, false, None, 0, "", "a\r\n", Version<0x0500>},
    {"WindowsXp", "tamsel a", -1, false, None, 0, "", "a\r\n", Version<0x0501>},
    {"UnicodeLineNoSpace", "", 0, false, None, 1, NoCopy, nullptr, Snowman},
    // main's own exit codes pass through unchanged.
    {"MainReturnsOne", "tamsel a", -1, false, None, 1, "", nullptr, PromptFails},
    {"MainReturnsCtrlCExit", "tamsel", -1, false, None, 0xC000013A, "", nullptr, CtrlC},
};

class StartTest : public testing::TestWithParam<Start> {};

TEST_P(StartTest, ReportsOnStandardErrorAndExits) {
    const Start& start = GetParam();
    ResetFake();
    script.commandLine = start.line;
    script.heapAllocsBeforeFailure = start.heapAllocs;
    script.codePageFails = start.codePageFails;
    script.leadRanges = start.lead;
    if (start.setup) start.setup(script);

    UINT exitCode = 0xDEAD;
    try {
        TamselStart();
    } catch (const FakeExit& exit) {
        exitCode = exit.code;
    }
    EXPECT_EQ(exitCode, start.exitCode);
    EXPECT_EQ(fake.stderrBytes, start.stderrBytes);
    EXPECT_EQ(fake.clipboard, start.clipboard ? Handed(start.clipboard) : EarlierClipboard);
    // A failed start-up never reaches main, so no dialog is shown.
    if (!start.stderrBytes.empty() && start.exitCode == 1) {
        EXPECT_TRUE(fake.dialogs.empty());
    }
    EXPECT_EQ(Breaches(), "");
}

INSTANTIATE_TEST_SUITE_P(StartUp, StartTest, testing::ValuesIn(Starts),
                         [](const testing::TestParamInfo<Start>& info) { return info.param.name; });

}  // namespace
