// Fuzzes the start-up's command-line splitting: any bytes as the command line, any set of
// lead bytes, memory that runs out after any number of heap calls. The fake's HeapAlloc hands
// out exactly the bytes asked for, so AddressSanitizer sees every write past the copy buffer.
//
// Input layout: byte 0 chooses the heap (0xF0 to 0xFF: that many minus 0xF0 heap calls
// succeed, then every one fails; anything else: the heap never runs out); byte 1, when odd, says
// that the next 32 bytes are a bitmap of lead bytes (bit b of byte b / 8 marks byte b); the
// rest, up to its first zero byte, is the command line.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "../../src/platform/cmdline.h"
#include "../unit/fake_platform.h"

namespace {

void Require(bool holds, const char* property) {
    if (holds) return;
    std::fprintf(stderr, "broken: %s\n", property);
    std::abort();
}

// What an unquoted line without lead bytes must give: the words after the program name.
std::vector<std::string> Words(const std::string& line) {
    std::vector<std::string> words;
    size_t i = line.find_first_not_of(" \t");
    i = line.find_first_of(" \t", i == std::string::npos ? line.size() : i);  // program name
    while (i < line.size()) {
        size_t start = line.find_first_not_of(" \t", i);
        if (start == std::string::npos) break;
        i = line.find_first_of(" \t", start);
        if (i == std::string::npos) i = line.size();
        words.push_back(line.substr(start, i - start));
    }
    return words;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ResetFake();
    size_t at = 0;
    uint8_t heap = at < size ? data[at++] : 0;
    if (heap >= 0xF0) script.heapAllocsBeforeFailure = heap - 0xF0;
    bool isLead[256] = {};
    if (at < size && (data[at++] & 1)) {
        for (int b = 0; b < 256 && at + b / 8 < size; ++b) {
            isLead[b] = (data[at + b / 8] >> (b % 8)) & 1;
        }
        at += 32;
    }
    // An exactly sized, zero-terminated copy: reading past the end is caught too.
    std::string line;
    if (at < size) {
        const char* rest = reinterpret_cast<const char*>(data + at);
        line.assign(rest, strnlen(rest, size - at));
    }
    char* commandLine = static_cast<char*>(std::malloc(line.size() + 1));
    std::memcpy(commandLine, line.c_str(), line.size() + 1);

    static char program[] = "C:\\tools\\tamsel.exe";
    int argc = -1;
    char** argv = nullptr;
    const char* failure = SplitCommandLine(commandLine, isLead, program, &argc, &argv);

    if (failure) {
        Require(!std::strcmp(failure, NoCopySpace) || !std::strcmp(failure, NoVectorSpace),
                "failure is a known text");
        Require(script.heapAllocsBeforeFailure == 0, "failure only when the heap ran out");
    } else {
        Require(argc >= 1 && argv != nullptr && argv[0] == program, "argv[0] is the program");
        size_t bytes = 0;
        for (int i = 1; i < argc; ++i) {
            Require(argv[i] != nullptr, "argv[1] to argv[argc - 1] are set");
            bytes += std::strlen(argv[i]);
        }
        Require(argv[argc] == nullptr, "argv[argc] is null");
        Require(bytes <= line.size(), "the arguments hold no more bytes than the line");

        bool plain = line.find('"') == std::string::npos;
        for (char c : line) plain = plain && !isLead[static_cast<unsigned char>(c)];
        if (plain) {
            std::vector<std::string> words = Words(line);
            Require(static_cast<size_t>(argc - 1) == words.size(), "plain line: word count");
            for (int i = 1; i < argc; ++i) {
                Require(words[i - 1] == argv[i], "plain line: each argument is one word");
            }
        }
    }
    std::free(commandLine);
    ResetFake();  // frees the copy and the vector
    return 0;
}
