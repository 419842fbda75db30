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
#include <iterator>

#include "base/log.h"
#include "prey/prey.h"

namespace {

// The dodging range: 15 + (50 - 15) * 0.6666667.
constexpr float kManeuverRange = kPreyMinRange + (kPreyFireRange - kPreyMinRange) * kManeuverFactor;

float heading(const Prey& p) { return headingDegrees(p.dir); }

// Poses of the two stances the actions start from and end in.
constexpr int kStanceAPose = 0;
constexpr int kStanceBPose = 4;
// A walk may end halfway, after this step, standing in stance B.
constexpr int kWalkHalfway = 4;
// Steps of a Shoot action: the shot leaves at the third update after the
// decision to shoot (as its step 3 is done), the next decision comes at the
// fifth.
constexpr int kShootSteps = 5;
constexpr int kShotStep = 3;
// The upper body's turn at each step of a look, degrees: out to 90 and back.
constexpr int kLookSteps = 6;
constexpr float kLookSweep[kLookSteps] = {30.0f, 60.0f, 90.0f, 60.0f, 30.0f, 0.0f};

// What the steps of an action do.
enum class StepKind { Stand, Walk, Turn, Shoot, Look };

// Everything the steps of one PreyAction need. Walks and turns play a pose
// sequence and the motion table derived from it, forwards (poses count up,
// step k makes table entry k - 1's move and heading change) or backwards
// (poses count down, step k undoes entry steps - k: the move and heading
// change negated, the bearing of the move kept).
struct ActionRow {
    StepKind kind;
    int steps;           // the step counter runs 1..steps
    int firstPose;       // walks and turns: pose shown at step 1 (-1: none)
    int poseStep;        // walks and turns: +1 forwards, -1 backwards
    int turnTable;       // turns: 0 the right turn (poses 8..12), 1 the left turn (13..17)
    PreyAction reverse;  // walks and turns: the action that retraces this one
    int endPose;         // pose taken when the action ends (-1: the last one shown stays)
    float lookSign;      // looks: +1 the upper body turns left (counter-clockwise), -1 right
};

// Indexed by PreyAction.
constexpr ActionRow kActions[] = {
    // kind, steps, first pose, pose step, turn table, reverse, end pose, look sign
    {StepKind::Stand, 0, -1, 0, 0, PreyAction::StandA, kStanceAPose, 0.0f},                            // StandA
    {StepKind::Stand, 0, -1, 0, 0, PreyAction::StandB, kStanceBPose, 0.0f},                            // StandB
    {StepKind::Walk, kPreyWalkSteps, 1, +1, 0, PreyAction::WalkBackward, kStanceAPose, 0.0f},          // WalkForward
    {StepKind::Walk, kPreyWalkSteps, 7, -1, 0, PreyAction::WalkForward, kStanceAPose, 0.0f},           // WalkBackward
    {StepKind::Turn, kPreyTurnSteps, 14, +1, 1, PreyAction::TurnRightFromB, kStanceBPose, 0.0f},       // TurnLeftFromA
    {StepKind::Turn, kPreyTurnSteps, 11, -1, 0, PreyAction::TurnRightFromA, kStanceAPose, 0.0f},       // TurnLeftFromB
    {StepKind::Turn, kPreyTurnSteps, 9, +1, 0, PreyAction::TurnLeftFromB, kStanceBPose, 0.0f},         // TurnRightFromA
    {StepKind::Turn, kPreyTurnSteps, 16, -1, 1, PreyAction::TurnLeftFromA, kStanceAPose, 0.0f},        // TurnRightFromB
    {StepKind::Shoot, kShootSteps, -1, 0, 0, PreyAction::Shoot, -1, 0.0f},                             // Shoot
    {StepKind::Look, kLookSteps, -1, 0, 0, PreyAction::LookRight, -1, -1.0f},                          // LookRight
    {StepKind::Look, kLookSteps, -1, 0, 0, PreyAction::LookLeft, -1, 1.0f},                            // LookLeft
};
static_assert(std::size(kActions) == static_cast<size_t>(PreyAction::LookLeft) + 1, "one row per action");

// Every pose a walk or turn shows exists, and the retrace of a retrace is
// the action itself.
constexpr bool walksAndTurnsConsistent() {
    for (size_t a = 0; a < std::size(kActions); ++a) {
        const ActionRow& r = kActions[a];
        if (r.kind != StepKind::Walk && r.kind != StepKind::Turn) continue;
        const int last = r.firstPose + r.poseStep * (r.steps - 1);
        if (r.firstPose < 0 || r.firstPose >= kPreyPoseCount || last < 0 || last >= kPreyPoseCount) return false;
        const ActionRow& back = kActions[static_cast<size_t>(r.reverse)];
        if (back.kind != r.kind || static_cast<size_t>(back.reverse) != a) return false;
    }
    return true;
}
static_assert(walksAndTurnsConsistent(), "walks and turns show existing poses and retrace each other");

// The row of an action; null for a value that is no action.
const ActionRow* actionRow(PreyAction action) {
    const int a = static_cast<int>(action);
    if (a < 0 || a >= static_cast<int>(std::size(kActions))) return nullptr;
    return &kActions[a];
}

void setAction(Prey& p, PreyAction action, int step) {
    p.action = action;
    p.actionStep = step;
}

// The stance-dependent moves: from stance A the A variants and the start of
// the walk cycle, from anywhere else the B variants and its second half.
void startLeftTurn(Prey& p) { setAction(p, p.pose == kStanceAPose ? PreyAction::TurnLeftFromA : PreyAction::TurnLeftFromB, 1); }
void startRightTurn(Prey& p) { setAction(p, p.pose == kStanceAPose ? PreyAction::TurnRightFromA : PreyAction::TurnRightFromB, 1); }
void startWalkForward(Prey& p) { setAction(p, PreyAction::WalkForward, p.pose == kStanceAPose ? 1 : kWalkHalfway + 1); }
void startWalkBackward(Prey& p) { setAction(p, PreyAction::WalkBackward, p.pose == kStanceAPose ? 1 : kWalkHalfway + 1); }

void reportInvalidStep(Prey& p) {
    logLine(LogLevel::Debug, "invalid action count ");
    // Nothing to show or move for a step outside the tables: stand this one out.
    p.nextPos.x = p.pos.x;
    p.nextPos.y = p.pos.y;
}

// Proposes the pose, move and heading of the current step of the action.
void applyStep(Prey& p) {
    p.movePending = p.turnPending = p.moveAllowed = 1;
    const ActionRow* row = actionRow(p.action);
    if (row == nullptr || row->kind == StepKind::Stand) {
        // Standing, or a value that is no action: stay put.
        p.nextPos.x = p.pos.x;
        p.nextPos.y = p.pos.y;
        return;
    }
    // Shooting keeps pose, proposal and heading; the shot leaves in advance().
    if (row->kind == StepKind::Shoot) return;
    const int k = p.actionStep;
    if (k < 1 || k > row->steps) return reportInvalidStep(p);
    if (row->kind == StepKind::Look) {
        p.bodyTurn = row->lookSign * kLookSweep[k - 1];
        return;
    }

    const bool forwards = row->poseStep > 0;
    const int entry = forwards ? k - 1 : row->steps - k;
    p.pose = row->firstPose + row->poseStep * (k - 1);
    const PreyPoseSet& ps = preyPoses;
    if (row->kind == StepKind::Walk) {
        const float step = forwards ? ps.walkStep[entry] : -ps.walkStep[entry];
        p.nextPos.x = p.pos.x + step * p.dir.x;
        p.nextPos.y = p.pos.y + step * p.dir.y;
        return;
    }
    const int t = row->turnTable;
    const float delta = forwards ? ps.turnDelta[t][entry] : -ps.turnDelta[t][entry];
    const float distance = forwards ? ps.turnDistance[t][entry] : -ps.turnDistance[t][entry];
    const float bearing = ps.turnBearing[t][entry];
    const double h = heading(p);
    const double turned = radiansFromDegrees(h + delta);
    const double moved = radiansFromDegrees(h + bearing);
    p.nextDir.x = static_cast<float>(std::cos(turned));
    p.nextDir.y = static_cast<float>(std::sin(turned));
    p.nextPos.x = p.pos.x + static_cast<float>(distance * std::cos(moved));
    p.nextPos.y = p.pos.y + static_cast<float>(distance * std::sin(moved));
}

// The roaming decision: take the first fighter in play within sight range
// as the target, otherwise look around now and then, otherwise carry on.
void roamDecision(Prey& p) {
    for (int i = 0; i < fighterCount(); ++i) {
        const Fighter& f = gs.fighterList[i];
        if (f.state != FighterState::InPlay) continue;
        if (groundDistance(f.pos, p.pos) < kPreySightRange) {
            p.mode = PreyMode::Hunt;
            p.target = i;
            p.maneuvering = 0;
            return;
        }
    }
    if (randomFraction() < kLookAroundChance) {
        setAction(p, randomFraction() > 0.5f ? PreyAction::LookRight : PreyAction::LookLeft, 1);
        return;
    }
    const int k = p.actionStep;
    switch (p.action) {
    case PreyAction::WalkForward:
        p.actionStep = k == kWalkHalfway ? kWalkHalfway + 1 : 1;
        break;
    case PreyAction::WalkBackward: {
        const bool left = randomFraction() > 0.5f;
        if (left) setAction(p, k == kWalkHalfway ? PreyAction::TurnLeftFromB : PreyAction::TurnLeftFromA, 1);
        else setAction(p, k == kWalkHalfway ? PreyAction::TurnRightFromB : PreyAction::TurnRightFromA, 1);
        break;
    }
    case PreyAction::TurnLeftFromA:
    case PreyAction::TurnRightFromA:
    case PreyAction::TurnLeftFromB:
    case PreyAction::TurnRightFromB:
    case PreyAction::LookRight:
    case PreyAction::LookLeft:
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
            if (p.pose == kStanceAPose) setAction(p, PreyAction::TurnLeftFromA, 1);
            else if (p.pose == kStanceBPose) setAction(p, PreyAction::TurnLeftFromB, 1);
        } else {
            if (p.pose == kStanceAPose) setAction(p, PreyAction::TurnRightFromA, 1);
            else if (p.pose == kStanceBPose) setAction(p, PreyAction::TurnRightFromB, 1);
        }
        if (p.turning != 0) return applyStep(p);
    }
    switch (p.mode) {
    case PreyMode::Start:
        p.mode = PreyMode::Roam;
        setAction(p, PreyAction::StandA, 0);
        break;
    case PreyMode::Hunt:
        huntDecision(p);
        break;
    default:
        p.mode = PreyMode::Roam;  // Roam, or a value that is no mode
        roamDecision(p);
        break;
    }
    applyStep(p);
}

// The last move was taken: go on with the action, or decide at its end.
void advance(Prey& p) {
    const ActionRow* row = actionRow(p.action);
    if (row == nullptr) return decide(p);
    int& k = p.actionStep;
    if (row->kind == StepKind::Shoot && k == kShotStep) fireShot(p);
    const bool halfway = row->kind == StepKind::Walk && k == kWalkHalfway;
    if (k < row->steps && !halfway) {
        ++k;
        return applyStep(p);
    }
    if (!halfway && row->endPose >= 0) p.pose = row->endPose;
    decide(p);
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
            p.nextPos.x = (static_cast<float>(col) + 0.5f) * maze.cellSize;
            p.nextPos.y = (static_cast<float>(row) + 0.5f) * maze.cellSize;
        }
        p.pose = kStanceAPose;
        return;
    }
    if (p.stuckCount > kStuckRetreat) {
        const float r = randomFraction();
        setAction(p, r > 0.5f ? PreyAction::WalkBackward : r > 0.25f ? PreyAction::TurnLeftFromA : PreyAction::TurnRightFromA, 1);
        return applyStep(p);
    }
    if (randomFraction() > 0.5f) {
        setAction(p, randomFraction() > 0.5f ? PreyAction::TurnLeftFromA : PreyAction::TurnRightFromA, 1);
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
    const ActionRow* row = actionRow(p.action);
    if (row != nullptr && (row->kind == StepKind::Walk || row->kind == StepKind::Turn)) {
        // Retrace: the prey still stands where step k - 1 left it, so the
        // reverse action's step that undoes step k - 1 comes next.
        const int k = p.actionStep;
        if (k == 1) return decide(p);
        setAction(p, row->reverse, row->steps + 2 - k);
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
    // Cadence: tick counts the calls since the behaviour last ran.
    if (++p.tick < kPreyUpdateDivider) return;
    p.tick = 0;
    ++p.sinceShot;
    if (p.moveAllowed == 0) return refused(p);
    p.stuckCount = 0;
    advance(p);
}

void huntDecision(Prey& p) {
    if (p.target < 0 || p.target >= fighterCount()) {
        p.mode = PreyMode::Roam;  // no such fighter: the target is lost
        return;
    }
    const Fighter& t = gs.fighterList[p.target];
    const float d = groundDistance(t.pos, p.pos);
    if (t.state == FighterState::Dead || t.state == FighterState::Absent || d > kPreySightRange) {
        p.mode = PreyMode::Roam;
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
        logLine(LogLevel::Debug, "Maneuver mode");
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
    const auto open = [](int row, int col) { return cellInMaze(row, col) && maze.cells[row][col] == 0; };
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
        setAction(p, PreyAction::Shoot, 1);
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
    spawnUnownedBullet(from, direction, ShooterKind::PreyCannon);
}
