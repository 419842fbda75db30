// discovery.h -- who serves on this machine and the local networks, and who
// plays there: the server query and its reply, a server's answers to them,
// the finder behind `maze --find` and `maze --lan`, and the words of
// maze-status.
//
// A query is a datagram of its own kind (DiscoveryQuery) that a plain server
// drops for its size or ignores for its kind. It asks for discovery (who
// are you) or for status (and who plays); the sender pads it to the size of
// the reply it asks for, and a server answers only when its reply is no
// larger than the query, at most kQueryRepliesPerSecond times in any one
// second, never to a reply and never to its own port. A reply carries no
// address of any player.
//
// Layout (little-endian; [n] = n zero bytes a reader ignores):
//   query    0  u16 kind 21, [2], [4] senderWord
//            8  u32 marker "MZQ1", u8 version, u8 flags (bit 0: status),
//               [2], u32 nonce; then zero padding to kDiscoveryQuerySize
//               (discovery) or kStatusQuerySize (status)
//   reply    0  u16 kind 22, [2], [4] senderWord
//            8  u32 marker "MZR1", u8 version, u8 flags (the query's),
//               u16 the server's port, u32 nonce (the query's), u32 instance,
//               u8 players, u8 maximum players, u8 player records n, [1],
//               u32 uptime (s), u32 round time (s), 64 B server name,
//               64 B level name (texts zero-terminated, UTF-8)
//          164  n player records of 44 B: u8 fighter, u8 state (0 in play,
//               1 destroyed, 2 absent), u16 ping (ms), i32 score,
//               i32 deaths, 32 B name; n is 0 in a discovery reply
// The codec is in wire.cpp with every other layout.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "net/net.h"

constexpr uint8_t kQueryVersion = 1;         // a later version only appends fields
constexpr int kPlayerNameBytes = 32;         // a player's name on the wire
constexpr int kMaxStatusPlayers = kMaxClients + 1;  // the server's own player and every client
constexpr int kServerReplyHeadSize = 164;    // a discovery reply; a status reply's fixed part
constexpr int kPlayerRecordSize = 44;
constexpr int kDiscoveryQuerySize = kServerReplyHeadSize;
constexpr int kStatusQuerySize = kServerReplyHeadSize + kMaxStatusPlayers * kPlayerRecordSize;
// The finder asks the default port and the next ones, and listens this long.
constexpr int kFindPortCount = 10;
constexpr int64_t kFindWindowMs = 1000;
constexpr int kMaxServersFound = 64;         // more answers than this are not listed
// A client's round trip is measured this often; a probe unanswered this
// long measures nothing.
constexpr int64_t kPingEveryMs = 2000;
constexpr int64_t kPingGiveUpMs = 2000;

struct ServerQuery {
    uint8_t version = kQueryVersion;  // 0 is no query
    bool status = false;              // player records wanted
    uint32_t nonce = 0;               // the reply echoes it
};

// A fighter's state as the status reply names it.
enum class PlayerState : uint8_t { InPlay = 0, Destroyed = 1, Absent = 2 };

struct PlayerStatus {
    uint8_t fighter = 0;
    uint8_t state = 0;       // a PlayerState, or whatever a stranger sent
    uint16_t pingMs = 0;     // 0 for the server's own player
    int32_t score = 0;
    int32_t deaths = 0;
    std::string name;        // "player N" until players have names
};

struct ServerReply {
    uint8_t version = kQueryVersion;
    bool status = false;     // a status reply: playerList holds the players
    uint16_t port = 0;       // the server's UDP port
    uint32_t nonce = 0;
    uint32_t instance = 0;   // the same for every reply of one server process
    uint8_t players = 0;     // players in the game now, the server's own included
    uint8_t maxPlayers = 0;
    uint32_t uptimeS = 0;
    uint32_t roundS = 0;     // since the last new game
    std::string name;        // the server's name
    std::string level;       // its level's file name
    std::vector<PlayerStatus> playerList;
};

// ---------------------------------------------------------------------------
// Codec (wire.cpp)
// ---------------------------------------------------------------------------

// Writes a query padded to the size its reply needs; returns that size.
int writeServerQuery(NetMessage& msg, const ServerQuery& q);
// Reads a query of `length` bytes: false when it is none (kind, marker,
// version 0), or shorter than the reply it asks for, or longer than a
// datagram of the game.
bool readServerQuery(const NetMessage& msg, int length, ServerQuery& out);
// Writes a reply; returns its size in bytes, 0 (writing nothing) when it
// holds more than kMaxStatusPlayers players. Texts longer than their field
// are cut at a character's start.
int writeServerReply(NetMessage& msg, const ServerReply& r);
// Reads a reply of `length` bytes: false when it is none or its records do
// not fit in `length`. Texts come back as valid UTF-8 without control
// characters (each offending byte a '?').
bool readServerReply(const NetMessage& msg, int length, ServerReply& out);

// ---------------------------------------------------------------------------
// The server's side (discovery.cpp)
// ---------------------------------------------------------------------------

// Called once the server's socket is open (net.serverName is set then):
// the uptime and the round start from now; queries are answered with
// net.serverName and net.levelName's file name (kMapFileName when empty),
// each cut to its field.
void noteServerStarted();
// A new game started: the round time counts from now.
void noteRoundStart();
// The reply this server would send now (nonce 0), with the players' records
// when `status`.
ServerReply describeServer(bool status);
// Takes a datagram the server read (length: its real length): false when it
// is neither a query nor a reply, for the game's own path; true when it was
// one and has been answered or dropped (and counted).
bool answerServerQuery(const NetMessage& msg, int length, NetAddress from);
// Times the round trip of the client in `slot`, which just sent a datagram
// of `kind`: a probe's answer ends a measure under way; a key event or an
// answer asks for a measuring probe when one is due.
void timeClientPing(int slot, NetMessageKind kind);
// Sends the measuring probes asked for this pass (after the pass's bodies).
void sendPingProbes();

// ---------------------------------------------------------------------------
// The asking side (discovery.cpp)
// ---------------------------------------------------------------------------

struct FoundServer {
    NetAddress address;      // where the reply came from
    ServerReply reply;
    int64_t rttMs = 0;
};

// Sends a discovery query to the broadcast address of every IPv4 interface
// that has one and to 127.0.0.1, each on ports firstPort .. firstPort +
// kFindPortCount - 1, and collects the replies for windowMs. Each server is
// listed once (its fastest answer), by address and port. False, after a
// line saying why, when no socket could be opened.
bool findServers(std::vector<FoundServer>& found, uint16_t firstPort = kNetPort, int64_t windowMs = kFindWindowMs);
// Asks `to` for its status, `tries` times waiting tryMs each until one
// answers: true with its reply and round trip.
bool queryServerStatus(NetAddress to, ServerReply& reply, int64_t& rttMs, int tries = 4, int64_t tryMs = 500);

// The finder's list: one line a server, "address:port  name  level
// players/max  rtt ms", columns aligned; each line ends in a newline.
std::vector<std::string> foundServerLines(const std::vector<FoundServer>& found);
// Asks on `out` which of the servers to join, reading a number from `in`
// until one names a server; returns its index, or -1 at the end of input.
int chooseFoundServer(const std::vector<FoundServer>& found, std::FILE* in, std::FILE* out);

// maze --find: finds the servers and writes their lines on `out`, or "no
// server answered"; returns the process's status (0, or 1 without a socket).
int printFoundServers(std::FILE* out);
// maze --lan: finds the servers and picks the one found, or asks on `out`
// which of several, reading the answer from `in`. False, after a line saying
// why, when none answered or no answer came before the end of input.
bool pickLanServer(std::FILE* in, std::FILE* out, NetAddress& chosen);

// "a.b.c.d" (addressText in net.h adds ":port").
std::string ipText(uint32_t ip);
// "in play", "destroyed", "absent" or "unknown".
const char* playerStateName(uint8_t state);
// maze-status's report: lines of text, or one JSON object (a line).
std::string statusText(NetAddress from, const ServerReply& r, int64_t rttMs);
std::string statusJson(NetAddress from, const ServerReply& r, int64_t rttMs);
// `text` as a JSON string, quotes included (text must be valid UTF-8).
std::string jsonString(const std::string& text);
