// shell.h -- the game's spine: start-up, the window callbacks, the keyboard
// routing and the menus. Only this folder and render/ talk to GLUT; the menu
// choices (shell/portable) are GL-free and live in the rules library.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "world/world.h"

// Start-up body of the world, once, after the window exists and the level
// was loaded (loadLevel): seeds the generator, reads the clock, the
// textures and models, and creates the fighters (all Absent). Returns
// GameEnd::MissingFile, having stopped there, when a texture file is
// missing; else GameEnd::Playing.
GameEnd initialiseWorld();

// GLUT callbacks. idle: the pacer's wait, then the server or client passes
// that are due, each followed by the message line's expiry. display: one
// frame, which only reads the world. reshape: the window's new size.
void idle();
void display();
void reshape(int width, int height);
void onKeyDown(unsigned char key, int x, int y);
void onKeyUp(unsigned char key, int x, int y);
void onSpecialKey(int key, int x, int y);
// Mouse look: a left click captures the pointer (hidden, kept at the
// window's centre), Escape frees it; while captured, sideways motion turns
// the fighter, kMouseDegreesPerPixel a pixel. The right button stays the menu's.
constexpr float kMouseDegreesPerPixel = 0.15f;
void onMouseButton(int button, int state, int x, int y);
void onMouseMotion(int x, int y);
// True (and the pointer freed) when Escape freed a captured pointer.
bool releasePointerOnEscape(int key);

// Opens the frame trace (--frame-trace): one line a drawn frame. False, with
// a line on the error stream, when the file cannot be written.
bool openFrameTrace(const char* path);

// Routes one key event: L, T, Q and q act in this process; on the server the
// rest goes to fighter 0, on a client to the server. Returns what
// fighterKeyAction returns (GameEnd::QuitAsked once a quit was asked for).
GameEnd dispatchKey(int key, bool released, bool special);

// GameEnd::NoLocalFighter, after a line on the error stream, when the
// fighter this process shows does not exist (a level without enough
// starts); else GameEnd::Playing.
GameEnd checkLocalFighter();

// The one way out of the windowed game: with a reason, ends the process
// with endOfGame's last words and status; with GameEnd::Playing, returns.
// Only the GLUT callbacks call it (main returns endOfGame's status instead).
void endProcessIf(GameEnd why);

// How long a message stays on the HUD, ms.
constexpr int32_t kMessageShowMs = 4000;

// ---------------------------------------------------------------------------
// Menus (right mouse button)
// ---------------------------------------------------------------------------

// Values of the main menu's entries; "Levels of Detail" is a submenu.
enum MainMenuValue : int {
    MenuStartGame = 1,
    MenuPauseGame = 2,
    MenuToggleMap = 3,
    MenuToggleTexture = 4,
    MenuToggleLight = 5,
    MenuToggleSound = 6,
    MenuToggleRespawn = 7,
    MenuQuit = 8,
};
// The detail submenu's values run 1 (most detailed) .. 9.
constexpr int kDetailMenuEntries = 9;
// The volume submenu's values run 1 .. 4: Music Louder, Music Softer,
// Effects Louder, Effects Softer (VolumeControl's order, plus one).
constexpr int kVolumeMenuEntries = 4;

// Creates the detail and volume submenus and the main menu and attaches the
// main menu to the right mouse button. Once, after the callbacks are registered.
void buildMenus();
// GLUT callbacks of the menus: chooseMainMenu / chooseDetailMenu /
// chooseVolumeMenu.
void onMainMenu(int value);
void onDetailMenu(int value);
void onVolumeMenu(int value);

// GL-free. A new game: resetGame, the fighters of connected clients back in
// play, gameStarted set, a pause lifted ("Game resumed"). Start-up calls it
// too, so Pause and Map work from the first frame.
void startGame();
// GL-free. The effect of a main-menu value: Start game (server only; a client
// is told so in messageLine), the option toggles, Quit (quitRequested, acted
// on at the next key event). Other values do nothing.
void chooseMainMenu(int value);
// GL-free. Detail value 1..9 sets detailLevel to value - 1; any other value
// writes "error: invalid lod select mode." and changes nothing.
void chooseDetailMenu(int value);

// ---------------------------------------------------------------------------
// The player's saved settings and fullscreen
// ---------------------------------------------------------------------------

// Before the window exists: reads the settings file (settingsPath()) and
// returns what it holds (the defaults when there is none, or it is damaged:
// one line then). From here on keepSettingsCurrent writes changes back.
Settings loadSavedSettings();
// After initialiseWorld: the saved sound and level of detail become the
// options, and the window goes fullscreen when `fullscreen` is set.
void applySavedSettings(const Settings& saved, bool fullscreen);
// Every idle pass: when a kept setting (sound, detail, window size,
// fullscreen) changed, writes the file again, at most once a second (a
// window being dragged to a new size is written once it rests), or at once
// with atOnce (the game is ending); a failed write says why once and the
// game goes on. Does nothing unless loadSavedSettings ran.
void keepSettingsCurrent(bool atOnce = false);
// F11: the window to fullscreen and back; the view and the cockpit follow
// the new size (reshape).
void toggleFullscreen();

// ---------------------------------------------------------------------------
// Window placement
// ---------------------------------------------------------------------------

// A window's place and size on the screen, in pixels from the top-left corner.
struct ScreenRect {
    int x = 0, y = 0;
    int width = 0, height = 0;
};

// GL-free. Where a new game window of width x height opens on a screen of
// screenWidth x screenHeight, given the game windows already `shown` there.
// The places, in the server's order: the origin, beside it (10 pixels right
// of a window at the origin, when the screen is wide enough for two) and the
// opposite corner; a client tries beside, the corner, then the origin. The
// first place whose middle no shown window covers is taken; when all are
// covered, the first. With none shown: the server at the origin, a client
// beside it or in the opposite corner.
ScreenRect placeGameWindow(bool isServer, int screenWidth, int screenHeight, int width, int height,
                           const std::vector<ScreenRect>& shown);

// GL-free. Volume value 1..4 is changeVolume of VolumeControl value - 1 (the
// keys' own path); any other value changes nothing.
void chooseVolumeMenu(int value);

// ---------------------------------------------------------------------------
// Replay of a recording (replay.cpp): no network, the game's own drawing
// ---------------------------------------------------------------------------

struct RecordingHeader;
// Opens the recording, before the level is read; "" or why it cannot be
// played (one line).
std::string openReplay(const std::string& path);
// The open recording's header (its level, fighters, names).
const RecordingHeader& replayHeader();
// After initialiseWorld: the world at the recording's first instant.
void startReplay();
// GLUT callbacks of the replay: the replay's clock feeds the bodies that are
// due; space pauses, left / right seek 5 s, up / down halve or double the
// speed (0.25x to 8x), 1..9 view through fighter N, 0 a free camera moved
// with i k j l d f, q quits.
void replayIdle();
void onReplayKey(unsigned char key, int x, int y);
void onReplayKeyUp(unsigned char key, int x, int y);
void onReplaySpecialKey(int key, int x, int y);
// The free camera's eye and direction (true) while it is on.
bool replayCamera(Vec3& eye, Vec3& dir);
