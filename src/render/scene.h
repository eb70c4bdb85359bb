// The scene the frame loop draws: the world rectangle the screen shows and the spots' colours.
#pragma once

#include <cstdint>

#include "render/light_spots.h"

constexpr uint32_t FontTint = 0x00C02020;

extern float WorldWidth;   // world units the screen shows across; 4 until set up
extern float WorldHeight;  // and up; 3 until set up
extern float SpotExtent;   // a spot quad's side: the world size of 256 screen pixels
extern uint32_t SpotColors[LightSpotCount];  // ARGB masks, one per spot

// Makes the active spots' resources with new random phases, fits the world to the screen,
// picks the colours, sets the renderer's states and font, restarts the frame clock and builds
// the normal field and the falloff table. Needs a device.
void SetupScene();

// World size for a screen of width x height pixels: the short side is 3 on a landscape or
// square screen and 4 on a portrait one. A screen without a size keeps the 4 x 3 world.
void FitWorldToScreen(int32_t width, int32_t height, float& worldWidth, float& worldHeight,
                      float& spotExtent);
// The five spot colours for a stored ColorLight: 7 draws one per spot from the generator,
// an index the table does not have means the default colour.
void PickSpotColors(uint32_t colorLight, uint32_t (&colors)[LightSpotCount]);
