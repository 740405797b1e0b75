// The standard-input mode: up to StdinLimit bytes of standard input, unchanged, to the clipboard.
#include "messages.h"
#include "tamsel.h"

// Every read lands here first; static, so that 8 KB never sits on the stack.
static char ReadChunk[StdinLimit];

int CopyStandardInput() {
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    if (input == INVALID_HANDLE_VALUE) return 1;
    // Only Cancel stops here; a prompt that could not be shown still lets a pipe through.
    if (ShowMessage(StdinPrompt, 0) == IDCANCEL) return 0;

    HGLOBAL block;
    char* text = AllocateTextBlock(StdinLimit + 1, &block);
    if (!text) {
        ShowMessage(StdinAllocationError, 0);
        return 1;
    }
    // total counts every byte consumed, zero bytes included; end is where the next kept byte
    // goes. A zero byte would end the clipboard text early, so each one alone is dropped.
    DWORD total = 0;
    DWORD end = 0;
    DWORD got;
    // A failed read (a broken pipe, a null handle) ends the input just like a read of 0 bytes.
    while (ReadFile(input, ReadChunk, StdinLimit - total, &got, nullptr) && got != 0) {
        total += got;
        for (DWORD i = 0; i < got; ++i) {
            if (ReadChunk[i] != 0) text[end++] = ReadChunk[i];
        }
        if (total >= StdinLimit) break;  // the rest stays unread for whoever reads next
    }
    return PublishTextBlock(block) ? 0 : 1;
}
