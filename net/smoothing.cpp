// smoothing.cpp -- interpolation of the server's bodies and prediction of
// the player's own fighter (see smoothing.h).
#include "net/smoothing.h"

#include <algorithm>
#include <cmath>
#include <iterator>

#include "base/log.h"

SmoothingState smoothing;

namespace {

// Weight of a new sample in the running means (jitter, interval, round trip).
constexpr double kMeanWeight = 1.0 / 16.0;
// How fast the quickest-arrival offset may rise, ms per body: it follows a
// slower route or a drifting clock within seconds without chasing jitter.
constexpr double kOffsetCreepMs = 0.02;
// A body this far ahead of the newest says nothing of the route: after a
// stall of the server the next body will, and a forged clock never does.
constexpr double kAheadOfRouteMs = 1000.0;
// The delay's own pace, ms per body (0.5% of a 10 ms pass), and how far its
// aim must lie above it to be taken at once.
constexpr double kDelaySlewMs = 0.05;
constexpr double kDelayJumpMs = 5.0;

Vec3 groundDir(float headingDeg) {
    const double rad = radiansFromDegrees(headingDeg);
    return Vec3{static_cast<float>(std::cos(rad)), static_cast<float>(std::sin(rad)), 0.0f};
}

// b - a in degrees, along the shorter arc: -180 .. 180.
float arcDegrees(float a, float b) {
    float d = std::fmod(b - a, 360.0f);
    if (d > 180.0f) d -= 360.0f;
    if (d < -180.0f) d += 360.0f;
    return d;
}

float lerp(float a, float b, float t) { return a + (b - a) * t; }

float ground(float ax, float ay, float bx, float by) { return std::hypot(bx - ax, by - ay); }

// The largest move between two bodies that is still motion, not a jump.
float jumpLimit() { return maze.cellSize > 0.0f ? maze.cellSize : 8.0f; }

// Bullets fly kBulletSpeed a server step: between bodies `gapMs` apart they
// may move that far, and a little more, before a match is a different bullet.
float bulletLimit(double gapMs) {
    return static_cast<float>(kBulletSpeed * (gapMs / kPassPeriodMs + 1.0));
}

bool seqAfter(uint32_t a, uint32_t b) { return static_cast<int32_t>(a - b) > 0; }

uint8_t heldMoveKeys() {
    uint8_t bits = 0;
    for (size_t k = 0; k < std::size(kOwnMoveKeys); ++k) {
        const int key = kOwnMoveKeys[k];
        if ((net.heldKeys[key / 8] >> (key % 8)) & 1) bits |= static_cast<uint8_t>(1u << k);
    }
    return bits;
}

// One step of the own fighter with the rules' own control and wall code;
// other bodies are the server's to judge.
void stepOwn(Fighter& f, const OwnStep& s) {
    for (size_t k = 0; k < std::size(kOwnMoveKeys); ++k) f.keyDown[kOwnMoveKeys[k]] = (s.moveKeys >> k) & 1;
    if (s.arrow != 0) fighterKeyAction(f, s.arrow, false, true);
    applyHeldKeys(f, s.dt);
    if (s.mouse != 0) askMouseTurn(f, s.mouse);
    applyMouseTurn(f);
    keepFighterOffWalls(f);
    commitFighterStep(f);
}

void insertBody(const StateSnapshot& s, double serverMs) {
    auto& list = smoothing.bodies;
    // Older than what is drawn already: of no more use.
    if (smoothing.haveRender && serverMs < smoothing.renderServerMs && !list.empty() &&
        serverMs < list.front().serverMs)
        return;
    const auto at = std::upper_bound(list.begin(), list.end(), serverMs,
                                     [](double t, const TimedBody& b) { return t < b.serverMs; });
    // The same body twice (a probe copies the last body): kept once.
    if (at != list.begin()) {
        const TimedBody& before = *std::prev(at);
        if (before.serverMs == serverMs && (!s.hasSeq || !before.hasSeq || before.seq == s.bodySeq)) return;
    }
    TimedBody b;
    b.serverMs = serverMs;
    b.hasSeq = s.hasSeq;
    b.seq = s.bodySeq;
    b.fighters = s.fighters;
    b.prey = s.prey;
    b.bullets = s.bullets;
    list.insert(at, std::move(b));
    // Keep one body at or before the moment drawn, and at most kSmoothBodies.
    size_t drop = list.size() > kSmoothBodies ? list.size() - kSmoothBodies : 0;
    if (smoothing.haveRender)
        while (drop + 1 < list.size() && list[drop + 1].serverMs <= smoothing.renderServerMs) ++drop;
    list.erase(list.begin(), list.begin() + static_cast<std::ptrdiff_t>(drop));
}

void interpolateFighters(const TimedBody& a, const TimedBody& b, float t, DrawnWorld& out) {
    const bool same = a.fighters.size() == b.fighters.size();
    out.fighters.resize(a.fighters.size());
    for (size_t i = 0; i < a.fighters.size(); ++i) {
        const FighterEntry& p = a.fighters[i];
        DrawnFighter& d = out.fighters[i];
        d.shown = p.active != 0;
        d.pos = Vec3{p.x, p.y, kFighterHeight};
        d.dir = groundDir(p.heading);
        if (!same) continue;
        const FighterEntry& q = b.fighters[i];
        // Appearing, vanishing or jumping (a respawn) is shown as it is.
        if (p.active == 0 || q.active == 0 || ground(p.x, p.y, q.x, q.y) > jumpLimit()) continue;
        d.pos = Vec3{lerp(p.x, q.x, t), lerp(p.y, q.y, t), kFighterHeight};
        d.dir = groundDir(p.heading + arcDegrees(p.heading, q.heading) * t);
    }
}

void interpolatePrey(const TimedBody& a, const TimedBody& b, float t, DrawnWorld& out) {
    out.prey = a.prey;
    if (a.prey.size() != b.prey.size()) return;
    for (size_t i = 0; i < a.prey.size(); ++i) {
        const PreyEntry& p = a.prey[i];
        const PreyEntry& q = b.prey[i];
        if (ground(p.x, p.y, q.x, q.y) > jumpLimit()) continue;
        PreyEntry& d = out.prey[i];
        d.x = lerp(p.x, q.x, t);
        d.y = lerp(p.y, q.y, t);
        d.heading = p.heading + arcDegrees(p.heading, q.heading) * t;
        d.bodyTurn = lerp(p.bodyTurn, q.bodyTurn, t);
        d.pose = t < 0.5f ? p.pose : q.pose;
    }
}

void interpolateBullets(const TimedBody& a, const TimedBody& b, float t, DrawnWorld& out) {
    out.bullets = a.bullets;
    if (a.bullets.size() != b.bullets.size()) return;
    const float limit = bulletLimit(b.serverMs - a.serverMs);
    for (size_t i = 0; i < a.bullets.size(); ++i) {
        const BulletEntry& p = a.bullets[i];
        const BulletEntry& q = b.bullets[i];
        if (ground(p.x, p.y, q.x, q.y) > limit) continue;
        BulletEntry& d = out.bullets[i];
        d.x = lerp(p.x, q.x, t);
        d.y = lerp(p.y, q.y, t);
        d.z = lerp(p.z, q.z, t);
    }
}

// Interpolation starts again from the next body; the prediction stays.
void forgetTimeline() {
    smoothing.bodies.clear();
    // Explosions waiting on the old timeline would never come due.
    for (const DeferredEffect& e : smoothing.effects) {
        if (e.kind == static_cast<uint8_t>(EffectKind::Large)) startLargeExplosion(e.x, e.y, e.z);
        else startSmallExplosion(e.x, e.y, e.z);
    }
    smoothing.effects.clear();
    smoothing.haveClock = smoothing.haveOffset = smoothing.haveRender = false;
    smoothing.jitterMs = 0.0;
    smoothing.intervalMs = smoothing.delayMs = kPassPeriodMs;
}

// Body clock `clockMs` on the unwrapped timeline, near the newest body.
double timelineMs(int32_t clockMs) {
    int64_t d = (static_cast<int64_t>(clockMs) - smoothing.newestClockMs) % 60000;
    if (d > 30000) d -= 60000;
    if (d < -30000) d += 60000;
    return smoothing.newestServerMs + static_cast<double>(d);
}

// The server moment the drawing shows at steady nowMs, before the bounds.
double renderMoment(double nowMs) { return nowMs - smoothing.offsetMs - smoothing.delayMs; }

}  // namespace

void resetSmoothing() {
    const bool enabled = smoothing.enabled;
    smoothing = SmoothingState{};
    smoothing.enabled = enabled;
}

void smoothingNoteBody(const StateSnapshot& s, int64_t arrivalMs) {
    if (!smoothing.enabled) return;
    double serverMs = s.serverClockMs;
    if (smoothing.haveClock) {
        // The clock counts ms within the server's minute: the difference is
        // taken across the turn of the minute.
        serverMs = timelineMs(s.serverClockMs);
        if (std::fabs(serverMs - smoothing.newestServerMs) > kTimelineJumpMs) {
            forgetTimeline();
            serverMs = s.serverClockMs;
        }
    }
    const bool farAhead = smoothing.haveClock && serverMs > smoothing.newestServerMs + kAheadOfRouteMs;
    if (!smoothing.haveClock || serverMs > smoothing.newestServerMs) {
        if (smoothing.haveClock && !smoothing.bodies.empty() && !farAhead) {
            const double gap = std::min(serverMs - smoothing.newestServerMs, 1000.0);
            smoothing.intervalMs += (gap - smoothing.intervalMs) * kMeanWeight;
        }
        smoothing.haveClock = true;
        smoothing.newestClockMs = s.serverClockMs;
        smoothing.newestServerMs = serverMs;
    }
    if (farAhead) {
        insertBody(s, serverMs);
        return;
    }
    // The quickest arrival sets the timeline's offset; how much later the
    // others come is the jitter the delay must cover.
    const double offset = static_cast<double>(arrivalMs) - serverMs;
    if (!smoothing.haveOffset) {
        smoothing.haveOffset = true;
        smoothing.offsetMs = offset;
    } else {
        smoothing.offsetMs = std::min(smoothing.offsetMs + kOffsetCreepMs, offset);
    }
    const double lateness = std::clamp(offset - smoothing.offsetMs, 0.0, kMaxSmoothDelayMs);
    smoothing.jitterMs += (lateness - smoothing.jitterMs) * kMeanWeight;
    // The delay follows its aim slowly, so the drawn clock keeps an even
    // pace; only an aim well above it (the route got worse) is taken at
    // once: the picture then stands still a moment rather than run dry.
    const double aim = std::clamp(smoothing.intervalMs + 2.0 * smoothing.jitterMs, kMinSmoothDelayMs,
                                  kMaxSmoothDelayMs);
    if (aim > smoothing.delayMs + kDelayJumpMs) smoothing.delayMs = aim;
    else smoothing.delayMs += std::clamp(aim - smoothing.delayMs, -kDelaySlewMs, kDelaySlewMs);
    insertBody(s, serverMs);
}

void smoothingNoteKeySent(uint32_t seq, int64_t nowMs) { smoothing.keySentMs[seq % kKeyHistory] = nowMs; }

void smoothingNoteArrow(int specialKey) {
    if (specialKey >= kKeyLeftArrow && specialKey <= kKeyDownArrow) smoothing.pendingArrow = specialKey;
}

void smoothingNoteMouse(int32_t hundredths) {
    smoothing.mouseUnsent = std::clamp(smoothing.mouseUnsent + hundredths, -kMouseTurnMaxPending, kMouseTurnMaxPending);
    smoothing.pendingMouse = std::clamp(smoothing.pendingMouse + hundredths, -kMouseTurnMaxPending, kMouseTurnMaxPending);
}

void smoothingPredictPass(int64_t nowMs, float dt) {
    OwnStep step;
    step.atMs = nowMs;
    step.keySeq = net.keySeq;
    step.dt = dt;
    step.moveKeys = heldMoveKeys();
    step.arrow = smoothing.pendingArrow;
    step.mouse = smoothing.pendingMouse;
    smoothing.pendingArrow = 0;
    smoothing.pendingMouse = 0;
    smoothing.correction.x *= kCorrectionKeep;
    smoothing.correction.y *= kCorrectionKeep;
    smoothing.correctionDeg *= kCorrectionKeep;
    if (!smoothing.enabled || !smoothing.predicting || gs.gamePaused) return;
    stepOwn(smoothing.own, step);
    smoothing.steps.push_back(step);
    if (smoothing.steps.size() > static_cast<size_t>(kOwnSteps)) smoothing.steps.erase(smoothing.steps.begin());
}

void smoothingReconcile(const StateSnapshot& s, int64_t nowMs) {
    if (!smoothing.enabled) return;
    const int local = process.localFighterIndex;
    if (!s.extras.present) {
        // A plain server acknowledges no keys: what the server has not
        // seen cannot be told from what it has, so nothing is predicted.
        if (!smoothing.plainNoted) {
            smoothing.plainNoted = true;
            logLine(LogLevel::Info, "maze: this server sends no key acknowledgements: your own moves "
                                    "show as it confirms them, and mouse turning needs our server");
        }
        smoothing.predicting = false;
        return;
    }
    smoothing.acked = true;
    if (local < 0 || local >= fighterCount()) return;
    const uint32_t acked = s.extras.ackedKeySeq;
    if (acked != 0 && seqAfter(acked, smoothing.lastAckedKeySeq)) {
        const int64_t sent = smoothing.keySentMs[acked % kKeyHistory];
        if (sent != 0 && nowMs >= sent) {
            const double sample = static_cast<double>(nowMs - sent);
            smoothing.roundTripMs = smoothing.roundTripMs == 0.0
                                        ? sample
                                        : smoothing.roundTripMs + (sample - smoothing.roundTripMs) * kMeanWeight;
        }
        smoothing.lastAckedKeySeq = acked;
    }
    const Fighter& server = gs.fighterList[local];
    if (server.state != FighterState::InPlay) {
        // Dead or absent: nothing to predict; the next life starts where
        // the server puts it, at once.
        smoothing.predicting = false;
        smoothing.correction = Vec3{};
        smoothing.correctionDeg = 0.0f;
        return;
    }
    Fighter replayed = server;
    replayed.movePending = replayed.turnPending = 0;
    replayed.mouseTurnPending = 0;
    // The server has certainly not seen a step taken after a key it has
    // not acknowledged, nor one taken within the last half round trip.
    const double recent = static_cast<double>(nowMs) - smoothing.roundTripMs * 0.5;
    auto from = std::find_if(smoothing.steps.begin(), smoothing.steps.end(), [&](const OwnStep& st) {
        return seqAfter(st.keySeq, acked) || static_cast<double>(st.atMs) > recent;
    });
    for (auto it = from; it != smoothing.steps.end(); ++it) stepOwn(replayed, *it);
    smoothing.steps.erase(smoothing.steps.begin(), from);

    if (!smoothing.predicting) {
        smoothing.predicting = true;
        smoothing.own = replayed;
        smoothing.correction = Vec3{};
        smoothing.correctionDeg = 0.0f;
        return;
    }
    const Fighter& was = smoothing.own;
    const Vec3 drawnWas{was.pos.x + smoothing.correction.x, was.pos.y + smoothing.correction.y, 0.0f};
    const float headingWas = headingDegrees(was.dir) + smoothing.correctionDeg;
    const float moved = ground(drawnWas.x, drawnWas.y, replayed.pos.x, replayed.pos.y);
    const float turned = arcDegrees(headingDegrees(replayed.dir), headingWas);
    const float error = ground(was.pos.x, was.pos.y, replayed.pos.x, replayed.pos.y);
    if (moved > kLargeCorrectionUnits || std::fabs(turned) > kLargeCorrectionDegrees) {
        ++smoothing.largeCorrections;
        smoothing.correction = Vec3{};
        smoothing.correctionDeg = 0.0f;
    } else {
        if (error > 0.01f) ++smoothing.smallCorrections;
        // The drawn fighter stays where it was drawn; the gap fades.
        smoothing.correction = Vec3{drawnWas.x - replayed.pos.x, drawnWas.y - replayed.pos.y, 0.0f};
        smoothing.correctionDeg = turned;
    }
    smoothing.own = replayed;
}

bool smoothingDeferEffect(const StateSnapshot& s, uint8_t kind, float x, float y, float z) {
    if (!smoothing.enabled || !smoothing.haveClock || !smoothing.haveRender ||
        smoothing.effects.size() >= static_cast<size_t>(kMaxDeferredEffects))
        return false;
    const double serverMs = timelineMs(s.serverClockMs);
    if (serverMs <= smoothing.renderServerMs) return false;
    smoothing.effects.push_back(DeferredEffect{serverMs, kind, x, y, z});
    return true;
}

void smoothingStartDueEffects(int64_t nowMs) {
    if (smoothing.effects.empty()) return;
    const double moment = std::max(renderMoment(nowMs), smoothing.renderServerMs);
    auto& list = smoothing.effects;
    for (size_t i = 0; i < list.size();) {
        if (list[i].serverMs > moment) {
            ++i;
            continue;
        }
        const DeferredEffect e = list[i];
        list.erase(list.begin() + static_cast<std::ptrdiff_t>(i));
        if (e.kind == static_cast<uint8_t>(EffectKind::Large)) startLargeExplosion(e.x, e.y, e.z);
        else startSmallExplosion(e.x, e.y, e.z);
    }
}

void smoothingDrawn(double nowMs, DrawnWorld& out) {
    out.fromBodies = false;
    const int local = process.localFighterIndex;
    if (local >= 0 && local < fighterCount()) {
        out.eye = gs.fighterList[local].pos;
        out.eyeDir = gs.fighterList[local].dir;
    }
    if (!smoothing.enabled || smoothing.bodies.empty()) return;
    if (smoothing.predicting) {
        const Fighter& f = smoothing.own;
        out.eye = Vec3{f.pos.x + smoothing.correction.x, f.pos.y + smoothing.correction.y, f.pos.z};
        out.eyeDir = groundDir(headingDegrees(f.dir) + smoothing.correctionDeg);
    }
    const auto& list = smoothing.bodies;
    double t = renderMoment(nowMs);
    if (smoothing.haveRender) t = std::max(t, smoothing.renderServerMs);
    t = std::clamp(t, list.front().serverMs, list.back().serverMs);
    smoothing.haveRender = true;
    smoothing.renderServerMs = t;
    // a: the last body at or before t; b: the one after it (a itself at the end).
    size_t ia = 0;
    while (ia + 1 < list.size() && list[ia + 1].serverMs <= t) ++ia;
    const size_t ib = std::min(ia + 1, list.size() - 1);
    const TimedBody& a = list[ia];
    const TimedBody& b = list[ib];
    const double span = b.serverMs - a.serverMs;
    const float f = span > 0.0 ? static_cast<float>(std::clamp((t - a.serverMs) / span, 0.0, 1.0)) : 0.0f;
    interpolateFighters(a, b, f, out);
    interpolatePrey(a, b, f, out);
    interpolateBullets(a, b, f, out);
    out.fromBodies = true;
}

void pictureOf(const DrawnWorld& d, const GameState& world, GameState& out) {
    out.fighterList = world.fighterList;
    out.preyList = world.preyList;
    out.bulletList = world.bulletList;
    out.explosionList = world.explosionList;
    out.gamePaused = world.gamePaused;
    out.gameStarted = world.gameStarted;
    out.round = world.round;
    const int local = process.localFighterIndex;
    if (local >= 0 && local < static_cast<int>(out.fighterList.size())) {
        out.fighterList[static_cast<size_t>(local)].pos = d.eye;
        out.fighterList[static_cast<size_t>(local)].dir = d.eyeDir;
    }
    if (!d.fromBodies) return;
    // A body of another fighter count was never applied: gs stands.
    if (d.fighters.size() == out.fighterList.size()) {
        for (size_t i = 0; i < d.fighters.size(); ++i) {
            if (static_cast<int>(i) == local) continue;
            Fighter& f = out.fighterList[i];
            f.pos = d.fighters[i].pos;
            f.dir = d.fighters[i].dir;
            f.state = d.fighters[i].shown ? FighterState::InPlay : FighterState::Absent;
        }
    }
    out.preyList.clear();
    for (const PreyEntry& e : d.prey) out.preyList.push_back(preyOfEntry(e));
    out.bulletList.clear();
    for (const BulletEntry& e : d.bullets) out.bulletList.push_back(bulletOfEntry(e));
}
