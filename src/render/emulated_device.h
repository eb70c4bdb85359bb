#pragma once

// What the back ends that carry out the drawing operations themselves (OpenGL, the processor)
// share: one adapter with one display mode, the argument checks of the two locks, and the lists
// through which a device knows its textures and vertex buffers. Both must refuse and answer
// alike, so that the saver cannot tell which one it was given.

#include <cstdint>

#include "render/device.h"

namespace emulated {

inline RenderResult AdapterDisplayMode(const void* system, uint32_t adapter,
                                       const DisplayMode& adapterMode, DisplayMode& mode)
{
    if (system == nullptr || adapter != DefaultAdapter) return RenderErrorInvalidCall;
    mode = adapterMode;
    return RenderOk;
}

inline uint32_t AdapterModeCount(const void* system, uint32_t adapter)
{
    return (system != nullptr && adapter == DefaultAdapter) ? 1 : 0;
}

inline RenderResult AdapterMode(const void* system, uint32_t adapter, uint32_t index,
                                const DisplayMode& adapterMode, DisplayMode& mode)
{
    if (index != 0) return RenderErrorInvalidCall;
    return AdapterDisplayMode(system, adapter, adapterMode, mode);
}

// The adapter and device type a device is asked for: the one adapter, and HAL only.
inline RenderResult CheckAdapter(const void* system, uint32_t adapter, uint32_t deviceType)
{
    if (system == nullptr || adapter != DefaultAdapter) return RenderErrorInvalidCall;
    return deviceType == DeviceTypeHal ? RenderOk : RenderErrorNotAvailable;
}

// Hardware transform and lighting on either back end, so that the settings offer the same
// choice whichever draws.
inline RenderResult DeviceCaps(const void* system, uint32_t adapter, uint32_t deviceType,
                               uint32_t& devCaps)
{
    const RenderResult checked = CheckAdapter(system, adapter, deviceType);
    if (checked == RenderOk) devCaps = DevCapsHwTransformAndLight;
    return checked;
}

// The area a texture lock covers: the whole texture, or `rect` (left, top, right, bottom) when
// it lies inside and is not empty. False when it does not.
inline bool TextureLockArea(const int32_t* rect, uint32_t width, uint32_t height, int32_t area[4])
{
    const auto w = static_cast<int32_t>(width);
    const auto h = static_cast<int32_t>(height);
    if (rect == nullptr) {
        area[0] = area[1] = 0;
        area[2] = w;
        area[3] = h;
        return true;
    }
    if (rect[0] < 0 || rect[1] < 0 || rect[0] >= rect[2] || rect[1] >= rect[3] || rect[2] > w ||
        rect[3] > h) {
        return false;
    }
    for (int i = 0; i < 4; ++i) area[i] = rect[i];
    return true;
}

// The end of a vertex buffer lock of `size` bytes from `offset` (0: to the buffer's end). False
// when it does not fit, overflow included.
inline bool VertexLockEnd(uint32_t offset, uint32_t size, uint32_t length, uint32_t& end)
{
    if (offset > length) return false;
    end = size == 0 ? length : offset + size;
    return end >= offset && end <= length;
}

// A device's resources in a list through their own `previous` and `next`, newest first.
template <class Resource>
void LinkFirst(Resource*& head, Resource* resource)
{
    resource->next = head;
    if (head != nullptr) head->previous = resource;
    head = resource;
}

template <class Resource>
void Unlink(Resource*& head, Resource* resource)
{
    if (resource->previous != nullptr)
        resource->previous->next = resource->next;
    else
        head = resource->next;
    if (resource->next != nullptr) resource->next->previous = resource->previous;
    resource->previous = resource->next = nullptr;
}

}  // namespace emulated
