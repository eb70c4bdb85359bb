#include "surface/normal_field.h"

#include <cstddef>
#include <cstdint>

#include "surface/normal_field_paths.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__GNUC__) && defined(__x86_64__)
#include <immintrin.h>
#define TAVREL_NORMALS_AVX2 1
#endif

namespace {

// -0.009 as a float (bits 0xBC1374BC): a height difference becomes a tangent's z part.
constexpr float NormalSlopeScale = -0.009f;

// The defining computation for one pixel: a is the pixel, b the one below, c below and right.
// The vector paths repeat exactly these float operations, in this order.
inline void NormalFromHeights(int32_t a, int32_t b, int32_t c, Vec3& out)
{
    const float u = static_cast<float>(a - b) * NormalSlopeScale;
    const float v = static_cast<float>(c - b) * NormalSlopeScale;
    Vec3 n;
    CrossVec3(n, Vec3{-1.0f, 1.0f, u}, Vec3{1.0f, 1.0f, v});
    NormalizeVec3(out, n);
}

// One screen row: count normals from the row above (a) and the row below it (b, c); reads
// above[0, count) and below[0, count].
using RowBuild = void (*)(const uint8_t* above, const uint8_t* below, ptrdiff_t count, Vec3* out);

void PortableRow(const uint8_t* above, const uint8_t* below, ptrdiff_t count, Vec3* out)
{
    for (ptrdiff_t x = 0; x < count; ++x)
        NormalFromHeights(above[x], below[x], below[x + 1], out[x]);
}

// The vector paths write eight normals at a time. A row's ends are covered by groups that
// overlap their neighbours: a normal depends on its heights only, so writing it twice leaves
// the same bits, and no group reaches past the row's last computed column.
inline ptrdiff_t FirstAlignedColumn(const Vec3* out, uintptr_t alignment)
{
    ptrdiff_t x = 0;
    while (x < 8 && (reinterpret_cast<uintptr_t>(out + x) & (alignment - 1)) != 0) ++x;
    return x;
}

// Why the vector paths equal NormalFromHeights bit for bit:
// CrossVec3((-1, 1, u), (1, 1, v)) = (1 v - u 1, u 1 - (-1) v, (-1) 1 - 1 1) = (v - u, u + v, -2)
// exactly (products with 1 are exact; u - (-v) is u + v by definition, signed zeros included).
// NormalizeVec3 sums (x x + y y) + z z with z z = 4, then multiplies each part by 1 / sqrt of
// the sum. The vector sqrt and division round correctly, like their scalar forms.

#if defined(__SSE2__)

template <bool Stream>
inline void StoreFour(__m128i diffAB, __m128i diffCB, Vec3* out)
{
    const __m128 scale = _mm_set1_ps(NormalSlopeScale);
    const __m128 u = _mm_mul_ps(_mm_cvtepi32_ps(diffAB), scale);
    const __m128 v = _mm_mul_ps(_mm_cvtepi32_ps(diffCB), scale);
    const __m128 nx = _mm_sub_ps(v, u);
    const __m128 ny = _mm_add_ps(u, v);
    const __m128 sum =
        _mm_add_ps(_mm_add_ps(_mm_mul_ps(nx, nx), _mm_mul_ps(ny, ny)), _mm_set1_ps(4.0f));
    const __m128 k = _mm_div_ps(_mm_set1_ps(1.0f), _mm_sqrt_ps(sum));
    const __m128 x = _mm_mul_ps(nx, k);
    const __m128 y = _mm_mul_ps(ny, k);
    const __m128 z = _mm_mul_ps(_mm_set1_ps(-2.0f), k);

    // Four triples, packed: x0 y0 z0 x1 | y1 z1 x2 y2 | z2 x3 y3 z3.
    const __m128 xy01 = _mm_unpacklo_ps(x, y);                          // x0 y0 x1 y1
    const __m128 xy23 = _mm_unpackhi_ps(x, y);                          // x2 y2 x3 y3
    const __m128 z0x1 = _mm_shuffle_ps(z, x, _MM_SHUFFLE(1, 1, 0, 0));  // z0 z0 x1 x1
    const __m128 y1z1 = _mm_shuffle_ps(y, z, _MM_SHUFFLE(1, 1, 1, 1));  // y1 y1 z1 z1
    const __m128 z2x3 = _mm_shuffle_ps(z, x, _MM_SHUFFLE(3, 3, 2, 2));  // z2 z2 x3 x3
    const __m128 y3z3 = _mm_shuffle_ps(y, z, _MM_SHUFFLE(3, 3, 3, 3));  // y3 y3 z3 z3
    const __m128 first = _mm_shuffle_ps(xy01, z0x1, _MM_SHUFFLE(2, 0, 1, 0));
    const __m128 second = _mm_shuffle_ps(y1z1, xy23, _MM_SHUFFLE(1, 0, 2, 0));
    const __m128 third = _mm_shuffle_ps(z2x3, y3z3, _MM_SHUFFLE(2, 0, 2, 0));
    float* dst = &out->x;
    if constexpr (Stream) {
        _mm_stream_ps(dst, first);
        _mm_stream_ps(dst + 4, second);
        _mm_stream_ps(dst + 8, third);
    } else {
        _mm_storeu_ps(dst, first);
        _mm_storeu_ps(dst + 4, second);
        _mm_storeu_ps(dst + 8, third);
    }
}

// Eight normals from above[0, 8), below[0, 9).
template <bool Stream>
inline void Sse2Eight(const uint8_t* above, const uint8_t* below, Vec3* out)
{
    // The byte differences fit 16 bits; then widen them with their sign.
    const __m128i zero = _mm_setzero_si128();
    const __m128i a =
        _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(above)), zero);
    const __m128i b =
        _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(below)), zero);
    const __m128i c =
        _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(below + 1)), zero);
    const __m128i ab = _mm_sub_epi16(a, b);
    const __m128i cb = _mm_sub_epi16(c, b);
    StoreFour<Stream>(_mm_srai_epi32(_mm_unpacklo_epi16(ab, ab), 16),
                      _mm_srai_epi32(_mm_unpacklo_epi16(cb, cb), 16), out);
    StoreFour<Stream>(_mm_srai_epi32(_mm_unpackhi_epi16(ab, ab), 16),
                      _mm_srai_epi32(_mm_unpackhi_epi16(cb, cb), 16), out + 4);
}

template <bool Stream>
void Sse2Row(const uint8_t* above, const uint8_t* below, ptrdiff_t count, Vec3* out)
{
    if (count < 8) {
        PortableRow(above, below, count, out);
        return;
    }
    ptrdiff_t x = 0;
    if constexpr (Stream) {
        x = FirstAlignedColumn(out, 16);
        if (x != 0) Sse2Eight<false>(above, below, out);
    }
    for (; x + 8 <= count; x += 8) Sse2Eight<Stream>(above + x, below + x, out + x);
    if (x < count) Sse2Eight<false>(above + count - 8, below + count - 8, out + count - 8);
}

#endif

#if defined(TAVREL_NORMALS_AVX2)

template <bool Stream>
__attribute__((target("avx2"))) inline void Avx2Eight(const uint8_t* above, const uint8_t* below,
                                                      Vec3* out)
{
    const __m256i a =
        _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(above)));
    const __m256i b =
        _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(below)));
    const __m256i c =
        _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(below + 1)));
    const __m256 scale = _mm256_set1_ps(NormalSlopeScale);
    const __m256 u = _mm256_mul_ps(_mm256_cvtepi32_ps(_mm256_sub_epi32(a, b)), scale);
    const __m256 v = _mm256_mul_ps(_mm256_cvtepi32_ps(_mm256_sub_epi32(c, b)), scale);
    const __m256 nx = _mm256_sub_ps(v, u);
    const __m256 ny = _mm256_add_ps(u, v);
    const __m256 sum = _mm256_add_ps(_mm256_add_ps(_mm256_mul_ps(nx, nx), _mm256_mul_ps(ny, ny)),
                                     _mm256_set1_ps(4.0f));
    const __m256 k = _mm256_div_ps(_mm256_set1_ps(1.0f), _mm256_sqrt_ps(sum));
    const __m256 x = _mm256_mul_ps(nx, k);
    const __m256 y = _mm256_mul_ps(ny, k);
    const __m256 z = _mm256_mul_ps(_mm256_set1_ps(-2.0f), k);

    // Within each 128-bit half the packing of StoreFour: pixels 0-3 low, 4-7 high.
    const __m256 xy01 = _mm256_unpacklo_ps(x, y);
    const __m256 xy23 = _mm256_unpackhi_ps(x, y);
    const __m256 z0x1 = _mm256_shuffle_ps(z, x, _MM_SHUFFLE(1, 1, 0, 0));
    const __m256 y1z1 = _mm256_shuffle_ps(y, z, _MM_SHUFFLE(1, 1, 1, 1));
    const __m256 z2x3 = _mm256_shuffle_ps(z, x, _MM_SHUFFLE(3, 3, 2, 2));
    const __m256 y3z3 = _mm256_shuffle_ps(y, z, _MM_SHUFFLE(3, 3, 3, 3));
    const __m256 first = _mm256_shuffle_ps(xy01, z0x1, _MM_SHUFFLE(2, 0, 1, 0));
    const __m256 second = _mm256_shuffle_ps(y1z1, xy23, _MM_SHUFFLE(1, 0, 2, 0));
    const __m256 third = _mm256_shuffle_ps(z2x3, y3z3, _MM_SHUFFLE(2, 0, 2, 0));
    // 96 bytes in order: first.lo second.lo third.lo first.hi second.hi third.hi.
    const __m256 out0 = _mm256_permute2f128_ps(first, second, 0x20);
    const __m256 out1 = _mm256_permute2f128_ps(third, first, 0x30);
    const __m256 out2 = _mm256_permute2f128_ps(second, third, 0x31);
    float* dst = &out->x;
    if constexpr (Stream) {
        _mm256_stream_ps(dst, out0);
        _mm256_stream_ps(dst + 8, out1);
        _mm256_stream_ps(dst + 16, out2);
    } else {
        _mm256_storeu_ps(dst, out0);
        _mm256_storeu_ps(dst + 8, out1);
        _mm256_storeu_ps(dst + 16, out2);
    }
}

template <bool Stream>
__attribute__((target("avx2"))) void Avx2Row(const uint8_t* above, const uint8_t* below,
                                             ptrdiff_t count, Vec3* out)
{
    if (count < 8) {
        PortableRow(above, below, count, out);
        return;
    }
    ptrdiff_t x = 0;
    if constexpr (Stream) {
        x = FirstAlignedColumn(out, 32);
        if (x != 0) Avx2Eight<false>(above, below, out);
    }
    for (; x + 8 <= count; x += 8) Avx2Eight<Stream>(above + x, below + x, out + x);
    if (x < count) Avx2Eight<false>(above + count - 8, below + count - 8, out + count - 8);
}

bool HasAvx2()
{
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2");
}

#endif

// Past this size the field cannot stay in the caches anyway; streaming stores save reading
// each line from memory before overwriting it.
constexpr size_t StreamingBytes = size_t{8} << 20;

RowBuild ChooseRow(NormalFieldPath path, bool stream)
{
    switch (path) {
    case NormalFieldPath::Portable: break;
    case NormalFieldPath::Sse2:
#if defined(__SSE2__)
        return stream ? Sse2Row<true> : Sse2Row<false>;
#else
        break;
#endif
    case NormalFieldPath::Avx2:
#if defined(TAVREL_NORMALS_AVX2)
        if (HasAvx2()) return stream ? Avx2Row<true> : Avx2Row<false>;
#endif
        break;
    }
    return PortableRow;
}

NormalFieldPath WidestPath()
{
    if (NormalFieldPathAvailable(NormalFieldPath::Avx2)) return NormalFieldPath::Avx2;
    if (NormalFieldPathAvailable(NormalFieldPath::Sse2)) return NormalFieldPath::Sse2;
    return NormalFieldPath::Portable;
}

}  // namespace

bool NormalFieldPathAvailable(NormalFieldPath path)
{
    switch (path) {
    case NormalFieldPath::Portable: return true;
    case NormalFieldPath::Sse2:
#if defined(__SSE2__)
        return true;
#else
        return false;
#endif
    case NormalFieldPath::Avx2:
#if defined(TAVREL_NORMALS_AVX2)
        return HasAvx2();
#else
        return false;
#endif
    }
    return false;
}

void BuildNormalFieldOn(NormalFieldPath path, const uint8_t* heightField, int32_t width,
                        int32_t height, Vec3* normalField)
{
    // A failed capture leaves 0 x 0 and no field; a normal needs a pixel below and one right.
    if (heightField == nullptr || normalField == nullptr || width < 2 || height < 2) return;

    const ptrdiff_t w = width;
    const ptrdiff_t h = height;
    const bool stream =
        path != NormalFieldPath::Portable &&
        static_cast<size_t>(w) * static_cast<size_t>(h) * sizeof(Vec3) > StreamingBytes &&
        (reinterpret_cast<uintptr_t>(normalField) & 3) == 0;
    const RowBuild row = ChooseRow(path, stream);
    for (ptrdiff_t y = 0; y + 1 < h; ++y) {
        // Screen row y is height-field row H - 1 - y: the height field is stored bottom first.
        const uint8_t* above = heightField + (h - 1 - y) * w;
        row(above, above - w, w - 1, normalField + y * w);
    }
#if defined(__SSE2__)
    if (stream) _mm_sfence();  // streamed lines reach memory before anyone reads the field
#endif
}

void BuildNormalField(const uint8_t* heightField, int32_t width, int32_t height, Vec3* normalField)
{
    static const NormalFieldPath widest = WidestPath();
    BuildNormalFieldOn(widest, heightField, width, height, normalField);
}
