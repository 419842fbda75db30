// maze_relay.cpp -- maze-relay (the program tools/maze_relay.cpp builds): a UDP relay on this machine's loopback that
// stands between game clients and a server and loses, duplicates, delays
// (with jitter) and reorders datagrams in each direction, from a seed. For
// tests and measurements only: it listens on 127.0.0.1, serves at most
// `clients` clients, and ends by itself after `seconds`, printing one line
// of key=value counts for each direction (up: clients to server).
//
// Usage: maze-relay [listen=9898] [server=9899] [loss=0] [dup=0] [delay=0]
//                   [jitter=0] [reorder=0] [seed=1] [seconds=60] [clients=9]
//                   [up_loss=..] [down_loss=..] [netns=/proc/PID/ns/net]
// With netns, the listening socket is opened in that network namespace (the
// clients' own), the sockets towards the server in the relay's: a real
// client that always talks to port 9899 can then reach a server on 9899.
#include <fcntl.h>
#include <sched.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "net/net.h"
#include "world/world.h"

namespace {

constexpr int kMaxRelayClients = 16;
constexpr size_t kMaxQueued = 8192;       // datagrams in flight, both ways
constexpr int kMaxDatagram = 65536;
constexpr double kMaxSeconds = 7200.0;
constexpr uint32_t kLoopback = 0x7F000001;

struct InFlight {
    int64_t dueMs;
    uint64_t order;        // arrival order within its direction
    bool up;               // towards the server
    int client;            // index into the client table
    std::vector<uint8_t> bytes;
};

struct RelayClient {
    NetAddress address;    // the client, as the listening socket sees it
    int upstream = -1;     // its own socket towards the server
};

int64_t steadyMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

const char* argValue(int argc, char** argv, const char* name, const char* fallback) {
    const size_t n = std::strlen(name);
    for (int i = 1; i < argc; ++i)
        if (std::strncmp(argv[i], name, n) == 0 && argv[i][n] == '=') return argv[i] + n + 1;
    return fallback;
}

bool argumentsKnown(int argc, char** argv) {
    static const char* const kNames[] = {"listen", "server", "loss", "dup", "delay", "jitter", "reorder",
                                         "seed", "seconds", "clients", "up_loss", "down_loss", "netns"};
    for (int i = 1; i < argc; ++i) {
        const char* eq = std::strchr(argv[i], '=');
        bool known = false;
        for (const char* name : kNames)
            known = known || (eq != nullptr && std::strlen(name) == static_cast<size_t>(eq - argv[i]) &&
                              std::strncmp(argv[i], name, std::strlen(name)) == 0);
        if (!known) return false;
    }
    return true;
}

bool rate(double v) { return v >= 0.0 && v <= 1.0; }

void printLink(const char* name, const ImpairLink& l, uint64_t out, uint64_t late) {
    std::printf("%s_in=%llu %s_lost=%llu %s_duplicated=%llu %s_reordered=%llu %s_out=%llu %s_overtaken=%llu ",
                name, static_cast<unsigned long long>(l.in), name, static_cast<unsigned long long>(l.lost), name,
                static_cast<unsigned long long>(l.duplicated), name, static_cast<unsigned long long>(l.reordered),
                name, static_cast<unsigned long long>(out), name, static_cast<unsigned long long>(late));
}

}  // namespace

int main(int argc, char** argv) {
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    const int listenPort = std::atoi(argValue(argc, argv, "listen", "9898"));
    const int serverPort = std::atoi(argValue(argc, argv, "server", "9899"));
    ImpairSettings s;
    s.loss = std::atof(argValue(argc, argv, "loss", "0"));
    s.duplicate = std::atof(argValue(argc, argv, "dup", "0"));
    s.delayMs = std::atoi(argValue(argc, argv, "delay", "0"));
    s.jitterMs = std::atoi(argValue(argc, argv, "jitter", "0"));
    s.reorder = std::atof(argValue(argc, argv, "reorder", "0"));
    const double seconds = std::atof(argValue(argc, argv, "seconds", "60"));
    const int maxClients = std::atoi(argValue(argc, argv, "clients", "9"));
    ImpairLink up{s}, down{s};
    up.settings.loss = std::atof(argValue(argc, argv, "up_loss", argValue(argc, argv, "loss", "0")));
    down.settings.loss = std::atof(argValue(argc, argv, "down_loss", argValue(argc, argv, "loss", "0")));
    const char* netns = argValue(argc, argv, "netns", nullptr);
    if (!argumentsKnown(argc, argv) || listenPort <= 0 || listenPort > 65535 || serverPort <= 0 ||
        serverPort > 65535 || !rate(up.settings.loss) || !rate(down.settings.loss) || !rate(s.duplicate) ||
        !rate(s.reorder) || s.delayMs < 0 || s.delayMs > 10000 || s.jitterMs < 0 || s.jitterMs > s.delayMs ||
        !(seconds > 0.0 && seconds <= kMaxSeconds) || maxClients < 1 || maxClients > kMaxRelayClients) {
        std::fprintf(stderr,
                     "usage: maze-relay [listen=9898] [server=9899] [loss=0..1] [dup=0..1] [delay=ms] "
                     "[jitter=ms, at most delay] [reorder=0..1] [seed=1] [seconds=60, at most 7200] "
                     "[clients=9, at most 16] [up_loss=..] [down_loss=..] [netns=/proc/PID/ns/net]\n");
        return 2;
    }
    randomSeed(static_cast<uint32_t>(std::strtoul(argValue(argc, argv, "seed", "1"), nullptr, 10)));

    const NetTransport t = posixTransport();
    // Sockets towards the server first, in the relay's own namespace.
    std::vector<RelayClient> clients(static_cast<size_t>(maxClients));
    for (RelayClient& c : clients) {
        c.upstream = t.openLoopbackSocket(0);
        if (c.upstream < 0) {
            std::fprintf(stderr, "maze-relay: cannot open a socket on 127.0.0.1\n");
            return 1;
        }
    }
    int used = 0;
    if (netns != nullptr) {
        const int fd = open(netns, O_RDONLY);
        if (fd < 0 || setns(fd, CLONE_NEWNET) != 0) {
            std::fprintf(stderr, "maze-relay: cannot enter the network namespace %s: %s\n", netns,
                         std::strerror(errno));
            return 1;
        }
        close(fd);
    }
    const int listener = t.openLoopbackSocket(static_cast<uint16_t>(listenPort));
    if (listener < 0) {
        std::fprintf(stderr, "maze-relay: cannot listen on 127.0.0.1:%d: %s\n", listenPort,
                     std::strerror(t.lastError()));
        return 1;
    }
    std::fprintf(stderr, "maze-relay: 127.0.0.1:%d to 127.0.0.1:%d for %g s\n", listenPort, serverPort,
                 seconds);

    const NetAddress server{kLoopback, static_cast<uint16_t>(serverPort)};
    std::vector<InFlight> queue;
    std::vector<uint8_t> buf(kMaxDatagram);
    uint64_t arrivals[2] = {}, sentOut[2] = {}, overtaken[2] = {}, newestSent[2] = {}, overflow = 0;
    bool anySent[2] = {};
    const int64_t startMs = steadyMs();
    const int64_t endMs = startMs + static_cast<int64_t>(seconds * 1000.0);
    const auto enqueue = [&](bool towardsServer, int client, int len, int64_t nowMs) {
        ImpairLink& link = towardsServer ? up : down;
        int64_t due[2];
        const int copies = impairDatagram(link, nowMs, due);
        const uint64_t order = arrivals[towardsServer]++;
        for (int c = 0; c < copies; ++c) {
            if (queue.size() >= kMaxQueued) {
                ++overflow;
                continue;
            }
            queue.push_back(InFlight{due[c], order, towardsServer, client,
                                     std::vector<uint8_t>(buf.begin(), buf.begin() + len)});
        }
    };

    for (int64_t nowMs = startMs; nowMs < endMs; nowMs = steadyMs()) {
        bool busy = false;
        NetAddress from;
        for (int n = 0; n < 256 && t.waitReadable(listener, 0) == 1; ++n) {
            const int len = std::min(t.receiveFrom(listener, buf.data(), kMaxDatagram, &from), kMaxDatagram);
            if (len < 0) break;
            busy = true;
            int client = -1;
            for (int c = 0; c < used; ++c)
                if (clients[c].address.ip == from.ip && clients[c].address.port == from.port) client = c;
            if (client < 0 && used < maxClients) {
                client = used++;
                clients[client].address = from;
            }
            if (client >= 0) enqueue(true, client, len, nowMs);
        }
        for (int c = 0; c < used; ++c) {
            for (int n = 0; n < 256 && t.waitReadable(clients[c].upstream, 0) == 1; ++n) {
                const int len = std::min(t.receiveFrom(clients[c].upstream, buf.data(), kMaxDatagram, &from),
                                         kMaxDatagram);
                if (len < 0) break;
                busy = true;
                enqueue(false, c, len, nowMs);
            }
        }
        // Everything due goes out, in the order of its due time.
        std::stable_sort(queue.begin(), queue.end(),
                         [](const InFlight& a, const InFlight& b) { return a.dueMs < b.dueMs; });
        size_t done = 0;
        for (; done < queue.size() && queue[done].dueMs <= nowMs; ++done) {
            const InFlight& d = queue[done];
            const RelayClient& c = clients[static_cast<size_t>(d.client)];
            const int len = static_cast<int>(d.bytes.size());
            if (d.up) t.sendTo(c.upstream, d.bytes.data(), len, server);
            else t.sendTo(listener, d.bytes.data(), len, c.address);
            ++sentOut[d.up];
            if (anySent[d.up] && d.order < newestSent[d.up]) ++overtaken[d.up];
            newestSent[d.up] = std::max(newestSent[d.up], d.order);
            anySent[d.up] = true;
        }
        queue.erase(queue.begin(), queue.begin() + static_cast<std::ptrdiff_t>(done));
        if (!busy) usleep(500);
    }
    printLink("up", up, sentOut[1], overtaken[1]);
    printLink("down", down, sentOut[0], overtaken[0]);
    std::printf("clients=%d overflow=%llu\n", used, static_cast<unsigned long long>(overflow));
    return 0;
}
