// test_server.cpp -- the server as its clients see it: joining, refusal, key
// events, keep-alive and the broadcast, over the fake transport and clock.
#include <gtest/gtest.h>

#include "fake_net.h"

namespace {

void serverWith(int fighters) {
    useFakeNet();
    makeWorld(fighters, 2);
    net.role = RoleServer;
    net.netSocket = 3;
}

int join(int n) {
    queueDatagram(messageOfKind(JoinRequest), clientAddress(n));
    serverNetworkReceive();
    for (int s = 0; s < kMaxClients; ++s)
        if (net.clients[s].inUse && net.clients[s].address.port == clientAddress(n).port) return s;
    return -1;
}

uint16_t lastAnswerKind() { return messageKind(sentMessage(fake.sent.size() - 1)); }

TEST(Server, StartPrintsItsNameAndPort) {
    useFakeNet();
    testing::internal::CaptureStdout();
    startServer();
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "\nServer named testhost waiting on port 9899\n");
    EXPECT_EQ(net.role, RoleServer);
    EXPECT_EQ(net.netSocket, 3);
}

TEST(Server, JoinsTakeTheLowestSlotAndRepeatsKeepIt) {
    serverWith(9);
    gs.fighterList[1].pos.x = 999.0f;
    EXPECT_EQ(join(1), 0);
    EXPECT_EQ(lastAnswerKind(), JoinAccepted);
    EXPECT_EQ(fake.sent.back().address.port, clientAddress(1).port);
    EXPECT_EQ(gs.fighterList[1].state, InPlay);
    EXPECT_FLOAT_EQ(gs.fighterList[1].pos.x, 2.5f * 8.0f) << "placed on its start";

    gs.fighterList[1].pos.x = 77.0f;
    gs.fighterList[1].score = 3;
    EXPECT_EQ(join(1), 0);
    EXPECT_EQ(lastAnswerKind(), JoinAccepted) << "every request is answered";
    EXPECT_FLOAT_EQ(gs.fighterList[1].pos.x, 77.0f) << "a repeat changes nothing";
    EXPECT_EQ(gs.fighterList[1].score, 3);
    EXPECT_EQ(join(2), 1);
    int used = 0;
    for (const ClientSlot& c : net.clients) used += c.inUse;
    EXPECT_EQ(used, 2);
    const NetMessage answer = sentMessage(0);
    for (int i = 8; i < kNetMessageSize; ++i) ASSERT_EQ(answer.bytes[i], 0) << i;
}

TEST(Server, ANinthClientIsRefusedAtOnce) {
    serverWith(9);
    for (int n = 0; n < 8; ++n) EXPECT_EQ(join(n), n);
    EXPECT_EQ(join(8), -1);
    EXPECT_EQ(lastAnswerKind(), JoinRefused);
    // Its key events act on nobody.
    const Fighter before = gs.fighterList[1];
    queueDatagram(keyMessage('x', false, false), clientAddress(8));
    serverNetworkReceive();
    EXPECT_EQ(gs.fighterList[1].keyDown[int('x')], before.keyDown[int('x')]);
}

TEST(Server, ASlotWithoutAFighterIsRefused) {
    serverWith(3);  // fighters 1 and 2 for clients
    EXPECT_EQ(join(0), 0);
    EXPECT_EQ(join(1), 1);
    EXPECT_EQ(join(2), -1);
    EXPECT_EQ(lastAnswerKind(), JoinRefused);
    EXPECT_EQ(net.clients[2].inUse, 0);
}

TEST(Server, KeyEventsDriveTheSendersFighterOnly) {
    serverWith(9);
    join(0);
    join(1);
    queueDatagram(keyMessage('i', false, false), clientAddress(1));
    serverNetworkReceive();
    EXPECT_EQ(gs.fighterList[2].keyDown[int('i')], 1);
    EXPECT_EQ(gs.fighterList[1].keyDown[int('i')], 0);
    EXPECT_EQ(gs.fighterList[0].keyDown[int('i')], 0);
    queueDatagram(keyMessage('i', true, false), clientAddress(1));
    serverNetworkReceive();
    EXPECT_EQ(gs.fighterList[2].keyDown[int('i')], 0);
}

TEST(Server, WhatNoClientMaySendIsDropped) {
    serverWith(9);
    join(0);
    // From an address without a slot: not fighter 1's key.
    queueDatagram(keyMessage('i', false, false), clientAddress(5));
    // Key codes past one byte, also as huge 32-bit values.
    queueDatagram(keyMessage(256 + 'i', false, false), clientAddress(0));
    queueDatagram(keyMessage(0xFFFFFFFFu, false, false), clientAddress(0));
    queueDatagram(keyMessage(0x80000000u, false, true), clientAddress(0));
    // Quit and the display toggles.
    for (const uint32_t k : {'q', 'Q', 'L', 'T'}) {
        queueDatagram(keyMessage(k, false, false), clientAddress(0));
        queueDatagram(keyMessage(k, true, false), clientAddress(0));
    }
    serverNetworkReceive();
    EXPECT_EQ(gs.fighterList[1].keyDown[int('i')], 0);
    EXPECT_FALSE(gs.quitRequested);
    EXPECT_EQ(gs.fighterList[1].keyDown[int('q')], 0);
    EXPECT_EQ(gs.fighterList[1].keyDown[int('L')], 0);
    EXPECT_TRUE(fake.inbox.empty());
}

TEST(Server, WrongSizedDatagramsAreDroppedWithoutStallingTheDrain) {
    serverWith(9);
    join(0);
    queueDatagram(keyMessage('i', false, false), clientAddress(0), 100);
    queueDatagram(keyMessage('i', false, false), clientAddress(0), 7000);
    queueDatagram(keyMessage('f', false, false), clientAddress(0));
    serverNetworkReceive();
    EXPECT_EQ(gs.fighterList[1].keyDown[int('i')], 0);
    EXPECT_EQ(gs.fighterList[1].keyDown[int('f')], 1) << "the valid key behind the junk still acts";
}

TEST(Server, KeepAliveRunsFirstThenEverySixSecondsAndProbesSilentClients) {
    serverWith(9);
    join(0);   // heard at `now`
    fake.now += 1;
    join(1);   // heard one second later
    fake.sent.clear();
    net.lastKeepAliveTime = 0;
    gs.clockNowMs = 1234;
    serverNetworkSend();  // fills the state buffer
    fake.sent.clear();

    serverNetworkReceive();  // first pass: check runs
    ASSERT_EQ(fake.sent.size(), 1u) << "only the client not heard this second";
    const NetMessage probe = sentMessage(0);
    EXPECT_EQ(messageKind(probe), KeepAliveProbe);
    EXPECT_EQ(probe.bytes[8], 1);
    EXPECT_EQ(messageServerClock(probe), 1234);
    EXPECT_EQ(fake.sent[0].address.port, clientAddress(0).port);

    fake.sent.clear();
    fake.now += 5;
    serverNetworkReceive();
    EXPECT_TRUE(fake.sent.empty()) << "five seconds later: no check";
    fake.now += 1;
    serverNetworkReceive();
    EXPECT_EQ(fake.sent.size(), 2u) << "six seconds later both are probed";
}

TEST(Server, ASlotSilentFor30SecondsIsFreedAndItsFighterLeaves) {
    serverWith(9);
    join(0);
    const int64_t joined = fake.now;
    fake.now = joined + kClientTimeout;
    keepAliveCheck();
    EXPECT_EQ(net.clients[0].inUse, 1) << "30 s is not yet more than 30 s";
    fake.now = joined + kClientTimeout + 1;
    keepAliveCheck();
    EXPECT_EQ(net.clients[0].inUse, 0);
    EXPECT_EQ(gs.fighterList[1].state, Absent);
    // The place can be taken again.
    EXPECT_EQ(join(3), 0);
    EXPECT_EQ(gs.fighterList[1].state, InPlay);
}

TEST(Server, AnswersRefreshTheClientAndStopProbes) {
    serverWith(9);
    join(0);
    fake.now += 20;
    NetMessage answer = messageOfKind(KeepAliveAnswer);
    queueDatagram(answer, clientAddress(0));
    serverNetworkReceive();
    EXPECT_EQ(net.clients[0].lastHeard, fake.now);
    fake.now += kClientTimeout;
    keepAliveCheck();
    EXPECT_EQ(net.clients[0].inUse, 1);
}

TEST(Server, BroadcastNamesEachRecipientsFighter) {
    serverWith(9);
    for (int n = 0; n < 6; ++n) join(n);
    for (const int s : {1, 3, 4}) net.clients[s].inUse = 0;
    fake.sent.clear();
    serverNetworkSend();
    ASSERT_EQ(fake.sent.size(), 3u);
    const uint8_t expected[3] = {1, 3, 6};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(sentMessage(i).bytes[8], expected[i]);
        EXPECT_EQ(messageKind(sentMessage(i)), StateUpdate);
        EXPECT_EQ(fake.sent[i].bytes.size(), static_cast<size_t>(kNetMessageSize));
    }
}

TEST(Server, FailedSendsAreReportedAndNothingBreaks) {
    serverWith(9);
    fake.failSends = true;
    testing::internal::CaptureStderr();
    EXPECT_EQ(join(0), 0);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("Send  error"), std::string::npos);
}

TEST(Server, WithoutASocketEveryPassFindsNothing) {
    useFakeNet();
    makeWorld(2, 0);
    net.transport.openSocket = [](bool, uint16_t, const char** failed) {
        *failed = "bind()";
        return -1;
    };
    testing::internal::CaptureStderr();
    startServer();
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "\nbind(): 0\n");
    queueDatagram(messageOfKind(JoinRequest), clientAddress(0));
    serverNetworkReceive();
    serverNetworkSend();
    EXPECT_TRUE(fake.sent.empty());
}

}  // namespace
