// test_prey.cpp -- the pose file, walls refusing the prey's moves, the maze
// path-finder against the plain rule, and the prey's decisions update by
// update: whom it hunts, when it shoots and where, backing off, turning
// away from a wall.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <sstream>
#include <string>
#include <utility>
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
    editMaze().rows = static_cast<int>(rows.size());
    editMaze().cols = static_cast<int>(rows[0].size());
    editMaze().cellSize = 8.0f;
    for (int r = 0; r < kMaxMazeSize; ++r)
        for (int c = 0; c < kMaxMazeSize; ++c)
            editMaze().cells[r][c] = r < maze.rows && c < maze.cols && rows[r][c] == '#' ? 1 : 0;
}

// An open maze of rows x cols cells inside a wall ring.
void openMaze(int rows, int cols) {
    std::vector<std::string> m(rows, '#' + std::string(cols - 2, '.') + '#');
    m.front() = m.back() = std::string(cols, '#');
    drawnMaze(m);
}

Vec3 centreOf(int row, int col) { return Vec3{(col + 0.5f) * maze.cellSize, (row + 0.5f) * maze.cellSize, 0.0f}; }

// A fresh world, the poses cleared again after each test.
class PreyTest : public ::testing::Test {
protected:
    void TearDown() override {
        preyPoses = PreyPoseSet{};
        resetGameStateForTest();
    }
};

// With the recognisable poses above.
class PreyWorld : public PreyTest {
protected:
    void SetUp() override {
        resetGameStateForTest();
        ASSERT_EQ(readPreyPosesText(poseText(), preyPoses), kPreyPoseNumbers);
        randomSeed(0);
    }
};

// With the game's own poses (their turns change the heading by 45 degrees).
// Fighters hold no keys: they stand where put.
class PreyDecisions : public PreyTest {
protected:
    void SetUp() override {
        resetGameStateForTest();
        ASSERT_TRUE(readPreyPoses(MAZE_DATA_DIR "/PreyPoses.dat", preyPoses)) << "run the build first";
    }
};

// The only prey, standing in stance A at `at` facing `degrees` (+x by
// default), deciding at the next world step.
Prey& standingPrey(Vec3 at, PreyMode mode, int target = 0, float degrees = 0.0f) {
    Prey p;
    p.pos = p.nextPos = Vec3{at.x, at.y, 1.5f};
    p.dir = p.nextDir = Vec3{std::cos(radiansFromDegreesF(degrees)), std::sin(radiansFromDegreesF(degrees)), 0.0f};
    p.moveAllowed = 1;
    p.action = PreyAction::StandA;
    p.mode = mode;
    p.target = target;
    p.tick = kPreyUpdateDivider - 1;
    gs.preyList.assign(1, p);
    return gs.preyList[0];
}

// One roaming prey walking from `at`; the next update proposes walk step 1,
// 1.0 forward.
void walker(Vec3 at, float degrees) {
    Prey& p = standingPrey(at, PreyMode::Roam, 0, degrees);
    p.action = PreyAction::WalkForward;
    p.actionStep = 0;
}

int addFighter(Vec3 at, FighterState state = FighterState::InPlay) {
    Fighter f;
    f.pos = f.nextPos = Vec3{at.x, at.y, kFighterHeight};
    f.dir = f.nextDir = directionFromCode(3);
    f.state = state;
    gs.fighterList.push_back(f);
    return fighterCount() - 1;
}

// One world step; returns the bullets it fired (those not flown on from before).
std::vector<Bullet> stepAndFired() {
    const std::vector<Bullet> before = gs.bulletList;
    process.clockPrevMs = process.clockNowMs;
    process.clockNowMs += 10;
    worldStep(updatePrey);
    std::vector<Bullet> fired;
    for (const Bullet& b : gs.bulletList)
        if (std::none_of(before.begin(), before.end(), [&b](const Bullet& q) {
                return q.pos.x + q.dir.x * kBulletSpeed == b.pos.x && q.pos.y + q.dir.y * kBulletSpeed == b.pos.y;
            }))
            fired.push_back(b);
    return fired;
}

// Runs world steps until the prey's behaviour has run once more.
void stepUpdate() {
    for (int i = 0; i < kPreyUpdateDivider; ++i) stepAndFired();
}

TEST(PoseFile, ShortDamagedMissingOrOversizedFilesKeepWhatWasReadAndZeroTheRest) {
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
    // A file over the limit, of any kind, is refused before it is read
    // whole and leaves the still set a missing file leaves, each with one
    // line; one of exactly the limit (numbers, then spacing) is read.
    const HostileFiles hostile("poses");
    ASSERT_TRUE(hostile.made());
    std::string text = poseText();
    text.resize(kMaxPreyPoseFileSize, ' ');
    const std::string atLimit = scratchDir() + "/at_limit.dat", overLimit = scratchDir() + "/over_limit.dat";
    writeBytes(atLimit, Bytes(text.begin(), text.end()));
    text.push_back(' ');
    writeBytes(overLimit, Bytes(text.begin(), text.end()));
    EXPECT_TRUE(readPreyPoses(atLimit.c_str(), set));
    EXPECT_FLOAT_EQ(set.walkStep[1], 1.5f);
    std::vector<std::string> paths = hostile.oversized();
    paths.push_back(overLimit);
    const auto leavesAStillSet = [&set](const std::string& path) {
        readPreyPosesText(poseText(), set);
        const bool refused = !readPreyPoses(path.c_str(), set) && set.stride == 0.0f;
        return refused && std::all_of(std::begin(set.walkStep), std::end(set.walkStep), [](float w) { return w == 0; });
    };
    expectRefusedInOneLine(paths, LogLevel::Error, std::to_string(kMaxPreyPoseFileSize), leavesAStillSet);
    expectRefusedInOneLine({"/nonexistent/PreyPoses.dat"}, LogLevel::Error, "not read", leavesAStillSet);
}

TEST_F(PreyWorld, WorldStepRefusesWalksIntoWallsAndAcrossTheirCorners) {
    drawnMaze({"######", "#....#", "#....#", "######"});
    walker(centreOf(1, 3), 0.0f);  // 4 units from the face of the wall at column 5
    for (int update = 0; update < 40; ++update) {
        stepUpdate();
        const Prey& q = gs.preyList[0];
        ASSERT_NE(cellCode(cellOfCoordinate(q.pos.y), cellOfCoordinate(q.pos.x)), 1) << "update " << update;
        ASSERT_LE(q.pos.x, 5 * 8.0f - 1.5f + 1e-4f) << "never within its radius of the face";
    }
    // Wall at (1, 1) with its side neighbours open, so not among the wall
    // faces of cell (2, 2); the prey stands at its corner, facing it.
    drawnMaze({"#####", "##..#", "#...#", "#...#", "#####"});
    walker(Vec3{16.3f, 16.3f, 0.0f}, 225.0f);
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
            for (int c = 1; c < cols - 1; ++c) editMaze().cells[r][c] = randomFraction() > openShare ? 1 : 0;
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
    editMaze().cells[99][99] = 0;  // a hole in the wall ring at the far corner
    const Vec3 inside = centreOf(50, 50);
    for (Vec3 odd : {Vec3{-50.0f, 10.0f, 0}, Vec3{10.0f, -0.5f, 0}, Vec3{1e9f, 1e9f, 0}, Vec3{NAN, 5.0f, 0},
                     centreOf(99, 99), Vec3{800.0f, 400.0f, 0}})
        for (float h : {mazeHeading(inside, odd), mazeHeading(odd, inside)}) EXPECT_TRUE(h >= 0.0f && h <= 360.0f);
    editMaze().cellSize = 0.0f;  // no level yet
    const float h = mazeHeading(inside, Vec3{});
    EXPECT_TRUE(h >= 0.0f && h <= 360.0f);
}

float facingOffAxis(const Prey& p) { return std::fabs(normaliseHeadingDifference(headingDegrees(p.dir))); }

// Catches hunting a fighter out of play, hunting at or beyond sight range (a
// turned comparison), and keeping a target that has left the range.
TEST_F(PreyDecisions, APreyHuntsOnlyAFighterInPlayWithinSightAndGivesUpOneThatLeaves) {
    openMaze(30, 30);
    const int dead = addFighter(Vec3{}, FighterState::Dead);
    const int far = addFighter(Vec3{});
    const int near = addFighter(Vec3{}, FighterState::Absent);
    standingPrey(centreOf(15, 3), PreyMode::Roam);
    // The prey walks; before each update the fighters are put back at their
    // distances from it: `near` at nearDistance.
    const auto place = [&](float nearDistance) {
        for (const auto& [f, distance] : {std::pair{dead, 20.0f}, std::pair{far, kPreySightRange + 0.5f},
                                          std::pair{near, nearDistance}}) {
            gs.fighterList[f].pos.x = gs.preyList[0].pos.x + distance;
            gs.fighterList[f].pos.y = gs.preyList[0].pos.y;
        }
    };
    for (int update = 0; update < 30; ++update) {
        place(kPreySightRange - 0.5f);
        stepUpdate();
        ASSERT_EQ(gs.preyList[0].mode, PreyMode::Roam) << "update " << update;
    }
    gs.fighterList[near].state = FighterState::InPlay;
    for (int update = 0; update < 30 && gs.preyList[0].mode == PreyMode::Roam; ++update) {
        place(kPreySightRange - 0.5f);
        stepUpdate();
    }
    ASSERT_EQ(gs.preyList[0].mode, PreyMode::Hunt);
    EXPECT_EQ(gs.preyList[0].target, near);
    // Beyond sight range the target is given up at the next decision.
    for (int update = 0; update < 30 && gs.preyList[0].mode == PreyMode::Hunt; ++update) {
        place(kPreySightRange + 5.0f);
        stepUpdate();
    }
    EXPECT_EQ(gs.preyList[0].mode, PreyMode::Roam);
}

// Catches shots before the minimum interval, a shot that never leaves, and
// shots aimed off the target: the target stands 20 degrees off the heading,
// so an aim turned the wrong way misses by 40.
TEST_F(PreyDecisions, APreyShootsAtATargetInSightAndRangeNoSoonerThanTheMinimumInterval) {
    // A corridor two cells high: the prey squares up along it.
    drawnMaze({std::string(24, '#'), '#' + std::string(22, '.') + '#', '#' + std::string(22, '.') + '#',
               std::string(24, '#')});
    const int target = addFighter(Vec3{5 * 8.0f + 32.0f, 22.0f});
    standingPrey(Vec3{5 * 8.0f, 10.0f, 0.0f}, PreyMode::Hunt, target);
    std::vector<int> shotAt;  // behaviour updates since the start
    for (int step = 0; step < 150 * kPreyUpdateDivider; ++step) {
        const Vec3 preyAt = gs.preyList[0].pos;
        for (const Bullet& b : stepAndFired()) {
            shotAt.push_back(step / kPreyUpdateDivider + 1);
            const Vec3 t = gs.fighterList[target].pos;
            const float off = headingDegrees(b.dir) - headingDegrees(Vec3{t.x - preyAt.x, t.y - preyAt.y, 0.0f});
            EXPECT_LE(std::fabs(normaliseHeadingDifference(off)), kAimJitter + 0.5f) << "step " << step;
        }
    }
    ASSERT_GE(shotAt.size(), 3u);
    // Started as if just after a shot: the decision needs more than the
    // interval, and the shot leaves three updates after it.
    EXPECT_GE(shotAt[0], kShotMinInterval + 1 + 3);
    for (size_t i = 1; i < shotAt.size(); ++i) EXPECT_GT(shotAt[i] - shotAt[i - 1], kShotMinInterval);
    EXPECT_LT(gs.fighterList[target].health, kStartHealth) << "the target was hit";
}

// Catches a prey that closes on a target inside its minimum range (the range
// test turned, or a backward walk that steps forwards).
TEST_F(PreyDecisions, APreyBacksOffFromATargetTooNear) {
    drawnMaze({std::string(24, '#'), '#' + std::string(22, '.') + '#', std::string(24, '#')});
    const float start = kPreyMinRange - 5.0f;
    for (uint32_t seed = 0; seed < 10; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        randomSeed(seed);
        gs.fighterList.clear();
        const int target = addFighter(Vec3{centreOf(1, 12).x + start, centreOf(1, 12).y});
        standingPrey(centreOf(1, 12), PreyMode::Hunt, target);
        // It backs off, shuffles round and squares up again, or shoots.
        for (int update = 0; update < 40; ++update) {
            stepUpdate();
            ASSERT_GE(groundDistance(gs.preyList[0].pos, gs.fighterList[target].pos), start - 0.5f) << update;
        }
        EXPECT_GT(groundDistance(gs.preyList[0].pos, gs.fighterList[target].pos), start + 1.0f);
    }
}

// Catches a prey that keeps pushing against a wall: the wall's refusal not
// noted (blocked), no heading away chosen, or turns that do not turn.
TEST_F(PreyDecisions, ARoamingPreyBlockedByAWallTurnsAwayFromIt) {
    drawnMaze({"#######", "#.....#", "#.....#", "#.....#", "#######"});
    for (uint32_t seed = 0; seed < 10; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        randomSeed(seed);
        // Walking at the east wall, 2.5 units from its face.
        Prey& p = standingPrey(Vec3{6 * 8.0f - 2.5f, centreOf(2, 5).y}, PreyMode::Roam);
        p.action = PreyAction::WalkForward;
        p.actionStep = 1;
        int update = 0;
        for (; update < 80 && facingOffAxis(gs.preyList[0]) < 90.0f - kHeadingTolerance; ++update) {
            stepUpdate();
            const Prey& q = gs.preyList[0];
            ASSERT_NE(cellCode(cellOfCoordinate(q.pos.y), cellOfCoordinate(q.pos.x)), 1) << "update " << update;
        }
        EXPECT_LT(update, 80) << "still facing the wall, heading " << headingDegrees(gs.preyList[0].dir);
    }
}

// Catches turns played from the wrong table, or B turns that do not undo
// theirs (and so turn the other way), or a turn too wide to end within the
// tolerance of a corridor's heading (the prey then swings to and fro on the
// spot for ever): a prey told to face a heading turns to it the shorter way
// round and stops turning there.
TEST_F(PreyDecisions, APreyTurnsToAWantedHeadingTheShorterWayRound) {
    openMaze(10, 10);
    for (const float wanted : {90.0f, 135.0f, 180.0f, 270.0f}) {
        SCOPED_TRACE("wanted " + std::to_string(wanted));
        Prey& p = standingPrey(centreOf(5, 5), PreyMode::Roam);
        p.turning = 1;
        p.wantedHeading = wanted;
        float left = std::fabs(normaliseHeadingDifference(wanted));
        for (int update = 0; update < 40 && gs.preyList[0].turning != 0; ++update) {
            stepUpdate();
            const float now = std::fabs(normaliseHeadingDifference(wanted - headingDegrees(gs.preyList[0].dir)));
            ASSERT_LE(now, left + 0.01f) << "update " << update << ": turning away";
            left = now;
        }
        EXPECT_EQ(gs.preyList[0].turning, 0);
        EXPECT_LT(left, kHeadingTolerance);
    }
}

}  // namespace
