// Where each character's picture lies in the font sheet (image 2000), a 256 x 256 picture of
// white glyphs on black in eight rows of GlyphHeight pixels.
#pragma once

#include <cstdint>

// A glyph occupies rows top .. top + GlyphHeight - 1 and the columns from left up to, not
// including, right. It is drawn right - left texels wide, so the blank columns inside the cell
// are the only spacing between characters.
struct GlyphEntry {
    uint8_t top;
    uint8_t left;
    uint8_t right;
};

inline constexpr uint32_t FontSheetSize = 256;
inline constexpr uint32_t GlyphHeight = 29;
inline constexpr uint32_t FirstGlyphCode = 32;
inline constexpr uint32_t GlyphCount = 98;  // codes 32 to 129; 127..129 are (C), (R) and TM

// Entry c - FirstGlyphCode belongs to character code c.
extern const GlyphEntry GlyphTable[GlyphCount];

// The entry of a character code; a code the table does not have gets the space's entry, so a
// stray byte draws as a gap instead of reading outside the table.
const GlyphEntry& LookUpGlyph(uint32_t code);
