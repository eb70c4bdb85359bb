#include "host/x11/hack_options.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <string_view>

#include "support/ascii.h"
#include "surface/picture/desktop_source.h"

namespace {

// A whole argument of decimal digits, nothing else, within [low, high].
bool ParseNumber(std::string_view text, uint32_t low, uint32_t high, uint32_t& value)
{
    if (text.empty() || text.front() < '0' || text.front() > '9') return false;
    uint32_t parsed = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), parsed);
    if (error != std::errc{} || end != text.data() + text.size()) return false;
    if (parsed < low || parsed > high) return false;
    value = parsed;
    return true;
}

// "A<sep>B" with both parts numbers in their ranges.
bool ParsePair(std::string_view text, char separator, uint32_t lowA, uint32_t highA, uint32_t lowB,
               uint32_t highB, uint32_t& a, uint32_t& b)
{
    const size_t at = text.find(separator);
    if (at == std::string_view::npos) return false;
    return ParseNumber(text.substr(0, at), lowA, highA, a) &&
           ParseNumber(text.substr(at + 1), lowB, highB, b);
}

// Seconds as a decimal number (no sign, no exponent), rounded to whole nanoseconds.
bool ParseSeconds(std::string_view text, int64_t& nanoseconds)
{
    if (text.empty() || (text.front() != '.' && (text.front() < '0' || text.front() > '9'))) {
        return false;
    }
    double seconds = 0.0;
    const auto [end, error] =
        std::from_chars(text.data(), text.data() + text.size(), seconds, std::chars_format::fixed);
    if (error != std::errc{} || end != text.data() + text.size()) return false;
    if (!std::isfinite(seconds) || seconds < 0.0 || seconds > MaxFrameTimeSeconds) return false;
    nanoseconds = std::llrint(seconds * 1e9);
    return true;
}

// The names of LightColorTable's entries 0 to 6, then the random choice.
constexpr const char* ColorNames[] = {"white",  "red",    "green", "blue",
                                      "yellow", "purple", "cyan",  "random"};

bool ParseColor(std::string_view text, uint32_t& index)
{
    for (uint32_t i = 0; i < 8; ++i) {
        if (EqualIgnoringCase(text, ColorNames[i])) {
            index = i;
            return true;
        }
    }
    return false;
}

// The length of the frame-number placeholder that starts at `at`, or 0 when none does.
size_t PlaceholderLength(const std::string& pattern, size_t at, int& width)
{
    width = 0;
    if (pattern[at] != '%') return 0;
    size_t i = at + 1;
    if (i + 1 < pattern.size() && pattern[i] == '0' && pattern[i + 1] >= '1' &&
        pattern[i + 1] <= '9') {
        width = pattern[i + 1] - '0';
        i += 2;
    }
    return (i < pattern.size() && pattern[i] == 'd') ? i + 1 - at : 0;
}

}  // namespace

bool ParseHackOptions(int argc, const char* const* argv, HackOptions& options, std::string& error)
{
    options = HackOptions{};
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        std::string_view name;
        if (arg.size() > 2 && arg.substr(0, 2) == "--") {
            name = arg.substr(2);
        } else if (arg.size() > 1 && arg[0] == '-' && arg[1] != '-') {
            name = arg.substr(1);
        } else {
            error = "unexpected argument '" + std::string(arg) + "'";
            return false;
        }

        // Switches without a value.
        if (name == "help" || name == "h") {
            options.help = true;
            continue;
        }
        if (name == "time" || name == "no-time") {
            options.showTime = name == "time" ? 1u : 0u;
            continue;
        }
        if (name == "fps" || name == "no-fps") {
            options.showFps = name == "fps" ? 1u : 0u;
            continue;
        }

        const bool known = name == "render" || name == "frames" || name == "image" ||
                           name == "size" || name == "seed" || name == "frame-time" ||
                           name == "dump-spots" || name == "lights" || name == "color" ||
                           name == "speed";
        if (!known) {
            error = "unknown option '" + std::string(arg) + "'";
            return false;
        }
        if (i + 1 >= argc) {
            error = "option '" + std::string(arg) + "' needs a value";
            return false;
        }
        const std::string_view value = argv[++i];
        const auto bad = [&](const char* expected) {
            error =
                "bad value '" + std::string(value) + "' for " + std::string(arg) + ": " + expected;
            return false;
        };

        uint32_t a = 0;
        uint32_t b = 0;
        if (name == "render") {
            if (value.empty()) return bad("expected a file name");
            options.renderPath = value;
        } else if (name == "frames") {
            if (!ParseNumber(value, 1, MaxFrames, a)) return bad("expected 1 to 100000");
            options.frames = a;
            options.framesGiven = true;
        } else if (name == "image") {
            if (value.empty()) return bad("expected a file name");
            options.imagePath = value;
        } else if (name == "size") {
            const auto side = static_cast<uint32_t>(MaxDesktopSide);
            if (!ParsePair(value, 'x', 1, side, 1, side, a, b)) {
                return bad("expected WIDTHxHEIGHT, each 1 to 8192");
            }
            options.demoWidth = static_cast<int32_t>(a);
            options.demoHeight = static_cast<int32_t>(b);
            options.sizeGiven = true;
        } else if (name == "seed") {
            // The generator's own ranges; larger seeds would be cut to these anyway.
            if (!ParsePair(value, ',', 0, 31328, 0, 30081, a, b)) {
                return bad("expected IJ,KL with IJ 0 to 31328 and KL 0 to 30081");
            }
            options.seedIJ = a;
            options.seedKL = b;
        } else if (name == "frame-time") {
            int64_t ns = 0;
            if (!ParseSeconds(value, ns)) return bad("expected seconds from 0 to 60");
            options.frameTimeNs = ns;
        } else if (name == "dump-spots") {
            if (value.empty()) return bad("expected a folder");
            options.dumpSpotsDir = value;
        } else if (name == "lights") {
            if (!ParseNumber(value, 1, 5, a)) return bad("expected 1 to 5");
            options.numLights = a - 1;
        } else if (name == "color") {
            if (!ParseColor(value, a)) {
                return bad("expected white, red, green, blue, yellow, purple, cyan or random");
            }
            options.colorLight = a;
        } else if (name == "speed") {
            if (!ParseNumber(value, 0, 100, a)) return bad("expected 0 to 100");
            options.lightSpeed = a;
        }
    }
    if (!options.imagePath.empty() && options.sizeGiven) {
        error = "-size and -image do not go together: the picture's size is the screen size";
        return false;
    }
    return true;
}

void ApplySettingOverrides(const HackOptions& options, SaverSettings& settings)
{
    if (options.numLights) settings.NumLights = *options.numLights;
    if (options.colorLight) settings.ColorLight = *options.colorLight;
    if (options.lightSpeed) settings.LightSpeed = *options.lightSpeed;
    if (options.showTime) settings.bTime = *options.showTime;
    if (options.showFps) settings.bFps = *options.showFps;
}

const char* HackUsage()
{
    return "Usage: tavrel [options]\n"
           "Renders the saver without a window into PNG files. Options may be written with\n"
           "one dash or two (-render, --render); each value is the next argument.\n"
           "\n"
           "  -render FILE.png   write the last frame to FILE.png; with %d (or %04d) in the\n"
           "                     name, every frame, numbered from 0\n"
           "  -frames N          render N ticks, 1 to 100000 (default 1)\n"
           "  -image FILE        the desktop picture (PNG, JPEG, BMP or GIF); its size is the\n"
           "                     screen size\n"
           "  -size WxH          size of the built-in demo desktop used without -image\n"
           "                     (default 1280x800)\n"
           "  -seed IJ,KL        seeds of the random generator (0..31328, 0..30081) instead\n"
           "                     of the clock\n"
           "  -frame-time S      every tick lasts S seconds (0 to 60) instead of the measured\n"
           "                     time; the overlay clock then starts at 2000-01-01 12:00 UTC\n"
           "  -dump-spots DIR    after the last tick, write each light spot's texture as\n"
           "                     DIR/spot0.png ... (RGBA, 256 x 256)\n"
           "\n"
           "For this run only (the stored settings stay as they are):\n"
           "  -lights N          1 to 5 light spots\n"
           "  -color NAME        white, red, green, blue, yellow, purple, cyan or random\n"
           "  -speed N           light speed, 0 to 100\n"
           "  -time, -no-time    show or hide the clock and the date\n"
           "  -fps, -no-fps      show or hide the frame rate\n"
           "\n"
           "  -help              this text\n"
           "\n"
           "Without -render there is no window to show the saver in yet: it renders 72 frames\n"
           "(2 seconds of the saver) into $XDG_CACHE_HOME/tavrel/frames (~/.cache/tavrel/frames)\n"
           "and says so. Exit status: 0 done, 1 rendering or writing failed, 2 bad options or\n"
           "a picture that cannot be used.\n";
}

bool HasFrameNumber(const std::string& pattern)
{
    int width = 0;
    for (size_t i = 0; i < pattern.size(); ++i) {
        if (PlaceholderLength(pattern, i, width) != 0) return true;
    }
    return false;
}

std::string FramePath(const std::string& pattern, uint32_t frame)
{
    std::string path;
    const std::string digits = std::to_string(frame);
    for (size_t i = 0; i < pattern.size();) {
        int width = 0;
        const size_t length = PlaceholderLength(pattern, i, width);
        if (length == 0) {
            path += pattern[i++];
            continue;
        }
        if (static_cast<int>(digits.size()) < width) path.append(width - digits.size(), '0');
        path += digits;
        i += length;
    }
    return path;
}
