// test_drawing_rules.cpp -- the GL-free rules of what is drawn: the prey's
// generated parts fit the skeleton of the pose file in every pose at every
// level (the drawing's chain of translations, turns and scales run in plain
// arithmetic), the missile racks, the glow ball's shells and the flame's
// alpha.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "prey/prey.h"
#include "render/render.h"
#include "world/world.h"

namespace {

// A 4 x 4 matrix acting on columns, composed the way GL composes: M = M * T.
struct Matrix {
    double m[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};

    Matrix operator*(const Matrix& b) const {
        Matrix r;
        for (int i = 0; i < 4; ++i)
            for (int j = 0; j < 4; ++j) {
                r.m[i][j] = 0;
                for (int k = 0; k < 4; ++k) r.m[i][j] += m[i][k] * b.m[k][j];
            }
        return r;
    }
    Vec3 apply(double x, double y, double z) const {
        return {float(m[0][0] * x + m[0][1] * y + m[0][2] * z + m[0][3]),
                float(m[1][0] * x + m[1][1] * y + m[1][2] * z + m[1][3]),
                float(m[2][0] * x + m[2][1] * y + m[2][2] * z + m[2][3])};
    }
    Vec3 origin() const { return apply(0, 0, 0); }
};

Matrix translate(double x, double y, double z) {
    Matrix t;
    t.m[0][3] = x;
    t.m[1][3] = y;
    t.m[2][3] = z;
    return t;
}
Matrix translate(const Vec3& v) { return translate(v.x, v.y, v.z); }

Matrix scale(double s) {
    Matrix t;
    for (int i = 0; i < 3; ++i) t.m[i][i] = s;
    return t;
}

// glRotatef: `degrees` about the axis (x, y, z), which it normalises.
Matrix rotate(double degrees, double x, double y, double z) {
    Matrix r;
    const double len = std::sqrt(x * x + y * y + z * z);
    if (len == 0) return r;
    x /= len, y /= len, z /= len;
    const double a = degrees * 3.14159265358979323846 / 180.0, c = std::cos(a), s = std::sin(a);
    const double t[3][3] = {{x * x * (1 - c) + c, x * y * (1 - c) - z * s, x * z * (1 - c) + y * s},
                            {y * x * (1 - c) + z * s, y * y * (1 - c) + c, y * z * (1 - c) - x * s},
                            {x * z * (1 - c) - y * s, y * z * (1 - c) + x * s, z * z * (1 - c) + c}};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) r.m[i][j] = t[i][j];
    return r;
}

Matrix rotate(const PoseJoint& j) { return rotate(j.angle, j.axis.x, j.axis.y, j.axis.z); }

// The list transform of each prey mesh: its scale, and part 4's turn first.
constexpr double kPartScale[kPreyMeshParts] = {1.6, 5.7, 1.2, 1.29, 4.0, 2.34};
Matrix listTransform(int mesh) {
    return mesh == 4 ? rotate(-90, 0, 1, 0) * scale(kPartScale[mesh]) : scale(kPartScale[mesh]);
}

std::vector<Vec3> placed(const Mesh& mesh, const Matrix& m) {
    std::vector<Vec3> out;
    for (size_t i = 0; i + 2 < mesh.vertices.size(); i += 3)
        out.push_back(m.apply(mesh.vertices[i], mesh.vertices[i + 1], mesh.vertices[i + 2]));
    return out;
}

float distance(const Vec3& a, const Vec3& b) {
    return std::sqrt((a.x - b.x) * (a.x - b.x) + (a.y - b.y) * (a.y - b.y) + (a.z - b.z) * (a.z - b.z));
}

Vec3 sub(const Vec3& a, const Vec3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
float dot(const Vec3& a, const Vec3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
Vec3 along(const Vec3& a, const Vec3& d, float t) { return {a.x + d.x * t, a.y + d.y * t, a.z + d.z * t}; }

// The point of triangle abc nearest to p (by the triangle's Voronoi regions).
Vec3 closestOnTriangle(const Vec3& p, const Vec3& a, const Vec3& b, const Vec3& c) {
    const Vec3 ab = sub(b, a), ac = sub(c, a), ap = sub(p, a);
    const float d1 = dot(ab, ap), d2 = dot(ac, ap);
    if (d1 <= 0 && d2 <= 0) return a;
    const Vec3 bp = sub(p, b);
    const float d3 = dot(ab, bp), d4 = dot(ac, bp);
    if (d3 >= 0 && d4 <= d3) return b;
    const float vc = d1 * d4 - d3 * d2;
    if (vc <= 0 && d1 >= 0 && d3 <= 0) return along(a, ab, d1 / (d1 - d3));
    const Vec3 cp = sub(p, c);
    const float d5 = dot(ab, cp), d6 = dot(ac, cp);
    if (d6 >= 0 && d5 <= d6) return c;
    const float vb = d5 * d2 - d1 * d6;
    if (vb <= 0 && d2 >= 0 && d6 <= 0) return along(a, ac, d2 / (d2 - d6));
    const float va = d3 * d6 - d5 * d4;
    if (va <= 0 && d4 - d3 >= 0 && d5 - d6 >= 0) return along(b, sub(c, b), (d4 - d3) / ((d4 - d3) + (d5 - d6)));
    const float denom = 1.0f / (va + vb + vc);
    return along(along(a, ab, vb * denom), ac, vc * denom);
}

// Distance from p to the surface of a placed mesh (its triangles).
float nearest(const Mesh& mesh, const std::vector<Vec3>& points, const Vec3& p) {
    float best = 1e30f;
    for (size_t f = 0; f + 8 < mesh.faces.size(); f += 9) {
        const Vec3 q = closestOnTriangle(p, points[mesh.faces[f]], points[mesh.faces[f + 1]],
                                         points[mesh.faces[f + 2]]);
        best = std::min(best, distance(q, p));
    }
    return best;
}

float lowest(const std::vector<Vec3>& points) {
    float z = 1e30f;
    for (const Vec3& q : points) z = std::min(z, q.z);
    return z;
}

float highest(const std::vector<Vec3>& points) {
    float z = -1e30f;
    for (const Vec3& q : points) z = std::max(z, q.z);
    return z;
}

}  // namespace

// Prey placed at the origin, heading 0, upper body unturned: the frames of
// the drawing, in world units.
TEST(PreyModels, PartsFitTheSkeletonInEveryPoseAtEveryLevel) {
    PreyPoseSet poses;
    ASSERT_TRUE(readPreyPoses(MAZE_DATA_DIR "/PreyPoses.dat", poses)) << "run the build first";
    for (int level = 0; level < kPreyMeshLevels; ++level) {
        Mesh meshes[kPreyMeshParts];
        for (int part = 0; part < kPreyMeshParts; ++part) {
            const std::string file = std::string(MAZE_DATA_DIR) + "/prey" + std::to_string(part) + "_" +
                                     std::to_string(level) + ".msh";
            ASSERT_TRUE(readMeshFile(file.c_str(), meshes[part])) << file;
        }
        // The simplified levels may shave a little off the surfaces.
        const float slack = level == 0 ? 0.0f : 0.03f;
        for (int p = 0; p < kPreyPoseCount; ++p) {
            SCOPED_TRACE("level " + std::to_string(level) + ", pose " + std::to_string(p));
            const PoseJoint* j = poses.poses[p];
            const Matrix base = rotate(0, 0, 0, 1) * scale(0.5) * rotate(90, 0, 0, 1);
            const Matrix hips = base * translate(0, 0, j[0].offset.z);
            const std::vector<Vec3> hipPoints = placed(meshes[0], hips * listTransform(0));
            const Matrix body = hips * translate(j[1].offset) * rotate(j[1]);
            const std::vector<Vec3> bodyPoints = placed(meshes[1], body * listTransform(1));

            // The upper body rests on the hips: its lowest point a little
            // inside their top, never floating above it.
            const float hipTop = highest(hipPoints);
            EXPECT_LE(lowest(bodyPoints), hipTop + 0.01f);
            EXPECT_GE(lowest(bodyPoints), hipTop - 0.08f);

            float lowestSole = 1e30f, lowestOther = 1e30f, top = highest(bodyPoints);
            float widest = 0;
            for (int first : {2, 6}) {
                Matrix frame = hips;
                const Mesh* previousMesh = &meshes[0];
                std::vector<Vec3> previous = hipPoints;
                for (int k = first; k < first + 4; ++k) {
                    frame = frame * translate(j[k].offset) * rotate(j[k]);
                    const int mesh = k - first + 2;
                    const std::vector<Vec3> points = placed(meshes[mesh], frame * listTransform(mesh));
                    const Vec3 joint = frame.origin();
                    // Each part reaches the joint the next one hangs from,
                    // and each joint is covered by the part hanging from it.
                    const int previousPart = k == first ? 0 : k - 1;
                    EXPECT_LT(nearest(*previousMesh, previous, joint), 0.16f)
                        << "part " << previousPart << " to joint " << k;
                    EXPECT_LT(nearest(meshes[mesh], points, joint), 0.16f) << "part " << k << " at its joint";
                    if (mesh == 5)
                        lowestSole = std::min(lowestSole, lowest(points));
                    else
                        lowestOther = std::min(lowestOther, lowest(points));
                    top = std::max(top, highest(points));
                    for (const Vec3& q : points) widest = std::max(widest, std::hypot(q.x, q.y));
                    previous = points;
                    previousMesh = &meshes[mesh];
                }
            }
            // A planted sole stands on the floor, and nothing sinks through it.
            EXPECT_NEAR(lowestSole, 0.0f, 0.02f + slack);
            EXPECT_GT(lowestOther, lowestSole);
            // The creature fits the collision size the rules give it.
            EXPECT_LE(top, 3.0f);
            EXPECT_GE(top, 2.4f);
            for (const Vec3& q : bodyPoints) widest = std::max(widest, std::hypot(q.x, q.y));
            EXPECT_LE(widest, 1.5f);
        }
    }
}

TEST(DrawingRules, MissileRacksFillExistingPlacesInReadingOrder) {
    bool filled[2][kRackRows][kRackPlaces];
    const auto shown = [&](int rack) {
        int n = 0;
        for (int row = 0; row < kRackRows; ++row)
            for (int place = 0; place < kRackPlaces; ++place) {
                EXPECT_TRUE(!filled[rack][row][place] || kRackPattern[row][place]) << "a place that does not exist";
                n += filled[rack][row][place];
            }
        return n;
    };
    EXPECT_EQ(fillMissileRacks(26, filled), 26);
    EXPECT_EQ(shown(0) + shown(1), 26);
    // 14: the first rack full, the second shows one, in its first place.
    EXPECT_EQ(fillMissileRacks(14, filled), 14);
    EXPECT_EQ(shown(0), 13);
    EXPECT_EQ(shown(1), 1);
    EXPECT_TRUE(filled[1][0][0]);
    EXPECT_EQ(fillMissileRacks(-3, filled), 0);
    EXPECT_EQ(shown(0) + shown(1), 0);
    EXPECT_EQ(fillMissileRacks(1000, filled), 26) << "only 26 places exist";
}

TEST(DrawingRules, GlowBallShellsFadeFromWarmToRedAndClear) {
    randomSeed(3);
    makeGlowBall(glowBall);
    for (int k = 1; k <= kGlowShells; ++k) {
        const GlowShell& s = glowBall.shells[k - 1];
        EXPECT_NEAR(s.colour[3], 1.0f - k * 0.05f, 1e-5f);
        for (float o : {s.offset.x, s.offset.y, s.offset.z}) EXPECT_LE(std::fabs(o), 0.02f + 1e-6f);
        if (k <= 14) {
            EXPECT_FLOAT_EQ(s.colour[1], 0.8f) << "shell " << k;
        }
    }
    const GlowShell& outer = glowBall.shells[kGlowShells - 1];
    EXPECT_NEAR(outer.colour[0], 1.0f, 1e-6f);
    EXPECT_NEAR(outer.colour[1], 0.0f, 1e-6f);
    EXPECT_NEAR(outer.colour[3], 0.0f, 1e-6f);
}

TEST(DrawingRules, FlameAlphaIsOpaqueOnTheAxisAndFadesOutward) {
    const float spread[3] = {0.1f, 0.1f, 0.4f};
    // On the axis at height 0: k = -0.3, more than opaque.
    EXPECT_NEAR(flameAlpha(Vec3{}, spread, 0.0f), 1.0f + 0.3f / 1.44f, 1e-5f);
    const Vec3 high{0.05f, 0.0f, 0.4f}, higher{0.05f, 0.0f, 0.6f}, wide{0.1f, 0.0f, 0.4f};
    EXPECT_GT(flameAlpha(high, spread, 0.0f), flameAlpha(higher, spread, 0.0f));
    EXPECT_GT(flameAlpha(high, spread, 0.0f), flameAlpha(wide, spread, 0.0f));
    EXPECT_LT(flameAlpha(Vec3{0.5f, 0.0f, 1.0f}, spread, 0.0f), 0.0f) << "far out: invisible";
}
