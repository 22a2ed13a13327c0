// Encoding and decoding of the archive's fixed-size header and entry records. Every field is
// moved byte by byte, so the layout does not depend on the compiler's struct padding or on the
// host's byte order.

#include "setupdata/ArchiveFormat.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "common/DosDate.h"
#include "common/Stream.h"

namespace Archive {

namespace {

int32_t GetInt32(const uint8_t* p) {
    return static_cast<int32_t>(uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 |
                                uint32_t(p[3]) << 24);
}

void PutInt32(uint8_t* p, int32_t value) {
    const auto v = static_cast<uint32_t>(value);
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
    p[2] = uint8_t(v >> 16);
    p[3] = uint8_t(v >> 24);
}

// IEEE 754 doubles are stored little-endian like the integers; memcpy between a double and a
// 64-bit integer of the same size is the portable way to reach the bit pattern.
double GetDouble(const uint8_t* p) {
    uint64_t bits = 0;
    for (int i = 7; i >= 0; --i)
        bits = bits << 8 | p[i];
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

void PutDouble(uint8_t* p, double value) {
    uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    for (int i = 0; i < 8; ++i)
        p[i] = uint8_t(bits >> (8 * i));
}

constexpr int RecordContentLengthOffset = 1 + MaxNameLength;
constexpr int RecordFileSizeOffset = RecordContentLengthOffset + 4;

} // namespace

const char* const DamagedDataMessage = "The setup data is damaged. Please download the installer again";

std::string TEntryRecord::NameText() const {
    // A damaged record may claim more than the 67 bytes the record holds.
    const size_t length = NameLength <= MaxNameLength ? NameLength : MaxNameLength;
    return std::string(Name, length);
}

void DecodeHeader(const uint8_t (&bytes)[HeaderSize], THeader& header) {
    std::memcpy(header.Signature, bytes, sizeof header.Signature);
    header.ChecksumLength = GetInt32(bytes + 8);
    header.Checksum = static_cast<uint32_t>(GetInt32(bytes + 12));
    header.BuildDate = GetDouble(bytes + 16);
    header.FileCount = GetInt32(bytes + 24);
}

void EncodeHeader(const THeader& header, uint8_t (&bytes)[HeaderSize]) {
    std::memcpy(bytes, header.Signature, sizeof header.Signature);
    PutInt32(bytes + 8, header.ChecksumLength);
    PutInt32(bytes + 12, static_cast<int32_t>(header.Checksum));
    PutDouble(bytes + 16, header.BuildDate);
    PutInt32(bytes + 24, header.FileCount);
}

void DecodeRecord(const uint8_t (&bytes)[RecordSize], TEntryRecord& record) {
    record.NameLength = bytes[0];
    std::memcpy(record.Name, bytes + 1, MaxNameLength);
    record.ContentLength = GetInt32(bytes + RecordContentLengthOffset);
    record.FileSize = GetInt32(bytes + RecordFileSizeOffset);
}

void EncodeRecord(const TEntryRecord& record, uint8_t (&bytes)[RecordSize]) {
    bytes[0] = record.NameLength;
    std::memcpy(bytes + 1, record.Name, MaxNameLength);
    PutInt32(bytes + RecordContentLengthOffset, record.ContentLength);
    PutInt32(bytes + RecordFileSizeOffset, record.FileSize);
}

bool IsValidEntryName(const std::string& name) {
    if (name.empty() || name.size() > static_cast<size_t>(MaxNameLength) || name == "." || name == "..")
        return false;
    for (const char c : name) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F || c == '\\' || c == '/' || c == ':')
            return false;
    }
    return true;
}

namespace {

constexpr int64_t MillisecondsPerDay = 86400000;
// Day number of 1970-01-01 counted from 1899-12-30.
constexpr int64_t UnixEpochDay = 25569;

} // namespace

uint32_t DateTimeToDosDateTime(double dateTime) {
    // 1980-01-01 is day 29221 and 2108-01-01 day 75972. A day on either side is let through to
    // the rounding below, which may still carry it into range; anything else, NaN and
    // infinities included, has no DOS form, and ruling it out first keeps the conversion to an
    // integer defined.
    if (!(dateTime >= 29220.0 && dateTime < 75973.0))
        return 0;
    // The stored value is rounded to whole milliseconds before it is split into day and time,
    // so 23:59:59.9996 becomes midnight of the next day.
    const int64_t milliseconds = std::llround(dateTime * MillisecondsPerDay);
    const int64_t dayNumber = milliseconds / MillisecondsPerDay;
    const int64_t timeOfDay = milliseconds % MillisecondsPerDay;
    int year, month, day;
    CivilFromDays(dayNumber - UnixEpochDay, year, month, day);
    const auto seconds = static_cast<int>(timeOfDay / 1000);
    return PackDosDateTime({year, month, day, seconds / 3600, seconds / 60 % 60, seconds % 60});
}

double EncodeDateTime(int year, int month, int day, int hour, int minute, int second) {
    const int64_t days = DaysFromCivil(year, month, day) + UnixEpochDay;
    return static_cast<double>(days) + (hour * 3600 + minute * 60 + second) / 86400.0;
}

namespace {

// Reads a little-endian field of a file's headers; false when the file is too short.
bool ReadField(TStream& file, int64_t position, void* value, int32_t size) {
    file.SetPosition(position);
    return file.Read(value, size) == size;
}

// The certificate table that file's PE headers point to.
TCertificateTable FindCertificateTable(TStream& file) {
    // DOS header: "MZ", and at 0x3C the offset of the PE signature "PE\0\0", which a 20-byte
    // file header and the optional header follow. The optional header's magic tells 32-bit
    // (0x10B) from 64-bit (0x20B) layouts; the security directory is data directory 4.
    uint8_t magic[2] = {};
    uint8_t word[4] = {};
    char peSignature[4] = {};
    uint8_t optionalMagicBytes[2] = {};
    if (!ReadField(file, 0, magic, 2) || magic[0] != 'M' || magic[1] != 'Z' ||
        !ReadField(file, 0x3C, word, 4))
        return {};
    const auto peOffset = static_cast<uint32_t>(GetInt32(word));
    if (!ReadField(file, peOffset, peSignature, 4) || std::memcmp(peSignature, "PE\0\0", 4) != 0 ||
        !ReadField(file, int64_t(peOffset) + 24, optionalMagicBytes, 2))
        return {};
    const int optionalMagic = optionalMagicBytes[0] | optionalMagicBytes[1] << 8;
    const int64_t optionalHeader = int64_t(peOffset) + 24;
    const int64_t directoryCountAt = optionalHeader + (optionalMagic == 0x20B ? 108 : 92);
    const int64_t directoryAt = directoryCountAt + 4 + 4 * 8;
    uint8_t security[8] = {}; // file offset, size
    if ((optionalMagic != 0x10B && optionalMagic != 0x20B) || !ReadField(file, directoryCountAt, word, 4) ||
        static_cast<uint32_t>(GetInt32(word)) <= 4 || !ReadField(file, directoryAt, security, 8))
        return {};
    const auto size = static_cast<uint32_t>(GetInt32(security + 4));
    if (size == 0)
        return {0, 0, directoryAt};
    return {static_cast<uint32_t>(GetInt32(security)), size, directoryAt};
}

} // namespace

TImageFields TImageFields::Read(TStream& image) {
    uint8_t words[8];
    image.SetPosition(DataOffsetPosition);
    image.ReadBuffer(words, sizeof words);
    TImageFields fields;
    fields.DataOffset = std::max(GetInt32(words), 0);
    fields.Uninstaller = GetInt32(words + 4) == 1;
    fields.Certificate = FindCertificateTable(image);
    return fields;
}

void TImageFields::EncodeWords(uint8_t (&bytes)[8]) const {
    PutInt32(bytes, DataOffset);
    PutInt32(bytes + 4, Uninstaller ? 1 : 0);
}

void TImageFields::Write(TStream& image) const {
    uint8_t words[8];
    EncodeWords(words);
    image.SetPosition(DataOffsetPosition);
    image.WriteBuffer(words, sizeof words);
    if (Certificate.DirectoryAt != 0) {
        uint8_t security[8];
        PutInt32(security, static_cast<int32_t>(Certificate.Offset));
        PutInt32(security + 4, static_cast<int32_t>(Certificate.Size));
        image.SetPosition(Certificate.DirectoryAt);
        image.WriteBuffer(security, sizeof security);
    }
}

} // namespace Archive
