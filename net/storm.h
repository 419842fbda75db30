// storm.h -- hostile datagrams for robustness tests: a maker that turns a
// seed and an index into one datagram of any shape and length, and the
// IPv4 + UDP packets that carry a datagram from a forged sender.
//
// The maker is a pure function of (seed, index, level's fighter count): the
// unit tests count what it makes, and maze-storm sends the same datagrams to
// a real server or client, so a finding can be replayed by its index.
#pragma once

#include <cstdint>

#include "net/net.h"

// What a datagram is made to look like. Every shape is drawn equally often.
enum StormShape : int {
    StormRandomBytes,       // random bytes under any kind, known or not
    StormRandomCounts,      // a state kind with small random counts over random bytes
    StormCountsOverrun,     // state counts of 255 whose entries run past the datagram
    StormWrongFighters,     // a well-formed body whose fighter count is not the level's
    StormFarAheadBody,      // a well-formed body numbered far ahead (0x7FFFFFFF, 6000, ...)
    StormEffectFlood,       // 255 effect entries and 16 repeats, all with fresh ids
    StormPausedBody,        // a well-formed body with the pause flag set
    StormNonFinite,         // a body laid out well with a NaN or infinity in it
    StormHostileEntries,    // agreeing counts, but fighters far off, negative health, 255 prey ...
    StormBadTrailer,        // well-formed entries, a trailer with bad counts or number 0
    StormHugeKeyCode,       // key events with codes of 256 up to 2^32 - 1
    StormQuitOrToggleKey,   // q, Q, L, T, as events, in the history and as held keys
    StormBadKeyExtension,   // a key extension whose counts and numbers disagree
    StormJoinRequest,       // kind 1, empty or random after the header
    StormJoinReply,         // kinds 11 and 12, empty or random
    StormShapeCount
};

// The datagram's length, by class: the receiver takes only exactly 6008.
enum StormLength : int {
    StormEmpty,       // 0 bytes
    StormTiny,        // 1..7: shorter than a header
    StormShort,       // 8..6006
    StormOneShort,    // 6007
    StormExact,       // 6008, drawn most often so that the shapes are read
    StormLong,        // 6009..6108
    StormLengthCount
};

constexpr int kStormMaxLength = kNetMessageSize + 100;

struct StormDatagram {
    uint8_t bytes[kStormMaxLength] = {};
    int length = 0;                       // bytes to send, 0..kStormMaxLength
    StormShape shape = StormRandomBytes;
    StormLength lengthClass = StormExact;
};

// Sets of shapes, one bit per shape: every shape, and the state bodies
// (StormRandomCounts to StormBadTrailer), the ones a client reads.
constexpr uint32_t kStormAllShapes = (1u << StormShapeCount) - 1;
constexpr uint32_t kStormStateShapes = ((1u << (StormBadTrailer + 1)) - 1) & ~((1u << StormRandomCounts) - 1);

// Makes datagram `index` of the storm `seed`, its shape drawn evenly from
// the set `shapes` (every shape when the set is empty). `levelFighters` is
// the fighter count of the receiver's level, so that some bodies agree with
// it (and are applied) and others do not.
void makeStormDatagram(uint32_t seed, uint32_t index, int levelFighters, uint32_t shapes,
                       StormDatagram& out);

// Compact datagram `index` of the storm `seed`, for a receiver of our
// compact wire: a compact header (body or key, a base number of 0, small,
// or far off) over random bytes, over a real coded body cut short or with
// bytes changed, over a frame that claims a larger body than ours; and now
// and then one longer than kCompactMaxSize. None decodes to a body.
void makeStormCompact(uint32_t seed, uint32_t index, StormDatagram& out);

// A short name of each shape, for reports and maze-storm's shapes= option;
// StormShapeCount for a name that is none.
const char* stormShapeName(StormShape shape);
StormShape stormShapeNamed(const char* name);

// ---------------------------------------------------------------------------
// Forged senders
// ---------------------------------------------------------------------------

constexpr int kIpv4HeaderSize = 20;
constexpr int kUdpHeaderSize = 8;
// Bytes of the UDP datagram per IPv4 fragment: a multiple of 8 that keeps
// every packet within a 1500-byte Ethernet MTU.
constexpr int kSpoofFragmentData = 1480;
constexpr int kSpoofMaxPackets = 8;
// The largest payload the spoofed packets carry (8 fragments).
constexpr int kSpoofMaxPayload = kSpoofMaxPackets * kSpoofFragmentData - kUdpHeaderSize;

// The IPv4 packets (one, or fragments) of one UDP datagram, headers included.
struct SpoofedPackets {
    int count = 0;
    int length[kSpoofMaxPackets] = {};
    uint8_t bytes[kSpoofMaxPackets][kIpv4HeaderSize + kSpoofFragmentData] = {};
};

// Builds the IPv4 packets that carry `len` bytes from `from` to `to` as one
// UDP datagram: header checksums and the UDP checksum filled in, fragments of
// kSpoofFragmentData bytes sharing the identification `ipId`. False when len
// is negative or over kSpoofMaxPayload.
bool buildSpoofedPackets(const uint8_t* payload, int len, NetAddress from, NetAddress to,
                         uint16_t ipId, SpoofedPackets& out);
