// The desktop snapshot through GDI: lock the desktop against redraws, copy its pixels into a
// 24-bit bottom-up DIB section, turn them into heights, release everything, unlock.
#include <windows.h>

#include <cstdint>

#include "support/heap.h"
#include "surface/height_field.h"

namespace {

// The snapshot's own objects; each is released only if it was made, and cleared at once.
struct Grab {
    HWND desktop = nullptr;
    HDC screenDc = nullptr;
    HDC memoryDc = nullptr;
    HBITMAP bitmap = nullptr;
};

void Release(Grab& grab)
{
    // The memory context first: deleting it lets go of the bitmap selected into it.
    if (grab.memoryDc != nullptr) {
        DeleteDC(grab.memoryDc);
        grab.memoryDc = nullptr;
    }
    if (grab.bitmap != nullptr) {
        DeleteObject(grab.bitmap);
        grab.bitmap = nullptr;
    }
    if (grab.screenDc != nullptr) {
        ReleaseDC(grab.desktop, grab.screenDc);
        grab.screenDc = nullptr;
    }
    LockWindowUpdate(nullptr);
}

}  // namespace

bool CaptureDesktop(SurfaceFields& surface)
{
    Grab grab;
    grab.desktop = GetDesktopWindow();
    // Only one window of the system can hold the update lock; without it there is no snapshot.
    if (!LockWindowUpdate(grab.desktop)) return false;

    RECT client{};
    GetClientRect(grab.desktop, &client);
    const int32_t width = client.right;
    const int32_t height = client.bottom;
    // The pixel count must fit its 32-bit holder, or the fields sized from it would be short.
    const uint64_t pixelCount = static_cast<uint64_t>(width > 0 ? width : 0) *
                                static_cast<uint64_t>(height > 0 ? height : 0);
    if (pixelCount == 0 || pixelCount > UINT32_MAX) {
        Release(grab);
        return false;
    }

    grab.screenDc = GetDCEx(grab.desktop, nullptr, DCX_CACHE | DCX_LOCKWINDOWUPDATE);
    if (grab.screenDc == nullptr) {
        Release(grab);
        return false;
    }

    auto* heights = static_cast<uint8_t*>(AllocateZeroed(static_cast<size_t>(pixelCount)));
    if (heights == nullptr) {
        Release(grab);
        return false;
    }

    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;  // positive: bottom row first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    void* pixels = nullptr;

    bool copied = false;
    grab.memoryDc = CreateCompatibleDC(grab.screenDc);
    if (grab.memoryDc != nullptr) {
        grab.bitmap = CreateDIBSection(grab.memoryDc, &info, DIB_RGB_COLORS, &pixels, nullptr, 0);
    }
    if (grab.bitmap != nullptr && pixels != nullptr) {
        const HGDIOBJ previous = SelectObject(grab.memoryDc, grab.bitmap);
        if (previous != nullptr && previous != HGDI_ERROR) {
            copied = BitBlt(grab.memoryDc, 0, 0, width, height, grab.screenDc, 0, 0, SRCCOPY) != 0;
            // GDI may batch the copy; the pixels are read through the section's pointer, which
            // sees them only once the batch has run.
            if (copied) copied = GdiFlush() != 0;
        }
    }
    if (copied) {
        HeightFieldFromSnapshot(static_cast<const uint8_t*>(pixels), width, height, heights);
    }
    Release(grab);
    pixels = nullptr;

    if (!copied) {
        // A picture that could not be read is no desktop: report it and keep nothing.
        FreeAllocation(heights);
        return false;
    }

    // Nothing takes a second snapshot, but one would replace the first rather than leak it.
    InstallHeightField(surface, heights, width, height);
    return true;
}
