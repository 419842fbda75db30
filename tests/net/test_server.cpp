// test_server.cpp -- the server as its clients see it: joining, refusal, key
// events, keep-alive and the broadcast, over the fake transport and clock.
#include <gtest/gtest.h>

#include "fake_net.h"
#include "tests/game_end_print.h"
#include "tests/log_capture.h"

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

NetMessage extendedRefresh() {
    NetMessage m = messageOfKind(NetMessageKind::KeepAliveAnswer);
    KeyExtension x;
    x.present = true;
    writeKeyExtension(m, x);
    return m;
}

// Both clocks on by `ms`, then one server receive.
void passTime(int64_t ms) {
    fake.nowMs += ms;
    fake.now = 1000000 + (fake.nowMs - 5000000) / 1000;
    serverNetworkReceive();
}

// A client of ours refreshes at least every 500 ms: five silent seconds
// mean it is gone, and its fighter leaves the others' view. A plain client
// keeps its 30 s. Either way the server says who left, on the terminal and
// the message line.
TEST(Server, ASilentClientOfOursLeavesAfterFiveSecondsAPlainOneAfterThirty) {
    fakeServer(3);
    logtest::LogCapture said;
    ASSERT_EQ(join(0), 0);
    ASSERT_EQ(join(1), 1);
    // Client 0 speaks the key extension and refreshes for 20 s; client 1 is
    // plain and answers the probes only now and then.
    for (int i = 0; i < 40; ++i) {
        queueDatagram(extendedRefresh(), clientAddress(0));
        if (i % 20 == 0) queueDatagram(messageOfKind(NetMessageKind::KeepAliveAnswer), clientAddress(1));
        passTime(kKeyIdleRefreshMs);
    }
    ASSERT_TRUE(net.clients[0].keyExtended);
    EXPECT_EQ(net.clients[0].inUse, 1) << "refreshed: kept however long";
    EXPECT_EQ(said.outputText(), "");
    // Client 0 falls silent (killed): still there after 5 s, gone just after.
    queueDatagram(extendedRefresh(), clientAddress(0));
    passTime(0);
    passTime(kExtendedClientTimeoutMs);
    EXPECT_EQ(net.clients[0].inUse, 1) << "5 s is not yet more than 5 s";
    passTime(1);
    EXPECT_EQ(net.clients[0].inUse, 0);
    EXPECT_EQ(gs.fighterList[1].state, FighterState::Absent);
    EXPECT_STREQ(hud.messageLine, "player 1 left (not answering)");
    EXPECT_EQ(said.outputText(), "player 1 left (not answering)\n");
    EXPECT_EQ(net.clients[1].inUse, 1) << "a plain client silent for 10 s stays";
    EXPECT_EQ(gs.fighterList[2].state, FighterState::InPlay);
    // The plain one goes once its 30 s have passed and the check has run.
    for (int i = 0; i < 30 && net.clients[1].inUse; ++i) passTime(1000);
    EXPECT_EQ(net.clients[1].inUse, 0);
    EXPECT_EQ(gs.fighterList[2].state, FighterState::Absent);
    EXPECT_EQ(said.outputText(), "player 1 left (not answering)\nplayer 2 left (not answering)\n");
    const int64_t plainSilence = net.clients[1].lastHeard;
    EXPECT_GT(fake.now - plainSilence, kClientTimeout);
    EXPECT_LE(fake.now - plainSilence, kClientTimeout + kKeepAliveEvery + 1);
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
