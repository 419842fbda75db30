// test_codec.cpp -- every field of every part survives the way from the
// server's world to a client's: packed, parsed, applied. A field written
// from the wrong world value, or applied to the wrong one, fails here; a
// swap inside the codec's own field functions round-trips and is caught by
// the fixed offsets of OurDatagramsReadRightByAPlainPeer (test_loss.cpp).
#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "fake_net.h"

namespace {

void expectSameDirection(Vec3 got, Vec3 want, const char* what, size_t i) {
    EXPECT_NEAR(got.x, want.x, 1e-5f) << what << " " << i;
    EXPECT_NEAR(got.y, want.y, 1e-5f) << what << " " << i;
    EXPECT_NEAR(got.z, want.z, 1e-5f) << what << " " << i;
}

TEST(Codec, EveryFieldOfEveryEntryAndTheTrailerSurviveServerToClient) {
    useFakeNet();
    makeWorld(3, 2);
    giveEveryFieldItsOwnValue(2);
    const GameState server = gs;
    const EffectEvent events[] = {{EffectKind::Large, 1.5f, 2.25f, 3.75f},
                                  {EffectKind::Small, 4.5f, 5.25f, 0.75f},
                                  {EffectKind::Small, 6.5f, 7.25f, 1.25f}};
    net.bodySeq = 40;
    net.nextEffectId = 70;
    process.clockNowMs = 12345;
    gs.effectEvents = {events[0], events[1]};
    NetMessage lost;
    packState(lost);
    process.clockNowMs = 12355;
    gs.effectEvents = {events[2]};
    NetMessage body;
    packState(body);
    setMessageYourFighter(body, 2);

    StateSnapshot s;
    ASSERT_TRUE(parseStateSnapshot(body, s));
    EXPECT_EQ(s.kind, NetMessageKind::StateUpdate);
    EXPECT_EQ(s.yourFighter, 2);
    EXPECT_EQ(s.serverClockMs, 12355);
    EXPECT_EQ(s.serverFlags, 0);
    ASSERT_TRUE(s.hasSeq);
    EXPECT_EQ(s.bodySeq, 42u);
    EXPECT_EQ(s.firstEffectId, 72u);
    ASSERT_EQ(s.effects.size(), 1u);
    EXPECT_EQ(s.effects[0].id, 72u);
    // The lost body's two events come back with their ids, newest first.
    ASSERT_EQ(s.repeats.size(), 2u);
    EXPECT_EQ(s.repeats[0].id, 71u);
    EXPECT_EQ(s.repeats[1].id, 70u);

    // A client of the same level: absent fighters, no prey or bullets yet.
    resetGameStateForTest();
    makeWorld(3, 0);
    process.isServer = false;
    applySnapshot(s);
    EXPECT_EQ(startSnapshotEffects(s, true), 3);

    EXPECT_EQ(process.localFighterIndex, 2);
    for (size_t i = 0; i < server.fighterList.size(); ++i) {
        const Fighter& want = server.fighterList[i];
        const Fighter& got = gs.fighterList[i];
        const auto fields = [](const Fighter& f) {
            return std::tuple(f.pos.x, f.pos.y, f.state == FighterState::InPlay, f.score, f.health, f.bullets,
                              std::string(f.name), f.fightersDestroyed, f.deaths, f.pingMs, f.protectMs, f.respawnMs,
                              f.destroyedBy);
        };
        EXPECT_EQ(fields(got), fields(want)) << "fighter " << i;
        EXPECT_NE(got.state, FighterState::Dead) << "fighter " << i << ": out of play reads as absent";
        expectSameDirection(got.dir, want.dir, "fighter", i);
    }
    const auto round = [](const GameState& g) { return std::tuple(g.round.elapsedMs, g.round.over, g.round.restartMs, g.round.winner); };
    EXPECT_EQ(round(gs), round(server));
    ASSERT_EQ(gs.preyList.size(), server.preyList.size());
    for (size_t j = 0; j < server.preyList.size(); ++j) {
        const Prey& want = server.preyList[j];
        const Prey& got = gs.preyList[j];
        EXPECT_EQ(std::tuple(got.pos.x, got.pos.y, got.bodyTurn, got.pose), std::tuple(want.pos.x, want.pos.y, want.bodyTurn, want.pose))
            << "prey " << j;
        expectSameDirection(got.dir, want.dir, "prey", j);
    }
    ASSERT_EQ(gs.bulletList.size(), server.bulletList.size());
    for (size_t k = 0; k < server.bulletList.size(); ++k) {
        const Bullet& want = server.bulletList[k];
        const Bullet& got = gs.bulletList[k];
        EXPECT_EQ(std::tuple(got.pos.x, got.pos.y, got.pos.z, got.shooterKind), std::tuple(want.pos.x, want.pos.y, want.pos.z, want.shooterKind))
            << "bullet " << k;
        expectSameDirection(got.dir, want.dir, "bullet", k);
    }
    // The explosions of all three events, where they happened, of their size.
    ASSERT_EQ(gs.explosionList.size(), 3u);
    for (const EffectEvent& e : events) {
        bool found = false;
        for (const Explosion& x : gs.explosionList)
            found = found || (x.centre.x == e.x && x.centre.y == e.y && x.centre.z == e.z &&
                              x.pieceCount == (e.effectKind == EffectKind::Large ? 100 : 30));
        EXPECT_TRUE(found) << "explosion at " << e.x << ", " << e.y << ", " << e.z;
    }

    // The pause reaches the client's world.
    resetGameStateForTest();
    makeWorld(3, 0);
    gs.gamePaused = true;
    packState(body);
    resetGameStateForTest();
    makeWorld(3, 0);
    applyState(body);
    EXPECT_TRUE(gs.gamePaused);
}

// What only other peers send: the reserved point lists, and a body written
// whole by the codec's writer.
TEST(Codec, AWrittenSnapshotParsesBackFieldByField) {
    StateSnapshot s;
    s.kind = NetMessageKind::KeepAliveProbe;
    s.yourFighter = 3;
    s.serverFlags = kServerFlagPaused;
    s.serverClockMs = -7;
    s.fighters = {{1.25f, 2.5f, 3.75f, 1, -4, 5.5f, 6}};
    s.prey = {{7.25f, 8.5f, 9.75f, 10.25f, 11}};
    s.bullets = {{12.25f, 13.5f, 14.75f, 15.25f, 16.5f, 17}};
    s.pointsA = {{18.25f, 19.5f}, {20.75f, 21.25f}};
    s.pointsB = {{22.5f, 23.75f}};
    s.effects = {{1, 24.25f, 25.5f, 26.75f, 0}};
    s.hasSeq = true;
    s.bodySeq = 27;
    s.firstEffectId = 28;
    s.repeats = {{0, 29.25f, 30.5f, 31.75f, 26}, {1, 32.25f, 33.5f, 34.75f, 27}};
    NetMessage body;
    ASSERT_TRUE(writeStateSnapshot(s, body));
    StateSnapshot r;
    ASSERT_TRUE(parseStateSnapshot(body, r));
    s.effects[0].id = 28;  // the trailer numbers the body's own events
    EXPECT_EQ(r.kind, s.kind);
    EXPECT_EQ(r.yourFighter, s.yourFighter);
    EXPECT_EQ(r.serverFlags, s.serverFlags);
    EXPECT_EQ(r.serverClockMs, s.serverClockMs);
    EXPECT_TRUE(r.hasSeq);
    EXPECT_EQ(r.bodySeq, s.bodySeq);
    EXPECT_EQ(r.firstEffectId, s.firstEffectId);
    const FighterEntry& f = r.fighters.at(0);
    EXPECT_TRUE(f.x == 1.25f && f.y == 2.5f && f.heading == 3.75f && f.active == 1 && f.score == -4 &&
                f.health == 5.5f && f.bullets == 6);
    const PreyEntry& p = r.prey.at(0);
    EXPECT_TRUE(p.x == 7.25f && p.y == 8.5f && p.heading == 9.75f && p.bodyTurn == 10.25f && p.pose == 11);
    const BulletEntry& b = r.bullets.at(0);
    EXPECT_TRUE(b.x == 12.25f && b.y == 13.5f && b.z == 14.75f && b.heading == 15.25f && b.pitch == 16.5f &&
                b.shooterKind == 17);
    ASSERT_EQ(r.pointsA.size(), 2u);
    ASSERT_EQ(r.pointsB.size(), 1u);
    EXPECT_TRUE(r.pointsA[0].x == 18.25f && r.pointsA[0].y == 19.5f && r.pointsA[1].x == 20.75f &&
                r.pointsA[1].y == 21.25f && r.pointsB[0].x == 22.5f && r.pointsB[0].y == 23.75f);
    for (const auto& [got, want] : {std::pair{r.effects.at(0), s.effects[0]}, std::pair{r.repeats.at(0), s.repeats[0]},
                                    std::pair{r.repeats.at(1), s.repeats[1]}})
        EXPECT_TRUE(got.kind == want.kind && got.x == want.x && got.y == want.y && got.z == want.z && got.id == want.id)
            << "effect " << want.id;

    // Applied: the point lists land in the world as they came.
    useFakeNet();
    makeWorld(1, 0);
    applySnapshot(r);
    ASSERT_EQ(gs.reservedPointsA.size(), 2u);
    ASSERT_EQ(gs.reservedPointsB.size(), 1u);
    EXPECT_TRUE(gs.reservedPointsA[1].x == 20.75f && gs.reservedPointsA[1].y == 21.25f &&
                gs.reservedPointsB[0].x == 22.5f && gs.reservedPointsB[0].y == 23.75f);

    // What cannot travel is refused whole, and nothing is written.
    NetMessage untouched;
    StateSnapshot tooMany = s;
    tooMany.bullets.resize(kMaxEntryCount + 1);
    StateSnapshot tooLong = s;
    tooLong.fighters.resize(kMaxEntryCount);
    StateSnapshot tooManyRepeats = s;
    tooManyRepeats.repeats.resize(kMaxEffectRepeats + 1);
    for (const StateSnapshot* bad : {&tooMany, &tooLong, &tooManyRepeats}) {
        EXPECT_FALSE(writeStateSnapshot(*bad, untouched));
        EXPECT_EQ(messageKind(untouched), NetMessageKind{});
    }
}

TEST(Codec, KeyRecordsAndTheKeyExtensionSurviveTheirWayAndAMalformedOneIsRefused) {
    NetMessage m;
    for (const KeyRecord k : {KeyRecord{0x01020304u, 1, 0}, KeyRecord{kKeyLeftArrow, 0, 1}}) {
        writeKeyRecord(m, k);
        const KeyRecord r = readKeyRecord(m);
        EXPECT_TRUE(r.key == k.key && r.released == k.released && r.special == k.special) << k.key;
    }
    KeyExtension x;
    x.present = true;
    x.newestSeq = 40;
    x.historyCount = 3;
    x.history[0] = {'i', 1, 0};
    x.history[1] = {kKeyUpArrow, 0, 1};
    x.history[2] = {'j', 0, 0};
    for (int b = 0; b < 32; ++b) x.held[b] = static_cast<uint8_t>(b * 7 + 1);
    writeKeyExtension(m, x);
    const KeyExtension r = readKeyExtension(m);
    ASSERT_TRUE(r.present);
    EXPECT_EQ(r.newestSeq, 40u);
    ASSERT_EQ(r.historyCount, 3);
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(r.history[i].key == x.history[i].key && r.history[i].released == x.history[i].released &&
                    r.history[i].special == x.history[i].special)
            << i;
    EXPECT_EQ(std::memcmp(r.held, x.held, sizeof x.held), 0);

    // More events than sent, more than the history holds, or a plain peer.
    x.newestSeq = 2;
    writeKeyExtension(m, x);
    EXPECT_FALSE(readKeyExtension(m).present);
    x.newestSeq = 100;
    x.historyCount = kKeyHistory + 1;
    writeKeyExtension(m, x);
    EXPECT_FALSE(readKeyExtension(m).present);
    writeKeyExtension(m, KeyExtension{});
    EXPECT_FALSE(readKeyExtension(m).present);
}

}  // namespace
