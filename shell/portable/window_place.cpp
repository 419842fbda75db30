// window_place.cpp -- where a new game window opens on a screen that may
// already show game windows. GL-free and X-free: main.cpp asks the X server
// which game windows are up, this decides.
#include "shell/shell.h"

namespace {

bool covers(const ScreenRect& r, int x, int y) {
    return x >= r.x && x < r.x + r.width && y >= r.y && y < r.y + r.height;
}

}  // namespace

ScreenRect placeGameWindow(bool isServer, int screenWidth, int screenHeight, int width, int height,
                           const std::vector<ScreenRect>& shown) {
    constexpr int kGap = 10;
    const ScreenRect origin{0, 0, width, height};
    const ScreenRect beside{width + kGap, 0, width, height};
    const ScreenRect corner{screenWidth > width ? screenWidth - width : 0,
                            screenHeight > height ? screenHeight - height : 0, width, height};
    const bool wide = screenWidth >= 2 * width + kGap;
    // The server prefers the origin, a client the place beside it (or, on a
    // narrow screen, the opposite corner); either moves on to the next place
    // when a game window already covers the middle of this one.
    ScreenRect order[3];
    int n = 0;
    if (isServer) order[n++] = origin;
    if (wide) order[n++] = beside;
    order[n++] = corner;
    if (!isServer) order[n++] = origin;
    for (int i = 0; i < n; ++i) {
        const int midX = order[i].x + width / 2, midY = order[i].y + height / 2;
        bool taken = false;
        for (const ScreenRect& r : shown) taken = taken || covers(r, midX, midY);
        if (!taken) return order[i];
    }
    // Every place is covered: the first choice, as with none shown.
    return order[0];
}
