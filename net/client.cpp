// client.cpp -- the client: joining, key events, keep-alive answers and the
// receive pass that keeps the world a copy of the server's latest picture.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <utility>

#include "base/log.h"
#include "net/net.h"
#include "net/recording.h"
#include "net/smoothing.h"
#include "sound/sound.h"
#include "world/world.h"

namespace {

constexpr uint32_t kBroadcastIp = 0xFFFFFFFFu;

int64_t joinWaitMicros() {
    return static_cast<int64_t>(kJoinWaitSetting / 1000) * 1000000 + kJoinWaitSetting % 1000;
}

bool sendToServer(const NetMessage& msg) {
    if (net.netSocket < 0) return false;
    // Compact once the server granted it (plain until then: the join).
    if (!sendCompactKey(msg)) {
        logLine(LogLevel::Error, "Send  error: %s", std::strerror(errno));
        return false;
    }
    return true;
}

bool sameAddress(NetAddress a, NetAddress b) { return a.ip == b.ip && a.port == b.port; }

// A join's answer comes from the port asked; from the address asked too,
// unless the request went to the broadcast address (then any server may
// answer, and the one that does becomes ours).
bool answersOurJoin(NetAddress from) {
    return from.port == net.serverAddress.port &&
           (net.serverAddress.ip == kBroadcastIp || from.ip == net.serverAddress.ip);
}

// Compares the fighter count of the first state body after the join with
// our level, once: any later body that claims another count changes nothing
// (applySnapshot leaves the fighters alone when the counts differ).
void checkLevelOnce(int theirs) {
    if (net.levelChecked) return;
    net.levelChecked = true;
    if (theirs == fighterCount()) return;
    net.levelMismatchReported = true;
    logLine(LogLevel::Error,
            "maze: the server's level has %d fighters, ours has %d: the world cannot "
            "be shown. Is \"%s\" the same on both machines?",
            theirs, fighterCount(), net.levelName.empty() ? kMapFileName : net.levelName.c_str());
}

// The address of a dotted address or host name; false, after "ERROR" and a
// line naming the host, when a name cannot be found.
bool lookUpServer(const char* name, uint32_t* ip) {
    // The dotted parser cannot tell this address from its failure value.
    if (std::strcmp(name, "255.255.255.255") == 0) {
        *ip = kBroadcastIp;
        return true;
    }
    if (net.transport.parseDotted(name, ip) || net.transport.lookupHost(name, ip)) return true;
    logLine(LogLevel::Info, "ERROR");
    logLine(LogLevel::Error, "maze: cannot find the server host \"%s\"", name);
    return false;
}

// A body of our server that is not newer than the one applied last: taken
// all the same once nothing was applied for kResyncAfterMs while the refused
// bodies themselves kept advancing (a live stream the window cannot follow:
// the client was stopped for longer than the window, or a forged body put it
// ahead). A replayed or repeated body does not advance, so it never keeps a
// dead server's client alive.
bool resyncTo(const StateSnapshot& s) {
    const bool advancing = net.haveRefused && snapshotFollows(s, net.refusedSeq, net.refusedClockMs);
    net.haveRefused = true;
    net.refusedSeq = s.hasSeq ? s.bodySeq : 0;
    net.refusedClockMs = s.serverClockMs;
    return advancing && net.clockMillis() - net.lastAppliedMs > kResyncAfterMs;
}

// The message line while the server is silent: from the first whole second
// without a body applied, the seconds counting up; the line is set again
// each second, so it stays up until "Server died" ends the game. The first
// body applied after it says so.
void showServerSilence(bool applied) {
    if (applied) {
        if (net.silenceShown > 0) setMessageLine("Server answering again");
        net.silenceShown = 0;
        return;
    }
    const int64_t seconds = (net.clockMillis() - net.lastAppliedMs) / 1000;
    if (seconds < 1 || seconds == net.silenceShown) return;
    net.silenceShown = seconds;
    char text[64];
    std::snprintf(text, sizeof text, "Server not answering (%lld s)", static_cast<long long>(seconds));
    setMessageLine(text);
}

}  // namespace

bool connectToServer(const char* hostName) {
    net.role = NetRole::Client;
    net.connected = 0;
    // An unknown host must not fall back to address 0, which reaches
    // whatever server runs on this machine.
    uint32_t ip = 0;
    if (!lookUpServer(hostName != nullptr ? hostName : "", &ip)) return false;
    net.serverAddress = NetAddress{ip, net.port};
    const char* failed = "socket()";
    net.netSocket = net.transport.openSocket(false, 0, &failed);
    if (net.netSocket < 0) {
        logLine(LogLevel::Error, "\n%s: %d", failed, net.transport.lastError());
        return false;
    }
    NetMessage request;
    setMessageKind(request, NetMessageKind::JoinRequest);
    JoinExtension ask = ourJoinExtension();
    if (net.compactAsk) ask.flags |= kJoinFlagCompact | kJoinFlagColumns;
    writeJoinExtension(request, ask);
    net.compactGranted = false;
    net.compactKeyFields = false;
    // Ctrl-C during the join ends the wait; the caller ends the process.
    for (int attempt = 0; attempt < kJoinAttempts && !stopRequested(); ++attempt) {
        sendToServer(request);
        if (net.transport.waitReadable(net.netSocket, joinWaitMicros()) != 1) continue;
        // Everything that arrived is read: when the answer to an earlier
        // request was lost, the server's state bodies, sent only to the
        // clients it took, would otherwise use up every attempt.
        NetMessage answer;
        NetAddress from;
        for (int n = 0; n < kMaxDatagramsPerPass; ++n) {
            const int taken = takeDatagram(answer, from);
            if (taken == 0) break;
            if (taken < 0) continue;
            if (!answersOurJoin(from)) {
                ++net.datagramsForeign;
                ++net.datagramsDropped;
                continue;
            }
            // Our server speaks compact only to a client it took that asked
            // for it: a compact body answers the join as a plain body does
            // (it is not applied; the next one is).
            const bool compactBody = taken == 2 && net.compactAsk;
            if (taken == 2 && !compactBody) continue;
            const NetMessageKind kind = compactBody ? NetMessageKind{} : messageKind(answer);
            StateSnapshot body;
            const bool stateForUs = (kind == NetMessageKind::StateUpdate || kind == NetMessageKind::KeepAliveProbe) &&
                                    messageYourFighter(answer) != 0 && parseStateSnapshot(answer, body);
            if (kind == NetMessageKind::JoinAccepted || stateForUs || compactBody) {
                if (kind == NetMessageKind::JoinAccepted && !joinAnswerKeepsLevel(answer)) return false;
                // A plain body answering the join says nothing of the grant:
                // the first compact body tells of it (takeCompactFromServer).
                net.compactGranted = compactBody || (net.compactAsk && kind == NetMessageKind::JoinAccepted &&
                                                     (readJoinExtension(answer).flags & kJoinFlagCompact) != 0);
                net.serverAddress = from;
                net.connected = 1;
                net.levelChecked = false;
                // The game joins before it reads its level: a body that
                // answered the join is compared at the first receive pass.
                net.joinAnswerFighters = stateForUs ? static_cast<int>(body.fighters.size()) : -1;
                net.lastAppliedTime = net.clockSeconds();
                net.lastAppliedMs = net.lastKeyRefreshMs = net.clockMillis();
                net.silenceShown = 0;
                return true;
            }
            if (kind == NetMessageKind::JoinRefused) {
                reportJoinRefused(answer);
                return false;
            }
        }
    }
    return false;
}

void sendKeyEvent(int key, bool released, bool special) {
    if (net.role != NetRole::Client) return;
    KeyRecord record;
    record.key = static_cast<uint32_t>(key);
    record.released = released ? 1 : 0;
    record.special = special ? 1 : 0;
    // Sequence numbers run 1, 2, ...; 0 means "none sent" on the wire.
    net.keySeq = net.keySeq + 1 == 0 ? 1 : net.keySeq + 1;
    net.keyHistory[net.keySeq % kKeyHistory] = record;
    smoothingNoteKeySent(net.keySeq, net.clockMillis());
    if (special && !released) smoothingNoteArrow(key);
    if (!special && key >= 0 && key < 256) {
        const uint8_t bit = static_cast<uint8_t>(1u << (key % 8));
        if (released) net.heldKeys[key / 8] &= static_cast<uint8_t>(~bit);
        else net.heldKeys[key / 8] |= bit;
    }
    writeKeyRecord(net.keyBuffer, record);
    writeKeyExtension(net.keyBuffer, clientKeyExtension());
    setMessageKind(net.keyBuffer, NetMessageKind::KeyEvent);
    sendToServer(net.keyBuffer);
    net.lastKeySentMs = net.lastKeyRefreshMs = net.clockMillis();
}

KeyExtension clientKeyExtension() {
    KeyExtension x;
    x.present = true;
    x.newestSeq = net.keySeq;
    x.historyCount = static_cast<uint8_t>(std::min<uint32_t>(net.keySeq, kKeyHistory));
    for (int i = 0; i < x.historyCount; ++i)
        x.history[i] = net.keyHistory[(net.keySeq - static_cast<uint32_t>(i)) % kKeyHistory];
    std::copy(std::begin(net.heldKeys), std::end(net.heldKeys), x.held);
    // The newest body applied: the server's base for what it sends next, and
    // its measure of this client's round trip.
    x.ackedBodySeq = net.haveSnapshot ? net.appliedSeq : 0;
    // The mouse's turn since the last datagram goes with this one.
    x.mouseTurn = static_cast<int16_t>(std::clamp<int32_t>(smoothing.mouseUnsent, -32767, 32767));
    smoothing.mouseUnsent -= x.mouseTurn;
    return x;
}

void sendKeyRefresh() {
    if (net.role != NetRole::Client || !net.connected) return;
    const int64_t nowMs = net.clockMillis();
    bool held = false;
    for (const uint8_t b : net.heldKeys) held = held || b != 0;
    // A compact client names a newer base often (or asks for a full body
    // at once): its key datagrams are 34 to 99 bytes.
    const bool newBase = net.compactGranted && compactBaseToName() != net.compactBaseSent;
    const int64_t every = net.compactWantFull ? 0
                          : newBase ? kCompactAckEveryMs
                          : held || nowMs - net.lastKeySentMs < kKeyRecentMs ? kKeyRefreshMs : kKeyIdleRefreshMs;
    // A turn of the mouse goes at once, one datagram a pass at most.
    if (nowMs - net.lastKeyRefreshMs < every && smoothing.mouseUnsent == 0) return;
    setMessageKind(net.keyBuffer, NetMessageKind::KeepAliveAnswer);
    writeKeyExtension(net.keyBuffer, clientKeyExtension());
    sendToServer(net.keyBuffer);
    net.lastKeyRefreshMs = nowMs;
}

bool clientWaitForDatagram(int64_t timeoutMicros) {
    return net.netSocket >= 0 && net.transport.waitReadable(net.netSocket, timeoutMicros) == 1;
}

bool clientReceivePass() {
    const int64_t now = net.clockSeconds();
    if (net.joinAnswerFighters >= 0) checkLevelOnce(net.joinAnswerFighters);
    NetMessage msg;
    NetAddress from;
    // Each datagram is parsed once; the newest picture of the pass is
    // applied once, after the drain.
    StateSnapshot newest, incoming;
    bool haveNewest = false;
    // Explosions this pass may still start; each body gets at most
    // kMaxEffectsPerBody of them.
    int effectBudget = kMaxEffectsPerPass;
    // The guns heard in every newer body of the pass, played once after it.
    GunfireHeard gunfire;
    for (int n = 0; n < kMaxDatagramsPerPass; ++n) {
        int length = 0;
        const int taken = takeDatagram(msg, from, &length);
        if (taken == 0) break;
        if (taken < 0) continue;
        // Anyone can send to our port; only the server we joined is heard.
        if (!sameAddress(from, net.serverAddress)) {
            ++net.datagramsForeign;
            ++net.datagramsDropped;
            continue;
        }
        // A compact body becomes the whole body it stands for, then takes
        // the plain body's path and checks.
        if (taken == 2) {
            uint8_t coded[kCompactMaxSize];
            std::memcpy(coded, msg.bytes, static_cast<size_t>(length));
            if (!takeCompactFromServer(coded, length, msg)) {
                ++net.datagramsDropped;
                continue;
            }
        }
        const NetMessageKind kind = messageKind(msg);
        if (kind == NetMessageKind::KeepAliveProbe) {
            setMessageKind(net.keyBuffer, NetMessageKind::KeepAliveAnswer);
            writeKeyExtension(net.keyBuffer, clientKeyExtension());
            sendToServer(net.keyBuffer);
            net.lastKeyRefreshMs = net.clockMillis();
        }
        // Only state bodies are state: a late JoinAccepted (all zero) would
        // otherwise blank the world until the next body.
        if (kind != NetMessageKind::KeepAliveProbe && kind != NetMessageKind::StateUpdate) continue;
        if (!parseStateSnapshot(msg, incoming)) {
            ++net.datagramsDropped;
            continue;
        }
        keepReceivedBody(msg);
        checkLevelOnce(static_cast<int>(incoming.fighters.size()));
        smoothingNoteBody(incoming, net.clockMillis());
        bool newer = snapshotIsNewer(incoming);
        if (!newer && resyncTo(incoming)) {
            newer = true;
            ++net.bodiesResynced;
        }
        if (net.onStateReceived) net.onStateReceived(incoming, newer);
        // Events travel by id, so a late body still starts the ones its
        // successors lost; none starts twice.
        effectBudget -= startSnapshotEffects(incoming, newer, std::min(kMaxEffectsPerBody, effectBudget));
        if (!newer) {
            ++net.bodiesStale;
            continue;
        }
        net.haveSnapshot = true;
        net.haveRefused = false;
        net.lastAppliedMs = net.clockMillis();
        net.appliedSeq = incoming.hasSeq ? incoming.bodySeq : 0;
        net.appliedClockMs = incoming.serverClockMs;
        gunfire |= hearServerGunfire(incoming);
        noteRecordedBody(msg);
        std::swap(newest, incoming);
        haveNewest = true;
    }
    if (haveNewest) {
        net.lastAppliedTime = now;
        applySnapshot(newest);
        smoothingReconcile(newest, net.clockMillis());
        ++net.bodiesApplied;
    }
    showServerSilence(haveNewest);
    playGunfire(gunfire);
    if (now > net.lastAppliedTime + kServerTimeout) return false;
    sendKeyRefresh();
    // No world step runs here, so the client retires its own explosions.
    removeFinishedExplosions();
    return true;
}
