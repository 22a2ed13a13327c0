#include "app/Startup.h"

#include <windows.h>

#include <memory>
#include <vector>

#include "common/CommonUtils.h"
#include "common/Errors.h"
#include "common/Stream.h"
#include "setup/SetupUninstaller.h"
#include "setupdata/ArchiveFormat.h"
#include "setupdata/SetupData.h"
#include "ui/Application.h"
#include "ui/ErrorBox.h"

bool IsUninstallerFile(const std::string& path) {
    TFileStream file(path, TFileMode::fmOpenReadShared);
    file.SetPosition(Archive::UninstallFlagPosition);
    return file.ReadInt32() == 1;
}

bool IsUninstaller() {
    return IsUninstallerFile(ProgramFileName());
}

std::string SetupSummaryText(TInstaller& installer) {
    std::vector<std::string> components;
    installer.ListEntries([&](const std::string& path, const Archive::TEntryRecord& record) {
        if (record.IsFolder() && path.find('\\') == std::string::npos)
            components.push_back(path);
    });
    std::string text = "Version " + installer.Version.ToText() + "\r\rComponents:";
    for (const std::string& name : components)
        text += "\r" + name + ": " + std::to_string(installer.ComponentSize(name)) + " bytes";
    if (components.empty())
        text += " none";
    return text;
}

int RunSetup() {
    Application().Title = "Setup";
    std::unique_ptr<TInstaller> installer;
    try {
        // An empty resource name: the archive appended to this program, or Setup.dat.
        installer = std::make_unique<TInstaller>("");
    } catch (const std::exception& error) {
        ShowErrorBox(error.what());
        return 0;
    }
    // Temporary stand-in for the wizard form, which will own the setup controller and
    // through it this engine: until it exists, show what the setup data holds.
    ::MessageBoxA(nullptr, SetupSummaryText(*installer).c_str(), Application().Title.c_str(),
                  MB_OK | MB_ICONINFORMATION | MB_TASKMODAL);
    return 0;
}

void RunUninstaller() {
    // Reads the uninstall record appended to this program (or Uninstall.dat beside it); a
    // missing or damaged record raises its own error, which ends the program at the top level.
    // The controller is freed on the way out, also when the run raises.
    TSetupUninstaller uninstaller;
    Application().Title = uninstaller.ProductName + " Uninstaller";
    uninstaller.Execute();
}
