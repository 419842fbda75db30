// test_engine.cpp -- the sound engine against a fake audio service whose
// play cursor the test moves by hand: ring geometry, fills and refills, and
// when effects stop and music does not.
#include <gtest/gtest.h>

#include "sound/sound.h"
#include "fake_audio.h"
#include "sound_files.h"
#include "shell/shell.h"
#include "world/world.h"

namespace {

// The service plays `bytes` of the slot's ring: the cursor moves on, each
// chunk end passed signals the slot's even event.
[[nodiscard]] testing::AssertionResult playFor(int slot, uint32_t bytes) {
    FakeVoice& v = fa.v[slot];
    if (!v.playing) return testing::AssertionFailure() << "slot " << slot << " is not playing";
    for (uint32_t i = 0; i < bytes; ++i) {
        for (uint32_t p : v.positions)
            if (p == v.cursor) fa.events.push_back(2 * slot);
        v.cursor = (v.cursor + 1) % v.bytes;
    }
    return testing::AssertionSuccess();
}

// Handles every queued event as frames would, one per frame.
[[nodiscard]] testing::AssertionResult runFrames() {
    while (!fa.events.empty())
        if (!soundWaitAndService(10)) return testing::AssertionFailure() << "the engine is not running";
    return testing::AssertionSuccess();
}

int load(const Bytes& wav, int slot) { return loadSound(writeFile("test.wav", wav).c_str(), slot); }

Bytes ringBytes(int slot, uint32_t from, uint32_t n) { return Bytes(fa.v[slot].ring + from, fa.v[slot].ring + from + n); }

TEST(SoundEngine, RingGeometryFollowsTheFilesFormat) {
    ASSERT_TRUE(useFakeAudio());
    // The largest accepted format stays clear of 32-bit overflow.
    for (const auto& [fmt, chunk] : {std::pair{Fmt{1, 2, 44100, 16}, 110248u}, std::pair{Fmt{1, 1, 11025, 8}, 6890u},
                                     std::pair{Fmt{1, 8, 192000, 16}, 1920000u}}) {
        ASSERT_EQ(load(simpleWave(fmt, pattern(16)), 1), 0);
        const SoundSlot& s = soundSlot(1);
        EXPECT_EQ(s.chunkSize, chunk);
        EXPECT_EQ(fa.v[1].bytes, 16 * chunk);
        ASSERT_EQ(fa.v[1].positions.size(), 16u);
        for (uint32_t i = 0; i < 16; ++i) EXPECT_EQ(fa.v[1].positions[i], (i + 1) * chunk - 1);
        EXPECT_EQ(s.notifications[16], kNotifyOffsetStop);
    }
}

TEST(SoundEngine, AShortEffectIsPaddedWithSilenceAndStopsAtTheFirstRefillAfterItsRiffSize) {
    for (const uint16_t bits : {8, 16}) {
        ASSERT_TRUE(useFakeAudio());
        const Bytes data = pattern(2000);
        const Bytes wav = simpleWave(Fmt{1, 1, 22050, bits}, data);
        const uint32_t riff = static_cast<uint32_t>(wav.size() - 8);
        ASSERT_EQ(load(wav, 1), 0);
        ASSERT_EQ(playSoundOnce(1), 0);
        const SoundSlot& s = soundSlot(1);
        EXPECT_EQ(fa.lockDepth, 0);
        EXPECT_EQ(ringBytes(1, 0, 2000), data);
        EXPECT_EQ(ringBytes(1, 2000, s.bufferSize - 2000), Bytes(s.bufferSize - 2000, bits == 8 ? 0x80 : 0x00));
        ASSERT_TRUE(playFor(1, riff - 10));
        EXPECT_EQ(serviceSlot(1), 0) << "a refill before the riff size is played";
        EXPECT_TRUE(fa.v[1].playing);
        ASSERT_TRUE(playFor(1, s.chunkSize - (riff - 10)));
        ASSERT_TRUE(runFrames());
        EXPECT_FALSE(fa.v[1].playing);
        EXPECT_EQ(fa.v[1].stops, 1);
    }
}

TEST(SoundEngine, ALongEffectPlaysToItsEndAndASecondPlayRestartsIt) {
    ASSERT_TRUE(useFakeAudio());
    const Bytes data = pattern(40000);
    ASSERT_EQ(load(simpleWave(Fmt{1, 1, 11025, 8}, data), 1), 0);
    ASSERT_EQ(playSoundOnce(1), 0);
    const SoundSlot& s = soundSlot(1);
    for (int n = 0; n < 5; ++n) {
        ASSERT_TRUE(playFor(1, s.chunkSize));
        ASSERT_TRUE(runFrames());
    }
    EXPECT_TRUE(fa.v[1].playing) << "riff size 40036 not yet played";
    ASSERT_TRUE(playFor(1, s.chunkSize));
    ASSERT_TRUE(runFrames());
    EXPECT_FALSE(fa.v[1].playing) << "stopped after 6 chunks";
    // Restarting, stopped or while it plays, starts over: one voice per slot.
    for (int again = 0; again < 2; ++again) {
        ASSERT_EQ(playSoundOnce(1), 0);
        EXPECT_TRUE(fa.v[1].playing);
        EXPECT_EQ(fa.v[1].cursor, 0u);
        EXPECT_EQ(ringBytes(1, 0, 40000), data);
        ASSERT_TRUE(playFor(1, 12345));
    }
}

TEST(SoundEngine, MusicShorterThanTheRingRepeatsWithinTheFirstFillAndKeepsLooping) {
    ASSERT_TRUE(useFakeAudio());
    const Bytes data = pattern(5001);  // no divisor of the ring's size
    ASSERT_EQ(load(simpleWave(Fmt{1, 1, 11025, 8}, data), 0), 0);
    ASSERT_EQ(playSoundLooped(0), 0);
    const SoundSlot& s = soundSlot(0);
    const uint8_t* ring = fa.v[0].ring;
    for (uint32_t i = 0; i < s.bufferSize; ++i) ASSERT_EQ(ring[i], data[i % data.size()]) << i;
    // Two and a half times round the ring every chunk still continues it.
    uint64_t written = s.bufferSize;
    for (int n = 0; n < 40; ++n, written += s.chunkSize) {
        ASSERT_TRUE(playFor(0, s.chunkSize));
        ASSERT_TRUE(runFrames());
        const uint32_t at = (s.writeOffset + s.bufferSize - s.chunkSize) % s.bufferSize;
        for (uint32_t j = 0; j < s.chunkSize; ++j) ASSERT_EQ(ring[at + j], data[(written + j) % data.size()]) << n;
    }
    EXPECT_TRUE(fa.v[0].playing);
    EXPECT_EQ(fa.v[0].stops, 0);
}

// Explosions share one voice: a burst of them in one pass restarts it once
// (a second restart would cut the first before a sample of it played).
TEST(SoundEngine, ABurstOfExplosionsRestartsTheirSoundOncePerPass) {
    ASSERT_TRUE(useFakeAudio());
    resetGameStateForTest();
    ASSERT_EQ(load(simpleWave(Fmt{1, 1, 11025, 8}, pattern(4000)), 3), 0);
    for (int pass = 1; pass <= 3; ++pass) {
        for (int k = 0; k < 200; ++k) startSmallExplosion(1.0f, 2.0f, 1.5f);
        EXPECT_EQ(fa.v[3].plays, pass);
        advanceUndrawnExplosions();
    }
    EXPECT_EQ(explosionCount(), kMaxExplosions);
    soundShutdown();
}

// The player's volumes: keys and the menu step the same level, 3 dB at a
// time within 0 .. -30 dB, applied at once to every slot of its group on
// top of the slot's own level, and shown on the message line.
TEST(SoundEngine, KeysAndTheMenuStepTheMusicAndTheEffectsAtOnceWithinTheirRange) {
    ASSERT_TRUE(useFakeAudio());
    resetGameStateForTest();
    for (int slot = 0; slot < 4; ++slot) ASSERT_EQ(load(simpleWave(Fmt{1, 1, 11025, 8}, pattern(4000)), slot), 0);
    const auto volumes = [] { return std::vector<int32_t>{getVolume(0), getVolume(1), getVolume(2), getVolume(3)}; };
    EXPECT_EQ(volumes(), (std::vector<int32_t>{0, -1200, -600, 0})) << "each slot at its own level";
    Fighter me;
    const auto tap = [&me](int key) {
        fighterKeyAction(me, key, false, false);
        fighterKeyAction(me, key, true, false);
    };
    tap('[');
    EXPECT_EQ(volumes(), (std::vector<int32_t>{-300, -1200, -600, 0}));
    EXPECT_STREQ(hud.messageLine, "Music -3 dB");
    chooseVolumeMenu(2);  // Music Softer
    EXPECT_EQ(volumes(), (std::vector<int32_t>{-600, -1200, -600, 0}));
    EXPECT_STREQ(hud.messageLine, "Music -6 dB");
    tap('-');
    chooseVolumeMenu(4);  // Effects Softer
    EXPECT_EQ(volumes(), (std::vector<int32_t>{-600, -1800, -1200, -600}));
    EXPECT_STREQ(hud.messageLine, "Effects -6 dB");
    chooseVolumeMenu(3);  // Effects Louder
    tap('=');             // '+' unshifted
    tap('+');
    EXPECT_EQ(volumes(), (std::vector<int32_t>{-600, -1200, -600, 0}));
    EXPECT_STREQ(hud.messageLine, "Effects 0 dB (loudest)");
    tap(']');
    chooseVolumeMenu(1);  // Music Louder
    tap(']');
    EXPECT_EQ(volumes()[0], 0);
    EXPECT_STREQ(hud.messageLine, "Music 0 dB (loudest)");
    // Down to the floor and no further; values outside the menu do nothing.
    for (int n = 0; n < 15; ++n) tap('[');
    EXPECT_EQ(volumes()[0], kGroupLevelMin);
    EXPECT_STREQ(hud.messageLine, "Music -30 dB (softest)");
    for (const int bad : {0, 5, -1}) chooseVolumeMenu(bad);
    EXPECT_EQ(volumes(), (std::vector<int32_t>{kGroupLevelMin, -1200, -600, 0}));
    // A slot filled later, and a restarted engine, play at the player's levels.
    chooseVolumeMenu(4);
    ASSERT_EQ(load(simpleWave(Fmt{1, 1, 11025, 8}, pattern(4000)), 4), 0);
    EXPECT_EQ(getVolume(4), -300);
    ASSERT_TRUE(useFakeAudio());
    ASSERT_EQ(load(simpleWave(Fmt{1, 1, 11025, 8}, pattern(4000)), 1), 0);
    EXPECT_EQ(getVolume(1), -1500);
    setSoundGroupLevel(SoundGroup::Music, 0);
    setSoundGroupLevel(SoundGroup::Effects, 0);
    soundShutdown();
}

}  // namespace
