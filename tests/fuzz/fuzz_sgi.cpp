// fuzz_sgi.cpp -- the SGI reader on arbitrary bytes: it must refuse or decode
// without reading outside the input, and a decoded picture must have the
// size its header claims.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "render/render.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    SgiImage image;
    std::string error;
    if (decodeSgiImage(data, size, image, error)) {
        if (image.width < 1 || image.height < 1 || image.channels < 1 ||
            image.rgba.size() != static_cast<size_t>(image.width) * image.height * 4)
            std::abort();
    } else if (error.empty()) {
        std::abort();
    }
    return 0;
}
