// test_help.cpp -- the F1 panel: its key table is the README's, F1 shows it
// over the view and F1 again takes it away. Frames go to
// <build>/test-frames/help_*.png.
#include <fstream>

#include "render/help.h"
#include "render_test_util.h"

using rendertest::Frame;
using rendertest::Rgb;

namespace {

// The README's key table: the rows after "| Key | Action |" and its rule.
std::vector<std::pair<std::string, std::string>> readmeKeyTable() {
    std::ifstream in(std::string(MAZE_SOURCE_DIR) + "/README.md");
    std::vector<std::pair<std::string, std::string>> rows;
    std::string line;
    bool inTable = false;
    while (std::getline(in, line)) {
        if (line == "| Key | Action |") {
            inTable = true;
            std::getline(in, line);  // the rule under the heading
            continue;
        }
        if (!inTable) continue;
        if (line.size() < 2 || line[0] != '|') break;
        const size_t mid = line.find(" | ");
        if (mid == std::string::npos || line.substr(line.size() - 2) != " |") break;
        rows.emplace_back(line.substr(2, mid - 2), line.substr(mid + 3, line.size() - mid - 5));
    }
    return rows;
}

}  // namespace

TEST(Help, TheReadmesKeyTableIsThePanels) {
    const auto rows = readmeKeyTable();
    ASSERT_EQ(rows.size(), sizeof kKeyHelp / sizeof kKeyHelp[0]);
    for (size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(rows[i].first, kKeyHelp[i].keys);
        EXPECT_EQ(rows[i].second, kKeyHelp[i].action);
    }
}

TEST(Help, F1ShowsTheKeysOverTheViewUntilF1Again) {
    if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no display (run under xvfb-run)";
    ASSERT_TRUE(rendertest::openGameWindow());
    options.texturesOn = true;
    options.lightingOn = false;
    view.helpShown = false;
    const Frame plain = rendertest::drawFrameAt("help_off", 12.0f, 12.0f, 0.0f, 1.0f);
    onSpecialKey(GLUT_KEY_F1, 0, 0);
    ASSERT_TRUE(view.helpShown);
    const Frame shown = rendertest::drawFrameAt("help_on", 12.0f, 12.0f, 0.0f, 1.0f);
    // Over the view: a dark panel with many lines of white text on it; the
    // cockpit's panel on the right untouched.
    const auto white = [](Rgb c) { return c.r > 200 && c.g > 200 && c.b > 200; };
    const auto dark = [](Rgb c) { return c.r < 40 && c.g < 40 && c.b < 60; };
    EXPECT_GT(shown.count(40, 100, 480, 440, dark), 30000);
    EXPECT_GT(shown.count(40, 100, 480, 440, white), 2000);
    int textRows = 0;
    for (int y = 100; y < 460; ++y) textRows += shown.count(40, y, 480, y + 1, white) > 0 ? 1 : 0;
    EXPECT_GT(textRows, 150) << "about twenty lines of text";
    EXPECT_EQ(rendertest::meanDifference(shown, plain, 520, 0, 640, 480), 0.0);
    onSpecialKey(GLUT_KEY_F1, 0, 0);
    EXPECT_FALSE(view.helpShown);
    const Frame again = rendertest::drawFrameAt("help_off_again", 12.0f, 12.0f, 0.0f, 1.0f);
    // The same frame but for the lamp's flickering flame.
    EXPECT_LT(rendertest::meanDifference(again, plain, 0, 0, 640, 480), 0.05);
}
