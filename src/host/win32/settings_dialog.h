// The settings dialog "CONFIG": shows the settings record, the display's resolution and the
// "Use TnL" option where the adapter has hardware transform and lighting, stores the record on
// OK, and opens the maker's pages from its logo and link button.
//
// The platform's dialog procedure runs the process start, then translates its messages into
// the calls below; the controls are reached through host/win32/dialog_services.h. Platform-free,
// so that the Linux build tests it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "host/win32/dialog_services.h"
#include "image/bitmap.h"
#include "render/renderer.h"
#include "settings/settings.h"

// Control ids of the template.
enum DialogItem : int32_t {
    ItemOk = 1,
    ItemCancel = 2,
    ItemDefault = 101,
    ItemResolution = 102,
    ItemUseTnl = 103,
    ItemShowTime = 104,
    ItemShowFps = 105,
    ItemNumLights = 106,
    ItemColor = 107,
    ItemLightSpeed = 108,
    ItemLogo = 109,
    ItemAbout = 110,
    ItemLink = 111,
};

inline constexpr uint32_t LogoImageNumber = 1000;
inline constexpr const char* MakerHomePage = "http://www.lumenwright.example/";
inline constexpr const char* MakerCataloguePage =
    "http://www.lumenwright.example/Desktop/Screen-Savers/";
inline constexpr uint32_t BrowserCommandCapacity = 1024;

// What the open dialog holds.
struct SettingsDialogState {
    SaverSettings Settings;      // as loaded at the start; OK stores it
    uintptr_t moduleHandle = 0;  // where the logo is loaded from
    // Non-zero when the adapter reports hardware transform and lighting.
    uint32_t TnlAvailable = 0;
    // The display mode the probe read (zero when the read failed).
    DisplayDescription ProbedDisplay{};
    // The logo shown in the dialog, deleted at every ending.
    ImageBitmap* LogoImage = nullptr;
    // The logo control's rectangle in client coordinates, as of the last mouse message.
    DialogRect LogoRect{};
};

// The dialog opens: fills the lists, shows the logo, probes the display and shows the record,
// or reports "Can't create Direct3D" and ends.
void OnSettingsDialogInit(SettingsDialogState& state, DialogWindow dialog);
// A command from a control (the id only).
void OnSettingsDialogCommand(SettingsDialogState& state, DialogWindow dialog, uint32_t id);
// Pointer messages in client coordinates: the hand over the logo, a click there opens the
// maker's home page.
void OnSettingsDialogMouseMove(SettingsDialogState& state, DialogWindow dialog, uint32_t x,
                               uint32_t y);
void OnSettingsDialogButtonDown(SettingsDialogState& state, DialogWindow dialog, uint32_t x,
                                uint32_t y);
// Closed from the title bar or the system menu: nothing is stored.
void OnSettingsDialogClose(SettingsDialogState& state, DialogWindow dialog);

// Asks the drawing system about the display, sets TnlAvailable and the resolution text. False
// when there is no drawing system.
bool ProbeDisplay(SettingsDialogState& state, DialogWindow dialog);
void ShowSettingsInDialog(SettingsDialogState& state, DialogWindow dialog);
void ReadSettingsFromDialog(SettingsDialogState& state, DialogWindow dialog);

// Cuts a browser command in place to its program: past a leading quote, up to and with the
// last ".exe" or ".EXE". Returns the program, or null when the text (at most capacity bytes,
// zero-terminated) holds neither.
const char* CutBrowserCommand(char* command, size_t capacity);
// Starts the browser of the http command on url, or the system's handler when that command
// cannot be used.
void OpenInBrowser(const char* url);
