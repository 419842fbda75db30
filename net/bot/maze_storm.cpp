// maze_storm.cpp -- maze-storm: sends malformed and hostile datagrams to a
// running server or client, for the end-to-end robustness tests.
//
// Usage: maze-storm <address> <port> [count] [seed] [name=value ...]
//   count=100000   datagrams to send (also the first plain number)
//   seed=1         which storm (also the second plain number)
//   from=A.B.C.D:P forge the sender: every datagram claims to come from
//                  there (a client's server, say), sent through a raw socket
//                  (root only)
//   fighters=9     the receiver's level's fighter count, so that some state
//                  bodies agree with it and are applied
//   shapes=all     all; state: only state bodies (what a client reads); or
//                  names of shapes, comma-separated (wrong-fighters,paused)
// Every shape of net/storm.h is drawn equally often, lengths from 0 to 6108
// bytes; paced so that the receiver sees them rather than its socket buffer
// dropping them.
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <algorithm>
#include <cstring>
#include <string>

#include "net/net.h"
#include "net/storm.h"

namespace {

constexpr const char* kUsage =
    "usage: maze-storm <address> <port> [count, default 100000] [seed, default 1] "
    "[count=N] [seed=N] [from=ADDRESS:PORT] [fighters=9] [shapes=all|state|NAME,...]\n";

bool wholeNumber(const char* text, long* value) {
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || errno != 0) return false;
    *value = v;
    return true;
}

struct StormOptions {
    uint32_t ip = 0;
    long port = 0;
    long count = 100000;
    long seed = 1;
    bool spoof = false;
    NetAddress from;
    long fighters = 9;
    uint32_t shapes = kStormAllShapes;
};

// ADDRESS:PORT, both parts required.
bool parseEndpoint(const std::string& text, NetAddress* out) {
    const size_t colon = text.rfind(':');
    long port = 0;
    uint32_t ip = 0;
    if (colon == std::string::npos || !wholeNumber(text.c_str() + colon + 1, &port) || port <= 0 ||
        port > 65535 || !net.transport.parseDotted(text.substr(0, colon).c_str(), &ip))
        return false;
    *out = NetAddress{ip, static_cast<uint16_t>(port)};
    return true;
}

// all, state, or shape names separated by commas.
bool parseShapes(const std::string& text, uint32_t* shapes) {
    if (text == "all" || text == "state") {
        *shapes = text == "all" ? kStormAllShapes : kStormStateShapes;
        return true;
    }
    *shapes = 0;
    size_t start = 0;
    while (start <= text.size()) {
        const size_t comma = std::min(text.find(',', start), text.size());
        const StormShape shape = stormShapeNamed(text.substr(start, comma - start).c_str());
        if (shape == StormShapeCount) return false;
        *shapes |= 1u << shape;
        start = comma + 1;
    }
    return true;
}

// False (after the usage line or a line naming the bad value) when the
// arguments do not make a storm.
bool parseArguments(int argc, char** argv, StormOptions& o) {
    if (argc < 3 || !wholeNumber(argv[2], &o.port)) {
        std::fprintf(stderr, "%s", kUsage);
        return false;
    }
    int plain = 0;
    for (int i = 3; i < argc; ++i) {
        const char* eq = std::strchr(argv[i], '=');
        long number = 0;
        if (eq == nullptr) {
            // Plain numbers only before the options: the count, then the seed.
            if (plain == 2 || i != 3 + plain || !wholeNumber(argv[i], &number)) {
                std::fprintf(stderr, "%s", kUsage);
                return false;
            }
            (plain++ == 0 ? o.count : o.seed) = number;
            continue;
        }
        const std::string name(argv[i], static_cast<size_t>(eq - argv[i]));
        const std::string value(eq + 1);
        bool good = true;
        if (name == "count") good = wholeNumber(value.c_str(), &o.count);
        else if (name == "seed") good = wholeNumber(value.c_str(), &o.seed);
        else if (name == "fighters") good = wholeNumber(value.c_str(), &o.fighters) && o.fighters >= 0 && o.fighters <= 255;
        else if (name == "from") good = o.spoof = parseEndpoint(value, &o.from);
        else if (name == "shapes") good = parseShapes(value, &o.shapes);
        else {
            std::fprintf(stderr, "%s", kUsage);
            return false;
        }
        if (!good) {
            std::fprintf(stderr, "maze-storm: bad value in \"%s\"\n", argv[i]);
            return false;
        }
    }
    if (o.port <= 0 || o.port > 65535 || o.count < 0 || !net.transport.parseDotted(argv[1], &o.ip)) {
        std::fprintf(stderr, "maze-storm: need a dotted address and a port within 1..65535\n");
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    setNetworkDefaults();
    StormOptions o;
    if (!parseArguments(argc, argv, o)) return 2;
    const char* failed = "socket()";
    const int sock = o.spoof ? net.transport.openRawSocket(&failed) : net.transport.openSocket(false, 0, &failed);
    if (sock < 0) {
        const int error = net.transport.lastError();
        if (o.spoof && (error == EPERM || error == EACCES))
            std::fprintf(stderr, "maze-storm: from= sends through a raw socket, which needs root (CAP_NET_RAW): %s: %s\n",
                         failed, std::strerror(error));
        else
            std::fprintf(stderr, "maze-storm: %s failed: %s\n", failed, std::strerror(error));
        return 1;
    }
    const NetAddress to{o.ip, static_cast<uint16_t>(o.port)};
    StormDatagram d;
    long sent = 0;
    for (long i = 0; i < o.count; ++i) {
        makeStormDatagram(static_cast<uint32_t>(o.seed), static_cast<uint32_t>(i), static_cast<int>(o.fighters),
                          o.shapes, d);
        const int n = o.spoof ? net.transport.sendSpoofed(sock, d.bytes, d.length, o.from, to)
                              : net.transport.sendTo(sock, d.bytes, d.length, to);
        if (n >= 0) ++sent;
        if (i % 50 == 49) usleep(1000);
    }
    net.transport.closeSocket(sock);
    if (o.spoof)
        std::printf("sent=%ld of=%ld from=%u.%u.%u.%u:%u\n", sent, o.count, o.from.ip >> 24, (o.from.ip >> 16) & 255,
                    (o.from.ip >> 8) & 255, o.from.ip & 255, static_cast<unsigned>(o.from.port));
    else
        std::printf("sent=%ld of=%ld\n", sent, o.count);
    return 0;
}
