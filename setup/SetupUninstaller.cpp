#include "setup/SetupUninstaller.h"

#include "messages/Strings.h"

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
