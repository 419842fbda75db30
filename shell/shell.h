// shell.h -- the game's spine: start-up, the window callbacks and the
// keyboard routing. Only this folder and render/ talk to GLUT.
#pragma once

#include <cstdint>

// Start-up body of the world, once, after the window exists: seeds the
// generator, reads the clock, the level, the textures and models, and
// creates the fighters (all Absent).
void initialiseWorld();

// GLUT callbacks. idle: the pacer's wait, then the server or client passes
// that are due.
void idle();
void display();
void reshape(int width, int height);
void onKeyDown(unsigned char key, int x, int y);
void onKeyUp(unsigned char key, int x, int y);
void onSpecialKey(int key, int x, int y);

// Routes one key event: L, T, Q and q act in this process; on the server the
// rest goes to fighter 0, on a client to the server.
void dispatchKey(int key, bool released, bool special);

// Ends the process with a message on the error stream and status 1 when the
// fighter this process shows does not exist (a level without enough starts).
void requireLocalFighter();

// How long a message stays on the HUD, ms.
constexpr int32_t kMessageShowMs = 4000;
