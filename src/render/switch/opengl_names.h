// The OpenGL back end's operations as the renderer switch sees them: render/device.h and
// render/gl/gl_device.h with every name prefixed (see opengl_renamed.h).
#pragma once

#include <cstdint>

#include "render/device.h"

RenderSystem* OpenGlCreateRenderSystem(uint32_t sdkVersion);
RenderResult OpenGlGetAdapterDisplayMode(RenderSystem* system, uint32_t adapter, DisplayMode& mode);
uint32_t OpenGlGetAdapterModeCount(RenderSystem* system, uint32_t adapter);
RenderResult OpenGlEnumAdapterModes(RenderSystem* system, uint32_t adapter, uint32_t index,
                                    DisplayMode& mode);
RenderResult OpenGlGetDeviceCaps(RenderSystem* system, uint32_t adapter, uint32_t deviceType,
                                 uint32_t& devCaps);
RenderResult OpenGlCreateDevice(RenderSystem* system, uint32_t adapter, uint32_t deviceType,
                                NativeWindow focusWindow, uint32_t behaviorFlags,
                                const PresentParameters& params, RenderDevice*& device);
void OpenGlRelease(RenderSystem* system);
void OpenGlRelease(RenderDevice* device);
void OpenGlRelease(RenderTexture* texture);
void OpenGlRelease(RenderVertexBuffer* buffer);
RenderResult OpenGlTestCooperativeLevel(RenderDevice* device);
RenderResult OpenGlClear(RenderDevice* device, uint32_t rectCount, const int32_t* rects,
                         uint32_t flags, uint32_t color, float z, uint32_t stencil);
RenderResult OpenGlBeginScene(RenderDevice* device);
RenderResult OpenGlEndScene(RenderDevice* device);
RenderResult OpenGlPresent(RenderDevice* device);
RenderResult OpenGlSetTransform(RenderDevice* device, TransformType type, const Matrix4& matrix);
RenderResult OpenGlSetMaterial(RenderDevice* device, const Material& material);
RenderResult OpenGlSetRenderState(RenderDevice* device, RenderStateType state, uint32_t value);
RenderResult OpenGlSetTextureStageState(RenderDevice* device, uint32_t stage,
                                        TextureStageStateType type, uint32_t value);
RenderResult OpenGlCreateVertexBuffer(RenderDevice* device, uint32_t length, uint32_t usage,
                                      uint32_t vertexFormat, uint32_t pool,
                                      RenderVertexBuffer*& buffer);
RenderResult OpenGlLockVertexBuffer(RenderVertexBuffer* buffer, uint32_t offset, uint32_t size,
                                    uint8_t*& data, uint32_t flags);
RenderResult OpenGlUnlockVertexBuffer(RenderVertexBuffer* buffer);
RenderResult OpenGlCreateTexture(RenderDevice* device, uint32_t width, uint32_t height,
                                 uint32_t levels, uint32_t usage, uint32_t format, uint32_t pool,
                                 RenderTexture*& texture);
RenderResult OpenGlLockRect(RenderTexture* texture, uint32_t level, LockedRect& locked,
                            const int32_t* rect, uint32_t flags);
RenderResult OpenGlUnlockRect(RenderTexture* texture, uint32_t level);
RenderResult OpenGlSetVertexShader(RenderDevice* device, uint32_t vertexFormat);
RenderResult OpenGlSetPixelShader(RenderDevice* device, uint32_t handle);
RenderResult OpenGlSetStreamSource(RenderDevice* device, uint32_t stream,
                                   RenderVertexBuffer* buffer, uint32_t stride);
RenderResult OpenGlSetTexture(RenderDevice* device, uint32_t stage, RenderTexture* texture);
RenderResult OpenGlDrawPrimitive(RenderDevice* device, PrimitiveType type, uint32_t startVertex,
                                 uint32_t primitiveCount);
RenderResult OpenGlGetViewport(RenderDevice* device, Viewport& viewport);

void OpenGlSetAdapterDisplayMode(const DisplayMode& mode);
void OpenGlSetNativeDisplay(void* x11Display);
RenderResult OpenGlReadPresentedFrame(RenderDevice* device, uint8_t* pixels, int32_t pitch);
