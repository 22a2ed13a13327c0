// The wizard's copying page: the installation run goes on a thread of its own, so that the
// window keeps answering (Windows greys out a window that has taken no message for five
// seconds and offers to end the program). Its reports reach the window through SendMessage,
// which returns once the window's thread has handled them: each has taken effect on screen
// when the call returns, as the run expects. The window's thread never waits for the run's,
// except to collect it once it has posted that it ended.

#include "ui/FormMain.h"

#include <commctrl.h>

#include "common/WinHandle.h"

namespace {

// Paints a control now, through WM_PAINT, so that the report is on screen when the run's
// call returns. (A static control draws new text straight into its device context, which
// Wine hands on to the screen only with the next painting of the window.)
void RepaintNow(HWND control) {
    ::RedrawWindow(control, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}

// How long each status text stays on screen at least, so that it can be read.
constexpr DWORD StatusHold = 500;

} // namespace

void TMainForm::StartInstallation() {
    RunWindow = Handle();
    StatusShown = false;
    try {
        RunThread = std::thread([this] { RunInstallation(); });
    } catch (const std::exception& error) {
        EndWithError(error.what());
    }
}

void TMainForm::RunInstallation() {
    // Shortcuts are made through the shell's COM objects, which need the thread in an
    // apartment of its own.
    const TComInitializer com;
    try {
        Services.Install(*Controller, *this);
        // The last status text has its time on screen before the completion page replaces it.
        HoldStatus();
    } catch (const std::exception& error) {
        RunError = error.what();
        RunFailed = true;
    }
    ::PostMessageA(RunWindow, wmRunEnded, 0, 0);
}

void TMainForm::InstallationEnded() {
    if (RunThread.joinable())
        RunThread.join();
    if (RunFailed)
        EndWithError(RunError);
    else
        ShowPage(wpReady);
}

void TMainForm::HoldStatus() {
    if (!StatusShown)
        return;
    const DWORD shown = Services.TickCount() - StatusShownAt;
    if (shown < StatusHold)
        Services.Pause(StatusHold - shown);
}

void TMainForm::SetProgress(int32_t position) {
    ::SendMessageA(RunWindow, wmRunProgress, static_cast<WPARAM>(position), 0);
}

void TMainForm::SetCopyProgress(int32_t position) {
    SetProgress(position);
}

void TMainForm::SetStatus(const std::string& text) {
    // The text before has had its time; this one then stays while the run goes on.
    HoldStatus();
    ::SendMessageA(RunWindow, wmRunStatus, 0, reinterpret_cast<LPARAM>(&text));
    StatusShownAt = Services.TickCount();
    StatusShown = true;
}

void TMainForm::CallOnWindowThread(const std::function<void()>& work) {
    TWindowThreadCall call{work, nullptr};
    ::SendMessageA(RunWindow, wmRunCall, 0, reinterpret_cast<LPARAM>(&call));
    if (call.Error)
        std::rethrow_exception(call.Error);
}

void TMainForm::ShowProgress(int32_t position) {
    HWND bar = Control(idCopyProgressBar);
    ::SendMessageA(bar, PBM_SETPOS, static_cast<WPARAM>(position), 0);
    RepaintNow(bar);
}

void TMainForm::ShowStatus(const std::string& text) {
    HWND label = Control(idCopyStatusLabel);
    ::SetWindowTextA(label, text.c_str());
    RepaintNow(label);
}
