// test_impair.cpp -- the test relay's impaired link: the rates it is given
// are the rates it delivers, and its delays stay within
// the jitter unless a datagram is held back to be overtaken.
#include <gtest/gtest.h>

#include "net/net.h"
#include "world/world.h"

namespace {

TEST(Impair, RatesAndDelaysFollowTheSettingsFromASeed) {
    ImpairLink link;
    link.settings = ImpairSettings{0.10, 0.01, 0.02, 40, 20};
    randomSeed(7);
    const int n = 100000;
    int copies = 0, early = 0, late = 0, overtaken = 0;
    int64_t newestDue = 0;
    for (int i = 0; i < n; ++i) {
        int64_t due[2];
        const int64_t now = i * 10;
        const int c = impairDatagram(link, now, due);
        copies += c;
        for (int k = 0; k < c; ++k) {
            early += due[k] - now < 20;
            late += due[k] - now > 60 + 61;
        }
        if (c > 0 && due[0] < newestDue) ++overtaken;
        if (c > 0) newestDue = std::max(newestDue, due[0]);
    }
    EXPECT_EQ(link.in, static_cast<uint64_t>(n));
    EXPECT_NEAR(static_cast<double>(link.lost) / n, 0.10, 0.005);
    EXPECT_NEAR(static_cast<double>(link.duplicated) / (n - link.lost), 0.01, 0.002);
    EXPECT_NEAR(static_cast<double>(link.reordered) / (n - link.lost), 0.02, 0.003);
    EXPECT_EQ(copies, n - static_cast<int>(link.lost) + static_cast<int>(link.duplicated));
    EXPECT_EQ(early, 0);
    EXPECT_EQ(late, 0);
    EXPECT_GT(overtaken, n / 20) << "a 40 ms jitter on a 10 ms spacing reorders often";

    // No impairment: everything passes once, on time.
    ImpairLink clean;
    int64_t due[2];
    EXPECT_EQ(impairDatagram(clean, 5, due), 1);
    EXPECT_EQ(due[0], 5);
}

}  // namespace
