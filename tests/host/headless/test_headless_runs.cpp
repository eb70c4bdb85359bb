// The tavrel program run end to end without a window: real OpenGL through EGL into an offscreen
// back buffer, frames and spot textures written as PNG files. Each test has its own folders for
// the settings and the cache.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <stb_image.h>

#include "common/temp_folder.h"
#include "settings/settings.h"
#include "surface/picture/picture_files.h"

extern char** environ;

namespace {

struct RunResult {
    int status = -1;  // exit status, or -1 when the program did not exit normally
    std::string out;
    std::string err;
};

struct Png {
    int width = 0;
    int height = 0;
    int channels = 0;
    std::vector<uint8_t> pixels;
};

Png LoadPng(const std::string& path)
{
    Png png;
    stbi_uc* data = stbi_load(path.c_str(), &png.width, &png.height, &png.channels, 0);
    if (data != nullptr) {
        png.pixels.assign(data, data + static_cast<size_t>(png.width) * png.height * png.channels);
        stbi_image_free(data);
    }
    return png;
}

std::string ReadText(const std::string& path)
{
    const std::vector<uint8_t> bytes = ReadBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

class HeadlessRun : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(root.Path().empty());
        mkdir((root / "config").c_str(), 0700);
        mkdir((root / "cache").c_str(), 0700);
        mkdir((root / "out").c_str(), 0700);
    }

    std::string Out(const std::string& name) const { return root / ("out/" + name); }
    std::string SettingsFile() const { return root / "config/tavrel/settings.reg"; }

    // Runs the program with the given arguments; XDG_CONFIG_HOME and XDG_CACHE_HOME point into
    // this test's folder, there is no display, `extra` adds NAME=VALUE entries to the
    // environment.
    RunResult Run(const std::vector<std::string>& args,
                  const std::vector<std::string>& extra = {}) const
    {
        std::vector<std::string> env;
        for (char** e = environ; *e != nullptr; ++e) {
            const std::string entry = *e;
            const bool ours =
                entry.rfind("XDG_CONFIG_HOME=", 0) == 0 || entry.rfind("XDG_CACHE_HOME=", 0) == 0 ||
                entry.rfind("DISPLAY=", 0) == 0 || entry.rfind("XSCREENSAVER_WINDOW=", 0) == 0 ||
                entry.rfind("WAYLAND_DISPLAY=", 0) == 0;
            if (!ours) env.push_back(entry);
        }
        env.push_back("XDG_CONFIG_HOME=" + (root / "config"));
        env.push_back("XDG_CACHE_HOME=" + (root / "cache"));
        env.insert(env.end(), extra.begin(), extra.end());

        std::vector<std::string> argStrings = {TAVREL_PROGRAM};
        argStrings.insert(argStrings.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (std::string& a : argStrings) argv.push_back(a.data());
        argv.push_back(nullptr);
        std::vector<char*> envp;
        for (std::string& e : env) envp.push_back(e.data());
        envp.push_back(nullptr);

        const std::string outPath = root / "stdout.txt";
        const std::string errPath = root / "stderr.txt";
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        const int flags = O_WRONLY | O_CREAT | O_TRUNC;
        posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), flags, 0600);
        posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), flags, 0600);
        pid_t pid = 0;
        RunResult result;
        if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) == 0) {
            int status = 0;
            waitpid(pid, &status, 0);
            if (WIFEXITED(status)) result.status = WEXITSTATUS(status);
        }
        posix_spawn_file_actions_destroy(&actions);
        result.out = ReadText(outPath);
        result.err = ReadText(errPath);
        return result;
    }

    TempFolder root;
};

// Reproducible runs: fixed seeds and frame time.
const std::vector<std::string> Fixed = {"-seed", "11,22", "-frame-time", "0.25"};

std::vector<std::string> With(std::vector<std::string> args, const std::vector<std::string>& more)
{
    args.insert(args.end(), more.begin(), more.end());
    return args;
}

size_t CountLitPixels(const Png& png)
{
    size_t lit = 0;
    for (size_t i = 0; i + 2 < png.pixels.size(); i += png.channels) {
        if (png.pixels[i] != 0 || png.pixels[i + 1] != 0 || png.pixels[i + 2] != 0) ++lit;
    }
    return lit;
}

TEST_F(HeadlessRun, LastFrameIsAPngOfTheScreenSizeWithLitSpots)
{
    const RunResult run = Run(With(Fixed, {"-size", "640x400", "-frames", "3", "-lights", "2",
                                           "-render", Out("last.png")}));
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(FolderEntries(root / "out"), std::vector<std::string>{"last.png"});
    const Png png = LoadPng(Out("last.png"));
    EXPECT_EQ(png.width, 640);
    EXPECT_EQ(png.height, 400);
    EXPECT_EQ(png.channels, 3);
    // Two spots light at most two 256 x 256 blocks; the rest of the screen stays black.
    const size_t lit = CountLitPixels(png);
    EXPECT_GT(lit, 2000u);
    EXPECT_LE(lit, 2u * 256 * 256);
}

TEST_F(HeadlessRun, PictureFileSetsTheScreenSize)
{
    WriteBytes(root / "desk.png", EncodePng(MakeGradientPicture(300, 260)));
    const RunResult run =
        Run(With(Fixed, {"-image", root / "desk.png", "--render", Out("frame.png")}));
    ASSERT_EQ(run.status, 0) << run.err;
    const Png png = LoadPng(Out("frame.png"));
    EXPECT_EQ(png.width, 300);
    EXPECT_EQ(png.height, 260);
}

TEST_F(HeadlessRun, PictureSmallerThanASpotStillRenders)
{
    const int sizes[][2] = {{1, 1}, {100, 60}, {40, 300}, {300, 255}};
    for (const auto& size : sizes) {
        const std::string name = std::to_string(size[0]) + "x" + std::to_string(size[1]);
        WriteBytes(root / (name + ".bmp"), EncodeBmp(MakeGradientPicture(size[0], size[1])));
        const RunResult run = Run(With(Fixed, {"-image", root / (name + ".bmp"), "-frames", "2",
                                               "-lights", "5", "-render", Out(name + ".png")}));
        ASSERT_EQ(run.status, 0) << name << ": " << run.err;
        const Png png = LoadPng(Out(name + ".png"));
        EXPECT_EQ(png.width, size[0]) << name;
        EXPECT_EQ(png.height, size[1]) << name;
    }
}

TEST_F(HeadlessRun, PercentDWritesEveryFrameNumberedFromZero)
{
    const RunResult run =
        Run(With(Fixed, {"-size", "320x256", "-frames", "4", "-render", Out("f-%02d.png")}));
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(FolderEntries(root / "out"),
              (std::vector<std::string>{"f-00.png", "f-01.png", "f-02.png", "f-03.png"}));
    // A quarter of a second between frames moves the spots.
    EXPECT_NE(ReadBytes(Out("f-00.png")), ReadBytes(Out("f-03.png")));
}

TEST_F(HeadlessRun, SpotDumpsHoldEachLitSpotsTextureAsRgba)
{
    mkdir((root / "spots").c_str(), 0700);
    WriteBytes(root / "spots/spot4.png", {1, 2, 3});  // left from an earlier run
    const RunResult run =
        Run(With(Fixed, {"-lights", "3", "-color", "red", "-frames", "2", "-dump-spots",
                         root / "spots", "-render", Out("x.png")}));
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(FolderEntries(root / "spots"),
              (std::vector<std::string>{"spot0.png", "spot1.png", "spot2.png"}));
    for (int k = 0; k < 3; ++k) {
        const Png png = LoadPng(root / ("spots/spot" + std::to_string(k) + ".png"));
        ASSERT_EQ(png.width, 256);
        ASSERT_EQ(png.height, 256);
        ASSERT_EQ(png.channels, 4);
        // The red mask keeps the alpha and red bytes: red equals alpha, green and blue are 0.
        size_t lit = 0;
        for (size_t i = 0; i < png.pixels.size(); i += 4) {
            ASSERT_EQ(png.pixels[i], png.pixels[i + 3]) << "spot " << k << " texel " << i / 4;
            ASSERT_EQ(png.pixels[i + 1], 0);
            ASSERT_EQ(png.pixels[i + 2], 0);
            if (png.pixels[i] != 0) ++lit;
        }
        EXPECT_GT(lit, 1000u) << "spot " << k;
    }
}

TEST_F(HeadlessRun, SameOptionsGiveTheSameBytes)
{
    const auto render = [&](const std::string& tag, const std::string& seed) {
        const RunResult run = Run({"-seed", seed, "-frame-time", "0.1", "-size", "400x300",
                                   "-frames", "3", "-color", "random", "-render",
                                   Out(tag + "-%d.png"), "-dump-spots", root / ("spots-" + tag)});
        EXPECT_EQ(run.status, 0) << run.err;
    };
    render("a", "5,6");
    render("b", "5,6");
    render("c", "6,6");
    for (const char* name : {"-0.png", "-1.png", "-2.png"}) {
        const std::vector<uint8_t> a = ReadBytes(Out(std::string("a") + name));
        ASSERT_FALSE(a.empty());
        EXPECT_EQ(a, ReadBytes(Out(std::string("b") + name))) << name;
    }
    EXPECT_EQ(ReadBytes(root / "spots-a/spot0.png"), ReadBytes(root / "spots-b/spot0.png"));
    // Another seed puts the spots elsewhere: the comparison above could have failed.
    EXPECT_NE(ReadBytes(Out("a-2.png")), ReadBytes(Out("c-2.png")));
}

TEST_F(HeadlessRun, UnusablePictureEndsWithStatusTwoAndWritesNothing)
{
    WriteBytes(root / "garbage.png", {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0});
    const std::vector<uint8_t> png = EncodePng(MakeGradientPicture(300, 300));
    WriteBytes(root / "cut.png", std::vector<uint8_t>(png.begin(), png.begin() + png.size() / 3));
    for (const std::string& image :
         {root / "missing.png", root / "garbage.png", root / "cut.png", root / "out"}) {
        const RunResult run =
            Run({"-image", image, "-render", Out("never.png"), "-dump-spots", root / "out/spots"});
        EXPECT_EQ(run.status, 2) << image;
        EXPECT_NE(run.err.find(image), std::string::npos) << run.err;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
        EXPECT_TRUE(FolderEntries(root / "out").empty()) << image;
        EXPECT_TRUE(FolderEntries(root / "config").empty()) << image;
    }
}

TEST_F(HeadlessRun, OverridesAreForThisRunOnly)
{
    // This process reads and writes the same store as the program.
    struct ConfigHome {
        explicit ConfigHome(const std::string& path) { setenv("XDG_CONFIG_HOME", path.c_str(), 1); }
        ~ConfigHome() { unsetenv("XDG_CONFIG_HOME"); }
    } configHome(root / "config");

    // The stored settings: one white spot at speed 10, clock off, frame rate on.
    SaverSettings stored;
    stored.NumLights = 0;
    stored.ColorLight = 0;
    stored.LightSpeed = 10;
    stored.bTime = 0;
    stored.bFps = 1;
    stored.Prominent = 5;
    SaveSettings(stored);
    ASSERT_TRUE(FileExists(SettingsFile()));

    const RunResult run = Run(
        With(Fixed, {"-lights", "5", "-color", "green", "-speed", "100", "-time", "-no-fps",
                     "-size", "512x300", "-render", Out("x.png"), "-dump-spots", root / "spots"}));
    ASSERT_EQ(run.status, 0) << run.err;
    // The overrides were in force: five spots, green.
    ASSERT_EQ(FolderEntries(root / "spots").size(), 5u);
    const Png spot = LoadPng(root / "spots/spot4.png");
    ASSERT_EQ(spot.channels, 4);
    size_t green = 0;
    for (size_t i = 0; i < spot.pixels.size(); i += 4) {
        if (spot.pixels[i] == 0 && spot.pixels[i + 2] == 0 && spot.pixels[i + 1] != 0) ++green;
    }
    EXPECT_GT(green, 1000u);

    // And the store still holds what it held.
    SaverSettings after;
    after.NumLights = 99;
    LoadSettings(after);
    EXPECT_EQ(after.NumLights, stored.NumLights);
    EXPECT_EQ(after.ColorLight, stored.ColorLight);
    EXPECT_EQ(after.LightSpeed, stored.LightSpeed);
    EXPECT_EQ(after.bTime, stored.bTime);
    EXPECT_EQ(after.bFps, stored.bFps);
    EXPECT_EQ(after.Prominent, stored.Prominent);
}

TEST_F(HeadlessRun, ClosingStoresTheSettingsLikeTheSaver)
{
    const RunResult run = Run(With(Fixed, {"-size", "300x300", "-render", Out("x.png")}));
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(FileExists(SettingsFile()));
}

TEST_F(HeadlessRun, BadOptionsEndWithStatusTwoAndOneLine)
{
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"-bogus"}, {"-lights", "7"}, {"-render"}, {"-size", "big"}}) {
        const RunResult run = Run(args);
        EXPECT_EQ(run.status, 2) << args[0];
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
        EXPECT_TRUE(run.out.empty());
    }
    EXPECT_TRUE(FolderEntries(root / "config").empty());

    const RunResult help = Run({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("-render"), std::string::npos);
    EXPECT_TRUE(FolderEntries(root / "cache").empty());
}

TEST_F(HeadlessRun, WithoutRenderASequenceGoesToTheCacheFolder)
{
    const RunResult run = Run({"-size", "320x200", "-frames", "3"});
    ASSERT_EQ(run.status, 0) << run.err;
    const std::string folder = root / "cache/tavrel/frames";
    EXPECT_EQ(FolderEntries(folder),
              (std::vector<std::string>{"frame-0000.png", "frame-0001.png", "frame-0002.png"}));
    EXPECT_NE(run.out.find(folder), std::string::npos) << run.out;
}

TEST_F(HeadlessRun, UnwritableOutputFailsNamingTheFile)
{
    const std::string path = root / "no-such-folder/x.png";
    const RunResult run = Run(With(Fixed, {"-size", "300x300", "-render", path}));
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find(path), std::string::npos) << run.err;
}

TEST_F(HeadlessRun, WithoutOpenGlTheRendererSaysSoAndTheRunFails)
{
    const RunResult run = Run(With(Fixed, {"-size", "300x300", "-render", Out("x.png")}),
                              {"__EGL_VENDOR_LIBRARY_FILENAMES=" + (root / "no-such-vendor.json")});
    EXPECT_NE(run.status, 0);
    EXPECT_NE(run.err.find("FAILED"), std::string::npos) << run.err;
    EXPECT_TRUE(FolderEntries(root / "out").empty());
}

}  // namespace
