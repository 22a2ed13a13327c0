// How the controllers of setup/ talk to the user: a message shown in one of the dialog kinds of
// the message table, answered with the button chosen. The message dialogs themselves belong to
// the user interface above this layer; the program passes them in (app/Startup.cpp), tests
// answer without windows.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

#include "messages/Strings.h"

// What a long step reports now and then: done of total items.
using TItemProgress = std::function<void(size_t done, size_t total)>;

class ISetupDialogs {
public:
    // Shows text (lines broken at each carriage return) in a modal dialog of the given kind.
    virtual TMessageResult ShowMessage(const std::string& text, TMessageKind kind) = 0;
    // Runs work while a window titled caption shows text and a bar that moves with what work
    // reports. The window answers the user throughout (work runs on a thread of its own, and
    // reports from there) and goes when work ends. Returns work's result; what work raises is
    // raised here.
    virtual bool ShowProgress(const std::string& caption, const std::string& text,
                              const std::function<bool(const TItemProgress& progress)>& work) = 0;

protected:
    ~ISetupDialogs() = default;
};
