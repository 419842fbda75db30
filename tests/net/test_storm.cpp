// test_storm.cpp -- 100 000 random, truncated and hostile datagrams against a
// running server and a running client: both keep going and keep a valid world.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "fake_net.h"

namespace {

// Datagrams of every kind and length, with huge counts and key codes.
NetMessage hostileMessage(std::mt19937& rng, int& length) {
    NetMessage m;
    const int shape = static_cast<int>(rng() % 6);
    for (int i = 0; i < kNetMessageSize; i += 4) {
        const uint32_t r = rng();
        for (int b = 0; b < 4 && i + b < kNetMessageSize; ++b) m.bytes[i + b] = static_cast<uint8_t>(r >> (8 * b));
    }
    const uint16_t kinds[] = {1, 3, 4, 11, 12, 13, 14, 0, 0xFFFF};
    setMessageKind(m, kinds[rng() % 9]);
    if (shape == 0) {
        // A plausible body: small counts, random floats (NaN and inf included).
        for (int i = 9; i <= 14; ++i) m.bytes[i] = static_cast<uint8_t>(rng() % 12);
    } else if (shape == 1) {
        for (int i = 9; i <= 14; ++i) m.bytes[i] = 255;
    }
    length = kNetMessageSize;
    if (shape == 2) length = static_cast<int>(rng() % (kNetMessageSize + 200));
    if (shape == 3) {
        writeKeyRecord(m, KeyRecord{static_cast<uint32_t>(rng()), static_cast<uint8_t>(rng()), static_cast<uint8_t>(rng())});
        setMessageKind(m, KeyEvent);
    }
    return m;
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

TEST(Storm, TheServerSurvivesAndStillServes) {
    useFakeNet();
    makeWorld(9, 4);
    net.role = RoleServer;
    net.netSocket = 3;
    std::mt19937 rng(1);
    for (int i = 0; i < 100000; ++i) {
        int length = 0;
        const NetMessage m = hostileMessage(rng, length);
        queueDatagram(m, NetAddress{0x7F000001, static_cast<uint16_t>(60000 + rng() % 12)}, length);
        if (fake.inbox.size() >= 64) {
            serverNetworkReceive();
            serverNetworkSend();
            fake.sent.clear();
            fake.now += (i % 1000 == 0) ? 1 : 0;
        }
    }
    serverNetworkReceive();
    gs.localFighterIndex = 0;
    expectValidWorld(9);
    int used = 0;
    for (const ClientSlot& c : net.clients) used += c.inUse;
    EXPECT_LE(used, kMaxClients);
    // A well-behaved client whose slot is free can still join or is told no.
    fake.sent.clear();
    queueDatagram(messageOfKind(JoinRequest), clientAddress(1));
    serverNetworkReceive();
    ASSERT_FALSE(fake.sent.empty());
    const uint16_t answer = messageKind(sentMessage(0));
    EXPECT_TRUE(answer == JoinAccepted || answer == JoinRefused);
    serverNetworkSend();
    for (size_t i = 1; i < fake.sent.size(); ++i) EXPECT_TRUE(stateBodyValid(sentMessage(i)));
}

TEST(Storm, TheClientSurvivesAndAppliesTheNextGoodState) {
    useFakeNet();
    makeWorld(9, 4);
    gs.localFighterIndex = 1;
    queueDatagram(messageOfKind(JoinAccepted), NetAddress{0x7F000001, kNetPort});
    ASSERT_TRUE(connectToServer("127.0.0.1"));
    const GameState clientWorld = gs;
    std::mt19937 rng(2);
    for (int i = 0; i < 100000; ++i) {
        int length = 0;
        const NetMessage m = hostileMessage(rng, length);
        queueDatagram(m, NetAddress{static_cast<uint32_t>(rng()), static_cast<uint16_t>(rng())}, length);
        if (fake.inbox.size() >= 64) {
            ASSERT_TRUE(clientReceivePass());
            fake.sent.clear();
        }
    }
    clientReceivePass();
    expectValidWorld(9);

    // A good body from the server still takes effect.
    makeWorld(9, 2);
    gs.fighterList[4].state = InPlay;
    gs.fighterList[4].pos.x = 21.0f;
    NetMessage good;
    packState(good);
    setMessageKind(good, StateUpdate);
    setMessageYourFighter(good, 4);
    gs = clientWorld;
    queueDatagram(good, NetAddress{0x7F000001, kNetPort});
    clientReceivePass();
    EXPECT_EQ(gs.localFighterIndex, 4);
    EXPECT_FLOAT_EQ(gs.fighterList[4].pos.x, 21.0f);
    EXPECT_EQ(preyCount(), 2);
}

}  // namespace
