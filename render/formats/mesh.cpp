// mesh.cpp -- model mesh files (".msh"): the reader the models come through
// and the writer the mesh generator uses.
//
// File layout, little-endian, nothing between or after the parts:
//
//   offset  size  field
//   0       4     magic "MZMS"
//   4       2     u16 version, 1
//   6       2     u16 index width in bits, 8 or 16
//   8       4     u32 vertex count V
//   12      4     u32 normal count N
//   16      4     u32 face count F
//   20      12 V  vertices: x, y, z as IEEE-754 f32
//           12 N  normals: x, y, z as f32
//           9 F w faces: vertex index of corners 1..3, normal index of
//                 corners 1..3, three unused; w = 1 (u8) or 2 (signed i16)
//
// A file is accepted only when its length is exactly what the counts say,
// every number is finite, every vertex and normal index lies inside its
// array, and no index (the unused three included) is negative. The unused
// indices are kept as read and point at nothing.
#include <cmath>
#include <cstdio>
#include <cstring>

#include "base/bytes.h"
#include "base/log.h"
#include "render/render.h"
#include "base/file_read.h"

namespace {

constexpr uint8_t kMeshMagic[4] = {'M', 'Z', 'M', 'S'};
constexpr uint16_t kMeshVersion = 1;
constexpr size_t kMeshHeaderSize = 20;
constexpr int kIndicesPerFace = 9;

std::string describe(const char* format, long long a, long long b = 0, long long c = 0) {
    char text[200];
    std::snprintf(text, sizeof text, format, a, b, c);
    return text;
}

// Reads `count` xyz triples of f32 from p into `out`; false (with the reason)
// at the first non-finite number.
bool readTriples(const uint8_t* p, uint32_t count, const char* what, std::vector<float>& out,
                 std::string& error) {
    out.resize(static_cast<size_t>(count) * 3);
    for (size_t i = 0; i < out.size(); ++i) {
        out[i] = getLeF32(p + 4 * i);
        if (!std::isfinite(out[i])) {
            error = std::string(what) + describe(" %lld has a non-finite coordinate",
                                                 static_cast<long long>(i / 3));
            return false;
        }
    }
    return true;
}

}  // namespace

bool decodeMesh(const uint8_t* data, size_t size, Mesh& out, std::string& error) {
    if (!data) size = 0;
    if (size < kMeshHeaderSize) {
        error = describe("%lld bytes is shorter than the %lld-byte header",
                         static_cast<long long>(size), static_cast<long long>(kMeshHeaderSize));
        return false;
    }
    if (std::memcmp(data, kMeshMagic, sizeof kMeshMagic) != 0) {
        error = "the file does not start with the mesh mark \"MZMS\"";
        return false;
    }
    const uint16_t version = getLe16(data + 4);
    if (version != kMeshVersion) {
        error = describe("version %lld; this game reads version %lld", version, kMeshVersion);
        return false;
    }
    const uint16_t width = getLe16(data + 6);
    if (width != 8 && width != 16) {
        error = describe("index width %lld; only 8 and 16 are allowed", width);
        return false;
    }
    const uint32_t vertexCount = getLe32(data + 8);
    const uint32_t normalCount = getLe32(data + 12);
    const uint32_t faceCount = getLe32(data + 16);
    // Counts are at most 2^32 - 1, so these products cannot overflow 64 bits.
    const uint64_t indexBytes = width / 8;
    const uint64_t expected = kMeshHeaderSize + 12ull * vertexCount + 12ull * normalCount +
                              kIndicesPerFace * indexBytes * faceCount;
    if (expected != size) {
        error = describe("%lld vertices, %lld normals and %lld faces", vertexCount, normalCount,
                         faceCount) +
                describe(" need %lld bytes; the file has %lld", static_cast<long long>(expected),
                         static_cast<long long>(size));
        return false;
    }

    // Parse into temporaries; `out` changes only once everything checked out.
    Mesh mesh;
    mesh.indexWidth = width;
    const uint8_t* p = data + kMeshHeaderSize;
    if (!readTriples(p, vertexCount, "vertex", mesh.vertices, error)) return false;
    p += 12ull * vertexCount;
    if (!readTriples(p, normalCount, "normal", mesh.normals, error)) return false;
    p += 12ull * normalCount;

    mesh.faces.resize(static_cast<size_t>(faceCount) * kIndicesPerFace);
    for (size_t i = 0; i < mesh.faces.size(); ++i) {
        const int32_t index = width == 8 ? static_cast<int32_t>(p[i])
                                         : static_cast<int32_t>(static_cast<int16_t>(getLe16(p + 2 * i)));
        const long long face = static_cast<long long>(i / kIndicesPerFace);
        const int slot = static_cast<int>(i % kIndicesPerFace);
        if (index < 0) {
            error = describe("face %lld has the negative index %lld", face, index);
            return false;
        }
        if (slot < 3 && static_cast<uint32_t>(index) >= vertexCount) {
            error = describe("face %lld uses vertex %lld of %lld", face, index, vertexCount);
            return false;
        }
        if (slot >= 3 && slot < 6 && static_cast<uint32_t>(index) >= normalCount) {
            error = describe("face %lld uses normal %lld of %lld", face, index, normalCount);
            return false;
        }
        mesh.faces[i] = index;
    }
    out = std::move(mesh);
    return true;
}

std::vector<uint8_t> encodeMesh(const Mesh& mesh, bool force16) {
    // A mesh that the format cannot hold (ragged arrays, an index that is
    // negative or beyond the signed 16-bit range) encodes to nothing.
    if (mesh.vertices.size() % 3 || mesh.normals.size() % 3 || mesh.faces.size() % kIndicesPerFace)
        return {};
    const size_t vertexCount = mesh.vertices.size() / 3;
    const size_t normalCount = mesh.normals.size() / 3;
    const size_t faceCount = mesh.faces.size() / kIndicesPerFace;
    if (vertexCount > UINT32_MAX || normalCount > UINT32_MAX || faceCount > UINT32_MAX) return {};
    bool fits8 = !force16;
    for (const int32_t index : mesh.faces) {
        if (index < 0 || index > INT16_MAX) return {};
        if (index > UINT8_MAX) fits8 = false;
    }
    const int width = fits8 ? 8 : 16;

    std::vector<uint8_t> out(kMeshMagic, kMeshMagic + sizeof kMeshMagic);
    out.reserve(kMeshHeaderSize + 4 * (mesh.vertices.size() + mesh.normals.size()) +
                mesh.faces.size() * (width / 8));
    appendLe16(out, kMeshVersion);
    appendLe16(out, static_cast<uint16_t>(width));
    appendLe32(out, static_cast<uint32_t>(vertexCount));
    appendLe32(out, static_cast<uint32_t>(normalCount));
    appendLe32(out, static_cast<uint32_t>(faceCount));
    for (const float v : mesh.vertices) appendLeF32(out, v);
    for (const float n : mesh.normals) appendLeF32(out, n);
    for (const int32_t index : mesh.faces) {
        if (width == 8)
            out.push_back(static_cast<uint8_t>(index));
        else
            appendLe16(out, static_cast<uint16_t>(index));
    }
    return out;
}

bool readMeshFile(const char* fileName, Mesh& out) {
    out = Mesh{};
    std::vector<uint8_t> bytes;
    std::string error;
    const bool read =
        readDataFile(fileName, static_cast<size_t>(kMaxMeshFileSize), bytes, error) == FileRead::Read;
    Mesh mesh;
    if (read && decodeMesh(bytes.data(), bytes.size(), mesh, error)) {
        out = std::move(mesh);
        return true;
    }
    logLine(LogLevel::Error, "%s: not a usable mesh: %s; model not drawn", fileName, error.c_str());
    return false;
}
