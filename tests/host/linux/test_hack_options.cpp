// The Linux program's options: both spellings, ranges, bad values and frame-file names.
#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "host/linux/hack_options.h"

namespace {

struct Parsed {
    bool ok;
    HackOptions options;
    std::string error;
};

Parsed Parse(std::initializer_list<const char*> args)
{
    std::vector<const char*> argv = {"tavrel"};
    argv.insert(argv.end(), args);
    Parsed parsed{};
    parsed.ok =
        ParseHackOptions(static_cast<int>(argv.size()), argv.data(), parsed.options, parsed.error);
    return parsed;
}

// The option's value when it parses, or the error text, as one comparable string.
std::string Outcome(const char* name, const char* value, std::string (*field)(const HackOptions&))
{
    const Parsed p = Parse({name, value});
    return p.ok ? field(p.options) : "error";
}

std::string Text(const std::optional<uint32_t>& value)
{
    return value ? std::to_string(*value) : "-";
}
std::string Lights(const HackOptions& o)
{
    return Text(o.numLights);
}
std::string Speed(const HackOptions& o)
{
    return Text(o.lightSpeed);
}
std::string Color(const HackOptions& o)
{
    return Text(o.colorLight);
}
std::string Frames(const HackOptions& o)
{
    return std::to_string(o.frames);
}
std::string FrameTime(const HackOptions& o)
{
    return o.frameTimeNs ? std::to_string(*o.frameTimeNs) : "-";
}
std::string Seed(const HackOptions& o)
{
    return o.seedIJ ? std::to_string(*o.seedIJ) + "," + std::to_string(*o.seedKL) : "-";
}
std::string Size(const HackOptions& o)
{
    return std::to_string(o.demoWidth) + "x" + std::to_string(o.demoHeight);
}

TEST(HackOptions, NothingGivenMeansDefaults)
{
    const Parsed p = Parse({});
    ASSERT_TRUE(p.ok);
    EXPECT_FALSE(p.options.help);
    EXPECT_TRUE(p.options.renderPath.empty());
    EXPECT_EQ(p.options.frames, 1u);
    EXPECT_EQ(Size(p.options), "1280x800");
    EXPECT_FALSE(p.options.seedIJ || p.options.frameTimeNs || p.options.numLights ||
                 p.options.colorLight || p.options.lightSpeed || p.options.showTime ||
                 p.options.showFps);
}

TEST(HackOptions, OneDashAndTwoDashesMeanTheSame)
{
    const Parsed one =
        Parse({"-render", "a.png",       "-frames", "3",           "-image",   "d.jpg",   "-seed",
               "1,2",     "-frame-time", "0.5",     "-dump-spots", "s",        "-lights", "4",
               "-color",  "red",         "-speed",  "9",           "-no-time", "-fps"});
    const Parsed two = Parse({"--render",  "a.png", "--frames",     "3",   "--image",      "d.jpg",
                              "--seed",    "1,2",   "--frame-time", "0.5", "--dump-spots", "s",
                              "--lights",  "4",     "--color",      "red", "--speed",      "9",
                              "--no-time", "--fps"});
    for (const Parsed* p : {&one, &two}) {
        ASSERT_TRUE(p->ok) << p->error;
        const HackOptions& o = p->options;
        EXPECT_EQ(o.renderPath, "a.png");
        EXPECT_EQ(o.frames, 3u);
        EXPECT_EQ(o.imagePath, "d.jpg");
        EXPECT_EQ(Seed(o), "1,2");
        EXPECT_EQ(FrameTime(o), "500000000");
        EXPECT_EQ(o.dumpSpotsDir, "s");
        EXPECT_EQ(Lights(o), "3");
        EXPECT_EQ(Color(o), "1");
        EXPECT_EQ(Speed(o), "9");
        EXPECT_EQ(o.showTime, 0u);
        EXPECT_EQ(o.showFps, 1u);
    }
    EXPECT_TRUE(Parse({"--help"}).options.help);
    EXPECT_TRUE(Parse({"-help"}).options.help);
    EXPECT_FALSE(Parse({}).options.addToXScreenSaver);
    EXPECT_TRUE(Parse({"-add-to-xscreensaver"}).options.addToXScreenSaver);
    EXPECT_TRUE(Parse({"--add-to-xscreensaver"}).options.addToXScreenSaver);
}

TEST(HackOptions, NumbersInAndOutOfRange)
{
    EXPECT_EQ(Outcome("-lights", "1", Lights), "0");
    EXPECT_EQ(Outcome("-lights", "5", Lights), "4");
    for (const char* bad : {"0", "6", "-1", "+2", "2x", "", " 2", "two", "99999999999"}) {
        EXPECT_EQ(Outcome("-lights", bad, Lights), "error") << bad;
    }
    EXPECT_EQ(Outcome("-speed", "0", Speed), "0");
    EXPECT_EQ(Outcome("-speed", "100", Speed), "100");
    EXPECT_EQ(Outcome("-speed", "101", Speed), "error");
    EXPECT_EQ(Outcome("-frames", "100000", Frames), "100000");
    EXPECT_EQ(Outcome("-frames", "0", Frames), "error");
    EXPECT_EQ(Outcome("-frames", "100001", Frames), "error");
    EXPECT_EQ(Outcome("-seed", "31328,30081", Seed), "31328,30081");
    EXPECT_EQ(Outcome("-seed", "0,0", Seed), "0,0");
    for (const char* bad : {"31329,0", "0,30082", "12", "1,2,3", ",2", "1,", "1;2"}) {
        EXPECT_EQ(Outcome("-seed", bad, Seed), "error") << bad;
    }
    EXPECT_EQ(Outcome("-size", "640x480", Size), "640x480");
    EXPECT_EQ(Outcome("-size", "1x1", Size), "1x1");
    EXPECT_EQ(Outcome("-size", "8192x8192", Size), "8192x8192");
    for (const char* bad : {"0x480", "8193x10", "640", "640x", "x480", "640*480", "640x480x2"}) {
        EXPECT_EQ(Outcome("-size", bad, Size), "error") << bad;
    }
}

TEST(HackOptions, FrameTimeInSecondsToWholeNanoseconds)
{
    EXPECT_EQ(Outcome("-frame-time", "0.028", FrameTime), "28000000");
    EXPECT_EQ(Outcome("-frame-time", ".5", FrameTime), "500000000");
    EXPECT_EQ(Outcome("-frame-time", "0", FrameTime), "0");
    EXPECT_EQ(Outcome("-frame-time", "60", FrameTime), "60000000000");
    for (const char* bad : {"60.001", "-0.1", "1e-3", "inf", "nan", "0,5", "", "1s"}) {
        EXPECT_EQ(Outcome("-frame-time", bad, FrameTime), "error") << bad;
    }
}

TEST(HackOptions, ColoursByNameInAnyCase)
{
    const char* names[] = {"white", "red", "green", "blue", "yellow", "purple", "cyan", "random"};
    for (uint32_t i = 0; i < 8; ++i) {
        EXPECT_EQ(Outcome("-color", names[i], Color), std::to_string(i));
    }
    EXPECT_EQ(Outcome("-color", "CYAN", Color), "6");
    EXPECT_EQ(Outcome("-color", "Random", Color), "7");
    for (const char* bad : {"magenta", "0", "", "re"}) {
        EXPECT_EQ(Outcome("-color", bad, Color), "error") << bad;
    }
}

TEST(HackOptions, RendererByName)
{
    const auto renderer = [](const HackOptions& o) {
        return std::to_string(static_cast<int>(o.renderer));
    };
    EXPECT_EQ(renderer(Parse({}).options), "0");
    EXPECT_EQ(Outcome("-renderer", "auto", renderer), "0");
    EXPECT_EQ(Outcome("-renderer", "gl", renderer), "1");
    EXPECT_EQ(Outcome("--renderer", "cpu", renderer), "2");
    for (const char* bad : {"GL", "opengl", "", "cpu2"}) {
        EXPECT_EQ(Outcome("-renderer", bad, renderer), "error") << bad;
    }
}

TEST(HackOptions, MistakesGiveOneLineThatNamesThem)
{
    const std::vector<std::pair<std::vector<const char*>, std::string>> cases = {
        {{"-colour", "red"}, "-colour"},
        {{"---render", "x"}, "---render"},
        {{"render"}, "render"},
        {{"-"}, "-"},
        {{"--"}, "--"},
        {{"-render"}, "-render"},
        {{"-lights", "9"}, "9"},
        {{"-image", "a.png", "-size", "10x10"}, "-size"},
    };
    for (const auto& [args, named] : cases) {
        std::vector<const char*> argv = {"tavrel"};
        argv.insert(argv.end(), args.begin(), args.end());
        HackOptions options;
        std::string error;
        EXPECT_FALSE(ParseHackOptions(static_cast<int>(argv.size()), argv.data(), options, error))
            << named;
        EXPECT_NE(error.find(named), std::string::npos) << error;
        EXPECT_EQ(error.find('\n'), std::string::npos) << error;
    }
}

TEST(HackOptions, LaterSwitchWinsAndOverridesTouchOnlyTheirFields)
{
    const Parsed p = Parse({"-time", "-no-time", "-no-fps", "-fps", "-speed", "3", "-speed", "4"});
    ASSERT_TRUE(p.ok);
    EXPECT_EQ(p.options.showTime, 0u);
    EXPECT_EQ(p.options.showFps, 1u);

    SaverSettings settings;
    settings.bTnL = 1;
    settings.Prominent = 7;
    settings.NumLights = 2;
    settings.ColorLight = 3;
    ApplySettingOverrides(p.options, settings);
    EXPECT_EQ(settings.bTime, 0u);
    EXPECT_EQ(settings.bFps, 1u);
    EXPECT_EQ(settings.LightSpeed, 4u);
    EXPECT_EQ(settings.bTnL, 1u);
    EXPECT_EQ(settings.Prominent, 7u);
    EXPECT_EQ(settings.NumLights, 2u);
    EXPECT_EQ(settings.ColorLight, 3u);
}

TEST(HackOptions, FrameNumbersInFileNames)
{
    EXPECT_FALSE(HasFrameNumber("out.png"));
    EXPECT_FALSE(HasFrameNumber("100%.png"));
    EXPECT_FALSE(HasFrameNumber("f%5d.png"));  // padding with blanks is not offered
    EXPECT_TRUE(HasFrameNumber("f%d.png"));
    EXPECT_TRUE(HasFrameNumber("f%04d.png"));

    EXPECT_EQ(FramePath("out.png", 3), "out.png");
    EXPECT_EQ(FramePath("f-%d.png", 0), "f-0.png");
    EXPECT_EQ(FramePath("f-%d.png", 123), "f-123.png");
    EXPECT_EQ(FramePath("f-%04d.png", 7), "f-0007.png");
    EXPECT_EQ(FramePath("f-%02d.png", 123), "f-123.png");
    EXPECT_EQ(FramePath("%d/%d.png", 5), "5/5.png");
    EXPECT_EQ(FramePath("50%-%d%", 2), "50%-2%");
    EXPECT_EQ(FramePath("%s%n%x-%d", 1), "%s%n%x-1");
}

}  // namespace
