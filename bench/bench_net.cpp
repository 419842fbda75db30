// bench_net.cpp -- the server's per-pass network cost: packing the world into
// a state body, and a client applying it, beside a plain copy of the same
// 6008 bytes as the floor.
#include <benchmark/benchmark.h>

#include <cstring>

#include <cmath>
#include <vector>

#include "net/net.h"
#include "prey/prey.h"
#include "world/world.h"

namespace {

// The shipped level's population: 9 fighters, 16 prey, a volley of bullets.
void busyWorld() {
    resetGameStateForTest();
    editMaze().cols = editMaze().rows = 28;
    editMaze().cellSize = 8.0f;
    editMaze().fighterStartCount = 9;
    for (int i = 0; i < 9; ++i) editMaze().fighterStarts[i] = StartPosition{1 + 2 * (i % 3), 1 + 2 * (i / 3), 1};
    editMaze().preyStartCount = 16;
    for (int i = 0; i < 16; ++i) editMaze().preyStarts[i] = StartPosition{2 + i, 10, 2};
    createFighters();
    resetGame();
    gs.bulletList.resize(40);
}

void BM_MemcpyStateSize(benchmark::State& state) {
    NetMessage a, b;
    for (auto _ : state) {
        std::memcpy(b.bytes, a.bytes, kNetMessageSize);
        benchmark::DoNotOptimize(b.bytes);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_MemcpyStateSize);

void BM_PackState(benchmark::State& state) {
    busyWorld();
    NetMessage body;
    for (auto _ : state) {
        packState(body);
        benchmark::DoNotOptimize(body.bytes);
    }
}
BENCHMARK(BM_PackState);

void BM_ApplyState(benchmark::State& state) {
    busyWorld();
    NetMessage body;
    packState(body);
    for (auto _ : state) {
        applyState(body);
        benchmark::DoNotOptimize(gs.preyList.data());
    }
}
BENCHMARK(BM_ApplyState);

// A second of that game with everyone shooting: 100 bodies as the server
// sends them, one a pass.
const std::vector<NetMessage>& busyGameBodies() {
    static const std::vector<NetMessage> bodies = [] {
        busyWorld();
        // Only the shots fired below fly: busyWorld's 40 bullets stand still
        // at the origin and would cost the codec nothing.
        gs.bulletList.clear();
        for (Fighter& f : gs.fighterList) f.state = FighterState::InPlay;
        std::vector<NetMessage> out;
        for (int i = 0; i < 100; ++i) {
            for (size_t k = 0; k < gs.fighterList.size(); ++k) {
                Fighter& f = gs.fighterList[k];
                const float a = 0.05f * static_cast<float>(i) + static_cast<float>(k);
                f.dir = Vec3{std::cos(a), std::sin(a), 0};
                if ((i + k) % 5 == 0) spawnBullet(static_cast<int>(k), f.pos, f.dir, ShooterKind::MissileShot);
            }
            worldStep(updatePrey);
            process.clockNowMs += 10;
            NetMessage body;
            packState(body);
            setMessageYourFighter(body, 1);
            out.push_back(body);
        }
        return out;
    }();
    return bodies;
}

// The base a client on a LAN acknowledged: three bodies back (a 20 ms
// acknowledgement and the way there).
constexpr size_t kBaseLag = 3;

using BodyEncoder = int (*)(const NetMessage*, const NetMessage&, uint8_t*, int);

// Encoding one body for one compact client; the counter is the bytes a
// second such a client receives (100 bodies, each with the 13-byte header).
void encodeBench(benchmark::State& state, BodyEncoder encode) {
    const std::vector<NetMessage>& bodies = busyGameBodies();
    uint8_t out[kMaxCodedBodySize];
    size_t i = kBaseLag, bytes = 0, count = 0;
    for (auto _ : state) {
        const int n = encode(&bodies[i - kBaseLag], bodies[i], out, sizeof out);
        benchmark::DoNotOptimize(out);
        bytes += static_cast<size_t>(n + kCompactHeaderSize);
        ++count;
        i = i + 1 < bodies.size() ? i + 1 : kBaseLag;
    }
    state.counters["bytes_per_s_to_a_client"] = static_cast<double>(bytes) / static_cast<double>(count) * 100.0;
    // Bullets in flight, the bodies' least compressible part: each moves every step.
    double bullets = 0;
    for (const NetMessage& b : bodies) bullets += readStateHeader(b).bullets;
    state.counters["bullets_in_flight"] = bullets / static_cast<double>(bodies.size());
}

void decodeBench(benchmark::State& state, BodyEncoder encode) {
    const std::vector<NetMessage>& bodies = busyGameBodies();
    std::vector<std::vector<uint8_t>> coded;
    for (size_t i = kBaseLag; i < bodies.size(); ++i) {
        std::vector<uint8_t> c(kMaxCodedBodySize);
        c.resize(static_cast<size_t>(encode(&bodies[i - kBaseLag], bodies[i], c.data(), kMaxCodedBodySize)));
        coded.push_back(c);
    }
    NetMessage out;
    size_t i = 0;
    for (auto _ : state) {
        const bool ok = decodeBody(&bodies[i], coded[i].data(), static_cast<int>(coded[i].size()), out);
        benchmark::DoNotOptimize(ok);
        benchmark::DoNotOptimize(out.bytes);
        i = i + 1 < coded.size() ? i + 1 : 0;
    }
}

// Today's coding (form 3: the body rearranged by fields against the base).
void BM_EncodeBody(benchmark::State& state) { encodeBench(state, encodeBody); }
BENCHMARK(BM_EncodeBody);
void BM_DecodeBody(benchmark::State& state) { decodeBench(state, encodeBody); }
BENCHMARK(BM_DecodeBody);
// The last version's (form 2: the whole body with the base as zstd's prefix).
void BM_EncodeBodyPrefix(benchmark::State& state) { encodeBench(state, encodeBodyPrefix); }
BENCHMARK(BM_EncodeBodyPrefix);
void BM_DecodeBodyPrefix(benchmark::State& state) { decodeBench(state, encodeBodyPrefix); }
BENCHMARK(BM_DecodeBodyPrefix);

// A full body on its own: what a client that acknowledged nothing recent
// gets, and a recording's seek point.
void BM_EncodeFullBody(benchmark::State& state) {
    const std::vector<NetMessage>& bodies = busyGameBodies();
    uint8_t out[kMaxCodedBodySize];
    size_t i = 0, bytes = 0, count = 0;
    for (auto _ : state) {
        bytes += static_cast<size_t>(encodeBody(nullptr, bodies[i], out, sizeof out));
        ++count;
        benchmark::DoNotOptimize(out);
        i = i + 1 < bodies.size() ? i + 1 : 0;
    }
    state.counters["bytes"] = static_cast<double>(bytes) / static_cast<double>(count);
}
BENCHMARK(BM_EncodeFullBody);

}  // namespace
