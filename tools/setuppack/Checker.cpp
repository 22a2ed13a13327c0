// The product check. The configuration is read by the setup program's own INI reader and
// loaded by its own controller (TSetupInstaller) over the product's setup files packed into a
// scratch archive, on a system where every plug-in host is installed and the product is not.
// What the controller cannot tell (which line a value came from) the INI reader's line numbers
// add.

#include "tools/setuppack/Checker.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
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
#include "tools/setuppack/Packer.h"

namespace fs = std::filesystem;

namespace {

// ---- What the check says ------------------------------------------------------------------
// Every finding and its wording, in one place. "{1}", "{2}" and "{3}" take the details.

enum TFinding {
    fnFileMissing,
    fnBundleInfoMissing,
    fnPictureUnreadable,
    fnRequiredKeyMissing,
    fnNamelessBundle,
    fnFolderPatternRefused,
    fnProductVersionInvalid,
    fnProductVersionNoTime,
    fnItemVersionInvalid,
    fnItemVersionNoTime,
    fnItemFolderMissing,
    fnDestinationNeverAbsolute,
    fnSetupStops,
    fnComponentFolderMissing,
    fnFolderNotInstalled,
    fnPluginFolderNeverSet,
    fnSymbolNotExpanded,
    fnFileNotInstalled,
    fnLibraryWithoutFolder,
    fnSectionNotRead,
    fnKeyNotRead,
    fnLineNotKey,
    fnKeyRepeated,
    fnSectionRepeated,
    fnOptionUnknown,
    fnShortcutLocationUnknown,
    fnUtf8Text,
    fnNotWindows1252Text,
};

struct TFindingText {
    TFinding Finding;
    TSeverity Severity;
    const char* Text;
};

constexpr TSeverity E = TSeverity::Error;
constexpr TSeverity W = TSeverity::Warning;

const TFindingText FindingTexts[] = {
    // The setup program would stop.
    {fnFileMissing, E, "required file is missing"},
    {fnBundleInfoMissing, E, "IsBundle=1, but BundleInfo.ini is missing"},
    {fnPictureUnreadable, E, "not a picture the setup program can show: {1}"},
    {fnRequiredKeyMissing, E,
     "[Setup] {1} is missing or empty: the setup program stops with \"Invalid configuration in Setup.ini\""},
    {fnNamelessBundle, E,
     "a bundle needs ProductName or ProductSuffix: without both its uninstall entry has no name and "
     "would be the list of installed programs itself"},
    {fnFolderPatternRefused, E, "DefaultFolder: {1}"},
    {fnProductVersionInvalid, E, "product version: {1}"},
    {fnProductVersionNoTime, E,
     "product version {1} cannot be a time of day (5.04 stands for 05:04); "
     "pack needs --time"},
    {fnItemVersionInvalid, E, "item \"{1}\": {2}"},
    {fnItemVersionNoTime, E,
     "item \"{1}\": version {2} cannot be a time of day: the setup program stops with "
     "\"Invalid argument to time encode\""},
    {fnItemFolderMissing, E, "bundle item \"{1}\" has no component folder \"{2}\""},
    {fnDestinationNeverAbsolute, E,
     "[Components] destination \"{1}\" can never be an absolute path: it starts with no folder symbol, "
     "drive or network share"},
    {fnSetupStops, E, "the setup program stops: {1}"},
    // The setup program runs, but not as meant.
    {fnComponentFolderMissing, W, "[Components] folder \"{1}\" is not in the product folder"},
    {fnFolderNotInstalled, W, "folder \"{1}\" is packed but never installed: no [Components] line names it"},
    {fnPluginFolderNeverSet, W,
     "{1} is never set: its page is off and nothing detects it, so this line never "
     "takes effect"},
    {fnSymbolNotExpanded, W, "\"{1}\" is not expanded here and stays as written"},
    {fnFileNotInstalled, W, "\"{1}\" names a file that no component installs"},
    {fnLibraryWithoutFolder, W,
     "library \"{1}\" is given without a folder; libraries are loaded by full path only"},
    {fnSectionNotRead, W, "section [{1}] is not read"},
    {fnKeyNotRead, W, "key \"{1}\" in [{2}] is not read"},
    {fnLineNotKey, W, "line \"{1}\" in [{2}] is not Name=Value and is not read"},
    {fnKeyRepeated, W, "key \"{1}\" in [{2}] is given again on line {3}; this line is not read"},
    {fnSectionRepeated, W, "section [{1}] is given again on line {2}; this one is not read"},
    {fnOptionUnknown, W, "option \"{1}\" has no effect: the only option is NoOverwrite"},
    {fnShortcutLocationUnknown, W,
     "shortcut location \"{1}\" is not StartMenu, Desktop or ProgramFolder: no shortcut is made"},
    {fnUtf8Text, W, "UTF-8 text, not Windows-1252: the setup program shows its accented letters garbled"},
    {fnNotWindows1252Text, W, "not Windows-1252 text"},
};

// The plug-in folders that a host's detection fills, by symbol.
struct TPluginFolder {
    const char* Symbol;
    std::string TSetupInstaller::*Field;
};
const TPluginFolder PluginFolders[] = {
    {"$VstPluginFolder", &TSetupInstaller::VstPluginFolder},
    {"$Vst3PluginFolder", &TSetupInstaller::Vst3PluginFolder},
    {"$DigiPluginFolder", &TSetupInstaller::DigiPluginFolder},
    {"$PhotoshopPluginFolder", &TSetupInstaller::PhotoshopPluginFolder},
};

const char* const SetupIni = "Setup.ini";
const char* const SetupLic = "Setup.lic";
const char* const SetupJpg = "Setup.jpg";
const char* const BundleInfoIni = "BundleInfo.ini";

// A system on which every plug-in host is installed and the product is not: a folder symbol
// that is empty here is empty on every machine. The keys are where the hosts register.
class TCheckEnvironment final : public ISetupEnvironment {
public:
    std::optional<std::vector<std::string>> SubkeyNames(TRegistryRoot root, const std::string& key) override {
        if (root == rrLocalMachine && SameText(key, PhotoshopKey))
            return std::vector<std::string>{"99.0"};
        return std::nullopt;
    }
    std::optional<std::string> ReadString(TRegistryRoot root, const std::string& key,
                                          const std::string& name) override {
        if (root == rrLocalMachine && SameText(key, "Software\\Vst") && SameText(name, "VstPluginsPath"))
            return std::string("C:\\Program Files\\Steinberg\\VstPlugins");
        if (root == rrLocalMachine && SameText(key, std::string(PhotoshopKey) + "\\99.0\\PluginPath"))
            return std::string("C:\\Program Files\\Adobe\\Photoshop\\Plug-ins");
        return std::nullopt;
    }
    std::string ProgramFilesFolder() override { return "C:\\Program Files"; }
    std::string CommonFilesFolder() override { return "C:\\Program Files\\Common Files"; }
    std::string CommonProgramFilesFolder() override { return "C:\\Program Files\\Common Files"; }
    std::string ApplicationDataFolder() override { return "C:\\Users\\User\\AppData\\Roaming"; }
    std::string DocumentsFolder() override { return "C:\\Users\\User\\Documents"; }
    std::string UserName() override { return "User"; }
    bool FileExists(const std::string&) override { return false; }
    bool WriteString(TRegistryRoot, const std::string&, const std::string&, const std::string&) override {
        return false;
    }
    bool WriteInteger(TRegistryRoot, const std::string&, const std::string&, int32_t) override {
        return false;
    }
    uint64_t FreeDiskSpace(const std::string&) override { return 0; }
    bool CallLibraryExport(const std::string&, const std::string&) override { return false; }
    std::string StartMenuFolder() override { return "C:\\Users\\User\\Start Menu\\Programs"; }
    std::string DesktopFolder() override { return "C:\\Users\\User\\Desktop"; }

private:
    static constexpr const char* PhotoshopKey = "SOFTWARE\\Adobe\\Photoshop";
};

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

std::string Lower(std::string text) {
    for (char& c : text)
        c = AsciiLower(c);
    return text;
}

std::string ReadBytes(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

// A list of scratch files, removed with the check.
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
    bool Fatal = false;                         // the controller cannot load this product at all
    std::map<std::string, fs::path> TopFiles;   // by lower-case name
    std::map<std::string, std::string> Folders; // top-level folders, by lower-case name
    std::optional<TIniFile> Ini;
    TProgramVersion Version;
    struct TItem {
        std::string Name, VersionText, ProductName;
    };
    std::vector<TItem> Items;

    void Report(const std::string& file, int line, TFinding finding, const std::string& a = {},
                const std::string& b = {}, const std::string& c = {});
    std::optional<fs::path> TopFile(const char* name) const;
    std::vector<std::string> ReadLines(const char* name) const;
    // The line of the key that counts; 0 when it is missing.
    int KeyLine(const std::string& section, const std::string& key) const;
    // That, else the section's header (0 without the section): where a missing key belongs.
    int KeyOrSectionLine(const std::string& section, const std::string& key) const;
    // The lines of a section with their numbers.
    std::vector<std::pair<std::string, int>> Lines(const std::string& section) const;

    void ScanProductFolder();
    void CheckText(const char* name);
    void CheckPicture();
    void CheckLayout();
    void CheckRequiredKeys();
    void CheckVersions();
    void CheckComponents();
    void CheckOptionsAndShortcuts();
    void CheckWithController();
};

void TChecker::Report(const std::string& file, int line, TFinding finding, const std::string& a,
                      const std::string& b, const std::string& c) {
    const TFindingText* text = nullptr;
    for (const TFindingText& row : FindingTexts) {
        if (row.Finding == finding)
            text = &row;
    }
    std::string message = text->Text;
    message = ReplaceAll(message, "{1}", a);
    message = ReplaceAll(message, "{2}", b);
    message = ReplaceAll(message, "{3}", c);
    Found.push_back({file, line, text->Severity, message});
}

std::optional<fs::path> TChecker::TopFile(const char* name) const {
    // The setup program finds its files without regard to case.
    const auto found = TopFiles.find(Lower(name));
    return found == TopFiles.end() ? std::nullopt : std::optional<fs::path>(found->second);
}

std::vector<std::string> TChecker::ReadLines(const char* name) const {
    const std::optional<fs::path> path = TopFile(name);
    return path ? SplitLines(ReadBytes(*path)) : std::vector<std::string>();
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

void TChecker::ScanProductFolder() {
    for (const fs::directory_entry& entry : fs::directory_iterator(Options.ProductFolder)) {
        const std::string name = entry.path().filename().string();
        if (entry.is_directory())
            Folders[Lower(name)] = name;
        else if (name != ".keep")
            TopFiles[Lower(name)] = entry.path();
    }
}

void TChecker::CheckText(const char* name) {
    const std::vector<std::string> lines = ReadLines(name);
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        if (std::all_of(line.begin(), line.end(),
                        [](char c) { return static_cast<unsigned char>(c) < 0x80; }) &&
            line.find('\0') == std::string::npos)
            continue;
        // Text in any other encoding is read byte by byte as Windows-1252. UTF-8 is the usual
        // case: every accented letter shows as two or three others.
        if (IsUtf8(line)) {
            Report(name, static_cast<int>(i + 1), fnUtf8Text);
            return;
        }
        // Bytes the code page leaves undefined, or NULs of a UTF-16 text.
        for (const char c : line) {
            const auto b = static_cast<unsigned char>(c);
            if (b == 0 || b == 0x81 || b == 0x8D || b == 0x8F || b == 0x90 || b == 0x9D) {
                Report(name, static_cast<int>(i + 1), fnNotWindows1252Text);
                return;
            }
        }
    }
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

// Sections and keys nobody reads, repeated keys and sections.
void TChecker::CheckLayout() {
    const std::vector<TConfigurationKey> known = TSetupInstaller::ConfigurationKeys();
    const auto knownSection = [&](const std::string& name) {
        return std::any_of(known.begin(), known.end(),
                           [&](const TConfigurationKey& k) { return SameText(name, k.Section); });
    };
    const auto knownKey = [&](const std::string& section, const std::string& key) {
        return std::any_of(known.begin(), known.end(), [&](const TConfigurationKey& k) {
            return k.Key != nullptr && SameText(section, k.Section) && SameText(key, k.Key);
        });
    };
    for (const auto& [name, header] : Ini->ReplacedSections())
        Report(SetupIni, header, fnSectionRepeated, name, std::to_string(Ini->SectionLines(name).HeaderLine));

    for (const std::string& section : Ini->SectionNames()) {
        if (!knownSection(section)) {
            Report(SetupIni, Ini->SectionLines(section).HeaderLine, fnSectionNotRead, section);
            continue;
        }
        // Sections of keys; the others are lists, taken whole.
        const bool keyed = std::any_of(known.begin(), known.end(), [&](const TConfigurationKey& k) {
            return k.Key != nullptr && SameText(section, k.Section);
        });
        if (!keyed)
            continue;
        const auto lines = Lines(section);
        for (size_t i = 0; i < lines.size(); ++i) {
            const std::string& text = lines[i].first;
            const int number = lines[i].second;
            if (text.find('=') == std::string::npos) {
                Report(SetupIni, number, fnLineNotKey, text, section);
                continue;
            }
            const std::string key = LineName(text);
            if (!knownKey(section, key)) {
                Report(SetupIni, number, fnKeyNotRead, key, section);
                continue;
            }
            for (size_t j = i + 1; j < lines.size(); ++j) {
                if (SameText(LineName(lines[j].first), key)) {
                    Report(SetupIni, number, fnKeyRepeated, key, section, std::to_string(lines[j].second));
                    break;
                }
            }
        }
    }
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

void TChecker::CheckVersions() {
    bool versionValid = true;
    try {
        Version.FromText(Options.VersionText);
    } catch (const EProgramVersionError& e) {
        Report("", 0, fnProductVersionInvalid, e.what());
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

    if (!Ini->ReadBool("Setup", "IsBundle", false))
        return;
    const std::vector<std::string> lines = ReadLines(BundleInfoIni);
    for (size_t i = 0; i < lines.size(); ++i) {
        TItem item;
        if (!TSetupInstaller::SplitBundleLine(lines[i], item.Name, item.VersionText, item.ProductName))
            continue;
        Items.push_back(item);
        const int number = static_cast<int>(i + 1);
        TProgramVersion itemVersion;
        try {
            itemVersion.FromText(item.VersionText);
        } catch (const EProgramVersionError& e) {
            Report(BundleInfoIni, number, fnItemVersionInvalid, item.Name, e.what());
            Fatal = true;
            continue;
        }
        // The item's files are stamped with the build date plus the version as a time of day.
        TDosDateTime buildDate;
        buildDate.Year = 2000;
        try {
            ItemFileDate(PackDosDateTime(buildDate), itemVersion);
        } catch (const Exception&) {
            Report(BundleInfoIni, number, fnItemVersionNoTime, item.Name, item.VersionText);
            Fatal = true;
        }
    }
}

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
            named.insert(Lower(name));
            if (Folders.count(Lower(name)) == 0)
                Report(SetupIni, number, fnComponentFolderMissing, name);
            continue;
        }
        if (!isBundle)
            continue; // outside a bundle such a line drops out
        for (const TItem& item : Items) {
            // The item's names as the controller puts them into a component's name.
            const std::string folder = ReplaceAll(
                ReplaceAll(name, "$BundleItemProductName", item.ProductName), "$BundleItem", item.Name);
            named.insert(Lower(folder));
            if (Folders.count(Lower(folder)) == 0)
                Report(SetupIni, number, fnItemFolderMissing, item.Name, folder);
        }
    }
    for (const auto& [lower, folder] : Folders) {
        if (named.count(lower) == 0)
            Report(SetupIni, Ini->SectionLines("Components").HeaderLine, fnFolderNotInstalled, folder);
    }
}

void TChecker::CheckOptionsAndShortcuts() {
    for (const auto& [line, number] : Lines("ComponentsOptions")) {
        if (LineValue(line) != "NoOverwrite")
            Report(SetupIni, number, fnOptionUnknown, LineValue(line));
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

void TChecker::CheckWithController() {
    // The setup files alone go into the scratch archive: the components are read from the
    // product folder directly, which spares compressing them.
    TScratch scratch;
    for (const char* name : {SetupIni, SetupLic, SetupJpg, BundleInfoIni}) {
        if (const std::optional<fs::path> path = TopFile(name))
            fs::copy_file(*path, scratch.Folder / "product" / path->filename());
    }
    TPackOptions pack;
    pack.ProductFolder = (scratch.Folder / "product").string();
    pack.OutputPath = (scratch.Folder / "Setup.dat").string();
    pack.Version = Version;
    pack.BuildDate = Archive::EncodeDateTime(2000, 1, 1, 0, 0, 0);
    pack.Jobs = 1;
    PackProduct(pack);

    TCheckEnvironment environment;
    std::unique_ptr<TSetupInstaller> setup;
    try {
        setup = std::make_unique<TSetupInstaller>(pack.OutputPath, environment);
    } catch (const std::exception& e) {
        Report(SetupIni, 0, fnSetupStops, e.what());
        return;
    }

    // Every pass of the run: each bundle item's, then the product's own.
    std::vector<const TSetupBundleItem*> passes;
    for (const auto& item : setup->BundleItems)
        passes.push_back(item.get());
    passes.push_back(nullptr);
    const TSetupBundleItem* anyItem = passes.front();

    // What the components install, by full path in lower case.
    std::set<std::string> installed;
    for (const TSetupBundleItem* item : passes) {
        for (const std::string& line : setup->Components) {
            const std::string source = setup->ExpandFolderSymbols(LineName(line), item);
            const std::string destination = setup->ExpandFolderSymbols(LineValue(line), item);
            const auto folder = Folders.find(Lower(source));
            if (source.empty() || destination.empty() || folder == Folders.end())
                continue;
            const fs::path root = fs::path(Options.ProductFolder) / folder->second;
            for (const fs::directory_entry& entry : fs::recursive_directory_iterator(root)) {
                std::string relative = fs::relative(entry.path(), root).generic_string();
                std::replace(relative.begin(), relative.end(), '/', '\\');
                installed.insert(Lower(JoinPath(destination, relative)));
            }
        }
    }

    // A value with folder symbols: a plug-in folder that stays empty, a symbol no rule
    // expands, and, for a file the product needs, whether a component installs it.
    const auto checkFolderValue = [&](int number, const std::string& raw, const TSetupBundleItem* item,
                                      bool isInstalledFile) {
        for (const TPluginFolder& plugin : PluginFolders) {
            if (raw.find(plugin.Symbol) != std::string::npos && ((*setup).*plugin.Field).empty()) {
                Report(SetupIni, number, fnPluginFolderNeverSet, plugin.Symbol);
                return;
            }
        }
        const std::string expanded = setup->ExpandFolderSymbols(raw, item);
        if (expanded.empty())
            return;
        const std::string leftover = LeftoverSymbol(expanded, true);
        if (!leftover.empty())
            Report(SetupIni, number, fnSymbolNotExpanded, leftover);
        else if (isInstalledFile && installed.count(Lower(expanded)) == 0)
            Report(SetupIni, number, fnFileNotInstalled, raw);
    };
    const auto checkText = [&](int number, const std::string& expanded) {
        const std::string leftover = LeftoverSymbol(expanded, false);
        if (!leftover.empty())
            Report(SetupIni, number, fnSymbolNotExpanded, leftover);
    };

    for (const auto& [line, number] : Lines("Components")) {
        const bool perItem = line.find("$BundleItem") != std::string::npos;
        checkFolderValue(number, LineName(line), perItem ? anyItem : nullptr, false);
        checkFolderValue(number, LineValue(line), perItem ? anyItem : nullptr, false);
    }
    for (const char* list : {"RegistrySettings", "GlobalRegistrySettings"}) {
        for (const auto& [line, number] : Lines(list)) {
            if (LineValue(line).rfind('#', 0) != 0)
                checkFolderValue(number, LineValue(line),
                                 line.find("$BundleItem") != std::string::npos ? anyItem : nullptr, false);
        }
    }
    for (const auto& [line, number] : Lines("Shortcuts")) {
        const TShortcutValue shortcut = setup->ReadShortcutValue(LineValue(line));
        checkFolderValue(number, shortcut.Target, nullptr, true);
        if (LineValue(line).find(',') != std::string::npos)
            checkText(number, shortcut.Title);
    }
    for (const auto& [line, number] : Lines("CallLibraries")) {
        if (LineValue(line).find_first_of("\\/:") != std::string::npos)
            checkFolderValue(number, LineValue(line), nullptr, true);
    }
    for (const char* key : {"Readme", "Product"}) {
        const std::string value = Ini->ReadString("Complete", key, "");
        if (!value.empty())
            checkFolderValue(KeyLine("Complete", key), value, nullptr, true);
    }
    // The controller's texts, as the wizard shows them.
    if (KeyLine("Complete", "Message") != 0)
        checkText(KeyLine("Complete", "Message"), setup->CompleteMessage);
    if (KeyLine("Setup", "InstallDescription") != 0)
        checkText(KeyLine("Setup", "InstallDescription"), setup->InstallDescription);
}

std::vector<TDiagnostic> TChecker::Run() {
    ScanProductFolder();
    for (const char* name : {SetupIni, SetupLic, SetupJpg}) {
        if (!TopFile(name)) {
            Report(name, 0, fnFileMissing);
            Fatal = true;
        }
    }
    for (const char* name : {SetupIni, SetupLic, BundleInfoIni})
        CheckText(name);
    CheckPicture();
    if (TopFile(SetupIni)) {
        Ini.emplace(ReadLines(SetupIni));
        CheckLayout();
        CheckRequiredKeys();
        CheckVersions();
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

std::string JsonString(const std::string& windows1252) {
    std::string out = "\"";
    for (const char c : Windows1252ToUtf8(windows1252)) {
        const auto b = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (b < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", b);
            out += escaped;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

const char* SeverityName(TSeverity severity) {
    return severity == TSeverity::Error ? "error" : "warning";
}

} // namespace

std::vector<TDiagnostic> CheckProduct(const TCheckOptions& options) {
    if (!fs::is_directory(options.ProductFolder))
        throw EPackError("The product folder \"" + options.ProductFolder + "\" does not exist");
    return TChecker(options).Run();
}

bool HasErrors(const std::vector<TDiagnostic>& diagnostics) {
    return std::any_of(diagnostics.begin(), diagnostics.end(),
                       [](const TDiagnostic& d) { return d.Severity == TSeverity::Error; });
}

std::string FormatDiagnostic(const TDiagnostic& diagnostic) {
    std::string where;
    if (!diagnostic.File.empty())
        where = diagnostic.File + (diagnostic.Line > 0 ? ":" + std::to_string(diagnostic.Line) : "") + ": ";
    return where + SeverityName(diagnostic.Severity) + ": " + diagnostic.Message;
}

std::string DiagnosticsJson(const std::vector<TDiagnostic>& diagnostics) {
    std::string out = "[";
    for (size_t i = 0; i < diagnostics.size(); ++i) {
        const TDiagnostic& d = diagnostics[i];
        out += i == 0 ? "\n  " : ",\n  ";
        out += "{\"file\": " + (d.File.empty() ? std::string("null") : JsonString(d.File));
        out += ", \"line\": " + (d.Line > 0 ? std::to_string(d.Line) : std::string("null"));
        out += ", \"severity\": \"" + std::string(SeverityName(d.Severity)) + "\"";
        out += ", \"message\": " + JsonString(d.Message) + "}";
    }
    return out + (diagnostics.empty() ? "]\n" : "\n]\n");
}
