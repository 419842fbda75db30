// audio_sdl.cpp -- the audio service over SDL2: one output device in the
// primary format (22050 Hz, 2 channels, 16 bits) and a mixer of ours that
// plays every slot's ring in the slot's own format.
//
// The mixer runs on SDL's audio thread (the device callback, which SDL calls
// with the device locked). For each playing voice it takes whole sample
// blocks from the ring at the play cursor, lets an SDL_AudioStream convert
// them to the output format, scales by the voice's volume, sums, and
// limits the sum into 16 bits (mix.cpp). The play cursor counts the bytes
// taken from the ring; passing a notification position signals the slot's
// chunk-end event. The game's frame waits on those events (mutex and
// condition variable) and refills a ring under the device lock.
//
// This is the only file that includes SDL.
#include <SDL.h>

#include <condition_variable>
#include <cstring>
#include <mutex>

#include "base/log.h"
#include "sound/sound.h"

namespace {

constexpr int kDevicePeriodFrames = 256;   // about 12 ms at 22050 Hz
constexpr int kMixPieceFrames = 1024;      // frames mixed per pass of the mixer
constexpr int kOutputBytesPerFrame = 4;

struct Voice {
    bool exists = false;
    bool playing = false;
    uint8_t* ring = nullptr;          // owned by the engine
    uint32_t ringBytes = 0;
    uint32_t cursor = 0;              // bytes taken from the ring, modulo ringBytes
    uint32_t positions[kChunksPerBuffer] = {};
    int positionCount = 0;
    uint32_t blockAlign = 1;
    uint32_t feedBytes = 0;           // ring bytes put into the stream per step
    SDL_AudioStream* stream = nullptr;
    int32_t volume = 0;               // hundredths of a decibel
    int32_t gainQ16 = 65536;          // 10^(volume / 2000) in 1/65536
};

Voice voices[kSoundSlots];
SDL_AudioDeviceID device = 0;
bool subsystemUp = false;   // SDL's audio subsystem, default driver
bool dummyUp = false;       // the silent driver, started by hand
// The output's limiter; the audio thread's alone while the device runs.
MixLimiter limiter;

// The event set: a count per event, so no chunk end is lost when two arrive
// between frames.
std::mutex eventMutex;
std::condition_variable eventSignal;
uint32_t eventCounts[kSoundEvents] = {};

void signalEvents(uint32_t mask) {
    if (mask == 0) return;
    {
        const std::lock_guard<std::mutex> hold(eventMutex);
        for (int k = 0; k < kSoundEvents; ++k)
            if (mask & (1u << k)) ++eventCounts[k];
    }
    eventSignal.notify_all();
}

bool validSlot(int slot) { return slot >= 0 && slot < kSoundSlots; }

void lockDevice() {
    if (device) SDL_LockAudioDevice(device);
}
void unlockDevice() {
    if (device) SDL_UnlockAudioDevice(device);
}

// Puts ring bytes into the voice's stream until it holds `need` converted
// bytes, signalling each chunk end passed. Returns the events to signal.
uint32_t feedVoice(int slot, Voice& v, int need) {
    uint32_t events = 0;
    // Bounded: each step adds feedBytes, more than one piece's worth.
    for (int step = 0; step < 64 && SDL_AudioStreamAvailable(v.stream) < need; ++step) {
        uint32_t take = v.feedBytes;
        if (take > v.ringBytes - v.cursor) take = v.ringBytes - v.cursor;
        for (int i = 0; i < v.positionCount; ++i)
            if (v.positions[i] >= v.cursor && v.positions[i] < v.cursor + take) events |= 1u << (2 * slot);
        if (SDL_AudioStreamPut(v.stream, v.ring + v.cursor, static_cast<int>(take)) != 0) break;
        v.cursor += take;
        if (v.cursor >= v.ringBytes) v.cursor = 0;
    }
    return events;
}

void audioCallback(void*, Uint8* out, int len) {
    sdlMixPeriod(reinterpret_cast<int16_t*>(out), len / kOutputBytesPerFrame);
}

int openDevice() {
    SDL_AudioSpec want{};
    want.freq = static_cast<int>(kPrimaryRate);
    want.format = AUDIO_S16SYS;
    want.channels = kPrimaryChannels;
    want.samples = kDevicePeriodFrames;
    want.callback = audioCallback;
    SDL_AudioSpec have{};
    // No changes allowed: SDL converts to the hardware's format if it must.
    device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    return device != 0 ? 0 : kSoundFail;
}

int serviceOpen(uintptr_t) {
    // SDL's events would turn SIGTERM and SIGINT into quit events that no one
    // reads; the game keeps the default signal behaviour.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    subsystemUp = SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
    if (!subsystemUp || openDevice() != 0) {
        logLine(LogLevel::Warning, "sound: no audio device (%s); playing on without sound", SDL_GetError());
        // The silent driver keeps time like a card, so the frame's pacing and
        // the ring's notifications go on.
        if (subsystemUp) SDL_QuitSubSystem(SDL_INIT_AUDIO);
        subsystemUp = false;
        dummyUp = SDL_AudioInit("dummy") == 0;
        if (!dummyUp || openDevice() != 0) {
            logLine(LogLevel::Warning, "sound: the silent audio driver failed too (%s)", SDL_GetError());
            if (dummyUp) SDL_AudioQuit();
            dummyUp = false;
            return kSoundFail;
        }
    }
    {
        const std::lock_guard<std::mutex> hold(eventMutex);
        std::memset(eventCounts, 0, sizeof eventCounts);
    }
    limiter = MixLimiter{};
    SDL_PauseAudioDevice(device, 0);
    return 0;
}

void serviceReleaseVoice(int slot);

void serviceClose() {
    if (device) SDL_CloseAudioDevice(device);
    device = 0;
    for (int i = 0; i < kSoundSlots; ++i) serviceReleaseVoice(i);
    if (subsystemUp) SDL_QuitSubSystem(SDL_INIT_AUDIO);
    if (dummyUp) SDL_AudioQuit();
    subsystemUp = dummyUp = false;
}

int serviceCreateVoice(int slot, const WaveFormat& f, uint8_t* ring, uint32_t ringBytes,
                       const uint32_t* positions, int positionCount) {
    if (!validSlot(slot) || ring == nullptr || f.blockAlign == 0 || ringBytes < f.blockAlign)
        return kSoundFail;
    serviceReleaseVoice(slot);
    SDL_AudioStream* stream =
        SDL_NewAudioStream(f.bitsPerSample == 8 ? AUDIO_U8 : AUDIO_S16LSB, static_cast<Uint8>(f.channels),
                           static_cast<int>(f.samplesPerSec), AUDIO_S16SYS, kPrimaryChannels,
                           static_cast<int>(kPrimaryRate));
    if (stream == nullptr) {
        logLine(LogLevel::Warning, "sound: cannot convert %u Hz, %u channels, %u bits (%s)", f.samplesPerSec, f.channels,
                f.bitsPerSample, SDL_GetError());
        return kSoundFail;
    }
    lockDevice();
    Voice& v = voices[slot];
    v = Voice{};
    v.exists = true;
    v.ring = ring;
    v.ringBytes = ringBytes;
    v.blockAlign = f.blockAlign;
    v.positionCount = positionCount < 0 ? 0 : (positionCount > static_cast<int>(kChunksPerBuffer)
                                                   ? static_cast<int>(kChunksPerBuffer)
                                                   : positionCount);
    for (int i = 0; i < v.positionCount; ++i) v.positions[i] = positions[i];
    // One piece's worth of source blocks (rounded up) plus a little, so a
    // few steps fill a piece; whole blocks only.
    const uint64_t blocks = static_cast<uint64_t>(kMixPieceFrames) * f.samplesPerSec / kPrimaryRate + 16;
    uint64_t feed = blocks * f.blockAlign;
    if (feed > ringBytes) feed = ringBytes - ringBytes % f.blockAlign;
    v.feedBytes = static_cast<uint32_t>(feed);
    v.stream = stream;
    unlockDevice();
    return 0;
}

void serviceReleaseVoice(int slot) {
    if (!validSlot(slot)) return;
    lockDevice();
    Voice& v = voices[slot];
    if (v.stream) SDL_FreeAudioStream(v.stream);
    v = Voice{};
    unlockDevice();
}

int servicePlay(int slot) {
    if (!validSlot(slot) || !voices[slot].exists) return kSoundFail;
    lockDevice();
    voices[slot].playing = true;
    unlockDevice();
    return 0;
}

int serviceStop(int slot) {
    if (!validSlot(slot) || !voices[slot].exists) return kSoundFail;
    lockDevice();
    voices[slot].playing = false;
    unlockDevice();
    signalEvents(1u << (2 * slot + 1));
    return 0;
}

int serviceSetPosition(int slot, uint32_t offset) {
    if (!validSlot(slot) || !voices[slot].exists) return kSoundFail;
    lockDevice();
    Voice& v = voices[slot];
    offset -= offset % v.blockAlign;
    v.cursor = offset < v.ringBytes ? offset : 0;
    // Converted sound of the old position must not play after the new one.
    SDL_AudioStreamClear(v.stream);
    unlockDevice();
    // Chunk ends passed before the move belong to the old position: serviced
    // now, they would refill the chunk that is about to play.
    {
        const std::lock_guard<std::mutex> hold(eventMutex);
        eventCounts[2 * slot] = 0;
    }
    return 0;
}

int serviceGetPosition(int slot, uint32_t* offset) {
    if (!validSlot(slot) || !voices[slot].exists || offset == nullptr) return kSoundFail;
    lockDevice();
    *offset = voices[slot].cursor;
    unlockDevice();
    return 0;
}

int serviceSetVolume(int slot, int32_t hundredthsDb) {
    if (!validSlot(slot) || !voices[slot].exists) return kSoundFail;
    const int32_t v = hundredthsDb > kVolumeMax ? kVolumeMax : (hundredthsDb < kVolumeMin ? kVolumeMin : hundredthsDb);
    const int32_t gain = mixGainQ16(v);
    lockDevice();
    voices[slot].volume = v;
    voices[slot].gainQ16 = gain;
    unlockDevice();
    return 0;
}

int serviceGetVolume(int slot, int32_t* hundredthsDb) {
    if (!validSlot(slot) || !voices[slot].exists || hundredthsDb == nullptr) return kSoundFail;
    *hundredthsDb = voices[slot].volume;
    return 0;
}

int serviceWaitEvent(int32_t maxMs) {
    std::unique_lock<std::mutex> hold(eventMutex);
    const auto any = [] {
        for (uint32_t c : eventCounts)
            if (c) return true;
        return false;
    };
    if (maxMs > 0) eventSignal.wait_for(hold, std::chrono::milliseconds(maxMs), any);
    for (int k = 0; k < kSoundEvents; ++k)
        if (eventCounts[k]) {
            --eventCounts[k];
            return k;
        }
    return -1;
}

}  // namespace

void sdlMixPeriod(int16_t* out, int frames) {
    static int32_t sum[kMixPieceFrames * kPrimaryChannels];
    static int16_t piece[kMixPieceFrames * kPrimaryChannels];
    uint32_t events = 0;
    while (frames > 0) {
        const int n = frames < kMixPieceFrames ? frames : kMixPieceFrames;
        const int samples = n * kPrimaryChannels;
        const int need = n * kOutputBytesPerFrame;
        std::memset(sum, 0, sizeof(int32_t) * static_cast<size_t>(samples));
        for (int slot = 0; slot < kSoundSlots; ++slot) {
            Voice& v = voices[slot];
            if (!v.exists || !v.playing) continue;
            // A silent voice still plays on: its cursor and events move.
            events |= feedVoice(slot, v, need);
            const int got = SDL_AudioStreamGet(v.stream, piece, need);
            if (got > 0 && v.gainQ16 != 0) mixAccumulate(sum, piece, got / 2, v.gainQ16);
        }
        mixLimit(sum, out, n, limiter);
        out += samples;
        frames -= n;
    }
    signalEvents(events);
}

SoundService sdlSoundService() {
    SoundService s{};
    s.open = serviceOpen;
    s.close = serviceClose;
    s.createVoice = serviceCreateVoice;
    s.releaseVoice = serviceReleaseVoice;
    s.lock = lockDevice;
    s.unlock = unlockDevice;
    s.play = servicePlay;
    s.stop = serviceStop;
    s.setPosition = serviceSetPosition;
    s.getPosition = serviceGetPosition;
    s.setVolume = serviceSetVolume;
    s.getVolume = serviceGetVolume;
    s.waitEvent = serviceWaitEvent;
    return s;
}
