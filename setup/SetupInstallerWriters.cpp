// The product's registry entries, written by the installation run: where the product and its
// custom folders are, who owns it, and the settings of [RegistrySettings] (per user) and
// [GlobalRegistrySettings] (per machine). A key that cannot be opened or a value that cannot
// be written is passed over; the next setup then simply finds less.

#include "setup/SetupInstaller.h"

#include "common/CommonUtils.h"
#include "common/IniFile.h"
#include "common/Path.h"

void TSetupInstaller::WriteProductLocation() {
    // What the next setup reads to find this installation.
    const std::string key = RegistryKeyFor(VersionKey);
    Environment.WriteString(rrLocalMachine, key, "Location", ProgramFolder);
    Environment.WriteString(rrLocalMachine, key, "VersionString", ProductVersion().ToText());
}

void TSetupInstaller::WriteFolderLocations() {
    // Remembered per user, where FolderPath looks for them on the next installation of this
    // major version. A folder without a [FoldersRegistry] line goes to the version key's
    // default value.
    for (size_t index = 0; index < Folders.size(); ++index) {
        const std::string path = ExpandFolderSymbols(FolderPath(static_cast<int>(index)), nullptr);
        const TRegistryLocation location = FolderRegistryPath(static_cast<int>(index), VersionKey);
        Environment.WriteString(rrCurrentUser, location.KeyPath, location.ValueName, IncludeDelimiter(path));
    }
}

void TSetupInstaller::WriteOwnerName() {
    if (PersonalizeOwner.empty())
        return;
    const TRegistryLocation location = SplitRegistryPath(PersonalizeOwner, VersionKey, nullptr);
    Environment.WriteString(rrCurrentUser, location.KeyPath, location.ValueName, OwnerName);
}

void TSetupInstaller::WriteRegistrySettings() {
    // Each selected item's settings lie below the bundle's registry root, then the product's
    // below its version key.
    if (IsBundle) {
        for (const auto& item : BundleItems) {
            if (!item->Selected)
                continue;
            WriteSettingsList(RegistrySettings, rrCurrentUser, item.get());
            WriteSettingsList(GlobalRegistrySettings, rrLocalMachine, item.get());
        }
    }
    WriteSettingsList(RegistrySettings, rrCurrentUser, nullptr);
    WriteSettingsList(GlobalRegistrySettings, rrLocalMachine, nullptr);
}

void TSetupInstaller::WriteSettingsList(const std::vector<std::string>& list, TRegistryRoot root,
                                        const TSetupBundleItem* item) {
    for (const std::string& line : list) {
        // A line without "=" names no value; writing it would overwrite the version key's
        // default value, where a custom folder may be remembered.
        if (line.find('=') == std::string::npos)
            continue;
        const std::string value = LineValue(line);
        const TRegistryLocation location = SplitRegistryPath(LineName(line), VersionKey, item);
        if (location.KeyPath.empty())
            continue;
        const std::string key = ExpandFolderSymbols(location.KeyPath, item);
        if (key.empty())
            continue;
        // "#" followed by a number is a 32-bit integer (REG_DWORD); anything else, a lone "#"
        // and "#" before a text included, is a string.
        int32_t number;
        if (value.size() >= 2 && value[0] == '#' && TryStrToInt(value.substr(1), number))
            Environment.WriteInteger(root, key, location.ValueName, number);
        else
            Environment.WriteString(root, key, location.ValueName, ExpandFolderSymbols(value, item));
    }
}
