// Prints the throughput of our Adler-32 next to zlib's on the same 256 MB buffer, in the
// 4096-byte blocks the archive check reads and in one call over the whole buffer.
#include <chrono>
#include <cstdio>
#include <vector>

#include <zlib.h>

#include "common/CommonUtils.h"

namespace {

template <typename F>
double MegabytesPerSecond(const std::vector<unsigned char>& data, size_t block, int rounds, F sum,
                          uint32_t& result) {
    const auto start = std::chrono::steady_clock::now();
    uint32_t adler = 1;
    for (int r = 0; r < rounds; ++r) {
        for (size_t pos = 0; pos < data.size(); pos += block) {
            const size_t n = data.size() - pos < block ? data.size() - pos : block;
            adler = sum(adler, data.data() + pos, n);
        }
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    result = adler;
    return double(data.size()) * rounds / seconds / 1e6;
}

} // namespace

int main() {
    std::vector<unsigned char> data(256 << 20);
    uint32_t x = 12345;
    for (auto& b : data) {
        x = x * 1103515245u + 12345u;
        b = static_cast<unsigned char>(x >> 16);
    }
    const int rounds = 2;
    auto ours = [](uint32_t a, const unsigned char* p, size_t n) { return Adler32(a, p, n); };
    auto theirs = [](uint32_t a, const unsigned char* p, size_t n) {
        return static_cast<uint32_t>(adler32(a, p, static_cast<uInt>(n)));
    };
    for (size_t block : {size_t(4096), data.size()}) {
        uint32_t r1, r2;
        const double zlib = MegabytesPerSecond(data, block, rounds, theirs, r1);
        const double own = MegabytesPerSecond(data, block, rounds, ours, r2);
        std::printf("Adler-32, %8zu-byte blocks: own %7.0f MB/s, zlib %7.0f MB/s, ratio %.2f%s\n", block, own,
                    zlib, own / zlib, r1 == r2 ? "" : "  SUMS DIFFER");
    }
    return 0;
}
