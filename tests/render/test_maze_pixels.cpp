// test_maze_pixels.cpp -- frames of the shipped level drawn by the game's own
// display callback in a 640 x 480 window, checked at chosen pixels. Every
// test writes the frame it grabbed to <build>/test-frames/<name>.png.
#include <GL/freeglut.h>
#include <GL/gl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "render/render.h"
#include "shell/shell.h"

namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 480;

struct Frame {
    std::vector<uint8_t> rgb;  // bottom row first, as GL reads it
    int r(int x, int y) const { return rgb[(static_cast<size_t>(y) * kWidth + x) * 3]; }
    int g(int x, int y) const { return rgb[(static_cast<size_t>(y) * kWidth + x) * 3 + 1]; }
    int b(int x, int y) const { return rgb[(static_cast<size_t>(y) * kWidth + x) * 3 + 2]; }
};

bool windowReady = false;

// One window per test process, at the screen's origin like the game's, with
// the level, textures and lists loaded the way start-up loads them.
void openGameWindow() {
    if (windowReady) return;
    int argc = 1;
    char name[] = "maze-tests-render";
    char* argv[] = {name, nullptr};
    glutInit(&argc, argv);
    glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH);
    glutInitWindowPosition(0, 0);
    glutInitWindowSize(kWidth, kHeight);
    glutCreateWindow("maze");
    glutDisplayFunc([] {});
    for (int i = 0; i < 10; ++i) glutMainLoopEvent();
    ASSERT_EQ(chdir(MAZE_DATA_DIR), 0);
    resetGameStateForTest();
    readMazeMap();
    loadTextures();
    buildModels();
    createFighters();
    windowReady = true;
}

// Places the local fighter and draws one frame through the game's display
// callback; returns the frame and writes it as a PNG.
Frame drawFrameAt(const char* name, float x, float y, float dx, float dy) {
    Fighter& f = gs.fighterList[gs.localFighterIndex];
    f.pos = Vec3{x, y, kFighterHeight};
    const float len = std::sqrt(dx * dx + dy * dy);
    f.dir = Vec3{dx / len, dy / len, 0.0f};
    reshape(kWidth, kHeight);
    display();
    glFinish();
    Frame frame;
    frame.rgb.resize(static_cast<size_t>(kWidth) * kHeight * 3);
    glReadBuffer(GL_BACK);  // this software renderer keeps the back buffer across the swap
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, kWidth, kHeight, GL_RGB, GL_UNSIGNED_BYTE, frame.rgb.data());

    const std::string dir = std::string(MAZE_BINARY_DIR) + "/test-frames";
    mkdir(dir.c_str(), 0755);
    const std::string ppm = dir + "/" + name + ".ppm";
    if (std::FILE* out = std::fopen(ppm.c_str(), "wb")) {
        std::fprintf(out, "P6\n%d %d\n255\n", kWidth, kHeight);
        for (int row = kHeight - 1; row >= 0; --row)
            std::fwrite(frame.rgb.data() + static_cast<size_t>(row) * kWidth * 3, 1, kWidth * 3, out);
        std::fclose(out);
        const std::string command = "/usr/bin/convert '" + ppm + "' '" + dir + "/" + name +
                                    ".png' 2>/dev/null && rm -f '" + ppm + "'";
        if (std::system(command.c_str()) != 0) std::printf("kept %s\n", ppm.c_str());
    }
    return frame;
}

// Mean absolute difference of two frames over a box (GL pixel coordinates).
double meanDifference(const Frame& a, const Frame& b, int x0, int y0, int x1, int y1) {
    double sum = 0;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x)
            sum += std::abs(a.r(x, y) - b.r(x, y)) + std::abs(a.g(x, y) - b.g(x, y)) +
                   std::abs(a.b(x, y) - b.b(x, y));
    return sum / ((x1 - x0) * (y1 - y0) * 3);
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

// Reference places of the shipped level (cell size 8): the eye in the middle
// of cell (row 2, column 5), looking along +x at the face of block (2, 7)
// that carries map light 0, 12 units ahead.
constexpr float kLampViewX = 44.0f, kLampViewY = 20.0f;
// Where that lamp (middle of the face, 4.5 up) lands on the screen.
constexpr int kLampPixelX = 320, kLampPixelY = 296;

}  // namespace

TEST_F(MazePixels, CrosshairIsWhiteAtTheCentreAndSmall) {
    const Frame f = drawFrameAt("crosshair", kLampViewX, kLampViewY, 1.0f, 0.0f);
    auto white = [&](int x, int y) { return f.r(x, y) > 240 && f.g(x, y) > 240 && f.b(x, y) > 240; };
    int whiteNearCentre = 0, whiteFurther = 0;
    for (int y = 220; y < 260; ++y)
        for (int x = 300; x < 340; ++x) {
            const bool near = std::abs(x - 320) <= 8 && std::abs(y - 240) <= 8;
            (near ? whiteNearCentre : whiteFurther) += white(x, y);
        }
    EXPECT_GE(whiteNearCentre, 12) << "both bars of the cross";
    EXPECT_EQ(whiteFurther, 0) << "the cross is only a few pixels across";
    // Horizontal and vertical bars through the centre.
    int horizontal = 0, vertical = 0;
    for (int d = -5; d <= 5; ++d) {
        horizontal += white(320 + d, 240) || white(320 + d, 239);
        vertical += white(320, 240 + d) || white(319, 240 + d);
    }
    EXPECT_GE(horizontal, 8);
    EXPECT_GE(vertical, 8);
}

TEST_F(MazePixels, WallStraightAheadFillsTheMiddleOfTheView) {
    gs.texturesOn = false;  // plain materials: the wall is a flat grey
    const Frame f = drawFrameAt("wall-ahead", kLampViewX, kLampViewY, 1.0f, 0.0f);
    int grey = 0, total = 0;
    // The wall, 12 units ahead, spans 34 pixels below the centre to 86 above.
    for (int y = 215; y < 315; y += 3)
        for (int x = 120; x < 520; x += 3) {
            if (std::abs(x - 320) < 10 && std::abs(y - 240) < 10) continue;  // crosshair
            ++total;
            grey += std::abs(f.r(x, y) - f.b(x, y)) < 6 && std::abs(f.r(x, y) - f.g(x, y)) < 6;
        }
    EXPECT_EQ(grey, total) << "only wall between the floor and the sky";
    // Below and above the wall: the yellow floor and the cyan sky.
    EXPECT_GT(f.r(320, 20), f.b(320, 20) + 10) << "floor at the bottom";
    EXPECT_GT(f.b(320, 470), f.r(320, 470)) << "sky at the top";
}

TEST_F(MazePixels, TexturesOnAndOffGiveDifferentWalls) {
    gs.texturesOn = true;
    const Frame on = drawFrameAt("textures-on", kLampViewX, kLampViewY, 1.0f, 0.0f);
    gs.texturesOn = false;
    const Frame off = drawFrameAt("textures-off", kLampViewX, kLampViewY, 1.0f, 0.0f);
    EXPECT_GT(meanDifference(on, off, 200, 150, 300, 220), 30.0);
    // Stone with joints varies across the wall; a plain material does not.
    int lo = 255, hi = 0;
    for (int x = 200; x < 300; ++x) {
        lo = std::min(lo, on.g(x, 200));
        hi = std::max(hi, on.g(x, 200));
    }
    EXPECT_GT(hi - lo, 40) << "the textured wall shows blocks and joints";
    // With textures on, the sky overhead shows blue and white cloud.
    EXPECT_GT(on.b(320, 470), on.r(320, 470) + 20);
}

TEST_F(MazePixels, MapLightsChangeTheLitSurfaces) {
    gs.texturesOn = false;  // textured surfaces hide lighting (decal)
    gs.lightingOn = false;
    const Frame off = drawFrameAt("lights-default", 124.0f, 124.0f, 1.0f, 0.0f);
    gs.lightingOn = true;
    const Frame on = drawFrameAt("lights-map", 124.0f, 124.0f, 1.0f, 0.0f);
    EXPECT_GT(meanDifference(on, off, 0, 0, kWidth, kHeight), 3.0);
}

TEST_F(MazePixels, AWallFaceCarryingALightShowsTheLamp) {
    ASSERT_EQ(gs.mazeLights[0].col, 7);
    ASSERT_EQ(gs.mazeLights[0].row, 2);
    ASSERT_EQ(gs.mazeLights[0].side, 3);
    const Frame lit = drawFrameAt("lamp-face", kLampViewX, kLampViewY, 1.0f, 0.0f);
    const int x = kLampPixelX, y = kLampPixelY;
    EXPECT_GT(lit.r(x, y), 220) << "the lamp's hot bulb";
    EXPECT_GT(lit.r(x, y), lit.b(x, y) + 40) << "warm light";
    // The same face without its light shows the plain wall.
    gs.mazeLights[0].side = 0;
    const Frame plain = drawFrameAt("lamp-face-moved", kLampViewX, kLampViewY, 1.0f, 0.0f);
    gs.mazeLights[0].side = 3;
    EXPECT_LT(plain.r(x, y), 200);
    EXPECT_GT(meanDifference(lit, plain, x - 40, y - 40, x + 40, y + 40), 20.0);
    // The neighbouring block's face (to the right, +y is to the left) is plain wall in both.
    EXPECT_LT(meanDifference(lit, plain, 560, 200, 600, 260), 1.0);
}

TEST_F(MazePixels, SetupLightsPlacesMapLightsAndTheDefaultLight) {
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();  // positions read back in world coordinates
    gs.lightingOn = true;
    view.cameraEye = Vec3{12.0f, 12.0f, 1.7f};
    setupLights();
    int chosen[kMaxSceneLights];
    ASSERT_EQ(chooseSceneLights(chosen), 8);
    for (int k = 0; k < 8; ++k) {
        EXPECT_TRUE(glIsEnabled(GL_LIGHT0 + k)) << k;
        GLfloat p[4];
        glGetLightfv(GL_LIGHT0 + k, GL_POSITION, p);
        for (int c = 0; c < 4; ++c) EXPECT_FLOAT_EQ(p[c], gs.mazeLights[chosen[k]].position[c]);
        GLfloat cutoff = 0;
        glGetLightfv(GL_LIGHT0 + k, GL_SPOT_CUTOFF, &cutoff);
        if (k < 4) {
            EXPECT_EQ(cutoff, kSpotCutoff) << k;
        } else {
            EXPECT_EQ(cutoff, 180.0f) << "slots 4..7 get no cut-off";
        }
    }
    gs.lightingOn = false;
    setupLights();
    GLfloat p[4];
    glGetLightfv(GL_LIGHT0, GL_POSITION, p);
    EXPECT_EQ(p[3], 0.0f);  // directional
    EXPECT_FLOAT_EQ(p[0], p[2]);
    EXPECT_TRUE(glIsEnabled(GL_LIGHT5)) << "lights stay enabled once used";
}

// Screens of several places of the level, for a person to look at.
TEST_F(MazePixels, ViewsOfTheLevel) {
    struct Place {
        const char* name;
        float x, y, dx, dy;
    };
    const Place places[] = {
        {"view-start", 12.0f, 12.0f, 0.0f, 1.0f},       // fighter start 0
        {"view-corridor", 12.0f, 124.0f, 1.0f, 0.0f},   // down the long row-15 corridor
        {"view-hall", 44.0f, 92.0f, 1.0f, 1.0f},        // across the hall, diagonally
        {"view-lamp", 36.0f, 28.0f, 1.0f, -0.35f},      // a lamp on a wall, at an angle
    };
    for (const Place& p : places) {
        const Frame f = drawFrameAt(p.name, p.x, p.y, p.dx, p.dy);
        // A frame of the maze is never black in the middle.
        EXPECT_GT(f.r(320, 300) + f.g(320, 300) + f.b(320, 300), 60) << p.name;
        EXPECT_GT(view.trianglesDrawn, 0) << p.name;
    }
}

TEST_F(MazePixels, MazeListsKeepTheirFixedNumbers) {
    const int fixed[] = {1, 2, 3, 4, 22, 23, 41, 42, 43, 44, 45};
    for (int n : fixed) EXPECT_TRUE(glIsList(static_cast<GLuint>(n))) << n;
    const GLuint generated = glGenLists(1);
    for (int n : fixed) EXPECT_NE(generated, static_cast<GLuint>(n));
    EXPECT_NE(generated, static_cast<GLuint>(kLampList));
    glDeleteLists(generated, 1);
}
