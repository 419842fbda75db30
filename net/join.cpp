// join.cpp -- joining with a level: the server compares the level digest a
// join request carries with its own and answers with its level; the client
// ends with a line naming both levels when they differ. Also the server's
// events about its players, handed to net.onServerEvent.
#include <cinttypes>
#include <cstdio>
#include <vector>

#include "base/log.h"
#include "net/net.h"
#include "world/world.h"

namespace {

bool sameAddress(NetAddress a, NetAddress b) { return a.ip == b.ip && a.port == b.port; }


// Both sides know their level and the digests differ. A plain peer (no
// digest) is taken on trust: the fighter count is the only check left.
bool levelsDiffer(const JoinExtension& theirs) {
    return theirs.present && theirs.levelDigest != 0 && net.levelDigest != 0 && theirs.levelDigest != net.levelDigest;
}

const char* refusalWord(JoinRefusal why) { return why == JoinRefusal::OtherLevel ? "level" : "full"; }

// The join-refused event, bounded: a client retries its join eight times,
// and anybody can send join requests as fast as the line allows.
void announceRefused(NetAddress from, JoinRefusal why, const JoinExtension& theirs) {
    const int64_t now = net.clockSeconds();
    if (sameAddress(from, net.lastRefused) && now - net.lastRefusedTime < kRefusalRepeatSeconds) return;
    if (now != net.refusalLogSecond) {
        net.refusalLogSecond = now;
        net.refusalsLogged = 0;
    }
    if (net.refusalsLogged >= kRefusalEventsPerSecond) {
        ++net.refusalsUnlogged;
        return;
    }
    ++net.refusalsLogged;
    net.lastRefused = from;
    net.lastRefusedTime = now;
    std::vector<EventField> fields{{"reason", refusalWord(why)}, {"address", addressText(from)}};
    if (why == JoinRefusal::OtherLevel) {
        fields.push_back({"level", theirs.levelName});
        fields.push_back({"digest", levelDigestText(theirs.levelDigest)});
    }
    // Refusals left out for the bound since the last line.
    if (net.refusalsUnlogged > 0) fields.push_back({"unlogged", std::to_string(net.refusalsUnlogged)});
    net.refusalsUnlogged = 0;
    if (net.onServerEvent) net.onServerEvent("join-refused", fields);
}

std::string levelText(const std::string& name, uint64_t digest) {
    return "\"" + name + "\" (digest " + levelDigestText(digest) + ")";
}

// The client's line when the server's level is not ours.
void reportOtherLevel(const JoinExtension& theirs) {
    logLine(LogLevel::Error, "maze: the server plays %s, this client has %s: start the client with the server's level (--map %s)",
            levelText(theirs.levelName, theirs.levelDigest).c_str(), levelText(net.levelName, net.levelDigest).c_str(),
            theirs.levelName.empty() ? "FILE" : theirs.levelName.c_str());
}

}  // namespace

JoinExtension ourJoinExtension() {
    JoinExtension x;
    x.present = true;
    x.levelDigest = net.levelDigest;
    x.levelName = net.levelName;
    x.playerName = net.playerName;
    return x;
}

void writeJoinAnswer(const NetMessage& request, NetAddress from, NetMessage& reply) {
    const JoinExtension theirs = readJoinExtension(request);
    JoinExtension answer = ourJoinExtension();
    int slot = -1;
    if (levelsDiffer(theirs)) answer.refusal = JoinRefusal::OtherLevel;
    else if ((slot = admitClient(from, theirs.present ? theirs.playerName : std::string())) < 0)
        answer.refusal = JoinRefusal::Full;
    // The compact wire, to a client of ours that asks (a plain one's flags
    // are zero); asked again with every join request it repeats.
    if (slot >= 0) {
        net.clients[slot].compact = theirs.present && (theirs.flags & kJoinFlagCompact) != 0;
        net.clients[slot].columns = net.clients[slot].compact && (theirs.flags & kJoinFlagColumns) != 0;
        if (net.clients[slot].compact) answer.flags |= kJoinFlagCompact;
        if (net.clients[slot].columns) answer.flags |= kJoinFlagColumns;
    }
    setMessageKind(reply, slot >= 0 ? NetMessageKind::JoinAccepted : NetMessageKind::JoinRefused);
    writeJoinExtension(reply, answer);
    if (slot < 0) announceRefused(from, answer.refusal, theirs);
}

bool joinAnswerKeepsLevel(const NetMessage& answer) {
    const JoinExtension theirs = readJoinExtension(answer);
    if (!levelsDiffer(theirs)) return true;
    reportOtherLevel(theirs);
    return false;
}

void reportJoinRefused(const NetMessage& refused) {
    const JoinExtension theirs = readJoinExtension(refused);
    if (theirs.refusal == JoinRefusal::OtherLevel) {
        reportOtherLevel(theirs);
        return;
    }
    logLine(LogLevel::Error, "maze: the server is full: every player's place is taken. Try again later.");
}

std::string levelDigestText(uint64_t digest) {
    char buf[24];
    std::snprintf(buf, sizeof buf, "%016" PRIx64, digest);
    return buf;
}

std::string serverNameFrom(const char* hostName) {
    std::string name = hostName != nullptr ? hostName : "";
    if (name.size() <= kNetNameBytes) return name;
    // Cut at a character's first byte, not inside a UTF-8 sequence.
    size_t end = kNetNameBytes;
    while (end > 0 && (static_cast<unsigned char>(name[end]) & 0xC0) == 0x80) --end;
    return name.substr(0, end);
}

std::string playerName(int fighter) { return fighterName(fighter); }

std::string addressText(NetAddress a) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%u.%u.%u.%u:%u", a.ip >> 24, a.ip >> 16 & 0xFF, a.ip >> 8 & 0xFF, a.ip & 0xFF,
                  static_cast<unsigned>(a.port));
    return buf;
}

void serverEvent(const char* event, std::initializer_list<EventField> fields) {
    if (net.onServerEvent) net.onServerEvent(event, std::span<const EventField>(fields.begin(), fields.size()));
}

void announceJoined(int slot) {
    if (slot < 0 || slot >= kMaxClients) return;
    serverEvent("joined", {{"name", playerName(slot + 1)},
                           {"fighter", std::to_string(slot + 1)},
                           {"address", addressText(net.clients[slot].address)}});
}

void announceSlotFreed(int slot, int64_t silentSeconds) {
    if (slot < 0 || slot >= kMaxClients) return;
    serverEvent("slot-freed", {{"name", playerName(slot + 1)},
                               {"fighter", std::to_string(slot + 1)},
                               {"address", addressText(net.clients[slot].address)},
                               {"silent_s", std::to_string(silentSeconds)}});
}

void announceLeft(int slot, const char* reason) {
    if (slot < 0 || slot >= kMaxClients) return;
    serverEvent("left", {{"name", playerName(slot + 1)},
                         {"fighter", std::to_string(slot + 1)},
                         {"address", addressText(net.clients[slot].address)},
                         {"reason", reason}});
}
