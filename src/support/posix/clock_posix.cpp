#include <ctime>

#include "support/clock.h"

int64_t QueryCounterFrequency()
{
    return 1000000000;
}

int64_t QueryCounter()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

void ReadLocalTime(LocalTime& out)
{
    const time_t now = time(nullptr);
    tm local{};
    localtime_r(&now, &local);
    out = LocalTime{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                    local.tm_hour, local.tm_min, local.tm_sec};
}
