// Fuzzes the recording reader: any file opens with a line or reads safely;
// its check, seeks and playback never read out of bounds or run on, and a
// body it yields is always a whole datagram's worth.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "net/recording.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string path = "/tmp/fuzz_recording." + std::to_string(getpid());
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);
    RecordingReader r;
    if (!openRecordingReader(r, path).empty()) {
        if (r.file) std::abort();
        return 0;
    }
    if (r.bodies == 0 || r.seekPoints.empty() || r.endOfBodies > r.fileBytes) std::abort();
    for (const uint32_t t : {0u, r.durationMs / 2, r.durationMs, UINT32_MAX}) {
        if (!seekRecording(r, t)) continue;
        if (r.bodyTimeMs > t && t >= r.seekPoints.front().timeMs) std::abort();
        // Playback ends: every block read moves the cursor forward.
        uint64_t last = r.nextOffset;
        for (int n = 0; n < 100000 && readNextBody(r); ++n) {
            if (r.nextOffset <= last) std::abort();
            last = r.nextOffset;
        }
    }
    checkRecording(r);
    closeRecordingReader(r);
    return 0;
}
