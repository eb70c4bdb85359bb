#include "fake_dialog.h"

#include <algorithm>
#include <cstring>

#include "call_log.h"

FakeDialogControl FakeDialog;

namespace {

constexpr int32_t LogoId = 109;
constexpr int32_t SortedListId = 106;
constexpr uint32_t SliderMaximum = 100;

FakeDialogItem& Item(int32_t id)
{
    return FakeDialog.items[id];
}

}  // namespace

void ResetFakeDialog()
{
    FakeDialog = FakeDialogControl{};
    Item(SortedListId).sorted = true;
}

void SetDialogItemText(DialogWindow, int32_t id, const char* text)
{
    Item(id).text = text;
}

void SetDialogItemCheck(DialogWindow, int32_t id, uint32_t checked)
{
    Item(id).check = checked;
}

uint32_t GetDialogItemCheck(DialogWindow, int32_t id)
{
    return Item(id).check;
}

void EnableDialogItem(DialogWindow, int32_t id, bool enabled)
{
    Item(id).enabled = enabled;
}

void AddDialogListEntry(DialogWindow, int32_t id, const char* text)
{
    FakeDialogItem& item = Item(id);
    item.entries.push_back(text);
    if (item.sorted) std::sort(item.entries.begin(), item.entries.end());
}

void SelectDialogListEntry(DialogWindow, int32_t id, int32_t index)
{
    FakeDialogItem& item = Item(id);
    item.selection = index >= 0 && index < static_cast<int32_t>(item.entries.size()) ? index : -1;
}

int32_t GetDialogListSelection(DialogWindow, int32_t id)
{
    return Item(id).selection;
}

void SetDialogSliderPosition(DialogWindow, int32_t id, uint32_t position)
{
    Item(id).sliderPosition = std::min(position, SliderMaximum);
}

uint32_t GetDialogSliderPosition(DialogWindow, int32_t id)
{
    return Item(id).sliderPosition;
}

void SetDialogItemBitmap(DialogWindow, int32_t id, ImageBitmap* bitmap)
{
    Item(id).bitmap = bitmap;
    CallLog.push_back("SetDialogItemBitmap " + std::to_string(id));
}

bool GetDialogItemRect(DialogWindow, int32_t id, DialogRect& rect)
{
    if (id != LogoId || !FakeDialog.logoRect) return false;
    rect = *FakeDialog.logoRect;
    return true;
}

void FocusDialogItem(DialogWindow, int32_t id)
{
    FakeDialog.focus = id;
}

void EndSettingsDialog(DialogWindow, int32_t result)
{
    FakeDialog.result = result;
    CallLog.push_back("EndSettingsDialog " + std::to_string(result));
}

void ShowHandPointer()
{
    CallLog.push_back("ShowHandPointer");
}

void ShowStopMessage(const char* text)
{
    CallLog.push_back(std::string("ShowStopMessage ") + text);
}

bool ReadBrowserCommand(char* buffer, uint32_t capacity)
{
    if (!FakeDialog.browserCommand || capacity == 0) return false;
    // As the registry copies a value: at most capacity bytes, the terminator included if it fits.
    const std::string& command = *FakeDialog.browserCommand;
    const size_t copied = std::min<size_t>(command.size() + 1, capacity);
    std::memcpy(buffer, command.c_str(), copied);
    return true;
}

void ShellOpen(const char* file, const char* parameters)
{
    CallLog.push_back(std::string("ShellOpen ") + file + " | " +
                      (parameters != nullptr ? parameters : "-"));
}
