// compact.cpp -- the compact wire between our own peers: state bodies as
// their difference from a body the client holds, key datagrams coded on
// their own, each in one packet of at most kCompactMaxSize bytes.
//
// The base is always one both ends hold byte for byte: the server keeps
// the bodies it sent each client (as sent: yourFighter and the client's
// acknowledgement in them), the client the StateUpdates it took, both by
// body number; the client names its newest in every key datagram, and a
// body coded against one the client does not hold is never guessed at (the
// frame's checksum also refuses a wrong base): the client asks for a full
// body instead.
#include <cstdio>
#include <cstring>

#include "base/log.h"
#include "net/net.h"

namespace {

bool sameAddress(NetAddress a, NetAddress b) { return a.ip == b.ip && a.port == b.port; }

// Serial number order, as the bodies' numbers wrap.
bool seqAfter(uint32_t a, uint32_t b) { return static_cast<int32_t>(a - b) > 0; }

int sendBytes(const uint8_t* bytes, int len, NetAddress to) {
    if (net.netSocket < 0) return -1;
    return net.transport.sendTo(net.netSocket, bytes, len, to);
}

}  // namespace

void keepBody(BodyRing& ring, uint32_t seq, const NetMessage& body) {
    if (seq == 0) return;
    if (ring.bodies.empty()) ring.bodies.resize(kCompactRing);
    ring.seq[seq % kCompactRing] = seq;
    ring.bodies[seq % kCompactRing] = body;
}

const NetMessage* heldBody(const BodyRing& ring, uint32_t seq) {
    if (seq == 0 || ring.bodies.empty() || ring.seq[seq % kCompactRing] != seq) return nullptr;
    return &ring.bodies[seq % kCompactRing];
}

void sendCompactBody(int slot, const NetMessage& body) {
    if (slot < 0 || slot >= kMaxClients) return;
    ClientSlot& c = net.clients[slot];
    const uint32_t seq = bodySeqOf(body);
    const bool update = messageKind(body) == NetMessageKind::StateUpdate;
    const NetMessage* base = heldBody(c.compactSent, c.compactBase);
    CompactHeader h;
    h.kind = CompactKind::Body;
    h.baseSeq = base != nullptr ? c.compactBase : 0;
    h.bodySeq = seq;
    uint8_t out[kCompactMaxSize];
    int len = writeCompactDatagram(h, base, body, out);
    // A base that codes too long (the client fell far behind) is worth a
    // full body, which may still fit.
    if (len == 0 && base != nullptr) {
        h.baseSeq = 0;
        len = writeCompactDatagram(h, nullptr, body, out);
    }
    if (update) keepBody(c.compactSent, seq, body);
    if (len > 0) sendBytes(out, len, c.address);
    else sendBytes(body.bytes, kNetMessageSize, c.address);
}

int takeCompactFromClient(const uint8_t* bytes, int size, NetAddress from, NetMessage& out) {
    CompactHeader h;
    int slot = -1;
    for (int s = 0; s < kMaxClients && slot < 0; ++s)
        if (net.clients[s].inUse && net.clients[s].compact && sameAddress(net.clients[s].address, from)) slot = s;
    // Only a seated client of ours costs a decode, and only a key datagram.
    if (slot < 0 || !readCompactHeader(bytes, size, h) || h.kind != CompactKind::Key ||
        !readCompactDatagram(bytes, size, nullptr, out)) {
        ++net.compactRefused;
        ++net.datagramsDropped;
        return -1;
    }
    ClientSlot& c = net.clients[slot];
    // The newest body the client holds; 0 asks for a full body. An older
    // one overtaken on the way changes nothing.
    if (h.baseSeq == 0 || c.compactBase == 0 || seqAfter(h.baseSeq, c.compactBase)) c.compactBase = h.baseSeq;
    ++net.compactDecoded;
    ++net.datagramsReceived;
    return findClient(from);
}

bool sendCompactKey(const NetMessage& msg) {
    if (net.netSocket < 0) return false;
    if (net.compactGranted) {
        CompactHeader h;
        h.kind = CompactKind::Key;
        h.baseSeq = compactBaseToName();
        uint8_t out[kCompactMaxSize];
        const int len = writeCompactDatagram(h, nullptr, msg, out);
        if (len > 0) {
            net.compactBaseSent = h.baseSeq;
            net.compactWantFull = false;
            return sendBytes(out, len, net.serverAddress) == len;
        }
    }
    return sendBytes(msg.bytes, kNetMessageSize, net.serverAddress) == kNetMessageSize;
}

bool takeCompactFromServer(const uint8_t* bytes, int size, NetMessage& out) {
    CompactHeader h;
    if (!net.compactAsk || !readCompactHeader(bytes, size, h) || h.kind != CompactKind::Body) {
        ++net.compactRefused;
        return false;
    }
    const NetMessage* base = h.baseSeq != 0 ? heldBody(net.compactReceived, h.baseSeq) : nullptr;
    // A base we do not hold (lost, or too old), or bytes that do not decode
    // against ours: the next key datagram asks for a full body.
    if ((h.baseSeq != 0 && base == nullptr) || !readCompactDatagram(bytes, size, base, out) ||
        bodySeqOf(out) != h.bodySeq) {
        net.compactWantFull = true;
        ++net.compactRefused;
        return false;
    }
    // Our server speaks compact only to a client that asked: a join whose
    // answer was lost (a plain body answered it instead) learns the grant
    // here, and its key datagrams go compact from now on.
    net.compactGranted = true;
    ++net.compactDecoded;
    return true;
}

void keepReceivedBody(const NetMessage& body) {
    if (!net.compactGranted || messageKind(body) != NetMessageKind::StateUpdate) return;
    const uint32_t seq = bodySeqOf(body);
    if (seq == 0) return;
    keepBody(net.compactReceived, seq, body);
}

uint32_t compactBaseToName() {
    if (net.compactWantFull || !net.haveSnapshot) return 0;
    return heldBody(net.compactReceived, net.appliedSeq) != nullptr ? net.appliedSeq : 0;
}
