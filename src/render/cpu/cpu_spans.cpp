#include "render/cpu/cpu_spans.h"

#include <immintrin.h>

#include <algorithm>

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

inline uint32_t LerpPixel(uint32_t a, uint32_t b, uint32_t w)
{
    uint32_t out = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        out |= Lerp((a >> shift) & 0xFF, (b >> shift) & 0xFF, w) << shift;
    }
    return out;
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

uint32_t BlendPixel(uint32_t target, uint32_t upper, uint32_t lower, uint32_t fv, uint32_t modulate,
                    BlendFactor source, BlendFactor destination)
{
    uint32_t c[4];
    for (int k = 0; k < 4; ++k) {
        const int shift = 8 * k;
        c[k] = Lerp((upper >> shift) & 0xFF, (lower >> shift) & 0xFF, fv);
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

void ResampleFrom(const uint32_t* row, const Columns& columns, uint32_t* out, int32_t first)
{
    for (int32_t i = first; i < columns.count; ++i) {
        const int32_t index = columns.index[i];
        out[i] = LerpPixel(row[index], row[index + 1], columns.weight[4 * i]);
    }
}

void BlendFrom(const Span& span, int32_t first)
{
    for (int32_t i = first; i < span.count; ++i) {
        span.target[i] = BlendPixel(span.target[i], span.upper[i], span.lower[i], span.rowWeight,
                                    span.modulate, span.source, span.destination);
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

// (x + 128) / 255 rounded as Mul rounds, for x up to 65025: (t * 0x8080) >> 23 equals
// (t + (t >> 8)) >> 8 for every t = x + 128 in that range.
inline __m128i Div255(__m128i x)
{
    const __m128i t = _mm_add_epi16(x, _mm_set1_epi16(128));
    return _mm_srli_epi16(_mm_mulhi_epu16(t, _mm_set1_epi16(static_cast<int16_t>(0x8080))), 7);
}

inline __m128i Lerp(__m128i a, __m128i b, __m128i w0, __m128i w1)
{
    const __m128i sum = _mm_add_epi16(_mm_mullo_epi16(a, w0), _mm_mullo_epi16(b, w1));
    return _mm_srli_epi16(_mm_add_epi16(sum, _mm_set1_epi16(128)), 8);
}

inline __m128i ModulateLanes(uint32_t color)
{
    const auto r = static_cast<int16_t>((color >> 16) & 0xFF);
    const auto g = static_cast<int16_t>((color >> 8) & 0xFF);
    const auto b = static_cast<int16_t>(color & 0xFF);
    return _mm_set_epi16(255, r, g, b, 255, r, g, b);
}

// Two pixels of two resampled rows mixed, modulated and blended over the target's two.
template <bool Blend, bool Modulate>
inline __m128i MixTwo(__m128i upper, __m128i lower, __m128i fv0, __m128i fv1, __m128i modulate,
                      __m128i target)
{
    __m128i c = Lerp(upper, lower, fv0, fv1);
    if (Modulate) c = Div255(_mm_mullo_epi16(c, modulate));
    if (!Blend) return c;
    const __m128i alpha = _mm_shufflehi_epi16(_mm_shufflelo_epi16(c, 0xFF), 0xFF);
    const __m128i inverse = _mm_sub_epi16(_mm_set1_epi16(255), alpha);
    return _mm_add_epi16(Div255(_mm_mullo_epi16(c, alpha)),
                         Div255(_mm_mullo_epi16(target, inverse)));
}

template <bool Blend, bool Modulate>
void BlendSse2Kind(const Span& span)
{
    const __m128i zero = _mm_setzero_si128();
    const __m128i fv1 = _mm_set1_epi16(static_cast<int16_t>(span.rowWeight));
    const __m128i fv0 = _mm_sub_epi16(_mm_set1_epi16(256), fv1);
    const __m128i modulate = ModulateLanes(span.modulate);
    int32_t i = 0;
    for (; i + 4 <= span.count; i += 4) {
        const __m128i upper = _mm_loadu_si128(reinterpret_cast<const __m128i*>(span.upper + i));
        const __m128i lower = _mm_loadu_si128(reinterpret_cast<const __m128i*>(span.lower + i));
        // Transparent black blended over anything leaves it as it is: a spot's corners are.
        const __m128i both = _mm_or_si128(upper, lower);
        if (Blend && _mm_movemask_epi8(_mm_cmpeq_epi8(both, zero)) == 0xFFFF) continue;
        auto* out = reinterpret_cast<__m128i*>(span.target + i);
        const __m128i target = Blend ? _mm_loadu_si128(out) : zero;
        const __m128i low =
            MixTwo<Blend, Modulate>(_mm_unpacklo_epi8(upper, zero), _mm_unpacklo_epi8(lower, zero),
                                    fv0, fv1, modulate, _mm_unpacklo_epi8(target, zero));
        const __m128i high =
            MixTwo<Blend, Modulate>(_mm_unpackhi_epi8(upper, zero), _mm_unpackhi_epi8(lower, zero),
                                    fv0, fv1, modulate, _mm_unpackhi_epi8(target, zero));
        _mm_storeu_si128(out, _mm_packus_epi16(low, high));
    }
    BlendFrom(span, i);
}

// The same, eight pixels at a time.

__attribute__((target("avx2"))) inline __m256i Div255x8(__m256i x)
{
    const __m256i t = _mm256_add_epi16(x, _mm256_set1_epi16(128));
    return _mm256_srli_epi16(_mm256_mulhi_epu16(t, _mm256_set1_epi16(static_cast<int16_t>(0x8080))),
                             7);
}

// (a * (256 - w) + b * w + 128) >> 8 as a + (((b - a) * w * 128 + 2^14) >> 15), which is the
// same number: w128 is w * 128, the rounding multiply does the rest.
__attribute__((target("avx2"))) inline __m256i Lerp8(__m256i a, __m256i b, __m256i w128)
{
    return _mm256_add_epi16(a, _mm256_mulhrs_epi16(_mm256_sub_epi16(b, a), w128));
}

// OverBlack: the target is known to be 0, so that its part of the blend is too.
template <bool Blend, bool Modulate, bool OverBlack = false>
__attribute__((target("avx2"))) inline __m256i MixFour(__m256i upper, __m256i lower, __m256i fv128,
                                                       __m256i modulate, __m256i target)
{
    __m256i c = Lerp8(upper, lower, fv128);
    if (Modulate) c = Div255x8(_mm256_mullo_epi16(c, modulate));
    if (!Blend) return c;
    const __m256i alpha = _mm256_shufflehi_epi16(_mm256_shufflelo_epi16(c, 0xFF), 0xFF);
    if (OverBlack) return Div255x8(_mm256_mullo_epi16(c, alpha));
    const __m256i inverse = _mm256_sub_epi16(_mm256_set1_epi16(255), alpha);
    return _mm256_add_epi16(Div255x8(_mm256_mullo_epi16(c, alpha)),
                            Div255x8(_mm256_mullo_epi16(target, inverse)));
}

// Pixels i to i + 7 of the span over these eight of the target. Unpacking and packing work
// within the 128-bit halves, so the pixels come back in order.
template <bool Blend, bool Modulate, bool OverBlack = false>
__attribute__((target("avx2"))) inline __m256i MixEight(const Span& span, int32_t i, __m256i fv128,
                                                        __m256i modulate, __m256i target)
{
    const __m256i zero = _mm256_setzero_si256();
    const __m256i upper = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(span.upper + i));
    const __m256i lower = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(span.lower + i));
    const __m256i low =
        MixFour<Blend, Modulate, OverBlack>(_mm256_unpacklo_epi8(upper, zero),
                                            _mm256_unpacklo_epi8(lower, zero), fv128, modulate,
                                            _mm256_unpacklo_epi8(target, zero));
    const __m256i high =
        MixFour<Blend, Modulate, OverBlack>(_mm256_unpackhi_epi8(upper, zero),
                                            _mm256_unpackhi_epi8(lower, zero), fv128, modulate,
                                            _mm256_unpackhi_epi8(target, zero));
    return _mm256_packus_epi16(low, high);
}

__attribute__((target("avx2"))) inline bool Clear8(const Span& span, int32_t i)
{
    const __m256i upper = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(span.upper + i));
    const __m256i lower = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(span.lower + i));
    const __m256i both = _mm256_or_si256(upper, lower);
    return _mm256_testz_si256(both, both) != 0;
}

template <bool Blend, bool Modulate>
__attribute__((target("avx2"))) void BlendAvx2Kind(const Span& span)
{
    const __m256i zero = _mm256_setzero_si256();
    const __m256i fv128 = _mm256_set1_epi16(static_cast<int16_t>(span.rowWeight << 7));
    const __m128i lanes = ModulateLanes(span.modulate);
    const __m256i modulate = _mm256_set_m128i(lanes, lanes);
    int32_t i = 0;
    for (; i + 8 <= span.count; i += 8) {
        // Transparent black blended over anything leaves it as it is: a spot's corners are.
        if (Blend && Clear8(span, i)) continue;
        auto* out = reinterpret_cast<__m256i*>(span.target + i);
        if (!Blend) {
            _mm256_storeu_si256(out, MixEight<false, Modulate>(span, i, fv128, modulate, zero));
            continue;
        }
        // Over black (most of a frame before the spots) half of the blend is known.
        const __m256i target = _mm256_loadu_si256(out);
        _mm256_storeu_si256(out,
                            _mm256_testz_si256(target, target) != 0
                                ? MixEight<true, Modulate, true>(span, i, fv128, modulate, zero)
                                : MixEight<true, Modulate>(span, i, fv128, modulate, target));
    }
    // The last few read and write the target only as far as the row goes (masked moves are
    // slow on some processors, so only here).
    if (i < span.count) {
        auto* out = reinterpret_cast<int*>(span.target + i);
        const __m256i within = _mm256_cmpgt_epi32(_mm256_set1_epi32(span.count - i),
                                                  _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7));
        _mm256_maskstore_epi32(out, within,
                               MixEight<Blend, Modulate>(span, i, fv128, modulate,
                                                         Blend ? _mm256_maskload_epi32(out, within)
                                                               : zero));
    }
}

__attribute__((target("avx2"))) inline __m256i Widen(__m128i x)
{
    return _mm256_cvtepu8_epi16(x);
}

}  // namespace

uint32_t DrawPixel(uint32_t target, uint32_t t00, uint32_t t01, uint32_t t10, uint32_t t11,
                   uint32_t fu, uint32_t fv, uint32_t modulate, BlendFactor source,
                   BlendFactor destination)
{
    return BlendPixel(target, LerpPixel(t00, t01, fu), LerpPixel(t10, t11, fu), fv, modulate,
                      source, destination);
}

void GroupColumns(int32_t count, int32_t* index, uint16_t* weight, int32_t* offset,
                  int32_t* groupBase)
{
    const int32_t padded = RoundUpTo8(count);
    for (int32_t i = count; i < padded; ++i) {
        index[i] = index[count - 1];
        std::copy_n(weight + 4 * (count - 1), 4, weight + 4 * i);
    }
    for (int32_t first = 0; first < padded; first += 8) {
        const int32_t last = first + 8;
        const auto [low, high] = std::minmax_element(index + first, index + last);
        // A permutation of eight loaded texels reaches eight places from the base.
        const bool near = *high - *low <= 7;
        groupBase[first / 8] = near ? *low : -1;
        for (int32_t i = first; i < last; ++i) offset[i] = near ? index[i] - *low : 0;
    }
}

void ResamplePlain(const uint32_t* row, const Columns& columns, uint32_t* out)
{
    ResampleFrom(row, columns, out, 0);
}

void BlendPlain(const Span& span)
{
    BlendFrom(span, 0);
}

void ResampleSse2(const uint32_t* row, const Columns& columns, uint32_t* out)
{
    const __m128i zero = _mm_setzero_si128();
    const __m128i full = _mm_set1_epi16(256);
    int32_t i = 0;
    for (; i + 4 <= columns.count; i += 4) {
        const int32_t* c = columns.index + i;
        auto texels = [&](int32_t step) {
            return _mm_set_epi32(static_cast<int32_t>(row[c[3] + step]),
                                 static_cast<int32_t>(row[c[2] + step]),
                                 static_cast<int32_t>(row[c[1] + step]),
                                 static_cast<int32_t>(row[c[0] + step]));
        };
        const __m128i left = texels(0);
        const __m128i right = texels(1);
        const __m128i w01 =
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(columns.weight + 4 * i));
        const __m128i w23 =
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(columns.weight + 4 * i + 8));
        const __m128i low = Lerp(_mm_unpacklo_epi8(left, zero), _mm_unpacklo_epi8(right, zero),
                                 _mm_sub_epi16(full, w01), w01);
        const __m128i high = Lerp(_mm_unpackhi_epi8(left, zero), _mm_unpackhi_epi8(right, zero),
                                  _mm_sub_epi16(full, w23), w23);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_packus_epi16(low, high));
    }
    ResampleFrom(row, columns, out, i);
}

void BlendSse2(const Span& span)
{
    const bool modulate = (span.modulate & White) != White;
    switch (KindOf(span)) {
    case SpanKind::Replace:
        return modulate ? BlendSse2Kind<false, true>(span) : BlendSse2Kind<false, false>(span);
    case SpanKind::Blend:
        return modulate ? BlendSse2Kind<true, true>(span) : BlendSse2Kind<true, false>(span);
    case SpanKind::Other: return BlendPlain(span);
    }
}

__attribute__((target("avx2"))) void ResampleAvx2(const uint32_t* row, const Columns& columns,
                                                  uint32_t* out)
{
    const auto* texels = reinterpret_cast<const int*>(row);
    // Whole blocks of eight: the columns and the output go on to the next multiple of 8.
    for (int32_t i = 0; i < columns.count; i += 8) {
        // Drawn about as large as the texture or larger, eight pixels sample within nine
        // neighbouring texels: two loads and two permutations fetch them. Otherwise gather.
        const int32_t base = columns.groupBase[i >> 3];
        __m256i left;
        __m256i right;
        if (base >= 0) {
            const __m256i offset =
                _mm256_loadu_si256(reinterpret_cast<const __m256i*>(columns.offset + i));
            left = _mm256_permutevar8x32_epi32(_mm256_loadu_si256(
                                                   reinterpret_cast<const __m256i*>(row + base)),
                                               offset);
            right = _mm256_permutevar8x32_epi32(
                _mm256_loadu_si256(reinterpret_cast<const __m256i*>(row + base + 1)), offset);
        } else {
            const __m256i index =
                _mm256_loadu_si256(reinterpret_cast<const __m256i*>(columns.index + i));
            left = _mm256_i32gather_epi32(texels, index, 4);
            right = _mm256_i32gather_epi32(texels + 1, index, 4);
        }
        const __m256i w03 =
            _mm256_loadu_si256(reinterpret_cast<const __m256i*>(columns.weight + 4 * i));
        const __m256i w47 =
            _mm256_loadu_si256(reinterpret_cast<const __m256i*>(columns.weight + 4 * i + 16));
        const __m256i low = Lerp8(Widen(_mm256_castsi256_si128(left)),
                                  Widen(_mm256_castsi256_si128(right)), _mm256_slli_epi16(w03, 7));
        const __m256i high =
            Lerp8(Widen(_mm256_extracti128_si256(left, 1)),
                  Widen(_mm256_extracti128_si256(right, 1)), _mm256_slli_epi16(w47, 7));
        // The pack works within 128-bit halves: pixels 0 1 4 5 2 3 6 7 until put in order.
        const __m256i packed = _mm256_packus_epi16(low, high);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i),
                            _mm256_permute4x64_epi64(packed, 0xD8));
    }
}

void BlendAvx2(const Span& span)
{
    const bool modulate = (span.modulate & White) != White;
    switch (KindOf(span)) {
    case SpanKind::Replace:
        return modulate ? BlendAvx2Kind<false, true>(span) : BlendAvx2Kind<false, false>(span);
    case SpanKind::Blend:
        return modulate ? BlendAvx2Kind<true, true>(span) : BlendAvx2Kind<true, false>(span);
    case SpanKind::Other: return BlendPlain(span);
    }
}

bool ProcessorHasAvx2()
{
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2");
}

SpanFunctions ChosenSpanFunctions()
{
    static const SpanFunctions chosen = ProcessorHasAvx2() ? SpanFunctions{ResampleAvx2, BlendAvx2}
                                                           : SpanFunctions{ResampleSse2, BlendSse2};
    return chosen;
}

}  // namespace cpu
