// host_options.h -- the command-line entries that both servers (maze with
// no host, maze-server) share, so each means the same in either table.
#pragma once

#include "cli/cli.h"
#include "net/net.h"

// Parsed by the tables' own text: the bounds below are those of net.h.
static_assert(kMaxClients == 8 && kNetNameBytes == 31 && kNetPort == 9899, "the entries' texts below");

inline constexpr cli::Option kMapOption{
    .name = "map", .kind = cli::Kind::Text, .valueName = "FILE", .defaultValue = "korvath.map",
    .help = "the level: a path, or a name in the data folder (clients need the same file)"};

inline constexpr cli::Option kMaxPlayersOption{
    .name = "max-players", .kind = cli::Kind::Integer, .valueName = "N", .defaultValue = "8", .min = 1, .max = 8,
    .help = "clients the server seats; one more is told the server is full"};

inline constexpr cli::Option kRespawnOption{
    .name = "respawn", .kind = cli::Kind::Real, .valueName = "SECONDS", .defaultValue = "5", .min = 0, .max = 600,
    .help = "a destroyed fighter comes back after this long; 0: only at a new game, or when its player joins again"};

inline constexpr cli::Option kServerNameOption{
    .name = "server-name", .kind = cli::Kind::Text, .valueName = "NAME", .defaultShown = "this host's name",
    .max = kNetNameBytes, .help = "the name players see for this server"};

// Both servers and a client: the game's bodies written to FILE as they go
// (net/recording.h).
inline constexpr cli::Option kRecordOption{
    .name = "record", .kind = cli::Kind::Text, .valueName = "FILE",
    .help = "record the game to FILE (maze --replay FILE plays it back)"};
