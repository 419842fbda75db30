// test_soak.cpp -- maze-sim on the shipped level: prey hunt, shoot and hit,
// and nothing ends up inside a wall or becomes a non-finite number.
#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>

#include "tests/test_files.h"

namespace {

TEST(Soak, PreyHuntAndShootOnTheShippedLevelForThirtyThousandSteps) {
    int status = 0;
    std::istringstream line(commandOutput(std::string("cd '") + MAZE_DATA_DIR + "' && '" + MAZE_BINARY_DIR +
                                    "/maze-sim' --quiet --steps 30000", &status));
    std::map<std::string, long> v;
    for (std::string pair; line >> pair;)
        if (const size_t eq = pair.find('='); eq != std::string::npos)
            v[pair.substr(0, eq)] = std::stol(pair.substr(eq + 1));
    ASSERT_EQ(status, 0) << line.str();
    ASSERT_EQ(v["steps"], 30000) << "maze-sim missing or failed; build it first";
    EXPECT_GT(v["prey_hunting_steps"], 1000);
    EXPECT_GT(v["prey_shots"], 20);
    EXPECT_GT(v["fighter_hits"], 0);
    EXPECT_EQ(v["prey_in_walls"], 0);
    EXPECT_EQ(v["nan"], 0);
}

}  // namespace
