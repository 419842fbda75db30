// The game finds its data folder from any working directory, or says where
// it looked.
#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/log_capture.h"
#include "world/world.h"

namespace {

namespace fs = std::filesystem;

std::string workingFolder() {
    char buf[PATH_MAX] = {};
    return getcwd(buf, sizeof buf) ? std::string(buf) : std::string();
}

// A fresh folder under /tmp. However the test ends, the working directory
// it started in is restored and the folder removed, so a failure here
// cannot leave the tests after it in the wrong directory.
struct ScratchFolder {
    const std::string saved = workingFolder();
    fs::path root;
    ScratchFolder() {
        char pattern[] = "/tmp/maze-data-folder-XXXXXX";
        if (mkdtemp(pattern) != nullptr) root = fs::canonical(pattern);
    }
    ~ScratchFolder() {
        if (!saved.empty() && chdir(saved.c_str()) != 0) ADD_FAILURE() << "cannot return to " << saved;
        std::error_code ignored;
        if (!root.empty()) fs::remove_all(root, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
};

TEST(DataFolder, TheLevelHereOrInDataBesideTheProgram) {
    const ScratchFolder scratch;
    ASSERT_FALSE(scratch.saved.empty());
    ASSERT_FALSE(scratch.root.empty());
    const fs::path data = scratch.root / "build" / "data";
    const fs::path elsewhere = scratch.root / "elsewhere";
    fs::create_directories(data);
    fs::create_directories(elsewhere);
    std::ofstream(data / kMapFileName) << "1 1\n";
    const std::string program = (scratch.root / "build" / "maze").string();
    // The desktop's folders are the test's own: an installed game on this
    // machine must not be found.
    const fs::path xdg = scratch.root / "xdg";
    ASSERT_EQ(setenv("XDG_DATA_DIRS", xdg.c_str(), 1), 0);
    logtest::LogCapture said;

    // Started elsewhere: the data folder beside the program, and it says so.
    ASSERT_EQ(chdir(elsewhere.c_str()), 0);
    EXPECT_TRUE(enterDataFolder(program, "maze"));
    EXPECT_EQ(said.outputText(), "Data folder: " + data.string() + "\n");
    EXPECT_EQ(said.errorText(), "");
    EXPECT_EQ(workingFolder(), data.string());

    // A folder with its own level is used as it is, silently.
    said.clear();
    std::ofstream(elsewhere / kMapFileName) << "1 1\n";
    ASSERT_EQ(chdir(elsewhere.c_str()), 0);
    EXPECT_TRUE(enterDataFolder(program, "maze"));
    EXPECT_TRUE(said.lines().empty());
    EXPECT_EQ(workingFolder(), elsewhere.string());

    // Neither: one line on the error stream naming both places and how to start.
    said.clear();
    fs::remove(elsewhere / kMapFileName);
    fs::remove(data / kMapFileName);
    EXPECT_FALSE(enterDataFolder(program, "maze"));
    EXPECT_EQ(workingFolder(), elsewhere.string());
    ASSERT_EQ(said.lines().size(), 1u);
    const std::string line = said.errorText();
    EXPECT_NE(line.find(elsewhere.string()), std::string::npos) << line;
    EXPECT_NE(line.find(data.string()), std::string::npos) << line;
    EXPECT_NE(line.find("cd build/data && ../maze"), std::string::npos) << line;
    EXPECT_EQ(line.find('\n'), line.size() - 1) << "one line";
    EXPECT_NE(line.find((xdg / "maze").string()), std::string::npos) << line;
    unsetenv("XDG_DATA_DIRS");
}

// An installed game: <prefix>/bin/maze finds <prefix>/share/maze, and a
// program elsewhere finds the desktop's data folders in their order; the
// folder is said without "..".
TEST(DataFolder, AnInstallationUnderAnyPrefixAndTheDesktopsDataFolders) {
    const ScratchFolder scratch;
    ASSERT_FALSE(scratch.root.empty());
    const fs::path share = scratch.root / "prefix" / "share" / "maze";
    const fs::path first = scratch.root / "xdg1", second = scratch.root / "xdg2";
    for (const fs::path& p : {share, first / "maze", second / "maze", scratch.root / "prefix" / "bin"})
        fs::create_directories(p);
    std::ofstream(share / kMapFileName) << "1 1\n";
    std::ofstream(second / "maze" / kMapFileName) << "1 1\n";
    ASSERT_EQ(chdir(scratch.root.c_str()), 0);
    const std::string dirs = first.string() + ":relative/ignored::" + second.string() + "/";
    ASSERT_EQ(setenv("XDG_DATA_DIRS", dirs.c_str(), 1), 0);
    logtest::LogCapture said;

    EXPECT_TRUE(enterDataFolder((scratch.root / "prefix" / "bin" / "maze").string(), "maze"));
    EXPECT_EQ(workingFolder(), share.string());
    EXPECT_EQ(said.outputText(), "Data folder: " + share.string() + "\n");

    // The first desktop folder has no level: the second is used; a relative
    // entry is never tried.
    said.clear();
    ASSERT_EQ(chdir(scratch.root.c_str()), 0);
    EXPECT_TRUE(enterDataFolder("/nowhere/bin/maze", "maze"));
    EXPECT_EQ(workingFolder(), (second / "maze").string());
    const std::vector<std::string> tried = dataFolderCandidates("/nowhere/bin/maze", dirs.c_str());
    EXPECT_EQ(tried, (std::vector<std::string>{"/nowhere/bin/data", "/nowhere/bin/../share/maze",
                                               (first / "maze").string(), (second / "maze").string()}));
    // Unset: the XDG defaults.
    EXPECT_EQ(dataFolderCandidates("maze", nullptr),
              (std::vector<std::string>{"/usr/local/share/maze", "/usr/share/maze"}));
    unsetenv("XDG_DATA_DIRS");
}

}  // namespace
