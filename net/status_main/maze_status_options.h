// maze_status_options.h -- maze-status's command line. One entry per option;
// --help and --version come with every table.
#pragma once

#include "cli/cli.h"

inline constexpr cli::Option kMazeStatusOptions[] = {
    {.name = "server", .kind = cli::Kind::Text, .valueName = "HOST[:PORT]", .forms = cli::kPositional, .required = true, .help = "the server to ask (name or dotted address; port 9899 unless given)"},
    {.name = "json", .kind = cli::Kind::Flag, .help = "print the status as one JSON object, for scripts"},
};

inline constexpr cli::Command kMazeStatusCommand{
    "maze-status",
    "Asks a maze server for its name, level, uptime, round time and players.",
    kMazeStatusOptions};
