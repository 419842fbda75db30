// test_sgi.cpp -- the SGI image reader and writer, cross-checked against
// ImageMagick's reading of the format.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "render/render.h"
#include "tests/test_files.h"

namespace {

// A 512-byte header with the six leading words set, followed by `data`.
Bytes sgiFile(int storage, int width, int height, int channels, const Bytes& data = {}) {
    Bytes b(kSgiHeaderSize, 0);
    b[0] = 0x01; b[1] = 0xDA; b[2] = static_cast<uint8_t>(storage); b[3] = 1; b[5] = 3;
    int at = 6;
    for (int v : {width, height, channels}) {
        b[at++] = static_cast<uint8_t>(v >> 8);
        b[at++] = static_cast<uint8_t>(v);
    }
    b.insert(b.end(), data.begin(), data.end());
    return b;
}

void appendU32(Bytes& b, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) b.push_back(static_cast<uint8_t>(v >> shift));
}

// A run-length file whose every scan line is `line`.
Bytes runLengthFile(int width, int height, int channels, const Bytes& line) {
    Bytes b = sgiFile(1, width, height, channels);
    const uint32_t lines = static_cast<uint32_t>(height * channels);
    for (uint32_t i = 0; i < lines; ++i) appendU32(b, kSgiHeaderSize + lines * 8);
    for (uint32_t i = 0; i < lines; ++i) appendU32(b, static_cast<uint32_t>(line.size()));
    b.insert(b.end(), line.begin(), line.end());
    return b;
}

// Pixels of `channels` bytes that differ from pixel to pixel and channel to
// channel, with a long run of one value so run-length writers repeat too.
Bytes pattern(int width, int height, int channels) {
    Bytes p(static_cast<size_t>(width) * height * channels);
    for (size_t i = 0; i < p.size(); ++i)
        p[i] = i < p.size() / 3 ? 200 : static_cast<uint8_t>((i * 37 + i / 7 * 11) & 0xFF);
    return p;
}

// What the reader makes of `channels` interleaved bytes per pixel.
Bytes expectedRgba(const Bytes& px, int channels) {
    Bytes out;
    for (size_t i = 0; i < px.size(); i += channels) {
        const uint8_t* p = &px[i];
        const int g = channels > 2;  // 0 for grey
        const uint8_t alpha = channels % 2 ? 255 : p[channels - 1];
        out.insert(out.end(), {p[0], p[g], p[2 * g], alpha});
    }
    return out;
}

bool haveImageMagick() { return access("/usr/bin/convert", X_OK) == 0; }

// ImageMagick's RGBA reading of an image file, turned bottom row first like ours.
Bytes magickRgba(const std::string& path) {
    const std::string out = commandOutput("/usr/bin/convert '" + path + "' -flip -depth 8 rgba:- 2>/dev/null");
    return Bytes(out.begin(), out.end());
}

}  // namespace

// Every damaged file comes back false with a reason, the result untouched.
TEST(SgiReader, RefusesDamagedFilesWithAReason) {
    Bytes outsideTable = runLengthFile(4, 1, 1, {0x04, 0x01, 0x00});
    outsideTable[kSgiHeaderSize + 3] = 0xFF;  // start offset far past the end
    Bytes longLength = runLengthFile(4, 1, 1, {0x04, 0x01, 0x00});
    longLength[kSgiHeaderSize + 4] = 0x10;    // length 2^28
    // Two bytes a channel: complete, but would read as noise.
    Bytes sixteenBit = sgiFile(0, 2, 2, 3, Bytes(2 * 2 * 3 * 2, 0x40));
    sixteenBit[3] = 2;
    const struct {
        const char* what;
        Bytes file;
    } cases[] = {
        {"empty file", {}},
        {"shorter than the header", Bytes(100, 0)},
        {"zero width", sgiFile(0, 0, 4, 3)},
        {"zero height", sgiFile(0, 4, 0, 3)},
        {"zero channels", sgiFile(0, 4, 4, 0)},
        {"huge run-length picture", runLengthFile(65535, 65535, 1, {0x7F, 0x00})},
        {"verbatim data cut short", sgiFile(0, 4, 4, 3, Bytes(4 * 4 * 3 - 1))},
        {"run-length tables cut short", sgiFile(1, 4, 4, 3, Bytes(4 * 4 * 3 * 8 - 2))},
        {"line offset outside the file", outsideTable},
        {"line length outside the file", longLength},
        {"repeat run past the row width", runLengthFile(4, 1, 1, {0x05, 0x01, 0x00})},
        {"literal run past the row width", runLengthFile(2, 1, 1, {0x83, 1, 2, 3, 0x00})},
        {"line shorter than the row", runLengthFile(4, 1, 1, {0x02, 0x01, 0x00})},
        {"literal cut off by the line's end", runLengthFile(4, 1, 1, {0x84, 1, 2})},
        {"repeat value missing", runLengthFile(4, 1, 1, {0x04})},
        {"16-bit channels", sixteenBit},
    };
    for (const auto& c : cases) {
        SgiImage image;
        image.width = -7;
        std::string error;
        EXPECT_FALSE(decodeSgiImage(c.file.data(), c.file.size(), image, error)) << c.what;
        EXPECT_FALSE(error.empty()) << c.what;
        EXPECT_EQ(image.width, -7) << c.what << ": a refused file must not touch the result";
        EXPECT_TRUE(image.rgba.empty()) << c.what;
    }
}

// A texture over the limit, of any kind, is missing as an absent one is (the
// game ends), before it is read whole, with one line naming the file and the
// limit; an unreadable one (a FIFO nobody writes to) is only left empty.
TEST(SgiFiles, FilesOverTheLimitAreMissingAsAnAbsentOneIs) {
    const HostileFiles hostile("texture");
    ASSERT_TRUE(hostile.made());
    const auto refusedAs = [](bool missingWanted) {
        return [missingWanted](const std::string& path) {
            int w = -1, h = -1, c = -1;
            bool missing = !missingWanted;
            const bool empty = readSgiImage(path.c_str(), w, h, c, missing).empty();
            return empty && missing == missingWanted && w + h + c == 0;
        };
    };
    expectRefusedInOneLine({"/nonexistent/wall.rgb"}, LogLevel::Error, "ending", refusedAs(true));
    expectRefusedInOneLine(hostile.oversized(), LogLevel::Error, std::to_string(kMaxSgiFileSize), refusedAs(true));
    expectRefusedInOneLine({hostile.silent}, LogLevel::Error, "left empty", refusedAs(false));
}

// Every channel count and both storages, 150 pixels wide (more than one
// packet's 127): files we write read back alike by us and by ImageMagick.
TEST(SgiFiles, OursAndImageMagicksReadAlikeByBothReaders) {
    const int w = 150, h = 5;  // as -size below
    const bool magick = haveImageMagick();
    for (int channels = 1; channels <= 4; ++channels) {
        for (bool runLength : {false, true}) {
            const std::string what = std::to_string(channels) + (runLength ? "-rle" : "");
            const Bytes pixels = pattern(w, h, channels);
            const Bytes file = encodeSgiImage(w, h, channels, pixels, runLength);
            ASSERT_FALSE(file.empty()) << what;
            SgiImage image;
            std::string error;
            ASSERT_TRUE(decodeSgiImage(file.data(), file.size(), image, error)) << what << ": " << error;
            EXPECT_EQ(image.channels, channels) << what;
            const Bytes ours = expectedRgba(pixels, channels);
            EXPECT_EQ(image.rgba, ours) << what;
            if (!magick) continue;
            const std::string path = scratchDir() + "/ours-" + what + ".rgb";
            writeBytes(path, file);
            Bytes theirs = magickRgba(path);
            // ImageMagick reads a two-channel file as grey and drops the
            // second channel, which the game takes as alpha: compare grey.
            if (channels == 2 && theirs.size() == ours.size())
                for (size_t i = 3; i < ours.size(); i += 4) theirs[i] = ours[i];
            EXPECT_EQ(theirs, ours) << what << " as ImageMagick reads it";
        }
    }
    if (!magick) GTEST_SKIP() << "ImageMagick (/usr/bin/convert) is not installed";
}
