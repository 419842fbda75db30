// effects.cpp -- the effects drawn without models: explosions of tumbling
// boxes with their flash, the glow ball that shows a bullet, and the points
// of the lamps' flame.
#include <GL/freeglut.h>
#include <GL/gl.h>

#include <cstdio>

#include "render/render.h"

namespace {

// The glow ball's shells never change after start-up: one list draws them.
GLuint glowBallList = 0;

// One side of the box with a quarter of its top and bottom, in a frame
// turned so that the side lies at x = h, spanning +-w in y and +-hz in z.
void boxQuarter(float h, float w, float hz) {
    glBegin(GL_QUADS);
    glNormal3f(-1.0f, 0.0f, 0.0f);
    glVertex3f(h, w, hz);
    glVertex3f(h, -w, hz);
    glVertex3f(h, -w, -hz);
    glVertex3f(h, w, -hz);
    glEnd();
    glBegin(GL_TRIANGLES);
    glNormal3f(0.0f, 0.0f, 1.0f);
    glVertex3f(0.0f, 0.0f, hz);
    glVertex3f(h, w, hz);
    glVertex3f(h, -w, hz);
    glNormal3f(0.0f, 0.0f, -1.0f);
    glVertex3f(0.0f, 0.0f, -hz);
    glVertex3f(h, -w, -hz);
    glVertex3f(h, w, -hz);
    glEnd();
}

}  // namespace

void drawBox(float sx, float sy, float sz) {
    const float hx = sx * 0.5f, hy = sy * 0.5f, hz = sz * 0.5f;
    // Four quarter turns: a full turn, so the matrix ends as it began.
    for (int turn = 0; turn < 4; ++turn) {
        glRotatef(90.0f, 0.0f, 0.0f, 1.0f);
        if (turn % 2 == 0) boxQuarter(-hy, hx, hz);
        else boxQuarter(-hx, hy, hz);
    }
}

void drawExplosion(Explosion& e) {
    // A paused game freezes its explosions too: no motion, no tumbling, no
    // count towards the end, so resuming picks them up where they stood.
    const bool frozen = gs.gamePaused;
    if (!frozen) moveExplosionPieces(e);
    glPushMatrix();
    float emission[3];
    if (explosionFlash(e, emission)) {
        // A light at the centre while the explosion is young. These light
        // changes stay in force after it (the scene resets only positions
        // and cut-offs of the map lights it uses).
        glEnable(GL_LIGHTING);
        glEnable(GL_NORMALIZE);
        glDepthFunc(GL_LESS);
        glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
        glEnable(GL_LIGHT1);
        const GLfloat position[4] = {e.centre.x, e.centre.y, e.centre.z, 1.0f};
        glLightfv(GL_LIGHT1, GL_POSITION, position);
        glLightf(GL_LIGHT0, GL_QUADRATIC_ATTENUATION, 0.5f);
        glLightf(GL_LIGHT1, GL_SPOT_CUTOFF, 180.0f);
        const GLfloat glow[4] = {emission[0], emission[1], emission[2], 1.0f};
        glMaterialfv(GL_FRONT, GL_EMISSION, glow);
    }
    glTranslatef(e.centre.x, e.centre.y, e.centre.z);
    const float specular[3] = {0.9f, 0.9f, 0.9f};
    const float grey[3] = {0.5f, 0.5f, 0.5f};
    setMaterial(specular, grey, grey, 121.6f);
    glColor3f(0.1f, 0.1f, 0.1f);
    const int n = e.pieceCount < 0 ? 0
                  : (e.pieceCount > kMaxExplosionPieces ? kMaxExplosionPieces : e.pieceCount);
    for (int k = 0; k < n; ++k) {
        glPushMatrix();
        glTranslatef(e.pieceOffset[k].x, e.pieceOffset[k].y, e.pieceOffset[k].z);
        // A new random attitude every drawing: the pieces tumble. Frozen
        // pieces hold an attitude of their own, taken from their direction.
        if (!frozen) {
            const float f1 = randomFraction();
            const float f2 = randomFraction();
            const float f3 = randomFraction();
            const float f4 = randomFraction();
            glRotatef(f3 * 360.0f, f2, f1, f4);
        } else {
            const Vec3& d = e.pieceDirection[k];
            glRotatef(180.0f * (d.x + d.y + d.z), d.y, d.x, d.z);
        }
        drawBox(e.pieceSize[k].x, e.pieceSize[k].y, e.pieceSize[k].z);
        glPopMatrix();
    }
    const GLfloat none[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    glMaterialfv(GL_FRONT, GL_EMISSION, none);
    glPopMatrix();
    if (!frozen) endExplosionFrame(e);
}

void drawExplosions() {
    for (Explosion& e : gs.explosionList) {
        if (e.effectType == 1) drawExplosion(e);
        else std::printf("event not supported \n");
    }
}

void setupGlowBall() {
    makeGlowBall(glowBall);
    if (glowBallList == 0) glowBallList = glGenLists(1);
    glNewList(glowBallList, GL_COMPILE);
    for (const GlowShell& shell : glowBall.shells) {
        glPushMatrix();
        glColor4f(shell.colour[0], shell.colour[1], shell.colour[2], shell.colour[3]);
        glTranslatef(shell.offset.x, shell.offset.y, shell.offset.z);
        glutWireSphere(shell.radius, 10, 10);
        glPopMatrix();
    }
    glEndList();
}

void drawGlowBall() {
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glEnable(GL_BLEND);
    glCallList(glowBallList);
    glDisable(GL_BLEND);
}

void drawFlame() {
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glEnable(GL_BLEND);
    glBegin(GL_POINTS);
    for (int a = 0; a < kFlameTrail; ++a)
        for (int p = 0; p < kFlameParticles; ++p) {
            const FlameParticle& fp = flame.trail[p][a];
            glColor4fv(fp.colour);
            glVertex3f(fp.pos.x, fp.pos.y, fp.pos.z);
        }
    glEnd();
    glDisable(GL_BLEND);
}
