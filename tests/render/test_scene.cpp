#include <cmath>
#include <map>

#include "render/render_fixture.h"

using SceneTest = RendererTest;

TEST_F(SceneTest, EachActiveSpotGetsItsResourcesAndARandomPhase)
{
    const struct {
        uint32_t numLights;
        int spots;
    } cases[] = {{0, 1}, {2, 3}, {4, 5}, {9, 5}};
    for (const auto& c : cases) {
        ResetAll();
        UseFlatDesktop(300, 300);
        run.Settings.NumLights = c.numLights;
        CreateRenderDevice(run, TestWindow, 0);
        Ranmar expectedRandom = run.RandomGenerator;
        SetupScene(run);
        EXPECT_TRUE(FakeRenderer.fontLoaded);
        for (int k = 0; k < LightSpotCount; ++k) {
            const LightSpot& spot = run.scene.LightSpots[k];
            EXPECT_EQ(FakeRenderer.spotResources[k], k < c.spots) << c.numLights << " " << k;
            if (k < c.spots) {
                EXPECT_EQ(spot.phase, NextUniform(expectedRandom) * 127.0f);
                EXPECT_LT(spot.phase, 127.0f);
            } else {
                EXPECT_EQ(spot.phase, 0.0f);
            }
        }
    }
}

TEST_F(SceneTest, TheWorldFitsTheScreensAspect)
{
    const struct {
        int32_t w, h;
        float worldWidth, worldHeight, extent;
    } cases[] = {{1024, 768, 4.0f, 3.0f, 1.0f},
                 {1280, 1024, 3.75f, 3.0f, 0.75f},
                 {800, 600, 4.0f, 3.0f, 1.28f},
                 {1024, 1024, 3.0f, 3.0f, 0.75f},
                 {768, 1024, 4.0f, 5.3333335f, 1.3333334f},
                 {1680, 1050, 4.8f, 3.0f, 256.0f / 350.0f}};
    for (const auto& c : cases) {
        float worldWidth = 0, worldHeight = 0, extent = 0;
        FitWorldToScreen(c.w, c.h, worldWidth, worldHeight, extent);
        EXPECT_FLOAT_EQ(worldWidth, c.worldWidth) << c.w << "x" << c.h;
        EXPECT_FLOAT_EQ(worldHeight, c.worldHeight) << c.w << "x" << c.h;
        EXPECT_FLOAT_EQ(extent, c.extent) << c.w << "x" << c.h;
    }
    float worldWidth = 0, worldHeight = 0, extent = 1;
    FitWorldToScreen(0, 0, worldWidth, worldHeight, extent);
    EXPECT_EQ(worldWidth, 4.0f);
    EXPECT_EQ(worldHeight, 3.0f);
    EXPECT_EQ(extent, 0.0f);
}

TEST_F(SceneTest, PreviewTakesItsWorldFromTheDesktopNotItsWindow)
{
    UseFlatDesktop(768, 1024);
    FakeWindow.clientWidth = 152;
    FakeWindow.clientHeight = 112;
    StartSaver(1);
    EXPECT_FLOAT_EQ(run.scene.WorldWidth, 4.0f);
    EXPECT_FLOAT_EQ(run.scene.WorldHeight, 5.3333335f);
    EXPECT_FLOAT_EQ(run.scene.SpotExtent, 1.3333334f);
}

TEST_F(SceneTest, FixedColoursGoToAllFiveSpotsAndUnknownOnesBecomeCyan)
{
    for (uint32_t colorLight = 0; colorLight < 7; ++colorLight) {
        uint32_t colors[LightSpotCount] = {};
        PickSpotColors(colorLight, run.RandomGenerator, colors);
        for (const uint32_t color : colors) EXPECT_EQ(color, LightColorTable[colorLight]);
    }
    for (const uint32_t colorLight : {8u, 255u, 0xFFFFFFFFu}) {
        uint32_t colors[LightSpotCount] = {};
        PickSpotColors(colorLight, run.RandomGenerator, colors);
        for (const uint32_t color : colors) EXPECT_EQ(color, 0xFF00FFFFu) << colorLight;
    }
}

TEST_F(SceneTest, RandomColoursFavourNeitherEndOfTheTable)
{
    // round(r * 7) makes 0 and 7 half as likely as 1 to 6; 7 is cyan again.
    std::map<uint32_t, int> seen;
    const int draws = 5 * 20000;
    for (int i = 0; i < draws / 5; ++i) {
        uint32_t colors[LightSpotCount];
        PickSpotColors(ColorLightRandom, run.RandomGenerator, colors);
        for (const uint32_t color : colors) ++seen[color];
    }
    const auto share = [&](uint32_t color) { return static_cast<double>(seen[color]) / draws; };
    EXPECT_EQ(seen.size(), 7u);
    EXPECT_NEAR(share(0xFFFFFFFFu), 1.0 / 14, 0.005);
    EXPECT_NEAR(share(0xFF00FFFFu), 3.0 / 14, 0.005);
    for (const uint32_t color : {0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu, 0xFFFFFF00u, 0xFFFF00FFu}) {
        EXPECT_NEAR(share(color), 1.0 / 7, 0.005) << std::hex << color;
    }
}

TEST_F(SceneTest, RandomColoursAreDrawnAfterThePhases)
{
    UseFlatDesktop(300, 300);
    run.Settings.NumLights = 1;
    run.Settings.ColorLight = ColorLightRandom;
    Ranmar expectedRandom = run.RandomGenerator;
    StartSaver();
    EXPECT_EQ(run.scene.LightSpots[0].phase, NextUniform(expectedRandom) * 127.0f);
    EXPECT_EQ(run.scene.LightSpots[1].phase, NextUniform(expectedRandom) * 127.0f);
    for (const uint32_t color : run.scene.SpotColors) {
        const double r = NextUniform(expectedRandom);
        EXPECT_EQ(color, LightColorTable[std::lrint(r * 7.0)]);
    }
}

TEST_F(SceneTest, EverySetupRestartsTheClockAndRebuildsTheFields)
{
    UseDesktop(640, 480,
               [](int32_t x, int32_t) { return static_cast<uint8_t>(x < 100 ? 0 : 100); });
    FakeClock.counter = 12345;
    StartSaver();
    EXPECT_EQ(run.Clock.lastCount, 12345);
    EXPECT_EQ(run.Clock.elapsed, 0.0f);
    ASSERT_NE(run.surface.NormalField, nullptr);
    ASSERT_NE(run.surface.FalloffTable, nullptr);
    // A flat area faces the viewer; the last column is never written.
    EXPECT_EQ(run.surface.NormalField[10 * 640 + 50].z, -1.0f);
    EXPECT_EQ(run.surface.NormalField[10 * 640 + 639].z, 0.0f);
    EXPECT_NEAR(run.surface.FalloffTable[128 * 256 + 128].z, -0.999924f, 1e-6f);

    FakeClock.counter = 20000;
    run.Clock.elapsed = 5.0f;
    ReleaseSceneResources(run);
    CallLog.clear();
    SetupScene(run);
    EXPECT_EQ(run.Clock.lastCount, 20000);
    EXPECT_EQ(run.Clock.elapsed, 0.0f);
    // The font's pixel buffer, then the old fields.
    EXPECT_EQ(CallsStartingWith("FreeAllocation"),
              (std::vector<std::string>{"FreeAllocation 524288", "FreeAllocation 3686400",
                                        "FreeAllocation 786432"}));
    EXPECT_EQ(run.surface.NormalField[10 * 640 + 50].z, -1.0f);
}
