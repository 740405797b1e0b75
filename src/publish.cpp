// The text block's life: allocation by a copy mode, hand-off to the clipboard.
#include "tamsel.h"
#include "unicode.h"

// Clipboard history and managers hold the clipboard open for a moment after every change;
// give them about a second, as the .NET clipboard does.
constexpr int ClipboardTries = 10;
constexpr DWORD ClipboardRetryDelay = 100;

char* AllocateTextBlock(SIZE_T size, HGLOBAL* block) {
    *block = GlobalAlloc(TextBlockFlags, size);
    if (!*block) return nullptr;
    return static_cast<char*>(GlobalLock(*block));  // null is handled like a failed allocation
}

// Windows labels 8-bit text that comes without CF_LOCALE with the keyboard's language, and makes
// Unicode of it by that language's code page; Tamsel's text is in the system's code pages. With
// a Russian keyboard on a German Windows, "Grüße" would paste as "GrьЯe" in Unicode programs.
// Returns the unlocked block, or null when none could be had: the text then goes without it.
static HGLOBAL LocaleBlock() {
    HGLOBAL block;
    LCID* locale = reinterpret_cast<LCID*>(AllocateTextBlock(sizeof(LCID), &block));
    if (!locale) return nullptr;
    *locale = GetSystemDefaultLCID();
    GlobalUnlock(block);
    return block;
}

// Windows makes Unicode of 8-bit text by its locale's code pages; text in any other code page,
// UTF-8 among them, which no locale has, would paste as garbage ("Grüße" in UTF-8 as "GrÃ¼ÃŸe").
// Such text goes over as Unicode text too, UTF-8 decoded by Tamsel itself. Returns the unlocked
// block, or null when none could be had or the code page cannot be converted.
static HGLOBAL UnicodeBlock(const char* text, UINT codePage) {
    DWORD length = TextLength(text);  // a byte gives one UTF-16 unit at most
    HGLOBAL block;
    WCHAR* wide = reinterpret_cast<WCHAR*>(AllocateTextBlock((length + 1) * sizeof(WCHAR), &block));
    if (!wide) return nullptr;
    // The block is zero-filled: the text ends where the units end.
    bool made = codePage == CP_UTF8 ? (DecodeUtf8(text, &length, wide, false), true)
                                    : MultiByteToWideChar(codePage, 0, text, -1, wide, length + 1);
    GlobalUnlock(block);
    return made ? block : nullptr;  // a block left unused goes with the process
}

// CF_TEXT says the ANSI code page of CF_LOCALE's locale, CF_OEMTEXT its OEM code page; text in
// any other has no 8-bit format, and would be converted by the wrong table. Windows offers each
// format set converted as the others too.
bool PublishTextBlock(HGLOBAL block, const char* text, UINT codePage) {
    if (codePage == CP_ACP) codePage = GetACP();
    UINT format = codePage == GetACP() ? CF_TEXT : codePage == GetOEMCP() ? CF_OEMTEXT : 0;
    // Made before the clipboard opens, so that it is held open no longer than need be.
    HGLOBAL unicode = codePage == CP_UTF16 ? block : nullptr;
    if (!unicode && (format ? codePage == CP_UTF8 : MakesTextOfUnicode())) {
        unicode = UnicodeBlock(text, codePage);
    }
    if (!format && !unicode) format = CF_TEXT;  // the bytes as they are: the best left
    HGLOBAL locale = LocaleBlock();
    GlobalUnlock(block);  // result ignored: it only tells whether other locks remain
    for (int tries = 1; !OpenClipboard(nullptr); ++tries) {
        if (tries == ClipboardTries) return false;
        Sleep(ClipboardRetryDelay);
    }
    EmptyClipboard();  // result ignored: SetClipboardData tells whether the text arrived
    bool published = format ? SetClipboardData(format, block) != nullptr
                            : SetClipboardData(CF_UNICODETEXT, unicode) != nullptr;
    // Results ignored: the text is there either way. A null block would ask for delayed rendering.
    if (published && format && unicode) SetClipboardData(CF_UNICODETEXT, unicode);
    if (published && locale) SetClipboardData(CF_LOCALE, locale);
    CloseClipboard();
    return published;
}
