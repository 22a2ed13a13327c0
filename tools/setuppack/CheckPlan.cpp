// The configuration as the controller loads it, the plans of what it installs for each choice
// of the wizard, and the rules over them: two items at one path, paths Windows refuses,
// destinations that are not where their line says, and choices that change nothing.

#include "tools/setuppack/CheckContext.h"

#include <algorithm>
#include <fstream>
#include <map>
#include <set>

#include "common/CommonUtils.h"
#include "common/IniFile.h"
#include "common/Path.h"
#include "common/TextEncoding.h"
#include "setup/SetupInstaller.h"
#include "setupdata/ArchiveFormat.h"
#include "tools/setuppack/CheckFindings.h"
#include "tools/setuppack/Packer.h"

namespace Checking {

namespace {

// The longest path Windows takes without the long-path prefix: MAX_PATH (260) less the
// terminating NUL. A longer file stops the copy half-way, before the uninstaller is written.
const size_t MaxPath = 259;
// What a user who picks a deeper folder than the default should still have: a folder as
// "D:\Audio\Plug-ins\Vendor" is 20 characters longer than "C:\Program Files".
const size_t PathMargin = 40;

// The path as Windows takes it: each folder or file name without its final dots and blanks,
// which the system drops ("Presets. " is the folder "Presets"); "." and ".." stay.
std::string AsWindowsTakesIt(const std::string& path) {
    std::string taken;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find('\\', start);
        if (end == std::string::npos)
            end = path.size();
        std::string name = path.substr(start, end - start);
        if (name != "." && name != "..")
            name.erase(name.find_last_not_of(". ") + 1);
        taken += name;
        if (end < path.size())
            taken += '\\';
        start = end + 1;
    }
    return taken;
}

} // namespace

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
    // Each component that holds a file stands in with one byte, so that the controller's own
    // test for VST 3 content (a component's size) answers as it will for the packed product.
    const TComponentFiles files = ProductFiles();
    for (const auto& [key, stored] : Product.Folders) {
        bool anyFile = false;
        files(stored, [&](const std::string& relative, uint64_t) {
            anyFile = anyFile || (!relative.empty() && relative.back() != '\\');
        });
        if (!anyFile)
            continue;
        const fs::path folder = scratch / "product" / fs::u8path(stored);
        fs::create_directories(folder);
        std::ofstream(folder / "content", std::ios::binary) << 'x';
    }
    TPackOptions pack;
    pack.ProductFolder = (scratch / "product").string();
    pack.OutputPath = (scratch / "Setup.dat").string();
    pack.Version = Version;
    pack.BuildDate = Archive::EncodeDateTime(2000, 1, 1, 0, 0, 0);
    pack.Jobs = 1;
    PackProduct(pack);

    SetupData = pack.OutputPath;
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

TComponentFiles TChecker::ProductFiles() {
    // Listed once, for every plan: the product folder's tree in the order pack stores it
    // (names sorted), .keep files left out. The names are the file system's (UTF-8), as the
    // setup program's engine names the archive's entries when it extracts them.
    return
        [this](const std::string& component, const std::function<void(const std::string&, uint64_t)>& visit) {
            const auto folder = Product.Folders.find(FileNameKey(component, CodePageUtf8));
            if (folder == Product.Folders.end())
                return;
            auto& files = ComponentFiles[folder->first];
            if (files.empty()) {
                const std::function<void(const fs::path&, const std::string&)> walk =
                    [&](const fs::path& path, const std::string& relative) {
                        std::vector<fs::directory_entry> entries;
                        std::error_code error;
                        for (fs::directory_iterator entry(path, error), end; !error && entry != end;
                             entry.increment(error))
                            entries.push_back(*entry);
                        std::sort(entries.begin(), entries.end());
                        for (const fs::directory_entry& entry : entries) {
                            const std::string name = entry.path().filename().u8string();
                            if (entry.is_directory(error)) {
                                files.emplace_back(relative + name + "\\", 0);
                                walk(entry.path(), relative + name + "\\");
                            } else if (name != ".keep") {
                                files.emplace_back(relative + name,
                                                   static_cast<uint64_t>(entry.file_size(error)));
                            }
                        }
                    };
                walk(fs::u8path(Options.ProductFolder) / fs::u8path(folder->second), std::string());
            }
            for (const auto& [relative, size] : files)
                visit(relative, size);
        };
}

fs::path TChecker::ProductPath(const std::string& source) const {
    std::string path = source;
    std::replace(path.begin(), path.end(), '\\', '/');
    return fs::u8path(Options.ProductFolder) / fs::u8path(path);
}

void TChecker::MakePlans() {
    const TComponentFiles files = ProductFiles();
    for (const TPlanChoice& choice : WizardChoices(*Setup))
        Plans.push_back(PlanInstallation(*Setup, Environment, files, choice));
    bool anyFile = false;
    for (const TPlanItem& item : Plans.front().Items) {
        Installed.insert(FileNameKey(item.Path, CodePageUtf8));
        anyFile = anyFile || item.Kind == pkFile;
    }
    if (!anyFile && !NothingReported)
        Report(SetupIni, Ini->SectionLines("Components").HeaderLine, fnNothingInstalled);
    InstallsFiles = anyFile;
}

int TChecker::ListLine(const std::string& section, int index) const {
    const TIniFile::TSectionLines lines = Ini->SectionLines(section);
    return index >= 0 && static_cast<size_t>(index) < lines.LineNumbers.size()
               ? lines.LineNumbers[static_cast<size_t>(index)]
               : lines.HeaderLine;
}

void TChecker::ReportOnce(const std::string& file, int line, TFinding finding, const std::string& a,
                          const std::string& b, const std::string& c) {
    const size_t before = Found.size();
    Report(file, line, finding, a, b, c);
    for (size_t index = 0; index < before; ++index) {
        if (Found[index].File == file && Found[index].Line == line &&
            Found[index].Message == Found.back().Message) {
            Found.pop_back();
            return;
        }
    }
}

// Two items at one path, and paths too long for Windows.
void TChecker::CheckPlanPaths(const TPlan& plan) {
    const auto lineOf = [&](const TPlanItem& item) {
        return item.Kind == pkShortcut ? ListLine("Shortcuts", item.Line) : ListLine("Components", item.Line);
    };
    std::map<std::string, const TPlanItem*> taken; // by FileNameKey
    for (const TPlanItem& item : plan.Items) {
        if (item.Kind == pkFolder)
            continue;
        const auto [earlier, isNew] =
            taken.emplace(FileNameKey(AsWindowsTakesIt(item.Path), CodePageUtf8), &item);
        const TPlanItem& first = *earlier->second;
        // A line without bundle symbols installs the same files in every item's pass: by design.
        if (!isNew && !(first.Kind == item.Kind && first.Line == item.Line && first.Source == item.Source)) {
            if (item.Kind == pkUninstaller)
                ReportOnce(SetupIni, lineOf(first), fnUninstallerOverwrites, first.Path);
            else if (item.Kind == pkShortcut && first.Kind == pkShortcut)
                ReportOnce(SetupIni, lineOf(item), fnShortcutCollides, item.Path,
                           std::to_string(lineOf(first)));
            else if (item.Kind == pkFile && first.Kind == pkFile && first.Line == item.Line)
                ReportOnce(SetupIni, lineOf(item), fnRenameCollides, item.Path, first.Source, item.Source);
            else
                ReportOnce(SetupIni, lineOf(item), fnPathTwice, item.Path, std::to_string(lineOf(first)));
        }
        if (item.Kind == pkUninstaller)
            continue;
        if (item.Path.size() > MaxPath)
            ReportOnce(SetupIni, lineOf(item), fnPathTooLong, item.Path, std::to_string(item.Path.size()));
        else if (item.Path.size() > MaxPath - PathMargin && plan.Choice.Name == "default")
            ReportOnce(SetupIni, lineOf(item), fnPathNearLimit, item.Path,
                       std::to_string(MaxPath - item.Path.size()));
    }
}

// Destinations as the controller expands them: a ".." that climbs out of the folder the line
// names, doubled backslashes, names that Windows shortens.
void TChecker::CheckDestinations() {
    const auto lines = Lines("Components");
    for (const auto& [line, number] : lines) {
        if (line.find('=') == std::string::npos)
            continue;
        const TSetupBundleItem* item = line.find("$BundleItem") != std::string::npos ? AnyItem : nullptr;
        const std::string destination = Setup->ExpandFolderSymbols(LineValue(line), item);
        if (destination.empty())
            continue;
        const std::string marked = "\\" + ReplaceAll(destination, "/", "\\") + "\\";
        // A line that can never be a full path is reported as written (CheckComponents);
        // this is one whose symbols make it relative, as a custom folder given without one.
        // A symbol left as written is reported as such (CheckFolderValue).
        if (!IsFullPath(destination) && TSetupInstaller::CanBeAbsoluteDestination(LineValue(line)) &&
            LeftoverSymbol(destination, true).empty())
            Report(SetupIni, number, fnDestinationNotFull, LineValue(line), destination);
        else if (marked.find("\\..\\") != std::string::npos)
            Report(SetupIni, number, fnDestinationClimbs, LineValue(line), destination);
        else if (destination.find("\\\\", 2) != std::string::npos ||
                 marked.find("\\.\\") != std::string::npos)
            Report(SetupIni, number, fnDestinationDoubled, LineValue(line));
        else if (const std::string windows = AsWindowsTakesIt(destination); windows != destination)
            Report(SetupIni, number, fnDestinationTrimmed, LineValue(line), windows);
    }
}

// A choice on the wizard's pages that installs exactly what the default installs.
void TChecker::CheckChoices() {
    // The same files, folders, shortcuts and registry values, in the same places.
    const auto sameItems = [](const TPlan& a, const TPlan& b) {
        if (a.Items.size() != b.Items.size() || a.Values.size() != b.Values.size() ||
            a.Libraries.size() != b.Libraries.size())
            return false;
        for (size_t index = 0; index < a.Items.size(); ++index) {
            if (a.Items[index].Path != b.Items[index].Path)
                return false;
        }
        for (size_t index = 0; index < a.Values.size(); ++index) {
            if (a.Values[index].Key != b.Values[index].Key || a.Values[index].Text != b.Values[index].Text)
                return false;
        }
        return true;
    };
    const std::pair<const char*, const char*> pages[] = {
        {"without VST 2 plug-ins", "VstPluginFolder"},
        {"without Pro Tools plug-ins", "DigiPluginFolder"},
        {"without Photoshop plug-ins", "PhotoshopPluginFolder"}};
    for (const TPlan& plan : Plans) {
        for (const auto& [choice, key] : pages) {
            if (plan.Choice.Name == choice && sameItems(plan, Plans.front()))
                Report(SetupIni, KeyLine("Pages", key), fnPageInstallsNothing, key);
        }
    }
    // What the next setup looks for to find this installation.
    for (const auto& [line, number] : Lines("InstalledFiles")) {
        const std::string major = LineName(line);
        if (major.empty() || major.find_first_not_of("0123456789") != std::string::npos)
            Report(SetupIni, number, fnInstalledFileMajor, major);
        else if (major == std::to_string(Version.Major) && InstallsFiles &&
                 Installed.count(FileNameKey(
                     JoinPath(IncludeDelimiter(Setup->ProgramFolder), LineValue(line)), CodePageUtf8)) == 0)
            Report(SetupIni, number, fnInstalledFileMissing, LineValue(line), major);
    }
    for (const auto& [line, number] : Lines("FoldersRegistry")) {
        const auto folders = Setup->Folders;
        if (std::none_of(folders.begin(), folders.end(), [&](const std::string& folder) {
                return SameText(LineName(folder), LineName(line));
            }))
            Report(SetupIni, number, fnFolderRegistryUnknown, LineName(line));
    }
    if (Setup->VisiblePages.Contains(spPersonalization) && Setup->PersonalizeOwner.empty())
        Report(SetupIni, KeyLine("Pages", "Personalization"), fnOwnerNotStored);
}

void TChecker::CheckWithController() {
    TScratch scratch;
    if (!LoadController(scratch.Folder))
        return;
    MakePlans();
    for (const TPlan& plan : Plans)
        CheckPlanPaths(plan);
    CheckDestinations();
    CheckChoices();
    CheckBinaries();
    CheckNotExpanded();
    if (!Options.PreviousSetup.empty())
        CheckUpgrade();
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

} // namespace Checking
