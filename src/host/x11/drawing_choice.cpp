#include "host/x11/drawing_choice.h"

#define EGL_NO_X11
#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <X11/Xlib.h>
#include <dirent.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

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

constexpr int ProbeTimeoutMs = 3000;

DrawingPath AskEgl(Display* display)
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

// A GPU shows itself as a render node; without one only a software rasteriser could serve.
bool HasRenderNode()
{
    DIR* folder = opendir("/dev/dri");
    if (folder == nullptr) return false;
    bool found = false;
    while (const dirent* entry = readdir(folder)) {
        if (std::strncmp(entry->d_name, "renderD", 7) == 0) found = true;
    }
    closedir(folder);
    return found;
}

// The child has a connection of its own (the parent's must not be shared) and answers with one
// byte; whatever it loads goes with it.
DrawingPath AskEglInChild(Display* display)
{
    int fds[2];
    if (pipe(fds) != 0) return DrawingPath::Cpu;
    const char* name = DisplayString(display);
    const pid_t child = fork();
    if (child < 0) {
        close(fds[0]);
        close(fds[1]);
        return DrawingPath::Cpu;
    }
    if (child == 0) {
        close(fds[0]);
        Display* own = XOpenDisplay(name);
        const char answer = own != nullptr && AskEgl(own) == DrawingPath::OpenGl ? 'g' : 'c';
        (void)!write(fds[1], &answer, 1);
        _exit(0);
    }
    close(fds[1]);
    pollfd watch{fds[0], POLLIN, 0};
    char answer = 'c';
    if (poll(&watch, 1, ProbeTimeoutMs) == 1 && read(fds[0], &answer, 1) != 1) answer = 'c';
    close(fds[0]);
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    return answer == 'g' ? DrawingPath::OpenGl : DrawingPath::Cpu;
}

}  // namespace

DrawingPath ChooseDrawingPath(_XDisplay* display, RendererChoice choice)
{
    if (choice != RendererChoice::Auto) {
        return choice == RendererChoice::Cpu ? DrawingPath::Cpu : DrawingPath::OpenGl;
    }
    if (!HasRenderNode()) return DrawingPath::Cpu;
    return AskEglInChild(display);
}
