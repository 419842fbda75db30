// control.cpp -- key events into a fighter's proposals and shots; bullets.
//
// Nothing here moves a fighter: moves and turns become proposals (nextPos,
// nextDir with their pending flags) that the world step checks and applies.
// Shots create their bullet at once.
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "base/log.h"
#include "sound/sound.h"
#include "world/world.h"

namespace {

// Ordinary key codes of the held movement keys and the one-shot keys.
constexpr int kKeySpace = ' ';
constexpr int kKeyRun = 'i';
constexpr int kKeyBack = 'k';
constexpr int kKeyTurnLeft = 'j';
constexpr int kKeyTurnRight = 'l';
constexpr int kKeyStrafeLeft = 'd';
constexpr int kKeyStrafeRight = 'f';

// (x, y) scaled to unit length in the ground plane, z = 0. A zero (or
// non-finite) length has no direction: the input comes back unchanged, so a
// fighter left without a heading keeps it rather than taking NaNs.
Vec3 normalisedGround(float x, float y, Vec3 fallback) {
    const float len = std::sqrt(x * x + y * y);
    if (!(len > 0.0f) || !std::isfinite(len)) return fallback;
    return Vec3{x / len, y / len, 0.0f};
}

// Proposed heading after turning left (sign +1) or right (-1) by `amount`.
Vec3 turnedDir(const Fighter& f, float amount, float sign) {
    const float x = f.dir.x - sign * f.dir.y * amount;
    const float y = f.dir.y + sign * f.dir.x * amount;
    return normalisedGround(x, y, f.dir);
}

// Index of f in fighterList, or -1 when f is not one of its records.
int fighterIndexOf(const Fighter& f) {
    for (int i = 0; i < fighterCount(); ++i)
        if (&gs.fighterList[i] == &f) return i;
    return -1;
}

// One shot of f's weapon.
void fire(Fighter& f) {
    // Only a fighter in play holds a gun: a dead or absent one stays silent.
    if (f.state != FighterState::InPlay) return;
    if (f.weapon == Weapon::Cannon && f.bullets <= 0) {
        logLine(LogLevel::Debug, "out of bullets!!");
        return;
    }
    if (f.weapon == Weapon::MissileLauncher && f.missiles <= 0) {
        logLine(LogLevel::Debug, "out of missiles!!");
        return;
    }

    const float spread = (randomFraction() - 0.5f) * kSpreadDegrees;
    const float heading = headingDegrees(f.dir);
    const float gunAngle = randomFraction() > 0.5f ? heading + kMuzzleAngle : heading - kMuzzleAngle;
    const Vec3 gun{f.pos.x + std::cos(radiansFromDegreesF(gunAngle)) * kMuzzleOffset,
                   f.pos.y + std::sin(radiansFromDegreesF(gunAngle)) * kMuzzleOffset, kMuzzleHeight};

    // Both guns aim at one point far ahead, so their shots run parallel.
    const float aimX = f.pos.x + f.dir.x * kAimDistance;
    const float aimY = f.pos.y + f.dir.y * kAimDistance;
    const Vec3 aim = normalisedGround(aimX - gun.x, aimY - gun.y, Vec3{});
    const float e = radiansFromDegreesF(spread);
    const Vec3 shot{aim.x * std::cos(e), aim.y * std::cos(e), std::sin(e)};

    if (f.bullets <= 0) {
        setMessageLine("out of bullets");
        return;
    }
    logLine(LogLevel::Debug, "fire!!!! ");
    switch (f.weapon) {
    case Weapon::Cannon:
        spawnBullet(fighterIndexOf(f), gun, shot, ShooterKind::FighterCannon);
        --f.bullets;
        f.reloadMs = -kReloadPauseMs;
        break;
    case Weapon::MissileLauncher:
        logLine(LogLevel::Debug, "missile not supported yet.");
        --f.missiles;
        break;
    default:
        logLine(LogLevel::Debug, "invalid fighter weapon");
        logLine(LogLevel::Debug, "invalid fighter weapon");
        break;
    }
}

// Pulls the trigger once: a shot now when the gun is ready, else the shot
// waits for the end of the gun's cycle.
void askShot(Fighter& f) {
    if (f.gunWaitMs > 0) {
        f.shotAsked = 1;
        return;
    }
    fire(f);
    f.shotAsked = 0;
    f.triggerReported = 0;
    f.gunWaitMs = kFireIntervalMs;
}

void specialKeyAction(Fighter& f, int key) {
    const float turn = kTurnRate * kKeyStepTime;
    const float step = kFighterSpeed * kKeyStepTime;
    // Each event proposes from the current pos / dir: several events between
    // two world steps give one step, not their sum.
    switch (key) {
    case kKeyLeftArrow:
        f.nextDir = turnedDir(f, turn, 1.0f);
        f.turnPending = 1;
        break;
    case kKeyRightArrow:
        f.nextDir = turnedDir(f, turn, -1.0f);
        f.turnPending = 1;
        break;
    case kKeyUpArrow:
        f.nextPos.x = f.pos.x + f.dir.x * step;
        f.nextPos.y = f.pos.y + f.dir.y * step;
        f.movePending = 1;
        break;
    case kKeyDownArrow:
        f.nextPos.x = f.pos.x - f.dir.x * step;
        f.nextPos.y = f.pos.y - f.dir.y * step;
        f.movePending = 1;
        break;
    default:
        break;
    }
}

}  // namespace

GameEnd fighterKeyAction(Fighter& f, int key, bool released, bool special) {
    if (process.quitRequested) return GameEnd::QuitAsked;
    if (special) {
        if (!gs.gamePaused) specialKeyAction(f, key);
        return GameEnd::Playing;
    }
    if (key < 0 || key >= kKeyCount) return GameEnd::Playing;
    if (gs.gamePaused && !keyIsLocalOnly(key, false)) {
        // A release still counts, or a key let go during the pause would
        // walk the fighter on by itself when play resumes.
        if (released) f.keyDown[key] = 0;
        return GameEnd::Playing;
    }

    // One-shot actions happen on an event that finds the key already held:
    // a tap acts once (on its release), a held key on every auto-repeat.
    // Space is the gun's trigger instead: every press pulls it, and the gun
    // keeps its own beat while the key is held.
    const bool held = f.keyDown[key] != 0;
    switch (key) {
    case kKeySpace:
        if (!released) {
            f.triggerHeldMs = 0;
            askShot(f);
        }
        break;
    case 'L':
        if (held) toggleOption(GameOption::Lighting);
        break;
    case 'T':
        if (held) toggleOption(GameOption::Textures);
        break;
    case 'Q':
    case 'q':
        process.quitRequested = true;
        break;
    case 'p':
        if (held) logLine(LogLevel::Info, "Position: %g %g", f.pos.x, f.pos.y);
        break;
    case kKeyMusicLouder:
        if (held) changeVolume(VolumeControl::MusicLouder);
        break;
    case kKeyMusicSofter:
        if (held) changeVolume(VolumeControl::MusicSofter);
        break;
    case kKeyEffectsLouder:
    case kKeyEffectsLouderUnshifted:
        if (held) changeVolume(VolumeControl::EffectsLouder);
        break;
    case kKeyEffectsSofter:
        if (held) changeVolume(VolumeControl::EffectsSofter);
        break;
    default:
        break;
    }
    f.keyDown[key] = released ? 0 : 1;
    return GameEnd::Playing;
}

void askMouseTurn(Fighter& f, int32_t hundredths) {
    const float scaled = static_cast<float>(hundredths) * kMouseTurnSensitivity;
    const float bound = static_cast<float>(kMouseTurnMaxPending);
    const float total = static_cast<float>(f.mouseTurnPending) + std::clamp(scaled, -bound, bound);
    f.mouseTurnPending = static_cast<int32_t>(std::clamp(total, -bound, bound));
}

void applyMouseTurn(Fighter& f) {
    const int32_t now = std::clamp(f.mouseTurnPending, -kMouseTurnMaxPerStep, kMouseTurnMaxPerStep);
    if (now == 0) return;
    f.mouseTurnPending -= now;
    const Vec3 from = f.turnPending ? f.nextDir : f.dir;
    // Positive turns to the right: clockwise seen from above, the heading shrinks.
    const double a = -radiansFromDegrees(static_cast<float>(now) * 0.01f);
    const double c = std::cos(a), s = std::sin(a);
    f.nextDir = normalisedGround(static_cast<float>(from.x * c - from.y * s),
                                 static_cast<float>(from.x * s + from.y * c), from);
    f.turnPending = 1;
}

void applyHeldKeys(Fighter& f, float dt) {
    const float run = kFighterSpeed * dt;
    const float turn = kTurnRate * dt;
    const bool forward = f.keyDown[kKeyRun] != 0;
    const bool backward = f.keyDown[kKeyBack] != 0;
    if (forward) {
        f.nextPos.x = f.pos.x + f.dir.x * run;
        f.nextPos.y = f.pos.y + f.dir.y * run;
        f.movePending = 1;
    }
    if (backward) {
        f.nextPos.x = f.pos.x - f.dir.x * run;
        f.nextPos.y = f.pos.y - f.dir.y * run;
        f.movePending = 1;
    }
    if (f.keyDown[kKeyTurnLeft]) {
        f.nextDir = turnedDir(f, turn, 1.0f);
        f.turnPending = 1;
    }
    if (f.keyDown[kKeyTurnRight]) {
        f.nextDir = turnedDir(f, turn, -1.0f);
        f.turnPending = 1;
    }

    // Strafing moves a fixed distance per step. It adds to this step's run
    // when i or k is held, otherwise to where the fighter stands: adding to a
    // proposal that other bodies refused would grow it by 1.25 every step
    // until it jumped through the blocker.
    const bool strafeLeft = f.keyDown[kKeyStrafeLeft] != 0;
    const bool strafeRight = f.keyDown[kKeyStrafeRight] != 0;
    if ((strafeLeft || strafeRight) && !forward && !backward) {
        f.nextPos.x = f.pos.x;
        f.nextPos.y = f.pos.y;
    }
    const float side = kFighterSpeed * kStrafeFactor;
    if (strafeLeft) {
        f.nextPos.x += -f.dir.y * side;
        f.nextPos.y += f.dir.x * side;
        f.nextPos.z = f.pos.z;
        f.movePending = 1;
    }
    if (strafeRight) {
        f.nextPos.x += f.dir.y * side;
        f.nextPos.y += -f.dir.x * side;
        f.nextPos.z = f.pos.z;
        f.movePending = 1;
    }
}

void fireHeldGun(Fighter& f, int32_t intervalMs) {
    // Bounded, so an hour's hold cannot overflow it.
    constexpr int32_t kHeldLongEnough = 1 << 30;
    f.triggerHeldMs = f.keyDown[kKeySpace] != 0 ? std::min(f.triggerHeldMs + intervalMs, kHeldLongEnough) : 0;
    f.gunWaitMs -= intervalMs;
    if (f.gunWaitMs > 0) return;
    const int32_t heldFireMs = f.triggerHeldMs - kHoldFireDelayMs;  // >= 0: the beat is on
    const bool triggerHeld = heldFireMs >= 0 && (f.heldKeysReported == 0 || f.triggerReported != 0);
    if (!triggerHeld && f.shotAsked == 0) {
        // An idle gun is ready, and saves up no shots for later.
        f.gunWaitMs = 0;
        return;
    }
    // The beat began heldFireMs ago: the gun cannot be later than that.
    if (f.shotAsked == 0) f.gunWaitMs = std::max(f.gunWaitMs, -heldFireMs);
    fire(f);
    f.shotAsked = 0;
    f.triggerReported = 0;
    // One shot a step at most, so bullets never leave in a clump. A late
    // step (a slow frame, after which the passes that fell due run at once)
    // keeps up to one cycle of its lateness, so the next step fires the shot
    // it missed and the beat holds in world time; a longer stall drops the
    // rest rather than bursting.
    f.gunWaitMs = std::max(f.gunWaitMs + kFireIntervalMs, -kFireIntervalMs);
}

void spawnBullet(int owner, Vec3 from, Vec3 dir, ShooterKind shooterKind) {
    if (shooterKind == ShooterKind::FighterCannon) playSoundOnce(kFighterGunSlot);
    if (shooterKind == ShooterKind::PreyCannon) playSoundOnce(kPreyGunSlot);

    Bullet b;
    b.owner = owner;
    b.shooterKind = shooterKind;
    b.dir = dir;
    b.spent = 0;
    // Start ahead of the gun, clear of the shooter's own body; pushed ahead
    // in the ground plane only.
    const float start = maze.fighterExtent.x * 0.5f + (randomFraction() + 0.2f) * 2.5f;
    b.pos = Vec3{from.x + dir.x * start, from.y + dir.y * start, from.z};
    b.nextPos = b.pos;
    gs.bulletList.push_back(b);
}

void spawnUnownedBullet(Vec3 from, Vec3 dir, ShooterKind shooterKind) {
    spawnBullet(-1, from, dir, shooterKind);
}
