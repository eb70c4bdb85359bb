// The saver session over the fakes: which events end the saver in which mode, the password
// round trip with its re-entered handlers, and the order of the releases.
#include <algorithm>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "fake_dialog.h"
#include "fake_saver_services.h"
#include "host/host_state.h"
#include "host/saver_session.h"
#include "render_fixture.h"
#include "settings/settings_dialog.h"

namespace {

constexpr uint32_t Saver = 0;
constexpr uint32_t Preview = 1;

class SaverSessionTest : public RendererTest {
protected:
    void SetUp() override
    {
        RendererTest::SetUp();
        ResetSession();
        UseFlatDesktop(64, 48);
    }
    void TearDown() override
    {
        ResetSession();
        RendererTest::TearDown();
    }

    static void ResetSession()
    {
        Host = HostState{};
        FakeSaverServices = FakeSaverServicesControl{};
    }

    // The window as a host brings it up: created, shown and drawing, the pointer parked.
    static void StartSession(uint32_t previewFlag)
    {
        Host.previewFlag = previewFlag;
        Host.mode = previewFlag != 0 ? SaverMode::Preview : SaverMode::Saver;
        Host.saverWindow = TestWindow;
        OnSaverCreate(TestWindow);
        StartRendering(TestWindow, previewFlag);
        ParkCursor();
        CallLog.clear();
    }

    // The full-screen window brought up as its host does, the log kept. The renderer sends the
    // end-of-window message, which the window handles at once.
    static void BringUpSaver()
    {
        FakeWindow.onSendDestroy = [] { OnSaverDestroy(); };
        Host.saverWindow = TestWindow;
        OnSaverCreate(TestWindow);
        StartRendering(TestWindow, Saver);
        ParkCursor();
    }

    static size_t Count(const std::string& prefix) { return CallsStartingWith(prefix).size(); }
    static bool EndRequested() { return Count("OpenPasswordPrompt") > 0; }

    // The log reduced to what the session decides: the releases, the store round trips, the
    // services, the messages.
    static std::vector<std::string> SessionLog()
    {
        static const char* const kept[] = {
            "Release ",      "SaveSettings",    "LoadSettings",     "FreeAllocation",
            "CreateDevice",  "HideCursor",      "ShowArrowCursor",  "SetCursorPosition",
            "Report",        "Password",        "AskPassword",      "OpenPasswordPrompt",
            "ClosePassword", "CaptureKeyboard", "ReleaseKeyboard",  "PostCloseMessage",
            "PostQuit",      "StartFrameTimer", "ShowErrorMessage", "SendDestroyMessage"};
        std::vector<std::string> log;
        for (const std::string& entry : CondensedLog()) {
            for (const char* prefix : kept) {
                if (entry.rfind(prefix, 0) == 0) {
                    log.push_back(entry);
                    break;
                }
            }
        }
        return log;
    }
};

TEST_F(SaverSessionTest, ARunFromCreationToQuitInSaverMode)
{
    FakeSaverServices.cursorX = 500;
    FakeSaverServices.cursorY = 400;
    Host.saverWindow = TestWindow;
    OnSaverCreate(TestWindow);
    StartRendering(TestWindow, Saver);
    ParkCursor();
    EXPECT_EQ(FakeSaverServices.cursorX, ParkedCursorX);
    OnSaverTimer();
    OnSaverKeyDown();
    OnSaverClose();
    OnSaverDestroy();

    const std::vector<std::string> expected = {
        // creation, start, parking
        "HideCursor", "ReportSaverRunning 1", "StartFrameTimer 77",
        "CreateDevice system1 0 1 77 0x20 -> device1", "CaptureKeyboard 77",
        "FreeAllocation 262144",  // the decoded font sheet, once it is a texture
        "SetCursorPosition -10 -10",
        // the key: the text, the font, the spots, then the device, before the password is
        // asked for; none is in use
        "ReportSaverRunning 1", "Release buffer4", "Release texture4", "Release buffer1",
        "Release texture1", "Release buffer2", "Release texture2", "Release buffer3",
        "Release texture3", "Release device1", "OpenPasswordPrompt -> none", "PostCloseMessage 77",
        // the close: settings stored first, then the buffers, the drawing system, the keyboard
        "SaveSettings", "FreeAllocation 3072", "FreeAllocation 36864", "FreeAllocation 786432",
        "Release system1", "ReleaseKeyboard",
        // the end of the window
        "ShowArrowCursor", "SetCursorPosition 500 400", "ReportSaverRunning 0", "PostQuit 0"};
    EXPECT_EQ(SessionLog(), expected);
    EXPECT_EQ(Host.endAccepted, 1u);
    EXPECT_EQ(Host.windowClosed, 1u);
    EXPECT_EQ(SaverDevice, nullptr);
    EXPECT_EQ(HeightField, nullptr);
}

TEST_F(SaverSessionTest, PointerMovesEndTheSaverAtTheSixthChangedCoordinate)
{
    using Moves = std::vector<std::pair<uint32_t, uint32_t>>;
    struct Case {
        const char* name;
        Moves moves;
        size_t endsAt;  // 1-based move that asks to end; 0 for none
    };
    const Case cases[] = {
        {"six moves along x", {{1, 0}, {2, 0}, {3, 0}, {4, 0}, {5, 0}, {6, 0}}, 6},
        {"five moves along x", {{1, 0}, {2, 0}, {3, 0}, {4, 0}, {5, 0}}, 0},
        {"diagonal moves count twice", {{1, 1}, {2, 2}, {3, 3}}, 3},
        {"two diagonal moves", {{1, 1}, {2, 2}}, 0},
        {"the first move is compared with (0, 0)",
         {{0, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0}},
         0},
        {"repeated coordinates count nothing",
         {{7, 9}, {7, 9}, {7, 9}, {7, 9}, {7, 9}, {7, 9}, {7, 9}, {7, 9}},
         0},
        {"alternating axes", {{1, 0}, {1, 1}, {2, 1}, {2, 2}, {3, 2}, {3, 3}}, 6},
        {"only the low 16 bits count",
         {{0x10000, 0}, {0x20000, 0x30000}, {1, 0}, {2, 0}, {3, 0}, {4, 0}, {5, 0}, {6, 0}},
         8},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ResetSession();
        StartSession(Saver);
        size_t endedAt = 0;
        for (size_t i = 0; i < c.moves.size() && endedAt == 0; ++i) {
            OnSaverMouseMove(c.moves[i].first, c.moves[i].second);
            if (EndRequested()) endedAt = i + 1;
        }
        EXPECT_EQ(endedAt, c.endsAt);
        // Every move hides the pointer, counted or not.
        EXPECT_EQ(Count("HideCursor"), endedAt != 0 ? endedAt : c.moves.size());
        OnSaverClose();
        ResetRecordingDevice();
        SaverDevice = nullptr;
        SaverRenderSystem = nullptr;
    }
}

TEST_F(SaverSessionTest, WhichEventsEndTheSaverInEachMode)
{
    struct Case {
        const char* name;
        std::function<void()> event;
        bool endsSaver;
        bool endsPreview;
    };
    const Case cases[] = {
        {"key", [] { OnSaverKeyDown(); }, true, false},
        {"button", [] { OnSaverButtonDown(); }, true, false},
        {"another program active", [] { OnSaverActivateApp(false); }, true, false},
        {"the saver itself active", [] { OnSaverActivateApp(true); }, false, false},
        {"power suspend", [] { OnSaverPowerSuspend(); }, true, true},
        {"many moves",
         [] {
             for (uint32_t i = 1; i <= 20; ++i) OnSaverMouseMove(i, i);
         },
         true, false},
        {"timer", [] { OnSaverTimer(); }, false, false},
    };
    for (const uint32_t mode : {Saver, Preview}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.name) + (mode == Saver ? " in Saver mode" : " in Preview"));
            ResetSession();
            StartSession(mode);
            c.event();
            EXPECT_EQ(EndRequested(), mode == Saver ? c.endsSaver : c.endsPreview);
            EXPECT_EQ(Count("PostCloseMessage"), EndRequested() ? 1u : 0u);
            if (mode == Preview) {
                EXPECT_EQ(Count("HideCursor"), 0u);
            }
            OnSaverClose();
            ResetRecordingDevice();
            SaverDevice = nullptr;
            SaverRenderSystem = nullptr;
        }
    }
}

TEST_F(SaverSessionTest, SystemCommandsAndPointerShapeInEachMode)
{
    const SystemCommand swallowed[] = {SystemCommand::NextWindow, SystemCommand::PreviousWindow,
                                       SystemCommand::Close, SystemCommand::ScreenSave};
    StartSession(Saver);
    for (const SystemCommand command : swallowed) EXPECT_TRUE(OnSaverSystemCommand(command));
    EXPECT_FALSE(OnSaverSystemCommand(SystemCommand::Other));
    EXPECT_TRUE(OnSaverSetCursor());
    EXPECT_FALSE(EndRequested());

    Host.previewFlag = Preview;
    Host.mode = SaverMode::Preview;
    for (const SystemCommand command : swallowed) EXPECT_FALSE(OnSaverSystemCommand(command));
    EXPECT_FALSE(OnSaverSetCursor());
    EXPECT_EQ(Count("HideCursor"), 1u);
}

TEST_F(SaverSessionTest, ARefusedPasswordBringsThePictureBackAndTheNextOneEnds)
{
    FakeSaverServices.passwordInUse = true;
    FakeSaverServices.passwordAnswers = {0, 1};
    StartSession(Saver);

    // While the prompt is open its loop dispatches the window's events: nested end requests
    // return at once, ticks draw nothing, the pointer shape is left to the prompt, and the
    // settings stored meanwhile (one light) are read when the picture comes back.
    bool cursorLeftAlone = false;
    FakeSaverServices.whilePromptIsOpen = [&] {
        OnSaverKeyDown();
        OnSaverButtonDown();
        OnSaverPowerSuspend();
        OnSaverTimer();
        cursorLeftAlone = !OnSaverSetCursor();
        PutFakeDword(SettingsKeyPath, "[Num Lights]", 0);
    };
    OnSaverKeyDown();
    FakeSaverServices.whilePromptIsOpen = nullptr;

    EXPECT_EQ(Count("OpenPasswordPrompt"), 1u);
    EXPECT_EQ(Count("Present"), 0u);
    EXPECT_TRUE(cursorLeftAlone);
    EXPECT_EQ(Count("PostCloseMessage"), 0u);
    EXPECT_EQ(Host.passwordDialogActive, 0u);
    EXPECT_EQ(Host.endAccepted, 0u);
    const std::vector<std::string> refused = {"ReportSaverRunning 1",
                                              "Release buffer4",
                                              "Release texture4",
                                              "Release buffer1",
                                              "Release texture1",
                                              "Release buffer2",
                                              "Release texture2",
                                              "Release buffer3",
                                              "Release texture3",
                                              "Release device1",
                                              "OpenPasswordPrompt -> prompt",
                                              "ReportSaverRunning 1",
                                              "AskPassword 77",
                                              "AskPassword -> 0",
                                              "ClosePasswordPrompt",
                                              "ReportSaverRunning 1",
                                              "CreateDevice system1 0 1 77 0x20 -> device2",
                                              "LoadSettings",
                                              "FreeAllocation 262144",
                                              "FreeAllocation 36864",
                                              "FreeAllocation 786432"};
    EXPECT_EQ(SessionLog(), refused);
    ASSERT_NE(SaverDevice, nullptr);
    EXPECT_EQ(Settings.NumLights, 0u);
    EXPECT_NE(LightSpots[0].texture, nullptr);
    EXPECT_EQ(LightSpots[1].texture, nullptr);

    // The picture is back; the count of moves starts again from nothing.
    CallLog.clear();
    OnSaverTimer();
    EXPECT_EQ(Count("Present"), 1u);
    for (uint32_t x = 101; x <= 105; ++x) OnSaverMouseMove(x, 0);
    EXPECT_FALSE(EndRequested());

    OnSaverMouseMove(106, 0);
    EXPECT_EQ(Count("AskPassword -> 1"), 1u);
    EXPECT_EQ(Count("PostCloseMessage 77"), 1u);
    EXPECT_EQ(Host.endAccepted, 1u);

    // Accepted: nothing asks again, whatever arrives before the close.
    CallLog.clear();
    OnSaverKeyDown();
    OnSaverPowerSuspend();
    for (uint32_t x = 1; x <= 10; ++x) OnSaverMouseMove(x, x);
    EXPECT_FALSE(EndRequested());
    EXPECT_EQ(Count("Release"), 0u);
}

TEST_F(SaverSessionTest, AFailedStartEndsWithoutMovingThePointer)
{
    RecordingDevice.failCreateDevice = true;
    FakeSaverServices.cursorX = 300;
    FakeSaverServices.cursorY = 200;
    BringUpSaver();

    const std::vector<std::string> expected = {"HideCursor",
                                               "ReportSaverRunning 1",
                                               "StartFrameTimer 77",
                                               "CreateDevice system1 0 1 77 0x20 -> none",
                                               "ShowErrorMessage 77 Error: CreateDevice FAILED",
                                               "SendDestroyMessage 77",
                                               "ShowArrowCursor",
                                               "ReportSaverRunning 0",
                                               "PostQuit 0",
                                               "PostQuit 0",
                                               "PostQuit 0"};
    EXPECT_EQ(SessionLog(), expected);
    EXPECT_EQ(FakeSaverServices.cursorX, 300);
    EXPECT_EQ(FakeSaverServices.cursorY, 200);
    EXPECT_EQ(Count("CaptureKeyboard"), 0u);
    EXPECT_EQ(LightSpots[0].texture, nullptr);

    // A close that comes after all still releases in order and stores the settings.
    CallLog.clear();
    OnSaverClose();
    EXPECT_EQ(SessionLog().front(), "SaveSettings");
    EXPECT_EQ(SessionLog().back(), "ReleaseKeyboard");
    StartRendering(TestWindow, Saver);
    EXPECT_EQ(Count("CreateDevice"), 0u);
}

TEST_F(SaverSessionTest, WithoutHardwareTransformAStoredUseTnlEndsTheSaverUntilTheDialogClearsIt)
{
    // An adapter without hardware transform and lighting refuses a device asked for hardware
    // vertex processing: the saver says so and ends, the pointer where it was.
    RecordingDevice.withoutHardwareTnl = true;
    PutFakeDword(SettingsKeyPath, "[bTnL]", 1);
    LoadSettings();
    FakeSaverServices.cursorX = 300;
    BringUpSaver();
    EXPECT_EQ(Count("CreateDevice system1 0 1 77 0x40 -> none"), 1u);
    EXPECT_EQ(CallsStartingWith("ShowErrorMessage"),
              std::vector<std::string>{"ShowErrorMessage 77 Error: CreateDevice FAILED"});
    EXPECT_EQ(SaverDevice, nullptr);
    EXPECT_EQ(Count("CaptureKeyboard"), 0u);
    EXPECT_EQ(Count("PostQuit 0"), 3u);
    EXPECT_EQ(FakeSaverServices.cursorX, 300);

    // The settings dialog on that adapter offers no "Use TnL", and its OK stores it off.
    ReleaseHandle(SaverRenderSystem);
    ResetFakeDialog();
    LoadSettings();
    OnSettingsDialogInit(55);
    EXPECT_FALSE(FakeDialog.items[ItemUseTnl].enabled);
    EXPECT_EQ(FakeDialog.items[ItemUseTnl].check, 0u);
    OnSettingsDialogCommand(55, ItemOk);
    EXPECT_EQ(FakeDialog.result, 0);

    // The next run draws, with software vertex processing.
    ResetSession();
    Settings = SaverSettings{};
    LoadSettings();
    CallLog.clear();
    StartSession(Saver);
    EXPECT_NE(SaverDevice, nullptr);
    EXPECT_EQ(RecordingDevice.lastBehaviorFlags, CreateSoftwareVertexProcessing);
    OnSaverTimer();
    EXPECT_EQ(Count("Present"), 1u);
    OnSaverClose();
}

}  // namespace
