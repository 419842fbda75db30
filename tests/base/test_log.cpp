// The log: each level on its stream with its text whole, the level filter,
// and the test hook.
#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "base/log.h"
#include "tests/log_capture.h"

namespace {

using testing::internal::CaptureStderr;
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStderr;
using testing::internal::GetCapturedStdout;

// Restores the default level however a test ends.
struct LevelGuard {
    ~LevelGuard() { setLogLevel(LogLevel::Info); }
};

TEST(Log, EachLevelPrintsOnItsStreamWholeAndOnceAndChatterOnlyWhenAsked) {
    LevelGuard guard;
    ASSERT_EQ(logLevel(), LogLevel::Info) << "quiet by default";
    const std::string longPath(3000, 'p');
    const auto speak = [&] {
        CaptureStdout();
        CaptureStderr();
        logLine(LogLevel::Debug, "fire!!!! ");
        logLine(LogLevel::Info, "\nServer named %s waiting on port %d", "host", 9899);
        logLine(LogLevel::Warning, "Sound file \"%s\" refused", longPath.c_str());
        logLine(LogLevel::Error, "%s: texture not read: %s; ending", "wall.rgb", "No such file");
        return std::pair{GetCapturedStdout(), GetCapturedStderr()};
    };
    const std::string status = "\nServer named host waiting on port 9899\nSound file \"" + longPath + "\" refused\n";
    const std::string error = "wall.rgb: texture not read: No such file; ending\n";
    EXPECT_EQ(speak(), std::pair(status, error));
    setLogLevel(LogLevel::Debug);  // --verbose
    EXPECT_EQ(speak(), std::pair("fire!!!! \n" + status, error));
}

TEST(Log, LinesBelowTheLowestLevelAreDroppedAndTheHookTakesTheRest) {
    LevelGuard guard;
    setLogLevel(LogLevel::Warning);
    EXPECT_EQ(logLevel(), LogLevel::Warning);
    CaptureStdout();
    CaptureStderr();
    {
        logtest::LogCapture caught(LogLevel::Warning);
        logLine(LogLevel::Debug, "hit ground");
        logLine(LogLevel::Info, "Good-Bye");
        logLine(LogLevel::Warning, "light %d outside the maze", 3);
        logLine(LogLevel::Error, "maze: cannot open UDP port %d", 9899);
        ASSERT_EQ(caught.lines().size(), 2u);
        EXPECT_EQ(caught.lines()[0].level, LogLevel::Warning);
        EXPECT_EQ(caught.lines()[0].text, "light 3 outside the maze");
        EXPECT_EQ(caught.lines()[1].level, LogLevel::Error);
        EXPECT_EQ(caught.errorText(), "maze: cannot open UDP port 9899\n");
    }
    // With the hook gone, the streams again; still filtered.
    logLine(LogLevel::Info, "Server died");
    logLine(LogLevel::Error, "ERROR");
    EXPECT_EQ(GetCapturedStdout(), "");
    EXPECT_EQ(GetCapturedStderr(), "ERROR\n");
}

}  // namespace
