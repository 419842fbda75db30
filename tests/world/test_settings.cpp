// The player's saved settings: what is written is read back, a damaged or
// foreign file gives the defaults and one line, and a failed write leaves
// the old file whole.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/test_files.h"
#include "world/world.h"

namespace {

namespace fs = std::filesystem;

std::string fileText(const fs::path& p) {
    const Bytes b = readBytes(p);
    return std::string(b.begin(), b.end());
}

// A folder of each test's own, removed with the scratch folder.
struct SettingsFolder : testing::Test {
    const fs::path root = fs::path(scratchDir()) / testing::UnitTest::GetInstance()->current_test_info()->name();
    void SetUp() override { fs::create_directories(root); }
};

bool same(const Settings& a, const Settings& b) {
    return a.soundOn == b.soundOn && a.detailLevel == b.detailLevel && a.windowWidth == b.windowWidth &&
           a.windowHeight == b.windowHeight && a.fullscreen == b.fullscreen && a.playerName == b.playerName;
}

TEST_F(SettingsFolder, WhatIsWrittenIsReadBackAndThePathFollowsTheDesktopsRule) {
    const Settings chosen{.soundOn = true, .detailLevel = 8, .windowWidth = 1600, .windowHeight = 1200,
                          .fullscreen = true, .playerName = "Ann = the \"best\""};
    const fs::path path = root / "deep" / "maze" / "settings";
    std::string error;
    ASSERT_TRUE(writeSettings(path.string(), chosen, error)) << error;
    Settings read;
    EXPECT_TRUE(readSettings(path.string(), read));
    EXPECT_TRUE(same(read, chosen)) << fileText(path);
    EXPECT_FALSE(fs::exists(path.string() + ".new"));

    // A later version's names are passed over; the rest is kept.
    std::ofstream(path, std::ios::app) << "\n# a comment\nvolume = 7\n";
    EXPECT_TRUE(readSettings(path.string(), read));
    EXPECT_TRUE(same(read, chosen));

    // No file yet: the defaults, silently.
    logtest::LogCapture said;
    EXPECT_FALSE(readSettings((root / "none").string(), read));
    EXPECT_TRUE(same(read, Settings{}));
    EXPECT_TRUE(said.lines().empty());

    const char* savedConfig = std::getenv("XDG_CONFIG_HOME");
    const std::string keep = savedConfig ? savedConfig : "";
    setenv("XDG_CONFIG_HOME", "/cfg", 1);
    EXPECT_EQ(settingsPath(), "/cfg/maze/settings");
    setenv("XDG_CONFIG_HOME", "relative", 1);
    setenv("HOME", "/home/ann", 1);
    EXPECT_EQ(settingsPath(), "/home/ann/.config/maze/settings");
    if (savedConfig) setenv("XDG_CONFIG_HOME", keep.c_str(), 1);
    else unsetenv("XDG_CONFIG_HOME");
}

// Each damaged file: the defaults and one warning line that names the file.
TEST_F(SettingsFolder, DamagedForeignOrOversizedFilesGiveTheDefaultsAndOneLine) {
    const std::string good = formatSettings(Settings{.soundOn = true, .detailLevel = 0, .playerName = ""});
    const std::string cases[] = {
        "",                                             // empty
        "sound = on\n",                                 // another program's: no header line
        good + "detail = 10\n",                         // out of range
        good + "detail = -1\n",
        good + "detail = 99999999999999999999\n",
        good + "window = 640\n",                        // not WxH
        good + "window = 99x480\n",                     // too small
        good + "sound = loud\n",
        good + "fullscreen\n",                          // no "="
        good + "name = " + std::string(33, 'a') + "\n", // too long
        good + "name = a\tb\n",                         // a control character
        good + std::string("detail = 3\0\n", 12),       // binary
        good + std::string(kMaxSettingsFileSize, '#'),  // larger than any of ours
    };
    // And a folder where the file should be: unreadable.
    std::vector<std::string> paths{(root / "dir").string()};
    fs::create_directories(paths[0]);
    for (const std::string& text : cases) {
        paths.push_back((root / ("settings-" + std::to_string(paths.size()))).string());
        std::ofstream(paths.back(), std::ios::binary) << text;
    }
    expectRefusedInOneLine(paths, LogLevel::Warning, "using the defaults", [](const std::string& path) {
        Settings read;
        read.soundOn = true;
        return !readSettings(path, read) && same(read, Settings{});
    });
}

// The write cannot finish (the file size limit stops it part-way, as a full
// disk would): the old file is untouched and no new one is left beside it.
TEST_F(SettingsFolder, AFailedWriteLeavesTheOldFileWhole) {
    const fs::path path = root / "settings";
    std::string error;
    Settings first, second;
    first.detailLevel = 2;
    second.soundOn = true;
    second.detailLevel = 7;
    ASSERT_TRUE(writeSettings(path.string(), first, error)) << error;
    const std::string before = fileText(path);

    struct rlimit saved {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = 20;  // bytes: the header line alone is longer
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool written = writeSettings(path.string(), second, error);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(written);
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(fileText(path), before);
    EXPECT_FALSE(fs::exists(path.string() + ".new"));
    Settings read;
    EXPECT_TRUE(readSettings(path.string(), read));
    EXPECT_EQ(read.detailLevel, 2);
}

}  // namespace
