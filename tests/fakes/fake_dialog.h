// Fake of host/win32/dialog_services.h: controls kept in memory by id, behaving as the real ones
// do where the dialog relies on it (a sorted list sorts, a slider keeps to 0..100, a list
// selection outside the entries selects nothing). The shell and the messages are logged in
// CallLog: "ShellOpen <file> | <parameters>" ("-" for none), "ShowStopMessage <text>",
// "EndSettingsDialog <result>", "ShowHandPointer", "SetDialogItemBitmap <id>".
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "host/win32/dialog_services.h"

struct FakeDialogItem {
    std::string text;
    uint32_t check = 0;
    bool enabled = true;
    bool sorted = false;
    std::vector<std::string> entries;
    int32_t selection = -1;
    uint32_t sliderPosition = 0;
    ImageBitmap* bitmap = nullptr;
};

struct FakeDialogControl {
    std::map<int32_t, FakeDialogItem> items;
    std::optional<DialogRect> logoRect = DialogRect{416, 32, 672, 154};
    int32_t focus = 0;
    std::optional<int32_t> result;  // set once the dialog ended
    // What the registry holds for the http command; nullopt when it cannot be read.
    std::optional<std::string> browserCommand;
};

extern FakeDialogControl FakeDialog;

// A fresh dialog as the template makes it: the sorted light-count list, empty lists.
void ResetFakeDialog();
