#include "render/text_overlay.h"

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "image/embedded_images.h"
#include "image/image_decode.h"
#include "render/device_lifecycle.h"
#include "render/glyph_table.h"
#include "render/saver_run.h"
#include "support/clock.h"
#include "support/heap.h"

// \x7F is the sheet's circled C.
const char CreditCaption[] = "Tavrel Screensaver \x7F www.lumenwright.example";
const char* const MonthNames[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                    "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
namespace {

constexpr int32_t SheetSide = static_cast<int32_t>(FontSheetSize);
constexpr size_t SheetPixels = size_t{FontSheetSize} * FontSheetSize;
// A glyph is drawn 39 units high for its 29 rows.
constexpr float GlyphDrawnHeight = 39.0f;

// Nearest integer, ties to even; a value beyond the 32-bit range gives its end and NaN gives 0,
// so no frame rate or running time is ever converted out of range.
int32_t NearestInt32(float value)
{
    if (std::isnan(value)) return 0;
    if (value >= 2147483648.0f) return INT32_MAX;
    if (value <= -2147483648.0f) return INT32_MIN;
    return static_cast<int32_t>(std::lrint(value));
}

// Alpha from the grey level (the blue byte), colour from the tint; black stays fully clear.
// The bitmap's rows come bottom first; the renderer takes them top first. Every channel keeps
// its top four bits, as the Windows saver's A4R4G4B4 texture holds them, so that every back
// end shows the same glyphs.
void TintSheet(const uint32_t* bitmapRows, uint32_t tint, uint32_t* sheet)
{
    for (int32_t row = 0; row < SheetSide; ++row) {
        const uint32_t* in = bitmapRows + static_cast<size_t>(SheetSide - 1 - row) * SheetSide;
        uint32_t* out = sheet + static_cast<size_t>(row) * SheetSide;
        for (int32_t column = 0; column < SheetSide; ++column) {
            const uint32_t p = in[column];
            const uint32_t texel = p != 0 ? (p & 0xFF) << 24 | tint : 0;
            out[column] = (texel >> 4 & 0x0F0F0F0F) * 17;
        }
    }
}

int32_t TwoDigits(int32_t value)
{
    return value < 0 ? 0 : value > 99 ? 99 : value;
}

void FormatClockText(char (&clockText)[8], int32_t hour, int32_t minute, int32_t second)
{
    // Two digits each side, so the line never changes width; a time the platform should never
    // give still makes seven characters.
    hour = TwoDigits(hour);
    minute = TwoDigits(minute);
    int length = 0;
    if (hour >= 10 && minute >= 10) {
        length = std::snprintf(clockText, sizeof clockText, "%d : %d", hour, minute);
    } else if (hour >= 10) {
        length = std::snprintf(clockText, sizeof clockText, "%d : 0%d", hour, minute);
    } else if (minute >= 10) {
        length = std::snprintf(clockText, sizeof clockText, "0%d : %d", hour, minute);
    } else {
        length = std::snprintf(clockText, sizeof clockText, "0%d : 0%d", hour, minute);
    }
    // "|" is a blank exactly as wide as ":", so the colon blinks and the digits stay put.
    if (length == 7 && second % 2 == 0) clockText[3] = '|';
}

void FormatDateText(char (&dateText)[13], int32_t year, int32_t month, int32_t day)
{
    const char* name = month >= 1 && month <= 12 ? MonthNames[month - 1] : "???";
    std::snprintf(dateText, sizeof dateText, "%s %d, %d", name, day, year);
}

}  // namespace

bool CreateFontTexture(SaverRun& run, uint32_t tint)
{
    if (!HasRenderDevice(run)) return false;

    auto* pixels = static_cast<uint32_t*>(AllocateZeroed(2 * SheetPixels * sizeof(uint32_t)));
    ImageBitmap* sheet = LoadImageResource(run.moduleHandle, FontSheetImageNumber, 0);
    // Without the pixel pass the texture would carry the sheet's white and no alpha: rather
    // none at all.
    const bool prepared =
        pixels != nullptr && ReadBitmapPixels(sheet, SheetSide, SheetSide, pixels);
    if (prepared) TintSheet(pixels, tint, pixels + SheetPixels);
    const bool made = LoadFontSheet(run.renderer, prepared ? pixels + SheetPixels : nullptr);
    FreeAllocation(pixels);
    DeleteBitmap(sheet);
    return prepared && made;
}

void LayOutTextLine(float x, float y, float scaleX, float scaleY, const char* text, int32_t width,
                    int32_t height, OverlayLine& line)
{
    line.glyphCount = 0;
    if (text == nullptr) return;
    const auto viewportWidth = static_cast<float>(width);
    const auto viewportHeight = static_cast<float>(height);
    float penX = x * viewportWidth;
    const float penY = y * viewportHeight;
    // Both dimensions follow the viewport height only.
    const float unit = viewportHeight / static_cast<float>(GlyphHeight);

    uint32_t glyphs = 0;
    for (; glyphs < MaxLineGlyphs && text[glyphs] != '\0'; ++glyphs) {
        const GlyphEntry& glyph = LookUpGlyph(static_cast<uint8_t>(text[glyphs]));
        const float glyphWidth = scaleX * unit * static_cast<float>(glyph.right - glyph.left);
        GlyphQuad& quad = line.glyphs[glyphs];
        quad.x0 = penX;
        quad.x1 = penX + glyphWidth;
        quad.y0 = penY;
        quad.y1 = penY + scaleY * unit * GlyphDrawnHeight;
        quad.u0 = static_cast<float>(glyph.left) / 255.0f;
        quad.u1 = static_cast<float>(glyph.right) / 255.0f;
        quad.v0 = static_cast<float>(glyph.top) / 256.0f;
        quad.v1 = static_cast<float>(glyph.top + GlyphHeight) / 256.0f;
        penX += glyphWidth;
    }
    line.glyphCount = glyphs;
}

void RefreshOverlayText(OverlayText& text, float elapsedSeconds, float framesPerSecond)
{
    const int32_t second = NearestInt32(elapsedSeconds);
    if (second != text.LastFpsSecond) {
        text.LastFpsSecond = second;
        std::snprintf(text.FpsText, sizeof text.FpsText, "Fps %d", NearestInt32(framesPerSecond));
    }

    LocalTime now{};
    ReadLocalTime(now);
    FormatClockText(text.ClockText, now.hour, now.minute, now.second);
    FormatDateText(text.DateText, now.year, now.month, now.day);
}

void LayOutOverlay(const OverlayText& text, const SaverSettings& settings, int32_t width,
                   int32_t height, OverlayFrame& overlay)
{
    uint32_t lines = 0;
    if (settings.bTime != 0) {
        LayOutTextLine(0.0f, 0.0f, 0.045f, 0.02f, text.ClockText, width, height,
                       overlay.lines[lines++]);
        LayOutTextLine(0.0f, 0.027f, 0.037f, 0.017f, text.DateText, width, height,
                       overlay.lines[lines++]);
    }
    if (settings.bFps != 0) {
        LayOutTextLine(0.0f, 0.054f, 0.037f, 0.017f, text.FpsText, width, height,
                       overlay.lines[lines++]);
    }
    LayOutTextLine(0.0f, 0.96f, 0.04f, 0.02f, CreditCaption, width, height, overlay.lines[lines++]);
    overlay.lineCount = lines;
}
