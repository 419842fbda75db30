// game_end_print.h -- GoogleTest shows a GameEnd by its name.
#pragma once

#include <ostream>

#include "world/world.h"

inline void PrintTo(GameEnd why, std::ostream* out) {
    static const char* const kNames[] = {"Playing", "QuitAsked", "ServerDied", "LevelMismatch", "MissingFile",
                                         "NoLocalFighter"};
    const int i = static_cast<int>(why);
    *out << (i >= 0 && i < 6 ? kNames[i] : "GameEnd(?)");
}
