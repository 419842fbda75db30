// fuzz_apply_state.cpp -- any 6008 bytes applied as a state body by a client:
// nothing read or written out of bounds, and the world stays one the shell
// can draw (the local fighter exists, the fighter list keeps its size).
#include <cstdlib>

#include "../net/fake_net.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    resetGameStateForTest();
    makeWorld(4, 0);
    gs.isServer = false;
    gs.localFighterIndex = 1;
    NetMessage body;
    std::memcpy(body.bytes, data, size < sizeof body.bytes ? size : sizeof body.bytes);
    // Steer some inputs to the agreeing fighter count, where most code runs.
    if (size > 0 && (data[0] & 1)) body.bytes[9] = 4;
    applyState(body);
    StateSnapshot parsed;
    if (parseStateSnapshot(body, parsed)) startSnapshotEffects(parsed, true);
    applyState(body);
    if (fighterCount() != 4) std::abort();
    if (gs.localFighterIndex < 0 || gs.localFighterIndex >= fighterCount()) std::abort();
    if (preyCount() > kMaxEntryCount || bulletCount() > kMaxEntryCount) std::abort();
    return 0;
}
