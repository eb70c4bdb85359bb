// Direct3D 8's fixed-function drawing on the processor: the states, clearing, and the draw
// call, which hands its triangles to the rasteriser (cpu_raster.cpp).
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <iterator>

#include "render/cpu/cpu_raster.h"

namespace cpu {

namespace {

constexpr uint32_t ClearZBuffer = 2;
constexpr uint32_t ClearStencil = 4;
constexpr uint32_t BlendZero = 1;
constexpr uint32_t BlendOne = 2;
constexpr uint32_t White = 0x00FFFFFFu;

uint32_t ToByte(float value)
{
    const float clamped = value < 0.0f ? 0.0f : (value > 1.0f ? 1.0f : value);
    return static_cast<uint32_t>(std::lrint(clamped * 255.0f));
}

bool IsBlendFactor(uint32_t value)
{
    return value == BlendZero || value == BlendOne || value == BlendSrcAlpha ||
           value == BlendInvSrcAlpha;
}

BlendFactor ToFactor(uint32_t value)
{
    switch (value) {
    case BlendZero: return BlendFactor::Zero;
    case BlendSrcAlpha: return BlendFactor::SourceAlpha;
    case BlendInvSrcAlpha: return BlendFactor::InverseSourceAlpha;
    default: return BlendFactor::One;
    }
}

uint32_t VertexColor(const Device* device, bool pretransformed)
{
    if (device->lighting == 0 || pretransformed) return 0xFFFFFFFFu;
    // Lighting without lights leaves ambient and emissive.
    const Material& m = device->material;
    const uint32_t ambient = device->ambient;
    auto channel = [&](int c, int shift) {
        const float light = static_cast<float>((ambient >> shift) & 0xFF) / 255.0f;
        return ToByte(m.ambient[c] * light + m.emissive[c]);
    };
    return ToByte(m.diffuse[3]) << 24 | channel(0, 16) << 16 | channel(1, 8) << 8 | channel(2, 0);
}

bool PrepareDraw(Device* device, DrawContext& context)
{
    context = DrawContext{};
    context.device = device;
    context.pretransformed = device->vertexFormat == VertexFormatXyzRhwTex1;
    context.halfWidth = device->width * 0.5;
    context.halfHeight = device->height * 0.5;
    Matrix4 worldView;
    MultiplyMatrix(worldView, device->world, device->view);
    MultiplyMatrix(context.transform, worldView, device->projection);

    const uint32_t color = VertexColor(device, context.pretransformed);
    const Texture* texture = device->textures[0];
    if (texture != nullptr) {
        if (texture->locked) return false;
        context.texels = texture->texels;
        context.texelPitch = static_cast<int32_t>(texture->texelPitch);
        context.textureWidth = static_cast<int32_t>(texture->width);
        context.textureHeight = static_cast<int32_t>(texture->height);
        context.modulate = color & White;
    } else {
        // The vertex colour alone: a texture of one texel of it.
        std::fill(std::begin(context.constant), std::end(context.constant), color);
        context.texels = context.constant;
        context.texelPitch = 0;
        context.textureWidth = context.textureHeight = 1;
        context.modulate = White;
    }
    context.magLinear = device->magFilter[0] >= TextureFilterLinear;
    context.minLinear = device->minFilter[0] >= TextureFilterLinear;
    if (device->alphaBlendEnable != 0) {
        context.source = ToFactor(device->srcBlend);
        context.destination = ToFactor(device->destBlend);
    } else {
        context.source = BlendFactor::One;
        context.destination = BlendFactor::Zero;
    }
    context.functions = ChosenSpanFunctions();
    return true;
}

}  // namespace

void SetDefaultStates(Device* device)
{
    IdentityMatrix(device->world);
    IdentityMatrix(device->view);
    IdentityMatrix(device->projection);
    device->material = Material{};
    device->zEnable = device->hasDepth ? 1 : 0;
    device->srcBlend = BlendOne;
    device->destBlend = BlendZero;
    device->cullMode = CullCounterClockwise;
    device->alphaBlendEnable = 0;
    device->lighting = 1;
    device->ambient = 0;
    for (uint32_t s = 0; s < MaxStages; ++s) {
        device->magFilter[s] = device->minFilter[s] = TextureFilterPoint;
        device->mipFilter[s] = TextureFilterNone;
        device->textures[s] = nullptr;
    }
}

RenderResult Clear(RenderDevice* handle, uint32_t rectCount, const int32_t* rects, uint32_t flags,
                   uint32_t color, float z, uint32_t stencil)
{
    (void)z;
    (void)stencil;
    Device* device = FromHandle(handle);
    if (device == nullptr || flags == 0 ||
        (flags & ~(ClearTarget | ClearZBuffer | ClearStencil)) != 0 ||
        (rectCount != 0 && rects == nullptr)) {
        return RenderErrorInvalidCall;
    }
    const uint32_t depthFormat = device->params.autoDepthStencilFormat;
    const bool hasStencil = device->hasDepth && (depthFormat == 75 || depthFormat == 79);
    if (((flags & ClearZBuffer) != 0 && !device->hasDepth) ||
        ((flags & ClearStencil) != 0 && !hasStencil)) {
        return RenderErrorInvalidCall;
    }
    // Depth and stencil are never tested, so there is nothing to clear of them.
    if ((flags & ClearTarget) == 0) return RenderOk;
    device->drawnSincePresent = true;

    const bool plain = device->plainKnown && device->plainColor == color;
    if (rectCount == 0) {
        if (plain) {
            // Only what was drawn since the last clear differs from the colour.
            for (uint32_t i = 0; i < device->drawn.count; ++i) {
                FillRect(device, device->drawn.rects[i], color);
                AddRect(device->changed, device->drawn.rects[i]);
            }
        } else {
            const PixelRect whole{0, 0, device->width, device->height};
            FillRect(device, whole, color);
            device->changed.count = 0;
            AddRect(device->changed, whole);
            device->plainKnown = true;
            device->plainColor = color;
        }
        device->drawn.count = 0;
        return RenderOk;
    }
    for (uint32_t i = 0; i < rectCount; ++i) {
        const int32_t* r = rects + 4 * static_cast<size_t>(i);
        const PixelRect clipped{std::max(r[0], 0), std::max(r[1], 0), std::min(r[2], device->width),
                                std::min(r[3], device->height)};
        if (clipped.left >= clipped.right || clipped.top >= clipped.bottom) continue;
        FillRect(device, clipped, color);
        AddRect(device->changed, clipped);
        if (!plain) AddRect(device->drawn, clipped);
    }
    return RenderOk;
}

RenderResult BeginScene(RenderDevice* handle)
{
    Device* device = FromHandle(handle);
    if (device == nullptr || device->inScene) return RenderErrorInvalidCall;
    device->inScene = true;
    return RenderOk;
}

RenderResult EndScene(RenderDevice* handle)
{
    Device* device = FromHandle(handle);
    if (device == nullptr || !device->inScene) return RenderErrorInvalidCall;
    device->inScene = false;
    return RenderOk;
}

RenderResult SetTransform(RenderDevice* handle, TransformType type, const Matrix4& matrix)
{
    Device* device = FromHandle(handle);
    if (device == nullptr) return RenderErrorInvalidCall;
    switch (type) {
    case TransformType::World: device->world = matrix; return RenderOk;
    case TransformType::View: device->view = matrix; return RenderOk;
    case TransformType::Projection: device->projection = matrix; return RenderOk;
    }
    return RenderErrorInvalidCall;
}

RenderResult SetMaterial(RenderDevice* handle, const Material& material)
{
    Device* device = FromHandle(handle);
    if (device == nullptr) return RenderErrorInvalidCall;
    device->material = material;
    return RenderOk;
}

RenderResult SetRenderState(RenderDevice* handle, RenderStateType state, uint32_t value)
{
    Device* device = FromHandle(handle);
    if (device == nullptr) return RenderErrorInvalidCall;
    switch (state) {
    case RenderStateType::ZEnable:
        if (value > 2) return RenderErrorInvalidCall;  // false, true, w-buffer
        device->zEnable = value;
        return RenderOk;
    case RenderStateType::SrcBlend:
    case RenderStateType::DestBlend:
        if (!IsBlendFactor(value)) return RenderErrorInvalidCall;
        (state == RenderStateType::SrcBlend ? device->srcBlend : device->destBlend) = value;
        return RenderOk;
    case RenderStateType::CullMode:
        if (value < CullNone || value > CullCounterClockwise) return RenderErrorInvalidCall;
        device->cullMode = value;
        return RenderOk;
    case RenderStateType::AlphaBlendEnable: device->alphaBlendEnable = value; return RenderOk;
    case RenderStateType::Lighting: device->lighting = value; return RenderOk;
    case RenderStateType::Ambient: device->ambient = value; return RenderOk;
    }
    return RenderErrorInvalidCall;
}

RenderResult SetTextureStageState(RenderDevice* handle, uint32_t stage, TextureStageStateType type,
                                  uint32_t value)
{
    Device* device = FromHandle(handle);
    // None, point, linear, anisotropic, flat and Gaussian cubic; all better than linear are
    // drawn linear.
    if (device == nullptr || stage >= MaxStages || value > 5) return RenderErrorInvalidCall;
    switch (type) {
    case TextureStageStateType::MagFilter: device->magFilter[stage] = value; return RenderOk;
    case TextureStageStateType::MinFilter: device->minFilter[stage] = value; return RenderOk;
    case TextureStageStateType::MipFilter: device->mipFilter[stage] = value; return RenderOk;
    }
    return RenderErrorInvalidCall;
}

RenderResult SetVertexShader(RenderDevice* handle, uint32_t vertexFormat)
{
    Device* device = FromHandle(handle);
    if (device == nullptr ||
        (vertexFormat != VertexFormatXyzTex1 && vertexFormat != VertexFormatXyzRhwTex1)) {
        return RenderErrorInvalidCall;
    }
    device->vertexFormat = vertexFormat;
    return RenderOk;
}

RenderResult SetPixelShader(RenderDevice* handle, uint32_t shader)
{
    // Only the fixed-function pipeline.
    return (handle != nullptr && shader == 0) ? RenderOk : RenderErrorInvalidCall;
}

RenderResult SetStreamSource(RenderDevice* handle, uint32_t stream, RenderVertexBuffer* buffer,
                             uint32_t stride)
{
    Device* device = FromHandle(handle);
    VertexBuffer* vertices = FromHandle(buffer);
    if (device == nullptr || stream != 0) return RenderErrorInvalidCall;
    if (vertices != nullptr && vertices->device != device) return RenderErrorInvalidCall;
    device->stream = vertices;
    device->streamStride = stride;
    return RenderOk;
}

RenderResult SetTexture(RenderDevice* handle, uint32_t stage, RenderTexture* texture)
{
    Device* device = FromHandle(handle);
    Texture* bound = FromHandle(texture);
    if (device == nullptr || stage >= MaxStages) return RenderErrorInvalidCall;
    if (bound != nullptr && bound->device != device) return RenderErrorInvalidCall;
    device->textures[stage] = bound;
    return RenderOk;
}

RenderResult DrawPrimitive(RenderDevice* handle, PrimitiveType type, uint32_t startVertex,
                           uint32_t primitiveCount)
{
    Device* device = FromHandle(handle);
    if (device == nullptr || !device->inScene || type != PrimitiveType::TriangleList ||
        primitiveCount == 0) {
        return RenderErrorInvalidCall;
    }
    const VertexBuffer* buffer = device->stream;
    const uint32_t stride = device->streamStride;
    const uint32_t size = device->vertexFormat == VertexFormatXyzRhwTex1 ? 24 : 20;
    if (buffer == nullptr || device->vertexFormat == 0 || stride < size) {
        return RenderErrorInvalidCall;
    }
    // Never read past the buffer.
    const uint64_t vertices = 3ull * primitiveCount;
    const uint64_t end = (static_cast<uint64_t>(startVertex) + vertices - 1) * stride + size;
    if (end > buffer->length) return RenderErrorInvalidCall;
    // No depth buffer is kept, so a depth test cannot be honoured.
    if (device->hasDepth && device->zEnable != 0) return RenderErrorInvalidCall;
    DrawContext context;
    if (!PrepareDraw(device, context)) return RenderErrorInvalidCall;

    const uint8_t* data = buffer->memory + static_cast<size_t>(startVertex) * stride;
    DrawTriangleList(context, data, stride, primitiveCount);
    if (context.drewAny) {
        AddRect(device->drawn, context.bounds);
        AddRect(device->changed, context.bounds);
    }
    device->drawnSincePresent = true;
    return RenderOk;
}

}  // namespace cpu
