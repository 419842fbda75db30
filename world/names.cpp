// names.cpp -- players' names: checked where a person gives one, made
// unique where the server hands them out.
#include <algorithm>
#include <cstring>

#include "world/world.h"

namespace {

std::string trimmed(const std::string& s) {
    const size_t a = s.find_first_not_of(' ');
    if (a == std::string::npos) return "";
    return s.substr(a, s.find_last_not_of(' ') - a + 1);
}

bool printable(const std::string& s) {
    for (const char c : s)
        if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) > 0x7E) return false;
    return true;
}

bool nameTaken(int except, const std::string& name) {
    for (int i = 0; i < fighterCount(); ++i)
        if (i != except && gs.fighterList[i].state != FighterState::Absent && name == gs.fighterList[i].name)
            return true;
    return false;
}

}  // namespace

NameCheck checkPlayerName(const std::string& given) {
    NameCheck c;
    const std::string t = trimmed(given);
    if (t.empty()) {
        c.refusal = "a name needs 1 to " + std::to_string(kPlayerNameMax) + " printable characters";
        return c;
    }
    if (!printable(t)) {
        c.refusal = "a name may hold only printable ASCII characters (letters, digits, punctuation, spaces)";
        return c;
    }
    c.name = t;
    if (c.name.size() > static_cast<size_t>(kPlayerNameMax)) {
        c.name = trimmed(c.name.substr(0, kPlayerNameMax));
        c.cut = true;
    }
    return c;
}

std::string fighterName(int i) {
    if (i >= 0 && i < fighterCount() && gs.fighterList[i].name[0] != '\0') {
        // A peer's bytes: shown only up to the field's end.
        const Fighter& f = gs.fighterList[i];
        return std::string(f.name, strnlen(f.name, sizeof f.name));
    }
    return "player " + std::to_string(i);
}

void assignFighterName(int i, const std::string& wanted) {
    if (i < 0 || i >= fighterCount()) return;
    const NameCheck c = checkPlayerName(wanted);
    const std::string base = c.refusal.empty() ? c.name : "player " + std::to_string(i);
    std::string name = base;
    for (int n = 2; nameTaken(i, name) && n <= kMaxFighterStarts + 1; ++n) {
        const std::string suffix = " (" + std::to_string(n) + ")";
        name = trimmed(base.substr(0, kPlayerNameMax - suffix.size())) + suffix;
    }
    Fighter& f = gs.fighterList[i];
    std::memset(f.name, 0, sizeof f.name);
    std::memcpy(f.name, name.data(), std::min(name.size(), static_cast<size_t>(kPlayerNameMax)));
}
