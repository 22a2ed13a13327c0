#include "app/Startup.h"

#include <windows.h>

#include "common/Path.h"
#include "common/Stream.h"
#include "setup/SetupUninstaller.h"
#include "setupdata/ArchiveFormat.h"
#include "shell/ProductClaim.h"
#include "ui/FormMain.h"
#include "ui/MessageDialog.h"
#include "ui/ProgressDialog.h"

namespace {

// The uninstall controller's messages, in the program's message dialogs. The window that
// showed the removal stays until the message after it has taken its place.
class TMessageDialogs final : public ISetupDialogs {
public:
    TMessageResult ShowMessage(const std::string& text, TMessageKind kind) override {
        const TMessageResult result = ::ShowMessage(text, kind);
        Progress.reset();
        return result;
    }
    bool ShowProgress(const std::string& caption, const std::string& text,
                      const std::function<bool(const TItemProgress&)>& work) override {
        Progress = std::make_unique<TProgressWindow>(caption, text);
        return Progress->Run(work);
    }

private:
    std::unique_ptr<TProgressWindow> Progress;
};

} // namespace

bool IsUninstallerFile(const std::string& path) {
    TFileStream file(path, TFileMode::fmOpenReadShared);
    return Archive::TImageFields::Read(file).Uninstaller;
}

bool IsUninstaller() {
    // The flag as Windows mapped it when the program started, not as the file at the
    // program's path says now: a running program can be renamed and another file put in its
    // place, and an elevated uninstaller that read a record of someone else's making would
    // remove whatever that record names. The headers' page is always mapped.
    constexpr int32_t headersPage = 4096;
    TMemoryStream headers;
    headers.WriteBuffer(::GetModuleHandleA(nullptr), headersPage);
    headers.SetPosition(0);
    return Archive::TImageFields::Read(headers).Uninstaller;
}

int RunSetup() {
    // The wizard creates the setup controller, which opens and verifies the setup data; it
    // shows the errors of that and of the installation run itself and then ends the program.
    return RunWizard(SystemWizardServices());
}

void RunUninstaller() {
    // Reads the uninstall record appended to this program (or Uninstall.dat beside it); a
    // missing or damaged record raises its own error, which ends the program at the top level.
    // The controller is freed on the way out, also when the run raises.
    TMessageDialogs dialogs;
    TSetupUninstaller uninstaller(dialogs);
    // A second start while the setup program or the uninstaller of the product runs brings
    // that one's window to the front and ends here, without a word.
    TProductClaim claim;
    if (!claim.Claim(uninstaller.ProductName))
        return;
    uninstaller.Execute();
}
