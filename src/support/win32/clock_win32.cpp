#include <windows.h>

#include "support/clock.h"

int64_t QueryCounterFrequency()
{
    LARGE_INTEGER frequency{};
    QueryPerformanceFrequency(&frequency);
    return frequency.QuadPart;
}

int64_t QueryCounter()
{
    LARGE_INTEGER count{};
    QueryPerformanceCounter(&count);
    return count.QuadPart;
}

uint32_t ReadTickCount()
{
    return GetTickCount();
}

void ReadLocalTime(LocalTime& out)
{
    SYSTEMTIME local{};
    GetLocalTime(&local);
    out =
        LocalTime{local.wYear, local.wMonth, local.wDay, local.wHour, local.wMinute, local.wSecond};
}
