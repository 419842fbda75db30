// objects.cpp -- the world's objects in the scene: the other players'
// fighters, the prey, the bullets' glow balls, and a lamp with its flame at
// every map light.
#include <GL/freeglut.h>
#include <GL/gl.h>

#include <cstdio>

#include "base/log.h"
#include "prey/prey.h"
#include "render/render.h"

bool skipHiddenObjects = true;

namespace {

// Spheres that hold every drawn pixel of a model: the fighter, about 3
// units across and 4 high, round a point 2 above its place; the lamp, under
// a unit across, with its flame, round the light. Both with a wide margin.
constexpr float kFighterCentreHeight = 2.0f;
constexpr float kFighterRadius = 4.0f;
constexpr float kLampRadius = 2.0f;
// The shell round a protected fighter: the model is about 3 across, 4 high.
constexpr double kProtectionShellRadius = 2.6;
// The glow ball: shells up to 0.1 across the bullet, their centres within
// 0.02 of it on each axis.
constexpr float kGlowBallRadius = 0.5f;

void applyMaterial(const ModelMaterial& m) {
    setMaterial(m.specular, m.ambient, m.diffuse, m.shininess);
}

// One rack: 3 rows of 5 places, `step` along x between places.
void drawRack(const bool filled[kRackRows][kRackPlaces], float step, int missileList) {
    for (int row = 0; row < kRackRows; ++row) {
        glTranslatef(0.0f, 0.0f, -0.08f);
        glPushMatrix();
        for (int place = 0; place < kRackPlaces; ++place) {
            glTranslatef(step, 0.0f, 0.0f);
            if (filled[row][place]) callModelList(missileList);
        }
        glPopMatrix();
    }
}

bool fighterDrawn(const GameState& world, int i) {
    const Fighter& f = world.fighterList[static_cast<size_t>(i)];
    if (f.state == FighterState::Dead || f.state == FighterState::Absent || i == process.localFighterIndex) return false;
    return !(skipHiddenObjects &&
             sphereOutsideView(Vec3{f.pos.x, f.pos.y, kFighterCentreHeight}, kFighterRadius));
}

// The cell of a prey is visible this frame (a prey off the grid is not).
bool preyCellVisible(const Prey& q) {
    const int row = cellOfCoordinate(q.pos.y);
    const int col = cellOfCoordinate(q.pos.x);
    if (row < 0 || col < 0 || row >= kMaxMazeSize || col >= kMaxMazeSize) return false;
    return view.cellVisible[row][col] != 0;
}

float localHeading(const GameState& world) {
    const int i = process.localFighterIndex;
    if (i < 0 || i >= static_cast<int>(world.fighterList.size())) return 90.0f;
    return headingDegrees(world.fighterList[static_cast<size_t>(i)].dir);
}

// A fighter protected after its respawn wears a translucent cyan shell
// that blinks at 4 Hz (brighter, fainter), so others can tell it takes no
// damage. Drawn after the opaque fighters, without writing depth, so the
// model shows through it.
void drawProtectionShells(const GameState& world) {
    const int fighters = static_cast<int>(world.fighterList.size());
    bool begun = false;
    for (int i = 0; i < fighters; ++i) {
        const Fighter& f = world.fighterList[static_cast<size_t>(i)];
        if (f.protectMs <= 0 || !fighterDrawn(world, i)) continue;
        if (!begun) {
            begun = true;
            glPushAttrib(GL_ENABLE_BIT | GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_CURRENT_BIT);
            glDisable(GL_LIGHTING);
            glDisable(GL_TEXTURE_2D);
            glEnable(GL_BLEND);
            glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
            glDepthMask(GL_FALSE);
            // Eighths of a second: on, off, on, off makes 4 blinks a second.
            const bool bright = (process.clockNowMs / 125) % 2 == 0;
            glColor4f(0.3f, 0.9f, 1.0f, bright ? 0.45f : 0.2f);
        }
        glPushMatrix();
        glTranslatef(f.pos.x, f.pos.y, kFighterCentreHeight);
        glutSolidSphere(kProtectionShellRadius, 16, 12);
        glPopMatrix();
    }
    if (begun) glPopAttrib();
}

}  // namespace

void drawFighter(const Fighter& f, int detailLevel) {
    const int d = clampDetailLevel(detailLevel);
    const int* P = fighterPartLists[d];
    glPushMatrix();
    glTranslatef(f.pos.x, f.pos.y, 0.0f);
    glRotatef(headingDegrees(f.dir), 0.0f, 0.0f, 1.0f);
    glRotatef(90.0f, 0.0f, 0.0f, 1.0f);
    glTranslatef(0.0f, 0.0f, 0.45f);

    // Lower body: F5 turned a quarter, F4 above it.
    glPushMatrix();
    glColor3f(0.0f, 0.0f, 0.0f);
    applyMaterial(kFighterHullMaterial);
    glRotatef(90.0f, 0.0f, 0.0f, 1.0f);
    callModelList(P[5]);
    glTranslatef(0.0f, 0.0f, 0.3f);
    callModelList(P[4]);
    glPopMatrix();

    // Upper body: hull, then head, gun and racks relative to it.
    glPushMatrix();
    glTranslatef(0.0f, 0.0f, 1.7f);
    callModelList(P[0]);

    glPushMatrix();
    glTranslatef(0.0f, -0.75f, 0.265f);
    glColor3f(0.0f, 0.0f, 0.0f);
    applyMaterial(kFighterHeadMaterial);
    callModelList(P[3]);
    glPopMatrix();

    glPushMatrix();
    glTranslatef(0.0f, -1.0f, -0.9f);
    applyMaterial(kFighterGunMaterial);
    callModelList(P[1]);
    glPopMatrix();

    bool filled[2][kRackRows][kRackPlaces];
    fillMissileRacks(f.missiles, filled);
    glPushMatrix();
    glRotatef(180.0f, 0.0f, 0.0f, 1.0f);
    applyMaterial(kMissileMaterial);
    glPushMatrix();
    glTranslatef(0.6f, 0.0f, 1.2f);
    drawRack(filled[0], 0.08f, P[2]);
    glPopMatrix();
    glTranslatef(-0.6f, 0.0f, 1.2f);
    drawRack(filled[1], -0.08f, P[2]);
    glPopMatrix();

    glPopMatrix();  // upper body
    glPopMatrix();
}

void drawPrey(const Prey& q, int detailLevel) {
    const int d = clampDetailLevel(detailLevel);
    const int* P = preyPartLists[d];
    const PoseJoint* J = preyPoses.poses[clampPreyPose(q.pose)];
    glPushMatrix();
    glTranslatef(q.pos.x, q.pos.y, 0.0f);
    glRotatef(headingDegrees(q.dir), 0.0f, 0.0f, 1.0f);
    applyMaterial(kPreyMaterial);
    glColor3f(0.1f, 0.1f, 0.1f);
    glScalef(0.5f, 0.5f, 0.5f);
    glRotatef(90.0f, 0.0f, 0.0f, 1.0f);

    glTranslatef(0.0f, 0.0f, J[0].offset.z);
    callModelList(P[0]);

    glPushMatrix();
    applyMaterial(kFighterHeadMaterial);
    glColor3f(0.1f, 0.1f, 0.1f);
    glTranslatef(J[1].offset.x, J[1].offset.y, J[1].offset.z);
    glRotatef(J[1].angle, J[1].axis.x, J[1].axis.y, J[1].axis.z);
    glRotatef(q.bodyTurn, 0.0f, 0.0f, 1.0f);
    callModelList(P[1]);
    glPopMatrix();

    applyMaterial(kPreyMaterial);
    glColor3f(0.1f, 0.1f, 0.1f);
    // Two legs, each a chain from the hips: every segment placed relative
    // to the one before it.
    for (int first = 2; first < kPreyParts; first += 4) {
        glPushMatrix();
        for (int k = first; k < first + 4; ++k) {
            glTranslatef(J[k].offset.x, J[k].offset.y, J[k].offset.z);
            glRotatef(J[k].angle, J[k].axis.x, J[k].axis.y, J[k].axis.z);
            callModelList(P[k]);
        }
        glPopMatrix();
    }
    glPopMatrix();
}

void drawObjects(const GameState& world) {
    const int fighters = static_cast<int>(world.fighterList.size());
    for (int i = 0; i < fighters; ++i)
        if (fighterDrawn(world, i)) drawFighter(world.fighterList[static_cast<size_t>(i)], options.detailLevel);

    drawProtectionShells(world);

    const int prey = static_cast<int>(world.preyList.size());
    for (int p = 0; p < prey; ++p) {
        const Prey& q = world.preyList[static_cast<size_t>(p)];
        bool colliding = false;
        for (const Fighter& f : world.fighterList) {
            if (preyCollidesWithFighter(world, q.pos, f)) {
                logLine(LogLevel::Debug, "warning: collision detected, prey %d", p);
                colliding = true;
                break;
            }
        }
        if (colliding || !preyCellVisible(q)) continue;
        glPushMatrix();
        drawPrey(q, options.detailLevel);
        glPopMatrix();
    }

    // Bullets: glow balls, unlit, each turned to show the viewer one side.
    const float h = localHeading(world);
    glDisable(GL_LIGHTING);
    for (const Bullet& b : world.bulletList) {
        // Twenty wire shells are thousands of lines: one behind the eye is
        // worth skipping.
        if (skipHiddenObjects && sphereOutsideView(b.pos, kGlowBallRadius)) continue;
        glPushMatrix();
        glTranslatef(b.pos.x, b.pos.y, b.pos.z);
        glRotatef(h, 0.0f, 0.0f, 1.0f);
        drawGlowBall();
        glPopMatrix();
    }
    glEnable(GL_LIGHTING);

    // Lamps: one shared flame, advanced once per lamp whether drawn or not,
    // so the skip changes neither the flame nor the random sequence.
    for (const MazeLight& light : maze.lights) {
        const Vec3 at{light.position[0], light.position[1], light.position[2]};
        const bool hidden = skipHiddenObjects && sphereOutsideView(at, kLampRadius);
        if (!hidden) {
            glPushMatrix();
            glTranslatef(light.position[0], light.position[1], light.position[2]);
            glRotatef(lampTurnDegrees(light.side, h), 0.0f, 0.0f, 1.0f);
            glTranslatef(-0.3f, 0.0f, 0.0f);
            applyMaterial(kLampMaterial);
            glColor3f(0.44f, 0.26f, 0.2f);
            glScalef(0.8f, 0.8f, 0.8f);
            callModelList(kLampList);
            glTranslatef(-0.3f, 0.0f, 0.2f);
            glDisable(GL_LIGHTING);
            drawFlame();
            glEnable(GL_LIGHTING);
            glPopMatrix();
        }
        stepFlame();
    }
}
