// body_codec.cpp -- a state body as its difference from an earlier one,
// compressed with zstd.
//
// Forms (the first byte names it):
//   1  a zstd frame of exactly kNetMessageSize bytes on its own: a full
//      body, a seek point of a recording.
//   2  the same frame compressed with the base body as its raw prefix
//      (zstd's "reference prefix"): the unchanged runs of the body, wherever
//      they moved when a list grew or shrank, become matches into the base.
//      What the last version wrote; still read (recordings hold it).
//   3  what encodeBody writes against a base: u32 check of the body, then a
//      zstd frame, again with the base as its prefix, of the body
//      rearranged against the base (rearrange below). Entries are matched
//      to the base's (fighters, points, effects by index; prey and bullets
//      by a match code the encoder chooses, as their lists lose entries by
//      moving the last into the gap), each 32-bit field becomes the
//      wrapping difference of its bits from its prediction (the matched
//      field; for a bullet's x, y, z the place its base entry has flown
//      to), and the differences go column by column: a bullet's heading,
//      pitch and kind become zeros, its x, y, z a few units each. The
//      header and everything after the entries travel as they are.
//      README.md's "Recordings" section has it byte by byte.
//
// One thread uses the codec (the game's), so the contexts are kept and
// reused: no allocation per body after the first.
#include <zstd.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

#include "base/bytes.h"
#include "net/net.h"

namespace {

constexpr uint8_t kFormFull = 1;        // a frame on its own
constexpr uint8_t kFormPrefix = 2;      // a frame against the base body as prefix
constexpr uint8_t kFormColumns = 3;     // the body rearranged against the base, then as form 2
// Fast level: a body is encoded per compact client 100 times a second;
// for forms 1 and 2 level 3 measured no smaller, 6 and above 3 to 30 times
// slower for 8 to 12 per cent less. Form 3's rearranged body is mostly
// small numbers, where level 5's lazier matching measured 9% smaller than
// level 1 (29.3 against 32.3 KB/s to a client) for about 15 us more a body.
constexpr int kLevel = 1;
constexpr int kColumnsLevel = 5;
// A body is 6008 bytes; the base before it as much again. A frame that
// claims a window past this is not ours (and would only waste the check).
constexpr int kWindowLog = 14;

// ---------------------------------------------------------------------------
// Form 3's rearrangement
//
// The rearranged body, T, is the body's 20 header bytes, then one match
// code per prey entry and per bullet entry, three reaches (below), then
// the entries' differences (section by section, within a section word
// column by word column), then the body's bytes after the entries
// unchanged: kNetMessageSize + prey + bullets + 12 bytes.
// The decoder reads the counts from T's header, which comes first.
// ---------------------------------------------------------------------------

// Entry sections in the body's order; sizes in 32-bit words.
enum Section { kFighters, kPrey, kBullets, kPointsA, kPointsB, kEffects, kSections };
constexpr int kWords[kSections] = {kFighterEntrySize / 4, kPreyEntrySize / 4, kBulletEntrySize / 4,
                                   kPointEntrySize / 4, kPointEntrySize / 4, kEffectEntrySize / 4};
constexpr int kCountAt = 9;                         // the state header's first count byte
constexpr int kMaxT = kNetMessageSize + 2 * 255 + 12;   // T at most: every prey and bullet coded, 3 reaches
// A match code: the base entry (j + code) mod 255 for entry j (a count is at
// most 255, so indices 0..254 form a ring of 255), or none.
constexpr uint8_t kNoMatch = 255;

struct Layout {
    int count[kSections] = {};
    int at[kSections] = {};    // byte offset of the section's first entry
    int end = kStateHeaderSize;  // the byte after the last entry
};

// The entries' places by the counts in bytes 9..14; false when they do not
// fit in a body (a hostile or broken header), with `l` then holding none.
bool layoutOf(const uint8_t* header, Layout& l) {
    int at = kStateHeaderSize;
    for (int s = 0; s < kSections; ++s) {
        l.count[s] = header[kCountAt + s];
        l.at[s] = at;
        at += l.count[s] * kWords[s] * 4;
    }
    if (at > kNetMessageSize) {
        l = Layout{};
        return false;
    }
    l.end = at;
    return true;
}

uint32_t wordAt(const uint8_t* bytes, const Layout& l, int s, int entry, int word) {
    return getLe32(bytes + l.at[s] + (entry * kWords[s] + word) * 4);
}

// Base entry for body entry j of section s with code c; -1 for none.
int matchOf(int s, int j, uint8_t c, const Layout& base) {
    if (s != kPrey && s != kBullets) return j < base.count[s] ? j : -1;
    if (c == kNoMatch) return -1;
    const int m = (j + c) % 255;
    return m < base.count[s] ? m : -2;   // -2: a code no encoder writes
}

uint32_t distance(uint32_t a, uint32_t b) {
    const uint32_t d = a - b;
    return static_cast<int32_t>(d) < 0 ? 0u - d : d;
}

// ---------------------------------------------------------------------------
// A bullet's predicted place
//
// A bullet flies straight at a speed of its kind, so from its matched base
// entry it has moved `reach` along its heading and pitch. The encoder sends
// one reach a kind (20 fractional bits); both ends turn the base's x, y, z
// and the angles into fixed point, move, and back into a float's bits, with
// integer operations only, so they agree on any machine. The bits left over
// (the rounding of the game's steps) are a few units.
// ---------------------------------------------------------------------------

constexpr int kReachKinds = 3;     // shooter kinds with a reach of their own; others move 0
constexpr int kReachBytes = 4 * kReachKinds;
constexpr int kFracBits = 32;      // fixed-point positions: 32 fractional bits
constexpr int kAngleBits = 30;     // sines and cosines: 30 fractional bits
constexpr int kReachBits = 20;     // a reach: 20 fractional bits

// The float with bits `f` in fixed point (kFracBits), or false when it is
// not finite or too large for it (|v| >= 2^29).
bool fixedOf(uint32_t f, int64_t& v) {
    const int e = static_cast<int>((f >> 23) & 0xFF);
    if (e == 255) return false;
    const int64_t m = e == 0 ? 0 : static_cast<int64_t>((f & 0x7FFFFF) | 0x800000);
    const int shift = e - 150 + kFracBits;   // v = m * 2^(e - 150)
    if (shift >= 38) return false;
    const int64_t mag = shift >= 0 ? m << shift : shift > -40 ? m >> -shift : 0;
    v = (f >> 31) != 0 ? -mag : mag;
    return true;
}

// The bits of a float near fixed-point `v` (|v| < 2^62), truncated.
uint32_t floatOf(int64_t v) {
    const uint32_t sign = v < 0 ? 0x80000000u : 0u;
    const uint64_t mag = v < 0 ? 0ull - static_cast<uint64_t>(v) : static_cast<uint64_t>(v);
    if (mag == 0) return sign;
    const int n = static_cast<int>(std::bit_width(mag));
    const uint64_t m = n > 24 ? mag >> (n - 24) : mag << (24 - n);
    const uint32_t e = static_cast<uint32_t>(n - 1 - kFracBits + 127);
    return sign | e << 23 | (static_cast<uint32_t>(m) & 0x7FFFFF);
}

// Cosine and sine (kAngleBits) of an angle given as a float of degrees;
// an angle not finite or beyond +-2048 degrees counts as 0.
void cosSin(uint32_t degreesBits, int64_t& c, int64_t& s) {
    int64_t deg = 0;   // degrees, kFracBits
    if (!fixedOf(degreesBits, deg) || deg >= (int64_t{2048} << kFracBits) || deg <= -(int64_t{2048} << kFracBits))
        deg = 0;
    deg >>= 12;        // 20 fractional bits from here
    constexpr int64_t kRight = int64_t{90} << 20;
    int64_t r = ((deg % (4 * kRight)) + 4 * kRight) % (4 * kRight);   // [0, 360)
    int quadrant = static_cast<int>(r / kRight);
    r -= quadrant * kRight;
    if (r > kRight / 2) {   // into [-45, 45] degrees
        r -= kRight;
        quadrant = (quadrant + 1) % 4;
    }
    // Degrees (20 bits) to radians (30 bits): pi / 180 with 35 bits.
    const int64_t x = r * 599690565 >> 25;
    const int64_t one = int64_t{1} << kAngleBits;
    const int64_t x2 = x * x >> kAngleBits;
    // Taylor series to x^9 and x^10, coefficients with 30 bits: below 3e-9
    // off for |x| <= pi / 4.
    int64_t sn = 2959;                        // 1 / 9!
    sn = -213044 + (x2 * sn >> kAngleBits);   // 1 / 7!
    sn = 8947849 + (x2 * sn >> kAngleBits);   // 1 / 5!
    sn = -178956971 + (x2 * sn >> kAngleBits);
    sn = one + (x2 * sn >> kAngleBits);
    sn = x * sn >> kAngleBits;
    int64_t cs = -296;                        // 1 / 10!
    cs = 26631 + (x2 * cs >> kAngleBits);     // 1 / 8!
    cs = -1491308 + (x2 * cs >> kAngleBits);  // 1 / 6!
    cs = 44739243 + (x2 * cs >> kAngleBits);  // 1 / 4!
    cs = -536870912 + (x2 * cs >> kAngleBits);
    cs = one + (x2 * cs >> kAngleBits);
    const int64_t cq[4] = {cs, -sn, -cs, sn}, sq[4] = {sn, cs, -sn, -cs};
    c = cq[quadrant];
    s = sq[quadrant];
}

// Bullet entry words 0..2 (x, y, z) predicted from base entry `b` (its words)
// moved by `reach` (kReachBits) along heading and pitch words h and p.
void predictBullet(const uint32_t b[3], uint32_t heading, uint32_t pitch, uint32_t reach, uint32_t out[3]) {
    if (reach == 0) {
        std::memcpy(out, b, 3 * sizeof(uint32_t));
        return;
    }
    // Bullets of one volley share their angles: the last ones are kept.
    static uint32_t lastHeading = 0, lastPitch = 0;
    static int64_t ch = int64_t{1} << kAngleBits, sh = 0, cp = int64_t{1} << kAngleBits, sp = 0;
    if (heading != lastHeading) cosSin(heading, ch, sh);
    if (pitch != lastPitch) cosSin(pitch, cp, sp);
    lastHeading = heading;
    lastPitch = pitch;
    // Moves in kReachBits; a reach is below 2^32, a sine at most 2^30.
    const int64_t flat = static_cast<int64_t>(reach) * cp >> kAngleBits;
    const int64_t move[3] = {flat * ch >> kAngleBits, flat * sh >> kAngleBits,
                             static_cast<int64_t>(reach) * sp >> kAngleBits};
    for (int k = 0; k < 3; ++k) {
        int64_t v;
        out[k] = fixedOf(b[k], v) ? floatOf(v + (move[k] << (kFracBits - kReachBits))) : b[k];
    }
}

// The encoder's choice for body entry j: a bullet flies straight, so its
// match keeps heading, pitch and kind (words 3..5), the nearest of those by
// x and y; a prey walks, so the nearest by x and y. Entry j itself first:
// lists keep their order but for the last entry moving into a gap.
// `byHeading` lists the base's bullets ordered by heading word.
uint8_t chooseMatch(int s, int j, const uint8_t* body, const Layout& l, const uint8_t* base, const Layout& bl,
                    const uint8_t* byHeading) {
    int best = -1;
    uint64_t bestCost = ~0ull;
    const auto consider = [&](int m) {
        if (s == kBullets) {
            for (int w = 3; w < 6; ++w)
                if (wordAt(body, l, s, j, w) != wordAt(base, bl, s, m, w)) return;
        }
        const uint64_t cost = static_cast<uint64_t>(distance(wordAt(body, l, s, j, 0), wordAt(base, bl, s, m, 0))) +
                              distance(wordAt(body, l, s, j, 1), wordAt(base, bl, s, m, 1));
        if (cost < bestCost) {
            bestCost = cost;
            best = m;
        }
    };
    if (j < bl.count[s]) consider(j);
    if (s == kBullets) {
        if (best >= 0) return 0;
        const uint32_t heading = wordAt(body, l, s, j, 3);
        const uint8_t* const first = std::lower_bound(byHeading, byHeading + bl.count[s], heading,
            [&](uint8_t m, uint32_t h) { return wordAt(base, bl, s, m, 3) < h; });
        for (const uint8_t* m = first; m < byHeading + bl.count[s] && wordAt(base, bl, s, *m, 3) == heading; ++m)
            consider(*m);
    } else if (bestCost != 0) {
        for (int m = 0; m < bl.count[s]; ++m) consider(m);
    }
    if (best < 0) return kNoMatch;
    return static_cast<uint8_t>((best - j + 255) % 255);
}

// What each word of the body is coded against: the matched base entry's
// word, a bullet's x, y, z its predicted place, 0 without a match. Filled
// from the base, the match codes and the reaches only, so both ends fill
// the same.
struct Predictions {
    const uint8_t* base;
    Layout bl;
    int16_t match[kSections][255];   // the base entry of each body entry, -1 none
    uint32_t bullet[255][3];
};

// Fills p.match from the body's counts and the match codes; false when a
// code names no base entry.
bool matchAll(Predictions& p, const Layout& l, const uint8_t* preyCodes, const uint8_t* bulletCodes) {
    for (int s = 0; s < kSections; ++s) {
        const uint8_t* const codes = s == kPrey ? preyCodes : s == kBullets ? bulletCodes : nullptr;
        for (int j = 0; j < l.count[s]; ++j) {
            const int m = matchOf(s, j, codes != nullptr ? codes[j] : 0, p.bl);
            if (m == -2) return false;
            p.match[s][j] = static_cast<int16_t>(m);
        }
    }
    return true;
}

void predictBullets(Predictions& p, int n, const uint8_t* reachBytes) {
    for (int j = 0; j < n; ++j) {
        const int m = p.match[kBullets][j];
        if (m < 0) {
            p.bullet[j][0] = p.bullet[j][1] = p.bullet[j][2] = 0;
            continue;
        }
        const uint32_t b[3] = {wordAt(p.base, p.bl, kBullets, m, 0), wordAt(p.base, p.bl, kBullets, m, 1),
                               wordAt(p.base, p.bl, kBullets, m, 2)};
        const uint32_t kind = wordAt(p.base, p.bl, kBullets, m, 5);
        const uint32_t reach = kind < kReachKinds ? getLe32(reachBytes + 4 * kind) : 0;
        predictBullet(b, wordAt(p.base, p.bl, kBullets, m, 3), wordAt(p.base, p.bl, kBullets, m, 4), reach,
                      p.bullet[j]);
    }
}

// What word `w` of body entry j of section s is coded against. A new
// bullet's z, heading, pitch and kind are likely its neighbour's: entry
// j - 1's word, which the decoder has restored before it (a column goes
// in entry order).
uint32_t predictionOf(const Predictions& p, const uint8_t* body, const Layout& l, int s, int j, int w) {
    const int m = p.match[s][j];
    if (s == kBullets && m == -1) return w >= 2 && j > 0 ? wordAt(body, l, s, j - 1, w) : 0u;
    if (s == kBullets && w < 3) return p.bullet[j][w];
    return m >= 0 ? wordAt(p.base, p.bl, s, m, w) : 0u;
}

// Small differences either way become small numbers: 0, -1, 1, -2, ...
uint32_t zigzag(uint32_t d) { return d << 1 ^ (0u - (d >> 31)); }
uint32_t unzigzag(uint32_t z) { return z >> 1 ^ (0u - (z & 1)); }

// The encoder's reach for each kind: how far its first moving matched
// bullet went, in fixed point (a guess; any value decodes exactly).
void chooseReaches(const uint8_t* body, const Layout& l, const Predictions& p, uint8_t* reachBytes) {
    for (int kind = 0; kind < kReachKinds; ++kind) {
        uint32_t reach = 0;
        for (int j = 0; j < l.count[kBullets] && reach == 0; ++j) {
            const int m = p.match[kBullets][j];
            if (m < 0 || wordAt(body, l, kBullets, j, 5) != static_cast<uint32_t>(kind)) continue;
            double moved = 0;
            for (int w = 0; w < 3; ++w) {
                const double d = static_cast<double>(std::bit_cast<float>(wordAt(body, l, kBullets, j, w))) -
                                 static_cast<double>(std::bit_cast<float>(wordAt(p.base, p.bl, kBullets, m, w)));
                moved += d * d;
            }
            moved = std::sqrt(moved) * (1 << kReachBits);
            if (moved >= 1 && moved < 4294967295.0) reach = static_cast<uint32_t>(moved + 0.5);
        }
        putLe32(reachBytes + 4 * kind, reach);
    }
}

// Writes T for `body` against `base`; false (nothing usable) when the
// body's counts overrun it. A base whose counts overrun matches nothing.
bool rearrange(const uint8_t* body, const uint8_t* base, uint8_t* t, int& tSize) {
    Layout l;
    if (!layoutOf(body, l)) return false;
    Predictions p;
    p.base = base;
    layoutOf(base, p.bl);
    std::memcpy(t, body, kStateHeaderSize);
    uint8_t* const preyCodes = t + kStateHeaderSize;
    uint8_t* const bulletCodes = preyCodes + l.count[kPrey];
    uint8_t* const reachBytes = bulletCodes + l.count[kBullets];
    uint8_t byHeading[255];
    for (int m = 0; m < p.bl.count[kBullets]; ++m) byHeading[m] = static_cast<uint8_t>(m);
    std::sort(byHeading, byHeading + p.bl.count[kBullets], [&](uint8_t a, uint8_t b) {
        return wordAt(base, p.bl, kBullets, a, 3) < wordAt(base, p.bl, kBullets, b, 3);
    });
    for (int j = 0; j < l.count[kPrey]; ++j) preyCodes[j] = chooseMatch(kPrey, j, body, l, base, p.bl, byHeading);
    for (int j = 0; j < l.count[kBullets]; ++j)
        bulletCodes[j] = chooseMatch(kBullets, j, body, l, base, p.bl, byHeading);
    if (!matchAll(p, l, preyCodes, bulletCodes)) return false;
    chooseReaches(body, l, p, reachBytes);
    predictBullets(p, l.count[kBullets], reachBytes);
    uint8_t* out = reachBytes + kReachBytes;
    for (int s = 0; s < kSections; ++s) {
        const int n = l.count[s];
        for (int w = 0; w < kWords[s]; ++w) {
            for (int j = 0; j < n; ++j) {
                putLe32(out, zigzag(wordAt(body, l, s, j, w) - predictionOf(p, body, l, s, j, w)));
                out += 4;
            }
        }
    }
    std::memcpy(out, body + l.end, static_cast<size_t>(kNetMessageSize - l.end));
    tSize = static_cast<int>(out - t) + kNetMessageSize - l.end;
    return true;
}

// The inverse: the body from T (tSize bytes) and the base; false when T is
// not one an encoder writes (its counts overrun, its size is not the one
// they give, or a match code names no base entry).
bool restore(const uint8_t* t, int tSize, const uint8_t* base, uint8_t* body) {
    if (tSize < kStateHeaderSize) return false;
    Layout l;
    if (!layoutOf(t, l)) return false;
    if (tSize != kNetMessageSize + l.count[kPrey] + l.count[kBullets] + kReachBytes) return false;
    Predictions p;
    p.base = base;
    layoutOf(base, p.bl);
    std::memcpy(body, t, kStateHeaderSize);
    const uint8_t* const preyCodes = t + kStateHeaderSize;
    const uint8_t* const bulletCodes = preyCodes + l.count[kPrey];
    const uint8_t* const reachBytes = bulletCodes + l.count[kBullets];
    if (!matchAll(p, l, preyCodes, bulletCodes)) return false;
    predictBullets(p, l.count[kBullets], reachBytes);
    const uint8_t* in = reachBytes + kReachBytes;
    for (int s = 0; s < kSections; ++s) {
        const int n = l.count[s];
        for (int w = 0; w < kWords[s]; ++w) {
            for (int j = 0; j < n; ++j) {
                const uint32_t predicted = predictionOf(p, body, l, s, j, w);
                putLe32(body + l.at[s] + (j * kWords[s] + w) * 4, unzigzag(getLe32(in)) + predicted);
                in += 4;
            }
        }
    }
    std::memcpy(body + l.end, in, static_cast<size_t>(kNetMessageSize - l.end));
    return true;
}

// A check of a whole body: form 3's frame is decoded against the base, and
// a base other than the encoder's gives another body, which this refuses
// (zstd's own checksum covers only T).
uint32_t bodyCheck(const uint8_t* bytes) {
    uint64_t h = 0x6D617A65636F6465ull;
    for (int i = 0; i + 8 <= kNetMessageSize; i += 8) {
        uint64_t v;
        std::memcpy(&v, bytes + i, 8);
        h = (h ^ v) * 0x9E3779B97F4A7C15ull;
        h ^= h >> 29;
    }
    return static_cast<uint32_t>(h ^ (h >> 32));
}

ZSTD_CCtx* makeCompressor(bool checksum) {
    ZSTD_CCtx* const made = ZSTD_createCCtx();
    ZSTD_CCtx_setParameter(made, ZSTD_c_compressionLevel, checksum ? kLevel : kColumnsLevel);
    ZSTD_CCtx_setParameter(made, ZSTD_c_windowLog, kWindowLog);
    // The content size stays, so a frame of another size is refused
    // before it is decoded; the checksum (4 bytes) refuses a frame
    // decoded against another base than its own. No dictionary id:
    // the form byte names the base.
    ZSTD_CCtx_setParameter(made, ZSTD_c_checksumFlag, checksum ? 1 : 0);
    ZSTD_CCtx_setParameter(made, ZSTD_c_dictIDFlag, 0);
    ZSTD_CCtx_setParameter(made, ZSTD_c_contentSizeFlag, 1);
    return made;
}

// Forms 1 and 2 carry zstd's checksum; form 3 its own check of the body
// (and its own level).
ZSTD_CCtx* compressor(bool checksum) {
    static ZSTD_CCtx* const withSum = makeCompressor(true);
    static ZSTD_CCtx* const without = makeCompressor(false);
    return checksum ? withSum : without;
}

ZSTD_DCtx* decompressor() {
    static ZSTD_DCtx* const d = [] {
        ZSTD_DCtx* const made = ZSTD_createDCtx();
        ZSTD_DCtx_setParameter(made, ZSTD_d_windowLogMax, kWindowLog);
        return made;
    }();
    return d;
}

// One zstd frame of `size` bytes, with `prefix` (kNetMessageSize bytes) when
// not null, into out[0 .. capacity - 1]; 0 when it does not fit.
int compressFrame(bool checksum, const uint8_t* prefix, const uint8_t* src, int size, uint8_t* out, int capacity) {
    ZSTD_CCtx* const c = compressor(checksum);
    if (c == nullptr || capacity <= 0) return 0;
    ZSTD_CCtx_reset(c, ZSTD_reset_session_only);
    if (prefix != nullptr && ZSTD_isError(ZSTD_CCtx_refPrefix(c, prefix, kNetMessageSize))) return 0;
    const size_t n = ZSTD_compress2(c, out, static_cast<size_t>(capacity), src, static_cast<size_t>(size));
    return ZSTD_isError(n) ? 0 : static_cast<int>(n);
}

// Decodes one frame of at least `least` and at most `most` bytes into dst
// (room for `most`); the bytes decoded, or -1.
int decompressFrame(const uint8_t* prefix, const uint8_t* frame, size_t frameSize, uint8_t* dst, int least, int most) {
    // The frame must say how much it holds; zstd checks that what it decodes
    // matches what the frame says, and never writes past dst's `most` bytes.
    const unsigned long long claimed = ZSTD_getFrameContentSize(frame, frameSize);
    if (claimed == ZSTD_CONTENTSIZE_UNKNOWN || claimed == ZSTD_CONTENTSIZE_ERROR ||
        claimed < static_cast<unsigned long long>(least) || claimed > static_cast<unsigned long long>(most))
        return -1;
    ZSTD_DCtx* const d = decompressor();
    if (d == nullptr) return -1;
    ZSTD_DCtx_reset(d, ZSTD_reset_session_only);
    if (prefix != nullptr && ZSTD_isError(ZSTD_DCtx_refPrefix(d, prefix, kNetMessageSize))) return -1;
    const size_t n = ZSTD_decompressDCtx(d, dst, static_cast<size_t>(most), frame, frameSize);
    if (ZSTD_isError(n) || n != claimed) return -1;
    return static_cast<int>(n);
}

}  // namespace

int encodeBodyPrefix(const NetMessage* base, const NetMessage& body, uint8_t* out, int capacity) {
    if (out == nullptr || capacity < 2) return 0;
    out[0] = base != nullptr ? kFormPrefix : kFormFull;
    const int n = compressFrame(true, base != nullptr ? base->bytes : nullptr, body.bytes, kNetMessageSize, out + 1,
                                capacity - 1);
    return n > 0 ? n + 1 : 0;
}

int encodeBody(const NetMessage* base, const NetMessage& body, uint8_t* out, int capacity) {
    if (base == nullptr) return encodeBodyPrefix(nullptr, body, out, capacity);
    if (out == nullptr || capacity < 6) return 0;
    uint8_t t[kMaxT];
    int tSize = 0;
    // A body whose counts overrun it is no game's: the plain form keeps it exact.
    if (!rearrange(body.bytes, base->bytes, t, tSize)) return encodeBodyPrefix(base, body, out, capacity);
    out[0] = kFormColumns;
    putLe32(out + 1, bodyCheck(body.bytes));
    const int n = compressFrame(false, base->bytes, t, tSize, out + 5, capacity - 5);
    // Bytes that do not compress are up to 522 longer rearranged (the match
    // codes and reaches): the plain form keeps them within kMaxCodedBodySize.
    return n > 0 ? n + 5 : encodeBodyPrefix(base, body, out, capacity);
}

bool decodeBody(const NetMessage* base, const uint8_t* in, int size, NetMessage& body) {
    if (in == nullptr || size < 2) return false;
    if (base == nullptr || in[0] != kFormColumns) {
        if (in[0] != (base != nullptr ? kFormPrefix : kFormFull)) return false;
        return decompressFrame(base != nullptr ? base->bytes : nullptr, in + 1, static_cast<size_t>(size - 1),
                               body.bytes, kNetMessageSize, kNetMessageSize) == kNetMessageSize;
    }
    if (size < 6) return false;
    uint8_t t[kMaxT];
    const int tSize = decompressFrame(base->bytes, in + 5, static_cast<size_t>(size - 5), t, kNetMessageSize, kMaxT);
    return tSize > 0 && restore(t, tSize, base->bytes, body.bytes) && bodyCheck(body.bytes) == getLe32(in + 1);
}
