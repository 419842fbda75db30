// test_sgi.cpp -- the SGI image reader and writer, the generated textures,
// and a cross-check against ImageMagick's reading and writing of the format.
#include <gtest/gtest.h>
#include <sys/stat.h>

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

bool decode(const Bytes& file, SgiImage& image, std::string& error) {
    return decodeSgiImage(file.data(), file.size(), image, error);
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

Bytes runCommand(const std::string& command) {
    const std::string out = commandOutput(command);
    return Bytes(out.begin(), out.end());
}

bool haveImageMagick() { return access("/usr/bin/convert", X_OK) == 0; }

// ImageMagick's RGBA reading of an image file, turned bottom row first like ours.
Bytes magickRgba(const std::string& path) {
    return runCommand("/usr/bin/convert '" + path + "' -flip -depth 8 rgba:- 2>/dev/null");
}

}  // namespace

TEST(SgiReader, DecodesHandMadeFiles) {
    // Five channels: channel 4's table entry points far outside the file, so
    // reading it would fail; only the first four are read.
    Bytes fiveChannels = sgiFile(1, 1, 1, 5);
    for (int z = 0; z < 4; ++z) appendU32(fiveChannels, kSgiHeaderSize + 5 * 8 + 3 * z);
    appendU32(fiveChannels, 0x7FFFFFF0u);
    for (int z = 0; z < 5; ++z) appendU32(fiveChannels, 3);
    for (uint8_t v : {10, 20, 30, 40}) fiveChannels.insert(fiveChannels.end(), {0x81, v, 0x00});
    const struct {
        const char* what;
        Bytes file;
        int width, channels;
        Bytes rgba;
    } cases[] = {
        // Every channel count in both storages is read back below, against
        // ImageMagick too; here the cases no writer makes.
        {"storage 2 is verbatim", sgiFile(2, 1, 1, 1, {0x83}), 1, 1, {0x83, 0x83, 0x83, 255}},
        {"literal and repeat packets", runLengthFile(5, 1, 1, {0x83, 10, 20, 30, 2, 40, 0}), 5, 1,
         {10, 10, 10, 255, 20, 20, 20, 255, 30, 30, 30, 255, 40, 40, 40, 255, 40, 40, 40, 255}},
        {"a full line needs no terminator", runLengthFile(3, 1, 1, {0x03, 5}), 3, 1,
         {5, 5, 5, 255, 5, 5, 5, 255, 5, 5, 5, 255}},
        {"five channels use the first four", fiveChannels, 1, 5, {10, 20, 30, 40}},
    };
    for (const auto& c : cases) {
        SgiImage image;
        std::string error;
        ASSERT_TRUE(decode(c.file, image, error)) << c.what << ": " << error;
        EXPECT_EQ(image.width * image.height * 4, static_cast<int>(c.rgba.size())) << c.what;
        EXPECT_EQ(image.width, c.width) << c.what;
        EXPECT_EQ(image.channels, c.channels) << c.what;
        EXPECT_EQ(image.rgba, c.rgba) << c.what;
    }
}

// Every damaged file comes back false with a reason, the result untouched.
TEST(SgiReader, RefusesDamagedFilesWithAReason) {
    Bytes outsideTable = runLengthFile(4, 1, 1, {0x04, 0x01, 0x00});
    outsideTable[kSgiHeaderSize + 3] = 0xFF;  // start offset far past the end
    Bytes longLength = runLengthFile(4, 1, 1, {0x04, 0x01, 0x00});
    longLength[kSgiHeaderSize + 4] = 0x10;    // length 2^28
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

TEST(SgiReader, MissingFileEndsTheProcessAndCorruptFileComesBackEmptyBothNamingIt) {
    int w = 1, h = 1, c = 1;
    EXPECT_EXIT(readSgiImage("no-such-texture.rgb", w, h, c), testing::ExitedWithCode(1),
                "no-such-texture.rgb: No such file or directory");
    const std::string path = scratchDir() + "/corrupt.rgb";
    writeBytes(path, runLengthFile(4, 1, 1, {0x05, 0x01, 0x00}));
    testing::internal::CaptureStderr();
    EXPECT_TRUE(readSgiImage(path.c_str(), w, h, c).empty());
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(w + h, 0);
    EXPECT_NE(err.find(path), std::string::npos) << err;
    EXPECT_NE(err.find("row width"), std::string::npos) << err;
}

// Every channel count and both storages, 150 pixels wide (more than one
// packet's 127): files we write read back alike by us and by ImageMagick, and
// files ImageMagick writes (grey as one channel, colour as three, colour with
// alpha as four; never two) read by us as ImageMagick reads them.
TEST(SgiFiles, OursAndImageMagicksReadAlikeByBothReaders) {
    const int w = 150, h = 5;  // as -size below
    const bool magick = haveImageMagick();
    const char* magickInput[] = {"gray", nullptr, "rgb", "rgba"};
    for (int channels = 1; channels <= 4; ++channels) {
        for (bool runLength : {false, true}) {
            const std::string what = std::to_string(channels) + (runLength ? "-rle" : "");
            const Bytes pixels = pattern(w, h, channels);
            const Bytes file = encodeSgiImage(w, h, channels, pixels, runLength);
            ASSERT_FALSE(file.empty()) << what;
            EXPECT_EQ(file[2], runLength ? 1 : 0) << what;
            SgiImage image;
            std::string error;
            ASSERT_TRUE(decode(file, image, error)) << what << ": " << error;
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

            if (!magickInput[channels - 1]) continue;
            const std::string raw = scratchDir() + "/in-" + what + ".raw";
            const std::string made = scratchDir() + "/magick-" + what + ".sgi";
            writeBytes(raw, pixels);
            runCommand("/usr/bin/convert -size 150x5 -depth 8 " +
                       std::string(magickInput[channels - 1]) + ":'" + raw + "' -compress " +
                       (runLength ? "RLE" : "None") + " '" + made + "'");
            const Bytes theirFile = readBytes(made);
            ASSERT_GT(theirFile.size(), 12u) << made;
            EXPECT_EQ(theirFile[2], runLength ? 1 : 0) << made;
            ASSERT_TRUE(decode(theirFile, image, error)) << made << ": " << error;
            EXPECT_EQ(image.channels, channels) << made;
            EXPECT_EQ(image.rgba, magickRgba(made)) << made;
        }
    }
    if (!magick) GTEST_SKIP() << "ImageMagick (/usr/bin/convert) is not installed";
}

// The shipped textures: regenerated byte for byte, square powers of two, both
// storages present, read by ImageMagick as by us, and tiling without seams:
// the jump across the wrap is no bigger than a typical one between neighbours.
TEST(GeneratedTextures, AreDeterministicSquareSeamlessAndReadByImageMagick) {
    const std::string dir = scratchDir() + "/regenerated";
    mkdir(dir.c_str(), 0755);
    ASSERT_EQ(std::system((std::string(MAZE_BINARY_DIR) + "/gen_textures " + dir).c_str()), 0);
    const std::string frames = std::string(MAZE_BINARY_DIR) + "/test-frames";
    mkdir(frames.c_str(), 0755);
    bool sawRunLength = false, sawVerbatim = false;
    for (const char* name : kTextureFileNames) {
        const std::string path = std::string(MAZE_DATA_DIR) + "/" + name;
        const Bytes shipped = readBytes(path);
        EXPECT_EQ(readBytes(dir + "/" + name), shipped) << name << " differs between runs";
        SgiImage image;
        std::string error;
        ASSERT_TRUE(decode(shipped, image, error)) << name << ": " << error;
        const int n = image.width;
        EXPECT_EQ(n, image.height) << name;
        EXPECT_TRUE(n == 256 || n == 512) << name;
        (shipped[2] == 1 ? sawRunLength : sawVerbatim) = true;

        auto px = [&](int x, int y, int c) { return int{image.rgba[(y * n + x) * 4 + c]}; };
        auto meanJump = [&](int a, int b, bool columns) {
            long sum = 0;
            for (int t = 0; t < n; ++t)
                for (int c = 0; c < 3; ++c)
                    sum += std::abs(columns ? px(a, t, c) - px(b, t, c)
                                            : px(t, a, c) - px(t, b, c));
            return static_cast<double>(sum) / (n * 3);
        };
        double inside = 0;
        for (int x = 1; x < n; x += 7)
            inside += meanJump(x - 1, x, true) + meanJump(x - 1, x, false);
        inside /= 2 * ((n - 2) / 7 + 1);
        EXPECT_LE(meanJump(n - 1, 0, true), 2.5 * inside + 2.0) << name << " left/right seam";
        EXPECT_LE(meanJump(n - 1, 0, false), 2.5 * inside + 2.0) << name << " top/bottom seam";

        if (!haveImageMagick()) continue;
        const Bytes identified = runCommand("/usr/bin/identify -format '%m %w %h' '" + path + "'");
        EXPECT_EQ(std::string(identified.begin(), identified.end()),
                  "SGI " + std::to_string(n) + " " + std::to_string(n)) << name;
        EXPECT_EQ(magickRgba(path), image.rgba) << name;
        // ImageMagick's own rendering of the file, for a person to look at.
        runCommand("/usr/bin/convert '" + path + "' '" + frames + "/texture-" + name + ".png'");
    }
    EXPECT_TRUE(sawRunLength);
    EXPECT_TRUE(sawVerbatim);
}
