// The wizard's copying page: the installation run goes on a thread of its own, so that the
// window keeps answering (Windows greys out a window that has taken no message for five
// seconds and offers to end the program). Its reports reach the window through SendMessage,
// which returns once the window's thread has handled them: each has taken effect on screen
// when the call returns, as the run expects. The window's thread never waits for the run's,
// except to collect it once it has posted that it ended, and when the form goes; and then it
// takes the run's sent messages while it waits.

#include "ui/FormMain.h"

#include <commctrl.h>

#include "common/Errors.h"
#include "common/WinHandle.h"
#include "messages/Strings.h"

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
    RunEnded.Reset(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
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
    ::SetEvent(RunEnded.Get());
}

void TMainForm::InstallationEnded() {
    JoinRun();
    if (RunFailed)
        EndWithError(RunError);
    else
        ShowPage(wpReady);
}

// The run's thread may be inside a SendMessage to the window, which returns only once this
// thread takes sent messages: a plain join would wait for it for ever. So the wait lets sent
// messages through until the run has ended. (To a window already destroyed they fail at once:
// its reports return, and a call for this thread raises.) Without the event, which only a
// system out of resources refuses, the wait fails at once and this joins as it is.
void TMainForm::JoinRun() {
    if (!RunThread.joinable())
        return;
    const HANDLE ended = RunEnded.Get();
    for (;;) {
        MSG message;
        ::PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        if (::MsgWaitForMultipleObjects(1, &ended, FALSE, INFINITE, QS_SENDMESSAGE) != WAIT_OBJECT_0 + 1)
            break;
    }
    RunThread.join();
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
    if (!call.Delivered)
        throw ESetupError(LoadMessage(msWindowGone));
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
