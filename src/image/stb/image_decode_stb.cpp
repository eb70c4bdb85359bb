// Picture decoding without OLE: stb_image, compiled into this file alone (every function
// static), so that its copy here is the one the decoding tests and the fuzzer run, and it
// cannot clash with another user of the library in the same program.
//
// The result matches what the OLE path renders into its zero-filled DIB section: the picture
// upright at its own size, blue, green, red and a fourth byte of 0. A fully transparent pixel
// (a GIF's transparent colour) stays black, as OLE leaves it undrawn; partial transparency is
// ignored, as OLE ignores it. A file that ends before its picture does gives none.
#include "image/embedded_images.h"
#include "image/image_decode.h"
#include "image/stb/pixel_bitmap.h"

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#define STBI_NO_STDIO
#define STBI_NO_FAILURE_STRINGS
#define STBI_NO_THREAD_LOCALS
// The formats of the program's pictures; nothing else is worth the attack surface.
#define STBI_ONLY_BMP
#define STBI_ONLY_GIF
// Far beyond any picture of ours, and small enough that a hostile header cannot ask for
// gigabytes before the decoder notices the data is missing.
#define STBI_MAX_DIMENSIONS 8192
#if defined(__clang__)
#pragma clang diagnostic push
#pragma clang diagnostic ignored "-Wunused-function"
#pragma clang diagnostic ignored "-Wmissing-field-initializers"
#pragma clang diagnostic ignored "-Wsign-compare"
#else
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wimplicit-fallthrough"
#endif
#include <stb_image.h>
#if defined(__clang__)
#pragma clang diagnostic pop
#else
#pragma GCC diagnostic pop
#endif

namespace {

// 4096 x 4096: a decoded picture and the decoder's working copies stay within a few hundred
// megabytes whatever the header claims.
constexpr int64_t MaxPictureTexels = int64_t{1} << 24;

struct DecodedPixels {
    stbi_uc* rgba = nullptr;
    ~DecodedPixels() { stbi_image_free(rgba); }
};

// The file as stb_image reads it, noting whether the decoder ever wanted bytes past the end:
// it would take zeros there and give a picture with a missing part instead of failing.
struct FileReader {
    const uint8_t* bytes;
    int size;
    int at;
    bool ranOut;
};

int ReadBytes(void* user, char* data, int size)
{
    auto& file = *static_cast<FileReader*>(user);
    const int count = size < file.size - file.at ? size : file.size - file.at;
    if (count <= 0) {
        if (size > 0) file.ranOut = true;
        return 0;
    }
    std::memcpy(data, file.bytes + file.at, static_cast<size_t>(count));
    file.at += count;
    return count;
}

void SkipBytes(void* user, int count)
{
    auto& file = *static_cast<FileReader*>(user);
    if (count > file.size - file.at) {
        file.ranOut = true;
        file.at = file.size;
    } else if (count > 0) {
        file.at += count;
    }
}

int AtEnd(void* user)
{
    const auto& file = *static_cast<const FileReader*>(user);
    return file.at >= file.size ? 1 : 0;
}

const stbi_io_callbacks FileCallbacks = {ReadBytes, SkipBytes, AtEnd};

uint32_t ToBitmapWord(const stbi_uc* rgba)
{
    if (rgba[3] == 0) return 0;
    return uint32_t{rgba[2]} | uint32_t{rgba[1]} << 8 | uint32_t{rgba[0]} << 16;
}

}  // namespace

ImageBitmap* DecodeImageBytes(const uint8_t* bytes, uint32_t size, int32_t limit)
{
    if (bytes == nullptr || size == 0 || size > INT_MAX) return nullptr;

    int width = 0;
    int height = 0;
    int channels = 0;
    FileReader header{bytes, static_cast<int>(size), 0, false};
    if (stbi_info_from_callbacks(&FileCallbacks, &header, &width, &height, &channels) == 0) {
        return nullptr;
    }
    // A BMP stored top row first reports its height negative here.
    const int64_t rows = height < 0 ? -int64_t{height} : height;
    if (width <= 0 || rows == 0 || width * rows > MaxPictureTexels) return nullptr;

    DecodedPixels decoded;
    FileReader file{bytes, static_cast<int>(size), 0, false};
    decoded.rgba = stbi_load_from_callbacks(&FileCallbacks, &file, &width, &height, &channels, 4);
    if (decoded.rgba == nullptr || file.ranOut) return nullptr;
    if (width <= 0 || height <= 0 || int64_t{width} * height > MaxPictureTexels) return nullptr;

    // With a limit the picture is stretched to the fitted size, as OLE's Render does; nearest
    // source pixel by the centres, so the picture's own size copies straight through.
    const int32_t fittedWidth = FitToPowerOfTwo(width, limit);
    const int32_t fittedHeight = FitToPowerOfTwo(height, limit);
    if (fittedWidth <= 0 || fittedHeight <= 0 ||
        int64_t{fittedWidth} * fittedHeight > MaxPictureTexels) {
        return nullptr;
    }
    ImageBitmap* bitmap = CreatePixelBitmap(fittedWidth, fittedHeight, 32);
    if (bitmap == nullptr) return nullptr;

    for (int32_t y = 0; y < fittedHeight; ++y) {
        // Picture row y (from the top) is bitmap row fittedHeight - 1 - y (from the bottom).
        const int64_t sourceY = (2 * int64_t{y} + 1) * height / (2 * int64_t{fittedHeight});
        const stbi_uc* sourceRow = decoded.rgba + sourceY * width * 4;
        uint8_t* out = bitmap->pixels + size_t(fittedHeight - 1 - y) * bitmap->rowBytes;
        for (int32_t x = 0; x < fittedWidth; ++x, out += 4) {
            const int64_t sourceX = (2 * int64_t{x} + 1) * width / (2 * int64_t{fittedWidth});
            const uint32_t word = ToBitmapWord(sourceRow + sourceX * 4);
            out[0] = static_cast<uint8_t>(word);
            out[1] = static_cast<uint8_t>(word >> 8);
            out[2] = static_cast<uint8_t>(word >> 16);
            out[3] = 0;
        }
    }
    return bitmap;
}

ImageBitmap* LoadImageResource(uintptr_t /*module*/, uint32_t number, int32_t limit)
{
    const uint8_t* bytes = nullptr;
    uint32_t size = 0;
    if (!FindEmbeddedImage(number, bytes, size) || size == 0) return nullptr;
    return DecodeImageBytes(bytes, size, limit);
}
