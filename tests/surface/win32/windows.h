// A stand-in for <windows.h> holding just what the GDI desktop capture uses, so that its code
// runs on Linux against the fakes of test_capture_gdi.cpp.
#pragma once

#include <cstdint>

using BOOL = int;
using BYTE = uint8_t;
using WORD = uint16_t;
using DWORD = uint32_t;
using LONG = int32_t;
using UINT = unsigned int;
using HANDLE = void*;
using HGDIOBJ = void*;
using HWND = struct GdiWindow*;
using HDC = struct GdiDc*;
using HBITMAP = struct GdiBitmap*;
using HRGN = struct GdiRegion*;

struct RECT {
    LONG left;
    LONG top;
    LONG right;
    LONG bottom;
};

struct BITMAPINFOHEADER {
    DWORD biSize;
    LONG biWidth;
    LONG biHeight;
    WORD biPlanes;
    WORD biBitCount;
    DWORD biCompression;
    DWORD biSizeImage;
    LONG biXPelsPerMeter;
    LONG biYPelsPerMeter;
    DWORD biClrUsed;
    DWORD biClrImportant;
};

struct RGBQUAD {
    BYTE rgbBlue;
    BYTE rgbGreen;
    BYTE rgbRed;
    BYTE rgbReserved;
};

struct BITMAPINFO {
    BITMAPINFOHEADER bmiHeader;
    RGBQUAD bmiColors[1];
};

constexpr DWORD DCX_CACHE = 0x2;
constexpr DWORD DCX_LOCKWINDOWUPDATE = 0x400;
constexpr DWORD BI_RGB = 0;
constexpr UINT DIB_RGB_COLORS = 0;
constexpr DWORD SRCCOPY = 0x00CC0020;
inline const HGDIOBJ HGDI_ERROR = reinterpret_cast<HGDIOBJ>(~uintptr_t{0});

HWND GetDesktopWindow();
BOOL LockWindowUpdate(HWND window);
BOOL GetClientRect(HWND window, RECT* rect);
HDC GetDCEx(HWND window, HRGN clip, DWORD flags);
int ReleaseDC(HWND window, HDC dc);
HDC CreateCompatibleDC(HDC dc);
HBITMAP CreateDIBSection(HDC dc, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section,
                         DWORD offset);
HGDIOBJ SelectObject(HDC dc, HGDIOBJ object);
BOOL BitBlt(HDC dc, int x, int y, int width, int height, HDC source, int sourceX, int sourceY,
            DWORD rop);
BOOL GdiFlush();
BOOL DeleteDC(HDC dc);
BOOL DeleteObject(HGDIOBJ object);
