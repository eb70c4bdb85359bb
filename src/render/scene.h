// The scene the frame loop draws: the world rectangle the screen shows, the spots and their
// colours.
#pragma once

#include <cstdint>

#include "render/light_spots.h"

struct Ranmar;
struct SaverRun;

constexpr uint32_t FontTint = 0x00C02020;

struct SceneState {
    float WorldWidth = 4.0f;   // world units the screen shows across; 4 until set up
    float WorldHeight = 3.0f;  // and up; 3 until set up
    float SpotExtent = 0.0f;   // a spot quad's side: the world size of 256 screen pixels
    uint32_t SpotColors[LightSpotCount] = {};  // ARGB masks, one per spot
    // Spot k is lit when k < ActiveSpotCount(NumLights); rate and the frequencies never change.
    LightSpot LightSpots[LightSpotCount] = {
        {0.0f, 0.6f, 0.91f, 0.63f, 0.0f, 0.0f}, {0.0f, 0.7f, 0.61f, 1.12f, 0.0f, 0.0f},
        {0.0f, 0.6f, 1.03f, 0.87f, 0.0f, 0.0f}, {0.0f, 0.4f, 0.75f, 2.84f, 0.0f, 0.0f},
        {0.0f, 0.8f, 0.98f, 1.84f, 0.0f, 0.0f},
    };
};

// Makes the active spots' resources with new random phases, fits the world to the screen,
// picks the colours, sets the renderer's states and font, restarts the frame clock and builds
// the normal field and the falloff table. Needs a device.
void SetupScene(SaverRun& run);

// World size for a screen of width x height pixels: the short side is 3 on a landscape or
// square screen and 4 on a portrait one. A screen without a size keeps the 4 x 3 world.
void FitWorldToScreen(int32_t width, int32_t height, float& worldWidth, float& worldHeight,
                      float& spotExtent);
// The five spot colours for a stored ColorLight: 7 draws one per spot from the generator,
// an index the table does not have means the default colour.
void PickSpotColors(uint32_t colorLight, Ranmar& generator, uint32_t (&colors)[LightSpotCount]);
