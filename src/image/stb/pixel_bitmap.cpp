#include "image/stb/pixel_bitmap.h"

#include <cstdlib>
#include <cstring>
#include <new>

ImageBitmap* CreatePixelBitmap(int32_t width, int32_t height, uint32_t bitCount)
{
    if (width <= 0 || height <= 0 || bitCount == 0 || bitCount > 32) return nullptr;
    const uint64_t rowBytes = (uint64_t{static_cast<uint32_t>(width)} * bitCount + 31) / 32 * 4;
    const uint64_t bytes = rowBytes * static_cast<uint32_t>(height);
    if (bytes > UINT32_MAX) return nullptr;  // no DIB is that big either

    auto* bitmap = new (std::nothrow) ImageBitmap{};
    if (bitmap == nullptr) return nullptr;
    bitmap->pixels = static_cast<uint8_t*>(std::calloc(static_cast<size_t>(bytes), 1));
    if (bitmap->pixels == nullptr) {
        delete bitmap;
        return nullptr;
    }
    bitmap->width = width;
    bitmap->height = height;
    bitmap->bitCount = bitCount;
    bitmap->rowBytes = static_cast<uint32_t>(rowBytes);
    return bitmap;
}

bool GetBitmapDescription(ImageBitmap* bitmap, BitmapDescription& out)
{
    out = BitmapDescription{};
    if (bitmap == nullptr) return false;
    out.width = bitmap->width;
    out.height = bitmap->height;
    out.bitCount = bitmap->bitCount;
    out.pixels = bitmap->pixels;
    return true;
}

namespace {

bool IsPixelsOfSize(const ImageBitmap* bitmap, int32_t width, int32_t height)
{
    return bitmap != nullptr && bitmap->bitCount == 32 && bitmap->width == width &&
           bitmap->height == height && width > 0 && height > 0;
}

}  // namespace

bool ReadBitmapPixels(ImageBitmap* bitmap, int32_t width, int32_t height, uint32_t* pixels)
{
    if (!IsPixelsOfSize(bitmap, width, height) || pixels == nullptr) return false;
    const size_t count = size_t{static_cast<uint32_t>(width)} * static_cast<uint32_t>(height);
    const uint8_t* in = bitmap->pixels;
    for (size_t i = 0; i < count; ++i, in += 4) {
        pixels[i] = uint32_t{in[0]} | uint32_t{in[1]} << 8 | uint32_t{in[2]} << 16;
    }
    return true;
}

bool WriteBitmapPixels(ImageBitmap* bitmap, int32_t width, int32_t height, const uint32_t* pixels)
{
    if (!IsPixelsOfSize(bitmap, width, height) || pixels == nullptr) return false;
    const size_t count = size_t{static_cast<uint32_t>(width)} * static_cast<uint32_t>(height);
    uint8_t* out = bitmap->pixels;
    for (size_t i = 0; i < count; ++i, out += 4) {
        const uint32_t p = pixels[i];
        out[0] = static_cast<uint8_t>(p);
        out[1] = static_cast<uint8_t>(p >> 8);
        out[2] = static_cast<uint8_t>(p >> 16);
        out[3] = static_cast<uint8_t>(p >> 24);
    }
    return true;
}

void DeleteBitmap(ImageBitmap*& holder)
{
    if (holder == nullptr) return;
    std::free(holder->pixels);
    delete holder;
    holder = nullptr;
}
