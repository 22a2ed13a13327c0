// Times the setup program's opening check of an archive (TInstaller: signature, Adler-32 over
// the whole archive in 4096-byte blocks, record structure) against zlib's adler32 over the
// same bytes read the same way. Run it under Wine to measure what Setup.exe pays at start.
// Usage: verify_bench SETUP_OR_SETUP_DAT [ROUNDS [open|zlib]]   (open or zlib: that one alone,
// so that the two can be timed as whole processes)

#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "common/Stream.h"
#include "setupdata/SetupData.h"

namespace {

double Seconds(const std::chrono::steady_clock::time_point& start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: verify_bench SETUP_OR_SETUP_DAT [ROUNDS]\n");
        return 2;
    }
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    const std::string only = argc > 3 ? argv[3] : "";
    double best = 1e9;
    double bestZlib = 1e9;
    const int64_t size = TFileStream(argv[1], TFileMode::fmOpenReadShared).Size();
    uint32_t zlibSum = 0;
    for (int round = 0; round < rounds; ++round) {
        auto start = std::chrono::steady_clock::now();
        if (only != "zlib") {
            TInstaller installer("", argv[1]);
            best = std::min(best, Seconds(start));
        }
        if (only == "open")
            continue;
        start = std::chrono::steady_clock::now();
        TFileStream file(argv[1], TFileMode::fmOpenReadShared);
        std::vector<uint8_t> block(4096);
        uLong sum = adler32(0, nullptr, 0);
        for (int32_t got; (got = file.Read(block.data(), 4096)) > 0;)
            sum = adler32(sum, block.data(), static_cast<uInt>(got));
        bestZlib = std::min(bestZlib, Seconds(start));
        zlibSum = static_cast<uint32_t>(sum);
    }
    const double megabytes = static_cast<double>(size) / 1e6;
    std::printf("verify %s (%.1f MB), best of %d:\n", argv[1], megabytes, rounds);
    if (only != "zlib")
        std::printf("  TInstaller (checksum + structure): %7.3f s  %7.0f MB/s\n", best, megabytes / best);
    if (only != "open")
        std::printf("  zlib adler32, 4096-byte reads:     %7.3f s  %7.0f MB/s  (sum %08x)\n", bestZlib,
                    megabytes / bestZlib, zlibSum);
    if (only.empty())
        std::printf("  time TInstaller / time zlib: %.2f (below 1: TInstaller is faster)\n", best / bestZlib);
    return 0;
}
