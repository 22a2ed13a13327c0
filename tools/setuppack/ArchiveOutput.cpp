#include "tools/setuppack/ArchiveOutput.h"

#include <zlib.h>

#include <cstring>

#include "common/CommonUtils.h"
#include "tools/setuppack/PackTree.h"

namespace Packing {

using namespace Archive;

void TArchiveOutput::WriteRaw(const void* data, size_t count) {
    const auto* p = static_cast<const uint8_t*>(data);
    Buffer.insert(Buffer.end(), p, p + count);
    if (Buffer.size() >= 4 * ChunkSize)
        Flush();
}

void TArchiveOutput::Write(const void* data, size_t count) {
    Segments.back().Adler = Adler32(Segments.back().Adler, data, count);
    Segments.back().Length += static_cast<int64_t>(count);
    WriteRaw(data, count);
}

void TArchiveOutput::Patch(int64_t position, const void* data, size_t count) {
    if (position >= BufferStart) {
        std::memcpy(Buffer.data() + (position - BufferStart), data, count);
        return;
    }
    Flush();
    File.SetPosition(position);
    File.WriteBuffer(data, static_cast<int32_t>(count));
    File.Seek(0, TSeekOrigin::soEnd);
}

void TArchiveOutput::Flush() {
    if (!Buffer.empty())
        File.WriteBuffer(Buffer.data(), static_cast<int32_t>(Buffer.size()));
    BufferStart += static_cast<int64_t>(Buffer.size());
    Buffer.clear();
}

int64_t TArchiveOutput::BeginEntry() {
    const int64_t recordPosition = Position();
    const uint8_t placeholder[RecordSize] = {};
    WriteRaw(placeholder, RecordSize);
    Segments.push_back({1, 0});
    return recordPosition;
}

void TArchiveOutput::EndEntry(int64_t recordPosition, TEntryRecord record) {
    const TSegment content = Segments.back();
    Segments.pop_back();
    record.ContentLength = static_cast<int32_t>(content.Length);
    uint8_t bytes[RecordSize];
    EncodeRecord(record, bytes);
    Patch(recordPosition, bytes, RecordSize);
    TSegment& parent = Segments.back();
    parent.Adler = static_cast<uint32_t>(
        adler32_combine(parent.Adler, Adler32(1, bytes, RecordSize), static_cast<z_off_t>(RecordSize)));
    parent.Adler = static_cast<uint32_t>(
        adler32_combine(parent.Adler, content.Adler, static_cast<z_off_t>(content.Length)));
    parent.Length += RecordSize + content.Length;
}

} // namespace Packing
