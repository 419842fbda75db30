// test_maze_pixels.cpp -- frames of the shipped level drawn by the game's own
// display callback in a 640 x 480 window, checked at chosen pixels. Every
// test writes the frame it grabbed to <build>/test-frames/<name>.png.
#include "render_test_util.h"

using namespace rendertest;

namespace {

class MazePixels : public testing::Test {
protected:
    void SetUp() override {
        if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no display (run under xvfb-run)";
        openGameWindow();
        ASSERT_TRUE(windowReady);
        gs.texturesOn = true;
        gs.lightingOn = false;
    }
};

}  // namespace

// Screens of several places of the level, for a person to look at.
TEST_F(MazePixels, ViewsOfTheLevel) {
    const struct {
        const char* name;
        float x, y, dx, dy;
    } places[] = {
        {"view-start", 12.0f, 12.0f, 0.0f, 1.0f},      // fighter start 0
        {"view-corridor", 12.0f, 124.0f, 1.0f, 0.0f},  // down the long row-15 corridor
        {"view-hall", 44.0f, 92.0f, 1.0f, 1.0f},       // across the hall, diagonally
        {"view-lamp", 36.0f, 28.0f, 1.0f, -0.35f},     // a lamp on a wall, at an angle
    };
    for (const auto& p : places) {
        const Frame f = drawFrameAt(p.name, p.x, p.y, p.dx, p.dy);
        EXPECT_GT(f.r(320, 300) + f.g(320, 300) + f.b(320, 300), 60) << p.name << " black";
        EXPECT_GT(view.trianglesDrawn, 0) << p.name;
    }
}
