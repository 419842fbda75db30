// maze_bot.cpp -- maze-bot: a windowless client built from the game's own
// client code, for tests and load measurements. It joins a server, plays a
// scripted or random key sequence for its fighter, and ends by printing one
// line of key=value figures: state bodies received per second, the share
// applied and those refused as stale, bodies lost, key-to-state latency
// (median and 99th percentile), the longest time its fighter went on moving
// or turning after a held key's release, shots fired beyond the taps, and
// the datagrams dropped for coming from anyone but its server (foreign),
// whether the server granted our compact wire, the bytes received a second
// (every datagram's payload) and compact datagrams refused (--plain speaks
// the plain datagrams only), times its fighter came back into play
// (respawns) and the other fighters' names it received that are not
// "player N" (names_seen).
//
// Usage: maze-bot SERVER[:PORT] [seconds=10 | 10] [mode=script|random|fire] [seed=1]
//                 [map=korvath.map] [port=9899] [report=0] [name=NAME]
// (maze_bot_options.h; each also as --name VALUE, see --help).
// With report=N (seconds), a line of the last N seconds' figures goes to the
// error stream every N seconds: bodies received per second and the server's
// pass rate (from the bodies' sequence numbers), for long runs.
// Latency is measured on keys whose effect a state body shows without doubt:
// an arrow turn (the fighter's heading changes) and a shot (its bullet count
// drops). Moves are played but not timed: a wall may swallow them. After a
// held key's release (a held turn, or a move) the bot waits kAfterRelease
// and notes when its fighter last turned: the stuck-key time, as the player
// sees it (both ways of the network included).
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "base/log.h"
#include "cli/cli.h"
#include "net/bot/maze_bot_options.h"
#include "net/net.h"
#include "net/smoothing.h"
#include "world/world.h"

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point t) {
    return std::chrono::duration<double>(Clock::now() - t).count();
}

enum class Action { TurnLeft, TurnRight, Fire, MoveForward, StrafeRight, MoveBack, HoldTurn };

// Quiet time after a held key's release, to see whether the fighter stops.
constexpr auto kAfterRelease = std::chrono::milliseconds(700);


// The bot's own deterministic generator (the game's generator is the world's).
struct BotRandom {
    uint32_t state;
    uint32_t next() {
        state = state * 1664525u + 1013904223u;
        return state >> 8;
    }
};

// What the bot waits to see, and when it sent the key.
struct Pending {
    bool active = false;
    Action action = Action::TurnLeft;
    Clock::time_point sentAt;
    float heading = 0.0f;
    int32_t bullets = 0;
};

// Lifetime: the whole run; filled by the receive hook and the script.
struct BotRecord {
    Clock::time_point start;
    uint64_t bodies = 0;
    std::vector<int32_t> clockDeltas;  // ms between consecutive bodies
    bool haveClock = false;
    int32_t lastClock = 0;
    Pending pending;
    std::vector<double> latenciesMs;
    int unseen = 0;
    int keysSent = 0;
    // Other fighters: where first seen, and whether they moved since.
    std::vector<float> firstX, firstY;
    std::vector<uint8_t> moved, seenActive;
    int maxBullets = 0;
    bool haveOwn = false;
    FighterEntry own;
    uint64_t newer = 0;
    // The last held key's release: when it was sent, when the fighter last
    // moved or turned since.
    bool watching = false;
    Clock::time_point releasedAt, lastMotion;
    double stuckMsMax = 0.0;
    int releasesWatched = 0;
    // Taps sent and shots seen (bullet count drops between bodies).
    int taps = 0;
    int64_t shotsSeen = 0;
    int effectsMax = 0;
    int explosionsMax = 0;
    uint32_t seq = 0;  // of the newest body
    uint32_t firstSeq = 0;  // of the first numbered body (0: none yet)
    int respawns = 0;       // times its fighter came back into play
    std::set<std::string> namesSeen;  // other fighters' names, "player N" aside
};
BotRecord bot;

bool effectSeen(const Pending& p, const FighterEntry& now) {
    if (p.action == Action::Fire) return now.bullets < p.bullets;
    float d = std::fabs(now.heading - p.heading);
    d = std::fmin(d, 360.0f - d);
    return d > 0.01f;
}

void onState(const StateSnapshot& snapshot, bool newer) {
    const auto now = Clock::now();
    ++bot.bodies;
    if (!newer) return;  // refused as stale: the world never saw it
    ++bot.newer;
    // The trailer's sequence number counts the server's passes.
    if (snapshot.hasSeq) {
        bot.seq = snapshot.bodySeq;
        if (bot.firstSeq == 0) bot.firstSeq = snapshot.bodySeq;
    }
    bot.effectsMax = std::max<int>(bot.effectsMax, static_cast<int>(snapshot.effects.size()));
    const int32_t clockMs = snapshot.serverClockMs;
    if (bot.haveClock) {
        // Any 32-bit stamp may arrive: the difference is taken in 64 bits.
        const int64_t delta = ((static_cast<int64_t>(clockMs) - bot.lastClock) % 60000 + 60000) % 60000;
        if (delta > 0) bot.clockDeltas.push_back(static_cast<int32_t>(delta));  // 0: a probe repeating a body
    }
    bot.haveClock = true;
    bot.lastClock = clockMs;
    bot.maxBullets = std::max<int>(bot.maxBullets, static_cast<int>(snapshot.bullets.size()));

    const int you = snapshot.yourFighter;
    for (int i = 0; i < snapshot.extras.fighterCount && i < kExtrasFighters; ++i) {
        const std::string name(snapshot.extras.fighters[i].name, strnlen(snapshot.extras.fighters[i].name, kPlayerNameMax));
        if (i != you && !name.empty() && name != "player " + std::to_string(i)) bot.namesSeen.insert(name);
    }
    const int fighters = static_cast<int>(snapshot.fighters.size());
    if (static_cast<int>(bot.firstX.size()) < fighters) {
        bot.firstX.resize(fighters, NAN);
        bot.firstY.resize(fighters, NAN);
        bot.moved.resize(fighters, 0);
        bot.seenActive.resize(fighters, 0);
    }
    for (int i = 0; i < fighters; ++i) {
        const FighterEntry& e = snapshot.fighters[i];
        if (i == you) {
            if (bot.haveOwn) {
                if (e.bullets < bot.own.bullets)
                    bot.shotsSeen += static_cast<int64_t>(bot.own.bullets) - e.bullets;
                // Turning tells: a turn is never refused, while a move that
                // another body refused stays pending by the rules and may
                // complete long after its key was released.
                if (bot.watching && e.heading != bot.own.heading) bot.lastMotion = now;
            }
            if (bot.haveOwn && bot.own.active == 0 && e.active != 0) ++bot.respawns;
            bot.own = e;
            bot.haveOwn = true;
            continue;
        }
        if (!e.active) continue;
        bot.seenActive[i] = 1;
        if (std::isnan(bot.firstX[i])) {
            bot.firstX[i] = e.x;
            bot.firstY[i] = e.y;
        } else if (e.x != bot.firstX[i] || e.y != bot.firstY[i]) {
            bot.moved[i] = 1;
        }
    }
    if (bot.pending.active && bot.haveOwn && effectSeen(bot.pending, bot.own)) {
        bot.latenciesMs.push_back(
            std::chrono::duration<double, std::milli>(now - bot.pending.sentAt).count());
        bot.pending.active = false;
    }
}

// Ends the watch of the last release: the fighter's last motion after it.
void endWatch() {
    if (!bot.watching) return;
    bot.watching = false;
    ++bot.releasesWatched;
    if (bot.lastMotion > bot.releasedAt)
        bot.stuckMsMax = std::max(
            bot.stuckMsMax, std::chrono::duration<double, std::milli>(bot.lastMotion - bot.releasedAt).count());
}

void sendKey(int key, bool released, bool special) {
    endWatch();
    sendKeyEvent(key, released, special);
    ++bot.keysSent;
}

// Releases a held key and watches its fighter come to rest.
void releaseHeld(int key) {
    sendKey(key, true, false);
    bot.watching = true;
    bot.releasedAt = bot.lastMotion = Clock::now();
}

// Sends the key whose effect is timed, noting what the fighter looks like now.
void sendMeasured(Action a, int key, bool special) {
    bot.pending.active = true;
    bot.pending.action = a;
    bot.pending.heading = bot.own.heading;
    bot.pending.bullets = bot.own.bullets;
    bot.pending.sentAt = Clock::now();
    sendKey(key, a == Action::Fire, special);
}

double percentile(std::vector<double> v, double q) {
    if (v.empty()) return 0.0;
    std::sort(v.begin(), v.end());
    const size_t i = static_cast<size_t>(std::ceil(q * static_cast<double>(v.size()))) - 1;
    return v[std::min(i, v.size() - 1)];
}

// Bodies missing between consecutive clock values: a gap of n typical
// intervals means n - 1 bodies never arrived.
uint64_t lostByClock() {
    if (bot.clockDeltas.size() < 3) return 0;
    std::vector<int32_t> sorted = bot.clockDeltas;
    std::sort(sorted.begin(), sorted.end());
    const double typical = std::max(1, sorted[sorted.size() / 2]);
    uint64_t lost = 0;
    for (const int32_t d : bot.clockDeltas) {
        const long n = std::lround(d / typical);
        if (d > 1.5 * typical && n > 1) lost += static_cast<uint64_t>(n - 1);
    }
    return lost;
}

}  // namespace

int main(int argc, char** argv) {
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    const cli::Parsed args = cli::parse(kMazeBotCommand, argc, argv);
    if (args.outcome != cli::Outcome::Run) return cli::finish(args);
    if (cli::flag(args, "verbose")) setLogLevel(LogLevel::Debug);
    const std::string server = cli::text(args, "server");
    const double seconds = cli::real(args, "seconds");
    const bool randomMode = cli::choice(args, "mode") == 1;
    // Fire held from the first body on, never turning: fighters that face
    // each other along a corridor destroy each other again and again.
    const bool fireMode = cli::choice(args, "mode") == 2;
    bool fireHeld = false;
    BotRandom rng{static_cast<uint32_t>(cli::integer(args, "seed"))};
    const std::string mapPath = cli::text(args, "map");
    const double reportEvery = cli::real(args, "report");

    setNetworkDefaults();
    net.port = static_cast<uint16_t>(cli::integer(args, "port"));
    process.isServer = false;
    process.localFighterIndex = 1;
    LevelFile level;
    std::string fault;
    {
        // The level's diagnostics are the game's, not the bot's: its one
        // line of figures must stay the only line on standard output. Its
        // errors still reach the error stream.
        const LogLevel before = logLevel();
        setLogLevel(LogLevel::Error);
        fault = loadLevel(mapPath, level);
        createFighters();
        setLogLevel(before);
    }
    if (!fault.empty()) {
        std::fprintf(stderr, "maze-bot: %s\n", fault.c_str());
        return 1;
    }
    if (fighterCount() < 2) {
        std::fprintf(stderr, "maze-bot: the level \"%s\" has no fighter for a client\n", mapPath.c_str());
        return 2;
    }
    net.levelName = level.name;
    net.levelDigest = level.digest;
    net.compactAsk = !cli::flag(args, "plain");
    if (cli::given(args, "name")) {
        const NameCheck c = checkPlayerName(cli::text(args, "name"));
        if (!c.refusal.empty()) {
            std::fprintf(stderr, "maze-bot: name=%s: %s\n", cli::text(args, "name").c_str(), c.refusal.c_str());
            return 2;
        }
        net.playerName = c.name;
    }
    if (!connectToServer(server.c_str())) return -1;
    net.onStateReceived = onState;
    std::fprintf(stderr, "maze-bot: joined %s:%u from local port %u\n", server.c_str(), static_cast<unsigned>(net.port),
                 static_cast<unsigned>(net.transport.localPort(net.netSocket)));

    bot.start = Clock::now();
    const Action script[] = {Action::TurnLeft,  Action::Fire, Action::MoveForward,
                             Action::TurnRight, Action::Fire, Action::StrafeRight,
                             Action::MoveBack,  Action::HoldTurn};
    size_t step = 0;
    Clock::time_point nextAt = Clock::now();
    int heldKey = -1;
    Clock::time_point releaseAt;
    Clock::time_point reportAt = bot.start;
    uint64_t reportBodies = 0;
    uint32_t reportSeq = 0;
    // Ctrl-C or SIGTERM ends the play early; the figures still come.
    installStopSignals();
    int64_t lastPassMs = net.clockMillis();
    while (secondsSince(bot.start) < seconds && !stopRequested()) {
        // The first interval starts with the first body that has a number.
        if (reportSeq == 0 && bot.seq != 0) {
            reportSeq = bot.seq;
            reportAt = Clock::now();
            reportBodies = bot.bodies;
        }
        if (reportEvery > 0.0 && reportSeq != 0 && secondsSince(reportAt) >= reportEvery) {
            const double span = secondsSince(reportAt);
            std::fprintf(stderr, "report t=%.0f rate_hz=%.1f pass_hz=%.1f explosions=%d\n", secondsSince(bot.start),
                         static_cast<double>(bot.bodies - reportBodies) / span,
                         static_cast<double>(bot.seq - reportSeq) / span, explosionCount());
            reportAt = Clock::now();
            reportBodies = bot.bodies;
            reportSeq = bot.seq;
        }
        clientWaitForDatagram(2000);
        // Nothing draws here: explosions advance unseen and finish on time.
        advanceUndrawnExplosions();
        if (!clientReceivePass()) return endOfGame(GameEnd::ServerDied);
        // The bot predicts its own moves as the game does, one step on each
        // beat of the server's pass (a strafe is a distance a step), so its
        // figures count the corrections a player would see.
        const int64_t passMs = net.clockMillis();
        if (passMs - lastPassMs > 10 * kPassPeriodMs) lastPassMs = passMs - kPassPeriodMs;
        for (; passMs - lastPassMs >= kPassPeriodMs; lastPassMs += kPassPeriodMs)
            smoothingPredictPass(lastPassMs + kPassPeriodMs, kPassPeriodMs * 0.001f);
        bot.explosionsMax = std::max(bot.explosionsMax, explosionCount());
        const auto now = Clock::now();
        if (bot.pending.active && now - bot.pending.sentAt > std::chrono::seconds(1)) {
            ++bot.unseen;
            bot.pending.active = false;
        }
        if (heldKey >= 0 && now >= releaseAt) {
            releaseHeld(heldKey);
            heldKey = -1;
            nextAt = now + kAfterRelease;
        }
        if (fireMode) {
            if (bot.haveOwn && !fireHeld) sendKey(' ', false, false);
            fireHeld = fireHeld || bot.haveOwn;
            continue;
        }
        if (!bot.haveOwn || bot.pending.active || heldKey >= 0 || now < nextAt) continue;

        const Action a = randomMode ? script[rng.next() % 8] : script[step++ % 8];
        switch (a) {
        case Action::TurnLeft: sendMeasured(a, kKeyLeftArrow, true); break;
        case Action::TurnRight: sendMeasured(a, kKeyRightArrow, true); break;
        case Action::Fire:
            if (bot.own.bullets <= 0) break;
            // The press fires; its release follows at once and is the timed event.
            sendKey(' ', false, false);
            sendMeasured(a, ' ', false);
            ++bot.taps;
            break;
        case Action::HoldTurn:
            heldKey = rng.next() % 2 ? 'j' : 'l';
            sendKey(heldKey, false, false);
            releaseAt = now + std::chrono::milliseconds(150 + rng.next() % 200);
            break;
        case Action::MoveForward:
        case Action::StrafeRight:
        case Action::MoveBack:
            heldKey = a == Action::MoveForward ? 'i' : a == Action::StrafeRight ? 'f' : 'k';
            sendKey(heldKey, false, false);
            releaseAt = now + std::chrono::milliseconds(150 + rng.next() % 200);
            break;
        }
        nextAt = now + std::chrono::milliseconds(20 + rng.next() % 60);
    }
    if (heldKey >= 0) sendKey(heldKey, true, false);
    if (fireHeld) sendKey(' ', true, false);
    endWatch();

    const double elapsed = secondsSince(bot.start);
    // Numbered bodies count the server's passes exactly; a plain server's
    // clock field only lets gaps be estimated (back-to-back passes blur it).
    const bool numbered = bot.firstSeq != 0 && bot.seq >= bot.firstSeq;
    const uint64_t passes = numbered ? bot.seq - bot.firstSeq + 1 : 0;
    const uint64_t lost = numbered ? (passes > bot.newer ? passes - bot.newer : 0) : lostByClock();
    const double passHz = numbered ? static_cast<double>(passes) / elapsed
                                   : static_cast<double>(bot.clockDeltas.size() + 1 + lost) / elapsed;
    int active = bot.haveOwn ? 1 : 0, moved = 0;
    for (size_t i = 0; i < bot.seenActive.size(); ++i) {
        active += bot.seenActive[i];
        moved += bot.moved[i];
    }
    std::printf(
        "fighter=%d seconds=%.1f received=%llu rate_hz=%.1f server_pass_hz=%.1f lost_clock=%llu "
        "dropped_socket=%u keys_sent=%d latency_samples=%zu latency_ms_median=%.2f "
        "latency_ms_p99=%.2f unseen=%d fighters_seen=%d others_moved=%d bullets_max=%d "
        "applied_share=%.3f stale=%llu releases=%d stuck_ms_max=%.1f taps=%d shots=%lld dup_taps=%lld "
        "effects_max=%d explosions_max=%d foreign=%llu compact=%d bytes_per_s=%.0f compact_refused=%llu "
        "large_corrections=%llu small_corrections=%llu respawns=%d names_seen=%zu\n",
        process.localFighterIndex, elapsed, static_cast<unsigned long long>(bot.bodies),
        static_cast<double>(bot.bodies) / elapsed,
        passHz,
        static_cast<unsigned long long>(lost), net.transport.droppedCount(net.netSocket),
        bot.keysSent, bot.latenciesMs.size(), percentile(bot.latenciesMs, 0.5),
        percentile(bot.latenciesMs, 0.99), bot.unseen, active, moved, bot.maxBullets,
        bot.bodies ? static_cast<double>(net.bodiesApplied) / static_cast<double>(bot.bodies) : 0.0,
        static_cast<unsigned long long>(net.bodiesStale), bot.releasesWatched, bot.stuckMsMax, bot.taps,
        static_cast<long long>(bot.shotsSeen),
        static_cast<long long>(std::max<int64_t>(0, bot.shotsSeen - bot.taps)), bot.effectsMax, bot.explosionsMax,
        static_cast<unsigned long long>(net.datagramsForeign), net.compactGranted ? 1 : 0,
        static_cast<double>(net.bytesReceived) / elapsed, static_cast<unsigned long long>(net.compactRefused),
        static_cast<unsigned long long>(smoothing.largeCorrections),
        static_cast<unsigned long long>(smoothing.smallCorrections), bot.respawns, bot.namesSeen.size());
    return 0;
}
