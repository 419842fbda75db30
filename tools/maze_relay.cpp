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
// or the same as --name VALUE (the table in maze_relay_options.h).
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
#include <cstring>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "net/net.h"
#include "tools/maze_relay_options.h"
#include "world/world.h"

namespace {

constexpr size_t kMaxQueued = 8192;       // datagrams in flight, both ways
constexpr int kMaxDatagram = 65536;
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

void printLink(const char* name, const ImpairLink& l, uint64_t out, uint64_t late) {
    std::printf("%s_in=%llu %s_lost=%llu %s_duplicated=%llu %s_reordered=%llu %s_out=%llu %s_overtaken=%llu ",
                name, static_cast<unsigned long long>(l.in), name, static_cast<unsigned long long>(l.lost), name,
                static_cast<unsigned long long>(l.duplicated), name, static_cast<unsigned long long>(l.reordered),
                name, static_cast<unsigned long long>(out), name, static_cast<unsigned long long>(late));
}

}  // namespace

int main(int argc, char** argv) {
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    const cli::Parsed args = cli::parse(kMazeRelayCommand, argc, argv);
    if (args.outcome != cli::Outcome::Run) return cli::finish(args);
    const int listenPort = static_cast<int>(cli::integer(args, "listen"));
    const int serverPort = static_cast<int>(cli::integer(args, "server"));
    ImpairSettings s;
    s.loss = cli::real(args, "loss");
    s.duplicate = cli::real(args, "dup");
    s.delayMs = static_cast<int>(cli::integer(args, "delay"));
    s.jitterMs = static_cast<int>(cli::integer(args, "jitter"));
    s.reorder = cli::real(args, "reorder");
    const double seconds = cli::real(args, "seconds");
    const int maxClients = static_cast<int>(cli::integer(args, "clients"));
    ImpairLink up{s}, down{s};
    if (cli::given(args, "up_loss")) up.settings.loss = cli::real(args, "up_loss");
    if (cli::given(args, "down_loss")) down.settings.loss = cli::real(args, "down_loss");
    const char* netns = cli::given(args, "netns") ? cli::text(args, "netns").c_str() : nullptr;
    // The jitter spreads the delay both ways and no datagram leaves early.
    if (s.jitterMs > s.delayMs)
        return cli::finish(cli::refuse(kMazeRelayCommand, "jitter " + std::to_string(s.jitterMs) +
                                                              " exceeds the delay " + std::to_string(s.delayMs)));
    randomSeed(static_cast<uint32_t>(cli::integer(args, "seed")));

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
