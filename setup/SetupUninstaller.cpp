#include "setup/SetupUninstaller.h"

#include "common/CommonUtils.h"
#include "common/Registry.h"
#include "messages/Strings.h"
#include "shell/ShellUtils.h"

TSetupUninstaller::TSetupUninstaller(ISetupDialogs& dialogs)
    : Uninstaller(std::make_unique<TUninstaller>()), Dialogs(dialogs) {
    ReadProductName();
}

TSetupUninstaller::TSetupUninstaller(ISetupDialogs& dialogs, const std::string& executablePath)
    : Uninstaller(std::make_unique<TUninstaller>(executablePath)), Dialogs(dialogs) {
    ReadProductName();
}

TSetupUninstaller::~TSetupUninstaller() = default;

void TSetupUninstaller::ReadProductName() {
    ProductName.assign(Uninstaller->ProductData.begin(), Uninstaller->ProductData.end());
}

namespace {

// The engine's replay, with the items it has removed reported as it goes.
template <typename TEngine>
auto Replay(TEngine& engine, const TItemProgress& progress, int) -> decltype(engine.Uninstall(progress)) {
    return engine.Uninstall(progress);
}
// An engine that reports nothing: the bar stands still until the end.
template <typename TEngine> bool Replay(TEngine& engine, const TItemProgress& progress, long) {
    progress(0, 1);
    const bool complete = engine.Uninstall();
    progress(1, 1);
    return complete;
}

} // namespace

void TSetupUninstaller::Execute() {
    if (!OnCheckRights()) {
        // Nothing is removed and the uninstaller stays, so that it can run again for a user
        // who has the rights.
        Dialogs.ShowMessage(FillMessage(LoadMessage(msUninstallRightsRequired), ProductName), mkWarning);
        return;
    }
    std::string name = ProductName;
    if (Uninstaller->Version.Major > 0)
        name += " " + Uninstaller->Version.ToText();
    if (Dialogs.ShowMessage(FillMessage(LoadMessage(msConfirmUninstall), name), mkConfirmation) != mrYes)
        return;

    // Thousands of files take seconds: a window shows that the removal goes on, and it
    // answers meanwhile, so that nobody takes the uninstaller for hung and starts it again.
    const bool complete = Dialogs.ShowProgress(
        ProductName + " Uninstaller", FillMessage(LoadMessage(msUninstalling), ProductName),
        [this](const TItemProgress& progress) { return Replay(*Uninstaller, progress, 0); });
    // The partial-removal text names the product without its version.
    std::string text = complete ? LoadMessage(msUninstallComplete)
                                : FillMessage(LoadMessage(msUninstallPartial), ProductName);
    Dialogs.ShowMessage(text, mkInformation);
    Uninstaller->RemoveSelf();
}

bool ProbeAdminRights(const std::string& programFilesFolder, HKEY root, const char* keyPath) {
    // A drive root keeps its backslash in the shell's answer ("C:\"); the probe folders are
    // joined with one of their own.
    const std::string base = ExcludeDelimiter(programFilesFolder);
    // Creating a folder is what the installation will do there. A name that is taken (by a
    // folder or a file) is left alone and the next number tried; any other refusal (access
    // denied, a path that is not a folder) means the user lacks the rights.
    for (unsigned n = 0;; ++n) {
        std::string folder = base + "\\Test" + std::to_string(n);
        if (::CreateDirectoryA(folder.c_str(), nullptr)) {
            ::RemoveDirectoryA(folder.c_str());
            break;
        }
        if (::GetLastError() != ERROR_ALREADY_EXISTS)
            return false;
    }
    // Full access to the machine's software key: what writing the product's registry entries
    // and its uninstall registration needs.
    return static_cast<bool>(CreateKey(root, keyPath));
}

bool HasAdminRights() {
    return ProbeAdminRights(GetProgramFilesFolder(), HKEY_LOCAL_MACHINE, "SOFTWARE");
}
