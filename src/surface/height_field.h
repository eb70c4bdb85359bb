// The desktop snapshot as a grey height field: one byte (0..127) per screen pixel, bottom row
// first, W bytes a row.
#pragma once

#include <cstddef>
#include <cstdint>

// Screen size fixed by the capture; 0 until a capture gets past its first step.
extern int32_t DesktopWidth;
extern int32_t DesktopHeight;
extern uint32_t DesktopPixelCount;  // W * H, the HeightField's size in bytes
extern uint8_t* HeightField;        // from AllocateZeroed; null when there is none

// Takes the snapshot of the screen and fills the globals above. False when the screen could not
// be read (update lock refused, no device context, bitmap or memory, failed copy, empty screen);
// then nothing is allocated, nothing is held and the globals are unchanged. One back end per
// platform.
bool CaptureDesktop();

// The surface when no snapshot can be had: all heights 0 over a screen of width x height, so
// the spots still light a flat desktop of the right size. False, with the globals unchanged,
// for an empty screen, one whose pixel count does not fit 32 bits, or no memory.
bool UseFlatHeightField(int32_t width, int32_t height);

// Makes `heights` (width x height bytes, from the process heap, a pixel count within 32 bits)
// the process's height field, freeing any earlier one.
void InstallHeightField(uint8_t* heights, int32_t width, int32_t height);

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
