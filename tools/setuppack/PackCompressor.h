// Compressing the files ahead of the writer, on worker threads.
//
// A file's zlib stream is compressed in pieces of PieceSize input bytes, so that large files
// are spread over all threads too: each piece is raw deflate primed with the 32 KiB before it
// and ended with a sync flush (the last one with the final block), and the writer puts the
// zlib header before the first piece and the Adler-32 of the whole file after the last one.
// The result is one ordinary zlib stream. Pieces do not depend on the number of threads, so
// neither does the output.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "tools/setuppack/PackTree.h"

namespace Packing {

constexpr int64_t PieceSize = 1024 * 1024;
constexpr int64_t DictionarySize = 32 * 1024;
// Compressed output waiting for the writer is limited to this.
constexpr int64_t BufferedLimit = 64 * 1024 * 1024;

struct TPiece {
    const TPackEntry* Entry;
    int64_t Offset;
    int64_t Length;
    bool Last;
};

struct TJob {
    std::deque<std::vector<uint8_t>> Chunks; // compressed output not yet written
    bool Done = false;
    std::exception_ptr Error;
    uint32_t Adler = 1; // of the piece's uncompressed bytes
};

// Worker threads compressing pieces ahead of the writer. The destructor stops and joins them.
class TCompressor {
public:
    TCompressor(const std::vector<TPiece>& pieces, unsigned threads)
        : Pieces(pieces), Jobs(pieces.size()), Window(64 * static_cast<size_t>(threads)) {
        for (unsigned i = 0; i < threads; ++i)
            Workers.emplace_back([this] { Work(); });
    }
    ~TCompressor() {
        {
            std::lock_guard<std::mutex> lock(Mutex);
            Cancelled = true;
        }
        Changed.notify_all();
        for (std::thread& worker : Workers)
            worker.join();
    }
    TCompressor(const TCompressor&) = delete;
    TCompressor& operator=(const TCompressor&) = delete;

    // The next part of piece index's compressed bytes, waiting for it; false when the piece
    // is complete. Raises what compressing the piece raised. tick is called while waiting.
    bool NextChunk(size_t index, std::vector<uint8_t>& chunk, const std::function<void()>& tick) {
        std::unique_lock<std::mutex> lock(Mutex);
        TJob& job = Jobs[index];
        while (job.Chunks.empty() && !job.Done) {
            if (Changed.wait_for(lock, std::chrono::milliseconds(200)) == std::cv_status::timeout && tick) {
                lock.unlock();
                tick();
                lock.lock();
            }
        }
        if (job.Error)
            std::rethrow_exception(job.Error);
        if (job.Chunks.empty())
            return false;
        chunk = std::move(job.Chunks.front());
        job.Chunks.pop_front();
        Buffered -= static_cast<int64_t>(chunk.size());
        Changed.notify_all();
        return true;
    }

    // The writer has taken all of piece index; returns the piece's Adler-32 and moves the
    // window on.
    uint32_t Written(size_t index) {
        uint32_t adler;
        {
            std::lock_guard<std::mutex> lock(Mutex);
            Head = index + 1;
            adler = Jobs[index].Adler;
        }
        Changed.notify_all();
        return adler;
    }

    int64_t InputDone() const { return Compressed.load(); }

private:
    const std::vector<TPiece>& Pieces;
    std::vector<TJob> Jobs;
    const size_t Window;
    std::vector<std::thread> Workers;
    std::mutex Mutex;
    std::condition_variable Changed;
    size_t NextJob = 0;
    size_t Head = 0;
    int64_t Buffered = 0;
    bool Cancelled = false;
    std::atomic<int64_t> Compressed{0};

    // Takes pieces in order while they lie within the window ahead of the writer.
    void Work();
    // Hands compressed bytes to the writer. Only the piece the writer waits for may go past
    // the limit of buffered output; the others wait for it.
    void Deliver(size_t index, std::vector<uint8_t>& chunk);
    // Compresses one piece; returns the Adler-32 of its input.
    uint32_t Compress(size_t index);
};

} // namespace Packing
