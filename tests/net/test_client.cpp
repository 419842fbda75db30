// test_client.cpp -- the client: joining, refusal, name resolution, probes,
// stored state and server silence, over the fake transport and clock.
#include <gtest/gtest.h>

#include "fake_net.h"

namespace {

NetAddress serverAt() { return NetAddress{0x7F000001, kNetPort}; }

// A state body from a server world of `fighters` fighters and `prey` prey,
// addressed to fighter `you`.
NetMessage stateFor(int fighters, int prey, int you, uint16_t kind = StateUpdate) {
    const GameState saved = gs;
    makeWorld(fighters, prey);
    gs.fighterList[you].state = InPlay;
    NetMessage body;
    packState(body);
    setMessageKind(body, kind);
    setMessageYourFighter(body, static_cast<uint8_t>(you));
    gs = saved;
    return body;
}

void joinedClient() {
    useFakeNet();
    makeWorld(9, 2);
    gs.localFighterIndex = 1;
    queueDatagram(messageOfKind(JoinAccepted), serverAt());
    ASSERT_TRUE(connectToServer("127.0.0.1"));
    fake.sent.clear();
}

TEST(Client, JoinSendsARequestAndAcceptsTheAnswer) {
    useFakeNet();
    queueDatagram(messageOfKind(JoinAccepted), serverAt());
    EXPECT_TRUE(connectToServer("127.0.0.1"));
    EXPECT_EQ(net.connected, 1);
    EXPECT_EQ(net.role, RoleClient);
    ASSERT_EQ(fake.sent.size(), 1u);
    EXPECT_EQ(messageKind(sentMessage(0)), JoinRequest);
    EXPECT_EQ(fake.sent[0].address.ip, 0x7F000001u);
    EXPECT_EQ(fake.sent[0].address.port, kNetPort);
    EXPECT_EQ(net.lastHeardTime, fake.now);
}

TEST(Client, SilenceGivesUpAfterEightWaitsOfOneSecondAnd234Micros) {
    useFakeNet();
    testing::internal::CaptureStdout();
    EXPECT_FALSE(connectToServer("10.1.2.3"));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "") << "prints nothing on failure";
    EXPECT_EQ(fake.sent.size(), 8u);
    ASSERT_EQ(fake.waits.size(), 8u);
    for (const int64_t w : fake.waits) EXPECT_EQ(w, 1000234);
}

TEST(Client, OtherDatagramsUseUpAnAttempt) {
    useFakeNet();
    queueDatagram(messageOfKind(StateUpdate), serverAt());
    queueDatagram(messageOfKind(JoinAccepted), serverAt(), 100);
    queueDatagram(messageOfKind(JoinAccepted), serverAt());
    EXPECT_TRUE(connectToServer("127.0.0.1"));
    EXPECT_EQ(fake.sent.size(), 3u);
}

TEST(Client, ARefusedClientLearnsItAtOnce) {
    useFakeNet();
    queueDatagram(messageOfKind(JoinRefused), serverAt());
    testing::internal::CaptureStderr();
    EXPECT_FALSE(connectToServer("127.0.0.1"));
    EXPECT_NE(testing::internal::GetCapturedStderr().find("server is full"), std::string::npos);
    EXPECT_EQ(fake.sent.size(), 1u) << "no further attempts";
    EXPECT_EQ(net.connected, 0);
}

TEST(Client, HostNamesResolve) {
    useFakeNet();
    EXPECT_EQ(resolveHost(""), 0u);
    EXPECT_EQ(resolveHost("192.168.1.20"), 0xC0A80114u);
    EXPECT_EQ(resolveHost("255.255.255.255"), 0xFFFFFFFFu);
    EXPECT_EQ(resolveHost("gamehost"), 0x0A000005u);
    testing::internal::CaptureStdout();
    EXPECT_EQ(resolveHost("no-such-host"), 0u);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "ERROR\n");
    // The broadcast name sends its requests to the broadcast address.
    EXPECT_FALSE(connectToServer("255.255.255.255"));
    EXPECT_EQ(fake.sent[0].address.ip, 0xFFFFFFFFu);
}

TEST(Client, ProbesAreAnsweredWithTheLastKeyAndAppliedAsState) {
    joinedClient();
    queueDatagram(stateFor(9, 4, 3, KeepAliveProbe), serverAt());
    EXPECT_TRUE(clientReceivePass());
    ASSERT_EQ(fake.sent.size(), 1u);
    NetMessage answer = sentMessage(0);
    EXPECT_EQ(messageKind(answer), KeepAliveAnswer);
    for (int i = 8; i < kNetMessageSize; ++i) ASSERT_EQ(answer.bytes[i], 0);
    EXPECT_EQ(gs.localFighterIndex, 3);
    EXPECT_EQ(preyCount(), 4);

    sendKeyEvent(kKeyUpArrow, false, true);
    queueDatagram(stateFor(9, 4, 3, KeepAliveProbe), serverAt());
    clientReceivePass();
    answer = sentMessage(2);
    EXPECT_EQ(messageKind(answer), KeepAliveAnswer);
    EXPECT_EQ(answer.bytes[8], kKeyUpArrow);
    EXPECT_EQ(answer.bytes[13], 1);
    // The next key event is a key event again.
    sendKeyEvent('i', false, false);
    EXPECT_EQ(messageKind(sentMessage(3)), KeyEvent);
}

TEST(Client, OnlyStateBodiesAreState) {
    joinedClient();
    queueDatagram(stateFor(9, 4, 2), serverAt());
    clientReceivePass();
    EXPECT_EQ(gs.localFighterIndex, 2);
    // A late answer to a repeated join request is not a picture of the world.
    queueDatagram(messageOfKind(JoinAccepted), serverAt());
    queueDatagram(messageOfKind(7), serverAt());
    clientReceivePass();
    EXPECT_EQ(gs.localFighterIndex, 2);
    EXPECT_EQ(preyCount(), 4);
    EXPECT_EQ(gs.fighterList[2].state, InPlay);
}

TEST(Client, TheStoredStateIsAppliedEveryPassItsEffectsOnce) {
    joinedClient();
    if (!explosionsAvailable()) GTEST_SKIP() << "explosion starters not linked yet";
    GameState saved = gs;
    makeWorld(9, 0);
    gs.effectEvents.push_back(EffectEvent{EffectSmall, 1.0f, 2.0f, 3.0f});
    NetMessage body;
    packState(body);
    setMessageKind(body, StateUpdate);
    setMessageYourFighter(body, 1);
    gs = saved;
    queueDatagram(body, serverAt());
    queueDatagram(body, serverAt());  // the same event, twice received
    clientReceivePass();
    EXPECT_EQ(explosionCount(), 2);
    gs.fighterList[0].pos.x = -5.0f;
    clientReceivePass();
    clientReceivePass();
    EXPECT_EQ(explosionCount(), 2) << "re-applying starts nothing";
    EXPECT_NE(gs.fighterList[0].pos.x, -5.0f) << "but the picture is applied again";
}

TEST(Client, FinishedExplosionsAreRemoved) {
    joinedClient();
    gs.explosionList.resize(3);
    gs.explosionList[0].finished = 1;
    gs.explosionList[2].finished = 1;
    gs.explosionList[1].frame = 4;
    clientReceivePass();
    ASSERT_EQ(explosionCount(), 1);
    EXPECT_EQ(gs.explosionList[0].frame, 4);
}

TEST(Client, TwentySecondsOfSilenceEndTheGame) {
    joinedClient();
    const int64_t heard = fake.now;
    fake.now = heard + kServerTimeout;
    EXPECT_TRUE(clientReceivePass());
    fake.now = heard + kServerTimeout + 1;
    EXPECT_FALSE(clientReceivePass());
    // Anything heard keeps it alive.
    queueDatagram(stateFor(9, 1, 1), serverAt());
    EXPECT_TRUE(clientReceivePass());
    EXPECT_EQ(net.lastHeardTime, fake.now);
}

TEST(ClientDeathTest, SilenceWritesServerDiedAndEndsWithStatus0) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    joinedClient();
    fake.now += kServerTimeout + 1;
    EXPECT_EXIT(clientNetworkPass(), testing::ExitedWithCode(0), "");
}

TEST(Client, KeysAreOnlySentByAClient) {
    useFakeNet();
    net.netSocket = 3;
    net.role = RoleServer;
    sendKeyEvent('i', false, false);
    EXPECT_TRUE(fake.sent.empty());
}

}  // namespace
