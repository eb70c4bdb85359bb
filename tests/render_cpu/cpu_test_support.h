// A processor device of the saver's shape for unit tests, and the few drawing helpers they
// share. Frames are read back after Present, top row first, as red, green, blue, alpha.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "render/cpu/cpu_device.h"

struct Pixel {
    int r, g, b, a;
};

class CpuDeviceTest : public testing::Test {
protected:
    void SetUp() override { MakeDevice(Width, Height); }
    void TearDown() override;
    void MakeDevice(int32_t width, int32_t height);

    void PresentAndRead();
    Pixel At(int32_t x, int32_t y) const;
    bool Black(int32_t x, int32_t y) const;

    // A texture of A8R8G8B8 texels (0xAARRGGBB), rows top first.
    RenderTexture* MakeTexture(uint32_t width, uint32_t height,
                               const std::vector<uint32_t>& texels);
    // Pretransformed: two triangles over the pixel rectangle, as the overlay draws its glyphs.
    // With `split` each triangle is a draw call of its own, so they cannot pass for a
    // rectangle.
    void DrawScreenQuad(RenderTexture* texture, float x0, float y0, float x1, float y1,
                        float u0 = 0.0f, float v0 = 0.0f, float u1 = 1.0f, float v1 = 1.0f,
                        bool split = false);
    // World space through the transforms, as the saver draws a spot (v = 0 along the top).
    void DrawWorldQuad(RenderTexture* texture, float left, float bottom, float right, float top,
                       bool split = false);
    // Up to 16 vertices of a format, drawn as one triangle list.
    void DrawTriangles(uint32_t format, const float* vertices, uint32_t count,
                       RenderTexture* texture);
    void SetFilter(uint32_t filter);
    void BlendBySourceAlpha();
    // The saver's camera over a 4 x 3 world.
    void UseSaverCamera();

    static constexpr int32_t Width = 320;
    static constexpr int32_t Height = 240;
    int32_t width = 0;
    int32_t height = 0;
    RenderSystem* system = nullptr;
    RenderDevice* device = nullptr;
    RenderVertexBuffer* vertices = nullptr;
    std::vector<RenderTexture*> textures;
    std::vector<uint8_t> frame;
};

// The saver's present parameters for a full-screen back buffer.
PresentParameters FullScreenParameters(uint32_t width, uint32_t height);
