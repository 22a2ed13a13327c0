// The install rights probe under Wine, against folders and keys of the test's own, and the
// real one against the Program Files folder and the machine's software key.
#include <gtest/gtest.h>

#include <windows.h>

#include <fstream>
#include <string>

#include "common/FileSystem.h"
#include "common/Path.h"
#include "common/WinHandle.h"
#include "shell/Rights.h"
#include "shell/ShellUtils.h"
#include "tests/support/TestFolder.h"
#include "tests/support/TestRegistry.h"

namespace {

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
    const bool keyWritable =
        ::RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE", 0, KEY_ALL_ACCESS, software.Put()) == ERROR_SUCCESS;
    const bool probeFolderThere = DirectoryExists(programFiles + "\\Test0");

    EXPECT_EQ(HasAdminRights(), folderWritable && keyWritable);
    EXPECT_EQ(DirectoryExists(programFiles + "\\Test0"), probeFolderThere);
}

} // namespace
