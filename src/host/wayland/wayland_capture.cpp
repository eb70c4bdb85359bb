#include "host/wayland/wayland_capture.h"

#include <poll.h>
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>

#include "support/posix/monotonic_clock.h"
#include "surface/height_field.h"
#include "surface/picture/desktop_source.h"
#include "wlr-screencopy-unstable-v1-client-protocol.h"

namespace {

struct Copy {
    wl_shm* shm = nullptr;
    zwlr_screencopy_frame_v1* frame = nullptr;
    uint32_t version = 1;
    uint32_t format = 0;
    int32_t width = 0;
    int32_t height = 0;
    int32_t stride = 0;
    bool offered = false;  // a wl_shm buffer we can read
    bool asked = false;
    bool yInverted = false;
    bool ready = false;
    bool failed = false;
    int fd = -1;
    void* memory = nullptr;
    size_t bytes = 0;
    wl_buffer* buffer = nullptr;
};

bool Readable(uint32_t format)
{
    return format == WL_SHM_FORMAT_XRGB8888 || format == WL_SHM_FORMAT_ARGB8888 ||
           format == WL_SHM_FORMAT_XBGR8888 || format == WL_SHM_FORMAT_ABGR8888;
}

void AskForCopy(Copy& c)
{
    if (c.asked || !c.offered) {
        if (!c.offered) c.failed = true;
        return;
    }
    c.asked = true;
    c.bytes = static_cast<size_t>(c.stride) * static_cast<size_t>(c.height);
    c.fd = memfd_create("tavrel-desktop", MFD_CLOEXEC);
    if (c.fd < 0 || ftruncate(c.fd, static_cast<off_t>(c.bytes)) != 0) {
        c.failed = true;
        return;
    }
    c.memory = mmap(nullptr, c.bytes, PROT_READ | PROT_WRITE, MAP_SHARED, c.fd, 0);
    if (c.memory == MAP_FAILED) {
        c.memory = nullptr;
        c.failed = true;
        return;
    }
    wl_shm_pool* pool = wl_shm_create_pool(c.shm, c.fd, static_cast<int32_t>(c.bytes));
    c.buffer = wl_shm_pool_create_buffer(pool, 0, c.width, c.height, c.stride, c.format);
    wl_shm_pool_destroy(pool);
    zwlr_screencopy_frame_v1_copy(c.frame, c.buffer);
}

void OnBuffer(void* data, zwlr_screencopy_frame_v1*, uint32_t format, uint32_t width,
              uint32_t height, uint32_t stride)
{
    auto& c = *static_cast<Copy*>(data);
    if (c.offered || !Readable(format) || width == 0 || height == 0 ||
        width > uint32_t{MaxDesktopSide} || height > uint32_t{MaxDesktopSide} ||
        stride < 4 * width) {
        return;
    }
    c.offered = true;
    c.format = format;
    c.width = static_cast<int32_t>(width);
    c.height = static_cast<int32_t>(height);
    c.stride = static_cast<int32_t>(stride);
    // Before version 3 nothing says the list is over: the first usable one it is.
    if (c.version < 3) AskForCopy(c);
}

void OnFlags(void* data, zwlr_screencopy_frame_v1*, uint32_t flags)
{
    static_cast<Copy*>(data)->yInverted = (flags & ZWLR_SCREENCOPY_FRAME_V1_FLAGS_Y_INVERT) != 0;
}

void OnReady(void* data, zwlr_screencopy_frame_v1*, uint32_t, uint32_t, uint32_t)
{
    static_cast<Copy*>(data)->ready = true;
}

void OnFailed(void* data, zwlr_screencopy_frame_v1*)
{
    static_cast<Copy*>(data)->failed = true;
}

void OnDamage(void*, zwlr_screencopy_frame_v1*, uint32_t, uint32_t, uint32_t, uint32_t) {}

void OnDmabuf(void*, zwlr_screencopy_frame_v1*, uint32_t, uint32_t, uint32_t) {}

void OnBufferDone(void* data, zwlr_screencopy_frame_v1*)
{
    AskForCopy(*static_cast<Copy*>(data));
}

const zwlr_screencopy_frame_v1_listener FrameListener = {
    OnBuffer, OnFlags, OnReady, OnFailed, OnDamage, OnDmabuf, OnBufferDone,
};

int64_t NowMs()
{
    return MonotonicNanoseconds() / 1000000;
}

void ToSnapshot(const Copy& c, DesktopSnapshot& snapshot)
{
    const size_t stride = snapshot.Reset(c.width, c.height);
    const bool redFirst = c.format == WL_SHM_FORMAT_XBGR8888 || c.format == WL_SHM_FORMAT_ABGR8888;
    for (int32_t row = 0; row < c.height; ++row) {
        const auto* from = reinterpret_cast<const uint32_t*>(static_cast<const uint8_t*>(c.memory) +
                                                             static_cast<size_t>(row) * c.stride);
        // The snapshot is bottom row first; the copy is top first unless inverted.
        const int32_t to = c.yInverted ? row : c.height - 1 - row;
        uint8_t* out = snapshot.pixels.data() + static_cast<size_t>(to) * stride;
        for (int32_t x = 0; x < c.width; ++x) {
            const uint32_t p = from[x];
            const auto low = static_cast<uint8_t>(p);
            const auto high = static_cast<uint8_t>(p >> 16);
            out[3 * x] = redFirst ? high : low;
            out[3 * x + 1] = static_cast<uint8_t>(p >> 8);
            out[3 * x + 2] = redFirst ? low : high;
        }
    }
}

}  // namespace

bool CopyOutputPicture(wl_display* display, wl_shm* shm, zwlr_screencopy_manager_v1* manager,
                       wl_output* output, int32_t timeoutMs, int cancelFd,
                       DesktopSnapshot& snapshot, std::string& reason)
{
    Copy c;
    c.shm = shm;
    c.version = zwlr_screencopy_manager_v1_get_version(manager);
    c.frame = zwlr_screencopy_manager_v1_capture_output(manager, 0, output);
    zwlr_screencopy_frame_v1_add_listener(c.frame, &FrameListener, &c);
    const int64_t deadline = NowMs() + timeoutMs;
    bool cancelled = false;
    bool broken = false;
    while (!c.ready && !c.failed && !cancelled && !broken) {
        if (wl_display_dispatch_pending(display) < 0 || wl_display_flush(display) < 0) {
            broken = true;
            break;
        }
        if (c.ready || c.failed) break;
        const int64_t left = deadline - NowMs();
        if (left <= 0) break;
        if (wl_display_prepare_read(display) != 0) continue;
        pollfd waits[2] = {{wl_display_get_fd(display), POLLIN, 0}, {cancelFd, POLLIN, 0}};
        poll(waits, cancelFd >= 0 ? 2 : 1, static_cast<int>(left));
        if ((waits[0].revents & POLLIN) != 0) {
            if (wl_display_read_events(display) < 0) broken = true;
        } else {
            wl_display_cancel_read(display);
            if ((waits[0].revents & (POLLHUP | POLLERR)) != 0) broken = true;
        }
        cancelled = (waits[1].revents & POLLIN) != 0;
    }
    const bool taken = c.ready && c.memory != nullptr;
    if (taken) ToSnapshot(c, snapshot);
    if (!taken) {
        reason = broken      ? "the connection to the compositor failed during the copy"
                 : c.failed  ? "the compositor gave no copy of the output"
                 : cancelled ? "ended while waiting for the copy of the output"
                             : "the compositor did not answer the copy of the output in time";
    }
    zwlr_screencopy_frame_v1_destroy(c.frame);
    if (c.buffer != nullptr) wl_buffer_destroy(c.buffer);
    if (c.memory != nullptr) munmap(c.memory, c.bytes);
    if (c.fd >= 0) close(c.fd);
    return taken;
}
