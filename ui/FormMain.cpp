#include "ui/FormMain.h"

#include <commctrl.h>

#include "common/CommonUtils.h"
#include "common/FileSystem.h"
#include "common/Path.h"
#include "common/WinHandle.h"
#include "messages/Strings.h"
#include "ui/ProgressDialog.h"

// What sets a page apart: when it is shown (null: always), where the focus goes when it is
// shown, and what Next checks and stores (null: nothing, the wizard steps on).
struct TMainForm::TPageRow {
    TWizardPage Page;
    bool (*Shown)(const TSetupInstaller& controller);
    int FocusId;
    bool (TMainForm::*Validate)();
    void (TMainForm::*Fill)();
};

// A plug-in host's page: the [Pages] entry that shows it, its controls, its browse prompt,
// and the controller's install flag and folder that its check box and folder box stand for.
// ExtraCheck, where there is one, is a second install check box that the page stores when
// it passes (the VST 3 plug-in beside the VST 2 one).
struct TMainForm::TPluginRow {
    TWizardPage Page;
    TSetupPage ShownBy;
    int DescriptionLabel, InstallCheck, FolderLabel, FolderInput, BrowseButton;
    TMessageNumber Prompt;
    bool TSetupInstaller::*Install;
    std::string TSetupInstaller::*Folder;
    int ExtraCheck;
    bool TSetupInstaller::*ExtraInstall;
};

const TMainForm::TPageRow TMainForm::PageRows[] = {
    {wpWelcome, nullptr, idNextButton, &TMainForm::ValidateWelcomePage, &TMainForm::FillWelcomePage},
    {wpLicense, nullptr, idNextButton, nullptr, &TMainForm::FillLicensePage},
    {wpBundleItems, [](const TSetupInstaller& c) { return c.IsBundle; }, idNextButton,
     &TMainForm::ValidateBundleItemsPage, &TMainForm::FillBundleItemsPage},
    {wpDest, nullptr, idDestFolderInput, &TMainForm::ValidateDestPage, &TMainForm::FillDestPage},
    {wpPersonalize, [](const TSetupInstaller& c) { return c.VisiblePages.Contains(spPersonalization); },
     idNameInput, &TMainForm::ValidatePersonalizePage, &TMainForm::FillPersonalizePage},
    {wpIcon, [](const TSetupInstaller& c) { return !c.AvailableShortcuts.Empty(); }, idNextButton,
     &TMainForm::ValidateIconPage, &TMainForm::FillIconPage},
    {wpCopy, nullptr, idNextButton, nullptr, &TMainForm::FillCopyPage},
    {wpReady, nullptr, idNextButton, &TMainForm::ValidateReadyPage, &TMainForm::FillReadyPage},
};

// clang-format off
const TMainForm::TPluginRow TMainForm::PluginRows[] = {
    {wpVstPlugins, spVstPluginFolder, idVst2DescriptionLabel, idVst2InstallCheck, idVst2FolderLabel,
     idVst2FolderInput, idVst2BrowseButton, msSelectVst2Folder,
     &TSetupInstaller::InstallVstPlugin, &TSetupInstaller::VstPluginFolder,
     idVst3InstallCheck, &TSetupInstaller::InstallVst3Plugin},
    {wpDigiPlugins, spDigiPluginFolder, idDigiDescriptionLabel, idDigiInstallCheck, idDigiFolderLabel,
     idDigiFolderInput, idDigiBrowseButton, msSelectDigiFolder,
     &TSetupInstaller::InstallDigiPlugin, &TSetupInstaller::DigiPluginFolder, idNone, nullptr},
    {wpPhotoshopPlugin, spPhotoshopPluginFolder, idPhotoshopInfoLabel, idPhotoshopInstallCheck,
     idPhotoshopFolderLabel, idPhotoshopFolderInput, idPhotoshopBrowseButton, msSelectPhotoshopFolder,
     &TSetupInstaller::InstallPhotoshopPlugin, &TSetupInstaller::PhotoshopPluginFolder, idNone, nullptr},
};
// clang-format on

const TMainForm::TPageRow* TMainForm::PageRow(int page) {
    for (const TPageRow& row : PageRows)
        if (row.Page == page)
            return &row;
    return nullptr;
}

const TMainForm::TPluginRow* TMainForm::PluginRow(int page) {
    for (const TPluginRow& row : PluginRows)
        if (row.Page == page)
            return &row;
    return nullptr;
}

namespace {

// How long the archive's check runs before its window appears, in milliseconds: long enough
// that a setup program of ordinary size goes straight to its first page.
constexpr DWORD CheckingWindowDelay = 500;

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

} // namespace

// --- construction and the window -------------------------------------------------------------

TMainForm::TMainForm(IWizardServices& services) : Services(services) {}

TMainForm::~TMainForm() {
    // The window goes while the form is whole: its last messages still reach HandleMessage.
    // A run still going (the program is ending under it) finds its window gone: its reports
    // return at once, a call for the window's thread raises, and it ends before the
    // controller goes.
    Destroy();
    JoinRun();
    FormDestroy();
}

bool TMainForm::Create() {
    if (!CreateFromLayout()) {
        EndWithError("Cannot create the setup window.");
        return false;
    }
    FormCreate();
    return !IsTerminated && Handle();
}

void TMainForm::Show() {
    TLayoutWindow::Show();
    Checking.reset();
}

bool TMainForm::PreTranslateMessage(MSG& message) {
    if (!Handle())
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
            ::SendMessageA(Handle(), WM_NEXTDLGCTL, ::GetKeyState(VK_SHIFT) < 0, FALSE);
            return true;
        default:
            break;
        }
    }
    return IsDialogKey(message);
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
    case wmRunProgress:
        ShowProgress(static_cast<int32_t>(wParam));
        return TRUE;
    case wmRunStatus:
        ShowStatus(*reinterpret_cast<const std::string*>(lParam));
        return TRUE;
    case wmRunCall: {
        auto& call = *reinterpret_cast<TWindowThreadCall*>(lParam);
        call.Delivered = true;
        try {
            call.Work();
        } catch (...) {
            call.Error = std::current_exception();
        }
        return TRUE;
    }
    case wmRunEnded:
        InstallationEnded();
        return TRUE;
    case WM_DESTROY:
        if (QuitOnEnd)
            ::PostQuitMessage(0);
        return FALSE;
    default:
        return FALSE;
    }
}

void TMainForm::OnCommand(int id, int code) {
    if (code != BN_CLICKED)
        return;
    switch (id) {
    case IDCANCEL:
        // Escape: the Cancel button's click, when the button can be pressed at all.
        if (CanFocus(idCancelButton))
            CancelButtonClick();
        return;
    case idBackButton:
        BackButtonClick();
        return;
    case idNextButton:
        NextButtonClick();
        return;
    case idCancelButton:
        CancelButtonClick();
        return;
    case idDestBrowseButton:
        DestBrowseButtonClick();
        return;
    default:
        break;
    }
    for (const TPluginRow& plugin : PluginRows) {
        if (id == plugin.InstallCheck)
            PluginInstallCheckClick(plugin);
        else if (id == plugin.BrowseButton)
            PluginBrowseButtonClick(plugin);
    }
    if (id >= idBundleItemBase && Controller && id < idBundleItemBase + Controller->BundleItemCount())
        BundleItemCheckClick(id - idBundleItemBase);
}

void TMainForm::DrawImage(const DRAWITEMSTRUCT& item) {
    const RECT& rect = item.rcItem;
    if (Picture.Empty()) {
        ::FillRect(item.hDC, &rect, ::GetSysColorBrush(COLOR_BTNFACE));
        return;
    }
    UniqueDc memory(::CreateCompatibleDC(item.hDC));
    if (!memory)
        return;
    TSelectObject selectPicture(memory.Get(), Picture.Handle());
    // The picture fills the image's bounds whatever its proportions. HALFTONE averages the
    // pixels it drops; it needs the brush origin set after it.
    ::SetStretchBltMode(item.hDC, HALFTONE);
    ::SetBrushOrgEx(item.hDC, 0, 0, nullptr);
    ::StretchBlt(item.hDC, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, memory.Get(),
                 0, 0, Picture.Width(), Picture.Height(), SRCCOPY);
}

// --- helpers ---------------------------------------------------------------------------------

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

void TMainForm::Terminate() {
    Checking.reset();
    IsTerminated = true;
    if (QuitOnEnd)
        ::PostQuitMessage(0);
}

bool TMainForm::Confirm(const std::string& text) {
    return Services.ShowMessage(text, mkConfirmation) == mrYes;
}

void TMainForm::EndWithError(const std::string& message) {
    Services.ShowErrorBox(ErrorCaption, message);
    Terminate();
}

// --- creation -------------------------------------------------------------------------------

void TMainForm::FormCreate() {
    // The controller's construction checks the whole archive: from a slow drive or a share a
    // large setup program would show nothing for many seconds, and be started again. It runs
    // on a thread of its own, and a small window shows the check once it has taken half a
    // second, until the first page or the error box takes its place.
    Checking = std::make_unique<TProgressWindow>(ErrorCaption, LoadMessage(msCheckingSetup));
    try {
        std::unique_ptr<TSetupInstaller> controller;
        Checking->Run(
            [&](const TProgressReport& progress) {
                controller = Services.CreateController([&progress](int64_t done, int64_t total) {
                    progress(static_cast<size_t>(done), static_cast<size_t>(total));
                });
                return true;
            },
            CheckingWindowDelay);
        Controller = std::move(controller);
    } catch (const std::exception& error) {
        EndWithError(error.what());
        return;
    }
    // A second start of the setup program, or of the product's uninstaller, while one runs:
    // the first one's window comes to the front, and this one ends without a word.
    if (!Services.ClaimProduct(Controller->ProductName)) {
        Terminate();
        return;
    }
    try {
        AdaptFormFont(FontForm, UiFont);
        ApplyFonts();

        // The panel's border is the system's client edge, drawn in the current visual style.
        const std::string caption = Controller->ExpandTextSymbols(FormCaption);
        ::SetWindowTextA(Handle(), caption.c_str());
        ErrorCaption = caption;

        Controller->LoadPicture(Picture);
        ::InvalidateRect(Control(idImage), nullptr, FALSE);

        // In the order of the pages, each filled from the controller.
        for (int page = 0; page < WizardPageCount; ++page) {
            if (const TPageRow* row = PageRow(page); row && row->Fill)
                (this->*row->Fill)();
            else if (const TPluginRow* plugin = PluginRow(page))
                FillPluginPage(*plugin);
        }

        ShowPage(wpWelcome);
    } catch (const std::exception& error) {
        // The steps after the failing one have not run, so the wizard cannot go on.
        EndWithError(error.what());
    }
}

void TMainForm::FillWelcomePage() {
    ExpandCaption(idWelcomeHeadingLabel);
    ExpandCaption(idWelcomeDescriptionLabel);
}

void TMainForm::FillLicensePage() {
    SetText(idLicenseMemo, WithCrLf(Controller->LicenseText));
}

void TMainForm::FillBundleItemsPage() {
    ExpandCaption(idBundleHeadingLabel);
    ExpandCaption(idBundleDescriptionLabel);
    CreateBundleItemChecks();
}

void TMainForm::FillPluginPage(const TPluginRow& plugin) {
    // The install check box follows the controller's flag, and the folder controls follow the
    // check box, as a click would set them.
    PluginCaption(plugin.DescriptionLabel);
    PluginCaption(plugin.InstallCheck);
    SetChecked(plugin.InstallCheck, (*Controller).*plugin.Install);
    PluginInstallCheckClick(plugin);
    SetText(plugin.FolderInput, (*Controller).*plugin.Folder);
    if (plugin.ExtraCheck == idVst3InstallCheck)
        FillVst3Controls();
}

void TMainForm::FillVst3Controls() {
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
}

void TMainForm::FillDestPage() {
    ExpandCaption(idDestDescriptionLabel);
    SetText(idDestFolderInput, Controller->ProgramFolder);
}

void TMainForm::FillPersonalizePage() {
    ExpandCaption(idNameInfoLabel);
    SetText(idNameInput, Controller->OwnerName);
}

void TMainForm::FillIconPage() {
    ExpandCaption(idIconStartMenuLabel);
    ExpandCaption(idIconDesktopLabel);
    const bool desktop = Controller->AvailableShortcuts.Contains(scDesktop);
    SetVisible(idIconDesktopLabel, desktop);
    SetVisible(idIconDesktopCheck, desktop);
}

void TMainForm::FillCopyPage() {
    // The note that Next starts the installation goes on the last page before copying.
    InstallPage = NextVisiblePage(wpCopy, -1);
    if (InstallPage == wpDest)
        MoveTo(idInstallLabel, PageId(wpDest), Bounds(idInstallLabel).Left, LayoutScale.Value(220));
    else if (InstallPage == wpIcon && !Controller->AvailableShortcuts.Contains(scDesktop))
        MoveTo(idInstallLabel, PageId(wpIcon), Bounds(idInstallLabel).Left, Bounds(idIconDesktopLabel).Top);
}

void TMainForm::FillReadyPage() {
    SetText(idReadyDescriptionLabel, Controller->CompleteMessage);
    ExpandCaption(idReadyStartLabel);
    ExpandCaption(idReadyStartCheck);
    const bool startShown = !Controller->ProductFile().empty();
    SetVisible(idReadyStartLabel, startShown);
    SetVisible(idReadyStartCheck, startShown);
}

void TMainForm::CreateBundleItemChecks() {
    const TBounds heading = Bounds(idBundleHeadingLabel);
    TFont bold = FontForm.Font;
    bold.Bold = true;
    for (int i = 0; i < Controller->BundleItemCount(); ++i) {
        const TSetupBundleItem& item = Controller->BundleItem(i);
        const TControlDesign design = {static_cast<TControlId>(idBundleItemBase + i),
                                       "",
                                       TControlKind::CheckBox,
                                       static_cast<TControlId>(PageId(wpBundleItems)),
                                       TBounds(),
                                       item.Caption.c_str(),
                                       item.Selected ? cfChecked : cfNone,
                                       -1,
                                       idNone};
        // The page does not scroll: from the tenth item on, the boxes lie below its edge.
        AddControl(design,
                   {heading.Left, LayoutScale.Value(60 + 28 * i), heading.Width, LayoutScale.Value(24)},
                   bold);
    }
}

void TMainForm::FormDestroy() {
    Controller.reset();
}

// --- page flow ------------------------------------------------------------------------------

int TMainForm::NextVisiblePage(int index, int direction) const {
    // Pages without a condition (Welcome, License, Dest, Copy, Ready) are always shown; beyond
    // the pages there is nothing to look for, and ShowPage ignores such an index.
    for (;;) {
        index += direction;
        bool shown = true;
        if (const TPluginRow* plugin = PluginRow(index))
            shown = Controller->VisiblePages.Contains(plugin->ShownBy);
        else if (const TPageRow* page = PageRow(index); page && page->Shown)
            shown = page->Shown(*Controller);
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
        StartInstallation();
        return;
    }

    int focus = idNextButton;
    if (const TPluginRow* plugin = PluginRow(index))
        focus = plugin->FolderInput;
    else if (const TPageRow* page = PageRow(index))
        focus = page->FocusId;
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
    if (Handle() && FormCloseQuery())
        Destroy();
}

bool TMainForm::FormCloseQuery() {
    if (PageIndex == wpCopy)
        return false;
    if (PageIndex == wpReady || !Controller)
        return true;
    return Confirm(Controller->ExpandTextSymbols(LoadMessage(msCancelSetup)));
}

// --- input checks ---------------------------------------------------------------------------

bool TMainForm::ValidatePage(int index) {
    if (const TPluginRow* plugin = PluginRow(index))
        return ValidatePluginPage(*plugin);
    const TPageRow* page = PageRow(index);
    if (!page)
        return false;
    return page->Validate ? (this->*page->Validate)() : true;
}

bool TMainForm::ValidatePluginPage(const TPluginRow& plugin) {
    TSetupInstaller& controller = *Controller;
    const std::string text = Text(plugin.FolderInput);
    bool& install = controller.*plugin.Install;
    if (text.empty())
        install = false;
    if (install) {
        if (!DirectoryExists(text)) {
            Services.ShowMessage(FillMessage(LoadMessage(msFolderNotFound), text), mkWarning);
            Focus(plugin.FolderInput);
            return false;
        }
        controller.*plugin.Folder = text;
    }
    if (plugin.ExtraInstall)
        controller.*plugin.ExtraInstall = Checked(plugin.ExtraCheck);
    return true;
}

bool TMainForm::ValidateWelcomePage() {
    if (!Services.HasAdminRights()) {
        Services.ShowMessage(Controller->ExpandTextSymbols(LoadMessage(msInstallRightsRequired)),
                             mkInformation);
        Terminate();
    }
    return true;
}

bool TMainForm::ValidateBundleItemsPage() {
    for (int i = 0; i < Controller->BundleItemCount(); ++i)
        if (Controller->BundleItem(i).Selected)
            return true;
    Services.ShowMessage(LoadMessage(msSelectOneItem), mkWarning);
    return false;
}

bool TMainForm::ValidateDestPage() {
    // An empty box is tested as a lone backslash, which no folder can be.
    std::string path = Text(idDestFolderInput);
    if (path.empty() || path.back() != '\\')
        path += '\\';
    if (CheckDestination(path)) {
        Controller->SetProgramFolder(path);
        return true;
    }
    Focus(idDestFolderInput);
    return false;
}

bool TMainForm::ValidatePersonalizePage() {
    if (!Text(idNameInput).empty()) {
        Controller->OwnerName = Text(idNameInput);
        return true;
    }
    Services.ShowMessage(LoadMessage(msEnterName), mkWarning);
    Focus(idNameInput);
    return false;
}

bool TMainForm::ValidateIconPage() {
    // Hidden check boxes count with the state they have.
    TSetupInstaller& controller = *Controller;
    controller.SelectedShortcuts.Clear();
    if (Checked(idIconStartMenuCheck))
        controller.SelectedShortcuts.Include(scStartMenu);
    if (Checked(idIconDesktopCheck))
        controller.SelectedShortcuts.Include(scDesktop);
    return true;
}

bool TMainForm::ValidateReadyPage() {
    // An empty name would ask the shell to open nothing at all; leave it out.
    TSetupInstaller& controller = *Controller;
    const std::string readme = controller.ReadmeFile();
    if (Checked(idReadyReadmeCheck) && !readme.empty())
        Services.OpenFile(readme, std::string());
    if (IsShown(idReadyStartCheck) && Checked(idReadyStartCheck))
        Services.OpenFile(controller.ProductFile(), controller.ProgramFolder);
    Close();
    return false;
}

bool TMainForm::CheckDestination(const std::string& path) {
    TSetupInstaller& controller = *Controller;
    if (!controller.CanCreateFolder(path)) {
        Services.ShowMessage(FillMessage(LoadMessage(msCannotCreateFolder), path), mkWarning);
        return false;
    }
    if (!controller.IsInstalled)
        return true;
    const bool sameFolder = SameFileName(path, controller.InstalledLocation);
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

void TMainForm::PluginInstallCheckClick(const TPluginRow& plugin) {
    // Cleared, nothing is installed for the host, whatever the folder box holds.
    const bool checked = Checked(plugin.InstallCheck);
    SetEnabled(plugin.FolderLabel, checked);
    SetEnabled(plugin.FolderInput, checked);
    SetEnabled(plugin.BrowseButton, checked);
    (*Controller).*plugin.Install = checked;
}

void TMainForm::Browse(int inputId, const std::string& prompt) {
    SetText(inputId, Services.BrowseForFolder(Handle(), prompt, Text(inputId)));
}

void TMainForm::DestBrowseButtonClick() {
    Browse(idDestFolderInput, Controller->ExpandTextSymbols(LoadMessage(msSelectDestFolder)));
}

void TMainForm::PluginBrowseButtonClick(const TPluginRow& plugin) {
    Browse(plugin.FolderInput, LoadMessage(plugin.Prompt));
}

int RunWizard(IWizardServices& services) {
    TMainForm form(services);
    form.QuitOnEnd = true;
    form.UiFont = SelectUiFont();
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
