// gunfire.cpp -- the server's gunfire as a client hears it: new shots found
// by comparing every newer state body a client receives with the one before
// it, and fighters' bullet counts that fell.
#include <algorithm>
#include <cmath>

#include "net/net.h"
#include "sound/sound.h"
#include "world/world.h"

namespace {

// Between two applied states a bullet has flown at most this many world
// steps (the server's passes a client may miss while it keeps up).
constexpr int kMaxStepsBetweenStates = 8;

// The last body heard: its bullets (shooter kind, position and direction
// are all that is compared) and each fighter's bullets left. Lives for the
// process; filled only while the sound engine runs.
std::vector<Bullet> heardBullets;
std::vector<int32_t> heardBulletCounts;

// Is `b` a bullet of `before` after 0..8 world steps along its flight line?
bool seenBefore(const Bullet& b, const std::vector<Bullet>& before) {
    for (const Bullet& p : before) {
        if (p.shooterKind != b.shooterKind) continue;
        if (p.dir.x * b.dir.x + p.dir.y * b.dir.y + p.dir.z * b.dir.z < 0.999f) continue;
        const float dx = b.pos.x - p.pos.x, dy = b.pos.y - p.pos.y, dz = b.pos.z - p.pos.z;
        const float along = dx * b.dir.x + dy * b.dir.y + dz * b.dir.z;
        const float steps = std::round(along / kBulletSpeed);
        if (!(steps >= 0.0f && steps <= kMaxStepsBetweenStates)) continue;
        const float ex = dx - b.dir.x * steps * kBulletSpeed;
        const float ey = dy - b.dir.y * steps * kBulletSpeed;
        const float ez = dz - b.dir.z * steps * kBulletSpeed;
        if (ex * ex + ey * ey + ez * ez < 0.05f * 0.05f) return true;
    }
    return false;
}

bool samePositions(const std::vector<Bullet>& a, const std::vector<Bullet>& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i].pos.x != b[i].pos.x || a[i].pos.y != b[i].pos.y || a[i].pos.z != b[i].pos.z ||
            a[i].shooterKind != b[i].shooterKind)
            return false;
    return true;
}

}  // namespace

GunfireHeard newGunfire(const std::vector<Bullet>& before, const std::vector<Bullet>& now) {
    GunfireHeard heard;
    for (const Bullet& b : now) {
        if (seenBefore(b, before)) continue;
        if (b.shooterKind == ShooterKind::FighterCannon) heard.fighterCannon = true;
        if (b.shooterKind == ShooterKind::PreyCannon) heard.preyCannon = true;
    }
    return heard;
}

GunfireHeard& operator|=(GunfireHeard& a, GunfireHeard b) {
    a.fighterCannon = a.fighterCannon || b.fighterCannon;
    a.preyCannon = a.preyCannon || b.preyCannon;
    return a;
}

GunfireHeard hearServerGunfire(const StateSnapshot& body) {
    GunfireHeard heard;
    if (!soundRunning()) return heard;
    std::vector<Bullet> bullets(body.bullets.size());
    std::transform(body.bullets.begin(), body.bullets.end(), bullets.begin(), bulletOfEntry);
    if (!samePositions(bullets, heardBullets)) heard = newGunfire(heardBullets, bullets);
    heardBullets = std::move(bullets);
    // Every cannon shot costs its fighter a bullet, and the count stays in
    // every later body: a shot whose bullet lived only in a body that was
    // lost is still heard. (A new game raises the counts: no sound.)
    const size_t fighters = body.fighters.size();
    if (heardBulletCounts.size() == fighters)
        for (size_t i = 0; i < fighters; ++i)
            if (body.fighters[i].bullets < heardBulletCounts[i]) heard.fighterCannon = true;
    heardBulletCounts.resize(fighters);
    for (size_t i = 0; i < fighters; ++i) heardBulletCounts[i] = body.fighters[i].bullets;
    return heard;
}

void playGunfire(GunfireHeard heard) {
    if (heard.fighterCannon) playSoundOnce(kFighterGunSlot);
    if (heard.preyCannon) playSoundOnce(kPreyGunSlot);
}
