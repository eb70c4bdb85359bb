#include "render/cpu/x11/x11_pixels.h"

#include <bit>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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
        // The common visual: a masked copy, four pixels at a time where the processor can.
        const uint32_t opaque = layout.opaqueBits;
        int32_t i = 0;
#if defined(__SSE2__)
        for (; i < count && (reinterpret_cast<uintptr_t>(out + 4 * i) & 15) != 0; ++i) {
            const uint32_t p = (in[i] & 0x00FFFFFFu) | opaque;
            std::memcpy(out + 4 * i, &p, 4);
        }
        const __m128i keep = _mm_set1_epi32(0x00FFFFFF);
        const __m128i set = _mm_set1_epi32(static_cast<int>(opaque));
        for (; i + 4 <= count; i += 4) {
            const __m128i p = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
            _mm_stream_si128(reinterpret_cast<__m128i*>(out + 4 * i),
                             _mm_or_si128(_mm_and_si128(p, keep), set));
        }
        _mm_sfence();
#endif
        for (; i < count; ++i) {
            const uint32_t p = (in[i] & 0x00FFFFFFu) | opaque;
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
