// A texture made from a 32-bit bottom-up bitmap, in any of the eleven pixel formats 20..30.
#pragma once

#include <cstdint>

#include "image/bitmap.h"
#include "render/device.h"

// Maps a source pixel 0xAARRGGBB to the texel value; the upload writes its lowest
// bytesPerTexel bytes, lowest first. Channels keep their top bits: no rounding, no dithering.
struct PixelConverter {
    uint32_t (*convert)(uint32_t argb);
    uint32_t bytesPerTexel;
};

// Formats 20 (R8G8B8) to 30 (X4R4G4B4), in order.
extern const PixelConverter PixelConverterTable[11];

// False (out untouched) for a format outside 20..30.
bool FindPixelConverter(uint32_t format, PixelConverter& out);

constexpr uint32_t UploadOk = 1;
constexpr uint32_t UploadCreateFailed = 0x8001;
constexpr uint32_t UploadLockFailed = 0x8002;
constexpr uint32_t UploadNot32Bit = 0x8003;
constexpr uint32_t UploadNoConverter = 0x8004;
constexpr uint32_t UploadNoDevice = 0x8006;

// Creates a managed texture of the bitmap's size (one level, no usage) in `format` into
// `texture` and fills it upright: texture row 0 is the picture's top row, the bitmap's last.
// The checks come in this order: no device, a bitmap that is not 32-bit (nothing created), a
// format the device refuses, a failed lock, a format without a converter. After a failed lock
// or a missing converter the texture holds no picture: it is released and `texture` cleared.
// The bitmap stays the caller's.
uint32_t UploadBitmapToTexture(RenderDevice* device, ImageBitmap* bitmap, uint32_t format,
                               RenderTexture*& texture);
