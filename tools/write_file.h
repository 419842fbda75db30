// write_file.h -- the one file writer of the asset generators and seed
// programs (each tools/*.cpp is a program of its own).
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// Writes `bytes` as the whole file `path`. Empty bytes (an encoder that
// refused its input) and any failed open, write or close are reported on the
// error stream, naming the file, and return false.
inline bool writeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    if (bytes.empty()) {
        std::fprintf(stderr, "%s: nothing to write\n", path.c_str());
        return false;
    }
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) {
        std::perror(path.c_str());
        return false;
    }
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    if (std::fclose(f) != 0 || !written) {
        std::fprintf(stderr, "%s: could not write the file\n", path.c_str());
        return false;
    }
    return true;
}
