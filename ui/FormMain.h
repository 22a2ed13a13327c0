// The setup wizard: the window made from the designed layout (ui/LayoutWindow.h) with the
// wizard's logic. It creates and owns the setup controller, fills its pages from the
// controller's configuration and detections, checks each page's input when Next is pressed
// and writes it into the controller, runs the installation on the copying page and reports
// its progress (FormMainRun.cpp: the run's thread and what it sends to the window), and on
// the last page opens the Readme and starts the product through the system services
// (ui/WizardServices.h). What differs from page to page, and from plug-in host to plug-in
// host, is a row of a table in FormMain.cpp. Windows only.
#pragma once

#include <windows.h>

#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "common/WinHandle.h"
#include "setup/SetupInstaller.h"
#include "setup/SetupPicture.h"
#include "setup/SetupProgress.h"
#include "ui/LayoutWindow.h"
#include "ui/ProgressDialog.h"
#include "ui/WizardServices.h"

class TMainForm final : public TLayoutWindow, public ISetupProgress {
public:
    explicit TMainForm(IWizardServices& services);
    ~TMainForm();

    // Builds the window (hidden) from the designed layout, scaled to the screen, and runs
    // FormCreate. False when the wizard cannot start: the error has been shown and the
    // application told to end.
    bool Create();
    // Shows the window, centred, in front; then the window that showed a long check of the
    // archive goes. In that order the program keeps the foreground from the one to the other.
    void Show();
    // The message loop's share: dialog keys (Tab, Enter, Escape, accelerators). True when the
    // message has been handled.
    bool PreTranslateMessage(MSG& message);

    int CurrentPage() const { return PageIndex; }
    // True once the application has been told to end (after an error or a refused start).
    bool Terminated() const { return IsTerminated; }
    // When set, ending the application or closing the window ends the thread's message loop.
    bool QuitOnEnd = false;

    std::unique_ptr<TSetupInstaller> Controller;
    // The interface font that FormCreate switches the design font to (ui/Font.h); the design
    // font itself unless set before Create.
    TUiFont UiFont;
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
    void DestBrowseButtonClick();
    bool CheckDestination(const std::string& path);
    std::string ExpandPluginText(const std::string& text) const;
    // Requests the window to close; it closes when FormCloseQuery allows it.
    void Close();

    // ISetupProgress, called by the run on its own thread: each shows its report through the
    // window's thread and returns when it is on screen. A status text stays at least 500 ms:
    // the next one, and the end of the run, wait until it has had that time.
    void SetProgress(int32_t position) override;
    void SetStatus(const std::string& text) override;
    void SetCopyProgress(int32_t position) override;
    void CallOnWindowThread(const std::function<void()>& work) override;
    // True from the start of the installation run until the window has learnt that it ended.
    bool Installing() const { return RunThread.joinable(); }

    // Shows message in the error box and tells the application to end.
    void EndWithError(const std::string& message);

private:
    // A page of the wizard; a plug-in host's page. Defined with their tables in FormMain.cpp.
    struct TPageRow;
    struct TPluginRow;
    static const TPageRow PageRows[];
    static const TPluginRow PluginRows[];
    static const TPageRow* PageRow(int page);
    static const TPluginRow* PluginRow(int page);

    IWizardServices& Services;
    // The error box's caption: the wizard's own caption once the product's name is known.
    std::string ErrorCaption = "Setup";
    int PageIndex = -1;
    bool IsTerminated = false;
    // The window that shows a long check of the archive, until the first page or the error
    // box has taken its place.
    std::unique_ptr<TProgressWindow> Checking;

    // What the run's thread sends to the window (FormMainRun.cpp).
    enum : UINT { wmRunProgress = WM_APP + 1, wmRunStatus, wmRunCall, wmRunEnded };
    struct TWindowThreadCall {
        const std::function<void()>& Work;
        std::exception_ptr Error;
        bool Delivered = false;
    };
    std::thread RunThread;
    // Set by the run's thread as its last act, for a wait that takes sent messages meanwhile.
    UniqueHandle RunEnded;
    HWND RunWindow = nullptr;
    // The run's thread only: when the status text on screen was shown.
    bool StatusShown = false;
    DWORD StatusShownAt = 0;
    // Set by the run's thread before it posts wmRunEnded.
    bool RunFailed = false;
    std::string RunError;

    void StartInstallation();
    void RunInstallation();
    void InstallationEnded();
    void JoinRun();
    void HoldStatus();
    void ShowProgress(int32_t position);
    void ShowStatus(const std::string& text);

    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnUnexpectedError(const char* message) override { EndWithError(message); }
    void OnCommand(int id, int code);
    void DrawImage(const DRAWITEMSTRUCT& item);

    // Each page's controls filled from the controller, in FormCreate.
    void FillWelcomePage();
    void FillLicensePage();
    void FillBundleItemsPage();
    void FillPluginPage(const TPluginRow& plugin);
    void FillVst3Controls();
    void FillDestPage();
    void FillPersonalizePage();
    void FillIconPage();
    void FillCopyPage();
    void FillReadyPage();
    void CreateBundleItemChecks();
    void ExpandCaption(int id);
    void PluginCaption(int id);
    void Terminate();
    bool Confirm(const std::string& text);
    void Browse(int inputId, const std::string& prompt);

    // A plug-in host's check box and Browse button, and its page's check.
    void PluginInstallCheckClick(const TPluginRow& plugin);
    void PluginBrowseButtonClick(const TPluginRow& plugin);
    bool ValidatePluginPage(const TPluginRow& plugin);
    // The checks of the other pages that have one.
    bool ValidateWelcomePage();
    bool ValidateBundleItemsPage();
    bool ValidateDestPage();
    bool ValidatePersonalizePage();
    bool ValidateIconPage();
    bool ValidateReadyPage();
};

// Setup mode after start-up: creates the wizard as the application's main window and runs
// the message loop until the wizard closes or the application is told to end. Returns the
// process exit code (0).
int RunWizard(IWizardServices& services);
