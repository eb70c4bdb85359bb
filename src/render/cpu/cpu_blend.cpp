#include "render/cpu/cpu_blend.h"

#if defined(__x86_64__) && defined(__SSE2__)
#define TAVREL_BLEND_X86 1
#include <immintrin.h>
#endif

namespace cpu {

namespace {

// x / 255 rounded to nearest for x up to 255 * 255: ((x + 128) * 257) >> 16, which the vector
// loops get from one multiply-high.
inline uint32_t Divide255(uint32_t x)
{
    return ((x + 128) * 257) >> 16;
}

using SpanBlend = void (*)(const uint32_t* source, uint32_t* frame, int32_t count);

template <bool OverBlack>
void BlendSpanPortable(const uint32_t* source, uint32_t* frame, int32_t count)
{
    for (int32_t i = 0; i < count; ++i) {
        frame[i] = BlendPixel(source[i], OverBlack ? 0 : frame[i]);
    }
}

#ifdef TAVREL_BLEND_X86

// Four pixels a step; each alpha word spread over its pixel's four words.
template <bool OverBlack>
void BlendSpanSse2(const uint32_t* source, uint32_t* frame, int32_t count)
{
    const __m128i zero = _mm_setzero_si128();
    const __m128i full = _mm_set1_epi16(255);
    const __m128i half = _mm_set1_epi16(128);
    const __m128i by257 = _mm_set1_epi16(257);
    const auto blend = [&](__m128i s, __m128i d) {
        const __m128i alpha = _mm_shufflehi_epi16(_mm_shufflelo_epi16(s, _MM_SHUFFLE(3, 3, 3, 3)),
                                                  _MM_SHUFFLE(3, 3, 3, 3));
        __m128i sum = _mm_add_epi16(_mm_mullo_epi16(s, alpha), half);
        if (!OverBlack) sum = _mm_add_epi16(sum, _mm_mullo_epi16(d, _mm_sub_epi16(full, alpha)));
        return _mm_mulhi_epu16(sum, by257);
    };
    int32_t i = 0;
    for (; i + 4 <= count; i += 4) {
        const __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source + i));
        const __m128i d =
            OverBlack ? zero : _mm_loadu_si128(reinterpret_cast<const __m128i*>(frame + i));
        const __m128i low = blend(_mm_unpacklo_epi8(s, zero), _mm_unpacklo_epi8(d, zero));
        const __m128i high = blend(_mm_unpackhi_epi8(s, zero), _mm_unpackhi_epi8(d, zero));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(frame + i), _mm_packus_epi16(low, high));
    }
    BlendSpanPortable<OverBlack>(source + i, frame + i, count - i);
}

// The same eight pixels a step: unpacking and packing stay within each 128-bit lane, so the
// pixels keep their places.
template <bool OverBlack>
__attribute__((target("avx2"))) void BlendSpanAvx2(const uint32_t* source, uint32_t* frame,
                                                   int32_t count)
{
    const __m256i zero = _mm256_setzero_si256();
    const __m256i full = _mm256_set1_epi16(255);
    const __m256i half = _mm256_set1_epi16(128);
    const __m256i by257 = _mm256_set1_epi16(257);
    // Byte 6/7 of each pixel's four words is its alpha word: 0x0706 into every word.
    const __m256i spread = _mm256_set_epi8(15, 14, 15, 14, 15, 14, 15, 14, 7, 6, 7, 6, 7, 6, 7, 6,
                                           15, 14, 15, 14, 15, 14, 15, 14, 7, 6, 7, 6, 7, 6, 7, 6);
    int32_t i = 0;
    for (; i + 8 <= count; i += 8) {
        const __m256i s = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(source + i));
        const __m256i d =
            OverBlack ? zero : _mm256_loadu_si256(reinterpret_cast<const __m256i*>(frame + i));
        __m256i out[2];
        for (int part = 0; part < 2; ++part) {
            const __m256i sw =
                part == 0 ? _mm256_unpacklo_epi8(s, zero) : _mm256_unpackhi_epi8(s, zero);
            const __m256i alpha = _mm256_shuffle_epi8(sw, spread);
            __m256i sum = _mm256_add_epi16(_mm256_mullo_epi16(sw, alpha), half);
            if (!OverBlack) {
                const __m256i dw =
                    part == 0 ? _mm256_unpacklo_epi8(d, zero) : _mm256_unpackhi_epi8(d, zero);
                sum = _mm256_add_epi16(sum, _mm256_mullo_epi16(dw, _mm256_sub_epi16(full, alpha)));
            }
            out[part] = _mm256_mulhi_epu16(sum, by257);
        }
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(frame + i),
                            _mm256_packus_epi16(out[0], out[1]));
    }
    BlendSpanSse2<OverBlack>(source + i, frame + i, count - i);
}

template <bool OverBlack>
SpanBlend ChooseSpanBlend()
{
    if (__builtin_cpu_supports("avx2")) return BlendSpanAvx2<OverBlack>;
    return BlendSpanSse2<OverBlack>;
}

#else

template <bool OverBlack>
SpanBlend ChooseSpanBlend()
{
    return BlendSpanPortable<OverBlack>;
}

#endif

const SpanBlend WriteSpan = ChooseSpanBlend<true>();
const SpanBlend BlendSpan = ChooseSpanBlend<false>();

}  // namespace

uint32_t BlendPixel(uint32_t source, uint32_t frame)
{
    const uint32_t a = source >> 24;
    uint32_t out = 0;
    // The top byte blends like the others (the vector loops do the same); it means nothing.
    for (int shift = 0; shift < 32; shift += 8) {
        const uint32_t s = source >> shift & 0xFF;
        const uint32_t d = frame >> shift & 0xFF;
        out |= Divide255(s * a + d * (255 - a)) << shift;
    }
    return out;
}

void WriteOverBlack(const uint32_t* source, uint32_t* frame, int32_t count)
{
    WriteSpan(source, frame, count);
}

void BlendOver(const uint32_t* source, uint32_t* frame, int32_t count)
{
    BlendSpan(source, frame, count);
}

}  // namespace cpu
