// exploratory
#include "prey/prey.h"
#include "render_test_util.h"
using namespace rendertest;
namespace {
constexpr float kEyeX = 44.0f, kEyeY = 20.0f;
}
TEST(Explore, Frames) {
    if (!std::getenv("DISPLAY")) GTEST_SKIP();
    ASSERT_TRUE(openGameWindow());
    loadPreyPoseFile();
    options.texturesOn = true;
    gs.preyList.clear();
    gs.preyList.emplace_back();
    gs.preyList[0].pos = Vec3{kEyeX + 7.0f, kEyeY - 1.5f, 1.5f};
    gs.preyList[0].dir = Vec3{-1.0f, 0.0f, 0.0f};
    Fighter& f = gs.fighterList[1];
    f.state = FighterState::InPlay;
    f.pos = Vec3{kEyeX + 8.0f, kEyeY + 2.0f, kFighterHeight};
    f.dir = Vec3{-1.0f, 0.0f, 0.0f};
    for (int lit = 0; lit < 2; ++lit) {
        options.lightingOn = lit;
        drawFrameAt(lit ? "x-lit" : "x-default", kEyeX, kEyeY, 1.0f, 0.0f);
        drawFrameAt(lit ? "x-lit-back" : "x-default-back", kEyeX + 16, kEyeY, -1.0f, 0.0f);
    }
    options.lightingOn = true;
    startSmallExplosion(kEyeX + 6.0f, kEyeY, 1.7f);
    for (int k = 0; k < 4; ++k) drawFrameAt(("x-expl-" + std::to_string(k)).c_str(), kEyeX, kEyeY, 1.0f, 0.0f);
    for (int k = 0; k < 10; ++k) display();
    drawFrameAt("x-lit-after", kEyeX, kEyeY, 1.0f, 0.0f);
}
