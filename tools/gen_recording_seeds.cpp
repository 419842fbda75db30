// gen_recording_seeds.cpp -- seed inputs for fuzz_recording: a whole
// recording of a few bodies with a seek point in the middle, and one that
// was cut short before its index.
//
// Usage: gen_recording_seeds DIR
#include <cstdio>
#include <string>

#include "net/recording.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: gen_recording_seeds DIR\n");
        return 2;
    }
    const std::string dir = argv[1];
    RecordingHeader h;
    h.programVersion = "seed";
    h.levelName = "seed.map";
    h.levelDigest = 0x1234;
    h.fighterCount = 2;
    h.players = {"one", "two"};
    for (const bool closed : {true, false}) {
        const std::string path = dir + (closed ? "/whole.mzr" : "/cut.mzr");
        RecordingWriter w;
        if (const std::string why = openRecording(w, path, h); !why.empty()) {
            std::fprintf(stderr, "gen_recording_seeds: %s\n", why.c_str());
            return 1;
        }
        NetMessage body;
        for (int i = 0; i < 6; ++i) {
            body.bytes[i % 40] = static_cast<uint8_t>(i * 37 + 1);
            recordBody(w, body, i * 900);
        }
        if (closed) {
            closeRecording(w);
        } else {
            std::fclose(w.file);
            w.file = nullptr;
        }
    }
    return 0;
}
