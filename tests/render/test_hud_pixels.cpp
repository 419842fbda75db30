// test_hud_pixels.cpp -- the head-up display drawn by the game's display
// callback over the shipped level, checked at the pixels its layout fixes,
// in a 640 x 480 window, at 960 x 720 and (on a screen of its own) at
// 1600 x 1200. Frames go to <build>/test-frames/hud_*.png.
#include <limits>

#include "render_test_util.h"

namespace {

using rendertest::Frame;
using rendertest::Rgb;

bool near(int v, int want, int tolerance = 4) { return std::abs(v - want) <= tolerance; }
bool isYellow(Rgb c) { return c.r > 200 && c.g > 200 && c.b < 80; }
bool isRed(Rgb c) { return c.r > 200 && c.g < 60 && c.b < 60; }
bool isGreen(Rgb c) { return c.g > 200 && c.r < 60 && c.b < 60; }
bool isPanelGrey(Rgb c) { return near(c.r, 25) && near(c.g, 25) && near(c.b, 25); }
bool isTeal(Rgb c) { return near(c.r, 25) && near(c.g, 127) && near(c.b, 127); }
bool isDial(Rgb c) { return near(c.r, 25) && c.g < 5 && c.b < 5; }
bool isMapFloor(Rgb c) { return near(c.r, 51) && near(c.g, 51) && near(c.b, 51); }

// The player's place: the middle of start cell (row 1, column 1), facing +y.
constexpr float kHomeX = 12.0f, kHomeY = 12.0f;

class HudPixels : public rendertest::GameWindowTest {
protected:
    void SetUp() override {
        GameWindowTest::SetUp();
        if (IsSkipped()) return;
        process.localFighterIndex = 0;
        options.texturesOn = true;
        options.lightingOn = false;
        options.showMap = false;
        gs.gamePaused = false;
        gs.preyList.clear();
        hud.health = 100.0f;
        hud.messageLine[0] = '\0';
    }
    void TearDown() override {
        if (IsSkipped()) return;
        rendertest::drawHomeFrame("hud_restore", 640, 480);
        GameWindowTest::TearDown();
    }
};

// Leftmost red pixel of a label's rows, -1 when none.
int labelLeft(const Frame& f, int baseline, int x0) {
    for (int x = x0; x < f.width; ++x)
        for (int y = baseline - 2; y < baseline + 14; ++y)
            if (isRed(f.pixel(x, y))) return x;
    return -1;
}

// Whether the needle (one yellow line) passes the pixel at (x, y) or a
// neighbour: a line on a pixel edge may land on either side.
bool needleAt(const Frame& f, int x, int y) {
    return f.count(x - 1, y - 1, x + 1, y + 1, isYellow) > 0;
}

// The layout checks shared by every window size: places are fractions of
// the window, sizes grow with its height (s = 1 at 640 x 480).
void expectLayout(const Frame& f) {
    const int w = f.width, h = f.height;
    const float s = hudScale(static_cast<float>(w), static_cast<float>(h));
    const auto px = [s](float v) { return static_cast<int>(std::lround(v * s)); };
    const int panel = static_cast<int>(0.8 * w);
    const int band = static_cast<int>(std::floor(0.8 * w - 0.015 * h));
    SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h));
    // The solid panel from 0.8 W, its teal inner edge just left of it.
    EXPECT_TRUE(isPanelGrey(f.pixel(panel + 2, static_cast<int>(0.12 * h))));
    EXPECT_TRUE(isPanelGrey(f.pixel(panel - 1, h / 2)));
    EXPECT_TRUE(isTeal(f.pixel(band + 1, h / 2)));
    // The labels start at 0.81 W.
    const int labelX = static_cast<int>(0.81 * w);
    for (const double row : {0.6, 0.3, 0.2}) {
        const int left = labelLeft(f, static_cast<int>(row * h), panel);
        EXPECT_GE(left, labelX) << "label at " << row;
        EXPECT_LE(left, labelX + px(3)) << "label at " << row;
    }
    // The gauge: the hub at its centre is pure red or green, the dial dark red.
    const int gx = static_cast<int>(0.9 * w), gy = static_cast<int>(0.45 * h);
    const Rgb hub = f.pixel(gx, gy + 2);
    EXPECT_TRUE(isRed(hub) || isGreen(hub));
    const Rgb dial = f.pixel(gx - px(20), gy + px(25));
    EXPECT_TRUE(near(dial.r, 25) && dial.g < 5 && dial.b < 5);
    EXPECT_TRUE(needleAt(f, gx + px(24), gy)) << "full health: needle to the right";
    // The dial's radius: 40 pixels at 640 x 480.
    int dialLeft = gx - px(20);
    while (dialLeft > 0 && isDial(f.pixel(dialLeft - 1, gy + 3))) --dialLeft;
    EXPECT_NEAR(gx - dialLeft, 40.0 * s, 1.5 + s);
    // The overview map: the player's green square at its centre, the wall
    // cell (0, 0) 12 units down and left in yellow, the floor cell (1, 1)
    // 4 units down and left in dark grey.
    const int mx = static_cast<int>(0.9 * w), my = static_cast<int>(0.85 * h);
    EXPECT_TRUE(isGreen(f.pixel(mx, my)));
    EXPECT_TRUE(isYellow(f.pixel(mx - px(12), my - px(12))));
    const Rgb floor = f.pixel(mx - px(5), my - px(5));
    EXPECT_TRUE(near(floor.r, 51) && near(floor.g, 51) && near(floor.b, 51));
}

}  // namespace

namespace {

// Rows from the lowest to the highest red pixel of the label whose baseline
// is at `row` of the height.
int labelHeight(const Frame& f, float row) {
    const int x0 = static_cast<int>(0.81 * f.width), x1 = f.width - 2;
    const int base = static_cast<int>(row * f.height);
    const float s = hudScale(static_cast<float>(f.width), static_cast<float>(f.height));
    int low = -1, high = -1;
    for (int y = base - static_cast<int>(8 * s); y < base + static_cast<int>(30 * s) && y < f.height; ++y)
        if (f.count(x0, y, x1, y + 1, isRed) > 0) {
            if (low < 0) low = y;
            high = y;
        }
    return low < 0 ? 0 : high - low + 1;
}

// Every pixel in a band `margin` wide round the map's box (clipped to the
// window) that is not the panel's grey.
int mapPixelsOutsideItsBox(const Frame& f, int margin) {
    const float s = hudScale(static_cast<float>(f.width), static_cast<float>(f.height));
    const int mx = static_cast<int>(0.9 * f.width), my = static_cast<int>(0.85 * f.height);
    const int half = static_cast<int>(std::lround(60.0f * s));
    int stray = 0;
    for (int y = std::max(0, my - half - margin); y < std::min(f.height, my + half + margin); ++y)
        for (int x = std::max(0, mx - half - margin); x < std::min(f.width, mx + half + margin); ++x) {
            const bool inside = x >= mx - half && x < mx + half && y >= my - half && y < my + half;
            if (!inside && !isPanelGrey(f.pixel(x, y))) ++stray;
        }
    return stray;
}

// The player where the level's cells overlap every edge of the map's box,
// prey just inside its corners (their markers reach over the edge).
void crowdTheMapsEdges() {
    Fighter& f = gs.fighterList[process.localFighterIndex];
    constexpr float kX = 102.0f, kY = 102.0f;
    f.pos = Vec3{kX, kY, kFighterHeight};
    gs.preyList.clear();
    for (const float dx : {-59.0f, 59.0f})
        for (const float dy : {-59.0f, 59.0f}) {
            gs.preyList.emplace_back();
            gs.preyList.back().pos = Vec3{kX + dx, kY + dy, 1.5f};
        }
}

}  // namespace

// The panel, labels, gauge and map sit at their fractions of the window and
// grow with its height; nothing of the map draws outside its box. 1600 x 1200
// needs a screen that large: on a smaller one the test runs itself again
// under an Xvfb of that size.
TEST_F(HudPixels, TheCockpitGrowsWithTheWindowAndTheMapStaysInItsBox) {
    if (!rendertest::onABigScreen("hud_1600x1200.log")) return;
    gs.preyList.emplace_back();
    gs.preyList[0].pos = Vec3{kHomeX + 20.0f, kHomeY + 10.0f, 1.5f};
    const Frame small = rendertest::drawHomeFrame("hud_640x480", 640, 480);
    const Frame large = rendertest::drawHomeFrame("hud_1600x1200", 1600, 1200);
    expectLayout(small);
    expectLayout(large);
    // The map about (576, 408) with the prey's red dot 20 right and 10 up;
    // 2.5 times as large at 1600 x 1200. A cell corner exactly 60 units away
    // is left out; 52 is drawn.
    EXPECT_TRUE(isRed(small.pixel(596, 418)));
    EXPECT_TRUE(isRed(large.pixel(1440 + 50, 1020 + 25)));
    EXPECT_TRUE(near(small.pixel(631, 404).r, 51));
    EXPECT_TRUE(isPanelGrey(small.pixel(636, 404)));
    // The labels' text steps up with the height (2.5 times here).
    for (const float row : {0.6f, 0.3f, 0.2f}) {
        EXPECT_GE(labelHeight(large, row), 2 * labelHeight(small, row) - 2) << "label at " << row;
        EXPECT_GT(labelHeight(small, row), 8);
    }

    crowdTheMapsEdges();
    for (const auto& [w, h] : {std::pair{640, 480}, std::pair{1600, 1200}}) {
        SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h));
        const std::string name = "hud_map_edges_" + std::to_string(w) + "x" + std::to_string(h);
        rendertest::resizeWindow(w, h);
        reshape(w, h);
        display();
        display();
        const Frame f = rendertest::readFrame(w, h);
        rendertest::writePng(name.c_str(), f);
        EXPECT_EQ(mapPixelsOutsideItsBox(f, 6), 0);
        // The cells reach the box's right edge, and a prey's marker is cut at a corner.
        const float s = hudScale(static_cast<float>(w), static_cast<float>(h));
        const int mx = static_cast<int>(0.9 * w), my = static_cast<int>(0.85 * h);
        const int half = static_cast<int>(std::lround(60.0f * s));
        const Rgb edge = f.pixel(mx + half - 1, my);
        EXPECT_TRUE(isYellow(edge) || isMapFloor(edge));
        EXPECT_TRUE(isRed(f.pixel(mx + half - 1, my + half - 1)));
    }
}

TEST_F(HudPixels, NeedleFollowsHealthAndSurvivesAnyValue) {
    constexpr int gx = 576, gy = 216;
    const struct {
        float health;
        const char* name;
        int x, y;  // a pixel on the needle, or x < 0 for none
    } cases[] = {
        {100.0f, "hud_health_100", gx + 24, gy},
        {50.0f, "hud_health_50", gx, gy + 24},
        {0.0f, "hud_health_0", gx - 24, gy},
        {std::numeric_limits<float>::quiet_NaN(), "hud_health_nan", -1, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        hud.health = c.health;
        const Frame f = rendertest::drawHomeFrame(c.name, 640, 480);
        const int yellow = f.count(gx - 45, gy - 45, gx + 45, gy + 45, isYellow);
        if (c.x < 0) {
            EXPECT_EQ(yellow, 0);
        } else {
            EXPECT_TRUE(needleAt(f, c.x, c.y));
            EXPECT_GE(yellow, 15);
            EXPECT_LE(yellow, 60) << "one thin needle";
        }
        // The rest of the display stands whatever the value.
        EXPECT_TRUE(isPanelGrey(f.pixel(513, 60)));
        EXPECT_TRUE(isGreen(f.pixel(576, 408)));
    }
}

// The labels come from the captured glyphs in one batch: every printable
// character, at whole and fractional raster positions, in both fonts, sets
// exactly the pixels glutBitmapCharacter sets, in the raster colour.
TEST_F(HudPixels, CapturedGlyphsSetTheToolkitsPixels) {
    ASSERT_TRUE(buildHudText());
    glViewport(0, 0, 640, 480);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluOrtho2D(0.0, 640.0, 0.0, 480.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDisable(GL_LIGHTING);
    glDisable(GL_TEXTURE_2D);
    std::string all;
    for (char c = 32; c < 127; ++c) all += c;
    Frame drawn[2];
    for (int way = 0; way < 2; ++way) {
        glClearColor(0.0f, 0.0f, 0.3f, 0.0f);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        int line = 0;
        for (void* font : {GLUT_BITMAP_HELVETICA_18, GLUT_BITMAP_HELVETICA_10})
            for (const float frac : {0.0f, 0.3f, 0.5f, 0.81f * 640.0f - 518.0f, 0.99f})
                for (size_t from = 0; from < all.size(); from += 48, ++line) {
                    const std::string part = all.substr(from, 48);
                    const float x = 3.0f + frac, y = 6.0f + 22.0f * static_cast<float>(line) + frac;
                    glColor3f(line % 2 ? 1.0f : 0.2f, 0.9f, 0.1f);
                    if (way == 0) {
                        drawBitmapText(x, y, font, part.c_str());
                    } else {
                        glRasterPos2f(x, y);
                        for (char c : part) glutBitmapCharacter(font, static_cast<unsigned char>(c));
                    }
                }
        drawn[way] = rendertest::readFrame(640, 480);
    }
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    rendertest::writePng("hud_glyphs", drawn[0]);
    EXPECT_GT(drawn[0].count(0, 0, 640, 480, [](Rgb c) { return c.g > 200; }), 5000);
    EXPECT_TRUE(drawn[0].rgb == drawn[1].rgb);
}
