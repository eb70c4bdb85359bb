// The pictures a non-Windows build carries inside the program, found by their resource numbers.
// Windows builds keep the same files as resources of type "IMAGE" and have no such lookup.
#pragma once

#include <cstdint>

inline constexpr uint32_t LogoImageNumber = 1000;       // 24-bit BMP, 226 x 79
inline constexpr uint32_t FontSheetImageNumber = 2000;  // GIF87a, 256 x 256

// Points bytes at the stored file of picture `number` and sets size to its length in bytes.
// An unknown number gives false, with bytes null and size 0.
bool FindEmbeddedImage(uint32_t number, const uint8_t*& bytes, uint32_t& size);
