// test_maze_pixels.cpp -- frames of the shipped level drawn by the game's own
// display callback in a 640 x 480 window, checked at chosen pixels. Every
// test writes the frame it grabbed to <build>/test-frames/<name>.png.
#include <algorithm>

#include "render_test_util.h"

using namespace rendertest;

namespace {

// The reference place of the shipped level (cell size 8): the eye in the
// middle of cell (row 2, column 5), looking along +x at the face of block
// (2, 7) that carries map light 0, 12 units ahead. The lamp (middle of the
// face, 4.5 up) lands at pixel (320, 296).
constexpr float kLampViewX = 44.0f, kLampViewY = 20.0f;
constexpr int kLampPixelX = 320, kLampPixelY = 296;

Frame drawView(const char* name, float x = kLampViewX, float y = kLampViewY, float dx = 1.0f,
                  float dy = 0.0f) {
    return rendertest::drawFrameAt(name, x, y, dx, dy);
}

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

TEST_F(MazePixels, CrosshairIsWhiteAtTheCentreAndSmall) {
    const Frame f = drawView("crosshair");
    auto white = [&](int x, int y) { return std::min({f.r(x, y), f.g(x, y), f.b(x, y)}) > 240; };
    int near = 0, further = 0, horizontal = 0, vertical = 0;
    for (int y = 220; y < 260; ++y)
        for (int x = 300; x < 340; ++x)
            (std::abs(x - 320) <= 8 && std::abs(y - 240) <= 8 ? near : further) += white(x, y);
    for (int d = -5; d <= 5; ++d) {
        horizontal += white(320 + d, 240) || white(320 + d, 239);
        vertical += white(320, 240 + d) || white(319, 240 + d);
    }
    EXPECT_GE(near, 12) << "both bars of the cross";
    EXPECT_EQ(further, 0) << "the cross is only a few pixels across";
    EXPECT_GE(horizontal, 8);
    EXPECT_GE(vertical, 8);
}

TEST_F(MazePixels, WallStraightAheadFillsTheMiddleAndTexturesChangeIt) {
    gs.texturesOn = false;  // plain materials: the wall is a flat grey
    const Frame off = drawView("textures-off");
    gs.texturesOn = true;
    const Frame on = drawView("textures-on");
    int grey = 0, total = 0;
    // The wall, 12 units ahead, spans 34 pixels below the centre to 86 above.
    for (int y = 215; y < 315; y += 3)
        for (int x = 120; x < 500; x += 3) {  // the HUD's panel starts at 505
            if (std::abs(x - 320) < 10 && std::abs(y - 240) < 10) continue;  // crosshair
            // The lamp and its flame on the face ahead.
            if (std::abs(x - kLampPixelX) < 40 && std::abs(y - kLampPixelY) < 40) continue;
            ++total;
            grey += std::abs(off.r(x, y) - off.b(x, y)) < 6 &&
                    std::abs(off.r(x, y) - off.g(x, y)) < 6;
        }
    EXPECT_EQ(grey, total) << "only wall between the floor and the sky";
    EXPECT_GT(off.r(320, 40), off.b(320, 40) + 10) << "yellow floor above the HUD's bottom bar";
    EXPECT_GT(off.b(320, 470), off.r(320, 470)) << "cyan sky at the top";

    EXPECT_GT(meanDifference(on, off, 200, 150, 300, 220), 30.0);
    // Stone with joints varies across the wall; a plain material does not.
    int lo = 255, hi = 0;
    for (int x = 200; x < 300; ++x) {
        lo = std::min(lo, on.g(x, 200));
        hi = std::max(hi, on.g(x, 200));
    }
    EXPECT_GT(hi - lo, 40) << "the textured wall shows blocks and joints";
    EXPECT_GT(on.b(320, 470), on.r(320, 470) + 20) << "blue and white cloud overhead";
}

TEST_F(MazePixels, MapLightsChangeTheLitSurfaces) {
    gs.texturesOn = false;  // textured surfaces hide lighting (decal)
    const Frame off = drawView("lights-default", 124.0f, 124.0f);
    gs.lightingOn = true;
    const Frame on = drawView("lights-map", 124.0f, 124.0f);
    EXPECT_GT(meanDifference(on, off, 0, 0, kWidth, kHeight), 3.0);
}

TEST_F(MazePixels, AWallFaceCarryingALightShowsTheLamp) {
    MazeLight& light = gs.mazeLights[0];
    ASSERT_TRUE(light.row == 2 && light.col == 7 && light.side == 3) << "light 0 has moved";
    const Frame lit = drawView("lamp-face");
    const int x = kLampPixelX, y = kLampPixelY;
    // The lamp model hangs in front of the painted bulb; its flame and the
    // bulb's glow around it are hot and warm.
    int hot = 0;
    for (int py = y - 15; py < y + 15; ++py)
        for (int px = x - 15; px < x + 15; ++px)
            hot += lit.r(px, py) > 220 && lit.r(px, py) > lit.b(px, py) + 40;
    EXPECT_GT(hot, 10);
    // The same face without its light shows the plain wall.
    light.side = 0;
    const Frame plain = drawView("lamp-face-moved");
    light.side = 3;
    EXPECT_LT(plain.r(x, y), 200);
    EXPECT_GT(meanDifference(lit, plain, x - 40, y - 40, x + 40, y + 40), 20.0);
    // The neighbouring block's face (to the right; +y is to the left) is plain in both.
    EXPECT_LT(meanDifference(lit, plain, 440, 200, 490, 260), 1.0);
}

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
        const Frame f = drawView(p.name, p.x, p.y, p.dx, p.dy);
        EXPECT_GT(f.r(320, 300) + f.g(320, 300) + f.b(320, 300), 60) << p.name << " black";
        EXPECT_GT(view.trianglesDrawn, 0) << p.name;
    }
}
