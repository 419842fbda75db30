// test_engine.cpp -- the sound engine against a fake audio service whose
// play cursor the test moves by hand: ring geometry, the fills, refills and
// the stop rule, one voice per slot, empty slots, and a client's gunfire.
#include <gtest/gtest.h>

#include <deque>

#include "sound/sound.h"
#include "sound_files.h"

namespace {

using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

struct FakeVoice {
    bool exists = false, playing = false;
    uint8_t* ring = nullptr;
    uint32_t bytes = 0, cursor = 0;
    std::vector<uint32_t> positions;
    int32_t volume = 0;
    int plays = 0, stops = 0;
};
struct FakeAudio {
    bool open = false;
    bool failOpen = false;
    FakeVoice v[kSoundSlots];
    std::deque<int> events;
    int lockDepth = 0;
};
FakeAudio fa;

SoundService fakeService() {
    SoundService s{};
    s.open = [](uintptr_t) { return fa.failOpen ? kSoundFail : (fa.open = true, 0); };
    s.close = [] { fa.open = false; };
    s.createVoice = [](int slot, const WaveFormat&, uint8_t* ring, uint32_t bytes, const uint32_t* pos, int n) {
        fa.v[slot] = FakeVoice{};
        fa.v[slot].exists = true;
        fa.v[slot].ring = ring;
        fa.v[slot].bytes = bytes;
        fa.v[slot].positions.assign(pos, pos + n);
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

void useFakeAudio() {
    soundShutdown();
    fa = FakeAudio{};
    setSoundService(fakeService());
    ASSERT_EQ(soundInit(0), 0);
}

// The service plays `bytes` of the slot's ring: the cursor moves on, each
// chunk end passed signals the slot's even event.
void playFor(int slot, uint32_t bytes) {
    FakeVoice& v = fa.v[slot];
    ASSERT_TRUE(v.playing);
    for (uint32_t i = 0; i < bytes; ++i) {
        for (uint32_t p : v.positions)
            if (p == v.cursor) fa.events.push_back(2 * slot);
        v.cursor = (v.cursor + 1) % v.bytes;
    }
}

// Handles every queued event as frames would, one per frame.
void runFrames() {
    while (!fa.events.empty()) ASSERT_TRUE(soundWaitAndService(10));
}

int load(const Bytes& wav, int slot, const char* name = "test.wav") {
    return loadSound(writeFile(name, wav).c_str(), slot);
}

Bytes ringBytes(int slot, uint32_t from, uint32_t n) {
    const uint8_t* r = fa.v[slot].ring;
    return Bytes(r + from, r + from + n);
}

TEST(SoundEngine, RingGeometryFollowsTheFilesFormat) {
    useFakeAudio();
    struct Case {
        Fmt fmt;
        uint32_t chunk;
    };
    for (const Case& c : {Case{Fmt{1, 2, 44100, 16}, 110248}, Case{Fmt{1, 1, 11025, 8}, 6890},
                          Case{Fmt{1, 1, 22050, 16}, 27562}, Case{Fmt{1, 2, 11025, 8}, 13780},
                          // The largest accepted format stays clear of 32-bit overflow.
                          Case{Fmt{1, 8, 192000, 16}, 1920000}}) {
        ASSERT_EQ(load(simpleWave(c.fmt, pattern(16)), 1), 0);
        const SoundSlot& s = soundSlot(1);
        EXPECT_EQ(s.chunkSize, c.chunk);
        EXPECT_EQ(s.bufferSize, 16 * c.chunk);
        EXPECT_EQ(fa.v[1].bytes, s.bufferSize);
        ASSERT_EQ(fa.v[1].positions.size(), 16u);
        for (uint32_t i = 0; i < 16; ++i) EXPECT_EQ(fa.v[1].positions[i], (i + 1) * c.chunk - 1);
        EXPECT_EQ(s.notifications[16], kNotifyOffsetStop);
    }
    EXPECT_EQ(soundSlot(1).bufferSize, 30720000u);
}

TEST(SoundEngine, AShortEffectIsPaddedWithSilenceAndStopsAtTheFirstRefillAfterItsRiffSize) {
    for (const uint16_t bits : {8, 16}) {
        useFakeAudio();
        const Bytes data = pattern(2000);
        const Bytes wav = simpleWave(Fmt{1, 1, 22050, bits}, data);
        const uint32_t riff = static_cast<uint32_t>(wav.size() - 8);
        ASSERT_EQ(load(wav, 1), 0);
        ASSERT_EQ(playSound(0, 1), 0);
        const SoundSlot& s = soundSlot(1);
        EXPECT_EQ(fa.lockDepth, 0);
        EXPECT_EQ(ringBytes(1, 0, 2000), data);
        const uint8_t silence = bits == 8 ? 0x80 : 0x00;
        EXPECT_EQ(ringBytes(1, 2000, s.bufferSize - 2000), Bytes(s.bufferSize - 2000, silence));

        // The first chunk end comes long after the data: the refill stops it.
        playFor(1, riff - 10);
        EXPECT_TRUE(fa.events.empty());
        EXPECT_EQ(serviceSlot(1), 0) << "a refill before the riff size is played";
        EXPECT_TRUE(fa.v[1].playing);
        playFor(1, s.chunkSize - (riff - 10));
        runFrames();
        EXPECT_FALSE(fa.v[1].playing);
        EXPECT_EQ(fa.v[1].stops, 1);
        EXPECT_EQ(s.playedBytes, s.chunkSize);
        EXPECT_EQ(s.writeOffset, 2 * s.chunkSize);
    }
}

TEST(SoundEngine, MusicShorterThanTheRingRepeatsWithinTheFirstFillAndKeepsLooping) {
    useFakeAudio();
    const Bytes data = pattern(5001);  // no divisor of the ring's size
    ASSERT_EQ(load(simpleWave(Fmt{1, 1, 11025, 8}, data), 0), 0);
    ASSERT_EQ(playSound(1, 0), 0);
    const SoundSlot& s = soundSlot(0);
    const uint8_t* ring = fa.v[0].ring;
    for (uint32_t i = 0; i < s.bufferSize; ++i) ASSERT_EQ(ring[i], data[i % data.size()]) << i;

    // Forty chunks later (two and a half times round the ring) every chunk
    // still continues the music exactly.
    uint64_t written = s.bufferSize;
    for (int n = 0; n < 40; ++n) {
        playFor(0, s.chunkSize);
        runFrames();
        const uint32_t at = (s.writeOffset + s.bufferSize - s.chunkSize) % s.bufferSize;
        for (uint32_t j = 0; j < s.chunkSize; ++j)
            ASSERT_EQ(ring[at + j], data[(written + j) % data.size()]) << n << " " << j;
        written += s.chunkSize;
    }
    EXPECT_TRUE(fa.v[0].playing);
    EXPECT_EQ(fa.v[0].stops, 0);
}

// An effect of several chunks plays to its end before it stops.
TEST(SoundEngine, ALongEffectPlaysToItsEndAndASecondPlayRestartsIt) {
    useFakeAudio();
    const Bytes data = pattern(40000);
    ASSERT_EQ(load(simpleWave(Fmt{1, 1, 11025, 8}, data), 1), 0);
    ASSERT_EQ(playSound(0, 1), 0);
    const SoundSlot& s = soundSlot(1);
    for (int n = 0; n < 5; ++n) {
        playFor(1, s.chunkSize);
        runFrames();
    }
    EXPECT_TRUE(fa.v[1].playing) << "riff size 40036 not yet played";
    playFor(1, s.chunkSize);
    runFrames();
    EXPECT_FALSE(fa.v[1].playing) << "stopped after 6 chunks";
    ASSERT_EQ(playSound(0, 1), 0);
    EXPECT_TRUE(fa.v[1].playing);
    EXPECT_EQ(fa.v[1].cursor, 0u);
    EXPECT_EQ(fa.v[1].plays, 2);
    EXPECT_EQ(s.playedBytes, 0u);
    EXPECT_EQ(s.writeOffset, 0u);
    EXPECT_EQ(ringBytes(1, 0, 40000), data);
    // Restarting while it plays cuts the running sound: one voice per slot.
    playFor(1, 12345);
    ASSERT_EQ(playSound(0, 1), 0);
    EXPECT_EQ(fa.v[1].cursor, 0u);
    EXPECT_EQ(ringBytes(1, 0, 40000), data);
}

TEST(SoundEngine, EmptySlotsAndAMissingServiceDoNothing) {
    // Before any service runs.
    soundShutdown();
    fa = FakeAudio{};
    setSoundService(fakeService());
    EXPECT_FALSE(soundWaitAndService(10));
    EXPECT_EQ(loadSound(writeFile("x.wav", simpleWave(Fmt{}, pattern(100))).c_str(), 0), kSoundFail);
    EXPECT_EQ(playSound(1, 0), kSoundFail);
    EXPECT_EQ(setVolume(0, -100), kSoundFail);
    EXPECT_EQ(getVolume(0), 0);
    EXPECT_FALSE(fa.v[0].exists);
    fa.failOpen = true;
    EXPECT_EQ(soundInit(0), kSoundFail);
    EXPECT_FALSE(soundRunning());
    EXPECT_FALSE(soundWaitAndService(10));

    // A slot whose file is missing or refused ignores play, stop and volume.
    useFakeAudio();
    CaptureStdout();
    EXPECT_EQ(loadSound((scratchDir() + "/missing.wav").c_str(), 3), kSoundFail);
    // A looped file without data is refused, never spun on.
    EXPECT_EQ(load(simpleWave(Fmt{1, 1, 11025, 8}, Bytes{}), 0), kSoundFail);
    const std::string out = GetCapturedStdout();
    EXPECT_NE(out.find("missing.wav"), std::string::npos);
    for (const int slot : {0, 3}) {
        EXPECT_EQ(playSound(slot == 0 ? 1 : 0, slot), kSoundFail);
        EXPECT_EQ(stopSound(slot), kSoundFail);
        EXPECT_EQ(setVolume(slot, -5000), kSoundFail);
        EXPECT_EQ(getVolume(slot), 0);
        EXPECT_EQ(fa.v[slot].plays + fa.v[slot].stops, 0);
    }
    // Reloading a slot with a broken file empties it: no refills from a
    // closed reader.
    ASSERT_EQ(load(simpleWave(Fmt{1, 1, 11025, 8}, pattern(300)), 2), 0);
    ASSERT_EQ(playSound(0, 2), 0);
    CaptureStdout();
    EXPECT_EQ(load(Bytes{1, 2, 3}, 2, "broken.wav"), kSoundFail);
    GetCapturedStdout();
    EXPECT_FALSE(soundSlot(2).hasBuffer);
    EXPECT_FALSE(fa.v[2].exists);
    EXPECT_EQ(playSound(0, 2), kSoundFail);
    for (const int bad : {-1, 5}) {
        EXPECT_EQ(playSound(0, bad), kSoundFail);
        EXPECT_EQ(serviceSlot(bad), kSoundFail);
    }
}

TEST(SoundEngine, AFailedRefillIsReportedAndTheSlotIsServicedAgainLater) {
    useFakeAudio();
    const Bytes wav = simpleWave(Fmt{1, 1, 11025, 8}, pattern(200000));
    const std::string path = writeFile("cut-music.wav", wav);
    ASSERT_EQ(loadSound(path.c_str(), 0), 0);
    ASSERT_EQ(playSound(1, 0), 0);
    const SoundSlot& s = soundSlot(0);
    ASSERT_EQ(truncate(path.c_str(), 44 + s.bufferSize + 100), 0);
    playFor(0, s.chunkSize);
    CaptureStdout();
    runFrames();
    EXPECT_EQ(GetCapturedStdout(), "Error handling DirectSound notifications.\n");
    EXPECT_EQ(s.writeOffset, 0u) << "the failed chunk is refilled at the next event";
    EXPECT_TRUE(fa.v[0].playing);
}

TEST(SoundEngine, FirstFrameSetUpLoadsTheGamesSoundsAndSetsTheVolumes) {
    for (const bool musicOn : {false, true}) {
        soundShutdown();
        fa = FakeAudio{};
        setSoundService(fakeService());
        char cwd[4096];
        ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
        ASSERT_EQ(chdir(MAZE_DATA_DIR), 0);
        CaptureStdout();
        soundFirstFrameSetUp(0, musicOn);
        const std::string out = GetCapturedStdout();
        ASSERT_EQ(chdir(cwd), 0);
        EXPECT_EQ(out, "Volume 0 -5000\n");
        for (int slot = 0; slot < 4; ++slot) EXPECT_TRUE(soundSlot(slot).hasBuffer) << slot;
        EXPECT_FALSE(soundSlot(4).hasBuffer);
        EXPECT_EQ(fa.v[0].playing, musicOn);
        EXPECT_EQ(fa.v[2].volume, -5000);
        EXPECT_EQ(getVolume(3), 0);
    }
    soundShutdown();
    soundShutdown();
    EXPECT_FALSE(soundRunning());
    EXPECT_FALSE(fa.open);
}

Bullet bullet(int kind, Vec3 pos, Vec3 dir) {
    Bullet b;
    b.shooterKind = kind;
    b.pos = pos;
    b.dir = dir;
    return b;
}

Vec3 along(Vec3 p, Vec3 d, float steps) {
    return Vec3{p.x + d.x * steps * kBulletSpeed, p.y + d.y * steps * kBulletSpeed, p.z + d.z * steps * kBulletSpeed};
}

TEST(SoundEngine, AClientHearsEachNewShotOfTheStatesItReceives) {
    useFakeAudio();
    ASSERT_EQ(load(simpleWave(Fmt{1, 1, 11025, 8}, pattern(300)), 1, "g1.wav"), 0);
    ASSERT_EQ(load(simpleWave(Fmt{1, 1, 11025, 8}, pattern(300)), 2, "g2.wav"), 0);
    const Vec3 east{1, 0, 0}, north{0, 0.6f, 0.8f};
    const Vec3 a{10, 10, 1.4f}, b{20, 30, 1.4f};
    playSoundsOfNewBullets({bullet(FighterCannon, a, east)});
    EXPECT_EQ(fa.v[1].plays, 1);
    // The same state applied again, and the bullet flown on: nothing new.
    playSoundsOfNewBullets({bullet(FighterCannon, a, east)});
    playSoundsOfNewBullets({bullet(FighterCannon, along(a, east, 1), east)});
    playSoundsOfNewBullets({bullet(FighterCannon, along(a, east, 4), east)});  // states lost
    EXPECT_EQ(fa.v[1].plays, 1);
    // A prey shot appears while the fighter's bullet flies on (list order
    // changes as bullets are removed).
    playSoundsOfNewBullets({bullet(PreyCannon, b, north), bullet(FighterCannon, along(a, east, 5), east)});
    EXPECT_EQ(fa.v[1].plays, 1);
    EXPECT_EQ(fa.v[2].plays, 1);
    // A second shot from the same gun behind the first is a new shot.
    playSoundsOfNewBullets({bullet(FighterCannon, along(a, east, 6), east), bullet(PreyCannon, along(b, north, 1), north),
                            bullet(FighterCannon, along(a, east, 0.3f), east)});
    EXPECT_EQ(fa.v[1].plays, 2);
    EXPECT_EQ(fa.v[2].plays, 1);
    // Bullets that vanish are no shots; a bullet in the same place flying
    // another way is.
    playSoundsOfNewBullets({});
    playSoundsOfNewBullets({bullet(PreyCannon, b, east)});
    EXPECT_EQ(fa.v[2].plays, 2);
}

}  // namespace
