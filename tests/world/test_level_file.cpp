// test_level_file.cpp -- a level as a program loads it for play and for the
// join: its name and digest, and a missing or damaged file named in one line.
#include <gtest/gtest.h>

#include <string>

#include "tests/test_files.h"
#include "world/world.h"

namespace {

TEST(LevelFile, TheDigestIsOfTheBytesAndNeverZero) {
    // 64-bit FNV-1a's published values.
    EXPECT_EQ(levelDigest({}), 0xCBF29CE484222325ull);
    EXPECT_EQ(levelDigest({'a'}), 0xAF63DC4C8601EC8Cull);
    // One byte's difference, e.g. a fighter start moved, is another level.
    EXPECT_NE(levelDigest({'1', ' ', '2'}), levelDigest({'1', ' ', '3'}));
}

TEST(LevelFile, LoadedByPathWithItsBaseNameOrRefusedInOneLine) {
    const std::string arena = std::string(MAZE_DATA_DIR) + "/arena.map";
    LevelFile level;
    EXPECT_EQ(loadLevel(arena, level), "");
    EXPECT_EQ(level.name, "arena.map");
    EXPECT_EQ(level.digest, levelDigest(readBytes(arena)));
    EXPECT_EQ(maze.cols, 14);
    EXPECT_GE(maze.fighterStartCount, 2);

    const std::string missing = scratchDir() + "/no-such.map";
    const std::string fault = loadLevel(missing, level);
    EXPECT_EQ(fault.find("the level \"" + missing + "\" cannot be used: "), 0u) << fault;
    EXPECT_EQ(maze.cols, 0) << "the last level is not kept";

    const std::string damaged = scratchDir() + "/damaged.map";
    writeBytes(damaged, Bytes{'1', '4', ' ', '1', '2', '\n', '8', ' ', 'q', '\n'});
    EXPECT_EQ(loadLevel(damaged, level).find("the level \"" + damaged + "\" is damaged: "), 0u);
    EXPECT_EQ(level.name, "damaged.map");
    for (const std::string& f : {fault, loadLevel(damaged, level)}) EXPECT_EQ(f.find('\n'), std::string::npos) << f;
}

}  // namespace
