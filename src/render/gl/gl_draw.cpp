// Direct3D 8's fixed-function drawing on OpenGL: render and stage states, transforms, material,
// the scene bracket, clearing and drawing.
//
// Geometry lands where Direct3D puts it: clip space is moved half a pixel right and down (a
// Direct3D pixel centre is at integer coordinates, a GL one at .5) and depth 0..1 is stretched
// to GL's -1..1. The back buffer is drawn upside down in GL's terms, row 0 at the top as in
// Direct3D: then the rasteriser's rule for pixel centres on an edge (left and row-0 side in)
// matches Direct3D's top-left rule, and reading back needs no flip.
#include <cstddef>

#include "render/gl/gl_device.h"
#include "render/gl/gl_internal.h"

namespace gl {

namespace {

const char* const VertexShaderSource = R"(#version 330 core
in vec4 position;
in vec2 texCoord;
uniform mat4 transform;    // world * view * projection, laid out so that M * v = v * D3D's matrix
uniform int pretransformed;
uniform vec4 pixelStep;    // 2 / width, 2 / height, 1 / width, 1 / height
out vec2 uv;
void main()
{
    vec4 clip;
    if (pretransformed != 0) {
        float w = position.w != 0.0 ? 1.0 / position.w : 1.0;
        clip = vec4((position.x + 0.5) * pixelStep.x - 1.0, (position.y + 0.5) * pixelStep.y - 1.0,
                    2.0 * position.z - 1.0, 1.0) * w;
    } else {
        clip = transform * vec4(position.xyz, 1.0);
        clip.x += clip.w * pixelStep.z;
        clip.y = clip.w * pixelStep.w - clip.y;
        clip.z = 2.0 * clip.z - clip.w;
    }
    gl_Position = clip;
    uv = texCoord;
}
)";

// Stage 0 as Direct3D sets it up: the texture's colour times the vertex colour, the texture's
// alpha; the vertex colour alone without a texture. It is the same for the whole draw.
const char* const FragmentShaderSource = R"(#version 330 core
in vec2 uv;
out vec4 fragColor;
uniform sampler2D texture0;
uniform int textured;
uniform vec4 diffuse;
void main()
{
    if (textured == 0) {
        fragColor = diffuse;
        return;
    }
    vec4 texel = texture(texture0, uv);
    fragColor = vec4(texel.rgb * diffuse.rgb, texel.a);
}
)";

GLuint CompileShader(GLenum type, const char* source)
{
    const GLuint shader = Gl.CreateShader(type);
    Gl.ShaderSource(shader, 1, &source, nullptr);
    Gl.CompileShader(shader);
    GLint compiled = GL_FALSE;
    Gl.GetShaderiv(shader, GL_COMPILE_STATUS, &compiled);
    if (compiled != GL_TRUE) {
        Gl.DeleteShader(shader);
        return 0;
    }
    return shader;
}

GLuint LinkProgram()
{
    const GLuint vertex = CompileShader(GL_VERTEX_SHADER, VertexShaderSource);
    const GLuint fragment = CompileShader(GL_FRAGMENT_SHADER, FragmentShaderSource);
    GLuint program = 0;
    if (vertex != 0 && fragment != 0) {
        program = Gl.CreateProgram();
        Gl.AttachShader(program, vertex);
        Gl.AttachShader(program, fragment);
        Gl.BindAttribLocation(program, 0, "position");
        Gl.BindAttribLocation(program, 1, "texCoord");
        Gl.BindFragDataLocation(program, 0, "fragColor");
        Gl.LinkProgram(program);
        GLint linked = GL_FALSE;
        Gl.GetProgramiv(program, GL_LINK_STATUS, &linked);
        if (linked != GL_TRUE) {
            Gl.DeleteProgram(program);
            program = 0;
        }
    }
    Gl.DeleteShader(vertex);
    Gl.DeleteShader(fragment);
    return program;
}

GLenum BlendFactor(uint32_t blend)
{
    switch (blend) {
    case BlendZero: return GL_ZERO;
    case BlendSrcAlpha: return GL_SRC_ALPHA;
    case BlendInvSrcAlpha: return GL_ONE_MINUS_SRC_ALPHA;
    default: return GL_ONE;
    }
}

bool IsBlendFactor(uint32_t blend)
{
    return blend == BlendZero || blend == BlendOne || blend == BlendSrcAlpha ||
           blend == BlendInvSrcAlpha;
}

bool IsFilter(uint32_t filter)
{
    return filter == TextureFilterPoint || filter == TextureFilterLinear;
}

GLint Filter(uint32_t filter)
{
    return filter == TextureFilterLinear ? GL_LINEAR : GL_NEAREST;
}

void SetCapability(GLenum capability, bool enabled)
{
    if (enabled) {
        Gl.Enable(capability);
    } else {
        Gl.Disable(capability);
    }
}

float Channel(uint32_t color, int shift)
{
    return static_cast<float>((color >> shift) & 0xFFu) / 255.0f;
}

float Saturate(float value)
{
    return value < 0.0f ? 0.0f : (value > 1.0f ? 1.0f : value);
}

// Direct3D's defaults; the depth test is on when the device has a depth buffer.
void SetDefaultStates(RenderDevice* device)
{
    IdentityMatrix(device->world);
    IdentityMatrix(device->view);
    IdentityMatrix(device->projection);
    device->states = GlStates{.zEnable = device->hasDepth ? ZBufferTrue : ZBufferFalse,
                              .srcBlend = BlendOne,
                              .destBlend = BlendZero,
                              .cullMode = CullCounterClockwise,
                              .alphaBlendEnable = 0,
                              .lighting = 1,
                              .ambient = 0,
                              .magFilter = TextureFilterPoint,
                              .minFilter = TextureFilterPoint};
    device->transformDirty = true;
    device->stateDirty = true;
    device->samplerDirty = true;
}

// Lighting without lights leaves ambient and emissive; without lighting the colour is white.
void VertexColor(const RenderDevice* device, float color[4])
{
    if (device->states.lighting == 0 || device->vertexFormat == VertexFormatXyzRhwTex1) {
        color[0] = color[1] = color[2] = color[3] = 1.0f;
        return;
    }
    const uint32_t ambient = device->states.ambient;
    const Material& m = device->material;
    color[0] = Saturate(m.ambient[0] * Channel(ambient, 16) + m.emissive[0]);
    color[1] = Saturate(m.ambient[1] * Channel(ambient, 8) + m.emissive[1]);
    color[2] = Saturate(m.ambient[2] * Channel(ambient, 0) + m.emissive[2]);
    color[3] = Saturate(m.diffuse[3]);
}

void ApplyStates(RenderDevice* device)
{
    const GlStates& states = device->states;
    SetCapability(GL_DEPTH_TEST, device->hasDepth && states.zEnable == ZBufferTrue);
    SetCapability(GL_BLEND, states.alphaBlendEnable != 0);
    Gl.BlendFunc(BlendFactor(states.srcBlend), BlendFactor(states.destBlend));
    // With y running down in both, Direct3D's counter-clockwise has GL's negative area: GL's
    // back faces, the ones GL culls.
    SetCapability(GL_CULL_FACE, states.cullMode == CullCounterClockwise);
    float color[4];
    VertexColor(device, color);
    Gl.Uniform4f(device->uniformDiffuse, color[0], color[1], color[2], color[3]);
    Gl.Uniform1i(device->uniformPretransformed,
                 device->vertexFormat == VertexFormatXyzRhwTex1 ? 1 : 0);
    device->stateDirty = false;
}

void ApplySampler(RenderDevice* device)
{
    Gl.SamplerParameteri(device->sampler, GL_TEXTURE_MAG_FILTER, Filter(device->states.magFilter));
    Gl.SamplerParameteri(device->sampler, GL_TEXTURE_MIN_FILTER, Filter(device->states.minFilter));
    device->samplerDirty = false;
}

void ApplyTransform(RenderDevice* device)
{
    Matrix4 worldView;
    Matrix4 combined;
    MultiplyMatrix(worldView, device->world, device->view);
    MultiplyMatrix(combined, worldView, device->projection);
    Gl.UniformMatrix4fv(device->uniformTransform, 1, GL_FALSE, &combined.m[0][0]);
    device->transformDirty = false;
}

}  // namespace

bool InitDeviceDrawing(RenderDevice* device)
{
    device->program = LinkProgram();
    if (device->program == 0) return false;
    Gl.UseProgram(device->program);
    device->uniformTransform = Gl.GetUniformLocation(device->program, "transform");
    device->uniformPretransformed = Gl.GetUniformLocation(device->program, "pretransformed");
    device->uniformTextured = Gl.GetUniformLocation(device->program, "textured");
    device->uniformDiffuse = Gl.GetUniformLocation(device->program, "diffuse");
    Gl.Uniform1i(Gl.GetUniformLocation(device->program, "texture0"), 0);
    const float width = static_cast<float>(device->width);
    const float height = static_cast<float>(device->height);
    Gl.Uniform4f(Gl.GetUniformLocation(device->program, "pixelStep"), 2.0f / width, 2.0f / height,
                 1.0f / width, 1.0f / height);

    Gl.GenVertexArrays(1, &device->vertexArray);
    Gl.BindVertexArray(device->vertexArray);
    Gl.EnableVertexAttribArray(0);
    Gl.EnableVertexAttribArray(1);
    // The sampler's wrapping is GL's default, which is Direct3D's too.
    Gl.GenSamplers(1, &device->sampler);
    Gl.BindSampler(0, device->sampler);
    Gl.ActiveTexture(GL_TEXTURE0);
    Gl.Disable(GL_DITHER);
    Gl.DepthFunc(GL_LEQUAL);
    Gl.Viewport(0, 0, device->width, device->height);
    Gl.GetIntegerv(GL_MAX_TEXTURE_SIZE, &device->maxTextureSize);
    device->uploadRowLength = 0;
    device->uploadAlignment = 4;
    SetDefaultStates(device);
    return Gl.GetError() == GL_NO_ERROR;
}

void ShutDownDeviceDrawing(RenderDevice* device)
{
    Gl.DeleteSamplers(1, &device->sampler);
    Gl.DeleteVertexArrays(1, &device->vertexArray);
    Gl.DeleteProgram(device->program);
    device->sampler = 0;
    device->vertexArray = 0;
    device->program = 0;
}

RenderResult Clear(RenderDevice* device, uint32_t rectCount, const int32_t* rects, uint32_t flags,
                   uint32_t color, float z, uint32_t)
{
    // There is never a stencil buffer to clear.
    if (device == nullptr || flags == 0 || (flags & ~(ClearTarget | ClearZBuffer)) != 0 ||
        ((flags & ClearZBuffer) != 0 && !device->hasDepth) ||
        (rectCount != 0 && rects == nullptr) || !MakeDeviceCurrent(device)) {
        return RenderErrorInvalidCall;
    }
    GLbitfield mask = 0;
    if ((flags & ClearTarget) != 0) {
        mask |= GL_COLOR_BUFFER_BIT;
        Gl.ClearColor(Channel(color, 16), Channel(color, 8), Channel(color, 0), Channel(color, 24));
    }
    if ((flags & ClearZBuffer) != 0) {
        mask |= GL_DEPTH_BUFFER_BIT;
        Gl.ClearDepth(Saturate(z));
    }
    if (rectCount == 0) {
        Gl.Clear(mask);
        return RenderOk;
    }
    Gl.Enable(GL_SCISSOR_TEST);
    for (uint32_t i = 0; i < rectCount; ++i) {
        const int32_t* r = rects + 4 * static_cast<size_t>(i);
        const int32_t left = r[0] < 0 ? 0 : r[0];
        const int32_t top = r[1] < 0 ? 0 : r[1];
        const int32_t right = r[2] > device->width ? device->width : r[2];
        const int32_t bottom = r[3] > device->height ? device->height : r[3];
        if (left >= right || top >= bottom) continue;
        Gl.Scissor(left, top, right - left, bottom - top);
        Gl.Clear(mask);
    }
    Gl.Disable(GL_SCISSOR_TEST);
    return RenderOk;
}

RenderResult BeginScene(RenderDevice* device)
{
    if (device == nullptr || device->inScene) return RenderErrorInvalidCall;
    device->inScene = true;
    return RenderOk;
}

RenderResult EndScene(RenderDevice* device)
{
    if (device == nullptr || !device->inScene) return RenderErrorInvalidCall;
    device->inScene = false;
    return RenderOk;
}

RenderResult SetTransform(RenderDevice* device, TransformType type, const Matrix4& matrix)
{
    if (device == nullptr) return RenderErrorInvalidCall;
    switch (type) {
    case TransformType::World: device->world = matrix; break;
    case TransformType::View: device->view = matrix; break;
    case TransformType::Projection: device->projection = matrix; break;
    default: return RenderErrorInvalidCall;
    }
    device->transformDirty = true;
    return RenderOk;
}

RenderResult SetMaterial(RenderDevice* device, const Material& material)
{
    if (device == nullptr) return RenderErrorInvalidCall;
    device->material = material;
    device->stateDirty = true;
    return RenderOk;
}

// Only a change costs GL calls: the overlay sets the same states for every line.
RenderResult SetRenderState(RenderDevice* device, RenderStateType state, uint32_t value)
{
    if (device == nullptr) return RenderErrorInvalidCall;
    GlStates& states = device->states;
    uint32_t* field = nullptr;
    bool valid = true;
    switch (state) {
    case RenderStateType::ZEnable:
        field = &states.zEnable;
        valid = value == ZBufferFalse || value == ZBufferTrue;
        break;
    case RenderStateType::SrcBlend:
        field = &states.srcBlend;
        valid = IsBlendFactor(value);
        break;
    case RenderStateType::DestBlend:
        field = &states.destBlend;
        valid = IsBlendFactor(value);
        break;
    case RenderStateType::CullMode:
        field = &states.cullMode;
        valid = value == CullNone || value == CullCounterClockwise;
        break;
    case RenderStateType::AlphaBlendEnable: field = &states.alphaBlendEnable; break;
    case RenderStateType::Lighting: field = &states.lighting; break;
    case RenderStateType::Ambient: field = &states.ambient; break;
    }
    if (field == nullptr || !valid) return RenderErrorInvalidCall;
    if (*field != value) device->stateDirty = true;
    *field = value;
    return RenderOk;
}

RenderResult SetTextureStageState(RenderDevice* device, uint32_t stage, TextureStageStateType type,
                                  uint32_t value)
{
    if (device == nullptr || stage != 0) return RenderErrorInvalidCall;
    // One level per texture: there is nothing to filter between.
    if (type == TextureStageStateType::MipFilter) {
        return value == TextureFilterNone ? RenderOk : RenderErrorInvalidCall;
    }
    const bool magnifying = type == TextureStageStateType::MagFilter;
    if ((!magnifying && type != TextureStageStateType::MinFilter) || !IsFilter(value)) {
        return RenderErrorInvalidCall;
    }
    uint32_t& filter = magnifying ? device->states.magFilter : device->states.minFilter;
    if (filter != value) device->samplerDirty = true;
    filter = value;
    return RenderOk;
}

RenderResult SetVertexShader(RenderDevice* device, uint32_t vertexFormat)
{
    if (device == nullptr ||
        (vertexFormat != VertexFormatXyzTex1 && vertexFormat != VertexFormatXyzRhwTex1)) {
        return RenderErrorInvalidCall;
    }
    if (vertexFormat != device->vertexFormat) device->stateDirty = true;
    device->vertexFormat = vertexFormat;
    return RenderOk;
}

RenderResult SetPixelShader(RenderDevice* device, uint32_t handle)
{
    // Only the fixed-function pipeline.
    return (device != nullptr && handle == 0) ? RenderOk : RenderErrorInvalidCall;
}

RenderResult SetStreamSource(RenderDevice* device, uint32_t stream, RenderVertexBuffer* buffer,
                             uint32_t stride)
{
    if (device == nullptr || stream != 0) return RenderErrorInvalidCall;
    if (buffer != nullptr && buffer->device != device) return RenderErrorInvalidCall;
    device->stream = buffer;
    device->streamStride = stride;
    return RenderOk;
}

RenderResult SetTexture(RenderDevice* device, uint32_t stage, RenderTexture* texture)
{
    if (device == nullptr || stage != 0) return RenderErrorInvalidCall;
    if (texture != nullptr && texture->device != device) return RenderErrorInvalidCall;
    device->texture = texture;
    return RenderOk;
}

RenderResult DrawPrimitive(RenderDevice* device, PrimitiveType type, uint32_t startVertex,
                           uint32_t primitiveCount)
{
    if (device == nullptr || !device->inScene || type != PrimitiveType::TriangleList) {
        return RenderErrorInvalidCall;
    }
    // Both formats end in one set of texture coordinates, after 3 or 4 floats of position.
    const bool pretransformed = device->vertexFormat == VertexFormatXyzRhwTex1;
    const uint32_t vertexSize = pretransformed ? 24 : 20;
    RenderVertexBuffer* buffer = device->stream;
    const uint32_t stride = device->streamStride;
    if (buffer == nullptr || device->vertexFormat == 0 || stride < vertexSize) {
        return RenderErrorInvalidCall;
    }
    if (primitiveCount == 0) return RenderOk;
    // Never read past the buffer.
    const uint64_t vertices = 3ull * primitiveCount;
    const uint64_t end = (startVertex + vertices - 1) * stride + vertexSize;
    if (end > buffer->length) return RenderErrorInvalidCall;
    if (!MakeDeviceCurrent(device)) return RenderErrorInvalidCall;

    if (device->stateDirty) ApplyStates(device);
    if (device->samplerDirty) ApplySampler(device);
    if (device->transformDirty) ApplyTransform(device);

    if (device->boundBuffer != buffer || device->boundStride != stride ||
        device->boundFormat != device->vertexFormat) {
        Gl.BindBuffer(GL_ARRAY_BUFFER, buffer->name);
        Gl.VertexAttribPointer(0, pretransformed ? 4 : 3, GL_FLOAT, GL_FALSE,
                               static_cast<GLsizei>(stride), nullptr);
        Gl.VertexAttribPointer(1, 2, GL_FLOAT, GL_FALSE, static_cast<GLsizei>(stride),
                               reinterpret_cast<const void*>(uintptr_t{vertexSize - 8}));
        device->boundBuffer = buffer;
        device->boundStride = stride;
        device->boundFormat = device->vertexFormat;
    }

    RenderTexture* texture = device->texture;
    const bool textured = texture != nullptr && texture->name != 0;
    if (textured && device->boundTexture != texture) {
        Gl.BindTexture(GL_TEXTURE_2D, texture->name);
        device->boundTexture = texture;
    }
    Gl.Uniform1i(device->uniformTextured, textured ? 1 : 0);
    Gl.DrawArrays(GL_TRIANGLES, static_cast<GLint>(startVertex), static_cast<GLsizei>(vertices));
    return RenderOk;
}

}  // namespace gl
