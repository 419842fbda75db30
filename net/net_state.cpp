// net_state.cpp -- the process-wide network record and its defaults.
#include <chrono>
#include <ctime>

#include "net/net.h"
#include "net/smoothing.h"

NetState net;

namespace {

int64_t calendarSeconds() { return static_cast<int64_t>(std::time(nullptr)); }

int64_t steadyMillis() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace

void setNetworkDefaults() {
    net = NetState{};
    net.transport = posixTransport();
    net.clockSeconds = calendarSeconds;
    net.clockMillis = steadyMillis;
}

void resetNetStateForTest() {
    if (net.netSocket >= 0 && net.transport.closeSocket) net.transport.closeSocket(net.netSocket);
    setNetworkDefaults();
    resetSmoothing();
}
