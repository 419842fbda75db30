// net.h -- the network: the fixed-size datagram, the state picture that the
// server packs and the clients apply, the server's client table with its
// keep-alive, and the client's join and receive.
//
// All socket calls live in net/socket_posix.cpp behind NetTransport; the rest
// of net/ is portable and runs in tests against a fake transport and clock.
// Calls between its files run one way: pass -> server, client -> snapshot
// -> wire (the codec), and server, client -> datagram -> net_state ->
// socket_posix. storm (hostile datagrams, written through the codec) and
// impair serve the test tools; the transport's forged send uses storm's
// packet builder.
//
// Wire format: every datagram is exactly kNetMessageSize bytes, little-endian
// on any host. Its byte layout is written once in code, in wire.cpp's field
// functions (the codec: the only code that touches a byte offset), and once
// for people, in README.md's "Protocol" section.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <vector>

#include "base/events.h"
#include "world/world.h"

// Why the game ends (world/world.h).
enum class GameEnd;

// ---------------------------------------------------------------------------
// Constants
// ---------------------------------------------------------------------------

constexpr int kNetMessageSize = 6008;       // bytes in every datagram, both ways
constexpr uint16_t kNetPort = 9899;         // the server's UDP port
constexpr int kMaxClients = 8;              // client slots; slot s drives fighter s + 1
constexpr int kJoinAttempts = 8;            // join requests before a client gives up
constexpr int kJoinWaitSetting = 1234;      // join wait: 1234 / 1000 s + 1234 % 1000 us
constexpr int64_t kKeepAliveEvery = 5;      // check runs when now - 5 > last check (s)
constexpr int64_t kClientTimeout = 30;      // server frees a slot silent this long (s)
// A client that speaks the key extension sends a datagram at least every
// kKeyIdleRefreshMs, so one silent this long has gone (killed, or its
// machine off the network): the server frees its slot then, not after
// kClientTimeout, and its fighter leaves the others' view.
constexpr int64_t kExtendedClientTimeoutMs = 5000;
constexpr int64_t kServerTimeout = 20;      // client gives up on a server silent this long (s)
constexpr int kMaxDatagramsPerPass = 512;   // drain bound: a flood cannot stall a pass
constexpr int kNetNameBytes = 31;           // a server's or level's name on the wire, at most

// Byte sizes of the state body's parts (wire.cpp checks them against its
// field functions at compile time).
constexpr int kStateHeaderSize = 20;        // the message header and the state header
constexpr int kFighterEntrySize = 28;
constexpr int kPreyEntrySize = 20;
constexpr int kBulletEntrySize = 24;
constexpr int kPointEntrySize = 8;
constexpr int kEffectEntrySize = 20;
constexpr int kMaxEntryCount = 255;         // each count travels in one byte
// Bits of the state body's server-flags byte.
constexpr uint8_t kServerFlagPaused = 0x01; // the server's world is paused

// Loss tolerance.
// Key events carry a sequence number and the sender's recent events, so a
// lost one is recovered from the next datagram and a repeated one acts once.
constexpr int kKeyHistory = 32;             // events repeated in every key datagram
constexpr int64_t kKeyRefreshMs = 50;       // client refresh while a key is held or lately sent
constexpr int64_t kKeyIdleRefreshMs = 500;  // client refresh otherwise
constexpr int64_t kKeyRecentMs = 1000;      // "lately sent" for the refresh rate
// A client that speaks the key extension holds its keys only while it is
// heard: silent this long, its fighter's held keys are released.
constexpr int64_t kKeyLeaseMs = 300;
// State bodies carry a sequence number; effect events an id, and each body
// repeats the events of the bodies just before it, so one lost body loses
// no explosion and a repeated one starts none twice.
constexpr int kEffectRepeatBodies = 3;      // earlier bodies whose events are repeated
constexpr int kMaxEffectRepeats = 16;       // repeated events per body at most
constexpr int kStateTailSize = 16;          // the body's trailer, at the datagram's end
constexpr int kEffectRepeatSize = 20;       // one repeated event
constexpr int kEffectIdWindow = 256;        // started ids the client remembers
// What one peer can make a client do is bounded: a body numbered further
// ahead of the last applied one than a minute of passes is not newer, and a
// client starts at most so many explosions from one body and one pass (the
// world keeps at most kMaxExplosions under way).
constexpr uint32_t kMaxBodySeqAhead = 6000;
constexpr int kMaxEffectsPerBody = 16;
constexpr int kMaxEffectsPerPass = 64;
// A client that has applied nothing for this long while its server's bodies
// keep arriving takes the next one whatever its number or clock: the client
// was stopped (Ctrl-Z) for longer than the window, or a forged body within
// the window put it ahead of the real stream. Bodies still applying keep
// the window's rule, so a forged body far ahead changes nothing.
constexpr int64_t kResyncAfterMs = 1000;

// Message kinds (the message header's first field).
enum class NetMessageKind : uint16_t {
    JoinRequest = 1,       // client to server, all zero after the header
    KeepAliveAnswer = 3,   // client to server, the key record of its last key event
    KeyEvent = 4,          // client to server, a key record
    JoinAccepted = 11,     // server to client, all zero after the header
    JoinRefused = 12,      // server to client: no fighter for this client; all zero after the header
    KeepAliveProbe = 13,   // server to client, a state body
    StateUpdate = 14,      // server to client, a state body
    DiscoveryQuery = 21,   // anyone to a server: who serves, who plays (net/discovery.h)
    DiscoveryReply = 22,   // server to the query's sender; never answered
};

// One datagram, as raw bytes. Fields are only ever read and written through
// the codec's functions below, never by casting the buffer.
struct NetMessage {
    uint8_t bytes[kNetMessageSize] = {};
};
static_assert(sizeof(NetMessage) == kNetMessageSize, "a NetMessage is exactly one datagram");

// The key record of KeyEvent and KeepAliveAnswer, also each entry of the
// key extension's history.
struct KeyRecord {
    uint32_t key = 0;      // character code, or the toolkit's special-key code
    uint8_t released = 0;  // 1 for a release
    uint8_t special = 0;   // 1 for a special key
};

// An IPv4 endpoint, both numbers in host order (127.0.0.1 is 0x7F000001).
// Two addresses are the same client when both fields are equal.
struct NetAddress {
    uint32_t ip = 0;
    uint16_t port = 0;
};

// ---------------------------------------------------------------------------
// Platform layer (socket_posix.cpp): every socket call goes through one of these.
// ---------------------------------------------------------------------------

struct NetTransport {
    // Opens a non-blocking UDP socket; binds it to bindPort when `bindIt`.
    // Returns a handle >= 0, or -1 with *failedCall naming the failed call.
    int (*openSocket)(bool bindIt, uint16_t bindPort, const char** failedCall);
    void (*closeSocket)(int sock);
    // 1 when a datagram can be read within timeoutMicros (0 = poll), else 0.
    int (*waitReadable)(int sock, int64_t timeoutMicros);
    // Reads one datagram into buf (at most cap bytes). Returns its full
    // length (more than cap when it was cut), or -1 when the read failed.
    int (*receiveFrom)(int sock, uint8_t* buf, int cap, NetAddress* from);
    // Sends len bytes to `to`; returns the bytes sent or -1.
    int (*sendTo)(int sock, const uint8_t* buf, int len, NetAddress to);
    // Writes this host's name (terminated) into buf; false on failure.
    bool (*hostName)(char* buf, int cap);
    // Parses a dotted IPv4 address; false when `text` is not one.
    bool (*parseDotted)(const char* text, uint32_t* ip);
    // Looks a host name up; false when it cannot be resolved.
    bool (*lookupHost)(const char* name, uint32_t* ip);
    // The port the socket is bound to, 0 when unknown.
    uint16_t (*localPort)(int sock);
    // Writes the broadcast address of every IPv4 interface that is up and
    // has one (at most cap, each once); returns how many.
    int (*broadcastAddresses)(uint32_t* out, int cap);
    // Datagrams the system dropped for want of buffer room (0 when unknown).
    uint32_t (*droppedCount)(int sock);
    // The socket library's last error number.
    int (*lastError)();
    // Opens a non-blocking UDP socket bound to 127.0.0.1:port (0: any free
    // port); -1 on failure. For test tools that must stay on this machine.
    int (*openLoopbackSocket)(uint16_t port);
    // Opens a raw IPv4 socket whose packets carry headers the caller writes,
    // for the hostile-datagram tool; needs root (CAP_NET_RAW). -1 with
    // *failedCall naming the failed call otherwise.
    int (*openRawSocket)(const char** failedCall);
    // Sends len bytes through a raw socket as one UDP datagram that claims
    // to come from `from` (fragmented as a 1500-byte MTU needs); returns
    // len, or -1 when a packet could not be sent.
    int (*sendSpoofed)(int rawSock, const uint8_t* buf, int len, NetAddress from, NetAddress to);
};

// The POSIX sockets implementation (socket_posix.cpp).
NetTransport posixTransport();

// ---------------------------------------------------------------------------
// Process-wide network record (net_state.cpp)
// ---------------------------------------------------------------------------

enum class NetRole : int32_t { Unassigned = 0, Server = 1, Client = 2 };

// The compact wire's memory of recent state bodies, by body number: a peer
// keeps the last kCompactRing bodies it sent (the server, per client) or
// received (the client), to code the next one as its difference from one
// both hold.
constexpr int kCompactRing = 32;            // 320 ms of bodies at 100 a second
struct BodyRing {
    std::vector<NetMessage> bodies;         // kCompactRing once the first is kept
    uint32_t seq[kCompactRing] = {};        // [n % kCompactRing] = n while body n is held
};

struct ClientSlot {
    NetAddress address;
    int32_t inUse = 0;       // 1 while the slot belongs to a client
    int64_t lastHeard = 0;   // calendar seconds of its last datagram
    int64_t lastHeardMs = 0; // steady ms of the same
    // Key extension: false for a client that sends plain key events.
    bool keyExtended = false;
    uint32_t keySeq = 0;         // newest key event applied (0: none yet)
    int64_t keyLeaseUntilMs = 0; // its held keys are released after this
    bool keysHeldByLease = false;  // held keys may be set; cleared on expiry
    // The client's round trip as the server measures it: from a probe sent
    // at the end of a pass in which the client was heard to the answer it
    // gives every probe (net/discovery.cpp). 0 until measured.
    int32_t pingMs = 0;
    bool pingWanted = false;     // a measuring probe goes with this pass's bodies
    bool pingProbing = false;    // a measuring probe is under way
    int64_t pingProbeMs = 0;     // steady ms it was sent
    int64_t nextPingMs = 0;      // steady ms from which the next one may go
    // The compact wire (compact.cpp): granted at the join to a client that
    // asked; the bodies sent to it, and the newest one it holds (0: it
    // holds none we know of, or asked for a full body).
    bool compact = false;
    bool columns = false;        // it reads form 3 (kJoinFlagColumns)
    BodyRing compactSent;
    uint32_t compactBase = 0;
    // Round trips measured from the bodies its key datagrams acknowledge
    // (ackedBodySeq), newest at [ackRttCount % kAckRttSamples]; its
    // fighter's pingMs is their minimum.
    int32_t ackRttMs[8] = {};
    uint32_t ackRttCount = 0;
};
constexpr int kAckRttSamples = 8;
// Bodies whose send times the server keeps for the acknowledgements.
constexpr int kSentBodyTimes = 128;

// One recent effect event as the server remembers it for repeating.
struct SentEffect {
    uint32_t id = 0;
    uint32_t bodySeq = 0;    // the body that first carried it
    uint8_t kind = 0;        // EffectKind as it travels
    float x = 0, y = 0, z = 0;
};

struct StateSnapshot;  // a parsed state body (below)

// What a server answers discovery and status queries with, and the limit on
// its answers (net/discovery.cpp). Texts are kept as they travel: at most
// their field's bytes less one, zero-terminated.
constexpr int kServerNameBytes = 64;          // the server's name on the wire
constexpr int kLevelNameBytes = 64;           // the level's file name on the wire
constexpr int kQueryRepliesPerSecond = 20;    // in any one second, at most
struct ServerQueryState {
    char name[kServerNameBytes] = {};   // empty until the server starts: then its host name
    char level[kLevelNameBytes] = {};   // the level file's base name
    uint32_t instance = 0;              // tells two servers of one name and port apart
    int64_t startedMs = 0;              // steady ms when the server's socket opened
    int64_t roundStartMs = 0;           // steady ms of the last new game
    // Send times (steady ms) of the last kQueryRepliesPerSecond replies, a
    // ring; replyNext is the oldest once repliesSent reaches the ring's size.
    int64_t replyMs[kQueryRepliesPerSecond] = {};
    int replyNext = 0;
    uint64_t repliesSent = 0;
    uint64_t queriesLimited = 0;        // well-formed queries left unanswered for the limit
    uint64_t queriesIgnored = 0;        // replies, malformed or short queries, our own port
};

// Lifetime: one record for the whole process, set up by setNetworkDefaults at
// start-up; tests replace it with resetNetStateForTest() between cases.
struct NetState {
    NetRole role = NetRole::Unassigned;
    NetTransport transport{};            // all socket calls
    int64_t (*clockSeconds)() = nullptr; // calendar time, whole seconds
    int64_t (*clockMillis)() = nullptr;  // a steady clock, milliseconds
    int netSocket = -1;                  // -1: no socket (every poll finds nothing)
    uint16_t port = kNetPort;            // server port (tests may use another)

    // The level this process plays, as the join compares it: the file's
    // base name and levelDigest (0: not known; nothing is compared).
    std::string levelName;
    uint64_t levelDigest = 0;

    // Server.
    ClientSlot clients[kMaxClients];
    int maxClients = kMaxClients;        // slots offered (--max-players), 1..kMaxClients
    std::string serverName;              // players see it; empty: startServer takes the host's name
    // Called with each of the server's events (joined, join-refused,
    // slot-freed, left); null: none is written (the windowed game).
    void (*onServerEvent)(const char* event, std::span<const EventField> fields) = nullptr;
    int64_t refusalLogSecond = 0;        // calendar second of the join-refused events counted below
    int refusalsLogged = 0;              // join-refused events written in that second
    uint64_t refusalsUnlogged = 0;       // refusals past the bound since the last one written
    NetAddress lastRefused;              // the last refusal written: whom, and when
    int64_t lastRefusedTime = 0;
    int64_t lastKeepAliveTime = 0;       // 0: the first pass runs the check
    NetMessage joinReply;                // kind set before each send, else zero
    uint32_t bodySeq = 0;                // sequence number of the last packed body
    // Steady ms each recent body was sent, at [seq % kSentBodyTimes].
    uint32_t sentBodySeq[kSentBodyTimes] = {};
    int64_t sentBodyMs[kSentBodyTimes] = {};
    uint32_t nextEffectId = 1;           // id of the next effect event packed
    SentEffect recentEffects[kMaxEffectRepeats];  // ring of the newest events packed
    uint32_t recentEffectCount = 0;      // events ever put in the ring

    // Server: the last packed body (also the source of probes).
    NetMessage snapshotMessage;
    // Server: who it is to discovery and status queries, and their limit.
    ServerQueryState queries;

    // The game's events: the world as the last pass left it, and whether
    // it is a picture to compare with (a client's after its first body).
    WorldPicture lastPicture;
    bool picturePrimed = false;

    // Client.
    // The name our join asks for (net.h's JoinExtension.playerName); empty:
    // the server calls us "player N".
    std::string playerName;
    // The server asked to join, then the one that answered: after the join
    // the client takes datagrams from this address and port only.
    NetAddress serverAddress;
    int32_t connected = 0;               // 1 once a JoinAccepted arrived
    // Calendar seconds of the join or the last body applied: bodies refused
    // as stale do not count, so a server that only repeats old pictures (or
    // a stranger who pretends to be one) still ends in "Server died".
    int64_t lastAppliedTime = 0;
    int64_t lastAppliedMs = 0;           // steady ms of the same (for the resync and the silence)
    int64_t silenceShown = 0;            // whole seconds of silence the message line shows (0: none)
    bool haveRefused = false;            // a body of the server was refused since the last applied
    uint32_t refusedSeq = 0;             // the last refused body's number and clock
    int32_t refusedClockMs = 0;
    NetMessage keyBuffer;                // every KeyEvent / KeepAliveAnswer; keeps its content
    uint32_t keySeq = 0;                 // sequence number of the last key event sent
    KeyRecord keyHistory[kKeyHistory];   // the last events sent, [keySeq % kKeyHistory]
    uint8_t heldKeys[32] = {};           // ordinary keys whose last event sent was a press
    int64_t lastKeySentMs = 0;           // steady ms of the last key event
    int64_t lastKeyRefreshMs = 0;        // steady ms of the last key datagram of any kind
    bool haveSnapshot = false;           // a state body has been applied
    uint32_t appliedSeq = 0;             // its sequence number (extended server)
    int32_t appliedClockMs = 0;          // its serverClockMs (plain server)
    uint32_t startedEffectIds[kEffectIdWindow] = {};  // [id % window] = id once started
    uint32_t newestEffectId = 0;
    bool levelChecked = false;           // the join's answer was compared with our level
    int joinAnswerFighters = -1;         // fighters of a body that answered the join (-1: none)
    bool levelMismatchReported = false;  // the fighter-count warning was written
    // The compact wire: asked for at the join (maze-bot --plain does not),
    // then granted by the server's answer. The StateUpdates received; every
    // key datagram names the newest applied as the base for the next
    // (compactBaseToName); compactWantFull asks for a full body instead (a
    // body came coded against one this client does not hold).
    bool compactAsk = true;
    bool compactGranted = false;
    BodyRing compactReceived;
    uint32_t compactBaseSent = 0;        // the base the last key datagram named
    bool compactWantFull = false;
    // The server codes its bodies as the body codec's form 3, so it also
    // reads key datagrams coded by their fields (writeCompactKey); cleared
    // at each join, as a server of the last version reads only form 1.
    bool compactKeyFields = false;
    // Called with every well-formed state body the client takes from its
    // server, parsed, and whether it is newer than all before it (maze-bot
    // measures with it); null in the game.
    void (*onStateReceived)(const StateSnapshot& body, bool newer) = nullptr;

    // Counters, for tests and measurements.
    uint64_t datagramsReceived = 0;      // of the right size
    uint64_t datagramsDropped = 0;       // wrong size, unknown sender, bad body
    uint64_t datagramsForeign = 0;       // client: from anyone but its server (also dropped)
    uint64_t bodiesApplied = 0;          // client: state bodies applied to the world
    uint64_t bodiesStale = 0;            // client: bodies refused as not newer
    uint64_t bodiesResynced = 0;         // client: bodies taken after kResyncAfterMs refused
    uint64_t keyEventsApplied = 0;       // server: client key events acted on
    uint64_t keyEventsRepeated = 0;      // server: key events refused as already applied
    uint64_t bytesReceived = 0;          // every datagram read, all sizes
    uint64_t compactDecoded = 0;         // compact datagrams decoded and taken
    uint64_t compactRefused = 0;         // compact: a stranger's, unknown base, malformed
};

extern NetState net;

// Gives the network its defaults: POSIX transport, calendar clock, port 9899,
// empty client table, keep-alive clock 0. Call once, first thing at start-up.
void setNetworkDefaults();

// Restores the defaults and closes any socket; for tests, between cases.
void resetNetStateForTest();

// ---------------------------------------------------------------------------
// Wire format: the codec (wire.cpp). Each part has one reader and one
// writer; the readers check every count against the datagram and refuse
// what does not fit or is not finite, the writers never write past it.
// ---------------------------------------------------------------------------

// The message kind: one of NetMessageKind's, or any other 16-bit value a
// stranger sent (compare, never switch without a default).
NetMessageKind messageKind(const NetMessage& msg);
// Writes the message header: the kind, then zero pad and senderWord.
void setMessageKind(NetMessage& msg, NetMessageKind kind);

// Writes the key record of a KeyEvent or KeepAliveAnswer.
void writeKeyRecord(NetMessage& msg, KeyRecord key);
KeyRecord readKeyRecord(const NetMessage& msg);

// The key extension of a KeyEvent or KeepAliveAnswer, after the key record.
struct KeyExtension {
    bool present = false;      // false: a plain peer (all those bytes zero)
    uint32_t newestSeq = 0;    // 0: no key event sent yet
    uint8_t historyCount = 0;  // 0..kKeyHistory, at most newestSeq; history[i] is event newestSeq - i
    KeyRecord history[kKeyHistory];
    uint8_t held[32] = {};     // bit k % 8 of byte k / 8: ordinary key k is held
    // The second block, after the longest history ("MZK2"); read as zeros
    // from a client that sends none.
    uint32_t ackedBodySeq = 0; // the newest state body the client applied; 0 none
    int16_t mouseTurn = 0;     // turning asked by the mouse since the last datagram,
                               // hundredths of a degree, positive to the right
};
// Writes `x` and history[0 .. min(historyCount, kKeyHistory) - 1]; a count
// over kKeyHistory is written as it is (malformed: test tools only). Without
// `present` it writes a plain client's zeros.
void writeKeyExtension(NetMessage& msg, const KeyExtension& x);
// Writes history entry i (0..254) whatever the count says; for test tools.
void writeKeyHistoryEntry(NetMessage& msg, int i, KeyRecord key);
// Reads a key extension; `present` false when there is none or it is
// malformed (no marker, a count over kKeyHistory or over newestSeq).
KeyExtension readKeyExtension(const NetMessage& msg);

// The state body's header, after the message header: its entry counts as
// they travel, whatever entries follow.
struct StateHeader {
    uint8_t yourFighter = 0;   // the receiving client's fighter index
    uint8_t fighters = 0, prey = 0, bullets = 0;
    uint8_t pointsA = 0, pointsB = 0;  // the reserved point lists (0 from our server)
    uint8_t effects = 0;
    uint8_t serverFlags = 0;   // kServerFlagPaused; 0 from a plain server
    int32_t serverClockMs = 0; // ms within the server's current UTC minute
};
StateHeader readStateHeader(const NetMessage& body);
// The byte after the last entry the header's counts place (the header
// included); a body holds them only when it is at most kNetMessageSize.
size_t stateEntriesEnd(const StateHeader& h);
void writeStateHeader(NetMessage& body, const StateHeader& h);
// The header's yourFighter alone (the server sets it per client).
uint8_t messageYourFighter(const NetMessage& msg);
void setMessageYourFighter(NetMessage& msg, uint8_t fighter);
// Sets the body's effect count to 0, for a probe that copies a body whose
// events went out already; the trailer (numbers and repeats) stays.
void dropStateEffects(NetMessage& body);

// The state body's trailer, at the datagram's end (its marker implied).
struct StateTrailer {
    uint32_t bodySeq = 0;        // 1, 2, 3 ... per server process; 0 is never sent
    uint32_t firstEffectId = 0;  // id of effect entry 0; entry i has id + i
    uint8_t repeatCount = 0;     // repeated events before the trailer, 0..kMaxEffectRepeats
    uint8_t extras = 0;          // 1: the extras block lies before the repeats
};

// The body's extras: what our clients show beyond the world (names, the
// scoreboard's figures, the round) and the client's own key acknowledgement.
// A fixed-size block before the repeats, announced by the trailer; a plain
// peer never reads it.
constexpr int kExtrasFighters = 10;         // fighter records in every extras block
constexpr int kExtrasSize = 380;            // bytes of the block (wire.cpp checks it)
constexpr uint8_t kNoWinner = 0xFF;
constexpr uint8_t kWireDestroyedByUnknown = 0xFF;
constexpr uint8_t kWireDestroyedByPrey = 0xFE;
struct FighterExtras {
    char name[kPlayerNameMax + 1] = {};     // printable ASCII, NUL-ended; empty: "player N"
    int32_t fightersDestroyed = 0;
    int32_t deaths = 0;
    int16_t pingMs = -1;                    // -1: not measured
    uint16_t protectMs = 0;                 // respawn protection left
    int32_t respawnMs = 0;                  // a destroyed fighter's wait left; 0 none
    uint8_t destroyedBy = kWireDestroyedByUnknown;  // a fighter index or kWireDestroyedBy*
};
struct StateExtras {
    bool present = false;
    // Set by the sender per client (setBodyAckedKeySeq): the newest key
    // event of the receiving client that the server has applied.
    uint32_t ackedKeySeq = 0;
    int32_t roundElapsedMs = 0;
    int32_t roundRestartMs = 0;
    uint8_t roundOver = 0;                  // 0 or 1
    uint8_t roundWinner = kNoWinner;        // a fighter index, or kNoWinner
    uint8_t fighterCount = 0;               // records in use, 0..kExtrasFighters
    FighterExtras fighters[kExtrasFighters];
};
// Writes the trailer alone, whatever its count; for test tools (bodies are
// written whole by writeStateSnapshot).
void writeStateTrailer(NetMessage& body, const StateTrailer& t);

// The state body's entries, as they travel.
struct FighterEntry {
    float x = 0, y = 0;
    float heading = 0;       // degrees
    uint8_t active = 0;      // 1: in play
    int32_t score = 0;
    float health = 0;
    int32_t bullets = 0;
};
struct PreyEntry {
    float x = 0, y = 0;
    float heading = 0;       // degrees, of the legs
    float bodyTurn = 0;      // degrees, upper body relative to the legs
    uint8_t pose = 0;        // 0..17
};
struct BulletEntry {
    float x = 0, y = 0, z = 0;
    float heading = 0, pitch = 0;  // degrees
    uint32_t shooterKind = 0;      // ShooterKind
};
struct PointEntry {
    float x = 0, y = 0;
};
// An effect event: an entry of the body's own (its id from the trailer) or
// a repeat of an earlier body's (its id travels with it).
struct EffectEntry {
    uint8_t kind = 0;        // EffectKind: 0 large, 1 small
    float x = 0, y = 0, z = 0;
    uint32_t id = 0;         // 0: from a plain server (no ids)
};
// A whole state body: parsed and checked once, before anything touches the
// world; or built by the server (or a test tool) and written in one go.
struct StateSnapshot {
    NetMessageKind kind = NetMessageKind{};
    uint8_t yourFighter = 0;
    uint8_t serverFlags = 0;            // kServerFlagPaused; 0 from a plain server
    int32_t serverClockMs = 0;
    std::vector<FighterEntry> fighters;
    std::vector<PreyEntry> prey;
    std::vector<BulletEntry> bullets;
    std::vector<PointEntry> pointsA, pointsB;
    std::vector<EffectEntry> effects;   // this body's own events
    bool hasSeq = false;                // the trailer is present
    uint32_t bodySeq = 0;
    uint32_t firstEffectId = 0;         // with the trailer: effects[i].id is this + i
    std::vector<EffectEntry> repeats;   // events of earlier bodies, with ids
    StateExtras extras;                 // with the trailer only
};
// Parses a state body: false (and `out` unusable) when any entry lies past
// the datagram, whatever the counts claim, or a float is not finite. A
// trailer that overlaps the entries or is malformed is ignored.
bool parseStateSnapshot(const NetMessage& body, StateSnapshot& out);
// Writes a whole state body: the message header (s.kind), the state header
// with the lists' counts, the entries, and with hasSeq the repeats and the
// trailer; the bytes between the entries and the repeats keep what they
// held. False, writing nothing, when a list is longer than kMaxEntryCount,
// the repeats more than kMaxEffectRepeats, or it all does not fit.
bool writeStateSnapshot(const StateSnapshot& s, NetMessage& body);
// True when `body` is a well-formed state body.
bool stateBodyValid(const NetMessage& body);
// Sets the extras' ackedKeySeq of a body that carries extras (the server, per
// client, as it sets yourFighter); a body without them is left as it is.
void setBodyAckedKeySeq(NetMessage& body, uint32_t seq);

// Our extension of JoinRequest, JoinAccepted and JoinRefused, after the
// message header: the sender's level, and a refusal's reason. A plain peer
// sends those bytes zero and reads none of them.
enum class JoinRefusal : uint8_t {
    Unsaid = 0,      // a plain server, or a reason this build does not know
    Full = 1,        // every place offered is taken (or has no fighter)
    OtherLevel = 2,  // the client's level digest is not the server's
};
struct JoinExtension {
    bool present = false;      // false: a plain peer (no marker)
    JoinRefusal refusal = JoinRefusal::Unsaid;  // JoinRefused only
    uint64_t levelDigest = 0;  // 0: not known
    std::string levelName;     // at most kNetNameBytes, printable ASCII (others read as '?')
    uint8_t flags = 0;         // kJoinFlag*: asked by a JoinRequest, granted by a JoinAccepted
    std::string playerName{};  // JoinRequest: the player's name, 0..kPlayerNameMax printable ASCII
};
constexpr uint8_t kJoinFlagCompact = 0x01;  // the compact wire between our own peers
// With kJoinFlagCompact: the client reads bodies rearranged by column (the
// codec's form 3). A compact client of the last version does not ask, and
// gets its bodies as it reads them (form 2).
constexpr uint8_t kJoinFlagColumns = 0x02;
// Writes the extension (a longer name is cut to kNetNameBytes); without
// `present`, a plain peer's zeros.
void writeJoinExtension(NetMessage& msg, const JoinExtension& x);
// Reads it; `present` false without the marker or with a name length over
// kNetNameBytes.
JoinExtension readJoinExtension(const NetMessage& msg);

// ---------------------------------------------------------------------------
// The world's picture (snapshot.cpp): the server packs the world, a client
// applies it.
// ---------------------------------------------------------------------------

// Server: writes the world as a StateUpdate body for fighter 0 (the sender
// sets kind and yourFighter per client): the next body sequence number, the
// world's effect events with their ids and the earlier bodies' repeated;
// then empties gs.effectEvents. What does not fit (in the datagram or a
// count byte) is left out: the trailer first, then fighters, effects, prey,
// and bullets get what room is left.
void packState(NetMessage& body);
// A bullet entry as the world keeps it (position, flight direction, shooter).
struct Bullet;
Bullet bulletOfEntry(const BulletEntry& e);
// A prey entry as the world keeps it (position, heading, pose, body turn).
struct Prey;
Prey preyOfEntry(const PreyEntry& e);
// Client: copies a checked snapshot into the world: the local fighter index
// (only when it names a local fighter), then, if the fighter counts agree,
// the fighters, prey, bullets and point lists. Starts no explosions.
void applySnapshot(const StateSnapshot& s);
// Client: parses and applies a state body; a malformed one changes nothing.
void applyState(const NetMessage& body);
// Client: starts the explosions of a snapshot's effect events that have not
// been started before (by id; a plain server's events when `newer`), at most
// `budget` of them; returns how many it started. A paused server's body
// starts none (a paused world makes no hits). An event left out for the
// budget is not marked started: a later body's repeat may still start it.
int startSnapshotEffects(const StateSnapshot& s, bool newer, int budget = kMaxEffectsPerBody);
// Client: true when the snapshot is newer than the one applied last: by
// sequence number (at most kMaxBodySeqAhead ahead), or for a plain server by
// its clock across the minute (a StateUpdate with the same clock is newer,
// a probe, the last body's copy, is not).
bool snapshotIsNewer(const StateSnapshot& s);
// True when `s` follows a body numbered baseSeq (0: none, a plain server)
// with clock baseClockMs by the same rules.
bool snapshotFollows(const StateSnapshot& s, uint32_t baseSeq, int32_t baseClockMs);

// ---------------------------------------------------------------------------
// The body codec (body_codec.cpp): a whole state body, trailer included, as
// its difference from an earlier body, compressed. One codec serves the
// compact wire between our own peers and the recordings.
// ---------------------------------------------------------------------------

// Room enough for any body encodeBody writes, whatever the bytes.
constexpr int kMaxCodedBodySize = kNetMessageSize + 64;
// Encodes `body` against `base` (nullptr: on its own, a full body) into
// out[0 .. capacity - 1]. Returns the bytes written, or 0 when the result
// does not fit in `capacity`.
int encodeBody(const NetMessage* base, const NetMessage& body, uint8_t* out, int capacity);
// The same in the last version's coding (the body whole against the base as
// zstd's prefix), which decodeBody still reads: for benchmarks and tests.
int encodeBodyPrefix(const NetMessage* base, const NetMessage& body, uint8_t* out, int capacity);
// Decodes size bytes that encodeBody wrote against the same base (nullptr
// for a full body) into `body`. False, with `body` unusable, when the bytes
// are malformed or do not decode to exactly kNetMessageSize bytes; never
// reads or writes beyond the buffers, whatever the bytes claim.
bool decodeBody(const NetMessage* base, const uint8_t* in, int size, NetMessage& body);

// ---------------------------------------------------------------------------
// The compact wire between our own peers (compact.cpp)
//
// A peer that asked at the join (kJoinFlagCompact) and was granted it sends
// and receives compact datagrams: a 13-byte header (the marker "MZC" and
// version 1, the kind, the base body's number and the body's own), then a
// whole 6008-byte datagram coded by encodeBody. A state body is coded
// against the newest body the client said it holds (full when none held is
// known); a key datagram by its fields (writeCompactKey) to a server that
// codes bodies as form 3, else on its own. A datagram whose coding would not fit
// kCompactMaxSize goes out plain. After decoding, everything takes the
// plain datagram's path and checks.
// ---------------------------------------------------------------------------

constexpr int kCompactMaxSize = 1200;       // bytes in any compact datagram: one packet on any link
constexpr int kCompactHeaderSize = 13;
// A compact client names its newest body held at least this often while
// new ones arrive (a key datagram is 34 to 99 bytes), so the server's
// base stays a few bodies old.
constexpr int64_t kCompactAckEveryMs = 20;
enum class CompactKind : uint8_t { Body = 1, Key = 2 };
struct CompactHeader {
    CompactKind kind = CompactKind::Body;
    uint32_t baseSeq = 0;   // Body: the base's number, 0 a full body. Key: the newest body held, 0 none
    uint32_t bodySeq = 0;   // Body: its own number (its trailer's); Key: 0
};
// True when `bytes` (size of them) begin with the compact marker and fit.
bool isCompactDatagram(const uint8_t* bytes, int size);
// Reads the header of a compact datagram; false when it is not one or its
// kind is unknown.
bool readCompactHeader(const uint8_t* bytes, int size, CompactHeader& h);
// Writes the kCompactHeaderSize bytes of the header into out.
void writeCompactHeader(const CompactHeader& h, uint8_t* out);
// Writes the header and `msg` coded against `base` (nullptr: on its own)
// into out[0 .. kCompactMaxSize - 1]; returns the bytes, 0 when it does not fit.
// Without `columns` a difference is coded as the last version reads it
// (encodeBodyPrefix).
int writeCompactDatagram(const CompactHeader& h, const NetMessage* base, const NetMessage& msg,
                         uint8_t* out, bool columns = true);
// Decodes a compact datagram's coded bytes against `base` into `msg`
// (never more than kNetMessageSize bytes); false when malformed.
bool readCompactDatagram(const uint8_t* bytes, int size, const NetMessage* base, NetMessage& msg);
// A key datagram coded by its fields (form 4: kind, key record, key
// extensions, the history's records in 2 to 6 bytes each) into
// out[0 .. kCompactMaxSize - 1]; 0 when `msg` holds bytes those fields do
// not give back exactly (then writeCompactDatagram codes it whole).
int writeCompactKey(const CompactHeader& h, const NetMessage& msg, uint8_t* out);
// Decodes a compact key datagram of either coding (form 4 or a whole
// message, form 1) into `msg`; false when malformed.
bool readCompactKey(const uint8_t* bytes, int size, NetMessage& msg);
// Keeps body number `seq` (not 0) in the ring, in place of the body
// kCompactRing numbers older.
void keepBody(BodyRing& ring, uint32_t seq, const NetMessage& body);
// Body number `seq` while the ring holds it, else nullptr.
const NetMessage* heldBody(const BodyRing& ring, uint32_t seq);
// The state trailer's body number of a body, 0 when it has none.
uint32_t bodySeqOf(const NetMessage& body);

// Server: sends a state body to slot s that speaks the compact wire, coded
// against the newest body the client holds; a StateUpdate is kept as a
// later base. Plain when the coding does not fit.
void sendCompactBody(int slot, const NetMessage& body);
// Server: a compact datagram of `size` bytes from `from`: only a seated
// client granted the compact wire is decoded (nothing else costs a decode);
// a key datagram updates the slot's base and becomes `out`. Returns the
// slot, or -1 when it is dropped (counted).
int takeCompactFromClient(const uint8_t* bytes, int size, NetAddress from, NetMessage& out);
// Client: sends a key datagram, compact when granted, naming the newest
// body held (0 when a full body is wanted).
bool sendCompactKey(const NetMessage& msg);
// Client (that asked for the wire): decodes a compact body of its server
// into `out`, which also tells of the grant when the join's answer was
// lost; false (counted, a full body asked for when the base is not held)
// when it cannot.
bool takeCompactFromServer(const uint8_t* bytes, int size, NetMessage& out);
// Client: keeps a StateUpdate of its server (plain or decoded) as a base.
void keepReceivedBody(const NetMessage& body);
// Client: the base its next key datagram names: the newest body applied
// while the ring holds it as a StateUpdate, else 0 (a full body, please).
uint32_t compactBaseToName();

// ---------------------------------------------------------------------------
// Server (server.cpp)
// ---------------------------------------------------------------------------

// Frees every client slot, opens the server socket on net.port and prints
// "Server named %s waiting on port %d"; on failure writes the error line and
// goes on without a socket.
void startServer();
// Takes one datagram: 1 with the message and the sender's slot (-1 when the
// datagram is to be dropped: wrong size, or an address without a slot);
// 0 when nothing more is to be read this pass. Answers JoinRequests itself.
int receiveFromClient(NetMessage& out, int& slot);
// Gives a new address a slot and prepares its fighter, named `name` (made
// unique; empty: "player N"); returns the slot (the existing one for a known
// address), or -1 when no slot with a fighter is free.
int admitClient(NetAddress address, const std::string& name = "");
// The slot in use that holds this address, refreshing its lastHeard and
// lastHeardMs; -1 for an unknown address.
int findClient(NetAddress address);
// Frees slots silent for more than kClientTimeout and probes the others not
// heard from in the current second.
void keepAliveCheck();
// Frees the slots of clients that speak the key extension and have been
// silent for more than kExtendedClientTimeoutMs. The server runs it every
// pass, after the drain.
void releaseSilentExtendedClients();
// Frees slot s (in use) of a client that stopped answering: its fighter
// becomes Absent, and "player N left (not answering)", N its fighter number
// (as "Fighter N dead!!" names it), goes on standard output and the message
// line.
void releaseSilentClient(int slot);
// Sends the slot a copy of the state buffer as a KeepAliveProbe.
void sendProbe(int slot);
// Sends `buffer` to every slot in use, yourFighter set to slot + 1.
void broadcastState(NetMessage& buffer);
// Applies a client's KeyEvent to fighter slot + 1, dropping what no client
// may send (key codes of 256 or more, the local-only keys). Returns what
// fighterKeyAction returns: GameEnd::QuitAsked once this server's own
// player asked to quit.
GameEnd applyClientKey(int slot, KeyRecord key);

// Server idle pass, before the world step: the keep-alive check when due,
// then drains the socket applying each client's key events to its fighter,
// then lets go of the silent: held keys after kKeyLeaseMs, slots of clients
// of ours after kExtendedClientTimeoutMs.
// Stops at once and returns GameEnd::QuitAsked when a key event finds this
// server's quit asked for; else GameEnd::Playing.
GameEnd serverNetworkReceive();
// Server idle pass, after the world step: packs the world and sends it to
// every client slot in use.
void serverNetworkSend();

// ---------------------------------------------------------------------------
// Joining with a level, and the server's events (join.cpp)
// ---------------------------------------------------------------------------

// Server: the answer to a JoinRequest from `from`, written into `reply`:
// JoinRefused when the request carries a level digest other than ours (a
// plain client's zeros are admitted as before) or admitClient finds no
// place, else JoinAccepted; either way with our level's name and digest in
// the join extension. Writes the join-refused event (at most
// kRefusalEventsPerSecond a second, and one per client and reason while it
// retries).
void writeJoinAnswer(const NetMessage& request, NetAddress from, NetMessage& reply);
constexpr int kRefusalEventsPerSecond = 5;
constexpr int64_t kRefusalRepeatSeconds = 30;
// Client: the join extension its JoinRequest carries (our level).
JoinExtension ourJoinExtension();
// Client: false, after the line naming both levels, when an answer from an
// extended server tells of another level than ours; true otherwise (a plain
// server's answer included: the fighter count is checked later).
bool joinAnswerKeepsLevel(const NetMessage& answer);
// Client: writes why a JoinRefused refused us: the server is full, or it
// plays another level (naming both).
void reportJoinRefused(const NetMessage& refused);

// A level digest as people read it: 16 lower-case hexadecimal digits.
std::string levelDigestText(uint64_t digest);
// The server's name when no --server-name is given: the host's name, cut
// to kNetNameBytes (at a character's first byte).
std::string serverNameFrom(const char* hostName);
// A player's name as players and operators see it: its fighter's name, else
// "player N", N its fighter number.
std::string playerName(int fighter);
// "a.b.c.d:port".
std::string addressText(NetAddress a);
// Hands one event to net.onServerEvent, if set.
void serverEvent(const char* event, std::initializer_list<EventField> fields);
// The events of a slot: joined (admitClient took it), slot-freed (the
// keep-alive freed it after `silentSeconds` of silence), left (the server
// ends while it is in use: reason server-stopped).
void announceJoined(int slot);
void announceSlotFreed(int slot, int64_t silentSeconds);
void announceLeft(int slot, const char* reason);

// ---------------------------------------------------------------------------
// Client (client.cpp)
// ---------------------------------------------------------------------------

// Client start-up: joins the server named by a host name or dotted address.
// Returns true when the server accepted; a refused client reads why on the
// error stream and gets false at once. Prints nothing on silence. Only an
// answer from the server's port (and address, unless it was the broadcast
// address) counts; it fixes net.serverAddress. A state body as the answer is
// the level check's body (see clientReceivePass).
bool connectToServer(const char* hostName);
// Client: sends one key event to the server (from the kept key buffer).
void sendKeyEvent(int key, bool released, bool special);
// Client: the key extension its next key datagram carries: net.keySeq, the
// last events sent (newest first) and the keys held.
KeyExtension clientKeyExtension();
// Client: drains the socket (answering probes, starting each new body's
// effects), applies the stored state and removes finished explosions.
// Datagrams from anyone but net.serverAddress are dropped and counted. The
// first state body after the join is compared with our level's fighter count
// (the line is written and levelMismatchReported set when they differ).
// From the first whole second without a body applied, the message line says
// "Server not answering (N s)", N counting up each second; the next body
// applied says "Server answering again". Returns false when no body has
// been applied for more than kServerTimeout.
bool clientReceivePass();
// Client: waits up to timeoutMicros for a datagram; true when one is ready.
bool clientWaitForDatagram(int64_t timeoutMicros);
// Client: sends the key extension as a KeepAliveAnswer when one is due
// (every kKeyRefreshMs while a key is held or lately sent, else every
// kKeyIdleRefreshMs).
void sendKeyRefresh();

// Gunfire a client hears. The server sends no sound of its own: a client
// compares the bullets of each newer state body it receives with those of
// the body before it, and each fighter's bullets left with its count then.
// The guns that fired between two pictures of the bullets in flight. A bullet
// of `now` is an old one when a bullet of `before` with its shooter kind and
// direction lies 0..8 world steps back along its flight line; any other is a
// new shot of its shooter's kind.
struct GunfireHeard {
    bool fighterCannon = false;
    bool preyCannon = false;
};
GunfireHeard newGunfire(const std::vector<Bullet>& before, const std::vector<Bullet>& now);
// Both guns heard in either.
GunfireHeard& operator|=(GunfireHeard& a, GunfireHeard b);
// For every newer body of a receive pass, in the order received (a shot
// whose bullet lived only in a body the pass did not apply is heard too):
// the new shots since the last body heard, by the bullets (an unchanged
// picture, the same state again, has none) and by any fighter's bullet
// count that fell; then remembers this body. Without a running sound engine
// (maze-bot) nothing is compared or remembered.
GunfireHeard hearServerGunfire(const StateSnapshot& body);
// Once a pass: plays the fighter and the prey cannon once each if heard (a
// second start in one pass would only cut the first before it sounds).
void playGunfire(GunfireHeard heard);

// ---------------------------------------------------------------------------
// Both ends (datagram.cpp)
// ---------------------------------------------------------------------------

// Takes one datagram from net.netSocket: 1 with a datagram of exactly
// kNetMessageSize bytes and its sender; 2 with a compact datagram (at most
// kCompactMaxSize bytes with the compact marker, not yet checked further;
// in `out` as it came); -1 when one was read and dropped for its size
// (counted; `out` then holds its first bytes and `from` its sender); 0
// when nothing more can be read this pass. *length, when asked, is the
// datagram's real length.
int takeDatagram(NetMessage& out, NetAddress& from, int* length = nullptr);

// ---------------------------------------------------------------------------
// Idle passes (pass.cpp; the windowed game and the windowless server share them)
// ---------------------------------------------------------------------------

// One server pass: reads the clock, regenerates health, receives, advances
// undrawn explosions, steps the world, copies the HUD values and sends the
// world to every client. Without a socket it keeps "No client can join: ..."
// on the message line. Returns why the game ends, doing nothing more from
// there: GameEnd::QuitAsked once stopRequested() (before anything else) or
// when the receive finds the quit asked for; else GameEnd::Playing.
[[nodiscard]] GameEnd serverIdlePass();
// One client pass: reads the clock, advances undrawn explosions, runs
// clientReceivePass and copies the HUD values. Returns why the game ends:
// GameEnd::QuitAsked once stopRequested() (before anything else),
// ServerDied when clientReceivePass returns false, LevelMismatch once the
// server's level proved to have another number of fighters (the line saying
// so is written); else GameEnd::Playing.
[[nodiscard]] GameEnd clientIdlePass();

// ---------------------------------------------------------------------------
// Impairment of a link, for the test relay (impair.cpp, tools/maze_relay.cpp)
// ---------------------------------------------------------------------------

// What a poor network does to the datagrams of one direction.
struct ImpairSettings {
    double loss = 0.0;       // share of datagrams lost, 0..1
    double duplicate = 0.0;  // share of those kept that arrive twice
    double reorder = 0.0;    // share held back one more delay, behind later ones
    int delayMs = 0;         // mean one-way delay
    int jitterMs = 0;        // each datagram's delay: delayMs +- jitterMs, uniform
};

// One direction: its settings and what it did so far.
struct ImpairLink {
    ImpairSettings settings;
    uint64_t in = 0, lost = 0, duplicated = 0, reordered = 0;
};

// Decides the fate of one datagram arriving at nowMs: returns how many copies
// go on (0, 1 or 2) and writes the time each is due. Draws on the world's
// random generator, so a seed (randomSeed) repeats a run.
int impairDatagram(ImpairLink& link, int64_t nowMs, int64_t dueMs[2]);
