#include <gtest/gtest.h>

#include <algorithm>

#include "render/glyph_table.h"

namespace {

constexpr uint32_t RowTops[] = {7, 36, 65, 94, 123, 152, 181, 210};

const GlyphEntry& EntryOf(char c)
{
    return GlyphTable[static_cast<uint8_t>(c) - FirstGlyphCode];
}

bool InBlankStrip(const GlyphEntry& e)
{
    return e.top == RowTops[0] && e.right <= 7;
}

}  // namespace

TEST(GlyphTable, EveryCellLiesOnASheetRowInsideTheSheet)
{
    for (uint32_t i = 0; i < GlyphCount; ++i) {
        const GlyphEntry& e = GlyphTable[i];
        SCOPED_TRACE(i + FirstGlyphCode);
        EXPECT_TRUE(std::find(std::begin(RowTops), std::end(RowTops), e.top) != std::end(RowTops));
        EXPECT_LT(e.left, e.right);
        EXPECT_LE(e.right, FontSheetSize);
        EXPECT_LE(e.top + GlyphHeight, FontSheetSize);
    }
}

TEST(GlyphTable, BlankGlyphsPointIntoTheEmptyStrip)
{
    // The clock blinks by swapping ':' for '|', so both must advance the pen alike.
    EXPECT_EQ(EntryOf('|').right - EntryOf('|').left, EntryOf(':').right - EntryOf(':').left);
    for (char c : {' ', '^', '|'}) {
        SCOPED_TRACE(c);
        EXPECT_TRUE(InBlankStrip(EntryOf(c)));
    }
    for (uint32_t i = 0; i < GlyphCount; ++i) {
        const char c = static_cast<char>(i + FirstGlyphCode);
        if (c != ' ' && c != '^' && c != '|') {
            EXPECT_FALSE(InBlankStrip(GlyphTable[i])) << i;
        }
    }
}

TEST(GlyphTable, DrawnCellsKeepBlackColumnsBetweenThem)
{
    for (uint32_t i = 0; i < GlyphCount; ++i) {
        for (uint32_t j = i + 1; j < GlyphCount; ++j) {
            const GlyphEntry& a = GlyphTable[i];
            const GlyphEntry& b = GlyphTable[j];
            if (InBlankStrip(a) || InBlankStrip(b) || a.top != b.top) continue;
            // Each cell widened by its border column on either side must stay clear of the other.
            EXPECT_TRUE(a.right + 1 <= b.left || b.right + 1 <= a.left)
                << "codes " << i + FirstGlyphCode << " and " << j + FirstGlyphCode;
        }
    }
}

TEST(LookUpGlyph, GivesTheTableEntryInRangeAndTheSpaceOutside)
{
    for (uint32_t code = FirstGlyphCode; code < FirstGlyphCode + GlyphCount; ++code) {
        EXPECT_EQ(&LookUpGlyph(code), &GlyphTable[code - FirstGlyphCode]);
    }
    for (uint32_t code : {0u, 31u, 130u, 255u, 0x80000000u, 0xFFFFFFFFu}) {
        EXPECT_EQ(&LookUpGlyph(code), &EntryOf(' ')) << code;
    }
}
