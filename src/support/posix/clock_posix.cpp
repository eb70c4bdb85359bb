#include <ctime>

#include "support/clock.h"
#include "support/posix/counter_mode.h"
#include "support/posix/monotonic_clock.h"

namespace {

bool Fixed = false;
int64_t FixedStep = 0;
int64_t FixedCount = 0;

// 2000-01-01 12:00:00 UTC: a made-up moment for the overlay of a reproducible run.
constexpr time_t FixedStartTime = 946728000;

}  // namespace

void UseFixedCounterStep(int64_t step)
{
    Fixed = true;
    FixedStep = step > 0 ? step : 0;
    FixedCount = 0;
}

void UseMonotonicCounter()
{
    Fixed = false;
}

int64_t QueryCounterFrequency()
{
    return 1000000000;
}

int64_t QueryCounter()
{
    if (!Fixed) return MonotonicNanoseconds();
    FixedCount += FixedStep;
    return FixedCount;
}

uint32_t ReadTickCount()
{
    return static_cast<uint32_t>(MonotonicNanoseconds() / 1000000);
}

void ReadLocalTime(LocalTime& out)
{
    tm local{};
    if (Fixed) {
        // In UTC, so that the time zone of the machine does not change the picture either.
        const time_t now = FixedStartTime + static_cast<time_t>(FixedCount / 1000000000);
        gmtime_r(&now, &local);
    } else {
        const time_t now = time(nullptr);
        localtime_r(&now, &local);
    }
    out = LocalTime{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                    local.tm_hour,        local.tm_min,     local.tm_sec};
}
