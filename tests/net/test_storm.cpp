// test_storm.cpp -- the hostile-datagram maker sends every shape at every
// length; a server and a client under its storms keep going, keep a valid
// world, and keep serving and following their real peers.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>

#include "fake_net.h"
#include "net/storm.h"
#include "tests/game_end_print.h"
#include "prey/prey.h"

namespace {

constexpr int kLevelFighters = 9;

void queueStorm(const StormDatagram& d, NetAddress from) {
    fake.inbox.push_back(FakeDatagram{std::vector<uint8_t>(d.bytes, d.bytes + d.length), from});
}

NetMessage firstBytes(const StormDatagram& d) {
    NetMessage m;
    std::memcpy(m.bytes, d.bytes, kNetMessageSize);
    return m;
}

bool finite(Vec3 v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

// What a player would notice first: a fighter off the floor or not a
// number, an impossible state or count, a shown fighter that does not
// exist, a quit nobody asked for.
testing::AssertionResult worldValid() {
    if (fighterCount() != kLevelFighters) return testing::AssertionFailure() << fighterCount() << " fighters";
    if (process.localFighterIndex < 0 || process.localFighterIndex >= fighterCount())
        return testing::AssertionFailure() << "shown fighter " << process.localFighterIndex;
    for (int i = 0; i < fighterCount(); ++i) {
        const Fighter& f = gs.fighterList[i];
        if (!finite(f.pos) || !finite(f.dir) || !std::isfinite(f.health))
            return testing::AssertionFailure() << "fighter " << i << " not finite";
        if (f.state != FighterState::InPlay && f.state != FighterState::Dead && f.state != FighterState::Absent)
            return testing::AssertionFailure() << "fighter " << i << " in state " << static_cast<int>(f.state);
    }
    for (const Prey& p : gs.preyList)
        if (!finite(p.pos) || !finite(p.dir)) return testing::AssertionFailure() << "a prey not finite";
    for (const Bullet& b : gs.bulletList)
        if (!finite(b.pos) || !finite(b.dir)) return testing::AssertionFailure() << "a bullet not finite";
    if (preyCount() > kMaxEntryCount || bulletCount() > kMaxEntryCount)
        return testing::AssertionFailure() << preyCount() << " prey, " << bulletCount() << " bullets";
    if (process.quitRequested) return testing::AssertionFailure() << "quit requested";
    return testing::AssertionSuccess();
}

// On the server, also: every fighter a client drives stays on the level's floor.
testing::AssertionResult serverFightersOnFloor() {
    const float width = static_cast<float>(maze.cols) * maze.cellSize;
    const float depth = static_cast<float>(maze.rows) * maze.cellSize;
    for (int i = 0; i < fighterCount(); ++i) {
        const Fighter& f = gs.fighterList[i];
        if (f.state == FighterState::InPlay && (f.pos.x < 0 || f.pos.y < 0 || f.pos.x > width || f.pos.y > depth))
            return testing::AssertionFailure() << "fighter " << i << " at " << f.pos.x << ", " << f.pos.y;
        if (f.health > kStartHealth || f.bullets < 0 || f.bullets > maze.startBullets)
            return testing::AssertionFailure() << "fighter " << i << " health " << f.health << " bullets " << f.bullets;
    }
    return testing::AssertionSuccess();
}

TEST(StormMaker, EveryShapeAtEveryLengthAndEachShapeIsWhatItsNameSays) {
    int seen[StormShapeCount][StormLengthCount] = {};
    std::set<uint16_t> randomKinds;
    StormDatagram d;
    constexpr uint32_t kCount = 10000;
    for (uint32_t i = 0; i < kCount; ++i) {
        makeStormDatagram(1, i, kLevelFighters, kStormAllShapes, d);
        ++seen[d.shape][d.lengthClass];
        const int lo[] = {0, 1, 8, kNetMessageSize - 1, kNetMessageSize, kNetMessageSize + 1};
        const int hi[] = {0, 7, kNetMessageSize - 2, kNetMessageSize - 1, kNetMessageSize, kStormMaxLength};
        ASSERT_GE(d.length, lo[d.lengthClass]) << "datagram " << i;
        ASSERT_LE(d.length, hi[d.lengthClass]) << "datagram " << i;
        if (d.lengthClass != StormExact) continue;
        // The real readers judge each shape as its name says.
        const NetMessage m = firstBytes(d);
        StateSnapshot s;
        const bool valid = parseStateSnapshot(m, s);
        const NetMessageKind kind = messageKind(m);
        const KeyRecord key = readKeyRecord(m);
        switch (d.shape) {
        case StormRandomBytes: randomKinds.insert(static_cast<uint16_t>(kind)); break;
        case StormCountsOverrun: EXPECT_FALSE(valid) << i; break;
        case StormWrongFighters: EXPECT_TRUE(valid && s.fighters.size() != kLevelFighters) << i; break;
        case StormFarAheadBody: EXPECT_TRUE(valid && s.hasSeq && s.bodySeq >= 5999u) << i; break;
        case StormEffectFlood:
            EXPECT_TRUE(valid && s.effects.size() == 255 && s.repeats.size() == kMaxEffectRepeats) << i;
            break;
        case StormPausedBody: EXPECT_TRUE(valid && (s.serverFlags & kServerFlagPaused)) << i; break;
        case StormNonFinite: EXPECT_TRUE(!valid || !s.hasSeq) << i; break;
        case StormHostileEntries: EXPECT_TRUE(valid && s.fighters.size() == kLevelFighters) << i; break;
        case StormBadTrailer: EXPECT_TRUE(valid && !s.hasSeq) << i; break;
        case StormHugeKeyCode: EXPECT_GE(key.key, 256u) << i; break;
        case StormQuitOrToggleKey: EXPECT_TRUE(keyIsLocalOnly(static_cast<int>(key.key), key.special != 0)) << i; break;
        case StormBadKeyExtension: EXPECT_TRUE(kind == NetMessageKind::KeyEvent || kind == NetMessageKind::KeepAliveAnswer) << i; break;
        case StormJoinRequest: EXPECT_EQ(kind, NetMessageKind::JoinRequest) << i; break;
        case StormJoinReply: EXPECT_TRUE(kind == NetMessageKind::JoinAccepted || kind == NetMessageKind::JoinRefused) << i; break;
        default: break;
        }
    }
    for (int shape = 0; shape < StormShapeCount; ++shape)
        for (int length = 0; length < StormLengthCount; ++length)
            EXPECT_GT(seen[shape][length], 0) << stormShapeName(static_cast<StormShape>(shape)) << " length class " << length;
    for (const uint16_t kind : {0, 1, 2, 3, 4, 11, 12, 13, 14, 0xFFFF}) EXPECT_TRUE(randomKinds.count(kind)) << kind;

    // The same seed and index give the same bytes (a failing storm can be sent again).
    StormDatagram again;
    makeStormDatagram(7, 123, kLevelFighters, kStormAllShapes, d);
    makeStormDatagram(7, 123, kLevelFighters, kStormAllShapes, again);
    EXPECT_TRUE(d.length == again.length && std::equal(d.bytes, d.bytes + d.length, again.bytes));
    // A set of shapes gives those only, each of them.
    int stateShapes[StormShapeCount] = {};
    for (uint32_t i = 0; i < 300; ++i) {
        makeStormDatagram(3, i, kLevelFighters, kStormStateShapes, d);
        ++stateShapes[d.shape];
    }
    for (int shape = 0; shape < StormShapeCount; ++shape)
        EXPECT_EQ(stateShapes[shape] > 0, shape >= StormRandomCounts && shape <= StormBadTrailer) << shape;
}

// Ones' complement sum of big-endian words, folded.
uint16_t onesSum(const std::vector<uint8_t>& b) {
    uint32_t sum = 0;
    for (size_t i = 0; i < b.size(); i += 2) sum += static_cast<uint32_t>(b[i] << 8 | (i + 1 < b.size() ? b[i + 1] : 0));
    while (sum >> 16) sum = (sum & 0xFFFF) + (sum >> 16);
    return static_cast<uint16_t>(sum);
}

uint16_t be16(const uint8_t* b) { return static_cast<uint16_t>(b[0] << 8 | b[1]); }

TEST(StormSpoof, FragmentsCarryTheDatagramFromTheForgedSenderWithGoodChecksums) {
    StormDatagram d;
    makeStormDatagram(3, 5, kLevelFighters, kStormAllShapes, d);
    const NetAddress from{0x7F000001, kNetPort}, to{0x0A000002, 40000};
    static SpoofedPackets p;
    ASSERT_TRUE(buildSpoofedPackets(d.bytes, kNetMessageSize, from, to, 77, p));
    // 8 + 6008 bytes of UDP in fragments of 1480.
    ASSERT_EQ(p.count, 5);
    std::vector<uint8_t> udp;
    for (int i = 0; i < p.count; ++i) {
        const uint8_t* h = p.bytes[i];
        EXPECT_EQ(onesSum(std::vector<uint8_t>(h, h + kIpv4HeaderSize)), 0xFFFF) << "fragment " << i;
        EXPECT_EQ(h[0], 0x45);
        EXPECT_EQ(h[9], 17);
        EXPECT_EQ(be16(h + 2), p.length[i]);
        EXPECT_EQ(be16(h + 4), 77);
        EXPECT_EQ((be16(h + 6) & 0x1FFF) * 8u, udp.size()) << "fragment " << i;
        EXPECT_EQ((be16(h + 6) & 0x2000) != 0, i + 1 < p.count) << "fragment " << i;
        EXPECT_TRUE(std::equal(h + 12, h + 20, std::vector<uint8_t>{127, 0, 0, 1, 10, 0, 0, 2}.begin()));
        EXPECT_LE(p.length[i], 1500);
        udp.insert(udp.end(), h + kIpv4HeaderSize, h + p.length[i]);
    }
    ASSERT_EQ(udp.size(), static_cast<size_t>(kUdpHeaderSize + kNetMessageSize));
    EXPECT_EQ(be16(udp.data()), kNetPort);
    EXPECT_EQ(be16(udp.data() + 2), 40000);
    EXPECT_EQ(be16(udp.data() + 4), udp.size());
    EXPECT_TRUE(std::equal(d.bytes, d.bytes + kNetMessageSize, udp.begin() + kUdpHeaderSize));
    std::vector<uint8_t> pseudo{127, 0, 0, 1, 10, 0, 0, 2, 0, 17, static_cast<uint8_t>(udp.size() >> 8),
                                static_cast<uint8_t>(udp.size())};
    pseudo.insert(pseudo.end(), udp.begin(), udp.end());
    EXPECT_EQ(onesSum(pseudo), 0xFFFF);

    ASSERT_TRUE(buildSpoofedPackets(nullptr, 0, from, to, 78, p));
    EXPECT_EQ(p.count, 1);
    EXPECT_EQ(p.length[0], kIpv4HeaderSize + kUdpHeaderSize);
    EXPECT_FALSE(buildSpoofedPackets(d.bytes, kSpoofMaxPayload + 1, from, to, 79, p));
}

TEST(Storm, ServerKeepsServingItsClientAndEveryFighterValidThroughAStorm) {
    fakeServer(kLevelFighters);
    // Walls around the floor, as every level has.
    for (int k = 0; k < 10; ++k) editMaze().cells[0][k] = editMaze().cells[9][k] = editMaze().cells[k][0] = editMaze().cells[k][9] = 1;
    // A well-behaved client holds slot 0 (fighter 1) all along and answers
    // once a pass; the storm comes from twelve other addresses, which take
    // the other slots through its join requests and drive their fighters.
    queueDatagram(messageOfKind(NetMessageKind::JoinRequest), clientAddress(1));
    serverNetworkReceive();
    ASSERT_EQ(findClient(clientAddress(1)), 0);
    StormDatagram d;
    int passes = 0;
    for (uint32_t i = 0; i < 100000; ++i) {
        makeStormDatagram(1, i, kLevelFighters, kStormAllShapes, d);
        queueStorm(d, NetAddress{0x7F000001, static_cast<uint16_t>(60000 + i % 12)});
        if (fake.inbox.size() < 64) continue;
        queueDatagram(messageOfKind(NetMessageKind::KeepAliveAnswer), clientAddress(1));
        fake.sent.clear();
        ASSERT_EQ(serverNetworkReceive(), GameEnd::Playing) << "after datagram " << i;
        worldStep(updatePrey);
        serverNetworkSend();
        ++passes;
        fake.nowMs += 10;
        if (passes % 100 == 0) ++fake.now;
        ASSERT_TRUE(worldValid()) << "after datagram " << i;
        ASSERT_TRUE(serverFightersOnFloor()) << "after datagram " << i;
        ASSERT_EQ(findClient(clientAddress(1)), 0) << "after datagram " << i;
        // This pass's body reached the client, well-formed and for fighter 1.
        const auto body = std::find_if(fake.sent.begin(), fake.sent.end(), [](const FakeDatagram& s) {
            return s.address.port == clientAddress(1).port && s.bytes.size() == kNetMessageSize && s.bytes[0] == static_cast<uint8_t>(NetMessageKind::StateUpdate);
        });
        ASSERT_NE(body, fake.sent.end()) << "after datagram " << i;
        NetMessage m;
        std::memcpy(m.bytes, body->bytes.data(), kNetMessageSize);
        ASSERT_TRUE(stateBodyValid(m) && messageYourFighter(m) == 1) << "after datagram " << i;
    }
    // The storm reached the world through the slots it took.
    int strangers = 0;
    for (const ClientSlot& c : net.clients) strangers += c.inUse && c.address.port >= 60000;
    EXPECT_EQ(strangers, kLevelFighters - 2);
    EXPECT_GT(net.keyEventsApplied, 1000u);

    // The client's keys still act: a turn turns its fighter.
    gs.fighterList[1].state = FighterState::InPlay;
    const float before = headingDegrees(gs.fighterList[1].dir);
    queueDatagram(keyMessage(kKeyLeftArrow, false, true), clientAddress(1));
    serverNetworkReceive();
    worldStep(updatePrey);
    EXPECT_NE(headingDegrees(gs.fighterList[1].dir), before);
    // A newcomer is answered at once, whether there is room or not.
    fake.sent.clear();
    queueDatagram(messageOfKind(NetMessageKind::JoinRequest), clientAddress(2));
    serverNetworkReceive();
    ASSERT_FALSE(fake.sent.empty());
    EXPECT_EQ(messageKind(sentMessage(0)), NetMessageKind::JoinRefused);
}

TEST(Storm, ClientKeepsAValidWorldAndFollowsItsServerThroughAStorm) {
    ASSERT_TRUE(fakeJoinedClient());
    // Half from anywhere, half forged with the server's own address; its
    // passes retire explosions as the game's do.
    StormDatagram d;
    uint32_t rng = 5;
    for (uint32_t i = 0; i < 100000; ++i) {
        makeStormDatagram(2, i, kLevelFighters, kStormAllShapes, d);
        const NetAddress stranger{static_cast<uint32_t>(randomNextFrom(rng)) << 16 | 1,
                                  static_cast<uint16_t>(randomNextFrom(rng))};
        queueStorm(d, i % 2 ? stranger : serverAddress());
        if (fake.inbox.size() < 16) continue;
        advanceUndrawnExplosions();
        ASSERT_TRUE(clientReceivePass()) << "after datagram " << i;
        fake.sent.clear();
        ASSERT_TRUE(worldValid()) << "after datagram " << i;
        // Floods of effect events start a bounded number of explosions.
        ASSERT_LE(gs.explosionList.size(), static_cast<size_t>(kMaxExplosions)) << "after datagram " << i;
    }
    // The real server's next body still applies.
    const uint32_t next = net.appliedSeq + 1;
    queueDatagram(stateFor(kLevelFighters, 3, 4, NetMessageKind::StateUpdate, [] {
        net.bodySeq = net.appliedSeq;
        gs.fighterList[4].pos.x = 21.0f;
    }), serverAddress());
    ASSERT_TRUE(clientReceivePass());
    EXPECT_EQ(net.appliedSeq, next);
    EXPECT_EQ(process.localFighterIndex, 4);
    EXPECT_FLOAT_EQ(gs.fighterList[4].pos.x, 21.0f);
    EXPECT_EQ(preyCount(), 3);
}

}  // namespace
