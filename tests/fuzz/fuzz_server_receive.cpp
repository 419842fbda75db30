// fuzz_server_receive.cpp -- a running server fed any sequence of datagrams
// from a handful of senders: every input is cut into datagrams (a 3-byte
// prefix gives the sender and the length), received, applied and answered.
// The world must stay valid and no client may end the server.
#include <cstdlib>

#include "../net/fake_net.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fakeServer(6);
    size_t pos = 0;
    for (int passes = 0; pos + 3 <= size && passes < 64;) {
        // Mostly full-sized datagrams, sometimes any length.
        const size_t want = (data[pos + 1] & 0x80) ? (data[pos + 2] | ((data[pos + 1] & 0x1F) << 8))
                                                   : kNetMessageSize;
        FakeDatagram d{{}, NetAddress{0x7F000001, static_cast<uint16_t>(1000 + data[pos] % 12)}};
        pos += 3;
        const size_t avail = size - pos < want ? size - pos : want;
        d.bytes.assign(data + pos, data + pos + avail);
        d.bytes.resize(want, 0);
        pos += avail;
        fake.inbox.push_back(d);
        if (fake.inbox.size() >= 4 || pos + 3 > size) {
            fake.now += data[pos - 1] % 8;
            serverNetworkReceive();
            serverNetworkSend();
            fake.sent.clear();
            ++passes;
        }
    }
    serverNetworkReceive();
    if (process.quitRequested) std::abort();
    if (fighterCount() != 6) std::abort();
    if (!stateBodyValid(net.snapshotMessage)) std::abort();
    return 0;
}
