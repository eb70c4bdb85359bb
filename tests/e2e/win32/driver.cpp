// e2e-driver: drives the program under test from inside the Wine prefix, where the ordinary window
// API reaches windows that X cannot see (children, dialog controls, message boxes).
//
//   e2e-driver find        WINDOW                 print the window's handle
//   e2e-driver wait-gone   WINDOW                 wait until no such window exists
//   e2e-driver sync        WINDOW                 return once WINDOW's thread has taken and
//                                             handled the input X sent before this started
//   e2e-driver info        WINDOW                 one line of facts about the window (for a
//                                             top-level one, its thread's keyboard focus too)
//   e2e-driver dump        WINDOW                 the window, then one line per descendant
//   e2e-driver click       WINDOW --id N          press a button (BM_CLICK, posted)
//   e2e-driver check       WINDOW --id N --value V    BM_SETCHECK
//   e2e-driver select      WINDOW --id N --value I    CB_SETCURSEL (LB_SETCURSEL in a list box)
//   e2e-driver slider      WINDOW --id N --value P    TBM_SETPOS with redraw
//   e2e-driver post        WINDOW MESSAGE [WPARAM [LPARAM]]   e.g. WM_SYSCOMMAND SC_CLOSE
//   e2e-driver msgbox      [--title T] [--ok]     print a message box's text; --ok presses OK
//   e2e-driver show-window [--title T] [--ms N]   show and activate a window of this program
//   e2e-driver desktop                         start the Wine desktop if it is not up; its size
//   e2e-driver cursor                          the cursor position as Wine has it, "X Y", once
//                                             the desktop has handled the input X queued for it
//   e2e-driver hold                            start the desktop and keep it up until killed
//                                             (Wine ends it with the last program of a session)
//   e2e-driver preview-host --saver PATH [--stop-file F] [--ms N] [--size WxH]
//                          [--exit-timeout-ms N]  host the saver's /p preview; see PreviewHost
//
// WINDOW: --hwnd H, or --title T and/or --class C (exact, top level unless --parent H), polled
// until --timeout MS (default 10000). Lines are tab-separated key=value fields; texts escape
// backslash, tab, CR, LF (and "|" inside item lists) with a backslash. Exit status 0 on success,
// 1 when the window or box did not turn up (or did not go), 2 for a usage error.
#include <windows.h>

#include <commctrl.h>
#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>
#include <vector>

namespace {

struct Options {
    HWND hwnd = nullptr;
    HWND parent = nullptr;
    std::wstring title;
    std::wstring windowClass;
    bool hasTitle = false;
    bool hasClass = false;
    DWORD timeoutMs = 10000;
    int id = -1;
    long long value = 0;
    bool hasValue = false;
    bool ok = false;
    std::wstring saver;
    std::wstring saverArgs;
    std::wstring stopFile;
    DWORD ms = 0;
    DWORD exitTimeoutMs = 10000;
    int width = 152;
    int height = 112;
    std::vector<std::wstring> rest;
};

std::string Utf8(const std::wstring& text)
{
    if (text.empty()) return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                      nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n,
                        nullptr, nullptr);
    return out;
}

std::string Escape(const std::wstring& text, bool inList = false)
{
    std::wstring out;
    for (wchar_t c : text) {
        switch (c) {
        case L'\\': out += L"\\\\"; break;
        case L'\t': out += L"\\t"; break;
        case L'\r': out += L"\\r"; break;
        case L'\n': out += L"\\n"; break;
        case L'|': out += inList ? L"\\|" : L"|"; break;
        default: out += c;
        }
    }
    return Utf8(out);
}

unsigned long Handle(HWND window)
{
    return static_cast<unsigned long>(reinterpret_cast<ULONG_PTR>(window));
}

HWND HandleFrom(const std::wstring& text)
{
    return reinterpret_cast<HWND>(static_cast<ULONG_PTR>(std::wcstoull(text.c_str(), nullptr, 0)));
}

// Cross-process requests must not hang the driver on a program that stopped answering.
LRESULT Ask(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, 5000, &result))
        return -1;
    return static_cast<LRESULT>(result);
}

std::wstring ClassOf(HWND window)
{
    wchar_t name[256] = L"";
    GetClassNameW(window, name, 256);
    return name;
}

std::wstring TextOf(HWND window)
{
    // WM_GETTEXT rather than GetWindowText: for another process's controls the latter gives the
    // creation text, not what the control shows now.
    const LRESULT length = Ask(window, WM_GETTEXTLENGTH, 0, 0);
    if (length <= 0) return {};
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    const LRESULT got = Ask(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
    text.resize(got > 0 ? static_cast<size_t>(got) : 0);
    return text;
}

bool SameClass(const std::wstring& a, const wchar_t* b)
{
    return _wcsicmp(a.c_str(), b) == 0;
}

// Items of a combo box or list box. The W messages: Wine marshals the A ones across processes
// only up to the first character.
std::string ListItems(HWND window, bool combo)
{
    const LRESULT count = Ask(window, combo ? CB_GETCOUNT : LB_GETCOUNT, 0, 0);
    std::string out;
    for (LRESULT i = 0; i < count; ++i) {
        const LRESULT length = Ask(window, combo ? CB_GETLBTEXTLEN : LB_GETTEXTLEN, i, 0);
        std::wstring item(length > 0 ? static_cast<size_t>(length) + 1 : 1, L'\0');
        const LRESULT got = Ask(window, combo ? CB_GETLBTEXT : LB_GETTEXT, i,
                                reinterpret_cast<LPARAM>(item.data()));
        item.resize(got > 0 ? static_cast<size_t>(got) : 0);
        if (i > 0) out += "|";
        out += Escape(item, true);
    }
    return out;
}

void Describe(HWND window)
{
    RECT r{};
    GetWindowRect(window, &r);
    RECT client{};
    GetClientRect(window, &client);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    const std::wstring cls = ClassOf(window);
    std::printf(
        "hwnd=%lu\tid=%d\tclass=%s\ttext=%s\tenabled=%d\tvisible=%d\trect=%ld,%ld,%ld,%ld"
        "\tsize=%ldx%ld\tclient=%ldx%ld\tstyle=0x%08lx\texstyle=0x%08lx\tparent=%lu\towner=%lu"
        "\tpid=%lu",
        Handle(window), GetDlgCtrlID(window), Escape(cls).c_str(), Escape(TextOf(window)).c_str(),
        IsWindowEnabled(window) ? 1 : 0, IsWindowVisible(window) ? 1 : 0, r.left, r.top, r.right,
        r.bottom, r.right - r.left, r.bottom - r.top, client.right, client.bottom,
        static_cast<unsigned long>(GetWindowLongW(window, GWL_STYLE)),
        static_cast<unsigned long>(GetWindowLongW(window, GWL_EXSTYLE)), Handle(GetParent(window)),
        Handle(GetWindow(window, GW_OWNER)), static_cast<unsigned long>(pid));
    if ((GetWindowLongW(window, GWL_STYLE) & WS_CHILD) == 0) {
        // The keyboard focus of the window's thread: a control of a dialog, say.
        GUITHREADINFO gui{};
        gui.cbSize = sizeof gui;
        GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &gui);
        std::printf("\tfocus=%lu", Handle(gui.hwndFocus));
    }
    if (SameClass(cls, L"Button")) {
        std::printf("\tcheck=%ld", static_cast<long>(Ask(window, BM_GETCHECK, 0, 0)));
    } else if (SameClass(cls, L"ComboBox")) {
        std::printf("\tsel=%ld\tcount=%ld\titems=%s",
                    static_cast<long>(Ask(window, CB_GETCURSEL, 0, 0)),
                    static_cast<long>(Ask(window, CB_GETCOUNT, 0, 0)),
                    ListItems(window, true).c_str());
    } else if (SameClass(cls, L"ListBox")) {
        std::printf("\tsel=%ld\tcount=%ld\titems=%s",
                    static_cast<long>(Ask(window, LB_GETCURSEL, 0, 0)),
                    static_cast<long>(Ask(window, LB_GETCOUNT, 0, 0)),
                    ListItems(window, false).c_str());
    } else if (SameClass(cls, TRACKBAR_CLASSW)) {
        std::printf("\tpos=%ld\tmin=%ld\tmax=%ld", static_cast<long>(Ask(window, TBM_GETPOS, 0, 0)),
                    static_cast<long>(Ask(window, TBM_GETRANGEMIN, 0, 0)),
                    static_cast<long>(Ask(window, TBM_GETRANGEMAX, 0, 0)));
    } else if (SameClass(cls, L"Static")) {
        std::printf("\tbitmap=%d", Ask(window, STM_GETIMAGE, IMAGE_BITMAP, 0) > 0 ? 1 : 0);
    }
    std::printf("\n");
}

BOOL CALLBACK DescribeChild(HWND window, LPARAM)
{
    Describe(window);
    return TRUE;
}

HWND FindOnce(const Options& o)
{
    const wchar_t* cls = o.hasClass ? o.windowClass.c_str() : nullptr;
    const wchar_t* title = o.hasTitle ? o.title.c_str() : nullptr;
    if (o.parent) return FindWindowExW(o.parent, nullptr, cls, title);
    return FindWindowW(cls, title);
}

// The window named by the options, waited for; nullptr after the timeout.
HWND FindTarget(const Options& o)
{
    if (o.hwnd) return IsWindow(o.hwnd) ? o.hwnd : nullptr;
    if (!o.hasTitle && !o.hasClass) return nullptr;
    const DWORD start = GetTickCount();
    for (;;) {
        if (HWND found = FindOnce(o)) return found;
        if (GetTickCount() - start >= o.timeoutMs) return nullptr;
        Sleep(50);
    }
}

HWND RequireTarget(const Options& o)
{
    HWND window = FindTarget(o);
    if (!window) std::fprintf(stderr, "e2e-driver: window not found within %lu ms\n", o.timeoutMs);
    return window;
}

HWND RequireControl(const Options& o)
{
    HWND window = RequireTarget(o);
    if (!window) return nullptr;
    HWND control = GetDlgItem(window, o.id);
    if (!control) std::fprintf(stderr, "e2e-driver: no control with id %d\n", o.id);
    return control;
}

struct Named {
    const wchar_t* name;
    unsigned long value;
};

const Named Names[] = {
    {L"WM_CLOSE", WM_CLOSE},
    {L"WM_DESTROY", WM_DESTROY},
    {L"WM_SYSCOMMAND", WM_SYSCOMMAND},
    {L"WM_POWERBROADCAST", WM_POWERBROADCAST},
    {L"WM_KEYDOWN", WM_KEYDOWN},
    {L"WM_KEYUP", WM_KEYUP},
    {L"WM_SYSKEYDOWN", WM_SYSKEYDOWN},
    {L"WM_LBUTTONDOWN", WM_LBUTTONDOWN},
    {L"WM_RBUTTONDOWN", WM_RBUTTONDOWN},
    {L"WM_MBUTTONDOWN", WM_MBUTTONDOWN},
    {L"WM_MOUSEMOVE", WM_MOUSEMOVE},
    {L"WM_ACTIVATEAPP", WM_ACTIVATEAPP},
    {L"WM_SETCURSOR", WM_SETCURSOR},
    {L"WM_TIMER", WM_TIMER},
    {L"WM_COMMAND", WM_COMMAND},
    {L"SC_CLOSE", SC_CLOSE},
    {L"SC_SCREENSAVE", SC_SCREENSAVE},
    {L"SC_NEXTWINDOW", SC_NEXTWINDOW},
    {L"SC_PREVWINDOW", SC_PREVWINDOW},
    {L"SC_KEYMENU", SC_KEYMENU},
    {L"SC_MINIMIZE", SC_MINIMIZE},
    {L"PBT_APMSUSPEND", PBT_APMSUSPEND},
    {L"PBT_APMRESUMESUSPEND", PBT_APMRESUMESUSPEND},
};

bool NumberOrName(const std::wstring& text, unsigned long long& out)
{
    for (const Named& n : Names) {
        if (text == n.name) {
            out = n.value;
            return true;
        }
    }
    wchar_t* end = nullptr;
    out = std::wcstoull(text.c_str(), &end, 0);
    return !text.empty() && end && *end == L'\0';
}

int Post(const Options& o)
{
    if (o.rest.empty()) return 2;
    unsigned long long message = 0, wParam = 0, lParam = 0;
    if (!NumberOrName(o.rest[0], message) ||
        (o.rest.size() > 1 && !NumberOrName(o.rest[1], wParam)) ||
        (o.rest.size() > 2 && !NumberOrName(o.rest[2], lParam))) {
        std::fprintf(stderr, "e2e-driver: post: MESSAGE [WPARAM [LPARAM]] as numbers or names\n");
        return 2;
    }
    HWND window = RequireTarget(o);
    if (!window) return 1;
    if (!PostMessageW(window, static_cast<UINT>(message), static_cast<WPARAM>(wParam),
                      static_cast<LPARAM>(lParam))) {
        std::fprintf(stderr, "e2e-driver: PostMessage failed (%lu)\n", GetLastError());
        return 1;
    }
    return 0;
}

int WaitGone(const Options& o)
{
    const DWORD start = GetTickCount();
    for (;;) {
        const bool present = o.hwnd ? IsWindow(o.hwnd) != FALSE : FindOnce(o) != nullptr;
        if (!present) return 0;
        if (GetTickCount() - start >= o.timeoutMs) {
            std::fprintf(stderr, "e2e-driver: window still there after %lu ms\n", o.timeoutMs);
            return 1;
        }
        Sleep(50);
    }
}

// Message boxes are dialogs ("#32770"); the text is the static with id 0xFFFF, OK is id 1.
int MessageBoxCommand(Options o)
{
    if (!o.hasTitle) {
        o.title = L"Error";
        o.hasTitle = true;
    }
    o.windowClass = L"#32770";
    o.hasClass = true;
    HWND box = RequireTarget(o);
    if (!box) return 1;
    HWND text = GetDlgItem(box, 0xFFFF);
    HWND ok = GetDlgItem(box, IDOK);
    std::printf("hwnd=%lu\ttitle=%s\ttext=%s\towner=%lu\tok=%d\n", Handle(box),
                Escape(TextOf(box)).c_str(), Escape(text ? TextOf(text) : std::wstring()).c_str(),
                Handle(GetWindow(box, GW_OWNER)), ok ? 1 : 0);
    if (!o.ok) return 0;
    if (!ok || !PostMessageW(ok, BM_CLICK, 0, 0)) return 1;
    Options gone = o;
    gone.hwnd = box;
    gone.timeoutMs = 5000;
    return WaitGone(gone);
}

void Pump()
{
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

LRESULT CALLBACK PlainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcW(window, message, wParam, lParam);
}

HWND MakeTopLevel(const wchar_t* title, int x, int y, int width, int height)
{
    WNDCLASSW wc{};
    wc.lpfnWndProc = PlainWindowProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH));
    wc.lpszClassName = L"E2EDriverWindow";
    RegisterClassW(&wc);
    return CreateWindowExW(0, wc.lpszClassName, title, WS_OVERLAPPEDWINDOW | WS_VISIBLE, x, y,
                           width, height, nullptr, nullptr, wc.hInstance, nullptr);
}

// Another program's window becoming active, as the user switching away from the saver.
int ShowWindowCommand(const Options& o)
{
    HWND window =
        MakeTopLevel(o.hasTitle ? o.title.c_str() : L"E2E Driver Window", 100, 100, 300, 200);
    if (!window) return 1;
    SetForegroundWindow(window);
    SetActiveWindow(window);
    std::printf("hwnd=%lu\tforeground=%d\n", Handle(window),
                GetForegroundWindow() == window ? 1 : 0);
    const DWORD start = GetTickCount();
    do {
        Pump();
        Sleep(10);
    } while (GetTickCount() - start < (o.ms ? o.ms : 1000));
    DestroyWindow(window);
    Pump();
    return 0;
}

bool FileExists(const std::wstring& path)
{
    return !path.empty() && GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void PrintChild(const char* what, HWND child, HWND area, DWORD elapsed)
{
    RECT r{};
    GetWindowRect(child, &r);
    RECT areaClient{};
    GetClientRect(area, &areaClient);
    POINT origin{0, 0};
    ClientToScreen(area, &origin);
    std::printf(
        "%s\tat_ms=%lu\tchild=%lu\tclass=%s\talive=%d\tvisible=%d\trect=%ld,%ld,%ld,%"
        "ld\tsize=%ldx%ld"
        "\tarea_rect=%ld,%ld,%ld,%ld\tparent_is_area=%d\n",
        what, elapsed, Handle(child), Escape(ClassOf(child)).c_str(), IsWindow(child) ? 1 : 0,
        IsWindowVisible(child) ? 1 : 0, r.left, r.top, r.right, r.bottom, r.right - r.left,
        r.bottom - r.top, origin.x, origin.y, origin.x + areaClient.right,
        origin.y + areaClient.bottom, GetParent(child) == area ? 1 : 0);
}

// Plays the display settings' preview: a top-level window with a preview area (a child of
// --size), the saver started with "/p <area>". Reports the saver's child window when it appears
// and whenever it goes, keeps pumping until --stop-file exists or --ms have passed, then destroys
// its window and reports how the saver process ended.
int PreviewHost(const Options& o)
{
    if (o.saver.empty()) {
        std::fprintf(stderr, "e2e-driver: preview-host needs --saver PATH\n");
        return 2;
    }
    HWND host = MakeTopLevel(L"Preview Host", 50, 50, o.width + 60, o.height + 80);
    HWND area =
        CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_BLACKRECT, 10, 10, o.width,
                        o.height, host, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!host || !area) return 1;
    Pump();
    std::printf("host\thost=%lu\tarea=%lu\n", Handle(host), Handle(area));

    std::wstring command = L"\"" + o.saver + L"\" /p " + std::to_wstring(Handle(area));
    if (!o.saverArgs.empty()) command += L" " + o.saverArgs;
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                        &pi)) {
        std::printf("started\tok=0\terror=%lu\n", GetLastError());
        return 1;
    }
    CloseHandle(pi.hThread);
    std::printf("started\tok=1\tpid=%lu\n", static_cast<unsigned long>(pi.dwProcessId));

    const DWORD start = GetTickCount();
    HWND child = nullptr;
    bool exited = false;
    for (;;) {
        Pump();
        const DWORD elapsed = GetTickCount() - start;
        if (!child) {
            child = FindWindowExW(area, nullptr, nullptr, nullptr);
            if (child) PrintChild("child", child, area, elapsed);
        } else if (!IsWindow(child)) {
            std::printf("child_gone\tat_ms=%lu\n", elapsed);
            child = nullptr;
        }
        if (!exited && WaitForSingleObject(pi.hProcess, 0) == WAIT_OBJECT_0) {
            DWORD code = 0;
            GetExitCodeProcess(pi.hProcess, &code);
            std::printf("saver_exit\tat_ms=%lu\tcode=%lu\twhile=hosted\n", elapsed, code);
            exited = true;
        }
        if (FileExists(o.stopFile) || (o.ms && elapsed >= o.ms)) break;
        Sleep(10);
    }

    if (child) PrintChild("before_destroy", child, area, GetTickCount() - start);
    DestroyWindow(host);
    Pump();
    const DWORD destroyed = GetTickCount();
    while (!exited) {
        Pump();
        if (WaitForSingleObject(pi.hProcess, 10) == WAIT_OBJECT_0) {
            DWORD code = 0;
            GetExitCodeProcess(pi.hProcess, &code);
            std::printf("saver_exit\tafter_destroy_ms=%lu\tcode=%lu\twhile=destroyed\n",
                        GetTickCount() - destroyed, code);
            exited = true;
        } else if (GetTickCount() - destroyed >= o.exitTimeoutMs) {
            std::printf("saver_exit\tafter_destroy_ms=%lu\tcode=none\twhile=destroyed\n",
                        o.exitTimeoutMs);
            TerminateProcess(pi.hProcess, 99);
            WaitForSingleObject(pi.hProcess, 5000);
            break;
        }
    }
    std::printf("done\tchild_alive=%d\n", child && IsWindow(child) ? 1 : 0);
    CloseHandle(pi.hProcess);
    return 0;
}

bool ParseOptions(int argc, wchar_t** argv, Options& o)
{
    for (int i = 2; i < argc; ++i) {
        const std::wstring a = argv[i];
        auto next = [&](std::wstring& out) {
            if (i + 1 >= argc) return false;
            out = argv[++i];
            return true;
        };
        std::wstring v;
        if (a == L"--hwnd" && next(v)) {
            o.hwnd = HandleFrom(v);
        } else if (a == L"--parent" && next(v)) {
            o.parent = HandleFrom(v);
        } else if (a == L"--title" && next(o.title)) {
            o.hasTitle = true;
        } else if (a == L"--class" && next(o.windowClass)) {
            o.hasClass = true;
        } else if (a == L"--timeout" && next(v)) {
            o.timeoutMs = static_cast<DWORD>(std::wcstoul(v.c_str(), nullptr, 10));
        } else if (a == L"--id" && next(v)) {
            o.id = static_cast<int>(std::wcstol(v.c_str(), nullptr, 0));
        } else if (a == L"--value" && next(v)) {
            o.value = std::wcstoll(v.c_str(), nullptr, 0);
            o.hasValue = true;
        } else if (a == L"--ok") {
            o.ok = true;
        } else if (a == L"--saver" && next(o.saver)) {
        } else if (a == L"--saver-args" && next(o.saverArgs)) {
        } else if (a == L"--stop-file" && next(o.stopFile)) {
        } else if (a == L"--ms" && next(v)) {
            o.ms = static_cast<DWORD>(std::wcstoul(v.c_str(), nullptr, 10));
        } else if (a == L"--exit-timeout-ms" && next(v)) {
            o.exitTimeoutMs = static_cast<DWORD>(std::wcstoul(v.c_str(), nullptr, 10));
        } else if (a == L"--size" && next(v)) {
            if (std::swscanf(v.c_str(), L"%dx%d", &o.width, &o.height) != 2) return false;
        } else if (a.rfind(L"--", 0) == 0) {
            return false;
        } else {
            o.rest.push_back(a);
        }
    }
    return true;
}

void Usage()
{
    std::fprintf(
        stderr,
        "usage: e2e-driver find|wait-gone|sync|info|dump|click|check|select|slider|post|msgbox|"
        "show-window|preview-host [options]; see the source's head\n");
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    // Plain "\n" line ends and every line out at once: scripts read this output while it runs.
    _setmode(_fileno(stdout), _O_BINARY);
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    if (argc < 2) {
        Usage();
        return 2;
    }
    Options o;
    if (!ParseOptions(argc, argv, o)) {
        Usage();
        return 2;
    }
    const std::wstring command = argv[1];
    const bool needsValue = command == L"check" || command == L"select" || command == L"slider";
    if ((needsValue || command == L"click") && (o.id < 0 || (needsValue && !o.hasValue))) {
        std::fprintf(stderr, "e2e-driver: %s needs --id%s\n", Utf8(command).c_str(),
                     needsValue ? " and --value" : "");
        return 2;
    }

    if (command == L"find") {
        HWND window = RequireTarget(o);
        if (!window) return 1;
        std::printf("%lu\n", Handle(window));
        return 0;
    }
    if (command == L"wait-gone") return WaitGone(o);
    if (command == L"info" || command == L"dump") {
        HWND window = RequireTarget(o);
        if (!window) return 1;
        Describe(window);
        if (command == L"dump") EnumChildWindows(window, DescribeChild, 0);
        return 0;
    }
    if (command == L"click") {
        HWND control = RequireControl(o);
        return control && PostMessageW(control, BM_CLICK, 0, 0) ? 0 : 1;
    }
    if (command == L"check") {
        HWND control = RequireControl(o);
        return control && Ask(control, BM_SETCHECK, static_cast<WPARAM>(o.value), 0) != -1 ? 0 : 1;
    }
    if (command == L"select") {
        HWND control = RequireControl(o);
        if (!control) return 1;
        const bool list = SameClass(ClassOf(control), L"ListBox");
        Ask(control, list ? LB_SETCURSEL : CB_SETCURSEL, static_cast<WPARAM>(o.value), 0);
        return 0;
    }
    if (command == L"slider") {
        HWND control = RequireControl(o);
        if (!control) return 1;
        Ask(control, TBM_SETPOS, TRUE, static_cast<LPARAM>(o.value));
        return 0;
    }
    if (command == L"desktop" || command == L"hold") {
        // Asking for the desktop window starts the desktop process (and its wallpaper).
        RECT r{};
        GetWindowRect(GetDesktopWindow(), &r);
        std::printf("desktop=%lu\tsize=%ldx%ld\n", Handle(GetDesktopWindow()), r.right - r.left,
                    r.bottom - r.top);
        while (command == L"hold") Sleep(60000);
        return 0;
    }
    if (command == L"cursor") {
        // The desktop's window gets the X pointer events, and Wine reads a thread's X events
        // whenever it looks for messages: once the desktop answers, it has read those queued
        // before, and the cursor position they carry is Wine's.
        Ask(GetDesktopWindow(), WM_NULL, 0, 0);
        POINT p{};
        if (!GetCursorPos(&p)) return 1;
        std::printf("%ld %ld\n", p.x, p.y);
        return 0;
    }
    if (command == L"sync") {
        // The X events reach the window's thread when it looks for messages; the first answer
        // means it has read them (and queued their messages, merging the mouse moves still
        // waiting), the second that it has come back for more after handling them. A busy
        // program that is sent two moves between two looks sees only the second.
        HWND window = RequireTarget(o);
        if (!window) return 1;
        Ask(GetDesktopWindow(), WM_NULL, 0, 0);
        for (int i = 0; i < 2; ++i) {
            if (Ask(window, WM_NULL, 0, 0) == -1) return 1;
        }
        return 0;
    }
    if (command == L"post") return Post(o);
    if (command == L"msgbox") return MessageBoxCommand(o);
    if (command == L"show-window") return ShowWindowCommand(o);
    if (command == L"preview-host") return PreviewHost(o);
    Usage();
    return 2;
}
