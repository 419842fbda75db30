// render_test_util.h -- the one game window of the render test program, and
// frames grabbed from it (checked at chosen pixels, written as PNGs under
// <build>/test-frames/ for a person to look at).
#pragma once

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

namespace rendertest {

constexpr int kWidth = 640;
constexpr int kHeight = 480;

struct Rgb {
    int r, g, b;
};

struct Frame {
    int width = kWidth, height = kHeight;
    std::vector<uint8_t> rgb;  // bottom row first, as GL reads it
    int at(int x, int y, int c) const { return rgb[(static_cast<size_t>(y) * width + x) * 3 + c]; }
    Rgb pixel(int x, int y) const { return Rgb{at(x, y, 0), at(x, y, 1), at(x, y, 2)}; }
    // Pixels of the box [x0, x1) x [y0, y1) (GL coordinates) that pass `test`.
    template <class Test>
    int count(int x0, int y0, int x1, int y1, Test test) const {
        int n = 0;
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x) n += test(pixel(x, y)) ? 1 : 0;
        return n;
    }
};

// Opens the process's one game window (GLUT allows a single glutInit) at
// the screen's origin like the game's, with the level, textures and lists
// loaded the way start-up loads them; true once it is ready.
inline bool openGameWindow(int width = kWidth, int height = kHeight) {
    static bool ready = false;
    if (ready) return true;
    int argc = 1;
    char name[] = "maze-tests-render";
    char* argv[] = {name, nullptr};
    glutInit(&argc, argv);
    checkLeaksBeforeToolkitExit();
    glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH);
    glutInitWindowPosition(0, 0);
    glutInitWindowSize(width, height);
    glutCreateWindow("maze");
    glutDisplayFunc([] {});
    for (int i = 0; i < 10; ++i) glutMainLoopEvent();
    if (chdir(MAZE_DATA_DIR) != 0) return false;
    resetGameStateForTest();
    readMazeMap();
    if (!loadTextures()) return false;
    buildModels();
    buildHudText();
    createFighters();
    ready = true;
    return true;
}

// Reads the back buffer (this software renderer keeps it across the swap).
inline Frame readFrame(int width = kWidth, int height = kHeight) {
    glFinish();
    Frame frame;
    frame.width = width;
    frame.height = height;
    frame.rgb.resize(static_cast<size_t>(width) * height * 3);
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, frame.rgb.data());
    return frame;
}

// Writes a frame as <build>/test-frames/<name>.png for a person to look at:
// the raw bytes, which ImageMagick turns top row first into the PNG.
inline void writePng(const char* name, const Frame& frame) {
    const std::string dir = std::string(MAZE_BINARY_DIR) + "/test-frames";
    const std::string path = dir + "/" + name;
    mkdir(dir.c_str(), 0755);
    if (std::FILE* out = std::fopen((path + ".raw").c_str(), "wb")) {
        std::fwrite(frame.rgb.data(), 1, frame.rgb.size(), out);
        std::fclose(out);
        const std::string convert = "/usr/bin/convert -size " + std::to_string(frame.width) + "x" +
                                    std::to_string(frame.height) + " -depth 8 rgb:'" + path +
                                    ".raw' -flip '" + path + ".png' && rm '" + path + ".raw'";
        if (std::system(convert.c_str()) != 0) std::printf("kept %s.raw\n", path.c_str());
    }
}

// Reads the back buffer and writes it as <build>/test-frames/<name>.png.
inline Frame grabFrame(const char* name) {
    const Frame frame = readFrame();
    writePng(name, frame);
    return frame;
}

// Places the local fighter and draws one frame through the game's display
// callback.
inline void displayAt(float x, float y, float dx, float dy) {
    Fighter& f = gs.fighterList[process.localFighterIndex];
    f.pos = Vec3{x, y, kFighterHeight};
    const float len = std::sqrt(dx * dx + dy * dy);
    f.dir = Vec3{dx / len, dy / len, 0.0f};
    reshape(kWidth, kHeight);
    display();
}

// displayAt, then returns the frame and writes it as a PNG.
inline Frame drawFrameAt(const char* name, float x, float y, float dx, float dy) {
    displayAt(x, y, dx, dy);
    return grabFrame(name);
}

// Asks for a new window size and waits (up to 2 s) until the X server made
// it; false when the window had that size already.
inline bool resizeWindow(int width, int height) {
    if (glutGet(GLUT_WINDOW_WIDTH) == width && glutGet(GLUT_WINDOW_HEIGHT) == height) return false;
    glutReshapeWindow(width, height);
    for (int i = 0; i < 400; ++i) {
        glutMainLoopEvent();
        if (glutGet(GLUT_WINDOW_WIDTH) == width && glutGet(GLUT_WINDOW_HEIGHT) == height) break;
        usleep(5000);
    }
    for (int i = 0; i < 5; ++i) glutMainLoopEvent();
    return true;
}

// Resizes the window, draws one frame through the display callback with the
// local player in the middle of start cell (row 1, column 1) facing +y, and
// returns it; also writes it as <name>.png.
inline Frame drawHomeFrame(const std::string& name, int width, int height) {
    const bool resized = resizeWindow(width, height);
    Fighter& f = gs.fighterList[process.localFighterIndex];
    f.pos = Vec3{12.0f, 12.0f, kFighterHeight};
    f.dir = Vec3{0.0f, 1.0f, 0.0f};
    reshape(width, height);
    // The renderer takes a new window size at the first swap after it.
    if (resized) display();
    display();
    const Frame frame = readFrame(width, height);
    writePng(name.c_str(), frame);
    return frame;
}

// Whether the screen holds 1600 x 1200. On a smaller one this test runs
// again under an Xvfb of that size, its output in <build>/test-frames/<log>
// and its failure this one's; the caller then returns.
inline bool onABigScreen(const std::string& log) {
    if (glutGet(GLUT_SCREEN_WIDTH) >= 1600 && glutGet(GLUT_SCREEN_HEIGHT) >= 1200) return true;
    EXPECT_EQ(std::getenv("MAZE_TEST_BIG_SCREEN"), nullptr) << "the screen did not grow";
    char self[4096] = {};
    if (std::getenv("MAZE_TEST_BIG_SCREEN") || readlink("/proc/self/exe", self, sizeof self - 1) <= 0) return false;
    const testing::TestInfo* test = testing::UnitTest::GetInstance()->current_test_info();
    const std::string frames = std::string(MAZE_BINARY_DIR) + "/test-frames", path = frames + "/" + log;
    const std::string run = "mkdir -p '" + frames + "' && MAZE_TEST_BIG_SCREEN=1 xvfb-run -a -s '-screen 0 1600x1200x24' '" +
                            self + "' --gtest_filter=" + test->test_suite_name() + "." + test->name() + " > '" + path + "' 2>&1";
    EXPECT_EQ(std::system(run.c_str()), 0) << "see " << path;
    return false;
}

// The shipped level as the game starts it, for the tests that follow.
inline void restoreShippedLevel() {
    resetGameStateForTest();
    readMazeMap();
    createFighters();
    buildModels();
}

// A test in the game window: skipped without a display; the shipped level
// restored after it. A SetUp of its own calls this one first and returns
// when IsSkipped().
class GameWindowTest : public testing::Test {
protected:
    void SetUp() override {
        if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no display (run under xvfb-run)";
        ASSERT_TRUE(openGameWindow());
    }
    void TearDown() override {
        if (!IsSkipped()) restoreShippedLevel();
    }
};

// Mean absolute difference of two frames over a box (GL pixel coordinates).
inline double meanDifference(const Frame& a, const Frame& b, int x0, int y0, int x1, int y1) {
    double sum = 0;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x)
            for (int c = 0; c < 3; ++c) sum += std::abs(a.at(x, y, c) - b.at(x, y, c));
    return sum / ((x1 - x0) * (y1 - y0) * 3);
}

}  // namespace rendertest
