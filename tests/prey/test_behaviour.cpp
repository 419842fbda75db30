// test_behaviour.cpp -- the prey's update cycle: cadence, the actions' poses
// and ground motion, roaming, refused moves, turning to a wanted heading.
#include <cmath>
#include <string>

#include "prey_test_util.h"

using namespace preytest;

namespace {

class Behaviour : public PreyTest {};

TEST_F(Behaviour, StandsStillForTwoUpdatesAndDecidesOnTheThird) {
    Prey p = preyAt(5, 5, 90.0f);
    p.mode = Start;
    p.nextPos = Vec3{1, 2, 3};  // a proposal that must survive the quiet calls
    for (int call = 0; call < 2; ++call) {
        updatePrey(p);
        EXPECT_EQ(p.sinceShot, 0);
        EXPECT_EQ(p.turnPending, 0);
        EXPECT_EQ(p.nextPos.x, 1.0f);
    }
    updatePrey(p);
    EXPECT_EQ(p.sinceShot, 1);
    EXPECT_EQ(p.turnPending, 1);
    // A new prey's first decision: roam, standing where it is.
    EXPECT_EQ(p.mode, Roam);
    EXPECT_EQ(p.action, StandA);
    EXPECT_EQ(p.nextPos.x, p.pos.x);
    EXPECT_EQ(p.nextPos.y, p.pos.y);
    int bodies = 0;
    for (int call = 0; call < 30; ++call) {
        const int before = p.sinceShot;
        updatePrey(p);
        commit(p);
        bodies += p.sinceShot != before;
    }
    EXPECT_EQ(bodies, 10);
}

TEST_F(Behaviour, EachActionShowsItsPosesAndMovesByTheTables) {
    // Per step, with the hand-written set: the pose shown, the heading change,
    // the ground move and its bearing off the heading, the upper body's turn;
    // then what the roaming prey does next (no looking around).
    struct Case {
        PreyAction action;
        int startPose, steps, pose[8];
        float turn[8], move[8], bearing[8], body[8];
        PreyAction next;  // and its step
        int nextStep;
    };
    const Case cases[] = {
        {WalkForward, 0, 8, {1, 2, 3, 4, 5, 6, 7, 8}, {}, {1, 1.5f, 1.5f, 1, 1, 1.5f, 1.5f, 1}, {}, {},
         WalkForward, 1},
        {WalkBackward, 0, 4, {7, 6, 5, 4}, {}, {-1, -1.5f, -1.5f, -1}, {}, {}, TurnLeftFromB, 1},
        {TurnLeftFromA, 0, 4, {14, 15, 16, 17}, {5, 20, 20, 5}, {.6f, .6f, .6f, .6f}, {0, 5, 25, 45}, {},
         WalkForward, 5},
        {TurnRightFromA, 0, 4, {9, 10, 11, 12}, {-5, -20, -20, -5}, {.5f, .5f, .5f, .5f},
         {53.13f, 43.13f, 23.13f, 8.13f}, {}, WalkForward, 5},
        {TurnLeftFromB, 4, 4, {11, 10, 9, 8}, {5, 20, 20, 5}, {-.5f, -.5f, -.5f, -.5f},
         {8.13f, 23.13f, 43.13f, 53.13f}, {}, WalkForward, 1},
        {TurnRightFromB, 4, 4, {16, 15, 14, 13}, {-5, -20, -20, -5}, {-.6f, -.6f, -.6f, -.6f}, {45, 25, 5, 0}, {},
         WalkForward, 1},
        {LookRight, 4, 6, {4, 4, 4, 4, 4, 4}, {}, {}, {}, {-30, -60, -90, -60, -30, 0}, WalkForward, 5},
        {LookLeft, 4, 6, {4, 4, 4, 4, 4, 4}, {}, {}, {}, {30, 60, 90, 60, 30, 0}, WalkForward, 5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.action);
        Prey p = preyAt(10, 10, 100.0f);
        p.action = c.action;
        p.actionStep = 0;  // the next update applies step 1
        p.pose = c.startPose;
        for (int k = 0; k < c.steps; ++k) {
            SCOPED_TRACE(k + 1);
            arrangeDraws({above(kLookAroundChance), above(0.5f)});  // for the decision at a walk's half
            const float h = headingDegrees(p.dir);
            const Vec3 from = p.pos;
            decideNow(p);
            EXPECT_EQ(p.action, c.action);
            EXPECT_EQ(p.pose, c.pose[k]);
            EXPECT_FLOAT_EQ(p.bodyTurn, c.body[k]);
            EXPECT_NEAR(normaliseHeadingDifference(headingDegrees(p.nextDir) - h), c.turn[k], 1e-3);
            commit(p);
            const auto [along, across] = motion(from, p.pos, h + c.bearing[k]);
            EXPECT_NEAR(along, c.move[k], 1e-4);
            EXPECT_NEAR(across, 0.0f, 1e-4);
        }
        arrangeDraws({above(kLookAroundChance), above(0.5f)});
        decideNow(p);
        EXPECT_EQ(p.action, c.next);
        EXPECT_EQ(p.actionStep, c.nextStep);
    }
}

TEST_F(Behaviour, RoamingPreyLooksAroundOneTimeInFive) {
    // At the walk's half: a first draw below 0.2 looks, to the right when the
    // second is above one half; otherwise the walk goes on.
    const std::vector<Draw> draws[] = {
        {between(0.19f, 0.2f), above(0.5f)}, {between(0.19f, 0.2f), atMost(0.5f)}, {between(0.2f, 0.21f)}};
    const PreyAction expected[] = {LookRight, LookLeft, WalkForward};
    for (int i = 0; i < 3; ++i) {
        Prey p = preyAt(10, 10, 0.0f);
        p.action = WalkForward;
        p.actionStep = p.pose = 4;
        arrangeDraws(draws[i]);
        decideNow(p);
        EXPECT_EQ(p.action, expected[i]);
        EXPECT_EQ(p.actionStep, i < 2 ? 1 : 5);
    }
}

TEST_F(Behaviour, FirstFighterInPlayNearerThanSightRangeBecomesTheTarget) {
    Prey p = preyAt(10, 10, 0.0f);
    addFighter(Vec3{p.pos.x + 5.0f, p.pos.y, 0}, Dead);
    addFighter(Vec3{p.pos.x - 80.0f, p.pos.y, 0});  // exactly at range: not taken
    addFighter(Vec3{p.pos.x, p.pos.y + 79.9f, 0});  // taken
    addFighter(Vec3{p.pos.x, p.pos.y + 10.0f, 0});  // nearer but later in the list
    p.action = StandA;
    p.maneuvering = 1;
    const uint32_t generator = gs.randomState;
    decideNow(p);
    EXPECT_EQ(p.mode, Hunt);
    EXPECT_EQ(p.target, 2);
    EXPECT_EQ(p.maneuvering, 0);
    EXPECT_EQ(p.action, StandA);
    EXPECT_EQ(gs.randomState, generator) << "taking a target draws no random number";

    // Only the fighter at exactly 80: the prey keeps roaming.
    gs.fighterList.resize(2);
    Prey q = preyAt(10, 10, 0.0f);
    decideNow(q);
    EXPECT_EQ(q.mode, Roam);
}

TEST_F(Behaviour, RefusedMoveReversesTheActionOrTurnsAway) {
    struct Case {  // the refused action and step, the wall flag, earlier refusals; the draws; the outcome
        PreyAction from;
        int fromStep, blocked, stuck;
        std::vector<Draw> draws;
        PreyAction action;
        int step, pose, turning;
        float wanted;
    };
    const Case cases[] = {
        // A walk refused at step 6 continues backward at step 4; a wall also
        // aims the prey elsewhere: back, left or right.
        {WalkForward, 6, 1, 0, {atMost(0.5f), above(0.5f)}, WalkBackward, 4, 4, 1, 180.0f},
        {WalkForward, 6, 1, 0, {atMost(0.5f), between(0.25f, 0.5f)}, WalkBackward, 4, 4, 1, 90.0f},
        {WalkForward, 6, 1, 0, {atMost(0.5f), atMost(0.25f)}, WalkBackward, 4, 4, 1, 270.0f},
        {WalkForward, 6, 0, 0, {atMost(0.5f)}, WalkBackward, 4, 4, 0, 0},  // a body: no wanted heading
        {WalkForward, 6, 1, 0, {above(0.5f), atMost(0.5f)}, TurnRightFromA, 1, 9, 0, 0},  // turn away
        // A refused turn reverses into the mirrored turn.
        {TurnLeftFromA, 3, 0, 0, {atMost(0.5f)}, TurnRightFromB, 3, 14, 0, 0},
        {TurnRightFromB, 3, 0, 0, {atMost(0.5f)}, TurnLeftFromA, 3, 16, 0, 0},
        {TurnLeftFromB, 3, 0, 0, {atMost(0.5f)}, TurnRightFromA, 3, 11, 0, 0},
        {TurnRightFromA, 3, 0, 0, {atMost(0.5f)}, TurnLeftFromB, 3, 9, 0, 0},
        {WalkForward, 6, 1, 4, {atMost(0.5f), above(0.5f)}, WalkBackward, 4, 4, 1, 180.0f},  // the fifth
        // From the sixth refusal in a row to the twentieth, back off or turn, from a single draw.
        {WalkForward, 6, 1, 5, {above(0.5f)}, WalkBackward, 1, 7, 0, 0},
        {WalkForward, 6, 1, 19, {above(0.5f)}, WalkBackward, 1, 7, 0, 0},
        {WalkForward, 6, 1, 5, {between(0.25f, 0.5f)}, TurnLeftFromA, 1, 14, 0, 0},
        {WalkForward, 6, 1, 5, {atMost(0.25f)}, TurnRightFromA, 1, 9, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.from << " refused, draws " << c.draws.size() << " -> " << c.action);
        Prey p = preyAt(10, 10, 0.0f);
        p.action = c.from;
        p.actionStep = p.pose = c.fromStep;
        p.moveAllowed = 0;
        p.blocked = static_cast<uint8_t>(c.blocked);
        p.stuckCount = c.stuck;
        arrangeDraws(c.draws);
        decideNow(p);
        EXPECT_EQ(p.action, c.action);
        EXPECT_EQ(p.actionStep, c.step);
        EXPECT_EQ(p.pose, c.pose);
        EXPECT_EQ(p.stuckCount, c.stuck + 1);
        EXPECT_EQ(p.turning, c.turning);
        EXPECT_FLOAT_EQ(p.wantedHeading, c.wanted);
        EXPECT_EQ(p.moveAllowed, 1) << "a new move is proposed";
        if (c.action == WalkBackward) {
            EXPECT_NEAR(p.nextPos.x, p.pos.x - 1.0f, 1e-4);
        }
    }
}

TEST_F(Behaviour, MoreThanTwentyRefusalsPullThePreyToItsCellCentre) {
    Prey q = preyAt(10, 10, 0.0f);
    q.pos.x += 2.7f;
    q.pos.y -= 1.3f;
    q.action = WalkForward;
    q.actionStep = q.pose = 3;
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

TEST_F(Behaviour, WantedHeadingTurnsThePreyTheShortWayUntilItFacesWithinTolerance) {
    struct Case {
        float from, wanted;
        PreyAction stance, first, wrongA, wrongB;
    } const cases[] = {{10, 100, StandA, TurnLeftFromA, TurnRightFromA, TurnRightFromB},
                       {350, 20, StandA, TurnLeftFromA, TurnRightFromA, TurnRightFromB},  // across north
                       {20, 340, StandB, TurnRightFromB, TurnLeftFromA, TurnLeftFromB}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.from);
        Prey p = preyAt(10, 10, c.from);
        p.turning = 1;
        p.wantedHeading = c.wanted;
        p.action = c.stance;
        decideNow(p);
        EXPECT_EQ(p.action, c.first);
        for (int update = 0; p.turning == 1 && update < 40; ++update) {
            commit(p);
            decideNow(p);
            EXPECT_NE(p.action, c.wrongA);
            EXPECT_NE(p.action, c.wrongB);
        }
        EXPECT_EQ(p.turning, 0);
        EXPECT_LT(std::fabs(normaliseHeadingDifference(headingDegrees(p.dir) - c.wanted)), kHeadingTolerance);
    }
}

TEST_F(Behaviour, StepOutsideTheActionIsReportedAndNeverIndexesTheTables) {
    for (PreyAction a : {WalkForward, WalkBackward, TurnLeftFromA, TurnRightFromB, LookLeft}) {
        Prey p = preyAt(10, 10, 0.0f);
        p.action = a;
        p.actionStep = -7;
        p.pose = 2;
        p.moveAllowed = 0;
        p.stuckCount = 5;  // sixth refusal: a new action from step 1, valid again
        arrangeDraws({atMost(0.25f)});
        decideNow(p);
        EXPECT_EQ(p.action, TurnRightFromA);
        EXPECT_EQ(p.pose, 9);
    }
    // A corrupted walk refused at step 12 reverses to step -2: reported, no
    // move proposed, the pose left alone.
    Prey p = preyAt(10, 10, 0.0f);
    p.action = WalkForward;
    p.actionStep = 12;
    p.moveAllowed = 0;
    arrangeDraws({atMost(0.5f)});
    decideNow(p);
    EXPECT_EQ(p.nextPos.x, p.pos.x);
    EXPECT_EQ(p.nextPos.y, p.pos.y);
    EXPECT_EQ(p.pose, 0);

    // A fifth turn step (which a hunting decision that keeps the action would
    // apply) would show pose 18 and read past the turn tables.
    Prey q = preyAt(10, 10, 0.0f);
    addFighter(Vec3{q.pos.x + 20.0f, q.pos.y, 0});
    q.action = TurnLeftFromA;
    q.actionStep = 5;
    decideNow(q);
    EXPECT_EQ(q.mode, Hunt);
    EXPECT_EQ(q.pose, 4);
    EXPECT_EQ(q.nextDir.x, q.dir.x);
    EXPECT_EQ(q.nextDir.y, q.dir.y);
}

// Runs world steps until the prey's behaviour has run once more.
void stepUpdate() {
    for (int i = 0; i < 3; ++i) {
        gs.clockPrevMs = gs.clockNowMs;
        gs.clockNowMs += 10;
        worldStep();
    }
}

TEST_F(Behaviour, WorldStepRefusesWalksIntoWallsAndAcrossTheirCorners) {
    const auto walker = [](Prey p) {
        p.action = WalkForward;
        p.actionStep = 0;  // the next update proposes step 1, 1.0 forward
        p.tick = 4;
        gs.preyList.assign(1, p);
    };
    drawnMaze({"######", "#....#", "#....#", "######"});
    walker(preyAt(1, 3, 0.0f));  // facing the wall at column 5, 4 units from its face
    for (int update = 0; update < 40; ++update) {
        stepUpdate();
        const Prey& q = gs.preyList[0];
        ASSERT_NE(cellCode(cellOfCoordinate(q.pos.y), cellOfCoordinate(q.pos.x)), 1) << "update " << update;
        ASSERT_LE(q.pos.x, 5 * 8.0f - 1.5f + 1e-4f) << "never within its radius of the face";
    }

    // Wall at (1, 1) with its side neighbours open, so not among the wall
    // faces of cell (2, 2); the prey stands at its corner, facing it.
    drawnMaze({"#####", "##..#", "#...#", "#...#", "#####"});
    Prey p = preyAt(2, 2, 225.0f);
    p.pos.x = p.pos.y = p.nextPos.x = p.nextPos.y = 16.3f;
    walker(p);
    stepUpdate();
    const Prey& q = gs.preyList[0];
    EXPECT_EQ(q.blocked, 1);
    EXPECT_EQ(q.moveAllowed, 0);
    EXPECT_FLOAT_EQ(q.pos.x, 16.3f);
    EXPECT_FLOAT_EQ(q.pos.y, 16.3f);
}

}  // namespace
