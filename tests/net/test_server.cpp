// test_server.cpp -- the server as its clients see it: joining, refusal, key
// events, keep-alive and the broadcast, over the fake transport and clock.
#include <gtest/gtest.h>

#include "fake_net.h"

namespace {

// Client n asks to join; returns the slot it holds afterwards, or -1.
int join(int n) {
    queueDatagram(messageOfKind(JoinRequest), clientAddress(n));
    serverNetworkReceive();
    for (int s = 0; s < kMaxClients; ++s)
        if (net.clients[s].inUse && net.clients[s].address.port == clientAddress(n).port) return s;
    return -1;
}

uint16_t lastAnswerKind() { return messageKind(sentMessage(fake.sent.size() - 1)); }

void receiveKeys(int n, std::initializer_list<NetMessage> keys) {
    for (const NetMessage& k : keys) queueDatagram(k, clientAddress(n));
    serverNetworkReceive();
}

TEST(Server, JoinsTakeTheLowestSlotAndRepeatsKeepIt) {
    fakeServer();
    gs.fighterList[1].pos.x = 999.0f;
    EXPECT_EQ(join(1), 0);
    EXPECT_EQ(lastAnswerKind(), JoinAccepted);
    EXPECT_EQ(fake.sent.back().address.port, clientAddress(1).port);
    EXPECT_EQ(std::memcmp(sentMessage(0).bytes, messageOfKind(JoinAccepted).bytes, kNetMessageSize), 0);
    EXPECT_EQ(gs.fighterList[1].state, InPlay);
    EXPECT_FLOAT_EQ(gs.fighterList[1].pos.x, 2.5f * 8.0f) << "placed on its start";

    gs.fighterList[1].pos.x = 77.0f;
    gs.fighterList[1].score = 3;
    EXPECT_EQ(join(1), 0);
    EXPECT_EQ(fake.sent.size(), 2u);
    EXPECT_EQ(lastAnswerKind(), JoinAccepted) << "every request is answered";
    EXPECT_FLOAT_EQ(gs.fighterList[1].pos.x, 77.0f) << "a repeat changes nothing";
    EXPECT_EQ(gs.fighterList[1].score, 3);
    EXPECT_EQ(join(2), 1);
}

TEST(Server, ClientsWithoutAFighterAreRefusedAtOnce) {
    fakeServer();
    for (int n = 0; n < 8; ++n) EXPECT_EQ(join(n), n);
    EXPECT_EQ(join(8), -1);
    EXPECT_EQ(lastAnswerKind(), JoinRefused) << "a ninth client";
    // Its key events act on nobody.
    receiveKeys(8, {keyMessage('x')});
    for (const Fighter& f : gs.fighterList) EXPECT_EQ(f.keyDown[int('x')], 0);

    fakeServer(3);  // fighters 1 and 2 for clients
    EXPECT_EQ(join(0), 0);
    EXPECT_EQ(join(1), 1);
    EXPECT_EQ(join(2), -1);
    EXPECT_EQ(lastAnswerKind(), JoinRefused) << "a slot without a fighter";
}

TEST(Server, KeyEventsDriveTheSendersFighterOnly) {
    fakeServer();
    join(0);
    join(1);
    receiveKeys(1, {keyMessage('i')});
    EXPECT_EQ(gs.fighterList[2].keyDown[int('i')], 1);
    EXPECT_EQ(gs.fighterList[1].keyDown[int('i')], 0);
    EXPECT_EQ(gs.fighterList[0].keyDown[int('i')], 0);
    receiveKeys(1, {keyMessage('i', true)});
    EXPECT_EQ(gs.fighterList[2].keyDown[int('i')], 0);
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
    // A server that obeyed q would end this very process: try it in a child.
    EXPECT_EXIT(
        {
            receiveKeys(0, {keyMessage('q'), keyMessage('Q'), keyMessage('q', true), keyMessage('Q', true)});
            std::exit(gs.quitRequested ? 1 : 42);
        },
        testing::ExitedWithCode(42), "");
}

TEST(Server, KeepAliveProbesQuietClientsAndFreesSilentSlots) {
    fakeServer();
    join(0);  // heard at `now`
    fake.now += 1;
    join(1);  // heard one second later
    net.lastKeepAliveTime = 0;
    gs.clockNowMs = 1234;
    serverNetworkSend();  // fills the state buffer
    fake.sent.clear();

    serverNetworkReceive();  // first pass: the check runs
    ASSERT_EQ(fake.sent.size(), 1u) << "only the client not heard this second";
    const NetMessage probe = sentMessage(0);
    EXPECT_EQ(messageKind(probe), KeepAliveProbe);
    EXPECT_EQ(probe.bytes[8], 1);
    EXPECT_EQ(messageServerClock(probe), 1234);
    EXPECT_EQ(fake.sent[0].address.port, clientAddress(0).port);
    fake.now += 5;
    serverNetworkReceive();
    EXPECT_EQ(fake.sent.size(), 1u) << "five seconds later: no check";
    fake.now += 1;
    serverNetworkReceive();
    EXPECT_EQ(fake.sent.size(), 3u) << "six seconds later both are probed";

    // Client 1 answers; client 0 stays silent and loses its slot after 30 s.
    const int64_t joined = fake.now - 7;
    fake.now = joined + kClientTimeout;
    receiveKeys(1, {messageOfKind(KeepAliveAnswer)});
    keepAliveCheck();
    EXPECT_EQ(net.clients[0].inUse, 1) << "30 s is not yet more than 30 s";
    fake.now = joined + kClientTimeout + 1;
    keepAliveCheck();
    EXPECT_EQ(net.clients[0].inUse, 0);
    EXPECT_EQ(net.clients[1].inUse, 1) << "its answer kept it";
    EXPECT_EQ(gs.fighterList[1].state, Absent);
    EXPECT_EQ(join(3), 0) << "the place can be taken again";
    EXPECT_EQ(gs.fighterList[1].state, InPlay);
}

}  // namespace
