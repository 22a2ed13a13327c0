// The uninstall engine against the real file system and registry (under Wine): finding the
// record, replaying the log, deferring the program's folders, and the self-removal batch file.

#include <gtest/gtest.h>

#include <windows.h>
// After windows.h: the process list and the process environment block.
#include <tlhelp32.h>
#include <winternl.h>

#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>

#include "common/CommonUtils.h"
#include "common/Errors.h"
#include "common/FileSystem.h"
#include "common/Path.h"
#include "common/Registry.h"
#include "common/Stream.h"
#include "common/WinHandle.h"
#include "setupdata/UninstallRecord.h"
#include "setupdata/Uninstaller.h"
#include "tests/support/Bytes.h"
#include "tests/support/TestFolder.h"
#include "tests/support/TestRegistry.h"
#include "tests/support/TestValues.h"

namespace {

std::string RecordBytes(const std::vector<std::string>& log, const std::string& product = "Velmora") {
    TMemoryStream stream;
    WriteUninstallRecord(stream, MakeVersion(5, 0, 4), log, product.data(),
                         static_cast<int32_t>(product.size()));
    return std::string(stream.Bytes().begin(), stream.Bytes().end());
}

// A program image of 64 bytes: "MZ", zeros, nothing appended (DataOffset 0).
std::string EmptyImage() {
    std::string image(64, '\0');
    image[0] = 'M';
    image[1] = 'Z';
    return image;
}

// What the install engine writes: the image with DataOffset = its size and the uninstall flag
// set, followed by the record.
void WriteUninstaller(const std::string& path, std::string image, const std::string& record) {
    PutInt32At(image, 48, static_cast<int32_t>(image.size()));
    PutInt32At(image, 52, 1);
    WriteBytes(path, image + record);
}

// A registry key of the test's own under HKEY_CURRENT_USER, removed before and after.
constexpr const char* TestKeyPath = "Software\\UninstallerTests";

void CreateKeyWithValue(HKEY root, const std::string& path) {
    WriteRegistryString(root, path, "Value", "x");
}

class UninstallerTest : public testing::Test {
protected:
    TRegistryKeyGuard UserKey{HKEY_CURRENT_USER, TestKeyPath};
    TRegistryKeyGuard MachineKey{HKEY_LOCAL_MACHINE, TestKeyPath};

    // An uninstaller in the folder "Program\" of the tree with the given log appended.
    TUninstaller MakeUninstaller(const std::vector<std::string>& log) {
        const std::string path = Tree.MakeFolder("Program\\") + "Uninst.exe";
        WriteUninstaller(path, EmptyImage(), RecordBytes(log));
        return TUninstaller(path);
    }

    TTestFolder Tree;
};

std::string ErrorOfConstruction(const std::string& executablePath) {
    return ErrorOf([&] { TUninstaller uninstaller(executablePath); });
}

// The self-removal batch folders that exist now.
std::set<std::string> BatchFolders() {
    std::set<std::string> names;
    WIN32_FIND_DATAA entry;
    UniqueFind find(::FindFirstFileA((BatchFolderParent() + BatchFolderPrefix + "*").c_str(), &entry));
    for (bool more = static_cast<bool>(find); more; more = ::FindNextFileA(find.Get(), &entry))
        names.insert(entry.cFileName);
    return names;
}

// The command lines of the running cmd.exe processes that this process started, read from
// each one's process environment block (both are 32-bit programs).
std::vector<std::string> ChildCommandProcessorLines() {
    std::vector<std::string> lines;
    UniqueHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Process32First(snapshot.Get(), &entry); more;
         more = ::Process32Next(snapshot.Get(), &entry)) {
        if (entry.th32ParentProcessID != ::GetCurrentProcessId() || !SameText(entry.szExeFile, "cmd.exe"))
            continue;
        UniqueHandle process(
            ::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, entry.th32ProcessID));
        PROCESS_BASIC_INFORMATION basic = {};
        PEB peb = {};
        RTL_USER_PROCESS_PARAMETERS parameters = {};
        std::wstring line;
        if (process &&
            NT_SUCCESS(::NtQueryInformationProcess(process.Get(), ProcessBasicInformation, &basic,
                                                   sizeof basic, nullptr)) &&
            ::ReadProcessMemory(process.Get(), basic.PebBaseAddress, &peb, sizeof peb, nullptr) &&
            ::ReadProcessMemory(process.Get(), peb.ProcessParameters, &parameters, sizeof parameters,
                                nullptr)) {
            line.resize(parameters.CommandLine.Length / sizeof(wchar_t));
            ::ReadProcessMemory(process.Get(), parameters.CommandLine.Buffer, line.data(),
                                parameters.CommandLine.Length, nullptr);
        }
        char ansi[1024] = {};
        ::WideCharToMultiByte(CP_ACP, 0, line.c_str(), -1, ansi, sizeof ansi - 1, nullptr, nullptr);
        lines.push_back(ansi);
    }
    return lines;
}

} // namespace

TEST_F(UninstallerTest, ReadsTheRecordAppendedToTheExecutable) {
    const std::vector<std::string> log = {"D" + Tree.Path() + "Program\\", "F" + Tree.Path() + "a.txt"};
    TUninstaller uninstaller = MakeUninstaller(log);

    EXPECT_EQ(uninstaller.InstallLog, log);
    EXPECT_EQ(uninstaller.Version.Major, 5);
    EXPECT_EQ(uninstaller.Version.Release, 4);
    EXPECT_EQ(uninstaller.ProductDataLength, 7);
    EXPECT_EQ(std::string(uninstaller.ProductData.begin(), uninstaller.ProductData.end()), "Velmora");
    EXPECT_EQ(uninstaller.DeferredFolders, std::vector<std::string>{Tree.Path() + "Program\\"});
    EXPECT_FALSE(uninstaller.Failed);
}

TEST_F(UninstallerTest, ReadsUninstallDatBesideTheProgramWhenDataOffsetIsZero) {
    const std::string program = Tree.MakeFolder("Program\\");
    WriteBytes(program + "Uninst.exe", EmptyImage());
    EXPECT_EQ(ErrorOfConstruction(program + "Uninst.exe"), "Cannot open file \"" + program +
                                                               "Uninstall.dat\". " +
                                                               SystemErrorMessage(ERROR_FILE_NOT_FOUND));

    WriteBytes(program + "Uninstall.dat", RecordBytes({"FC:\\x.txt"}, ""));
    TUninstaller uninstaller(program + "Uninst.exe");
    EXPECT_EQ(uninstaller.InstallLog, std::vector<std::string>{"FC:\\x.txt"});
    EXPECT_EQ(uninstaller.ProductDataLength, 0);
    EXPECT_TRUE(uninstaller.ProductData.empty());
    // The file is closed again: it can be deleted at once.
    EXPECT_TRUE(DeleteFileAt(program + "Uninstall.dat"));
}

TEST_F(UninstallerTest, DamagedRecordIsRejectedBeforeAnythingIsRemoved) {
    const std::string victim = Tree.MakeFile("victim.txt");
    const std::string good = RecordBytes({"F" + victim});
    const std::string path = Tree.MakeFolder("Program\\") + "Uninst.exe";

    std::string badSignature = good;
    badSignature[0] = 'X';
    WriteUninstaller(path, EmptyImage(), badSignature);
    EXPECT_EQ(ErrorOfConstruction(path), "Invalid uninstall data signature");

    std::string negativeLog = good;
    PutInt32At(negativeLog, UninstallRecord::LengthsOffset, -5);
    WriteUninstaller(path, EmptyImage(), negativeLog);
    EXPECT_EQ(ErrorOfConstruction(path), "Invalid uninstall data");

    std::string productPastEnd = good;
    PutInt32At(productPastEnd, UninstallRecord::LengthsOffset + 4, 1000);
    WriteUninstaller(path, EmptyImage(), productPastEnd);
    EXPECT_EQ(ErrorOfConstruction(path), "Invalid uninstall data");

    WriteUninstaller(path, EmptyImage(), good.substr(0, 20));
    EXPECT_EQ(ErrorOfConstruction(path), "Stream read error");

    // A negative DataOffset is no offset: like 0, the record is looked for in Uninstall.dat.
    std::string negativeOffset = EmptyImage() + good;
    PutInt32At(negativeOffset, 48, -64);
    WriteBytes(path, negativeOffset);
    EXPECT_EQ(ErrorOfConstruction(path).rfind("Cannot open file \"", 0), 0u);

    EXPECT_TRUE(FileExists(victim));
}

TEST_F(UninstallerTest, ReplayRemovesFilesAndFoldersDeepestFirst) {
    Tree.MakeFolder("Data\\Sub\\");
    const std::string data = Tree.Path() + "Data\\";
    const std::string existing = Tree.MakeFolder("Existing\\");
    Tree.MakeFile("Existing\\user.txt");
    Tree.MakeFile("Data\\a.txt");
    Tree.MakeFile("Data\\Sub\\b.txt");
    TUninstaller uninstaller = MakeUninstaller({
        "E" + existing,
        "D" + data,
        "D" + data + "Sub\\",
        "F" + data + "a.txt",
        "F" + data + "Sub\\b.txt",
    });

    EXPECT_TRUE(uninstaller.Uninstall());
    EXPECT_FALSE(DirectoryExists(data));
    // An existing folder that still holds the user's file stays, and that is no failure.
    EXPECT_TRUE(FileExists(existing + "user.txt"));
}

TEST_F(UninstallerTest, UserFileInACreatedFolderMakesTheRemovalIncomplete) {
    const std::string data = Tree.MakeFolder("Data\\");
    Tree.MakeFile("Data\\a.txt");
    Tree.MakeFile("Data\\mine.txt");
    TUninstaller uninstaller = MakeUninstaller({"D" + data, "F" + data + "a.txt"});

    EXPECT_FALSE(uninstaller.Uninstall());
    EXPECT_TRUE(uninstaller.Failed);
    EXPECT_FALSE(FileExists(data + "a.txt"));
    EXPECT_TRUE(FileExists(data + "mine.txt"));
}

// What is gone already was removed, by hand or by an earlier entry for the same item: the
// removal is complete, and every entry is still processed.
TEST_F(UninstallerTest, EntriesRemovedByHandCountAsRemovedAndEveryEntryIsProcessed) {
    const std::string kept = Tree.MakeFile("first.txt");
    TUninstaller uninstaller = MakeUninstaller({
        "F" + kept,
        "D" + Tree.Path() + "Gone\\",
        "F" + Tree.Path() + "gone.txt",
    });

    EXPECT_TRUE(uninstaller.Uninstall());
    EXPECT_FALSE(FileExists(kept));
}

TEST_F(UninstallerTest, FolderMarkedForFilesLosesItsPlainFilesButNotItsSubfolders) {
    const std::string plain = Tree.MakeFolder("Plain\\");
    Tree.MakeFile("Plain\\a.log");
    Tree.MakeFile("Plain\\b.log");
    ::SetFileAttributesA((plain + "b.log").c_str(), FILE_ATTRIBUTE_HIDDEN);
    Tree.MakeFolder("Nested\\Inner\\");
    const std::string nested = Tree.Path() + "Nested\\";
    Tree.MakeFile("Nested\\c.log");
    Tree.MakeFile("Nested\\Inner\\d.log");

    TUninstaller plainOnly = MakeUninstaller({"T" + plain});
    EXPECT_TRUE(plainOnly.Uninstall());
    EXPECT_FALSE(DirectoryExists(plain));

    // The path may come without a trailing backslash.
    TUninstaller withSubfolder = MakeUninstaller({"T" + nested.substr(0, nested.size() - 1)});
    EXPECT_FALSE(withSubfolder.Uninstall());
    EXPECT_FALSE(FileExists(nested + "c.log"));
    EXPECT_TRUE(FileExists(nested + "Inner\\d.log"));
}

TEST_F(UninstallerTest, RegistryKeysAreDeletedWithTheirSubkeysAndNeverCount) {
    const std::string product = std::string(TestKeyPath) + "\\Product";
    CreateKeyWithValue(HKEY_CURRENT_USER, product + "\\Settings\\Deep");
    CreateKeyWithValue(HKEY_CURRENT_USER, product + "\\Other");
    CreateKeyWithValue(HKEY_CURRENT_USER, std::string(TestKeyPath) + "\\Plain");
    CreateKeyWithValue(HKEY_CURRENT_USER, std::string(TestKeyPath) + "\\Stays");
    CreateKeyWithValue(HKEY_LOCAL_MACHINE, std::string(TestKeyPath) + "\\Machine\\Sub");

    TUninstaller uninstaller = MakeUninstaller({
        "U\\" + product,
        "U" + std::string(TestKeyPath) + "\\Plain",
        "M\\" + std::string(TestKeyPath) + "\\Machine",
        "U\\" + std::string(TestKeyPath) + "\\Missing",
        "U",
        "U\\",
    });

    EXPECT_TRUE(uninstaller.Uninstall());
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, product));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, std::string(TestKeyPath) + "\\Plain"));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, std::string(TestKeyPath) + "\\Machine"));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, std::string(TestKeyPath) + "\\Stays"));
    // The lines naming no key at all left the root alone.
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, "Software"));
}

// A record naming the shared list of installed programs (as one written for a product without
// a name did) or a key right below a root must not take other products' keys with it. Under
// HKEY_CLASSES_ROOT a product's extension and type name sit right below the root and are
// deleted; the roots that every program shares there are not.
TEST_F(UninstallerTest, SharedListAndTopLevelKeysAreNeverDeleted) {
    const std::string list = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
    const std::string other = list + "\\UninstallerTests Other Product";
    const std::string top = "UninstallerTestsTop";
    CreateKeyWithValue(HKEY_CURRENT_USER, other);
    CreateKeyWithValue(HKEY_CURRENT_USER, top + "\\Sub");

    TUninstaller uninstaller = MakeUninstaller({
        "U\\" + list,
        "U" + list + "\\",
        "U\\\\SOFTWARE\\microsoft\\Windows\\\\CurrentVersion\\UNINSTALL\\\\",
        "U\\" + top,
        "U\\\\" + top + "\\\\",
    });
    const char* const classesRoots[] = {"CLSID",
                                        "Interface",
                                        "TypeLib",
                                        "AppID",
                                        "*",
                                        "Directory",
                                        "Folder",
                                        "Drive",
                                        "AllFilesystemObjects",
                                        "SystemFileAssociations",
                                        "MIME",
                                        "Installer",
                                        "WOW6432Node",
                                        "Local Settings"};
    const std::string marker = "UninstallerTestsMarker";
    for (const char* shared : classesRoots) {
        CreateKeyWithValue(HKEY_CLASSES_ROOT, std::string(shared) + "\\" + marker);
        uninstaller.InstallLog.push_back("C\\" + std::string(shared));
    }
    const std::string extension = ".uninstallertests";
    const std::string typeName = "UninstallerTests.Document";
    CreateKeyWithValue(HKEY_CLASSES_ROOT, extension);
    CreateKeyWithValue(HKEY_CLASSES_ROOT, typeName + "\\shell\\open");
    uninstaller.InstallLog.insert(uninstaller.InstallLog.end(),
                                  {"C\\" + extension, "C" + typeName + "\\", "C\\\\clsid\\", "C", "C\\"});

    EXPECT_TRUE(uninstaller.Uninstall());
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, other));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, top + "\\Sub"));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, extension));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, typeName));
    for (const char* shared : classesRoots) {
        EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, std::string(shared) + "\\" + marker)) << shared;
        ::RegDeleteTreeA(HKEY_CLASSES_ROOT, (std::string(shared) + "\\" + marker).c_str());
    }
    ::RegDeleteTreeA(HKEY_CURRENT_USER, other.c_str());
    ::RegDeleteTreeA(HKEY_CURRENT_USER, top.c_str());
}

TEST_F(UninstallerTest, UnknownLettersAndEmptyLinesAreSkipped) {
    const std::string file = Tree.MakeFile("x.txt");
    TUninstaller uninstaller = MakeUninstaller({"X" + file, "", "f" + file, "Z"});

    EXPECT_TRUE(uninstaller.Uninstall());
    EXPECT_TRUE(FileExists(file));
}

TEST_F(UninstallerTest, ProgramFolderAndItsParentsAreDeferredFoldersBelowAreRemoved) {
    const std::string vendor = Tree.MakeFolder("Vendor\\");
    const std::string program = Tree.MakeFolder("Vendor\\Velmora\\");
    const std::string below = Tree.MakeFolder("Vendor\\Velmora\\Plugins\\");
    const std::string sibling = Tree.MakeFolder("Vendor\\Vel"); // a prefix by characters
    const std::string path = program + "Uninst.exe";
    std::string upperVendor = vendor;
    for (char& c : upperVendor)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    WriteUninstaller(path, EmptyImage(),
                     RecordBytes({"D" + upperVendor, "D" + sibling, "D" + program, "D" + below,
                                  "F" + program + "Uninst.exe", "D" + Tree.Path() + "Vendor\\Gone\\"}));
    TUninstaller uninstaller(path);

    EXPECT_TRUE(uninstaller.Uninstall()); // the missing "Gone" folder counts as removed
    EXPECT_FALSE(DirectoryExists(below));
    EXPECT_EQ(uninstaller.DeferredFolders,
              (std::vector<std::string>{program, program, sibling, upperVendor}));
}

// End to end: a stand-in uninstaller copied into a product folder replays its record, starts
// the batch file and exits; the batch file, run by the command processor, deletes the
// uninstaller once it has ended, removes the deferred folders that are empty and itself.
// Folder names with letters outside ASCII and with the command processor's special
// characters, and a read-only uninstaller.
TEST(UninstallerSelfRemoval, BatchFileRemovesTheUninstallerAndItsEmptyFolders) {
    struct TCase {
        const char* Vendor;
        const char* Program;
        bool ReadOnly;
    };
    const TCase cases[] = {
        {"Vendor", "Velmora", false},
        {"M\xFCller Audio",
         "Gr\xF6\xDF"
         "e 5",
         false}, // ANSI: "Müller Audio", "Größe 5"
        {"100% Sound & Co", "Velmora (x86) ^%TEMP%", false},
        {"Sound & Co!", "Velmora! (x86) ^", false},
        {"Vendor", "Velmora", true},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(std::string(c.Vendor) + "\\" + c.Program + (c.ReadOnly ? " read-only" : ""));
        TTestFolder tree;
        const std::string outer = tree.MakeFolder("Outer\\");
        const std::string vendor = outer + c.Vendor + "\\";
        const std::string program = vendor + c.Program + "\\";
        ASSERT_TRUE(CreateDir(vendor) && CreateDir(program));
        tree.MakeFile("Outer\\user.txt"); // keeps Outer from being removed
        WriteBytes(program + "Velmora.txt", "data");
        const std::string uninstaller = program + "Uninst.exe";
        WriteUninstaller(
            uninstaller, ReadBytes(ProgramDirectory() + "UninstallSelfRemovalHelper.exe"),
            RecordBytes({"D" + outer, "D" + vendor, "D" + program, "F" + program + "Velmora.txt"}));
        if (c.ReadOnly)
            ::SetFileAttributesA(uninstaller.c_str(), FILE_ATTRIBUTE_READONLY);
        const std::set<std::string> batchFolders = BatchFolders();

        // Started in its own folder, as Explorer starts a program.
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process = {};
        std::string commandLine = "\"" + uninstaller + "\"";
        ASSERT_TRUE(::CreateProcessA(uninstaller.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0,
                                     nullptr, program.c_str(), &startup, &process));
        UniqueHandle processHandle(process.hProcess);
        UniqueHandle threadHandle(process.hThread);
        ASSERT_EQ(::WaitForSingleObject(process.hProcess, 60000), WAIT_OBJECT_0);
        DWORD exitCode = 99;
        ::GetExitCodeProcess(process.hProcess, &exitCode);
        EXPECT_EQ(exitCode, 0u);

        // The batch file runs on its own; give it up to a minute.
        for (int i = 0; i < 600 && (FileExists(uninstaller) || DirectoryExists(vendor) ||
                                    BatchFolders() != batchFolders);
             ++i)
            ::Sleep(100);
        EXPECT_FALSE(FileExists(uninstaller));
        EXPECT_FALSE(DirectoryExists(program));
        EXPECT_FALSE(DirectoryExists(vendor));
        EXPECT_TRUE(FileExists(outer + "user.txt"));
        EXPECT_EQ(BatchFolders(), batchFolders); // the batch file removed its folder
        if (FileExists(uninstaller))
            ::SetFileAttributesA(uninstaller.c_str(), FILE_ATTRIBUTE_NORMAL);
    }
}

// Each run writes its batch file into a new folder of its own, and the command processor is
// started by its full path. An uninstaller that can never be deleted (here held open by this
// test) leaves the batch file trying a bounded number of times; then it ends and removes itself
// and its folder all the same. (A link planted at the batch file's old, fixed path is tested
// with the real uninstaller in tests/setup/uninstall-run.sh: Wine makes links only from Linux.)
TEST(UninstallerSelfRemoval, BatchFileRunsFromAFreshFolderAndGivesUpOnAnUninstallerThatStays) {
    TTestFolder tree;
    const std::string program = tree.MakeFolder("Velmora\\");
    const std::string path = program + "Uninst.exe";
    WriteUninstaller(path, EmptyImage(), RecordBytes({}));
    TUninstaller uninstaller(path);
    UniqueFile held(
        ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(held);

    std::vector<std::string> batches;
    for (int run = 0; run < 2; ++run) {
        uninstaller.RemoveSelf(3);
        batches.push_back(uninstaller.BatchFile);
        const std::string folder = ExcludeDelimiter(FileFolder(uninstaller.BatchFile));
        EXPECT_TRUE(SameText(ParentFolder(folder), BatchFolderParent())) << folder;
        EXPECT_EQ(BaseFileName(folder).rfind(BatchFolderPrefix, 0), 0u) << folder;
        EXPECT_TRUE(FileExists(uninstaller.BatchFile));
    }
    EXPECT_NE(batches[0], batches[1]);
    char systemFolder[MAX_PATH];
    ::GetSystemDirectoryA(systemFolder, MAX_PATH);
    const std::vector<std::string> lines = ChildCommandProcessorLines();
    EXPECT_EQ(lines.size(), 2u);
    for (const std::string& line : lines) {
        EXPECT_TRUE(
            SameText(line.substr(0, line.find(' ')), "\"" + std::string(systemFolder) + "\\cmd.exe\""))
            << line;
        EXPECT_NE(line.find(" /d "), std::string::npos) << line;
        EXPECT_TRUE(line.find("\"" + batches[0] + "\"") != std::string::npos ||
                    line.find("\"" + batches[1] + "\"") != std::string::npos)
            << line;
    }

    for (int i = 0;
         i < 600 && (DirectoryExists(FileFolder(batches[0])) || DirectoryExists(FileFolder(batches[1]))); ++i)
        ::Sleep(100);
    EXPECT_FALSE(DirectoryExists(FileFolder(batches[0])));
    EXPECT_FALSE(DirectoryExists(FileFolder(batches[1])));
    EXPECT_TRUE(FileExists(path));
}

// A folder put in the uninstaller's place once it has ended (Windows lets a running program be
// renamed) is not emptied by the batch file, which "del" on a folder's name would do.
TEST(UninstallerSelfRemoval, BatchFileLeavesAFolderPutInTheUninstallersPlace) {
    TTestFolder tree;
    const std::string path = tree.MakeFolder("Velmora\\") + "Uninst.exe";
    WriteUninstaller(path, EmptyImage(), RecordBytes({}));
    TUninstaller uninstaller(path);
    ASSERT_TRUE(DeleteFileAt(path));
    const std::string victim = tree.MakeFile("Velmora\\Uninst.exe\\victim.txt");

    uninstaller.RemoveSelf(3);
    const std::string batchFolder = FileFolder(uninstaller.BatchFile);
    for (int i = 0; i < 600 && DirectoryExists(batchFolder); ++i)
        ::Sleep(100);
    EXPECT_FALSE(DirectoryExists(batchFolder));
    EXPECT_TRUE(FileExists(victim));
}
