// Fuzzes the level reader: any text must read without touching memory
// outside the tables, and leave a world that the rest of the game can index.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "world/world.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    resetGameStateForTest();
    readMazeMapText(std::string(reinterpret_cast<const char*>(data), size));
    if (maze.cols < 0 || maze.cols > kMaxMazeSize || maze.rows < 0 ||
        maze.rows > kMaxMazeSize || maze.fighterStartCount < 0 ||
        maze.fighterStartCount > kMaxFighterStarts || maze.preyStartCount < 0 ||
        maze.preyStartCount > kMaxPreyStarts || maze.startMissiles > kMaxMissiles)
        std::abort();
    createFighters();
    resetGame();
    if (fighterCount() != maze.fighterStartCount || preyCount() != maze.preyStartCount) std::abort();
    return 0;
}
