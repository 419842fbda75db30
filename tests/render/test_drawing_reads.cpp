// test_drawing_reads.cpp -- drawing only reads the world: a server's world
// after a fixed run of passes is the same, byte for byte, whether no frame
// or sixty frames a second of the passes' clock were drawn over it.
#include <algorithm>
#include <cstring>

#include "prey/prey.h"
#include "render_test_util.h"

namespace {

// The rules' state as bytes, field by field (no padding bytes): everything
// a later pass or a client could notice of fighters, prey, bullets, hits
// and the rules' generator.
struct RulesBytes {
    std::vector<uint8_t> bytes;
    template <class T>
    void put(const T& v) {
        const auto* p = reinterpret_cast<const uint8_t*>(&v);
        bytes.insert(bytes.end(), p, p + sizeof v);
    }
    void put(const Vec3& v) { put(v.x), put(v.y), put(v.z); }
    template <class... T>
    void all(const T&... v) { (put(v), ...); }
};

std::vector<uint8_t> rulesBytes() {
    RulesBytes r;
    for (const Fighter& f : gs.fighterList) {
        r.all(f.pos, f.dir, f.nextPos, f.nextDir, f.movePending, f.turnPending, f.moveAllowed, f.state,
              f.bullets, f.missiles, f.health, f.weapon, f.score);
        r.put(f.keyDown);
    }
    for (const Prey& p : gs.preyList)
        r.all(p.pos, p.dir, p.nextPos, p.nextDir, p.movePending, p.turnPending, p.moveAllowed, p.mode,
              p.target, p.health, p.maneuvering, p.maneuverSteps, p.turning, p.wantedHeading, p.blocked, p.action,
              p.actionStep, p.sinceShot, p.tick, p.pose, p.bodyTurn, p.destroyed, p.stuckCount);
    for (const Bullet& b : gs.bulletList)
        r.all(b.pos, b.dir, b.nextPos, b.spent, b.shooterKind, b.owner);
    for (const EffectEvent& e : gs.effectEvents) r.all(e.effectKind, e.x, e.y, e.z);
    r.all(gs.randomState, gs.explosionsStarted, hud.messageLine, hud.messageSetMs);
    return r.bytes;
}

struct ServerRun {
    std::vector<uint8_t> rules;
    int frames = 0;
    size_t hits = 0;                 // explosions started by hits
    size_t mostExplosionsDrawn = 0;  // under way at one frame
};

constexpr int kPasses = 600;  // 6 s of the game's 10 ms passes

// A windowed server's world from the shipped level: every fighter in play,
// turning on the spot and firing every fifth of a second, the prey hunting
// them. The world's part of the server's idle pass runs on a fixed clock;
// with `drawFrames` the game's display callback draws a frame whenever the
// passes' clock reaches the next sixtieth of a second.
ServerRun runServer(bool drawFrames) {
    resetGameStateForTest();
    readMazeMap();
    createFighters();
    randomSeed(0);
    process.isServer = true;
    process.localFighterIndex = 0;
    options.texturesOn = true;
    options.lightingOn = true;
    resetGame();
    gs.gameStarted = true;
    for (Fighter& f : gs.fighterList) f.state = FighterState::InPlay;
    process.clockNowMs = process.clockPrevMs = 0;
    reshape(rendertest::kWidth, rendertest::kHeight);
    ServerRun run;
    testing::internal::CaptureStdout();
    for (int pass = 1; pass <= kPasses; ++pass) {
        for (size_t i = 0; i < gs.fighterList.size(); ++i) {
            Fighter& f = gs.fighterList[i];
            // Turning one way, then the other, then still: each sweeps its view.
            const int phase = (pass / 150 + static_cast<int>(i)) % 3;
            const bool left = phase == 0, right = phase == 1;
            if ((f.keyDown['j'] != 0) != left) fighterKeyAction(f, 'j', !left, false);
            if ((f.keyDown['l'] != 0) != right) fighterKeyAction(f, 'l', !right, false);
            if ((pass + static_cast<int>(i) * 3) % 20 == 0) {
                fighterKeyAction(f, ' ', false, false);
                fighterKeyAction(f, ' ', true, false);
            }
        }
        process.clockPrevMs = process.clockNowMs;
        process.clockNowMs = pass * kPassPeriodMs;
        regenerateHealth();
        advanceUndrawnExplosions();
        worldStep(updatePrey);
        if (drawFrames && pass * kPassPeriodMs * 60 / 1000 != (pass - 1) * kPassPeriodMs * 60 / 1000) {
            display();
            ++run.frames;
            run.mostExplosionsDrawn = std::max(run.mostExplosionsDrawn, gs.explosionList.size());
        }
    }
    testing::internal::GetCapturedStdout();
    run.hits = gs.effectEvents.size();
    run.rules = rulesBytes();
    return run;
}

TEST(DrawingReads, TheWorldTakesTheSameCourseWithAndWithoutFrames) {
    if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no display (run under xvfb-run)";
    ASSERT_TRUE(rendertest::openGameWindow());
    loadPreyPoseFile();
    const ServerRun unseen = runServer(false);
    const ServerRun seen = runServer(true);
    EXPECT_EQ(seen.frames, kPasses * 60 / 100);
    // The run is a fair test: hits start explosions, and frames draw them.
    EXPECT_GT(unseen.hits, 3u);
    EXPECT_GT(seen.mostExplosionsDrawn, 0u);
    EXPECT_EQ(seen.hits, unseen.hits);
    EXPECT_TRUE(seen.rules == unseen.rules) << "the frames changed the world's course";
    rendertest::restoreShippedLevel();
}

}  // namespace
