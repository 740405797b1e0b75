// The text block's life: allocation by a copy mode, hand-off to the clipboard.
#include "tamsel.h"

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

// No locale has UTF-8 as its code page, so Windows would make Unicode of UTF-8 text by another
// one: on a Windows set to UTF-8, or after chcp 65001, "Grüße" would paste as "GrÃ¼ÃŸe". Such
// text also goes over as Unicode. Returns the unlocked block, or null when none could be had:
// the 8-bit text then goes alone.
static HGLOBAL UnicodeBlock(const char* text) {
    int size = static_cast<int>(TextLength(text)) + 1;  // a byte gives one UTF-16 unit at most
    HGLOBAL block;
    WCHAR* wide = reinterpret_cast<WCHAR*>(AllocateTextBlock(size * sizeof(WCHAR), &block));
    if (!wide) return nullptr;
    // Result ignored: the block is zero-filled, so should it fail it holds the empty text.
    MultiByteToWideChar(CP_UTF8, 0, text, -1, wide, size);
    GlobalUnlock(block);
    return block;
}

bool PublishTextBlock(HGLOBAL block, const char* text, UINT format, UINT codePage) {
    // Made before the clipboard opens, so that it is held open no longer than need be.
    HGLOBAL unicode = codePage == CP_UTF8 ? UnicodeBlock(text) : nullptr;
    HGLOBAL locale = LocaleBlock();
    GlobalUnlock(block);  // result ignored: it only tells whether other locks remain
    for (int tries = 1; !OpenClipboard(nullptr); ++tries) {
        if (tries == ClipboardTries) return false;
        Sleep(ClipboardRetryDelay);
    }
    EmptyClipboard();  // result ignored: SetClipboardData tells whether the text arrived
    bool published = SetClipboardData(format, block) != nullptr;
    // Results ignored: the text is there either way. A null block would ask for delayed rendering.
    if (published && unicode) SetClipboardData(CF_UNICODETEXT, unicode);
    if (published && locale) SetClipboardData(CF_LOCALE, locale);
    CloseClipboard();
    return published;
}
