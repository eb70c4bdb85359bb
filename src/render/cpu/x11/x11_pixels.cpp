#include "render/cpu/x11/x11_pixels.h"

#include <bit>
#include <cstring>

namespace {

// An 8-bit channel into a field of the mask's width (wider fields repeat the top bits).
uint32_t Place(uint32_t value, uint32_t mask)
{
    if (mask == 0) return 0;
    const int shift = std::countr_zero(mask);
    const int bits = std::popcount(mask);
    uint32_t field = 0;
    if (bits >= 8) {
        for (int at = bits - 8; at > -8; at -= 8) field |= at >= 0 ? value << at : value >> -at;
    } else {
        field = value >> (8 - bits);
    }
    return (field << shift) & mask;
}

bool NativeLittleEndian()
{
    return std::endian::native == std::endian::little;
}

}  // namespace

X11PixelLayout MakePixelLayout(uint32_t redMask, uint32_t greenMask, uint32_t blueMask,
                               int32_t depth, bool mostSignificantFirst)
{
    X11PixelLayout layout{redMask, greenMask, blueMask, 0, mostSignificantFirst};
    // Bits of the depth that carry no colour are alpha to a compositor: keep the window opaque.
    const uint32_t depthBits = depth >= 32 ? 0xFFFFFFFFu : (1u << depth) - 1;
    if (depth == 32) layout.opaqueBits = depthBits & ~(redMask | greenMask | blueMask);
    return layout;
}

void ConvertPixels(const uint32_t* in, uint8_t* out, int32_t count, const X11PixelLayout& layout)
{
    const bool nativeOrder = layout.mostSignificantFirst != NativeLittleEndian();
    if (nativeOrder && layout.redMask == 0xFF0000u && layout.greenMask == 0xFF00u &&
        layout.blueMask == 0xFFu) {
        for (int32_t i = 0; i < count; ++i) {
            const uint32_t p = (in[i] & 0x00FFFFFFu) | layout.opaqueBits;
            std::memcpy(out + 4 * i, &p, 4);
        }
        return;
    }
    for (int32_t i = 0; i < count; ++i) {
        const uint32_t p = in[i];
        uint32_t pixel = Place((p >> 16) & 0xFF, layout.redMask) |
                         Place((p >> 8) & 0xFF, layout.greenMask) |
                         Place(p & 0xFF, layout.blueMask) | layout.opaqueBits;
        if (!nativeOrder) pixel = __builtin_bswap32(pixel);
        std::memcpy(out + 4 * i, &pixel, 4);
    }
}
