// The setup controller's construction and its configuration: the setup files (from the
// setup data, else beside the program), Setup.ini, Setup.lic and the bundle's BundleInfo.ini.

#include "setup/SetupInstaller.h"

#include "common/CommonUtils.h"
#include "common/Errors.h"
#include "common/IniFile.h"
#include "common/Path.h"
#include "common/Stream.h"
#include "common/TextEncoding.h"

namespace {

// "The file does not exist": ERROR_FILE_NOT_FOUND on Windows and ENOENT on POSIX are both 2.
constexpr int FileNotFoundCode = 2;

const char* const DefaultCompleteMessage =
    "$ProductName has been installed successfully. You can start $ProductName from the Start menu or the "
    "desktop. Please read the Readme.txt file for additional information.";

std::string ReadStreamText(TStream& stream) {
    std::string text;
    char buffer[4096];
    for (;;) {
        const int32_t count = stream.Read(buffer, sizeof buffer);
        if (count <= 0)
            break;
        text.append(buffer, static_cast<size_t>(count));
    }
    return text;
}

// Every key and section the loader reads from Setup.ini, and the field each one fills. Tools
// that check a product folder take the same tables for the keys that are read at all.
struct TTextKey {
    const char* Section;
    const char* Key;
    std::string TSetupInstaller::*Field;
    const char* Default;
};
const TTextKey TextKeys[] = {
    {"Setup", "ProductName", &TSetupInstaller::ProductName, ""},
    {"Setup", "ProductSuffix", &TSetupInstaller::ProductSuffix, ""},
    {"Setup", "Publisher", &TSetupInstaller::Publisher, ""},
    {"Setup", "RegistryRoot", &TSetupInstaller::RegistryRoot, ""},
    {"Setup", "InstallDescription", &TSetupInstaller::InstallDescription, "$ProductName"},
    {"Setup", "DefaultFolder", &TSetupInstaller::DefaultFolder, ""},
    {"Setup", "PersonalizeOwner", &TSetupInstaller::PersonalizeOwner, ""},
    {"Setup", "PersonalizeInfo", &TSetupInstaller::PersonalizeInfo, ""},
    {"Setup", "BundleSelectHeading", &TSetupInstaller::BundleSelectHeading, ""},
    {"Setup", "BundleSelectDescription", &TSetupInstaller::BundleSelectDescription, ""},
    {"Setup", "BundleRegistryRoot", &TSetupInstaller::BundleRegistryRoot, ""},
    {"Setup", "BundleItemName", &TSetupInstaller::BundleItemName, ""},
    {"Complete", "Message", &TSetupInstaller::CompleteMessage, DefaultCompleteMessage},
    {"Complete", "Readme", &TSetupInstaller::CompleteReadme, ""},
    {"Complete", "Product", &TSetupInstaller::CompleteProduct, ""},
};

struct TSwitchKey {
    const char* Section;
    const char* Key;
    bool TSetupInstaller::*Field;
    bool Default;
};
const TSwitchKey SwitchKeys[] = {
    {"Setup", "IsBundle", &TSetupInstaller::IsBundle, false},
    {"Setup", "IgnoreMinorVersion", &TSetupInstaller::IgnoreMinorVersion, true},
};

struct TPageKey {
    const char* Section;
    const char* Key;
    TSetupPage Page;
};
const TPageKey PageKeys[] = {
    {"Pages", "VstPluginFolder", spVstPluginFolder},
    {"Pages", "DigiPluginFolder", spDigiPluginFolder},
    {"Pages", "PhotoshopPluginFolder", spPhotoshopPluginFolder},
    {"Pages", "Personalization", spPersonalization},
};

struct TListSection {
    const char* Section;
    std::vector<std::string> TSetupInstaller::*Field;
};
const TListSection ListSections[] = {
    {"InstalledFiles", &TSetupInstaller::InstalledFiles},
    {"Folders", &TSetupInstaller::Folders},
    {"FoldersRegistry", &TSetupInstaller::FoldersRegistry},
    {"Components", &TSetupInstaller::Components},
    {"ComponentsOptions", &TSetupInstaller::ComponentsOptions},
    {"CallLibraries", &TSetupInstaller::CallLibraries},
    {"RegistrySettings", &TSetupInstaller::RegistrySettings},
    {"GlobalRegistrySettings", &TSetupInstaller::GlobalRegistrySettings},
    {"Shortcuts", &TSetupInstaller::Shortcuts},
};

} // namespace

std::vector<TConfigurationKey> TSetupInstaller::ConfigurationKeys() {
    std::vector<TConfigurationKey> keys;
    for (const TTextKey& key : TextKeys)
        keys.push_back({key.Section, key.Key});
    for (const TSwitchKey& key : SwitchKeys)
        keys.push_back({key.Section, key.Key, key.Default ? 1 : 0});
    for (const TPageKey& key : PageKeys)
        keys.push_back({key.Section, key.Key, 0}); // a page is shown only when switched on
    for (const TListSection& list : ListSections)
        keys.push_back({list.Section, nullptr});
    return keys;
}

std::vector<std::string> TSetupInstaller::MissingRequiredKeys(bool isBundle, const std::string& registryRoot,
                                                              const std::string& defaultFolder,
                                                              const std::string& bundleRegistryRoot) {
    std::vector<std::string> missing;
    if (registryRoot.empty())
        missing.emplace_back("RegistryRoot");
    if (defaultFolder.empty())
        missing.emplace_back("DefaultFolder");
    if (isBundle && bundleRegistryRoot.empty())
        missing.emplace_back("BundleRegistryRoot");
    return missing;
}

bool TSetupInstaller::IsNamelessBundle(bool isBundle, const std::string& productName,
                                       const std::string& productSuffix) {
    // A bundle's full name has no version in it; with neither part it is empty, and the
    // uninstall entry named after it would be the list of installed programs' own key.
    return isBundle && productName.empty() && productSuffix.empty();
}

// --- Construction ----------------------------------------------------------------------------

#ifdef _WIN32
TSetupInstaller::TSetupInstaller(std::function<void(int64_t done, int64_t total)> checksumProgress)
    : Environment(SystemEnvironment()) {
    Construct(std::string(), std::move(checksumProgress));
}

TSetupInstaller::TSetupInstaller(const std::string& executablePath) : Environment(SystemEnvironment()) {
    Construct(executablePath);
}
#endif

TSetupInstaller::TSetupInstaller(const std::string& executablePath, ISetupEnvironment& environment)
    : Environment(environment) {
    Construct(executablePath);
}

void TSetupInstaller::Construct(const std::string& executablePath,
                                std::function<void(int64_t done, int64_t total)> checksumProgress) {
    // The bundle item list, the version and the string lists exist already as members.
    Installer = std::make_unique<TInstaller>(std::string(), executablePath, std::move(checksumProgress));
    SetupFolder = executablePath.empty() ? ProgramDirectory() : FileFolder(executablePath);
    LoadConfiguration();
    VersionKey = VersionKeyFor(ProductVersion().Major, ProductVersion().Minor);
    ApplicationDataFolder = Environment.ApplicationDataFolder();
    DocumentsFolder = Environment.DocumentsFolder();
    InstallVstPlugin = true;
    InstallVst3Plugin = true;
    InstallDigiPlugin = true;
    InstallPhotoshopPlugin = true;

    DetectInstalledVersion();
    DetectProgramFolder();
    DetectDigiPluginFolder();
    DetectVstPluginFolder();
    DetectVst3PluginFolder();
    DetectPhotoshopPluginFolder();
    DetectOwnerName();
}

// --- Setup files and configuration -----------------------------------------------------------

std::unique_ptr<TStream> TSetupInstaller::ReadSetupFile(const std::string& fileName) {
    if (std::unique_ptr<TMemoryStream> member = Installer->ReadFile(fileName))
        return member;
    // A signed program reads nothing from beside itself but its Setup.dat: the signature the
    // customer approved at the elevation prompt covers the program alone, and the folder it
    // runs from (Downloads) is one where anybody could have put a Setup.ini. The file counts
    // as missing, with the message its absence gives.
    if (Installer->ImageFields.Certificate.Size != 0)
        throw EFOpenError(SetupFolder + fileName, SystemErrorMessage(FileNotFoundCode));
    return std::make_unique<TFileStream>(SetupFolder + fileName, TFileMode::fmOpenReadShared);
}

std::vector<std::string> TSetupInstaller::ReadSetupLines(const std::string& fileName) {
    std::unique_ptr<TStream> stream = ReadSetupFile(fileName);
    // The setup files are Windows-1252; their texts become names of files, folders and
    // registry values, window texts and shortcut titles, all in the running code page.
    return SplitLines(ProductText(ReadStreamText(*stream)));
}

void TSetupInstaller::LoadConfiguration() {
    {
        const TIniFile ini(ReadSetupLines("Setup.ini"));
        for (const TTextKey& key : TextKeys)
            this->*key.Field = ini.ReadString(key.Section, key.Key, key.Default);
        for (const TSwitchKey& key : SwitchKeys)
            this->*key.Field = ini.ReadBool(key.Section, key.Key, key.Default);
        VisiblePages.Clear();
        for (const TPageKey& key : PageKeys) {
            if (ini.ReadBool(key.Section, key.Key, false))
                VisiblePages.Include(key.Page);
        }
        for (const TListSection& list : ListSections)
            this->*list.Field = ini.ReadSection(list.Section);

        // "$InstallDescription" still stands for the unexpanded description here.
        CompleteMessage = ExpandTextSymbols(CompleteMessage);
    }

    LicenseText.clear();
    for (const std::string& line : ReadSetupLines("Setup.lic"))
        LicenseText += line + "\r\n";

    // The product's entry in the list of installed programs is named FullProductName: a bundle
    // with neither ProductName nor ProductSuffix would write its values onto the list itself.
    if (!MissingRequiredKeys(IsBundle, RegistryRoot, DefaultFolder, BundleRegistryRoot).empty() ||
        FullProductName().find_first_not_of(" \\") == std::string::npos)
        throw Exception("Invalid configuration in Setup.ini");
    if (RegistryRoot[0] != '\\')
        RegistryRoot.insert(0, 1, '\\');
    if (IsBundle && BundleRegistryRoot[0] != '\\')
        BundleRegistryRoot.insert(0, 1, '\\');

    AvailableShortcuts.Clear();
    for (const std::string& line : Shortcuts) {
        const std::string location = LineName(line);
        if (SameText(location, "StartMenu"))
            AvailableShortcuts.Include(scStartMenu);
        else if (SameText(location, "Desktop"))
            AvailableShortcuts.Include(scDesktop);
    }

    InstallDescription = ExpandTextSymbols(InstallDescription);
    if (IsBundle)
        LoadBundleItems();
}

std::string TSetupInstaller::ProductFile() const { return ExpandFolderSymbols(CompleteProduct, nullptr); }

std::string TSetupInstaller::ReadmeFile() const { return ExpandFolderSymbols(CompleteReadme, nullptr); }

// --- Bundles -----------------------------------------------------------------------------------

bool TSetupInstaller::SplitBundleLine(const std::string& line, std::string& name, std::string& versionText,
                                      std::string& productName) {
    const TSplitResult parts = SplitString(line, '=');
    if (!parts.Found || parts.Before.empty())
        return false;
    const TSplitResult value = SplitString(parts.After, ',');
    name = parts.Before;
    versionText = value.Before;
    productName = value.Found ? value.After : parts.Before;
    return true;
}

void TSetupInstaller::LoadBundleItems() {
    // A plain list of Name=Version[,Product name] lines, not trimmed.
    for (const std::string& line : ReadSetupLines("BundleInfo.ini")) {
        std::string name, versionText, productName;
        if (SplitBundleLine(line, name, versionText, productName))
            BundleItems.push_back(std::make_unique<TSetupBundleItem>(*this, productName, versionText, name));
    }
}
