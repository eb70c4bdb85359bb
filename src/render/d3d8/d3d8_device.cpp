// Direct3D 8 back end of render/device.h: each call goes straight to the COM method of the same
// meaning. The handles are the interface pointers themselves. d3d8.dll is loaded at run time,
// there being no import library for it.
#include <windows.h>

#include <d3d8.h>

#include <cstddef>

#include "render/device.h"

// The records handed over as they are; the others are copied field by field.
static_assert(sizeof(Matrix4) == sizeof(D3DMATRIX));
static_assert(sizeof(Material) == sizeof(D3DMATERIAL8));
static_assert(offsetof(Material, emissive) == offsetof(D3DMATERIAL8, Emissive));
static_assert(sizeof(int32_t[4]) == sizeof(D3DRECT) && sizeof(int32_t[4]) == sizeof(RECT));

namespace {

IDirect3D8* Com(RenderSystem* system)
{
    return reinterpret_cast<IDirect3D8*>(system);
}

IDirect3DDevice8* Com(RenderDevice* device)
{
    return reinterpret_cast<IDirect3DDevice8*>(device);
}

IDirect3DTexture8* Com(RenderTexture* texture)
{
    return reinterpret_cast<IDirect3DTexture8*>(texture);
}

IDirect3DVertexBuffer8* Com(RenderVertexBuffer* buffer)
{
    return reinterpret_cast<IDirect3DVertexBuffer8*>(buffer);
}

HWND Window(NativeWindow window)
{
    return reinterpret_cast<HWND>(window);
}

}  // namespace

RenderSystem* CreateRenderSystem(uint32_t sdkVersion)
{
    using CreateFunction = IDirect3D8*(WINAPI*)(UINT);
    // Stays loaded for the process: its objects may outlive any one caller.
    static HMODULE library = LoadLibraryA("d3d8.dll");
    if (library == nullptr) return nullptr;
    const auto create = reinterpret_cast<CreateFunction>(
        reinterpret_cast<void*>(GetProcAddress(library, "Direct3DCreate8")));
    if (create == nullptr) return nullptr;
    return reinterpret_cast<RenderSystem*>(create(sdkVersion));
}

RenderResult GetAdapterDisplayMode(RenderSystem* system, uint32_t adapter, DisplayMode& mode)
{
    if (system == nullptr) return RenderErrorInvalidCall;
    D3DDISPLAYMODE d3dMode{};
    const HRESULT result = Com(system)->GetAdapterDisplayMode(adapter, &d3dMode);
    if (SUCCEEDED(result)) {
        mode = DisplayMode{d3dMode.Width, d3dMode.Height, d3dMode.RefreshRate,
                           static_cast<uint32_t>(d3dMode.Format)};
    }
    return result;
}

uint32_t GetAdapterModeCount(RenderSystem* system, uint32_t adapter)
{
    return system != nullptr ? Com(system)->GetAdapterModeCount(adapter) : 0;
}

RenderResult EnumAdapterModes(RenderSystem* system, uint32_t adapter, uint32_t index,
                              DisplayMode& mode)
{
    if (system == nullptr) return RenderErrorInvalidCall;
    D3DDISPLAYMODE d3dMode{};
    const HRESULT result = Com(system)->EnumAdapterModes(adapter, index, &d3dMode);
    if (SUCCEEDED(result)) {
        mode = DisplayMode{d3dMode.Width, d3dMode.Height, d3dMode.RefreshRate,
                           static_cast<uint32_t>(d3dMode.Format)};
    }
    return result;
}

RenderResult GetDeviceCaps(RenderSystem* system, uint32_t adapter, uint32_t deviceType,
                           uint32_t& devCaps)
{
    if (system == nullptr) return RenderErrorInvalidCall;
    D3DCAPS8 caps{};
    const HRESULT result =
        Com(system)->GetDeviceCaps(adapter, static_cast<D3DDEVTYPE>(deviceType), &caps);
    if (SUCCEEDED(result)) devCaps = caps.DevCaps;
    return result;
}

RenderResult CreateDevice(RenderSystem* system, uint32_t adapter, uint32_t deviceType,
                          NativeWindow focusWindow, uint32_t behaviorFlags,
                          const PresentParameters& params, RenderDevice*& device)
{
    device = nullptr;
    if (system == nullptr) return RenderErrorInvalidCall;
    // Direct3D may write back into the record (a windowed back buffer's size), so it gets a copy.
    D3DPRESENT_PARAMETERS d3dParams{};
    d3dParams.BackBufferWidth = params.backBufferWidth;
    d3dParams.BackBufferHeight = params.backBufferHeight;
    d3dParams.BackBufferFormat = static_cast<D3DFORMAT>(params.backBufferFormat);
    d3dParams.BackBufferCount = params.backBufferCount;
    d3dParams.MultiSampleType = static_cast<D3DMULTISAMPLE_TYPE>(params.multiSampleType);
    d3dParams.SwapEffect = static_cast<D3DSWAPEFFECT>(params.swapEffect);
    d3dParams.hDeviceWindow = Window(params.deviceWindow);
    d3dParams.Windowed = params.windowed;
    d3dParams.EnableAutoDepthStencil = params.enableAutoDepthStencil;
    d3dParams.AutoDepthStencilFormat = static_cast<D3DFORMAT>(params.autoDepthStencilFormat);
    d3dParams.Flags = params.flags;
    d3dParams.FullScreen_RefreshRateInHz = params.fullScreenRefreshRateInHz;
    d3dParams.FullScreen_PresentationInterval = params.fullScreenPresentationInterval;
    IDirect3DDevice8* created = nullptr;
    const HRESULT result =
        Com(system)->CreateDevice(adapter, static_cast<D3DDEVTYPE>(deviceType), Window(focusWindow),
                                  behaviorFlags, &d3dParams, &created);
    if (SUCCEEDED(result))
        device = reinterpret_cast<RenderDevice*>(created);
    else if (created != nullptr)
        created->Release();
    return result;
}

void Release(RenderSystem* system)
{
    if (system != nullptr) Com(system)->Release();
}

void Release(RenderDevice* device)
{
    if (device != nullptr) Com(device)->Release();
}

void Release(RenderTexture* texture)
{
    if (texture != nullptr) Com(texture)->Release();
}

void Release(RenderVertexBuffer* buffer)
{
    if (buffer != nullptr) Com(buffer)->Release();
}

RenderResult TestCooperativeLevel(RenderDevice* device)
{
    return device != nullptr ? Com(device)->TestCooperativeLevel() : RenderErrorInvalidCall;
}

RenderResult Clear(RenderDevice* device, uint32_t rectCount, const int32_t* rects, uint32_t flags,
                   uint32_t color, float z, uint32_t stencil)
{
    if (device == nullptr) return RenderErrorInvalidCall;
    return Com(device)->Clear(rectCount, reinterpret_cast<const D3DRECT*>(rects), flags, color, z,
                              stencil);
}

RenderResult BeginScene(RenderDevice* device)
{
    return device != nullptr ? Com(device)->BeginScene() : RenderErrorInvalidCall;
}

RenderResult EndScene(RenderDevice* device)
{
    return device != nullptr ? Com(device)->EndScene() : RenderErrorInvalidCall;
}

RenderResult Present(RenderDevice* device)
{
    return device != nullptr ? Com(device)->Present(nullptr, nullptr, nullptr, nullptr)
                             : RenderErrorInvalidCall;
}

RenderResult SetTransform(RenderDevice* device, TransformType type, const Matrix4& matrix)
{
    if (device == nullptr) return RenderErrorInvalidCall;
    return Com(device)->SetTransform(static_cast<D3DTRANSFORMSTATETYPE>(type),
                                     reinterpret_cast<const D3DMATRIX*>(&matrix));
}

RenderResult SetMaterial(RenderDevice* device, const Material& material)
{
    if (device == nullptr) return RenderErrorInvalidCall;
    return Com(device)->SetMaterial(reinterpret_cast<const D3DMATERIAL8*>(&material));
}

RenderResult SetRenderState(RenderDevice* device, RenderStateType state, uint32_t value)
{
    if (device == nullptr) return RenderErrorInvalidCall;
    return Com(device)->SetRenderState(static_cast<D3DRENDERSTATETYPE>(state), value);
}

RenderResult SetTextureStageState(RenderDevice* device, uint32_t stage, TextureStageStateType type,
                                  uint32_t value)
{
    if (device == nullptr) return RenderErrorInvalidCall;
    return Com(device)->SetTextureStageState(stage, static_cast<D3DTEXTURESTAGESTATETYPE>(type),
                                             value);
}

RenderResult CreateVertexBuffer(RenderDevice* device, uint32_t length, uint32_t usage,
                                uint32_t vertexFormat, uint32_t pool, RenderVertexBuffer*& buffer)
{
    buffer = nullptr;
    if (device == nullptr) return RenderErrorInvalidCall;
    IDirect3DVertexBuffer8* created = nullptr;
    const HRESULT result = Com(device)->CreateVertexBuffer(length, usage, vertexFormat,
                                                           static_cast<D3DPOOL>(pool), &created);
    if (SUCCEEDED(result))
        buffer = reinterpret_cast<RenderVertexBuffer*>(created);
    else if (created != nullptr)
        created->Release();
    return result;
}

RenderResult LockVertexBuffer(RenderVertexBuffer* buffer, uint32_t offset, uint32_t size,
                              uint8_t*& data, uint32_t flags)
{
    data = nullptr;
    if (buffer == nullptr) return RenderErrorInvalidCall;
    BYTE* bytes = nullptr;
    const HRESULT result = Com(buffer)->Lock(offset, size, &bytes, flags);
    if (SUCCEEDED(result)) data = bytes;
    return result;
}

RenderResult UnlockVertexBuffer(RenderVertexBuffer* buffer)
{
    return buffer != nullptr ? Com(buffer)->Unlock() : RenderErrorInvalidCall;
}

RenderResult CreateTexture(RenderDevice* device, uint32_t width, uint32_t height, uint32_t levels,
                           uint32_t usage, uint32_t format, uint32_t pool, RenderTexture*& texture)
{
    texture = nullptr;
    if (device == nullptr) return RenderErrorInvalidCall;
    IDirect3DTexture8* created = nullptr;
    const HRESULT result =
        Com(device)->CreateTexture(width, height, levels, usage, static_cast<D3DFORMAT>(format),
                                   static_cast<D3DPOOL>(pool), &created);
    if (SUCCEEDED(result))
        texture = reinterpret_cast<RenderTexture*>(created);
    else if (created != nullptr)
        created->Release();
    return result;
}

RenderResult LockRect(RenderTexture* texture, uint32_t level, LockedRect& locked,
                      const int32_t* rect, uint32_t flags)
{
    if (texture == nullptr) return RenderErrorInvalidCall;
    D3DLOCKED_RECT d3dLocked{};
    const HRESULT result =
        Com(texture)->LockRect(level, &d3dLocked, reinterpret_cast<const RECT*>(rect), flags);
    if (SUCCEEDED(result)) locked = LockedRect{d3dLocked.Pitch, d3dLocked.pBits};
    return result;
}

RenderResult UnlockRect(RenderTexture* texture, uint32_t level)
{
    return texture != nullptr ? Com(texture)->UnlockRect(level) : RenderErrorInvalidCall;
}

RenderResult SetVertexShader(RenderDevice* device, uint32_t vertexFormat)
{
    return device != nullptr ? Com(device)->SetVertexShader(vertexFormat) : RenderErrorInvalidCall;
}

RenderResult SetPixelShader(RenderDevice* device, uint32_t handle)
{
    return device != nullptr ? Com(device)->SetPixelShader(handle) : RenderErrorInvalidCall;
}

RenderResult SetStreamSource(RenderDevice* device, uint32_t stream, RenderVertexBuffer* buffer,
                             uint32_t stride)
{
    if (device == nullptr) return RenderErrorInvalidCall;
    return Com(device)->SetStreamSource(stream, Com(buffer), stride);
}

RenderResult SetTexture(RenderDevice* device, uint32_t stage, RenderTexture* texture)
{
    if (device == nullptr) return RenderErrorInvalidCall;
    return Com(device)->SetTexture(stage, Com(texture));
}

RenderResult DrawPrimitive(RenderDevice* device, PrimitiveType type, uint32_t startVertex,
                           uint32_t primitiveCount)
{
    if (device == nullptr) return RenderErrorInvalidCall;
    return Com(device)->DrawPrimitive(static_cast<D3DPRIMITIVETYPE>(type), startVertex,
                                      primitiveCount);
}

RenderResult GetViewport(RenderDevice* device, Viewport& viewport)
{
    if (device == nullptr) return RenderErrorInvalidCall;
    D3DVIEWPORT8 d3dViewport{};
    const HRESULT result = Com(device)->GetViewport(&d3dViewport);
    if (SUCCEEDED(result)) {
        viewport = Viewport{d3dViewport.X,      d3dViewport.Y,    d3dViewport.Width,
                            d3dViewport.Height, d3dViewport.MinZ, d3dViewport.MaxZ};
    }
    return result;
}
