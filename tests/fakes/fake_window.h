// Fake of host/window_services.h: every call goes into CallLog, e.g.
//   "GetWindowClientSize 77"  "ShowErrorMessage 77 Error: CreateDevice FAILED"
//   "SendDestroyMessage 77"   "PostDestroyMessage 77"   "PostQuit 0"
//   "ShowWindowRestoredThenMaximized 77"   "StartFrameTimer 77"   "PostCloseMessage 77"
#pragma once

#include <cstdint>
#include <functional>

#include "host/window_services.h"

struct FakeWindowControl {
    int32_t clientWidth = 1024;
    int32_t clientHeight = 768;
    // Runs inside SendDestroyMessage, as a window procedure handles a sent message at once.
    std::function<void()> onSendDestroy;
};

extern FakeWindowControl FakeWindow;
