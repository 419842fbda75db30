// maze_replay_options.h -- maze-replay's command line.
#pragma once

#include "cli/cli.h"

inline constexpr cli::Option kMazeReplayOptions[] = {
    {.name = "command", .kind = cli::Kind::Choice, .valueName = "info|check|cut", .choices = "info|check|cut",
     .forms = cli::kPositional, .required = true,
     .help = "info: one line of key=value; check: every block and the index; cut: FROM..TO seconds into OUT"},
    {.name = "file", .kind = cli::Kind::Text, .valueName = "FILE", .forms = cli::kPositional, .required = true,
     .help = "the recording"},
    {.name = "from", .kind = cli::Kind::Real, .valueName = "FROM", .min = 0, .max = 4.0e6, .forms = cli::kPositional,
     .help = "cut: the first second kept"},
    {.name = "to", .kind = cli::Kind::Real, .valueName = "TO", .min = 0, .max = 4.0e6, .forms = cli::kPositional,
     .help = "cut: the last second kept"},
    {.name = "out", .kind = cli::Kind::Text, .valueName = "OUT", .forms = cli::kPositional,
     .help = "cut: the new recording"},
};

inline constexpr cli::Command kMazeReplayCommand{
    "maze-replay", "Tells what a game recording holds, checks it, or cuts a stretch of it into a new file.",
    kMazeReplayOptions};
