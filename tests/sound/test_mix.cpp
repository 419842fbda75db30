// test_mix.cpp -- the mixer's arithmetic on full-scale input: five slots at
// full volume neither wrap nor flatten at the ceiling, a quiet mix passes
// bit for bit, also after a loud burst has passed.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <vector>

#include "sound/sound.h"

namespace {

constexpr int kRate = static_cast<int>(kPrimaryRate);

// `frames` stereo frames of a sine of `amplitude` at `hz`, phase in degrees.
std::vector<int16_t> sine(int frames, double hz, double amplitude, double phaseDeg = 0.0) {
    std::vector<int16_t> v(2 * static_cast<size_t>(frames));
    for (int f = 0; f < frames; ++f) {
        const double s = amplitude * std::sin(2.0 * M_PI * hz * f / kRate + phaseDeg * M_PI / 180.0);
        const long r = std::lround(s);
        v[2 * f] = v[2 * f + 1] = static_cast<int16_t>(r > 32767 ? 32767 : (r < -32768 ? -32768 : r));
    }
    return v;
}

// Runs the limiter over `sum` in device-sized pieces, as the audio thread does.
std::vector<int16_t> limit(const std::vector<int32_t>& sum, MixLimiter& limiter, int piece = 512) {
    std::vector<int16_t> out(sum.size());
    const int frames = static_cast<int>(sum.size() / 2);
    for (int at = 0; at < frames; at += piece)
        mixLimit(sum.data() + 2 * at, out.data() + 2 * at, std::min(piece, frames - at), limiter);
    return out;
}

TEST(Mixer, VolumesAreGainsAndFiveFullScaleSlotsSumExactly) {
    EXPECT_EQ(mixGainQ16(0), 65536);
    EXPECT_EQ(mixGainQ16(500), 65536) << "nothing is louder than full volume";
    EXPECT_NEAR(mixGainQ16(-600), 32846, 1);
    EXPECT_EQ(mixGainQ16(kVolumeMin), 0);
    EXPECT_EQ(mixGainQ16(-20000), 0);
    // The most negative 16-bit sample at full gain, five times over.
    const std::vector<int16_t> lo(64, -32768);
    std::vector<int32_t> sum(64, 0);
    for (int slot = 0; slot < kSoundSlots; ++slot) mixAccumulate(sum.data(), lo.data(), 64, 65536);
    for (const int32_t s : sum) EXPECT_EQ(s, -5 * 32768);
}

// Music, both guns, an explosion and the spare slot all at full scale and
// full volume: five times what 16 bits hold.
TEST(Mixer, FiveSlotsAtFullScaleAreScaledIntoSixteenBitsNotClipped) {
    const int frames = kRate;  // one second
    const double tones[kSoundSlots] = {110.0, 220.0, 220.0, 330.0, 440.0};
    std::vector<int32_t> sum(2 * static_cast<size_t>(frames), 0);
    for (int slot = 0; slot < kSoundSlots; ++slot) {
        const std::vector<int16_t> voice = sine(frames, tones[slot], 32768.0, 10.0 * slot);
        mixAccumulate(sum.data(), voice.data(), 2 * frames, mixGainQ16(kVolumeMax));
    }
    MixLimiter limiter;
    const std::vector<int16_t> out = limit(sum, limiter);

    // No sample over the ceiling, none of the opposite sign (a wrap), and
    // after the first 20 ms the output is the input scaled.
    int atCeiling = 0;
    double xy = 0, xx = 0, yy = 0;
    int16_t loudest = 0;
    for (size_t i = 0; i < out.size(); ++i) {
        ASSERT_LE(std::abs(out[i]), kMixCeiling) << i;
        ASSERT_FALSE((out[i] > 0 && sum[i] < 0) || (out[i] < 0 && sum[i] > 0)) << i;
        if (i < 2 * static_cast<size_t>(kRate / 50)) continue;
        atCeiling += std::abs(out[i]) >= kMixCeiling - 1;
        loudest = std::max<int16_t>(loudest, static_cast<int16_t>(std::abs(out[i])));
        xy += static_cast<double>(out[i]) * sum[i];
        xx += static_cast<double>(sum[i]) * sum[i];
        yy += static_cast<double>(out[i]) * out[i];
    }
    // Scaled, only the mix's own peaks touch it: a frame or two in each of
    // its 110 periods a second (a hard clip would hold most of them there).
    EXPECT_LT(atCeiling, static_cast<int>(out.size() / 50)) << "samples held at the ceiling";
    EXPECT_GT(xy / std::sqrt(xx * yy), 0.999) << "the output keeps the mix's shape";
    EXPECT_GT(loudest, 0.9 * kMixCeiling) << "loud, not squashed";
    // One pass or many pieces: the limiter's state carries over exactly.
    MixLimiter whole;
    EXPECT_EQ(limit(sum, whole, frames), out);
}

TEST(Mixer, AQuietMixPassesUnchangedAlsoOnceALoudBurstHasPassed) {
    const int frames = 3 * kRate;
    // A mix just under the ceiling for a second, a burst of three
    // full-scale voices for 0.1 s, then the quiet mix again.
    const std::vector<int16_t> quiet = sine(frames, 440.0, kMixCeiling - 1);
    const std::vector<int16_t> loud = sine(frames, 100.0, 32767.0);
    std::vector<int32_t> sum(quiet.begin(), quiet.end());
    const int burstFrom = kRate, burstTo = kRate + kRate / 10;
    for (int i = 2 * burstFrom; i < 2 * burstTo; ++i) sum[i] += 3 * loud[i];
    MixLimiter limiter;
    const std::vector<int16_t> out = limit(sum, limiter);
    for (int i = 0; i < 2 * burstFrom; ++i) ASSERT_EQ(out[i], sum[i]) << "before the burst, frame " << i / 2;
    // The gain never rises above 1 on the way back, and a second after the
    // burst it is 1 again, to the bit.
    for (int i = 2 * burstTo; i < 2 * frames; ++i) ASSERT_LE(std::abs(out[i]), std::abs(sum[i])) << i / 2;
    for (int i = 2 * (burstTo + kRate); i < 2 * frames; ++i) ASSERT_EQ(out[i], sum[i]) << "after, frame " << i / 2;
    EXPECT_EQ(limiter.gain, 1.0f);
}

}  // namespace
