// behaviour.cpp -- the prey's state machine: the update cadence, the actions
// and their ground motion, refused moves, turning to a wanted heading,
// roaming, and the hunting decision with its shot.
//
// Everything is counted in behaviour updates (one every third world step).
// Random numbers come from the shared generator, drawn exactly where a
// decision needs them and in this order, so a game replays identically.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "prey/prey.h"

namespace {

// The dodging range: 15 + (50 - 15) * 0.6666667.
constexpr float kManeuverRange = kPreyMinRange + (kPreyFireRange - kPreyMinRange) * kManeuverFactor;

float heading(const Prey& p) { return headingDegrees(p.dir); }

void setAction(Prey& p, PreyAction action, int step) {
    p.action = action;
    p.actionStep = step;
}

// The stance-dependent moves: from stance A (pose 0) the A variants and the
// start of the walk cycle, from anywhere else the B variants and its middle.
void startLeftTurn(Prey& p) { setAction(p, p.pose == 0 ? TurnLeftFromA : TurnLeftFromB, 1); }
void startRightTurn(Prey& p) { setAction(p, p.pose == 0 ? TurnRightFromA : TurnRightFromB, 1); }
void startWalkForward(Prey& p) { setAction(p, WalkForward, p.pose == 0 ? 1 : 5); }
void startWalkBackward(Prey& p) { setAction(p, WalkBackward, p.pose == 0 ? 1 : 5); }

bool isWalk(int action) { return action == WalkForward || action == WalkBackward; }
bool isTurn(int action) { return action >= TurnLeftFromA && action <= TurnRightFromB; }

void reportInvalidStep(Prey& p) {
    std::printf("invalid action count \n");
    // Nothing to show or move for a step outside the tables: stand this one out.
    p.nextPos.x = p.pos.x;
    p.nextPos.y = p.pos.y;
}

// Proposes the pose, move and heading of the current step of the action.
void applyStep(Prey& p) {
    p.movePending = p.turnPending = p.moveAllowed = 1;
    const int k = p.actionStep;
    const PreyPoseSet& ps = preyPoses;

    switch (p.action) {
    case Shoot:
        return;
    case WalkForward:
    case WalkBackward: {
        if (k < 1 || k > kPreyWalkSteps) return reportInvalidStep(p);
        const bool forward = p.action == WalkForward;
        p.pose = forward ? k : kPreyWalkSteps - k;
        const float step = forward ? ps.walkStep[k - 1] : -ps.walkStep[kPreyWalkSteps - k];
        p.nextPos.x = p.pos.x + step * p.dir.x;
        p.nextPos.y = p.pos.y + step * p.dir.y;
        return;
    }
    case TurnLeftFromA:
    case TurnLeftFromB:
    case TurnRightFromA:
    case TurnRightFromB: {
        if (k < 1 || k > kPreyTurnSteps) return reportInvalidStep(p);
        // The A turns play their sequence forwards from stance A; the B turns
        // play the other sequence backwards from stance B, undoing its steps.
        const int fwd = k - 1;
        const int back = kPreyTurnSteps - k;
        float delta = 0.0f, distance = 0.0f, bearing = 0.0f;
        switch (p.action) {
        case TurnLeftFromA:
            p.pose = k + 13;
            delta = ps.turnDelta[1][fwd];
            distance = ps.turnDistance[1][fwd];
            bearing = ps.turnBearing[1][fwd];
            break;
        case TurnLeftFromB:
            p.pose = 12 - k;
            delta = -ps.turnDelta[0][back];
            distance = -ps.turnDistance[0][back];
            bearing = ps.turnBearing[0][back];
            break;
        case TurnRightFromA:
            p.pose = k + 8;
            delta = ps.turnDelta[0][fwd];
            distance = ps.turnDistance[0][fwd];
            bearing = ps.turnBearing[0][fwd];
            break;
        default:  // TurnRightFromB
            p.pose = 17 - k;
            delta = -ps.turnDelta[1][back];
            distance = -ps.turnDistance[1][back];
            bearing = ps.turnBearing[1][back];
            break;
        }
        const double h = heading(p);
        const double turned = radiansFromDegrees(h + delta);
        const double moved = radiansFromDegrees(h + bearing);
        p.nextDir.x = static_cast<float>(std::cos(turned));
        p.nextDir.y = static_cast<float>(std::sin(turned));
        p.nextPos.x = p.pos.x + static_cast<float>(distance * std::cos(moved));
        p.nextPos.y = p.pos.y + static_cast<float>(distance * std::sin(moved));
        return;
    }
    case LookRight:
    case LookLeft: {
        if (k < 1 || k > 6) return reportInvalidStep(p);
        const float sweep = 30.0f * static_cast<float>(3 - std::abs(k - 3));
        p.bodyTurn = p.action == LookRight ? -sweep : sweep;
        return;
    }
    default:
        // StandA, StandB, and any value that is no action: stay put.
        p.nextPos.x = p.pos.x;
        p.nextPos.y = p.pos.y;
        return;
    }
}

// The roaming decision: take the first fighter in play within sight range
// as the target, otherwise look around now and then, otherwise carry on.
void roamDecision(Prey& p) {
    for (int i = 0; i < fighterCount(); ++i) {
        const Fighter& f = gs.fighterList[i];
        if (f.state != InPlay) continue;
        if (groundDistance(f.pos, p.pos) < kPreySightRange) {
            p.mode = Hunt;
            p.target = i;
            p.maneuvering = 0;
            return;
        }
    }
    if (randomFraction() < kLookAroundChance) {
        setAction(p, randomFraction() > 0.5f ? LookRight : LookLeft, 1);
        return;
    }
    const int k = p.actionStep;
    switch (p.action) {
    case WalkForward:
        p.actionStep = k == 4 ? 5 : 1;
        break;
    case WalkBackward: {
        const bool left = randomFraction() > 0.5f;
        if (left) setAction(p, k == 4 ? TurnLeftFromB : TurnLeftFromA, 1);
        else setAction(p, k == 4 ? TurnRightFromB : TurnRightFromA, 1);
        break;
    }
    case TurnLeftFromA:
    case TurnRightFromA:
    case TurnLeftFromB:
    case TurnRightFromB:
    case LookRight:
    case LookLeft:
        // Walk on from the stance the prey stands in: an A turn ends in
        // stance B (step 5 follows it), a B turn in stance A (step 1).
        startWalkForward(p);
        break;
    default:  // standing or shooting: unchanged
        break;
    }
}

// Decides what to do next, then applies the (possibly unchanged) step.
void decide(Prey& p) {
    if (p.turning != 0) {
        const float diff = normaliseHeadingDifference(p.wantedHeading - heading(p));
        if (std::fabs(diff) < kHeadingTolerance) {
            p.turning = 0;
        } else if (diff > 0.0f) {
            if (p.pose == 0) setAction(p, TurnLeftFromA, 1);
            else if (p.pose == 4) setAction(p, TurnLeftFromB, 1);
        } else {
            if (p.pose == 0) setAction(p, TurnRightFromA, 1);
            else if (p.pose == 4) setAction(p, TurnRightFromB, 1);
        }
        if (p.turning != 0) return applyStep(p);
    }
    switch (p.mode) {
    case Start:
        p.mode = Roam;
        setAction(p, StandA, 0);
        break;
    case Hunt:
        huntDecision(p);
        break;
    default:
        p.mode = Roam;  // Roam, or a value that is no mode
        roamDecision(p);
        break;
    }
    applyStep(p);
}

// The last move was taken: go on with the action, or decide at its end.
void advance(Prey& p) {
    int& k = p.actionStep;
    switch (p.action) {
    case StandA:
        p.pose = 0;
        return decide(p);
    case StandB:
        p.pose = 4;
        return decide(p);
    case WalkForward:
    case WalkBackward:
        if (k < kPreyWalkSteps && k != 4) {
            ++k;
            return applyStep(p);
        }
        if (k != 4) p.pose = 0;
        return decide(p);
    case TurnLeftFromA:
    case TurnRightFromA:
    case TurnLeftFromB:
    case TurnRightFromB:
        if (k < kPreyTurnSteps) {
            ++k;
            return applyStep(p);
        }
        p.pose = (p.action == TurnLeftFromA || p.action == TurnRightFromA) ? 4 : 0;
        return decide(p);
    case Shoot: {
        // The shot leaves at the third update after the decision to shoot;
        // the next decision comes at the fifth.
        if (k == 3) fireShot(p);
        const int old = k++;
        if (old >= 5) return decide(p);
        return applyStep(p);
    }
    case LookRight:
    case LookLeft:
        if (k < 6) {
            ++k;
            return applyStep(p);
        }
        return decide(p);
    default:
        return decide(p);
    }
}

// The last proposed move was refused by a wall or a body.
void refused(Prey& p) {
    ++p.stuckCount;
    if (p.stuckCount > kStuckSnap) {
        // Pull the proposal to the centre of the prey's own cell, which the
        // world step accepts once the cell is free of other bodies.
        const int col = cellOfCoordinate(p.pos.x);
        const int row = cellOfCoordinate(p.pos.y);
        if (col >= 0 && row >= 0) {
            p.nextPos.x = (static_cast<float>(col) + 0.5f) * gs.cellSize;
            p.nextPos.y = (static_cast<float>(row) + 0.5f) * gs.cellSize;
        }
        p.pose = 0;
        return;
    }
    if (p.stuckCount > kStuckRetreat) {
        const float r = randomFraction();
        setAction(p, r > 0.5f ? WalkBackward : r > 0.25f ? TurnLeftFromA : TurnRightFromA, 1);
        return applyStep(p);
    }
    if (randomFraction() > 0.5f) {
        setAction(p, randomFraction() > 0.5f ? TurnLeftFromA : TurnRightFromA, 1);
        return applyStep(p);
    }
    if (p.blocked == 1) {
        // A wall: aim somewhere else once the action allows a turn.
        const float r = randomFraction();
        float wanted = heading(p) + (r > 0.5f ? 180.0f : r > 0.25f ? 90.0f : 270.0f);
        if (wanted > 360.0f) wanted -= 360.0f;
        p.turning = 1;
        p.wantedHeading = wanted;
    }
    if (isWalk(p.action) || isTurn(p.action)) {
        const int k = p.actionStep;
        if (k == 1) return decide(p);
        switch (p.action) {
        case WalkForward: setAction(p, WalkBackward, 10 - k); break;
        case WalkBackward: setAction(p, WalkForward, 10 - k); break;
        case TurnLeftFromA: setAction(p, TurnRightFromB, 6 - k); break;
        case TurnRightFromB: setAction(p, TurnLeftFromA, 6 - k); break;
        case TurnLeftFromB: setAction(p, TurnRightFromA, 6 - k); break;
        default: setAction(p, TurnLeftFromB, 6 - k); break;  // TurnRightFromA
        }
    }
    applyStep(p);
}

}  // namespace

float normaliseHeadingDifference(float degrees) {
    // fmod first so that even a corrupted heading lands in range; for
    // differences of two headings in [0, 360] it changes nothing.
    float d = std::fmod(degrees, 360.0f);
    if (d < 0.0f) d += 360.0f;
    if (d > 180.0f) d -= 360.0f;
    return d;
}

void updatePrey(Prey& p) {
    // Cadence: starting from tick 0 the body runs on every third call.
    const int t = p.tick + 1;
    if (t < 5) {
        p.tick = t + 1;
        return;
    }
    p.tick = 0;
    ++p.sinceShot;
    if (p.moveAllowed == 0) return refused(p);
    p.stuckCount = 0;
    advance(p);
}

void huntDecision(Prey& p) {
    if (p.target < 0 || p.target >= fighterCount()) {
        p.mode = Roam;  // no such fighter: the target is lost
        return;
    }
    const Fighter& t = gs.fighterList[p.target];
    const float d = groundDistance(t.pos, p.pos);
    if (t.state == Dead || t.state == Absent || d > kPreySightRange) {
        p.mode = Roam;
        return;
    }
    const float h = heading(p);
    const float off =
        normaliseHeadingDifference(headingDegrees(Vec3{t.pos.x - p.pos.x, t.pos.y - p.pos.y, 0.0f}) - h);
    float walked = 0.0f;
    const bool see = pathClear(p.pos, t.pos, walked, &p, &t);

    // Dodging flag; shows only as the "Maneuver mode" line.
    if (p.maneuvering == 0 && d < kManeuverRange) {
        if (randomFraction() > 0.8f) {
            p.maneuvering = 1;
            p.maneuverSteps = 0;
        }
    } else if (d > kManeuverRange) {
        if (randomFraction() > 0.75f) p.maneuvering = 0;
    }
    if (p.maneuvering == 1 && p.maneuverSteps == 0) {
        std::printf("Maneuver mode\n");
        p.maneuverSteps = 1;
    }

    // Approach phase: well after the last shot, close in.
    if (p.sinceShot > kShotPause) {
        if (see && d > kPreyFireRange * kApproachFactor) return startWalkForward(p);
        if (!see) {
            const float wanted = mazeHeading(p.pos, t.pos);
            p.wantedHeading = wanted;
            p.turning = 1;
            const float o = normaliseHeadingDifference(wanted - h);
            if (std::fabs(o) < kHeadingTolerance || randomFraction() > 0.75f) return startWalkForward(p);
            if (o > 0.0f) return startLeftTurn(p);
            return startRightTurn(p);
        }
    }

    // Engagement: square up along the maze axis with the longer free run
    // towards the target, then shoot, shuffle or back off.
    const int pr = cellOfCoordinate(p.pos.y);
    const int pc = cellOfCoordinate(p.pos.x);
    const int tr = cellOfCoordinate(t.pos.y);
    const int tc = cellOfCoordinate(t.pos.x);
    const int sx = p.pos.x < t.pos.x ? 1 : -1;
    const int sy = p.pos.y < t.pos.y ? 1 : -1;
    const auto open = [](int row, int col) { return cellInMaze(row, col) && gs.mazeCells[row][col] == 0; };
    int r = pr;
    if (pr >= 0)
        while (open(r, pc)) r += sy;
    const int freeR = std::min(std::abs(r - pr), std::abs(pr - tr));
    int c = pc;
    if (pc >= 0)
        while (open(pr, c)) c += sx;
    const int freeC = std::min(std::abs(c - pc), std::abs(pc - tc));
    const float axis = freeR > freeC ? (sy > 0 ? 90.0f : 270.0f) : (sx > 0 ? 0.0f : 180.0f);
    const float a = normaliseHeadingDifference(axis - h);
    if (std::fabs(a) > kHeadingTolerance) {
        if (a > 0.0f) return startLeftTurn(p);
        return startRightTurn(p);
    }
    if (std::fabs(off) < kAimCone && p.sinceShot > kShotMinInterval && d < kPreyFireRange && see &&
        randomFraction() > 0.5f) {
        p.sinceShot = 0;
        setAction(p, Shoot, 1);
        p.bodyTurn = off + (randomFraction() - 0.5f) * kAimJitter * 2.0f;
        return;
    }
    if (randomFraction() > 0.8f) {
        if (randomFraction() > 0.5f) return startLeftTurn(p);
        return startRightTurn(p);
    }
    if (!see) {
        if (randomFraction() > 0.5f) return startLeftTurn(p);
        return startRightTurn(p);
    }
    if (d > kPreyMinRange && randomFraction() > 0.8f) {
        if (d > kPreyMinRange + (kPreyFireRange - kPreyMinRange) * randomFraction() * 0.3f)
            return startWalkForward(p);
        if (randomFraction() > 0.5f) return startLeftTurn(p);
        return startRightTurn(p);
    }
    startWalkBackward(p);
}

void fireShot(Prey& p) {
    const double aim = static_cast<double>(heading(p)) + p.bodyTurn;
    const double elevation = (randomFraction() - 0.5f) * (2.0f * kPreyElevationJitter);
    const double side = randomFraction() > 0.5f ? aim + kPreyMuzzleAngle : aim - kPreyMuzzleAngle;
    const double a = radiansFromDegrees(aim);
    const double e = radiansFromDegrees(elevation);
    const double b = radiansFromDegrees(side);
    const Vec3 from{p.pos.x + kPreyMuzzleOffset * static_cast<float>(std::cos(b)),
                    p.pos.y + kPreyMuzzleOffset * static_cast<float>(std::sin(b)), kPreyMuzzleHeight};
    const Vec3 direction{static_cast<float>(std::cos(a) * std::cos(e)),
                         static_cast<float>(std::sin(a) * std::cos(e)), static_cast<float>(std::sin(e))};
    // The legs keep nextDir; the world step restores dir from it this step.
    p.dir = direction;
    spawnUnownedBullet(from, direction, PreyCannon);
}
