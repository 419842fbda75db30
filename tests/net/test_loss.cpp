// test_loss.cpp -- play over a lossy network: the real client code writes the
// key datagrams, a script loses and repeats them on the way, and
// the real server code acts on what arrives; the client refuses old
// pictures and starts each explosion once. Datagrams of peers that follow the
// plain protocol exactly (all unlisted bytes zero, no trailer) are written
// here by hand, independently of wire.cpp.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstring>
#include <functional>
#include <string>

#include "fake_net.h"

namespace {

struct Timed { int64_t ms; NetMessage msg; };

// Runs a joined client for `untilMs` in 10 ms passes; `keys(t)` may send key
// events at t. Returns every datagram it sent, with its time.
std::vector<Timed> clientDatagrams(int64_t untilMs, const std::function<void(int64_t)>& keys) {
    useFakeNet();
    makeWorld(9, 0);
    net.role = NetRole::Client;
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
    queueDatagram(messageOfKind(NetMessageKind::JoinRequest), clientAddress(0));
    serverNetworkReceive();
    fake.sent.clear();
}

// Delivers the datagrams to the server in 10 ms passes, each `copies(i)`
// times (0: lost); calls `watch(t)` after every pass.
void deliver(const std::vector<Timed>& sent, int64_t untilMs, const std::function<int(size_t)>& copies,
             const std::function<void(int64_t)>& watch) {
    size_t next = 0;
    for (int64_t t = 0; t <= untilMs; t += 10) {
        fake.nowMs = t;
        for (; next < sent.size() && sent[next].ms <= t; ++next)
            for (int c = 0; c < copies(next); ++c) queueDatagram(sent[next].msg, clientAddress(0));
        serverNetworkReceive();
        watch(t);
    }
}

// Index of the first datagram at or after `ms` that is a KeyEvent.
size_t keyEventAt(const std::vector<Timed>& sent, int64_t ms) {
    for (size_t i = 0; i < sent.size(); ++i)
        if (sent[i].ms >= ms && messageKind(sent[i].msg) == NetMessageKind::KeyEvent) return i;
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

    // The release lost: the next refresh carries it. Everything from the
    // release on lost: the lease ends the hold.
    for (const auto& lostCase : {std::pair<bool, int64_t>{false, kKeyRefreshMs}, {true, kKeyLeaseMs}}) {
        const bool allLost = lostCase.first;
        const int64_t bound = lostCase.second;
        serverWithOneClient();
        int64_t stopped = -1;
        deliver(sent, 2000, [&](size_t i) { return i == release || (allLost && i > release) ? 0 : 1; }, [&](int64_t t) {
            if (stopped < 0 && t >= 1000 && gs.fighterList[1].keyDown[int('i')] == 0) stopped = t;
            if (t == 990) { EXPECT_EQ(gs.fighterList[1].keyDown[int('i')], 1) << "held while held"; }
        });
        EXPECT_GE(stopped, allLost ? 1010 : 1000);
        EXPECT_LE(stopped, 1000 + bound + 10);
    }
}

TEST(Loss, ATapActsOnceWhateverIsRepeatedOrLost) {
    const auto sent = clientDatagrams(600, [](int64_t t) {
        if (t == 100) sendKeyEvent(' ', false, false);
        if (t == 200) sendKeyEvent(' ', true, false);
        if (t == 300) sendKeyEvent(kKeyLeftArrow, false, true);
    });
    const size_t press = keyEventAt(sent, 100), release = keyEventAt(sent, 200);
    const auto shotsAfter = [&](const std::function<int(size_t)>& copies) {
        serverWithOneClient();
        const int bullets = gs.fighterList[1].bullets;
        deliver(sent, 600, copies, [](int64_t) {});
        EXPECT_EQ(net.keyEventsApplied, 3u) << "press, release and the arrow, each once";
        return bullets - gs.fighterList[1].bullets;
    };
    EXPECT_EQ(shotsAfter([](size_t) { return 3; }), 1) << "every datagram thrice";
    EXPECT_EQ(shotsAfter([&](size_t i) { return i == press ? 0 : 2; }), 1)
        << "the press lost, the release twice: the history brings the press";
    EXPECT_EQ(shotsAfter([&](size_t i) { return i == release ? 0 : 1; }), 1) << "the release lost";
}

// Held fire from a client of ours: its gun keeps the beat on the client's
// reports of space held (every 50 ms), and a tap (press and release sent
// together, as maze-bot taps) fires once even when its release and the
// refresh after it are lost, leaving space held at the server for 100 ms.
TEST(Loss, HeldFireKeepsTheBeatAndALostReleaseAddsNoShot) {
    const auto sent = clientDatagrams(2000, [](int64_t t) {
        if (t == 100) {
            sendKeyEvent(' ', false, false);
            sendKeyEvent(' ', true, false);
        }
        if (t == 500) sendKeyEvent(' ', false, false);
        if (t == 600) sendKeyEvent('i', false, false);
        if (t == 1500) sendKeyEvent(' ', true, false);
    });
    const size_t release = keyEventAt(sent, 100) + 1;
    ASSERT_EQ(messageKind(sent.at(release).msg), NetMessageKind::KeyEvent);
    const auto shots = [&](const std::function<int(size_t)>& copies, int64_t from, int64_t to) {
        serverWithOneClient();
        Fighter& f = gs.fighterList[1];
        f.bullets = 1000;
        int before = 0;
        deliver(sent, 2000, copies, [&](int64_t t) {
            fireHeldGun(f, 10);
            if (t == from - 10) before = f.bullets;
            if (t == to) before -= f.bullets;
        });
        return before;
    };
    const auto lostTapRelease = [&](size_t i) {
        return i == release || (i > release && sent[i].ms <= 100 + 2 * kKeyRefreshMs) ? 0 : 1;
    };
    EXPECT_EQ(shots([](size_t) { return 1; }, 100, 400), 1) << "the tap";
    EXPECT_EQ(shots(lostTapRelease, 100, 400), 1) << "the tap, its release and the refresh after it lost";
    EXPECT_EQ(shots([](size_t) { return 2; }, 100, 400), 1) << "the tap, every datagram twice";
    const int held = shots([](size_t) { return 1; }, 500, 1600);
    EXPECT_GE(held, 1 + (1000 - kHoldFireDelayMs) / kFireIntervalMs) << "1 s held, i pressed on the way";
    EXPECT_LE(held, 2 + 1000 / kFireIntervalMs);
    const int halfLost = shots([&](size_t i) { return i % 2; }, 500, 1600);
    EXPECT_GE(halfLost, (1000 - kHoldFireDelayMs) / kFireIntervalMs / 2) << "every other datagram lost";
    EXPECT_LE(halfLost, held);
}

// A state body as a server that follows the plain protocol exactly writes
// it: fighter entries only (each at x), nothing after them, no trailer.
NetMessage plainBody(int32_t clockMs, float x, int effects = 0) {
    NetMessage m;
    const auto put = [&](int off, uint32_t v) {
        for (int i = 0; i < 4; ++i) m.bytes[off + i] = static_cast<uint8_t>(v >> (8 * i));
    };
    m.bytes[0] = static_cast<uint8_t>(NetMessageKind::StateUpdate);
    m.bytes[8] = 1;
    m.bytes[9] = 9;
    m.bytes[14] = static_cast<uint8_t>(effects);
    put(16, static_cast<uint32_t>(clockMs));
    for (int f = 0; f < 9; ++f) {
        put(20 + 28 * f, std::bit_cast<uint32_t>(x));
        m.bytes[20 + 28 * f + 12] = 1;
        put(20 + 28 * f + 20, std::bit_cast<uint32_t>(100.0f));
    }
    for (int e = 0; e < effects; ++e) {
        m.bytes[20 + 28 * 9 + 20 * e] = static_cast<uint8_t>(EffectKind::Small);
        put(20 + 28 * 9 + 20 * e + 4, std::bit_cast<uint32_t>(1.0f));
    }
    return m;
}

// A body from our server (with its trailer) with fighter 0 at x.
NetMessage ourBody(float x, int effects = 0) {
    static float nextX;
    static int nextEffects;
    nextX = x;
    nextEffects = effects;
    return stateFor(9, 0, 1, NetMessageKind::StateUpdate, [] {
        gs.fighterList[0].pos.x = nextX;
        for (int e = 0; e < nextEffects; ++e) gs.effectEvents.push_back(EffectEvent{EffectKind::Small, 1.0f, 2.0f, 3.0f});
    });
}

float shownX() { return gs.fighterList[0].pos.x; }

// The joined client receives `body` from the server in one pass.
void clientGets(const NetMessage& body) {
    queueDatagram(body, serverAddress());
    clientReceivePass();
}

TEST(Loss, AnOlderPictureIsNeverAppliedAlsoAcrossTheMinute) {
    ASSERT_TRUE(fakeJoinedClient());
    const NetMessage b1 = ourBody(10.0f), b2 = ourBody(20.0f), b3 = ourBody(30.0f);
    for (const NetMessage* b : {&b1, &b3, &b2, &b3, &b1}) clientGets(*b);
    EXPECT_FLOAT_EQ(shownX(), 30.0f) << "late 2 and 1, a repeated 3: all refused";
    EXPECT_EQ(net.bodiesApplied, 2u);
    EXPECT_EQ(net.bodiesStale, 3u);

    // A plain server: by its clock, which turns over at 60000 ms.
    ASSERT_TRUE(fakeJoinedClient());
    // 5 after 59990: the minute turned, newer; then late from the old minute,
    // a probe with the same clock (a copy of the last body), another body
    // of the same millisecond, and well ahead.
    const struct { int32_t clock; float x; float shown; NetMessageKind kind; } steps[] = {
        {59980, 1.0f, 1.0f, NetMessageKind::StateUpdate}, {59990, 2.0f, 2.0f, NetMessageKind::StateUpdate}, {5, 3.0f, 3.0f, NetMessageKind::StateUpdate},
        {59995, 4.0f, 3.0f, NetMessageKind::StateUpdate}, {5, 5.0f, 3.0f, NetMessageKind::KeepAliveProbe}, {5, 6.0f, 6.0f, NetMessageKind::StateUpdate},
        {29000, 7.0f, 7.0f, NetMessageKind::StateUpdate}};
    for (const auto& s : steps) {
        NetMessage body = plainBody(s.clock, s.x);
        body.bytes[0] = static_cast<uint8_t>(s.kind);
        clientGets(body);
        EXPECT_FLOAT_EQ(shownX(), s.shown) << "clock " << s.clock << ", kind " << int(s.kind);
    }
}

TEST(Loss, EffectsSurviveOneLostBodyAndNeverStartTwice) {
    ASSERT_TRUE(fakeJoinedClient());
    const NetMessage b1 = ourBody(1.0f, 2), b2 = ourBody(2.0f), b3 = ourBody(3.0f, 1);
    // b1 lost; b2 repeats its two events; b3 arrives twice, b1 late.
    for (const NetMessage* b : {&b2, &b3, &b3, &b1}) clientGets(*b);
    EXPECT_EQ(explosionCount(), 3);
}

// A peer that follows the plain protocol exactly: its datagrams are accepted
// both ways, as its client by our server and as its server by our client.
TEST(Loss, APlainPeerIsServedAndFollowed) {
    serverWithOneClient();
    // Bytes 0..13 only: kind 4, key, released, special; everything else zero.
    const auto plainKey = [](uint8_t key, uint8_t released) {
        NetMessage m;
        m.bytes[0] = static_cast<uint8_t>(NetMessageKind::KeyEvent);
        m.bytes[8] = key;
        m.bytes[12] = released;
        return m;
    };
    queueDatagram(plainKey('i', 0), clientAddress(0));
    serverNetworkReceive();
    fake.nowMs += 5000;
    serverNetworkReceive();
    EXPECT_EQ(gs.fighterList[1].keyDown[int('i')], 1) << "no lease for a client that never renews one";
    for (const NetMessage& m : {messageOfKind(NetMessageKind::KeepAliveAnswer), plainKey('i', 1), plainKey(' ', 0), plainKey(' ', 1)})
        queueDatagram(m, clientAddress(0));
    serverNetworkReceive();
    EXPECT_EQ(gs.fighterList[1].keyDown[int('i')], 0);
    EXPECT_EQ(bulletCount(), 1);

    // A plain server's body and probe (which repeats the events), then the
    // next pass's body read in the same millisecond: followed, the probe
    // answered, each explosion started once, the second body's too.
    ASSERT_TRUE(fakeJoinedClient());
    const NetMessage body = plainBody(100, 7.0f, 2);
    NetMessage probe = body;
    probe.bytes[0] = static_cast<uint8_t>(NetMessageKind::KeepAliveProbe);
    for (const NetMessage& m : {body, probe}) queueDatagram(m, serverAddress());
    clientReceivePass();
    EXPECT_FLOAT_EQ(shownX(), 7.0f);
    EXPECT_EQ(gs.fighterList[3].state, FighterState::InPlay);
    EXPECT_EQ(explosionCount(), 2);
    clientGets(plainBody(100, 8.0f, 1));
    EXPECT_FLOAT_EQ(shownX(), 8.0f);
    EXPECT_EQ(explosionCount(), 3);
    ASSERT_FALSE(fake.sent.empty());
    EXPECT_EQ(messageKind(sentMessage(0)), NetMessageKind::KeepAliveAnswer);
}

// And ours, read as a plain peer reads them: every field at its place (the
// layout in README.md's "Protocol" section), the listed zero bytes zero,
// and a full state body's counted entries ending before our trailer. Read
// here byte by byte, independently of the codec: a swap inside one of its
// field functions reads back right through the codec and only shows here.
uint32_t u32At(const NetMessage& m, int at) {
    return static_cast<uint32_t>(m.bytes[at]) | static_cast<uint32_t>(m.bytes[at + 1]) << 8 |
           static_cast<uint32_t>(m.bytes[at + 2]) << 16 | static_cast<uint32_t>(m.bytes[at + 3]) << 24;
}
int32_t i32At(const NetMessage& m, int at) { return static_cast<int32_t>(u32At(m, at)); }
float f32At(const NetMessage& m, int at) { return std::bit_cast<float>(u32At(m, at)); }
void expectZeros(const NetMessage& m, int at, int n, const char* what) {
    for (int i = at; i < at + n; ++i) EXPECT_EQ(m.bytes[i], 0) << what << ", byte " << i;
}
double degreesOf(double x, double y) {
    const double d = std::atan2(y, x) * 57.29577951308232;
    return d < 0 ? d + 360.0 : d;
}

TEST(Loss, OurDatagramsReadRightByAPlainPeer) {
    // Keys: the record of the last event, and the history newest first.
    ASSERT_TRUE(fakeJoinedClient());
    sendKeyEvent('j', false, false);
    sendKeyEvent(kKeyUpArrow, false, true);
    sendKeyEvent('i', false, false);
    sendKeyEvent('i', true, false);
    const NetMessage key = sentMessage(fake.sent.size() - 1);
    EXPECT_EQ(key.bytes[0] | key.bytes[1] << 8, static_cast<int>(NetMessageKind::KeyEvent));
    expectZeros(key, 2, 6, "header");
    EXPECT_EQ(u32At(key, 8), uint32_t{'i'});
    EXPECT_EQ(key.bytes[12], 1) << "released";
    EXPECT_EQ(key.bytes[13], 0) << "special";
    expectZeros(key, 14, 2, "key record");
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(key.bytes + 16), 4), "MZK1");
    EXPECT_EQ(u32At(key, 20), 4u) << "newestSeq";
    EXPECT_EQ(key.bytes[24], 4) << "historyCount";
    expectZeros(key, 25, 3, "key extension");
    for (int b = 0; b < 32; ++b) EXPECT_EQ(key.bytes[28 + b], b == 'j' / 8 ? 1 << ('j' % 8) : 0) << "held " << b;
    const KeyRecord history[] = {{'i', 1, 0}, {'i', 0, 0}, {kKeyUpArrow, 0, 1}, {'j', 0, 0}};
    for (int i = 0; i < 4; ++i) {
        const int at = 60 + 8 * i;
        EXPECT_EQ(u32At(key, at), history[i].key) << "history " << i;
        EXPECT_EQ(key.bytes[at + 4], history[i].released) << "history " << i;
        EXPECT_EQ(key.bytes[at + 5], history[i].special) << "history " << i;
        expectZeros(key, at + 6, 2, "history entry");
    }
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(key.bytes + 316), 4), "MZK2");

    // A state body of 9 fighters, 2 prey, 180 bullets and 6 effects, after
    // two more bodies of 6 effects each: repeated in its trailer.
    serverWithOneClient();
    giveEveryFieldItsOwnValue(180);
    std::strcpy(gs.fighterList[2].name, "alice");
    gs.fighterList[2].deaths = 3;
    gs.fighterList[2].pingMs = 17;
    gs.fighterList[2].destroyedBy = kDestroyedByPrey;
    const GameState world = gs;
    const auto event = [](int g) {
        return EffectEvent{static_cast<EffectKind>(g % 2), 1.25f + g, 2.5f + g, 0.75f + 0.125f * g};
    };
    for (int pass = 0; pass < 3; ++pass) {
        gs.effectEvents.clear();
        for (int e = 0; e < 6; ++e) gs.effectEvents.push_back(event(6 * pass + e));
        process.clockNowMs = 43210 + pass;
        serverNetworkSend();
    }
    const NetMessage body = sentMessage(fake.sent.size() - 1);
    const uint8_t* b = body.bytes;
    EXPECT_EQ(b[0] | b[1] << 8, static_cast<int>(NetMessageKind::StateUpdate));
    expectZeros(body, 2, 6, "header");
    EXPECT_EQ(b[8], 1) << "yourFighter";
    EXPECT_EQ(b[9], 9);
    EXPECT_EQ(b[10], 2);
    EXPECT_EQ(b[11], 180);
    EXPECT_EQ(b[12] + b[13], 0) << "point counts";
    EXPECT_EQ(b[14], 6);
    EXPECT_EQ(b[15], 0) << "serverFlags";
    EXPECT_EQ(i32At(body, 16), 43212);
    int at = 20;
    for (const Fighter& f : world.fighterList) {
        EXPECT_EQ(f32At(body, at), f.pos.x) << "fighter at " << at;
        EXPECT_EQ(f32At(body, at + 4), f.pos.y) << "fighter at " << at;
        EXPECT_NEAR(f32At(body, at + 8), degreesOf(f.dir.x, f.dir.y), 1e-3) << "fighter at " << at;
        EXPECT_EQ(b[at + 12], f.state == FighterState::InPlay ? 1 : 0) << "fighter at " << at;
        expectZeros(body, at + 13, 3, "fighter");
        EXPECT_EQ(i32At(body, at + 16), f.score) << "fighter at " << at;
        EXPECT_EQ(f32At(body, at + 20), f.health) << "fighter at " << at;
        EXPECT_EQ(i32At(body, at + 24), f.bullets) << "fighter at " << at;
        at += 28;
    }
    for (const Prey& p : world.preyList) {
        EXPECT_EQ(f32At(body, at), p.pos.x) << "prey at " << at;
        EXPECT_EQ(f32At(body, at + 4), p.pos.y) << "prey at " << at;
        EXPECT_NEAR(f32At(body, at + 8), degreesOf(p.dir.x, p.dir.y), 1e-3) << "prey at " << at;
        EXPECT_EQ(f32At(body, at + 12), p.bodyTurn) << "prey at " << at;
        EXPECT_EQ(b[at + 16], p.pose) << "prey at " << at;
        expectZeros(body, at + 17, 3, "prey");
        at += 20;
    }
    for (const Bullet& u : world.bulletList) {
        EXPECT_EQ(f32At(body, at), u.pos.x) << "bullet at " << at;
        EXPECT_EQ(f32At(body, at + 4), u.pos.y) << "bullet at " << at;
        EXPECT_EQ(f32At(body, at + 8), u.pos.z) << "bullet at " << at;
        EXPECT_NEAR(f32At(body, at + 12), degreesOf(u.dir.x, u.dir.y), 1e-3) << "bullet at " << at;
        EXPECT_NEAR(f32At(body, at + 16), std::asin(u.dir.z) * 57.29577951308232, 1e-3) << "bullet at " << at;
        EXPECT_EQ(u32At(body, at + 20), static_cast<uint32_t>(u.shooterKind)) << "bullet at " << at;
        at += 24;
    }
    for (int e = 0; e < 6; ++e) {
        const EffectEvent want = event(12 + e);
        EXPECT_EQ(b[at], static_cast<uint8_t>(want.effectKind)) << "effect " << e;
        expectZeros(body, at + 1, 3, "effect");
        EXPECT_EQ(f32At(body, at + 4), want.x) << "effect " << e;
        EXPECT_EQ(f32At(body, at + 8), want.y) << "effect " << e;
        EXPECT_EQ(f32At(body, at + 12), want.z) << "effect " << e;
        expectZeros(body, at + 16, 4, "effect");
        at += 20;
    }
    // The trailer: the two earlier bodies' twelve events, newest first
    // (ids 12 down to 1), then marker, number 3, first id 13, count 12.
    const int repeats = b[6004];
    ASSERT_EQ(repeats, 12);
    EXPECT_LE(at, 5992 - 20 * repeats) << "the entries overlap the trailer";
    for (int r = 0; r < repeats; ++r) {
        const int rat = 5992 - 20 * repeats + 20 * r;
        const EffectEvent want = event(11 - r);
        EXPECT_EQ(u32At(body, rat), static_cast<uint32_t>(12 - r)) << "repeat " << r;
        EXPECT_EQ(b[rat + 4], static_cast<uint8_t>(want.effectKind)) << "repeat " << r;
        expectZeros(body, rat + 5, 3, "repeat");
        EXPECT_EQ(f32At(body, rat + 8), want.x) << "repeat " << r;
        EXPECT_EQ(f32At(body, rat + 12), want.y) << "repeat " << r;
        EXPECT_EQ(f32At(body, rat + 16), want.z) << "repeat " << r;
    }
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(b + 5992), 4), "MZS1");
    EXPECT_EQ(u32At(body, 5996), 3u) << "bodySeq";
    EXPECT_EQ(u32At(body, 6000), 13u) << "firstEffectId";
    EXPECT_EQ(b[6005], 1) << "extras";
    expectZeros(body, 6006, 2, "trailer");
    // The extras, before the repeats: fighter 2's record.
    const int x = 5992 - 20 * repeats - 380;
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(b + x), 4), "MZX1");
    EXPECT_EQ(b[x + 18], 9) << "extras' fighter count";
    const int rec = x + 20 + 2 * 36;
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(b + rec)), "alice");
    EXPECT_EQ(i32At(body, rec + 20), 3) << "deaths";
    EXPECT_EQ(b[rec + 24] | b[rec + 25] << 8, 17) << "ping";
    EXPECT_EQ(b[rec + 32], 0xFE) << "destroyed by a prey";

    // The point lists, which only other servers send, lie between the
    // bullets and the effects, A before B.
    StateSnapshot s;
    s.fighters.resize(1);
    s.pointsA = {{1.25f, 2.5f}};
    s.pointsB = {{3.75f, 4.25f}};
    s.effects = {{static_cast<uint8_t>(EffectKind::Small), 5.5f, 6.75f, 7.25f, 0}};
    NetMessage points;
    ASSERT_TRUE(writeStateSnapshot(s, points));
    EXPECT_EQ(points.bytes[12], 1);
    EXPECT_EQ(points.bytes[13], 1);
    EXPECT_EQ(f32At(points, 48), 1.25f);
    EXPECT_EQ(f32At(points, 52), 2.5f);
    EXPECT_EQ(f32At(points, 56), 3.75f);
    EXPECT_EQ(f32At(points, 60), 4.25f);
    EXPECT_EQ(points.bytes[64], static_cast<uint8_t>(EffectKind::Small));
    EXPECT_EQ(f32At(points, 68), 5.5f);
}

}  // namespace
