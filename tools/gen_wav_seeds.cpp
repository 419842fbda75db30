// gen_wav_seeds.cpp -- writes seed inputs for the WAV reader's fuzz target:
// small valid files in 8 and 16 bits, mono and stereo, with a LIST chunk,
// an odd-sized chunk, "data" before "fmt ", an 18-byte format record, and a
// few broken ones.
// Usage: gen_wav_seeds <output-folder>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "base/bytes.h"
#include "tools/write_file.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes chunk(const char* id, const Bytes& body) {
    Bytes b(id, id + 4);
    appendLe32(b, static_cast<uint32_t>(body.size()));
    b.insert(b.end(), body.begin(), body.end());
    if (body.size() & 1u) b.push_back(0);
    return b;
}

Bytes fmt(uint16_t channels, uint32_t rate, uint16_t bits, bool longRecord) {
    Bytes b;
    const uint16_t block = static_cast<uint16_t>(channels * bits / 8);
    appendLe16(b, 1);
    appendLe16(b, channels);
    appendLe32(b, rate);
    appendLe32(b, rate * block);
    appendLe16(b, block);
    appendLe16(b, bits);
    if (longRecord) appendLe16(b, 0);
    return b;
}

Bytes samples(size_t n) {
    Bytes b(n);
    for (size_t i = 0; i < n; ++i) b[i] = static_cast<uint8_t>(i * 37 + 11);
    return b;
}

Bytes wave(const std::vector<Bytes>& chunks) {
    Bytes inner{'W', 'A', 'V', 'E'};
    for (const Bytes& c : chunks) inner.insert(inner.end(), c.begin(), c.end());
    Bytes b{'R', 'I', 'F', 'F'};
    appendLe32(b, static_cast<uint32_t>(inner.size()));
    b.insert(b.end(), inner.begin(), inner.end());
    return b;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: gen_wav_seeds <output-folder>\n");
        return 2;
    }
    const Bytes list = chunk("LIST", Bytes{'I', 'N', 'F', 'O', 'I', 'S', 'F', 'T', 3, 0, 0, 0, 'm', 'z', 0});
    const Bytes odd = chunk("junk", Bytes(7, 0x42));
    Bytes truncated = wave({chunk("fmt ", fmt(1, 8000, 8, false)), chunk("data", samples(64))});
    truncated.resize(truncated.size() - 20);
    const std::vector<std::pair<std::string, Bytes>> seeds = {
        {"mono8", wave({chunk("fmt ", fmt(1, 11025, 8, false)), chunk("data", samples(64))})},
        {"stereo16", wave({chunk("fmt ", fmt(2, 44100, 16, false)), chunk("data", samples(96))})},
        {"list_odd", wave({list, chunk("fmt ", fmt(2, 22050, 8, false)), odd, chunk("data", samples(33))})},
        {"data_first", wave({chunk("data", samples(40)), chunk("fmt ", fmt(1, 16000, 16, true))})},
        {"truncated", truncated},
        {"no_data", wave({chunk("fmt ", fmt(1, 8000, 8, false))})},
    };
    for (const auto& [name, bytes] : seeds) {
        const std::string path = std::string(argv[1]) + "/" + name + ".wav";
        if (!writeFile(path, bytes)) return 1;
    }
    return 0;
}
