#include <gtest/gtest.h>

#include <stb_image.h>

#include <algorithm>
#include <cstring>
#include <set>

#include "render/glyph_table.h"
#include "resource_files.h"

namespace {

// The committed sheet as grey levels, decoded by a library rather than by us.
struct GreySheet {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> grey;
    bool allGrey = true;  // every pixel had equal red, green and blue, and was opaque

    uint8_t At(int x, int y) const { return grey[static_cast<size_t>(y) * width + x]; }
};

GreySheet DecodeSheet()
{
    const std::vector<uint8_t> file = ReadResourceFile("font_sheet.gif");
    GreySheet sheet;
    int channels = 0;
    stbi_uc* rgba = stbi_load_from_memory(file.data(), static_cast<int>(file.size()), &sheet.width,
                                          &sheet.height, &channels, 4);
    if (!rgba) return sheet;
    const size_t count = static_cast<size_t>(sheet.width) * sheet.height;
    sheet.grey.resize(count);
    for (size_t i = 0; i < count; ++i) {
        const stbi_uc* p = rgba + 4 * i;
        sheet.grey[i] = p[0];
        if (p[1] != p[0] || p[2] != p[0] || p[3] != 255) sheet.allGrey = false;
    }
    stbi_image_free(rgba);
    return sheet;
}

bool IsBlank(uint32_t code)
{
    return code == ' ' || code == '^' || code == '|';
}

class FontSheet : public testing::Test {
protected:
    static void SetUpTestSuite() { sheet = new GreySheet(DecodeSheet()); }
    static void TearDownTestSuite()
    {
        delete sheet;
        sheet = nullptr;
    }
    static GreySheet* sheet;
};
GreySheet* FontSheet::sheet = nullptr;

}  // namespace

TEST_F(FontSheet, IsA256By256Gif87aOfAntiAliasedGreys)
{
    const std::vector<uint8_t> file = ReadResourceFile("font_sheet.gif");
    ASSERT_GE(file.size(), 6u);
    EXPECT_EQ(std::memcmp(file.data(), "GIF87a", 6), 0);
    ASSERT_EQ(sheet->width, 256);
    ASSERT_EQ(sheet->height, 256);
    EXPECT_TRUE(sheet->allGrey);
    const std::set<uint8_t> levels(sheet->grey.begin(), sheet->grey.end());
    EXPECT_TRUE(levels.count(255)) << "no glyph is drawn in full white";
    EXPECT_GT(levels.size(), 64u) << "glyph edges are not anti-aliased";
}

TEST_F(FontSheet, InkLiesOnlyInsideTheCellsOfTheTable)
{
    ASSERT_EQ(sheet->width, 256);
    std::vector<bool> inCell(256 * 256, false);
    for (const GlyphEntry& e : GlyphTable) {
        for (uint32_t y = e.top; y < e.top + GlyphHeight; ++y) {
            for (uint32_t x = e.left; x < e.right; ++x) inCell[y * 256 + x] = true;
        }
    }
    int strays = 0;
    for (int y = 0; y < 256; ++y) {
        for (int x = 0; x < 256; ++x) {
            if (!inCell[y * 256 + x] && sheet->At(x, y) != 0 && ++strays <= 5) {
                ADD_FAILURE() << "ink outside every cell at (" << x << ", " << y << ")";
            }
        }
    }
    EXPECT_EQ(strays, 0);
}

TEST_F(FontSheet, ColumnsJustOutsideEachCellAreBlack)
{
    ASSERT_EQ(sheet->width, 256);
    for (uint32_t i = 0; i < GlyphCount; ++i) {
        const GlyphEntry& e = GlyphTable[i];
        for (uint32_t y = e.top; y < e.top + GlyphHeight; ++y) {
            if (e.left > 0) {
                EXPECT_EQ(sheet->At(e.left - 1, y), 0)
                    << "code " << i + FirstGlyphCode << " row " << y;
            }
            // right is a byte, so the column at right always exists.
            EXPECT_EQ(sheet->At(e.right, y), 0) << "code " << i + FirstGlyphCode << " row " << y;
        }
    }
}

TEST_F(FontSheet, EveryGlyphButTheBlanksIsDrawnAndTheBlankStripIsEmpty)
{
    ASSERT_EQ(sheet->width, 256);
    for (uint32_t code = FirstGlyphCode; code < FirstGlyphCode + GlyphCount; ++code) {
        const GlyphEntry& e = LookUpGlyph(code);
        uint8_t brightest = 0;
        for (uint32_t y = e.top; y < e.top + GlyphHeight; ++y) {
            for (uint32_t x = e.left; x < e.right; ++x) {
                brightest = std::max(brightest, sheet->At(x, y));
            }
        }
        if (IsBlank(code)) {
            EXPECT_EQ(brightest, 0) << "blank glyph " << code << " has ink";
        } else {
            EXPECT_GE(brightest, 192) << "glyph " << code << " is missing or faint";
        }
    }
}

TEST_F(FontSheet, FlatBottomedGlyphsOfEveryRowShareOneBaseline)
{
    ASSERT_EQ(sheet->width, 256);
    // Glyphs from all eight sheet rows that stand on the baseline with a flat foot: a line of
    // text mixes rows, so their last inked rows must agree.
    auto lastInkedRow = [&](char c) {
        const GlyphEntry& e = LookUpGlyph(static_cast<uint8_t>(c));
        int last = -1;
        for (uint32_t y = 0; y < GlyphHeight; ++y) {
            for (uint32_t x = e.left; x < e.right; ++x) {
                if (sheet->At(x, e.top + y) >= 128) last = static_cast<int>(y);
            }
        }
        return last;
    };
    const int baseline = lastInkedRow('H');
    ASSERT_GT(baseline, 0);
    for (char c : {'1', '.', ':', 'L', 'Z', 'i', 'x', 'z'}) {
        EXPECT_EQ(lastInkedRow(c), baseline) << c;
    }
}
