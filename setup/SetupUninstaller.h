// The uninstall controller: what the uninstaller copy Uninst.exe does when it runs. It checks
// the user's rights, asks for confirmation, lets the uninstall engine remove what the
// installation recorded, reports the outcome and has the engine delete the uninstaller.
// Windows only.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>

#include "setup/SetupDialogs.h"
#include "setupdata/Uninstaller.h"
#include "shell/Rights.h"

class TSetupUninstaller {
public:
    // Reads the uninstall record of the running program (appended to it, or Uninstall.dat
    // beside it); a missing or damaged record raises the engine's error. Execute shows its
    // messages through dialogs, which must outlive the controller.
    explicit TSetupUninstaller(ISetupDialogs& dialogs);
    // Tests: the record of the uninstaller at executablePath, as if it were the running program.
    TSetupUninstaller(ISetupDialogs& dialogs, const std::string& executablePath);
    ~TSetupUninstaller();

    // The product name stored in the record.
    std::string ProductName;
    std::unique_ptr<TUninstaller> Uninstaller;

    // How Execute checks the rights. Tests replace it; the program keeps HasAdminRights.
    std::function<bool()> OnCheckRights = HasAdminRights;

    // The uninstall run: the rights warning, or the confirmation followed by the removal, the
    // final message and the self-removal batch file.
    void Execute();

private:
    ISetupDialogs& Dialogs;

    void ReadProductName();
};
