#include "x11_session.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include <stb_image.h>
#include <stb_image_write.h>

#include "surface/height_field.h"
#include "surface/picture/demo_desktop.h"

extern char** environ;

namespace {

std::vector<char*> Pointers(std::vector<std::string>& strings)
{
    std::vector<char*> pointers;
    for (std::string& s : strings) pointers.push_back(s.data());
    pointers.push_back(nullptr);
    return pointers;
}

std::string NameOf(const std::string& entry)
{
    return entry.substr(0, entry.find('='));
}

// This process's environment without XSCREENSAVER_WINDOW and WAYLAND_DISPLAY (the saver must
// not go to the compositor of whoever runs the tests), with the NAME=VALUE entries of
// `added` set; of two entries for one name in `added`, the later one counts.
std::vector<std::string> Environment(const std::vector<std::string>& added)
{
    std::vector<std::string> result;
    for (char** e = environ; *e != nullptr; ++e) {
        if (NameOf(*e) != "XSCREENSAVER_WINDOW" && NameOf(*e) != "WAYLAND_DISPLAY") {
            result.push_back(*e);
        }
    }
    for (const std::string& entry : added) {
        std::erase_if(result, [&](const std::string& r) { return NameOf(r) == NameOf(entry); });
        result.push_back(entry);
    }
    return result;
}

std::string ReadFile(const std::string& path)
{
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

int WaitStatus(int status)
{
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    return -2;
}

}  // namespace

void PauseSeconds(double seconds)
{
    timespec wait{static_cast<time_t>(seconds), static_cast<long>(std::fmod(seconds, 1.0) * 1e9)};
    while (nanosleep(&wait, &wait) != 0 && errno == EINTR) {
    }
}

VirtualScreen::VirtualScreen(int32_t width, int32_t height, bool anyUser)
{
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 3);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    std::vector<std::string> args = {
        "Xvfb",      "-displayfd", "3",
        "-screen",   "0",          std::to_string(width) + "x" + std::to_string(height) + "x24",
        "-nolisten", "tcp",        "-noreset"};
    if (anyUser) args.push_back("-ac");
    std::vector<char*> argv = Pointers(args);
    const int spawned = posix_spawnp(&pid_, "Xvfb", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    if (spawned != 0) {
        pid_ = 0;
        close(fds[0]);
        return;
    }
    // The server writes its display number once it listens.
    std::string number;
    pollfd ready{fds[0], POLLIN, 0};
    while (poll(&ready, 1, 30000) > 0) {
        char c = 0;
        if (read(fds[0], &c, 1) != 1 || c == '\n') break;
        number += c;
    }
    close(fds[0]);
    if (number.empty()) return;
    name_ = ":" + number;
    display_ = XOpenDisplay(name_.c_str());
}

VirtualScreen::~VirtualScreen()
{
    Kill();
}

unsigned long VirtualScreen::Root() const
{
    return DefaultRootWindow(display_);
}

void VirtualScreen::Kill()
{
    // Our own connection first: Xlib would end this process over a server gone under it.
    if (display_ != nullptr) XCloseDisplay(display_);
    display_ = nullptr;
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
    pid_ = 0;
}

void VirtualScreen::SetRootPicture(const Shot& picture)
{
    const int screen = DefaultScreen(display_);
    // Depth 24 in 32-bit pixels, red in the high byte: how Xvfb lays out its TrueColor visual.
    auto* data = static_cast<char*>(std::malloc(size_t(picture.width) * picture.height * 4));
    for (int32_t i = 0; i < picture.width * picture.height; ++i) {
        const uint8_t* p = &picture.rgb[3 * size_t(i)];
        const uint32_t pixel = (uint32_t{p[0]} << 16) | (uint32_t{p[1]} << 8) | p[2];
        std::memcpy(data + 4 * size_t(i), &pixel, 4);
    }
    XImage* image = XCreateImage(display_, DefaultVisual(display_, screen), 24, ZPixmap, 0, data,
                                 static_cast<unsigned>(picture.width),
                                 static_cast<unsigned>(picture.height), 32, 0);
    image->byte_order = LSBFirst;
    const Pixmap pixmap = XCreatePixmap(display_, Root(), static_cast<unsigned>(picture.width),
                                        static_cast<unsigned>(picture.height), 24);
    const GC gc = XCreateGC(display_, pixmap, 0, nullptr);
    XPutImage(display_, pixmap, gc, image, 0, 0, 0, 0, static_cast<unsigned>(picture.width),
              static_cast<unsigned>(picture.height));
    XFreeGC(display_, gc);
    XDestroyImage(image);
    XSetWindowBackgroundPixmap(display_, Root(), pixmap);
    XFreePixmap(display_, pixmap);
    XClearWindow(display_, Root());
    XSync(display_, False);
}

unsigned long VirtualScreen::MakeWindow(int32_t x, int32_t y, int32_t width, int32_t height,
                                        uint32_t background)
{
    const Window window = XCreateSimpleWindow(display_, Root(), x, y, static_cast<unsigned>(width),
                                              static_cast<unsigned>(height), 0, 0, background);
    XStoreName(display_, window, "tavrel test window");
    XMapWindow(display_, window);
    XSync(display_, False);
    return window;
}

void VirtualScreen::PointerPosition(int32_t& x, int32_t& y) const
{
    Window root = 0;
    Window child = 0;
    int windowX = 0;
    int windowY = 0;
    unsigned int mask = 0;
    int rootX = -1;
    int rootY = -1;
    XQueryPointer(display_, Root(), &root, &child, &rootX, &rootY, &windowX, &windowY, &mask);
    x = rootX;
    y = rootY;
}

SaverProcess::~SaverProcess()
{
    if (pid_ > 0 && !ended_) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
}

std::string ForcedRenderer()
{
    const char* name = std::getenv("TAVREL_TEST_RENDERER");
    return name != nullptr ? name : "";
}

bool SaverProcess::Start(const VirtualScreen& screen, const TempFolder& home,
                         const std::vector<std::string>& args,
                         const std::vector<std::string>& environment)
{
    const char* leakOptions = std::getenv("LSAN_OPTIONS");
    std::vector<std::string> added = {
        "DISPLAY=" + screen.Name(), "HOME=" + home.Path(), "XDG_CONFIG_HOME=" + (home / "config"),
        "XDG_CACHE_HOME=" + (home / "cache"),
        std::string("LSAN_OPTIONS=suppressions=") + TAVREL_LEAK_SUPPRESSIONS +
            (leakOptions != nullptr && leakOptions[0] != '\0' ? ":" + std::string(leakOptions)
                                                              : "")};
    added.insert(added.end(), environment.begin(), environment.end());
    std::vector<std::string> env = Environment(added);
    std::vector<std::string> argStrings = {TAVREL_PROGRAM};
    argStrings.insert(argStrings.end(), args.begin(), args.end());
    const bool chosen = std::find(args.begin(), args.end(), "-renderer") != args.end();
    if (!ForcedRenderer().empty() && !chosen) {
        argStrings.insert(argStrings.end(), {"-renderer", ForcedRenderer()});
    }
    std::vector<char*> argv = Pointers(argStrings);
    std::vector<char*> envp = Pointers(env);

    errorPath_ = home / ("stderr-" + std::to_string(reinterpret_cast<uintptr_t>(this)) + ".txt");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, errorPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    const int spawned = posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) pid_ = 0;
    ended_ = false;
    return pid_ > 0;
}

bool SaverProcess::Running()
{
    if (pid_ <= 0 || ended_) return false;
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
        ended_ = true;
        status_ = WaitStatus(status);
        return false;
    }
    return true;
}

void SaverProcess::Signal(int signal) const
{
    if (pid_ > 0 && !ended_) kill(pid_, signal);
}

int SaverProcess::WaitForExit(double seconds)
{
    if (!WaitUntil(seconds, [&] { return !Running(); })) return -1;
    return status_;
}

std::string SaverProcess::StandardError() const
{
    return ReadFile(errorPath_);
}

long SaverProcess::CpuTicks() const
{
    const std::string stat = ReadFile("/proc/" + std::to_string(pid_) + "/stat");
    const size_t close = stat.rfind(')');
    if (close == std::string::npos) return -1;
    std::istringstream fields(stat.substr(close + 2));
    std::string field;
    long user = 0;
    long system = 0;
    // After the name: state is field 3; user and system time are fields 14 and 15.
    for (int index = 3; index <= 15 && fields >> field; ++index) {
        if (index == 14) user = std::stol(field);
        if (index == 15) system = std::stol(field);
    }
    return user + system;
}

int RunTool(const VirtualScreen& screen, const std::vector<std::string>& argv, std::string* output)
{
    std::vector<std::string> env = Environment({"DISPLAY=" + screen.Name()});
    std::vector<std::string> args = argv;
    std::vector<char*> argp = Pointers(args);
    std::vector<char*> envp = Pointers(env);
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, argp[0], &actions, nullptr, argp.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    std::string text;
    char block[512];
    for (ssize_t got = 0; spawned == 0 && (got = read(fds[0], block, sizeof block)) > 0;) {
        text.append(block, static_cast<size_t>(got));
    }
    close(fds[0]);
    if (spawned != 0) return -1;
    int status = 0;
    waitpid(pid, &status, 0);
    if (output != nullptr) *output = text;
    return WaitStatus(status);
}

Shot TakeScreenshot(const VirtualScreen& screen, const TempFolder& folder, unsigned long window)
{
    static int count = 0;
    const std::string path = folder / ("shot-" + std::to_string(++count) + ".png");
    char id[32];
    std::snprintf(id, sizeof id, "0x%lx", window);
    const std::string target = window == 0 ? std::string("root") : std::string(id);
    if (RunTool(screen, {"import", "-window", target, path}) != 0) return {};
    return LoadShotPng(path);
}

Shot DemoDesktopShot(int32_t width, int32_t height)
{
    std::vector<uint8_t> snapshot(SnapshotStride(width) * size_t(height));
    DrawDemoDesktop(width, height, snapshot.data());
    Shot shot{width, height, std::vector<uint8_t>(size_t(width) * height * 3)};
    for (int32_t y = 0; y < height; ++y) {
        const uint8_t* in = &snapshot[SnapshotStride(width) * size_t(height - 1 - y)];
        for (int32_t x = 0; x < width; ++x) {
            uint8_t* out = &shot.rgb[3 * (size_t(y) * width + x)];
            out[0] = in[3 * x + 2];
            out[1] = in[3 * x + 1];
            out[2] = in[3 * x];
        }
    }
    return shot;
}

bool WriteShotPng(const Shot& shot, const std::string& path)
{
    return stbi_write_png(path.c_str(), shot.width, shot.height, 3, shot.rgb.data(),
                          shot.width * 3) != 0;
}

Shot LoadShotPng(const std::string& path)
{
    Shot shot;
    int channels = 0;
    stbi_uc* data = stbi_load(path.c_str(), &shot.width, &shot.height, &channels, 3);
    if (data == nullptr) return {};
    shot.rgb.assign(data, data + size_t(shot.width) * shot.height * 3);
    stbi_image_free(data);
    return shot;
}

size_t CountBright(const Shot& shot, uint8_t level)
{
    size_t count = 0;
    for (size_t i = 0; i + 2 < shot.rgb.size(); i += 3) {
        const uint8_t brightest = std::max(shot.rgb[i], std::max(shot.rgb[i + 1], shot.rgb[i + 2]));
        if (brightest >= level) ++count;
    }
    return count;
}

void CompareShots(const Shot& a, const Shot& b, int& largest, double& mean)
{
    largest = 256;
    mean = 256.0;
    if (a.width != b.width || a.height != b.height || a.rgb.size() != b.rgb.size()) return;
    largest = 0;
    double sum = 0.0;
    for (size_t i = 0; i < a.rgb.size(); ++i) {
        const int difference = std::abs(int(a.rgb[i]) - int(b.rgb[i]));
        largest = std::max(largest, difference);
        sum += difference;
    }
    mean = a.rgb.empty() ? 0.0 : sum / double(a.rgb.size());
}
