// The overlay as the OpenGL back end draws it: tinted glyphs blended over the scene.
#include <algorithm>
#include <cmath>

#include "gl_test_support.h"
#include "image/texture_upload.h"
#include "render/device_lifecycle.h"
#include "render/glyph_table.h"
#include "render/scene.h"
#include "render/text_overlay.h"
#include "settings/settings.h"

namespace {

class OverlayGlTest : public GlDeviceTest {
protected:
    void SetUp() override
    {
        GlDeviceTest::SetUp();
        SaverDevice = device;
        Settings = SaverSettings{};
        // The scene's states and the font, made as scene setup makes them.
        ApplyRenderStates();
        ASSERT_NE(FontTexture, nullptr);
        ASSERT_NE(TextVertexBuffer, nullptr);
    }
    void TearDown() override
    {
        ReleaseHandle(TextVertexBuffer);
        ReleaseHandle(FontTexture);
        SaverDevice = nullptr;
        GlDeviceTest::TearDown();
    }

    void DrawOverlayFrame()
    {
        Clear(device, 0, nullptr, ClearTarget, 0x00000000, 0.0f, 0);
        BeginScene(device);
        DrawOverlay();
        EndScene(device);
        PresentAndRead();
    }

    static bool IsLit(const Rgba& p) { return p.r != 0 || p.g != 0 || p.b != 0; }
};

float CaptionWidth(float unit)
{
    float width = 0.0f;
    for (const char* c = CreditCaption; *c != '\0'; ++c) {
        const GlyphEntry& e = LookUpGlyph(static_cast<uint8_t>(*c));
        width += 0.04f * unit * static_cast<float>(e.right - e.left);
    }
    return width;
}

}  // namespace

TEST_F(OverlayGlTest, TheCaptionIsDrawnAtTheBottomLeftInTheTint)
{
    Settings.bTime = 0;
    Settings.bFps = 0;
    DrawOverlayFrame();

    const float unit = Height / 29.0f;
    const float top = 0.96f * Height;
    const float bottom = top + 0.02f * unit * 39.0f;
    const float right = CaptionWidth(unit);
    ASSERT_LT(right, Width / 2.0f);

    int lit = 0, outside = 0, offTint = 0, brightest = 0, leftmost = Width;
    for (int32_t y = 0; y < Height; ++y) {
        for (int32_t x = 0; x < Width; ++x) {
            const Rgba p = Pixel(x, y);
            if (!IsLit(p)) continue;
            ++lit;
            // Pixel centres inside the caption's rectangle, a pixel of filtering aside.
            if (y < top - 1 || y > bottom + 1 || x > right + 1) ++outside;
            // The tint (0xC0, 0x20, 0x20 kept to four bits: 0xCC, 0x22, 0x22) times the
            // glyph's alpha over black: red six times green, green equal to blue.
            if (std::abs(p.r - 6 * p.g) > 6 || std::abs(p.g - p.b) > 1) ++offTint;
            brightest = std::max(brightest, p.r);
            leftmost = std::min(leftmost, x);
        }
    }
    EXPECT_GT(lit, 1000);
    EXPECT_EQ(outside, 0);
    EXPECT_EQ(offTint, 0);
    EXPECT_GE(brightest, 0xC0);
    EXPECT_LE(brightest, 0xCC);
    EXPECT_LT(leftmost, 4);  // from the left edge: "T" starts its cell's ink at once
}
