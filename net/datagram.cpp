// datagram.cpp -- the one receive the server and the client share: a
// datagram of exactly kNetMessageSize bytes, a compact one, or a count of
// what was dropped.
#include "net/net.h"

int takeDatagram(NetMessage& out, NetAddress& from, int* length) {
    if (net.netSocket < 0 || net.transport.waitReadable(net.netSocket, 0) != 1) return 0;
    out = NetMessage{};
    const int len = net.transport.receiveFrom(net.netSocket, out.bytes, kNetMessageSize, &from);
    if (len < 0) return 0;
    if (length != nullptr) *length = len;
    net.bytesReceived += static_cast<uint64_t>(len);
    // Our peers' compact datagrams: the caller checks the sender first.
    if (isCompactDatagram(out.bytes, len)) return 2;
    if (len != kNetMessageSize) {
        ++net.datagramsDropped;
        return -1;
    }
    ++net.datagramsReceived;
    return 1;
}
