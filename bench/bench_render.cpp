// bench_render.cpp -- cost of a maze frame beside the raw drawing it does.
//
// BM_EmptyFrame      clear and swap: the floor under every frame
// BM_Hud             the same with the whole HUD drawn over it (frame, labels,
//                    gauge, overview map with the prey, message), the player
//                    on its start in the shipped level; BM_HudLargeMap adds
//                    the large map. Goal: the HUD adds at most 0.5 ms.
// BM_MazeFrame       a whole frame of the shipped level down its longest
//                    corridor, textures and map lights on
// BM_RawTriangles    the same triangles, same pixels, same state, from one
//                    display list: what the frame would cost with no
//                    visibility pass and no per-cell list calls
// BM_MarkVisibleCells the visibility pass alone, on the shipped level and on
//                    an open 100 x 100 maze, beside a plain pass over the
//                    table (BM_VisibleTableClear)
//
// The GL benchmarks need a display (run under xvfb-run); without one they
// skip themselves. Unless LP_NUM_THREADS is set, the software renderer is
// asked to rasterise in the calling thread, so that the CPU time column holds
// all of a frame's work and the frame / raw ratio stays steady on a machine
// shared with other jobs (compare CPU times).
#include <GL/freeglut.h>
#include <GL/gl.h>
#include <GL/glu.h>
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench_util.h"
#include "net/net.h"
#include "net/recording.h"
#include "prey/prey.h"
#include "render/render.h"

namespace {

// The reference viewpoint: cell (row 15, column 1), looking along +x down the
// corridor that runs to column 23.
constexpr float kEyeX = 12.0f, kEyeY = 124.0f;

bool windowOpen = false;

bool openBenchWindow(benchmark::State& state) {
    if (!std::getenv("DISPLAY")) {
        state.SkipWithError("no display: run under xvfb-run");
        return false;
    }
    if (windowOpen) return true;
    setenv("LP_NUM_THREADS", "0", 0);
    int argc = 1;
    char name[] = "maze-bench";
    char* argv[] = {name, nullptr};
    glutInit(&argc, argv);
    checkLeaksBeforeToolkitExit();
    glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH);
    glutInitWindowPosition(0, 0);
    glutInitWindowSize(640, 480);
    glutCreateWindow("maze");
    glutDisplayFunc([] {});
    for (int i = 0; i < 10; ++i) glutMainLoopEvent();
    if (chdir(MAZE_DATA_DIR) != 0) {
        state.SkipWithError("data folder missing");
        return false;
    }
    resetGameStateForTest();
    // As the game does at its start.
    keepHeapForFrames();
    readMazeMap();
    loadTextures();
    buildModels();
    buildHudText();
    createFighters();
    windowOpen = true;
    return true;
}

// The shipped level with nothing in it but the fighters' records, whatever
// an earlier benchmark (in any order) left behind.
void emptyLevel() {
    resetGameStateForTest();
    const int saved = silenceStdout();
    readMazeMap();
    createFighters();
    restoreStdout(saved);
}

// The frame set-up the display callback makes: viewport, projection, clear,
// camera at the reference viewpoint.
void beginFrame() {
    glViewport(0, 0, 640, 480);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(90.0, 640.0 / 480.0, 0.1, 2000.0);
    glMatrixMode(GL_MODELVIEW);
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_NORMALIZE);
    glColor3f(1.0f, 1.0f, 1.0f);
    Fighter& f = gs.fighterList[process.localFighterIndex];
    f.pos = Vec3{kEyeX, kEyeY, kFighterHeight};
    f.dir = Vec3{1.0f, 0.0f, 0.0f};
    view.cameraEye = f.pos;
    view.cameraDir = f.dir;
    view.viewConeCos = 0.70710677f;
    glLoadIdentity();
    gluLookAt(kEyeX, kEyeY, kFighterHeight, kEyeX + 1.0, kEyeY, kFighterHeight, 0.0, 0.0, 1.0);
}

void endFrame() {
    glFinish();
    glutSwapBuffers();
}

// One quad of a face grid, in world coordinates, with its texture coordinates.
// One frame of raw triangles from one list, under the same lights, texture
// and shading as the game's maze: the baseline of the frame benchmarks.
void drawRawFrame(GLuint list) {
    beginFrame();
    glPushMatrix();
    setupLights(gs);
    glPopMatrix();
    glEnable(GL_TEXTURE_2D);
    glShadeModel(GL_FLAT);
    glBindTexture(GL_TEXTURE_2D, mazeTextures[WallTexture]);
    glCallList(list);
    glDisable(GL_TEXTURE_2D);
    endFrame();
}

void gridQuads(int axis, float fixed, float baseU, float baseV, float width, float height) {
    const float step = 1.0f / kFaceSubdivisions;
    auto vertex = [&](float s, float t) {
        const float u = baseU + s * width, v = baseV + t * height;
        glTexCoord2f(s, t);
        if (axis == PlaneX) glVertex3f(fixed, u, v);
        if (axis == PlaneY) glVertex3f(u, fixed, v);
        if (axis == PlaneZ) glVertex3f(u, v, fixed);
    };
    for (int i = 0; i < kFaceSubdivisions; ++i)
        for (int j = 0; j < kFaceSubdivisions; ++j) {
            vertex(i * step, j * step);
            vertex(i * step, (j + 1) * step);
            vertex((i + 1) * step, (j + 1) * step);
            vertex((i + 1) * step, j * step);
        }
}

// One display list holding exactly the triangles the last maze frame drew,
// at the same places: the walls, floors and sky of the visible cells.
GLuint buildRawList(int& triangles) {
    const float cs = maze.cellSize, wh = maze.wallHeight;
    const float eyeX = view.cameraEye.x, eyeY = view.cameraEye.y;
    triangles = 0;
    const GLuint list = glGenLists(1);
    glNewList(list, GL_COMPILE);
    glBegin(GL_QUADS);
    glNormal3f(0.0f, 0.0f, 1.0f);
    for (int r = 0; r < maze.rows; ++r)
        for (int k = 0; k < maze.cols; ++k) {
            if (!view.cellVisible[r][k]) continue;
            const float x0 = k * cs, y0 = r * cs;
            if (maze.cells[r][k] == 1) {
                const bool facing[4] = {eyeY < y0, eyeX >= x0, eyeY >= y0, eyeX < x0};
                for (int s = 0; s < 4; ++s) {
                    if (maze.hiddenFaces[r][k][s] || !facing[s]) continue;
                    if (s == 0) gridQuads(PlaneY, y0, x0, 0.0f, cs, wh);
                    if (s == 1) gridQuads(PlaneX, x0 + cs, y0, 0.0f, cs, wh);
                    if (s == 2) gridQuads(PlaneY, y0 + cs, x0, 0.0f, cs, wh);
                    if (s == 3) gridQuads(PlaneX, x0, y0, 0.0f, cs, wh);
                    triangles += kFaceSubdivisions * kFaceSubdivisions * 2;
                }
            } else if (maze.cells[r][k] == 0) {
                gridQuads(PlaneZ, 0.0f, x0, y0, cs, cs);
                triangles += kFaceSubdivisions * kFaceSubdivisions * 2;
                glTexCoord2f(0.0f, 0.0f);
                glVertex3f(x0, y0, wh);
                glVertex3f(x0, y0 + cs, wh);
                glVertex3f(x0 + cs, y0 + cs, wh);
                glVertex3f(x0 + cs, y0, wh);
                triangles += 2;
            }
        }
    glEnd();
    glEndList();
    return list;
}

}  // namespace

static void BM_EmptyFrame(benchmark::State& state) {
    if (!openBenchWindow(state)) return;
    for (auto _ : state) {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        endFrame();
    }
}
BENCHMARK(BM_EmptyFrame)->Unit(benchmark::kMillisecond);

namespace {

// The HUD over an empty frame: the game's own reset puts the player on its
// start and the prey on theirs.
void benchHud(benchmark::State& state, bool largeMap) {
    if (!openBenchWindow(state)) return;
    emptyLevel();
    resetGame();
    view.windowWidth = 640;
    view.windowHeight = 480;
    process.localFighterIndex = 0;
    hud.health = 75.0f;
    hud.score = 12;
    hud.bullets = 240;
    setMessageLine("Mech destroyed.");
    options.showMap = largeMap;
    for (auto _ : state) {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        drawHud(gs);
        endFrame();
    }
    options.showMap = false;
}

}  // namespace

static void BM_Hud(benchmark::State& state) { benchHud(state, false); }
BENCHMARK(BM_Hud)->Unit(benchmark::kMillisecond);

static void BM_HudLargeMap(benchmark::State& state) { benchHud(state, true); }
BENCHMARK(BM_HudLargeMap)->Unit(benchmark::kMillisecond);

static void BM_MazeFrame(benchmark::State& state) {
    if (!openBenchWindow(state)) return;
    emptyLevel();
    options.texturesOn = true;
    options.lightingOn = true;
    for (auto _ : state) {
        beginFrame();
        drawScene(gs);
        endFrame();
    }
    state.counters["triangles"] = view.trianglesDrawn;
}
BENCHMARK(BM_MazeFrame)->Unit(benchmark::kMillisecond);

static void BM_RawTriangles(benchmark::State& state) {
    if (!openBenchWindow(state)) return;
    emptyLevel();
    options.texturesOn = true;
    options.lightingOn = true;
    // One maze frame fixes the visible cells and leaves the frame's state.
    beginFrame();
    drawScene(gs);
    endFrame();
    int triangles = 0;
    const GLuint list = buildRawList(triangles);
    for (auto _ : state) {
        drawRawFrame(list);
    }
    glDeleteLists(list, 1);
    state.counters["triangles"] = triangles;
}
BENCHMARK(BM_RawTriangles)->Unit(benchmark::kMillisecond);

// Baseline of the visibility pass: one plain write of the 100 x 100 table.
static void BM_VisibleTableClear(benchmark::State& state) {
    for (auto _ : state) {
        std::memset(view.cellVisible, 0, sizeof view.cellVisible);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_VisibleTableClear)->Unit(benchmark::kMicrosecond);

static void BM_MarkVisibleCells(benchmark::State& state) {
    resetGameStateForTest();
    view = ViewState{};
    if (state.range(0) == 0) {
        readMazeMapFile(MAZE_DATA_DIR "/korvath.map");
        view.cameraEye = Vec3{kEyeX, kEyeY, kFighterHeight};
        state.SetLabel("shipped level 28 x 28");
    } else {
        editMaze().rows = editMaze().cols = kMaxMazeSize;
        editMaze().cellSize = 8.0f;
        editMaze().wallHeight = 6.0f;
        view.cameraEye = Vec3{400.0f, 404.0f, kFighterHeight};
        state.SetLabel("open maze 100 x 100");
    }
    view.cameraDir = Vec3{1.0f, 0.0f, 0.0f};
    view.viewConeCos = 0.70710677f;
    for (auto _ : state) {
        markVisibleCells(gs);
        benchmark::ClobberMemory();
    }
    int visible = 0;
    for (auto& row : view.cellVisible)
        for (uint8_t c : row) visible += c;
    state.counters["visible"] = visible;
    if (windowOpen) {  // leave the shipped level loaded for any later GL benchmark
        resetGameStateForTest();
        readMazeMap();
        createFighters();
    }
}
BENCHMARK(BM_MarkVisibleCells)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// ---------------------------------------------------------------------------
// Whole frames with the world's objects.
//
// BM_FullFrame/detail:D/scene:S   one frame of the game at detail level D:
//   typical  the game's start: all nine fighters in play on their starts, the
//            prey on theirs, every lamp, looking down the longest corridor
//            (textures on, lighting off, as the game starts);
//   crowded  the same place with eight fighters and ten prey in view, a
//            hundred bullets in flight and ten explosions under way.
// BM_FullFrameRawTriangles/...    the same triangles (maze, models and
//            explosion boxes, at their places, with their normals) from one
//            display list, under the same lights: the frame's floor.
// BM_FullFrameRawPrimitives/...   those triangles, then the glow balls'
//            lines (the same wire spheres at the bullets) and the flames'
//            points as one frame drawn in feedback mode saw them (window
//            coordinates, colours), blended, from the same list: the floor
//            with every primitive the frame draws, not its triangles alone.
// ---------------------------------------------------------------------------

namespace {

enum Scene { Typical = 0, Crowded = 1 };

// Explosions as they were started; a finished one starts again from its copy
// so that ten stay under way for as long as the benchmark runs.
std::vector<Explosion> startedExplosions;

void setUpScene(Scene scene) {
    resetGameStateForTest();
    const int saved = silenceStdout();
    readMazeMap();
    createFighters();
    resetGame();
    loadPreyPoseFile();
    restoreStdout(saved);
    options.texturesOn = true;
    options.lightingOn = false;
    for (int i = 0; i < fighterCount() && i < maze.fighterStartCount; ++i) {
        Fighter& f = gs.fighterList[static_cast<size_t>(i)];
        placeFighterAtStart(f, maze.fighterStarts[i]);
        f.state = FighterState::InPlay;
    }
    startedExplosions.clear();
    if (scene == Crowded) {
        randomSeed(1);
        // Along the corridor of row 15 (y 120..128), ahead of the eye.
        for (int i = 1; i <= 8 && i < fighterCount(); ++i) {
            Fighter& f = gs.fighterList[static_cast<size_t>(i)];
            f.pos = Vec3{22.0f + 14.0f * i, 121.5f + 5.0f * (i % 2), kFighterHeight};
            f.dir = Vec3{i % 2 ? -1.0f : 0.0f, i % 2 ? 0.0f : 1.0f, 0.0f};
        }
        gs.preyList.clear();
        for (int k = 0; k < 10; ++k) {
            Prey q;
            q.pos = Vec3{29.0f + 12.0f * k, 126.0f - 4.0f * (k % 2), 1.5f};
            q.dir = Vec3{-1.0f, 0.0f, 0.0f};
            q.pose = (k * 5) % 18;
            gs.preyList.push_back(q);
        }
        gs.bulletList.clear();
        for (int k = 0; k < 100; ++k) {
            Bullet b;
            b.pos = Vec3{16.0f + 1.4f * k, 121.0f + 6.0f * randomFraction(), 1.0f + 2.0f * randomFraction()};
            b.dir = Vec3{1.0f, 0.0f, 0.0f};
            gs.bulletList.push_back(b);
        }
        for (int k = 0; k < 10; ++k) {
            const float x = 40.0f + 12.0f * k, y = 122.0f + 4.0f * (k % 2);
            if (k % 2) startSmallExplosion(x, y, 1.5f);
            else startLargeExplosion(x, y, 1.5f);
        }
        startedExplosions = gs.explosionList;
    }
}

// Keeps every explosion under way, and returns the boxes' triangles.
int renewExplosions() {
    int triangles = 0;
    for (size_t i = 0; i < gs.explosionList.size(); ++i) {
        if (gs.explosionList[i].finished) gs.explosionList[i] = startedExplosions[i];
        triangles += gs.explosionList[i].pieceCount * 16;  // a box: 4 quads, 8 triangles
    }
    return triangles;
}

// A vertex or normal of a model list in world coordinates: the list's own
// scale and turn, then the matrix recorded at its call.
void transformPoint(const float m[16], float x, float y, float z, float w, float out[3]) {
    for (int r = 0; r < 3; ++r) out[r] = m[r] * x + m[4 + r] * y + m[8 + r] * z + m[12 + r] * w;
}

// One display list with the frame's triangles: the maze's, those of every
// model list the frame called, and a box per explosion piece.
GLuint buildFrameRawList(const std::vector<ModelListCall>& calls, int& triangles, GLuint& mazeList) {
    int mazeTriangles = 0;
    mazeList = buildRawList(mazeTriangles);
    triangles = mazeTriangles;
    const GLuint list = glGenLists(1);
    glNewList(list, GL_COMPILE);
    glCallList(mazeList);
    glBegin(GL_TRIANGLES);
    for (const ModelListCall& call : calls) {
        const ModelListSource src = modelListSource(call.list);
        if (!src.mesh) continue;
        const Mesh& mesh = *src.mesh;
        for (size_t f = 0; f + 9 <= mesh.faces.size(); f += 9) {
            for (int c = 0; c < 3; ++c) {
                const float* v = &mesh.vertices[static_cast<size_t>(mesh.faces[f + c]) * 3];
                const float* n = &mesh.normals[static_cast<size_t>(mesh.faces[f + 3 + c]) * 3];
                // Scale, then the turn of -90 degrees about y: (x, y, z) -> (-z, y, x).
                float vx = v[0] * src.scale, vy = v[1] * src.scale, vz = v[2] * src.scale;
                float nx = n[0], ny = n[1], nz = n[2];
                if (src.turned) {
                    const float t = vx;
                    vx = -vz, vz = t;
                    const float u = nx;
                    nx = -nz, nz = u;
                }
                float wv[3], wn[3];
                transformPoint(call.matrix, vx, vy, vz, 1.0f, wv);
                transformPoint(call.matrix, nx, ny, nz, 0.0f, wn);
                glNormal3fv(wn);
                glVertex3fv(wv);
            }
            ++triangles;
        }
    }
    // The explosion pieces, unturned, at their places.
    for (const Explosion& e : gs.explosionList)
        for (int k = 0; k < e.pieceCount; ++k) {
            const Vec3 c{e.centre.x + e.pieceOffset[k].x, e.centre.y + e.pieceOffset[k].y,
                         e.centre.z + e.pieceOffset[k].z};
            const Vec3 h{e.pieceSize[k].x * 0.5f, e.pieceSize[k].y * 0.5f, e.pieceSize[k].z * 0.5f};
            for (int t = 0; t < 16; ++t) {
                glNormal3f(0.0f, 0.0f, 1.0f);
                glVertex3f(c.x - h.x, c.y - h.y, c.z + (t % 2 ? h.z : -h.z));
                glVertex3f(c.x + h.x, c.y - h.y, c.z + (t % 2 ? h.z : -h.z));
                glVertex3f(c.x + h.x, c.y + h.y, c.z + (t % 2 ? h.z : -h.z));
                ++triangles;
            }
        }
    glEnd();
    glEndList();
    return list;
}

// Appends to the list being compiled: every bullet's glow ball as lines in
// world coordinates, blended and unlit; each shell a wire sphere of 10
// slices pole to pole and 9 rings of 10 segments, the toolkit's 190
// segments. Returns the segments.
int compileGlowBallLines() {
    constexpr int kSlices = 10, kStacks = 10;
    constexpr float kPi = 3.14159265f;
    glDisable(GL_LIGHTING);
    glDisable(GL_TEXTURE_2D);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glEnable(GL_BLEND);
    glBegin(GL_LINES);
    int segments = 0;
    for (const Bullet& b : gs.bulletList)
        for (const GlowShell& shell : glowBall.shells) {
            glColor4fv(shell.colour);
            const auto point = [&](int slice, int stack) {
                const float a = 2.0f * kPi * static_cast<float>(slice) / kSlices;
                const float p = kPi * static_cast<float>(stack) / kStacks;
                glVertex3f(b.pos.x + shell.offset.x + shell.radius * std::sin(p) * std::cos(a),
                           b.pos.y + shell.offset.y + shell.radius * std::sin(p) * std::sin(a),
                           b.pos.z + shell.offset.z + shell.radius * std::cos(p));
            };
            for (int slice = 0; slice < kSlices; ++slice)
                for (int stack = 0; stack < kStacks; ++stack, ++segments) {
                    point(slice, stack);
                    point(slice, stack + 1);
                }
            for (int stack = 1; stack < kStacks; ++stack)
                for (int slice = 0; slice < kSlices; ++slice, ++segments) {
                    point(slice, stack);
                    point(slice + 1, stack);
                }
        }
    glEnd();
    glDisable(GL_BLEND);
    glEnable(GL_LIGHTING);
    return segments;
}

// The lines and points of one frame of the scene, as the renderer saw them:
// window x, y, depth and colour (seven floats) per vertex, from a frame
// drawn in feedback mode. Polygons are left out: the raw list has them.
constexpr int kVertex = 7;  // floats per vertex: x, y, depth, red, green, blue, alpha
struct LinesAndPoints {
    std::vector<float> lines;   // two vertices per segment
    std::vector<float> points;  // one vertex per point
};
LinesAndPoints captureLinesAndPoints() {
    std::vector<GLfloat> buffer(size_t{1} << 25);
    for (;;) {
        glFeedbackBuffer(static_cast<GLsizei>(buffer.size()), GL_3D_COLOR, buffer.data());
        glRenderMode(GL_FEEDBACK);
        beginFrame();
        // This software renderer faults on the glow ball's list in feedback
        // mode: the bullets stay out of this frame (compileGlowBallLines
        // gives their lines).
        std::vector<Bullet> bullets;
        bullets.swap(gs.bulletList);
        drawScene(gs);
        gs.bulletList.swap(bullets);
        const GLint used = glRenderMode(GL_RENDER);
        if (used >= 0) {
            buffer.resize(static_cast<size_t>(used));
            break;
        }
        buffer.assign(buffer.size() * 2, 0.0f);  // overflowed: again, larger
    }
    LinesAndPoints out;
    for (size_t i = 0; i < buffer.size();) {
        const auto token = static_cast<GLint>(buffer[i++]);
        const auto take = [&](std::vector<float>& to, int vertices) {
            to.insert(to.end(), buffer.begin() + static_cast<long>(i),
                      buffer.begin() + static_cast<long>(i) + vertices * kVertex);
            i += static_cast<size_t>(vertices * kVertex);
        };
        if (token == GL_LINE_TOKEN || token == GL_LINE_RESET_TOKEN) {
            take(out.lines, 2);
        } else if (token == GL_POINT_TOKEN) {
            take(out.points, 1);
        } else if (token == GL_POLYGON_TOKEN) {
            i += 1 + static_cast<size_t>(buffer[i]) * kVertex;
        } else if (token == GL_PASS_THROUGH_TOKEN) {
            i += 1;
        } else {
            i += kVertex;  // bitmap and pixel tokens: one vertex
        }
    }
    return out;
}

// Appends to the list being compiled: the lines and points in window
// coordinates (depth as z), unlit, untextured and blended as the frame
// draws them.
void compileLinesAndPoints(const LinesAndPoints& lp) {
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(0.0, 640.0, 0.0, 480.0, 0.0, -1.0);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glDisable(GL_LIGHTING);
    glDisable(GL_TEXTURE_2D);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glEnable(GL_BLEND);
    for (const auto& [mode, data] : {std::pair{GL_LINES, &lp.lines}, std::pair{GL_POINTS, &lp.points}}) {
        glBegin(static_cast<GLenum>(mode));
        for (size_t v = 0; v + kVertex <= data->size(); v += kVertex) {
            glColor4fv(&(*data)[v + 3]);
            glVertex3fv(&(*data)[v]);
        }
        glEnd();
    }
    glDisable(GL_BLEND);
    glEnable(GL_LIGHTING);
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
}

void fullFrame(benchmark::State& state, int detail, Scene scene) {
    if (!openBenchWindow(state)) return;
    setUpScene(scene);
    options.detailLevel = detail;
    int triangles = 0;
    for (auto _ : state) {
        const int boxes = renewExplosions();
        beginFrame();
        drawScene(gs);
        endFrame();
        triangles = view.trianglesDrawn + view.modelTriangles + boxes;
    }
    state.counters["triangles"] = triangles;
}

void fullFrameRaw(benchmark::State& state, int detail, Scene scene, bool withLinesAndPoints) {
    if (!openBenchWindow(state)) return;
    setUpScene(scene);
    options.detailLevel = detail;
    renewExplosions();
    // One frame drawn from the world's origin records every model list call
    // with its world matrix, and marks the visible cells.
    std::vector<ModelListCall> calls;
    beginFrame();
    glLoadIdentity();
    recordModelListCalls(&calls);
    drawScene(gs);
    recordModelListCalls(nullptr);
    endFrame();
    int triangles = 0;
    GLuint mazeList = 0;  // called by the frame's list: kept until the end
    const GLuint triangleList = buildFrameRawList(calls, triangles, mazeList);
    // A list calls others by name: those it calls stay until the end.
    GLuint list = triangleList;
    LinesAndPoints lp;
    int lines = 0;
    if (withLinesAndPoints) {
        lp = captureLinesAndPoints();
        list = glGenLists(1);
        glNewList(list, GL_COMPILE);
        glCallList(triangleList);
        lines = compileGlowBallLines();
        compileLinesAndPoints(lp);
        glEndList();
    }
    for (auto _ : state) {
        drawRawFrame(list);
    }
    if (list != triangleList) glDeleteLists(list, 1);
    glDeleteLists(triangleList, 1);
    glDeleteLists(mazeList, 1);
    state.counters["triangles"] = triangles;
    if (withLinesAndPoints) {
        state.counters["lines"] = static_cast<double>(lines + lp.lines.size() / (2 * kVertex));
        state.counters["points"] = static_cast<double>(lp.points.size() / kVertex);
    }
}

// Registered by name so the scene reads as a word.
const bool fullFramesRegistered = [] {
    const char* sceneNames[2] = {"typical", "crowded"};
    for (int s = 0; s < 2; ++s)
        for (int detail : {0, 4, 8}) {
            const std::string suffix =
                "/detail:" + std::to_string(detail) + "/scene:" + sceneNames[s];
            benchmark::RegisterBenchmark(("BM_FullFrame" + suffix).c_str(), fullFrame, detail,
                                         static_cast<Scene>(s))
                ->Unit(benchmark::kMillisecond);
            benchmark::RegisterBenchmark(("BM_FullFrameRawTriangles" + suffix).c_str(),
                                         fullFrameRaw, detail, static_cast<Scene>(s), false)
                ->Unit(benchmark::kMillisecond);
            benchmark::RegisterBenchmark(("BM_FullFrameRawPrimitives" + suffix).c_str(),
                                         fullFrameRaw, detail, static_cast<Scene>(s), true)
                ->Unit(benchmark::kMillisecond);
        }
    return true;
}();

}  // namespace

// A replay's seek: the body at an instant of a 30-minute recording found,
// decoded and applied, and its frame drawn (the scene and the HUD) from the
// recorded player's eyes. Goal: within 100 ms.
static void BM_ReplaySeekFrame(benchmark::State& state) {
    RecordingReader& r = thirtyMinuteRecording();
    if (!openBenchWindow(state)) return;
    emptyLevel();
    options.texturesOn = true;
    options.lightingOn = true;
    uint32_t t = 0;
    for (auto _ : state) {
        t = (t + 7'777'777) % (30 * 60 * 1000);
        StateSnapshot s;
        if (!seekRecording(r, t) || !parseStateSnapshot(r.body, s)) {
            state.SkipWithError("seek failed");
            break;
        }
        applySnapshot(s);
        // beginFrame puts the fighter at the reference viewpoint: keep its own.
        const Fighter f = gs.fighterList[process.localFighterIndex];
        beginFrame();
        view.cameraEye = f.pos;
        view.cameraDir = f.dir;
        glLoadIdentity();
        gluLookAt(f.pos.x, f.pos.y, f.pos.z, f.pos.x + f.dir.x, f.pos.y + f.dir.y, f.pos.z + f.dir.z, 0.0, 0.0, 1.0);
        drawScene(gs);
        drawHud(gs);
        endFrame();
    }
}
BENCHMARK(BM_ReplaySeekFrame)->Unit(benchmark::kMillisecond);
