// smoothing.h -- what a client draws between the server's pictures: the
// other objects a little in the past, between the two bodies around that
// moment, and the player's own fighter predicted from its own keys and
// reconciled with each body.
//
// The rules' state stays the server's: gs is what the last applied body
// says. The drawn picture is a record of its own (DrawnWorld), computed
// without GL each frame; the renderer draws from pictureOf(). With the
// switch off (--no-smoothing) or on the server the picture is gs itself.
#pragma once

#include <cstdint>
#include <vector>

#include "net/net.h"
#include "world/world.h"

// Bodies kept for interpolation: 0.64 s of the server's 10 ms passes.
constexpr int kSmoothBodies = 64;
// Bounds of the drawing's delay behind the newest body, ms.
constexpr double kMinSmoothDelayMs = 5.0;
constexpr double kMaxSmoothDelayMs = 250.0;
// A body whose clock lies further than this from the newest starts a new
// timeline (a restarted or lying server): the buffer is emptied.
constexpr double kTimelineJumpMs = 5000.0;
// Own steps kept for replay: 5 s of 10 ms passes.
constexpr int kOwnSteps = 512;
// A prediction error beyond these is corrected at once (a body in the way,
// a hit, a respawn) and counted; a smaller one fades over a few passes.
constexpr float kLargeCorrectionUnits = 2.0f;
constexpr float kLargeCorrectionDegrees = 30.0f;
// Share of a small correction still shown after each pass (10 ms).
constexpr float kCorrectionKeep = 0.7f;

// A body as interpolation keeps it: its place on the server's timeline
// (the body clock, unwrapped across minutes) and its moving entries.
struct TimedBody {
    double serverMs = 0.0;
    bool hasSeq = false;
    uint32_t seq = 0;
    std::vector<FighterEntry> fighters;
    std::vector<PreyEntry> prey;
    std::vector<BulletEntry> bullets;
};

// One pass of the player's own control, as the client predicted it: kept
// until the server has certainly seen it, to be replayed on each body.
struct OwnStep {
    int64_t atMs = 0;        // steady ms of the pass
    uint32_t keySeq = 0;     // the newest key event sent by then
    float dt = 0.0f;         // seconds
    uint8_t moveKeys = 0;    // bit k: kOwnMoveKeys[k] held
    int arrow = 0;           // an arrow key pressed in this pass (special code), 0 none
    int32_t mouse = 0;       // mouse turn asked in this pass, hundredths of a degree
};
// The held keys that move or turn a fighter (world/control.cpp's table).
constexpr int kOwnMoveKeys[] = {'i', 'k', 'j', 'l', 'd', 'f'};

// An explosion of a body, held until the drawing reaches that body's moment.
struct DeferredEffect {
    double serverMs = 0.0;
    uint8_t kind = 0;        // EffectKind as it travels
    float x = 0, y = 0, z = 0;
};
constexpr int kMaxDeferredEffects = 64;

struct DrawnFighter {
    Vec3 pos;
    Vec3 dir;
    bool shown = false;
};

// The picture of one frame. Without `fromBodies` the frame draws gs.
struct DrawnWorld {
    bool fromBodies = false;
    std::vector<DrawnFighter> fighters;
    std::vector<PreyEntry> prey;
    std::vector<BulletEntry> bullets;
    Vec3 eye;                // the local fighter as drawn (predicted when it can be)
    Vec3 eyeDir;
};

struct SmoothingState {
    bool enabled = true;     // false: --no-smoothing, or a server

    // Interpolation.
    std::vector<TimedBody> bodies;  // by serverMs, oldest first
    bool haveClock = false;
    int32_t newestClockMs = 0;      // the newest body's clock as it travelled
    double newestServerMs = 0.0;    // and on the unwrapped timeline
    bool haveOffset = false;
    double offsetMs = 0.0;          // steady ms minus server ms of the quickest arrival
    double jitterMs = 0.0;          // mean lateness behind the quickest arrival
    double intervalMs = kPassPeriodMs;  // mean server time between new bodies
    double delayMs = kPassPeriodMs;     // how far behind the quickest arrival the drawing runs
    bool haveRender = false;
    double renderServerMs = 0.0;    // the last frame's moment; never goes back
    std::vector<DeferredEffect> effects;  // at most kMaxDeferredEffects

    // Prediction of the player's own fighter.
    bool acked = false;             // bodies carry key acknowledgements (our server)
    bool plainNoted = false;        // the plain server's limits were said
    bool predicting = false;        // own is the fighter drawn
    Fighter own;                    // the prediction
    Vec3 correction;                // drawn = own + correction (fades)
    float correctionDeg = 0.0f;     // heading drawn = own's + this (fades)
    std::vector<OwnStep> steps;     // oldest first, at most kOwnSteps
    uint32_t lastAckedKeySeq = 0;
    int64_t keySentMs[kKeyHistory] = {};  // [seq % kKeyHistory]
    double roundTripMs = 0.0;       // key sent to its acknowledgement arriving
    int pendingArrow = 0;
    int32_t pendingMouse = 0;       // for the next predicted step
    int32_t mouseUnsent = 0;        // for the next key datagram
    uint64_t largeCorrections = 0;
    uint64_t smallCorrections = 0;
};

extern SmoothingState smoothing;

// Forgets every body and the prediction; keeps `enabled`.
void resetSmoothing();

// Every well-formed body of our server as it arrives (newer or refused:
// a late body still fills its place in the timeline), at steady arrivalMs.
void smoothingNoteBody(const StateSnapshot& s, int64_t arrivalMs);

// After `s` was applied to gs: the prediction restarts from the server's
// fighter for the acknowledged key and replays the steps since.
void smoothingReconcile(const StateSnapshot& s, int64_t nowMs);

// The client's control as it happens: a key event sent with number seq,
// an arrow pressed, a mouse turn (hundredths of a degree, right positive;
// it goes to the prediction and to the next key datagram).
void smoothingNoteKeySent(uint32_t seq, int64_t nowMs);
void smoothingNoteArrow(int specialKey);
void smoothingNoteMouse(int32_t hundredths);

// An effect event of body `s` (already known new: each starts once): true
// when it waits for the drawing to reach s's moment, false when it is due
// now (no timeline, smoothing off, the moment drawn already, no room).
bool smoothingDeferEffect(const StateSnapshot& s, uint8_t kind, float x, float y, float z);
// Each client pass: starts the waiting explosions the drawing has reached.
void smoothingStartDueEffects(int64_t nowMs);

// One client pass: the own fighter predicted one step of dt seconds with
// the keys held now, and the correction faded.
void smoothingPredictPass(int64_t nowMs, float dt);

// The frame's picture at steady nowMs (the beat of the pass before it, so
// frames move the others on by whole passes).
void smoothingDrawn(double nowMs, DrawnWorld& out);

// `world` with the drawn positions put in (fighters, prey, bullets), into
// `out`; `world` itself when d has no bodies. The eye is d's.
void pictureOf(const DrawnWorld& d, const GameState& world, GameState& out);
