// What the wizard asks of the rest of the program and of the system: the controller, the
// message dialogs, the rights probe, the folder browser, opening the Readme and starting the
// product, and the installation run. SystemWizardServices() is the running program's; the
// wizard's tests answer with a test double. Windows only.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "setup/SetupInstaller.h"
#include "setup/SetupProgress.h"
#include "ui/MessageDialog.h"

// What the wizard asks of the rest of the program and of the system. The running program uses
// SystemWizardServices(); tests answer the dialogs and record what was asked.
class IWizardServices {
public:
    // Creates the setup controller over the running program's setup data, telling progress
    // how far the archive's check has come (from the calling thread); raises what the
    // controller's construction raises. Called on a thread of its own.
    virtual std::unique_ptr<TSetupInstaller>
    CreateController(const std::function<void(int64_t done, int64_t total)>& progress) = 0;
    // A modal message dialog of a kind of ui/MessageDialog.h, and the button chosen.
    virtual TMessageResult ShowMessage(const std::string& text, TMessageKind kind) = 0;
    // The error box that ends the program, titled caption.
    virtual void ShowErrorBox(const std::string& caption, const std::string& message) = 0;
    virtual bool HasAdminRights() = 0;
    // The folder-browse dialog; initialFolder unchanged when the user cancels.
    virtual std::string BrowseForFolder(HWND owner, const std::string& prompt,
                                        const std::string& initialFolder) = 0;
    // Opens file with the shell's default action, in workingFolder (none when empty).
    virtual void OpenFile(const std::string& file, const std::string& workingFolder) = 0;
    // Claims the product for this program run: false when a setup program or uninstaller of
    // the same product runs already, whose window has then been brought to the front.
    virtual bool ClaimProduct(const std::string& productName) = 0;
    // The installation run.
    virtual void Install(TSetupInstaller& controller, ISetupProgress& progress) = 0;
    // Holds the thread, so that a status text can be read.
    virtual void Pause(DWORD milliseconds) = 0;
    // Milliseconds on a clock that Pause moves on (GetTickCount: only differences count).
    virtual DWORD TickCount() = 0;

protected:
    ~IWizardServices() = default;
};

IWizardServices& SystemWizardServices();
