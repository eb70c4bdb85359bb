// A fresh run for every test: the session and its run back at their start, the fakes reset,
// the log empty.
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
#include "host/saver_session.h"
#include "render/device_lifecycle.h"
#include "render/frame_clock.h"
#include "render/frame_loop.h"
#include "render/light_spots.h"
#include "render/saver_run.h"
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
public:
    // The run under test, inside the session that owns it in the program.
    static inline SaverSession session;
    static inline SaverRun& run = session.run;

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
        // The fake's renderer is forgotten with it; the fields go back to the heap first.
        FreeSurfaceFields(run.surface);
        session = SaverSession{};
        ResetFakeRenderer();
        FakeWindow = FakeWindowControl{};
        FakeClock = FakeClockControl{};
        FakeHeap.failAfter = -1;
        ResetFakeStore();
        SeedRanmar(run.RandomGenerator, TestSeedIJ, TestSeedKL);
        CallLog.clear();
    }

    // A desktop of width x height whose heights come from height(x, yFromTop).
    template <typename HeightOf>
    static void UseDesktop(int32_t width, int32_t height, HeightOf heightOf)
    {
        run.surface.DesktopWidth = width;
        run.surface.DesktopHeight = height;
        run.surface.DesktopPixelCount =
            static_cast<uint32_t>(width) * static_cast<uint32_t>(height);
        run.surface.HeightField =
            static_cast<uint8_t*>(AllocateZeroed(run.surface.DesktopPixelCount));
        for (int32_t y = 0; y < height; ++y) {
            for (int32_t x = 0; x < width; ++x) {
                run.surface.HeightField[(height - 1 - y) * width + x] = heightOf(x, y);
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
        CreateRenderDevice(run, TestWindow, previewFlag);
        SetupScene(run);
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
