#include "render/text_overlay.h"

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "host/host_state.h"
#include "image/embedded_images.h"
#include "image/image_decode.h"
#include "image/texture_upload.h"
#include "render/device_lifecycle.h"
#include "render/glyph_table.h"
#include "render/scene.h"
#include "settings/settings.h"
#include "support/clock.h"
#include "support/heap.h"

RenderVertexBuffer* TextVertexBuffer = nullptr;
char FpsText[16] = {};
char ClockText[8] = {};
char DateText[13] = {};
// \x7F is the sheet's circled C.
const char CreditCaption[] = "Tavrel Screensaver \x7F www.lumenwright.example";
const char* const MonthNames[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                    "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
int32_t LastFpsSecond = 0;

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
void TintSheet(uint32_t* pixels, uint32_t tint)
{
    for (size_t i = 0; i < SheetPixels; ++i) {
        const uint32_t p = pixels[i];
        if (p != 0) pixels[i] = (p & 0xFF) << 24 | tint;
    }
}

int32_t TwoDigits(int32_t value)
{
    return value < 0 ? 0 : value > 99 ? 99 : value;
}

void FormatClockText(int32_t hour, int32_t minute, int32_t second)
{
    // Two digits each side, so the line never changes width; a time the platform should never
    // give still makes seven characters.
    hour = TwoDigits(hour);
    minute = TwoDigits(minute);
    int length = 0;
    if (hour >= 10 && minute >= 10) {
        length = std::snprintf(ClockText, sizeof ClockText, "%d : %d", hour, minute);
    } else if (hour >= 10) {
        length = std::snprintf(ClockText, sizeof ClockText, "%d : 0%d", hour, minute);
    } else if (minute >= 10) {
        length = std::snprintf(ClockText, sizeof ClockText, "0%d : %d", hour, minute);
    } else {
        length = std::snprintf(ClockText, sizeof ClockText, "0%d : 0%d", hour, minute);
    }
    // "|" is a blank exactly as wide as ":", so the colon blinks and the digits stay put.
    if (length == 7 && second % 2 == 0) ClockText[3] = '|';
}

void FormatDateText(int32_t year, int32_t month, int32_t day)
{
    const char* name = month >= 1 && month <= 12 ? MonthNames[month - 1] : "???";
    std::snprintf(DateText, sizeof DateText, "%s %d, %d", name, day, year);
}

}  // namespace

uint32_t CreateFontTexture(uint32_t tint, RenderTexture*& textureOut)
{
    // A texture left over from an earlier setup would be lost under the new one.
    ReleaseHandle(textureOut);
    if (SaverDevice == nullptr) return UploadNoDevice;

    auto* pixels = static_cast<uint32_t*>(AllocateZeroed(SheetPixels * sizeof(uint32_t)));
    ImageBitmap* sheet = LoadImageResource(Host.moduleHandle, FontSheetImageNumber, 0);

    uint32_t result = UploadCreateFailed;
    // Without the pixel pass the texture would carry the sheet's white and no alpha: rather
    // none at all.
    if (pixels != nullptr && ReadBitmapPixels(sheet, SheetSide, SheetSide, pixels)) {
        TintSheet(pixels, tint);
        if (WriteBitmapPixels(sheet, SheetSide, SheetSide, pixels)) {
            result = UploadBitmapToTexture(SaverDevice, sheet, FormatA4R4G4B4, textureOut);
        }
    }
    FreeAllocation(pixels);
    DeleteBitmap(sheet);

    if (TextVertexBuffer == nullptr) {
        CreateVertexBuffer(SaverDevice, TextVertexBufferBytes, UsageNone, VertexFormatXyzRhwTex1,
                           PoolManaged, TextVertexBuffer);
    }
    return result;
}

void DrawTextLine(float x, float y, float z, float scaleX, float scaleY, const char* text)
{
    RenderDevice* device = SaverDevice;
    if (device == nullptr || TextVertexBuffer == nullptr || text == nullptr) return;

    SetRenderState(device, RenderStateType::CullMode, CullNone);
    SetStreamSource(device, 0, TextVertexBuffer, TextVertexStride);
    SetVertexShader(device, VertexFormatXyzRhwTex1);
    SetPixelShader(device, 0);

    Viewport viewport{};
    GetViewport(device, viewport);
    const auto viewportWidth = static_cast<float>(viewport.width);
    const auto viewportHeight = static_cast<float>(viewport.height);
    float penX = x * viewportWidth;
    const float penY = y * viewportHeight;
    // Both dimensions follow the viewport height only.
    const float unit = viewportHeight / static_cast<float>(GlyphHeight);

    SetRenderState(device, RenderStateType::AlphaBlendEnable, 1);
    SetRenderState(device, RenderStateType::SrcBlend, BlendSrcAlpha);
    SetRenderState(device, RenderStateType::DestBlend, BlendInvSrcAlpha);

    uint8_t* data = nullptr;
    if (LockVertexBuffer(TextVertexBuffer, 0, TextVertexBufferBytes, data, LockNone) != RenderOk) {
        return;
    }
    if (data == nullptr) {
        UnlockVertexBuffer(TextVertexBuffer);
        return;
    }

    uint32_t glyphs = 0;
    for (; glyphs < MaxLineGlyphs && text[glyphs] != '\0'; ++glyphs) {
        const GlyphEntry& glyph = LookUpGlyph(static_cast<uint8_t>(text[glyphs]));
        const float uLeft = static_cast<float>(glyph.left) / 255.0f;
        const float uRight = static_cast<float>(glyph.right) / 255.0f;
        const float vTop = static_cast<float>(glyph.top) / 256.0f;
        const float vBottom = static_cast<float>(glyph.top + GlyphHeight) / 256.0f;
        const float width = scaleX * unit * static_cast<float>(glyph.right - glyph.left);
        const float height = scaleY * unit * GlyphDrawnHeight;
        const float x0 = penX;
        const float x1 = penX + width;
        const float y0 = penY;
        const float y1 = penY + height;
        // Two triangles; the sheet's top row lands on the upper edge y0.
        const TextVertex quad[6] = {
            {x0, y1, z, 1.0f, uLeft, vBottom},  {x0, y0, z, 1.0f, uLeft, vTop},
            {x1, y1, z, 1.0f, uRight, vBottom}, {x1, y0, z, 1.0f, uRight, vTop},
            {x1, y1, z, 1.0f, uRight, vBottom}, {x0, y0, z, 1.0f, uLeft, vTop},
        };
        std::memcpy(data + glyphs * sizeof quad, quad, sizeof quad);
        penX += width;
    }

    UnlockVertexBuffer(TextVertexBuffer);
    // Direct3D refuses a draw of no primitives.
    if (glyphs > 0) DrawPrimitive(device, PrimitiveType::TriangleList, 0, 2 * glyphs);
}

void RefreshOverlayText(float elapsedSeconds, float framesPerSecond)
{
    const int32_t second = NearestInt32(elapsedSeconds);
    if (second != LastFpsSecond) {
        LastFpsSecond = second;
        std::snprintf(FpsText, sizeof FpsText, "Fps %d", NearestInt32(framesPerSecond));
    }

    LocalTime now{};
    ReadLocalTime(now);
    FormatClockText(now.hour, now.minute, now.second);
    FormatDateText(now.year, now.month, now.day);
}

void DrawOverlay()
{
    if (SaverDevice == nullptr || FontTexture == nullptr || TextVertexBuffer == nullptr) return;
    SetTexture(SaverDevice, 0, FontTexture);
    if (Settings.bTime != 0) {
        DrawTextLine(0.0f, 0.0f, 0.0f, 0.045f, 0.02f, ClockText);
        DrawTextLine(0.0f, 0.027f, 0.0f, 0.037f, 0.017f, DateText);
    }
    if (Settings.bFps != 0) DrawTextLine(0.0f, 0.054f, 0.0f, 0.037f, 0.017f, FpsText);
    DrawTextLine(0.0f, 0.96f, 0.0f, 0.04f, 0.02f, CreditCaption);
}
