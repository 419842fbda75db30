// test_gunfire.cpp -- a client hears a shot once: a bullet that flew on
// along its own line between two states is old, anything else is new; a
// shot seen only in a body the client did not apply, or in none, is heard.
#include <gtest/gtest.h>

#include <vector>

#include "fake_net.h"
#include "net/net.h"
#include "sound/sound.h"
#include "tests/sound/fake_audio.h"
#include "tests/sound/sound_files.h"
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

// A body of our server numbered `seq`: `preyShots` prey bullets in flight
// (each on a line of its own) and fighter 0 with `bulletsLeft` cannon shots.
NetMessage body(uint32_t seq, int preyShots, int bulletsLeft) {
    net.bodySeq = seq - 1;
    return stateFor(9, 2, 1, NetMessageKind::StateUpdate, [&] {
        for (int i = 0; i < preyShots; ++i)
            spawnUnownedBullet(Vec3{20.0f, 10.0f + 5.0f * i, 2.0f}, Vec3{1.0f, 0.0f, 0.0f}, ShooterKind::PreyCannon);
        gs.fighterList[0].bullets = bulletsLeft;
    });
}

// One receive pass of the given bodies; the sound starts it caused.
std::vector<int> passOf(std::initializer_list<NetMessage> bodies) {
    for (FakeVoice& v : fa.v) v.plays = 0;
    for (const NetMessage& b : bodies) queueDatagram(b, serverAddress());
    EXPECT_TRUE(clientReceivePass());
    return {fa.v[kFighterGunSlot].plays, fa.v[kPreyGunSlot].plays};
}

TEST(Gunfire, AShotIsHeardOnceEvenWhenItsBulletLivedOnlyInABodyNotApplied) {
    ASSERT_TRUE(fakeJoinedClient());
    ASSERT_TRUE(useFakeAudio());
    for (const int slot : {kFighterGunSlot, kPreyGunSlot})
        ASSERT_EQ(loadSound(writeFile("gun.wav", simpleWave(Fmt{1, 1, 11025, 8}, pattern(2000))).c_str(), slot), 0);
    const int full = editMaze().startBullets;
    EXPECT_EQ(passOf({body(10, 0, full)}), (std::vector<int>{0, 0}));
    // A busy client drains two bodies in one pass and applies the second:
    // the prey's bullet lived only in the first. Heard once, then never again.
    EXPECT_EQ(passOf({body(11, 1, full), body(12, 0, full)}), (std::vector<int>{0, 1}));
    EXPECT_EQ(bulletCount(), 0);
    EXPECT_EQ(passOf({body(13, 0, full)}), (std::vector<int>{0, 0}));
    // Two shots in one pass start the gun once: a second start would cut
    // the first before it sounds.
    EXPECT_EQ(passOf({body(14, 1, full), body(15, 2, full)}), (std::vector<int>{0, 1}));
    EXPECT_EQ(passOf({body(16, 2, full)}), (std::vector<int>{0, 0})) << "the same bullets again";
    // A fighter's shot whose only body was lost: its count fell.
    EXPECT_EQ(passOf({body(18, 0, full - 1)}), (std::vector<int>{1, 0}));
    EXPECT_EQ(passOf({body(19, 0, full - 1)}), (std::vector<int>{0, 0}));
    // A new game fills the guns again: no shot.
    EXPECT_EQ(passOf({body(20, 0, full)}), (std::vector<int>{0, 0}));
    // An old body (already passed) is not judged.
    EXPECT_EQ(passOf({body(17, 1, full - 5)}), (std::vector<int>{0, 0}));
    soundShutdown();
}

}  // namespace
