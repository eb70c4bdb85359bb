// The five wandering lights: their motion constants, where a phase puts them on the screen, and
// the fill of a spot's 256 x 256 texture from the normal field under it.
#pragma once

#include <cstdint>

#include "support/vecmath.h"

constexpr int32_t LightSpotCount = 5;
constexpr int32_t SpotSize = 256;  // texels (and screen pixels) along a spot's side

struct LightSpot {
    float phase;  // path parameter, advanced by the scaled frame time times rate
    float rate;
    float freqX;  // multiplier of the phase in the horizontal sine
    float freqY;  // multiplier of the phase in the vertical cosine
    float posX;   // left edge of the quad, world units
    float posY;   // bottom edge of the quad, world units
};

// Where a spot stands for a phase. offsetX counts pixels from the left, offsetY from the
// bottom; row0/col0 are the top-left of its window in the normal field (top row first).
struct SpotPlacement {
    int32_t offsetX;
    int32_t offsetY;
    float posX;
    float posY;
    int32_t row0;
    int32_t col0;
};

// On a screen narrower or lower than a spot the offsets go negative and the window hangs
// over the screen's edge; with no screen at all (W or H, or the world's width or height, not
// positive) everything is 0.
SpotPlacement PlaceLightSpot(float phase, float freqX, float freqY, int32_t width, int32_t height,
                             float worldWidth, float worldHeight, float spotExtent);
// The same for given pixel offsets: the quad's corner and the window under it.
SpotPlacement PlaceSpotAt(int32_t offsetX, int32_t offsetY, int32_t width, int32_t height,
                          float worldWidth, float worldHeight, float spotExtent);

// Shades 256 rows of 256 texels at texels, rows pitch bytes apart: texel (t, c) is
// |N . F| * 255 rounded to nearest even, its low 8 bits in every byte, ANDed with colorMask,
// where N is normalField[(row0 + t) * width + col0 + c] and F is falloffTable[t * 256 + c].
// The whole window must lie inside the field.
void FillSpotTexture(const Vec3* normalField, int32_t width, int32_t row0, int32_t col0,
                     const Vec3* falloffTable, uint32_t colorMask, uint8_t* texels, int32_t pitch);

// FillSpotTexture for a window that may reach past the field of width x height normals:
// texels over no screen pixel are 0 (transparent black), and so is every texel when either
// field is missing. Nothing outside the field is read.
void FillSpotWindow(const Vec3* normalField, int32_t width, int32_t height, int32_t row0,
                    int32_t col0, const Vec3* falloffTable, uint32_t colorMask, uint8_t* texels,
                    int32_t pitch);

// The texel kernels of this build; FillSpotTexture uses the fastest the processor runs.
// Exposed so that tests and benchmarks can hold each one to the literal computation.
enum class SpotFillKernel { Portable, Sse2, Avx2, Avx512 };
bool SpotFillKernelAvailable(SpotFillKernel kernel);
SpotFillKernel ActiveSpotFillKernel();
const char* SpotFillKernelName(SpotFillKernel kernel);
// FillSpotTexture with the given kernel, which must be available.
void FillSpotTextureWith(SpotFillKernel kernel, const Vec3* normalField, int32_t width,
                         int32_t row0, int32_t col0, const Vec3* falloffTable, uint32_t colorMask,
                         uint8_t* texels, int32_t pitch);
