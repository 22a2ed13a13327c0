// Program entry: the mode flag in the executable header, the error box text, and the setup
// data of a packed setup program as the program reads it.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <memory>

#include "app/Startup.h"
#include "common/Errors.h"
#include "common/Stream.h"
#include "common/WinHandle.h"
#include "setupdata/SetupData.h"
#include "tests/support/TestFolder.h"
#include "ui/ErrorBox.h"

namespace {

// An executable-like file of size bytes ("MZ", zeros) with value at offset 52.
void WriteHeaderFile(const std::string& path, int size, const std::vector<uint8_t>& flagBytes) {
    std::vector<uint8_t> bytes(size, 0);
    bytes[0] = 'M';
    bytes[1] = 'Z';
    for (size_t i = 0; i < flagBytes.size() && 52 + i < bytes.size(); ++i)
        bytes[52 + i] = flagBytes[i];
    TFileStream file(path, TFileMode::fmCreate);
    file.WriteBuffer(bytes.data(), static_cast<int32_t>(bytes.size()));
}

TEST(AppTests, OnlyTheLittleEndianValueOneMeansUninstaller) {
    TTestFolder folder;
    struct {
        std::vector<uint8_t> Flag;
        bool Uninstaller;
    } cases[] = {
        {{1, 0, 0, 0}, true},     {{0, 0, 0, 0}, false},
        {{2, 0, 0, 0}, false},    {{0, 1, 0, 0}, false}, // 0x100
        {{0, 0, 0, 1}, false},                           // 1 read big-endian
        {{1, 0, 0, 0x80}, false}, {{0xFF, 0xFF, 0xFF, 0xFF}, false},
    };
    for (const auto& c : cases) {
        std::string path = folder.PathOf("flag" + std::to_string(&c - cases) + ".exe");
        WriteHeaderFile(path, 4096, c.Flag);
        EXPECT_EQ(IsUninstallerFile(path), c.Uninstaller) << "case " << (&c - cases);
    }
}

TEST(AppTests, ReadsExactlyTheFourBytesAt52) {
    TTestFolder folder;
    std::string exact = folder.PathOf("exact.exe");
    WriteHeaderFile(exact, 56, {1, 0, 0, 0});
    EXPECT_TRUE(IsUninstallerFile(exact)) << "a 56-byte file is long enough";

    std::string shortFile = folder.PathOf("short.exe");
    WriteHeaderFile(shortFile, 55, {1, 0, 0});
    EXPECT_THROW(IsUninstallerFile(shortFile), EReadError);

    EXPECT_THROW(IsUninstallerFile(folder.PathOf("missing.exe")), EFOpenError);
}

TEST(AppTests, ReadsTheFlagWhileAnotherProgramWritesTheFile) {
    // Opening without FILE_SHARE_WRITE would fail with a sharing violation here.
    TTestFolder folder;
    std::string path = folder.PathOf("open.exe");
    WriteHeaderFile(path, 64, {1, 0, 0, 0});
    UniqueFile writer(::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(writer);
    EXPECT_TRUE(IsUninstallerFile(path));
}

TEST(AppTests, ErrorBoxAppendsAFullStopAfterCharactersAboveIt) {
    struct {
        std::string Message;
        std::string Shown;
    } cases[] = {
        {"The installer appears to be corrupted. Please download it again",
         "The installer appears to be corrupted. Please download it again."},
        {"There is not enough space on the destination drive.\rPlease free up some space and then try again",
         "There is not enough space on the destination drive.\rPlease free up some space and then try "
         "again."},
        {"Cannot open file \"C:\\Setup.dat\". File not found.",
         "Cannot open file \"C:\\Setup.dat\". File not found."},
        {"Invalid setup data signature", "Invalid setup data signature."},
        {"(see above)", "(see above)"},
        {"Stop!", "Stop!"},
        {"trailing blank ", "trailing blank "},
        {"dash-", "dash-"},    // '-' is code 45, below '.'
        {"slash/", "slash/."}, // '/' is code 47, above '.'
        {"version 5", "version 5."},
        {"caf\xE9", "caf\xE9."}, // upper half of the code page counts as above
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ErrorBoxText(c.Message), c.Shown) << c.Message;
}

// The setup programs that the TestSetups step makes; see MakeTestSetups.cpp for their
// content.
std::string TestFile(const std::string& name) {
    const char* folder = std::getenv("APP_TEST_FILES");
    if (!folder)
        throw std::runtime_error("APP_TEST_FILES is not set");
    return std::string(folder) + "\\" + name;
}

TEST(AppTests, ReadsTheMembersOfAPackedSetupProgram) {
    TInstaller installer("", TestFile("packed\\Setup.exe"));
    EXPECT_EQ(installer.Version.ToText(), "5.04");
    std::unique_ptr<TMemoryStream> ini = installer.ReadFile("setup.INI");
    ASSERT_TRUE(ini);
    std::string text(reinterpret_cast<const char*>(ini->Memory()), static_cast<size_t>(ini->Size()));
    EXPECT_EQ(text, "[Setup]\r\nProductName=Velmora\r\n");
    EXPECT_FALSE(installer.ReadFile("Program")) << "a folder is no file";
    EXPECT_EQ(installer.ComponentSize("program"), 3000 + 20000 + 1);
    EXPECT_EQ(installer.ComponentSize("Empty"), 0);
    EXPECT_EQ(installer.ComponentSize("Missing"), 0);
}

TEST(AppTests, UsesSetupDatBesideTheProgramWhenDataOffsetIsNotPositive) {
    for (const char* folder : {"offset-zero", "offset-negative"}) {
        TInstaller installer("", TestFile(std::string(folder) + "\\Setup.exe"));
        EXPECT_EQ(installer.Version.ToText(), "5.04") << folder;
        EXPECT_EQ(installer.ComponentSize("Plugins"), 1234) << folder;
    }
    EXPECT_THROW(TInstaller("", TestFile("no-data\\Setup.exe")), EFOpenError);
}

TEST(AppTests, RejectsAFlippedByteOfTheArchive) {
    try {
        TInstaller installer("", TestFile("corrupted\\Setup.exe"));
        FAIL() << "accepted";
    } catch (const ESetupError& error) {
        EXPECT_STREQ(error.what(), "The installer appears to be corrupted. Please download it again");
    }
}

} // namespace
