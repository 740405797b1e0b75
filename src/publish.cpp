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

bool PublishTextBlock(HGLOBAL block, UINT format) {
    GlobalUnlock(block);  // result ignored: it only tells whether other locks remain
    for (int tries = 1; !OpenClipboard(nullptr); ++tries) {
        if (tries == ClipboardTries) return false;
        Sleep(ClipboardRetryDelay);
    }
    EmptyClipboard();  // result ignored: SetClipboardData tells whether the text arrived
    bool published = SetClipboardData(format, block) != nullptr;
    CloseClipboard();
    return published;
}
