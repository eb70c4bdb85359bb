#include <cmath>
#include <cstring>
#include <numbers>

#include "reference_fill.h"
#include "render_fixture.h"

namespace {

std::vector<ScreenQuad> QuadOf(const LightSpot& spot)
{
    uint32_t length = 0;
    const uint8_t* bytes = VertexBufferMemory(spot.vertexBuffer, length);
    std::vector<ScreenQuad> quad(6);
    if (bytes != nullptr && length == ScreenQuadBytes) std::memcpy(quad.data(), bytes, length);
    return quad;
}

std::vector<uint8_t> TextureBytes(const LightSpot& spot, int32_t& pitch)
{
    const uint8_t* bytes = TextureMemory(spot.texture, pitch);
    return std::vector<uint8_t>(bytes, bytes + static_cast<size_t>(pitch) * 256);
}

// The calls of the spots alone, without the overlay's: its lines use their own buffer and
// draw more than two triangles.
std::vector<std::string> SpotCalls(const std::string& prefix)
{
    std::vector<std::string> calls;
    const std::string textBuffer = HandleName(TextVertexBuffer);
    for (const std::string& entry : CallsStartingWith(prefix)) {
        const bool overlay = entry.find(textBuffer + " ") != std::string::npos ||
                             entry.ends_with(" " + textBuffer) ||
                             (entry.rfind("DrawPrimitive", 0) == 0 && !entry.ends_with(" 0 2"));
        if (!overlay) calls.push_back(entry);
    }
    return calls;
}

// The calls of one overlay line of `glyphs` characters into buffer `buffer`.
std::vector<std::string> OverlayLineCalls(const std::string& buffer, size_t glyphs)
{
    return {"SetRenderState device1 22 1",
            "SetStreamSource device1 0 " + buffer + " 24",
            "SetVertexShader device1 0x104",
            "SetPixelShader device1 0",
            "GetViewport device1",
            "SetRenderState device1 27 1",
            "SetRenderState device1 19 5",
            "SetRenderState device1 20 6",
            "Lock " + buffer + " 0 9216 0x0",
            "Unlock " + buffer,
            "DrawPrimitive device1 4 0 " + std::to_string(2 * glyphs)};
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
    const LightSpot& s = LightSpots[0];
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
        LightSpots[0].phase = 0.0f;
        OnFrameTick();  // the counter has not moved: a tick of no time
        EXPECT_EQ(LightSpots[0].phase, 0.0f);
        EXPECT_FLOAT_EQ(LightSpots[0].posX, static_cast<float>(column) / width * WorldWidth);
        EXPECT_EQ(QuadOf(LightSpots[0])[0].x, LightSpots[0].posX);
    }
}

TEST_F(FrameLoopTest, ATickMovesUploadsFillsAndDrawsEachActiveSpot)
{
    UseDesktop(1024, 768, DesktopPattern);
    Settings.NumLights = 2;
    Settings.ColorLight = ColorLightRandom;
    RecordingDevice.texturePitchPadding = 48;
    StartSaver();
    float phases[3];
    for (int k = 0; k < 3; ++k) phases[k] = LightSpots[k].phase;
    FakeClock.counter += 28;  // 28 ms at the fake's 1000 counts a second

    OnFrameTick();

    const float frameTime = 0.028f * 0.75f;
    EXPECT_FLOAT_EQ(Clock.frameTime, frameTime);
    std::vector<std::string> expected = {
        "Lock buffer1 0 0 0x0", "Unlock buffer1", "LockRect texture1 0 0x2000",
        "UnlockRect texture1 0", "Lock buffer2 0 0 0x0", "Unlock buffer2",
        "LockRect texture2 0 0x2000", "UnlockRect texture2 0", "Lock buffer3 0 0 0x0",
        "Unlock buffer3", "LockRect texture3 0 0x2000", "UnlockRect texture3 0",
        "TestCooperativeLevel device1", "Clear device1 0 0x1 0x00000000 0 0", "BeginScene device1",
        "SetVertexShader device1 0x102", "SetStreamSource device1 0 buffer1 20",
        "SetTexture device1 0 texture1", "DrawPrimitive device1 4 0 2",
        "SetStreamSource device1 0 buffer2 20", "SetTexture device1 0 texture2",
        "DrawPrimitive device1 4 0 2", "SetStreamSource device1 0 buffer3 20",
        "SetTexture device1 0 texture3", "DrawPrimitive device1 4 0 2",
        // Over the spots, the overlay: the clock and the date (bTime is on by default), and
        // the caption, from the local time 10:05:07 on 6 December 2026.
        "SetTexture device1 0 texture4"};
    for (const size_t glyphs :
         {std::strlen("10 : 05"), std::strlen("Dec 6, 2026"), std::strlen(CreditCaption)}) {
        const std::vector<std::string> line = OverlayLineCalls("buffer4", glyphs);
        expected.insert(expected.end(), line.begin(), line.end());
    }
    expected.push_back("EndScene device1");
    expected.push_back("Present device1");
    EXPECT_EQ(CallLog, expected);

    for (int k = 0; k < 3; ++k) {
        SCOPED_TRACE(k);
        const LightSpot& spot = LightSpots[k];
        EXPECT_EQ(spot.phase, phases[k] + Clock.frameTime * spot.rate);
        const SpotPlacement place = PlaceLightSpot(spot.phase, spot.freqX, spot.freqY, 1024, 768,
                                                   WorldWidth, WorldHeight, SpotExtent);
        EXPECT_EQ(spot.posX, place.posX);
        EXPECT_EQ(spot.posY, place.posY);

        const float l = place.posX, r = place.posX + SpotExtent;
        const float b = place.posY, t = place.posY + SpotExtent;
        const std::vector<ScreenQuad> quad = QuadOf(spot);
        const ScreenQuad corners[6] = {{l, b, 0, 0, 1}, {l, t, 0, 0, 0}, {r, t, 0, 1, 0},
                                       {l, b, 0, 0, 1}, {r, t, 0, 1, 0}, {r, b, 0, 1, 1}};
        EXPECT_EQ(std::memcmp(quad.data(), corners, sizeof corners), 0);

        int32_t pitch = 0;
        const std::vector<uint8_t> texels = TextureBytes(spot, pitch);
        ASSERT_EQ(pitch, 1024 + 48);
        std::vector<uint8_t> literal(texels.size(), RecordingDevice.lockFill);
        ReferenceFillSpotTexture(NormalField, 1024, place.row0, place.col0, FalloffTable,
                                 SpotColors[k], literal.data(), pitch);
        EXPECT_EQ(texels, literal);
    }
    // System, device, three spot buffers and textures, the font texture and the text buffer.
    EXPECT_EQ(RecordingDevice.liveObjects, 10);
}

TEST_F(FrameLoopTest, TheOverlayTextsFollowTheTickJustTaken)
{
    UseFlatDesktop(300, 300);
    Settings.bFps = 1;
    StartSaver();
    FakeClock.localTime = LocalTime{2026, 9, 30, 9, 7, 2};
    FakeClock.counter += 600;  // the running time passes half a second in this very tick
    OnFrameTick();
    EXPECT_EQ(std::string(FpsText), "Fps " + std::to_string(std::lrint(Clock.fps)));
    EXPECT_STREQ(ClockText, "09 | 07");
    EXPECT_STREQ(DateText, "Sep 30, 2026");
    EXPECT_EQ(CallsStartingWith("Lock " + HandleName(TextVertexBuffer)).size(), 4u);
}

TEST_F(FrameLoopTest, TheLightCountDecidesWhichSpotsMoveAndDraw)
{
    const struct {
        uint32_t numLights;
        size_t spots;
    } cases[] = {{0, 1}, {1, 2}, {2, 3}, {3, 4}, {4, 5}, {5, 5}, {4000000000u, 5}};
    for (const auto& c : cases) {
        ResetAll();
        UseFlatDesktop(300, 300);
        Settings.NumLights = c.numLights;
        StartSaver();
        OnFrameTick();
        EXPECT_EQ(CallsStartingWith("LockRect").size(), c.spots) << c.numLights;
        EXPECT_EQ(SpotCalls("DrawPrimitive").size(), c.spots) << c.numLights;
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
        Settings.LightSpeed = speed;
        StartSaver();
        const float phase = LightSpots[0].phase;
        FakeClock.counter += 1000;  // one second
        OnFrameTick();
        EXPECT_FLOAT_EQ(Clock.frameTime, factor) << speed;
        EXPECT_EQ(Clock.elapsed, 1.0f);
        EXPECT_EQ(LightSpots[0].phase, phase + Clock.frameTime * 0.6f);
        EXPECT_EQ(Settings.LightSpeed, speed) << "the stored value stays as it is";
    }
}

TEST_F(FrameLoopTest, ATickOfNoTimeStillDrawsAndStaysFinite)
{
    UseDesktop(640, 480, DesktopPattern);
    StartSaver();
    const float phase = LightSpots[1].phase;
    OnFrameTick();
    OnFrameTick();
    EXPECT_EQ(Clock.frameTime, 0.0f);
    EXPECT_TRUE(std::isfinite(Clock.fps));
    EXPECT_EQ(LightSpots[1].phase, phase);
    EXPECT_EQ(CallsStartingWith("Present").size(), 2u);
}

TEST_F(FrameLoopTest, WithoutADeviceATickDoesNothingAtAll)
{
    UseFlatDesktop(300, 300);
    StartSaver();
    SuspendRenderer(TestWindow);
    CallLog.clear();
    const int reads = FakeClock.readCount;
    const float phase = LightSpots[0].phase;
    FakeClock.counter += 500;
    OnFrameTick();
    EXPECT_TRUE(CallLog.empty());
    EXPECT_EQ(FakeClock.readCount, reads);
    EXPECT_EQ(LightSpots[0].phase, phase);
}

TEST_F(FrameLoopTest, ALostDeviceStillMovesTheSpotsButDrawsNothing)
{
    UseFlatDesktop(300, 300);
    StartSaver();
    RecordingDevice.cooperativeLevel = RenderErrorDeviceLost;
    OnFrameTick();
    EXPECT_EQ(CallsStartingWith("LockRect").size(), 3u);
    EXPECT_EQ(CallLog.back(), "TestCooperativeLevel device1");

    // Not-reset is not lost: the frame is drawn.
    RecordingDevice.cooperativeLevel = RenderErrorDeviceNotReset;
    CallLog.clear();
    OnFrameTick();
    EXPECT_EQ(CallLog.back(), "Present device1");
}

TEST_F(FrameLoopTest, ASpotWithoutItsResourcesIsSkippedNotWrittenThrough)
{
    UseFlatDesktop(300, 300);
    Settings.NumLights = 3;
    RecordingDevice.failCreateVertexBuffer = {1};  // spot 1's quad
    RecordingDevice.failCreateTexture = {2};       // spot 2's texture
    StartSaver();
    ASSERT_EQ(LightSpots[1].vertexBuffer, nullptr);
    ASSERT_EQ(LightSpots[2].texture, nullptr);
    OnFrameTick();
    EXPECT_EQ(SpotCalls("Lock ").size(), 3u);
    EXPECT_EQ(CallsStartingWith("LockRect").size(), 3u);
    const std::vector<std::string> drawn = SpotCalls("SetStreamSource");
    EXPECT_EQ(drawn, (std::vector<std::string>{"SetStreamSource device1 0 buffer1 20",
                                               "SetStreamSource device1 0 buffer3 20"}));
    EXPECT_EQ(SpotCalls("DrawPrimitive").size(), 2u);
    EXPECT_TRUE(Misuses().empty());
}

TEST_F(FrameLoopTest, AFailedLockSkipsThatUploadOnly)
{
    UseFlatDesktop(300, 300);
    StartSaver();
    // Counted from the reset: scene setup locked the font texture once.
    RecordingDevice.failLock = {RecordingDevice.lockCalls};              // spot 0's quad
    RecordingDevice.failLockRect = {RecordingDevice.lockRectCalls + 1};  // spot 1's texture
    OnFrameTick();
    EXPECT_EQ(SpotCalls("Unlock ").size(), 2u);
    EXPECT_EQ(CallsStartingWith("UnlockRect").size(), 2u);
    EXPECT_EQ(QuadOf(LightSpots[0])[2].x, 0.0f);  // never written
    EXPECT_NE(QuadOf(LightSpots[1])[2].x, 0.0f);
    EXPECT_EQ(CallLog.back(), "Present device1");
    EXPECT_TRUE(Misuses().empty());
}

TEST_F(FrameLoopTest, ATextureWithRowsShorterThanASpotIsNotFilled)
{
    UseFlatDesktop(300, 300);
    RecordingDevice.texturePitchPadding = -4;  // 1020 bytes a row: rows would overlap
    StartSaver();
    OnFrameTick();
    int32_t pitch = 0;
    const std::vector<uint8_t> texels = TextureBytes(LightSpots[0], pitch);
    ASSERT_EQ(pitch, 1020);
    EXPECT_EQ(texels, std::vector<uint8_t>(texels.size(), RecordingDevice.lockFill));
    EXPECT_EQ(CallsStartingWith("UnlockRect").size(), 3u);
}

TEST_F(FrameLoopTest, ScreensSmallerThanASpotShowTheScreenAndNothingBeyond)
{
    for (const auto& [width, height] :
         {std::pair{200, 150}, std::pair{256, 100}, std::pair{100, 400}, std::pair{1, 1}}) {
        ResetAll();
        UseDesktop(width, height, DesktopPattern);
        Settings.NumLights = 4;
        StartSaver();
        for (int tick = 0; tick < 20; ++tick) {
            FakeClock.counter += 700;
            OnFrameTick();
            const LightSpot& spot = LightSpots[tick % 5];
            const SpotPlacement place = PlaceLightSpot(spot.phase, spot.freqX, spot.freqY, width,
                                                       height, WorldWidth, WorldHeight, SpotExtent);
            int32_t pitch = 0;
            const std::vector<uint8_t> texels = TextureBytes(spot, pitch);
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
        EXPECT_TRUE(Misuses().empty());
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
        OnFrameTick();
        int32_t pitch = 0;
        const std::vector<uint8_t> texels = TextureBytes(LightSpots[0], pitch);
        EXPECT_EQ(texels, std::vector<uint8_t>(texels.size(), 0)) << failAfter;
        EXPECT_EQ(CallLog.back(), "Present device1");
        FakeHeap.failAfter = -1;
    }
}
