// Builds setup data byte by byte for tests and fuzz seeds, including archives that no correct
// writer produces: every field of a record can be overridden.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "common/Version.h"
#include "tests/support/Bytes.h"
#include "tests/support/TestValues.h"

struct TTestEntry {
    std::string Name;
    bool Folder = false;
    std::string Data;                 // a file's uncompressed bytes
    std::vector<TTestEntry> Children; // a folder's entries
    // Overrides of what a correct writer would store.
    std::optional<uint8_t> NameLength;
    std::string NamePadding;               // bytes after the name (zeros after them)
    std::optional<int32_t> ContentLength;
    std::optional<int32_t> FileSize;
    std::optional<std::string> Content;    // a file's stored bytes, instead of Data compressed

    static TTestEntry File(std::string name, std::string data) {
        TTestEntry e;
        e.Name = std::move(name);
        e.Data = std::move(data);
        return e;
    }
    static TTestEntry Dir(std::string name, std::vector<TTestEntry> children = {}) {
        TTestEntry e;
        e.Name = std::move(name);
        e.Folder = true;
        e.Children = std::move(children);
        return e;
    }
};

// zlib stream of data at level 9.
std::string Compress(const std::string& data);

// The whole archive: header with a correct ChecksumLength, Checksum and FileCount, version,
// entries. The version is 5.04 and BuildDate 2024-05-01 05:04 unless given.
std::string BuildArchive(const std::vector<TTestEntry>& entries,
                         const TProgramVersion& version = MakeVersion(5, 0, 4),
                         double buildDate = 45413.0 + (5 * 60 + 4) / 1440.0);
// A folder nested depth levels deep (depth 1 = one folder at the top), the innermost holding
// one small file.
TTestEntry NestedFolders(int depth);

// Recomputes ChecksumLength and Checksum of an archive in place, so that a test reaches the
// checks behind the checksum.
void FixChecksum(std::string& archive);

// A fake executable: "MZ", DataOffset and UninstallFlag in the DOS header, padding up to
// offset, then the archive.
std::string AppendToStub(const std::string& archive, int32_t offset);

// What a code signing tool makes of a fake executable: a PE header (at 64, 32-bit) whose
// security directory points to a certificate table appended after zero padding to a multiple
// of eight; the table holds one WIN_CERTIFICATE per content, each padded to eight bytes.
// Bytes 60 to 191 of the program are overwritten.
std::string SignProgram(std::string program, const std::vector<std::string>& certificates);
// Where SignProgram puts the security directory entry (file offset and size of the table).
constexpr size_t SecurityDirectoryAt = 64 + 24 + 96 + 4 * 8;
