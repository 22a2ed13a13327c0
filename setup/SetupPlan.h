// What an installation would do, computed without doing it: every folder and file with its
// final path, every shortcut, registry value and library call, and the install log that the
// uninstaller would replay. The controller's own operations decide each of them (the
// extractions, the VST 3 rename, NoOverwrite, the registry writers, the shortcut lines, the
// library calls); only the file system is stood in for, by a machine of known folders.
//
// Its texts (paths, names, registry texts) are the controller's, in the code page the program
// runs with (ProductText): UTF-8 in the packing tool.
//
// The packing tool prints the plan for the vendor and checks it; the setup program could ask
// it the same way before it writes anything.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "setup/SetupEnvironment.h"
#include "setup/SetupInstaller.h"

// A machine to plan on: every plug-in host installed, so that a folder symbol that is empty
// here is empty on every machine; the product not installed unless registry values and files
// of an earlier installation are given. Registry writes and library calls are recorded, not
// made.
class TPlanEnvironment final : public ISetupEnvironment {
public:
    TPlanEnvironment();

    struct TWrite {
        TRegistryRoot Root;
        std::string Key, Name;
        bool IsInteger = false;
        std::string Text;
        int32_t Number = 0;
    };
    struct TCall {
        std::string Path, Export;
    };
    std::vector<TWrite> Writes;
    std::vector<TCall> Calls;
    // A file that exists on the machine (an earlier installation's), by full path.
    void AddFile(const std::string& path);

    // A string value on the machine, as an earlier installation left it.
    void SetValue(TRegistryRoot root, const std::string& key, const std::string& name,
                  const std::string& text);
    // The folders that exist before anything is installed, without a trailing backslash.
    std::vector<std::string> ExistingFolders();

    std::optional<std::vector<std::string>> SubkeyNames(TRegistryRoot root, const std::string& key) override;
    std::optional<std::string> ReadString(TRegistryRoot root, const std::string& key,
                                          const std::string& name) override;
    std::string ProgramFilesFolder() override { return "C:\\Program Files"; }
    std::string NativeProgramFilesFolder() override { return "C:\\Program Files"; }
    std::string CommonFilesFolder() override { return "C:\\Program Files\\Common Files"; }
    std::string CommonProgramFilesFolder() override { return "C:\\Program Files\\Common Files"; }
    std::string ApplicationDataFolder() override { return "C:\\Users\\User\\AppData\\Roaming"; }
    std::string DocumentsFolder() override { return "C:\\Users\\User\\Documents"; }
    std::string UserName() override { return "User"; }
    bool FileExists(const std::string& path) override;
    bool WriteString(TRegistryRoot root, const std::string& key, const std::string& name,
                     const std::string& value) override;
    bool WriteInteger(TRegistryRoot root, const std::string& key, const std::string& name,
                      int32_t value) override;
    // Room for any product.
    uint64_t FreeDiskSpace(const std::string&) override { return UINT64_MAX / 2; }
    bool CallLibraryExport(const std::string& path, const std::string& exportName) override;
    std::string StartMenuFolder() override {
        return "C:\\Users\\User\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs";
    }
    std::string DesktopFolder() override { return "C:\\Users\\User\\Desktop"; }
    // The plan lists the folders as the extraction logs them; which of them gets an access
    // list of its own does not change where anything lands.
    bool CreateProtectedFolder(const std::string&) override { return false; }

private:
    std::set<std::string> Files; // by FileNameKey
    // Values by root, lower-case key path without a leading backslash, lower-case name.
    std::map<std::string, std::string> Values;
    static std::string ValueId(TRegistryRoot root, const std::string& key, const std::string& name);
};

enum TPlanItemKind { pkFolder, pkFile, pkShortcut, pkUninstaller };

struct TPlanItem {
    TPlanItemKind Kind = pkFile;
    std::string Path;   // the final path; a folder's ends with a backslash
    int Line = -1;      // the index of its line in Components or Shortcuts; -1 for none
    std::string Source; // a file's archive path ("Program\Bin\x.dll"); a shortcut's target
    std::string Arguments;
    int32_t IconIndex = 0;
    uint64_t Size = 0;
    bool Renamed = false;     // ".dll" written as ".vst3"
    bool NoOverwrite = false; // an existing file of that name is kept
    bool Kept = false;        // NoOverwrite keeps the file that is there: nothing written or logged
    bool Created = false;     // a folder this installation creates (else it was there)
    std::string Item;         // the bundle item whose pass installs it; empty for the product's
};

struct TPlanValue {
    TRegistryRoot Root = rrCurrentUser;
    std::string Key, Name;
    bool IsInteger = false;
    std::string Text;
    int32_t Number = 0;
};

struct TPlanLibrary {
    std::string Path, Export;
    int Line = -1; // the index of its line in CallLibraries
};

// The user's choices on the wizard's pages.
struct TPlanChoice {
    std::string Name; // "default", "without VST 2 plug-ins", ...
    bool Vst = true, Vst3 = true, Digi = true, Photoshop = true;
    TSetupShortcuts Shortcuts;
    std::vector<bool> Items; // per bundle item; empty: all selected
};

struct TPlan {
    TPlanChoice Choice;
    std::vector<TPlanItem> Items;
    std::vector<TPlanValue> Values;
    std::vector<TPlanLibrary> Libraries;
    std::vector<std::string> Log; // the install log as the uninstall record holds it
};

// The files of a component, in the archive's order: visit receives each entry's path below the
// component ("\" separated; a folder's ends with "\", before its content; in the running code
// page, as the engine names the archive's entries) and a file's size.
using TComponentFiles =
    std::function<void(const std::string& component,
                       const std::function<void(const std::string& relative, uint64_t size)>& visit)>;

// The components as the setup data holds them.
TComponentFiles ArchiveComponentFiles(TInstaller& installer);

// The default choices and each one the wizard offers besides: declining each plug-in host
// whose page is shown, no shortcuts, each bundle item alone.
std::vector<TPlanChoice> WizardChoices(const TSetupInstaller& setup);

// What the run would do for choice; setup's choices are restored afterwards. setup must have
// been constructed over environment.
TPlan PlanInstallation(TSetupInstaller& setup, TPlanEnvironment& environment, const TComponentFiles& files,
                       const TPlanChoice& choice);

// Below HKEY_LOCAL_MACHINE: the uninstall entry's key, as the install log holds it.
std::string UninstallEntryKey(const std::string& keyName);
