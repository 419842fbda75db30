// pass.cpp -- one idle pass of the server and of the client, without any
// window: the windowed game and the windowless server run the same passes.
#include <cstdio>
#include <cstring>

#include "net/net.h"
#include "net/smoothing.h"
#include "prey/prey.h"
#include "sound/sound.h"
#include "world/world.h"

namespace {

// Copies the shown fighter's numbers into the HUD block (nothing when the
// level has no such fighter; the shell refuses that case at start-up).
void copyHudValues() {
    const int i = process.localFighterIndex;
    if (i < 0 || i >= fighterCount()) return;
    const Fighter& f = gs.fighterList[i];
    hud.score = f.score;
    hud.bullets = f.bullets;
    hud.health = f.health;
}

void readPassClock() {
    process.clockPrevMs = process.clockNowMs;
    process.clockNowMs = readClockMs();
}

// A server without its socket plays alone; the message line says so
// whenever no other message is showing.
void noteMissingSocket() {
    if (net.netSocket >= 0) return;
    if (hud.messageLine[0] != '\0' && std::strcmp(hud.messageLine, kStartMessage) != 0) return;
    char text[96];
    std::snprintf(text, sizeof text, "No client can join: UDP port %d is not open",
                  static_cast<int>(net.port));
    setMessageLine(text);
}

}  // namespace

GameEnd serverIdlePass() {
    if (stopRequested()) return GameEnd::QuitAsked;
    readPassClock();
    regenerateHealth();
    const GameEnd end = serverNetworkReceive();
    if (end != GameEnd::Playing) return end;
    advanceUndrawnExplosions();
    worldStep(updatePrey);
    copyHudValues();
    serverNetworkSend();
    noteMissingSocket();
    return GameEnd::Playing;
}

GameEnd clientIdlePass() {
    if (stopRequested()) return GameEnd::QuitAsked;
    readPassClock();
    advanceUndrawnExplosions();
    if (!clientReceivePass()) return GameEnd::ServerDied;
    // The line has been written; a world this client cannot show is no game.
    if (net.levelMismatchReported) return GameEnd::LevelMismatch;
    smoothingStartDueEffects(net.clockMillis());
    smoothingPredictPass(net.clockMillis(),
                         static_cast<float>(passIntervalMs(process.clockPrevMs, process.clockNowMs)) * 0.001f);
    copyHudValues();
    return GameEnd::Playing;
}
