// maze_bot_options.h -- maze-bot's command line. Its options keep their
// older name=value spelling beside --name VALUE; a plain number after the
// server is the seconds.
#pragma once

#include "cli/cli.h"
#include "world/world.h"

inline constexpr cli::Option kMazeBotOptions[] = {
    cli::kVerboseOption,
    {.name = "server", .kind = cli::Kind::Text, .valueName = "SERVER", .forms = cli::kPositional, .required = true,
     .help = "the server's host name or dotted address"},
    {.name = "seconds", .kind = cli::Kind::Real, .valueName = "SECONDS", .defaultValue = "10", .min = 0.1,
     .max = 86400, .forms = cli::kLong | cli::kWord | cli::kPositional, .help = "how long to play"},
    {.name = "mode", .kind = cli::Kind::Choice, .valueName = "script|random", .defaultValue = "script",
     .choices = "script|random", .forms = cli::kLong | cli::kWord,
     .help = "the fixed key sequence, or keys drawn at random"},
    {.name = "seed", .kind = cli::Kind::Integer, .valueName = "N", .defaultValue = "1", .min = 0, .max = 4294967295.0,
     .forms = cli::kLong | cli::kWord, .help = "seed of the random waits and keys"},
    {.name = "map", .kind = cli::Kind::Text, .valueName = "FILE", .defaultValue = kMapFileName,
     .forms = cli::kLong | cli::kWord, .help = "the level whose fighters the server's must match"},
    {.name = "port", .kind = cli::Kind::Integer, .valueName = "PORT", .defaultValue = "9899", .min = 1, .max = 65535,
     .forms = cli::kLong | cli::kWord, .help = "the server's UDP port (a relay's, say)"},
    {.name = "report", .kind = cli::Kind::Real, .valueName = "SECONDS", .defaultValue = "0", .min = 0, .max = 86400,
     .forms = cli::kLong | cli::kWord, .help = "a line of each span's figures on the error stream (0: none)"},
};

inline constexpr cli::Command kMazeBotCommand{
    "maze-bot",
    "A windowless client for tests and load: joins SERVER, plays keys, prints one line of figures.",
    kMazeBotOptions};
