// One run of the standard-input mode over the fake platform, for callgrind to count.
// Usage: stdin_driver TOTAL_BYTES READ_SIZE
// The input is TOTAL_BYTES bytes of text, delivered READ_SIZE bytes per read, then the end.
#include <cstdlib>
#include <string>

#include "../tests/unit/fake_platform.h"

// The host build calls the tool's main TamselMain everywhere; this main is the driver's own.
#undef main
int TamselMain(int argc, char** argv);

int main(int argc, char** argv) {
    if (argc != 3) return 2;
    size_t total = std::strtoul(argv[1], nullptr, 10);
    size_t readSize = std::strtoul(argv[2], nullptr, 10);
    if (readSize == 0) return 2;
    ResetFake();
    std::string input;
    for (size_t i = 0; i < total; ++i) input += static_cast<char>('a' + i % 26);
    for (size_t at = 0; at < total; at += readSize) {
        script.reads.push_back({true, input.substr(at, readSize)});
    }
    static char program[] = "tamsel";
    char* toolArgv[] = {program, nullptr};
    int exitCode = TamselMain(1, toolArgv);
    // The figure only counts if the run copied everything.
    return exitCode == 0 && fake.clipboard == Handed(input.substr(0, 8192)) ? 0 : 1;
}
