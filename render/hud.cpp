// hud.cpp -- the head-up display: score, bullets, health and the message line.
#include <GL/freeglut.h>
#include <GL/gl.h>
#include <GL/glu.h>

#include <cstdio>

#include "render/render.h"

namespace {

void drawText(float x, float y, const char* text) {
    glRasterPos2f(x, y);
    for (const char* c = text; *c; ++c) glutBitmapCharacter(GLUT_BITMAP_9_BY_15, *c);
}

}  // namespace

void drawHud() {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluOrtho2D(0.0, view.windowWidth, 0.0, view.windowHeight);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDisable(GL_LIGHTING);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_DEPTH_TEST);

    char line[128];
    std::snprintf(line, sizeof line, "Score %d   Bullets %d   Health %.0f", gs.hudScore,
                  gs.hudBullets, static_cast<double>(gs.hudHealth));
    glColor3f(1.0f, 1.0f, 0.4f);
    drawText(10.0f, 12.0f, line);
    glColor3f(1.0f, 1.0f, 1.0f);
    drawText(10.0f, static_cast<float>(view.windowHeight) - 20.0f, gs.messageLine);

    glEnable(GL_DEPTH_TEST);
    glEnable(GL_LIGHTING);
}
