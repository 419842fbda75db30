// The pacer of the idle pass against a fake clock: the pass rate whatever a
// pass (and the frame after it) costs, and sleeping rather than spinning.
#include <gtest/gtest.h>

#include <vector>

#include "world/world.h"

namespace {

// Lifetime: reset by every test's SetUp.
struct FakeTime {
    int64_t now = 0;                 // microseconds
    std::vector<int64_t> sleeps;     // each sleep asked for
};
FakeTime fakeTime;

int64_t fakeNow() { return fakeTime.now; }
void fakeSleep(int64_t micros) {
    fakeTime.sleeps.push_back(micros);
    fakeTime.now += micros;
}
// A sound engine whose wait takes the time it is given.
std::vector<int32_t> hookAsks;
bool fakeHook(int32_t maxMs) {
    hookAsks.push_back(maxMs);
    fakeTime.now += int64_t{maxMs} * 1000;
    return true;
}
class Pace : public ::testing::Test {
protected:
    void SetUp() override {
        fakeTime = FakeTime{};
        fakeTime.now = 5000000;
        setPaceClockForTest(fakeNow, fakeSleep);
        setPaceWaitHook(nullptr);
    }
    void TearDown() override {
        setPaceClockForTest(nullptr, nullptr);
        setPaceWaitHook(nullptr);
    }
    // Runs the idle callback's loop until `micros` of fake time have gone:
    // the passes that are due, then a frame of frameMicros. Returns when
    // each pass began; each frame's beat goes to frameBeats.
    static std::vector<int64_t> runFrames(int64_t micros, int64_t frameMicros,
                                          std::vector<double>* frameBeats = nullptr) {
        std::vector<int64_t> begins;
        const int64_t end = fakeTime.now + micros;
        for (;;) {
            do {
                paceIdlePass();
                if (fakeTime.now >= end) return begins;
                begins.push_back(fakeTime.now);
            } while (passOverdue());
            if (frameBeats) frameBeats->push_back(paceBeatMs());
            fakeTime.now += frameMicros;
        }
    }
};

TEST_F(Pace, OnePassPerPeriodWhateverTheWindowCosts) {
    // 0: nothing drawn (covered, unmapped, windowless); 3 ms: a visible
    // frame; 9.9 ms: a slow one.
    for (const int64_t frame : {int64_t{0}, int64_t{3000}, int64_t{9900}}) {
        SetUp();
        const std::vector<int64_t> begins = runFrames(1000000, frame);
        EXPECT_EQ(begins.size(), 100u) << "frame " << frame;
        for (size_t i = 1; i < begins.size(); ++i)
            ASSERT_EQ(begins[i] - begins[i - 1], kPassPeriodMs * 1000) << "frame " << frame << " pass " << i;
        // Waiting is sleeping: one sleep per pass, no spinning.
        EXPECT_EQ(fakeTime.sleeps.size(), 100u) << "frame " << frame;
    }
    // Frames slower than the period: the passes that fell due during a
    // frame run after it, so the world keeps its rate.
    for (const int64_t frame : {int64_t{15000}, int64_t{42000}}) {
        SetUp();
        std::vector<double> beats;
        const std::vector<int64_t> begins = runFrames(1200000, frame, &beats);
        // (The passes due during the last, unfinished frame are not counted.)
        EXPECT_NEAR(static_cast<double>(begins.size()), 120.0, frame / 10000.0 + 1.0) << "frame " << frame;
        // Each frame is timed by whole passes, however late it is drawn: what
        // it shows moves on by the same step for every pass.
        for (size_t i = 1; i < beats.size(); ++i) {
            const double passes = (beats[i] - beats[i - 1]) / kPassPeriodMs;
            ASSERT_GE(passes, 1.0) << "frame " << frame;
            ASSERT_DOUBLE_EQ(passes, static_cast<double>(static_cast<int>(passes))) << "frame " << frame;
        }
    }
}

TEST_F(Pace, TheSoundWaitPacesAndIsServedEvenBehindTheBeat) {
    setPaceWaitHook(fakeHook);
    hookAsks.clear();
    runFrames(100000, 3000);
    // Fast frames: the pass waits in the sound engine, never asleep.
    EXPECT_TRUE(fakeTime.sleeps.empty());
    EXPECT_GE(hookAsks.size(), 9u);
    // Frames slower than the period: no pass waits, yet each still lets the
    // engine serve a waiting notification, so the music is refilled.
    SetUp();
    setPaceWaitHook(fakeHook);
    hookAsks.clear();
    runFrames(200000, 25000);
    EXPECT_GT(hookAsks.size(), 15u);
    for (const int32_t ask : hookAsks) EXPECT_EQ(ask, 0);
}

}  // namespace
