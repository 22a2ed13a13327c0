// Reading Setup.ini, Setup.lic and BundleInfo.ini through the controller, and the errors that
// end the setup before the wizard opens.

#include <gtest/gtest.h>

#include <functional>
#include <typeinfo>

#include "common/Errors.h"
#include "common/FileSystem.h"
#include "common/Format.h"
#include "setup/SetupInstaller.h"
#include "tests/setup/SetupTestSupport.h"
#include "tests/support/TestValues.h"

namespace {

class SetupConfigurationTest : public ::testing::Test {
protected:
    TTestFolder Folder;
    TTestSystem System;

    std::unique_ptr<TSetupInstaller> Create(const TTestSetup& setup) {
        return CreateInstaller(WriteSetup(Folder, setup), System);
    }
    std::unique_ptr<TSetupInstaller> CreateWithIni(const std::string& ini) {
        TTestSetup setup;
        setup.Ini = ini;
        return Create(setup);
    }
    // The message of the error that construction raises, with its type's name.
    std::string ConstructionError(const TTestSetup& setup, const std::type_info*& type) {
        try {
            Create(setup);
        } catch (const std::exception& error) {
            type = &typeid(error);
            return error.what();
        }
        type = nullptr;
        return "<no error>";
    }
};

TEST_F(SetupConfigurationTest, ReadsSetupIni) {
    using TCheck = std::function<void(TSetupInstaller&)>;
    struct TCase {
        const char* Name;
        std::string Ini;
        TCheck Check;
    };
    const std::string setup = MinimalSetupSection;
    const TCase cases[] = {
        {"no [Pages] shows no optional page", setup, [](TSetupInstaller& s) { EXPECT_TRUE(s.VisiblePages.Empty()); }},
        {"pages", setup + "[Pages]\nVstPluginFolder=1\nDigiPluginFolder=0\nPhotoshopPluginFolder=abc\nPersonalization=$1",
         [](TSetupInstaller& s) { EXPECT_EQ(s.VisiblePages, TSetupPages({spVstPluginFolder, spPersonalization})); }},
        {"IgnoreMinorVersion absent", setup,
         [](TSetupInstaller& s) {
             EXPECT_TRUE(s.IgnoreMinorVersion);
             EXPECT_EQ(s.VersionKey, "5.0");
         }},
        {"IgnoreMinorVersion=0", setup + "IgnoreMinorVersion=0",
         [](TSetupInstaller& s) {
             EXPECT_FALSE(s.IgnoreMinorVersion);
             EXPECT_EQ(s.VersionKey, "5.1");
         }},
        {"IgnoreMinorVersion=abc", setup + "IgnoreMinorVersion=abc",
         [](TSetupInstaller& s) { EXPECT_TRUE(s.IgnoreMinorVersion); }},
        {"InstallDescription missing", setup, [](TSetupInstaller& s) { EXPECT_EQ(s.InstallDescription, "Velmora"); }},
        {"InstallDescription present and empty", setup + "InstallDescription=",
         [](TSetupInstaller& s) { EXPECT_EQ(s.InstallDescription, ""); }},
        {"InstallDescription expanded", setup + "InstallDescription=$ProductName $ProductVersion",
         [](TSetupInstaller& s) { EXPECT_EQ(s.InstallDescription, "Velmora 5.12"); }},
        {"RegistryRoot gets a leading backslash", setup,
         [](TSetupInstaller& s) { EXPECT_EQ(s.RegistryRoot, "\\Software\\SetupControllerTests\\Velmora"); }},
        {"RegistryRoot keeps its leading backslash",
         setup + "RegistryRoot=\\Software\\SetupControllerTests\\Velmora",
         [](TSetupInstaller& s) { EXPECT_EQ(s.RegistryRoot, "\\Software\\SetupControllerTests\\Velmora"); }},
        {"key in another letter case, blanks around", setup + "  productname  =  Velmora Pro  ",
         [](TSetupInstaller& s) { EXPECT_EQ(s.ProductName, "Velmora Pro"); }},
        {"IsBundle=0 needs no BundleRegistryRoot", setup + "IsBundle=0",
         [](TSetupInstaller& s) { EXPECT_FALSE(s.IsBundle); }},
        {"shortcut locations",
         setup + "[Shortcuts]\nStartMenu=$ProgramFolder\\Vm.exe,Velmora\nSTARTMENU=$ProgramFolder\\Readme.txt,Readme\n"
                 "ProgramFolder=$ProgramFolder\\Vm.exe,Velmora",
         [](TSetupInstaller& s) {
             EXPECT_EQ(s.Shortcuts.size(), 3u);
             EXPECT_EQ(s.AvailableShortcuts, TSetupShortcuts({scStartMenu}));
             EXPECT_TRUE(s.SelectedShortcuts.Empty());
         }},
        {"list sections whole and in order",
         setup + "[Components]\nProgram=$ProgramFolder\nPresets=%Presets\nProgram=$Documents\n"
                 "[ComponentsOptions]\nPresets=NoOverwrite\n[CallLibraries]\nRegister=$ProgramFolder\\Vm.dll\n"
                 "[RegistrySettings]\nGeneral\\Tips=#1\n[GlobalRegistrySettings]\nGeneral\\Folder=$ProgramFolder\n"
                 "[InstalledFiles]\n4=Vm.exe\n5=Vm5.exe\n[Folders]\nPresets=$Documents\\P\n"
                 "[FoldersRegistry]\nPresets=Folder\\Preset",
         [](TSetupInstaller& s) {
             EXPECT_EQ(s.Components, (std::vector<std::string>{"Program=$ProgramFolder", "Presets=%Presets",
                                                               "Program=$Documents"}));
             EXPECT_EQ(s.ComponentsOptions, std::vector<std::string>{"Presets=NoOverwrite"});
             EXPECT_EQ(s.CallLibraries, std::vector<std::string>{"Register=$ProgramFolder\\Vm.dll"});
             EXPECT_EQ(s.RegistrySettings, std::vector<std::string>{"General\\Tips=#1"});
             EXPECT_EQ(s.GlobalRegistrySettings, std::vector<std::string>{"General\\Folder=$ProgramFolder"});
             EXPECT_EQ(s.InstalledFiles, (std::vector<std::string>{"4=Vm.exe", "5=Vm5.exe"}));
             EXPECT_EQ(s.Folders, std::vector<std::string>{"Presets=$Documents\\P"});
             EXPECT_EQ(s.FoldersRegistry, std::vector<std::string>{"Presets=Folder\\Preset"});
         }},
        {"default completion message",
         setup,
         [](TSetupInstaller& s) {
             EXPECT_EQ(s.CompleteMessage, "Velmora has been installed successfully. You can start Velmora from the "
                                          "Start menu or the desktop. Please read the Readme.txt file for "
                                          "additional information.");
         }},
        {"completion message sees the description before it is expanded",
         setup + "InstallDescription=$ProductName Studio\n[Complete]\nMessage=Done: $InstallDescription ($ProductName)",
         [](TSetupInstaller& s) {
             EXPECT_EQ(s.CompleteMessage, "Done: $ProductName Studio (Velmora)");
             EXPECT_EQ(s.InstallDescription, "Velmora Studio");
         }},
        {"readme and product stay unexpanded until asked",
         setup + "[Complete]\nReadme=$ProgramFolder\\Readme.txt\nProduct=$VstPluginFolder\\Vm.exe",
         [](TSetupInstaller& s) {
             EXPECT_EQ(s.CompleteReadme, "$ProgramFolder\\Readme.txt");
             s.SetProgramFolder("C:\\Velmora");
             EXPECT_EQ(s.ReadmeFile(), "C:\\Velmora\\Readme.txt");
             s.InstallVstPlugin = false;
             EXPECT_EQ(s.ProductFile(), "");
         }},
        {"no readme", setup, [](TSetupInstaller& s) { EXPECT_EQ(s.ReadmeFile(), ""); }},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        auto installer = CreateWithIni(c.Ini);
        c.Check(*installer);
    }
}

TEST_F(SetupConfigurationTest, FailsOnInvalidConfiguration) {
    struct TCase {
        const char* Name;
        TTestSetup Setup;
        std::string Message;
        const std::type_info& Type;
    };
    const std::string invalid = "Invalid configuration in Setup.ini";
    auto ini = [](const std::string& text) {
        TTestSetup setup;
        setup.Ini = text;
        return setup;
    };
    TTestSetup noLicense = ini(MinimalSetupSection);
    noLicense.License.reset();
    TTestSetup bundleWithoutList = ini(std::string(MinimalSetupSection) + "IsBundle=1\nBundleRegistryRoot=X");
    TTestSetup badItemVersion = bundleWithoutList;
    badItemVersion.BundleInfo = "Reverb=1.02\nDelay=abc";
    TTestSetup itemVersionNoTime = bundleWithoutList;
    itemVersionNoTime.BundleInfo = "Reverb=1.6";
    TTestSetup itemMajorNoTime = bundleWithoutList;
    itemMajorNoTime.BundleInfo = "Reverb=24.0";
    TTestSetup unnamedBundle = ini("[Setup]\nIsBundle=1\nRegistryRoot=Software\\V\nDefaultFolder=V\nBundleRegistryRoot=X");
    unnamedBundle.BundleInfo = "Reverb=1.02";
    TTestSetup backslashBundle = unnamedBundle;
    backslashBundle.Ini += "\nProductSuffix=\\";
    const TCase cases[] = {
        {"bundle without ProductName and ProductSuffix", unnamedBundle, invalid, typeid(Exception)},
        {"bundle named by a backslash", backslashBundle, invalid, typeid(Exception)},
        {"no RegistryRoot", ini("[Setup]\nProductName=V\nDefaultFolder=V"), invalid, typeid(Exception)},
        {"empty RegistryRoot", ini("[Setup]\nRegistryRoot=\nDefaultFolder=V"), invalid, typeid(Exception)},
        {"no DefaultFolder", ini("[Setup]\nRegistryRoot=Software\\V"), invalid, typeid(Exception)},
        {"bundle without BundleRegistryRoot", ini(std::string(MinimalSetupSection) + "IsBundle=1"), invalid,
         typeid(Exception)},
        {"RegistryRoot only in an earlier [Setup]",
         ini(std::string(MinimalSetupSection) + "[Setup]\nDefaultFolder=V %d"), invalid, typeid(Exception)},
        {"DefaultFolder takes no integer", ini("[Setup]\nRegistryRoot=Software\\V\nDefaultFolder=V %s"),
         "Format 'V %s' invalid or incompatible with argument", typeid(EFormatError)},
        {"item version invalid", badItemVersion, "'abc' is not a valid version number", typeid(EProgramVersionError)},
        {"item minor no time of day", itemVersionNoTime, "Invalid argument to time encode", typeid(Exception)},
        {"item major no time of day", itemMajorNoTime, "Invalid argument to time encode", typeid(Exception)},
    };
    for (const TCase& c : cases) {
        const std::type_info* type = nullptr;
        EXPECT_EQ(ConstructionError(c.Setup, type), c.Message) << c.Name;
        EXPECT_TRUE(type != nullptr && *type == c.Type) << c.Name << ": " << (type ? type->name() : "none");
    }

    // Required files that are neither in the archive nor beside the program.
    for (const TTestSetup& setup : {noLicense, bundleWithoutList}) {
        const std::type_info* type = nullptr;
        const std::string message = ConstructionError(setup, type);
        EXPECT_EQ(message.rfind("Cannot open file \"", 0), 0u) << message;
        EXPECT_TRUE(type != nullptr && *type == typeid(EFOpenError)) << message;
    }
}

TEST_F(SetupConfigurationTest, SetupFilesBesideTheProgramStandInForMissingMembers) {
    TTestSetup setup;
    setup.Ini = std::string(MinimalSetupSection) + "ProductName=From the archive";
    setup.License.reset();
    const std::string path = WriteSetup(Folder, setup);
    WriteBytes(Folder.PathOf("Setup.lic"), "Beside\nthe program");
    WriteBytes(Folder.PathOf("Setup.ini"), std::string(MinimalSetupSection) + "ProductName=Beside");

    auto installer = CreateInstaller(path, System);
    EXPECT_EQ(installer->ProductName, "From the archive");
    EXPECT_EQ(installer->LicenseText, "Beside\r\nthe program\r\n");

    setup.IniInArchive = false;
    setup.License = "Archive licence\r\n";
    installer = CreateInstaller(WriteSetup(Folder, setup), System);
    EXPECT_EQ(installer->ProductName, "Beside");
    EXPECT_EQ(installer->LicenseText, "Archive licence\r\n");
    // Member names are found in any letter case; the stream starts at the beginning.
    auto stream = installer->ReadSetupFile("SETUP.LIC");
    EXPECT_EQ(stream->Position(), 0);
    EXPECT_EQ(stream->Size(), 17);

    // A signed program reads nothing from beside itself: the licence there counts as missing.
    setup.IniInArchive = true;
    setup.License.reset();
    const std::string signedPath = Folder.PathOf("Signed.exe");
    WriteBytes(signedPath,
               SignProgram(AppendToStub(BuildArchive(SetupEntries(setup), setup.ProductVersion), 256),
                           {std::string(16, 'c')}));
    EXPECT_THROW(CreateInstaller(signedPath, System), EFOpenError);
}

struct TExpectedItem {
    std::string Name;
    std::string ItemProductName;
    std::string Caption;
    std::string Version; // text form
};

TEST_F(SetupConfigurationTest, LoadsBundleItems) {
    struct TCase {
        const char* Name;
        std::string ItemName; // BundleItemName
        std::string BundleInfo;
        std::vector<TExpectedItem> Items;
    };
    const TCase cases[] = {
        {"empty list", "Velmora $BundleItem", "", {}},
        {"version alone", "Velmora $BundleItem", "Reverb=1.02", {{"Reverb", "Reverb", "Velmora Reverb 1.02", "1.02"}}},
        {"version and product name",
         "Velmora $BundleItem",
         "Reverb=1.02,Velmora Reverb\r\nDelay=2.1 beta 3,Velmora Delay, Stereo",
         {{"Reverb", "Velmora Reverb", "Velmora Reverb 1.02", "1.02"},
          {"Delay", "Velmora Delay, Stereo", "Velmora Delay 2.1 beta 3", "2.10 beta 3"}}},
        {"lines without a name are skipped",
         "$BundleItem",
         "\n=1.00\nNo equals sign\nChorus=1.00\n\n",
         {{"Chorus", "Chorus", "Chorus 1.00", "1.00"}}},
        {"lines are not trimmed", "[$BundleItem]", "Chorus = 1.00", {{"Chorus ", "Chorus ", "[Chorus ]  1.00", "1.00"}}},
        {"empty caption pattern", "", "Reverb=1.02", {{"Reverb", "Reverb", " 1.02", "1.02"}}},
        {"symbol case significant", "$BundleItem and $bundleitem $BundleItem", "Reverb=1.59",
         {{"Reverb", "Reverb", "Reverb and $bundleitem Reverb 1.59", "1.59"}}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TTestSetup setup;
        setup.Ini = std::string(MinimalSetupSection) + "IsBundle=1\nBundleRegistryRoot=Software\\Plugins\n" +
                    "BundleItemName=" + c.ItemName;
        setup.BundleInfo = c.BundleInfo;
        auto installer = Create(setup);
        EXPECT_EQ(installer->BundleRegistryRoot, "\\Software\\Plugins");
        ASSERT_EQ(installer->BundleItemCount(), static_cast<int>(c.Items.size()));
        for (size_t i = 0; i < c.Items.size(); ++i) {
            const TSetupBundleItem& item = installer->BundleItem(static_cast<int>(i));
            EXPECT_EQ(item.Name, c.Items[i].Name);
            EXPECT_EQ(item.ItemProductName, c.Items[i].ItemProductName);
            EXPECT_EQ(item.Caption, c.Items[i].Caption);
            EXPECT_EQ(item.Version.ToText(), c.Items[i].Version);
            EXPECT_TRUE(item.Selected);
        }
    }
}

TEST_F(SetupConfigurationTest, BundleListIsReadOnlyForBundles) {
    TTestSetup setup;
    setup.Ini = MinimalSetupSection;
    setup.BundleInfo = "Reverb=1.02";
    EXPECT_EQ(Create(setup)->BundleItemCount(), 0);
}

TEST(ItemFileDateTest, AddsTheVersionAsTimeOfDay) {
    struct TCase {
        uint32_t ArchiveDate;
        const char* Version;
        uint32_t Expected; // 0 with a message: the error
        const char* Error;
    };
    const TCase cases[] = {
        {DosStamp(2024, 5, 1, 0, 0), "1.02", DosStamp(2024, 5, 1, 1, 2), nullptr},
        {DosStamp(2024, 5, 1, 0, 0), "2.15", DosStamp(2024, 5, 1, 2, 15), nullptr},
        {DosStamp(2024, 5, 1, 0, 0), "1.59", DosStamp(2024, 5, 1, 1, 59), nullptr},
        {DosStamp(2024, 5, 1, 0, 0), "23.59", DosStamp(2024, 5, 1, 23, 59), nullptr},
        {DosStamp(2024, 5, 1, 5, 4, 58), "0.00 beta 2", DosStamp(2024, 5, 1, 5, 4, 58), nullptr},
        // Into the next day, month and year.
        {DosStamp(2024, 5, 1, 23, 30), "1.02", DosStamp(2024, 5, 2, 0, 32), nullptr},
        {DosStamp(2024, 2, 29, 23, 59, 30), "0.01", DosStamp(2024, 3, 1, 0, 0, 30), nullptr},
        {DosStamp(2023, 2, 28, 23, 0), "1.00", DosStamp(2023, 3, 1, 0, 0), nullptr},
        {DosStamp(2024, 12, 31, 22, 0), "2.00", DosStamp(2025, 1, 1, 0, 0), nullptr},
        {DosStamp(2107, 12, 31, 23, 0), "2.00", 0, nullptr}, // past the last DOS year
        {DosStamp(2024, 5, 1, 0, 0), "1.6", 0, "Invalid argument to time encode"},
        {DosStamp(2024, 5, 1, 0, 0), "24.0", 0, "Invalid argument to time encode"},
        {0, "1.02", 0, "Invalid argument to date encode"},
        {DosStamp(2023, 2, 29, 0, 0), "1.02", 0, "Invalid argument to date encode"},
    };
    for (const TCase& c : cases) {
        if (c.Error == nullptr) {
            EXPECT_EQ(ItemFileDate(c.ArchiveDate, Version(c.Version)), c.Expected) << c.Version;
            continue;
        }
        EXPECT_EQ(ErrorOf([&] { ItemFileDate(c.ArchiveDate, Version(c.Version)); }), c.Error) << c.Version;
    }
}

TEST_F(SetupConfigurationTest, ItemFilesCarryTheArchiveDatePlusTheItemVersion) {
    TTestSetup setup;
    setup.Ini = std::string(MinimalSetupSection) + "IsBundle=1\nBundleRegistryRoot=X";
    setup.BundleInfo = "Reverb=1.02\nDelay=2.15";
    setup.BuildDate = 45413.0; // 2024-05-01 00:00
    auto installer = Create(setup);
    EXPECT_EQ(installer->Installer->ArchiveFileDate, DosStamp(2024, 5, 1, 0, 0));
    EXPECT_EQ(installer->BundleItem(0).FileDate, DosStamp(2024, 5, 1, 1, 2));
    EXPECT_EQ(installer->BundleItem(1).FileDate, DosStamp(2024, 5, 1, 2, 15));
}

} // namespace
