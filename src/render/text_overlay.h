// The text drawn over the lit surface: the clock and the date (bTime), the frame rate (bFps)
// and always the credit caption, in glyphs cut from the font sheet (image 2000).
#pragma once

#include <cstdint>

#include "render/device.h"

// A pretransformed, textured vertex (XYZRHW|TEX1): pixels, y down.
struct TextVertex {
    float x;
    float y;
    float z;
    float rhw;  // 1
    float u;    // texture column / 255
    float v;    // texture row / 256
};
static_assert(sizeof(TextVertex) == 24, "the vertex buffer stride");

constexpr uint32_t TextVertexStride = sizeof(TextVertex);
constexpr uint32_t MaxLineGlyphs = 64;
constexpr uint32_t TextVertexCount = MaxLineGlyphs * 6;
constexpr uint32_t TextVertexBufferBytes = TextVertexCount * TextVertexStride;  // 9216

// The one buffer every line of a frame is written into from its start; made with the font
// texture and released with the scene's resources.
extern RenderVertexBuffer* TextVertexBuffer;

// Refreshed every tick by RefreshOverlayText.
extern char FpsText[16];   // "Fps 60"; empty until the first refresh
extern char ClockText[8];  // "10 : 05", with "|" for ":" in even seconds
extern char DateText[13];  // "Dec 6, 2026"
extern const char CreditCaption[];
extern const char* const MonthNames[12];
// The running second (rounded) at which FpsText was last formatted. Never reset: the running
// time starts again at every scene setup, this does not.
extern int32_t LastFpsSecond;

// Makes the font texture (A4R4G4B4, 256 x 256) into textureOut from the font sheet: every
// unlit pixel stays 0, every other takes its grey level as alpha and `tint` as its colour.
// Also makes the TextVertexBuffer when there is none. Returns the upload's result code
// (image/texture_upload.h); UploadCreateFailed when the sheet cannot be had or prepared, in
// which case no texture is made. A texture already in textureOut is released first.
uint32_t CreateFontTexture(uint32_t tint, RenderTexture*& textureOut);

// Draws text at (x, y), fractions of the viewport, with glyphs scaled by scaleX and scaleY
// times the viewport height / 29 (the height by 39 texels' worth). Only the first 64
// characters are drawn; a code outside the glyph table draws as a space. Needs the font
// texture bound and a scene begun; leaves its render states set. Draws nothing without the
// vertex buffer or when its lock fails.
void DrawTextLine(float x, float y, float z, float scaleX, float scaleY, const char* text);

// Once a tick, after the frame clock: the frame rate text when the rounded running second
// changes, the clock and the date from the local time every time.
void RefreshOverlayText(float elapsedSeconds, float framesPerSecond);

// Once a frame, over the spots and before EndScene. Draws nothing without the font texture or
// the vertex buffer.
void DrawOverlay();
