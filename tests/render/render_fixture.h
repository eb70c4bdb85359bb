// A fresh renderer for every test: the process-wide records back at their start, the fakes
// reset, the log empty.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "call_log.h"
#include "fake_clock.h"
#include "fake_heap.h"
#include "fake_renderer.h"
#include "fake_store.h"
#include "fake_window.h"
#include "render/device_lifecycle.h"
#include "render/frame_clock.h"
#include "render/frame_loop.h"
#include "render/light_spots.h"
#include "render/scene.h"
#include "render/text_overlay.h"
#include "settings/settings.h"
#include "support/heap.h"
#include "support/ranmar.h"
#include "surface/falloff_table.h"
#include "surface/height_field.h"
#include "surface/normal_field.h"

constexpr NativeWindow TestWindow = 77;
constexpr uint32_t TestSeedIJ = 1802;
constexpr uint32_t TestSeedKL = 9373;

class RendererTest : public ::testing::Test {
protected:
    void SetUp() override { ResetAll(); }
    void TearDown() override
    {
        ResetAll();
        CallLog.clear();
    }

    // Also between the cases of a table.
    static void ResetAll()
    {
        EXPECT_EQ(FakeRenderer.misuses, 0) << "a call on no renderer, or a lock out of turn";
        SaverRenderer = nullptr;  // the fake's own, forgotten with it
        FpsText[0] = ClockText[0] = DateText[0] = '\0';
        LastFpsSecond = 0;
        const LightSpot fresh[LightSpotCount] = {
            {0.0f, 0.6f, 0.91f, 0.63f, 0.0f, 0.0f}, {0.0f, 0.7f, 0.61f, 1.12f, 0.0f, 0.0f},
            {0.0f, 0.6f, 1.03f, 0.87f, 0.0f, 0.0f}, {0.0f, 0.4f, 0.75f, 2.84f, 0.0f, 0.0f},
            {0.0f, 0.8f, 0.98f, 1.84f, 0.0f, 0.0f},
        };
        for (int k = 0; k < LightSpotCount; ++k) LightSpots[k] = fresh[k];
        FreeAllocation(HeightField);
        FreeAllocation(NormalField);
        FreeAllocation(FalloffTable);
        HeightField = nullptr;
        NormalField = nullptr;
        FalloffTable = nullptr;
        DesktopWidth = DesktopHeight = 0;
        DesktopPixelCount = 0;
        Settings = SaverSettings{};
        Clock = FrameClock{};
        WorldWidth = 4.0f;
        WorldHeight = 3.0f;
        SpotExtent = 0.0f;
        for (uint32_t& color : SpotColors) color = 0;
        ResetFakeRenderer();
        FakeWindow = FakeWindowControl{};
        FakeClock = FakeClockControl{};
        FakeHeap.failAfter = -1;
        ResetFakeStore();
        SeedRanmar(TestSeedIJ, TestSeedKL);
        CallLog.clear();
    }

    // A desktop of width x height whose heights come from height(x, yFromTop).
    template <typename HeightOf>
    static void UseDesktop(int32_t width, int32_t height, HeightOf heightOf)
    {
        DesktopWidth = width;
        DesktopHeight = height;
        DesktopPixelCount = static_cast<uint32_t>(width) * static_cast<uint32_t>(height);
        HeightField = static_cast<uint8_t*>(AllocateZeroed(DesktopPixelCount));
        for (int32_t y = 0; y < height; ++y) {
            for (int32_t x = 0; x < width; ++x) {
                HeightField[(height - 1 - y) * width + x] = heightOf(x, y);
            }
        }
    }
    static void UseFlatDesktop(int32_t width, int32_t height)
    {
        UseDesktop(width, height, [](int32_t, int32_t) { return uint8_t{0}; });
    }

    // The saver as the window shows it: device made, scene set up, log emptied.
    static void StartSaver(int32_t previewFlag = 0)
    {
        CreateRenderDevice(TestWindow, previewFlag);
        SetupScene();
        CallLog.clear();
    }

    // CallLog with each round trip to the settings store as one entry, "LoadSettings" or
    // "SaveSettings".
    static std::vector<std::string> CondensedLog()
    {
        std::vector<std::string> condensed;
        for (const std::string& entry : CallLog) {
            if (entry.rfind("OpenStoreKey", 0) == 0) {
                const bool writes =
                    entry.size() >= 7 && entry.compare(entry.size() - 7, 7, "0x20006") == 0;
                condensed.push_back(writes ? "SaveSettings" : "LoadSettings");
            } else if (entry.rfind("QueryStoreValue", 0) != 0 &&
                       entry.rfind("SetStoreValue", 0) != 0 && entry != "CloseStoreKey") {
                condensed.push_back(entry);
            }
        }
        return condensed;
    }
};
