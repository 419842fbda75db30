// prey.h -- the prey creatures: pose set, motion tables and behaviour.
//
// A prey performs one PreyAction at a time, one step per behaviour update
// (every third world step). Each step shows one stored pose and proposes one
// small move taken from the motion tables, which are derived from the same
// pose file as the drawing, so the feet stay in step with the ground motion.
// The world step tests the proposal against walls and bodies and commits or
// refuses it; the behaviour decides anew when an action ends or a move is
// refused. Runs on the server only.
#pragma once

#include <string>

#include "world/world.h"

// ---------------------------------------------------------------------------
// Pose set and motion tables
// ---------------------------------------------------------------------------

constexpr int kPreyPoseCount = 18;   // 0 stance A, 1..8 walk (4 = stance B), 8..12 and 13..17 turns
constexpr int kPreyJointCount = 10;  // 0 hips (root), 1 upper body, 2..5 first leg, 6..9 second leg
constexpr int kPreyPartCount = 10;   // part k is placed by joint k
constexpr int kPreyWalkSteps = 8;
constexpr int kPreyTurnSteps = 4;
// Numbers in a complete pose file: the stride, then 7 per joint per pose.
constexpr int kPreyPoseNumbers = 1 + kPreyPoseCount * kPreyJointCount * 7;

constexpr const char* kPreyPoseFileName = "PreyPoses.dat";
// Largest pose file read: its 1261 numbers at the longest token the reader
// takes (64 characters) and a separator each are 82 KB; the rest is room for
// spacing and ignored trailing text.
constexpr size_t kMaxPreyPoseFileSize = 256 * 1024;

// One joint of one pose: translate by offset (model units), then rotate by
// angle (degrees) about axis.
struct PoseJoint {
    Vec3 offset;
    float angle = 0.0f;
    Vec3 axis;
};

// The poses and the ground motion derived from the root joint (joint 0, whose
// offset x, y and angle carry the motion and are not drawn).
struct PreyPoseSet {
    float stride = 0.0f;                             // root travel over one walk cycle
    PoseJoint poses[kPreyPoseCount][kPreyJointCount] = {};
    float walkStep[kPreyWalkSteps] = {};             // ground distance of walk step k + 1
    float turnDelta[2][kPreyTurnSteps] = {};         // heading change (degrees) of turn step
    float turnDistance[2][kPreyTurnSteps] = {};      // ground distance of turn step
    float turnBearing[2][kPreyTurnSteps] = {};       // degrees from the heading of that move
};

// The game's pose set, filled once at start-up (all zero until then: prey
// then make no ground motion).
extern PreyPoseSet preyPoses;

// Fills the derived tables of `set` from its stride and root joints.
void derivePreyMotion(PreyPoseSet& set);

// Reads pose numbers from `text` into `set` (which starts zeroed; numbers not
// read stay 0) and derives the motion tables. Reading stops at the first
// token that is not a finite number of sane size. Returns how many of the
// kPreyPoseNumbers numbers were read.
int readPreyPosesText(const std::string& text, PreyPoseSet& set);

// Reads the pose file at `path` as readPreyPosesText does. Prints one line on
// the error stream when the file is missing, unreadable, larger than
// kMaxPreyPoseFileSize (then read as a missing one: a still set) or
// incomplete. Returns true when complete.
bool readPreyPoses(const char* path, PreyPoseSet& set);

// The game's start-up call: readPreyPoses(kPreyPoseFileName, preyPoses).
bool loadPreyPoseFile();

// A pose number safe to index poses with (received or corrupted values are
// clamped into 0..kPreyPoseCount - 1).
int clampPreyPose(int pose);

// ---------------------------------------------------------------------------
// Behaviour
// ---------------------------------------------------------------------------

// PreyAction (what a prey does, one step per behaviour update) is declared
// with the Prey record in world/world.h; its table is in behaviour.cpp.


constexpr int kPreyUpdateDivider = 3;        // behaviour runs on every third world step
constexpr int kStuckRetreat = 5;             // refused moves before random retreats
constexpr int kStuckSnap = 20;               // refused moves before the pull to the cell centre
constexpr float kHeadingTolerance = 22.5f;   // degrees
constexpr float kPreySightRange = 80.0f;     // a fighter nearer than this becomes the target
constexpr float kLookAroundChance = 0.2f;
constexpr float kPreyFireRange = 50.0f;      // shots only at targets nearer than this
constexpr float kPreyMinRange = 15.0f;       // at or inside this the prey backs off
constexpr float kApproachFactor = 0.8f;      // a seen target beyond 40 is walked towards
constexpr float kManeuverFactor = 0.6666667f;
constexpr int kShotPause = 50;               // updates after a shot spent engaged
constexpr int kShotMinInterval = 10;         // updates before the next shot
constexpr float kAimCone = 45.0f;            // degrees between facing and target to shoot
constexpr float kAimJitter = 5.0f;           // degrees of aim error either side
constexpr float kPreyMuzzleOffset = 1.2f;    // shot origin beside the body
constexpr float kPreyMuzzleAngle = 60.0f;    // degrees either side of the aim
constexpr float kPreyMuzzleHeight = 2.0f;
constexpr float kPreyElevationJitter = 0.25f;  // degrees either side

// The prey's part of a world step (the PreyBehaviour handed to worldStep):
// on every kPreyUpdateDivider-th call one behaviour update, which writes
// nextPos, nextDir, the pending flags, pose, bodyTurn and the behaviour
// fields and may fire a shot; on the others it only counts the call.
void updatePrey(Prey& p);

// True when the next updatePrey call runs a behaviour update.
inline bool preyUpdateDue(const Prey& p) { return p.tick + 1 >= kPreyUpdateDivider; }

// The decision point of a prey in Hunt mode: approach, square up and shoot,
// or back off. Sets action and actionStep and possibly mode, turning,
// wantedHeading, sinceShot, bodyTurn, maneuvering.
void huntDecision(Prey& p);

// Fires the prey's shot: one PreyCannon bullet from 1.2 units beside the body
// at height 2.0 along the upper body's facing. Sets dir to the shot direction
// (the world step restores it from nextDir).
void fireShot(Prey& p);

// Heading in degrees (0, 90, 180 or 270) of the first grid move on a good
// path from the cell of `from` to the cell of `to` through open cells (code
// 0); a random heading in [0, 360] when the target cell cannot be reached.
float mazeHeading(Vec3 from, Vec3 to);

// A heading difference in degrees normalised into (-180, 180].
float normaliseHeadingDifference(float degrees);
