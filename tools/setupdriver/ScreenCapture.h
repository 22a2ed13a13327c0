// Pictures of the screen: a rectangle copied into memory, and the BMP file the screenshot
// command writes.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

// A picture of a screen rectangle: 32-bit pixels (0x00RRGGBB), rows from the top.
struct TScreenImage {
    int Width = 0;
    int Height = 0;
    std::vector<DWORD> Pixels;
};

// Copies a rectangle of the screen; when draw is given, it paints over the copy first (on a
// memory DC that holds the rectangle at 0, 0).
TScreenImage CaptureScreen(const RECT& rect, const std::function<void(HDC)>& draw = nullptr);

// Writes a 24-bit BMP file (rows from the bottom, each padded to four bytes); 24 bits,
// because viewers take the fourth byte of a 32-bit one for transparency.
void SaveBitmapFile(const TScreenImage& image, const std::string& fileName);
