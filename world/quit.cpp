// quit.cpp -- the last words of the game, and the signals that ask for its end.
#include <csignal>

#include "base/log.h"
#include "sound/sound.h"
#include "world/world.h"

namespace {

// Set by the signal handler, read by the idle passes. Nothing else is safe
// to do inside the handler: the end itself (sound, "Good-Bye") runs from
// the loop.
volatile std::sig_atomic_t stopSignal = 0;

void noteStopSignal(int signalNumber) { stopSignal = signalNumber; }

}  // namespace

int endOfGame(GameEnd why) {
    switch (why) {
    case GameEnd::Playing:
        return 0;
    case GameEnd::QuitAsked:
        soundShutdown();
        logLine(LogLevel::Info, "Good-Bye");
        return 0;
    case GameEnd::ServerDied:
        logLine(LogLevel::Info, "Server died");
        return 0;
    case GameEnd::LevelMismatch:
        soundShutdown();
        return -1;
    case GameEnd::MissingFile:
    case GameEnd::NoLocalFighter:
        return 1;
    }
    return 1;
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

void clearStopRequestForTest() { stopSignal = 0; }
