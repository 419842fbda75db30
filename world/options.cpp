// options.cpp -- the option flags that the keys and the menus share.
#include "sound/sound.h"
#include "world/world.h"

void toggleOption(GameOption option) {
    switch (option) {
    case OptionTextures:
        gs.texturesOn = !gs.texturesOn;
        break;
    case OptionLighting:
        gs.lightingOn = !gs.lightingOn;
        break;
    case OptionSound:
        gs.soundOn = !gs.soundOn;
        // Music only: slot 0 restarts from its beginning, looped.
        if (gs.soundOn) playSoundLooped(kMusicSlot);
        else stopSound(kMusicSlot);
        break;
    case OptionMap:
        if (gs.gameStarted) gs.showMap = !gs.showMap;
        break;
    case OptionPause:
        if (!gs.gameStarted) break;
        // The server owns the world; a client's copy follows its state.
        if (!gs.isServer) {
            setMessageLine("Only the server can pause the game");
            break;
        }
        gs.gamePaused = !gs.gamePaused;
        setMessageLine(gs.gamePaused ? kPausedMessage : kResumedMessage);
        break;
    }
}

bool keyIsLocalOnly(int key, bool special) {
    if (special) return false;
    for (const int k : kLocalOnlyKeys)
        if (key == k) return true;
    return false;
}
