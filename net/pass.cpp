// pass.cpp -- one idle pass of the server and of the client, without any
// window: the windowed game and the windowless server run the same passes.
#include <cstdio>
#include <cstring>
#include <utility>
#include <vector>

#include "net/discovery.h"
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
    // The last bullet went: the player reads why the gun is silent.
    if (hud.bullets > 0 && f.bullets == 0 && f.state == FighterState::InPlay) setMessageLine("Out of bullets");
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

// The events since the last pass: each a line of the feed for the players
// and, on a server, an event for its operator (joined is the network's own
// event, written where the slot is taken).
void reportGameEvents() {
    WorldPicture now = pictureOfWorld();
    if (net.picturePrimed) {
        for (const GameEvent& e : eventsBetween(net.lastPicture, now)) {
            pushFeedLine(feedText(e));
            if (!process.isServer) continue;
            if (e.kind == GameEventKind::RoundStarted) noteRoundStart();
            if (e.kind == GameEventKind::Joined || !net.onServerEvent) continue;
            std::vector<EventField> fields;
            if (e.fighter >= 0) {
                fields.push_back({"name", e.name});
                fields.push_back({"fighter", std::to_string(e.fighter)});
            }
            if (e.kind == GameEventKind::Destroyed) fields.push_back({"by", e.byName});
            if (e.kind == GameEventKind::PreyDestroyed || e.kind == GameEventKind::RoundOver)
                fields.push_back({"score", std::to_string(e.kind == GameEventKind::RoundOver
                                                              ? e.score
                                                              : gs.fighterList[e.fighter].score)});
            net.onServerEvent(eventWord(e), fields);
        }
    }
    net.lastPicture = std::move(now);
    net.picturePrimed = net.picturePrimed || process.isServer || net.haveSnapshot;
    expireFeedLines();
    showRespawnCountdown();
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
    longGameStep(gs.gamePaused ? 0 : passIntervalMs(process.clockPrevMs, process.clockNowMs));
    if (fighterCount() > 0 && gs.fighterList[0].state != FighterState::Absent) gs.fighterList[0].pingMs = 0;
    reportGameEvents();
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
    reportGameEvents();
    copyHudValues();
    return GameEnd::Playing;
}
