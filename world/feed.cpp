// feed.cpp -- what happened: events found by comparing the world before and
// after a pass, the players' feed lines and the operator's event words.
#include <algorithm>
#include <cstdio>

#include "world/world.h"

WorldPicture pictureOfWorld() {
    WorldPicture w;
    for (int i = 0; i < fighterCount(); ++i) {
        const Fighter& f = gs.fighterList[i];
        FighterPicture p;
        // A client cannot tell a destroyed fighter from an absent one by the
        // body's entries; our server names every fighter that is present.
        p.present = process.isServer ? f.state != FighterState::Absent : f.name[0] != '\0';
        p.inPlay = f.state == FighterState::InPlay;
        p.deaths = f.deaths;
        p.score = f.score;
        p.destroyedBy = f.destroyedBy;
        p.name = fighterName(i);
        w.fighters.push_back(p);
    }
    w.roundElapsedMs = gs.round.elapsedMs;
    w.roundOver = gs.round.over;
    w.roundWinner = gs.round.winner;
    return w;
}

std::vector<GameEvent> eventsBetween(const WorldPicture& before, const WorldPicture& after) {
    std::vector<GameEvent> out;
    const bool newRound = (before.roundOver && !after.roundOver) || after.roundElapsedMs < before.roundElapsedMs;
    const size_t n = std::min(before.fighters.size(), after.fighters.size());
    for (size_t i = 0; i < n; ++i) {
        const FighterPicture& a = before.fighters[i];
        const FighterPicture& b = after.fighters[i];
        GameEvent e;
        e.fighter = static_cast<int>(i);
        e.name = b.present ? b.name : a.name;
        if (!a.present && b.present) {
            e.kind = GameEventKind::Joined;
            out.push_back(e);
            continue;
        }
        if (a.present && !b.present) {
            e.kind = GameEventKind::Left;
            out.push_back(e);
            continue;
        }
        if (!b.present || newRound) continue;
        for (int32_t k = a.score; k < b.score; ++k) {
            e.kind = GameEventKind::PreyDestroyed;
            out.push_back(e);
        }
        if (b.deaths > a.deaths) {
            e.kind = GameEventKind::Destroyed;
            e.by = b.destroyedBy;
            e.byName = b.destroyedBy == kDestroyedByPrey ? "a prey"
                       : b.destroyedBy >= 0 && static_cast<size_t>(b.destroyedBy) < after.fighters.size()
                           ? after.fighters[b.destroyedBy].name
                           : "something";
            out.push_back(e);
        } else if (!a.inPlay && b.inPlay) {
            e.kind = GameEventKind::Respawned;
            out.push_back(e);
        }
    }
    if (!before.roundOver && after.roundOver) {
        GameEvent e;
        e.kind = GameEventKind::RoundOver;
        e.fighter = after.roundWinner;
        if (e.fighter >= 0 && static_cast<size_t>(e.fighter) < after.fighters.size()) {
            e.name = after.fighters[e.fighter].name;
            e.score = after.fighters[e.fighter].score;
        }
        out.push_back(e);
    }
    if (newRound) {
        GameEvent e;
        e.kind = GameEventKind::RoundStarted;
        out.push_back(e);
    }
    return out;
}

std::string feedText(const GameEvent& e) {
    switch (e.kind) {
    case GameEventKind::Joined: return e.name + " joined";
    case GameEventKind::Left: return e.name + " left";
    case GameEventKind::Destroyed: return e.name + " was destroyed by " + e.byName;
    case GameEventKind::Respawned: return e.name + " is back";
    case GameEventKind::PreyDestroyed: return e.name + " destroyed a prey";
    case GameEventKind::RoundOver:
        return e.fighter >= 0 ? "round over: " + e.name + " wins with " + std::to_string(e.score)
                              : "round over: nobody scored";
    case GameEventKind::RoundStarted: return "a new round starts";
    }
    return "";
}

const char* eventWord(const GameEvent& e) {
    switch (e.kind) {
    case GameEventKind::Joined: return "joined";
    case GameEventKind::Left: return "left";
    case GameEventKind::Destroyed: return "destroyed";
    case GameEventKind::Respawned: return "respawned";
    case GameEventKind::PreyDestroyed: return "prey-destroyed";
    case GameEventKind::RoundOver: return "round-over";
    case GameEventKind::RoundStarted: return "round-started";
    }
    return "";
}

void pushFeedLine(const std::string& text) {
    if (hud.feedCount >= kFeedLines) {
        for (int i = 1; i < kFeedLines; ++i) hud.feed[i - 1] = hud.feed[i];
        hud.feedCount = kFeedLines - 1;
    }
    HudState::FeedLine& line = hud.feed[hud.feedCount++];
    std::snprintf(line.text, sizeof line.text, "%s", text.c_str());
    line.setMs = process.clockNowMs;
}

void expireFeedLines() {
    int kept = 0;
    for (int i = 0; i < hud.feedCount; ++i)
        if (clockElapsedMs(hud.feed[i].setMs, process.clockNowMs) < kFeedShowMs) hud.feed[kept++] = hud.feed[i];
    hud.feedCount = kept;
}
