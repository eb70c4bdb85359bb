// The processor back end's rasteriser, shared by its draw call: vertices onto the screen,
// screen-aligned rectangles a row at a time, other triangles (clipped) a pixel at a time.
//
// Vertices land where Direct3D puts them (pixel centres on integers), snapped to 1/256 of a
// pixel as rasterisers do; a pixel is drawn when its centre is inside, with the top-left rule
// on the edges. A pair of triangles that makes a screen-aligned rectangle with affine texture
// coordinates is drawn a row at a time by the span functions; any other triangle a pixel at a
// time by the same arithmetic.
#pragma once

#include <cstdint>

#include "render/cpu/cpu_internal.h"

namespace cpu {

// Everything a draw call samples and blends with.
struct DrawContext {
    Device* device;
    const uint32_t* texels;  // column 0 of row 0
    int32_t texelPitch;
    int32_t textureWidth;
    int32_t textureHeight;
    uint32_t constant[16];  // the texels of an untextured draw: the vertex colour
    bool magLinear;
    bool minLinear;
    uint32_t modulate;
    BlendFactor source;
    BlendFactor destination;
    SpanFunctions functions;
    bool pretransformed;
    double halfWidth;
    double halfHeight;
    Matrix4 transform;
    // Pixels drawn by this call, for the bookkeeping of what changed.
    PixelRect bounds;
    bool drewAny;
};

// Draws primitiveCount triangles of vertices `stride` bytes apart from data, in the layout of
// context.pretransformed; grows context.bounds over what it drew.
void DrawTriangleList(DrawContext& context, const uint8_t* data, uint32_t stride,
                      uint32_t primitiveCount);

}  // namespace cpu
