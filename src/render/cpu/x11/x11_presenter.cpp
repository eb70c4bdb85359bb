#include "render/cpu/x11/x11_presenter.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <sys/ipc.h>
#include <sys/shm.h>

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <cstring>
#include <new>

#include "render/cpu/x11/x11_pixels.h"

struct X11Presenter {
    Display* display;
    Window window;
    GC gc;
    Visual* visual;
    int32_t depth;
    X11PixelLayout layout;
    bool allowSharedMemory;
    bool sharedMemory;  // the image below is in a segment the server has attached
    XShmSegmentInfo segment;
    XImage* image;  // width x height, or null for an empty window
    int32_t width;
    int32_t height;
    bool putPending;  // the server may still be reading the shared image
    bool lent;        // the device draws in the image itself (FrameMemory)
};

namespace {

Display* PresenterDisplay = nullptr;
X11PresenterOptions PresenterOptions{};

// Xlib reports errors to one process-wide handler; while a trap is set, they are counted here
// instead of ending the program.
int TrappedErrors = 0;

int CountError(Display*, XErrorEvent*)
{
    ++TrappedErrors;
    return 0;
}

struct ErrorTrap {
    Display* display;
    XErrorHandler previous;

    explicit ErrorTrap(Display* d) : display(d)
    {
        XSync(display, False);
        TrappedErrors = 0;
        previous = XSetErrorHandler(CountError);
    }
    // True when nothing failed since the trap was set.
    bool Clean()
    {
        XSync(display, False);
        return TrappedErrors == 0;
    }
    ~ErrorTrap()
    {
        XSync(display, False);
        XSetErrorHandler(previous);
    }
};

// MIT-SHM works only when the server can see our memory.
bool LocalServer(Display* display)
{
    const char* name = DisplayString(display);
    return name != nullptr &&
           (name[0] == ':' || std::strncmp(name, "unix:", 5) == 0 || name[0] == '/');
}

int32_t BitsPerPixel(Display* display, int32_t depth)
{
    int count = 0;
    XPixmapFormatValues* formats = XListPixmapFormats(display, &count);
    int32_t bits = 0;
    for (int i = 0; i < count; ++i) {
        if (formats[i].depth == depth) bits = formats[i].bits_per_pixel;
    }
    if (formats != nullptr) XFree(formats);
    return bits;
}

void WaitForServer(X11Presenter* p)
{
    // The server reads a shared image when it handles the put; once a round trip is done, it
    // has, and the memory is ours again.
    if (p->putPending) XSync(p->display, False);
    p->putPending = false;
}

void DestroyImage(X11Presenter* p)
{
    if (p->image == nullptr) return;
    WaitForServer(p);
    if (p->sharedMemory) {
        XShmDetach(p->display, &p->segment);
        XSync(p->display, False);
        XDestroyImage(p->image);
        shmdt(p->segment.shmaddr);
    } else {
        XDestroyImage(p->image);  // frees the pixels too
    }
    p->image = nullptr;
    p->sharedMemory = false;
}

bool CreateSharedImage(X11Presenter* p, int32_t width, int32_t height)
{
    XImage* image =
        XShmCreateImage(p->display, p->visual, static_cast<unsigned>(p->depth), ZPixmap, nullptr,
                        &p->segment, static_cast<unsigned>(width), static_cast<unsigned>(height));
    if (image == nullptr) return false;
    const size_t bytes = static_cast<size_t>(image->bytes_per_line) * static_cast<size_t>(height);
    p->segment.shmid = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
    if (p->segment.shmid < 0) {
        XDestroyImage(image);
        return false;
    }
    void* memory = shmat(p->segment.shmid, nullptr, 0);
    if (memory == reinterpret_cast<void*>(-1)) {
        shmctl(p->segment.shmid, IPC_RMID, nullptr);
        XDestroyImage(image);
        return false;
    }
    p->segment.shmaddr = image->data = static_cast<char*>(memory);
    p->segment.readOnly = False;
    bool attached = false;
    {
        ErrorTrap trap(p->display);
        attached = XShmAttach(p->display, &p->segment) != 0 && trap.Clean();
    }
    // Marked for removal now, the segment goes as soon as both sides let go of it.
    shmctl(p->segment.shmid, IPC_RMID, nullptr);
    if (!attached) {
        XDestroyImage(image);
        shmdt(memory);
        return false;
    }
    p->image = image;
    p->sharedMemory = true;
    return true;
}

bool CreatePlainImage(X11Presenter* p, int32_t width, int32_t height)
{
    const size_t bytes = 4 * static_cast<size_t>(width) * static_cast<size_t>(height);
    auto* data = static_cast<char*>(std::calloc(bytes, 1));
    if (data == nullptr) return false;
    p->image =
        XCreateImage(p->display, p->visual, static_cast<unsigned>(p->depth), ZPixmap, 0, data,
                     static_cast<unsigned>(width), static_cast<unsigned>(height), 32, 4 * width);
    if (p->image == nullptr) {
        std::free(data);
        return false;
    }
    return true;
}

bool CreateImage(X11Presenter* p, int32_t width, int32_t height)
{
    p->width = std::max(width, 0);
    p->height = std::max(height, 0);
    if (p->width == 0 || p->height == 0) return true;
    if (p->allowSharedMemory && XShmQueryExtension(p->display) && LocalServer(p->display) &&
        CreateSharedImage(p, p->width, p->height)) {
        return true;
    }
    return CreatePlainImage(p, p->width, p->height);
}

bool ShowThunk(void* context, const uint32_t* pixels, int32_t pitch, int32_t width, int32_t height,
               const cpu::PixelRect* rects, uint32_t rectCount)
{
    return ShowOnX11(static_cast<X11Presenter*>(context), pixels, pitch, width, height, rects,
                     rectCount);
}

// The image can be the device's back buffer when its pixels are the back buffer's words as they
// are: the usual depth-24 visual in this machine's byte order, rows without padding.
uint32_t* FrameMemory(void* context)
{
    auto* p = static_cast<X11Presenter*>(context);
    const X11PixelLayout& l = p->layout;
    const bool asTheyAre = l.redMask == 0xFF0000u && l.greenMask == 0xFF00u &&
                           l.blueMask == 0xFFu && l.opaqueBits == 0 &&
                           l.mostSignificantFirst == (std::endian::native == std::endian::big);
    if (p->image == nullptr || !asTheyAre || p->image->bytes_per_line != 4 * p->width) {
        return nullptr;
    }
    p->lent = true;
    return reinterpret_cast<uint32_t*>(p->image->data);
}

bool ResizeThunk(void* context, int32_t width, int32_t height)
{
    return ResizeX11Presenter(static_cast<X11Presenter*>(context), width, height);
}

void CloseThunk(void* context)
{
    CloseX11Presenter(static_cast<X11Presenter*>(context));
}

bool OpenForDevice(void*, NativeWindow window, int32_t width, int32_t height,
                   cpu::Presenter& presenter)
{
    if (PresenterDisplay == nullptr) return false;
    X11Presenter* opened =
        OpenX11Presenter(PresenterDisplay, window, width, height, PresenterOptions);
    if (opened == nullptr) return false;
    presenter = cpu::Presenter{opened, ShowThunk, ResizeThunk, CloseThunk, FrameMemory};
    return true;
}

}  // namespace

X11Presenter* OpenX11Presenter(Display* display, unsigned long window, int32_t width,
                               int32_t height, const X11PresenterOptions& options)
{
    if (display == nullptr || window == 0) return nullptr;
    XWindowAttributes attributes{};
    {
        ErrorTrap trap(display);
        if (XGetWindowAttributes(display, window, &attributes) == 0 || !trap.Clean()) {
            return nullptr;
        }
    }
    Visual* visual = attributes.visual;
    if (visual == nullptr || visual->c_class != TrueColor ||
        (attributes.depth != 24 && attributes.depth != 32) ||
        BitsPerPixel(display, attributes.depth) != 32) {
        return nullptr;
    }
    auto* p = new (std::nothrow) X11Presenter{};
    if (p == nullptr) return nullptr;
    p->display = display;
    p->window = window;
    p->visual = visual;
    p->depth = attributes.depth;
    p->allowSharedMemory = options.allowSharedMemory;
    p->layout = MakePixelLayout(static_cast<uint32_t>(visual->red_mask),
                                static_cast<uint32_t>(visual->green_mask),
                                static_cast<uint32_t>(visual->blue_mask), p->depth,
                                ImageByteOrder(display) == MSBFirst);
    {
        ErrorTrap trap(display);
        p->gc = XCreateGC(display, window, 0, nullptr);
        if (!trap.Clean()) p->gc = nullptr;
    }
    if (p->gc == nullptr || !CreateImage(p, width, height)) {
        CloseX11Presenter(p);
        return nullptr;
    }
    return p;
}

bool ResizeX11Presenter(X11Presenter* p, int32_t width, int32_t height)
{
    if (p == nullptr) return false;
    if (width == p->width && height == p->height) return true;
    DestroyImage(p);
    p->lent = false;
    return CreateImage(p, width, height);
}

namespace {

// Sends a rectangle of the image, already clipped to it.
void Put(X11Presenter* p, int32_t x, int32_t y, int32_t width, int32_t height)
{
    const auto w = static_cast<unsigned>(width);
    const auto h = static_cast<unsigned>(height);
    if (p->sharedMemory) {
        XShmPutImage(p->display, p->window, p->gc, p->image, x, y, x, y, w, h, False);
        p->putPending = true;
    } else {
        XPutImage(p->display, p->window, p->gc, p->image, x, y, x, y, w, h);
    }
}

// Once the device draws in the shared image itself, the next frame may start at once: the
// server must have read what it was sent by then. Otherwise that waits for the next show.
void ReleaseImage(X11Presenter* p)
{
    if (p->lent && p->putPending) {
        WaitForServer(p);
    } else {
        XFlush(p->display);
    }
}

}  // namespace

bool ShowOnX11(X11Presenter* p, const uint32_t* pixels, int32_t pitch, int32_t width,
               int32_t height, const cpu::PixelRect* rects, uint32_t rectCount)
{
    if (p == nullptr || pixels == nullptr) return false;
    if (p->image == nullptr) return true;  // an empty window shows nothing
    WaitForServer(p);
    const int32_t right = std::min(width, p->width);
    const int32_t bottom = std::min(height, p->height);
    XImage* image = p->image;
    const bool inPlace = pixels == reinterpret_cast<const uint32_t*>(image->data);
    for (uint32_t i = 0; i < rectCount; ++i) {
        const cpu::PixelRect& r = rects[i];
        const int32_t x0 = std::max(r.left, 0);
        const int32_t y0 = std::max(r.top, 0);
        const int32_t x1 = std::min(r.right, right);
        const int32_t y1 = std::min(r.bottom, bottom);
        if (x0 >= x1 || y0 >= y1) continue;
        for (int32_t y = y0; y < y1 && !inPlace; ++y) {
            ConvertPixels(pixels + static_cast<size_t>(y) * pitch + x0,
                          reinterpret_cast<uint8_t*>(image->data) +
                              static_cast<size_t>(y) * image->bytes_per_line + 4 * x0,
                          x1 - x0, p->layout);
        }
        Put(p, x0, y0, x1 - x0, y1 - y0);
    }
    ReleaseImage(p);
    return true;
}

bool RepaintX11(X11Presenter* p, int32_t x, int32_t y, int32_t width, int32_t height)
{
    if (p == nullptr) return false;
    if (p->image == nullptr) return true;
    // The image holds every rectangle ever sent, so all of it is the last frame shown.
    const int32_t x0 = std::max(x, 0);
    const int32_t y0 = std::max(y, 0);
    const auto x1 =
        static_cast<int32_t>(std::min<int64_t>(int64_t{x} + std::max(width, 0), p->width));
    const auto y1 =
        static_cast<int32_t>(std::min<int64_t>(int64_t{y} + std::max(height, 0), p->height));
    if (x0 < x1 && y0 < y1) Put(p, x0, y0, x1 - x0, y1 - y0);
    ReleaseImage(p);
    return true;
}

void CloseX11Presenter(X11Presenter* p)
{
    if (p == nullptr) return;
    DestroyImage(p);
    if (p->gc != nullptr) XFreeGC(p->display, p->gc);
    XSync(p->display, False);
    delete p;
}

bool X11PresenterUsesSharedMemory(const X11Presenter* p)
{
    return p != nullptr && p->sharedMemory;
}

void UseX11Presenters(Display* display, const X11PresenterOptions& options)
{
    PresenterDisplay = display;
    PresenterOptions = options;
    cpu::SetPresenterOpener(display != nullptr ? OpenForDevice : nullptr, nullptr);
}

X11Presenter* X11PresenterOf(const Renderer* renderer)
{
    cpu::Presenter presenter{};
    if (!cpu::GetPresenter(renderer, presenter) || presenter.show != ShowThunk) return nullptr;
    return static_cast<X11Presenter*>(presenter.context);
}
