// The inner loop of the processor back end: one row of a textured quad, sampled from two
// texture rows and blended into the back buffer. Every version gives the same bits.
//
// Per channel, with texels t00 t01 (upper row) and t10 t11 (lower row), weights fu (of the right
// texel) and fv (of the lower row) in 256ths:
//   h0 = (t00 * (256 - fu) + t01 * fu) >> 8,  h1 likewise,  c = (h0 * (256 - fv) + h1 * fv) >> 8
//   red, green, blue: c = Mul(c, vertex colour)          (alpha is the texture's own)
//   out = min(255, Mul(c, source factor) + Mul(destination, destination factor))
// where Mul(a, b) = a * b / 255 rounded to nearest, and the factors are 0, 255, the texel's
// alpha or 255 less it.
#pragma once

#include <cstdint>

namespace cpu {

enum class BlendFactor : uint8_t { Zero, One, SourceAlpha, InverseSourceAlpha };

struct Span {
    uint32_t* target;         // the first pixel of the row
    int32_t count;            // pixels
    const uint32_t* row0;     // column 0 of the upper texture row (words 0xAARRGGBB)
    const uint32_t* row1;     // column 0 of the lower one
    uint32_t rowWeight;       // fv, 0..255
    const int32_t* columns;   // per pixel, the left texel of its pair; the right one follows it
    const uint16_t* weights;  // per pixel, fu (0..255), four copies
    uint32_t modulate;        // the vertex colour 0x00RRGGBB; 0x00FFFFFF leaves the texel as it is
    BlendFactor source;
    BlendFactor destination;
};

using SpanFunction = void (*)(const Span& span);

// Plain C++, a pixel at a time, any factors: the reference the others must equal.
void DrawSpanPlain(const Span& span);
// Four pixels a step with SSE2 (every x86-64); other factors than (one, zero) and (source
// alpha, inverse source alpha) go to the plain version.
void DrawSpanSse2(const Span& span);
// Eight pixels a step; call only where the processor has AVX2.
void DrawSpanAvx2(const Span& span);
bool ProcessorHasAvx2();

// The fastest version this processor runs (chosen once).
SpanFunction ChosenSpanFunction();

// One pixel by the same rule, for the general triangle path: texels as above.
uint32_t DrawPixel(uint32_t target, uint32_t t00, uint32_t t01, uint32_t t10, uint32_t t11,
                   uint32_t fu, uint32_t fv, uint32_t modulate, BlendFactor source,
                   BlendFactor destination);

}  // namespace cpu
