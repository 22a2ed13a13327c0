// A read-only stream that inflates one archive member: a zlib stream of ContentLength bytes
// at the source stream's current position that must yield exactly FileSize bytes.
#pragma once

#include <cstdint>
#include <memory>

#include "common/Stream.h"

class TInflateStream : public TStream {
public:
    // Reads at most contentLength bytes from source, starting at its current position.
    TInflateStream(TStream& source, int32_t contentLength, int32_t fileSize);
    ~TInflateStream() override;
    TInflateStream(const TInflateStream&) = delete;
    TInflateStream& operator=(const TInflateStream&) = delete;

    // Delivers up to count of the member's bytes; 0 once all FileSize bytes have been read.
    // The read that delivers the last byte also checks that the zlib stream ends there.
    // Raises ESetupError when the stream ends early or holds more, EDecompressionError when
    // the compressed data is damaged.
    int32_t Read(void* buffer, int32_t count) override;
    int32_t Write(const void* buffer, int32_t count) override;
    // Only the current position can be asked for (Seek(0, soCurrent)).
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;

private:
    struct TState;
    TStream& Source;
    int32_t InputLeft;
    int32_t OutputLeft;
    int32_t Delivered = 0;
    std::unique_ptr<TState> State;

    bool FillInput();
    void CheckEnd();
};
