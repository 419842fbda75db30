// test_hunt.cpp -- hunting: losing the target, approach, squaring up,
// shooting, backing off; the shot; the maze path-finder.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

#include "plain_maze_heading.h"
#include "prey_test_util.h"

using namespace preytest;

namespace {

class Hunt : public PreyTest {
protected:
    // A hunting prey at cell (10, 5) facing `degrees`, its target fighter
    // (dx, dy) away, the last shot `sinceShot` updates ago counting the next.
    Prey hunter(float degrees, float dx, int sinceShot, float dy = 0.0f) {
        Prey p = preyAt(10, 5, degrees);
        gs.fighterList.clear();
        addFighter(Vec3{p.pos.x + dx, p.pos.y + dy, 0});
        p.mode = ::Hunt;
        p.target = 0;
        p.action = StandA;
        p.sinceShot = sinceShot - 1;  // the update counts itself
        return p;
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

TEST_F(Hunt, WalksAtFortyFiveSquaresUpAtThirtyFiveShootsWithChanceOneHalfBacksOffAtFifteen) {
    struct Case {
        const char* what;
        float degrees, dx, dy;
        int sinceShot;
        PreyAction stance;
        std::vector<Draw> draws;
        PreyAction action;
        int step;
    };
    const Draw noDodge = atMost(0.8f), noShuffle = atMost(0.8f);
    const Case cases[] = {
        {"far: walk towards it whatever the facing", 60, 45, 0, 60, StandA, {}, WalkForward, 1},
        {"near: square up along the axis first", 60, 35, 0, 60, StandA, {}, TurnRightFromA, 1},
        {"near, from stance B", 300, 35, 0, 60, StandB, {}, TurnLeftFromB, 1},
        {"facing, in range: shoot", 0, 30, 0, 11, StandA, {noDodge, between(0.5f, 0.51f)}, Shoot, 1},
        {"the other half: no shot", 0, 30, 0, 11, StandA, {noDodge, between(0.49f, 0.5f), noShuffle, noShuffle},
         WalkBackward, 1},
        // Where no shot may leave, the draw that would fire decides nothing.
        {"too soon after the last shot", 0, 30, 0, 10, StandA, {noDodge, between(0.5f, 0.8f), noShuffle},
         WalkBackward, 1},
        {"too far", 0, 50, 0, 11, StandA, {noDodge, between(0.5f, 0.8f), noShuffle}, WalkBackward, 1},
        {"target 50 degrees off", 0, 30, 35.75f, 11, StandA, {noDodge, between(0.5f, 0.8f), noShuffle},
         WalkBackward, 1},
        {"fifteen: back off", 0, 15, 0, 20, StandA, {noDodge, atMost(0.5f), noShuffle}, WalkBackward, 1},
        {"fifteen, from stance B", 0, 15, 0, 20, StandB, {noDodge, atMost(0.5f), noShuffle}, WalkBackward, 5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Prey p = hunter(c.degrees, c.dx, c.sinceShot, c.dy);
        p.action = c.stance;
        arrangeDraws(c.draws);
        decideNow(p);
        EXPECT_EQ(p.action, c.action);
        EXPECT_EQ(p.actionStep, c.step);
    }
}

TEST_F(Hunt, SquaresUpAlongTheLongerFreeRunAndFollowsAHiddenTargetThroughTheMaze) {
    const auto huntIn = [](std::vector<std::string> maze, int row, int col, Vec3 target, int sinceShot) {
        drawnMaze(maze);
        Prey p = preyAt(row, col, 0.0f);
        gs.fighterList.clear();
        addFighter(target);
        p.mode = ::Hunt;
        p.target = 0;
        p.sinceShot = sinceShot;
        decideNow(p);
        return p;
    };
    // Target up and to the right of a prey in a corridor along y: freeR =
    // min(run 4, row gap 3) beats freeC = min(run 1, column gap 4): face +y.
    const Prey p = huntIn({"########", "#.#....#", "#.#....#", "#.#....#", "#......#", "########"}, 1, 1,
                          centreOf(4, 5), 20);
    EXPECT_EQ(p.action, TurnLeftFromA);

    // Behind a wall, long after the last shot: the way round leads down
    // first, a left turn (or one time in four a step forward anyway).
    const Prey q = huntIn({"#######", "#..#..#", "#..#..#", "#.....#", "#######"}, 1, 2, centreOf(1, 4), 60);
    EXPECT_EQ(q.turning, 1);
    EXPECT_FLOAT_EQ(q.wantedHeading, 90.0f);
    EXPECT_TRUE(q.action == TurnLeftFromA || q.action == WalkForward) << q.action;
}

TEST_F(Hunt, ShotLeavesAtTheThirdUpdateFromEitherGunBesideTheBodyAtHeightTwo) {
    for (int gun = 0; gun < 2; ++gun) {  // left, right
        SCOPED_TRACE(gun);
        gs.bulletList.clear();
        Prey p = hunter(0.0f, 30.0f, 20);
        // No dodge, shoot, aim 4 to 5 degrees right of the target; then the
        // shot's elevation and its gun.
        arrangeDraws({atMost(0.8f), above(0.5f), atMost(0.1f), above(-1.0f), gun == 0 ? above(0.5f) : atMost(0.5f)});
        decideNow(p);
        ASSERT_EQ(p.action, Shoot);
        EXPECT_EQ(p.sinceShot, 0);
        EXPECT_TRUE(p.bodyTurn >= -5.0f && p.bodyTurn < -3.9f) << p.bodyTurn;
        for (int update = 1; update <= 4; ++update) {
            commit(p);
            decideNow(p);
            EXPECT_EQ(p.action, Shoot);
            ASSERT_EQ(bulletCount(), update >= 3 ? 1 : 0) << "update " << update;
            if (update == 3) {
                EXPECT_FLOAT_EQ(p.dir.y, gs.bulletList[0].dir.y) << "dir carries the shot this step";
            }
        }
        const Bullet& b = gs.bulletList[0];
        EXPECT_EQ(b.shooterKind, PreyCannon);
        EXPECT_EQ(b.owner, -1);
        EXPECT_FLOAT_EQ(b.pos.z, 2.0f);
        EXPECT_NEAR(normaliseHeadingDifference(headingDegrees(b.dir) - p.bodyTurn), 0.0f, 1e-3) << "along the aim";
        EXPECT_LE(std::fabs(std::asin(b.dir.z)) / 0.0174533f, 0.25f + 1e-4) << "elevation jitter";
        // 1.2 units at 60 degrees either side of the aim: 1.04 off its line.
        const auto [along, across] = motion(p.pos, b.pos, p.bodyTurn);
        EXPECT_GT(along, 0.6f) << "starts ahead of the gun";
        EXPECT_NEAR(across, gun == 0 ? 1.0392f : -1.0392f, 1e-3);

        commit(p);
        EXPECT_FLOAT_EQ(p.dir.x, 1.0f) << "the legs' heading is back after the shot";
        decideNow(p);
        EXPECT_EQ(p.sinceShot, 5);
        EXPECT_FALSE(p.action == Shoot && p.actionStep == 6) << "decided anew";
    }
}

// ---------------------------------------------------------------------------
// mazeHeading
// ---------------------------------------------------------------------------

class MazeHeading : public PreyTest {};

TEST_F(MazeHeading, OnSmallMazesLeadsRoundCornersStaysPutInTheOwnCellOrGuessesWhenUnreachable) {
    drawnMaze({"#######",
               "#.....#",
               "#####.#",
               "#.....#",
               "#######"});
    EXPECT_EQ(mazeHeading(centreOf(1, 1), centreOf(1, 5)), 0.0f);
    EXPECT_EQ(mazeHeading(centreOf(1, 5), centreOf(1, 1)), 180.0f);
    EXPECT_EQ(mazeHeading(centreOf(1, 5), centreOf(3, 1)), 90.0f);
    EXPECT_EQ(mazeHeading(centreOf(3, 5), centreOf(1, 1)), 270.0f);
    EXPECT_EQ(mazeHeading(centreOf(3, 2), centreOf(1, 1)), 0.0f) << "the long way round";

    // The own cell, without a draw: all four neighbours tie and the first
    // (row - 1) wins; in a corner only the open neighbours count.
    openMaze(6, 6);
    const uint32_t before = gs.randomState;
    EXPECT_EQ(mazeHeading(centreOf(3, 3), centreOf(3, 3)), 270.0f);
    EXPECT_EQ(mazeHeading(centreOf(1, 1), Vec3{centreOf(1, 1).x + 1.0f, centreOf(1, 1).y, 0}), 0.0f);
    EXPECT_EQ(gs.randomState, before);
    // Closed-off and wall targets (one draw, a random heading) come up in
    // the random mazes below.
}

TEST_F(MazeHeading, PositionsOffTheGridNeverReadOutsideIt) {
    openMaze(100, 100);
    gs.mazeCells[99][99] = 0;  // a hole in the wall ring at the far corner
    const Vec3 inside = centreOf(50, 50);
    for (Vec3 odd : {Vec3{-50.0f, 10.0f, 0}, Vec3{10.0f, -0.5f, 0}, Vec3{1e9f, 1e9f, 0}, Vec3{NAN, 5.0f, 0},
                     centreOf(99, 99), Vec3{800.0f, 400.0f, 0}}) {
        for (float h : {mazeHeading(inside, odd), mazeHeading(odd, inside)}) EXPECT_TRUE(h >= 0.0f && h <= 360.0f);
    }
    gs.cellSize = 0.0f;  // no level yet
    const float h = mazeHeading(inside, Vec3{});
    EXPECT_TRUE(h >= 0.0f && h <= 360.0f);
}

TEST_F(MazeHeading, AgreesWithThePlainRuleOnRandomMazes) {
    // Random mazes up to the largest size; every pair drawn is a case.
    randomSeed(2024);
    for (int maze = 0; maze < 150; ++maze) {
        const int rows = maze < 2 ? 100 : 4 + randomNext() % 37;
        const int cols = maze < 2 ? 100 : 4 + randomNext() % 37;
        // Wall share from none (one open room) to most cells.
        const float openShare = maze == 1 ? 1.0f : 0.45f + 0.55f * randomFraction();
        openMaze(rows, cols);
        for (int r = 1; r < rows - 1; ++r)
            for (int c = 1; c < cols - 1; ++c) gs.mazeCells[r][c] = randomFraction() > openShare ? 1 : 0;
        for (int q = 0; q < 8; ++q) {
            const Vec3 from{(1 + randomNext() % (cols - 2) + randomFraction()) * 8.0f,
                            (1 + randomNext() % (rows - 2) + randomFraction()) * 8.0f, 0};
            // Targets anywhere on the map, the wall ring included.
            const Vec3 to{(randomNext() % cols + randomFraction()) * 8.0f,
                          (randomNext() % rows + randomFraction()) * 8.0f, 0};
            const uint32_t seed = gs.randomState;
            const float expected = plainMazeHeading(from, to);
            const uint32_t after = gs.randomState;
            gs.randomState = seed;
            EXPECT_EQ(mazeHeading(from, to), expected) << "maze " << maze << " case " << q;
            EXPECT_EQ(gs.randomState, after);
        }
    }
}

}  // namespace
