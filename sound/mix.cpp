// mix.cpp -- the mixer's arithmetic: volumes as gains, the sum of the
// voices and the limiter that brings the sum into 16 bits. The audio thread
// runs it (audio_sdl.cpp); it touches no audio library, so tests feed it
// full-scale input directly.
#include <cmath>
#include <cstdlib>

#include "sound/sound.h"

int32_t mixGainQ16(int32_t hundredthsDb) {
    const int32_t v = hundredthsDb > kVolumeMax ? kVolumeMax : (hundredthsDb < kVolumeMin ? kVolumeMin : hundredthsDb);
    // The bottom of the range is silence, as the service's minimum means.
    if (v == kVolumeMin) return 0;
    return static_cast<int32_t>(std::lround(65536.0 * std::pow(10.0, v / 2000.0)));
}

void mixAccumulate(int32_t* sum, const int16_t* piece, int samples, int32_t gainQ16) {
    // 32768 x 65536 is 2^31: the product of a full-scale sample and full
    // gain still fits, its sign kept.
    for (int i = 0; i < samples; ++i) sum[i] += (piece[i] * gainQ16) >> 16;
}

void mixLimit(const int32_t* sum, int16_t* out, int frames, MixLimiter& limiter) {
    // Per frame, a released gain closes 1/(rate x release) of its distance to 1.
    const float rate = static_cast<float>(kPrimaryRate);
    const float release = 1.0f - std::exp(-1.0f / (kMixReleaseSeconds * rate));
    const int32_t hold = static_cast<int32_t>(kMixHoldSeconds * rate);
    const float ceiling = static_cast<float>(kMixCeiling);
    float gain = limiter.gain;
    int32_t holdFrames = limiter.holdFrames;
    for (int f = 0; f < frames; ++f) {
        const int32_t left = sum[2 * f], right = sum[2 * f + 1];
        // In float: |INT32_MIN| has no 32-bit int.
        const float peak = std::fmax(std::fabs(static_cast<float>(left)), std::fabs(static_cast<float>(right)));
        if (holdFrames > 0) {
            --holdFrames;
        } else {
            gain += (1.0f - gain) * release;
            // Within a hair of 1 the gain is 1, so a quiet mix after a loud
            // one comes back bit for bit.
            if (gain > 0.9999f) gain = 1.0f;
        }
        if (peak * gain > ceiling) {
            gain = ceiling / peak;
            holdFrames = hold;
        }
        // At a gain of 1 the frame is at most the ceiling: it passes as is.
        if (gain == 1.0f) {
            out[2 * f] = static_cast<int16_t>(left);
            out[2 * f + 1] = static_cast<int16_t>(right);
            continue;
        }
        // |value x gain| <= the ceiling (up to a float's rounding): well
        // inside 16 bits.
        out[2 * f] = static_cast<int16_t>(std::lround(static_cast<float>(left) * gain));
        out[2 * f + 1] = static_cast<int16_t>(std::lround(static_cast<float>(right) * gain));
    }
    limiter.gain = gain;
    limiter.holdFrames = holdFrames;
}
