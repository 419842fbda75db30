// shell.cpp -- start-up of the world and the idle / display / reshape
// callbacks.
#include <GL/freeglut.h>
#include <GL/gl.h>
#include <GL/glu.h>
#include <GL/glx.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/log.h"
#include "net/net.h"
#include "net/smoothing.h"
#include "prey/prey.h"
#include "render/render.h"
#include "shell/shell.h"
#include "sound/sound.h"
#include "world/world.h"

GameEnd checkLocalFighter() {
    const int i = process.localFighterIndex;
    if (i >= 0 && i < fighterCount()) return GameEnd::Playing;
    logLine(LogLevel::Error,
            "maze: the level \"%s\" has %d fighter start(s); this %s needs fighter %d. Ending.",
            net.levelName.c_str(), fighterCount(), process.isServer ? "server" : "client", i);
    return GameEnd::NoLocalFighter;
}

void endProcessIf(GameEnd why) {
    if (why == GameEnd::Playing) return;
    // A choice made in the last second is kept too.
    keepSettingsCurrent(true);
    std::exit(endOfGame(why));
}

GameEnd initialiseWorld() {
    randomSeed(0);
    effectRandomSeed(0);
    process.clockNowMs = readClockMs();
    process.clockPrevMs = process.clockNowMs;
    process.quitRequested = false;
    options.detailLevel = 4;
    view.fieldOfView = 90.0f;
    view.windowWidth = 640;
    view.windowHeight = 480;
    setMessageLine(kStartMessage);
    view.viewConeCos = std::cos(3.14159265358979f / 4.0f);

    if (process.localFighterIndex < maze.fighterStartCount) {
        const int code = maze.fighterStarts[process.localFighterIndex].direction;
        if (code < 0 || code > 3) logLine(LogLevel::Warning, "error initial position %d", process.localFighterIndex);
    }

    gs.gameStarted = false;
    gs.preyList.clear();
    gs.bulletList.clear();
    gs.reservedPointsA.clear();
    gs.reservedPointsB.clear();
    options.texturesOn = true;
    options.soundOn = false;
    options.lightingOn = false;

    keepHeapForFrames();
    if (!loadTextures()) return GameEnd::MissingFile;
    buildModels();
    buildHudText();
    loadPreyPoseFile();
    createFighters();
    return GameEnd::Playing;
}

namespace {

// The scene's depth range, world units from the eye: the far plane lies
// beyond the farthest corner of the largest level of 8-unit cells (100 x 100,
// about 1131 along the diagonal).
constexpr double kNearPlane = 0.1;
constexpr double kFarPlane = 2000.0;

// The scene's perspective for a window of width x height (height >= 1).
void setSceneProjection(int width, int height) {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(view.fieldOfView, static_cast<double>(width) / height, kNearPlane, kFarPlane);
    glMatrixMode(GL_MODELVIEW);
}

// Messages stay readable for kMessageShowMs, then the line empties: a
// matter of the passes' clock, so it is done by them, not by the frames.
void expireMessageLine() {
    if (hud.messageLine[0] == '\0') return;
    if (clockElapsedMs(hud.messageSetMs, process.clockNowMs) > kMessageShowMs)
        hud.messageLine[0] = '\0';
}

// The window this process created, when its title is "maze": with a server
// and a client on one desktop each binds its sound to its own window, which
// a search of every window by title could not tell apart. Prints
// "handle: <id>"; 0 when there is no such window.
uintptr_t findGameWindow() {
    Display* const x = glXGetCurrentDisplay();
    const GLXDrawable w = glXGetCurrentDrawable();
    if (x == nullptr || w == 0) return 0;
    char* title = nullptr;
    const bool ours = XFetchName(x, w, &title) != 0 && title != nullptr && std::strcmp(title, "maze") == 0;
    if (title) XFree(title);
    if (!ours) return 0;
    logLine(LogLevel::Debug, "handle: %d", static_cast<int>(w));
    return static_cast<uintptr_t>(w);
}

// The sound engine is set up on the first frame, once.
bool soundSetUp = false;

}  // namespace

void idle() {
    // The pacer owns the rate of the passes, not the frames: a frame is
    // drawn only while the window can be seen, and passes that fell due
    // while a slow frame was drawn run now, one after the other.
    do {
        paceIdlePass();
        endProcessIf(process.isServer ? serverIdlePass() : clientIdlePass());
        expireMessageLine();
        expireFeed(hud, process.clockNowMs);
    } while (passOverdue());
    endProcessIf(checkLocalFighter());
    keepSettingsCurrent();
    glutPostRedisplay();
}

namespace {

// The frame's picture: gs with what the smoothing draws put in.
GameState picture;
DrawnWorld drawn;
std::FILE* frameTrace = nullptr;

// One line of the frame trace: the frame's time (the beat of the pass it
// shows, ms on the steady clock), the eye, every fighter as drawn.
void traceFrame(const GameState& world) {
    if (frameTrace == nullptr) return;
    std::fprintf(frameTrace, "%.1f %.3f %.3f %.2f", paceBeatMs(),
                 static_cast<double>(view.cameraEye.x), static_cast<double>(view.cameraEye.y),
                 static_cast<double>(headingDegrees(view.cameraDir)));
    for (const Fighter& f : world.fighterList) {
        if (f.state == FighterState::InPlay) std::fprintf(frameTrace, " %.3f %.3f", static_cast<double>(f.pos.x),
                                                         static_cast<double>(f.pos.y));
        else std::fputs(" nan nan", frameTrace);
    }
    std::fputc('\n', frameTrace);
}

}  // namespace

bool openFrameTrace(const char* path) {
    frameTrace = std::fopen(path, "w");
    if (frameTrace == nullptr) {
        logLine(LogLevel::Error, "maze: cannot write the frame trace \"%s\"", path);
        return false;
    }
    std::setvbuf(frameTrace, nullptr, _IOLBF, 0);
    return true;
}

void display() {
    endProcessIf(checkLocalFighter());
    // Timed by the pass's beat, not the moment the frame happens to be
    // drawn: the others then move by the same step every frame.
    smoothingDrawn(paceBeatMs(), drawn);
    pictureOf(drawn, gs, picture);
    const Fighter& f = picture.fighterList[process.localFighterIndex];

    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_NORMALIZE);
    glColor3f(1.0f, 1.0f, 1.0f);

    if (!replayCamera(view.cameraEye, view.cameraDir)) {
        view.cameraEye = f.pos;
        view.cameraDir = f.dir;
    }
    const int h = view.windowHeight > 0 ? view.windowHeight : 1;
    setSceneProjection(view.windowWidth, h);
    glLoadIdentity();
    gluLookAt(view.cameraEye.x, view.cameraEye.y, view.cameraEye.z,
              view.cameraEye.x + view.cameraDir.x, view.cameraEye.y + view.cameraDir.y,
              view.cameraEye.z + view.cameraDir.z, 0.0, 0.0, 1.0);

    if (!soundSetUp) {
        soundSetUp = true;
        setSoundService(sdlSoundService());
        soundFirstFrameSetUp(findGameWindow(), options.soundOn);
    }
    // The wait for sound notifications belongs to the idle pass's pacer
    // (its wait hook), so a covered window still refills the sound.

    // The frame only reads the world, as the smoothing draws it.
    const GameState& world = picture;
    drawScene(world);

    glPushMatrix();
    drawHud(world);
    glColor3f(0.0f, 0.0f, 0.0f);
    glPopMatrix();

    glFlush();
    glutSwapBuffers();
    traceFrame(world);
}

void reshape(int width, int height) {
    // A window shrunk to nothing keeps a height of 1 so the aspect ratio and
    // the view cone stay finite.
    if (height < 1) height = 1;
    if (width < 1) width = 1;
    view.windowWidth = width;
    view.windowHeight = height;
    // Each frame sets the scene's projection itself; this one is for drawing
    // that does not go through display (the benchmarks).
    setSceneProjection(width, height);
    glViewport(0, 0, width, height);
    glEnable(GL_DEPTH_TEST);
    const double halfAngle = width * static_cast<double>(view.fieldOfView) / height * 0.0027777778 *
                             3.14159265358979;
    // Past a half-angle of 180 degrees every direction is inside the view.
    view.viewConeCos = halfAngle >= 3.14159265358979 ? -1.0f : static_cast<float>(std::cos(halfAngle));
}
