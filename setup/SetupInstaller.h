// The setup controller TSetupInstaller: reads the setup's configuration (Setup.ini, Setup.lic,
// BundleInfo.ini) from the setup data, expands the configuration's symbols, detects earlier
// installations and the folders of plug-in hosts, and runs the installation. The wizard reads
// and writes its fields directly.
//
// Its sources follow those concerns: SetupInstallerConfiguration.cpp, SetupInstallerSymbols.cpp,
// SetupInstallerDetection.cpp, SetupInstallerRun.cpp (the run's steps), SetupInstallerRunWin32.cpp
// (the run itself, shortcuts and the uninstaller) and SetupInstallerWriters.cpp (the registry
// entries). Everything is portable except LoadPicture, the constructors that use the running
// system and SetupInstallerRunWin32.cpp; the system is reached through ISetupEnvironment.
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "common/Stream.h"
#include "common/Version.h"
#include "setup/SetupClasses.h"
#include "setup/SetupEnvironment.h"
#include "setup/SetupProgress.h"
#include "setupdata/SetupData.h"

class TPicture;

// A small set of enumeration members.
template <typename E>
class TEnumSet {
public:
    TEnumSet() = default;
    TEnumSet(std::initializer_list<E> members) {
        for (E member : members)
            Include(member);
    }
    void Include(E member) { Bits |= Bit(member); }
    void Exclude(E member) { Bits &= ~Bit(member); }
    bool Contains(E member) const { return (Bits & Bit(member)) != 0; }
    bool Empty() const { return Bits == 0; }
    void Clear() { Bits = 0; }
    bool operator==(const TEnumSet& other) const { return Bits == other.Bits; }
    bool operator!=(const TEnumSet& other) const { return Bits != other.Bits; }

private:
    static uint32_t Bit(E member) { return 1u << static_cast<unsigned>(member); }
    uint32_t Bits = 0;
};

// Where shortcuts can be created.
enum TSetupShortcut { scStartMenu, scDesktop };
using TSetupShortcuts = TEnumSet<TSetupShortcut>;

// The optional wizard pages.
enum TSetupPage { spVstPluginFolder, spDigiPluginFolder, spPhotoshopPluginFolder, spPersonalization };
using TSetupPages = TEnumSet<TSetupPage>;

// A registry location: a key path below a root and the name of a value in it (empty for the
// key's default value).
struct TRegistryLocation {
    std::string KeyPath;
    std::string ValueName;
};

// The parts of a [Shortcuts] value TARGET,TITLE[,ARGS[,ICON]].
struct TShortcutValue {
    std::string Target;    // folder symbols not yet expanded
    std::string Title;     // text symbols expanded
    std::string Arguments; // as written
    int32_t IconIndex = 0; // 0 or negative
};

// A section and key of Setup.ini that the configuration loader reads; Key is null for a section
// read whole as a list.
struct TConfigurationKey {
    const char* Section;
    const char* Key;
    // For a switch (a number read as true or false): the value taken when it is missing or
    // not a number, 0 or 1; -1 for other keys.
    int SwitchDefault = -1;
};

class TSetupInstaller {
public:
#ifdef _WIN32
    // The setup data of the running program, on the running system. checksumProgress, when
    // set, hears now and then how many bytes of how many the archive's check has covered.
    explicit TSetupInstaller(std::function<void(int64_t done, int64_t total)> checksumProgress = nullptr);
    // Tools and tests: the setup data of the setup program at executablePath (appended, or
    // Setup.dat beside it, or the file itself when it is a bare archive), on the running system.
    explicit TSetupInstaller(const std::string& executablePath);
#endif
    // The setup data of the setup program at executablePath (the running program when empty),
    // with the system reached through environment, which must outlive the controller.
    TSetupInstaller(const std::string& executablePath, ISetupEnvironment& environment);
    TSetupInstaller(const TSetupInstaller&) = delete;
    TSetupInstaller& operator=(const TSetupInstaller&) = delete;

    // --- Configuration: Setup.ini, Setup.lic and BundleInfo.ini as loaded; fixed once the
    // constructor returns. The lists hold the lines of one section each, in file order.
    bool IsBundle = false;
    std::string ProductName;
    std::string ProductSuffix;
    std::string Publisher;          // the maker, for the list of installed programs; may be empty
    std::string RegistryRoot;       // starts with a backslash
    std::string BundleRegistryRoot; // starts with a backslash for a bundle
    std::string InstallDescription; // text symbols expanded
    bool IgnoreMinorVersion = true;
    std::string DefaultFolder;
    std::string PersonalizeOwner;
    std::string PersonalizeInfo;
    std::string BundleSelectHeading;
    std::string BundleSelectDescription;
    std::string BundleItemName;
    TSetupPages VisiblePages;
    TSetupShortcuts AvailableShortcuts; // the locations [Shortcuts] names
    std::string CompleteMessage;        // text symbols expanded
    std::string CompleteProduct;        // folder symbols not yet expanded
    std::string CompleteReadme;         // folder symbols not yet expanded
    std::string LicenseText;
    std::vector<std::string> InstalledFiles;
    std::vector<std::string> Folders;
    std::vector<std::string> FoldersRegistry;
    std::vector<std::string> Components;
    std::vector<std::string> ComponentsOptions;
    std::vector<std::string> CallLibraries;
    std::vector<std::string> RegistrySettings;
    std::vector<std::string> GlobalRegistrySettings;
    std::vector<std::string> Shortcuts;
    // The items of a bundle, empty otherwise. Their Selected flags are the user's choice.
    std::vector<std::unique_ptr<TSetupBundleItem>> BundleItems;
    // The version key of the version being installed.
    std::string VersionKey;

    // --- Detected on the running system during construction.
    std::string ApplicationDataFolder;
    std::string DocumentsFolder;
    std::string Vst3PluginFolder;
    bool HasVst3Plugin = false;
    std::string Vst3ItemList;
    // The earlier installation.
    bool IsInstalled = false;
    TProgramVersion InstalledVersion;
    std::string InstalledVersionKey;
    std::string InstalledLocation; // with a trailing delimiter, or empty
    std::string InstalledOwner;

    // --- The user's choices: proposed during construction, then changed by the wizard.
    std::string ProgramFolder; // the wizard sets it through SetProgramFolder
    std::string VstPluginFolder;
    std::string DigiPluginFolder;
    std::string PhotoshopPluginFolder;
    bool InstallVstPlugin = true;
    bool InstallVst3Plugin = true;
    bool InstallDigiPlugin = true;
    bool InstallPhotoshopPlugin = true;
    std::string OwnerName;
    TSetupShortcuts SelectedShortcuts;

    // --- Run state. The install engine over the setup data: the setup files and the product
    // version are read through it, and the run extracts through it into its install log.
    std::unique_ptr<TInstaller> Installer;
    int64_t RequiredSpace = 0; // set by the run, in bytes
    // Set by InstallComponents: the bytes of the files it extracted, each file counted once.
    uint64_t InstalledBytes = 0;

    // Configuration (SetupInstallerConfiguration.cpp).
    // Setup files: the top-level archive file of that name (letter case not significant),
    // else the file of that name beside the setup program (EFOpenError when there is none).
    std::unique_ptr<TStream> ReadSetupFile(const std::string& fileName);
    std::vector<std::string> ReadSetupLines(const std::string& fileName);
    void LoadConfiguration();
    void LoadBundleItems();
    // Every section and key LoadConfiguration reads, for tools that check a product folder.
    static std::vector<TConfigurationKey> ConfigurationKeys();
    // The required [Setup] keys that are missing or empty: each one a cause of "Invalid
    // configuration in Setup.ini".
    static std::vector<std::string> MissingRequiredKeys(bool isBundle, const std::string& registryRoot,
                                                        const std::string& defaultFolder,
                                                        const std::string& bundleRegistryRoot);
    // A bundle with neither ProductName nor ProductSuffix: its uninstall entry would have no name.
    static bool IsNamelessBundle(bool isBundle, const std::string& productName,
                                 const std::string& productSuffix);
    // A BundleInfo.ini line "Name=Version[,Product name]" (not trimmed); false for a line
    // that names no item.
    static bool SplitBundleLine(const std::string& line, std::string& name, std::string& versionText,
                                std::string& productName);
    // Decodes Setup.jpg into picture. Windows only (SetupPicture.cpp).
    void LoadPicture(TPicture& picture);

    const TProgramVersion& ProductVersion() const { return Installer->Version; }
    // CompleteProduct and CompleteReadme with their folder symbols expanded; empty when none.
    std::string ProductFile() const;
    std::string ReadmeFile() const;
    int BundleItemCount() const { return static_cast<int>(BundleItems.size()); }
    TSetupBundleItem& BundleItem(int index) const { return *BundleItems.at(static_cast<size_t>(index)); }

    // Symbols, names and registry paths (SetupInstallerSymbols.cpp). An empty result of
    // ExpandFolderSymbols means: skip the entry.
    std::string ExpandFolderSymbols(const std::string& text, const TSetupBundleItem* item) const;
    std::string ExpandTextSymbols(const std::string& text) const;
    std::string FullProductName() const;
    std::string VersionKeyFor(int32_t major, int32_t minor) const;
    std::string RegistryKeyFor(const std::string& subkey) const;
    TRegistryLocation SplitRegistryPath(const std::string& path, const std::string& versionKey,
                                        const TSetupBundleItem* item) const;
    // Custom folders of [Folders], by index.
    std::string FolderPath(int index) const;
    TRegistryLocation FolderRegistryPath(int index, const std::string& versionKey) const;
    void SetProgramFolder(const std::string& path);
    static bool IsVst3Component(const std::string& destination);
    // False when a [Components] destination can never expand to an absolute path: it starts
    // with no folder symbol, custom folder, drive or network share.
    static bool CanBeAbsoluteDestination(const std::string& destination);
    // The file-name hook for the engine while it extracts a VST 3 component: ".dll" (in any
    // letter case) becomes ".vst3".
    static void RenameVst3File(std::string& fileName);

    // Detections (SetupInstallerDetection.cpp). Plug-in hosts:
    void DetectDigiPluginFolder();
    void DetectVstPluginFolder();
    void DetectVst3PluginFolder();
    void DetectPhotoshopPluginFolder();
    bool HasVst3Content(const TSetupBundleItem* item) const;
    // The earlier installation:
    void DetectInstalledVersion();
    void DetectProgramFolder();
    void DetectOwnerName();

    // The installation run and its steps, in the order in which it calls them
    // (SetupInstallerRun.cpp; Install, RegisterUninstaller, CreateShortcuts and
    // RemoveOldShortcuts are Windows only, in SetupInstallerRunWin32.cpp).
    void Install(ISetupProgress& progress);
    int64_t GetRequiredSpace();
    // Raises ESetupError with the disk-space message when the destination's volume has less
    // room than RequiredSpace and one mebibyte.
    void CheckDiskSpace();
    // Raises ESetupError naming the line when a component that the run would extract has a
    // destination that is not a full path, before anything is written.
    void CheckComponentDestinations() const;
    // Calls visit for every extraction the run makes, in its order (each selected bundle item's
    // component lines, then the product's), with the line, its expanded name and target and the
    // pass's bundle item (null for the product's); a line that expands to nothing is passed
    // over, as the run passes it over.
    void ForEachExtraction(
        const std::function<void(const std::string& line, const std::string& source,
                                 const std::string& destination, const TSetupBundleItem* item)>& visit) const;
    // The bytes that the run's extractions hold: every component of every pass that is not
    // passed over.
    uint64_t ExtractionSize();
    void InstallComponents(ISetupProgress& progress, int32_t start, int32_t end);
    // The folder that creating destination would create topmost, when it gets an access list of
    // its own (ISetupEnvironment::CreateProtectedFolder); empty when nothing is created or the
    // new folders may inherit: below a Program Files folder, the user's own documents and
    // application data, a folder this run has protected already, or on a network share.
    std::string FolderToProtect(const std::string& destination) const;
    // Creates FolderToProtect(destination), when there is one, with its own access list before
    // anything is written into it, and logs it as the engine logs the folders it creates.
    void CreateProtectedFolderFor(const std::string& destination);
    // The folders this run gave their own access list, with a trailing delimiter.
    std::vector<std::string> ProtectedFolders;
    // report, when set, hears of the bytes written (TExtractOptions::OnProgress).
    void InstallItemComponents(const TSetupBundleItem* item, const std::function<void(uint64_t)>& report = {});
    bool IsNoOverwrite(const std::string& component) const;
    void RunCallLibraries();
    void RegisterUninstaller();
    // Over an earlier installation of the product in the same folder: the record of the
    // uninstaller there joins this run's log, so that the new uninstaller removes what both made.
    void MergeEarlierRecord(const std::string& uninstallerPath);
    // What the list of installed programs shows besides the name, once the files are in place.
    TUninstallDetails UninstallDetails() const;
    // For the wizard: true when the folder exists or could be created. Creates what it needs
    // to find out and removes it again.
    bool CanCreateFolder(const std::string& path) const;

    // The product's registry entries (SetupInstallerWriters.cpp) and shortcuts, written by
    // the run.
    void WriteProductLocation();
    void WriteFolderLocations();
    void WriteOwnerName();
    void WriteRegistrySettings();
    void WriteSettingsList(const std::vector<std::string>& list, TRegistryRoot root, const TSetupBundleItem* item);
    TShortcutValue ReadShortcutValue(const std::string& value) const;
    // Calls visit for every shortcut the run makes, in its order: the line, the link file and
    // the expanded target; lines for a location the user did not choose, or whose target lies
    // in a declined host's folder, are passed over as the run passes them over.
    void ForEachShortcut(
        const std::function<void(const std::string& line, const std::string& linkFile,
                                 const std::string& target, const TShortcutValue& shortcut)>& visit) const;
    void CreateShortcuts();
    void RemoveOldShortcuts(const std::string& folder, const std::string& target, const std::string& arguments);

private:
    ISetupEnvironment& Environment;
    // The folder of the setup program, with a trailing delimiter: where setup files that the
    // archive lacks are looked for.
    std::string SetupFolder;

    void Construct(const std::string& executablePath,
                   std::function<void(int64_t done, int64_t total)> checksumProgress = nullptr);
};

// A folder symbol of the configuration's folder values ([Components], [Shortcuts], the product
// and readme files): the controller's field it stands for, and the install switch that drops
// every entry naming it when the user declines that host (null when none does). The expansion,
// the destination check and the packing tool's checker read this one table; the expansion
// replaces the symbols in this order.
struct TFolderSymbol {
    const char* Name;
    std::string TSetupInstaller::*Folder;
    bool TSetupInstaller::*Switch;
};
inline constexpr TFolderSymbol FolderSymbols[] = {
    {"$Documents", &TSetupInstaller::DocumentsFolder, nullptr},
    {"$ProgramFolder", &TSetupInstaller::ProgramFolder, nullptr},
    {"$VstPluginFolder", &TSetupInstaller::VstPluginFolder, &TSetupInstaller::InstallVstPlugin},
    {"$Vst3ProgramFolder", &TSetupInstaller::ProgramFolder, &TSetupInstaller::InstallVst3Plugin},
    {"$Vst3PluginFolder", &TSetupInstaller::Vst3PluginFolder, &TSetupInstaller::InstallVst3Plugin},
    {"$DigiPluginFolder", &TSetupInstaller::DigiPluginFolder, &TSetupInstaller::InstallDigiPlugin},
    {"$PhotoshopPluginFolder", &TSetupInstaller::PhotoshopPluginFolder,
     &TSetupInstaller::InstallPhotoshopPlugin},
    {"$ApplicationData", &TSetupInstaller::ApplicationDataFolder, nullptr},
};

// Where the plug-in hosts record their folders, below HKEY_LOCAL_MACHINE: read by the
// detection, and by the packing tool's checker for its machine with every host installed.
namespace PluginHostKeys {
// The VST hosts' shared plug-in folder: a value of this key.
inline constexpr const char* Vst = "Software\\Vst";
inline constexpr const char* VstFolderValue = "VstPluginsPath";
// The image editor: a subkey per installed version ("9.0", "10.0"), the folder in the default
// value of the version's subkey PhotoshopFolderKey.
inline constexpr const char* Photoshop = "SOFTWARE\\Adobe\\Photoshop";
inline constexpr const char* PhotoshopFolderKey = "PluginPath";
} // namespace PluginHostKeys
