// fuzz_compact.cpp -- the compact wire's decoder, fed anything: on its own
// (every input decoded with and without a base, from an exactly sized copy
// so a read past it is caught), then as compact datagrams to a joined
// compact client and to a server with a seated compact client, from their
// peer or from strangers. Strangers change nothing: the same input without
// their datagrams leaves the same world and the same answers.
//
// The input is also XORed into a base and a body that must code and decode
// back exactly, and decoded as form 3's rearranged bytes.
//
// Each input is cut into datagrams: a 3-byte prefix (sender and form; base
// number; length), then that many bytes; with the form's bit set they are
// XORed into a real coded body, so the fuzzer starts from frames that decode.
#include <zstd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "../net/fake_net.h"

namespace {

constexpr int kMaxDatagrams = 48;

struct Real {
    NetMessage base, next;                  // bodies 1 and 2 of a small game
    std::vector<uint8_t> delta;             // body 2 coded against 1
};

const Real& real() {
    static const Real r = [] {
        Real made;
        useFakeNet();
        makeWorld(9, 2);
        made.base = stateFor(9, 2, 1);
        made.next = stateFor(9, 2, 1, NetMessageKind::StateUpdate, [] { gs.fighterList[1].pos.x += 1.0f; });
        made.delta.resize(kMaxCodedBodySize);
        made.delta.resize(static_cast<size_t>(encodeBody(&made.base, made.next, made.delta.data(), kMaxCodedBodySize)));
        return made;
    }();
    return r;
}

struct Piece {
    NetAddress from;
    bool fromPeer = false;
    std::vector<uint8_t> bytes;
};

std::vector<Piece> cut(const uint8_t* data, size_t size, NetAddress peer, CompactKind kind) {
    std::vector<Piece> out;
    size_t pos = 0;
    while (pos + 3 <= size && out.size() < kMaxDatagrams) {
        const uint8_t how = data[pos], base = data[pos + 1], len = data[pos + 2];
        pos += 3;
        const size_t avail = std::min<size_t>(size - pos, len);
        Piece p;
        p.fromPeer = how % 4 < 2;
        p.from = p.fromPeer ? peer : NetAddress{peer.ip + 1 + how % 4, peer.port};
        const uint32_t baseSeq = base % 4 == 3 ? 0xFFFFFF00u + base : base % 4;
        const CompactHeader h{kind, baseSeq, 2};
        uint8_t header[kCompactHeaderSize];
        writeCompactHeader(h, header);
        p.bytes.assign(header, header + kCompactHeaderSize);
        if (how & 4) {
            p.bytes.insert(p.bytes.end(), real().delta.begin(), real().delta.end());
            for (size_t i = 0; i < avail; ++i) p.bytes[kCompactHeaderSize + i % real().delta.size()] ^= data[pos + i];
        } else {
            p.bytes.insert(p.bytes.end(), data + pos, data + pos + avail);
        }
        pos += avail;
        out.push_back(std::move(p));
    }
    return out;
}

// A joined compact client that holds body 1, fed the pieces four a pass.
std::vector<std::vector<uint8_t>> clientRun(const std::vector<Piece>& pieces, bool strangers, std::vector<float>& world) {
    useFakeNet();
    makeWorld(9, 2);
    process.localFighterIndex = 1;
    queueDatagram(joinWithFlags(NetMessageKind::JoinAccepted, kJoinFlagCompact), serverAddress());
    if (!connectToServer("127.0.0.1") || !net.compactGranted) std::abort();
    queueDatagram(real().base, serverAddress());
    std::vector<std::vector<uint8_t>> sent;
    int inPass = 0;
    for (const Piece& p : pieces) {
        if (strangers || p.fromPeer) fake.inbox.push_back(FakeDatagram{p.bytes, p.from});
        if (++inPass < 4) continue;
        inPass = 0;
        fake.nowMs += 10;
        if (!clientReceivePass()) break;
        for (const FakeDatagram& s : fake.sent) sent.push_back(s.bytes);
        fake.sent.clear();
    }
    for (const Fighter& f : gs.fighterList) world.push_back(f.pos.x);
    world.push_back(static_cast<float>(net.appliedSeq));
    return sent;
}

// A server with a compact client seated in slot 0, fed the pieces as key datagrams.
std::vector<std::vector<uint8_t>> serverRun(const std::vector<Piece>& pieces, bool strangers, std::vector<float>& world) {
    fakeServer();
    queueDatagram(joinWithFlags(NetMessageKind::JoinRequest, kJoinFlagCompact), clientAddress(1));
    serverNetworkReceive();
    if (!net.clients[0].compact) std::abort();
    std::vector<std::vector<uint8_t>> sent;
    for (const Piece& p : pieces) {
        if (strangers || p.fromPeer) fake.inbox.push_back(FakeDatagram{p.bytes, p.from});
        fake.nowMs += 10;
        if (serverNetworkReceive() != GameEnd::Playing) break;
        serverNetworkSend();
        for (const FakeDatagram& s : fake.sent) sent.push_back(s.bytes);
        fake.sent.clear();
    }
    for (const Fighter& f : gs.fighterList) world.push_back(static_cast<float>(f.keyDown[static_cast<unsigned char>(' ')]));
    world.push_back(static_cast<float>(net.clients[0].compactBase));
    return sent;
}

// Any body against any base: the input XORed into a real base and body
// (counts included) codes and decodes back exactly; and the input itself
// as form 3's rearranged bytes (zstd'd here) decodes or is refused, against
// that base, without a read or write out of bounds.
void anyBodyAnyBase(const uint8_t* data, size_t size) {
    NetMessage base = real().base, body = real().next, out;
    for (size_t i = 0; i < size; ++i) (i % 2 == 0 ? base : body).bytes[(i / 2) % kNetMessageSize] ^= data[i];
    std::vector<uint8_t> coded(kMaxCodedBodySize);
    const int n = encodeBody(&base, body, coded.data(), kMaxCodedBodySize);
    coded.resize(static_cast<size_t>(std::max(n, 0)));
    if (n <= 0 || !decodeBody(&base, coded.data(), n, out) || std::memcmp(out.bytes, body.bytes, kNetMessageSize) != 0)
        std::abort();
    // Mostly of the size its counts give, so the checks after it are reached.
    std::vector<uint8_t> t(data, data + size);
    const size_t counted = kNetMessageSize + 12 + (size > 11 ? data[10] + data[11] : 0);
    t.resize(size % 7 == 0 ? std::max(size, kStateHeaderSize + size_t{1}) : counted);
    std::vector<uint8_t> form3(5 + ZSTD_compressBound(t.size()));
    form3[0] = 3;
    const size_t z = ZSTD_compress(form3.data() + 5, form3.size() - 5, t.data(), t.size(), 1);
    if (ZSTD_isError(z)) return;
    form3.resize(5 + z);
    decodeBody(&base, form3.data(), static_cast<int>(form3.size()), out);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // On its own, from a copy of exactly its size.
    const std::vector<uint8_t> copy(data, data + size);
    NetMessage out;
    const int n = static_cast<int>(std::min<size_t>(size, kCompactMaxSize * 8));
    decodeBody(nullptr, copy.data(), n, out);
    decodeBody(&real().base, copy.data(), n, out);
    anyBodyAnyBase(data, std::min<size_t>(size, 3 * kNetMessageSize));

    const NetAddress server = serverAddress();
    std::vector<float> a, b;
    if (clientRun(cut(data, size, server, CompactKind::Body), true, a) !=
            clientRun(cut(data, size, server, CompactKind::Body), false, b) ||
        a != b)
        std::abort();
    a.clear();
    b.clear();
    if (serverRun(cut(data, size, clientAddress(1), CompactKind::Key), true, a) !=
            serverRun(cut(data, size, clientAddress(1), CompactKind::Key), false, b) ||
        a != b)
        std::abort();
    return 0;
}
