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
        CreatePlatformWindowSurface = reinterpret_cast<PFNEGLCREATEPLATFORMWINDOWSURFACEEXTPROC>(
            eglGetProcAddress("eglCreatePlatformWindowSurfaceEXT"));
        if (native.display == nullptr || CreatePlatformWindowSurface == nullptr ||
            (!HasExtension(client, "EGL_KHR_platform_x11") &&
             !HasExtension(client, "EGL_EXT_platform_x11"))) {
            return EGL_NO_DISPLAY;
        }
        return getPlatformDisplay(EGL_PLATFORM_X11_KHR, native.display, nullptr);
    case NativeDisplayKind::Wayland: break;  // window surfaces would need libwayland-egl
    }
    return EGL_NO_DISPLAY;
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

bool CreateGlContext(EGLDisplay display, bool windows, NativeWindow window, GlContext& made)
{
    made = GlContext{display, EGL_NO_CONTEXT, EGL_NO_SURFACE};
    EGLConfig config = nullptr;
    if ((window != 0 && !windows) || !ChooseConfig(display, window != 0, config) ||
        eglBindAPI(EGL_OPENGL_API) != EGL_TRUE) {
        return false;
    }
    made.context = eglCreateContext(display, config, EGL_NO_CONTEXT, CoreContextAttributes);
    if (window != 0 && made.context != EGL_NO_CONTEXT) {
        NativeWindow native = window;  // an X11 Window, passed by address
        made.surface = CreatePlatformWindowSurface(display, config, &native, nullptr);
    }
    if (made.context == EGL_NO_CONTEXT || (window != 0 && made.surface == EGL_NO_SURFACE) ||
        !MakeCurrent(made)) {
        DestroyGlContext(made);
        return false;
    }
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
    context = GlContext{};
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
