// sgi.cpp -- SGI ".rgb" images: the reader the textures come through and the
// writer the texture generator uses.
//
// File layout (big-endian): a 512-byte header whose first six words are
// magic, storage/bytes-per-channel, dimension, x size, y size, z size; then
// either the scan lines verbatim (line i = row y + channel z * height, each
// width bytes) or, for run-length files, a start table and a length table of
// height * channels u32 each followed by the packed lines. Row 0 is the
// bottom of the picture.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "base/bytes.h"
#include "base/log.h"
#include "render/render.h"
#include "base/file_read.h"

namespace {

constexpr uint16_t kSgiMagic = 474;
constexpr int kMaxPacket = 127;  // a packet's count lives in 7 bits

// A bounds-checked view of the file: the one place that checks room. A read
// outside the data yields 0 and sets `failed`, which stays set.
struct ByteSpan {
    const uint8_t* data = nullptr;
    size_t size = 0;
    bool failed = false;

    bool has(size_t offset, size_t length) const {
        return offset <= size && length <= size - offset;
    }
    uint8_t u8(size_t offset) {
        if (!has(offset, 1)) {
            failed = true;
            return 0;
        }
        return data[offset];
    }
    uint16_t u16(size_t offset) {
        if (!has(offset, 2)) {
            failed = true;
            return 0;
        }
        return getBe16(data + offset);
    }
    uint32_t u32(size_t offset) {
        if (!has(offset, 4)) {
            failed = true;
            return 0;
        }
        return getBe32(data + offset);
    }
};

std::string describe(const char* format, long long a, long long b = 0, long long c = 0) {
    char text[160];
    std::snprintf(text, sizeof text, format, a, b, c);
    return text;
}

// Unpacks one run-length scan line from bytes [start, start + length) into
// exactly `width` bytes of `row`. False (with the reason) when a packet runs
// past the row or past the line's bytes, or the line is short of the width.
bool unpackLine(ByteSpan& file, size_t start, size_t length, size_t line, int width, uint8_t* row,
                std::string& error) {
    size_t p = start;
    const size_t end = start + length;
    int x = 0;
    while (p < end) {
        const uint8_t control = file.u8(p++);
        const int count = control & 0x7F;
        if (count == 0) break;
        if (count > width - x) {
            error = describe("scan line %lld runs past the row width of %lld pixels",
                             static_cast<long long>(line), width);
            return false;
        }
        if (control & 0x80) {
            if (end - p < static_cast<size_t>(count)) break;  // cut short: reported below
            for (int k = 0; k < count; ++k) row[x + k] = file.u8(p + k);
            p += count;
        } else {
            if (p >= end) break;
            std::memset(row + x, file.u8(p++), static_cast<size_t>(count));
        }
        x += count;
    }
    if (x < width) {
        error = describe("scan line %lld holds %lld of %lld pixels", static_cast<long long>(line),
                         x, width);
        return false;
    }
    return true;
}

// Packs one scan line: runs of three or more equal bytes as repeat packets,
// everything else as literal packets; a zero count ends the line.
void packLine(const uint8_t* row, int width, std::vector<uint8_t>& out) {
    int x = 0;
    while (x < width) {
        int run = 1;
        while (x + run < width && run < kMaxPacket && row[x + run] == row[x]) ++run;
        if (run >= 3) {
            out.push_back(static_cast<uint8_t>(run));
            out.push_back(row[x]);
            x += run;
            continue;
        }
        // A literal stretch ends where a run of three begins.
        int n = 0;
        while (x + n < width && n < kMaxPacket) {
            if (x + n + 2 < width && row[x + n] == row[x + n + 1] && row[x + n] == row[x + n + 2])
                break;
            ++n;
        }
        out.push_back(static_cast<uint8_t>(0x80 | n));
        out.insert(out.end(), row + x, row + x + n);
        x += n;
    }
    out.push_back(0);
}

}  // namespace

bool decodeSgiImage(const uint8_t* data, size_t size, SgiImage& out, std::string& error) {
    ByteSpan file{data, data ? size : 0};
    if (file.size < static_cast<size_t>(kSgiHeaderSize)) {
        error = describe("%lld bytes is shorter than the %lld-byte header",
                         static_cast<long long>(file.size), kSgiHeaderSize);
        return false;
    }
    const uint16_t type = file.u16(2);
    const int width = file.u16(6);
    const int height = file.u16(8);
    const int channels = file.u16(10);
    // Two bytes a channel would be read as twice the pixels, a picture of
    // noise: refused. (Byte 3 is the bytes a channel; 1, or 0 from some
    // writers, is read as one.)
    if ((type & 0xFF) == 2) {
        error = "the picture has 16-bit channels; the game takes 8-bit ones";
        return false;
    }
    if (width == 0 || height == 0) {
        error = describe("the picture has no pixels (%lld x %lld)", width, height);
        return false;
    }
    if (channels == 0) {
        error = "the picture has no channels";
        return false;
    }
    if (static_cast<int64_t>(width) * height > kMaxSgiPixels) {
        error = describe("%lld x %lld pixels is more than the %lld the game takes", width, height,
                         kMaxSgiPixels);
        return false;
    }
    const bool runLength = (type & 0xFF00) == 0x0100;
    // Channels past the fourth have no place in RGBA and are never read.
    const int used = std::min(channels, 4);
    const size_t lines = static_cast<size_t>(height) * static_cast<size_t>(channels);
    const size_t w = static_cast<size_t>(width);

    if (runLength) {
        if (!file.has(kSgiHeaderSize, lines * 8)) {
            error = describe("the run-length tables need %lld bytes after the header; the file "
                             "has %lld",
                             static_cast<long long>(lines * 8),
                             static_cast<long long>(file.size - kSgiHeaderSize));
            return false;
        }
    } else if (!file.has(kSgiHeaderSize, static_cast<size_t>(used) * height * w)) {
        error = describe("the file ends at byte %lld; the picture needs %lld",
                         static_cast<long long>(file.size),
                         static_cast<long long>(kSgiHeaderSize + used * height * w));
        return false;
    }

    std::vector<uint8_t> rgba(w * height * 4);
    std::vector<uint8_t> rows(w * used);  // one row of each channel used
    for (int y = 0; y < height; ++y) {
        for (int z = 0; z < used; ++z) {
            const size_t line = static_cast<size_t>(y) + static_cast<size_t>(z) * height;
            uint8_t* row = rows.data() + z * w;
            if (runLength) {
                const size_t start = file.u32(kSgiHeaderSize + 4 * line);
                const size_t length = file.u32(kSgiHeaderSize + 4 * (lines + line));
                if (!file.has(start, length)) {
                    error = describe("scan line %lld (bytes %lld, length %lld) lies outside the file",
                                     static_cast<long long>(line), static_cast<long long>(start),
                                     static_cast<long long>(length));
                    return false;
                }
                if (!unpackLine(file, start, length, line, width, row, error)) return false;
            } else {
                std::memcpy(row, data + kSgiHeaderSize + line * w, w);
            }
        }
        uint8_t* dst = rgba.data() + static_cast<size_t>(y) * w * 4;
        for (size_t x = 0; x < w; ++x) {
            const uint8_t c0 = rows[x];
            switch (used) {
            case 1: dst[0] = dst[1] = dst[2] = c0; dst[3] = 255; break;
            case 2: dst[0] = dst[1] = dst[2] = c0; dst[3] = rows[w + x]; break;
            case 3:
                dst[0] = c0; dst[1] = rows[w + x]; dst[2] = rows[2 * w + x]; dst[3] = 255;
                break;
            default:
                dst[0] = c0; dst[1] = rows[w + x]; dst[2] = rows[2 * w + x];
                dst[3] = rows[3 * w + x];
                break;
            }
            dst += 4;
        }
    }
    if (file.failed) {  // cannot happen after the checks above; kept as the last guard
        error = "the file ends inside the picture";
        return false;
    }
    out.width = width;
    out.height = height;
    out.channels = channels;
    out.rgba = std::move(rgba);
    return true;
}

std::vector<uint8_t> encodeSgiImage(int width, int height, int channels,
                                    const std::vector<uint8_t>& pixels, bool runLength) {
    if (width < 1 || width > 65535 || height < 1 || height > 65535 || channels < 1 ||
        channels > 4)
        return {};
    const size_t w = static_cast<size_t>(width);
    const size_t count = w * static_cast<size_t>(height);
    if (pixels.size() < count * channels) return {};

    std::vector<uint8_t> out(kSgiHeaderSize, 0);
    putBe16(&out[0], kSgiMagic);
    out[2] = runLength ? 1 : 0;  // storage
    out[3] = 1;                  // bytes per channel
    putBe16(&out[4], channels > 1 ? 3 : 2);
    putBe16(&out[6], static_cast<uint16_t>(width));
    putBe16(&out[8], static_cast<uint16_t>(height));
    putBe16(&out[10], static_cast<uint16_t>(channels));
    putBe32(&out[12], 0);    // smallest pixel value
    putBe32(&out[16], 255);  // largest pixel value

    const size_t lines = static_cast<size_t>(height) * channels;
    const size_t tables = out.size();
    if (runLength) out.resize(out.size() + lines * 8, 0);
    std::vector<uint8_t> row(w);
    for (int z = 0; z < channels; ++z) {
        for (int y = 0; y < height; ++y) {
            const uint8_t* src = pixels.data() + static_cast<size_t>(y) * w * channels + z;
            for (size_t x = 0; x < w; ++x) row[x] = src[x * channels];
            if (!runLength) {
                out.insert(out.end(), row.begin(), row.end());
                continue;
            }
            const size_t line = static_cast<size_t>(y) + static_cast<size_t>(z) * height;
            const size_t start = out.size();
            packLine(row.data(), width, out);
            putBe32(&out[tables + 4 * line], static_cast<uint32_t>(start));
            putBe32(&out[tables + 4 * (lines + line)], static_cast<uint32_t>(out.size() - start));
        }
    }
    return out;
}

std::vector<uint8_t> readSgiImage(const char* fileName, int& width, int& height, int& channels,
                                  bool& missing) {
    width = height = channels = 0;
    missing = false;
    std::vector<uint8_t> bytes;
    std::string error;
    switch (readDataFile(fileName, static_cast<size_t>(kMaxSgiFileSize), bytes, error)) {
    case FileRead::Read: break;
    case FileRead::CannotOpen:
        logLine(LogLevel::Error, "%s: texture not read: %s; ending", fileName, error.c_str());
        missing = true;
        return {};
    case FileRead::TooLarge:
        // Refused as a missing texture is: no picture the game takes is this large.
        logLine(LogLevel::Error, "%s: texture refused: %s, more than any picture the game takes; ending",
                fileName, error.c_str());
        missing = true;
        return {};
    case FileRead::CannotRead:
        logLine(LogLevel::Error, "%s: texture not read: %s; texture left empty", fileName, error.c_str());
        return {};
    }
    SgiImage image;
    if (!decodeSgiImage(bytes.data(), bytes.size(), image, error)) {
        logLine(LogLevel::Error, "%s: not a usable SGI image: %s; texture left empty", fileName, error.c_str());
        return {};
    }
    width = image.width;
    height = image.height;
    channels = image.channels;
    return std::move(image.rgba);
}
