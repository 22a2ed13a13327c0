// The setup controller's construction and its configuration: the setup files (from the
// setup data, else beside the program), Setup.ini, Setup.lic and the bundle's BundleInfo.ini.

#include "setup/SetupInstaller.h"

#include "common/CommonUtils.h"
#include "common/Errors.h"
#include "common/IniFile.h"

namespace {

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

} // namespace

// --- Construction ----------------------------------------------------------------------------

#ifdef _WIN32
TSetupInstaller::TSetupInstaller() : Environment(SystemEnvironment()) { Construct(std::string()); }

TSetupInstaller::TSetupInstaller(const std::string& executablePath) : Environment(SystemEnvironment()) {
    Construct(executablePath);
}
#endif

TSetupInstaller::TSetupInstaller(const std::string& executablePath, ISetupEnvironment& environment)
    : Environment(environment) {
    Construct(executablePath);
}

void TSetupInstaller::Construct(const std::string& executablePath) {
    // The bundle item list, the version and the string lists exist already as members.
    Installer = std::make_unique<TInstaller>(std::string(), executablePath);
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
    return std::make_unique<TFileStream>(SetupFolder + fileName, TFileMode::fmOpenReadShared);
}

std::vector<std::string> TSetupInstaller::ReadSetupLines(const std::string& fileName) {
    std::unique_ptr<TStream> stream = ReadSetupFile(fileName);
    return SplitLines(ReadStreamText(*stream));
}

void TSetupInstaller::LoadConfiguration() {
    {
        const TIniFile ini(ReadSetupLines("Setup.ini"));
        IsBundle = ini.ReadBool("Setup", "IsBundle", false);
        ProductName = ini.ReadString("Setup", "ProductName", "");
        ProductSuffix = ini.ReadString("Setup", "ProductSuffix", "");
        RegistryRoot = ini.ReadString("Setup", "RegistryRoot", "");
        InstallDescription = ini.ReadString("Setup", "InstallDescription", "$ProductName");
        IgnoreMinorVersion = ini.ReadBool("Setup", "IgnoreMinorVersion", true);
        DefaultFolder = ini.ReadString("Setup", "DefaultFolder", "");
        PersonalizeOwner = ini.ReadString("Setup", "PersonalizeOwner", "");
        PersonalizeInfo = ini.ReadString("Setup", "PersonalizeInfo", "");
        BundleSelectHeading = ini.ReadString("Setup", "BundleSelectHeading", "");
        BundleSelectDescription = ini.ReadString("Setup", "BundleSelectDescription", "");
        BundleRegistryRoot = ini.ReadString("Setup", "BundleRegistryRoot", "");
        BundleItemName = ini.ReadString("Setup", "BundleItemName", "");

        VisiblePages.Clear();
        if (ini.ReadBool("Pages", "VstPluginFolder", false))
            VisiblePages.Include(spVstPluginFolder);
        if (ini.ReadBool("Pages", "DigiPluginFolder", false))
            VisiblePages.Include(spDigiPluginFolder);
        if (ini.ReadBool("Pages", "PhotoshopPluginFolder", false))
            VisiblePages.Include(spPhotoshopPluginFolder);
        if (ini.ReadBool("Pages", "Personalization", false))
            VisiblePages.Include(spPersonalization);

        InstalledFiles = ini.ReadSection("InstalledFiles");
        Folders = ini.ReadSection("Folders");
        FoldersRegistry = ini.ReadSection("FoldersRegistry");
        Components = ini.ReadSection("Components");
        ComponentsOptions = ini.ReadSection("ComponentsOptions");
        CallLibraries = ini.ReadSection("CallLibraries");
        RegistrySettings = ini.ReadSection("RegistrySettings");
        GlobalRegistrySettings = ini.ReadSection("GlobalRegistrySettings");
        Shortcuts = ini.ReadSection("Shortcuts");

        // "$InstallDescription" still stands for the unexpanded description here.
        CompleteMessage = ExpandTextSymbols(ini.ReadString("Complete", "Message", DefaultCompleteMessage));
        CompleteReadme = ini.ReadString("Complete", "Readme", "");
        CompleteProduct = ini.ReadString("Complete", "Product", "");
    }

    LicenseText.clear();
    for (const std::string& line : ReadSetupLines("Setup.lic"))
        LicenseText += line + "\r\n";

    if (RegistryRoot.empty() || DefaultFolder.empty() || (IsBundle && BundleRegistryRoot.empty()))
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

void TSetupInstaller::LoadBundleItems() {
    // A plain list of Name=Version[,Product name] lines, not trimmed.
    for (const std::string& line : ReadSetupLines("BundleInfo.ini")) {
        const TSplitResult parts = SplitString(line, '=');
        if (!parts.Found || parts.Before.empty())
            continue;
        const TSplitResult value = SplitString(parts.After, ',');
        const std::string productName = value.Found ? value.After : parts.Before;
        BundleItems.push_back(std::make_unique<TSetupBundleItem>(*this, productName, value.Before, parts.Before));
    }
}
