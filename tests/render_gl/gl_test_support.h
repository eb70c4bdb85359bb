// A real OpenGL device of the saver's shape for pixel tests, and the few drawing helpers they
// share. Frames are read back after Present, top row first.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <vector>

#include "render/device.h"
#include "render/gl/gl_device.h"
#include "support/posix/loaded_libraries.h"
#include "support/vecmath.h"

struct Rgba {
    int r, g, b, a;
};

void ExpectNear(const Rgba& p, int r, int g, int b, int tolerance, const char* where);
bool IsBlack(const Rgba& p);

struct ScreenPoint {
    double x, y;
};

// Where Direct3D puts a world point of the z = 0 plane: row vector times world * view *
// projection, division by w, then the viewport mapping with pixel centres on integers.
ScreenPoint ProjectLikeDirect3D(const Matrix4& m, double x, double y, int32_t width,
                                int32_t height);
// Pixel centres covered from edge a (included) to edge b (excluded), the top-left rule.
void CoveredRange(double a, double b, int32_t& first, int32_t& last);

class GlDeviceTest : public testing::Test {
protected:
    static constexpr int32_t Width = 1024;
    static constexpr int32_t Height = 768;

    void SetUp() override;
    void TearDown() override;

    // Presents and reads the frame back.
    void PresentAndRead();
    // Reads back what the last Present showed.
    void ReadFrame();
    Rgba Pixel(int32_t x, int32_t y) const;

    // A texture of A8R8G8B8 texels (0xAARRGGBB), rows top first, written at the lock's pitch.
    RenderTexture* MakeTexture(uint32_t width, uint32_t height,
                               const std::vector<uint32_t>& texels);
    // Two triangles of pretransformed vertices over the pixel rectangle (x0, y0)-(x1, y1).
    void DrawScreenQuad(RenderTexture* texture, float x0, float y0, float x1, float y1,
                        float u0 = 0.0f, float v0 = 0.0f, float u1 = 1.0f, float v1 = 1.0f,
                        float z = 0.0f);
    // A world-space quad in the saver's vertex layout, v = 0 along the top edge.
    void DrawWorldQuad(RenderTexture* texture, float left, float bottom, float right, float top,
                       float z = 0.0f);
    // Six vertices of `bytes` in all, in `format`, into `buffer`, drawn as two triangles.
    void DrawQuad(RenderVertexBuffer* buffer, uint32_t format, const void* vertices, uint32_t bytes,
                  RenderTexture* texture);
    void SetFilter(uint32_t filter);
    void EnableSourceAlphaBlending();

    RenderSystem* system = nullptr;
    RenderDevice* device = nullptr;
    RenderVertexBuffer* screenQuad = nullptr;
    RenderVertexBuffer* worldQuad = nullptr;
    std::vector<RenderTexture*> textures;
    std::vector<uint8_t> frame;
};

// The saver's present parameters for a full-screen back buffer.
PresentParameters SaverPresentParameters(uint32_t width, uint32_t height);
