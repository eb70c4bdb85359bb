// What the X11 end-to-end tests run on: a private virtual X server per test, the saver started
// on it as a separate process, the tools that send input (xdotool) and take screenshots
// (ImageMagick's import), and the pictures they compare.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "common/temp_folder.h"

struct _XDisplay;

// A picture as the tests look at it: top row first, red, green, blue.
struct Shot {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint8_t> rgb;

    const uint8_t* At(int32_t x, int32_t y) const { return &rgb[3 * (size_t(y) * width + x)]; }
};

// Xvfb on a display number it picks itself, with -noreset so that the root picture and the
// pointer survive the tools' short connections. Ended by its process id. With anyUser, clients
// of other users may connect too (-ac).
class VirtualScreen {
public:
    VirtualScreen(int32_t width, int32_t height, bool anyUser = false);
    ~VirtualScreen();
    VirtualScreen(const VirtualScreen&) = delete;
    VirtualScreen& operator=(const VirtualScreen&) = delete;

    bool Started() const { return display_ != nullptr; }
    const std::string& Name() const { return name_; }  // ":N"
    _XDisplay* Display() const { return display_; }
    unsigned long Root() const;
    // Ends the server now, as a crash or a logout would.
    void Kill();

    // Sets the root window's picture (what the screen shows where no window is).
    void SetRootPicture(const Shot& picture);
    // A plain window without children, mapped, of the given size and background.
    unsigned long MakeWindow(int32_t x, int32_t y, int32_t width, int32_t height,
                             uint32_t background);
    // The pointer's place on the screen.
    void PointerPosition(int32_t& x, int32_t& y) const;

private:
    pid_t pid_ = 0;
    std::string name_;
    _XDisplay* display_ = nullptr;
};

// The drawing path every saver is started on (-renderer gl or cpu) unless its arguments name
// one: TAVREL_TEST_RENDERER from the environment, or empty for the program's own choice.
std::string ForcedRenderer();

// The saver run as its own process, its standard error kept in a file.
class SaverProcess {
public:
    SaverProcess() = default;
    ~SaverProcess();  // kills one still running, by its process id
    SaverProcess(const SaverProcess&) = delete;
    SaverProcess& operator=(const SaverProcess&) = delete;

    // Starts TAVREL_PROGRAM with args on the display; settings, cache and home in `home`.
    // `environment` adds or replaces NAME=VALUE entries.
    bool Start(const VirtualScreen& screen, const TempFolder& home,
               const std::vector<std::string>& args,
               const std::vector<std::string>& environment = {});
    pid_t Pid() const { return pid_; }
    bool Running();
    void Signal(int signal) const;
    // The exit status, or -1 when it did not end in time (it keeps running), or -2 when it
    // was ended by a signal.
    int WaitForExit(double seconds);
    std::string StandardError() const;
    // Clock ticks of processor time used so far (user and system), from /proc.
    long CpuTicks() const;

private:
    pid_t pid_ = 0;
    bool ended_ = false;
    int status_ = -1;
    std::string errorPath_;
};

void PauseSeconds(double seconds);

// Runs a tool (xdotool, import, ...) on the display and waits for it; its exit status, its
// standard output in `output` when given.
int RunTool(const VirtualScreen& screen, const std::vector<std::string>& argv,
            std::string* output = nullptr);

// A screenshot by ImageMagick's import: of the root window (0) or of a window.
Shot TakeScreenshot(const VirtualScreen& screen, const TempFolder& folder,
                    unsigned long window = 0);

// Pictures: the built-in demo desktop as an RGB shot, and PNG files in and out.
Shot DemoDesktopShot(int32_t width, int32_t height);
bool WriteShotPng(const Shot& shot, const std::string& path);
Shot LoadShotPng(const std::string& path);

// Waits up to `seconds` for `ready`, looking every 50 ms.
template <typename Ready>
bool WaitUntil(double seconds, Ready ready)
{
    const auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    for (;;) {
        if (ready()) return true;
        if (std::chrono::steady_clock::now() >= until) return false;
        PauseSeconds(0.05);
    }
}

// The number of pixels of a shot whose brightest channel is at least `level`.
size_t CountBright(const Shot& shot, uint8_t level);
// The largest difference of one channel between two shots of the same size, and the mean one.
void CompareShots(const Shot& a, const Shot& b, int& largest, double& mean);
