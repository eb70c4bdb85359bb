#include "host/linux/run_mode.h"

#include <vector>

namespace {

// The options given that belong to runs without a window, by name.
std::vector<const char*> HeadlessOnlyOptions(const HackOptions& options)
{
    std::vector<const char*> names;
    if (options.framesGiven) names.push_back("-frames");
    if (options.sizeGiven) names.push_back("-size");
    if (!options.dumpSpotsDir.empty()) names.push_back("-dump-spots");
    return names;
}

void DropHeadlessOnlyOptions(HackOptions& options)
{
    const HackOptions defaults;
    options.frames = defaults.frames;
    options.framesGiven = false;
    options.sizeGiven = false;
    options.demoWidth = defaults.demoWidth;
    options.demoHeight = defaults.demoHeight;
    options.dumpSpotsDir.clear();
}

std::vector<const char*> WindowOptions(const HackOptions& options)
{
    std::vector<const char*> names;
    if (options.window) names.push_back("-window");
    if (options.windowId) names.push_back("-window-id");
    if (options.root) names.push_back("-root");
    if (options.geometry) names.push_back("-geometry");
    return names;
}

void AddNote(HackOptions& options, const std::string& text)
{
    options.notes += (options.notes.empty() ? "" : "; ") + text;
}

std::string Joined(const std::vector<const char*>& names)
{
    std::string text;
    for (const char* name : names) text += (text.empty() ? "" : " ") + std::string(name);
    return text;
}

}  // namespace

bool IsSet(const char* variable)
{
    return variable != nullptr && variable[0] != '\0';
}

bool ChooseRunMode(HackOptions& options, const char* screensaverWindow, const char* display,
                   RunPlan& plan, std::string& error, const char* waylandDisplay)
{
    plan = RunPlan{};
    const bool underXScreenSaver = IsSet(screensaverWindow);

    if (!options.renderPath.empty()) {
        plan.mode = RunMode::Headless;
        const std::vector<const char*> window = WindowOptions(options);
        if (window.empty()) return true;
        if (!underXScreenSaver) {
            error =
                std::string(window.front()) + " does not go with -render, which draws no window";
            return false;
        }
        AddNote(options, "ignored " + Joined(window) + " beside -render");
        return true;
    }

    const char* trigger = nullptr;  // what asks for a display, for the message
    if (options.windowId) {
        plan.mode = RunMode::GivenWindow;
        plan.window = *options.windowId;
        trigger = "-window-id";
    } else if (options.window) {
        plan.mode = RunMode::OwnWindow;
        trigger = "-window";
    } else if (options.root || underXScreenSaver) {
        plan.mode = RunMode::GivenWindow;
        trigger = underXScreenSaver ? "XSCREENSAVER_WINDOW" : "-root";
        if (underXScreenSaver && !ParseWindowId(screensaverWindow, plan.window)) {
            error =
                "XSCREENSAVER_WINDOW='" + std::string(screensaverWindow) + "' is not a window id";
            return false;
        }
    } else if (IsSet(display) || IsSet(waylandDisplay)) {
        plan.mode = RunMode::FullScreen;
    } else {
        plan.mode = RunMode::DefaultSequence;
        if (options.geometry) {
            error = "-geometry needs -window";
            return false;
        }
        return true;
    }
    plan.underXScreenSaver = underXScreenSaver;
    plan.wayland = IsSet(waylandDisplay) &&
                   (plan.mode == RunMode::FullScreen || plan.mode == RunMode::OwnWindow);

    if (trigger != nullptr && !IsSet(display) && !plan.wayland) {
        error = std::string("no display to draw in: ") + trigger +
                " needs an X server, and DISPLAY is not set";
        return false;
    }
    if (options.geometry && plan.mode != RunMode::OwnWindow) {
        if (!underXScreenSaver) {
            error = "-geometry needs -window";
            return false;
        }
        AddNote(options, "ignored -geometry without -window");
        options.geometry.reset();
    }
    const std::vector<const char*> headless = HeadlessOnlyOptions(options);
    if (!headless.empty()) {
        if (!underXScreenSaver) {
            error = std::string(headless.front()) +
                    " is for runs without a window (-render, or no display)";
            return false;
        }
        AddNote(options, "ignored " + Joined(headless) + ", which are for -render");
        DropHeadlessOnlyOptions(options);
    }
    return true;
}
