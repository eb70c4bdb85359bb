// Run with no EGL vendor library to be found (see CMakeLists.txt).
#include <gtest/gtest.h>

#include "render/device.h"

TEST(GlWithoutEgl, CreateRenderSystemReturnsNull)
{
    EXPECT_EQ(CreateRenderSystem(RenderSdkVersion), nullptr);
    EXPECT_EQ(CreateRenderSystem(RenderSdkVersion), nullptr);
}
