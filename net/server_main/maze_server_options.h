// maze_server_options.h -- maze-server's command line.
#pragma once

#include "cli/cli.h"
#include "net/host_options.h"

inline constexpr cli::Option kMazeServerOptions[] = {
    cli::kVerboseOption,
    {.name = "port", .kind = cli::Kind::Integer, .valueName = "PORT", .defaultValue = "9899", .min = 1, .max = 65535,
     .help = "UDP port the server listens on"},
    kMapOption,
    kMaxPlayersOption,
    kServerNameOption,
    kRecordOption,
    kRespawnOption,
};

inline constexpr cli::Command kMazeServerCommand{
    "maze-server",
    "The game's server without a window or sound, for a LAN host; logs its events one a line on standard output.",
    kMazeServerOptions};
