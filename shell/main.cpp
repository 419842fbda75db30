// main.cpp -- entry: server with no host, client with one (the server's host
// name or dotted address, and its port); the options are in maze_options.h.
#include <GL/freeglut.h>
#include <X11/Xlib.h>

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "base/events.h"
#include "base/log.h"
#include "cli/cli.h"
#include "net/discovery.h"
#include "net/net.h"
#include "net/recording.h"
#include "net/smoothing.h"
#include "render/render.h"
#include "shell/maze_options.h"
#include "shell/shell.h"
#include "sound/sound.h"
#include "world/world.h"

namespace {

constexpr int kWindowWidth = 640;
constexpr int kWindowHeight = 480;

// Whether the X window `w` is viewable and titled "maze".
bool isShownGameWindow(Display* x, Window w) {
    XWindowAttributes a;
    if (XGetWindowAttributes(x, w, &a) == 0 || a.map_state != IsViewable) return false;
    char* title = nullptr;
    const bool game = XFetchName(x, w, &title) != 0 && title != nullptr && std::strcmp(title, "maze") == 0;
    if (title) XFree(title);
    return game;
}

// The game windows ("maze") shown on the default screen now, in root
// coordinates: the top-level windows and, under a window manager, their
// frames' children. Looked up on a connection of its own, before the
// toolkit's window exists; none when the display cannot be opened.
std::vector<ScreenRect> shownGameWindows() {
    std::vector<ScreenRect> shown;
    Display* const x = XOpenDisplay(nullptr);
    if (x == nullptr) return shown;
    const Window root = DefaultRootWindow(x);
    auto note = [&](Window w) {
        XWindowAttributes a;
        Window child;
        int rx = 0, ry = 0;
        if (XGetWindowAttributes(x, w, &a) != 0 && XTranslateCoordinates(x, w, root, 0, 0, &rx, &ry, &child))
            shown.push_back(ScreenRect{rx, ry, a.width, a.height});
    };
    Window rootOut, parent, *top = nullptr;
    unsigned int topCount = 0;
    if (XQueryTree(x, root, &rootOut, &parent, &top, &topCount) != 0) {
        for (unsigned int i = 0; i < topCount; ++i) {
            if (isShownGameWindow(x, top[i])) {
                note(top[i]);
                continue;
            }
            Window *inner = nullptr;
            unsigned int innerCount = 0;
            if (XQueryTree(x, top[i], &rootOut, &parent, &inner, &innerCount) == 0) continue;
            for (unsigned int k = 0; k < innerCount; ++k)
                if (isShownGameWindow(x, inner[k])) note(inner[k]);
            if (inner) XFree(inner);
        }
        if (top) XFree(top);
    }
    XCloseDisplay(x);
    return shown;
}

// A server's window opens at the screen's origin, a client's beside it when
// the screen is wide enough, else in the opposite corner; a place a game
// window already covers is passed over (a second server on one desktop opens
// beside the first), so no game window opens exactly over another.
void placeWindow() {
    const ScreenRect place = placeGameWindow(process.isServer, glutGet(GLUT_SCREEN_WIDTH), glutGet(GLUT_SCREEN_HEIGHT),
                                             kWindowWidth, kWindowHeight, shownGameWindows());
    glutInitWindowPosition(place.x, place.y);
}

// The player's name: --name, else the saved one, else the login name. A
// given name that cannot be used refuses the command line; a default that
// cannot leaves the server to say "player N". A longer name is cut, and the
// player told.
bool choosePlayerName(const cli::Parsed& args, std::string& name) {
    std::string given;
    if (cli::given(args, "name")) {
        given = cli::text(args, "name");
    } else {
        // Quietly: a damaged file is reported once, when the settings are
        // loaded with the window.
        Settings saved;
        const LogLevel before = logLevel();
        setLogLevel(LogLevel::Error);
        if (const std::string path = settingsPath(); !path.empty() && readSettings(path, saved)) given = saved.playerName;
        setLogLevel(before);
        if (given.empty()) {
            const char* login = std::getenv("USER");
            if (login == nullptr || *login == '\0') login = getlogin();
            given = login != nullptr ? login : "";
        }
    }
    const NameCheck c = checkPlayerName(given);
    if (!c.refusal.empty()) {
        if (!cli::given(args, "name")) return true;
        cli::finish(cli::refuse(kMazeCommand, "--name \"" + given + "\": " + c.refusal));
        return false;
    }
    if (c.cut) logLine(LogLevel::Warning, "maze: the name is cut to %d characters: \"%s\"", kPlayerNameMax, c.name.c_str());
    name = c.name;
    return true;
}

// The windowed server writes what happened in its game on standard output,
// as maze-server does; the network's own events (joins refused, slots
// freed) stay with maze-server.
void printGameEvent(const char* event, std::span<const EventField> fields) {
    static const char* const kGameEvents[] = {"joined", "left", "destroyed", "respawned",
                                              "prey-destroyed", "round-over", "round-started"};
    for (const char* e : kGameEvents)
        if (std::strcmp(e, event) == 0) std::printf("%s\n", eventLine(net.clockSeconds(), event, fields).c_str());
}

}  // namespace

int main(int argc, char** argv) {
    // Status lines are read by people and scripts as they happen.
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    // --help, --version and a wrong command line end here, before any data,
    // socket or window is needed.
    const cli::Parsed args = cli::parse(kMazeCommand, argc, argv);
    if (args.outcome != cli::Outcome::Run) return cli::finish(args);
    if (cli::flag(args, "verbose")) setLogLevel(LogLevel::Debug);
    if ((cli::flag(args, "find") || cli::flag(args, "lan")) && cli::given(args, "host"))
        return cli::finish(cli::refuse(kMazeCommand, "--find and --lan look for the server: give no HOST with them"));
    const bool client = cli::given(args, "host");
    const bool replaying = cli::given(args, "replay");
    for (const char* live : {"host", "find", "lan", "record", "max-players", "server-name", "respawn"})
        if (replaying && cli::given(args, live))
            return cli::finish(cli::refuse(kMazeCommand, std::string("--") + live + " is for a live game, not --replay"));
    for (const char* serverOnly : {"max-players", "server-name", "respawn"})
        if (client && cli::given(args, serverOnly))
            return cli::finish(cli::refuse(kMazeCommand, std::string("--") + serverOnly + " is for a server, not a client of HOST"));
    // Ctrl-C and SIGTERM end the game from its loop (the idle passes).
    installStopSignals();
    if (cli::flag(args, "find")) {
        setNetworkDefaults();
        return printFoundServers(stdout);
    }
    // The server --lan found (and the player chose), before any data is read.
    NetAddress lanServer;
    if (cli::flag(args, "lan")) {
        setNetworkDefaults();
        if (!pickLanServer(stdin, stdout, lanServer)) return stopRequested() ? endOfGame(GameEnd::QuitAsked) : 1;
    }
    // The pacer waits on the sound engine's notifications once it runs, so
    // the frame's refills keep their beat whether or not frames are drawn.
    setPaceWaitHook(soundWaitAndService);
    // Before anything is read or any window opens. A relative level path
    // names a file from where the game was started.
    // A replay opens its recording first: the level is the one it names.
    if (replaying) {
        if (const std::string why = openReplay(pathBeforeDataFolder(cli::text(args, "replay"))); !why.empty()) {
            logLine(LogLevel::Error, "maze: %s", why.c_str());
            return 1;
        }
    }
    const std::string levelPath = levelPathBeforeDataFolder(
        replaying && !cli::given(args, "map") ? replayHeader().levelName : cli::text(args, "map"));
    const std::string recordPath = cli::given(args, "record") ? pathBeforeDataFolder(cli::text(args, "record")) : "";
    const std::string recordDir =
        pathBeforeDataFolder(cli::given(args, "record-dir") ? cli::text(args, "record-dir") : ".");
    if (!enterDataFolder(programPath(), "maze")) return 1;

    // 1. Start-up: the level, whose digest goes with a client's join, then
    // the network end.
    // The reader's chatter (the counts it read) would come before a
    // client's "Connect server", which scripts read as its first line; its
    // warnings still show.
    LevelFile level;
    const LogLevel before = logLevel();
    setLogLevel(std::max(before, LogLevel::Info));
    const std::string fault = loadLevel(levelPath, level);
    setLogLevel(before);
    if (!fault.empty()) {
        logLine(LogLevel::Error, "maze: %s", fault.c_str());
        return 1;
    }
    std::string name;
    if (!choosePlayerName(args, name)) return 2;
    setNetworkDefaults();
    // A server draws its own world as it is; a client smooths unless told not to.
    smoothing.enabled = client || cli::flag(args, "lan") ? !cli::flag(args, "no-smoothing") : false;
    if (cli::given(args, "frame-trace") && !openFrameTrace(cli::text(args, "frame-trace").c_str())) return 1;
    net.levelName = level.name;
    net.levelDigest = level.digest;
    net.port = static_cast<uint16_t>(cli::integer(args, "port"));
    if (replaying) {
        const RecordingHeader& h = replayHeader();
        if (h.levelDigest != level.digest || h.fighterCount != maze.fighterStartCount) {
            logLine(LogLevel::Error,
                    "maze: the recording was made on the level \"%s\" (digest %s, %d fighters); \"%s\" here is "
                    "another (digest %s, %d fighters)",
                    h.levelName.c_str(), levelDigestText(h.levelDigest).c_str(), h.fighterCount, level.name.c_str(),
                    levelDigestText(level.digest).c_str(), maze.fighterStartCount);
            return 1;
        }
        // A client without a server: nothing is sent, nothing received.
        process.isServer = false;
        process.localFighterIndex = 0;
    } else if (client || cli::flag(args, "lan")) {
        logLine(LogLevel::Info, "Connect server");
        process.isServer = false;
        process.localFighterIndex = 1;
        if (lanServer.port != 0) net.port = lanServer.port;
        net.playerName = name;
        const std::string host = lanServer.port != 0 ? ipText(lanServer.ip) : cli::text(args, "host");
        if (!connectToServer(host.c_str())) {
            if (stopRequested()) return endOfGame(GameEnd::QuitAsked);
            return -1;  // no window was made
        }
    } else {
        process.isServer = true;
        process.localFighterIndex = 0;
        net.maxClients = static_cast<int>(cli::integer(args, "max-players"));
        net.serverName = cli::text(args, "server-name");
        net.onServerEvent = printGameEvent;
        longGame.respawnDelayMs = static_cast<int32_t>(std::lround(cli::real(args, "respawn") * 1000.0));
        startServer();  // start-up goes on without a socket
    }

    // 2. The window. The toolkit sees only the program's name: every
    // argument was ours, and was checked above.
    int glutArgc = 1;
    glutInit(&glutArgc, argv);
    checkLeaksBeforeToolkitExit();
    glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH);
    placeWindow();
    // The size the player last left the window at, else the game's own.
    const Settings saved = loadSavedSettings();
    glutInitWindowSize(saved.windowWidth > 0 ? saved.windowWidth : kWindowWidth,
                       saved.windowHeight > 0 ? saved.windowHeight : kWindowHeight);
    glutCreateWindow("maze");

    // 3. The world, the callbacks, the game.
    const GameEnd startFailed = initialiseWorld();
    if (startFailed != GameEnd::Playing) return endOfGame(startFailed);
    applySavedSettings(saved, saved.fullscreen || cli::flag(args, "fullscreen"));
    glutDisplayFunc(display);
    glutReshapeFunc(reshape);
    glutKeyboardFunc(replaying ? onReplayKey : onKeyDown);
    glutKeyboardUpFunc(replaying ? onReplayKeyUp : onKeyUp);
    glutSpecialFunc(replaying ? onReplaySpecialKey : onSpecialKey);
    if (!replaying) {
        glutMouseFunc(onMouseButton);
        glutMotionFunc(onMouseMotion);
        glutPassiveMotionFunc(onMouseMotion);
    }
    glutIdleFunc(replaying ? replayIdle : idle);
    buildMenus();
    // The game counts as started from its first frame: Pause and Map work
    // at once.
    startGame();
    if (process.isServer && fighterCount() > 0) assignFighterName(0, name);
    const GameEnd noFighter = checkLocalFighter();
    if (noFighter != GameEnd::Playing) return endOfGame(noFighter);
    if (replaying) {
        startReplay();
    } else {
        keepRecentBodies(recordDir);
        if (!recordPath.empty()) {
            if (const std::string why = startProcessRecording(recordPath); !why.empty()) {
                logLine(LogLevel::Error, "maze: %s", why.c_str());
                return 1;
            }
        }
    }

    // 4. The loop: paced idle pass, frame, ... until a callback ends the
    // process (endProcessIf).
    glutMainLoop();
    return 0;
}
