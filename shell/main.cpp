// main.cpp -- entry: server with no argument (or more than one), client with
// exactly one (the server's host name or dotted address).
#include <GL/freeglut.h>

#include <cstdio>

#include "net/net.h"
#include "shell/shell.h"
#include "world/world.h"

int main(int argc, char** argv) {
    // Status lines are read by people and scripts as they happen.
    std::setvbuf(stdout, nullptr, _IOLBF, 0);

    // 1. Start-up: the network end.
    setNetworkDefaults();
    if (argc == 2) {
        std::printf("Connect server\n");
        std::fflush(stdout);
        gs.isServer = false;
        gs.localFighterIndex = 1;
        if (!connectToServer(argv[1])) return -1;  // no window was made
    } else {
        gs.isServer = true;
        gs.localFighterIndex = 0;
        clearClientTable();
        startServer();  // start-up goes on without a socket
    }

    // 2. The window, at the screen's origin.
    glutInit(&argc, argv);
    glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH);
    glutInitWindowPosition(0, 0);
    glutInitWindowSize(640, 480);
    glutCreateWindow("maze");

    // 3. The world, the callbacks, the game.
    initialiseWorld();
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
    requireLocalFighter();

    // 4. The loop: idle pass, frame, idle pass, ... until quitGame.
    glutMainLoop();
    return 0;
}
