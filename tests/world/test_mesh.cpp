// test_mesh.cpp -- the model mesh reader and writer: the two index widths
// carry the same triangles, and every kind of broken file is refused whole.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "render/render.h"
#include "tests/test_files.h"

namespace {

constexpr size_t kHeader = 20;

// A tetrahedron with one normal per face: 4 vertices, 4 normals, 4 faces.
Mesh tetrahedron() {
    Mesh m;
    m.vertices = {0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1};
    m.normals = {0, 0, -1, 0, -1, 0, -1, 0, 0, 0.577f, 0.577f, 0.577f};
    m.faces = {0, 2, 1, 0, 0, 0, 0, 0, 0, 0, 1, 3, 1, 1, 1, 0, 0, 0, 0, 3, 2, 2, 2, 2, 0, 0, 0, 1, 2, 3, 3, 3, 3, 0, 0, 0};
    return m;
}

// A strip of `n` quads (2n triangles) whose indices pass 255 when n is large.
Mesh strip(int n) {
    Mesh m;
    for (int i = 0; i < 2 * n + 2; ++i) m.vertices.insert(m.vertices.end(), {float(i / 2), float(i % 2), 0});
    m.normals = {0, 0, 1};
    for (int a = 0; a < 2 * n; a += 2)
        m.faces.insert(m.faces.end(), {a, a + 2, a + 1, 0, 0, 0, 0, 0, 0, a + 1, a + 2, a + 3, 0, 0, 0, 0, 0, 0});
    return m;
}

// The triangles a list built from `m` would draw: per corner and axis, normal then vertex.
std::vector<float> drawn(const Mesh& m) {
    std::vector<float> out;
    for (size_t f = 0; f < m.faces.size(); f += 9)
        for (int k = 0; k < 3; ++k)
            for (int c = 0; c < 3; ++c)
                out.insert(out.end(), {m.normals[3 * m.faces[f + 3 + k] + c], m.vertices[3 * m.faces[f + k] + c]});
    return out;
}

bool decode(const Bytes& b, Mesh& m, std::string& error) { return decodeMesh(b.data(), b.size(), m, error); }

// Writes the low `bytes` bytes of v at `at`, least significant first.
void putLe(Bytes& b, size_t at, uint32_t v, int bytes) { for (int i = 0; i < bytes; ++i) b.at(at + i) = uint8_t(v >> (8 * i)); }

// Returns `base` changed by `edit`.
Bytes edited(Bytes b, auto edit) { return edit(b), b; }

}  // namespace

TEST(Mesh, EightAndSixteenBitFilesHoldTheSameTriangles) {
    for (const Mesh& source : {tetrahedron(), strip(3)}) {
        const Bytes narrow = encodeMesh(source), wide = encodeMesh(source, true);
        EXPECT_EQ(wide.size() - narrow.size(), source.faces.size());  // one more byte per index
        Mesh a, b;
        std::string error;
        ASSERT_TRUE(decode(narrow, a, error) && decode(wide, b, error)) << error;
        EXPECT_EQ(std::pair(a.indexWidth, b.indexWidth), std::pair(8, 16));
        EXPECT_EQ(std::pair(drawn(a), drawn(b)), std::pair(drawn(source), drawn(source)));
        EXPECT_EQ(encodeMesh(a), narrow);  // the writer is the reader's inverse
    }
    // Past 255 only the 16-bit width can hold the indices, whatever is asked.
    const Mesh big = strip(200);
    Mesh back;
    std::string error;
    ASSERT_TRUE(decode(encodeMesh(big), back, error)) << error;
    EXPECT_EQ(back.indexWidth, 16);
    EXPECT_EQ(drawn(back), drawn(big));
}

TEST(Mesh, BrokenFilesAreRefusedAndLeaveTheMeshAlone) {
    const Bytes good8 = encodeMesh(tetrahedron());
    const Bytes good16 = encodeMesh(tetrahedron(), true);
    const size_t normals = kHeader + 4 * 12, faces8 = normals + 4 * 12;
    const std::pair<const char*, Bytes> cases[] = {
        {"empty", edited(good8, [](Bytes& b) { b.clear(); })},
        {"header cut", edited(good8, [](Bytes& b) { b.resize(kHeader - 1); })},
        {"magic", edited(good8, [](Bytes& b) { b[0] = 'X'; })},
        {"version", edited(good8, [](Bytes& b) { b[4] = 2; })},
        {"width 12", edited(good8, [](Bytes& b) { b[6] = 12; })},
        {"one byte short", edited(good8, [](Bytes& b) { b.pop_back(); })},
        {"one byte over", edited(good8, [](Bytes& b) { b.push_back(0); })},
        {"vertex count too big", edited(good8, [](Bytes& b) { putLe(b, 8, 5, 4); })},
        {"huge face count", edited(good8, [](Bytes& b) { putLe(b, 16, 0xFFFFFFFF, 4); })},
        {"huge counts wrapping", edited(good8, [](Bytes& b) { putLe(b, 8, 0x80000000u, 4); putLe(b, 12, 0x80000000u, 4); })},
        {"width says 16, bytes are 8", edited(good8, [](Bytes& b) { b[6] = 16; })},
        {"NaN vertex", edited(good8, [&](Bytes& b) { putLe(b, kHeader + 4, 0x7FC00000u, 4); })},
        {"infinite normal", edited(good8, [&](Bytes& b) { putLe(b, normals + 8, 0xFF800000u, 4); })},
        {"vertex index = count", edited(good8, [&](Bytes& b) { b[faces8 + 1] = 4; })},
        {"normal index 255", edited(good8, [&](Bytes& b) { b[faces8 + 9 + 5] = 255; })},
        {"negative 16-bit vertex", edited(good16, [&](Bytes& b) { putLe(b, faces8 + 2, 0xFFFF, 2); })},
        {"negative 16-bit unused", edited(good16, [&](Bytes& b) { putLe(b, faces8 + 2 * 8, 0x8000, 2); })},
        {"16-bit normal out of range", edited(good16, [&](Bytes& b) { putLe(b, faces8 + 2 * 4, 300, 2); })},
    };
    std::string error;
    for (const auto& [what, file] : cases) {
        Mesh m = strip(1);
        EXPECT_FALSE(decode(file, m, error)) << what;
        EXPECT_FALSE(error.empty()) << what;
        EXPECT_EQ(drawn(m), drawn(strip(1))) << what;
    }
    // The unused three may hold anything non-negative; they point at nothing.
    Mesh m;
    EXPECT_TRUE(decode(edited(good16, [&](Bytes& b) { putLe(b, faces8 + 2 * 7, 30000, 2); }), m, error)) << error;
    EXPECT_EQ(m.faces[7], 30000);
    // A null pointer is an empty file, not a crash.
    EXPECT_FALSE(decodeMesh(nullptr, 100, m, error));
    // A file over the limit, of any kind, is refused as a missing one is
    // (no model), before it is read whole, with one line naming the limit.
    const HostileFiles hostile("mesh");
    ASSERT_TRUE(hostile.made());
    const auto noModel = [](const std::string& path) {
        Mesh mesh = strip(1);
        return !readMeshFile(path.c_str(), mesh) && mesh.vertices.empty() && mesh.faces.empty();
    };
    expectRefusedInOneLine(hostile.oversized(), LogLevel::Error, std::to_string(kMaxMeshFileSize), noModel);
}
