// data_folder.cpp -- finding the folder with the level and the generated
// assets, so the game starts from any working directory.
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <string>

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

bool enterDataFolder(const std::string& exePath, const char* program) {
    if (hasLevel("")) return true;
    const std::string here = currentFolder();
    const size_t slash = exePath.rfind('/');
    const std::string beside = slash == std::string::npos ? std::string() : exePath.substr(0, slash) + "/data";
    if (!beside.empty() && hasLevel(beside) && chdir(beside.c_str()) == 0) {
        logLine(LogLevel::Info, "Data folder: %s", beside.c_str());
        return true;
    }
    logLine(LogLevel::Error,
            "%s: no \"%s\" in %s%s%s; build the game (bash tools/setup.sh) and start it "
            "from its data folder: cd build/data && ../%s",
            program, kMapFileName, here.c_str(), beside.empty() ? "" : " nor in ", beside.c_str(), program);
    return false;
}
