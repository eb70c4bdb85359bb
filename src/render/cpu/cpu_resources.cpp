// Textures and vertex buffers: memory the caller writes between a lock and an unlock. Textures
// of other formats than A8R8G8B8 are widened to it at the unlock, so that drawing reads one
// layout only.
#include <cstddef>
#include <new>

#include "render/cpu/cpu_internal.h"
#include "render/emulated_device.h"

namespace cpu {

namespace {

constexpr uint32_t UsageRenderTarget = 1;
constexpr uint32_t UsageDepthStencil = 2;
constexpr uint32_t PoolSystemMemory = 2;
constexpr uint32_t LockReadOnly = 0x10;
constexpr uint32_t MaxTextureSide = 8192;

uint32_t BytesPerTexel(uint32_t format)
{
    switch (format) {
    case FormatA8R8G8B8:
    case FormatX8R8G8B8: return 4;
    case FormatR8G8B8: return 3;
    case FormatR5G6B5:
    case FormatX1R5G5B5:
    case FormatA1R5G5B5:
    case FormatA4R4G4B4:
    case FormatX4R4G4B4:
    case FormatA8R3G3B2: return 2;
    case FormatR3G3B2:
    case FormatA8: return 1;
    default: return 0;
    }
}

// A field of `bits` bits widened to 8 by repeating its bits, as the hardware does.
uint32_t Widen(uint32_t value, uint32_t bits)
{
    uint32_t out = 0;
    for (int32_t shift = 8 - static_cast<int32_t>(bits); shift > -static_cast<int32_t>(bits);
         shift -= static_cast<int32_t>(bits)) {
        out |= shift >= 0 ? value << shift : value >> -shift;
    }
    return out & 0xFF;
}

uint32_t Argb(uint32_t a, uint32_t r, uint32_t g, uint32_t b)
{
    return a << 24 | r << 16 | g << 8 | b;
}

uint32_t WidenTexel(uint32_t format, const uint8_t* p)
{
    const uint32_t word16 = p[0] | (format == FormatR3G3B2 || format == FormatA8 ? 0 : p[1] << 8);
    switch (format) {
    case FormatX8R8G8B8: return Argb(255, p[2], p[1], p[0]);
    case FormatR8G8B8: return Argb(255, p[2], p[1], p[0]);
    case FormatR5G6B5:
        return Argb(255, Widen(word16 >> 11, 5), Widen((word16 >> 5) & 63, 6),
                    Widen(word16 & 31, 5));
    case FormatX1R5G5B5:
    case FormatA1R5G5B5: {
        const uint32_t a = format == FormatX1R5G5B5 || (word16 & 0x8000) != 0 ? 255 : 0;
        return Argb(a, Widen((word16 >> 10) & 31, 5), Widen((word16 >> 5) & 31, 5),
                    Widen(word16 & 31, 5));
    }
    case FormatA4R4G4B4:
    case FormatX4R4G4B4: {
        const uint32_t a = format == FormatX4R4G4B4 ? 255 : (word16 >> 12) * 17;
        return Argb(a, ((word16 >> 8) & 15) * 17, ((word16 >> 4) & 15) * 17, (word16 & 15) * 17);
    }
    case FormatA8R3G3B2:
        return Argb(word16 >> 8, Widen((word16 >> 5) & 7, 3), Widen((word16 >> 2) & 7, 3),
                    Widen(word16 & 3, 2));
    case FormatR3G3B2:
        return Argb(255, Widen(word16 >> 5, 3), Widen((word16 >> 2) & 7, 3), Widen(word16 & 3, 2));
    case FormatA8: return Argb(word16, 0, 0, 0);
    default: return 0;
    }
}

// Brings the sampled texels of rows top..bottom up to date with the memory the caller wrote.
void RefreshTexels(Texture* texture, int32_t left, int32_t top, int32_t right, int32_t bottom)
{
    for (int32_t y = top; y < bottom; ++y) {
        const uint8_t* row = texture->memory + static_cast<size_t>(y) * texture->pitch;
        uint32_t* texels = texture->texels + static_cast<size_t>(y) * texture->texelPitch;
        if (texture->converted != nullptr) {
            for (int32_t x = left; x < right; ++x) {
                texels[x] = WidenTexel(texture->format, row + x * texture->bytesPerTexel);
            }
        }
        texels[texture->width] = texels[0];
    }
}

void Unlink(Texture* texture)
{
    Device* device = texture->device;
    emulated::Unlink(device->textureList, texture);
    for (Texture*& bound : device->textures) {
        if (bound == texture) bound = nullptr;
    }
}

void Unlink(VertexBuffer* buffer)
{
    Device* device = buffer->device;
    emulated::Unlink(device->bufferList, buffer);
    if (device->stream == buffer) device->stream = nullptr;
}

void DestroyTexture(Texture* texture)
{
    delete[] texture->memory;
    delete[] texture->converted;
    delete texture;
}

}  // namespace

void DetachDeviceResources(Device* device)
{
    while (Texture* texture = device->textureList) {
        Unlink(texture);
        texture->device = nullptr;
    }
    while (VertexBuffer* buffer = device->bufferList) {
        Unlink(buffer);
        buffer->device = nullptr;
    }
}

RenderResult CreateTexture(RenderDevice* handle, uint32_t width, uint32_t height, uint32_t levels,
                           uint32_t usage, uint32_t format, uint32_t pool, RenderTexture*& texture)
{
    (void)levels;  // one level is kept whatever is asked: nothing here samples mipmaps
    texture = nullptr;
    Device* device = FromHandle(handle);
    const uint32_t bytesPerTexel = BytesPerTexel(format);
    if (device == nullptr || bytesPerTexel == 0 || width == 0 || height == 0 ||
        width > MaxTextureSide || height > MaxTextureSide ||
        (usage & (UsageRenderTarget | UsageDepthStencil)) != 0 || pool > PoolSystemMemory) {
        return RenderErrorInvalidCall;
    }
    auto* created = new (std::nothrow) Texture{};
    if (created == nullptr) return RenderErrorOutOfVideoMemory;
    created->format = format;
    created->width = width;
    created->height = height;
    created->bytesPerTexel = bytesPerTexel;
    const bool direct = format == FormatA8R8G8B8;
    // Rows on 64-byte boundaries, with room for the repeated column and the reads past it when
    // they are sampled as they are.
    constexpr uint32_t Slack = 9;
    created->pitch = ((width + (direct ? Slack : 0)) * bytesPerTexel + 63) & ~63u;
    created->memory = new (std::nothrow) uint8_t[static_cast<size_t>(created->pitch) * height]();
    if (direct) {
        created->texels = reinterpret_cast<uint32_t*>(created->memory);
        created->texelPitch = created->pitch / 4;
    } else {
        created->texelPitch = (width + Slack + 15) & ~15u;
        created->converted =
            new (std::nothrow) uint32_t[static_cast<size_t>(created->texelPitch) * height];
        created->texels = created->converted;
    }
    if (created->memory == nullptr || created->texels == nullptr) {
        DestroyTexture(created);
        return RenderErrorOutOfVideoMemory;
    }
    created->device = device;
    RefreshTexels(created, 0, 0, static_cast<int32_t>(width), static_cast<int32_t>(height));
    emulated::LinkFirst(device->textureList, created);
    texture = reinterpret_cast<RenderTexture*>(created);
    return RenderOk;
}

RenderResult LockRect(RenderTexture* handle, uint32_t level, LockedRect& locked,
                      const int32_t* rect, uint32_t flags)
{
    Texture* texture = FromHandle(handle);
    if (texture == nullptr || texture->device == nullptr || level != 0 || texture->locked) {
        return RenderErrorInvalidCall;
    }
    int32_t area[4];
    if (!emulated::TextureLockArea(rect, texture->width, texture->height, area)) {
        return RenderErrorInvalidCall;
    }
    for (int i = 0; i < 4; ++i) texture->lockRect[i] = area[i];
    texture->locked = true;
    texture->readOnlyLock = (flags & LockReadOnly) != 0;
    locked.pitch = static_cast<int32_t>(texture->pitch);
    locked.bits = texture->memory + static_cast<size_t>(area[1]) * texture->pitch +
                  static_cast<size_t>(area[0]) * texture->bytesPerTexel;
    return RenderOk;
}

RenderResult UnlockRect(RenderTexture* handle, uint32_t level)
{
    Texture* texture = FromHandle(handle);
    if (texture == nullptr || level != 0 || !texture->locked) return RenderErrorInvalidCall;
    texture->locked = false;
    if (!texture->readOnlyLock) {
        const int32_t* r = texture->lockRect;
        RefreshTexels(texture, r[0], r[1], r[2], r[3]);
    }
    return RenderOk;
}

void Release(RenderTexture* handle)
{
    Texture* texture = FromHandle(handle);
    if (texture == nullptr) return;
    if (texture->device != nullptr) Unlink(texture);
    DestroyTexture(texture);
}

RenderResult CreateVertexBuffer(RenderDevice* handle, uint32_t length, uint32_t usage,
                                uint32_t vertexFormat, uint32_t pool, RenderVertexBuffer*& buffer)
{
    (void)usage;
    (void)vertexFormat;  // the layout comes from SetVertexShader at drawing time
    buffer = nullptr;
    Device* device = FromHandle(handle);
    if (device == nullptr || length == 0 || pool > PoolSystemMemory) return RenderErrorInvalidCall;
    auto* created = new (std::nothrow) VertexBuffer{};
    if (created == nullptr) return RenderErrorOutOfVideoMemory;
    created->length = length;
    created->memory = new (std::nothrow) uint8_t[length]();
    if (created->memory == nullptr) {
        delete created;
        return RenderErrorOutOfVideoMemory;
    }
    created->device = device;
    emulated::LinkFirst(device->bufferList, created);
    buffer = reinterpret_cast<RenderVertexBuffer*>(created);
    return RenderOk;
}

RenderResult LockVertexBuffer(RenderVertexBuffer* handle, uint32_t offset, uint32_t size,
                              uint8_t*& data, uint32_t flags)
{
    (void)flags;
    data = nullptr;
    VertexBuffer* buffer = FromHandle(handle);
    uint32_t end = 0;
    if (buffer == nullptr || buffer->device == nullptr ||
        !emulated::VertexLockEnd(offset, size, buffer->length, end)) {
        return RenderErrorInvalidCall;
    }
    ++buffer->lockCount;
    data = buffer->memory + offset;
    return RenderOk;
}

RenderResult UnlockVertexBuffer(RenderVertexBuffer* handle)
{
    VertexBuffer* buffer = FromHandle(handle);
    if (buffer == nullptr || buffer->lockCount == 0) return RenderErrorInvalidCall;
    --buffer->lockCount;
    return RenderOk;
}

void Release(RenderVertexBuffer* handle)
{
    VertexBuffer* buffer = FromHandle(handle);
    if (buffer == nullptr) return;
    if (buffer->device != nullptr) Unlink(buffer);
    delete[] buffer->memory;
    delete buffer;
}

}  // namespace cpu
