#include "image/image_decode.h"

int32_t FitToPowerOfTwo(int32_t v, int32_t limit)
{
    if (limit == 0) return v;
    // Wide enough that the power above 2^30 + 1 (2^31) does not overflow.
    int64_t fitted = v;
    if (v > 0 && (v & (v - 1)) != 0) {
        fitted = 1;
        while (fitted <= v) fitted <<= 1;
    }
    return fitted > limit ? limit : static_cast<int32_t>(fitted);
}
