// One timer tick: move and refill the light spots, then draw and present the frame.
#pragma once

#include <cstdint>

#include "render/light_spots.h"

// The timer handler: nothing at all while there is no device (the password dialog is up, or a
// rebuild failed), so the clock is not advanced either.
void OnFrameTick();
// Advances the clock, scales its frame time by the light speed, updates the active spots.
void UpdateFrame();
// Moves the spot along its path, uploads its quad and refills its texture with colorMask.
// A spot without a vertex buffer or texture, or whose lock fails, skips that upload.
void UpdateLightSpot(LightSpot& spot, uint32_t colorMask);
// Clears, draws every spot that has its quad and texture, and presents; a lost device skips it.
void DrawFrame();
