// Prints the throughput of each Adler-32 kernel this processor runs (common/Adler32.h) next to
// zlib's, over the same 256 MB buffer: in the 4096-byte blocks the archive check reads, in
// 1 MiB blocks and in one call over the whole buffer; then in 4096-byte blocks over one block
// that stays in the cache, as the check's read buffer does.
#include <chrono>
#include <cstdio>
#include <vector>

#include <zlib.h>

#include "common/Adler32.h"
#include "common/CommonUtils.h"

namespace {

uint32_t Zlib(uint32_t adler, const void* p, size_t n) {
    return static_cast<uint32_t>(adler32(adler, static_cast<const Bytef*>(p), static_cast<uInt>(n)));
}

// MB/s of sum over total bytes taken in blocks of block bytes from data (wrapping around).
double MegabytesPerSecond(const std::vector<unsigned char>& data, size_t block, size_t total,
                          TAdler32Function sum, uint32_t& result) {
    const auto start = std::chrono::steady_clock::now();
    uint32_t adler = 1;
    size_t pos = 0;
    for (size_t done = 0; done < total; done += block) {
        if (pos + block > data.size())
            pos = 0;
        adler = sum(adler, data.data() + pos, block);
        pos += block;
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    result = adler;
    return double(total) / seconds / 1e6;
}

} // namespace

int main() {
    std::vector<unsigned char> data(256 << 20);
    uint32_t x = 12345;
    for (auto& b : data) {
        x = x * 1103515245u + 12345u;
        b = static_cast<unsigned char>(x >> 16);
    }
    const std::vector<unsigned char> hot(data.begin(), data.begin() + 4096);
    const TAdler32Kernel* kernels;
    const size_t count = Adler32Kernels(kernels);
    std::vector<TAdler32Kernel> all(1, TAdler32Kernel{"zlib", Zlib});
    all.insert(all.end(), kernels, kernels + count);

    // Two passes over the buffer per figure; the best of three.
    const size_t total = 2 * data.size();
    std::printf("Adler-32, MB/s (ratio to zlib), best of 3\n  %-8s%18s%18s%18s%18s\n", "", "4096-byte blocks",
                "1 MiB blocks", "one call", "4096, in cache");
    double zlib[4] = {};
    uint32_t expected[4] = {};
    for (const auto& kernel : all) {
        std::printf("  %-8s", kernel.Name);
        int column = 0;
        for (size_t block : {size_t(4096), size_t(1) << 20, data.size(), size_t(0)}) {
            const auto& source = block == 0 ? hot : data;
            const size_t size = block == 0 ? hot.size() : block;
            double best = 0;
            uint32_t result = 0;
            for (int round = 0; round < 3; ++round) {
                const double speed = MegabytesPerSecond(source, size, total, kernel.Function, result);
                best = speed > best ? speed : best;
            }
            if (kernel.Function == Zlib) {
                zlib[column] = best;
                expected[column] = result;
            }
            std::printf("  %8.0f (%5.2f)%s", best, best / zlib[column],
                        result == expected[column] ? "" : " SUM DIFFERS");
            ++column;
        }
        std::printf("\n");
    }
    return 0;
}
