// How the installation run reports to the user interface: the wizard's copying page implements
// it and hands itself to TSetupInstaller::Install, which only borrows it for the call.
// Portable. The run may go on a thread of its own; every call comes from that thread.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

class ISetupProgress {
public:
    // Shows position (0 to 100) on the progress bar and repaints it before returning.
    virtual void SetProgress(int32_t position) = 0;
    // Shows text as the current step and repaints. Each text stays on screen for at least
    // 500 ms, so that each step can be read: the implementer holds the next change of text (and
    // the end of the run) until the last one has had that time, so the run may go on working
    // while a text is shown.
    virtual void SetStatus(const std::string& text) = 0;
    // Between the run's own positions: how far the copying has come, as a position on the same
    // bar, reported while the files are written (at most every 50 ms, never lower than the
    // last). Shown like SetProgress, without holding anything up.
    virtual void SetCopyProgress(int32_t position) { (void)position; }
    // Runs work on the thread that owns the user interface and returns when it is done,
    // raising what it raised; raises ESetupError when that thread could not be reached (its
    // window is gone), so that work is never silently left undone. The product's libraries
    // are called there: a vendor's library may show a window or rely on that thread's COM
    // apartment.
    virtual void CallOnWindowThread(const std::function<void()>& work) { work(); }

protected:
    ~ISetupProgress() = default;
};
