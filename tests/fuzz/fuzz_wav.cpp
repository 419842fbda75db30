// fuzz_wav.cpp -- the WAV reader on arbitrary bytes: it must refuse or open
// without reading outside the input; an opened file has an accepted format
// and delivers exactly its data length, the same again after a rewind.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "sound/sound.h"

namespace {

// Reads everything in pieces whose sizes come from the input's first byte.
uint32_t drain(WaveReader& r, uint8_t seed, std::vector<uint8_t>& buf) {
    uint32_t total = 0;
    for (uint32_t piece = 1 + seed % 97;; piece = piece * 3 % 4099 + 1) {
        uint32_t got = 0;
        if (readWave(r, piece, buf.data(), &got) != 0) std::abort();
        if (got > piece) std::abort();
        total += got;
        if (got < piece) return total;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    std::vector<uint8_t> copy(data, data + size);
    std::FILE* f = fmemopen(copy.data(), copy.size(), "rb");
    if (f == nullptr) return 0;
    WaveReader r;
    if (openWaveStream(r, f, "fuzz.wav") != 0) {
        if (r.file != nullptr || r.hasFormat) std::abort();
        return 0;
    }
    const WaveFormat& w = r.format;
    if (w.formatTag != 1 || w.channels < 1 || w.channels > kMaxWaveChannels ||
        (w.bitsPerSample != 8 && w.bitsPerSample != 16) || w.blockAlign != w.channels * w.bitsPerSample / 8 ||
        w.samplesPerSec < kMinWaveRate || w.samplesPerSec > kMaxWaveRate || r.dataLength == 0 ||
        r.dataLength % w.blockAlign != 0 || r.dataLength > size)
        std::abort();
    std::vector<uint8_t> buf(4100);
    if (drain(r, data[0], buf) != r.dataLength) std::abort();
    if (rewindWave(r) != 0 || drain(r, data[size - 1], buf) != r.dataLength) std::abort();
    closeWave(r);
    return 0;
}
