// The saver's own scene drawn by the OpenGL back end: spots set up, filled and blended by the
// renderer over a flat desktop, read back as pixels.
#include <cmath>
#include <cstring>
#include <functional>

#include "gl_test_support.h"
#include "render/device_lifecycle.h"
#include "render/frame_clock.h"
#include "render/frame_loop.h"
#include "render/light_spots.h"
#include "render/scene.h"
#include "settings/settings.h"
#include "support/heap.h"
#include "support/ranmar.h"
#include "surface/falloff_table.h"
#include "surface/height_field.h"
#include "surface/normal_field.h"

namespace {

struct ScreenRect {
    ScreenPoint topLeft, bottomRight;
};

class GlSceneTest : public GlDeviceTest {
protected:
    void SetUp() override
    {
        GlDeviceTest::SetUp();
        // Lighting on, as a fresh device has it: the vertex colour comes from the material.
        SetRenderState(device, RenderStateType::Lighting, 1);
        SaverDevice = device;
        DevicePresentParameters = SaverPresentParameters(Width, Height);

        // A flat desktop: every normal but those of the last column and bottom row is (0,0,-1).
        DesktopWidth = Width;
        DesktopHeight = Height;
        DesktopPixelCount = static_cast<uint32_t>(Width * Height);
        HeightField = static_cast<uint8_t*>(AllocateZeroed(DesktopPixelCount));
        ASSERT_NE(HeightField, nullptr);
        std::memset(HeightField, 60, DesktopPixelCount);

        Settings = SaverSettings{};
        Settings.bTime = 0;
        Settings.bFps = 0;
        Settings.ColorLight = 0;
        SeedRanmar(1802, 9373);
    }

    void TearDown() override
    {
        ReleaseSceneResources();
        FreeAllocation(NormalField);
        NormalField = nullptr;
        FreeAllocation(FalloffTable);
        FalloffTable = nullptr;
        FreeAllocation(HeightField);
        HeightField = nullptr;
        SaverDevice = nullptr;
        Settings = SaverSettings{};
        GlDeviceTest::TearDown();
    }

    // Moves a spot to the first phase whose window satisfies `wanted`, fills and uploads it.
    void PlaceSpot(LightSpot& spot, uint32_t colorMask,
                   const std::function<bool(const SpotPlacement&)>& wanted)
    {
        for (float phase = 0.0f; phase < 127.0f; phase += 0.01f) {
            const SpotPlacement place = PlaceLightSpot(phase, spot.freqX, spot.freqY, Width, Height,
                                                       WorldWidth, WorldHeight, SpotExtent);
            if (wanted(place)) {
                spot.phase = phase;
                Clock.frameTime = 0.0f;
                UpdateLightSpot(spot, colorMask);
                return;
            }
        }
        FAIL() << "no phase puts the spot where the test wants it";
    }

    ScreenRect OnScreen(const LightSpot& spot) const
    {
        Matrix4 worldView;
        Matrix4 combined;
        MultiplyMatrix(worldView, WorldMatrix, ViewMatrix);
        MultiplyMatrix(combined, worldView, ProjectionMatrix);
        return ScreenRect{ProjectLikeDirect3D(combined, spot.posX, spot.posY + SpotExtent, Width,
                                              Height),
                          ProjectLikeDirect3D(combined, spot.posX + SpotExtent, spot.posY, Width,
                                              Height)};
    }

    // The shade a spot's texture holds over flat ground, sampled bilinearly with Direct3D's
    // texel centres and wrapping at the edges, at pixel (x, y) of the spot's rectangle.
    static double FlatShadeAt(const ScreenRect& rect, int32_t x, int32_t y)
    {
        const double u = (x - rect.topLeft.x) / (rect.bottomRight.x - rect.topLeft.x);
        const double v = (y - rect.topLeft.y) / (rect.bottomRight.y - rect.topLeft.y);
        const double tu = u * SpotSize - 0.5;
        const double tv = v * SpotSize - 0.5;
        const int c0 = static_cast<int>(std::floor(tu));
        const int r0 = static_cast<int>(std::floor(tv));
        const double fu = tu - c0;
        const double fv = tv - r0;
        auto texel = [](int r, int c) {
            const Vec3& f =
                FalloffTable[((r + SpotSize) % SpotSize) * SpotSize + (c + SpotSize) % SpotSize];
            // N = (0, 0, -1): the dot product is -f.z.
            return static_cast<double>(std::lrint(std::fabs(f.z) * 255.0f) & 0xFF);
        };
        return (texel(r0, c0) * (1 - fu) + texel(r0, c0 + 1) * fu) * (1 - fv) +
               (texel(r0 + 1, c0) * (1 - fu) + texel(r0 + 1, c0 + 1) * fu) * fv;
    }
};

bool InUpperMiddle(const SpotPlacement& place)
{
    // Offsets count from the bottom-left: the block's top is 80 to 200 rows below the screen's.
    return place.offsetX > 300 && place.offsetX < 450 && place.offsetY > 312 && place.offsetY < 432;
}

}  // namespace

TEST_F(GlSceneTest, AWhiteSpotOverAFlatDesktopLightsItsBlockAndNothingElse)
{
    Settings.NumLights = 0;
    SetupScene();
    ASSERT_NE(LightSpots[0].texture, nullptr);
    ASSERT_EQ(LightSpots[1].texture, nullptr);
    PlaceSpot(LightSpots[0], SpotColors[0], InUpperMiddle);
    DrawFrame();
    ReadFrame();

    const ScreenRect rect = OnScreen(LightSpots[0]);
    int32_t left, right, top, bottom;
    CoveredRange(rect.topLeft.x, rect.bottomRight.x, left, right);
    CoveredRange(rect.topLeft.y, rect.bottomRight.y, top, bottom);
    // The camera shows the 4 x 3 world less a small margin: 256 pixels of desktop come out at
    // about 257.5 on the screen.
    EXPECT_NEAR(rect.bottomRight.x - rect.topLeft.x, 257.5, 0.5);
    EXPECT_NEAR(rect.bottomRight.y - rect.topLeft.y, 257.5, 0.5);

    int checked = 0;
    for (int32_t y = top - 4; y <= bottom + 4; ++y) {
        for (int32_t x = left - 4; x <= right + 4; ++x) {
            const Rgba p = Pixel(x, y);
            if (x < left || x > right || y < top || y > bottom) {
                ASSERT_TRUE(IsBlack(p)) << "outside the spot at " << x << "," << y;
                continue;
            }
            // The edge texels blend with the opposite edge; the interior follows the falloff.
            if (x <= left + 1 || x >= right - 1 || y <= top + 1 || y >= bottom - 1) continue;
            const double shade = FlatShadeAt(rect, x, y);
            // White texels carry the shade as colour and alpha: over black, shade * shade/255.
            const int expected = static_cast<int>(std::lround(shade * shade / 255.0));
            ASSERT_NEAR(p.r, expected, 3) << x << "," << y;
            ASSERT_EQ(p.g, p.r);
            ASSERT_EQ(p.b, p.r);
            ++checked;
        }
    }
    EXPECT_GT(checked, 250 * 250);
    // Brightest near the middle, dark towards the left column and the top row.
    const int32_t midX = (left + right) / 2;
    const int32_t midY = (top + bottom) / 2;
    EXPECT_GT(Pixel(midX, midY).r, 240);
    EXPECT_LT(Pixel(left + 2, midY).r, 5);
    EXPECT_LT(Pixel(midX, top + 2).r, 5);
}

TEST_F(GlSceneTest, ALaterSpotIsBlendedOverAnEarlierOneBySourceAlpha)
{
    Settings.NumLights = 1;
    SetupScene();
    ASSERT_NE(LightSpots[1].texture, nullptr);
    constexpr uint32_t Red = 0xFFFF0000u;
    constexpr uint32_t Green = 0xFF00FF00u;
    PlaceSpot(LightSpots[0], Red, InUpperMiddle);
    const int32_t firstX =
        static_cast<int32_t>(std::lrint(LightSpots[0].posX / WorldWidth * Width));
    // The second spot overlaps the first by about half its width.
    PlaceSpot(LightSpots[1], Green, [&](const SpotPlacement& place) {
        return std::abs(place.offsetX - (firstX + 110)) < 20 && place.offsetY > 312 &&
               place.offsetY < 432;
    });
    DrawFrame();
    ReadFrame();

    const ScreenRect under = OnScreen(LightSpots[0]);
    const ScreenRect over = OnScreen(LightSpots[1]);
    int32_t left, right, top, bottom;
    CoveredRange(std::max(under.topLeft.x, over.topLeft.x),
                 std::min(under.bottomRight.x, over.bottomRight.x), left, right);
    CoveredRange(std::max(under.topLeft.y, over.topLeft.y),
                 std::min(under.bottomRight.y, over.bottomRight.y), top, bottom);
    ASSERT_GT(right - left, 60);
    ASSERT_GT(bottom - top, 60);

    int checked = 0;
    int bothLit = 0;
    for (int32_t y = top + 2; y <= bottom - 2; ++y) {
        for (int32_t x = left + 2; x <= right - 2; ++x) {
            const double a0 = FlatShadeAt(under, x, y);
            const double a1 = FlatShadeAt(over, x, y);
            // colour = texel * alpha + below * (1 - alpha), the red spot below the green one.
            const double red = a0 * a0 / 255.0 * (1.0 - a1 / 255.0);
            const double green = a1 * a1 / 255.0;
            const Rgba p = Pixel(x, y);
            ASSERT_NEAR(p.r, red, 3) << x << "," << y;
            ASSERT_NEAR(p.g, green, 3) << x << "," << y;
            ASSERT_EQ(p.b, 0);
            ++checked;
            if (p.r > 20 && p.g > 20) ++bothLit;
        }
    }
    EXPECT_GT(checked, 60 * 60);
    EXPECT_GT(bothLit, 1000);
}
