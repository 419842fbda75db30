// test_poses.cpp -- the pose file: reading, derived motion tables, damaged
// files, and the shipped pose set's walk.
#include <cmath>
#include <string>

#include "prey_test_util.h"

using namespace preytest;

namespace {

// The walk and turn tables derived from the hand-written roots are checked
// where they act, step by step, in test_behaviour.
TEST(PoseFile, ReadsEveryJointAndAStillRootMovesOnlyByTheStride) {
    PreyPoseSet set;
    ASSERT_EQ(readPreyPosesText(poseText(10.0f, handRoots()), set), kPreyPoseNumbers);
    EXPECT_FLOAT_EQ(set.stride, 10.0f);
    // The other joints land where the file puts them.
    EXPECT_FLOAT_EQ(set.poses[17][9].offset.x, 17.0f);
    EXPECT_FLOAT_EQ(set.poses[17][9].angle, 26.0f);
    EXPECT_FLOAT_EQ(set.poses[3][0].offset.z, 3.3f);

    // An all-zero root moves only by the stride, on the last walk step.
    ASSERT_EQ(readPreyPosesText(poseText(2.5f, std::vector<Root>(kPreyPoseCount, Root{0, 0, 0, 1})), set),
              kPreyPoseNumbers);
    for (int k = 0; k < 8; ++k) EXPECT_EQ(set.walkStep[k], k == 7 ? 2.5f : 0.0f);
    for (int j = 0; j < 8; ++j) {
        EXPECT_EQ(set.turnDistance[j / 4][j % 4], 0.0f);
        EXPECT_EQ(set.turnDelta[j / 4][j % 4], 0.0f);
    }
}

TEST(PoseFile, ShortDamagedOrMissingFilesKeepWhatWasReadAndZeroTheRest) {
    PreyPoseSet set;
    set.poses[5][5].angle = 99.0f;  // leftovers from an earlier read must not survive
    // Stride and one and a half joints; pose 1 then reads as 0, so step 1 moves -2.
    EXPECT_EQ(readPreyPosesText("4  0 -2 3.3 0 0 0 1  7 8 9", set), 11);
    EXPECT_FLOAT_EQ(set.poses[0][0].offset.y, -2.0f);
    EXPECT_FLOAT_EQ(set.poses[0][1].offset.z, 9.0f);
    EXPECT_EQ(set.poses[0][1].angle, 0.0f);
    EXPECT_EQ(set.poses[5][5].angle, 0.0f);
    EXPECT_FLOAT_EQ(set.walkStep[0], -2.0f);
    EXPECT_FLOAT_EQ(set.walkStep[7], 6.0f);

    // Reading stops at the first token that is not a sane, finite number.
    const std::vector<std::string> damaged = {"1 2 x 4",   "1 2 nan 4", "1 2 inf 4", "1 2 1e39 4", "1 2 1e6 4",
                                              "1 2 3.5q 4", "1 2 -- 4",  "1 2 0x 4",  "1 2 " + std::string(5000, '7') + " 4"};
    for (const std::string& text : damaged) {
        EXPECT_EQ(readPreyPosesText(text, set), 2) << text;
        EXPECT_EQ(set.poses[0][0].offset.y, 0.0f) << text;
        EXPECT_TRUE(std::isfinite(set.walkStep[7])) << text;
    }
    EXPECT_EQ(readPreyPosesText("", set), 0);
    EXPECT_EQ(set.stride, 0.0f);
    // Numbers after the last one the set needs are ignored.
    EXPECT_EQ(readPreyPosesText(poseText(10.0f, handRoots()) + " 5 6 garbage", set), kPreyPoseNumbers);

    // A missing file is reported and leaves a still set.
    testing::internal::CaptureStderr();
    EXPECT_FALSE(readPreyPoses("/nonexistent/PreyPoses.dat", set));
    EXPECT_NE(testing::internal::GetCapturedStderr().find("PreyPoses.dat"), std::string::npos);
    EXPECT_EQ(set.stride, 0.0f);
    for (float w : set.walkStep) EXPECT_EQ(w, 0.0f);
    EXPECT_EQ(set.poses[17][9].offset.x, 0.0f);
}

// ---------------------------------------------------------------------------
// The shipped pose set
// ---------------------------------------------------------------------------

// Position (y, z) of a leg's foot joint (joint first + 3) in the hips' y-z
// plane: every leg joint rotates about +x.
std::pair<float, float> footOf(const PoseJoint* pose, int first) {
    double y = 0, z = 0, angle = 0;
    for (int j = first; j < first + 4; ++j) {
        y += pose[j].offset.y * std::cos(angle) - pose[j].offset.z * std::sin(angle);
        z += pose[j].offset.y * std::sin(angle) + pose[j].offset.z * std::cos(angle);
        angle += pose[j].angle * 0.017453292519943295 * pose[j].axis.x;
    }
    return {static_cast<float>(y), static_cast<float>(z)};
}

TEST(ShippedPoses, WalkMakesOneStrideOnPlantedFeetAndTurnsAreVisible) {
    PreyPoseSet set;
    ASSERT_TRUE(readPreyPoses(MAZE_DATA_DIR "/PreyPoses.dat", set)) << "run the build first";
    float sum = 0.0f;
    for (float w : set.walkStep) {
        EXPECT_GT(w, 0.0f);
        sum += w;
    }
    EXPECT_GT(set.stride, 0.5f);
    EXPECT_NEAR(sum, set.stride, 1e-4);
    for (int j = 0; j < 4; ++j) {
        EXPECT_TRUE(set.turnDelta[1][j] >= 10.0f && set.turnDelta[1][j] <= 25.0f) << "left turn step " << j;
        EXPECT_TRUE(set.turnDelta[0][j] <= -10.0f && set.turnDelta[0][j] >= -25.0f) << "right turn step " << j;
        EXPECT_LT(set.turnDistance[0][j], 0.5f);
        EXPECT_LT(set.turnDistance[1][j], 0.5f);
    }
    // The carrying foot does not slide: its backward travel under the hips,
    // at the drawing's half scale, is the walk step, and it stays on the
    // ground (sole height 0.25); the other foot never goes below it.
    for (int k = 0; k < 8; ++k) {
        const int leg = k < 4 ? 2 : 6, other = 8 - leg;  // the left leg carries the first half
        const auto [y0, z0] = footOf(set.poses[k], leg);
        const float y1 = footOf(set.poses[k + 1], leg).first;
        EXPECT_NEAR((y1 - y0) * 0.5f, set.walkStep[k], 2e-3) << "walk step " << k + 1;
        EXPECT_NEAR(set.poses[k][0].offset.z + z0, 0.25f, 2e-3) << "pose " << k;
        EXPECT_GE(set.poses[k][0].offset.z + footOf(set.poses[k], other).second, 0.25f - 2e-3) << "pose " << k;
    }
    // Stance B mirrors stance A, whose left foot is forward (-y).
    EXPECT_NEAR(footOf(set.poses[0], 2).first, footOf(set.poses[4], 6).first, 1e-3);
    EXPECT_LT(footOf(set.poses[0], 2).first, 0.0f);
}

}  // namespace
