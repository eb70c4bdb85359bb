#include "host/x11/drawing_choice.h"

#define EGL_NO_X11
#include <EGL/egl.h>
#include <EGL/eglext.h>

#include <cstring>
#include <initializer_list>

bool IsSoftwareRasterizer(const char* driverName)
{
    if (driverName == nullptr) return false;
    for (const char* name : {"swrast", "kms_swrast", "llvmpipe", "softpipe"}) {
        if (std::strcmp(driverName, name) == 0) return true;
    }
    return false;
}

namespace {

DrawingPath AskEgl(_XDisplay* display)
{
    const auto getPlatformDisplay = reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(
        eglGetProcAddress("eglGetPlatformDisplayEXT"));
    if (getPlatformDisplay == nullptr) return DrawingPath::Cpu;
    const EGLDisplay egl = getPlatformDisplay(EGL_PLATFORM_X11_KHR, display, nullptr);
    EGLint major = 0;
    EGLint minor = 0;
    if (egl == EGL_NO_DISPLAY || eglInitialize(egl, &major, &minor) != EGL_TRUE) {
        return DrawingPath::Cpu;
    }
    // Without the query nothing says it is software: OpenGL it is.
    const char* extensions = eglQueryString(egl, EGL_EXTENSIONS);
    if (extensions == nullptr || std::strstr(extensions, "EGL_MESA_query_driver") == nullptr) {
        return DrawingPath::OpenGl;
    }
    using DriverName = const char* (*)(EGLDisplay);
    const auto driverName =
        reinterpret_cast<DriverName>(eglGetProcAddress("eglGetDisplayDriverName"));
    if (driverName == nullptr) return DrawingPath::OpenGl;
    return IsSoftwareRasterizer(driverName(egl)) ? DrawingPath::Cpu : DrawingPath::OpenGl;
}

}  // namespace

DrawingPath ChooseDrawingPath(_XDisplay* display, RendererChoice choice)
{
    if (choice == RendererChoice::Cpu) return DrawingPath::Cpu;
    // Asked even when OpenGL is forced: the driver then starts here, before the libraries
    // loaded so far are kept (support/posix/loaded_libraries.h).
    const DrawingPath cheaper = AskEgl(display);
    return choice == RendererChoice::OpenGl ? DrawingPath::OpenGl : cheaper;
}
