// net_state.cpp -- the process-wide network record and its defaults.
#include <ctime>

#include "net/net.h"

NetState net;

namespace {

int64_t calendarSeconds() { return static_cast<int64_t>(std::time(nullptr)); }

}  // namespace

void setNetworkDefaults() {
    net.role = RoleNone;
    net.transport = posixTransport();
    net.clockSeconds = calendarSeconds;
    net.netSocket = -1;
    net.port = kNetPort;
    clearClientTable();
    net.lastKeepAliveTime = 0;
    net.joinReply = NetMessage{};
    net.snapshotMessage = NetMessage{};
    net.serverAddress = NetAddress{};
    net.connected = 0;
    net.lastHeardTime = 0;
    net.keyBuffer = NetMessage{};
    net.haveSnapshot = false;
    net.levelMismatchReported = false;
    net.onStateReceived = nullptr;
    net.datagramsReceived = 0;
    net.datagramsDropped = 0;
}

void resetNetStateForTest() {
    if (net.netSocket >= 0 && net.transport.closeSocket) net.transport.closeSocket(net.netSocket);
    net = NetState{};
    setNetworkDefaults();
}
