// test_files.h -- files and commands for the test programs: whole files as
// bytes, a scratch folder that disappears with the program, a command's output.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

using Bytes = std::vector<uint8_t>;

// The whole file, or nothing when it cannot be read.
inline Bytes readBytes(const std::string& path) {
    Bytes b;
    if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
        for (int c; (c = std::fgetc(f)) != EOF;) b.push_back(static_cast<uint8_t>(c));
        std::fclose(f);
    }
    return b;
}

inline void writeBytes(const std::string& path, const Bytes& b) {
    if (std::FILE* f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(b.data(), 1, b.size(), f);
        std::fclose(f);
    }
}

// Standard output of a shell command; its wait status in *status.
inline std::string commandOutput(const std::string& command, int* status = nullptr) {
    std::string out;
    std::FILE* p = popen(command.c_str(), "r");
    if (!p) return status ? (*status = -1, out) : out;
    for (int c; (c = std::fgetc(p)) != EOF;) out.push_back(static_cast<char>(c));
    const int s = pclose(p);
    if (status) *status = s;
    return out;
}

// A folder under /tmp for this test program, removed when the program ends.
inline const std::string& scratchDir() {
    static const struct Scratch {
        std::string path;
        Scratch() {
            char name[] = "/tmp/maze-tests-XXXXXX";
            const char* made = mkdtemp(name);
            path = made ? made : "";
        }
        ~Scratch() {
            std::error_code ignored;
            if (!path.empty()) std::filesystem::remove_all(path, ignored);
        }
    } dir;
    return dir.path;
}
