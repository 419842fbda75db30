// log_capture.h -- the lines the code logs, caught for a test to read
// instead of printed.
#pragma once

#include <string>
#include <vector>

#include "base/log.h"

namespace logtest {

struct LoggedLine {
    LogLevel level = LogLevel::Debug;
    std::string text;  // without its newline
};

inline std::vector<LoggedLine>& caughtLines() {
    static std::vector<LoggedLine> lines;
    return lines;
}

// While one lives, every line that passes the level is kept, in order, and
// nothing reaches the streams. It lowers the level to `lowest` (by default
// every line, the rules' chatter included) and restores the level it found.
// One at a time.
struct LogCapture {
    explicit LogCapture(LogLevel lowest = LogLevel::Debug) : levelBefore(logLevel()) {
        caughtLines().clear();
        setLogLevel(lowest);
        setLogSinkForTest([](LogLevel level, const char* line) { caughtLines().push_back({level, line}); });
    }
    ~LogCapture() {
        setLogSinkForTest(nullptr);
        setLogLevel(levelBefore);
    }
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    const std::vector<LoggedLine>& lines() const { return caughtLines(); }
    // The lines a stream would have shown, each with its newline: the error
    // stream's (Error) or standard output's (every other level).
    std::string errorText() const { return joined(true); }
    std::string outputText() const { return joined(false); }
    void clear() { caughtLines().clear(); }

private:
    LogLevel levelBefore;
    static std::string joined(bool errors) {
        std::string text;
        for (const LoggedLine& l : caughtLines())
            if ((l.level == LogLevel::Error) == errors) text += l.text + "\n";
        return text;
    }
};

}  // namespace logtest
