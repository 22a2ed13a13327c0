// What the controller finds on the system before the wizard opens: plug-in host folders,
// earlier installations, remembered folders and the owner name. Under Windows the registry keys
// are real ones of the tests' own, removed before and after each case.

#include <gtest/gtest.h>

#include <functional>

#include "common/FileSystem.h"
#include "common/Path.h"
#include "setup/SetupInstaller.h"
#include "tests/setup/SetupTestSupport.h"

namespace {

const std::string VersionRoot = TestRegistryRoot;

class SetupDetectionTest : public ::testing::Test {
public: // the cases' preparations use the helpers
    std::unique_ptr<TTestFolder> Folder = std::make_unique<TTestFolder>();
    std::unique_ptr<TTestSystem> System = std::make_unique<TTestSystem>();

    // A fresh system and folder for the next case of a table.
    void Reset() {
        System.reset();
        Folder = std::make_unique<TTestFolder>();
        System = std::make_unique<TTestSystem>();
    }
    std::unique_ptr<TSetupInstaller> Create(const std::string& iniTail, const std::string& version = "5.12",
                                            std::vector<TTestEntry> entries = {}) {
        TTestSetup setup;
        setup.Ini = std::string(MinimalSetupSection) + iniTail;
        setup.ProductVersion = Version(version);
        setup.Entries = std::move(entries);
        return CreateInstaller(WriteSetup(*Folder, setup), *System);
    }
    // An earlier installation's folder in the scratch folder, with files in it.
    std::string InstalledFolder(const std::string& name, const std::vector<std::string>& files) {
        const std::string folder = Folder->PathOf(name);
        MakeFile(folder + PathDelimiter() + "marker");
        for (const std::string& file : files)
            MakeFile(folder + PathDelimiter() + file);
        return folder;
    }
    void RegisterVersion(const std::string& subkey, const std::string& versionString, const std::string& location) {
        System->CreateKey(rrLocalMachine, VersionRoot + "\\" + subkey);
        if (!versionString.empty())
            System->WriteString(rrLocalMachine, VersionRoot + "\\" + subkey, "VersionString", versionString);
        if (!location.empty())
            System->WriteString(rrLocalMachine, VersionRoot + "\\" + subkey, "Location", location);
    }
    std::string DefaultProgramFolder(const std::string& name) {
        return JoinPath(System->Environment().ProgramFilesFolder(), name);
    }
};

TEST_F(SetupDetectionTest, FindsPluginHostFolders) {
    auto setup = Create("");
    EXPECT_EQ(setup->DigiPluginFolder,
              JoinPath(System->Environment().CommonFilesFolder(), "Digidesign\\DAE\\Plug-Ins"));
    EXPECT_EQ(setup->Vst3PluginFolder, JoinPath(System->Environment().CommonProgramFilesFolder(), "VST3"));
    EXPECT_TRUE(setup->InstallVstPlugin && setup->InstallVst3Plugin && setup->InstallDigiPlugin &&
                setup->InstallPhotoshopPlugin);
}

TEST_F(SetupDetectionTest, ReadsTheVstPluginPath) {
    struct TCase {
        const char* Name;
        std::function<void(TTestSystem&)> Prepare;
        const char* Expected;
    };
    const TCase cases[] = {
        {"no key", [](TTestSystem&) {}, ""},
        {"key without the value", [](TTestSystem& s) { s.CreateKey(rrLocalMachine, TestVstKey); }, ""},
        {"path", [](TTestSystem& s) { s.WriteString(rrLocalMachine, TestVstKey, "VstPluginsPath", "D:\\VstPlugins"); },
         "D:\\VstPlugins"},
        {"value of the wrong type",
         [](TTestSystem& s) { s.WriteInteger(rrLocalMachine, TestVstKey, "VstPluginsPath", 7); }, ""},
    };
    for (const TCase& c : cases) {
        Reset();
        c.Prepare(*System);
        EXPECT_EQ(Create("")->VstPluginFolder, c.Expected) << c.Name;
    }
}

TEST_F(SetupDetectionTest, ChoosesTheNewestPhotoshop) {
    struct TCase {
        const char* Name;
        std::vector<std::string> Subkeys; // in creation order; each has PluginPath "P<subkey>"
        bool Page;
        const char* Expected;
    };
    const TCase cases[] = {
        {"highest major, whatever the order", {"11.0", "9.0", "10.0"}, true, "P11.0"},
        {"equal majors: the first listed", {"8.0", "8.0.1"}, true, "P8.0"},
        {"no numbered subkey", {"Settings"}, true, ""},
        {"names that are not numbers count as 0", {"CS6", "7.0", "x9.0", "$A.0"}, true, "P7.0"},
        {"major 0 is never chosen", {"0.9"}, true, ""},
        {"no Photoshop page, no detection", {"11.0"}, false, ""},
        {"no Photoshop", {}, true, ""},
    };
    for (const TCase& c : cases) {
        Reset();
        for (const std::string& subkey : c.Subkeys)
            System->WriteString(rrLocalMachine, std::string(TestPhotoshopKey) + "\\" + subkey + "\\PluginPath", "",
                                "P" + subkey);
        EXPECT_EQ(Create(c.Page ? "[Pages]\nPhotoshopPluginFolder=1" : "")->PhotoshopPluginFolder, c.Expected)
            << c.Name;
    }

    // The chosen version without a plug-in path, or with one of the wrong type.
    Reset();
    System->WriteString(rrLocalMachine, std::string(TestPhotoshopKey) + "\\9.0\\PluginPath", "", "P9.0");
    System->CreateKey(rrLocalMachine, std::string(TestPhotoshopKey) + "\\10.0");
    EXPECT_EQ(Create("[Pages]\nPhotoshopPluginFolder=1")->PhotoshopPluginFolder, "");
    System->WriteInteger(rrLocalMachine, std::string(TestPhotoshopKey) + "\\10.0\\PluginPath", "", 1);
    EXPECT_EQ(Create("[Pages]\nPhotoshopPluginFolder=1")->PhotoshopPluginFolder, "");
}

TEST_F(SetupDetectionTest, DetectsEarlierInstallations) {
    struct TCase {
        const char* Name;
        const char* ProductVersion;
        const char* InstalledFiles; // lines of [InstalledFiles]
        // Registers versions; returns the folder of the earlier installation that is to be
        // confirmed, or "" when none is.
        std::function<std::string(SetupDetectionTest&)> Prepare;
        bool IsInstalled;
        const char* InstalledVersion;
        const char* InstalledVersionKey;
    };
    const TCase cases[] = {
        {"no product key", "5.12", "", [](SetupDetectionTest&) { return std::string(); }, false, "0.00", ""},
        {"4.0 and 5.0 installed: the same major wins", "5.12", "4=Vm.exe\n5=Vm5.exe",
         [](SetupDetectionTest& t) {
             t.RegisterVersion("4.0", "4.03", t.InstalledFolder("Velmora 4", {"Vm.exe"}));
             const std::string five = t.InstalledFolder("Velmora 5", {"Vm5.exe"});
             t.RegisterVersion("5.0", "5.02 beta 3", five);
             return five;
         },
         true, "5.02 beta 3", "5.0"},
        {"only an older major: new default folder", "5.12", "4=Vm.exe",
         [](SetupDetectionTest& t) {
             const std::string four = t.InstalledFolder("Velmora 4", {"Vm.exe"});
             t.RegisterVersion("4.0", "4.03", four);
             return four;
         },
         true, "4.03", "4.0"},
        {"a higher major is ignored", "5.12", "",
         [](SetupDetectionTest& t) {
             t.RegisterVersion("6.0", "6.00", t.InstalledFolder("Velmora 6", {}));
             return std::string();
         },
         false, "0.00", ""},
        {"a higher release of the same major counts", "5.12", "",
         [](SetupDetectionTest& t) {
             const std::string five = t.InstalledFolder("Velmora 5", {});
             t.RegisterVersion("5.0", "5.20", five);
             return five;
         },
         true, "5.20", "5.0"},
        {"no VersionString: the subkey name is the version", "5.12", "",
         [](SetupDetectionTest& t) {
             const std::string four = t.InstalledFolder("Velmora 4", {});
             t.RegisterVersion("4.0", "", four);
             t.RegisterVersion("Settings", "", t.InstalledFolder("Settings", {}));
             return four;
         },
         true, "4.00", "4.0"},
        {"VersionString of the wrong type: the subkey name", "5.12", "",
         [](SetupDetectionTest& t) {
             const std::string five = t.InstalledFolder("Velmora 5", {});
             t.RegisterVersion("5.0", "", five);
             t.System->WriteInteger(rrLocalMachine, VersionRoot + "\\5.0", "VersionString", 5);
             return five;
         },
         true, "5.00", "5.0"},
        {"invalid VersionString skips the subkey", "5.12", "",
         [](SetupDetectionTest& t) {
             t.RegisterVersion("5.0", "five", t.InstalledFolder("Velmora 5", {}));
             return std::string();
         },
         false, "0.00", ""},
        {"files of the found major missing", "3.50", "2=Vm.exe\n3=Vm3.exe",
         [](SetupDetectionTest& t) {
             t.RegisterVersion("3.0", "3.10", t.InstalledFolder("Velmora 3", {"Vm.exe"}));
             return std::string();
         },
         false, "3.10", "3.0"},
        {"all files of the found major present", "3.50", "2=Vm.exe\n3=Vm3.exe\n3=Sub\\Vm3.dat",
         [](SetupDetectionTest& t) {
             const std::string three =
                 t.InstalledFolder("Velmora 3", {"Vm3.exe", std::string("Sub") + PathDelimiter() + "Vm3.dat"});
             t.RegisterVersion("3.0", "3.10", three);
             return three;
         },
         true, "3.10", "3.0"},
        {"no Location", "5.12", "",
         [](SetupDetectionTest& t) {
             t.RegisterVersion("5.0", "5.02", "");
             return std::string();
         },
         false, "5.02", "5.0"},
        {"Location of the wrong type", "5.12", "",
         [](SetupDetectionTest& t) {
             t.RegisterVersion("5.0", "5.02", "");
             t.System->WriteInteger(rrLocalMachine, VersionRoot + "\\5.0", "Location", 1);
             return std::string();
         },
         false, "5.02", "5.0"},
        // The version key of 5.10 is 5.0 (minor ignored), whose folder lacks Vm5.exe.
        {"the location of the found version's key", "5.12", "5=Vm5.exe",
         [](SetupDetectionTest& t) {
             t.RegisterVersion("5.0", "5.02", t.InstalledFolder("Velmora 5", {}));
             t.RegisterVersion("5.1", "5.10", t.InstalledFolder("Velmora 51", {"Vm5.exe"}));
             return std::string();
         },
         false, "5.10", "5.0"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        Reset();
        const std::string location = c.Prepare(*this);
        auto setup = Create(std::string("DefaultFolder=Velmora %d\n[InstalledFiles]\n") + c.InstalledFiles,
                            c.ProductVersion);
        EXPECT_EQ(setup->IsInstalled, c.IsInstalled);
        EXPECT_EQ(setup->InstalledVersion.ToText(), c.InstalledVersion);
        EXPECT_EQ(setup->InstalledVersionKey, c.InstalledVersionKey);
        EXPECT_EQ(setup->InstalledLocation, location.empty() ? "" : IncludeDelimiter(location));
        // Within one major version the upgrade goes into the existing folder.
        const int major = Version(c.ProductVersion).Major;
        const bool sameMajor = !location.empty() && Version(c.InstalledVersion).Major == major;
        EXPECT_EQ(setup->ProgramFolder,
                  sameMajor ? IncludeDelimiter(location) : DefaultProgramFolder("Velmora " + std::to_string(major)));
    }
}

TEST_F(SetupDetectionTest, FormatsTheDefaultFolder) {
    EXPECT_EQ(Create("DefaultFolder=Vendor\\Velmora %d")->ProgramFolder, DefaultProgramFolder("Vendor\\Velmora 5"));
    EXPECT_EQ(Create("DefaultFolder=Velmora")->ProgramFolder, DefaultProgramFolder("Velmora"));
    EXPECT_EQ(Create("DefaultFolder=Velmora 100%% v%.2d", "7.00")->ProgramFolder,
              DefaultProgramFolder("Velmora 100% v07"));
}

TEST_F(SetupDetectionTest, RemembersFoldersWithinOneMajorVersion) {
    const std::string ini = "[Folders]\n"
                            "Presets=$Documents\\Velmora 5\\Presets\n"
                            "Open=C:\\Open\n"
                            "Export=C:\\Export\n"
                            "[FoldersRegistry]\n"
                            "Presets=Folder\\Preset\n";
    struct TCase {
        const char* Name;
        const char* Installed; // registered version, "" for none
        std::function<void(TTestSystem&)> Remember;
        std::vector<std::string> Expected; // FolderPath of Presets, Open, Export
    };
    const std::string userKey4 = VersionRoot + "\\4.0";
    const std::string userKey5 = VersionRoot + "\\5.0";
    const TCase cases[] = {
        {"same major: the remembered folders", "5.02",
         [&](TTestSystem& s) {
             s.WriteString(rrCurrentUser, userKey5 + "\\Folder", "Preset", "D:\\My Presets");
             s.WriteString(rrCurrentUser, userKey5, "", "D:\\Last\\");
         },
         {"D:\\My Presets\\", "D:\\Last\\", "D:\\Last\\"}},
        {"new major: fresh folders", "4.03",
         [&](TTestSystem& s) {
             s.WriteString(rrCurrentUser, userKey4 + "\\Folder", "Preset", "D:\\My Presets");
             s.WriteString(rrCurrentUser, userKey4, "", "D:\\Last");
         },
         {"$Documents\\Velmora 5\\Presets", "C:\\Open", "C:\\Export"}},
        {"no earlier installation", "",
         [&](TTestSystem& s) { s.WriteString(rrCurrentUser, userKey5 + "\\Folder", "Preset", "D:\\My Presets"); },
         {"$Documents\\Velmora 5\\Presets", "C:\\Open", "C:\\Export"}},
        {"empty and wrong-type values keep the defaults", "5.02",
         [&](TTestSystem& s) {
             s.WriteString(rrCurrentUser, userKey5 + "\\Folder", "Preset", "");
             s.WriteInteger(rrCurrentUser, userKey5, "", 3);
         },
         {"$Documents\\Velmora 5\\Presets", "C:\\Open", "C:\\Export"}},
        {"nothing remembered", "5.02", [&](TTestSystem&) {},
         {"$Documents\\Velmora 5\\Presets", "C:\\Open", "C:\\Export"}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        Reset();
        if (*c.Installed != '\0')
            RegisterVersion(std::string(c.Installed).substr(0, 1) + ".0", c.Installed,
                            InstalledFolder("Velmora", {}));
        c.Remember(*System);
        auto setup = Create(ini);
        for (size_t i = 0; i < c.Expected.size(); ++i)
            EXPECT_EQ(setup->FolderPath(static_cast<int>(i)), c.Expected[i]) << i;
    }

    // The expansion takes the remembered folder without its trailing backslash.
    Reset();
    RegisterVersion("5.0", "5.02", InstalledFolder("Velmora", {}));
    System->WriteString(rrCurrentUser, userKey5 + "\\Folder", "Preset", "D:\\My Presets\\");
    EXPECT_EQ(Create(ini)->ExpandFolderSymbols("%Presets\\Warm.preset", nullptr), "D:\\My Presets\\Warm.preset");
}

TEST_F(SetupDetectionTest, ProposesTheOwnerName) {
    struct TCase {
        const char* Name;
        const char* PersonalizeOwner;
        const char* Installed; // registered version, "" for none
        std::function<void(TTestSystem&)> Store;
        const char* InstalledOwner;
        bool UserName; // OwnerName is the Windows user name
    };
    const std::string key5 = VersionRoot + "\\5.0";
    const std::string key4 = VersionRoot + "\\4.0";
    const TCase cases[] = {
        {"stored owner", "General\\Owner", "5.02",
         [&](TTestSystem& s) { s.WriteString(rrCurrentUser, key5 + "\\General", "Owner", "Ann Example"); },
         "Ann Example", false},
        {"stored by an older major", "Owner", "4.03",
         [&](TTestSystem& s) { s.WriteString(rrCurrentUser, key4, "Owner", "Ben Example"); }, "Ben Example", false},
        {"none stored", "General\\Owner", "5.02", [&](TTestSystem&) {}, "", true},
        {"stored, but no earlier installation", "General\\Owner", "",
         [&](TTestSystem& s) { s.WriteString(rrCurrentUser, key5 + "\\General", "Owner", "Ann Example"); }, "", true},
        {"wrong type", "General\\Owner", "5.02",
         [&](TTestSystem& s) { s.WriteInteger(rrCurrentUser, key5 + "\\General", "Owner", 1); }, "", true},
        {"empty owner setting: no lookup", "", "5.02",
         [&](TTestSystem& s) { s.WriteString(rrCurrentUser, key5, "", "D:\\Last folder"); }, "", true},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        Reset();
        if (*c.Installed != '\0')
            RegisterVersion(std::string(c.Installed).substr(0, 1) + ".0", c.Installed,
                            InstalledFolder("Velmora", {}));
        c.Store(*System);
        auto setup = Create(std::string("PersonalizeOwner=") + c.PersonalizeOwner);
        EXPECT_EQ(setup->InstalledOwner, c.InstalledOwner);
        EXPECT_EQ(setup->OwnerName, c.UserName ? System->Environment().UserName() : c.InstalledOwner);
    }
    EXPECT_NE(System->Environment().UserName(), "");
}

TEST_F(SetupDetectionTest, FindsVst3Content) {
    const std::vector<TTestEntry> entries = {
        TTestEntry::Dir("VST3", {TTestEntry::File("Velmora.dll", "dll")}),
        TTestEntry::Dir("Empty VST3", {TTestEntry::Dir("Nothing")}),
        TTestEntry::Dir("Zero VST3", {TTestEntry::File("zero.dll", "")}),
        TTestEntry::Dir("Reverb VST3", {TTestEntry::File("Reverb.dll", "r")}),
        TTestEntry::Dir("Delay VST3", {TTestEntry::File("Delay.dll", "d")}),
        TTestEntry::Dir("Chorus VST3"),
        TTestEntry::Dir("Program", {TTestEntry::File("Vm.exe", "exe")}),
    };
    struct TCase {
        const char* Name;
        std::string Ini;
        std::string BundleInfo; // empty: no bundle
        bool HasVst3Plugin;
        const char* Vst3ItemList;
    };
    const std::string bundle = "IsBundle=1\nBundleRegistryRoot=Software\\SetupControllerTests\\Plugins\n";
    const TCase cases[] = {
        {"component with content", "[Components]\nProgram=$ProgramFolder\nVST3=$Vst3PluginFolder", "", true, ""},
        {"to the program folder's VST3 folder", "[Components]\nVST3=$Vst3ProgramFolder\\VST3", "", true, ""},
        {"only empty folders", "[Components]\nEmpty VST3=$Vst3PluginFolder", "", false, ""},
        {"only empty files", "[Components]\nZero VST3=$Vst3PluginFolder", "", false, ""},
        {"missing folder", "[Components]\nMissing=$Vst3PluginFolder", "", false, ""},
        {"VST 2 destination", "[Components]\nVST3=$VstPluginFolder", "", false, ""},
        {"item component without an item", "[Components]\n$BundleItem VST3=$Vst3PluginFolder", "", false, ""},
        {"two of three items", bundle + "[Components]\n$BundleItem VST3=$Vst3PluginFolder",
         "Reverb=1.00\nChorus=1.00\nDelay=1.00", true, "Reverb, Delay"},
        {"all items", bundle + "[Components]\n$BundleItem VST3=$Vst3PluginFolder", "Reverb=1.00\nDelay=1.00", true,
         ""},
        {"no item", bundle + "[Components]\n$BundleItem VST3=$Vst3PluginFolder", "Chorus=1.00", false, ""},
        {"empty bundle", bundle + "[Components]\n$BundleItem VST3=$Vst3PluginFolder", "", false, ""},
        {"shared component counts for every item", bundle + "[Components]\nVST3=$Vst3PluginFolder",
         "Chorus=1.00\nReverb=1.00", true, ""},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        Reset();
        TTestSetup setup;
        setup.Ini = std::string(MinimalSetupSection) + c.Ini;
        setup.Entries = entries;
        if (c.Ini.find("IsBundle=1") != std::string::npos)
            setup.BundleInfo = c.BundleInfo;
        auto installer = CreateInstaller(WriteSetup(*Folder, setup), *System);
        EXPECT_EQ(installer->HasVst3Plugin, c.HasVst3Plugin);
        EXPECT_EQ(installer->Vst3ItemList, c.Vst3ItemList);
    }
}

} // namespace
