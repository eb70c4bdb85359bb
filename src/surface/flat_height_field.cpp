#include "support/heap.h"
#include "surface/height_field.h"

bool UseFlatHeightField(SurfaceFields& surface, int32_t width, int32_t height)
{
    if (width <= 0 || height <= 0) return false;
    const uint64_t count = static_cast<uint64_t>(width) * static_cast<uint64_t>(height);
    if (count > UINT32_MAX) return false;
    auto* heights = static_cast<uint8_t*>(AllocateZeroed(static_cast<size_t>(count)));
    if (heights == nullptr) return false;
    InstallHeightField(surface, heights, width, height);
    return true;
}

void InstallHeightField(SurfaceFields& surface, uint8_t* heights, int32_t width, int32_t height)
{
    FreeAllocation(surface.HeightField);
    surface.HeightField = heights;
    surface.DesktopWidth = width;
    surface.DesktopHeight = height;
    surface.DesktopPixelCount = static_cast<uint32_t>(width) * static_cast<uint32_t>(height);
}

void FreeSurfaceFields(SurfaceFields& surface)
{
    // Freed and cleared one by one, so that a second release does nothing.
    FreeAllocation(surface.HeightField);
    surface.HeightField = nullptr;
    FreeAllocation(surface.NormalField);
    surface.NormalField = nullptr;
    FreeAllocation(surface.FalloffTable);
    surface.FalloffTable = nullptr;
}
