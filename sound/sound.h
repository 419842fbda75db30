// sound.h -- the sound engine: five slots (0 music, 1 gun1, 2 gun2,
// 3 explode, 4 spare), each streamed from its WAV file.
//
// Until the engine lands these calls do nothing, so the rules can already
// make them at the right moments.
#pragma once

// (Re)starts the slot's sound from its beginning; loop 1 for music, 0 for an
// effect. Returns 0 on success, negative on failure. Slots outside 0..4 fail.
int playSound(int loop, int slot);

// Stops the slot. Returns 0 on success, negative on failure.
int stopSound(int slot);

// Stops every slot and releases the engine's buffers. Safe to call twice.
void soundShutdown();
