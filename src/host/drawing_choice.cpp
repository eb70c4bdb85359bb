#include "host/drawing_choice.h"

#define EGL_NO_X11
#include <EGL/egl.h>
#include <EGL/eglext.h>
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

// A GPU shows itself as a render node; without one only a software rasteriser could serve.
bool HasRenderNode(const char* folder)
{
    DIR* entries = opendir(folder);
    if (entries == nullptr) return false;
    bool found = false;
    while (const dirent* entry = readdir(entries)) {
        if (std::strncmp(entry->d_name, "renderD", 7) == 0) found = true;
    }
    closedir(entries);
    return found;
}

DrawingPath AskEgl(EglPlatform platform, void* nativeDisplay)
{
    const auto getPlatformDisplay = reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(
        eglGetProcAddress("eglGetPlatformDisplayEXT"));
    if (getPlatformDisplay == nullptr || nativeDisplay == nullptr) return DrawingPath::Cpu;
    const EGLDisplay egl =
        getPlatformDisplay(platform == EglPlatform::X11 ? EGL_PLATFORM_X11_KHR
                                                        : EGL_PLATFORM_WAYLAND_KHR,
                           nativeDisplay, nullptr);
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

namespace {

constexpr int ProbeTimeoutMs = 3000;

// The child answers with one byte; whatever it loads goes with it.
DrawingPath AskInChild(DrawingProbe probe, const void* context)
{
    int fds[2];
    if (pipe(fds) != 0) return DrawingPath::Cpu;
    const pid_t child = fork();
    if (child < 0) {
        close(fds[0]);
        close(fds[1]);
        return DrawingPath::Cpu;
    }
    if (child == 0) {
        close(fds[0]);
        const char answer = probe(context) == DrawingPath::OpenGl ? 'g' : 'c';
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

DrawingPath ChooseDrawingPath(RendererChoice choice, const char* renderNodes, DrawingProbe probe,
                              const void* context)
{
    if (choice != RendererChoice::Auto) {
        return choice == RendererChoice::Cpu ? DrawingPath::Cpu : DrawingPath::OpenGl;
    }
    if (!HasRenderNode(renderNodes)) return DrawingPath::Cpu;
    return AskInChild(probe, context);
}
