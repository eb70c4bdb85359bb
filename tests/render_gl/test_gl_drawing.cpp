// Pixel tests of the OpenGL back end: the picture must be the one Direct3D 8 draws.
#include <algorithm>
#include <cmath>
#include <numbers>

#include "gl_test_support.h"
#include "support/vecmath.h"

TEST_F(GlDeviceTest, ClearMakesTheWholeBackBufferBlackAfterAColour)
{
    ASSERT_EQ(Clear(device, 0, nullptr, ClearTarget, 0x00FF8040u, 0.0f, 0), RenderOk);
    PresentAndRead();
    ExpectNear(Pixel(0, 0), 0xFF, 0x80, 0x40, 0, "coloured clear");
    ASSERT_EQ(Clear(device, 0, nullptr, ClearTarget, 0x00000000u, 0.0f, 0), RenderOk);
    PresentAndRead();
    int lit = 0;
    for (size_t i = 0; i < frame.size(); i += 4)
        lit += (frame[i] | frame[i + 1] | frame[i + 2]) != 0;
    EXPECT_EQ(lit, 0);
    EXPECT_EQ(Pixel(5, 5).a, 255);  // no alpha in an X8R8G8B8 back buffer
}

TEST_F(GlDeviceTest, ReadBackStartsAtTheTopRowAndClearRectsUseScreenRows)
{
    Clear(device, 0, nullptr, ClearTarget, 0, 0.0f, 0);
    const int32_t rects[8] = {0, 0, Width, 3, 10, 700, 20, 768};  // top strip, bottom-left block
    ASSERT_EQ(Clear(device, 2, rects, ClearTarget, 0x00FF0000u, 0.0f, 0), RenderOk);
    PresentAndRead();
    EXPECT_EQ(Pixel(500, 0).r, 255);
    EXPECT_EQ(Pixel(500, 2).r, 255);
    EXPECT_TRUE(IsBlack(Pixel(500, 3)));
    EXPECT_EQ(Pixel(10, 700).r, 255);
    EXPECT_EQ(Pixel(19, 767).r, 255);
    EXPECT_TRUE(IsBlack(Pixel(9, 700)));
    EXPECT_TRUE(IsBlack(Pixel(20, 767)));
    EXPECT_TRUE(IsBlack(Pixel(10, 699)));
}

TEST_F(GlDeviceTest, PretransformedQuadCoversExactlyItsPixelsWithPointSampling)
{
    std::vector<uint32_t> texels(10 * 5);
    for (uint32_t i = 0; i < texels.size(); ++i)
        texels[i] = 0xFF000000u | (i * 5 + 5) << 16 | 0x40u;
    RenderTexture* texture = MakeTexture(10, 5, texels);
    SetFilter(TextureFilterPoint);
    Clear(device, 0, nullptr, ClearTarget, 0, 0.0f, 0);
    BeginScene(device);
    // Edges half a pixel off the centres: pixels 10..19 and 20..24, one texel each.
    DrawScreenQuad(texture, 9.5f, 19.5f, 19.5f, 24.5f);
    // Edges through the centres: the left and top ones are in, the right and bottom ones out.
    DrawScreenQuad(texture, 40.0f, 20.0f, 50.0f, 25.0f);
    EndScene(device);
    PresentAndRead();

    for (int32_t y = 18; y < 27; ++y) {
        for (int32_t x = 8; x < 22; ++x) {
            const bool inside = x >= 10 && x < 20 && y >= 20 && y < 25;
            if (!inside) {
                EXPECT_TRUE(IsBlack(Pixel(x, y))) << x << "," << y;
                continue;
            }
            const uint32_t i = static_cast<uint32_t>((y - 20) * 10 + (x - 10));
            ExpectNear(Pixel(x, y), static_cast<int>(i * 5 + 5), 0, 0x40, 0, "texel");
        }
        for (int32_t x = 38; x < 52; ++x) {
            const bool inside = x >= 40 && x < 50 && y >= 20 && y < 25;
            EXPECT_EQ(IsBlack(Pixel(x, y)), !inside) << x << "," << y;
        }
    }
}

TEST_F(GlDeviceTest, SpotQuadLandsWhereTheSceneCameraPutsIt)
{
    // The scene's camera and material, lighting on as Direct3D has it by default.
    Matrix4 world;
    Matrix4 view;
    Matrix4 projection;
    IdentityMatrix(world);
    LookAtMatrix(view, Vec3{2.0f, 1.5f, -3.6f}, Vec3{2.0f, 1.5f, 0.0f}, Vec3{0.0f, 1.0f, 0.0f});
    PerspectiveMatrix(projection, std::numbers::pi_v<float> / 4.0f,
                      static_cast<float>(Width) / static_cast<float>(Height), 1.0f, 100.0f);
    SetTransform(device, TransformType::World, world);
    SetTransform(device, TransformType::View, view);
    SetTransform(device, TransformType::Projection, projection);
    Material material{};
    for (int c = 0; c < 4; ++c) material.diffuse[c] = material.ambient[c] = 1.0f;
    SetMaterial(device, material);
    SetRenderState(device, RenderStateType::Lighting, 1);
    SetRenderState(device, RenderStateType::Ambient, 0x00FFFFFFu);
    SetFilter(TextureFilterLinear);

    // Texture row 0 belongs at the top of the quad: white rows over grey ones.
    std::vector<uint32_t> texels(256 * 256, 0xFFFFFFFFu);
    std::fill(texels.begin() + 128 * 256, texels.end(), 0xFF808080u);
    RenderTexture* texture = MakeTexture(256, 256, texels);
    const float posX = 300.0f / 1024.0f * 4.0f;
    const float posY = 200.0f / 768.0f * 3.0f;
    Clear(device, 0, nullptr, ClearTarget, 0, 0.0f, 0);
    BeginScene(device);
    DrawWorldQuad(texture, posX, posY, posX + 1.0f, posY + 1.0f);
    EndScene(device);
    PresentAndRead();

    Matrix4 worldView;
    Matrix4 combined;
    MultiplyMatrix(worldView, world, view);
    MultiplyMatrix(combined, worldView, projection);
    const ScreenPoint topLeft = ProjectLikeDirect3D(combined, posX, posY + 1.0, Width, Height);
    const ScreenPoint bottomRight = ProjectLikeDirect3D(combined, posX + 1.0, posY, Width, Height);
    int32_t left, right, top, bottom;
    CoveredRange(topLeft.x, bottomRight.x, left, right);
    CoveredRange(topLeft.y, bottomRight.y, top, bottom);
    // About 257.5 pixels a side.
    EXPECT_NEAR(bottomRight.x - topLeft.x, 257.5, 0.5);

    const int32_t upperY = top + 10;
    const int32_t midX = (left + right) / 2;
    for (int32_t x = left - 3; x <= right + 3; ++x) {
        const bool inside = x >= left && x <= right;
        EXPECT_EQ(IsBlack(Pixel(x, upperY)), !inside) << "column " << x;
        // Bilinear sampling wraps at the side edges, as Direct3D's default addressing does.
        if (x > left && x < right) ExpectNear(Pixel(x, upperY), 255, 255, 255, 0, "upper half");
    }
    for (int32_t y = top - 3; y <= bottom + 3; ++y) {
        const bool inside = y >= top && y <= bottom;
        EXPECT_EQ(IsBlack(Pixel(midX, y)), !inside) << "row " << y;
    }
    ExpectNear(Pixel(midX, bottom - 10), 128, 128, 128, 0, "lower half");
}

TEST_F(GlDeviceTest, BilinearSamplingFollowsDirect3DTexelCentres)
{
    const int grey[4] = {0, 255, 64, 192};
    std::vector<uint32_t> texels;
    for (int g : grey) texels.push_back(0xFF000000u | static_cast<uint32_t>(g) * 0x010101u);
    RenderTexture* texture = MakeTexture(4, 1, texels);
    SetFilter(TextureFilterLinear);
    Clear(device, 0, nullptr, ClearTarget, 0, 0.0f, 0);
    BeginScene(device);
    DrawScreenQuad(texture, 99.5f, 99.5f, 355.5f, 109.5f);
    EndScene(device);
    PresentAndRead();

    for (int32_t x = 100; x < 356; ++x) {
        // Texel space: u * 4 - 0.5, wrapping at both ends (the default address mode).
        const double s = (x - 99.5) / 256.0 * 4.0 - 0.5;
        const double i0 = std::floor(s);
        const double f = s - i0;
        const int a = grey[(static_cast<int>(i0) + 4) % 4];
        const int b = grey[(static_cast<int>(i0) + 1) % 4];
        const double expected = a * (1.0 - f) + b * f;
        EXPECT_NEAR(Pixel(x, 104).g, expected, 2.0) << "column " << x;
    }
}

TEST_F(GlDeviceTest, SourceAlphaBlendingOfOverlappingQuads)
{
    RenderTexture* first = MakeTexture(1, 1, {0x80C86432u});   // alpha 128, (200, 100, 50)
    RenderTexture* second = MakeTexture(1, 1, {0x4014DC78u});  // alpha 64, (20, 220, 120)
    EnableSourceAlphaBlending();
    Clear(device, 0, nullptr, ClearTarget, 0x00102030u, 0.0f, 0);
    BeginScene(device);
    DrawScreenQuad(first, 99.5f, 99.5f, 299.5f, 199.5f);
    DrawScreenQuad(second, 199.5f, 99.5f, 399.5f, 199.5f);
    EndScene(device);
    PresentAndRead();

    const double a1 = 128.0 / 255.0;
    const double a2 = 64.0 / 255.0;
    const double background[3] = {0x10, 0x20, 0x30};
    const double one[3] = {200, 100, 50};
    const double two[3] = {20, 220, 120};
    double under[3], over[3], alone[3];
    for (int c = 0; c < 3; ++c) {
        under[c] = one[c] * a1 + background[c] * (1.0 - a1);
        over[c] = two[c] * a2 + under[c] * (1.0 - a2);
        alone[c] = two[c] * a2 + background[c] * (1.0 - a2);
    }
    const Rgba p1 = Pixel(150, 150), p2 = Pixel(250, 150), p3 = Pixel(350, 150);
    EXPECT_NEAR(p1.r, under[0], 2);
    EXPECT_NEAR(p1.g, under[1], 2);
    EXPECT_NEAR(p1.b, under[2], 2);
    EXPECT_NEAR(p2.r, over[0], 2);
    EXPECT_NEAR(p2.g, over[1], 2);
    EXPECT_NEAR(p2.b, over[2], 2);
    EXPECT_NEAR(p3.r, alone[0], 2);
    EXPECT_NEAR(p3.g, alone[1], 2);
    EXPECT_NEAR(p3.b, alone[2], 2);
}

TEST_F(GlDeviceTest, VertexColourComesFromMaterialAndAmbientWhenLit)
{
    RenderTexture* texture = MakeTexture(1, 1, {0xFFC8C8C8u});
    Matrix4 identity;
    IdentityMatrix(identity);
    SetTransform(device, TransformType::World, identity);
    SetTransform(device, TransformType::View, identity);
    SetTransform(device, TransformType::Projection, identity);
    Material material{};
    material.ambient[0] = 1.0f;
    material.ambient[1] = 0.5f;
    material.ambient[2] = 0.0f;
    material.emissive[2] = 0.25f;
    material.diffuse[3] = 1.0f;
    SetMaterial(device, material);
    SetRenderState(device, RenderStateType::Ambient, 0x00FF80FFu);
    Clear(device, 0, nullptr, ClearTarget, 0, 0.0f, 0);
    BeginScene(device);
    SetRenderState(device, RenderStateType::Lighting, 1);
    DrawWorldQuad(texture, -1.0f, 0.0f, 0.0f, 1.0f);  // top-left quarter, lit
    SetRenderState(device, RenderStateType::Lighting, 0);
    DrawWorldQuad(texture, 0.0f, 0.0f, 1.0f, 1.0f);  // top-right quarter, white
    SetRenderState(device, RenderStateType::Lighting, 1);
    DrawScreenQuad(texture, 0.0f, 600.0f, 100.0f, 700.0f);  // pretransformed: never lit
    SetTexture(device, 0, nullptr);
    DrawWorldQuad(nullptr, 0.0f, -1.0f, 1.0f, 0.0f);  // bottom-right quarter, no texture
    EndScene(device);
    PresentAndRead();

    // texel 200 modulated by (1 * 1 + 0, 0.5 * 128/255 + 0, 0 + 0.25)
    ExpectNear(Pixel(256, 192), 200, static_cast<int>(200 * 0.5 * 128.0 / 255.0 + 0.5), 50, 1,
               "lit");
    ExpectNear(Pixel(768, 192), 200, 200, 200, 1, "unlit");
    ExpectNear(Pixel(50, 650), 200, 200, 200, 1, "pretransformed");
    ExpectNear(Pixel(768, 576), 255, 64, 64, 1, "vertex colour alone");
}

TEST_F(GlDeviceTest, DefaultCullingDropsCounterClockwiseTrianglesAndCullNoneKeepsThem)
{
    RenderTexture* texture = MakeTexture(1, 1, {0xFFFFFFFFu});
    SetRenderState(device, RenderStateType::CullMode, CullCounterClockwise);  // the default
    Clear(device, 0, nullptr, ClearTarget, 0, 0.0f, 0);
    BeginScene(device);
    DrawScreenQuad(texture, 10.0f, 10.0f, 50.0f, 50.0f);    // clockwise on screen
    DrawScreenQuad(texture, 150.0f, 10.0f, 110.0f, 50.0f);  // mirrored: counter-clockwise
    SetRenderState(device, RenderStateType::CullMode, CullNone);
    DrawScreenQuad(texture, 250.0f, 10.0f, 210.0f, 50.0f);
    EndScene(device);
    PresentAndRead();
    EXPECT_FALSE(IsBlack(Pixel(30, 30)));
    EXPECT_TRUE(IsBlack(Pixel(130, 30)));
    EXPECT_FALSE(IsBlack(Pixel(230, 30)));
}

TEST_F(GlDeviceTest, DepthTestUsesDirect3DDepthOnlyWhenZIsEnabled)
{
    RenderTexture* red = MakeTexture(1, 1, {0xFFFF0000u});
    RenderTexture* green = MakeTexture(1, 1, {0xFF00FF00u});
    Clear(device, 0, nullptr, ClearTarget | ClearZBuffer, 0, 1.0f, 0);
    BeginScene(device);
    SetRenderState(device, RenderStateType::ZEnable, ZBufferTrue);
    DrawScreenQuad(red, 0.0f, 0.0f, 100.0f, 100.0f, 0, 0, 1, 1, 0.2f);
    DrawScreenQuad(green, 0.0f, 0.0f, 100.0f, 100.0f, 0, 0, 1, 1, 0.6f);  // behind: hidden
    DrawScreenQuad(green, 0.0f, 0.0f, 50.0f, 100.0f, 0, 0, 1, 1, 0.1f);   // in front
    SetRenderState(device, RenderStateType::ZEnable, ZBufferFalse);
    DrawScreenQuad(green, 200.0f, 0.0f, 300.0f, 100.0f, 0, 0, 1, 1, 0.6f);
    DrawScreenQuad(red, 200.0f, 0.0f, 300.0f, 100.0f, 0, 0, 1, 1, 0.9f);  // drawn last: wins
    EndScene(device);
    PresentAndRead();
    ExpectNear(Pixel(75, 50), 255, 0, 0, 0, "nearer red kept");
    ExpectNear(Pixel(25, 50), 0, 255, 0, 0, "nearest green");
    ExpectNear(Pixel(250, 50), 255, 0, 0, 0, "no depth test");
}
