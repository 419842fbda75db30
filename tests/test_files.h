// test_files.h -- files and commands for the test programs: whole files as
// bytes, a scratch folder that disappears with the program, a command's output.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/log_capture.h"

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
        pid_t owner = getpid();
        Scratch() {
            char name[] = "/tmp/maze-tests-XXXXXX";
            const char* made = mkdtemp(name);
            path = made ? made : "";
        }
        // A forked child that exits (a death test) leaves the folder to its parent.
        ~Scratch() {
            std::error_code ignored;
            if (!path.empty() && getpid() == owner) std::filesystem::remove_all(path, ignored);
        }
    } dir;
    return dir.path;
}

// Files larger than any data file a reader should take, each of a kind it
// must refuse without reading it whole: a sparse file of 64 GiB (its size
// says so before a byte is read), a link to /dev/zero and a FIFO that a child
// process fills without end (neither has a size; both never end). Also a FIFO
// that nobody writes to, which must read as empty rather than wait for a
// writer. Made in the scratch folder under names starting with `stem`; the
// endless FIFO serves one reader, and its writer ends with the object.
struct HostileFiles {
    std::string sparse, zeros, endless, silent;
    pid_t writer = -1;

    explicit HostileFiles(const std::string& stem) {
        const std::string base = scratchDir() + "/" + stem;
        sparse = base + ".sparse";
        zeros = base + ".zeros";
        endless = base + ".endless";
        silent = base + ".silent";
        if (std::FILE* f = std::fopen(sparse.c_str(), "wb")) std::fclose(f);
        if (truncate(sparse.c_str(), 64LL << 30) != 0) sparse.clear();
        if (symlink("/dev/zero", zeros.c_str()) != 0) zeros.clear();
        if (mkfifo(silent.c_str(), 0600) != 0) silent.clear();
        if (mkfifo(endless.c_str(), 0600) != 0) {
            endless.clear();
            return;
        }
        writer = fork();
        if (writer == 0) {
            // Waits for a reader, then writes until the reader goes (SIGPIPE),
            // or the test program ends, however it ends.
            prctl(PR_SET_PDEATHSIG, SIGKILL);
            const int fd = open(endless.c_str(), O_WRONLY);
            static const char block[65536] = {};
            while (fd >= 0 && write(fd, block, sizeof block) > 0) {
            }
            _exit(0);
        }
    }
    ~HostileFiles() {
        if (writer > 0) {
            kill(writer, SIGKILL);
            waitpid(writer, nullptr, 0);
        }
    }
    HostileFiles(const HostileFiles&) = delete;
    HostileFiles& operator=(const HostileFiles&) = delete;

    // The three that hold more than any limit; all made, or the test fails.
    std::vector<std::string> oversized() const { return {sparse, zeros, endless}; }
    bool made() const { return !sparse.empty() && !zeros.empty() && !silent.empty() && writer > 0; }
};

// Reads each of `paths` with `read`, which says whether the file was refused
// as it should be (left as a missing one leaves it); each refusal is one line
// at `level` (none other at it or above), naming the file and holding
// `mention` (the limit, for a file over it).
template <class Read>
void expectRefusedInOneLine(const std::vector<std::string>& paths, LogLevel level, const std::string& mention,
                            Read read) {
    for (const std::string& path : paths) {
        const logtest::LogCapture said(level);
        EXPECT_TRUE(read(path)) << path;
        ASSERT_EQ(said.lines().size(), 1u) << path << ": " << said.outputText() << said.errorText();
        const logtest::LoggedLine& line = said.lines()[0];
        EXPECT_EQ(line.level, level) << line.text;
        EXPECT_NE(line.text.find(path), std::string::npos) << line.text;
        EXPECT_NE(line.text.find(mention), std::string::npos) << line.text;
    }
}
