// The five dialogs Tamsel can show, in one catalogue: text, icon and buttons.
#ifndef TAMSEL_MESSAGES_H
#define TAMSEL_MESSAGES_H

#include "platform/platform.h"

struct Message {
    const char* format;  // formatted with %d only, never with user text
    UINT type;
};

// English line first, German second, each ending in a lone line feed.
constexpr Message HelpMessage = {
    "Copies all arguments to clipboard.\nKopiert alle Parameter in die Zwischenablage.\n",
    MB_OK | MB_ICONINFORMATION};
constexpr Message ArgumentsPrompt = {
    "Copy %d arguments to clipboard?\n%d Parameter in die Zwischenablage kopieren?\n",
    MB_OKCANCEL | MB_ICONQUESTION};
constexpr Message ArgumentsAllocationError = {
    "Error allocating global memory (size: %d).\nFehler bei Speicherreservierung (%d Bytes).\n",
    MB_OK | MB_ICONWARNING};
constexpr Message StdinPrompt = {
    "Copy STDIN to clipboard?\nSTDIN in die Zwischenablage kopieren?\n",
    MB_OKCANCEL | MB_ICONQUESTION};
constexpr Message StdinAllocationError = {
    "Error allocating global memory (8 KB).\nFehler bei Speicherreservierung (8 KB).\n",
    MB_OK | MB_ICONWARNING};

constexpr char Caption[] = "Tamsel";

// Where every dialog text is formatted; the longest one needs 104 bytes.
extern char MessageText[512];

// Formats the message with value in both places (formats without %d ignore it) and shows it
// modally with no owner. Returns what MessageBoxA returned.
int ShowMessage(const Message& message, int value);

#endif
