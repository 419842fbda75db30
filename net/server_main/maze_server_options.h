// maze_server_options.h -- maze-server's command line: --verbose, with
// --help and --version.
#pragma once

#include "cli/cli.h"

inline constexpr cli::Option kMazeServerOptions[] = {
    cli::kVerboseOption,
};

inline constexpr cli::Command kMazeServerCommand{
    "maze-server",
    "The game's server without a window or sound, for a LAN host; clients join on UDP port 9899.",
    kMazeServerOptions};
