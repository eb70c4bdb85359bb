// A made-up desktop for runs that have no screen to grab: a wallpaper, a panel, desktop icons
// and a few overlapping windows with title bars, buttons and text. The same size always gives
// the same picture, so headless renders can be compared byte for byte.
#pragma once

#include <cstddef>
#include <cstdint>

// Bytes of one row of a 24-bit snapshot: 3 per pixel, rounded up to a multiple of 4.
inline size_t SnapshotStride(int32_t width)
{
    return (3 * static_cast<size_t>(width > 0 ? width : 0) + 3) & ~size_t{3};
}

// Draws the desktop into snapshot, laid out as a desktop capture is: blue, green, red bytes,
// the bottom row first, rows SnapshotStride(width) bytes apart. Every byte of the
// SnapshotStride(width) * height bytes is written (the row fill with 0). Nothing for an empty
// size or a null snapshot.
void DrawDemoDesktop(int32_t width, int32_t height, uint8_t* snapshot);
