// Entry of the tool's logic: help, the arguments mode, or the standard-input mode.
#include "messages.h"
#include "tamsel.h"

UINT ArgumentsCodePage = CP_ACP;

int main(int argc, char** argv) {
    // Only the first byte of a sole argument is looked at: /?, /h and a lone / all mean help.
    if (argc == 2 && argv[1][0] == HelpSwitchChar) {
        ShowMessage(HelpMessage, 0);  // result ignored: help ends with 0 however the box went
        return 0;
    }
    if (argc > 1) return CopyArguments(argc, argv);
    return CopyStandardInput();
}

// Copies every argument, each followed by CR LF, into one exactly sized block.
int CopyArguments(int argc, char** argv) {
    int answer = ShowMessage(ArgumentsPrompt, argc - 1);
    if (answer == IDCANCEL) return 0;  // declined, or the box was closed
    // Anything else but OK means the prompt never reached the user (Wine without a display
    // answers -1 at once): nothing was copied, so this must not look like success.
    if (answer != IDOK) return 1;

    int size = 1;
    for (int i = 1; i < argc; ++i) size += static_cast<int>(TextLength(argv[i])) + 2;

    HGLOBAL block;
    char* text = AllocateTextBlock(size, &block);
    if (!text) {
        ShowMessage(ArgumentsAllocationError, size);
        return 1;
    }
    // The block is zero-filled, so it starts as the empty text and ends up filled exactly.
    for (int i = 1; i < argc; ++i) {
        lstrcatA(text, argv[i]);
        lstrcatA(text, "\r\n");
    }
    return PublishTextBlock(block, text, ArgumentsCodePage) ? 0 : 1;
}
