// storm.cpp -- the hostile-datagram maker and the forged sender's packets.
//
// Every choice (shape, kind, length, values) comes from the world's
// generator run on the datagram's own state, whose results are the state's
// bits 16..30: the choices do not repeat with a short period as the low bits
// of a power-of-two generator would.
#include "net/storm.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>
#include <vector>

#include "base/bytes.h"
#include "world/world.h"

namespace {

// ---------------------------------------------------------------------------
// Draws
// ---------------------------------------------------------------------------

uint32_t draw15(uint32_t& s) { return static_cast<uint32_t>(randomNextFrom(s)); }

uint32_t draw32(uint32_t& s) {
    const uint32_t a = draw15(s);
    const uint32_t b = draw15(s);
    const uint32_t c = draw15(s);
    return (a << 17) ^ (b << 2) ^ c;
}

// 0..n-1 from 30 bits: even for the small n that pick shapes and lengths;
// for the large ones (far-ahead numbers, key codes) only the spread matters.
uint32_t below(uint32_t& s, uint32_t n) {
    const uint32_t hi = draw15(s);
    const uint32_t lo = draw15(s);
    return ((hi << 15) | lo) % n;
}

uint8_t drawByte(uint32_t& s) { return static_cast<uint8_t>(draw15(s) >> 7); }

float drawIn(uint32_t& s, float lo, float hi) {
    return lo + (hi - lo) * static_cast<float>(draw15(s)) / 32767.0f;
}

template <typename T, size_t N>
T pick(uint32_t& s, const T (&values)[N]) {
    return values[below(s, static_cast<uint32_t>(N))];
}

// Finite values that no real server sends: far outside any maze, huge,
// denormal, negative zero, past float's whole numbers.
float hostileFloat(uint32_t& s) {
    static const float kValues[] = {1e30f, -1e30f, 3.4e38f, -3.4e38f, 1e-40f, -0.0f,
                                    1e9f,  -1e9f,  16777217.0f, -1.0f, 0.0f, 1e-7f};
    return pick(s, kValues);
}

float nonFinite(uint32_t& s) {
    static const uint32_t kBits[] = {0x7FC00000u, 0x7F800000u, 0xFF800000u, 0x7F800001u, 0xFFFFFFFFu};
    return std::bit_cast<float>(pick(s, kBits));
}

// ---------------------------------------------------------------------------
// Malformations: bytes no real peer sends. Every well-formed field goes
// through the codec; these two spoil what the codec always writes as zero.
// ---------------------------------------------------------------------------

// The kind alone, over random bytes: the header's pad and senderWord stay
// as they were drawn.
void putKindOverRandomBytes(NetMessage& m, uint16_t kind) { putLe16(m.bytes, kind); }

// The two bytes after a key record's fields, which a real client sends as
// zero.
void spoilKeyRecordPad(NetMessage& m, uint8_t a, uint8_t b) {
    constexpr int kPadAt = 14;
    m.bytes[kPadAt] = a;
    m.bytes[kPadAt + 1] = b;
}

// ---------------------------------------------------------------------------
// State bodies
// ---------------------------------------------------------------------------

struct BodyPlan {
    NetMessageKind kind = NetMessageKind::StateUpdate;
    uint8_t you = 1;
    int fighters = 0, prey = 0, bullets = 0, pointsA = 0, pointsB = 0, effects = 0;
    uint8_t flags = 0;
    int32_t clockMs = 0;
    bool hostileValues = false;  // entries far off, negative health, odd poses ...
    bool trailer = true;
    uint32_t seq = 1;
    uint32_t firstId = 1;
    int repeats = 0;             // 0..kMaxEffectRepeats, written before the trailer
    bool freshRepeatIds = false; // random ids rather than ones just before firstId
};

int entriesEnd(const BodyPlan& p) {
    StateHeader h;
    h.fighters = static_cast<uint8_t>(p.fighters), h.prey = static_cast<uint8_t>(p.prey);
    h.bullets = static_cast<uint8_t>(p.bullets), h.effects = static_cast<uint8_t>(p.effects);
    h.pointsA = static_cast<uint8_t>(p.pointsA), h.pointsB = static_cast<uint8_t>(p.pointsB);
    return static_cast<int>(stateEntriesEnd(h));
}

int tailRoom(const BodyPlan& p) {
    return p.trailer ? kStateTailSize + p.repeats * kEffectRepeatSize : 0;
}

// Trims the lists (bullets, points, prey, effects, then the repeats and the
// fighters, in that order) until the entries and the trailer fit.
void fitToRoom(BodyPlan& p) {
    for (int* count : {&p.bullets, &p.pointsA, &p.pointsB, &p.prey, &p.effects, &p.repeats, &p.fighters}) {
        while (*count > 0 && entriesEnd(p) + tailRoom(p) > kNetMessageSize) --*count;
    }
}

// The most fighters a body holds beside a full trailer.
constexpr int kMaxPlanFighters =
    (kNetMessageSize - kStateHeaderSize - kStateTailSize - kMaxEffectRepeats * kEffectRepeatSize) / kFighterEntrySize;

// A sequence number near a freshly started server's: neither far ahead nor 0.
uint32_t nearSeq(uint32_t& s) { return 1 + below(s, 2000); }

// The body a plan describes, every value drawn in the order its field
// travels (so that datagram i of a seed stays the same bytes).
StateSnapshot drawBody(uint32_t& s, const BodyPlan& p) {
    StateSnapshot b;
    b.kind = p.kind;
    b.yourFighter = p.you;
    b.serverFlags = p.flags;
    b.serverClockMs = p.clockMs;
    const auto coord = [&] { return p.hostileValues && below(s, 2) ? hostileFloat(s) : drawIn(s, 2.0f, 222.0f); };
    b.fighters.resize(static_cast<size_t>(p.fighters));
    for (FighterEntry& e : b.fighters) {
        e.x = coord();
        e.y = coord();
        e.heading = p.hostileValues ? hostileFloat(s) : drawIn(s, 0.0f, 359.0f);
        e.active = p.hostileValues ? drawByte(s) : static_cast<uint8_t>(below(s, 2));
        static const int32_t kScores[] = {std::numeric_limits<int32_t>::min(), -1,
                                          std::numeric_limits<int32_t>::max(), 1000000};
        e.score = p.hostileValues ? pick(s, kScores) : static_cast<int32_t>(below(s, 50));
        e.health = p.hostileValues ? hostileFloat(s) : drawIn(s, 0.0f, kStartHealth);
        e.bullets = p.hostileValues ? pick(s, kScores) : static_cast<int32_t>(below(s, 251));
    }
    b.prey.resize(static_cast<size_t>(p.prey));
    for (PreyEntry& e : b.prey) {
        e.x = coord();
        e.y = coord();
        e.heading = p.hostileValues ? hostileFloat(s) : drawIn(s, 0.0f, 359.0f);
        e.bodyTurn = p.hostileValues ? hostileFloat(s) : drawIn(s, -30.0f, 30.0f);
        e.pose = p.hostileValues ? drawByte(s) : static_cast<uint8_t>(below(s, 4));
    }
    b.bullets.resize(static_cast<size_t>(p.bullets));
    for (BulletEntry& e : b.bullets) {
        e.x = coord();
        e.y = coord();
        e.z = p.hostileValues ? hostileFloat(s) : drawIn(s, 0.5f, 4.0f);
        e.heading = p.hostileValues ? hostileFloat(s) : drawIn(s, 0.0f, 359.0f);
        e.pitch = p.hostileValues ? hostileFloat(s) : drawIn(s, -10.0f, 10.0f);
        e.shooterKind = p.hostileValues ? draw32(s) : below(s, 3);
    }
    b.pointsA.resize(static_cast<size_t>(p.pointsA));
    b.pointsB.resize(static_cast<size_t>(p.pointsB));
    for (std::vector<PointEntry>* list : {&b.pointsA, &b.pointsB}) {
        for (PointEntry& e : *list) {
            e.x = coord();
            e.y = coord();
        }
    }
    b.effects.resize(static_cast<size_t>(p.effects));
    for (EffectEntry& e : b.effects) {
        e.kind = p.hostileValues ? drawByte(s) : static_cast<uint8_t>(below(s, 2));
        e.x = coord();
        e.y = coord();
        e.z = p.hostileValues ? hostileFloat(s) : drawIn(s, 0.5f, 4.0f);
    }
    if (!p.trailer) return b;
    b.hasSeq = true;
    b.bodySeq = p.seq;
    b.firstEffectId = p.firstId;
    b.repeats.resize(static_cast<size_t>(p.repeats));
    const uint32_t repeatBase = p.firstId - static_cast<uint32_t>(p.repeats);
    for (size_t i = 0; i < b.repeats.size(); ++i) {
        EffectEntry& e = b.repeats[i];
        e.id = p.freshRepeatIds ? draw32(s) : repeatBase + static_cast<uint32_t>(i);
        e.kind = static_cast<uint8_t>(below(s, 2));
        e.x = coord();
        e.y = coord();
        e.z = drawIn(s, 0.5f, 4.0f);
    }
    return b;
}

// Draws the planned body and writes it; every plan fits (fitToRoom).
void writeBody(uint32_t& s, NetMessage& m, const BodyPlan& p) { writeStateSnapshot(drawBody(s, p), m); }

// A body that a receiver of this level would apply, apart from what each
// shape then changes: the level's fighter count, a few prey and bullets, a
// number near a fresh server's.
BodyPlan plainPlan(uint32_t& s, int levelFighters) {
    BodyPlan p;
    p.kind = below(s, 2) ? NetMessageKind::StateUpdate : NetMessageKind::KeepAliveProbe;
    p.fighters = std::clamp(levelFighters, 0, kMaxPlanFighters);
    p.you = static_cast<uint8_t>(p.fighters > 1 ? 1 + below(s, static_cast<uint32_t>(p.fighters - 1)) : 0);
    p.prey = static_cast<int>(below(s, 20));
    p.bullets = static_cast<int>(below(s, 10));
    p.clockMs = static_cast<int32_t>(below(s, 60000));
    p.seq = nearSeq(s);
    p.firstId = 1 + below(s, 5000);
    return p;
}

// ---------------------------------------------------------------------------
// Key datagrams
// ---------------------------------------------------------------------------

// A key extension with the given numbers (the count may be any byte); the
// held keys all set or drawn, the history entries' keys from `keyOf`.
template <typename KeyOf>
void putKeyExtension(uint32_t& s, NetMessage& m, uint32_t newestSeq, uint8_t historyCount, bool allHeld,
                     KeyOf keyOf) {
    KeyExtension x;
    x.present = true;
    x.newestSeq = newestSeq;
    x.historyCount = historyCount;
    for (uint8_t& b : x.held) b = allHeld ? 0xFF : drawByte(s);
    // Entries up to the count byte's own limit: a reader that trusted an
    // oversized count would find "events" all the way.
    std::vector<KeyRecord> history(historyCount);
    for (KeyRecord& k : history) {
        k.key = keyOf();
        k.released = static_cast<uint8_t>(below(s, 2));
        k.special = drawByte(s) & 1;
    }
    for (int i = 0; i < historyCount && i < kKeyHistory; ++i) x.history[i] = history[static_cast<size_t>(i)];
    writeKeyExtension(m, x);
    for (int i = kKeyHistory; i < historyCount; ++i) writeKeyHistoryEntry(m, i, history[static_cast<size_t>(i)]);
}

uint32_t hugeKey(uint32_t& s) {
    static const uint32_t kKeys[] = {256u, 257u, 0x7FFFFFFFu, 0x80000000u, 0xFFFFFFFFu, 0x10000u};
    return below(s, 4) ? pick(s, kKeys) : 256u + below(s, 0x7FFFFF00u);
}

uint32_t quitOrToggle(uint32_t& s) { return static_cast<uint32_t>(pick(s, kLocalOnlyKeys)); }

// ---------------------------------------------------------------------------
// Shapes
// ---------------------------------------------------------------------------

// The float of a body that carries the poison: below(6) picks the part
// (fighter, prey, bullet, point, effect, repeat; the first entry of each),
// then a float field of it. A part the room left empty passes the choice to
// the first entry of a later part.
float& nonFiniteTarget(uint32_t& s, StateSnapshot& b) {
    const int part = static_cast<int>(below(s, 6));
    if (part == 0 && !b.fighters.empty()) {
        FighterEntry& f = b.fighters[0];
        float* const fields[] = {&f.x, &f.y, &f.heading};
        float* const field = fields[below(s, 3)];
        // The heading, or as often the health beside it.
        return field == &f.heading && below(s, 2) ? f.health : *field;
    }
    if (part <= 1 && !b.prey.empty()) {
        PreyEntry& e = b.prey[0];
        float* const fields[] = {&e.x, &e.y, &e.heading, &e.bodyTurn};
        return *fields[part == 1 ? below(s, 4) : 0];
    }
    if (part <= 2 && !b.bullets.empty()) {
        BulletEntry& e = b.bullets[0];
        float* const fields[] = {&e.x, &e.y, &e.z, &e.heading, &e.pitch};
        return *fields[part == 2 ? below(s, 5) : 0];
    }
    if (part <= 3 && !b.pointsA.empty()) {
        PointEntry& e = b.pointsA[0];
        float* const fields[] = {&e.x, &e.y};
        return *fields[part == 3 ? below(s, 2) : 0];
    }
    if (part <= 4 && !b.effects.empty()) {
        EffectEntry& e = b.effects[0];
        float* const fields[] = {&e.x, &e.y, &e.z};
        return *fields[part == 4 ? below(s, 3) : 0];
    }
    if (!b.repeats.empty()) {
        EffectEntry& e = b.repeats[0];
        float* const fields[] = {&e.x, &e.y, &e.z};
        return *fields[part == 5 ? below(s, 3) : 0];
    }
    // Only a body of very many fighters runs out of room for every other
    // part; a body of none keeps them all.
    return b.fighters[0].x;
}

// Writes the shape over the datagram's random bytes; true when everything
// after the message header, the bytes past the datagram's size included,
// is to be zero.
bool writeShape(StormShape shape, uint32_t& s, int n, NetMessage& m) {
    switch (shape) {
    case StormRandomBytes: {
        // Known kinds, unknown ones and any 16 bits.
        using K = NetMessageKind;
        static const uint16_t kKinds[] = {0,
                                          static_cast<uint16_t>(K::JoinRequest),
                                          2,
                                          static_cast<uint16_t>(K::KeepAliveAnswer),
                                          static_cast<uint16_t>(K::KeyEvent),
                                          static_cast<uint16_t>(K::JoinAccepted),
                                          static_cast<uint16_t>(K::JoinRefused),
                                          static_cast<uint16_t>(K::KeepAliveProbe),
                                          static_cast<uint16_t>(K::StateUpdate),
                                          0xFFFF};
        const uint32_t k = below(s, 11);
        putKindOverRandomBytes(m, k < 10 ? kKinds[k] : static_cast<uint16_t>(draw32(s)));
        break;
    }
    case StormRandomCounts: {
        // Counts over random bytes: whatever entries they claim.
        setMessageKind(m, below(s, 2) ? NetMessageKind::StateUpdate : NetMessageKind::KeepAliveProbe);
        StateHeader h = readStateHeader(m);
        for (uint8_t* count : {&h.fighters, &h.prey, &h.bullets, &h.pointsA, &h.pointsB, &h.effects})
            *count = static_cast<uint8_t>(below(s, 16));
        writeStateHeader(m, h);
        break;
    }
    case StormCountsOverrun: {
        setMessageKind(m, below(s, 2) ? NetMessageKind::StateUpdate : NetMessageKind::KeepAliveProbe);
        StateHeader h = readStateHeader(m);
        // Each choice alone claims more entries than 6008 bytes hold.
        switch (below(s, 4)) {
        case 0: h.fighters = h.prey = h.bullets = h.pointsA = h.pointsB = h.effects = 255; break;
        case 1: h.fighters = 255; break;  // 255 fighters: 7140 bytes
        case 2: h.bullets = 255; break;   // 255 bullets: 6120 bytes
        default: h.prey = h.effects = 255; break;
        }
        writeStateHeader(m, h);
        break;
    }
    case StormWrongFighters: {
        BodyPlan p = plainPlan(s, n);
        const int counts[] = {0, 1, n - 1, n + 1, n + 8, 200};
        p.fighters = std::clamp(pick(s, counts), 0, 200);
        if (p.fighters == n) p.fighters = n + 1;
        fitToRoom(p);
        writeBody(s, m, p);
        break;
    }
    case StormFarAheadBody: {
        BodyPlan p = plainPlan(s, n);
        // Half a number space ahead; anywhere a running server's number
        // may be (100 a second, up to two days); just around a minute of
        // passes, where a receiver that bounds the jump may draw its line.
        static const uint32_t kSeqs[] = {0x7FFFFFFFu, 0x80000000u, 0xFFFFFFFFu, 0x7FFFFFFEu};
        static const uint32_t kNearWindow[] = {5999u, 6000u, 6001u, 6100u, 12000u};
        switch (below(s, 4)) {
        case 0: p.seq = pick(s, kSeqs); break;
        case 1: p.seq = 0x10000000u + below(s, 0x60000000u); break;
        case 2: p.seq = 12000u + below(s, 1u << 24); break;
        default: p.seq = pick(s, kNearWindow); break;
        }
        p.firstId = draw32(s) | 1u;
        fitToRoom(p);
        writeBody(s, m, p);
        break;
    }
    case StormEffectFlood: {
        BodyPlan p = plainPlan(s, n);
        p.prey = p.bullets = 0;
        p.effects = kMaxEntryCount;
        p.repeats = kMaxEffectRepeats;
        p.freshRepeatIds = true;
        p.firstId = draw32(s);
        if (p.firstId == 0) p.firstId = 1;
        fitToRoom(p);
        writeBody(s, m, p);
        break;
    }
    case StormPausedBody: {
        BodyPlan p = plainPlan(s, n);
        p.flags = below(s, 2) ? kServerFlagPaused : static_cast<uint8_t>(drawByte(s) | kServerFlagPaused);
        fitToRoom(p);
        writeBody(s, m, p);
        break;
    }
    case StormNonFinite: {
        BodyPlan p = plainPlan(s, n);
        p.pointsA = 1 + static_cast<int>(below(s, 3));
        p.effects = 1 + static_cast<int>(below(s, 3));
        p.repeats = 1 + static_cast<int>(below(s, kMaxEffectRepeats));
        p.prey = std::max(p.prey, 1);
        p.bullets = std::max(p.bullets, 1);
        fitToRoom(p);
        StateSnapshot body = drawBody(s, p);
        // One float of one part, or of the trailer's repeats.
        float& target = nonFiniteTarget(s, body);
        target = nonFinite(s);
        writeStateSnapshot(body, m);
        break;
    }
    case StormHostileEntries: {
        BodyPlan p = plainPlan(s, n);
        p.hostileValues = true;
        p.you = drawByte(s);
        p.clockMs = static_cast<int32_t>(draw32(s));
        p.prey = below(s, 2) ? kMaxEntryCount : static_cast<int>(below(s, 256));
        p.bullets = static_cast<int>(below(s, 256));
        p.pointsA = static_cast<int>(below(s, 40));
        p.pointsB = static_cast<int>(below(s, 40));
        p.effects = static_cast<int>(below(s, 20));
        fitToRoom(p);
        writeBody(s, m, p);
        break;
    }
    case StormBadTrailer: {
        BodyPlan p = plainPlan(s, n);
        p.repeats = kMaxEffectRepeats;
        fitToRoom(p);
        writeBody(s, m, p);
        const uint8_t repeats = static_cast<uint8_t>(p.repeats);
        switch (below(s, 4)) {
        case 0: writeStateTrailer(m, StateTrailer{0, p.firstId, repeats}); break;  // number 0: never sent
        case 1: {
            const uint32_t tooMany = kMaxEffectRepeats + 1 + below(s, 255 - kMaxEffectRepeats);
            writeStateTrailer(m, StateTrailer{p.seq, p.firstId, static_cast<uint8_t>(tooMany)});
            break;
        }
        case 2: {
            // Entries that run into the repeats: the trailer must be ignored,
            // the entries still read.
            BodyPlan q = plainPlan(s, n);
            q.trailer = false;
            q.prey = q.bullets = 0;
            const int target = kNetMessageSize - kStateTailSize - (kMaxEffectRepeats / 2) * kEffectRepeatSize;
            for (int* count : {&q.prey, &q.bullets, &q.effects})
                while (*count < kMaxEntryCount && entriesEnd(q) + kBulletEntrySize <= target) ++*count;
            writeBody(s, m, q);
            const uint32_t seq = nearSeq(s);
            const uint32_t firstId = 1 + below(s, 5000);
            writeStateTrailer(m, StateTrailer{seq, firstId, kMaxEffectRepeats});
            break;
        }
        default: writeStateTrailer(m, StateTrailer{p.seq, p.firstId, 255}); break;
        }
        break;
    }
    case StormHugeKeyCode: {
        setMessageKind(m, below(s, 4) ? NetMessageKind::KeyEvent : NetMessageKind::KeepAliveAnswer);
        // Here and in the two key shapes below, some fields are drawn last
        // field first: the order these datagrams have always been made in,
        // so that a seed and an index keep naming the same bytes.
        KeyRecord k;
        k.special = drawByte(s);
        k.released = drawByte(s);
        k.key = hugeKey(s);
        writeKeyRecord(m, k);
        const uint8_t padA = drawByte(s);
        const uint8_t padB = drawByte(s);
        spoilKeyRecordPad(m, padA, padB);
        if (below(s, 2)) {
            const uint8_t count = static_cast<uint8_t>(1 + below(s, kKeyHistory));
            const uint32_t seq = kKeyHistory + below(s, 1000);
            putKeyExtension(s, m, seq, count, false, [&] { return hugeKey(s); });
        }
        break;
    }
    case StormQuitOrToggleKey: {
        setMessageKind(m, below(s, 4) ? NetMessageKind::KeyEvent : NetMessageKind::KeepAliveAnswer);
        KeyRecord k;
        k.released = static_cast<uint8_t>(below(s, 2));
        k.key = quitOrToggle(s);
        writeKeyRecord(m, k);
        if (below(s, 2)) {
            const uint32_t seq = kKeyHistory + below(s, 1000);
            const bool allHeld = below(s, 2) != 0;
            const uint8_t count = static_cast<uint8_t>(1 + below(s, kKeyHistory));
            putKeyExtension(s, m, seq, count, allHeld, [&] { return quitOrToggle(s); });
        } else {
            writeKeyExtension(m, KeyExtension{});  // a plain client's key event
        }
        break;
    }
    case StormBadKeyExtension: {
        setMessageKind(m, below(s, 2) ? NetMessageKind::KeyEvent : NetMessageKind::KeepAliveAnswer);
        KeyRecord k;
        k.released = static_cast<uint8_t>(below(s, 2));
        k.key = below(s, 128);
        writeKeyRecord(m, k);
        static const uint32_t kSeqs[] = {0u, 1u, 0x7FFFFFFFu, 0x80000000u, 0xFFFFFFFFu};
        const uint32_t seq = below(s, 2) ? pick(s, kSeqs) : draw32(s);
        uint8_t count = 0;
        switch (below(s, 4)) {
        case 0: count = kKeyHistory + 1; break;
        case 1: count = 255; break;
        case 2: count = static_cast<uint8_t>(seq < 32 ? seq + 1 : kKeyHistory); break;  // more than sent
        default: count = static_cast<uint8_t>(below(s, 256)); break;
        }
        putKeyExtension(s, m, seq, count, below(s, 4) == 0, [&] { return draw32(s) % 512; });
        break;
    }
    case StormJoinRequest:
        setMessageKind(m, NetMessageKind::JoinRequest);
        if (below(s, 2)) {
            m = NetMessage{};
            setMessageKind(m, NetMessageKind::JoinRequest);
            return true;
        }
        break;
    case StormJoinReply: {
        const NetMessageKind kind = below(s, 2) ? NetMessageKind::JoinAccepted : NetMessageKind::JoinRefused;
        setMessageKind(m, kind);
        if (below(s, 2)) {
            m = NetMessage{};
            setMessageKind(m, kind);
            return true;
        }
        break;
    }
    case StormShapeCount: break;
    }
    return false;
}

int drawLength(uint32_t& s, StormLength& lengthClass) {
    const uint32_t r = below(s, 16);
    switch (r) {
    case 0: lengthClass = StormEmpty; return 0;
    case 1: lengthClass = StormTiny; return 1 + static_cast<int>(below(s, 7));
    case 2: lengthClass = StormShort; return 8 + static_cast<int>(below(s, kNetMessageSize - 9));
    case 3: lengthClass = StormOneShort; return kNetMessageSize - 1;
    case 4: lengthClass = StormLong; return kNetMessageSize + 1 + static_cast<int>(below(s, kStormMaxLength - kNetMessageSize));
    default: lengthClass = StormExact; return kNetMessageSize;
    }
}

// The datagram's own generator state: seed and index mixed so that
// neighbouring indexes start far apart.
uint32_t datagramState(uint32_t seed, uint32_t index) {
    uint32_t h = seed * 0x9E3779B1u ^ (index + 0x7F4A7C15u);
    h ^= h >> 16;
    h *= 0x85EBCA6Bu;
    h ^= h >> 13;
    h *= 0xC2B2AE35u;
    h ^= h >> 16;
    return h;
}

// Ones' complement sum of 16-bit big-endian words, for the IP and UDP checksums.
uint32_t addWords(const uint8_t* b, int n, uint32_t sum) {
    for (int i = 0; i + 1 < n; i += 2) sum += static_cast<uint32_t>(b[i] << 8 | b[i + 1]);
    if (n % 2 == 1) sum += static_cast<uint32_t>(b[n - 1] << 8);
    return sum;
}

uint16_t foldSum(uint32_t sum) {
    while (sum >> 16) sum = (sum & 0xFFFFu) + (sum >> 16);
    return static_cast<uint16_t>(~sum);
}

}  // namespace

void makeStormDatagram(uint32_t seed, uint32_t index, int levelFighters, uint32_t shapes, StormDatagram& out) {
    uint32_t s = datagramState(seed, index);
    const uint32_t set = (shapes & kStormAllShapes) != 0 ? shapes & kStormAllShapes : kStormAllShapes;
    // The n-th shape of the set, n drawn evenly.
    uint32_t n = below(s, static_cast<uint32_t>(std::popcount(set)));
    int shape = 0;
    while (!(set >> shape & 1u) || n-- > 0) ++shape;
    out.shape = static_cast<StormShape>(shape);
    out.length = drawLength(s, out.lengthClass);
    for (uint8_t& b : out.bytes) b = drawByte(s);
    // The shape goes over the first kNetMessageSize random bytes; the rest
    // (a long datagram's excess) stays random unless the shape is all zero.
    NetMessage m;
    std::memcpy(m.bytes, out.bytes, kNetMessageSize);
    const bool zeroRest = writeShape(out.shape, s, std::clamp(levelFighters, 0, kMaxEntryCount), m);
    std::memcpy(out.bytes, m.bytes, kNetMessageSize);
    if (zeroRest) std::memset(out.bytes + kNetMessageSize, 0, kStormMaxLength - kNetMessageSize);
}

void makeStormCompact(uint32_t seed, uint32_t index, StormDatagram& out) {
    uint32_t s = datagramState(seed ^ 0xC0C0C0C0u, index);
    for (uint8_t& b : out.bytes) b = drawByte(s);
    out.shape = StormRandomBytes;
    out.lengthClass = StormShort;
    const uint32_t bases[] = {0, 1 + below(s, 64), 0xFFFFFFFFu - below(s, 64), draw32(s)};
    const CompactHeader h{below(s, 2) ? CompactKind::Body : CompactKind::Key, bases[below(s, 4)], draw32(s)};
    // A real body coded on its own, the start of the bytes the receiver sees.
    NetMessage body;
    std::memcpy(body.bytes, out.bytes, kNetMessageSize);
    writeShape(StormRandomCounts, s, 9, body);
    uint8_t coded[kCompactMaxSize];
    const int codedLength = writeCompactDatagram(h, nullptr, body, coded);
    const uint32_t form = below(s, 5);
    const int room = kCompactMaxSize - kCompactHeaderSize;
    int length = kCompactHeaderSize + static_cast<int>(below(s, static_cast<uint32_t>(room) + 1));
    if ((form == 1 || form == 2) && codedLength > kCompactHeaderSize) {
        std::memcpy(out.bytes, coded, static_cast<size_t>(codedLength));
        if (form == 1) {
            // Cut anywhere before its end.
            length = kCompactHeaderSize + static_cast<int>(below(s, static_cast<uint32_t>(codedLength - kCompactHeaderSize)));
        } else {
            // Whole, a few bytes changed (the frame's checksum refuses it).
            length = codedLength;
            for (int k = 0; k < 1 + static_cast<int>(below(s, 4)); ++k)
                out.bytes[kCompactHeaderSize + below(s, static_cast<uint32_t>(codedLength - kCompactHeaderSize))] ^=
                    static_cast<uint8_t>(1 + below(s, 255));
        }
    } else if (form == 3) {
        // A zstd frame that says it holds 65536 bytes: the form byte, the
        // magic number, a descriptor with a 4-byte content size.
        const uint8_t frame[] = {1, 0x28, 0xB5, 0x2F, 0xFD, 0x80, 0x00, 0x00, 0x01, 0x00};
        std::memcpy(out.bytes + kCompactHeaderSize, frame, sizeof frame);
        length = std::max(length, kCompactHeaderSize + static_cast<int>(sizeof frame));
    } else if (form == 4) {
        length = kCompactMaxSize + 1 + static_cast<int>(below(s, 100));
    }
    // The header goes over whatever lies behind it.
    writeCompactHeader(h, out.bytes);
    out.length = length;
}

namespace {

const char* const kShapeNames[] = {"random-bytes",    "random-counts", "counts-overrun",    "wrong-fighters",
                                   "far-ahead",       "effect-flood",  "paused",            "non-finite",
                                   "hostile-entries", "bad-trailer",   "huge-key",          "quit-toggle-key",
                                   "bad-key-extension", "join-request", "join-reply"};
static_assert(sizeof kShapeNames / sizeof kShapeNames[0] == StormShapeCount, "a name for every shape");

}  // namespace

const char* stormShapeName(StormShape shape) {
    return shape >= 0 && shape < StormShapeCount ? kShapeNames[shape] : "?";
}

StormShape stormShapeNamed(const char* name) {
    int shape = 0;
    while (shape < StormShapeCount && std::strcmp(kShapeNames[shape], name) != 0) ++shape;
    return static_cast<StormShape>(shape);
}

bool buildSpoofedPackets(const uint8_t* payload, int len, NetAddress from, NetAddress to, uint16_t ipId,
                         SpoofedPackets& out) {
    out.count = 0;
    if (len < 0 || len > kSpoofMaxPayload || (len > 0 && payload == nullptr)) return false;
    const int udpLength = kUdpHeaderSize + len;
    uint8_t udp[kUdpHeaderSize];
    putBe16(udp, from.port);
    putBe16(udp + 2, to.port);
    putBe16(udp + 4, static_cast<uint16_t>(udpLength));
    putBe16(udp + 6, 0);
    // The checksum covers a pseudo-header (addresses, protocol, length), the
    // UDP header and the payload; 0 on the wire means "none", so a computed
    // 0 travels as 0xFFFF.
    uint8_t pseudo[12];
    putBe32(pseudo, from.ip);
    putBe32(pseudo + 4, to.ip);
    pseudo[8] = 0;
    pseudo[9] = 17;
    putBe16(pseudo + 10, static_cast<uint16_t>(udpLength));
    uint32_t sum = addWords(pseudo, 12, 0);
    sum = addWords(udp, kUdpHeaderSize, sum);
    // The payload starts at an even offset of the UDP datagram: its words line up.
    if (len > 0) sum = addWords(payload, len, sum);
    const uint16_t check = foldSum(sum);
    putBe16(udp + 6, check == 0 ? 0xFFFF : check);

    for (int offset = 0; offset < udpLength; offset += kSpoofFragmentData) {
        const int chunk = std::min(kSpoofFragmentData, udpLength - offset);
        const bool more = offset + chunk < udpLength;
        uint8_t* p = out.bytes[out.count];
        p[0] = 0x45;  // IPv4, a 20-byte header
        p[1] = 0;
        putBe16(p + 2, static_cast<uint16_t>(kIpv4HeaderSize + chunk));
        putBe16(p + 4, ipId);
        putBe16(p + 6, static_cast<uint16_t>((more ? 0x2000 : 0) | (offset / 8)));
        p[8] = 64;  // time to live
        p[9] = 17;  // UDP
        putBe16(p + 10, 0);
        putBe32(p + 12, from.ip);
        putBe32(p + 16, to.ip);
        putBe16(p + 10, foldSum(addWords(p, kIpv4HeaderSize, 0)));
        // This fragment's share of the UDP datagram (header, then payload).
        for (int i = 0; i < chunk; ++i) {
            const int at = offset + i;
            p[kIpv4HeaderSize + i] = at < kUdpHeaderSize ? udp[at] : payload[at - kUdpHeaderSize];
        }
        out.length[out.count] = kIpv4HeaderSize + chunk;
        ++out.count;
    }
    return true;
}
