// The inner loops of the processor back end: a textured rectangle is drawn a row at a time by
// resampling texture rows across (each once, as the rows it lands on need them) and mixing two
// such rows down into the back buffer. Every version gives the same bits.
//
// Per channel, with texels t00 t01 (upper row) and t10 t11 (lower row), weights fu (of the right
// texel) and fv (of the lower row) in 256ths:
//   h0 = (t00 * (256 - fu) + t01 * fu + 128) >> 8,  h1 likewise,
//   c = (h0 * (256 - fv) + h1 * fv + 128) >> 8
//   red, green, blue: c = Mul(c, vertex colour)          (alpha is the texture's own)
//   out = min(255, Mul(c, source factor) + Mul(destination, destination factor))
// where Mul(a, b) = a * b / 255 rounded to nearest, and the factors are 0, 255, the texel's
// alpha or 255 less it. (This is what Mesa's llvmpipe computes for 8-bit textures and targets.)
#pragma once

#include <cstdint>

namespace cpu {

enum class BlendFactor : uint8_t { Zero, One, SourceAlpha, InverseSourceAlpha };

// Where each pixel of a row samples across: the texel pair and the weight of its right texel.
// A texture row is read at index + 1 for every pixel, and up to 8 texels past the group's base.
// The arrays go on to the next multiple of 8 pixels (see GroupColumns), and a version may
// resample that many.
struct Columns {
    int32_t count;
    const int32_t* index;      // per pixel, the left texel of its pair
    const uint16_t* weight;    // per pixel, fu (0..255), four copies
    const int32_t* offset;     // per pixel, index less its group's base
    const int32_t* groupBase;  // per 8 pixels, their lowest index; -1 when they spread wider
};

constexpr int32_t RoundUpTo8(int32_t count)
{
    return (count + 7) & ~7;
}

// Repeats the last pixel's index and weight up to RoundUpTo8(count) pixels (count > 0), and
// fills offset and groupBase from them.
void GroupColumns(int32_t count, int32_t* index, uint16_t* weight, int32_t* offset,
                  int32_t* groupBase);

struct Span {
    uint32_t* target;  // the first pixel of the row
    int32_t count;     // pixels
    // The upper and lower texture rows resampled across: words 0xAARRGGBB, readable up to
    // RoundUpTo8(count).
    const uint32_t* upper;
    const uint32_t* lower;
    uint32_t rowWeight;  // fv, 0..255
    uint32_t modulate;   // the vertex colour 0x00RRGGBB; 0x00FFFFFF leaves the texel as it is
    BlendFactor source;
    BlendFactor destination;
};

using ResampleFunction = void (*)(const uint32_t* row, const Columns& columns, uint32_t* out);
using BlendFunction = void (*)(const Span& span);

struct SpanFunctions {
    ResampleFunction resample;
    BlendFunction blend;
};

// Plain C++, a pixel at a time, any factors: the reference the others must equal.
void ResamplePlain(const uint32_t* row, const Columns& columns, uint32_t* out);
void BlendPlain(const Span& span);
// SSE2 (every x86-64). Other factors than (one, zero) and (source alpha, inverse source alpha)
// go to the plain version.
void ResampleSse2(const uint32_t* row, const Columns& columns, uint32_t* out);
void BlendSse2(const Span& span);
// AVX2; call only where the processor has it.
void ResampleAvx2(const uint32_t* row, const Columns& columns, uint32_t* out);
void BlendAvx2(const Span& span);
bool ProcessorHasAvx2();

// The fastest versions this processor runs (chosen once).
SpanFunctions ChosenSpanFunctions();

// One pixel by the same rule, for the general triangle path: texels as above.
uint32_t DrawPixel(uint32_t target, uint32_t t00, uint32_t t01, uint32_t t10, uint32_t t11,
                   uint32_t fu, uint32_t fv, uint32_t modulate, BlendFactor source,
                   BlendFactor destination);

}  // namespace cpu
