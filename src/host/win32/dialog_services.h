// What the settings dialog asks of the platform's dialog box, its controls and the shell.
// Controls are named by their ids in the dialog template "CONFIG".
#pragma once

#include <cstdint>

#include "image/bitmap.h"

// A dialog box (HWND on Windows); 0 is none.
using DialogWindow = uintptr_t;

struct DialogRect {
    int32_t left;
    int32_t top;
    int32_t right;
    int32_t bottom;
};

void SetDialogItemText(DialogWindow dialog, int32_t id, const char* text);
// A check box ticked (1) or not (0).
void SetDialogItemCheck(DialogWindow dialog, int32_t id, uint32_t checked);
uint32_t GetDialogItemCheck(DialogWindow dialog, int32_t id);
void EnableDialogItem(DialogWindow dialog, int32_t id, bool enabled);
// Drop-down lists: entries are added at the end (or in order, for a sorted list).
void AddDialogListEntry(DialogWindow dialog, int32_t id, const char* text);
void SelectDialogListEntry(DialogWindow dialog, int32_t id, int32_t index);
// The selected index, -1 for none.
int32_t GetDialogListSelection(DialogWindow dialog, int32_t id);
// A slider's position; the control keeps it inside its range (0..100 unless set).
void SetDialogSliderPosition(DialogWindow dialog, int32_t id, uint32_t position);
uint32_t GetDialogSliderPosition(DialogWindow dialog, int32_t id);
// A static picture control shows the bitmap; the caller keeps it and deletes it later.
void SetDialogItemBitmap(DialogWindow dialog, int32_t id, ImageBitmap* bitmap);
// The control's window rectangle in the dialog's client coordinates; false without one.
bool GetDialogItemRect(DialogWindow dialog, int32_t id, DialogRect& rect);
void FocusDialogItem(DialogWindow dialog, int32_t id);
// Ends the modal dialog; the dialog box call returns result.
void EndSettingsDialog(DialogWindow dialog, int32_t result);
// The hand pointer, over something that opens a web page.
void ShowHandPointer();
// A message box with no owner, titled "Error", with the stop sign.
void ShowStopMessage(const char* text);

// The command that opens http addresses, as the system stores it (zero-terminated within
// capacity bytes); false when it cannot be read.
bool ReadBrowserCommand(char* buffer, uint32_t capacity);
// Starts file ("open") with the parameter text, or opens it with the system's handler for its
// kind when parameters is null.
void ShellOpen(const char* file, const char* parameters);
