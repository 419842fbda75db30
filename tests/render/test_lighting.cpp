// test_lighting.cpp -- the lights a frame leaves behind and what they show:
// an explosion's flash lights its surroundings and takes nothing from the
// map's lights afterwards, and the shipped models never show as flat black
// shapes. Frames go to <build>/test-frames/lighting-*.png.
#include "prey/prey.h"
#include "render_test_util.h"

using namespace rendertest;

namespace {

// The eye in cell (row 2, column 5) looking along +x at the wall 12 ahead,
// a map light on it.
constexpr float kEyeX = 44.0f, kEyeY = 20.0f;

bool isBlack(Rgb c) { return c.r + c.g + c.b < 30; }

class Lighting : public GameWindowTest {
protected:
    void SetUp() override {
        GameWindowTest::SetUp();
        if (IsSkipped()) return;
        static bool posesRead = false;
        if (!posesRead) posesRead = loadPreyPoseFile();
        options.texturesOn = true;
        options.lightingOn = true;
        options.showMap = false;
        buildModels();
    }
};

// A prey and another fighter 7 to 8 units ahead of the eye.
void placeModels() {
    gs.preyList.clear();
    gs.preyList.emplace_back();
    gs.preyList[0].pos = Vec3{kEyeX + 7.0f, kEyeY - 1.5f, 1.5f};
    gs.preyList[0].dir = Vec3{-1.0f, 0.0f, 0.0f};
    Fighter& f = gs.fighterList[1];
    f.state = FighterState::InPlay;
    f.pos = Vec3{kEyeX + 8.0f, kEyeY + 2.0f, kFighterHeight};
    f.dir = Vec3{-1.0f, 0.0f, 0.0f};
}

GLfloat quadraticAttenuation(GLenum light) {
    GLfloat v = -1.0f;
    glGetLightfv(light, GL_QUADRATIC_ATTENUATION, &v);
    return v;
}

}  // namespace

TEST_F(Lighting, AnExplosionsFlashLightsItsSurroundingsAndLeavesTheMapLightsAsTheyWere) {
    // Textured walls and floors take their texels as they are (decal): the
    // plain ones show what the lights do.
    options.texturesOn = false;
    const Frame before = drawFrameAt("lighting-no-explosion", kEyeX, kEyeY, 1.0f, 0.0f);
    const GLfloat light0 = quadraticAttenuation(GL_LIGHT0);

    startSmallExplosion(kEyeX + 6.0f, kEyeY, 1.7f);
    // While the flash is on, its light has a colour.
    setupLights(gs);
    ASSERT_TRUE(view.flashOn);
    GLfloat diffuse[4] = {};
    glGetLightfv(GL_LIGHT1, GL_DIFFUSE, diffuse);
    EXPECT_GT(diffuse[0] + diffuse[1] + diffuse[2], 1.0f) << "the flash light is not black";
    EXPECT_TRUE(glIsEnabled(GL_LIGHT1));

    // Its first frame lights the wall and floor round it: brighter than
    // without it, well beyond the debris' own small pieces.
    const Frame flash = drawFrameAt("lighting-explosion-0", kEyeX, kEyeY, 1.0f, 0.0f);
    double brighter = 0.0;
    for (int y = 60; y < 420; ++y)
        for (int x = 20; x < 500; ++x)
            for (int c = 0; c < 3; ++c) brighter += flash.at(x, y, c) - before.at(x, y, c);
    EXPECT_GT(brighter / (360.0 * 480.0 * 3.0), 5.0) << "mean gain of the view";

    // After the frame, light 0 reaches as far as before, and the flash's
    // light holds no colour that a later frame could inherit.
    EXPECT_EQ(quadraticAttenuation(GL_LIGHT0), light0);
    glGetLightfv(GL_LIGHT1, GL_DIFFUSE, diffuse);
    EXPECT_EQ(diffuse[0] + diffuse[1] + diffuse[2], 0.0f);
    // Once the explosion is over, the frame is the one before it.
    for (int k = 0; k < 14; ++k) display();
    const Frame after = drawFrameAt("lighting-after-explosion", kEyeX, kEyeY, 1.0f, 0.0f);
    EXPECT_EQ(quadraticAttenuation(GL_LIGHT0), light0);
    EXPECT_LT(meanDifference(after, before, 20, 60, 500, 420), 0.5);
}

// With map lighting off and on, looking at the models' lit side and, from
// behind them, at their unlit side: most pixels that a model covers are
// not black.
TEST_F(Lighting, LitModelsAreNeverFlatBlackShapes) {
    for (const bool lit : {false, true}) {
        options.lightingOn = lit;
        const std::string name = std::string("lighting-") + (lit ? "map-" : "default-");
        for (const float facing : {1.0f, -1.0f}) {
            const float eyeX = facing > 0.0f ? kEyeX : kEyeX + 12.0f;
            const std::string side = facing > 0.0f ? "front" : "back";
            SCOPED_TRACE(name + side);
            gs.preyList.clear();
            gs.fighterList[1].state = FighterState::Absent;
            const Frame empty = drawFrameAt((name + side + "-empty").c_str(), eyeX, kEyeY, facing, 0.0f);
            placeModels();
            const Frame seen = drawFrameAt((name + side).c_str(), eyeX, kEyeY, facing, 0.0f);
            int covered = 0, black = 0;
            for (int y = 0; y < kHeight; ++y)
                for (int x = 0; x < 500; ++x) {
                    const Rgb a = seen.pixel(x, y), b = empty.pixel(x, y);
                    if (std::abs(a.r - b.r) + std::abs(a.g - b.g) + std::abs(a.b - b.b) < 30) continue;
                    ++covered;
                    black += isBlack(a) ? 1 : 0;
                }
            EXPECT_GT(covered, 2000) << "the models are in view";
            EXPECT_LT(black, covered / 10) << "black pixels among " << covered;
        }
    }
}
