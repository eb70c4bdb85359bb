// The processor back end (cpu::BackEnd, render/switch/renderer_back_end.h), for machines whose
// OpenGL is a software rasteriser or missing: each spot's texels are blended straight into a
// 32-bit frame at their square, the glyphs from the font sheet over them, and only the squares
// that changed since the last frame are cleared and handed on to be shown.
#pragma once

#include <cstdint>

#include "host/native_window.h"

struct Renderer;

namespace cpu {

// A rectangle of frame pixels: left and top included, right and bottom not.
struct PixelRect {
    int32_t left;
    int32_t top;
    int32_t right;
    int32_t bottom;
};

// Where a renderer with a window shows its frames. The renderer calls these; the context is the
// presenter's own.
struct Presenter {
    void* context;
    // Shows these rectangles of the frame: width x height words 0x..RRGGBB (the top byte means
    // nothing), rows top first, pitch words apart. False when it could not.
    bool (*show)(void* context, const uint32_t* pixels, int32_t pitch, int32_t width,
                 int32_t height, const PixelRect* rects, uint32_t rectCount);
    // The frame is now width x height; the next show sends all of it.
    bool (*resize)(void* context, int32_t width, int32_t height);
    // The renderer is going away: give everything up.
    void (*close)(void* context);
    // Optional, asked after opening and after each resize: memory of its own that show can
    // send as it is (width x height words, rows width words apart, black), for the renderer to
    // draw its frames in instead of a frame that show would have to copy; null when the
    // window's pixels are laid out otherwise. It stays valid until the next resize or close,
    // and show is then handed it back as the frame.
    uint32_t* (*frameMemory)(void* context);
};

// Opens the presenter of a device made for `window`, whose frames are width x height.
using PresenterOpener = bool (*)(void* user, NativeWindow window, int32_t width, int32_t height,
                                 Presenter& presenter);

// How windows are shown, for devices created from now on; null: devices for a window fail, as
// on a system without a display. The X11 presenter registers here.
void SetPresenterOpener(PresenterOpener opener, void* user);

// The presenter a processor renderer with a window shows its frames with; false for one
// without (or a renderer of another back end: ask only of cpu::BackEnd's).
bool GetPresenter(const Renderer* renderer, Presenter& presenter);

}  // namespace cpu
