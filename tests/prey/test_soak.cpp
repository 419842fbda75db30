// test_soak.cpp -- maze-sim on the shipped level: prey hunt, shoot and hit,
// and nothing ends up inside a wall or becomes a non-finite number.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <sstream>
#include <string>

namespace {

// Runs maze-sim in the data folder and returns its summary as key -> value.
std::map<std::string, long> runSim(const std::string& args) {
    const std::string command = std::string("cd '") + MAZE_DATA_DIR + "' && '" + MAZE_BINARY_DIR +
                                "/maze-sim' --quiet " + args;
    std::map<std::string, long> values;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return values;
    std::string out;
    char buffer[4096];
    while (fgets(buffer, sizeof buffer, pipe)) out += buffer;
    const int status = pclose(pipe);
    EXPECT_EQ(status, 0) << command << "\n" << out;
    std::istringstream line(out);
    std::string pair;
    while (line >> pair) {
        const size_t eq = pair.find('=');
        if (eq != std::string::npos) values[pair.substr(0, eq)] = std::stol(pair.substr(eq + 1));
    }
    return values;
}

TEST(Soak, PreyHuntAndShootOnTheShippedLevelForThirtyThousandSteps) {
    auto v = runSim("--steps 30000");
    ASSERT_EQ(v["steps"], 30000) << "maze-sim missing or failed; build it first";
    EXPECT_GT(v["prey_hunting_steps"], 1000);
    EXPECT_GT(v["prey_shots"], 20);
    EXPECT_GT(v["fighter_hits"], 0);
    EXPECT_EQ(v["prey_in_walls"], 0);
    EXPECT_EQ(v["nan"], 0);
}

TEST(Soak, StandingFightersAreSafeFromPreyOutOfRange) {
    // Nobody walks: prey roam for a while without ending up in walls.
    auto v = runSim("--steps 3000 --script still");
    ASSERT_EQ(v["steps"], 3000);
    EXPECT_EQ(v["prey_in_walls"], 0);
    EXPECT_EQ(v["nan"], 0);
}

TEST(Soak, BadArgumentsAreRefused) {
    const std::string command = std::string("'") + MAZE_BINARY_DIR + "/maze-sim' --steps many 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string out;
    char buffer[512];
    while (fgets(buffer, sizeof buffer, pipe)) out += buffer;
    EXPECT_NE(pclose(pipe), 0);
    EXPECT_NE(out.find("usage"), std::string::npos);
}

}  // namespace
