// effects.cpp -- the effects drawn without models: explosions of tumbling
// boxes with their flash, the glow ball that shows a bullet, and the points
// of the lamps' flame.
#include <GL/freeglut.h>
#include <GL/gl.h>

#include <cstdio>

#include "base/log.h"
#include "render/render.h"

namespace {

// The glow ball's shells never change after start-up: one list draws them.
GLuint glowBallList = 0;

// The box's triangles, each corner turned by `turn` and moved by `at`, into
// the batch already begun with GL_TRIANGLES.
void emitBox(const BoxTriangles& box, const Turn3& turn, Vec3 at) {
    for (int t = 0; t < 16; ++t) {
        const Vec3 n = applyTurn(turn, box.normals[t]);
        glNormal3f(n.x, n.y, n.z);
        for (int k = 0; k < 3; ++k) {
            const Vec3 v = applyTurn(turn, box.corners[3 * t + k]);
            glVertex3f(v.x + at.x, v.y + at.y, v.z + at.z);
        }
    }
}

}  // namespace

void drawBox(float sx, float sy, float sz) {
    BoxTriangles box;
    makeBoxTriangles(sx, sy, sz, box);
    glBegin(GL_TRIANGLES);
    emitBox(box, Turn3{}, Vec3{});
    glEnd();
}

void drawExplosion(const Explosion& e, bool frozen) {
    if (e.effectType != 1) {
        logLine(LogLevel::Debug, "event not supported ");
        return;
    }
    glPushMatrix();
    float emission[3];
    if (explosionFlash(e, emission)) {
        // The debris glow while the explosion is young. Its light is the
        // scene's (setupLights): set there, before the maze, it lights the
        // surroundings too, and it takes nothing from the map's lights after
        // the frame (a light here once dimmed light 0 for the rest of the game).
        glEnable(GL_LIGHTING);
        glEnable(GL_NORMALIZE);
        glDepthFunc(GL_LESS);
        glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
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
    // Every piece of the explosion in one batch: each box turned and placed
    // here rather than by the matrix stack, so that hundreds of pieces cost
    // one draw call instead of eight apiece.
    glBegin(GL_TRIANGLES);
    for (int k = 0; k < n; ++k) {
        // A new random attitude every drawing: the pieces tumble. Frozen
        // pieces hold an attitude of their own, taken from their direction.
        Turn3 turn;
        if (!frozen) {
            const float f1 = effectRandomFraction();
            const float f2 = effectRandomFraction();
            const float f3 = effectRandomFraction();
            const float f4 = effectRandomFraction();
            turn = axisTurn(f3 * 360.0f, f2, f1, f4);
        } else {
            const Vec3& d = e.pieceDirection[k];
            turn = axisTurn(180.0f * (d.x + d.y + d.z), d.y, d.x, d.z);
        }
        BoxTriangles box;
        makeBoxTriangles(e.pieceSize[k].x, e.pieceSize[k].y, e.pieceSize[k].z, box);
        emitBox(box, turn, e.pieceOffset[k]);
    }
    glEnd();
    const GLfloat none[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    glMaterialfv(GL_FRONT, GL_EMISSION, none);
    glPopMatrix();
}

void drawExplosions() { advanceDrawnExplosions(drawExplosion); }

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

namespace {

// The flame's points in drawing order (age by age, particle by particle),
// gathered so that one draw call sends a lamp's thousand points: the same
// points, colours and order as one glVertex each, at a fraction of the cost.
struct FlamePoint {
    Vec3 pos;
    float colour[4];
};
static_assert(sizeof(FlamePoint) == 7 * sizeof(float), "tightly packed for the arrays");
FlamePoint flamePoints[kFlameTrail * kFlameParticles];

}  // namespace

void drawFlame() {
    int n = 0;
    for (int a = 0; a < kFlameTrail; ++a)
        for (int p = 0; p < kFlameParticles; ++p, ++n) {
            const FlameParticle& fp = flame.trail[p][a];
            flamePoints[n].pos = fp.pos;
            for (int c = 0; c < 4; ++c) flamePoints[n].colour[c] = fp.colour[c];
        }
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glEnable(GL_BLEND);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_COLOR_ARRAY);
    glVertexPointer(3, GL_FLOAT, sizeof(FlamePoint), &flamePoints[0].pos);
    glColorPointer(4, GL_FLOAT, sizeof(FlamePoint), flamePoints[0].colour);
    glDrawArrays(GL_POINTS, 0, n);
    glDisableClientState(GL_COLOR_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);
    glDisable(GL_BLEND);
}
