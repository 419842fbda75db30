// log.cpp -- one line at a time to the level's stream.
#include "base/log.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <string>

namespace {

// Read by every line, possibly from the audio thread; set by mains and tests.
std::atomic<int> lowestLevel{static_cast<int>(LogLevel::Info)};
std::atomic<LogSink> testSink{nullptr};

// Most lines fit here; a longer one (a long path) is formatted on the heap.
constexpr int kShortLine = 512;

}  // namespace

void logLine(LogLevel level, const char* format, ...) {
    if (static_cast<int>(level) < lowestLevel.load(std::memory_order_relaxed)) return;
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    char shortLine[kShortLine];
    const int length = std::vsnprintf(shortLine, sizeof shortLine, format, args);
    va_end(args);
    if (length < 0) {
        va_end(again);
        return;
    }
    // One byte more than the text for the newline that replaces its end.
    const size_t size = static_cast<size_t>(length) + 1;
    std::string longLine;
    char* text = shortLine;
    if (size > sizeof shortLine) {
        longLine.resize(size);
        std::vsnprintf(longLine.data(), size, format, again);
        text = longLine.data();
    }
    va_end(again);

    if (const LogSink sink = testSink.load(std::memory_order_relaxed)) {
        sink(level, text);
        return;
    }
    // Text and newline in one write: on the unbuffered error stream a line
    // never interleaves with another thread's.
    text[length] = '\n';
    std::FILE* const stream = level == LogLevel::Error ? stderr : stdout;
    std::fwrite(text, 1, size, stream);
    if (level == LogLevel::Info || level == LogLevel::Warning) std::fflush(stdout);
}

void setLogLevel(LogLevel lowest) { lowestLevel.store(static_cast<int>(lowest), std::memory_order_relaxed); }

LogLevel logLevel() { return static_cast<LogLevel>(lowestLevel.load(std::memory_order_relaxed)); }

void setLogSinkForTest(LogSink sink) { testSink.store(sink, std::memory_order_relaxed); }
