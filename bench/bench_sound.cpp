// bench_sound.cpp -- the audio thread's mixer filling one device period with
// all five slots playing (each in its own format, converted by SDL), beside
// a plain copy of the same number of bytes; and one refill of the music's
// ring from its file.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstring>
#include <vector>

#include "bench_util.h"
#include "sound/sound.h"

namespace {

constexpr int kPeriodFrames = 512;  // the device's period, about 23 ms

// Five voices in the formats the game meets: the music's, both guns', the
// explosion's, and 44.1 kHz stereo for a dropped-in file.
struct MixSetUp {
    std::vector<std::vector<uint8_t>> rings;
    MixSetUp() {
        const SoundService s = sdlSoundService();
        const WaveFormat formats[kSoundSlots] = {
            {1, 2, 22050, 88200, 4, 16, 0}, {1, 1, 11025, 11025, 1, 8, 0}, {1, 1, 16000, 32000, 2, 16, 0},
            {1, 1, 11025, 11025, 1, 8, 0},  {1, 2, 44100, 176400, 4, 16, 0}};
        randomSeed(7);
        for (int slot = 0; slot < kSoundSlots; ++slot) {
            const WaveFormat& f = formats[slot];
            const uint32_t chunk = ((f.samplesPerSec * f.blockAlign * 10u) >> 4) / f.blockAlign * f.blockAlign;
            rings.emplace_back(chunk * kChunksPerBuffer);
            for (uint8_t& b : rings.back()) b = static_cast<uint8_t>(randomNext());
            uint32_t positions[kChunksPerBuffer];
            for (uint32_t i = 0; i < kChunksPerBuffer; ++i) positions[i] = (i + 1) * chunk - 1;
            s.createVoice(slot, f, rings.back().data(), chunk * kChunksPerBuffer, positions, kChunksPerBuffer);
            s.setVolume(slot, kSlotLevel[slot]);
            s.setPosition(slot, 0);
            s.play(slot);
        }
    }
    ~MixSetUp() {
        const SoundService s = sdlSoundService();
        for (int slot = 0; slot < kSoundSlots; ++slot) s.releaseVoice(slot);
    }
};

void BM_MixPeriod(benchmark::State& state) {
    MixSetUp setUp;
    std::vector<int16_t> out(kPeriodFrames * 2);
    for (auto _ : state) {
        sdlMixPeriod(out.data(), kPeriodFrames);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(state.iterations() * kPeriodFrames * 4);
}
BENCHMARK(BM_MixPeriod);

// Baseline: copying one period's output bytes.
void BM_CopyPeriod(benchmark::State& state) {
    std::vector<int16_t> in(kPeriodFrames * 2, 1234), out(kPeriodFrames * 2);
    for (auto _ : state) {
        std::memcpy(out.data(), in.data(), out.size() * sizeof(int16_t));
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * kPeriodFrames * 4);
}
BENCHMARK(BM_CopyPeriod);

// One refill of the looping music's ring (0.625 s read from the file).
void BM_ServiceSlot(benchmark::State& state) {
    SoundService quiet{};
    quiet.open = [](uintptr_t) { return 0; };
    setSoundService(quiet);
    soundInit(0);
    const int saved = silenceStdout();
    const int loaded = loadSound(MAZE_DATA_DIR "/music.wav", 0);
    restoreStdout(saved);
    if (loaded != 0 || playSoundLooped(0) != 0) {
        state.SkipWithError("music.wav did not load");
        soundShutdown();
        return;
    }
    for (auto _ : state) benchmark::DoNotOptimize(serviceSlot(0));
    state.SetBytesProcessed(state.iterations() * soundSlot(0).chunkSize);
    soundShutdown();
}
BENCHMARK(BM_ServiceSlot);

}  // namespace
