// The pacer of the idle pass against a fake clock: the pass rate whatever a
// pass (and the frame after it) costs, the wait hook, and sleeping rather
// than spinning.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "world/world.h"

namespace {

// Lifetime: reset by every test's SetUp.
struct FakeTime {
    int64_t now = 0;                 // microseconds
    std::vector<int64_t> sleeps;     // each sleep asked for
    std::vector<int32_t> hookAsks;   // maxMs of each hook call
    bool hookWaits = true;           // false: the hook has no engine to wait on
    int64_t notificationEvery = 0;   // microseconds until the hook's next notification
};
FakeTime fakeTime;

int64_t fakeNow() { return fakeTime.now; }
void fakeSleep(int64_t micros) {
    fakeTime.sleeps.push_back(micros);
    fakeTime.now += micros;
}
bool fakeHook(int32_t maxMs) {
    fakeTime.hookAsks.push_back(maxMs);
    if (!fakeTime.hookWaits) return false;
    fakeTime.now += std::min<int64_t>(fakeTime.notificationEvery, int64_t{maxMs} * 1000);
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
    // each pass began.
    static std::vector<int64_t> runFrames(int64_t micros, int64_t frameMicros) {
        std::vector<int64_t> begins;
        const int64_t end = fakeTime.now + micros;
        for (;;) {
            do {
                paceIdlePass();
                if (fakeTime.now >= end) return begins;
                begins.push_back(fakeTime.now);
            } while (passOverdue());
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
        const std::vector<int64_t> begins = runFrames(1200000, frame);
        // (The passes due during the last, unfinished frame are not counted.)
        EXPECT_NEAR(static_cast<double>(begins.size()), 120.0, frame / 10000.0 + 1.0) << "frame " << frame;
    }
}

TEST_F(Pace, AShortDelayIsMadeUpAStallIsNot) {
    runFrames(50000, 0);
    const int64_t base = fakeTime.now;  // the next pass is due at base + 10 ms
    fakeTime.now += 35000;
    std::vector<int64_t> begins = runFrames(100000, 1000);
    ASSERT_EQ(begins.size(), 13u);
    EXPECT_EQ(begins[0], base + 35000);
    EXPECT_EQ(begins[2], base + 35000) << "the three passes due during the delay run at once";
    EXPECT_EQ(begins[3], base + 40000) << "and the beat goes on";
    EXPECT_EQ(begins.back(), base + 130000);

    // Half a second without a pass: one pass now, then the beat restarts.
    fakeTime.now += 500000;
    const int64_t resumed = fakeTime.now;
    begins = runFrames(30000, 1000);
    EXPECT_EQ(begins, (std::vector<int64_t>{resumed, resumed + 10000, resumed + 20000}));
}

TEST_F(Pace, TheWaitHookServesUntilThePassIsDue) {
    setPaceWaitHook(fakeHook);
    fakeTime.notificationEvery = 3000;
    paceIdlePass();
    paceIdlePass();
    EXPECT_EQ(fakeTime.hookAsks, (std::vector<int32_t>{10, 7, 4, 1}));
    EXPECT_TRUE(fakeTime.sleeps.empty());

    // Half a millisecond of work: the hook waits whole milliseconds, the
    // last fraction is slept.
    fakeTime.hookAsks.clear();
    const int64_t begun = fakeTime.now;
    fakeTime.now += 500;
    paceIdlePass();
    EXPECT_EQ(fakeTime.hookAsks, (std::vector<int32_t>{9, 6, 3}));
    EXPECT_EQ(fakeTime.sleeps, std::vector<int64_t>{500});
    EXPECT_EQ(fakeTime.now - begun, 10000);

    // No engine to wait on: one look at the hook, then one sleep.
    fakeTime.hookWaits = false;
    fakeTime.hookAsks.clear();
    fakeTime.sleeps.clear();
    fakeTime.now += 2500;
    paceIdlePass();
    EXPECT_EQ(fakeTime.hookAsks, std::vector<int32_t>{7});
    EXPECT_EQ(fakeTime.sleeps, std::vector<int64_t>{7500});
}

}  // namespace
