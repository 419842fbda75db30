// test_server.cpp -- the server as its clients see it: joining, refusal, key
// events, keep-alive and the broadcast, over the fake transport and clock.
#include <gtest/gtest.h>

#include "fake_net.h"
#include "tests/game_end_print.h"

namespace {

// Client n asks to join; returns the slot it holds afterwards, or -1.
int join(int n) {
    queueDatagram(messageOfKind(NetMessageKind::JoinRequest), clientAddress(n));
    serverNetworkReceive();
    for (int s = 0; s < kMaxClients; ++s)
        if (net.clients[s].inUse && net.clients[s].address.port == clientAddress(n).port) return s;
    return -1;
}

NetMessageKind lastAnswerKind() { return messageKind(sentMessage(fake.sent.size() - 1)); }

void receiveKeys(int n, std::initializer_list<NetMessage> keys) {
    for (const NetMessage& k : keys) queueDatagram(k, clientAddress(n));
    serverNetworkReceive();
}

// Joining takes the lowest free slot and a repeat keeps it; a client
// without a fighter is refused; quiet clients are probed, silent ones freed.
TEST(Server, JoinRefusalAndKeepAlive) {
    fakeServer(3);  // fighters 1 and 2 for clients
    gs.fighterList[1].pos.x = 999.0f;
    EXPECT_EQ(join(0), 0);
    EXPECT_EQ(lastAnswerKind(), NetMessageKind::JoinAccepted);
    EXPECT_EQ(fake.sent.back().address.port, clientAddress(0).port);
    EXPECT_EQ(gs.fighterList[1].state, FighterState::InPlay);
    EXPECT_FLOAT_EQ(gs.fighterList[1].pos.x, 2.5f * 8.0f) << "placed on its start";
    gs.fighterList[1].pos.x = 77.0f;
    EXPECT_EQ(join(0), 0);
    EXPECT_EQ(lastAnswerKind(), NetMessageKind::JoinAccepted) << "every request is answered";
    EXPECT_FLOAT_EQ(gs.fighterList[1].pos.x, 77.0f) << "a repeat changes nothing";
    fake.now += 1;
    EXPECT_EQ(join(1), 1);  // heard one second later
    EXPECT_EQ(join(2), -1);
    EXPECT_EQ(lastAnswerKind(), NetMessageKind::JoinRefused) << "a slot without a fighter";
    receiveKeys(2, {keyMessage('x')});
    for (const Fighter& f : gs.fighterList) EXPECT_EQ(f.keyDown[int('x')], 0) << "its keys act on nobody";

    net.lastKeepAliveTime = 0;
    fake.sent.clear();
    serverNetworkReceive();  // the check runs
    ASSERT_EQ(fake.sent.size(), 1u) << "only the client not heard this second";
    EXPECT_EQ(messageKind(sentMessage(0)), NetMessageKind::KeepAliveProbe);
    EXPECT_EQ(fake.sent[0].address.port, clientAddress(0).port);
    // Client 1 answers; client 0 stays silent and loses its slot after 30 s.
    const int64_t joined = fake.now - 1;
    fake.now = joined + kClientTimeout;
    receiveKeys(1, {messageOfKind(NetMessageKind::KeepAliveAnswer)});
    keepAliveCheck();
    EXPECT_EQ(net.clients[0].inUse, 1) << "30 s is not yet more than 30 s";
    fake.now = joined + kClientTimeout + 1;
    keepAliveCheck();
    EXPECT_EQ(net.clients[0].inUse, 0);
    EXPECT_EQ(net.clients[1].inUse, 1) << "its answer kept it";
    EXPECT_EQ(gs.fighterList[1].state, FighterState::Absent);
    EXPECT_EQ(join(3), 0) << "the place can be taken again";
}

TEST(Server, WhatNoClientMaySendIsDroppedAndTheDrainGoesOn) {
    fakeServer();
    join(0);
    // From an address without a slot: not fighter 1's key.
    receiveKeys(5, {keyMessage('i')});
    // Wrong sizes; key codes past one byte, also as huge 32-bit values; quit
    // and the display toggles; then one good key.
    queueDatagram(keyMessage('i'), clientAddress(0), 100);
    queueDatagram(keyMessage('i'), clientAddress(0), 7000);
    receiveKeys(0, {keyMessage(256 + 'i'), keyMessage(0xFFFFFFFFu), keyMessage(0x80000000u, false, true),
                    keyMessage('L'), keyMessage('T'), keyMessage('f')});
    EXPECT_EQ(gs.fighterList[1].keyDown[int('i')], 0);
    for (const char k : {'L', 'T'}) EXPECT_EQ(gs.fighterList[1].keyDown[int(k)], 0) << k;
    EXPECT_EQ(gs.fighterList[1].keyDown[int('f')], 1) << "the valid key behind the junk still acts";
    // No client may end the server: its q and Q neither ask for the quit nor
    // carry one out.
    receiveKeys(0, {keyMessage('q'), keyMessage('Q'), keyMessage('q', true), keyMessage('Q', true)});
    EXPECT_FALSE(process.quitRequested);
    queueDatagram(keyMessage('q'), clientAddress(0));
    EXPECT_EQ(serverNetworkReceive(), GameEnd::Playing);
}

}  // namespace
