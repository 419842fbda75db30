// data_folder.cpp -- finding the folder with the level and the generated
// assets, so the game starts from any working directory.
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "base/log.h"
#include "world/world.h"

namespace {

bool hasLevel(const std::string& folder) {
    const std::string path = folder.empty() ? std::string(kMapFileName) : folder + "/" + kMapFileName;
    return access(path.c_str(), R_OK) == 0;
}

std::string currentFolder() {
    char buf[PATH_MAX] = {};
    return getcwd(buf, sizeof buf) != nullptr ? std::string(buf) : std::string(".");
}

}  // namespace

std::string programPath() {
    char buf[PATH_MAX] = {};
    const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    return n > 0 ? std::string(buf, static_cast<size_t>(n)) : std::string();
}

std::vector<std::string> dataFolderCandidates(const std::string& exePath, const char* xdgDataDirs) {
    std::vector<std::string> found;
    const size_t slash = exePath.rfind('/');
    if (slash != std::string::npos) {
        const std::string bin = exePath.substr(0, slash);
        // The build keeps the data beside the programs; an installation
        // under a prefix keeps it in <prefix>/share/maze beside <prefix>/bin.
        found.push_back(bin + "/data");
        found.push_back(bin + "/../share/maze");
    }
    // The desktop's data folders, by the XDG rule: unset or empty means
    // /usr/local/share and /usr/share; only absolute entries count.
    const std::string dirs = xdgDataDirs != nullptr && *xdgDataDirs != '\0' ? xdgDataDirs : "/usr/local/share:/usr/share";
    for (size_t start = 0; start <= dirs.size();) {
        const size_t colon = std::min(dirs.find(':', start), dirs.size());
        std::string dir = dirs.substr(start, colon - start);
        while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
        if (!dir.empty() && dir[0] == '/') found.push_back((dir == "/" ? "" : dir) + "/maze");
        start = colon + 1;
    }
    return found;
}

bool enterDataFolder(const std::string& exePath, const char* program) {
    if (hasLevel("")) return true;
    const std::string here = currentFolder();
    const std::vector<std::string> candidates = dataFolderCandidates(exePath, std::getenv("XDG_DATA_DIRS"));
    for (const std::string& folder : candidates) {
        if (!hasLevel(folder) || chdir(folder.c_str()) != 0) continue;
        // Say the folder as it is, without "..": the player may look there.
        logLine(LogLevel::Info, "Data folder: %s", currentFolder().c_str());
        return true;
    }
    std::string looked = here;
    for (const std::string& folder : candidates) looked += (&folder == &candidates.back() ? " nor in " : ", ") + folder;
    logLine(LogLevel::Error,
            "%s: no \"%s\" in %s; build the game (bash tools/setup.sh) and start it "
            "from its data folder: cd build/data && ../%s",
            program, kMapFileName, looked.c_str(), program);
    return false;
}
