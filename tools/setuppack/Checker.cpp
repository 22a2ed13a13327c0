// The product check. The configuration is read by the setup program's own INI reader and
// loaded by its own controller (TSetupInstaller) over the product's setup files packed into a
// scratch archive, on a system where every plug-in host is installed and the product is not.
// What the controller cannot tell (which line a value came from) the INI reader's line numbers
// add. The files themselves go through pack's rules first (CheckFolder.cpp).

#include "tools/setuppack/Checker.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "common/CommonUtils.h"
#include "common/DosDate.h"
#include "common/Format.h"
#include "common/IniFile.h"
#include "setup/JpegDecoder.h"
#include "setup/SetupClasses.h"
#include "setup/SetupInstaller.h"
#include "setupdata/ArchiveFormat.h"
#include "tools/setuppack/Charset.h"
#include "tools/setuppack/CheckEnvironment.h"
#include "tools/setuppack/CheckFindings.h"
#include "tools/setuppack/CheckFolder.h"
#include "tools/setuppack/PackRules.h"
#include "tools/setuppack/Packer.h"

namespace fs = std::filesystem;

namespace {

const char* const SetupIni = "Setup.ini";
const char* const SetupLic = "Setup.lic";
const char* const SetupJpg = "Setup.jpg";
const char* const BundleInfoIni = "BundleInfo.ini";

const std::string Utf8Mark = "\xEF\xBB\xBF";

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

// True when text is well-formed UTF-8 (its bytes above 0x7F all in multi-byte sequences).
bool IsUtf8(const std::string& text) {
    for (size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        size_t extra;
        if (lead < 0x80)
            extra = 0;
        else if (lead >= 0xC2 && lead <= 0xDF)
            extra = 1;
        else if (lead >= 0xE0 && lead <= 0xEF)
            extra = 2;
        else if (lead >= 0xF0 && lead <= 0xF4)
            extra = 3;
        else
            return false;
        if (i + extra >= text.size() && extra > 0)
            return false; // cut off
        for (size_t k = 1; k <= extra; ++k) {
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80)
                return false;
        }
        i += extra + 1;
    }
    return true;
}

bool IsPlainAscii(const std::string& line) {
    return std::all_of(line.begin(), line.end(),
                       [](char c) { return c != 0 && static_cast<unsigned char>(c) < 0x80; });
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

std::string ReadBytes(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

// A scratch folder, removed with the check.
class TScratch {
public:
    TScratch() {
        static int counter = 0;
        const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
        Folder = fs::temp_directory_path() /
                 ("setuppack-check-" + std::to_string(stamp) + "-" + std::to_string(++counter));
        fs::create_directories(Folder / "product");
    }
    ~TScratch() {
        std::error_code ignored;
        fs::remove_all(Folder, ignored);
    }
    TScratch(const TScratch&) = delete;
    TScratch& operator=(const TScratch&) = delete;
    fs::path Folder;
};

class TChecker {
public:
    explicit TChecker(const TCheckOptions& options) : Options(options) {}

    std::vector<TDiagnostic> Run();

private:
    const TCheckOptions& Options;
    std::vector<TDiagnostic> Found;
    bool Fatal = false; // the controller cannot load this product at all
    TProductFolder Product;
    // The setup files' texts as the rest of the check reads them: a byte-order mark reported
    // and removed, a bundle line's blanks reported and removed, so that what follows from
    // such a mistake is not reported again. A file that is not 8-bit text has none.
    std::map<std::string, std::string> Texts;
    std::optional<TIniFile> Ini;
    TProgramVersion Version;
    struct TItem {
        std::string Name, VersionText, ProductName;
    };
    std::vector<TItem> Items;
    TCheckEnvironment Environment;
    // The loaded controller and what its components install, by full path in lower case.
    std::unique_ptr<TSetupInstaller> Setup;
    std::set<std::string> Installed;
    bool InstallsFiles = false; // else a file missing from Installed is no news
    const TSetupBundleItem* AnyItem = nullptr;

    // Details from the product's text files (Windows-1252) and from elsewhere (UTF-8).
    void Report(const std::string& file, int line, TFinding finding, const std::string& a = {},
                const std::string& b = {}, const std::string& c = {});
    void ReportUtf8(const std::string& file, int line, TFinding finding, const std::string& a = {},
                    const std::string& b = {}) {
        Found.push_back(MakeDiagnostic(file, line, finding, a, b));
    }
    std::optional<fs::path> TopFile(const char* name) const;
    std::vector<std::string> ReadLines(const char* name) const;
    // The line of the key that counts; 0 when it is missing.
    int KeyLine(const std::string& section, const std::string& key) const;
    // That, else the section's header (0 without the section): where a missing key belongs.
    int KeyOrSectionLine(const std::string& section, const std::string& key) const;
    // The lines of a section with their numbers.
    std::vector<std::pair<std::string, int>> Lines(const std::string& section) const;

    void CheckText(const char* name);
    void CheckByteOrderMark(const char* name, std::string& text);
    void CheckPicture();
    void CheckLayout();
    void CheckKeyedSection(const std::string& section);
    void CheckSwitch(const TConfigurationKey& key, const std::string& value, int line);
    void CheckRequiredKeys();
    void CheckRegistryPaths();
    void CheckDefaultFolder();
    void CheckVersions();
    void CheckBundleItems();
    void CheckItemVersion(const TItem& item, int line);
    void CheckComponents();
    void CheckOptionsAndShortcuts();
    void CheckWithController();
    bool LoadController(const fs::path& scratch);
    void CollectInstalledFiles();
    void CheckFolderValue(int line, const std::string& raw, const TSetupBundleItem* item,
                          bool isInstalledFile);
    void CheckTextSymbols(int line, const std::string& expanded);
};

void TChecker::Report(const std::string& file, int line, TFinding finding, const std::string& a,
                      const std::string& b, const std::string& c) {
    Found.push_back(MakeDiagnostic(file, line, finding, Windows1252ToUtf8(a), Windows1252ToUtf8(b),
                                   Windows1252ToUtf8(c)));
}

std::optional<fs::path> TChecker::TopFile(const char* name) const {
    // The setup program finds its files without regard to case.
    const auto found = Product.TopFiles.find(AsciiLowerCase(name));
    return found == Product.TopFiles.end() ? std::nullopt : std::optional<fs::path>(found->second);
}

std::vector<std::string> TChecker::ReadLines(const char* name) const {
    const auto text = Texts.find(name);
    return text == Texts.end() ? std::vector<std::string>() : SplitLines(text->second);
}

std::vector<std::pair<std::string, int>> TChecker::Lines(const std::string& section) const {
    const std::vector<std::string> lines = Ini->ReadSection(section);
    const std::vector<int> numbers = Ini->SectionLines(section).LineNumbers;
    std::vector<std::pair<std::string, int>> result;
    for (size_t i = 0; i < lines.size(); ++i)
        result.emplace_back(lines[i], numbers[i]);
    return result;
}

int TChecker::KeyLine(const std::string& section, const std::string& key) const {
    // The line whose value ReadString returns: the last one of that name.
    int line = 0;
    for (const auto& [text, number] : Lines(section)) {
        if (text.find('=') != std::string::npos && SameText(LineName(text), key))
            line = number;
    }
    return line;
}

int TChecker::KeyOrSectionLine(const std::string& section, const std::string& key) const {
    const int line = KeyLine(section, key);
    return line != 0 ? line : Ini->SectionLines(section).HeaderLine;
}

// ---- The setup files as text ----------------------------------------------------------------

void TChecker::CheckText(const char* name) {
    const std::optional<fs::path> path = TopFile(name);
    if (!path)
        return;
    std::string text = ReadBytes(*path);
    // A UTF-16 text begins with its byte-order mark, FF FE (little-endian, as Windows editors
    // write it) or FE FF.
    if (text.size() >= 2 &&
        ((text[0] == '\xFF' && text[1] == '\xFE') || (text[0] == '\xFE' && text[1] == '\xFF'))) {
        Report(name, 0, fnUtf16Text);
        if (name != std::string(SetupLic))
            Fatal = true;
        return;
    }
    CheckByteOrderMark(name, text);
    Texts[name] = text;
    const std::vector<std::string> lines = SplitLines(text);
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        if (IsPlainAscii(line))
            continue;
        // Text in any other encoding is read byte by byte as Windows-1252. UTF-8 is the usual
        // case: every accented letter shows as two or three others.
        if (IsUtf8(line)) {
            Report(name, static_cast<int>(i + 1), fnUtf8Text);
            return;
        }
        // Bytes the code page leaves undefined, or NULs.
        for (const char c : line) {
            const auto b = static_cast<unsigned char>(c);
            if (b == 0 || b == 0x81 || b == 0x8D || b == 0x8F || b == 0x90 || b == 0x9D) {
                Report(name, static_cast<int>(i + 1), fnNotWindows1252Text);
                return;
            }
        }
    }
}

// Reports and removes a UTF-8 byte-order mark. The setup program reads it as three characters
// of the first line: glued to a section header of Setup.ini it hides the section, glued to a
// bundle item it joins the item's name; before any other line, or in the license, it is only
// shown or ignored.
void TChecker::CheckByteOrderMark(const char* name, std::string& text) {
    if (text.rfind(Utf8Mark, 0) != 0)
        return;
    text.erase(0, Utf8Mark.size());
    const std::vector<std::string> lines = SplitLines(text);
    const std::string first = lines.empty() ? std::string() : TrimText(lines[0]);
    const bool joins = (name == std::string(SetupIni) && first.rfind('[', 0) == 0) ||
                       (name == std::string(BundleInfoIni) && first.find('=') != std::string::npos);
    if (joins)
        Report(name, 1, fnByteOrderMarkJoins, first);
    else
        Report(name, 1, fnByteOrderMark);
}

void TChecker::CheckPicture() {
    const std::optional<fs::path> path = TopFile(SetupJpg);
    if (!path)
        return;
    const std::string bytes = ReadBytes(*path);
    std::vector<uint8_t> pixels;
    try {
        DecodeJpeg(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(),
                   [&](int, int height, size_t stride) {
                       pixels.resize(stride * static_cast<size_t>(height));
                       return pixels.data();
                   });
    } catch (const std::exception& e) {
        Report(SetupJpg, 0, fnPictureUnreadable, e.what());
    }
}

// ---- Setup.ini's sections and keys -----------------------------------------------------------

// Sections and keys nobody reads, repeated keys and sections, switches that are no numbers.
void TChecker::CheckLayout() {
    const std::vector<TConfigurationKey> known = TSetupInstaller::ConfigurationKeys();
    std::map<int, std::string> meantSections; // by header line
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
        } else {
            Report(SetupIni, header, fnSectionNotReadMeant, section, meant->Section);
            if (!Ini->SectionExists(meant->Section))
                meantSections[header] = meant->Section;
        }
    }
    // The rest of the check reads a slip as the section meant, instead of reporting each of
    // its lines as missing.
    if (meantSections.empty())
        return;
    std::vector<std::string> lines = ReadLines(SetupIni);
    for (const auto& [header, section] : meantSections)
        lines[static_cast<size_t>(header - 1)] = "[" + section + "]";
    Texts[SetupIni].clear();
    for (const std::string& line : lines)
        Texts[SetupIni] += line + "\r\n";
    Ini.emplace(lines);
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
        if (SameText(relative.substr(0, std::char_traits<char>::length(programFiles)), programFiles))
            relative.erase(0, std::char_traits<char>::length(programFiles));
    }
    Report(SetupIni, KeyLine("Setup", "DefaultFolder"), fnDefaultFolderAbsolute, pattern, relative);
}

// ---- Versions and bundle items ---------------------------------------------------------------

void TChecker::CheckVersions() {
    bool versionValid = true;
    try {
        const TVersionReading reading = ReadVersion(Options.VersionText);
        Version = reading.Version;
        if (!reading.AsWritten)
            ReportUtf8("", 0, fnProductVersionInvalid, VersionNotAsWritten(Options.VersionText, Version));
    } catch (const EProgramVersionError& e) {
        ReportUtf8("", 0, fnProductVersionInvalid, e.what());
        versionValid = false;
        Fatal = true;
    }
    if (versionValid && !Options.TimeGiven && !VersionTimeOfDay(Version))
        Report("", 0, fnProductVersionNoTime, Version.ToText());

    const std::string pattern = Ini->ReadString("Setup", "DefaultFolder", "");
    if (versionValid && !pattern.empty()) {
        try {
            FormatInteger(pattern, Version.Major);
        } catch (const EFormatError& e) {
            Report(SetupIni, KeyLine("Setup", "DefaultFolder"), fnFolderPatternRefused, e.what());
            Fatal = true;
        }
    }
}

void TChecker::CheckBundleItems() {
    if (!Ini->ReadBool("Setup", "IsBundle", false))
        return;
    const std::vector<std::string> lines = ReadLines(BundleInfoIni);
    std::string cleaned;
    for (size_t i = 0; i < lines.size(); ++i) {
        const int number = static_cast<int>(i + 1);
        TItem item;
        if (!TSetupInstaller::SplitBundleLine(lines[i], item.Name, item.VersionText, item.ProductName))
            continue;
        // The line is not trimmed: a blank around "=" or "," stays in the name or version.
        for (auto [part, what] : {std::pair{&item.Name, "name"},
                                  {&item.VersionText, "version"},
                                  {&item.ProductName, "product name"}}) {
            if (*part != TrimText(*part)) {
                Report(BundleInfoIni, number, fnItemBlank, what, *part);
                break;
            }
        }
        item = {TrimText(item.Name), TrimText(item.VersionText), TrimText(item.ProductName)};
        cleaned += item.Name + "=" + item.VersionText + "," + item.ProductName + "\r\n";
        Items.push_back(item);
        CheckItemVersion(item, number);
    }
    Texts[BundleInfoIni] = cleaned;
}

void TChecker::CheckItemVersion(const TItem& item, int line) {
    TProgramVersion version;
    try {
        const TVersionReading reading = ReadVersion(item.VersionText);
        version = reading.Version;
        if (!reading.AsWritten)
            Report(BundleInfoIni, line, fnItemVersionInvalid, item.Name,
                   VersionNotAsWritten(item.VersionText, version));
    } catch (const EProgramVersionError& e) {
        Report(BundleInfoIni, line, fnItemVersionInvalid, item.Name, e.what());
        Fatal = true;
        return;
    }
    // The item's files are stamped with the build date plus the version as a time of day.
    TDosDateTime buildDate;
    buildDate.Year = 2000;
    try {
        ItemFileDate(PackDosDateTime(buildDate), version);
    } catch (const Exception&) {
        Report(BundleInfoIni, line, fnItemVersionNoTime, item.Name, item.VersionText);
        Fatal = true;
    }
}

// ---- Components, options and shortcuts as written --------------------------------------------

void TChecker::CheckComponents() {
    std::set<std::string> named; // top-level folders some line installs, lower case
    const bool isBundle = Ini->ReadBool("Setup", "IsBundle", false);
    for (const auto& [line, number] : Lines("Components")) {
        const std::string name = LineName(line);
        const std::string destination = LineValue(line);
        if (line.find('=') == std::string::npos)
            continue;
        if (!TSetupInstaller::CanBeAbsoluteDestination(destination))
            Report(SetupIni, number, fnDestinationNeverAbsolute, destination);
        if (name.find("$BundleItem") == std::string::npos) {
            named.insert(AsciiLowerCase(name));
            if (Product.Folders.count(AsciiLowerCase(name)) == 0)
                Report(SetupIni, number, fnComponentFolderMissing, name);
            continue;
        }
        if (!isBundle)
            continue; // outside a bundle such a line drops out
        for (const TItem& item : Items) {
            // The item's names as the controller puts them into a component's name.
            const std::string folder = ReplaceAll(
                ReplaceAll(name, "$BundleItemProductName", item.ProductName), "$BundleItem", item.Name);
            named.insert(AsciiLowerCase(folder));
            if (Product.Folders.count(AsciiLowerCase(folder)) == 0)
                Report(SetupIni, number, fnItemFolderMissing, item.Name, folder);
        }
    }
    for (const auto& [lower, folder] : Product.Folders) {
        if (named.count(lower) == 0)
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
        else if (std::none_of(components.begin(), components.end(),
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

// ---- The configuration as the controller loads it ---------------------------------------------

// The first "$Name" (or, where custom folders apply, "%Name") left in an expanded text.
std::string LeftoverSymbol(const std::string& expanded, bool customFolders) {
    for (size_t i = 0; i + 1 < expanded.size(); ++i) {
        const char c = expanded[i];
        if ((c != '$' && !(customFolders && c == '%')) ||
            !std::isalpha(static_cast<unsigned char>(expanded[i + 1])))
            continue;
        size_t end = i + 1;
        while (end < expanded.size() &&
               (std::isalnum(static_cast<unsigned char>(expanded[end])) || expanded[end] == '_'))
            ++end;
        return expanded.substr(i, end - i);
    }
    return std::string();
}

bool TChecker::LoadController(const fs::path& scratch) {
    // The setup files alone go into the scratch archive, as the check reads them: the
    // components are read from the product folder directly, which spares compressing them.
    for (const char* name : {SetupIni, SetupLic, SetupJpg, BundleInfoIni}) {
        const std::optional<fs::path> path = TopFile(name);
        if (path && Texts.count(name) != 0)
            std::ofstream(scratch / "product" / path->filename(), std::ios::binary) << Texts[name];
        else if (path)
            fs::copy_file(*path, scratch / "product" / path->filename());
    }
    TPackOptions pack;
    pack.ProductFolder = (scratch / "product").string();
    pack.OutputPath = (scratch / "Setup.dat").string();
    pack.Version = Version;
    pack.BuildDate = Archive::EncodeDateTime(2000, 1, 1, 0, 0, 0);
    pack.Jobs = 1;
    PackProduct(pack);

    try {
        Setup = std::make_unique<TSetupInstaller>(pack.OutputPath, Environment);
    } catch (const std::exception& e) {
        Report(SetupIni, 0, fnSetupStops, e.what());
        return false;
    }
    if (!Setup->BundleItems.empty())
        AnyItem = Setup->BundleItems.front().get();
    return true;
}

void TChecker::CollectInstalledFiles() {
    // Every pass of the run: each bundle item's, then the product's own.
    std::vector<const TSetupBundleItem*> passes;
    for (const auto& item : Setup->BundleItems)
        passes.push_back(item.get());
    passes.push_back(nullptr);
    bool anyFile = false;
    for (const TSetupBundleItem* item : passes) {
        for (const std::string& line : Setup->Components) {
            const std::string source = Setup->ExpandFolderSymbols(LineName(line), item);
            const std::string destination = Setup->ExpandFolderSymbols(LineValue(line), item);
            // The loader's texts are in the code page it runs with (UTF-8 here); folders are
            // known by their stored (Windows-1252) names.
            const auto folder =
                Product.Folders.find(AsciiLowerCase(Utf8ToWindows1252(source).value_or(source)));
            if (source.empty() || destination.empty() || folder == Product.Folders.end())
                continue;
            const fs::path root =
                fs::u8path(Options.ProductFolder) / fs::u8path(Windows1252ToUtf8(folder->second));
            std::error_code error;
            for (fs::recursive_directory_iterator entry(root, error), end; !error && entry != end;
                 entry.increment(error)) {
                std::string relative = fs::relative(entry->path(), root).generic_string();
                std::replace(relative.begin(), relative.end(), '/', '\\');
                Installed.insert(AsciiLowerCase(JoinPath(destination, relative)));
                anyFile = anyFile || (entry->is_regular_file() && entry->path().filename() != ".keep");
            }
        }
    }
    if (!anyFile)
        Report(SetupIni, Ini->SectionLines("Components").HeaderLine, fnNothingInstalled);
    InstallsFiles = anyFile;
}

// A value with folder symbols: a plug-in folder that stays empty, a symbol no rule expands,
// and, for a file the product needs, whether a component installs it.
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
    // As the program takes the line: in the code page it runs with, like its folders.
    const std::string expanded = Setup->ExpandFolderSymbols(ProductText(raw), item);
    if (expanded.empty())
        return;
    const std::string leftover = LeftoverSymbol(expanded, true);
    if (!leftover.empty())
        Report(SetupIni, line, fnSymbolNotExpanded, leftover);
    else if (isInstalledFile && InstallsFiles && Installed.count(AsciiLowerCase(expanded)) == 0)
        Report(SetupIni, line, fnFileNotInstalled, raw);
}

void TChecker::CheckTextSymbols(int line, const std::string& expanded) {
    const std::string leftover = LeftoverSymbol(expanded, false);
    if (!leftover.empty())
        Report(SetupIni, line, fnSymbolNotExpanded, leftover);
}

void TChecker::CheckWithController() {
    TScratch scratch;
    if (!LoadController(scratch.Folder))
        return;
    CollectInstalledFiles();
    const auto itemOf = [&](const std::string& line) {
        return line.find("$BundleItem") != std::string::npos ? AnyItem : nullptr;
    };
    for (const auto& [line, number] : Lines("Components")) {
        CheckFolderValue(number, LineName(line), itemOf(line), false);
        CheckFolderValue(number, LineValue(line), itemOf(line), false);
    }
    for (const char* list : {"RegistrySettings", "GlobalRegistrySettings"}) {
        for (const auto& [line, number] : Lines(list)) {
            if (LineValue(line).rfind('#', 0) != 0)
                CheckFolderValue(number, LineValue(line), itemOf(line), false);
        }
    }
    for (const auto& [line, number] : Lines("Shortcuts")) {
        const TShortcutValue shortcut = Setup->ReadShortcutValue(LineValue(line));
        CheckFolderValue(number, shortcut.Target, nullptr, true);
        if (LineValue(line).find(',') != std::string::npos)
            CheckTextSymbols(number, shortcut.Title);
    }
    for (const auto& [line, number] : Lines("CallLibraries")) {
        if (LineValue(line).find_first_of("\\/:") != std::string::npos)
            CheckFolderValue(number, LineValue(line), nullptr, true);
    }
    for (const char* key : {"Readme", "Product"}) {
        const std::string value = Ini->ReadString("Complete", key, "");
        if (!value.empty())
            CheckFolderValue(KeyLine("Complete", key), value, nullptr, true);
    }
    // The controller's texts, as the wizard shows them.
    if (KeyLine("Complete", "Message") != 0)
        CheckTextSymbols(KeyLine("Complete", "Message"), Setup->CompleteMessage);
    if (KeyLine("Setup", "InstallDescription") != 0)
        CheckTextSymbols(KeyLine("Setup", "InstallDescription"), Setup->InstallDescription);
}

std::vector<TDiagnostic> TChecker::Run() {
    Product = ScanProductFolder(fs::u8path(Options.ProductFolder), Found, Options.Progress);
    for (const char* name : {SetupIni, SetupLic, SetupJpg}) {
        if (!TopFile(name)) {
            Report(name, 0, fnFileMissing);
            Fatal = true;
        }
    }
    for (const char* name : {SetupIni, SetupLic, BundleInfoIni})
        CheckText(name);
    CheckPicture();
    if (Texts.count(SetupIni) != 0) {
        Ini.emplace(ReadLines(SetupIni));
        CheckLayout();
        CheckRequiredKeys();
        CheckRegistryPaths();
        CheckDefaultFolder();
        CheckVersions();
        CheckBundleItems();
        CheckComponents();
        CheckOptionsAndShortcuts();
        if (!Fatal)
            CheckWithController();
    }
    // By file, the command line's first, then by line.
    std::stable_sort(Found.begin(), Found.end(), [](const TDiagnostic& a, const TDiagnostic& b) {
        return a.File != b.File ? a.File < b.File : a.Line < b.Line;
    });
    return Found;
}

} // namespace

std::vector<TDiagnostic> CheckProduct(const TCheckOptions& options) {
    if (!fs::is_directory(fs::u8path(options.ProductFolder)))
        throw EPackError("The product folder \"" + options.ProductFolder + "\" does not exist");
    return TChecker(options).Run();
}
