// The uninstall controller under Wine: the rights probe against folders and keys of the
// test's own, and the run's messages and decisions with the dialogs answered by the test.
// The confirmed run, which ends with the self-removal batch file, is tested end to end by
// uninstall-run.sh.
#include <gtest/gtest.h>

#include <windows.h>

#include <fstream>
#include <string>
#include <vector>

#include "common/CommonUtils.h"
#include "common/FileSystem.h"
#include "common/Stream.h"
#include "common/WinHandle.h"
#include "messages/Strings.h"
#include "setup/SetupUninstaller.h"
#include "setupdata/UninstallRecord.h"
#include "shell/ShellUtils.h"
#include "tests/support/ShownMessage.h"
#include "tests/support/TestFolder.h"
#include "tests/support/TestRegistry.h"
#include "tests/support/TestValues.h"

namespace {

// ---- The rights probe -------------------------------------------------------------------

const char* const ProbeKey = "Software\\SetupBuilderTest RightsProbe";

class RightsProbeTest : public ::testing::Test {
protected:
    TTestFolder Folder;
    TRegistryKeyGuard ProbeKeyGuard{HKEY_CURRENT_USER, ProbeKey};

    // A key that the probe can open with full access.
    static bool Probe(const std::string& folder) {
        return ProbeAdminRights(folder, HKEY_CURRENT_USER, ProbeKey);
    }
};

TEST_F(RightsProbeTest, WritableFolderPassesAndKeepsNoProbeFolder) {
    const std::string base = Folder.PathOf("Programs");
    ASSERT_TRUE(CreateDir(base));
    EXPECT_TRUE(Probe(base));
    EXPECT_FALSE(DirectoryExists(base + "\\Test0"));
    // The shell gives a drive root with its backslash; the probe folder gets only one.
    EXPECT_TRUE(Probe(base + "\\"));
    EXPECT_FALSE(DirectoryExists(base + "\\Test0"));
}

TEST_F(RightsProbeTest, TakenNamesAreSkippedAndLeftAlone) {
    // Test0 a folder with a file in it, Test1 a file: the probe uses Test2.
    const std::string base = Folder.PathOf("Programs");
    ASSERT_TRUE(CreateDir(base));
    const std::string test0 = Folder.PathOf("Programs\\Test0");
    ASSERT_TRUE(CreateDir(test0));
    const std::string inside = Folder.PathOf("Programs\\Test0\\keep.txt");
    std::ofstream(inside) << "keep";
    const std::string test1 = Folder.PathOf("Programs\\Test1");
    std::ofstream(test1) << "a file named like a probe folder";

    EXPECT_TRUE(Probe(base));
    EXPECT_TRUE(DirectoryExists(test0));
    EXPECT_TRUE(FileExists(inside));
    EXPECT_TRUE(FileExists(test1));
    EXPECT_FALSE(DirectoryExists(base + "\\Test2"));
}

TEST_F(RightsProbeTest, FolderThatCannotBeWrittenFails) {
    // Wine runs the tests with full rights on its drives, so the Program Files folder is
    // replaced by paths in which no folder can be created: a file standing where the folder
    // should be, and a folder that does not exist. Neither answers "already exists".
    const std::string file = Folder.PathOf("Program Files");
    std::ofstream(file) << "not a folder";
    EXPECT_FALSE(Probe(file));
    EXPECT_FALSE(Probe(Folder.PathOf("Missing\\Program Files")));
}

TEST_F(RightsProbeTest, KeyThatCannotBeOpenedFailsEvenWithAWritableFolder) {
    // Below a volatile key the registry refuses to create a lasting key, as it refuses the
    // machine's software key to a user without rights.
    UniqueHKey parent;
    ASSERT_EQ(::RegCreateKeyExA(HKEY_CURRENT_USER, ProbeKey, 0, nullptr, REG_OPTION_VOLATILE, KEY_ALL_ACCESS,
                                nullptr, parent.Put(), nullptr),
              ERROR_SUCCESS);
    const std::string base = Folder.PathOf("Programs");
    ASSERT_TRUE(CreateDir(base));
    const std::string child = std::string(ProbeKey) + "\\Child";
    EXPECT_FALSE(ProbeAdminRights(base, HKEY_CURRENT_USER, child.c_str()));
    EXPECT_FALSE(DirectoryExists(base + "\\Test0"));
}

// The real probe asks where the installation writes: its answer is what this user can do in
// the Program Files folder and the machine's software key, whatever rights the tests run with,
// and it leaves no probe folder behind.
TEST(RightsProbe, TheRealProbeAnswersForProgramFilesAndTheMachineKey) {
    const std::string programFiles = ExcludeDelimiter(GetProgramFilesFolder());
    const std::string own = programFiles + "\\RightsProbeTest";
    const bool folderWritable = ::CreateDirectoryA(own.c_str(), nullptr) != FALSE;
    if (folderWritable)
        ::RemoveDirectoryA(own.c_str());
    UniqueHKey software;
    const bool keyWritable = ::RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE", 0, KEY_ALL_ACCESS,
                                             software.Put()) == ERROR_SUCCESS;
    const bool probeFolderThere = DirectoryExists(programFiles + "\\Test0");

    EXPECT_EQ(HasAdminRights(), folderWritable && keyWritable);
    EXPECT_EQ(DirectoryExists(programFiles + "\\Test0"), probeFolderThere);
}

// ---- The uninstall run ------------------------------------------------------------------

// The test answers the controller's dialogs: it records each message and answers a
// confirmation with Answer.
class UninstallRunTest : public ::testing::Test, public ISetupDialogs {
protected:
    TTestFolder Folder;
    std::string ProductFile = Folder.PathOf("Velmora.exe");
    std::vector<TShownMessage> Shown;
    TMessageResult Answer = mrNo;

    void SetUp() override { std::ofstream(ProductFile) << "product"; }

    TMessageResult ShowMessage(const std::string& text, TMessageKind kind) override {
        Shown.push_back({text, kind});
        return kind == mkConfirmation ? Answer : mrOK;
    }
    bool ShowProgress(const std::string& caption, const std::string& text,
                      const std::function<bool(const TItemProgress&)>& work) override {
        Shown.push_back({caption + ": " + text, mkInformation});
        return work([](size_t, size_t) {});
    }

    // An uninstaller as the install engine writes it: a small image, flagged, with the record
    // appended at DataOffset; its log holds the product file.
    std::unique_ptr<TSetupUninstaller> MakeController(const TProgramVersion& version,
                                                      const std::string& product) {
        const std::string path = Folder.PathOf("Uninst.exe");
        {
            TFileStream file(path, TFileMode::fmCreate);
            std::string image(64, '\0');
            image[0] = 'M';
            image[1] = 'Z';
            file.Write(image.data(), static_cast<int32_t>(image.size()));
            file.SetPosition(48);
            file.WriteInt32(64);
            file.WriteInt32(1);
            file.SetPosition(64);
            WriteUninstallRecord(file, version, {"F" + ProductFile}, product.data(),
                                 static_cast<int32_t>(product.size()));
        }
        auto controller = std::make_unique<TSetupUninstaller>(*this, path);
        controller->OnCheckRights = [] { return true; };
        return controller;
    }
};

TEST_F(UninstallRunTest, ProductNameComesFromTheRecord) {
    EXPECT_EQ(MakeController(MakeVersion(5, 0, 4), "Velmora")->ProductName, "Velmora");
    EXPECT_EQ(MakeController(MakeVersion(5, 0, 4), "")->ProductName, "");
}

TEST_F(UninstallRunTest, MissingRightsOnlyWarn) {
    auto controller = MakeController(MakeVersion(5, 0, 4), "Velmora");
    controller->OnCheckRights = [] { return false; };
    controller->Execute();
    const std::vector<TShownMessage> expected = {{"You must have Administrator or Power User rights to "
                                                  "uninstall Velmora.\rPlease log on as a different "
                                                  "user and try again.",
                                                  mkWarning}};
    EXPECT_EQ(Shown, expected);
    EXPECT_TRUE(FileExists(ProductFile));
}

TEST_F(UninstallRunTest, ConfirmationNamesTheVersionFromMajorOneOn) {
    const struct {
        TProgramVersion Version;
        const char* Name;
    } cases[] = {
        {MakeVersion(5, 0, 4), "Velmora 5.04"},
        {MakeVersion(1, 2, 0), "Velmora 1.20"},
        {MakeVersion(0, 9, 1), "Velmora"},
        {MakeVersion(0, 0, 0), "Velmora"},
    };
    for (const auto& c : cases) {
        Shown.clear();
        auto controller = MakeController(c.Version, "Velmora");
        controller->Execute();
        const std::vector<TShownMessage> expected = {
            {std::string("Are you sure you want to completely remove ") + c.Name +
                 "\rand all of its components?",
             mkConfirmation}};
        EXPECT_EQ(Shown, expected) << c.Name;
    }
}

} // namespace
