// The setup controller's detections, run during construction before the wizard opens: the
// folders of the plug-in hosts and the earlier installation with its folder and owner.

#include "setup/SetupInstaller.h"

#include "common/CommonUtils.h"
#include "common/Errors.h"
#include "common/Format.h"
#include "common/IniFile.h"
#include "common/Path.h"

namespace {

// A text of decimal digits only, read as a number; 0 for anything else.
int32_t DecimalValue(const std::string& text) {
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos)
        return 0;
    int32_t value;
    return TryStrToInt(text, value) ? value : 0;
}

} // namespace

// --- Plug-in hosts -----------------------------------------------------------------------------

void TSetupInstaller::DetectDigiPluginFolder() {
    DigiPluginFolder = JoinPath(Environment.CommonFilesFolder(), "Digidesign\\DAE\\Plug-Ins");
}

void TSetupInstaller::DetectVstPluginFolder() {
    VstPluginFolder =
        Environment.ReadString(rrLocalMachine, PluginHostKeys::Vst, PluginHostKeys::VstFolderValue)
            .value_or(std::string());
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
    const auto versions = Environment.SubkeyNames(rrLocalMachine, PluginHostKeys::Photoshop);
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
    if (auto folder = Environment.ReadString(
            rrLocalMachine, JoinPaths(PluginHostKeys::Photoshop, chosen, PluginHostKeys::PhotoshopFolderKey),
            ""))
        PhotoshopPluginFolder = *folder;
}

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
