// Whole runs of main over the fake platform, judged as a user sees them: the exit code, the boxes
// shown, what the clipboard holds afterwards, and what is left for the next reader of the input.
#include <gtest/gtest.h>

#include "../../src/platform/start.h"
#include "../../src/tamsel.h"
#include "fake_platform.h"

namespace {

using Setup = void (*)(FakeScript&);

struct Case {
    const char* name;
    std::vector<std::string> args;  // argv[1] onwards; none: the standard-input mode
    Setup setup;
    std::deque<FakeRead> reads;  // the input, as it arrives
    int exitCode;
    std::vector<std::string> dialogs;  // each box shown, its type and text
    Clipboard clipboard;               // afterwards
    std::string unread = "";           // what the next reader of the input gets
    std::u16string line = u"";         // a whole start with this Unicode command line instead
    friend void PrintTo(const Case& row, std::ostream* os) {
        *os << row.name;
    }  // not as bytes
};

std::string ArgsPrompt(int n) {
    std::string count = std::to_string(n);
    return "0x21 Copy " + count + " arguments to clipboard?\n" + count +
           " Parameter in die Zwischenablage kopieren?\n";
}
std::string ArgsWarning(int size) {
    std::string s = std::to_string(size);
    return "0x30 Error allocating global memory (size: " + s +
           ").\nFehler bei Speicherreservierung (" + s + " Bytes).\n";
}
const std::string Help =
    "0x40 Copies all arguments to clipboard.\nKopiert alle Parameter in die Zwischenablage.\n";
const std::string Prompt = "0x21 Copy STDIN to clipboard?\nSTDIN in die Zwischenablage kopieren?\n";
const std::string StdinWarning =
    "0x30 Error allocating global memory (8 KB).\nFehler bei Speicherreservierung (8 KB).\n";
const Clipboard& Untouched = EarlierClipboard;
const Clipboard Emptied = {};
const int CtrlCExit = static_cast<int>(0xC000013A);
const std::string Full = std::string(8188, 'a') + "\r\n";  // a line two bytes short of the limit
const std::string LimitLine = std::string(8190, 'a') + "\r\n";  // a line ending at the limit
const std::string Long = std::string(8190, 'a') + "bcde";       // the limit falls inside
const std::string Kept = std::string(8190, 'a') + "bc";         // what of Long fits
const std::string A8000(8000, 'a'), B150(150, 'b'), C100(100, 'c'), B300(300, 'b'),
    A8191(8191, 'a');
const std::string CtrlZ = "\032\r\n", Next = "next\r\n";
const std::string X = "x", Y = "y";
std::string Wide(const std::u16string& text) {  // as UTF-16LE bytes
    return {reinterpret_cast<const char*>(text.data()), text.size() * 2};
}
std::string Wide(const std::u32string& text) {  // as UTF-32LE bytes
    return {reinterpret_cast<const char*>(text.data()), text.size() * 4};
}
Clipboard Unicode(const std::u16string& text) {  // the text as Unicode only
    return Handed(Wide(text), 13);
}
// Grüße, as UTF-8 bytes (with the line end) and as UTF-16LE.
const std::string Utf8 =
    "Gr\xC3\xBC\xC3\x9F"
    "e\r\n";
const std::string Utf16 = Wide(u"Grüße\r\n");
const std::string Mixed8 = "Gr\303\274\303\237e \342\200\224 \302\275 \342\202\254";  // UTF-8
const std::string Mixed16 = Wide(u"Grüße — ½ €"), Oem = "Gr\201\341e\r\n";  // Grüße in 850, 437

void Nothing(FakeScript&) {}
template <int Result>
void Answer(FakeScript& s) {
    s.dialogAnswers = {Result};
}
template <UINT CodePage>
void Ansi(FakeScript& s) {
    s.ansiCodePage = CodePage;
    if (CodePage == 932) s.leadRanges = {0x81, 0x9F, 0xE0, 0xFC};
}
template <DWORD Ms>
void Busy(FakeScript& s) {
    s.clipboardBusyMs = Ms;
}
// A console in this mode: 7 processed input, line input and echo, as a console starts; 6 without
// processed input, where Enter gives CR alone; 3 line input without echo; 1 no line input.
template <DWORD Mode>
void Console(FakeScript& s) {
    s.console = true;
    s.consoleMode = Mode;
}
void Windows98(FakeScript& s) {
    s.windows9x = true;
}
void NoBlock(FakeScript& s) {
    s.globalAllocsBeforeFailure = 0;
}
template <UINT CodePage, UINT OemCodePage = 850, UINT AnsiCodePage = 1252>
void Typed(FakeScript& s) {  // at a console in this code page (chcp)
    Console<7>(s), Ansi<AnsiCodePage>(s), s.consoleCodePage = CodePage, s.oemCodePage = OemCodePage;
}

Case Args(const char* name, std::vector<std::string> args, Setup setup, int exitCode,
          std::vector<std::string> dialogs, Clipboard clipboard) {
    return {name, args, setup, {}, exitCode, dialogs, clipboard};
}
Case Stdin(const char* name, Setup setup, std::deque<FakeRead> reads, int exitCode,
           std::vector<std::string> dialogs, Clipboard clipboard, std::string unread = "") {
    return {name, {}, setup, reads, exitCode, dialogs, clipboard, unread};
}
Case Line(const char* name, std::u16string line, Setup setup, int count, Clipboard clipboard) {
    return {name, {}, setup, {}, 0, {ArgsPrompt(count)}, clipboard, "", line};
}
Case Piped(const char* name, Setup setup, std::string input, Clipboard clipboard,
           std::string unread = "") {  // a pipe's input in one piece, read to the limit
    return Stdin(name, setup, {{true, input}}, 0, {Prompt}, clipboard, unread);
}
Case AsItCame(const char* name, Setup setup, std::string input) {  // CF_TEXT, byte for byte
    return Piped(name, setup, input, Handed(input));
}
Case Typing(const char* name, Setup setup, std::string line, Clipboard clipboard) {  // then Ctrl+Z
    return Stdin(name, setup, {{true, line}, {true, CtrlZ}}, 0, {Prompt}, clipboard);
}

const Case Runs[] = {
    // Help: only the first byte of a sole argument counts; the box's result never matters.
    Args("HelpQuestion", {"/?"}, Nothing, 0, {Help}, Untouched),
    Args("HelpLoneSlash", {"/"}, Nothing, 0, {Help}, Untouched),
    Args("HelpAnyPath", {"/any/path"}, Nothing, 0, {Help}, Untouched),
    Args("HelpBoxFailed", {"/h"}, Answer<0>, 0, {Help}, Untouched),
    // Arguments mode: each argument plus CR LF, labelled with the system's locale; the earlier
    // contents are all gone.
    Args("TwoArgumentsNoHelp", {"/?", "x"}, Nothing, 0, {ArgsPrompt(2)}, Handed("/?\r\nx\r\n")),
    Args("BlankInsideArgument", {"alpha", "beta gamma"}, Nothing, 0, {ArgsPrompt(2)},
         Handed("alpha\r\nbeta gamma\r\n")),
    Args("EmptySoleArgument", {""}, Nothing, 0, {ArgsPrompt(1)}, Handed("\r\n")),
    Args("HighBytesAndWildcards", {"\xE4\xF6\xFC\xDF", "*.txt"}, Nothing, 0, {ArgsPrompt(2)},
         Handed("\xE4\xF6\xFC\xDF\r\n*.txt\r\n")),
    Args("ArgumentsCancelled", {"a"}, Answer<2>, 0, {ArgsPrompt(1)}, Untouched),
    Args("ArgumentsPromptFailed", {"a"}, Answer<0>, 1, {ArgsPrompt(1)}, Untouched),
    Args("ArgumentsPromptNoDisplay", {"a"}, Answer<-1>, 1, {ArgsPrompt(1)}, Untouched),
    Args("ArgumentsAllocFails", {"alpha", "beta gamma"}, NoBlock, 1,
         {ArgsPrompt(2), ArgsWarning(20)}, Untouched),
    Args(
        "ArgumentsLockFails", {"a"}, [](FakeScript& s) { s.lockFails = true; }, 1,
        {ArgsPrompt(1), ArgsWarning(4)}, Untouched),
    // Without a block for the locale, or for the Unicode text, the 8-bit text still goes over.
    Args("LocaleBlockFails", {"a"}, [](FakeScript& s) { s.globalAllocsBeforeFailure = 1; }, 0,
         {ArgsPrompt(1)}, {{1, "a\r\n"}}),
    // Windows set to UTF-8: the bytes as they are, and the text as Unicode too.
    Args("Utf8Windows",
         {"Gr\xC3\xBC\xC3\x9F"
          "e"},
         Ansi<65001>, 0, {ArgsPrompt(1)}, Handed(Utf8, 1, Utf16)),
    Args("Utf8UnicodeBlockFails",
         {"Gr\xC3\xBC\xC3\x9F"
          "e"},
         [](FakeScript& s) { Ansi<65001>(s), s.globalAllocsBeforeFailure = 1; }, 0, {ArgsPrompt(1)},
         {{1, Utf8}}),
    // Whole starts: the Unicode command line, as Unicode, where the ANSI copy lost a character.
    Line("LineAnsi", u"t a \"b c\" Grüße", Nothing, 3, Handed("a\r\nb c\r\nGr\374\337e\r\n")),
    Line("LineCyrillic", u"t Привет \"☃ x\"", Nothing, 2, Unicode(u"Привет\r\n☃ x\r\n")),
    Line("LineLookAlikes", u"t ＂a b＂ c　d ＼\"e f\"", Nothing, 4,
         Unicode(u"＂a\r\nb＂\r\nc　d\r\n＼e f\r\n")),
    Line("LineYenUnder932", u"t ¥\"q rП\" s", Ansi<932>, 2, Unicode(u"¥q rП\r\ns\r\n")),
    Line("LineSurrogates", u"t 😀 x\xD800y", Nothing, 2, Unicode(u"😀\r\nx\uFFFDy\r\n")),
    Line("LineWindows98", u"t ＂a b＂", Windows98, 1, Handed("a b\r\n")),
    Line("LineUnconvertible", u"t Привет", Ansi<1250>, 1, Handed("??????\r\n")),
    // Hand-off: a busy clipboard is tried for about a second; failure is exit code 1.
    Args("ClipboardBusyBriefly", {"a"}, Busy<300>, 0, {ArgsPrompt(1)}, Handed("a\r\n")),
    Args("ClipboardBusyOnLastTry", {"a"}, Busy<900>, 0, {ArgsPrompt(1)}, Handed("a\r\n")),
    Args("ClipboardNeverOpens", {"a"}, Busy<1000>, 1, {ArgsPrompt(1)}, Untouched),
    Args(
        "ClipboardRefusesData", {"a"}, [](FakeScript& s) { s.setDataFails = true; }, 1,
        {ArgsPrompt(1)}, Emptied),
    // Standard-input mode: nothing is read before the prompt is answered, nor after Cancel.
    Stdin(
        "StdinInvalidHandle", [](FakeScript& s) { s.stdinHandle = reinterpret_cast<HANDLE>(-1); },
        {{true, X}}, 1, {}, Untouched, X),
    Stdin("StdinCancelled", Answer<2>, {{true, X}}, 0, {Prompt}, Untouched, X),
    Stdin("StdinEmpty", Nothing, {}, 0, {Prompt}, Handed("")),
    Stdin("StdinPromptFailedGoesOn", Answer<0>, {{true, X}}, 0, {Prompt}, Handed(X)),
    Stdin("StdinNoDisplayGoesOn", Answer<-1>, {}, 0, {Prompt}, Handed("")),
    Stdin(
        "StdinNullHandle", [](FakeScript& s) { s.stdinHandle = nullptr; }, {}, 0, {Prompt},
        Handed("")),
    Stdin("StdinAllocFails", NoBlock, {{true, X}}, 1, {Prompt, StdinWarning}, Untouched, X),
    Stdin(
        "StdinLockFails", [](FakeScript& s) { s.lockFails = true; }, {{true, X}}, 1,
        {Prompt, StdinWarning}, Untouched, X),
    Stdin("StdinClipboardNeverOpens", Busy<1000>, {}, 1, {Prompt}, Untouched),
    // A pipe or a file, in a process that has a console (dir | tamsel in a console window): the
    // bytes unchanged as CF_TEXT, 0x1A (octal 032) anywhere a byte, zero bytes dropped alone.
    Stdin("StdinPiecesKeepLineEnds", Nothing,
          {{true, "Gr\374\337e\r\n"}, {true, ""}, {true, "c\n"}}, 0, {Prompt},
          Handed("Gr\374\337e\r\nc\n")),
    Stdin("StdinPipeCtrlZIsAByte", Nothing, {{true, "\032a\r\n"}, {true, "b"}}, 0, {Prompt},
          Handed("\032a\r\nb")),
    Stdin("StdinZeroBytesDroppedAlone", Nothing,
          {{true, std::string("ab\0cd", 5)}, {true, std::string("\0ef\0", 4)}}, 0, {Prompt},
          Handed("abcdef")),
    // Only the end of a pipe ends the input; any other failed read leaves the clipboard alone.
    Stdin("StdinFailedReadIsExit1", Nothing, {{true, "ab"}, {false, "", 5}, {true, X}}, 1, {Prompt},
          Untouched, X),
    Stdin("StdinBrokenPipeEnds", Nothing, {{true, "ab"}, {false, "", 109}}, 0, {Prompt},
          Handed("ab")),
    Stdin("StdinPipeNeverConnectedEnds", Nothing, {{false, "", 233}}, 0, {Prompt}, Handed("")),
    // A non-blocking pipe (Git Bash, MSYS2) fails with 232 while empty: more is still to come.
    Stdin("StdinPipeEmptyForNow", Nothing,
          {{false, "", 232}, {true, "ab"}, {false, "", 232}, {true, "c"}, {false, "", 109}}, 0,
          {Prompt}, Handed("abc")),
    Stdin("StdinUtf8Pipe", Ansi<65001>, {{true, Utf8}}, 0, {Prompt}, Handed(Utf8, 1, Utf16)),
    // Piped text that proves to be UTF-8 (where the ANSI code page is single-byte), or UTF-8 or
    // UTF-16 by a byte order mark: Unicode text only, without the mark, however reads split it.
    Stdin("StdinUtf8OnSingleByteWindows", Nothing,
          {{true, Mixed8.substr(0, 3)}, {true, Mixed8.substr(3)}}, 0, {Prompt},
          Handed(Mixed16, 13)),
    Stdin("StdinUtf16Marked", Nothing, {{true, "\xFF"}, {true, "\xFE" + Wide(u"Grüße Ω 😀\r\n")}}, 0,
          {Prompt}, Unicode(u"Grüße Ω 😀\r\n")),
    Piped("StdinMarkedUtf8OnDoubleByteWindows", Ansi<932>, "\xEF\xBB\xBF\xC3\xBD", Unicode(u"ý")),
    Piped("StdinUtf8FourBytes", Nothing, "a\xF0\x9F\x98\x80", Unicode(u"a😀")),
    Piped("StdinUtf16LooksLikeUtf8", Nothing, "\xFF\xFE\xC3\x80", Unicode(u"\u80C3")),
    // UTF-16 and UTF-32LE (FF FE 00 00) lose their zero units and a unit the input ended inside;
    // UTF-32 gives surrogate pairs, and U+FFFD for a value that is no character.
    Piped("StdinUtf16ZeroUnitOddByte", Nothing, Wide({u"\uFEFFĀa\0b", 5}) + "c", Unicode(u"Āab")),
    Piped("StdinUtf32", Nothing, Wide({U"\uFEFFa\0😀\xD800\x110000", 6}) + "b",
          Unicode(u"a😀\uFFFD\uFFFD")),
    Piped("StdinUtf32AtLimit", Nothing, Wide(U"\uFEFF" + std::u32string(2048, 'a')),
          Unicode(std::u16string(2047, 'a')), Wide(U"a")),
    // Anything else as it came: double-byte text that looks like UTF-8 (ﾃｽ in 932), text that is
    // not well-formed UTF-8, Windows 98, which makes no 8-bit text of Unicode text, and a Unicode
    // text that cannot be had.
    AsItCame("StdinDoubleByteLikeUtf8", Ansi<932>, "\xC3\xBD"),
    AsItCame("StdinOverlongIsNoUtf8", Nothing, "\xC3\xBC\xC0\xAF"),
    AsItCame("StdinLoneContinuationIsNoUtf8", Nothing, "\xC3\xBC\xBC"),
    AsItCame("StdinSurrogateIsNoUtf8", Nothing, "\xC3\xBC\xED\xA0\x80"),
    AsItCame("StdinThreeByteOverlong", Nothing, "\xC3\xBC\xE0\x82\xA9"),
    AsItCame("StdinFourByteOverlong", Nothing, "\xC3\xBC\xF0\x82\x82\xAC"),
    AsItCame("StdinLeadByteF9", Nothing, "\xC3\xBC\xF9\x88\x80\x80"),
    AsItCame("StdinUtf8EndsIncomplete", Nothing, "\xC3\xBC\xC3"),
    AsItCame("StdinLeadByteEndsInput", Ansi<932>, "a\x82"),
    Piped("StdinWindows98", Windows98, "\xFF\xFE" + Wide(u"Grü"), Handed("\xFF\xFEGr\xFC")),
    Typing(
        "StdinConsole437Windows98", [](FakeScript& s) { Typed<437>(s), Windows98(s); }, Oem,
        Handed(Oem)),
    Piped("StdinUtf8UnicodeBlockFails", [](FakeScript& s) { s.globalAllocsBeforeFailure = 1; },
          Mixed8, {{1, Mixed8}}),
    Stdin(
        "StdinFileEndsAtZeroBytes", [](FakeScript& s) { s.lastError = 995, s.file = true; },
        {{true, "ab"}, {true, ""}, {true, X}}, 0, {Prompt}, Handed("ab"), X),
    // A pipe is asked for no more than the room left: the rest stays for the next reader.
    Stdin("StdinPipeLimitLeavesRest", Nothing, {{true, Kept}, {true, X}}, 0, {Prompt}, Handed(Kept),
          X),
    Stdin("StdinPipeRoomShrinks", Nothing, {{true, A8000}, {true, B150}, {true, C100}}, 0, {Prompt},
          Handed(A8000 + B150 + C100.substr(0, 42)), C100.substr(42)),
    // A message longer than the room left: the read fails with 234, yet its bytes count.
    Stdin(
        "StdinMessagePipeBeyondLimit", [](FakeScript& s) { s.messagePipe = true; },
        {{true, A8000 + B300}}, 0, {Prompt}, Handed(A8000 + B300.substr(0, 192)), B300.substr(192)),
    Stdin("StdinPipeLastByteAlone", Nothing, {{true, std::string(8191, 'a')}, {true, "bc"}}, 0,
          {Prompt}, Handed(std::string(8191, 'a') + "b"), "c"),
    // At a console: Ctrl+C or Ctrl+Break (995) never leads to a hand-off.
    Stdin("StdinConsoleInterrupted", Console<7>, {{true, "half"}, {true, "", 995}}, CtrlCExit,
          {Prompt}, Untouched),
    Stdin("StdinConsoleInterruptedReadFails", Console<7>, {{true, "half"}, {false, "\032", 995}},
          CtrlCExit, {Prompt}, Untouched),
    // A read that never stores its count is no end: the buffer is not taken on trust.
    Stdin("StdinConsoleCountNeverSet", Console<7>,
          {{true, "ab\r\n"}, {true, "junk", 0, true}, {true, Next}}, 1, {Prompt}, Untouched, Next),
    // Typed in the console's OEM code page (here Gr\x81\xE1e, Grüße in 850): CF_OEMTEXT; in any
    // other: CF_TEXT. Ctrl+Z ends the text only as the first byte of a read, and adds nothing.
    Typing("StdinConsoleOemText", Console<7>, Oem, Handed(Oem, 7)),
    // A code page neither ANSI nor OEM: Unicode text only, or where it cannot be converted, the
    // bytes. On a Windows set to UTF-8, where all three are 65001, the bytes and Unicode text.
    Typing("StdinConsoleUtf8", Typed<65001>, Utf8, Handed(Utf16, 13)),
    Typing("StdinConsole437", Typed<437>, Oem, Handed(Utf16, 13)),
    Typing("StdinConsoleUnconvertible", Typed<866>, Oem, Handed(Oem)),
    Typing("StdinConsoleUtf8Windows", Typed<65001, 65001, 65001>, Utf8, Handed(Utf8, 1, Utf16)),
    Typing("StdinConsoleOtherCodePage", Typed<1252>, "Gr\374\337e\r\n", Handed("Gr\374\337e\r\n")),
    Stdin("StdinConsoleCtrlZStartsLine", Console<7>,
          {{true, "a\032b\r\n"}, {true, CtrlZ}, {true, Next}}, 0, {Prompt}, Handed("a\032b\r\n", 7),
          Next),
    Stdin("StdinConsoleCtrlZNearLimit", Console<7>, {{true, Full}, {true, CtrlZ}, {true, Next}}, 0,
          {Prompt}, Handed(Full, 7), Next),
    // Without processed input Enter gives CR alone: Ctrl+Z, Enter is 1A 0D and ends the input,
    // and a CR ends the line the limit cut.
    Stdin("StdinConsoleCrLinesCtrlZ", Console<6>,
          {{true, "one\r"}, {true, "two\r"}, {true, "\032\r"}, {true, "next\r"}}, 0, {Prompt},
          Handed("one\rtwo\r", 7), "next\r"),
    Stdin("StdinConsoleCrLineCut", Console<6>, {{true, Long + "\r"}, {true, "next\r"}}, 0, {Prompt},
          Handed(Kept, 7)),
    Stdin("StdinConsoleLoneLfNoProcessedInput", Console<6>,
          {{true, A8191 + "\nbc\r"}, {true, Next}}, 0, {Prompt}, Handed(A8191 + "\n", 7)),
    // At the limit the shell gets nothing of a long paste: not the rest of the line the limit
    // cut (without echo too), not the lines waiting, not what arrives late.
    Stdin("StdinConsoleLimitInsideLine", Console<3>, {{true, Long + "\r\n"}, {true, Next}}, 0,
          {Prompt}, Handed(Kept, 7)),
    Stdin("StdinConsoleLimitAtLineEnd", Console<7>, {{true, LimitLine}, {true, Next}}, 0, {Prompt},
          Handed(LimitLine, 7)),
    Stdin("StdinConsoleLimitWithoutLineInput", Console<1>, {{true, Long}}, 0, {Prompt},
          Handed(Kept, 7)),
    // With processed input only CR LF ends the line: a pasted lone LF stays inside it, and the
    // CR LF may come in two reads.
    Stdin("StdinConsoleLoneLfAtLimit", Console<7>, {{true, A8191 + "\nbc\r\n"}, {true, Next}}, 0,
          {Prompt}, Handed(A8191 + "\n", 7)),
    Stdin("StdinConsoleCrLfInTwoReads", Console<7>, {{true, A8191 + "\r\n"}}, 0, {Prompt},
          Handed(A8191 + "\r", 7)),
    // The limit never leaves half a character: not in UTF-8, nor in a double-byte code page,
    // whose trail bytes may look like lead bytes (the second 0x82).
    Piped("StdinUtf8CutInsideCharacter", Ansi<65001>, A8191 + "\xC3\xBC",
          Handed(A8191, 1, Wide(std::u16string(8191, 'a'))), "\xBC"),
    Piped("StdinUtf8CutOnSingleByteWindows", Nothing, A8191.substr(2) + "\xC3\xBC\xE2\x82\xAC",
          Unicode(std::u16string(8189, 'a') + u"ü"), "\x82\xAC"),
    Piped("StdinIllFormedCut", Nothing, "\xC0" + A8191.substr(1) + "\xC3\xBC",
          Handed("\xC0" + A8191.substr(1) + "\xC3"), "\xBC"),
    Piped("StdinMarkedIllFormedCut", Nothing, "\xEF\xBB\xBF\xC0" + A8191.substr(4) + "\xC3\xBC",
          Unicode(u"\uFFFD" + std::u16string(8187, 'a')), "\xBC"),
    Piped("StdinUtf16CutInsideSurrogatePair", Nothing,
          "\xFF\xFE" + Wide(std::u16string(4094, 'a') + u"😀"), Unicode(std::u16string(4094, 'a')),
          Wide(u"😀").substr(2)),
    Piped("StdinDoubleByteCutAfterCharacter", Ansi<932>, A8191.substr(1) + "\x82\x82x",
          Handed(A8191.substr(1) + "\x82\x82"), "x"),
    Stdin("StdinConsoleDoubleByteCut", Typed<932, 932, 932>, {{true, A8191 + "\x82\xA0\r\n"}}, 0,
          {Prompt}, Handed(A8191)),
    // cmd opens tamsel < CON read-only: no flush, yet the events are taken away. A failed
    // read of the cut line's rest leaves the clipboard alone.
    Stdin(
        "StdinReadOnlyConsole", [](FakeScript& s) { Console<7>(s), s.readOnlyConsole = true; },
        {{true, LimitLine}, {true, A8000}, {true, X}}, 0, {Prompt}, Handed(LimitLine, 7)),
    Stdin(
        "StdinReadOnlyConsoleEventsStay",
        [](FakeScript& s) { Console<7>(s), s.readOnlyConsole = s.eventReadFails = true; },
        {{true, LimitLine}, {true, Next}}, 0, {Prompt}, Handed(LimitLine, 7), Next),
    Stdin("StdinConsoleReadFails", Console<7>, {{true, "ab"}, {false, "", 6}, {true, Next}}, 1,
          {Prompt}, Untouched, Next),
    Stdin("StdinConsoleDrainReadFails", Console<7>, {{true, Kept}, {false, "", 6}, {true, Next}}, 1,
          {Prompt}, Untouched, Next),
    Stdin(
        "StdinConsolePasteStillArriving", [](FakeScript& s) { Console<7>(s), s.late = {X, Y}; },
        {{true, LimitLine}, {true, Next}}, 0, {Prompt}, Handed(LimitLine, 7)),
    Stdin(
        "StdinConsoleWaitFails",
        [](FakeScript& s) { Console<7>(s), s.late = {X, Y}, s.waitFails = true; },
        {{true, LimitLine}, {true, Next}}, 0, {Prompt}, Handed(LimitLine, 7), X + Y),
    Stdin("StdinConsoleInterruptedAfterLimit", Console<7>, {{true, Long}, {true, "", 995}},
          CtrlCExit, {Prompt}, Untouched),
    // Hosts before 2023 drop what a line holds beyond the count asked: every console read asks
    // for all 8192 bytes, and only what fits is kept, with no hole inside.
    Stdin(
        "StdinOldConsoleHostNearLimit",
        [](FakeScript& s) { Console<7>(s), s.oldConsoleHost = true; },
        {{true, A8000 + "\r\n"}, {true, B300 + "\r\n"}, {true, Next}}, 0, {Prompt},
        Handed(A8000 + "\r\n" + B300.substr(0, 190), 7)),
};

class RunTest : public testing::TestWithParam<Case> {};

TEST_P(RunTest, ExitCodeBoxesClipboardAndInputLeft) {
    const Case& run = GetParam();
    ResetFake();
    script.reads = run.reads;
    run.setup(script);
    std::vector<std::string> args = run.args;
    std::vector<char*> argv = {const_cast<char*>("tamsel.exe")};
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);

    script.wideCommandLine = run.line;
    int argc = static_cast<int>(argv.size()) - 1;
    EXPECT_EQ(run.line.empty() ? TamselMain(argc, argv.data()) : RunTamsel(), run.exitCode);
    EXPECT_EQ(fake.dialogs, run.dialogs);
    EXPECT_EQ(fake.clipboard, run.clipboard);
    EXPECT_EQ(Unread(), run.unread);
    EXPECT_EQ(Breaches(), "");
}

INSTANTIATE_TEST_SUITE_P(Main, RunTest, testing::ValuesIn(Runs),
                         [](const testing::TestParamInfo<Case>& info) { return info.param.name; });

}  // namespace
