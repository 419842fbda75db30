// test_hunt.cpp -- hunting: losing the target, approach, squaring up,
// shooting, backing off; the shot; the maze path-finder.
#include <cmath>
#include <cstring>
#include <string>

#include "prey_test_util.h"

using namespace preytest;

namespace {

class Hunt : public PreyTest {
protected:
    // A hunting prey at cell (10, 5) facing `degrees`, and its target
    // fighter `d` units away along +x.
    Prey hunter(float degrees, float d, int sinceShot) {
        Prey p = preyAt(10, 5, degrees);
        gs.fighterList.clear();
        addFighter(Vec3{p.pos.x + d, p.pos.y, 0});
        p.mode = ::Hunt;
        p.target = 0;
        p.action = StandA;
        p.sinceShot = sinceShot - 1;  // the update counts itself
        return p;
    }
    void SetUp() override {
        PreyTest::SetUp();
        testing::internal::CaptureStdout();  // "Maneuver mode" lines
    }
    void TearDown() override {
        testing::internal::GetCapturedStdout();
        PreyTest::TearDown();
    }
};

TEST_F(Hunt, TargetThatDiesLeavesOrIsOutOfRangeIsGivenUp) {
    for (int lost = 0; lost < 4; ++lost) {
        Prey p = hunter(0.0f, 30.0f, 60);
        if (lost == 0) gs.fighterList[0].state = Dead;
        if (lost == 1) gs.fighterList[0].state = Absent;
        if (lost == 2) gs.fighterList[0].pos.x = p.pos.x + 80.5f;
        if (lost == 3) p.target = 7;  // no such fighter
        huntDecision(p);
        EXPECT_EQ(p.mode, Roam) << lost;
        EXPECT_EQ(p.action, StandA) << lost;
    }
}

TEST_F(Hunt, VisibleTargetIsApproachedFromAfarAndSquaredUpToNearby) {
    // 45 units, long after the last shot: walk towards it, whatever the facing.
    Prey far = hunter(60.0f, 45.0f, 60);
    decideNow(far);
    EXPECT_EQ(far.action, WalkForward);
    EXPECT_EQ(far.actionStep, 1);

    // 35 units: square up along the maze axis towards the target first.
    Prey near = hunter(60.0f, 35.0f, 60);
    decideNow(near);
    EXPECT_EQ(near.action, TurnRightFromA);
    Prey nearB = hunter(300.0f, 35.0f, 60);
    nearB.action = StandB;
    decideNow(nearB);
    EXPECT_EQ(nearB.action, TurnLeftFromB);
}

TEST_F(Hunt, SquaresUpAlongTheAxisWithTheLongerFreeRun) {
    // Target up and to the right, the prey in a corridor running along y:
    // walls left and right of it, so only the y run is free.
    drawnMaze({
        "########",
        "#.#....#",
        "#.#....#",
        "#.#....#",
        "#......#",
        "########",
    });
    Prey p = preyAt(1, 1, 0.0f);
    addFighter(centreOf(4, 5));
    p.mode = ::Hunt;
    p.target = 0;
    p.sinceShot = 20;
    huntDecision(p);
    // freeR = min(run 4, row gap 3) beats freeC = min(run 1, column gap 4):
    // face +y (90 degrees).
    EXPECT_EQ(p.action, TurnLeftFromA);
}

TEST_F(Hunt, ShootsWithChanceOneHalfWhenFacingAVisibleTargetInRange) {
    Prey p = hunter(0.0f, 30.0f, 20);
    arrangeDraws({atMost(0.8f), above(0.5f), atMost(0.1f)});
    decideNow(p);
    EXPECT_EQ(p.action, Shoot);
    EXPECT_EQ(p.actionStep, 1);
    EXPECT_EQ(p.sinceShot, 0);
    EXPECT_GE(p.bodyTurn, -kAimJitter);
    EXPECT_LT(p.bodyTurn, -3.0f);  // R' <= 0.1: aimed up to 5 degrees right of the target

    Prey q = hunter(0.0f, 30.0f, 20);
    arrangeDraws({atMost(0.8f), atMost(0.5f)});
    decideNow(q);
    EXPECT_NE(q.action, Shoot);

    // Too soon after the last shot, too far, or not facing: never.
    for (int which = 0; which < 3; ++which) {
        Prey r = which == 0 ? hunter(0.0f, 30.0f, 10) : which == 1 ? hunter(0.0f, 50.0f, 20) : hunter(0.0f, 30.0f, 20);
        if (which == 2) {  // target 50 degrees off to the left, prey still on the axis
            gs.fighterList[0].pos.y = r.pos.y + 30.0f * std::tan(50.0f * 0.0174533f);
            gs.fighterList[0].pos.x = r.pos.x + 30.0f;
        }
        for (int i = 0; i < 50; ++i) {
            Prey s = r;
            huntDecision(s);
            EXPECT_NE(s.action, Shoot) << which;
        }
    }

    int shots = 0;
    const int trials = 2000;
    randomSeed(99);
    for (int i = 0; i < trials; ++i) {
        Prey s = hunter(0.0f, 30.0f, 20);
        decideNow(s);
        if (s.action == Shoot) ++shots;
    }
    EXPECT_NEAR(shots / static_cast<double>(trials), 0.5, 0.04);
}

TEST_F(Hunt, BacksOffFromATargetAtFifteenUnits) {
    for (float pose : {0.0f, 4.0f}) {
        Prey p = hunter(0.0f, 15.0f, 20);
        p.pose = static_cast<int>(pose);
        p.action = pose == 0.0f ? StandA : StandB;
        arrangeDraws({atMost(0.8f), atMost(0.5f), atMost(0.8f)});
        decideNow(p);
        EXPECT_EQ(p.action, WalkBackward);
        EXPECT_EQ(p.actionStep, pose == 0.0f ? 1 : 5);
    }
}

TEST_F(Hunt, HiddenTargetIsFollowedThroughTheMaze) {
    // The fighter is behind a wall; the way round leads down first.
    drawnMaze({
        "#######",
        "#..#..#",
        "#..#..#",
        "#.....#",
        "#######",
    });
    Prey p = preyAt(1, 2, 0.0f);
    addFighter(centreOf(1, 4));
    p.mode = ::Hunt;
    p.target = 0;
    p.sinceShot = 60;
    p.action = StandA;
    decideNow(p);
    EXPECT_EQ(p.turning, 1);
    EXPECT_FLOAT_EQ(p.wantedHeading, 90.0f);
    // 90 degrees to the left of its heading: a left turn (or, one time in
    // four, a step forward anyway).
    EXPECT_TRUE(p.action == TurnLeftFromA || p.action == WalkForward) << p.action;
}

TEST_F(Hunt, ShotLeavesBesideTheBodyAtHeightTwoAlongTheAim) {
    bool left = false, right = false;
    for (int i = 0; i < 40; ++i) {
        gs.bulletList.clear();
        Prey p = preyAt(10, 10, 30.0f);
        p.bodyTurn = 15.0f;
        p.nextDir = p.dir;
        fireShot(p);
        ASSERT_EQ(bulletCount(), 1);
        const Bullet& b = gs.bulletList[0];
        EXPECT_EQ(b.shooterKind, PreyCannon);
        EXPECT_EQ(b.owner, -1);
        EXPECT_FLOAT_EQ(b.pos.z, kPreyMuzzleHeight);
        // Along the aim (45 degrees) within the elevation jitter.
        EXPECT_NEAR(headingDegrees(b.dir), 45.0f, 1e-3);
        EXPECT_LE(std::fabs(std::asin(b.dir.z)) / 0.0174533f, kPreyElevationJitter + 1e-4);
        // The prey's dir carries the shot until the world step restores it.
        EXPECT_FLOAT_EQ(p.dir.x, b.dir.x);
        // 1.2 units at 60 degrees either side of the aim: 1.04 off its line.
        float along, across;
        motionAlong(p.pos, b.pos, 45.0f, along, across);
        EXPECT_NEAR(std::fabs(across), kPreyMuzzleOffset * std::sin(60.0f * 0.0174533f), 1e-3);
        EXPECT_GT(along, 0.0f);
        (across > 0 ? left : right) = true;
    }
    EXPECT_TRUE(left && right) << "both guns fire";
}

TEST_F(Hunt, ShotLeavesAtTheThirdUpdateAndTheNextDecisionComesAtTheFifth) {
    Prey p = hunter(0.0f, 30.0f, 20);
    arrangeDraws({atMost(0.8f), above(0.5f)});
    decideNow(p);
    ASSERT_EQ(p.action, Shoot);
    for (int update = 1; update <= 4; ++update) {
        commit(p);
        decideNow(p);
        EXPECT_EQ(bulletCount(), update >= 3 ? 1 : 0) << "update " << update;
        EXPECT_EQ(p.action, Shoot);
    }
    commit(p);
    EXPECT_FLOAT_EQ(p.dir.x, 1.0f) << "the legs' heading is back after the shot";
    decideNow(p);
    EXPECT_EQ(p.sinceShot, 5);
    EXPECT_NE(p.action == Shoot && p.actionStep == 6, true) << "decided anew";
}

// ---------------------------------------------------------------------------
// mazeHeading
// ---------------------------------------------------------------------------

// The path-finder exactly as the rules state it, without shortcuts: every
// sweep over every inner cell, all (rows + cols) * 3 of them if need be.
float referenceMazeHeading(Vec3 from, Vec3 to) {
    const int fr = static_cast<int>(from.y / gs.cellSize), fc = static_cast<int>(from.x / gs.cellSize);
    const int tr = static_cast<int>(to.y / gs.cellSize), tc = static_cast<int>(to.x / gs.cellSize);
    static int v[100][100];
    std::memset(v, 0, sizeof v);
    const auto open = [](int r, int c) { return gs.mazeCells[r][c] == 0; };
    v[tr][tc] = (gs.mazeRows + gs.mazeCols) * 6;
    int count = 0;
    for (int s = 0; s < (gs.mazeRows + gs.mazeCols) * 3; ++s) {
        for (int r = 1; r <= gs.mazeRows - 2; ++r)
            for (int c = 1; c <= gs.mazeCols - 2; ++c) {
                if (!open(r, c)) continue;
                int x = v[r][c];
                if (open(r - 1, c) && v[r - 1][c] - 1 > x) x = v[r - 1][c] - 1;
                if (open(r + 1, c) && v[r + 1][c] - 1 > x) x = v[r + 1][c] - 1;
                if (open(r, c - 1) && v[r][c - 1] - 1 > x) x = v[r][c - 1] - 1;
                if (open(r, c + 1) && v[r][c + 1] - 1 > x) x = v[r][c + 1] - 1;
                v[r][c] = x;
            }
        if (v[fr][fc] > 0 && ++count == 5) break;
    }
    if (count == 0) return randomFraction() * 360.0f;
    const int dr[4] = {-1, 0, 1, 0}, dc[4] = {0, 1, 0, -1};
    int n[4], rank[4] = {0, 0, 0, 0};
    for (int k = 0; k < 4; ++k) n[k] = v[fr + dr[k]][fc + dc[k]];
    for (int i = 0; i < 4; ++i)
        for (int j = i + 1; j < 4; ++j) {
            if (n[i] < n[j]) ++rank[j];
            else ++rank[i];
        }
    int best = 0, second = 0;
    for (int k = 0; k < 4; ++k) {
        if (rank[k] == 3) best = k;
        if (rank[k] == 2) second = k;
    }
    const auto run = [&](int k) {
        int r = fr, c = fc, len = 0;
        const int start = v[fr][fc];
        if (!open(fr, fc)) return 0;
        for (;;) {
            if (v[r][c] < start) break;
            ++len;
            r += dr[k];
            c += dc[k];
            if (!open(r, c)) break;
        }
        return len;
    };
    const int chosen = run(second) > run(best) ? second : best;
    const float headings[4] = {270, 0, 90, 180};
    return headings[chosen];
}

class MazeHeading : public PreyTest {};

TEST_F(MazeHeading, LeadsAlongCorridorsAndRoundCorners) {
    drawnMaze({
        "#######",
        "#.....#",
        "#####.#",
        "#.....#",
        "#######",
    });
    EXPECT_EQ(mazeHeading(centreOf(1, 1), centreOf(1, 5)), 0.0f);
    EXPECT_EQ(mazeHeading(centreOf(1, 5), centreOf(1, 1)), 180.0f);
    EXPECT_EQ(mazeHeading(centreOf(1, 5), centreOf(3, 1)), 90.0f);
    EXPECT_EQ(mazeHeading(centreOf(3, 5), centreOf(1, 1)), 270.0f);
    EXPECT_EQ(mazeHeading(centreOf(3, 2), centreOf(1, 1)), 0.0f) << "the long way round";
}

TEST_F(MazeHeading, UnreachableTargetGivesARandomHeading) {
    drawnMaze({
        "#######",
        "#...#.#",
        "#...###",
        "#######",
    });
    for (uint32_t seed : {1u, 2u, 3u, 40000u}) {
        randomSeed(seed);
        const float expected = randomFraction() * 360.0f;
        randomSeed(seed);
        EXPECT_FLOAT_EQ(mazeHeading(centreOf(1, 1), centreOf(1, 5)), expected);
        EXPECT_EQ(gs.randomState, seed * 214013u + 2531011u) << "exactly one draw";
    }
    // A wall cell as the target is unreachable too.
    randomSeed(5);
    const float expected = randomFraction() * 360.0f;
    randomSeed(5);
    EXPECT_FLOAT_EQ(mazeHeading(centreOf(1, 1), centreOf(2, 4)), expected);
}

TEST_F(MazeHeading, OwnCellIsReachedAtOnce) {
    openMaze(6, 6);
    const uint32_t before = gs.randomState;
    // All four neighbours tie: the first (row - 1) wins.
    EXPECT_EQ(mazeHeading(centreOf(3, 3), centreOf(3, 3)), 270.0f);
    EXPECT_EQ(gs.randomState, before);
    // In a corner only the open neighbours count.
    EXPECT_EQ(mazeHeading(centreOf(1, 1), Vec3{centreOf(1, 1).x + 1.0f, centreOf(1, 1).y, 0}), 0.0f);
}

TEST_F(MazeHeading, PositionsOffTheGridNeverReadOutsideIt) {
    openMaze(100, 100);
    gs.mazeCells[99][99] = 0;  // a hole in the wall ring at the far corner
    const Vec3 inside = centreOf(50, 50);
    for (Vec3 odd : {Vec3{-50.0f, 10.0f, 0}, Vec3{10.0f, -0.5f, 0}, Vec3{1e9f, 1e9f, 0},
                     Vec3{NAN, 5.0f, 0}, centreOf(99, 99), Vec3{800.0f, 400.0f, 0}}) {
        const float a = mazeHeading(inside, odd);
        const float b = mazeHeading(odd, inside);
        EXPECT_TRUE(a >= 0.0f && a <= 360.0f);
        EXPECT_TRUE(b >= 0.0f && b <= 360.0f);
    }
    gs.cellSize = 0.0f;  // no level yet
    const float c = mazeHeading(inside, Vec3{});
    EXPECT_TRUE(c >= 0.0f && c <= 360.0f);
}

TEST_F(MazeHeading, AgreesWithTheRuleOnRandomMazes) {
    // Mazes drawn by the game's generator; every open cell pair is a case.
    randomSeed(2024);
    for (int maze = 0; maze < 150; ++maze) {
        const int rows = maze < 2 ? 100 : 4 + randomNext() % 37;
        const int cols = maze < 2 ? 100 : 4 + randomNext() % 37;
        // Wall share from none (one open room) to most cells.
        const float openShare = maze == 1 ? 1.0f : 0.45f + 0.55f * randomFraction();
        gs.mazeRows = rows;
        gs.mazeCols = cols;
        gs.cellSize = 8.0f;
        for (int r = 0; r < kMaxMazeSize; ++r)
            for (int c = 0; c < kMaxMazeSize; ++c) {
                const bool edge = r == 0 || c == 0 || r == rows - 1 || c == cols - 1;
                gs.mazeCells[r][c] = (r < rows && c < cols && (edge || randomFraction() > openShare)) ? 1 : 0;
            }
        for (int q = 0; q < 8; ++q) {
            const Vec3 from{(1 + randomNext() % (cols - 2) + randomFraction()) * 8.0f,
                            (1 + randomNext() % (rows - 2) + randomFraction()) * 8.0f, 0};
            // Targets anywhere on the map, the wall ring included.
            const Vec3 to{(randomNext() % cols + randomFraction()) * 8.0f,
                          (randomNext() % rows + randomFraction()) * 8.0f, 0};
            const uint32_t seed = gs.randomState;
            const float expected = referenceMazeHeading(from, to);
            const uint32_t after = gs.randomState;
            gs.randomState = seed;
            EXPECT_EQ(mazeHeading(from, to), expected) << "maze " << maze << " case " << q;
            EXPECT_EQ(gs.randomState, after);
        }
    }
}

}  // namespace
