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
    // Runs paced passes until `micros` of fake time have gone, each pass
    // (with its frame) costing workMicros; returns when each pass began.
    static std::vector<int64_t> runPasses(int64_t micros, int64_t workMicros) {
        std::vector<int64_t> begins;
        const int64_t end = fakeTime.now + micros;
        for (;;) {
            paceIdlePass();
            if (fakeTime.now >= end) return begins;
            begins.push_back(fakeTime.now);
            fakeTime.now += workMicros;
        }
    }
};

TEST_F(Pace, AtMostOnePassPerPeriodWhateverTheWindowCosts) {
    // 0: nothing drawn (covered, unmapped, windowless); 3 ms: a visible
    // frame; 9.9 ms: a slow one.
    for (const int64_t work : {int64_t{0}, int64_t{3000}, int64_t{9900}}) {
        SetUp();
        const std::vector<int64_t> begins = runPasses(1000000, work);
        EXPECT_EQ(begins.size(), 100u) << "work " << work;
        for (size_t i = 1; i < begins.size(); ++i)
            ASSERT_EQ(begins[i] - begins[i - 1], kPassPeriodMs * 1000) << "work " << work << " pass " << i;
        // Waiting is sleeping: one sleep per pass, no spinning.
        EXPECT_EQ(fakeTime.sleeps.size(), 100u) << "work " << work;
    }
}

TEST_F(Pace, ALatePassMovesTheScheduleWithoutABurst) {
    runPasses(50000, 0);
    fakeTime.now += 35000;  // a stall: a dragged window, a long frame
    fakeTime.sleeps.clear();
    const int64_t late = fakeTime.now;
    paceIdlePass();
    EXPECT_EQ(fakeTime.now, late) << "the late pass begins at once";
    const std::vector<int64_t> begins = runPasses(100000, 1000);
    ASSERT_EQ(begins.size(), 9u);
    EXPECT_EQ(begins[0] - late, 10000) << "and the next a period later";
    for (size_t i = 1; i < begins.size(); ++i) EXPECT_EQ(begins[i] - begins[i - 1], 10000) << i;

    // A frame slower than the period sets the rate itself; nothing waits.
    SetUp();
    EXPECT_EQ(runPasses(1200000, 15000).size(), 80u);
    EXPECT_TRUE(fakeTime.sleeps.empty());
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
