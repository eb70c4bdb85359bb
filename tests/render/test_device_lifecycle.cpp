#include "render/render_fixture.h"

using DeviceLifecycleTest = RendererTest;

TEST_F(DeviceLifecycleTest, TheDeviceIsMadeForTheWindowAsTheModeAndSettingsAsk)
{
    const struct {
        int32_t previewFlag;
        uint32_t bTnL;
        int32_t clientWidth, clientHeight;
        bool windowed, hardware;
        int32_t width, height;
    } cases[] = {{0, 0, 1024, 768, false, false, 1024, 768},
                 {1, 1, 152, 112, true, true, 152, 112},
                 {0, 1, -5, -1, false, true, 0, 0}};
    for (const auto& c : cases) {
        ResetAll();
        run.Settings.bTnL = c.bTnL;
        FakeWindow.clientWidth = c.clientWidth;
        FakeWindow.clientHeight = c.clientHeight;
        CreateRenderDevice(run, TestWindow, c.previewFlag);
        ASSERT_TRUE(HasRenderDevice(run)) << c.clientWidth;
        EXPECT_EQ(FakeRenderer.window, TestWindow);
        EXPECT_EQ(FakeRenderer.options.windowed, c.windowed);
        EXPECT_EQ(FakeRenderer.options.hardwareVertexProcessing, c.hardware);
        EXPECT_EQ(FakeRenderer.width, c.width);
        EXPECT_EQ(FakeRenderer.height, c.height);
    }
}

TEST_F(DeviceLifecycleTest, WithoutADrawingSystemOrADeviceTheWindowEnds)
{
    const struct {
        bool failOpen;
        const char* message;
        size_t quits;
    } cases[] = {{true, "ShowErrorMessage 77 Error: _imp__Direct3DCreate8@4 FAILED", 0},
                 {false, "ShowErrorMessage 77 Error: CreateDevice FAILED", 1}};
    for (const auto& c : cases) {
        ResetAll();
        FakeRenderer.failOpen = c.failOpen;
        FakeRenderer.failCreateDevice = true;
        CreateRenderDevice(run, TestWindow, 0);
        EXPECT_EQ(CallsStartingWith("ShowErrorMessage"), std::vector<std::string>{c.message});
        EXPECT_EQ(CallsStartingWith("SendDestroyMessage 77").size(), 1u);
        EXPECT_EQ(CallsStartingWith("PostQuit").size(), c.quits);
        EXPECT_FALSE(HasRenderDevice(run));
        EXPECT_EQ(run.renderer == nullptr, c.failOpen);
    }
}

TEST_F(DeviceLifecycleTest, CloseReleasesEverythingInItsOrderOnce)
{
    UseFlatDesktop(640, 480);
    StartSaver();

    ReleaseSceneResources(run);
    ShutDownRenderer(run);
    const std::vector<std::string> expected = {"ReleaseSceneResources", "FreeAllocation 307200",
                                               "FreeAllocation 3686400", "FreeAllocation 786432",
                                               "CloseRenderer"};
    EXPECT_EQ(CondensedLog(), expected);
    EXPECT_EQ(run.renderer, nullptr);
    EXPECT_FALSE(FakeRenderer.rendererOpen);
    EXPECT_EQ(FakeHeap.liveBlocks, 0);

    // Everything is gone: a second round releases nothing.
    CallLog.clear();
    ReleaseSceneResources(run);
    ShutDownRenderer(run);
    EXPECT_TRUE(CondensedLog().empty());
}

TEST_F(DeviceLifecycleTest, SuspendGivesUpTheDeviceAndKeepsTheRest)
{
    UseFlatDesktop(640, 480);
    StartSaver();
    SuspendRenderer(run, TestWindow);
    EXPECT_EQ(CallLog, (std::vector<std::string>{"ReleaseSceneResources", "ReleaseRendererDevice",
                                                 "ShowWindowRestoredThenMaximized 77"}));
    EXPECT_TRUE(FakeRenderer.rendererOpen);
    EXPECT_NE(run.surface.NormalField, nullptr);
}

TEST_F(DeviceLifecycleTest, ResumeMakesTheSameDeviceAndANewScene)
{
    UseFlatDesktop(640, 480);
    StartSaver();
    float phases[3];
    for (int k = 0; k < 3; ++k) phases[k] = run.scene.LightSpots[k].phase;
    SuspendRenderer(run, TestWindow);
    FakeClock.counter = 999;
    // Stored by the settings dialog while the password dialog was up.
    PutFakeDword(SettingsKeyPath, "[Num Lights]", 4);
    CallLog.clear();

    ResumeRenderer(run, TestWindow);
    const std::vector<std::string> log = CondensedLog();
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[0], "RecreateRendererDevice -> device");
    EXPECT_EQ(log[1], "LoadSettings");
    for (int k = 0; k < LightSpotCount; ++k) EXPECT_TRUE(FakeRenderer.spotResources[k]) << k;
    EXPECT_TRUE(FakeRenderer.fontLoaded);
    for (int k = 0; k < 3; ++k) EXPECT_NE(run.scene.LightSpots[k].phase, phases[k]);
    EXPECT_EQ(run.Clock.lastCount, 999);

    OnFrameTick(run);
    EXPECT_EQ(FakeRenderer.framesPresented, 1);
}

TEST_F(DeviceLifecycleTest, AFailedResumeQueuesTheEndAndLeavesNoDevice)
{
    UseFlatDesktop(640, 480);
    StartSaver();
    SuspendRenderer(run, TestWindow);
    FakeRenderer.failRecreate = true;
    CallLog.clear();
    ResumeRenderer(run, TestWindow);
    EXPECT_EQ(CallLog, (std::vector<std::string>{"RecreateRendererDevice -> none",
                                                 "ShowErrorMessage 77 Error: CreateDevice FAILED",
                                                 "PostDestroyMessage 77"}));
    EXPECT_FALSE(HasRenderDevice(run));
    CallLog.clear();
    OnFrameTick(run);
    EXPECT_TRUE(CallLog.empty());
}
