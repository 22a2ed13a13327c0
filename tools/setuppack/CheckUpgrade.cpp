// The plan of the last release (check --previous): whether this release finds the installation
// that the earlier one leaves, by the registry values and files its detection reads, and which
// files NoOverwrite keeps although this release brings other ones.

#include "tools/setuppack/CheckContext.h"

#include "common/CommonUtils.h"
#include "common/IniFile.h"
#include "common/Path.h"
#include "common/TextEncoding.h"

namespace Checking {

void TChecker::CheckUpgrade() {
    const std::string previous = Options.PreviousSetup;
    TPlanEnvironment oldMachine;
    std::unique_ptr<TSetupInstaller> old;
    TPlan oldPlan;
    try {
        old = std::make_unique<TSetupInstaller>(previous, oldMachine);
        oldPlan = PlanInstallation(*old, oldMachine, ArchiveComponentFiles(*old->Installer),
                                   WizardChoices(*old).front());
    } catch (const std::exception& e) {
        Report("", 0, fnPreviousUnreadable, previous, e.what());
        return;
    }
    const std::string oldVersion = old->ProductVersion().ToText();

    // The machine as the earlier release leaves it, and this release's controller on it.
    TPlanEnvironment machine;
    for (const TPlanValue& value : oldPlan.Values) {
        if (!value.IsInteger)
            machine.SetValue(value.Root, value.Key, value.Name, value.Text);
    }
    std::map<std::string, const TPlanItem*> oldFiles;
    for (const TPlanItem& item : oldPlan.Items) {
        if (item.Kind != pkFolder) {
            machine.AddFile(item.Path);
            oldFiles.emplace(FileNameKey(item.Path, CodePageUtf8), &item);
        }
    }
    TSetupInstaller upgrade(SetupData, machine);
    if (!upgrade.IsInstalled) {
        std::string why;
        int line = KeyLine("Setup", "RegistryRoot");
        if (!SameText(upgrade.RegistryRoot, old->RegistryRoot)) {
            why = "RegistryRoot was " + old->RegistryRoot.substr(1) + ", where it recorded its folder";
        } else if (old->ProductVersion().Major > Version.Major) {
            why = "it has a higher major version";
        } else {
            why = "[InstalledFiles] names a file for major version " +
                  std::to_string(old->ProductVersion().Major) + " that it does not install";
            line = Ini->SectionLines("InstalledFiles").HeaderLine;
        }
        Report(SetupIni, line, fnPreviousNotFound, oldVersion, fs::u8path(previous).filename().u8string(),
               why);
        return;
    }

    // Files that NoOverwrite keeps as the earlier release installed them although this one
    // brings a file of another size.
    const TPlan plan = PlanInstallation(upgrade, machine, ProductFiles(), WizardChoices(upgrade).front());
    std::map<int, std::pair<std::string, int>> kept; // by component line: first path, count
    for (const TPlanItem& item : plan.Items) {
        if (item.Kind != pkFile || !item.Kept)
            continue;
        const auto before = oldFiles.find(FileNameKey(item.Path, CodePageUtf8));
        if (before == oldFiles.end() || before->second->Size == item.Size)
            continue;
        auto& entry = kept[item.Line];
        if (entry.second++ == 0)
            entry.first = item.Path;
    }
    for (const auto& [index, entry] : kept) {
        const std::string name = LineName(Setup->Components[static_cast<size_t>(index)]);
        int line = Ini->SectionLines("ComponentsOptions").HeaderLine;
        for (const auto& [text, number] : Lines("ComponentsOptions")) {
            if (LineName(text) == name)
                line = number;
        }
        Report(SetupIni, line, fnNoOverwriteKeepsOld, entry.first, oldVersion, std::to_string(entry.second));
    }
}

} // namespace Checking
