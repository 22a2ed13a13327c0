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
    const bool complete = Dialogs.ShowProgress(ProductName + " Uninstaller",
                                               FillMessage(LoadMessage(msUninstalling), ProductName),
                                               [this](const TItemProgress& progress) {
                                                   Uninstaller->OnProgress = progress;
                                                   return Uninstaller->Uninstall();
                                               });
    // The partial-removal text names the product without its version.
    std::string text = complete ? LoadMessage(msUninstallComplete)
                                : FillMessage(LoadMessage(msUninstallPartial), ProductName);
    Dialogs.ShowMessage(text, mkInformation);
    Uninstaller->RemoveSelf();
}
