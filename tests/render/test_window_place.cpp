// test_window_place.cpp -- where a game window opens beside the game
// windows already on the screen. GL-free.
#include <gtest/gtest.h>

#include "shell/shell.h"

namespace {

bool samePlace(const ScreenRect& a, int x, int y) { return a.x == x && a.y == y; }

}  // namespace

TEST(WindowPlace, NoGameWindowOpensOverAnotherWhileAFreePlaceIsLeft) {
    // A wide screen: the server at the origin, a client beside it.
    EXPECT_TRUE(samePlace(placeGameWindow(true, 1920, 1080, 640, 480, {}), 0, 0));
    const ScreenRect server{0, 0, 640, 480};
    EXPECT_TRUE(samePlace(placeGameWindow(false, 1920, 1080, 640, 480, {server}), 650, 0));
    // A second server beside the first; a third in the far corner.
    const ScreenRect second = placeGameWindow(true, 1920, 1080, 640, 480, {server});
    EXPECT_TRUE(samePlace(second, 650, 0));
    EXPECT_TRUE(samePlace(placeGameWindow(true, 1920, 1080, 640, 480, {server, second}), 1280, 600));
    // A narrow screen: the opposite corner, for a client as for a second server.
    EXPECT_TRUE(samePlace(placeGameWindow(false, 1024, 768, 640, 480, {server}), 384, 288));
    EXPECT_TRUE(samePlace(placeGameWindow(true, 1024, 768, 640, 480, {server}), 384, 288));
    // A client alone takes its usual place; with every place taken, the first.
    EXPECT_TRUE(samePlace(placeGameWindow(false, 1024, 768, 640, 480, {}), 384, 288));
    const ScreenRect corner{384, 288, 640, 480};
    EXPECT_TRUE(samePlace(placeGameWindow(true, 1024, 768, 640, 480, {server, corner}), 0, 0));
    // A screen smaller than the window: the origin.
    EXPECT_TRUE(samePlace(placeGameWindow(true, 320, 200, 640, 480, {}), 0, 0));
}
