// The Windows-only side of TInstaller under Wine: folders on drives and shares that do not
// exist, shortcuts, the uninstaller copy with its record and its registration, and an
// installation made by the engine that the uninstall engine removes again.

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <thread>

#include "common/CommonUtils.h"
#include "common/Errors.h"
#include "common/FileSystem.h"
#include "common/Registry.h"
#include "common/Stream.h"
#include "common/WinHandle.h"
#include "setupdata/ArchiveFormat.h"
#include "setupdata/SetupData.h"
#include "setupdata/UninstallRecord.h"
#include "shell/ShellUtils.h"
#include "tests/setupdata/ArchiveBuilder.h"
#include "tests/support/TestFolder.h"
#include "tests/support/TestRegistry.h"
#include "tests/support/TestValues.h"
#include "tests/support/TestWindows.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* UninstallKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
// Every registration the tests make starts with this, so that they can all be removed.
constexpr const char* TestPrefix = "SetupBuilderTest";
constexpr const char* TestUserKey = "Software\\SetupBuilderTest";
const std::string ProductName = "SetupBuilderTest Velmora 5";

std::vector<TTestEntry> ProductEntries() {
    return {
        TTestEntry::Dir("Plugins", {TTestEntry::File("Velmora.dll", std::string(70000, 'v'))}),
        TTestEntry::Dir(
            "Program",
            {TTestEntry::Dir("Help", {TTestEntry::File("Manual.txt", "read me")}),
             // Folders whose first entry is a subfolder, as in the sample product.
             TTestEntry::Dir("Modules", {TTestEntry::Dir("Empty"), TTestEntry::File("m.dll", "m")}),
             TTestEntry::Dir("Presets", {TTestEntry::Dir("Factory", {TTestEntry::File("a.preset", "a")})}),
             TTestEntry::File("Velmora.exe", std::string(100000, 'e'))}),
    };
}

std::string Upper(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

std::string Lower(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::string Key(const std::string& name) {
    return std::string(UninstallKey) + "\\" + name;
}

// Removes the registrations that tests of this file make, whatever their product names.
void DeleteTestRegistrations() {
    UniqueHKey parent = OpenKey(HKEY_LOCAL_MACHINE, UninstallKey, KEY_ALL_ACCESS);
    if (!parent)
        return;
    for (const std::string& name : SubkeyNames(parent.Get())) {
        if (name.rfind(TestPrefix, 0) == 0)
            DeleteKeyTree(parent.Get(), name);
    }
}

std::string RecordHeaderVersionBytes() {
    TMemoryStream stream;
    MakeVersion(5, 0, 4).SaveToStream(stream);
    return std::string(stream.Bytes().begin(), stream.Bytes().end());
}

class UninstallerCopyTest : public ::testing::Test {
protected:
    TTestFolder Scratch;
    TRegistryKeyGuard UserKey{HKEY_CURRENT_USER, TestUserKey};

    void SetUp() override { DeleteTestRegistrations(); }
    void TearDown() override { DeleteTestRegistrations(); }

    std::string Root() const { return Scratch.Path(); }

    // A setup program: a recognisable image of imageSize bytes, the archive appended at that
    // offset and a signature block after it, which the copy leaves out.
    std::string WriteSetup(int32_t imageSize) {
        std::string bytes = AppendToStub(BuildArchive(ProductEntries()), imageSize);
        for (int32_t i = Archive::MinimumExecutableSize; i < imageSize; ++i)
            bytes[static_cast<size_t>(i)] = static_cast<char>('A' + i % 26);
        bytes = SignProgram(bytes, {"TRAILER"});
        const std::string path = Root() + "Setup.exe";
        WriteBytes(path, bytes);
        return path;
    }
    // The uninstaller's place, in a folder whose path has blanks.
    std::string UninstallerPath() {
        const std::string folder = Root() + "Program Files\\Vendor\\Velmora\\";
        fs::create_directories(folder);
        return folder + "Uninst.exe";
    }
};

TEST_F(UninstallerCopyTest, CopyIsTheImageFlaggedAsUninstallerWithTheRecordAppended) {
    const std::string setup = WriteSetup(4096);
    const std::string image = ReadBytes(setup).substr(0, 4096);
    TInstaller installer("", setup);
    installer.AddLogEntry(lkFolder, "C:\\Program Files\\Vendor\\");
    installer.AddLogEntry(lkFile, "C:\\Program Files\\Vendor\\a.txt");
    const std::string uninstaller = UninstallerPath();
    installer.WriteUninstaller(uninstaller, ProductName, ProductName, "Velmora 5", 9);

    const std::string machineEntry =
        "M\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + ProductName;
    ASSERT_EQ(installer.InstallLog.size(), 3u);
    EXPECT_EQ(installer.InstallLog.back(), machineEntry);

    const std::string bytes = ReadBytes(uninstaller);
    const std::string logText =
        "DC:\\Program Files\\Vendor\\\r\nFC:\\Program Files\\Vendor\\a.txt\r\n" + machineEntry + "\r\n";
    ASSERT_EQ(bytes.size(), 4096 + 61 + logText.size() + 9);
    // The image, with DataOffset = its size, the uninstall flag and no signature: the setup
    // program's certificate table is not copied, so nothing may point at it.
    std::string unsignedImage = image;
    PutInt32At(unsignedImage, SecurityDirectoryAt, 0);
    PutInt32At(unsignedImage, SecurityDirectoryAt + 4, 0);
    EXPECT_EQ(bytes.substr(0, 48), image.substr(0, 48));
    EXPECT_EQ(Int32At(bytes, 48), 4096);
    EXPECT_EQ(Int32At(bytes, 52), 1);
    EXPECT_EQ(bytes.substr(56, 4096 - 56), unsignedImage.substr(56));
    // The record.
    const std::string record = bytes.substr(4096);
    EXPECT_EQ(record.substr(0, 8), "QK/UNS/3");
    EXPECT_EQ(record.substr(28, 25), RecordHeaderVersionBytes());
    EXPECT_EQ(Int32At(record, 53), static_cast<int32_t>(logText.size()));
    EXPECT_EQ(Int32At(record, 57), 9);
    EXPECT_EQ(record.substr(61, logText.size()), logText);
    EXPECT_EQ(record.substr(61 + logText.size()), "Velmora 5");

    // And read back as the uninstaller reads it.
    TUninstaller reader(uninstaller);
    EXPECT_EQ(reader.InstallLog, installer.InstallLog);
    EXPECT_EQ(reader.Version.ToText(), "5.04");
    EXPECT_EQ(reader.ProductDataLength, 9);
    EXPECT_EQ(std::string(reader.ProductData.begin(), reader.ProductData.end()), "Velmora 5");
}

TEST_F(UninstallerCopyTest, SetupWithoutAppendedArchiveIsCopiedWhole) {
    // DataOffset 0 (and, read the same way, a negative one): the archive is Setup.dat beside
    // the program, and the program file is the image.
    for (int32_t dataOffset : {0, -64}) {
        std::string stub = AppendToStub(std::string(), 3000);
        PutInt32At(stub, Archive::DataOffsetPosition, dataOffset);
        for (size_t i = Archive::MinimumExecutableSize; i < stub.size(); ++i)
            stub[i] = static_cast<char>('a' + i % 26);
        WriteBytes(Root() + "Setup.exe", stub);
        WriteBytes(Root() + "Setup.dat", BuildArchive(ProductEntries()));
        TInstaller installer("", Root() + "Setup.exe");
        const std::string uninstaller = UninstallerPath();
        installer.WriteUninstaller(uninstaller, ProductName, ProductName, nullptr, 0);

        const std::string bytes = ReadBytes(uninstaller);
        ASSERT_GT(bytes.size(), stub.size() + 61);
        EXPECT_EQ(Int32At(bytes, 48), static_cast<int32_t>(stub.size())) << dataOffset;
        EXPECT_EQ(Int32At(bytes, 52), 1);
        EXPECT_EQ(bytes.substr(56, stub.size() - 56), stub.substr(56));
        EXPECT_EQ(bytes.substr(stub.size(), 8), "QK/UNS/3");
        TUninstaller reader(uninstaller);
        EXPECT_EQ(reader.InstallLog, installer.InstallLog);
        EXPECT_EQ(reader.ProductDataLength, 0);
        EXPECT_TRUE(reader.ProductData.empty());
    }
}

TEST_F(UninstallerCopyTest, SignedSetupWithoutAppendedArchiveLeavesItsSignatureBehind) {
    std::string stub = AppendToStub(std::string(), 3000);
    PutInt32At(stub, Archive::DataOffsetPosition, 0);
    const std::string signedStub = SignProgram(stub, {"CERTIFICATE"});
    const int32_t imageSize = Int32At(signedStub, SecurityDirectoryAt);
    WriteBytes(Root() + "Setup.exe", signedStub);
    WriteBytes(Root() + "Setup.dat", BuildArchive(ProductEntries()));
    TInstaller installer("", Root() + "Setup.exe");
    installer.WriteUninstaller(UninstallerPath(), ProductName, ProductName, nullptr, 0);

    const std::string bytes = ReadBytes(UninstallerPath());
    EXPECT_EQ(Int32At(bytes, 48), imageSize);
    EXPECT_EQ(Int32At(bytes, SecurityDirectoryAt), 0);
    EXPECT_EQ(Int32At(bytes, SecurityDirectoryAt + 4), 0);
    EXPECT_EQ(bytes.substr(static_cast<size_t>(imageSize), 8), "QK/UNS/3");
    EXPECT_EQ(TUninstaller(UninstallerPath()).InstallLog, installer.InstallLog);
}

TEST_F(UninstallerCopyTest, ExistingUninstallerIsReplaced) {
    const std::string uninstaller = UninstallerPath();
    WriteBytes(uninstaller, std::string(100000, 'x'));
    TInstaller installer("", WriteSetup(1024));
    installer.WriteUninstaller(uninstaller, ProductName, ProductName, "V", 1);
    EXPECT_EQ(ReadBytes(uninstaller).size(), 1024 + 61 + installer.InstallLog[0].size() + 2 + 1);
}

TEST_F(UninstallerCopyTest, UninstallerThatCannotBeCreatedFailsAndRegistersNothing) {
    TInstaller installer("", WriteSetup(1024));
    const std::string path = Root() + "Missing\\Uninst.exe";
    const std::string error =
        ErrorOf([&] { installer.WriteUninstaller(path, ProductName, ProductName, nullptr, 0); });
    EXPECT_EQ(error, "Cannot create file \"" + path + "\". " + SystemErrorMessage(ERROR_PATH_NOT_FOUND));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, Key(ProductName)));

    // An entry without a name would be the shared list of installed programs.
    const size_t logged = installer.InstallLog.size();
    EXPECT_EQ(ErrorOf([&] { installer.WriteUninstaller(UninstallerPath(), "", ProductName, nullptr, 0); }),
              "The uninstall entry has no name");
    EXPECT_FALSE(FileExists(UninstallerPath()));
    EXPECT_EQ(installer.InstallLog.size(), logged);
}

TEST_F(UninstallerCopyTest, RegistrationNamesTheUninstallerInQuotes) {
    TInstaller installer("", WriteSetup(1024));
    const std::string uninstaller = UninstallerPath();
    ASSERT_NE(uninstaller.find(' '), std::string::npos);
    installer.WriteUninstaller(uninstaller, ProductName, "Velmora 5 (display)", nullptr, 0);

    EXPECT_EQ(ReadRegistryString(HKEY_LOCAL_MACHINE, Key(ProductName), "DisplayName"), "Velmora 5 (display)");
    EXPECT_EQ(ReadRegistryString(HKEY_LOCAL_MACHINE, Key(ProductName), "UninstallString"),
              "\"" + uninstaller + "\"");
}

TEST_F(UninstallerCopyTest, RegistrationDescribesTheInstallation) {
    const std::string setup = WriteSetup(1024);
    const std::string uninstaller = UninstallerPath();
    const auto text = [&](const char* name) {
        return ReadRegistryString(HKEY_LOCAL_MACHINE, Key(ProductName), name);
    };
    const auto number = [&](const char* name) {
        return ReadRegistryDword(HKEY_LOCAL_MACHINE, Key(ProductName), name);
    };

    // Without details: no empty texts, but what the engine knows itself.
    TInstaller("", setup).WriteUninstaller(uninstaller, ProductName, ProductName, nullptr, 0);
    for (const char* name : {"DisplayVersion", "DisplayIcon", "InstallLocation", "Publisher"})
        EXPECT_EQ(text(name), std::nullopt) << name;
    EXPECT_EQ(number("NoModify"), 1u);
    EXPECT_EQ(number("NoRepair"), 1u);
    const uint64_t own = fs::file_size(uninstaller);
    ASSERT_LT(own, 10240u);

    // The size in KiB counts the uninstaller with the installed files; a started KiB counts
    // whole, and the sum is not cut at 32 bits.
    const std::pair<uint64_t, DWORD> sizes[] = {
        {10240 - own, 10}, {10241 - own, 11}, {(5ull << 30) - own, 5u << 20}};
    for (const auto& [installed, kib] : sizes) {
        const TUninstallDetails details{"5.04", "C:\\Velmora\\Velmora.exe", "C:\\Velmora\\", "Vendor",
                                        installed};
        TInstaller("", setup).WriteUninstaller(uninstaller, ProductName, ProductName, nullptr, 0, details);
        ASSERT_EQ(fs::file_size(uninstaller), own);
        EXPECT_EQ(number("EstimatedSize"), kib) << installed;
        EXPECT_EQ(text("DisplayVersion"), "5.04");
        EXPECT_EQ(text("DisplayIcon"), "C:\\Velmora\\Velmora.exe");
        EXPECT_EQ(text("InstallLocation"), "C:\\Velmora\\");
        EXPECT_EQ(text("Publisher"), "Vendor");
    }
}

TEST_F(UninstallerCopyTest, RegistrationsNamingTheSameFileQuotedOrNotInAnyCaseAreRemoved) {
    TInstaller installer("", WriteSetup(1024));
    const std::string uninstaller = UninstallerPath();
    const std::string prefix = std::string(TestPrefix) + " ";
    // The same file: other letter case, unquoted and quoted; one with a subkey.
    WriteRegistryString(HKEY_LOCAL_MACHINE, Key(prefix + "Upper"), "UninstallString", Upper(uninstaller));
    WriteRegistryString(HKEY_LOCAL_MACHINE, Key(prefix + "Upper") + "\\Sub", "x", "y");
    WriteRegistryString(HKEY_LOCAL_MACHINE, Key(prefix + "Quoted"), "UninstallString",
                        "\"" + Lower(uninstaller) + "\"");
    // Others: another file, the same file with arguments, a value of another type, none.
    WriteRegistryString(HKEY_LOCAL_MACHINE, Key(prefix + "Other"), "UninstallString",
                        "\"" + Root() + "Other\\Uninst.exe\"");
    WriteRegistryString(HKEY_LOCAL_MACHINE, Key(prefix + "Arguments"), "UninstallString",
                        "\"" + uninstaller + "\" /S");
    WriteRegistryString(HKEY_LOCAL_MACHINE, Key(prefix + "Dword"), "DisplayName", "dword");
    const DWORD seven = 7;
    WriteRegistryValue(HKEY_LOCAL_MACHINE, Key(prefix + "Dword"), "UninstallString", REG_DWORD, &seven,
                       sizeof seven);
    WriteRegistryString(HKEY_LOCAL_MACHINE, Key(prefix + "NoValue"), "DisplayName", "none");

    installer.WriteUninstaller(uninstaller, ProductName, ProductName, nullptr, 0);

    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, Key(prefix + "Upper")));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, Key(prefix + "Quoted")));
    for (const char* stays : {"Other", "Arguments", "Dword", "NoValue"})
        EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, Key(prefix + stays))) << stays;
    EXPECT_EQ(ReadRegistryString(HKEY_LOCAL_MACHINE, Key(ProductName), "UninstallString"),
              "\"" + uninstaller + "\"");
}

TEST_F(UninstallerCopyTest, NewRegistrationReplacesTheEarlierOneOfTheSameUninstaller) {
    const std::string uninstaller = UninstallerPath();
    const std::string earlierName = std::string(TestPrefix) + " Velmora 4";
    {
        TInstaller earlier("", WriteSetup(1024));
        earlier.WriteUninstaller(uninstaller, earlierName, earlierName, nullptr, 0);
    }
    ASSERT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, Key(earlierName)));
    TInstaller installer("", WriteSetup(1024));
    installer.WriteUninstaller(uninstaller, ProductName, ProductName, nullptr, 0);
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, Key(earlierName)));
    EXPECT_EQ(ReadRegistryString(HKEY_LOCAL_MACHINE, Key(ProductName), "DisplayName"), ProductName);

    // Again under the same name: the key is removed and written anew.
    WriteRegistryString(HKEY_LOCAL_MACHINE, Key(ProductName), "Leftover", "x");
    installer.WriteUninstaller(uninstaller, ProductName, ProductName, nullptr, 0);
    EXPECT_EQ(ReadRegistryString(HKEY_LOCAL_MACHINE, Key(ProductName), "Leftover"), std::nullopt);
    EXPECT_EQ(ReadRegistryString(HKEY_LOCAL_MACHINE, Key(ProductName), "UninstallString"),
              "\"" + uninstaller + "\"");
}

TEST_F(UninstallerCopyTest, FolderOnADriveOrShareThatDoesNotExistIsNotCreated) {
    const std::string drive = UnusedDrive();
    TInstaller installer("", WriteSetup(1024));
    EXPECT_FALSE(installer.CreateFolder(drive + "\\Program Files\\Vendor\\Velmora\\", false));
    EXPECT_FALSE(installer.CreateFolder(drive + "\\Vendor", true));
    EXPECT_FALSE(installer.CreateFolder(drive + "\\", false));
    EXPECT_FALSE(installer.CreateFolder(drive, false));
    EXPECT_FALSE(installer.CreateFolder("\\\\nosuchserver\\share\\Vendor\\Velmora\\", false));
    EXPECT_FALSE(installer.CreateFolder("\\\\nosuchserver\\", false));
    EXPECT_TRUE(installer.InstallLog.empty());

    // Extracting there fails on the first file, with the file layer's message.
    const std::string error = ErrorOf([&] { installer.ExtractComponent("Plugins", drive + "\\Plugins", 0); });
    EXPECT_EQ(error.rfind("Cannot create file \"" + drive + "\\Plugins\\Velmora.dll\". ", 0), 0u) << error;
    EXPECT_TRUE(installer.InstallLog.empty());
}

TEST_F(UninstallerCopyTest, DriveRootThatExistsIsLoggedAsExisting) {
    TInstaller installer("", WriteSetup(1024));
    EXPECT_TRUE(installer.CreateFolder("C:\\", false));
    EXPECT_EQ(installer.InstallLog, std::vector<std::string>{"EC:\\"});
}

TEST_F(UninstallerCopyTest, ShortcutIsCreatedThroughTheShellAndLoggedAsAFile) {
    TComInitializer com;
    TInstaller installer("", WriteSetup(1024));
    const std::string target = Root() + "Velmora.exe";
    WriteBytes(target, "MZ");
    const std::string link = Root() + "Velmora 5.lnk";
    installer.CreateShortcut(link, target, "/safe", 1);

    EXPECT_EQ(installer.InstallLog, std::vector<std::string>{"F" + link});
    std::string readTarget, arguments;
    ASSERT_TRUE(ReadShellLink(link, readTarget, arguments));
    EXPECT_TRUE(SameText(readTarget, target)) << readTarget;
    EXPECT_EQ(arguments, "/safe");
}

TEST_F(UninstallerCopyTest, ShortcutServiceErrorPropagatesWithoutALogEntry) {
    TInstaller installer("", WriteSetup(1024));
    const std::string link = Root() + "Velmora 5.lnk";
    std::string error;
    // A thread of its own, on which the component model is not initialised: the shell link
    // object cannot be created.
    std::thread([&] {
        try {
            installer.CreateShortcut(link, Root() + "Velmora.exe", "", 0);
            error = "(no error)";
        } catch (const EComError& e) {
            error = e.Message();
        } catch (const std::exception& e) {
            error = std::string("(not the shell's error) ") + e.what();
        }
    }).join();
    EXPECT_NE(error, "(no error)");
    EXPECT_EQ(error.find("(not the shell's error)"), std::string::npos) << error;
    EXPECT_FALSE(error.empty());
    EXPECT_TRUE(installer.InstallLog.empty());
    EXPECT_FALSE(FileExists(link));
}

// End to end: what the installation run does through the engine, undone by the uninstall
// engine over the record of the Uninst.exe that the engine wrote.
TEST_F(UninstallerCopyTest, InstallationByTheEngineIsRemovedCompletelyByTheUninstaller) {
    TComInitializer com;
    const std::string programFiles = Root() + "Program Files\\"; // stands in for C:\Program Files
    fs::create_directories(programFiles);
    const std::string vendor = programFiles + "Vendor\\";
    const std::string program = vendor + "Velmora\\";
    const std::string vst3 = programFiles + "Common Files\\VST3\\";
    const std::string userKey = std::string(TestUserKey) + "\\Velmora";
    WriteRegistryString(HKEY_CURRENT_USER, userKey + "\\5.0", "Location", program);

    TInstaller installer("", WriteSetup(2048));
    installer.ExtractComponent("Program", program, 0);
    TExtractOptions rename;
    rename.OnExtractFile = [](std::string& fileName) {
        fileName = fileName.substr(0, fileName.size() - 4) + ".vst3";
    };
    installer.ExtractComponent("Plugins", vst3, 0, rename);
    installer.CreateShortcut(program + "Velmora 5.lnk", program + "Velmora.exe", "", 0);
    installer.LogRegistryKey(lrCurrentUser, "\\" + userKey);
    installer.WriteUninstaller(program + "Uninst.exe", ProductName, ProductName, ProductName.data(),
                               static_cast<int32_t>(ProductName.size()));
    ASSERT_TRUE(FileExists(program + "Velmora 5.lnk"));
    ASSERT_TRUE(FileExists(vst3 + "Velmora.vst3"));
    ASSERT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, Key(ProductName)));

    TUninstaller uninstaller(program + "Uninst.exe");
    EXPECT_EQ(std::string(uninstaller.ProductData.begin(), uninstaller.ProductData.end()), ProductName);
    EXPECT_TRUE(uninstaller.Uninstall()) << ::testing::PrintToString(uninstaller.InstallLog);

    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, Key(ProductName)));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, userKey));
    EXPECT_FALSE(DirectoryExists(programFiles + "Common Files"));
    EXPECT_FALSE(DirectoryExists(program + "Help"));
    EXPECT_FALSE(DirectoryExists(program + "Presets"));
    EXPECT_FALSE(DirectoryExists(program + "Modules"));
    EXPECT_FALSE(FileExists(program + "Velmora.exe"));
    EXPECT_FALSE(FileExists(program + "Velmora 5.lnk"));
    // Left to the batch file: the uninstaller and the folders that hold it.
    EXPECT_EQ(uninstaller.DeferredFolders, (std::vector<std::string>{program, program, vendor}));
    EXPECT_TRUE(DeleteFileAt(program + "Uninst.exe"));
    EXPECT_TRUE(RemoveDir(program));
    EXPECT_TRUE(RemoveDir(vendor));
    // Nothing else is left where the product went.
    EXPECT_TRUE(fs::is_empty(programFiles));
}

} // namespace
