// The idle passes that the windowed game and maze-server share: explosions
// nobody sees still end on time, and a signal ends the game through its
// quit path.
#include <gtest/gtest.h>

#include <csignal>

#include "fake_net.h"

namespace {

// Runs `n` server passes without letting the game's diagnostics through.
void serverPasses(int n, bool drawnEachTime) {
    testing::internal::CaptureStdout();
    for (int i = 0; i < n; ++i) {
        effectState.drawnSincePass = drawnEachTime;
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

TEST(IdlePass, SigtermAndSigintEndThroughQuitGame) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    fakeServer();
    for (const int signalNumber : {SIGTERM, SIGINT}) {
        EXPECT_EXIT(
            {
                installStopSignals();
                std::raise(signalNumber);
                // The handler only takes note: the process lives on until
                // its loop looks, and waits no longer once asked to stop.
                if (!stopRequested()) std::_Exit(3);
                paceIdlePass();
                paceIdlePass();
                signalNumber == SIGTERM ? serverIdlePass() : clientIdlePass();
                std::_Exit(4);
            },
            testing::ExitedWithCode(0), "")
            << signalNumber;
    }
}

}  // namespace
