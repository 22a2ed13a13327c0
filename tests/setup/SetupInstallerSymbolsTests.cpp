// Folder and text symbols, product names, version keys and registry paths.

#include <gtest/gtest.h>

#include "setup/SetupInstaller.h"
#include "tests/setup/SetupTestSupport.h"

namespace {

class SetupSymbolsTest : public ::testing::Test {
protected:
    TTestFolder Folder;
    TTestSystem System;
    std::unique_ptr<TSetupInstaller> Setup;
    std::unique_ptr<TSetupBundleItem> Reverb;

    void SetUp() override {
        TTestSetup setup;
        setup.Ini = std::string(MinimalSetupSection) +
                    "ProductSuffix=Studio edition\n"
                    "BundleRegistryRoot=Software\\SetupControllerTests\\Velmora Plugins\n"
                    "PersonalizeInfo=Who uses $ProductName?\n"
                    "BundleSelectHeading=Choose\n"
                    "BundleSelectDescription=Pick plug-ins\n"
                    "InstallDescription=$ProductName for you\n"
                    "[Folders]\n"
                    "Presets=$Documents\\Velmora 5\\Presets\n"
                    "PresetsHelp=C:\\Help\n"
                    "First=%Second\\x\n"
                    "Second=C:\\Second\\\n"
                    "Third=%First\\y\n"
                    "Open=$ProgramFolder\\Open\n"
                    "[FoldersRegistry]\n"
                    "presets=Folder\\Preset\n"
                    "Presets=Other\\Ignored\n";
        Setup = CreateInstaller(WriteSetup(Folder, setup), System);
        Setup->DocumentsFolder = "C:\\Users\\User\\Documents";
        Setup->ProgramFolder = "C:\\Program Files\\Velmora 5\\";
        Setup->VstPluginFolder = "C:\\Vst\\";
        Setup->Vst3PluginFolder = "C:\\Program Files\\Common Files\\VST3";
        Setup->DigiPluginFolder = "C:\\Digi";
        Setup->PhotoshopPluginFolder = "C:\\Photoshop\\Plug-ins\\";
        Setup->ApplicationDataFolder = "C:\\AppData";
        Reverb = std::make_unique<TSetupBundleItem>(*Setup, "Velmora Reverb", "1.02", "Reverb");
    }
};

TEST_F(SetupSymbolsTest, ExpandsFolderSymbols) {
    struct TCase {
        const char* Text;
        bool WithItem;
        const char* Expected;
    };
    const TCase cases[] = {
        {"%Presets\\Public", false, "C:\\Users\\User\\Documents\\Velmora 5\\Presets\\Public"},
        {"$ProgramFolder\\Readme.txt", false, "C:\\Program Files\\Velmora 5\\Readme.txt"},
        {"$ProgramFolder\\a;$ProgramFolder\\b", false, "C:\\Program Files\\Velmora 5\\a;$ProgramFolder\\b"},
        {"%Presets;%Presets", false, "C:\\Users\\User\\Documents\\Velmora 5\\Presets;%Presets"},
        // The first identifier that matches takes the reference.
        {"%PresetsHelp", false, "C:\\Users\\User\\Documents\\Velmora 5\\PresetsHelp"},
        // One pass: a reference in a folder's value is expanded only by a later folder.
        {"%First", false, "C:\\Second\\x"},
        {"%Third", false, "%First\\y"},
        {"%Second", false, "C:\\Second"},
        {"%Open", false, "C:\\Program Files\\Velmora 5\\Open"},
        {"%Open and $ProgramFolder", false, "C:\\Program Files\\Velmora 5\\Open and $ProgramFolder"},
        {"%Unknown\\x", false, "%Unknown\\x"},
        {"%presets", false, "%presets"},
        {"$VstPluginFolder\\Velmora.dll", false, "C:\\Vst\\Velmora.dll"},
        {"$Vst3PluginFolder\\Velmora.vst3", false, "C:\\Program Files\\Common Files\\VST3\\Velmora.vst3"},
        {"$Vst3ProgramFolder\\VST3", false, "C:\\Program Files\\Velmora 5\\VST3"},
        {"$DigiPluginFolder\\x", false, "C:\\Digi\\x"},
        {"$PhotoshopPluginFolder\\x", false, "C:\\Photoshop\\Plug-ins\\x"},
        {"$ApplicationData\\Velmora", false, "C:\\AppData\\Velmora"},
        {"$documents\\x", false, "$documents\\x"},
        {"", false, ""},
        {"$BundleItem\\Presets", false, ""},
        {"$BundleItemProductName", false, ""},
        {"$BundleItem\\Presets", true, "Reverb\\Presets"},
        {"$BundleItemProductName ($BundleItem, $BundleItem)", true, "Velmora Reverb (Reverb, Reverb)"},
        {"$ProgramFolder\\$BundleItem", true, "C:\\Program Files\\Velmora 5\\Reverb"},
        {"$bundleitem", true, "$bundleitem"},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(Setup->ExpandFolderSymbols(c.Text, c.WithItem ? Reverb.get() : nullptr), c.Expected) << c.Text;
}

TEST_F(SetupSymbolsTest, DropsEntriesOfDeclinedHosts) {
    struct TCase {
        bool TSetupInstaller::*Flag;
        const char* Text;
        const char* Expected; // with the flag cleared
    };
    const TCase cases[] = {
        {&TSetupInstaller::InstallVstPlugin, "$VstPluginFolder\\Velmora.dll", ""},
        {&TSetupInstaller::InstallVstPlugin, "$Vst3PluginFolder\\x", "C:\\Program Files\\Common Files\\VST3\\x"},
        {&TSetupInstaller::InstallVst3Plugin, "$Vst3PluginFolder\\x", ""},
        {&TSetupInstaller::InstallVst3Plugin, "$Vst3ProgramFolder\\x", ""},
        {&TSetupInstaller::InstallVst3Plugin, "$VstPluginFolder\\x", "C:\\Vst\\x"},
        {&TSetupInstaller::InstallDigiPlugin, "$DigiPluginFolder\\x", ""},
        {&TSetupInstaller::InstallPhotoshopPlugin, "x;$PhotoshopPluginFolder", ""},
        {&TSetupInstaller::InstallPhotoshopPlugin, "$ProgramFolder", "C:\\Program Files\\Velmora 5"},
    };
    for (const TCase& c : cases) {
        (*Setup).*c.Flag = false;
        EXPECT_EQ(Setup->ExpandFolderSymbols(c.Text, Reverb.get()), c.Expected) << c.Text;
        (*Setup).*c.Flag = true;
    }
}

// A folder symbol with no folder behind it (its page off, no host found) drops the entry as a
// declined host does, although the host's install flag is still set.
TEST_F(SetupSymbolsTest, DropsEntriesWhoseFolderIsEmpty) {
    const std::pair<std::string TSetupInstaller::*, const char*> cases[] = {
        {&TSetupInstaller::PhotoshopPluginFolder, "$PhotoshopPluginFolder\\Filters"},
        {&TSetupInstaller::VstPluginFolder, "$VstPluginFolder"},
        {&TSetupInstaller::Vst3PluginFolder, "$Vst3PluginFolder\\x"},
        {&TSetupInstaller::DigiPluginFolder, "$DigiPluginFolder\\x"},
        {&TSetupInstaller::ApplicationDataFolder, "$ApplicationData\\Velmora"},
        {&TSetupInstaller::DocumentsFolder, "%Presets"},
    };
    for (const auto& [folder, text] : cases) {
        const std::string kept = (*Setup).*folder;
        (*Setup).*folder = "";
        EXPECT_EQ(Setup->ExpandFolderSymbols(text, nullptr), "") << text;
        EXPECT_EQ(Setup->ExpandFolderSymbols("$ProgramFolder\\x", nullptr), "C:\\Program Files\\Velmora 5\\x");
        (*Setup).*folder = kept;
    }
}

TEST_F(SetupSymbolsTest, ExpandsTextSymbols) {
    struct TCase {
        const char* Text;
        const char* Expected;
    };
    const TCase cases[] = {
        {"$ProductName and $ProductName", "Velmora and Velmora"},
        {"$productname", "$productname"},
        {"$FullProductName", "Velmora 5.12 Studio edition"},
        {"Version $ProductVersion", "Version 5.12"},
        // Each step works on the result of the previous one.
        {"$PersonalizeInfo", "Who uses $ProductName?"},
        {"$InstallDescription", "Velmora for you"},
        {"$BundleSelectHeading: $BundleSelectDescription", "Choose: Pick plug-ins"},
        {"$ProgramFolder", "$ProgramFolder"},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(Setup->ExpandTextSymbols(c.Text), c.Expected) << c.Text;
}

TEST_F(SetupSymbolsTest, NamesTheProduct) {
    EXPECT_EQ(Setup->FullProductName(), "Velmora 5.12 Studio edition");
    Setup->ProductSuffix.clear();
    EXPECT_EQ(Setup->FullProductName(), "Velmora 5.12");
    Setup->IsBundle = true;
    EXPECT_EQ(Setup->FullProductName(), "Velmora");
    Setup->ProductSuffix = "Studio edition";
    EXPECT_EQ(Setup->FullProductName(), "Velmora Studio edition");
}

TEST_F(SetupSymbolsTest, FormsVersionKeys) {
    EXPECT_EQ(Setup->VersionKeyFor(5, 1), "5.0");
    EXPECT_EQ(Setup->VersionKeyFor(12, 0), "12.0");
    Setup->IgnoreMinorVersion = false;
    EXPECT_EQ(Setup->VersionKeyFor(5, 1), "5.1");
    EXPECT_EQ(Setup->VersionKeyFor(5, 0), "5.0");
    EXPECT_EQ(Setup->RegistryKeyFor("5.0"), "\\Software\\SetupControllerTests\\Velmora\\5.0");
}

TEST_F(SetupSymbolsTest, SplitsRegistryPaths) {
    struct TCase {
        const char* Path;
        bool WithItem;
        const char* KeyPath;
        const char* ValueName;
    };
    // As loading leaves it for a bundle.
    Setup->BundleRegistryRoot = "\\Software\\SetupControllerTests\\Velmora Plugins";
    const TCase cases[] = {
        {"General\\Owner", false, "\\Software\\SetupControllerTests\\Velmora\\5.0\\General", "Owner"},
        {"Owner", false, "\\Software\\SetupControllerTests\\Velmora\\5.0", "Owner"},
        {"", false, "\\Software\\SetupControllerTests\\Velmora\\5.0", ""},
        {"A\\B\\", false, "\\Software\\SetupControllerTests\\Velmora\\5.0\\A\\B", ""},
        // Without an item the key is not expanded here.
        {"$ProgramFolder\\X", false, "\\Software\\SetupControllerTests\\Velmora\\5.0\\$ProgramFolder", "X"},
        // With an item: below the bundle root, with the item's version key last.
        {"$BundleItem\\Settings\\Mix", true, "\\Software\\SetupControllerTests\\Velmora Plugins\\Reverb\\Settings\\1.0",
         "Mix"},
        {"General\\Mix", true, "\\Software\\SetupControllerTests\\Velmora Plugins\\General\\1.0", "Mix"},
        {"Mix", true, "", "Mix"},
        {"$VstPluginFolder\\Mix", true, "\\Software\\SetupControllerTests\\Velmora Plugins\\C:\\Vst\\1.0", "Mix"},
    };
    for (const TCase& c : cases) {
        const TRegistryLocation location = Setup->SplitRegistryPath(c.Path, "5.0", c.WithItem ? Reverb.get() : nullptr);
        EXPECT_EQ(location.KeyPath, c.KeyPath) << c.Path;
        EXPECT_EQ(location.ValueName, c.ValueName) << c.Path;
    }
    Setup->InstallVstPlugin = false;
    EXPECT_EQ(Setup->SplitRegistryPath("$VstPluginFolder\\Mix", "5.0", Reverb.get()).KeyPath, "");
}

TEST_F(SetupSymbolsTest, LocatesRememberedFolders) {
    // The first [FoldersRegistry] line of that name, in any letter case.
    TRegistryLocation presets = Setup->FolderRegistryPath(0, "4.0");
    EXPECT_EQ(presets.KeyPath, "\\Software\\SetupControllerTests\\Velmora\\4.0\\Folder");
    EXPECT_EQ(presets.ValueName, "Preset");
    // No line: the version key's default value.
    TRegistryLocation help = Setup->FolderRegistryPath(1, "5.0");
    EXPECT_EQ(help.KeyPath, "\\Software\\SetupControllerTests\\Velmora\\5.0");
    EXPECT_EQ(help.ValueName, "");
}

TEST_F(SetupSymbolsTest, KeepsProgramFolderWithOneTrailingBackslash) {
    Setup->SetProgramFolder("D:\\Velmora");
    EXPECT_EQ(Setup->ProgramFolder, "D:\\Velmora\\");
    Setup->SetProgramFolder("D:\\Velmora\\");
    EXPECT_EQ(Setup->ProgramFolder, "D:\\Velmora\\");
    Setup->SetProgramFolder("");
    EXPECT_EQ(Setup->ProgramFolder, "");
}

TEST_F(SetupSymbolsTest, RecognisesVst3ComponentsAndRenamesTheirLibraries) {
    EXPECT_TRUE(TSetupInstaller::IsVst3Component("$Vst3PluginFolder"));
    EXPECT_TRUE(TSetupInstaller::IsVst3Component("$Vst3ProgramFolder\\VST3"));
    EXPECT_FALSE(TSetupInstaller::IsVst3Component("$VstPluginFolder"));
    EXPECT_FALSE(TSetupInstaller::IsVst3Component("$vst3PluginFolder"));

    struct TCase {
        const char* Path;
        const char* Expected;
    };
    const TCase cases[] = {
        {"C:\\VST3\\Reverb.DLL", "C:\\VST3\\Reverb.vst3"},
        {"C:\\VST3\\Reverb.dll", "C:\\VST3\\Reverb.vst3"},
        {"C:\\VST3\\Reverb.dll.txt", "C:\\VST3\\Reverb.dll.txt"},
        {"C:\\VST3\\Reverb.dl", "C:\\VST3\\Reverb.dl"},
        {"C:\\Plug.dll\\Reverb", "C:\\Plug.dll\\Reverb"},
        {"C:\\VST3\\Reverb", "C:\\VST3\\Reverb"},
        {"C:\\VST3\\.dll", "C:\\VST3\\.vst3"},
    };
    for (const TCase& c : cases) {
        std::string path = c.Path;
        TSetupInstaller::RenameVst3File(path);
        EXPECT_EQ(path, c.Expected) << c.Path;
    }
}

} // namespace
