// bytes.h -- integers and floats laid out in byte buffers, little-endian (the
// datagrams, WAV and mesh files) and big-endian (SGI images, IP headers),
// whatever the host's own order.
//
// The ground every folder may stand on: it includes nothing of the game.
// The get and put functions trust the caller for room (p points at least
// at the value's width of bytes); the append functions grow a vector.
// Floats are IEEE single precision, carried by their bits.
#pragma once

#include <bit>
#include <cstdint>
#include <vector>

// Reads a little-endian value at p.
constexpr uint16_t getLe16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
constexpr uint32_t getLe32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}
constexpr float getLeF32(const uint8_t* p) { return std::bit_cast<float>(getLe32(p)); }

// Writes a little-endian value at p.
constexpr void putLe16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
constexpr void putLe32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
constexpr void putLeF32(uint8_t* p, float v) { putLe32(p, std::bit_cast<uint32_t>(v)); }

// Reads and writes a big-endian value at p.
constexpr uint16_t getBe16(const uint8_t* p) { return static_cast<uint16_t>(p[0] << 8 | p[1]); }
constexpr uint32_t getBe32(const uint8_t* p) {
    return static_cast<uint32_t>(getBe16(p)) << 16 | getBe16(p + 2);
}
constexpr void putBe16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v >> 8);
    p[1] = static_cast<uint8_t>(v);
}
constexpr void putBe32(uint8_t* p, uint32_t v) {
    putBe16(p, static_cast<uint16_t>(v >> 16));
    putBe16(p + 2, static_cast<uint16_t>(v));
}

// Appends a little-endian value to the end of `out`.
inline void appendLe16(std::vector<uint8_t>& out, uint16_t v) {
    const uint8_t b[2] = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8)};
    out.insert(out.end(), b, b + 2);
}
inline void appendLe32(std::vector<uint8_t>& out, uint32_t v) {
    appendLe16(out, static_cast<uint16_t>(v));
    appendLe16(out, static_cast<uint16_t>(v >> 16));
}
inline void appendLeF32(std::vector<uint8_t>& out, float v) { appendLe32(out, std::bit_cast<uint32_t>(v)); }
