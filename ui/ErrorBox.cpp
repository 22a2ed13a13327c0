#include "ui/ErrorBox.h"

#include <windows.h>

#include "ui/Application.h"

std::string ErrorBoxText(const std::string& message) {
    // Character codes compare unsigned, so letters of the upper half of the ANSI code page
    // (such as an accented final letter) also gain the full stop.
    if (!message.empty() && static_cast<unsigned char>(message.back()) > '.')
        return message + '.';
    return message;
}

void ShowErrorBox(const std::string& message) {
    // MB_TASKMODAL without an owner disables every top-level window of this thread while
    // the box is up, which is what makes it modal to the application.
    ::MessageBoxA(nullptr, ErrorBoxText(message).c_str(), Application().Title.c_str(),
                  MB_OK | MB_ICONERROR | MB_TASKMODAL);
}
