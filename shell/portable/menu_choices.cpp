// menu_choices.cpp -- what each menu entry does to the flags and the game.
// GL-free: the GLUT callbacks in menus.cpp only pass the value on, so the
// rules library and its tests carry all of it.
#include <cstdio>

#include "base/log.h"
#include "net/discovery.h"
#include "net/net.h"
#include "shell/shell.h"
#include "world/world.h"

void startGame() {
    resetGame();
    // The reset leaves only fighter 0 in play; a connected client keeps
    // playing the new game rather than watching it from nowhere.
    if (process.isServer) {
        for (int s = 0; s < kMaxClients; ++s)
            if (net.clients[s].inUse && s + 1 < fighterCount()) gs.fighterList[s + 1].state = FighterState::InPlay;
    }
    gs.gameStarted = true;
    noteRoundStart();
    if (gs.gamePaused) {
        gs.gamePaused = false;
        setMessageLine(kResumedMessage);
    }
}

void chooseMainMenu(int value) {
    switch (value) {
    case MenuStartGame:
        // A client's world is the server's picture; a reset here would be
        // overwritten by the next state.
        if (process.isServer) startGame();
        else setMessageLine("Only the server can start a new game");
        break;
    case MenuPauseGame:
        toggleOption(GameOption::Pause);
        break;
    case MenuToggleMap:
        toggleOption(GameOption::Map);
        break;
    case MenuToggleTexture:
        toggleOption(GameOption::Textures);
        break;
    case MenuToggleLight:
        toggleOption(GameOption::Lighting);
        break;
    case MenuToggleSound:
        toggleOption(GameOption::Sound);
        break;
    case MenuToggleRespawn:
        // The server's rule: a client's world follows it.
        if (!process.isServer) {
            setMessageLine("Only the server can change the respawn rule");
        } else {
            longGame.respawnOn = !longGame.respawnOn;
            char text[64];
            if (respawnDelayNow() > 0)
                std::snprintf(text, sizeof text, "Respawn on: back after %g s", longGame.respawnDelayMs / 1000.0);
            else
                std::snprintf(text, sizeof text, "Respawn off: destroyed fighters wait for a new game");
            setMessageLine(text);
        }
        break;
    case MenuQuit:
        process.quitRequested = true;
        break;
    default:
        break;
    }
}

void chooseDetailMenu(int value) {
    if (value < 1 || value > kDetailMenuEntries) {
        logLine(LogLevel::Warning, "error: invalid lod select mode.");
        return;
    }
    options.detailLevel = value - 1;
}

void chooseVolumeMenu(int value) {
    if (value < 1 || value > kVolumeMenuEntries) return;
    changeVolume(static_cast<VolumeControl>(value - 1));
}
