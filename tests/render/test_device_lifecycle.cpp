#include <cstring>

#include "render_fixture.h"

namespace {

DisplayMode Mode(uint32_t width, uint32_t height, uint32_t rate, uint32_t format = FormatX8R8G8B8)
{
    return DisplayMode{width, height, rate, format};
}

}  // namespace

using DeviceLifecycleTest = RendererTest;

TEST_F(DeviceLifecycleTest, FullScreenDeviceAtTheBestRefreshRate)
{
    RecordingDevice.modes = {Mode(1024, 768, 60),
                             Mode(1024, 768, 75),
                             Mode(800, 600, 100),
                             Mode(1024, 768, 85),
                             Mode(1024, 768, 100, FormatR5G6B5),
                             Mode(1024, 768, 120)};
    CreateRenderDevice(TestWindow, 0);
    const std::vector<std::string> expected = {"CreateRenderSystem 220 -> system1",
                                               "GetAdapterDisplayMode system1 0",
                                               "GetWindowClientSize 77",
                                               "GetAdapterModeCount system1 0",
                                               "EnumAdapterModes system1 0 5",
                                               "EnumAdapterModes system1 0 4",
                                               "EnumAdapterModes system1 0 3",
                                               "EnumAdapterModes system1 0 2",
                                               "EnumAdapterModes system1 0 1",
                                               "EnumAdapterModes system1 0 0",
                                               "CreateDevice system1 0 1 77 0x20 -> device1"};
    EXPECT_EQ(CallLog, expected);

    const PresentParameters& p = RecordingDevice.lastPresentParameters;
    EXPECT_EQ(p.backBufferWidth, 1024u);
    EXPECT_EQ(p.backBufferHeight, 768u);
    EXPECT_EQ(p.backBufferFormat, FormatX8R8G8B8);
    EXPECT_EQ(p.backBufferCount, 2u);
    EXPECT_EQ(p.multiSampleType, 0u);
    EXPECT_EQ(p.swapEffect, SwapEffectFlip);
    EXPECT_EQ(p.deviceWindow, 0u);
    EXPECT_EQ(p.windowed, 0);
    EXPECT_EQ(p.enableAutoDepthStencil, 1);
    EXPECT_EQ(p.autoDepthStencilFormat, FormatD16);
    EXPECT_EQ(p.flags, 0u);
    EXPECT_EQ(p.fullScreenRefreshRateInHz, 85u);
    EXPECT_EQ(p.fullScreenPresentationInterval, PresentIntervalDefault);
    EXPECT_NE(SaverDevice, nullptr);
}

TEST_F(DeviceLifecycleTest, RefreshRatesAboveOneHundredFallBackToTheDefault)
{
    RecordingDevice.modes = {Mode(1024, 768, 120), Mode(1024, 768, 144)};
    RenderSystem* system = CreateRenderSystem(220);
    EXPECT_EQ(ChooseRefreshRate(system, 1024, 768, FormatX8R8G8B8), 0u);
    RecordingDevice.modes.push_back(Mode(1024, 768, 100));
    EXPECT_EQ(ChooseRefreshRate(system, 1024, 768, FormatX8R8G8B8), 100u);
    RecordingDevice.modes = {};
    EXPECT_EQ(ChooseRefreshRate(system, 1024, 768, FormatX8R8G8B8), 0u);
}

TEST_F(DeviceLifecycleTest, PreviewIsWindowedAtTheWindowsSizeWithoutEnumeration)
{
    RecordingDevice.modes = {Mode(152, 112, 60)};
    FakeWindow.clientWidth = 152;
    FakeWindow.clientHeight = 112;
    Settings.bTnL = 1;
    CreateRenderDevice(TestWindow, 1);
    EXPECT_TRUE(CallsStartingWith("GetAdapterModeCount").empty());
    EXPECT_TRUE(CallsStartingWith("EnumAdapterModes").empty());
    EXPECT_EQ(CallLog.back(), "CreateDevice system1 0 1 77 0x40 -> device1");
    const PresentParameters& p = RecordingDevice.lastPresentParameters;
    EXPECT_EQ(p.windowed, 1);
    EXPECT_EQ(p.backBufferWidth, 152u);
    EXPECT_EQ(p.backBufferHeight, 112u);
    EXPECT_EQ(p.fullScreenRefreshRateInHz, 0u);
}

TEST_F(DeviceLifecycleTest, NoDrawingSystemEndsTheWindow)
{
    RecordingDevice.failCreateRenderSystem = true;
    CreateRenderDevice(TestWindow, 0);
    EXPECT_EQ(CallLog,
              (std::vector<std::string>{"CreateRenderSystem 220 -> none",
                                        "ShowErrorMessage 77 Error: _imp__Direct3DCreate8@4 FAILED",
                                        "SendDestroyMessage 77"}));
    EXPECT_EQ(SaverRenderSystem, nullptr);
    EXPECT_EQ(SaverDevice, nullptr);
}

TEST_F(DeviceLifecycleTest, AFailedDeviceEndsTheWindowAndTheLoop)
{
    RecordingDevice.failCreateDevice = true;
    CreateRenderDevice(TestWindow, 0);
    const std::vector<std::string> tail(CallLog.end() - 4, CallLog.end());
    EXPECT_EQ(tail, (std::vector<std::string>{"CreateDevice system1 0 1 77 0x20 -> none",
                                              "ShowErrorMessage 77 Error: CreateDevice FAILED",
                                              "SendDestroyMessage 77", "PostQuit 0"}));
    EXPECT_EQ(SaverDevice, nullptr);
    EXPECT_NE(SaverRenderSystem, nullptr);
}

TEST_F(DeviceLifecycleTest, CloseReleasesEverythingInItsOrderOnce)
{
    UseFlatDesktop(640, 480);
    Settings.NumLights = 1;
    StartSaver();
    Settings.LightSpeed = 77;  // changed since the start: the close stores it
    CallLog.clear();

    ReleaseSceneResources();
    ShutDownRenderer();
    const std::vector<std::string> expected = {"Release buffer3",        "Release texture3",
                                               "Release buffer1",        "Release texture1",
                                               "Release buffer2",        "Release texture2",
                                               "SaveSettings",           "FreeAllocation 307200",
                                               "FreeAllocation 3686400", "FreeAllocation 786432",
                                               "Release device1",        "Release system1"};
    EXPECT_EQ(CondensedLog(), expected);
    const FakeStoreValue* speed = FindFakeValue(SettingsKeyPath, "[Light Speed]");
    ASSERT_NE(speed, nullptr);
    EXPECT_EQ(speed->data, (std::vector<uint8_t>{77, 0, 0, 0}));
    EXPECT_EQ(RecordingDevice.liveObjects, 0);
    EXPECT_EQ(HeightField, nullptr);
    EXPECT_EQ(NormalField, nullptr);
    EXPECT_EQ(FalloffTable, nullptr);
    EXPECT_EQ(FontTexture, nullptr);
    EXPECT_EQ(TextVertexBuffer, nullptr);

    // Everything is gone: a second round releases nothing.
    CallLog.clear();
    ReleaseSceneResources();
    ShutDownRenderer();
    EXPECT_EQ(CondensedLog(), (std::vector<std::string>{"SaveSettings"}));
}

TEST_F(DeviceLifecycleTest, SuspendGivesUpTheDeviceAndKeepsTheRest)
{
    UseFlatDesktop(640, 480);
    StartSaver();
    SuspendRenderer(TestWindow);
    const std::vector<std::string> expected = {
        "Release buffer4", "Release texture4",  // the text buffer and the font texture
        "Release buffer1", "Release texture1",
        "Release buffer2", "Release texture2",
        "Release buffer3", "Release texture3",
        "Release device1", "ShowWindowRestoredThenMaximized 77"};
    EXPECT_EQ(CallLog, expected);
    EXPECT_NE(SaverRenderSystem, nullptr);
    EXPECT_NE(NormalField, nullptr);

    // Password accepted: the window closes, and the scene's resources are already gone.
    CallLog.clear();
    ReleaseSceneResources();
    ShutDownRenderer();
    EXPECT_EQ(CondensedLog(),
              (std::vector<std::string>{"SaveSettings", "FreeAllocation 307200",
                                        "FreeAllocation 3686400", "FreeAllocation 786432",
                                        "Release system1"}));
}

TEST_F(DeviceLifecycleTest, ResumeMakesTheSameDeviceAndANewScene)
{
    UseFlatDesktop(640, 480);
    RecordingDevice.modes = {Mode(1024, 768, 75)};
    StartSaver();
    const PresentParameters first = RecordingDevice.lastPresentParameters;
    float phases[3];
    for (int k = 0; k < 3; ++k) phases[k] = LightSpots[k].phase;
    SuspendRenderer(TestWindow);
    FakeClock.counter = 999;
    // Stored by the settings dialog while the password dialog was up.
    PutFakeDword(SettingsKeyPath, "[Num Lights]", 4);
    CallLog.clear();

    ResumeRenderer(TestWindow);
    const std::vector<std::string> log = CondensedLog();
    ASSERT_GE(log.size(), 3u);
    EXPECT_EQ(log[0], "CreateDevice system1 0 1 77 0x20 -> device2");
    EXPECT_EQ(log[1], "LoadSettings");
    EXPECT_EQ(log[2], "CreateVertexBuffer device2 120 0x8 0x102 1 -> buffer5");
    EXPECT_EQ(CallsStartingWith("CreateTexture").size(), 6u);  // five spots and the font
    EXPECT_NE(FontTexture, nullptr);
    EXPECT_NE(TextVertexBuffer, nullptr);
    EXPECT_TRUE(CallsStartingWith("EnumAdapterModes").empty());
    EXPECT_EQ(std::memcmp(&RecordingDevice.lastPresentParameters, &first, sizeof first), 0);
    EXPECT_EQ(RecordingDevice.lastPresentParameters.fullScreenRefreshRateInHz, 75u);
    for (int k = 0; k < 3; ++k) EXPECT_NE(LightSpots[k].phase, phases[k]);
    EXPECT_EQ(Clock.lastCount, 999);

    CallLog.clear();
    OnFrameTick();
    EXPECT_EQ(CallLog.back(), "Present device2");
    EXPECT_TRUE(Misuses().empty());
}

TEST_F(DeviceLifecycleTest, AFailedResumeQueuesTheEndAndLeavesNoDevice)
{
    UseFlatDesktop(640, 480);
    StartSaver();
    SuspendRenderer(TestWindow);
    RecordingDevice.failCreateDevice = true;
    CallLog.clear();
    ResumeRenderer(TestWindow);
    EXPECT_EQ(CallLog, (std::vector<std::string>{"CreateDevice system1 0 1 77 0x20 -> none",
                                                 "ShowErrorMessage 77 Error: CreateDevice FAILED",
                                                 "PostDestroyMessage 77"}));
    EXPECT_EQ(SaverDevice, nullptr);
    CallLog.clear();
    OnFrameTick();
    EXPECT_TRUE(CallLog.empty());
}
