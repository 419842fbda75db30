// test_wire.cpp -- the datagram's bytes as a peer sees them, and the state
// picture from the server's world to a client's.
#include <gtest/gtest.h>

#include <cmath>

#include "fake_net.h"

namespace {

uint32_t u32At(const NetMessage& m, int off) {
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = (v << 8) | m.bytes[off + i];
    return v;
}
float f32At(const NetMessage& m, int off) { return std::bit_cast<float>(u32At(m, off)); }
void putF32At(NetMessage& m, int off, float v) {
    for (int i = 0; i < 4; ++i) m.bytes[off + i] = static_cast<uint8_t>(std::bit_cast<uint32_t>(v) >> (8 * i));
}
int firstNonZeroFrom(const NetMessage& m, int from) {
    while (from < kNetMessageSize && m.bytes[from] == 0) ++from;
    return from;
}

// The server's world of 2 fighters, 3 prey and 1 bullet, as sent to the
// client in slot 0. Fighter 1 stands still: its direction is zero.
NetMessage packedSmallWorld() {
    makeWorld(2, 3);
    gs.fighterList[0].pos = Vec3{12.0f, 20.0f, kFighterHeight};
    gs.fighterList[0].score = 7;
    gs.fighterList[1].state = InPlay;
    gs.fighterList[1].dir = Vec3{};
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
    net.clients[0] = ClientSlot{clientAddress(0), 1, 0};
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
    ASSERT_EQ(fake.sent[0].bytes.size(), static_cast<size_t>(kNetMessageSize));
    const uint8_t head[16] = {4, 0, 0, 0, 0, 0, 0, 0, 0x69, 0, 0, 0, 0, 0, 0, 0};
    const NetMessage press = sentMessage(0);
    const NetMessage release = sentMessage(1);
    EXPECT_EQ(std::memcmp(press.bytes, head, 16), 0);
    // The extension: marker "MZK1", sequence 1, one history entry, key i
    // (105) held: bit 1 of held byte 13; the entry repeats the event.
    EXPECT_EQ(std::memcmp(press.bytes + 16, "MZK1", 4), 0);
    EXPECT_EQ(u32At(press, 20), 1u);
    EXPECT_EQ(press.bytes[24], 1);
    EXPECT_EQ(press.bytes[28 + 13], 0x02);
    EXPECT_EQ(u32At(press, 60), 0x69u);
    EXPECT_EQ(firstNonZeroFrom(press, 64), kNetMessageSize);
    EXPECT_EQ(release.bytes[12], 1) << "the release flag";
    EXPECT_EQ(u32At(release, 20), 2u);
    EXPECT_EQ(release.bytes[24], 2);
    EXPECT_EQ(release.bytes[28 + 13], 0) << "no longer held";
    EXPECT_EQ(release.bytes[64], 1) << "newest first: the release, then the press";
    EXPECT_EQ(release.bytes[72], 0);
}

TEST(Wire, StateBodyFor2Fighters3Prey1BulletHasTheDocumentedLayoutAndAppliesWhole) {
    useFakeNet();
    const NetMessage m = packedSmallWorld();
    const uint8_t head[8] = {14, 0, 0, 0, 0, 0, 0, 0}, counts[7] = {1, 2, 3, 1, 0, 0, 0};
    EXPECT_EQ(std::memcmp(m.bytes, head, 8), 0) << "kind, then the zero senderWord";
    EXPECT_EQ(std::memcmp(m.bytes + 8, counts, 7), 0);
    EXPECT_EQ(u32At(m, 16), 59999u);
    EXPECT_EQ(m.bytes[23], 0x41) << "12.0f = 0x41400000, little-endian";
    // Fighters at 20 and 48, prey at 76, 96, 116, the bullet at 136.
    const struct { int off; float value; } floats[] = {
        {20, 12.0f}, {24, 20.0f}, {28, 0.0f}, {40, 100.0f},  // fighter 0 faces +x
        {48 + 8, 90.0f},                                       // a zero direction is heading 90
        {76 + 8, 90.0f}, {116 + 12, -12.5f},                   // prey face +y; body turn
        {136, 30.0f}, {136 + 8, 1.4f}, {136 + 12, 90.0f},      // bullet position, heading
    };
    for (const auto& f : floats) EXPECT_FLOAT_EQ(f32At(m, f.off), f.value) << "offset " << f.off;
    EXPECT_NEAR(f32At(m, 136 + 16), 5.7391f, 1e-3) << "bullet pitch";
    for (const auto& [off, value] : {std::pair{36, 7u}, {44, 250u}, {136 + 20, uint32_t{PreyCannon}}})
        EXPECT_EQ(u32At(m, off), value) << "offset " << off;  // score, bullets, shooter
    EXPECT_EQ(m.bytes[32], 1) << "fighter 0 in play";
    EXPECT_EQ(m.bytes[48 + 12], 1) << "fighter 1 in play";
    EXPECT_EQ(m.bytes[116 + 16], 17) << "prey pose";
    // Then zeros up to the trailer at the datagram's end: "MZS1", body 1,
    // first effect id 1, no repeats.
    EXPECT_EQ(firstNonZeroFrom(m, 160), kNetMessageSize - kStateTailSize);
    EXPECT_EQ(std::memcmp(m.bytes + 5992, "MZS1", 4), 0);
    EXPECT_EQ(u32At(m, 5996), 1u);
    EXPECT_EQ(u32At(m, 6000), 1u);
    EXPECT_EQ(firstNonZeroFrom(m, 6001), kNetMessageSize);

    // A client with another prey count takes the whole picture.
    const GameState server = gs;
    resetGameStateForTest();
    makeWorld(2, 5);
    applyState(m);
    EXPECT_EQ(gs.localFighterIndex, 1);
    ASSERT_EQ(preyCount(), 3);
    ASSERT_EQ(bulletCount(), 1);
    EXPECT_FLOAT_EQ(gs.fighterList[0].pos.x, 12.0f);
    EXPECT_FLOAT_EQ(gs.fighterList[0].pos.z, kFighterHeight) << "height is the client's own";
    EXPECT_EQ(gs.fighterList[0].score, 7);
    EXPECT_EQ(gs.fighterList[1].state, InPlay);
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(gs.preyList[i].dir.y, server.preyList[i].dir.y, 1e-6);
    EXPECT_EQ(gs.preyList[2].pose, 17);
    EXPECT_FLOAT_EQ(gs.preyList[2].bodyTurn, -12.5f);
    const Bullet& b = gs.bulletList[0];
    EXPECT_NEAR(b.dir.x, 0.0f, 1e-6);
    EXPECT_NEAR(b.dir.y, 0.99498744f, 1e-6);
    EXPECT_NEAR(b.dir.z, 0.1f, 1e-6);
    EXPECT_FLOAT_EQ(b.pos.z, 1.4f);
    EXPECT_EQ(b.shooterKind, PreyCannon);
}

TEST(Wire, ApplyResizesTheListsBothWaysAndSetsWhoIsInPlay) {
    useFakeNet();
    // Server: fighter 1 dead, 2 in play; 3 prey, then 5.
    void (*edit)() = [] {
        gs.fighterList[1].state = Dead;
        gs.fighterList[2].state = InPlay;
    };
    const NetMessage three = stateFor(3, 3, 0, StateUpdate, edit), five = stateFor(3, 5, 0, StateUpdate, edit);
    makeWorld(3, 5);
    gs.fighterList[1].state = InPlay;  // client: 0 and 1 in play
    gs.preyList[0].mode = Hunt;
    applyState(three);
    EXPECT_EQ(preyCount(), 3);
    EXPECT_EQ(gs.preyList[0].mode, Hunt) << "untransmitted fields are kept";
    EXPECT_EQ(gs.fighterList[1].state, Absent) << "a dead fighter is sent as not in play";
    EXPECT_EQ(gs.fighterList[2].state, InPlay) << "other players must be seen";
    applyState(five);
    EXPECT_EQ(preyCount(), 5);
    EXPECT_FLOAT_EQ(gs.preyList[4].pos.x, (2 + 4 + 0.5f) * 8.0f);
    EXPECT_EQ(gs.preyList[4].mode, Roam) << "appended records start from defaults";
}

TEST(Wire, EffectEventsTravelOnceAndStartOncePerCall) {
    useFakeNet();
    makeWorld(2, 0);
    gs.effectEvents = {EffectEvent{EffectSmall, 1.0f, 2.0f, 3.0f}, EffectEvent{EffectLarge, 4.0f, 5.0f, 6.0f},
                       EffectEvent{7, 4.0f, 5.0f, 6.0f}};
    NetMessage body, next;
    packState(body);
    packState(next);
    EXPECT_TRUE(gs.effectEvents.empty());
    EXPECT_EQ(body.bytes[14], 3);
    EXPECT_EQ(next.bytes[14], 0) << "packed once only";
    applyState(body);
    EXPECT_EQ(explosionCount(), 0) << "applying alone starts nothing";
    StateSnapshot parsed;
    ASSERT_TRUE(parseStateSnapshot(body, parsed));
    startSnapshotEffects(parsed, true);
    ASSERT_EQ(explosionCount(), 2) << "unknown kinds start nothing";
    EXPECT_EQ(gs.explosionList[0].pieceCount, 30);
    EXPECT_FLOAT_EQ(gs.explosionList[0].centre.z, 3.0f);
    EXPECT_EQ(gs.explosionList[1].pieceCount, 100);
}

TEST(Wire, AnOverfullWorldIsCutToFitBulletsFirst) {
    useFakeNet();
    makeWorld(9, 0);
    gs.preyList.resize(300);  // more than a count byte holds
    gs.bulletList.resize(400);
    gs.effectEvents.resize(20);
    NetMessage body;
    std::memset(body.bytes, 0xEE, sizeof body.bytes);
    packState(body);
    EXPECT_EQ(body.bytes[9], 9);
    EXPECT_EQ(body.bytes[10], 255);
    EXPECT_EQ(body.bytes[14], 20);
    EXPECT_EQ(body.bytes[11], (kNetMessageSize - (20 + 9 * 28 + 255 * 20 + 20 * 20) - kStateTailSize) / 24);
    EXPECT_TRUE(stateBodyValid(body));
}

TEST(Wire, HostileBodiesChangeNothingOrOnlyWhatIsSafe) {
    useFakeNet();
    makeWorld(2, 3);
    gs.localFighterIndex = 1;
    NetMessage good;
    packState(good);
    const float x0 = gs.fighterList[0].pos.x;
    const auto hostile = [&](auto edit) {
        NetMessage m = good;
        edit(m);
        applyState(m);
    };
    // Counts that claim more entries than 6008 bytes hold; a NaN position.
    hostile([](NetMessage& m) { m.bytes[10] = m.bytes[11] = 255; });
    hostile([](NetMessage& m) { putF32At(m, 20, std::nanf("")); });
    EXPECT_EQ(preyCount(), 3);
    EXPECT_FLOAT_EQ(gs.fighterList[0].pos.x, x0);
    // yourFighter naming no fighter keeps the index; the rest still applies.
    hostile([](NetMessage& m) {
        m.bytes[8] = 200;
        putF32At(m, 20, 33.0f);
    });
    EXPECT_EQ(gs.localFighterIndex, 1);
    EXPECT_FLOAT_EQ(gs.fighterList[0].pos.x, 33.0f);
    // Another level's fighter count: only the index changes.
    hostile([](NetMessage& m) { m.bytes[8] = 0, m.bytes[9] = 1, m.bytes[10] = 0; });
    EXPECT_EQ(gs.localFighterIndex, 0);
    EXPECT_EQ(preyCount(), 3);
}

}  // namespace
