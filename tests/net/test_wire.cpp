// test_wire.cpp -- the datagram's bytes as a peer sees them, and the state
// picture from the server's world to a client's.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "fake_net.h"

namespace {

uint32_t u32At(const NetMessage& m, int off) {
    return static_cast<uint32_t>(m.bytes[off]) | (static_cast<uint32_t>(m.bytes[off + 1]) << 8) |
           (static_cast<uint32_t>(m.bytes[off + 2]) << 16) |
           (static_cast<uint32_t>(m.bytes[off + 3]) << 24);
}
float f32At(const NetMessage& m, int off) { return std::bit_cast<float>(u32At(m, off)); }

void putU8At(NetMessage& m, int off, uint8_t v) { m.bytes[off] = v; }
void putF32At(NetMessage& m, int off, float v) {
    const uint32_t u = std::bit_cast<uint32_t>(v);
    for (int i = 0; i < 4; ++i) m.bytes[off + i] = static_cast<uint8_t>(u >> (8 * i));
}

bool allZeroFrom(const NetMessage& m, int from) {
    for (int i = from; i < kNetMessageSize; ++i)
        if (m.bytes[i] != 0) return false;
    return true;
}

// The server's world of 2 fighters, 3 prey and 1 bullet, packed and sent
// to the client in slot 0.
NetMessage packedSmallWorld() {
    makeWorld(2, 3);
    gs.fighterList[0].pos = Vec3{12.0f, 20.0f, kFighterHeight};
    gs.fighterList[0].score = 7;
    gs.fighterList[1].state = InPlay;
    gs.preyList[2].pose = 17;
    gs.preyList[2].bodyTurn = -12.5f;
    Bullet b;
    b.pos = Vec3{30.0f, 31.0f, 1.4f};
    b.dir = Vec3{0.0f, 0.99498744f, 0.1f};
    b.shooterKind = PreyCannon;
    gs.bulletList.push_back(b);
    gs.clockNowMs = 59999;
    NetMessage body;
    packState(body);
    setMessageKind(body, StateUpdate);
    net.netSocket = 3;
    net.clients[0].inUse = 1;
    net.clients[0].address = clientAddress(0);
    broadcastState(body);
    return sentMessage(0);
}

TEST(Wire, KeyEventForTheKeyIIsTheDocumentedBytes) {
    useFakeNet();
    net.role = RoleClient;
    net.netSocket = 3;
    sendKeyEvent('i', false, false);
    sendKeyEvent('i', true, false);
    ASSERT_EQ(fake.sent.size(), 2u);
    const uint8_t head[16] = {4, 0, 0, 0, 0, 0, 0, 0, 0x69, 0, 0, 0, 0, 0, 0, 0};
    const NetMessage press = sentMessage(0), release = sentMessage(1);
    EXPECT_EQ(fake.sent[0].bytes.size(), static_cast<size_t>(kNetMessageSize));
    EXPECT_EQ(std::memcmp(press.bytes, head, 16), 0);
    EXPECT_TRUE(allZeroFrom(press, 16));
    for (int i = 0; i < kNetMessageSize; ++i)
        if (i != 12) {
            EXPECT_EQ(release.bytes[i], press.bytes[i]) << "byte " << i;
        }
    EXPECT_EQ(release.bytes[12], 1);
    // A special key sets byte 13; the left arrow and d share code 100.
    sendKeyEvent(kKeyLeftArrow, false, true);
    EXPECT_EQ(sentMessage(2).bytes[8], 100);
    EXPECT_EQ(sentMessage(2).bytes[13], 1);
}

TEST(Wire, StateBodyLayoutFor2Fighters3Prey1Bullet) {
    useFakeNet();
    const NetMessage m = packedSmallWorld();
    const uint8_t counts[7] = {1, 2, 3, 1, 0, 0, 0};
    EXPECT_EQ(std::memcmp(m.bytes + 8, counts, 7), 0);
    EXPECT_EQ(m.bytes[0], 14);
    EXPECT_EQ(u32At(m, 4), 0u) << "senderWord";
    EXPECT_EQ(static_cast<int32_t>(u32At(m, 16)), 59999);
    // Fighter entries at 20 and 48, little-endian floats.
    EXPECT_EQ(m.bytes[20], 0x00);
    EXPECT_EQ(m.bytes[23], 0x41);  // 12.0f = 0x41400000
    EXPECT_FLOAT_EQ(f32At(m, 20), 12.0f);
    EXPECT_FLOAT_EQ(f32At(m, 24), 20.0f);
    EXPECT_FLOAT_EQ(f32At(m, 28), 0.0f);  // direction code 1: +x
    EXPECT_EQ(m.bytes[32], 1);            // fighter 0 in play
    EXPECT_EQ(u32At(m, 36), 7u);
    EXPECT_FLOAT_EQ(f32At(m, 40), 100.0f);
    EXPECT_EQ(u32At(m, 44), 250u);
    EXPECT_EQ(m.bytes[48 + 12], 1);
    // Prey at 76, 96, 116: the third carries its pose and body turn.
    EXPECT_FLOAT_EQ(f32At(m, 76 + 8), 90.0f);  // code 2: +y
    EXPECT_FLOAT_EQ(f32At(m, 116 + 12), -12.5f);
    EXPECT_EQ(m.bytes[116 + 16], 17);
    // Bullet at 136: position, heading, pitch, shooter.
    EXPECT_FLOAT_EQ(f32At(m, 136), 30.0f);
    EXPECT_FLOAT_EQ(f32At(m, 136 + 8), 1.4f);
    EXPECT_FLOAT_EQ(f32At(m, 136 + 12), 90.0f);
    EXPECT_NEAR(f32At(m, 136 + 16), 5.7391f, 1e-3);
    EXPECT_EQ(u32At(m, 136 + 20), static_cast<uint32_t>(PreyCannon));
    EXPECT_TRUE(allZeroFrom(m, 160));
}

TEST(Wire, ZeroDirectionEncodesAsHeading90AndDeadFightersAsInactive) {
    useFakeNet();
    makeWorld(3, 0);
    gs.fighterList[1].dir = Vec3{};
    gs.fighterList[1].state = InPlay;
    gs.fighterList[2].state = Dead;
    NetMessage body;
    packState(body);
    EXPECT_FLOAT_EQ(f32At(body, 48 + 8), 90.0f);
    EXPECT_EQ(body.bytes[48 + 12], 1);
    EXPECT_EQ(body.bytes[76 + 12], 0);
}

TEST(Wire, PackingEmptiesTheEffectEventsAndTheyArriveOnce) {
    useFakeNet();
    makeWorld(2, 0);
    gs.effectEvents.push_back(EffectEvent{EffectSmall, 1.0f, 2.0f, 3.0f});
    gs.effectEvents.push_back(EffectEvent{EffectLarge, 4.0f, 5.0f, 6.0f});
    NetMessage body;
    packState(body);
    EXPECT_TRUE(gs.effectEvents.empty());
    EXPECT_EQ(body.bytes[14], 2);
    const int off = 20 + 2 * kFighterEntrySize;
    EXPECT_EQ(body.bytes[off], 1);
    EXPECT_FLOAT_EQ(f32At(body, off + 12), 3.0f);
    EXPECT_EQ(body.bytes[off + 20], 0);
    NetMessage next;
    packState(next);
    EXPECT_EQ(next.bytes[14], 0);
}

TEST(Wire, AnOverfullWorldIsCutToFitBulletsFirst) {
    useFakeNet();
    makeWorld(9, 0);
    gs.preyList.resize(300);      // more than a count byte holds
    gs.bulletList.resize(400);
    gs.effectEvents.resize(20);
    NetMessage body;
    std::memset(body.bytes, 0xEE, sizeof body.bytes);
    packState(body);
    EXPECT_EQ(body.bytes[9], 9);
    EXPECT_EQ(body.bytes[10], 255);
    EXPECT_EQ(body.bytes[14], 20);
    const int used = 20 + 9 * 28 + 255 * 20 + 20 * 20;
    EXPECT_EQ(body.bytes[11], (kNetMessageSize - used) / 24);
    EXPECT_TRUE(stateBodyValid(body));
}

TEST(Wire, PackAndApplyRoundTripCarriesTheWholePicture) {
    useFakeNet();
    const NetMessage m = packedSmallWorld();
    const GameState server = gs;
    resetGameStateForTest();
    makeWorld(2, 5);  // the client's own prey count differs
    applyState(m);
    EXPECT_EQ(gs.localFighterIndex, 1);
    ASSERT_EQ(preyCount(), 3);
    ASSERT_EQ(bulletCount(), 1);
    EXPECT_FLOAT_EQ(gs.fighterList[0].pos.x, 12.0f);
    EXPECT_FLOAT_EQ(gs.fighterList[0].pos.z, kFighterHeight) << "height is the client's own";
    EXPECT_EQ(gs.fighterList[0].score, 7);
    EXPECT_EQ(gs.fighterList[1].state, InPlay);
    for (int i = 0; i < 3; ++i) {
        EXPECT_NEAR(gs.preyList[i].dir.x, server.preyList[i].dir.x, 1e-6);
        EXPECT_NEAR(gs.preyList[i].dir.y, server.preyList[i].dir.y, 1e-6);
    }
    EXPECT_EQ(gs.preyList[2].pose, 17);
    EXPECT_FLOAT_EQ(gs.preyList[2].bodyTurn, -12.5f);
    const Bullet& b = gs.bulletList[0];
    EXPECT_NEAR(b.dir.x, 0.0f, 1e-6);
    EXPECT_NEAR(b.dir.y, 0.99498744f, 1e-6);
    EXPECT_NEAR(b.dir.z, 0.1f, 1e-6);
    EXPECT_FLOAT_EQ(b.pos.z, 1.4f);
    EXPECT_EQ(b.shooterKind, PreyCannon);
}

TEST(Wire, ApplyResizesTheListsBothWays) {
    useFakeNet();
    makeWorld(2, 3);
    NetMessage three;
    packState(three);
    makeWorld(2, 5);
    NetMessage five;
    packState(five);

    resetGameStateForTest();
    makeWorld(2, 5);
    gs.preyList[0].mode = Hunt;
    applyState(three);
    EXPECT_EQ(preyCount(), 3);
    EXPECT_EQ(gs.preyList[0].mode, Hunt) << "untransmitted fields are kept";
    applyState(five);
    EXPECT_EQ(preyCount(), 5);
    EXPECT_FLOAT_EQ(gs.preyList[4].pos.x, (2 + 4 + 0.5f) * 8.0f);
    EXPECT_EQ(gs.preyList[4].mode, Roam) << "appended records start from defaults";
}

TEST(Wire, ActiveEntriesBringFightersIntoPlayInactiveOnesTakeThemOut) {
    useFakeNet();
    makeWorld(3, 0);
    gs.fighterList[2].state = InPlay;
    NetMessage body;
    packState(body);  // 0 and 2 active, 1 absent
    resetGameStateForTest();
    makeWorld(3, 0);  // client: only fighter 0 in play
    gs.fighterList[1].state = InPlay;
    applyState(body);
    EXPECT_EQ(gs.fighterList[0].state, InPlay);
    EXPECT_EQ(gs.fighterList[1].state, Absent);
    EXPECT_EQ(gs.fighterList[2].state, InPlay) << "other players must be seen";
}

TEST(Wire, HostileBodiesChangeNothingOrOnlyWhatIsSafe) {
    useFakeNet();
    makeWorld(2, 3);
    NetMessage good;
    packState(good);
    const GameState before = gs;

    // Counts that claim more entries than 6008 bytes hold.
    NetMessage huge = good;
    putU8At(huge, 10, 255);
    putU8At(huge, 11, 255);
    EXPECT_FALSE(stateBodyValid(huge));
    applyState(huge);
    EXPECT_EQ(preyCount(), 3);

    // A position that is not a number.
    NetMessage nan = good;
    putF32At(nan, 20, std::nanf(""));
    applyState(nan);
    EXPECT_FLOAT_EQ(gs.fighterList[0].pos.x, before.fighterList[0].pos.x);

    // yourFighter naming no fighter keeps the index; the rest still applies.
    gs.localFighterIndex = 1;
    NetMessage stray = good;
    putU8At(stray, 8, 200);
    putF32At(stray, 20, 33.0f);
    applyState(stray);
    EXPECT_EQ(gs.localFighterIndex, 1);
    EXPECT_FLOAT_EQ(gs.fighterList[0].pos.x, 33.0f);

    // Another level's fighter count: only the index changes.
    NetMessage other = good;
    putU8At(other, 8, 0);
    putU8At(other, 9, 1);
    putU8At(other, 10, 0);
    applyState(other);
    EXPECT_EQ(gs.localFighterIndex, 0);
    EXPECT_EQ(preyCount(), 3);
}

TEST(Wire, EffectsStartOncePerCallAndOnlyKnownKinds) {
    useFakeNet();
    if (!explosionsAvailable()) GTEST_SKIP() << "explosion starters not linked yet";
    makeWorld(2, 0);
    gs.effectEvents.push_back(EffectEvent{EffectSmall, 1.0f, 2.0f, 3.0f});
    gs.effectEvents.push_back(EffectEvent{EffectLarge, 4.0f, 5.0f, 6.0f});
    gs.effectEvents.push_back(EffectEvent{7, 4.0f, 5.0f, 6.0f});
    NetMessage body;
    packState(body);
    gs.explosionList.clear();
    applyState(body);
    EXPECT_EQ(explosionCount(), 0) << "applying alone starts nothing";
    startStateEffects(body);
    ASSERT_EQ(explosionCount(), 2);
    EXPECT_EQ(gs.explosionList[0].pieceCount, 30);
    EXPECT_EQ(gs.explosionList[1].pieceCount, 100);
}

}  // namespace
