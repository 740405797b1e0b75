// Tamsel's own routines: the dispatch, the two copy modes and the clipboard hand-off.
#ifndef TAMSEL_H
#define TAMSEL_H

#include "platform/platform.h"

// A sole argument starting with this character asks for help.
constexpr char HelpSwitchChar = '/';
// The most bytes taken from standard input in one run.
constexpr DWORD StdinLimit = 8192;
// The text block: movable, zero-filled, shareable with the clipboard.
constexpr UINT TextBlockFlags = GMEM_MOVEABLE | GMEM_ZEROINIT | GMEM_DDESHARE;  // 0x2042

// The code page of main's arguments: CP_ACP, or CP_UTF8 where the start-up split the Unicode
// command line because the ANSI one lost or changed a character.
extern UINT ArgumentsCodePage;

// Return the exit code, 0 or 1. argv[0] is never read.
int main(int argc, char** argv);
int CopyArguments(int argc, char** argv);
// Also returns STATUS_CONTROL_C_EXIT when Ctrl+C or Ctrl+Break cut a console read short.
int CopyStandardInput();

// Allocates a text block of size bytes and locks it. Returns its first byte and sets *block,
// or returns null when it cannot be had (the caller warns).
char* AllocateTextBlock(SIZE_T size, HGLOBAL* block);
// Unlocks the filled block, whose text starts at text, and makes it the clipboard's only
// content, labelled with the system's locale (CF_LOCALE). The text's code page decides its
// format: the ANSI one (CP_ACP, or its number) goes as CF_TEXT, the OEM one as CF_OEMTEXT, any
// other as Unicode text only (CF_UNICODETEXT; with CP_UTF16 the block holds it already), from which
// Windows makes both 8-bit formats; UTF-8 goes as Unicode text too, beside CF_TEXT where the ANSI
// code page is UTF-8. Where no Unicode text can be had, the bytes go as CF_TEXT. Returns whether
// the text reached the clipboard. The block is never freed: on success it belongs to the clipboard,
// on failure the process is about to end.
bool PublishTextBlock(HGLOBAL block, const char* text, UINT codePage);

// Windows 95, 98 and Me make no 8-bit text of Unicode text on the clipboard: there a text goes
// over in the bytes it came in.
inline bool MakesTextOfUnicode() {
    return !(GetVersion() & 0x80000000u);
}

#endif
