// The install engine's shortcuts, through the shell link object. Windows only.

#include "setupdata/SetupData.h"

#include "shell/ShellUtils.h"

void TInstaller::CreateShortcut(const std::string& linkPath, const std::string& target,
                                const std::string& arguments, int iconIndex) {
    CreateShellLink(linkPath, target, arguments, iconIndex);
    AddLogEntry(lkFile, linkPath);
}
