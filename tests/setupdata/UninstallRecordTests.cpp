// The uninstall record: round trip, byte layout, line splitting and damaged records.

#include <gtest/gtest.h>

#include <cstring>

#include "common/Errors.h"
#include "common/Stream.h"
#include "common/TextEncoding.h"
#include "setupdata/UninstallRecord.h"
#include "tests/support/Bytes.h"
#include "tests/support/TestValues.h"

namespace {

std::vector<uint8_t> WriteRecord(const std::vector<std::string>& log, const std::string& product,
                                 const TProgramVersion& version = MakeVersion(5, 0, 4)) {
    TMemoryStream stream;
    WriteUninstallRecord(stream, version, log, product.data(), static_cast<int32_t>(product.size()));
    return stream.Bytes();
}

TUninstallRecord ReadRecord(const std::vector<uint8_t>& bytes, int64_t start = 0) {
    TMemoryStream stream;
    stream.Bytes() = bytes;
    stream.SetPosition(start);
    TUninstallRecord record;
    ReadUninstallRecord(stream, static_cast<int64_t>(bytes.size()), record);
    return record;
}

std::string ReadError(const std::vector<uint8_t>& bytes) {
    return ErrorOf([&] { ReadRecord(bytes); });
}

const std::vector<std::string> SampleLog = {
    "EC:\\Program Files\\",
    "DC:\\Program Files\\Vendor\\",
    "DC:\\Program Files\\Vendor\\Velmora\\",
    "FC:\\Program Files\\Vendor\\Velmora\\Velmora.exe",
    "U\\Software\\Vendor\\Velmora",
    "M\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Velmora 5",
};

} // namespace

TEST(UninstallRecord, LayoutHasSignatureCodePageZeroedGapVersionLengthsLogAndProductData) {
    const auto bytes = WriteRecord({"FC:\\a.txt", "DC:\\b\\"}, "Velmora");
    const std::string logText = "FC:\\a.txt\r\nDC:\\b\\\r\n";

    ASSERT_EQ(bytes.size(), 61 + logText.size() + 7);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 8), "QK/UNS/3");
    EXPECT_EQ(static_cast<uint32_t>(Int32At(bytes, 8)), RunningCodePage());
    for (int i = 12; i < 28; ++i)
        EXPECT_EQ(bytes[i], 0) << "undefined header byte " << i;
    EXPECT_EQ(Int32At(bytes, 28), -100);   // version marker
    EXPECT_EQ(Int32At(bytes, 32), 1);      // version stream format
    EXPECT_EQ(Int32At(bytes, 36), 5);      // major
    EXPECT_EQ(Int32At(bytes, 53), static_cast<int32_t>(logText.size()));
    EXPECT_EQ(Int32At(bytes, 57), 7);
    EXPECT_EQ(std::string(bytes.begin() + 61, bytes.begin() + 61 + logText.size()), logText);
    EXPECT_EQ(std::string(bytes.end() - 7, bytes.end()), "Velmora");
}

TEST(UninstallRecord, RoundTripRestoresVersionLogAndProductData) {
    const TProgramVersion version = MakeVersion(5, 0, 1, 2, true);
    const auto record = ReadRecord(WriteRecord(SampleLog, "Velmora", version));

    EXPECT_EQ(record.Version.Major, 5);
    EXPECT_EQ(record.Version.Minor, 0);
    EXPECT_EQ(record.Version.Release, 1);
    EXPECT_EQ(record.Version.Beta, 2);
    EXPECT_TRUE(record.Version.PressPreview);
    EXPECT_EQ(record.InstallLog, SampleLog);
    EXPECT_EQ(record.ProductDataLength, 7);
    EXPECT_EQ(std::string(record.ProductData.begin(), record.ProductData.end()), "Velmora");
}

TEST(UninstallRecord, RecordAppendedAfterAProgramImageIsReadFromItsOffset) {
    std::vector<uint8_t> file(1000, 0xCC);
    const auto record = WriteRecord(SampleLog, "Velmora");
    file.insert(file.end(), record.begin(), record.end());

    EXPECT_EQ(ReadRecord(file, 1000).InstallLog, SampleLog);
}

TEST(UninstallRecord, EmptyLogAndNoProductData) {
    const auto bytes = WriteRecord({}, "");
    EXPECT_EQ(bytes.size(), 61u);

    const auto record = ReadRecord(bytes);
    EXPECT_TRUE(record.InstallLog.empty());
    EXPECT_EQ(record.ProductDataLength, 0);
    EXPECT_TRUE(record.ProductData.empty());
}

// A record's texts are read in the running code page, whichever code page wrote them: an
// earlier version's record carries no code page and is in the system's ANSI one.
TEST(UninstallRecord, TextsAreReadInTheRunningCodePage) {
    const std::string cafe1252 = "Caf\xE9", cafeUtf8 = "Caf\xC3\xA9";
    const std::string running = ConvertCodePage(cafe1252, CodePageWindows1252, RunningCodePage());
    struct TCase {
        uint32_t Marked; // 0: no code page, as earlier versions wrote
        std::string Text;
        std::string Expected;
    };
    const TCase cases[] = {
        {0, cafe1252, ConvertCodePage(cafe1252, SystemAnsiCodePage(), RunningCodePage())},
        {CodePageWindows1252, cafe1252, running},
        {CodePageUtf8, cafeUtf8, running},
        {RunningCodePage(), "plain", "plain"},
    };
    for (const TCase& test : cases) {
        auto bytes = WriteRecord({"FC:\\" + test.Text + ".txt"}, test.Text);
        PutInt32At(bytes, 8, test.Marked);
        const auto record = ReadRecord(bytes);
        EXPECT_EQ(record.InstallLog, std::vector<std::string>{"FC:\\" + test.Expected + ".txt"})
            << test.Marked;
        EXPECT_EQ(std::string(record.ProductData.begin(), record.ProductData.end()), test.Expected);
        EXPECT_EQ(record.ProductDataLength, static_cast<int32_t>(test.Expected.size()));
    }
}

// The log text is read back line by line whatever breaks a hand-made or foreign record uses.
TEST(UninstallRecord, LogTextIsSplitAtEveryKindOfLineBreak) {
    EXPECT_EQ(ReadRecord(WriteRecord({"Fa\rDb\nEc", "", "Td\n\rMe"}, "")).InstallLog,
              (std::vector<std::string>{"Fa", "Db", "Ec", "", "Td", "", "Me"}));
}

TEST(UninstallRecord, DamagedRecordsAreRejected) {
    const auto good = WriteRecord(SampleLog, "Velmora");
    const int32_t logLength = Int32At(good, 53);
    // The good record with 32-bit fields (offset, value) changed.
    const auto changed = [&](std::initializer_list<std::pair<size_t, int32_t>> fields) {
        auto bytes = good;
        for (const auto& [offset, value] : fields)
            PutInt32At(bytes, offset, static_cast<uint32_t>(value));
        return ReadError(bytes);
    };

    auto badSignature = good;
    badSignature[7] = '2';
    EXPECT_EQ(ReadError(badSignature), "Invalid uninstall data signature");

    auto setupSignature = good;
    std::memcpy(setupSignature.data(), "QK/ISB/3", 8);
    EXPECT_EQ(ReadError(setupSignature), "Invalid uninstall data signature");

    EXPECT_EQ(ReadError(std::vector<uint8_t>(good.begin(), good.begin() + 20)), "Stream read error");
    EXPECT_EQ(changed({{32, 2}}), "Invalid version number on stream");
    EXPECT_EQ(changed({{53, -1}}), "Invalid uninstall data");
    EXPECT_EQ(changed({{57, -7}}), "Invalid uninstall data");
    EXPECT_EQ(changed({{53, 0x7FFFFFFF}}), "Invalid uninstall data");
    // Both lengths large enough that their sum overflows 32 bits.
    EXPECT_EQ(changed({{53, 0x7FFFFFF0}, {57, 0x7FFFFFF0}}), "Invalid uninstall data");
    // Product data past the end.
    EXPECT_EQ(changed({{57, 8}}), "Invalid uninstall data");

    auto truncated = good;
    truncated.pop_back();
    EXPECT_EQ(ReadError(truncated), "Invalid uninstall data");

    // Shorter lengths than the bytes present are fine: anything after the record is ignored.
    EXPECT_EQ(changed({{53, logLength - 2}, {57, 0}}), "(no error)");
}

// The record of an installation made over an earlier one: each item once, at its first place,
// so that folders still come before what is inside them; a folder created by either run goes.
TEST(UninstallRecord, MergedLogHoldsEachItemOnceWithTheStrongestFolderLetter) {
    struct TCase {
        const char* Name;
        std::vector<std::string> Earlier;
        std::vector<std::string> Current;
        std::vector<std::string> Merged;
    };
    const TCase cases[] = {
        {"update: the earlier D wins over this run's E; a file no longer shipped stays listed",
         {"EC:\\Docs\\", "DC:\\Docs\\Vendor\\", "FC:\\Docs\\Vendor\\old.dll", "FC:\\Docs\\Vendor\\a.exe",
          "U\\Software\\Vendor\\Velmora\\5.0"},
         {"EC:\\docs", "EC:\\Docs\\VENDOR\\", "DC:\\Docs\\Vendor\\New\\", "FC:\\Docs\\Vendor\\New\\b.txt",
          "FC:\\Docs\\Vendor\\A.EXE", "U\\Software\\Vendor\\Velmora\\5.1",
          "U\\\\software\\vendor\\velmora\\5.0\\"},
         {"EC:\\Docs\\", "DC:\\Docs\\Vendor\\", "FC:\\Docs\\Vendor\\old.dll", "FC:\\Docs\\Vendor\\a.exe",
          "U\\Software\\Vendor\\Velmora\\5.0", "DC:\\Docs\\Vendor\\New\\", "FC:\\Docs\\Vendor\\New\\b.txt",
          "U\\Software\\Vendor\\Velmora\\5.1"}},
        {"repair: the same log twice, doubled delimiters, T over D, keys apart per root",
         {"DC:\\P\\", "DC:\\P\\Logs\\", "FC:\\P\\a.txt", "M\\Software\\Vendor", "", "X?"},
         {"EC:\\P\\", "TC:\\P\\\\Logs", "FC:\\P\\\\a.txt", "FC:\\P\\a.txt", "U\\Software\\Vendor"},
         {"DC:\\P\\", "TC:\\P\\Logs\\", "FC:\\P\\a.txt", "M\\Software\\Vendor", "U\\Software\\Vendor"}},
        {"no earlier record: this run's log, each item once",
         {},
         {"DC:\\P\\", "FC:\\P\\a.txt", "Fc:\\p\\A.txt"},
         {"DC:\\P\\", "FC:\\P\\a.txt"}},
        {"accented letters fold as the file system folds them",
         {"D" + ProductText("C:\\Caf\xE9\\")},
         {"E" + ProductText("C:\\CAF\xC9"), "F" + ProductText("C:\\CAF\xC9\\\xE9t\xE9.txt"),
          "F" + ProductText("C:\\Caf\xE9\\\xC9T\xC9.TXT")},
         {"D" + ProductText("C:\\Caf\xE9\\"), "F" + ProductText("C:\\CAF\xC9\\\xE9t\xE9.txt")}},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(MergeInstallLogs(c.Earlier, c.Current), c.Merged) << c.Name;
}
