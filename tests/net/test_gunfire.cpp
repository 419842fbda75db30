// test_gunfire.cpp -- a client hears a shot once: a bullet that flew on
// along its own line between two states is old, anything else is new.
#include <gtest/gtest.h>

#include <vector>

#include "net/net.h"
#include "world/world.h"

namespace {

Bullet bullet(Vec3 pos, Vec3 dir, ShooterKind shooterKind) {
    Bullet b;
    b.pos = pos;
    b.dir = dir;
    b.shooterKind = shooterKind;
    return b;
}

// `b` after `steps` world steps of flight.
Bullet flown(Bullet b, int steps) {
    b.pos = Vec3{b.pos.x + b.dir.x * kBulletSpeed * steps, b.pos.y + b.dir.y * kBulletSpeed * steps,
                 b.pos.z + b.dir.z * kBulletSpeed * steps};
    return b;
}

TEST(Gunfire, ABulletFlyingOnIsOldAndEveryOtherIsANewShotOfItsGun) {
    const Bullet fighterShot = bullet(Vec3{40.0f, 20.0f, 1.4f}, Vec3{0.6f, 0.8f, 0.0f}, ShooterKind::FighterCannon);
    const Bullet preyShot = bullet(Vec3{10.0f, 50.0f, 2.0f}, Vec3{-1.0f, 0.0f, 0.0f}, ShooterKind::PreyCannon);
    const std::vector<Bullet> before{fighterShot, preyShot};

    // The same bullets again, or flown on by up to eight steps (passes a
    // client may miss): nothing new.
    for (int steps : {0, 1, 8}) {
        const GunfireHeard heard = newGunfire(before, {flown(fighterShot, steps), flown(preyShot, steps)});
        EXPECT_FALSE(heard.fighterCannon || heard.preyCannon) << steps << " steps";
    }
    // Nine steps on, a step back, a hand's width beside its line, turned
    // round, or of the other gun: another bullet, a new shot.
    Bullet beside = flown(fighterShot, 2);
    beside.pos.z += 0.1f;
    Bullet turned = flown(fighterShot, 1);
    turned.dir = Vec3{-0.6f, -0.8f, 0.0f};
    Bullet otherGun = fighterShot;
    otherGun.shooterKind = ShooterKind::PreyCannon;
    for (const Bullet& b : {flown(fighterShot, 9), flown(fighterShot, -1), beside, turned}) {
        const GunfireHeard heard = newGunfire(before, {b, flown(preyShot, 1)});
        EXPECT_TRUE(heard.fighterCannon);
        EXPECT_FALSE(heard.preyCannon) << "the prey's bullet flew on";
    }
    const GunfireHeard heard = newGunfire({fighterShot}, {otherGun});
    EXPECT_FALSE(heard.fighterCannon);
    EXPECT_TRUE(heard.preyCannon);
    // The first state heard: every bullet in it is a new shot.
    const GunfireHeard first = newGunfire({}, before);
    EXPECT_TRUE(first.fighterCannon && first.preyCannon);
}

}  // namespace
