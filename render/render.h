// render.h -- everything drawn with GL: the scene frame, the maze and its
// textures, models, objects, effects and the HUD; and the GL-free pieces the
// drawing rests on (the SGI image reader and writer, the choice of lights,
// the visibility pass), which build into the rules library.
//
// Every function here needs a current GL context (the game window or a test
// window) unless it says "GL-free". This header includes no GL header, so the
// rules library and its tests can include it.
//
// Drawing only reads the world: the frame's functions take it as a
// `const GameState&` and write only the renderer's own state (the view
// below, the glow ball and the flame, the model lists' counts) and the
// effects' (the explosions' animation and the effects' generator, through
// world/effects.cpp), so a frame drawn or not never changes the world's
// course.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "world/world.h"

// The view of one frame. Lifetime: the process; the shell sets the camera
// each frame and the window fields on reshape; the maze drawing rewrites
// cellVisible at the start of every frame, the light choice lightDistance
// and lightChosen.
struct ViewState {
    float fieldOfView = 90.0f;         // vertical, degrees
    bool helpShown = false;            // F1: the keys and menu entries over the view
    int windowWidth = 640;             // pixels, as the last reshape said
    int windowHeight = 480;
    float viewConeCos = 0.70710677f;   // cos of half the horizontal view angle
    Vec3 cameraEye;                    // the local fighter's position
    Vec3 cameraDir;                    // and its heading
    uint8_t cellVisible[kMaxMazeSize][kMaxMazeSize] = {};  // [row][column]; 1 = drawn this frame
    int trianglesDrawn = 0;            // by the last drawMaze (for measurements)
    int modelTriangles = 0;            // of the model lists the last drawScene called
    // Per map light, in the level's order, while more than eight compete:
    // squared ground distance to the eye (world units squared), and 1 for
    // the lights used this frame.
    std::vector<float> lightDistance;
    std::vector<uint8_t> lightChosen;
    // An explosion's flash lights this frame (GL light 1, from setupLights
    // until the end of drawScene).
    bool flashOn = false;
};
extern ViewState view;

// ---------------------------------------------------------------------------
// Fixed names and constants of the maze drawing
// ---------------------------------------------------------------------------

constexpr int kMaxSceneLights = 8;         // GL lights 0..7
constexpr float kSpotCutoff = 80.0f;       // degrees, lights in slots 0..3
constexpr float kCrosshairDistance = 0.2f; // ahead of the fighter, world units
constexpr float kCrosshairHalfSize = 0.005f;
constexpr int kFaceSubdivisions = 10;      // quads along each edge of a face list

// Display lists with fixed numbers, built before any glGenLists call.
constexpr int kWallFaceList = 1;           // 1..4: untextured wall, side 0..3
constexpr int kFloorList = 22;
constexpr int kCeilingList = 23;
constexpr int kTexturedWallFaceList = 41;  // 41..44: textured wall, side 0..3
constexpr int kTexturedFloorList = 45;
constexpr int kLampList = 51;              // reserved for the lamp model

enum SurfaceMaterial : int { WallMaterial = 0, SkyMaterial = 1, FloorMaterial = 2 };
enum FacePlane : int { PlaneX = 0, PlaneY = 1, PlaneZ = 2 };  // the plane's fixed axis
enum MazeTextureSlot : int { WallTexture = 0, FloorTexture = 1, SkyTexture = 2, LitWallTexture = 3 };

// Texture image files, in slot order, read from the working directory.
constexpr const char* kTextureFileNames[4] = {"wall.rgb", "floor.rgb", "Clouds.rgb", "wall1.rgb"};

// GL texture names of the four slots (0 until loadTextures ran).
extern unsigned int mazeTextures[4];

// Call right after glutInit. In a build under LeakSanitizer, the leak check
// at the process's end then runs before freeglut's exit handler unloads the
// GL driver (see leak_check.cpp); elsewhere it does nothing. GL-free.
void checkLeaksBeforeToolkitExit();

// ---------------------------------------------------------------------------
// SGI images (GL-free)
// ---------------------------------------------------------------------------

constexpr int kSgiHeaderSize = 512;
// Largest picture the reader accepts (64 MiB of RGBA): a 600-byte run-length
// file can otherwise claim 65535 x 65535 pixels.
constexpr int64_t kMaxSgiPixels = 4096 * 4096;
// Largest SGI file read (132 MiB): the header, both run-length tables of the
// tallest picture (65535 lines of 4 channels, 4 bytes each per table) and the
// largest picture at the format's widest, 4 channels of 2 bytes, with 1/64
// more for the run-length packets' count bytes. A larger file is refused
// before it is read into memory.
constexpr int64_t kMaxSgiFileSize =
    kSgiHeaderSize + 2 * 65535LL * 4 * 4 + kMaxSgiPixels * 4 * 2 * 65 / 64;

// A decoded picture: width * height pixels of R, G, B, A, bottom row first,
// as glTexImage2D takes them.
struct SgiImage {
    int width = 0;
    int height = 0;
    int channels = 0;            // as the file declares them
    std::vector<uint8_t> rgba;
};

// GL-free. Decodes an SGI image (verbatim or run-length, 8-bit channels)
// held in memory. On success fills `out` and returns true; a truncated or
// inconsistent image returns false, leaves `out` alone and says why in
// `error`. Never reads outside data[0, size).
bool decodeSgiImage(const uint8_t* data, size_t size, SgiImage& out, std::string& error);

// GL-free. Encodes width * height pixels of `channels` (1..4) interleaved
// bytes each, bottom row first, as an SGI file, run-length or verbatim.
// Returns an empty vector when the sizes are out of range or pixels is short.
std::vector<uint8_t> encodeSgiImage(int width, int height, int channels,
                                    const std::vector<uint8_t>& pixels, bool runLength);

// GL-free. The game's reader: reads the file and returns its RGBA bytes,
// setting width, height and channels. A file that cannot be opened, or that
// holds more than kMaxSgiFileSize bytes, is missing: it sets `missing` (the
// game ends) after one line naming it and the reason on standard error; one
// that fails to read or is corrupt is refused with such a line. Either way
// the result is empty with zero sizes.
std::vector<uint8_t> readSgiImage(const char* fileName, int& width, int& height, int& channels,
                                  bool& missing);

// ---------------------------------------------------------------------------
// Model meshes (GL-free format; the lists are built in models.cpp)
// ---------------------------------------------------------------------------

// One triangle mesh with a normal per corner. Faces hold nine indices each:
// vertex of corners 1..3, normal of corners 1..3, three unused. A decoded
// mesh is always consistent: every index lies inside its array.
struct Mesh {
    std::vector<float> vertices;   // x, y, z per vertex, model units
    std::vector<float> normals;    // x, y, z per normal, as stored
    std::vector<int32_t> faces;    // 9 per face
    int indexWidth = 16;           // 8 or 16: how the file stored the indices
};

// Mesh files in the data folder: fighter parts, the lamp, and the prey's
// six distinct parts at six levels ("prey<part>_<level>.msh").
constexpr const char* kFighterMeshFiles[6] = {"fighter0.msh", "fighter1.msh", "fighter2.msh",
                                              "fighter3.msh", "fighter4.msh", "fighter5.msh"};
constexpr const char* kLampMeshFile = "lamp.msh";
constexpr int kPreyMeshParts = 6;
constexpr int kPreyMeshLevels = 6;

// GL-free. Decodes a mesh file held in memory. On success fills `out` and
// returns true; a truncated or inconsistent file (counts that disagree with
// its length, an index outside its arrays, a negative 16-bit index, a
// non-finite number) returns false, leaves `out` alone and says why in
// `error`. Never reads outside data[0, size).
bool decodeMesh(const uint8_t* data, size_t size, Mesh& out, std::string& error);

// GL-free. Encodes a mesh with 8-bit indices when every vertex and normal
// index fits in 0..255 and force16 is false, else with signed 16-bit ones.
std::vector<uint8_t> encodeMesh(const Mesh& mesh, bool force16 = false);

// Largest mesh file read: 16-bit indices reach at most 32768 vertices and
// normals (786 KB together), which leaves room for 3.6 million triangles,
// hundreds of times the game's largest model. A larger file is refused before
// it is read into memory.
constexpr int64_t kMaxMeshFileSize = 64LL * 1024 * 1024;

// GL-free. Reads and decodes one mesh file; on failure (a missing, unreadable,
// oversized or corrupt file) writes one line naming the file and the reason
// to standard error and returns false with `out` empty (that model is then
// not drawn).
bool readMeshFile(const char* fileName, Mesh& out);

// ---------------------------------------------------------------------------
// Display lists of the models and their levels of detail
// ---------------------------------------------------------------------------

constexpr int kDetailLevels = 9;           // detailLevel 0 (most detailed) .. 8
constexpr int kFighterParts = 6;
constexpr int kPreyParts = 10;             // part k is placed by pose joint k
constexpr int kPreyMeshTurnedPart = 4;     // the one mesh turned -90 degrees about y

// Scales of the fighter meshes F0..F5 and of the six distinct prey meshes,
// applied inside each part's list.
constexpr float kFighterPartScales[kFighterParts] = {3.0f, 2.94f, 0.7f, 0.85f, 3.0f, 3.0f};
constexpr float kPreyPartScales[kPreyMeshParts] = {1.6f, 5.7f, 1.2f, 1.29f, 4.0f, 2.34f};

// List names per level and part (0 until buildModels ran). Every fighter
// level holds the same six names; prey levels 6..8 repeat level 0, and prey
// parts 6..9 repeat parts 2..5.
extern int fighterPartLists[kDetailLevels][kFighterParts];
extern int preyPartLists[kDetailLevels][kPreyParts];

// GL-free. A detail level safe to index the tables with: values outside
// 0..8 are clamped into it.
int clampDetailLevel(int level);

// GL-free. The prey mesh level drawn at a detail level: the level itself for
// 0..5, level 0 for 6..8 (levels outside 0..8 are clamped first).
int preyMeshLevel(int detailLevel);

// GL-free. The file name of prey mesh `part` (0..5) at mesh `level` (0..5):
// "prey<part>_<level>.msh".
std::string preyMeshFileName(int part, int level);

// The model meshes of the game, read from the data folder. A mesh that is
// missing or refused stays empty, and its lists draw nothing.
struct ModelMeshes {
    Mesh fighter[kFighterParts];
    Mesh lamp;
    Mesh prey[kPreyMeshParts][kPreyMeshLevels];  // [part][level]
};

// Reads every model mesh from the working directory (one line on standard
// error for each file missing or refused).
void readModelMeshes(ModelMeshes& meshes);

// One display list from a mesh: a glGenLists name holding, between a matrix
// push and pop, the turn (-90 degrees about y when `turned`), the uniform
// scale and the mesh's triangles with a normal per corner. An empty mesh
// gives a list that draws nothing. Returns the name.
int buildMeshList(const Mesh& mesh, float scale, bool turned);

// The lamp, list kLampList, at its model size (no scale, no matrix change).
void buildLampList(const Mesh& lamp);

// The six fighter lists with their scales into level 0, copied to 1..8.
void buildFighterLists(const Mesh parts[kFighterParts], int table[kDetailLevels][kFighterParts]);

// The 36 prey part lists (six meshes at six levels, part 4 turned) into
// levels 0..5 with parts 6..9 repeating 2..5; levels 6..8 repeat level 0.
void buildPreyPartLists(const Mesh meshes[kPreyMeshParts][kPreyMeshLevels],
                        int table[kDetailLevels][kPreyParts]);

// Every model list from meshes already in memory, in start-up order: lamp,
// prey parts, fighter parts, then the flame and the glow ball. buildModels
// does this with the meshes of the data folder.
void buildModelLists(const ModelMeshes& meshes);

// Where and how a model list was drawn, for measurements: the modelview
// matrix at the call (column-major, as GL keeps it) and the list name.
struct ModelListCall {
    float matrix[16];
    int list = 0;
};

// Calls one model list; adds its triangles to view.modelTriangles and notes
// the call while a measurement records (below).
void callModelList(int list);

// While `sink` is not null, every model list the object drawing calls is
// also noted there (measurements rebuild a frame's triangles from it).
void recordModelListCalls(std::vector<ModelListCall>* sink);

// The mesh, scale and turn a model list was built from (null mesh for a
// name that is not a model list). The mesh is the one given to the builder:
// meshes built from memory must outlive the use of this answer.
struct ModelListSource {
    const Mesh* mesh = nullptr;
    float scale = 1.0f;
    bool turned = false;
};
ModelListSource modelListSource(int list);

// GL-free. Triangles of a mesh (its faces).
int meshTriangleCount(const Mesh& mesh);

// ---------------------------------------------------------------------------
// Object drawing
// ---------------------------------------------------------------------------

// A material of the models: specular, ambient, diffuse (RGB), shininess.
struct ModelMaterial {
    float specular[3];
    float ambient[3];
    float diffuse[3];
    float shininess;
};
constexpr ModelMaterial kFighterHullMaterial = {{0.84f, 0.72f, 0.72f}, {0.0f, 0.0f, 0.0f}, {0.79f, 0.78f, 0.775f}, 128.0f};
constexpr ModelMaterial kFighterHeadMaterial = {{0.68f, 0.875f, 0.922f}, {0.0f, 0.0f, 0.0f}, {0.937f, 0.942f, 0.997f}, 128.0f};
constexpr ModelMaterial kFighterGunMaterial = {{0.0f, 0.0f, 0.0f}, {0.0f, 0.0f, 0.168f}, {0.318f, 0.318f, 0.594f}, 128.0f};
constexpr ModelMaterial kMissileMaterial = {{0.997f, 0.997f, 0.997f}, {0.895f, 0.105f, 0.105f}, {0.997f, 0.0f, 0.0f}, 128.0f};
constexpr ModelMaterial kPreyMaterial = {{0.9f, 0.9f, 0.9f}, {0.5f, 0.5f, 0.5f}, {0.5f, 0.5f, 0.5f}, 121.6f};
constexpr ModelMaterial kLampMaterial = {{0.55f, 0.36f, 0.2f}, {0.44f, 0.26f, 0.2f}, {0.57f, 0.32f, 0.2f}, 128.0f};

// Missile racks: two racks of 3 rows x 5 places, of which 13 per rack exist.
constexpr int kRackRows = 3;
constexpr int kRackPlaces = 5;
constexpr uint8_t kRackPattern[kRackRows][kRackPlaces] = {
    {1, 1, 1, 1, 0}, {1, 1, 1, 1, 1}, {1, 1, 1, 1, 0}};

// GL-free. Which rack places show a missile for `missiles` missiles left:
// existing places filled in reading order, first rack first. Returns the
// number shown (0..26; negative counts show none).
int fillMissileRacks(int missiles, bool filled[2][kRackRows][kRackPlaces]);

// GL-free. The lamp's turn about z in degrees for a light on `side`
// (0..3); any other side faces the viewer's heading `viewerHeading`.
float lampTurnDegrees(int side, float viewerHeading);

// GL-free. True when a prey at `preyPos` stands so close to a fighter in
// play (1.2 x ground distance < half the sum of the world's x extents) that
// it is not drawn this frame.
bool preyCollidesWithFighter(const GameState& world, Vec3 preyPos, const Fighter& f);

// Step 3 of the scene: the other players' fighters, the prey in visible
// cells (with the collision warning), the bullets' glow balls turned to the
// viewer, and a lamp with its flame at every map light (the flame steps once
// per lamp). Lighting on at entry and at exit.
void drawObjects(const GameState& world);

// One fighter at its place and heading, with its missile racks, from the
// lists of `detailLevel` (clamped to 0..8).
void drawFighter(const Fighter& f, int detailLevel);

// One prey in the pose it shows, upper body turned by bodyTurn, from the
// lists of `detailLevel` (clamped to 0..8).
void drawPrey(const Prey& q, int detailLevel);

// Whether drawObjects leaves out the drawing of fighters, bullets and lamps that lie
// wholly outside the view (the flame still advances for every lamp); on by
// default. The cells the maze marks visible are no safe guide for them: a
// fighter can show through a gap into cells the marking left out.
extern bool skipHiddenObjects;

// GL-free. True when the sphere at `centre` of `radius` lies wholly outside
// the frame's view (the camera at view.cameraEye looking along
// view.cameraDir, fieldOfView vertical, the window's aspect, near plane 0.1).
// A zero view direction hides nothing.
bool sphereOutsideView(Vec3 centre, float radius);

// ---------------------------------------------------------------------------
// Effects
// ---------------------------------------------------------------------------

constexpr int kGlowShells = 20;
constexpr int kFlameParticles = 100;
constexpr int kFlameTrail = 10;

struct GlowShell {
    Vec3 offset;
    float radius = 0.0f;
    float colour[4] = {};
};

struct GlowBall {
    float size = 0.1f;
    GlowShell shells[kGlowShells];
    float innerColour[4] = {1.0f, 0.8f, 0.4f, 1.0f};
    float outerColour[4] = {1.0f, 0.0f, 0.0f, 0.0f};
};

struct FlameParticle {
    Vec3 pos;             // relative to the flame's origin
    Vec3 dir;             // unit direction
    float speed[3] = {};  // per-axis factor
    float unused[3] = {};
    float colour[4] = {}; // red, green, blue, alpha
};

struct FlameSystem {
    float spread[3] = {0.1f, 0.1f, 0.4f};  // birth disc radius, aim disc radius, aim height
    FlameParticle previous[kFlameParticles];
    FlameParticle trail[kFlameParticles][kFlameTrail];  // [particle][age]
};

// The one glow ball and the one flame system of the process.
extern GlowBall glowBall;
extern FlameSystem flame;

// The random fractions of the glow ball and the flame come from the effects'
// generator (effectRandomFraction), in the order given.

// GL-free. Fills `ball`: twenty shells, three random fractions each for the
// offset; colour and alpha from the radius.
void makeGlowBall(GlowBall& ball);

// GL-free. A new newborn row (age 0) of `fs`, seven random fractions per
// particle in the order birth radius, birth angle, aim radius, aim angle,
// speed x, y, z.
void birthFlameRow(FlameSystem& fs);

// GL-free. The alpha of a flame particle at `pos` with one random fraction
// `fraction`: opaque near the axis and low, fading with height and distance.
float flameAlpha(Vec3 pos, const float spread[3], float fraction);

// GL-free. One particle one age further along its path (draws one fraction).
FlameParticle advanceFlameParticle(const FlameParticle& p, const float spread[3]);

// GL-free. Start-up of the flame: spread, a newborn row copied to every age.
void setupFlame();

// GL-free. One animation step of the shared flame.
void stepFlame();

// Start-up: fills glowBall and compiles its drawing into one list.
void setupGlowBall();

// The glow ball at the origin of the current frame (lighting already off).
void drawGlowBall();

// The flame's points in the current frame, blended.
void drawFlame();

// GL-free. The emission of an explosion's flash at its current frame: true
// with (e, e, e) while frame < lifetime / 2, e = 1 / (frame + 1) up to frame
// 2 and (0.8, 0.1, 0.1) after; false (no flash) from lifetime / 2 on.
bool explosionFlash(const Explosion& e, float emission[3]);

// Step 5 of the scene: the frame's turn of the explosions' animation
// (advanceDrawnExplosions), each explosion of type 1 drawn by drawExplosion
// between the motion of its pieces and the count of the drawing, others
// reported.
void drawExplosions();

// An explosion as it stands: the flash while young, each piece tumbled to a
// new attitude (four fractions of the effects' generator per piece) and
// drawn as a box; `frozen` (a paused world) holds each piece in an attitude
// of its own and draws nothing at random. Another type is only reported.
void drawExplosion(const Explosion& e, bool frozen);

// A closed box of edge lengths sx, sy, sz centred on the origin.
void drawBox(float sx, float sy, float sz);

// A 3x3 turn, m[row][column], applied to column vectors; none by default.
struct Turn3 {
    float m[3][3] = {{1.0f, 0.0f, 0.0f}, {0.0f, 1.0f, 0.0f}, {0.0f, 0.0f, 1.0f}};
};

// GL-free. The turn glRotatef(degrees, x, y, z) makes: counter-clockwise
// about the axis (x, y, z), normalised here; an axis shorter than 1e-4
// turns nothing, as GL's does.
Turn3 axisTurn(float degrees, float x, float y, float z);

// GL-free. `v` turned by `t`.
Vec3 applyTurn(const Turn3& t, Vec3 v);

// GL-free. The sixteen triangles of the box drawBox draws, in its drawing
// order: four quarter turns about z, each a side as two triangles, then a
// quarter of the top and one of the bottom. One normal per triangle.
struct BoxTriangles {
    Vec3 corners[48];
    Vec3 normals[16];
};
void makeBoxTriangles(float sx, float sy, float sz, BoxTriangles& out);

// ---------------------------------------------------------------------------
// Scene frame
// ---------------------------------------------------------------------------

// GL-free. The map lights of this frame, as indices into maze.lights:
// all of them in file order when there are at most eight, else the eight
// nearest to cameraEye in the ground plane (ties to the lower index),
// nearest first, noted in view.lightDistance and view.lightChosen. Returns
// the count.
int chooseSceneLights(const GameState& world, int chosen[kMaxSceneLights]);

// Lighting state of the frame: the default directional light while
// lightingOn is false, else the chosen map lights in GL lights 0..7; then,
// while an explosion flashes, the flash of the one nearest the eye on GL
// light 1 (its glow tinted warm, fading with distance; view.flashOn), which
// drawScene hands back with GL's default colour and reach at its end.
void setupLights(const GameState& world);

// A small white cross 0.2 units ahead of the local fighter, unlit.
void drawCrosshair(const GameState& world);

// Draws the 3-D scene of one frame, with the camera already on the
// modelview matrix: lights, maze, objects, crosshair, explosions. The
// objects and the explosions are drawn with two dim fill lights from above
// the viewer (GL lights 6 and 7) added, and every light state as before
// after them.
// Reads the world only; advances the flame and the explosions' animation
// (which notes for the next idle pass that a frame advanced them).
void drawScene(const GameState& world);

// ---------------------------------------------------------------------------
// Maze drawing
// ---------------------------------------------------------------------------

// Start-up, after the window exists: reads the four texture files from the
// working directory into mazeTextures. False, at the first missing one (the
// game ends), after its line on the error stream.
bool loadTextures();

// Start-up, after the map is read: builds every display list, the fixed
// maze lists first.
void buildModels();

// Start-up, before the first frame: freed heap memory stays in the process,
// so the software renderer's per-draw buffers reuse pages already mapped.
void keepHeapForFrames();

// The eleven fixed-number face lists of one cell, from cellSize and wallHeight.
void buildMazeLists();

// One face list: material and colour, then a 10 x 10 grid of quads on the
// plane `plane` = offset, width along its first free axis and height along
// the second, one normal; textured lists carry one copy of the texture.
void makeFaceList(SurfaceMaterial material, int listNumber, FacePlane plane, float offset,
                  float width, float height, float nx, float ny, float nz, bool textured);

// glMaterialfv on the front faces: specular, shininess, ambient, diffuse
// (RGB arrays; alpha 1).
void setMaterial(const float specular[3], const float ambient[3], const float diffuse[3],
                 float shininess);

// GL-free. Rewrites view.cellVisible from the camera and the world's grid:
// the 3 x 3 block around the camera's cell, and every cell with a corner
// inside the widened view cone that a march from the eye reaches without
// meeting a wall. Reads no cell outside the map, wherever the camera is.
void markVisibleCells(const GameState& world);

// The maze of one frame: visibility pass, walls (camera-facing, unhidden
// faces; the lit-wall texture where a map light hangs), floors, sky.
void drawMaze(const GameState& world);

// ---------------------------------------------------------------------------
// HUD
// ---------------------------------------------------------------------------

// Draws the head-up display over the scene from the world's HUD fields in a
// pixel projection of the whole window (at least 1 x 1): the cockpit frame,
// "Health: " with the gauge, the overview map, score, bullets and the
// message (while paused and no message is up: "Game paused"); with showMap
// also the large map. Leaves the projection orthographic and lighting enabled.
void drawHud(const GameState& world);

// The view's opening inside the cockpit frame of a w x h window, in window
// pixels (origin at the lower left).
struct ViewOpening {
    float x0, y0, x1, y1;
};
ViewOpening viewOpening(float w, float h);

// The panel of the help and the scoreboard: `height` pixels down from the
// top of opening o (no lower than its bottom), inset by 4% of it, filled in a
// dark blue of opacity `alpha` over the view; flat drawing (no lighting,
// texture or depth) stays set. Returns the panel's corners.
ViewOpening drawTopPanel(const ViewOpening& o, float height, float alpha);

// The scoreboard (buildScoreboard) on a translucent panel over the view's
// opening, the local player's row on a blue bar, in text that grows with the
// window; drawHud draws it while scoreboardShown.
void drawScoreboard(const GameState& world, float width, float height);

// The event feed's lines (hud.feed) above the message line, oldest on top,
// each while it is younger than kFeedShowMs.
void drawEventFeed(float width, float height);

// While the local fighter is protected after a respawn: a cyan band along
// the view's edge, so its player knows.
void drawProtectionEdge(float width, float height);

// The keys and the menu's entries (render/help.h) on a dark panel over the
// view's opening, in text that grows with the window; drawHud draws it last
// while view.helpShown.
void drawHelpPanel(float width, float height);

// Start-up, once the window's context is current and before the first
// frame: captures the glyphs of the HUD's fonts (Helvetica 10, 12 and 18,
// Times 24) into one texture, drawing over the back buffer. False when they
// could not be read back; drawBitmapText then draws with the toolkit's calls.
bool buildHudText();

// The largest whole-pixel zoom of a glyph.
constexpr int kMaxTextZoom = 4;

// Sets the raster position to (x, y) and draws `text` from it: the same
// pixels, colour and depth as glutBitmapCharacter for each character, in
// one batch for the fonts buildHudText captured. The viewport is the window.
// With `zoom` > 1 (up to kMaxTextZoom) every pixel of a captured glyph is a
// zoom x zoom block and the text advances zoom times as far; the toolkit's
// own drawing (fonts not captured) ignores it.
void drawBitmapText(float x, float y, void* font, const char* text, int zoom = 1);

// A size of the HUD's text: a toolkit font, its zoom and its height in pixels.
struct HudFont {
    void* font;
    int zoom;
    int pixels;
};

// The text size for text of `basePixels` (18 the labels, 10 the message
// line) in a 640 x 480 window, in a window `scale` times as large: steps of
// 10, 12, 18 and 24 pixels, then zoomed fonts of 36, 48, 54 and 72, the
// largest not more than a tenth above basePixels * scale, and never below
// basePixels.
HudFont hudFont(int basePixels, float scale);

// drawBitmapText in a HudFont.
void drawHudText(float x, float y, HudFont f, const char* text);

// The HUD's scale: 1 in a 640 x 480 window, growing with the height, but no
// more than the width allows (the panel is a fifth of it), and not below 1/2.
float hudScale(float width, float height);

// The cockpit frame of a w x h window: a grey frame with a teal band along
// its inner edge, rounded inner corners, the right fifth a solid panel.
void drawHudFrame(float w, float h);

// One pass of the frame, in window pixels, about the centre (cx, cy):
// thickness t (the bottom bar t + 0.1 cy), panel of fraction f of the half
// width, inner corners of radius r as fans of n steps of `step` radians.
void drawFrame(float cx, float cy, float t, float f, float r, float step, int n);

// The health gauge about the current origin: the needle at angle
// (1 - fraction) * pi (right at 1, up at 0.5, left at 0, below the horizontal
// outside 0..1; none for a fraction that is not a number), the upper half
// dial of `radius` pixels and, withHub, a hub blinking red / green each
// second of `clockMs` (the game's clock, ms within the minute).
void drawHealthGauge(float radius, float fraction, bool withHub, int32_t clockMs);

// The overview map about the current origin, one pixel per world unit: the
// player's green square, the cells whose lower-left corner lies within 60
// units on both axes (walls yellow, floor grey), the prey within 60 units as
// red dots. Reads only cells inside the table and the map.
void drawOverviewMap(const GameState& world, const Fighter& f);

// The whole level scaled to fit the view's opening of a w x h window, over
// the 3-D view: walls, every prey (red), every other fighter in play (blue)
// and the local fighter (green, with its heading). Nothing for an empty map.
void drawLargeMap(const GameState& world, float w, float h);
