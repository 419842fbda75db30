// socket_posix.cpp -- every socket call of the game: the POSIX implementation
// of NetTransport. Addresses cross this boundary in host order.
#include <arpa/inet.h>
#include <fcntl.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "net/net.h"
#include "net/storm.h"

namespace {

// Room for about 170 full datagrams: a client that misses a few passes
// (a slow frame) does not lose state bodies.
constexpr int kReceiveBufferBytes = 1 << 20;

// Datagrams the kernel dropped on each socket, from SO_RXQ_OVFL; indexed by
// descriptor, small table (the game opens one socket).
constexpr int kTrackedSockets = 64;
uint32_t droppedBySocket[kTrackedSockets] = {};

sockaddr_in toSockaddr(NetAddress a) {
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(a.port);
    sa.sin_addr.s_addr = htonl(a.ip);
    return sa;
}

int openSocket(bool bindIt, uint16_t bindPort, const char** failedCall) {
    const int sock = ::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    if (sock < 0) {
        *failedCall = "socket()";
        return -1;
    }
    const int bytes = kReceiveBufferBytes;
    ::setsockopt(sock, SOL_SOCKET, SO_RCVBUF, &bytes, sizeof bytes);
    const int on = 1;
    ::setsockopt(sock, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
#ifdef SO_RXQ_OVFL
    ::setsockopt(sock, SOL_SOCKET, SO_RXQ_OVFL, &on, sizeof on);
#endif
    if (sock < kTrackedSockets) droppedBySocket[sock] = 0;
    if (bindIt) {
        const sockaddr_in sa = toSockaddr(NetAddress{INADDR_ANY, bindPort});
        if (::bind(sock, reinterpret_cast<const sockaddr*>(&sa), sizeof sa) != 0) {
            *failedCall = "bind()";
            const int saved = errno;
            ::close(sock);
            errno = saved;
            return -1;
        }
    }
    const int flags = ::fcntl(sock, F_GETFL, 0);
    ::fcntl(sock, F_SETFL, flags | O_NONBLOCK);
    return sock;
}

int openLoopbackSocket(uint16_t port) {
    const int sock = ::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    if (sock < 0) return -1;
    const int bytes = kReceiveBufferBytes;
    ::setsockopt(sock, SOL_SOCKET, SO_RCVBUF, &bytes, sizeof bytes);
    if (sock < kTrackedSockets) droppedBySocket[sock] = 0;
    const sockaddr_in sa = toSockaddr(NetAddress{INADDR_LOOPBACK, port});
    if (::bind(sock, reinterpret_cast<const sockaddr*>(&sa), sizeof sa) != 0) {
        ::close(sock);
        return -1;
    }
    const int flags = ::fcntl(sock, F_GETFL, 0);
    ::fcntl(sock, F_SETFL, flags | O_NONBLOCK);
    return sock;
}

void closeSocket(int sock) {
    if (sock >= 0) ::close(sock);
}

int waitReadable(int sock, int64_t timeoutMicros) {
    if (sock < 0 || sock >= FD_SETSIZE) return 0;
    fd_set set;
    FD_ZERO(&set);
    FD_SET(sock, &set);
    timeval tv{};
    tv.tv_sec = static_cast<time_t>(timeoutMicros / 1000000);
    tv.tv_usec = static_cast<suseconds_t>(timeoutMicros % 1000000);
    const int r = ::select(sock + 1, &set, nullptr, nullptr, &tv);
    return r > 0 ? 1 : 0;
}

int receiveFrom(int sock, uint8_t* buf, int cap, NetAddress* from) {
    sockaddr_in sa{};
    iovec iov{buf, static_cast<size_t>(cap)};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(uint32_t))] = {};
    msghdr mh{};
    mh.msg_name = &sa;
    mh.msg_namelen = sizeof sa;
    mh.msg_iov = &iov;
    mh.msg_iovlen = 1;
    mh.msg_control = control;
    mh.msg_controllen = sizeof control;
    // MSG_TRUNC: the result is the datagram's real length, so an oversized
    // one is recognised rather than taken for a cut full-size one.
    const ssize_t n = ::recvmsg(sock, &mh, MSG_TRUNC);
    if (n < 0) return -1;
#ifdef SO_RXQ_OVFL
    for (cmsghdr* c = CMSG_FIRSTHDR(&mh); c != nullptr; c = CMSG_NXTHDR(&mh, c)) {
        if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SO_RXQ_OVFL &&
            sock < kTrackedSockets) {
            uint32_t dropped = 0;
            std::memcpy(&dropped, CMSG_DATA(c), sizeof dropped);
            droppedBySocket[sock] = dropped;
        }
    }
#endif
    if (from != nullptr) {
        from->ip = sa.sin_family == AF_INET ? ntohl(sa.sin_addr.s_addr) : 0;
        from->port = sa.sin_family == AF_INET ? ntohs(sa.sin_port) : 0;
    }
    return n > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(n);
}

int sendTo(int sock, const uint8_t* buf, int len, NetAddress to) {
    if (sock < 0) return -1;
    const sockaddr_in sa = toSockaddr(to);
    const ssize_t n =
        ::sendto(sock, buf, static_cast<size_t>(len), 0, reinterpret_cast<const sockaddr*>(&sa),
                 sizeof sa);
    return n < 0 ? -1 : static_cast<int>(n);
}

bool hostName(char* buf, int cap) {
    if (cap <= 0 || ::gethostname(buf, static_cast<size_t>(cap)) != 0) return false;
    buf[cap - 1] = '\0';
    return true;
}

bool parseDotted(const char* text, uint32_t* ip) {
    in_addr a{};
    if (::inet_pton(AF_INET, text, &a) != 1) return false;
    *ip = ntohl(a.s_addr);
    return true;
}

bool lookupHost(const char* name, uint32_t* ip) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(name, nullptr, &hints, &found) != 0 || found == nullptr) return false;
    const sockaddr_in* sa = reinterpret_cast<const sockaddr_in*>(found->ai_addr);
    *ip = ntohl(sa->sin_addr.s_addr);
    ::freeaddrinfo(found);
    return true;
}

uint16_t localPort(int sock) {
    sockaddr_in sa{};
    socklen_t len = sizeof sa;
    if (sock < 0 || ::getsockname(sock, reinterpret_cast<sockaddr*>(&sa), &len) != 0) return 0;
    return ntohs(sa.sin_port);
}

int broadcastAddresses(uint32_t* out, int cap) {
    ifaddrs* list = nullptr;
    if (cap <= 0 || ::getifaddrs(&list) != 0) return 0;
    int n = 0;
    for (const ifaddrs* i = list; i != nullptr && n < cap; i = i->ifa_next) {
        if (i->ifa_addr == nullptr || i->ifa_addr->sa_family != AF_INET) continue;
        if ((i->ifa_flags & IFF_UP) == 0 || (i->ifa_flags & IFF_BROADCAST) == 0 || i->ifa_broadaddr == nullptr) continue;
        const uint32_t ip = ntohl(reinterpret_cast<const sockaddr_in*>(i->ifa_broadaddr)->sin_addr.s_addr);
        if (ip == 0 || std::find(out, out + n, ip) != out + n) continue;
        out[n++] = ip;
    }
    ::freeifaddrs(list);
    return n;
}

uint32_t droppedCount(int sock) {
    return sock >= 0 && sock < kTrackedSockets ? droppedBySocket[sock] : 0;
}

int lastError() { return errno; }

int openRawSocket(const char** failedCall) {
    // IPPROTO_RAW implies IP_HDRINCL: every packet starts with our own
    // IPv4 header, source address included.
    const int sock = ::socket(AF_INET, SOCK_RAW, IPPROTO_RAW);
    if (sock < 0) {
        *failedCall = "socket(SOCK_RAW)";
        return -1;
    }
    const int on = 1;
    if (::setsockopt(sock, IPPROTO_IP, IP_HDRINCL, &on, sizeof on) != 0) {
        *failedCall = "setsockopt(IP_HDRINCL)";
        const int saved = errno;
        ::close(sock);
        errno = saved;
        return -1;
    }
    return sock;
}

int sendSpoofed(int sock, const uint8_t* buf, int len, NetAddress from, NetAddress to) {
    // Fragments of one datagram share an identification; consecutive
    // datagrams must not (0 would let the kernel choose).
    static uint16_t nextId = 1;
    const uint16_t id = nextId;
    nextId = nextId == 0xFFFF ? 1 : static_cast<uint16_t>(nextId + 1);
    static SpoofedPackets packets;
    if (sock < 0 || !buildSpoofedPackets(buf, len, from, to, id, packets)) return -1;
    const sockaddr_in sa = toSockaddr(NetAddress{to.ip, 0});
    for (int i = 0; i < packets.count; ++i) {
        const ssize_t n = ::sendto(sock, packets.bytes[i], static_cast<size_t>(packets.length[i]), 0,
                                   reinterpret_cast<const sockaddr*>(&sa), sizeof sa);
        if (n != packets.length[i]) return -1;
    }
    return len;
}

}  // namespace

NetTransport posixTransport() {
    NetTransport t;
    t.openSocket = openSocket;
    t.closeSocket = closeSocket;
    t.waitReadable = waitReadable;
    t.receiveFrom = receiveFrom;
    t.sendTo = sendTo;
    t.hostName = hostName;
    t.parseDotted = parseDotted;
    t.lookupHost = lookupHost;
    t.localPort = localPort;
    t.broadcastAddresses = broadcastAddresses;
    t.droppedCount = droppedCount;
    t.lastError = lastError;
    t.openLoopbackSocket = openLoopbackSocket;
    t.openRawSocket = openRawSocket;
    t.sendSpoofed = sendSpoofed;
    return t;
}
