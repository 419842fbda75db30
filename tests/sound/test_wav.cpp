// test_wav.cpp -- the WAV reader against sox (a reader and writer nobody
// here wrote), against unusual chunk layouts, and against broken files,
// which must be refused with one line naming the file.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "sound/sound.h"
#include "sound_files.h"

namespace {

// Everything the reader delivers, read in pieces of `piece` bytes.
Bytes readAll(WaveReader& r, uint32_t piece) {
    Bytes out, buf(piece);
    for (uint32_t got = piece; got == piece;) {
        EXPECT_EQ(readWave(r, piece, buf.data(), &got), 0);
        out.insert(out.end(), buf.begin(), buf.begin() + got);
    }
    return out;
}

// Opens `path`, which must be refused, then reads from the refused reader,
// which must deliver nothing.
bool refusedUnread(const std::string& path) {
    WaveReader r;
    const bool refused = openWave(r, path.c_str()) == kSoundFail && r.file == nullptr;
    uint32_t got = 7;
    uint8_t b[4];
    return refused && readWave(r, 4, b, &got) == kSoundFail && got == 0;
}

std::string soxInfo(const std::string& flag, const std::string& path) {
    std::string s = commandOutput("sox --i " + flag + " '" + path + "' 2>/dev/null");
    while (!s.empty() && (s.back() == '\n' || s.back() == ' ')) s.pop_back();
    return s;
}

// Files sox writes deliver the samples sox decodes; sox reads the game's
// generated sounds as our reader does.
TEST(WavReader, AgreesWithSoxBothWays) {
    for (const int bits : {8, 16})
        for (const int channels : {1, 2})
            for (const int rate : {11025, 44100}) {
                const std::string base = scratchDir() + "/sox-" + std::to_string(bits * 1000000 + channels * 100000 + rate);
                const std::string synth = "sox -q -n -r " + std::to_string(rate) + " -b " + std::to_string(bits) +
                                          " -c " + std::to_string(channels) + " -e " +
                                          (bits == 8 ? "unsigned" : "signed") + " '" + base +
                                          ".wav' synth 0.37 sine 440 sine 1234 vol 0.7 && sox -q '" + base +
                                          ".wav' -t raw '" + base + ".raw'";
                ASSERT_EQ(std::system(synth.c_str()), 0) << synth;
                const Bytes expected = readBytes(base + ".raw");
                WaveReader r;
                ASSERT_EQ(openWave(r, (base + ".wav").c_str()), 0) << base;
                EXPECT_EQ(r.format.samplesPerSec, static_cast<uint32_t>(rate));
                EXPECT_EQ(r.format.channels, channels);
                ASSERT_GT(expected.size(), 1000u);
                EXPECT_EQ(readAll(r, 777), expected) << base;
                closeWave(r);
            }
    for (const char* name : {"music.wav", "gun1.wav", "gun2.wav", "explode.wav"}) {
        const std::string path = std::string(MAZE_DATA_DIR) + "/" + name;
        WaveReader r;
        ASSERT_EQ(openWave(r, path.c_str()), 0) << path;
        EXPECT_EQ(soxInfo("-r", path), std::to_string(r.format.samplesPerSec)) << name;
        EXPECT_EQ(soxInfo("-c", path), std::to_string(r.format.channels)) << name;
        EXPECT_EQ(soxInfo("-b", path), std::to_string(r.format.bitsPerSample)) << name;
        EXPECT_EQ(soxInfo("-s", path), std::to_string(r.dataLength / r.format.blockAlign)) << name;
        closeWave(r);
    }
}

TEST(WavReader, ChunkLayoutsReadTheSame) {
    const Fmt f{1, 2, 22050, 16};
    const Bytes data = pattern(4000);
    const Bytes list = chunk("LIST", Bytes{'I', 'N', 'F', 'O', 'I', 'S', 'F', 'T', 3, 0, 0, 0, 'x', 'y', 0, 0});
    const Bytes odd = chunk("junk", Bytes(13, 0x55));  // padded to 14
    Fmt f18 = f;
    f18.extraBytes = 2;
    const std::vector<Bytes> layouts = {
        riffWave({list, chunk("fmt ", fmtBody(f)), odd, chunk("data", data), list}),
        riffWave({chunk("data", data), odd, chunk("fmt ", fmtBody(f))}),  // data before fmt
        riffWave({chunk("fmt ", fmtBody(f18)), chunk("data", data)}),    // 18-byte PCM record
    };
    for (size_t i = 0; i < layouts.size(); ++i) {
        WaveReader r;
        ASSERT_EQ(openWave(r, writeFile("layout.wav", layouts[i]).c_str()), 0) << i;
        EXPECT_EQ(r.format.blockAlign, 4);
        EXPECT_EQ(r.riffChunk.size, layouts[i].size() - 8);
        EXPECT_EQ(readAll(r, 999), data) << i;
        // A rewind starts over.
        ASSERT_EQ(rewindWave(r), 0);
        EXPECT_EQ(readAll(r, 4000), data) << i;
        closeWave(r);
    }
}

// Broken files are refused with one line naming the file, and so is a file
// over the limit, of any kind, before its data is read: a sparse one, though
// its header is good, by its size; a pipe or a device without a size as
// unreadable.
TEST(WavReader, BrokenAndOversizedFilesAreRefusedWithOneLineNamingTheFile) {
    const Fmt good{1, 1, 22050, 16};
    const Bytes data = pattern(100);
    Bytes riffTooLong = simpleWave(good, data), dataTooLong = riffTooLong, notWave = riffWave({});
    riffTooLong[4] += 10;
    dataTooLong[dataTooLong.size() - 100 - 4] += 50;  // the data chunk's size field
    notWave[8] = 'X';
    Fmt zeroChannels = good, badAlign = good, bits24 = good, floatTag = good, slow = good, fast = good;
    zeroChannels.channels = 0;
    badAlign.blockAlign = 4;
    bits24.bits = 24;
    floatTag.tag = 3;
    slow.rate = 0;
    fast.rate = 0x40000000;
    Bytes shortFmt = fmtBody(good);
    shortFmt.resize(14);
    const std::vector<std::pair<const char*, Bytes>> cases = {
        {"empty.wav", Bytes{}},
        {"notriff.wav", Bytes{'R', 'I', 'F', 'X', 4, 0, 0, 0, 'W', 'A', 'V', 'E'}},
        {"notwave.wav", notWave},
        {"rifftoolong.wav", riffTooLong},
        {"datatoolong.wav", dataTooLong},
        {"nofmt.wav", riffWave({chunk("data", data)})},
        {"shortfmt.wav", riffWave({chunk("fmt ", shortFmt), chunk("data", data)})},
        {"nodata.wav", riffWave({chunk("fmt ", fmtBody(good))})},
        {"emptydata.wav", simpleWave(good, Bytes{})},
        {"halfblock.wav", simpleWave(good, Bytes{1})},
        {"zerochannels.wav", simpleWave(zeroChannels, data)},
        {"badalign.wav", simpleWave(badAlign, data)},
        {"bits24.wav", simpleWave(bits24, data)},
        {"float.wav", simpleWave(floatTag, data)},
        {"rate0.wav", simpleWave(slow, data)},
        {"ratehuge.wav", simpleWave(fast, data)},
    };
    const HostileFiles hostile("sound");
    ASSERT_TRUE(hostile.made());
    std::vector<std::string> paths = hostile.oversized();
    paths.push_back(hostile.silent);
    for (const auto& [name, bytes] : cases) paths.push_back(writeFile(name, bytes));
    expectRefusedInOneLine(paths, LogLevel::Warning, "refused", refusedUnread);
    const std::string sparse = writeFile("sparse.wav", simpleWave(good, data));
    ASSERT_EQ(truncate(sparse.c_str(), static_cast<off_t>(kMaxWaveFileSize) + 1), 0);
    expectRefusedInOneLine({sparse}, LogLevel::Warning, std::to_string(kMaxWaveFileSize), refusedUnread);
    // A file cut short inside its data after opening fails the read.
    const std::string path = writeFile("cut.wav", simpleWave(Fmt{1, 1, 22050, 8}, pattern(5000)));
    WaveReader r;
    ASSERT_EQ(openWave(r, path.c_str()), 0);
    ASSERT_EQ(truncate(path.c_str(), 44 + 1000), 0);
    Bytes buf(5000);
    uint32_t got = 0;
    EXPECT_EQ(readWave(r, 5000, buf.data(), &got), kSoundFail);
    EXPECT_EQ(got, 0u);
    closeWave(r);
}

}  // namespace
