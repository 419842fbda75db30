// quit.cpp -- the one orderly end of the game, and the signals that ask for it.
#include <csignal>
#include <cstdio>
#include <cstdlib>

#include "sound/sound.h"
#include "world/world.h"

namespace {

// Set by the signal handler, read by the main loop. Nothing else is safe to
// do inside the handler: the end itself (sound, "Good-Bye") runs from the
// loop.
volatile std::sig_atomic_t stopSignal = 0;

void noteStopSignal(int signalNumber) { stopSignal = signalNumber; }

}  // namespace

void quitGame() {
    soundShutdown();
    std::printf("Good-Bye\n");
    std::fflush(stdout);
    std::exit(0);
}

void installStopSignals() {
    struct sigaction action{};
    action.sa_handler = noteStopSignal;
    sigemptyset(&action.sa_mask);
    // No SA_RESTART: a wait or sleep under way returns early, so the loop
    // sees the request at once.
    action.sa_flags = 0;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

bool stopRequested() { return stopSignal != 0; }
