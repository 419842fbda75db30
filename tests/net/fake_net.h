// fake_net.h -- an in-memory transport and clock for the network tests:
// datagrams queued for "our" socket, every datagram sent recorded.
#pragma once

#include <cmath>
#include <cstdio>
#include <cstring>
#include <deque>
#include <functional>
#include <vector>

#include "net/net.h"
#include "world/world.h"

struct FakeDatagram {
    std::vector<uint8_t> bytes;
    NetAddress address;  // sender (inbox) or destination (sent)
};

// Lifetime: reset by useFakeNet() at the start of every test.
struct FakeNet {
    std::deque<FakeDatagram> inbox;
    std::vector<FakeDatagram> sent;
    std::vector<int64_t> waits;   // timeouts asked of waitReadable
    int64_t now = 1000000;        // calendar seconds
    int64_t nowMs = 5000000;      // steady milliseconds
    std::vector<uint32_t> broadcasts;  // the interfaces' broadcast addresses
};
inline FakeNet fake;

// The real address parser; everything that touches a socket is faked.
inline NetTransport fakeTransport() {
    NetTransport t = posixTransport();
    t.openSocket = [](bool, uint16_t, const char**) { return 3; };
    t.closeSocket = [](int) {};
    t.waitReadable = [](int, int64_t timeout) {
        fake.waits.push_back(timeout);
        return fake.inbox.empty() ? 0 : 1;
    };
    t.receiveFrom = [](int, uint8_t* buf, int cap, NetAddress* from) {
        if (fake.inbox.empty()) return -1;
        const FakeDatagram d = fake.inbox.front();
        fake.inbox.pop_front();
        const int n = static_cast<int>(d.bytes.size());
        if (n > 0) std::memcpy(buf, d.bytes.data(), static_cast<size_t>(n < cap ? n : cap));
        *from = d.address;
        return n;
    };
    t.sendTo = [](int, const uint8_t* buf, int len, NetAddress to) {
        fake.sent.push_back(FakeDatagram{std::vector<uint8_t>(buf, buf + len), to});
        return len;
    };
    t.lastError = [] { return 0; };
    t.broadcastAddresses = [](uint32_t* out, int cap) {
        int n = 0;
        for (const uint32_t ip : fake.broadcasts)
            if (n < cap) out[n++] = ip;
        return n;
    };
    return t;
}

// Fresh world and network on the fake transport.
inline void useFakeNet() {
    resetGameStateForTest();
    resetNetStateForTest();
    fake = FakeNet{};
    net.transport = fakeTransport();
    net.clockSeconds = [] { return fake.now; };
    net.clockMillis = [] { return fake.nowMs; };
}

// A world of `fighters` fighters and `prey` prey on a small open floor.
inline void makeWorld(int fighters, int prey) {
    editMaze().cols = editMaze().rows = 10;
    editMaze().cellSize = 8.0f;
    editMaze().startBullets = 250;
    editMaze().startMissiles = 10;
    editMaze().fighterStartCount = fighters;
    for (int i = 0; i < fighters; ++i) editMaze().fighterStarts[i] = StartPosition{1 + i % 8, 1, 1};
    editMaze().preyStartCount = prey;
    for (int i = 0; i < prey; ++i) editMaze().preyStarts[i] = StartPosition{2 + i % 7, 5, 2};
    createFighters();
    resetGame();
}

inline NetAddress clientAddress(int n) { return NetAddress{0x7F000001, static_cast<uint16_t>(50000 + n)}; }
inline NetAddress serverAddress() { return NetAddress{0x7F000001, kNetPort}; }

// Queues `msg` from `from`, cut or zero-padded to `length` bytes.
inline void queueDatagram(const NetMessage& msg, NetAddress from, int length = kNetMessageSize) {
    FakeDatagram d{std::vector<uint8_t>(msg.bytes, msg.bytes + (length < kNetMessageSize ? length : kNetMessageSize)), from};
    d.bytes.resize(static_cast<size_t>(length), 0);
    fake.inbox.push_back(d);
}

inline NetMessage messageOfKind(NetMessageKind kind) {
    NetMessage m;
    setMessageKind(m, kind);
    return m;
}

// A join message of `kind` whose extension asks for (JoinRequest) or grants
// (JoinAccepted) the wire `flags` (kJoinFlag*).
inline NetMessage joinWithFlags(NetMessageKind kind, uint8_t flags) {
    NetMessage m = messageOfKind(kind);
    JoinExtension x;
    x.present = true;
    x.flags = flags;
    writeJoinExtension(m, x);
    return m;
}

inline NetMessage keyMessage(uint32_t key, bool released = false, bool special = false) {
    NetMessage m = messageOfKind(NetMessageKind::KeyEvent);
    writeKeyRecord(m, KeyRecord{key, static_cast<uint8_t>(released), static_cast<uint8_t>(special)});
    return m;
}

inline NetMessage sentMessage(size_t i) {
    NetMessage m;
    std::memcpy(m.bytes, fake.sent.at(i).bytes.data(), kNetMessageSize);
    return m;
}

// A server world of 9 fighters and 2 prey, listening on the fake socket.
inline void fakeServer(int fighters = 9) {
    useFakeNet();
    makeWorld(fighters, 2);
    net.role = NetRole::Server;
    net.netSocket = 3;
}

// A client of a 9-fighter level that has joined the fake server; playing fighter 1.
inline bool fakeJoinedClient() {
    useFakeNet();
    makeWorld(9, 2);
    process.localFighterIndex = 1;
    queueDatagram(messageOfKind(NetMessageKind::JoinAccepted), serverAddress());
    const bool joined = connectToServer("127.0.0.1");
    fake.sent.clear();
    return joined;
}

// A state body of the given kind from a server world of `fighters` fighters
// and `prey` prey, addressed to fighter `you`, with `edit` applied to that
// world first; the current world is left as it was.
inline NetMessage stateFor(int fighters, int prey, int you, NetMessageKind kind = NetMessageKind::StateUpdate,
                           const std::function<void()>& edit = {}) {
    const GameState saved = gs;
    makeWorld(fighters, prey);
    gs.fighterList[you].state = FighterState::InPlay;
    if (edit) edit();
    NetMessage body;
    packState(body);
    setMessageKind(body, kind);
    setMessageYourFighter(body, static_cast<uint8_t>(you));
    gs = saved;
    return body;
}

// A body of our server numbered `seq`, for fighter 1 of a `fighters` level,
// fighter 0 at x; `effects` explosions of its own, paused when asked.
inline NetMessage bodyNumbered(uint32_t seq, float x, int fighters = 9, int effects = 0, bool paused = false) {
    net.bodySeq = seq - 1;
    return stateFor(fighters, 0, 1, NetMessageKind::StateUpdate, [&] {
        gs.fighterList[0].pos.x = x;
        gs.gamePaused = paused;
        for (int e = 0; e < effects; ++e) gs.effectEvents.push_back(EffectEvent{EffectKind::Large, 1.0f, 2.0f, 1.5f});
    });
}

// Where the client shows fighter 0.
inline float shownX() { return gs.fighterList[0].pos.x; }

// Gives every field of every fighter and prey of the current world, and of
// `bullets` new bullets, a value of its own (none shared by two fields or two
// entries, every float exact in single precision): a field written to or
// read from another's place cannot go unnoticed. Fighter 1 is dead, the
// others in play.
inline void giveEveryFieldItsOwnValue(int bullets) {
    const auto ground = [](float degrees) {
        const double r = degrees * 0.017453292519943295;
        return Vec3{static_cast<float>(std::cos(r)), static_cast<float>(std::sin(r)), 0.0f};
    };
    for (size_t i = 0; i < gs.fighterList.size(); ++i) {
        Fighter& f = gs.fighterList[i];
        const float n = static_cast<float>(i);
        f.pos = Vec3{10.25f + n, 20.5f + n, f.pos.z};
        f.dir = ground(30.0f + 7.0f * n);
        f.state = i == 1 ? FighterState::Dead : FighterState::InPlay;
        f.score = 100 + static_cast<int32_t>(i);
        f.health = 40.75f + n;
        f.bullets = 200 + static_cast<int32_t>(i);
        std::snprintf(f.name, sizeof f.name, "pilot %u", static_cast<unsigned>(i % 100));
        f.fightersDestroyed = 300 + static_cast<int32_t>(i);
        f.deaths = 400 + static_cast<int32_t>(i);
        f.pingMs = 5 + static_cast<int32_t>(i);
        f.protectMs = 1500 + static_cast<int32_t>(i);
        f.respawnMs = 4000 + static_cast<int32_t>(i);
        f.destroyedBy = i == 0 ? kDestroyedByPrey : static_cast<int32_t>(i) - 1;
    }
    gs.round = GameState::Round{123456, true, 7890, 2};
    for (size_t j = 0; j < gs.preyList.size(); ++j) {
        Prey& p = gs.preyList[j];
        const float n = static_cast<float>(j);
        p.pos = Vec3{50.25f + n, 60.75f + n, p.pos.z};
        p.dir = ground(70.0f + 11.0f * n);
        p.bodyTurn = -12.5f - n;
        p.pose = 5 + static_cast<int32_t>(j);
    }
    gs.bulletList.resize(static_cast<size_t>(bullets));
    for (int k = 0; k < bullets; ++k) {
        Bullet& b = gs.bulletList[static_cast<size_t>(k)];
        const double heading = (110.0 + 13.0 * k) * 0.017453292519943295;
        const double pitch = (7.5 + k) * 0.017453292519943295;
        b.pos = Vec3{80.5f + static_cast<float>(k), 90.25f + static_cast<float>(k), 1.75f + 0.125f * static_cast<float>(k)};
        b.dir = Vec3{static_cast<float>(std::cos(heading) * std::cos(pitch)),
                     static_cast<float>(std::sin(heading) * std::cos(pitch)), static_cast<float>(std::sin(pitch))};
        b.shooterKind = k % 2 == 0 ? ShooterKind::PreyCannon : ShooterKind::MissileShot;
    }
}
