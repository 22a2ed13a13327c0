// Setup.jpg decoded into a bitmap for the wizard.

#include "setup/SetupPicture.h"

#include <cstdint>
#include <vector>

#include "common/Errors.h"
#include "setup/JpegDecoder.h"
#include "setup/SetupInstaller.h"

namespace {

// A bitmap section larger than this is refused rather than attempted (a damaged header can
// claim up to 65500 by 65500 pixels).
constexpr uint64_t MaxBitmapBytes = 256u << 20;

} // namespace

void TSetupInstaller::LoadPicture(TPicture& picture) {
    std::vector<uint8_t> bytes;
    {
        std::unique_ptr<TStream> stream = ReadSetupFile("Setup.jpg");
        uint8_t buffer[16384];
        for (int32_t count; (count = stream->Read(buffer, sizeof buffer)) > 0;)
            bytes.insert(bytes.end(), buffer, buffer + count);
    }

    UniqueGdiObject bitmap;
    int bitmapWidth = 0;
    int bitmapHeight = 0;
    DecodeJpeg(bytes.data(), bytes.size(), [&](int width, int height, size_t stride) -> uint8_t* {
        if (static_cast<uint64_t>(stride) * static_cast<uint64_t>(height) > MaxBitmapBytes)
            throw Exception("Out of system resources");
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height; // negative: the top row comes first, as the decoder writes
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 24;
        info.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        bitmap.Reset(::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
        if (!bitmap || bits == nullptr)
            throw Exception("Out of system resources");
        bitmapWidth = width;
        bitmapHeight = height;
        return static_cast<uint8_t*>(bits);
    });
    picture.Assign(std::move(bitmap), bitmapWidth, bitmapHeight);
}
