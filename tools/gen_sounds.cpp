// gen_sounds.cpp -- composes the game's four sounds into a folder:
//   music.wav    32 s of music in A minor at 120 beats a minute (melody,
//                pad chords, bass, drums), 22050 Hz 16-bit stereo; it loops
//                seamlessly because every note's tail wraps round to the
//                start of the piece
//   gun1.wav     the fighters' cannon: a sharp crack with a falling zap,
//                0.35 s, 11025 Hz 8-bit mono
//   gun2.wav     the prey's cannon: a low buzzing thump, 0.6 s,
//                16000 Hz 16-bit mono
//   explode.wav  a rumbling blast, 1.6 s, 11025 Hz 8-bit mono
// Deterministic: the same bytes on every run (noise from the game's own
// generator, seeded per sound).
// Usage: gen_sounds <output-folder>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "base/bytes.h"
#include "world/world.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

// Writes a PCM WAV ("fmt " before "data"); samples in [-1, 1], interleaved.
bool writeWav(const std::string& path, const std::vector<double>& samples, uint32_t rate,
              uint16_t channels, uint16_t bits) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return false;
    const uint16_t block = static_cast<uint16_t>(channels * bits / 8);
    const uint32_t dataBytes = static_cast<uint32_t>(samples.size() / channels) * block;
    std::vector<uint8_t> out;
    auto u32 = [&out](uint32_t v) { appendLe32(out, v); };
    auto u16 = [&out](uint16_t v) { appendLe16(out, v); };
    auto tag = [&out](const char* t) { out.insert(out.end(), t, t + 4); };
    tag("RIFF");
    u32(36 + dataBytes + (dataBytes & 1u));
    tag("WAVE");
    tag("fmt ");
    u32(16);
    u16(1);
    u16(channels);
    u32(rate);
    u32(rate * block);
    u16(block);
    u16(bits);
    tag("data");
    u32(dataBytes);
    for (double s : samples) {
        const double c = s > 1.0 ? 1.0 : (s < -1.0 ? -1.0 : s);
        if (bits == 8) {
            out.push_back(static_cast<uint8_t>(std::lround(128.0 + c * 127.0)));
        } else {
            u16(static_cast<uint16_t>(static_cast<int16_t>(std::lround(c * 32767.0))));
        }
    }
    if (dataBytes & 1u) out.push_back(0);
    const bool ok = std::fwrite(out.data(), 1, out.size(), f) == out.size();
    return std::fclose(f) == 0 && ok;
}

// White noise in [-1, 1] from the game's generator.
double noise() { return randomFraction() * 2.0 - 1.0; }

double midiHz(int note) { return 440.0 * std::pow(2.0, (note - 69) / 12.0); }

// Scales so the loudest sample is at `peak`.
void normalise(std::vector<double>& s, double peak) {
    double top = 0.0;
    for (double v : s) top = std::fmax(top, std::fabs(v));
    if (top > 0.0)
        for (double& v : s) v *= peak / top;
}

// ---------------------------------------------------------------------------
// Music
// ---------------------------------------------------------------------------

constexpr uint32_t kMusicRate = 22050;
constexpr int kEighth = 5512;             // samples per eighth note at 120 bpm (rounded)
constexpr int kBarEighths = 8;
constexpr int kBars = 16;
constexpr int kMusicFrames = kEighth * kBarEighths * kBars;  // 705 536 frames, 32.0 s

struct Note {
    int start;    // eighths from the bar's start
    int length;   // eighths
    int midi;
};

// The piece: a circular stereo buffer, so tails crossing the end of the
// piece sound again at its start, exactly where the loop brings them.
struct Piece {
    std::vector<double> left = std::vector<double>(kMusicFrames, 0.0);
    std::vector<double> right = std::vector<double>(kMusicFrames, 0.0);
    void add(long frame, double v, double pan) {  // pan 0 left .. 1 right
        const size_t i = static_cast<size_t>(((frame % kMusicFrames) + kMusicFrames) % kMusicFrames);
        left[i] += v * std::sqrt(1.0 - pan);
        right[i] += v * std::sqrt(pan);
    }
};

// Attack-decay-sustain-release envelope; t and the times in seconds.
double envelope(double t, double held, double attack, double decay, double sustain, double release) {
    double level;
    if (t < attack) level = t / attack;
    else if (t < attack + decay) level = 1.0 - (1.0 - sustain) * (t - attack) / decay;
    else level = sustain;
    if (t > held) level *= std::exp(-(t - held) / release);
    return level;
}

// Lead: a soft square-ish tone (odd harmonics) with a gentle vibrato.
void lead(Piece& p, long at, double seconds, int midi, double gain) {
    const double f = midiHz(midi);
    const long n = static_cast<long>((seconds + 0.4) * kMusicRate);
    double phase = 0.0;
    for (long i = 0; i < n; ++i) {
        const double t = static_cast<double>(i) / kMusicRate;
        const double vib = 1.0 + 0.004 * std::sin(2.0 * kPi * 5.5 * t) * std::fmin(1.0, t * 3.0);
        phase += 2.0 * kPi * f * vib / kMusicRate;
        const double tone = std::sin(phase) + 0.3 * std::sin(3.0 * phase) + 0.12 * std::sin(5.0 * phase);
        p.add(at + i, gain * tone * envelope(t, seconds * 0.9, 0.01, 0.12, 0.6, 0.08), 0.6);
    }
}

// Pad: three detuned saw-like voices per note, slow attack, spread wide.
void pad(Piece& p, long at, double seconds, int midi, double gain) {
    const double f = midiHz(midi);
    const long n = static_cast<long>((seconds + 0.6) * kMusicRate);
    for (long i = 0; i < n; ++i) {
        const double t = static_cast<double>(i) / kMusicRate;
        const double env = envelope(t, seconds, 0.15, 0.3, 0.7, 0.25);
        double l = 0.0, r = 0.0;
        for (int h = 1; h <= 4; ++h) {
            l += std::sin(2.0 * kPi * f * 0.998 * h * t) / h;
            r += std::sin(2.0 * kPi * f * 1.002 * h * t) / h;
        }
        p.add(at + i, gain * env * l, 0.15);
        p.add(at + i, gain * env * r, 0.85);
    }
}

// Bass: a plucked tone whose brightness falls with time.
void bass(Piece& p, long at, double seconds, int midi, double gain) {
    const double f = midiHz(midi);
    const long n = static_cast<long>((seconds + 0.15) * kMusicRate);
    for (long i = 0; i < n; ++i) {
        const double t = static_cast<double>(i) / kMusicRate;
        const double bright = std::exp(-t * 6.0);
        const double tone = std::sin(2.0 * kPi * f * t) + bright * 0.5 * std::sin(4.0 * kPi * f * t) +
                            bright * 0.25 * std::sin(6.0 * kPi * f * t);
        p.add(at + i, gain * tone * envelope(t, seconds * 0.85, 0.005, 0.2, 0.5, 0.05), 0.5);
    }
}

void kick(Piece& p, long at, double gain) {
    const long n = static_cast<long>(0.3 * kMusicRate);
    double phase = 0.0;
    for (long i = 0; i < n; ++i) {
        const double t = static_cast<double>(i) / kMusicRate;
        phase += 2.0 * kPi * (50.0 + 110.0 * std::exp(-t * 30.0)) / kMusicRate;
        p.add(at + i, gain * std::sin(phase) * std::exp(-t * 9.0), 0.5);
    }
}

void snare(Piece& p, long at, double gain) {
    const long n = static_cast<long>(0.22 * kMusicRate);
    double low = 0.0;
    for (long i = 0; i < n; ++i) {
        const double t = static_cast<double>(i) / kMusicRate;
        const double x = noise();
        low += 0.5 * (x - low);
        const double body = std::sin(2.0 * kPi * 190.0 * t) * std::exp(-t * 30.0);
        p.add(at + i, gain * ((x - low) * 0.8 * std::exp(-t * 18.0) + body * 0.6), 0.45);
    }
}

void hat(Piece& p, long at, double gain, double length) {
    const long n = static_cast<long>(length * kMusicRate);
    double prev = 0.0;
    for (long i = 0; i < n; ++i) {
        const double t = static_cast<double>(i) / kMusicRate;
        const double x = noise();
        const double high = x - prev;  // a crude high-pass: the hiss of a cymbal
        prev = x;
        p.add(at + i, gain * high * std::exp(-t * 4.0 / length), 0.3);
    }
}

// Chords of the 8-bar progression Am F C G Am F G E, as pad notes and bass
// roots.
struct Chord {
    int pad[3];
    int root;
};
const Chord kChords[8] = {
    {{57, 60, 64}, 45}, {{53, 57, 60}, 41}, {{55, 60, 64}, 48}, {{55, 59, 62}, 43},
    {{57, 60, 64}, 45}, {{53, 57, 60}, 41}, {{55, 59, 62}, 43}, {{52, 56, 59}, 40},
};

// The melody, bar by bar: an eight-bar phrase and its answer.
const std::vector<Note> kMelody[kBars] = {
    {{0, 2, 76}, {2, 1, 72}, {3, 1, 74}, {4, 2, 76}, {6, 2, 69}},
    {{0, 2, 77}, {2, 1, 76}, {3, 1, 74}, {4, 4, 72}},
    {{0, 2, 76}, {2, 2, 79}, {4, 1, 76}, {5, 1, 74}, {6, 2, 72}},
    {{0, 4, 74}, {4, 2, 71}, {6, 2, 67}},
    {{0, 1, 69}, {1, 1, 72}, {2, 2, 76}, {4, 2, 81}, {6, 1, 79}, {7, 1, 76}},
    {{0, 2, 77}, {2, 2, 81}, {4, 1, 79}, {5, 1, 77}, {6, 2, 76}},
    {{0, 2, 74}, {2, 1, 71}, {3, 1, 72}, {4, 2, 74}, {6, 2, 79}},
    {{0, 4, 76}, {4, 1, 74}, {5, 1, 72}, {6, 2, 71}},
    {{0, 2, 81}, {2, 2, 76}, {4, 2, 72}, {6, 2, 76}},
    {{0, 1, 77}, {1, 1, 79}, {2, 2, 81}, {4, 2, 84}, {6, 2, 81}},
    {{0, 4, 79}, {4, 2, 76}, {6, 2, 72}},
    {{0, 1, 74}, {1, 1, 76}, {2, 1, 74}, {3, 1, 71}, {4, 4, 67}},
    {{0, 2, 72}, {2, 2, 76}, {4, 4, 81}},
    {{0, 1, 81}, {1, 1, 79}, {2, 2, 77}, {4, 2, 72}, {6, 2, 77}},
    {{0, 2, 74}, {2, 2, 79}, {4, 2, 83}, {6, 2, 79}},
    {{0, 4, 80}, {4, 2, 83}, {6, 2, 76}},
};

std::vector<double> composeMusic() {
    randomSeed(1);
    Piece p;
    const double eighth = static_cast<double>(kEighth) / kMusicRate;
    for (int bar = 0; bar < kBars; ++bar) {
        const long barStart = static_cast<long>(bar) * kBarEighths * kEighth;
        const Chord& c = kChords[bar % 8];
        for (int k = 0; k < 3; ++k) pad(p, barStart, eighth * kBarEighths * 0.95, c.pad[k], 0.05);
        // Bass: root, root, fifth, octave, fifth, root on the eighths.
        const int pattern[6][3] = {{0, 2, 0}, {2, 1, 0}, {3, 1, 7}, {4, 2, 12}, {6, 1, 7}, {7, 1, 0}};
        for (const auto& b : pattern)
            bass(p, barStart + b[0] * kEighth, eighth * b[1], c.root + b[2], 0.32);
        for (const Note& n : kMelody[bar])
            lead(p, barStart + n.start * kEighth, eighth * n.length, n.midi, 0.16);
        // Drums: kick on 1 and 3 (and a push before 3 in every other bar),
        // snare on 2 and 4, hats on every eighth, the off-beats longer.
        kick(p, barStart, 0.55);
        kick(p, barStart + 4 * kEighth, 0.5);
        if (bar % 2 == 1) kick(p, barStart + 3 * kEighth, 0.3);
        snare(p, barStart + 2 * kEighth, 0.3);
        snare(p, barStart + 6 * kEighth, 0.3);
        for (int e = 0; e < kBarEighths; ++e) hat(p, barStart + e * kEighth, 0.05, e % 2 ? 0.12 : 0.04);
    }
    std::vector<double> out(2 * static_cast<size_t>(kMusicFrames));
    for (size_t i = 0; i < static_cast<size_t>(kMusicFrames); ++i) {
        out[2 * i] = p.left[i];
        out[2 * i + 1] = p.right[i];
    }
    normalise(out, 0.8);
    return out;
}

// ---------------------------------------------------------------------------
// Effects
// ---------------------------------------------------------------------------

// The fighters' cannon: a bright crack of noise over a square wave that
// falls from 1100 to 180 Hz.
std::vector<double> composeGun1(uint32_t rate) {
    randomSeed(2);
    const long n = static_cast<long>(0.35 * rate);
    std::vector<double> s(static_cast<size_t>(n));
    double phase = 0.0;
    for (long i = 0; i < n; ++i) {
        const double t = static_cast<double>(i) / rate;
        phase += 2.0 * kPi * (180.0 + 920.0 * std::exp(-t * 14.0)) / rate;
        const double square = std::sin(phase) > 0.0 ? 1.0 : -1.0;
        const double fade = std::fmin(1.0, (0.35 - t) / 0.03);  // no click at the end
        s[static_cast<size_t>(i)] =
            (0.55 * square * std::exp(-t * 9.0) + 0.6 * noise() * std::exp(-t * 40.0)) * fade;
    }
    normalise(s, 0.95);
    return s;
}

// The prey's cannon: a low, buzzing thump: a sine falling from 220 to 55 Hz
// with a 28 Hz tremolo and a growl of odd harmonics, twice as long.
std::vector<double> composeGun2(uint32_t rate) {
    randomSeed(3);
    const long n = static_cast<long>(0.6 * rate);
    std::vector<double> s(static_cast<size_t>(n));
    double phase = 0.0;
    for (long i = 0; i < n; ++i) {
        const double t = static_cast<double>(i) / rate;
        phase += 2.0 * kPi * (55.0 + 165.0 * std::exp(-t * 6.0)) / rate;
        const double growl = std::sin(phase) + 0.5 * std::sin(3.0 * phase) + 0.3 * std::sin(5.0 * phase);
        const double tremolo = 0.6 + 0.4 * std::sin(2.0 * kPi * 28.0 * t);
        const double fade = std::fmin(1.0, (0.6 - t) / 0.05);
        s[static_cast<size_t>(i)] =
            (growl * tremolo * std::exp(-t * 4.0) + 0.3 * noise() * std::exp(-t * 60.0)) * fade;
    }
    normalise(s, 0.95);
    return s;
}

// The explosion: low-passed noise that swells in 20 ms and rumbles away,
// a falling thump underneath and crackle on top.
std::vector<double> composeExplosion(uint32_t rate) {
    randomSeed(4);
    const double seconds = 1.6;
    const long n = static_cast<long>(seconds * rate);
    std::vector<double> s(static_cast<size_t>(n));
    double low = 0.0, lower = 0.0, phase = 0.0;
    for (long i = 0; i < n; ++i) {
        const double t = static_cast<double>(i) / rate;
        const double x = noise();
        const double cut = 0.05 + 0.4 * std::exp(-t * 5.0);  // darker as it fades
        low += cut * (x - low);
        lower += 0.3 * (low - lower);
        phase += 2.0 * kPi * (30.0 + 60.0 * std::exp(-t * 8.0)) / rate;
        const double crackle = randomFraction() < 0.01 * std::exp(-t * 3.0) ? noise() : 0.0;
        const double swell = std::fmin(1.0, t / 0.02);
        const double fade = std::fmin(1.0, (seconds - t) / 0.1);
        s[static_cast<size_t>(i)] =
            swell * fade * (2.5 * lower * std::exp(-t * 2.2) + 0.7 * std::sin(phase) * std::exp(-t * 5.0) + crackle * 0.4);
    }
    normalise(s, 0.95);
    return s;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: gen_sounds <output-folder>\n");
        return 2;
    }
    const std::string dir = argv[1];
    bool ok = writeWav(dir + "/music.wav", composeMusic(), kMusicRate, 2, 16);
    ok = writeWav(dir + "/gun1.wav", composeGun1(11025), 11025, 1, 8) && ok;
    ok = writeWav(dir + "/gun2.wav", composeGun2(16000), 16000, 1, 16) && ok;
    ok = writeWav(dir + "/explode.wav", composeExplosion(11025), 11025, 1, 8) && ok;
    if (!ok) {
        std::fprintf(stderr, "gen_sounds: cannot write the sounds into %s\n", dir.c_str());
        return 1;
    }
    return 0;
}
