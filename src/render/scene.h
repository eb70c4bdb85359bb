// The scene the frame loop draws: the world rectangle the screen shows, the spots' colours,
// the quad template, the camera and the render states.
#pragma once

#include <cstdint>

#include "render/device.h"
#include "render/light_spots.h"
#include "support/vecmath.h"

// One vertex of a spot's quad (XYZ|TEX1); a quad is six of them, two triangles.
struct ScreenQuad {
    float x;
    float y;
    float z;
    float u;
    float v;  // 0 at texture row 0, the quad's top edge
};
static_assert(sizeof(ScreenQuad) == 20, "the vertex buffer stride");

constexpr uint32_t ScreenQuadStride = sizeof(ScreenQuad);
constexpr uint32_t ScreenQuadBytes = 6 * ScreenQuadStride;
constexpr uint32_t FontTint = 0x00C02020;

// The template every spot's quad is copied from; the frame loop rewrites x and y per spot,
// so it holds the last spot's corners.
extern ScreenQuad QuadTemplate[6];

extern float WorldWidth;   // world units the screen shows across; 4 until set up
extern float WorldHeight;  // and up; 3 until set up
extern float SpotExtent;   // a spot quad's side: the world size of 256 screen pixels
extern uint32_t SpotColors[LightSpotCount];  // ARGB masks, one per spot

extern Matrix4 WorldMatrix;
extern Matrix4 ViewMatrix;
extern Matrix4 ProjectionMatrix;
extern Material SceneMaterial;
// Made by the text overlay at scene setup; released with the scene's resources.
extern RenderTexture* FontTexture;

// Makes the active spots' resources with new random phases, fits the world to the screen,
// picks the colours, sets the camera and the states, restarts the frame clock and builds the
// normal field and the falloff table. Needs a device.
void SetupScene();
void ApplyRenderStates();

// World size for a screen of width x height pixels: the short side is 3 on a landscape or
// square screen and 4 on a portrait one. A screen without a size keeps the 4 x 3 world.
void FitWorldToScreen(int32_t width, int32_t height, float& worldWidth, float& worldHeight,
                      float& spotExtent);
// The five spot colours for a stored ColorLight: 7 draws one per spot from the generator,
// an index the table does not have means the default colour.
void PickSpotColors(uint32_t colorLight, uint32_t (&colors)[LightSpotCount]);
