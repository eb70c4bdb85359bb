// The bitmap record of builds without GDI: what a DIB section holds, and nothing else.
#pragma once

#include <cstdint>

#include "image/bitmap.h"

struct ImageBitmap {
    int32_t width;
    int32_t height;     // rows, bottom row first
    uint32_t bitCount;  // 32 from the decoder; others only to test refusals
    uint32_t rowBytes;  // rounded up to whole 32-bit words, as in a DIB
    uint8_t* pixels;    // zero-filled at creation
};

// A zero-filled bitmap, or null for a size that is not positive or memory that cannot be had.
ImageBitmap* CreatePixelBitmap(int32_t width, int32_t height, uint32_t bitCount);
