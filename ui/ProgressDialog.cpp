#include "ui/ProgressDialog.h"

#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <exception>
#include <thread>

#include "ui/MessageDialog.h"

namespace {

// Posted by the working thread: the bar's new position (wParam), and the end of the work;
// posted to itself once another window has taken the activation after the work.
constexpr UINT WM_PROGRESS_POSITION = WM_APP + 1;
constexpr UINT WM_PROGRESS_DONE = WM_APP + 2;
constexpr UINT WM_PROGRESS_HIDE = WM_APP + 3;
constexpr UINT_PTR AppearTimer = 1;

constexpr int TextId = 0xFFFF; // a static text, as in the message dialogs

// Layout in dialog units, as the message dialogs are.
constexpr int Margin = 8;
constexpr int Width = 220; // of the text and the bar
constexpr int BarHeight = 10;
constexpr int Gap = 6; // between the text and the bar

} // namespace

bool TProgressWindow::Create(DWORD showAfter) {
    INITCOMMONCONTROLSEX classes = {sizeof classes, ICC_PROGRESS_CLASS};
    ::InitCommonControlsEx(&classes);
    TEmptyDialogTemplate dialog = {};
    // No system menu, so no close box: the step cannot be stopped halfway. Created hidden; it
    // appears on the timer, or at once.
    dialog.Header.style = WS_POPUP | WS_CAPTION | DS_MODALFRAME;
    if (!::CreateDialogIndirectParamA(::GetModuleHandleA(nullptr), &dialog.Header, nullptr, DialogProc,
                                      reinterpret_cast<LPARAM>(this)))
        return false;
    if (showAfter == 0 || !::SetTimer(Handle(), AppearTimer, showAfter, nullptr))
        Appear();
    return true;
}

void TProgressWindow::Appear() {
    ::ShowWindow(Handle(), SW_SHOW);
    ::SetForegroundWindow(Handle());
    ::UpdateWindow(Handle());
}

INT_PTR TProgressWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        Build();
        return FALSE;
    case WM_PROGRESS_POSITION:
        ::SendDlgItemMessageA(Handle(), ProgressBarId, PBM_SETPOS, wParam, 0);
        return TRUE;
    case WM_PROGRESS_DONE:
        Done = true;
        return TRUE;
    case WM_ACTIVATE:
        // Hiding within the activation's own messages would disturb it: once it is through.
        if (LOWORD(wParam) == WA_INACTIVE && Done)
            ::PostMessageA(Handle(), WM_PROGRESS_HIDE, 0, 0);
        return FALSE;
    case WM_PROGRESS_HIDE:
        ::ShowWindow(Handle(), SW_HIDE);
        return TRUE;
    case WM_TIMER:
        ::KillTimer(Handle(), AppearTimer);
        if (!Done)
            Appear();
        return TRUE;
    case WM_COMMAND:
        // Escape (IDCANCEL from the dialog manager) and Enter do nothing.
        return TRUE;
    }
    return FALSE;
}

HWND TProgressWindow::AddControl(const char* className, const char* text, DWORD style, int id,
                                 const RECT& bounds) {
    HWND control = ::CreateWindowExA(0, className, text, WS_CHILD | WS_VISIBLE | style, bounds.left,
                                     bounds.top, bounds.right - bounds.left, bounds.bottom - bounds.top,
                                     Handle(), reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                     ::GetModuleHandleA(nullptr), nullptr);
    ::SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(ControlFont), FALSE);
    return control;
}

void TProgressWindow::Build() {
    ::SetWindowTextA(Handle(), Caption.c_str());
    // The program's icon, for the taskbar: this may be the program's only window.
    if (HICON icon = ::LoadIconA(::GetModuleHandleA(nullptr), "MAINICON")) {
        ::SendMessageA(Handle(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
        ::SendMessageA(Handle(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
    }
    Font.Reset(CreateMessageFont());
    ControlFont =
        Font ? static_cast<HFONT>(Font.Get()) : static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT));

    // Dialog units of the font.
    int baseX = 1, baseY = 1, textHeight = 0;
    {
        TWindowDc windowDc(Handle());
        TSelectObject selectFont(windowDc.Get(), ControlFont);
        const SIZE base = DialogBaseUnits(windowDc.Get());
        baseX = base.cx;
        baseY = base.cy;
        RECT measured = {0, 0, ::MulDiv(Width, baseX, 4), 0};
        ::DrawTextA(windowDc.Get(), Text.c_str(), static_cast<int>(Text.size()), &measured,
                    DT_WORDBREAK | DT_NOPREFIX | DT_CALCRECT);
        textHeight = measured.bottom;
    }
    const int marginX = ::MulDiv(Margin, baseX, 4), marginY = ::MulDiv(Margin, baseY, 8);
    const int width = ::MulDiv(Width, baseX, 4);
    const int barTop = marginY + textHeight + ::MulDiv(Gap, baseY, 8);
    const int barHeight = ::MulDiv(BarHeight, baseY, 8);
    AddControl("STATIC", Text.c_str(), SS_LEFT | SS_NOPREFIX, TextId,
               {marginX, marginY, marginX + width, marginY + textHeight});
    HWND bar = AddControl(PROGRESS_CLASSA, nullptr, 0, ProgressBarId,
                          {marginX, barTop, marginX + width, barTop + barHeight});
    ::SendMessageA(bar, PBM_SETRANGE, 0, MAKELPARAM(0, 100));

    // The frame around the client area, centred on the primary monitor's work area.
    RECT frame = {0, 0, width + 2 * marginX, barTop + barHeight + marginY};
    ::AdjustWindowRectEx(&frame, static_cast<DWORD>(::GetWindowLongA(Handle(), GWL_STYLE)), FALSE,
                         static_cast<DWORD>(::GetWindowLongA(Handle(), GWL_EXSTYLE)));
    RECT work = {};
    ::SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    const int frameWidth = frame.right - frame.left, frameHeight = frame.bottom - frame.top;
    ::SetWindowPos(Handle(), nullptr, work.left + (work.right - work.left - frameWidth) / 2,
                   work.top + (work.bottom - work.top - frameHeight) / 2, frameWidth, frameHeight,
                   SWP_NOZORDER | SWP_NOACTIVATE);
}

void TProgressWindow::Report(size_t done, size_t total) {
    // In 64 bits: a count of bytes times 100 overflows a 32-bit size_t.
    const int position = total == 0 ? 100 : static_cast<int>(uint64_t{std::min(done, total)} * 100 / total);
    if (Posted.exchange(position) != position)
        ::PostMessageA(Handle(), WM_PROGRESS_POSITION, static_cast<WPARAM>(position), 0);
}

bool TProgressWindow::Run(const std::function<bool(const TProgressReport&)>& work, DWORD showAfter) {
    if (!Create(showAfter))
        return work([](size_t, size_t) {});
    bool result = false;
    std::exception_ptr failure;
    HWND window = Handle();
    std::thread worker([&] {
        try {
            result = work([this](size_t done, size_t total) { Report(done, total); });
        } catch (...) {
            failure = std::current_exception();
        }
        ::PostMessageA(window, WM_PROGRESS_DONE, 0, 0);
    });
    // Until the work has ended; a request to quit is kept for the loop that comes after.
    bool quit = false;
    WPARAM exitCode = 0;
    MSG message;
    while (!Done) {
        const BOOL got = ::GetMessageA(&message, nullptr, 0, 0);
        if (got == 0) {
            quit = true;
            exitCode = message.wParam;
            break;
        }
        if (got < 0)
            break;
        if (!::IsDialogMessageA(window, &message)) {
            ::TranslateMessage(&message);
            ::DispatchMessageA(&message);
        }
    }
    worker.join();
    if (!::IsWindowVisible(window))
        Close();
    if (quit)
        ::PostQuitMessage(static_cast<int>(exitCode));
    if (failure)
        std::rethrow_exception(failure);
    return result;
}
