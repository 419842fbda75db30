// maze_keylag_options.h -- maze-keylag's command line. One entry per option;
// --help and --version come with every table.
#pragma once

#include "cli/cli.h"

inline constexpr cli::Option kMazeKeylagOptions[] = {
    {.name = "window", .kind = cli::Kind::Integer, .valueName = "ID", .min = 1, .max = 4294967295.0,
     .help = "the X window to measure (xdotool search prints its id)"},
    {.name = "count", .kind = cli::Kind::Integer, .valueName = "N", .defaultValue = "20", .min = 1, .max = 10000,
     .help = "key presses to time"},
    {.name = "key", .kind = cli::Kind::Choice, .valueName = "KEY", .defaultValue = "right", .choices = "right|left|l|j",
     .help = "the turn key to press"},
};

inline constexpr cli::Command kMazeKeylagCommand{
    "maze-keylag", "Measures key-to-pixel latency: real X key events to a window, until its view changes.",
    kMazeKeylagOptions};
