// Setup.ini's sections and keys: what is not read, repeated, misspelled or not a number, the
// required keys, registry paths that name a hive, and DefaultFolder.

#include "common/Path.h"
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
#include "setup/SetupInstaller.h"
#include "tools/setuppack/CheckFindings.h"

namespace Checking {

namespace {

// Registry paths are given below the root the setup program chooses; a hive name at their
// start becomes a key of that name.
const char* const HiveNames[] = {"HKEY_LOCAL_MACHINE",
                                 "HKEY_CURRENT_USER",
                                 "HKEY_CLASSES_ROOT",
                                 "HKEY_USERS",
                                 "HKEY_CURRENT_CONFIG",
                                 "HKLM",
                                 "HKCU",
                                 "HKCR",
                                 "HKU",
                                 "HKCC"};

std::string HiveOf(const std::string& path) {
    const std::string key = path.rfind('\\', 0) == 0 ? path.substr(1) : path;
    for (const char* hive : HiveNames) {
        const size_t length = std::char_traits<char>::length(hive);
        if (SameText(key.substr(0, length), hive) && (key.size() == length || key[length] == '\\'))
            return hive;
    }
    return std::string();
}

// The number of letters to change, add or remove to turn one name into the other, letter case aside.
size_t EditDistance(const std::string& a, const std::string& b) {
    std::vector<size_t> row(b.size() + 1);
    for (size_t j = 0; j <= b.size(); ++j)
        row[j] = j;
    for (size_t i = 1; i <= a.size(); ++i) {
        size_t diagonal = row[0];
        row[0] = i;
        for (size_t j = 1; j <= b.size(); ++j) {
            const size_t above = row[j];
            const bool same = AsciiLower(a[i - 1]) == AsciiLower(b[j - 1]);
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (same ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

} // namespace

// Sections and keys nobody reads, repeated keys and sections, switches that are no numbers.
void TChecker::CheckLayout() {
    const std::vector<TConfigurationKey> known = TSetupInstaller::ConfigurationKeys();
    for (const auto& [name, header] : Ini->ReplacedSections())
        Report(SetupIni, header, fnSectionRepeated, name, std::to_string(Ini->SectionLines(name).HeaderLine));

    for (const std::string& section : Ini->SectionNames()) {
        const auto read = std::find_if(known.begin(), known.end(), [&](const TConfigurationKey& k) {
            return SameText(section, k.Section);
        });
        if (read != known.end()) {
            CheckKeyedSection(section);
            continue;
        }
        // The section meant, when one the program reads is a slip of the keyboard away.
        const auto meant = std::min_element(known.begin(), known.end(), [&](const auto& a, const auto& b) {
            return EditDistance(section, a.Section) < EditDistance(section, b.Section);
        });
        const int header = Ini->SectionLines(section).HeaderLine;
        if (EditDistance(section, meant->Section) > 2) {
            Report(SetupIni, header, fnSectionNotRead, section);
        } else if (!Ini->SectionExists(meant->Section) && SameText(meant->Section, "Components")) {
            // The setup program does not read the slip; what follows from that is the finding.
            // The rest of the check reads the file as the setup program does.
            Report(SetupIni, header, fnSectionMisspelled, section, meant->Section,
                   "no component is installed: the setup program would install nothing");
            NothingReported = true;
        } else {
            Report(SetupIni, header, fnSectionNotReadMeant, section, meant->Section);
        }
    }
}

void TChecker::CheckKeyedSection(const std::string& section) {
    const std::vector<TConfigurationKey> known = TSetupInstaller::ConfigurationKeys();
    const auto keyOf = [&](const std::string& key) {
        return std::find_if(known.begin(), known.end(), [&](const TConfigurationKey& k) {
            return k.Key != nullptr && SameText(section, k.Section) && SameText(key, k.Key);
        });
    };
    // Sections of keys; the others are lists, taken whole.
    if (std::none_of(known.begin(), known.end(), [&](const TConfigurationKey& k) {
            return k.Key != nullptr && SameText(section, k.Section);
        }))
        return;
    const auto lines = Lines(section);
    for (size_t i = 0; i < lines.size(); ++i) {
        const auto& [text, number] = lines[i];
        if (text.find('=') == std::string::npos) {
            Report(SetupIni, number, fnLineNotKey, text, section);
            continue;
        }
        const std::string key = LineName(text);
        const auto read = keyOf(key);
        if (read == known.end()) {
            Report(SetupIni, number, fnKeyNotRead, key, section);
            continue;
        }
        // The reader takes a key's name in any letter case, and the last line wins.
        const auto later =
            std::find_if(lines.begin() + static_cast<std::ptrdiff_t>(i) + 1, lines.end(),
                         [&](const auto& line) { return SameText(LineName(line.first), key); });
        if (later != lines.end())
            Report(SetupIni, number, fnKeyRepeated, key, section, std::to_string(later->second));
        else
            CheckSwitch(*read, LineValue(text), number);
    }
}

void TChecker::CheckSwitch(const TConfigurationKey& key, const std::string& value, int line) {
    int32_t number;
    if (key.SwitchDefault < 0 || TryStrToInt(value, number))
        return;
    if (SameText(key.Key, "IsBundle"))
        Report(SetupIni, line, fnIsBundleNotNumber, value);
    else
        Report(SetupIni, line, fnSwitchNotNumber, key.Key, value, std::to_string(key.SwitchDefault));
}

void TChecker::CheckRequiredKeys() {
    const bool isBundle = Ini->ReadBool("Setup", "IsBundle", false);
    for (const std::string& key :
         TSetupInstaller::MissingRequiredKeys(isBundle, Ini->ReadString("Setup", "RegistryRoot", ""),
                                              Ini->ReadString("Setup", "DefaultFolder", ""),
                                              Ini->ReadString("Setup", "BundleRegistryRoot", ""))) {
        Report(SetupIni, KeyOrSectionLine("Setup", key), fnRequiredKeyMissing, key);
        Fatal = true;
    }
    if (TSetupInstaller::IsNamelessBundle(isBundle, Ini->ReadString("Setup", "ProductName", ""),
                                          Ini->ReadString("Setup", "ProductSuffix", ""))) {
        Report(SetupIni, KeyOrSectionLine("Setup", "IsBundle"), fnNamelessBundle);
        Fatal = true;
    }
    if (isBundle && !TopFile(BundleInfoIni)) {
        Report(SetupIni, KeyOrSectionLine("Setup", "IsBundle"), fnBundleInfoMissing);
        Fatal = true;
    }
}

void TChecker::CheckRegistryPaths() {
    const auto check = [&](int line, const std::string& path) {
        const std::string hive = HiveOf(path);
        if (!hive.empty())
            Report(SetupIni, line, fnRegistryHive, path, hive);
    };
    for (const char* key : {"RegistryRoot", "BundleRegistryRoot", "PersonalizeOwner"})
        check(KeyLine("Setup", key), Ini->ReadString("Setup", key, ""));
    for (const auto& [line, number] : Lines("FoldersRegistry"))
        check(number, LineValue(line));
    for (const char* list : {"RegistrySettings", "GlobalRegistrySettings"}) {
        for (const auto& [line, number] : Lines(list))
            check(number, LineName(line));
    }
}

// The setup program joins DefaultFolder below the Program Files folder, whatever it holds.
void TChecker::CheckDefaultFolder() {
    const std::string pattern = Ini->ReadString("Setup", "DefaultFolder", "");
    if (!IsFullPath(pattern))
        return;
    const bool drive = pattern[1] == ':';
    // What was probably meant: the part below Program Files, else below the drive or share.
    std::string relative = pattern.substr(2);
    if (!drive)
        relative = relative.substr(std::min(relative.size(), relative.find('\\', relative.find('\\') + 1)));
    while (!relative.empty() && (relative[0] == '\\' || relative[0] == '/'))
        relative.erase(0, 1);
    for (const char* programFiles : {"Program Files (x86)\\", "Program Files\\"}) {
        if (SameFileName(relative.substr(0, std::char_traits<char>::length(programFiles)), programFiles))
            relative.erase(0, std::char_traits<char>::length(programFiles));
    }
    Report(SetupIni, KeyLine("Setup", "DefaultFolder"), fnDefaultFolderAbsolute, pattern, relative);
}

} // namespace Checking
