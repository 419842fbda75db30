// recording.cpp -- the recording file (writer, reader, scan, seek, check),
// the ring of the last seconds and the process's recorder.
#include "net/recording.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include <climits>
#include <unistd.h>

#include "base/bytes.h"
#include "cli/cli.h"
#include "world/world.h"

uint32_t recordingCrc32(const uint8_t* p, size_t n, uint32_t crc) {
    static const auto table = [] {
        struct T { uint32_t v[256]; } t{};
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t c = i;
            for (int k = 0; k < 8; ++k) c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1u)));
            t.v[i] = c;
        }
        return t;
    }();
    crc = ~crc;
    for (size_t i = 0; i < n; ++i) crc = table.v[(crc ^ p[i]) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

namespace {

void appendLe64(std::vector<uint8_t>& out, uint64_t v) {
    appendLe32(out, static_cast<uint32_t>(v));
    appendLe32(out, static_cast<uint32_t>(v >> 32));
}
uint64_t getLe64(const uint8_t* p) { return getLe32(p) | static_cast<uint64_t>(getLe32(p + 4)) << 32; }

// A name as the header keeps it: at most kRecordingNameMax bytes.
void appendName(std::vector<uint8_t>& out, const std::string& s) {
    const size_t n = std::min<size_t>(s.size(), kRecordingNameMax);
    out.push_back(static_cast<uint8_t>(n));
    out.insert(out.end(), s.begin(), s.begin() + static_cast<std::ptrdiff_t>(n));
}

// Header layout: magic (8), format version (2), header length (2, the whole
// header with its CRC), start time (8, Unix ms), level digest (8), fighter
// count (1), player count (1), program version, level name and the players'
// names (each a length byte and its bytes), CRC-32 of all before it (4).
std::vector<uint8_t> headerBytes(const RecordingHeader& h) {
    std::vector<uint8_t> out(kRecordingMagic, kRecordingMagic + 8);
    appendLe16(out, h.formatVersion);
    appendLe16(out, 0);  // the length, set below
    appendLe64(out, static_cast<uint64_t>(h.startUnixMs));
    appendLe64(out, h.levelDigest);
    out.push_back(static_cast<uint8_t>(std::clamp(h.fighterCount, 0, 255)));
    const size_t players = std::min<size_t>(h.players.size(), kRecordingPlayersMax);
    out.push_back(static_cast<uint8_t>(players));
    appendName(out, h.programVersion);
    appendName(out, h.levelName);
    for (size_t i = 0; i < players; ++i) appendName(out, h.players[i]);
    putLe16(out.data() + 10, static_cast<uint16_t>(out.size() + 4));
    appendLe32(out, recordingCrc32(out.data(), out.size()));
    return out;
}

bool writeBytes(RecordingWriter& w, const uint8_t* p, size_t n) {
    if (w.failed || !w.file) return false;
    if (std::fwrite(p, 1, n, w.file) != n) {
        w.failed = true;
        return false;
    }
    w.offset += n;
    return true;
}

void writeBlock(RecordingWriter& w, RecordingBlockKind kind, const std::vector<uint8_t>& payload) {
    uint8_t head[kRecordingBlockHeadSize];
    head[0] = static_cast<uint8_t>(kind);
    putLe32(head + 1, static_cast<uint32_t>(payload.size()));
    const uint32_t crc = recordingCrc32(payload.data(), payload.size(), recordingCrc32(head, 5));
    putLe32(head + 5, crc);
    writeBytes(w, head, sizeof head);
    writeBytes(w, payload.data(), payload.size());
}

bool readAt(std::FILE* f, uint64_t offset, uint8_t* out, size_t n) {
    if (std::fseek(f, static_cast<long>(offset), SEEK_SET) != 0) return false;
    return std::fread(out, 1, n, f) == n;
}

// One block read and checked at `offset`: its kind and payload; "" or why
// it cannot be used. `fileBytes` bounds what a length may claim.
std::string readBlock(std::FILE* f, uint64_t offset, uint64_t fileBytes, RecordingBlockKind& kind,
                      std::vector<uint8_t>& payload) {
    uint8_t head[kRecordingBlockHeadSize];
    if (offset + kRecordingBlockHeadSize > fileBytes || !readAt(f, offset, head, sizeof head))
        return "cut short in its head";
    const uint8_t k = head[0];
    const uint32_t length = getLe32(head + 1);
    if (k < 1 || k > 3) return "unknown kind " + std::to_string(k);
    const uint32_t bound = k == 3 ? kRecordingIndexPayloadMax : kRecordingBodyPayloadMax;
    if (length > bound) return "declares " + std::to_string(length) + " bytes, more than " + std::to_string(bound);
    if (offset + kRecordingBlockHeadSize + length > fileBytes) return "cut short";
    payload.resize(length);
    if (length > 0 && std::fread(payload.data(), 1, length, f) != length) return "cut short";
    if (recordingCrc32(payload.data(), length, recordingCrc32(head, 5)) != getLe32(head + 5)) return "checksum wrong";
    kind = static_cast<RecordingBlockKind>(k);
    return "";
}

std::string blockFault(uint64_t number, uint64_t offset, const std::string& why) {
    return "block " + std::to_string(number) + " at byte " + std::to_string(offset) + ": " + why;
}

std::string readHeader(RecordingReader& r) {
    uint8_t fixed[30];
    if (r.fileBytes == 0) return "the file is empty";
    if (r.fileBytes < sizeof fixed || !readAt(r.file, 0, fixed, sizeof fixed) ||
        std::memcmp(fixed, kRecordingMagic, 8) != 0)
        return "not a maze recording";
    r.header.formatVersion = getLe16(fixed + 8);
    if (r.header.formatVersion != kRecordingFormatVersion)
        return "recording format version " + std::to_string(r.header.formatVersion) + ", this program reads version " +
               std::to_string(kRecordingFormatVersion);
    const uint16_t length = getLe16(fixed + 10);
    if (length < sizeof fixed + 4 || length > kRecordingHeaderMax || length > r.fileBytes)
        return "the header's length " + std::to_string(length) + " is impossible";
    std::vector<uint8_t> bytes(length);
    if (!readAt(r.file, 0, bytes.data(), length)) return "the header is cut short";
    if (recordingCrc32(bytes.data(), length - 4) != getLe32(bytes.data() + length - 4))
        return "the header's checksum is wrong";
    r.header.startUnixMs = static_cast<int64_t>(getLe64(fixed + 12));
    r.header.levelDigest = getLe64(fixed + 20);
    r.header.fighterCount = fixed[28];
    const int players = fixed[29];
    if (players > kRecordingPlayersMax) return "the header names too many players";
    size_t at = sizeof fixed;
    const size_t end = length - 4u;
    auto name = [&](std::string& out) {
        if (at >= end || bytes[at] > kRecordingNameMax || at + 1 + bytes[at] > end) return false;
        out.assign(reinterpret_cast<const char*>(&bytes[at + 1]), bytes[at]);
        for (char& c : out)
            if (c < 32 || c > 126) c = '?';
        at += 1u + bytes[at];
        return true;
    };
    r.header.players.assign(static_cast<size_t>(players), "");
    bool ok = name(r.header.programVersion) && name(r.header.levelName);
    for (auto& p : r.header.players) ok = ok && name(p);
    if (!ok) return "the header's names overrun it";
    r.firstBlock = length;
    return "";
}

// The body at `offset` (whose block is already read): decoded against the
// cursor's body for a delta. False when it does not decode.
bool takeBody(RecordingReader& r, RecordingBlockKind kind, const std::vector<uint8_t>& payload) {
    if (kind == RecordingBlockKind::Index || payload.size() < 4) return false;
    if (kind == RecordingBlockKind::DeltaBody && !r.haveBody) return false;
    NetMessage decoded;
    const NetMessage* base = kind == RecordingBlockKind::DeltaBody ? &r.body : nullptr;
    if (!decodeBody(base, payload.data() + 4, static_cast<int>(payload.size() - 4), decoded)) return false;
    r.body = decoded;
    r.bodyTimeMs = getLe32(payload.data());
    r.haveBody = true;
    return true;
}

// Reads the index through the trailer; false (nothing changed) when the
// file has none or it does not hold together.
bool readIndex(RecordingReader& r) {
    uint8_t trailer[kRecordingTrailerSize];
    if (r.fileBytes < r.firstBlock + kRecordingTrailerSize) return false;
    const uint64_t trailerAt = r.fileBytes - kRecordingTrailerSize;
    if (!readAt(r.file, trailerAt, trailer, sizeof trailer) ||
        std::memcmp(trailer + 8, kRecordingIndexMagic, 8) != 0)
        return false;
    const uint64_t at = getLe64(trailer);
    if (at < r.firstBlock || at >= trailerAt) return false;
    RecordingBlockKind kind;
    std::vector<uint8_t> payload;
    if (!readBlock(r.file, at, trailerAt, kind, payload).empty() || kind != RecordingBlockKind::Index) return false;
    if (at + kRecordingBlockHeadSize + payload.size() != trailerAt || payload.size() < 12) return false;
    // Index payload: bodies (8), duration ms (4), then 12 bytes a seek point.
    const size_t points = (payload.size() - 12) / 12;
    if ((payload.size() - 12) % 12 != 0) return false;
    std::vector<RecordingWriter::SeekPoint> seek;
    seek.reserve(points);
    for (size_t i = 0; i < points; ++i) {
        const uint8_t* p = payload.data() + 12 + 12 * i;
        const RecordingWriter::SeekPoint s{getLe32(p), getLe64(p + 4)};
        if (s.offset < r.firstBlock || s.offset >= at) return false;
        if (!seek.empty() && (s.timeMs < seek.back().timeMs || s.offset <= seek.back().offset)) return false;
        seek.push_back(s);
    }
    r.seekPoints = std::move(seek);
    r.bodies = getLe64(payload.data());
    r.durationMs = getLe32(payload.data() + 8);
    r.endOfBodies = at;
    r.indexed = true;
    return true;
}

// Walks every block from the first, up to the first that cannot be read;
// with `decode`, every body is decoded too. Fills what the index would.
void scanBlocks(RecordingReader& r, bool decode) {
    r.seekPoints.clear();
    r.bodies = 0;
    r.durationMs = 0;
    r.haveBody = false;
    uint64_t at = r.firstBlock;
    uint64_t number = 0;
    std::vector<uint8_t> payload;
    while (at < r.fileBytes) {
        RecordingBlockKind kind;
        std::string why = readBlock(r.file, at, r.fileBytes, kind, payload);
        if (why.empty() && kind != RecordingBlockKind::Index && payload.size() < 4) why = "a body without its time";
        if (why.empty() && kind == RecordingBlockKind::Index) break;
        if (why.empty() && decode && !takeBody(r, kind, payload)) why = "the body does not decode";
        if (why.empty() && r.bodies > 0 && getLe32(payload.data()) < r.durationMs) why = "time goes back";
        if (!why.empty()) {
            r.damage = blockFault(number, at, why);
            break;
        }
        const uint32_t t = getLe32(payload.data());
        if (kind == RecordingBlockKind::FullBody) r.seekPoints.push_back({t, at});
        ++r.bodies;
        r.durationMs = t;
        at += kRecordingBlockHeadSize + payload.size();
        ++number;
    }
    r.endOfBodies = at;
    // Bodies before the first full one cannot be shown.
    if (r.seekPoints.empty()) r.bodies = 0;
}

}  // namespace

std::string openRecording(RecordingWriter& w, const std::string& path, const RecordingHeader& h) {
    closeRecording(w);
    w = RecordingWriter{};
    w.file = std::fopen(path.c_str(), "wb");
    if (!w.file) return "cannot create " + path + ": " + std::strerror(errno);
    w.path = path;
    const std::vector<uint8_t> head = headerBytes(h);
    writeBytes(w, head.data(), head.size());
    std::fflush(w.file);
    if (w.failed) return "cannot write " + path;
    return "";
}

void recordBody(RecordingWriter& w, const NetMessage& body, int64_t timeMs) {
    if (!w.file || w.failed) return;
    const uint32_t t = static_cast<uint32_t>(std::clamp<int64_t>(timeMs, w.lastTimeMs, UINT32_MAX));
    const bool full = !w.haveLast || t - w.lastFullMs >= kRecordingFullEveryMs;
    std::vector<uint8_t> payload(4 + 2 * kNetMessageSize);
    putLe32(payload.data(), t);
    const int n = encodeBody(full ? nullptr : &w.last, body, payload.data() + 4, 2 * kNetMessageSize);
    if (n <= 0) return;
    payload.resize(4 + static_cast<size_t>(n));
    if (full) {
        w.seekPoints.push_back({t, w.offset});
        w.lastFullMs = t;
    }
    writeBlock(w, full ? RecordingBlockKind::FullBody : RecordingBlockKind::DeltaBody, payload);
    w.last = body;
    w.haveLast = true;
    w.lastTimeMs = t;
    ++w.bodies;
    if (t - w.lastFlushMs >= kRecordingFlushEveryMs) {
        std::fflush(w.file);
        w.lastFlushMs = t;
    }
}

void closeRecording(RecordingWriter& w) {
    if (!w.file) return;
    std::vector<uint8_t> index;
    appendLe64(index, w.bodies);
    appendLe32(index, w.lastTimeMs);
    for (const auto& s : w.seekPoints) {
        appendLe32(index, s.timeMs);
        appendLe64(index, s.offset);
    }
    const uint64_t at = w.offset;
    writeBlock(w, RecordingBlockKind::Index, index);
    std::vector<uint8_t> trailer;
    appendLe64(trailer, at);
    trailer.insert(trailer.end(), kRecordingIndexMagic, kRecordingIndexMagic + 8);
    writeBytes(w, trailer.data(), trailer.size());
    std::fclose(w.file);
    w.file = nullptr;
}

std::string openRecordingReader(RecordingReader& r, const std::string& path) {
    closeRecordingReader(r);
    r = RecordingReader{};
    r.file = std::fopen(path.c_str(), "rb");
    if (!r.file) return "cannot open " + path + ": " + std::strerror(errno);
    if (std::fseek(r.file, 0, SEEK_END) == 0) {
        const long size = std::ftell(r.file);
        r.fileBytes = size > 0 ? static_cast<uint64_t>(size) : 0;
    }
    if (std::string why = readHeader(r); !why.empty()) {
        closeRecordingReader(r);
        return path + ": " + why;
    }
    if (!readIndex(r)) scanBlocks(r, false);
    r.haveBody = false;
    r.nextOffset = r.seekPoints.empty() ? r.endOfBodies : r.seekPoints.front().offset;
    if (r.bodies == 0) {
        const std::string why = r.damage.empty() ? "holds no body" : "holds no whole body (" + r.damage + ")";
        closeRecordingReader(r);
        return path + ": " + why;
    }
    return "";
}

void closeRecordingReader(RecordingReader& r) {
    if (r.file) std::fclose(r.file);
    r.file = nullptr;
}

bool readNextBody(RecordingReader& r) {
    if (!r.file || r.nextOffset >= r.endOfBodies) return false;
    RecordingBlockKind kind;
    std::vector<uint8_t> payload;
    std::string why = readBlock(r.file, r.nextOffset, r.endOfBodies, kind, payload);
    if (why.empty() && !takeBody(r, kind, payload)) why = "the body does not decode";
    if (!why.empty()) {
        if (r.damage.empty()) r.damage = "block at byte " + std::to_string(r.nextOffset) + ": " + why;
        // Nothing after a damaged block can be decoded before the next
        // seek point.
        const auto next = std::upper_bound(r.seekPoints.begin(), r.seekPoints.end(), r.nextOffset,
                                           [](uint64_t o, const auto& s) { return o < s.offset; });
        r.nextOffset = next == r.seekPoints.end() ? r.endOfBodies : next->offset;
        r.haveBody = false;
        return false;
    }
    r.nextOffset += kRecordingBlockHeadSize + payload.size();
    return true;
}

bool seekRecording(RecordingReader& r, uint32_t timeMs) {
    if (!r.file || r.seekPoints.empty()) return false;
    auto it = std::upper_bound(r.seekPoints.begin(), r.seekPoints.end(), timeMs,
                               [](uint32_t t, const auto& s) { return t < s.timeMs; });
    if (it != r.seekPoints.begin()) --it;
    r.haveBody = false;
    r.nextOffset = it->offset;
    if (!readNextBody(r)) return false;
    if (r.bodyTimeMs != it->timeMs) {
        if (r.damage.empty()) r.damage = "the index does not match the block at byte " + std::to_string(it->offset);
        r.haveBody = false;
        return false;
    }
    // Forward through the deltas while the next one is not later than asked.
    uint8_t head[kRecordingBlockHeadSize + 4];
    while (r.nextOffset + sizeof head <= r.endOfBodies && readAt(r.file, r.nextOffset, head, sizeof head) &&
           head[0] == static_cast<uint8_t>(RecordingBlockKind::DeltaBody) &&
           getLe32(head + kRecordingBlockHeadSize) <= timeMs) {
        const NetMessage kept = r.body;
        const uint32_t keptTime = r.bodyTimeMs;
        const uint64_t keptOffset = r.nextOffset;
        if (!readNextBody(r)) {
            // A damaged delta: stay on the last good body, before it.
            r.body = kept;
            r.bodyTimeMs = keptTime;
            r.haveBody = true;
            r.nextOffset = keptOffset;
            break;
        }
    }
    return true;
}

std::string checkRecording(RecordingReader& r) {
    if (!r.file) return "not open";
    const bool indexed = r.indexed;
    const auto seek = r.seekPoints;
    const uint64_t bodies = r.bodies;
    const uint32_t duration = r.durationMs;
    r.damage.clear();
    scanBlocks(r, true);
    std::string fault = r.damage;
    if (fault.empty() && !indexed) fault = "the index is missing (the file was not closed)";
    if (fault.empty() && (bodies != r.bodies || duration != r.durationMs || seek.size() != r.seekPoints.size()))
        fault = "the index does not match the blocks";
    for (size_t i = 0; fault.empty() && i < seek.size(); ++i)
        if (seek[i].offset != r.seekPoints[i].offset || seek[i].timeMs != r.seekPoints[i].timeMs)
            fault = "the index's seek point " + std::to_string(i) + " does not match the blocks";
    r.haveBody = false;
    r.nextOffset = r.seekPoints.empty() ? r.endOfBodies : r.seekPoints.front().offset;
    return fault;
}

void rememberBody(RecentBodies& recent, const NetMessage& body, int64_t nowMs) {
    if (recent.ring.empty()) recent.ring.resize(kRecentMaxBodies);
    const int cap = static_cast<int>(recent.ring.size());
    // Older than the window, or the oldest when the ring is full, goes.
    while (recent.count > 0 && (recent.count == cap || recent.ring[recent.first].timeMs < nowMs - kRecentWindowMs)) {
        recent.first = (recent.first + 1) % cap;
        --recent.count;
    }
    RecentBodies::Entry& e = recent.ring[(recent.first + recent.count) % cap];
    e.timeMs = nowMs;
    e.body = body;
    ++recent.count;
}

std::string writeRecentBodies(const RecentBodies& recent, int64_t nowMs, const std::string& path,
                              const RecordingHeader& h) {
    RecordingWriter w;
    if (std::string why = openRecording(w, path, h); !why.empty()) return why;
    const int cap = static_cast<int>(recent.ring.size());
    int64_t startMs = -1;
    for (int i = 0; i < recent.count; ++i) {
        const RecentBodies::Entry& e = recent.ring[(recent.first + i) % cap];
        if (e.timeMs < nowMs - kRecentWindowMs) continue;
        if (startMs < 0) startMs = e.timeMs;
        recordBody(w, e.body, e.timeMs - startMs);
    }
    const bool failed = w.failed;
    closeRecording(w);
    return failed ? "cannot write " + path : "";
}

// ---------------------------------------------------------------------------
// The process's recorder
// ---------------------------------------------------------------------------

namespace {

RecordingWriter processWriter;
int64_t processStartMs = 0;
bool keepRecent = false;
RecentBodies processRecent;
std::string recentFolder;

int64_t nowUnixMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

}  // namespace

RecordingHeader currentRecordingHeader() {
    RecordingHeader h;
    h.programVersion = cli::version();
    h.levelName = net.levelName;
    h.levelDigest = net.levelDigest;
    h.fighterCount = fighterCount();
    for (int i = 0; i < fighterCount() && i < kRecordingPlayersMax; ++i)
        h.players.push_back(gs.fighterList[i].name[0] ? std::string(gs.fighterList[i].name) : playerName(i));
    h.startUnixMs = nowUnixMs();
    return h;
}

std::string startProcessRecording(const std::string& path) {
    if (std::string why = openRecording(processWriter, path, currentRecordingHeader()); !why.empty()) return why;
    processStartMs = net.clockMillis ? net.clockMillis() : 0;
    static bool registered = false;
    if (!registered) std::atexit(finishProcessRecording);
    registered = true;
    return "";
}

void keepRecentBodies(const std::string& folder) {
    keepRecent = true;
    recentFolder = folder;
}

void noteRecordedBody(const NetMessage& body) {
    if (!processWriter.file && !keepRecent) return;
    const int64_t now = net.clockMillis ? net.clockMillis() : 0;
    if (processWriter.file) recordBody(processWriter, body, now - processStartMs);
    if (keepRecent) rememberBody(processRecent, body, now);
}

std::string saveRecentRecording() {
    const std::string& folder = recentFolder;
    if (processRecent.count == 0) return "Nothing to save yet";
    const std::time_t t = std::time(nullptr);
    std::tm parts{};
    gmtime_r(&t, &parts);
    char name[64];
    std::strftime(name, sizeof name, "maze-last-%Y%m%d-%H%M%S.mzr", &parts);
    std::string path = (folder.empty() ? std::string(".") : folder) + "/" + name;
    // Two saves in one second: the second gets a number of its own.
    for (int n = 2; n < 100 && access(path.c_str(), F_OK) == 0; ++n) {
        std::string numbered = name;
        numbered.insert(numbered.size() - 4, "-" + std::to_string(n));
        path = (folder.empty() ? std::string(".") : folder) + "/" + numbered;
    }
    const std::string shown = path.substr(path.rfind('/') + 1);
    const int64_t now = net.clockMillis ? net.clockMillis() : 0;
    if (std::string why = writeRecentBodies(processRecent, now, path, currentRecordingHeader()); !why.empty())
        return why;
    return "Saved the last 30 s: " + shown;
}

void finishProcessRecording() { closeRecording(processWriter); }

std::string pathBeforeDataFolder(const std::string& given) {
    if (given.empty() || given[0] == '/') return given;
    char here[PATH_MAX] = {};
    if (getcwd(here, sizeof here) == nullptr) return given;
    return std::string(here) + "/" + given;
}
