// test_client.cpp -- the client: joining, refusal, name resolution, probes,
// stored state and server silence, over the fake transport and clock.
#include <gtest/gtest.h>

#include "fake_net.h"

namespace {

using testing::internal::CaptureStderr;
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStderr;
using testing::internal::GetCapturedStdout;

TEST(Client, JoinSendsARequestPerAttemptUntilAccepted) {
    useFakeNet();
    queueDatagram(messageOfKind(StateUpdate), serverAddress());       // names no fighter: not an answer
    queueDatagram(messageOfKind(JoinAccepted), serverAddress(), 100);  // cut short
    queueDatagram(messageOfKind(JoinAccepted), serverAddress());
    EXPECT_TRUE(connectToServer("127.0.0.1"));
    EXPECT_EQ(net.connected, 1);
    ASSERT_EQ(fake.sent.size(), 1u) << "the answer behind other datagrams is found in the same wait";
    EXPECT_EQ(messageKind(sentMessage(0)), JoinRequest);
    EXPECT_EQ(fake.sent[0].address.ip, 0x7F000001u);
    EXPECT_EQ(fake.sent[0].address.port, kNetPort);
    EXPECT_EQ(net.lastHeardTime, fake.now);
}

TEST(Client, AJoinWhoseAnswerWasLostIsTakenFromTheStateThatFollows) {
    useFakeNet();
    makeWorld(9, 0);
    // The answer to the first request never came; the server's bodies,
    // addressed to fighter 4, come in its place.
    for (int i = 0; i < 50; ++i) queueDatagram(stateFor(9, 0, 4), serverAddress());
    EXPECT_TRUE(connectToServer("127.0.0.1"));
    EXPECT_EQ(fake.sent.size(), 1u);
}

TEST(Client, SilenceGivesUpAfterEightWaitsOfOneSecondAnd234Micros) {
    useFakeNet();
    CaptureStdout();
    EXPECT_FALSE(connectToServer("10.1.2.3"));
    EXPECT_EQ(GetCapturedStdout(), "") << "prints nothing on failure";
    EXPECT_EQ(fake.sent.size(), 8u);
    EXPECT_EQ(fake.waits, std::vector<int64_t>(8, 1000234));
}

TEST(Client, ARefusedClientLearnsItAtOnce) {
    useFakeNet();
    queueDatagram(messageOfKind(JoinRefused), serverAddress());
    CaptureStderr();
    EXPECT_FALSE(connectToServer("127.0.0.1"));
    EXPECT_NE(GetCapturedStderr().find("server is full"), std::string::npos);
    EXPECT_EQ(fake.sent.size(), 1u) << "no further attempts";
    EXPECT_EQ(net.connected, 0);
}

TEST(Client, HostNamesResolve) {
    useFakeNet();
    EXPECT_EQ(resolveHost(""), 0u);
    EXPECT_EQ(resolveHost("gamehost"), 0x0A000005u);
    CaptureStdout();
    CaptureStderr();
    EXPECT_EQ(resolveHost("no-such-host"), 0u);
    EXPECT_EQ(GetCapturedStderr(), "maze: cannot find the server host \"no-such-host\"\n");
    EXPECT_EQ(GetCapturedStdout(), "ERROR\n");
    // A client of an unknown host gives up at once; address 0 would reach
    // whatever server runs on this machine.
    CaptureStdout();
    CaptureStderr();
    EXPECT_FALSE(connectToServer("no-such-host"));
    EXPECT_FALSE(connectToServer(""));
    GetCapturedStderr();
    EXPECT_EQ(GetCapturedStdout(), "ERROR\nERROR\n");
    EXPECT_TRUE(fake.sent.empty()) << "no join request went anywhere";
    // The broadcast name sends its requests to the broadcast address.
    EXPECT_FALSE(connectToServer("255.255.255.255"));
    EXPECT_EQ(fake.sent[0].address.ip, 0xFFFFFFFFu);
}

TEST(Client, ProbesAreAnsweredWithTheLastKeyAndAppliedAsState) {
    ASSERT_TRUE(fakeJoinedClient());
    queueDatagram(stateFor(9, 4, 3, KeepAliveProbe), serverAddress());
    EXPECT_TRUE(clientReceivePass());
    ASSERT_EQ(fake.sent.size(), 1u);
    EXPECT_EQ(messageKind(sentMessage(0)), KeepAliveAnswer);
    EXPECT_EQ(readKeyRecord(sentMessage(0)).key, 0u) << "no key sent yet: an empty key record";
    EXPECT_EQ(gs.localFighterIndex, 3);
    EXPECT_EQ(preyCount(), 4);

    sendKeyEvent(kKeyUpArrow, false, true);
    queueDatagram(stateFor(9, 4, 3, KeepAliveProbe), serverAddress());
    clientReceivePass();
    sendKeyEvent('i', false, false);
    ASSERT_EQ(fake.sent.size(), 4u);
    const NetMessage answer = sentMessage(2);
    EXPECT_EQ(messageKind(answer), KeepAliveAnswer);
    EXPECT_EQ(answer.bytes[8], kKeyUpArrow);
    EXPECT_EQ(answer.bytes[13], 1);
    EXPECT_EQ(messageKind(sentMessage(3)), KeyEvent) << "the next key event is a key event again";
}

TEST(Client, OnlyStateBodiesAreState) {
    ASSERT_TRUE(fakeJoinedClient());
    queueDatagram(stateFor(9, 4, 2), serverAddress());
    clientReceivePass();
    EXPECT_EQ(gs.localFighterIndex, 2);
    // A late answer to a repeated join request is not a picture of the world.
    queueDatagram(messageOfKind(JoinAccepted), serverAddress());
    queueDatagram(messageOfKind(7), serverAddress());
    clientReceivePass();
    EXPECT_EQ(gs.localFighterIndex, 2);
    EXPECT_EQ(preyCount(), 4);
    EXPECT_EQ(gs.fighterList[2].state, InPlay);
}

TEST(Client, AStateIsAppliedOnceItsEffectsOnceAndFinishedOnesGo) {
    ASSERT_TRUE(fakeJoinedClient());
    const NetMessage body = stateFor(9, 0, 1, StateUpdate, [] {
        gs.effectEvents = {EffectEvent{EffectSmall, 1.0f, 2.0f, 3.0f}, EffectEvent{EffectLarge, 1.0f, 2.0f, 3.0f}};
    });
    queueDatagram(body, serverAddress());
    queueDatagram(body, serverAddress());  // the same events, twice received
    clientReceivePass();
    EXPECT_EQ(explosionCount(), 2);
    EXPECT_EQ(net.bodiesApplied, 1u);
    EXPECT_EQ(net.bodiesStale, 1u);
    gs.fighterList[0].pos.x = -5.0f;
    clientReceivePass();
    EXPECT_EQ(explosionCount(), 2) << "nothing new: nothing starts";
    EXPECT_EQ(gs.fighterList[0].pos.x, -5.0f) << "and nothing is applied again";
    // The client has no world step: its pass removes finished explosions.
    gs.explosionList[0].finished = 1;
    gs.explosionList[1].frame = 4;
    clientReceivePass();
    ASSERT_EQ(explosionCount(), 1);
    EXPECT_EQ(gs.explosionList[0].frame, 4);
}

TEST(Client, TwentySecondsOfSilenceEndTheGame) {
    ASSERT_TRUE(fakeJoinedClient());
    const int64_t heard = fake.now;
    fake.now = heard + kServerTimeout;
    EXPECT_TRUE(clientReceivePass());
    fake.now = heard + kServerTimeout + 1;
    EXPECT_FALSE(clientReceivePass());
    // Anything heard keeps it alive.
    queueDatagram(stateFor(9, 1, 1), serverAddress());
    EXPECT_TRUE(clientReceivePass());
    EXPECT_EQ(net.lastHeardTime, fake.now);
    // In the game, silence ends the process with status 0.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    fake.now += kServerTimeout + 1;
    EXPECT_EXIT(clientNetworkPass(), testing::ExitedWithCode(0), "");
}

}  // namespace
