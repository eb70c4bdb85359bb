// Direct3D 8's fixed-function drawing on OpenGL: render and stage states, transforms, material,
// the scene bracket, clearing and drawing.
//
// Geometry lands where Direct3D puts it: clip space is moved half a pixel right and down (a
// Direct3D pixel centre is at integer coordinates, a GL one at .5) and depth 0..1 is stretched
// to GL's -1..1. The back buffer is drawn upside down in GL's terms, row 0 at the top as in
// Direct3D: then the rasteriser's rule for pixel centres on an edge (left and row-0 side in)
// matches Direct3D's top-left rule, and reading back needs no flip.
#include <cstddef>

#include "render/gl/gl_internal.h"

namespace {

// Direct3D 8 render states, stage states and their values as the API numbers them.
enum : uint32_t {
    StateZEnable = 7,
    StateZWriteEnable = 14,
    StateSrcBlend = 19,
    StateDestBlend = 20,
    StateCullMode = 22,
    StateZFunc = 23,
    StateAlphaBlendEnable = 27,
    StateTextureFactor = 60,
    StateLighting = 137,
    StateAmbient = 139,
    StateColorWriteEnable = 168,
    StateBlendOp = 171,
};

enum : uint32_t {
    StageColorOp = 1,
    StageColorArg1 = 2,
    StageColorArg2 = 3,
    StageAlphaOp = 4,
    StageAlphaArg1 = 5,
    StageAlphaArg2 = 6,
    StageTexCoordIndex = 11,
    StageAddressU = 13,
    StageAddressV = 14,
    StageMagFilter = 16,
    StageMinFilter = 17,
    StageMipFilter = 18,
    StageMaxAnisotropy = 21,
    StageAddressW = 25,
    StageColorArg0 = 26,
    StageAlphaArg0 = 27,
    StageResultArg = 28,
};

constexpr uint32_t OpDisable = 1;
constexpr uint32_t OpSelectArg1 = 2;
constexpr uint32_t OpModulate = 4;
constexpr uint32_t ArgCurrent = 1;
constexpr uint32_t ArgTexture = 2;

constexpr uint32_t ClearZBuffer = 2;
constexpr uint32_t ClearStencil = 4;

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

// Stage 0 of the texture blending cascade; the vertex colour is the same for the whole draw.
const char* const FragmentShaderSource = R"(#version 330 core
in vec2 uv;
out vec4 fragColor;
uniform sampler2D texture0;
uniform int textured;
uniform ivec4 stage;       // colour op, colour arg 1, colour arg 2, alpha op
uniform ivec2 alphaArgs;   // alpha arg 1, alpha arg 2
uniform vec4 diffuse;
uniform vec4 factor;

vec4 Argument(int code, vec4 texel)
{
    int select = code & 15;
    vec4 value = select == 2 ? texel : select == 3 ? factor : select == 4 ? vec4(0.0) : diffuse;
    if ((code & 32) != 0) value = vec4(value.a);
    if ((code & 16) != 0) value = vec4(1.0) - value;
    return value;
}

vec4 Operation(int op, vec4 a, vec4 b)
{
    if (op == 1) return diffuse;
    if (op == 2) return a;
    if (op == 3) return b;
    if (op == 5) return clamp(2.0 * a * b, 0.0, 1.0);
    if (op == 6) return clamp(4.0 * a * b, 0.0, 1.0);
    if (op == 7) return clamp(a + b, 0.0, 1.0);
    if (op == 8) return clamp(a + b - 0.5, 0.0, 1.0);
    if (op == 10) return clamp(a - b, 0.0, 1.0);
    return a * b;
}

void main()
{
    if (textured == 0) {
        fragColor = diffuse;
        return;
    }
    vec4 texel = texture(texture0, uv);
    vec3 rgb = Operation(stage.x, Argument(stage.y, texel), Argument(stage.z, texel)).rgb;
    float alpha = Operation(stage.w, Argument(alphaArgs.x, texel), Argument(alphaArgs.y, texel)).a;
    fragColor = vec4(rgb, alpha);
}
)";

GLuint CompileShader(GLenum type, const char* source)
{
    const GLuint shader = gl.CreateShader(type);
    gl.ShaderSource(shader, 1, &source, nullptr);
    gl.CompileShader(shader);
    GLint compiled = GL_FALSE;
    gl.GetShaderiv(shader, GL_COMPILE_STATUS, &compiled);
    if (compiled != GL_TRUE) {
        gl.DeleteShader(shader);
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
        program = gl.CreateProgram();
        gl.AttachShader(program, vertex);
        gl.AttachShader(program, fragment);
        gl.BindAttribLocation(program, 0, "position");
        gl.BindAttribLocation(program, 1, "texCoord");
        gl.BindFragDataLocation(program, 0, "fragColor");
        gl.LinkProgram(program);
        GLint linked = GL_FALSE;
        gl.GetProgramiv(program, GL_LINK_STATUS, &linked);
        if (linked != GL_TRUE) {
            gl.DeleteProgram(program);
            program = 0;
        }
    }
    gl.DeleteShader(vertex);
    gl.DeleteShader(fragment);
    return program;
}

GLenum BlendFactor(uint32_t blend)
{
    switch (blend) {
    case 1: return GL_ZERO;
    case 2: return GL_ONE;
    case 3: return GL_SRC_COLOR;
    case 4: return GL_ONE_MINUS_SRC_COLOR;
    case 5: return GL_SRC_ALPHA;
    case 6: return GL_ONE_MINUS_SRC_ALPHA;
    case 7: return GL_DST_ALPHA;
    case 8: return GL_ONE_MINUS_DST_ALPHA;
    case 9: return GL_DST_COLOR;
    case 10: return GL_ONE_MINUS_DST_COLOR;
    case 11: return GL_SRC_ALPHA_SATURATE;
    default: return GL_ONE;
    }
}

GLenum CompareFunction(uint32_t function)
{
    switch (function) {
    case 1: return GL_NEVER;
    case 2: return GL_LESS;
    case 3: return GL_EQUAL;
    case 5: return GL_GREATER;
    case 6: return GL_NOTEQUAL;
    case 7: return GL_GEQUAL;
    case 8: return GL_ALWAYS;
    default: return GL_LEQUAL;
    }
}

GLenum BlendEquation(uint32_t op)
{
    switch (op) {
    case 2: return GL_FUNC_SUBTRACT;
    case 3: return GL_FUNC_REVERSE_SUBTRACT;
    case 4: return GL_MIN;
    case 5: return GL_MAX;
    default: return GL_FUNC_ADD;
    }
}

GLint AddressMode(uint32_t mode)
{
    switch (mode) {
    case 2: return GL_MIRRORED_REPEAT;
    case 3: return GL_CLAMP_TO_EDGE;
    case 4: return GL_CLAMP_TO_BORDER;
    case 5: return GL_MIRROR_CLAMP_TO_EDGE;
    default: return GL_REPEAT;
    }
}

// Point for none and point, linear for linear and everything better; mipmaps never.
GLint Filter(uint32_t filter)
{
    return filter >= TextureFilterLinear ? GL_LINEAR : GL_NEAREST;
}

float Channel(uint32_t color, int shift)
{
    return static_cast<float>((color >> shift) & 0xFFu) / 255.0f;
}

float Saturate(float value)
{
    return value < 0.0f ? 0.0f : (value > 1.0f ? 1.0f : value);
}

void SetDefaultStates(RenderDevice* device)
{
    IdentityMatrix(device->world);
    IdentityMatrix(device->view);
    IdentityMatrix(device->projection);
    uint32_t* states = device->renderStates;
    states[StateZEnable] = device->hasDepth ? 1 : 0;
    states[8] = 3;  // fill mode solid
    states[9] = 2;  // Gouraud shading
    states[StateZWriteEnable] = 1;
    states[StateSrcBlend] = 2;   // one
    states[StateDestBlend] = 1;  // zero
    states[StateCullMode] = 3;   // counter-clockwise
    states[StateZFunc] = 4;      // less or equal
    states[25] = 8;              // alpha function always
    states[StateTextureFactor] = 0xFFFFFFFFu;
    states[StateLighting] = 1;
    states[141] = 1;  // colour vertex
    states[StateColorWriteEnable] = 0xF;
    states[StateBlendOp] = 1;  // add
    for (uint32_t s = 0; s < MaxTextureStages; ++s) {
        uint32_t* stage = device->stageStates[s];
        stage[StageColorOp] = s == 0 ? OpModulate : OpDisable;
        stage[StageColorArg1] = ArgTexture;
        stage[StageColorArg2] = ArgCurrent;
        stage[StageAlphaOp] = s == 0 ? OpSelectArg1 : OpDisable;
        stage[StageAlphaArg1] = ArgTexture;
        stage[StageAlphaArg2] = ArgCurrent;
        stage[StageTexCoordIndex] = s;
        stage[StageAddressU] = stage[StageAddressV] = stage[StageAddressW] = 1;
        stage[StageMagFilter] = stage[StageMinFilter] = TextureFilterPoint;
        stage[StageMipFilter] = TextureFilterNone;
        stage[StageMaxAnisotropy] = 1;
        stage[StageColorArg0] = stage[StageAlphaArg0] = stage[StageResultArg] = ArgCurrent;
    }
    device->transformDirty = true;
    device->stateDirty = true;
    device->samplerDirty = true;
}

// Lighting without lights leaves ambient and emissive; without lighting the colour is white.
void VertexColor(const RenderDevice* device, float color[4])
{
    if (device->renderStates[StateLighting] == 0 || device->layout.pretransformed) {
        color[0] = color[1] = color[2] = color[3] = 1.0f;
        return;
    }
    const uint32_t ambient = device->renderStates[StateAmbient];
    const Material& m = device->material;
    color[0] = Saturate(m.ambient[0] * Channel(ambient, 16) + m.emissive[0]);
    color[1] = Saturate(m.ambient[1] * Channel(ambient, 8) + m.emissive[1]);
    color[2] = Saturate(m.ambient[2] * Channel(ambient, 0) + m.emissive[2]);
    color[3] = Saturate(m.diffuse[3]);
}

void ApplyStates(RenderDevice* device)
{
    const uint32_t* states = device->renderStates;
    if (device->hasDepth && states[StateZEnable] != 0) {
        gl.Enable(GL_DEPTH_TEST);
        gl.DepthFunc(CompareFunction(states[StateZFunc]));
    } else {
        gl.Disable(GL_DEPTH_TEST);
    }
    gl.DepthMask(states[StateZWriteEnable] != 0 ? GL_TRUE : GL_FALSE);

    if (states[StateAlphaBlendEnable] != 0) {
        gl.Enable(GL_BLEND);
        uint32_t source = states[StateSrcBlend];
        uint32_t destination = states[StateDestBlend];
        if (source == 12 || source == 13) {  // both (inverse) source alpha
            destination = source == 12 ? 6 : 5;
            source = source == 12 ? 5 : 6;
        }
        gl.BlendFunc(BlendFactor(source), BlendFactor(destination));
        gl.BlendEquation(BlendEquation(states[StateBlendOp]));
    } else {
        gl.Disable(GL_BLEND);
    }

    // With y running down in both, Direct3D's clockwise has GL's positive area: GL's front.
    const uint32_t cull = states[StateCullMode];
    if (cull == 2 || cull == 3) {
        gl.Enable(GL_CULL_FACE);
        gl.CullFace(cull == 3 ? GL_BACK : GL_FRONT);
    } else {
        gl.Disable(GL_CULL_FACE);
    }

    const uint32_t mask = states[StateColorWriteEnable];  // red 1, green 2, blue 4, alpha 8
    gl.ColorMask((mask & 1) != 0, (mask & 2) != 0, (mask & 4) != 0, (mask & 8) != 0);

    const uint32_t* stage = device->stageStates[0];
    gl.Uniform4i(device->uniformStage, static_cast<GLint>(stage[StageColorOp]),
                 static_cast<GLint>(stage[StageColorArg1]),
                 static_cast<GLint>(stage[StageColorArg2]),
                 static_cast<GLint>(stage[StageAlphaOp]));
    gl.Uniform2i(device->uniformAlphaArgs, static_cast<GLint>(stage[StageAlphaArg1]),
                 static_cast<GLint>(stage[StageAlphaArg2]));
    const uint32_t factor = states[StateTextureFactor];
    gl.Uniform4f(device->uniformFactor, Channel(factor, 16), Channel(factor, 8), Channel(factor, 0),
                 Channel(factor, 24));
    float color[4];
    VertexColor(device, color);
    gl.Uniform4f(device->uniformDiffuse, color[0], color[1], color[2], color[3]);
    gl.Uniform1i(device->uniformPretransformed, device->layout.pretransformed ? 1 : 0);
    device->stateDirty = false;
}

void ApplySampler(RenderDevice* device)
{
    const uint32_t* stage = device->stageStates[0];
    gl.SamplerParameteri(device->sampler, GL_TEXTURE_MAG_FILTER, Filter(stage[StageMagFilter]));
    gl.SamplerParameteri(device->sampler, GL_TEXTURE_MIN_FILTER, Filter(stage[StageMinFilter]));
    gl.SamplerParameteri(device->sampler, GL_TEXTURE_WRAP_S, AddressMode(stage[StageAddressU]));
    gl.SamplerParameteri(device->sampler, GL_TEXTURE_WRAP_T, AddressMode(stage[StageAddressV]));
    device->samplerDirty = false;
}

void ApplyTransform(RenderDevice* device)
{
    Matrix4 worldView;
    Matrix4 combined;
    MultiplyMatrix(worldView, device->world, device->view);
    MultiplyMatrix(combined, worldView, device->projection);
    gl.UniformMatrix4fv(device->uniformTransform, 1, GL_FALSE, &combined.m[0][0]);
    device->transformDirty = false;
}

// The FVF codes this back end draws: XYZ or XYZRHW, an optional normal (unused without
// lights) and texture coordinate sets of two floats, of which set 0 is sampled.
bool ParseVertexFormat(uint32_t format, GlVertexLayout& layout)
{
    constexpr uint32_t positionMask = 0x00E;
    constexpr uint32_t normal = 0x010;
    constexpr uint32_t textureCountMask = 0xF00;
    const uint32_t position = format & positionMask;
    if (position != 0x002 && position != 0x004) return false;
    if ((format & ~(positionMask | normal | textureCountMask)) != 0) return false;
    const uint32_t textureSets = (format & textureCountMask) >> 8;
    if (textureSets > 8) return false;
    uint32_t size = position == 0x004 ? 16 : 12;
    if ((format & normal) != 0) {
        if (position == 0x004) return false;
        size += 12;
    }
    layout.format = format;
    layout.pretransformed = position == 0x004;
    layout.textured = textureSets > 0;
    layout.textureOffset = size;
    layout.size = size + 8 * textureSets;
    return true;
}

bool PrimitiveVertices(PrimitiveType type, uint32_t count, GLenum& mode, uint64_t& vertices)
{
    switch (static_cast<uint32_t>(type)) {
    case 1:
        mode = GL_POINTS;
        vertices = count;
        return true;
    case 2:
        mode = GL_LINES;
        vertices = 2ull * count;
        return true;
    case 3:
        mode = GL_LINE_STRIP;
        vertices = count + 1ull;
        return true;
    case 4:
        mode = GL_TRIANGLES;
        vertices = 3ull * count;
        return true;
    case 5:
        mode = GL_TRIANGLE_STRIP;
        vertices = count + 2ull;
        return true;
    case 6:
        mode = GL_TRIANGLE_FAN;
        vertices = count + 2ull;
        return true;
    default: return false;
    }
}

}  // namespace

bool InitDeviceDrawing(RenderDevice* device)
{
    device->program = LinkProgram();
    if (device->program == 0) return false;
    gl.UseProgram(device->program);
    device->uniformTransform = gl.GetUniformLocation(device->program, "transform");
    device->uniformPretransformed = gl.GetUniformLocation(device->program, "pretransformed");
    device->uniformPixelStep = gl.GetUniformLocation(device->program, "pixelStep");
    device->uniformTextured = gl.GetUniformLocation(device->program, "textured");
    device->uniformStage = gl.GetUniformLocation(device->program, "stage");
    device->uniformAlphaArgs = gl.GetUniformLocation(device->program, "alphaArgs");
    device->uniformDiffuse = gl.GetUniformLocation(device->program, "diffuse");
    device->uniformFactor = gl.GetUniformLocation(device->program, "factor");
    gl.Uniform1i(gl.GetUniformLocation(device->program, "texture0"), 0);
    const float width = static_cast<float>(device->width);
    const float height = static_cast<float>(device->height);
    gl.Uniform4f(device->uniformPixelStep, 2.0f / width, 2.0f / height, 1.0f / width,
                 1.0f / height);

    gl.GenVertexArrays(1, &device->vertexArray);
    gl.BindVertexArray(device->vertexArray);
    gl.EnableVertexAttribArray(0);
    gl.GenSamplers(1, &device->sampler);
    gl.BindSampler(0, device->sampler);
    gl.ActiveTexture(GL_TEXTURE0);
    gl.Disable(GL_DITHER);
    gl.Viewport(0, 0, device->width, device->height);
    gl.GetIntegerv(GL_MAX_TEXTURE_SIZE, &device->maxTextureSize);
    device->uploadRowLength = 0;
    device->uploadAlignment = 4;
    SetDefaultStates(device);
    return gl.GetError() == GL_NO_ERROR;
}

void ShutDownDeviceDrawing(RenderDevice* device)
{
    gl.DeleteSamplers(1, &device->sampler);
    gl.DeleteVertexArrays(1, &device->vertexArray);
    gl.DeleteProgram(device->program);
    device->sampler = 0;
    device->vertexArray = 0;
    device->program = 0;
}

RenderResult Clear(RenderDevice* device, uint32_t rectCount, const int32_t* rects, uint32_t flags,
                   uint32_t color, float z, uint32_t stencil)
{
    if (device == nullptr || flags == 0 ||
        (flags & ~(ClearTarget | ClearZBuffer | ClearStencil)) != 0 ||
        (rectCount != 0 && rects == nullptr)) {
        return RenderErrorInvalidCall;
    }
    if (((flags & ClearZBuffer) != 0 && !device->hasDepth) ||
        ((flags & ClearStencil) != 0 && !device->hasStencil)) {
        return RenderErrorInvalidCall;
    }
    if (!MakeDeviceCurrent(device)) return RenderErrorInvalidCall;

    GLbitfield mask = 0;
    if ((flags & ClearTarget) != 0) {
        mask |= GL_COLOR_BUFFER_BIT;
        gl.ColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
        gl.ClearColor(Channel(color, 16), Channel(color, 8), Channel(color, 0), Channel(color, 24));
    }
    if ((flags & ClearZBuffer) != 0) {
        mask |= GL_DEPTH_BUFFER_BIT;
        gl.DepthMask(GL_TRUE);
        gl.ClearDepth(Saturate(z));
    }
    if ((flags & ClearStencil) != 0) {
        mask |= GL_STENCIL_BUFFER_BIT;
        gl.ClearStencil(static_cast<GLint>(stencil));
    }
    if (rectCount == 0) {
        gl.Clear(mask);
    } else {
        gl.Enable(GL_SCISSOR_TEST);
        for (uint32_t i = 0; i < rectCount; ++i) {
            const int32_t* r = rects + 4 * static_cast<size_t>(i);
            const int32_t left = r[0] < 0 ? 0 : r[0];
            const int32_t top = r[1] < 0 ? 0 : r[1];
            const int32_t right = r[2] > device->width ? device->width : r[2];
            const int32_t bottom = r[3] > device->height ? device->height : r[3];
            if (left >= right || top >= bottom) continue;
            gl.Scissor(left, top, right - left, bottom - top);
            gl.Clear(mask);
        }
        gl.Disable(GL_SCISSOR_TEST);
    }
    // The masks belong to the render states again.
    device->stateDirty = true;
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

RenderResult SetRenderState(RenderDevice* device, RenderStateType state, uint32_t value)
{
    const uint32_t index = static_cast<uint32_t>(state);
    if (device == nullptr || index >= RenderStateCount) return RenderErrorInvalidCall;
    // The overlay sets the same states for every line: only a change costs GL calls.
    if (device->renderStates[index] == value) return RenderOk;
    device->renderStates[index] = value;
    device->stateDirty = true;
    return RenderOk;
}

RenderResult SetTextureStageState(RenderDevice* device, uint32_t stage, TextureStageStateType type,
                                  uint32_t value)
{
    const uint32_t index = static_cast<uint32_t>(type);
    if (device == nullptr || stage >= MaxTextureStages || index >= StageStateCount) {
        return RenderErrorInvalidCall;
    }
    if (device->stageStates[stage][index] == value) return RenderOk;
    device->stageStates[stage][index] = value;
    if (stage == 0) {
        device->stateDirty = true;
        device->samplerDirty = true;
    }
    return RenderOk;
}

RenderResult SetVertexShader(RenderDevice* device, uint32_t vertexFormat)
{
    GlVertexLayout layout{};
    if (device == nullptr || !ParseVertexFormat(vertexFormat, layout))
        return RenderErrorInvalidCall;
    if (layout.pretransformed != device->layout.pretransformed) device->stateDirty = true;
    device->layout = layout;
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
    if (device == nullptr || stage >= MaxTextureStages) return RenderErrorInvalidCall;
    if (texture != nullptr && texture->device != device) return RenderErrorInvalidCall;
    device->textures[stage] = texture;
    return RenderOk;
}

RenderResult DrawPrimitive(RenderDevice* device, PrimitiveType type, uint32_t startVertex,
                           uint32_t primitiveCount)
{
    GLenum mode = GL_TRIANGLES;
    uint64_t vertices = 0;
    if (device == nullptr || !device->inScene ||
        !PrimitiveVertices(type, primitiveCount, mode, vertices)) {
        return RenderErrorInvalidCall;
    }
    RenderVertexBuffer* buffer = device->stream;
    const uint32_t stride = device->streamStride;
    if (buffer == nullptr || device->layout.format == 0 || stride < device->layout.size) {
        return RenderErrorInvalidCall;
    }
    if (primitiveCount == 0) return RenderOk;
    // Never read past the buffer.
    const uint64_t end =
        (static_cast<uint64_t>(startVertex) + vertices - 1) * stride + device->layout.size;
    if (end > buffer->length) return RenderErrorInvalidCall;
    if (!MakeDeviceCurrent(device)) return RenderErrorInvalidCall;

    if (device->stateDirty) ApplyStates(device);
    if (device->samplerDirty) ApplySampler(device);
    if (device->transformDirty) ApplyTransform(device);

    if (device->boundBuffer != buffer || device->boundStride != stride ||
        device->boundFormat != device->layout.format) {
        gl.BindBuffer(GL_ARRAY_BUFFER, buffer->name);
        gl.VertexAttribPointer(0, device->layout.pretransformed ? 4 : 3, GL_FLOAT, GL_FALSE,
                               static_cast<GLsizei>(stride), nullptr);
        if (device->layout.textured) {
            gl.EnableVertexAttribArray(1);
            gl.VertexAttribPointer(1, 2, GL_FLOAT, GL_FALSE, static_cast<GLsizei>(stride),
                                   reinterpret_cast<const void*>(
                                       static_cast<uintptr_t>(device->layout.textureOffset)));
        } else {
            gl.DisableVertexAttribArray(1);
            gl.VertexAttrib4f(1, 0.0f, 0.0f, 0.0f, 1.0f);
        }
        device->boundBuffer = buffer;
        device->boundStride = stride;
        device->boundFormat = device->layout.format;
    }

    RenderTexture* texture = device->textures[0];
    const bool textured = texture != nullptr && texture->name != 0;
    if (textured && device->boundTexture != texture) {
        gl.BindTexture(GL_TEXTURE_2D, texture->name);
        device->boundTexture = texture;
    }
    gl.Uniform1i(device->uniformTextured, textured ? 1 : 0);
    gl.DrawArrays(mode, static_cast<GLint>(startVertex), static_cast<GLsizei>(vertices));
    return RenderOk;
}
