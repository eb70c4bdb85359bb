// The desktop snapshot as a grey height field: one byte (0..127) per screen pixel, bottom row
// first, W bytes a row.
#pragma once

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

// The grey rule: height = (70 B + 100 G + 85 R) >> 9 for each pixel of a 24-bit bottom-up BGR
// picture whose rows are padded to 4 bytes; heightField gets the same row order, W bytes a row.
// An empty picture or a missing buffer writes nothing.
void HeightFieldFromSnapshot(const uint8_t* snapshot, int32_t width, int32_t height,
                             uint8_t* heightField);
