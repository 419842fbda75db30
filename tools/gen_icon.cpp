// gen_icon.cpp -- draws the game's icon: the shipped level seen from above,
// as the cockpit's small map shows it (walls light, corridors dark), with
// the player's fighter as a yellow arrow and two prey as red dots, on a
// rounded dark tile. Written as PNG files at 48, 128 and 256 pixels for the
// desktop's icon theme.
//
// Usage: gen_icon LEVEL OUTDIR   writes OUTDIR/<size>/maze.png
//
// Deterministic: the same level gives the same bytes. The PNG is written
// with uncompressed ("stored") deflate blocks, so no compression library is
// needed; the largest icon is 256 KiB.
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "tools/write_file.h"
#include "world/world.h"

namespace {

constexpr int kMaster = 256;  // drawn at this size, then averaged down

struct Image {
    int size = 0;
    std::vector<float> rgba;  // 0..1, 4 per pixel, top row first
    float* at(int x, int y) { return &rgba[(static_cast<size_t>(y) * size + x) * 4]; }
};

void blend(Image& img, int x, int y, std::array<float, 3> c, float a) {
    if (x < 0 || y < 0 || x >= img.size || y >= img.size || a <= 0.0f) return;
    float* p = img.at(x, y);
    for (int k = 0; k < 3; ++k) p[k] = p[k] * (1.0f - a) + c[k] * a;
    p[3] = p[3] + (1.0f - p[3]) * a;
}

// Coverage of a pixel by a shape, from 4 x 4 samples: smooth edges.
template <class Inside>
void fill(Image& img, std::array<float, 3> c, Inside inside) {
    for (int y = 0; y < img.size; ++y)
        for (int x = 0; x < img.size; ++x) {
            int hits = 0;
            for (int sy = 0; sy < 4; ++sy)
                for (int sx = 0; sx < 4; ++sx)
                    if (inside(x + (sx + 0.5f) / 4.0f, y + (sy + 0.5f) / 4.0f)) ++hits;
            blend(img, x, y, c, hits / 16.0f);
        }
}

Image draw() {
    Image img;
    img.size = kMaster;
    img.rgba.assign(static_cast<size_t>(kMaster) * kMaster * 4, 0.0f);
    const float n = kMaster;
    // The tile: a square with rounded corners, transparent outside.
    const float r = n * 0.14f, lo = n * 0.02f, hi = n * 0.98f;
    fill(img, {0.06f, 0.07f, 0.10f}, [&](float x, float y) {
        const float cx = std::clamp(x, lo + r, hi - r), cy = std::clamp(y, lo + r, hi - r);
        return x >= lo && x <= hi && y >= lo && y <= hi && std::hypot(x - cx, y - cy) <= r;
    });
    // The maze, rows downwards, fitted into the tile's inner square.
    const int cells = std::max(maze.cols, maze.rows);
    const float inner = n * 0.80f, origin = n * 0.10f, cell = inner / static_cast<float>(std::max(cells, 1));
    fill(img, {0.55f, 0.62f, 0.72f}, [&](float x, float y) {
        const int c = static_cast<int>((x - origin) / cell), row = static_cast<int>((y - origin) / cell);
        if (x < origin || y < origin || c >= maze.cols || row >= maze.rows) return false;
        return maze.cells[row][c] == 1;
    });
    // The fighter at the first start: an arrow pointing up the screen.
    const StartPosition s = maze.fighterStartCount > 0 ? maze.fighterStarts[0] : StartPosition{};
    const float fx = origin + (s.column + 0.5f) * cell, fy = origin + (s.row + 0.5f) * cell;
    const float a = std::max(cell * 2.2f, n * 0.09f);
    const auto side = [](float ax, float ay, float bx, float by, float px, float py) {
        return (bx - ax) * (py - ay) - (by - ay) * (px - ax);
    };
    fill(img, {1.0f, 0.85f, 0.15f}, [&](float x, float y) {
        const float tx = fx, ty = fy - a, lx = fx - a * 0.7f, ly = fy + a * 0.8f, rx = fx + a * 0.7f, ry = ly;
        const float mx = fx, my = fy + a * 0.35f;
        const bool inLeft = side(tx, ty, lx, ly, x, y) <= 0 && side(lx, ly, mx, my, x, y) <= 0 && side(mx, my, tx, ty, x, y) <= 0;
        const bool inRight = side(tx, ty, mx, my, x, y) <= 0 && side(mx, my, rx, ry, x, y) <= 0 && side(rx, ry, tx, ty, x, y) <= 0;
        return inLeft || inRight;
    });
    // Two prey: red dots at the first two prey starts.
    for (int i = 0; i < std::min(2, maze.preyStartCount); ++i) {
        const float px = origin + (maze.preyStarts[i].column + 0.5f) * cell;
        const float py = origin + (maze.preyStarts[i].row + 0.5f) * cell;
        fill(img, {0.95f, 0.2f, 0.15f}, [&](float x, float y) { return std::hypot(x - px, y - py) <= n * 0.035f; });
    }
    return img;
}

// Averages the master down to `size` (a box filter over premultiplied colour).
Image shrink(Image& master, int size) {
    Image out;
    out.size = size;
    out.rgba.assign(static_cast<size_t>(size) * size * 4, 0.0f);
    const float step = static_cast<float>(master.size) / size;
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            double sum[4] = {};
            int count = 0;
            for (int sy = static_cast<int>(y * step); sy < static_cast<int>((y + 1) * step); ++sy)
                for (int sx = static_cast<int>(x * step); sx < static_cast<int>((x + 1) * step); ++sx) {
                    const float* p = master.at(sx, sy);
                    for (int k = 0; k < 3; ++k) sum[k] += p[k] * p[3];
                    sum[3] += p[3];
                    ++count;
                }
            float* q = out.at(x, y);
            q[3] = static_cast<float>(sum[3] / count);
            for (int k = 0; k < 3; ++k) q[k] = sum[3] > 0 ? static_cast<float>(sum[k] / sum[3]) : 0.0f;
        }
    return out;
}

uint32_t crc32(const uint8_t* p, size_t n, uint32_t crc = 0) {
    crc = ~crc;
    for (size_t i = 0; i < n; ++i) {
        crc ^= p[i];
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

void put32(std::vector<uint8_t>& out, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(v >> shift));
}

void chunk(std::vector<uint8_t>& out, const char type[5], const std::vector<uint8_t>& data) {
    put32(out, static_cast<uint32_t>(data.size()));
    const size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    put32(out, crc32(out.data() + start, out.size() - start));
}

std::vector<uint8_t> encodePng(Image& img) {
    // Raw scanlines: filter byte 0, then RGBA.
    std::vector<uint8_t> raw;
    for (int y = 0; y < img.size; ++y) {
        raw.push_back(0);
        for (int x = 0; x < img.size; ++x)
            for (int k = 0; k < 4; ++k)
                raw.push_back(static_cast<uint8_t>(std::lround(std::clamp(img.at(x, y)[k], 0.0f, 1.0f) * 255.0f)));
    }
    // zlib stream of stored blocks (at most 65535 bytes each) and Adler-32.
    std::vector<uint8_t> z = {0x78, 0x01};
    for (size_t pos = 0; pos < raw.size() || pos == 0;) {
        const size_t len = std::min<size_t>(65535, raw.size() - pos);
        const bool last = pos + len == raw.size();
        z.push_back(last ? 1 : 0);
        z.push_back(static_cast<uint8_t>(len));
        z.push_back(static_cast<uint8_t>(len >> 8));
        z.push_back(static_cast<uint8_t>(~len));
        z.push_back(static_cast<uint8_t>(~len >> 8));
        z.insert(z.end(), raw.begin() + static_cast<long>(pos), raw.begin() + static_cast<long>(pos + len));
        pos += len;
        if (last) break;
    }
    uint32_t a = 1, b = 0;
    for (const uint8_t v : raw) {
        a = (a + v) % 65521;
        b = (b + a) % 65521;
    }
    put32(z, (b << 16) | a);

    std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<uint8_t> header;
    put32(header, static_cast<uint32_t>(img.size));
    put32(header, static_cast<uint32_t>(img.size));
    header.insert(header.end(), {8, 6, 0, 0, 0});  // 8 bits, RGBA, deflate, no filter choice, no interlace
    chunk(png, "IHDR", header);
    chunk(png, "IDAT", z);
    chunk(png, "IEND", {});
    return png;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: gen_icon LEVEL OUTDIR\n");
        return 2;
    }
    readMazeMapFile(argv[1]);
    if (maze.cols <= 0 || maze.rows <= 0) {
        std::fprintf(stderr, "gen_icon: no level in %s\n", argv[1]);
        return 1;
    }
    Image master = draw();
    const std::string dir = argv[2];
    for (const int size : {48, 128, 256}) {
        const std::string folder = dir + "/" + std::to_string(size);
        mkdir(dir.c_str(), 0755);
        mkdir(folder.c_str(), 0755);
        Image icon = size == kMaster ? master : shrink(master, size);
        if (!writeFile(folder + "/maze.png", encodePng(icon))) return 1;
    }
    return 0;
}
