// Pictures made in memory for the tests: PNG, BMP and JPEG through stb_image_write, and GIF by
// a small encoder of our own (stb writes no GIF).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Top row first, 3 bytes a pixel: red, green, blue.
struct RgbPicture {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint8_t> rgb;
};

// Every pixel a different colour: red from the column, green from the row, blue from both.
RgbPicture MakeGradientPicture(int32_t width, int32_t height);

std::vector<uint8_t> EncodePng(const RgbPicture& picture);
std::vector<uint8_t> EncodeBmp(const RgbPicture& picture);
std::vector<uint8_t> EncodeJpeg(const RgbPicture& picture);
// PNG with `channels` bytes a pixel (1 grey, 2 grey and alpha, 3 RGB, 4 RGBA).
std::vector<uint8_t> EncodePngChannels(int32_t width, int32_t height, int32_t channels,
                                       const std::vector<uint8_t>& pixels);
// A GIF of up to four colours: palette holds 4 RGB triples, indices one byte a pixel.
std::vector<uint8_t> EncodeGif(int32_t width, int32_t height, const uint8_t (&palette)[4][3],
                               const std::vector<uint8_t>& indices);

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes);
std::vector<uint8_t> ReadBytes(const std::string& path);
