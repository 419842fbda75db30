// Names, ping and the feed across the network: the server names its players
// from their joins, measures each round trip from the bodies its client
// acknowledges, and a client of ours reads what happened from the bodies.
#include <gtest/gtest.h>

#include <string>

#include "fake_net.h"
#include "tests/log_capture.h"

namespace {

NetMessage joinNamed(const char* name) {
    NetMessage m = messageOfKind(NetMessageKind::JoinRequest);
    if (name) {
        JoinExtension x;
        x.present = true;
        x.playerName = name;
        writeJoinExtension(m, x);
    }
    return m;
}

TEST(NamesAndFeed, JoinsAreNamedPingIsMeasuredAndAClientFeedsFromTheBodies) {
    const logtest::LogCapture quiet;
    fakeServer();
    process.isServer = true;
    queueDatagram(joinNamed("bob"), clientAddress(1));
    queueDatagram(joinNamed("bob"), clientAddress(2));
    queueDatagram(joinNamed(nullptr), clientAddress(3));  // a plain client
    serverNetworkReceive();
    EXPECT_EQ(fighterName(1), "bob");
    EXPECT_EQ(fighterName(2), "bob (2)");
    EXPECT_EQ(fighterName(3), "player 3");

    // The round trip: from a body's send to the key datagram that names it.
    fake.nowMs = 1000;
    serverNetworkSend();
    const NetMessage first = net.snapshotMessage;
    fake.nowMs = 1030;
    NetMessage ack = messageOfKind(NetMessageKind::KeepAliveAnswer);
    KeyExtension x;
    x.present = true;
    x.ackedBodySeq = net.bodySeq;
    writeKeyExtension(ack, x);
    queueDatagram(ack, clientAddress(1));
    serverNetworkReceive();
    EXPECT_EQ(gs.fighterList[1].pingMs, 30);
    EXPECT_EQ(gs.fighterList[3].pingMs, -1) << "a plain client acknowledges nothing";

    // bob (2) falls to a prey, bob takes the last prey: the round is over.
    noteFighterDestroyed(2, kDestroyedByPrey);
    gs.fighterList[1].score = 1;
    gs.preyList.clear();
    longGameStep(20);
    ASSERT_TRUE(gs.round.over);
    serverNetworkSend();
    const NetMessage second = net.snapshotMessage;

    // A client of ours, fighter 1, applies the two bodies.
    ASSERT_TRUE(fakeJoinedClient());
    process.isServer = false;
    for (const NetMessage* body : {&first, &second}) {
        NetMessage m = *body;
        setMessageYourFighter(m, 1);
        queueDatagram(m, serverAddress());
        ASSERT_EQ(clientIdlePass(), GameEnd::Playing);
    }
    ASSERT_EQ(hud.feedCount, 3);
    EXPECT_STREQ(hud.feed[0].text, "bob destroyed a prey");
    EXPECT_STREQ(hud.feed[1].text, "bob (2) was destroyed by a prey");
    EXPECT_STREQ(hud.feed[2].text, "round over: bob wins with 1");
    EXPECT_EQ(fighterName(2), "bob (2)");
    EXPECT_TRUE(gs.round.over);
}

}  // namespace
