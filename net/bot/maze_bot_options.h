// maze_bot_options.h -- maze-bot's command line. The older spellings stay:
// `maze-bot 127.0.0.1 seconds=15 mode=random seed=3`, a plain number of
// seconds after the server (`maze-bot 127.0.0.1 15`), port=, map=, report=;
// every option also takes --name VALUE.
#pragma once

#include "cli/cli.h"

inline constexpr unsigned kBotForms = cli::kLong | cli::kWord;

inline constexpr cli::Option kMazeBotOptions[] = {
    {.name = "server", .kind = cli::Kind::HostPort, .valueName = "SERVER[:PORT]", .portEntry = "port",
     .forms = cli::kPositional, .required = true, .help = "the server's host name or dotted address, and its port after a colon"},
    {.name = "seconds", .kind = cli::Kind::Real, .valueName = "SECONDS", .defaultValue = "10", .min = 0.001, .max = 86400,
     .forms = kBotForms | cli::kPositional, .help = "how long to play"},
    {.name = "mode", .kind = cli::Kind::Choice, .valueName = "script|random|fire", .defaultValue = "script",
     .choices = "script|random|fire", .forms = kBotForms,
     .help = "the key sequence: a fixed cycle, drawn from the seed, or fire held along the start's heading"},
    {.name = "seed", .kind = cli::Kind::Integer, .valueName = "N", .defaultValue = "1", .min = 0, .max = 4294967295.0,
     .forms = kBotForms, .help = "seed of the random mode and of the pauses between keys"},
    {.name = "map", .kind = cli::Kind::Text, .valueName = "FILE", .defaultValue = "korvath.map", .forms = kBotForms,
     .help = "the level, as the server's (its digest goes with the join)"},
    {.name = "port", .kind = cli::Kind::Integer, .valueName = "PORT", .defaultValue = "9899", .min = 1, .max = 65535,
     .forms = kBotForms, .help = "the server's UDP port (e.g. a relay's)"},
    {.name = "report", .kind = cli::Kind::Real, .valueName = "S", .defaultValue = "0", .min = 0, .max = 86400,
     .forms = kBotForms, .help = "every S seconds a line of that span's figures on the error stream; 0: none"},
    {.name = "plain", .kind = cli::Kind::Flag, .forms = cli::kLong,
     .help = "speak the plain 6008-byte datagrams only, not our compact wire"},
    {.name = "name", .kind = cli::Kind::Text, .valueName = "NAME", .forms = kBotForms,
     .help = "the name the bot joins with (1 to 15 printable characters); none: the server calls it \"player N\""},
    cli::kVerboseOption,
};

inline constexpr cli::Command kMazeBotCommand{
    "maze-bot", "A windowless client for tests and load measurements: joins, plays keys, prints one line of figures.",
    kMazeBotOptions};
