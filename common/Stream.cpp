// The portable part of the stream layer: the exact-size helpers and the in-memory stream.
// TFileStream's system calls live in the platform layer (PlatformWin32.cpp / PlatformPosix.cpp).

#include "common/Stream.h"

#include <algorithm>
#include <cstring>

#include "common/Errors.h"

int64_t TStream::Size() {
    const int64_t position = Position();
    const int64_t size = Seek(0, TSeekOrigin::soEnd);
    SetPosition(position);
    return size;
}

void TStream::ReadBuffer(void* buffer, int32_t count) {
    auto* p = static_cast<uint8_t*>(buffer);
    while (count > 0) {
        const int32_t got = Read(p, count);
        if (got <= 0)
            throw EReadError();
        p += got;
        count -= got;
    }
}

void TStream::WriteBuffer(const void* buffer, int32_t count) {
    auto* p = static_cast<const uint8_t*>(buffer);
    while (count > 0) {
        const int32_t put = Write(p, count);
        if (put <= 0)
            ThrowWriteError();
        p += put;
        count -= put;
    }
}

void TStream::ThrowWriteError() {
    throw EWriteError();
}

void TFileStream::ThrowWriteError() {
    throw EFWriteError(Name, SystemErrorMessage(WriteErrorCode));
}

int32_t TStream::ReadInt32() {
    uint8_t b[4];
    ReadBuffer(b, 4);
    return static_cast<int32_t>(uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 |
                                uint32_t(b[3]) << 24);
}

void TStream::WriteInt32(int32_t value) {
    const auto v = static_cast<uint32_t>(value);
    const uint8_t b[4] = {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
    WriteBuffer(b, 4);
}

void TStream::CopyFrom(TStream& source, int64_t count) {
    constexpr int32_t BufferSize = 64 * 1024;
    std::vector<uint8_t> buffer(
        static_cast<size_t>(std::min<int64_t>(std::max<int64_t>(count, 0), BufferSize)));
    while (count > 0) {
        const auto chunk = static_cast<int32_t>(std::min<int64_t>(count, BufferSize));
        source.ReadBuffer(buffer.data(), chunk);
        WriteBuffer(buffer.data(), chunk);
        count -= chunk;
    }
}

// A position outside the data is allowed, as for files: reading there yields nothing and
// writing past the end fills the gap with zero bytes.
int32_t TMemoryStream::Read(void* buffer, int32_t count) {
    const auto size = static_cast<int64_t>(Data.size());
    if (count <= 0 || Pos < 0 || Pos >= size)
        return 0;
    const auto n = static_cast<int32_t>(std::min<int64_t>(count, size - Pos));
    std::memcpy(buffer, Data.data() + Pos, static_cast<size_t>(n));
    Pos += n;
    return n;
}

int32_t TMemoryStream::Write(const void* buffer, int32_t count) {
    if (count <= 0 || Pos < 0)
        return 0;
    const int64_t end = Pos + count;
    if (end > static_cast<int64_t>(Data.size()))
        Data.resize(static_cast<size_t>(end));
    std::memcpy(Data.data() + Pos, buffer, static_cast<size_t>(count));
    Pos = end;
    return count;
}

int64_t TMemoryStream::Seek(int64_t offset, TSeekOrigin origin) {
    Pos = SeekTarget(Pos, offset, origin, [this] { return static_cast<int64_t>(Data.size()); });
    return Pos;
}

namespace {

constexpr size_t JumpReadSize = 64 * 1024;

} // namespace

int32_t TSharedFileView::Read(void* buffer, int32_t count) {
    if (count <= 0 || Pos < 0)
        return 0;
    const int32_t got = File->ReadAt(Pos, buffer, count);
    Pos += got;
    return got;
}

int32_t TSharedFileView::Write(const void*, int32_t) {
    return 0;
}

int64_t TSharedFileView::Seek(int64_t offset, TSeekOrigin origin) {
    Pos = SeekTarget(Pos, offset, origin, [this] { return File->Size(); });
    return Pos;
}

TBufferedReadStream::TBufferedReadStream(std::unique_ptr<TStream> source, int32_t bufferSize)
    : Source(std::move(source)), Capacity(std::max(bufferSize, 0)) {
    Pos = SourcePos = Source->Position();
}

int32_t TBufferedReadStream::ReadSource(void* buffer, int32_t count) {
    if (SourcePos != Pos)
        SourcePos = Source->Seek(Pos, TSeekOrigin::soBeginning);
    const int32_t got = SourcePos == Pos ? Source->Read(buffer, count) : 0;
    if (got > 0)
        SourcePos += got;
    return std::max(got, 0);
}

int64_t TBufferedReadStream::KnownSourceSize() {
    if (SourceSize < 0) {
        SourceSize = Source->Seek(0, TSeekOrigin::soEnd);
        SourcePos = SourceSize;
    }
    return SourceSize;
}

int32_t TBufferedReadStream::Read(void* buffer, int32_t count) {
    if (count <= 0 || Pos < 0)
        return 0;
    auto* out = static_cast<uint8_t*>(buffer);
    int32_t done = 0;
    while (done < count) {
        if (Pos >= BufferStart && Pos < BufferStart + BufferLength) {
            const auto offset = static_cast<int32_t>(Pos - BufferStart);
            const int32_t n = std::min(count - done, BufferLength - offset);
            std::memcpy(out + done, Buffer.get() + offset, static_cast<size_t>(n));
            done += n;
            Pos += n;
            continue;
        }
        if (!Buffer) {
            // The setup program opens its data many times over (a member, a component, the
            // headers), often a small file: a megabyte for each would be mostly untouched.
            const int64_t size = KnownSourceSize();
            if (size > 0 && size < Capacity)
                Capacity = static_cast<int32_t>(size);
            Buffer.reset(new uint8_t[static_cast<size_t>(Capacity)]);
        }
        const int32_t wanted = count - done;
        if (count >= Capacity) {
            // A read as large as the buffer: what the buffer did not hold comes in one read
            // into the caller's memory, without a copy, and the buffer is not filled again:
            // a reader of large blocks that once read a small piece before them would
            // otherwise have every block copied through the buffer.
            const int32_t got = ReadSource(out + done, wanted);
            Pos += got;
            done += got;
            break;
        }
        // Reading on where the buffer ends is streaming: fill it whole. After a jump, a record
        // is likely all that is wanted there: read less.
        const bool streaming = Pos == BufferStart + BufferLength;
        const auto capacity = static_cast<size_t>(Capacity);
        const auto fill = static_cast<int32_t>(std::min(capacity, streaming ? capacity : JumpReadSize));
        BufferStart = Pos;
        BufferLength = ReadSource(Buffer.get(), fill);
        if (BufferLength == 0)
            break;
    }
    return done;
}

int32_t TBufferedReadStream::Write(const void*, int32_t) {
    return 0;
}

int64_t TBufferedReadStream::Seek(int64_t offset, TSeekOrigin origin) {
    Pos = SeekTarget(Pos, offset, origin, [this] { return KnownSourceSize(); });
    return Pos;
}
