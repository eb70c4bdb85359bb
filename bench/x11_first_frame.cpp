// How long the saver takes from its start to its first frame on the screen: makes a window of
// a colour the saver never draws, starts `tavrel -window-id` on it with the given options and
// watches one pixel until it changes. Prints the milliseconds; used by cpu_vs_bumps.sh.
//
//   x11_first_frame TAVREL WIDTH HEIGHT [OPTION...]
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

extern char** environ;

namespace {

constexpr unsigned long Backdrop = 0x305878;
constexpr double GiveUpSeconds = 60.0;

double Now()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

unsigned long PixelAt(Display* display, Window window, int x, int y)
{
    XImage* image = XGetImage(display, window, x, y, 1, 1, AllPlanes, ZPixmap);
    if (image == nullptr) return Backdrop;
    const unsigned long pixel = XGetPixel(image, 0, 0) & 0xFFFFFFu;
    XDestroyImage(image);
    return pixel;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s TAVREL WIDTH HEIGHT [OPTION...]\n", argv[0]);
        return 2;
    }
    const int width = std::atoi(argv[2]);
    const int height = std::atoi(argv[3]);
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr || width <= 0 || height <= 0) {
        std::fprintf(stderr, "x11_first_frame: no display, or a bad size\n");
        return 2;
    }
    const Window window =
        XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, static_cast<unsigned>(width),
                            static_cast<unsigned>(height), 0, 0, Backdrop);
    XMapWindow(display, window);
    XSync(display, False);

    char id[32];
    std::snprintf(id, sizeof id, "0x%lx", window);
    std::vector<std::string> args = {argv[1], "-window-id", id};
    for (int i = 4; i < argc; ++i) args.push_back(argv[i]);
    std::vector<char*> pointers;
    for (std::string& a : args) pointers.push_back(a.data());
    pointers.push_back(nullptr);

    const double start = Now();
    pid_t pid = 0;
    if (posix_spawn(&pid, pointers[0], nullptr, nullptr, pointers.data(), environ) != 0) {
        std::fprintf(stderr, "x11_first_frame: cannot start %s\n", argv[1]);
        return 2;
    }
    // One pixel a millisecond costs the server next to nothing.
    double shown = -1.0;
    while (Now() - start < GiveUpSeconds) {
        if (PixelAt(display, window, width / 2, height / 2) != Backdrop) {
            shown = Now();
            break;
        }
        if (waitpid(pid, nullptr, WNOHANG) == pid) {
            pid = 0;
            break;
        }
        usleep(1000);
    }
    if (pid != 0) {
        kill(pid, SIGTERM);
        waitpid(pid, nullptr, 0);
    }
    XDestroyWindow(display, window);
    XCloseDisplay(display);
    if (shown < 0.0) {
        std::fprintf(stderr, "x11_first_frame: no frame was shown\n");
        return 1;
    }
    std::printf("%.0f\n", (shown - start) * 1000.0);
    return 0;
}
