// Fuzzes what the finder and maze-status read from anybody on the LAN: a
// server's reply of any bytes and length reads safely, holds no more
// players than a server can have and no control characters in its texts,
// and what it took prints as text and JSON and survives a write and a read.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "net/discovery.h"
#include "net/net.h"

namespace {

bool clean(const std::string& text) {
    for (const unsigned char c : text)
        if (c < 0x20 || c == 0x7F) return false;
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    NetMessage msg;
    const size_t n = std::min(size, sizeof msg.bytes);
    if (n > 0) std::memcpy(msg.bytes, data, n);
    ServerReply r;
    if (!readServerReply(msg, static_cast<int>(n), r)) return 0;
    if (r.playerList.size() > static_cast<size_t>(kMaxStatusPlayers)) std::abort();
    if (!clean(r.name) || !clean(r.level)) std::abort();
    for (const PlayerStatus& p : r.playerList)
        if (!clean(p.name)) std::abort();
    const std::string text = statusText(NetAddress{}, r, 3);
    const std::string json = statusJson(NetAddress{}, r, 3);
    if (text.empty() || json.empty() || json.front() != '{') std::abort();
    NetMessage again;
    const int written = writeServerReply(again, r);
    if (written <= 0) std::abort();
    ServerReply back;
    if (!readServerReply(again, written, back) || back.name != r.name || back.level != r.level ||
        back.playerList.size() != r.playerList.size())
        std::abort();
    return 0;
}
