// test_sgi.cpp -- the SGI image reader and writer, the generated textures,
// and a cross-check against ImageMagick's reading and writing of the format.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "render/render.h"

namespace {

using Bytes = std::vector<uint8_t>;

// A 512-byte header with the six leading words set.
Bytes header(int storage, int width, int height, int channels) {
    Bytes b(kSgiHeaderSize, 0);
    b[0] = 0x01; b[1] = 0xDA;
    b[2] = static_cast<uint8_t>(storage); b[3] = 1;
    b[5] = 3;
    b[6] = static_cast<uint8_t>(width >> 8); b[7] = static_cast<uint8_t>(width);
    b[8] = static_cast<uint8_t>(height >> 8); b[9] = static_cast<uint8_t>(height);
    b[10] = static_cast<uint8_t>(channels >> 8); b[11] = static_cast<uint8_t>(channels);
    return b;
}

void appendU32(Bytes& b, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) b.push_back(static_cast<uint8_t>(v >> shift));
}

// A run-length file whose every scan line is `line`, with the given tables.
Bytes runLengthFile(int width, int height, int channels, const Bytes& line) {
    Bytes b = header(1, width, height, channels);
    const uint32_t lines = static_cast<uint32_t>(height * channels);
    const uint32_t data = static_cast<uint32_t>(kSgiHeaderSize + lines * 8);
    for (uint32_t i = 0; i < lines; ++i) appendU32(b, data);
    for (uint32_t i = 0; i < lines; ++i) appendU32(b, static_cast<uint32_t>(line.size()));
    b.insert(b.end(), line.begin(), line.end());
    return b;
}

bool decode(const Bytes& file, SgiImage& image, std::string& error) {
    return decodeSgiImage(file.data(), file.size(), image, error);
}

// Pixels of `channels` bytes that differ from pixel to pixel and channel to channel.
Bytes pattern(int width, int height, int channels) {
    Bytes p(static_cast<size_t>(width) * height * channels);
    for (size_t i = 0; i < p.size(); ++i) p[i] = static_cast<uint8_t>((i * 37 + i / 7 * 11) & 0xFF);
    // Some long runs, so the run-length writer uses repeat packets too.
    for (size_t i = 0; i < p.size() / 3; ++i) p[i] = 200;
    return p;
}

// What the reader makes of `channels` interleaved bytes per pixel.
Bytes expectedRgba(const Bytes& pixels, int channels) {
    Bytes out;
    for (size_t i = 0; i < pixels.size(); i += channels) {
        const uint8_t* p = &pixels[i];
        switch (channels) {
        case 1: out.insert(out.end(), {p[0], p[0], p[0], 255}); break;
        case 2: out.insert(out.end(), {p[0], p[0], p[0], p[1]}); break;
        case 3: out.insert(out.end(), {p[0], p[1], p[2], 255}); break;
        default: out.insert(out.end(), {p[0], p[1], p[2], p[3]}); break;
        }
    }
    return out;
}

std::string tempDir() {
    const std::string dir = std::string(MAZE_BINARY_DIR) + "/test-tmp";
    mkdir(dir.c_str(), 0755);
    return dir;
}

void writeBytes(const std::string& path, const Bytes& b) {
    std::ofstream f(path, std::ios::binary);
    f.write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
}

Bytes readBytes(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

// Standard output of a shell command as bytes.
Bytes runCommand(const std::string& command) {
    Bytes out;
    std::FILE* p = popen(command.c_str(), "r");
    if (!p) return out;
    uint8_t chunk[65536];
    size_t n = 0;
    while ((n = std::fread(chunk, 1, sizeof chunk, p)) > 0) out.insert(out.end(), chunk, chunk + n);
    pclose(p);
    return out;
}

bool haveImageMagick() {
    struct stat st{};
    return stat("/usr/bin/convert", &st) == 0;
}

// ImageMagick's RGBA reading of an image file: top row first.
Bytes magickRgba(const std::string& path) {
    return runCommand("/usr/bin/convert '" + path + "' -depth 8 rgba:- 2>/dev/null");
}

// Our rows run bottom first; ImageMagick's top first.
Bytes flipRows(const Bytes& rgba, int width, int height) {
    Bytes out(rgba.size());
    const size_t row = static_cast<size_t>(width) * 4;
    for (int y = 0; y < height; ++y)
        std::copy(rgba.begin() + y * row, rgba.begin() + (y + 1) * row,
                  out.begin() + (height - 1 - y) * row);
    return out;
}

}  // namespace

// ---------------------------------------------------------------------------
// Decoding by hand-made files
// ---------------------------------------------------------------------------

TEST(SgiReader, VerbatimThreeChannelsInterleaveWithOpaqueAlpha) {
    Bytes file = header(0, 2, 2, 3);
    // Channel 0 rows 0,1; channel 1 rows 0,1; channel 2 rows 0,1.
    const Bytes data = {1, 2, 3, 4, 11, 12, 13, 14, 21, 22, 23, 24};
    file.insert(file.end(), data.begin(), data.end());
    SgiImage image;
    std::string error;
    ASSERT_TRUE(decode(file, image, error)) << error;
    EXPECT_EQ(image.width, 2);
    EXPECT_EQ(image.height, 2);
    EXPECT_EQ(image.channels, 3);
    const Bytes expected = {1, 11, 21, 255, 2, 12, 22, 255, 3, 13, 23, 255, 4, 14, 24, 255};
    EXPECT_EQ(image.rgba, expected);
}

TEST(SgiReader, OneAndTwoChannelsGiveGrey) {
    Bytes grey = header(0, 2, 1, 1);
    grey.insert(grey.end(), {7, 9});
    SgiImage image;
    std::string error;
    ASSERT_TRUE(decode(grey, image, error)) << error;
    EXPECT_EQ(image.rgba, (Bytes{7, 7, 7, 255, 9, 9, 9, 255}));

    Bytes greyAlpha = header(0, 2, 1, 2);
    greyAlpha.insert(greyAlpha.end(), {7, 9, 100, 50});
    ASSERT_TRUE(decode(greyAlpha, image, error)) << error;
    EXPECT_EQ(image.rgba, (Bytes{7, 7, 7, 100, 9, 9, 9, 50}));
}

TEST(SgiReader, RunLengthPacketsDecodeLiteralsAndRepeats) {
    const Bytes line = {0x83, 0x0A, 0x14, 0x1E, 0x02, 0x28, 0x00};
    SgiImage image;
    std::string error;
    ASSERT_TRUE(decode(runLengthFile(5, 1, 1, line), image, error)) << error;
    const Bytes expected = {10, 10, 10, 255, 20, 20, 20, 255, 30, 30, 30, 255,
                            40, 40, 40, 255, 40, 40, 40, 255};
    EXPECT_EQ(image.rgba, expected);
}

TEST(SgiReader, FiveChannelsUseTheFirstFourAndNeverReadTheFifth) {
    // Channel 4's table entry points far outside the file: reading it would fail.
    Bytes file = header(1, 1, 1, 5);
    const uint32_t data = kSgiHeaderSize + 5 * 8;
    for (int z = 0; z < 4; ++z) appendU32(file, data + 3 * z);
    appendU32(file, 0x7FFFFFF0u);
    for (int z = 0; z < 5; ++z) appendU32(file, 3);
    for (uint8_t v : {10, 20, 30, 40}) file.insert(file.end(), {0x81, v, 0x00});
    SgiImage image;
    std::string error;
    ASSERT_TRUE(decode(file, image, error)) << error;
    EXPECT_EQ(image.channels, 5);
    EXPECT_EQ(image.rgba, (Bytes{10, 20, 30, 40}));
}

TEST(SgiReader, StorageOtherThanOneIsVerbatim) {
    Bytes file = header(2, 1, 1, 1);
    file.push_back(0x83);  // would be a packet in a run-length file
    SgiImage image;
    std::string error;
    ASSERT_TRUE(decode(file, image, error)) << error;
    EXPECT_EQ(image.rgba, (Bytes{0x83, 0x83, 0x83, 255}));
}

TEST(SgiReader, RunLengthLineMayEndWithoutTerminatorOnceTheRowIsFull) {
    SgiImage image;
    std::string error;
    ASSERT_TRUE(decode(runLengthFile(3, 1, 1, {0x03, 0x05}), image, error)) << error;
    EXPECT_EQ(image.rgba[8], 5);
}

// ---------------------------------------------------------------------------
// Refused files: every one comes back false with a reason, `out` untouched
// ---------------------------------------------------------------------------

TEST(SgiReader, RefusesDamagedFilesWithAReason) {
    struct Case {
        const char* what;
        Bytes file;
    };
    Bytes outsideTable = runLengthFile(4, 1, 1, {0x04, 0x01, 0x00});
    outsideTable[kSgiHeaderSize + 3] = 0xFF;  // start offset far past the end
    Bytes longLength = runLengthFile(4, 1, 1, {0x04, 0x01, 0x00});
    longLength[kSgiHeaderSize + 4] = 0x10;    // length 2^28
    Bytes truncatedVerbatim = header(0, 4, 4, 3);
    truncatedVerbatim.resize(truncatedVerbatim.size() + 4 * 4 * 3 - 1);
    Bytes truncatedTables = header(1, 4, 4, 3);
    truncatedTables.resize(truncatedTables.size() + 4 * 4 * 3 * 8 - 2);
    const Case cases[] = {
        {"empty file", {}},
        {"shorter than the header", Bytes(100, 0)},
        {"zero width", header(0, 0, 4, 3)},
        {"zero height", header(0, 4, 0, 3)},
        {"zero channels", header(0, 4, 4, 0)},
        {"huge run-length picture", runLengthFile(65535, 65535, 1, {0x7F, 0x00})},
        {"verbatim data cut short", truncatedVerbatim},
        {"run-length tables cut short", truncatedTables},
        {"line offset outside the file", outsideTable},
        {"line length outside the file", longLength},
        {"repeat run past the row width", runLengthFile(4, 1, 1, {0x05, 0x01, 0x00})},
        {"literal run past the row width", runLengthFile(2, 1, 1, {0x83, 1, 2, 3, 0x00})},
        {"line shorter than the row", runLengthFile(4, 1, 1, {0x02, 0x01, 0x00})},
        {"literal cut off by the line's end", runLengthFile(4, 1, 1, {0x84, 1, 2})},
        {"repeat value missing", runLengthFile(4, 1, 1, {0x04})},
    };
    for (const Case& c : cases) {
        SgiImage image;
        image.width = -7;
        std::string error;
        EXPECT_FALSE(decode(c.file, image, error)) << c.what;
        EXPECT_FALSE(error.empty()) << c.what;
        EXPECT_EQ(image.width, -7) << c.what << ": a refused file must not touch the result";
        EXPECT_TRUE(image.rgba.empty()) << c.what;
    }
}

TEST(SgiReader, MissingFileEndsTheProcessNamingIt) {
    int w = 0, h = 0, c = 0;
    EXPECT_EXIT(readSgiImage("no-such-texture.rgb", w, h, c), testing::ExitedWithCode(1),
                "no-such-texture.rgb: No such file or directory");
}

TEST(SgiReader, CorruptFileIsRefusedNamingItAndComesBackEmpty) {
    const std::string path = tempDir() + "/corrupt.rgb";
    writeBytes(path, runLengthFile(4, 1, 1, {0x05, 0x01, 0x00}));
    int w = 1, h = 1, c = 1;
    testing::internal::CaptureStderr();
    const Bytes pixels = readSgiImage(path.c_str(), w, h, c);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_TRUE(pixels.empty());
    EXPECT_EQ(w, 0);
    EXPECT_EQ(h, 0);
    EXPECT_NE(err.find(path), std::string::npos) << err;
    EXPECT_NE(err.find("row width"), std::string::npos) << err;
}

// ---------------------------------------------------------------------------
// Writer round trips
// ---------------------------------------------------------------------------

TEST(SgiWriter, RoundTripsEveryChannelCountBothStorages) {
    for (int channels = 1; channels <= 4; ++channels) {
        for (bool runLength : {false, true}) {
            const Bytes pixels = pattern(300, 7, channels);  // 300 > one packet's 127
            const Bytes file = encodeSgiImage(300, 7, channels, pixels, runLength);
            ASSERT_FALSE(file.empty());
            EXPECT_EQ(file[2], runLength ? 1 : 0);
            SgiImage image;
            std::string error;
            ASSERT_TRUE(decode(file, image, error)) << channels << " " << runLength << ": " << error;
            EXPECT_EQ(image.channels, channels);
            EXPECT_EQ(image.rgba, expectedRgba(pixels, channels)) << channels << " " << runLength;
        }
    }
}

TEST(SgiWriter, RefusesImpossibleSizes) {
    EXPECT_TRUE(encodeSgiImage(0, 4, 3, Bytes(100), false).empty());
    EXPECT_TRUE(encodeSgiImage(4, 4, 5, Bytes(100), false).empty());
    EXPECT_TRUE(encodeSgiImage(4, 4, 3, Bytes(47), true).empty());  // one byte short
    EXPECT_TRUE(encodeSgiImage(70000, 1, 1, Bytes(70000), true).empty());
}

// ---------------------------------------------------------------------------
// The generated textures
// ---------------------------------------------------------------------------

TEST(GeneratedTextures, AreSquarePowersOfTwoWithBothStoragesAndAreDeterministic) {
    const std::string dir = tempDir() + "/regenerated";
    mkdir(dir.c_str(), 0755);
    const std::string command = std::string(MAZE_BINARY_DIR) + "/gen_textures " + dir;
    ASSERT_EQ(std::system(command.c_str()), 0);
    bool sawRunLength = false, sawVerbatim = false;
    for (const char* name : kTextureFileNames) {
        const Bytes shipped = readBytes(std::string(MAZE_DATA_DIR) + "/" + name);
        EXPECT_EQ(readBytes(dir + "/" + name), shipped) << name << " differs between runs";
        SgiImage image;
        std::string error;
        ASSERT_TRUE(decode(shipped, image, error)) << name << ": " << error;
        EXPECT_EQ(image.width, image.height) << name;
        EXPECT_TRUE(image.width == 256 || image.width == 512) << name;
        (shipped[2] == 1 ? sawRunLength : sawVerbatim) = true;
    }
    EXPECT_TRUE(sawRunLength);
    EXPECT_TRUE(sawVerbatim);
}

// Opposite edges of each picture meet without a seam: the jump across the
// wrap is no bigger than a typical jump between neighbouring columns (rows).
TEST(GeneratedTextures, TileWithoutSeams) {
    for (const char* name : kTextureFileNames) {
        const Bytes file = readBytes(std::string(MAZE_DATA_DIR) + "/" + name);
        SgiImage image;
        std::string error;
        ASSERT_TRUE(decode(file, image, error)) << name;
        const int n = image.width;
        auto px = [&](int x, int y, int c) {
            return static_cast<int>(image.rgba[(static_cast<size_t>(y) * n + x) * 4 + c]);
        };
        auto meanJump = [&](int x0, int x1, bool columns) {
            long sum = 0;
            for (int t = 0; t < n; ++t)
                for (int c = 0; c < 3; ++c)
                    sum += columns ? std::abs(px(x0, t, c) - px(x1, t, c))
                                   : std::abs(px(t, x0, c) - px(t, x1, c));
            return static_cast<double>(sum) / (n * 3);
        };
        double inside = 0;
        for (int x = 1; x < n; x += 7) inside += meanJump(x - 1, x, true) + meanJump(x - 1, x, false);
        inside /= 2 * ((n - 2) / 7 + 1);
        EXPECT_LE(meanJump(n - 1, 0, true), 2.5 * inside + 2.0) << name << " left/right seam";
        EXPECT_LE(meanJump(n - 1, 0, false), 2.5 * inside + 2.0) << name << " top/bottom seam";
    }
}

// The lamp picture is the wall with a bright warm glow three quarters up.
TEST(GeneratedTextures, LitWallIsTheWallWithAWarmGlowAtTheLamp) {
    SgiImage wall, lit;
    std::string error;
    ASSERT_TRUE(decode(readBytes(std::string(MAZE_DATA_DIR) + "/wall.rgb"), wall, error));
    ASSERT_TRUE(decode(readBytes(std::string(MAZE_DATA_DIR) + "/wall1.rgb"), lit, error));
    ASSERT_EQ(wall.width, lit.width);
    const int n = wall.width;
    auto at = [n](const SgiImage& im, int x, int y, int c) {
        return static_cast<int>(im.rgba[(static_cast<size_t>(y) * n + x) * 4 + c]);
    };
    const int lampX = n / 2, lampY = n * 3 / 4;
    EXPECT_GT(at(lit, lampX, lampY, 0), 230);  // the hot bulb
    EXPECT_GT(at(lit, lampX, lampY, 0), at(lit, lampX, lampY, 2) + 40);  // warm
    // Beside the plate the wall is brighter than the plain wall there.
    const int beside = lampX + n / 8;
    EXPECT_GT(at(lit, beside, lampY, 0), at(wall, beside, lampY, 0) + 20);
    // Far from the lamp the two pictures are the same wall.
    for (int c = 0; c < 3; ++c) EXPECT_EQ(at(lit, 2, 2, c), at(wall, 2, 2, c));
}

// ---------------------------------------------------------------------------
// Cross-check against ImageMagick
// ---------------------------------------------------------------------------

TEST(SgiMagick, ImageMagickReadsEveryGeneratedTextureAsWeDo) {
    if (!haveImageMagick()) GTEST_SKIP() << "ImageMagick (/usr/bin/convert) is not installed";
    for (const char* name : kTextureFileNames) {
        const std::string path = std::string(MAZE_DATA_DIR) + "/" + name;
        const Bytes identified = runCommand("/usr/bin/identify -format '%m %w %h' '" + path + "'");
        SgiImage image;
        std::string error;
        ASSERT_TRUE(decode(readBytes(path), image, error)) << name;
        const std::string expect = "SGI " + std::to_string(image.width) + " " +
                                   std::to_string(image.height);
        EXPECT_EQ(std::string(identified.begin(), identified.end()), expect) << name;
        EXPECT_EQ(magickRgba(path), flipRows(image.rgba, image.width, image.height)) << name;
        // ImageMagick's own rendering of the file, for a person to look at.
        const std::string frames = std::string(MAZE_BINARY_DIR) + "/test-frames";
        mkdir(frames.c_str(), 0755);
        runCommand("/usr/bin/convert '" + path + "' '" + frames + "/texture-" + name + ".png'");
    }
}

TEST(SgiMagick, BothReadersAgreeOnEveryChannelCountAndStorage) {
    if (!haveImageMagick()) GTEST_SKIP() << "ImageMagick (/usr/bin/convert) is not installed";
    const std::string dir = tempDir();
    const int w = 150, h = 5;  // wider than one packet
    // Files we write, read by ImageMagick.
    for (int channels = 1; channels <= 4; ++channels) {
        for (bool runLength : {false, true}) {
            const std::string path = dir + "/ours-" + std::to_string(channels) +
                                     (runLength ? "-rle" : "") + ".rgb";
            const Bytes pixels = pattern(w, h, channels);
            writeBytes(path, encodeSgiImage(w, h, channels, pixels, runLength));
            Bytes theirs = magickRgba(path);
            Bytes ours = flipRows(expectedRgba(pixels, channels), w, h);
            // ImageMagick reads a two-channel file as grey and drops the
            // second channel, which the game takes as alpha: compare grey.
            if (channels == 2 && theirs.size() == ours.size())
                for (size_t i = 3; i < ours.size(); i += 4) theirs[i] = ours[i];
            EXPECT_EQ(theirs, ours) << channels << " channels, run-length " << runLength;
        }
    }
    // Files ImageMagick writes, read by us. It writes grey as one channel,
    // colour as three and colour with alpha as four (never two).
    const struct {
        int channels;
        const char* input;
    } kinds[] = {{1, "gray"}, {3, "rgb"}, {4, "rgba"}};
    for (const auto& kind : kinds) {
        for (bool runLength : {false, true}) {
            const std::string raw = dir + "/in-" + kind.input + ".raw";
            const std::string path = dir + "/magick-" + kind.input + (runLength ? "-rle" : "") + ".sgi";
            writeBytes(raw, pattern(w, h, kind.channels));
            const std::string command = "/usr/bin/convert -size " + std::to_string(w) + "x" +
                                        std::to_string(h) + " -depth 8 " + kind.input + ":'" + raw +
                                        "' -compress " + (runLength ? "RLE" : "None") + " '" + path +
                                        "' 2>&1";
            runCommand(command);
            const Bytes file = readBytes(path);
            ASSERT_GT(file.size(), 12u) << command;
            EXPECT_EQ(file[2], runLength ? 1 : 0) << path;
            SgiImage image;
            std::string error;
            ASSERT_TRUE(decode(file, image, error)) << path << ": " << error;
            EXPECT_EQ(image.channels, kind.channels) << path;
            EXPECT_EQ(flipRows(image.rgba, w, h), magickRgba(path)) << path;
        }
    }
}
