// The Adler-32 kernels behind Adler32 (CommonUtils.h), for the tests and the benchmark: each one
// this processor runs, so that every kernel can be compared with the plain loop and timed.
#pragma once

#include <cstddef>
#include <cstdint>

using TAdler32Function = uint32_t (*)(uint32_t adler, const void* data, size_t len);

struct TAdler32Kernel {
    const char* Name;
    TAdler32Function Function;
};

// The kernels this processor and its operating system run: the plain loop first, the one
// Adler32 uses last. Returns how many there are; kernels[0..count) is valid.
size_t Adler32Kernels(const TAdler32Kernel*& kernels);
