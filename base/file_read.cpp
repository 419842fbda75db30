// file_read.cpp -- bounded reading of data files.
#include "base/file_read.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {

// Bytes asked of the kernel per read; a pipe hands out at most this anyway.
constexpr size_t kReadChunk = 64 * 1024;

// The descriptor of `path` opened for blocking reads, or -1 with errno set.
// The open itself does not block: a FIFO without a writer would otherwise
// hold the open until one came.
int openBlockingReads(const char* path) {
    const int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return -1;
    const int flags = fcntl(fd, F_GETFL);
    if (flags < 0 || fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) < 0) {
        const int saved = errno;
        close(fd);
        errno = saved;
        return -1;
    }
    return fd;
}

std::string withReason(const char* what, int err) {
    return std::string(what) + " (" + std::strerror(err) + ")";
}

}  // namespace

std::FILE* openDataFile(const char* path) {
    const int fd = path ? openBlockingReads(path) : (errno = ENOENT, -1);
    if (fd < 0) return nullptr;
    std::FILE* f = fdopen(fd, "rb");
    if (f == nullptr) {
        const int saved = errno;
        close(fd);
        errno = saved;
    }
    return f;
}

FileRead readDataFile(const char* path, size_t limit, std::vector<uint8_t>& bytes,
                      std::string& error) {
    bytes.clear();
    error.clear();
    const int fd = path ? openBlockingReads(path) : (errno = ENOENT, -1);
    if (fd < 0) {
        error = withReason("cannot open it", errno);
        return FileRead::CannotOpen;
    }
    const std::string tooLarge = "it is larger than " + std::to_string(limit) + " bytes";
    struct stat st {};
    if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
        if (static_cast<uint64_t>(st.st_size) > limit) {
            close(fd);
            error = tooLarge;
            return FileRead::TooLarge;
        }
        // Room for the whole file and the last, empty read: no reallocation.
        bytes.reserve(std::min(static_cast<size_t>(st.st_size) + kReadChunk, limit + 1));
    }
    // Whatever the size said (a file may grow, a pipe has none), at most one
    // byte past the limit is read: enough to know the file is too large.
    FileRead result = FileRead::Read;
    while (bytes.size() <= limit) {
        const size_t want = std::min(kReadChunk, limit + 1 - bytes.size());
        const size_t had = bytes.size();
        bytes.resize(had + want);
        const ssize_t got = read(fd, bytes.data() + had, want);
        if (got < 0 && errno == EINTR) {
            bytes.resize(had);
            continue;
        }
        if (got < 0) {
            error = withReason("cannot read it", errno);
            result = FileRead::CannotRead;
            break;
        }
        bytes.resize(had + static_cast<size_t>(got));
        if (got == 0) break;
    }
    close(fd);
    if (result == FileRead::Read && bytes.size() > limit) {
        error = tooLarge;
        result = FileRead::TooLarge;
    }
    if (result != FileRead::Read) std::vector<uint8_t>().swap(bytes);
    return result;
}
