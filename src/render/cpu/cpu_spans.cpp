#include "render/cpu/cpu_spans.h"

#include <immintrin.h>

namespace cpu {

namespace {

constexpr uint32_t White = 0x00FFFFFFu;

// a * b / 255 to nearest, for a * b up to 65535.
inline uint32_t Mul(uint32_t a, uint32_t b)
{
    const uint32_t x = a * b + 128;
    return (x + (x >> 8)) >> 8;
}

inline uint32_t Lerp(uint32_t a, uint32_t b, uint32_t w)
{
    return (a * (256 - w) + b * w + 128) >> 8;
}

inline uint32_t Factor(BlendFactor factor, uint32_t alpha)
{
    switch (factor) {
    case BlendFactor::Zero: return 0;
    case BlendFactor::One: return 255;
    case BlendFactor::SourceAlpha: return alpha;
    case BlendFactor::InverseSourceAlpha: return 255 - alpha;
    }
    return 0;
}

}  // namespace

uint32_t DrawPixel(uint32_t target, uint32_t t00, uint32_t t01, uint32_t t10, uint32_t t11,
                   uint32_t fu, uint32_t fv, uint32_t modulate, BlendFactor source,
                   BlendFactor destination)
{
    uint32_t c[4];
    for (int k = 0; k < 4; ++k) {
        const int shift = 8 * k;
        const uint32_t h0 = Lerp((t00 >> shift) & 0xFF, (t01 >> shift) & 0xFF, fu);
        const uint32_t h1 = Lerp((t10 >> shift) & 0xFF, (t11 >> shift) & 0xFF, fu);
        c[k] = Lerp(h0, h1, fv);
        if (k < 3) c[k] = Mul(c[k], (modulate >> shift) & 0xFF);
    }
    const uint32_t sourceFactor = Factor(source, c[3]);
    const uint32_t destinationFactor = Factor(destination, c[3]);
    uint32_t out = 0;
    for (int k = 0; k < 4; ++k) {
        const int shift = 8 * k;
        const uint32_t value =
            Mul(c[k], sourceFactor) + Mul((target >> shift) & 0xFF, destinationFactor);
        out |= (value > 255 ? 255 : value) << shift;
    }
    return out;
}

void DrawSpanPlain(const Span& span)
{
    for (int32_t i = 0; i < span.count; ++i) {
        const int32_t column = span.columns[i];
        span.target[i] = DrawPixel(span.target[i], span.row0[column], span.row0[column + 1],
                                   span.row1[column], span.row1[column + 1], span.weights[4 * i],
                                   span.rowWeight, span.modulate, span.source, span.destination);
    }
}

namespace {

// The pixels from `first` on, one at a time.
void FinishSpan(const Span& span, int32_t first)
{
    for (int32_t i = first; i < span.count; ++i) {
        const int32_t column = span.columns[i];
        span.target[i] = DrawPixel(span.target[i], span.row0[column], span.row0[column + 1],
                                   span.row1[column], span.row1[column + 1], span.weights[4 * i],
                                   span.rowWeight, span.modulate, span.source, span.destination);
    }
}

enum class SpanKind { Replace, Blend, Other };

SpanKind KindOf(const Span& span)
{
    if (span.source == BlendFactor::One && span.destination == BlendFactor::Zero) {
        return SpanKind::Replace;
    }
    if (span.source == BlendFactor::SourceAlpha &&
        span.destination == BlendFactor::InverseSourceAlpha) {
        return SpanKind::Blend;
    }
    return SpanKind::Other;
}

// Channels as 16-bit lanes, blue, green, red, alpha for each pixel.

inline __m128i Div255(__m128i x)
{
    const __m128i t = _mm_add_epi16(x, _mm_set1_epi16(128));
    return _mm_srli_epi16(_mm_add_epi16(t, _mm_srli_epi16(t, 8)), 8);
}

inline __m128i Lerp(__m128i a, __m128i b, __m128i w0, __m128i w1)
{
    const __m128i sum = _mm_add_epi16(_mm_mullo_epi16(a, w0), _mm_mullo_epi16(b, w1));
    return _mm_srli_epi16(_mm_add_epi16(sum, _mm_set1_epi16(128)), 8);
}

// Two pixels: the four texels of each widened, fu of each four times, the target's two.
template <bool Blend, bool Modulate>
inline __m128i TwoPixels(__m128i t00, __m128i t01, __m128i t10, __m128i t11, __m128i fu,
                         __m128i fv0, __m128i fv1, __m128i modulate, __m128i target)
{
    const __m128i fu0 = _mm_sub_epi16(_mm_set1_epi16(256), fu);
    const __m128i h0 = Lerp(t00, t01, fu0, fu);
    const __m128i h1 = Lerp(t10, t11, fu0, fu);
    __m128i c = Lerp(h0, h1, fv0, fv1);
    if (Modulate) c = Div255(_mm_mullo_epi16(c, modulate));
    if (!Blend) return c;
    const __m128i alpha = _mm_shufflehi_epi16(_mm_shufflelo_epi16(c, 0xFF), 0xFF);
    const __m128i inverse = _mm_sub_epi16(_mm_set1_epi16(255), alpha);
    return _mm_add_epi16(Div255(_mm_mullo_epi16(c, alpha)),
                         Div255(_mm_mullo_epi16(target, inverse)));
}

inline __m128i ModulateLanes(uint32_t color)
{
    const auto r = static_cast<int16_t>((color >> 16) & 0xFF);
    const auto g = static_cast<int16_t>((color >> 8) & 0xFF);
    const auto b = static_cast<int16_t>(color & 0xFF);
    return _mm_set_epi16(255, r, g, b, 255, r, g, b);
}

template <bool Blend, bool Modulate>
void SpanSse2(const Span& span)
{
    const __m128i zero = _mm_setzero_si128();
    const __m128i fv1 = _mm_set1_epi16(static_cast<int16_t>(span.rowWeight));
    const __m128i fv0 = _mm_sub_epi16(_mm_set1_epi16(256), fv1);
    const __m128i modulate = ModulateLanes(span.modulate);
    const uint32_t* row0 = span.row0;
    const uint32_t* row1 = span.row1;
    int32_t i = 0;
    for (; i + 4 <= span.count; i += 4) {
        const int32_t* c = span.columns + i;
        auto gather = [&](const uint32_t* row, int32_t offset) {
            return _mm_set_epi32(static_cast<int32_t>(row[c[3] + offset]),
                                 static_cast<int32_t>(row[c[2] + offset]),
                                 static_cast<int32_t>(row[c[1] + offset]),
                                 static_cast<int32_t>(row[c[0] + offset]));
        };
        const __m128i t00 = gather(row0, 0);
        const __m128i t01 = gather(row0, 1);
        const __m128i t10 = gather(row1, 0);
        const __m128i t11 = gather(row1, 1);
        const __m128i fuLow = _mm_loadu_si128(reinterpret_cast<const __m128i*>(span.weights + 4 * i));
        const __m128i fuHigh =
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(span.weights + 4 * i + 8));
        __m128i* out = reinterpret_cast<__m128i*>(span.target + i);
        const __m128i target = Blend ? _mm_loadu_si128(out) : zero;
        const __m128i low = TwoPixels<Blend, Modulate>(
            _mm_unpacklo_epi8(t00, zero), _mm_unpacklo_epi8(t01, zero),
            _mm_unpacklo_epi8(t10, zero), _mm_unpacklo_epi8(t11, zero), fuLow, fv0, fv1, modulate,
            _mm_unpacklo_epi8(target, zero));
        const __m128i high = TwoPixels<Blend, Modulate>(
            _mm_unpackhi_epi8(t00, zero), _mm_unpackhi_epi8(t01, zero),
            _mm_unpackhi_epi8(t10, zero), _mm_unpackhi_epi8(t11, zero), fuHigh, fv0, fv1,
            modulate, _mm_unpackhi_epi8(target, zero));
        _mm_storeu_si128(out, _mm_packus_epi16(low, high));
    }
    FinishSpan(span, i);
}

// The same eight pixels at a time; the four texels of each come by gathering.

__attribute__((target("avx2"))) inline __m256i Div255x8(__m256i x)
{
    const __m256i t = _mm256_add_epi16(x, _mm256_set1_epi16(128));
    return _mm256_srli_epi16(_mm256_add_epi16(t, _mm256_srli_epi16(t, 8)), 8);
}

__attribute__((target("avx2"))) inline __m256i Lerp8(__m256i a, __m256i b, __m256i w0,
                                                     __m256i w1)
{
    const __m256i sum = _mm256_add_epi16(_mm256_mullo_epi16(a, w0), _mm256_mullo_epi16(b, w1));
    return _mm256_srli_epi16(_mm256_add_epi16(sum, _mm256_set1_epi16(128)), 8);
}

// Four pixels, laid out as TwoPixels lays out two.
template <bool Blend, bool Modulate>
__attribute__((target("avx2"))) inline __m256i FourPixels(__m256i t00, __m256i t01, __m256i t10,
                                                          __m256i t11, __m256i fu, __m256i fv0,
                                                          __m256i fv1, __m256i modulate,
                                                          __m256i target)
{
    const __m256i fu0 = _mm256_sub_epi16(_mm256_set1_epi16(256), fu);
    const __m256i h0 = Lerp8(t00, t01, fu0, fu);
    const __m256i h1 = Lerp8(t10, t11, fu0, fu);
    __m256i c = Lerp8(h0, h1, fv0, fv1);
    if (Modulate) c = Div255x8(_mm256_mullo_epi16(c, modulate));
    if (!Blend) return c;
    const __m256i alpha = _mm256_shufflehi_epi16(_mm256_shufflelo_epi16(c, 0xFF), 0xFF);
    const __m256i inverse = _mm256_sub_epi16(_mm256_set1_epi16(255), alpha);
    return _mm256_add_epi16(Div255x8(_mm256_mullo_epi16(c, alpha)),
                            Div255x8(_mm256_mullo_epi16(target, inverse)));
}

__attribute__((target("avx2"))) inline __m256i Low(__m256i x)
{
    return _mm256_cvtepu8_epi16(_mm256_castsi256_si128(x));
}

__attribute__((target("avx2"))) inline __m256i High(__m256i x)
{
    return _mm256_cvtepu8_epi16(_mm256_extracti128_si256(x, 1));
}

template <bool Blend, bool Modulate>
__attribute__((target("avx2"))) void SpanAvx2(const Span& span)
{
    const __m256i fv1 = _mm256_set1_epi16(static_cast<int16_t>(span.rowWeight));
    const __m256i fv0 = _mm256_sub_epi16(_mm256_set1_epi16(256), fv1);
    const __m128i lanes = ModulateLanes(span.modulate);
    const __m256i modulate = _mm256_set_m128i(lanes, lanes);
    const auto* row0 = reinterpret_cast<const int*>(span.row0);
    const auto* row1 = reinterpret_cast<const int*>(span.row1);
    int32_t i = 0;
    for (; i + 8 <= span.count; i += 8) {
        const __m256i index = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(span.columns + i));
        const __m256i t00 = _mm256_i32gather_epi32(row0, index, 4);
        const __m256i t01 = _mm256_i32gather_epi32(row0 + 1, index, 4);
        const __m256i t10 = _mm256_i32gather_epi32(row1, index, 4);
        const __m256i t11 = _mm256_i32gather_epi32(row1 + 1, index, 4);
        const __m256i fuLow =
            _mm256_loadu_si256(reinterpret_cast<const __m256i*>(span.weights + 4 * i));
        const __m256i fuHigh =
            _mm256_loadu_si256(reinterpret_cast<const __m256i*>(span.weights + 4 * i + 16));
        auto* out = reinterpret_cast<__m256i*>(span.target + i);
        const __m256i target = Blend ? _mm256_loadu_si256(out) : _mm256_setzero_si256();
        const __m256i low = FourPixels<Blend, Modulate>(Low(t00), Low(t01), Low(t10), Low(t11),
                                                        fuLow, fv0, fv1, modulate, Low(target));
        const __m256i high = FourPixels<Blend, Modulate>(High(t00), High(t01), High(t10),
                                                         High(t11), fuHigh, fv0, fv1, modulate,
                                                         High(target));
        // The pack works within 128-bit halves: pixels 0 1 4 5 2 3 6 7 until put in order.
        const __m256i packed = _mm256_packus_epi16(low, high);
        _mm256_storeu_si256(out, _mm256_permute4x64_epi64(packed, 0xD8));
    }
    FinishSpan(span, i);
}

}  // namespace

void DrawSpanSse2(const Span& span)
{
    const bool modulate = (span.modulate & White) != White;
    switch (KindOf(span)) {
    case SpanKind::Replace:
        return modulate ? SpanSse2<false, true>(span) : SpanSse2<false, false>(span);
    case SpanKind::Blend:
        return modulate ? SpanSse2<true, true>(span) : SpanSse2<true, false>(span);
    case SpanKind::Other: return DrawSpanPlain(span);
    }
}

void DrawSpanAvx2(const Span& span)
{
    const bool modulate = (span.modulate & White) != White;
    switch (KindOf(span)) {
    case SpanKind::Replace:
        return modulate ? SpanAvx2<false, true>(span) : SpanAvx2<false, false>(span);
    case SpanKind::Blend:
        return modulate ? SpanAvx2<true, true>(span) : SpanAvx2<true, false>(span);
    case SpanKind::Other: return DrawSpanPlain(span);
    }
}

bool ProcessorHasAvx2()
{
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2");
}

SpanFunction ChosenSpanFunction()
{
    static const SpanFunction chosen = ProcessorHasAvx2() ? DrawSpanAvx2 : DrawSpanSse2;
    return chosen;
}

}  // namespace cpu
