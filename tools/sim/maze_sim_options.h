// maze_sim_options.h -- maze-sim's command line.
#pragma once

#include "cli/cli.h"
#include "net/host_options.h"
#include "world/world.h"

inline constexpr cli::Option kMazeSimOptions[] = {
    cli::kVerboseOption,
    {.name = "steps", .kind = cli::Kind::Integer, .valueName = "N", .defaultValue = "30000", .min = 0,
     .max = 100000000, .help = "world steps to run"},
    {.name = "interval-ms", .kind = cli::Kind::Integer, .valueName = "MS", .defaultValue = "20", .min = 1,
     .max = kMaxStepIntervalMs, .help = "world time of one step"},
    {.name = "script", .kind = cli::Kind::Choice, .valueName = "walk|still", .defaultValue = "walk",
     .choices = "walk|still", .help = "fighters walk the maze firing at prey ahead, or stand at their starts"},
    {.name = "quiet", .kind = cli::Kind::Flag, .help = "print only the summary line"},
    kRespawnOption,
};

inline constexpr cli::Command kMazeSimCommand{
    "maze-sim",
    "The server's rules without a window: world steps on the level here, then one line of counts.",
    kMazeSimOptions};
