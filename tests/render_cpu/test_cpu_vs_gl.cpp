// The saver's own picture drawn by the processor back end and by OpenGL (Mesa's software
// rasteriser, headless) from the same seeds and frame times: they must agree within a few
// levels everywhere.
#include <gtest/gtest.h>

#include <cstdio>

#include "saver_frames.h"

namespace {

struct Case {
    const char* name;
    SaverRun run;
};

}  // namespace

TEST(CpuAgainstOpenGl, TheSaversFramesAgreeWithinAFewLevels)
{
    const Case cases[] = {
        {"1024x768, five spots", {1024, 768, 4, 7, true, 3, 400}},
        {"1024x768, one spot", {1024, 768, 0, 6, true, 2, 400}},
        {"odd 641x479, five spots", {641, 479, 4, 7, true, 3, 400}},
        {"wide 333x257, five spots", {333, 257, 4, 7, true, 2, 400}},
        {"smaller than a spot 200x120", {200, 120, 4, 7, true, 3, 400}},
        {"portrait, narrower than a spot 97x300", {97, 300, 0, 7, true, 2, 400}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Frame gl = RenderSaver(c.run, false);
        const Frame cpu = RenderSaver(c.run, true);
        ASSERT_FALSE(gl.pixels.empty());
        ASSERT_FALSE(cpu.pixels.empty());
        const FrameDifference d = CompareFrames(cpu, gl);
        std::printf("%-40s max %d, over 2: %lld of %lld lit\n", c.name, d.maxChannel,
                    static_cast<long long>(d.pixelsOverTwo), static_cast<long long>(d.litPixels));
        EXPECT_GT(d.litPixels, 0);
        EXPECT_LE(d.maxChannel, 3);
    }
}
