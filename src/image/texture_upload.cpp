#include "image/texture_upload.h"

#include <cstddef>

namespace {

uint32_t ClearTopByte(uint32_t p)
{
    return p & 0x00FFFFFFu;
}

uint32_t Unchanged(uint32_t p)
{
    return p;
}

uint32_t ToR5G6B5(uint32_t p)
{
    return (p >> 19 & 0x1F) << 11 | (p >> 10 & 0x3F) << 5 | (p >> 3 & 0x1F);
}

uint32_t ToX1R5G5B5(uint32_t p)
{
    return (p >> 19 & 0x1F) << 10 | (p >> 11 & 0x1F) << 5 | (p >> 3 & 0x1F);
}

uint32_t ToA1R5G5B5(uint32_t p)
{
    return (p >> 31) << 15 | ToX1R5G5B5(p);
}

uint32_t ToX4R4G4B4(uint32_t p)
{
    return (p >> 20 & 0xF) << 8 | (p >> 12 & 0xF) << 4 | (p >> 4 & 0xF);
}

uint32_t ToA4R4G4B4(uint32_t p)
{
    return (p >> 28) << 12 | ToX4R4G4B4(p);
}

uint32_t ToR3G3B2(uint32_t p)
{
    return (p >> 21 & 0x7) << 5 | (p >> 13 & 0x7) << 2 | (p >> 6 & 0x3);
}

uint32_t ToA8(uint32_t p)
{
    return p >> 24;
}

uint32_t ToA8R3G3B2(uint32_t p)
{
    return (p >> 24) << 8 | ToR3G3B2(p);
}

constexpr uint32_t FirstConvertedFormat = FormatR8G8B8;
constexpr uint32_t LastConvertedFormat = FormatX4R4G4B4;

}  // namespace

const PixelConverter PixelConverterTable[11] = {
    {ClearTopByte, 3},  // 20 R8G8B8: bytes B, G, R
    {Unchanged, 4},     // 21 A8R8G8B8
    {ClearTopByte, 4},  // 22 X8R8G8B8
    {ToR5G6B5, 2},      // 23
    {ToX1R5G5B5, 2},    // 24
    {ToA1R5G5B5, 2},    // 25
    {ToA4R4G4B4, 2},    // 26
    {ToR3G3B2, 1},      // 27
    {ToA8, 1},          // 28
    {ToA8R3G3B2, 2},    // 29
    {ToX4R4G4B4, 2},    // 30
};

bool FindPixelConverter(uint32_t format, PixelConverter& out)
{
    if (format < FirstConvertedFormat || format > LastConvertedFormat) return false;
    out = PixelConverterTable[format - FirstConvertedFormat];
    return true;
}

uint32_t UploadBitmapToTexture(RenderDevice* device, ImageBitmap* bitmap, uint32_t format,
                               RenderTexture*& texture)
{
    if (device == nullptr) return UploadNoDevice;

    BitmapDescription source{};
    GetBitmapDescription(bitmap, source);
    if (source.bitCount != 32) return UploadNot32Bit;

    // A header without rows or pixels to read is not a bitmap we can copy: no texture of it
    // can be made, as with a size the device refuses.
    if (source.width <= 0 || source.height <= 0 || source.pixels == nullptr) {
        return UploadCreateFailed;
    }
    const auto width = static_cast<uint32_t>(source.width);
    const auto height = static_cast<uint32_t>(source.height);
    if (CreateTexture(device, width, height, 1, UsageNone, format, PoolManaged, texture) !=
        RenderOk) {
        ReleaseHandle(texture);
        return UploadCreateFailed;
    }

    LockedRect locked{};
    const bool isLocked = LockRect(texture, 0, locked, nullptr, LockNone) == RenderOk;
    if (!isLocked || locked.bits == nullptr) {
        if (isLocked) UnlockRect(texture, 0);
        ReleaseHandle(texture);
        return UploadLockFailed;
    }

    PixelConverter converter{};
    if (!FindPixelConverter(format, converter)) {
        UnlockRect(texture, 0);
        ReleaseHandle(texture);
        return UploadNoConverter;
    }
    // Memory whose rows are shorter than a converted row is no use either: the rows would be
    // written over each other.
    if (locked.pitch < 0 ||
        static_cast<uint64_t>(locked.pitch) < uint64_t{width} * converter.bytesPerTexel) {
        UnlockRect(texture, 0);
        ReleaseHandle(texture);
        return UploadLockFailed;
    }

    // The bitmap's last row is the picture's top row, which becomes texture row 0.
    const size_t sourceRowBytes = size_t{width} * 4;
    const auto pitch = static_cast<size_t>(locked.pitch);
    for (uint32_t row = 0; row < height; ++row) {
        const uint8_t* in = source.pixels + (size_t{height} - 1 - row) * sourceRowBytes;
        uint8_t* out = static_cast<uint8_t*>(locked.bits) + row * pitch;
        for (uint32_t column = 0; column < width; ++column) {
            const uint32_t argb = uint32_t{in[0]} | uint32_t{in[1]} << 8 | uint32_t{in[2]} << 16 |
                                  uint32_t{in[3]} << 24;
            uint32_t texel = converter.convert(argb);
            for (uint32_t b = 0; b < converter.bytesPerTexel; ++b) {
                *out++ = static_cast<uint8_t>(texel);
                texel >>= 8;
            }
            in += 4;
        }
    }

    UnlockRect(texture, 0);
    return UploadOk;
}
