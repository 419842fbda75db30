// render.h -- everything drawn with GL: the scene frame, the maze and its
// textures, models, objects, effects and the HUD.
//
// Every function here needs a current GL context (the game window or a test
// window) unless it says otherwise.
#pragma once

#include "world/world.h"

// The view of one frame. Lifetime: the process; the shell sets the camera
// each frame and the window fields on reshape.
struct ViewState {
    float fieldOfView = 90.0f;         // vertical, degrees
    int windowWidth = 640;             // pixels, as the last reshape said
    int windowHeight = 480;
    float viewConeCos = 0.70710677f;   // cos of half the horizontal view angle
    Vec3 cameraEye;                    // the local fighter's position
    Vec3 cameraDir;                    // and its heading
};
extern ViewState view;

// Start-up, after the window exists and the map is read: loads the four
// textures from the working directory (ends the process with status 1 when
// one is missing) and builds every display list.
void loadTextures();
void buildModels();

// Draws the 3-D scene of one frame, with the camera already on the
// modelview matrix.
void drawScene();

// Draws the head-up display over the scene from the HUD fields of gs; leaves
// the projection orthographic and lighting enabled.
void drawHud();
