// gen_apply_state_seeds.cpp -- writes the starting corpus of the client's
// state fuzz target into the folder named on the command line: state bodies
// with their trailer (effect ids, events repeated from earlier bodies).
#include <cstdio>
#include <string>
#include <vector>

#include "net/net.h"
#include "world/world.h"
#include "tools/write_file.h"

namespace {

std::vector<uint8_t> bytesOf(const NetMessage& m) { return std::vector<uint8_t>(m.bytes, m.bytes + kNetMessageSize); }

// Three bodies of a 4-fighter world, each with effect events, so the last
// one repeats the first two's in its trailer.
bool stateSeeds(const std::string& folder) {
    gs.fighterList.resize(4);
    gs.preyList.resize(3);
    gs.bulletList.resize(2);
    bool ok = true;
    for (int i = 0; i < 3; ++i) {
        gs.effectEvents = {EffectEvent{EffectKind::Small, 1.0f, 2.0f, 3.0f}, EffectEvent{EffectKind::Large, 4.0f, 5.0f, 6.0f}};
        NetMessage body;
        packState(body);
        setMessageKind(body, i == 1 ? NetMessageKind::KeepAliveProbe : NetMessageKind::StateUpdate);
        setMessageYourFighter(body, 1);
        ok = writeFile(folder + "/body-" + std::to_string(i), bytesOf(body)) && ok;
    }
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: gen_apply_state_seeds <output folder>\n");
        return 2;
    }
    return stateSeeds(argv[1]) ? 0 : 1;
}
