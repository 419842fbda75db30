// render.h -- everything drawn with GL: the scene frame, the maze and its
// textures, models, objects, effects and the HUD; and the GL-free pieces the
// drawing rests on (the SGI image reader and writer, the choice of lights,
// the visibility pass), which build into the rules library.
//
// Every function here needs a current GL context (the game window or a test
// window) unless it says "GL-free". This header includes no GL header, so the
// rules library and its tests can include it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "world/world.h"

// The view of one frame. Lifetime: the process; the shell sets the camera
// each frame and the window fields on reshape; the maze drawing rewrites
// cellVisible at the start of every frame.
struct ViewState {
    float fieldOfView = 90.0f;         // vertical, degrees
    int windowWidth = 640;             // pixels, as the last reshape said
    int windowHeight = 480;
    float viewConeCos = 0.70710677f;   // cos of half the horizontal view angle
    Vec3 cameraEye;                    // the local fighter's position
    Vec3 cameraDir;                    // and its heading
    uint8_t cellVisible[kMaxMazeSize][kMaxMazeSize] = {};  // [row][column]; 1 = drawn this frame
    int trianglesDrawn = 0;            // by the last drawMaze (for measurements)
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

// ---------------------------------------------------------------------------
// SGI images (GL-free)
// ---------------------------------------------------------------------------

constexpr int kSgiHeaderSize = 512;
// Largest picture the reader accepts (64 MiB of RGBA): a 600-byte run-length
// file can otherwise claim 65535 x 65535 pixels.
constexpr int64_t kMaxSgiPixels = 4096 * 4096;

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
// setting width, height and channels. A file that cannot be opened ends the
// process with status 1 after "<name>: <system error>" on standard error; a
// corrupt one is refused with "<name>: <reason>" on standard error and comes
// back empty with zero sizes.
std::vector<uint8_t> readSgiImage(const char* fileName, int& width, int& height, int& channels);

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

// GL-free. Reads and decodes one mesh file; on failure writes one line
// naming the file and the reason to standard error and returns false with
// `out` empty (that model is then not drawn).
bool readMeshFile(const char* fileName, Mesh& out);

// ---------------------------------------------------------------------------
// Scene frame
// ---------------------------------------------------------------------------

// GL-free. The map lights of this frame, as indices into mazeLights: all of
// them in file order when there are at most eight, else the eight nearest to
// cameraEye in the ground plane (ties to the lower index), nearest first;
// then writes every light's distance and chosen. Returns the count.
int chooseSceneLights(int chosen[kMaxSceneLights]);

// Lighting state of the frame: the default directional light while
// lightingOn is false, else the chosen map lights in GL lights 0..7.
void setupLights();

// A small white cross 0.2 units ahead of the local fighter, unlit.
void drawCrosshair();

// Draws the 3-D scene of one frame, with the camera already on the
// modelview matrix: lights, maze, crosshair.
void drawScene();

// ---------------------------------------------------------------------------
// Maze drawing
// ---------------------------------------------------------------------------

// Start-up, after the window exists: reads the four texture files from the
// working directory into mazeTextures (ends the process with status 1 when
// one is missing).
void loadTextures();

// Start-up, after the map is read: builds every display list, the fixed
// maze lists first.
void buildModels();

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

// GL-free. Rewrites view.cellVisible from the camera and the grid: the 3 x 3
// block around the camera's cell, and every cell with a corner inside the
// widened view cone that a march from the eye reaches without meeting a
// wall. Reads no cell outside the map, wherever the camera is.
void markVisibleCells();

// The maze of one frame: visibility pass, walls (camera-facing, unhidden
// faces; the lit-wall texture where a map light hangs), floors, sky.
void drawMaze();

// ---------------------------------------------------------------------------
// HUD
// ---------------------------------------------------------------------------

// Draws the head-up display over the scene from the HUD fields of gs in a
// pixel projection of the whole window (at least 1 x 1): the cockpit frame,
// "Health: " with the gauge, the overview map, score, bullets and the
// message (while paused and no message is up: "Game paused"); with showMap
// also the large map. Leaves the projection orthographic and lighting enabled.
void drawHud();

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
// dial of `radius` pixels and, withHub, a hub blinking red / green each second.
void drawHealthGauge(float radius, float fraction, bool withHub);

// The overview map about the current origin, one pixel per world unit: the
// player's green square, the cells whose lower-left corner lies within 60
// units on both axes (walls yellow, floor grey), the prey within 60 units as
// red dots. Reads only cells inside the table and the map.
void drawOverviewMap(const Fighter& f);

// The whole level scaled to fit the view's opening of a w x h window, over
// the 3-D view: walls, every prey (red), every other fighter in play (blue)
// and the local fighter (green, with its heading). Nothing for an empty map.
void drawLargeMap(float w, float h);
