// The read side of TInstaller: finding and verifying the archive, lookups, the tree walk, and
// damaged or hostile archives, which must fail when the archive is opened.

#include <gtest/gtest.h>

#include <functional>

#include "common/CommonUtils.h"
#include "common/Errors.h"
#include "common/FileSystem.h"
#include "setupdata/Inflate.h"
#include "setupdata/SetupData.h"
#include "tests/setupdata/ArchiveBuilder.h"
#include "tests/support/TestFolder.h"
#include "tests/support/TestValues.h"

using Archive::TEntryRecord;

namespace {

std::vector<TTestEntry> SampleEntries() {
    TTestEntry ini = TTestEntry::File("Setup.ini", "[Setup]\r\nProductName=Velmora\r\n");
    ini.NamePadding = "\x01garbage\xFF"; // leftover memory after the name
    return {
        TTestEntry::Dir("Help", {TTestEntry::File("Manual.txt", "read me")}),
        TTestEntry::Dir("Program",
                        {TTestEntry::File("Vm5.exe", std::string(5000, 'e')),
                         TTestEntry::Dir("Empty"),
                         TTestEntry::Dir("Presets", {TTestEntry::File("a.preset", std::string(300, 'p')),
                                                     TTestEntry::Dir("Nothing", {TTestEntry::Dir("Deeper")})}),
                         TTestEntry::File("zero.dat", "")}),
        ini,
        TTestEntry::File("Setup.lic", "License text"),
    };
}

std::string Text(const std::unique_ptr<TMemoryStream>& stream) {
    return std::string(stream->Bytes().begin(), stream->Bytes().end());
}

// Records what the walk hands to an extraction target, without reading any content, so the
// walk must find each next record on its own.
class TRecordingTarget : public IExtractTarget {
public:
    std::vector<std::string> Calls;
    void PrepareFolder(const std::string& folder) override { Calls.push_back("folder " + folder); }
    void ExtractFile(TStream& archive, const TEntryRecord& record, const std::string& target,
                     uint32_t fileDate) override {
        Calls.push_back("file " + target + " " + std::to_string(record.FileSize) + " " + std::to_string(fileDate));
        if (InflateFiles) {
            TInflateStream inflater(archive, record.ContentLength, record.FileSize);
            std::vector<char> sink(static_cast<size_t>(record.FileSize) + 1);
            inflater.ReadBuffer(sink.data(), record.FileSize);
        }
    }
    bool InflateFiles = false;
};

class InstallerTest : public ::testing::Test {
protected:
    TTestFolder Scratch;

    std::string WriteDat(const std::string& archive) {
        const std::string path = Scratch.PathOf("Setup.dat");
        WriteBytes(path, archive);
        return path;
    }
    std::string OpenError(const std::string& archive) {
        const std::string path = WriteDat(archive);
        return ErrorOf([&] { TInstaller installer("", path); });
    }
};

TEST_F(InstallerTest, FindsTheArchiveAppendedOrBesideTheProgram) {
    const std::string archive = BuildArchive(SampleEntries());
    const std::string exe = Scratch.PathOf("Setup.exe");

    WriteBytes(exe, AppendToStub(archive, 1000));
    {
        // The engine holds the file open for reading only, and others may only read it, till
        // it ends.
        TInstaller appended("", exe);
        EXPECT_EQ(appended.EntriesStart, 1000 + 53);
        EXPECT_EQ(Text(appended.ReadFile("Setup.lic")), "License text");
    }

    // DataOffset 0 or negative: Setup.dat in the program's folder.
    for (int32_t offset : {0, -5}) {
        std::string stub = AppendToStub(std::string(), 64);
        PutInt32At(stub, Archive::DataOffsetPosition, offset);
        WriteBytes(exe, stub);
        EXPECT_EQ(ErrorOf([&] { TInstaller installer("", exe); }).rfind("Cannot open file \"", 0), 0u);
        WriteDat(archive);
        {
            TInstaller beside("", exe);
            EXPECT_EQ(beside.EntriesStart, 53);
            EXPECT_EQ(Text(beside.ReadFile("Setup.lic")), "License text");
        }
        std::filesystem::remove(Scratch.PathOf("Setup.dat"));
    }
}

TEST_F(InstallerTest, ReadsVersionAndBuildDate) {
    TInstaller installer("", WriteDat(BuildArchive(SampleEntries())));
    EXPECT_EQ(installer.Version.ToText(), "5.04");
    EXPECT_EQ(installer.ArchiveFileDate, DosStamp(2024, 5, 1, 5, 4));
    EXPECT_TRUE(installer.InstallLog.empty());
}

TEST_F(InstallerTest, ResourceNameThatDoesNotExistFails) {
    EXPECT_EQ(ErrorOf([] { TInstaller installer("NOSUCHRESOURCE"); }), "Resource NOSUCHRESOURCE not found");
}

TEST_F(InstallerTest, WrongSignature) {
    std::string archive = BuildArchive(SampleEntries());
    archive[3] = 'i';
    EXPECT_EQ(OpenError(archive), "Invalid setup data signature");
}

TEST_F(InstallerTest, AnyChangeInTheChecksummedRangeIsRefused) {
    const std::string good = BuildArchive(SampleEntries());
    for (size_t at : {size_t(28), size_t(40), size_t(53), size_t(60), good.size() / 2, good.size() - 1}) {
        std::string archive = good;
        archive[at] ^= 0x20;
        EXPECT_EQ(OpenError(archive), "The installer appears to be corrupted. Please download it again") << at;
    }
    EXPECT_EQ(OpenError(good.substr(0, good.size() - 1)),
              "The installer appears to be corrupted. Please download it again");
}

// After the archive only a code signing tool's certificate table may follow: zero padding,
// then WIN_CERTIFICATE entries up to the end of the file, where the PE security directory
// says. Anything else is refused as damage.
TEST_F(InstallerTest, OnlyACertificateTableMayFollowTheArchive) {
    const std::string archive = BuildArchive(SampleEntries());
    // Four bytes of padding before the table.
    const std::string program = AppendToStub(archive, 256 + static_cast<int32_t>((12 - archive.size() % 8) % 8));
    const std::string good = SignProgram(program, {std::string(29, 'c'), std::string(8, 'd')});
    const int32_t tableAt = Int32At(good, SecurityDirectoryAt);
    const std::string path = Scratch.PathOf("Signed.exe");
    WriteBytes(path, good);
    {
        TInstaller signedProgram("", path);
        EXPECT_EQ(signedProgram.CodeSignature.Offset, tableAt);
        EXPECT_EQ(signedProgram.CodeSignature.Size, 56);
    }

    const auto changed = [&](size_t at, const std::string& bytes) {
        std::string result = good;
        return result.replace(at, bytes.size(), bytes);
    };
    std::string movedTable = good; // eight more bytes of padding
    movedTable.insert(static_cast<size_t>(tableAt), 8, '\0');
    PutInt32At(movedTable, SecurityDirectoryAt, tableAt + 8);
    std::string unsignedTail = program + "tail";
    const struct {
        const char* What;
        std::string Bytes;
    } refused[] = {
        {"a byte after the signature", good + "x"},
        {"padding that is not zero", changed(static_cast<size_t>(tableAt) - 1, "p")},
        {"more padding than alignment needs", movedTable},
        {"a table that starts inside the archive", changed(SecurityDirectoryAt, std::string("\x10\x01\0\0", 4))},
        {"an entry of another type", changed(static_cast<size_t>(tableAt) + 6, std::string("\x01", 1))},
        {"an entry longer than the table", changed(static_cast<size_t>(tableAt), std::string("\x50", 1))},
        {"trailing bytes in a program that is not signed", unsignedTail},
        {"trailing bytes after a Setup.dat", archive + good.substr(program.size())},
    };
    for (const auto& c : refused) {
        WriteBytes(path, c.Bytes);
        EXPECT_EQ(ErrorOf([&] { TInstaller installer("", path); }),
                  "The installer appears to be corrupted. Please download it again")
            << c.What;
    }
}

TEST_F(InstallerTest, BuildDateAndFileCountAreNotChecked) {
    std::string archive = BuildArchive(SampleEntries());
    PutInt32At(archive, 24, 0);
    archive[16] ^= 0x7F;
    EXPECT_EQ(OpenError(archive), "(no error)");
}

TEST_F(InstallerTest, ChecksumCoversOnlyWhatTheFileHolds) {
    // A ChecksumLength beyond the end of the file sums what is there.
    std::string archive = BuildArchive(SampleEntries());
    PutInt32At(archive, 8, static_cast<int32_t>(archive.size()) + 10000);
    EXPECT_EQ(OpenError(archive), "(no error)");
    // ChecksumLength 0 covers nothing: the sum is 1.
    PutInt32At(archive, 8, 0);
    PutInt32At(archive, 12, 1);
    EXPECT_EQ(OpenError(archive), "(no error)");
}

TEST_F(InstallerTest, ChecksumOfALargeArchiveCountsWhatTheFileHolds) {
    // Several megabytes, read in large pieces: a covered length that ends inside the data or
    // past a file cut anywhere sums exactly the bytes that are there.
    std::string noise(3 * 1024 * 1024 + 5000, '\0');
    uint32_t state = 1;
    for (char& c : noise)
        c = static_cast<char>((state = state * 1103515245u + 12345u) >> 24);
    const std::string good =
        BuildArchive({TTestEntry::Dir("Program", {TTestEntry::File("noise.bin", noise)})});
    const std::string damaged = Archive::DamagedDataMessage;
    struct TCase {
        size_t FileSize;
        int32_t Covered; // 0: as written
        std::string Expected;
    };
    const TCase cases[] = {{good.size(), 1024 * 1024 + 3 * 4096 + 17, "(no error)"},
                           {good.size(), 2 * 1024 * 1024, "(no error)"},
                           {28 + 1024 * 1024, 0, damaged},
                           {28 + 1024 * 1024 + 1, 0, damaged},
                           {28 + 2 * 1024 * 1024 - 4096 + 100, 0, damaged},
                           {good.size() - 1, 0, damaged}};
    for (const TCase& test : cases) {
        std::string archive = good.substr(0, test.FileSize);
        if (test.Covered != 0)
            PutInt32At(archive, 8, test.Covered);
        const size_t covered =
            std::min<size_t>(archive.size() - 28, static_cast<size_t>(Int32At(archive, 8)));
        PutInt32At(archive, 12, static_cast<int32_t>(Adler32(1, archive.data() + 28, covered)));
        EXPECT_EQ(OpenError(archive), test.Expected) << test.FileSize << " " << covered;
    }
}

TEST_F(InstallerTest, BadVersionMarker) {
    std::string archive = BuildArchive(SampleEntries());
    PutInt32At(archive, 32, 2);
    FixChecksum(archive);
    EXPECT_EQ(OpenError(archive), "Invalid version number on stream");
}

TEST_F(InstallerTest, ReadFileLooksUpTopLevelFilesWithoutRegardToCase) {
    TInstaller installer("", WriteDat(BuildArchive(SampleEntries())));
    EXPECT_EQ(Text(installer.ReadFile("setup.INI")), "[Setup]\r\nProductName=Velmora\r\n");
    EXPECT_EQ(installer.ReadFile("Program"), nullptr); // a folder
    EXPECT_EQ(installer.ReadFile("Vm5.exe"), nullptr); // not at the top
    EXPECT_EQ(installer.ReadFile("Setup.jpg"), nullptr);
    const auto stream = installer.ReadFile("SETUP.LIC");
    EXPECT_EQ(stream->Position(), 0);
}

TEST_F(InstallerTest, FileAndFolderOfTheSameNameAndFirstMatchWins) {
    const std::vector<TTestEntry> entries = {
        TTestEntry::Dir("Data", {TTestEntry::File("x", "12345")}),
        TTestEntry::File("DATA", "the file"),
        TTestEntry::File("data", "a later file"),
        TTestEntry::Dir("data", {TTestEntry::File("y", "1")}),
        TTestEntry::File("empty", ""),
    };
    TInstaller installer("", WriteDat(BuildArchive(entries)));
    EXPECT_EQ(Text(installer.ReadFile("Data")), "the file");
    EXPECT_EQ(installer.ComponentSize("data"), 5);
    EXPECT_EQ(Text(installer.ReadFile("EMPTY")), "");
}

TEST_F(InstallerTest, ComponentSizeAddsUpTheWholeSubtree) {
    TInstaller installer("", WriteDat(BuildArchive(SampleEntries())));
    EXPECT_EQ(installer.ComponentSize("program"), 5000 + 300);
    EXPECT_EQ(installer.ComponentSize("Help"), 7);
    EXPECT_EQ(installer.ComponentSize("Missing"), 0);
    EXPECT_EQ(installer.ComponentSize("Setup.ini"), 0); // a file, not a component
}

TEST_F(InstallerTest, ComponentSizeOfEmptyFoldersIsZero) {
    TInstaller installer(
        "", WriteDat(BuildArchive({TTestEntry::Dir("Only", {TTestEntry::Dir("a"), TTestEntry::Dir("b")})})));
    EXPECT_EQ(installer.ComponentSize("Only"), 0);
}

TEST_F(InstallerTest, ComponentSizeAddsUpBeyond4GiB) {
    // Sizes are taken from the records; the members are never inflated for measuring.
    TTestEntry big = TTestEntry::File("big", "x");
    big.FileSize = INT32_MAX;
    TTestEntry big2 = big;
    big2.Name = "big2";
    TTestEntry big3 = big;
    big3.Name = "big3";
    TInstaller installer("", WriteDat(BuildArchive({TTestEntry::Dir("C", {big, big2, big3})})));
    EXPECT_EQ(installer.ComponentSize("C"), 3 * int64_t(INT32_MAX));
}

TEST_F(InstallerTest, WalkPreparesEveryFolderAndFindsRecordsWithoutReadingContent) {
    TInstaller installer("", WriteDat(BuildArchive(SampleEntries())));
    TRecordingTarget target;
    const char d = PathDelimiter();
    const std::string root = std::string("dest") + d;
    EXPECT_EQ(installer.ExtractFolder("PROGRAM", root, 1234, &target), 0);
    const std::vector<std::string> expected = {
        "folder " + root,
        "file " + root + "Vm5.exe 5000 1234",
        "folder " + root + "Empty" + d,
        "folder " + root + "Presets" + d,
        "file " + root + "Presets" + d + "a.preset 300 1234",
        "folder " + root + "Presets" + d + "Nothing" + d,
        "folder " + root + "Presets" + d + "Nothing" + d + "Deeper" + d,
        "file " + root + "zero.dat 0 1234",
    };
    EXPECT_EQ(target.Calls, expected);

    TRecordingTarget inflating;
    inflating.InflateFiles = true;
    installer.ExtractFolder("Program", root, 1, &inflating);
    EXPECT_EQ(inflating.Calls.size(), expected.size());

    TRecordingTarget none;
    EXPECT_EQ(installer.ExtractFolder("NoSuchFolder", root, 1, &none), 0);
    EXPECT_TRUE(none.Calls.empty());
}

TEST_F(InstallerTest, ListEntriesGivesEveryEntryInStoredOrder) {
    TInstaller installer("", WriteDat(BuildArchive(SampleEntries())));
    std::vector<std::string> paths;
    installer.ListEntries([&](const std::string& path, const TEntryRecord& record) {
        paths.push_back(path + (record.IsFolder() ? "\\" : ""));
    });
    const std::vector<std::string> expected = {
        "Help\\", "Help\\Manual.txt", "Program\\", "Program\\Vm5.exe", "Program\\Empty\\", "Program\\Presets\\",
        "Program\\Presets\\a.preset", "Program\\Presets\\Nothing\\", "Program\\Presets\\Nothing\\Deeper\\",
        "Program\\zero.dat", "Setup.ini", "Setup.lic",
    };
    EXPECT_EQ(paths, expected);
}

TEST_F(InstallerTest, FoldersMayNestUpToTheLimit) {
    TInstaller installer("", WriteDat(BuildArchive({NestedFolders(Archive::MaxFolderDepth)})));
    EXPECT_EQ(installer.ComponentSize("d1"), 4);
}

// Each archive below has a correct checksum, so only the structure check stands between it
// and the walk. Every fault is tried at the top level and inside a component.
TEST_F(InstallerTest, HostileArchivesAreRefusedWhenOpened) {
    const std::string damaged = Archive::DamagedDataMessage;
    struct TFault {
        const char* What;
        std::function<void(TTestEntry&)> Apply;
    };
    const TFault faults[] = {
        {"name ..", [](TTestEntry& e) { e.Name = ".."; }},
        {"name .", [](TTestEntry& e) { e.Name = "."; }},
        {"backslash", [](TTestEntry& e) { e.Name = "..\\..\\evil.dll"; }},
        {"slash", [](TTestEntry& e) { e.Name = "../evil.dll"; }},
        {"drive", [](TTestEntry& e) { e.Name = "C:"; }},
        {"stream", [](TTestEntry& e) { e.Name = "a.txt:hidden"; }},
        {"control character", [](TTestEntry& e) { e.Name = "a\x01.txt"; }},
        {"NUL in name", [](TTestEntry& e) { e.Name = std::string("a\0b", 3); }},
        {"name length above 67", [](TTestEntry& e) { e.NameLength = 200; }},
        {"negative ContentLength", [](TTestEntry& e) { e.ContentLength = -76; }},
        {"ContentLength past the file", [](TTestEntry& e) { e.ContentLength = 1 << 20; }},
        {"ContentLength near 2 GiB", [](TTestEntry& e) { e.ContentLength = INT32_MAX; }},
        {"FileSize below -1", [](TTestEntry& e) { e.FileSize = -2; }},
        {"FileSize most negative", [](TTestEntry& e) { e.FileSize = INT32_MIN; }},
    };
    for (const TFault& fault : faults) {
        TTestEntry atTop = TTestEntry::File("Setup.ini", "[Setup]");
        fault.Apply(atTop);
        EXPECT_EQ(OpenError(BuildArchive({atTop})), damaged) << fault.What << " at the top";

        TTestEntry inner = TTestEntry::File("inner.txt", "inner");
        fault.Apply(inner);
        const TTestEntry component = TTestEntry::Dir("Program", {TTestEntry::File("a", "a"), inner});
        EXPECT_EQ(OpenError(BuildArchive({component, TTestEntry::File("z", "z")})), damaged)
            << fault.What << " inside a component";
    }
}

TEST_F(InstallerTest, FolderLengthsThatLeaveTheirListAreRefused) {
    const std::string damaged = Archive::DamagedDataMessage;
    // A child whose content runs past the end of its folder, though not past the file.
    TTestEntry child = TTestEntry::File("child", "data");
    child.ContentLength = 200;
    const TTestEntry folder = TTestEntry::Dir("Program", {child});
    EXPECT_EQ(OpenError(BuildArchive({folder, TTestEntry::File("Setup.lic", std::string(500, 'l'))})),
              damaged);

    // A folder too short to hold its own terminator.
    TTestEntry shortFolder = TTestEntry::Dir("Program", {TTestEntry::File("a", "a")});
    shortFolder.ContentLength = 40;
    EXPECT_EQ(OpenError(BuildArchive({shortFolder, TTestEntry::File("z", std::string(200, 'z'))})), damaged);

    // A top-level list without a terminator: cut it off and fix the checksum.
    std::string archive = BuildArchive({TTestEntry::File("a", "a")});
    archive.resize(archive.size() - 76);
    FixChecksum(archive);
    EXPECT_EQ(OpenError(archive), damaged);

    // Too deep.
    EXPECT_EQ(OpenError(BuildArchive({NestedFolders(Archive::MaxFolderDepth + 1)})), damaged);
}

TEST_F(InstallerTest, FolderWhoseContentLengthIsZeroIsRefused) {
    // Its children would be read from the following records, so it must not pass.
    TTestEntry folder = TTestEntry::Dir("Program", {TTestEntry::File("a", "a")});
    folder.ContentLength = 0;
    EXPECT_EQ(OpenError(BuildArchive({folder})), Archive::DamagedDataMessage);
}

TEST_F(InstallerTest, MemberThatInflatesToTheWrongSizeFailsWhenRead) {
    TTestEntry ini = TTestEntry::File("Setup.ini", "[Setup]");
    ini.FileSize = 3;
    TTestEntry lic = TTestEntry::File("Setup.lic", "license");
    lic.FileSize = 100;
    TTestEntry tool = TTestEntry::File("tool.exe", "abc");
    tool.FileSize = 4;
    TInstaller installer("", WriteDat(BuildArchive({TTestEntry::Dir("Program", {tool}), ini, lic})));
    EXPECT_EQ(ErrorOf([&] { installer.ReadFile("Setup.ini"); }), Archive::DamagedDataMessage);
    EXPECT_EQ(ErrorOf([&] { installer.ReadFile("Setup.lic"); }), Archive::DamagedDataMessage);
    TRecordingTarget target;
    target.InflateFiles = true;
    EXPECT_EQ(ErrorOf([&] { installer.ExtractFolder("Program", "x/", 0, &target); }), Archive::DamagedDataMessage);
}

TEST_F(InstallerTest, DamagedMemberDataIsRefusedByReadFile) {
    TTestEntry ini = TTestEntry::File("Setup.ini", "");
    ini.Content = std::string("\x78\xDA\xFF\xFF\xFF\xFF", 6);
    ini.FileSize = 10;
    TInstaller installer("", WriteDat(BuildArchive({ini})));
    EXPECT_THROW(installer.ReadFile("Setup.ini"), Exception);
}

} // namespace
