#include <climits>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "image/embedded_images.h"
#include "image/image_decode.h"
#include "image/stb/pixel_bitmap.h"
#include "image/texture_upload.h"
#include "render/glyph_table.h"
#include "render/text_overlay.h"
#include "render_fixture.h"

namespace {

class OverlayTest : public RendererTest {
protected:
    // The saver right after scene setup, with its font texture and text vertex buffer.
    void StartOverlay()
    {
        UseFlatDesktop(300, 300);
        Settings.NumLights = 0;
        StartSaver();
        ASSERT_NE(FontTexture, nullptr);
        ASSERT_NE(TextVertexBuffer, nullptr);
        buffer = HandleName(TextVertexBuffer);
    }

    static std::vector<TextVertex> Vertices()
    {
        uint32_t length = 0;
        const uint8_t* bytes = VertexBufferMemory(TextVertexBuffer, length);
        std::vector<TextVertex> vertices(length / sizeof(TextVertex));
        if (bytes != nullptr) std::memcpy(vertices.data(), bytes, length);
        return vertices;
    }

    static void SetLocalTime(int32_t year, int32_t month, int32_t day, int32_t hour, int32_t minute,
                             int32_t second)
    {
        FakeClock.localTime = LocalTime{year, month, day, hour, minute, second};
    }

    std::string buffer;
};

float Unit(uint32_t viewportHeight)
{
    return static_cast<float>(viewportHeight) / 29.0f;
}

uint32_t TexelWidth(char c)
{
    const GlyphEntry& e = LookUpGlyph(static_cast<uint8_t>(c));
    return e.right - e.left;
}

// The pen's end after a line: the right edge of its last glyph.
float LineEnd()
{
    const std::vector<std::string> draws = CallsStartingWith("DrawPrimitive");
    if (draws.empty()) return 0.0f;
    const uint32_t triangles = std::stoul(draws.back().substr(draws.back().rfind(' ') + 1));
    uint32_t length = 0;
    const uint8_t* bytes = VertexBufferMemory(TextVertexBuffer, length);
    TextVertex last{};
    std::memcpy(&last, bytes + (triangles * 3 - 4) * sizeof(TextVertex), sizeof last);
    return last.x;  // vertex 2 of the last glyph: x1
}

}  // namespace

TEST_F(OverlayTest, TheFontTextureTakesAlphaFromTheGreyAndColourFromTheTint)
{
    StartOverlay();
    ImageBitmap* sheet = LoadImageResource(0, FontSheetImageNumber, 0);
    ASSERT_NE(sheet, nullptr);

    // Any tint works the same way; this one has a different nibble in every channel.
    for (const uint32_t tint : {FontTint, 0x0012EF80u}) {
        SCOPED_TRACE(tint);
        if (tint != FontTint) {
            ASSERT_EQ(CreateFontTexture(tint, FontTexture), UploadOk);
        }
        int32_t pitch = 0;
        const uint8_t* texels = TextureMemory(FontTexture, pitch);
        ASSERT_NE(texels, nullptr);
        ASSERT_EQ(pitch, 512);
        int lit = 0, wrong = 0;
        for (uint32_t t = 0; t < 256; ++t) {
            for (uint32_t c = 0; c < 256; ++c) {
                uint32_t p = 0;  // picture row t from the top: memory row 255 - t
                std::memcpy(&p, sheet->pixels + (255 - t) * sheet->rowBytes + 4 * c, 4);
                const uint32_t expected = p == 0 ? 0
                                                 : (p & 0xF0) << 8 | (tint >> 12 & 0xF00) |
                                                       (tint >> 8 & 0xF0) | (tint >> 4 & 0xF);
                const uint8_t* at = texels + t * pitch + 2 * c;
                const uint32_t texel = at[0] | at[1] << 8;
                wrong += texel != expected;
                lit += p != 0;
            }
        }
        EXPECT_EQ(wrong, 0);
        EXPECT_GT(lit, 5000);
    }
    DeleteBitmap(sheet);
}

TEST_F(OverlayTest, ASecondFontTextureReplacesTheFirstAndKeepsTheBuffer)
{
    StartOverlay();
    const std::string first = HandleName(FontTexture);
    ASSERT_EQ(CreateFontTexture(FontTint, FontTexture), UploadOk);
    EXPECT_EQ(CallLog.front(), "Release " + first);
    EXPECT_TRUE(CallsStartingWith("CreateVertexBuffer").empty());
    EXPECT_EQ(HandleName(TextVertexBuffer), buffer);
    EXPECT_EQ(FakeHeap.liveBlocks, 3);  // the pixel buffer went back to the heap
}

TEST_F(OverlayTest, WithoutItsTextureOrItsBufferTheOverlayDrawsNothing)
{
    for (const bool failTexture : {true, false}) {
        ResetAll();
        UseFlatDesktop(300, 300);
        Settings.NumLights = 0;
        Settings.bFps = 1;
        if (failTexture) {
            RecordingDevice.failCreateTexture = {1};  // after spot 0's
        } else {
            RecordingDevice.failCreateVertexBuffer = {1};
        }
        StartSaver();
        EXPECT_EQ(FontTexture == nullptr, failTexture);
        EXPECT_EQ(TextVertexBuffer == nullptr, !failTexture);
        OnFrameTick();
        EXPECT_EQ(CallsStartingWith("DrawPrimitive").size(), 1u) << "the spot only";
        EXPECT_EQ(CallsStartingWith("SetTexture").size(), 1u);
        EXPECT_EQ(CallLog.back(), "Present device1");
        if (!failTexture) {
            // A line asked for directly has nothing to write into either.
            CallLog.clear();
            DrawTextLine(0.0f, 0.0f, 0.0f, 1.0f, 1.0f, "text");
            EXPECT_TRUE(CallLog.empty());
        }
    }
}

TEST_F(OverlayTest, ALineIsTwoTrianglesPerGlyphInAFixedVertexOrder)
{
    StartOverlay();
    RecordingDevice.viewport = Viewport{0, 0, 1024, 768, 0.0f, 1.0f};
    DrawTextLine(0.5f, 0.25f, 0.125f, 0.045f, 0.02f, "A:");
    EXPECT_EQ(CallLog,
              (std::vector<std::string>{"SetRenderState device1 22 1",
                                        "SetStreamSource device1 0 " + buffer + " 24",
                                        "SetVertexShader device1 0x104", "SetPixelShader device1 0",
                                        "GetViewport device1", "SetRenderState device1 27 1",
                                        "SetRenderState device1 19 5",
                                        "SetRenderState device1 20 6",
                                        "Lock " + buffer + " 0 9216 0x0", "Unlock " + buffer,
                                        "DrawPrimitive device1 4 0 4"}));

    const float s = 768.0f / 29.0f;
    const float y0 = 0.25f * 768.0f, y1 = y0 + 0.02f * s * 39.0f;
    const float xA0 = 0.5f * 1024.0f, xA1 = xA0 + 0.045f * s * 17.0f;  // "A": 6 to 23
    const float xC1 = xA1 + 0.045f * s * 3.0f;                         // ":": 8 to 11
    const float uA0 = 6 / 255.0f, uA1 = 23 / 255.0f, vA0 = 94 / 256.0f, vA1 = 123 / 256.0f;
    const float uC0 = 8 / 255.0f, uC1 = 11 / 255.0f, vC0 = 65 / 256.0f, vC1 = 94 / 256.0f;
    const TextVertex expected[12] = {
        {xA0, y1, 0.125f, 1, uA0, vA1}, {xA0, y0, 0.125f, 1, uA0, vA0},
        {xA1, y1, 0.125f, 1, uA1, vA1}, {xA1, y0, 0.125f, 1, uA1, vA0},
        {xA1, y1, 0.125f, 1, uA1, vA1}, {xA0, y0, 0.125f, 1, uA0, vA0},
        {xA1, y1, 0.125f, 1, uC0, vC1}, {xA1, y0, 0.125f, 1, uC0, vC0},
        {xC1, y1, 0.125f, 1, uC1, vC1}, {xC1, y0, 0.125f, 1, uC1, vC0},
        {xC1, y1, 0.125f, 1, uC1, vC1}, {xA1, y0, 0.125f, 1, uC0, vC0},
    };
    const std::vector<TextVertex> written = Vertices();
    for (int i = 0; i < 12; ++i) {
        SCOPED_TRACE(i);
        EXPECT_FLOAT_EQ(written[i].x, expected[i].x);
        EXPECT_FLOAT_EQ(written[i].y, expected[i].y);
        EXPECT_EQ(written[i].z, expected[i].z);
        EXPECT_EQ(written[i].rhw, 1.0f);
        EXPECT_FLOAT_EQ(written[i].u, expected[i].u);
        EXPECT_EQ(written[i].v, expected[i].v);  // exact: sixteenths of a power of two
    }
    // At 1024 x 768: a colon at scale 0.045 is about 3.6 pixels wide, the line 20.7 high.
    EXPECT_NEAR(written[8].x - written[6].x, 3.6f, 0.05f);
    EXPECT_NEAR(y1 - y0, 20.7f, 0.05f);
}

TEST_F(OverlayTest, SixtyFourGlyphsFillTheBufferAndTheRestAreLeftOut)
{
    StartOverlay();
    const std::string line64(64, 'W');
    DrawTextLine(0.0f, 0.0f, 0.0f, 0.04f, 0.02f, line64.c_str());
    EXPECT_EQ(CallLog.back(), "DrawPrimitive device1 4 0 128");
    const std::vector<TextVertex> full = Vertices();
    ASSERT_EQ(full.size(), 384u);
    const float end64 = LineEnd();
    EXPECT_FLOAT_EQ(full[383].x, full[383 - 6].x + 0.04f * Unit(768) * 23.0f);  // "W": 29 to 52

    CallLog.clear();
    const std::string line100(100, 'W');
    DrawTextLine(0.0f, 0.0f, 0.0f, 0.04f, 0.02f, line100.c_str());
    EXPECT_EQ(CallLog.back(), "DrawPrimitive device1 4 0 128");
    EXPECT_EQ(LineEnd(), end64);
    EXPECT_TRUE(Misuses().empty());
}

TEST_F(OverlayTest, AnEmptyLineDrawsNoTriangles)
{
    StartOverlay();
    DrawTextLine(0.0f, 0.0f, 0.0f, 0.04f, 0.02f, "");
    EXPECT_TRUE(CallsStartingWith("DrawPrimitive").empty());
    EXPECT_EQ(CallLog.back(), "Unlock " + buffer);
    DrawTextLine(0.0f, 0.0f, 0.0f, 0.04f, 0.02f, nullptr);
    EXPECT_TRUE(CallsStartingWith("DrawPrimitive").empty());
}

TEST_F(OverlayTest, CodesOutsideTheTableDrawAsSpaces)
{
    StartOverlay();
    const GlyphEntry& space = GlyphTable[0];
    for (const char* text : {"\x1F", "\x82", "\xFF", "\x01"}) {
        CallLog.clear();
        DrawTextLine(0.0f, 0.0f, 0.0f, 1.0f, 1.0f, text);
        ASSERT_EQ(CallLog.back(), "DrawPrimitive device1 4 0 2");
        const std::vector<TextVertex> v = Vertices();
        EXPECT_EQ(v[0].u, space.left / 255.0f);
        EXPECT_EQ(v[2].u, space.right / 255.0f);
        EXPECT_FLOAT_EQ(v[2].x - v[0].x, Unit(768) * TexelWidth(' '));
    }
    // The three sign glyphs are in the table.
    CallLog.clear();
    DrawTextLine(0.0f, 0.0f, 0.0f, 1.0f, 1.0f, "\x7F\x80\x81");
    EXPECT_EQ(CallLog.back(), "DrawPrimitive device1 4 0 6");
    EXPECT_EQ(Vertices()[12].u, 221 / 255.0f);
}

TEST_F(OverlayTest, AFailedLockDrawsNothingAndUnlocksNothing)
{
    StartOverlay();
    RecordingDevice.failLock = {RecordingDevice.lockCalls};
    DrawTextLine(0.0f, 0.0f, 0.0f, 1.0f, 1.0f, "12");
    EXPECT_TRUE(CallsStartingWith("DrawPrimitive").empty());
    EXPECT_TRUE(CallsStartingWith("Unlock").empty());
    EXPECT_TRUE(Misuses().empty());
}

TEST_F(OverlayTest, TheClockShowsTwoDigitsAndBlinksItsColonInPlace)
{
    const struct {
        int32_t hour, minute, second;
        const char* text;
    } cases[] = {{10, 5, 7, "10 : 05"},   {10, 5, 8, "10 | 05"}, {9, 7, 1, "09 : 07"},
                 {23, 59, 59, "23 : 59"}, {0, 0, 0, "00 | 00"},  {7, 30, 31, "07 : 30"}};
    for (const auto& c : cases) {
        SetLocalTime(2026, 12, 6, c.hour, c.minute, c.second);
        RefreshOverlayText(0.0f, 0.0f);
        EXPECT_STREQ(ClockText, c.text);
    }
    // The blank "|" is exactly as wide as ":", so the digits do not move.
    StartOverlay();
    float ends[2];
    for (const int32_t second : {7, 8}) {
        SetLocalTime(2026, 12, 6, 10, 5, second);
        RefreshOverlayText(0.0f, 0.0f);
        CallLog.clear();
        DrawTextLine(0.0f, 0.0f, 0.0f, 0.045f, 0.02f, ClockText);
        ends[second - 7] = LineEnd();
    }
    EXPECT_EQ(ends[0], ends[1]);
    EXPECT_EQ(TexelWidth(':'), TexelWidth('|'));
}

TEST_F(OverlayTest, TheDateNamesTheMonthAndFitsItsTwelveCharacters)
{
    SetLocalTime(2026, 9, 30, 12, 0, 0);
    RefreshOverlayText(0.0f, 0.0f);
    EXPECT_STREQ(DateText, "Sep 30, 2026");
    EXPECT_EQ(std::strlen(DateText), 12u);
    SetLocalTime(2026, 12, 6, 12, 0, 0);
    RefreshOverlayText(0.0f, 0.0f);
    EXPECT_STREQ(DateText, "Dec 6, 2026");
    SetLocalTime(2027, 1, 1, 0, 0, 0);
    RefreshOverlayText(0.0f, 0.0f);
    EXPECT_STREQ(DateText, "Jan 1, 2027");

    // A local time the platform should never give: no read outside the month names, no write
    // outside the texts.
    for (const int32_t month : {0, 13, -1, INT32_MAX}) {
        SetLocalTime(INT32_MIN, month, INT32_MAX, 100, -100, -3);
        RefreshOverlayText(0.0f, 0.0f);
        EXPECT_LE(std::strlen(DateText), 12u);
        EXPECT_LE(std::strlen(ClockText), 7u);
        EXPECT_EQ(std::string(DateText).rfind("???", 0), 0u) << month;
    }
}

TEST_F(OverlayTest, TheFrameRateTextChangesWhenTheRoundedSecondDoes)
{
    EXPECT_STREQ(FpsText, "");
    const struct {
        float elapsed, fps;
        const char* text;
    } steps[] = {
        {0.4f, 30.0f, ""},         // rounds to 0, as LastFpsSecond starts
        {0.5f, 31.0f, ""},         // a tie goes to the even 0
        {0.6f, 59.5f, "Fps 60"},   // second 1; the rate rounds half to even
        {1.4f, 10.0f, "Fps 60"},   // still second 1
        {1.5f, 60.5f, "Fps 60"},   // second 2
        {2.5f, 61.0f, "Fps 60"},   // a tie: still 2
        {2.6f, 61.49f, "Fps 61"},  // 3
        {0.6f, 75.0f, "Fps 75"},   // a new scene's clock: 1 differs from 3
    };
    for (const auto& step : steps) {
        RefreshOverlayText(step.elapsed, step.fps);
        EXPECT_STREQ(FpsText, step.text) << step.elapsed;
    }
    EXPECT_EQ(LastFpsSecond, 1);
}

TEST_F(OverlayTest, AFrameRateOrTimeOutOfRangeFormatsAsABoundedNumber)
{
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const struct {
        float fps;
        const char* text;
    } rates[] = {{inf, "Fps 2147483647"},
                 {-inf, "Fps -2147483648"},
                 {nan, "Fps 0"},
                 {3e9f, "Fps 2147483647"},
                 {2147483520.0f, "Fps 2147483520"}};
    float elapsed = 0.0f;
    for (const auto& r : rates) {
        elapsed += 1.0f;
        RefreshOverlayText(elapsed, r.fps);
        EXPECT_STREQ(FpsText, r.text);
    }
    RefreshOverlayText(nan, 1.0f);
    EXPECT_EQ(LastFpsSecond, 0);
    RefreshOverlayText(inf, 2.0f);
    EXPECT_EQ(LastFpsSecond, INT32_MAX);
    EXPECT_STREQ(FpsText, "Fps 2");
}

TEST_F(OverlayTest, TheSettingsChooseTheLinesAndTheCaptionIsAlwaysThere)
{
    StartOverlay();
    SetLocalTime(2026, 9, 30, 10, 5, 7);
    RefreshOverlayText(1.0f, 42.0f);  // "10 : 05", "Sep 30, 2026", "Fps 42"
    const std::string texture = HandleName(FontTexture);
    const auto caption = 2 * static_cast<uint32_t>(std::strlen(CreditCaption));
    const struct {
        uint32_t bTime, bFps;
        std::vector<uint32_t> triangles;
    } cases[] = {
        {0, 0, {caption}},
        {1, 0, {14, 24, caption}},
        {0, 1, {12, caption}},
        {1, 1, {14, 24, 12, caption}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bTime * 10 + c.bFps);
        Settings.bTime = c.bTime;
        Settings.bFps = c.bFps;
        CallLog.clear();
        DrawOverlay();
        EXPECT_EQ(CallLog.front(), "SetTexture device1 0 " + texture);
        std::vector<uint32_t> triangles;
        for (const std::string& draw : CallsStartingWith("DrawPrimitive")) {
            triangles.push_back(std::stoul(draw.substr(draw.rfind(' ') + 1)));
        }
        EXPECT_EQ(triangles, c.triangles);
        // The caption, drawn last, at the left edge near the bottom.
        EXPECT_EQ(Vertices()[1].x, 0.0f);
        EXPECT_FLOAT_EQ(Vertices()[1].y, 0.96f * 768.0f);
    }
}

TEST(CreditCaption, IsInTheGlyphTableAndFitsOneLine)
{
    const std::string caption = CreditCaption;
    EXPECT_LE(caption.size(), MaxLineGlyphs);
    EXPECT_EQ(caption.rfind("Tavrel Screensaver", 0), 0u);
    for (const char c : caption) {
        const auto code = static_cast<uint8_t>(c);
        EXPECT_TRUE(code >= 32 && code <= 129) << int(code);
    }
}
