// scene.cpp -- one frame of the 3-D world: lights, maze, objects, crosshair,
// explosions.
#include <GL/gl.h>
#include <malloc.h>

#include "render/render.h"

void keepHeapForFrames() {
    // Mesa's software renderer allocates and frees vertex and bin buffers of
    // up to megabytes for every draw. By default the C library maps the large
    // ones afresh and gives the top of the heap back on each free, so every
    // draw faults in and zeroes new pages: about a third of a crowded frame.
    // Kept, they are reused. 32 MiB is the largest threshold glibc accepts;
    // the heap is trimmed only above 256 MiB of free memory at its top.
    mallopt(M_MMAP_THRESHOLD, 32 * 1024 * 1024);
    mallopt(M_TRIM_THRESHOLD, 256 * 1024 * 1024);
}

void setupLights(const GameState& world) {
    glEnable(GL_LIGHTING);
    glEnable(GL_NORMALIZE);
    glDepthFunc(GL_LESS);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    if (!options.lightingOn) {
        // One directional light from above, on the +x, +y side.
        const GLfloat position[4] = {1.0f, 1.0f, 1.0f, 0.0f};
        glEnable(GL_LIGHT0);
        glLightfv(GL_LIGHT0, GL_POSITION, position);
        glLightf(GL_LIGHT0, GL_SPOT_CUTOFF, 180.0f);
        return;
    }
    int chosen[kMaxSceneLights];
    const int count = chooseSceneLights(world, chosen);
    // Lights are never disabled here: one enabled in an earlier frame keeps
    // its last position. Slots 4..7 keep whatever cut-off they last had.
    for (int k = 0; k < count; ++k) {
        const GLenum light = GL_LIGHT0 + k;
        glEnable(light);
        glLightfv(light, GL_POSITION, maze.lights[static_cast<size_t>(chosen[k])].position);
        if (k < 4) glLightf(light, GL_SPOT_CUTOFF, kSpotCutoff);
    }
}

void drawCrosshair(const GameState& world) {
    const int i = process.localFighterIndex;
    if (i < 0 || i >= static_cast<int>(world.fighterList.size())) return;
    const Fighter& f = world.fighterList[static_cast<size_t>(i)];
    glTranslatef(f.pos.x, f.pos.y, f.pos.z);
    glTranslatef(kCrosshairDistance * f.dir.x, kCrosshairDistance * f.dir.y, 0.0f);
    glRotatef(headingDegrees(f.dir), 0.0f, 0.0f, 1.0f);
    glColor3f(1.0f, 1.0f, 1.0f);
    glDisable(GL_LIGHTING);
    // Two bars in the local y-z plane, facing the viewer along local x.
    glBegin(GL_LINES);
    glVertex3f(0.0f, -kCrosshairHalfSize, 0.0f);
    glVertex3f(0.0f, kCrosshairHalfSize, 0.0f);
    glVertex3f(0.0f, 0.0f, -kCrosshairHalfSize);
    glVertex3f(0.0f, 0.0f, kCrosshairHalfSize);
    glEnd();
    glEnable(GL_LIGHTING);
}

void drawScene(const GameState& world) {
    view.modelTriangles = 0;
    // Every step gets its own matrix pair so none sees another's transforms.
    glPushMatrix();
    glPushMatrix();
    setupLights(world);
    glPopMatrix();
    glPushMatrix();
    drawMaze(world);
    glPopMatrix();
    glPushMatrix();
    drawObjects(world);
    glPopMatrix();
    glPushMatrix();
    drawCrosshair(world);
    glPopMatrix();
    glPushMatrix();
    drawExplosions();
    glPopMatrix();
    glPopMatrix();
}
