// behaviour.cpp -- prey behaviour (prey stand still for now).
#include "prey/prey.h"

void updatePrey(Prey& p) {
    p.nextPos = p.pos;
    p.nextDir = p.dir;
}
