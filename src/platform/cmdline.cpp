// Tamsel's own command-line splitting. Its rules differ from the usual C runtime's on purpose:
// two backslashes before a quote give one backslash and a literal quote, and a quote that
// follows a quoted program name directly starts the first argument.
#include "cmdline.h"

static bool IsBlank(unsigned char c) {
    return c == ' ' || c == '\t';
}

UINT ReadLeadBytes(UINT codePage, bool* isLead) {
    for (int c = 0; c < 256; ++c) isLead[c] = false;
    CPINFO info;
    if (!GetCPInfo(codePage, &info)) return 0;
    for (int i = 0; i + 1 < MAX_LEADBYTES && info.LeadByte[i] != 0; i += 2) {
        for (int c = info.LeadByte[i]; c <= info.LeadByte[i + 1]; ++c) isLead[c] = true;
    }
    return info.MaxCharSize;
}

const char* SplitCommandLine(const char* commandLine, const bool* isLead, char* program, int* argc,
                             char*** argv) {
    const unsigned char* p = reinterpret_cast<const unsigned char*>(commandLine);

    // The program name knows no escapes: a quoted one ends at the next quote, and whatever
    // touches that quote already belongs to the first argument.
    while (IsBlank(*p)) ++p;
    if (*p == '"') {
        ++p;
        while (*p && *p != '"') ++p;
        if (*p) ++p;
    } else {
        while (*p && !IsBlank(*p)) ++p;
    }

    // No argument is longer than the text it came from, and each gains one terminating zero
    // where the text had a blank, a tab or its end.
    HANDLE heap = GetProcessHeap();
    SIZE_T size = TextLength(reinterpret_cast<const char*>(p)) + 1;
    char* out = static_cast<char*>(HeapAlloc(heap, 0, size));
    if (!out) return NoCopySpace;

    constexpr int Growth = 16;
    int capacity = Growth;
    char** vector = static_cast<char**>(HeapAlloc(heap, 0, capacity * sizeof(char*)));
    if (!vector) return NoVectorSpace;
    int count = 0;
    vector[count++] = program;

    for (;;) {
        while (IsBlank(*p)) ++p;
        if (!*p) break;               // blanks at the end give no argument
        if (count + 1 >= capacity) {  // room for this argument and the closing null entry
            capacity += Growth;
            void* grown = HeapReAlloc(heap, 0, vector, capacity * sizeof(char*));
            if (!grown) return NoVectorSpace;
            vector = static_cast<char**>(grown);
        }
        vector[count++] = out;
        bool quoted = false;
        while (*p && (quoted || !IsBlank(*p))) {
            if (*p == '\\' && p[1] == '"') {
                *out++ = '"';
                p += 2;
            } else if (*p == '"') {
                quoted = !quoted;  // "" is an empty stretch: no byte, yet an argument
                ++p;
            } else {
                // A lead byte shields the next byte from being read as a quote or backslash.
                if (isLead[*p] && p[1]) *out++ = static_cast<char>(*p++);
                *out++ = static_cast<char>(*p++);
            }
        }
        *out++ = 0;
    }
    vector[count] = nullptr;
    *argc = count;
    *argv = vector;
    return nullptr;
}
