// maze_server_options.h -- maze-server's command line. One entry per option;
// --help and --version come with every table.
#pragma once

#include "cli/cli.h"

inline constexpr cli::Option kMazeServerOptions[] = {
    {.name = "port", .kind = cli::Kind::Integer, .valueName = "PORT", .defaultValue = "9899", .min = 1, .max = 65535, .help = "the UDP port clients join on"},
    {.name = "server-name", .kind = cli::Kind::Text, .valueName = "NAME", .defaultShown = "the host name", .help = "the name discovery and status queries are answered with"},
};

inline constexpr cli::Command kMazeServerCommand{
    "maze-server",
    "The game's server without a window or sound, for a LAN host; clients join on UDP port 9899.",
    kMazeServerOptions};
