// Run with no EGL vendor library to be found (see CMakeLists.txt).
#include <gtest/gtest.h>

#include "host/x11/drawing_choice.h"
#include "render/switch/render_switch.h"

TEST(RendererSwitchWithoutEgl, TheProcessorDrawsUnlessOpenGlIsForced)
{
    // Without EGL there is no display to ask: the processor it is, unless told otherwise.
    EXPECT_EQ(ChooseDrawingPath(nullptr, RendererChoice::Auto), DrawingPath::Cpu);
    EXPECT_EQ(ChooseDrawingPath(nullptr, RendererChoice::OpenGl), DrawingPath::OpenGl);
    EXPECT_EQ(ChooseDrawingPath(nullptr, RendererChoice::Cpu), DrawingPath::Cpu);
    EXPECT_EQ(CreateRenderSystem(RenderSdkVersion), nullptr);
    // And the processor back end still draws.
    UseCpuRenderer(true);
    RenderSystem* system = CreateRenderSystem(RenderSdkVersion);
    EXPECT_NE(system, nullptr);
    ReleaseHandle(system);
    UseCpuRenderer(false);
}
