// impair.cpp -- the fate of each datagram on an impaired link: lost,
// duplicated, delayed with jitter, or held back behind later ones.
#include <algorithm>

#include "net/net.h"
#include "world/world.h"

namespace {

// One datagram's delay: the mean plus a uniform jitter, never negative.
int64_t drawDelay(const ImpairSettings& s) {
    const double jitter = (2.0 * randomFraction() - 1.0) * s.jitterMs;
    return std::max<int64_t>(0, static_cast<int64_t>(s.delayMs + jitter + 0.5));
}

// True with probability p; p of 1 or more is always.
bool chance(double p) { return p >= 1.0 || randomFraction() < p; }

}  // namespace

int impairDatagram(ImpairLink& link, int64_t nowMs, int64_t dueMs[2]) {
    const ImpairSettings& s = link.settings;
    ++link.in;
    if (chance(s.loss)) {
        ++link.lost;
        return 0;
    }
    dueMs[0] = nowMs + drawDelay(s);
    // Held back by one more full delay plus jitter: later datagrams overtake it.
    if (chance(s.reorder)) {
        dueMs[0] += s.delayMs + s.jitterMs + 1;
        ++link.reordered;
    }
    if (chance(s.duplicate)) {
        dueMs[1] = nowMs + drawDelay(s);
        ++link.duplicated;
        return 2;
    }
    return 1;
}
