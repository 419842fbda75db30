// maze_server.cpp -- maze-server: the game's server without a window, GL or
// sound, for a LAN host. It runs the server's idle pass (rules, prey,
// network) at the game's pace; fighter 0, the windowed server's own player,
// stays out of play. Ends with "Good-Bye" and status 0 on Ctrl-C or SIGTERM;
// SIGHUP is ignored (a closed terminal or a log rotation must not end a game).
//
// Usage: maze-server [--verbose] [--port N] [--map FILE] [--max-players N] [--server-name NAME]
// (in the game's data folder, or with data/ beside it). Its events go to
// standard output one a line, `<ISO 8601 UTC time> <event> key=value ...`:
// started, joined, join-refused, slot-freed, left, destroyed, respawned,
// prey-destroyed, round-over, round-started, stopped and error.
#include <cmath>
#include <csignal>
#include <cstdio>
#include <string>

#include "base/events.h"
#include "base/log.h"
#include "cli/cli.h"
#include "net/discovery.h"
#include "net/net.h"
#include "net/recording.h"
#include "net/server_main/maze_server_options.h"
#include "prey/prey.h"
#include "world/world.h"

namespace {

void printEvent(const char* event, std::span<const EventField> fields) {
    std::printf("%s\n", eventLine(net.clockSeconds(), event, fields).c_str());
}

// A start-up failure: its line on the error stream, the same as an event
// for the log, status 1.
int startFailed(const std::string& what) {
    logLine(LogLevel::Error, "maze-server: %s", what.c_str());
    serverEvent("error", {{"what", what}});
    return 1;
}

// The display-free share of the game's start-up, the level being read:
// prey poses, fighters, the clock and a new game.
void startWorld() {
    randomSeed(0);
    process.clockNowMs = readClockMs();
    process.clockPrevMs = process.clockNowMs;
    process.quitRequested = false;
    setMessageLine(kStartMessage);
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
    std::signal(SIGHUP, SIG_IGN);
    const cli::Parsed args = cli::parse(kMazeServerCommand, argc, argv);
    if (args.outcome != cli::Outcome::Run) return cli::finish(args);
    if (cli::flag(args, "verbose")) setLogLevel(LogLevel::Debug);
    // A relative level path names a file from where the server was started.
    const std::string levelPath = levelPathBeforeDataFolder(cli::text(args, "map"));
    const std::string recordPath = cli::given(args, "record") ? pathBeforeDataFolder(cli::text(args, "record")) : "";
    if (!enterDataFolder(programPath(), "maze-server")) return 1;

    setNetworkDefaults();
    net.onServerEvent = printEvent;
    net.port = static_cast<uint16_t>(cli::integer(args, "port"));
    net.maxClients = static_cast<int>(cli::integer(args, "max-players"));
    net.serverName = cli::text(args, "server-name");
    longGame.respawnDelayMs = static_cast<int32_t>(std::lround(cli::real(args, "respawn") * 1000.0));
    process.isServer = true;
    process.localFighterIndex = 0;

    LevelFile level;
    if (const std::string fault = loadLevel(levelPath, level); !fault.empty()) return startFailed(fault);
    if (maze.fighterStartCount < 2)
        return startFailed("the level \"" + level.name + "\" has " + std::to_string(maze.fighterStartCount) +
                           " fighter start(s); clients need at least 2");
    net.levelName = level.name;
    net.levelDigest = level.digest;

    startServer();
    // Unlike the windowed game there is nobody to play alone.
    if (net.netSocket < 0) {
        serverEvent("error", {{"what", "cannot open UDP port " + std::to_string(net.port)}});
        return 1;
    }
    startWorld();
    if (!recordPath.empty())
        if (const std::string fault = startProcessRecording(recordPath); !fault.empty()) return startFailed(fault);
    serverEvent("started", {{"version", cli::version()},
                            {"name", net.serverName},
                            {"level", level.name},
                            {"digest", levelDigestText(level.digest)},
                            {"port", std::to_string(net.port)},
                            {"max_players", std::to_string(net.maxClients)}});
    for (;;) {
        paceIdlePass();
        const GameEnd end = serverIdlePass();
        if (end == GameEnd::Playing) continue;
        for (int s = 0; s < kMaxClients; ++s)
            if (net.clients[s].inUse) announceLeft(s, "server-stopped");
        serverEvent("stopped", {});
        return endOfGame(end);
    }
}
