#include "ui/ErrorBox.h"

#include "ui/MessageDialog.h"

std::string ErrorBoxText(const std::string& message) {
    // Character codes compare unsigned, so letters of the upper half of the ANSI code page
    // (such as an accented final letter) also gain the full stop.
    if (!message.empty() && static_cast<unsigned char>(message.back()) > '.')
        return message + '.';
    return message;
}

void ShowErrorBox(const std::string& caption, const std::string& message) {
    // The error kind of the message dialogs adds the full stop through ErrorBoxText.
    ShowMessage(message, mkError, caption);
}
