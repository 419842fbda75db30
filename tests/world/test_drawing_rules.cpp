// test_drawing_rules.cpp -- the GL-free rules of what is drawn: the prey's
// generated parts fit the skeleton of the pose file in every pose at every
// level (the drawing's chain of translations, turns and scales run in plain
// arithmetic), the missile racks, the flame's alpha and the explosion's
// boxes.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
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
            for (int j = 0; j < 4; ++j)
                r.m[i][j] = m[i][0] * b.m[0][j] + m[i][1] * b.m[1][j] + m[i][2] * b.m[2][j] + m[i][3] * b.m[3][j];
        return r;
    }
    Vec3 apply(double x, double y, double z) const {
        return {float(m[0][0] * x + m[0][1] * y + m[0][2] * z + m[0][3]),
                float(m[1][0] * x + m[1][1] * y + m[1][2] * z + m[1][3]),
                float(m[2][0] * x + m[2][1] * y + m[2][2] * z + m[2][3])};
    }
};

// Scales by s, then moves by v.
Matrix affine(double s, const Vec3& v = {}) {
    Matrix t;
    t.m[0][0] = t.m[1][1] = t.m[2][2] = s;
    t.m[0][3] = v.x, t.m[1][3] = v.y, t.m[2][3] = v.z;
    return t;
}

// glRotatef: `degrees` about the axis (x, y, z), which it normalises.
Matrix rotate(double degrees, double x, double y, double z) {
    Matrix r;
    const double len = std::sqrt(x * x + y * y + z * z);
    if (len == 0) return r;
    x /= len, y /= len, z /= len;
    const double a = degrees * 3.14159265358979323846 / 180.0, c = std::cos(a), s = std::sin(a);
    const double t[3][4] = {{x * x * (1 - c) + c, x * y * (1 - c) - z * s, x * z * (1 - c) + y * s, 0},
                            {y * x * (1 - c) + z * s, y * y * (1 - c) + c, y * z * (1 - c) - x * s, 0},
                            {x * z * (1 - c) - y * s, y * z * (1 - c) + x * s, z * z * (1 - c) + c, 0}};
    std::memcpy(r.m, t, sizeof t);
    return r;
}

// A joint's frame in its parent's: moved by its offset, then turned.
Matrix joint(const PoseJoint& j) { return affine(1, j.offset) * rotate(j.angle, j.axis.x, j.axis.y, j.axis.z); }

// The list transform of each prey mesh: its scale, and part 4's turn first.
constexpr double kPartScale[kPreyMeshParts] = {1.6, 5.7, 1.2, 1.29, 4.0, 2.34};
Matrix listTransform(int mesh) {
    return mesh == 4 ? rotate(-90, 0, 1, 0) * affine(kPartScale[mesh]) : affine(kPartScale[mesh]);
}

std::vector<Vec3> placed(const Mesh& mesh, const Matrix& m) {
    std::vector<Vec3> out;
    for (size_t i = 0; i + 2 < mesh.vertices.size(); i += 3)
        out.push_back(m.apply(mesh.vertices[i], mesh.vertices[i + 1], mesh.vertices[i + 2]));
    return out;
}

// Distance from p to the nearest placed vertex of a part: an upper bound on
// the distance to its surface, close enough as the parts' vertices are dense.
float nearest(const std::vector<Vec3>& points, const Vec3& p) {
    float best = 1e30f;
    for (const Vec3& q : points) best = std::min(best, std::hypot(q.x - p.x, q.y - p.y, q.z - p.z));
    return best;
}

// The lowest and highest z of placed points, and their widest reach off the z axis.
struct Extent { float low = 1e30f, high = -1e30f, wide = 0; };
Extent extent(const std::vector<Vec3>& points, Extent e = {}) {
    for (const Vec3& q : points) e = {std::min(e.low, q.z), std::max(e.high, q.z), std::max(e.wide, std::hypot(q.x, q.y))};
    return e;
}

}  // namespace

// Prey placed at the origin, heading 0, upper body unturned: the frames of
// the drawing, in world units.
TEST(PreyModels, PartsFitTheSkeletonInEveryPoseAtEveryLevel) {
    PreyPoseSet poses;
    ASSERT_TRUE(readPreyPoses(MAZE_DATA_DIR "/PreyPoses.dat", poses)) << "run the build first";
    for (int level = 0; level < kPreyMeshLevels; ++level) {
        Mesh meshes[kPreyMeshParts];
        for (int part = 0; part < kPreyMeshParts; ++part)
            ASSERT_TRUE(readMeshFile((MAZE_DATA_DIR "/prey" + std::to_string(part) + "_" + std::to_string(level) + ".msh").c_str(),
                                     meshes[part])) << "part " << part << ", level " << level;
        for (int p = 0; p < kPreyPoseCount; ++p) {
            SCOPED_TRACE("level " + std::to_string(level) + ", pose " + std::to_string(p));
            const PoseJoint* j = poses.poses[p];
            const Matrix hips = affine(0.5) * rotate(90, 0, 0, 1) * affine(1, Vec3{0, 0, j[0].offset.z});
            const std::vector<Vec3> hipPoints = placed(meshes[0], hips * listTransform(0));
            const std::vector<Vec3> bodyPoints = placed(meshes[1], hips * joint(j[1]) * listTransform(1));

            // The upper body rests on the hips: its lowest point a little
            // inside their top (0.08 at most), never floating above it (0.01).
            Extent all = extent(bodyPoints);
            EXPECT_NEAR(all.low, extent(hipPoints).high - 0.035f, 0.045f);

            float lowestSole = 1e30f, lowestOther = 1e30f;
            for (int first : {2, 6}) {
                Matrix frame = hips;
                std::vector<Vec3> previous = hipPoints;
                for (int k = first; k < first + 4; ++k) {
                    frame = frame * joint(j[k]);
                    const int mesh = k - first + 2;
                    const std::vector<Vec3> points = placed(meshes[mesh], frame * listTransform(mesh));
                    const Vec3 joint = frame.apply(0, 0, 0);
                    // Each part reaches the joint the next one hangs from,
                    // and each joint is covered by the part hanging from it:
                    // within 0.16, plus 0.01 a level as the simplified levels
                    // keep fewer vertices, farther apart, on the same surface.
                    EXPECT_LT(nearest(previous, joint), 0.16f + 0.01f * level) << "part " << (k == first ? 0 : k - 1) << " to joint " << k;
                    EXPECT_LT(nearest(points, joint), 0.16f + 0.01f * level) << "part " << k << " at its joint";
                    float& low = mesh == 5 ? lowestSole : lowestOther;
                    low = std::min(low, extent(points).low);
                    all = extent(points, all);
                    previous = points;
                }
            }
            // A planted sole stands on the floor, and nothing sinks through it.
            // The simplified levels may shave a little off the surfaces.
            EXPECT_NEAR(lowestSole, 0.0f, level == 0 ? 0.02f : 0.05f);
            EXPECT_GT(lowestOther, lowestSole);
            // The creature fits the collision size the rules give it.
            EXPECT_NEAR(all.high, 2.7f, 0.3f);
            EXPECT_LE(all.wide, 1.5f);
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
    // {asked, returned, shown in rack 0, in rack 1, the second's first place}:
    // 14 fills the first rack and the second's first place; only 26 places exist.
    for (const auto& c : {std::array{26, 26, 13, 13, 1}, std::array{14, 14, 13, 1, 1}, std::array{-3, 0, 0, 0, 0},
                          std::array{1000, 26, 13, 13, 1}})
        EXPECT_EQ((std::array{fillMissileRacks(c[0], filled), shown(0), shown(1), int{filled[1][0][0]}}),
                  (std::array{c[1], c[2], c[3], c[4]}));
}

TEST(DrawingRules, FlameAlphaIsOpaqueOnTheAxisAndFadesOutward) {
    const float spread[3] = {0.1f, 0.1f, 0.4f};
    const auto alpha = [&](float x, float z) { return flameAlpha(Vec3{x, 0.0f, z}, spread, 0.0f); };
    EXPECT_GE(alpha(0, 0), 1.0f) << "on the axis at its foot: opaque";
    // Fainter higher up and farther out.
    EXPECT_GT(alpha(0.05f, 0.4f), std::max(alpha(0.05f, 0.6f), alpha(0.1f, 0.4f)));
    EXPECT_LT(alpha(0.5f, 1.0f), 0.0f) << "far out: invisible";
}

// A tumbling piece is a closed box whatever its attitude: by the divergence
// theorem, a third of the sum of (corner . normal) x area over its faces is
// its volume only if no face is missing, doubled or has a normal pointing in.
TEST(DrawingRules, ExplosionBoxesStayClosedBoxesWhenTurned) {
    const auto dot = [](Vec3 a, Vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; };
    const auto sub = [](Vec3 a, Vec3 b) { return Vec3{a.x - b.x, a.y - b.y, a.z - b.z}; };
    const auto cross = [](Vec3 a, Vec3 b) {
        return Vec3{a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
    };
    // GL's sense of turn: a quarter about +z takes +x to +y; the axis stays.
    const Vec3 y = applyTurn(axisTurn(90.0f, 0.0f, 0.0f, 2.0f), Vec3{1.0f, 0.0f, 0.0f});
    EXPECT_NEAR(y.x, 0.0f, 1e-6f);
    EXPECT_NEAR(y.y, 1.0f, 1e-6f);
    const Vec3 axis = applyTurn(axisTurn(137.0f, 0.3f, 0.9f, 0.2f), Vec3{0.3f, 0.9f, 0.2f});
    EXPECT_TRUE(std::fabs(axis.x - 0.3f) + std::fabs(axis.y - 0.9f) + std::fabs(axis.z - 0.2f) < 1e-5f);

    BoxTriangles box;
    makeBoxTriangles(0.3f, 0.2f, 0.1f, box);
    for (const Turn3& turn : {axisTurn(0.0f, 0.0f, 0.0f, 0.0f), axisTurn(137.0f, 0.3f, 0.9f, 0.2f)}) {
        double volume = 0.0;
        for (int t = 0; t < 16; ++t) {
            const Vec3 a = applyTurn(turn, box.corners[3 * t]), b = applyTurn(turn, box.corners[3 * t + 1]),
                       c = applyTurn(turn, box.corners[3 * t + 2]);
            const Vec3 n = applyTurn(turn, box.normals[t]), g = cross(sub(b, a), sub(c, a));
            const float area = 0.5f * std::sqrt(dot(g, g));
            ASSERT_GT(area, 0.0f) << "triangle " << t;
            EXPECT_NEAR(std::fabs(dot(g, n)) / (2.0f * area), 1.0f, 1e-4f) << "normal across triangle " << t;
            volume += dot(a, n) * area / 3.0;
        }
        EXPECT_NEAR(volume, 0.3 * 0.2 * 0.1, 1e-6);
    }
}
