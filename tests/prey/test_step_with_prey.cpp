// test_step_with_prey.cpp -- prey inside the real world step: walls refuse
// them (corners included), and a game on the shipped level keeps them sound.
#include <cmath>

#include "prey_test_util.h"

using namespace preytest;

namespace {

class StepWithPrey : public PreyTest {};

// Runs world steps until the prey's behaviour has run `updates` more times.
void stepUpdates(int updates) {
    for (int i = 0; i < updates * 3; ++i) {
        gs.clockPrevMs = gs.clockNowMs;
        gs.clockNowMs += 10;
        worldStep();
    }
}

TEST_F(StepWithPrey, WalkIntoAWallIsRefusedAndTheWallNoted) {
    drawnMaze({
        "######",
        "#....#",
        "#....#",
        "######",
    });
    Prey p = preyAt(1, 3, 0.0f);  // facing the wall at column 5, 4 units from its face
    p.action = WalkForward;
    p.actionStep = 0;
    p.tick = 4;
    gs.preyList.push_back(p);
    for (int update = 0; update < 40; ++update) {
        stepUpdates(1);
        const Prey& q = gs.preyList[0];
        const int col = cellOfCoordinate(q.pos.x), row = cellOfCoordinate(q.pos.y);
        ASSERT_NE(cellCode(row, col), 1) << "update " << update;
        ASSERT_LE(q.pos.x, 5 * 8.0f - 1.5f + 1e-4f) << "never within its radius of the face";
    }
}

TEST_F(StepWithPrey, StepAcrossTheCornerOfADiagonalWallIsRefused) {
    // Wall at (1, 1); its side neighbours (1, 2) and (2, 1) are open, so the
    // wall faces of cell (2, 2) do not include it.
    drawnMaze({
        "#####",
        "##..#",
        "#...#",
        "#...#",
        "#####",
    });
    Prey p = preyAt(2, 2, 225.0f);  // facing up and to the left, at the wall's corner
    p.pos.x = 16.3f;
    p.pos.y = 16.3f;
    p.nextPos = p.pos;
    p.action = WalkForward;
    p.actionStep = 0;  // the next update proposes step 1: 1.0 along the diagonal
    p.tick = 4;
    gs.preyList.push_back(p);
    stepUpdates(1);
    const Prey& q = gs.preyList[0];
    EXPECT_EQ(q.blocked, 1);
    EXPECT_EQ(q.moveAllowed, 0);
    EXPECT_FLOAT_EQ(q.pos.x, 16.3f);
    EXPECT_FLOAT_EQ(q.pos.y, 16.3f);
}

TEST_F(StepWithPrey, GameOnTheShippedLevelKeepsPreyOutOfWallsAndFinite) {
    testing::internal::CaptureStdout();
    readMazeMapFile(MAZE_DATA_DIR "/korvath.map");
    ASSERT_TRUE(readPreyPoses(MAZE_DATA_DIR "/PreyPoses.dat", preyPoses));
    createFighters();
    resetGame();
    for (Fighter& f : gs.fighterList) f.state = InPlay;
    randomSeed(7);
    int hunting = 0;
    for (int step = 0; step < 6000; ++step) {
        gs.clockPrevMs = gs.clockNowMs;
        gs.clockNowMs = (gs.clockNowMs + 16) % 60000;
        worldStep();
        for (const Prey& p : gs.preyList) {
            ASSERT_TRUE(std::isfinite(p.pos.x) && std::isfinite(p.pos.y) && std::isfinite(p.dir.x) &&
                        std::isfinite(p.dir.y));
            ASSERT_NE(cellCode(cellOfCoordinate(p.pos.y), cellOfCoordinate(p.pos.x)), 1) << "step " << step;
            ASSERT_GE(p.pose, 0);
            ASSERT_LT(p.pose, kPreyPoseCount);
            ASSERT_NEAR(std::hypot(p.dir.x, p.dir.y), 1.0f, 1e-3);
            if (p.mode == Hunt) ++hunting;
        }
    }
    testing::internal::GetCapturedStdout();
    EXPECT_GT(hunting, 0) << "prey start within sight of the fighters' rooms";
}

}  // namespace
