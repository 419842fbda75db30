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

#include "base/bytes.h"
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

// The first byte of a key datagram's coding by its fields; the body
// codec's forms are 1 to 3.
constexpr uint8_t kFormKeyFields = 4;

// Little-endian base-128 numbers: 1 byte below 128, at most 5.
struct FieldWriter {
    uint8_t* out;
    int size = 0;
    int capacity;
    void u8(uint32_t v) {
        if (size < capacity) out[size] = static_cast<uint8_t>(v);
        ++size;
    }
    void var(uint32_t v) {
        for (; v >= 0x80; v >>= 7) u8((v & 0x7F) | 0x80);
        u8(v);
    }
    void u16(uint16_t v) {
        u8(v & 0xFF);
        u8(v >> 8);
    }
};

struct FieldReader {
    const uint8_t* in;
    int size;
    int pos = 0;
    bool bad = false;
    uint32_t u8() {
        if (pos >= size) {
            bad = true;
            return 0;
        }
        return in[pos++];
    }
    uint32_t var() {
        uint32_t v = 0;
        for (int shift = 0; shift < 35; shift += 7) {
            const uint32_t b = u8();
            if (shift == 28 && b > 0x0F) bad = true;   // past 32 bits
            v |= (b & 0x7F) << shift;
            if ((b & 0x80) == 0) return v;
        }
        bad = true;
        return 0;
    }
    uint16_t u16() {
        const uint32_t lo = u8();
        return static_cast<uint16_t>(lo | u8() << 8);
    }
};

// The fields of a key message, in the order form 4 carries them.
void keyFields(FieldWriter& w, const NetMessage& msg) {
    w.u16(getLe16(msg.bytes));   // the kind, as it is
    const KeyRecord key = readKeyRecord(msg);
    w.var(key.key);
    w.u8(key.released);
    w.u8(key.special);
    const KeyExtension x = readKeyExtension(msg);
    w.u8(x.present ? 1 : 0);
    if (!x.present) return;
    w.var(x.newestSeq);
    w.u8(x.historyCount);
    // Held keys: a bit per byte of the 32, then the bytes that are not 0.
    uint32_t mask = 0;
    for (int i = 0; i < 32; ++i) mask |= (x.held[i] != 0 ? 1u : 0u) << i;
    w.var(mask);
    for (int i = 0; i < 32; ++i)
        if (x.held[i] != 0) w.u8(x.held[i]);
    for (int i = 0; i < x.historyCount && i < kKeyHistory; ++i) {
        w.var(x.history[i].key);
        w.u8(static_cast<uint32_t>(x.history[i].released) | static_cast<uint32_t>(x.history[i].special) << 1);
    }
    w.var(x.ackedBodySeq);
    w.u16(static_cast<uint16_t>(x.mouseTurn));
}

// The inverse into a zeroed message; false when the bytes are not all
// used or a count is past its bound.
bool readKeyFields(FieldReader& r, NetMessage& msg) {
    std::memset(msg.bytes, 0, kNetMessageSize);
    putLe16(msg.bytes, r.u16());
    KeyRecord key;
    key.key = r.var();
    key.released = static_cast<uint8_t>(r.u8());
    key.special = static_cast<uint8_t>(r.u8());
    writeKeyRecord(msg, key);
    const uint32_t present = r.u8();
    if (present > 1) return false;
    if (present == 1) {
        KeyExtension x;
        x.present = true;
        x.newestSeq = r.var();
        const uint32_t count = r.u8();
        if (count > static_cast<uint32_t>(kKeyHistory)) return false;
        x.historyCount = static_cast<uint8_t>(count);
        const uint32_t mask = r.var();
        for (int i = 0; i < 32; ++i)
            if ((mask >> i & 1) != 0) x.held[i] = static_cast<uint8_t>(r.u8());
        for (uint32_t i = 0; i < count && !r.bad; ++i) {
            x.history[i].key = r.var();
            const uint32_t flags = r.u8();
            x.history[i].released = static_cast<uint8_t>(flags & 1);
            x.history[i].special = static_cast<uint8_t>(flags >> 1);
        }
        x.ackedBodySeq = r.var();
        x.mouseTurn = static_cast<int16_t>(r.u16());
        writeKeyExtension(msg, x);
    }
    return !r.bad && r.pos == r.size;
}

}  // namespace

int writeCompactKey(const CompactHeader& h, const NetMessage& msg, uint8_t* out) {
    writeCompactHeader(h, out);
    out[kCompactHeaderSize] = kFormKeyFields;
    FieldWriter w{out + kCompactHeaderSize + 1, 0, kCompactMaxSize - kCompactHeaderSize - 1};
    keyFields(w, msg);
    if (w.size > w.capacity) return 0;
    const int size = kCompactHeaderSize + 1 + w.size;
    // Only a message its fields give back byte for byte goes this way.
    NetMessage back;
    if (!readCompactKey(out, size, back) || std::memcmp(back.bytes, msg.bytes, kNetMessageSize) != 0) return 0;
    return size;
}

bool readCompactKey(const uint8_t* bytes, int size, NetMessage& msg) {
    if (!isCompactDatagram(bytes, size) || size <= kCompactHeaderSize) return false;
    if (bytes[kCompactHeaderSize] != kFormKeyFields) return readCompactDatagram(bytes, size, nullptr, msg);
    FieldReader r{bytes + kCompactHeaderSize + 1, size - kCompactHeaderSize - 1};
    return readKeyFields(r, msg);
}

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
    int len = writeCompactDatagram(h, base, body, out, c.columns);
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
        !readCompactKey(bytes, size, out)) {
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
        int len = net.compactKeyFields ? writeCompactKey(h, msg, out) : 0;
        if (len == 0) len = writeCompactDatagram(h, nullptr, msg, out);
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
    // A server that codes bodies as form 3 reads key datagrams by their
    // fields; one that codes them as form 2 is of the last version.
    const uint8_t form = bytes[kCompactHeaderSize];
    if (form == 3 || form == 2) net.compactKeyFields = form == 3;
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
