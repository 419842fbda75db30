// The idle pass that the windowed game and maze-server share: explosions
// nobody sees still end on time.
#include <gtest/gtest.h>

#include "fake_net.h"

namespace {

// Runs `n` server passes without letting the game's diagnostics through.
void serverPasses(int n, bool drawnEachTime) {
    testing::internal::CaptureStdout();
    for (int i = 0; i < n; ++i) {
        gs.drawnSincePass = drawnEachTime;
        serverIdlePass();
    }
    testing::internal::GetCapturedStdout();
}

TEST(IdlePass, AnExplosionNobodySeesIsGoneWithinASecondOfPasses) {
    fakeServer();
    startLargeExplosion(30.0f, 30.0f, 1.5f);
    // A window that draws advances the debris itself; the pass leaves it be.
    serverPasses(50, true);
    ASSERT_EQ(explosionCount(), 1);
    EXPECT_EQ(gs.explosionList[0].frame, 0);
    // Covered, unmapped or windowless: a second of passes ends it.
    serverPasses(1000 / kPassPeriodMs, false);
    EXPECT_EQ(explosionCount(), 0);
}

}  // namespace
