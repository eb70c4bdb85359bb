// Where the Linux program's desktop comes from. Headless runs have no screen to grab: a picture
// file or the built-in demo desktop stands in for it, and its size is the screen size. The X11
// and Wayland hosts grab the screen themselves and hand the snapshot over.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "surface/height_field.h"

enum class DesktopSourceKind : uint32_t { DemoDesktop, PictureFile, Snapshot };

struct DesktopSnapshot;

struct DesktopSource {
    DesktopSourceKind kind = DesktopSourceKind::DemoDesktop;
    std::string picturePath;   // PictureFile
    int32_t demoWidth = 1280;  // DemoDesktop
    int32_t demoHeight = 800;
    const DesktopSnapshot* snapshot = nullptr;  // Snapshot: taken by the host, kept by it
};

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

// The source's desktop as the surface's height field. False when it cannot be had; then the
// surface is unchanged and the reason is one line.
bool CaptureDesktop(SurfaceFields& surface, const DesktopSource& source, std::string& reason);
