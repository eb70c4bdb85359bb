// Frames for a Wayland surface in wl_shm buffers: a few of them, reused, each written only
// while the compositor does not hold it. Every buffer remembers which parts of the frame it
// missed since it was last written, so a frame costs the copy of what changed, not all of it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "render/cpu/cpu_device.h"

struct wl_shm;
struct wl_buffer;

// Rectangles that still need a copy (or damage). More than fit become their bounds.
struct StaleRects {
    static constexpr uint32_t Capacity = 32;
    cpu::PixelRect rects[Capacity];
    uint32_t count = 0;

    void Add(const cpu::PixelRect& r);
    void Clear() { count = 0; }
};

// Copies these rectangles of a frame (0x..RRGGBB words, pitch words a row), clipped to
// width x height, into `to` (width words a row).
void CopyRects(const uint32_t* from, int32_t pitch, uint32_t* to, int32_t width, int32_t height,
               const StaleRects& rects);

struct ShmBuffer {
    wl_buffer* buffer = nullptr;
    uint32_t* pixels = nullptr;  // width x height words, XRGB8888
    bool held = false;           // attached and not yet released by the compositor
    StaleRects stale;            // what it lacks of the latest frame
};

constexpr uint32_t MaxShmBuffers = 3;

struct ShmBuffers {
    wl_shm* shm = nullptr;
    int32_t width = 0;
    int32_t height = 0;
    uint32_t count = 0;
    ShmBuffer buffers[MaxShmBuffers];
    void* memory = nullptr;  // one mapping for all of them
    size_t bytes = 0;
    int fd = -1;  // kept for a third buffer, made when the compositor holds both
};

// `count` black buffers of width x height (1 or 2; a third is made when both are held). Null
// without memory for them or for an empty size.
ShmBuffers* CreateShmBuffers(wl_shm* shm, int32_t width, int32_t height, uint32_t count);
void DestroyShmBuffers(ShmBuffers* buffers);
// The frame changed in these rectangles: every buffer lacks them now.
void MarkChanged(ShmBuffers* buffers, const cpu::PixelRect* rects, uint32_t rectCount);
// A buffer the compositor does not hold, or null when it holds all it can have.
ShmBuffer* FreeShmBuffer(ShmBuffers* buffers);
