// The saver on a real (virtual) X server: each test starts its own Xvfb, runs the program as
// XScreenSaver, a preview, a user or a test would, sends input with xdotool and looks at
// screenshots taken with import.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "x11_session.h"

// After the test framework, whose names Xlib's macros would replace.
#include <X11/Xlib.h>

namespace {

// Values a user chose before, different from the defaults and from the options used below.
const char* const StoredSettingsText =
    "Windows Registry Editor Version 5.00\r\n\r\n"
    "[HKEY_CURRENT_USER\\Control Panel\\Desktop\\3D Tavrel Screensaver]\r\n"
    "\"[bTime]\"=dword:00000000\r\n"
    "\"[Light Speed]\"=dword:00000021\r\n"
    "\"[Num Lights]\"=dword:00000001\r\n"
    "\"[Color Light]\"=dword:00000002\r\n";

// The test windows' own colour: dim, so that only the lights count as bright.
constexpr uint32_t Backdrop = 0x305878;

// The same picture every run: seeded, time standing still, no clock or frame rate on it.
const std::vector<std::string> Still = {"-seed",   "5,6",     "-frame-time", "0",      "-no-time",
                                        "-no-fps", "-lights", "5",           "-color", "white"};

std::vector<std::string> With(std::vector<std::string> a, const std::vector<std::string>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

std::string WindowId(unsigned long window)
{
    char id[32];
    std::snprintf(id, sizeof id, "0x%lx", window);
    return id;
}

class X11Saver : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(home.Path().empty());
        mkdir((home / "config").c_str(), 0700);
        mkdir((home / "config/tavrel").c_str(), 0700);
        std::ofstream(home / "config/tavrel/settings.reg") << StoredSettingsText;
    }

    // Starts the server; the tests that need one call it first.
    void StartScreen(int32_t width, int32_t height)
    {
        screen = std::make_unique<VirtualScreen>(width, height);
        ASSERT_TRUE(screen->Started()) << "Xvfb did not start";
    }

    std::string Settings() const
    {
        std::ifstream file(home / "config/tavrel/settings.reg");
        std::stringstream text;
        text << file.rdbuf();
        return text.str();
    }

    // The stored settings hold all eight values, as the user left them.
    void ExpectStoredSettingsKept() const
    {
        const std::string text = Settings();
        for (const char* value :
             {"\"[bTnL]\"=dword:00000000", "\"[bTime]\"=dword:00000000",
              "\"[bFps]\"=dword:00000000", "\"[Prominent]\"=dword:00000001",
              "\"[Light Speed]\"=dword:00000021", "\"[Num Lights]\"=dword:00000001",
              "\"[Color Light]\"=dword:00000002", "\"[Version]\"=hex(1):31,2e,30"}) {
            EXPECT_NE(text.find(value), std::string::npos) << value << " in\n" << text;
        }
    }

    // Waits until the full-screen saver has parked the pointer at (0, 0); false when it ends or
    // does not, with the place the pointer is at in `where`.
    bool WaitForParkedPointer(std::string& where)
    {
        int32_t x = -1;
        int32_t y = -1;
        WaitUntil(15.0, [&] {
            screen->PointerPosition(x, y);
            return (x == 0 && y == 0) || !saver.Running();
        });
        where = std::to_string(x) + "," + std::to_string(y);
        return x == 0 && y == 0;
    }

    // Waits until the window shows lit spots.
    Shot WaitForLitWindow(unsigned long window, size_t atLeast)
    {
        Shot shot;
        WaitUntil(15.0, [&] {
            shot = TakeScreenshot(*screen, home, window);
            return CountBright(shot, 200) >= atLeast || !saver.Running();
        });
        return shot;
    }

    // The picture the headless program draws for the same options over the same desktop.
    Shot HeadlessPicture(const std::string& desktopPng, const std::vector<std::string>& options)
    {
        SaverProcess headless;
        const std::string out = home / "headless.png";
        EXPECT_TRUE(
            headless.Start(*screen, home, With(options, {"-image", desktopPng, "-render", out})));
        EXPECT_EQ(headless.WaitForExit(60.0), 0) << headless.StandardError();
        return LoadShotPng(out);
    }

    // The headless pictures of the back ends the saver may have drawn with: the one forced, or
    // both; a window shows exactly one of them.
    std::vector<std::pair<std::string, Shot>> HeadlessPictures(
        const std::string& desktopPng, const std::vector<std::string>& options)
    {
        std::vector<std::pair<std::string, Shot>> pictures;
        for (const std::string renderer : {"gl", "cpu"}) {
            if (!ForcedRenderer().empty() && renderer != ForcedRenderer()) continue;
            pictures.emplace_back(renderer, HeadlessPicture(desktopPng, With(options, {"-renderer",
                                                                                       renderer})));
        }
        return pictures;
    }

    struct Likeness {
        std::string renderer;
        int largest = 256;
        double mean = 256.0;
    };

    static Likeness Closest(const Shot& shot,
                            const std::vector<std::pair<std::string, Shot>>& pictures)
    {
        Likeness closest;
        for (const auto& [renderer, picture] : pictures) {
            Likeness likeness{renderer};
            CompareShots(shot, picture, likeness.largest, likeness.mean);
            if (likeness.mean < closest.mean) closest = likeness;
        }
        return closest;
    }

    TempFolder home;
    std::unique_ptr<VirtualScreen> screen;
    SaverProcess saver;
};

// Full screen over a known desktop, smaller than a light spot is high: the picture is the
// desktop embossed, exactly as the program draws it without a window; a key ends it, the
// pointer goes back and the settings are stored as they were.
TEST_F(X11Saver, FullScreenShowsTheDesktopEmbossedAndAKeyEndsIt)
{
    StartScreen(400, 200);
    const Shot desktop = DemoDesktopShot(400, 200);
    screen->SetRootPicture(desktop);
    const std::string desktopPng = home / "desktop.png";
    ASSERT_TRUE(WriteShotPng(desktop, desktopPng));
    ASSERT_EQ(RunTool(*screen, {"xdotool", "mousemove", "123", "77"}), 0);

    ASSERT_TRUE(saver.Start(*screen, home, Still));
    std::string where;
    ASSERT_TRUE(WaitForParkedPointer(where)) << "the pointer was not parked: " << where;
    const Shot lit = WaitForLitWindow(0, 1000);
    ASSERT_TRUE(saver.Running()) << saver.StandardError();

    const Likeness drawn = Closest(lit, HeadlessPictures(desktopPng, Still));
    EXPECT_LE(drawn.largest, 2) << drawn.renderer;
    EXPECT_LT(drawn.mean, 0.01) << drawn.renderer;
    int largest = 0;
    double mean = 0.0;
    // Embossed: the lit desktop is not the desktop, and not flat either.
    CompareShots(lit, desktop, largest, mean);
    EXPECT_GT(mean, 10.0);

    ASSERT_EQ(RunTool(*screen, {"xdotool", "key", "a"}), 0);
    EXPECT_EQ(saver.WaitForExit(10.0), 0) << saver.StandardError();
    std::string location;
    RunTool(*screen, {"xdotool", "getmouselocation"}, &location);
    EXPECT_EQ(location.rfind("x:123 y:77 ", 0), 0u) << location;
    ExpectStoredSettingsKept();
    EXPECT_EQ(saver.StandardError(), "");
}

TEST_F(X11Saver, FullScreenEndsOnAClick)
{
    StartScreen(320, 240);
    ASSERT_TRUE(saver.Start(*screen, home, {}));
    std::string where;
    ASSERT_TRUE(WaitForParkedPointer(where)) << "the pointer was not parked: " << where;
    // The wheel is no click.
    ASSERT_EQ(RunTool(*screen, {"xdotool", "click", "4"}), 0);
    EXPECT_EQ(saver.WaitForExit(0.5), -1);
    ASSERT_EQ(RunTool(*screen, {"xdotool", "click", "1"}), 0);
    EXPECT_EQ(saver.WaitForExit(10.0), 0) << saver.StandardError();
}

TEST_F(X11Saver, FullScreenEndsAtTheSixthPointerMoveNotTheFifth)
{
    StartScreen(320, 240);
    ASSERT_EQ(RunTool(*screen, {"xdotool", "mousemove", "200", "100"}), 0);
    ASSERT_TRUE(saver.Start(*screen, home, {}));
    std::string where;
    ASSERT_TRUE(WaitForParkedPointer(where)) << "the pointer was not parked: " << where;
    // Parked at (0, 0): moves along the top edge change x only, one count each.
    for (int move = 1; move <= 5; ++move) {
        ASSERT_EQ(RunTool(*screen, {"xdotool", "mousemove", std::to_string(10 * move), "0"}), 0);
    }
    EXPECT_EQ(saver.WaitForExit(1.0), -1) << "ended before the sixth move";
    ASSERT_EQ(RunTool(*screen, {"xdotool", "mousemove", "60", "0"}), 0);
    EXPECT_EQ(saver.WaitForExit(10.0), 0) << saver.StandardError();
    int32_t x = -1;
    int32_t y = -1;
    screen->PointerPosition(x, y);
    EXPECT_EQ(x, 200);
    EXPECT_EQ(y, 100);
}

TEST_F(X11Saver, FullScreenEndsWhenAnotherProgramTakesTheKeyboardFocus)
{
    StartScreen(320, 240);
    const unsigned long other = screen->MakeWindow(10, 10, 50, 50, 0x336699);
    ASSERT_TRUE(saver.Start(*screen, home, {}));
    std::string where;
    ASSERT_TRUE(WaitForParkedPointer(where)) << "the pointer was not parked: " << where;
    ASSERT_EQ(RunTool(*screen, {"xdotool", "windowfocus", WindowId(other)}), 0);
    EXPECT_EQ(saver.WaitForExit(10.0), 0) << saver.StandardError();
}

// As a preview or a test harness runs it: drawing into a window someone else made, until
// SIGTERM; the options are for this run only.
TEST_F(X11Saver, GivenWindowShowsTheLitDesktopUntilSigterm)
{
    StartScreen(640, 480);
    screen->SetRootPicture(DemoDesktopShot(640, 480));
    const unsigned long window = screen->MakeWindow(40, 30, 320, 240, Backdrop);
    ASSERT_TRUE(saver.Start(*screen, home,
                            {"-window-id", WindowId(window), "-lights", "5", "-color", "white"}));
    const Shot shot = WaitForLitWindow(window, 500);
    ASSERT_TRUE(saver.Running()) << saver.StandardError();
    ASSERT_EQ(shot.width, 320);
    EXPECT_GE(CountBright(shot, 200), 500u);
    // The whole window is the saver's: dark between the lights, no background left.
    const auto background = [](const Shot& s) {
        size_t count = 0;
        for (size_t i = 0; i + 2 < s.rgb.size(); i += 3) {
            count += s.rgb[i] == 0x30 && s.rgb[i + 1] == 0x58 && s.rgb[i + 2] == 0x78;
        }
        return count;
    };
    EXPECT_EQ(background(shot), 0u);
    // Chosen by itself on a machine without a GPU, it draws on the processor and no OpenGL
    // driver is left in its memory.
    if (ForcedRenderer().empty() && !std::filesystem::exists("/dev/dri/renderD128")) {
        std::ifstream maps("/proc/" + std::to_string(saver.Pid()) + "/maps");
        const std::string mapped((std::istreambuf_iterator<char>(maps)), {});
        for (const char* driver : {"_dri.so", "libgallium", "libLLVM", "libEGL_mesa"}) {
            EXPECT_EQ(mapped.find(driver), std::string::npos) << driver << " is mapped";
        }
    }
    // Cleared to its background by someone else, as the server does when it loses what a
    // window showed: the saver draws all of it again, not only where the lights move.
    XClearArea(screen->Display(), window, 0, 0, 0, 0, True);
    XSync(screen->Display(), False);
    PauseSeconds(0.5);
    EXPECT_EQ(background(TakeScreenshot(*screen, home, window)), 0u) << "after an exposure";

    saver.Signal(SIGTERM);
    EXPECT_EQ(saver.WaitForExit(10.0), 0) << saver.StandardError();
    ExpectStoredSettingsKept();
    EXPECT_EQ(saver.StandardError(), "");
}

// As XScreenSaver runs it: its window in the environment, values out of range taken as the
// nearest ones with one line about it, SIGINT ending it as SIGTERM does.
TEST_F(X11Saver, XScreenSaverWindowTakesValuesOutOfRangeAndDraws)
{
    StartScreen(320, 240);
    const unsigned long window = screen->MakeWindow(0, 0, 320, 240, Backdrop);
    const std::string desktopPng = home / "desktop.png";
    ASSERT_TRUE(WriteShotPng(DemoDesktopShot(320, 240), desktopPng));
    ASSERT_TRUE(saver.Start(*screen, home,
                            {"--root", "--lights", "9", "--speed", "-4", "--image", desktopPng},
                            {"XSCREENSAVER_WINDOW=" + WindowId(window)}));
    const Shot shot = WaitForLitWindow(window, 300);
    ASSERT_TRUE(saver.Running()) << saver.StandardError();
    EXPECT_GE(CountBright(shot, 200), 300u);
    saver.Signal(SIGINT);
    EXPECT_EQ(saver.WaitForExit(10.0), 0);
    const std::string err = saver.StandardError();
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    EXPECT_NE(err.find("--lights 5"), std::string::npos) << err;
    EXPECT_NE(err.find("--speed 0"), std::string::npos) << err;
    ExpectStoredSettingsKept();
}

// Under XScreenSaver the desktop comes from its picture helper, found on PATH, as its own hacks
// get theirs; a helper that fails or hangs leaves the demo desktop and one line.
TEST_F(X11Saver, XScreenSaverPictureHelperPaintsTheDesktopOrTheDemoStandsIn)
{
    StartScreen(320, 240);
    const unsigned long window = screen->MakeWindow(0, 0, 320, 240, Backdrop);
    const std::string helpers = home / "helpers";
    mkdir(helpers.c_str(), 0700);
    const std::string helper = helpers + "/xscreensaver-getimage";
    const auto runWith = [&](const std::string& script, double seconds) {
        std::ofstream(helper) << "#!/bin/sh\n" << script << "\n";
        chmod(helper.c_str(), 0700);
        // What the run before drew stays in the window until someone clears it.
        XClearWindow(screen->Display(), window);
        XSync(screen->Display(), False);
        SaverProcess run;
        EXPECT_TRUE(run.Start(*screen, home, {"-root", "-lights", "5", "-color", "white"},
                              {"XSCREENSAVER_WINDOW=" + WindowId(window),
                               "PATH=" + helpers + ":/usr/bin:/bin"}));
        Shot shot;
        WaitUntil(seconds, [&] {
            shot = TakeScreenshot(*screen, home, window);
            return CountBright(shot, 200) >= 300 || !run.Running();
        });
        EXPECT_TRUE(run.Running());
        run.Signal(SIGTERM);
        EXPECT_EQ(run.WaitForExit(10.0), 0);
        return run.StandardError();
    };

    // A helper that paints nothing and fails.
    std::string err = runWith("exit 1", 15.0);
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    EXPECT_NE(err.find("demo desktop"), std::string::npos) << err;
    EXPECT_NE(err.find("status 1"), std::string::npos) << err;
    // One that hangs, with a child of its own: given up after five seconds.
    err = runWith("sleep 60 & sleep 60", 20.0);
    EXPECT_NE(err.find("within 5 seconds"), std::string::npos) << err;
    // XScreenSaver's own helper, told by ~/.xscreensaver to load a picture from a folder.
    const std::string real = "/usr/libexec/xscreensaver/xscreensaver-getimage";
    if (access(real.c_str(), X_OK) != 0) GTEST_SKIP() << "no " << real << " (xscreensaver-data)";
    const std::string pictures = home / "pictures";
    mkdir(pictures.c_str(), 0700);
    ASSERT_TRUE(WriteShotPng(DemoDesktopShot(800, 600), pictures + "/desktop.png"));
    std::ofstream(home / ".xscreensaver")
        << "grabDesktopImages: False\ngrabVideoFrames: False\nchooseRandomImages: True\n"
        << "imageDirectory: " << pictures << "\n";
    unlink(helper.c_str());
    ASSERT_EQ(symlink(real.c_str(), helper.c_str()), 0);
    XClearWindow(screen->Display(), window);
    XSync(screen->Display(), False);
    SaverProcess run;
    ASSERT_TRUE(run.Start(*screen, home, {"-root", "-lights", "5", "-color", "white"},
                          {"XSCREENSAVER_WINDOW=" + WindowId(window),
                           "PATH=" + helpers + ":/usr/libexec/xscreensaver:/usr/bin:/bin"}));
    EXPECT_TRUE(WaitUntil(15.0, [&] {
        return CountBright(TakeScreenshot(*screen, home, window), 200) >= 300 || !run.Running();
    }));
    ASSERT_TRUE(run.Running()) << run.StandardError();
    run.Signal(SIGTERM);
    EXPECT_EQ(run.WaitForExit(10.0), 0);
    EXPECT_EQ(run.StandardError(), "");
}

// A preview window is resized: the device follows, and the picture is the one drawn at that
// size from the start (the lights stay where they were).
TEST_F(X11Saver, AGivenWindowThatIsResizedIsFollowed)
{
    StartScreen(640, 480);
    const std::string desktopPng = home / "desktop.png";
    ASSERT_TRUE(WriteShotPng(DemoDesktopShot(640, 480), desktopPng));
    const unsigned long window = screen->MakeWindow(0, 0, 160, 120, Backdrop);
    ASSERT_TRUE(saver.Start(*screen, home,
                            With(Still, {"-window-id", WindowId(window), "-image", desktopPng})));
    WaitForLitWindow(window, 50);
    ASSERT_TRUE(saver.Running()) << saver.StandardError();

    XResizeWindow(screen->Display(), window, 640, 480);
    XSync(screen->Display(), False);
    const auto expected = HeadlessPictures(desktopPng, Still);
    Likeness drawn;
    WaitUntil(10.0, [&] {
        drawn = Closest(TakeScreenshot(*screen, home, window), expected);
        return drawn.mean < 0.01;
    });
    EXPECT_LE(drawn.largest, 2) << drawn.renderer;
    EXPECT_LT(drawn.mean, 0.01) << drawn.renderer;
    saver.Signal(SIGTERM);
    EXPECT_EQ(saver.WaitForExit(10.0), 0) << saver.StandardError();
}

TEST_F(X11Saver, AWindowDestroyedUnderTheSaverEndsItWithStatusZero)
{
    StartScreen(320, 240);
    const unsigned long window = screen->MakeWindow(0, 0, 200, 150, Backdrop);
    ASSERT_TRUE(saver.Start(*screen, home, {"-window-id", WindowId(window), "-lights", "5"}));
    WaitForLitWindow(window, 100);
    ASSERT_TRUE(saver.Running()) << saver.StandardError();
    XDestroyWindow(screen->Display(), window);
    XSync(screen->Display(), False);
    EXPECT_EQ(saver.WaitForExit(10.0), 0) << saver.StandardError();
    ExpectStoredSettingsKept();
}

// Where the light is: the middle of the bright pixels.
struct Place {
    double x = 0.0;
    double y = 0.0;
};

Place BrightMiddle(const Shot& shot)
{
    double x = 0.0;
    double y = 0.0;
    size_t count = 0;
    for (int32_t row = 0; row < shot.height; ++row) {
        for (int32_t column = 0; column < shot.width; ++column) {
            const uint8_t* p = shot.At(column, row);
            if (std::max({p[0], p[1], p[2]}) < 200) continue;
            x += column;
            y += row;
            ++count;
        }
    }
    return count == 0 ? Place{} : Place{x / double(count), y / double(count)};
}

double Distance(const Place& a, const Place& b)
{
    return std::hypot(a.x - b.x, a.y - b.y);
}

// A window hidden for a while and shown again: the light goes on from where it was, instead
// of leaping ahead by all the time nobody saw it.
TEST_F(X11Saver, AfterAHiddenSpellTheLightGoesOnFromWhereItWas)
{
    StartScreen(640, 480);
    const unsigned long window = screen->MakeWindow(0, 0, 640, 480, Backdrop);
    ASSERT_TRUE(saver.Start(*screen, home,
                            {"-window-id", WindowId(window), "-lights", "1", "-color", "white",
                             "-speed", "20", "-seed", "5,6", "-no-time", "-no-fps"}));
    const Place first = BrightMiddle(WaitForLitWindow(window, 200));
    ASSERT_TRUE(saver.Running()) << saver.StandardError();
    PauseSeconds(1.0);
    const Place beforeHiding = BrightMiddle(TakeScreenshot(*screen, home, window));
    // What a second in sight moves it, and what four unseen ones may: far less.
    const double secondInSight = Distance(first, beforeHiding);
    ASSERT_GT(secondInSight, 5.0) << "the light hardly moves";

    XUnmapWindow(screen->Display(), window);
    XSync(screen->Display(), False);
    PauseSeconds(4.0);
    XMapWindow(screen->Display(), window);
    XSync(screen->Display(), False);
    // Past the repaint of the last frame seen, to frames drawn since.
    PauseSeconds(0.3);
    const Place shownAgain = BrightMiddle(WaitForLitWindow(window, 200));
    EXPECT_LT(Distance(beforeHiding, shownAgain), secondInSight)
        << "from " << beforeHiding.x << "," << beforeHiding.y << " to " << shownAgain.x << ","
        << shownAgain.y << "; a second in sight moves it " << secondInSight;
    saver.Signal(SIGTERM);
    EXPECT_EQ(saver.WaitForExit(10.0), 0) << saver.StandardError();
}

// A window of one pixel, and a window that is not shown or covered whole: no crash, no drawing
// for nobody.
TEST_F(X11Saver, AOnePixelWindowAndAnUnmappedOneAreHandled)
{
    StartScreen(320, 240);
    const unsigned long tiny = screen->MakeWindow(5, 5, 1, 1, Backdrop);
    ASSERT_TRUE(saver.Start(*screen, home, {"-window-id", WindowId(tiny)}));
    PauseSeconds(1.5);
    ASSERT_TRUE(saver.Running()) << saver.StandardError();
    saver.Signal(SIGTERM);
    EXPECT_EQ(saver.WaitForExit(10.0), 0) << saver.StandardError();

    const unsigned long window = screen->MakeWindow(0, 0, 320, 240, Backdrop);
    SaverProcess hidden;
    ASSERT_TRUE(hidden.Start(*screen, home, {"-window-id", WindowId(window), "-lights", "5"}));
    ASSERT_TRUE(WaitUntil(15.0, [&] {
        return CountBright(TakeScreenshot(*screen, home, window), 200) > 100 || !hidden.Running();
    }));
    XUnmapWindow(screen->Display(), window);
    XSync(screen->Display(), False);
    PauseSeconds(0.5);
    // Unmapped, it waits for events without drawing: next to no processor time.
    long before = hidden.CpuTicks();
    PauseSeconds(2.0);
    EXPECT_LE(hidden.CpuTicks() - before, 4) << "clock ticks in 2 s, unmapped";

    // Shown again, it draws again; covered whole by another window, it stops again.
    XMapWindow(screen->Display(), window);
    XSync(screen->Display(), False);
    ASSERT_TRUE(WaitUntil(15.0, [&] {
        return CountBright(TakeScreenshot(*screen, home, window), 200) > 100 || !hidden.Running();
    }));
    screen->MakeWindow(0, 0, 400, 300, 0x000000);
    PauseSeconds(0.5);
    before = hidden.CpuTicks();
    PauseSeconds(2.0);
    EXPECT_LE(hidden.CpuTicks() - before, 4) << "clock ticks in 2 s, covered";
    hidden.Signal(SIGTERM);
    EXPECT_EQ(hidden.WaitForExit(10.0), 0) << hidden.StandardError();
}

TEST_F(X11Saver, AWindowOfItsOwnClosesOnAKeyOrItsCloseButton)
{
    StartScreen(320, 240);
    Display* display = screen->Display();
    const auto findWindow = [&](Window& found) {
        Window root = 0;
        Window parent = 0;
        Window* children = nullptr;
        unsigned int count = 0;
        found = 0;
        XQueryTree(display, screen->Root(), &root, &parent, &children, &count);
        for (unsigned int i = 0; i < count; ++i) {
            char* name = nullptr;
            XWindowAttributes attributes{};
            if (XFetchName(display, children[i], &name) && name != nullptr &&
                std::string(name) == "Tavrel" &&
                XGetWindowAttributes(display, children[i], &attributes) &&
                attributes.map_state == IsViewable) {
                found = children[i];
            }
            if (name != nullptr) XFree(name);
        }
        if (children != nullptr) XFree(children);
        return found != 0;
    };

    ASSERT_TRUE(saver.Start(*screen, home, {"-window", "-geometry", "200x150+20+10"}));
    Window window = 0;
    ASSERT_TRUE(WaitUntil(15.0, [&] { return findWindow(window); }));
    XWindowAttributes attributes{};
    XGetWindowAttributes(display, window, &attributes);
    EXPECT_EQ(attributes.width, 200);
    EXPECT_EQ(attributes.height, 150);
    // The pointer and the buttons do not end it.
    RunTool(*screen, {"xdotool", "mousemove", "50", "50", "mousemove", "90", "80", "click", "1"});
    EXPECT_EQ(saver.WaitForExit(0.5), -1);
    RunTool(*screen, {"xdotool", "key", "--window", WindowId(window), "q"});
    EXPECT_EQ(saver.WaitForExit(10.0), 0) << saver.StandardError();

    SaverProcess second;
    ASSERT_TRUE(second.Start(*screen, home, {"-window", "-geometry", "200x150"}));
    ASSERT_TRUE(WaitUntil(15.0, [&] { return findWindow(window); }));
    XEvent close{};
    close.xclient.type = ClientMessage;
    close.xclient.window = window;
    close.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    close.xclient.format = 32;
    close.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    close.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, window, False, NoEventMask, &close);
    XSync(display, False);
    EXPECT_EQ(second.WaitForExit(10.0), 0) << second.StandardError();
    ExpectStoredSettingsKept();
}

TEST_F(X11Saver, BadWindowsAndALostDisplayEndWithOneLine)
{
    StartScreen(320, 240);
    const struct {
        std::vector<std::string> args;
        std::vector<std::string> environment;
        const char* mentioned;
    } cases[] = {
        {{"-window-id", "0x7ffffff"}, {}, "0x7ffffff"},
        {{"-window-id", "window"}, {}, "-window-id"},
        {{"-root"}, {"XSCREENSAVER_WINDOW=0x7ffffff"}, "0x7ffffff"},
        {{"-window"}, {"DISPLAY="}, "DISPLAY"},
        {{}, {"DISPLAY=:999"}, ":999"},
        {{"-lights", "9"}, {}, "1 to 5"},
        {{"-window", "-frames", "3"}, {}, "-frames"},
    };
    for (const auto& c : cases) {
        SaverProcess bad;
        ASSERT_TRUE(bad.Start(*screen, home, c.args, c.environment));
        EXPECT_EQ(bad.WaitForExit(10.0), 2) << c.mentioned;
        const std::string err = bad.StandardError();
        EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
        EXPECT_NE(err.find(c.mentioned), std::string::npos) << err;
    }

    // The server goes away while the saver draws.
    const unsigned long window = screen->MakeWindow(0, 0, 320, 240, Backdrop);
    ASSERT_TRUE(saver.Start(*screen, home, {"-window-id", WindowId(window), "-lights", "5"}));
    WaitForLitWindow(window, 100);
    ASSERT_TRUE(saver.Running()) << saver.StandardError();
    screen->Kill();
    EXPECT_EQ(saver.WaitForExit(10.0), 2);
    const std::string err = saver.StandardError();
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    EXPECT_NE(err.find("lost the connection"), std::string::npos) << err;
    ExpectStoredSettingsKept();
}

}  // namespace
