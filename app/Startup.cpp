#include "app/Startup.h"

#include <windows.h>

#include "common/CommonUtils.h"
#include "common/Stream.h"
#include "setup/SetupUninstaller.h"
#include "setupdata/ArchiveFormat.h"
#include "ui/FormMain.h"
#include "ui/MessageDialog.h"

namespace {

// The uninstall controller's messages, in the program's message dialogs.
class TMessageDialogs final : public ISetupDialogs {
public:
    TMessageResult ShowMessage(const std::string& text, TMessageKind kind) override {
        return ::ShowMessage(text, kind);
    }
};

} // namespace

bool IsUninstallerFile(const std::string& path) {
    TFileStream file(path, TFileMode::fmOpenReadShared);
    return Archive::TImageFields::Read(file).Uninstaller;
}

bool IsUninstaller() {
    return IsUninstallerFile(ProgramFileName());
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
    uninstaller.Execute();
}
