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

// The joined client receives `body` from the server in one pass.
void clientGets(const NetMessage& body) {
    queueDatagram(body, serverAddress());
    clientReceivePass();
}

TEST(Loss, AnOlderPictureIsNeverAppliedAlsoAcrossTheMinute) {
    ASSERT_TRUE(fakeJoinedClient());
    const NetMessage b1 = bodyNumbered(1, 10.0f), b2 = bodyNumbered(2, 20.0f), b3 = bodyNumbered(3, 30.0f);
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
    const NetMessage b1 = bodyNumbered(1, 1.0f, 9, 2), b2 = bodyNumbered(2, 2.0f), b3 = bodyNumbered(3, 3.0f, 9, 1);
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
float f32At(const NetMessage& m, int at) { return std::bit_cast<float>(u32At(m, at)); }
double degreesOf(Vec3 d) {
    const double a = std::atan2(static_cast<double>(d.y), static_cast<double>(d.x)) * 57.29577951308232;
    return a < 0 ? a + 360.0 : a;
}

// Reads a datagram field after field from `at` on, as a plain peer does,
// and checks each; a failure names the byte.
struct PlainRead {
    const NetMessage& m;
    int at;
    PlainRead& u8(int want) { EXPECT_EQ(m.bytes[at], want) << "byte " << at; return skip(1); }
    PlainRead& u32(uint32_t want) { EXPECT_EQ(u32At(m, at), want) << "byte " << at; return skip(4); }
    PlainRead& i32(int32_t want) { return u32(static_cast<uint32_t>(want)); }
    PlainRead& f32(float want) { EXPECT_EQ(f32At(m, at), want) << "byte " << at; return skip(4); }
    PlainRead& degrees(double want) { EXPECT_NEAR(f32At(m, at), want, 1e-3) << "byte " << at; return skip(4); }
    PlainRead& text(const char* want) {
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(m.bytes + at), std::strlen(want)), want) << "byte " << at;
        return skip(static_cast<int>(std::strlen(want)));
    }
    PlainRead& zeros(int n) {
        for (int i = 0; i < n; ++i) EXPECT_EQ(m.bytes[at + i], 0) << "byte " << at + i << " not zero";
        return skip(n);
    }
    PlainRead& skip(int n) { at += n; return *this; }
};

TEST(Loss, OurDatagramsReadRightByAPlainPeer) {
    // Keys: the record of the last event, and the history newest first.
    ASSERT_TRUE(fakeJoinedClient());
    sendKeyEvent('j', false, false);
    sendKeyEvent(kKeyUpArrow, false, true);
    sendKeyEvent('i', false, false);
    sendKeyEvent('i', true, false);
    const NetMessage key = sentMessage(fake.sent.size() - 1);
    PlainRead k{key, 0};
    k.u8(static_cast<int>(NetMessageKind::KeyEvent)).zeros(7).u32('i').u8(1).u8(0).zeros(2);  // released, not special
    k.text("MZK1").u32(4).u8(4).zeros(3);  // newestSeq, historyCount
    for (int b = 0; b < 32; ++b) k.u8(b == 'j' / 8 ? 1 << ('j' % 8) : 0);  // held
    for (const KeyRecord h : {KeyRecord{'i', 1, 0}, KeyRecord{'i', 0, 0}, KeyRecord{kKeyUpArrow, 0, 1}, KeyRecord{'j', 0, 0}})
        k.u32(h.key).u8(h.released).u8(h.special).zeros(2);
    k.skip(316 - k.at).text("MZK2");

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
    PlainRead r{body, 0};
    // Kind, yourFighter, the counts (no points), serverFlags, the clock.
    r.u8(static_cast<int>(NetMessageKind::StateUpdate)).zeros(7).u8(1).u8(9).u8(2).u8(180).zeros(2).u8(6).u8(0).i32(43212);
    for (const Fighter& f : world.fighterList)
        r.f32(f.pos.x).f32(f.pos.y).degrees(degreesOf(f.dir)).u8(f.state == FighterState::InPlay).zeros(3)
            .i32(f.score).f32(f.health).i32(f.bullets);
    for (const Prey& p : world.preyList)
        r.f32(p.pos.x).f32(p.pos.y).degrees(degreesOf(p.dir)).f32(p.bodyTurn).u8(p.pose).zeros(3);
    for (const Bullet& u : world.bulletList)
        r.f32(u.pos.x).f32(u.pos.y).f32(u.pos.z).degrees(degreesOf(u.dir)).degrees(std::asin(u.dir.z) * 57.29577951308232)
            .u32(static_cast<uint32_t>(u.shooterKind));
    for (int e = 0; e < 6; ++e) {
        const EffectEvent want = event(12 + e);
        r.u8(static_cast<int>(want.effectKind)).zeros(3).f32(want.x).f32(want.y).f32(want.z).zeros(4);
    }
    // The trailer: the two earlier bodies' twelve events, newest first
    // (ids 12 down to 1), then marker, number 3, first id 13, count 12.
    const int repeats = body.bytes[6004];
    ASSERT_EQ(repeats, 12);
    EXPECT_LE(r.at, 5992 - 20 * repeats) << "the entries overlap the trailer";
    PlainRead t{body, 5992 - 20 * repeats};
    for (int n = 0; n < repeats; ++n) {
        const EffectEvent want = event(11 - n);
        t.u32(static_cast<uint32_t>(12 - n)).u8(static_cast<int>(want.effectKind)).zeros(3).f32(want.x).f32(want.y).f32(want.z);
    }
    t.text("MZS1").u32(3).u32(13).u8(12).u8(1).zeros(2);  // bodySeq, firstEffectId, repeats, extras
    // The extras, before the repeats: fighter 2's record.
    const int x = 5992 - 20 * repeats - 380;
    PlainRead{body, x}.text("MZX1").skip(14).u8(9);  // the fighter count
    PlainRead{body, x + 20 + 2 * 36}.text("alice").u8(0).skip(14).i32(3).u8(17).u8(0).skip(6).u8(0xFE);  // deaths, ping, by a prey

    // The point lists, which only other servers send, lie between the
    // bullets and the effects, A before B.
    StateSnapshot s;
    s.fighters.resize(1);
    s.pointsA = {{1.25f, 2.5f}};
    s.pointsB = {{3.75f, 4.25f}};
    s.effects = {{static_cast<uint8_t>(EffectKind::Small), 5.5f, 6.75f, 7.25f, 0}};
    NetMessage points;
    ASSERT_TRUE(writeStateSnapshot(s, points));
    PlainRead{points, 12}.u8(1).u8(1);
    PlainRead{points, 48}.f32(1.25f).f32(2.5f).f32(3.75f).f32(4.25f).u8(static_cast<int>(EffectKind::Small)).skip(3).f32(5.5f);
}

}  // namespace
