// The GDI desktop capture run against fakes of the few GDI calls it makes: what Wine cannot
// provoke (a refused update lock, GDI running out of objects) gives false with nothing held,
// nothing leaked and the last surface kept; a good grab gives the heights of the pixels.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "fake_heap.h"
#include "support/heap.h"
#include "surface/height_field.h"
#include "surface/win32/capture_gdi.h"

struct GdiWindow {};
struct GdiDc {};
struct GdiBitmap {};

namespace {

struct GdiFake {
    // What the next capture meets.
    bool lockRefused = false;
    RECT client{0, 0, 5, 3};
    bool noScreenDc = false;
    bool noMemoryDc = false;
    bool noSection = false;
    bool selectFails = false;
    bool bltFails = false;
    bool flushFails = false;
    // What it did.
    bool locked = false;
    int locks = 0;
    int unlocks = 0;
    int screenDcs = 0;  // taken and not given back
    std::set<GdiDc*> memoryDcs;
    std::set<GdiBitmap*> bitmaps;
    std::vector<uint8_t> section;
    GdiWindow desktop;
    GdiDc screen;
};

GdiFake Gdi;

}  // namespace

HWND GetDesktopWindow()
{
    return &Gdi.desktop;
}

BOOL LockWindowUpdate(HWND window)
{
    if (window == nullptr) {
        if (!Gdi.locked) return 0;
        Gdi.locked = false;
        ++Gdi.unlocks;
        return 1;
    }
    if (Gdi.lockRefused || Gdi.locked) return 0;
    Gdi.locked = true;
    ++Gdi.locks;
    return 1;
}

BOOL GetClientRect(HWND, RECT* rect)
{
    *rect = Gdi.client;
    return 1;
}

HDC GetDCEx(HWND window, HRGN, DWORD flags)
{
    if (Gdi.noScreenDc || window != &Gdi.desktop || flags != (DCX_CACHE | DCX_LOCKWINDOWUPDATE)) {
        return nullptr;
    }
    ++Gdi.screenDcs;
    return &Gdi.screen;
}

int ReleaseDC(HWND, HDC dc)
{
    if (dc != &Gdi.screen) return 0;
    --Gdi.screenDcs;
    return 1;
}

HDC CreateCompatibleDC(HDC)
{
    if (Gdi.noMemoryDc) return nullptr;
    GdiDc* dc = new GdiDc;
    Gdi.memoryDcs.insert(dc);
    return dc;
}

HBITMAP CreateDIBSection(HDC, const BITMAPINFO* info, UINT, void** bits, HANDLE, DWORD)
{
    *bits = nullptr;
    const BITMAPINFOHEADER& h = info->bmiHeader;
    if (Gdi.noSection || h.biBitCount != 24 || h.biCompression != BI_RGB || h.biHeight <= 0) {
        return nullptr;
    }
    Gdi.section.assign(SnapshotStride(h.biWidth) * static_cast<size_t>(h.biHeight), 0);
    *bits = Gdi.section.data();
    GdiBitmap* bitmap = new GdiBitmap;
    Gdi.bitmaps.insert(bitmap);
    return bitmap;
}

HGDIOBJ SelectObject(HDC dc, HGDIOBJ)
{
    if (Gdi.selectFails || Gdi.memoryDcs.count(dc) == 0) return HGDI_ERROR;
    return &Gdi.screen;  // some stock object the new context held
}

BOOL BitBlt(HDC, int, int, int width, int height, HDC source, int, int, DWORD rop)
{
    if (Gdi.bltFails || source != &Gdi.screen || rop != SRCCOPY) return 0;
    // A screen of one colour: blue 200, green 100, red 50, whose height is 55.
    for (int y = 0; y < height; ++y) {
        uint8_t* row = Gdi.section.data() + SnapshotStride(width) * static_cast<size_t>(y);
        for (int x = 0; x < width; ++x) {
            row[3 * x] = 200;
            row[3 * x + 1] = 100;
            row[3 * x + 2] = 50;
        }
    }
    return 1;
}

BOOL GdiFlush()
{
    return Gdi.flushFails ? 0 : 1;
}

BOOL DeleteDC(HDC dc)
{
    if (Gdi.memoryDcs.erase(dc) == 0) return 0;
    delete dc;
    return 1;
}

BOOL DeleteObject(HGDIOBJ object)
{
    auto* bitmap = static_cast<GdiBitmap*>(object);
    if (Gdi.bitmaps.erase(bitmap) == 0) return 0;
    delete bitmap;
    return 1;
}

namespace {

TEST(CaptureGdi, AFailedGrabHoldsNothingAndKeepsTheLastSurface)
{
    const struct {
        const char* name;
        std::function<void()> arrange;
        bool lockTaken;
    } cases[] = {
        {"update lock refused (another window holds it)", [] { Gdi.lockRefused = true; }, false},
        {"empty desktop",
         [] {
             Gdi.client = RECT{0, 0, 0, 3};
         },
         true},
        {"pixel count beyond 32 bits",
         [] {
             Gdi.client = RECT{0, 0, 70000, 70000};
         },
         true},
        {"no screen context", [] { Gdi.noScreenDc = true; }, true},
        {"no memory", [] { FakeHeap.failAfter = 0; }, true},
        {"no memory context", [] { Gdi.noMemoryDc = true; }, true},
        {"no bitmap", [] { Gdi.noSection = true; }, true},
        {"bitmap not selected", [] { Gdi.selectFails = true; }, true},
        {"copy refused", [] { Gdi.bltFails = true; }, true},
        {"copy never ran", [] { Gdi.flushFails = true; }, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Gdi = GdiFake{};
        FakeHeap.failAfter = -1;
        SurfaceFields surface;
        ASSERT_TRUE(UseFlatHeightField(surface, 3, 2));
        const uint8_t* kept = surface.HeightField;
        const int blocks = FakeHeap.liveBlocks;
        c.arrange();

        EXPECT_FALSE(CaptureDesktop(surface));
        EXPECT_EQ(surface.HeightField, kept);
        EXPECT_EQ(surface.DesktopWidth, 3);
        EXPECT_EQ(surface.DesktopHeight, 2);
        EXPECT_EQ(FakeHeap.liveBlocks, blocks);
        EXPECT_EQ(Gdi.screenDcs, 0);
        EXPECT_TRUE(Gdi.memoryDcs.empty());
        EXPECT_TRUE(Gdi.bitmaps.empty());
        EXPECT_FALSE(Gdi.locked);
        // Only a lock that was taken is given back: another window's lock stays.
        EXPECT_EQ(Gdi.locks, c.lockTaken ? 1 : 0);
        EXPECT_EQ(Gdi.unlocks, c.lockTaken ? 1 : 0);
        FakeHeap.failAfter = -1;
        FreeSurfaceFields(surface);
    }
}

TEST(CaptureGdi, AGoodGrabGivesTheHeightsAndLetsEverythingGo)
{
    Gdi = GdiFake{};
    Gdi.client = RECT{0, 0, 5, 3};
    SurfaceFields surface;
    ASSERT_TRUE(UseFlatHeightField(surface, 3, 2));
    const int blocks = FakeHeap.liveBlocks;

    ASSERT_TRUE(CaptureDesktop(surface));
    EXPECT_EQ(surface.DesktopWidth, 5);
    EXPECT_EQ(surface.DesktopHeight, 3);
    EXPECT_EQ(surface.DesktopPixelCount, 15u);
    // The flat surface before was replaced, not leaked.
    EXPECT_EQ(FakeHeap.liveBlocks, blocks);
    ASSERT_NE(surface.HeightField, nullptr);
    EXPECT_EQ(std::vector<uint8_t>(surface.HeightField, surface.HeightField + 15),
              std::vector<uint8_t>(15, 55));
    EXPECT_EQ(Gdi.screenDcs, 0);
    EXPECT_TRUE(Gdi.memoryDcs.empty());
    EXPECT_TRUE(Gdi.bitmaps.empty());
    EXPECT_EQ(Gdi.locks, 1);
    EXPECT_EQ(Gdi.unlocks, 1);
    FreeSurfaceFields(surface);
}

}  // namespace
