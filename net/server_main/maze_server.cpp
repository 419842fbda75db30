// maze_server.cpp -- maze-server: the game's server without a window, GL or
// sound, for a LAN host. It runs the server's idle pass (rules, prey,
// network) at the game's pace; fighter 0, the windowed server's own player,
// stays out of play. Ends with "Good-Bye" and status 0 on Ctrl-C or SIGTERM.
//
// Usage: maze-server [--verbose]   (in the game's data folder, or with data/
// beside it)
#include <cstdio>

#include "base/log.h"
#include "cli/cli.h"
#include "net/net.h"
#include "net/server_main/maze_server_options.h"
#include "prey/prey.h"
#include "world/world.h"

namespace {

// The display-free share of the game's start-up: level, prey poses,
// fighters, the clock and a new game.
void startWorld() {
    randomSeed(0);
    process.clockNowMs = readClockMs();
    process.clockPrevMs = process.clockNowMs;
    process.quitRequested = false;
    setMessageLine(kStartMessage);
    readMazeMap();
    gs.gameStarted = false;
    options.soundOn = false;
    loadPreyPoseFile();
    createFighters();
    resetGame();
    // Nobody plays at this host: its fighter is neither drawn nor a target.
    if (fighterCount() > 0) gs.fighterList[0].state = FighterState::Absent;
}

}  // namespace

int main(int argc, char** argv) {
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    installStopSignals();
    const cli::Parsed args = cli::parse(kMazeServerCommand, argc, argv);
    if (args.outcome != cli::Outcome::Run) return cli::finish(args);
    if (cli::flag(args, "verbose")) setLogLevel(LogLevel::Debug);
    if (!enterDataFolder(programPath(), "maze-server")) return 1;

    setNetworkDefaults();
    process.isServer = true;
    process.localFighterIndex = 0;
    startServer();
    // Unlike the windowed game there is nobody to play alone.
    if (net.netSocket < 0) return 1;

    startWorld();
    if (fighterCount() < 2) {
        logLine(LogLevel::Error, "maze-server: the level \"%s\" has %d fighter start(s); clients need at least 2",
                kMapFileName, fighterCount());
        return 1;
    }
    for (;;) {
        paceIdlePass();
        const GameEnd end = serverIdlePass();
        if (end != GameEnd::Playing) return endOfGame(end);
    }
}
