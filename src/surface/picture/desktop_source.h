// Where the Linux program's desktop comes from. Headless runs have no screen to grab: a picture
// file or the built-in demo desktop stands in for it, and its size is the screen size. The X11
// and Wayland hosts grab the screen themselves and hand the snapshot over.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "surface/height_field.h"

// The largest picture taken, in either direction: an 8K screen fits, and the fields built from
// it (12 bytes a pixel for the normal field) stay within reach of an ordinary machine.
inline constexpr int32_t MaxDesktopSide = 8192;

// A desktop snapshot as a capture makes it: blue, green, red bytes, the bottom row first, rows
// padded to a multiple of 4 bytes (SnapshotStride in surface/height_field.h).
struct DesktopSnapshot {
    std::vector<uint8_t> pixels;
    int32_t width = 0;
    int32_t height = 0;

    // A black snapshot of w x h pixels (both at least 1); returns its row stride.
    size_t Reset(int32_t w, int32_t h)
    {
        width = w;
        height = h;
        pixels.assign(SnapshotStride(w) * static_cast<size_t>(h), 0);
        return SnapshotStride(w);
    }
};

// Decodes a PNG, JPEG, BMP or GIF picture (the first frame of an animation) held in memory.
// Other formats, a damaged file and a picture larger than MaxDesktopSide give false and a
// reason of one line; the snapshot is then left empty.
bool DecodeDesktopPicture(const uint8_t* bytes, size_t size, DesktopSnapshot& snapshot,
                          std::string& reason);
// The same for a file; the reason names the file.
bool LoadDesktopPicture(const char* path, DesktopSnapshot& snapshot, std::string& reason);

// The desktop as the surface's height field: a snapshot the host took, a picture file, or the
// demo desktop of width x height. False when it cannot be had; then the surface is unchanged
// and the reason is one line.
bool UseDesktopSnapshot(SurfaceFields& surface, const DesktopSnapshot& snapshot,
                        std::string& reason);
bool UseDesktopPictureFile(SurfaceFields& surface, const std::string& path, std::string& reason);
bool UseDemoDesktop(SurfaceFields& surface, int32_t width, int32_t height, std::string& reason);
