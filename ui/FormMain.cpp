#include "ui/FormMain.h"

#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>

#include "common/CommonUtils.h"
#include "common/FileSystem.h"
#include "setup/SetupUninstaller.h"
#include "shell/ShellUtils.h"
#include "ui/Application.h"
#include "ui/ErrorBox.h"
#include "ui/Strings.h"

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
    static bool registered = false;
    if (registered)
        return;
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = ContainerProc;
    windowClass.hInstance = ::GetModuleHandleA(nullptr);
    windowClass.hCursor = ::LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = ContainerClass;
    registered = ::RegisterClassA(&windowClass) != 0;
}

INT_PTR CALLBACK FormDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    if (message == WM_INITDIALOG) {
        ::SetWindowLongPtrA(window, DWLP_USER, lParam);
        return FALSE; // the form sets the focus itself
    }
    auto* form = reinterpret_cast<TMainForm*>(::GetWindowLongPtrA(window, DWLP_USER));
    if (!form)
        return FALSE;
    if (message == WM_NCDESTROY) {
        form->OnWindowDestroyed();
        return FALSE;
    }
    try {
        return form->HandleMessage(message, wParam, lParam);
    } catch (const std::exception& error) {
        // Nothing may unwind through the system's code that called us: an error no handler
        // expected ends the program like an error of the installation run.
        form->EndWithError(error.what());
    } catch (...) {
        form->EndWithError("Unexpected error");
    }
    return TRUE;
}

// An in-memory dialog template without controls: the form creates its controls itself from
// the designed layout. The dialog class gives the form the dialog manager's keyboard handling
// (Tab order, the default push button, Escape, accelerators) and the button-face background.
struct alignas(4) TEmptyDialogTemplate { // templates must start on a DWORD boundary
    DLGTEMPLATE Header;
    WORD Menu;
    WORD WindowClass;
    WORD Title;
};

// An edit control breaks lines only at CR LF; Setup.lic may use any line ending.
std::string WithCrLf(const std::string& text) {
    std::string result;
    result.reserve(text.size() + text.size() / 32);
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' || c == '\n') {
            result += "\r\n";
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
        } else {
            result += c;
        }
    }
    return result;
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

// --- construction and the window -------------------------------------------------------------

TMainForm::TMainForm(IWizardServices& services) : Services(services) {}

TMainForm::~TMainForm() {
    if (Window)
        ::DestroyWindow(Window);
    FormDestroy();
}

bool TMainForm::Create() {
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
    Window = ::CreateDialogIndirectParamA(::GetModuleHandleA(nullptr), &dialogTemplate.Header, nullptr,
                                          FormDialogProc, reinterpret_cast<LPARAM>(this));
    if (!Window) {
        EndWithError("Cannot create the setup window.");
        return false;
    }
    if (HICON icon = ::LoadIconA(::GetModuleHandleA(nullptr), "MAINICON")) {
        ::SendMessageA(Window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
        ::SendMessageA(Window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
    }
    ::SetWindowTextA(Window, FormCaption);
    CreateControls();
    FormCreate();
    return !IsTerminated && Window;
}

void TMainForm::CreateControls() {
    // The form loader's scaling: the design font rescaled to the screen's resolution, then
    // every bound by the ratio of its measured text height to the designed 13.
    PixelsPerInch = ScreenPixelsPerInch();
    LayoutScale = MeasureLayoutScale(PixelsPerInch);
    FontForm.PixelsPerInch = PixelsPerInch;
    FontForm.Font = TFont();
    FontForm.Font.Height = LoadedFormFontHeight(PixelsPerInch);

    const DWORD style = static_cast<DWORD>(::GetWindowLongPtrA(Window, GWL_STYLE));
    const DWORD exStyle = static_cast<DWORD>(::GetWindowLongPtrA(Window, GWL_EXSTYLE));
    RECT frame = {0, 0, LayoutScale.Length(FormClientWidth), LayoutScale.Length(FormClientHeight)};
    ::AdjustWindowRectEx(&frame, style, FALSE, exStyle);
    ::SetWindowPos(Window, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);

    for (const TControlDesign* design : CreationOrder()) {
        auto control = std::make_unique<TControl>();
        control->Id = design->Id;
        control->Parent = design->Parent;
        TControl* parent = Find(design->Parent);
        control->Handle = CreateControlWindow(*design, parent ? parent->Handle : Window,
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
    }
    // Enter presses the Next button wherever the focus is, unless it is on another push button.
    ::SendMessageA(Window, DM_SETDEFID, idNextButton, 0);
    ApplyFonts();
}

HWND TMainForm::CreateControlWindow(const TControlDesign& design, HWND parent, const TBounds& bounds) {
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

TFont TMainForm::EffectiveFont(const TControl& control) const {
    if (!control.FontNode.ParentFont)
        return control.FontNode.Font;
    const TControl* parent = Find(control.Parent);
    return parent ? EffectiveFont(*parent) : FontForm.Font;
}

HFONT TMainForm::GdiFont(const TFont& font) {
    for (const auto& entry : Fonts)
        if (entry.first == font)
            return static_cast<HFONT>(entry.second.Get());
    Fonts.emplace_back(font, UniqueGdiObject(CreateGdiFont(font)));
    return static_cast<HFONT>(Fonts.back().second.Get());
}

void TMainForm::ApplyFonts() {
    for (const auto& control : Controls)
        if (control->Handle)
            ::SendMessageA(control->Handle, WM_SETFONT,
                           reinterpret_cast<WPARAM>(GdiFont(EffectiveFont(*control))), FALSE);
}

void TMainForm::Show() {
    if (!Window)
        return;
    RECT frame;
    ::GetWindowRect(Window, &frame);
    const int width = frame.right - frame.left, height = frame.bottom - frame.top;
    ::SetWindowPos(Window, nullptr, (::GetSystemMetrics(SM_CXSCREEN) - width) / 2,
                   (::GetSystemMetrics(SM_CYSCREEN) - height) / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    ::ShowWindow(Window, SW_SHOW);
    ::SetForegroundWindow(Window);
    if (HWND focus = std::exchange(PendingFocus, nullptr))
        ::SendMessageA(Window, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(focus), TRUE);
    ::UpdateWindow(Window);
}

bool TMainForm::PreTranslateMessage(MSG& message) {
    if (!Window)
        return false;
    // The license text is a multi-line edit box, which asks the dialog manager for every key
    // and then hands Enter, Escape and Tab to its parent, here a page that is no dialog. Read
    // only and without ES_WANTRETURN, it has no use for them: they act as on the rest of the
    // form.
    HWND memo = Control(idLicenseMemo);
    if (message.message == WM_KEYDOWN && memo && message.hwnd == memo) {
        switch (message.wParam) {
        case VK_RETURN:
            NextButtonClick();
            return true;
        case VK_ESCAPE:
            if (CanFocus(idCancelButton))
                CancelButtonClick();
            return true;
        case VK_TAB:
            ::SendMessageA(Window, WM_NEXTDLGCTL, ::GetKeyState(VK_SHIFT) < 0, FALSE);
            return true;
        default:
            break;
        }
    }
    return ::IsDialogMessageA(Window, &message) != FALSE;
}

INT_PTR TMainForm::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
        OnCommand(LOWORD(wParam), HIWORD(wParam));
        return TRUE;
    case WM_DRAWITEM: {
        const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        if (item->CtlID != static_cast<UINT>(idImage))
            return FALSE;
        DrawImage(*item);
        return TRUE;
    }
    case WM_CLOSE:
        // The title bar's close button, the system menu and Alt+F4; a dialog would otherwise
        // turn it into an IDCANCEL command.
        Close();
        return TRUE;
    case WM_DESTROY:
        if (QuitOnEnd)
            ::PostQuitMessage(0);
        return FALSE;
    default:
        return FALSE;
    }
}

void TMainForm::OnWindowDestroyed() {
    Window = nullptr;
    IsClosed = true;
    for (auto& control : Controls)
        control->Handle = nullptr;
}

void TMainForm::OnCommand(int id, int code) {
    if (code != BN_CLICKED)
        return;
    switch (id) {
    case IDCANCEL:
        // Escape: the Cancel button's click, when the button can be pressed at all.
        if (CanFocus(idCancelButton))
            CancelButtonClick();
        break;
    case idBackButton:
        BackButtonClick();
        break;
    case idNextButton:
        NextButtonClick();
        break;
    case idCancelButton:
        CancelButtonClick();
        break;
    case idVst2InstallCheck:
        Vst2InstallCheckClick();
        break;
    case idDigiInstallCheck:
        DigiInstallCheckClick();
        break;
    case idPhotoshopInstallCheck:
        PhotoshopInstallCheckClick();
        break;
    case idDestBrowseButton:
        DestBrowseButtonClick();
        break;
    case idVst2BrowseButton:
        Vst2BrowseButtonClick();
        break;
    case idDigiBrowseButton:
        DigiBrowseButtonClick();
        break;
    case idPhotoshopBrowseButton:
        PhotoshopBrowseButtonClick();
        break;
    default:
        if (id >= idBundleItemBase && Controller && id < idBundleItemBase + Controller->BundleItemCount())
            BundleItemCheckClick(id - idBundleItemBase);
        break;
    }
}

void TMainForm::DrawImage(const DRAWITEMSTRUCT& item) {
    const RECT& rect = item.rcItem;
    if (Picture.Empty()) {
        ::FillRect(item.hDC, &rect, ::GetSysColorBrush(COLOR_BTNFACE));
        return;
    }
    TUniqueAny<HDC, ::DeleteDC> memory(::CreateCompatibleDC(item.hDC));
    if (!memory)
        return;
    HGDIOBJ previous = ::SelectObject(memory.Get(), Picture.Handle());
    // The picture fills the image's bounds whatever its proportions. HALFTONE averages the
    // pixels it drops; it needs the brush origin set after it.
    ::SetStretchBltMode(item.hDC, HALFTONE);
    ::SetBrushOrgEx(item.hDC, 0, 0, nullptr);
    ::StretchBlt(item.hDC, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, memory.Get(),
                 0, 0, Picture.Width(), Picture.Height(), SRCCOPY);
    ::SelectObject(memory.Get(), previous);
}

// --- controls ----------------------------------------------------------------------------------

TMainForm::TControl* TMainForm::Find(int id) const {
    for (const auto& control : Controls)
        if (control->Id == id)
            return control.get();
    return nullptr;
}

HWND TMainForm::Control(int id) const {
    const TControl* control = Find(id);
    return control ? control->Handle : nullptr;
}

std::string TMainForm::Text(int id) const {
    return WindowText(Control(id));
}

void TMainForm::SetText(int id, const std::string& text) {
    if (HWND window = Control(id))
        ::SetWindowTextA(window, text.c_str());
}

bool TMainForm::Checked(int id) const {
    HWND window = Control(id);
    return window && ::SendMessageA(window, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void TMainForm::SetChecked(int id, bool checked) {
    if (HWND window = Control(id))
        ::SendMessageA(window, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

void TMainForm::SetVisible(int id, bool visible) {
    if (HWND window = Control(id))
        ::ShowWindow(window, visible ? SW_SHOWNA : SW_HIDE);
}

void TMainForm::SetEnabled(int id, bool enabled) {
    if (HWND window = Control(id))
        ::EnableWindow(window, enabled);
}

bool TMainForm::IsShown(int id) const {
    for (const TControl* control = Find(id); control; control = Find(control->Parent)) {
        if (!control->Handle || !(::GetWindowLongPtrA(control->Handle, GWL_STYLE) & WS_VISIBLE))
            return false;
    }
    return Find(id) != nullptr;
}

bool TMainForm::CanFocus(int id) const {
    if (!IsShown(id))
        return false;
    for (const TControl* control = Find(id); control; control = Find(control->Parent))
        if (!::IsWindowEnabled(control->Handle))
            return false;
    return true;
}

TBounds TMainForm::Bounds(int id) const {
    TBounds bounds;
    HWND window = Control(id);
    if (!window)
        return bounds;
    RECT rect;
    ::GetWindowRect(window, &rect);
    ::MapWindowPoints(nullptr, ::GetParent(window), reinterpret_cast<POINT*>(&rect), 2);
    return {rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top};
}

int TMainForm::ParentId(int id) const {
    const TControl* control = Find(id);
    return control ? control->Parent : idNone;
}

TFont TMainForm::FontOf(int id) const {
    const TControl* control = Find(id);
    return control ? EffectiveFont(*control) : FontForm.Font;
}

int TMainForm::FocusedId() const {
    HWND focus = PendingFocus;
    if (!focus && Window && ::IsWindowVisible(Window))
        focus = ::GetFocus();
    for (const auto& control : Controls)
        if (focus && control->Handle == focus)
            return control->Id;
    return idNone;
}

void TMainForm::MoveTo(int id, int parent, int left, int top) {
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

void TMainForm::Focus(int id) {
    if (!CanFocus(id))
        return;
    HWND control = Control(id);
    if (Window && ::IsWindowVisible(Window)) {
        // Through the dialog manager, which also moves the default-button look.
        ::SendMessageA(Window, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(control), TRUE);
        PendingFocus = nullptr;
    } else {
        PendingFocus = control;
    }
}

void TMainForm::ExpandCaption(int id) {
    SetText(id, Controller->ExpandTextSymbols(Text(id)));
}

void TMainForm::PluginCaption(int id) {
    SetText(id, ExpandPluginText(Text(id)));
}

std::string TMainForm::ExpandPluginText(const std::string& text) const {
    const std::string description = LoadMessage(Controller->IsBundle ? msPluginBundle : msPluginVersion);
    return Controller->ExpandTextSymbols(ReplaceAll(text, "$PluginDescription", description));
}

void TMainForm::ProcessMessages() {
    MSG message;
    while (::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            // Leave it for the message loop, which ends the program.
            ::PostQuitMessage(static_cast<int>(message.wParam));
            break;
        }
        if (!PreTranslateMessage(message)) {
            ::TranslateMessage(&message);
            ::DispatchMessageA(&message);
        }
    }
}

void TMainForm::Terminate() {
    IsTerminated = true;
    if (QuitOnEnd)
        ::PostQuitMessage(0);
}

bool TMainForm::Confirm(const std::string& text) {
    return Services.ShowMessage(text, mkConfirmation) == mrYes;
}

void TMainForm::EndWithError(const std::string& message) {
    Services.ShowErrorBox(message);
    Terminate();
}

// --- creation -------------------------------------------------------------------------------

void TMainForm::FormCreate() {
    try {
        Controller = Services.CreateController();
    } catch (const std::exception& error) {
        EndWithError(error.what());
        return;
    }
    try {
        AdaptFormFont(FontForm);
        ApplyFonts();

        // The panel's border is the system's client edge, drawn in the current visual style.
        const std::string caption = Controller->ExpandTextSymbols(FormCaption);
        ::SetWindowTextA(Window, caption.c_str());
        Application().Title = caption;

        Controller->LoadPicture(Picture);
        ::InvalidateRect(Control(idImage), nullptr, FALSE);

        ExpandCaption(idWelcomeHeadingLabel);
        ExpandCaption(idWelcomeDescriptionLabel);

        SetText(idLicenseMemo, WithCrLf(Controller->LicenseText));

        ExpandCaption(idBundleHeadingLabel);
        ExpandCaption(idBundleDescriptionLabel);
        CreateBundleItemChecks();

        // The install check boxes follow the controller's flags, and their folder controls
        // follow the check boxes, as a click would set them.
        PluginCaption(idDigiDescriptionLabel);
        PluginCaption(idDigiInstallCheck);
        SetChecked(idDigiInstallCheck, Controller->InstallDigiPlugin);
        DigiInstallCheckClick();
        SetText(idDigiFolderInput, Controller->DigiPluginFolder);

        PluginCaption(idVst2DescriptionLabel);
        PluginCaption(idVst2InstallCheck);
        SetChecked(idVst2InstallCheck, Controller->InstallVstPlugin);
        Vst2InstallCheckClick();
        SetText(idVst2FolderInput, Controller->VstPluginFolder);

        PluginCaption(idVst3DescriptionLabel);
        SetVisible(idVst3DescriptionLabel, Controller->HasVst3Plugin);
        PluginCaption(idVst3InstallCheck);
        SetChecked(idVst3InstallCheck, Controller->InstallVst3Plugin);
        SetVisible(idVst3InstallCheck, Controller->HasVst3Plugin);

        const bool listShown = Controller->HasVst3Plugin && !Controller->Vst3ItemList.empty();
        SetVisible(idVst3ListLabel, listShown);
        SetText(idVst3ListLabel, ReplaceFirst(Text(idVst3ListLabel), "$List", Controller->Vst3ItemList));
        if (!listShown) // the VST 3 check box stands directly above its description
            MoveTo(idVst3InstallCheck, ParentId(idVst3InstallCheck), Bounds(idVst3InstallCheck).Left,
                   Bounds(idVst3ListLabel).Top);

        PluginCaption(idPhotoshopInfoLabel);
        PluginCaption(idPhotoshopInstallCheck);
        SetChecked(idPhotoshopInstallCheck, Controller->InstallPhotoshopPlugin);
        PhotoshopInstallCheckClick();
        SetText(idPhotoshopFolderInput, Controller->PhotoshopPluginFolder);

        ExpandCaption(idDestDescriptionLabel);
        SetText(idDestFolderInput, Controller->ProgramFolder);

        ExpandCaption(idNameInfoLabel);
        SetText(idNameInput, Controller->OwnerName);

        ExpandCaption(idIconStartMenuLabel);
        ExpandCaption(idIconDesktopLabel);
        const bool desktop = Controller->AvailableShortcuts.Contains(scDesktop);
        SetVisible(idIconDesktopLabel, desktop);
        SetVisible(idIconDesktopCheck, desktop);

        InstallPage = NextVisiblePage(wpCopy, -1);
        if (InstallPage == wpDest)
            MoveTo(idInstallLabel, PageId(wpDest), Bounds(idInstallLabel).Left, ScaleValue(220));
        else if (InstallPage == wpIcon && !desktop)
            MoveTo(idInstallLabel, PageId(wpIcon), Bounds(idInstallLabel).Left,
                   Bounds(idIconDesktopLabel).Top);

        SetText(idReadyDescriptionLabel, Controller->CompleteMessage);

        ExpandCaption(idReadyStartLabel);
        ExpandCaption(idReadyStartCheck);
        const bool startShown = !Controller->ProductFile().empty();
        SetVisible(idReadyStartLabel, startShown);
        SetVisible(idReadyStartCheck, startShown);

        ShowPage(wpWelcome);
    } catch (const std::exception& error) {
        // The steps after the failing one have not run, so the wizard cannot go on.
        EndWithError(error.what());
    }
}

void TMainForm::CreateBundleItemChecks() {
    const TBounds heading = Bounds(idBundleHeadingLabel);
    TFont bold = FontForm.Font;
    bold.Bold = true;
    HWND page = Control(PageId(wpBundleItems));
    for (int i = 0; i < Controller->BundleItemCount(); ++i) {
        const TSetupBundleItem& item = Controller->BundleItem(i);
        auto control = std::make_unique<TControl>();
        control->Id = idBundleItemBase + i;
        control->Parent = PageId(wpBundleItems);
        control->FontNode.ParentFont = false;
        control->FontNode.Font = bold;
        // The page does not scroll: from the tenth item on, the boxes lie below its edge.
        control->Handle = ::CreateWindowExA(
            0, "BUTTON", item.Caption.c_str(),
            WS_CHILD | WS_VISIBLE | WS_GROUP | WS_TABSTOP | BS_AUTOCHECKBOX, heading.Left,
            ScaleValue(60 + 28 * i), heading.Width, ScaleValue(24), page,
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(control->Id)), ::GetModuleHandleA(nullptr), nullptr);
        ::SendMessageA(control->Handle, WM_SETFONT, reinterpret_cast<WPARAM>(GdiFont(bold)), FALSE);
        ::SendMessageA(control->Handle, BM_SETCHECK, item.Selected ? BST_CHECKED : BST_UNCHECKED, 0);
        Controls.push_back(std::move(control));
    }
}

void TMainForm::FormDestroy() {
    Controller.reset();
}

// --- page flow ------------------------------------------------------------------------------

int TMainForm::NextVisiblePage(int index, int direction) const {
    for (;;) {
        index += direction;
        bool shown = true;
        switch (index) {
        case wpBundleItems:
            shown = Controller->IsBundle;
            break;
        case wpVstPlugins:
            shown = Controller->VisiblePages.Contains(spVstPluginFolder);
            break;
        case wpDigiPlugins:
            shown = Controller->VisiblePages.Contains(spDigiPluginFolder);
            break;
        case wpPhotoshopPlugin:
            shown = Controller->VisiblePages.Contains(spPhotoshopPluginFolder);
            break;
        case wpPersonalize:
            shown = Controller->VisiblePages.Contains(spPersonalization);
            break;
        case wpIcon:
            shown = !Controller->AvailableShortcuts.Empty();
            break;
        default:
            // Welcome, License, Dest, Copy and Ready are always shown; beyond the pages there
            // is nothing to look for, and ShowPage ignores such an index.
            break;
        }
        if (shown)
            return index;
    }
}

void TMainForm::StepPage(int direction) {
    ShowPage(NextVisiblePage(PageIndex, direction));
}

void TMainForm::ShowPage(int index) {
    if (index < 0 || index >= WizardPageCount)
        return;
    SetVisible(PageId(index), true);
    for (int page = 0; page < WizardPageCount; ++page)
        if (page != index)
            SetVisible(PageId(page), false);
    PageIndex = index;

    SetEnabled(idBackButton, index > 0);
    SetEnabled(idCancelButton, index != wpCopy);
    SetVisible(idBackButton, index < wpCopy);
    SetVisible(idNextButton, index != wpCopy);
    SetVisible(idCancelButton, index < wpReady);

    if (index == wpLicense) {
        SetText(idNextButton, YesCaption);
        SetText(idCancelButton, NoCaption);
    } else if (index == wpReady) {
        SetText(idNextButton, FinishCaption);
    } else {
        SetText(idNextButton, NextCaption);
        SetText(idCancelButton, CancelCaption);
    }
    if (index == InstallPage)
        SetText(idNextButton, InstallCaption);

    if (index == wpCopy) {
        // Paint the page before the run, which repaints only its own two controls.
        ProcessMessages();
        try {
            Services.Install(*Controller, *this);
        } catch (const std::exception& error) {
            EndWithError(error.what());
            return;
        }
        ShowPage(wpReady);
        return;
    }

    int focus = idNextButton;
    switch (index) {
    case wpVstPlugins:
        focus = idVst2FolderInput;
        break;
    case wpDigiPlugins:
        focus = idDigiFolderInput;
        break;
    case wpPhotoshopPlugin:
        focus = idPhotoshopFolderInput;
        break;
    case wpDest:
        focus = idDestFolderInput;
        break;
    case wpPersonalize:
        focus = idNameInput;
        break;
    default:
        break;
    }
    Focus(focus);
}

void TMainForm::NextButtonClick() {
    // Enter reaches the default button also while it is hidden (on the copying page), and a
    // click may wait in the queue while the page changes: only a button that can be pressed
    // counts.
    if (!CanFocus(idNextButton))
        return;
    if (ValidatePage(PageIndex))
        StepPage(+1);
}

void TMainForm::BackButtonClick() {
    if (!CanFocus(idBackButton))
        return;
    StepPage(-1);
}

void TMainForm::CancelButtonClick() {
    Close();
}

void TMainForm::Close() {
    if (Window && FormCloseQuery())
        ::DestroyWindow(Window);
}

bool TMainForm::FormCloseQuery() {
    if (PageIndex == wpCopy)
        return false;
    if (PageIndex == wpReady || !Controller)
        return true;
    return Confirm(Controller->ExpandTextSymbols(LoadMessage(msCancelSetup)));
}

// --- input checks ---------------------------------------------------------------------------

bool TMainForm::ValidatePluginPage(int inputId, bool& installFlag, std::string& folder) {
    const std::string text = Text(inputId);
    if (text.empty())
        installFlag = false;
    if (installFlag) {
        if (!DirectoryExists(text)) {
            Services.ShowMessage(FillMessage(LoadMessage(msFolderNotFound), text), mkWarning);
            Focus(inputId);
            return false;
        }
        folder = text;
    }
    return true;
}

bool TMainForm::ValidatePage(int index) {
    TSetupInstaller& controller = *Controller;
    switch (index) {
    case wpWelcome:
        if (!Services.HasAdminRights()) {
            Services.ShowMessage(controller.ExpandTextSymbols(LoadMessage(msInstallRightsRequired)),
                                 mkInformation);
            Terminate();
        }
        return true;
    case wpLicense:
        return true;
    case wpBundleItems:
        for (int i = 0; i < controller.BundleItemCount(); ++i)
            if (controller.BundleItem(i).Selected)
                return true;
        Services.ShowMessage(LoadMessage(msSelectOneItem), mkWarning);
        return false;
    case wpVstPlugins:
        if (!ValidatePluginPage(idVst2FolderInput, controller.InstallVstPlugin, controller.VstPluginFolder))
            return false;
        controller.InstallVst3Plugin = Checked(idVst3InstallCheck);
        return true;
    case wpDigiPlugins:
        return ValidatePluginPage(idDigiFolderInput, controller.InstallDigiPlugin,
                                  controller.DigiPluginFolder);
    case wpPhotoshopPlugin:
        return ValidatePluginPage(idPhotoshopFolderInput, controller.InstallPhotoshopPlugin,
                                  controller.PhotoshopPluginFolder);
    case wpDest: {
        // An empty box is tested as a lone backslash, which no folder can be.
        std::string path = Text(idDestFolderInput);
        if (path.empty() || path.back() != '\\')
            path += '\\';
        if (CheckDestination(path)) {
            controller.SetProgramFolder(path);
            return true;
        }
        Focus(idDestFolderInput);
        return false;
    }
    case wpPersonalize:
        if (!Text(idNameInput).empty()) {
            controller.OwnerName = Text(idNameInput);
            return true;
        }
        Services.ShowMessage(LoadMessage(msEnterName), mkWarning);
        Focus(idNameInput);
        return false;
    case wpIcon:
        // Hidden check boxes count with the state they have.
        controller.SelectedShortcuts.Clear();
        if (Checked(idIconStartMenuCheck))
            controller.SelectedShortcuts.Include(scStartMenu);
        if (Checked(idIconDesktopCheck))
            controller.SelectedShortcuts.Include(scDesktop);
        return true;
    case wpCopy:
        return true;
    case wpReady: {
        // An empty name would ask the shell to open nothing at all; leave it out.
        const std::string readme = controller.ReadmeFile();
        if (Checked(idReadyReadmeCheck) && !readme.empty())
            Services.OpenFile(readme, std::string());
        if (IsShown(idReadyStartCheck) && Checked(idReadyStartCheck))
            Services.OpenFile(controller.ProductFile(), controller.ProgramFolder);
        Close();
        return false;
    }
    default:
        return false;
    }
}

bool TMainForm::CheckDestination(const std::string& path) {
    TSetupInstaller& controller = *Controller;
    if (!controller.CanCreateFolder(path)) {
        Services.ShowMessage(FillMessage(LoadMessage(msCannotCreateFolder), path), mkWarning);
        return false;
    }
    if (!controller.IsInstalled)
        return true;
    const bool sameFolder = SameText(path, controller.InstalledLocation);
    if (controller.ProductVersion().Major == controller.InstalledVersion.Major) {
        if (sameFolder)
            return true;
        return Confirm(controller.ExpandTextSymbols(LoadMessage(msInstallElsewhere)));
    }
    if (!sameFolder)
        return true;
    return Confirm(controller.ExpandTextSymbols(LoadMessage(msOverwriteOtherVersion)));
}

// --- check boxes and browse buttons ---------------------------------------------------------------

void TMainForm::BundleItemCheckClick(int itemIndex) {
    Controller->BundleItem(itemIndex).Selected = Checked(idBundleItemBase + itemIndex);
}

void TMainForm::Vst2InstallCheckClick() {
    const bool checked = Checked(idVst2InstallCheck);
    SetEnabled(idVst2FolderLabel, checked);
    SetEnabled(idVst2FolderInput, checked);
    SetEnabled(idVst2BrowseButton, checked);
    Controller->InstallVstPlugin = checked;
}

void TMainForm::DigiInstallCheckClick() {
    const bool checked = Checked(idDigiInstallCheck);
    SetEnabled(idDigiFolderLabel, checked);
    SetEnabled(idDigiFolderInput, checked);
    SetEnabled(idDigiBrowseButton, checked);
    Controller->InstallDigiPlugin = checked;
}

void TMainForm::PhotoshopInstallCheckClick() {
    // The Photoshop check box governs its plug-in like the other two: cleared, nothing is
    // installed there, whatever the folder box holds.
    const bool checked = Checked(idPhotoshopInstallCheck);
    SetEnabled(idPhotoshopFolderLabel, checked);
    SetEnabled(idPhotoshopFolderInput, checked);
    SetEnabled(idPhotoshopBrowseButton, checked);
    Controller->InstallPhotoshopPlugin = checked;
}

void TMainForm::Browse(int inputId, const std::string& prompt) {
    SetText(inputId, Services.BrowseForFolder(Window, prompt, Text(inputId)));
}

void TMainForm::DestBrowseButtonClick() {
    Browse(idDestFolderInput, Controller->ExpandTextSymbols(LoadMessage(msSelectDestFolder)));
}

void TMainForm::Vst2BrowseButtonClick() {
    Browse(idVst2FolderInput, LoadMessage(msSelectVst2Folder));
}

void TMainForm::DigiBrowseButtonClick() {
    Browse(idDigiFolderInput, LoadMessage(msSelectDigiFolder));
}

void TMainForm::PhotoshopBrowseButtonClick() {
    Browse(idPhotoshopFolderInput, LoadMessage(msSelectPhotoshopFolder));
}

// --- installation progress --------------------------------------------------------------------

namespace {

// Paints a control now, through WM_PAINT: the installation run takes no messages, so nothing
// else would. (A static control draws new text straight into its device context, which Wine
// hands on to the screen only with the next painting of the window.)
void RepaintNow(HWND control) {
    ::RedrawWindow(control, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}

} // namespace

void TMainForm::SetProgress(int32_t position) {
    HWND bar = Control(idCopyProgressBar);
    ::SendMessageA(bar, PBM_SETPOS, static_cast<WPARAM>(position), 0);
    RepaintNow(bar);
}

void TMainForm::SetStatus(const std::string& text) {
    HWND label = Control(idCopyStatusLabel);
    ::SetWindowTextA(label, text.c_str());
    RepaintNow(label);
    Services.Pause(500);
}

// --- the running program ------------------------------------------------------------------------

namespace {

class TSystemWizardServices final : public IWizardServices {
public:
    std::unique_ptr<TSetupInstaller> CreateController() override {
        return std::make_unique<TSetupInstaller>();
    }
    TMessageResult ShowMessage(const std::string& text, TMessageKind kind) override {
        return ::ShowMessage(text, kind);
    }
    void ShowErrorBox(const std::string& message) override { ::ShowErrorBox(message); }
    bool HasAdminRights() override { return ::HasAdminRights(); }
    std::string BrowseForFolder(HWND owner, const std::string& prompt,
                                const std::string& initialFolder) override {
        return ::BrowseForFolder(owner, prompt, initialFolder);
    }
    void OpenFile(const std::string& file, const std::string& workingFolder) override {
        // The result is not looked at: a Readme or product that does not open is no error of
        // the installation.
        ::ShellExecuteA(nullptr, nullptr, file.c_str(), nullptr,
                        workingFolder.empty() ? nullptr : workingFolder.c_str(), SW_SHOWNORMAL);
    }
    void Install(TSetupInstaller& controller, ISetupProgress& progress) override {
        controller.Install(progress);
    }
    void Pause(DWORD milliseconds) override { ::Sleep(milliseconds); }
};

} // namespace

IWizardServices& SystemWizardServices() {
    static TSystemWizardServices services;
    return services;
}

int RunWizard(IWizardServices& services) {
    TMainForm form(services);
    form.QuitOnEnd = true;
    if (!form.Create())
        return 0;
    form.Show();
    MSG message;
    while (::GetMessageA(&message, nullptr, 0, 0) > 0) {
        if (!form.PreTranslateMessage(message)) {
            ::TranslateMessage(&message);
            ::DispatchMessageA(&message);
        }
    }
    return 0;
}
