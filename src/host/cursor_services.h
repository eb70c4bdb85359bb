// The pointer, as the full-screen saver hides, parks and restores it.
#pragma once

#include <cstdint>

// No pointer shape over the saver window.
void HideCursor();
// The ordinary arrow again.
void ShowArrowCursor();
// The pointer's position in screen coordinates.
void GetCursorPosition(int32_t& x, int32_t& y);
// Moves the pointer; the system may clamp the position to the screen.
void SetCursorPosition(int32_t x, int32_t y);
