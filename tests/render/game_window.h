// game_window.h -- the one game window of a render test process (GLUT
// allows a single glutInit), at the screen's origin like the game's, with
// the level, textures and lists loaded the way start-up loads them.
#pragma once

#include <GL/freeglut.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include "render/render.h"

namespace rendertest {

// Opens the window on the first call; true once it is ready.
inline bool openGameWindow(int width, int height) {
    static bool ready = false;
    if (ready) return true;
    int argc = 1;
    char name[] = "maze-tests-render";
    char* argv[] = {name, nullptr};
    glutInit(&argc, argv);
    glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH);
    glutInitWindowPosition(0, 0);
    glutInitWindowSize(width, height);
    glutCreateWindow("maze");
    glutDisplayFunc([] {});
    for (int i = 0; i < 10; ++i) glutMainLoopEvent();
    if (chdir(MAZE_DATA_DIR) != 0) return false;
    resetGameStateForTest();
    readMazeMap();
    loadTextures();
    buildModels();
    createFighters();
    ready = true;
    return true;
}

}  // namespace rendertest
