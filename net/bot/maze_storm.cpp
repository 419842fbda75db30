// maze_storm.cpp -- maze-storm: sends malformed and hostile datagrams to a
// running server or client, for the end-to-end robustness tests.
//
// Usage: maze-storm ADDRESS PORT [COUNT] [SEED] [name=value | --name VALUE ...]
// (see --help): count, seed, fighters (the receiver's level, so that some
// state bodies agree with it and are applied), shapes (all, state, shape
// names, or compact: hostile datagrams of our compact wire) and from=ADDRESS:PORT, which forges the sender (a client's server,
// say) through a raw socket, root only.
// Every shape of net/storm.h is drawn equally often, lengths from 0 to 6108
// bytes; paced so that the receiver sees them rather than its socket buffer
// dropping them.
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "cli/cli.h"
#include "net/net.h"
#include "net/storm.h"

namespace {

inline constexpr unsigned kStormForms = cli::kPositional | cli::kWord | cli::kLong;

inline constexpr cli::Option kMazeStormOptions[] = {
    {.name = "address", .kind = cli::Kind::Text, .valueName = "ADDRESS", .forms = cli::kPositional,
     .required = true, .help = "the receiver's dotted address"},
    {.name = "port", .kind = cli::Kind::Integer, .valueName = "PORT", .min = 1, .max = 65535,
     .forms = cli::kPositional, .required = true, .help = "the receiver's port (9899 for a server)"},
    {.name = "count", .kind = cli::Kind::Integer, .valueName = "N", .defaultValue = "100000", .min = 0,
     .max = 2147483647.0, .forms = kStormForms, .help = "datagrams to send"},
    {.name = "seed", .kind = cli::Kind::Integer, .valueName = "N", .defaultValue = "1", .min = 0,
     .max = 4294967295.0, .forms = kStormForms, .help = "which storm: datagram i of a seed is always the same"},
    {.name = "fighters", .kind = cli::Kind::Integer, .valueName = "N", .defaultValue = "9", .min = 0, .max = 255,
     .forms = cli::kWord | cli::kLong, .help = "the receiver's level's fighters, so that some bodies agree with it"},
    {.name = "shapes", .kind = cli::Kind::Text, .valueName = "SET", .defaultValue = "all",
     .forms = cli::kWord | cli::kLong, .help = "all; state (the bodies a client reads); or names, comma-separated: random-bytes, "
             "random-counts, counts-overrun, wrong-fighters, far-ahead, effect-flood, paused, non-finite, "
             "hostile-entries, bad-trailer, huge-key, quit-toggle-key, bad-key-extension, join-request, join-reply; "
             "or compact (our compact wire's datagrams: bad bases, cut and changed frames, claimed sizes)"},
    {.name = "from", .kind = cli::Kind::Text, .valueName = "ADDRESS:PORT", .defaultShown = "this machine",
     .forms = cli::kWord | cli::kLong, .help = "forge the sender, through a raw socket (root only)"},
};

inline constexpr cli::Command kMazeStormCommand{
    "maze-storm", "Sends hostile datagrams of every shape and length to a maze server or client.",
    kMazeStormOptions};

bool wholeNumber(const char* text, long* value) {
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || errno != 0) return false;
    *value = v;
    return true;
}

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
    // Our compact wire's datagrams stand alone (makeStormCompact).
    if (text == "compact") {
        *shapes = 0;
        return true;
    }
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

}  // namespace

int main(int argc, char** argv) {
    setNetworkDefaults();
    const cli::Parsed args = cli::parse(kMazeStormCommand, argc, argv);
    if (args.outcome != cli::Outcome::Run) return cli::finish(args);
    uint32_t ip = 0;
    if (!net.transport.parseDotted(cli::text(args, "address").c_str(), &ip))
        return cli::finish(cli::refuse(kMazeStormCommand, "ADDRESS '" + cli::text(args, "address") + "' is not a dotted address"));
    uint32_t shapes = kStormAllShapes;
    if (!parseShapes(cli::text(args, "shapes"), &shapes))
        return cli::finish(cli::refuse(kMazeStormCommand, "shapes '" + cli::text(args, "shapes") + "' names no set of shapes"));
    const bool spoof = cli::given(args, "from");
    NetAddress from;
    if (spoof && !parseEndpoint(cli::text(args, "from"), &from))
        return cli::finish(cli::refuse(kMazeStormCommand, "from '" + cli::text(args, "from") + "' is not ADDRESS:PORT"));
    const long count = static_cast<long>(cli::integer(args, "count"));
    const uint32_t seed = static_cast<uint32_t>(cli::integer(args, "seed"));
    const int fighters = static_cast<int>(cli::integer(args, "fighters"));
    const char* failed = "socket()";
    const int sock = spoof ? net.transport.openRawSocket(&failed) : net.transport.openSocket(false, 0, &failed);
    if (sock < 0) {
        const int error = net.transport.lastError();
        if (spoof && (error == EPERM || error == EACCES))
            std::fprintf(stderr, "maze-storm: from= sends through a raw socket, which needs root (CAP_NET_RAW): %s: %s\n",
                         failed, std::strerror(error));
        else
            std::fprintf(stderr, "maze-storm: %s failed: %s\n", failed, std::strerror(error));
        return 1;
    }
    const NetAddress to{ip, static_cast<uint16_t>(cli::integer(args, "port"))};
    StormDatagram d;
    long sent = 0;
    for (long i = 0; i < count; ++i) {
        if (shapes == 0) makeStormCompact(seed, static_cast<uint32_t>(i), d);
        else makeStormDatagram(seed, static_cast<uint32_t>(i), fighters, shapes, d);
        const int n = spoof ? net.transport.sendSpoofed(sock, d.bytes, d.length, from, to)
                              : net.transport.sendTo(sock, d.bytes, d.length, to);
        if (n >= 0) ++sent;
        if (i % 50 == 49) usleep(1000);
    }
    net.transport.closeSocket(sock);
    if (spoof)
        std::printf("sent=%ld of=%ld from=%u.%u.%u.%u:%u\n", sent, count, from.ip >> 24, (from.ip >> 16) & 255,
                    (from.ip >> 8) & 255, from.ip & 255, static_cast<unsigned>(from.port));
    else
        std::printf("sent=%ld of=%ld\n", sent, count);
    return 0;
}
