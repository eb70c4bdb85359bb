// The desktop snapshot as a grey height field: one byte (0..127) per screen pixel, bottom row
// first, W bytes a row.
#pragma once

#include <cstddef>
#include <cstdint>

struct Vec3;

// One run's surface: the screen size the capture fixed and the fields built over it. Buffers
// come from AllocateZeroed and are null when there is none.
struct SurfaceFields {
    int32_t DesktopWidth = 0;  // 0 until a capture gets past its first step
    int32_t DesktopHeight = 0;
    uint32_t DesktopPixelCount = 0;  // W * H, the HeightField's size in bytes
    uint8_t* HeightField = nullptr;
    Vec3* NormalField = nullptr;   // built by the scene setup
    Vec3* FalloffTable = nullptr;  // likewise
};

// Frees the three fields; the size stays.
void FreeSurfaceFields(SurfaceFields& surface);

// The surface when no snapshot can be had: all heights 0 over a screen of width x height, so
// the spots still light a flat desktop of the right size. False, with the surface unchanged,
// for an empty screen, one whose pixel count does not fit 32 bits, or no memory.
bool UseFlatHeightField(SurfaceFields& surface, int32_t width, int32_t height);

// Makes `heights` (width x height bytes, from the process heap, a pixel count within 32 bits)
// the surface's height field, freeing any earlier one.
void InstallHeightField(SurfaceFields& surface, uint8_t* heights, int32_t width, int32_t height);

// Bytes of one row of a 24-bit snapshot: 3 per pixel, rounded up to a multiple of 4.
inline size_t SnapshotStride(int32_t width)
{
    return (3 * static_cast<size_t>(width > 0 ? width : 0) + 3) & ~size_t{3};
}

// The grey rule: height = (70 B + 100 G + 85 R) >> 9 for each pixel of a 24-bit bottom-up BGR
// picture whose rows are SnapshotStride(width) bytes apart; heightField gets the same row
// order, W bytes a row. An empty picture or a missing buffer writes nothing.
void HeightFieldFromSnapshot(const uint8_t* snapshot, int32_t width, int32_t height,
                             uint8_t* heightField);
