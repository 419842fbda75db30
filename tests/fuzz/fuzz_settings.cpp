// Fuzzes the settings reader: any bytes read safely, a file it takes holds
// only values in range, and writing what it took reads back the same.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "world/world.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Settings s;
    if (!parseSettings(std::string(reinterpret_cast<const char*>(data), size), s).empty()) return 0;
    if (s.detailLevel < 0 || s.detailLevel > 8 || s.playerName.size() > kMaxSavedNameLength) std::abort();
    if ((s.windowWidth != 0 || s.windowHeight != 0) &&
        (s.windowWidth < kMinSavedWindow || s.windowWidth > kMaxSavedWindow || s.windowHeight < kMinSavedWindow ||
         s.windowHeight > kMaxSavedWindow))
        std::abort();
    Settings again;
    if (!parseSettings(formatSettings(s), again).empty()) std::abort();
    if (again.soundOn != s.soundOn || again.detailLevel != s.detailLevel || again.windowWidth != s.windowWidth ||
        again.windowHeight != s.windowHeight || again.fullscreen != s.fullscreen || again.playerName != s.playerName)
        std::abort();
    return 0;
}
