// The setup wizard: one fixed-size dialog window whose controls come from the designed layout
// (ui/Layout.h). It creates and owns the setup controller, fills its pages from the
// controller's configuration and detections, checks each page's input when Next is pressed
// and writes it into the controller, runs the installation on the copying page and reports
// its progress, and on the last page opens the Readme and starts the product. Windows only.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "common/WinHandle.h"
#include "setup/SetupInstaller.h"
#include "setup/SetupPicture.h"
#include "setup/SetupProgress.h"
#include "ui/Font.h"
#include "ui/Layout.h"
#include "ui/MessageDialog.h"

// What the wizard asks of the rest of the program and of the system. The running program uses
// SystemWizardServices(); tests answer the dialogs and record what was asked.
class IWizardServices {
public:
    // Creates the setup controller over the running program's setup data; raises what the
    // controller's construction raises.
    virtual std::unique_ptr<TSetupInstaller> CreateController() = 0;
    // A modal message dialog of a kind of ui/MessageDialog.h, and the button chosen.
    virtual TMessageResult ShowMessage(const std::string& text, TMessageKind kind) = 0;
    // The error box that ends the program.
    virtual void ShowErrorBox(const std::string& message) = 0;
    virtual bool HasAdminRights() = 0;
    // The folder-browse dialog; initialFolder unchanged when the user cancels.
    virtual std::string BrowseForFolder(HWND owner, const std::string& prompt,
                                        const std::string& initialFolder) = 0;
    // Opens file with the shell's default action, in workingFolder (none when empty).
    virtual void OpenFile(const std::string& file, const std::string& workingFolder) = 0;
    // The installation run.
    virtual void Install(TSetupInstaller& controller, ISetupProgress& progress) = 0;
    // Holds the thread, so that a status text can be read.
    virtual void Pause(DWORD milliseconds) = 0;

protected:
    ~IWizardServices() = default;
};

IWizardServices& SystemWizardServices();

class TMainForm final : public ISetupProgress {
public:
    explicit TMainForm(IWizardServices& services);
    ~TMainForm();
    TMainForm(const TMainForm&) = delete;
    TMainForm& operator=(const TMainForm&) = delete;

    // Builds the window (hidden) from the designed layout, scaled to the screen, and runs
    // FormCreate. False when the wizard cannot start: the error has been shown and the
    // application told to end.
    bool Create();
    // Shows the window in the centre of the screen with the focus where the page put it.
    void Show();
    // The message loop's share: dialog keys (Tab, Enter, Escape, accelerators). True when the
    // message has been handled.
    bool PreTranslateMessage(MSG& message);

    HWND Handle() const { return Window; }
    // The window of a control of the layout, or of a bundle item's check box.
    HWND Control(int id) const;
    int CurrentPage() const { return PageIndex; }
    // True once the application has been told to end (after an error or a refused start).
    bool Terminated() const { return IsTerminated; }
    // True once the window has closed.
    bool Closed() const { return IsClosed; }
    // When set, ending the application or closing the window ends the thread's message loop.
    bool QuitOnEnd = false;

    std::unique_ptr<TSetupInstaller> Controller;
    int InstallPage = wpDest;
    TPicture Picture;

    // The wizard's operations.
    void FormCreate();
    void FormDestroy();
    bool FormCloseQuery();
    void ShowPage(int index);
    bool ValidatePage(int index);
    int NextVisiblePage(int index, int direction) const;
    void StepPage(int direction);
    void NextButtonClick();
    void BackButtonClick();
    void CancelButtonClick();
    void BundleItemCheckClick(int itemIndex);
    void Vst2InstallCheckClick();
    void DigiInstallCheckClick();
    void PhotoshopInstallCheckClick();
    void DestBrowseButtonClick();
    void Vst2BrowseButtonClick();
    void DigiBrowseButtonClick();
    void PhotoshopBrowseButtonClick();
    bool CheckDestination(const std::string& path);
    std::string ExpandPluginText(const std::string& text) const;
    // Requests the window to close; it closes when FormCloseQuery allows it.
    void Close();

    // ISetupProgress: each repaints its control at once; SetStatus then pauses 500 ms.
    void SetProgress(int32_t position) override;
    void SetStatus(const std::string& text) override;

    // Control helpers, also for tests.
    std::string Text(int id) const;
    void SetText(int id, const std::string& text);
    bool Checked(int id) const;
    void SetChecked(int id, bool checked);
    // Visible up to the form (the form itself may still be hidden) and enabled.
    bool CanFocus(int id) const;
    bool IsShown(int id) const;
    // Bounds in the parent's client coordinates, in pixels.
    TBounds Bounds(int id) const;
    int ParentId(int id) const;
    // The font a control draws with.
    TFont FontOf(int id) const;
    // The control that has the keyboard focus, or that will have it when the window is shown.
    int FocusedId() const;

    // Shows message in the error box and tells the application to end.
    void EndWithError(const std::string& message);

    // The window procedure's share; public for the window procedure only.
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void OnWindowDestroyed();

private:
    struct TControl {
        int Id = 0;
        HWND Handle = nullptr;
        int Parent = idNone;
        TFontControl FontNode;
    };

    IWizardServices& Services;
    HWND Window = nullptr;
    int PageIndex = -1;
    bool IsTerminated = false;
    bool IsClosed = false;
    HWND PendingFocus = nullptr;
    int PixelsPerInch = DesignPixelsPerInch;
    TLayoutScale LayoutScale;
    TFontForm FontForm;
    std::vector<std::unique_ptr<TControl>> Controls;
    // GDI fonts in use, one per distinct font; freed after the window.
    std::vector<std::pair<TFont, UniqueGdiObject>> Fonts;

    TControl* Find(int id) const;
    void CreateControls();
    HWND CreateControlWindow(const TControlDesign& design, HWND parent, const TBounds& bounds);
    void ApplyFonts();
    HFONT GdiFont(const TFont& font);
    TFont EffectiveFont(const TControl& control) const;
    void CreateBundleItemChecks();
    void SetVisible(int id, bool visible);
    void SetEnabled(int id, bool enabled);
    void MoveTo(int id, int parent, int left, int top);
    void Focus(int id);
    void ExpandCaption(int id);
    void PluginCaption(int id);
    void ProcessMessages();
    void Terminate();
    bool Confirm(const std::string& text);
    bool ValidatePluginPage(int inputId, bool& installFlag, std::string& folder);
    void Browse(int inputId, const std::string& prompt);
    void DrawImage(const DRAWITEMSTRUCT& item);
    void OnCommand(int id, int code);
};

// Setup mode after start-up: creates the wizard as the application's main window and runs
// the message loop until the wizard closes or the application is told to end. Returns the
// process exit code (0).
int RunWizard(IWizardServices& services);
