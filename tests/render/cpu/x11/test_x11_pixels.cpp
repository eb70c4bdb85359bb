// Back-buffer words into the pixels of X11 visuals of any channel masks and byte order.
#include <gtest/gtest.h>

#include <cstring>

#include "render/cpu/x11/x11_pixels.h"

TEST(X11Pixels, EachLayoutGetsItsChannelsWhereItsMasksSay)
{
    struct Case {
        const char* what;
        uint32_t red, green, blue;
        int32_t depth;
        bool msbFirst;
        uint32_t in;
        uint8_t out[4];  // bytes as they lie in the image
    };
    const Case cases[] = {
        {"the usual depth 24",
         0xFF0000,
         0xFF00,
         0xFF,
         24,
         false,
         0xAB123456,
         {0x56, 0x34, 0x12, 0}},
        {"depth 32 is opaque",
         0xFF0000,
         0xFF00,
         0xFF,
         32,
         false,
         0x00123456,
         {0x56, 0x34, 0x12, 0xFF}},
        {"red and blue swapped",
         0xFF,
         0xFF00,
         0xFF0000,
         24,
         false,
         0x00123456,
         {0x12, 0x34, 0x56, 0}},
        {"most significant byte first",
         0xFF0000,
         0xFF00,
         0xFF,
         24,
         true,
         0x00123456,
         {0, 0x12, 0x34, 0x56}},
        {"ten bits a channel",
         0x3FF00000,
         0xFFC00,
         0x3FF,
         32,
         false,
         0x00FF0080,
         {0x02, 0x02, 0xF0, 0xFF}},
    };
    for (const Case& c : cases) {
        const X11PixelLayout layout = MakePixelLayout(c.red, c.green, c.blue, c.depth, c.msbFirst);
        // A row long enough that a vectorised loop would run, with the case in the middle.
        uint32_t in[19];
        for (uint32_t& word : in) word = 0;
        in[9] = c.in;
        uint8_t out[19 * 4];
        std::memset(out, 0xEE, sizeof out);
        ConvertPixels(in, out, 19, layout);
        for (int k = 0; k < 4; ++k) EXPECT_EQ(out[36 + k], c.out[k]) << c.what << " byte " << k;
        EXPECT_EQ(out[0] | out[1] | out[2], 0) << c.what << ": black stays black";
    }
}
