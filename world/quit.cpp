// quit.cpp -- the one orderly end of the game.
#include <cstdio>
#include <cstdlib>

#include "sound/sound.h"
#include "world/world.h"

void quitGame() {
    soundShutdown();
    std::printf("Good-Bye\n");
    std::fflush(stdout);
    std::exit(0);
}
