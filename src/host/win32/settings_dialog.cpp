#include "host/win32/settings_dialog.h"

#include <cstdio>
#include <cstring>

#include "image/image_decode.h"
#include "render/renderer.h"
#include "settings/settings.h"

namespace {

constexpr const char* LightCounts[] = {"1", "2", "3", "4", "5"};
// In the order of LightColorTable, so that an entry's index is the stored value.
constexpr const char* ColorNames[] = {"White",  "Red",    "Green", "Blue",
                                      "Yellow", "Purple", "Cyan",  "Random"};
constexpr int32_t LastLightCount = 4;

// The list entry a stored value shows as: what the saver would draw for it.
int32_t LightCountEntry(uint32_t numLights)
{
    return ActiveSpotCount(numLights) - 1;
}

int32_t ColorEntry(uint32_t colorLight)
{
    return static_cast<int32_t>(colorLight <= ColorLightRandom ? colorLight : ColorLightDefault);
}

// Every ending lets go of the logo.
void EndDialog(SettingsDialogState& state, DialogWindow dialog, int32_t result)
{
    DeleteBitmap(state.LogoImage);
    EndSettingsDialog(dialog, result);
}

bool OverLogo(SettingsDialogState& state, DialogWindow dialog, uint32_t x, uint32_t y)
{
    state.LogoRect = DialogRect{};
    if (!GetDialogItemRect(dialog, ItemLogo, state.LogoRect)) return false;
    const auto px = static_cast<int32_t>(x);
    const auto py = static_cast<int32_t>(y);
    // All four bounds count: the right and bottom ones lie one past the control's pixels.
    return state.LogoRect.left <= px && px <= state.LogoRect.right && state.LogoRect.top <= py &&
           py <= state.LogoRect.bottom;
}

}  // namespace

bool ProbeDisplay(SettingsDialogState& state, DialogWindow dialog)
{
    // Failed reads leave zeros: "0 x 0 x 8" and no "Use TnL".
    state.ProbedDisplay = DisplayDescription{};
    if (!DescribeDisplay(state.ProbedDisplay)) return false;
    if (state.ProbedDisplay.hardwareTransformLighting) ++state.TnlAvailable;

    char text[64];
    std::snprintf(text, sizeof text, "%d x %d x %d", static_cast<int>(state.ProbedDisplay.width),
                  static_cast<int>(state.ProbedDisplay.height),
                  static_cast<int>(state.ProbedDisplay.bitsPerPixel));
    SetDialogItemText(dialog, ItemResolution, text);
    return true;
}

void ShowSettingsInDialog(SettingsDialogState& state, DialogWindow dialog)
{
    EnableDialogItem(dialog, ItemUseTnl, state.TnlAvailable != 0);
    if (state.TnlAvailable == 0) state.Settings.bTnL = 0;
    SetDialogItemCheck(dialog, ItemUseTnl, state.Settings.bTnL != 0 ? 1 : 0);
    SetDialogItemCheck(dialog, ItemShowTime, state.Settings.bTime != 0 ? 1 : 0);
    SetDialogItemCheck(dialog, ItemShowFps, state.Settings.bFps != 0 ? 1 : 0);
    SetDialogSliderPosition(dialog, ItemLightSpeed, state.Settings.LightSpeed);
    SelectDialogListEntry(dialog, ItemNumLights, LightCountEntry(state.Settings.NumLights));
    SelectDialogListEntry(dialog, ItemColor, ColorEntry(state.Settings.ColorLight));
    FocusDialogItem(dialog, ItemCancel);
}

void ReadSettingsFromDialog(SettingsDialogState& state, DialogWindow dialog)
{
    state.Settings.bTnL = GetDialogItemCheck(dialog, ItemUseTnl) != 0 ? 1 : 0;
    state.Settings.bTime = GetDialogItemCheck(dialog, ItemShowTime) != 0 ? 1 : 0;
    state.Settings.bFps = GetDialogItemCheck(dialog, ItemShowFps) != 0 ? 1 : 0;
    state.Settings.LightSpeed = GetDialogSliderPosition(dialog, ItemLightSpeed);
    // A list without a selection keeps what the record holds rather than storing -1.
    const int32_t color = GetDialogListSelection(dialog, ItemColor);
    if (color >= 0 && color <= static_cast<int32_t>(ColorLightRandom)) {
        state.Settings.ColorLight = static_cast<uint32_t>(color);
    }
    const int32_t count = GetDialogListSelection(dialog, ItemNumLights);
    if (count >= 0 && count <= LastLightCount)
        state.Settings.NumLights = static_cast<uint32_t>(count);
}

void OnSettingsDialogInit(SettingsDialogState& state, DialogWindow dialog)
{
    for (const char* count : LightCounts) AddDialogListEntry(dialog, ItemNumLights, count);
    for (const char* name : ColorNames) AddDialogListEntry(dialog, ItemColor, name);

    DeleteBitmap(state.LogoImage);
    state.LogoImage = LoadImageResource(state.moduleHandle, LogoImageNumber, 0);
    // Without its picture the dialog works all the same.
    if (state.LogoImage != nullptr) SetDialogItemBitmap(dialog, ItemLogo, state.LogoImage);

    if (!ProbeDisplay(state, dialog)) {
        ShowStopMessage("Can't create Direct3D");
        EndDialog(state, dialog, 0);
        return;
    }
    ShowSettingsInDialog(state, dialog);
}

void OnSettingsDialogCommand(SettingsDialogState& state, DialogWindow dialog, uint32_t id)
{
    switch (id & 0xFFFF) {
    case ItemOk:
        ReadSettingsFromDialog(state, dialog);
        SaveSettings(state.Settings);
        EndDialog(state, dialog, 0);
        break;
    case ItemCancel: EndDialog(state, dialog, 1); break;
    case ItemDefault: {
        // Every field but Prominent, in memory only: OK stores them.
        const SaverSettings defaults;
        const uint32_t prominent = state.Settings.Prominent;
        state.Settings = defaults;
        state.Settings.Prominent = prominent;
        ShowSettingsInDialog(state, dialog);
        break;
    }
    case ItemLink: OpenInBrowser(MakerCataloguePage); break;
    default: break;
    }
}

void OnSettingsDialogMouseMove(SettingsDialogState& state, DialogWindow dialog, uint32_t x,
                               uint32_t y)
{
    if (OverLogo(state, dialog, x, y)) ShowHandPointer();
}

void OnSettingsDialogButtonDown(SettingsDialogState& state, DialogWindow dialog, uint32_t x,
                                uint32_t y)
{
    if (OverLogo(state, dialog, x, y)) OpenInBrowser(MakerHomePage);
}

void OnSettingsDialogClose(SettingsDialogState& state, DialogWindow dialog)
{
    EndDialog(state, dialog, 0);
}

const char* CutBrowserCommand(char* command, size_t capacity)
{
    if (command == nullptr || capacity == 0) return nullptr;
    // A text that fills its buffer without a terminator was cut short: nothing to trust.
    const size_t length = strnlen(command, capacity);
    if (length == capacity) return nullptr;
    const size_t start = command[0] == '"' ? 1 : 0;
    for (size_t end = length; end >= start + 4; --end) {
        const char* tail = command + end - 4;
        if (std::memcmp(tail, ".exe", 4) == 0 || std::memcmp(tail, ".EXE", 4) == 0) {
            command[end] = '\0';
            return command + start;
        }
    }
    return nullptr;
}

void OpenInBrowser(const char* url)
{
    char command[BrowserCommandCapacity] = {};
    const char* program = nullptr;
    if (ReadBrowserCommand(command, sizeof command)) {
        program = CutBrowserCommand(command, sizeof command);
    }
    if (program != nullptr) {
        ShellOpen(program, url);
    } else {
        ShellOpen(url, nullptr);
    }
}
