#include "render/cpu/cpu_blend.h"

#if defined(__x86_64__) && defined(__SSE2__)
#define TAVREL_BLEND_SSE2 1
#include <emmintrin.h>
#endif

namespace cpu {

namespace {

// x / 255 rounded to nearest, exact for x up to 255 * 255 * 2.
inline uint32_t Divide255(uint32_t x)
{
    x += 128;
    return (x + (x >> 8)) >> 8;
}

#ifdef TAVREL_BLEND_SSE2

// Four pixels' 16-bit channels: src * a + dst * (255 - a), divided by 255 as Divide255 does
// (the sums stay below 2^16).
inline __m128i BlendWords(__m128i src, __m128i dst, __m128i alpha)
{
    const __m128i inverse = _mm_sub_epi16(_mm_set1_epi16(255), alpha);
    __m128i sum = _mm_add_epi16(_mm_mullo_epi16(src, alpha), _mm_mullo_epi16(dst, inverse));
    sum = _mm_add_epi16(sum, _mm_set1_epi16(128));
    return _mm_srli_epi16(_mm_add_epi16(sum, _mm_srli_epi16(sum, 8)), 8);
}

// Each pixel's alpha in all four of its 16-bit lanes.
inline __m128i SpreadAlpha(__m128i words)
{
    const __m128i low = _mm_shufflelo_epi16(words, _MM_SHUFFLE(3, 3, 3, 3));
    return _mm_shufflehi_epi16(low, _MM_SHUFFLE(3, 3, 3, 3));
}

template <bool OverBlack>
void BlendSpan(const uint32_t* source, uint32_t* frame, int32_t count)
{
    const __m128i zero = _mm_setzero_si128();
    int32_t i = 0;
    for (; i + 4 <= count; i += 4) {
        const __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source + i));
        const __m128i d = OverBlack ? zero
                                    : _mm_loadu_si128(reinterpret_cast<const __m128i*>(frame + i));
        const __m128i sLow = _mm_unpacklo_epi8(s, zero);
        const __m128i sHigh = _mm_unpackhi_epi8(s, zero);
        const __m128i low = BlendWords(sLow, _mm_unpacklo_epi8(d, zero), SpreadAlpha(sLow));
        const __m128i high = BlendWords(sHigh, _mm_unpackhi_epi8(d, zero), SpreadAlpha(sHigh));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(frame + i), _mm_packus_epi16(low, high));
    }
    for (; i < count; ++i) frame[i] = BlendPixel(source[i], OverBlack ? 0 : frame[i]);
}

#else

template <bool OverBlack>
void BlendSpan(const uint32_t* source, uint32_t* frame, int32_t count)
{
    for (int32_t i = 0; i < count; ++i) {
        frame[i] = BlendPixel(source[i], OverBlack ? 0 : frame[i]);
    }
}

#endif

}  // namespace

uint32_t BlendPixel(uint32_t source, uint32_t frame)
{
    const uint32_t a = source >> 24;
    uint32_t out = 0;
    // The top byte blends like the others (the SIMD loops do the same); it means nothing.
    for (int shift = 0; shift < 32; shift += 8) {
        const uint32_t s = source >> shift & 0xFF;
        const uint32_t d = frame >> shift & 0xFF;
        out |= Divide255(s * a + d * (255 - a)) << shift;
    }
    return out;
}

void WriteOverBlack(const uint32_t* source, uint32_t* frame, int32_t count)
{
    BlendSpan<true>(source, frame, count);
}

void BlendOver(const uint32_t* source, uint32_t* frame, int32_t count)
{
    BlendSpan<false>(source, frame, count);
}

}  // namespace cpu
