// gen_textures.cpp -- draws the four maze textures and writes them as SGI
// images into the folder named on the command line:
//   wall.rgb    stone blocks with worn edges and water stains (run-length)
//   floor.rgb   worn flagstones (verbatim)
//   Clouds.rgb  a cloudy sky, stretched once over the whole maze (run-length)
//   wall1.rgb   the stone wall with a lamp's mounting plate and glow (verbatim)
// Every picture tiles seamlessly (all noise is periodic over the picture) and
// comes out byte for byte the same on every run: the noise lattices are
// filled from the game's own generator with fixed seeds.
//
// Pictures are computed with v = 0 at the bottom row, which is the row the
// SGI format stores first and the one a wall face shows at the floor.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "render/render.h"
#include "world/world.h"
#include "tools/write_file.h"

namespace {

constexpr int kWallSize = 512;
constexpr int kFloorSize = 512;
constexpr int kSkySize = 512;

struct Rgb {
    float r = 0.0f, g = 0.0f, b = 0.0f;
};

Rgb mix(Rgb a, Rgb b, float t) {
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}
Rgb scale(Rgb a, float s) { return {a.r * s, a.g * s, a.b * s}; }
Rgb add(Rgb a, Rgb b) { return {a.r + b.r, a.g + b.g, a.b + b.b}; }

float clamp01(float v) { return v < 0.0f ? 0.0f : (v > 1.0f ? 1.0f : v); }
float smoothstep(float e0, float e1, float x) {
    const float t = clamp01((x - e0) / (e1 - e0));
    return t * t * (3.0f - 2.0f * t);
}

// Value noise on a lattice of px x py cells that wraps around the picture.
struct Lattice {
    int px = 1, py = 1;
    std::vector<float> v;
};

Lattice makeLattice(int px, int py, uint32_t seed) {
    Lattice l;
    l.px = px;
    l.py = py;
    l.v.resize(static_cast<size_t>(px) * py);
    randomSeed(seed);
    for (float& x : l.v) x = randomFraction();
    return l;
}

// u, v in picture units (0..1 spans the picture once).
float sample(const Lattice& l, float u, float v) {
    const float x = u * l.px;
    const float y = v * l.py;
    const float fx = std::floor(x);
    const float fy = std::floor(y);
    const int x0 = ((static_cast<int>(fx) % l.px) + l.px) % l.px;
    const int y0 = ((static_cast<int>(fy) % l.py) + l.py) % l.py;
    const int x1 = (x0 + 1) % l.px;
    const int y1 = (y0 + 1) % l.py;
    float tx = x - fx;
    float ty = y - fy;
    tx = tx * tx * tx * (tx * (tx * 6.0f - 15.0f) + 10.0f);
    ty = ty * ty * ty * (ty * (ty * 6.0f - 15.0f) + 10.0f);
    const float a = l.v[y0 * l.px + x0], b = l.v[y0 * l.px + x1];
    const float c = l.v[y1 * l.px + x0], d = l.v[y1 * l.px + x1];
    return (a + (b - a) * tx) + ((c + (d - c) * tx) - (a + (b - a) * tx)) * ty;
}

// Fractal sum of octaves, each doubling the lattice; result about 0..1.
struct Fractal {
    std::vector<Lattice> octaves;
};

Fractal makeFractal(int px, int py, int count, uint32_t seed) {
    Fractal f;
    for (int i = 0; i < count; ++i) f.octaves.push_back(makeLattice(px << i, py << i, seed * 131 + i));
    return f;
}

float fractal(const Fractal& f, float u, float v, float gain = 0.5f) {
    float sum = 0.0f, amplitude = 1.0f, total = 0.0f;
    for (const Lattice& l : f.octaves) {
        sum += amplitude * sample(l, u, v);
        total += amplitude;
        amplitude *= gain;
    }
    return sum / total;
}

uint8_t toByte(float v) { return static_cast<uint8_t>(std::lround(clamp01(v) * 255.0f)); }

void put(std::vector<uint8_t>& pixels, int size, int x, int y, Rgb c) {
    uint8_t* p = &pixels[(static_cast<size_t>(y) * size + x) * 3];
    p[0] = toByte(c.r);
    p[1] = toByte(c.g);
    p[2] = toByte(c.b);
}

// ---------------------------------------------------------------------------
// Stone wall
// ---------------------------------------------------------------------------

constexpr int kCourses = 4;          // rows of blocks
constexpr int kBlocksPerCourse = 3;
constexpr float kMortar = 5.0f;      // half-width of a mortar joint, pixels

struct Course {
    int joints[kBlocksPerCourse];    // x of each vertical joint, ascending, mod size
    float tone[kBlocksPerCourse];    // brightness of the block starting at joints[i]
    float tint[kBlocksPerCourse];    // warm / cool shift
};

std::vector<Course> layCourses(int size) {
    std::vector<Course> courses(kCourses);
    randomSeed(7001);
    for (Course& c : courses) {
        const int shift = randomNext() % size;
        int x = 0;
        for (int i = 0; i < kBlocksPerCourse; ++i) {
            c.joints[i] = (shift + x) % size;
            x += size / kBlocksPerCourse + (randomNext() % 61) - 30;
            c.tone[i] = 0.85f + 0.3f * randomFraction();
            c.tint[i] = randomFraction() - 0.5f;
        }
        std::sort(c.joints, c.joints + kBlocksPerCourse);
    }
    return courses;
}

// The stone wall's colour at pixel (x, y) of a size x size picture.
struct WallPainter {
    int size;
    std::vector<Course> courses;
    Fractal grain = makeFractal(32, 32, 4, 11);
    Fractal mottle = makeFractal(4, 4, 4, 12);
    Fractal edgeWear = makeFractal(16, 16, 3, 13);
    Fractal stains = makeFractal(12, 2, 4, 14);   // stretched vertically: streaks
    Fractal pits = makeFractal(64, 64, 2, 15);

    Rgb at(int x, int y) const {
        const float u = (x + 0.5f) / size;
        const float v = (y + 0.5f) / size;
        const float courseHeight = static_cast<float>(size) / kCourses;
        const int ci = std::min(kCourses - 1, static_cast<int>(y / courseHeight));
        const Course& c = courses[ci];
        // The block under x and the distances to its joints (wrapping).
        int block = kBlocksPerCourse - 1;
        for (int i = 0; i < kBlocksPerCourse; ++i)
            if (x >= c.joints[i]) block = i;
        const int left = c.joints[block];
        const int right = c.joints[(block + 1) % kBlocksPerCourse];
        const float dl = static_cast<float>(((x - left) % size + size) % size);
        const float dr = static_cast<float>(((right - x) % size + size) % size);
        const float db = y - ci * courseHeight;
        const float dt = (ci + 1) * courseHeight - y;
        // Worn, irregular edges: the joint is wider where the noise says so.
        const float wear = 3.0f * fractal(edgeWear, u, v);
        const float edge = std::min(std::min(dl, dr), std::min(db, dt)) - kMortar - wear;

        const float g = fractal(grain, u, v);
        const float m = fractal(mottle, u, v);
        if (edge < 0.0f) {
            // Mortar: dark, sandy and rough.
            const float s = 0.22f + 0.12f * g;
            return {s * 1.05f, s, s * 0.9f};
        }
        Rgb stone{0.56f, 0.53f, 0.49f};
        stone = scale(stone, c.tone[block] * (0.8f + 0.4f * m) * (0.85f + 0.3f * g));
        stone = add(stone, {0.06f * c.tint[block], 0.0f, -0.06f * c.tint[block]});
        // Bevel: light from above catches the top edge, the bottom edge is in shadow.
        const float bevel = 6.0f;
        if (dt - kMortar - wear < bevel) stone = scale(stone, 1.0f + 0.25f * (1.0f - (dt - kMortar - wear) / bevel));
        if (db - kMortar - wear < bevel) stone = scale(stone, 0.7f + 0.3f * (db - kMortar - wear) / bevel);
        if (std::min(dl, dr) - kMortar - wear < bevel)
            stone = scale(stone, 0.85f + 0.15f * (std::min(dl, dr) - kMortar - wear) / bevel);
        // Pits and chips: small dark spots.
        const float p = fractal(pits, u, v);
        if (p > 0.72f) stone = scale(stone, 1.0f - 1.6f * (p - 0.72f));
        // Water stains running down the face.
        const float s = fractal(stains, u, v);
        stone = scale(stone, 1.0f - 0.35f * smoothstep(0.55f, 0.8f, s));
        return stone;
    }
};

std::vector<uint8_t> paintWall(bool withLamp) {
    const int size = kWallSize;
    WallPainter wall{size, layCourses(size)};
    Fractal flicker = makeFractal(8, 8, 3, 21);
    std::vector<uint8_t> pixels(static_cast<size_t>(size) * size * 3);
    // The lamp hangs at the middle of the face, three quarters up (the map's
    // light height over its wall height).
    const float cx = 0.5f * size;
    const float cy = 0.75f * size;
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            Rgb c = wall.at(x, y);
            if (withLamp) {
                const float dx = (x + 0.5f - cx) / size;
                const float dy = (y + 0.5f - cy) / size;
                // Warm glow, spread wider below the lamp than above it, gone
                // before the face's edges so neighbouring faces still meet.
                const float ry = dy < 0.0f ? dy * 0.8f : dy * 1.6f;
                const float r = std::sqrt(dx * dx + ry * ry);
                const float glow = std::pow(clamp01(1.0f - r / 0.45f), 2.2f);
                const float f = 0.9f + 0.2f * fractal(flicker, (x + 0.5f) / size, (y + 0.5f) / size);
                c = add(scale(c, 1.0f + 0.9f * glow), scale(Rgb{0.55f, 0.33f, 0.08f}, glow * f));
                // The mounting plate: dark iron with a lit rim and four rivets.
                const float ax = std::fabs(x + 0.5f - cx);
                const float ay = std::fabs(y + 0.5f - cy);
                if (ax < 34.0f && ay < 44.0f) {
                    const float rim = std::min(34.0f - ax, 44.0f - ay);
                    Rgb iron{0.16f, 0.15f, 0.14f};
                    iron = scale(iron, 0.8f + 0.4f * fractal(wall.grain, x / 37.0f, y / 41.0f));
                    if (rim < 3.0f) iron = Rgb{0.55f, 0.42f, 0.25f};
                    const float rx = ax - 24.0f;
                    const float rv = ay - 34.0f;
                    if (rx * rx + rv * rv < 16.0f) iron = Rgb{0.75f, 0.62f, 0.4f};
                    c = iron;
                }
                // The bracket's hot bulb, where the flame sits.
                const float bulb = std::sqrt((x + 0.5f - cx) * (x + 0.5f - cx) +
                                             (y + 0.5f - cy) * (y + 0.5f - cy));
                if (bulb < 14.0f) c = mix(Rgb{1.0f, 0.95f, 0.7f}, Rgb{1.0f, 0.7f, 0.25f}, bulb / 14.0f);
            }
            put(pixels, size, x, y, c);
        }
    }
    return pixels;
}

// ---------------------------------------------------------------------------
// Floor
// ---------------------------------------------------------------------------

std::vector<uint8_t> paintFloor() {
    const int size = kFloorSize;
    constexpr int kTiles = 4;  // flagstones along each edge
    const float tile = static_cast<float>(size) / kTiles;
    Fractal grain = makeFractal(64, 64, 3, 31);
    Fractal mottle = makeFractal(4, 4, 5, 32);
    Fractal wearNoise = makeFractal(16, 16, 3, 33);
    Fractal cracks = makeFractal(8, 8, 4, 34);
    Fractal speckle = makeFractal(256, 256, 1, 36);
    std::vector<float> tone(kTiles * kTiles);
    randomSeed(35);
    for (float& t : tone) t = 0.8f + 0.35f * randomFraction();
    std::vector<uint8_t> pixels(static_cast<size_t>(size) * size * 3);
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            const float u = (x + 0.5f) / size;
            const float v = (y + 0.5f) / size;
            const int tx = static_cast<int>(x / tile);
            const int ty = static_cast<int>(y / tile);
            const float fx = x + 0.5f - tx * tile;
            const float fy = y + 0.5f - ty * tile;
            const float edge = std::min(std::min(fx, tile - fx), std::min(fy, tile - fy)) -
                               3.0f - 2.5f * fractal(wearNoise, u, v);
            const float g = fractal(grain, u, v);
            const float m = fractal(mottle, u, v);
            Rgb c;
            if (edge < 0.0f) {
                const float s = 0.12f + 0.08f * g;  // grout, full of dirt
                c = {s * 1.1f, s, s * 0.8f};
            } else {
                Rgb stone{0.62f, 0.55f, 0.38f};
                c = scale(stone, tone[ty * kTiles + tx] * (0.75f + 0.45f * m) * (0.82f + 0.36f * g));
                // Dirt collects along the joints; feet polish the middle.
                c = scale(c, 0.75f + 0.25f * smoothstep(0.0f, 14.0f, edge));
                // Hairline cracks where the noise crosses its middle.
                // Hairline cracks where the noise crosses its middle, only in
                // some stretches of the floor.
                const float k = std::fabs(fractal(cracks, u, v) - 0.5f);
                const float where = smoothstep(0.5f, 0.65f, fractal(mottle, v, u));
                if (k < 0.008f) c = scale(c, 1.0f - where * (0.45f - 50.0f * k));
                // Fine speckle of darker and lighter grains.
                const float sp = fractal(speckle, u, v);
                if (sp > 0.72f) c = scale(c, 1.08f);
                if (sp < 0.28f) c = scale(c, 0.92f);
            }
            put(pixels, size, x, y, c);
        }
    }
    return pixels;
}

// ---------------------------------------------------------------------------
// Sky
// ---------------------------------------------------------------------------

std::vector<uint8_t> paintSky() {
    const int size = kSkySize;
    Fractal cover = makeFractal(4, 4, 6, 41);
    Fractal shade = makeFractal(8, 8, 4, 42);
    Fractal warp = makeFractal(4, 4, 4, 43);
    std::vector<uint8_t> pixels(static_cast<size_t>(size) * size * 3);
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            const float u = (x + 0.5f) / size;
            const float v = (y + 0.5f) / size;
            // Domain warping drags the cloud edges into wisps; the warp is
            // periodic too, so the picture still tiles.
            const float wu = u + 0.12f * (fractal(warp, u, v) - 0.5f);
            const float wv = v + 0.12f * (fractal(warp, v + 0.37f, u + 0.61f) - 0.5f);
            const float n = fractal(cover, wu, wv, 0.55f);
            const float cloud = smoothstep(0.42f, 0.68f, n);
            const float dense = smoothstep(0.55f, 0.85f, n);
            const Rgb sky{0.30f, 0.52f, 0.86f};
            // Thick cloud shows a grey underside, thin cloud is bright.
            const Rgb white{0.96f, 0.96f, 0.98f};
            const Rgb grey{0.62f, 0.64f, 0.70f};
            const Rgb body = mix(white, grey, dense * (0.6f + 0.4f * fractal(shade, u, v)));
            put(pixels, size, x, y, mix(sky, body, cloud));
        }
    }
    return pixels;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: gen_textures <output folder>\n");
        return 2;
    }
    const std::string dir = argv[1];
    bool ok = true;
    ok = writeFile(dir + "/wall.rgb", encodeSgiImage(kWallSize, kWallSize, 3, paintWall(false), true)) && ok;
    ok = writeFile(dir + "/floor.rgb", encodeSgiImage(kFloorSize, kFloorSize, 3, paintFloor(), false)) && ok;
    ok = writeFile(dir + "/Clouds.rgb", encodeSgiImage(kSkySize, kSkySize, 3, paintSky(), true)) && ok;
    ok = writeFile(dir + "/wall1.rgb", encodeSgiImage(kWallSize, kWallSize, 3, paintWall(true), false)) && ok;
    return ok ? 0 : 1;
}
