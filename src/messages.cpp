// Shows the catalogue's dialogs through the one static text buffer.
#include "messages.h"

char MessageText[512];

int ShowMessage(const Message& message, int value) {
    wsprintfA(MessageText, message.format, value, value);  // length ignored: texts are fixed
    return MessageBoxA(nullptr, MessageText, Caption, message.type);
}
