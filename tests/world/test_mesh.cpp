// test_mesh.cpp -- the model mesh reader and writer: the two index widths
// carry the same triangles, and every kind of broken file is refused whole.
#include <gtest/gtest.h>

#include <cstring>
#include <limits>
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
    m.faces = {0, 2, 1, 0, 0, 0, 0, 0, 0, 0, 1, 3, 1, 1, 1, 0, 0, 0,
               0, 3, 2, 2, 2, 2, 0, 0, 0, 1, 2, 3, 3, 3, 3, 0, 0, 0};
    return m;
}

// A strip of `n` quads (2n triangles) whose indices pass 255 when n is large.
Mesh strip(int n) {
    Mesh m;
    for (int i = 0; i <= n; ++i)
        for (int side = 0; side < 2; ++side) m.vertices.insert(m.vertices.end(), {float(i), float(side), 0});
    m.normals = {0, 0, 1};
    for (int i = 0; i < n; ++i) {
        const int a = 2 * i, b = a + 1, c = a + 2, d = a + 3;
        m.faces.insert(m.faces.end(), {a, c, b, 0, 0, 0, 0, 0, 0});
        m.faces.insert(m.faces.end(), {b, c, d, 0, 0, 0, 0, 0, 0});
    }
    return m;
}

// The triangles a list built from `m` would draw: per corner, normal then vertex.
std::vector<float> drawn(const Mesh& m) {
    std::vector<float> out;
    for (size_t f = 0; f < m.faces.size(); f += 9)
        for (int k = 0; k < 3; ++k) {
            const int v = m.faces[f + k], n = m.faces[f + 3 + k];
            out.insert(out.end(), {m.normals[3 * n], m.normals[3 * n + 1], m.normals[3 * n + 2],
                                   m.vertices[3 * v], m.vertices[3 * v + 1], m.vertices[3 * v + 2]});
        }
    return out;
}

bool decode(const Bytes& b, Mesh& m, std::string& error) { return decodeMesh(b.data(), b.size(), m, error); }

void putLe(Bytes& b, size_t at, uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) b.at(at + i) = static_cast<uint8_t>(v >> (8 * i));
}

void putFloat(Bytes& b, size_t at, float f) {
    uint32_t bits;
    std::memcpy(&bits, &f, 4);
    putLe(b, at, bits, 4);
}

}  // namespace

TEST(Mesh, EightAndSixteenBitFilesHoldTheSameTriangles) {
    for (const Mesh& source : {tetrahedron(), strip(3)}) {
        const Bytes narrow = encodeMesh(source);
        const Bytes wide = encodeMesh(source, true);
        ASSERT_FALSE(narrow.empty());
        EXPECT_EQ(wide.size() - narrow.size(), source.faces.size());  // one more byte per index
        Mesh a, b;
        std::string error;
        ASSERT_TRUE(decode(narrow, a, error)) << error;
        ASSERT_TRUE(decode(wide, b, error)) << error;
        EXPECT_EQ(a.indexWidth, 8);
        EXPECT_EQ(b.indexWidth, 16);
        EXPECT_EQ(drawn(a), drawn(source));
        EXPECT_EQ(drawn(b), drawn(source));
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
    struct Case {
        const char* what;
        Bytes file;
    };
    std::vector<Case> cases;
    auto edited = [&](const char* what, const Bytes& base, auto edit) {
        Bytes b = base;
        edit(b);
        cases.push_back({what, b});
    };
    edited("empty", good8, [](Bytes& b) { b.clear(); });
    edited("header cut", good8, [](Bytes& b) { b.resize(kHeader - 1); });
    edited("magic", good8, [](Bytes& b) { b[0] = 'X'; });
    edited("version", good8, [](Bytes& b) { b[4] = 2; });
    edited("width 12", good8, [](Bytes& b) { b[6] = 12; });
    edited("one byte short", good8, [](Bytes& b) { b.pop_back(); });
    edited("one byte over", good8, [](Bytes& b) { b.push_back(0); });
    edited("vertex count too big", good8, [](Bytes& b) { putLe(b, 8, 5, 4); });
    edited("huge face count", good8, [](Bytes& b) { putLe(b, 16, 0xFFFFFFFF, 4); });
    edited("huge counts wrapping", good8, [](Bytes& b) { putLe(b, 8, 0x80000000u, 4); putLe(b, 12, 0x80000000u, 4); });
    edited("width says 16, bytes are 8", good8, [](Bytes& b) { b[6] = 16; });
    edited("NaN vertex", good8, [&](Bytes& b) { putFloat(b, kHeader + 4, std::numeric_limits<float>::quiet_NaN()); });
    edited("infinite normal", good8, [&](Bytes& b) { putFloat(b, normals + 8, -std::numeric_limits<float>::infinity()); });
    edited("vertex index = count", good8, [&](Bytes& b) { b[faces8 + 1] = 4; });
    edited("normal index 255", good8, [&](Bytes& b) { b[faces8 + 9 + 5] = 255; });
    edited("negative 16-bit vertex", good16, [&](Bytes& b) { putLe(b, faces8 + 2, 0xFFFF, 2); });
    edited("negative 16-bit unused", good16, [&](Bytes& b) { putLe(b, faces8 + 2 * 8, 0x8000, 2); });
    edited("16-bit normal out of range", good16, [&](Bytes& b) { putLe(b, faces8 + 2 * 4, 300, 2); });
    for (const Case& c : cases) {
        Mesh m = strip(1);
        const std::vector<float> before = drawn(m);
        std::string error;
        EXPECT_FALSE(decode(c.file, m, error)) << c.what;
        EXPECT_FALSE(error.empty()) << c.what;
        EXPECT_EQ(drawn(m), before) << c.what;
    }
    // The unused three may hold anything non-negative; they point at nothing.
    Bytes unused = good16;
    putLe(unused, faces8 + 2 * 7, 30000, 2);
    Mesh m;
    std::string error;
    EXPECT_TRUE(decode(unused, m, error)) << error;
    EXPECT_EQ(m.faces[7], 30000);
    // A null pointer is an empty file, not a crash.
    EXPECT_FALSE(decodeMesh(nullptr, 100, m, error));
}
