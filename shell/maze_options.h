// maze_options.h -- the game's command line: `maze` is the server, `maze HOST`
// (or HOST:PORT) a client of HOST. One entry per option; --help and
// --version come with every table.
#pragma once

#include "cli/cli.h"
#include "net/host_options.h"

inline constexpr cli::Option kMazeOptions[] = {
    cli::kVerboseOption,
    {.name = "host", .kind = cli::Kind::HostPort, .valueName = "HOST[:PORT]", .portEntry = "port", .forms = cli::kPositional,
     .help = "join the server on HOST (name or dotted address); without it this game is the server"},
    {.name = "port", .kind = cli::Kind::Integer, .valueName = "PORT", .defaultValue = "9899", .min = 1, .max = 65535,
     .help = "UDP port: the server listens on it, a client joins its server on it"},
    kMapOption,
    kMaxPlayersOption,
    kServerNameOption,
    kRespawnOption,
    {.name = "name", .kind = cli::Kind::Text, .valueName = "NAME", .defaultShown = "the saved name, else the login name",
     .help = "the name other players see: 1 to 15 printable characters (a longer one is cut)"},
    {.name = "fullscreen", .help = "start in fullscreen (F11 switches back and forth)"},
    {.name = "find", .kind = cli::Kind::Flag, .help = "list the servers on this machine and the local networks, then end"},
    {.name = "lan", .kind = cli::Kind::Flag, .help = "join the server found on the local networks (with several, ask which)"},
};

inline constexpr cli::Command kMazeCommand{
    "maze", "The networked maze game: a server and its player, or a client of HOST.", kMazeOptions};
