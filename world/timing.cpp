// timing.cpp -- the interval of one pass from the minute-wrapping clock.
#include "world/world.h"

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
