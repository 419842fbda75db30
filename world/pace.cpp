// pace.cpp -- the one place that paces the idle pass: at most one pass every
// kPassPeriodMs, whether or not (and however fast) a window is drawn, waiting
// in the sound engine's notification wait or asleep, never spinning.
#include <time.h>

#include "world/world.h"

namespace {

int64_t systemNowMicros() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1000000 + ts.tv_nsec / 1000;
}

// A signal cuts the sleep short (EINTR): the caller looks at the stop flag
// and the clock again, so nothing more is needed here.
void systemSleepMicros(int64_t micros) {
    if (micros <= 0) return;
    timespec ts{};
    ts.tv_sec = static_cast<time_t>(micros / 1000000);
    ts.tv_nsec = static_cast<long>(micros % 1000000) * 1000;
    nanosleep(&ts, nullptr);
}

// Lifetime: the whole process; the schedule starts with the first pass.
struct Pacer {
    int64_t (*nowMicros)() = systemNowMicros;
    void (*sleepMicros)(int64_t) = systemSleepMicros;
    bool (*waitHook)(int32_t maxMs) = nullptr;
    bool started = false;
    int64_t nextDueMicros = 0;  // monotonic time at which the next pass may begin
};
Pacer pacer;

}  // namespace

void setPaceWaitHook(bool (*wait)(int32_t maxMs)) { pacer.waitHook = wait; }

void setPaceClockForTest(int64_t (*nowMicros)(), void (*sleepMicros)(int64_t)) {
    pacer.nowMicros = nowMicros ? nowMicros : systemNowMicros;
    pacer.sleepMicros = sleepMicros ? sleepMicros : systemSleepMicros;
    pacer.started = false;
    pacer.nextDueMicros = 0;
}

void paceIdlePass() {
    int64_t now = pacer.nowMicros();
    if (!pacer.started) {
        pacer.started = true;
        pacer.nextDueMicros = now;
    }
    while (now < pacer.nextDueMicros && !stopRequested()) {
        const int64_t left = pacer.nextDueMicros - now;
        // The hook waits whole milliseconds; the last fraction is slept.
        const int32_t leftMs = static_cast<int32_t>(left / 1000);
        if (leftMs < 1 || pacer.waitHook == nullptr || !pacer.waitHook(leftMs)) {
            pacer.sleepMicros(left);
        }
        now = pacer.nowMicros();
    }
    // The next pass is due one period after this one begins. A pass that
    // begins late moves the schedule along instead of catching up with a
    // burst of passes.
    const int64_t begins = now > pacer.nextDueMicros ? now : pacer.nextDueMicros;
    pacer.nextDueMicros = begins + static_cast<int64_t>(kPassPeriodMs) * 1000;
}
