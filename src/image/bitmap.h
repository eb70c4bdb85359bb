// The bitmaps that pass between picture decoding, the font's pixel pass and the texture upload:
// 32-bit device-independent bitmaps with bottom-up rows (the last row in memory is the top of
// the picture), rows of exactly 4 * width bytes, each pixel the bytes blue, green, red and a
// fourth byte that carries no colour (0 from stb_image; OLE may leave 0xFF there).
//
// On Windows an ImageBitmap* is an HBITMAP of a DIB section (image/win32); elsewhere it points
// at a record of our own (image/stb). The core reads and writes them only through these calls.
#pragma once

#include <cstdint>

struct ImageBitmap;

// What GetObjectA reports of a DIB section: the header's width, height and bit count, and the
// pixels (bottom row first). pixels is null for a bitmap whose memory we cannot see.
struct BitmapDescription {
    int32_t width;
    int32_t height;
    uint32_t bitCount;
    uint8_t* pixels;
};

// Fills out (zeroed first); false, with out all zero, for none or for something not a bitmap.
bool GetBitmapDescription(ImageBitmap* bitmap, BitmapDescription& out);

// The font's pixel pass (GetDIBits / SetDIBits on Windows): the bitmap's pixels as width x height
// 32-bit words 0x00RRGGBB (the fourth byte read as 0, so black is 0), bottom row first, and back
// with all four bytes. False, with nothing copied, when the bitmap is missing or is not a 32-bit
// bitmap of exactly that size.
bool ReadBitmapPixels(ImageBitmap* bitmap, int32_t width, int32_t height, uint32_t* pixels);
bool WriteBitmapPixels(ImageBitmap* bitmap, int32_t width, int32_t height, const uint32_t* pixels);

// Deletes the bitmap if present and clears the holder, so a second call does nothing.
void DeleteBitmap(ImageBitmap*& holder);
