// How the installation run reports to the user interface: the wizard's copying page implements
// it and hands itself to TSetupInstaller::Install, which only borrows it for the call.
// Portable.
#pragma once

#include <cstdint>
#include <string>

class ISetupProgress {
public:
    // Shows position (0 to 100) on the progress bar and repaints it before returning.
    virtual void SetProgress(int32_t position) = 0;
    // Shows text as the current step, repaints, and keeps it on screen for at least 500 ms
    // before returning, so that each step can be read.
    virtual void SetStatus(const std::string& text) = 0;

protected:
    ~ISetupProgress() = default;
};
