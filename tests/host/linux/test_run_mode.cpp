// The X11 options (window ids, geometry), the clamping of values under XScreenSaver, and the
// choice of the kind of run from the options and the environment.
#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "host/linux/run_mode.h"

namespace {

struct Parsed {
    bool ok;
    HackOptions options;
    std::string error;
};

Parsed Parse(std::initializer_list<const char*> args, bool clamp = false)
{
    std::vector<const char*> argv = {"tavrel"};
    argv.insert(argv.end(), args);
    Parsed parsed{};
    parsed.ok = ParseHackOptions(static_cast<int>(argv.size()), argv.data(), parsed.options,
                                 parsed.error, clamp);
    return parsed;
}

TEST(X11Options, WindowIdsInDecimalOrHexadecimal)
{
    const struct {
        const char* text;
        uint32_t id;  // 0: refused
    } cases[] = {
        {"0x1a00007", 0x1a00007},
        {"0X10", 16},
        {"12345", 12345},
        {"4294967295", 0xFFFFFFFF},
        {"0xffffffff", 0xFFFFFFFF},
        {"0", 0},
        {"0x0", 0},
        {"0x", 0},
        {"", 0},
        {"-5", 0},
        {"+5", 0},
        {"12ab", 0},
        {"0x1g", 0},
        {"4294967296", 0},
        {"0x100000000", 0},
        {" 7", 0},
    };
    for (const auto& c : cases) {
        uint32_t id = 0;
        EXPECT_EQ(ParseWindowId(c.text, id), c.id != 0) << c.text;
        if (c.id != 0) {
            EXPECT_EQ(id, c.id) << c.text;
        }
        const Parsed p = Parse({"-window-id", c.text});
        EXPECT_EQ(p.ok, c.id != 0) << c.text;
        if (!p.ok) {
            EXPECT_NE(p.error.find("-window-id"), std::string::npos) << p.error;
        }
    }
}

TEST(X11Options, GeometryWithAndWithoutAPlace)
{
    const Parsed plain = Parse({"--geometry", "640x480"});
    ASSERT_TRUE(plain.ok) << plain.error;
    ASSERT_TRUE(plain.options.geometry);
    EXPECT_EQ(plain.options.geometry->width, 640u);
    EXPECT_EQ(plain.options.geometry->height, 480u);
    EXPECT_FALSE(plain.options.geometry->placed);

    const Parsed placed = Parse({"-geometry", "1920x1080+0+10"});
    ASSERT_TRUE(placed.ok) << placed.error;
    EXPECT_TRUE(placed.options.geometry->placed);
    EXPECT_EQ(placed.options.geometry->x, 0);
    EXPECT_EQ(placed.options.geometry->y, 10);
    EXPECT_FALSE(placed.options.geometry->fromRight);

    const Parsed corner = Parse({"-geometry", "10x20-5-0"});
    ASSERT_TRUE(corner.ok) << corner.error;
    EXPECT_TRUE(corner.options.geometry->fromRight);
    EXPECT_TRUE(corner.options.geometry->fromBottom);
    EXPECT_EQ(corner.options.geometry->x, 5);

    for (const char* bad : {"640", "640x", "x480", "0x480", "640x480+10", "640x480+a+b",
                            "640x480++1+2", "9000x10", "640x480+1+2+3"}) {
        EXPECT_FALSE(Parse({"-geometry", bad}).ok) << bad;
    }
    EXPECT_TRUE(Parse({"-root", "-window"}).options.root);
    EXPECT_TRUE(Parse({"--root", "--window"}).options.window);
}

TEST(X11Options, UnderXScreenSaverValuesOutOfRangeAreClampedAndMistakesLeftOut)
{
    const struct {
        std::vector<const char*> args;
        std::string lights;  // NumLights + 1 as taken, "-" for none
        std::string speed;
        std::string mentioned;  // in the note
    } cases[] = {
        {{"-lights", "9"}, "5", "-", "1 to 5"},
        {{"-lights", "0"}, "1", "-", "-lights 1"},
        {{"-lights", "-3"}, "1", "-", "-lights"},
        {{"-speed", "150"}, "-", "100", "0 to 100"},
        {{"-speed", "99999999999"}, "-", "100", "-speed 100"},
        {{"-speed", "fast"}, "-", "-", "ignored -speed 'fast'"},
        {{"-color", "pink", "-lights", "2"}, "2", "-", "ignored -color 'pink'"},
        {{"--bogus", "-lights", "3"}, "3", "-", "ignored '--bogus'"},
        {{"-lights", "3", "stray"}, "3", "-", "ignored 'stray'"},
        {{"-lights", "3", "-speed"}, "3", "-", "ignored '-speed'"},
        {{"-image", "a.png", "-size", "9x9"}, "-", "-", "ignored -size"},
    };
    for (const auto& c : cases) {
        std::vector<const char*> argv = {"tavrel"};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        HackOptions options;
        std::string error;
        // Strictly, each of these is refused with one line.
        EXPECT_FALSE(ParseHackOptions(static_cast<int>(argv.size()), argv.data(), options, error))
            << c.mentioned;
        EXPECT_EQ(error.find('\n'), std::string::npos);
        ASSERT_TRUE(
            ParseHackOptions(static_cast<int>(argv.size()), argv.data(), options, error, true))
            << c.mentioned;
        const std::string lights = options.numLights ? std::to_string(*options.numLights + 1) : "-";
        const std::string speed = options.lightSpeed ? std::to_string(*options.lightSpeed) : "-";
        EXPECT_EQ(lights, c.lights) << c.mentioned;
        EXPECT_EQ(speed, c.speed) << c.mentioned;
        EXPECT_NE(options.notes.find(c.mentioned), std::string::npos) << options.notes;
        EXPECT_EQ(options.notes.find('\n'), std::string::npos);
    }
    // Nothing wrong, nothing said.
    EXPECT_TRUE(Parse({"-root", "-lights", "5", "-speed", "0"}, true).options.notes.empty());
    // Several mistakes make one line.
    const Parsed many = Parse({"-lights", "8", "-speed", "101", "-color", "x"}, true);
    EXPECT_NE(many.options.notes.find("-lights 5"), std::string::npos) << many.options.notes;
    EXPECT_NE(many.options.notes.find("-speed 100"), std::string::npos) << many.options.notes;
    EXPECT_NE(many.options.notes.find("-color"), std::string::npos) << many.options.notes;
}

struct ModeCase {
    std::vector<const char*> args;
    const char* screensaverWindow;
    const char* display;
    RunMode mode;
    uint32_t window;
    const char* mentioned;  // in the error when refused (mode is then ignored), or in the note
    bool refused;
};

TEST(RunModes, ChosenFromTheOptionsAndTheEnvironment)
{
    const ModeCase cases[] = {
        {{}, nullptr, nullptr, RunMode::DefaultSequence, 0, "", false},
        {{}, nullptr, "", RunMode::DefaultSequence, 0, "", false},
        {{}, "", ":1", RunMode::FullScreen, 0, "", false},
        {{}, nullptr, ":1", RunMode::FullScreen, 0, "", false},
        {{"-window"}, nullptr, ":1", RunMode::OwnWindow, 0, "", false},
        {{"-window", "-geometry", "9x9"}, nullptr, ":1", RunMode::OwnWindow, 0, "", false},
        {{"-window-id", "0x20"}, nullptr, ":1", RunMode::GivenWindow, 0x20, "", false},
        {{"-window-id", "7", "-window"}, nullptr, ":1", RunMode::GivenWindow, 7, "", false},
        {{"-root"}, nullptr, ":1", RunMode::GivenWindow, 0, "", false},
        {{"-root"}, "0x44", ":1", RunMode::GivenWindow, 0x44, "", false},
        {{}, "0x44", ":1", RunMode::GivenWindow, 0x44, "", false},
        {{}, "68", ":1", RunMode::GivenWindow, 68, "", false},
        {{"-window-id", "7"}, "0x44", ":1", RunMode::GivenWindow, 7, "", false},
        {{"-render", "x.png"}, nullptr, ":1", RunMode::Headless, 0, "", false},
        {{"-render", "x.png"}, "0x44", ":1", RunMode::Headless, 0, "", false},
        {{"-frames", "3", "-size", "9x9"},
         nullptr,
         nullptr,
         RunMode::DefaultSequence,
         0,
         "",
         false},
        // Under XScreenSaver, options that do not fit are dropped with a note.
        {{"-frames", "3", "-geometry", "9x9"},
         "0x44",
         ":1",
         RunMode::GivenWindow,
         0x44,
         "-frames",
         false},
        {{"-render", "x.png", "-root"}, "0x44", ":1", RunMode::Headless, 0, "-root", false},
        // Refused.
        {{"-window"}, nullptr, nullptr, RunMode::OwnWindow, 0, "-window", true},
        {{"-window-id", "5"}, nullptr, "", RunMode::OwnWindow, 0, "DISPLAY", true},
        {{}, "0x44", nullptr, RunMode::OwnWindow, 0, "XSCREENSAVER_WINDOW", true},
        {{"-root"}, "junk", ":1", RunMode::OwnWindow, 0, "'junk'", true},
        {{}, "0", ":1", RunMode::OwnWindow, 0, "XSCREENSAVER_WINDOW", true},
        {{"-render", "x.png", "-window"}, nullptr, ":1", RunMode::OwnWindow, 0, "-window", true},
        {{"-frames", "3"}, nullptr, ":1", RunMode::OwnWindow, 0, "-frames", true},
        {{"-window", "-dump-spots", "d"},
         nullptr,
         ":1",
         RunMode::OwnWindow,
         0,
         "-dump-spots",
         true},
        {{"-geometry", "9x9"}, nullptr, ":1", RunMode::OwnWindow, 0, "-geometry", true},
        {{"-geometry", "9x9"}, nullptr, nullptr, RunMode::OwnWindow, 0, "-geometry", true},
    };
    for (const ModeCase& c : cases) {
        std::string label;
        for (const char* a : c.args) label += std::string(a) + " ";
        label += std::string("XSCREENSAVER_WINDOW=") +
                 (c.screensaverWindow ? c.screensaverWindow : "(unset)") +
                 " DISPLAY=" + (c.display ? c.display : "(unset)");
        std::vector<const char*> argv = {"tavrel"};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        HackOptions options;
        std::string error;
        ASSERT_TRUE(ParseHackOptions(static_cast<int>(argv.size()), argv.data(), options, error,
                                     IsSet(c.screensaverWindow)))
            << label << ": " << error;
        RunPlan plan;
        const bool chosen = ChooseRunMode(options, c.screensaverWindow, c.display, plan, error);
        EXPECT_EQ(chosen, !c.refused) << label;
        if (c.refused) {
            EXPECT_NE(error.find(c.mentioned), std::string::npos) << label << ": " << error;
            EXPECT_EQ(error.find('\n'), std::string::npos);
            continue;
        }
        EXPECT_EQ(plan.mode, c.mode) << label;
        EXPECT_EQ(plan.window, c.window) << label;
        const bool xscreensaver = IsSet(c.screensaverWindow);
        if (plan.mode != RunMode::Headless) {
            EXPECT_EQ(plan.underXScreenSaver, xscreensaver) << label;
        }
        if (c.mentioned[0] != '\0') {
            EXPECT_NE(options.notes.find(c.mentioned), std::string::npos) << options.notes;
        }
        // What was dropped under XScreenSaver no longer reaches the run.
        if (xscreensaver && plan.mode == RunMode::GivenWindow) {
            EXPECT_FALSE(options.framesGiven || options.geometry) << label;
        }
    }
}

TEST(RunModes, AWaylandCompositorIsTriedForTheFullScreenAndOwnWindows)
{
    const struct {
        std::vector<const char*> args;
        const char* display;
        const char* wayland;
        RunMode mode;
        bool tried;  // the compositor first
        bool refused;
    } cases[] = {
        {{}, nullptr, "wayland-1", RunMode::FullScreen, true, false},
        {{}, ":1", "wayland-1", RunMode::FullScreen, true, false},
        {{}, ":1", "", RunMode::FullScreen, false, false},
        {{"-window"}, nullptr, "/run/w", RunMode::OwnWindow, true, false},
        {{"-root"}, ":1", "wayland-1", RunMode::GivenWindow, false, false},
        {{"-render", "x.png"}, nullptr, "wayland-1", RunMode::Headless, false, false},
        {{"-window-id", "7"}, nullptr, "wayland-1", RunMode::GivenWindow, false, true},
        {{"-root"}, nullptr, "wayland-1", RunMode::GivenWindow, false, true},
    };
    for (const auto& c : cases) {
        std::vector<const char*> argv = {"tavrel"};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        HackOptions options;
        std::string error;
        ASSERT_TRUE(ParseHackOptions(static_cast<int>(argv.size()), argv.data(), options, error));
        RunPlan plan;
        const bool chosen = ChooseRunMode(options, nullptr, c.display, plan, error, c.wayland);
        const std::string label = (c.args.empty() ? "" : c.args[0]) + std::string(" ") + c.wayland;
        EXPECT_EQ(chosen, !c.refused) << label;
        if (c.refused) {
            EXPECT_NE(error.find("DISPLAY"), std::string::npos) << label << ": " << error;
            continue;
        }
        EXPECT_EQ(plan.mode, c.mode) << label;
        EXPECT_EQ(plan.wayland, c.tried) << label;
    }
}

}  // namespace
