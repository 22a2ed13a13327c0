// The setup data archive's on-disk format, shared by the program's reader and the packing tool.
//
//   0   ArchiveHeader (28 bytes): "QK/ISB/3", ChecksumLength, Checksum (Adler-32 of the bytes
//       from offset 28 on), BuildDate (double, days since 1899-12-30), FileCount
//   28  product version, 25-byte stream form
//   53  top-level entry list: EntryRecords (76 bytes: name length, 67 name bytes,
//       ContentLength, FileSize = -1 for a folder) each followed by its content, closed by
//       a record whose name length is 0. A file's content is one zlib stream; a folder's
//       content is its own entry list.
//
// All integers little-endian and signed 32-bit; the archive lies within the first 2 GiB.
#pragma once

#include <cstdint>
#include <string>

class TStream;

namespace Archive {

constexpr char Signature[8] = {'Q', 'K', '/', 'I', 'S', 'B', '/', '3'};
constexpr int HeaderSize = 28;
constexpr int VersionOffset = 28;
constexpr int EntriesOffset = 53;
constexpr int RecordSize = 76;
constexpr int MaxNameLength = 67;
constexpr int32_t FolderSize = -1;
constexpr int ChecksumBlockSize = 4096;
// Folders nested deeper than this are refused as damaged data; real products stay far below.
constexpr int MaxFolderDepth = 64;

// The message for archives whose structure is broken: names that are not one plain path
// component, lengths that run outside their list or the file, impossible sizes, nesting too
// deep, members that inflate to the wrong size.
extern const char* const DamagedDataMessage;

// Executable header fields in the reserved words of the DOS header.
constexpr int DataOffsetPosition = 48;
constexpr int UninstallFlagPosition = 52;
constexpr int MinimumExecutableSize = 56;

// An Authenticode signature, which a code-signing tool appends to a Windows program: the PE
// certificate table, where the executable's security directory says (Offset is a file
// offset, not an address in memory).
struct TCertificateTable {
    int64_t Offset = 0;
    int64_t Size = 0;        // 0: the program is not signed
    int64_t DirectoryAt = 0; // the file offset of the security directory entry itself
};

// The fields of a setup program's or an uninstaller's image that say what it carries, read and
// written here only: by the program's start, the install and uninstall engines, the
// uninstaller writer and the packer.
//   48  DataOffset: where the data appended to the image starts (the setup archive, or the
//       uninstall record). 0 means that nothing is appended and the data is in a file beside
//       the program (Setup.dat, Uninstall.dat); so does a negative value, which no writer
//       produces and which reads as 0.
//   52  UninstallFlag: exactly 1 in an uninstaller; any other value is a setup program.
//   the PE security directory: the code signature, where the image has one.
struct TImageFields {
    int32_t DataOffset = 0;
    bool Uninstaller = false;
    // Size 0 when the image is not a PE program or is not signed; DirectoryAt is still set
    // when the entry exists, 0 when the file has no such entry.
    TCertificateTable Certificate;

    // Reads the fields of image (moving its position). Raises EReadError when the image ends
    // before MinimumExecutableSize; only the PE headers are read, not the certificate table.
    static TImageFields Read(TStream& image);
    // The two words at DataOffsetPosition, as Write stores them.
    void EncodeWords(uint8_t (&bytes)[8]) const;
    // Stores the two words and, when Certificate.DirectoryAt is set, the security directory
    // entry (Certificate.Offset and Size) into image, leaving its position after them.
    void Write(TStream& image) const;
};

struct THeader {
    char Signature[8];
    int32_t ChecksumLength;
    uint32_t Checksum;
    double BuildDate;
    int32_t FileCount;
};

struct TEntryRecord {
    uint8_t NameLength = 0;
    char Name[MaxNameLength] = {};
    int32_t ContentLength = 0;
    int32_t FileSize = 0;

    bool IsTerminator() const { return NameLength == 0; }
    bool IsFolder() const { return FileSize == FolderSize; }
    std::string NameText() const;
};

void DecodeHeader(const uint8_t (&bytes)[HeaderSize], THeader& header);
void EncodeHeader(const THeader& header, uint8_t (&bytes)[HeaderSize]);
void DecodeRecord(const uint8_t (&bytes)[RecordSize], TEntryRecord& record);
void EncodeRecord(const TEntryRecord& record, uint8_t (&bytes)[RecordSize]);

// True when name is one plain path component that is safe to create anywhere: 1 to 67
// bytes, no "\", "/", ":", no control character, not "." or "..".
bool IsValidEntryName(const std::string& name);

// Days since 1899-12-30 (fraction = time of day) to a packed DOS date-time; 0 when the
// year is before 1980 or after 2107.
uint32_t DateTimeToDosDateTime(double dateTime);
// A date and local time of day to days since 1899-12-30 (the BuildDate form).
double EncodeDateTime(int year, int month, int day, int hour, int minute, int second);

} // namespace Archive
