// The write side of TInstaller against the real file system (natively and under Wine):
// extracting components with the switches and the file-name hook, the file dates, the folder
// creation with its log entries, and the log itself.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <filesystem>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include "common/CommonUtils.h"
#include "common/Errors.h"
#include "common/FileSystem.h"
#include "common/TextEncoding.h"
#include "setupdata/ArchiveFormat.h"
#include "setupdata/SetupData.h"
#include "tests/setupdata/ArchiveBuilder.h"
#include "tests/support/TestFolder.h"
#include "tests/support/TestValues.h"

namespace fs = std::filesystem;

namespace {

const char Sep = PathDelimiter();

// Bytes that differ all along, so that a buffer boundary in the wrong place would show.
std::string Pattern(size_t size, int seed) {
    std::string out(size, '\0');
    uint32_t state = static_cast<uint32_t>(seed) * 2654435761u + 1;
    for (char& c : out) {
        state = state * 1103515245u + 12345u;
        c = static_cast<char>(state >> 24);
    }
    return out;
}

constexpr uint32_t SomeDate = DosStamp(2019, 3, 4, 10, 20, 30);

std::vector<TTestEntry> ProductEntries() {
    return {
        TTestEntry::Dir(
            "Program",
            {TTestEntry::File("Big.dll", Pattern(3 * 64 * 1024 + 17, 1)), TTestEntry::Dir("Empty"),
             TTestEntry::Dir("Presets", {TTestEntry::File("a.preset", std::string(300, 'p')),
                                         TTestEntry::Dir("Nothing", {TTestEntry::Dir("Deeper")})}),
             TTestEntry::File("Vm5.exe", std::string(5000, 'e')), TTestEntry::File("zero.dat", "")}),
        TTestEntry::Dir("Plugins",
                        {TTestEntry::File("x.dll", "plug-in"), TTestEntry::File("readme.txt", "r")}),
        TTestEntry::File("Setup.ini", "[Setup]\r\n"),
    };
}

class ExtractTest : public ::testing::Test {
protected:
    TTestFolder Scratch;
    std::unique_ptr<TInstaller> Installer;

    void SetUp() override { Installer = Open(ProductEntries()); }

    // The fixture's engine lets go of its Setup.dat first: an engine keeps others from
    // writing the file while it has it open.
    std::unique_ptr<TInstaller> Open(const std::vector<TTestEntry>& entries) {
        Installer.reset();
        const std::string path = Scratch.PathOf("Setup.dat");
        WriteBytes(path, BuildArchive(entries));
        return std::make_unique<TInstaller>("", path);
    }
    // A folder path inside the scratch folder, with a trailing delimiter.
    std::string Folder(const std::string& name) const { return (Scratch.PathOf(name)) + Sep; }
    const std::string& Root() const { return Scratch.Path(); }
};

// GCC 12 for i686 warns here that a concatenation's memcpy of 2 GiB overlaps itself: a known
// false positive of -Wrestrict on std::string::insert, which operator+ of a literal and a
// temporary string uses once inlined. No string of this test comes near that length.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wrestrict"
TEST_F(ExtractTest, ExtractsTheWholeTreeAndLogsEveryFolderAndFileInOrder) {
    const std::string dest = Folder("Velmora");
    // The destination may come without its trailing delimiter.
    EXPECT_EQ(Installer->ExtractComponent("program", dest.substr(0, dest.size() - 1), 0), 0);

    // The first existing ancestor is E; a folder this extraction created is not logged again as
    // the existing parent of its subfolders.
    const std::string presets = dest + "Presets" + Sep;
    const std::string nothing = presets + "Nothing" + Sep;
    const std::vector<std::string> expected = {
        "E" + Root(),           "D" + dest,
        "F" + dest + "Big.dll", "D" + dest + "Empty" + Sep,
        "D" + presets,          "F" + presets + "a.preset",
        "D" + nothing,          "D" + nothing + "Deeper" + Sep,
        "F" + dest + "Vm5.exe", "F" + dest + "zero.dat",
    };
    EXPECT_EQ(Installer->InstallLog, expected);
    EXPECT_EQ(ReadBytes(dest + "Big.dll"), Pattern(3 * 64 * 1024 + 17, 1));
    EXPECT_EQ(ReadBytes(dest + "Vm5.exe"), std::string(5000, 'e'));
    EXPECT_EQ(ReadBytes(dest + "Presets" + Sep + "a.preset"), std::string(300, 'p'));
    EXPECT_TRUE(FileExists(dest + "zero.dat"));
    EXPECT_EQ(fs::file_size(dest + "zero.dat"), 0u);
    EXPECT_TRUE(DirectoryExists(dest + "Empty"));
    EXPECT_TRUE(DirectoryExists(dest + "Presets" + Sep + "Nothing" + Sep + "Deeper"));
    // Only the component: nothing of the other folder or the top-level files.
    EXPECT_FALSE(FileExists(dest + "x.dll"));
    EXPECT_FALSE(FileExists(dest + "Setup.ini"));
}
#pragma GCC diagnostic pop

TEST_F(ExtractTest, EmptyDestinationMeasuresAndMissingComponentDoesNothing) {
    EXPECT_EQ(Installer->ExtractComponent("Program", "", 0), Installer->ComponentSize("Program"));
    EXPECT_EQ(Installer->ExtractComponent("Program", "", 0), 3 * 64 * 1024 + 17 + 300 + 5000);
    // A top-level file is not a component.
    EXPECT_EQ(Installer->ExtractComponent("Setup.ini", Folder("Dest"), 0), 0);
    EXPECT_EQ(Installer->ExtractComponent("Missing", Folder("Dest"), 0), 0);
    EXPECT_TRUE(Installer->InstallLog.empty());
    EXPECT_FALSE(DirectoryExists(Folder("Dest")));
}

TEST_F(ExtractTest, WithoutOverwriteAnExistingFileIsLeftAloneAndNotLogged) {
    const std::string dest = Folder("Plugins");
    fs::create_directory(dest);
    WriteBytes(dest + "x.dll", "the user's own");
    TExtractOptions keep;
    keep.Overwrite = false;
    Installer->ExtractComponent("Plugins", dest, 0, keep);

    EXPECT_EQ(ReadBytes(dest + "x.dll"), "the user's own");
    EXPECT_EQ(ReadBytes(dest + "readme.txt"), "r");
    EXPECT_EQ(Installer->InstallLog, (std::vector<std::string>{"E" + dest, "F" + dest + "readme.txt"}));
}

TEST_F(ExtractTest, WithOverwriteAReadOnlyFileIsReplaced) {
    const std::string dest = Folder("Plugins");
    fs::create_directory(dest);
    WriteBytes(dest + "x.dll", "old version");
    fs::permissions(dest + "x.dll", fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    ASSERT_EQ(fs::status(dest + "x.dll").permissions() & fs::perms::owner_write, fs::perms::none);

    Installer->ExtractComponent("Plugins", dest, 0);
    EXPECT_EQ(ReadBytes(dest + "x.dll"), "plug-in");
    EXPECT_EQ(Installer->InstallLog,
              (std::vector<std::string>{"E" + dest, "F" + dest + "x.dll", "F" + dest + "readme.txt"}));
}

TEST_F(ExtractTest, HookThatRenamesWritesAndLogsTheNewName) {
    const std::string dest = Folder("Vst3");
    std::vector<std::string> seen;
    TExtractOptions rename;
    rename.OnExtractFile = [&](std::string& fileName) {
        seen.push_back(fileName);
        if (fileName.size() > 4 && SameText(fileName.substr(fileName.size() - 4), ".dll"))
            fileName = fileName.substr(0, fileName.size() - 4) + ".vst3";
    };
    Installer->ExtractComponent("Plugins", dest, 0, rename);

    EXPECT_EQ(seen, (std::vector<std::string>{dest + "x.dll", dest + "readme.txt"}));
    EXPECT_EQ(ReadBytes(dest + "x.vst3"), "plug-in");
    EXPECT_FALSE(FileExists(dest + "x.dll"));
    EXPECT_EQ(Installer->InstallLog,
              (std::vector<std::string>{"E" + Root(), "D" + dest, "F" + dest + "x.vst3",
                                        "F" + dest + "readme.txt"}));
}

TEST_F(ExtractTest, HookThatEmptiesThePathSkipsTheFile) {
    const std::string dest = Folder("Plugins");
    TExtractOptions skip;
    skip.OnExtractFile = [](std::string& fileName) {
        if (fileName.size() >= 5 && fileName.compare(fileName.size() - 5, 5, "x.dll") == 0)
            fileName.clear();
    };
    Installer->ExtractComponent("Plugins", dest, 0, skip);

    EXPECT_FALSE(FileExists(dest + "x.dll"));
    EXPECT_TRUE(FileExists(dest + "readme.txt"));
    EXPECT_EQ(Installer->InstallLog,
              (std::vector<std::string>{"E" + Root(), "D" + dest, "F" + dest + "readme.txt"}));
}

// The files are written by a thread of their own while the next ones are read: a file
// handed over must count as there for the next, a file of several blocks must arrive whole,
// and the bytes reported must grow to the total. The two names differ in the case of an
// accented letter, which Windows folds as it folds A to Z (natively, only the handed-over
// set can tell: the file system here keeps both).
TEST_F(ExtractTest, WithoutOverwriteTwoEntriesHookedToOneNameWriteItOnceAndProgressCountsTheBytes) {
    const std::string large = Pattern(2 * 1024 * 1024 + 5, 3);
    auto installer = Open({TTestEntry::Dir("V", {TTestEntry::File("Caf\xE9.dll", "first"),
                                                 TTestEntry::File("CAF\xC9.vst3", "second"),
                                                 TTestEntry::File("large.bin", large)})});
    const std::string dest = Folder("V");
    TExtractOptions options;
    options.Overwrite = false;
    options.OnExtractFile = [](std::string& fileName) {
        if (fileName.size() > 4 && fileName.compare(fileName.size() - 4, 4, ".dll") == 0)
            fileName = fileName.substr(0, fileName.size() - 4) + ".vst3";
    };
    std::vector<uint64_t> reported;
    options.OnProgress = [&](uint64_t written) { reported.push_back(written); };
    installer->ExtractComponent("V", dest, 0, options);

    const std::string written = dest + ProductText("Caf\xE9.vst3");
    EXPECT_EQ(ReadBytes(written), "first");
    EXPECT_EQ(ReadBytes(dest + "large.bin"), large);
    EXPECT_EQ(installer->InstallLog,
              (std::vector<std::string>{"E" + Root(), "D" + dest, "F" + written, "F" + dest + "large.bin"}));
    EXPECT_EQ(installer->BytesWritten(), 5 + large.size());
    ASSERT_FALSE(reported.empty());
    EXPECT_TRUE(std::is_sorted(reported.begin(), reported.end()));
    EXPECT_LE(reported.back(), installer->BytesWritten());
}

TEST_F(ExtractTest, EmptySubfolderIsCreatedAndLoggedAsExistingWhenItWasThere) {
    auto installer = Open({TTestEntry::Dir("C", {TTestEntry::Dir("Empty"), TTestEntry::Dir("There")})});
    const std::string dest = Folder("C");
    fs::create_directories(dest + "There");
    installer->ExtractComponent("C", dest, 0);

    EXPECT_TRUE(DirectoryExists(dest + "Empty"));
    // The destination existed before: E, and again E as the existing parent of the new folder.
    EXPECT_EQ(installer->InstallLog,
              (std::vector<std::string>{"E" + dest, "E" + dest, "D" + dest + "Empty" + Sep,
                                        "E" + dest + "There" + Sep}));
}

TEST_F(ExtractTest, SecondPassLogsTheFoldersAsExistingAndEveryFileAgain) {
    const std::string dest = Folder("Velmora");
    Installer->ExtractComponent("Program", dest, 0);
    const size_t firstPass = Installer->InstallLog.size();
    Installer->ExtractComponent("Program", dest, 0);

    const std::vector<std::string> second(Installer->InstallLog.begin() + static_cast<ptrdiff_t>(firstPass),
                                          Installer->InstallLog.end());
    const std::vector<std::string> expected = {
        "E" + dest,
        "F" + dest + "Big.dll",
        "E" + dest + "Empty" + Sep,
        "E" + dest + "Presets" + Sep,
        "F" + dest + "Presets" + Sep + "a.preset",
        "E" + dest + "Presets" + Sep + "Nothing" + Sep,
        "E" + dest + "Presets" + Sep + "Nothing" + Sep + "Deeper" + Sep,
        "F" + dest + "Vm5.exe",
        "F" + dest + "zero.dat",
    };
    EXPECT_EQ(second, expected);
    EXPECT_EQ(ReadBytes(dest + "Big.dll"), Pattern(3 * 64 * 1024 + 17, 1));
}

TEST_F(ExtractTest, EveryFileCarriesTheGivenDateOrTheArchivesInLocalTime) {
    const std::string dest = Folder("Dated");
    Installer->ExtractComponent("Program", dest, 0);
    // BuildDate 2024-05-01 05:04 local time.
    const uint32_t archiveDate = DosStamp(2024, 5, 1, 5, 4);
    ASSERT_EQ(Installer->ArchiveFileDate, archiveDate);
    for (const char* name : {"Big.dll", "Vm5.exe", "zero.dat"})
        EXPECT_EQ(GetFileDate(dest + name), std::optional<uint32_t>(archiveDate)) << name;
    EXPECT_EQ(GetFileDate(dest + "Presets" + Sep + "a.preset"), std::optional<uint32_t>(archiveDate));

    const std::string other = Folder("Item");
    Installer->ExtractComponent("Plugins", other, SomeDate);
    EXPECT_EQ(GetFileDate(other + "x.dll"), std::optional<uint32_t>(SomeDate));
    EXPECT_EQ(GetFileDate(other + "readme.txt"), std::optional<uint32_t>(SomeDate));
}

#ifndef _WIN32
// The stamp is local time: with the clock five hours behind UTC, 10:20:30 local is 15:20:30 UTC.
// (Under Wine the prefix's zone is the machine's, usually UTC, where the two agree.)
TEST_F(ExtractTest, FileDateIsReadAsLocalTime) {
    const char* saved = std::getenv("TZ");
    const std::string savedZone = saved != nullptr ? saved : "";
    ::setenv("TZ", "EST5", 1);
    ::tzset();
    const std::string dest = Folder("Zone");
    Installer->ExtractComponent("Plugins", dest, SomeDate);
    struct stat st = {};
    const int statResult = ::stat((dest + "x.dll").c_str(), &st);
    if (saved != nullptr)
        ::setenv("TZ", savedZone.c_str(), 1);
    else
        ::unsetenv("TZ");
    ::tzset();
    ASSERT_EQ(statResult, 0);
    // 2019-03-04 15:20:30 UTC.
    EXPECT_EQ(static_cast<long long>(st.st_mtime), 1551712830LL);
}
#endif

TEST_F(ExtractTest, DateThatCannotBeSetIsIgnored) {
    auto installer = Open({TTestEntry::Dir("C", {TTestEntry::File("a.txt", "a")})});
    const std::string dest = Folder("C");
    // 30 February.
    installer->ExtractComponent("C", dest, DosStamp(2024, 2, 30));
    EXPECT_EQ(ReadBytes(dest + "a.txt"), "a");
    EXPECT_EQ(installer->InstallLog.back(), "F" + dest + "a.txt");
}

TEST_F(ExtractTest, FileThatCannotBeCreatedStopsWithTheFileLayersErrorAndKeepsWhatWasDone) {
    auto installer =
        Open({TTestEntry::Dir("C", {TTestEntry::File("a.txt", "a"), TTestEntry::File("b.txt", "b"),
                                    TTestEntry::File("c.txt", "c")})});
    const std::string dest = Folder("C");
    fs::create_directories(dest + "b.txt"); // a folder in the way

    const std::string error = ErrorOf([&] { installer->ExtractComponent("C", dest, 0); });
    EXPECT_EQ(error.rfind("Cannot create file \"" + dest + "b.txt\". ", 0), 0u) << error;
    EXPECT_EQ(installer->InstallLog, (std::vector<std::string>{"E" + dest, "F" + dest + "a.txt"}));
    EXPECT_TRUE(FileExists(dest + "a.txt"));
    EXPECT_FALSE(FileExists(dest + "c.txt"));
}

// Files after the one that fails may have been created ahead of the writer, and their folder
// made: none of it is left, and a file that was there before keeps its content.
TEST_F(ExtractTest, MemberThatBreaksOffHalfWrittenLeavesNoFileBehindNorAnyAfterIt) {
    // The record promises more bytes than the stream holds; the structure is sound, so the
    // archive opens, and the error comes while the file is being written.
    TTestEntry broken = TTestEntry::File("broken.dll", Pattern(600 * 1024, 2));
    broken.FileSize = 700 * 1024;
    std::vector<TTestEntry> entries = {TTestEntry::File("a.txt", "a"), broken};
    for (int i = 0; i < 40; ++i)
        entries.push_back(TTestEntry::File("after" + std::to_string(i) + ".txt", "new"));
    entries.push_back(TTestEntry::Dir("Sub", {TTestEntry::File("s.txt", "s")}));
    auto installer = Open({TTestEntry::Dir("C", entries)});
    const std::string dest = Folder("C");
    fs::create_directories(dest);
    WriteBytes(dest + "after7.txt", "old");

    EXPECT_EQ(ErrorOf([&] { installer->ExtractComponent("C", dest, 0); }), Archive::DamagedDataMessage);
    EXPECT_FALSE(FileExists(dest + "broken.dll"));
    EXPECT_EQ(installer->InstallLog, (std::vector<std::string>{"E" + dest, "F" + dest + "a.txt"}));
    std::vector<std::string> left;
    for (const auto& entry : fs::directory_iterator(dest))
        left.push_back(entry.path().filename().string());
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{"a.txt", "after7.txt"}));
    EXPECT_EQ(ReadBytes(dest + "after7.txt"), "old");
}

TEST_F(ExtractTest, CreateFolderLogsTheFirstExistingAncestorThenEveryCreatedFolder) {
    // The scratch folder stands in for C:\Program Files\.
    const std::string programFiles = Root();
    const std::string vendor = programFiles + "Vendor" + Sep;
    const std::string velmora = vendor + "Velmora" + Sep;
    EXPECT_TRUE(Installer->CreateFolder(velmora, false));
    EXPECT_EQ(Installer->InstallLog,
              (std::vector<std::string>{"E" + programFiles, "D" + vendor, "D" + velmora}));
    EXPECT_TRUE(DirectoryExists(velmora));

    // Logged exactly as passed; the parent of a path without a trailing delimiter keeps its own.
    Installer->InstallLog.clear();
    EXPECT_TRUE(Installer->CreateFolder(velmora + "Data" + Sep + "Sub", false));
    EXPECT_EQ(Installer->InstallLog, (std::vector<std::string>{"E" + velmora, "D" + velmora + "Data" + Sep,
                                                               "D" + velmora + "Data" + Sep + "Sub"}));

    // An existing folder is one E entry; nothing above it is looked at.
    Installer->InstallLog.clear();
    EXPECT_TRUE(Installer->CreateFolder(velmora, false));
    EXPECT_EQ(Installer->InstallLog, std::vector<std::string>{"E" + velmora});
}

TEST_F(ExtractTest, CreateFolderDoesNotLogAParentThisInstallationCreatedAsExisting) {
    const std::string vendor = Root() + "Vendor" + Sep;
    const std::string velmora = vendor + "Velmora" + Sep;
    EXPECT_TRUE(Installer->CreateFolder(vendor, false));
    EXPECT_TRUE(Installer->CreateFolder(velmora, false));
    EXPECT_TRUE(Installer->CreateFolder(velmora + "Sub" + Sep, true));
    EXPECT_TRUE(Installer->CreateFolder(velmora + "Sub" + Sep + "Deep" + Sep, false));
    EXPECT_EQ(Installer->InstallLog, (std::vector<std::string>{"E" + Root(), "D" + vendor, "D" + velmora,
                                                               "T" + velmora + "Sub" + Sep,
                                                               "D" + velmora + "Sub" + Sep + "Deep" + Sep}));
}

TEST_F(ExtractTest, CreateFolderMarkingFilesLogsTEvenForAnExistingFolder) {
    const std::string logs = Root() + "Logs" + Sep;
    EXPECT_TRUE(Installer->CreateFolder(logs, true));
    EXPECT_EQ(Installer->InstallLog, (std::vector<std::string>{"E" + Root(), "T" + logs}));

    Installer->InstallLog.clear();
    EXPECT_TRUE(Installer->CreateFolder(logs, true));
    EXPECT_EQ(Installer->InstallLog, (std::vector<std::string>{"E" + Root(), "T" + logs}));
}

TEST_F(ExtractTest, CreateFolderThatCannotBeCreatedReportsFalseAndLogsNothingForIt) {
    EXPECT_FALSE(Installer->CreateFolder("", false));
    EXPECT_TRUE(Installer->InstallLog.empty());

    // A file in the way.
    WriteBytes(Scratch.PathOf("File"), "x");
    EXPECT_FALSE(Installer->CreateFolder(Root() + "File" + Sep + "Sub" + Sep, false));
    EXPECT_EQ(Installer->InstallLog, std::vector<std::string>{"E" + Root()});
}

TEST_F(ExtractTest, LogEntriesAreTheKindLetterFollowedByThePath) {
    const std::pair<TLogKind, char> kinds[] = {
        {lkFile, 'F'},       {lkFolder, 'D'},     {lkFolderFiles, 'T'},    {lkUserKey, 'U'},
        {lkClassesKey, 'C'}, {lkMachineKey, 'M'}, {lkExistingFolder, 'E'},
    };
    for (const auto& [kind, letter] : kinds) {
        Installer->InstallLog.clear();
        Installer->AddLogEntry(kind, "C:\\Path with blanks\\x");
        EXPECT_EQ(Installer->InstallLog,
                  std::vector<std::string>{letter + std::string("C:\\Path with blanks\\x")});
    }
}

TEST_F(ExtractTest, RegistryKeysAreLoggedByRootWithThePathUnchanged) {
    Installer->LogRegistryKey(lrClassesRoot, "\\.velmora");
    Installer->LogRegistryKey(lrCurrentUser, "\\Software\\Vendor\\Velmora\\5.0");
    Installer->LogRegistryKey(lrLocalMachine, "Software\\Vendor\\Velmora\\5.0");
    Installer->LogRegistryKey(lrOther, "\\Software\\Users");
    EXPECT_EQ(Installer->InstallLog,
              (std::vector<std::string>{"C\\.velmora", "U\\Software\\Vendor\\Velmora\\5.0",
                                        "MSoftware\\Vendor\\Velmora\\5.0"}));
}

} // namespace
