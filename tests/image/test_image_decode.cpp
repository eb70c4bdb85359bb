#include <gtest/gtest.h>

#include <stb_image.h>

#include <climits>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "image/embedded_images.h"
#include "image/image_decode.h"
#include "image/stb/pixel_bitmap.h"

namespace {

std::vector<uint8_t> ReadResourceFile(const std::string& name)
{
    std::ifstream in(std::string(TAVREL_RESOURCE_DIR) + "/" + name, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in),
                                std::istreambuf_iterator<char>());
}

uint32_t Le32(const std::vector<uint8_t>& b, size_t at)
{
    return b.at(at) | b.at(at + 1) << 8 | b.at(at + 2) << 16 | uint32_t(b.at(at + 3)) << 24;
}

void PutLe(std::vector<uint8_t>& b, size_t at, uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i) b[at + i] = uint8_t(value >> (8 * i));
}

// A 24-bit BI_RGB BMP file; rows given top first as 0xRRGGBB, stored bottom-up unless the
// height is negative.
std::vector<uint8_t> MakeBmp(int32_t width, int32_t height, const std::vector<uint32_t>& rgb)
{
    const int32_t rows = height < 0 ? -height : height;
    const uint32_t stride = (uint32_t(width) * 3 + 3) & ~3u;
    std::vector<uint8_t> file(54 + stride * rows, 0);
    file[0] = 'B';
    file[1] = 'M';
    PutLe(file, 2, uint32_t(file.size()), 4);
    PutLe(file, 10, 54, 4);
    PutLe(file, 14, 40, 4);
    PutLe(file, 18, uint32_t(width), 4);
    PutLe(file, 22, uint32_t(height), 4);
    PutLe(file, 26, 1, 2);
    PutLe(file, 28, 24, 2);
    for (int32_t y = 0; y < rows; ++y) {
        const int32_t stored = height < 0 ? y : rows - 1 - y;
        for (int32_t x = 0; x < width; ++x) {
            PutLe(file, 54 + stored * stride + 3 * x, rgb.at(y * width + x), 3);
        }
    }
    return file;
}

// Pixel (x, y from the top of the picture) of a decoded bitmap, as 0xRRGGBB plus the fourth
// byte on top.
uint32_t PictureAt(const ImageBitmap* bitmap, int32_t x, int32_t y)
{
    uint32_t p = 0;
    std::memcpy(&p, bitmap->pixels + (bitmap->height - 1 - y) * bitmap->rowBytes + 4 * x, 4);
    return p;
}

struct Decoded {
    ImageBitmap* bitmap = nullptr;
    explicit Decoded(ImageBitmap* b) : bitmap(b) {}
    ~Decoded() { DeleteBitmap(bitmap); }
    Decoded(const Decoded&) = delete;
    Decoded& operator=(const Decoded&) = delete;
};

ImageBitmap* Decode(const std::vector<uint8_t>& file, int32_t limit = 0)
{
    return DecodeImageBytes(file.data(), uint32_t(file.size()), limit);
}

}  // namespace

TEST(FitToPowerOfTwo, RoundsUpToAPowerOfTwoWithinTheLimit)
{
    const struct {
        int32_t v, limit, fitted;
    } cases[] = {{210, 0, 210},
                 {210, 256, 256},
                 {210, 128, 128},
                 {256, 512, 256},
                 {257, 1024, 512},
                 {3, 2, 2},
                 {0, 256, 0},
                 {1, 256, 1},
                 {2, 256, 2},
                 {255, 256, 256},
                 // The power above 2^30 is 2^31, past the 32-bit range: the limit must still win.
                 {0x40000001, INT32_MAX, INT32_MAX},
                 {INT32_MAX, 1 << 30, 1 << 30},
                 {-5, 256, -5},
                 {-5, 0, -5}};
    for (const auto& c : cases) {
        EXPECT_EQ(FitToPowerOfTwo(c.v, c.limit), c.fitted) << c.v << " within " << c.limit;
    }
}

TEST(ImageDecode, TheFontSheetIsA256By256UprightBitmap)
{
    Decoded sheet(LoadImageResource(0, FontSheetImageNumber, 0));
    ASSERT_NE(sheet.bitmap, nullptr);
    BitmapDescription d{};
    ASSERT_TRUE(GetBitmapDescription(sheet.bitmap, d));
    EXPECT_EQ(d.width, 256);
    EXPECT_EQ(d.height, 256);
    EXPECT_EQ(d.bitCount, 32u);
    ASSERT_EQ(sheet.bitmap->rowBytes, 1024u);

    // Pixel for pixel what the library itself gives, top row first, with our row order.
    int width = 0, height = 0, channels = 0;
    const std::vector<uint8_t> file = ReadResourceFile("font_sheet.gif");
    stbi_uc* rgba =
        stbi_load_from_memory(file.data(), int(file.size()), &width, &height, &channels, 4);
    ASSERT_NE(rgba, nullptr);
    int mismatches = 0;
    for (int32_t y = 0; y < 256; ++y) {
        for (int32_t x = 0; x < 256; ++x) {
            const stbi_uc* p = rgba + 4 * (y * 256 + x);
            mismatches += PictureAt(sheet.bitmap, x, y) != uint32_t(p[0] << 16 | p[1] << 8 | p[2]);
        }
    }
    stbi_image_free(rgba);
    EXPECT_EQ(mismatches, 0);
}

TEST(ImageDecode, TheLogoKeepsItsSizeAndItsRowsBottomUpLikeTheFile)
{
    Decoded logo(LoadImageResource(0, LogoImageNumber, 0));
    ASSERT_NE(logo.bitmap, nullptr);
    ASSERT_EQ(logo.bitmap->width, 226);
    ASSERT_EQ(logo.bitmap->height, 79);
    ASSERT_EQ(logo.bitmap->bitCount, 32u);

    // The BMP stores its bottom row first too: memory row r is file row r, pixel for pixel.
    const std::vector<uint8_t> file = ReadResourceFile("logo.bmp");
    const uint32_t offset = Le32(file, 10);
    const uint32_t stride = (226 * 3 + 3) & ~3u;
    int mismatches = 0;
    for (uint32_t r = 0; r < 79; ++r) {
        for (uint32_t x = 0; x < 226; ++x) {
            const uint8_t* in = &file.at(offset + r * stride + 3 * x);
            const uint8_t* out = logo.bitmap->pixels + r * logo.bitmap->rowBytes + 4 * x;
            mismatches += in[0] != out[0] || in[1] != out[1] || in[2] != out[2] || out[3] != 0;
        }
    }
    EXPECT_EQ(mismatches, 0);
}

TEST(ImageDecode, UnknownResourcesAndEmptyInputsGiveNone)
{
    EXPECT_EQ(LoadImageResource(0, 3000, 0), nullptr);
    EXPECT_EQ(LoadImageResource(0, 0, 0), nullptr);
    EXPECT_EQ(DecodeImageBytes(nullptr, 100, 0), nullptr);
    const uint8_t byte = 'B';
    EXPECT_EQ(DecodeImageBytes(&byte, 0, 0), nullptr);
}

TEST(ImageDecode, TopDownAndBottomUpFilesGiveTheSameUprightPicture)
{
    const std::vector<uint32_t> rgb = {0xFF0000, 0x00FF00, 0x0000FF,   // top row
                                       0x102030, 0x405060, 0xFFFFFF};  // bottom row
    for (const int32_t height : {2, -2}) {
        Decoded picture(Decode(MakeBmp(3, height, rgb)));
        ASSERT_NE(picture.bitmap, nullptr) << height;
        ASSERT_EQ(picture.bitmap->width, 3);
        ASSERT_EQ(picture.bitmap->height, 2);
        for (int32_t y = 0; y < 2; ++y) {
            for (int32_t x = 0; x < 3; ++x) {
                EXPECT_EQ(PictureAt(picture.bitmap, x, y), rgb[y * 3 + x]) << x << "," << y;
            }
        }
    }
}

TEST(ImageDecode, ALimitStretchesToPowersOfTwoByTheNearestPixel)
{
    const std::vector<uint32_t> rgb = {0x000001, 0x000002, 0x000003, 0x000004, 0x000005, 0x000006};
    const std::vector<uint8_t> file = MakeBmp(3, 2, rgb);
    {
        Decoded wide(Decode(file, 4));  // 3 x 2 -> 4 x 2
        ASSERT_NE(wide.bitmap, nullptr);
        ASSERT_EQ(wide.bitmap->width, 4);
        ASSERT_EQ(wide.bitmap->height, 2);
        const uint32_t top[4] = {1, 2, 2, 3};
        for (int32_t x = 0; x < 4; ++x) {
            EXPECT_EQ(PictureAt(wide.bitmap, x, 0), top[x]) << x;
            EXPECT_EQ(PictureAt(wide.bitmap, x, 1), top[x] + 3) << x;
        }
    }
    Decoded small(Decode(file, 1));  // 1 x 1: the pixel under its centre
    ASSERT_NE(small.bitmap, nullptr);
    ASSERT_EQ(small.bitmap->width, 1);
    ASSERT_EQ(small.bitmap->height, 1);
    EXPECT_EQ(PictureAt(small.bitmap, 0, 0), 5u);
}

TEST(ImageDecode, DamagedOrTruncatedFilesGiveNoneOrAWholePicture)
{
    for (const char* name : {"font_sheet.gif", "logo.bmp"}) {
        SCOPED_TRACE(name);
        const std::vector<uint8_t> file = ReadResourceFile(name);
        ASSERT_GT(file.size(), 1000u);
        // Every cut into the picture gives none: the decoder must not fill the missing part
        // with black. (Only a GIF's closing byte is not needed.)
        for (size_t length = 0; length + 1 < file.size(); length += length < 64 ? 1 : 251) {
            ImageBitmap* bitmap = DecodeImageBytes(file.data(), uint32_t(length), 0);
            EXPECT_EQ(bitmap, nullptr) << "cut at " << length;
            DeleteBitmap(bitmap);
        }
        // A changed byte may still be a picture, but one of a size that fits the file.
        for (size_t at = 0; at < file.size(); at += at < 64 ? 1 : 97) {
            for (const uint8_t value : {uint8_t(0x00), uint8_t(0xFF), uint8_t(file[at] ^ 0x55)}) {
                std::vector<uint8_t> damaged = file;
                damaged[at] = value;
                Decoded picture(Decode(damaged));
                if (picture.bitmap != nullptr) {
                    EXPECT_EQ(picture.bitmap->bitCount, 32u);
                    EXPECT_GT(picture.bitmap->width, 0);
                    EXPECT_GT(picture.bitmap->height, 0);
                }
            }
        }
    }
}

TEST(ImageDecode, AHeaderClaimingAHugePictureIsRefusedBeforeDecoding)
{
    std::vector<uint8_t> file = MakeBmp(4, 4, std::vector<uint32_t>(16, 0x808080));
    const struct {
        uint32_t width, height;
    } claims[] = {{20000, 20000}, {5000, 5000}, {0x7FFFFFFF, 1}, {1, 0x80000000}, {0, 4}};
    for (const auto& claim : claims) {
        PutLe(file, 18, claim.width, 4);
        PutLe(file, 22, claim.height, 4);
        ImageBitmap* bitmap = Decode(file);
        EXPECT_EQ(bitmap, nullptr) << claim.width << " x " << claim.height;
        DeleteBitmap(bitmap);
    }
    // Garbage that is no picture at all.
    EXPECT_EQ(Decode(std::vector<uint8_t>(300, 0xFF)), nullptr);
    EXPECT_EQ(Decode({'G', 'I', 'F', '8', '7', 'a'}), nullptr);
}

TEST(PixelBitmaps, ThePixelPassNeedsA32BitBitmapOfExactlyTheGivenSize)
{
    ImageBitmap* bitmap = CreatePixelBitmap(2, 2, 32);
    ImageBitmap* deep24 = CreatePixelBitmap(2, 2, 24);
    const uint32_t in[4] = {0x00102030, 0x00405060, 0x00708090, 0x00A0B0C0};
    uint32_t out[4] = {};
    EXPECT_TRUE(WriteBitmapPixels(bitmap, 2, 2, in));
    EXPECT_EQ(bitmap->pixels[4], 0x60);  // blue first
    EXPECT_TRUE(ReadBitmapPixels(bitmap, 2, 2, out));
    EXPECT_EQ(std::memcmp(in, out, sizeof in), 0);
    // The fourth byte is no colour: read as 0, so black reads as 0 whatever a decoder left there.
    for (int i = 3; i < 16; i += 4) bitmap->pixels[i] = 0xFF;
    EXPECT_TRUE(ReadBitmapPixels(bitmap, 2, 2, out));
    EXPECT_EQ(std::memcmp(in, out, sizeof in), 0);
    EXPECT_FALSE(ReadBitmapPixels(bitmap, 4, 1, out));
    EXPECT_FALSE(ReadBitmapPixels(nullptr, 2, 2, out));
    EXPECT_FALSE(WriteBitmapPixels(deep24, 2, 2, in));
    DeleteBitmap(bitmap);
    DeleteBitmap(deep24);
    EXPECT_EQ(bitmap, nullptr);
    EXPECT_EQ(CreatePixelBitmap(65536, 65536, 32), nullptr);
}
