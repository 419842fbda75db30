// The log: each level on its stream with its text whole, and the level
// filter (the test hook is every other test's LogCapture).
#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "base/log.h"

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
    setLogLevel(LogLevel::Error);  // a quiet stretch: only errors
    EXPECT_EQ(speak(), std::pair(std::string(), error));
}

}  // namespace
