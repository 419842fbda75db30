// The idle passes that the windowed game and maze-server share: explosions
// nobody sees still end on time, and every way the game ends comes back
// from the passes as a reason, with its last words and status.
#include <gtest/gtest.h>

#include <csignal>
#include <string>

#include "fake_net.h"
#include "tests/game_end_print.h"
#include "tests/log_capture.h"

namespace {

// Runs `n` server passes without letting the game's diagnostics through;
// every one must let the game go on.
testing::AssertionResult serverPasses(int n, bool drawnEachTime) {
    const logtest::LogCapture quiet;
    for (int i = 0; i < n; ++i) {
        effectState.drawnSincePass = drawnEachTime;
        const GameEnd end = serverIdlePass();
        if (end != GameEnd::Playing) return testing::AssertionFailure() << "pass " << i << " ended the game";
    }
    return testing::AssertionSuccess();
}

TEST(IdlePass, AnExplosionNobodySeesIsGoneWithinASecondOfPasses) {
    fakeServer();
    startLargeExplosion(30.0f, 30.0f, 1.5f);
    // A window that draws advances the debris itself; the pass leaves it be.
    ASSERT_TRUE(serverPasses(50, true));
    ASSERT_EQ(explosionCount(), 1);
    EXPECT_EQ(gs.explosionList[0].frame, 0);
    // Covered, unmapped or windowless: a second of passes ends it.
    ASSERT_TRUE(serverPasses(1000 / kPassPeriodMs, false));
    EXPECT_EQ(explosionCount(), 0);
}

// Forgets the signal and gives the signals back their default however the
// test ends.
struct StopSignalsGuard {
    ~StopSignalsGuard() {
        clearStopRequestForTest();
        std::signal(SIGINT, SIG_DFL);
        std::signal(SIGTERM, SIG_DFL);
    }
};

TEST(IdlePass, SigtermAndSigintEndBothPassesAsAQuit) {
    fakeServer();
    const StopSignalsGuard guard;
    for (const int signalNumber : {SIGTERM, SIGINT}) {
        installStopSignals();
        std::raise(signalNumber);
        // The handler only takes note: the process lives on until its loop
        // looks, and waits no longer once asked to stop.
        EXPECT_TRUE(stopRequested()) << signalNumber;
        paceIdlePass();
        paceIdlePass();
        const int32_t clockBefore = process.clockNowMs;
        EXPECT_EQ(serverIdlePass(), GameEnd::QuitAsked) << signalNumber;
        EXPECT_EQ(clientIdlePass(), GameEnd::QuitAsked) << signalNumber;
        EXPECT_EQ(process.clockNowMs, clockBefore) << "nothing of the pass ran";
        clearStopRequestForTest();
    }
}

// The server's own player asked to quit (q or the menu): the next key
// event that reaches a fighter ends the game, a client's included, and
// nothing after it happens.
TEST(IdlePass, AQuitOnTheServerEndsItAtTheNextKeyEventFromAnyone) {
    fakeServer();
    queueDatagram(messageOfKind(NetMessageKind::JoinRequest), clientAddress(0));
    ASSERT_TRUE(serverPasses(1, false));
    process.quitRequested = true;
    ASSERT_TRUE(serverPasses(3, false)) << "no key event, no end";
    queueDatagram(keyMessage('i'), clientAddress(0));
    queueDatagram(keyMessage('f'), clientAddress(0));
    fake.sent.clear();
    EXPECT_EQ(serverIdlePass(), GameEnd::QuitAsked);
    EXPECT_EQ(gs.fighterList[1].keyDown[int('i')], 0);
    EXPECT_EQ(fake.inbox.size(), 1u) << "the drain stopped there";
    EXPECT_TRUE(fake.sent.empty()) << "no body went out";
}

// A server's silence ends the client in AClientShowsItsServerSilentFromTheFirstSecond.
TEST(IdlePass, AClientEndsWhenItsServersLevelDiffers) {
    logtest::LogCapture said;
    ASSERT_TRUE(fakeJoinedClient());
    queueDatagram(stateFor(3, 2, 1), serverAddress());
    EXPECT_EQ(clientIdlePass(), GameEnd::LevelMismatch);
    ASSERT_EQ(said.lines().size(), 1u);
    EXPECT_EQ(said.lines()[0].level, LogLevel::Error);
    EXPECT_NE(said.lines()[0].text.find("has 3 fighters, ours has 9"), std::string::npos) << said.lines()[0].text;
}

// A silent server is shown from the first second on, the seconds counting
// up on the message line until "Server died"; a body applied says so.
TEST(IdlePass, AClientShowsItsServerSilentFromTheFirstSecond) {
    const logtest::LogCapture quiet;
    ASSERT_TRUE(fakeJoinedClient());
    const auto later = [](int64_t ms) {
        fake.nowMs += ms;
        fake.now = 1000000 + (fake.nowMs - 5000000) / 1000;
        return clientIdlePass();
    };
    setMessageLine("Mech destroyed.");
    queueDatagram(stateFor(9, 2, 1), serverAddress());
    ASSERT_EQ(later(0), GameEnd::Playing);
    ASSERT_EQ(later(999), GameEnd::Playing);
    EXPECT_STREQ(hud.messageLine, "Mech destroyed.") << "not yet a second";
    for (int n = 1; n <= 3; ++n) {
        ASSERT_EQ(later(n == 1 ? 1 : 1000), GameEnd::Playing);
        EXPECT_EQ(std::string(hud.messageLine), "Server not answering (" + std::to_string(n) + " s)");
    }
    queueDatagram(stateFor(9, 2, 1), serverAddress());
    ASSERT_EQ(later(500), GameEnd::Playing);
    EXPECT_STREQ(hud.messageLine, "Server answering again");
    // Silent for good: the count goes on to the end, and nothing else.
    GameEnd end = GameEnd::Playing;
    int shown = 0;
    while (end == GameEnd::Playing && shown < 100) {
        end = later(250);
        std::string line = hud.messageLine;
        if (line == "Server not answering (" + std::to_string(shown + 1) + " s)") ++shown;
        else EXPECT_EQ(line, shown == 0 ? "Server answering again" : "Server not answering (" + std::to_string(shown) + " s)");
    }
    EXPECT_EQ(end, GameEnd::ServerDied);
    EXPECT_GE(shown, kServerTimeout);
}

// What scripts and people read at the end: the words and the status.
TEST(IdlePass, EachEndHasItsLastWordsAndStatus) {
    logtest::LogCapture said;
    const struct {
        GameEnd why;
        int status;
        const char* words;
    } ends[] = {
        {GameEnd::QuitAsked, 0, "Good-Bye\n"},  {GameEnd::ServerDied, 0, "Server died\n"},
        {GameEnd::LevelMismatch, -1, ""},       {GameEnd::MissingFile, 1, ""},
        {GameEnd::NoLocalFighter, 1, ""},
    };
    for (const auto& e : ends) {
        said.clear();
        EXPECT_EQ(endOfGame(e.why), e.status) << testing::PrintToString(e.why);
        EXPECT_EQ(said.outputText(), e.words) << testing::PrintToString(e.why);
        EXPECT_EQ(said.errorText(), "") << testing::PrintToString(e.why);
    }
}

}  // namespace
