// test_object_pixels.cpp -- the world's objects in frames of the game's own
// drawing, checked at chosen pixels; contact sheets for a person to look at.
// The drawing rules are checked with plain box meshes built here, so they
// hold whatever the shipped models look like.
#include <GL/glu.h>

#include <algorithm>
#include <cstring>

#include "prey/prey.h"
#include "render_test_util.h"

using namespace rendertest;

namespace {

// An axis-aligned box as a mesh: 8 corners, 6 face normals, 12 triangles.
Mesh boxMesh(float x0, float x1, float y0, float y1, float z0, float z1) {
    Mesh m;
    for (int i = 0; i < 8; ++i) m.vertices.insert(m.vertices.end(), {i & 1 ? x1 : x0, i & 2 ? y1 : y0, i & 4 ? z1 : z0});
    m.normals = {-1, 0, 0, 1, 0, 0, 0, -1, 0, 0, 1, 0, 0, 0, -1, 0, 0, 1};
    // Each side: its four corners in order round the quad, and its normal.
    const int sides[6][5] = {{0, 2, 6, 4, 0}, {1, 5, 7, 3, 1}, {0, 4, 5, 1, 2},
                             {2, 3, 7, 6, 3}, {0, 1, 3, 2, 4}, {4, 6, 7, 5, 5}};
    for (const auto& s : sides) {
        m.faces.insert(m.faces.end(), {s[0], s[1], s[2], s[4], s[4], s[4], 0, 0, 0});
        m.faces.insert(m.faces.end(), {s[0], s[2], s[3], s[4], s[4], s[4], 0, 0, 0});
    }
    return m;
}

// Lists of box models: a fighter about 3 units across, a lamp reaching out
// along -x from its wall plate, prey parts of half a unit.
void useBoxModels() {
    static ModelMeshes m;
    if (m.lamp.vertices.empty()) {
        for (Mesh& part : m.fighter) part = boxMesh(-0.5f, 0.5f, -0.5f, 0.5f, -0.15f, 0.15f);
        m.fighter[2] = boxMesh(-0.04f, 0.04f, -0.2f, 0.2f, -0.04f, 0.04f);
        m.lamp = boxMesh(-1.0f, 0.375f, -0.6f, 0.6f, -0.6f, 0.6f);
        for (auto& part : m.prey)
            for (Mesh& level : part) level = boxMesh(-0.3f, 0.3f, -0.3f, 0.3f, -0.3f, 0.3f);
    }
    buildModelLists(m);
}
// Lists of the shipped models; false where the data folder has none.
bool useShippedModels() {
    buildModels();
    Mesh m;
    return readMeshFile(kFighterMeshFiles[0], m);
}

// One tile (col, row) of a cols x rows contact sheet, cleared to blue-grey,
// the camera at `eye` looking at `at`, the default directional light.
void beginTile(int col, int row, int cols, int rows, Vec3 eye, Vec3 at) {
    const int w = kWidth / cols, h = kHeight / rows, x = col * w, y = kHeight - (row + 1) * h;
    glViewport(x, y, w, h);
    glScissor(x, y, w, h);
    glEnable(GL_SCISSOR_TEST);
    glClearColor(0.32f, 0.36f, 0.42f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glDisable(GL_SCISSOR_TEST);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(40.0, static_cast<double>(w) / h, 0.1, 200.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    gluLookAt(eye.x, eye.y, eye.z, at.x, at.y, at.z, 0.0, 0.0, 1.0);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_NORMALIZE);
    glShadeModel(GL_SMOOTH);
    setupLights(gs);  // lighting is off: the default light
}

Frame grabSheet(const char* name) {
    glViewport(0, 0, kWidth, kHeight);
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    return grabFrame(name);
}

class ObjectPixels : public GameWindowTest {
protected:
    void SetUp() override {
        GameWindowTest::SetUp();
        if (IsSkipped()) return;
        static bool posesRead = false;
        if (!posesRead) posesRead = loadPreyPoseFile();
        options.texturesOn = false;  // plain grey walls: objects stand out
        options.lightingOn = false;
        options.detailLevel = 4;
        skipHiddenObjects = true;
        useBoxModels();
    }
};

// The eye in cell (row 2, column 5) looking along +x at the wall 12 ahead.
constexpr float kEyeX = 44.0f, kEyeY = 20.0f;

}  // namespace

TEST_F(ObjectPixels, AFighterAheadIsSeenButNeverTheViewersOwn) {
    editMaze().lights.clear();  // no lamp on the wall ahead
    const Frame empty = drawFrameAt("fighter-none", kEyeX, kEyeY, 1.0f, 0.0f);
    Fighter& f = gs.fighterList[1];
    f.state = FighterState::InPlay;
    f.pos = Vec3{kEyeX + 7.0f, kEyeY, kFighterHeight};
    f.dir = Vec3{-1.0f, 0.0f, 0.0f};
    const Frame seen = drawFrameAt("fighter-ahead", kEyeX, kEyeY, 1.0f, 0.0f);
    // 7 ahead on the floor, about 3 across: the middle below the horizon.
    EXPECT_GT(meanDifference(seen, empty, 260, 140, 380, 240), 20.0);
    f.state = FighterState::Dead;
    gs.fighterList[0].state = FighterState::InPlay;  // at the eye, it would fill the view
    const Frame own = drawFrameAt("fighter-own", kEyeX, kEyeY, 1.0f, 0.0f);
    EXPECT_LT(meanDifference(own, empty, 0, 0, kWidth, kHeight), 0.01);
}

TEST_F(ObjectPixels, APreyIsDrawnOnlyInAMarkedCell) {
    editMaze().lights.clear();
    gs.fighterList[0].state = FighterState::Absent;
    // The objects alone, over a cleared tile, with the marks set by hand.
    auto drawObjectsWith = [](const char* name, bool marked) {
        beginTile(0, 0, 1, 1, Vec3{kEyeX, kEyeY, 1.7f}, Vec3{kEyeX + 1.0f, kEyeY, 1.7f});
        std::memset(view.cellVisible, 0, sizeof view.cellVisible);
        view.cellVisible[2][6] = marked ? 1 : 0;  // the prey's cell, x 48..56
        drawObjects(gs);
        return grabSheet(name);
    };
    const Frame none = drawObjectsWith("prey-none", true);
    gs.preyList.emplace_back();
    gs.preyList[0].pos = Vec3{kEyeX + 8.0f, kEyeY, 1.5f};
    gs.preyList[0].dir = Vec3{-1.0f, 0.0f, 0.0f};
    EXPECT_GT(meanDifference(drawObjectsWith("prey-marked", true), none, 0, 0, kWidth, kHeight), 1.0);
    EXPECT_TRUE(drawObjectsWith("prey-unmarked", false).rgb == none.rgb);
}

TEST_F(ObjectPixels, ALampOnEachSideReachesOutOfItsFace) {
    // For each side, a wall block with two open cells in a row before that
    // face; the eye in the far one, looking at the face.
    const int step[4][2] = {{-1, 0}, {0, 1}, {1, 0}, {0, -1}};  // (row, col) out of side s
    const MazeLight original = maze.lights.at(0);
    for (int side = 0; side < 4; ++side) {
        const int s0 = step[side][0], s1 = step[side][1];
        int wr = -1, wc = -1;
        for (int r = 1; r < maze.rows - 1 && wr < 0; ++r)
            for (int c = 1; c < maze.cols - 1 && wr < 0; ++c)
                if (cellCode(r, c) == 1 && cellCode(r + s0, c + s1) == 0 && cellCode(r + 2 * s0, c + 2 * s1) == 0) {
                    wr = r;
                    wc = c;
                }
        ASSERT_GE(wr, 0) << "side " << side;
        MazeLight light = original;
        light.row = wr;
        light.col = wc;
        light.side = side;
        placeLight(light);
        const float ex = (wc + 2 * s1 + 0.5f) * maze.cellSize, ey = (wr + 2 * s0 + 0.5f) * maze.cellSize;
        const float dx = static_cast<float>(-s1), dy = static_cast<float>(-s0);
        editMaze().lights.clear();
        const Frame without = drawFrameAt("lamp-side-none", ex, ey, dx, dy);
        editMaze().lights.push_back(light);
        const Frame with = drawFrameAt(("lamp-side-" + std::to_string(side)).c_str(), ex, ey, dx, dy);
        // The lamp hangs 2.8 above the eye, 12 ahead: about 56 pixels above
        // the middle, in its warm colour; the walls are grey.
        auto warm = [](Rgb c) { return c.r >= c.b + 6 && c.r > 15; };
        EXPECT_GT(with.count(290, 270, 350, 330, warm), 150) << "side " << side;
        EXPECT_EQ(without.count(290, 270, 350, 330, warm), 0) << "side " << side;
    }
}

TEST_F(ObjectPixels, BulletsGlowBrightAndUnlit) {
    editMaze().lights.clear();
    gs.bulletList.emplace_back();
    gs.bulletList[0].pos = Vec3{kEyeX + 3.0f, kEyeY + 0.6f, 1.4f};
    gs.bulletList[0].dir = Vec3{1.0f, 0.0f, 0.0f};
    const Frame dark = drawFrameAt("bullet-default-light", kEyeX, kEyeY, 1.0f, 0.0f);
    options.lightingOn = true;
    const Frame lit = drawFrameAt("bullet-map-lights", kEyeX, kEyeY, 1.0f, 0.0f);
    // 0.6 to the left and 0.3 below the eye, 3 ahead: around pixel (272, 216).
    auto bright = [](Rgb c) { return c.r > 200 && c.g > 120; };
    const int glowing = dark.count(240, 190, 300, 240, bright);
    EXPECT_GT(glowing, 20);
    EXPECT_EQ(lit.count(240, 190, 300, 240, bright), glowing) << "lighting leaves it alone";
}

TEST_F(ObjectPixels, AnExplosionFlashesThenDarkensAndFinishesOnTime) {
    editMaze().lights.clear();
    startSmallExplosion(kEyeX + 6.0f, kEyeY, 1.7f);
    std::vector<int> white;
    for (int k = 0; k < 12; ++k) {
        ASSERT_FALSE(gs.explosionList[0].finished) << "drawing " << k + 1;
        const Frame f = drawFrameAt(("explosion-" + std::to_string(k)).c_str(), kEyeX, kEyeY, 1.0f, 0.0f);
        white.push_back(f.count(160, 80, 480, 400, [](Rgb c) { return std::min({c.r, c.g, c.b}) > 200; }));
    }
    EXPECT_TRUE(gs.explosionList[0].finished) << "finished at its twelfth drawing";
    EXPECT_GT(white[0], 100) << "a white flash";
    EXPECT_GT(white[0], white[2]) << "fading";
    EXPECT_LT(white[8], white[0] / 10) << "dark debris once the flash is over";
}

// One test writes the sheets of the shipped models: detail levels 0, 4, 8
// (rows fighter, prey), the prey's poses, and a lamp in the game's view.
TEST_F(ObjectPixels, ContactSheets) {
    if (!useShippedModels()) GTEST_SKIP() << "no shipped model meshes in the data folder";
    Fighter f;
    f.dir = Vec3{1.0f, 0.0f, 0.0f};
    f.missiles = 20;
    Prey q;
    q.dir = f.dir;
    q.pose = 2;
    int preyTriangles[3] = {};
    for (int c = 0; c < 3; ++c) {
        options.detailLevel = 4 * c;
        beginTile(c, 0, 3, 2, Vec3{5.0f, 3.5f, 3.8f}, Vec3{0.0f, 0.0f, 1.6f});
        drawFighter(f, options.detailLevel);
        beginTile(c, 1, 3, 2, Vec3{4.5f, 3.0f, 3.0f}, Vec3{0.0f, 0.0f, 1.4f});
        view.modelTriangles = 0;
        drawPrey(q, options.detailLevel);
        preyTriangles[c] = view.modelTriangles;
    }
    grabSheet("models-detail-0-4-8");
    EXPECT_GT(preyTriangles[0], preyTriangles[1]) << "level 4 prey are lighter";
    options.detailLevel = 0;
    for (int pose = 0; pose < kPreyPoseCount; ++pose) {
        q.pose = pose;
        beginTile(pose % 6, pose / 6, 6, 3, Vec3{0.0f, 5.0f, 1.6f}, Vec3{0.0f, 0.0f, 1.5f});
        drawPrey(q, options.detailLevel);
    }
    grabSheet("prey-poses");
    options.texturesOn = true;
    drawFrameAt("view-lamp", 36.0f, 28.0f, 1.0f, -0.35f);
}

// Leaving out fighters, bullets and lamps outside the view changes no pixel: a sweep
// of viewpoints over the shipped level, each drawn with and without the skip
// from the same flame and effects' generator state.
TEST_F(ObjectPixels, SkippingHiddenFightersBulletsAndLampsChangesNoPixel) {
    if (!useShippedModels()) useBoxModels();
    options.texturesOn = true;
    options.lightingOn = true;
    // Fighters on their starts, and more scattered over the open cells,
    // near walls and corners where a skip would show first.
    for (int i = 1; i < fighterCount(); ++i) gs.fighterList[static_cast<size_t>(i)].state = FighterState::InPlay;
    randomSeed(5);
    Fighter f;
    f.state = FighterState::InPlay;
    f.missiles = 26;
    const float cs = maze.cellSize;
    for (int r = 1; r < maze.rows - 1; r += 4)
        for (int c = 1 + r % 3; c < maze.cols - 1; c += 5) {
            if (cellCode(r, c) != 0) continue;
            f.pos = Vec3{(c + 0.2f + 0.6f * randomFraction()) * cs, (r + 0.2f + 0.6f * randomFraction()) * cs,
                         kFighterHeight};
            const float a = 6.2831853f * randomFraction();
            f.dir = Vec3{std::cos(a), std::sin(a), 0.0f};
            gs.fighterList.push_back(f);
            // A bullet in flight in every other of those cells, at gun height.
            Bullet b;
            b.pos = Vec3{f.pos.x + 1.5f, f.pos.y - 1.0f, 1.0f + 2.0f * randomFraction()};
            if (c % 2) gs.bulletList.push_back(b);
        }
    int views = 0, skippedSome = 0;
    for (int r = 1; r < maze.rows - 1; r += 8)
        for (int c = 1; c < maze.cols - 1; c += 4) {
            if (cellCode(r, c) != 0) continue;
            const float a = 6.2831853f * randomFraction();
            const float x = (c + 0.5f) * cs, y = (r + 0.5f) * cs;
            const FlameSystem flameBefore = flame;
            const uint32_t randomBefore = effectState.randomState;
            Frame drawn[2];
            int modelTriangles[2];
            for (int skip = 0; skip < 2; ++skip) {
                flame = flameBefore;
                effectState.randomState = randomBefore;
                skipHiddenObjects = skip == 1;
                displayAt(x, y, std::cos(a), std::sin(a));
                drawn[skip] = readFrame();
                modelTriangles[skip] = view.modelTriangles;
            }
            skippedSome += modelTriangles[1] < modelTriangles[0] ? 1 : 0;
            ASSERT_TRUE(drawn[0].rgb == drawn[1].rgb) << "viewpoint " << x << ", " << y << " heading " << a;
            ++views;
        }
    EXPECT_GT(views, 8);
    EXPECT_GT(skippedSome, views / 2) << "the skip leaves out work in most views";
}
