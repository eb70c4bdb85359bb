#include "surface/height_field.h"

void HeightFieldFromSnapshot(const uint8_t* snapshot, int32_t width, int32_t height,
                             uint8_t* heightField)
{
    if (snapshot == nullptr || heightField == nullptr || width <= 0 || height <= 0) return;

    const size_t w = static_cast<size_t>(width);
    const size_t rows = static_cast<size_t>(height);
    const size_t stride = SnapshotStride(width);
    for (size_t k = 0; k < rows; ++k) {
        const uint8_t* pixel = snapshot + k * stride;
        uint8_t* out = heightField + k * w;
        for (size_t x = 0; x < w; ++x, pixel += 3) {
            // The weights add up to 255, so the sum fits 16 bits and the shift leaves 0..127.
            const uint32_t sum = 70u * pixel[0] + 100u * pixel[1] + 85u * pixel[2];
            out[x] = static_cast<uint8_t>(sum >> 9);
        }
    }
}
