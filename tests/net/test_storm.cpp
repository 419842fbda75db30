// test_storm.cpp -- 100 000 random, truncated and hostile datagrams against a
// running server and a running client: both keep going and keep a valid world.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "fake_net.h"

namespace {

// Queues one datagram of any kind and length, with huge counts and key codes.
void queueHostile(std::mt19937& rng, NetAddress from) {
    NetMessage m;
    for (uint8_t& b : m.bytes) b = static_cast<uint8_t>(rng());
    const uint16_t kinds[] = {1, 3, 4, 11, 12, 13, 14, 0, 0xFFFF};
    setMessageKind(m, kinds[rng() % 9]);
    const int shape = static_cast<int>(rng() % 6);
    for (int i = 9; i <= 14 && shape < 2; ++i) m.bytes[i] = shape == 0 ? static_cast<uint8_t>(rng() % 12) : 255;
    if (shape == 3) {
        writeKeyRecord(m, KeyRecord{static_cast<uint32_t>(rng()), static_cast<uint8_t>(rng()), static_cast<uint8_t>(rng())});
        setMessageKind(m, KeyEvent);
    }
    queueDatagram(m, from, shape == 2 ? static_cast<int>(rng() % (kNetMessageSize + 200)) : kNetMessageSize);
}

void expectValidWorld(int fighters) {
    ASSERT_EQ(fighterCount(), fighters);
    ASSERT_GE(gs.localFighterIndex, 0);
    ASSERT_LT(gs.localFighterIndex, fighterCount());
    for (const Fighter& f : gs.fighterList) {
        ASSERT_TRUE(std::isfinite(f.pos.x) && std::isfinite(f.pos.y));
        ASSERT_TRUE(f.state == InPlay || f.state == Dead || f.state == Absent);
    }
    for (const Prey& p : gs.preyList) ASSERT_TRUE(std::isfinite(p.pos.x) && std::isfinite(p.dir.x));
    ASSERT_LE(preyCount(), kMaxEntryCount);
    ASSERT_LE(bulletCount(), kMaxEntryCount);
    ASSERT_FALSE(gs.quitRequested);
}

TEST(Storm, ServerAndClientSurviveAndStillServeAndApply) {
    fakeServer();
    std::mt19937 rng(1);
    for (int i = 0; i < 100000; ++i) {
        queueHostile(rng, NetAddress{0x7F000001, static_cast<uint16_t>(60000 + rng() % 12)});
        if (fake.inbox.size() < 64) continue;
        serverNetworkReceive();
        serverNetworkSend();
        fake.sent.clear();
        fake.now += (i % 1000 == 0) ? 1 : 0;
    }
    serverNetworkReceive();
    expectValidWorld(9);
    // A well-behaved client can still join or is told no.
    fake.sent.clear();
    queueDatagram(messageOfKind(JoinRequest), clientAddress(1));
    serverNetworkReceive();
    ASSERT_FALSE(fake.sent.empty());
    const uint16_t answer = messageKind(sentMessage(0));
    EXPECT_TRUE(answer == JoinAccepted || answer == JoinRefused);
    serverNetworkSend();
    for (size_t i = 1; i < fake.sent.size(); ++i) EXPECT_TRUE(stateBodyValid(sentMessage(i)));

    // The client: hostile datagrams from anywhere, then one good body.
    ASSERT_TRUE(fakeJoinedClient());
    rng.seed(2);
    for (int i = 0; i < 100000; ++i) {
        queueHostile(rng, NetAddress{static_cast<uint32_t>(rng()), static_cast<uint16_t>(rng())});
        if (fake.inbox.size() < 64) continue;
        ASSERT_TRUE(clientReceivePass());
        fake.sent.clear();
    }
    clientReceivePass();
    expectValidWorld(9);
    queueDatagram(stateFor(9, 3, 4, StateUpdate, [] { gs.fighterList[4].pos.x = 21.0f; }), serverAddress());
    clientReceivePass();
    EXPECT_EQ(gs.localFighterIndex, 4);
    EXPECT_FLOAT_EQ(gs.fighterList[4].pos.x, 21.0f);
    EXPECT_EQ(preyCount(), 3);
}

}  // namespace
