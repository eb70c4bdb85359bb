// The OpenGL renderer's EGL side: displays shared between renderers, a desktop OpenGL 3.3 core
// context per device with its window surface, and the GL entry points, looked up through EGL so
// that libEGL (and for Wayland windows libwayland-egl) is the only library linked.
#pragma once

#define EGL_NO_X11
#define GL_GLEXT_PROTOTYPES  // for the types of the entry points, never called by name
#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GL/glcorearb.h>

#include "render/switch/renderer_back_end.h"

struct wl_egl_window;

// clang-format off
#define TAVREL_GL3_CALLS(X)                                                                        \
    X(AttachShader) X(BindAttribLocation) X(BindBuffer) X(BindFragDataLocation) X(BindFramebuffer) \
    X(BindRenderbuffer) X(BindTexture) X(BindVertexArray) X(BlendFuncSeparate) X(BlitFramebuffer)  \
    X(BufferData) X(BufferSubData) X(CheckFramebufferStatus) X(Clear) X(ClearColor)                \
    X(CompileShader) X(CreateProgram) X(CreateShader) X(DeleteShader) X(DeleteTextures) X(Disable) \
    X(DrawArrays) X(Enable) X(EnableVertexAttribArray) X(FramebufferRenderbuffer) X(GenBuffers)    \
    X(GenFramebuffers) X(GenRenderbuffers) X(GenTextures) X(GenVertexArrays) X(GetError)           \
    X(GetIntegerv) X(GetProgramiv) X(GetShaderiv) X(GetUniformLocation) X(LinkProgram)             \
    X(PixelStorei) X(ReadPixels) X(RenderbufferStorage) X(ShaderSource) X(TexImage2D)              \
    X(TexParameteri) X(TexSubImage2D) X(Uniform2f) X(UseProgram) X(VertexAttribPointer)            \
    X(Viewport)
// clang-format on

namespace gl {

struct Gl3Calls {
#define TAVREL_GL3_MEMBER(name) decltype(&::gl##name) name;
    TAVREL_GL3_CALLS(TAVREL_GL3_MEMBER)
#undef TAVREL_GL3_MEMBER
};

// Filled when the first display is had; the pointers do not depend on a context. Process-wide
// as the library's entry points are: one table of functions, picked at start.
extern Gl3Calls Gl3;

// An initialised display for the native display (X11, Wayland, or none: offscreen only) on
// which a 3.3 core context can be made; EGL_NO_DISPLAY when there is none. Every success is
// paired with one ReleaseDisplay.
EGLDisplay AcquireDisplay(const NativeDisplay& native);
void ReleaseDisplay(EGLDisplay display);

struct GlContext {
    EGLDisplay display = EGL_NO_DISPLAY;
    EGLContext context = EGL_NO_CONTEXT;
    EGLSurface surface = EGL_NO_SURFACE;     // the window's, or none offscreen
    wl_egl_window* waylandWindow = nullptr;  // what a Wayland surface's EGL surface draws on
    int32_t windowWidth = 0;                 // its size in pixels
    int32_t windowHeight = 0;
};

// A context, current on return, and for a window (only on a display of a kind with windows:
// an X11 Window, or a wl_surface* of width x height pixels) its surface.
bool CreateGlContext(EGLDisplay display, NativeDisplayKind kind, NativeWindow window, int32_t width,
                     int32_t height, GlContext& made);
void DestroyGlContext(GlContext& context);
bool MakeCurrent(const GlContext& context);
// A Wayland window's buffers are the size it is given, not the surface's.
void ResizeWindow(GlContext& context, int32_t width, int32_t height);
// The size in pixels of the context's window.
void GetWindowSize(const GlContext& context, int32_t& width, int32_t& height);

}  // namespace gl
