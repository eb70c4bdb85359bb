// Run with no EGL vendor library to be found (see CMakeLists.txt).
#include <gtest/gtest.h>

#include "render/switch/render_switch.h"

TEST(RendererSwitchWithoutEgl, OpenGlCountsAsSoftware)
{
    EXPECT_TRUE(OpenGlIsSoftware());
    // And the processor back end still draws.
    UseCpuRenderer(true);
    RenderSystem* system = CreateRenderSystem(RenderSdkVersion);
    EXPECT_NE(system, nullptr);
    ReleaseHandle(system);
    UseCpuRenderer(false);
}
