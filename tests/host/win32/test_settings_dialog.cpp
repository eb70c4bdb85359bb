// The settings dialog's rules over a fake dialog box: what it shows, what OK, Cancel and
// Default store, the resolution text, the logo's click area and the browser command.
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "fake_dialog.h"
#include "host/win32/settings_dialog.h"
#include "render/render_fixture.h"

namespace {

constexpr DialogWindow TestDialog = 55;

class SettingsDialogTest : public RendererTest {
protected:
    static inline SettingsDialogState dialogState;

    void SetUp() override
    {
        RendererTest::SetUp();
        ResetDialog();
        FakeRenderer.display = DisplayDescription{1280, 1024, 32, true};
    }
    void TearDown() override
    {
        DeleteBitmap(dialogState.LogoImage);
        ResetDialog();
        RendererTest::TearDown();
    }
    static void ResetDialog()
    {
        ResetFakeDialog();
        dialogState = SettingsDialogState{};
    }

    // The dialog as it opens: the process start has loaded the stored settings.
    static void OpenDialog()
    {
        LoadSettings(dialogState.Settings);
        OnSettingsDialogInit(dialogState, TestDialog);
    }
    static FakeDialogItem& Item(int32_t id) { return FakeDialog.items[id]; }
    static std::string Selected(int32_t id)
    {
        const FakeDialogItem& item = Item(id);
        return item.selection >= 0 ? item.entries[static_cast<size_t>(item.selection)] : "";
    }
    static void Store(const char* name, uint32_t value)
    {
        PutFakeDword(SettingsKeyPath, name, value);
    }
    static uint32_t Stored(const char* name)
    {
        const FakeStoreValue* value = FindFakeValue(SettingsKeyPath, name);
        if (value == nullptr || value->data.size() != 4) return 0xDEADBEEF;
        uint32_t number = 0;
        std::memcpy(&number, value->data.data(), 4);
        return number;
    }
};

TEST_F(SettingsDialogTest, OpensShowingTheStoredSettings)
{
    Store("[bFps]", 1);
    Store("[Light Speed]", 80);
    Store("[Num Lights]", 4);
    Store("[Color Light]", 3);
    OpenDialog();

    EXPECT_EQ(Item(ItemNumLights).entries, (std::vector<std::string>{"1", "2", "3", "4", "5"}));
    EXPECT_EQ(Item(ItemColor).entries,
              (std::vector<std::string>{"White", "Red", "Green", "Blue", "Yellow", "Purple", "Cyan",
                                        "Random"}));
    EXPECT_EQ(Selected(ItemNumLights), "5");
    EXPECT_EQ(Selected(ItemColor), "Blue");
    EXPECT_EQ(Item(ItemLightSpeed).sliderPosition, 80u);
    EXPECT_EQ(Item(ItemShowTime).check, 1u);
    EXPECT_EQ(Item(ItemShowFps).check, 1u);
    EXPECT_EQ(Item(ItemUseTnl).check, 0u);
    EXPECT_TRUE(Item(ItemUseTnl).enabled);
    EXPECT_EQ(Item(ItemResolution).text, "1280 x 1024 x 32");
    EXPECT_NE(Item(ItemLogo).bitmap, nullptr);
    EXPECT_EQ(FakeDialog.focus, ItemCancel);
    EXPECT_FALSE(FakeDialog.result.has_value());
}

TEST_F(SettingsDialogTest, WithoutHardwareTransformUseTnlIsOffDisabledAndStoredOff)
{
    FakeRenderer.display.hardwareTransformLighting = false;
    Store("[bTnL]", 1);
    OpenDialog();
    EXPECT_EQ(Item(ItemUseTnl).check, 0u);
    EXPECT_FALSE(Item(ItemUseTnl).enabled);
    // Default shows the record again: still off and disabled.
    OnSettingsDialogCommand(dialogState, TestDialog, ItemDefault);
    EXPECT_FALSE(Item(ItemUseTnl).enabled);
    OnSettingsDialogCommand(dialogState, TestDialog, ItemOk);
    EXPECT_EQ(Stored("[bTnL]"), 0u);

    // With it, the stored choice shows and can be changed.
    ResetDialog();
    FakeRenderer.display.hardwareTransformLighting = true;
    Store("[bTnL]", 1);
    OpenDialog();
    EXPECT_TRUE(Item(ItemUseTnl).enabled);
    EXPECT_EQ(Item(ItemUseTnl).check, 1u);
}

TEST_F(SettingsDialogTest, DefaultThenCancelStoresNothingDefaultThenOkStoresTheDefaults)
{
    Store("[bTnL]", 1);
    Store("[bTime]", 0);
    Store("[bFps]", 1);
    Store("[Prominent]", 9);
    Store("[Light Speed]", 3);
    Store("[Num Lights]", 0);
    Store("[Color Light]", 1);
    const auto before = FakeStore.keys;

    OpenDialog();
    OnSettingsDialogCommand(dialogState, TestDialog, ItemDefault);
    EXPECT_EQ(Selected(ItemColor), "Cyan");
    OnSettingsDialogCommand(dialogState, TestDialog, ItemCancel);
    EXPECT_EQ(FakeDialog.result, 1);
    EXPECT_TRUE(CallsStartingWith("SetStoreValue").empty());
    EXPECT_EQ(dialogState.LogoImage, nullptr);

    ResetDialog();
    OpenDialog();
    // The notification code in the high word is not looked at.
    OnSettingsDialogCommand(dialogState, TestDialog, (1u << 16) | ItemDefault);
    OnSettingsDialogCommand(dialogState, TestDialog, ItemOk);
    EXPECT_EQ(FakeDialog.result, 0);
    EXPECT_EQ(Stored("[bTnL]"), 0u);
    EXPECT_EQ(Stored("[bTime]"), 1u);
    EXPECT_EQ(Stored("[bFps]"), 0u);
    EXPECT_EQ(Stored("[Prominent]"), 9u);
    EXPECT_EQ(Stored("[Light Speed]"), 50u);
    EXPECT_EQ(Stored("[Num Lights]"), 2u);
    EXPECT_EQ(Stored("[Color Light]"), 6u);
    EXPECT_EQ(dialogState.LogoImage, nullptr);
}

TEST_F(SettingsDialogTest, WhatTheUserPicksIsStoredOnOk)
{
    OpenDialog();
    Item(ItemColor).selection = 7;  // "Random"
    Item(ItemNumLights).selection = 0;
    Item(ItemShowFps).check = 1;
    Item(ItemShowTime).check = 0;
    Item(ItemLightSpeed).sliderPosition = 90;
    OnSettingsDialogCommand(dialogState, TestDialog, ItemOk);
    EXPECT_EQ(Stored("[Color Light]"), 7u);
    EXPECT_EQ(Stored("[Num Lights]"), 0u);
    EXPECT_EQ(Stored("[bFps]"), 1u);
    EXPECT_EQ(Stored("[bTime]"), 0u);
    EXPECT_EQ(Stored("[Light Speed]"), 90u);
}

TEST_F(SettingsDialogTest, StoredValuesOutsideTheListsShowWhatTheSaverDraws)
{
    // Nine lights draw five, colour 12 draws cyan, a speed of 250 is the slider's end.
    Store("[Num Lights]", 9);
    Store("[Color Light]", 12);
    Store("[Light Speed]", 250);
    OpenDialog();
    EXPECT_EQ(Selected(ItemNumLights), "5");
    EXPECT_EQ(Selected(ItemColor), "Cyan");
    OnSettingsDialogCommand(dialogState, TestDialog, ItemOk);
    EXPECT_EQ(Stored("[Num Lights]"), 4u);
    EXPECT_EQ(Stored("[Color Light]"), 6u);
    EXPECT_EQ(Stored("[Light Speed]"), 100u);

    // Lists that somehow select nothing keep the record's values instead of storing -1.
    ResetDialog();
    Store("[Num Lights]", 1);
    OpenDialog();
    Item(ItemNumLights).selection = -1;
    Item(ItemColor).selection = -1;
    OnSettingsDialogCommand(dialogState, TestDialog, ItemOk);
    EXPECT_EQ(Stored("[Num Lights]"), 1u);
    EXPECT_EQ(Stored("[Color Light]"), 6u);
}

TEST_F(SettingsDialogTest, AFailedProbeEndsTheDialogAndStoresNothing)
{
    FakeRenderer.noDrawingSystem = true;
    OpenDialog();
    EXPECT_EQ(CallsStartingWith("ShowStopMessage"),
              std::vector<std::string>{"ShowStopMessage Can't create Direct3D"});
    EXPECT_EQ(FakeDialog.result, 0);
    EXPECT_EQ(dialogState.LogoImage, nullptr);
    EXPECT_TRUE(CallsStartingWith("SetStoreValue").empty());
}

TEST_F(SettingsDialogTest, TheLogoIsClickableUpToAndIncludingItsRightAndBottomEdges)
{
    OpenDialog();
    const DialogRect r = *FakeDialog.logoRect;
    const struct {
        int32_t x;
        int32_t y;
        bool over;
    } points[] = {
        {r.left, r.top, true},
        {r.right, r.bottom, true},
        {r.left - 1, r.top, false},
        {r.right + 1, r.top, false},
        {r.left, r.top - 1, false},
        {r.left, r.bottom + 1, false},
        {(r.left + r.right) / 2, (r.top + r.bottom) / 2, true},
    };
    for (const auto& p : points) {
        CallLog.clear();
        OnSettingsDialogMouseMove(dialogState, TestDialog, static_cast<uint32_t>(p.x),
                                  static_cast<uint32_t>(p.y));
        OnSettingsDialogButtonDown(dialogState, TestDialog, static_cast<uint32_t>(p.x),
                                   static_cast<uint32_t>(p.y));
        const std::vector<std::string> expected =
            p.over ? std::vector<std::string>{"ShowHandPointer",
                                              "ShellOpen http://www.lumenwright.example/ | -"}
                   : std::vector<std::string>{};
        EXPECT_EQ(CallLog, expected) << p.x << ", " << p.y;
    }
    EXPECT_EQ(dialogState.LogoRect.right, r.right);
}

TEST_F(SettingsDialogTest, TheBrowserCommandIsCutAfterItsProgram)
{
    const std::string catalogue = MakerCataloguePage;
    const struct {
        std::optional<std::string> command;
        std::string opened;
    } cases[] = {
        {"\"C:\\Program Files\\Web\\browser.exe\" -osint -url \"%1\"",
         "C:\\Program Files\\Web\\browser.exe | " + catalogue},
        {"C:\\WEB\\BROWSER.EXE %1", "C:\\WEB\\BROWSER.EXE | " + catalogue},
        // Only the two spellings count; the last one found wins.
        {"C:\\Web\\Browser.Exe %1", catalogue + " | -"},
        {"C:\\a.exe\\b.Exe %1", "C:\\a.exe | " + catalogue},
        {"\"C:\\x.exe\" \"D:\\helper.EXE\" %1", "C:\\x.exe\" \"D:\\helper.EXE | " + catalogue},
        {"\".exe\"", ".exe | " + catalogue},
        {"\"", catalogue + " | -"},
        {"", catalogue + " | -"},
        {std::nullopt, catalogue + " | -"},
        // A command that fills the whole buffer without its end is not trusted.
        {std::string(1019, 'x') + ".exe", std::string(1019, 'x') + ".exe | " + catalogue},
        {std::string(1020, 'x') + ".exe", catalogue + " | -"},
    };
    OpenDialog();
    for (const auto& c : cases) {
        CallLog.clear();
        FakeDialog.browserCommand = c.command;
        OnSettingsDialogCommand(dialogState, TestDialog, ItemLink);
        EXPECT_EQ(CallLog, std::vector<std::string>{"ShellOpen " + c.opened})
            << c.command.value_or("(unreadable)").substr(0, 60);
    }
}

}  // namespace
