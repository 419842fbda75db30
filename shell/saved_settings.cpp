// saved_settings.cpp -- the player's settings from one start to the next,
// and the fullscreen switch.
#include <GL/freeglut.h>

#include <string>

#include "base/log.h"
#include "render/render.h"
#include "shell/shell.h"
#include "world/world.h"

namespace {

// Set by loadSavedSettings: the file and what it holds now. Tests and tools
// that never load settings never write any.
bool settingsKept = false;
std::string keptPath;
Settings written;
bool fullscreenOn = false;
int32_t lastCheckMs = -1;
bool writeFailed = false;

// The window's size as the player last chose it; while fullscreen the size
// from before stays.
Settings current() {
    Settings s = written;
    s.soundOn = options.soundOn;
    s.detailLevel = options.detailLevel;
    s.fullscreen = fullscreenOn;
    if (!fullscreenOn && view.windowWidth >= kMinSavedWindow && view.windowHeight >= kMinSavedWindow) {
        s.windowWidth = view.windowWidth;
        s.windowHeight = view.windowHeight;
    }
    return s;
}

bool same(const Settings& a, const Settings& b) {
    return a.soundOn == b.soundOn && a.detailLevel == b.detailLevel && a.windowWidth == b.windowWidth &&
           a.windowHeight == b.windowHeight && a.fullscreen == b.fullscreen && a.playerName == b.playerName;
}

}  // namespace

Settings loadSavedSettings() {
    keptPath = settingsPath();
    readSettings(keptPath, written);
    settingsKept = !keptPath.empty();
    return written;
}

void applySavedSettings(const Settings& saved, bool fullscreen) {
    options.soundOn = saved.soundOn;
    options.detailLevel = saved.detailLevel;
    if (fullscreen) toggleFullscreen();
}

void keepSettingsCurrent(bool atOnce) {
    if (!settingsKept || writeFailed) return;
    // The clock runs within a minute: a wrap also counts as a second gone.
    const int32_t now = process.clockNowMs;
    if (!atOnce && lastCheckMs >= 0 && now >= lastCheckMs && now - lastCheckMs < 1000) return;
    lastCheckMs = now;
    const Settings s = current();
    if (same(s, written)) return;
    std::string error;
    if (!writeSettings(keptPath, s, error)) {
        logLine(LogLevel::Warning, "settings not saved: %s", error.c_str());
        writeFailed = true;
        return;
    }
    written = s;
}

void toggleFullscreen() {
    glutFullScreenToggle();
    fullscreenOn = !fullscreenOn;
}
