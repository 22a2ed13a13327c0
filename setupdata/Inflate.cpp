// Inflating one archive member. The member's length and size come from its record, which a
// damaged or hostile archive may get wrong: the inflater reads no further than the member's
// content, and a stream that ends before FileSize bytes or goes on after them is refused
// instead of being cut or padded.

#include "setupdata/Inflate.h"

#include <zlib.h>

#include <algorithm>

#include "common/Errors.h"
#include "setupdata/ArchiveFormat.h"

namespace {

constexpr int32_t InputBufferSize = 32 * 1024;

[[noreturn]] void ThrowDamaged() { throw ESetupError(Archive::DamagedDataMessage); }

} // namespace

struct TInflateStream::TState {
    z_stream Zip{};
    bool Initialized = false;
    bool InputExhausted = false;
    bool StreamEnded = false;
    uint8_t Input[InputBufferSize];

    ~TState() {
        if (Initialized)
            inflateEnd(&Zip);
    }
};

TInflateStream::TInflateStream(TStream& source, int32_t contentLength, int32_t fileSize)
    : Source(source), InputLeft(contentLength), OutputLeft(fileSize) {
    if (contentLength < 0 || fileSize < 0)
        ThrowDamaged();
    // An empty member is not inflated at all; its content is skipped like any other.
    if (fileSize == 0)
        return;
    State = std::make_unique<TState>();
    if (inflateInit(&State->Zip) != Z_OK)
        throw EDecompressionError(Archive::DamagedDataMessage);
    State->Initialized = true;
}

TInflateStream::~TInflateStream() = default;

bool TInflateStream::FillInput() {
    if (InputLeft == 0) {
        State->InputExhausted = true;
        return false;
    }
    const int32_t got = Source.Read(State->Input, std::min(InputLeft, InputBufferSize));
    if (got <= 0) {
        State->InputExhausted = true;
        return false;
    }
    InputLeft -= got;
    State->Zip.next_in = State->Input;
    State->Zip.avail_in = static_cast<uInt>(got);
    return true;
}

int32_t TInflateStream::Read(void* buffer, int32_t count) {
    if (count <= 0 || OutputLeft == 0)
        return 0;
    z_stream& zip = State->Zip;
    const int32_t wanted = std::min(count, OutputLeft);
    zip.next_out = static_cast<Bytef*>(buffer);
    zip.avail_out = static_cast<uInt>(wanted);
    while (zip.avail_out > 0 && !State->StreamEnded) {
        if (zip.avail_in == 0 && !State->InputExhausted)
            FillInput();
        const int result = inflate(&zip, Z_NO_FLUSH);
        if (result == Z_STREAM_END) {
            State->StreamEnded = true;
        } else if (result == Z_BUF_ERROR) {
            // No progress: zlib needs input that the member does not have.
            if (zip.avail_in == 0 && State->InputExhausted)
                ThrowDamaged();
        } else if (result != Z_OK) {
            throw EDecompressionError(Archive::DamagedDataMessage);
        }
    }
    const int32_t got = wanted - static_cast<int32_t>(zip.avail_out);
    OutputLeft -= got;
    Delivered += got;
    if (OutputLeft > 0 && State->StreamEnded)
        ThrowDamaged(); // fewer bytes than the record promises
    if (OutputLeft == 0)
        CheckEnd();
    return got;
}

// All FileSize bytes are out; the zlib stream must end here (its trailer is checked on the
// way) without a single byte more.
void TInflateStream::CheckEnd() {
    z_stream& zip = State->Zip;
    uint8_t extra;
    while (!State->StreamEnded) {
        zip.next_out = &extra;
        zip.avail_out = 1;
        if (zip.avail_in == 0 && !State->InputExhausted)
            FillInput();
        const int result = inflate(&zip, Z_NO_FLUSH);
        if (zip.avail_out == 0)
            ThrowDamaged(); // more bytes than the record promises
        if (result == Z_STREAM_END)
            State->StreamEnded = true;
        else if (result == Z_BUF_ERROR && zip.avail_in == 0 && State->InputExhausted)
            ThrowDamaged();
        else if (result != Z_OK && result != Z_BUF_ERROR)
            throw EDecompressionError(Archive::DamagedDataMessage);
    }
}

int32_t TInflateStream::Write(const void*, int32_t) { return 0; }

int64_t TInflateStream::Seek(int64_t offset, TSeekOrigin origin) {
    if (offset != 0 || origin != TSeekOrigin::soCurrent)
        throw EStreamError("Stream seek not supported");
    return Delivered;
}
