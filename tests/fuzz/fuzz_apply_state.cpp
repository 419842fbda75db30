// fuzz_apply_state.cpp -- any 6008 bytes applied as a state body by a client:
// nothing read or written out of bounds, and the world stays one the shell
// can draw (the local fighter exists, the fighter list keeps its size); its
// trailer's effect ids start each explosion at most once.
#include <cstdlib>

#include "../net/fake_net.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    resetGameStateForTest();
    resetNetStateForTest();
    makeWorld(4, 0);
    process.isServer = false;
    process.localFighterIndex = 1;
    NetMessage body;
    std::memcpy(body.bytes, data, size < sizeof body.bytes ? size : sizeof body.bytes);
    // Steer some inputs to the agreeing fighter count, where most code runs.
    if (size > 0 && (data[0] & 1)) {
        StateHeader h = readStateHeader(body);
        h.fighters = 4;
        writeStateHeader(body, h);
    }
    applyState(body);
    StateSnapshot parsed;
    if (parseStateSnapshot(body, parsed)) {
        // Compared with an earlier body the input also chooses.
        net.haveSnapshot = size > 1 && (data[1] & 1);
        net.appliedSeq = parsed.bodySeq ^ 0x80000000u;
        net.appliedClockMs = static_cast<int32_t>(~static_cast<uint32_t>(parsed.serverClockMs));
        // With room for every event, a second look starts none of them again.
        const int all = kMaxEntryCount + kMaxEffectRepeats;
        startSnapshotEffects(parsed, snapshotIsNewer(parsed), all);
        const int again = startSnapshotEffects(parsed, snapshotIsNewer(parsed), all);
        if (parsed.hasSeq && again != 0) std::abort();
        if (explosionCount() > kMaxExplosions) std::abort();
    }
    applyState(body);
    if (fighterCount() != 4) std::abort();
    if (process.localFighterIndex < 0 || process.localFighterIndex >= fighterCount()) std::abort();
    if (preyCount() > kMaxEntryCount || bulletCount() > kMaxEntryCount) std::abort();
    return 0;
}
