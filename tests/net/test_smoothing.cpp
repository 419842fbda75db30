// test_smoothing.cpp -- what a client draws: other fighters between two
// bodies under late, lost and reordered arrivals; its own fighter predicted
// with the rules' walls and reconciled with the server; the mouse's turn
// bounded by the server's rules.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "net/net.h"
#include "net/smoothing.h"
#include "tests/net/fake_net.h"
#include "tests/world/rules_helpers.h"

using namespace rulestest;

namespace {

constexpr int kLocal = 1;

class Smoothing : public RulesTest {
protected:
    void SetUp() override {
        RulesTest::SetUp();
        resetNetStateForTest();
        buildWalledMaze(12, 20, 8.0f);
        addFighter(20.0f, 20.0f, kEast);   // the server's own
        addFighter(36.0f, 36.0f, kEast);   // ours
        process.localFighterIndex = kLocal;
        process.isServer = false;
        smoothing.enabled = true;
    }
    // A body of the server at its clock ms, fighter 0 at (x0, y0).
    static StateSnapshot body(int32_t clockMs, float x0, float y0, bool active0 = true) {
        StateSnapshot s;
        s.kind = NetMessageKind::StateUpdate;
        s.serverClockMs = clockMs % 60000;
        s.hasSeq = true;
        s.bodySeq = static_cast<uint32_t>(clockMs / 10);
        s.yourFighter = kLocal;
        FighterEntry a;
        a.x = x0;
        a.y = y0;
        a.active = active0 ? 1 : 0;
        FighterEntry b;
        b.x = 36.0f;
        b.y = 36.0f;
        b.active = 1;
        s.fighters = {a, b};
        s.extras.present = true;
        return s;
    }
    // The server's fighter for the local player at (x, y), acknowledging key `acked`.
    static void reconcileAt(float x, float y, uint32_t acked, int64_t nowMs) {
        StateSnapshot s = body(static_cast<int32_t>(nowMs), 20.0f, 20.0f);
        s.fighters[kLocal].x = x;
        s.fighters[kLocal].y = y;
        s.extras.ackedKeySeq = acked;
        applySnapshot(s);
        smoothingReconcile(s, nowMs);
    }
    static void hold(int key, bool down) {
        const uint8_t bit = static_cast<uint8_t>(1u << (key % 8));
        net.heldKeys[key / 8] = down ? (net.heldKeys[key / 8] | bit) : (net.heldKeys[key / 8] & ~bit);
    }
};

// A fighter moving steadily east at 2.5 units a second, through a route of
// 40 +- 20 ms with 10% loss (so bodies overtake each other) and one forged
// body far ahead, drawn at 200 frames a second: the picture never steps
// back, never jumps, and moves by
// an even step each frame; on a clean route the drawing runs one pass behind.
TEST_F(Smoothing, OtherFighterMovesEvenlyThroughJitterLossAndReordering) {
    struct Arrival {
        int64_t atMs;
        int32_t clockMs;
    };
    std::vector<Arrival> route;
    randomSeed(7);
    for (int32_t t = 59000; t < 59000 + 3000; t += 10) {  // across the turn of the minute
        if (randomFraction() < 0.1f) continue;
        route.push_back({t + 20 + static_cast<int64_t>(randomFraction() * 40.0f), t});
    }
    std::sort(route.begin(), route.end(), [](const Arrival& a, const Arrival& b) { return a.atMs < b.atMs; });
    const auto xAt = [](int32_t clockMs) { return 20.0f + 0.0025f * static_cast<float>(clockMs - 59000); };

    size_t next = 0;
    DrawnWorld d;
    std::vector<float> xs;
    for (int64_t now = 59000; now < 59000 + 3000; now += 5) {
        for (; next < route.size() && route[next].atMs <= now; ++next)
            smoothingNoteBody(body(route[next].clockMs, xAt(route[next].clockMs), 20.0f), route[next].atMs);
        // A forged body, its clock 4 s ahead: the drawing does not leap to it.
        if (now == 60500) smoothingNoteBody(body(64500, 90.0f, 70.0f), now);
        smoothingDrawn(now, d);
        if (!d.fromBodies) continue;
        ASSERT_TRUE(d.fighters[0].shown);
        if (!xs.empty()) {
            ASSERT_GE(d.fighters[0].pos.x, xs.back()) << "at " << now;
        }
        xs.push_back(d.fighters[0].pos.x);
    }
    EXPECT_GT(smoothing.delayMs, 40.0) << "the delay covers the jitter";
    EXPECT_LE(smoothing.delayMs, kMaxSmoothDelayMs);
    // After the delay has settled (the first second), each 5 ms frame moves
    // the fighter 0.0125 units, within 10%.
    int uneven = 0;
    for (size_t i = xs.size() / 3 + 1; i < xs.size(); ++i)
        if (std::fabs((xs[i] - xs[i - 1]) - 0.0125f) > 0.00125f) ++uneven;
    EXPECT_LE(uneven, static_cast<int>(xs.size() / 50)) << "frames of uneven step";

    // A clean route: one pass behind the newest body.
    resetSmoothing();
    for (int32_t t = 0; t < 500; t += 10) smoothingNoteBody(body(t, xAt(t), 20.0f), t);
    EXPECT_NEAR(smoothing.delayMs, 10.0, 1.0);
}

// A respawn or a jump of more than a cell shows at once, never smeared
// across the maze; a fighter out of play is not drawn; the picture is what
// the renderer gets, and gs stays the server's; an explosion starts once,
// when the drawing reaches its body.
TEST_F(Smoothing, JumpsAndRespawnsAreNotSmeared) {
    smoothingNoteBody(body(1000, 20.0f, 20.0f), 1000);
    smoothingNoteBody(body(1010, 21.0f, 20.0f), 1010);
    smoothingNoteBody(body(1020, 80.0f, 60.0f), 1020);   // respawned far away
    smoothingNoteBody(body(1030, 80.0f, 60.0f, false), 1030);
    DrawnWorld d;
    std::vector<Vec3> seen;
    for (int64_t now = 1000; now <= 1050; now += 2) {
        smoothingDrawn(now, d);
        if (!d.fighters[0].shown) continue;
        const Vec3 p = d.fighters[0].pos;
        EXPECT_TRUE(p.x <= 21.0f || (p.x == 80.0f && p.y == 60.0f)) << "at " << now << ": " << p.x << " " << p.y;
        seen.push_back(p);
    }
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen.back().x, 80.0f) << "the new place is shown";
    EXPECT_FALSE(d.fighters[0].shown) << "out of play at the end";

    GameState picture;
    gs.fighterList[0].pos.x = 55.0f;
    pictureOf(d, gs, picture);
    EXPECT_EQ(picture.fighterList[0].state, FighterState::Absent);
    EXPECT_EQ(gs.fighterList[0].pos.x, 55.0f);
    EXPECT_EQ(gs.fighterList[0].state, FighterState::InPlay) << "gs stays the last body's";

    // An explosion of a body not yet drawn waits for its moment, and starts
    // once however often its event travels.
    StateSnapshot boom = body(1060, 80.0f, 60.0f);
    boom.firstEffectId = 1;
    boom.effects.push_back(EffectEntry{0, 30.0f, 30.0f, 1.0f, 1});
    smoothingNoteBody(boom, 1060);
    EXPECT_EQ(startSnapshotEffects(boom, true, 4), 1);
    EXPECT_TRUE(gs.explosionList.empty()) << "not yet: the drawing is behind it";
    smoothingStartDueEffects(1060);
    EXPECT_TRUE(gs.explosionList.empty());
    smoothingDrawn(1100, d);
    smoothingStartDueEffects(1100);
    EXPECT_EQ(gs.explosionList.size(), 1u);
    boom.repeats = boom.effects;
    startSnapshotEffects(boom, false, 4);
    smoothingStartDueEffects(1200);
    EXPECT_EQ(gs.explosionList.size(), 1u);
}

// Walking into a wall: the prediction stops where the server's own world
// step stops the same fighter with the same keys.
TEST_F(Smoothing, WallStopsThePredictionAsItStopsTheServer) {
    reconcileAt(36.0f, 36.0f, 0, 0);
    ASSERT_TRUE(smoothing.predicting);
    hold('i', true);
    hold('l', true);  // turning right into the south wall while running
    gs.fighterList[0].state = FighterState::Absent;
    Fighter server = gs.fighterList[kLocal];
    server.keyDown[int{'i'}] = server.keyDown[int{'l'}] = 1;
    for (int pass = 1; pass <= 300; ++pass) {
        smoothingPredictPass(pass * 10, 0.01f);
        gs.fighterList[kLocal] = server;
        stepWorld(10);
        server = gs.fighterList[kLocal];
        const Vec3 p = smoothing.own.pos;
        ASSERT_NE(cellCode(cellOfCoordinate(p.y), cellOfCoordinate(p.x)), 1) << "pass " << pass;
    }
    EXPECT_NEAR(smoothing.own.pos.x, server.pos.x, 1e-3f);
    EXPECT_NEAR(smoothing.own.pos.y, server.pos.y, 1e-3f);
    EXPECT_NEAR(headingDegrees(smoothing.own.dir), headingDegrees(server.dir), 1e-2f);
}

// Reconciliation: the steps after the last acknowledged key are replayed on
// the server's position; a small error fades without a jump, a large one
// (a hit pushing us, a respawn) is taken at once and counted; a dead
// fighter is not predicted.
TEST_F(Smoothing, ReconcileReplaysUnacknowledgedKeysAndCorrectsByErrorSize) {
    reconcileAt(36.0f, 36.0f, 0, 0);
    net.keySeq = 1;  // 'i' pressed, sent, not yet acknowledged
    smoothingNoteKeySent(1, 0);
    hold('i', true);
    for (int pass = 1; pass <= 10; ++pass) smoothingPredictPass(pass * 10, 0.01f);
    EXPECT_NEAR(smoothing.own.pos.x, 36.25f, 1e-4f) << "ten passes of 2.5 units a second, at once";

    // The server has not seen the key yet: it still says 36, and the
    // replay keeps every step.
    reconcileAt(36.0f, 36.0f, 0, 100);
    EXPECT_NEAR(smoothing.own.pos.x, 36.25f, 1e-4f);
    EXPECT_EQ(smoothing.largeCorrections, 0u);

    // Acknowledged, and the server is 0.1 behind what we drew: no jump, the
    // gap fades over a few passes.
    smoothing.roundTripMs = 0.0;
    reconcileAt(36.15f, 36.0f, 1, 110);
    DrawnWorld d;
    smoothingNoteBody(body(110, 20.0f, 20.0f), 110);
    smoothingDrawn(110, d);
    EXPECT_NEAR(d.eye.x, 36.25f, 1e-4f) << "drawn where it was";
    hold('i', false);
    for (int pass = 12; pass <= 22; ++pass) smoothingPredictPass(pass * 10, 0.01f);
    smoothingDrawn(220, d);
    EXPECT_NEAR(d.eye.x, 36.15f, 0.01f) << "and then where the server says";
    EXPECT_EQ(smoothing.largeCorrections, 0u);

    // Pushed far by the server: at once, counted.
    reconcileAt(60.0f, 30.0f, 1, 230);
    smoothingDrawn(230, d);
    EXPECT_EQ(d.eye.x, 60.0f);
    EXPECT_EQ(smoothing.largeCorrections, 1u);

    // Destroyed: the server's picture is drawn, nothing predicted.
    StateSnapshot dead = body(240, 20.0f, 20.0f);
    dead.fighters[kLocal].active = 0;
    dead.extras.ackedKeySeq = 1;
    applySnapshot(dead);
    smoothingReconcile(dead, 240);
    EXPECT_FALSE(smoothing.predicting);

    // A plain server (no extras): nothing is predicted either.
    reconcileAt(40.0f, 40.0f, 1, 250);
    ASSERT_TRUE(smoothing.predicting);
    StateSnapshot plain = body(260, 20.0f, 20.0f);
    plain.extras.present = false;
    smoothingReconcile(plain, 260);
    EXPECT_FALSE(smoothing.predicting);
}

// The server applies a client's mouse turn with its own bound per step,
// to the right for a positive turn, whatever the client asks; and tells
// each client which of its keys it has applied.
TEST(SmoothingServer, BoundsTheMouseTurnAndAcknowledgesKeys) {
    fakeServer(3);
    queueDatagram(messageOfKind(NetMessageKind::JoinRequest), clientAddress(0));
    serverNetworkReceive();
    ASSERT_EQ(net.clients[0].inUse, 1);
    NetMessage msg;
    setMessageKind(msg, NetMessageKind::KeyEvent);
    KeyExtension x;
    x.present = true;
    x.newestSeq = 1;
    x.historyCount = 1;
    x.history[0] = KeyRecord{'p', 0, 0};
    x.mouseTurn = 32767;  // 327.67 degrees at once
    writeKeyExtension(msg, x);
    queueDatagram(msg, clientAddress(0));
    serverNetworkReceive();
    Fighter& f = gs.fighterList[1];
    const float before = headingDegrees(f.dir);
    stepWorld(10);
    float turned = std::fmod(before - headingDegrees(f.dir) + 360.0f, 360.0f);
    EXPECT_NEAR(turned, kMouseTurnMaxPerStep * 0.01f, 1e-3f) << "to the right, by the bound";
    for (int i = 0; i < 100; ++i) stepWorld(10);
    turned = std::fmod(before - headingDegrees(f.dir) + 360.0f, 360.0f);
    EXPECT_NEAR(turned, 327.67f, 0.05f) << "all of it in the end, never faster";
    // More than a full turn asked waits as one full turn at most.
    for (int i = 0; i < 5; ++i) askMouseTurn(f, 32767);
    EXPECT_EQ(f.mouseTurnPending, kMouseTurnMaxPending);

    fake.sent.clear();
    serverNetworkSend();
    ASSERT_FALSE(fake.sent.empty());
    StateSnapshot s;
    ASSERT_TRUE(parseStateSnapshot(sentMessage(0), s));
    ASSERT_TRUE(s.extras.present);
    EXPECT_EQ(s.extras.ackedKeySeq, 1u) << "the client's key 1 was applied";
}

}  // namespace
