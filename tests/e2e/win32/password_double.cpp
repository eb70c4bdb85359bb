// Stands in for the system's PASSWORD.CPL in the Wine runs (Wine has none); put beside the saver.
//
// PWD_DOUBLE_ANSWERS="0,1": the n-th call answers the n-th number (1 once the list is used up).
// PWD_DOUBLE_WAIT_MS=N: before answering, run a message loop for N ms, as the real password dialog
// does, so that the saver's window keeps getting its messages meanwhile.
// PWD_DOUBLE_LOG: a file (Windows path) that gets one line per call. The saver frees the library
// after every call, so the call count is the number of lines already in the log.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

int CountLines(const char* path)
{
    int lines = 0;
    if (FILE* f = std::fopen(path, "r")) {
        for (int c; (c = std::fgetc(f)) != EOF;) {
            if (c == '\n') ++lines;
        }
        std::fclose(f);
    }
    return lines;
}

int AnswerFor(int call)
{
    const char* p = std::getenv("PWD_DOUBLE_ANSWERS");
    for (int i = 0; p && i < call; ++i) {
        p = std::strchr(p, ',');
        if (p) ++p;
    }
    return p && *p ? std::atoi(p) : 1;
}

void PumpMessages(DWORD milliseconds)
{
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < milliseconds) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            // A quit message belongs to the saver's own loop: give it back and stop waiting.
            if (msg.message == WM_QUIT) {
                PostQuitMessage(static_cast<int>(msg.wParam));
                return;
            }
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        Sleep(5);
    }
}

}  // namespace

extern "C" __declspec(dllexport) BOOL WINAPI VerifyScreenSavePwd(HWND owner)
{
    // Set while a call waits; a call that finds it set came from inside the wait (the library
    // stays loaded until the outer call returns).
    static int active = 0;

    const char* logEnv = std::getenv("PWD_DOUBLE_LOG");
    const char* log = logEnv && *logEnv ? logEnv : "password_double.log";
    const int call = CountLines(log) + 1;
    const int answer = AnswerFor(call - 1);

    char ownerClass[64] = "";
    GetClassNameA(owner, ownerClass, sizeof ownerClass);
    // Logged before the wait, so that a call made during it is counted in order.
    if (FILE* f = std::fopen(log, "ab")) {
        std::fprintf(f,
                     "call=%d\towner=%lu\towner_window=%d\towner_class=%s\towner_visible=%"
                     "d\tnested=%d\tanswer=%d\n",
                     call, static_cast<unsigned long>(reinterpret_cast<ULONG_PTR>(owner)),
                     IsWindow(owner) ? 1 : 0, ownerClass, IsWindowVisible(owner) ? 1 : 0, active,
                     answer);
        std::fclose(f);
    }
    ++active;
    if (const char* wait = std::getenv("PWD_DOUBLE_WAIT_MS"))
        PumpMessages(std::strtoul(wait, nullptr, 10));
    --active;
    return answer;
}
