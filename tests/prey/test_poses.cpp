// test_poses.cpp -- the pose file: reading, derived motion tables, damaged
// files, and the shipped pose set's walk.
#include <cmath>
#include <fstream>
#include <string>

#include "prey_test_util.h"

using namespace preytest;

namespace {

TEST(PoseFile, DerivesWalkAndTurnTablesFromTheRootJoint) {
    PreyPoseSet set;
    ASSERT_EQ(readPreyPosesText(poseText(10.0f, handRoots()), set), kPreyPoseNumbers);
    EXPECT_FLOAT_EQ(set.stride, 10.0f);

    const float walk[8] = {1, 1.5f, 1.5f, 1, 1, 1.5f, 1.5f, 1};
    for (int k = 0; k < 8; ++k) EXPECT_NEAR(set.walkStep[k], walk[k], 1e-5) << "walk step " << k + 1;

    // Right turn: the mirror of the left turn's heading steps, whatever its
    // own root angles say; each step moves 0.5 at atan2(0.4, 0.3) = 53.13
    // degrees plus the signed angle of the pose it starts from.
    const float right[4] = {-5, -20, -20, -5};
    const float rightFrom[4] = {0, 10, 30, 45};
    for (int j = 0; j < 4; ++j) {
        EXPECT_NEAR(set.turnDelta[0][j], right[j], 1e-4);
        EXPECT_NEAR(set.turnDistance[0][j], 0.5f, 1e-5);
        EXPECT_NEAR(set.turnBearing[0][j], 53.130102f - rightFrom[j], 1e-3);
    }
    // Left turn: heading grows; straight-on moves of 0.6.
    const float left[4] = {5, 20, 20, 5};
    const float leftFrom[4] = {0, 5, 25, 45};
    for (int j = 0; j < 4; ++j) {
        EXPECT_NEAR(set.turnDelta[1][j], left[j], 1e-4);
        EXPECT_NEAR(set.turnDistance[1][j], 0.6f, 1e-5);
        EXPECT_NEAR(set.turnBearing[1][j], leftFrom[j], 1e-3);
    }
    // The other joints land where the file puts them.
    EXPECT_FLOAT_EQ(set.poses[17][9].offset.x, 17.0f);
    EXPECT_FLOAT_EQ(set.poses[17][9].angle, 26.0f);
    EXPECT_FLOAT_EQ(set.poses[3][0].offset.z, 3.3f);
}

TEST(PoseFile, StillRootMovesOnlyByTheStrideOnTheLastWalkStep) {
    PreyPoseSet set;
    ASSERT_EQ(readPreyPosesText(poseText(2.5f, std::vector<Root>(kPreyPoseCount, Root{0, 0, 0, 1})), set),
              kPreyPoseNumbers);
    for (int k = 0; k < 7; ++k) EXPECT_EQ(set.walkStep[k], 0.0f);
    EXPECT_FLOAT_EQ(set.walkStep[7], 2.5f);
    for (int s = 0; s < 2; ++s)
        for (int j = 0; j < 4; ++j) {
            EXPECT_EQ(set.turnDistance[s][j], 0.0f);
            EXPECT_EQ(set.turnDelta[s][j], 0.0f);
        }
}

TEST(PoseFile, ShortOrDamagedFilesKeepWhatWasReadAndZeroTheRest) {
    PreyPoseSet set;
    set.poses[5][5].angle = 99.0f;  // leftovers from an earlier read must not survive

    // Stride and one and a half joints.
    EXPECT_EQ(readPreyPosesText("4  0 -2 3.3 0 0 0 1  7 8 9", set), 11);
    EXPECT_FLOAT_EQ(set.stride, 4.0f);
    EXPECT_FLOAT_EQ(set.poses[0][0].offset.y, -2.0f);
    EXPECT_FLOAT_EQ(set.poses[0][1].offset.z, 9.0f);
    EXPECT_EQ(set.poses[0][1].angle, 0.0f);
    EXPECT_EQ(set.poses[5][5].angle, 0.0f);
    // Tables derived all the same: pose 1 reads as 0, so step 1 moves -2.
    EXPECT_FLOAT_EQ(set.walkStep[0], -2.0f);
    EXPECT_FLOAT_EQ(set.walkStep[7], 0.0f - (-2.0f) + 4.0f);

    // Reading stops at the first token that is not a sane, finite number.
    const char* damaged[] = {"1 2 x 4",     "1 2 nan 4",   "1 2 inf 4", "1 2 1e39 4",
                             "1 2 1e6 4",   "1 2 3.5q 4",  "1 2 -- 4",  "1 2 0x 4"};
    for (const char* text : damaged) {
        EXPECT_EQ(readPreyPosesText(text, set), 2) << text;
        EXPECT_EQ(set.poses[0][0].offset.y, 0.0f) << text;
        EXPECT_TRUE(std::isfinite(set.walkStep[7])) << text;
    }
    EXPECT_EQ(readPreyPosesText("1 2 " + std::string(5000, '7') + " 4", set), 2);
    EXPECT_EQ(readPreyPosesText("", set), 0);
    EXPECT_EQ(set.stride, 0.0f);

    // Numbers after the last one the set needs are ignored.
    const std::string full = poseText(10.0f, handRoots());
    EXPECT_EQ(readPreyPosesText(full + " 5 6 garbage", set), kPreyPoseNumbers);
}

TEST(PoseFile, MissingFileIsReportedAndLeavesAStillSet) {
    PreyPoseSet set;
    ASSERT_EQ(readPreyPosesText(poseText(10.0f, handRoots()), set), kPreyPoseNumbers);
    testing::internal::CaptureStderr();
    EXPECT_FALSE(readPreyPoses("/nonexistent/PreyPoses.dat", set));
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("PreyPoses.dat"), std::string::npos);
    EXPECT_EQ(set.stride, 0.0f);
    for (float w : set.walkStep) EXPECT_EQ(w, 0.0f);
    EXPECT_EQ(set.poses[17][9].offset.x, 0.0f);
}

TEST(PoseFile, PoseNumbersAreClampedIntoTheTable) {
    EXPECT_EQ(clampPreyPose(-3), 0);
    EXPECT_EQ(clampPreyPose(0), 0);
    EXPECT_EQ(clampPreyPose(12), 12);
    EXPECT_EQ(clampPreyPose(17), 17);
    EXPECT_EQ(clampPreyPose(18), 17);
    EXPECT_EQ(clampPreyPose(1 << 30), 17);
}

// ---------------------------------------------------------------------------
// The shipped pose set
// ---------------------------------------------------------------------------

// Position of a leg's foot joint (joint first + 3) in the hips' y-z plane:
// every leg joint rotates about +x.
void footOf(const PoseJoint* pose, int first, float& y, float& z) {
    double py = 0, pz = 0, angle = 0;
    for (int j = first; j < first + 4; ++j) {
        const PoseJoint& joint = pose[j];
        // Offset in the parent's rotated frame, then this joint's rotation.
        py += joint.offset.y * std::cos(angle) - joint.offset.z * std::sin(angle);
        pz += joint.offset.y * std::sin(angle) + joint.offset.z * std::cos(angle);
        angle += joint.angle * 0.017453292519943295 * joint.axis.x;
    }
    y = static_cast<float>(py);
    z = static_cast<float>(pz);
}

class ShippedPoses : public ::testing::Test {
protected:
    PreyPoseSet set;
    void SetUp() override {
        ASSERT_TRUE(readPreyPoses(MAZE_DATA_DIR "/PreyPoses.dat", set)) << "run the build first";
    }
};

TEST_F(ShippedPoses, WalkStepsArePositiveAndMakeOneStride) {
    float sum = 0.0f;
    for (float w : set.walkStep) {
        EXPECT_GT(w, 0.0f);
        sum += w;
    }
    EXPECT_NEAR(sum, set.stride, 1e-4);
    EXPECT_GT(set.stride, 0.5f);
}

TEST_F(ShippedPoses, TurnStepsTurnVisiblyLeftAndRight) {
    for (int j = 0; j < 4; ++j) {
        EXPECT_GE(set.turnDelta[1][j], 10.0f) << "left turn step " << j;
        EXPECT_LE(set.turnDelta[1][j], 25.0f) << "left turn step " << j;
        EXPECT_LE(set.turnDelta[0][j], -10.0f) << "right turn step " << j;
        EXPECT_GE(set.turnDelta[0][j], -25.0f) << "right turn step " << j;
        EXPECT_LT(set.turnDistance[0][j], 0.5f);
        EXPECT_LT(set.turnDistance[1][j], 0.5f);
    }
}

// The planted foot must not slide: while a foot carries the creature, its
// backward travel under the hips, at the drawing's half scale, equals the
// ground motion of the walk step; and it stays on the ground.
TEST_F(ShippedPoses, PlantedFootMatchesTheGroundMotion) {
    const float sole = 0.25f;
    for (int k = 0; k < 8; ++k) {
        const int leg = k < 4 ? 2 : 6;  // the left leg carries the first half of the cycle
        float y0, z0, y1, z1;
        footOf(set.poses[k], leg, y0, z0);
        footOf(set.poses[k + 1], leg, y1, z1);
        EXPECT_NEAR((y1 - y0) * 0.5f, set.walkStep[k], 2e-3) << "walk step " << k + 1;
        EXPECT_NEAR(set.poses[k][0].offset.z + z0, sole, 2e-3) << "pose " << k;
        // The other foot is in the air or on the ground, never below it.
        float oy, oz;
        footOf(set.poses[k], leg == 2 ? 6 : 2, oy, oz);
        EXPECT_GE(set.poses[k][0].offset.z + oz, sole - 2e-3) << "pose " << k;
    }
    // Stance B mirrors stance A.
    float ay, az, by, bz;
    footOf(set.poses[0], 2, ay, az);
    footOf(set.poses[4], 6, by, bz);
    EXPECT_NEAR(ay, by, 1e-3);
    EXPECT_LT(ay, 0.0f) << "in stance A the left foot is forward (-y)";
}

}  // namespace
