// JPEG decoding through libjpeg, kept apart from the Windows headers: both define a type
// called "boolean", of different sizes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

// Decodes a JPEG picture into 24-bit blue-green-red pixels, top row first, each row padded to
// a multiple of 4 bytes (the layout of a Windows device-independent bitmap). allocate receives
// the width, the height and the row stride and returns where to write stride * height bytes.
// A damaged picture raises Exception with the decoder's own message; so does one the decoder
// could only patch up (a truncated file, which it would finish in gray).
void DecodeJpeg(const uint8_t* data, size_t size,
                const std::function<uint8_t*(int width, int height, size_t stride)>& allocate);
