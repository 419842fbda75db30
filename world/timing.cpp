// timing.cpp -- the game's clock and the interval of one pass from it.
#include <sys/time.h>

#include "world/world.h"

int32_t readClockMs() {
    // One reading of the calendar time; seconds within the minute and ms.
    timeval tv{};
    gettimeofday(&tv, nullptr);
    return static_cast<int32_t>((tv.tv_sec % 60) * 1000 + tv.tv_usec / 1000);
}

int32_t clockElapsedMs(int32_t prevMs, int32_t nowMs) {
    int32_t d = (nowMs - prevMs) % 60000;
    // Across the turn of a minute the difference comes out about 60000 too small.
    if (d < 0) d += 60000;
    return d;
}

int32_t passIntervalMs(int32_t prevMs, int32_t nowMs) {
    const int32_t d = clockElapsedMs(prevMs, nowMs);
    return d > kMaxStepIntervalMs ? kMaxStepIntervalMs : d;
}
