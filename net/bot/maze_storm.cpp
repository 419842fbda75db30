// maze_storm.cpp -- maze-storm: sends malformed and hostile datagrams to a
// running server or client, for the end-to-end robustness test.
//
// Usage: maze-storm <address> <port> [count] [seed]   (plain numbers;
// count defaults to 100000, seed to 1)
// Every kind, every length from 0 to 6100 bytes, counts of 255, key codes up
// to 2^32-1, non-finite floats, and join requests, paced so that the receiver
// sees them rather than its socket buffer dropping them.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "net/net.h"

namespace {

struct StormRandom {
    uint32_t state;
    uint32_t next() {
        state = state * 1664525u + 1013904223u;
        return state;
    }
};

// True when every argument after the address is a plain whole number.
bool numbersAfterAddress(int argc, char** argv) {
    for (int i = 2; i < argc; ++i) {
        char* end = nullptr;
        std::strtol(argv[i], &end, 10);
        if (end == argv[i] || *end != '\0') return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    // Typed as plain numbers: maze-storm 127.0.0.1 9899 2000 7.
    if (argc < 3 || argc > 5 || !numbersAfterAddress(argc, argv)) {
        std::fprintf(stderr, "usage: maze-storm <address> <port> [count, default 100000] [seed, default 1]\n");
        return 2;
    }
    const int port = std::atoi(argv[2]);
    const long count = argc > 3 ? std::atol(argv[3]) : 100000;
    StormRandom rng{argc > 4 ? static_cast<uint32_t>(std::strtoul(argv[4], nullptr, 10)) : 1u};
    setNetworkDefaults();
    uint32_t ip = 0;
    if (port <= 0 || port > 65535 || count < 0 || !net.transport.parseDotted(argv[1], &ip)) {
        std::fprintf(stderr, "maze-storm: need a dotted address and a port within 1..65535\n");
        return 2;
    }
    const char* failed = "socket()";
    const int sock = net.transport.openSocket(false, 0, &failed);
    if (sock < 0) {
        std::fprintf(stderr, "maze-storm: %s failed\n", failed);
        return 1;
    }
    const NetAddress to{ip, static_cast<uint16_t>(port)};
    const uint16_t kinds[] = {JoinRequest, KeepAliveAnswer, KeyEvent,   JoinAccepted, JoinRefused,
                              KeepAliveProbe, StateUpdate, 0,          0xFFFF};
    std::vector<uint8_t> buf(kNetMessageSize + 100);
    long sent = 0;
    for (long i = 0; i < count; ++i) {
        for (uint8_t& b : buf) b = static_cast<uint8_t>(rng.next() >> 24);
        NetMessage m;
        std::memcpy(m.bytes, buf.data(), kNetMessageSize);
        setMessageKind(m, kinds[rng.next() % 9]);
        const uint32_t shape = rng.next() % 8;
        if (shape == 0) {
            for (int k = 9; k <= 14; ++k) m.bytes[k] = 255;
        } else if (shape == 1) {
            for (int k = 9; k <= 14; ++k) m.bytes[k] = static_cast<uint8_t>(rng.next() % 10);
        } else if (shape == 2) {
            setMessageKind(m, KeyEvent);
            writeKeyRecord(m, KeyRecord{rng.next(), static_cast<uint8_t>(rng.next() % 3),
                                        static_cast<uint8_t>(rng.next() % 3)});
        } else if (shape == 3) {
            // Quit keys and toggles: no client may end the server.
            const uint32_t keys[] = {'q', 'Q', 'L', 'T'};
            setMessageKind(m, KeyEvent);
            writeKeyRecord(m, KeyRecord{keys[rng.next() % 4], static_cast<uint8_t>(rng.next() % 2), 0});
        }
        std::memcpy(buf.data(), m.bytes, kNetMessageSize);
        int length = kNetMessageSize;
        if (shape == 4) length = static_cast<int>(rng.next() % (kNetMessageSize + 100));
        if (net.transport.sendTo(sock, buf.data(), length, to) >= 0) ++sent;
        if (i % 50 == 49) usleep(1000);
    }
    net.transport.closeSocket(sock);
    std::printf("sent=%ld of=%ld\n", sent, count);
    return 0;
}
