// A made-up desktop for runs that have no screen to grab: a wallpaper, a panel, desktop icons
// and a few overlapping windows with title bars, buttons and text. The same size always gives
// the same picture, so headless renders can be compared byte for byte.
#pragma once

#include <cstdint>

#include "surface/height_field.h"

// Draws the desktop into snapshot, laid out as a desktop capture is: blue, green, red bytes,
// the bottom row first, rows SnapshotStride(width) bytes apart. Every byte of the
// SnapshotStride(width) * height bytes is written (the row fill with 0). Nothing for an empty
// size or a null snapshot.
void DrawDemoDesktop(int32_t width, int32_t height, uint8_t* snapshot);
