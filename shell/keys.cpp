// keys.cpp -- the three keyboard callbacks and the routing of key events.
//
// Under X a held key repeats as release/press pairs. freeglut reads every
// queued event before it calls idle again, and the X server sends both
// halves of a pair together, so the world step never sees a held key up
// (tests/e2e/play.sh walks and fires with real repeats to prove it).
#include <GL/freeglut.h>

#include "net/net.h"
#include "net/recording.h"
#include "net/smoothing.h"
#include "render/render.h"
#include "shell/shell.h"
#include "world/world.h"

GameEnd dispatchKey(int key, bool released, bool special) {
    // Quit and the display toggles act in every process and never travel.
    if (keyIsLocalOnly(key, special))
        return fighterCount() > 0 ? fighterKeyAction(gs.fighterList[0], key, released, false) : GameEnd::Playing;
    if (process.isServer)
        return fighterCount() > 0 ? fighterKeyAction(gs.fighterList[0], key, released, special) : GameEnd::Playing;
    sendKeyEvent(key, released, special);
    return GameEnd::Playing;
}

namespace {

bool pointerCaptured = false;

void centrePointer() { glutWarpPointer(view.windowWidth / 2, view.windowHeight / 2); }

}  // namespace

bool releasePointerOnEscape(int key) {
    if (key != 27 || !pointerCaptured) return false;
    pointerCaptured = false;
    glutSetCursor(GLUT_CURSOR_INHERIT);
    return true;
}

void onMouseButton(int button, int state, int, int) {
    if (button != GLUT_LEFT_BUTTON || state != GLUT_DOWN || pointerCaptured) return;
    pointerCaptured = true;
    glutSetCursor(GLUT_CURSOR_NONE);
    centrePointer();
}

void onMouseMotion(int x, int) {
    if (!pointerCaptured) return;
    // The warp back to the centre comes back as a motion of its own, of 0.
    const int dx = x - view.windowWidth / 2;
    if (dx == 0) return;
    centrePointer();
    const auto hundredths = static_cast<int32_t>(static_cast<float>(dx) * kMouseDegreesPerPixel * 100.0f);
    if (hundredths == 0 || gs.gamePaused) return;
    if (process.isServer) {
        if (fighterCount() > 0) askMouseTurn(gs.fighterList[0], hundredths);
    } else {
        smoothingNoteMouse(hundredths);
    }
}

// Tab, held, shows the scoreboard over this window's view; it never travels.
constexpr unsigned char kScoreboardKey = '\t';

void onKeyDown(unsigned char key, int, int) {
    if (releasePointerOnEscape(key)) return;
    if (key == kScoreboardKey) {
        hud.scoreboardHeld = true;
        glutPostRedisplay();
        return;
    }
    endProcessIf(dispatchKey(key & 0xFF, false, false));
    glutPostRedisplay();
}

void onKeyUp(unsigned char key, int, int) {
    if (key == kScoreboardKey) {
        hud.scoreboardHeld = false;
        glutPostRedisplay();
        return;
    }
    endProcessIf(dispatchKey(key & 0xFF, true, false));
    glutPostRedisplay();
}

void onSpecialKey(int key, int, int) {
    // The window's own switch: never a game key, never sent.
    if (key == GLUT_KEY_F11) return toggleFullscreen();
    // F1 shows the keys over this window's view; it never travels.
    if (key == GLUT_KEY_F1) {
        view.helpShown = !view.helpShown;
        glutPostRedisplay();
        return;
    }
    // F9 saves the last seconds of this game on this machine; never sent.
    if (key == GLUT_KEY_F9) {
        setMessageLine(saveRecentRecording().c_str());
        glutPostRedisplay();
        return;
    }
    endProcessIf(dispatchKey(key, false, true));
    glutPostRedisplay();
}
