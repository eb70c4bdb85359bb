#include "surface/x11/screen_pixels.h"

#include <bit>
#include <cstddef>
#include <cstdio>
#include <vector>

#include "surface/height_field.h"

namespace {

constexpr uint32_t MaxChannelBits = 16;

// One channel: where its bits sit in the pixel, and their value scaled to 8 bits.
struct Channel {
    uint32_t shift = 0;
    uint32_t max = 0;
    std::vector<uint8_t> to8;
};

bool IsOneRun(uint32_t mask)
{
    const uint32_t run = mask >> std::countr_zero(mask);
    return (run & (run + 1)) == 0;
}

bool CheckMask(uint32_t mask, uint32_t bitsPerPixel, const char* name, std::string& reason)
{
    const bool beyond = bitsPerPixel < 32 && (mask >> bitsPerPixel) != 0;
    if (mask != 0 && IsOneRun(mask) && std::popcount(mask) <= int(MaxChannelBits) && !beyond) {
        return true;
    }
    char line[96];
    std::snprintf(line, sizeof line, "cannot read a %s channel mask of 0x%X in %u-bit pixels", name,
                  mask, bitsPerPixel);
    reason = line;
    return false;
}

Channel MakeChannel(uint32_t mask)
{
    Channel channel;
    channel.shift = static_cast<uint32_t>(std::countr_zero(mask));
    channel.max = mask >> channel.shift;
    channel.to8.resize(channel.max + 1);
    for (uint32_t v = 0; v <= channel.max; ++v) {
        channel.to8[v] = static_cast<uint8_t>((v * 255u + channel.max / 2) / channel.max);
    }
    return channel;
}

// The byte of a 32-bit pixel in memory that a whole-byte mask selects, or -1.
int MaskedByte(uint32_t mask, bool msbFirst)
{
    for (int k = 0; k < 4; ++k) {
        if (mask == 0xFFu << (8 * k)) return msbFirst ? 3 - k : k;
    }
    return -1;
}

uint32_t ReadPixel(const uint8_t* p, uint32_t bytes, bool msbFirst)
{
    uint32_t value = 0;
    if (msbFirst) {
        for (uint32_t i = 0; i < bytes; ++i) value = (value << 8) | p[i];
    } else {
        for (uint32_t i = bytes; i-- > 0;) value = (value << 8) | p[i];
    }
    return value;
}

}  // namespace

bool CanReadScreenPixels(const ScreenPixelLayout& layout, std::string& reason)
{
    const uint32_t bits = layout.bitsPerPixel;
    if (bits != 16 && bits != 24 && bits != 32) {
        reason = "cannot read " + std::to_string(bits) + "-bit pixels";
        return false;
    }
    if (!CheckMask(layout.redMask, bits, "red", reason) ||
        !CheckMask(layout.greenMask, bits, "green", reason) ||
        !CheckMask(layout.blueMask, bits, "blue", reason)) {
        return false;
    }
    if ((layout.redMask & layout.greenMask) != 0 || (layout.redMask & layout.blueMask) != 0 ||
        (layout.greenMask & layout.blueMask) != 0) {
        reason = "the channel masks overlap";
        return false;
    }
    return true;
}

bool ScreenPixelsToSnapshot(const uint8_t* rows, int32_t width, int32_t height,
                            int32_t bytesPerLine, const ScreenPixelLayout& layout,
                            DesktopSnapshot& snapshot, std::string& reason)
{
    snapshot = DesktopSnapshot{};
    if (!CanReadScreenPixels(layout, reason)) return false;
    const uint32_t bytes = layout.bitsPerPixel / 8;
    if (rows == nullptr || width <= 0 || height <= 0 ||
        static_cast<int64_t>(bytesPerLine) < static_cast<int64_t>(width) * bytes) {
        reason = "the screen image is empty or its rows are too short";
        return false;
    }

    const size_t w = static_cast<size_t>(width);
    const size_t h = static_cast<size_t>(height);
    const size_t stride = snapshot.Reset(width, height);

    // Nearly every screen: a byte a channel in 32-bit pixels, copied as bytes.
    const bool msb = layout.mostSignificantFirst;
    const int redByte = MaskedByte(layout.redMask, msb);
    const int greenByte = MaskedByte(layout.greenMask, msb);
    const int blueByte = MaskedByte(layout.blueMask, msb);
    if (bytes == 4 && redByte >= 0 && greenByte >= 0 && blueByte >= 0) {
        for (size_t y = 0; y < h; ++y) {
            const uint8_t* in = rows + y * static_cast<size_t>(bytesPerLine);
            uint8_t* out = snapshot.pixels.data() + (h - 1 - y) * stride;
            for (size_t x = 0; x < w; ++x, in += 4, out += 3) {
                out[0] = in[blueByte];
                out[1] = in[greenByte];
                out[2] = in[redByte];
            }
        }
        return true;
    }

    const Channel red = MakeChannel(layout.redMask);
    const Channel green = MakeChannel(layout.greenMask);
    const Channel blue = MakeChannel(layout.blueMask);
    for (size_t y = 0; y < h; ++y) {
        const uint8_t* in = rows + y * static_cast<size_t>(bytesPerLine);
        // The image's top row becomes the snapshot's last.
        uint8_t* out = snapshot.pixels.data() + (h - 1 - y) * stride;
        for (size_t x = 0; x < w; ++x, in += bytes, out += 3) {
            const uint32_t pixel = ReadPixel(in, bytes, layout.mostSignificantFirst);
            out[0] = blue.to8[(pixel >> blue.shift) & blue.max];
            out[1] = green.to8[(pixel >> green.shift) & green.max];
            out[2] = red.to8[(pixel >> red.shift) & red.max];
        }
    }
    return true;
}
