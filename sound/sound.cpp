// sound.cpp -- the sound engine's entry points (silent for now).
#include "sound/sound.h"

int playSound(int loop, int slot) { return (slot >= 0 && slot < 5) ? 0 : -1; }
int stopSound(int slot) { return (slot >= 0 && slot < 5) ? 0 : -1; }
void soundShutdown() {}
