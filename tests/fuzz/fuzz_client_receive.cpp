// fuzz_client_receive.cpp -- a joined client fed any sequence of datagrams,
// each from its server or from a stranger (another port on the server's
// address, or another address on the server's port), over several passes:
// every input is cut into datagrams (a 3-byte prefix gives the sender and
// the length), four to a pass. Strangers change nothing: the same input
// without their datagrams leaves the same world, the same answers and the
// same end; each is counted. Explosions stay within their bounds.
#include <algorithm>
#include <cstdlib>
#include <vector>

#include "../net/fake_net.h"

namespace {

constexpr int kMaxPasses = 64;
constexpr int kDatagramsPerPass = 4;

// What the server and the player could notice of a client.
struct Outcome {
    bool alive = true;
    int passes = 0;
    uint64_t applied = 0, stale = 0;
    uint32_t appliedSeq = 0;
    int32_t appliedClockMs = 0;
    uint32_t explosionsStarted = 0;
    int explosions = 0;
    bool paused = false, mismatch = false;
    int you = 0;
    std::vector<float> fighterX;
    std::vector<std::vector<uint8_t>> sent;
    bool operator==(const Outcome&) const = default;
};

NetAddress senderOf(uint8_t b) {
    switch (b % 4) {
    case 2: return NetAddress{serverAddress().ip, static_cast<uint16_t>(40000 + b)};
    case 3: return NetAddress{0x0A000001u + b, kNetPort};
    default: return serverAddress();
    }
}

bool fromServer(NetAddress a) { return a.ip == serverAddress().ip && a.port == serverAddress().port; }

Outcome run(const uint8_t* data, size_t size, bool withStrangers, uint64_t* strangers) {
    if (!fakeJoinedClient()) std::abort();
    Outcome out;
    std::vector<std::vector<uint8_t>> sent;
    size_t pos = 0;
    int inPass = 0;
    while (pos + 3 <= size && out.passes < kMaxPasses && out.alive) {
        // Mostly full-sized datagrams, sometimes any length.
        const size_t want = (data[pos + 1] & 0x80) ? (data[pos + 2] | ((data[pos + 1] & 0x1F) << 8))
                                                   : kNetMessageSize;
        const NetAddress from = senderOf(data[pos]);
        pos += 3;
        const size_t avail = std::min(size - pos, want);
        FakeDatagram d{std::vector<uint8_t>(data + pos, data + pos + avail), from};
        d.bytes.resize(want, 0);
        pos += avail;
        if (!fromServer(from) && want == kNetMessageSize) ++*strangers;
        if (withStrangers || fromServer(from)) fake.inbox.push_back(d);
        // Passes fall where the input says, strangers or not, so both runs
        // pass alike; time moves on by up to 7 s a pass.
        if (++inPass < kDatagramsPerPass && pos + 3 <= size) continue;
        inPass = 0;
        fake.now += data[pos - 1] % 8;
        fake.nowMs += 10;
        advanceUndrawnExplosions();
        out.alive = clientReceivePass();
        ++out.passes;
        for (const FakeDatagram& s : fake.sent) sent.push_back(s.bytes);
        fake.sent.clear();
        if (explosionCount() > kMaxExplosions) std::abort();
    }
    out.applied = net.bodiesApplied;
    out.stale = net.bodiesStale;
    out.appliedSeq = net.appliedSeq;
    out.appliedClockMs = net.appliedClockMs;
    out.explosionsStarted = gs.explosionsStarted;
    out.explosions = explosionCount();
    out.paused = gs.gamePaused;
    out.mismatch = net.levelMismatchReported;
    out.you = process.localFighterIndex;
    for (const Fighter& f : gs.fighterList) out.fighterX.push_back(f.pos.x);
    out.sent = std::move(sent);
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    uint64_t strangers = 0, ignored = 0;
    const Outcome all = run(data, size, true, &strangers);
    const uint64_t foreign = net.datagramsForeign;
    if (foreign != strangers) std::abort();
    if (all.explosionsStarted > static_cast<uint32_t>(all.passes * kMaxEffectsPerPass)) std::abort();
    if (fighterCount() != 9 || all.you < 0 || all.you >= fighterCount()) std::abort();
    const Outcome serverOnly = run(data, size, false, &ignored);
    if (!(all == serverOnly)) std::abort();
    return 0;
}
