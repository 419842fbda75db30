// test_trust.cpp -- a client trusts only its server: strangers' datagrams are
// dropped and counted, the level is checked on the join's answer only, a
// body numbered far ahead changes nothing, a client that applies nothing for
// 20 s gives up, and no body or pass can start explosions without bound.
#include <gtest/gtest.h>

#include "fake_net.h"
#include "tests/log_capture.h"

namespace {

const NetAddress kStrangers[] = {{0x7F000001, 40000}, {0x0A000001, kNetPort}};

// Delivers one body and runs the client's receive pass, which must not give up.
[[nodiscard]] testing::AssertionResult receive(const NetMessage& body, NetAddress from = serverAddress()) {
    queueDatagram(body, from);
    if (clientReceivePass()) return testing::AssertionSuccess();
    return testing::AssertionFailure() << "the client gave its server up";
}

TEST(Trust, OnlyTheJoinedServerIsHeardAndOnlyItsFirstBodyChecksTheLevel) {
    // The join: a stranger's acceptance is not the answer.
    useFakeNet();
    makeWorld(9, 2);
    for (const NetAddress& s : kStrangers) queueDatagram(messageOfKind(NetMessageKind::JoinAccepted), s);
    EXPECT_FALSE(connectToServer("127.0.0.1"));
    EXPECT_EQ(net.datagramsForeign, 2u);

    ASSERT_TRUE(fakeJoinedClient());
    ASSERT_TRUE(receive(bodyNumbered(10, 5.0f)));
    fake.sent.clear();
    // Strangers: another level, a number far ahead, a probe to answer, a
    // flood of explosions. None is seen, answered or believed.
    NetMessage probe = bodyNumbered(11, 6.0f);
    setMessageKind(probe, NetMessageKind::KeepAliveProbe);
    for (const NetAddress& s : kStrangers)
        for (const NetMessage& m : {bodyNumbered(11, 7.0f, 3), bodyNumbered(0x7FFFFFFF, 8.0f), probe,
                                    bodyNumbered(12, 9.0f, 9, 255)})
            queueDatagram(m, s);
    ASSERT_TRUE(clientReceivePass());
    EXPECT_EQ(net.datagramsForeign, 8u);
    EXPECT_FALSE(net.levelMismatchReported);
    EXPECT_FLOAT_EQ(shownX(), 5.0f);
    EXPECT_EQ(explosionCount(), 0);
    EXPECT_TRUE(fake.sent.empty()) << "a stranger's probe is not answered";
    ASSERT_TRUE(receive(bodyNumbered(11, 10.0f)));
    EXPECT_FLOAT_EQ(shownX(), 10.0f);

    // The server itself: only the first body after the join is compared.
    ASSERT_TRUE(receive(bodyNumbered(12, 11.0f, 3)));
    EXPECT_FALSE(net.levelMismatchReported);
    const logtest::LogCapture said;
    ASSERT_TRUE(fakeJoinedClient());
    ASSERT_TRUE(receive(bodyNumbered(1, 1.0f, 3)));
    EXPECT_TRUE(net.levelMismatchReported);
    // Also when that body was the join's answer.
    useFakeNet();
    makeWorld(9, 2);
    queueDatagram(bodyNumbered(1, 1.0f, 3), serverAddress());
    ASSERT_TRUE(connectToServer("127.0.0.1"));
    // The game joins before it reads its level: the count is compared at
    // the first pass, against the level read by then.
    EXPECT_FALSE(net.levelMismatchReported);
    ASSERT_TRUE(clientReceivePass());
    EXPECT_TRUE(net.levelMismatchReported);
    EXPECT_EQ(said.lines().size(), 2u) << "one line for each client";
}

TEST(Trust, ABodyFarAheadIsNotNewerAndOnlyAppliedBodiesKeepTheServerAlive) {
    ASSERT_TRUE(fakeJoinedClient());
    ASSERT_TRUE(receive(bodyNumbered(100, 1.0f)));
    ASSERT_TRUE(receive(bodyNumbered(100 + kMaxBodySeqAhead + 1, 2.0f)));
    ASSERT_TRUE(receive(bodyNumbered(0x7FFFFFFF, 3.0f)));
    EXPECT_FLOAT_EQ(shownX(), 1.0f);
    EXPECT_EQ(net.bodiesStale, 2u);
    ASSERT_TRUE(receive(bodyNumbered(101, 4.0f)));
    ASSERT_TRUE(receive(bodyNumbered(101 + kMaxBodySeqAhead, 5.0f)));
    EXPECT_FLOAT_EQ(shownX(), 5.0f) << "a minute of lost bodies is still followed";

    // Only old bodies (and strangers' new ones) from now on: heard every
    // second, but nothing applied, the client gives up after 20 s.
    const NetMessage old = bodyNumbered(101, 6.0f), foreignNew = bodyNumbered(200 + kMaxBodySeqAhead, 7.0f);
    for (int s = 1; s <= kServerTimeout; ++s) {
        fake.now += 1;
        queueDatagram(old, serverAddress());
        queueDatagram(foreignNew, kStrangers[0]);
        ASSERT_TRUE(clientReceivePass()) << s << " s";
    }
    fake.now += 1;
    queueDatagram(old, serverAddress());
    EXPECT_FALSE(clientReceivePass());
}

TEST(Trust, ALiveStreamBeyondTheWindowIsFollowedAgainWithinASecond) {
    // A client stopped for longer than the window (or put ahead by a forged
    // body) sees the server's stream advance past its reach: it takes it up
    // again once nothing applied for kResyncAfterMs; strangers cannot help.
    for (const uint32_t resumeAt : {50000u, 50u}) {
        ASSERT_TRUE(fakeJoinedClient());
        ASSERT_TRUE(receive(bodyNumbered(5000, 1.0f)));
        int passes = 0;
        for (uint32_t seq = resumeAt; shownX() == 1.0f && passes < 500; ++seq, ++passes) {
            fake.nowMs += 10;
            queueDatagram(bodyNumbered(seq + 7000, 3.0f), kStrangers[0]);
            ASSERT_TRUE(receive(bodyNumbered(seq, 2.0f)));
        }
        EXPECT_FLOAT_EQ(shownX(), 2.0f);
        EXPECT_NEAR(passes * 10, kResyncAfterMs, 30) << "resumed at " << resumeAt;
        ASSERT_TRUE(receive(bodyNumbered(resumeAt + passes, 4.0f)));
        EXPECT_FLOAT_EQ(shownX(), 4.0f) << "the stream is followed from there on";
    }
}

TEST(Trust, ExplosionsFromBodiesAreBoundedPerBodyPassAndWorld) {
    ASSERT_TRUE(fakeJoinedClient());
    // One body of 255 events: kMaxEffectsPerBody start; the rest are not
    // lost for good, a later body's repeats may still start them.
    ASSERT_TRUE(receive(bodyNumbered(1, 1.0f, 9, 255)));
    EXPECT_EQ(explosionCount(), kMaxEffectsPerBody);
    // Many such bodies in one pass: kMaxEffectsPerPass start.
    for (uint32_t seq = 2; seq < 40; ++seq) queueDatagram(bodyNumbered(seq, 1.0f, 9, 255), serverAddress());
    ASSERT_TRUE(clientReceivePass());
    EXPECT_EQ(gs.explosionsStarted, static_cast<uint32_t>(kMaxEffectsPerBody + kMaxEffectsPerPass));
    // Pass after pass: the list holds the newest kMaxExplosions.
    for (uint32_t seq = 40; seq < 440; ++seq) ASSERT_TRUE(receive(bodyNumbered(seq, 1.0f, 9, 255)));
    ASSERT_EQ(explosionCount(), kMaxExplosions);
    for (const Explosion& e : gs.explosionList) EXPECT_GT(e.startOrder, gs.explosionsStarted - kMaxExplosions);

    // A paused server's bodies start none: its world makes no hits, and
    // explosions would stand still until it resumed.
    ASSERT_TRUE(fakeJoinedClient());
    for (uint32_t seq = 1; seq < 400; ++seq) ASSERT_TRUE(receive(bodyNumbered(seq, 1.0f, 9, 255, true)));
    EXPECT_EQ(explosionCount(), 0);
    EXPECT_TRUE(gs.gamePaused);
}

}  // namespace
