// The drawing operations of render/device.h done on the processor, for machines whose OpenGL is
// a software rasteriser (or missing): the saver's quads are blended straight into a 32-bit back
// buffer, and only the squares that changed are handed on to be shown.
//
// Everything lives in namespace cpu, so that this back end and the OpenGL one can be linked into
// one program (render/switch picks one at run time). The handles are device.h's opaque types;
// those made here must only be passed back here.
//
// What it draws, and what it refuses:
//  - Back buffers of X8R8G8B8 or A8R8G8B8 (memory word 0xAARRGGBB, rows top first).
//  - Textures of A8R8G8B8, X8R8G8B8, A4R4G4B4, X4R4G4B4, R5G6B5, X1R5G5B5, A1R5G5B5, R8G8B8,
//    R3G3B2, A8R3G3B2 and A8 (the formats the picture upload makes); others: invalid call.
//  - Vertex formats XYZ|TEX1 and XYZRHW|TEX1; triangle lists only.
//  - Render states ZEnable, SrcBlend, DestBlend, CullMode, AlphaBlendEnable, Lighting, Ambient;
//    blend factors zero, one, source alpha and its inverse; stage states MagFilter, MinFilter,
//    MipFilter. A value it cannot draw is refused when set; a draw with depth testing on is
//    refused (there is no depth buffer).
//  - Texture addressing wraps, as Direct3D's default does; one mip level.
//  - Pairs of triangles that make a screen-aligned rectangle with affine texture coordinates
//    (every quad the saver draws) take a fast path; any other triangle is drawn exactly too.
#pragma once

#include <cstdint>

#include "render/device.h"

namespace cpu {

// A rectangle of back-buffer pixels: left and top included, right and bottom not.
struct PixelRect {
    int32_t left;
    int32_t top;
    int32_t right;
    int32_t bottom;
};

// Where a device with a window shows its frames. The device calls these; the context is the
// presenter's own.
struct Presenter {
    void* context;
    // Shows these rectangles of the frame: width x height words 0x..RRGGBB (the top byte means
    // nothing), rows top first, pitch words apart. False when it could not.
    bool (*show)(void* context, const uint32_t* pixels, int32_t pitch, int32_t width,
                 int32_t height, const PixelRect* rects, uint32_t rectCount);
    // The back buffer is now width x height; the next show sends all of it.
    bool (*resize)(void* context, int32_t width, int32_t height);
    // The device is going away: give everything up.
    void (*close)(void* context);
    // Optional, asked after opening and after each resize: memory of its own that show can
    // send as it is (width x height words, rows width words apart, black), for the device to
    // draw its frames in instead of a back buffer that show would have to copy; null when the
    // window's pixels are laid out otherwise. It stays valid until the next resize or close,
    // and show is then handed it back as the frame.
    uint32_t* (*frameMemory)(void* context);
};

// Opens the presenter of a device made for `window`, whose back buffer is width x height.
using PresenterOpener = bool (*)(void* user, NativeWindow window, int32_t width, int32_t height,
                                 Presenter& presenter);

// The presenter a device made for a window shows its frames with; false for a device without.
bool GetPresenter(RenderDevice* device, Presenter& presenter);

// How windows are shown, for devices created from now on; null: devices for a window fail with
// RenderErrorNotAvailable, as on a system without a display. The X11 presenter registers here.
void SetPresenterOpener(PresenterOpener opener, void* user);

// The one mode adapter 0 reports (GetAdapterDisplayMode, EnumAdapterModes index 0), as the
// host says it is. Until set: 1280 x 800, X8R8G8B8, 60 Hz. A zero width or height is ignored.
void SetAdapterDisplayMode(const DisplayMode& mode);

// The back buffer takes a new size (the window was resized): it starts black, the viewport and
// the device's present parameters follow, and the next Present shows all of it. Not inside a
// scene. Without memory for it the old back buffer stays (out of video memory); a presenter
// that cannot follow gives not available, and shows nothing until a resize succeeds.
RenderResult ResizeBackBuffer(RenderDevice* device, uint32_t width, uint32_t height);

// Copies the frame the last Present showed, as render/gl's ReadPresentedFrame does: rows top
// first, pitch bytes apart, each pixel red, green, blue, alpha (255 without alpha). It is read
// from the back buffer, so once drawing of the next frame has begun it is gone: invalid call.
RenderResult ReadPresentedFrame(RenderDevice* device, uint8_t* pixels, int32_t pitch);

// The rectangles the last Present handed on (what changed since the Present before: last
// frame's drawings, cleared, and this frame's): up to capacity of them into rects; returns how
// many there are. The first Present, and the first after a resize, give the whole frame.
uint32_t PresentedRects(RenderDevice* device, PixelRect* rects, uint32_t capacity);

// The back buffer itself, for a host that shows frames its own way: words 0xAARRGGBB, rows top
// first, pitch words apart. Valid until the device is released or resized.
RenderResult GetBackBuffer(RenderDevice* device, const uint32_t*& pixels, int32_t& pitch,
                           int32_t& width, int32_t& height);

// The same operations as render/device.h, with the same meanings and result codes.
#include "render/device_operations.h"

}  // namespace cpu
