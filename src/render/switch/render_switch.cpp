#include "render/switch/render_switch.h"

#include "render/cpu/cpu_device.h"
#include "render/cpu/x11/x11_presenter.h"
#include "render/gl/gl_device.h"

namespace {

bool UseCpu = false;

}  // namespace

// Every operation goes where the choice says.
#define TAVREL_SWITCH(call) return UseCpu ? cpu::call : gl::call

void UseCpuRenderer(bool useCpu)
{
    UseCpu = useCpu;
}

bool UsingCpuRenderer()
{
    return UseCpu;
}

void SetRendererNativeDisplay(void* x11Display)
{
    gl::SetNativeDisplay(x11Display);
    UseX11Presenters(static_cast<Display*>(x11Display));
}

void SetRendererDisplayMode(const DisplayMode& mode)
{
    gl::SetAdapterDisplayMode(mode);
    cpu::SetAdapterDisplayMode(mode);
}

RenderResult ReadRendererFrame(RenderDevice* device, uint8_t* pixels, int32_t pitch)
{
    TAVREL_SWITCH(ReadPresentedFrame(device, pixels, pitch));
}

RenderResult ResizeRenderer(RenderDevice* device, uint32_t width, uint32_t height)
{
    if (device == nullptr || width == 0 || height == 0) return RenderErrorInvalidCall;
    return UseCpu ? cpu::ResizeBackBuffer(device, width, height) : RenderOk;
}

RenderSystem* CreateRenderSystem(uint32_t sdkVersion)
{
    TAVREL_SWITCH(CreateRenderSystem(sdkVersion));
}

RenderResult GetAdapterDisplayMode(RenderSystem* system, uint32_t adapter, DisplayMode& mode)
{
    TAVREL_SWITCH(GetAdapterDisplayMode(system, adapter, mode));
}

uint32_t GetAdapterModeCount(RenderSystem* system, uint32_t adapter)
{
    TAVREL_SWITCH(GetAdapterModeCount(system, adapter));
}

RenderResult EnumAdapterModes(RenderSystem* system, uint32_t adapter, uint32_t index,
                              DisplayMode& mode)
{
    TAVREL_SWITCH(EnumAdapterModes(system, adapter, index, mode));
}

RenderResult GetDeviceCaps(RenderSystem* system, uint32_t adapter, uint32_t deviceType,
                           uint32_t& devCaps)
{
    TAVREL_SWITCH(GetDeviceCaps(system, adapter, deviceType, devCaps));
}

RenderResult CreateDevice(RenderSystem* system, uint32_t adapter, uint32_t deviceType,
                          NativeWindow focusWindow, uint32_t behaviorFlags,
                          const PresentParameters& params, RenderDevice*& device)
{
    TAVREL_SWITCH(
        CreateDevice(system, adapter, deviceType, focusWindow, behaviorFlags, params, device));
}

void Release(RenderSystem* system)
{
    TAVREL_SWITCH(Release(system));
}

void Release(RenderDevice* device)
{
    TAVREL_SWITCH(Release(device));
}

void Release(RenderTexture* texture)
{
    TAVREL_SWITCH(Release(texture));
}

void Release(RenderVertexBuffer* buffer)
{
    TAVREL_SWITCH(Release(buffer));
}

RenderResult TestCooperativeLevel(RenderDevice* device)
{
    TAVREL_SWITCH(TestCooperativeLevel(device));
}

RenderResult Clear(RenderDevice* device, uint32_t rectCount, const int32_t* rects, uint32_t flags,
                   uint32_t color, float z, uint32_t stencil)
{
    TAVREL_SWITCH(Clear(device, rectCount, rects, flags, color, z, stencil));
}

RenderResult BeginScene(RenderDevice* device)
{
    TAVREL_SWITCH(BeginScene(device));
}

RenderResult EndScene(RenderDevice* device)
{
    TAVREL_SWITCH(EndScene(device));
}

RenderResult Present(RenderDevice* device)
{
    TAVREL_SWITCH(Present(device));
}

RenderResult SetTransform(RenderDevice* device, TransformType type, const Matrix4& matrix)
{
    TAVREL_SWITCH(SetTransform(device, type, matrix));
}

RenderResult SetMaterial(RenderDevice* device, const Material& material)
{
    TAVREL_SWITCH(SetMaterial(device, material));
}

RenderResult SetRenderState(RenderDevice* device, RenderStateType state, uint32_t value)
{
    TAVREL_SWITCH(SetRenderState(device, state, value));
}

RenderResult SetTextureStageState(RenderDevice* device, uint32_t stage, TextureStageStateType type,
                                  uint32_t value)
{
    TAVREL_SWITCH(SetTextureStageState(device, stage, type, value));
}

RenderResult CreateVertexBuffer(RenderDevice* device, uint32_t length, uint32_t usage,
                                uint32_t vertexFormat, uint32_t pool, RenderVertexBuffer*& buffer)
{
    TAVREL_SWITCH(CreateVertexBuffer(device, length, usage, vertexFormat, pool, buffer));
}

RenderResult LockVertexBuffer(RenderVertexBuffer* buffer, uint32_t offset, uint32_t size,
                              uint8_t*& data, uint32_t flags)
{
    TAVREL_SWITCH(LockVertexBuffer(buffer, offset, size, data, flags));
}

RenderResult UnlockVertexBuffer(RenderVertexBuffer* buffer)
{
    TAVREL_SWITCH(UnlockVertexBuffer(buffer));
}

RenderResult CreateTexture(RenderDevice* device, uint32_t width, uint32_t height, uint32_t levels,
                           uint32_t usage, uint32_t format, uint32_t pool, RenderTexture*& texture)
{
    TAVREL_SWITCH(CreateTexture(device, width, height, levels, usage, format, pool, texture));
}

RenderResult LockRect(RenderTexture* texture, uint32_t level, LockedRect& locked,
                      const int32_t* rect, uint32_t flags)
{
    TAVREL_SWITCH(LockRect(texture, level, locked, rect, flags));
}

RenderResult UnlockRect(RenderTexture* texture, uint32_t level)
{
    TAVREL_SWITCH(UnlockRect(texture, level));
}

RenderResult SetVertexShader(RenderDevice* device, uint32_t vertexFormat)
{
    TAVREL_SWITCH(SetVertexShader(device, vertexFormat));
}

RenderResult SetPixelShader(RenderDevice* device, uint32_t handle)
{
    TAVREL_SWITCH(SetPixelShader(device, handle));
}

RenderResult SetStreamSource(RenderDevice* device, uint32_t stream, RenderVertexBuffer* buffer,
                             uint32_t stride)
{
    TAVREL_SWITCH(SetStreamSource(device, stream, buffer, stride));
}

RenderResult SetTexture(RenderDevice* device, uint32_t stage, RenderTexture* texture)
{
    TAVREL_SWITCH(SetTexture(device, stage, texture));
}

RenderResult DrawPrimitive(RenderDevice* device, PrimitiveType type, uint32_t startVertex,
                           uint32_t primitiveCount)
{
    TAVREL_SWITCH(DrawPrimitive(device, type, startVertex, primitiveCount));
}

RenderResult GetViewport(RenderDevice* device, Viewport& viewport)
{
    TAVREL_SWITCH(GetViewport(device, viewport));
}
