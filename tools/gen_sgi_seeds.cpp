// gen_sgi_seeds.cpp -- writes a handful of small SGI images (one to four
// channels, verbatim and run-length) into the folder named on the command
// line: the starting corpus of the SGI reader's fuzz target.
#include <cstdio>
#include <string>
#include <vector>

#include "render/render.h"
#include "tools/write_file.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: gen_sgi_seeds <output folder>\n");
        return 2;
    }
    int written = 0;
    for (int channels = 1; channels <= 4; ++channels) {
        for (int runLength = 0; runLength < 2; ++runLength) {
            const int w = 9, h = 3;
            std::vector<uint8_t> pixels(static_cast<size_t>(w) * h * channels);
            for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<uint8_t>(i < 9 ? 7 : i * 29);
            const std::vector<uint8_t> file = encodeSgiImage(w, h, channels, pixels, runLength != 0);
            const std::string path = std::string(argv[1]) + "/seed-" + std::to_string(channels) +
                                     (runLength ? "-rle" : "") + ".rgb";
            written += writeFile(path, file) ? 1 : 0;
        }
    }
    return written == 8 ? 0 : 1;
}
