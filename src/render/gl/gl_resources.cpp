// Textures and vertex buffers: CPU memory that the caller writes between a lock and an unlock,
// copied into the GL object at the unlock. Nothing is ever lost: the pool is "managed".
#include <algorithm>
#include <new>

#include "render/emulated_device.h"
#include "render/gl/gl_device.h"
#include "render/gl/gl_internal.h"

namespace gl {

namespace {

// The formats the saver's texture upload converts to.
// clang-format off
const GlTextureFormat TextureFormats[] = {
    {FormatR8G8B8, 3, GL_RGB8, GL_BGR, GL_UNSIGNED_BYTE,
     {GL_RED, GL_GREEN, GL_BLUE, GL_ONE}, false},
    {FormatA8R8G8B8, 4, GL_RGBA8, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV,
     {GL_RED, GL_GREEN, GL_BLUE, GL_ALPHA}, false},
    {FormatX8R8G8B8, 4, GL_RGBA8, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV,
     {GL_RED, GL_GREEN, GL_BLUE, GL_ONE}, false},
    {FormatR5G6B5, 2, GL_RGB8, GL_RGB, GL_UNSIGNED_SHORT_5_6_5,
     {GL_RED, GL_GREEN, GL_BLUE, GL_ONE}, false},
    {FormatX1R5G5B5, 2, GL_RGBA8, GL_BGRA, GL_UNSIGNED_SHORT_1_5_5_5_REV,
     {GL_RED, GL_GREEN, GL_BLUE, GL_ONE}, false},
    {FormatA1R5G5B5, 2, GL_RGBA8, GL_BGRA, GL_UNSIGNED_SHORT_1_5_5_5_REV,
     {GL_RED, GL_GREEN, GL_BLUE, GL_ALPHA}, false},
    {FormatA4R4G4B4, 2, GL_RGBA8, GL_BGRA, GL_UNSIGNED_SHORT_4_4_4_4_REV,
     {GL_RED, GL_GREEN, GL_BLUE, GL_ALPHA}, false},
    {FormatR3G3B2, 1, GL_RGB8, GL_RGB, GL_UNSIGNED_BYTE_3_3_2, {GL_RED, GL_GREEN, GL_BLUE, GL_ONE},
     false},
    {FormatA8, 1, GL_R8, GL_RED, GL_UNSIGNED_BYTE, {GL_ZERO, GL_ZERO, GL_ZERO, GL_RED}, false},
    {FormatA8R3G3B2, 2, GL_RGBA8, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV,
     {GL_RED, GL_GREEN, GL_BLUE, GL_ALPHA}, true},
    {FormatX4R4G4B4, 2, GL_RGBA8, GL_BGRA, GL_UNSIGNED_SHORT_4_4_4_4_REV,
     {GL_RED, GL_GREEN, GL_BLUE, GL_ONE}, false},
};
// clang-format on

void SetUnpack(RenderDevice* device, int32_t rowLength, int32_t alignment)
{
    if (device->uploadRowLength != rowLength) {
        Gl.PixelStorei(GL_UNPACK_ROW_LENGTH, rowLength);
        device->uploadRowLength = rowLength;
    }
    if (device->uploadAlignment != alignment) {
        Gl.PixelStorei(GL_UNPACK_ALIGNMENT, alignment);
        device->uploadAlignment = alignment;
    }
}

void BindForUpload(RenderDevice* device, RenderTexture* texture)
{
    if (device->boundTexture != texture) {
        Gl.BindTexture(GL_TEXTURE_2D, texture->name);
        device->boundTexture = texture;
    }
}

// Bit replication, as the hardware widens 3 and 2 bits to 8.
uint32_t WidenA8R3G3B2(uint16_t texel)
{
    const uint32_t a = texel >> 8;
    const uint32_t r3 = (texel >> 5) & 7u;
    const uint32_t g3 = (texel >> 2) & 7u;
    const uint32_t b2 = texel & 3u;
    const uint32_t r = (r3 << 5) | (r3 << 2) | (r3 >> 1);
    const uint32_t g = (g3 << 5) | (g3 << 2) | (g3 >> 1);
    const uint32_t b = b2 * 0x55u;
    return a << 24 | r << 16 | g << 8 | b;
}

void UploadRect(RenderTexture* texture, int32_t left, int32_t top, int32_t right, int32_t bottom)
{
    RenderDevice* device = texture->device;
    const GlTextureFormat* format = texture->format;
    BindForUpload(device, texture);
    const void* source = nullptr;
    if (format->widenA8R3G3B2) {
        for (int32_t y = top; y < bottom; ++y) {
            const uint8_t* row = texture->staging + static_cast<size_t>(y) * texture->pitch;
            uint32_t* out = texture->widened + static_cast<size_t>(y) * texture->width;
            for (int32_t x = left; x < right; ++x) {
                const uint16_t texel = static_cast<uint16_t>(row[2 * x] | row[2 * x + 1] << 8);
                out[x] = WidenA8R3G3B2(texel);
            }
        }
        SetUnpack(device, static_cast<int32_t>(texture->width), 4);
        source = texture->widened + static_cast<size_t>(top) * texture->width + left;
    } else {
        SetUnpack(device, static_cast<int32_t>(texture->rowLength), 4);
        source = texture->staging + static_cast<size_t>(top) * texture->pitch +
                 static_cast<size_t>(left) * format->bytesPerTexel;
    }
    Gl.TexSubImage2D(GL_TEXTURE_2D, 0, left, top, right - left, bottom - top, format->uploadFormat,
                     format->uploadType, source);
}

void Unlink(RenderTexture* texture)
{
    RenderDevice* device = texture->device;
    emulated::Unlink(device->textureList, texture);
    if (device->texture == texture) device->texture = nullptr;
    if (device->boundTexture == texture) device->boundTexture = nullptr;
}

void Unlink(RenderVertexBuffer* buffer)
{
    RenderDevice* device = buffer->device;
    emulated::Unlink(device->bufferList, buffer);
    if (device->stream == buffer) device->stream = nullptr;
    if (device->boundBuffer == buffer) device->boundBuffer = nullptr;
}

void DestroyTexture(RenderTexture* texture)
{
    delete[] texture->staging;
    delete[] texture->widened;
    delete texture;
}

const GlTextureFormat* FindTextureFormat(uint32_t format)
{
    for (const GlTextureFormat& entry : TextureFormats) {
        if (entry.format == format) return &entry;
    }
    return nullptr;
}

}  // namespace

void DetachDeviceResources(RenderDevice* device, bool deleteNames)
{
    while (RenderTexture* texture = device->textureList) {
        if (deleteNames) Gl.DeleteTextures(1, &texture->name);
        texture->name = 0;
        Unlink(texture);
        texture->device = nullptr;
    }
    while (RenderVertexBuffer* buffer = device->bufferList) {
        if (deleteNames) Gl.DeleteBuffers(1, &buffer->name);
        buffer->name = 0;
        Unlink(buffer);
        buffer->device = nullptr;
    }
}

RenderResult CreateTexture(RenderDevice* device, uint32_t width, uint32_t height, uint32_t levels,
                           uint32_t usage, uint32_t format, uint32_t pool, RenderTexture*& texture)
{
    texture = nullptr;
    const GlTextureFormat* entry = FindTextureFormat(format);
    if (device == nullptr || entry == nullptr || levels != 1 || usage != UsageNone ||
        pool != PoolManaged || width == 0 || height == 0 ||
        width > static_cast<uint32_t>(device->maxTextureSize) ||
        height > static_cast<uint32_t>(device->maxTextureSize) || !MakeDeviceCurrent(device)) {
        return RenderErrorInvalidCall;
    }

    // Rows start on 64-byte boundaries where GL can express it (texel sizes 1, 2 and 4); three
    // byte texels get rows rounded to 4 bytes, GL's largest alignment that divides them.
    const uint32_t bytesPerTexel = entry->bytesPerTexel;
    uint32_t pitch = 0;
    uint32_t rowLength = 0;
    if (bytesPerTexel == 3) {
        pitch = (width * 3 + 3) & ~3u;
        rowLength = width;
    } else {
        pitch = (width * bytesPerTexel + 63) & ~63u;
        rowLength = pitch / bytesPerTexel;
    }

    RenderTexture* created = new (std::nothrow) RenderTexture{};
    if (created == nullptr) return RenderErrorOutOfVideoMemory;
    created->format = entry;
    created->width = width;
    created->height = height;
    created->pitch = pitch;
    created->rowLength = rowLength;
    created->staging = new (std::nothrow) uint8_t[static_cast<size_t>(pitch) * height]();
    if (entry->widenA8R3G3B2) {
        created->widened = new (std::nothrow) uint32_t[static_cast<size_t>(width) * height]();
    }
    if (created->staging == nullptr || (entry->widenA8R3G3B2 && created->widened == nullptr)) {
        DestroyTexture(created);
        return RenderErrorOutOfVideoMemory;
    }

    while (Gl.GetError() != GL_NO_ERROR) {
    }
    Gl.GenTextures(1, &created->name);
    created->device = device;
    BindForUpload(device, created);
    Gl.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_BASE_LEVEL, 0);
    Gl.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
    Gl.TexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_SWIZZLE_RGBA, entry->swizzle);
    const void* zeros = entry->widenA8R3G3B2 ? static_cast<const void*>(created->widened)
                                             : static_cast<const void*>(created->staging);
    SetUnpack(device, static_cast<int32_t>(entry->widenA8R3G3B2 ? width : rowLength), 4);
    Gl.TexImage2D(GL_TEXTURE_2D, 0, static_cast<GLint>(entry->internalFormat),
                  static_cast<GLsizei>(width), static_cast<GLsizei>(height), 0, entry->uploadFormat,
                  entry->uploadType, zeros);
    if (Gl.GetError() != GL_NO_ERROR) {
        Gl.DeleteTextures(1, &created->name);
        device->boundTexture = nullptr;
        DestroyTexture(created);
        return RenderErrorOutOfVideoMemory;
    }

    emulated::LinkFirst(device->textureList, created);
    texture = created;
    return RenderOk;
}

RenderResult LockRect(RenderTexture* texture, uint32_t level, LockedRect& locked,
                      const int32_t* rect, uint32_t flags)
{
    if (texture == nullptr || texture->device == nullptr || level != 0 || texture->locked) {
        return RenderErrorInvalidCall;
    }
    int32_t area[4];
    if (!emulated::TextureLockArea(rect, texture->width, texture->height, area)) {
        return RenderErrorInvalidCall;
    }
    std::copy(area, area + 4, texture->lockRect);
    texture->locked = true;
    texture->readOnlyLock = (flags & LockReadOnly) != 0;
    locked.pitch = static_cast<int32_t>(texture->pitch);
    locked.bits = texture->staging + static_cast<size_t>(area[1]) * texture->pitch +
                  static_cast<size_t>(area[0]) * texture->format->bytesPerTexel;
    return RenderOk;
}

RenderResult UnlockRect(RenderTexture* texture, uint32_t level)
{
    if (texture == nullptr || level != 0 || !texture->locked) return RenderErrorInvalidCall;
    texture->locked = false;
    if (texture->readOnlyLock || texture->device == nullptr) return RenderOk;
    if (!MakeDeviceCurrent(texture->device)) return RenderErrorInvalidCall;
    const int32_t* r = texture->lockRect;
    UploadRect(texture, r[0], r[1], r[2], r[3]);
    return RenderOk;
}

void Release(RenderTexture* texture)
{
    if (texture == nullptr) return;
    RenderDevice* device = texture->device;
    if (device != nullptr) {
        if (MakeDeviceCurrent(device)) Gl.DeleteTextures(1, &texture->name);
        Unlink(texture);
    }
    DestroyTexture(texture);
}

RenderResult CreateVertexBuffer(RenderDevice* device, uint32_t length, uint32_t usage,
                                uint32_t vertexFormat, uint32_t pool, RenderVertexBuffer*& buffer)
{
    (void)usage;
    (void)vertexFormat;  // the layout comes from SetVertexShader at drawing time
    buffer = nullptr;
    if (device == nullptr || length == 0 || pool != PoolManaged || !MakeDeviceCurrent(device)) {
        return RenderErrorInvalidCall;
    }

    RenderVertexBuffer* created = new (std::nothrow) RenderVertexBuffer{};
    if (created == nullptr) return RenderErrorOutOfVideoMemory;
    created->length = length;
    created->memory = new (std::nothrow) uint8_t[length]();
    if (created->memory == nullptr) {
        delete created;
        return RenderErrorOutOfVideoMemory;
    }
    while (Gl.GetError() != GL_NO_ERROR) {
    }
    Gl.GenBuffers(1, &created->name);
    Gl.BindBuffer(GL_ARRAY_BUFFER, created->name);
    Gl.BufferData(GL_ARRAY_BUFFER, length, created->memory, GL_DYNAMIC_DRAW);
    if (Gl.GetError() != GL_NO_ERROR) {
        Gl.DeleteBuffers(1, &created->name);
        delete[] created->memory;
        delete created;
        return RenderErrorOutOfVideoMemory;
    }
    created->device = device;
    emulated::LinkFirst(device->bufferList, created);
    buffer = created;
    return RenderOk;
}

RenderResult LockVertexBuffer(RenderVertexBuffer* buffer, uint32_t offset, uint32_t size,
                              uint8_t*& data, uint32_t flags)
{
    (void)flags;
    data = nullptr;
    uint32_t end = 0;
    if (buffer == nullptr || buffer->device == nullptr ||
        !emulated::VertexLockEnd(offset, size, buffer->length, end)) {
        return RenderErrorInvalidCall;
    }
    if (buffer->lockCount == 0) {
        buffer->dirtyBegin = offset;
        buffer->dirtyEnd = end;
    } else {
        buffer->dirtyBegin = std::min(buffer->dirtyBegin, offset);
        buffer->dirtyEnd = std::max(buffer->dirtyEnd, end);
    }
    ++buffer->lockCount;
    data = buffer->memory + offset;
    return RenderOk;
}

RenderResult UnlockVertexBuffer(RenderVertexBuffer* buffer)
{
    if (buffer == nullptr || buffer->lockCount == 0) return RenderErrorInvalidCall;
    if (--buffer->lockCount != 0 || buffer->device == nullptr) return RenderOk;
    if (buffer->dirtyEnd > buffer->dirtyBegin) {
        RenderDevice* device = buffer->device;
        if (!MakeDeviceCurrent(device)) return RenderErrorInvalidCall;
        Gl.BindBuffer(GL_ARRAY_BUFFER, buffer->name);
        Gl.BufferSubData(GL_ARRAY_BUFFER, buffer->dirtyBegin, buffer->dirtyEnd - buffer->dirtyBegin,
                         buffer->memory + buffer->dirtyBegin);
    }
    return RenderOk;
}

void Release(RenderVertexBuffer* buffer)
{
    if (buffer == nullptr) return;
    RenderDevice* device = buffer->device;
    if (device != nullptr) {
        if (MakeDeviceCurrent(device)) Gl.DeleteBuffers(1, &buffer->name);
        Unlink(buffer);
    }
    delete[] buffer->memory;
    delete buffer;
}

}  // namespace gl
