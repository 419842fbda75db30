// sound_files.h -- WAV files made by the tests: any chunk order, broken
// headers.
#pragma once

#include "base/bytes.h"
#include "tests/test_files.h"

// One chunk with its id, size field and body; padded to even length.
inline Bytes chunk(const char* id, const Bytes& body, bool pad = true) {
    Bytes b(id, id + 4);
    appendLe32(b, static_cast<uint32_t>(body.size()));
    b.insert(b.end(), body.begin(), body.end());
    if (pad && (body.size() & 1u)) b.push_back(0);
    return b;
}

struct Fmt {
    uint16_t tag = 1, channels = 1;
    uint32_t rate = 22050;
    uint16_t bits = 16;
    int blockAlign = -1;  // -1: channels * bits / 8
    int extraBytes = 0;   // 2: an 18-byte record
};

inline Bytes fmtBody(const Fmt& f) {
    Bytes b;
    const uint16_t block = static_cast<uint16_t>(f.blockAlign >= 0 ? f.blockAlign : f.channels * f.bits / 8);
    appendLe16(b, f.tag);
    appendLe16(b, f.channels);
    appendLe32(b, f.rate);
    appendLe32(b, f.rate * block);
    appendLe16(b, block);
    appendLe16(b, f.bits);
    for (int i = 0; i < f.extraBytes; ++i) b.push_back(0);
    return b;
}

// RIFF WAVE around the given chunks, its size field true to the content.
inline Bytes riffWave(const std::vector<Bytes>& chunks) {
    Bytes inner{'W', 'A', 'V', 'E'};
    for (const Bytes& c : chunks) inner.insert(inner.end(), c.begin(), c.end());
    Bytes b{'R', 'I', 'F', 'F'};
    appendLe32(b, static_cast<uint32_t>(inner.size()));
    b.insert(b.end(), inner.begin(), inner.end());
    return b;
}

// A plain file: "fmt " then "data".
inline Bytes simpleWave(const Fmt& f, const Bytes& data) {
    return riffWave({chunk("fmt ", fmtBody(f)), chunk("data", data)});
}

// Data bytes that differ from their neighbours.
inline Bytes pattern(size_t n) {
    Bytes b(n);
    for (size_t i = 0; i < n; ++i) b[i] = static_cast<uint8_t>((i * 7) % 251 + 1);
    return b;
}

// Writes `bytes` as `name` in the scratch folder; returns its path.
inline std::string writeFile(const std::string& name, const Bytes& bytes) {
    const std::string path = scratchDir() + "/" + name;
    writeBytes(path, bytes);
    return path;
}
