#include "render/cpu/wayland/shm_buffers.h"

#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>

#include <algorithm>
#include <cstring>
#include <new>

namespace {

cpu::PixelRect Bounds(const cpu::PixelRect& a, const cpu::PixelRect& b)
{
    return cpu::PixelRect{std::min(a.left, b.left), std::min(a.top, b.top),
                          std::max(a.right, b.right), std::max(a.bottom, b.bottom)};
}

bool Inside(const cpu::PixelRect& inner, const cpu::PixelRect& outer)
{
    return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
           inner.bottom <= outer.bottom;
}

void OnRelease(void* data, wl_buffer*)
{
    static_cast<ShmBuffer*>(data)->held = false;
}

const wl_buffer_listener ReleaseListener = {OnRelease};

size_t FrameBytes(int32_t width, int32_t height)
{
    return 4 * static_cast<size_t>(width) * static_cast<size_t>(height);
}

bool AddBuffer(ShmBuffers* b, size_t offset)
{
    const int32_t stride = 4 * b->width;
    wl_shm_pool* pool = wl_shm_create_pool(b->shm, b->fd, static_cast<int32_t>(b->bytes));
    if (pool == nullptr) return false;
    ShmBuffer& added = b->buffers[b->count];
    added = ShmBuffer{};
    added.buffer = wl_shm_pool_create_buffer(pool, static_cast<int32_t>(offset), b->width,
                                             b->height, stride, WL_SHM_FORMAT_XRGB8888);
    wl_shm_pool_destroy(pool);
    if (added.buffer == nullptr) return false;
    added.pixels = reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(b->memory) + offset);
    wl_buffer_add_listener(added.buffer, &ReleaseListener, &added);
    ++b->count;
    return true;
}

// Zero-filled shared memory the compositor can map: black in XRGB8888.
void* MapShared(size_t bytes, int& fd)
{
    fd = memfd_create("tavrel-frames", MFD_CLOEXEC);
    if (fd < 0) return nullptr;
    if (ftruncate(fd, static_cast<off_t>(bytes)) != 0) {
        close(fd);
        return nullptr;
    }
    void* memory = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (memory == MAP_FAILED) {
        close(fd);
        return nullptr;
    }
    return memory;
}

}  // namespace

void StaleRects::Add(const cpu::PixelRect& r)
{
    if (r.left >= r.right || r.top >= r.bottom) return;
    for (uint32_t i = 0; i < count; ++i) {
        if (Inside(r, rects[i])) return;
    }
    if (count == Capacity) {
        cpu::PixelRect all = r;
        for (uint32_t i = 0; i < count; ++i) all = Bounds(all, rects[i]);
        rects[0] = all;
        count = 1;
        return;
    }
    rects[count++] = r;
}

void CopyRects(const uint32_t* from, int32_t pitch, uint32_t* to, int32_t width, int32_t height,
               const StaleRects& rects)
{
    for (uint32_t i = 0; i < rects.count; ++i) {
        const cpu::PixelRect& r = rects.rects[i];
        const int32_t x0 = std::max(r.left, 0);
        const int32_t y0 = std::max(r.top, 0);
        const int32_t x1 = std::min(r.right, width);
        const int32_t y1 = std::min(r.bottom, height);
        if (x0 >= x1 || y0 >= y1) continue;
        for (int32_t y = y0; y < y1; ++y) {
            std::memcpy(to + static_cast<size_t>(y) * width + x0,
                        from + static_cast<size_t>(y) * pitch + x0,
                        4 * static_cast<size_t>(x1 - x0));
        }
    }
}

ShmBuffers* CreateShmBuffers(wl_shm* shm, int32_t width, int32_t height, uint32_t count)
{
    if (shm == nullptr || width <= 0 || height <= 0 || count == 0 || count > 2 ||
        FrameBytes(width, height) > size_t{1} << 30) {
        return nullptr;
    }
    auto* b = new (std::nothrow) ShmBuffers{};
    if (b == nullptr) return nullptr;
    b->shm = shm;
    b->width = width;
    b->height = height;
    // Room for the third from the start: its pool then maps the same memory.
    b->bytes = FrameBytes(width, height) * (count == 1 ? 1 : MaxShmBuffers);
    b->memory = MapShared(b->bytes, b->fd);
    if (b->memory == nullptr) {
        delete b;
        return nullptr;
    }
    for (uint32_t i = 0; i < count; ++i) {
        if (!AddBuffer(b, i * FrameBytes(width, height))) {
            DestroyShmBuffers(b);
            return nullptr;
        }
    }
    if (count == 1) {
        close(b->fd);
        b->fd = -1;
    }
    return b;
}

void DestroyShmBuffers(ShmBuffers* b)
{
    if (b == nullptr) return;
    for (uint32_t i = 0; i < b->count; ++i) wl_buffer_destroy(b->buffers[i].buffer);
    if (b->memory != nullptr) munmap(b->memory, b->bytes);
    if (b->fd >= 0) close(b->fd);
    delete b;
}

void MarkChanged(ShmBuffers* b, const cpu::PixelRect* rects, uint32_t rectCount)
{
    for (uint32_t i = 0; i < b->count; ++i) {
        for (uint32_t k = 0; k < rectCount; ++k) b->buffers[i].stale.Add(rects[k]);
    }
}

ShmBuffer* FreeShmBuffer(ShmBuffers* b)
{
    for (uint32_t i = 0; i < b->count; ++i) {
        if (!b->buffers[i].held) return &b->buffers[i];
    }
    if (b->fd < 0 || b->count == MaxShmBuffers) return nullptr;
    if (!AddBuffer(b, b->count * FrameBytes(b->width, b->height))) return nullptr;
    // It starts black: all of the frame is missing from it.
    ShmBuffer& added = b->buffers[b->count - 1];
    added.stale.Add(cpu::PixelRect{0, 0, b->width, b->height});
    return &added;
}
