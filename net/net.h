// net.h -- the network: the fixed-size datagram, the state picture that the
// server packs and the clients apply, the server's client table with its
// keep-alive, and the client's join and receive.
//
// All socket calls live in net/socket_posix.cpp behind NetTransport; the rest
// of net/ is portable and runs in tests against a fake transport and clock.
//
// Wire format: every datagram is exactly kNetMessageSize bytes, written and
// read byte by byte, little-endian on any host. Header: u16 kind, 2 zero
// bytes, u32 senderWord (always 0). See wire.cpp for the body layouts.
#pragma once

#include <cstddef>
#include <cstdint>

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
constexpr int64_t kServerTimeout = 20;      // client gives up on a server silent this long (s)
constexpr int kMaxDatagramsPerPass = 512;   // drain bound: a flood cannot stall a pass

// Byte sizes of the state body's parts.
constexpr int kStateHeaderSize = 20;
constexpr int kFighterEntrySize = 28;
constexpr int kPreyEntrySize = 20;
constexpr int kBulletEntrySize = 24;
constexpr int kPointEntrySize = 8;
constexpr int kEffectEntrySize = 20;
constexpr int kMaxEntryCount = 255;         // each count travels in one byte
// Bits of the state body's server-flags byte (offset 15).
constexpr uint8_t kServerFlagPaused = 0x01; // the server's world is paused

// Message kinds (header offset 0, u16).
enum NetMessageKind : uint16_t {
    JoinRequest = 1,       // client to server, all zero after the header
    KeepAliveAnswer = 3,   // client to server, bytes 8..15 of its last key event
    KeyEvent = 4,          // client to server, key record at 8..15
    JoinAccepted = 11,     // server to client, all zero after the header
    JoinRefused = 12,      // server to client: no fighter for this client; all zero after the header
    KeepAliveProbe = 13,   // server to client, a state body
    StateUpdate = 14,      // server to client, a state body
};

// One datagram, as raw bytes. Fields are only ever read and written through
// the accessors below (byte by byte), never by casting the buffer.
struct NetMessage {
    uint8_t bytes[kNetMessageSize] = {};
};
static_assert(sizeof(NetMessage) == kNetMessageSize, "a NetMessage is exactly one datagram");

// The key record of KeyEvent and KeepAliveAnswer (offsets 8..13).
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
// Platform layer: every socket call goes through one of these.
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
    // Datagrams the system dropped for want of buffer room (0 when unknown).
    uint32_t (*droppedCount)(int sock);
    // The socket library's last error number.
    int (*lastError)();
};

// The POSIX sockets implementation (socket_posix.cpp).
NetTransport posixTransport();

// ---------------------------------------------------------------------------
// Process-wide network record
// ---------------------------------------------------------------------------

enum NetRole : int32_t { RoleNone = 0, RoleServer = 1, RoleClient = 2 };

struct ClientSlot {
    NetAddress address;
    int32_t inUse = 0;       // 1 while the slot belongs to a client
    int64_t lastHeard = 0;   // calendar seconds of its last datagram
};

// Lifetime: one record for the whole process, set up by setNetworkDefaults at
// start-up; tests replace it with resetNetStateForTest() between cases.
struct NetState {
    NetRole role = RoleNone;
    NetTransport transport{};            // all socket calls
    int64_t (*clockSeconds)() = nullptr; // calendar time, whole seconds
    int netSocket = -1;                  // -1: no socket (every poll finds nothing)
    uint16_t port = kNetPort;            // server port (tests may use another)

    // Server.
    ClientSlot clients[kMaxClients];
    int64_t lastKeepAliveTime = 0;       // 0: the first pass runs the check
    NetMessage joinReply;                // kind set before each send, else zero

    // Both: the server's packed body / the client's latest state datagram.
    NetMessage snapshotMessage;

    // Client.
    NetAddress serverAddress;
    int32_t connected = 0;               // 1 once a JoinAccepted arrived
    int64_t lastHeardTime = 0;           // calendar seconds of the last datagram
    NetMessage keyBuffer;                // every KeyEvent / KeepAliveAnswer; keeps its content
    bool haveSnapshot = false;           // a valid state body is stored
    bool levelMismatchReported = false;  // the fighter-count warning was written
    // Called with every state datagram the client takes (maze-bot measures
    // with it); null in the game.
    void (*onStateReceived)(const NetMessage& msg) = nullptr;

    // Counters, for tests and measurements.
    uint64_t datagramsReceived = 0;      // of the right size
    uint64_t datagramsDropped = 0;       // wrong size, unknown sender, bad body
};

extern NetState net;

// Gives the network its defaults: POSIX transport, calendar clock, port 9899,
// empty client table, keep-alive clock 0. Call once, first thing at start-up.
void setNetworkDefaults();

// Restores the defaults and closes any socket; for tests, between cases.
void resetNetStateForTest();

// ---------------------------------------------------------------------------
// Wire format
// ---------------------------------------------------------------------------

// The message kind at offset 0.
uint16_t messageKind(const NetMessage& msg);
// Writes the kind at offset 0 and zero to bytes 2..7.
void setMessageKind(NetMessage& msg, uint16_t kind);
// The state body's yourFighter byte (offset 8).
uint8_t messageYourFighter(const NetMessage& msg);
void setMessageYourFighter(NetMessage& msg, uint8_t fighter);
// The server clock of a state body (offset 16).
int32_t messageServerClock(const NetMessage& msg);
// Writes the key record into bytes 8..15 (14..15 zero).
void writeKeyRecord(NetMessage& msg, KeyRecord key);
// Reads the key record from bytes 8..13.
KeyRecord readKeyRecord(const NetMessage& msg);

// Server: writes bytes 9..14, serverClockMs and the entries from the world,
// then empties gs.effectEvents. Never writes past the datagram: what does not
// fit (in 6008 bytes or a count byte) is left out, bullets first.
void packState(NetMessage& body);

// One fighter entry as the client reads it (for tests and maze-bot).
struct FighterEntry {
    float x = 0, y = 0, heading = 0;
    uint8_t active = 0;
    int32_t score = 0;
    float health = 0;
    int32_t bullets = 0;
};
// True when `body` is a well-formed state body (every entry within the
// datagram, every float finite).
bool stateBodyValid(const NetMessage& body);
// Reads fighter entry i of a valid state body; false when there is none.
bool readFighterEntry(const NetMessage& body, int i, FighterEntry* out);

// Client: copies a state body into the world: the local fighter index (only
// when it names a local fighter), then, if the fighter counts agree, the
// fighters, prey, bullets and point lists. A malformed body changes nothing.
// Starts no explosions (see startStateEffects).
void applyState(const NetMessage& body);
// Client: starts the explosions of a valid state body's effect events; call
// once per datagram received.
void startStateEffects(const NetMessage& body);

// ---------------------------------------------------------------------------
// Server
// ---------------------------------------------------------------------------

// Frees all 8 client slots.
void clearClientTable();
// Opens the server socket on net.port and prints "Server named %s waiting on
// port %d"; on failure writes the error line and goes on without a socket.
void startServer();
// Takes one datagram: 1 with the message and the sender's slot (-1 when the
// datagram is to be dropped: wrong size, or an address without a slot);
// 0 when nothing more is to be read this pass. Answers JoinRequests itself.
int receiveFromClient(NetMessage& out, int& slot);
// Gives a new address a slot and prepares its fighter; returns the slot
// (the existing one for a known address), or -1 when no slot with a fighter
// is free.
int admitClient(NetAddress address);
// The slot in use that holds this address, refreshing its lastHeard; -1 for
// an unknown address.
int findClient(NetAddress address);
// Frees slots silent for more than kClientTimeout (their fighter becomes
// Absent) and probes the others not heard from in the current second.
void keepAliveCheck();
// Sends the slot a copy of the state buffer as a KeepAliveProbe.
void sendProbe(int slot);
// Sends `buffer` to every slot in use, yourFighter set to slot + 1.
void broadcastState(NetMessage& buffer);
// Applies a client's KeyEvent to fighter slot + 1, dropping what no client
// may send (key codes of 256 or more, q, Q, L, T).
void applyClientKey(int slot, KeyRecord key);

// Server idle pass, before the world step: the keep-alive check when due,
// then drains the socket applying each client's key events to its fighter.
void serverNetworkReceive();
// Server idle pass, after the world step: packs the world and sends it to
// every client slot in use.
void serverNetworkSend();

// ---------------------------------------------------------------------------
// Client
// ---------------------------------------------------------------------------

// The IPv4 address (host order) of a host name or dotted address; 0 when it
// cannot be resolved ("ERROR" is printed for an unknown name).
uint32_t resolveHost(const char* name);
// Client start-up: joins the server named by a host name or dotted address.
// Returns true when the server accepted; a refused client reads why on the
// error stream and gets false at once. Prints nothing on silence.
bool connectToServer(const char* hostName);
// Client: sends one key event to the server (from the kept key buffer).
void sendKeyEvent(int key, bool released, bool special);
// Client: drains the socket (answering probes, starting each new body's
// effects), applies the stored state and removes finished explosions.
// Returns false when the server has been silent for more than kServerTimeout.
bool clientReceivePass();
// Client idle pass: clientReceivePass; writes "Server died" and ends the
// process with status 0 when it returns false.
void clientNetworkPass();
// Client: waits up to timeoutMicros for a datagram; true when one is ready.
bool clientWaitForDatagram(int64_t timeoutMicros);

// ---------------------------------------------------------------------------
// Idle passes (the windowed game and the windowless server share them)
// ---------------------------------------------------------------------------

// One server pass: ends through quitGame once stopRequested(); reads the
// clock, regenerates health, receives, advances undrawn explosions, steps the
// world, copies the HUD values and sends the world to every client. Without
// a socket it keeps "No client can join: ..." on the message line.
void serverIdlePass();
// One client pass: ends through quitGame once stopRequested(); reads the
// clock, advances undrawn explosions and runs clientNetworkPass; ends the
// process with status -1 once the server's level proved to have another
// number of fighters (the line saying so is written first); copies the HUD
// values.
void clientIdlePass();
