// pace.cpp -- the one place that paces the idle pass: one pass every
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
    const int64_t maxLag = static_cast<int64_t>(kMaxPassLagMs) * 1000;
    // The first pass, and the first after a stall, starts the beat afresh.
    if (!pacer.started || now - pacer.nextDueMicros > maxLag) {
        pacer.started = true;
        pacer.nextDueMicros = now;
    }
    bool hookServed = false;
    while (now < pacer.nextDueMicros && !stopRequested()) {
        const int64_t left = pacer.nextDueMicros - now;
        // The hook waits whole milliseconds; the last fraction is slept.
        const int32_t leftMs = static_cast<int32_t>(left / 1000);
        if (leftMs >= 1 && pacer.waitHook != nullptr && pacer.waitHook(leftMs)) {
            hookServed = true;
        } else {
            pacer.sleepMicros(left);
        }
        now = pacer.nowMicros();
    }
    // A pass that is already due (frames slower than the period) still lets
    // the hook serve a notification that is waiting, without waiting for
    // one: the sound's refills must not stop while the window is slow.
    if (!hookServed && pacer.waitHook != nullptr) pacer.waitHook(0);
    // On the beat: a pass that began a little late does not delay the next,
    // so the passes keep their rate when a frame takes longer than a period.
    pacer.nextDueMicros += static_cast<int64_t>(kPassPeriodMs) * 1000;
}

double paceBeatMs() {
    const int64_t beat = pacer.started ? pacer.nextDueMicros - static_cast<int64_t>(kPassPeriodMs) * 1000
                                       : pacer.nowMicros();
    return static_cast<double>(beat) / 1000.0;
}

bool passOverdue() {
    if (!pacer.started) return false;
    const int64_t late = pacer.nowMicros() - pacer.nextDueMicros;
    return late >= 0 && late <= static_cast<int64_t>(kMaxPassLagMs) * 1000;
}
