// settings.cpp -- the player's saved settings: a short text file of
// `name = value` lines, read at start and rewritten whole when a setting
// changes.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "base/file_read.h"
#include "base/log.h"
#include "world/world.h"

namespace {

constexpr const char* kHeader = "# maze settings";

std::string trimmed(const std::string& s) {
    const size_t a = s.find_first_not_of(" \t\r");
    if (a == std::string::npos) return std::string();
    const size_t b = s.find_last_not_of(" \t\r");
    return s.substr(a, b - a + 1);
}

// A whole decimal number within [lo, hi]; false for anything else.
bool wholeNumber(const std::string& text, long lo, long hi, long& out) {
    if (text.empty() || text.size() > 9) return false;
    long v = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + (c - '0');
    }
    if (v < lo || v > hi) return false;
    out = v;
    return true;
}

// Applies one `name = value` to `s`; returns the fault, or "".
std::string applyLine(const std::string& name, const std::string& value, Settings& s) {
    long n = 0;
    if (name == "sound") {
        if (value != "on" && value != "off") return "sound must be on or off";
        s.soundOn = value == "on";
    } else if (name == "detail") {
        if (!wholeNumber(value, 1, 9, n)) return "detail must be 1 (most detailed) to 9";
        s.detailLevel = static_cast<int32_t>(n - 1);
    } else if (name == "window") {
        const size_t x = value.find('x');
        long w = 0, h = 0;
        if (x == std::string::npos || !wholeNumber(value.substr(0, x), kMinSavedWindow, kMaxSavedWindow, w) ||
            !wholeNumber(value.substr(x + 1), kMinSavedWindow, kMaxSavedWindow, h))
            return "window must be WIDTHxHEIGHT, each " + std::to_string(kMinSavedWindow) + " to " +
                   std::to_string(kMaxSavedWindow);
        s.windowWidth = static_cast<int32_t>(w);
        s.windowHeight = static_cast<int32_t>(h);
    } else if (name == "fullscreen") {
        if (value != "yes" && value != "no") return "fullscreen must be yes or no";
        s.fullscreen = value == "yes";
    } else if (name == "name") {
        if (value.size() > kMaxSavedNameLength) return "name is longer than " + std::to_string(kMaxSavedNameLength);
        for (const unsigned char c : value)
            if (c < 0x20 || c == 0x7F) return "name holds a control character";
        s.playerName = value;
    }
    // A name this version does not know (one a later version wrote) is
    // passed over, so going back a version keeps the rest.
    return std::string();
}

}  // namespace

std::string settingsPath() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config != nullptr && config[0] == '/') return std::string(config) + "/maze/settings";
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] == '/') return std::string(home) + "/.config/maze/settings";
    return std::string();
}

std::string parseSettings(const std::string& text, Settings& out) {
    Settings s;
    size_t start = 0;
    int lineNumber = 0;
    bool headerSeen = false;
    while (start < text.size()) {
        const size_t end = std::min(text.find('\n', start), text.size());
        const std::string line = trimmed(text.substr(start, end - start));
        start = end + 1;
        ++lineNumber;
        if (line.find('\0') != std::string::npos) return "line " + std::to_string(lineNumber) + ": not text";
        if (!headerSeen) {
            // The first line tells our file from another program's.
            if (line.rfind(kHeader, 0) != 0) return "not a maze settings file (no \"" + std::string(kHeader) + "\" line)";
            headerSeen = true;
            continue;
        }
        if (line.empty() || line[0] == '#') continue;
        const size_t eq = line.find('=');
        if (eq == std::string::npos) return "line " + std::to_string(lineNumber) + ": no \"name = value\"";
        if (const std::string fault = applyLine(trimmed(line.substr(0, eq)), trimmed(line.substr(eq + 1)), s);
            !fault.empty())
            return "line " + std::to_string(lineNumber) + ": " + fault;
    }
    if (!headerSeen) return "the file is empty";
    out = s;
    return std::string();
}

std::string formatSettings(const Settings& s) {
    std::string text = std::string(kHeader) + ": the game rewrites this file whenever one of them changes\n";
    text += "sound = " + std::string(s.soundOn ? "on" : "off") + "\n";
    text += "detail = " + std::to_string(s.detailLevel + 1) + "\n";
    if (s.windowWidth > 0 && s.windowHeight > 0)
        text += "window = " + std::to_string(s.windowWidth) + "x" + std::to_string(s.windowHeight) + "\n";
    text += "fullscreen = " + std::string(s.fullscreen ? "yes" : "no") + "\n";
    if (!s.playerName.empty()) text += "name = " + s.playerName + "\n";
    return text;
}

bool readSettings(const std::string& path, Settings& out) {
    out = Settings{};
    if (path.empty()) return false;
    struct stat st {};
    if (stat(path.c_str(), &st) != 0 && errno == ENOENT) return false;  // first start: the defaults, silently
    std::vector<uint8_t> bytes;
    std::string error;
    if (readDataFile(path.c_str(), kMaxSettingsFileSize, bytes, error) != FileRead::Read) {
        logLine(LogLevel::Warning, "%s: settings not read (%s); using the defaults", path.c_str(), error.c_str());
        return false;
    }
    Settings read;
    if (const std::string fault = parseSettings(std::string(bytes.begin(), bytes.end()), read); !fault.empty()) {
        logLine(LogLevel::Warning, "%s: settings not used (%s); using the defaults", path.c_str(), fault.c_str());
        return false;
    }
    out = read;
    return true;
}

bool writeSettings(const std::string& path, const Settings& s, std::string& error) {
    if (path.empty()) {
        error = "no settings folder (neither XDG_CONFIG_HOME nor HOME is set)";
        return false;
    }
    // Make the folders on the way, as `mkdir -p` does.
    for (size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1))
        if (mkdir(path.substr(0, slash).c_str(), 0700) != 0 && errno != EEXIST) {
            error = "cannot make " + path.substr(0, slash) + ": " + std::strerror(errno);
            return false;
        }
    // A new file beside the old, synced, then renamed over it: a reader (or
    // the next start after a crash) sees the old file or the new one, never
    // half of one.
    const std::string temp = path + ".new";
    const std::string text = formatSettings(s);
    const int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) {
        error = "cannot write " + temp + ": " + std::strerror(errno);
        return false;
    }
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<size_t>(n);
    }
    const int writeErrno = errno;
    const bool written = done == text.size() && fsync(fd) == 0;
    if (close(fd) != 0 || !written) {
        error = "cannot write " + temp + ": " + std::strerror(done == text.size() ? errno : writeErrno);
        unlink(temp.c_str());
        return false;
    }
    if (rename(temp.c_str(), path.c_str()) != 0) {
        error = "cannot replace " + path + ": " + std::strerror(errno);
        unlink(temp.c_str());
        return false;
    }
    return true;
}
