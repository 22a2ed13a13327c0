#include "setup/SetupPlan.h"

#include <algorithm>
#include <tuple>

#include "common/CommonUtils.h"
#include "common/FileSystem.h"
#include "common/IniFile.h"
#include "common/Path.h"
#include "setupdata/UninstallRecord.h"

// ---- The machine -----------------------------------------------------------------------------

TPlanEnvironment::TPlanEnvironment() {
    // Where the detection finds the hosts (PluginHostKeys): the VST 3 and Pro Tools folders
    // need no key, they lie below Common Files.
    SetValue(rrLocalMachine, PluginHostKeys::Vst, PluginHostKeys::VstFolderValue,
             "C:\\Program Files\\Steinberg\\VstPlugins");
    SetValue(rrLocalMachine,
             std::string(PluginHostKeys::Photoshop) + "\\99.0\\" + PluginHostKeys::PhotoshopFolderKey, "",
             "C:\\Program Files\\Adobe\\Photoshop\\Plug-ins");
}

std::string TPlanEnvironment::ValueId(TRegistryRoot root, const std::string& key, const std::string& name) {
    const std::string path = key.rfind('\\', 0) == 0 ? key.substr(1) : key;
    return std::to_string(root) + AsciiLowerCase(ExcludeDelimiter(path)) + '\n' + AsciiLowerCase(name);
}

void TPlanEnvironment::SetValue(TRegistryRoot root, const std::string& key, const std::string& name,
                                const std::string& text) {
    Values[ValueId(root, key, name)] = text;
}

std::vector<std::string> TPlanEnvironment::ExistingFolders() {
    return {ProgramFilesFolder(),
            CommonFilesFolder(),
            ApplicationDataFolder(),
            DocumentsFolder(),
            StartMenuFolder(),
            DesktopFolder(),
            "C:\\Program Files\\Common Files\\VST3",
            "C:\\Program Files\\Common Files\\Digidesign\\DAE\\Plug-Ins",
            "C:\\Program Files\\Steinberg\\VstPlugins",
            "C:\\Program Files\\Adobe\\Photoshop\\Plug-ins"};
}

std::optional<std::vector<std::string>> TPlanEnvironment::SubkeyNames(TRegistryRoot root,
                                                                      const std::string& key) {
    // The keys below key that hold values, by their first element below it.
    const std::string prefix = ValueId(root, key, "");
    const std::string below = prefix.substr(0, prefix.size() - 1) + '\\';
    std::vector<std::string> names;
    bool exists = false;
    for (const auto& [id, text] : Values) {
        exists = exists || id.rfind(prefix, 0) == 0;
        if (id.rfind(below, 0) != 0)
            continue;
        exists = true;
        const std::string rest = id.substr(below.size(), id.find('\n') - below.size());
        const std::string name = rest.substr(0, rest.find('\\'));
        if (std::find(names.begin(), names.end(), name) == names.end())
            names.push_back(name);
    }
    if (!exists)
        return std::nullopt;
    return names;
}

std::optional<std::string> TPlanEnvironment::ReadString(TRegistryRoot root, const std::string& key,
                                                        const std::string& name) {
    const auto found = Values.find(ValueId(root, key, name));
    return found == Values.end() ? std::nullopt : std::optional<std::string>(found->second);
}

void TPlanEnvironment::AddFile(const std::string& path) {
    Files.insert(FileNameKey(path));
}

bool TPlanEnvironment::FileExists(const std::string& path) {
    return Files.count(FileNameKey(path)) != 0;
}

bool TPlanEnvironment::WriteString(TRegistryRoot root, const std::string& key, const std::string& name,
                                   const std::string& value) {
    Writes.push_back({root, key, name, false, value, 0});
    return true;
}

bool TPlanEnvironment::WriteInteger(TRegistryRoot root, const std::string& key, const std::string& name,
                                    int32_t value) {
    Writes.push_back({root, key, name, true, std::string(), value});
    return true;
}

bool TPlanEnvironment::CallLibraryExport(const std::string& path, const std::string& exportName) {
    Calls.push_back({path, exportName});
    return true;
}

// ---- The components ----------------------------------------------------------------------------

namespace {

// The engine's tree walk into a made-up destination, reported below it.
class TListTarget : public IExtractTarget {
public:
    TListTarget(std::string base, const std::function<void(const std::string&, uint64_t)>& visit)
        : Base(std::move(base)), Visit(visit) {}
    void PrepareFolder(const std::string& folder) override {
        if (folder.size() > Base.size())
            Visit(Relative(folder), 0);
    }
    void ExtractFile(TStream&, const Archive::TEntryRecord& record, const std::string& target,
                     uint32_t) override {
        Visit(Relative(target), static_cast<uint32_t>(record.FileSize));
    }

private:
    std::string Base;
    const std::function<void(const std::string&, uint64_t)>& Visit;
    // The native build joins with "/"; the plan's paths are Windows paths.
    std::string Relative(const std::string& path) const {
        std::string relative = path.substr(Base.size());
        std::replace(relative.begin(), relative.end(), PathDelimiter(), '\\');
        return relative;
    }
};

} // namespace

TComponentFiles ArchiveComponentFiles(TInstaller& installer) {
    return [&installer](const std::string& component,
                        const std::function<void(const std::string&, uint64_t)>& visit) {
        const std::string base = std::string("plan") + PathDelimiter();
        TListTarget target(base, visit);
        installer.ExtractFolder(component, base, 0, &target);
    };
}

// ---- The choices -------------------------------------------------------------------------------

std::vector<TPlanChoice> WizardChoices(const TSetupInstaller& setup) {
    TPlanChoice standard;
    standard.Name = "default";
    standard.Shortcuts = setup.AvailableShortcuts;
    std::vector<TPlanChoice> choices = {standard};
    const auto without = [&](const char* name, bool TPlanChoice::*choice) {
        TPlanChoice declined = standard;
        declined.Name = name;
        declined.*choice = false;
        choices.push_back(declined);
    };
    // Each plug-in page lets the user decline its host; the VST page its VST 3 option too,
    // when the setup carries VST 3 content.
    if (setup.VisiblePages.Contains(spVstPluginFolder)) {
        without("without VST 2 plug-ins", &TPlanChoice::Vst);
        if (setup.HasVst3Plugin)
            without("without VST 3 plug-ins", &TPlanChoice::Vst3);
    }
    if (setup.VisiblePages.Contains(spDigiPluginFolder))
        without("without Pro Tools plug-ins", &TPlanChoice::Digi);
    if (setup.VisiblePages.Contains(spPhotoshopPluginFolder))
        without("without Photoshop plug-ins", &TPlanChoice::Photoshop);
    if (!setup.AvailableShortcuts.Empty()) {
        TPlanChoice none = standard;
        none.Name = "without shortcuts";
        none.Shortcuts.Clear();
        choices.push_back(none);
    }
    if (setup.BundleItems.size() > 1) {
        for (size_t index = 0; index < setup.BundleItems.size(); ++index) {
            TPlanChoice alone = standard;
            alone.Name = "only " + setup.BundleItems[index]->Name;
            alone.Items.assign(setup.BundleItems.size(), false);
            alone.Items[index] = true;
            choices.push_back(alone);
        }
    }
    return choices;
}

// ---- The run -----------------------------------------------------------------------------------

std::string UninstallEntryKey(const std::string& keyName) {
    // As the engine registers the uninstaller (UninstallerWriter.cpp).
    return "\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + keyName;
}

namespace {

// The plan being made: the log and the folders as the engine's CreateFolder would leave them.
class TPlanner {
public:
    TPlanner(TSetupInstaller& setup, TPlanEnvironment& environment, TPlan& plan)
        : Setup(setup), Environment(environment), Plan(plan) {
        for (const std::string& folder : Environment.ExistingFolders()) {
            // The folder and every folder above it, down to the drive.
            for (std::string path = folder; !path.empty() && path.size() > 2;
                 path = ExcludeDelimiter(ParentFolder(path)))
                Folders.insert(FileNameKey(ExcludeDelimiter(path)));
        }
    }

    bool FolderExists(const std::string& path) const {
        return Folders.count(FileNameKey(ExcludeDelimiter(path))) != 0 || ExcludeDelimiter(path).size() == 2;
    }

    // TInstaller::CreateFolder on the planned machine: an existing folder is logged E, a new
    // one D after its missing parents; a parent created by this installation is not logged again.
    bool CreateFolder(const std::string& path, int line, const std::string& item) {
        if (path.empty())
            return false;
        if (FolderExists(path)) {
            Log(UninstallRecord::KindExistingFolder, path);
            return true;
        }
        const std::string trimmed = ExcludeDelimiter(path);
        if (trimmed.size() <= VolumeRoot(trimmed).size())
            return false;
        const std::string parent = ParentFolder(path);
        if (parent != path &&
            !(FolderExists(parent) && Created.count(FileNameKey(ExcludeDelimiter(parent))) != 0))
            CreateFolder(parent, line, item);
        Folders.insert(FileNameKey(trimmed));
        Created.insert(FileNameKey(trimmed));
        Log(UninstallRecord::KindFolder, path);
        TPlanItem folder;
        folder.Kind = pkFolder;
        folder.Path = IncludeDelimiter(path);
        folder.Line = line;
        folder.Created = true;
        folder.Item = item;
        Plan.Items.push_back(folder);
        return true;
    }

    void Log(char kind, const std::string& path) { Plan.Log.push_back(kind + path); }

    // One extraction of InstallItemComponents: the engine's walk with the run's switches.
    void Extract(const TComponentFiles& files, const std::string& line, const std::string& source,
                 const std::string& destination, const TSetupBundleItem* item) {
        const int index = static_cast<int>(&line - Setup.Components.data());
        const std::string folder = IncludeDelimiter(destination);
        const bool overwrite = !Setup.IsNoOverwrite(LineName(line));
        const bool vst3 = TSetupInstaller::IsVst3Component(LineValue(line));
        const std::string itemName = item != nullptr ? item->Name : std::string();
        std::set<std::string> handedOver;
        CreateFolder(folder, index, itemName);
        files(source, [&](const std::string& relative, uint64_t size) {
            if (!relative.empty() && relative.back() == '\\') {
                CreateFolder(folder + relative, index, itemName);
                return;
            }
            std::string target = folder + relative;
            const std::string written = target;
            if (vst3)
                TSetupInstaller::RenameVst3File(target);
            if (target.empty())
                return;
            // Without overwriting, a file handed over earlier in this extraction counts as
            // there, as it does for the engine.
            if (!overwrite && !handedOver.insert(FileNameKey(target)).second)
                return;
            const bool kept = !overwrite && Environment.FileExists(target);
            if (!kept)
                Log(UninstallRecord::KindFile, target);
            TPlanItem file;
            file.Kind = pkFile;
            file.Path = target;
            file.Line = index;
            file.Source = source + "\\" + relative;
            file.Size = size;
            file.Renamed = target != written;
            file.NoOverwrite = !overwrite;
            file.Kept = kept;
            file.Item = itemName;
            Plan.Items.push_back(file);
        });
    }

private:
    TSetupInstaller& Setup;
    TPlanEnvironment& Environment;
    TPlan& Plan;
    std::set<std::string> Folders; // by FileNameKey, without a trailing backslash
    std::set<std::string> Created;
};

// The index of the first line of list, not taken yet, for which matches holds.
int LineOf(const std::vector<std::string>& list, std::set<int>& taken,
           const std::function<bool(const std::string&)>& matches) {
    for (size_t index = 0; index < list.size(); ++index) {
        if (taken.count(static_cast<int>(index)) == 0 && matches(list[index])) {
            taken.insert(static_cast<int>(index));
            return static_cast<int>(index);
        }
    }
    return -1;
}

} // namespace

TPlan PlanInstallation(TSetupInstaller& setup, TPlanEnvironment& environment, const TComponentFiles& files,
                       const TPlanChoice& choice) {
    // The wizard's answers, put back when the plan is made.
    const auto saved =
        std::make_tuple(setup.InstallVstPlugin, setup.InstallVst3Plugin, setup.InstallDigiPlugin,
                        setup.InstallPhotoshopPlugin, setup.SelectedShortcuts);
    const std::string programFolder = setup.ProgramFolder;
    // As the wizard leaves the destination page: with a trailing backslash.
    setup.SetProgramFolder(programFolder);
    std::vector<bool> selected;
    for (const auto& item : setup.BundleItems)
        selected.push_back(item->Selected);
    setup.InstallVstPlugin = choice.Vst;
    setup.InstallVst3Plugin = choice.Vst3;
    setup.InstallDigiPlugin = choice.Digi;
    setup.InstallPhotoshopPlugin = choice.Photoshop;
    setup.SelectedShortcuts = choice.Shortcuts;
    for (size_t index = 0; index < setup.BundleItems.size(); ++index)
        setup.BundleItems[index]->Selected = choice.Items.empty() || choice.Items[index];

    TPlan plan;
    plan.Choice = choice;
    TPlanner planner(setup, environment, plan);
    environment.Writes.clear();
    environment.Calls.clear();

    // The run's order (Install): components, libraries, the two product keys, the registry
    // writers, shortcuts, the uninstaller.
    setup.ForEachExtraction(
        [&](const std::string& line, const std::string& source, const std::string& destination,
            const TSetupBundleItem* item) { planner.Extract(files, line, source, destination, item); });

    setup.RunCallLibraries();
    std::set<int> taken;
    for (const TPlanEnvironment::TCall& call : environment.Calls) {
        const int line = LineOf(setup.CallLibraries, taken, [&](const std::string& text) {
            return LineName(text) == call.Export &&
                   setup.ExpandFolderSymbols(LineValue(text), nullptr) == call.Path;
        });
        plan.Libraries.push_back({call.Path, call.Export, line});
    }

    planner.Log(UninstallRecord::KindCurrentUserKey, setup.RegistryKeyFor(setup.VersionKey));
    planner.Log(UninstallRecord::KindLocalMachineKey, setup.RegistryKeyFor(setup.VersionKey));
    setup.WriteProductLocation();
    setup.WriteFolderLocations();
    setup.WriteOwnerName();
    setup.WriteRegistrySettings();

    std::set<int> shortcutLines;
    setup.ForEachShortcut([&](const std::string& line, const std::string& linkFile, const std::string& target,
                              const TShortcutValue& shortcut) {
        TPlanItem link;
        link.Kind = pkShortcut;
        link.Path = linkFile;
        link.Line = static_cast<int>(&line - setup.Shortcuts.data());
        link.Source = target;
        link.Arguments = shortcut.Arguments;
        link.IconIndex = shortcut.IconIndex;
        planner.Log(UninstallRecord::KindFile, linkFile);
        plan.Items.push_back(link);
    });

    // RegisterUninstaller: the product folder is created when no component went into it.
    if (!planner.FolderExists(setup.ProgramFolder))
        planner.CreateFolder(setup.ProgramFolder, -1, std::string());
    TPlanItem uninstaller;
    uninstaller.Kind = pkUninstaller;
    uninstaller.Path = JoinPath(setup.ProgramFolder, "Uninst.exe");
    plan.Items.push_back(uninstaller);
    const std::string entry = UninstallEntryKey(setup.FullProductName());
    planner.Log(UninstallRecord::KindLocalMachineKey, entry);
    environment.Writes.push_back({rrLocalMachine, entry, "DisplayName", false, setup.FullProductName(), 0});
    environment.Writes.push_back(
        {rrLocalMachine, entry, "UninstallString", false, "\"" + uninstaller.Path + "\"", 0});
    for (const TPlanEnvironment::TWrite& write : environment.Writes)
        plan.Values.push_back({write.Root, write.Key, write.Name, write.IsInteger, write.Text, write.Number});

    std::tie(setup.InstallVstPlugin, setup.InstallVst3Plugin, setup.InstallDigiPlugin,
             setup.InstallPhotoshopPlugin, setup.SelectedShortcuts) = saved;
    setup.ProgramFolder = programFolder;
    for (size_t index = 0; index < setup.BundleItems.size(); ++index)
        setup.BundleItems[index]->Selected = selected[index];
    return plan;
}
