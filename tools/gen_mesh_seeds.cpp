// gen_mesh_seeds.cpp -- writes a few small mesh files (8-bit and 16-bit
// indices, with and without faces) into the folder named on the command
// line: the starting corpus of the mesh reader's fuzz target.
#include <cstdio>
#include <string>
#include <vector>

#include "render/render.h"
#include "tools/write_file.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: gen_mesh_seeds <output folder>\n");
        return 2;
    }
    Mesh square;
    square.vertices = {0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0.5f};
    square.normals = {0, 0, 1, 0, 0.6f, 0.8f};
    square.faces = {0, 1, 2, 0, 0, 0, 0, 0, 0, 0, 2, 3, 0, 0, 1, 0, 7, 0};
    Mesh pointsOnly;
    pointsOnly.vertices = {1, 2, 3};
    const struct {
        const char* name;
        std::vector<uint8_t> bytes;
    } seeds[] = {{"square-8", encodeMesh(square)},
                 {"square-16", encodeMesh(square, true)},
                 {"points-only", encodeMesh(pointsOnly)},
                 {"empty", encodeMesh(Mesh{})}};
    int failures = 0;
    for (const auto& seed : seeds) {
        const std::string path = std::string(argv[1]) + "/" + seed.name + ".msh";
        if (!writeFile(path, seed.bytes)) ++failures;
    }
    return failures ? 1 : 0;
}
