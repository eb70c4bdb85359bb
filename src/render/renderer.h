// What the saver asks of whoever draws its picture, in its own terms: a drawing system, a device
// for the saver window (or an offscreen target), the textures of the active light spots, a font
// sheet, and frames of spots blended in order under the overlay's glyphs.
//
// One back end per build is linked: render/d3d8 on Windows (Direct3D 8, which makes the calls,
// values and order of the saver's design), render/switch on Linux (OpenGL or the processor,
// chosen at run time), and a fake in the unit tests. What the picture holds (spot motion, texels,
// colours, overlay texts and layout, order) is decided by the core before these are called.
//
// The picture every back end gives: black, then each active spot that has its texture, spot 0
// first, its 256 x 256 texels over the screen pixels whose normals they were shaded from,
// blended as out = src * a + dst * (1 - a) with a the texel's alpha; then every glyph quad, the
// font sheet's texels (tinted, alpha from the grey level) sampled bilinearly over the quad and
// blended the same way. None of the per-frame calls allocate.
#pragma once

#include <cstdint>

#include "host/native_window.h"
#include "render/light_spots.h"

struct Renderer;

// How the device is made: windowed (the preview) or full screen; with the hardware's vertex
// processing (bTnL) or the processor's. Back ends without the distinction ignore them.
struct RendererOptions {
    bool windowed = false;
    bool hardwareVertexProcessing = false;
};

// One glyph: a quad of screen pixels (x right, y down; x0 < x1, y0 < y1) and the part of the
// font sheet it shows (u across 0..1 with 255 at 1, v down 0..1 with 256 at 1: the sheet's
// own texel addressing).
struct GlyphQuad {
    float x0;
    float y0;
    float x1;
    float y1;
    float u0;
    float v0;
    float u1;
    float v1;
};

constexpr uint32_t MaxLineGlyphs = 64;
constexpr uint32_t MaxOverlayLines = 4;

struct OverlayLine {
    uint32_t glyphCount;
    GlyphQuad glyphs[MaxLineGlyphs];
};

// The overlay of one frame, drawn line after line over the spots.
struct OverlayFrame {
    uint32_t lineCount;
    OverlayLine lines[MaxOverlayLines];
};

// The font sheet's size: FontSheetSide x FontSheetSide texels 0xAARRGGBB, top row first.
constexpr int32_t FontSheetSide = 256;

// The display a settings dialog describes.
struct DisplayDescription {
    uint32_t width;
    uint32_t height;
    int32_t bitsPerPixel;            // 8 for a format the dialog cannot name
    bool hardwareTransformLighting;  // the adapter offers hardware vertex processing
};

// Called when the saver window is first shown: the platform's drawing system, or null when it
// has none. Nothing is drawn until a device is made.
Renderer* OpenRenderer();
// Called after OpenRenderer, and again after a refused password: the device for the window
// (0: an offscreen target) whose client area is width x height pixels. False when the platform
// will not make one; the renderer then has no device until the next success.
bool CreateRendererDevice(Renderer* renderer, NativeWindow window, int32_t width, int32_t height,
                          const RendererOptions& options);
// Called after a refused password: the device again, as the last CreateRendererDevice made it.
bool RecreateRendererDevice(Renderer* renderer);
// Called before the password dialog, after ReleaseSceneResources: gives up the device only.
void ReleaseRendererDevice(Renderer* renderer);
bool RendererHasDevice(const Renderer* renderer);
// Called at the end: the device and the drawing system; the holder is cleared. Twice: nothing.
void CloseRenderer(Renderer*& renderer);

// Called at scene setup, spot 0 first, for each active spot: its texture (and what else a
// back end needs to draw it). False when it could not be made: the spot is then left out of
// every frame until the next setup.
bool CreateSpotResources(Renderer* renderer, int32_t spot);
// Called at scene setup after the spots: the camera and the states of the frames, for a back
// end that keeps them.
void ApplySceneStates(Renderer* renderer);
// Called at scene setup after the states: the font sheet (FontSheetSide^2 texels, tinted), or
// null when it could not be had. False when no font texture was made: the overlay is not drawn.
bool LoadFontSheet(Renderer* renderer, const uint32_t* sheet);
// Called before the device goes: the overlay's resources, then each spot's, spot 0 first.
void ReleaseSceneResources(Renderer* renderer);

// The pixel size of the frames, as the overlay is laid out for; 0 x 0 without a device.
void GetFrameSize(Renderer* renderer, int32_t& width, int32_t& height);
// Called every tick for each active spot, before its texels: where it stands this frame.
void PlaceSpot(Renderer* renderer, int32_t spot, const SpotPlacement& place, float spotExtent);
// Called every tick for each active spot: memory for its 256 x 256 texels 0xAARRGGBB, rows pitch
// bytes apart (at least 1024), to be filled whole and handed back with UnlockSpotTexels. False
// when the spot has no texture or it cannot be had this tick: the fill is skipped.
// On Linux the texels stay readable there until the next lock (the headless -dump-spots).
bool LockSpotTexels(Renderer* renderer, int32_t spot, uint8_t*& texels, int32_t& pitch);
void UnlockSpotTexels(Renderer* renderer, int32_t spot);
// Called every tick after the spots: the frame (black, the spots, the overlay) drawn and
// presented. A lost device skips it.
void PresentFrame(Renderer* renderer, const OverlayFrame& overlay);

// Linux hosts. The window (or target) is now width x height: the frames follow.
bool ResizeRenderer(Renderer* renderer, int32_t width, int32_t height);
// The last presented frame, rows top first, pitch bytes apart, pixels red, green, blue, alpha.
bool ReadRendererFrame(Renderer* renderer, uint8_t* pixels, int32_t pitch);

// Called when the settings dialog opens. False when the platform has no drawing system.
bool DescribeDisplay(DisplayDescription& display);
