// libFuzzer target for Setup.jpg: every input is decoded as the wizard's picture is, into a
// bitmap that the caller refuses above the wizard's limit. The decoder may refuse a picture
// only with one of the program's own errors; any other exception, a crash, a hang or an
// allocation beyond the limits is a finding. The layout it asks for must fit the picture.

#include <cstddef>
#include <cstdint>
#include <memory>

#include "common/Errors.h"
#include "setup/JpegDecoder.h"

namespace {

// The wizard's limit on the bitmap (SetupPicture.cpp).
constexpr uint64_t MaxBitmapBytes = 256u << 20;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::unique_ptr<uint8_t[]> pixels;
    try {
        DecodeJpeg(data, size, [&](int width, int height, size_t stride) -> uint8_t* {
            if (width <= 0 || height <= 0 || stride < static_cast<size_t>(width) * 3 || stride % 4 != 0)
                __builtin_trap();
            if (static_cast<uint64_t>(stride) * static_cast<uint64_t>(height) > MaxBitmapBytes)
                throw Exception("Out of system resources");
            pixels.reset(new uint8_t[stride * static_cast<size_t>(height)]);
            return pixels.get();
        });
    } catch (const Exception&) {
    }
    return 0;
}
