// Screen pixels as an X server hands them out (a ZPixmap image of a TrueColor visual), turned
// into the 24-bit bottom-up snapshot that the grey rule reads. Free of X11 itself, so that the
// conversion can be checked against every layout a server may use.
#pragma once

#include <cstdint>
#include <string>

#include "surface/picture/desktop_source.h"

struct ScreenPixelLayout {
    uint32_t bitsPerPixel = 32;         // of the image: 16, 24 or 32 can be read
    bool mostSignificantFirst = false;  // the image's byte order (MSBFirst)
    uint32_t redMask = 0x00FF0000u;     // the visual's channel masks
    uint32_t greenMask = 0x0000FF00u;
    uint32_t blueMask = 0x000000FFu;
};

// False, with a reason of one line, for a layout these pixels cannot be read in: another pixel
// size, a mask that is empty, not one run of bits, wider than 16 bits or beyond the pixel,
// or masks that overlap. Bits outside the three masks (alpha, padding) are ignored.
bool CanReadScreenPixels(const ScreenPixelLayout& layout, std::string& reason);

// The image's rows, top row first and bytesPerLine apart, into snapshot (replaced): blue,
// green, red bytes, bottom row first, rows SnapshotStride(width) apart. Each channel is scaled
// to 8 bits, rounding to nearest (a 5-bit 31 and a 10-bit 1023 are both 255). False, with the
// snapshot empty, for a layout CanReadScreenPixels refuses, an empty size or rows too short.
bool ScreenPixelsToSnapshot(const uint8_t* rows, int32_t width, int32_t height,
                            int32_t bytesPerLine, const ScreenPixelLayout& layout,
                            DesktopSnapshot& snapshot, std::string& reason);
