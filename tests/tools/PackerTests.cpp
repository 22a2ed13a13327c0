// The packing tool: round trips through the program's own reader, the bytes it writes, its
// refusals, and reproducible output.

#include <gtest/gtest.h>

#include <zlib.h>

#include <cstring>
#include <filesystem>
#include <map>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include "setupdata/ArchiveFormat.h"
#include "setupdata/SetupData.h"
#include "tests/setupdata/ArchiveBuilder.h"
#include "tests/support/TestFolder.h"
#include "tests/support/TestValues.h"
#include "tools/setuppack/ArchiveCommands.h"
#include "tools/setuppack/Packer.h"

namespace fs = std::filesystem;
using namespace Archive;

namespace {

// Files by UTF-8 path below root ("/" separated); a path ending in "/" is an empty folder.
void MakeTree(const fs::path& root, const std::map<std::string, std::string>& files) {
    for (const auto& [path, content] : files) {
        const fs::path full = root / fs::u8path(path);
        if (path.back() == '/') {
            fs::create_directories(full);
            continue;
        }
        fs::create_directories(full.parent_path());
        WriteBytes(full, content);
    }
}

std::map<std::string, std::string> SampleProduct() {
    return {
        {"Setup.ini", "[Setup]\r\nProductName=Velmora\r\n"},
        {"Setup.lic", "License"},
        {".keep", ""},
        {"Program/Vm5.exe", Noise(200000, 1)},
        {"Program/Readme.txt", std::string(50000, 'r')},
        {"Program/empty.txt", ""},
        {"Program/Presets/Empty/.keep", ""},
        {"Program/Presets/\xC3\x84rger \xE2\x82\xAC.txt", "umlaut and euro"},
        {"Help/Manual.txt", "manual"},
    };
}

// The product version 5.04, built 2024-05-01 at 05:04.
TPackOptions Options(const TTestFolder& scratch, const std::string& output = "Setup.dat") {
    TPackOptions options;
    options.ProductFolder = scratch.PathOf("product");
    options.OutputPath = scratch.PathOf(output);
    options.Version.FromText("5.04");
    options.BuildDate = EncodeDateTime(2024, 5, 1, 5, 4, 0);
    return options;
}

std::string PackError(const TPackOptions& options) {
    return ErrorOf<EPackError>([&] { PackProduct(options); });
}

// Every record of an archive read straight from the bytes, independent of the reader.
struct TRawEntry {
    std::string Path;
    std::string Record;  // the 76 bytes
    std::string Content; // what follows the record
};

void ParseList(const std::string& bytes, size_t& pos, const std::string& parent, std::vector<TRawEntry>& out,
               std::vector<std::string>& terminators) {
    for (;;) {
        const std::string record = bytes.substr(pos, RecordSize);
        pos += RecordSize;
        if (record[0] == 0) {
            terminators.push_back(record);
            return;
        }
        const std::string name = record.substr(1, static_cast<uint8_t>(record[0]));
        const int32_t length = Int32At(record, 68);
        out.push_back({parent + name, record, bytes.substr(pos, static_cast<size_t>(length))});
        if (Int32At(record, 72) == FolderSize) {
            size_t inner = pos;
            ParseList(bytes, inner, parent + name + "\\", out, terminators);
            EXPECT_EQ(inner, pos + static_cast<size_t>(length)) << name;
        }
        pos += static_cast<size_t>(length);
    }
}

class PackerTest : public ::testing::Test {
protected:
    TTestFolder Scratch;
    fs::path Product() const { return Scratch.PathOf("product"); }
};

TEST_F(PackerTest, RoundTripThroughTheProgramsReader) {
    MakeTree(Product(), SampleProduct());
    const TPackOptions options = Options(Scratch);
    const TPackResult result = PackProduct(options);
    EXPECT_EQ(result.FileCount, 7);
    EXPECT_EQ(result.ArchiveOffset, 0);

    TInstaller installer("", options.OutputPath);
    EXPECT_EQ(installer.Version.ToText(), "5.04");
    const auto ini = installer.ReadFile("SETUP.INI");
    ASSERT_NE(ini, nullptr);
    EXPECT_EQ(std::string(ini->Bytes().begin(), ini->Bytes().end()), "[Setup]\r\nProductName=Velmora\r\n");
    EXPECT_EQ(installer.ComponentSize("program"), 200000 + 50000 + 15);

    // The progress counts every byte read for the checksum, then every byte verified, then
    // every byte written.
    const fs::path out = Scratch.PathOf("out");
    std::map<std::string, std::pair<int64_t, int64_t>> progress; // the last done and total of each stage
    ExtractSetup(options.OutputPath, out.string(),
                 [&](const char* stage, int64_t done, int64_t total) { progress[stage] = {done, total}; });
    const int64_t checksummed = result.ArchiveSize - Archive::HeaderSize;
    EXPECT_EQ(progress, (std::map<std::string, std::pair<int64_t, int64_t>>{
                            {"extracting", {result.InputBytes, result.InputBytes}},
                            {"reading", {checksummed, checksummed}},
                            {"verifying", {result.InputBytes, result.InputBytes}}}));
    std::map<std::string, std::string> extracted;
    for (const auto& item : fs::recursive_directory_iterator(out)) {
        const std::string relative = fs::relative(item.path(), out).generic_u8string();
        extracted[item.is_directory() ? relative + "/" : relative] = item.is_directory() ? "" : ReadBytes(item.path());
    }
    std::map<std::string, std::string> expected;
    for (const auto& [path, content] : SampleProduct()) {
        if (fs::path(path).filename() == ".keep")
            continue;
        expected[path] = content;
    }
    for (const char* folder : {"Program/", "Program/Presets/", "Program/Presets/Empty/", "Help/"})
        expected[folder] = "";
    EXPECT_EQ(extracted, expected);
}

TEST_F(PackerTest, ArchiveBytesAreWhatTheFormatPrescribes) {
    MakeTree(Product(), SampleProduct());
    const TPackOptions options = Options(Scratch);
    PackProduct(options);
    const std::string bytes = ReadBytes(options.OutputPath);

    EXPECT_EQ(bytes.substr(0, 8), "QK/ISB/3");
    EXPECT_EQ(Int32At(bytes, 8), static_cast<int32_t>(bytes.size() - 28));
    EXPECT_EQ(static_cast<uint32_t>(Int32At(bytes, 12)),
              adler32(1, reinterpret_cast<const Bytef*>(bytes.data() + 28), static_cast<uInt>(bytes.size() - 28)));
    THeader header;
    uint8_t headerBytes[HeaderSize];
    std::memcpy(headerBytes, bytes.data(), HeaderSize);
    DecodeHeader(headerBytes, header);
    EXPECT_EQ(DateTimeToDosDateTime(header.BuildDate), DosStamp(2024, 5, 1, 5, 4));
    EXPECT_EQ(header.FileCount, 7);

    std::vector<TRawEntry> entries;
    std::vector<std::string> terminators;
    size_t pos = EntriesOffset;
    ParseList(bytes, pos, "", entries, terminators);
    EXPECT_EQ(pos, bytes.size());
    EXPECT_EQ(terminators.size(), 5u); // the top level and four folders

    std::vector<std::string> paths;
    for (const TRawEntry& entry : entries) {
        paths.push_back(entry.Path);
        const auto nameLength = static_cast<uint8_t>(entry.Record[0]);
        EXPECT_EQ(entry.Record.substr(1 + nameLength, 67 - nameLength), std::string(67 - nameLength, '\0'))
            << entry.Path;
        if (Int32At(entry.Record, 72) != FolderSize) {
            EXPECT_EQ(entry.Content.substr(0, 2), "\x78\xDA") << entry.Path;
        }
    }
    const std::vector<std::string> expectedPaths = {
        // Letters beyond ASCII are ordered by their byte values, after all ASCII letters.
        "Help", "Help\\Manual.txt", "Program", "Program\\empty.txt", "Program\\Presets",
        "Program\\Presets\\Empty", "Program\\Presets\\\xC4rger \x80.txt", "Program\\Readme.txt",
        "Program\\Vm5.exe", "Setup.ini", "Setup.lic",
    };
    EXPECT_EQ(paths, expectedPaths);
    for (const std::string& terminator : terminators) {
        EXPECT_EQ(terminator.substr(0, 72), std::string(72, '\0'));
        EXPECT_EQ(Int32At(terminator, 72), -1);
    }
}

TEST_F(PackerTest, FilesCompressedInPiecesAreOneOrdinaryZlibStream) {
    const size_t mebibyte = 1024 * 1024;
    const std::map<std::string, std::string> files = {
        {"exact.bin", Noise(mebibyte / 2, 4) + std::string(mebibyte / 2, 'x')},
        {"one-more.bin", std::string(mebibyte, 'y') + "z"},
        {"large.bin", Noise(mebibyte, 5) + std::string(mebibyte, 'a') + Noise(mebibyte / 2, 5)},
    };
    MakeTree(Product(), files);
    TPackOptions options = Options(Scratch);
    options.Jobs = 3;
    PackProduct(options);
    const std::string bytes = ReadBytes(options.OutputPath);
    std::vector<TRawEntry> entries;
    std::vector<std::string> terminators;
    size_t pos = EntriesOffset;
    ParseList(bytes, pos, "", entries, terminators);
    ASSERT_EQ(entries.size(), files.size());
    for (const TRawEntry& entry : entries) {
        // zlib's one-call decoder checks the header, every block and the trailer.
        const std::string& expected = files.at(entry.Path);
        std::string inflated(expected.size() + 1, '\0');
        uLongf size = static_cast<uLongf>(inflated.size());
        ASSERT_EQ(uncompress(reinterpret_cast<Bytef*>(&inflated[0]), &size,
                             reinterpret_cast<const Bytef*>(entry.Content.data()), static_cast<uLong>(entry.Content.size())),
                  Z_OK)
            << entry.Path;
        inflated.resize(size);
        EXPECT_TRUE(inflated == expected) << entry.Path;
    }
}

TEST_F(PackerTest, StoredOrderIgnoresCaseAndMixesFilesAndFolders) {
    MakeTree(Product(), {{"b.txt", "b"}, {"A/x", "x"}, {"C.txt", "c"}, {"_x", "_"}, {"a.txt", "a"}, {"B/y", "y"}});
    const TPackOptions options = Options(Scratch);
    PackProduct(options);
    TInstaller installer("", options.OutputPath);
    std::vector<std::string> top;
    installer.ListEntries([&](const std::string& path, const TEntryRecord&) {
        if (path.find('\\') == std::string::npos)
            top.push_back(path);
    });
    EXPECT_EQ(top, (std::vector<std::string>{"_x", "A", "a.txt", "B", "b.txt", "C.txt"}));
}

TEST_F(PackerTest, SameInputsAndDateGiveTheSameBytesWithAnyNumberOfThreads) {
    std::map<std::string, std::string> files = SampleProduct();
    for (int i = 0; i < 40; ++i)
        files["Program/Many/file" + std::to_string(i)] = Noise(static_cast<size_t>(i) * 3000, i) + std::string(i * 1000, 'z');
    MakeTree(Product(), files);
    TPackOptions one = Options(Scratch, "one.dat");
    one.Jobs = 1;
    TPackOptions many = Options(Scratch, "many.dat");
    many.Jobs = 5;
    PackProduct(one);
    PackProduct(many);
    EXPECT_EQ(ReadBytes(one.OutputPath), ReadBytes(many.OutputPath));
    PackProduct(many);
    EXPECT_EQ(ReadBytes(one.OutputPath), ReadBytes(many.OutputPath));
}

TEST_F(PackerTest, AppendsToACopyOfTheSetupProgram) {
    MakeTree(Product(), SampleProduct());
    std::string stub = "MZ" + Noise(998, 3);
    PutInt32At(stub, DataOffsetPosition, 0);
    PutInt32At(stub, UninstallFlagPosition, 1);
    const std::string stubPath = Scratch.PathOf("stub.exe");
    WriteBytes(stubPath, stub);

    TPackOptions options = Options(Scratch, "Setup.exe");
    options.StubPath = stubPath;
    const TPackResult result = PackProduct(options);
    EXPECT_EQ(result.ArchiveOffset, 1000);
    const std::string exe = ReadBytes(options.OutputPath);
    EXPECT_EQ(exe.substr(0, 48), stub.substr(0, 48));
    EXPECT_EQ(exe.substr(56, 944), stub.substr(56, 944));
    EXPECT_EQ(Int32At(exe, DataOffsetPosition), 1000);
    EXPECT_EQ(Int32At(exe, UninstallFlagPosition), 0);
    EXPECT_EQ(static_cast<int64_t>(exe.size()), 1000 + result.ArchiveSize);
    TInstaller installer("", options.OutputPath);
    EXPECT_EQ(installer.EntriesStart, 1000 + EntriesOffset);

    // A setup program that already carries an archive loses it first.
    TPackOptions again = Options(Scratch, "Again.exe");
    again.StubPath = options.OutputPath;
    PackProduct(again);
    EXPECT_EQ(ReadBytes(again.OutputPath), exe);
}

TEST_F(PackerTest, RefusesWhatTheFormatCannotCarryAndNamesTheFile) {
    struct {
        const char* What;
        std::string Path; // UTF-8, below the product folder
        const char* Message;
    } cases[] = {
        {"68-byte name", "Program/" + std::string(64, 'n') + ".txt", "is longer than 67 bytes"},
        {"outside Windows-1252", "Program/\xE6\x97\xA5\xE6\x9C\xAC.txt", "cannot be written in the Windows-1252"},
        {"C1 control", "Program/a\xC2\x81.txt", "cannot be written in the Windows-1252"},
#ifndef _WIN32 // names that Windows itself cannot create
        {"device name", "Program/aux.txt", "cannot be used for a file on Windows"},
        {"trailing dot", "Program/name.", "cannot be used for a file on Windows"},
        {"wildcard", "what?.txt", "cannot be used for a file on Windows"},
        {"colon", "Program/a:b", "cannot be used for a file on Windows"},
        {"backslash", "Program/a\\b", "cannot be used for a file on Windows"},
        {"control character", "Program/tab\there", "cannot be used for a file on Windows"},
        {"invalid UTF-8", "Program/\xFF.txt", "cannot be written in the Windows-1252"},
#endif
    };
    for (const auto& c : cases) {
        TTestFolder scratch;
        MakeTree(scratch.PathOf("product"), {{"Setup.ini", "x"}, {c.Path, "data"}});
        const TPackOptions options = Options(scratch);
        const std::string error = PackError(options);
        EXPECT_NE(error.find(c.Message), std::string::npos) << c.What << ": " << error;
        EXPECT_NE(error.find("\"" + c.Path + "\""), std::string::npos) << c.What << ": " << error;
        EXPECT_FALSE(fs::exists(options.OutputPath)) << c.What;
        EXPECT_FALSE(fs::exists(options.OutputPath + ".part")) << c.What;
    }
}

TEST_F(PackerTest, SixtySevenByteNamesAndDeepestFoldersAreAccepted) {
    std::string deep;
    for (int i = 0; i < MaxFolderDepth; ++i)
        deep += "d/";
    MakeTree(Product(), {{std::string(67, 'n'), "x"}, {deep + "f", "deep"}});
    const TPackOptions options = Options(Scratch);
    PackProduct(options);
    EXPECT_EQ(VerifySetup(options.OutputPath).Files, 2);

    MakeTree(Product(), {{deep + "d/f", "too deep"}});
    EXPECT_NE(PackError(options).find("lies deeper than 64 folders"), std::string::npos);
}

TEST_F(PackerTest, RefusesBadOutputsAndStubs) {
    MakeTree(Product(), SampleProduct());
    TPackOptions inside = Options(Scratch, "product/Program/Setup.dat");
    EXPECT_NE(PackError(inside).find("lies inside the product folder"), std::string::npos);

    WriteBytes(Scratch.PathOf("notes.txt"), std::string(100, 'n'));
    TPackOptions stub = Options(Scratch, "Setup.exe");
    stub.StubPath = Scratch.PathOf("notes.txt");
    EXPECT_NE(PackError(stub).find("is not a Windows program"), std::string::npos);

    TPackOptions missing = Options(Scratch);
    missing.ProductFolder = Scratch.PathOf("nothing");
    EXPECT_NE(PackError(missing).find("is not a folder"), std::string::npos);
}

#ifndef _WIN32
TEST_F(PackerTest, RefusesFilesOf2GiBAndSpecialFiles) {
    MakeTree(Product(), {{"Setup.ini", "x"}});
    fs::path big = Product() / "big.bin";
    WriteBytes(big, "");
    fs::resize_file(big, uint64_t(1) << 31); // sparse: nothing is written
    const TPackOptions options = Options(Scratch);
    EXPECT_EQ(PackError(options), "\"big.bin\" is 2 GiB or larger");
    fs::remove(big);

    ASSERT_EQ(mkfifo((Product() / "pipe").c_str(), 0600), 0);
    EXPECT_EQ(PackError(options), "\"pipe\" is neither a file nor a folder");
}
#endif

TEST_F(PackerTest, ExtractWritesNothingWhenAMemberIsDamaged) {
    TTestEntry bad = TTestEntry::File("b.txt", "short");
    bad.FileSize = 6;
    const std::string archive =
        BuildArchive({TTestEntry::Dir("Program", {TTestEntry::File("a.txt", "fine"), bad})}, TProgramVersion());
    const std::string path = Scratch.PathOf("Setup.dat");
    WriteBytes(path, archive);
    const fs::path out = Scratch.PathOf("out");
    EXPECT_THROW(ExtractSetup(path, out.string()), ESetupError);
    EXPECT_FALSE(fs::exists(out));

    fs::create_directories(out / "something");
    MakeTree(Product(), {{"Setup.ini", "x"}});
    PackProduct(Options(Scratch));
    EXPECT_THROW(ExtractSetup(path, out.string()), Exception);
}

} // namespace
