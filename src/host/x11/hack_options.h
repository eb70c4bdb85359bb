// The Linux program's command line. Options are words with one or two leading dashes
// (-render or --render, as XScreenSaver hacks take them), each value the next argument.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "settings/settings.h"

struct HackOptions {
    bool help = false;

    std::string renderPath;  // -render: the PNG to write; a %d in it numbers every frame
    uint32_t frames = 1;     // -frames
    bool framesGiven = false;
    std::string imagePath;     // -image: the desktop picture; empty for the demo desktop
    int32_t demoWidth = 1280;  // -size
    int32_t demoHeight = 800;
    bool sizeGiven = false;
    std::optional<uint32_t> seedIJ;  // -seed IJ,KL; both or neither
    std::optional<uint32_t> seedKL;
    std::optional<int64_t> frameTimeNs;  // -frame-time, in counter counts (nanoseconds)
    std::string dumpSpotsDir;            // -dump-spots

    // Setting overrides for this run, as the store would hold them.
    std::optional<uint32_t> numLights;   // -lights n gives n - 1
    std::optional<uint32_t> colorLight;  // -color: index into LightColorTable, 7 random
    std::optional<uint32_t> lightSpeed;  // -speed
    std::optional<uint32_t> showTime;    // -time / -no-time: bTime
    std::optional<uint32_t> showFps;     // -fps / -no-fps: bFps
};

inline constexpr uint32_t MaxFrames = 100000;
inline constexpr int32_t MaxFrameTimeSeconds = 60;

// Reads argv[1 .. argc-1]. False on an unknown option, a missing or bad value: then error holds
// one line that names the option.
bool ParseHackOptions(int argc, const char* const* argv, HackOptions& options, std::string& error);

// Writes the overrides the options carry into settings; the other fields stay.
void ApplySettingOverrides(const HackOptions& options, SaverSettings& settings);

// The -help text.
const char* HackUsage();

// A -render name with a frame number in it: "%d", or "%0Nd" with N from 1 to 9 for numbers
// padded with zeros. Every such placeholder takes the number; other characters, a lone '%'
// included, stay as they are.
bool HasFrameNumber(const std::string& pattern);
std::string FramePath(const std::string& pattern, uint32_t frame);
