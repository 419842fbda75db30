// test_loss.cpp -- play over a lossy network: the real client code writes the
// key datagrams, a script loses, repeats and reorders them on the way, and
// the real server code acts on what arrives; the client refuses old
// pictures and starts each explosion once. Peers that follow the plain
// protocol exactly (all unlisted bytes zero, no trailer) are written and read
// here by hand, independently of wire.cpp.
#include <gtest/gtest.h>

#include <functional>

#include "fake_net.h"

namespace {

struct Timed {
    int64_t ms;
    NetMessage msg;
};

// Runs a joined client for `untilMs` in 10 ms passes; `keys(t)` may send key
// events at t. Returns every datagram it sent, with its time.
std::vector<Timed> clientDatagrams(int64_t untilMs, const std::function<void(int64_t)>& keys) {
    useFakeNet();
    makeWorld(9, 0);
    net.role = RoleClient;
    net.connected = 1;
    net.netSocket = 3;
    std::vector<Timed> out;
    for (int64_t t = 0; t <= untilMs; t += 10) {
        fake.nowMs = t;
        keys(t);
        sendKeyRefresh();
        for (size_t i = 0; i < fake.sent.size(); ++i) out.push_back(Timed{t, sentMessage(i)});
        fake.sent.clear();
    }
    return out;
}

// A server with one joined client (fighter 1), at steady time 0.
void serverWithOneClient() {
    fakeServer();
    fake.nowMs = 0;
    queueDatagram(messageOfKind(JoinRequest), clientAddress(0));
    serverNetworkReceive();
    fake.sent.clear();
}

// Delivers the datagrams to the server in 10 ms passes, each `copies(i)`
// times (0: lost) after `delayMs(i)`; calls `watch(t)` after every pass.
void deliver(const std::vector<Timed>& sent, int64_t untilMs, const std::function<int(size_t)>& copies,
             const std::function<int64_t(size_t)>& delayMs, const std::function<void(int64_t)>& watch) {
    std::vector<bool> done(sent.size(), false);
    for (int64_t t = 0; t <= untilMs; t += 10) {
        fake.nowMs = t;
        for (size_t i = 0; i < sent.size(); ++i) {
            if (done[i] || sent[i].ms + delayMs(i) > t) continue;
            done[i] = true;
            for (int c = 0; c < copies(i); ++c) queueDatagram(sent[i].msg, clientAddress(0));
        }
        serverNetworkReceive();
        watch(t);
    }
}

int64_t noDelay(size_t) { return 0; }

// Index of the first datagram at or after `ms` that is a KeyEvent.
size_t keyEventAt(const std::vector<Timed>& sent, int64_t ms) {
    for (size_t i = 0; i < sent.size(); ++i)
        if (sent[i].ms >= ms && messageKind(sent[i].msg) == KeyEvent) return i;
    return sent.size();
}

TEST(Loss, AReleasedKeyStopsWithinHalfASecondWhateverIsLost) {
    // Held from 0 to 1000 ms.
    const auto sent = clientDatagrams(2000, [](int64_t t) {
        if (t == 0) sendKeyEvent('i', false, false);
        if (t == 1000) sendKeyEvent('i', true, false);
    });
    const size_t release = keyEventAt(sent, 1000);
    ASSERT_LT(release, sent.size());

    // The release itself is lost: the next refresh carries it.
    serverWithOneClient();
    int64_t stopped = -1;
    deliver(sent, 2000, [&](size_t i) { return i == release ? 0 : 1; }, noDelay, [&](int64_t t) {
        if (stopped < 0 && t >= 1000 && gs.fighterList[1].keyDown[int('i')] == 0) stopped = t;
        if (t == 990) {
            EXPECT_EQ(gs.fighterList[1].keyDown[int('i')], 1) << "held while held";
        }
    });
    EXPECT_GE(stopped, 1000);
    EXPECT_LE(stopped, 1000 + kKeyRefreshMs + 10);

    // Everything from the release on is lost: the lease ends the hold.
    serverWithOneClient();
    stopped = -1;
    deliver(sent, 2000, [&](size_t i) { return i >= release ? 0 : 1; }, noDelay, [&](int64_t t) {
        if (stopped < 0 && t >= 1000 && gs.fighterList[1].keyDown[int('i')] == 0) stopped = t;
    });
    EXPECT_GT(stopped, 1000);
    EXPECT_LE(stopped, 1000 + kKeyLeaseMs + 10);

    // Every other datagram lost while the key is held: it stays held.
    serverWithOneClient();
    int heldPasses = 0;
    deliver(sent, 990, [](size_t i) { return i % 2 == 0 ? 1 : 0; }, noDelay, [&](int64_t t) {
        heldPasses += gs.fighterList[1].keyDown[int('i')];
    });
    EXPECT_EQ(heldPasses, 100);
}

TEST(Loss, ATapActsOnceWhateverIsRepeatedLostOrLate) {
    const auto sent = clientDatagrams(600, [](int64_t t) {
        if (t == 100) sendKeyEvent(' ', false, false);
        if (t == 200) sendKeyEvent(' ', true, false);
        if (t == 300) sendKeyEvent(kKeyLeftArrow, false, true);
    });
    const size_t press = keyEventAt(sent, 100), release = keyEventAt(sent, 200);
    const size_t arrow = keyEventAt(sent, 300);
    const auto shotsAfter = [&](const std::function<int(size_t)>& copies, const std::function<int64_t(size_t)>& delay) {
        serverWithOneClient();
        const int bullets = gs.fighterList[1].bullets;
        deliver(sent, 600, copies, delay, [](int64_t) {});
        EXPECT_EQ(net.keyEventsApplied, 3u) << "press, release and the arrow, each once";
        return bullets - gs.fighterList[1].bullets;
    };
    EXPECT_EQ(shotsAfter([](size_t) { return 3; }, noDelay), 1) << "every datagram thrice";
    EXPECT_EQ(shotsAfter([&](size_t i) { return i == press ? 0 : 2; }, noDelay), 1)
        << "the press lost, the release twice: the history brings the press";
    EXPECT_EQ(shotsAfter([&](size_t i) { return i == release || i == arrow ? 0 : 1; }, noDelay), 1)
        << "the release and the arrow lost: a refresh brings both";
    // Reordered: the release arrives before the press.
    EXPECT_EQ(shotsAfter([](size_t) { return 1; }, [&](size_t i) { return i == press ? int64_t{150} : 0; }), 1);
}

// A state body as a server that follows the plain protocol exactly writes
// it: fighter entries only (each at x), nothing after them, no trailer.
NetMessage plainBody(uint16_t kind, int32_t clockMs, float x, int fighters = 9, int effects = 0) {
    NetMessage m;
    m.bytes[0] = static_cast<uint8_t>(kind);
    m.bytes[8] = 1;
    m.bytes[9] = static_cast<uint8_t>(fighters);
    m.bytes[14] = static_cast<uint8_t>(effects);
    for (int i = 0; i < 4; ++i) m.bytes[16 + i] = static_cast<uint8_t>(static_cast<uint32_t>(clockMs) >> (8 * i));
    const auto putF = [&](int off, float v) {
        for (int i = 0; i < 4; ++i) m.bytes[off + i] = static_cast<uint8_t>(std::bit_cast<uint32_t>(v) >> (8 * i));
    };
    for (int f = 0; f < fighters; ++f) {
        putF(20 + 28 * f, x);
        m.bytes[20 + 28 * f + 12] = 1;
        putF(20 + 28 * f + 20, 100.0f);
    }
    for (int e = 0; e < effects; ++e) {
        const int at = 20 + 28 * fighters + 20 * e;
        m.bytes[at] = EffectSmall;
        putF(at + 4, 1.0f);
    }
    return m;
}

// A body from our server (with its trailer) with fighter 0 at x.
NetMessage ourBody(float x, int effects = 0) {
    static float nextX;
    static int nextEffects;
    nextX = x;
    nextEffects = effects;
    return stateFor(9, 0, 1, StateUpdate, [] {
        gs.fighterList[0].pos.x = nextX;
        for (int e = 0; e < nextEffects; ++e) gs.effectEvents.push_back(EffectEvent{EffectSmall, 1.0f, 2.0f, 3.0f});
    });
}

float shownX() { return gs.fighterList[0].pos.x; }

TEST(Loss, AnOlderPictureIsNeverAppliedAlsoAcrossTheMinute) {
    ASSERT_TRUE(fakeJoinedClient());
    const NetMessage b1 = ourBody(10.0f), b2 = ourBody(20.0f), b3 = ourBody(30.0f);
    for (const NetMessage* b : {&b1, &b3, &b2, &b3, &b1}) {
        queueDatagram(*b, serverAddress());
        clientReceivePass();
    }
    EXPECT_FLOAT_EQ(shownX(), 30.0f) << "late 2 and 1, a repeated 3: all refused";
    EXPECT_EQ(net.bodiesApplied, 2u);
    EXPECT_EQ(net.bodiesStale, 3u);

    // A plain server: by its clock, which turns over at 60000 ms.
    ASSERT_TRUE(fakeJoinedClient());
    const struct { int32_t clock; float x; float shown; } steps[] = {
        {59980, 1.0f, 1.0f}, {59990, 2.0f, 2.0f}, {5, 3.0f, 3.0f},  // the minute turns: newer
        {59995, 4.0f, 3.0f},                                          // late from the old minute
        {5, 5.0f, 3.0f},                                              // the same body again
        {29000, 6.0f, 6.0f},                                          // well ahead
    };
    for (const auto& s : steps) {
        queueDatagram(plainBody(StateUpdate, s.clock, s.x), serverAddress());
        clientReceivePass();
        EXPECT_FLOAT_EQ(shownX(), s.shown) << "clock " << s.clock;
    }
}

TEST(Loss, EffectsSurviveOneLostBodyAndNeverStartTwice) {
    ASSERT_TRUE(fakeJoinedClient());
    const NetMessage b1 = ourBody(1.0f, 2), b2 = ourBody(2.0f), b3 = ourBody(3.0f, 1);
    // b1 lost; b2 repeats its two events; b3 arrives twice, b1 late.
    for (const NetMessage* b : {&b2, &b3, &b3, &b1}) {
        queueDatagram(*b, serverAddress());
        clientReceivePass();
    }
    EXPECT_EQ(explosionCount(), 3);

    // The server's probe repeats the body's picture but not its events, so
    // no client, plain or ours, starts them twice; the next body's trailer
    // brings them to a client that lost the body.
    fakeServer();
    queueDatagram(messageOfKind(JoinRequest), clientAddress(0));
    serverNetworkReceive();
    gs.effectEvents.push_back(EffectEvent{EffectLarge, 1.0f, 2.0f, 3.0f});
    serverNetworkSend();
    const NetMessage body = sentMessage(fake.sent.size() - 1);
    net.clients[0].lastHeard = fake.now - 1;
    keepAliveCheck();
    const NetMessage probe = sentMessage(fake.sent.size() - 1);
    serverNetworkSend();
    const NetMessage next = sentMessage(fake.sent.size() - 1);
    ASSERT_EQ(messageKind(probe), KeepAliveProbe);
    EXPECT_EQ(probe.bytes[14], 0);
    for (const bool lostBody : {false, true}) {
        ASSERT_TRUE(fakeJoinedClient());
        for (const NetMessage* m : {&body, &probe, &next}) {
            if (m == &body && lostBody) continue;
            queueDatagram(*m, serverAddress());
            clientReceivePass();
        }
        EXPECT_EQ(explosionCount(), 1) << (lostBody ? "body lost" : "body, probe and the next");
    }
}

// --- Both ways with a peer that follows the plain protocol exactly ---------

TEST(Loss, APlainClientIsServedAsBefore) {
    serverWithOneClient();
    // Bytes 0..13 only: kind 4, key, released, special; everything else zero.
    const auto plainKey = [](uint8_t key, uint8_t released) {
        NetMessage m;
        m.bytes[0] = KeyEvent;
        m.bytes[8] = key;
        m.bytes[12] = released;
        return m;
    };
    queueDatagram(plainKey('i', 0), clientAddress(0));
    serverNetworkReceive();
    fake.nowMs += 5000;
    serverNetworkReceive();
    EXPECT_EQ(gs.fighterList[1].keyDown[int('i')], 1) << "no lease for a client that never renews one";
    NetMessage answer;
    answer.bytes[0] = KeepAliveAnswer;
    queueDatagram(answer, clientAddress(0));
    queueDatagram(plainKey('i', 1), clientAddress(0));
    queueDatagram(plainKey(' ', 0), clientAddress(0));
    queueDatagram(plainKey(' ', 1), clientAddress(0));
    serverNetworkReceive();
    EXPECT_EQ(gs.fighterList[1].keyDown[int('i')], 0);
    EXPECT_EQ(bulletCount(), 1);
}

TEST(Loss, APlainServerIsFollowedAndItsEffectsStartOnce) {
    ASSERT_TRUE(fakeJoinedClient());
    const NetMessage body = plainBody(StateUpdate, 100, 7.0f, 9, 2);
    NetMessage probe = body;
    probe.bytes[0] = KeepAliveProbe;  // a plain server's probe repeats the events
    queueDatagram(body, serverAddress());
    queueDatagram(probe, serverAddress());
    queueDatagram(body, serverAddress());
    clientReceivePass();
    EXPECT_FLOAT_EQ(shownX(), 7.0f);
    EXPECT_EQ(gs.fighterList[3].state, InPlay);
    EXPECT_EQ(explosionCount(), 2);
    ASSERT_FALSE(fake.sent.empty());
    EXPECT_EQ(messageKind(sentMessage(0)), KeepAliveAnswer) << "its probe is answered";
}

// Reads our datagrams as a plain peer does: only the listed fields, the
// counted entries and nothing else, every size checked.
struct PlainState {
    int fighters = 0, prey = 0, bullets = 0, effects = 0;
    int32_t clock = 0;
    float firstX = 0;
    int entriesEnd = 0;
};
bool plainDecode(const NetMessage& m, PlainState& s) {
    s.fighters = m.bytes[9];
    s.prey = m.bytes[10];
    s.bullets = m.bytes[11];
    s.effects = m.bytes[14];
    s.clock = static_cast<int32_t>(m.bytes[16] | m.bytes[17] << 8 | m.bytes[18] << 16 | static_cast<uint32_t>(m.bytes[19]) << 24);
    s.entriesEnd = 20 + 28 * s.fighters + 20 * s.prey + 24 * s.bullets + 8 * (m.bytes[12] + m.bytes[13]) + 20 * s.effects;
    if (s.entriesEnd > kNetMessageSize || m.bytes[2] || m.bytes[3] || m.bytes[4] || m.bytes[5] || m.bytes[6] || m.bytes[7])
        return false;
    uint32_t x = 0;
    for (int i = 3; i >= 0; --i) x = x << 8 | m.bytes[20 + i];
    s.firstX = std::bit_cast<float>(x);
    return true;
}

TEST(Loss, OurDatagramsReadRightByAPlainPeer) {
    // Our key event: the listed fields as a plain server reads them.
    useFakeNet();
    net.role = RoleClient;
    net.netSocket = 3;
    sendKeyEvent(kKeyUpArrow, true, true);
    const NetMessage key = sentMessage(0);
    EXPECT_EQ(key.bytes[0] | key.bytes[1] << 8, KeyEvent);
    EXPECT_EQ(key.bytes[8] | key.bytes[9] << 8 | key.bytes[10] << 16 | key.bytes[11] << 24, kKeyUpArrow);
    EXPECT_EQ(key.bytes[12], 1);
    EXPECT_EQ(key.bytes[13], 1);
    EXPECT_EQ(key.bytes[14] | key.bytes[15], 0) << "the listed zero bytes stay zero";
    for (int b = 2; b < 8; ++b) EXPECT_EQ(key.bytes[b], 0);

    // Our state body and probe, with effects, bullets and prey: the counted
    // entries end before the trailer, so a plain client never reads it.
    fakeServer();
    queueDatagram(messageOfKind(JoinRequest), clientAddress(0));
    serverNetworkReceive();
    gs.bulletList.resize(180);
    gs.fighterList[0].pos.x = 42.0f;
    gs.clockNowMs = 31337;
    for (int pass = 0; pass < 3; ++pass) {
        gs.effectEvents.resize(6);
        serverNetworkSend();
    }
    const NetMessage body = sentMessage(fake.sent.size() - 1);
    PlainState s;
    ASSERT_TRUE(plainDecode(body, s));
    EXPECT_EQ(s.fighters, 9);
    EXPECT_EQ(s.effects, 6);
    EXPECT_EQ(s.clock, 31337);
    EXPECT_FLOAT_EQ(s.firstX, 42.0f);
    EXPECT_EQ(s.bullets, 180);
    StateSnapshot ours;
    ASSERT_TRUE(parseStateSnapshot(body, ours));
    ASSERT_TRUE(ours.hasSeq);
    EXPECT_EQ(ours.repeats.size(), 12u) << "the two bodies before";
    EXPECT_LE(s.entriesEnd, kNetMessageSize - kStateTailSize - 12 * kEffectRepeatSize);
}

}  // namespace
