// bench_util.h -- set-up shared by the benchmarks.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

#include "world/world.h"

// Sends standard output to /dev/null until restoreStdout, so the game's
// diagnostics do not break into the benchmark's table. Returns the saved fd.
inline int silenceStdout() {
    std::fflush(stdout);
    const int saved = dup(1);
    const int sink = open("/dev/null", O_WRONLY);
    if (sink >= 0) {
        dup2(sink, 1);
        close(sink);
    }
    return saved;
}

inline void restoreStdout(int saved) {
    std::fflush(stdout);
    if (saved < 0) return;
    dup2(saved, 1);
    close(saved);
}

// A fresh world with the shipped level read, its fighters created and a game
// reset done (fighter 0 in play, prey on their starts).
inline void loadShippedLevel() {
    resetGameStateForTest();
    const int saved = silenceStdout();
    readMazeMapFile(MAZE_DATA_DIR "/korvath.map");
    createFighters();
    resetGame();
    restoreStdout(saved);
}

// A 30-minute recording of a busy game (9 fighters, 16 prey, shooting, 100
// bodies a second), written once on first use into /tmp and removed at exit
// (bench_recording.cpp). Leaves the world as the recording's game left it.
struct RecordingReader;
RecordingReader& thirtyMinuteRecording();
