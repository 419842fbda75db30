// scoreboard.cpp -- the scoreboard's rows and lines, and the event feed's
// ageing: what the renderer draws, computed without GL so it can be tested.
#include <algorithm>
#include <cstdio>

#include "world/world.h"

void fighterDisplayName(const GameState& g, int32_t fighter, char* out) {
    int n = 0;
    if (fighter >= 0 && fighter < static_cast<int32_t>(g.fighterList.size())) {
        // The name arrives from the wire: stop at the field's end even
        // without a NUL, and pass over anything that would not print.
        const char* name = g.fighterList[static_cast<size_t>(fighter)].name;
        for (int i = 0; i < kPlayerNameMax && name[i] != '\0'; ++i)
            if (name[i] >= 0x20 && name[i] <= 0x7E) out[n++] = name[i];
    }
    // A name of spaces alone says nothing either.
    bool blank = true;
    for (int i = 0; i < n; ++i) blank = blank && out[i] == ' ';
    if (blank) n = std::snprintf(out, kPlayerNameMax + 1, "player %d", static_cast<int>(fighter));
    out[std::clamp(n, 0, kPlayerNameMax)] = '\0';
}

Scoreboard buildScoreboard(const GameState& g, int32_t localFighter) {
    Scoreboard b;
    const int32_t fighters = std::min(static_cast<int32_t>(g.fighterList.size()), kMaxFighterStarts);
    for (int32_t i = 0; i < fighters; ++i) {
        const Fighter& f = g.fighterList[static_cast<size_t>(i)];
        if (f.state == FighterState::Absent) continue;
        ScoreboardRow& r = b.rows[b.rowCount++];
        r.fighter = i;
        fighterDisplayName(g, i, r.name);
        r.score = f.score;
        r.fightersDestroyed = f.fightersDestroyed;
        r.deaths = f.deaths;
        const int32_t ping = i == 0 ? 0 : f.pingMs;
        if (ping >= 0) std::snprintf(r.ping, sizeof r.ping, "%d", static_cast<int>(ping));
        else std::snprintf(r.ping, sizeof r.ping, "-");
        r.state = f.state != FighterState::InPlay ? kScoreDestroyed
                  : f.protectMs > 0              ? kScoreProtected
                                                 : kScoreInPlay;
        r.local = i == localFighter;
    }
    std::stable_sort(b.rows, b.rows + b.rowCount, [](const ScoreboardRow& x, const ScoreboardRow& y) {
        if (x.score != y.score) return x.score > y.score;
        if (x.deaths != y.deaths) return x.deaths < y.deaths;
        return x.fighter < y.fighter;
    });

    // Whole seconds of the round; a plain server sends no round clock.
    const int32_t seconds = g.round.elapsedMs / 1000;
    if (g.round.elapsedMs > 0)
        std::snprintf(b.clock, sizeof b.clock, "round %d:%02d", static_cast<int>(seconds / 60),
                      static_cast<int>(seconds % 60));
    else
        std::snprintf(b.clock, sizeof b.clock, "round -:--");

    if (g.round.over) {
        // The countdown rounds up: "in 1 s" until the round starts.
        const int32_t next = (std::max(g.round.restartMs, 0) + 999) / 1000;
        const int32_t w = g.round.winner;
        if (w >= 0 && w < static_cast<int32_t>(g.fighterList.size())) {
            char name[kPlayerNameMax + 1];
            fighterDisplayName(g, w, name);
            std::snprintf(b.banner, sizeof b.banner, "round over: %s wins with %d - next round in %d s", name,
                          static_cast<int>(g.fighterList[static_cast<size_t>(w)].score), static_cast<int>(next));
        } else {
            std::snprintf(b.banner, sizeof b.banner, "round over: no winner - next round in %d s",
                          static_cast<int>(next));
        }
    }
    return b;
}

bool scoreboardShown(const GameState& g, const HudState& h) { return h.scoreboardHeld || g.round.over; }

void expireFeed(HudState& h, int32_t nowMs) {
    const int32_t count = std::clamp(h.feedCount, 0, kFeedLines);
    int32_t kept = 0;
    for (int32_t i = 0; i < count; ++i) {
        if (clockElapsedMs(h.feed[i].setMs, nowMs) > kFeedShowMs) continue;
        // The line is drawn as a C string: it ends inside its field.
        h.feed[i].text[kMessageLineSize - 1] = '\0';
        if (kept != i) h.feed[kept] = h.feed[i];
        ++kept;
    }
    for (int32_t i = kept; i < count; ++i) h.feed[i] = HudState::FeedLine{};
    h.feedCount = kept;
}
