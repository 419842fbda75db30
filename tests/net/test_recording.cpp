// test_recording.cpp -- a recorded game plays back body for body, seeks land
// on the right body, the last-seconds ring keeps its window, and a damaged
// or foreign file is refused or read up to its last whole block, never
// yielding a body that was not recorded.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "fake_net.h"
#include "base/bytes.h"
#include "net/recording.h"
#include "prey/prey.h"
#include "tests/log_capture.h"
#include "tests/test_files.h"

namespace {

struct Recorded {
    std::vector<NetMessage> bodies;
    std::vector<uint32_t> timesMs;
};

// A scripted game of 9 fighters and 16 prey, recorded through the server's
// own hook: each pass steps the world and sends it; passes come 10 ms apart
// with a stall of `stallMs` in the middle (so times are not a plain count).
Recorded recordGame(const std::string& path, int passes, int stallMs = 700) {
    fakeServer(9);
    makeWorld(9, 16);
    for (Fighter& f : gs.fighterList) f.state = FighterState::InPlay;
    const logtest::LogCapture quiet;
    Recorded r;
    const int64_t start = fake.nowMs;
    EXPECT_EQ(startProcessRecording(path), "");
    for (int i = 0; i < passes; ++i) {
        fake.nowMs += i == passes / 2 ? stallMs : 10;
        process.clockPrevMs = process.clockNowMs;
        process.clockNowMs = static_cast<int32_t>(fake.nowMs % 60000);
        gs.fighterList[i % 9].keyDown[static_cast<int>('i')] = i % 3 != 0;
        gs.fighterList[(i + 4) % 9].keyDown[static_cast<int>(' ')] = i % 5 != 0;
        worldStep(updatePrey);
        serverNetworkSend();
        r.bodies.push_back(net.snapshotMessage);
        r.timesMs.push_back(static_cast<uint32_t>(fake.nowMs - start));
    }
    finishProcessRecording();
    return r;
}

bool sameBody(const NetMessage& a, const NetMessage& b) { return std::memcmp(a.bytes, b.bytes, kNetMessageSize) == 0; }

// Every body the reader yields from its first on, each checked against the
// recording: the count of those read (-1 at the first that differs).
int readAllMatching(RecordingReader& r, const Recorded& want) {
    if (!seekRecording(r, 0)) return 0;
    int n = 0;
    do {
        if (n >= static_cast<int>(want.bodies.size()) || !sameBody(r.body, want.bodies[n]) ||
            r.bodyTimeMs != want.timesMs[n])
            return -1;
        ++n;
    } while (readNextBody(r));
    return n;
}

TEST(Recording, AScriptedGameReplaysBodyForBodyAndSeeksLandAtOrBeforeTheTimeAsked) {
    const std::string path = scratchDir() + "/game.mzr";
    const Recorded game = recordGame(path, 800);
    RecordingReader r;
    ASSERT_EQ(openRecordingReader(r, path), "");
    EXPECT_TRUE(r.indexed);
    EXPECT_EQ(r.header.levelName, net.levelName);
    EXPECT_EQ(r.header.fighterCount, 9);
    ASSERT_EQ(r.header.players.size(), 9u);
    EXPECT_EQ(r.header.players[3], "player 3");
    EXPECT_EQ(r.bodies, game.bodies.size());
    EXPECT_EQ(r.durationMs, game.timesMs.back());
    EXPECT_EQ(readAllMatching(r, game), 800);
    // Seek points come at least every kRecordingFullEveryMs.
    for (size_t i = 1; i < r.seekPoints.size(); ++i)
        EXPECT_LE(r.seekPoints[i].timeMs - r.seekPoints[i - 1].timeMs, kRecordingFullEveryMs + 700);
    // Any instant, forward and back, across seek points and into the stall.
    for (const uint32_t t : {0u, 5u, 10u, 1999u, 2000u, 4015u, 4400u, 4700u, 5333u, 2u, 8390u, 9000000u}) {
        ASSERT_TRUE(seekRecording(r, t)) << t;
        size_t want = 0;
        while (want + 1 < game.timesMs.size() && game.timesMs[want + 1] <= t) ++want;
        EXPECT_EQ(r.bodyTimeMs, game.timesMs[want]) << t;
        EXPECT_TRUE(sameBody(r.body, game.bodies[want])) << t;
        // And the body after it follows on.
        if (want + 1 < game.bodies.size()) {
            ASSERT_TRUE(readNextBody(r)) << t;
            EXPECT_TRUE(sameBody(r.body, game.bodies[want + 1])) << t;
        }
    }
    EXPECT_EQ(checkRecording(r), "");
    closeRecordingReader(r);
}

// Also a foreign, empty or endless file: refused with its reason.
TEST(Recording, ACutOrFlippedFileReadsOnlyRecordedBodiesUpToItsLastWholeBlock) {
    const std::string path = scratchDir() + "/damaged-source.mzr";
    // Two seek points: the body after the stall is a full one.
    const Recorded game = recordGame(path, 20, 2500);
    const Bytes whole = readBytes(path);
    const std::string cutPath = scratchDir() + "/damaged.mzr";
    // Where the blocks start: every class of position is cut and flipped.
    RecordingReader r;
    ASSERT_EQ(openRecordingReader(r, path), "");
    std::vector<size_t> places;
    for (size_t i = 0; i < r.firstBlock + 12; ++i) places.push_back(i);
    ASSERT_TRUE(seekRecording(r, 0));
    ASSERT_EQ(r.seekPoints.size(), 2u);
    for (uint64_t at = r.seekPoints[0].offset; at < whole.size(); at += 1999) places.push_back(at);
    for (size_t i = whole.size() - 60; i < whole.size(); ++i) places.push_back(i);
    closeRecordingReader(r);
    // The body blocks' starts and ends, up to the index block.
    const uint64_t indexAt = getLe32(&whole[whole.size() - 16]);
    std::vector<uint64_t> blockStarts, blockEnds;
    for (uint64_t at = r.firstBlock; at < indexAt; at += kRecordingBlockHeadSize + getLe32(&whole[at + 1])) {
        blockStarts.push_back(at);
        blockEnds.push_back(at + kRecordingBlockHeadSize + getLe32(&whole[at + 1]));
    }
    ASSERT_EQ(blockStarts.size(), game.bodies.size());
    for (const uint64_t b : blockStarts)
        for (const int d : {-1, 0, 4, 5, 9, 13}) places.push_back(b + d);

    for (const size_t place : places) {
        for (const bool cutHere : {true, false}) {
            Bytes bytes = whole;
            if (cutHere)
                bytes.resize(place);
            else
                bytes[place] ^= static_cast<uint8_t>(1u << (place % 8));
            writeBytes(cutPath, bytes);
            RecordingReader d;
            const std::string why = openRecordingReader(d, cutPath);
            if (!why.empty()) {
                EXPECT_NE(why.find(cutPath), std::string::npos) << why;
                continue;
            }
            // Whatever opens yields only the recording's own bodies, in order.
            const int n = readAllMatching(d, game);
            EXPECT_GE(n, 0) << (cutHere ? "cut at " : "flip at ") << place;
            // A cut file plays every whole block before the cut.
            if (cutHere) {
                int whole = 0;
                for (const uint64_t end : blockEnds) whole += end <= place ? 1 : 0;
                EXPECT_EQ(n, whole) << "cut at " << place;
            }
            // check names the damage of every damaged file.
            EXPECT_NE(checkRecording(d), "") << place;
            closeRecordingReader(d);
        }
    }
    // Foreign, empty and huge files: refused with their reason.
    const auto reason = [&](const Bytes& b) {
        writeBytes(cutPath, b);
        const std::string why = openRecordingReader(r, cutPath);
        closeRecordingReader(r);
        return why;
    };
    EXPECT_NE(reason({}).find("empty"), std::string::npos);
    Bytes other = whole;
    other[8] = 2;
    EXPECT_NE(reason(other).find("version 2"), std::string::npos);
    other = whole;
    other[0] = 'X';
    EXPECT_NE(reason(other).find("not a maze recording"), std::string::npos);
    // A block that declares 4 GB: refused by its bound, nothing read.
    const size_t first = getLe16(&whole[10]);
    other = Bytes(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(first) + 9);
    putLe32(&other[first + 1], 0xFFFFFFF0u);
    EXPECT_NE(reason(other).find("more than"), std::string::npos);
    // Files without end or with a size no recording has: a line, no hang.
    const HostileFiles hostile("recording");
    ASSERT_TRUE(hostile.made());
    for (const std::string& huge : hostile.oversized()) {
        EXPECT_NE(openRecordingReader(r, huge), "") << huge;
        closeRecordingReader(r);
    }
}

TEST(Recording, TheLastSecondsRingKeepsExactlyItsWindowWithinItsBound) {
    useFakeNet();
    makeWorld(3, 1);
    RecentBodies recent;
    NetMessage body;
    // A minute at 100 bodies a second: the body's first bytes number it.
    for (uint32_t i = 0; i <= 6000; ++i) {
        putLe32(body.bytes + 100, i);
        rememberBody(recent, body, 10 * static_cast<int64_t>(i));
    }
    const std::string path = scratchDir() + "/last.mzr";
    ASSERT_EQ(writeRecentBodies(recent, 60000, path, currentRecordingHeader()), "");
    RecordingReader r;
    ASSERT_EQ(openRecordingReader(r, path), "");
    EXPECT_EQ(r.bodies, 3001u);
    EXPECT_EQ(r.durationMs, 30000u);
    ASSERT_TRUE(seekRecording(r, 0));
    EXPECT_EQ(getLe32(r.body.bytes + 100), 3000u);
    ASSERT_TRUE(seekRecording(r, 30000));
    EXPECT_EQ(getLe32(r.body.bytes + 100), 6000u);
    closeRecordingReader(r);
    // A flood within one second keeps at most the ring's bound, the newest.
    for (uint32_t i = 0; i < 3 * kRecentMaxBodies; ++i) rememberBody(recent, body, 70000);
    EXPECT_EQ(recent.count, kRecentMaxBodies);
}

}  // namespace
