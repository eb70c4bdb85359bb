// The processor back end's pixel loops: spans of 0xAARRGGBB sources onto a frame of 0x..RRGGBB
// words, each channel out = src * a + dst * (1 - a) rounded to nearest (a = alpha / 255).
#pragma once

#include <cstdint>

namespace cpu {

// The frame under these pixels is black: out = src * a.
void WriteOverBlack(const uint32_t* source, uint32_t* frame, int32_t count);
void BlendOver(const uint32_t* source, uint32_t* frame, int32_t count);

// The same for one pixel: the reference the span loops agree with bit for bit.
uint32_t BlendPixel(uint32_t source, uint32_t frame);

}  // namespace cpu
