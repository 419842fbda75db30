// replay.cpp -- `maze --replay FILE`: a recording played in the game's own
// window without a network. Each body is fed to the client's own apply path
// (explosions, gunfire, the world's picture) at the replay's clock; seeking
// jumps to the nearest full body and decodes forward to the instant.
#include <GL/freeglut.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "net/net.h"
#include "net/recording.h"
#include "render/render.h"
#include "shell/shell.h"
#include "sound/sound.h"
#include "world/world.h"

namespace {

constexpr double kMinSpeed = 0.25;
constexpr double kMaxSpeed = 8.0;
constexpr uint32_t kSeekStepMs = 5000;
// Bodies fed in one pass at most: a fast replay of a dense stream keeps up,
// a damaged file cannot hold a pass.
constexpr int kMaxBodiesPerPass = 2000;
constexpr float kFreeCameraSpeed = 10.0f;    // world units a second
constexpr float kFreeCameraTurn = 1.5f;      // radians a second

struct Replay {
    RecordingReader reader;
    double timeMs = 0;        // the replay's clock, ms into the recording
    double speed = 1.0;
    bool paused = false;
    bool pending = false;     // reader.body is read but not yet due
    int viewFighter = -1;     // -1: as recorded (the body's own fighter)
    bool freeCamera = false;
    Vec3 eye;
    float yaw = 0.0f;         // radians from +x, counter-clockwise
    bool held[kKeyCount] = {};
};
Replay replay;

// The world as the body shows it: the client's own steps, in its order.
// Without `live` (a seek), no explosion or shot of the body sounds.
void feedBody(const NetMessage& body, bool live) {
    StateSnapshot s;
    if (!parseStateSnapshot(body, s)) return;
    if (live) startSnapshotEffects(s, true);
    const GunfireHeard heard = hearServerGunfire(s);
    if (live) playGunfire(heard);
    applySnapshot(s);
    if (replay.viewFighter >= 0 && replay.viewFighter < fighterCount()) process.localFighterIndex = replay.viewFighter;
}

void copyHud() {
    const int i = process.localFighterIndex;
    if (i < 0 || i >= fighterCount()) return;
    hud.score = gs.fighterList[i].score;
    hud.bullets = gs.fighterList[i].bullets;
    hud.health = gs.fighterList[i].health;
}

void seekTo(double timeMs) {
    RecordingReader& r = replay.reader;
    replay.timeMs = std::clamp(timeMs, 0.0, static_cast<double>(r.durationMs));
    // A seek lands in another moment: explosions under way belong to the
    // one left, and events already started may start again.
    gs.explosionList.clear();
    std::memset(net.startedEffectIds, 0, sizeof net.startedEffectIds);
    replay.pending = false;
    if (seekRecording(r, static_cast<uint32_t>(replay.timeMs))) feedBody(r.body, false);
    copyHud();
}

void showClock() {
    const auto t = static_cast<int>(replay.timeMs / 100);
    const auto d = static_cast<int>(replay.reader.durationMs / 100);
    char text[128];
    std::snprintf(text, sizeof text, "Replay %d:%02d.%d / %d:%02d.%d  x%g%s%s", t / 600, t / 10 % 60, t % 10,
                  d / 600, d / 10 % 60, d % 10, replay.speed, replay.paused ? "  paused" : "",
                  replay.freeCamera ? "  free camera" : "");
    setMessageLine(text);
}

void moveFreeCamera(float seconds) {
    const bool* k = replay.held;
    replay.yaw += kFreeCameraTurn * seconds * ((k['j'] ? 1.0f : 0.0f) - (k['l'] ? 1.0f : 0.0f));
    const float ahead = kFreeCameraSpeed * seconds * ((k['i'] ? 1.0f : 0.0f) - (k['k'] ? 1.0f : 0.0f));
    const float side = kFreeCameraSpeed * seconds * ((k['f'] ? 1.0f : 0.0f) - (k['d'] ? 1.0f : 0.0f));
    const float c = std::cos(replay.yaw), s = std::sin(replay.yaw);
    replay.eye.x += ahead * c + side * s;
    replay.eye.y += ahead * s - side * c;
}

}  // namespace

std::string openReplay(const std::string& path) {
    return openRecordingReader(replay.reader, path);
}

const RecordingHeader& replayHeader() { return replay.reader.header; }

void startReplay() {
    seekTo(0);
    // A windowless server's own fighter is out of play: the first fighter
    // in play is worth watching instead.
    const int i = process.localFighterIndex;
    if (i >= 0 && i < fighterCount() && gs.fighterList[i].state == FighterState::Absent)
        for (int k = 0; k < fighterCount(); ++k)
            if (gs.fighterList[k].state != FighterState::Absent) {
                replay.viewFighter = k;
                process.localFighterIndex = k;
                copyHud();
                break;
            }
    showClock();
}

void replayIdle() {
    do {
        paceIdlePass();
        if (stopRequested()) endProcessIf(GameEnd::QuitAsked);
        process.clockPrevMs = process.clockNowMs;
        process.clockNowMs = readClockMs();
        const int32_t passMs = passIntervalMs(process.clockPrevMs, process.clockNowMs);
        advanceUndrawnExplosions();
        RecordingReader& r = replay.reader;
        if (!replay.paused) replay.timeMs = std::min(replay.timeMs + passMs * replay.speed, double(r.durationMs));
        for (int n = 0; n < kMaxBodiesPerPass; ++n) {
            if (!replay.pending) {
                if (!readNextBody(r)) {
                    if (r.nextOffset < r.endOfBodies) continue;  // a damaged block: on to the next seek point
                    break;
                }
                replay.pending = true;
            }
            if (r.bodyTimeMs > replay.timeMs) break;
            feedBody(r.body, true);
            replay.pending = false;
        }
        removeFinishedExplosions();
        if (replay.freeCamera) moveFreeCamera(passMs / 1000.0f);
        copyHud();
        showClock();
    } while (passOverdue());
    keepSettingsCurrent();
    glutPostRedisplay();
}

bool replayCamera(Vec3& eye, Vec3& dir) {
    if (!replay.freeCamera) return false;
    eye = replay.eye;
    dir = Vec3{std::cos(replay.yaw), std::sin(replay.yaw), 0.0f};
    return true;
}

void onReplayKey(unsigned char key, int, int) {
    replay.held[key] = true;
    if (key == 'q' || key == 'Q') endProcessIf(GameEnd::QuitAsked);
    if (key == ' ') replay.paused = !replay.paused;
    if (key == 'L' || key == 'T') dispatchKey(key, false, false);
    if (key == '0' && !replay.freeCamera) {
        const int i = process.localFighterIndex;
        if (i >= 0 && i < fighterCount()) {
            replay.eye = gs.fighterList[i].pos;
            replay.yaw = std::atan2(gs.fighterList[i].dir.y, gs.fighterList[i].dir.x);
        }
        replay.freeCamera = true;
    }
    if (key >= '1' && key <= '9' && key - '0' < fighterCount()) {
        replay.viewFighter = key - '0';
        replay.freeCamera = false;
        process.localFighterIndex = replay.viewFighter;
        copyHud();
    }
    showClock();
    glutPostRedisplay();
}

void onReplayKeyUp(unsigned char key, int, int) { replay.held[key] = false; }

void onReplaySpecialKey(int key, int, int) {
    if (key == GLUT_KEY_F11) return toggleFullscreen();
    if (key == GLUT_KEY_F1) view.helpShown = !view.helpShown;
    if (key == GLUT_KEY_LEFT) seekTo(replay.timeMs - kSeekStepMs);
    if (key == GLUT_KEY_RIGHT) seekTo(replay.timeMs + kSeekStepMs);
    if (key == GLUT_KEY_UP) replay.speed = std::min(kMaxSpeed, replay.speed * 2);
    if (key == GLUT_KEY_DOWN) replay.speed = std::max(kMinSpeed, replay.speed / 2);
    showClock();
    glutPostRedisplay();
}
