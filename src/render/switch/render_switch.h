// One program, two drawing back ends: the OpenGL one (render/gl, namespace gl), and the
// processor one (render/cpu, namespace cpu) for machines whose OpenGL is a software
// rasteriser. The render/device.h operations defined here hand every call to the back end
// chosen with UseCpuRenderer; on Linux nothing else defines them.
//
// A host of the Linux saver:
//   SetRendererNativeDisplay(display);           // before anything else, null when headless
//   UseCpuRenderer(useCpu);                      // the X11 host asks EGL (drawing_choice.h)
//   SetRendererDisplayMode({w, h, 60, FormatX8R8G8B8});
//   ... CreateRenderDevice (the core) ...
//   on a resize of the window: ResizeRenderer(SaverDevice, w, h);
//   headless: ReadRendererFrame after each frame.
#pragma once

#include <cstdint>

#include "render/device.h"

// Which back end the device.h operations go to; OpenGL until set. Choose while no render system
// exists: handles of one back end mean nothing to the other.
void UseCpuRenderer(bool useCpu);
bool UsingCpuRenderer();

// The X11 connection whose windows devices may draw into (both back ends), or null for
// offscreen only. It must outlive every render system made after this.
void SetRendererNativeDisplay(void* x11Display);

// The screen's mode, reported by adapter 0 of either back end (see gl::SetAdapterDisplayMode).
void SetRendererDisplayMode(const DisplayMode& mode);

// The last presented frame, rows top first, pitch bytes apart, pixels red, green, blue, alpha.
RenderResult ReadRendererFrame(RenderDevice* device, uint8_t* pixels, int32_t pitch);

// The window is now width x height. The processor back end's back buffer follows it; OpenGL's
// stays and is stretched over the window when presented, so it has nothing to do. A host that
// may make the device again (ResumeRenderer) keeps DevicePresentParameters in step itself.
RenderResult ResizeRenderer(RenderDevice* device, uint32_t width, uint32_t height);
