// How the controllers of setup/ talk to the user: a message shown in one of the dialog kinds of
// the message table, answered with the button chosen. The message dialogs themselves belong to
// the user interface above this layer; the program passes them in (app/Startup.cpp), tests
// answer without windows.
#pragma once

#include <string>

#include "messages/Strings.h"

class ISetupDialogs {
public:
    // Shows text (lines broken at each carriage return) in a modal dialog of the given kind.
    virtual TMessageResult ShowMessage(const std::string& text, TMessageKind kind) = 0;

protected:
    ~ISetupDialogs() = default;
};
