// wire.cpp -- the codec: the byte layout of every datagram part, written once.
//
// Each part of a datagram has one field function below, templated on the
// byte stream it runs over: WireWriter writes the fields, WireReader reads
// them into a temporary, WireSizer counts their bytes at compile time (the
// entry sizes in net.h are checked against it). Reading and writing run the
// same function, so a field's place and width exist only here; the places
// of the parts follow from the widths. README.md's "Protocol" section is the
// same layout for people.
//
// Every multi-byte field is little-endian whatever the host (base/bytes.h);
// floats are IEEE single precision. The writer and the reader each check
// room in one place: a write past the end sets a sticky overflow flag and
// writes nothing, a read past the end yields 0 and sets a sticky overrun
// flag, so callers check once at the end. The reader also notes any float
// that is not finite: no datagram may carry one.
//
// Layout, in field-function order (offsets in bytes, [n] = n zero bytes that
// a reader ignores):
//   message header     0  u16 kind, [2], u32 senderWord (always 0)
//   key record         8  u32 key, u8 released, u8 special, [2]
//   key extension     16  u32 marker "MZK1", u32 newestSeq, u8 historyCount,
//                         [3], 32 B held keys; then from 60 historyCount key
//                         records, newest first
//   key extension 2  316  u32 marker "MZK2", u32 ackedBodySeq,
//                         i16 mouseTurn (0.01 degree), [2]
//   join extension     8  u32 marker "MZJ1", u8 refusal, u8 name length,
//                         [2], u64 level digest, 32 B level name (the
//                         length's bytes used, the rest zero), u8 flags,
//                         u8 player name length, [2], 16 B player name
//   state header       8  u8 yourFighter, u8 counts of fighters, prey,
//                         bullets, points A, points B, effects, u8 serverFlags,
//                         i32 serverClockMs
//   entries           20  back to back, in that order:
//     fighter  28 B       f32 x, y, heading, u8 active, [3], i32 score,
//                         f32 health, i32 bullets
//     prey     20 B       f32 x, y, heading, bodyTurn, u8 pose, [3]
//     bullet   24 B       f32 x, y, z, heading, pitch, u32 shooterKind
//     point     8 B       f32 x, y
//     effect   20 B       u8 kind, [3], f32 x, y, z, [4]
//   repeats   5992 - 20n  n events of earlier bodies: u32 id, u8 kind, [3],
//                         f32 x, y, z
//   extras   5612 - 20n   with the trailer's extras byte 1: u32 marker
//                         "MZX1", u32 ackedKeySeq, i32 roundElapsedMs,
//                         i32 roundRestartMs, u8 roundOver, u8 roundWinner,
//                         u8 fighter count, [1]; then 10 fighter records:
//     fighter  36 B       16 B name, i32 fightersDestroyed, i32 deaths,
//                         i16 pingMs, u16 protectMs, i32 respawnMs,
//                         u8 destroyedBy (a fighter, 0xFE a prey, 0xFF
//                         unknown), [3]
//   trailer        5992   u32 marker "MZS1", u32 bodySeq, u32 firstEffectId,
//                         u8 repeatCount n, u8 extras, [2]
// The bytes between the last entry and the repeats are not written.
// A compact datagram (our peers, at most 1200 bytes): u32 marker "MZC"
// and version 1, u8 kind (1 body, 2 key), u32 baseSeq, u32 bodySeq, then
// the coded datagram (body_codec.cpp).
//   server query       8  u32 marker "MZQ1", u8 version, u8 flags, [2],
//                         u32 nonce; zero padding to the reply's size
//   server reply       8  u32 marker "MZR1", u8 version, u8 flags, u16 port,
//                         u32 nonce, u32 instance, u8 players, u8 maximum,
//                         u8 records n, [1], u32 uptime, u32 round time,
//                         64 B name, 64 B level; from 164 n player records
//     player   44 B       u8 fighter, u8 state, u16 ping, i32 score,
//                         i32 deaths, 32 B name
#include <algorithm>
#include <bit>
#include <cmath>
#include <concepts>
#include <cstring>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "base/bytes.h"
#include "net/discovery.h"
#include "net/net.h"

namespace {

// ---------------------------------------------------------------------------
// Byte streams
// ---------------------------------------------------------------------------

// Writes fields one after another from `pos`.
struct WireWriter {
    uint8_t* buf;
    size_t pos;
    bool overflow = false;

    // The one room check of the writer.
    bool room(size_t n) {
        if (overflow || pos > kNetMessageSize || n > kNetMessageSize - pos) {
            overflow = true;
            return false;
        }
        return true;
    }
    void u8(uint8_t v) {
        if (room(1)) buf[pos++] = v;
    }
    void u16(uint16_t v) {
        if (!room(2)) return;
        putLe16(buf + pos, v);
        pos += 2;
    }
    void u32(uint32_t v) {
        if (!room(4)) return;
        putLe32(buf + pos, v);
        pos += 4;
    }
    void i16(int16_t v) { u16(static_cast<uint16_t>(v)); }
    void i32(int32_t v) { u32(static_cast<uint32_t>(v)); }
    void f32(float v) { u32(std::bit_cast<uint32_t>(v)); }
    void zeros(size_t n) {
        if (!room(n)) return;
        std::memset(buf + pos, 0, n);
        pos += n;
    }
    void bytes(const uint8_t* p, size_t n) {
        if (!room(n)) return;
        std::memcpy(buf + pos, p, n);
        pos += n;
    }
};

// Reads fields one after another from `pos`; zero bytes are skipped unread.
struct WireReader {
    const uint8_t* buf;
    size_t pos;
    bool overrun = false;
    bool nonFinite = false;

    // The one room check of the reader.
    bool room(size_t n) {
        if (overrun || pos > kNetMessageSize || n > kNetMessageSize - pos) {
            overrun = true;
            return false;
        }
        return true;
    }
    void u8(uint8_t& v) {
        v = room(1) ? buf[pos++] : 0;
    }
    void u16(uint16_t& v) {
        v = 0;
        if (!room(2)) return;
        v = getLe16(buf + pos);
        pos += 2;
    }
    void u32(uint32_t& v) {
        v = 0;
        if (!room(4)) return;
        v = getLe32(buf + pos);
        pos += 4;
    }
    void i16(int16_t& v) {
        uint16_t bits;
        u16(bits);
        v = static_cast<int16_t>(bits);
    }
    void i32(int32_t& v) {
        uint32_t bits;
        u32(bits);
        v = static_cast<int32_t>(bits);
    }
    void f32(float& v) {
        uint32_t bits;
        u32(bits);
        v = std::bit_cast<float>(bits);
        if (!std::isfinite(v)) nonFinite = true;
    }
    void zeros(size_t n) {
        if (room(n)) pos += n;
    }
    void bytes(uint8_t* p, size_t n) {
        if (!room(n)) {
            std::memset(p, 0, n);
            return;
        }
        std::memcpy(p, buf + pos, n);
        pos += n;
    }
};

// Counts the bytes the fields take.
struct WireSizer {
    size_t pos = 0;
    constexpr void u8(uint8_t) { pos += 1; }
    constexpr void u16(uint16_t) { pos += 2; }
    constexpr void u32(uint32_t) { pos += 4; }
    constexpr void i16(int16_t) { pos += 2; }
    constexpr void i32(int32_t) { pos += 4; }
    constexpr void f32(float) { pos += 4; }
    constexpr void zeros(size_t n) { pos += n; }
    constexpr void bytes(const uint8_t*, size_t n) { pos += n; }
};

WireWriter writerAt(NetMessage& msg, size_t pos) { return WireWriter{msg.bytes, pos}; }
WireReader readerAt(const NetMessage& msg, size_t pos) { return WireReader{msg.bytes, pos}; }

// ---------------------------------------------------------------------------
// Field functions: one per part, for the reader (E = the part) and for the
// writer and the sizer (E = the part, const).
// ---------------------------------------------------------------------------

template <class E, class Part>
concept PartOf = std::same_as<std::remove_const_t<E>, Part>;

// Markers of our two extensions, "MZS1" and "MZK1" as they lie in the
// datagram; a plain peer leaves those bytes zero (keys) or meaningless
// (state bodies), so a marker and a consistent layout are required.
constexpr uint32_t kStateTailMarker = 0x31535A4Du;
constexpr uint32_t kKeyExtensionMarker = 0x314B5A4Du;
constexpr uint32_t kJoinExtensionMarker = 0x314A5A4Du;  // "MZJ1"
constexpr uint32_t kKeyExtension2Marker = 0x324B5A4Du;  // "MZK2"
constexpr uint32_t kExtrasMarker = 0x31585A4Du;         // "MZX1"

// The message header, at 0 in every datagram; senderWord is always 0.
template <class Io>
constexpr void messageHeaderFields(Io& io, uint16_t& kind) {
    io.u16(kind);
    io.zeros(2);
    io.zeros(4);
}

template <class Io, PartOf<KeyRecord> E>
constexpr void keyRecordFields(Io& io, E& k) {
    io.u32(k.key);
    io.u8(k.released);
    io.u8(k.special);
    io.zeros(2);
}

// The key extension's fixed part, then its history of key records (at most
// kKeyHistory of them: a longer count is malformed, and the reader refuses it).
template <class Io, PartOf<KeyExtension> E>
constexpr void keyExtensionFields(Io& io, uint32_t& marker, E& x) {
    io.u32(marker);
    io.u32(x.newestSeq);
    io.u8(x.historyCount);
    io.zeros(3);
    io.bytes(x.held, sizeof x.held);
    const int count = std::min<int>(x.historyCount, kKeyHistory);
    for (int i = 0; i < count; ++i) keyRecordFields(io, x.history[i]);
}

// The key extension's second block, at a fixed place after the longest
// history.
template <class Io, PartOf<KeyExtension> E>
constexpr void keyExtension2Fields(Io& io, uint32_t& marker, E& x) {
    io.u32(marker);
    io.u32(x.ackedBodySeq);
    io.i16(x.mouseTurn);
    io.zeros(2);
}

// The join extension as it travels: the digest in two little-endian
// halves, the name as a counted run of bytes in a fixed field.
struct JoinExtensionWire {
    uint32_t marker = 0;
    uint8_t refusal = 0;
    uint8_t nameLength = 0;
    uint32_t digestLow = 0, digestHigh = 0;
    uint8_t name[kNetNameBytes + 1] = {};
    uint8_t flags = 0;
    uint8_t playerNameLength = 0;
    uint8_t playerName[kPlayerNameMax + 1] = {};
};

template <class Io, PartOf<JoinExtensionWire> E>
constexpr void joinExtensionFields(Io& io, E& x) {
    io.u32(x.marker);
    io.u8(x.refusal);
    io.u8(x.nameLength);
    io.zeros(2);
    io.u32(x.digestLow);
    io.u32(x.digestHigh);
    io.bytes(x.name, sizeof x.name);
    io.u8(x.flags);
    io.u8(x.playerNameLength);
    io.zeros(2);
    io.bytes(x.playerName, sizeof x.playerName);
}

template <class Io, PartOf<StateHeader> E>
constexpr void stateHeaderFields(Io& io, E& h) {
    io.u8(h.yourFighter);
    io.u8(h.fighters);
    io.u8(h.prey);
    io.u8(h.bullets);
    io.u8(h.pointsA);
    io.u8(h.pointsB);
    io.u8(h.effects);
    io.u8(h.serverFlags);
    io.i32(h.serverClockMs);
}

template <class Io, PartOf<FighterEntry> E>
constexpr void fighterFields(Io& io, E& e) {
    io.f32(e.x);
    io.f32(e.y);
    io.f32(e.heading);
    io.u8(e.active);
    io.zeros(3);
    io.i32(e.score);
    io.f32(e.health);
    io.i32(e.bullets);
}

template <class Io, PartOf<PreyEntry> E>
constexpr void preyFields(Io& io, E& e) {
    io.f32(e.x);
    io.f32(e.y);
    io.f32(e.heading);
    io.f32(e.bodyTurn);
    io.u8(e.pose);
    io.zeros(3);
}

template <class Io, PartOf<BulletEntry> E>
constexpr void bulletFields(Io& io, E& e) {
    io.f32(e.x);
    io.f32(e.y);
    io.f32(e.z);
    io.f32(e.heading);
    io.f32(e.pitch);
    io.u32(e.shooterKind);
}

template <class Io, PartOf<PointEntry> E>
constexpr void pointFields(Io& io, E& e) {
    io.f32(e.x);
    io.f32(e.y);
}

// An effect entry travels without its id (the trailer numbers the entries).
template <class Io, PartOf<EffectEntry> E>
constexpr void effectFields(Io& io, E& e) {
    io.u8(e.kind);
    io.zeros(3);
    io.f32(e.x);
    io.f32(e.y);
    io.f32(e.z);
    io.zeros(4);
}

// An event of an earlier body, repeated before the trailer, with its id.
template <class Io, PartOf<EffectEntry> E>
constexpr void repeatFields(Io& io, E& e) {
    io.u32(e.id);
    io.u8(e.kind);
    io.zeros(3);
    io.f32(e.x);
    io.f32(e.y);
    io.f32(e.z);
}

template <class Io, PartOf<StateTrailer> E>
constexpr void trailerFields(Io& io, uint32_t& marker, E& t) {
    io.u32(marker);
    io.u32(t.bodySeq);
    io.u32(t.firstEffectId);
    io.u8(t.repeatCount);
    io.u8(t.extras);
    io.zeros(2);
}

// The extras block as it travels (names as fixed fields).
struct FighterExtrasWire {
    uint8_t name[kPlayerNameMax + 1] = {};
    int32_t fightersDestroyed = 0, deaths = 0;
    int16_t pingMs = 0;
    uint16_t protectMs = 0;
    int32_t respawnMs = 0;
    uint8_t destroyedBy = 0;
};
struct StateExtrasWire {
    uint32_t marker = 0, ackedKeySeq = 0;
    int32_t roundElapsedMs = 0, roundRestartMs = 0;
    uint8_t roundOver = 0, roundWinner = 0, fighterCount = 0;
    FighterExtrasWire fighters[kExtrasFighters];
};

template <class Io, PartOf<StateExtrasWire> E>
constexpr void extrasFields(Io& io, E& x) {
    io.u32(x.marker);
    io.u32(x.ackedKeySeq);
    io.i32(x.roundElapsedMs);
    io.i32(x.roundRestartMs);
    io.u8(x.roundOver);
    io.u8(x.roundWinner);
    io.u8(x.fighterCount);
    io.zeros(1);
    for (auto& f : x.fighters) {
        io.bytes(f.name, sizeof f.name);
        io.i32(f.fightersDestroyed);
        io.i32(f.deaths);
        io.i16(f.pingMs);
        io.u16(f.protectMs);
        io.i32(f.respawnMs);
        io.u8(f.destroyedBy);
        io.zeros(3);
    }
}

// The entries of a state body, back to back; the reader sizes the lists
// from the header's counts first.
template <class Io, PartOf<StateSnapshot> E>
void stateEntriesFields(Io& io, E& s) {
    for (auto& e : s.fighters) fighterFields(io, e);
    for (auto& e : s.prey) preyFields(io, e);
    for (auto& e : s.bullets) bulletFields(io, e);
    for (auto& e : s.pointsA) pointFields(io, e);
    for (auto& e : s.pointsB) pointFields(io, e);
    for (auto& e : s.effects) effectFields(io, e);
}

// Server queries and replies (net/discovery.h), as they travel: texts are
// raw bytes here and are checked when they are read.
constexpr uint32_t kQueryMarker = 0x31515A4Du;  // "MZQ1"
constexpr uint32_t kReplyMarker = 0x31525A4Du;  // "MZR1"
constexpr uint8_t kQueryFlagStatus = 0x01;

struct QueryWire {
    uint32_t marker = 0;
    uint8_t version = 0;
    uint8_t flags = 0;
    uint32_t nonce = 0;
};
struct ReplyHeadWire {
    uint32_t marker = 0;
    uint8_t version = 0, flags = 0;
    uint16_t port = 0;
    uint32_t nonce = 0, instance = 0;
    uint8_t players = 0, maxPlayers = 0, records = 0;
    uint32_t uptimeS = 0, roundS = 0;
    uint8_t name[kServerNameBytes] = {};
    uint8_t level[kLevelNameBytes] = {};
};
struct PlayerWire {
    uint8_t fighter = 0, state = 0;
    uint16_t pingMs = 0;
    int32_t score = 0, deaths = 0;
    uint8_t name[kPlayerNameBytes] = {};
};

template <class Io, PartOf<QueryWire> E>
constexpr void queryFields(Io& io, E& q) {
    io.u32(q.marker);
    io.u8(q.version);
    io.u8(q.flags);
    io.zeros(2);
    io.u32(q.nonce);
}

template <class Io, PartOf<ReplyHeadWire> E>
constexpr void replyHeadFields(Io& io, E& r) {
    io.u32(r.marker);
    io.u8(r.version);
    io.u8(r.flags);
    io.u16(r.port);
    io.u32(r.nonce);
    io.u32(r.instance);
    io.u8(r.players);
    io.u8(r.maxPlayers);
    io.u8(r.records);
    io.zeros(1);
    io.u32(r.uptimeS);
    io.u32(r.roundS);
    io.bytes(r.name, sizeof r.name);
    io.bytes(r.level, sizeof r.level);
}

template <class Io, PartOf<PlayerWire> E>
constexpr void playerFields(Io& io, E& p) {
    io.u8(p.fighter);
    io.u8(p.state);
    io.u16(p.pingMs);
    io.i32(p.score);
    io.i32(p.deaths);
    io.bytes(p.name, sizeof p.name);
}

// ---------------------------------------------------------------------------
// Sizes and places, from the field functions
// ---------------------------------------------------------------------------

template <class Part, class Fields>
constexpr size_t wireSize(Fields fields) {
    WireSizer sizer;
    const Part part{};
    fields(sizer, part);
    return sizer.pos;
}

constexpr size_t kMessageHeaderSize = [] {
    WireSizer sizer;
    uint16_t kind = 0;
    messageHeaderFields(sizer, kind);
    return sizer.pos;
}();
constexpr size_t kKeyRecordSize = wireSize<KeyRecord>([](auto& io, auto& k) { keyRecordFields(io, k); });
constexpr size_t kStateHeaderFieldsSize =
    wireSize<StateHeader>([](auto& io, auto& h) { stateHeaderFields(io, h); });
constexpr size_t kKeyExtensionHeadSize = [] {
    WireSizer sizer;
    uint32_t marker = 0;
    const KeyExtension none{};  // historyCount 0: the fixed part alone
    keyExtensionFields(sizer, marker, none);
    return sizer.pos;
}();
constexpr size_t kTrailerSize = [] {
    WireSizer sizer;
    uint32_t marker = 0;
    const StateTrailer t{};
    trailerFields(sizer, marker, t);
    return sizer.pos;
}();

static_assert(wireSize<FighterEntry>([](auto& io, auto& e) { fighterFields(io, e); }) == kFighterEntrySize &&
                  wireSize<PreyEntry>([](auto& io, auto& e) { preyFields(io, e); }) == kPreyEntrySize &&
                  wireSize<BulletEntry>([](auto& io, auto& e) { bulletFields(io, e); }) == kBulletEntrySize &&
                  wireSize<PointEntry>([](auto& io, auto& e) { pointFields(io, e); }) == kPointEntrySize &&
                  wireSize<EffectEntry>([](auto& io, auto& e) { effectFields(io, e); }) == kEffectEntrySize &&
                  wireSize<EffectEntry>([](auto& io, auto& e) { repeatFields(io, e); }) == kEffectRepeatSize,
              "the entry sizes in net.h are those of the field functions");
static_assert(wireSize<StateExtrasWire>([](auto& io, auto& x) { extrasFields(io, x); }) == kExtrasSize,
              "the extras' size in net.h is that of its field function");
static_assert(kExtrasFighters >= kMaxFighterStarts, "every fighter has an extras record");
static_assert(kMessageHeaderSize + kStateHeaderFieldsSize == kStateHeaderSize && kTrailerSize == kStateTailSize,
              "the state body's header and trailer sizes in net.h are those of the field functions");
static_assert(kMessageHeaderSize + wireSize<ReplyHeadWire>([](auto& io, auto& r) { replyHeadFields(io, r); }) ==
                      kServerReplyHeadSize &&
                  wireSize<PlayerWire>([](auto& io, auto& p) { playerFields(io, p); }) == kPlayerRecordSize,
              "the reply sizes in discovery.h are those of the field functions");
static_assert(kMessageHeaderSize + wireSize<QueryWire>([](auto& io, auto& q) { queryFields(io, q); }) <=
                  kDiscoveryQuerySize,
              "a query's fields fit in the smallest query");
static_assert(kStatusQuerySize <= kNetMessageSize, "a status query is no larger than a datagram of the game");

// Where each part starts.
constexpr size_t kKeyRecordAt = kMessageHeaderSize;
constexpr size_t kKeyExtensionAt = kKeyRecordAt + kKeyRecordSize;
constexpr size_t kKeyHistoryAt = kKeyExtensionAt + kKeyExtensionHeadSize;
constexpr size_t kJoinExtensionAt = kMessageHeaderSize;
static_assert(wireSize<JoinExtensionWire>([](auto& io, auto& x) { joinExtensionFields(io, x); }) == 68,
              "the join extension's layout in README.md");
constexpr size_t kStateHeaderAt = kMessageHeaderSize;
constexpr size_t kStateEntriesAt = kStateHeaderSize;
constexpr size_t kStateTailAt = kNetMessageSize - kStateTailSize;
// Every history entry a count byte can name fits in the datagram.
constexpr int kMaxKeyHistoryOnWire = 255;
static_assert(kKeyHistoryAt + kMaxKeyHistoryOnWire * kKeyRecordSize <= kNetMessageSize,
              "the key history fits the datagram");
// The second block follows the longest history our reader accepts.
constexpr size_t kKeyExtension2At = kKeyHistoryAt + kKeyHistory * kKeyRecordSize;
static_assert(kKeyExtension2At == 316, "the key extension's second block as README.md places it");
static_assert(kStateHeaderSize + kMaxEntryCount * kPreyEntrySize < kNetMessageSize,
              "a full prey count fits beside the header");

// Reads an extras block at `at`; `present` false when its marker or a
// count or index in it is wrong. Names keep printable ASCII only.
StateExtras parseExtras(const NetMessage& msg, size_t at) {
    WireReader r = readerAt(msg, at);
    StateExtrasWire wire;
    extrasFields(r, wire);
    if (r.overrun || wire.marker != kExtrasMarker || wire.fighterCount > kExtrasFighters || wire.roundOver > 1 ||
        (wire.roundWinner != kNoWinner && wire.roundWinner >= wire.fighterCount))
        return StateExtras{};
    StateExtras x;
    x.present = true;
    x.ackedKeySeq = wire.ackedKeySeq;
    x.roundElapsedMs = wire.roundElapsedMs;
    x.roundRestartMs = wire.roundRestartMs;
    x.roundOver = wire.roundOver;
    x.roundWinner = wire.roundWinner;
    x.fighterCount = wire.fighterCount;
    for (int i = 0; i < kExtrasFighters; ++i) {
        const FighterExtrasWire& f = wire.fighters[i];
        FighterExtras& e = x.fighters[i];
        int n = 0;
        for (int k = 0; k < kPlayerNameMax && f.name[k] != 0; ++k)
            e.name[n++] = f.name[k] >= 0x20 && f.name[k] < 0x7F ? static_cast<char>(f.name[k]) : '?';
        e.name[n] = 0;
        e.fightersDestroyed = f.fightersDestroyed;
        e.deaths = f.deaths;
        e.pingMs = f.pingMs;
        e.protectMs = f.protectMs;
        e.respawnMs = f.respawnMs;
        e.destroyedBy = f.destroyedBy;
    }
    return x;
}

StateExtrasWire extrasWireOf(const StateExtras& x) {
    StateExtrasWire wire;
    wire.marker = kExtrasMarker;
    wire.ackedKeySeq = x.ackedKeySeq;
    wire.roundElapsedMs = x.roundElapsedMs;
    wire.roundRestartMs = x.roundRestartMs;
    wire.roundOver = x.roundOver;
    wire.roundWinner = x.roundWinner;
    wire.fighterCount = x.fighterCount;
    for (int i = 0; i < kExtrasFighters; ++i) {
        const FighterExtras& e = x.fighters[i];
        FighterExtrasWire& f = wire.fighters[i];
        std::memcpy(f.name, e.name, strnlen(e.name, kPlayerNameMax));
        f.fightersDestroyed = e.fightersDestroyed;
        f.deaths = e.deaths;
        f.pingMs = e.pingMs;
        f.protectMs = e.protectMs;
        f.respawnMs = e.respawnMs;
        f.destroyedBy = e.destroyedBy;
    }
    return wire;
}

// Reads the body's trailer into `out` when it is there, well-formed, and
// lies wholly after the entries (which end at `end`); leaves hasSeq false
// otherwise.
void parseStateTail(const NetMessage& msg, size_t end, StateSnapshot& out) {
    WireReader r = readerAt(msg, kStateTailAt);
    uint32_t marker = 0;
    StateTrailer t;
    trailerFields(r, marker, t);
    if (marker != kStateTailMarker || t.bodySeq == 0 || t.repeatCount > kMaxEffectRepeats) return;
    const size_t repeatsAt = kStateTailAt - size_t{t.repeatCount} * kEffectRepeatSize;
    if (repeatsAt < end) return;
    std::vector<EffectEntry> repeats(t.repeatCount);
    r = readerAt(msg, repeatsAt);
    for (EffectEntry& e : repeats) repeatFields(r, e);
    if (r.overrun || r.nonFinite) return;
    // Extras that overlap the entries, or are malformed, are left out; the
    // trailer and the repeats still count.
    if (t.extras == 1 && repeatsAt >= end + kExtrasSize) out.extras = parseExtras(msg, repeatsAt - kExtrasSize);
    for (size_t i = 0; i < out.effects.size(); ++i) out.effects[i].id = t.firstEffectId + static_cast<uint32_t>(i);
    out.repeats = std::move(repeats);
    out.bodySeq = t.bodySeq;
    out.firstEffectId = t.firstEffectId;
    out.hasSeq = true;
}

uint8_t countByte(size_t n) { return static_cast<uint8_t>(n); }

// Copies `text` into a zero-filled field of `cap` bytes, at most cap - 1 of
// them, cut at the start of a character so no UTF-8 sequence is split.
void putText(uint8_t* field, size_t cap, const std::string& text) {
    std::memset(field, 0, cap);
    size_t n = std::min(text.size(), cap - 1);
    const auto continuation = [](unsigned char c) { return (c & 0xC0) == 0x80; };
    if (n < text.size())
        while (n > 0 && continuation(static_cast<unsigned char>(text[n]))) --n;
    std::memcpy(field, text.data(), n);
}

// The bytes of a text field up to its first zero, as valid UTF-8 without
// control characters: each byte that breaks either rule becomes '?'. The
// field's last byte is its terminator (putText never writes more than
// cap - 1 bytes), so a stranger's field filled to the end reads as what
// putText would write of it, and a text read can always be sent again.
std::string takeText(const uint8_t* field, size_t cap) {
    size_t end = 0;
    while (end + 1 < cap && field[end] != 0) ++end;
    std::string out;
    for (size_t i = 0; i < end;) {
        const uint8_t c = field[i];
        if (c < 0x80) {
            out += c < 0x20 || c == 0x7F ? '?' : static_cast<char>(c);
            ++i;
            continue;
        }
        // The sequence's length from its lead byte, and the range of its
        // second byte that rules out overlong forms, surrogates and code
        // points past U+10FFFF.
        size_t len = 0;
        uint8_t lo = 0x80, hi = 0xBF;
        if (c >= 0xC2 && c <= 0xDF) len = 2;
        else if (c >= 0xE0 && c <= 0xEF) {
            len = 3;
            if (c == 0xE0) lo = 0xA0;
            if (c == 0xED) hi = 0x9F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            len = 4;
            if (c == 0xF0) lo = 0x90;
            if (c == 0xF4) hi = 0x8F;
        }
        bool valid = len > 0 && i + len <= end && field[i + 1] >= lo && field[i + 1] <= hi;
        for (size_t k = 2; valid && k < len; ++k) valid = (field[i + k] & 0xC0) == 0x80;
        if (!valid) {
            out += '?';
            ++i;
            continue;
        }
        out.append(reinterpret_cast<const char*>(field + i), len);
        i += len;
    }
    return out;
}

}  // namespace

size_t stateEntriesEnd(const StateHeader& h) {
    return kStateEntriesAt + size_t{h.fighters} * kFighterEntrySize + size_t{h.prey} * kPreyEntrySize +
           size_t{h.bullets} * kBulletEntrySize + (size_t{h.pointsA} + h.pointsB) * kPointEntrySize +
           size_t{h.effects} * kEffectEntrySize;
}

// ---------------------------------------------------------------------------
// Message header
// ---------------------------------------------------------------------------

NetMessageKind messageKind(const NetMessage& msg) {
    WireReader r = readerAt(msg, 0);
    uint16_t kind = 0;
    messageHeaderFields(r, kind);
    return static_cast<NetMessageKind>(kind);
}

void setMessageKind(NetMessage& msg, NetMessageKind kind) {
    WireWriter w = writerAt(msg, 0);
    uint16_t raw = static_cast<uint16_t>(kind);
    messageHeaderFields(w, raw);
}

// ---------------------------------------------------------------------------
// Keys
// ---------------------------------------------------------------------------

void writeKeyRecord(NetMessage& msg, KeyRecord key) {
    WireWriter w = writerAt(msg, kKeyRecordAt);
    keyRecordFields(w, std::as_const(key));
}

KeyRecord readKeyRecord(const NetMessage& msg) {
    WireReader r = readerAt(msg, kKeyRecordAt);
    KeyRecord k;
    keyRecordFields(r, k);
    return k;
}

void writeKeyExtension(NetMessage& msg, const KeyExtension& x) {
    WireWriter w = writerAt(msg, kKeyExtensionAt);
    if (!x.present) {
        // A plain client: the fixed part all zero, no history.
        uint32_t marker = 0;
        const KeyExtension none{};
        keyExtensionFields(w, marker, none);
        return;
    }
    uint32_t marker = kKeyExtensionMarker;
    keyExtensionFields(w, marker, x);
    w = writerAt(msg, kKeyExtension2At);
    uint32_t marker2 = kKeyExtension2Marker;
    keyExtension2Fields(w, marker2, x);
}

void writeKeyHistoryEntry(NetMessage& msg, int i, KeyRecord key) {
    if (i < 0 || i >= kMaxKeyHistoryOnWire) return;
    WireWriter w = writerAt(msg, kKeyHistoryAt + static_cast<size_t>(i) * kKeyRecordSize);
    keyRecordFields(w, std::as_const(key));
}

KeyExtension readKeyExtension(const NetMessage& msg) {
    KeyExtension x;
    WireReader r = readerAt(msg, kKeyExtensionAt);
    uint32_t marker = 0;
    keyExtensionFields(r, marker, x);
    if (marker != kKeyExtensionMarker || x.historyCount > kKeyHistory || x.historyCount > x.newestSeq || r.overrun)
        return KeyExtension{};
    x.present = true;
    KeyExtension second;
    uint32_t marker2 = 0;
    r = readerAt(msg, kKeyExtension2At);
    keyExtension2Fields(r, marker2, second);
    if (marker2 == kKeyExtension2Marker && !r.overrun) {
        x.ackedBodySeq = second.ackedBodySeq;
        x.mouseTurn = second.mouseTurn;
    }
    return x;
}

// ---------------------------------------------------------------------------
// Joins
// ---------------------------------------------------------------------------

void writeJoinExtension(NetMessage& msg, const JoinExtension& x) {
    JoinExtensionWire wire;
    if (x.present) {
        wire.marker = kJoinExtensionMarker;
        wire.refusal = static_cast<uint8_t>(x.refusal);
        wire.nameLength = static_cast<uint8_t>(std::min<size_t>(x.levelName.size(), kNetNameBytes));
        std::memcpy(wire.name, x.levelName.data(), wire.nameLength);
        wire.digestLow = static_cast<uint32_t>(x.levelDigest);
        wire.digestHigh = static_cast<uint32_t>(x.levelDigest >> 32);
        wire.flags = x.flags;
        wire.playerNameLength = static_cast<uint8_t>(std::min<size_t>(x.playerName.size(), kPlayerNameMax));
        std::memcpy(wire.playerName, x.playerName.data(), wire.playerNameLength);
    }
    WireWriter w = writerAt(msg, kJoinExtensionAt);
    joinExtensionFields(w, std::as_const(wire));
}

JoinExtension readJoinExtension(const NetMessage& msg) {
    JoinExtensionWire wire;
    WireReader r = readerAt(msg, kJoinExtensionAt);
    joinExtensionFields(r, wire);
    if (wire.marker != kJoinExtensionMarker || wire.nameLength > kNetNameBytes || r.overrun) return JoinExtension{};
    JoinExtension x;
    x.present = true;
    x.refusal = wire.refusal == static_cast<uint8_t>(JoinRefusal::Full)         ? JoinRefusal::Full
                : wire.refusal == static_cast<uint8_t>(JoinRefusal::OtherLevel) ? JoinRefusal::OtherLevel
                                                                               : JoinRefusal::Unsaid;
    x.levelDigest = static_cast<uint64_t>(wire.digestHigh) << 32 | wire.digestLow;
    // The name is shown on the other side's terminal: no control bytes.
    for (int i = 0; i < wire.nameLength; ++i)
        x.levelName += wire.name[i] >= 0x20 && wire.name[i] < 0x7F ? static_cast<char>(wire.name[i]) : '?';
    x.flags = wire.flags;
    // A player's name longer than ours can be is no name.
    if (wire.playerNameLength <= kPlayerNameMax)
        for (int i = 0; i < wire.playerNameLength; ++i)
            x.playerName +=
                wire.playerName[i] >= 0x20 && wire.playerName[i] < 0x7F ? static_cast<char>(wire.playerName[i]) : '?';
    return x;
}

// ---------------------------------------------------------------------------
// State bodies
// ---------------------------------------------------------------------------

StateHeader readStateHeader(const NetMessage& body) {
    WireReader r = readerAt(body, kStateHeaderAt);
    StateHeader h;
    stateHeaderFields(r, h);
    return h;
}

void writeStateHeader(NetMessage& body, const StateHeader& h) {
    WireWriter w = writerAt(body, kStateHeaderAt);
    stateHeaderFields(w, h);
}

uint8_t messageYourFighter(const NetMessage& msg) { return readStateHeader(msg).yourFighter; }

void setMessageYourFighter(NetMessage& msg, uint8_t fighter) {
    StateHeader h = readStateHeader(msg);
    h.yourFighter = fighter;
    writeStateHeader(msg, h);
}

void dropStateEffects(NetMessage& body) {
    StateHeader h = readStateHeader(body);
    h.effects = 0;
    writeStateHeader(body, h);
}

void writeStateTrailer(NetMessage& body, const StateTrailer& t) {
    WireWriter w = writerAt(body, kStateTailAt);
    uint32_t marker = kStateTailMarker;
    trailerFields(w, marker, t);
}

bool parseStateSnapshot(const NetMessage& body, StateSnapshot& out) {
    out = StateSnapshot{};
    out.kind = messageKind(body);
    const StateHeader h = readStateHeader(body);
    // Whatever the counts claim, no entry may lie past the datagram.
    if (stateEntriesEnd(h) > kNetMessageSize) return false;
    out.yourFighter = h.yourFighter;
    out.serverFlags = h.serverFlags;
    out.serverClockMs = h.serverClockMs;
    out.fighters.resize(h.fighters);
    out.prey.resize(h.prey);
    out.bullets.resize(h.bullets);
    out.pointsA.resize(h.pointsA);
    out.pointsB.resize(h.pointsB);
    out.effects.resize(h.effects);
    WireReader r = readerAt(body, kStateEntriesAt);
    stateEntriesFields(r, out);
    if (r.overrun || r.nonFinite) return false;
    parseStateTail(body, r.pos, out);
    return true;
}

bool writeStateSnapshot(const StateSnapshot& s, NetMessage& body) {
    for (const size_t n : {s.fighters.size(), s.prey.size(), s.bullets.size(), s.pointsA.size(), s.pointsB.size(),
                           s.effects.size()})
        if (n > kMaxEntryCount) return false;
    if (s.hasSeq && s.repeats.size() > kMaxEffectRepeats) return false;
    const StateHeader h{s.yourFighter,
                        countByte(s.fighters.size()),
                        countByte(s.prey.size()),
                        countByte(s.bullets.size()),
                        countByte(s.pointsA.size()),
                        countByte(s.pointsB.size()),
                        countByte(s.effects.size()),
                        s.serverFlags,
                        s.serverClockMs};
    const bool extras = s.hasSeq && s.extras.present;
    const size_t tail =
        s.hasSeq ? kStateTailSize + s.repeats.size() * kEffectRepeatSize + (extras ? kExtrasSize : 0) : 0;
    if (stateEntriesEnd(h) + tail > kNetMessageSize) return false;

    setMessageKind(body, s.kind);
    writeStateHeader(body, h);
    WireWriter w = writerAt(body, kStateEntriesAt);
    stateEntriesFields(w, s);
    if (!s.hasSeq) return true;
    const size_t repeatsAt = kStateTailAt - s.repeats.size() * kEffectRepeatSize;
    if (extras) {
        w = writerAt(body, repeatsAt - kExtrasSize);
        const StateExtrasWire wire = extrasWireOf(s.extras);
        extrasFields(w, wire);
    }
    w = writerAt(body, repeatsAt);
    for (const EffectEntry& e : s.repeats) repeatFields(w, e);
    writeStateTrailer(body, StateTrailer{s.bodySeq, s.firstEffectId, countByte(s.repeats.size()),
                                         static_cast<uint8_t>(extras ? 1 : 0)});
    return true;
}

void setBodyAckedKeySeq(NetMessage& body, uint32_t seq) {
    WireReader r = readerAt(body, kStateTailAt);
    uint32_t marker = 0;
    StateTrailer t;
    trailerFields(r, marker, t);
    if (marker != kStateTailMarker || t.extras != 1 || t.repeatCount > kMaxEffectRepeats) return;
    // The field's place: after the block's marker.
    const size_t at = kStateTailAt - size_t{t.repeatCount} * kEffectRepeatSize - kExtrasSize;
    if (getLe32(body.bytes + at) != kExtrasMarker) return;
    putLe32(body.bytes + at + 4, seq);
}

uint32_t bodySeqOf(const NetMessage& body) {
    WireReader r = readerAt(body, kStateTailAt);
    uint32_t marker = 0;
    StateTrailer t;
    trailerFields(r, marker, t);
    return marker == kStateTailMarker ? t.bodySeq : 0;
}

namespace {
constexpr uint8_t kCompactMarker[4] = {'M', 'Z', 'C', 1};
}

bool isCompactDatagram(const uint8_t* bytes, int size) {
    return bytes != nullptr && size >= kCompactHeaderSize && size <= kCompactMaxSize &&
           std::memcmp(bytes, kCompactMarker, sizeof kCompactMarker) == 0;
}

bool readCompactHeader(const uint8_t* bytes, int size, CompactHeader& h) {
    if (!isCompactDatagram(bytes, size)) return false;
    const uint8_t kind = bytes[4];
    if (kind != static_cast<uint8_t>(CompactKind::Body) && kind != static_cast<uint8_t>(CompactKind::Key)) return false;
    h.kind = static_cast<CompactKind>(kind);
    h.baseSeq = getLe32(bytes + 5);
    h.bodySeq = getLe32(bytes + 9);
    return true;
}

void writeCompactHeader(const CompactHeader& h, uint8_t* out) {
    std::memcpy(out, kCompactMarker, sizeof kCompactMarker);
    out[4] = static_cast<uint8_t>(h.kind);
    putLe32(out + 5, h.baseSeq);
    putLe32(out + 9, h.bodySeq);
}

int writeCompactDatagram(const CompactHeader& h, const NetMessage* base, const NetMessage& msg, uint8_t* out,
                         bool columns) {
    writeCompactHeader(h, out);
    const int room = kCompactMaxSize - kCompactHeaderSize;
    const int coded = columns ? encodeBody(base, msg, out + kCompactHeaderSize, room)
                              : encodeBodyPrefix(base, msg, out + kCompactHeaderSize, room);
    return coded > 0 ? kCompactHeaderSize + coded : 0;
}

bool readCompactDatagram(const uint8_t* bytes, int size, const NetMessage* base, NetMessage& msg) {
    if (!isCompactDatagram(bytes, size)) return false;
    return decodeBody(base, bytes + kCompactHeaderSize, size - kCompactHeaderSize, msg);
}

bool stateBodyValid(const NetMessage& body) {
    StateSnapshot parsed;
    return parseStateSnapshot(body, parsed);
}

// ---------------------------------------------------------------------------
// Server queries and replies
// ---------------------------------------------------------------------------

int writeServerQuery(NetMessage& msg, const ServerQuery& q) {
    const int size = q.status ? kStatusQuerySize : kDiscoveryQuerySize;
    std::memset(msg.bytes, 0, static_cast<size_t>(size));
    setMessageKind(msg, NetMessageKind::DiscoveryQuery);
    WireWriter w = writerAt(msg, kMessageHeaderSize);
    const QueryWire wire{kQueryMarker, q.version, static_cast<uint8_t>(q.status ? kQueryFlagStatus : 0), q.nonce};
    queryFields(w, wire);
    return size;
}

bool readServerQuery(const NetMessage& msg, int length, ServerQuery& out) {
    if (length < kDiscoveryQuerySize || length > kNetMessageSize || messageKind(msg) != NetMessageKind::DiscoveryQuery) return false;
    WireReader r = readerAt(msg, kMessageHeaderSize);
    QueryWire wire;
    queryFields(r, wire);
    if (wire.marker != kQueryMarker || wire.version == 0) return false;
    const bool status = (wire.flags & kQueryFlagStatus) != 0;
    if (status && length < kStatusQuerySize) return false;
    out = ServerQuery{wire.version, status, wire.nonce};
    return true;
}

int writeServerReply(NetMessage& msg, const ServerReply& r) {
    if (r.playerList.size() > static_cast<size_t>(kMaxStatusPlayers)) return 0;
    const int size = kServerReplyHeadSize + static_cast<int>(r.playerList.size()) * kPlayerRecordSize;
    std::memset(msg.bytes, 0, static_cast<size_t>(size));
    setMessageKind(msg, NetMessageKind::DiscoveryReply);
    ReplyHeadWire head;
    head.marker = kReplyMarker;
    head.version = r.version;
    head.flags = r.status ? kQueryFlagStatus : 0;
    head.port = r.port;
    head.nonce = r.nonce;
    head.instance = r.instance;
    head.players = r.players;
    head.maxPlayers = r.maxPlayers;
    head.records = countByte(r.playerList.size());
    head.uptimeS = r.uptimeS;
    head.roundS = r.roundS;
    putText(head.name, sizeof head.name, r.name);
    putText(head.level, sizeof head.level, r.level);
    WireWriter w = writerAt(msg, kMessageHeaderSize);
    replyHeadFields(w, std::as_const(head));
    for (const PlayerStatus& p : r.playerList) {
        PlayerWire wire{p.fighter, p.state, p.pingMs, p.score, p.deaths, {}};
        putText(wire.name, sizeof wire.name, p.name);
        playerFields(w, std::as_const(wire));
    }
    return size;
}

bool readServerReply(const NetMessage& msg, int length, ServerReply& out) {
    if (length < kServerReplyHeadSize || length > kNetMessageSize || messageKind(msg) != NetMessageKind::DiscoveryReply) return false;
    WireReader r = readerAt(msg, kMessageHeaderSize);
    ReplyHeadWire head;
    replyHeadFields(r, head);
    if (head.marker != kReplyMarker || head.version == 0 || head.records > kMaxStatusPlayers) return false;
    if (length < kServerReplyHeadSize + head.records * kPlayerRecordSize) return false;
    out = ServerReply{};
    out.version = head.version;
    out.status = (head.flags & kQueryFlagStatus) != 0;
    out.port = head.port;
    out.nonce = head.nonce;
    out.instance = head.instance;
    out.players = head.players;
    out.maxPlayers = head.maxPlayers;
    out.uptimeS = head.uptimeS;
    out.roundS = head.roundS;
    out.name = takeText(head.name, sizeof head.name);
    out.level = takeText(head.level, sizeof head.level);
    for (int i = 0; i < head.records; ++i) {
        PlayerWire wire;
        playerFields(r, wire);
        out.playerList.push_back(
            PlayerStatus{wire.fighter, wire.state, wire.pingMs, wire.score, wire.deaths, takeText(wire.name, sizeof wire.name)});
    }
    return !r.overrun;
}
