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

namespace {

// GL's defaults give a colour to light 0 only: the map lights in slots 1..7
// shine with none. The explosions' flash takes slot 1 for its frames (a map
// light there shows nothing anyway), and the models' fill lights slots 6 and
// 7 while they are drawn; all are handed back as GL's defaults left them.
constexpr GLenum kFlashLight = GL_LIGHT1;
constexpr GLenum kFillLights[2] = {GL_LIGHT6, GL_LIGHT7};
// The flash's colour: the explosion's own glow (white, then red) warmed.
constexpr float kFlashTint[3] = {1.0f, 0.8f, 0.5f};
// 1 / (1 + k d^2): about half the flash one cell (8 units) away, a sixth at two.
constexpr float kFlashQuadraticAttenuation = 0.02f;
// The models' fill: two dim white lights from above the viewer, one to each
// side, so that a model the scene's lights leave unlit still shows its shape
// and its sides, never a flat black silhouette (the fighters' materials
// reflect no ambient light at all). A face towards the viewer gets about 0.3.
constexpr float kFillLevel = 0.25f;
// Eye coordinates, towards the light: up, to one side and towards the viewer.
constexpr GLfloat kFillDirections[2][4] = {{-0.6f, 0.45f, 0.66f, 0.0f}, {0.6f, 0.45f, 0.66f, 0.0f}};
constexpr GLfloat kNoColour[4] = {0.0f, 0.0f, 0.0f, 1.0f};

// Whether the flash light was enabled before this frame's flash.
bool flashSlotWasEnabled = false;

// The flashing explosion nearest to the eye (ground distance); false when none flashes.
bool nearestFlash(const GameState& world, Vec3& centre, float emission[3]) {
    float best = 0.0f;
    bool found = false;
    for (const Explosion& e : world.explosionList) {
        float glow[3];
        if (e.effectType != 1 || e.finished || !explosionFlash(e, glow)) continue;
        const float dx = e.centre.x - view.cameraEye.x, dy = e.centre.y - view.cameraEye.y;
        const float d = dx * dx + dy * dy;
        if (found && !(d < best)) continue;
        found = true;
        best = d;
        centre = e.centre;
        for (int c = 0; c < 3; ++c) emission[c] = glow[c];
    }
    return found;
}

// After the frame: the flash's slot as GL's defaults left it, so that no
// later frame, lit or not, inherits the flash's colour or reach.
void endFlashLight() {
    if (!view.flashOn) return;
    glLightfv(kFlashLight, GL_DIFFUSE, kNoColour);
    glLightfv(kFlashLight, GL_SPECULAR, kNoColour);
    glLightf(kFlashLight, GL_QUADRATIC_ATTENUATION, 0.0f);
    if (!flashSlotWasEnabled) glDisable(kFlashLight);
    view.flashOn = false;
}

// The flash of the nearest young explosion, set before the maze is drawn so
// that it lights the walls, the models and the debris of its first frames.
void setupFlashLight(const GameState& world) {
    endFlashLight();
    Vec3 centre;
    float emission[3];
    if (!nearestFlash(world, centre, emission)) return;
    flashSlotWasEnabled = glIsEnabled(kFlashLight) == GL_TRUE;
    const GLfloat position[4] = {centre.x, centre.y, centre.z, 1.0f};
    const GLfloat colour[4] = {emission[0] * kFlashTint[0], emission[1] * kFlashTint[1],
                               emission[2] * kFlashTint[2], 1.0f};
    glLightfv(kFlashLight, GL_POSITION, position);
    glLightfv(kFlashLight, GL_DIFFUSE, colour);
    glLightfv(kFlashLight, GL_SPECULAR, colour);
    glLightf(kFlashLight, GL_SPOT_CUTOFF, 180.0f);
    glLightf(kFlashLight, GL_QUADRATIC_ATTENUATION, kFlashQuadraticAttenuation);
    glEnable(kFlashLight);
    view.flashOn = true;
}

// Around the models' drawing: the fill light on, and on leaving every light,
// the light model and the material as they were.
void beginModelFill() {
    glPushAttrib(GL_LIGHTING_BIT);
    glPushMatrix();
    glLoadIdentity();
    for (int i = 0; i < 2; ++i) glLightfv(kFillLights[i], GL_POSITION, kFillDirections[i]);
    glPopMatrix();
    const GLfloat fill[4] = {kFillLevel, kFillLevel, kFillLevel, 1.0f};
    for (const GLenum light : kFillLights) {
        glLightfv(light, GL_AMBIENT, kNoColour);
        glLightfv(light, GL_DIFFUSE, fill);
        glLightfv(light, GL_SPECULAR, kNoColour);
        glLightf(light, GL_SPOT_CUTOFF, 180.0f);
        glLightf(light, GL_CONSTANT_ATTENUATION, 1.0f);
        glLightf(light, GL_LINEAR_ATTENUATION, 0.0f);
        glLightf(light, GL_QUADRATIC_ATTENUATION, 0.0f);
        glEnable(light);
    }
}

void endModelFill() { glPopAttrib(); }

}  // namespace

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
    } else {
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
    setupFlashLight(world);
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
    beginModelFill();
    drawObjects(world);
    endModelFill();
    glPopMatrix();
    glPushMatrix();
    drawCrosshair(world);
    glPopMatrix();
    glPushMatrix();
    beginModelFill();
    drawExplosions();
    endModelFill();
    glPopMatrix();
    glPopMatrix();
    endFlashLight();
}
