// prey.h -- the prey creatures: pose set, motion tables and behaviour.
#pragma once

#include "world/world.h"

// One behaviour update of a prey; called by worldStep for each prey before
// its wall test. Writes nextPos, nextDir, the pending flags, pose, bodyTurn
// and the behaviour fields; may fire a shot.
void updatePrey(Prey& p);
