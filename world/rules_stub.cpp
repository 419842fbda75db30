// rules_stub.cpp -- placeholders for fighter control, collision and the world
// step until they land. Fighters stand still; q and Q still end the game.
#include "world/world.h"

void fighterKeyAction(Fighter& f, int key, bool released, bool special) {
    if (gs.quitRequested) quitGame();
    if (special || key < 0 || key >= kKeyCount) return;
    if (key == 'q' || key == 'Q') gs.quitRequested = true;
    f.keyDown[key] = released ? 0 : 1;
}
void applyHeldKeys(Fighter&, float) {}
void spawnBullet(int, Vec3, Vec3, int, int) {}
void spawnUnownedBullet(Vec3, Vec3, int, int) {}
bool clampToWalls(Vec3&, int, int, float, bool) { return false; }
bool pathClear(Vec3, Vec3, float& t, const void*, const void*) {
    t = 1.0f;
    return true;
}
void worldStep() {}
void regenerateHealth() {}
void startSmallExplosion(float, float, float) {}
void startLargeExplosion(float, float, float) {}
