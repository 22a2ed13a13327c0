#include "tools/setuppack/PackCompressor.h"

#include <zlib.h>

#include <algorithm>
#include <fstream>

#include "common/CommonUtils.h"
#include "tools/setuppack/Packer.h"

namespace Packing {

void TCompressor::Work() {
    for (;;) {
        size_t index;
        {
            std::unique_lock<std::mutex> lock(Mutex);
            Changed.wait(lock,
                         [&] { return Cancelled || NextJob >= Jobs.size() || NextJob < Head + Window; });
            if (Cancelled || NextJob >= Jobs.size())
                return;
            index = NextJob++;
        }
        uint32_t adler = 1;
        std::exception_ptr error;
        try {
            adler = Compress(index);
        } catch (...) {
            error = std::current_exception();
        }
        {
            std::lock_guard<std::mutex> lock(Mutex);
            Jobs[index].Adler = adler;
            Jobs[index].Error = error;
            Jobs[index].Done = true;
        }
        Changed.notify_all();
    }
}

void TCompressor::Deliver(size_t index, std::vector<uint8_t>& chunk) {
    std::unique_lock<std::mutex> lock(Mutex);
    Changed.wait(lock, [&] {
        return Cancelled || index == Head || Buffered + int64_t(chunk.size()) <= BufferedLimit;
    });
    if (Cancelled)
        throw EPackError("Cancelled");
    Buffered += static_cast<int64_t>(chunk.size());
    Jobs[index].Chunks.push_back(std::move(chunk));
    lock.unlock();
    Changed.notify_all();
    chunk = std::vector<uint8_t>();
}

uint32_t TCompressor::Compress(size_t index) {
    const TPiece& piece = Pieces[index];
    const TPackEntry& entry = *piece.Entry;
    const auto changed = [&] {
        return EPackError(Quoted(entry.DisplayPath) + " changed while it was being packed");
    };
    std::ifstream input(entry.Source, std::ios::binary);
    if (!input)
        throw EPackError("Cannot read " + Quoted(entry.DisplayPath));

    // Level 9 with the default window and memory, as the 78 DA header says.
    z_stream zip{};
    if (deflateInit2(&zip, 9, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        throw EPackError("Cannot compress " + Quoted(entry.DisplayPath));
    struct TEnd {
        z_stream& Zip;
        ~TEnd() { deflateEnd(&Zip); }
    } end{zip};

    std::vector<uint8_t> in(ChunkSize);
    if (piece.Offset > 0) {
        const int64_t start = std::max<int64_t>(0, piece.Offset - DictionarySize);
        const auto length = static_cast<std::streamsize>(piece.Offset - start);
        input.seekg(start);
        if (!input.read(reinterpret_cast<char*>(in.data()), length))
            throw changed();
        deflateSetDictionary(&zip, in.data(), static_cast<uInt>(length));
    }

    std::vector<uint8_t> out(ChunkSize);
    uint32_t adler = 1;
    int64_t remaining = piece.Length;
    size_t used = 0;
    int flush;
    do {
        const auto count = static_cast<size_t>(std::min<int64_t>(remaining, ChunkSize));
        if (!input.read(reinterpret_cast<char*>(in.data()), static_cast<std::streamsize>(count)))
            throw changed();
        adler = Adler32(adler, in.data(), count);
        remaining -= static_cast<int64_t>(count);
        flush = remaining > 0 ? Z_NO_FLUSH : piece.Last ? Z_FINISH : Z_SYNC_FLUSH;
        zip.next_in = in.data();
        zip.avail_in = static_cast<uInt>(count);
        do {
            zip.next_out = out.data() + used;
            zip.avail_out = static_cast<uInt>(out.size() - used);
            deflate(&zip, flush);
            used = out.size() - zip.avail_out;
            if (used == out.size()) {
                Deliver(index, out);
                out.resize(ChunkSize);
                used = 0;
            }
        } while (zip.avail_in > 0 || (flush != Z_NO_FLUSH && zip.avail_out == 0));
        Compressed += static_cast<int64_t>(count);
    } while (remaining > 0);
    if (piece.Last && input.peek() != std::ifstream::traits_type::eof())
        throw changed();
    out.resize(used);
    if (!out.empty())
        Deliver(index, out);
    return adler;
}

} // namespace Packing
