#include "support/heap.h"
#include "surface/height_field.h"

bool UseFlatHeightField(int32_t width, int32_t height)
{
    if (width <= 0 || height <= 0) return false;
    const uint64_t count = static_cast<uint64_t>(width) * static_cast<uint64_t>(height);
    if (count > UINT32_MAX) return false;
    auto* heights = static_cast<uint8_t*>(AllocateZeroed(static_cast<size_t>(count)));
    if (heights == nullptr) return false;
    InstallHeightField(heights, width, height);
    return true;
}

void InstallHeightField(uint8_t* heights, int32_t width, int32_t height)
{
    FreeAllocation(HeightField);
    HeightField = heights;
    DesktopWidth = width;
    DesktopHeight = height;
    DesktopPixelCount = static_cast<uint32_t>(width) * static_cast<uint32_t>(height);
}
