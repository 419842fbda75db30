// gen_poses.cpp -- writes the prey pose set "PreyPoses.dat".
//
// Usage: gen_poses <output path>
//
// The creature is a two-legged walker, 3 world units tall when drawn at the
// game's half scale. Pose space: the creature faces -y, +x is its left side,
// +z is up, lengths in model units (the drawing scales by 0.5).
//
// Skeleton (10 joints; part k is drawn in the frame of joint k; each joint
// translates by its offset, then rotates by its angle about its axis):
//
//   joint 0  hips (root). Drawn lifted by offset z only: the hip height,
//            3.25 to 3.35 with a small bob. Offset x, y and the angle about z
//            are NOT drawn; they are the root motion from which the game
//            derives the prey's ground motion, in world units (x, y) and
//            degrees (angle; axis z +1 for the left turn, -1 for the right).
//   joint 1  upper body, child of the hips: offset (0, 0, 0.35); twist about
//            +z (the game adds its own aiming turn on top).
//   joints 2..5  first (left) leg, a chain starting from the hips:
//            2 hip joint   offset (+0.75, 0, -0.15)  thigh hangs down -z
//            3 knee        offset (0, 0, -1.4)       (thigh length 1.4)
//            4 ankle       offset (0, 0, -1.4)       (shin length 1.4)
//            5 foot        offset (0, 0, -0.6)       (metatarsus length 0.6)
//            every leg joint rotates about +x (pitch; positive swings the
//            part below it backwards, towards +y). The foot part's sole lies
//            0.25 below joint 5 and is kept level.
//   joints 6..9  second (right) leg, the same chain with hip offset
//            (-0.75, 0, -0.15).
//
// Poses (18):
//   0        stance A: left foot forward, right foot back, both down.
//   1..8     walk cycle at phase k/8: the left foot is planted and slides
//            back under the hips during phase 0..1/2 while the right swings
//            forward, then the other way round. Pose 4 is stance B (right
//            foot forward), pose 8 equals stance A.
//   8..12    right turn: legs step from stance A to stance B in place while
//            the root turns by 9, 22.5, 36, 45 degrees about -z.
//   13..17   left turn: the same legs, the root turning about +z.
//
// Root motion: the walk moves the root 0.3 world units along -y per step (a
// stride of 2.4 per cycle), exactly the planted foot's travel at half scale,
// so the feet do not slide. Each turn step shuffles 0.1 forward.
#include <cmath>
#include <cstdio>

namespace {

constexpr int kPoses = 18;
constexpr int kJoints = 10;
constexpr double kPi = 3.14159265358979323846;
constexpr double kDeg = 180.0 / kPi;

constexpr double kStride = 2.4;        // world units of ground motion per walk cycle
constexpr double kHipHeight = 3.3;     // model units, mean
constexpr double kHipBob = 0.05;
constexpr double kHipJointDrop = 0.15;
constexpr double kHipJointSide = 0.75;
constexpr double kThigh = 1.4;
constexpr double kShin = 1.4;
constexpr double kMetatarsus = 0.6;
constexpr double kSole = 0.25;
constexpr double kFootReach = 1.2;     // foot ahead of / behind the hip at the stances (model units)
constexpr double kFootLift = 0.5;      // highest lift of a swinging foot
constexpr double kTurnAngles[5] = {0.0, 9.0, 22.5, 36.0, 45.0};
constexpr double kTurnShuffle = 0.1;   // world units forward per turn step

struct Joint {
    double ox = 0, oy = 0, oz = 0, angle = 0, ax = 0, ay = 0, az = 0;
};

struct LegAngles {
    double hip = 0, knee = 0, ankle = 0, foot = 0;
};

// Leg at phase s (0..1): planted and sliding back during the first half,
// swinging forward with a lift during the second. Angles in degrees, from
// two-link inverse kinematics on thigh and shin with the metatarsus upright.
LegAngles legAt(double s, double hipHeight) {
    s -= std::floor(s);
    double footY, lift;
    if (s <= 0.5) {
        footY = -kFootReach + 2.0 * kFootReach * (s / 0.5);
        lift = 0.0;
    } else {
        const double t = (s - 0.5) / 0.5;
        const double eased = t * t * (3.0 - 2.0 * t);
        footY = kFootReach - 2.0 * kFootReach * eased;
        lift = kFootLift * std::sin(kPi * t);
    }
    // Target of joint 4 (the end of the shin) relative to the hip joint.
    const double ankleZ = -(hipHeight - kHipJointDrop) + kSole + kMetatarsus + lift;
    const double ankleY = footY;
    const double reach = std::sqrt(ankleY * ankleY + ankleZ * ankleZ);
    double c = (reach * reach) / (2.0 * kThigh * kShin) - 1.0;
    if (c > 1.0) c = 1.0;
    if (c < -1.0) c = -1.0;
    LegAngles a;
    const double knee = std::acos(c);                    // >= 0: shin swings back of the thigh
    const double chord = std::atan2(ankleY, -ankleZ);    // from straight down towards +y
    const double hip = chord - knee / 2.0;
    a.hip = hip * kDeg;
    a.knee = knee * kDeg;
    a.ankle = -(hip + knee) * kDeg;  // metatarsus upright, so the foot stays level
    a.foot = 0.0;
    return a;
}

void setLeg(Joint* j, double side, const LegAngles& a) {
    j[0] = Joint{side, 0, -kHipJointDrop, a.hip, 1, 0, 0};
    j[1] = Joint{0, 0, -kThigh, a.knee, 1, 0, 0};
    j[2] = Joint{0, 0, -kShin, a.ankle, 1, 0, 0};
    j[3] = Joint{0, 0, -kMetatarsus, a.foot, 1, 0, 0};
}

// Legs, hips and upper body at walk phase `phase`; root motion left at 0.
void bodyAt(Joint* pose, double phase, double twist) {
    const double hipHeight = kHipHeight + kHipBob * std::cos(4.0 * kPi * phase);
    pose[0] = Joint{0, 0, hipHeight, 0, 0, 0, 1};
    pose[1] = Joint{0, 0, 0.35, twist, 0, 0, 1};
    setLeg(pose + 2, kHipJointSide, legAt(phase, hipHeight));
    setLeg(pose + 6, -kHipJointSide, legAt(phase + 0.5, hipHeight));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: gen_poses <output path>\n");
        return 2;
    }
    Joint poses[kPoses][kJoints];

    // Walk cycle: poses 0..8 at phase k/8, the upper body swaying against the hips.
    for (int k = 0; k <= 8; ++k) {
        const double phase = k / 8.0;
        bodyAt(poses[k], phase, 5.0 * std::sin(2.0 * kPi * phase));
        if (k < 8) poses[k][0].oy = -kStride / 8.0 * k;
    }
    // Turns: stance A to stance B in place; pose 8 starts the right turn.
    for (int s = 0; s < 2; ++s) {
        const int first = s == 0 ? 8 : 13;
        const double axisZ = s == 0 ? -1.0 : 1.0;
        for (int j = 0; j <= 4; ++j) {
            Joint* pose = poses[first + j];
            bodyAt(pose, j / 8.0, axisZ * 4.0 * j);  // the upper body leads the turn
            pose[0].oy = -kTurnShuffle * j;
            pose[0].angle = kTurnAngles[j];
            pose[0].az = axisZ;
        }
    }

    std::FILE* out = std::fopen(argv[1], "w");
    if (!out) {
        std::fprintf(stderr, "gen_poses: cannot write %s\n", argv[1]);
        return 1;
    }
    std::fprintf(out, "%.6f\n", kStride);
    for (const auto& pose : poses) {
        for (const Joint& j : pose)
            // Adding 0.0 turns a negative zero into a plain 0.
            std::fprintf(out, "%.6f %.6f %.6f %.6f %.6f %.6f %.6f\n", j.ox + 0.0, j.oy + 0.0, j.oz + 0.0,
                         j.angle + 0.0, j.ax + 0.0, j.ay + 0.0, j.az + 0.0);
        std::fprintf(out, "\n");
    }
    if (std::fclose(out) != 0) {
        std::fprintf(stderr, "gen_poses: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
