// level.cpp -- the level file reader, light placement, hidden faces and the
// creation of the fighters.
//
// The file is a stream of whitespace-separated numbers; line breaks carry no
// meaning. Reading is sticky: once a token is missing or malformed, every
// later target stays 0, as a failed formatted stream read would leave it.
#include "base/log.h"
#include "base/file_read.h"
#include "world/world.h"

#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <limits>
#include <new>

namespace {

// Token reader over the whole file text. Reads past the end, or of a token
// that is not a complete number of the wanted type, set `failed` and yield 0.
struct TokenReader {
    const std::string& text;
    const char* fileName = kMapFileName;  // in the lines it writes
    size_t at = 0;
    bool failed = false;
    bool quiet = false;  // the caller has already said why nothing can be read, or says it itself
    int tokensRead = 0;
    std::string fault{};  // the first failure, in a few words ("" while none)

    bool nextToken(std::string& out) {
        while (at < text.size() && std::isspace(static_cast<unsigned char>(text[at]))) ++at;
        if (at >= text.size()) return false;
        const size_t start = at;
        while (at < text.size() && !std::isspace(static_cast<unsigned char>(text[at]))) ++at;
        out.assign(text, start, at - start);
        return true;
    }

    int32_t readInt() {
        if (failed) return 0;
        std::string tok;
        if (!nextToken(tok)) return fail("the file ends early", tok);
        errno = 0;
        char* end = nullptr;
        const long long v = std::strtoll(tok.c_str(), &end, 10);
        if (end == tok.c_str() || *end != '\0') return fail("not an integer", tok);
        if (errno == ERANGE || v > std::numeric_limits<int32_t>::max() ||
            v < std::numeric_limits<int32_t>::min())
            return fail("integer out of range", tok);
        ++tokensRead;
        return static_cast<int32_t>(v);
    }

    float readFloat() {
        if (failed) return 0.0f;
        std::string tok;
        if (!nextToken(tok)) return static_cast<float>(fail("the file ends early", tok));
        errno = 0;
        char* end = nullptr;
        const float v = std::strtof(tok.c_str(), &end);
        if (end == tok.c_str() || *end != '\0') return static_cast<float>(fail("not a number", tok));
        // Infinities, NaNs and overflow would poison every position built on them.
        if (errno == ERANGE && std::fabs(v) > 1.0f) return static_cast<float>(fail("number out of range", tok));
        if (!std::isfinite(v)) return static_cast<float>(fail("number not finite", tok));
        ++tokensRead;
        return v;
    }

    int fail(const char* why, const std::string& tok) {
        failed = true;
        char buf[160];
        if (tok.empty())
            std::snprintf(buf, sizeof buf, "%s after %d numbers", why, tokensRead);
        else
            std::snprintf(buf, sizeof buf, "%s: '%.40s' (number %d)", why, tok.c_str(), tokensRead + 1);
        fault = buf;
        if (quiet) return 0;
        // One line on the error stream for the engineer; the game's own
        // messages stay those of the level format.
        logLine(LogLevel::Error, "%s: %s", fileName, buf);
        return 0;
    }
};

// Reads `count` start triples (row, column, direction) into `table`, keeping
// at most `capacity`; extra entries are read and dropped so the stream stays
// aligned. A list cut short (the file ends, a token is malformed) keeps the
// entries read whole. Returns the number stored.
int readStarts(TokenReader& in, int32_t count, StartPosition* table, int capacity, const char* what) {
    if (count < 0) {
        logLine(LogLevel::Warning, "invalid %s start count %d: none used.", what, count);
        return 0;
    }
    if (count > capacity)
        logLine(LogLevel::Warning, "too many %s starts: %d, only the first %d used.", what, count, capacity);
    int stored = 0;
    for (int32_t i = 0; i < count && !in.failed; ++i) {
        StartPosition s;
        s.row = in.readInt();
        s.column = in.readInt();
        s.direction = in.readInt();
        if (in.failed) {
            // A list cut short keeps the starts it holds: a made-up start of
            // zeros would stand in the corner wall cell.
            logLine(LogLevel::Warning, "map holds only %d of %d %s starts.", stored, count, what);
            break;
        }
        if (stored < capacity) {
            if (s.row < 0 || s.column < 0 || s.row >= maze.rows || s.column >= maze.cols)
                logLine(LogLevel::Warning, "%s start %d outside the maze: row %d, column %d.", what, i, s.row, s.column);
            table[stored++] = s;
        }
    }
    return stored;
}

void readMap(TokenReader& in) {
    MazeMap& m = editMaze();
    const int32_t cols = in.readInt();
    const int32_t rows = in.readInt();
    if (cols > kMaxMazeSize || rows > kMaxMazeSize) {
        logLine(LogLevel::Warning, "input map exceeds max size.");
        // The refused sizes would index past the grid everywhere: keep an
        // empty maze instead.
        m.cols = 0;
        m.rows = 0;
        return;
    }
    if (!in.failed && (cols <= 0 || rows <= 0))
        logLine(LogLevel::Warning, "input map size %d x %d has no cells.", cols, rows);
    m.cols = cols > 0 ? cols : 0;
    m.rows = rows > 0 ? rows : 0;

    m.cellSize = in.readFloat();
    m.wallHeight = in.readFloat();
    m.lightHeight = in.readFloat();

    m.fighterStartCount = readStarts(in, in.readInt(), m.fighterStarts, kMaxFighterStarts, "fighter");
    m.preyStartCount = readStarts(in, in.readInt(), m.preyStarts, kMaxPreyStarts, "prey");

    in.readInt();  // two numbers that the game does not use
    in.readInt();
    m.startBullets = in.readInt();
    m.startMissiles = in.readInt();
    if (m.startMissiles > kMaxMissiles) {
        m.startMissiles = kMaxMissiles;
        logLine(LogLevel::Warning, "max missile number: %d", kMaxMissiles);
    }
    if (m.startBullets < 0 || m.startMissiles < 0) {
        logLine(LogLevel::Warning, "negative ammunition in map: taken as 0.");
        if (m.startBullets < 0) m.startBullets = 0;
        if (m.startMissiles < 0) m.startMissiles = 0;
    }

    for (int r = 0; r < m.rows; ++r)
        for (int c = 0; c < m.cols; ++c) m.cells[r][c] = in.readInt();

    const int32_t declaredLights = in.readInt();
    logLine(LogLevel::Debug, "num of lights: %d", declaredLights);
    if (declaredLights <= 0) {
        logLine(LogLevel::Warning, "invalid lights number.");
        return;
    }
    for (int32_t i = 0; i < declaredLights; ++i) {
        MazeLight light;
        light.col = in.readInt();
        light.row = in.readInt();
        light.side = in.readInt();
        if (in.failed) {
            // A truncated list: keep the lights read so far rather than
            // inventing zero lights for the rest of the count.
            logLine(LogLevel::Warning, "map holds only %d of %d lights.", lightCount(), declaredLights);
            break;
        }
        if (light.col < 0 || light.row < 0 || light.col >= m.cols || light.row >= m.rows)
            logLine(LogLevel::Warning, "light %d outside the maze: column %d, row %d.", i, light.col, light.row);
        if (light.side < 0 || light.side > 3)
            logLine(LogLevel::Warning, "light %d has invalid side %d: placed at its cell's centre.", i, light.side);
        placeLight(light);
        m.lights.push_back(light);
    }
    computeHiddenFaces();
}

// A level read replaces the one before it whole: a second read must not
// keep the first one's lights, starts or cells. The model sizes stay.
void clearLevel() {
    MazeMap& m = editMaze();
    const Vec3 fighter = m.fighterExtent, prey = m.preyExtent, bullet = m.bulletExtent;
    m.~MazeMap();
    new (&m) MazeMap();
    m.fighterExtent = fighter;
    m.preyExtent = prey;
    m.bulletExtent = bullet;
}

// Reads the level text into `maze`; returns what made the reader stop ("" when
// it read every number it looked for).
std::string readMazeMapTokens(const std::string& text, bool quiet, const char* fileName = kMapFileName) {
    clearLevel();
    TokenReader in{text};
    in.fileName = fileName;
    in.quiet = quiet;
    try {
        readMap(in);
    } catch (const std::exception&) {
        logLine(LogLevel::Warning, "error in reading map.");
        return "the reader ran out of memory";
    }
    return in.fault;
}

std::string baseName(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

void readMazeMapText(const std::string& text) { readMazeMapTokens(text, false); }

void readMazeMapFile(const char* path) {
    std::vector<uint8_t> bytes;
    std::string error;
    const FileRead read = readDataFile(path, kMaxLevelFileSize, bytes, error);
    if (read != FileRead::Read) {
        // A file refused for its size leaves the level as a missing one does.
        if (read == FileRead::TooLarge)
            logLine(LogLevel::Error, "%s: level file refused: %s, more than any level needs", path, error.c_str());
        else
            logLine(LogLevel::Error, "%s: level file not read: %s", path, error.c_str());
        readMazeMapTokens(std::string(), true);
        return;
    }
    const std::string name = baseName(path);
    readMazeMapTokens(std::string(bytes.begin(), bytes.end()), false, name.c_str());
}

void readMazeMap() { readMazeMapFile(kMapFileName); }

uint64_t levelDigest(const std::vector<uint8_t>& bytes) {
    // 64-bit FNV-1a: offset basis and prime of the published parameters.
    uint64_t h = 0xCBF29CE484222325ull;
    for (const uint8_t b : bytes) {
        h ^= b;
        h *= 0x100000001B3ull;
    }
    // 0 means "no digest" on the wire.
    return h != 0 ? h : 1;
}

std::string levelPathBeforeDataFolder(const std::string& given) {
    if (given.empty() || given[0] == '/') return given;
    if (given.find('/') == std::string::npos && access(given.c_str(), F_OK) != 0) return given;
    char here[PATH_MAX] = {};
    if (getcwd(here, sizeof here) == nullptr) return given;
    return std::string(here) + "/" + given;
}

std::string loadLevel(const std::string& path, LevelFile& out) {
    out = LevelFile{};
    out.path = path;
    out.name = baseName(path);
    std::vector<uint8_t> bytes;
    std::string error;
    const FileRead read = readDataFile(path.c_str(), kMaxLevelFileSize, bytes, error);
    out.digest = levelDigest(bytes);
    const std::string quoted = "\"" + path + "\"";
    if (read != FileRead::Read) {
        // Nothing to read: an empty level, without the reader's complaints
        // about the numbers an empty text lacks.
        clearLevel();
        return "the level " + quoted + " cannot be used: " + error;
    }
    const std::string fault = readMazeMapTokens(std::string(bytes.begin(), bytes.end()), true, out.name.c_str());
    if (!fault.empty()) return "the level " + quoted + " is damaged: " + fault;
    if (maze.cols <= 0 || maze.rows <= 0) return "the level " + quoted + " is damaged: its maze has no cells";
    return "";
}

void placeLight(MazeLight& light) {
    const float a = static_cast<float>(light.col);
    const float b = static_cast<float>(light.row);
    const float s = maze.cellSize;
    switch (light.side) {
    case 0: light.position[0] = (a + 0.5f) * s; light.position[1] = b * s; break;
    case 1: light.position[0] = (a + 1.0f) * s; light.position[1] = (b + 0.5f) * s; break;
    case 2: light.position[0] = (a + 0.5f) * s; light.position[1] = (b + 1.0f) * s; break;
    case 3: light.position[0] = a * s; light.position[1] = (b + 0.5f) * s; break;
    default:  // no side: the middle of the cell
        light.position[0] = (a + 0.5f) * s;
        light.position[1] = (b + 0.5f) * s;
        break;
    }
    light.position[2] = maze.lightHeight;
    light.position[3] = 1.0f;
}

void computeHiddenFaces() {
    MazeMap& m = editMaze();
    const int rows = m.rows < kMaxMazeSize ? m.rows : kMaxMazeSize;
    const int cols = m.cols < kMaxMazeSize ? m.cols : kMaxMazeSize;
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < cols; ++c)
            for (int s = 0; s < 4; ++s) m.hiddenFaces[r][c][s] = 0;
    if (rows <= 0 || cols <= 0) return;
    // Faces on the outer border of the map can never be seen.
    for (int c = 0; c < cols; ++c) {
        m.hiddenFaces[0][c][0] = 1;
        m.hiddenFaces[rows - 1][c][2] = 1;
    }
    for (int r = 0; r < rows; ++r) {
        m.hiddenFaces[r][0][3] = 1;
        m.hiddenFaces[r][cols - 1][1] = 1;
    }
    // Faces shared by two wall blocks.
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c + 1 < cols; ++c)
            if (m.cells[r][c] == 1 && m.cells[r][c + 1] == 1) {
                m.hiddenFaces[r][c][1] = 1;
                m.hiddenFaces[r][c + 1][3] = 1;
            }
    for (int r = 0; r + 1 < rows; ++r)
        for (int c = 0; c < cols; ++c)
            if (m.cells[r][c] == 1 && m.cells[r + 1][c] == 1) {
                m.hiddenFaces[r][c][2] = 1;
                m.hiddenFaces[r + 1][c][0] = 1;
            }
}

void createFighters() {
    gs.fighterList.clear();
    for (int i = 0; i < maze.fighterStartCount; ++i) {
        Fighter f;
        placeFighterAtStart(f, maze.fighterStarts[i]);
        f.state = FighterState::Absent;
        gs.fighterList.push_back(f);
    }
}
