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

#include "world/world.h"

namespace {

// The markers of the state trailer ("MZS1") and of the key extension
// ("MZK1"), and the trailer's place, as wire.cpp lays them out.
constexpr uint32_t kStateTailMarker = 0x31535A4Du;
constexpr uint32_t kKeyExtensionMarker = 0x314B5A4Du;
constexpr int kStateTailAt = kNetMessageSize - kStateTailSize;
constexpr int kKeyHistoryAt = 60;

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
// Little-endian writes at a fixed place (the caller keeps them in bounds)
// ---------------------------------------------------------------------------

void putU16(uint8_t* b, int at, uint16_t v) {
    b[at] = static_cast<uint8_t>(v);
    b[at + 1] = static_cast<uint8_t>(v >> 8);
}
void putU32(uint8_t* b, int at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}
void putF32(uint8_t* b, int at, float v) { putU32(b, at, std::bit_cast<uint32_t>(v)); }

// Kind at 0, then the two pad bytes and senderWord zero.
void putKind(uint8_t* b, uint16_t kind) {
    putU16(b, 0, kind);
    std::memset(b + 2, 0, 6);
}

// ---------------------------------------------------------------------------
// State bodies
// ---------------------------------------------------------------------------

struct BodyPlan {
    uint16_t kind = StateUpdate;
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
    return kStateHeaderSize + p.fighters * kFighterEntrySize + p.prey * kPreyEntrySize +
           p.bullets * kBulletEntrySize + (p.pointsA + p.pointsB) * kPointEntrySize +
           p.effects * kEffectEntrySize;
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

void writeBody(uint32_t& s, uint8_t* b, const BodyPlan& p) {
    putKind(b, p.kind);
    b[8] = p.you;
    const int counts[] = {p.fighters, p.prey, p.bullets, p.pointsA, p.pointsB, p.effects};
    for (int i = 0; i < 6; ++i) b[9 + i] = static_cast<uint8_t>(counts[i]);
    b[15] = p.flags;
    putU32(b, 16, static_cast<uint32_t>(p.clockMs));
    int at = kStateHeaderSize;
    const auto coord = [&] { return p.hostileValues && below(s, 2) ? hostileFloat(s) : drawIn(s, 2.0f, 222.0f); };
    for (int i = 0; i < p.fighters; ++i, at += kFighterEntrySize) {
        putF32(b, at, coord());
        putF32(b, at + 4, coord());
        putF32(b, at + 8, p.hostileValues ? hostileFloat(s) : drawIn(s, 0.0f, 359.0f));
        b[at + 12] = p.hostileValues ? drawByte(s) : static_cast<uint8_t>(below(s, 2));
        std::memset(b + at + 13, 0, 3);
        static const int32_t kScores[] = {std::numeric_limits<int32_t>::min(), -1,
                                          std::numeric_limits<int32_t>::max(), 1000000};
        putU32(b, at + 16, static_cast<uint32_t>(p.hostileValues ? pick(s, kScores) : static_cast<int32_t>(below(s, 50))));
        putF32(b, at + 20, p.hostileValues ? hostileFloat(s) : drawIn(s, 0.0f, kStartHealth));
        putU32(b, at + 24, p.hostileValues ? static_cast<uint32_t>(pick(s, kScores)) : below(s, 251));
    }
    for (int i = 0; i < p.prey; ++i, at += kPreyEntrySize) {
        putF32(b, at, coord());
        putF32(b, at + 4, coord());
        putF32(b, at + 8, p.hostileValues ? hostileFloat(s) : drawIn(s, 0.0f, 359.0f));
        putF32(b, at + 12, p.hostileValues ? hostileFloat(s) : drawIn(s, -30.0f, 30.0f));
        b[at + 16] = p.hostileValues ? drawByte(s) : static_cast<uint8_t>(below(s, 4));
        std::memset(b + at + 17, 0, 3);
    }
    for (int i = 0; i < p.bullets; ++i, at += kBulletEntrySize) {
        putF32(b, at, coord());
        putF32(b, at + 4, coord());
        putF32(b, at + 8, p.hostileValues ? hostileFloat(s) : drawIn(s, 0.5f, 4.0f));
        putF32(b, at + 12, p.hostileValues ? hostileFloat(s) : drawIn(s, 0.0f, 359.0f));
        putF32(b, at + 16, p.hostileValues ? hostileFloat(s) : drawIn(s, -10.0f, 10.0f));
        putU32(b, at + 20, p.hostileValues ? draw32(s) : below(s, 3));
    }
    for (int i = 0; i < p.pointsA + p.pointsB; ++i, at += kPointEntrySize) {
        putF32(b, at, coord());
        putF32(b, at + 4, coord());
    }
    for (int i = 0; i < p.effects; ++i, at += kEffectEntrySize) {
        b[at] = p.hostileValues ? drawByte(s) : static_cast<uint8_t>(below(s, 2));
        std::memset(b + at + 1, 0, 3);
        putF32(b, at + 4, coord());
        putF32(b, at + 8, coord());
        putF32(b, at + 12, p.hostileValues ? hostileFloat(s) : drawIn(s, 0.5f, 4.0f));
        std::memset(b + at + 16, 0, 4);
    }
    if (!p.trailer) return;
    int r = kStateTailAt - p.repeats * kEffectRepeatSize;
    const uint32_t repeatBase = p.firstId - static_cast<uint32_t>(p.repeats);
    for (int i = 0; i < p.repeats; ++i, r += kEffectRepeatSize) {
        putU32(b, r, p.freshRepeatIds ? draw32(s) : repeatBase + static_cast<uint32_t>(i));
        b[r + 4] = static_cast<uint8_t>(below(s, 2));
        std::memset(b + r + 5, 0, 3);
        putF32(b, r + 8, coord());
        putF32(b, r + 12, coord());
        putF32(b, r + 16, drawIn(s, 0.5f, 4.0f));
    }
    putU32(b, kStateTailAt, kStateTailMarker);
    putU32(b, kStateTailAt + 4, p.seq);
    putU32(b, kStateTailAt + 8, p.firstId);
    b[kStateTailAt + 12] = static_cast<uint8_t>(p.repeats);
    std::memset(b + kStateTailAt + 13, 0, 3);
}

// A body that a receiver of this level would apply, apart from what each
// shape then changes: the level's fighter count, a few prey and bullets, a
// number near a fresh server's.
BodyPlan plainPlan(uint32_t& s, int levelFighters) {
    BodyPlan p;
    p.kind = below(s, 2) ? StateUpdate : KeepAliveProbe;
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

void putKeyRecord(uint8_t* b, uint32_t key, uint8_t released, uint8_t special) {
    putU32(b, 8, key);
    b[12] = released;
    b[13] = special;
    b[14] = b[15] = 0;
}

// A key extension with the given numbers; history entries from `keyOf`.
template <typename KeyOf>
void putKeyExtension(uint32_t& s, uint8_t* b, uint32_t newestSeq, uint8_t historyCount, bool allHeld, KeyOf keyOf) {
    putU32(b, 16, kKeyExtensionMarker);
    putU32(b, 20, newestSeq);
    b[24] = historyCount;
    b[25] = b[26] = b[27] = 0;
    for (int i = 0; i < 32; ++i) b[28 + i] = allHeld ? 0xFF : drawByte(s);
    // Entries up to the count byte's own limit: a reader that trusted an
    // oversized count would find "events" all the way.
    for (int i = 0; i < historyCount && kKeyHistoryAt + 8 * (i + 1) <= kNetMessageSize; ++i) {
        const int at = kKeyHistoryAt + 8 * i;
        putU32(b, at, keyOf());
        b[at + 4] = static_cast<uint8_t>(below(s, 2));
        b[at + 5] = drawByte(s) & 1;
        b[at + 6] = b[at + 7] = 0;
    }
}

uint32_t hugeKey(uint32_t& s) {
    static const uint32_t kKeys[] = {256u, 257u, 0x7FFFFFFFu, 0x80000000u, 0xFFFFFFFFu, 0x10000u};
    return below(s, 4) ? pick(s, kKeys) : 256u + below(s, 0x7FFFFF00u);
}

uint32_t quitOrToggle(uint32_t& s) { return static_cast<uint32_t>(pick(s, kLocalOnlyKeys)); }

// ---------------------------------------------------------------------------
// Shapes
// ---------------------------------------------------------------------------

void writeShape(StormShape shape, uint32_t& s, int n, uint8_t* b) {
    switch (shape) {
    case StormRandomBytes: {
        // Known kinds, unknown ones and any 16 bits; bytes 2..7 stay random.
        static const uint16_t kKinds[] = {0, JoinRequest, 2, KeepAliveAnswer, KeyEvent, JoinAccepted,
                                          JoinRefused, KeepAliveProbe, StateUpdate, 0xFFFF};
        const uint32_t k = below(s, 11);
        putU16(b, 0, k < 10 ? kKinds[k] : static_cast<uint16_t>(draw32(s)));
        break;
    }
    case StormRandomCounts:
        putKind(b, below(s, 2) ? StateUpdate : KeepAliveProbe);
        for (int i = 9; i <= 14; ++i) b[i] = static_cast<uint8_t>(below(s, 16));
        break;
    case StormCountsOverrun: {
        putKind(b, below(s, 2) ? StateUpdate : KeepAliveProbe);
        // Each choice alone claims more entries than 6008 bytes hold.
        switch (below(s, 4)) {
        case 0: std::memset(b + 9, 255, 6); break;
        case 1: b[9] = 255; break;   // 255 fighters: 7140 bytes
        case 2: b[11] = 255; break;  // 255 bullets: 6120 bytes
        default: b[10] = b[14] = 255; break;  // 255 prey and 255 effects
        }
        break;
    }
    case StormWrongFighters: {
        BodyPlan p = plainPlan(s, n);
        const int counts[] = {0, 1, n - 1, n + 1, n + 8, 200};
        p.fighters = std::clamp(pick(s, counts), 0, 200);
        if (p.fighters == n) p.fighters = n + 1;
        fitToRoom(p);
        writeBody(s, b, p);
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
        writeBody(s, b, p);
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
        writeBody(s, b, p);
        break;
    }
    case StormPausedBody: {
        BodyPlan p = plainPlan(s, n);
        p.flags = below(s, 2) ? kServerFlagPaused : static_cast<uint8_t>(drawByte(s) | kServerFlagPaused);
        fitToRoom(p);
        writeBody(s, b, p);
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
        writeBody(s, b, p);
        // One float of one part, or of the trailer's repeats.
        const int fightersAt = kStateHeaderSize;
        const int preyAt = fightersAt + p.fighters * kFighterEntrySize;
        const int bulletsAt = preyAt + p.prey * kPreyEntrySize;
        const int pointsAt = bulletsAt + p.bullets * kBulletEntrySize;
        const int effectsAt = pointsAt + (p.pointsA + p.pointsB) * kPointEntrySize;
        const int repeatsAt = kStateTailAt - p.repeats * kEffectRepeatSize;
        int at = 0;
        switch (below(s, 6)) {
        case 0: at = p.fighters > 0 ? fightersAt + 4 * static_cast<int>(below(s, 3)) : preyAt; break;
        case 1: at = preyAt + 4 * static_cast<int>(below(s, 4)); break;
        case 2: at = bulletsAt + 4 * static_cast<int>(below(s, 5)); break;
        case 3: at = pointsAt + 4 * static_cast<int>(below(s, 2)); break;
        case 4: at = effectsAt + 4 + 4 * static_cast<int>(below(s, 3)); break;
        default: at = repeatsAt + 8 + 4 * static_cast<int>(below(s, 3)); break;
        }
        if (p.fighters > 0 && at == fightersAt + 8 && below(s, 2)) at = fightersAt + 20;  // health
        putF32(b, at, nonFinite(s));
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
        writeBody(s, b, p);
        break;
    }
    case StormBadTrailer: {
        BodyPlan p = plainPlan(s, n);
        p.repeats = kMaxEffectRepeats;
        fitToRoom(p);
        writeBody(s, b, p);
        switch (below(s, 4)) {
        case 0: putU32(b, kStateTailAt + 4, 0); break;  // number 0: never sent
        case 1: b[kStateTailAt + 12] = static_cast<uint8_t>(kMaxEffectRepeats + 1 + below(s, 255 - kMaxEffectRepeats)); break;
        case 2: {
            // Entries that run into the repeats: the trailer must be ignored,
            // the entries still read.
            BodyPlan q = plainPlan(s, n);
            q.trailer = false;
            q.prey = q.bullets = 0;
            const int target = kStateTailAt - (kMaxEffectRepeats / 2) * kEffectRepeatSize;
            for (int* count : {&q.prey, &q.bullets, &q.effects})
                while (*count < kMaxEntryCount && entriesEnd(q) + kBulletEntrySize <= target) ++*count;
            writeBody(s, b, q);
            putU32(b, kStateTailAt, kStateTailMarker);
            putU32(b, kStateTailAt + 4, nearSeq(s));
            putU32(b, kStateTailAt + 8, 1 + below(s, 5000));
            b[kStateTailAt + 12] = kMaxEffectRepeats;
            std::memset(b + kStateTailAt + 13, 0, 3);
            break;
        }
        default: b[kStateTailAt + 12] = 255; break;
        }
        break;
    }
    case StormHugeKeyCode: {
        putKind(b, below(s, 4) ? KeyEvent : KeepAliveAnswer);
        putKeyRecord(b, hugeKey(s), drawByte(s), drawByte(s));
        b[14] = drawByte(s);
        b[15] = drawByte(s);
        if (below(s, 2))
            putKeyExtension(s, b, kKeyHistory + below(s, 1000), static_cast<uint8_t>(1 + below(s, kKeyHistory)),
                            false, [&] { return hugeKey(s); });
        break;
    }
    case StormQuitOrToggleKey: {
        putKind(b, below(s, 4) ? KeyEvent : KeepAliveAnswer);
        putKeyRecord(b, quitOrToggle(s), static_cast<uint8_t>(below(s, 2)), 0);
        if (below(s, 2)) {
            const uint32_t seq = kKeyHistory + below(s, 1000);
            putKeyExtension(s, b, seq, static_cast<uint8_t>(1 + below(s, kKeyHistory)), below(s, 2) != 0,
                            [&] { return quitOrToggle(s); });
        } else {
            std::memset(b + 16, 0, 44);  // a plain client's key event
        }
        break;
    }
    case StormBadKeyExtension: {
        putKind(b, below(s, 2) ? KeyEvent : KeepAliveAnswer);
        putKeyRecord(b, below(s, 128), static_cast<uint8_t>(below(s, 2)), 0);
        static const uint32_t kSeqs[] = {0u, 1u, 0x7FFFFFFFu, 0x80000000u, 0xFFFFFFFFu};
        const uint32_t seq = below(s, 2) ? pick(s, kSeqs) : draw32(s);
        uint8_t count = 0;
        switch (below(s, 4)) {
        case 0: count = kKeyHistory + 1; break;
        case 1: count = 255; break;
        case 2: count = static_cast<uint8_t>(seq < 32 ? seq + 1 : kKeyHistory); break;  // more than sent
        default: count = static_cast<uint8_t>(below(s, 256)); break;
        }
        putKeyExtension(s, b, seq, count, below(s, 4) == 0, [&] { return draw32(s) % 512; });
        break;
    }
    case StormJoinRequest:
        putKind(b, JoinRequest);
        if (below(s, 2)) std::memset(b + 8, 0, kStormMaxLength - 8);
        break;
    case StormJoinReply:
        putKind(b, below(s, 2) ? JoinAccepted : JoinRefused);
        if (below(s, 2)) std::memset(b + 8, 0, kStormMaxLength - 8);
        break;
    case StormShapeCount: break;
    }
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

void putBe16(uint8_t* b, uint16_t v) {
    b[0] = static_cast<uint8_t>(v >> 8);
    b[1] = static_cast<uint8_t>(v);
}
void putBe32(uint8_t* b, uint32_t v) {
    putBe16(b, static_cast<uint16_t>(v >> 16));
    putBe16(b + 2, static_cast<uint16_t>(v));
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
    writeShape(out.shape, s, std::clamp(levelFighters, 0, kMaxEntryCount), out.bytes);
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
