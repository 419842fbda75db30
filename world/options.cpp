// options.cpp -- the option flags and the volumes that the keys and the
// menus share.
#include <cstdio>

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

void changeVolume(VolumeControl control) {
    const bool music = control == VolumeControl::MusicLouder || control == VolumeControl::MusicSofter;
    const bool louder = control == VolumeControl::MusicLouder || control == VolumeControl::EffectsLouder;
    const SoundGroup group = music ? SoundGroup::Music : SoundGroup::Effects;
    const int32_t level =
        setSoundGroupLevel(group, soundGroupLevel(group) + (louder ? kGroupLevelStep : -kGroupLevelStep));
    const char* end = level == kGroupLevelMax ? " (loudest)" : (level == kGroupLevelMin ? " (softest)" : "");
    // The levels are whole steps of 3 dB: whole decibels.
    char line[48];
    std::snprintf(line, sizeof line, "%s %d dB%s", music ? "Music" : "Effects", static_cast<int>(level / 100), end);
    setMessageLine(line);
}

bool keyIsLocalOnly(int key, bool special) {
    if (special) return false;
    for (const int k : kLocalOnlyKeys)
        if (key == k) return true;
    return false;
}
