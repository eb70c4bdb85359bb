// The Direct3D object and the device on the processor: the back buffer, presenting, reading
// back, and the bookkeeping of what changed between two frames.
#include <algorithm>
#include <cstring>
#include <new>

#include "render/cpu/cpu_internal.h"
#include "render/emulated_device.h"

namespace cpu {

namespace {

DisplayMode AdapterMode{1280, 800, 60, FormatX8R8G8B8};
PresenterOpener Opener = nullptr;
void* OpenerUser = nullptr;

constexpr uint32_t CreateMixedVertexProcessing = 0x80;
constexpr uint32_t MaxBackBufferSide = 16384;

int64_t Area(const PixelRect& r)
{
    return static_cast<int64_t>(r.right - r.left) * (r.bottom - r.top);
}

PixelRect Bounds(const PixelRect& a, const PixelRect& b)
{
    return PixelRect{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
                     std::max(a.bottom, b.bottom)};
}

// D3DFMT_D32 71, D24S8 75, D24X8 77, D24X4S4 79, D16 80.
bool IsDepthFormat(uint32_t format)
{
    return format == 71 || format == 75 || format == 77 || format == 79 || format == FormatD16;
}

void DropSystemReference(System* system)
{
    if (--system->references == 0) delete system;
}

void DestroyDevice(Device* device)
{
    DetachDeviceResources(device);
    if (device->hasPresenter && device->presenter.close != nullptr) {
        device->presenter.close(device->presenter.context);
    }
    FreeBackBuffer(device);
    DropSystemReference(device->system);
    delete device;
}

void Whole(const Device* device, RectList& list)
{
    list.count = 1;
    list.rects[0] = PixelRect{0, 0, device->width, device->height};
}

// Draws straight into the presenter's memory when it has some to lend: no copy per frame. Both
// are black, so nothing that was drawn is lost.
void BorrowFrameMemory(Device* device)
{
    if (!device->hasPresenter || device->presenter.frameMemory == nullptr) return;
    uint32_t* memory = device->presenter.frameMemory(device->presenter.context);
    if (memory == nullptr || device->pixelsBorrowed) return;
    delete[] device->pixels;
    device->pixels = memory;
    device->pixelsBorrowed = true;
}

}  // namespace

void AddRect(RectList& list, const PixelRect& r)
{
    PixelRect merged = r;
    // Two rectangles become their bounds when those cost no more to clear and to send than the
    // two apart (a spot that moved a little, a line of glyphs); the bounds may now meet
    // another, so look again.
    for (bool joined = true; joined;) {
        joined = false;
        for (uint32_t i = 0; i < list.count; ++i) {
            const PixelRect& other = list.rects[i];
            const PixelRect bounds = Bounds(merged, other);
            if (Area(bounds) <= Area(merged) + Area(other)) {
                merged = bounds;
                list.rects[i] = list.rects[--list.count];
                joined = true;
                break;
            }
        }
    }
    if (list.count == MaxRects) {
        for (uint32_t i = 0; i < list.count; ++i) merged = Bounds(merged, list.rects[i]);
        list.count = 0;
    }
    list.rects[list.count++] = merged;
}

bool AllocateBackBuffer(Device* device, int32_t width, int32_t height)
{
    const size_t pixelCount = static_cast<size_t>(width) * static_cast<size_t>(height);
    // The column tables and resampled rows go on to the next multiple of 8 pixels.
    const auto columns = static_cast<size_t>(width) + 8;
    Device made{};
    made.pixels = new (std::nothrow) uint32_t[pixelCount]();
    made.columnIndex = new (std::nothrow) int32_t[columns]();
    made.columnWeight = new (std::nothrow) uint16_t[4 * columns]();
    made.columnOffset = new (std::nothrow) int32_t[columns]();
    made.columnGroupBase = new (std::nothrow) int32_t[columns / 8 + 1]();
    made.resampledRows[0] = new (std::nothrow) uint32_t[columns]();
    made.resampledRows[1] = new (std::nothrow) uint32_t[columns]();
    if (made.pixels == nullptr || made.columnIndex == nullptr || made.columnWeight == nullptr ||
        made.columnOffset == nullptr || made.columnGroupBase == nullptr ||
        made.resampledRows[0] == nullptr || made.resampledRows[1] == nullptr) {
        FreeBackBuffer(&made);
        return false;
    }
    FreeBackBuffer(device);
    device->pixels = made.pixels;
    device->columnIndex = made.columnIndex;
    device->columnWeight = made.columnWeight;
    device->columnOffset = made.columnOffset;
    device->columnGroupBase = made.columnGroupBase;
    device->resampledRows[0] = made.resampledRows[0];
    device->resampledRows[1] = made.resampledRows[1];
    device->width = width;
    device->height = height;
    // All black now; the first Present shows all of it.
    device->plainKnown = true;
    device->plainColor = 0;
    device->drawn.count = 0;
    Whole(device, device->changed);
    device->presented.count = 0;
    device->drawnSincePresent = false;
    return true;
}

void FreeBackBuffer(Device* device)
{
    if (!device->pixelsBorrowed) delete[] device->pixels;
    device->pixelsBorrowed = false;
    delete[] device->columnIndex;
    delete[] device->columnWeight;
    delete[] device->columnOffset;
    delete[] device->columnGroupBase;
    delete[] device->resampledRows[0];
    delete[] device->resampledRows[1];
    device->pixels = nullptr;
    device->columnIndex = nullptr;
    device->columnWeight = nullptr;
    device->columnOffset = nullptr;
    device->columnGroupBase = nullptr;
    device->resampledRows[0] = device->resampledRows[1] = nullptr;
}

void FillRect(Device* device, const PixelRect& r, uint32_t color)
{
    const size_t count = static_cast<size_t>(r.right - r.left);
    for (int32_t y = r.top; y < r.bottom; ++y) {
        uint32_t* row = device->pixels + static_cast<size_t>(y) * device->width + r.left;
        if (color == 0) {
            std::memset(row, 0, count * sizeof(uint32_t));
        } else {
            std::fill(row, row + count, color);
        }
    }
}

void SetPresenterOpener(PresenterOpener opener, void* user)
{
    Opener = opener;
    OpenerUser = user;
}

void SetAdapterDisplayMode(const DisplayMode& mode)
{
    if (mode.width == 0 || mode.height == 0) return;
    AdapterMode = mode;
}

RenderSystem* CreateRenderSystem(uint32_t sdkVersion)
{
    if (sdkVersion != RenderSdkVersion) return nullptr;
    return reinterpret_cast<RenderSystem*>(new (std::nothrow) System{1});
}

void Release(RenderSystem* system)
{
    if (system != nullptr) DropSystemReference(FromHandle(system));
}

RenderResult GetAdapterDisplayMode(RenderSystem* system, uint32_t adapter, DisplayMode& mode)
{
    return emulated::AdapterDisplayMode(system, adapter, AdapterMode, mode);
}

uint32_t GetAdapterModeCount(RenderSystem* system, uint32_t adapter)
{
    return emulated::AdapterModeCount(system, adapter);
}

RenderResult EnumAdapterModes(RenderSystem* system, uint32_t adapter, uint32_t index,
                              DisplayMode& mode)
{
    return emulated::AdapterMode(system, adapter, index, AdapterMode, mode);
}

RenderResult GetDeviceCaps(RenderSystem* system, uint32_t adapter, uint32_t deviceType,
                           uint32_t& devCaps)
{
    return emulated::DeviceCaps(system, adapter, deviceType, devCaps);
}

RenderResult CreateDevice(RenderSystem* systemHandle, uint32_t adapter, uint32_t deviceType,
                          NativeWindow focusWindow, uint32_t behaviorFlags,
                          const PresentParameters& params, RenderDevice*& device)
{
    device = nullptr;
    const RenderResult checked = emulated::CheckAdapter(systemHandle, adapter, deviceType);
    if (checked != RenderOk) return checked;
    const uint32_t processing =
        behaviorFlags & (CreateSoftwareVertexProcessing | CreateHardwareVertexProcessing |
                         CreateMixedVertexProcessing);
    if (processing != CreateSoftwareVertexProcessing &&
        processing != CreateHardwareVertexProcessing && processing != CreateMixedVertexProcessing) {
        return RenderErrorInvalidCall;
    }
    // Swap effects: discard 1, flip 2, copy 3, copy at the vertical blank 4.
    if (params.backBufferCount > 3 || params.swapEffect < 1 || params.swapEffect > 4) {
        return RenderErrorInvalidCall;
    }
    uint32_t width = params.backBufferWidth;
    uint32_t height = params.backBufferHeight;
    uint32_t format = params.backBufferFormat;
    if (params.windowed == 0 && (width == 0 || height == 0 || format == FormatUnknown)) {
        return RenderErrorInvalidCall;
    }
    // A windowed device without a size or format takes the screen's.
    if (width == 0) width = AdapterMode.width;
    if (height == 0) height = AdapterMode.height;
    if (format == FormatUnknown) format = AdapterMode.format;
    if ((format != FormatX8R8G8B8 && format != FormatA8R8G8B8) || width > MaxBackBufferSide ||
        height > MaxBackBufferSide) {
        return RenderErrorInvalidCall;
    }
    if (params.enableAutoDepthStencil != 0 && !IsDepthFormat(params.autoDepthStencilFormat)) {
        return RenderErrorInvalidCall;
    }
    const NativeWindow window = params.deviceWindow != 0 ? params.deviceWindow : focusWindow;
    if (window != 0 && Opener == nullptr) return RenderErrorNotAvailable;

    Device* created = new (std::nothrow) Device{};
    if (created == nullptr) return RenderErrorOutOfVideoMemory;
    System* system = FromHandle(systemHandle);
    created->system = system;
    ++system->references;
    created->params = params;
    created->params.backBufferWidth = width;
    created->params.backBufferHeight = height;
    created->params.backBufferFormat = format;
    created->hasAlpha = format == FormatA8R8G8B8;
    created->hasDepth = params.enableAutoDepthStencil != 0;
    if (!AllocateBackBuffer(created, static_cast<int32_t>(width), static_cast<int32_t>(height))) {
        DestroyDevice(created);
        return RenderErrorOutOfVideoMemory;
    }
    SetDefaultStates(created);
    if (window != 0) {
        Presenter presenter{};
        if (!Opener(OpenerUser, window, created->width, created->height, presenter) ||
            presenter.show == nullptr) {
            DestroyDevice(created);
            return RenderErrorNotAvailable;
        }
        created->presenter = presenter;
        created->hasPresenter = true;
        BorrowFrameMemory(created);
    }
    device = ToHandle(created);
    return RenderOk;
}

void Release(RenderDevice* device)
{
    if (device != nullptr) DestroyDevice(FromHandle(device));
}

RenderResult TestCooperativeLevel(RenderDevice* device)
{
    return device != nullptr ? RenderOk : RenderErrorInvalidCall;
}

RenderResult Present(RenderDevice* handle)
{
    Device* device = FromHandle(handle);
    if (device == nullptr || device->inScene) return RenderErrorInvalidCall;
    device->presented = device->changed;
    device->changed.count = 0;
    device->drawnSincePresent = false;
    if (!device->hasPresenter || device->presented.count == 0) return RenderOk;
    const bool shown = device->presenter.show(device->presenter.context, device->pixels,
                                              device->width, device->width, device->height,
                                              device->presented.rects, device->presented.count);
    return shown ? RenderOk : RenderErrorInvalidCall;
}

RenderResult ReadPresentedFrame(RenderDevice* handle, uint8_t* pixels, int32_t pitch)
{
    Device* device = FromHandle(handle);
    if (device == nullptr || pixels == nullptr || pitch < 4 * device->width || pitch % 4 != 0 ||
        device->drawnSincePresent) {
        return RenderErrorInvalidCall;
    }
    const uint32_t alpha = device->hasAlpha ? 0 : 0xFF000000u;
    for (int32_t y = 0; y < device->height; ++y) {
        const uint32_t* source = device->pixels + static_cast<size_t>(y) * device->width;
        uint8_t* out = pixels + static_cast<size_t>(y) * static_cast<size_t>(pitch);
        for (int32_t x = 0; x < device->width; ++x) {
            const uint32_t p = source[x] | alpha;
            out[4 * x] = static_cast<uint8_t>(p >> 16);
            out[4 * x + 1] = static_cast<uint8_t>(p >> 8);
            out[4 * x + 2] = static_cast<uint8_t>(p);
            out[4 * x + 3] = static_cast<uint8_t>(p >> 24);
        }
    }
    return RenderOk;
}

uint32_t PresentedRects(RenderDevice* handle, PixelRect* rects, uint32_t capacity)
{
    Device* device = FromHandle(handle);
    if (device == nullptr) return 0;
    const uint32_t count = device->presented.count;
    if (rects != nullptr) std::copy_n(device->presented.rects, std::min(count, capacity), rects);
    return count;
}

bool GetPresenter(RenderDevice* handle, Presenter& presenter)
{
    Device* device = FromHandle(handle);
    if (device == nullptr || !device->hasPresenter) return false;
    presenter = device->presenter;
    return true;
}

RenderResult GetBackBuffer(RenderDevice* handle, const uint32_t*& pixels, int32_t& pitch,
                           int32_t& width, int32_t& height)
{
    Device* device = FromHandle(handle);
    if (device == nullptr) return RenderErrorInvalidCall;
    pixels = device->pixels;
    pitch = device->width;
    width = device->width;
    height = device->height;
    return RenderOk;
}

RenderResult ResizeBackBuffer(RenderDevice* handle, uint32_t width, uint32_t height)
{
    Device* device = FromHandle(handle);
    if (device == nullptr || device->inScene || width == 0 || height == 0 ||
        width > MaxBackBufferSide || height > MaxBackBufferSide) {
        return RenderErrorInvalidCall;
    }
    if (static_cast<int32_t>(width) == device->width &&
        static_cast<int32_t>(height) == device->height) {
        return RenderOk;
    }
    if (!AllocateBackBuffer(device, static_cast<int32_t>(width), static_cast<int32_t>(height))) {
        return RenderErrorOutOfVideoMemory;
    }
    device->params.backBufferWidth = width;
    device->params.backBufferHeight = height;
    if (device->hasPresenter && device->presenter.resize != nullptr &&
        !device->presenter.resize(device->presenter.context, device->width, device->height)) {
        return RenderErrorNotAvailable;
    }
    BorrowFrameMemory(device);
    return RenderOk;
}

RenderResult GetViewport(RenderDevice* handle, Viewport& viewport)
{
    Device* device = FromHandle(handle);
    if (device == nullptr) return RenderErrorInvalidCall;
    viewport = Viewport{
        0,    0,   static_cast<uint32_t>(device->width), static_cast<uint32_t>(device->height),
        0.0f, 1.0f};
    return RenderOk;
}

}  // namespace cpu
