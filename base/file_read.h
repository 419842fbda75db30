// file_read.h -- opening and reading the game's data files with a bound on
// their size, so a damaged or hostile file (a huge one, a link to
// /dev/zero, a pipe) costs at most the bound in time and memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

enum class FileRead {
    Read,        // the whole file is in the bytes
    CannotOpen,  // no such file, no permission, ...
    CannotRead,  // opened, but a read failed
    TooLarge,    // more than the limit: nothing kept
};

// Opens `path` for reading without waiting for a writer: a FIFO that no
// process writes to reads as empty instead of blocking the game. Null (with
// errno set) when it cannot be opened.
std::FILE* openDataFile(const char* path);

// Reads the whole of `path` into `bytes` when it holds at most `limit`
// bytes. A regular file's size is checked before anything is read; a file
// without a size (a pipe, a device) is read to at most limit + 1 bytes. On
// anything but Read, `bytes` is empty and `error` says why in a few words
// (naming the limit when the file is too large).
FileRead readDataFile(const char* path, size_t limit, std::vector<uint8_t>& bytes,
                      std::string& error);
