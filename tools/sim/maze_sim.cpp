// maze_sim.cpp -- maze-sim: the server's rules without a window.
//
// Loads "korvath.map" and "PreyPoses.dat" from the working directory, resets
// the game, puts every fighter in play at its start and runs world steps at a
// fixed interval, then prints one line of key=value pairs. For soak tests,
// tuning the prey and benchmarks.
//
//   maze-sim [--verbose] [--steps N] [--interval-ms M] [--script walk|still] [--quiet]
//   (the table in maze_sim_options.h; --help lists it)
//
// --script walk (the default) drives every fighter through the maze by key
// events, from cell centre to cell centre, preferring the cells it has
// visited least, and fires at a prey straight ahead; --script still leaves
// them standing at their starts. The game's own lines follow the log's
// levels: status lines and warnings by default, the rules' chatter too with
// --verbose; --quiet drops every level below Error so only the summary line
// appears on standard output.
//
// Summary keys: steps; prey_hunting_steps (steps in which at least one prey
// hunts); prey_shots; fighter_hits; fighter_deaths; prey_kills;
// prey_left; fighter_shots; prey_in_walls (prey-steps whose position lies in
// a wall cell or off the maze); nan (non-finite positions or directions
// seen); respawns (destroyed fighters back in play after --respawn's
// delay); rounds (rounds started by themselves after the last prey's end).
#include <cmath>
#include <cstdio>
#include <vector>

#include "base/log.h"
#include "cli/cli.h"
#include "prey/prey.h"
#include "tools/sim/maze_sim_options.h"
#include "world/world.h"

namespace {

// The command line, read from the checked table values.
struct Options {
    long steps = 0;
    int intervalMs = 0;
    bool walk = true;
    bool quiet = false;
};

struct Counters {
    long steps = 0;
    long preyHuntingSteps = 0;
    long preyShots = 0;
    long fighterHits = 0;
    long fighterDeaths = 0;
    long preyKills = 0;
    long fighterShots = 0;
    long preyInWalls = 0;
    long nonFinite = 0;
    // Prey that stayed within one cell of where they stood kPreyStillWindow
    // steps before (the last window in which no prey was destroyed, since
    // removal reorders the list): a prey turning to and fro on the spot.
    long preyStill = 0;
    long respawns = 0;  // destroyed fighters back in play within their round
    long rounds = 0;    // rounds started after a round's end
    std::vector<Vec3> windowStart;
};

constexpr long kPreyStillWindow = 5000;

void countStillPrey(Counters& n) {
    if (n.steps % kPreyStillWindow != 0) return;
    if (n.windowStart.size() == gs.preyList.size() && !n.windowStart.empty()) {
        n.preyStill = 0;
        for (size_t i = 0; i < gs.preyList.size(); ++i)
            if (groundDistance(gs.preyList[i].pos, n.windowStart[i]) < maze.cellSize) ++n.preyStill;
    }
    n.windowStart.clear();
    for (const Prey& p : gs.preyList) n.windowStart.push_back(p.pos);
}

// Per fighter: the cell it walks to and how long it has made no progress.
struct Walker {
    int targetRow = -1, targetCol = -1;
    int stuckSteps = 0;
    Vec3 lastPos;
    int fireCooldown = 0;
};

constexpr float kArriveDistance = 0.6f;    // at the target cell's centre
constexpr float kAimTolerance = 6.0f;      // degrees: walk only when facing the target cell
constexpr int kStuckLimit = 120;           // steps without progress before choosing again
constexpr float kFireRange = 45.0f;
constexpr float kFireCone = 4.0f;          // degrees either side of the heading
constexpr int kFireCooldown = 40;          // steps between a fighter's shots

bool finite(Vec3 v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }


bool walkable(int row, int col) { return cellInMaze(row, col) && maze.cells[row][col] != 1; }

Vec3 cellCentre(int row, int col) {
    return Vec3{(static_cast<float>(col) + 0.5f) * maze.cellSize, (static_cast<float>(row) + 0.5f) * maze.cellSize,
                0.0f};
}

// Chooses the next cell: the least visited open side neighbour, avoiding the
// way back unless it is the only one; ties go round by fighter and visit.
void chooseNextCell(int fighter, int row, int col, Walker& w, std::vector<int>& visits, int avoidRow,
                    int avoidCol) {
    static const int dr[4] = {-1, 0, 1, 0};
    static const int dc[4] = {0, 1, 0, -1};
    int best = -1;
    int bestScore = 0;
    const int rotate = fighter + visits[row * kMaxMazeSize + col];
    for (int i = 0; i < 4; ++i) {
        const int k = (i + rotate) % 4;
        const int r = row + dr[k], c = col + dc[k];
        if (!walkable(r, c)) continue;
        int score = visits[r * kMaxMazeSize + c] * 4;
        if (r == avoidRow && c == avoidCol) score += 1000;
        if (best < 0 || score < bestScore) {
            best = k;
            bestScore = score;
        }
    }
    if (best < 0) {
        w.targetRow = row;
        w.targetCol = col;
        return;
    }
    w.targetRow = row + dr[best];
    w.targetCol = col + dc[best];
}

void setKey(Fighter& f, int key, bool down) {
    if ((f.keyDown[key] != 0) == down) return;
    fighterKeyAction(f, key, !down, false);
}

// Fires when a prey stands straight ahead within range: press, then release
// (a tap fires once, on the press; the cooldown is far longer than the
// gun's cycle, so the gun is always ready).
void maybeFire(Fighter& f, Walker& w, Counters& n) {
    if (w.fireCooldown > 0) {
        --w.fireCooldown;
        return;
    }
    if (f.bullets <= 0) return;
    const float h = headingDegrees(f.dir);
    for (const Prey& p : gs.preyList) {
        const float dx = p.pos.x - f.pos.x, dy = p.pos.y - f.pos.y;
        if (dx * dx + dy * dy > kFireRange * kFireRange) continue;
        const float off = normaliseHeadingDifference(headingDegrees(Vec3{dx, dy, 0.0f}) - h);
        if (std::fabs(off) > kFireCone) continue;
        const int before = f.bullets;
        fighterKeyAction(f, ' ', false, false);
        fighterKeyAction(f, ' ', true, false);
        n.fighterShots += before - f.bullets;
        w.fireCooldown = kFireCooldown;
        return;
    }
}

void scriptFighters(std::vector<Walker>& walkers, std::vector<int>& visits, Counters& n) {
    for (int i = 0; i < fighterCount(); ++i) {
        Fighter& f = gs.fighterList[i];
        Walker& w = walkers[i];
        if (f.state != FighterState::InPlay) {
            for (int key : {'i', 'j', 'l'}) setKey(f, key, false);
            continue;
        }
        const int row = cellOfCoordinate(f.pos.y), col = cellOfCoordinate(f.pos.x);
        const float moved = std::hypot(f.pos.x - w.lastPos.x, f.pos.y - w.lastPos.y);
        w.lastPos = f.pos;
        w.stuckSteps = moved < 1e-4f ? w.stuckSteps + 1 : 0;
        const Vec3 goal = cellCentre(w.targetRow, w.targetCol);
        const bool arrived = w.targetRow >= 0 && std::hypot(goal.x - f.pos.x, goal.y - f.pos.y) < kArriveDistance;
        if (w.targetRow < 0 || arrived || w.stuckSteps > kStuckLimit) {
            if (row >= 0 && col >= 0) {
                ++visits[row * kMaxMazeSize + col];
                const int backRow = w.stuckSteps > kStuckLimit ? w.targetRow : -1;
                const int backCol = w.stuckSteps > kStuckLimit ? w.targetCol : -1;
                chooseNextCell(i, row, col, w, visits, backRow, backCol);
            }
            w.stuckSteps = 0;
        }
        const Vec3 aim = cellCentre(w.targetRow, w.targetCol);
        const float off = normaliseHeadingDifference(
            headingDegrees(Vec3{aim.x - f.pos.x, aim.y - f.pos.y, 0.0f}) - headingDegrees(f.dir));
        const bool facing = std::fabs(off) < kAimTolerance;
        setKey(f, 'i', facing);
        setKey(f, 'j', !facing && off > 0.0f);
        setKey(f, 'l', !facing && off <= 0.0f);
        maybeFire(f, w, n);
    }
}

// Prey whose update runs in the coming step and fires: Shoot at step 3, the
// last move taken, and the cadence at its third call.
long shotsDue() {
    long due = 0;
    for (const Prey& p : gs.preyList)
        if (preyUpdateDue(p) && p.moveAllowed != 0 && p.action == PreyAction::Shoot && p.actionStep == 3) ++due;
    return due;
}

void countState(Counters& n) {
    bool hunting = false;
    for (const Prey& p : gs.preyList) {
        if (p.mode == PreyMode::Hunt) hunting = true;
        if (!finite(p.pos) || !finite(p.dir)) ++n.nonFinite;
        const int row = cellOfCoordinate(p.pos.y), col = cellOfCoordinate(p.pos.x);
        if (!cellInMaze(row, col) || maze.cells[row][col] == 1) ++n.preyInWalls;
    }
    if (hunting) ++n.preyHuntingSteps;
    for (const Fighter& f : gs.fighterList)
        if (!finite(f.pos) || !finite(f.dir)) ++n.nonFinite;
    for (const Bullet& b : gs.bulletList)
        if (!finite(b.pos) || !finite(b.dir)) ++n.nonFinite;
}

}  // namespace

int main(int argc, char** argv) {
    cli::Parsed args = cli::parse(kMazeSimCommand, argc, argv);
    if (args.outcome == cli::Outcome::Run && cli::flag(args, "quiet") && cli::flag(args, "verbose"))
        args = cli::refuse(kMazeSimCommand, "--quiet and --verbose contradict each other");
    if (args.outcome != cli::Outcome::Run) return cli::finish(args);
    Options opt;
    opt.steps = static_cast<long>(cli::integer(args, "steps"));
    opt.intervalMs = static_cast<int>(cli::integer(args, "interval-ms"));
    opt.walk = cli::text(args, "script") == "walk";
    opt.quiet = cli::flag(args, "quiet");
    longGame.respawnDelayMs = static_cast<int32_t>(std::lround(cli::real(args, "respawn") * 1000.0));

    if (opt.quiet) setLogLevel(LogLevel::Error);
    if (cli::flag(args, "verbose")) setLogLevel(LogLevel::Debug);

    randomSeed(0);
    readMazeMap();
    const bool posesComplete = loadPreyPoseFile();
    if (maze.rows <= 0 || maze.cols <= 0 || !(maze.cellSize > 0.0f) || maze.fighterStartCount <= 0) {
        std::fprintf(stderr, "maze-sim: no usable level in \"%s\" in the working directory\n", kMapFileName);
        return 1;
    }
    if (!posesComplete) std::fprintf(stderr, "maze-sim: running with an incomplete pose set\n");
    createFighters();
    resetGame();
    for (Fighter& f : gs.fighterList) f.state = FighterState::InPlay;

    Counters n;
    std::vector<Walker> walkers(gs.fighterList.size());
    for (size_t i = 0; i < walkers.size(); ++i) walkers[i].lastPos = gs.fighterList[i].pos;
    std::vector<int> visits(kMaxMazeSize * kMaxMazeSize, 0);
    process.clockNowMs = 0;
    process.clockPrevMs = 0;
    std::vector<float> fighterHealth;
    std::vector<FighterState> fighterState;

    for (long s = 0; s < opt.steps; ++s) {
        process.clockPrevMs = process.clockNowMs;
        process.clockNowMs = (process.clockNowMs + opt.intervalMs) % 60000;
        if (opt.walk) scriptFighters(walkers, visits, n);

        fighterHealth.clear();
        fighterState.clear();
        for (const Fighter& f : gs.fighterList) {
            fighterHealth.push_back(f.health);
            fighterState.push_back(f.state);
        }
        const int preyBefore = preyCount();
        n.preyShots += shotsDue();

        regenerateHealth();
        // Nothing is drawn here: explosions advance unseen, so they finish.
        advanceUndrawnExplosions();
        worldStep(updatePrey);
        const bool wasOver = gs.round.over;
        longGameStep(opt.intervalMs);
        const bool newRound = wasOver && !gs.round.over;
        if (newRound) ++n.rounds;

        for (int i = 0; i < fighterCount(); ++i) {
            const Fighter& f = gs.fighterList[i];
            const float lost = fighterHealth[i] - f.health;
            if (lost > 1.0f) n.fighterHits += std::lround(lost / kFighterHitDamage);
            if (fighterState[i] == FighterState::InPlay && f.state == FighterState::Dead) ++n.fighterDeaths;
            if (fighterState[i] == FighterState::Dead && f.state == FighterState::InPlay && !newRound) ++n.respawns;
        }
        n.preyKills += preyBefore - preyCount();
        ++n.steps;
        countState(n);
        countStillPrey(n);
    }

    std::printf(
        "steps=%ld prey_hunting_steps=%ld prey_shots=%ld fighter_hits=%ld fighter_deaths=%ld "
        "prey_kills=%ld prey_left=%d fighter_shots=%ld prey_in_walls=%ld nan=%ld prey_still=%ld respawns=%ld "
        "rounds=%ld\n",
        n.steps, n.preyHuntingSteps, n.preyShots, n.fighterHits, n.fighterDeaths, n.preyKills,
        preyCount(), n.fighterShots, n.preyInWalls, n.nonFinite, n.preyStill, n.respawns, n.rounds);
    return 0;
}
