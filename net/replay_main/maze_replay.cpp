// maze_replay.cpp -- maze-replay: a recording's facts (info), its integrity
// (check: status 1 and the first damaged block), and a stretch of it cut
// into a file of its own (cut). Rules library only.
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <string>

#include "cli/cli.h"
#include "net/recording.h"
#include "net/replay_main/maze_replay_options.h"

namespace {

// A name as one value of a key=value line: no spaces or commas inside.
std::string plainWord(std::string s) {
    for (char& c : s)
        if (c == ' ' || c == ',' || c == '=') c = '_';
    return s;
}

int info(const RecordingReader& r) {
    const double minutes = r.durationMs / 60000.0;
    const double raw = static_cast<double>(r.bodies) * kNetMessageSize;
    std::string names;
    for (const std::string& p : r.header.players) names += (names.empty() ? "" : ",") + plainWord(p);
    std::printf("version=%s format=%u level=%s digest=%016" PRIx64 " fighters=%d players=%zu names=%s "
                "duration_s=%.1f bodies=%" PRIu64 " bytes=%" PRIu64 " bytes_per_minute=%.0f ratio=%.1f indexed=%s%s%s\n",
                plainWord(r.header.programVersion).c_str(), r.header.formatVersion,
                plainWord(r.header.levelName).c_str(), r.header.levelDigest, r.header.fighterCount,
                r.header.players.size(), names.c_str(), r.durationMs / 1000.0, r.bodies, r.fileBytes,
                minutes > 0 ? r.fileBytes / minutes : 0.0, r.fileBytes > 0 ? raw / r.fileBytes : 0.0,
                r.indexed ? "yes" : "no", r.damage.empty() ? "" : " damage=", r.damage.empty() ? "" : "yes");
    return 0;
}

int cut(RecordingReader& r, double from, double to, const std::string& out) {
    if (to < from) {
        std::fprintf(stderr, "maze-replay: TO (%.3f) comes before FROM (%.3f)\n", to, from);
        return 2;
    }
    const auto fromMs = static_cast<uint32_t>(std::llround(from * 1000.0));
    const auto toMs = static_cast<uint32_t>(std::min(std::llround(to * 1000.0), static_cast<long long>(UINT32_MAX)));
    RecordingHeader h = r.header;
    h.startUnixMs += fromMs;
    RecordingWriter w;
    if (const std::string why = openRecording(w, out, h); !why.empty()) {
        std::fprintf(stderr, "maze-replay: %s\n", why.c_str());
        return 1;
    }
    bool more = seekRecording(r, fromMs);
    const uint32_t startMs = more ? r.bodyTimeMs : 0;
    uint64_t written = 0;
    while (more && r.bodyTimeMs <= toMs) {
        recordBody(w, r.body, r.bodyTimeMs - startMs);
        ++written;
        more = readNextBody(r);
    }
    const bool failed = w.failed;
    closeRecording(w);
    if (failed) {
        std::fprintf(stderr, "maze-replay: cannot write %s\n", out.c_str());
        return 1;
    }
    std::printf("cut %" PRIu64 " bodies into %s\n", written, out.c_str());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const cli::Parsed args = cli::parse(kMazeReplayCommand, argc, argv);
    if (args.outcome != cli::Outcome::Run) return cli::finish(args);
    const int command = cli::choice(args, "command");
    if (command == 2 && !(cli::given(args, "from") && cli::given(args, "to") && cli::given(args, "out")))
        return cli::finish(cli::refuse(kMazeReplayCommand, "cut needs FROM TO OUT"));
    RecordingReader r;
    if (const std::string why = openRecordingReader(r, cli::text(args, "file")); !why.empty()) {
        std::fprintf(stderr, "maze-replay: %s\n", why.c_str());
        return 1;
    }
    int status = 0;
    if (command == 0) {
        status = info(r);
    } else if (command == 1) {
        const std::string fault = checkRecording(r);
        if (fault.empty()) {
            std::printf("ok: %" PRIu64 " bodies, %.1f s\n", r.bodies, r.durationMs / 1000.0);
        } else {
            std::printf("damaged: %s\n", fault.c_str());
            status = 1;
        }
    } else {
        status = cut(r, cli::real(args, "from"), cli::real(args, "to"), cli::text(args, "out"));
    }
    closeRecordingReader(r);
    return status;
}
