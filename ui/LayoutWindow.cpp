#include "ui/LayoutWindow.h"

#include <commctrl.h>

namespace {

constexpr const char* ContainerClass = "SetupWizardContainer";

// Pages, the notebook and the panel are plain windows that hold controls. They pass the
// notifications of their controls (clicks, owner drawing) on to the form, whose dialog
// procedure handles them; WS_EX_CONTROLPARENT lets the dialog manager step into them with Tab.
LRESULT CALLBACK ContainerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    switch (message) {
    case WM_COMMAND:
    case WM_DRAWITEM:
    case WM_NOTIFY:
        return ::SendMessageA(::GetAncestor(window, GA_ROOT), message, wParam, lParam);
    case WM_CLOSE:
        // An edit control posts this to its parent for Escape; a page is never closed by
        // itself (the default would destroy it).
        return 0;
    default:
        return ::DefWindowProcA(window, message, wParam, lParam);
    }
}

void RegisterContainerClass() {
    // Registered once per process; the first form registers it.
    WNDCLASSA existing = {};
    if (::GetClassInfoA(::GetModuleHandleA(nullptr), ContainerClass, &existing))
        return;
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = ContainerProc;
    windowClass.hInstance = ::GetModuleHandleA(nullptr);
    windowClass.hCursor = ::LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = ContainerClass;
    ::RegisterClassA(&windowClass);
}

// The window property that holds a label's own window procedure (the system's static
// control's) while UnfocusingLabelProc stands in front of it.
constexpr const char* LabelProcProperty = "SetupWizardLabelProc";

// A label that focuses no control. The dialog manager looks for an accelerator only in the
// text of controls that call themselves buttons or static controls (WM_GETDLGCODE), and for a
// static one it moves the focus to the next control in the tab order, whatever that is. Such
// a label therefore calls itself neither, and its "&" stays a mere underline; so does an "&"
// that reaches a caption with a product name.
LRESULT CALLBACK UnfocusingLabelProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    if (message == WM_GETDLGCODE)
        return 0;
    const auto labelProc = reinterpret_cast<WNDPROC>(::GetPropA(window, LabelProcProperty));
    // A property must be removed before its window is gone; WM_NCDESTROY is the last message.
    if (message == WM_NCDESTROY)
        ::RemovePropA(window, LabelProcProperty);
    return ::CallWindowProcA(labelProc, window, message, wParam, lParam);
}

std::string WindowText(HWND window) {
    if (!window)
        return std::string();
    const int length = ::GetWindowTextLengthA(window);
    std::string text(static_cast<size_t>(length) + 1, '\0');
    text.resize(static_cast<size_t>(::GetWindowTextA(window, &text[0], length + 1)));
    return text;
}

} // namespace

TLayoutWindow::~TLayoutWindow() {
    // The window goes first: its controls still use the fonts. The class built on this one
    // is gone already, so the last messages find no object and take the default handling.
    if (Window)
        ::SetWindowLongPtrA(Window.Get(), DWLP_USER, 0);
    Window.Reset();
}

bool TLayoutWindow::CreateFromLayout() {
    RegisterContainerClass();
    INITCOMMONCONTROLSEX commonControls = {sizeof commonControls, ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
    ::InitCommonControlsEx(&commonControls);

    // A fixed single border, a system menu and a minimize box, no maximize box.
    static const TEmptyDialogTemplate dialogTemplate = {
        {WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | DS_3DLOOK,
         WS_EX_APPWINDOW | WS_EX_CONTROLPARENT, 0, 0, 0, 0, 0},
        0,
        0,
        0};
    // WM_INITDIALOG takes the window into Window.
    ::CreateDialogIndirectParamA(::GetModuleHandleA(nullptr), &dialogTemplate.Header, nullptr, DialogProc,
                                 reinterpret_cast<LPARAM>(this));
    if (!Window)
        return false;
    const HWND window = Window.Get();
    if (HICON icon = ::LoadIconA(::GetModuleHandleA(nullptr), "MAINICON")) {
        ::SendMessageA(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
        ::SendMessageA(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
    }
    ::SetWindowTextA(window, FormCaption);

    // The form loader's scaling: the design font rescaled to the screen's resolution, then
    // every bound by the ratio of its measured text height to the designed 13.
    PixelsPerInch = ScreenPixelsPerInch();
    LayoutScale = MeasureLayoutScale(PixelsPerInch);
    FontForm.PixelsPerInch = PixelsPerInch;
    FontForm.Font = TFont();
    FontForm.Font.Height = LoadedFormFontHeight(PixelsPerInch);

    const DWORD style = static_cast<DWORD>(::GetWindowLongPtrA(window, GWL_STYLE));
    const DWORD exStyle = static_cast<DWORD>(::GetWindowLongPtrA(window, GWL_EXSTYLE));
    RECT frame = {0, 0, LayoutScale.Length(FormClientWidth), LayoutScale.Length(FormClientHeight)};
    ::AdjustWindowRectEx(&frame, style, FALSE, exStyle);
    ::SetWindowPos(window, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);

    int defaultButton = idNone;
    for (const TControlDesign* design : CreationOrder()) {
        auto control = std::make_unique<TControl>();
        control->Id = design->Id;
        control->Parent = design->Parent;
        TControl* parent = Find(design->Parent);
        control->Handle = CreateControlWindow(*design, parent ? parent->Handle : window,
                                              LayoutScale.Bounds(design->Bounds));
        TFontControl& node = control->FontNode;
        node.CanHoldChildren = design->Kind == TControlKind::Panel ||
                               design->Kind == TControlKind::Notebook || design->Kind == TControlKind::Page;
        if (design->Flags & cfHeadingFont) {
            node.ParentFont = false;
            node.Font.Bold = true;
            if (!LayoutScale.Identity())
                node.Font.SetSize(LayoutScale.OwnFontSize(DesignFontHeight, PixelsPerInch), PixelsPerInch);
        }
        (parent ? parent->FontNode : FontForm).Children.push_back(&node);
        Controls.push_back(std::move(control));
        if (design->Flags & cfDefault)
            defaultButton = design->Id;
    }
    // Enter presses the default button wherever the focus is, unless it is on another push
    // button.
    if (defaultButton != idNone)
        ::SendMessageA(window, DM_SETDEFID, static_cast<WPARAM>(defaultButton), 0);
    ApplyFonts();
    return true;
}

void TLayoutWindow::AddControl(const TControlDesign& design, const TBounds& bounds, const TFont& font) {
    TControl* parent = Find(design.Parent);
    auto control = std::make_unique<TControl>();
    control->Id = design.Id;
    control->Parent = design.Parent;
    control->FontNode.ParentFont = false;
    control->FontNode.Font = font;
    control->Handle = CreateControlWindow(design, parent ? parent->Handle : Window.Get(), bounds);
    if (control->Handle)
        ::SendMessageA(control->Handle, WM_SETFONT, reinterpret_cast<WPARAM>(GdiFont(font)), FALSE);
    Controls.push_back(std::move(control));
}

bool TLayoutWindow::IsDialogKey(MSG& message) {
    return Window && ::IsDialogMessageA(Window.Get(), &message) != FALSE;
}

void TLayoutWindow::OnWindowDestroyed() {
    IsClosed = true;
    for (auto& control : Controls)
        control->Handle = nullptr;
}

HWND TLayoutWindow::CreateControlWindow(const TControlDesign& design, HWND parent, const TBounds& bounds) {
    // Every control is a group of its own: the arrow keys then never move the focus onto a
    // label; Tab and the accelerators do the moving.
    DWORD style = WS_CHILD | WS_VISIBLE | WS_GROUP;
    DWORD exStyle = 0;
    const char* windowClass = "STATIC";
    switch (design.Kind) {
    case TControlKind::Panel:
        windowClass = ContainerClass;
        style |= WS_CLIPCHILDREN;
        exStyle = WS_EX_CONTROLPARENT | WS_EX_CLIENTEDGE;
        break;
    case TControlKind::Notebook:
        windowClass = ContainerClass;
        exStyle = WS_EX_CONTROLPARENT;
        break;
    case TControlKind::Page:
        windowClass = ContainerClass;
        style &= ~WS_VISIBLE; // ShowPage shows one page at a time
        exStyle = WS_EX_CONTROLPARENT;
        break;
    case TControlKind::Image:
        style |= SS_OWNERDRAW;
        break;
    case TControlKind::Button:
        windowClass = "BUTTON";
        style |= WS_TABSTOP | ((design.Flags & cfDefault) ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
        break;
    case TControlKind::CheckBox:
        windowClass = "BUTTON";
        style |= WS_TABSTOP | BS_AUTOCHECKBOX;
        break;
    case TControlKind::Label:
        style |= (design.Flags & cfWraps) ? SS_LEFT : SS_LEFTNOWORDWRAP;
        break;
    case TControlKind::Edit:
        windowClass = "EDIT";
        style |= WS_TABSTOP | ES_AUTOHSCROLL;
        exStyle = WS_EX_CLIENTEDGE;
        break;
    case TControlKind::Memo:
        // Read-only with a vertical scroll bar and word wrap (no horizontal scrolling). Without
        // ES_WANTRETURN, Enter in it presses the default button.
        windowClass = "EDIT";
        style |= WS_TABSTOP | WS_VSCROLL | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL;
        exStyle = WS_EX_CLIENTEDGE;
        break;
    case TControlKind::ProgressBar:
        windowClass = PROGRESS_CLASSA;
        break;
    }
    HWND window =
        ::CreateWindowExA(exStyle, windowClass, design.Caption, style, bounds.Left, bounds.Top, bounds.Width,
                          bounds.Height, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(design.Id)),
                          ::GetModuleHandleA(nullptr), nullptr);
    if (!window)
        return nullptr;
    if (design.Kind == TControlKind::Label && design.FocusTarget == idNone) {
        ::SetPropA(window, LabelProcProperty, reinterpret_cast<HANDLE>(::GetWindowLongPtrA(window, GWLP_WNDPROC)));
        ::SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(UnfocusingLabelProc));
    }
    if (design.Kind == TControlKind::CheckBox && (design.Flags & cfChecked))
        ::SendMessageA(window, BM_SETCHECK, BST_CHECKED, 0);
    if (design.Kind == TControlKind::ProgressBar) {
        ::SendMessageA(window, PBM_SETRANGE32, 0, 100);
        ::SendMessageA(window, PBM_SETPOS, 0, 0);
    }
    if (design.Kind == TControlKind::Memo)
        ::SendMessageA(window, EM_SETLIMITTEXT, 0, 0); // no limit for a long license text
    return window;
}

TFont TLayoutWindow::EffectiveFont(const TControl& control) const {
    if (!control.FontNode.ParentFont)
        return control.FontNode.Font;
    const TControl* parent = Find(control.Parent);
    return parent ? EffectiveFont(*parent) : FontForm.Font;
}

HFONT TLayoutWindow::GdiFont(const TFont& font) {
    for (const auto& entry : Fonts)
        if (entry.first == font)
            return static_cast<HFONT>(entry.second.Get());
    Fonts.emplace_back(font, UniqueGdiObject(CreateGdiFont(font)));
    return static_cast<HFONT>(Fonts.back().second.Get());
}

void TLayoutWindow::ApplyFonts() {
    for (const auto& control : Controls)
        if (control->Handle)
            ::SendMessageA(control->Handle, WM_SETFONT,
                           reinterpret_cast<WPARAM>(GdiFont(EffectiveFont(*control))), FALSE);
}

void TLayoutWindow::Show() {
    if (!Window)
        return;
    RECT frame;
    ::GetWindowRect(Window.Get(), &frame);
    const int width = frame.right - frame.left, height = frame.bottom - frame.top;
    ::SetWindowPos(Window.Get(), nullptr, (::GetSystemMetrics(SM_CXSCREEN) - width) / 2,
                   (::GetSystemMetrics(SM_CYSCREEN) - height) / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    ::ShowWindow(Window.Get(), SW_SHOW);
    ::SetForegroundWindow(Window.Get());
    if (HWND focus = std::exchange(PendingFocus, nullptr))
        ::SendMessageA(Window.Get(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(focus), TRUE);
    ::UpdateWindow(Window.Get());
}

TLayoutWindow::TControl* TLayoutWindow::Find(int id) const {
    for (const auto& control : Controls)
        if (control->Id == id)
            return control.get();
    return nullptr;
}

HWND TLayoutWindow::Control(int id) const {
    const TControl* control = Find(id);
    return control ? control->Handle : nullptr;
}

std::string TLayoutWindow::Text(int id) const {
    return WindowText(Control(id));
}

void TLayoutWindow::SetText(int id, const std::string& text) {
    if (HWND window = Control(id))
        ::SetWindowTextA(window, text.c_str());
}

bool TLayoutWindow::Checked(int id) const {
    HWND window = Control(id);
    return window && ::SendMessageA(window, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void TLayoutWindow::SetChecked(int id, bool checked) {
    if (HWND window = Control(id))
        ::SendMessageA(window, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

void TLayoutWindow::SetVisible(int id, bool visible) {
    if (HWND window = Control(id))
        ::ShowWindow(window, visible ? SW_SHOWNA : SW_HIDE);
}

void TLayoutWindow::SetEnabled(int id, bool enabled) {
    if (HWND window = Control(id))
        ::EnableWindow(window, enabled);
}

bool TLayoutWindow::IsShown(int id) const {
    for (const TControl* control = Find(id); control; control = Find(control->Parent)) {
        if (!control->Handle || !(::GetWindowLongPtrA(control->Handle, GWL_STYLE) & WS_VISIBLE))
            return false;
    }
    return Find(id) != nullptr;
}

bool TLayoutWindow::CanFocus(int id) const {
    if (!IsShown(id))
        return false;
    for (const TControl* control = Find(id); control; control = Find(control->Parent))
        if (!::IsWindowEnabled(control->Handle))
            return false;
    return true;
}

TBounds TLayoutWindow::Bounds(int id) const {
    TBounds bounds;
    HWND window = Control(id);
    if (!window)
        return bounds;
    RECT rect;
    ::GetWindowRect(window, &rect);
    ::MapWindowPoints(nullptr, ::GetParent(window), reinterpret_cast<POINT*>(&rect), 2);
    return {rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top};
}

int TLayoutWindow::ParentId(int id) const {
    const TControl* control = Find(id);
    return control ? control->Parent : idNone;
}

TFont TLayoutWindow::FontOf(int id) const {
    const TControl* control = Find(id);
    return control ? EffectiveFont(*control) : FontForm.Font;
}

int TLayoutWindow::FocusedId() const {
    HWND focus = PendingFocus;
    if (!focus && Window && ::IsWindowVisible(Window.Get()))
        focus = ::GetFocus();
    for (const auto& control : Controls)
        if (focus && control->Handle == focus)
            return control->Id;
    return idNone;
}

void TLayoutWindow::MoveTo(int id, int parent, int left, int top) {
    TControl* control = Find(id);
    TControl* newParent = Find(parent);
    if (!control || !control->Handle || !newParent)
        return;
    const TBounds bounds = Bounds(id);
    if (control->Parent != parent) {
        ::SetParent(control->Handle, newParent->Handle);
        control->Parent = parent;
    }
    ::SetWindowPos(control->Handle, nullptr, left, top, bounds.Width, bounds.Height,
                   SWP_NOZORDER | SWP_NOACTIVATE);
}

void TLayoutWindow::Focus(int id) {
    if (!CanFocus(id))
        return;
    HWND control = Control(id);
    if (Window && ::IsWindowVisible(Window.Get())) {
        // Through the dialog manager, which also moves the default-button look.
        ::SendMessageA(Window.Get(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(control), TRUE);
        PendingFocus = nullptr;
    } else {
        PendingFocus = control;
    }
}
