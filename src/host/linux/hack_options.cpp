#include "host/linux/hack_options.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <string>
#include <string_view>

#include "support/ascii.h"
#include "surface/picture/desktop_source.h"

namespace {

// How a value read: in range, a number outside the range (then replaced by the nearest end),
// or not what the option takes at all.
enum class ValueRead { Ok, OutOfRange, Bad };

ValueRead Worse(ValueRead a, ValueRead b)
{
    return static_cast<int>(a) > static_cast<int>(b) ? a : b;
}

// A whole argument of decimal digits, nothing else, within [low, high]. A number out of range
// (a leading minus, or too large for 32 bits, included) gives the nearest end.
ValueRead ParseNumber(std::string_view text, uint32_t low, uint32_t high, uint32_t& value)
{
    const bool negative = text.size() > 1 && text.front() == '-';
    const std::string_view digits = negative ? text.substr(1) : text;
    if (digits.empty() || digits.front() < '0' || digits.front() > '9') return ValueRead::Bad;
    uint32_t parsed = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), parsed);
    if (end != digits.data() + digits.size()) return ValueRead::Bad;
    if (error == std::errc::result_out_of_range) {
        value = negative ? low : high;
        return ValueRead::OutOfRange;
    }
    if (error != std::errc{}) return ValueRead::Bad;
    if (negative && parsed != 0) {
        value = low;
        return ValueRead::OutOfRange;
    }
    value = parsed < low ? low : parsed > high ? high : parsed;
    return (parsed < low || parsed > high) ? ValueRead::OutOfRange : ValueRead::Ok;
}

// "A<sep>B" with both parts numbers in their ranges.
ValueRead ParsePair(std::string_view text, char separator, uint32_t lowA, uint32_t highA,
                    uint32_t lowB, uint32_t highB, uint32_t& a, uint32_t& b)
{
    const size_t at = text.find(separator);
    if (at == std::string_view::npos) return ValueRead::Bad;
    return Worse(ParseNumber(text.substr(0, at), lowA, highA, a),
                 ParseNumber(text.substr(at + 1), lowB, highB, b));
}

// Seconds as a decimal number (no sign, no exponent), rounded to whole nanoseconds.
ValueRead ParseSeconds(std::string_view text, int64_t& nanoseconds)
{
    const bool negative = text.size() > 1 && text.front() == '-';
    const std::string_view number = negative ? text.substr(1) : text;
    if (number.empty() ||
        (number.front() != '.' && (number.front() < '0' || number.front() > '9'))) {
        return ValueRead::Bad;
    }
    double seconds = 0.0;
    const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), seconds,
                                              std::chars_format::fixed);
    if (error != std::errc{} || end != number.data() + number.size() || !std::isfinite(seconds)) {
        return ValueRead::Bad;
    }
    if (negative && seconds > 0.0) {
        nanoseconds = 0;
        return ValueRead::OutOfRange;
    }
    if (seconds > MaxFrameTimeSeconds) {
        nanoseconds = int64_t{MaxFrameTimeSeconds} * 1000000000;
        return ValueRead::OutOfRange;
    }
    nanoseconds = std::llrint(seconds * 1e9);
    return ValueRead::Ok;
}

// The names of LightColorTable's entries 0 to 6, then the random choice.
constexpr const char* ColorNames[] = {"white",  "red",    "green", "blue",
                                      "yellow", "purple", "cyan",  "random"};

ValueRead ParseColor(std::string_view text, uint32_t& index)
{
    for (uint32_t i = 0; i < 8; ++i) {
        if (EqualIgnoringCase(text, ColorNames[i])) {
            index = i;
            return ValueRead::Ok;
        }
    }
    return ValueRead::Bad;
}

// An offset of -geometry: a sign, then decimal digits.
bool ParseOffset(std::string_view text, int32_t& offset, bool& negative)
{
    if (text.size() < 2 || (text.front() != '+' && text.front() != '-')) return false;
    negative = text.front() == '-';
    uint32_t value = 0;
    if (ParseNumber(text.substr(1), 0, 32767, value) != ValueRead::Ok) return false;
    offset = static_cast<int32_t>(value);
    return true;
}

// WxH, then optionally two offsets.
ValueRead ParseGeometry(std::string_view text, WindowGeometry& geometry)
{
    geometry = WindowGeometry{};
    const size_t sign = text.find_first_of("+-");
    const auto side = static_cast<uint32_t>(MaxDesktopSide);
    const ValueRead size =
        ParsePair(text.substr(0, sign), 'x', 1, side, 1, side, geometry.width, geometry.height);
    if (size == ValueRead::Bad || sign == std::string_view::npos) return size;
    const std::string_view offsets = text.substr(sign);
    const size_t second = offsets.find_first_of("+-", 1);
    if (second == std::string_view::npos ||
        !ParseOffset(offsets.substr(0, second), geometry.x, geometry.fromRight) ||
        !ParseOffset(offsets.substr(second), geometry.y, geometry.fromBottom)) {
        return ValueRead::Bad;
    }
    geometry.placed = true;
    return size;
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

// What the parse does with one option after reading its value.
enum class Step { Use, Skip, Stop };

// A mistake: the end of the parse, or with clampValues a note and on to the next argument.
struct Parse {
    HackOptions& options;
    std::string& error;
    bool clampValues;

    void Note(const std::string& text) const
    {
        options.notes += (options.notes.empty() ? "" : "; ") + text;
    }

    Step Mistake(const std::string& text, const std::string& ignored) const
    {
        if (!clampValues) {
            error = text;
            return Step::Stop;
        }
        Note("ignored " + ignored);
        return Step::Skip;
    }
};

// Judges the value of one option against its range; `taken` is the value used instead of one
// out of range, so it must be worked out after the read.
struct Judge {
    const Parse& parse;
    std::string_view arg;
    std::string_view value;
    const char* expected;

    Step operator()(ValueRead read, const std::string& taken) const
    {
        if (read == ValueRead::Ok) return Step::Use;
        const std::string a(arg);
        const std::string v(value);
        if (read == ValueRead::OutOfRange && parse.clampValues) {
            parse.Note(a + " " + taken + " instead of '" + v + "' (" + expected + ")");
            return Step::Use;
        }
        return parse.Mistake("bad value '" + v + "' for " + a + ": " + expected,
                             a + " '" + v + "'");
    }
};

// Each takes the value of its option into options when the judge lets it.
Step TakeFrames(std::string_view value, HackOptions& options, const Judge& judge)
{
    uint32_t a = 0;
    const ValueRead read = ParseNumber(value, 1, MaxFrames, a);
    const Step step = judge(read, std::to_string(a));
    if (step == Step::Use) {
        options.frames = a;
        options.framesGiven = true;
    }
    return step;
}

Step TakeSize(std::string_view value, HackOptions& options, const Judge& judge)
{
    uint32_t a = 0;
    uint32_t b = 0;
    const auto side = static_cast<uint32_t>(MaxDesktopSide);
    const ValueRead read = ParsePair(value, 'x', 1, side, 1, side, a, b);
    const Step step = judge(read, std::to_string(a) + "x" + std::to_string(b));
    if (step == Step::Use) {
        options.demoWidth = static_cast<int32_t>(a);
        options.demoHeight = static_cast<int32_t>(b);
        options.sizeGiven = true;
    }
    return step;
}

Step TakeSeed(std::string_view value, HackOptions& options, const Judge& judge)
{
    uint32_t a = 0;
    uint32_t b = 0;
    // The generator's own ranges; larger seeds would be cut to these anyway.
    const ValueRead read = ParsePair(value, ',', 0, 31328, 0, 30081, a, b);
    const Step step = judge(read, std::to_string(a) + "," + std::to_string(b));
    if (step == Step::Use) {
        options.seedIJ = a;
        options.seedKL = b;
    }
    return step;
}

Step TakeFrameTime(std::string_view value, HackOptions& options, const Judge& judge)
{
    int64_t ns = 0;
    const ValueRead read = ParseSeconds(value, ns);
    const Step step = judge(read, std::to_string(ns / 1000000000));
    if (step == Step::Use) options.frameTimeNs = ns;
    return step;
}

Step TakeLights(std::string_view value, HackOptions& options, const Judge& judge)
{
    uint32_t a = 0;
    const ValueRead read = ParseNumber(value, 1, 5, a);
    const Step step = judge(read, std::to_string(a));
    if (step == Step::Use) options.numLights = a - 1;
    return step;
}

Step TakeColor(std::string_view value, HackOptions& options, const Judge& judge)
{
    uint32_t a = 0;
    const Step step = judge(ParseColor(value, a), "");
    if (step == Step::Use) options.colorLight = a;
    return step;
}

Step TakeSpeed(std::string_view value, HackOptions& options, const Judge& judge)
{
    uint32_t a = 0;
    const ValueRead read = ParseNumber(value, 0, 100, a);
    const Step step = judge(read, std::to_string(a));
    if (step == Step::Use) options.lightSpeed = a;
    return step;
}

Step TakeWindowId(std::string_view value, HackOptions& options, const Judge& judge)
{
    uint32_t a = 0;
    const Step step = judge(ParseWindowId(value, a) ? ValueRead::Ok : ValueRead::Bad, "");
    if (step == Step::Use) options.windowId = a;
    return step;
}

Step TakeRenderer(std::string_view value, HackOptions& options, const Judge& judge)
{
    const bool named = value == "auto" || value == "gl" || value == "cpu";
    const Step step = judge(named ? ValueRead::Ok : ValueRead::Bad, "");
    if (step == Step::Use) {
        options.renderer = value == "gl"    ? RendererChoice::OpenGl
                           : value == "cpu" ? RendererChoice::Cpu
                                            : RendererChoice::Auto;
    }
    return step;
}

Step TakeGeometry(std::string_view value, HackOptions& options, const Judge& judge)
{
    WindowGeometry geometry;
    const ValueRead read = ParseGeometry(value, geometry);
    const Step step =
        judge(read, std::to_string(geometry.width) + "x" + std::to_string(geometry.height));
    if (step == Step::Use) options.geometry = geometry;
    return step;
}

// One row of the options: how the parse takes it and how -help shows it, in -help's order.
// Rows without a name are -help's own text.
struct OptionRow {
    const char* shown;            // -help's left column; null for text across the page
    const char* help;             // the right column, its lines joined by '\n'; or the text itself
    const char* name = nullptr;   // what follows the dashes
    const char* other = nullptr;  // a second name: the switch's "no-" form, or a short one
    void (*set)(HackOptions& options, bool byOther) = nullptr;  // a switch
    const char* expected = nullptr;                             // a value: what it should be
    Step (*take)(std::string_view value, HackOptions& options, const Judge& judge) = nullptr;
    std::string HackOptions::*path = nullptr;  // or a file name, kept as given; not empty
};

constexpr OptionRow Options[] = {
    {nullptr,
     "Usage: tavrel [options]\n"
     "The saver on X11, or rendered without a window into PNG files. Options may be\n"
     "written with one dash or two (-window, --window); each value is the next argument.\n"
     "\n"
     "Where it draws:\n"},
    {"(none)",
     "with a display: the full-screen saver, ended by a key, a\n"
     "click, moving the pointer or another program taking the\n"
     "keyboard; without one: see -render below"},
    {"-window",
     "in a window of its own, the screen's size unless -geometry\n"
     "says otherwise; a key or the close button ends it",
     "window", nullptr, [](HackOptions& o, bool) { o.window = true; }},
    {"-geometry WxH[+X+Y]", "that window's size and place", "geometry", nullptr, nullptr,
     "expected WIDTHxHEIGHT, each 1 to 8192, and optionally +X+Y", TakeGeometry},
    {"-window-id ID",
     "in an existing window (decimal or 0x hexadecimal), as\n"
     "XScreenSaver's previews run it",
     "window-id", nullptr, nullptr, "expected a window id, decimal or 0x hexadecimal",
     TakeWindowId},
    {"-root",
     "in the window named by $XSCREENSAVER_WINDOW, else on the\n"
     "root window; so does $XSCREENSAVER_WINDOW alone\n"
     "In these three modes input does not end it: it runs until\n"
     "SIGTERM or SIGINT, or until the window is destroyed.",
     "root", nullptr, [](HackOptions& o, bool) { o.root = true; }},
    {"-render FILE.png",
     "no window: write the last frame to FILE.png; with %d (or\n"
     "%04d) in the name, every frame, numbered from 0",
     "render", nullptr, nullptr, "expected a file name", nullptr, &HackOptions::renderPath},
    {nullptr,
     "\n"
     "The desktop it lights is the screen, grabbed before its window shows; under\n"
     "XScreenSaver, the picture that xscreensaver-getimage gives; without either, a\n"
     "built-in demo desktop.\n"},
    {"-image FILE", "the desktop picture instead (PNG, JPEG, BMP or GIF)", "image", nullptr,
     nullptr, "expected a file name", nullptr, &HackOptions::imagePath},
    {"-seed IJ,KL",
     "seeds of the random generator (0..31328, 0..30081) instead\n"
     "of the clock",
     "seed", nullptr, nullptr, "expected IJ,KL with IJ 0 to 31328 and KL 0 to 30081", TakeSeed},
    {"-frame-time S",
     "every tick lasts S seconds (0 to 60) instead of the measured\n"
     "time, for pictures that come out the same every run; the\n"
     "overlay clock then starts at 2000-01-01 12:00 UTC",
     "frame-time", nullptr, nullptr, "expected seconds from 0 to 60", TakeFrameTime},
    {"-renderer NAME",
     "who draws: gl (OpenGL), cpu (the processor) or auto (the\n"
     "default: the processor where OpenGL is a software\n"
     "rasteriser or missing, else OpenGL; OpenGL without a window)",
     "renderer", nullptr, nullptr, "expected gl, cpu or auto", TakeRenderer},
    {nullptr,
     "\n"
     "For this run only (the stored settings stay as they are):\n"},
    {"-lights N", "1 to 5 light spots", "lights", nullptr, nullptr, "expected 1 to 5", TakeLights},
    {"-color NAME", "white, red, green, blue, yellow, purple, cyan or random", "color", nullptr,
     nullptr, "expected white, red, green, blue, yellow, purple, cyan or random", TakeColor},
    {"-speed N", "light speed, 0 to 100", "speed", nullptr, nullptr, "expected 0 to 100",
     TakeSpeed},
    {"-time, -no-time", "show or hide the clock and the date", "time", "no-time",
     [](HackOptions& o, bool no) { o.showTime = no ? 0u : 1u; }},
    {"-fps, -no-fps", "show or hide the frame rate", "fps", "no-fps",
     [](HackOptions& o, bool no) { o.showFps = no ? 0u : 1u; }},
    {nullptr,
     "\n"
     "Runs without a window only:\n"},
    {"-frames N", "render N ticks, 1 to 100000 (default 1)", "frames", nullptr, nullptr,
     "expected 1 to 100000", TakeFrames},
    {"-size WxH",
     "size of the demo desktop used without -image (default\n"
     "1280x800); the picture's size is the screen size",
     "size", nullptr, nullptr, "expected WIDTHxHEIGHT, each 1 to 8192", TakeSize},
    {"-dump-spots DIR",
     "after the last tick, write each light spot's texture as\n"
     "DIR/spot0.png ... (RGBA, 256 x 256)",
     "dump-spots", nullptr, nullptr, "expected a folder", nullptr, &HackOptions::dumpSpotsDir},
    {nullptr, "\n"},
    {"-add-to-xscreensaver",
     "put Tavrel's line into the programs: list of\n"
     "~/.xscreensaver (made when missing), and draw nothing",
     "add-to-xscreensaver", nullptr, [](HackOptions& o, bool) { o.addToXScreenSaver = true; }},
    {"-help", "this text", "help", "h", [](HackOptions& o, bool) { o.help = true; }},
    {nullptr,
     "\n"
     "Without a display and without -render it renders 72 frames (2 seconds of the\n"
     "saver) into $XDG_CACHE_HOME/tavrel/frames (~/.cache/tavrel/frames) and says so.\n"
     "\n"
     "Exit status: 0 done (a saver ended by its rules, a signal or its window going\n"
     "away), 1 rendering or writing failed, 2 bad options, a picture that cannot be\n"
     "used, no display or window to draw in, or the display was lost. Run by\n"
     "XScreenSaver ($XSCREENSAVER_WINDOW set), a value out of range is taken as the\n"
     "nearest one in range and other mistakes are left out, with one line about it.\n"},
};

// The row of an option's name, and whether it was its second name; null for none.
const OptionRow* FindOption(std::string_view name, bool& byOther)
{
    for (const OptionRow& row : Options) {
        if (row.name == nullptr) continue;
        byOther = row.other != nullptr && name == row.other;
        if (name == row.name || byOther) return &row;
    }
    return nullptr;
}

std::string MakeUsage()
{
    // -help's left column: two blanks, the option, padded to here.
    constexpr size_t HelpColumn = 21;
    std::string text;
    for (const OptionRow& row : Options) {
        if (row.shown == nullptr) {
            text += row.help;
            continue;
        }
        std::string line = std::string("  ") + row.shown;
        line += line.size() + 2 <= HelpColumn ? std::string(HelpColumn - line.size(), ' ') : "  ";
        for (std::string_view rest = row.help;;) {
            const size_t end = rest.find('\n');
            text += line;
            text += rest.substr(0, end);
            text += '\n';
            if (end == std::string_view::npos) break;
            rest.remove_prefix(end + 1);
            line.assign(HelpColumn, ' ');
        }
    }
    return text;
}

}  // namespace

bool ParseWindowId(std::string_view text, uint32_t& id)
{
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    const std::string_view digits = hex ? text.substr(2) : text;
    if (digits.empty()) return false;
    uint32_t parsed = 0;
    const auto [end, error] =
        std::from_chars(digits.data(), digits.data() + digits.size(), parsed, hex ? 16 : 10);
    if (error != std::errc{} || end != digits.data() + digits.size() || parsed == 0) return false;
    id = parsed;
    return true;
}

bool ParseHackOptions(int argc, const char* const* argv, HackOptions& options, std::string& error,
                      bool clampValues)
{
    options = HackOptions{};
    const Parse parse{options, error, clampValues};
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        const std::string text = "'" + std::string(arg) + "'";
        std::string_view name;
        if (arg.size() > 2 && arg.substr(0, 2) == "--") {
            name = arg.substr(2);
        } else if (arg.size() > 1 && arg[0] == '-' && arg[1] != '-') {
            name = arg.substr(1);
        } else {
            if (parse.Mistake("unexpected argument " + text, text) == Step::Stop) return false;
            continue;
        }
        bool byOther = false;
        const OptionRow* row = FindOption(name, byOther);
        if (row == nullptr) {
            if (parse.Mistake("unknown option " + text, text) == Step::Stop) return false;
            continue;
        }
        if (row->set != nullptr) {
            row->set(options, byOther);
            continue;
        }
        if (i + 1 >= argc) {
            if (parse.Mistake("option " + text + " needs a value", text) == Step::Stop) {
                return false;
            }
            continue;
        }
        const std::string_view value = argv[++i];
        const Judge judge{parse, arg, value, row->expected};
        Step step = Step::Use;
        if (row->path != nullptr) {
            step = judge(value.empty() ? ValueRead::Bad : ValueRead::Ok, "");
            if (step == Step::Use) options.*row->path = value;
        } else {
            step = row->take(value, options, judge);
        }
        if (step == Step::Stop) return false;
    }
    if (!options.imagePath.empty() && options.sizeGiven) {
        const char* text =
            "-size and -image do not go together: the picture's size is the screen size";
        if (!clampValues) {
            error = text;
            return false;
        }
        parse.Note("ignored -size: the picture's size is the screen size");
        options.sizeGiven = false;
        options.demoWidth = HackOptions{}.demoWidth;
        options.demoHeight = HackOptions{}.demoHeight;
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
    static const std::string text = MakeUsage();
    return text.c_str();
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
