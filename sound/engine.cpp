// engine.cpp -- the sound engine: five slots, each streaming its WAV file
// through a 16-chunk ring that the audio service plays around and around.
// The frame refills the chunk the play cursor has just left whenever the
// service reports a chunk end, so the ring always holds 15 chunks ahead.
//
// Runs on the game's one thread; the service's own thread only reads the
// rings, under the service's lock.
#include <cstdlib>
#include <cstring>
#include <string>

#include "base/log.h"
#include "sound/sound.h"

namespace {

SoundService service{};
bool running = false;
SoundSlot slots[kSoundSlots];
// The player's levels of the music and the effects, hundredths of a dB.
// They belong to the player, not to a device: a shutdown keeps them.
int32_t groupLevels[2] = {0, 0};
bool validSlot(int slot) { return slot >= 0 && slot < kSoundSlots; }

int32_t& groupLevelOf(SoundGroup group) { return groupLevels[group == SoundGroup::Music ? 0 : 1]; }

// The slot's volume: its own level plus its group's.
int32_t slotVolume(int slot) { return kSlotLevel[slot] + groupLevelOf(slotGroup(slot)); }

uint8_t silenceByte(const SoundSlot& s) { return s.reader.format.bitsPerSample == 8 ? 0x80 : 0x00; }

void lockRings() {
    if (service.lock) service.lock();
}
void unlockRings() {
    if (service.unlock) service.unlock();
}

void releaseBuffer(int slot) {
    SoundSlot& s = slots[slot];
    if (s.hasBuffer && running && service.releaseVoice) service.releaseVoice(slot);
    s.hasBuffer = false;
    s.ring.clear();
    s.ring.shrink_to_fit();
    s.notifications[0] = 0;
}

// Fills n bytes at p from the slot's file: sound data, then for an effect
// silence once the data has run out, for music the data again from its
// start, without a gap.
int fillRegion(SoundSlot& s, uint8_t* p, uint32_t n, int32_t loop) {
    if (s.endReached) {
        std::memset(p, silenceByte(s), n);
        return 0;
    }
    uint32_t got = 0;
    if (const int st = readWave(s.reader, n, p, &got); st != 0) return st;
    if (got == n) return 0;
    if (loop == 0) {
        s.endReached = 1;
        std::memset(p + got, silenceByte(s), n - got);
        return 0;
    }
    uint32_t filled = got;
    while (filled < n) {
        if (const int st = rewindWave(s.reader); st != 0) return st;
        uint32_t more = 0;
        if (const int st = readWave(s.reader, n - filled, p + filled, &more); st != 0) return st;
        // The reader refuses files without data; should one appear anyway,
        // silence ends the fill instead of spinning here.
        if (more == 0) {
            std::memset(p + filled, silenceByte(s), n - filled);
            return kSoundFail;
        }
        filled += more;
    }
    return 0;
}

// Creates the slot's ring in the reader's format.
int createRing(int slot) {
    SoundSlot& s = slots[slot];
    const WaveFormat& f = s.reader.format;
    // At most 192000 x 16 x 10 = 30 720 000 before the shift: no overflow.
    const uint32_t bytesPerSecond = f.samplesPerSec * f.blockAlign;
    const uint32_t raw = (bytesPerSecond * 10u) >> 4;
    s.chunkSize = raw - raw % f.blockAlign;
    s.bufferSize = s.chunkSize * kChunksPerBuffer;
    s.endReached = 0;
    s.playedBytes = 0;
    s.lastPlayPos = 0;
    s.writeOffset = 0;
    if (s.chunkSize == 0) return kSoundFail;
    s.ring.assign(s.bufferSize, silenceByte(s));
    for (uint32_t i = 1; i <= kChunksPerBuffer; ++i) s.notifications[i - 1] = i * s.chunkSize - 1;
    s.notifications[kChunksPerBuffer] = kNotifyOffsetStop;
    const int st = service.createVoice
                       ? service.createVoice(slot, f, s.ring.data(), s.bufferSize, s.notifications,
                                             static_cast<int>(kChunksPerBuffer))
                       : 0;
    if (st != 0) {
        s.ring.clear();
        return st;
    }
    s.hasBuffer = true;
    return 0;
}

// Rewinds the file and fills the whole ring from offset 0.
int fillFromStart(int slot, int32_t loop) {
    SoundSlot& s = slots[slot];
    s.endReached = 0;
    s.playedBytes = 0;
    s.writeOffset = 0;
    s.lastPlayPos = 0;
    if (const int st = rewindWave(s.reader); st != 0) return st;
    lockRings();
    int st = service.setPosition ? service.setPosition(slot, 0) : 0;
    if (st == 0) st = fillRegion(s, s.ring.data(), s.bufferSize, loop);
    unlockRings();
    if (st != 0) return st;
    s.writeOffset = s.bufferSize % s.bufferSize;
    return 0;
}

// (Re)starts a slot from its file's start; loop 1 for music, 0 for an effect.
int startSlot(int slot, int32_t loop) {
    if (!validSlot(slot) || !running || !slots[slot].hasBuffer) return kSoundFail;
    if (const int st = fillFromStart(slot, loop); st != 0) return st;
    if (service.play)
        if (const int st = service.play(slot); st != 0) return st;
    slots[slot].looping = loop;
    return 0;
}

}  // namespace

void setSoundService(const SoundService& s) { service = s; }

bool soundRunning() { return running; }

const SoundSlot& soundSlot(int slot) { return slots[validSlot(slot) ? slot : kSoundSlots - 1]; }

int soundInit(uintptr_t window) {
    soundShutdown();
    // Every way out of the process (a quit, "Server died", a fatal level
    // error) stops the audio thread before the rings it reads are freed.
    static const bool atExit = std::atexit(soundShutdown) == 0;
    (void)atExit;
    if (service.open == nullptr) return kSoundFail;
    const int st = service.open(window);
    if (st != 0) return st;
    running = true;
    return 0;
}

int loadSound(const char* fileName, int slot) {
    if (!validSlot(slot) || !running) return kSoundFail;
    SoundSlot& s = slots[slot];
    if (s.hasReader) closeWave(s.reader);
    s.hasReader = false;
    // A refused file leaves the slot empty: the old ring would otherwise be
    // refilled from a reader that is no longer open.
    releaseBuffer(slot);
    if (const int st = openWave(s.reader, fileName); st != 0) return st;
    s.hasReader = true;
    if (const int st = createRing(slot); st != 0) return st;
    return setVolume(slot, slotVolume(slot));
}

int playSoundOnce(int slot) { return startSlot(slot, 0); }

int playSoundLooped(int slot) { return startSlot(slot, 1); }

int stopSound(int slot) {
    if (!validSlot(slot) || !running || !slots[slot].hasBuffer) return kSoundFail;
    return service.stop ? service.stop(slot) : 0;
}

int serviceSlot(int slot) {
    if (!validSlot(slot) || !running || !slots[slot].hasBuffer) return kSoundFail;
    SoundSlot& s = slots[slot];
    uint32_t pos = 0;
    if (service.getPosition && service.getPosition(slot, &pos) == 0 && pos < s.bufferSize) {
        const uint32_t moved = pos >= s.lastPlayPos ? pos - s.lastPlayPos : s.bufferSize - s.lastPlayPos + pos;
        // Saturates: a long sound must never wrap back below its stop mark.
        s.playedBytes = moved > UINT32_MAX - s.playedBytes ? UINT32_MAX : s.playedBytes + moved;
        s.lastPlayPos = pos;
    }
    lockRings();
    const int st = fillRegion(s, s.ring.data() + s.writeOffset, s.chunkSize, s.looping);
    unlockRings();
    if (st != 0) return st;
    // A one-shot sound stops at the first refill after its RIFF size has
    // been played; the ring holds silence past its data, so nothing is cut.
    // (Stopping a chunk earlier for sounds longer than a chunk would cut up
    // to 0.625 s off their end.)
    if (s.endReached && s.playedBytes >= s.reader.riffChunk.size && service.stop) service.stop(slot);
    s.writeOffset = (s.writeOffset + s.chunkSize) % s.bufferSize;
    return 0;
}

int setVolume(int slot, int32_t hundredthsDb) {
    if (!validSlot(slot) || !running || !slots[slot].hasBuffer) return kSoundFail;
    if (hundredthsDb > kVolumeMax) hundredthsDb = kVolumeMax;
    if (hundredthsDb < kVolumeMin) hundredthsDb = kVolumeMin;
    return service.setVolume ? service.setVolume(slot, hundredthsDb) : 0;
}

int32_t getVolume(int slot) {
    int32_t v = 0;
    if (!validSlot(slot) || !running || !slots[slot].hasBuffer || !service.getVolume) return 0;
    return service.getVolume(slot, &v) == 0 ? v : 0;
}

SoundGroup slotGroup(int slot) { return slot == kMusicSlot ? SoundGroup::Music : SoundGroup::Effects; }

int32_t soundGroupLevel(SoundGroup group) { return groupLevelOf(group); }

int32_t setSoundGroupLevel(SoundGroup group, int32_t hundredthsDb) {
    const int32_t level = hundredthsDb > kGroupLevelMax ? kGroupLevelMax
                                                        : (hundredthsDb < kGroupLevelMin ? kGroupLevelMin : hundredthsDb);
    groupLevelOf(group) = level;
    // Empty slots and a stopped engine refuse quietly; loadSound sets the
    // volume of a slot filled later.
    for (int slot = 0; slot < kSoundSlots; ++slot)
        if (slotGroup(slot) == group) setVolume(slot, slotVolume(slot));
    return level;
}

void soundShutdown() {
    for (int i = 0; i < kSoundSlots; ++i) {
        if (slots[i].hasReader) closeWave(slots[i].reader);
        slots[i].hasReader = false;
    }
    for (int i = 0; i < kSoundSlots; ++i) releaseBuffer(i);
    if (running && service.close) service.close();
    running = false;
    for (SoundSlot& s : slots) s = SoundSlot{};
}

void soundFirstFrameSetUp(uintptr_t window, bool musicOn) {
    soundInit(window);
    loadSound("music.wav", kMusicSlot);
    loadSound("gun1.wav", kFighterGunSlot);
    loadSound("gun2.wav", kPreyGunSlot);
    loadSound("explode.wav", kExplosionSlot);
    if (musicOn) playSoundLooped(kMusicSlot);
    // What the service plays at, read back, in hundredths of a dB.
    constexpr const char* kNames[kSoundSlots] = {"music", "gun1", "gun2", "explode", "spare"};
    std::string line = "Volume";
    for (int slot = 0; slot < kSoundSlots; ++slot) {
        line += ' ';
        line += kNames[slot];
        line += ' ';
        line += slots[slot].hasBuffer ? std::to_string(getVolume(slot)) : std::string("-");
    }
    logLine(LogLevel::Info, "%s", line.c_str());
}

bool soundWaitAndService(int32_t maxMs) {
    if (!running || service.waitEvent == nullptr) return false;
    const int k = service.waitEvent(maxMs);
    if (k >= 0 && k < kSoundEvents && k % 2 == 0 && serviceSlot(k / 2) < 0) {
        logLine(LogLevel::Warning, "Error handling DirectSound notifications.");
    }
    return true;
}
