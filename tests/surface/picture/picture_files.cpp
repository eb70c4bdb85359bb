#include "picture_files.h"

#include <algorithm>
#include <fstream>
#include <iterator>

#include <stb_image_write.h>

namespace {

void Append(void* context, void* data, int size)
{
    auto* out = static_cast<std::vector<uint8_t>*>(context);
    const auto* bytes = static_cast<const uint8_t*>(data);
    out->insert(out->end(), bytes, bytes + size);
}

void Put16(std::vector<uint8_t>& out, int32_t value)
{
    out.push_back(static_cast<uint8_t>(value & 0xFF));
    out.push_back(static_cast<uint8_t>((value >> 8) & 0xFF));
}

}  // namespace

RgbPicture MakeGradientPicture(int32_t width, int32_t height)
{
    RgbPicture picture{width, height, {}};
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x) {
            picture.rgb.push_back(static_cast<uint8_t>(x * 37 + 11));
            picture.rgb.push_back(static_cast<uint8_t>(y * 53 + 7));
            picture.rgb.push_back(static_cast<uint8_t>(x * 5 + y * 19 + 101));
        }
    }
    return picture;
}

std::vector<uint8_t> EncodePngChannels(int32_t width, int32_t height, int32_t channels,
                                       const std::vector<uint8_t>& pixels)
{
    std::vector<uint8_t> out;
    stbi_write_png_to_func(Append, &out, width, height, channels, pixels.data(), width * channels);
    return out;
}

std::vector<uint8_t> EncodePng(const RgbPicture& picture)
{
    return EncodePngChannels(picture.width, picture.height, 3, picture.rgb);
}

std::vector<uint8_t> EncodeBmp(const RgbPicture& picture)
{
    std::vector<uint8_t> out;
    stbi_write_bmp_to_func(Append, &out, picture.width, picture.height, 3, picture.rgb.data());
    return out;
}

std::vector<uint8_t> EncodeJpeg(const RgbPicture& picture)
{
    std::vector<uint8_t> out;
    stbi_write_jpg_to_func(Append, &out, picture.width, picture.height, 3, picture.rgb.data(), 100);
    return out;
}

std::vector<uint8_t> EncodeGif(int32_t width, int32_t height, const uint8_t (&palette)[4][3],
                               const std::vector<uint8_t>& indices)
{
    std::vector<uint8_t> out = {'G', 'I', 'F', '8', '9', 'a'};
    Put16(out, width);
    Put16(out, height);
    out.push_back(0x91);  // global colour table of 4 entries
    out.push_back(0);     // background
    out.push_back(0);     // aspect
    for (const auto& entry : palette) out.insert(out.end(), entry, entry + 3);
    out.push_back(0x2C);  // image descriptor
    Put16(out, 0);
    Put16(out, 0);
    Put16(out, width);
    Put16(out, height);
    out.push_back(0);
    out.push_back(2);  // LZW minimum code size

    // Codes of 3 bits: 4 clears the table, 5 ends. A clear before every second pixel keeps the
    // table from growing to where the code width would change.
    std::vector<uint8_t> data;
    uint32_t bits = 0;
    int count = 0;
    const auto emit = [&](uint32_t code) {
        bits |= code << count;
        count += 3;
        while (count >= 8) {
            data.push_back(static_cast<uint8_t>(bits & 0xFF));
            bits >>= 8;
            count -= 8;
        }
    };
    for (size_t i = 0; i < indices.size(); ++i) {
        if (i % 2 == 0) emit(4);
        emit(indices[i]);
    }
    emit(5);
    if (count > 0) data.push_back(static_cast<uint8_t>(bits & 0xFF));

    for (size_t at = 0; at < data.size(); at += 255) {
        const size_t length = std::min<size_t>(255, data.size() - at);
        out.push_back(static_cast<uint8_t>(length));
        out.insert(out.end(), data.begin() + at, data.begin() + at + length);
    }
    out.push_back(0);     // end of the image data
    out.push_back(0x3B);  // trailer
    return out;
}

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

std::vector<uint8_t> ReadBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in),
                                std::istreambuf_iterator<char>());
}
