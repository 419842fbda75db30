// test_prey.cpp -- the pose file, walls refusing the prey's moves, and the
// maze path-finder against the plain rule.
#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "plain_maze_heading.h"
#include "tests/test_files.h"
#include "prey/prey.h"
#include "world/world.h"

namespace {

// A pose file text: stride 10, 18 poses of 10 joints. Joint 0 carries the
// walk so that walkStep is 1, 1.5, 1.5, 1, 1, 1.5, 1.5, 1; the other joints
// the recognisable pattern (pose, joint) in offset.
std::string poseText() {
    const float walkY[8] = {0, -1, -2.5f, -4, -5, -6, -7.5f, -9};
    std::ostringstream out;
    out << "10\n";
    for (int p = 0; p < kPreyPoseCount; ++p) {
        out << "0 " << (p < 8 ? walkY[p] : 0.0f) << " 3.3 0 0 0 1\n";
        for (int j = 1; j < kPreyJointCount; ++j) out << p << ' ' << j << " -1 " << (p + j) << " 1 0 0\n";
    }
    return out.str();
}

// A maze from rows of text ('#' wall, anything else open), cells of edge 8.
void drawnMaze(const std::vector<std::string>& rows) {
    gs.mazeRows = static_cast<int>(rows.size());
    gs.mazeCols = static_cast<int>(rows[0].size());
    gs.cellSize = 8.0f;
    for (int r = 0; r < kMaxMazeSize; ++r)
        for (int c = 0; c < kMaxMazeSize; ++c)
            gs.mazeCells[r][c] = r < gs.mazeRows && c < gs.mazeCols && rows[r][c] == '#' ? 1 : 0;
}

// An open maze of rows x cols cells inside a wall ring.
void openMaze(int rows, int cols) {
    std::vector<std::string> m(rows, '#' + std::string(cols - 2, '.') + '#');
    m.front() = m.back() = std::string(cols, '#');
    drawnMaze(m);
}

Vec3 centreOf(int row, int col) { return Vec3{(col + 0.5f) * gs.cellSize, (row + 0.5f) * gs.cellSize, 0.0f}; }

class PreyWorld : public ::testing::Test {
protected:
    void SetUp() override {
        resetGameStateForTest();
        ASSERT_EQ(readPreyPosesText(poseText(), preyPoses), kPreyPoseNumbers);
        randomSeed(0);
    }
    void TearDown() override {
        preyPoses = PreyPoseSet{};
        resetGameStateForTest();
    }
};

TEST(PoseFile, ShortDamagedOrMissingFilesKeepWhatWasReadAndZeroTheRest) {
    PreyPoseSet set;
    ASSERT_EQ(readPreyPosesText(poseText() + " 5 6 garbage", set), kPreyPoseNumbers) << "the rest is ignored";
    EXPECT_FLOAT_EQ(set.poses[17][9].offset.x, 17.0f);
    EXPECT_FLOAT_EQ(set.poses[17][9].angle, 26.0f);
    // Stride and one and a half joints; pose 1 then reads as 0, so step 1 moves -2.
    EXPECT_EQ(readPreyPosesText("4  0 -2 3.3 0 0 0 1  7 8 9", set), 11);
    EXPECT_FLOAT_EQ(set.poses[0][1].offset.z, 9.0f);
    EXPECT_EQ(set.poses[17][9].angle, 0.0f) << "nothing left from the earlier read";
    EXPECT_FLOAT_EQ(set.walkStep[0], -2.0f);
    EXPECT_FLOAT_EQ(set.walkStep[7], 6.0f);
    // Reading stops at the first token that is not a sane, finite number.
    for (const std::string& text : std::vector<std::string>{"1 2 x 4", "1 2 nan 4", "1 2 inf 4", "1 2 1e39 4", "1 2 1e6 4", "1 2 3.5q 4",
                                    "1 2 -- 4", "1 2 0x 4", "1 2 " + std::string(5000, '7') + " 4"}) {
        EXPECT_EQ(readPreyPosesText(text, set), 2) << text;
        EXPECT_EQ(set.poses[0][0].offset.y, 0.0f) << text;
        EXPECT_TRUE(std::isfinite(set.walkStep[7])) << text;
    }
    // A missing file leaves a still set.
    testing::internal::CaptureStderr();
    EXPECT_FALSE(readPreyPoses("/nonexistent/PreyPoses.dat", set));
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(set.stride, 0.0f);
    for (float w : set.walkStep) EXPECT_EQ(w, 0.0f);
}

// A pose file over the limit, of any kind, is refused before it is read whole
// and leaves the still set a missing file leaves; one of exactly the limit
// (numbers, then spacing) is read.
TEST(PoseFile, FilesOverTheLimitAreRefusedAsAMissingOneIs) {
    const HostileFiles hostile("poses");
    ASSERT_TRUE(hostile.made());
    std::string text = poseText();
    text.resize(kMaxPreyPoseFileSize, ' ');
    const std::string atLimit = scratchDir() + "/at_limit.dat", overLimit = scratchDir() + "/over_limit.dat";
    writeBytes(atLimit, Bytes(text.begin(), text.end()));
    text.push_back(' ');
    writeBytes(overLimit, Bytes(text.begin(), text.end()));
    PreyPoseSet set;
    EXPECT_TRUE(readPreyPoses(atLimit.c_str(), set));
    EXPECT_FLOAT_EQ(set.walkStep[1], 1.5f);
    std::vector<std::string> paths = hostile.oversized();
    paths.push_back(overLimit);
    for (const std::string& path : paths) {
        ASSERT_EQ(readPreyPosesText(poseText(), set), kPreyPoseNumbers);
        testing::internal::CaptureStderr();
        EXPECT_FALSE(readPreyPoses(path.c_str(), set)) << path;
        const std::string said = testing::internal::GetCapturedStderr();
        EXPECT_EQ(set.stride, 0.0f) << path;
        for (float w : set.walkStep) EXPECT_EQ(w, 0.0f) << path;
        EXPECT_EQ(said.find(path + ": "), 0u) << said;
        EXPECT_NE(said.find(std::to_string(kMaxPreyPoseFileSize)), std::string::npos) << said;
    }
}

// Runs world steps until the prey's behaviour has run once more.
void stepUpdate() {
    for (int i = 0; i < kPreyUpdateDivider; ++i) {
        gs.clockPrevMs = gs.clockNowMs;
        gs.clockNowMs += 10;
        worldStep(updatePrey);
    }
}

// One walking prey at (x, y) facing `degrees`; the next update proposes
// walk step 1, 1.0 forward.
void walker(float x, float y, float degrees) {
    Prey p;
    p.pos = p.nextPos = Vec3{x, y, 1.5f};
    p.dir = p.nextDir = Vec3{std::cos(radiansFromDegreesF(degrees)), std::sin(radiansFromDegreesF(degrees)), 0.0f};
    p.moveAllowed = 1;
    p.action = WalkForward;
    p.actionStep = 0;
    p.tick = kPreyUpdateDivider - 1;
    gs.preyList.assign(1, p);
}

TEST_F(PreyWorld, WorldStepRefusesWalksIntoWallsAndAcrossTheirCorners) {
    drawnMaze({"######", "#....#", "#....#", "######"});
    walker(centreOf(1, 3).x, centreOf(1, 3).y, 0.0f);  // 4 units from the face of the wall at column 5
    for (int update = 0; update < 40; ++update) {
        stepUpdate();
        const Prey& q = gs.preyList[0];
        ASSERT_NE(cellCode(cellOfCoordinate(q.pos.y), cellOfCoordinate(q.pos.x)), 1) << "update " << update;
        ASSERT_LE(q.pos.x, 5 * 8.0f - 1.5f + 1e-4f) << "never within its radius of the face";
    }
    // Wall at (1, 1) with its side neighbours open, so not among the wall
    // faces of cell (2, 2); the prey stands at its corner, facing it.
    drawnMaze({"#####", "##..#", "#...#", "#...#", "#####"});
    walker(16.3f, 16.3f, 225.0f);
    stepUpdate();
    const Prey& q = gs.preyList[0];
    EXPECT_EQ(q.blocked, 1);
    EXPECT_EQ(q.moveAllowed, 0);
    EXPECT_FLOAT_EQ(q.pos.x, 16.3f);
    EXPECT_FLOAT_EQ(q.pos.y, 16.3f);
}

TEST_F(PreyWorld, MazeHeadingAgreesWithThePlainRuleAndNeverReadsOffTheGrid) {
    // Random mazes up to the largest size, from one open room to mostly
    // walls; every pair drawn is a case, targets on the wall ring included.
    randomSeed(2024);
    for (int maze = 0; maze < 150; ++maze) {
        const int rows = maze < 2 ? 100 : 4 + randomNext() % 37;
        const int cols = maze < 2 ? 100 : 4 + randomNext() % 37;
        const float openShare = maze == 1 ? 1.0f : 0.45f + 0.55f * randomFraction();
        openMaze(rows, cols);
        for (int r = 1; r < rows - 1; ++r)
            for (int c = 1; c < cols - 1; ++c) gs.mazeCells[r][c] = randomFraction() > openShare ? 1 : 0;
        for (int q = 0; q < 8; ++q) {
            const Vec3 from{(1 + randomNext() % (cols - 2) + randomFraction()) * 8.0f,
                            (1 + randomNext() % (rows - 2) + randomFraction()) * 8.0f, 0};
            const Vec3 to{(randomNext() % cols + randomFraction()) * 8.0f, (randomNext() % rows + randomFraction()) * 8.0f, 0};
            const uint32_t seed = gs.randomState;
            const float expected = plainMazeHeading(from, to);
            const uint32_t after = gs.randomState;
            gs.randomState = seed;
            EXPECT_EQ(mazeHeading(from, to), expected) << "maze " << maze << " case " << q;
            EXPECT_EQ(gs.randomState, after);
        }
    }
    openMaze(100, 100);
    gs.mazeCells[99][99] = 0;  // a hole in the wall ring at the far corner
    const Vec3 inside = centreOf(50, 50);
    for (Vec3 odd : {Vec3{-50.0f, 10.0f, 0}, Vec3{10.0f, -0.5f, 0}, Vec3{1e9f, 1e9f, 0}, Vec3{NAN, 5.0f, 0},
                     centreOf(99, 99), Vec3{800.0f, 400.0f, 0}})
        for (float h : {mazeHeading(inside, odd), mazeHeading(odd, inside)}) EXPECT_TRUE(h >= 0.0f && h <= 360.0f);
    gs.cellSize = 0.0f;  // no level yet
    const float h = mazeHeading(inside, Vec3{});
    EXPECT_TRUE(h >= 0.0f && h <= 360.0f);
}

}  // namespace
