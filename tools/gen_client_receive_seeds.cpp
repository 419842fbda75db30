// gen_client_receive_seeds.cpp -- writes the starting corpus of the client's
// receive fuzz target into the folder named on the command line: state
// bodies of a nine-fighter server, in order, late, repeated and as probes,
// and among them strangers' bodies (another level, a number far ahead,
// floods of explosions with the pause flag), each behind the target's
// 3-byte prefix (sender byte: 0 the server, 2 another port, 3 another
// address; full size).
#include <cstdio>
#include <string>
#include <vector>

#include "net/net.h"
#include "world/world.h"
#include "tools/write_file.h"

namespace {

// A small open floor with `fighters` fighters in play and two prey.
void smallWorld(int fighters) {
    resetGameStateForTest();
    editMaze().cols = editMaze().rows = 10;
    editMaze().cellSize = 8.0f;
    editMaze().startBullets = 250;
    editMaze().startMissiles = 10;
    editMaze().fighterStartCount = fighters;
    for (int i = 0; i < fighters; ++i) editMaze().fighterStarts[i] = StartPosition{1 + i % 8, 1, 1};
    editMaze().preyStartCount = 2;
    for (int i = 0; i < 2; ++i) editMaze().preyStarts[i] = StartPosition{2 + i, 5, 2};
    createFighters();
    resetGame();
    for (Fighter& f : gs.fighterList) f.state = FighterState::InPlay;
}

// Body number `seq` for fighter 1: `effects` explosions, paused when asked.
NetMessage body(uint32_t seq, int fighters, int effects, bool paused, NetMessageKind kind = NetMessageKind::StateUpdate) {
    smallWorld(fighters);
    gs.fighterList[0].pos.x = 10.0f + static_cast<float>(seq % 20);
    gs.gamePaused = paused;
    for (int e = 0; e < effects; ++e) gs.effectEvents.push_back(EffectEvent{EffectKind::Large, 12.0f, 12.0f, 1.5f});
    net.bodySeq = seq - 1;
    NetMessage m;
    packState(m);
    setMessageKind(m, kind);
    setMessageYourFighter(m, 1);
    return m;
}

struct Seed {
    std::vector<uint8_t> bytes;
    void add(uint8_t sender, const NetMessage& m) {
        bytes.insert(bytes.end(), {sender, 0, 0});
        bytes.insert(bytes.end(), m.bytes, m.bytes + kNetMessageSize);
    }
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: gen_client_receive_seeds <output folder>\n");
        return 2;
    }
    const std::string folder = argv[1];
    // The server alone: in order with a few explosions, one late, one
    // repeated, a probe, a pause and its end.
    Seed play;
    for (uint32_t seq = 1; seq <= 12; ++seq) play.add(0, body(seq, 9, seq % 3, false));
    play.add(0, body(5, 9, 0, false));
    play.add(0, body(12, 9, 0, false, NetMessageKind::KeepAliveProbe));
    for (uint32_t seq = 13; seq <= 16; ++seq) play.add(0, body(seq, 9, 0, seq < 15));
    // Strangers among the server's bodies.
    Seed strangers;
    uint32_t seq = 1;
    for (const uint8_t who : {2, 3}) {
        strangers.add(0, body(seq++, 9, 1, false));
        strangers.add(who, body(seq, 3, 0, false));
        strangers.add(who, body(0x7FFFFFFF, 9, 0, false));
        for (int k = 0; k < 5; ++k) strangers.add(who, body(0x80000000u + k, 9, 255, true));
        strangers.add(0, body(seq++, 9, 0, false));
    }
    // The server's own address and port on hostile bodies (a forged
    // sender): far ahead, floods of explosions, paused and not.
    Seed forged;
    forged.add(0, body(1, 9, 0, false));
    forged.add(0, body(1 + kMaxBodySeqAhead + 1, 9, 0, false));
    for (uint32_t k = 2; k < 10; ++k) forged.add(0, body(k, 9, 255, k % 2 == 0));
    const bool ok = writeFile(folder + "/play", play.bytes) && writeFile(folder + "/strangers", strangers.bytes) &&
                    writeFile(folder + "/forged", forged.bytes);
    return ok ? 0 : 1;
}
