// The Linux program's command line. Options are words with one or two leading dashes
// (-render or --render, as XScreenSaver hacks take them), each value the next argument.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "settings/settings.h"

// -geometry WxH, optionally placed at +X+Y (or -X-Y from the right and bottom edges).
struct WindowGeometry {
    uint32_t width = 0;
    uint32_t height = 0;
    bool placed = false;
    int32_t x = 0;
    int32_t y = 0;
    bool fromRight = false;
    bool fromBottom = false;
};

// Who draws: OpenGL, the processor, or whichever costs less here (-renderer).
enum class RendererChoice { Auto, OpenGl, Cpu };

struct HackOptions {
    bool help = false;
    bool addToXScreenSaver = false;  // -add-to-xscreensaver: edit ~/.xscreensaver, draw nothing

    std::string renderPath;  // -render: the PNG to write; a %d in it numbers every frame
    uint32_t frames = 1;     // -frames
    bool framesGiven = false;
    std::string imagePath;     // -image: the desktop picture; empty for the demo desktop
    int32_t demoWidth = 1280;  // -size
    int32_t demoHeight = 800;
    bool sizeGiven = false;
    std::optional<uint32_t> seedIJ;  // -seed IJ,KL; both or neither
    std::optional<uint32_t> seedKL;
    std::optional<int64_t> frameTimeNs;              // -frame-time, in counter counts (nanoseconds)
    std::string dumpSpotsDir;                        // -dump-spots
    RendererChoice renderer = RendererChoice::Auto;  // -renderer

    // Setting overrides for this run, as the store would hold them.
    std::optional<uint32_t> numLights;   // -lights n gives n - 1
    std::optional<uint32_t> colorLight;  // -color: index into LightColorTable, 7 random
    std::optional<uint32_t> lightSpeed;  // -speed
    std::optional<uint32_t> showTime;    // -time / -no-time: bTime
    std::optional<uint32_t> showFps;     // -fps / -no-fps: bFps

    // Where to draw, as XScreenSaver's hacks are told.
    bool root = false;                 // -root: XSCREENSAVER_WINDOW when set, else the root window
    bool window = false;               // -window: a top-level window of our own
    std::optional<uint32_t> windowId;  // -window-id: someone else's window
    std::optional<WindowGeometry> geometry;  // -geometry, for -window

    // ParseHackOptions with clamping: what was taken differently or ignored, as one line.
    std::string notes;
};

inline constexpr uint32_t MaxFrames = 100000;
inline constexpr int32_t MaxFrameTimeSeconds = 60;

// Reads argv[1 .. argc-1]. False on an unknown option, a missing or bad value: then error holds
// one line that names the option.
//
// With clampValues (XScreenSaver runs the program: a blank screen helps nobody) it never fails:
// a number out of range becomes the nearest value in range, anything else that is wrong is
// left out, and options.notes says what was done.
bool ParseHackOptions(int argc, const char* const* argv, HackOptions& options, std::string& error,
                      bool clampValues = false);

// An X11 window id as XScreenSaver passes it: decimal, or hexadecimal after 0x; not 0.
bool ParseWindowId(std::string_view text, uint32_t& id);

// Writes the overrides the options carry into settings; the other fields stay.
void ApplySettingOverrides(const HackOptions& options, SaverSettings& settings);

// The -help text.
const char* HackUsage();

// A -render name with a frame number in it: "%d", or "%0Nd" with N from 1 to 9 for numbers
// padded with zeros. Every such placeholder takes the number; other characters, a lone '%'
// included, stay as they are.
bool HasFrameNumber(const std::string& pattern);
std::string FramePath(const std::string& pattern, uint32_t frame);
