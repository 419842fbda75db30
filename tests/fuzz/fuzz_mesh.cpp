// fuzz_mesh.cpp -- the mesh reader on arbitrary bytes: it must refuse with a
// reason or decode a mesh whose every index lies inside its arrays, and a
// decoded mesh must come back the same through the writer.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "render/render.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Mesh mesh;
    std::string error;
    if (!decodeMesh(data, size, mesh, error)) {
        if (error.empty()) std::abort();
        return 0;
    }
    const size_t vertices = mesh.vertices.size() / 3, normals = mesh.normals.size() / 3;
    if (mesh.vertices.size() % 3 || mesh.normals.size() % 3 || mesh.faces.size() % 9) std::abort();
    for (size_t i = 0; i < mesh.faces.size(); ++i) {
        const int32_t index = mesh.faces[i];
        const size_t slot = i % 9;
        if (index < 0) std::abort();
        if (slot < 3 && static_cast<size_t>(index) >= vertices) std::abort();
        if (slot >= 3 && slot < 6 && static_cast<size_t>(index) >= normals) std::abort();
    }
    for (float v : mesh.vertices)
        if (!std::isfinite(v)) std::abort();
    for (float n : mesh.normals)
        if (!std::isfinite(n)) std::abort();
    // Every decoded index fits the file's width, so the writer keeps it.
    const std::vector<uint8_t> bytes = encodeMesh(mesh, mesh.indexWidth == 16);
    Mesh again;
    if (!decodeMesh(bytes.data(), bytes.size(), again, error)) std::abort();
    if (again.vertices != mesh.vertices || again.normals != mesh.normals || again.faces != mesh.faces ||
        again.indexWidth != mesh.indexWidth)
        std::abort();
    // The layout has one spelling per mesh, so the writer gives back the input.
    if (bytes.size() != size || !std::equal(bytes.begin(), bytes.end(), data)) std::abort();
    return 0;
}
