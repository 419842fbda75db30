// test_events.cpp -- the operator's event line: its time, and values that
// keep one event on one line whatever a peer sent.
#include <gtest/gtest.h>

#include <vector>

#include "base/events.h"

namespace {

TEST(EventLine, UtcTimeAcrossEpochLeapDaysAndCenturies) {
    EXPECT_EQ(isoUtcTime(0), "1970-01-01T00:00:00Z");
    EXPECT_EQ(isoUtcTime(-1), "1969-12-31T23:59:59Z");
    EXPECT_EQ(isoUtcTime(951782400), "2000-02-29T00:00:00Z");   // a leap day of a 400th year
    EXPECT_EQ(isoUtcTime(4107542399), "2100-02-28T23:59:59Z");  // 2100 has none
    EXPECT_EQ(isoUtcTime(4107542400), "2100-03-01T00:00:00Z");
    EXPECT_EQ(isoUtcTime(1714566896), "2024-05-01T12:34:56Z");
}

TEST(EventLine, ValuesAreQuotedWhenTheyNeedIt) {
    EXPECT_EQ(eventValue("korvath.map"), "korvath.map");
    EXPECT_EQ(eventValue(""), "\"\"");
    EXPECT_EQ(eventValue("player 1"), "\"player 1\"");
    EXPECT_EQ(eventValue("a=b"), "\"a=b\"");
    EXPECT_EQ(eventValue("say \"hi\"\\"), "\"say \\\"hi\\\"\\\\\"");
    EXPECT_EQ(eventValue("x\ny\x7F\xC3\xA9"), "\"x\\x0Ay\\x7F\\xC3\\xA9\"");
    const std::vector<EventField> fields{{"name", "player 2"}, {"fighter", "2"}};
    EXPECT_EQ(eventLine(1714566896, "joined", fields), "2024-05-01T12:34:56Z joined name=\"player 2\" fighter=2");
    EXPECT_EQ(eventLine(0, "stopped", {}), "1970-01-01T00:00:00Z stopped");
}

}  // namespace
