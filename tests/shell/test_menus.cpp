// test_menus.cpp -- the right-button menus of a real game window driven by
// real X input (xdotool), in this process so that the flags can be read.
#include <GL/freeglut.h>
#include <GL/gl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "net/net.h"
#include "render/render.h"
#include "shell/shell.h"
#include "world/world.h"

namespace {

// The menu opens with its top-left corner at the pointer; its entries are
// 25 pixels high from 2 pixels below the top (freeglut's default font).
constexpr int kMenuX = 100, kMenuY = 100;
int entryY(int index) { return kMenuY + 14 + 25 * index; }  // 0-based entry

bool windowReady = false;

void openGame() {
    if (windowReady) return;
    int argc = 1;
    char name[] = "maze-tests-shell";
    char* argv[] = {name, nullptr};
    glutInit(&argc, argv);
    glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH);
    glutInitWindowPosition(0, 0);
    glutInitWindowSize(640, 480);
    glutCreateWindow("maze");
    ASSERT_EQ(chdir(MAZE_DATA_DIR), 0);
    resetGameStateForTest();
    gs.isServer = true;
    gs.localFighterIndex = 0;
    initialiseWorld();
    glutDisplayFunc(display);
    glutReshapeFunc(reshape);
    glutKeyboardFunc(onKeyDown);
    glutKeyboardUpFunc(onKeyUp);
    buildMenus();
    startGame();
    // The fighter faces a wall 12 units ahead (row 2, column 5 looking +x).
    Fighter& f = gs.fighterList[0];
    f.pos = Vec3{44.0f, 20.0f, kFighterHeight};
    f.dir = Vec3{1.0f, 0.0f, 0.0f};
    for (int i = 0; i < 20; ++i) glutMainLoopEvent();
    windowReady = true;
}

// Runs a shell command in the background while this process keeps serving
// its window (the menu lives on our event loop); waits up to 15 s.
bool runWhileServing(const std::string& command) {
    const pid_t child = fork();
    if (child == 0) {
        execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    for (int i = 0; i < 3000; ++i) {
        glutMainLoopEvent();
        glutPostRedisplay();
        if (waitpid(child, &status, WNOHANG) == child) {
            for (int k = 0; k < 20; ++k) glutMainLoopEvent();
            return WIFEXITED(status) && WEXITSTATUS(status) == 0;
        }
        usleep(5000);
    }
    kill(child, SIGKILL);
    waitpid(child, &status, 0);
    return false;
}

// Opens the menu and, after each pause, moves to and clicks the entry.
std::string choose(int entry) {
    return "xdotool mousemove " + std::to_string(kMenuX) + " " + std::to_string(kMenuY) +
           " click 3 && sleep 0.5 && xdotool mousemove 130 " + std::to_string(entryY(entry)) +
           " && sleep 0.3 && xdotool click 1 && sleep 0.3";
}

// Mean of the three channels of the middle of the view, as drawn now.
std::vector<uint8_t> grabView() {
    display();
    glFinish();
    std::vector<uint8_t> rgb(200 * 100 * 3);
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(220, 250, 200, 100, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
    return rgb;
}

double meanDifference(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
    double sum = 0;
    for (size_t i = 0; i < a.size(); ++i) sum += std::abs(a[i] - b[i]);
    return sum / static_cast<double>(a.size());
}

class Menus : public testing::Test {
protected:
    void SetUp() override {
        if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no display (run under xvfb-run)";
        if (std::system("command -v xdotool >/dev/null") != 0) GTEST_SKIP() << "no xdotool";
        openGame();
        ASSERT_TRUE(windowReady);
    }
};

}  // namespace

TEST_F(Menus, ToggleTextureFromTheMenuChangesTheWalls) {
    gs.texturesOn = true;
    const std::vector<uint8_t> textured = grabView();
    ASSERT_TRUE(runWhileServing(choose(3)));  // "Toggle Texture"
    EXPECT_FALSE(gs.texturesOn);
    EXPECT_GT(meanDifference(textured, grabView()), 10.0) << "the walls lost their stone";
    ASSERT_TRUE(runWhileServing(choose(3)));
    EXPECT_TRUE(gs.texturesOn);
    EXPECT_LT(meanDifference(textured, grabView()), 1.0);
}
