#include <climits>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "image/embedded_images.h"
#include "image/image_decode.h"
#include "image/stb/pixel_bitmap.h"
#include "render/glyph_table.h"
#include "render/render_fixture.h"
#include "render/text_overlay.h"

namespace {

class OverlayTest : public RendererTest {
protected:
    static void SetLocalTime(int32_t year, int32_t month, int32_t day, int32_t hour, int32_t minute,
                             int32_t second)
    {
        FakeClock.localTime = LocalTime{year, month, day, hour, minute, second};
    }
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

OverlayLine LayOut(const char* text, float scaleX = 1.0f, float scaleY = 1.0f)
{
    OverlayLine line;
    line.glyphCount = 99;
    LayOutTextLine(0.0f, 0.0f, scaleX, scaleY, text, 1024, 768, line);
    return line;
}

// The pen's end after a line: the right edge of its last glyph.
float LineEnd(const OverlayLine& line)
{
    return line.glyphCount == 0 ? 0.0f : line.glyphs[line.glyphCount - 1].x1;
}

}  // namespace

TEST_F(OverlayTest, TheFontSheetTakesAlphaFromTheGreyAndColourFromTheTintTopRowFirst)
{
    UseFlatDesktop(300, 300);
    CreateRenderDevice(run, TestWindow, 0);
    ImageBitmap* sheet = LoadImageResource(0, FontSheetImageNumber, 0);
    ASSERT_NE(sheet, nullptr);

    // Any tint works the same way; this one has a different nibble in every channel.
    for (const uint32_t tint : {FontTint, 0x0012EF80u}) {
        SCOPED_TRACE(tint);
        ASSERT_TRUE(CreateFontTexture(run, tint));
        ASSERT_EQ(FakeRenderer.fontSheet.size(), 256u * 256u);
        int lit = 0, wrong = 0;
        for (uint32_t t = 0; t < 256; ++t) {
            for (uint32_t c = 0; c < 256; ++c) {
                uint32_t p = 0;  // picture row t from the top: memory row 255 - t
                std::memcpy(&p, sheet->pixels + (255 - t) * sheet->rowBytes + 4 * c, 4);
                const uint32_t texel = p == 0 ? 0 : (p & 0xFF) << 24 | tint;
                uint32_t expected = 0;
                for (int shift = 0; shift < 32; shift += 8) {
                    expected |= ((texel >> shift & 0xFF) >> 4) * 17 << shift;
                }
                wrong += FakeRenderer.fontSheet[t * 256 + c] != expected;
                lit += p != 0;
            }
        }
        EXPECT_EQ(wrong, 0);
        EXPECT_GT(lit, 5000);
    }
    DeleteBitmap(sheet);
    EXPECT_EQ(FakeHeap.liveBlocks, 1) << "the sheet's buffers went back to the heap";
}

TEST_F(OverlayTest, ASheetThatCannotBeHadIsHandedOverAsNone)
{
    UseFlatDesktop(300, 300);
    CreateRenderDevice(run, TestWindow, 0);
    FakeHeap.failAfter = 0;
    EXPECT_FALSE(CreateFontTexture(run, FontTint));
    EXPECT_EQ(CallLog.back(), "LoadFontSheet -> none");
}

TEST_F(OverlayTest, ALineIsOneQuadPerGlyphInPixels)
{
    OverlayLine line;
    LayOutTextLine(0.5f, 0.25f, 0.045f, 0.02f, "A:", 1024, 768, line);
    ASSERT_EQ(line.glyphCount, 2u);
    const float s = 768.0f / 29.0f;
    const float y0 = 0.25f * 768.0f, y1 = y0 + 0.02f * s * 39.0f;
    const float xA0 = 0.5f * 1024.0f, xA1 = xA0 + 0.045f * s * 17.0f;  // "A": 6 to 23
    const float xC1 = xA1 + 0.045f * s * 3.0f;                         // ":": 8 to 11
    const GlyphQuad expected[2] = {
        {xA0, y0, xA1, y1, 6 / 255.0f, 94 / 256.0f, 23 / 255.0f, 123 / 256.0f},
        {xA1, y0, xC1, y1, 8 / 255.0f, 65 / 256.0f, 11 / 255.0f, 94 / 256.0f},
    };
    for (int i = 0; i < 2; ++i) {
        SCOPED_TRACE(i);
        const GlyphQuad& q = line.glyphs[i];
        EXPECT_FLOAT_EQ(q.x0, expected[i].x0);
        EXPECT_FLOAT_EQ(q.y0, expected[i].y0);
        EXPECT_FLOAT_EQ(q.x1, expected[i].x1);
        EXPECT_FLOAT_EQ(q.y1, expected[i].y1);
        EXPECT_FLOAT_EQ(q.u0, expected[i].u0);
        EXPECT_FLOAT_EQ(q.u1, expected[i].u1);
        EXPECT_EQ(q.v0, expected[i].v0);  // exact: sixteenths of a power of two
        EXPECT_EQ(q.v1, expected[i].v1);
    }
    // At 1024 x 768: a colon at scale 0.045 is about 3.6 pixels wide, the line 20.7 high.
    EXPECT_NEAR(line.glyphs[1].x1 - line.glyphs[1].x0, 3.6f, 0.05f);
    EXPECT_NEAR(y1 - y0, 20.7f, 0.05f);
}

TEST_F(OverlayTest, SixtyFourGlyphsFillALineAndTheRestAreLeftOut)
{
    const OverlayLine line64 = LayOut(std::string(64, 'W').c_str(), 0.04f, 0.02f);
    ASSERT_EQ(line64.glyphCount, 64u);
    const GlyphQuad& last = line64.glyphs[63];
    EXPECT_FLOAT_EQ(last.x1 - last.x0, 0.04f * Unit(768) * 23.0f);  // "W": 29 to 52
    const OverlayLine line100 = LayOut(std::string(100, 'W').c_str(), 0.04f, 0.02f);
    EXPECT_EQ(line100.glyphCount, 64u);
    EXPECT_EQ(LineEnd(line100), LineEnd(line64));
}

TEST_F(OverlayTest, AnEmptyLineHasNoGlyphs)
{
    EXPECT_EQ(LayOut("").glyphCount, 0u);
    EXPECT_EQ(LayOut(nullptr).glyphCount, 0u);
}

TEST_F(OverlayTest, CodesOutsideTheTableAreSpaces)
{
    const GlyphEntry& space = GlyphTable[0];
    for (const char* text : {"\x1F", "\x82", "\xFF", "\x01"}) {
        const OverlayLine line = LayOut(text);
        ASSERT_EQ(line.glyphCount, 1u);
        EXPECT_EQ(line.glyphs[0].u0, space.left / 255.0f);
        EXPECT_EQ(line.glyphs[0].u1, space.right / 255.0f);
        EXPECT_FLOAT_EQ(line.glyphs[0].x1 - line.glyphs[0].x0, Unit(768) * TexelWidth(' '));
    }
    // The three sign glyphs are in the table.
    const OverlayLine signs = LayOut("\x7F\x80\x81");
    ASSERT_EQ(signs.glyphCount, 3u);
    EXPECT_EQ(signs.glyphs[2].u0, 221 / 255.0f);
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
        RefreshOverlayText(run.text, 0.0f, 0.0f);
        EXPECT_STREQ(run.text.ClockText, c.text);
    }
    // The blank "|" is exactly as wide as ":", so the digits do not move.
    float ends[2];
    for (const int32_t second : {7, 8}) {
        SetLocalTime(2026, 12, 6, 10, 5, second);
        RefreshOverlayText(run.text, 0.0f, 0.0f);
        ends[second - 7] = LineEnd(LayOut(run.text.ClockText, 0.045f, 0.02f));
    }
    EXPECT_EQ(ends[0], ends[1]);
    EXPECT_EQ(TexelWidth(':'), TexelWidth('|'));
}

TEST_F(OverlayTest, TheDateNamesTheMonthAndFitsItsTwelveCharacters)
{
    SetLocalTime(2026, 9, 30, 12, 0, 0);
    RefreshOverlayText(run.text, 0.0f, 0.0f);
    EXPECT_STREQ(run.text.DateText, "Sep 30, 2026");
    EXPECT_EQ(std::strlen(run.text.DateText), 12u);
    SetLocalTime(2026, 12, 6, 12, 0, 0);
    RefreshOverlayText(run.text, 0.0f, 0.0f);
    EXPECT_STREQ(run.text.DateText, "Dec 6, 2026");
    SetLocalTime(2027, 1, 1, 0, 0, 0);
    RefreshOverlayText(run.text, 0.0f, 0.0f);
    EXPECT_STREQ(run.text.DateText, "Jan 1, 2027");

    // A local time the platform should never give: no read outside the month names, no write
    // outside the texts.
    for (const int32_t month : {0, 13, -1, INT32_MAX}) {
        SetLocalTime(INT32_MIN, month, INT32_MAX, 100, -100, -3);
        RefreshOverlayText(run.text, 0.0f, 0.0f);
        EXPECT_LE(std::strlen(run.text.DateText), 12u);
        EXPECT_LE(std::strlen(run.text.ClockText), 7u);
        EXPECT_EQ(std::string(run.text.DateText).rfind("???", 0), 0u) << month;
    }
}

TEST_F(OverlayTest, TheFrameRateTextChangesWhenTheRoundedSecondDoes)
{
    EXPECT_STREQ(run.text.FpsText, "");
    const struct {
        float elapsed, fps;
        const char* text;
    } steps[] = {
        {0.4f, 30.0f, ""},         // rounds to 0, as run.text.LastFpsSecond starts
        {0.5f, 31.0f, ""},         // a tie goes to the even 0
        {0.6f, 59.5f, "Fps 60"},   // second 1; the rate rounds half to even
        {1.4f, 10.0f, "Fps 60"},   // still second 1
        {1.5f, 60.5f, "Fps 60"},   // second 2
        {2.5f, 61.0f, "Fps 60"},   // a tie: still 2
        {2.6f, 61.49f, "Fps 61"},  // 3
        {0.6f, 75.0f, "Fps 75"},   // a new scene's clock: 1 differs from 3
    };
    for (const auto& step : steps) {
        RefreshOverlayText(run.text, step.elapsed, step.fps);
        EXPECT_STREQ(run.text.FpsText, step.text) << step.elapsed;
    }
    EXPECT_EQ(run.text.LastFpsSecond, 1);
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
        RefreshOverlayText(run.text, elapsed, r.fps);
        EXPECT_STREQ(run.text.FpsText, r.text);
    }
    RefreshOverlayText(run.text, nan, 1.0f);
    EXPECT_EQ(run.text.LastFpsSecond, 0);
    RefreshOverlayText(run.text, inf, 2.0f);
    EXPECT_EQ(run.text.LastFpsSecond, INT32_MAX);
    EXPECT_STREQ(run.text.FpsText, "Fps 2");
}

TEST_F(OverlayTest, TheSettingsChooseTheLinesAndTheCaptionIsAlwaysThere)
{
    SetLocalTime(2026, 9, 30, 10, 5, 7);
    RefreshOverlayText(run.text, 1.0f, 42.0f);  // "10 : 05", "Sep 30, 2026", "Fps 42"
    const auto caption = static_cast<uint32_t>(std::strlen(CreditCaption));
    const struct {
        uint32_t bTime, bFps;
        std::vector<uint32_t> glyphs;
    } cases[] = {
        {0, 0, {caption}},
        {1, 0, {7, 12, caption}},
        {0, 1, {6, caption}},
        {1, 1, {7, 12, 6, caption}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bTime * 10 + c.bFps);
        run.Settings.bTime = c.bTime;
        run.Settings.bFps = c.bFps;
        OverlayFrame overlay;
        LayOutOverlay(run.text, run.Settings, 1024, 768, overlay);
        std::vector<uint32_t> glyphs;
        for (uint32_t l = 0; l < overlay.lineCount; ++l)
            glyphs.push_back(overlay.lines[l].glyphCount);
        EXPECT_EQ(glyphs, c.glyphs);
        // The caption, last, at the left edge near the bottom.
        const GlyphQuad& first = overlay.lines[overlay.lineCount - 1].glyphs[0];
        EXPECT_EQ(first.x0, 0.0f);
        EXPECT_FLOAT_EQ(first.y0, 0.96f * 768.0f);
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
