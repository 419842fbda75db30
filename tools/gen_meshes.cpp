// gen_meshes.cpp -- builds every model mesh of the game and writes them as
// ".msh" files into the folder named on the command line:
//   fighter0.msh .. fighter5.msh   the fighter's six parts
//   lamp.msh                       the wall lamp
//   prey<part>_<level>.msh         the prey's six part meshes, levels 0..5
//
// Usage: gen_meshes <output folder>
//
// Every model is assembled from primitives (lathed profiles, bevelled boxes,
// capsules) placed in the frame the drawing code puts the part in, in world
// units for the fighter and the lamp and model units for the prey; the part's
// own list transform (its scale and, for prey part 4, its turn) is then
// undone, so drawing the list brings the shape back to where it was designed.
// Corner normals are smooth across edges flatter than kCreaseDegrees and
// split at sharper ones. Each model's resolution is searched so its face
// count lands near the count the game's model table gives; the prey's lower
// levels are simplified from level 0 with meshoptimizer.
//
// The output is the same, byte for byte, on every run: no clocks, no random
// numbers, and no table whose order could reach the output.
#include <meshoptimizer.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <unordered_map>
#include <string>
#include <vector>

#include "render/render.h"
#include "tools/write_file.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kCreaseDegrees = 40.0;

struct P3 {
    double x = 0, y = 0, z = 0;
};
P3 operator+(P3 a, P3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
P3 operator-(P3 a, P3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
P3 operator*(P3 a, double s) { return {a.x * s, a.y * s, a.z * s}; }
double dot(P3 a, P3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
P3 cross(P3 a, P3 b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
double length(P3 a) { return std::sqrt(dot(a, a)); }
P3 unit(P3 a) {
    const double l = length(a);
    return l > 0 ? a * (1.0 / l) : P3{};
}

// An affine map: rows of a 3 x 4 matrix.
struct Affine {
    double m[3][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}};
    P3 apply(P3 p) const {
        return {m[0][0] * p.x + m[0][1] * p.y + m[0][2] * p.z + m[0][3],
                m[1][0] * p.x + m[1][1] * p.y + m[1][2] * p.z + m[1][3],
                m[2][0] * p.x + m[2][1] * p.y + m[2][2] * p.z + m[2][3]};
    }
};
// a * b: apply b first.
Affine operator*(const Affine& a, const Affine& b) {
    Affine r;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 4; ++j) {
            r.m[i][j] = a.m[i][0] * b.m[0][j] + a.m[i][1] * b.m[1][j] + a.m[i][2] * b.m[2][j];
            if (j == 3) r.m[i][j] += a.m[i][3];
        }
    return r;
}
Affine translate(double x, double y, double z) {
    Affine a;
    a.m[0][3] = x;
    a.m[1][3] = y;
    a.m[2][3] = z;
    return a;
}
Affine translate(P3 p) { return translate(p.x, p.y, p.z); }
Affine scale(double sx, double sy, double sz) {
    Affine a;
    a.m[0][0] = sx;
    a.m[1][1] = sy;
    a.m[2][2] = sz;
    return a;
}
Affine scale(double s) { return scale(s, s, s); }
// Right-handed turn by `degrees` about axis 0 (x), 1 (y) or 2 (z), as glRotatef.
Affine rotate(int axis, double degrees) {
    const double c = std::cos(degrees * kPi / 180.0), s = std::sin(degrees * kPi / 180.0);
    const int i = (axis + 1) % 3, j = (axis + 2) % 3;
    Affine a;
    a.m[i][i] = c;
    a.m[i][j] = -s;
    a.m[j][i] = s;
    a.m[j][j] = c;
    return a;
}
// Maps local +z onto the direction from `from` to `to`, local origin to `from`.
Affine alongSegment(P3 from, P3 to) {
    const P3 w = unit(to - from);
    const P3 helper = std::fabs(w.z) < 0.9 ? P3{0, 0, 1} : P3{1, 0, 0};
    const P3 u = unit(cross(helper, w));
    const P3 v = cross(w, u);
    Affine a;
    const P3 cols[3] = {u, v, w};
    for (int c = 0; c < 3; ++c) {
        a.m[0][c] = cols[c].x;
        a.m[1][c] = cols[c].y;
        a.m[2][c] = cols[c].z;
    }
    return translate(from) * a;
}

// Hash of a quantised point or normal. The tables it serves are only looked
// up, never walked, so their order cannot reach the output.
struct KeyHash {
    size_t operator()(const std::array<long long, 3>& k) const {
        uint64_t h = 1469598103934665603ull;
        for (const long long v : k) h = (h ^ static_cast<uint64_t>(v)) * 1099511628211ull;
        return static_cast<size_t>(h ^ (h >> 29));
    }
};

// A triangle soup with positions welded inside each primitive; separate
// primitives stay separate surfaces (their normals never blend).
struct Shape {
    std::vector<P3> pos;
    std::vector<std::array<int, 3>> tris;
};

// Adds one primitive to a shape: positions that coincide are one vertex, and
// triangles that collapse (a pole, a zero-width ring) are dropped.
struct Primitive {
    Shape& shape;
    Affine xf;
    std::function<P3(P3)> warp;  // applied in local space before xf, when set
    std::unordered_map<std::array<long long, 3>, int, KeyHash> welded;

    Primitive(Shape& s, const Affine& a, std::function<P3(P3)> w = {}) : shape(s), xf(a), warp(std::move(w)) {}

    int vertex(P3 local) {
        const P3 p = xf.apply(warp ? warp(local) : local);
        const std::array<long long, 3> key{std::llround(p.x * 1e6), std::llround(p.y * 1e6),
                                           std::llround(p.z * 1e6)};
        const auto it = welded.find(key);
        if (it != welded.end()) return it->second;
        const int index = static_cast<int>(shape.pos.size());
        shape.pos.push_back(p);
        welded.emplace(key, index);
        return index;
    }
    void triangle(int a, int b, int c) {
        if (a == b || b == c || a == c) return;
        shape.tris.push_back({a, b, c});
    }
    // Quad a b c d counter-clockwise seen from its front.
    void quad(int a, int b, int c, int d) {
        triangle(a, b, c);
        triangle(a, c, d);
    }
};

int atLeast(int minimum, double value) { return std::max(minimum, static_cast<int>(std::lround(value))); }

// A surface of revolution about local z. `profile` holds (radius, z) pairs
// from one end to the other, going up the outside, so normals face outwards;
// a radius of 0 closes the end in a point. `sweepDegrees` below 360 leaves an
// open partial surface.
void lathe(Shape& s, const Affine& xf, const std::vector<std::array<double, 2>>& profile, int segments,
           double ellipseY = 1.0) {
    Primitive prim(s, xf);
    std::vector<std::vector<int>> rings;
    for (const auto& [r, z] : profile) {
        std::vector<int> ring;
        for (int k = 0; k < segments; ++k) {
            const double a = 2.0 * kPi * k / segments;
            ring.push_back(prim.vertex({r * std::cos(a), r * ellipseY * std::sin(a), z}));
        }
        rings.push_back(ring);
    }
    for (size_t i = 0; i + 1 < rings.size(); ++i)
        for (int k = 0; k < segments; ++k) {
            const int k1 = (k + 1) % segments;
            prim.quad(rings[i][k], rings[i][k1], rings[i + 1][k1], rings[i + 1][k]);
        }
}

// Appends `steps` points of a quarter or half arc of circle in the (r, z)
// plane: centre (cr, cz), radius rad, from angle a0 to a1 (degrees, 0 = +r,
// 90 = +z), end included, start excluded.
void arc(std::vector<std::array<double, 2>>& p, double cr, double cz, double rad, double a0, double a1,
         int steps) {
    for (int i = 1; i <= steps; ++i) {
        const double a = (a0 + (a1 - a0) * i / steps) * kPi / 180.0;
        p.push_back({std::max(0.0, cr + rad * std::cos(a)), cz + rad * std::sin(a)});
    }
}

// Profile of a sphere of radius r about z = 0.
std::vector<std::array<double, 2>> sphereProfile(double r, int steps) {
    std::vector<std::array<double, 2>> p{{0, -r}};
    arc(p, 0, 0, r, -90, 90, steps);
    return p;
}

// Profile of a cylinder from z0 to z1 of radius r whose two rims are rounded
// by `bevel` (0: sharp rims).
std::vector<std::array<double, 2>> cylinderProfile(double r, double z0, double z1, double bevel, int bevelSteps) {
    std::vector<std::array<double, 2>> p{{0, z0}};
    if (bevel > 0) {
        p.push_back({r - bevel, z0});
        arc(p, r - bevel, z0 + bevel, bevel, -90, 0, bevelSteps);
        p.push_back({r, z1 - bevel});
        arc(p, r - bevel, z1 - bevel, bevel, 0, 90, bevelSteps);
    } else {
        p.push_back({r, z0});
        p.push_back({r, z1});
    }
    p.push_back({0, z1});
    return p;
}

// A capsule of radius r between two points.
void capsule(Shape& s, P3 a, P3 b, double r, int segments, int capSteps) {
    const double len = length(b - a);
    std::vector<std::array<double, 2>> p{{0, -r}};
    arc(p, 0, 0, r, -90, 0, capSteps);
    arc(p, 0, len, r, 0, 90, capSteps);
    lathe(s, alongSegment(a, b), p, segments);
}

// Grid positions along one axis of a bevelled box of half size h and bevel
// radius r: `steps` positions through each bevel (even in angle) and about
// `perUnit` per unit of length across the flat middle.
std::vector<double> boxAxis(double h, double r, int steps, double perUnit) {
    std::vector<double> a;
    if (steps == 0) r = 0;  // sharp edges
    const double flat = h - r;
    for (int i = steps; i >= 1; --i) a.push_back(-(flat + r * std::tan(kPi / 4 * i / steps)));
    const int cells = atLeast(1, 2.0 * flat * perUnit);
    for (int i = 0; i <= cells; ++i) a.push_back(-flat + 2.0 * flat * i / cells);
    for (int i = 1; i <= steps; ++i) a.push_back(flat + r * std::tan(kPi / 4 * i / steps));
    return a;
}

// A box of half sizes h centred on the local origin whose edges and corners
// are rounded with radius r (a bevel when r is small), optionally warped.
void roundedBox(Shape& s, const Affine& xf, P3 h, double r, int steps, double perUnit,
                std::function<P3(P3)> warp = {}) {
    Primitive prim(s, xf, std::move(warp));
    if (steps == 0) r = 0;
    const double half[3] = {h.x, h.y, h.z};
    const double flat[3] = {h.x - r, h.y - r, h.z - r};
    std::vector<double> axes[3];
    for (int i = 0; i < 3; ++i) axes[i] = boxAxis(half[i], r, steps, perUnit);
    for (int axis = 0; axis < 3; ++axis) {
        for (int sign = -1; sign <= 1; sign += 2) {
            const int u = (axis + 1) % 3, v = (axis + 2) % 3;
            const std::vector<double>& au = axes[u];
            const std::vector<double>& av = axes[v];
            std::vector<std::vector<int>> grid(au.size(), std::vector<int>(av.size()));
            for (size_t i = 0; i < au.size(); ++i)
                for (size_t j = 0; j < av.size(); ++j) {
                    double p[3];
                    p[axis] = sign * half[axis];
                    p[u] = au[i];
                    p[v] = av[j];
                    double inner[3], out[3], d[3];
                    for (int c = 0; c < 3; ++c) {
                        inner[c] = std::clamp(p[c], -flat[c], flat[c]);
                        d[c] = p[c] - inner[c];
                    }
                    const double l = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
                    for (int c = 0; c < 3; ++c) out[c] = l > 0 ? inner[c] + d[c] / l * r : p[c];
                    grid[i][j] = prim.vertex({out[0], out[1], out[2]});
                }
            for (size_t i = 0; i + 1 < au.size(); ++i)
                for (size_t j = 0; j + 1 < av.size(); ++j) {
                    // u x v = +axis, so this order faces outwards on the + side.
                    if (sign > 0)
                        prim.quad(grid[i][j], grid[i + 1][j], grid[i + 1][j + 1], grid[i][j + 1]);
                    else
                        prim.quad(grid[i][j], grid[i][j + 1], grid[i + 1][j + 1], grid[i + 1][j]);
                }
        }
    }
}

// A bevelled box given by its two opposite corners.
void box(Shape& s, P3 lo, P3 hi, double r, int steps, double perUnit, std::function<P3(P3)> warp = {},
         const Affine& outer = Affine{}) {
    const P3 c = (lo + hi) * 0.5, h = (hi - lo) * 0.5;
    // The warp sees the corners' coordinates, not the box's centred ones.
    std::function<P3(P3)> placed = [c, warp](P3 p) { return warp ? warp(p + c) : p + c; };
    roundedBox(s, outer, h, std::min({r, h.x, h.y, h.z}), steps, perUnit, placed);
}

// A cylinder of radius r from a to b, its rims rounded by `bevel`.
void cylinder(Shape& s, P3 a, P3 b, double r, double bevel, int bevelSteps, int segments) {
    lathe(s, alongSegment(a, b), cylinderProfile(r, 0, length(b - a), bevel, bevelSteps), segments);
}

// ---------------------------------------------------------------------------
// Turning shapes into meshes
// ---------------------------------------------------------------------------

// The mesh of a shape after `toMesh`: positions, per-corner normals smooth
// across edges flatter than the crease angle, normals shared where equal.
Mesh toMesh(const Shape& s, const Affine& toMeshFrame) {
    std::vector<P3> pos(s.pos.size());
    for (size_t i = 0; i < pos.size(); ++i) pos[i] = toMeshFrame.apply(s.pos[i]);

    // Keep only vertices some triangle uses, in order of first use.
    std::vector<int> remap(pos.size(), -1);
    std::vector<P3> used;
    std::vector<std::array<int, 3>> tris = s.tris;
    for (auto& t : tris)
        for (int& v : t) {
            if (remap[v] < 0) {
                remap[v] = static_cast<int>(used.size());
                used.push_back(pos[v]);
            }
            v = remap[v];
        }

    std::vector<P3> faceNormal(tris.size()), faceUnit(tris.size());
    std::vector<std::vector<int>> around(used.size());
    for (size_t f = 0; f < tris.size(); ++f) {
        const auto& t = tris[f];
        faceNormal[f] = cross(used[t[1]] - used[t[0]], used[t[2]] - used[t[0]]);
        faceUnit[f] = unit(faceNormal[f]);
        for (int v : t) around[v].push_back(static_cast<int>(f));
    }
    const double creaseCos = std::cos(kCreaseDegrees * kPi / 180.0);

    Mesh m;
    m.indexWidth = 16;
    for (const P3& p : used) m.vertices.insert(m.vertices.end(), {float(p.x), float(p.y), float(p.z)});
    std::unordered_map<std::array<long long, 3>, int, KeyHash> normalIndex;
    for (size_t f = 0; f < tris.size(); ++f) {
        int corners[3];
        for (int k = 0; k < 3; ++k) {
            P3 sum;
            for (int g : around[tris[f][k]])
                if (dot(faceUnit[g], faceUnit[f]) >= creaseCos) sum = sum + faceNormal[g];
            P3 n = unit(sum);
            if (length(n) == 0) n = length(faceUnit[f]) > 0 ? faceUnit[f] : P3{0, 0, 1};
            // Four decimals are plenty for lighting and let equal normals share.
            const std::array<long long, 3> key{std::llround(n.x * 1e4), std::llround(n.y * 1e4),
                                               std::llround(n.z * 1e4)};
            auto it = normalIndex.find(key);
            if (it == normalIndex.end()) {
                it = normalIndex.emplace(key, static_cast<int>(m.normals.size() / 3)).first;
                for (long long c : key) m.normals.push_back(static_cast<float>(c * 1e-4));
            }
            corners[k] = it->second;
        }
        m.faces.insert(m.faces.end(), {tris[f][0], tris[f][1], tris[f][2], corners[0], corners[1],
                                       corners[2], 0, 0, 0});
    }
    return m;
}

// Builds a shape at the resolution `detail` (1 = the design's nominal one).
using Builder = std::function<void(Shape&, double detail)>;

// The shape whose face count comes closest to `target`, searching the detail.
Shape tuned(const Builder& build, size_t target) {
    Shape best;
    double lo = 0.1, hi = 8.0;
    size_t bestMiss = SIZE_MAX;
    for (int i = 0; i < 16; ++i) {
        const double d = std::sqrt(lo * hi);
        Shape s;
        build(s, d);
        const size_t n = s.tris.size();
        const size_t miss = n > target ? n - target : target - n;
        if (miss < bestMiss) {
            bestMiss = miss;
            best = std::move(s);
        }
        if (miss * 50 <= target) break;  // within 2%: close enough
        (n < target ? lo : hi) = d;
    }
    return best;
}

// ---------------------------------------------------------------------------
// The fighter (world units; it faces -y, z is up, the floor lies 0.45 below
// the fighter frame's origin)
// ---------------------------------------------------------------------------

// Part 5, the tracks. Its frame is turned 90 degrees about z against the
// fighter's, so here the machine faces -x; tracks run along x.
void fighterTracks(Shape& s, double d) {
    // Round wheels whatever the pods' resolution.
    const int seg = 16;
    for (int side = -1; side <= 1; side += 2) {
        const double y = 0.85 * side;
        // The track pod: from the floor (z -0.45) to 0.25.
        box(s, {-1.2, y - 0.24, -0.45}, {1.2, y + 0.24, 0.25}, 0.16, 2, 2.5 * d,
            [](P3 p) {
                // The ends lean in towards the top, like a tank's track run.
                const double lean = std::max(0.0, std::fabs(p.x) - 0.7) * (p.z + 0.35) * 0.5;
                return P3{p.x - (p.x > 0 ? lean : -lean), p.y, p.z};
            });
        // Road wheels on the outer face.
        for (int w = 0; w < 4; ++w) {
            const double x = -0.78 + 0.52 * w;
            const double outer = y + 0.24 * side;
            cylinder(s, {x, outer - 0.02 * side, -0.2}, {x, outer + 0.07 * side, -0.2}, 0.19, 0, 0, seg);
            cylinder(s, {x, outer, -0.2}, {x, outer + 0.1 * side, -0.2}, 0.06, 0, 0, seg / 2);
        }
    }
}

// Part 4, the waist: a chassis between the tracks and the turret column up to
// the hull. Its frame is the tracks' frame lifted by 0.3 (faces -x).
void fighterWaist(Shape& s, double d) {
    const int seg = atLeast(10, 28 * d);
    const int steps = 2;
    box(s, {-0.95, -0.62, -0.12}, {0.95, 0.62, 0.32}, 0.1, steps, 3 * d);
    // Axles through to the track pods.
    for (double x : {-0.6, 0.6})
        lathe(s, alongSegment({x, -0.9, 0.0}, {x, 0.9, 0.0}), cylinderProfile(0.12, 0, 1.8, 0.03, 1), seg / 2);
    // The turret column, with two armour rings.
    std::vector<std::array<double, 2>> col{{0, 0.3}, {0.56, 0.3}};
    arc(col, 0.5, 0.36, 0.06, -90, 0, steps + 1);
    col.insert(col.end(), {{0.5, 0.5}, {0.44, 0.56}, {0.44, 0.7}, {0.52, 0.74}, {0.52, 0.8}, {0.44, 0.84},
                           {0.44, 1.0}, {0.5, 1.02}, {0.5, 1.12}, {0.0, 1.12}});
    lathe(s, Affine{}, col, seg);
    // Hydraulic rams from the chassis to the hull.
    for (int sx = -1; sx <= 1; sx += 2)
        for (int sy = -1; sy <= 1; sy += 2) {
            capsule(s, {0.55 * sx, 0.45 * sy, 0.25}, {0.3 * sx, 0.33 * sy, 1.12}, 0.055, atLeast(6, 10 * d),
                    2);
            capsule(s, {0.55 * sx, 0.45 * sy, 0.25}, {0.47 * sx, 0.41 * sy, 0.6}, 0.085, atLeast(6, 10 * d),
                    2);
        }
}

// Part 0, the hull: frame origin 1.7 above the fighter frame.
void fighterHull(Shape& s, double d) {
    const int steps = 3;
    const double per = 4.5 * d;
    // Main body with a sloped front glacis and a narrower nose.
    box(s, {-0.8, -1.1, -0.5}, {0.8, 1.0, 0.45}, 0.14, steps, per, [](P3 p) {
        const double front = std::max(0.0, -p.y - 0.2);
        const double drop = front * 0.45 * (p.z + 0.5) / 0.95;
        const double narrow = 1.0 - 0.18 * front / 0.9;
        return P3{p.x * narrow, p.y, p.z - drop};
    });
    // Shoulders that carry the missile racks.
    for (int side = -1; side <= 1; side += 2) {
        const double x = 0.84 * side;
        box(s, {x - 0.24, -0.45, -0.15}, {x + 0.24, 0.55, 0.86}, 0.08, steps, per);
        // The launcher: floor, roof, walls and back around the 5 x 3 missiles.
        const double x0 = 0.62 * side, x1 = 1.06 * side;
        const double xl = std::min(x0, x1), xh = std::max(x0, x1);
        box(s, {xl, -0.32, 0.86}, {xh, 0.32, 0.91}, 0.015, 1, per);
        box(s, {xl, -0.32, 1.17}, {xh, 0.32, 1.22}, 0.015, 1, per);
        box(s, {xl, -0.32, 0.86}, {xl + 0.035, 0.32, 1.22}, 0.012, 1, per);
        box(s, {xh - 0.035, -0.32, 0.86}, {xh, 0.32, 1.22}, 0.012, 1, per);
        box(s, {xl, 0.26, 0.86}, {xh, 0.36, 1.22}, 0.012, 1, per);
        // Side skirt armour.
        box(s, {x + 0.22 * side - 0.05, -0.8, -0.55}, {x + 0.22 * side + 0.05, 0.7, 0.1}, 0.03, 1, per);
    }
    // Engines at the back.
    for (double x : {-0.42, 0.42}) {
        std::vector<std::array<double, 2>> nozzle{{0, 0.9}, {0.22, 0.9}, {0.24, 1.08}, {0.19, 1.2}, {0.12, 1.2},
                                                  {0.12, 1.1}, {0.0, 1.1}};
        lathe(s, alongSegment({x, 0, 0.02}, {x, 1, 0.02}), nozzle, atLeast(10, 20 * d));
    }
    // Roof vents.
    for (int i = 0; i < 4; ++i)
        box(s, {-0.35, 0.1 + 0.18 * i, 0.43}, {0.35, 0.2 + 0.18 * i, 0.5}, 0.02, 1, per);
}

// Part 3, the cockpit head: frame origin (0, -0.75, 0.265) in the hull's.
void fighterHead(Shape& s, double d) {
    const int seg = atLeast(12, 40 * d);
    const int steps = atLeast(4, 12 * d);
    // The canopy: a flattened dome stretched front to back.
    lathe(s, translate(0, -0.05, 0.05) * scale(1.0, 1.25, 0.8), sphereProfile(0.4, steps), seg);
    // A collar ring where it meets the hull.
    std::vector<std::array<double, 2>> collar{{0, -0.05}, {0.44, -0.05}};
    arc(collar, 0.44, 0.0, 0.05, -90, 90, atLeast(2, 4 * d));
    collar.push_back({0, 0.05});
    lathe(s, translate(0, -0.05, 0) * scale(1.0, 1.2, 1.0), collar, seg);
    // The sensor eye looking forward and two cheek sensors.
    lathe(s, alongSegment({0, -0.4, 0.12}, {0, -0.72, 0.12}), cylinderProfile(0.1, 0, 0.32, 0.03, 2), seg / 2);
    for (double x : {-0.3, 0.3})
        lathe(s, alongSegment({x, -0.3, 0.02}, {x * 1.05, -0.62, 0.02}), cylinderProfile(0.05, 0, 0.32, 0.015, 1),
              seg / 3);
}

// Part 1, the gun: frame origin (0, -1.0, -0.9) in the hull's.
void fighterGun(Shape& s, double d) {
    const int seg = atLeast(10, 24 * d);
    const int steps = 2;
    // Mount up to the hull's belly and the receiver.
    // The bore lies at z = 0.15 here, the height shots leave at (1.4 above
    // the floor).
    const double bore = 0.15;
    box(s, {-0.22, 0.0, 0.1}, {0.22, 0.55, 0.42}, 0.06, steps, 3 * d);
    cylinder(s, {0, 0.45, bore}, {0, -0.3, bore}, 0.2, 0.05, steps, seg);
    // Ammunition drum at the back.
    cylinder(s, {-0.25, 0.5, bore - 0.08}, {0.25, 0.5, bore - 0.08}, 0.2, 0.04, steps, seg);
    // Twin barrels with muzzle brakes.
    for (double x : {-0.09, 0.09}) {
        cylinder(s, {x, -0.28, bore}, {x, -0.9, bore}, 0.05, 0, 0, seg / 2);
        cylinder(s, {x, -0.84, bore}, {x, -0.98, bore}, 0.075, 0.015, 1, seg / 2);
    }
    // Cooling jacket around the barrels' roots.
    lathe(s, alongSegment({0, -0.28, bore}, {0, -0.6, bore}) * scale(1.0, 0.7, 1.0),
          cylinderProfile(0.2, 0, 0.32, 0.03, steps), seg);
}

// Part 2, one missile in its rack place; the rack turns it half round, so
// its nose points to +y here.
void fighterMissile(Shape& s, double d) {
    const int seg = atLeast(6, 8 * d);
    std::vector<std::array<double, 2>> body{{0, -0.25}, {0.022, -0.25}, {0.03, -0.22}, {0.03, 0.14},
                                            {0.024, 0.2}, {0.012, 0.24}, {0, 0.26}};
    lathe(s, rotate(0, -90), body, seg);
    for (int f = 0; f < 4; ++f)
        box(s, {-0.004, -0.24, 0.0}, {0.004, -0.15, 0.046}, 0, 0, 0, {},
            rotate(1, 45 + 90 * f));
}

// ---------------------------------------------------------------------------
// The lamp (its list has no transform; the drawing scales it by 0.8). The
// wall is at x = +0.375; the flame burns at (-0.3, 0, 0.2).
// ---------------------------------------------------------------------------
void wallLamp(Shape& s, double d) {
    const int seg = atLeast(10, 24 * d);
    box(s, {0.305, -0.15, -0.35}, {0.375, 0.15, 0.12}, 0.025, 2, 6 * d);
    // The bowl that holds the flame: rim at 0.2, oil inside at 0.15.
    std::vector<std::array<double, 2>> bowl{{0, -0.02}, {0.05, -0.02}};
    arc(bowl, 0.05, 0.1, 0.12, -90, 0, atLeast(3, 6 * d));
    bowl.insert(bowl.end(), {{0.17, 0.2}, {0.15, 0.2}, {0.12, 0.15}, {0.0, 0.15}});
    lathe(s, translate(-0.3, 0, 0), bowl, seg);
    // Stem, arm and brace.
    lathe(s, translate(-0.3, 0, 0), cylinderProfile(0.03, -0.16, 0.0, 0.01, 1), seg / 2);
    lathe(s, translate(-0.3, 0, -0.16), sphereProfile(0.045, atLeast(3, 6 * d)), seg / 2);
    capsule(s, {-0.3, 0, -0.16}, {0.33, 0, -0.16}, 0.025, seg / 2, 2);
    capsule(s, {-0.12, 0, -0.16}, {0.33, 0, -0.3}, 0.018, seg / 2, 2);
}

// ---------------------------------------------------------------------------
// The prey (model units, each part in its joint's frame; see gen_poses.cpp
// for the skeleton: hip joints at (+-0.75, 0, -0.15) from the hips, thigh
// and shin 1.4 long, metatarsus 0.6, sole 0.25 below the last joint)
// ---------------------------------------------------------------------------

// Part 0, the hips: one closed surface so it simplifies to a plain block.
void preyHips(Shape& s, double d) {
    box(s, {-0.95, -0.45, -0.45}, {0.95, 0.5, 0.35}, 0.18, 2, 3 * d, [](P3 p) {
        const double taper = 1.0 - 0.12 * (0.35 - p.z) / 0.8;
        return P3{p.x * taper, p.y * (0.9 + 0.1 * taper), p.z};
    });
}

// Part 1, the upper body: frame 0.35 above the hips; its waist sits on them.
void preyBody(Shape& s, double d) {
    const int seg = atLeast(10, 36 * d);
    const int steps = 3;
    const double per = 5 * d;
    std::vector<std::array<double, 2>> waist{{0, -0.05}, {0.45, -0.05}, {0.45, 0.12}, {0.55, 0.2}, {0.55, 0.4},
                                             {0.0, 0.4}};
    lathe(s, Affine{}, waist, seg);
    // The armoured hull: narrower and lower towards the front.
    box(s, {-0.95, -1.1, 0.3}, {0.95, 1.0, 1.8}, 0.3, steps, per, [](P3 p) {
        const double front = std::max(0.0, -p.y - 0.1);
        return P3{p.x * (1.0 - 0.2 * front), p.y, p.z - front * 0.3 * (p.z - 0.3) / 1.5};
    });
    // The sensor head protruding at the front.
    lathe(s, translate(0, -1.05, 1.1) * scale(1.1, 0.9, 0.7), sphereProfile(0.45, atLeast(4, 10 * d)), seg);
    lathe(s, alongSegment({0, -1.3, 1.12}, {0, -1.62, 1.12}), cylinderProfile(0.12, 0, 0.32, 0.03, 2), seg / 2);
    // Arm guns on shoulder joints.
    for (int side = -1; side <= 1; side += 2) {
        const double x = 1.3 * side;
        lathe(s, translate(1.0 * side, -0.1, 1.2), sphereProfile(0.33, atLeast(4, 8 * d)), seg);
        box(s, {x - 0.26, -1.0, 0.82}, {x + 0.26, 0.45, 1.38}, 0.1, steps, per);
        for (double dz : {-0.11, 0.11})
            lathe(s, alongSegment({x, -0.95, 1.1 + dz}, {x, -1.85, 1.1 + dz}), cylinderProfile(0.07, 0, 0.9, 0, 0),
                  seg / 2);
        lathe(s, alongSegment({x, -1.7, 1.1}, {x, -1.9, 1.1}), cylinderProfile(0.1, 0, 0.2, 0.02, 1), seg / 2,
              2.0);
    }
    // Backpack with exhausts, and an antenna.
    box(s, {-0.6, 0.9, 0.6}, {0.6, 1.35, 1.6}, 0.14, steps, per);
    for (double x : {-0.35, 0.35})
        lathe(s, alongSegment({x, 1.3, 1.35}, {x, 1.3, 2.05}), cylinderProfile(0.11, 0, 0.7, 0.03, 2), seg / 2);
    lathe(s, translate(0.5, 0.3, 1.75), cylinderProfile(0.03, 0, 0.45, 0.01, 1), atLeast(6, seg / 4));
    lathe(s, translate(0.5, 0.3, 2.2), sphereProfile(0.06, 3), atLeast(6, seg / 4));
}

// Part 2, the thigh: hip ball at the origin, knee at (0, 0, -1.4).
void preyThigh(Shape& s, double d) {
    const int seg = atLeast(8, 22 * d);
    lathe(s, rotate(1, 90), sphereProfile(0.3, atLeast(4, 8 * d)), seg);
    box(s, {-0.22, -0.3, -1.3}, {0.22, 0.3, -0.1}, 0.14, 2, 4 * d, [](P3 p) {
        const double t = 1.0 - 0.25 * std::clamp((-p.z - 0.1) / 1.2, 0.0, 1.0);
        return P3{p.x * t, p.y * t - 0.04, p.z};
    });
    lathe(s, translate(0, 0, -1.4), sphereProfile(0.22, atLeast(4, 6 * d)), seg);
    capsule(s, {0, 0.33, -0.25}, {0, 0.26, -1.15}, 0.07, atLeast(6, seg / 2), 2);
}

// Part 3, the shin: knee at the origin, ankle at (0, 0, -1.4).
void preyShin(Shape& s, double d) {
    const int seg = atLeast(8, 20 * d);
    box(s, {-0.18, -0.2, -1.32}, {0.18, 0.24, -0.05}, 0.11, 2, 4 * d, [](P3 p) {
        const double t = 1.0 - 0.3 * std::clamp((-p.z - 0.05) / 1.27, 0.0, 1.0);
        return P3{p.x * t, p.y * t, p.z};
    });
    box(s, {-0.2, -0.34, -0.45}, {0.2, -0.14, 0.12}, 0.07, 2, 4 * d);
    lathe(s, translate(0, 0, -1.4), sphereProfile(0.17, atLeast(4, 6 * d)), seg);
}

// Part 4, the metatarsus: ankle at the origin, foot joint at (0, 0, -0.6).
void preyMetatarsus(Shape& s, double d) {
    const int seg = atLeast(8, 24 * d);
    capsule(s, {0, 0, 0}, {0, 0, -0.6}, 0.14, seg, atLeast(2, 8 * d));
    box(s, {-0.08, 0.08, -0.45}, {0.08, 0.3, -0.05}, 0.05, 2, 5 * d, [](P3 p) {
        return P3{p.x, p.y - 0.2 * (p.z + 0.05), p.z};
    });
}

// Part 5, the foot: joint at the origin, the sole flat at z = -0.25.
void preyFoot(Shape& s, double d) {
    const int seg = atLeast(8, 20 * d);
    const int steps = 2;
    const double per = 5 * d;
    box(s, {-0.3, -0.55, -0.25}, {0.3, 0.3, -0.05}, 0.06, steps, per);
    for (int t = -1; t <= 1; ++t)
        box(s, {-0.07, -0.42, -0.25}, {0.07, 0.0, -0.1}, 0.05, 1, per, {},
            translate(0.14 * t, -0.5, 0) * rotate(2, 22.0 * t));
    box(s, {-0.1, 0.2, -0.25}, {0.1, 0.48, -0.12}, 0.05, 1, per);
    lathe(s, Affine{}, cylinderProfile(0.17, -0.12, 0.05, 0.04, 2), seg);
}

struct Model {
    std::string file;
    Builder build;
    size_t faces;           // the face count aimed at
    double listScale;       // the scale its display list draws it at
};

// The prey's lower levels: the level-0 surface simplified with meshoptimizer
// to about `faces` triangles, its normals worked out afresh.
Shape simplified(const Shape& s, size_t faces) {
    std::vector<float> pos;
    for (const P3& p : s.pos) pos.insert(pos.end(), {float(p.x), float(p.y), float(p.z)});
    std::vector<unsigned> indices;
    for (const auto& t : s.tris) indices.insert(indices.end(), t.begin(), t.end());
    if (faces * 3 >= indices.size()) return s;
    std::vector<unsigned> out(indices.size());
    const size_t n = meshopt_simplify(out.data(), indices.data(), indices.size(), pos.data(), s.pos.size(),
                                      3 * sizeof(float), faces * 3, 1.0f, 0, nullptr);
    Shape r;
    r.pos = s.pos;
    for (size_t i = 0; i + 2 < n; i += 3)
        r.tris.push_back({int(out[i]), int(out[i + 1]), int(out[i + 2])});
    return r;
}

// Face counts of the prey's part meshes per level (the game's model table).
constexpr size_t kPreyFaces[kPreyMeshParts][kPreyMeshLevels] = {
    {510, 366, 252, 228, 96, 14},       {7472, 5673, 4541, 3321, 2041, 801},
    {1645, 1286, 1041, 549, 293, 103},  {1254, 1003, 786, 520, 342, 145},
    {1606, 1354, 1112, 660, 363, 104},  {1208, 956, 772, 544, 208, 96}};
constexpr double kPreyScale[kPreyMeshParts] = {1.6, 5.7, 1.2, 1.29, 4.0, 2.34};

// One line per file: its counts, index width, and its bounding box in the
// units it is drawn in (the mesh's own box times the list's scale).
void report(const std::string& file, const Mesh& m, double listScale) {
    double lo[3] = {1e30, 1e30, 1e30}, hi[3] = {-1e30, -1e30, -1e30};
    for (size_t i = 0; i < m.vertices.size(); ++i) {
        lo[i % 3] = std::min(lo[i % 3], m.vertices[i] * listScale);
        hi[i % 3] = std::max(hi[i % 3], m.vertices[i] * listScale);
    }
    int widest = 0;
    for (const int32_t index : m.faces) widest = std::max(widest, static_cast<int>(index));
    std::printf("%-14s %5zu faces %5zu vertices %5zu normals %2d-bit  x %6.3f..%6.3f  y %6.3f..%6.3f"
                "  z %6.3f..%6.3f  (drawn at scale %.2f)\n",
                file.c_str(), m.faces.size() / 9, m.vertices.size() / 3, m.normals.size() / 3,
                widest <= 255 ? 8 : 16, lo[0], hi[0], lo[1], hi[1], lo[2], hi[2], listScale);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: gen_meshes <output folder>\n");
        return 2;
    }
    const std::string dir = argv[1];
    // Each builder works in its part's own drawing frame (the tracks' and the
    // waist's are turned 90 degrees against the fighter's); the lamp's face
    // count is free, and this one keeps a corridor of lamps cheap.
    const std::vector<Model> fighter = {
        {"fighter0.msh", fighterHull, 5660, 3.0},   {"fighter1.msh", fighterGun, 2576, 2.94},
        {"fighter2.msh", fighterMissile, 240, 0.7}, {"fighter3.msh", fighterHead, 2498, 0.85},
        {"fighter4.msh", fighterWaist, 3476, 3.0},  {"fighter5.msh", fighterTracks, 1280, 3.0},
        {kLampMeshFile, wallLamp, 1800, 1.0},
    };
    int failures = 0;
    auto emit = [&](const std::string& file, const Mesh& m, double listScale) {
        report(file, m, listScale);
        if (!writeFile(dir + "/" + file, encodeMesh(m))) {
            std::fprintf(stderr, "gen_meshes: cannot write %s/%s\n", dir.c_str(), file.c_str());
            ++failures;
        }
    };
    for (const Model& model : fighter)
        emit(model.file, toMesh(tuned(model.build, model.faces), scale(1.0 / model.listScale)), model.listScale);

    const Builder preyParts[kPreyMeshParts] = {preyHips, preyBody, preyThigh, preyShin, preyMetatarsus, preyFoot};
    for (int part = 0; part < kPreyMeshParts; ++part) {
        // Part 4's list turns it by -90 degrees about y before its scale.
        Affine toMeshFrame = scale(1.0 / kPreyScale[part]);
        if (part == 4) toMeshFrame = toMeshFrame * rotate(1, 90);
        const Shape level0 = tuned(preyParts[part], kPreyFaces[part][0]);
        for (int level = 0; level < kPreyMeshLevels; ++level) {
            const Shape s = level == 0 ? level0 : simplified(level0, kPreyFaces[part][level]);
            emit("prey" + std::to_string(part) + "_" + std::to_string(level) + ".msh", toMesh(s, toMeshFrame),
                 kPreyScale[part]);
        }
    }
    return failures ? 1 : 0;
}
