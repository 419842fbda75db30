// wav.cpp -- the RIFF WAVE reader: finds "fmt " and "data" inside the RIFF
// chunk, checks the format and hands the sound data out in pieces of any
// size, with a way back to the first sample for looping.
//
// The whole chunk list is walked once at open: every chunk must lie inside
// the RIFF chunk, and the RIFF chunk inside the file, so later reads can
// trust the offsets they use.
#include <cstring>

#include "base/bytes.h"
#include "base/log.h"
#include "sound/sound.h"
#include "base/file_read.h"

namespace {

bool readAt(std::FILE* f, uint64_t offset, uint8_t* dst, size_t n) {
    if (offset > 0x7FFFFFFFu || std::fseek(f, static_cast<long>(offset), SEEK_SET) != 0) return false;
    return std::fread(dst, 1, n, f) == n;
}

// Prints why the file is refused; always kSoundFail.
int refuse(const std::string& name, const char* why) {
    logLine(LogLevel::Warning, "Sound file \"%s\" refused: %s; it will not be played.", name.c_str(), why);
    return kSoundFail;
}

// What the chunk walk found inside the RIFF chunk (first of each kind).
struct ChunkWalk {
    bool haveFmt = false, haveData = false;
    uint32_t fmtOffset = 0, fmtSize = 0;
    uint32_t dataOffset = 0, dataSize = 0;
};

// Walks the chunks between riffStart and riffEnd (file offsets), each
// padded to an even length. Returns a reason on failure, else null.
const char* walkChunks(std::FILE* f, uint64_t riffStart, uint64_t riffEnd, ChunkWalk& out) {
    uint64_t at = riffStart;
    while (at + 8 <= riffEnd) {
        uint8_t h[8];
        if (!readAt(f, at, h, 8)) return "the file cannot be read";
        const uint32_t size = getLe32(h + 4);
        const uint64_t body = at + 8;
        if (body + size > riffEnd) return "a chunk runs past the end of the RIFF chunk";
        if (std::memcmp(h, "fmt ", 4) == 0 && !out.haveFmt) {
            out.haveFmt = true;
            out.fmtOffset = static_cast<uint32_t>(body);
            out.fmtSize = size;
        } else if (std::memcmp(h, "data", 4) == 0 && !out.haveData) {
            out.haveData = true;
            out.dataOffset = static_cast<uint32_t>(body);
            out.dataSize = size;
        }
        at = body + size + (size & 1u);
    }
    return nullptr;
}

// Checks a PCM format record; a reason on refusal, else null.
const char* checkFormat(const WaveFormat& w) {
    if (w.formatTag != 1) return "not PCM (only 8- and 16-bit PCM is played)";
    if (w.channels == 0) return "zero channels";
    if (w.channels > kMaxWaveChannels) return "more than 8 channels";
    if (w.bitsPerSample != 8 && w.bitsPerSample != 16) return "bits per sample other than 8 or 16";
    if (w.blockAlign != w.channels * (w.bitsPerSample / 8))
        return "block alignment disagrees with channels x bits per sample";
    if (w.samplesPerSec < kMinWaveRate || w.samplesPerSec > kMaxWaveRate)
        return "sample rate outside 1000..192000 per second";
    return nullptr;
}

}  // namespace

int openWave(WaveReader& reader, const char* fileName) {
    closeWave(reader);
    reader.name = fileName ? fileName : "";
    std::FILE* f = fileName ? openDataFile(fileName) : nullptr;
    if (f == nullptr) return refuse(reader.name, "it cannot be opened");
    return openWaveStream(reader, f, reader.name.c_str());
}

int openWaveStream(WaveReader& reader, std::FILE* stream, const char* name) {
    const std::string fileName = name ? name : "";
    closeWave(reader);
    reader.name = fileName;
    if (stream == nullptr) return refuse(fileName, "it cannot be opened");

    // Parse into temporaries; the reader takes them only when all is well.
    const char* why = nullptr;
    uint64_t fileSize = 0;
    uint8_t head[12];
    ChunkWalk walk;
    WaveFormat w;
    ChunkInfo riff;
    // A pipe cannot seek and fails here; a device without a size reads as
    // empty. Nothing past the headers is read before the size is checked.
    if (std::fseek(stream, 0, SEEK_END) != 0 || std::ftell(stream) < 0) {
        why = "the file cannot be read";
    } else {
        fileSize = static_cast<uint64_t>(std::ftell(stream));
    }
    char tooLarge[80];
    std::snprintf(tooLarge, sizeof tooLarge, "it is larger than %llu bytes",
                  static_cast<unsigned long long>(kMaxWaveFileSize));
    if (!why && fileSize > kMaxWaveFileSize) why = tooLarge;
    if (!why && (!readAt(stream, 0, head, 12) || std::memcmp(head, "RIFF", 4) != 0 ||
                 std::memcmp(head + 8, "WAVE", 4) != 0))
        why = "not a RIFF WAVE file";
    if (!why) {
        std::memcpy(riff.id, head, 4);
        riff.size = getLe32(head + 4);
        std::memcpy(riff.formType, head + 8, 4);
        riff.dataOffset = 8;
        if (riff.size < 4 || 8ull + riff.size > fileSize)
            why = "the RIFF chunk runs past the end of the file";
    }
    if (!why) why = walkChunks(stream, 12, 8ull + riff.size, walk);
    if (!why && !walk.haveFmt) why = "no \"fmt \" chunk";
    if (!why && walk.fmtSize < 16) why = "the \"fmt \" chunk is shorter than 16 bytes";
    if (!why) {
        uint8_t b[16];
        if (!readAt(stream, walk.fmtOffset, b, 16)) {
            why = "the file cannot be read";
        } else {
            w.formatTag = getLe16(b);
            w.channels = getLe16(b + 2);
            w.samplesPerSec = getLe32(b + 4);
            w.avgBytesPerSec = getLe32(b + 8);
            w.blockAlign = getLe16(b + 12);
            w.bitsPerSample = getLe16(b + 14);
            w.extraSize = 0;
            why = checkFormat(w);
        }
    }
    if (!why && !walk.haveData) why = "no \"data\" chunk";
    // A trailing partial block is never played: looping from it would shift
    // every later sample by part of a frame.
    const uint32_t whole = walk.dataSize - (w.blockAlign ? walk.dataSize % w.blockAlign : 0);
    if (!why && whole == 0) why = "the data chunk holds no whole sample";
    if (why) {
        std::fclose(stream);
        return refuse(fileName, why);
    }

    reader.file = stream;
    reader.format = w;
    reader.hasFormat = true;
    reader.riffChunk = riff;
    std::memcpy(reader.dataChunk.id, "data", 4);
    reader.dataChunk.dataOffset = walk.dataOffset;
    reader.dataLength = whole;
    if (rewindWave(reader) != 0) {
        closeWave(reader);
        return refuse(fileName, "the file cannot be read");
    }
    return 0;
}

int rewindWave(WaveReader& reader) {
    if (reader.file == nullptr) return kSoundFail;
    if (std::fseek(reader.file, static_cast<long>(reader.dataChunk.dataOffset), SEEK_SET) != 0)
        return kSoundFail;
    reader.dataChunk.size = reader.dataLength;
    return 0;
}

int readWave(WaveReader& reader, uint32_t count, uint8_t* destination, uint32_t* delivered) {
    if (delivered) *delivered = 0;
    if (reader.file == nullptr || destination == nullptr || delivered == nullptr) return kSoundFail;
    const uint32_t n = count < reader.dataChunk.size ? count : reader.dataChunk.size;
    reader.dataChunk.size -= n;
    if (n > 0 && std::fread(destination, 1, n, reader.file) != n) return kSoundFail;
    *delivered = n;
    return 0;
}

void closeWave(WaveReader& reader) {
    if (reader.file) std::fclose(reader.file);
    reader.file = nullptr;
    reader.hasFormat = false;
    reader.format = WaveFormat{};
    reader.dataChunk = ChunkInfo{};
    reader.riffChunk = ChunkInfo{};
    reader.dataLength = 0;
}
