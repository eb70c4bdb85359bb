#include "surface/x11/capture_x11.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <sys/ipc.h>
#include <sys/shm.h>

#include <cstdio>

#include "support/posix/child_process.h"
#include "surface/x11/screen_pixels.h"

namespace {

std::string WindowName(unsigned long window)
{
    char name[32];
    std::snprintf(name, sizeof name, "0x%lx", window);
    return name;
}

// The channel masks of the window's visual; only TrueColor pixels are colours by themselves.
bool VisualLayout(const XWindowAttributes& attributes, ScreenPixelLayout& layout,
                  std::string& reason)
{
    const Visual* visual = attributes.visual;
    if (visual == nullptr || visual->c_class != TrueColor) {
        reason = "the screen's visual is not TrueColor";
        return false;
    }
    layout.redMask = static_cast<uint32_t>(visual->red_mask);
    layout.greenMask = static_cast<uint32_t>(visual->green_mask);
    layout.blueMask = static_cast<uint32_t>(visual->blue_mask);
    return true;
}

bool Convert(const XImage* image, ScreenPixelLayout layout, DesktopSnapshot& snapshot,
             std::string& reason)
{
    layout.bitsPerPixel = static_cast<uint32_t>(image->bits_per_pixel);
    layout.mostSignificantFirst = image->byte_order == MSBFirst;
    return ScreenPixelsToSnapshot(reinterpret_cast<const uint8_t*>(image->data), image->width,
                                  image->height, image->bytes_per_line, layout, snapshot, reason);
}

int XErrorsSeen = 0;

int CountXError(Display*, XErrorEvent*)
{
    ++XErrorsSeen;
    return 0;
}

// Through a shared memory segment, where the server offers one: the pixels of a 1920 x 1080
// screen then need not go through the socket (8 MB, a good part of a second on a busy
// machine). False, with nothing left behind, where that cannot be done (a remote display).
bool ReadThroughSharedMemory(Display* display, Drawable drawable,
                             const XWindowAttributes& attributes, int32_t width, int32_t height,
                             const ScreenPixelLayout& layout, DesktopSnapshot& snapshot,
                             std::string& reason)
{
    if (XShmQueryExtension(display) == False) return false;
    XShmSegmentInfo segment{};
    segment.shmid = -1;
    XImage* image =
        XShmCreateImage(display, attributes.visual, static_cast<unsigned>(attributes.depth),
                        ZPixmap, nullptr, &segment, static_cast<unsigned>(width),
                        static_cast<unsigned>(height));
    if (image == nullptr) return false;
    const size_t bytes = static_cast<size_t>(image->bytes_per_line) * static_cast<size_t>(height);
    segment.shmid = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
    void* memory =
        segment.shmid >= 0 ? shmat(segment.shmid, nullptr, 0) : reinterpret_cast<void*>(-1);
    if (memory == reinterpret_cast<void*>(-1)) {
        if (segment.shmid >= 0) shmctl(segment.shmid, IPC_RMID, nullptr);
        XDestroyImage(image);
        return false;
    }
    segment.shmaddr = image->data = static_cast<char*>(memory);
    segment.readOnly = False;

    // The server may refuse the segment (another machine, another namespace): its errors are
    // counted here rather than passed on.
    XSync(display, False);
    XErrorsSeen = 0;
    const auto previous = XSetErrorHandler(CountXError);
    const bool attached = XShmAttach(display, &segment) != False;
    XSync(display, False);
    // Gone as soon as both sides let go, whatever happens next.
    shmctl(segment.shmid, IPC_RMID, nullptr);
    bool read = false;
    if (attached && XErrorsSeen == 0) {
        read = XShmGetImage(display, drawable, image, 0, 0, AllPlanes) != False && XErrorsSeen == 0;
        XShmDetach(display, &segment);
        XSync(display, False);
    }
    XSetErrorHandler(previous);
    const bool converted = read && Convert(image, layout, snapshot, reason);
    image->data = nullptr;
    XDestroyImage(image);
    shmdt(memory);
    return converted;
}

bool ReadDrawable(Display* display, Drawable drawable, const XWindowAttributes& attributes,
                  int32_t width, int32_t height, const ScreenPixelLayout& layout,
                  DesktopSnapshot& snapshot, std::string& reason)
{
    if (ReadThroughSharedMemory(display, drawable, attributes, width, height, layout, snapshot,
                                reason)) {
        return true;
    }
    XImage* image = XGetImage(display, drawable, 0, 0, static_cast<unsigned>(width),
                              static_cast<unsigned>(height), AllPlanes, ZPixmap);
    if (image == nullptr) {
        reason = "the screen could not be read";
        return false;
    }
    const bool converted = Convert(image, layout, snapshot, reason);
    XDestroyImage(image);
    return converted;
}

bool ReadAttributes(Display* display, Window window, XWindowAttributes& attributes,
                    ScreenPixelLayout& layout, std::string& reason)
{
    if (XGetWindowAttributes(display, window, &attributes) == 0) {
        reason = "there is no window " + WindowName(window);
        return false;
    }
    return VisualLayout(attributes, layout, reason);
}

}  // namespace

bool GrabWindowPixels(_XDisplay* display, unsigned long window, DesktopSnapshot& snapshot,
                      std::string& reason)
{
    snapshot = DesktopSnapshot{};
    XWindowAttributes attributes{};
    ScreenPixelLayout layout;
    if (!ReadAttributes(display, window, attributes, layout, reason)) return false;
    return ReadDrawable(display, window, attributes, attributes.width, attributes.height, layout,
                        snapshot, reason);
}

bool GrabWithPictureHelper(_XDisplay* display, unsigned long window, int32_t timeoutMs,
                           int cancelFd, DesktopSnapshot& snapshot, std::string& reason)
{
    snapshot = DesktopSnapshot{};
    XWindowAttributes attributes{};
    ScreenPixelLayout layout;
    if (!ReadAttributes(display, window, attributes, layout, reason)) return false;

    const auto width = static_cast<unsigned>(attributes.width);
    const auto height = static_cast<unsigned>(attributes.height);
    const Pixmap pixmap =
        XCreatePixmap(display, window, width, height, static_cast<unsigned>(attributes.depth));
    // Black where the helper paints nothing (a picture of another shape is centred on it).
    const GC gc = XCreateGC(display, pixmap, 0, nullptr);
    XSetForeground(display, gc, 0);
    XFillRectangle(display, pixmap, gc, 0, 0, width, height);
    XFreeGC(display, gc);
    // The helper is another client: the pixmap must exist on the server before it starts.
    XSync(display, False);

    const std::string windowId = WindowName(window);
    const std::string pixmapId = WindowName(pixmap);
    const char* const argv[] = {PictureHelperProgram, windowId.c_str(), pixmapId.c_str(), nullptr};
    int status = 0;
    const ChildOutcome outcome = RunChildProcess(argv, timeoutMs, cancelFd, status);
    bool grabbed = false;
    const std::string helper = PictureHelperProgram;
    switch (outcome) {
    case ChildOutcome::Exited:
        if (status == 0) {
            grabbed = ReadDrawable(display, pixmap, attributes, attributes.width, attributes.height,
                                   layout, snapshot, reason);
        } else {
            reason = helper + " failed (status " + std::to_string(status) + ")";
        }
        break;
    case ChildOutcome::NotFound:
        reason = helper + " is not on PATH (package xscreensaver-data)";
        break;
    case ChildOutcome::TimedOut:
        reason =
            helper + " gave no picture within " + std::to_string(timeoutMs / 1000) + " seconds";
        break;
    case ChildOutcome::Cancelled:
        reason = "the picture was not waited for: the saver is ending";
        break;
    }
    XFreePixmap(display, pixmap);
    XSync(display, False);
    return grabbed;
}
