// The saver's picture on OpenGL 3.3 core: every frame is drawn into a framebuffer of the frame's
// size whose row 0 is the frame's top row (so reading back needs no flip), then copied upright
// into the window, if there is one. One program draws spots and glyphs alike: a textured quad
// in pixels, blended over what is there.
#include <cmath>
#include <memory>
#include <new>

#include "render/gl/gl_context.h"

namespace gl {

namespace {

NativeDisplay Native;

constexpr int32_t SpotPitch = SpotSize * 4;
constexpr int32_t SpotBytes = SpotPitch * SpotSize;
constexpr uint32_t VertexCapacity = 6 * (LightSpotCount + MaxOverlayLines * MaxLineGlyphs);

const char* const VertexShaderSource = R"(#version 330 core
in vec2 position;
in vec2 texCoord;
uniform vec2 pixelStep;
out vec2 uv;
void main()
{
    gl_Position = vec4(position * pixelStep - 1.0, 0.0, 1.0);
    uv = texCoord;
}
)";

const char* const FragmentShaderSource = R"(#version 330 core
in vec2 uv;
uniform sampler2D picture;
out vec4 color;
void main()
{
    color = texture(picture, uv);
}
)";

struct Vertex {
    float x;  // pixels from the frame's left edge
    float y;  // pixels from its top edge
    float u;
    float v;
};

struct Spot {
    GLuint texture;
    std::unique_ptr<uint8_t[]> texels;  // what the lock hands out and the unlock uploads
    bool locked;
    bool placed;
    int32_t row0;
    int32_t col0;
};

// What goes with the context.
struct DeviceObjects {
    GLuint framebuffer;
    GLuint colorBuffer;
    GLuint program;
    GLuint vertexArray;
    GLuint vertexBuffer;
    GLint pixelStep;
};

struct GlRenderer {
    EGLDisplay display;
    NativeDisplayKind windows;  // Offscreen: none
    // The last device made, as RecreateDevice makes it again.
    bool made;
    NativeWindow window;
    int32_t madeWidth;
    int32_t madeHeight;

    GlContext context;
    DeviceObjects objects;
    int32_t width;
    int32_t height;
    bool hasFrame;

    Spot spots[LightSpotCount];
    GLuint font;
    Vertex vertices[VertexCapacity];
};

GlRenderer* From(Renderer* renderer)
{
    return reinterpret_cast<GlRenderer*>(renderer);
}

bool HasDevice(const GlRenderer* r)
{
    return r != nullptr && r->context.context != EGL_NO_CONTEXT;
}

bool ReadyToDraw(GlRenderer* r)
{
    return HasDevice(r) && MakeCurrent(r->context);
}

Spot* FindSpot(Renderer* renderer, int32_t spot)
{
    if (renderer == nullptr || spot < 0 || spot >= LightSpotCount) return nullptr;
    return &From(renderer)->spots[spot];
}

// Errors left from before would be taken for this step's.
void ClearErrors()
{
    for (int i = 0; i < 8 && Gl3.GetError() != GL_NO_ERROR; ++i) {
    }
}

GLuint CompileShader(GLenum type, const char* source)
{
    const GLuint shader = Gl3.CreateShader(type);
    Gl3.ShaderSource(shader, 1, &source, nullptr);
    Gl3.CompileShader(shader);
    GLint compiled = GL_FALSE;
    Gl3.GetShaderiv(shader, GL_COMPILE_STATUS, &compiled);
    return compiled == GL_TRUE ? shader : 0;
}

bool LinkProgram(DeviceObjects& objects)
{
    const GLuint vertex = CompileShader(GL_VERTEX_SHADER, VertexShaderSource);
    const GLuint fragment = CompileShader(GL_FRAGMENT_SHADER, FragmentShaderSource);
    GLint linked = GL_FALSE;
    if (vertex != 0 && fragment != 0) {
        objects.program = Gl3.CreateProgram();
        Gl3.AttachShader(objects.program, vertex);
        Gl3.AttachShader(objects.program, fragment);
        Gl3.BindAttribLocation(objects.program, 0, "position");
        Gl3.BindAttribLocation(objects.program, 1, "texCoord");
        Gl3.BindFragDataLocation(objects.program, 0, "color");
        Gl3.LinkProgram(objects.program);
        Gl3.GetProgramiv(objects.program, GL_LINK_STATUS, &linked);
    }
    Gl3.DeleteShader(vertex);
    Gl3.DeleteShader(fragment);
    if (linked != GL_TRUE) return false;
    Gl3.UseProgram(objects.program);
    objects.pixelStep = Gl3.GetUniformLocation(objects.program, "pixelStep");
    return true;
}

bool SizeFramebuffer(GlRenderer* r, int32_t width, int32_t height)
{
    GLint limit = 0;
    Gl3.GetIntegerv(GL_MAX_RENDERBUFFER_SIZE, &limit);
    if (width <= 0 || height <= 0 || width > limit || height > limit) return false;
    ClearErrors();
    Gl3.BindRenderbuffer(GL_RENDERBUFFER, r->objects.colorBuffer);
    Gl3.RenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, width, height);
    Gl3.BindFramebuffer(GL_FRAMEBUFFER, r->objects.framebuffer);
    if (Gl3.GetError() != GL_NO_ERROR ||
        Gl3.CheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
        return false;
    }
    r->width = width;
    r->height = height;
    r->hasFrame = false;
    Gl3.Viewport(0, 0, width, height);
    Gl3.Uniform2f(r->objects.pixelStep, 2.0f / static_cast<float>(width),
                  2.0f / static_cast<float>(height));
    return true;
}

bool SetUpDrawing(GlRenderer* r, int32_t width, int32_t height)
{
    DeviceObjects& o = r->objects;
    if (!LinkProgram(o)) return false;
    Gl3.GenVertexArrays(1, &o.vertexArray);
    Gl3.BindVertexArray(o.vertexArray);
    Gl3.GenBuffers(1, &o.vertexBuffer);
    Gl3.BindBuffer(GL_ARRAY_BUFFER, o.vertexBuffer);
    Gl3.BufferData(GL_ARRAY_BUFFER, sizeof r->vertices, nullptr, GL_DYNAMIC_DRAW);
    Gl3.EnableVertexAttribArray(0);
    Gl3.EnableVertexAttribArray(1);
    Gl3.VertexAttribPointer(0, 2, GL_FLOAT, GL_FALSE, sizeof(Vertex), nullptr);
    Gl3.VertexAttribPointer(1, 2, GL_FLOAT, GL_FALSE, sizeof(Vertex),
                            reinterpret_cast<const void*>(2 * sizeof(float)));
    Gl3.GenRenderbuffers(1, &o.colorBuffer);
    Gl3.GenFramebuffers(1, &o.framebuffer);
    Gl3.BindRenderbuffer(GL_RENDERBUFFER, o.colorBuffer);
    Gl3.BindFramebuffer(GL_FRAMEBUFFER, o.framebuffer);
    Gl3.FramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER,
                                o.colorBuffer);
    // The frame's alpha stays 1 for whoever reads it back; no dithering between frames.
    Gl3.Disable(GL_DITHER);
    Gl3.Enable(GL_BLEND);
    Gl3.BlendFuncSeparate(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA, GL_ZERO, GL_ONE);
    Gl3.ClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    return Gl3.GetError() == GL_NO_ERROR && SizeFramebuffer(r, width, height);
}

void DeleteTexture(GlRenderer* r, GLuint& texture)
{
    // Without the device the texture went with its context.
    if (texture != 0 && ReadyToDraw(r)) Gl3.DeleteTextures(1, &texture);
    texture = 0;
}

void ReleaseScene(GlRenderer* r)
{
    DeleteTexture(r, r->font);
    for (Spot& spot : r->spots) {
        DeleteTexture(r, spot.texture);
        spot.texels.reset();
        spot.locked = false;
        spot.placed = false;
    }
}

// A 256 x 256 texture of 0xAARRGGBB words as they lie in memory, top row first.
bool UploadTexture(GLuint& texture, GLint filter, GLint wrap, const void* texels)
{
    ClearErrors();
    if (texture == 0) Gl3.GenTextures(1, &texture);
    Gl3.BindTexture(GL_TEXTURE_2D, texture);
    Gl3.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, filter);
    Gl3.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, filter);
    Gl3.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, wrap);
    Gl3.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, wrap);
    Gl3.TexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, SpotSize, SpotSize, 0, GL_BGRA,
                   GL_UNSIGNED_INT_8_8_8_8_REV, texels);
    return Gl3.GetError() == GL_NO_ERROR;
}

void AddQuad(GlRenderer* r, uint32_t& count, float x0, float y0, float x1, float y1, float u0,
             float v0, float u1, float v1)
{
    Vertex* v = r->vertices + count;
    v[0] = Vertex{x0, y0, u0, v0};
    v[1] = Vertex{x1, y0, u1, v0};
    v[2] = Vertex{x0, y1, u0, v1};
    v[3] = Vertex{x1, y0, u1, v0};
    v[4] = Vertex{x1, y1, u1, v1};
    v[5] = Vertex{x0, y1, u0, v1};
    count += 6;
}

bool Finite(const GlyphQuad& g)
{
    return std::isfinite(g.x0) && std::isfinite(g.y0) && std::isfinite(g.x1) &&
           std::isfinite(g.y1) && std::isfinite(g.u0) && std::isfinite(g.v0) &&
           std::isfinite(g.u1) && std::isfinite(g.v1);
}

// The frame's top row at the window's top; a window of another size than the frame shows it
// at its top-left corner on black until the host resizes the frame.
void ShowInWindow(GlRenderer* r)
{
    int32_t windowWidth = 0;
    int32_t windowHeight = 0;
    GetWindowSize(r->context, windowWidth, windowHeight);
    Gl3.BindFramebuffer(GL_READ_FRAMEBUFFER, r->objects.framebuffer);
    Gl3.BindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
    if (windowWidth != r->width || windowHeight != r->height) Gl3.Clear(GL_COLOR_BUFFER_BIT);
    Gl3.BlitFramebuffer(0, 0, r->width, r->height, 0, windowHeight, r->width,
                        windowHeight - r->height, GL_COLOR_BUFFER_BIT, GL_NEAREST);
    eglSwapBuffers(r->display, r->context.surface);
}

bool MakeDevice(GlRenderer* r, NativeWindow window, int32_t width, int32_t height)
{
    if (width <= 0 || height <= 0 ||
        !CreateGlContext(r->display, r->windows, window, width, height, r->context)) {
        return false;
    }
    if (!SetUpDrawing(r, width, height)) {
        DestroyGlContext(r->context);
        r->objects = DeviceObjects{};
        return false;
    }
    r->made = true;
    r->window = window;
    r->madeWidth = width;
    r->madeHeight = height;
    return true;
}

Renderer* Open()
{
    const EGLDisplay display = AcquireDisplay(Native);
    if (display == EGL_NO_DISPLAY) return nullptr;
    GlRenderer* r = new (std::nothrow) GlRenderer{};
    if (r == nullptr) {
        ReleaseDisplay(display);
        return nullptr;
    }
    r->display = display;
    r->windows = Native.kind;
    return reinterpret_cast<Renderer*>(r);
}

void ReleaseDevice(Renderer* renderer)
{
    GlRenderer* r = From(renderer);
    if (r == nullptr) return;
    ReleaseScene(r);
    DestroyGlContext(r->context);
    r->objects = DeviceObjects{};
    r->width = 0;
    r->height = 0;
    r->hasFrame = false;
}

bool CreateDevice(Renderer* renderer, NativeWindow window, int32_t width, int32_t height,
                  const RendererOptions&)
{
    if (renderer == nullptr) return false;
    ReleaseDevice(renderer);
    return MakeDevice(From(renderer), window, width, height);
}

bool RecreateDevice(Renderer* renderer)
{
    GlRenderer* r = From(renderer);
    if (r == nullptr || !r->made) return false;
    ReleaseDevice(renderer);
    return MakeDevice(r, r->window, r->madeWidth, r->madeHeight);
}

bool HasDeviceOf(const Renderer* renderer)
{
    return HasDevice(reinterpret_cast<const GlRenderer*>(renderer));
}

void Close(Renderer* renderer)
{
    if (renderer == nullptr) return;
    ReleaseDevice(renderer);
    ReleaseDisplay(From(renderer)->display);
    delete From(renderer);
}

bool CreateSpotResources(Renderer* renderer, int32_t spot)
{
    Spot* s = FindSpot(renderer, spot);
    if (s == nullptr || !ReadyToDraw(From(renderer))) return false;
    if (s->texture != 0) return true;
    if (s->texels == nullptr) s->texels.reset(new (std::nothrow) uint8_t[SpotBytes]());
    if (s->texels == nullptr) return false;
    if (!UploadTexture(s->texture, GL_NEAREST, GL_CLAMP_TO_EDGE, s->texels.get())) {
        DeleteTexture(From(renderer), s->texture);
        return false;
    }
    s->placed = false;
    return true;
}

bool LoadFontSheet(Renderer* renderer, const uint32_t* sheet)
{
    GlRenderer* r = From(renderer);
    if (!ReadyToDraw(r)) return false;
    if (sheet == nullptr) {
        DeleteTexture(r, r->font);
        return false;
    }
    const std::unique_ptr<uint32_t[]> texels(new (std::nothrow) uint32_t[SpotSize * SpotSize]);
    if (texels == nullptr) return false;
    // The Windows build keeps the sheet at four bits a channel (A4R4G4B4): so does this one.
    for (int32_t i = 0; i < SpotSize * SpotSize; ++i) {
        texels[i] = ((sheet[i] >> 4) & 0x0F0F0F0Fu) * 17u;
    }
    if (!UploadTexture(r->font, GL_LINEAR, GL_REPEAT, texels.get())) {
        DeleteTexture(r, r->font);
        return false;
    }
    return true;
}

void ReleaseSceneResources(Renderer* renderer)
{
    if (renderer != nullptr) ReleaseScene(From(renderer));
}

void GetFrameSize(Renderer* renderer, int32_t& width, int32_t& height)
{
    const bool device = HasDevice(From(renderer));
    width = device ? From(renderer)->width : 0;
    height = device ? From(renderer)->height : 0;
}

void PlaceSpot(Renderer* renderer, int32_t spot, const SpotPlacement& place)
{
    Spot* s = FindSpot(renderer, spot);
    if (s == nullptr) return;
    s->row0 = place.row0;
    s->col0 = place.col0;
    s->placed = true;
}

bool LockSpotTexels(Renderer* renderer, int32_t spot, uint8_t*& texels, int32_t& pitch)
{
    Spot* s = FindSpot(renderer, spot);
    const bool usable = s != nullptr && s->texture != 0;
    texels = usable ? s->texels.get() : nullptr;
    pitch = usable ? SpotPitch : 0;
    if (usable) s->locked = true;
    return usable;
}

void UnlockSpotTexels(Renderer* renderer, int32_t spot)
{
    Spot* s = FindSpot(renderer, spot);
    if (s == nullptr || !s->locked) return;
    s->locked = false;
    if (s->texture == 0 || !ReadyToDraw(From(renderer))) return;
    Gl3.BindTexture(GL_TEXTURE_2D, s->texture);
    Gl3.TexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, SpotSize, SpotSize, GL_BGRA,
                      GL_UNSIGNED_INT_8_8_8_8_REV, s->texels.get());
}

void PresentFrame(Renderer* renderer, const OverlayFrame& overlay)
{
    GlRenderer* r = From(renderer);
    if (!ReadyToDraw(r)) return;
    uint32_t count = 0;
    uint32_t spotFirst[LightSpotCount];
    for (int32_t k = 0; k < LightSpotCount; ++k) {
        const Spot& s = r->spots[k];
        spotFirst[k] = count;
        const bool onFrame =
            s.col0 < r->width && s.col0 > -SpotSize && s.row0 < r->height && s.row0 > -SpotSize;
        if (s.texture == 0 || !s.placed || !onFrame) continue;
        const auto x = static_cast<float>(s.col0);
        const auto y = static_cast<float>(s.row0);
        AddQuad(r, count, x, y, x + SpotSize, y + SpotSize, 0.0f, 0.0f, 1.0f, 1.0f);
    }
    const uint32_t glyphFirst = count;
    const uint32_t lines =
        overlay.lineCount < MaxOverlayLines ? overlay.lineCount : MaxOverlayLines;
    for (uint32_t i = 0; r->font != 0 && i < lines; ++i) {
        const OverlayLine& line = overlay.lines[i];
        const uint32_t glyphs = line.glyphCount < MaxLineGlyphs ? line.glyphCount : MaxLineGlyphs;
        for (uint32_t j = 0; j < glyphs; ++j) {
            // Glyph corners count from pixel centres, as the overlay was laid out for.
            const GlyphQuad& g = line.glyphs[j];
            if (!Finite(g)) continue;
            AddQuad(r, count, g.x0 + 0.5f, g.y0 + 0.5f, g.x1 + 0.5f, g.y1 + 0.5f, g.u0, g.v0, g.u1,
                    g.v1);
        }
    }

    Gl3.BindFramebuffer(GL_FRAMEBUFFER, r->objects.framebuffer);
    Gl3.Clear(GL_COLOR_BUFFER_BIT);
    if (count > 0) Gl3.BufferSubData(GL_ARRAY_BUFFER, 0, count * sizeof(Vertex), r->vertices);
    for (int32_t k = 0; k < LightSpotCount; ++k) {
        const uint32_t end = k + 1 < LightSpotCount ? spotFirst[k + 1] : glyphFirst;
        if (end == spotFirst[k]) continue;
        Gl3.BindTexture(GL_TEXTURE_2D, r->spots[k].texture);
        Gl3.DrawArrays(GL_TRIANGLES, static_cast<GLint>(spotFirst[k]), 6);
    }
    if (count > glyphFirst) {
        Gl3.BindTexture(GL_TEXTURE_2D, r->font);
        Gl3.DrawArrays(GL_TRIANGLES, static_cast<GLint>(glyphFirst),
                       static_cast<GLsizei>(count - glyphFirst));
    }
    if (r->context.surface != EGL_NO_SURFACE) ShowInWindow(r);
    r->hasFrame = true;
}

bool Resize(Renderer* renderer, int32_t width, int32_t height)
{
    GlRenderer* r = From(renderer);
    if (!ReadyToDraw(r) || !SizeFramebuffer(r, width, height)) return false;
    ResizeWindow(r->context, width, height);
    r->madeWidth = width;
    r->madeHeight = height;
    return true;
}

bool ReadFrame(Renderer* renderer, uint8_t* pixels, int32_t pitch)
{
    GlRenderer* r = From(renderer);
    if (pixels == nullptr || !ReadyToDraw(r) || !r->hasFrame || pitch / 4 < r->width) {
        return false;
    }
    ClearErrors();
    Gl3.BindFramebuffer(GL_READ_FRAMEBUFFER, r->objects.framebuffer);
    if (pitch % 4 == 0) {
        Gl3.PixelStorei(GL_PACK_ROW_LENGTH, pitch / 4);
        Gl3.ReadPixels(0, 0, r->width, r->height, GL_RGBA, GL_UNSIGNED_BYTE, pixels);
        Gl3.PixelStorei(GL_PACK_ROW_LENGTH, 0);
    } else {
        for (int32_t y = 0; y < r->height; ++y) {
            Gl3.ReadPixels(0, y, r->width, 1, GL_RGBA, GL_UNSIGNED_BYTE,
                           pixels + static_cast<size_t>(y) * pitch);
        }
    }
    return Gl3.GetError() == GL_NO_ERROR;
}

}  // namespace

void SetNativeDisplay(const NativeDisplay& display)
{
    Native = display;
}

const RendererBackEnd BackEnd = {
    .open = Open,
    .createDevice = CreateDevice,
    .recreateDevice = RecreateDevice,
    .releaseDevice = ReleaseDevice,
    .hasDevice = HasDeviceOf,
    .close = Close,
    .createSpotResources = CreateSpotResources,
    .loadFontSheet = LoadFontSheet,
    .releaseSceneResources = ReleaseSceneResources,
    .getFrameSize = GetFrameSize,
    .placeSpot = PlaceSpot,
    .lockSpotTexels = LockSpotTexels,
    .unlockSpotTexels = UnlockSpotTexels,
    .presentFrame = PresentFrame,
    .resize = Resize,
    .readFrame = ReadFrame,
};

}  // namespace gl
