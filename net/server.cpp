// server.cpp -- the server's client table, its receive path, keep-alive and
// broadcast. Runs on the one game thread; no call blocks.
//
// Slot s drives fighter s + 1; fighter 0 is the server's own player. A slot is
// only ever handed out together with a fighter, so every slot in use names an
// existing fighter (the fighter list never shrinks after start-up).
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "base/log.h"
#include "net/discovery.h"
#include "net/net.h"
#include "net/recording.h"
#include "world/world.h"

namespace {

bool sameAddress(NetAddress a, NetAddress b) { return a.ip == b.ip && a.port == b.port; }

bool fighterForSlot(int slot) { return slot >= 0 && slot + 1 < fighterCount(); }

// Sends a whole datagram; reports a failure like the C library's perror.
void sendReported(const NetMessage& msg, NetAddress to) {
    if (net.netSocket < 0) return;
    if (net.transport.sendTo(net.netSocket, msg.bytes, kNetMessageSize, to) != kNetMessageSize)
        logLine(LogLevel::Error, "Send  error: %s", std::strerror(errno));
}

// Puts the fighter of a newly admitted slot on its start, as the game reset
// does, and into play.
void prepareFighter(int index, const std::string& name) {
    Fighter& f = gs.fighterList[index];
    placeFighterAtStart(f, maze.fighterStarts[index]);
    // A new player: none of the last one's figures.
    f.fightersDestroyed = f.deaths = 0;
    f.protectMs = f.respawnMs = f.reloadMs = 0;
    f.pingMs = -1;
    f.destroyedBy = kDestroyedByUnknown;
    f.state = FighterState::InPlay;
    assignFighterName(index, name);
}

// A round trip from a key datagram that acknowledges body `seq`: the body
// it names is the newest the client applied, at most a pass old when the
// client sent, so the send time of that body to now is the round trip (and
// a pass or two more). The minimum of the last kAckRttSamples is kept: the
// queues' noise only ever adds.
void measureAckedBody(int slot, uint32_t seq) {
    if (seq == 0 || net.sentBodySeq[seq % kSentBodyTimes] != seq) return;
    ClientSlot& c = net.clients[slot];
    const int64_t rtt = net.clockMillis() - net.sentBodyMs[seq % kSentBodyTimes];
    if (rtt < 0 || rtt > 60000) return;
    c.ackRttMs[c.ackRttCount++ % kAckRttSamples] = static_cast<int32_t>(rtt);
    int32_t best = c.ackRttMs[0];
    for (uint32_t k = 1; k < std::min<uint32_t>(c.ackRttCount, kAckRttSamples); ++k) best = std::min(best, c.ackRttMs[k]);
    gs.fighterList[slot + 1].pingMs = best;
}

void clearClientTable() {
    for (ClientSlot& c : net.clients) c = ClientSlot{};
}

}  // namespace

void startServer() {
    net.role = NetRole::Server;
    clearClientTable();
    const char* failed = "socket()";
    const int sock = net.transport.openSocket(true, net.port, &failed);
    if (sock < 0) {
        const int error = net.transport.lastError();
        logLine(LogLevel::Error, "\n%s: %d", failed, error);
        const bool bindFailed = std::strcmp(failed, "bind()") == 0;
        logLine(LogLevel::Error, "maze: cannot open UDP port %d: %s%s No client can join this game.",
                static_cast<int>(net.port), std::strerror(error),
                bindFailed ? " - is another server running?" : ".");
        return;
    }
    char name[256] = {};
    if (net.serverName.empty() && !net.transport.hostName(name, sizeof name)) {
        logLine(LogLevel::Error, "\ngethostname(): %d", net.transport.lastError());
        net.transport.closeSocket(sock);
        return;
    }
    if (net.serverName.empty()) net.serverName = serverNameFrom(name);
    // Port 0 asks the system for a free one (tests); report the real one.
    if (net.port == 0) net.port = net.transport.localPort(sock);
    logLine(LogLevel::Info, "\nServer named %s waiting on port %d", net.serverName.c_str(), static_cast<int>(net.port));
    net.netSocket = sock;
    noteServerStarted();
}

int admitClient(NetAddress address, const std::string& name) {
    for (int s = 0; s < kMaxClients; ++s)
        if (net.clients[s].inUse && sameAddress(net.clients[s].address, address)) return s;
    for (int s = 0; s < kMaxClients; ++s) {
        if (net.clients[s].inUse) continue;
        // Every free slot has the same fighter prospects as the lowest one:
        // fighters are numbered by slot, so a higher slot has none either.
        if (!fighterForSlot(s) || s + 1 >= maze.fighterStartCount || s >= net.maxClients) return -1;
        net.clients[s] = ClientSlot{};
        net.clients[s].inUse = 1;
        net.clients[s].address = address;
        net.clients[s].lastHeard = net.clockSeconds();
        net.clients[s].lastHeardMs = net.clockMillis();
        prepareFighter(s + 1, name);
        announceJoined(s);
        return s;
    }
    return -1;
}

int findClient(NetAddress address) {
    for (int s = 0; s < kMaxClients; ++s) {
        if (net.clients[s].inUse && sameAddress(net.clients[s].address, address)) {
            net.clients[s].lastHeard = net.clockSeconds();
            net.clients[s].lastHeardMs = net.clockMillis();
            return s;
        }
    }
    return -1;
}

int receiveFromClient(NetMessage& out, int& slot) {
    slot = -1;
    NetAddress from;
    int length = 0;
    const int taken = takeDatagram(out, from, &length);
    if (taken == 0) return 0;
    // Our clients' compact key datagrams, decoded only for a seated one.
    if (taken == 2) {
        uint8_t coded[kCompactMaxSize];
        std::memcpy(coded, out.bytes, static_cast<size_t>(length));
        slot = takeCompactFromClient(coded, length, from, out);
        if (slot >= 0) timeClientPing(slot, messageKind(out));
        return 1;
    }
    // Discovery and status queries, from anyone and of their own sizes.
    if (answerServerQuery(out, length, from)) return 1;
    // A datagram of another size is dropped; the drain goes on so junk
    // cannot hold back real clients.
    if (taken < 0) return 1;
    if (messageKind(out) == NetMessageKind::JoinRequest) {
        writeJoinAnswer(out, from, net.joinReply);
        sendReported(net.joinReply, from);
    }
    slot = findClient(from);
    if (slot < 0) ++net.datagramsDropped;
    else timeClientPing(slot, messageKind(out));
    return 1;
}

void sendProbe(int slot) {
    if (slot < 0 || slot >= kMaxClients) return;
    NetMessage probe = net.snapshotMessage;
    setMessageKind(probe, NetMessageKind::KeepAliveProbe);
    // The body's events went out with it already: a client that took both
    // would start them twice. The trailer (same sequence number, the same
    // ids) stays, so a client that lost the body still gets them by id.
    dropStateEffects(probe);
    setMessageYourFighter(probe, static_cast<uint8_t>(slot + 1));
    setBodyAckedKeySeq(probe, net.clients[slot].keySeq);
    if (net.clients[slot].compact) sendCompactBody(slot, probe);
    else sendReported(probe, net.clients[slot].address);
}

void keepAliveCheck() {
    const int64_t now = net.clockSeconds();
    for (int s = 0; s < kMaxClients; ++s) {
        ClientSlot& c = net.clients[s];
        if (!c.inUse) continue;
        if (c.lastHeard + kClientTimeout < now) {
            releaseSilentClient(s);
        } else if (c.lastHeard < now) {
            sendProbe(s);
        }
    }
}

void releaseSilentClient(int slot) {
    if (slot < 0 || slot >= kMaxClients || !net.clients[slot].inUse) return;
    announceSlotFreed(slot, net.clockSeconds() - net.clients[slot].lastHeard);
    net.clients[slot].inUse = 0;
    if (fighterForSlot(slot)) {
        gs.fighterList[slot + 1].state = FighterState::Absent;
        // Our clients tell a present fighter by its name.
        gs.fighterList[slot + 1].name[0] = '\0';
    }
    char text[64];
    std::snprintf(text, sizeof text, "player %d left (not answering)", slot + 1);
    logLine(LogLevel::Info, "%s", text);
    setMessageLine(text);
}

void releaseSilentExtendedClients() {
    const int64_t nowMs = net.clockMillis();
    for (int s = 0; s < kMaxClients; ++s) {
        const ClientSlot& c = net.clients[s];
        if (c.inUse && c.keyExtended && nowMs - c.lastHeardMs > kExtendedClientTimeoutMs) releaseSilentClient(s);
    }
}

void broadcastState(NetMessage& buffer) {
    if (net.netSocket < 0) return;
    for (int s = 0; s < kMaxClients; ++s) {
        if (!net.clients[s].inUse) continue;
        setMessageYourFighter(buffer, static_cast<uint8_t>(s + 1));
        // The client's prediction replays its keys after this one.
        setBodyAckedKeySeq(buffer, net.clients[s].keySeq);
        if (net.clients[s].compact) sendCompactBody(s, buffer);
        else net.transport.sendTo(net.netSocket, buffer.bytes, kNetMessageSize, net.clients[s].address);
    }
}

GameEnd applyClientKey(int slot, KeyRecord key) {
    if (!fighterForSlot(slot)) return GameEnd::Playing;
    // Codes past one byte would index past keyDown (no toolkit key is that
    // large, special ones included).
    if (key.key >= static_cast<uint32_t>(kKeyCount)) return GameEnd::Playing;
    // Quitting and the display toggles act only in the process whose player
    // pressed them; no client may end or restyle the server.
    if (keyIsLocalOnly(static_cast<int>(key.key), key.special != 0)) return GameEnd::Playing;
    return fighterKeyAction(gs.fighterList[slot + 1], static_cast<int>(key.key), key.released != 0,
                            key.special != 0);
}

GameEnd applyClientKeys(int slot, const NetMessage& msg) {
    const NetMessageKind kind = messageKind(msg);
    const KeyExtension x = readKeyExtension(msg);
    if (!x.present) {
        // A plain client: its key events act as they come.
        return kind == NetMessageKind::KeyEvent ? applyClientKey(slot, readKeyRecord(msg)) : GameEnd::Playing;
    }
    if (!fighterForSlot(slot)) return GameEnd::Playing;
    ClientSlot& c = net.clients[slot];
    c.keyExtended = true;
    // Each datagram's mouse turn counts once, overtaken or not: it is the
    // motion since the one before it, never a repeat. The rules bound it.
    if (x.mouseTurn != 0) askMouseTurn(gs.fighterList[slot + 1], x.mouseTurn);
    measureAckedBody(slot, x.ackedBodySeq);
    const int32_t ahead = static_cast<int32_t>(x.newestSeq - c.keySeq);
    // An older datagram, overtaken on the way: its events acted already and
    // its held keys are out of date.
    if (ahead < 0) {
        ++net.keyEventsRepeated;
        return GameEnd::Playing;
    }
    const bool repeatedEvent = ahead == 0 && kind == NetMessageKind::KeyEvent;
    if (repeatedEvent) ++net.keyEventsRepeated;
    // This client reports its held keys. A fresh report of space held (not
    // a key event heard twice) lets its gun fire the next held shot; taken
    // before the events, so a press in this datagram uses it up with its own
    // shot.
    Fighter& f = gs.fighterList[slot + 1];
    f.heldKeysReported = 1;
    if (!repeatedEvent && ((x.held[' ' / 8] >> (' ' % 8)) & 1) != 0) f.triggerReported = 1;
    // Each event newer than the last applied, oldest first; events older than
    // the history lost their chance, and the held keys below stand for them.
    const int fresh = std::min<int32_t>(ahead, x.historyCount);
    for (int i = fresh - 1; i >= 0; --i) {
        const GameEnd end = applyClientKey(slot, x.history[i]);
        if (end != GameEnd::Playing) return end;
        ++net.keyEventsApplied;
    }
    c.keySeq = x.newestSeq;
    for (int k = 0; k < kKeyCount; ++k) {
        if (keyIsLocalOnly(k, false)) continue;
        f.keyDown[k] = (x.held[k / 8] >> (k % 8)) & 1;
    }
    c.keyLeaseUntilMs = net.clockMillis() + kKeyLeaseMs;
    c.keysHeldByLease = true;
    return GameEnd::Playing;
}

void expireKeyLeases() {
    const int64_t nowMs = net.clockMillis();
    for (int s = 0; s < kMaxClients; ++s) {
        ClientSlot& c = net.clients[s];
        if (!c.inUse || !c.keyExtended || !c.keysHeldByLease || nowMs <= c.keyLeaseUntilMs) continue;
        c.keysHeldByLease = false;
        // Released without acting: no tap fires from a silence.
        if (fighterForSlot(s))
            for (uint8_t& k : gs.fighterList[s + 1].keyDown) k = 0;
    }
}

GameEnd serverNetworkReceive() {
    const int64_t now = net.clockSeconds();
    if (now - kKeepAliveEvery > net.lastKeepAliveTime) {
        keepAliveCheck();
        net.lastKeepAliveTime = now;
    }
    NetMessage msg;
    int slot = -1;
    for (int n = 0; n < kMaxDatagramsPerPass && receiveFromClient(msg, slot) == 1; ++n) {
        const NetMessageKind kind = messageKind(msg);
        if (slot < 0 || (kind != NetMessageKind::KeyEvent && kind != NetMessageKind::KeepAliveAnswer)) continue;
        const GameEnd end = applyClientKeys(slot, msg);
        if (end != GameEnd::Playing) return end;
    }
    expireKeyLeases();
    releaseSilentExtendedClients();
    // A plain client acknowledges no body: its ping is the probes' measure.
    for (int s = 0; s < kMaxClients; ++s)
        if (net.clients[s].inUse && !net.clients[s].keyExtended && fighterForSlot(s))
            gs.fighterList[s + 1].pingMs = net.clients[s].pingMs > 0 ? net.clients[s].pingMs : -1;
    return GameEnd::Playing;
}

void serverNetworkSend() {
    packState(net.snapshotMessage);
    // Recorded as this server's own player sees it (packState writes the
    // body for fighter 0), before the send marks it per client.
    noteRecordedBody(net.snapshotMessage);
    net.sentBodySeq[net.bodySeq % kSentBodyTimes] = net.bodySeq;
    net.sentBodyMs[net.bodySeq % kSentBodyTimes] = net.clockMillis();
    broadcastState(net.snapshotMessage);
    sendPingProbes();
}
