// fake_audio.h -- an audio service that plays nothing: each slot's voice,
// ring, play cursor (moved by the test) and counts of plays and stops, and
// the events it would signal.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <deque>
#include <vector>

#include "sound/sound.h"

struct FakeVoice {
    bool playing = false;
    uint8_t* ring = nullptr;
    uint32_t bytes = 0, cursor = 0;
    std::vector<uint32_t> positions;
    int plays = 0, stops = 0;
    int32_t volume = 0;  // hundredths of a dB, as last set
};
struct FakeAudio {
    FakeVoice v[kSoundSlots];
    std::deque<int> events;
    int lockDepth = 0;
};
inline FakeAudio fa;

inline SoundService fakeService() {
    SoundService s{};
    s.open = [](uintptr_t) { return 0; };
    s.close = [] {};
    s.createVoice = [](int slot, const WaveFormat&, uint8_t* ring, uint32_t bytes, const uint32_t* pos, int n) {
        fa.v[slot] = FakeVoice{false, ring, bytes, 0, std::vector<uint32_t>(pos, pos + n), 0, 0, 0};
        return 0;
    };
    s.releaseVoice = [](int slot) { fa.v[slot] = FakeVoice{}; };
    s.lock = [] { ++fa.lockDepth; };
    s.unlock = [] { --fa.lockDepth; };
    s.play = [](int slot) { return fa.v[slot].playing = true, ++fa.v[slot].plays, 0; };
    s.stop = [](int slot) {
        fa.v[slot].playing = false;
        ++fa.v[slot].stops;
        fa.events.push_back(2 * slot + 1);
        return 0;
    };
    s.setPosition = [](int slot, uint32_t at) { return fa.v[slot].cursor = at, 0; };
    s.getPosition = [](int slot, uint32_t* at) { return *at = fa.v[slot].cursor, 0; };
    s.setVolume = [](int slot, int32_t v) { return fa.v[slot].volume = v, 0; };
    s.getVolume = [](int slot, int32_t* v) { return *v = fa.v[slot].volume, 0; };
    s.waitEvent = [](int32_t) {
        if (fa.events.empty()) return -1;
        const int k = fa.events.front();
        fa.events.pop_front();
        return k;
    };
    return s;
}

// The engine started afresh on the fake service.
[[nodiscard]] inline testing::AssertionResult useFakeAudio() {
    soundShutdown();
    fa = FakeAudio{};
    setSoundService(fakeService());
    const int started = soundInit(0);
    if (started == 0) return testing::AssertionSuccess();
    return testing::AssertionFailure() << "soundInit gave " << started;
}
