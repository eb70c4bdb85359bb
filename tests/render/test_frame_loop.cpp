#include <cmath>
#include <cstring>
#include <numbers>

#include "reference_fill.h"
#include "render/render_fixture.h"

namespace {

const std::vector<uint8_t>& Texels(int k)
{
    return FakeRenderer.texels[k];
}

// The texels of spot k as a tick fills them where the spot stands now.
std::vector<uint8_t> ExpectedTexels(int k)
{
    const SaverRun& run = RendererTest::run;
    const SpotPlacement& place = FakeRenderer.placements[k];
    std::vector<uint8_t> texels(Texels(k).size(), LockFill);
    ReferenceFillSpotTexture(run.surface.NormalField, run.surface.DesktopWidth, place.row0,
                             place.col0, run.surface.FalloffTable, run.scene.SpotColors[k],
                             texels.data(), FakeRenderer.pitch);
    return texels;
}

// Something like a desktop: bright window frames and text-like stripes on a dark ground.
uint8_t DesktopPattern(int32_t x, int32_t y)
{
    if ((x / 37 + y / 23) % 5 == 0) return 127;
    return static_cast<uint8_t>((x * 7 + y * 3) % 40);
}

}  // namespace

using FrameLoopTest = RendererTest;

TEST_F(FrameLoopTest, TheWindowIsTheBlockOfPixelsTheQuadStandsFor)
{
    const struct {
        int32_t w, h;
    } screens[] = {{640, 480},   {800, 600},   {1024, 768},  {1280, 1024}, {1366, 768},
                   {1680, 1050}, {1920, 1080}, {2560, 1440}, {3840, 2160}, {768, 1024},
                   {1080, 1920}, {1024, 1024}, {257, 256}};
    for (const auto& s : screens) {
        float worldWidth, worldHeight, extent;
        FitWorldToScreen(s.w, s.h, worldWidth, worldHeight, extent);
        for (int32_t x = 0; x <= s.w - 256; ++x) {
            const SpotPlacement p = PlaceSpotAt(x, 0, s.w, s.h, worldWidth, worldHeight, extent);
            ASSERT_EQ(p.col0, x) << s.w << "x" << s.h;
        }
        for (int32_t y = 0; y <= s.h - 256; ++y) {
            const SpotPlacement p = PlaceSpotAt(0, y, s.w, s.h, worldWidth, worldHeight, extent);
            ASSERT_EQ(p.row0, s.h - 256 - y) << s.w << "x" << s.h;
        }
    }
}

TEST_F(FrameLoopTest, ThePathReachesEveryEdgeOfTheScreen)
{
    float ww, wh, extent;
    FitWorldToScreen(1024, 768, ww, wh, extent);
    const float pi = std::numbers::pi_v<float>;
    const LightSpot& s = run.scene.LightSpots[0];
    SpotPlacement p =
        PlaceLightSpot(-pi / 2 / s.freqX, s.freqX, s.freqY, 1024, 768, ww, wh, extent);
    EXPECT_EQ(p.col0, 0);
    EXPECT_EQ(p.posX, 0.0f);
    p = PlaceLightSpot(pi / 2 / s.freqX, s.freqX, s.freqY, 1024, 768, ww, wh, extent);
    EXPECT_EQ(p.col0, 1024 - 256);
    p = PlaceLightSpot(0.0f, s.freqX, s.freqY, 1024, 768, ww, wh, extent);  // cos = +1
    EXPECT_EQ(p.row0, 0);
    EXPECT_EQ(p.offsetY, 768 - 256);
    EXPECT_EQ(p.col0, 384);
    p = PlaceLightSpot(pi / s.freqY, s.freqX, s.freqY, 1024, 768, ww, wh, extent);  // cos = -1
    EXPECT_EQ(p.row0, 768 - 256);
    EXPECT_EQ(p.posY, 0.0f);
}

TEST_F(FrameLoopTest, HalfwayOffsetsGoToTheEvenPixel)
{
    // At phase 0 the sine is exactly 0, so the offset is (W - 256) / 2.
    for (const auto& [width, column] : {std::pair{457, 100}, std::pair{459, 102}}) {
        ResetAll();
        UseFlatDesktop(width, 300);
        StartSaver();
        run.scene.LightSpots[0].phase = 0.0f;
        OnFrameTick(run);  // the counter has not moved: a tick of no time
        EXPECT_EQ(run.scene.LightSpots[0].phase, 0.0f);
        EXPECT_EQ(FakeRenderer.placements[0].col0, column);
        EXPECT_FLOAT_EQ(run.scene.LightSpots[0].posX,
                        static_cast<float>(column) / width * run.scene.WorldWidth);
    }
}

TEST_F(FrameLoopTest, ATickMovesPlacesFillsAndPresentsEachActiveSpot)
{
    UseDesktop(1024, 768, DesktopPattern);
    run.Settings.NumLights = 2;
    run.Settings.ColorLight = ColorLightRandom;
    FakeRenderer.texelPitchPadding = 48;
    StartSaver();
    float phases[3];
    for (int k = 0; k < 3; ++k) phases[k] = run.scene.LightSpots[k].phase;
    FakeClock.counter += 28;  // 28 ms at the fake's 1000 counts a second

    OnFrameTick(run);

    EXPECT_FLOAT_EQ(run.Clock.frameTime, 0.028f * 0.75f);
    for (int k = 0; k < 3; ++k) {
        SCOPED_TRACE(k);
        const LightSpot& spot = run.scene.LightSpots[k];
        EXPECT_EQ(spot.phase, phases[k] + run.Clock.frameTime * spot.rate);
        const SpotPlacement place =
            PlaceLightSpot(spot.phase, spot.freqX, spot.freqY, 1024, 768, run.scene.WorldWidth,
                           run.scene.WorldHeight, run.scene.SpotExtent);
        EXPECT_EQ(std::memcmp(&FakeRenderer.placements[k], &place, sizeof place), 0);
        ASSERT_EQ(FakeRenderer.pitch, 1024 + 48);
        EXPECT_EQ(Texels(k), ExpectedTexels(k));
    }
    EXPECT_EQ(FakeRenderer.spotExtent, run.scene.SpotExtent);
    EXPECT_FALSE(FakeRenderer.placed[3]);
    // Over the spots, the clock, the date (bTime is on by default) and the caption.
    EXPECT_EQ(FakeRenderer.framesPresented, 1);
    EXPECT_EQ(FakeRenderer.lastOverlay.lineCount, 3u);
}

TEST_F(FrameLoopTest, TheOverlayTextsFollowTheTickJustTaken)
{
    UseFlatDesktop(300, 300);
    run.Settings.bFps = 1;
    StartSaver();
    FakeClock.localTime = LocalTime{2026, 9, 30, 9, 7, 2};
    FakeClock.counter += 600;  // the running time passes half a second in this very tick
    OnFrameTick(run);
    EXPECT_EQ(std::string(run.text.FpsText), "Fps " + std::to_string(std::lrint(run.Clock.fps)));
    EXPECT_STREQ(run.text.ClockText, "09 | 07");
    EXPECT_STREQ(run.text.DateText, "Sep 30, 2026");
    EXPECT_EQ(FakeRenderer.lastOverlay.lineCount, 4u);
}

TEST_F(FrameLoopTest, TheLightCountDecidesWhichSpotsAreFilled)
{
    const struct {
        uint32_t numLights;
        size_t spots;
    } cases[] = {{0, 1}, {1, 2}, {2, 3}, {3, 4}, {4, 5}, {5, 5}, {4000000000u, 5}};
    for (const auto& c : cases) {
        ResetAll();
        UseFlatDesktop(300, 300);
        run.Settings.NumLights = c.numLights;
        StartSaver();
        OnFrameTick(run);
        for (size_t k = 0; k < LightSpotCount; ++k) {
            EXPECT_EQ(FakeRenderer.texelLocks[k], k < c.spots ? 1 : 0) << c.numLights;
        }
    }
}

TEST_F(FrameLoopTest, LightSpeedScalesTheStepButNotTheElapsedTime)
{
    // Stored values beyond the slider's 0..100, as 32-bit words: the nearer end counts.
    const std::pair<uint32_t, float> cases[] = {
        {0u, 0.25f},          {50u, 0.75f},
        {100u, 1.25f},        {101u, 1.25f},
        {0x7FFFFFFFu, 1.25f}, {0xFFFFFFFFu /* -1 */, 0.25f},
        {0x80000000u, 0.25f}, {0xFFFFFF9Cu /* -100 */, 0.25f}};
    for (const auto& [speed, factor] : cases) {
        ResetAll();
        UseFlatDesktop(300, 300);
        run.Settings.LightSpeed = speed;
        StartSaver();
        const float phase = run.scene.LightSpots[0].phase;
        FakeClock.counter += 1000;  // one second
        OnFrameTick(run);
        EXPECT_FLOAT_EQ(run.Clock.frameTime, factor) << speed;
        EXPECT_EQ(run.Clock.elapsed, 1.0f);
        EXPECT_EQ(run.scene.LightSpots[0].phase, phase + run.Clock.frameTime * 0.6f);
        EXPECT_EQ(run.Settings.LightSpeed, speed) << "the stored value stays as it is";
    }
}

TEST_F(FrameLoopTest, ATickOfNoTimeStillDrawsAndStaysFinite)
{
    UseDesktop(640, 480, DesktopPattern);
    StartSaver();
    const float phase = run.scene.LightSpots[1].phase;
    OnFrameTick(run);
    OnFrameTick(run);
    EXPECT_EQ(run.Clock.frameTime, 0.0f);
    EXPECT_TRUE(std::isfinite(run.Clock.fps));
    EXPECT_EQ(run.scene.LightSpots[1].phase, phase);
    EXPECT_EQ(FakeRenderer.framesPresented, 2);
}

TEST_F(FrameLoopTest, WithoutADeviceATickDoesNothingAtAll)
{
    UseFlatDesktop(300, 300);
    StartSaver();
    SuspendRenderer(run, TestWindow);
    CallLog.clear();
    const int reads = FakeClock.readCount;
    const float phase = run.scene.LightSpots[0].phase;
    FakeClock.counter += 500;
    OnFrameTick(run);
    EXPECT_TRUE(CallLog.empty());
    EXPECT_EQ(FakeClock.readCount, reads);
    EXPECT_EQ(run.scene.LightSpots[0].phase, phase);
}

TEST_F(FrameLoopTest, ASpotWithoutItsTexelsSkipsItsFillOnly)
{
    for (const bool failCreation : {true, false}) {
        ResetAll();
        UseDesktop(300, 300, DesktopPattern);
        (failCreation ? FakeRenderer.failSpots : FakeRenderer.failLocks) = {1};
        StartSaver();
        OnFrameTick(run);
        EXPECT_EQ(Texels(0), ExpectedTexels(0)) << failCreation;
        EXPECT_EQ(Texels(2), ExpectedTexels(2)) << failCreation;
        EXPECT_EQ(FakeRenderer.texelLocks[1], 0);
        EXPECT_TRUE(FakeRenderer.placed[1]);
        EXPECT_EQ(FakeRenderer.framesPresented, 1);
    }
}

TEST_F(FrameLoopTest, ATextureWithRowsShorterThanASpotIsNotFilled)
{
    UseFlatDesktop(300, 300);
    FakeRenderer.texelPitchPadding = -4;  // 1020 bytes a row: rows would overlap
    StartSaver();
    OnFrameTick(run);
    EXPECT_EQ(FakeRenderer.texelLocks[0], 1);
    EXPECT_EQ(Texels(0), std::vector<uint8_t>(Texels(0).size(), LockFill));
}

TEST_F(FrameLoopTest, ScreensSmallerThanASpotShowTheScreenAndNothingBeyond)
{
    for (const auto& [width, height] :
         {std::pair{200, 150}, std::pair{256, 100}, std::pair{100, 400}, std::pair{1, 1}}) {
        ResetAll();
        UseDesktop(width, height, DesktopPattern);
        run.Settings.NumLights = 4;
        StartSaver();
        for (int tick = 0; tick < 20; ++tick) {
            FakeClock.counter += 700;
            OnFrameTick(run);
            const SpotPlacement& place = FakeRenderer.placements[tick % 5];
            const std::vector<uint8_t>& texels = Texels(tick % 5);
            const int32_t pitch = FakeRenderer.pitch;
            for (int32_t t = 0; t < 256; ++t) {
                for (int32_t c = 0; c < 256; ++c) {
                    const bool onScreen = place.row0 + t >= 0 && place.row0 + t < height &&
                                          place.col0 + c >= 0 && place.col0 + c < width;
                    uint32_t texel;
                    std::memcpy(&texel, texels.data() + t * pitch + 4 * c, 4);
                    if (!onScreen) {
                        ASSERT_EQ(texel, 0u) << width << "x" << height;
                    }
                }
            }
        }
    }
}

TEST_F(FrameLoopTest, WithoutASurfaceTheSpotsAreTransparent)
{
    // A failed capture leaves no screen; a failed allocation leaves no field.
    for (const int failAfter : {-1, 0, 1}) {
        ResetAll();
        if (failAfter >= 0) UseDesktop(640, 480, DesktopPattern);
        FakeHeap.failAfter = failAfter;
        StartSaver();
        OnFrameTick(run);
        EXPECT_EQ(Texels(0), std::vector<uint8_t>(Texels(0).size(), 0)) << failAfter;
        EXPECT_EQ(FakeRenderer.framesPresented, 1);
        FakeHeap.failAfter = -1;
    }
}
