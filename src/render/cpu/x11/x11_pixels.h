// Back-buffer words (0x..RRGGBB) turned into the pixels of an X11 TrueColor visual of 32 bits a
// pixel, whatever its channel masks and byte order.
#pragma once

#include <cstdint>

struct X11PixelLayout {
    uint32_t redMask;
    uint32_t greenMask;
    uint32_t blueMask;
    uint32_t opaqueBits;        // set in every pixel: the alpha bits of a depth-32 visual
    bool mostSignificantFirst;  // the image's byte order
};

// The layout of a visual with these masks and depth, for images in this byte order.
X11PixelLayout MakePixelLayout(uint32_t redMask, uint32_t greenMask, uint32_t blueMask,
                               int32_t depth, bool mostSignificantFirst);

// count words of `in` into count 4-byte pixels at `out`.
void ConvertPixels(const uint32_t* in, uint8_t* out, int32_t count, const X11PixelLayout& layout);
