// The portable picture decoder on any bytes: never a crash or a leak, and a picture it does give
// is whole: a 32-bit bitmap of a sane size whose fourth bytes are all 0.
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "image/bitmap.h"
#include "image/image_decode.h"

namespace {

void Check(bool condition)
{
    if (!condition) std::abort();
}

bool IsPowerOfTwo(int32_t v)
{
    return v > 0 && (v & (v - 1)) == 0;
}

// Reads every pixel, so a bitmap shorter than its description is caught.
bool CheckBitmap(ImageBitmap* bitmap, int32_t limit)
{
    BitmapDescription d{};
    if (!GetBitmapDescription(bitmap, d)) return false;
    Check(d.bitCount == 32 && d.width > 0 && d.height > 0 && d.pixels != nullptr);
    Check(int64_t{d.width} * d.height <= int64_t{1} << 24);
    if (limit != 0) {
        Check(d.width <= limit && d.height <= limit);
        Check(IsPowerOfTwo(d.width) && IsPowerOfTwo(d.height));
    }
    const size_t bytes = size_t(d.width) * size_t(d.height) * 4;
    uint8_t fourth = 0;
    for (size_t i = 3; i < bytes; i += 4) fourth |= d.pixels[i];
    Check(fourth == 0);
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > INT_MAX) return 0;
    ImageBitmap* bitmap = DecodeImageBytes(data, static_cast<uint32_t>(size), 0);
    const bool decoded = CheckBitmap(bitmap, 0);
    DeleteBitmap(bitmap);
    if (decoded) {
        // A picture also goes through the stretch to powers of two.
        bitmap = DecodeImageBytes(data, static_cast<uint32_t>(size), 64);
        Check(CheckBitmap(bitmap, 64));
        DeleteBitmap(bitmap);
    }
    return 0;
}
