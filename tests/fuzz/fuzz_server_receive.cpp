// fuzz_server_receive.cpp -- a running server fed any sequence of datagrams
// from a handful of senders: every input is cut into datagrams (a 3-byte
// prefix gives the sender and the length), received, applied and answered.
// The world must stay valid and no client may end the server.
#include <cstdlib>
#include <cstring>
#include <deque>
#include <vector>

#include "net/net.h"
#include "world/world.h"

namespace {

struct Incoming {
    std::vector<uint8_t> bytes;
    NetAddress from;
};
std::deque<Incoming> inbox;
int64_t fakeNow = 1000;

NetTransport fuzzTransport() {
    NetTransport t = posixTransport();
    t.openSocket = [](bool, uint16_t, const char**) { return 3; };
    t.closeSocket = [](int) {};
    t.waitReadable = [](int, int64_t) { return inbox.empty() ? 0 : 1; };
    t.receiveFrom = [](int, uint8_t* buf, int cap, NetAddress* from) {
        if (inbox.empty()) return -1;
        const Incoming d = inbox.front();
        inbox.pop_front();
        const int n = static_cast<int>(d.bytes.size());
        if (n > 0) std::memcpy(buf, d.bytes.data(), static_cast<size_t>(n < cap ? n : cap));
        *from = d.from;
        return n;
    };
    t.sendTo = [](int, const uint8_t*, int len, NetAddress) { return len; };
    return t;
}

void serverWorld() {
    resetGameStateForTest();
    gs.mazeCols = gs.mazeRows = 10;
    gs.cellSize = 8.0f;
    gs.startBullets = 5;
    gs.fighterStartCount = 6;
    for (int i = 0; i < 6; ++i) gs.fighterStarts[i] = StartPosition{1 + i, 1, 1};
    gs.preyStartCount = 2;
    gs.preyStarts[0] = StartPosition{2, 5, 2};
    gs.preyStarts[1] = StartPosition{3, 5, 2};
    createFighters();
    resetGame();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    serverWorld();
    resetNetStateForTest();
    net.transport = fuzzTransport();
    net.clockSeconds = [] { return fakeNow; };
    net.role = RoleServer;
    net.netSocket = 3;
    inbox.clear();
    size_t pos = 0;
    int passes = 0;
    while (pos + 3 <= size && passes < 64) {
        Incoming d;
        d.from = NetAddress{0x7F000001, static_cast<uint16_t>(1000 + data[pos] % 12)};
        // Mostly full-sized datagrams, sometimes any length.
        const size_t want = (data[pos + 1] & 0x80) ? (data[pos + 2] | ((data[pos + 1] & 0x1F) << 8))
                                                   : kNetMessageSize;
        pos += 3;
        const size_t avail = size - pos < want ? size - pos : want;
        d.bytes.assign(data + pos, data + pos + avail);
        d.bytes.resize(want, 0);
        pos += avail;
        inbox.push_back(d);
        if (inbox.size() >= 4 || pos + 3 > size) {
            fakeNow += data[pos - 1] % 8;
            serverNetworkReceive();
            serverNetworkSend();
            ++passes;
        }
    }
    serverNetworkReceive();
    if (gs.quitRequested) std::abort();
    if (fighterCount() != 6) std::abort();
    if (!stateBodyValid(net.snapshotMessage)) std::abort();
    return 0;
}
