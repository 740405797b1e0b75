// Splitting the raw command line into the argc/argv that main receives.
#ifndef TAMSEL_CMDLINE_H
#define TAMSEL_CMDLINE_H

#include "platform.h"

// Start-up failures, written to standard error as they stand (CR LF before and after).
constexpr char NoCopySpace[] = "\r\nNo space for copy of command line\r\n";
constexpr char NoVectorSpace[] = "\r\nNo space for command line argument vector\r\n";
constexpr char NoCodePage[] =
    "\r\nError: system code page access failure; MBCS table not initialized\r\n";

// Sets isLead (256 entries) to mark exactly the lead bytes of codePage (CP_ACP: the ANSI one).
// Returns the most bytes a character of it takes (UTF-8: 4, with no lead bytes), or 0 when the
// code page could not be read; no byte is then a lead byte.
UINT ReadLeadBytes(UINT codePage, bool* isLead);

// Splits commandLine (program name first) into *argc and *argv, with argv[0] = program and
// argv[*argc] null. Blanks and tabs separate; double quotes group and are dropped; a backslash
// before a double quote makes it literal; a lead byte keeps the byte after it; nothing else is
// special and wildcards are not expanded. Copy and vector come from the process heap and live
// for the whole run. Returns null, or the failure text when memory runs out.
const char* SplitCommandLine(const char* commandLine, const bool* isLead, char* program, int* argc,
                             char*** argv);

#endif
