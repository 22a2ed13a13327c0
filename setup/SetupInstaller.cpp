// The setup controller: construction, configuration, symbols, custom folders, bundles and the
// detections that run before the wizard opens.

#include "setup/SetupInstaller.h"

#include "common/CommonUtils.h"
#include "common/Errors.h"
#include "common/FileSystem.h"
#include "common/Format.h"
#include "common/IniFile.h"

namespace {

const char* const DefaultCompleteMessage =
    "$ProductName has been installed successfully. You can start $ProductName from the Start menu or the "
    "desktop. Please read the Readme.txt file for additional information.";

const char* const VstKey = "Software\\Vst";
const char* const PhotoshopKey = "SOFTWARE\\Adobe\\Photoshop";

bool Contains(const std::string& text, const char* symbol) { return text.find(symbol) != std::string::npos; }

// A text of decimal digits only, read as a number; 0 for anything else.
int32_t DecimalValue(const std::string& text) {
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos)
        return 0;
    int32_t value;
    return TryStrToInt(text, value) ? value : 0;
}

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

TSetupInstaller::~TSetupInstaller() {
    // Released in this order; the remaining fields are plain values.
    GlobalRegistrySettings.clear();
    RegistrySettings.clear();
    CallLibraries.clear();
    Shortcuts.clear();
    FoldersRegistry.clear();
    Folders.clear();
    ComponentsOptions.clear();
    Components.clear();
    InstalledFiles.clear();
    InstalledVersion = TProgramVersion();
    Installer.reset();
    BundleItems.clear();
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

// --- Symbols -----------------------------------------------------------------------------------

std::string TSetupInstaller::ExpandFolderSymbols(const std::string& text, const TSetupBundleItem* item) const {
    // Entries that go to a host the user declined, or that belong to a bundle item when there
    // is none, are dropped whole.
    if ((!InstallVstPlugin && Contains(text, "$VstPluginFolder")) ||
        (!InstallVst3Plugin && Contains(text, "$Vst3PluginFolder")) ||
        (!InstallVst3Plugin && Contains(text, "$Vst3ProgramFolder")) ||
        (!InstallDigiPlugin && Contains(text, "$DigiPluginFolder")) ||
        (!InstallPhotoshopPlugin && Contains(text, "$PhotoshopPluginFolder")) ||
        (item == nullptr && Contains(text, "$BundleItem")))
        return std::string();

    // One pass, first occurrences only: a custom folder's default may hold $ symbols, which
    // the steps below expand in turn.
    std::string result = text;
    for (size_t index = 0; index < Folders.size(); ++index) {
        const std::string identifier = LineName(Folders[index]);
        if (identifier.empty())
            continue;
        const std::string symbol = "%" + identifier;
        if (Contains(result, symbol.c_str()))
            result = ReplaceFirst(result, symbol, ExcludeDelimiter(FolderPath(static_cast<int>(index))));
    }
    result = ReplaceFirst(result, "$Documents", ExcludeDelimiter(DocumentsFolder));
    result = ReplaceFirst(result, "$ProgramFolder", ExcludeDelimiter(ProgramFolder));
    result = ReplaceFirst(result, "$VstPluginFolder", ExcludeDelimiter(VstPluginFolder));
    result = ReplaceFirst(result, "$Vst3ProgramFolder", ExcludeDelimiter(ProgramFolder));
    result = ReplaceFirst(result, "$Vst3PluginFolder", ExcludeDelimiter(Vst3PluginFolder));
    result = ReplaceFirst(result, "$DigiPluginFolder", ExcludeDelimiter(DigiPluginFolder));
    result = ReplaceFirst(result, "$PhotoshopPluginFolder", ExcludeDelimiter(PhotoshopPluginFolder));
    result = ReplaceFirst(result, "$ApplicationData", ExcludeDelimiter(ApplicationDataFolder));
    if (item != nullptr) {
        result = ReplaceAll(result, "$BundleItemProductName", item->ItemProductName);
        result = ReplaceAll(result, "$BundleItem", item->Name);
    }
    return result;
}

std::string TSetupInstaller::ExpandTextSymbols(const std::string& text) const {
    std::string result = ReplaceAll(text, "$ProductName", ProductName);
    result = ReplaceAll(result, "$FullProductName", FullProductName());
    result = ReplaceAll(result, "$ProductVersion", ProductVersion().ToText());
    result = ReplaceAll(result, "$PersonalizeInfo", PersonalizeInfo);
    result = ReplaceAll(result, "$InstallDescription", InstallDescription);
    result = ReplaceAll(result, "$BundleSelectHeading", BundleSelectHeading);
    return ReplaceAll(result, "$BundleSelectDescription", BundleSelectDescription);
}

std::string TSetupInstaller::FullProductName() const {
    std::string name = IsBundle ? ProductName : ProductName + " " + ProductVersion().ToText();
    if (!ProductSuffix.empty())
        name += " " + ProductSuffix;
    return name;
}

std::string TSetupInstaller::VersionKeyFor(int32_t major, int32_t minor) const {
    return std::to_string(major) + "." + std::to_string(IgnoreMinorVersion ? 0 : minor);
}

std::string TSetupInstaller::RegistryKeyFor(const std::string& subkey) const { return RegistryRoot + "\\" + subkey; }

TRegistryLocation TSetupInstaller::SplitRegistryPath(const std::string& path, const std::string& versionKey,
                                                     const TSetupBundleItem* item) const {
    TRegistryLocation location;
    const size_t cut = path.rfind('\\');
    location.ValueName = cut == std::string::npos ? path : path.substr(cut + 1);
    const std::string keyPart = cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
    if (item != nullptr) {
        location.KeyPath = ExcludeDelimiter(ExpandFolderSymbols(keyPart, item));
        if (!location.KeyPath.empty())
            location.KeyPath = JoinPaths(BundleRegistryRoot, location.KeyPath,
                                         VersionKeyFor(item->Version.Major, item->Version.Minor));
    } else
        location.KeyPath = ExcludeDelimiter(JoinPath(RegistryKeyFor(versionKey), keyPart));
    return location;
}

// --- Custom folders ----------------------------------------------------------------------------

TRegistryLocation TSetupInstaller::FolderRegistryPath(int index, const std::string& versionKey) const {
    const std::string identifier = LineName(Folders.at(static_cast<size_t>(index)));
    std::string path;
    for (const std::string& line : FoldersRegistry) {
        if (SameText(LineName(line), identifier)) {
            path = LineValue(line);
            break;
        }
    }
    return SplitRegistryPath(path, versionKey, nullptr);
}

std::string TSetupInstaller::FolderPath(int index) const {
    std::string path = LineValue(Folders.at(static_cast<size_t>(index)));
    // Within one major version the folders the user chose last time are kept; a new major
    // version starts from the defaults.
    if (IsInstalled && ProductVersion().Major == InstalledVersion.Major) {
        const TRegistryLocation location = FolderRegistryPath(index, InstalledVersionKey);
        const std::string remembered =
            Environment.ReadString(rrCurrentUser, location.KeyPath, location.ValueName).value_or(std::string());
        if (!remembered.empty())
            path = IncludeDelimiter(remembered);
    }
    return path;
}

void TSetupInstaller::SetProgramFolder(const std::string& path) { ProgramFolder = IncludeDelimiter(path); }

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

// --- Plug-in hosts -----------------------------------------------------------------------------

void TSetupInstaller::DetectDigiPluginFolder() {
    DigiPluginFolder = JoinPath(Environment.CommonFilesFolder(), "Digidesign\\DAE\\Plug-Ins");
}

void TSetupInstaller::DetectVstPluginFolder() {
    VstPluginFolder = Environment.ReadString(rrLocalMachine, VstKey, "VstPluginsPath").value_or(std::string());
}

void TSetupInstaller::DetectVst3PluginFolder() {
    Vst3PluginFolder = JoinPath(Environment.CommonProgramFilesFolder(), "VST3");
    Vst3ItemList.clear();
    if (!IsBundle) {
        HasVst3Plugin = HasVst3Content(nullptr);
        return;
    }
    // The list names the items that have VST 3 content only when some of them lack it.
    HasVst3Plugin = false;
    bool everyItem = true;
    for (const auto& item : BundleItems) {
        if (HasVst3Content(item.get())) {
            if (!Vst3ItemList.empty())
                Vst3ItemList += ", ";
            Vst3ItemList += item->Name;
            HasVst3Plugin = true;
        } else
            everyItem = false;
    }
    if (everyItem)
        Vst3ItemList.clear();
}

void TSetupInstaller::DetectPhotoshopPluginFolder() {
    if (!VisiblePages.Contains(spPhotoshopPluginFolder))
        return;
    const auto versions = Environment.SubkeyNames(rrLocalMachine, PhotoshopKey);
    if (!versions)
        return;
    // One subkey per installed version ("9.0", "10.0"); the newest major version wins, the
    // first listed among equals.
    int32_t newest = 0;
    std::string chosen;
    for (const std::string& name : *versions) {
        const int32_t major = DecimalValue(SplitString(name, '.').Before);
        if (major > newest) {
            newest = major;
            chosen = name;
        }
    }
    if (newest == 0)
        return;
    if (auto folder =
            Environment.ReadString(rrLocalMachine, std::string(PhotoshopKey) + "\\" + chosen + "\\PluginPath", ""))
        PhotoshopPluginFolder = *folder;
}

bool TSetupInstaller::IsVst3Component(const std::string& destination) { return Contains(destination, "Vst3"); }

bool TSetupInstaller::HasVst3Content(const TSetupBundleItem* item) const {
    for (const std::string& line : Components) {
        if (!IsVst3Component(LineValue(line)))
            continue;
        const std::string folder = ExpandFolderSymbols(LineName(line), item);
        if (!folder.empty() && Installer->ComponentSize(folder) != 0)
            return true;
    }
    return false;
}

void TSetupInstaller::RenameVst3File(TInstaller&, std::string& fileName) {
    if (SameText(FileExtension(fileName), ".dll"))
        fileName = fileName.substr(0, fileName.size() - 4) + ".vst3";
}

// --- Earlier installation ----------------------------------------------------------------------

void TSetupInstaller::DetectInstalledVersion() {
    IsInstalled = false;
    InstalledVersion.FromText("0");
    const auto subkeys = Environment.SubkeyNames(rrLocalMachine, RegistryRoot);
    if (!subkeys)
        return;
    for (const std::string& name : *subkeys) {
        std::string text =
            Environment.ReadString(rrLocalMachine, RegistryKeyFor(name), "VersionString").value_or(std::string());
        if (text.empty())
            text = name;
        TProgramVersion version;
        try {
            version.FromText(text);
        } catch (const EProgramVersionError&) {
            continue; // not a version key
        }
        // A newer major version is another product line, left alone.
        if (version.Major <= ProductVersion().Major && version.Compare(InstalledVersion) > 0) {
            InstalledVersion = version;
            IsInstalled = true;
        }
    }
    if (IsInstalled)
        InstalledVersionKey = VersionKeyFor(InstalledVersion.Major, InstalledVersion.Minor);
}

void TSetupInstaller::DetectProgramFolder() {
    ProgramFolder = JoinPath(Environment.ProgramFilesFolder(), FormatInteger(DefaultFolder, ProductVersion().Major));
    InstalledLocation.clear();
    if (!IsInstalled)
        return;
    InstalledLocation = Environment.ReadString(rrLocalMachine, RegistryKeyFor(InstalledVersionKey), "Location")
                            .value_or(std::string());
    // The installation counts only while the files that prove it are still there.
    if (!InstalledLocation.empty()) {
        const std::string major = std::to_string(InstalledVersion.Major);
        for (const std::string& line : InstalledFiles) {
            if (LineName(line) == major && !Environment.FileExists(JoinPath(InstalledLocation, LineValue(line)))) {
                InstalledLocation.clear();
                break;
            }
        }
    }
    if (InstalledLocation.empty()) {
        IsInstalled = false;
        return;
    }
    InstalledLocation = IncludeDelimiter(InstalledLocation);
    if (ProductVersion().Major == InstalledVersion.Major)
        ProgramFolder = InstalledLocation;
}

void TSetupInstaller::DetectOwnerName() {
    InstalledOwner.clear();
    // Without PersonalizeOwner no owner was stored; the version key's default value then
    // holds something else (a remembered folder), not a name.
    if (IsInstalled && !PersonalizeOwner.empty()) {
        const TRegistryLocation location = SplitRegistryPath(PersonalizeOwner, InstalledVersionKey, nullptr);
        InstalledOwner =
            Environment.ReadString(rrCurrentUser, location.KeyPath, location.ValueName).value_or(std::string());
    }
    OwnerName = InstalledOwner.empty() ? Environment.UserName() : InstalledOwner;
}
