// Values as written: component lines, options, shortcut locations and library names, and
// the folder values the controller expands.

#include "tools/setuppack/CheckContext.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "common/CommonUtils.h"
#include "common/IniFile.h"
#include "common/Path.h"
#include "common/TextEncoding.h"
#include "setup/SetupInstaller.h"
#include "tools/setuppack/CheckFindings.h"

namespace Checking {

void TChecker::CheckComponents() {
    std::set<std::string> named; // top-level folders some line installs, by FileNameKey
    const bool isBundle = Ini->ReadBool("Setup", "IsBundle", false);
    for (const auto& [line, number] : Lines("Components")) {
        const std::string name = LineName(line);
        const std::string destination = LineValue(line);
        if (line.find('=') == std::string::npos)
            continue;
        if (!TSetupInstaller::CanBeAbsoluteDestination(destination))
            Report(SetupIni, number, fnDestinationNeverAbsolute, destination);
        if (name.find("$BundleItem") == std::string::npos) {
            named.insert(FileNameKey(name, CodePageUtf8));
            if (Product.Folders.count(FileNameKey(name, CodePageUtf8)) == 0)
                Report(SetupIni, number, fnComponentFolderMissing, name);
            continue;
        }
        if (!isBundle)
            continue; // outside a bundle such a line drops out
        for (const TItem& item : Items) {
            // The item's names as the controller puts them into a component's name.
            const std::string folder = ReplaceAll(
                ReplaceAll(name, "$BundleItemProductName", item.ProductName), "$BundleItem", item.Name);
            named.insert(FileNameKey(folder, CodePageUtf8));
            if (Product.Folders.count(FileNameKey(folder, CodePageUtf8)) == 0)
                Report(SetupIni, number, fnItemFolderMissing, item.Name, folder);
        }
    }
    // After a misspelled [Components], that is what every folder is.
    for (const auto& [key, folder] : Product.Folders) {
        if (named.count(key) == 0 && !NothingReported)
            Report(SetupIni, Ini->SectionLines("Components").HeaderLine, fnFolderNotInstalled, folder);
    }
}

void TChecker::CheckOptionsAndShortcuts() {
    const auto components = Lines("Components");
    for (const auto& [line, number] : Lines("ComponentsOptions")) {
        // An option belongs to the component of the same name as written, case and symbols.
        const std::string component = LineName(line);
        if (LineValue(line) != "NoOverwrite")
            Report(SetupIni, number, fnOptionUnknown, LineValue(line));
        else if (!NothingReported &&
                 std::none_of(components.begin(), components.end(),
                              [&](const auto& named) { return LineName(named.first) == component; }))
            Report(SetupIni, number, fnOptionComponentUnknown, component);
    }
    for (const auto& [line, number] : Lines("Shortcuts")) {
        const std::string location = LineName(line);
        if (location != "StartMenu" && location != "Desktop" && location != "ProgramFolder")
            Report(SetupIni, number, fnShortcutLocationUnknown, location);
    }
    for (const auto& [line, number] : Lines("CallLibraries")) {
        const std::string library = LineValue(line);
        if (library.find_first_of("\\/:") == std::string::npos)
            Report(SetupIni, number, fnLibraryWithoutFolder, library);
    }
}

void TChecker::CheckFolderValue(int line, const std::string& raw, const TSetupBundleItem* item,
                                bool isInstalledFile) {
    // The plug-in hosts' folders (the symbols a host's switch drops) are filled by detection.
    for (const TFolderSymbol& symbol : FolderSymbols) {
        if (symbol.Switch != nullptr && raw.find(symbol.Name) != std::string::npos &&
            ((*Setup).*symbol.Folder).empty()) {
            Report(SetupIni, line, fnPluginFolderNeverSet, symbol.Name);
            return;
        }
    }
    const std::string expanded = Setup->ExpandFolderSymbols(raw, item);
    if (expanded.empty())
        return;
    const std::string leftover = LeftoverSymbol(expanded, true);
    if (!leftover.empty())
        Report(SetupIni, line, fnSymbolNotExpanded, leftover);
    else if (isInstalledFile && InstallsFiles && Installed.count(FileNameKey(expanded, CodePageUtf8)) == 0)
        Report(SetupIni, line, fnFileNotInstalled, raw);
}

namespace {

// A text that reads as a whole number the way the registry writer reads one after "#" (blanks,
// a sign, decimal digits or hexadecimal ones after "$", "x" or "0x"), only perhaps too large.
bool LooksLikeNumber(const std::string& text) {
    size_t at = text.find_first_not_of(' ');
    if (at == std::string::npos)
        return false;
    if (text[at] == '-' || text[at] == '+')
        ++at;
    bool hex = false;
    if (text.compare(at, 2, "0x") == 0 || text.compare(at, 2, "0X") == 0)
        at += 2, hex = true;
    else if (at < text.size() && (text[at] == '$' || text[at] == 'x' || text[at] == 'X'))
        at += 1, hex = true;
    const std::string digits = text.substr(std::min(at, text.size()));
    return !digits.empty() &&
           digits.find_first_not_of(hex ? "0123456789abcdefABCDEF" : "0123456789") == std::string::npos;
}

// The first symbol in text that the setup program knows, "$" or (for a custom folder) "%".
std::string KnownSymbolIn(const std::string& text, const std::vector<std::string>& folders) {
    static const char* const symbols[] = {"$BundleItemProductName", "$BundleItem",     "$ProductName",
                                          "$FullProductName",       "$ProductVersion", "$InstallDescription"};
    for (size_t at = text.find_first_of("$%"); at != std::string::npos;
         at = text.find_first_of("$%", at + 1)) {
        for (const TFolderSymbol& symbol : FolderSymbols) {
            if (text.compare(at, std::char_traits<char>::length(symbol.Name), symbol.Name) == 0)
                return symbol.Name;
        }
        for (const char* symbol : symbols) {
            if (text.compare(at, std::char_traits<char>::length(symbol), symbol) == 0)
                return symbol;
        }
        for (const std::string& folder : folders) {
            const std::string name = "%" + LineName(folder);
            if (!LineName(folder).empty() && text.compare(at, name.size(), name) == 0)
                return name;
        }
    }
    return std::string();
}

} // namespace

// Registry values whose text is written with another type or value than it suggests.
void TChecker::CheckRegistryValues() {
    for (const char* list : {"RegistrySettings", "GlobalRegistrySettings"}) {
        for (const auto& [line, number] : Lines(list)) {
            if (line.find('=') == std::string::npos)
                continue;
            const std::string value = LineValue(line);
            int32_t parsed;
            if (value.size() >= 2 && value[0] == '#') {
                if (!TryStrToInt(value.substr(1), parsed))
                    Report(SetupIni, number,
                           LooksLikeNumber(value.substr(1)) ? fnNumberOutOfRange : fnNumberAsText, value);
            } else if (!value.empty() && value.find_first_not_of("-0123456789") == std::string::npos &&
                       TryStrToInt(value, parsed)) {
                Report(SetupIni, number, fnPlainNumberAsText, value);
            }
        }
    }
}

// Symbols where the setup program does not expand them: a registry value's name, a
// shortcut's arguments, the registry paths of [FoldersRegistry] and PersonalizeOwner, the
// file names of [InstalledFiles] and DefaultFolder's pattern.
void TChecker::CheckNotExpanded() {
    const std::vector<std::string> folders = Ini->ReadSection("Folders");
    const auto check = [&](int line, const std::string& text) {
        const std::string symbol = KnownSymbolIn(text, folders);
        if (!symbol.empty())
            Report(SetupIni, line, fnSymbolNotExpanded, symbol);
    };
    for (const char* list : {"RegistrySettings", "GlobalRegistrySettings"}) {
        for (const auto& [line, number] : Lines(list)) {
            const std::string name = LineName(line);
            check(number, name.substr(name.rfind('\\') == std::string::npos ? 0 : name.rfind('\\') + 1));
        }
    }
    for (const auto& [line, number] : Lines("Shortcuts"))
        check(number, Setup->ReadShortcutValue(LineValue(line)).Arguments);
    for (const auto& [line, number] : Lines("FoldersRegistry"))
        check(number, LineValue(line));
    for (const auto& [line, number] : Lines("InstalledFiles"))
        check(number, LineValue(line));
    for (const char* key : {"PersonalizeOwner", "DefaultFolder"})
        check(KeyLine("Setup", key), Ini->ReadString("Setup", key, ""));
}

} // namespace Checking
