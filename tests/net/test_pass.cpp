// The idle passes that the windowed game and maze-server share: unseen
// explosions, the end on a signal, a server without its port and a client
// of a level with another number of fighters.
#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>

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

TEST(IdlePass, AServerWithoutItsPortSaysWhyAndThatNoClientCanJoin) {
    useFakeNet();
    makeWorld(2, 0);
    net.transport.openSocket = [](bool, uint16_t, const char** failed) {
        *failed = "bind()";
        return -1;
    };
    net.transport.lastError = [] { return EADDRINUSE; };
    testing::internal::CaptureStderr();
    startServer();
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "\nbind(): 98\nmaze: cannot open UDP port 9899: Address already in use - is another "
              "server running? No client can join this game.\n");

    setMessageLine(kStartMessage);
    serverPasses(1, false);
    EXPECT_STREQ(gs.messageLine, "No client can join: UDP port 9899 is not open");
    // Other messages still show; once the line is empty the notice is back.
    setMessageLine("Mech destroyed.");
    serverPasses(1, false);
    EXPECT_STREQ(gs.messageLine, "Mech destroyed.");
    gs.messageLine[0] = '\0';
    serverPasses(1, false);
    EXPECT_STREQ(gs.messageLine, "No client can join: UDP port 9899 is not open");
}

TEST(IdlePass, AClientOfALevelWithAnotherFighterCountEndsAtOnce) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    ASSERT_TRUE(fakeJoinedClient());
    queueDatagram(stateFor(9, 2, 1), serverAddress());
    clientIdlePass();
    EXPECT_EQ(gs.localFighterIndex, 1) << "the same level plays on";
    queueDatagram(stateFor(8, 2, 1), serverAddress());
    EXPECT_EXIT(clientIdlePass(), testing::ExitedWithCode(255), "the server's level has 8 fighters, ours has 9");
}

}  // namespace
