// Shared by the OpenGL back end's files: the records behind the opaque handles and the GL entry
// points, which are looked up through EGL so that the program links against libEGL alone.
//
// The records are the definitions of render/device.h's handle types; the processor back end
// keeps its own records and only casts its pointers to those types, so one program may hold
// both back ends.
#pragma once

#define EGL_NO_X11
#define GL_GLEXT_PROTOTYPES
#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GL/glcorearb.h>

#include <cstdint>

#include "render/device.h"

// clang-format off
#define TAVREL_GL_FUNCTIONS(X)                                                                    \
    X(ActiveTexture) X(AttachShader) X(BindAttribLocation) X(BindBuffer)                          \
    X(BindFragDataLocation) X(BindFramebuffer) X(BindRenderbuffer) X(BindSampler)                 \
    X(BindTexture) X(BindVertexArray) X(BlendFunc) X(BlitFramebuffer) X(BufferData)               \
    X(BufferSubData) X(CheckFramebufferStatus) X(Clear) X(ClearColor) X(ClearDepth)               \
    X(CompileShader) X(CreateProgram) X(CreateShader) X(DeleteBuffers) X(DeleteFramebuffers)      \
    X(DeleteProgram) X(DeleteRenderbuffers) X(DeleteSamplers) X(DeleteShader) X(DeleteTextures)   \
    X(DeleteVertexArrays) X(DepthFunc) X(Disable) X(DrawArrays) X(Enable)                         \
    X(EnableVertexAttribArray) X(FramebufferRenderbuffer) X(GenBuffers) X(GenFramebuffers)        \
    X(GenRenderbuffers) X(GenSamplers) X(GenTextures) X(GenVertexArrays) X(GetError)              \
    X(GetIntegerv) X(GetProgramiv) X(GetShaderiv) X(GetUniformLocation) X(LinkProgram)            \
    X(PixelStorei) X(ReadPixels) X(RenderbufferStorage) X(SamplerParameteri) X(Scissor)           \
    X(ShaderSource) X(TexImage2D) X(TexParameteri) X(TexParameteriv) X(TexSubImage2D)             \
    X(Uniform1i) X(Uniform4f) X(UniformMatrix4fv) X(UseProgram) X(VertexAttribPointer)           \
    X(Viewport)
// clang-format on

namespace gl {

struct GlFunctions {
#define TAVREL_GL_MEMBER(name) decltype(&::gl##name) name;
    TAVREL_GL_FUNCTIONS(TAVREL_GL_MEMBER)
#undef TAVREL_GL_MEMBER
};

// Filled by CreateRenderSystem; the pointers do not depend on a context.
extern GlFunctions Gl;

// How a Direct3D texture format is stored: its texel size in the locked memory and the GL
// upload that reads that memory as it is (packed types and swizzles stand in for the layouts
// GL lacks). A8R3G3B2 has no GL layout and is widened to 32 bits on the way up.
struct GlTextureFormat {
    uint32_t format;
    uint32_t bytesPerTexel;
    GLenum internalFormat;
    GLenum uploadFormat;
    GLenum uploadType;
    GLint swizzle[4];
    bool widenA8R3G3B2;
};

// The Direct3D states this back end draws with, as set (stage 0's filters among them).
struct GlStates {
    uint32_t zEnable;
    uint32_t srcBlend;
    uint32_t destBlend;
    uint32_t cullMode;
    uint32_t alphaBlendEnable;
    uint32_t lighting;
    uint32_t ambient;
    uint32_t magFilter;
    uint32_t minFilter;
};

}  // namespace gl

struct RenderSystem {
    EGLDisplay display;
    bool windowCapable;  // an X11 connection was given, so devices may draw into windows
    int32_t references;  // the caller's, plus one per live device
};

struct RenderTexture {
    RenderDevice* device;  // null once the device is gone
    RenderTexture* previous;
    RenderTexture* next;
    const gl::GlTextureFormat* format;
    uint32_t width;
    uint32_t height;
    uint32_t pitch;
    uint32_t rowLength;  // the pitch in texels, for GL_UNPACK_ROW_LENGTH
    uint8_t* staging;    // pitch * height bytes, the memory LockRect hands out
    uint32_t* widened;   // width * height texels, A8R3G3B2 only
    GLuint name;
    bool locked;
    bool readOnlyLock;
    int32_t lockRect[4];  // left, top, right, bottom of the open lock
};

struct RenderVertexBuffer {
    RenderDevice* device;
    RenderVertexBuffer* previous;
    RenderVertexBuffer* next;
    uint32_t length;
    uint8_t* memory;
    GLuint name;
    uint32_t lockCount;
    uint32_t dirtyBegin;
    uint32_t dirtyEnd;
};

struct RenderDevice {
    RenderSystem* system;
    EGLContext context;
    EGLSurface windowSurface;  // EGL_NO_SURFACE when offscreen
    int32_t width;
    int32_t height;
    bool hasDepth;
    GLint maxTextureSize;

    // The two colour buffers swap roles at every Present, as a flip chain does.
    GLuint framebuffers[2];
    GLuint colorBuffers[2];
    GLuint depthBuffer;
    uint32_t back;

    GLuint program;
    GLuint vertexArray;
    GLuint sampler;
    GLint uniformTransform;
    GLint uniformPretransformed;
    GLint uniformTextured;
    GLint uniformDiffuse;

    // Direct3D state as set; turned into GL state before the next draw when dirty.
    Matrix4 world;
    Matrix4 view;
    Matrix4 projection;
    Material material;
    gl::GlStates states;
    RenderTexture* texture;  // stage 0's
    RenderVertexBuffer* stream;
    uint32_t streamStride;
    uint32_t vertexFormat;  // 0 until one is selected
    bool inScene;
    bool transformDirty;
    bool stateDirty;
    bool samplerDirty;

    // What GL has now, so that a draw only issues what changed.
    RenderTexture* boundTexture;
    RenderVertexBuffer* boundBuffer;
    uint32_t boundStride;
    uint32_t boundFormat;
    int32_t uploadRowLength;
    int32_t uploadAlignment;

    RenderTexture* textureList;
    RenderVertexBuffer* bufferList;
};

namespace gl {

// Makes the device's context current on this thread if it is not already.
bool MakeDeviceCurrent(RenderDevice* device);
// Sets up the device's program, vertex array, sampler and default states; false on failure.
bool InitDeviceDrawing(RenderDevice* device);
void ShutDownDeviceDrawing(RenderDevice* device);
// Cuts every resource still alive loose from the device, deleting their GL objects when the
// device's context is current; the handles stay valid until released.
void DetachDeviceResources(RenderDevice* device, bool deleteNames);

}  // namespace gl
