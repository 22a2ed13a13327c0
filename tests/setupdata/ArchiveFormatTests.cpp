// Record and header coding, entry names and the build-date conversion.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "common/Errors.h"
#include "common/Stream.h"
#include "setupdata/ArchiveFormat.h"
#include "tests/setupdata/ArchiveBuilder.h"
#include "tests/support/TestValues.h"

using namespace Archive;

namespace {

TEST(ArchiveFormat, RecordFieldsSitAtTheirOffsetsLittleEndian) {
    TEntryRecord record;
    record.NameLength = 3;
    std::memcpy(record.Name, "abc", 3);
    record.Name[66] = 'z';
    record.ContentLength = 0x01020304;
    record.FileSize = -1;
    uint8_t bytes[RecordSize];
    EncodeRecord(record, bytes);
    EXPECT_EQ(bytes[0], 3);
    EXPECT_EQ(bytes[1], 'a');
    EXPECT_EQ(bytes[67], 'z');
    EXPECT_EQ(bytes[68], 0x04);
    EXPECT_EQ(bytes[71], 0x01);
    for (int i = 72; i < 76; ++i)
        EXPECT_EQ(bytes[i], 0xFF);

    TEntryRecord back;
    DecodeRecord(bytes, back);
    EXPECT_EQ(back.NameText(), "abc");
    EXPECT_EQ(back.ContentLength, 0x01020304);
    EXPECT_TRUE(back.IsFolder());
    EXPECT_FALSE(back.IsTerminator());
}

TEST(ArchiveFormat, NameTextNeverReadsPastTheNameField) {
    uint8_t bytes[RecordSize];
    std::memset(bytes, 'n', sizeof bytes);
    bytes[0] = 255;
    TEntryRecord record;
    DecodeRecord(bytes, record);
    EXPECT_EQ(record.NameText().size(), 67u);
}

TEST(ArchiveFormat, HeaderRoundTripKeepsEveryBit) {
    THeader header;
    std::memcpy(header.Signature, Signature, 8);
    header.ChecksumLength = -5;
    header.Checksum = 0xDEADBEEF;
    header.BuildDate = 45413.211111111111;
    header.FileCount = 7;
    uint8_t bytes[HeaderSize];
    EncodeHeader(header, bytes);
    EXPECT_EQ(std::memcmp(bytes, "QK/ISB/3", 8), 0);
    EXPECT_EQ(bytes[12], 0xEF);
    EXPECT_EQ(bytes[15], 0xDE);
    THeader back;
    DecodeHeader(bytes, back);
    EXPECT_EQ(back.ChecksumLength, -5);
    EXPECT_EQ(back.Checksum, 0xDEADBEEFu);
    EXPECT_EQ(back.BuildDate, header.BuildDate);
    EXPECT_EQ(back.FileCount, 7);
    // The double's sign and exponent byte is the last of its eight.
    EXPECT_EQ(bytes[23], 0x40);
}

// The image's fields as stored words and as read: only 1 flags an uninstaller, and a negative
// DataOffset means data beside the program, as 0 does. What Write stores reads back the same.
TEST(ArchiveFormat, ImageFieldsReadAndWriteInOnePlace) {
    struct {
        uint32_t StoredOffset, StoredFlag;
        int32_t DataOffset;
        bool Uninstaller;
    } const rows[] = {
        {1000, 0, 1000, false},    {0, 0, 0, false},
        {0xFFFFFFFF, 0, 0, false}, {0x80000000, 1, 0, true},
        {256, 1, 256, true},       {256, 2, 256, false},
        {256, 0x100, 256, false},  {256, 0x01000000, 256, false},
    };
    const std::string program = SignProgram(AppendToStub(std::string(8, 'a'), 256), {std::string(20, 'c')});
    for (const auto& row : rows) {
        std::string bytes = program;
        PutInt32At(bytes, DataOffsetPosition, row.StoredOffset);
        PutInt32At(bytes, UninstallFlagPosition, row.StoredFlag);
        TMemoryStream image;
        image.WriteBuffer(bytes.data(), static_cast<int32_t>(bytes.size()));
        const TImageFields fields = TImageFields::Read(image);
        EXPECT_EQ(fields.DataOffset, row.DataOffset) << row.StoredOffset;
        EXPECT_EQ(fields.Uninstaller, row.Uninstaller) << row.StoredFlag;
        EXPECT_EQ(fields.Certificate.Offset, Int32At(program, SecurityDirectoryAt));
        EXPECT_EQ(fields.Certificate.Size, Int32At(program, SecurityDirectoryAt + 4));
        EXPECT_EQ(fields.Certificate.DirectoryAt, static_cast<int64_t>(SecurityDirectoryAt));

        // Written back unsigned, as the uninstaller's copy is: the entry emptied, in place.
        TImageFields copy = fields;
        copy.Certificate = {0, 0, fields.Certificate.DirectoryAt};
        copy.Write(image);
        const TImageFields back = TImageFields::Read(image);
        EXPECT_EQ(back.DataOffset, fields.DataOffset);
        EXPECT_EQ(back.Uninstaller, fields.Uninstaller);
        EXPECT_EQ(back.Certificate.Size, 0);
        EXPECT_EQ(back.Certificate.DirectoryAt, fields.Certificate.DirectoryAt);
        EXPECT_EQ(image.Size(), static_cast<int64_t>(bytes.size()));
        uint8_t words[8];
        fields.EncodeWords(words);
        EXPECT_EQ(std::memcmp(words, image.Memory() + DataOffsetPosition, 8), 0);
    }
    // Too short for the words: a read error, as for any truncated file.
    TMemoryStream shortImage;
    shortImage.WriteBuffer(program.data(), UninstallFlagPosition + 2);
    EXPECT_THROW(TImageFields::Read(shortImage), EReadError);
}

TEST(ArchiveFormat, EntryNamesMustBeOnePlainComponent) {
    struct {
        std::string Name;
        bool Valid;
    } const cases[] = {
        {"Setup.ini", true},
        {"a", true},
        {std::string(67, 'x'), true},
        {"name with blanks", true},
        {"\xC4rger.txt", true}, // Windows-1252 letters
        {".hidden", true},
        {"...", true},
        {"", false},
        {std::string(68, 'x'), false},
        {".", false},
        {"..", false},
        {"a\\b", false},
        {"\\", false},
        {"a/b", false},
        {"C:", false},
        {"file:stream", false},
        {std::string("a\0b", 3), false},
        {"tab\there", false},
        {"line\n", false},
        {"del\x7F", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IsValidEntryName(c.Name), c.Valid) << '"' << c.Name << '"';
}

TEST(ArchiveFormat, BuildDateToDosDateTime) {
    struct {
        double DateTime;
        uint32_t Expected;
    } const cases[] = {
        {EncodeDateTime(1980, 1, 1, 0, 0, 0), DosStamp(1980, 1, 1)},
        {EncodeDateTime(2024, 5, 1, 5, 4, 0), DosStamp(2024, 5, 1, 5, 4)},
        {EncodeDateTime(2024, 2, 29, 23, 59, 59), DosStamp(2024, 2, 29, 23, 59, 58)},
        {EncodeDateTime(2107, 12, 31, 23, 59, 58), DosStamp(2107, 12, 31, 23, 59, 58)},
        {EncodeDateTime(1979, 12, 31, 23, 59, 59), 0},
        {EncodeDateTime(2108, 1, 1, 0, 0, 0), 0},
        {0.0, 0},
        {-1.5, 0},
        {std::numeric_limits<double>::quiet_NaN(), 0},
        {std::numeric_limits<double>::infinity(), 0},
        {1e300, 0},
        // Rounded to the millisecond first: a hair before midnight is the next day.
        {EncodeDateTime(2000, 1, 1, 0, 0, 0) - 0.0004 / 86400, DosStamp(2000, 1, 1)},
        {EncodeDateTime(1980, 1, 1, 0, 0, 0) - 0.0004 / 86400, DosStamp(1980, 1, 1)},
        {EncodeDateTime(2108, 1, 1, 0, 0, 0) - 0.0004 / 86400, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DateTimeToDosDateTime(c.DateTime), c.Expected) << c.DateTime;
}

TEST(ArchiveFormat, EncodeDateTimeCountsFromTheEndOf1899) {
    EXPECT_EQ(EncodeDateTime(1899, 12, 30, 0, 0, 0), 0.0);
    EXPECT_EQ(EncodeDateTime(1900, 3, 1, 0, 0, 0), 61.0);
    EXPECT_EQ(EncodeDateTime(1970, 1, 1, 12, 0, 0), 25569.5);
}

} // namespace
