// The game finds its data folder from any working directory, or says where
// it looked.
#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "world/world.h"

namespace {

namespace fs = std::filesystem;
using namespace testing::internal;

std::string workingFolder() {
    char buf[PATH_MAX] = {};
    return getcwd(buf, sizeof buf) ? std::string(buf) : std::string();
}

TEST(DataFolder, TheLevelHereOrInDataBesideTheProgram) {
    const std::string saved = workingFolder();
    char pattern[] = "/tmp/maze-data-folder-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const fs::path root = fs::canonical(pattern);
    const fs::path data = root / "build" / "data";
    const fs::path elsewhere = root / "elsewhere";
    fs::create_directories(data);
    fs::create_directories(elsewhere);
    std::ofstream(data / kMapFileName) << "1 1\n";
    const std::string program = (root / "build" / "maze").string();

    // Started elsewhere: the data folder beside the program, and it says so.
    ASSERT_EQ(chdir(elsewhere.c_str()), 0);
    CaptureStdout();
    EXPECT_TRUE(enterDataFolder(program, "maze"));
    EXPECT_EQ(GetCapturedStdout(), "Data folder: " + data.string() + "\n");
    EXPECT_EQ(workingFolder(), data.string());

    // A folder with its own level is used as it is, silently.
    std::ofstream(elsewhere / kMapFileName) << "1 1\n";
    ASSERT_EQ(chdir(elsewhere.c_str()), 0);
    CaptureStdout();
    EXPECT_TRUE(enterDataFolder(program, "maze"));
    EXPECT_EQ(GetCapturedStdout(), "");
    EXPECT_EQ(workingFolder(), elsewhere.string());

    // Neither: one line naming both places and how to start.
    fs::remove(elsewhere / kMapFileName);
    fs::remove(data / kMapFileName);
    CaptureStderr();
    EXPECT_FALSE(enterDataFolder(program, "maze"));
    const std::string said = GetCapturedStderr();
    EXPECT_EQ(workingFolder(), elsewhere.string());
    EXPECT_NE(said.find(elsewhere.string()), std::string::npos) << said;
    EXPECT_NE(said.find(data.string()), std::string::npos) << said;
    EXPECT_NE(said.find("cd build/data && ../maze"), std::string::npos) << said;
    EXPECT_EQ(said.find('\n'), said.size() - 1) << "one line";

    ASSERT_EQ(chdir(saved.c_str()), 0);
    fs::remove_all(root);
}

}  // namespace
