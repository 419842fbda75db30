// maze_options.h -- the game's command line: `maze` is the server, `maze HOST`
// a client of HOST. One entry per option; --help and --version come with
// every table.
#pragma once

#include "cli/cli.h"

inline constexpr cli::Option kMazeOptions[] = {
    cli::kVerboseOption,
    {.name = "host", .kind = cli::Kind::Text, .valueName = "HOST", .forms = cli::kPositional,
     .help = "join the server on HOST (name or dotted address); without it this game is the server"},
};

inline constexpr cli::Command kMazeCommand{
    "maze", "The networked maze game: a server and its player, or a client of HOST.", kMazeOptions};
