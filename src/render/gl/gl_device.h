// The OpenGL back end (through EGL, windowed or headless): render/device.h's operations in
// namespace gl, so that it can share a program with the processor back end (render/switch
// defines device.h's own names and hands each call to one of them). Its handles must only be
// passed back here.
//
// Without a window (focus and device window 0) a device draws into an offscreen back buffer of
// the requested size and Present only flips it; the host reads the presented frame back. With
// an X11 connection given before CreateRenderSystem, a device made for a window also shows
// each presented frame in that window.
#pragma once

#include <cstdint>

#include "render/device.h"

namespace gl {

// There is no monitor to ask, so the host says what the screen is: the one mode that adapter 0
// reports (GetAdapterDisplayMode, and EnumAdapterModes index 0). Until set: 1280 x 800,
// X8R8G8B8, 60 Hz. A zero width or height is ignored.
void SetAdapterDisplayMode(const DisplayMode& mode);

// The X11 Display* whose windows devices may draw into, or null for offscreen only. Read by
// CreateRenderSystem; the connection must outlive the render system.
void SetNativeDisplay(void* x11Display);

// Copies the last presented frame (black before the first Present): back-buffer height rows,
// top row first, pitch bytes apart; each pixel 4 bytes in the order red, green, blue, alpha
// (255: the X8R8G8B8 back buffer has none). pitch must be at least 4 * width and a multiple
// of 4. Not for the per-frame path of a saver: it waits for the frame to finish.
RenderResult ReadPresentedFrame(RenderDevice* device, uint8_t* pixels, int32_t pitch);

// The same operations as render/device.h, with the same meanings and result codes.
RenderSystem* CreateRenderSystem(uint32_t sdkVersion);
RenderResult GetAdapterDisplayMode(RenderSystem* system, uint32_t adapter, DisplayMode& mode);
uint32_t GetAdapterModeCount(RenderSystem* system, uint32_t adapter);
RenderResult EnumAdapterModes(RenderSystem* system, uint32_t adapter, uint32_t index,
                              DisplayMode& mode);
RenderResult GetDeviceCaps(RenderSystem* system, uint32_t adapter, uint32_t deviceType,
                           uint32_t& devCaps);
RenderResult CreateDevice(RenderSystem* system, uint32_t adapter, uint32_t deviceType,
                          NativeWindow focusWindow, uint32_t behaviorFlags,
                          const PresentParameters& params, RenderDevice*& device);
void Release(RenderSystem* system);
void Release(RenderDevice* device);
void Release(RenderTexture* texture);
void Release(RenderVertexBuffer* buffer);
RenderResult TestCooperativeLevel(RenderDevice* device);
RenderResult Clear(RenderDevice* device, uint32_t rectCount, const int32_t* rects, uint32_t flags,
                   uint32_t color, float z, uint32_t stencil);
RenderResult BeginScene(RenderDevice* device);
RenderResult EndScene(RenderDevice* device);
RenderResult Present(RenderDevice* device);
RenderResult SetTransform(RenderDevice* device, TransformType type, const Matrix4& matrix);
RenderResult SetMaterial(RenderDevice* device, const Material& material);
RenderResult SetRenderState(RenderDevice* device, RenderStateType state, uint32_t value);
RenderResult SetTextureStageState(RenderDevice* device, uint32_t stage, TextureStageStateType type,
                                  uint32_t value);
RenderResult CreateVertexBuffer(RenderDevice* device, uint32_t length, uint32_t usage,
                                uint32_t vertexFormat, uint32_t pool, RenderVertexBuffer*& buffer);
RenderResult LockVertexBuffer(RenderVertexBuffer* buffer, uint32_t offset, uint32_t size,
                              uint8_t*& data, uint32_t flags);
RenderResult UnlockVertexBuffer(RenderVertexBuffer* buffer);
RenderResult CreateTexture(RenderDevice* device, uint32_t width, uint32_t height, uint32_t levels,
                           uint32_t usage, uint32_t format, uint32_t pool, RenderTexture*& texture);
RenderResult LockRect(RenderTexture* texture, uint32_t level, LockedRect& locked,
                      const int32_t* rect, uint32_t flags);
RenderResult UnlockRect(RenderTexture* texture, uint32_t level);
RenderResult SetVertexShader(RenderDevice* device, uint32_t vertexFormat);
RenderResult SetPixelShader(RenderDevice* device, uint32_t handle);
RenderResult SetStreamSource(RenderDevice* device, uint32_t stream, RenderVertexBuffer* buffer,
                             uint32_t stride);
RenderResult SetTexture(RenderDevice* device, uint32_t stage, RenderTexture* texture);
RenderResult DrawPrimitive(RenderDevice* device, PrimitiveType type, uint32_t startVertex,
                           uint32_t primitiveCount);
RenderResult GetViewport(RenderDevice* device, Viewport& viewport);

}  // namespace gl
