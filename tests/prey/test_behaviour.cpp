// test_behaviour.cpp -- the prey's update cycle: cadence, the actions' poses
// and ground motion, refused moves, turning to a wanted heading, roaming.
#include <cmath>
#include <string>

#include "prey_test_util.h"

using namespace preytest;

namespace {

class Behaviour : public PreyTest {};

TEST_F(Behaviour, StandsStillForTwoStepsAndDecidesOnTheThird) {
    Prey p = preyAt(5, 5, 90.0f);
    p.nextPos = Vec3{1, 2, 3};  // a proposal that must survive the quiet calls
    for (int call = 0; call < 2; ++call) {
        updatePrey(p);
        EXPECT_EQ(p.sinceShot, 0);
        EXPECT_EQ(p.turnPending, 0);
        EXPECT_EQ(p.nextPos.x, 1.0f);
    }
    updatePrey(p);
    EXPECT_EQ(p.tick, 0);
    EXPECT_EQ(p.sinceShot, 1);
    EXPECT_EQ(p.turnPending, 1);
    EXPECT_EQ(p.movePending, 1);
    // And so on: every third call.
    int bodies = 0;
    for (int call = 0; call < 30; ++call) {
        const int before = p.sinceShot;
        updatePrey(p);
        commit(p);
        if (p.sinceShot != before) ++bodies;
    }
    EXPECT_EQ(bodies, 10);
}

TEST_F(Behaviour, WalkForwardShowsEachPoseAndMovesByItsStep) {
    Prey p = preyAt(10, 10, 30.0f);
    p.action = WalkForward;
    p.actionStep = 0;  // the next update applies step 1
    for (int k = 1; k <= 8; ++k) {
        if (k == 5) arrangeDraws({above(kLookAroundChance)});  // the half-cycle decision: no look
        const Vec3 from = p.pos;
        decideNow(p);
        EXPECT_EQ(p.action, WalkForward);
        EXPECT_EQ(p.actionStep, k);
        EXPECT_EQ(p.pose, k);
        commit(p);
        float along, across;
        motionAlong(from, p.pos, 30.0f, along, across);
        EXPECT_NEAR(along, preyPoses.walkStep[k - 1], 1e-4) << "step " << k;
        EXPECT_NEAR(across, 0.0f, 1e-4);
    }
    // The cycle ends back in stance A with one stride covered.
    arrangeDraws({above(kLookAroundChance)});
    decideNow(p);
    EXPECT_EQ(p.action, WalkForward);
    EXPECT_EQ(p.actionStep, 1);
    EXPECT_EQ(p.pose, 1);
}

TEST_F(Behaviour, WalkBackwardPlaysTheCycleInReverse) {
    Prey p = preyAt(10, 10, 200.0f);
    p.action = WalkBackward;
    p.actionStep = 0;
    for (int k = 1; k <= 4; ++k) {
        const Vec3 from = p.pos;
        decideNow(p);
        EXPECT_EQ(p.pose, 8 - k);
        commit(p);
        float along, across;
        motionAlong(from, p.pos, 200.0f, along, across);
        EXPECT_NEAR(along, -preyPoses.walkStep[8 - k], 1e-4) << "step " << k;
    }
    // At stance B a roaming prey turns at random, from stance B.
    arrangeDraws({above(kLookAroundChance), above(0.5f)});
    decideNow(p);
    EXPECT_EQ(p.action, TurnLeftFromB);
    EXPECT_EQ(p.actionStep, 1);
    EXPECT_EQ(p.pose, 11);
}

struct TurnCase {
    PreyAction action;
    int startPose;
    int poses[4];
    float total;  // heading change over the four steps with the hand-written set
};

TEST_F(Behaviour, TurnsShowTheirSequenceAndTurnByTheTable) {
    const TurnCase cases[] = {
        {TurnLeftFromA, 0, {14, 15, 16, 17}, 50.0f},
        {TurnRightFromA, 0, {9, 10, 11, 12}, -50.0f},
        {TurnLeftFromB, 4, {11, 10, 9, 8}, 50.0f},
        {TurnRightFromB, 4, {16, 15, 14, 13}, -50.0f},
    };
    for (const TurnCase& c : cases) {
        SCOPED_TRACE(c.action);
        Prey p = preyAt(10, 10, 100.0f);
        p.action = c.action;
        p.actionStep = 0;
        p.pose = c.startPose;
        const bool left = c.action == TurnLeftFromA || c.action == TurnLeftFromB;
        const bool fromA = c.action == TurnLeftFromA || c.action == TurnRightFromA;
        const int seq = (c.action == TurnLeftFromA || c.action == TurnRightFromB) ? 1 : 0;
        for (int k = 1; k <= 4; ++k) {
            const float h = headingDegrees(p.dir);
            const Vec3 from = p.pos;
            decideNow(p);
            EXPECT_EQ(p.pose, c.poses[k - 1]) << "step " << k;
            const int j = fromA ? k - 1 : 4 - k;
            const float delta = fromA ? preyPoses.turnDelta[seq][j] : -preyPoses.turnDelta[seq][j];
            const float dist = fromA ? preyPoses.turnDistance[seq][j] : -preyPoses.turnDistance[seq][j];
            EXPECT_NEAR(normaliseHeadingDifference(headingDegrees(p.nextDir) - h), delta, 1e-3) << "step " << k;
            commit(p);
            float along, across;
            motionAlong(from, p.pos, h + preyPoses.turnBearing[seq][j], along, across);
            EXPECT_NEAR(along, dist, 1e-4) << "step " << k;
            EXPECT_NEAR(across, 0.0f, 1e-4) << "step " << k;
        }
        EXPECT_NEAR(normaliseHeadingDifference(headingDegrees(p.dir) - 100.0f), c.total, 1e-3);
        EXPECT_EQ(left, c.total > 0.0f);
        // The turn ends in the other stance, then the roaming prey walks on.
        arrangeDraws({above(kLookAroundChance)});
        decideNow(p);
        EXPECT_EQ(p.action, WalkForward);
        EXPECT_EQ(p.actionStep, fromA ? 5 : 1);
    }
}

TEST_F(Behaviour, LookingAroundSwingsTheUpperBodyBackToTheFront) {
    for (PreyAction look : {LookRight, LookLeft}) {
        Prey p = preyAt(10, 10, 0.0f);
        p.action = look;
        p.actionStep = 0;
        p.pose = 4;
        const float sign = look == LookRight ? -1.0f : 1.0f;
        const float sweep[6] = {30, 60, 90, 60, 30, 0};
        for (int k = 1; k <= 6; ++k) {
            const Vec3 from = p.pos;
            decideNow(p);
            EXPECT_EQ(p.pose, 4);
            EXPECT_FLOAT_EQ(p.bodyTurn, sign * sweep[k - 1]) << "step " << k;
            commit(p);
            EXPECT_EQ(p.pos.x, from.x);
            EXPECT_EQ(p.pos.y, from.y);
        }
        // Then a walk forward from the stance it stands in (B: step 5).
        arrangeDraws({above(kLookAroundChance)});
        decideNow(p);
        EXPECT_EQ(p.action, WalkForward);
        EXPECT_EQ(p.actionStep, 5);
        EXPECT_EQ(p.bodyTurn, 0.0f);
    }
}

TEST_F(Behaviour, RoamingPrefersLookingAroundOneTimeInFive) {
    // Chance 0.2 at every half cycle: count over many independent decisions.
    int looks = 0;
    const int trials = 2000;
    randomSeed(12345);
    for (int i = 0; i < trials; ++i) {
        Prey p = preyAt(10, 10, 0.0f);
        p.action = WalkForward;
        p.actionStep = 4;
        p.pose = 4;
        decideNow(p);
        if (p.action == LookLeft || p.action == LookRight) ++looks;
        else EXPECT_EQ(p.actionStep, 5);
    }
    EXPECT_NEAR(looks / static_cast<double>(trials), 0.2, 0.03);
}

TEST_F(Behaviour, FirstFighterInPlayNearerThanSightRangeBecomesTheTarget) {
    Prey p = preyAt(10, 10, 0.0f);
    addFighter(Vec3{p.pos.x + 5.0f, p.pos.y, 0}, Dead);
    addFighter(Vec3{p.pos.x - 80.0f, p.pos.y, 0});     // exactly at range: not taken
    addFighter(Vec3{p.pos.x, p.pos.y + 79.9f, 0});     // taken
    addFighter(Vec3{p.pos.x, p.pos.y + 10.0f, 0});     // nearer but later in the list
    p.action = StandA;
    p.maneuvering = 1;
    const uint32_t generator = gs.randomState;
    decideNow(p);
    EXPECT_EQ(p.mode, Hunt);
    EXPECT_EQ(p.target, 2);
    EXPECT_EQ(p.maneuvering, 0);
    EXPECT_EQ(p.action, StandA);  // the action goes on unchanged
    EXPECT_EQ(gs.randomState, generator) << "taking a target draws no random number";

    // Only the fighter at exactly 80: the prey keeps roaming.
    gs.fighterList.erase(gs.fighterList.begin() + 2, gs.fighterList.end());
    Prey q = preyAt(10, 10, 0.0f);
    q.action = StandA;
    decideNow(q);
    EXPECT_EQ(q.mode, Roam);
}

TEST_F(Behaviour, FirstDecisionOfANewPreyLeavesTheStartMode) {
    Prey p = preyAt(10, 10, 0.0f);
    p.mode = Start;
    decideNow(p);
    EXPECT_EQ(p.mode, Roam);
    EXPECT_EQ(p.action, StandA);
    EXPECT_EQ(p.nextPos.x, p.pos.x);
    EXPECT_EQ(p.nextPos.y, p.pos.y);
}

// ---------------------------------------------------------------------------
// Refused moves
// ---------------------------------------------------------------------------

// A prey walking forward whose step 6 was just proposed and refused.
Prey walkerRefusedAtStep6() {
    Prey p = preyAt(10, 10, 0.0f);
    p.action = WalkForward;
    p.actionStep = 6;
    p.pose = 6;
    p.nextPos.x = p.pos.x + preyPoses.walkStep[5];
    p.moveAllowed = 0;
    p.blocked = 1;
    return p;
}

TEST_F(Behaviour, WallRefusingAWalkSendsThePreyBackAndAimsItElsewhere) {
    struct Case {
        std::function<bool(float)> r3;
        float wanted;
    } cases[] = {{above(0.5f), 180.0f}, {between(0.25f, 0.5f), 90.0f}, {atMost(0.25f), 270.0f}};
    for (const Case& c : cases) {
        Prey p = walkerRefusedAtStep6();
        arrangeDraws({atMost(0.5f), c.r3});
        decideNow(p);
        EXPECT_EQ(p.action, WalkBackward);
        EXPECT_EQ(p.actionStep, 4);
        EXPECT_EQ(p.pose, 4);
        EXPECT_EQ(p.stuckCount, 1);
        EXPECT_EQ(p.turning, 1);
        EXPECT_FLOAT_EQ(p.wantedHeading, c.wanted);
        EXPECT_NEAR(p.nextPos.x, p.pos.x - preyPoses.walkStep[4], 1e-4);
        EXPECT_EQ(p.moveAllowed, 1);
    }
}

TEST_F(Behaviour, BodyRefusingAWalkReversesWithoutAWantedHeading) {
    Prey p = walkerRefusedAtStep6();
    p.blocked = 0;
    arrangeDraws({atMost(0.5f)});
    decideNow(p);
    EXPECT_EQ(p.action, WalkBackward);
    EXPECT_EQ(p.actionStep, 4);
    EXPECT_EQ(p.turning, 0);
}

TEST_F(Behaviour, RefusedTurnsReverseIntoTheMirroredTurn) {
    const PreyAction from[] = {TurnLeftFromA, TurnRightFromB, TurnLeftFromB, TurnRightFromA};
    const PreyAction to[] = {TurnRightFromB, TurnLeftFromA, TurnRightFromA, TurnLeftFromB};
    for (int i = 0; i < 4; ++i) {
        Prey p = preyAt(10, 10, 0.0f);
        p.action = from[i];
        p.actionStep = 3;
        p.moveAllowed = 0;
        arrangeDraws({atMost(0.5f)});
        decideNow(p);
        EXPECT_EQ(p.action, to[i]);
        EXPECT_EQ(p.actionStep, 3);
    }
}

TEST_F(Behaviour, RefusedMoveCanTurnAwayAtRandom) {
    Prey p = walkerRefusedAtStep6();
    arrangeDraws({above(0.5f), atMost(0.5f)});
    decideNow(p);
    EXPECT_EQ(p.action, TurnRightFromA);
    EXPECT_EQ(p.actionStep, 1);
    EXPECT_EQ(p.pose, 9);
}

TEST_F(Behaviour, RepeatedRefusalsRetreatThenPullToTheCellCentre) {
    // Sixth refusal in a row: back off or turn, from a single draw.
    Prey p = walkerRefusedAtStep6();
    p.stuckCount = 5;
    arrangeDraws({above(0.5f)});
    decideNow(p);
    EXPECT_EQ(p.action, WalkBackward);
    EXPECT_EQ(p.actionStep, 1);
    EXPECT_EQ(p.pose, 7);

    // Twenty-first: the proposal goes to the centre of the prey's own cell.
    Prey q = preyAt(10, 10, 0.0f);
    q.pos.x += 2.7f;
    q.pos.y -= 1.3f;
    q.action = WalkForward;
    q.actionStep = 3;
    q.pose = 3;
    q.moveAllowed = 0;
    q.stuckCount = 20;
    const uint32_t generator = gs.randomState;
    decideNow(q);
    EXPECT_EQ(q.stuckCount, 21);
    EXPECT_FLOAT_EQ(q.nextPos.x, 10.5f * 8.0f);
    EXPECT_FLOAT_EQ(q.nextPos.y, 10.5f * 8.0f);
    EXPECT_EQ(q.pose, 0);
    EXPECT_EQ(gs.randomState, generator);

    // Once a move is taken again the count starts afresh.
    commit(q);
    decideNow(q);
    EXPECT_EQ(q.stuckCount, 0);
}

TEST_F(Behaviour, WantedHeadingTurnsThePreyUntilItFacesWithinTolerance) {
    Prey p = preyAt(10, 10, 10.0f);
    p.turning = 1;
    p.wantedHeading = 100.0f;
    p.action = StandA;
    int turns = 0;
    while (p.turning == 1 && turns < 40) {
        decideNow(p);
        commit(p);
        if (p.action == TurnLeftFromA || p.action == TurnLeftFromB) ++turns;
        EXPECT_NE(p.action, TurnRightFromA);
        EXPECT_NE(p.action, TurnRightFromB);
    }
    EXPECT_EQ(p.turning, 0);
    EXPECT_LT(std::fabs(normaliseHeadingDifference(headingDegrees(p.dir) - 100.0f)), kHeadingTolerance);

    // Across north: from 350 to 20 is a left turn of 30 degrees.
    Prey q = preyAt(10, 10, 350.0f);
    q.turning = 1;
    q.wantedHeading = 20.0f;
    q.action = StandA;
    decideNow(q);
    EXPECT_EQ(q.action, TurnLeftFromA);
    Prey r = preyAt(10, 10, 20.0f);
    r.turning = 1;
    r.wantedHeading = 340.0f;
    r.action = StandB;
    r.pose = 4;
    decideNow(r);
    EXPECT_EQ(r.action, TurnRightFromB);
}

TEST_F(Behaviour, StepOutsideTheActionIsReportedAndNeverIndexesTheTables) {
    for (PreyAction a : {WalkForward, WalkBackward, TurnLeftFromA, TurnRightFromB, LookLeft}) {
        Prey p = preyAt(10, 10, 0.0f);
        p.action = a;
        p.actionStep = -7;
        p.turnPending = 0;
        p.pose = 2;
        p.moveAllowed = 0;
        p.stuckCount = 5;  // sixth refusal: a new action from step 1, valid again
        arrangeDraws({atMost(0.25f)});
        decideNow(p);
        EXPECT_EQ(p.action, TurnRightFromA);
        EXPECT_EQ(p.pose, 9);
    }
    // A corrupted record refused at step 12 of a walk reverses to step -2:
    // reported, no move proposed, the pose left alone.
    Prey p = preyAt(10, 10, 0.0f);
    p.action = WalkForward;
    p.actionStep = 12;
    p.moveAllowed = 0;
    arrangeDraws({atMost(0.5f)});
    testing::internal::CaptureStdout();
    decideNow(p);
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("invalid action count "), std::string::npos);
    EXPECT_EQ(p.nextPos.x, p.pos.x);
    EXPECT_EQ(p.nextPos.y, p.pos.y);
    EXPECT_EQ(p.pose, 0);

    // A turn has four steps: a fifth (which a decision that keeps the action
    // would apply) would show pose 18 and read past the turn tables.
    Prey q = preyAt(10, 10, 0.0f);
    addFighter(Vec3{q.pos.x + 20.0f, q.pos.y, 0});
    q.action = TurnLeftFromA;
    q.actionStep = 5;
    testing::internal::CaptureStdout();
    decideNow(q);
    out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(q.mode, Hunt);
    EXPECT_NE(out.find("invalid action count "), std::string::npos);
    EXPECT_EQ(q.pose, 4);
    EXPECT_EQ(q.nextDir.x, q.dir.x);
    EXPECT_EQ(q.nextDir.y, q.dir.y);
}

}  // namespace
