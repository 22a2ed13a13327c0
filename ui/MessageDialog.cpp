#include "ui/MessageDialog.h"

#include <windows.h>

#include <algorithm>
#include <iterator>
#include <vector>

#include "common/WinHandle.h"
#include "ui/DialogWindow.h"
#include "ui/ErrorBox.h"

namespace {

// The control identifiers of the system's own message box, so that tools which read message
// boxes find the icon and the text where they expect them.
constexpr int IconId = 20;
constexpr int TextId = 0xFFFF;

// Layout in dialog units (a quarter of the font's average character width, an eighth of its
// height), the measures the system's dialogs are designed in.
constexpr int MarginX = 8;
constexpr int MarginY = 8;
constexpr int IconGap = 8; // between the icon and the text
constexpr int ButtonWidth = 50;
constexpr int ButtonHeight = 14;
constexpr int ButtonGap = 4;
constexpr int ButtonPadding = 8; // around a caption wider than ButtonWidth

struct TButton {
    int Id;
    const char* Caption;
};

const TButton OkButtons[] = {{IDOK, "OK"}};
const TButton YesNoButtons[] = {{IDYES, "&Yes"}, {IDNO, "&No"}};

// While a dialog is up, every other window of the application must refuse input, as with a
// task-modal message box: the owner alone is not enough when the application has several
// top-level windows, and in uninstall mode there is no owner at all.
class TTaskModalLock {
public:
    TTaskModalLock() {
        ::EnumThreadWindows(::GetCurrentThreadId(), Collect, reinterpret_cast<LPARAM>(&Disabled));
        HWND active = ::GetActiveWindow();
        Owner = std::find(Disabled.begin(), Disabled.end(), active) != Disabled.end()
                    ? active
                    : (Disabled.empty() ? nullptr : Disabled.front());
        for (HWND window : Disabled)
            ::EnableWindow(window, FALSE);
    }
    ~TTaskModalLock() { Release(); }
    TTaskModalLock(const TTaskModalLock&) = delete;
    TTaskModalLock& operator=(const TTaskModalLock&) = delete;

    // The window the dialog belongs to, so that it stays above it; null when there is none.
    HWND Owner = nullptr;

    // Enables the windows again. Called before the dialog closes: if the owner were still
    // disabled when the dialog disappears, Windows would activate another program's window.
    void Release() {
        for (HWND window : Disabled)
            ::EnableWindow(window, TRUE);
        Disabled.clear();
    }

private:
    std::vector<HWND> Disabled;

    static BOOL CALLBACK Collect(HWND window, LPARAM data) {
        if (::IsWindowVisible(window) && ::IsWindowEnabled(window))
            reinterpret_cast<std::vector<HWND>*>(data)->push_back(window);
        return TRUE;
    }
};

class TMessageDialog final : public TDialogWindow<TMessageDialog> {
public:
    TMessageDialog(const std::string& text, TMessageKind kind, const std::string& errorCaption)
        : Text(text), Kind(kind), ErrorCaption(errorCaption) {
        if (Kind == mkError)
            Text = ErrorBoxText(text);
    }

    TMessageResult Run();

private:
    friend class TDialogWindow<TMessageDialog>;

    std::string Text;
    TMessageKind Kind;
    std::string ErrorCaption;
    UniqueGdiObject Font;        // the message font, owned; freed after the dialog is gone
    HFONT ControlFont = nullptr; // the font the controls use: Font, or the stock GUI font
    TTaskModalLock Lock;

    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    // A dialog that cannot be built ends with the cautious answer.
    void OnUnexpectedError(const char*) { Close(CancelAnswer()); }
    // What Build measures before it creates anything, in pixels.
    struct TMeasures {
        int BaseX = 1, BaseY = 1; // the dialog unit's base: a quarter and an eighth of them
        RECT Work = {};           // the monitor's work area
        int IconWidth = 0, IconHeight = 0;
        int TextWidth = 0, TextHeight = 0;
        int ButtonWidth = 0; // every button's, the widest caption's
        int DluX(int units) const { return ::MulDiv(units, BaseX, 4); }
        int DluY(int units) const { return ::MulDiv(units, BaseY, 8); }
    };
    // Sets the caption and font, then measures and places the controls.
    void Build();
    TMeasures Measure() const;
    void Place(const TMeasures& measures);
    std::vector<TButton> Buttons() const {
        return IsConfirmation() ? std::vector<TButton>(std::begin(YesNoButtons), std::end(YesNoButtons))
                                : std::vector<TButton>(std::begin(OkButtons), std::end(OkButtons));
    }
    void Close(int id);
    bool IsConfirmation() const { return Kind == mkConfirmation; }
    // Escape, the close box and a dialog that could not be shown.
    int CancelAnswer() const { return IsConfirmation() ? IDNO : IDOK; }
    HWND AddControl(const char* className, const char* text, DWORD style, int id);
};

TMessageResult TMessageDialog::Run() {
    // An empty dialog; Build creates the controls once the window exists and the text can be
    // measured with the message font, and sets the caption.
    TEmptyDialogTemplate dialog = {};
    dialog.Header.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFOREGROUND;
    INT_PTR result = ::DialogBoxIndirectParamA(::GetModuleHandleA(nullptr), &dialog.Header, Lock.Owner,
                                               DialogProc, reinterpret_cast<LPARAM>(this));
    Lock.Release();
    if (result != IDOK && result != IDYES && result != IDNO)
        result = CancelAnswer();
    return static_cast<TMessageResult>(result);
}

INT_PTR TMessageDialog::HandleMessage(UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        Build();
        // Focus was set on the default button.
        return FALSE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK:
        case IDYES:
        case IDNO:
            Close(LOWORD(wParam));
            return TRUE;
        case IDCANCEL:
            // The dialog manager sends IDCANCEL for Escape and for the close box.
            Close(CancelAnswer());
            return TRUE;
        }
        break;
    }
    return FALSE;
}

void TMessageDialog::Close(int id) {
    Lock.Release();
    ::EndDialog(Handle(), id);
}

HWND TMessageDialog::AddControl(const char* className, const char* text, DWORD style, int id) {
    HWND control = ::CreateWindowExA(0, className, text, WS_CHILD | WS_VISIBLE | style, 0, 0, 0, 0, Handle(),
                                     reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                     ::GetModuleHandleA(nullptr), nullptr);
    ::SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(ControlFont), FALSE);
    return control;
}

void TMessageDialog::Build() {
    static const char* const Captions[] = {"Warning", "Information", "Confirm"};
    ::SetWindowTextA(Handle(), Kind == mkError ? ErrorCaption.c_str() : Captions[Kind]);

    Font.Reset(CreateMessageFont());
    ControlFont =
        Font ? static_cast<HFONT>(Font.Get()) : static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT));
    Place(Measure());
}

TMessageDialog::TMeasures TMessageDialog::Measure() const {
    TMeasures measures;
    HMONITOR monitor = ::MonitorFromWindow(Lock.Owner ? Lock.Owner : Handle(), MONITOR_DEFAULTTOPRIMARY);
    MONITORINFO screen = {};
    screen.cbSize = sizeof screen;
    ::GetMonitorInfoA(monitor, &screen);
    measures.Work = screen.rcWork;
    measures.IconWidth = ::GetSystemMetrics(SM_CXICON);
    measures.IconHeight = ::GetSystemMetrics(SM_CYICON);

    // Measure with the font the controls draw with, through the window's device context,
    // released before the controls exist.
    TWindowDc windowDc(Handle());
    const HDC dc = windowDc.Get();
    TSelectObject selectFont(dc, ControlFont);
    const SIZE base = DialogBaseUnits(dc);
    measures.BaseX = base.cx;
    measures.BaseY = base.cy;

    // The text control wraps words and breaks lines at each carriage return, as DrawText does
    // with these flags.
    const RECT& work = measures.Work;
    const int maxTextWidth =
        std::max(measures.DluX(100), static_cast<int>((work.right - work.left) * 3 / 4) - measures.IconWidth -
                                         measures.DluX(2 * MarginX + IconGap));
    RECT textRect = {0, 0, maxTextWidth, 0};
    ::DrawTextA(dc, Text.c_str(), static_cast<int>(Text.size()), &textRect,
                DT_WORDBREAK | DT_EXPANDTABS | DT_NOPREFIX | DT_LEFT | DT_CALCRECT);
    measures.TextWidth = textRect.right + 1;
    measures.TextHeight = textRect.bottom;

    measures.ButtonWidth = measures.DluX(ButtonWidth);
    for (const TButton& button : Buttons()) {
        RECT caption = {0, 0, 0, 0};
        ::DrawTextA(dc, button.Caption, -1, &caption, DT_SINGLELINE | DT_CALCRECT);
        measures.ButtonWidth = std::max(measures.ButtonWidth,
                                        static_cast<int>(caption.right) + measures.DluX(2 * ButtonPadding));
    }
    return measures;
}

void TMessageDialog::Place(const TMeasures& m) {
    static const LPCSTR Icons[] = {IDI_EXCLAMATION, IDI_INFORMATION, IDI_QUESTION, IDI_HAND};
    const std::vector<TButton> buttons = Buttons();
    const int buttonCount = static_cast<int>(buttons.size());
    const int buttonHeight = m.DluY(ButtonHeight);
    const int buttonsWidth = buttonCount * m.ButtonWidth + (buttonCount - 1) * m.DluX(ButtonGap);
    const int contentHeight = std::max(m.IconHeight, m.TextHeight);
    const int clientWidth = std::max(m.DluX(2 * MarginX + IconGap) + m.IconWidth + m.TextWidth,
                                     buttonsWidth + m.DluX(2 * MarginX));
    const int buttonsTop = m.DluY(MarginY) * 2 + contentHeight;
    const int clientHeight = buttonsTop + buttonHeight + m.DluY(MarginY);

    HWND icon = AddControl("STATIC", nullptr, SS_ICON, IconId);
    ::SendMessageA(icon, STM_SETICON, reinterpret_cast<WPARAM>(::LoadIconA(nullptr, Icons[Kind])), 0);
    ::MoveWindow(icon, m.DluX(MarginX), m.DluY(MarginY), m.IconWidth, m.IconHeight, FALSE);

    // A text shorter than the icon is centred beside it.
    HWND text = AddControl("STATIC", Text.c_str(), SS_LEFT | SS_NOPREFIX, TextId);
    ::MoveWindow(text, m.DluX(MarginX + IconGap) + m.IconWidth,
                 m.DluY(MarginY) + std::max(0, (m.IconHeight - m.TextHeight) / 2), m.TextWidth, m.TextHeight,
                 FALSE);

    int left = (clientWidth - buttonsWidth) / 2;
    for (int i = 0; i < buttonCount; ++i) {
        DWORD style = WS_TABSTOP | (i == 0 ? BS_DEFPUSHBUTTON | WS_GROUP : BS_PUSHBUTTON);
        HWND button = AddControl("BUTTON", buttons[i].Caption, style, buttons[i].Id);
        ::MoveWindow(button, left, buttonsTop, m.ButtonWidth, buttonHeight, FALSE);
        left += m.ButtonWidth + m.DluX(ButtonGap);
    }
    // Enter presses the first button ("OK" or "&Yes").
    ::SendMessageA(Handle(), DM_SETDEFID, buttons[0].Id, 0);
    ::SetFocus(::GetDlgItem(Handle(), buttons[0].Id));

    // Size the frame around the client area and centre the dialog on the work area.
    RECT frame = {0, 0, clientWidth, clientHeight};
    ::AdjustWindowRectEx(&frame, static_cast<DWORD>(::GetWindowLongA(Handle(), GWL_STYLE)), FALSE,
                         static_cast<DWORD>(::GetWindowLongA(Handle(), GWL_EXSTYLE)));
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    const RECT& work = m.Work;
    ::SetWindowPos(Handle(), nullptr, work.left + (work.right - work.left - width) / 2,
                   work.top + (work.bottom - work.top - height) / 2, width, height,
                   SWP_NOZORDER | SWP_NOACTIVATE);
}

} // namespace

HFONT CreateMessageFont() {
    NONCLIENTMETRICSA metrics = {};
    metrics.cbSize = sizeof metrics;
    BOOL found = ::SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, metrics.cbSize, &metrics, 0);
    if (!found) {
        // Before Vista the structure ends before iPaddedBorderWidth, and a larger size is refused.
        metrics.cbSize = offsetof(NONCLIENTMETRICSA, iPaddedBorderWidth);
        found = ::SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, metrics.cbSize, &metrics, 0);
    }
    return found ? ::CreateFontIndirectA(&metrics.lfMessageFont) : nullptr;
}

SIZE DialogBaseUnits(HDC dc) {
    TEXTMETRICA metrics = {};
    ::GetTextMetricsA(dc, &metrics);
    // The average character width as the dialog manager computes it.
    SIZE alphabet = {};
    ::GetTextExtentPoint32A(dc, "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz", 52, &alphabet);
    return {std::max(1L, (alphabet.cx / 26 + 1) / 2), std::max(1L, metrics.tmHeight)};
}

TMessageResult ShowMessage(const std::string& text, TMessageKind kind, const std::string& errorCaption) {
    return TMessageDialog(text, kind, errorCaption).Run();
}
