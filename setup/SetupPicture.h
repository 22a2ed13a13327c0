// The wizard's picture: a 24-bit device-independent bitmap section that the picture owns.
// Windows only.
#pragma once

#include <windows.h>

#include "common/WinHandle.h"

class TPicture {
public:
    // The bitmap, still owned by the picture; null while it is empty.
    HBITMAP Handle() const { return static_cast<HBITMAP>(Bitmap.Get()); }
    int Width() const { return PixelWidth; }
    int Height() const { return PixelHeight; }
    bool Empty() const { return !Bitmap; }
    // Takes over bitmap, releasing the one held before.
    void Assign(UniqueGdiObject bitmap, int width, int height) {
        Bitmap = std::move(bitmap);
        PixelWidth = width;
        PixelHeight = height;
    }

private:
    UniqueGdiObject Bitmap;
    int PixelWidth = 0;
    int PixelHeight = 0;
};
