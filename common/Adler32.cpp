// The Adler-32 checksum of CommonUtils.h, in a file of its own: it is the inner loop of the
// archive check that runs before the first page, so it is compiled for speed while the rest of
// the program is compiled for size.

#include "common/CommonUtils.h"

// Adler-32 as RFC 1950 defines it, with the modulo deferred: NMAX is the largest n for which
// 255 n (n + 1) / 2 + (n + 1) (Base - 1) still fits in 32 bits, so the sums of a block of up
// to NMAX bytes cannot overflow before they are reduced once. Inputs whose halves are not yet
// reduced give the same results as zlib's adler32.
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

} // namespace

uint32_t Adler32(uint32_t adler, const void* data, size_t len) {
    const uint8_t* p = static_cast<const uint8_t*>(data);
    uint32_t a = adler & 0xFFFF;
    uint32_t b = adler >> 16;

    if (p == nullptr)
        return 1;
    if (len == 1) {
        a += p[0];
        if (a >= AdlerBase)
            a -= AdlerBase;
        b += a;
        if (b >= AdlerBase)
            b -= AdlerBase;
        return a | (b << 16);
    }
    if (len < 16) {
        while (len-- != 0) {
            a += *p++;
            b += a;
        }
        if (a >= AdlerBase)
            a -= AdlerBase;
        b %= AdlerBase;
        return a | (b << 16);
    }

    while (len >= AdlerNmax) {
        len -= AdlerNmax;
        for (size_t blocks = AdlerNmax / 16; blocks != 0; --blocks) {
            Adler16(a, b, p);
            p += 16;
        }
        a %= AdlerBase;
        b %= AdlerBase;
    }
    if (len != 0) {
        for (; len >= 16; len -= 16) {
            Adler16(a, b, p);
            p += 16;
        }
        while (len-- != 0) {
            a += *p++;
            b += a;
        }
        a %= AdlerBase;
        b %= AdlerBase;
    }
    return a | (b << 16);
}
