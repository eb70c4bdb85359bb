// The saver session over the fakes: which events end the saver in which mode, the password
// round trip with its re-entered handlers, and the order of the releases.
#include <algorithm>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "fake_dialog.h"
#include "fake_saver_services.h"
#include "host/saver_session.h"
#include "host/win32/settings_dialog.h"
#include "render/render_fixture.h"

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

    // A new session over the run as it stands.
    static void ResetSession()
    {
        const SaverRun kept = run;
        session = SaverSession{};
        run = kept;
        FakeSaverServices = FakeSaverServicesControl{};
    }
    // The run's start as far as the settings go: loaded, as stored and as the run goes by.
    static void LoadRunSettings()
    {
        LoadSettings(run.StoredSettings);
        run.Settings = run.StoredSettings;
    }

    // The window as a host brings it up: created, shown and drawing, the pointer parked.
    static void StartSession(uint32_t previewFlag)
    {
        session.previewFlag = previewFlag;
        session.mode = previewFlag != 0 ? SaverMode::Preview : SaverMode::Saver;
        session.saverWindow = TestWindow;
        OnSaverCreate(session, TestWindow);
        StartRendering(session, TestWindow);
        ParkCursor(session);
        CallLog.clear();
    }

    // The full-screen window brought up as its host does, the log kept. The renderer sends the
    // end-of-window message, which the window handles at once.
    static void BringUpSaver()
    {
        FakeWindow.onSendDestroy = [] { OnSaverDestroy(session); };
        session.saverWindow = TestWindow;
        OnSaverCreate(session, TestWindow);
        StartRendering(session, TestWindow);
        ParkCursor(session);
    }

    static size_t Count(const std::string& prefix) { return CallsStartingWith(prefix).size(); }
    static bool EndRequested() { return Count("OpenPasswordPrompt") > 0; }

    // The entries of the log (store round trips condensed) that start with one of the
    // prefixes, in order.
    static std::vector<std::string> Ordered(const std::vector<std::string>& prefixes)
    {
        std::vector<std::string> log;
        for (const std::string& entry : CondensedLog()) {
            for (const std::string& prefix : prefixes) {
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
    session.saverWindow = TestWindow;
    OnSaverCreate(session, TestWindow);
    StartRendering(session, TestWindow);
    ParkCursor(session);
    EXPECT_TRUE(HasRenderDevice(run));
    EXPECT_EQ(FakeSaverServices.cursorX, ParkedCursorX);
    EXPECT_EQ(FakeSaverServices.cursorY, ParkedCursorY);
    EXPECT_EQ(Count("StartFrameTimer 77"), 1u);
    EXPECT_EQ(Count("CaptureKeyboard 77"), 1u);
    OnSaverTimer(session);
    EXPECT_EQ(FakeRenderer.framesPresented, 1);

    // The key: the scene and the device go before the password is asked for; none is in use.
    OnSaverKeyDown(session);
    EXPECT_EQ(Ordered({"Release", "OpenPasswordPrompt", "PostCloseMessage"}),
              (std::vector<std::string>{"ReleaseSceneResources", "ReleaseRendererDevice",
                                        "OpenPasswordPrompt -> none", "PostCloseMessage 77"}));

    CallLog.clear();
    run.StoredSettings.LightSpeed = 77;  // changed since the start: the close stores it
    OnSaverClose(session);
    EXPECT_EQ(Ordered({"Release", "SaveSettings", "CloseRenderer"}),
              (std::vector<std::string>{"ReleaseSceneResources", "SaveSettings", "CloseRenderer",
                                        "ReleaseKeyboard"}));
    const FakeStoreValue* speed = FindFakeValue(SettingsKeyPath, "[Light Speed]");
    ASSERT_NE(speed, nullptr);
    EXPECT_EQ(speed->data, (std::vector<uint8_t>{77, 0, 0, 0}));
    OnSaverDestroy(session);
    EXPECT_EQ(FakeSaverServices.cursorX, 500);
    EXPECT_EQ(FakeSaverServices.cursorY, 400);
    EXPECT_EQ(CallLog.back(), "PostQuit 0");
    EXPECT_EQ(Count("ReportSaverRunning 0"), 1u);
    EXPECT_EQ(session.endAccepted, 1u);
    EXPECT_EQ(session.windowClosed, 1u);
    EXPECT_EQ(run.renderer, nullptr);
    EXPECT_EQ(run.surface.HeightField, nullptr);
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
            OnSaverMouseMove(session, c.moves[i].first, c.moves[i].second);
            if (EndRequested()) endedAt = i + 1;
        }
        EXPECT_EQ(endedAt, c.endsAt);
        // Every move hides the pointer, counted or not.
        EXPECT_EQ(Count("HideCursor"), endedAt != 0 ? endedAt : c.moves.size());
        OnSaverClose(session);
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
        {"key", [] { OnSaverKeyDown(session); }, true, false},
        {"button", [] { OnSaverButtonDown(session); }, true, false},
        {"another program active", [] { OnSaverActivateApp(session, false); }, true, false},
        {"the saver itself active", [] { OnSaverActivateApp(session, true); }, false, false},
        {"power suspend", [] { OnSaverPowerSuspend(session); }, true, true},
        {"many moves",
         [] {
             for (uint32_t i = 1; i <= 20; ++i) OnSaverMouseMove(session, i, i);
         },
         true, false},
        {"timer", [] { OnSaverTimer(session); }, false, false},
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
            OnSaverClose(session);
        }
    }
}

TEST_F(SaverSessionTest, SystemCommandsAndPointerShapeInEachMode)
{
    const SystemCommand swallowed[] = {SystemCommand::NextWindow, SystemCommand::PreviousWindow,
                                       SystemCommand::Close, SystemCommand::ScreenSave};
    StartSession(Saver);
    for (const SystemCommand command : swallowed)
        EXPECT_TRUE(OnSaverSystemCommand(session, command));
    EXPECT_FALSE(OnSaverSystemCommand(session, SystemCommand::Other));
    EXPECT_TRUE(OnSaverSetCursor(session));
    EXPECT_FALSE(EndRequested());

    session.previewFlag = Preview;
    session.mode = SaverMode::Preview;
    for (const SystemCommand command : swallowed)
        EXPECT_FALSE(OnSaverSystemCommand(session, command));
    EXPECT_FALSE(OnSaverSetCursor(session));
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
        OnSaverKeyDown(session);
        OnSaverButtonDown(session);
        OnSaverPowerSuspend(session);
        OnSaverTimer(session);
        cursorLeftAlone = !OnSaverSetCursor(session);
        PutFakeDword(SettingsKeyPath, "[Num Lights]", 0);
    };
    OnSaverKeyDown(session);
    FakeSaverServices.whilePromptIsOpen = nullptr;

    EXPECT_EQ(Count("OpenPasswordPrompt"), 1u);
    EXPECT_EQ(FakeRenderer.framesPresented, 0);
    EXPECT_TRUE(cursorLeftAlone);
    EXPECT_EQ(Count("PostCloseMessage"), 0u);
    EXPECT_EQ(session.passwordDialogActive, 0u);
    EXPECT_EQ(session.endAccepted, 0u);
    EXPECT_EQ(Ordered({"Release", "Recreate", "LoadSettings", "LoadFontSheet", "AskPassword",
                       "OpenPasswordPrompt", "ClosePasswordPrompt"}),
              (std::vector<std::string>{"ReleaseSceneResources", "ReleaseRendererDevice",
                                        "OpenPasswordPrompt -> prompt", "AskPassword 77",
                                        "AskPassword -> 0", "ClosePasswordPrompt",
                                        "RecreateRendererDevice -> device", "LoadSettings",
                                        "LoadFontSheet -> font"}));
    ASSERT_TRUE(HasRenderDevice(run));
    EXPECT_EQ(run.Settings.NumLights, 0u);
    EXPECT_TRUE(FakeRenderer.spotResources[0]);
    EXPECT_FALSE(FakeRenderer.spotResources[1]);

    // The picture is back; the count of moves starts again from nothing.
    CallLog.clear();
    OnSaverTimer(session);
    EXPECT_EQ(FakeRenderer.framesPresented, 1);
    for (uint32_t x = 101; x <= 105; ++x) OnSaverMouseMove(session, x, 0);
    EXPECT_FALSE(EndRequested());

    OnSaverMouseMove(session, 106, 0);
    EXPECT_EQ(Count("AskPassword -> 1"), 1u);
    EXPECT_EQ(Count("PostCloseMessage 77"), 1u);
    EXPECT_EQ(session.endAccepted, 1u);

    // Accepted: nothing asks again, whatever arrives before the close.
    CallLog.clear();
    OnSaverKeyDown(session);
    OnSaverPowerSuspend(session);
    for (uint32_t x = 1; x <= 10; ++x) OnSaverMouseMove(session, x, x);
    EXPECT_FALSE(EndRequested());
    EXPECT_EQ(Count("Release"), 0u);
}

TEST_F(SaverSessionTest, AFailedStartEndsWithoutMovingThePointer)
{
    const struct {
        bool failOpen;
        const char* message;
    } cases[] = {{true, "ShowErrorMessage 77 Error: _imp__Direct3DCreate8@4 FAILED"},
                 {false, "ShowErrorMessage 77 Error: CreateDevice FAILED"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        ResetAll();
        ResetSession();
        UseFlatDesktop(64, 48);
        FakeRenderer.failOpen = c.failOpen;
        FakeRenderer.failCreateDevice = true;
        FakeSaverServices.cursorX = 300;
        FakeSaverServices.cursorY = 200;
        BringUpSaver();

        EXPECT_EQ(CallsStartingWith("ShowErrorMessage"), std::vector<std::string>{c.message});
        EXPECT_EQ(Ordered({"SendDestroyMessage", "ShowArrowCursor", "ReportSaverRunning 0"}),
                  (std::vector<std::string>{"SendDestroyMessage 77", "ShowArrowCursor",
                                            "ReportSaverRunning 0"}));
        EXPECT_EQ(CallLog.back(), "PostQuit 0");
        EXPECT_EQ(FakeSaverServices.cursorX, 300);
        EXPECT_EQ(FakeSaverServices.cursorY, 200);
        EXPECT_EQ(Count("CaptureKeyboard"), 0u);
        EXPECT_FALSE(HasRenderDevice(run));

        // A close that comes after all still stores the settings and lets go of everything.
        CallLog.clear();
        OnSaverClose(session);
        EXPECT_EQ(Ordered({"SaveSettings"}).size(), 1u);
        EXPECT_EQ(CallLog.back(), "ReleaseKeyboard");
        EXPECT_EQ(run.renderer, nullptr);
        StartRendering(session, TestWindow);
        EXPECT_EQ(Count("OpenRenderer"), 0u);
    }
}

TEST_F(SaverSessionTest, AResizeKeepsTheSpotsOnTheirPathsOrEndsTheWindow)
{
    for (const bool fails : {false, true}) {
        SCOPED_TRACE(fails ? "no frame of the new size" : "resized");
        ResetAll();
        ResetSession();
        UseFlatDesktop(640, 480);
        FakeClock.stepPerRead = 28;
        StartSession(Saver);
        OnSaverTimer(session);
        const float phase = run.scene.LightSpots[0].phase;
        CallLog.clear();
        FakeRenderer.failResize = fails;

        ResizeSaver(session, 800, 600);
        EXPECT_EQ(run.scene.LightSpots[0].phase, phase);
        EXPECT_EQ(Count("ShowErrorMessage 77 Error: CreateDevice FAILED"), fails ? 1u : 0u);
        EXPECT_EQ(Count("SendDestroyMessage 77"), fails ? 1u : 0u);
        EXPECT_EQ(Count("PostQuit 0"), fails ? 1u : 0u);
        if (fails) continue;
        EXPECT_EQ(FakeRenderer.frameWidth, 800);
        OnSaverTimer(session);
        EXPECT_GT(run.scene.LightSpots[0].phase, phase) << "the path goes on from where it was";
    }
}

TEST_F(SaverSessionTest, WithoutHardwareTransformAStoredUseTnlEndsTheSaverUntilTheDialogClearsIt)
{
    FakeRenderer.display.hardwareTransformLighting = false;
    PutFakeDword(SettingsKeyPath, "[bTnL]", 1);
    LoadRunSettings();
    FakeSaverServices.cursorX = 300;
    BringUpSaver();
    EXPECT_TRUE(FakeRenderer.options.hardwareVertexProcessing);
    EXPECT_EQ(CallsStartingWith("ShowErrorMessage"),
              std::vector<std::string>{"ShowErrorMessage 77 Error: CreateDevice FAILED"});
    EXPECT_FALSE(HasRenderDevice(run));
    EXPECT_EQ(Count("CaptureKeyboard"), 0u);
    EXPECT_EQ(FakeSaverServices.cursorX, 300);
    CloseRenderer(run.renderer);  // the process ends

    // The settings dialog on that adapter offers no "Use TnL", and its OK stores it off.
    ResetFakeDialog();
    SettingsDialogState dialogState;
    LoadSettings(dialogState.Settings);
    OnSettingsDialogInit(dialogState, 55);
    EXPECT_FALSE(FakeDialog.items[ItemUseTnl].enabled);
    EXPECT_EQ(FakeDialog.items[ItemUseTnl].check, 0u);
    OnSettingsDialogCommand(dialogState, 55, ItemOk);
    EXPECT_EQ(FakeDialog.result, 0);

    // The next run draws, with software vertex processing.
    ResetSession();
    run.Settings = SaverSettings{};
    LoadRunSettings();
    StartSession(Saver);
    ASSERT_TRUE(HasRenderDevice(run));
    EXPECT_FALSE(FakeRenderer.options.hardwareVertexProcessing);
    OnSaverTimer(session);
    EXPECT_EQ(FakeRenderer.framesPresented, 1);
    OnSaverClose(session);
}

}  // namespace
