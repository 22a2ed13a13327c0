// The product's registry entries as the installation run writes them: location and version,
// remembered custom folders, the owner, and the settings lists with their value types, for
// the product and for each selected bundle item. Natively against the in-memory registry,
// under Wine against the real one (keys of the tests' own, removed before and after).

#include <gtest/gtest.h>

#include "setup/SetupInstaller.h"
#include "tests/setup/SetupTestSupport.h"

namespace {

const std::string VersionKey = std::string(TestRegistryRoot) + "\\5.0";
const std::string BundleRoot = TestBundleRoot;

class InstallRegistryTest : public ::testing::Test {
protected:
    TScratchFolder Folder;
    TTestSystem System;

    std::unique_ptr<TSetupInstaller> Create(const std::string& ini,
                                            std::optional<std::string> bundleInfo = {}) {
        TTestSetup setup;
        setup.Ini = ini;
        setup.BundleInfo = std::move(bundleInfo);
        setup.ProductVersion = Version("5.04");
        auto installer = CreateInstaller(WriteSetup(Folder, setup), System);
        installer->ProgramFolder = "C:\\Program Files\\Velmora 5\\";
        installer->DocumentsFolder = "C:\\Users\\Ann\\Documents";
        return installer;
    }
    std::optional<std::string> String(TRegistryRoot root, const std::string& key, const std::string& name) {
        return System.Environment().ReadString(root, key, name);
    }
};

TEST_F(InstallRegistryTest, WritesTheProductLocationAndVersion) {
    auto setup = Create(MinimalSetupSection);
    setup->WriteProductLocation();
    // The folder keeps its trailing backslash; the next setup reads both values back.
    EXPECT_EQ(String(rrLocalMachine, VersionKey, "Location"), "C:\\Program Files\\Velmora 5\\");
    EXPECT_EQ(String(rrLocalMachine, VersionKey, "VersionString"), "5.04");
    EXPECT_EQ(String(rrCurrentUser, VersionKey, "Location"), std::nullopt);
}

TEST_F(InstallRegistryTest, RemembersCustomFoldersPerUser) {
    auto setup = Create(std::string(MinimalSetupSection) + "[Folders]\n"
                                                           "Presets=$Documents\\Velmora 5\\Presets\n"
                                                           "Plugins=$VstPluginFolder\\Velmora\n"
                                                           "Open=$ProgramFolder\\Open\n"
                                                           "Export=C:\\Export\\\n"
                                                           "[FoldersRegistry]\n"
                                                           "presets=Folder\\Preset\n"
                                                           "Plugins=Folder\\Plugins\n");
    setup->InstallVstPlugin = false;
    setup->WriteFolderLocations();

    EXPECT_EQ(String(rrCurrentUser, VersionKey + "\\Folder", "Preset"),
              "C:\\Users\\Ann\\Documents\\Velmora 5\\Presets\\");
    // A folder of a declined host expands to nothing and is stored as the empty string.
    EXPECT_EQ(String(rrCurrentUser, VersionKey + "\\Folder", "Plugins"), "");
    // Folders without a [FoldersRegistry] line share the version key's default value: the last
    // one stays.
    EXPECT_EQ(String(rrCurrentUser, VersionKey, ""), "C:\\Export\\");
    EXPECT_EQ(String(rrLocalMachine, VersionKey + "\\Folder", "Preset"), std::nullopt);
}

TEST_F(InstallRegistryTest, WritesTheOwnerOnlyWhenConfigured) {
    auto setup = Create(std::string(MinimalSetupSection) + "PersonalizeOwner=General\\Owner\n");
    setup->OwnerName = "Ann Example";
    setup->WriteOwnerName();
    EXPECT_EQ(String(rrCurrentUser, VersionKey + "\\General", "Owner"), "Ann Example");

    auto withoutOwner = Create(MinimalSetupSection);
    withoutOwner->OwnerName = "Bob";
    System.CreateKey(rrCurrentUser, VersionKey);
    withoutOwner->WriteOwnerName();
    EXPECT_EQ(String(rrCurrentUser, VersionKey, ""), std::nullopt);
}

TEST_F(InstallRegistryTest, WritesSettingsWithTheirTypes) {
    auto setup = Create(std::string(MinimalSetupSection) + "[RegistrySettings]\n"
                                                           "General\\StartupWelcome=#1\n"
                                                           "General\\Hash=#\n"
                                                           "General\\Word=#abc\n"
                                                           "General\\Negative=#-5\n"
                                                           "General\\Dollar=#$10\n"
                                                           "General\\Hex=#0x1F\n"
                                                           "General\\Blank=# 7\n"
                                                           "General\\TooLarge=#4294967296\n"
                                                           "General\\Letters=#12ab\n"
                                                           "General\\Path=$ProgramFolder\\Data\n"
                                                           "General\\Declined=$VstPluginFolder\\x\n"
                                                           "General\\Empty=\n"
                                                           "General\\Symbolic=$ProductName\n"
                                                           "Deep\\er\\Value=text\n"
                                                           "Top=1\n"
                                                           "$BundleItem\\Item=1\n"
                                                           "$VstPluginFolder\\Key=1\n"
                                                           "no equals sign\n"
                                                           "[GlobalRegistrySettings]\n"
                                                           "Machine\\Count=#2\n"
                                                           "Machine\\Name=Velmora\n");
    setup->InstallVstPlugin = false;
    setup->WriteRegistrySettings();

    struct TInteger {
        const char* Name;
        uint32_t Value;
    };
    const TInteger integers[] = {
        {"StartupWelcome", 1}, {"Negative", 0xFFFFFFFB}, {"Dollar", 16}, {"Hex", 31}, {"Blank", 7},
    };
    for (const TInteger& value : integers) {
        EXPECT_EQ(System.ReadInteger(rrCurrentUser, VersionKey + "\\General", value.Name), value.Value)
            << value.Name;
        EXPECT_EQ(String(rrCurrentUser, VersionKey + "\\General", value.Name), std::nullopt) << value.Name;
    }

    struct TString {
        const char* Name;
        const char* Value;
    };
    const TString strings[] = {
        {"Hash", "#"},
        {"Word", "#abc"},
        {"TooLarge", "#4294967296"},
        {"Letters", "#12ab"},
        {"Path", "C:\\Program Files\\Velmora 5\\Data"},
        // Only folder symbols are expanded in values; a declined host's folder empties them.
        {"Declined", ""},
        {"Empty", ""},
        {"Symbolic", "$ProductName"},
    };
    for (const TString& value : strings) {
        EXPECT_EQ(String(rrCurrentUser, VersionKey + "\\General", value.Name), value.Value) << value.Name;
        EXPECT_EQ(System.ReadInteger(rrCurrentUser, VersionKey + "\\General", value.Name), std::nullopt)
            << value.Name;
    }
    EXPECT_EQ(String(rrCurrentUser, VersionKey + "\\Deep\\er", "Value"), "text");
    EXPECT_EQ(String(rrCurrentUser, VersionKey, "Top"), "1");

    // Paths of a bundle item or a declined host are passed over outside their pass; a line
    // without "=" does not touch the version key's default value.
    EXPECT_EQ(String(rrCurrentUser, VersionKey + "\\$BundleItem", "Item"), std::nullopt);
    EXPECT_EQ(String(rrCurrentUser, VersionKey + "\\$VstPluginFolder", "Key"), std::nullopt);
    EXPECT_EQ(String(rrCurrentUser, VersionKey, ""), std::nullopt);
    EXPECT_EQ(String(rrCurrentUser, VersionKey, "no equals sign"), std::nullopt);

    // The global list goes to the machine, the per-user list only to the user.
    EXPECT_EQ(System.ReadInteger(rrLocalMachine, VersionKey + "\\Machine", "Count"), 2u);
    EXPECT_EQ(String(rrLocalMachine, VersionKey + "\\Machine", "Name"), "Velmora");
    EXPECT_EQ(String(rrCurrentUser, VersionKey + "\\Machine", "Name"), std::nullopt);
    EXPECT_EQ(System.ReadInteger(rrLocalMachine, VersionKey + "\\General", "StartupWelcome"), std::nullopt);
}

TEST_F(InstallRegistryTest, WritesEachSelectedBundleItemBelowTheBundleRoot) {
    auto setup = Create(std::string(MinimalSetupSection) +
                            "IsBundle=1\n"
                            "BundleRegistryRoot=" +
                            BundleRoot +
                            "\n"
                            "[RegistrySettings]\n"
                            "$BundleItem\\Installed=#1\n"
                            "$BundleItem\\Product=$BundleItemProductName\n"
                            "General\\Shared=yes\n"
                            "[GlobalRegistrySettings]\n"
                            "$BundleItem\\Machine=#3\n",
                        std::string("Reverb=1.02\nDelay=2.10,Velmora Delay\nChorus=1.50,Velmora Chorus\n"));
    ASSERT_EQ(setup->BundleItemCount(), 3);
    setup->BundleItem(1).Selected = false;
    setup->WriteRegistrySettings();

    // The item's own version key ends the path: 1.02 and 1.50 both give 1.0.
    EXPECT_EQ(System.ReadInteger(rrCurrentUser, BundleRoot + "\\Reverb\\1.0", "Installed"), 1u);
    EXPECT_EQ(String(rrCurrentUser, BundleRoot + "\\Reverb\\1.0", "Product"), "Reverb");
    EXPECT_EQ(String(rrCurrentUser, BundleRoot + "\\Chorus\\1.0", "Product"), "Velmora Chorus");
    EXPECT_EQ(System.ReadInteger(rrLocalMachine, BundleRoot + "\\Chorus\\1.0", "Machine"), 3u);
    EXPECT_EQ(String(rrCurrentUser, BundleRoot + "\\Delay\\2.0", "Product"), std::nullopt);
    EXPECT_EQ(System.ReadInteger(rrLocalMachine, BundleRoot + "\\Delay\\2.0", "Machine"), std::nullopt);

    // A line without bundle-item symbols is written in every pass: below the bundle root for
    // the items, below the product's version key for the product.
    EXPECT_EQ(String(rrCurrentUser, BundleRoot + "\\General\\1.0", "Shared"), "yes");
    EXPECT_EQ(String(rrCurrentUser, VersionKey + "\\General", "Shared"), "yes");
    EXPECT_EQ(String(rrCurrentUser, VersionKey + "\\Reverb", "Installed"), std::nullopt);
}

} // namespace
