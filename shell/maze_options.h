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
    kRecordOption,
    {.name = "record-dir", .kind = cli::Kind::Text, .valueName = "DIR", .defaultShown = "the working directory",
     .help = "where F9 saves the last 30 seconds of the game"},
    {.name = "replay", .kind = cli::Kind::Text, .valueName = "FILE",
     .help = "play a recording back in the window, without a network"},
    {.name = "no-smoothing", .kind = cli::Kind::Flag,
     .help = "a client draws each state body as it arrives: no interpolation, no prediction of its own moves"},
    {.name = "frame-trace", .kind = cli::Kind::Text, .valueName = "FILE",
     .help = "write one line a drawn frame: ms, the eye's x y heading, then x y of every fighter as drawn"},
};

inline constexpr cli::Command kMazeCommand{
    "maze", "The networked maze game: a server and its player, or a client of HOST.", kMazeOptions};
