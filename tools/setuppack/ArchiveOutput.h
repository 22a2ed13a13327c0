// The packer's output file, with a write buffer, placeholders filled in afterwards and the
// archive's checksum assembled piece by piece: each open entry is a segment with its own
// Adler-32 and length, folded into its parent once the entry's record is known.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "common/Stream.h"
#include "setupdata/ArchiveFormat.h"

namespace Packing {

class TArchiveOutput {
public:
    explicit TArchiveOutput(TFileStream& file) : File(file), BufferStart(file.Position()) {}

    int64_t Position() const { return BufferStart + static_cast<int64_t>(Buffer.size()); }

    // Bytes outside every checksummed segment (the stub, the header, placeholders).
    void WriteRaw(const void* data, size_t count);
    // Bytes of the innermost open segment.
    void Write(const void* data, size_t count);
    // Overwrites bytes written before (in the buffer or in the file).
    void Patch(int64_t position, const void* data, size_t count);
    void Flush();

    // Opens a segment whose bytes follow a 76-byte placeholder record written here; returns
    // the record's position.
    int64_t BeginEntry();
    // Closes the innermost segment: fills in its record (ContentLength = the segment's
    // length) and folds record and content into the parent's checksum.
    void EndEntry(int64_t recordPosition, Archive::TEntryRecord record);

    // The outermost segment: what the header's checksum covers.
    void BeginChecksum() { Segments.push_back({1, 0}); }
    uint32_t Checksum() const { return Segments.front().Adler; }
    int64_t ChecksumLength() const { return Segments.front().Length; }

private:
    struct TSegment {
        uint32_t Adler;
        int64_t Length;
    };
    TFileStream& File;
    std::vector<uint8_t> Buffer;
    int64_t BufferStart;
    std::vector<TSegment> Segments;
};

} // namespace Packing
