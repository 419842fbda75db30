// log.h -- the one way the program's own code speaks: one line at a time,
// with a level. Tools' report lines (maze-bot's and maze-sim's figures, the
// command line's help) are the tools' output, not diagnostics, and stay
// plain prints in their mains.
#pragma once

// How much a line matters, lowest first. The level also fixes where the
// line goes: Error to the error stream, every other level to standard
// output. Debug lines are not flushed (the world step writes many);
// Info and Warning lines are, so people and scripts read them as they
// happen.
enum class LogLevel : int {
    Debug = 0,    // chatter of the rules: shots, hits, refused paths, counts read (--verbose)
    Info = 1,     // status lines people and scripts read: the server's port, "Good-Bye"
    Warning = 2,  // a file, device or setting refused while the game goes on
    Error = 3,    // the error stream: what failed and, where it ends the game, why
};

// Writes one line: `format` and its arguments as printf takes them, then a
// newline, in one write to the level's stream. Lines below the lowest level
// set (setLogLevel) are dropped. Any length; never truncated.
void logLine(LogLevel level, const char* format, ...) __attribute__((format(printf, 2, 3)));

// Lines below `lowest` are dropped from now on. The default, LogLevel::Info,
// keeps the rules' chatter (Debug) off the terminal, so the lines a player
// or host needs stand out; the programs' --verbose sets LogLevel::Debug.
// Set it from the main thread, before other threads start.
void setLogLevel(LogLevel lowest);
// The lowest level printed now.
LogLevel logLevel();

// For tests: every line that passes the level goes to `sink` (without its
// newline) instead of the streams; null restores the streams.
using LogSink = void (*)(LogLevel level, const char* line);
void setLogSinkForTest(LogSink sink);
