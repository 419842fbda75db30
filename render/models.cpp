// models.cpp -- start-up of every display list. The maze lists take fixed
// numbers and are built first, so names handed out later by glGenLists never
// collide with them.
#include "render/render.h"

void buildModels() {
    gs.fighterExtent = Vec3{3.0f, 3.0f, 3.0f};
    gs.preyExtent = Vec3{3.0f, 3.0f, 3.0f};
    gs.bulletExtent = Vec3{0.2f, 0.2f, 0.2f};
    buildMazeLists();
    // The lamp (fixed list 51), the prey and fighter parts and the effects
    // are built here, in that order, once their models exist.
}
