#include "ui/WizardServices.h"

#include <shellapi.h>

#include "shell/ProductClaim.h"
#include "shell/Rights.h"
#include "shell/ShellUtils.h"
#include "ui/ErrorBox.h"

namespace {

class TSystemWizardServices final : public IWizardServices {
public:
    std::unique_ptr<TSetupInstaller>
    CreateController(const std::function<void(int64_t done, int64_t total)>& progress) override {
        return std::make_unique<TSetupInstaller>(progress);
    }
    TMessageResult ShowMessage(const std::string& text, TMessageKind kind) override {
        return ::ShowMessage(text, kind);
    }
    void ShowErrorBox(const std::string& caption, const std::string& message) override {
        ::ShowErrorBox(caption, message);
    }
    bool HasAdminRights() override { return ::HasAdminRights(); }
    std::string BrowseForFolder(HWND owner, const std::string& prompt,
                                const std::string& initialFolder) override {
        return ::BrowseForFolder(owner, prompt, initialFolder);
    }
    void OpenFile(const std::string& file, const std::string& workingFolder) override {
        // The result is not looked at: a Readme or product that does not open is no error of
        // the installation. Run elevated, the program has the desktop's shell open the file,
        // so that the viewer or the product runs as the logged-on user and not as the
        // administrator; where no shell answers, it opens the file itself.
        if (::IsProcessElevated() && ::OpenFromDesktopShell(file, workingFolder))
            return;
        ::ShellExecuteA(nullptr, nullptr, file.c_str(), nullptr,
                        workingFolder.empty() ? nullptr : workingFolder.c_str(), SW_SHOWNORMAL);
    }
    bool ClaimProduct(const std::string& productName) override { return Claim.Claim(productName); }
    void Install(TSetupInstaller& controller, ISetupProgress& progress) override {
        controller.Install(progress);
    }
    void Pause(DWORD milliseconds) override { ::Sleep(milliseconds); }
    DWORD TickCount() override { return ::GetTickCount(); }

private:
    // Held until the program ends.
    TProductClaim Claim;
};

} // namespace

IWizardServices& SystemWizardServices() {
    static TSystemWizardServices services;
    return services;
}
