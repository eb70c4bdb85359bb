// The texel fill of the light spots: the one hot loop of the saver.
//
// Every kernel computes exactly the same bits: d = N.x*F.x + (N.y*F.y + N.z*F.z) in single
// precision in that order (the build forbids fused multiply-adds), s = |d| * 255, rounded to
// nearest even by the current rounding mode. The vector kernels multiply N and F while both are
// still interleaved (x y z x y z ...) and untangle the products, which costs half the shuffles
// of untangling both inputs. cvtps2dq answers 0x80000000 where lrintf would give some other
// out-of-range integer, but any float of 2^31 or more is a multiple of 256, so the low byte
// agrees in every case (NaN included).
#include <cmath>
#include <cstddef>
#include <cstring>

#include "render/light_spots.h"

#if defined(__x86_64__) && defined(__SSE2__)
#define TAVREL_SPOT_FILL_X86 1
#include <immintrin.h>
#endif

static_assert(sizeof(Vec3) == 12, "the kernels read the fields as packed floats");

namespace {

// One row of count texels. ahead is the row the next call will read: the kernels prefetch it
// as they go, since the hardware's stream detection restarts at every row of the field.
using RowFill = void (*)(const Vec3* normals, const Vec3* ahead, const Vec3* falloff,
                         uint32_t colorMask, uint8_t* out, int32_t count);

inline uint32_t ShadeTexel(const Vec3& n, const Vec3& f, uint32_t colorMask)
{
    const float d = n.x * f.x + (n.y * f.y + n.z * f.z);
    const float s = std::fabs(d) * 255.0f;
    const uint32_t b = static_cast<uint32_t>(std::lrint(s)) & 0xFFu;
    return (b * 0x01010101u) & colorMask;
}

void FillRowPortable(const Vec3* normals, const Vec3* /*ahead*/, const Vec3* falloff,
                     uint32_t colorMask, uint8_t* out, int32_t count)
{
    for (int32_t i = 0; i < count; ++i) {
        const uint32_t texel = ShadeTexel(normals[i], falloff[i], colorMask);
        std::memcpy(out + 4 * static_cast<ptrdiff_t>(i), &texel, 4);
    }
}

#ifdef TAVREL_SPOT_FILL_X86

// Four texels: p0 = x0 y0 z0 x1, p1 = y1 z1 x2 y2, p2 = z2 x3 y3 z3 (per 128-bit lane).
#define TAVREL_UNTANGLE(shuffle, p0, p1, p2, x, y, z) \
    do { \
        const auto xy = shuffle(p1, p2, _MM_SHUFFLE(2, 1, 3, 2)); \
        const auto yz = shuffle(p0, p1, _MM_SHUFFLE(1, 0, 2, 1)); \
        x = shuffle(p0, xy, _MM_SHUFFLE(2, 0, 3, 0)); \
        y = shuffle(yz, xy, _MM_SHUFFLE(3, 1, 2, 0)); \
        z = shuffle(yz, p2, _MM_SHUFFLE(3, 0, 3, 1)); \
    } while (false)

// Prefetches the 192 bytes (16 texels' normals) at p.
inline void Prefetch16(const float* p)
{
    _mm_prefetch(reinterpret_cast<const char*>(p), _MM_HINT_T0);
    _mm_prefetch(reinterpret_cast<const char*>(p + 16), _MM_HINT_T0);
    _mm_prefetch(reinterpret_cast<const char*>(p + 32), _MM_HINT_T0);
}

void FillRowSse2(const Vec3* normals, const Vec3* ahead, const Vec3* falloff, uint32_t colorMask,
                 uint8_t* out, int32_t count)
{
    const auto* n = reinterpret_cast<const float*>(normals);
    const auto* next = reinterpret_cast<const float*>(ahead);
    const auto* f = reinterpret_cast<const float*>(falloff);
    const __m128 magnitude = _mm_castsi128_ps(_mm_set1_epi32(0x7FFFFFFF));
    const __m128 scale = _mm_set1_ps(255.0f);
    const __m128i lowByte = _mm_set1_epi32(0xFF);
    const __m128i mask = _mm_set1_epi32(static_cast<int32_t>(colorMask));
    int32_t i = 0;
    for (; i + 4 <= count; i += 4, n += 12, f += 12, out += 16) {
        if ((i & 15) == 0) Prefetch16(next + 3 * i);
        const __m128 p0 = _mm_mul_ps(_mm_loadu_ps(n), _mm_loadu_ps(f));
        const __m128 p1 = _mm_mul_ps(_mm_loadu_ps(n + 4), _mm_loadu_ps(f + 4));
        const __m128 p2 = _mm_mul_ps(_mm_loadu_ps(n + 8), _mm_loadu_ps(f + 8));
        __m128 x, y, z;
        TAVREL_UNTANGLE(_mm_shuffle_ps, p0, p1, p2, x, y, z);
        const __m128 d = _mm_add_ps(x, _mm_add_ps(y, z));
        const __m128i s = _mm_cvtps_epi32(_mm_mul_ps(_mm_and_ps(d, magnitude), scale));
        __m128i b = _mm_and_si128(s, lowByte);
        b = _mm_or_si128(b, _mm_slli_epi32(b, 8));
        b = _mm_or_si128(b, _mm_slli_epi32(b, 16));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_and_si128(b, mask));
    }
    FillRowPortable(normals + i, ahead + i, falloff + i, colorMask, out, count - i);
}

// Eight texels a step: texels 0-3 in the low lane, 4-7 in the high lane.
__attribute__((target("avx2"))) void FillRowAvx2(const Vec3* normals, const Vec3* ahead,
                                                 const Vec3* falloff, uint32_t colorMask,
                                                 uint8_t* out, int32_t count)
{
    const auto* n = reinterpret_cast<const float*>(normals);
    const auto* next = reinterpret_cast<const float*>(ahead);
    const auto* f = reinterpret_cast<const float*>(falloff);
    const __m256 magnitude = _mm256_castsi256_ps(_mm256_set1_epi32(0x7FFFFFFF));
    const __m256 scale = _mm256_set1_ps(255.0f);
    // The low byte of each 32-bit lane, copied into all four of its bytes.
    const __m256i spread = _mm256_setr_epi8(0, 0, 0, 0, 4, 4, 4, 4, 8, 8, 8, 8, 12, 12, 12, 12, 0,
                                            0, 0, 0, 4, 4, 4, 4, 8, 8, 8, 8, 12, 12, 12, 12);
    const __m256i mask = _mm256_set1_epi32(static_cast<int32_t>(colorMask));
    int32_t i = 0;
    for (; i + 8 <= count; i += 8, n += 24, f += 24, out += 32) {
        if ((i & 15) == 0) Prefetch16(next + 3 * i);
        // m0 = x0 y0 z0 x1 | y1 z1 x2 y2, m1 = z2 x3 y3 z3 | x4 y4 z4 x5,
        // m2 = y5 z5 x6 y6 | z6 x7 y7 z7: regroup the halves into texels 0-3 and 4-7.
        const __m256 m0 = _mm256_mul_ps(_mm256_loadu_ps(n), _mm256_loadu_ps(f));
        const __m256 m1 = _mm256_mul_ps(_mm256_loadu_ps(n + 8), _mm256_loadu_ps(f + 8));
        const __m256 m2 = _mm256_mul_ps(_mm256_loadu_ps(n + 16), _mm256_loadu_ps(f + 16));
        const __m256 p0 = _mm256_blend_ps(m0, m1, 0xF0);
        const __m256 p1 = _mm256_permute2f128_ps(m0, m2, 0x21);
        const __m256 p2 = _mm256_blend_ps(m1, m2, 0xF0);
        __m256 x, y, z;
        TAVREL_UNTANGLE(_mm256_shuffle_ps, p0, p1, p2, x, y, z);
        const __m256 d = _mm256_add_ps(x, _mm256_add_ps(y, z));
        const __m256i s = _mm256_cvtps_epi32(_mm256_mul_ps(_mm256_and_ps(d, magnitude), scale));
        const __m256i texels = _mm256_and_si256(_mm256_shuffle_epi8(s, spread), mask);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), texels);
    }
    FillRowSse2(normals + i, ahead + i, falloff + i, colorMask, out, count - i);
}

// Sixteen texels a step: two two-source permutes gather each component from the products.
__attribute__((target("avx512f,avx512bw"))) void FillRowAvx512(const Vec3* normals,
                                                               const Vec3* ahead,
                                                               const Vec3* falloff,
                                                               uint32_t colorMask, uint8_t* out,
                                                               int32_t count)
{
    const auto* n = reinterpret_cast<const float*>(normals);
    const auto* next = reinterpret_cast<const float*>(ahead);
    const auto* f = reinterpret_cast<const float*>(falloff);
    // Component k of texel j is float 3j + k of the 48; the first permute takes what a and b
    // hold, the second fills the rest from c (index 16 + position in c).
    const __m512i xFromAB =
        _mm512_setr_epi32(0, 3, 6, 9, 12, 15, 18, 21, 24, 27, 30, 0, 0, 0, 0, 0);
    const __m512i xFromC = _mm512_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 17, 20, 23, 26, 29);
    const __m512i yFromAB =
        _mm512_setr_epi32(1, 4, 7, 10, 13, 16, 19, 22, 25, 28, 31, 0, 0, 0, 0, 0);
    const __m512i yFromC = _mm512_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 18, 21, 24, 27, 30);
    const __m512i zFromAB =
        _mm512_setr_epi32(2, 5, 8, 11, 14, 17, 20, 23, 26, 29, 0, 0, 0, 0, 0, 0);
    const __m512i zFromC = _mm512_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 16, 19, 22, 25, 28, 31);
    const __m512 magnitude = _mm512_castsi512_ps(_mm512_set1_epi32(0x7FFFFFFF));
    const __m512 scale = _mm512_set1_ps(255.0f);
    const __m512i spread = _mm512_set4_epi32(0x0C0C0C0C, 0x08080808, 0x04040404, 0x00000000);
    const __m512i mask = _mm512_set1_epi32(static_cast<int32_t>(colorMask));
    int32_t i = 0;
    for (; i + 16 <= count; i += 16, n += 48, f += 48, out += 64) {
        Prefetch16(next + 3 * i);
        const __m512 a = _mm512_mul_ps(_mm512_loadu_ps(n), _mm512_loadu_ps(f));
        const __m512 b = _mm512_mul_ps(_mm512_loadu_ps(n + 16), _mm512_loadu_ps(f + 16));
        const __m512 c = _mm512_mul_ps(_mm512_loadu_ps(n + 32), _mm512_loadu_ps(f + 32));
        const __m512 x = _mm512_permutex2var_ps(_mm512_permutex2var_ps(a, xFromAB, b), xFromC, c);
        const __m512 y = _mm512_permutex2var_ps(_mm512_permutex2var_ps(a, yFromAB, b), yFromC, c);
        const __m512 z = _mm512_permutex2var_ps(_mm512_permutex2var_ps(a, zFromAB, b), zFromC, c);
        const __m512 d = _mm512_add_ps(x, _mm512_add_ps(y, z));
        // The zero-masked form: GCC 12 warns about the undefined source of the plain one.
        const __m512i s = _mm512_maskz_cvtps_epi32(
            0xFFFF,
            _mm512_mul_ps(_mm512_castsi512_ps(_mm512_and_si512(_mm512_castps_si512(d),
                                                               _mm512_castps_si512(magnitude))),
                          scale));
        const __m512i texels = _mm512_and_si512(_mm512_shuffle_epi8(s, spread), mask);
        _mm512_storeu_si512(out, texels);
    }
    FillRowAvx2(normals + i, ahead + i, falloff + i, colorMask, out, count - i);
}

#undef TAVREL_UNTANGLE

#endif  // TAVREL_SPOT_FILL_X86

RowFill RowFillOf(SpotFillKernel kernel)
{
    switch (kernel) {
#ifdef TAVREL_SPOT_FILL_X86
    case SpotFillKernel::Sse2: return FillRowSse2;
    case SpotFillKernel::Avx2: return FillRowAvx2;
    case SpotFillKernel::Avx512: return FillRowAvx512;
#endif
    default: return FillRowPortable;
    }
}

SpotFillKernel BestKernel()
{
#ifdef TAVREL_SPOT_FILL_X86
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw")) {
        return SpotFillKernel::Avx512;
    }
    if (__builtin_cpu_supports("avx2")) return SpotFillKernel::Avx2;
    return SpotFillKernel::Sse2;
#else
    return SpotFillKernel::Portable;
#endif
}

const SpotFillKernel ChosenKernel = BestKernel();
const RowFill ChosenRowFill = RowFillOf(ChosenKernel);

void FillRows(RowFill fill, const Vec3* normalField, int32_t width, int32_t row0, int32_t col0,
              const Vec3* falloffTable, uint32_t colorMask, uint8_t* texels, int32_t pitch)
{
    const Vec3* normals = normalField + static_cast<ptrdiff_t>(row0) * width + col0;
    for (int32_t t = 0; t < SpotSize; ++t) {
        // The last row has nothing after it in the window; it "prefetches" itself.
        const Vec3* ahead = t + 1 < SpotSize ? normals + width : normals;
        fill(normals, ahead, falloffTable, colorMask, texels, SpotSize);
        normals += width;
        falloffTable += SpotSize;
        texels += pitch;
    }
}

}  // namespace

bool SpotFillKernelAvailable(SpotFillKernel kernel)
{
    switch (kernel) {
    case SpotFillKernel::Portable: return true;
#ifdef TAVREL_SPOT_FILL_X86
    case SpotFillKernel::Sse2: return true;
    case SpotFillKernel::Avx2: return __builtin_cpu_supports("avx2");
    case SpotFillKernel::Avx512:
        return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw");
#endif
    default: return false;
    }
}

SpotFillKernel ActiveSpotFillKernel()
{
    return ChosenKernel;
}

const char* SpotFillKernelName(SpotFillKernel kernel)
{
    switch (kernel) {
    case SpotFillKernel::Portable: return "portable";
    case SpotFillKernel::Sse2: return "sse2";
    case SpotFillKernel::Avx2: return "avx2";
    case SpotFillKernel::Avx512: return "avx512";
    }
    return "unknown";
}

void FillSpotTextureWith(SpotFillKernel kernel, const Vec3* normalField, int32_t width,
                         int32_t row0, int32_t col0, const Vec3* falloffTable, uint32_t colorMask,
                         uint8_t* texels, int32_t pitch)
{
    FillRows(RowFillOf(kernel), normalField, width, row0, col0, falloffTable, colorMask, texels,
             pitch);
}

void FillSpotTexture(const Vec3* normalField, int32_t width, int32_t row0, int32_t col0,
                     const Vec3* falloffTable, uint32_t colorMask, uint8_t* texels, int32_t pitch)
{
    FillRows(ChosenRowFill, normalField, width, row0, col0, falloffTable, colorMask, texels, pitch);
}

void FillSpotWindow(const Vec3* normalField, int32_t width, int32_t height, int32_t row0,
                    int32_t col0, const Vec3* falloffTable, uint32_t colorMask, uint8_t* texels,
                    int32_t pitch)
{
    const bool fields = normalField != nullptr && falloffTable != nullptr;
    const int64_t top = row0;
    const int64_t left = col0;
    if (fields && top >= 0 && left >= 0 && top + SpotSize <= height && left + SpotSize <= width) {
        FillSpotTexture(normalField, width, row0, col0, falloffTable, colorMask, texels, pitch);
        return;
    }
    // Part or all of the window lies off the screen: only the texels over screen pixels are
    // shaded, the rest are transparent black.
    for (int32_t t = 0; t < SpotSize; ++t) {
        std::memset(texels + static_cast<ptrdiff_t>(t) * pitch, 0, 4 * SpotSize);
    }
    if (!fields) return;
    const int64_t firstRow = top < 0 ? -top : 0;
    const int64_t endRow = height - top < SpotSize ? height - top : SpotSize;
    const int64_t firstCol = left < 0 ? -left : 0;
    const int64_t endCol = width - left < SpotSize ? width - left : SpotSize;
    if (firstRow >= endRow || firstCol >= endCol) return;
    for (int64_t t = firstRow; t < endRow; ++t) {
        const Vec3* normals = normalField + (top + t) * width + left + firstCol;
        ChosenRowFill(normals, t + 1 < endRow ? normals + width : normals,
                      falloffTable + t * SpotSize + firstCol, colorMask,
                      texels + t * pitch + 4 * firstCol, static_cast<int32_t>(endCol - firstCol));
    }
}
