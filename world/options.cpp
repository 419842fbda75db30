// options.cpp -- the option flags that the keys and the menus share.
#include "sound/sound.h"
#include "world/world.h"

void toggleOption(GameOption option) {
    switch (option) {
    case GameOption::Textures:
        options.texturesOn = !options.texturesOn;
        break;
    case GameOption::Lighting:
        options.lightingOn = !options.lightingOn;
        break;
    case GameOption::Sound:
        options.soundOn = !options.soundOn;
        // Music only: slot 0 restarts from its beginning, looped.
        if (options.soundOn) playSoundLooped(kMusicSlot);
        else stopSound(kMusicSlot);
        break;
    case GameOption::Map:
        if (gs.gameStarted) options.showMap = !options.showMap;
        break;
    case GameOption::Pause:
        if (!gs.gameStarted) break;
        // The server owns the world; a client's copy follows its state.
        if (!process.isServer) {
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
