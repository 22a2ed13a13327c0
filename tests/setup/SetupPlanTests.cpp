// The plan of an installation: one bundle product whose plan shows each of the run's rules at
// once (item passes, the VST 3 rename, NoOverwrite, folders created and found, the two product
// keys, shortcuts, the uninstaller), as the install log the uninstaller would replay; and the
// choices the wizard offers for it. Its accented names (Windows-1252 in the setup files and the
// archive) are planned in the code page the program runs with.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/TextEncoding.h"
#include "setup/SetupPlan.h"
#include "tests/setup/SetupTestSupport.h"

namespace {

const char* const PlanIni = "[Setup]\r\n"
                            "IsBundle=1\r\n"
                            "ProductName=Velmora\r\n"
                            "RegistryRoot=Software\\Velmora\r\n"
                            "BundleRegistryRoot=Software\\Velmora Items\r\n"
                            "DefaultFolder=Velmora %d\r\n"
                            "[Pages]\r\n"
                            "VstPluginFolder=1\r\n"
                            "[Components]\r\n"
                            "$BundleItem=$Vst3PluginFolder\r\n"
                            "Doc\xE9s=$ProgramFolder\r\n"
                            "[ComponentsOptions]\r\n"
                            "Doc\xE9s=NoOverwrite\r\n"
                            "[CallLibraries]\r\n"
                            "Register=$ProgramFolder\\Manual.dll\r\n"
                            "[RegistrySettings]\r\n"
                            "$BundleItem\\On=#1\r\n"
                            "[Shortcuts]\r\n"
                            "StartMenu=$ProgramFolder\\Manual.pdf,Manu\xE9l\r\n";

TEST(SetupPlanTest, ListsWhatTheRunDoesInItsOrder) {
    TTestFolder folder;
    TTestSetup setup;
    setup.Ini = PlanIni;
    setup.BundleInfo = "Reverb=1.02\r\nDelay=1.10\r\n";
    setup.Entries = {TTestEntry::Dir("Reverb", {TTestEntry::File("Reverb.dll", "r")}),
                     TTestEntry::Dir("Delay", {TTestEntry::File("Delay.DLL", "d")}),
                     TTestEntry::Dir("Doc\xE9s", {TTestEntry::File("Manual.pdf", "m")})};
    TPlanEnvironment machine;
    TSetupInstaller controller(WriteSetup(folder, setup), machine);
    const std::vector<TPlanChoice> choices = WizardChoices(controller);
    std::vector<std::string> names;
    for (const TPlanChoice& choice : choices)
        names.push_back(choice.Name);
    EXPECT_EQ(names, (std::vector<std::string>{"default", "without VST 2 plug-ins", "without VST 3 plug-ins",
                                               "without shortcuts", "only Reverb", "only Delay"}));

    const TPlan plan =
        PlanInstallation(controller, machine, ArchiveComponentFiles(*controller.Installer), choices[0]);
    const std::string vst3 = "C:\\Program Files\\Common Files\\VST3\\";
    const std::string product = "C:\\Program Files\\Velmora 5\\";
    EXPECT_EQ(plan.Log, (std::vector<std::string>{
                            "E" + vst3, "F" + vst3 + "Reverb.vst3", // Reverb's pass
                            "EC:\\Program Files\\", "D" + product, "F" + product + "Manual.pdf", "E" + vst3,
                            "F" + vst3 + "Delay.vst3", // Delay's pass
                            "E" + product, "F" + product + "Manual.pdf", "E" + product,
                            "F" + product + "Manual.pdf", // the product's
                            "U\\Software\\Velmora\\5.0", "M\\Software\\Velmora\\5.0",
                            "FC:\\Users\\User\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\" +
                                ProductText("Manu\xE9l.lnk"),
                            "M\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Velmora"}));
    ASSERT_EQ(plan.Libraries.size(), 1u);
    EXPECT_EQ(plan.Libraries[0].Path, product + "Manual.dll");
    EXPECT_EQ(plan.Libraries[0].Line, 0);
    bool itemValue = false;
    for (const TPlanValue& value : plan.Values)
        itemValue = itemValue || (value.Key == "\\Software\\Velmora Items\\Delay\\1.0" &&
                                  value.Name == "On" && value.IsInteger && value.Number == 1);
    EXPECT_TRUE(itemValue) << "the item's setting below the bundle's registry root, as a number";
    EXPECT_TRUE(plan.Items[0].Renamed && plan.Items[0].Item == "Reverb");
    EXPECT_EQ(plan.Items[2].Source, ProductText("Doc\xE9s\\Manual.pdf"));
    // The choices are the plan's alone: the controller keeps the user's.
    EXPECT_TRUE(controller.InstallVst3Plugin && controller.BundleItems[1]->Selected);
    const TPlan alone =
        PlanInstallation(controller, machine, ArchiveComponentFiles(*controller.Installer), choices[4]);
    for (const std::string& entry : alone.Log)
        EXPECT_EQ(entry.find("Delay"), std::string::npos) << entry;
}

} // namespace
