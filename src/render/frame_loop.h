// One timer tick: move and refill the light spots, then draw and present the frame.
#pragma once

#include <cstdint>

struct SaverRun;

// The timer handler: nothing at all while there is no device (the password dialog is up, or a
// rebuild failed), so the clock is not advanced either.
void OnFrameTick(SaverRun& run);
// Advances the clock, scales its frame time by the light speed, refreshes the overlay texts,
// updates the active spots.
void UpdateFrame(SaverRun& run);
// Moves spot k along its path, tells the renderer where it stands and refills its texels with
// colorMask. A spot whose texels cannot be had this tick skips the fill.
void UpdateLightSpot(SaverRun& run, int32_t k, uint32_t colorMask);
// Lays out the overlay and has the renderer draw and present the frame.
void DrawFrame(SaverRun& run);
