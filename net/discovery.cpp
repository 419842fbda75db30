// discovery.cpp -- discovery and status queries: the server's answers (from
// its receive path), the round trips it measures for them, and the asking
// side of `maze --find`, `maze --lan` and maze-status. The layout is in
// wire.cpp; every socket call goes through net.transport.
#include "net/discovery.h"

#include <algorithm>
#include <cstring>

#include "base/log.h"
#include "world/world.h"

namespace {

bool sameAddress(NetAddress a, NetAddress b) { return a.ip == b.ip && a.port == b.port; }

void copyText(char* field, size_t cap, const char* text) {
    std::snprintf(field, cap, "%s", text != nullptr ? text : "");
}

// The level's name as players know it: the file's name without its folder.
const char* baseName(const char* path) {
    const char* slash = std::strrchr(path, '/');
    return slash != nullptr ? slash + 1 : path;
}

int64_t secondsSince(int64_t startMs) {
    const int64_t ms = net.clockMillis() - startMs;
    return ms > 0 ? ms / 1000 : 0;
}

uint32_t clampU32(int64_t v) { return static_cast<uint32_t>(std::clamp<int64_t>(v, 0, UINT32_MAX)); }

// The server's own player takes part unless the server runs without one
// (maze-server keeps fighter 0 absent).
bool serverHasOwnPlayer() { return fighterCount() > 0 && gs.fighterList[0].state != FighterState::Absent; }

// Clients the server can seat: a slot each, and a fighter with a start for each.
int clientPlaces() {
    return std::clamp(std::min(fighterCount(), static_cast<int>(maze.fighterStartCount)) - 1, 0, kMaxClients);
}

PlayerStatus playerOf(int fighter, int32_t pingMs) {
    const Fighter& f = gs.fighterList[static_cast<size_t>(fighter)];
    PlayerStatus p;
    p.fighter = static_cast<uint8_t>(fighter);
    p.state = static_cast<uint8_t>(f.state == FighterState::InPlay ? PlayerState::InPlay
                                   : f.state == FighterState::Dead ? PlayerState::Destroyed
                                                     : PlayerState::Absent);
    p.pingMs = static_cast<uint16_t>(std::clamp<int32_t>(pingMs, 0, UINT16_MAX));
    p.score = f.score;
    p.deaths = f.deaths;
    p.name = playerName(fighter);
    return p;
}

// At most kQueryRepliesPerSecond replies in any one second: a reply goes
// only when the one that many replies back is a second old. (A bucket of
// that size refilled at that rate would let twice as many through in the
// second after a quiet spell.)
bool takeReplyTurn(int64_t nowMs) {
    ServerQueryState& q = net.queries;
    if (q.repliesSent >= static_cast<uint64_t>(kQueryRepliesPerSecond) && nowMs - q.replyMs[q.replyNext] < 1000)
        return false;
    q.replyMs[q.replyNext] = nowMs;
    q.replyNext = (q.replyNext + 1) % kQueryRepliesPerSecond;
    ++q.repliesSent;
    return true;
}

// A number that differs from one run to the next, from the clocks, stirred
// by our generator.
uint32_t freshNumber() {
    uint32_t state = static_cast<uint32_t>(net.clockMillis()) ^ static_cast<uint32_t>(net.clockSeconds() * 40503);
    const uint32_t high = static_cast<uint32_t>(randomNextFrom(state));
    const uint32_t low = static_cast<uint32_t>(randomNextFrom(state));
    return high << 17 ^ low << 2 ^ static_cast<uint32_t>(randomNextFrom(state));
}

// Reads every reply waiting on `sock` until deadlineMs; calls take(reply,
// sender, arrival ms) for each well-formed one.
template <class Take>
void collectReplies(int sock, int64_t deadlineMs, Take take) {
    for (;;) {
        const int64_t now = net.clockMillis();
        if (now >= deadlineMs || stopRequested()) return;
        if (net.transport.waitReadable(sock, (deadlineMs - now) * 1000) != 1) continue;
        NetMessage msg;
        NetAddress from;
        const int length = net.transport.receiveFrom(sock, msg.bytes, kNetMessageSize, &from);
        ServerReply reply;
        if (length > 0 && readServerReply(msg, length, reply) && take(reply, from, net.clockMillis())) return;
    }
}

}  // namespace

// ---------------------------------------------------------------------------
// The server's side
// ---------------------------------------------------------------------------

void noteServerStarted() {
    ServerQueryState& q = net.queries;
    q.startedMs = q.roundStartMs = net.clockMillis();
    q.instance = freshNumber();
    copyText(q.name, sizeof q.name, net.serverName.c_str());
    copyText(q.level, sizeof q.level, baseName(net.levelName.empty() ? kMapFileName : net.levelName.c_str()));
}

void noteRoundStart() { net.queries.roundStartMs = net.clockMillis(); }

ServerReply describeServer(bool status) {
    const ServerQueryState& q = net.queries;
    ServerReply r;
    r.status = status;
    r.port = net.port;
    r.instance = q.instance;
    r.uptimeS = clampU32(secondsSince(q.startedMs));
    r.roundS = clampU32(secondsSince(q.roundStartMs));
    r.name = q.name;
    r.level = q.level;
    std::vector<PlayerStatus> players;
    if (serverHasOwnPlayer()) players.push_back(playerOf(0, 0));
    for (int s = 0; s < kMaxClients; ++s)
        if (net.clients[s].inUse && s + 1 < fighterCount()) players.push_back(playerOf(s + 1, net.clients[s].pingMs));
    r.players = static_cast<uint8_t>(players.size());
    r.maxPlayers = static_cast<uint8_t>(clientPlaces() + (serverHasOwnPlayer() ? 1 : 0));
    if (status) r.playerList = std::move(players);
    return r;
}

bool answerServerQuery(const NetMessage& msg, int length, NetAddress from) {
    const NetMessageKind kind = messageKind(msg);
    if (kind != NetMessageKind::DiscoveryQuery && kind != NetMessageKind::DiscoveryReply) return false;
    ServerQueryState& q = net.queries;
    ServerQuery query;
    // A reply is never answered (two servers cannot be set talking to each
    // other), nor a query from our own port (a forged one would have us
    // answer ourselves) or from port 0 (nobody can read the answer).
    if (kind == NetMessageKind::DiscoveryReply || from.port == net.port || from.port == 0 || !readServerQuery(msg, length, query)) {
        ++q.queriesIgnored;
        return true;
    }
    ServerReply reply = describeServer(query.status);
    reply.nonce = query.nonce;
    NetMessage out;
    const int size = writeServerReply(out, reply);
    // Never more bytes back than came in: nobody can use us to amplify.
    if (size <= 0 || size > length) {
        ++q.queriesIgnored;
        return true;
    }
    if (!takeReplyTurn(net.clockMillis())) {
        ++q.queriesLimited;
        return true;
    }
    if (net.netSocket >= 0) net.transport.sendTo(net.netSocket, out.bytes, size, from);
    return true;
}

void timeClientPing(int slot, NetMessageKind kind) {
    if (slot < 0 || slot >= kMaxClients) return;
    ClientSlot& c = net.clients[slot];
    const int64_t now = net.clockMillis();
    if (c.pingProbing) {
        // A client answers every probe at once; the probe went after this
        // pass's receive, so any answer read since is to it (or to a
        // keep-alive probe sent later, which only shortens the measure).
        if (kind == NetMessageKind::KeepAliveAnswer) {
            const int64_t took = now - c.pingProbeMs;
            if (took >= 0) c.pingMs = static_cast<int32_t>(std::min<int64_t>(took, kPingGiveUpMs));
            c.pingProbing = false;
            c.nextPingMs = now + kPingEveryMs;
        } else if (now - c.pingProbeMs > kPingGiveUpMs) {
            // Lost on the way: the next measure starts afresh.
            c.pingProbing = false;
            c.nextPingMs = now;
        }
        return;
    }
    // Only what a client sends in play: a probe right after the join would
    // race the client's own set-up.
    if (kind != NetMessageKind::KeyEvent && kind != NetMessageKind::KeepAliveAnswer) return;
    if (now >= c.nextPingMs) c.pingWanted = true;
}

void sendPingProbes() {
    const int64_t now = net.clockMillis();
    for (int s = 0; s < kMaxClients; ++s) {
        ClientSlot& c = net.clients[s];
        if (!c.pingWanted) continue;
        c.pingWanted = false;
        if (!c.inUse) continue;
        sendProbe(s);
        c.pingProbing = true;
        c.pingProbeMs = now;
    }
}

// ---------------------------------------------------------------------------
// The asking side
// ---------------------------------------------------------------------------

bool findServers(std::vector<FoundServer>& found, uint16_t firstPort, int64_t windowMs) {
    found.clear();
    const char* failed = "socket()";
    const int sock = net.transport.openSocket(false, 0, &failed);
    if (sock < 0) {
        logLine(LogLevel::Error, "maze: cannot open a UDP socket to look for servers: %s failed (%s)", failed,
                std::strerror(net.transport.lastError()));
        return false;
    }
    // Every destination gets a nonce of its own: the reply's nonce gives the
    // time its query went, and a stray or stale reply matches none.
    constexpr int kMaxBroadcasts = 32;
    uint32_t ips[kMaxBroadcasts + 1] = {};
    int ipCount = net.transport.broadcastAddresses != nullptr
                      ? std::clamp(net.transport.broadcastAddresses(ips, kMaxBroadcasts), 0, kMaxBroadcasts)
                      : 0;
    ips[ipCount++] = 0x7F000001u;
    const uint32_t firstNonce = freshNumber();
    std::vector<int64_t> sentMs;
    for (int i = 0; i < ipCount; ++i) {
        for (int p = 0; p < kFindPortCount && firstPort + p <= UINT16_MAX; ++p) {
            NetMessage msg;
            const ServerQuery query{kQueryVersion, false, firstNonce + static_cast<uint32_t>(sentMs.size())};
            const int size = writeServerQuery(msg, query);
            // A network that cannot be reached answers nothing; the others still may.
            net.transport.sendTo(sock, msg.bytes, size, NetAddress{ips[i], static_cast<uint16_t>(firstPort + p)});
            sentMs.push_back(net.clockMillis());
        }
    }
    collectReplies(sock, net.clockMillis() + windowMs, [&](const ServerReply& r, NetAddress from, int64_t at) {
        const uint32_t index = r.nonce - firstNonce;
        if (index >= sentMs.size()) return false;
        const int64_t rtt = at - sentMs[index];
        // One server answers once per address it was asked at (its
        // loopback and its network's broadcast): it is listed once.
        for (FoundServer& f : found) {
            if (f.reply.instance == r.instance && f.reply.port == r.port && f.reply.name == r.name) {
                if (rtt < f.rttMs) f = FoundServer{from, r, rtt};
                return false;
            }
        }
        if (found.size() < static_cast<size_t>(kMaxServersFound)) found.push_back(FoundServer{from, r, rtt});
        return false;
    });
    net.transport.closeSocket(sock);
    std::sort(found.begin(), found.end(), [](const FoundServer& a, const FoundServer& b) {
        return a.address.ip != b.address.ip ? a.address.ip < b.address.ip : a.address.port < b.address.port;
    });
    return true;
}

bool queryServerStatus(NetAddress to, ServerReply& reply, int64_t& rttMs, int tries, int64_t tryMs) {
    const char* failed = "socket()";
    const int sock = net.transport.openSocket(false, 0, &failed);
    if (sock < 0) return false;
    const uint32_t firstNonce = freshNumber();
    std::vector<int64_t> sentMs;
    bool answered = false;
    for (int t = 0; t < tries && !answered && !stopRequested(); ++t) {
        NetMessage msg;
        const int size = writeServerQuery(msg, ServerQuery{kQueryVersion, true, firstNonce + static_cast<uint32_t>(t)});
        net.transport.sendTo(sock, msg.bytes, size, to);
        sentMs.push_back(net.clockMillis());
        // A late answer to an earlier try counts as well.
        collectReplies(sock, net.clockMillis() + tryMs, [&](const ServerReply& r, NetAddress from, int64_t at) {
            const uint32_t index = r.nonce - firstNonce;
            if (!sameAddress(from, to) || !r.status || index >= sentMs.size()) return false;
            reply = r;
            rttMs = at - sentMs[index];
            answered = true;
            return true;
        });
    }
    net.transport.closeSocket(sock);
    return answered;
}

// ---------------------------------------------------------------------------
// Words
// ---------------------------------------------------------------------------

int printFoundServers(std::FILE* out) {
    std::vector<FoundServer> found;
    if (!findServers(found)) return 1;
    for (const std::string& line : foundServerLines(found)) std::fputs(line.c_str(), out);
    if (found.empty()) std::fputs("no server answered\n", out);
    return 0;
}

bool pickLanServer(std::FILE* in, std::FILE* out, NetAddress& chosen) {
    std::vector<FoundServer> found;
    if (!findServers(found)) return false;
    if (found.empty()) {
        logLine(LogLevel::Error, "maze: no server answered on this machine or the local networks");
        return false;
    }
    int pick = 0;
    if (found.size() > 1) {
        std::fprintf(out, "%zu servers answered:\n", found.size());
        pick = chooseFoundServer(found, in, out);
        if (pick < 0) {
            std::fputs("\n", out);
            logLine(LogLevel::Error, "maze: no server chosen");
            return false;
        }
    }
    chosen = found[static_cast<size_t>(pick)].address;
    std::fprintf(out, "Joining %s (%s)\n", found[static_cast<size_t>(pick)].reply.name.c_str(), addressText(chosen).c_str());
    return true;
}

std::string ipText(uint32_t ip) {
    char text[16];
    std::snprintf(text, sizeof text, "%u.%u.%u.%u", ip >> 24, ip >> 16 & 0xFF, ip >> 8 & 0xFF, ip & 0xFF);
    return text;
}

const char* playerStateName(uint8_t state) {
    switch (static_cast<PlayerState>(state)) {
    case PlayerState::InPlay: return "in play";
    case PlayerState::Destroyed: return "destroyed";
    case PlayerState::Absent: return "absent";
    }
    return "unknown";
}

std::vector<std::string> foundServerLines(const std::vector<FoundServer>& found) {
    std::vector<std::vector<std::string>> rows;
    for (const FoundServer& f : found) {
        rows.push_back({addressText(f.address), f.reply.name, f.reply.level,
                        std::to_string(f.reply.players) + "/" + std::to_string(f.reply.maxPlayers),
                        std::to_string(f.rttMs) + " ms"});
    }
    // Column widths in bytes: names are shown as they came, so a name in a
    // script other than Latin may leave its row a little out of line.
    std::vector<size_t> width(5, 0);
    for (const auto& row : rows)
        for (size_t c = 0; c < row.size(); ++c) width[c] = std::max(width[c], row[c].size());
    std::vector<std::string> lines;
    for (const auto& row : rows) {
        std::string line;
        for (size_t c = 0; c < row.size(); ++c) {
            line += row[c];
            if (c + 1 < row.size()) line += std::string(width[c] - row[c].size() + 2, ' ');
        }
        lines.push_back(line + "\n");
    }
    return lines;
}

int chooseFoundServer(const std::vector<FoundServer>& found, std::FILE* in, std::FILE* out) {
    const std::vector<std::string> lines = foundServerLines(found);
    for (size_t i = 0; i < lines.size(); ++i) std::fprintf(out, "%2zu) %s", i + 1, lines[i].c_str());
    for (;;) {
        std::fprintf(out, "Join which server (1-%zu)? ", found.size());
        std::fflush(out);
        char answer[64];
        if (std::fgets(answer, sizeof answer, in) == nullptr) return -1;
        // A line longer than the buffer is one answer, and a wrong one.
        bool whole = std::strchr(answer, '\n') != nullptr;
        while (!whole) {
            char rest[64];
            if (std::fgets(rest, sizeof rest, in) == nullptr) break;
            whole = std::strchr(rest, '\n') != nullptr;
            answer[0] = 'x';
        }
        char* end = nullptr;
        const long n = std::strtol(answer, &end, 10);
        while (end != nullptr && (*end == ' ' || *end == '\t' || *end == '\r' || *end == '\n')) ++end;
        if (end != answer && end != nullptr && *end == '\0' && n >= 1 && n <= static_cast<long>(found.size()))
            return static_cast<int>(n - 1);
        std::fprintf(out, "Please answer with a number from 1 to %zu.\n", found.size());
    }
}

std::string jsonString(const std::string& text) {
    std::string out = "\"";
    for (const char ch : text) {
        const unsigned char c = static_cast<unsigned char>(ch);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += ch;
        } else if (c < 0x20 || c == 0x7F) {
            char esc[8];
            std::snprintf(esc, sizeof esc, "\\u%04x", c);
            out += esc;
        } else {
            out += ch;
        }
    }
    return out + "\"";
}

std::string statusText(NetAddress from, const ServerReply& r, int64_t rttMs) {
    std::string out = "server      " + r.name + " (" + addressText(from) + ", " + std::to_string(rttMs) + " ms)\n" +
                      "level       " + r.level + "\n" + "players     " + std::to_string(r.players) + "/" +
                      std::to_string(r.maxPlayers) + "\n" + "uptime      " + std::to_string(r.uptimeS) + " s\n" +
                      "round time  " + std::to_string(r.roundS) + " s\n";
    for (const PlayerStatus& p : r.playerList) {
        char line[160];
        std::snprintf(line, sizeof line, "  score %6d  deaths %4d  ping %4u ms  %s\n", p.score, p.deaths,
                      unsigned{p.pingMs}, playerStateName(p.state));
        // A column wide enough for the usual name; a longer one pushes its line out.
        constexpr size_t kNameColumn = 16;
        out += p.name + std::string(p.name.size() < kNameColumn ? kNameColumn - p.name.size() : 0, ' ') + line;
    }
    return out;
}

std::string statusJson(NetAddress from, const ServerReply& r, int64_t rttMs) {
    std::string out = "{\"address\":" + jsonString(addressText(from)) + ",\"name\":" + jsonString(r.name) +
                      ",\"level\":" + jsonString(r.level) + ",\"player_count\":" + std::to_string(r.players) +
                      ",\"max_players\":" + std::to_string(r.maxPlayers) + ",\"uptime_s\":" + std::to_string(r.uptimeS) +
                      ",\"round_time_s\":" + std::to_string(r.roundS) + ",\"rtt_ms\":" + std::to_string(rttMs) +
                      ",\"players\":[";
    for (size_t i = 0; i < r.playerList.size(); ++i) {
        const PlayerStatus& p = r.playerList[i];
        if (i > 0) out += ",";
        out += "{\"fighter\":" + std::to_string(p.fighter) + ",\"name\":" + jsonString(p.name) +
               ",\"score\":" + std::to_string(p.score) + ",\"deaths\":" + std::to_string(p.deaths) +
               ",\"ping_ms\":" + std::to_string(p.pingMs) + ",\"state\":" + jsonString(playerStateName(p.state)) + "}";
    }
    return out + "]}\n";
}
