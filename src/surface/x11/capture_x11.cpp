#include "surface/x11/capture_x11.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

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

bool ReadDrawable(Display* display, Drawable drawable, int32_t width, int32_t height,
                  ScreenPixelLayout layout, DesktopSnapshot& snapshot, std::string& reason)
{
    XImage* image = XGetImage(display, drawable, 0, 0, static_cast<unsigned>(width),
                              static_cast<unsigned>(height), AllPlanes, ZPixmap);
    if (image == nullptr) {
        reason = "the screen could not be read";
        return false;
    }
    layout.bitsPerPixel = static_cast<uint32_t>(image->bits_per_pixel);
    layout.mostSignificantFirst = image->byte_order == MSBFirst;
    const bool converted =
        ScreenPixelsToSnapshot(reinterpret_cast<const uint8_t*>(image->data), image->width,
                               image->height, image->bytes_per_line, layout, snapshot, reason);
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
    return ReadDrawable(display, window, attributes.width, attributes.height, layout, snapshot,
                        reason);
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
    const Pixmap pixmap = XCreatePixmap(display, window, width, height,
                                        static_cast<unsigned>(attributes.depth));
    // Black where the helper paints nothing (a picture of another shape is centred on it).
    const GC gc = XCreateGC(display, pixmap, 0, nullptr);
    XSetForeground(display, gc, 0);
    XFillRectangle(display, pixmap, gc, 0, 0, width, height);
    XFreeGC(display, gc);
    // The helper is another client: the pixmap must exist on the server before it starts.
    XSync(display, False);

    const std::string windowId = WindowName(window);
    const std::string pixmapId = WindowName(pixmap);
    const char* const argv[] = {PictureHelperProgram, windowId.c_str(), pixmapId.c_str(),
                                nullptr};
    int status = 0;
    const ChildOutcome outcome = RunChildProcess(argv, timeoutMs, cancelFd, status);
    bool grabbed = false;
    const std::string helper = PictureHelperProgram;
    switch (outcome) {
    case ChildOutcome::Exited:
        if (status == 0) {
            grabbed = ReadDrawable(display, pixmap, attributes.width, attributes.height, layout,
                                   snapshot, reason);
        } else {
            reason = helper + " failed (status " + std::to_string(status) + ")";
        }
        break;
    case ChildOutcome::NotFound:
        reason = helper + " is not on PATH (package xscreensaver-data)";
        break;
    case ChildOutcome::TimedOut:
        reason = helper + " gave no picture within " + std::to_string(timeoutMs / 1000) +
                 " seconds";
        break;
    case ChildOutcome::Cancelled:
        reason = "the picture was not waited for: the saver is ending";
        break;
    }
    XFreePixmap(display, pixmap);
    XSync(display, False);
    return grabbed;
}
