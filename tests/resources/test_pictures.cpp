#include <gtest/gtest.h>

#include <stb_image.h>

#include <algorithm>
#include <cstring>
#include <set>

#include "image/embedded_images.h"
#include "resource_files.h"

TEST(Logo, IsAnUncompressed24BitBottomUpBmpOf226By79)
{
    const std::vector<uint8_t> file = ReadResourceFile("logo.bmp");
    ASSERT_GE(file.size(), 54u);
    EXPECT_EQ(file[0], 'B');
    EXPECT_EQ(file[1], 'M');
    EXPECT_EQ(ReadLe32(file, 2), file.size());
    EXPECT_EQ(ReadLe32(file, 14), 40u);  // BITMAPINFOHEADER
    EXPECT_EQ(ReadLe32(file, 18), 226u);
    EXPECT_EQ(ReadLe32(file, 22), 79u);  // positive: bottom row first
    EXPECT_EQ(ReadLe16(file, 26), 1u);
    EXPECT_EQ(ReadLe16(file, 28), 24u);
    EXPECT_EQ(ReadLe32(file, 30), 0u);  // BI_RGB
    const uint32_t stride = (226 * 3 + 3) & ~3u;
    EXPECT_EQ(ReadLe32(file, 10) + stride * 79, file.size());

    int w = 0, h = 0, channels = 0;
    stbi_uc* rgb =
        stbi_load_from_memory(file.data(), static_cast<int>(file.size()), &w, &h, &channels, 3);
    ASSERT_NE(rgb, nullptr) << stbi_failure_reason();
    EXPECT_EQ(w, 226);
    EXPECT_EQ(h, 79);
    EXPECT_EQ(channels, 3);
    // Something is drawn: a dark ground and a light name, in many shades.
    std::set<uint32_t> colours;
    int darkest = 255 * 3, lightest = 0;
    for (int i = 0; i < w * h; ++i) {
        const stbi_uc* p = rgb + 3 * i;
        colours.insert(p[0] << 16 | p[1] << 8 | p[2]);
        darkest = std::min(darkest, p[0] + p[1] + p[2]);
        lightest = std::max(lightest, p[0] + p[1] + p[2]);
    }
    stbi_image_free(rgb);
    EXPECT_LT(darkest, 150);
    EXPECT_GT(lightest, 600);
    EXPECT_GT(colours.size(), 1000u);
}

TEST(Icon, HoldsSizes16To256AsRoundedTilesWithTransparentCorners)
{
    const std::vector<uint8_t> file = ReadResourceFile("tavrel.ico");
    ASSERT_GE(file.size(), 6u);
    EXPECT_EQ(ReadLe16(file, 0), 0u);
    EXPECT_EQ(ReadLe16(file, 2), 1u);  // icon, not cursor
    const uint32_t count = ReadLe16(file, 4);
    std::set<uint32_t> sizes;
    for (uint32_t n = 0; n < count; ++n) {
        const size_t entry = 6 + 16 * n;
        const uint32_t side = file.at(entry) == 0 ? 256 : file.at(entry);
        SCOPED_TRACE(side);
        sizes.insert(side);
        EXPECT_EQ(file.at(entry + 1), file.at(entry));
        EXPECT_EQ(ReadLe16(file, entry + 6), 32u);
        const uint32_t length = ReadLe32(file, entry + 8);
        const uint32_t offset = ReadLe32(file, entry + 12);
        ASSERT_LE(size_t{offset} + length, file.size());

        // Alpha of the top-left corner and of the centre, read from either stored form.
        uint32_t cornerAlpha = 0, centreAlpha = 0;
        if (std::memcmp(&file[offset], "\x89PNG", 4) == 0) {
            int w = 0, h = 0, channels = 0;
            stbi_uc* rgba = stbi_load_from_memory(&file[offset], static_cast<int>(length), &w, &h,
                                                  &channels, 4);
            ASSERT_NE(rgba, nullptr) << stbi_failure_reason();
            ASSERT_EQ(w, static_cast<int>(side));
            ASSERT_EQ(h, static_cast<int>(side));
            cornerAlpha = rgba[3];
            centreAlpha = rgba[(side / 2 * side + side / 2) * 4 + 3];
            stbi_image_free(rgba);
        } else {
            EXPECT_EQ(ReadLe32(file, offset), 40u);
            EXPECT_EQ(ReadLe32(file, offset + 4), side);
            EXPECT_EQ(ReadLe32(file, offset + 8), 2 * side);  // colour rows and mask rows
            EXPECT_EQ(ReadLe16(file, offset + 14), 32u);
            const size_t maskStride = (side + 31) / 32 * 4;
            ASSERT_EQ(length, 40 + side * side * 4 + maskStride * side);
            const size_t pixels = offset + 40;
            const size_t topRow = pixels + (side - 1) * side * 4;  // rows stored bottom-up
            cornerAlpha = file[topRow + 3];
            centreAlpha = file[pixels + (side / 2 * side + side / 2) * 4 + 3];
            // The mask marks the corner transparent for systems that ignore alpha.
            const size_t maskTopRow = pixels + side * side * 4 + (side - 1) * maskStride;
            EXPECT_TRUE(file[maskTopRow] & 0x80);
        }
        EXPECT_LT(cornerAlpha, 16u);  // the rounding may graze the corner pixel at 16 x 16
        EXPECT_EQ(centreAlpha, 255u);
    }
    EXPECT_EQ(sizes, (std::set<uint32_t>{16, 32, 48, 256}));
}

TEST(EmbeddedImages, HoldTheCommittedFilesByNumber)
{
    const struct {
        uint32_t number;
        const char* file;
    } images[] = {{LogoImageNumber, "logo.bmp"}, {FontSheetImageNumber, "font_sheet.gif"}};
    for (const auto& image : images) {
        SCOPED_TRACE(image.file);
        const std::vector<uint8_t> file = ReadResourceFile(image.file);
        ASSERT_FALSE(file.empty());
        const uint8_t* bytes = nullptr;
        uint32_t size = 0;
        ASSERT_TRUE(FindEmbeddedImage(image.number, bytes, size));
        ASSERT_EQ(size, file.size());
        EXPECT_EQ(std::memcmp(bytes, file.data(), size), 0);
    }
}

TEST(EmbeddedImages, UnknownNumbersGiveNothing)
{
    for (uint32_t number : {0u, 100u, 999u, 1001u, 1999u, 2001u, 0xFFFFFFFFu}) {
        const uint8_t dummy = 0;
        const uint8_t* bytes = &dummy;
        uint32_t size = 7;
        EXPECT_FALSE(FindEmbeddedImage(number, bytes, size)) << number;
        EXPECT_EQ(bytes, nullptr);
        EXPECT_EQ(size, 0u);
    }
}
