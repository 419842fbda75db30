// fake_net.h -- an in-memory transport and clock for the network tests:
// datagrams queued for "our" socket, every datagram sent recorded.
#pragma once

#include <cstring>
#include <deque>
#include <string>
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
    bool failReads = false;
    bool failSends = false;
};
inline FakeNet fake;

inline NetTransport fakeTransport() {
    NetTransport t;
    t.openSocket = [](bool, uint16_t, const char**) { return 3; };
    t.closeSocket = [](int) {};
    t.waitReadable = [](int, int64_t timeout) {
        fake.waits.push_back(timeout);
        return fake.inbox.empty() ? 0 : 1;
    };
    t.receiveFrom = [](int, uint8_t* buf, int cap, NetAddress* from) {
        if (fake.failReads || fake.inbox.empty()) return -1;
        FakeDatagram d = fake.inbox.front();
        fake.inbox.pop_front();
        const int n = static_cast<int>(d.bytes.size());
        if (n > 0) std::memcpy(buf, d.bytes.data(), static_cast<size_t>(n < cap ? n : cap));
        *from = d.address;
        return n;
    };
    t.sendTo = [](int, const uint8_t* buf, int len, NetAddress to) {
        if (fake.failSends) return -1;
        fake.sent.push_back(FakeDatagram{std::vector<uint8_t>(buf, buf + len), to});
        return len;
    };
    t.hostName = [](char* buf, int cap) {
        std::snprintf(buf, static_cast<size_t>(cap), "testhost");
        return true;
    };
    t.parseDotted = [](const char* text, uint32_t* ip) {
        unsigned a, b, c, d;
        char tail;
        if (std::sscanf(text, "%u.%u.%u.%u%c", &a, &b, &c, &d, &tail) != 4) return false;
        if (a > 255 || b > 255 || c > 255 || d > 255) return false;
        *ip = (a << 24) | (b << 16) | (c << 8) | d;
        return true;
    };
    t.lookupHost = [](const char* name, uint32_t* ip) {
        if (std::string(name) != "gamehost") return false;
        *ip = 0x0A000005;
        return true;
    };
    t.localPort = [](int) { return static_cast<uint16_t>(40000); };
    t.droppedCount = [](int) { return 0u; };
    t.lastError = [] { return 0; };
    return t;
}

// Fresh world and network on the fake transport, socket open.
inline void useFakeNet() {
    resetGameStateForTest();
    resetNetStateForTest();
    fake = FakeNet{};
    net.transport = fakeTransport();
    net.clockSeconds = [] { return fake.now; };
}

// A world of `fighters` fighters on a small open floor, with start cells.
inline void makeWorld(int fighters, int prey) {
    gs.mazeCols = gs.mazeRows = 10;
    gs.cellSize = 8.0f;
    gs.startBullets = 250;
    gs.startMissiles = 10;
    gs.fighterStartCount = fighters;
    for (int i = 0; i < fighters; ++i) gs.fighterStarts[i] = StartPosition{1 + i % 8, 1, 1};
    gs.preyStartCount = prey;
    for (int i = 0; i < prey; ++i) gs.preyStarts[i] = StartPosition{2 + i % 7, 5, 2};
    createFighters();
    resetGame();
}

inline NetAddress clientAddress(int n) { return NetAddress{0x7F000001, static_cast<uint16_t>(50000 + n)}; }

inline void queueDatagram(const NetMessage& msg, NetAddress from, int length = kNetMessageSize) {
    FakeDatagram d;
    d.bytes.assign(msg.bytes, msg.bytes + (length < kNetMessageSize ? length : kNetMessageSize));
    d.bytes.resize(static_cast<size_t>(length), 0);
    d.address = from;
    fake.inbox.push_back(d);
}

inline NetMessage messageOfKind(uint16_t kind) {
    NetMessage m;
    setMessageKind(m, kind);
    return m;
}

inline NetMessage keyMessage(uint32_t key, bool released, bool special) {
    NetMessage m = messageOfKind(KeyEvent);
    writeKeyRecord(m, KeyRecord{key, static_cast<uint8_t>(released), static_cast<uint8_t>(special)});
    return m;
}

inline NetMessage sentMessage(size_t i) {
    NetMessage m;
    std::memcpy(m.bytes, fake.sent.at(i).bytes.data(), kNetMessageSize);
    return m;
}

// True when startSmallExplosion really starts one (false while the rules'
// stand-ins are linked).
inline bool explosionsAvailable() {
    const size_t before = gs.explosionList.size();
    startSmallExplosion(0, 0, 0);
    const bool works = gs.explosionList.size() > before;
    gs.explosionList.resize(before);
    return works;
}
