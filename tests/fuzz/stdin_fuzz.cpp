// Fuzzes the standard-input mode over the fake platform: any input, cut into reads of any
// size, with failing reads, any dialog answer, failing allocation and a busy clipboard.
//
// Input layout (missing bytes count as zero):
//   byte 0     bits 0-1: the prompt's answer (OK, Cancel, 0, -1); bit 2: the standard-input
//              handle is INVALID_HANDLE_VALUE; bit 3: GlobalAlloc fails; bit 4: GlobalLock
//              fails; bit 5: SetClipboardData fails; bit 6: Windows 98, where every text goes
//              as its bytes (elsewhere a text that proves to be UTF-8 or UTF-16 goes as Unicode)
//   byte 1     another program holds the clipboard (byte mod 16) times 100 ms
//   bytes 2-3  the input's length, little-endian, low 14 bits
//   byte 4     the number of planned reads, mod 64, each then two bytes little-endian: 0xFFFF is
//              the end of a pipe (a read failing with ERROR_BROKEN_PIPE), 0xFFFE a read failing
//              otherwise, anything else asks the fake to deliver up to its low 14 bits
//   the rest   a pattern repeated to make up the input
// Reads are cut to what is left of the input and of the room the tool asked for; a planned read
// of 0 bytes or the pipe's end ends the input, and so does running out of plan or input; any
// other failure ends the run with exit code 1.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "../../src/tamsel.h"
#include "../unit/fake_platform.h"

int TamselMain(int argc, char** argv);

namespace {

void Require(bool holds, const char* property) {
    if (holds) return;
    std::fprintf(stderr, "broken: %s\n", property);
    std::abort();
}

struct Reader {
    const uint8_t* data;
    size_t size;
    size_t at = 0;
    unsigned Byte() {
        return at < size ? data[at++] : 0;
    }
    unsigned Word() {
        unsigned low = Byte();
        return low | Byte() << 8;
    }
};

const int Answers[] = {1, 2, 0, -1};  // IDOK, IDCANCEL, not shown, no display

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ResetFake();
    Reader in{data, size};
    unsigned flags = in.Byte();
    int answer = Answers[flags & 3];
    bool invalidHandle = flags & 4;
    script.dialogAnswers = {answer};
    if (invalidHandle) script.stdinHandle = reinterpret_cast<HANDLE>(-1);
    if (flags & 8) script.globalAllocsBeforeFailure = 0;
    script.lockFails = flags & 16;
    script.setDataFails = flags & 32;
    script.windows9x = flags & 64;
    DWORD busyMs = in.Byte() % 16 * 100;
    script.clipboardBusyMs = busyMs;
    size_t length = in.Word() & 0x3FFF;
    unsigned plannedReads = in.Byte() % 64;
    std::vector<unsigned> plan;
    for (unsigned i = 0; i < plannedReads; ++i) plan.push_back(in.Word());
    std::string input;
    if (in.at < size) {
        while (input.size() < length) {
            input.append(reinterpret_cast<const char*>(data + in.at),
                         std::min(size - in.at, length - input.size()));
        }
    }

    // Script the reads, keeping the room that each read leaves beforehand.
    size_t delivered = 0;
    bool ended = false;  // by a failing read or a read of 0 bytes
    bool failed = false;
    std::vector<size_t> roomBefore;
    for (unsigned wanted : plan) {
        roomBefore.push_back(StdinLimit - delivered);
        if (wanted >= 0xFFFE) {
            failed = wanted == 0xFFFE;
            script.reads.push_back({false, "", failed ? 5u : 109u});
            ended = true;
            break;
        }
        size_t n =
            std::min<size_t>({wanted & 0x3FFF, StdinLimit - delivered, input.size() - delivered});
        script.reads.push_back({true, input.substr(delivered, n)});
        delivered += n;
        if (n == 0) {
            ended = true;
            break;
        }
        if (delivered == StdinLimit) break;
    }
    if (!ended && delivered < StdinLimit && delivered < input.size()) {
        size_t n = std::min<size_t>(StdinLimit - delivered, input.size() - delivered);
        roomBefore.push_back(StdinLimit - delivered);
        script.reads.push_back({true, input.substr(delivered, n)});
        delivered += n;
    }
    size_t expectedReads = script.reads.size();
    if (!ended && delivered < StdinLimit) {
        roomBefore.push_back(StdinLimit - delivered);  // the empty queue says: end of input
        ++expectedReads;
    }

    static char program[] = "tamsel";
    char* argv[] = {program, nullptr};
    int exitCode = TamselMain(1, argv);

    bool proceeds = !invalidHandle && answer != Answers[1] && !(flags & 8) && !script.lockFails;
    if (!proceeds) {
        Require(exitCode == (invalidHandle || answer != Answers[1] ? 1 : 0), "early exit code");
        Require(fake.readSizes.empty(), "nothing read before the block is there");
        Require(fake.clipboard == EarlierClipboard, "clipboard untouched on an early exit");
        Require(!invalidHandle || fake.dialogs.empty(), "no dialog for an invalid handle");
    } else {
        Require(fake.readSizes.size() == expectedReads, "reads end at the end of input or limit");
        for (size_t i = 0; i < fake.readSizes.size(); ++i) {
            Require(fake.readSizes[i] <= roomBefore[i], "no read asks for more than the room");
        }
        bool published = !failed && busyMs < 1000 && !script.setDataFails;
        Require(exitCode == (published ? 0 : 1), "exit code after the hand-off");
        Require(failed || busyMs >= 1000 ? fake.clipboard == EarlierClipboard
                                         : published || fake.clipboard.empty(),
                "clipboard untouched, or emptied only when the text was refused");
        if (published) {
            std::string expected;
            for (size_t i = 0; i < delivered; ++i) {
                if (input[i] != 0) expected += input[i];
            }
            bool unicode = !script.windows9x && fake.clipboard.size() == 2 &&
                           fake.clipboard[0].first == 13;  // CF_UNICODETEXT
            Require(unicode || fake.clipboard == Handed(expected),
                    "the input without zero bytes, its locale");
        }
    }
    Require(Breaches().empty(), "what Windows demands of every run");
    ResetFake();
    return 0;
}
