// world.h -- the world model that every subsystem shares, and the rules that
// change it.
//
// Shared state lives in a few records, each named for its lifetime and owner
// (see the records below): the level (`maze`, read-only outside the level
// reader), the game (`gs`: object lists, pause, the rules' generator), the
// process (`process`: role, clock, quit), the cockpit's figures (`hud`), the
// player's switches (`options`) and the renderer's own working state
// (`effectState`).
// The rules here never touch GL, GLUT, sockets or audio: they build into the
// portable rules library and run in tests without a display.
//
// Coordinates: x runs along the maze's columns, y along its rows, z upwards
// from the floor at 0, all in world units. Cell (row r, column c) covers
// x in [c*cellSize, (c+1)*cellSize) and y in [r*cellSize, (r+1)*cellSize).
#pragma once

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

// ---------------------------------------------------------------------------
// Basic types and constants
// ---------------------------------------------------------------------------

struct Vec3 {
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;
};

// Collision sizes of the models (world units): a fighter's and a prey's body
// is 3 across, a bullet 0.2. The generated models are built to fit them.
constexpr Vec3 kFighterExtent{3.0f, 3.0f, 3.0f};
constexpr Vec3 kPreyExtent{3.0f, 3.0f, 3.0f};
constexpr Vec3 kBulletExtent{0.2f, 0.2f, 0.2f};

// Grid limits: the cell table is fixed at 100 x 100.
constexpr int kMaxMazeSize = 100;
constexpr int kMaxFighterStarts = 10;
constexpr int kMaxPreyStarts = 20;
constexpr int kMaxMissiles = 26;
constexpr int kKeyCount = 256;
constexpr int kMessageLineSize = 500;
// A player's name: 1..kPlayerNameMax printable ASCII characters.
constexpr int kPlayerNameMax = 15;
// Recent events the message line shows at once, and how long each stays.
constexpr int kFeedLines = 4;
constexpr int32_t kFeedShowMs = 4000;
// Who destroyed a fighter last, besides another fighter's index.
constexpr int32_t kDestroyedByUnknown = -1;
constexpr int32_t kDestroyedByPrey = -2;
// The message line's text from start-up until the first real message.
constexpr const char* kStartMessage = "Info message here";

// Rules constants. Lengths in world units, times in seconds.
constexpr float kFighterHeight = 1.7f;      // z of every fighter
constexpr float kStartHealth = 100.0f;      // health at a start; regeneration cap
constexpr float kFighterSpeed = 2.5f;       // units/s of a held move key; arrow step factor
constexpr float kTurnRate = 1.0f;           // turn factor per second of a held turn key
constexpr float kKeyStepTime = 0.1f;        // time slice of one arrow-key event
constexpr float kStrafeFactor = 0.5f;       // strafe = 1.25 units per world step
constexpr float kBulletSpeed = 3.0f;        // units per world step, not scaled by time
constexpr float kFighterHitDamage = 5.0f;   // health a fighter loses per hit
constexpr float kPreyHitDamage = 40.0f;     // health a prey loses per hit
constexpr float kHealthRegen = 0.01f;       // health added per server idle pass
constexpr float kMuzzleOffset = 1.2f;       // gun distance from the fighter's centre
constexpr float kMuzzleAngle = 60.0f;       // degrees left or right of the heading
constexpr float kMuzzleHeight = 1.4f;       // z of every fighter's shot
constexpr float kAimDistance = 32271464.0f; // both guns aim this far ahead
constexpr float kSpreadDegrees = 0.1f;      // total span of the random elevation
constexpr float kPathStep = 0.2f;           // step of the path march
constexpr float kPathEndTolerance = 0.25f;  // ground distance at which the march arrives
constexpr float kWallMargin = 0.2f;         // closest approach of the march to a wall cell
constexpr float kFloorLimit = 0.1f;         // march margin above floor / below ceiling
// The gun's cycle, ms of world time: held space fires once per cycle (16.7
// shots a second, the rate a keyboard's repeat used to give), and no press
// makes it fire sooner.
constexpr int32_t kFireIntervalMs = 60;
// Space held longer than this, ms of world time since its last press, is a
// hold: the gun's beat starts. A person's tap lasts less (typically 50 to
// 120 ms), so a tap fires once even when its release is heard a few passes
// after its press.
constexpr int32_t kHoldFireDelayMs = 150;

// States and kinds. The values are those the wire and the tables use.
enum class FighterState : int32_t { InPlay = 0, Dead = 1, Absent = 2 };
enum class Weapon : int32_t { Cannon = 0, MissileLauncher = 1 };
// A bullet's kind travels on the wire as a u32: any value may arrive there,
// and only these three are ever fired.
enum class ShooterKind : int32_t { FighterCannon = 0, MissileShot = 1, PreyCannon = 2 };
enum class PreyMode : int32_t { Start = 0, Roam = 1, Hunt = 2 };

// Why the game ends; Playing while it goes on. See endOfGame for what each
// reason says and the status the process ends with. (No "None": X11's
// headers, which the shell includes, define that name as a macro.)
enum class GameEnd {
    Playing,
    QuitAsked,       // q, Q or the menu's Quit, at the next key event; SIGINT or SIGTERM
    ServerDied,      // a client applied no state body from its server for kServerTimeout
    LevelMismatch,   // the server's level has another number of fighters than ours
    MissingFile,     // a texture the game needs cannot be opened or is too large
    NoLocalFighter,  // the level has no fighter for this process to show
};

// ---------------------------------------------------------------------------
// Object records (field order as the world model fixes it)
// ---------------------------------------------------------------------------

// A player's vehicle. One per fighter start; all live until the program ends.
struct Fighter {
    Vec3 pos;                  // z is kFighterHeight and never changes
    Vec3 dir;                  // unit heading, z = 0 (zero only after a bad direction code)
    Vec3 nextPos;              // proposal for the coming world step (x, y used)
    Vec3 nextDir;              // proposed heading
    uint8_t movePending = 0;   // nextPos holds a move not yet applied
    uint8_t turnPending = 0;   // nextDir holds a turn not yet applied
    uint8_t moveAllowed = 0;   // verdict of this step's collision pass
    FighterState state = FighterState::Absent;
    int32_t bullets = 0;       // cannon shots left
    int32_t missiles = 0;      // missiles left (counted, never flown)
    float health = kStartHealth;
    Weapon weapon = Weapon::Cannon;    // 0 at every start
    int32_t score = 0;         // prey destroyed by this fighter's bullets
    uint8_t keyDown[kKeyCount] = {};  // held flag per ordinary key code
    int32_t gunWaitMs = 0;     // world time until the gun can fire again; <= 0: ready
    uint8_t shotAsked = 0;     // a press of space the gun has not answered yet
    int32_t triggerHeldMs = 0; // world time space has been held since its last press
    // Set when keyDown is a client's report of its held keys, sent again
    // every 50 ms while a key is held (the key extension). Held fire then
    // also needs space reported held since the last shot: a tap whose
    // release was lost on the way still fires once.
    uint8_t heldKeysReported = 0;
    uint8_t triggerReported = 0;  // space reported held since the last shot
    // Mouse turning asked by this fighter's player and not yet applied,
    // hundredths of a degree, positive to the right; each world step applies
    // at most kMouseTurnMaxPerStep of it (applyMouseTurn).
    int32_t mouseTurnPending = 0;

    // The scoreboard's figures and the respawn clock. Kept by the server's
    // rules; a client copies them from our server's bodies (a plain server
    // sends none: they stay as reset).
    char name[kPlayerNameMax + 1] = {};  // empty: shown as "player N"
    int32_t fightersDestroyed = 0;  // other fighters this one's bullets destroyed
    int32_t deaths = 0;             // times this fighter was destroyed
    int32_t pingMs = -1;            // the server's measure of its client's round trip; -1 unknown
    int32_t protectMs = 0;          // world time left of the respawn protection; > 0: takes no damage
    int32_t respawnMs = 0;          // a destroyed fighter: time left before it comes back; 0 none due
    int32_t destroyedBy = kDestroyedByUnknown;  // its last destroyer: a fighter index or kDestroyedBy*
    int32_t reloadMs = 0;           // world time in play towards its next regained bullet (< 0: a shot's pause)
};

// A projectile in flight. `owner` is the index in fighterList of the fighter
// that fired it, or -1 for prey shots: an index stays meaningful whatever
// happens to the list's storage, where a pointer would not.
struct Bullet {
    Vec3 pos;
    Vec3 dir;                  // unit direction of flight (3-D)
    Vec3 nextPos;              // pos + dir * kBulletSpeed, computed by each step
    uint8_t spent = 0;         // path blocked this step: removed at the step's end
    ShooterKind shooterKind = ShooterKind::FighterCannon;
    int32_t owner = -1;        // fighter index, -1 for none
};

// What a prey does, one step per behaviour update. The poses, moves and
// heading changes of each step come from one table (behaviour.cpp).
enum class PreyAction : int32_t {
    StandA = 0,          // takes stance A (pose 0), no motion
    StandB = 1,          // takes stance B (pose 4), no motion
    WalkForward = 2,     // 8 steps, poses 1..8; may end halfway, in stance B
    WalkBackward = 3,    // the walk undone, poses 7..0
    TurnLeftFromA = 4,   // 4 steps, poses 14..17; heading grows; ends in stance B
    TurnLeftFromB = 5,   // the right turn undone, poses 11..8; ends in stance A
    TurnRightFromA = 6,  // poses 9..12; heading shrinks; ends in stance B
    TurnRightFromB = 7,  // the left turn undone, poses 16..13; ends in stance A
    Shoot = 8,           // 5 steps, pose unchanged; the shot leaves after step 3
    LookRight = 9,       // 6 steps: bodyTurn -30, -60, -90, -60, -30, 0
    LookLeft = 10,       // bodyTurn +30 .. +90 .. 0
};

// An autonomous two-legged creature. Behaviour is in prey/.
struct Prey {
    Vec3 pos;                  // z is preyExtent.z * 0.5 and never changes
    Vec3 dir;                  // unit heading of the legs, z = 0
    Vec3 nextPos;
    Vec3 nextDir;
    uint8_t movePending = 0;
    uint8_t turnPending = 0;   // the step copies nextDir to dir when set
    uint8_t moveAllowed = 0;   // 1 when nextPos was free of walls and bodies
    PreyMode mode = PreyMode::Roam;
    int32_t target = 0;        // hunted fighter's index (meaningful in Hunt)
    float health = kStartHealth;
    uint8_t maneuvering = 0;
    int32_t maneuverSteps = 0;
    int32_t turning = 0;       // 1 while turning towards wantedHeading
    float wantedHeading = 0.0f;  // degrees
    uint8_t blocked = 0;       // wall test refused nextPos
    PreyAction action = PreyAction::StandA;  // under way
    int32_t actionStep = 1;    // step within action, from 1
    int32_t sinceShot = 0;     // behaviour updates since the last decision to shoot
    int32_t tick = 0;          // world steps since the behaviour last ran (it runs on every third)
    int32_t pose = 0;          // 0..17, pose to draw
    float bodyTurn = 0.0f;     // degrees, upper body relative to legs, CCW from above
    uint8_t destroyed = 0;     // health fell below 0: removed at the end of the step
    int32_t stuckCount = 0;    // consecutive refused behaviour updates
};

// A tumbling debris explosion. Started by the hit effects; its animation
// (frame, finished, the pieces' offsets) is the effects' to advance (see
// advanceDrawnExplosions), and it is removed once `finished` is set.
constexpr int kMaxExplosionPieces = 100;
// Explosions under way at most: a new one beyond them replaces the oldest.
// Play shows a handful at a time; the bound keeps a flood of effect events
// from a network peer from growing the list (and every frame's drawing).
constexpr int kMaxExplosions = 64;
struct Explosion {
    Vec3 centre;
    uint32_t startOrder = 0;   // gs.explosionsStarted when it began: the smallest is the oldest
    int32_t effectType = 1;    // 1 = explosion; no other type exists
    int32_t frame = 0;         // drawings made so far
    uint8_t finished = 0;      // set by the animation once frame exceeds lifetime
    int32_t pieceCount = 0;    // 30 (small) or 100 (large)
    int32_t lifetime = 0;      // 10 (small) or 30 (large), in drawings
    Vec3 pieceOffset[kMaxExplosionPieces];     // relative to centre
    Vec3 pieceDirection[kMaxExplosionPieces];  // unit direction of flight
    Vec3 pieceSize[kMaxExplosionPieces];       // box edge lengths
    float pieceSpeed[kMaxExplosionPieces] = {};  // units per drawing
};

// Server only: an explosion started since the last state message.
enum class EffectKind : uint8_t { Large = 0, Small = 1 };
struct EffectEvent {
    EffectKind effectKind = EffectKind::Large;
    float x = 0.0f, y = 0.0f, z = 0.0f;  // the explosion's centre
};

// Entry of the two reserved point lists: only copied from state messages.
struct ReservedPoint {
    float x = 0.0f, y = 0.0f;
};

// One start entry of the map. The file gives row first; the record stores
// column first.
struct StartPosition {
    int32_t column = 0;
    int32_t row = 0;
    int32_t direction = 0;     // DirectionCode 0..3
};

// A lamp on one side of a maze cell.
struct MazeLight {
    int32_t col = 0;
    int32_t row = 0;
    int32_t side = 0;          // 0..3, the DirectionCode numbering
    float position[4] = {};    // x, y, z, w (w = 1: positional)
};

// ---------------------------------------------------------------------------
// The process-wide state, one record per lifetime and owner
// ---------------------------------------------------------------------------

// The level: the map file's maze and start data, and the model sizes the
// rules collide with. Lifetime: the process. Filled once at start-up by
// readMazeMap (which clears it first) and buildModels, then read-only: every
// reader sees it through `maze`; only the level reader, the model builder
// and tests or tools that make a level of their own write it, through
// editMaze().
struct MazeMap {
    int32_t cols = 0;                     // 0..kMaxMazeSize
    int32_t rows = 0;
    float cellSize = 0.0f;                // world units per cell edge
    float wallHeight = 0.0f;              // world units
    float lightHeight = 0.0f;             // z of every lamp, world units
    int32_t fighterStartCount = 0;        // entries used in fighterStarts
    StartPosition fighterStarts[kMaxFighterStarts];
    int32_t preyStartCount = 0;
    StartPosition preyStarts[kMaxPreyStarts];
    int32_t startBullets = 0;             // each fighter's cannon shots at a start
    int32_t startMissiles = 0;
    int32_t cells[kMaxMazeSize][kMaxMazeSize] = {};     // [row][column]; 1 = wall
    std::vector<MazeLight> lights;        // file order
    uint8_t hiddenFaces[kMaxMazeSize][kMaxMazeSize][4] = {};  // [row][col][side]

    // Model extents (world units); the rules read them. They start at the
    // rules' own sizes, so a process without a window (maze-sim, the tests)
    // collides exactly as the game does; buildModels sets the same values.
    Vec3 fighterExtent = kFighterExtent;
    Vec3 preyExtent = kPreyExtent;
    Vec3 bulletExtent = kBulletExtent;
};
extern const MazeMap& maze;
// The writable level: for the level reader, the model builder, and tests and
// tools that build a level of their own. Nothing else writes it.
MazeMap& editMaze();

// The game: everything the rules move. Lifetime: the fighter list is made
// once at start-up (createFighters, one per fighter start) and never
// shrinks; resetGame puts the fighters back on their starts and recreates
// the prey, explosions and effect events; bullets live until spent. The
// server runs the rules on it; a client copies it from each state body.
//
// Object counts are the sizes of their lists: one number, so the two can
// never disagree. Removal moves the last element into the gap (removeAt).
struct GameState {
    std::vector<Fighter> fighterList;     // index = fighter number
    std::vector<Prey> preyList;           // order changes on removal
    std::vector<Bullet> bulletList;
    std::vector<Explosion> explosionList; // the renderer animates them (world/effects.cpp)
    std::vector<EffectEvent> effectEvents;  // server: since the last state message
    std::vector<ReservedPoint> reservedPointsA;
    std::vector<ReservedPoint> reservedPointsB;
    uint32_t explosionsStarted = 0;       // explosions ever started (their startOrder)
    bool gameStarted = false;             // set by startGame; Map and Pause act only then
    bool gamePaused = false;              // the server's world stands still; travels to clients

    // The round: started by startGame (and by itself after a round's end),
    // over when the last prey is destroyed. On a client, copied from our
    // server's bodies.
    struct Round {
        int32_t elapsedMs = 0;            // world time since the round started
        bool over = false;                // the scoreboard shows; the next round is due
        int32_t restartMs = 0;            // while over: time left before the next round
        int32_t winner = -1;              // while over: the winning fighter's index, -1 none
    } round;

    // The rules' generator's state; seeded with 0 at start-up. Only the
    // rules draw on it (prey, firing, the set-up of explosions), so the
    // world's course never depends on what is drawn.
    uint32_t randomState = 0;
};

// This process's part: its role, the fighter its player steers and sees,
// and the pass clock. Lifetime: the process; the role and the local fighter
// are set at start-up (a client's local fighter then by each state body),
// the clock read at the start of every idle pass.
struct ProcessState {
    bool isServer = true;
    int32_t localFighterIndex = 0;        // 0 on the server, from each state body on a client
    bool quitRequested = false;           // q, Q or Quit: ends at the next key event
    int32_t clockNowMs = 0;               // ms within the current UTC minute
    int32_t clockPrevMs = 0;              // the previous pass's clockNowMs
};

// What the cockpit shows besides the world. Lifetime: the process; the
// message line is set by whoever has news (setMessageLine) and emptied by
// the shell once it is old; the figures are copied from the local fighter
// after every pass.
struct HudState {
    char messageLine[kMessageLineSize] = "Info message here";
    int32_t messageSetMs = 0;             // clockNowMs when messageLine was last set
    int32_t score = 0;
    int32_t bullets = 0;
    float health = 0.0f;
    // Recent events ("alice joined"), oldest first; each shows kFeedShowMs
    // from its setMs and then leaves the line.
    struct FeedLine {
        char text[kMessageLineSize] = {};
        int32_t setMs = 0;                // clockNowMs when it was added
    } feed[kFeedLines];
    int32_t feedCount = 0;                // 0..kFeedLines
    bool scoreboardHeld = false;          // Tab is held: the scoreboard shows
};

// The player's display and sound choices. Lifetime: the process; changed
// only through toggleOption (keys and menus) and chooseDetailMenu.
struct OptionFlags {
    bool showMap = false;
    bool texturesOn = true;
    bool lightingOn = false;
    bool soundOn = false;
    int32_t detailLevel = 4;              // 0 most detailed .. 8 least
};

// The records of this process.
extern GameState gs;
extern ProcessState process;
extern HudState hud;
extern OptionFlags options;

// The effects' own state, apart from the world's: the generator of every
// random draw made only for the look of things (the debris' motion and
// tumbling, the glow ball, the flames), and whether a drawn frame advanced
// the explosions since the last idle pass. Lifetime: the process; the
// generator is seeded with 0 at start-up, like the rules' one; cleared with
// the world by resetGameStateForTest(). No rule reads it.
struct EffectState {
    uint32_t randomState = 0;      // the effects' generator (randomNextFrom)
    bool drawnSincePass = false;   // set by advanceDrawnExplosions, cleared by each idle pass
    bool explosionSoundThisPass = false;  // the explosion sound was (re)started this pass
};
extern EffectState effectState;

// Replaces every record above (the level, the game, the process's part, the
// HUD, the options and the effects' state) with a fresh one. For tests and
// tools that start over.
void resetGameStateForTest();

inline int fighterCount() { return static_cast<int>(gs.fighterList.size()); }
inline int preyCount() { return static_cast<int>(gs.preyList.size()); }
inline int bulletCount() { return static_cast<int>(gs.bulletList.size()); }
inline int explosionCount() { return static_cast<int>(gs.explosionList.size()); }
inline int effectEventCount() { return static_cast<int>(gs.effectEvents.size()); }
inline int lightCount() { return static_cast<int>(maze.lights.size()); }

// Removes element i by moving the last element into its place; i must be a
// valid index. List order is therefore not stable.
template <class T>
void removeAt(std::vector<T>& list, size_t i) {
    if (i + 1 != list.size()) list[i] = list.back();
    list.pop_back();
}

// ---------------------------------------------------------------------------
// Small shared helpers
// ---------------------------------------------------------------------------

// Distance from a to b in the ground plane (z ignored), world units.
inline float groundDistance(Vec3 a, Vec3 b) {
    const float dx = a.x - b.x;
    const float dy = a.y - b.y;
    return std::sqrt(dx * dx + dy * dy);
}

// Degrees and radians. Each use keeps the precision it has always had, so
// the world replays bit for bit: angles computed in double go through the
// double pair; the fighter's guns turn theirs in single precision, through
// radiansFromDegreesF (the same constant rounded to float once).
constexpr double kRadiansPerDegree = 0.017453292519943295;
constexpr double kDegreesPerRadian = 57.29577951308232;
constexpr double radiansFromDegrees(double degrees) { return degrees * kRadiansPerDegree; }
constexpr double degreesFromRadians(double radians) { return radians * kDegreesPerRadian; }
constexpr float radiansFromDegreesF(float degrees) { return degrees * static_cast<float>(kRadiansPerDegree); }
static_assert(static_cast<float>(kRadiansPerDegree) == 0.017453292519943295f,
              "the float conversion multiplies by the float nearest the constant");

// Direction codes 0..3 as unit vectors: 0 (0,-1), 1 (1,0), 2 (0,1), 3 (-1,0).
// Any other code prints "invalid direction" and yields (0, 0, 0).
Vec3 directionFromCode(int code);

// Ground-plane heading of a direction, degrees in [0, 360); 90 for a zero
// vector, 270 for (0, -y).
float headingDegrees(Vec3 dir);

// The generator: next = seed * 214013 + 2531011 (32-bit wrap), result =
// (next >> 16) & 0x7FFF. Seeded with 0 at start-up.
void randomSeed(uint32_t seed);
int randomNext();          // 0..32767
// The same generator on a caller's own state, for tools whose draws must not
// disturb the world's sequence (the hostile-datagram maker).
int randomNextFrom(uint32_t& state);
float randomFraction();    // randomNext() / 32767, 0..1 inclusive

// The same generator on effectState.randomState, for what only the look of
// things needs: drawing never moves the rules' sequence.
void effectRandomSeed(uint32_t seed);
float effectRandomFraction();  // 0..1 inclusive, as randomFraction

// True when (row, col) lies inside the 100 x 100 table and inside the map.
inline bool cellInMaze(int row, int col) {
    return row >= 0 && col >= 0 && row < maze.rows && col < maze.cols &&
           row < kMaxMazeSize && col < kMaxMazeSize;
}

// The cell code at (row, col); every cell outside the 100 x 100 table counts
// as a wall (1), so neighbour tests at the edge of the grid stay in bounds.
inline int32_t cellCode(int row, int col) {
    if (row < 0 || col < 0 || row >= kMaxMazeSize || col >= kMaxMazeSize) return 1;
    return maze.cells[row][col];
}

// The row or column of a coordinate (truncating coord / cellSize toward
// zero); -1, which cellCode reads as wall, when it lies outside the table.
int cellOfCoordinate(float coord);

// Sets messageLine (truncated to fit) and notes when, so the HUD can keep it
// readable for a few seconds.
void setMessageLine(const char* text);

// ---------------------------------------------------------------------------
// Level: the map file and level set-up
// ---------------------------------------------------------------------------

constexpr const char* kMapFileName = "korvath.map";
// The largest level file read: the 100 x 100 grid (20 KB of single digits),
// the starts, and a light on every side of every cell (40 000 lights of three
// numbers, about 500 KB) fit with room for wider spacing and longer numbers.
constexpr size_t kMaxLevelFileSize = 1024 * 1024;

// Reads the level from `path` (the game passes kMapFileName in its working
// directory) into `maze`, printing the level's diagnostics on standard output.
// Never reads or writes outside the tables, whatever the file holds. A file
// that cannot be read or holds more than kMaxLevelFileSize bytes leaves an
// empty level (one line on the error stream).
void readMazeMapFile(const char* path);
// Reads the level from a text already in memory (same rules; for tests and
// the fuzzer).
void readMazeMapText(const std::string& text);
// The game's entry: readMazeMapFile(kMapFileName).
void readMazeMap();

// The level a program plays, as it was loaded.
struct LevelFile {
    std::string path;     // as opened
    std::string name;     // the file's base name: shown to people, sent with the join
    uint64_t digest = 0;  // levelDigest of its bytes (of none when it could not be read)
};
// The level file's digest for the join: 64-bit FNV-1a of the bytes, never 0
// (0 travels as "no digest").
uint64_t levelDigest(const std::vector<uint8_t>& bytes);
// Where a --map value points before the program enters its data folder: a
// value with a '/', or naming a file in the working directory, becomes an
// absolute path; any other is a name to look up in the data folder, and
// stays as it is.
std::string levelPathBeforeDataFolder(const std::string& given);
// Reads the level at `path` into `maze` as readMazeMapFile does and fills `out`,
// then judges it: returns "" for a level read whole into a maze with cells,
// else the fault in one line's words without the program's name, e.g.
// `the level "x.map" cannot be used: cannot open it: No such file or directory`
// or `the level "x.map" is damaged: not an integer: 'q' (number 7)`. The
// reader's own complaints are not printed; its warnings are.
std::string loadLevel(const std::string& path, LevelFile& out);

// Computes light.position from its col, row and side (middle of that side of
// the cell, at lightHeight, w = 1).
void placeLight(MazeLight& light);

// Recomputes maze.hiddenFaces from the cell codes and the maze size.
void computeHiddenFaces();

// Empties fighterList and creates one Absent fighter per fighter start, in
// start order, placed at its start cell.
void createFighters();

// Puts fighter f on start s as a new game does: centre of the start cell,
// facing the start's direction, full health and ammunition, no score, no
// keys held. Leaves state and the pending flags to the caller.
void placeFighterAtStart(Fighter& f, const StartPosition& s);

// ---------------------------------------------------------------------------
// Game reset
// ---------------------------------------------------------------------------

// Puts every fighter back on its start (only fighter 0 in play), recreates the
// prey on their starts, clears explosions and effect events, and starts a
// new round (its clock at 0, every fighter's figures and respawn clock at 0;
// names stay). Bullets in flight are kept.
void resetGame();

// ---------------------------------------------------------------------------
// A long game: respawn, ammunition, rounds (respawn.cpp, round.cpp)
// ---------------------------------------------------------------------------

constexpr int32_t kDefaultRespawnDelayMs = 5000;  // --respawn's default
constexpr int32_t kMaxRespawnDelayMs = 600000;    // --respawn's bound
constexpr int32_t kRespawnProtectMs = 2000;       // a respawned fighter takes no damage this long
constexpr int32_t kRoundRestartMs = 10000;        // the scoreboard's time between two rounds
// A fighter in play regains one bullet per this much world time (2 a
// second: 50 passes of the server's 100 a second), up to the level's count,
// once its gun has been silent for kReloadPauseMs: a client hears a shot as
// a fighter's count going down, which a bullet regained in the same picture
// would cancel.
constexpr int32_t kReloadMs = 500;
constexpr int32_t kReloadPauseMs = 1000;

// The server's choices for a long game. Lifetime: the process; set from the
// command line and the menu; cleared by resetGameStateForTest().
struct LongGameRules {
    int32_t respawnDelayMs = kDefaultRespawnDelayMs;  // 0: a destroyed fighter stays out
    bool respawnOn = true;                            // the menu's Toggle Respawn
    bool roundsOn = true;                             // the last prey's end starts a new round
};
extern LongGameRules longGame;

// The wait a fighter destroyed now gets before it comes back; 0 when
// respawn is off or its delay is 0 (the fighter then stays out until the
// next reset or its player joins again).
int32_t respawnDelayNow();

// Notes fighter `victim` destroyed by `by` (a fighter index or
// kDestroyedBy*): state Dead, deaths + 1, destroyedBy, the respawn clock;
// a destroyer other than itself counts fightersDestroyed.
void noteFighterDestroyed(int victim, int32_t by);

// The start index farthest from every prey and every other fighter in play
// (its nearest such body the farthest away; ties: the fighter's own start,
// then the lowest index); -1 when the level has no fighter start.
int farthestFighterStart(int fighter);

// Brings fighter i back into play at farthestFighterStart: full health, the
// level's bullets and missiles, its score and figures kept, protected for
// kRespawnProtectMs.
void respawnFighter(int i);

// The long game's part of one server step of intervalMs (after worldStep;
// nothing while gs.gamePaused): protection and respawn clocks run down and
// due fighters come back, fighters in play regain bullets (kReloadMs), the
// round's clock runs, the last prey's end makes the round over (winner,
// restartMs = kRoundRestartMs) and, once restartMs has run out, startRound.
void longGameStep(int32_t intervalMs);

// A new round without anybody rejoining: resetGame, then every fighter that
// was present (not Absent) is in play on its start.
void startRound();

// The fighter with the highest score (the lowest index among equals); -1
// when nobody scored.
int roundWinner();

// The local player's message line while its fighter waits to come back:
// "Destroyed by a prey - back in 4 s" (or the destroyer's name), set again
// as each whole second passes. Runs after every pass, server and client.
void showRespawnCountdown();

// ---------------------------------------------------------------------------
// Names (names.cpp)
// ---------------------------------------------------------------------------

// A player's name as given on a command line or in the settings: spaces
// trimmed at both ends, then 1..kPlayerNameMax printable ASCII characters.
// `refusal` non-empty: the name cannot be used, and says why in one line's
// words. `cut` true: a longer name was cut to kPlayerNameMax (and trimmed).
struct NameCheck {
    std::string name;
    std::string refusal;
    bool cut = false;
};
NameCheck checkPlayerName(const std::string& given);

// The name shown for fighter i: its own, else "player N".
std::string fighterName(int i);

// Names fighter i: `wanted` (a peer's, checked again here; empty or unusable:
// "player N"), made unique among the other present fighters by " (2)",
// " (3)" ... (the name cut to make room).
void assignFighterName(int i, const std::string& wanted);

// ---------------------------------------------------------------------------
// What happened: the event feed (feed.cpp)
// ---------------------------------------------------------------------------

// The figures of the world that tell what happened between two passes.
struct FighterPicture {
    bool present = false;    // server: not Absent; client: it has a name
    bool inPlay = false;
    int32_t deaths = 0;
    int32_t score = 0;
    int32_t destroyedBy = kDestroyedByUnknown;
    std::string name;
};
struct WorldPicture {
    std::vector<FighterPicture> fighters;
    int32_t roundElapsedMs = 0;
    bool roundOver = false;
    int32_t roundWinner = -1;
};
WorldPicture pictureOfWorld();

enum class GameEventKind { Joined, Left, Destroyed, Respawned, PreyDestroyed, RoundOver, RoundStarted };
struct GameEvent {
    GameEventKind kind = GameEventKind::Joined;
    int fighter = -1;         // the fighter it is about (the winner for RoundOver); -1 none
    int32_t by = kDestroyedByUnknown;  // Destroyed: a fighter index or kDestroyedBy*
    int32_t score = 0;        // RoundOver: the winner's score
    std::string name;         // the fighter's name then
    std::string byName;       // Destroyed: "a prey" or the destroyer's name
};
// What happened between two pictures, in fighter order, the round's events
// last (a new round's reset counts nothing else).
std::vector<GameEvent> eventsBetween(const WorldPicture& before, const WorldPicture& after);

// The feed's line for a player ("carol was destroyed by a prey") and the
// operator's event word ("destroyed").
std::string feedText(const GameEvent& e);
const char* eventWord(const GameEvent& e);

// Appends a line to hud.feed (the oldest leaves when it is full), noted at
// process.clockNowMs.
void pushFeedLine(const std::string& text);
// Removes the feed's lines older than kFeedShowMs.
void expireFeedLines();

// ---------------------------------------------------------------------------
// Timing
// ---------------------------------------------------------------------------

// Longest interval one world step may cover, ms. A stall (a dragged window, a
// debugger) must not fling fighters through a whole corridor in one step.
constexpr int32_t kMaxStepIntervalMs = 250;

// The clock counts ms within the current minute, so it wraps from 59999 to 0.
// Returns now - prev taken modulo one minute (0..59999).
int32_t clockElapsedMs(int32_t prevMs, int32_t nowMs);
// The interval of one world step: clockElapsedMs limited to kMaxStepIntervalMs.
int32_t passIntervalMs(int32_t prevMs, int32_t nowMs);

// Milliseconds within the current UTC minute, 0..59999: the game's clock.
int32_t readClockMs();

// ---------------------------------------------------------------------------
// Pace of the idle pass
// ---------------------------------------------------------------------------

// Time from the start of one idle pass to the start of the next, ms: 100
// passes a second, about what a visible window gets on a desktop, and the
// same whether the window is drawn, covered, unmapped or absent (the
// windowless server), so the world never runs faster or slower for it.
constexpr int32_t kPassPeriodMs = 10;
// A pass later than this behind its beat (a stall: a dragged window, a
// debugger) restarts the beat rather than bringing a burst of passes.
constexpr int32_t kMaxPassLagMs = 250;

// Called before every idle pass: returns once the pass is due, on a beat of
// kPassPeriodMs (at once for the first pass, for one already due, and after
// a stall, which restarts the beat). While it waits it calls the wait hook
// with the whole milliseconds left, again and again, and sleeps (never
// spins) when there is no hook, when the hook returns false, or for the last
// fraction of a millisecond. Returns early once stopRequested().
void paceIdlePass();

// The beat of the pass that ran last, ms on the monotonic clock (the
// network's steady clock is the same one): passes fall due on it every
// kPassPeriodMs exactly, so a frame timed by it moves the drawing on evenly
// however late the frame itself is drawn. Before the first pass, the clock.
double paceBeatMs();

// True when the next pass is already due, within kMaxPassLagMs: a frame took
// longer than the period, and the idle callback runs that pass (paced, so at
// once) before the next frame, so slow drawing never slows the world.
bool passOverdue();

// The wait of the pacer: waits at most maxMs (>= 1) for one notification and
// services it, returning true; returns false at once when it cannot wait
// (the sound engine is not running). Null (the default): the pacer sleeps.
void setPaceWaitHook(bool (*wait)(int32_t maxMs));

// For tests: the pacer's monotonic clock (microseconds) and sleep; null
// restores the system's. Either way the schedule starts afresh.
void setPaceClockForTest(int64_t (*nowMicros)(), void (*sleepMicros)(int64_t));

// ---------------------------------------------------------------------------
// Fighter control
// ---------------------------------------------------------------------------

// Special-key codes of the arrows as the window toolkit delivers them.
constexpr int kKeyLeftArrow = 100;
constexpr int kKeyUpArrow = 101;
constexpr int kKeyRightArrow = 102;
constexpr int kKeyDownArrow = 103;

// One key event for fighter f: arrows propose a step or turn, ordinary keys
// update keyDown after acting (a press of space fires, p prints, L / T
// toggle, q / Q ask to quit). A press of space fires at once when the gun is
// ready, else asks for the shot the gun fires when it is (fireHeldGun); a
// release of space does nothing. So a tap fires once, and a keyboard's
// repeats (release/press pairs, or presses) never fire faster than the gun's
// cycle. With quitRequested already set, the event does nothing and
// returns GameEnd::QuitAsked: a quit takes effect at the next key event, and
// the caller ends the game. Otherwise returns GameEnd::Playing.
// While gs.gamePaused only q, Q, L and T act; other events only let go of a
// held key, so nothing stays held across the pause.
// Ordinary key codes outside 0..255 are ignored.
GameEnd fighterKeyAction(Fighter& f, int key, bool released, bool special);

// Held-key motion of one world step for a fighter in play; dt in seconds.
void applyHeldKeys(Fighter& f, float dt);

// Mouse turning. A player's mouse asks for turns in hundredths of a degree
// (positive to the right); the rules scale them by kMouseTurnSensitivity
// and turn a fighter by at most kMouseTurnMaxPerStep a world step, so no
// client turns faster than 900 degrees a second however much it asks. What
// is asked beyond kMouseTurnMaxPending waiting is dropped.
constexpr float kMouseTurnSensitivity = 1.0f;
constexpr int32_t kMouseTurnMaxPerStep = 900;     // hundredths of a degree
constexpr int32_t kMouseTurnMaxPending = 36000;   // one full turn
// Adds a turn the player asked for to f.mouseTurnPending (scaled, bounded).
void askMouseTurn(Fighter& f, int32_t hundredths);
// The mouse's part of one world step: turns the proposal (nextDir, or dir
// when no turn is pending) by at most kMouseTurnMaxPerStep of the turn
// waiting, and sets turnPending when it turned.
void applyMouseTurn(Fighter& f);

// The walls' part of one world step for a fighter in play: the proposal
// (nextPos when movePending, else pos) is put back on its side of the walls
// around the fighter's cell, and moveAllowed is cleared when it still ends
// inside a wall cell. The world step and a client's own prediction share it.
void keepFighterOffWalls(Fighter& f);
// Applies the step's proposals: the move when the wall check allowed it (a
// refused one stays pending), the turn always. The world step and a client's
// prediction both end a fighter's step with it.
void commitFighterStep(Fighter& f);

// The gun's part of one world step of intervalMs for a fighter in play: the
// cycle runs down, and once it has run out the gun fires when space has been
// held longer than kHoldFireDelayMs since its last press (with
// heldKeysReported: and reported held since the last shot) or a press asked
// for a shot, starting the next cycle (the step's overshoot carried
// over, up to one cycle, so 10 or 20 ms steps, or a late step followed by
// quick ones, keep the cycle's rate). At most one shot a step. Whatever
// other keys are held.
void fireHeldGun(Fighter& f, int32_t intervalMs);

// Creates one bullet ahead of `from` along dir and appends it to bulletList.
// owner: index of the firing fighter, -1 for none. Plays the shooter's sound.
void spawnBullet(int owner, Vec3 from, Vec3 dir, ShooterKind shooterKind);
void spawnUnownedBullet(Vec3 from, Vec3 dir, ShooterKind shooterKind);

// ---------------------------------------------------------------------------
// Maze collision and line of sight
// ---------------------------------------------------------------------------

// Keeps a proposed position `nextPos` off the wall faces of the four side
// neighbours of cell (row, col), the cell of the object's current pos.
// Returns true when the proposal came within `radius` of such a face; with
// `clamp` it also moves the proposal back to exactly radius from each face.
bool clampToWalls(Vec3& nextPos, int row, int col, float radius, bool clamp);

// Walks the segment from -> to in steps of kPathStep against walls, floor,
// ceiling and bodies (fighters in play, every listed prey). ignoreA /
// ignoreB (a Fighter or Prey, or null) do not block. Returns true when clear;
// t receives the fraction walked (0 for a zero-length or non-finite segment).
bool pathClear(Vec3 from, Vec3 to, float& t, const void* ignoreA, const void* ignoreB);

// ---------------------------------------------------------------------------
// World step and hit effects
// ---------------------------------------------------------------------------

// The prey's behaviour for one world step: proposes the prey's next pose,
// move and heading (nextPos, nextDir, the pending flags) and may fire. The
// world lies below the prey, so whoever wires the game hands it to
// worldStep: updatePrey (prey/prey.h) everywhere the prey live.
using PreyBehaviour = void(Prey&);

// One server step over passIntervalMs(clockPrevMs, clockNowMs): held keys,
// collision, prey behaviour (preyBehaviour, once per prey in list order,
// before its wall test), bullets, hits, deaths, score, removals. Does
// nothing while gs.gamePaused: the interval is one pass's, so the first step
// after a pause covers no paused time.
void worldStep(PreyBehaviour& preyBehaviour);

// Server, once per idle pass: +kHealthRegen for every fighter in play below
// kStartHealth. Nothing while gs.gamePaused.
void regenerateHealth();

// Starts an explosion at (x, y, z) and appends it to explosionList (with
// kMaxExplosions under way it replaces the oldest instead); also used by the
// client when a state body reports an effect. Plays the explosion sound
// unless it was already (re)started this pass: one voice plays it, so a
// second restart within a pass would only cut the first before it sounds.
void startSmallExplosion(float x, float y, float z);
void startLargeExplosion(float x, float y, float z);

// A hit on the body standing at `at`: on the server notes an EffectEvent for
// the clients, then starts a large (kill) or small explosion there.
void spawnHitEffect(Vec3 at, bool large);

// The explosions' animation. An explosion is set up by the rules (its pieces
// from the rules' generator), then advanced once per drawing: its pieces
// move along their directions by their speeds times (1 + 0.5 x a fraction
// of the effects' generator, one per axis in the order x, y, z), and once
// its frame has passed its lifetime it is finished: a small one at its
// twelfth drawing, a large one at its thirty-second. Only these functions
// advance it, whether a frame shows it or not.

// How a frame shows one explosion, between the motion of its pieces and
// the count of the drawing. `frozen` while the world is paused: the pieces
// stand where they are.
using ExplosionPicture = void (*)(const Explosion& e, bool frozen);

// A drawn frame's turn, in list order: every explosion of type 1 (a finished
// one too, until it is removed) moves, is shown by `picture` (null: not
// shown) and counts the drawing; while gs.gamePaused each is shown frozen,
// neither moved nor counted. An explosion of another type is only shown.
// Notes in effectState that a frame advanced them, so the next idle pass
// leaves them be.
void advanceDrawnExplosions(ExplosionPicture picture);

// Once per idle pass, before the world step: when no frame advanced the
// explosions since the previous pass (a covered or unmapped window, a
// windowless process), every unfinished explosion of type 1 advances as one
// drawing would, unseen, so explosions still finish on time and the list
// cannot grow without bound. Clears effectState.drawnSincePass and opens the
// pass for one explosion sound. A paused world's explosions stand still.
void advanceUndrawnExplosions();

// Removes every finished explosion, each by moving the last one into its
// place (the order of removeAt). The server's world step calls it after the
// hits; a client, which runs no world step, after each receive pass.
void removeFinishedExplosions();

// ---------------------------------------------------------------------------
// Option flags (shared by the keys and the menus)
// ---------------------------------------------------------------------------

enum class GameOption : int { Textures, Lighting, Sound, Map, Pause };

// Message lines of a server pausing and resuming the world.
constexpr const char* kPausedMessage = "Game paused";
constexpr const char* kResumedMessage = "Game resumed";

// The one place the option flags change. Sound also starts (looped, from the
// beginning) or stops the music in slot 0. Map and Pause act only once
// gameStarted; a client does not pause (its world is the server's) and says so
// in messageLine; the server notes "Game paused" / "Game resumed" there.
void toggleOption(GameOption option);

// The player's volume controls: each moves the music's or the effects'
// level one step of 3 dB within 0 .. -30 dB.
enum class VolumeControl : int { MusicLouder, MusicSofter, EffectsLouder, EffectsSofter };
// Keys of the volume controls: ']' / '[' the music, '+' (or '=', the same
// key unshifted) / '-' the effects.
constexpr int kKeyMusicLouder = ']';
constexpr int kKeyMusicSofter = '[';
constexpr int kKeyEffectsLouder = '+';
constexpr int kKeyEffectsLouderUnshifted = '=';
constexpr int kKeyEffectsSofter = '-';

// The one place the volumes change (keys and menu both come here): sets the
// group's level in the sound engine, which applies it to the group's slots
// at once, and shows it in messageLine ("Music -6 dB", "Effects -12 dB",
// "(loudest)" or "(softest)" at the ends of the range).
void changeVolume(VolumeControl control);

// The keys that act only in the process whose player pressed them, also
// while the world is paused: quit (q, Q), the display toggles (L, T) and
// the volumes. They never cross the network: a client keeps them, a server
// ignores them from its clients.
constexpr int kLocalOnlyKeys[] = {'q', 'Q', 'L', 'T', kKeyMusicLouder, kKeyMusicSofter,
                                  kKeyEffectsLouder, kKeyEffectsLouderUnshifted, kKeyEffectsSofter};
// True for an ordinary (not special) key in kLocalOnlyKeys.
bool keyIsLocalOnly(int key, bool special);

// ---------------------------------------------------------------------------
// End of the process
// ---------------------------------------------------------------------------

// Nothing below a program's main ends the process: what finds a reason to
// end writes its own line (if any) and returns the reason; the shell's
// callbacks or a tool's main end the process with endOfGame's status.

// The last words for `why`, and the status the process ends with:
//   QuitAsked       stops the sound, writes "Good-Bye"     0
//   ServerDied      writes "Server died"                   0
//   LevelMismatch   stops the sound                       -1
//   MissingFile     (its line is written where found)      1
//   NoLocalFighter  (its line is written where found)      1
//   Playing         nothing                                0
int endOfGame(GameEnd why);

// Makes SIGINT and SIGTERM only note a request to end; the idle passes see
// stopRequested() and return GameEnd::QuitAsked. Call first thing in main.
void installStopSignals();
// True once SIGINT or SIGTERM arrived.
bool stopRequested();
// For tests: forgets a SIGINT or SIGTERM that arrived.
void clearStopRequestForTest();

// ---------------------------------------------------------------------------
// Data folder
// ---------------------------------------------------------------------------

// The running program's own path (from /proc/self/exe); empty when unknown.
std::string programPath();

// The folders after the working directory where the data may stand, in the
// order they are tried: "data" beside the program at exePath (the build),
// "../share/maze" beside it (an installation under a prefix), then "maze"
// in each absolute folder of xdgDataDirs (colon-separated; null or empty
// means /usr/local/share:/usr/share).
std::vector<std::string> dataFolderCandidates(const std::string& exePath, const char* xdgDataDirs);

// Makes a folder that holds kMapFileName the working directory, before
// anything is read: the current one when it has the level (silently); else
// the first of dataFolderCandidates(exePath, $XDG_DATA_DIRS) that has it,
// writing "Data folder: <path>" on standard output. When none has it,
// writes one line on the error stream (every place it looked, how to start
// `program`) and returns false.
bool enterDataFolder(const std::string& exePath, const char* program);

// ---------------------------------------------------------------------------
// Saved settings
// ---------------------------------------------------------------------------

// The player's choices kept from one start to the next, in the text file
// settingsPath(): a first line "# maze settings..." and then `name = value`
// lines: sound = on|off, detail = 1..9 (the menu's levels), window =
// WIDTHxHEIGHT (pixels), fullscreen = yes|no, name = the player's name.
// Textures and map lighting are not kept: every game starts with them as
// the game always has.
constexpr int kMinSavedWindow = 100;           // pixels, each side
constexpr int kMaxSavedWindow = 16384;
constexpr size_t kMaxSavedNameLength = 32;     // bytes
constexpr size_t kMaxSettingsFileSize = 4096;  // a larger file is not ours

struct Settings {
    bool soundOn = false;
    int32_t detailLevel = 4;          // 0 most detailed .. 8 least (options.detailLevel)
    int32_t windowWidth = 0;          // pixels; 0: the game's own size
    int32_t windowHeight = 0;
    bool fullscreen = false;
    std::string playerName;           // empty: none chosen
};

// $XDG_CONFIG_HOME/maze/settings, else $HOME/.config/maze/settings (only
// absolute folders count); empty when neither is set.
std::string settingsPath();

// Reads settings text whole into `out`; returns "" on success, else the
// first fault ("line 3: detail must be ...", "not a maze settings file")
// and leaves `out` alone. Names this version does not know are passed over.
std::string parseSettings(const std::string& text, Settings& out);

// The file's text for `s`, which parseSettings reads back to `s`.
std::string formatSettings(const Settings& s);

// At start: `out` becomes the file's settings (true), or the defaults
// (false): silently when there is no file yet, with one warning line
// naming the file and the fault when it is unreadable, too large, damaged
// or another program's.
bool readSettings(const std::string& path, Settings& out);

// Writes `s` to `path` atomically (a new file, synced, renamed over the
// old), making its folders first. On failure the old file is as it was, no
// partial file is left, and `error` says why.
bool writeSettings(const std::string& path, const Settings& s, std::string& error);

// ---------------------------------------------------------------------------
// The scoreboard and the event feed as players read them (world/scoreboard.cpp)
// ---------------------------------------------------------------------------

// A fighter's state in the scoreboard's words.
constexpr const char* kScoreInPlay = "in play";
constexpr const char* kScoreDestroyed = "destroyed";
constexpr const char* kScoreProtected = "protected";

// One row: a fighter present in the game (not Absent).
struct ScoreboardRow {
    int32_t fighter = 0;            // index in fighterList
    char name[kPlayerNameMax + 1] = {};  // printable ASCII; "player N" when it has none
    int32_t score = 0;              // prey destroyed
    int32_t fightersDestroyed = 0;
    int32_t deaths = 0;
    char ping[12] = {};             // ms as digits; "-" unknown
    const char* state = kScoreInPlay;  // one of kScore*
    bool local = false;             // the row of this process's player
};

// The table of one frame: no allocation, at most kMaxFighterStarts rows.
struct Scoreboard {
    ScoreboardRow rows[kMaxFighterStarts];
    int32_t rowCount = 0;
    char clock[32] = {};            // "round 3:05", "round -:--" when unknown
    // While a round is over: "round over: alice wins with 7 - next round in
    // 8 s"; empty otherwise.
    char banner[96] = {};
};

// A fighter's name as shown: its own when it holds printable ASCII (other
// bytes, from a damaged body, are left out), else "player N", N the index.
// `out` holds kPlayerNameMax + 1 bytes.
void fighterDisplayName(const GameState& g, int32_t fighter, char* out);

// The rows sorted by score (more first), then fewer deaths, then the lower
// fighter number; the local player's row marked. The server's own player
// (fighter 0) has a ping of 0; others "-" while the server has not measured
// them (a plain server never does).
Scoreboard buildScoreboard(const GameState& g, int32_t localFighter);

// The scoreboard shows while Tab is held and, by itself, while a round is over.
bool scoreboardShown(const GameState& g, const HudState& h);

// Drops the feed's lines older than kFeedShowMs at nowMs (the pass clock,
// which wraps each minute), keeping the rest in order.
void expireFeed(HudState& h, int32_t nowMs);
