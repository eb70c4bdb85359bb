// The settings dialog of a program that lacks its logo picture: it works all the same.
#include <cstring>
#include <string>
#include <vector>

#include "fake_dialog.h"
#include "host/win32/settings_dialog.h"
#include "render/render_fixture.h"

// This program carries no pictures at all (image/embedded_images.h, whose logo number the
// dialog's header gives as well).
bool FindEmbeddedImage(uint32_t number, const uint8_t*& bytes, uint32_t& size);
bool FindEmbeddedImage(uint32_t, const uint8_t*& bytes, uint32_t& size)
{
    bytes = nullptr;
    size = 0;
    return false;
}

namespace {

constexpr DialogWindow TestDialog = 55;

using DialogWithoutLogoTest = RendererTest;

TEST_F(DialogWithoutLogoTest, ShowsStoresAndLinksWithoutThePicture)
{
    ResetFakeDialog();
    SettingsDialogState dialogState;
    PutFakeDword(SettingsKeyPath, "[Light Speed]", 70);
    LoadSettings(dialogState.Settings);
    OnSettingsDialogInit(dialogState, TestDialog);

    EXPECT_EQ(dialogState.LogoImage, nullptr);
    EXPECT_TRUE(CallsStartingWith("SetDialogItemBitmap").empty());
    EXPECT_FALSE(FakeDialog.result.has_value());
    EXPECT_EQ(FakeDialog.items[ItemResolution].text, "1024 x 768 x 32");
    EXPECT_TRUE(FakeDialog.items[ItemUseTnl].enabled);
    EXPECT_EQ(FakeDialog.items[ItemLightSpeed].sliderPosition, 70u);
    EXPECT_EQ(FakeDialog.focus, ItemCancel);

    // The empty control still opens the home page, and OK stores.
    CallLog.clear();
    const DialogRect logo = *FakeDialog.logoRect;
    OnSettingsDialogButtonDown(dialogState, TestDialog, static_cast<uint32_t>(logo.left),
                               static_cast<uint32_t>(logo.top));
    EXPECT_EQ(CallLog, std::vector<std::string>{"ShellOpen http://www.lumenwright.example/ | -"});
    FakeDialog.items[ItemLightSpeed].sliderPosition = 20;
    OnSettingsDialogCommand(dialogState, TestDialog, ItemOk);
    EXPECT_EQ(FakeDialog.result, 0);
    const FakeStoreValue* speed = FindFakeValue(SettingsKeyPath, "[Light Speed]");
    ASSERT_NE(speed, nullptr);
    uint32_t stored = 0;
    std::memcpy(&stored, speed->data.data(), sizeof stored);
    EXPECT_EQ(stored, 20u);
}

}  // namespace
