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
    if (gs.mazeCols < 0 || gs.mazeCols > kMaxMazeSize || gs.mazeRows < 0 ||
        gs.mazeRows > kMaxMazeSize || gs.fighterStartCount < 0 ||
        gs.fighterStartCount > kMaxFighterStarts || gs.preyStartCount < 0 ||
        gs.preyStartCount > kMaxPreyStarts || gs.startMissiles > kMaxMissiles)
        std::abort();
    createFighters();
    resetGame();
    if (fighterCount() != gs.fighterStartCount || preyCount() != gs.preyStartCount) std::abort();
    return 0;
}
