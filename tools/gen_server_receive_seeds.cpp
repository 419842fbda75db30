// gen_server_receive_seeds.cpp -- writes the starting corpus of the
// server's receive fuzz target into the folder named on the command line: a
// join, then key datagrams with the key extension (sequence numbers, history,
// held keys), each behind the target's 3-byte prefix.
#include <cstdio>
#include <string>
#include <vector>

#include "net/net.h"
#include "world/world.h"
#include "tools/write_file.h"

namespace {

std::vector<uint8_t> bytesOf(const NetMessage& m) { return std::vector<uint8_t>(m.bytes, m.bytes + kNetMessageSize); }

// A join, then key events and a refresh from one sender, each behind the
// target's 3-byte prefix (sender 0, full size).
bool serverSeeds(const std::string& folder) {
    std::vector<uint8_t> input;
    const auto append = [&](const NetMessage& m) {
        input.insert(input.end(), {0, 0, 0});
        const std::vector<uint8_t> b = bytesOf(m);
        input.insert(input.end(), b.begin(), b.end());
    };
    NetMessage join;
    setMessageKind(join, NetMessageKind::JoinRequest);
    append(join);
    const KeyRecord keys[] = {{'i', 0, 0}, {' ', 0, 0}, {' ', 1, 0}, {kKeyLeftArrow, 0, 1}, {'i', 1, 0}};
    NetMessage key;
    for (const KeyRecord& k : keys) {
        ++net.keySeq;
        net.keyHistory[net.keySeq % kKeyHistory] = k;
        if (!k.special) {
            if (k.released) net.heldKeys[k.key / 8] &= static_cast<uint8_t>(~(1u << (k.key % 8)));
            else net.heldKeys[k.key / 8] |= static_cast<uint8_t>(1u << (k.key % 8));
        }
        writeKeyRecord(key, k);
        writeKeyExtension(key, clientKeyExtension());
        setMessageKind(key, NetMessageKind::KeyEvent);
        append(key);
    }
    setMessageKind(key, NetMessageKind::KeepAliveAnswer);
    append(key);
    return writeFile(folder + "/keys", input);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: gen_server_receive_seeds <output folder>\n");
        return 2;
    }
    return serverSeeds(argv[1]) ? 0 : 1;
}
