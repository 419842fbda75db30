// bench_recording.cpp -- recordings: the bytes a minute of a busy game
// (9 fighters, 16 prey, shooting, 100 bodies a second) with the body codec
// of this build, and a seek to any instant of a 30-minute recording beside
// reading the one body after the cursor.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <vector>

#include "bench_util.h"
#include "net/net.h"
#include "net/recording.h"
#include "prey/prey.h"
#include "world/world.h"

namespace {

constexpr int kBodiesPerSecond = 100;

// A minute of the shipped level with every fighter in play, walking,
// turning and firing: its bodies, 10 ms apart.
const std::vector<NetMessage>& busyMinute() {
    static const std::vector<NetMessage> bodies = [] {
        loadShippedLevel();
        for (Fighter& f : gs.fighterList) f.state = FighterState::InPlay;
        std::vector<NetMessage> out(60 * kBodiesPerSecond);
        const int saved = silenceStdout();
        for (size_t i = 0; i < out.size(); ++i) {
            for (size_t k = 0; k < gs.fighterList.size(); ++k) {
                Fighter& f = gs.fighterList[k];
                // Each fighter walks, turns and fires in a rhythm of its own.
                f.keyDown['i'] = (i / (50 + 7 * k)) % 2 == 0;
                f.keyDown['j'] = (i / (30 + 11 * k)) % 3 == 0;
                f.keyDown[' '] = (i / (20 + 3 * k)) % 2 == 0;
                if (f.state == FighterState::Dead) f.state = FighterState::InPlay;
            }
            process.clockPrevMs = process.clockNowMs;
            process.clockNowMs = static_cast<int32_t>((process.clockNowMs + 10) % 60000);
            worldStep(updatePrey);
            packState(out[i]);
        }
        restoreStdout(saved);
        return out;
    }();
    return bodies;
}

RecordingHeader benchHeader() {
    RecordingHeader h;
    h.programVersion = "bench";
    h.levelName = "korvath.map";
    h.fighterCount = 9;
    return h;
}

// Records `minutes` of the busy minute, repeated; returns the file's bytes.
long recordMinutes(const std::string& path, int minutes) {
    RecordingWriter w;
    if (!openRecording(w, path, benchHeader()).empty()) return -1;
    const std::vector<NetMessage>& minute = busyMinute();
    for (int m = 0; m < minutes; ++m)
        for (size_t i = 0; i < minute.size(); ++i)
            recordBody(w, minute[i], (static_cast<int64_t>(m) * 60 * kBodiesPerSecond + i) * 10);
    closeRecording(w);
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return -1;
    std::fseek(f, 0, SEEK_END);
    const long size = std::ftell(f);
    std::fclose(f);
    return size;
}

void BM_RecordingBusyMinute(benchmark::State& state) {
    const std::string path = "/tmp/maze-bench-minute.mzr";
    busyMinute();
    long bytes = 0;
    for (auto _ : state) bytes = recordMinutes(path, 1);
    std::remove(path.c_str());
    state.counters["bytes_per_minute"] = static_cast<double>(bytes);
    state.counters["raw_bytes_per_minute"] = 60.0 * kBodiesPerSecond * kNetMessageSize;
}
BENCHMARK(BM_RecordingBusyMinute)->Unit(benchmark::kMillisecond)->Iterations(1);

// The 30-minute recording, written once for the seek benchmarks.
struct LongRecording {
    std::string path = "/tmp/maze-bench-30min.mzr";
    RecordingReader reader;
    LongRecording() {
        recordMinutes(path, 30);
        openRecordingReader(reader, path);
    }
    ~LongRecording() {
        closeRecordingReader(reader);
        std::remove(path.c_str());
    }
};
LongRecording& longRecording() {
    static LongRecording r;
    return r;
}

}  // namespace

RecordingReader& thirtyMinuteRecording() { return longRecording().reader; }

namespace {

void BM_ReplaySeek(benchmark::State& state) {
    RecordingReader& r = longRecording().reader;
    uint32_t t = 0;
    for (auto _ : state) {
        // Instants spread over the whole half hour, none on a seek point.
        t = (t + 7'777'777) % (30 * 60 * 1000);
        if (!seekRecording(r, t)) state.SkipWithError("seek failed");
        benchmark::DoNotOptimize(r.body.bytes);
    }
    state.counters["file_MB"] = static_cast<double>(r.fileBytes) / 1e6;
}
BENCHMARK(BM_ReplaySeek)->Unit(benchmark::kMicrosecond);

void BM_ReplayReadOneBody(benchmark::State& state) {
    RecordingReader& r = longRecording().reader;
    seekRecording(r, 0);
    for (auto _ : state) {
        if (!readNextBody(r)) seekRecording(r, 0);
        benchmark::DoNotOptimize(r.body.bytes);
    }
}
BENCHMARK(BM_ReplayReadOneBody)->Unit(benchmark::kMicrosecond);

}  // namespace
