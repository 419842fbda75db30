// effects_rules.cpp -- the GL-free part of the effects: the glow ball's
// shells, the flame's particle system and the explosion's flash. Every random
// fraction comes from the effects' generator, in a fixed order, so drawing
// never moves the rules' sequence. The explosion's boxes are built here too,
// so that a whole explosion goes to GL as one batch.
#include <cmath>

#include "render/render.h"

GlowBall glowBall;
FlameSystem flame;

namespace {

constexpr float kTwoPi = 6.28318530717958f;

}  // namespace

void makeGlowBall(GlowBall& ball) {
    ball = GlowBall{};
    const float size = ball.size;
    for (int k = 1; k <= kGlowShells; ++k) {
        GlowShell& shell = ball.shells[k - 1];
        // Centres scattered within +-0.2 of the size, so the shells shimmer.
        shell.offset.x = (2.0f * effectRandomFraction() - 1.0f) * size * 0.2f;
        shell.offset.y = (2.0f * effectRandomFraction() - 1.0f) * size * 0.2f;
        shell.offset.z = (2.0f * effectRandomFraction() - 1.0f) * size * 0.2f;
        shell.radius = static_cast<float>(k) * size * 0.05f;
        // The outer quarter (shells 15..20) fades from the inner colour to the
        // outer one; the small tolerance keeps shell 15 in it whatever the
        // rounding of its radius.
        const bool outer = shell.radius >= 0.75f * size - 1e-6f;
        for (int c = 0; c < 3; ++c)
            shell.colour[c] = outer ? ball.innerColour[c] +
                                          (ball.outerColour[c] - ball.innerColour[c]) * k * 0.05f
                                    : ball.innerColour[c];
        shell.colour[3] = 1.0f - shell.radius / size;
    }
}

void birthFlameRow(FlameSystem& fs) {
    const float* spread = fs.spread;
    for (int p = 0; p < kFlameParticles; ++p) {
        FlameParticle& n = fs.trail[p][0];
        const float r1 = effectRandomFraction() * spread[0];
        const float a1 = kTwoPi * effectRandomFraction();
        const float x0 = r1 * std::cos(a1), y0 = r1 * std::sin(a1);
        n.pos = Vec3{x0, y0, 0.0f};
        // Aimed from the birth point at a point of the disc spread[2] higher.
        const float r2 = effectRandomFraction() * spread[1];
        const float a2 = kTwoPi * effectRandomFraction();
        const float dx = r2 * std::cos(a2) - x0, dy = r2 * std::sin(a2) - y0, dz = spread[2];
        const float len = std::sqrt(dx * dx + dy * dy + dz * dz);
        n.dir = len > 0.0f ? Vec3{dx / len, dy / len, dz / len} : Vec3{0.0f, 0.0f, 1.0f};
        for (float& s : n.speed) s = effectRandomFraction() * spread[2] * 0.1f;
        for (float& u : n.unused) u = 0.0f;
        n.colour[0] = 1.0f;
        n.colour[1] = 0.7f;
        n.colour[2] = 0.3f;
        n.colour[3] = 1.0f;
    }
}

float flameAlpha(Vec3 pos, const float spread[3], float fraction) {
    const float u = pos.x / spread[0], v = pos.y / spread[0], q = pos.z / spread[2];
    const float d = std::sqrt(u * u + v * v);
    const float k = d < 0.3f && d < 2.0f * q ? 0.0f : q + 0.5f * d - 0.3f;
    // Divided by 1.44: fully transparent 1.44 (scaled) units out.
    return 1.0f - (1.0f + 0.2f * fraction) * k * 0.6944444444444444f;
}

FlameParticle advanceFlameParticle(const FlameParticle& p, const float spread[3]) {
    FlameParticle n = p;
    n.pos.x = p.pos.x + p.dir.x * p.speed[0];
    n.pos.y = p.pos.y + p.dir.y * p.speed[1];
    n.pos.z = p.pos.z + p.dir.z * p.speed[2];
    n.colour[3] = flameAlpha(n.pos, spread, effectRandomFraction());
    return n;
}

void setupFlame() {
    flame.spread[0] = 0.1f;
    flame.spread[1] = 0.1f;
    flame.spread[2] = 0.4f;
    birthFlameRow(flame);
    for (int p = 0; p < kFlameParticles; ++p)
        for (int a = 1; a < kFlameTrail; ++a) flame.trail[p][a] = flame.trail[p][0];
}

void stepFlame() {
    for (int p = 0; p < kFlameParticles; ++p) flame.previous[p] = flame.trail[p][0];
    birthFlameRow(flame);
    // Age by age: row a becomes the advance of the row one younger, as it
    // was before this step; `previous` carries that row along.
    for (int a = 1; a < kFlameTrail; ++a)
        for (int p = 0; p < kFlameParticles; ++p) {
            const FlameParticle kept = flame.trail[p][a];
            flame.trail[p][a] = advanceFlameParticle(flame.previous[p], flame.spread);
            flame.previous[p] = kept;
        }
}

bool explosionFlash(const Explosion& e, float emission[3]) {
    if (!(e.frame < e.lifetime / 2)) return false;
    if (e.frame <= 2) {
        // 1, 1/2, 1/3: a white flash fading over the first three drawings.
        const float level = 1.0f / static_cast<float>((e.frame > 0 ? e.frame : 0) + 1);
        emission[0] = emission[1] = emission[2] = level;
    } else {
        emission[0] = 0.8f;
        emission[1] = 0.1f;
        emission[2] = 0.1f;
    }
    return true;
}

Turn3 axisTurn(float degrees, float x, float y, float z) {
    Turn3 t;
    const float length = std::sqrt(x * x + y * y + z * z);
    if (!(length > 1.0e-4f)) return t;
    x /= length, y /= length, z /= length;
    const float radians = degrees * (kTwoPi / 360.0f);
    const float s = std::sin(radians), c = std::cos(radians), k = 1.0f - c;
    t.m[0][0] = x * x * k + c, t.m[0][1] = x * y * k - z * s, t.m[0][2] = x * z * k + y * s;
    t.m[1][0] = y * x * k + z * s, t.m[1][1] = y * y * k + c, t.m[1][2] = y * z * k - x * s;
    t.m[2][0] = z * x * k - y * s, t.m[2][1] = z * y * k + x * s, t.m[2][2] = z * z * k + c;
    return t;
}

Vec3 applyTurn(const Turn3& t, Vec3 v) {
    return Vec3{t.m[0][0] * v.x + t.m[0][1] * v.y + t.m[0][2] * v.z,
                t.m[1][0] * v.x + t.m[1][1] * v.y + t.m[1][2] * v.z,
                t.m[2][0] * v.x + t.m[2][1] * v.y + t.m[2][2] * v.z};
}

void makeBoxTriangles(float sx, float sy, float sz, BoxTriangles& out) {
    const float hx = sx * 0.5f, hy = sy * 0.5f, hz = sz * 0.5f;
    int c = 0, n = 0;
    for (int turn = 0; turn < 4; ++turn) {
        // Turned `turn + 1` quarters about z, exactly: the side lies at x = h
        // of the turned frame, spanning +-w in y.
        const float h = turn % 2 == 0 ? -hy : -hx;
        const float w = turn % 2 == 0 ? hx : hy;
        const auto turned = [turn](float x, float y, float z) {
            switch (turn) {
                case 0: return Vec3{-y, x, z};
                case 1: return Vec3{-x, -y, z};
                case 2: return Vec3{y, -x, z};
                default: return Vec3{x, y, z};
            }
        };
        const Vec3 side[4] = {turned(h, w, hz), turned(h, -w, hz), turned(h, -w, -hz), turned(h, w, -hz)};
        const Vec3 sideNormal = turned(-1.0f, 0.0f, 0.0f);
        const Vec3 corners[12] = {side[0], side[1], side[2], side[0], side[2], side[3],
                                  Vec3{0.0f, 0.0f, hz}, side[0], side[1],
                                  Vec3{0.0f, 0.0f, -hz}, side[2], side[3]};
        const Vec3 normals[4] = {sideNormal, sideNormal, Vec3{0.0f, 0.0f, 1.0f}, Vec3{0.0f, 0.0f, -1.0f}};
        for (const Vec3& v : corners) out.corners[c++] = v;
        for (const Vec3& v : normals) out.normals[n++] = v;
    }
}
