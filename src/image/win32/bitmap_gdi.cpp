// The bitmaps of image/bitmap.h as GDI DIB sections.
#include <windows.h>

#include "image/bitmap.h"

namespace {

HBITMAP Gdi(ImageBitmap* bitmap)
{
    return reinterpret_cast<HBITMAP>(bitmap);
}

// A 32-bit BI_RGB image of width x height with bottom-up rows, as the pixel pass reads it.
BITMAPINFO PixelsOfSize(int32_t width, int32_t height)
{
    BITMAPINFO info;
    ZeroMemory(&info, sizeof info);
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    return info;
}

bool IsPixelsOfSize(ImageBitmap* bitmap, int32_t width, int32_t height)
{
    BitmapDescription description{};
    return GetBitmapDescription(bitmap, description) && description.bitCount == 32 &&
           description.width == width && description.height == height && width > 0 && height > 0;
}

}  // namespace

bool GetBitmapDescription(ImageBitmap* bitmap, BitmapDescription& out)
{
    out = BitmapDescription{};
    if (bitmap == nullptr) return false;
    DIBSECTION section;
    ZeroMemory(&section, sizeof section);
    if (GetObjectA(Gdi(bitmap), sizeof section, &section) == 0) return false;
    // A bitmap that is not a DIB section leaves the header zero: bit count 0.
    out.width = section.dsBmih.biWidth;
    out.height = section.dsBmih.biHeight;
    out.bitCount = section.dsBmih.biBitCount;
    out.pixels = static_cast<uint8_t*>(section.dsBm.bmBits);
    return true;
}

bool ReadBitmapPixels(ImageBitmap* bitmap, int32_t width, int32_t height, uint32_t* pixels)
{
    if (pixels == nullptr || !IsPixelsOfSize(bitmap, width, height)) return false;
    BITMAPINFO info = PixelsOfSize(width, height);
    HDC memory = CreateCompatibleDC(nullptr);
    const int lines =
        GetDIBits(memory, Gdi(bitmap), 0, static_cast<UINT>(height), pixels, &info, DIB_RGB_COLORS);
    DeleteDC(memory);
    // GDI passes the unused fourth byte through, and OLE may have drawn 0xFF there.
    const size_t count = size_t{static_cast<uint32_t>(width)} * static_cast<uint32_t>(height);
    for (size_t i = 0; i < count; ++i) pixels[i] &= 0x00FFFFFFu;
    return lines == height;
}

bool WriteBitmapPixels(ImageBitmap* bitmap, int32_t width, int32_t height, const uint32_t* pixels)
{
    if (pixels == nullptr || !IsPixelsOfSize(bitmap, width, height)) return false;
    BITMAPINFO info = PixelsOfSize(width, height);
    HDC memory = CreateCompatibleDC(nullptr);
    const int lines =
        SetDIBits(memory, Gdi(bitmap), 0, static_cast<UINT>(height), pixels, &info, DIB_RGB_COLORS);
    DeleteDC(memory);
    return lines == height;
}

void DeleteBitmap(ImageBitmap*& holder)
{
    if (holder == nullptr) return;
    DeleteObject(Gdi(holder));
    holder = nullptr;
}
