#include "tools/setupdriver/ScreenCapture.h"

#include <fstream>

#include "common/WinHandle.h"
#include "tools/setupdriver/Wait.h"

namespace {

// An uncompressed bitmap's header; a negative height puts the rows from the top.
BITMAPINFOHEADER BitmapHeader(int width, int height, WORD bitCount) {
    BITMAPINFOHEADER info = {};
    info.biSize = sizeof info;
    info.biWidth = width;
    info.biHeight = height;
    info.biPlanes = 1;
    info.biBitCount = bitCount;
    info.biCompression = BI_RGB;
    return info;
}

} // namespace

TScreenImage CaptureScreen(const RECT& rect, const std::function<void(HDC)>& draw) {
    TScreenImage image;
    image.Width = rect.right - rect.left;
    image.Height = rect.bottom - rect.top;
    if (image.Width <= 0 || image.Height <= 0)
        throw EDriverFailure("nothing to capture");
    TWindowDc screen(nullptr);
    UniqueDc memory(::CreateCompatibleDC(screen.Get()));
    UniqueGdiObject bitmap(::CreateCompatibleBitmap(screen.Get(), image.Width, image.Height));
    if (!memory || !bitmap)
        throw EDriverFailure("cannot create a bitmap to capture the screen");
    {
        // Deselected at the end of the block, also when draw throws: a bitmap must not be
        // deleted while a device context holds it, nor read by GetDIBits.
        TSelectObject selectBitmap(memory.Get(), bitmap.Get());
        ::BitBlt(memory.Get(), 0, 0, image.Width, image.Height, screen.Get(), rect.left, rect.top, SRCCOPY);
        if (draw)
            draw(memory.Get());
    }
    BITMAPINFOHEADER info = BitmapHeader(image.Width, -image.Height, 32); // negative: rows from the top
    image.Pixels.resize(static_cast<size_t>(image.Width) * image.Height);
    ::GetDIBits(memory.Get(), static_cast<HBITMAP>(bitmap.Get()), 0, image.Height, image.Pixels.data(),
                reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS);
    return image;
}

void SaveBitmapFile(const TScreenImage& image, const std::string& fileName) {
    const size_t rowSize = (static_cast<size_t>(image.Width) * 3 + 3) & ~size_t(3);
    std::vector<char> rows(rowSize * image.Height, 0);
    for (int y = 0; y < image.Height; ++y) {
        char* out = &rows[rowSize * (image.Height - 1 - y)];
        for (int x = 0; x < image.Width; ++x) {
            DWORD pixel = image.Pixels[static_cast<size_t>(y) * image.Width + x];
            *out++ = static_cast<char>(pixel & 255);         // blue
            *out++ = static_cast<char>((pixel >> 8) & 255);  // green
            *out++ = static_cast<char>((pixel >> 16) & 255); // red
        }
    }
    BITMAPINFOHEADER info = BitmapHeader(image.Width, image.Height, 24);
    BITMAPFILEHEADER file = {};
    file.bfType = 0x4D42; // "BM"
    file.bfOffBits = sizeof file + sizeof info;
    file.bfSize = file.bfOffBits + static_cast<DWORD>(rows.size());
    std::ofstream out(fileName, std::ios::binary);
    out.write(reinterpret_cast<const char*>(&file), sizeof file);
    out.write(reinterpret_cast<const char*>(&info), sizeof info);
    out.write(rows.data(), rows.size());
    if (!out)
        throw EDriverFailure("cannot write " + fileName);
}
