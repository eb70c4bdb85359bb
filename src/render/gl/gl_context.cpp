#include <wayland-egl.h>

#include <cstring>

#include "render/gl/gl_context.h"

namespace gl {

Gl3Calls Gl3;

namespace {

// eglTerminate ends a display for everyone who got it, so it waits for its last user.
struct DisplayUse {
    EGLDisplay display;
    int32_t users;
};
DisplayUse DisplayUses[8];

PFNEGLCREATEPLATFORMWINDOWSURFACEEXTPROC CreatePlatformWindowSurface = nullptr;

const EGLint CoreContextAttributes[] = {EGL_CONTEXT_MAJOR_VERSION_KHR,
                                        3,
                                        EGL_CONTEXT_MINOR_VERSION_KHR,
                                        3,
                                        EGL_CONTEXT_OPENGL_PROFILE_MASK_KHR,
                                        EGL_CONTEXT_OPENGL_CORE_PROFILE_BIT_KHR,
                                        EGL_NONE};

bool HasExtension(const char* list, const char* name)
{
    if (list == nullptr) return false;
    const size_t length = std::strlen(name);
    for (const char* p = list; (p = std::strstr(p, name)) != nullptr; p += length) {
        const bool starts = p == list || p[-1] == ' ';
        const bool ends = p[length] == '\0' || p[length] == ' ';
        if (starts && ends) return true;
    }
    return false;
}

bool LoadGl3Calls()
{
    bool complete = true;
#define TAVREL_GL3_LOAD(name) \
    Gl3.name = reinterpret_cast<decltype(Gl3.name)>(eglGetProcAddress("gl" #name)); \
    complete = complete && Gl3.name != nullptr;
    TAVREL_GL3_CALLS(TAVREL_GL3_LOAD)
#undef TAVREL_GL3_LOAD
    return complete;
}

DisplayUse* FindUse(EGLDisplay display)
{
    for (DisplayUse& use : DisplayUses) {
        if (use.users > 0 && use.display == display) return &use;
    }
    return nullptr;
}

// Offscreen frames need no surface; a window's config is the one its context is made with.
bool ChooseConfig(EGLDisplay display, bool window, EGLConfig& config)
{
    const EGLint attributes[] = {EGL_SURFACE_TYPE,
                                 window ? EGL_WINDOW_BIT : 0,
                                 EGL_RENDERABLE_TYPE,
                                 EGL_OPENGL_BIT,
                                 EGL_RED_SIZE,
                                 8,
                                 EGL_GREEN_SIZE,
                                 8,
                                 EGL_BLUE_SIZE,
                                 8,
                                 EGL_NONE};
    EGLint count = 0;
    return eglChooseConfig(display, attributes, &config, 1, &count) == EGL_TRUE && count > 0;
}

// Finding out at open time lets the host fall back to the processor before it has a device.
bool CanMakeCoreContext(EGLDisplay display)
{
    EGLConfig config = nullptr;
    if (!ChooseConfig(display, false, config) || eglBindAPI(EGL_OPENGL_API) != EGL_TRUE) {
        return false;
    }
    const EGLContext context =
        eglCreateContext(display, config, EGL_NO_CONTEXT, CoreContextAttributes);
    if (context == EGL_NO_CONTEXT) return false;
    eglDestroyContext(display, context);
    return true;
}

// A display with windows: X11's or Wayland's platform, by either extension's name.
EGLDisplay GetWindowsDisplay(PFNEGLGETPLATFORMDISPLAYEXTPROC getPlatformDisplay, const char* client,
                             EGLenum platform, const char* khr, const char* ext, void* native)
{
    CreatePlatformWindowSurface = reinterpret_cast<PFNEGLCREATEPLATFORMWINDOWSURFACEEXTPROC>(
        eglGetProcAddress("eglCreatePlatformWindowSurfaceEXT"));
    if (native == nullptr || CreatePlatformWindowSurface == nullptr ||
        (!HasExtension(client, khr) && !HasExtension(client, ext))) {
        return EGL_NO_DISPLAY;
    }
    return getPlatformDisplay(platform, native, nullptr);
}

EGLDisplay GetDisplay(const NativeDisplay& native)
{
    const char* client = eglQueryString(EGL_NO_DISPLAY, EGL_EXTENSIONS);
    const auto getPlatformDisplay = reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(
        eglGetProcAddress("eglGetPlatformDisplayEXT"));
    if (!HasExtension(client, "EGL_EXT_platform_base") || getPlatformDisplay == nullptr) {
        return EGL_NO_DISPLAY;
    }
    switch (native.kind) {
    case NativeDisplayKind::Offscreen:
        if (!HasExtension(client, "EGL_MESA_platform_surfaceless")) return EGL_NO_DISPLAY;
        return getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    case NativeDisplayKind::X11:
        return GetWindowsDisplay(getPlatformDisplay, client, EGL_PLATFORM_X11_KHR,
                                 "EGL_KHR_platform_x11", "EGL_EXT_platform_x11", native.display);
    case NativeDisplayKind::Wayland:
        return GetWindowsDisplay(getPlatformDisplay, client, EGL_PLATFORM_WAYLAND_KHR,
                                 "EGL_KHR_platform_wayland", "EGL_EXT_platform_wayland",
                                 native.display);
    }
    return EGL_NO_DISPLAY;
}

// An X11 Window is passed by address, a Wayland surface through a wl_egl_window of its size.
EGLSurface MakeWindowSurface(EGLConfig config, NativeDisplayKind kind, NativeWindow window,
                             GlContext& made)
{
    if (kind == NativeDisplayKind::X11) {
        NativeWindow native = window;
        return CreatePlatformWindowSurface(made.display, config, &native, nullptr);
    }
    made.waylandWindow = wl_egl_window_create(reinterpret_cast<wl_surface*>(window),
                                              made.windowWidth, made.windowHeight);
    if (made.waylandWindow == nullptr) return EGL_NO_SURFACE;
    return CreatePlatformWindowSurface(made.display, config, made.waylandWindow, nullptr);
}

void EndDisplay(EGLDisplay display)
{
    if (eglGetCurrentDisplay() == display) {
        eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    }
    eglTerminate(display);
}

}  // namespace

EGLDisplay AcquireDisplay(const NativeDisplay& native)
{
    const EGLDisplay display = GetDisplay(native);
    if (display == EGL_NO_DISPLAY) return EGL_NO_DISPLAY;
    if (DisplayUse* use = FindUse(display)) {
        ++use->users;
        return display;
    }
    DisplayUse* free = nullptr;
    for (DisplayUse& use : DisplayUses) {
        if (use.users == 0) free = &use;
    }
    EGLint major = 0;
    EGLint minor = 0;
    if (free == nullptr || eglInitialize(display, &major, &minor) != EGL_TRUE) {
        return EGL_NO_DISPLAY;
    }
    const char* extensions = eglQueryString(display, EGL_EXTENSIONS);
    if (!HasExtension(extensions, "EGL_KHR_create_context") ||
        !HasExtension(extensions, "EGL_KHR_surfaceless_context") || !LoadGl3Calls() ||
        !CanMakeCoreContext(display)) {
        EndDisplay(display);
        return EGL_NO_DISPLAY;
    }
    *free = DisplayUse{display, 1};
    return display;
}

void ReleaseDisplay(EGLDisplay display)
{
    DisplayUse* use = FindUse(display);
    if (use != nullptr && --use->users == 0) EndDisplay(display);
}

bool CreateGlContext(EGLDisplay display, NativeDisplayKind kind, NativeWindow window, int32_t width,
                     int32_t height, GlContext& made)
{
    made = GlContext{};
    made.display = display;
    made.windowWidth = width;
    made.windowHeight = height;
    EGLConfig config = nullptr;
    if ((window != 0 && kind == NativeDisplayKind::Offscreen) ||
        !ChooseConfig(display, window != 0, config) || eglBindAPI(EGL_OPENGL_API) != EGL_TRUE) {
        return false;
    }
    made.context = eglCreateContext(display, config, EGL_NO_CONTEXT, CoreContextAttributes);
    if (window != 0 && made.context != EGL_NO_CONTEXT) {
        made.surface = MakeWindowSurface(config, kind, window, made);
    }
    if (made.context == EGL_NO_CONTEXT || (window != 0 && made.surface == EGL_NO_SURFACE) ||
        !MakeCurrent(made)) {
        DestroyGlContext(made);
        return false;
    }
    // The host waits for the compositor's frame callbacks itself; EGL waiting for them too
    // would block a swap on a surface the compositor has stopped showing.
    if (made.waylandWindow != nullptr) eglSwapInterval(display, 0);
    return true;
}

void DestroyGlContext(GlContext& context)
{
    if (context.display == EGL_NO_DISPLAY) return;
    // A current context would live on until the thread let it go.
    if (eglGetCurrentContext() == context.context && context.context != EGL_NO_CONTEXT) {
        eglMakeCurrent(context.display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    }
    if (context.context != EGL_NO_CONTEXT) eglDestroyContext(context.display, context.context);
    if (context.surface != EGL_NO_SURFACE) eglDestroySurface(context.display, context.surface);
    // The EGL surface holds on to it until it goes.
    if (context.waylandWindow != nullptr) wl_egl_window_destroy(context.waylandWindow);
    context = GlContext{};
}

void ResizeWindow(GlContext& context, int32_t width, int32_t height)
{
    if (context.waylandWindow != nullptr) {
        wl_egl_window_resize(context.waylandWindow, width, height, 0, 0);
    }
    context.windowWidth = width;
    context.windowHeight = height;
}

void GetWindowSize(const GlContext& context, int32_t& width, int32_t& height)
{
    width = context.windowWidth;
    height = context.windowHeight;
    if (context.waylandWindow != nullptr || context.surface == EGL_NO_SURFACE) return;
    // An X11 window's surface follows the window's size by itself.
    EGLint w = 0;
    EGLint h = 0;
    eglQuerySurface(context.display, context.surface, EGL_WIDTH, &w);
    eglQuerySurface(context.display, context.surface, EGL_HEIGHT, &h);
    width = w;
    height = h;
}

bool MakeCurrent(const GlContext& context)
{
    if (context.context == EGL_NO_CONTEXT) return false;
    // Asked of EGL rather than remembered: ending another display lets its context go.
    if (eglGetCurrentContext() == context.context &&
        eglGetCurrentSurface(EGL_DRAW) == context.surface) {
        return true;
    }
    return eglMakeCurrent(context.display, context.surface, context.surface, context.context) ==
           EGL_TRUE;
}

}  // namespace gl
