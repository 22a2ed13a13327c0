// The setup controller's symbols and names: folder and text symbols, the product's full name,
// version keys and registry paths, the custom folders of [Folders], and how VST 3 components
// are told apart and named.

#include "setup/SetupInstaller.h"

#include "common/CommonUtils.h"
#include "common/IniFile.h"
#include "common/Path.h"

namespace {

bool Contains(const std::string& text, const char* symbol) { return text.find(symbol) != std::string::npos; }

} // namespace

// --- Symbols -----------------------------------------------------------------------------------

std::string TSetupInstaller::ExpandFolderSymbols(const std::string& text, const TSetupBundleItem* item) const {
    // Entries that go to a host the user declined, or that belong to a bundle item when there
    // is none, are dropped whole.
    for (const TFolderSymbol& symbol : FolderSymbols)
        if (symbol.Switch != nullptr && !(this->*symbol.Switch) && Contains(text, symbol.Name))
            return std::string();
    if (item == nullptr && Contains(text, "$BundleItem"))
        return std::string();

    // One pass, first occurrences only: a custom folder's default may hold $ symbols, which
    // the steps below expand in turn.
    std::string result = text;
    for (size_t index = 0; index < Folders.size(); ++index) {
        const std::string identifier = LineName(Folders[index]);
        if (identifier.empty())
            continue;
        const std::string symbol = "%" + identifier;
        if (Contains(result, symbol.c_str())) {
            const std::string path = FolderPath(static_cast<int>(index));
            if (path.empty())
                return std::string();
            result = ReplaceFirst(result, symbol, ExcludeDelimiter(path));
        }
    }
    // So are entries whose folder symbol (also one from a custom folder's value) has no folder
    // behind it, such as a page that is off or a host that was not found: the install flag is
    // still set, and "$PhotoshopPluginFolder\Filters" would become "\Filters", a folder in the
    // root of whatever drive is current.
    for (const TFolderSymbol& symbol : FolderSymbols)
        if ((this->*symbol.Folder).empty() && Contains(result, symbol.Name))
            return std::string();
    for (const TFolderSymbol& symbol : FolderSymbols)
        result = ReplaceFirst(result, symbol.Name, ExcludeDelimiter(this->*symbol.Folder));
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

// --- VST 3 components --------------------------------------------------------------------------

bool TSetupInstaller::IsVst3Component(const std::string& destination) { return Contains(destination, "Vst3"); }

bool TSetupInstaller::CanBeAbsoluteDestination(const std::string& destination) {
    // Each folder symbol stands for a full path, or empties the line. So may a custom folder,
    // whose default or remembered location is the product's affair.
    for (const TFolderSymbol& symbol : FolderSymbols)
        if (destination.rfind(symbol.Name, 0) == 0)
            return true;
    return destination.rfind('%', 0) == 0 || IsFullPath(destination);
}

void TSetupInstaller::RenameVst3File(std::string& fileName) {
    if (SameFileName(FileExtension(fileName), ".dll"))
        fileName = fileName.substr(0, fileName.size() - 4) + ".vst3";
}
