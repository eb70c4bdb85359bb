#include "render/cpu/wayland/wayland_presenter.h"

#include <wayland-client.h>

#include <algorithm>
#include <new>

#include "render/cpu/wayland/shm_buffers.h"

struct WaylandPresenter {
    NativeWindow window;
    wl_shm* shm;
    wl_surface* surface;  // the one last committed to
    ShmBuffers* buffers;
    StaleRects unsent;  // damage of frames that found no free buffer
    wl_callback* frameCallback;
};

namespace {

wl_shm* PresenterShm = nullptr;
WaylandSurfaceOf SurfaceOf = nullptr;

void OnFrameDone(void* data, wl_callback* callback, uint32_t)
{
    auto* p = static_cast<WaylandPresenter*>(data);
    wl_callback_destroy(callback);
    if (p->frameCallback == callback) p->frameCallback = nullptr;
}

const wl_callback_listener FrameListener = {OnFrameDone};

void DropFrameCallback(WaylandPresenter* p)
{
    if (p->frameCallback != nullptr) wl_callback_destroy(p->frameCallback);
    p->frameCallback = nullptr;
}

bool Resize(void* context, int32_t width, int32_t height)
{
    auto* p = static_cast<WaylandPresenter*>(context);
    DestroyShmBuffers(p->buffers);
    p->buffers = nullptr;
    p->unsent.Clear();
    if (width <= 0 || height <= 0) return true;
    p->buffers = CreateShmBuffers(p->shm, width, height, 2);
    return p->buffers != nullptr;
}

bool Show(void* context, const uint32_t* pixels, int32_t pitch, int32_t width, int32_t height,
          const cpu::PixelRect* rects, uint32_t rectCount)
{
    auto* p = static_cast<WaylandPresenter*>(context);
    if (pixels == nullptr) return false;
    if (p->buffers == nullptr) return true;
    MarkChanged(p->buffers, rects, rectCount);
    for (uint32_t i = 0; i < rectCount; ++i) p->unsent.Add(rects[i]);
    wl_surface* surface = SurfaceOf != nullptr ? SurfaceOf(p->window) : nullptr;
    if (surface == nullptr) return true;
    ShmBuffer* buffer = FreeShmBuffer(p->buffers);
    // All are held: this frame's squares wait in the damage for the next one.
    if (buffer == nullptr) return true;
    const int32_t w = p->buffers->width;
    const int32_t h = p->buffers->height;
    CopyRects(pixels, pitch, buffer->pixels, std::min(w, width), std::min(h, height),
              buffer->stale);
    buffer->stale.Clear();
    if (surface != p->surface) {
        // A surface new to us has nothing of the frame yet.
        p->unsent.Clear();
        p->unsent.Add(cpu::PixelRect{0, 0, w, h});
        DropFrameCallback(p);
        p->surface = surface;
    }
    wl_surface_attach(surface, buffer->buffer, 0, 0);
    for (uint32_t i = 0; i < p->unsent.count; ++i) {
        const cpu::PixelRect& r = p->unsent.rects[i];
        wl_surface_damage_buffer(surface, r.left, r.top, r.right - r.left, r.bottom - r.top);
    }
    p->unsent.Clear();
    if (p->frameCallback == nullptr) {
        p->frameCallback = wl_surface_frame(surface);
        wl_callback_add_listener(p->frameCallback, &FrameListener, p);
    }
    wl_surface_commit(surface);
    buffer->held = true;
    return true;
}

void Close(void* context)
{
    auto* p = static_cast<WaylandPresenter*>(context);
    DropFrameCallback(p);
    // The surface may still show the last buffer; it goes with the buffer.
    DestroyShmBuffers(p->buffers);
    delete p;
}

bool Open(void*, NativeWindow window, int32_t width, int32_t height, cpu::Presenter& presenter)
{
    if (PresenterShm == nullptr) return false;
    auto* p = new (std::nothrow) WaylandPresenter{};
    if (p == nullptr) return false;
    p->window = window;
    p->shm = PresenterShm;
    if (!Resize(p, width, height)) {
        delete p;
        return false;
    }
    // No memory to lend: the device's back buffer is whole, a wl_shm buffer only once copied.
    presenter = cpu::Presenter{p, Show, Resize, Close, nullptr};
    return true;
}

}  // namespace

void UseWaylandPresenters(wl_shm* shm, WaylandSurfaceOf surfaceOf)
{
    PresenterShm = shm;
    SurfaceOf = surfaceOf;
    cpu::SetPresenterOpener(shm != nullptr ? Open : nullptr, nullptr);
}

WaylandPresenter* WaylandPresenterOf(const Renderer* renderer)
{
    cpu::Presenter presenter{};
    if (!cpu::GetPresenter(renderer, presenter) || presenter.show != Show) return nullptr;
    return static_cast<WaylandPresenter*>(presenter.context);
}

bool WaitingForCompositor(const WaylandPresenter* presenter)
{
    return presenter != nullptr && presenter->frameCallback != nullptr;
}
