// The installation run itself: measure, check the free space, extract, call the product's
// libraries, write the registry entries, create the shortcuts and, last, write and register
// the uninstaller; and those of its steps that need the shell (shortcuts and the uninstaller).
// Windows only.

#include "setup/SetupInstaller.h"

#include <windows.h>

#include <algorithm>

#include "common/CommonUtils.h"
#include "common/FileEnumerator.h"
#include "common/FileSystem.h"
#include "common/IniFile.h"
#include "common/Path.h"
#include "messages/Strings.h"
#include "setupdata/UninstallRecord.h"
#include "setupdata/Uninstaller.h"
#include "shell/ShellUtils.h"

void TSetupInstaller::Install(ISetupProgress& progress) {
    progress.SetProgress(0);
    progress.SetStatus(LoadMessage(msPreparing));
    RequiredSpace = GetRequiredSpace();
    CheckDiskSpace();

    // Without libraries to call, copying takes the stage of the library calls as well.
    const bool callsLibraries = !CallLibraries.empty();
    progress.SetProgress(25);
    progress.SetStatus(LoadMessage(msCopying));
    InstallComponents(progress, 25, callsLibraries ? 50 : 75);

    if (callsLibraries) {
        progress.SetProgress(50);
        progress.SetStatus(LoadMessage(msInitializing));
        progress.CallOnWindowThread([this] { RunCallLibraries(); });
    }

    progress.SetProgress(75);
    progress.SetStatus(LoadMessage(msCreatingSettings));
    // The uninstaller removes both product keys whole, with everything written below them.
    Installer->LogRegistryKey(lrCurrentUser, RegistryKeyFor(VersionKey));
    Installer->LogRegistryKey(lrLocalMachine, RegistryKeyFor(VersionKey));
    WriteProductLocation();
    WriteFolderLocations();
    WriteOwnerName();
    WriteRegistrySettings();
    progress.SetProgress(100);

    CreateShortcuts();
    // Last: the uninstall record holds the log as it stands now.
    RegisterUninstaller();
}

void TSetupInstaller::RegisterUninstaller() {
    // The product folder is missing when no component went into it (a product of plug-ins
    // only, say); the uninstaller needs it, and the log records it for removal.
    if (!DirectoryExists(ProgramFolder)) {
        CreateProtectedFolderFor(ProgramFolder);
        if (!DirectoryExists(ProgramFolder))
            Installer->CreateFolder(ProgramFolder, false);
    }
    const std::string uninstallerPath = JoinPath(ProgramFolder, "Uninst.exe");
    MergeEarlierRecord(uninstallerPath);
    Installer->WriteUninstaller(uninstallerPath, FullProductName(), FullProductName(), ProductName.data(),
                                static_cast<int32_t>(ProductName.size()), UninstallDetails());
}

void TSetupInstaller::MergeEarlierRecord(const std::string& uninstallerPath) {
    // Over an earlier installation of the product in the same folder (an update or a repair,
    // which the detection found, or one that another setup program of the product finished
    // while this one ran) the new uninstaller replaces the earlier one, and with it the only
    // list of what the earlier runs made: files this version no longer ships, folders they
    // created that this run found existing, files of a component that this run did not
    // overwrite. Its record therefore holds the earlier record's entries as well as this run's.
    std::vector<std::string> earlier;
    try {
        if (!FileExists(uninstallerPath))
            return;
        TUninstaller previous(uninstallerPath);
        // An uninstaller of another product in the folder is not ours to carry on.
        if (std::string(previous.ProductData.begin(), previous.ProductData.end()) != ProductName)
            return;
        earlier = std::move(previous.InstallLog);
    } catch (const std::exception&) {
        // A damaged uninstaller: this run's log alone, as before.
        return;
    }
    // The registration is logged again as the uninstaller is written, last.
    const std::string registration = std::string(1, UninstallRecord::KindLocalMachineKey) +
                                     UninstallRecord::UninstallListKey + FullProductName();
    earlier.erase(std::remove_if(earlier.begin(), earlier.end(),
                                 [&](const std::string& entry) { return SameLogItem(entry, registration); }),
                  earlier.end());
    Installer->InstallLog = MergeInstallLogs(earlier, Installer->InstallLog);
}

void TSetupInstaller::CreateShortcuts() {
    ForEachShortcut([this](const std::string&, const std::string& linkFile, const std::string& target,
                           const TShortcutValue& shortcut) {
        RemoveOldShortcuts(FileFolder(linkFile), target, shortcut.Arguments);
        Installer->CreateShortcut(linkFile, target, shortcut.Arguments, shortcut.IconIndex);
    });
}

void TSetupInstaller::RemoveOldShortcuts(const std::string& folder, const std::string& target,
                                         const std::string& arguments) {
    // A product that renamed a shortcut between versions would otherwise leave the old one
    // beside the new one. Names are gathered first, so that no file goes while the search is
    // on it.
    const std::string prefix = IncludeDelimiter(folder);
    std::vector<std::string> links;
    TFileEnumerator files(prefix + "*.lnk", faReadOnly | faArchive);
    while (files.Next())
        links.push_back(prefix + files.FileName());

    for (const std::string& link : links) {
        // A shortcut that this run has made already (a second line to the same target) is not
        // an old one.
        bool madeNow = false;
        for (const std::string& entry : Installer->InstallLog)
            madeNow = madeNow || (entry.size() > 1 && entry[0] == UninstallRecord::KindFile &&
                                  SameFileName(entry.substr(1), link));
        if (madeNow)
            continue;
        std::string linkTarget;
        std::string linkArguments;
        if (!ReadShellLink(link, linkTarget, linkArguments) || !SameFileName(linkTarget, target) ||
            !SameText(linkArguments, arguments))
            continue;
        // A read-only shortcut cannot be deleted. A link in the shortcut's place goes as a link;
        // neither its target nor the target's attributes are touched.
        if (ItemKindAt(link) == TItemKind::File)
            ClearReadOnly(link);
        RemoveItem(link);
    }
}
