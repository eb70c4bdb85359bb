// The Direct3D object and the device on EGL: display, contexts, the offscreen back buffers,
// flipping and presenting.
#include <cstring>
#include <new>

#include "render/emulated_device.h"
#include "render/gl/gl_device.h"
#include "render/gl/gl_internal.h"

namespace gl {

GlFunctions Gl;

namespace {

DisplayMode AdapterMode{1280, 800, 60, FormatX8R8G8B8};
void* NativeDisplay = nullptr;
RenderDevice* CurrentDevice = nullptr;

// eglTerminate ends a display for everyone who got it, so it waits for the last system on it.
struct DisplayUse {
    EGLDisplay display;
    int32_t systems;
};
DisplayUse DisplayUses[4];

PFNEGLGETPLATFORMDISPLAYEXTPROC GetPlatformDisplay = nullptr;
PFNEGLCREATEPLATFORMWINDOWSURFACEEXTPROC CreatePlatformWindowSurface = nullptr;

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

bool LoadGlFunctions()
{
    bool complete = true;
#define TAVREL_GL_LOAD(name) \
    Gl.name = reinterpret_cast<decltype(Gl.name)>(eglGetProcAddress("gl" #name)); \
    complete = complete && Gl.name != nullptr;
    TAVREL_GL_FUNCTIONS(TAVREL_GL_LOAD)
#undef TAVREL_GL_LOAD
    return complete;
}

bool AddDisplayUse(EGLDisplay display)
{
    for (DisplayUse& use : DisplayUses) {
        if (use.systems > 0 && use.display == display) {
            ++use.systems;
            return true;
        }
    }
    for (DisplayUse& use : DisplayUses) {
        if (use.systems == 0) {
            use = DisplayUse{display, 1};
            return true;
        }
    }
    return false;
}

bool DisplayInUse(EGLDisplay display)
{
    for (const DisplayUse& use : DisplayUses) {
        if (use.systems > 0 && use.display == display) return true;
    }
    return false;
}

// True when this was the last system on the display.
bool DropDisplayUse(EGLDisplay display)
{
    for (DisplayUse& use : DisplayUses) {
        if (use.systems > 0 && use.display == display) return --use.systems == 0;
    }
    return true;
}

void EndDisplay(EGLDisplay display)
{
    eglTerminate(display);
    // This lets go of whatever context the thread has, a device's on another display too.
    eglReleaseThread();
    CurrentDevice = nullptr;
}

void DestroySystem(RenderSystem* system)
{
    if (DropDisplayUse(system->display)) EndDisplay(system->display);
    delete system;
}

void DropSystemReference(RenderSystem* system)
{
    if (--system->references == 0) DestroySystem(system);
}

bool ChooseWindowConfig(EGLDisplay display, EGLConfig& config)
{
    const EGLint attributes[] = {EGL_SURFACE_TYPE,
                                 EGL_WINDOW_BIT,
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

void DestroyDevice(RenderDevice* device)
{
    // Without its context the names go with the context; the resources are let go either way.
    const bool current = device->context != EGL_NO_CONTEXT && MakeDeviceCurrent(device);
    DetachDeviceResources(device, current);
    if (current) {
        ShutDownDeviceDrawing(device);
        Gl.DeleteFramebuffers(2, device->framebuffers);
        Gl.DeleteRenderbuffers(2, device->colorBuffers);
        Gl.DeleteRenderbuffers(1, &device->depthBuffer);
    }
    EGLDisplay display = device->system->display;
    if (CurrentDevice == device) {
        eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
        CurrentDevice = nullptr;
    }
    if (device->context != EGL_NO_CONTEXT) eglDestroyContext(display, device->context);
    if (device->windowSurface != EGL_NO_SURFACE) eglDestroySurface(display, device->windowSurface);
    DropSystemReference(device->system);
    delete device;
}

// X8R8G8B8 colour, and a D16 depth buffer when asked for.
RenderResult CreateBackBuffers(RenderDevice* device)
{
    GLint limit = 0;
    Gl.GetIntegerv(GL_MAX_RENDERBUFFER_SIZE, &limit);
    if (device->width > limit || device->height > limit) return RenderErrorOutOfVideoMemory;

    Gl.GenFramebuffers(2, device->framebuffers);
    Gl.GenRenderbuffers(2, device->colorBuffers);
    if (device->hasDepth) {
        Gl.GenRenderbuffers(1, &device->depthBuffer);
        Gl.BindRenderbuffer(GL_RENDERBUFFER, device->depthBuffer);
        Gl.RenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT16, device->width,
                               device->height);
    }
    for (int i = 0; i < 2; ++i) {
        Gl.BindRenderbuffer(GL_RENDERBUFFER, device->colorBuffers[i]);
        Gl.RenderbufferStorage(GL_RENDERBUFFER, GL_RGB8, device->width, device->height);
        Gl.BindFramebuffer(GL_FRAMEBUFFER, device->framebuffers[i]);
        Gl.FramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER,
                                   device->colorBuffers[i]);
        if (device->hasDepth) {
            Gl.FramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER,
                                       device->depthBuffer);
        }
        if (Gl.CheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
            return RenderErrorOutOfVideoMemory;
        }
        Gl.Viewport(0, 0, device->width, device->height);
        Gl.ClearColor(0.0f, 0.0f, 0.0f, 0.0f);
        Gl.Clear(GL_COLOR_BUFFER_BIT);
    }
    device->back = 0;
    Gl.BindFramebuffer(GL_FRAMEBUFFER, device->framebuffers[device->back]);
    return Gl.GetError() == GL_NO_ERROR ? RenderOk : RenderErrorOutOfVideoMemory;
}

}  // namespace

void SetAdapterDisplayMode(const DisplayMode& mode)
{
    if (mode.width == 0 || mode.height == 0) return;
    AdapterMode = mode;
}

void SetNativeDisplay(void* x11Display)
{
    NativeDisplay = x11Display;
}

bool MakeDeviceCurrent(RenderDevice* device)
{
    if (CurrentDevice == device) return true;
    const EGLSurface surface = device->windowSurface;
    if (eglMakeCurrent(device->system->display, surface, surface, device->context) != EGL_TRUE) {
        CurrentDevice = nullptr;
        return false;
    }
    CurrentDevice = device;
    return true;
}

RenderSystem* CreateRenderSystem(uint32_t sdkVersion)
{
    if (sdkVersion != RenderSdkVersion) return nullptr;

    const char* clientExtensions = eglQueryString(EGL_NO_DISPLAY, EGL_EXTENSIONS);
    if (!HasExtension(clientExtensions, "EGL_EXT_platform_base")) return nullptr;
    GetPlatformDisplay = reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(
        eglGetProcAddress("eglGetPlatformDisplayEXT"));
    CreatePlatformWindowSurface = reinterpret_cast<PFNEGLCREATEPLATFORMWINDOWSURFACEEXTPROC>(
        eglGetProcAddress("eglCreatePlatformWindowSurfaceEXT"));
    if (GetPlatformDisplay == nullptr) return nullptr;

    const bool windows = NativeDisplay != nullptr;
    EGLDisplay display = EGL_NO_DISPLAY;
    if (windows) {
        if (!HasExtension(clientExtensions, "EGL_KHR_platform_x11") &&
            !HasExtension(clientExtensions, "EGL_EXT_platform_x11")) {
            return nullptr;
        }
        if (CreatePlatformWindowSurface == nullptr) return nullptr;
        display = GetPlatformDisplay(EGL_PLATFORM_X11_KHR, NativeDisplay, nullptr);
    } else {
        if (!HasExtension(clientExtensions, "EGL_MESA_platform_surfaceless")) return nullptr;
        display = GetPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    }
    if (display == EGL_NO_DISPLAY) return nullptr;

    EGLint major = 0;
    EGLint minor = 0;
    if (eglInitialize(display, &major, &minor) != EGL_TRUE) return nullptr;
    const char* extensions = eglQueryString(display, EGL_EXTENSIONS);
    const bool usable = eglBindAPI(EGL_OPENGL_API) == EGL_TRUE &&
                        HasExtension(extensions, "EGL_KHR_create_context") &&
                        HasExtension(extensions, "EGL_KHR_surfaceless_context") &&
                        HasExtension(extensions, "EGL_KHR_no_config_context") && LoadGlFunctions();
    RenderSystem* system = usable ? new (std::nothrow) RenderSystem{display, windows, 1} : nullptr;
    if (system != nullptr && AddDisplayUse(display)) return system;
    delete system;
    // Another system may hold the same display: end it only if none does.
    if (!DisplayInUse(display)) EndDisplay(display);
    return nullptr;
}

void Release(RenderSystem* system)
{
    if (system != nullptr) DropSystemReference(system);
}

RenderResult GetAdapterDisplayMode(RenderSystem* system, uint32_t adapter, DisplayMode& mode)
{
    return emulated::AdapterDisplayMode(system, adapter, AdapterMode, mode);
}

uint32_t GetAdapterModeCount(RenderSystem* system, uint32_t adapter)
{
    return emulated::AdapterModeCount(system, adapter);
}

RenderResult EnumAdapterModes(RenderSystem* system, uint32_t adapter, uint32_t index,
                              DisplayMode& mode)
{
    return emulated::AdapterMode(system, adapter, index, AdapterMode, mode);
}

RenderResult GetDeviceCaps(RenderSystem* system, uint32_t adapter, uint32_t deviceType,
                           uint32_t& devCaps)
{
    return emulated::DeviceCaps(system, adapter, deviceType, devCaps);
}

RenderResult CreateDevice(RenderSystem* system, uint32_t adapter, uint32_t deviceType,
                          NativeWindow focusWindow, uint32_t behaviorFlags,
                          const PresentParameters& params, RenderDevice*& device)
{
    device = nullptr;
    const RenderResult checked = emulated::CheckAdapter(system, adapter, deviceType);
    if (checked != RenderOk) return checked;
    // Exactly one kind of vertex processing; a flip chain of up to three back buffers.
    const uint32_t processing =
        behaviorFlags & (CreateSoftwareVertexProcessing | CreateHardwareVertexProcessing);
    const bool oneKind = processing == CreateSoftwareVertexProcessing ||
                         processing == CreateHardwareVertexProcessing;
    if (!oneKind || params.backBufferCount > 3 || params.swapEffect != SwapEffectFlip) {
        return RenderErrorInvalidCall;
    }

    uint32_t width = params.backBufferWidth;
    uint32_t height = params.backBufferHeight;
    uint32_t format = params.backBufferFormat;
    if (params.windowed == 0 && (width == 0 || height == 0 || format == FormatUnknown)) {
        return RenderErrorInvalidCall;
    }
    // A windowed device without a size or format takes the screen's, there being no window
    // to measure offscreen.
    if (width == 0) width = AdapterMode.width;
    if (height == 0) height = AdapterMode.height;
    if (format == FormatUnknown) format = AdapterMode.format;
    const bool hasDepth = params.enableAutoDepthStencil != 0;
    if (format != FormatX8R8G8B8 || width > 0x7FFFu || height > 0x7FFFu ||
        (hasDepth && params.autoDepthStencilFormat != FormatD16)) {
        return RenderErrorInvalidCall;
    }

    const NativeWindow window = params.deviceWindow != 0 ? params.deviceWindow : focusWindow;
    if (window != 0 && !system->windowCapable) return RenderErrorNotAvailable;

    RenderDevice* created = new (std::nothrow) RenderDevice{};
    if (created == nullptr) return RenderErrorOutOfVideoMemory;
    created->system = system;
    ++system->references;
    created->context = EGL_NO_CONTEXT;
    created->windowSurface = EGL_NO_SURFACE;
    created->width = static_cast<int32_t>(width);
    created->height = static_cast<int32_t>(height);
    created->hasDepth = hasDepth;

    EGLConfig config = EGL_NO_CONFIG_KHR;
    if (window != 0) {
        EGLNativeWindowType nativeWindow = window;
        if (!ChooseWindowConfig(system->display, config)) {
            DestroyDevice(created);
            return RenderErrorNotAvailable;
        }
        created->windowSurface =
            CreatePlatformWindowSurface(system->display, config, &nativeWindow, nullptr);
        if (created->windowSurface == EGL_NO_SURFACE) {
            DestroyDevice(created);
            return RenderErrorNotAvailable;
        }
    }
    const EGLint contextAttributes[] = {EGL_CONTEXT_MAJOR_VERSION,
                                        3,
                                        EGL_CONTEXT_MINOR_VERSION,
                                        3,
                                        EGL_CONTEXT_OPENGL_PROFILE_MASK,
                                        EGL_CONTEXT_OPENGL_CORE_PROFILE_BIT,
                                        EGL_NONE};
    eglBindAPI(EGL_OPENGL_API);
    created->context = eglCreateContext(system->display, config, EGL_NO_CONTEXT, contextAttributes);
    if (created->context == EGL_NO_CONTEXT || !MakeDeviceCurrent(created)) {
        DestroyDevice(created);
        return RenderErrorNotAvailable;
    }

    RenderResult result = CreateBackBuffers(created);
    if (result == RenderOk && !InitDeviceDrawing(created)) result = RenderErrorNotAvailable;
    if (result != RenderOk) {
        DestroyDevice(created);
        return result;
    }
    device = created;
    return RenderOk;
}

void Release(RenderDevice* device)
{
    if (device != nullptr) DestroyDevice(device);
}

RenderResult TestCooperativeLevel(RenderDevice* device)
{
    return device != nullptr ? RenderOk : RenderErrorInvalidCall;
}

RenderResult Present(RenderDevice* device)
{
    if (device == nullptr || !MakeDeviceCurrent(device)) return RenderErrorInvalidCall;
    if (device->windowSurface != EGL_NO_SURFACE) {
        EGLint windowWidth = 0;
        EGLint windowHeight = 0;
        eglQuerySurface(device->system->display, device->windowSurface, EGL_WIDTH, &windowWidth);
        eglQuerySurface(device->system->display, device->windowSurface, EGL_HEIGHT, &windowHeight);
        // Direct3D stretches the back buffer over the window's client area; the back buffer's
        // row 0 is the top one, the window's the bottom one.
        const bool same = windowWidth == device->width && windowHeight == device->height;
        Gl.BindFramebuffer(GL_READ_FRAMEBUFFER, device->framebuffers[device->back]);
        Gl.BindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
        Gl.BlitFramebuffer(0, 0, device->width, device->height, 0, windowHeight, windowWidth, 0,
                           GL_COLOR_BUFFER_BIT, same ? GL_NEAREST : GL_LINEAR);
        eglSwapBuffers(device->system->display, device->windowSurface);
    }
    device->back ^= 1u;
    Gl.BindFramebuffer(GL_FRAMEBUFFER, device->framebuffers[device->back]);
    return RenderOk;
}

RenderResult ReadPresentedFrame(RenderDevice* device, uint8_t* pixels, int32_t pitch)
{
    if (device == nullptr || pixels == nullptr || pitch < 4 * device->width || pitch % 4 != 0) {
        return RenderErrorInvalidCall;
    }
    if (!MakeDeviceCurrent(device)) return RenderErrorInvalidCall;
    Gl.BindFramebuffer(GL_READ_FRAMEBUFFER, device->framebuffers[device->back ^ 1u]);
    Gl.PixelStorei(GL_PACK_ALIGNMENT, 4);
    Gl.PixelStorei(GL_PACK_ROW_LENGTH, pitch / 4);
    Gl.ReadPixels(0, 0, device->width, device->height, GL_RGBA, GL_UNSIGNED_BYTE, pixels);
    Gl.PixelStorei(GL_PACK_ROW_LENGTH, 0);
    Gl.BindFramebuffer(GL_READ_FRAMEBUFFER, device->framebuffers[device->back]);
    return RenderOk;
}

RenderResult GetViewport(RenderDevice* device, Viewport& viewport)
{
    if (device == nullptr) return RenderErrorInvalidCall;
    viewport = Viewport{
        0,    0,   static_cast<uint32_t>(device->width), static_cast<uint32_t>(device->height),
        0.0f, 1.0f};
    return RenderOk;
}

}  // namespace gl
