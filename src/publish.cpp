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
static void PublishLocale() {
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_DDESHARE, sizeof(LCID));
    LCID* locale = block ? static_cast<LCID*>(GlobalLock(block)) : nullptr;
    if (!locale) return;  // the text goes without it, as it always did
    *locale = GetSystemDefaultLCID();
    GlobalUnlock(block);
    SetClipboardData(CF_LOCALE, block);  // result ignored: the text is there either way
}

bool PublishTextBlock(HGLOBAL block, UINT format) {
    GlobalUnlock(block);  // result ignored: it only tells whether other locks remain
    for (int tries = 1; !OpenClipboard(nullptr); ++tries) {
        if (tries == ClipboardTries) return false;
        Sleep(ClipboardRetryDelay);
    }
    EmptyClipboard();  // result ignored: SetClipboardData tells whether the text arrived
    bool published = SetClipboardData(format, block) != nullptr;
    if (published) PublishLocale();
    CloseClipboard();
    return published;
}
