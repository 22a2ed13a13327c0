// The Adler-32 checksum of CommonUtils.h, in a file of its own: it is the inner loop of the
// archive check that runs before the first page, so it is compiled for speed while the rest of
// the program is compiled for size. Behind Adler32 are the plain loop and, on x86, kernels for
// SSE2, SSSE3 and AVX2, each built for its instruction set alone (a target attribute per
// function, so the program around them keeps its baseline) and chosen once, at the first call,
// from what the processor and the operating system offer.

#include "common/Adler32.h"
#include "common/CommonUtils.h"

#include <atomic>
#include <cstring>

#if defined(__i386__) || defined(__x86_64__)
#define ADLER32_X86 1
#include <cpuid.h>
#include <immintrin.h>
#else
#define ADLER32_X86 0
#endif

// Adler-32 as RFC 1950 defines it, with the modulo deferred: NMAX is the largest n for which
// 255 n (n + 1) / 2 + (n + 1) (Base - 1) still fits in 32 bits, so the sums of a block of up
// to NMAX bytes cannot overflow before they are reduced once. Inputs whose halves are not yet
// reduced give the same results as zlib's adler32: a start half of up to 65535 instead of
// 65520 adds 15 (n + 1) to the bound, well inside the 277,095 it leaves below 2^32.
namespace {

constexpr uint32_t AdlerBase = 65521;
constexpr size_t AdlerNmax = 5552;

inline void Adler16(uint32_t& a, uint32_t& b, const uint8_t* p) {
    // clang-format off
    a += p[0];  b += a;
    a += p[1];  b += a;
    a += p[2];  b += a;
    a += p[3];  b += a;
    a += p[4];  b += a;
    a += p[5];  b += a;
    a += p[6];  b += a;
    a += p[7];  b += a;
    a += p[8];  b += a;
    a += p[9];  b += a;
    a += p[10]; b += a;
    a += p[11]; b += a;
    a += p[12]; b += a;
    a += p[13]; b += a;
    a += p[14]; b += a;
    a += p[15]; b += a;
    // clang-format on
}

// The kernels take a chunk of Width bytes x[0..Width) at a time. Over one chunk, a grows by the
// sum of its bytes and b by Width times the a before it plus Width x[0] + (Width - 1) x[1] +
// ... + 1 x[Width - 1]: each byte counts once for itself and once for every byte after it.
// Each kernel takes whole chunks of a block of at most NMAX bytes; this loop reduces each
// block once and takes the last few bytes, fewer than a chunk, one by one.
using TChunks = void (*)(uint32_t& a, uint32_t& b, const uint8_t* p, size_t chunks);

uint32_t Adler32Blocks(uint32_t adler, const void* data, size_t len, unsigned widthShift, TChunks chunksOf) {
    const uint8_t* p = static_cast<const uint8_t*>(data);
    if (p == nullptr)
        return 1;
    uint32_t a = adler & 0xFFFF;
    uint32_t b = adler >> 16;
    while ((len >> widthShift) != 0) {
        const size_t chunks = (len < AdlerNmax ? len : AdlerNmax) >> widthShift;
        chunksOf(a, b, p, chunks);
        p += chunks << widthShift;
        len -= chunks << widthShift;
        a %= AdlerBase;
        b %= AdlerBase;
    }
    while (len-- != 0) {
        a += *p++;
        b += a;
    }
    return a % AdlerBase | (b % AdlerBase) << 16;
}

// The plain loop, 16 bytes at a time. The sums are copied in and out: bytes read through a
// uint8_t pointer may alias them, so updating them in place would store them after every byte
// (measured: 390 MB/s instead of 2.5 GB/s).
void ScalarChunks(uint32_t& a, uint32_t& b, const uint8_t* p, size_t chunks) {
    uint32_t sumA = a, sumB = b;
    for (; chunks != 0; --chunks, p += 16)
        Adler16(sumA, sumB, p);
    a = sumA;
    b = sumB;
}

uint32_t Adler32Scalar(uint32_t adler, const void* data, size_t len) {
    return Adler32Blocks(adler, data, len, 4, ScalarChunks);
}

#if ADLER32_X86

// A vector kernel keeps, per 32-bit lane, the bytes' sum (psadbw against zero adds eight
// bytes at a time), the weighted sum, and the sum over chunks of the bytes' sum before each
// chunk (multiplied by Width at the end, instead of once per chunk). Every lane holds a part
// of a total that the NMAX bound keeps below 2^32, so no lane overflows either.
template <typename TVector> inline uint32_t LaneSum(const TVector& v) {
    uint32_t lanes[sizeof(TVector) / 4];
    std::memcpy(lanes, &v, sizeof lanes);
    uint32_t sum = 0;
    for (uint32_t lane : lanes)
        sum += lane;
    return sum;
}

// The weights of a 32-byte chunk; a 16-byte chunk's are its second half (one table for all).
const int8_t ChunkWeights[32] = {32, 31, 30, 29, 28, 27, 26, 25, 24, 23, 22, 21, 20, 19, 18, 17,
                                 16, 15, 14, 13, 12, 11, 10, 9,  8,  7,  6,  5,  4,  3,  2,  1};

// Without pmaddubsw, the bytes are widened to 16 bits and weighted with pmaddwd, 8 at a time.
__attribute__((target("sse2"))) void Sse2Chunks(uint32_t& a, uint32_t& b, const uint8_t* p, size_t chunks) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i weights = _mm_loadu_si128(reinterpret_cast<const __m128i*>(ChunkWeights + 16));
    const __m128i weightsLow = _mm_unpacklo_epi8(weights, zero);
    const __m128i weightsHigh = _mm_unpackhi_epi8(weights, zero);
    __m128i sums = zero, before = zero, weighted = zero;
    b += a * uint32_t(chunks * 16);
    for (; chunks != 0; --chunks, p += 16) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        before = _mm_add_epi32(before, sums);
        sums = _mm_add_epi32(sums, _mm_sad_epu8(x, zero));
        weighted = _mm_add_epi32(weighted, _mm_madd_epi16(_mm_unpacklo_epi8(x, zero), weightsLow));
        weighted = _mm_add_epi32(weighted, _mm_madd_epi16(_mm_unpackhi_epi8(x, zero), weightsHigh));
    }
    a += LaneSum(sums);
    b += LaneSum(_mm_add_epi32(weighted, _mm_slli_epi32(before, 4)));
}

// pmaddubsw multiplies the unsigned bytes by signed byte weights and adds neighbours to 16 bits
// (at most 255 (16 + 15), no saturation); pmaddwd by ones adds those pairs to 32 bits.
__attribute__((target("ssse3"))) void Ssse3Chunks(uint32_t& a, uint32_t& b, const uint8_t* p, size_t chunks) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i weights = _mm_loadu_si128(reinterpret_cast<const __m128i*>(ChunkWeights + 16));
    const __m128i ones = _mm_set1_epi16(1);
    __m128i sums = zero, before = zero, weighted = zero;
    b += a * uint32_t(chunks * 16);
    for (; chunks != 0; --chunks, p += 16) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        before = _mm_add_epi32(before, sums);
        sums = _mm_add_epi32(sums, _mm_sad_epu8(x, zero));
        weighted = _mm_add_epi32(weighted, _mm_madd_epi16(_mm_maddubs_epi16(x, weights), ones));
    }
    a += LaneSum(sums);
    b += LaneSum(_mm_add_epi32(weighted, _mm_slli_epi32(before, 4)));
}

// The same over 32 bytes (weights 32 down to 1; at most 255 (32 + 31) in 16 bits). The data is
// read with unaligned loads. The 32-bit build has eight vector registers and keeps one of the
// constants on the stack, which Windows aligns to 4 bytes only: GCC realigns this function's
// frame to 32 bytes itself (and stores there with vmovdqu), so no -mstackrealign is needed.
__attribute__((target("avx2"))) void Avx2Chunks(uint32_t& a, uint32_t& b, const uint8_t* p, size_t chunks) {
    const __m256i zero = _mm256_setzero_si256();
    const __m256i weights = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(ChunkWeights));
    const __m256i ones = _mm256_set1_epi16(1);
    __m256i sums = zero, before = zero, weighted = zero;
    b += a * uint32_t(chunks * 32);
    for (; chunks != 0; --chunks, p += 32) {
        const __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
        before = _mm256_add_epi32(before, sums);
        sums = _mm256_add_epi32(sums, _mm256_sad_epu8(x, zero));
        weighted = _mm256_add_epi32(weighted, _mm256_madd_epi16(_mm256_maddubs_epi16(x, weights), ones));
    }
    a += LaneSum(sums);
    b += LaneSum(_mm256_add_epi32(weighted, _mm256_slli_epi32(before, 5)));
}

// How many kernels of the table this processor runs: SSE2, then SSSE3, then AVX2, each of
// which implies the ones before it. AVX2 also needs the operating system to save the YMM
// registers on a thread switch: CPUID reports OSXSAVE, and XCR0 has the SSE and AVX state
// bits (1 and 2) set; a processor with AVX2 under a system that does not save them would
// lose the upper halves of the registers.
size_t SupportedLevels() {
    unsigned eax, ebx, ecx, edx;
    if (__get_cpuid(1, &eax, &ebx, &ecx, &edx) == 0 || (edx & bit_SSE2) == 0)
        return 1;
    if ((ecx & bit_SSSE3) == 0)
        return 2;
    if ((ecx & bit_OSXSAVE) == 0 || (ecx & bit_AVX) == 0 || __get_cpuid_max(0, nullptr) < 7)
        return 3;
    unsigned xcr0, xcr0High;
    __asm__("xgetbv" : "=a"(xcr0), "=d"(xcr0High) : "c"(0));
    __cpuid_count(7, 0, eax, ebx, ecx, edx);
    return (xcr0 & 6) == 6 && (ebx & bit_AVX2) != 0 ? 4 : 3;
}

uint32_t Adler32Sse2(uint32_t adler, const void* data, size_t len) {
    return Adler32Blocks(adler, data, len, 4, Sse2Chunks);
}

uint32_t Adler32Ssse3(uint32_t adler, const void* data, size_t len) {
    return Adler32Blocks(adler, data, len, 4, Ssse3Chunks);
}

uint32_t Adler32Avx2(uint32_t adler, const void* data, size_t len) {
    return Adler32Blocks(adler, data, len, 5, Avx2Chunks);
}

const TAdler32Kernel AllKernels[] = {
    {"scalar", Adler32Scalar},
    {"sse2", Adler32Sse2},
    {"ssse3", Adler32Ssse3},
    {"avx2", Adler32Avx2},
};

#else

size_t SupportedLevels() {
    return 1;
}

const TAdler32Kernel AllKernels[] = {{"scalar", Adler32Scalar}};

#endif

// Adler32 goes through this pointer: at first to the chooser, which asks the processor once
// and puts the best kernel in its place. Threads that race on the first call choose the same.
uint32_t ChooseAndRun(uint32_t adler, const void* data, size_t len);
std::atomic<TAdler32Function> ChosenKernel{ChooseAndRun};

uint32_t ChooseAndRun(uint32_t adler, const void* data, size_t len) {
    const TAdler32Kernel* kernels;
    const size_t count = Adler32Kernels(kernels);
    const TAdler32Function best = kernels[count - 1].Function;
    ChosenKernel.store(best, std::memory_order_relaxed);
    return best(adler, data, len);
}

} // namespace

size_t Adler32Kernels(const TAdler32Kernel*& kernels) {
    kernels = AllKernels;
    return SupportedLevels();
}

uint32_t Adler32(uint32_t adler, const void* data, size_t len) {
    return ChosenKernel.load(std::memory_order_relaxed)(adler, data, len);
}
