// sound.h -- the sound engine and the WAV reader.
//
// Five sound slots (0 music, 1 gun1, 2 gun2, 3 explode, 4 spare). Every
// sound, short or long, streams from its WAV file through a ring of 16
// chunks of about 0.625 s in the file's own format; the audio service plays
// the ring around and around and signals an event each time its play cursor
// passes the end of a chunk. The game's frame waits briefly for one event
// and refills the chunk just played (soundWaitAndService).
//
// The engine's logic (this header, wav.cpp, engine.cpp) is portable and
// talks to the audio service only through SoundService; the game plugs in
// the SDL implementation (audio_sdl.cpp), tests plug in a fake whose play
// cursor they move by hand.
//
// Status codes: 0 success, negative failure (kSoundFail when a slot has no
// buffer or no service is running).
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

constexpr int kSoundSlots = 5;
// What each slot plays (the fifth is spare).
constexpr int kMusicSlot = 0;
constexpr int kFighterGunSlot = 1;
constexpr int kPreyGunSlot = 2;
constexpr int kExplosionSlot = 3;
constexpr uint32_t kChunksPerBuffer = 16;
constexpr int kNotificationCount = kChunksPerBuffer + 1;
// Two events per slot: 2s a chunk end was passed, 2s + 1 the buffer stopped.
constexpr int kSoundEvents = 2 * kSoundSlots;
constexpr int32_t kSoundFail = static_cast<int32_t>(0x80004005u);
// The stop position's offset in a notification table: all 32 bits set.
constexpr uint32_t kNotifyOffsetStop = 0xFFFFFFFFu;
// Volumes in hundredths of a decibel: 0 is full volume, -10000 silence.
constexpr int32_t kVolumeMax = 0;
constexpr int32_t kVolumeMin = -10000;

// Each slot's own level, in hundredths of a decibel, with the player's group
// levels (below) at 0. The generated sounds all peak near full scale (music
// -1.9 dBFS with an RMS of -16.7 dBFS; guns and explosion -0.5 dBFS). The
// guns sit below the music and the explosions so that a burst of shots does
// not drown them, yet stay clearly heard over the music, whose energy is in
// its bass: at -12 dB the fighter's crack, in 50-ms windows above 1 kHz, is
// -22.8 dBFS against the music's -31.5 dBFS (median; -24.2 at its loudest).
// The prey's cannon is a lower thump, so it plays 6 dB louder: -24.9 dBFS
// above 1 kHz and -15.3 dBFS below 300 Hz, where the music's median is
// -19.5 dBFS. (Guns at -50 dB, as they once played, are lost beside it.)
constexpr int32_t kSlotLevel[kSoundSlots] = {0, -1200, -600, 0, 0};

// The two volumes the player sets: the music (slot 0) and the effects
// (every other slot), in hundredths of a decibel added to each slot's own
// level, 0 (the start) down to -30 dB in steps of 3 dB.
enum class SoundGroup : int { Music, Effects };
constexpr int32_t kGroupLevelMax = 0;
constexpr int32_t kGroupLevelMin = -3000;
constexpr int32_t kGroupLevelStep = 300;

// The primary output format: 22050 samples per second, 2 channels, 16 bits.
constexpr uint32_t kPrimaryRate = 22050;
constexpr uint16_t kPrimaryChannels = 2;
constexpr uint16_t kPrimaryBits = 16;

// Accepted input formats: PCM, 8 or 16 bits, these channel counts and rates.
// With them every figure of the ring (rate x block x 10, the ring's 16
// chunks) stays far below 2^32.
constexpr uint16_t kMaxWaveChannels = 8;
constexpr uint32_t kMinWaveRate = 1000;
constexpr uint32_t kMaxWaveRate = 192000;
// Largest WAV file opened: six minutes of 44.1 kHz 16-bit stereo, twenty
// times the game's music loop. The reader streams the data, but a larger
// file is no sound this engine plays.
constexpr uint64_t kMaxWaveFileSize = 64ull * 1024 * 1024;

// ---------------------------------------------------------------------------
// WAV reader
// ---------------------------------------------------------------------------

// A RIFF chunk header as the reader keeps it.
struct ChunkInfo {
    char id[4] = {};
    uint32_t size = 0;         // bytes of chunk data (for dataChunk: bytes not yet delivered)
    char formType[4] = {};     // RIFF chunk only
    uint32_t dataOffset = 0;   // file offset of the chunk's data
    uint32_t flags = 0;
};

// The "fmt " record (PCM only is accepted, so extraSize is always 0).
struct WaveFormat {
    uint16_t formatTag = 0;
    uint16_t channels = 0;
    uint32_t samplesPerSec = 0;
    uint32_t avgBytesPerSec = 0;
    uint16_t blockAlign = 0;
    uint16_t bitsPerSample = 0;
    uint16_t extraSize = 0;
};

// Lifetime: one per loaded slot; owns its open file until closeWave.
struct WaveReader {
    bool hasFormat = false;
    WaveFormat format;
    std::FILE* file = nullptr;
    ChunkInfo dataChunk;       // size counts down as data is delivered
    ChunkInfo riffChunk;       // size is what the engine's stop rule uses
    uint32_t dataLength = 0;   // whole sample blocks of the data chunk, bytes
    std::string name;          // for messages
};

// Opens a WAV file, checks its format and positions the reader at the first
// sample. Returns 0, or kSoundFail after printing one line naming the file
// and the reason (missing, not seekable, larger than kMaxWaveFileSize, not
// RIFF WAVE, chunks past the end, no or empty data, not 8/16-bit PCM,
// channels, rate, block alignment).
int openWave(WaveReader& reader, const char* fileName);
// The same on an already open stream, which the reader takes over (closed
// on failure too); `name` appears in the messages.
int openWaveStream(WaveReader& reader, std::FILE* stream, const char* name);
// Back to the first sample; dataChunk.size is the full length again.
int rewindWave(WaveReader& reader);
// Copies up to count bytes of sound data; *delivered gets 0..count. Never
// passes the data chunk's end. kSoundFail when the file ends early.
int readWave(WaveReader& reader, uint32_t count, uint8_t* destination, uint32_t* delivered);
// Closes the file and forgets the format.
void closeWave(WaveReader& reader);

// ---------------------------------------------------------------------------
// The audio service (implemented over SDL2 in audio_sdl.cpp; faked in tests)
// ---------------------------------------------------------------------------

// Each slot's voice plays a ring that the engine owns: `ring` stays valid
// and in place until releaseVoice. The play cursor counts the ring bytes the
// service has taken, modulo the ring's size. Passing offset positions[i]
// (the last byte of chunk i) signals event 2 * slot; stopping signals
// 2 * slot + 1. Any function may be null in a fake (it then does nothing).
struct SoundService {
    int (*open)(uintptr_t window);
    void (*close)();
    int (*createVoice)(int slot, const WaveFormat& format, uint8_t* ring, uint32_t ringBytes,
                       const uint32_t* positions, int positionCount);
    void (*releaseVoice)(int slot);
    // Held around every write into a ring.
    void (*lock)();
    void (*unlock)();
    int (*play)(int slot);       // plays from the cursor, looping around the ring
    int (*stop)(int slot);       // position and contents stay
    int (*setPosition)(int slot, uint32_t offset);
    int (*getPosition)(int slot, uint32_t* offset);
    int (*setVolume)(int slot, int32_t hundredthsDb);
    int (*getVolume)(int slot, int32_t* hundredthsDb);
    // Waits at most maxMs for one signalled event and takes it: its number
    // 0..9, or -1 on time-out.
    int (*waitEvent)(int32_t maxMs);
};

// ---------------------------------------------------------------------------
// The mixer's arithmetic (mix.cpp; the SDL service mixes with it)
// ---------------------------------------------------------------------------

// A volume as a gain in 1/65536: 10^(hundredthsDb / 2000), clamped to
// kVolumeMin..kVolumeMax; kVolumeMin is silence (0).
int32_t mixGainQ16(int32_t hundredthsDb);
// Adds `samples` 16-bit samples scaled by gainQ16 (at most 65536) to `sum`.
// Five voices at full scale and full gain sum to at most 5 x 32768: far
// inside 32 bits.
void mixAccumulate(int32_t* sum, const int16_t* piece, int samples, int32_t gainQ16);

// The output's peak limiter. Its ceiling is 0.95 of full scale (-0.45 dBFS,
// where the generated sounds peak): a mix below it passes sample for sample
// unchanged; a frame above it lowers the gain at once so that frame lands on
// the ceiling. The gain then holds for 20 ms, longer than a period of any
// tone we play (so a loud steady sound is scaled, not flattened at the
// ceiling), and comes back with a time constant of 100 ms. Both channels
// share the gain, so the stereo picture stays put. No sample ever reaches
// full scale, wraps or clips.
constexpr int32_t kMixCeiling = 31129;
constexpr float kMixHoldSeconds = 0.02f;
constexpr float kMixReleaseSeconds = 0.1f;
// Lifetime: one per output stream (the audio thread's), from device open.
struct MixLimiter {
    float gain = 1.0f;       // the gain applied to the last frame; 1 passes the mix unchanged
    int32_t holdFrames = 0;  // frames left before the gain may rise again
};
// Writes `frames` stereo frames of `sum` (interleaved, any 32-bit values)
// to `out` through the limiter, whose state carries over to the next call.
void mixLimit(const int32_t* sum, int16_t* out, int frames, MixLimiter& limiter);

// The SDL2 service (game builds only: audio_sdl.cpp). Its device opens in
// the primary format; without a usable device it falls back to SDL's silent
// dummy driver, so the game still paces and plays on.
SoundService sdlSoundService();
// The SDL service's mixer: fills `frames` stereo 16-bit frames with every
// playing voice converted, scaled by its volume, summed and limited.
// Runs on the audio thread; exposed for the benchmark.
void sdlMixPeriod(int16_t* out, int frames);

// ---------------------------------------------------------------------------
// The engine
// ---------------------------------------------------------------------------

struct SoundSlot {
    bool hasReader = false;
    WaveReader reader;
    bool hasBuffer = false;
    std::vector<uint8_t> ring;        // bufferSize bytes in the file's format
    uint32_t chunkSize = 0;           // whole blocks, about 0.625 s
    uint32_t bufferSize = 0;          // kChunksPerBuffer * chunkSize
    uint32_t writeOffset = 0;         // where the next refill writes
    uint32_t lastPlayPos = 0;         // cursor seen at the previous refill
    uint32_t playedBytes = 0;         // since the last start; stops at 2^32 - 1
    uint32_t endReached = 0;          // one-shot data ran out while filling
    int32_t looping = 0;              // 1 music, 0 effect
    uint32_t notifications[kNotificationCount] = {};
};

// Chooses the service that soundInit starts. Tests pass a fake.
void setSoundService(const SoundService& service);
// Starts the service for the game window; clears every slot. Returns its status.
int soundInit(uintptr_t window);
// Opens the file into the slot, creates its ring and sets its volume (its
// own level plus its group's); a refused file leaves the slot empty and
// silent.
int loadSound(const char* fileName, int slot);
// (Re)starts the slot's sound from the beginning of its file, to play once
// (an effect: silence follows its end). One voice per slot: a running sound
// starts over. Returns 0, or kSoundFail for an empty slot or no engine.
int playSoundOnce(int slot);
// The same, looping from the file's end back to its start without a gap
// (the music), until stopSound.
int playSoundLooped(int slot);
// Stops the slot's buffer if it has one.
int stopSound(int slot);
// Refills the chunk after a chunk-end event and applies the stop rule.
int serviceSlot(int slot);
// Volume in hundredths of a decibel; does nothing on an empty slot.
int setVolume(int slot, int32_t hundredthsDb);
// The slot's volume, 0 when it has no buffer.
int32_t getVolume(int slot);
// The group a slot's volume follows: slot 0 the music, the others effects.
SoundGroup slotGroup(int slot);
// The player's level of a group (0 until changed; it outlives shutdowns).
int32_t soundGroupLevel(SoundGroup group);
// Keeps the group's level, clamped to kGroupLevelMin..kGroupLevelMax, and
// sets every loaded slot of the group at once to its own level plus it (a
// slot loaded later gets it in loadSound). Returns the level kept.
int32_t setSoundGroupLevel(SoundGroup group, int32_t hundredthsDb);
// Releases every reader, ring and the service. Safe to call twice.
void soundShutdown();
// True between a successful soundInit and soundShutdown.
bool soundRunning();
// The slot's record, for tests and the audio service (slot 0..4).
const SoundSlot& soundSlot(int slot);

// The first frame's set-up: soundInit(window), the four files into slots
// 0..3 (each at its volume), the music when musicOn, and the "Volume " line
// with every slot's volume as the service reports it ("-" for an empty
// slot).
void soundFirstFrameSetUp(uintptr_t window, bool musicOn);

// The frame's wait: at most maxMs for one sound event; an even event 2s
// refills slot s ("Error handling DirectSound notifications." on failure).
// Returns true after waiting; false at once when no engine is running.
bool soundWaitAndService(int32_t maxMs);

