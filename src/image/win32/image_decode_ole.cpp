// Picture decoding through the platform's OLE picture loader, from an in-memory stream.
#include <windows.h>

#include <ocidl.h>
#include <olectl.h>

#include <cstring>

#include "image/image_decode.h"
#include "image/win32/picture_ole.h"

namespace {

ImageBitmap* Handle(HBITMAP bitmap)
{
    return reinterpret_cast<ImageBitmap*>(bitmap);
}

// The header block of the bitmap we draw into: the header and room for one colour entry.
struct DibHeader {
    BITMAPINFOHEADER header;
    RGBQUAD colour;
};
static_assert(sizeof(DibHeader) == 44);

}  // namespace

ImageBitmap* RenderPictureToBitmap(IPicture* picture, int32_t limit)
{
    if (picture == nullptr) return nullptr;

    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    if (memory == nullptr) {
        ReleaseDC(nullptr, screen);
        return nullptr;
    }

    OLE_XSIZE_HIMETRIC hmWidth = 0;
    OLE_YSIZE_HIMETRIC hmHeight = 0;
    picture->get_Width(&hmWidth);
    picture->get_Height(&hmHeight);
    // HIMETRIC is hundredths of a millimetre: 2540 to the inch.
    const int32_t width =
        FitToPowerOfTwo(MulDiv(hmWidth, GetDeviceCaps(screen, LOGPIXELSX), 2540), limit);
    const int32_t height =
        FitToPowerOfTwo(MulDiv(hmHeight, GetDeviceCaps(screen, LOGPIXELSY), 2540), limit);

    DibHeader info;
    std::memset(&info, 0, sizeof info);
    info.header.biSize = sizeof(BITMAPINFOHEADER);
    info.header.biWidth = width;
    info.header.biHeight = height;  // positive: bottom row first
    info.header.biPlanes = 1;
    info.header.biBitCount = 32;
    info.header.biCompression = BI_RGB;

    void* bits = nullptr;
    // A picture without a size (or one MulDiv could not scale) has no bitmap; a negative height
    // would make a top-down one.
    HBITMAP bitmap = width > 0 && height > 0
                         ? CreateDIBSection(screen, reinterpret_cast<BITMAPINFO*>(&info),
                                            DIB_RGB_COLORS, &bits, nullptr, 0)
                         : nullptr;
    if (bitmap == nullptr) {
        DeleteDC(memory);
        ReleaseDC(nullptr, screen);
        return nullptr;
    }

    HGDIOBJ kept = SelectObject(memory, bitmap);
    if (kept == nullptr || kept == HGDI_ERROR) {
        DeleteObject(bitmap);
        DeleteDC(memory);
        ReleaseDC(nullptr, screen);
        return nullptr;
    }

    // HIMETRIC y runs upwards: start at the bottom edge with a negative height, so the picture
    // lands upright, stretched to exactly width x height.
    const HRESULT drawn =
        picture->Render(memory, 0, 0, width, height, 0, hmHeight, hmWidth, -hmHeight, nullptr);

    // Deselected before any delete: GDI does not delete a bitmap still selected into a context.
    SelectObject(memory, kept);
    if (FAILED(drawn)) {
        DeleteObject(bitmap);
        bitmap = nullptr;
    }
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return Handle(bitmap);
}

ImageBitmap* DecodeImageBytes(const uint8_t* bytes, uint32_t size, int32_t limit)
{
    if (bytes == nullptr || size == 0) return nullptr;

    const HRESULT initialised = CoInitialize(nullptr);

    // CreateStreamOnHGlobal documents that it needs movable memory. The stream frees the block
    // when released.
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size);
    void* copy = block != nullptr ? GlobalLock(block) : nullptr;
    IStream* stream = nullptr;
    if (copy != nullptr) {
        std::memcpy(copy, bytes, size);
        GlobalUnlock(block);
        if (FAILED(CreateStreamOnHGlobal(block, TRUE, &stream)) || stream == nullptr) {
            stream = nullptr;
        }
    }
    if (stream == nullptr && block != nullptr) GlobalFree(block);
    block = nullptr;

    IPicture* picture = nullptr;
    if (stream != nullptr &&
        FAILED(OleLoadPicture(stream, 0, TRUE, IID_IPicture, reinterpret_cast<void**>(&picture)))) {
        if (picture != nullptr) picture->Release();
        picture = nullptr;
    }

    ImageBitmap* bitmap = RenderPictureToBitmap(picture, limit);

    if (stream != nullptr) {
        stream->Release();
        stream = nullptr;
    }
    if (picture != nullptr) {
        picture->Release();
        picture = nullptr;
    }
    // Balanced only when it took: a thread already in another apartment model keeps it.
    if (SUCCEEDED(initialised)) CoUninitialize();
    return bitmap;
}

ImageBitmap* LoadImageResource(uintptr_t module, uint32_t number, int32_t limit)
{
    // Resource numbers are 16-bit; anything above would be taken for a name pointer.
    if (number == 0 || number > 0xFFFF) return nullptr;
    const auto instance = reinterpret_cast<HMODULE>(module);
    HRSRC found = FindResourceA(instance, MAKEINTRESOURCEA(number), "IMAGE");
    if (found == nullptr) return nullptr;
    HGLOBAL loaded = LoadResource(instance, found);
    const void* bytes = loaded != nullptr ? LockResource(loaded) : nullptr;
    const DWORD size = SizeofResource(instance, found);
    if (bytes == nullptr || size == 0) return nullptr;
    return DecodeImageBytes(static_cast<const uint8_t*>(bytes), size, limit);
}
