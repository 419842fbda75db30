// main.cpp -- entry: server with no host, client with one (the server's host
// name or dotted address); the options are in maze_options.h.
#include <GL/freeglut.h>

#include <cstdio>

#include "base/log.h"
#include "cli/cli.h"
#include "net/net.h"
#include "render/render.h"
#include "shell/maze_options.h"
#include "shell/shell.h"
#include "sound/sound.h"
#include "world/world.h"

namespace {

constexpr int kWindowWidth = 640;
constexpr int kWindowHeight = 480;

// The server's window sits at the screen's origin. A client's opens beside
// it when the screen is wide enough, else in the opposite corner, so a
// server and a client on one desktop never hide each other completely.
void placeWindow() {
    if (process.isServer) {
        glutInitWindowPosition(0, 0);
        return;
    }
    const int screenWidth = glutGet(GLUT_SCREEN_WIDTH);
    const int screenHeight = glutGet(GLUT_SCREEN_HEIGHT);
    constexpr int kGap = 10;
    if (screenWidth >= 2 * kWindowWidth + kGap) {
        glutInitWindowPosition(kWindowWidth + kGap, 0);
        return;
    }
    const int x = screenWidth > kWindowWidth ? screenWidth - kWindowWidth : 0;
    const int y = screenHeight > kWindowHeight ? screenHeight - kWindowHeight : 0;
    glutInitWindowPosition(x, y);
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
    // Ctrl-C and SIGTERM end the game from its loop (the idle passes).
    installStopSignals();
    // The pacer waits on the sound engine's notifications once it runs, so
    // the frame's refills keep their beat whether or not frames are drawn.
    setPaceWaitHook(soundWaitAndService);
    // Before anything is read or any window opens.
    if (!enterDataFolder(programPath(), "maze")) return 1;

    // 1. Start-up: the network end.
    setNetworkDefaults();
    if (cli::given(args, "host")) {
        logLine(LogLevel::Info, "Connect server");
        process.isServer = false;
        process.localFighterIndex = 1;
        if (!connectToServer(cli::text(args, "host").c_str())) {
            if (stopRequested()) return endOfGame(GameEnd::QuitAsked);
            return -1;  // no window was made
        }
    } else {
        process.isServer = true;
        process.localFighterIndex = 0;
        startServer();  // start-up goes on without a socket
    }

    // 2. The window. The toolkit sees only the program's name: every
    // argument was ours, and was checked above.
    int glutArgc = 1;
    glutInit(&glutArgc, argv);
    checkLeaksBeforeToolkitExit();
    glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH);
    placeWindow();
    glutInitWindowSize(kWindowWidth, kWindowHeight);
    glutCreateWindow("maze");

    // 3. The world, the callbacks, the game.
    const GameEnd startFailed = initialiseWorld();
    if (startFailed != GameEnd::Playing) return endOfGame(startFailed);
    glutDisplayFunc(display);
    glutReshapeFunc(reshape);
    glutKeyboardFunc(onKeyDown);
    glutKeyboardUpFunc(onKeyUp);
    glutSpecialFunc(onSpecialKey);
    glutIdleFunc(idle);
    buildMenus();
    // The game counts as started from its first frame: Pause and Map work
    // at once.
    startGame();
    const GameEnd noFighter = checkLocalFighter();
    if (noFighter != GameEnd::Playing) return endOfGame(noFighter);

    // 4. The loop: paced idle pass, frame, ... until a callback ends the
    // process (endProcessIf).
    glutMainLoop();
    return 0;
}
