// recording.h -- games recorded as the stream of state bodies: the file
// format (writer, reader, index, the scan of a cut file, seek), the bounded
// in-memory ring of the last seconds, and the hooks through which a server
// (bodies sent) and a client (bodies applied) feed them.
//
// Every state body is a whole picture of the world, so a recording can seek
// to any instant from its nearest full body without playing from the start.
// Bodies are stored through the body codec (encodeBody / decodeBody): each
// as the difference from the body before it, with a full body at least every
// kRecordingFullEveryMs as a seek point.
//
// File layout (little-endian; README.md "Recordings" has it byte by byte):
//   header: "MAZEREC\n", format version, header length, start time, level
//           digest, fighter count, names, CRC-32 of the header
//   blocks: kind (1 byte), payload length (4), CRC-32 of kind, length and
//           payload (4), payload. A body's payload: its time in ms since the
//           start (4), then the codec's bytes.
//   end:    an index block (the full bodies' times and offsets) and a
//           16-byte trailer, the index block's offset and "MAZEIDX\n". A
//           file without them (cut short, a crash) is scanned instead.
// Every reader treats the file as hostile: each length is bounded before
// use, a huge declared size is refused, and a damaged block ends what can
// be read at the last whole block before it.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "net/net.h"

constexpr char kRecordingMagic[8] = {'M', 'A', 'Z', 'E', 'R', 'E', 'C', '\n'};
constexpr char kRecordingIndexMagic[8] = {'M', 'A', 'Z', 'E', 'I', 'D', 'X', '\n'};
// Version 1 is this layout; a reader refuses a version it does not know.
constexpr uint16_t kRecordingFormatVersion = 1;
constexpr int kRecordingHeaderMax = 2048;        // bytes, whole header at most
constexpr int kRecordingPlayersMax = 16;         // names in the header at most
constexpr int kRecordingNameMax = 63;            // bytes of one name in the header
constexpr int kRecordingBlockHeadSize = 9;       // kind, length, CRC
constexpr int kRecordingTrailerSize = 16;
// A body block's payload: its time and the codec's bytes (never more than
// a datagram's worth of codec output plus its own overhead).
constexpr uint32_t kRecordingBodyPayloadMax = 4 + 2 * kNetMessageSize + 256;
// The index: 12 bytes a seek point; a day of seek points fits many times.
constexpr uint32_t kRecordingIndexPayloadMax = 16u << 20;
constexpr int64_t kRecordingFullEveryMs = 2000;  // a full body at least this often
constexpr int64_t kRecordingFlushEveryMs = 1000; // a crash loses at most this much
// The last seconds F9 writes, and the ring's bound in bodies (100 bodies a
// second with room for a faster stream).
constexpr int64_t kRecentWindowMs = 30000;
constexpr int kRecentMaxBodies = 4000;

enum class RecordingBlockKind : uint8_t { FullBody = 1, DeltaBody = 2, Index = 3 };

// What the header says about the game.
struct RecordingHeader {
    uint16_t formatVersion = kRecordingFormatVersion;
    std::string programVersion;      // e.g. "0.9.0"
    std::string levelName;           // the level file's base name
    uint64_t levelDigest = 0;
    int fighterCount = 0;
    std::vector<std::string> players;  // at most kRecordingPlayersMax
    int64_t startUnixMs = 0;         // wall clock when the recording began
};

// A recording being written. Plain data: open, record, close.
struct RecordingWriter {
    std::FILE* file = nullptr;
    std::string path;
    NetMessage last;                 // the body before the next one
    bool haveLast = false;
    int64_t lastFullMs = 0;          // time of the last full body
    int64_t lastFlushMs = 0;
    uint64_t offset = 0;             // bytes written so far
    uint64_t bodies = 0;
    uint32_t lastTimeMs = 0;
    bool failed = false;             // a write failed: nothing more is written
    struct SeekPoint { uint32_t timeMs; uint64_t offset; };
    std::vector<SeekPoint> seekPoints;
};

// Creates `path` and writes the header; "" or why it cannot (one line).
std::string openRecording(RecordingWriter& w, const std::string& path, const RecordingHeader& h);
// Appends one body at timeMs (ms since the recording began, never going
// back: an earlier time is taken as the last one). Flushes the file at
// least every kRecordingFlushEveryMs of recording time.
void recordBody(RecordingWriter& w, const NetMessage& body, int64_t timeMs);
// Writes the index and trailer and closes; a closed writer does nothing.
void closeRecording(RecordingWriter& w);

// A recording being read.
struct RecordingReader {
    std::FILE* file = nullptr;
    RecordingHeader header;
    uint64_t fileBytes = 0;
    uint64_t firstBlock = 0;         // offset just past the header
    std::vector<RecordingWriter::SeekPoint> seekPoints;  // full bodies, in time order
    uint64_t bodies = 0;             // bodies readable
    uint32_t durationMs = 0;         // time of the last readable body
    uint64_t endOfBodies = 0;        // offset past the last readable body block
    bool indexed = false;            // the index was read (else the file was scanned)
    // Empty, or one line naming the first damaged block (a cut or a flipped
    // file still reads up to the last whole block before it).
    std::string damage;
    // The cursor: the body last read and where the next block starts.
    NetMessage body;
    uint32_t bodyTimeMs = 0;
    bool haveBody = false;
    uint64_t nextOffset = 0;
};

// Opens and checks the header, then reads the index, or scans the blocks
// when there is none; "" or why the file cannot be played (one line).
std::string openRecordingReader(RecordingReader& r, const std::string& path);
void closeRecordingReader(RecordingReader& r);
// Reads the body block at the cursor into r.body; false at the end or at a
// damaged block (r.damage then names it).
bool readNextBody(RecordingReader& r);
// Puts the cursor on the last body at or before timeMs (the first body when
// timeMs lies before it); false when there is none.
bool seekRecording(RecordingReader& r, uint32_t timeMs);
// Reads every block from the first: checks each checksum, decodes every
// body and compares the index with what it finds. "" or the first fault.
std::string checkRecording(RecordingReader& r);

// CRC-32 (IEEE 802.3, reflected, polynomial 0xEDB88320), continuing `crc`.
uint32_t recordingCrc32(const uint8_t* p, size_t n, uint32_t crc = 0);

// The last seconds of the stream, bounded both in time and in bodies.
struct RecentBodies {
    struct Entry { int64_t timeMs; NetMessage body; };
    std::vector<Entry> ring;   // capacity kRecentMaxBodies once used
    int first = 0;             // the oldest entry
    int count = 0;
};
void rememberBody(RecentBodies& recent, const NetMessage& body, int64_t nowMs);
// Writes the bodies of the last kRecentWindowMs before nowMs to `path`.
std::string writeRecentBodies(const RecentBodies& recent, int64_t nowMs, const std::string& path,
                              const RecordingHeader& h);

// ---------------------------------------------------------------------------
// The process's recorder: what --record and F9 write.
// ---------------------------------------------------------------------------

// The header of this process's game: the level from net, the fighters and
// their names from gs, the program's version and the wall clock now.
RecordingHeader currentRecordingHeader();
// Starts recording every body noted from now on to `path`; "" or why not.
// The file is closed (index written) when the process exits by any path
// that runs exit handlers: q, Ctrl-C, SIGTERM, "Server died".
std::string startProcessRecording(const std::string& path);
// Keeps the last kRecentWindowMs in memory for saveRecentRecording (the
// windowed game), which writes them into `folder` (absolute).
void keepRecentBodies(const std::string& folder);
// The hook: a server calls it with each body it sends (as its own player's
// picture), a client with each newer body it applies.
void noteRecordedBody(const NetMessage& body);
// F9: writes the kept last seconds to a new file "maze-last-<time>.mzr" in
// the folder keepRecentBodies named; returns the line for the message line.
std::string saveRecentRecording();
// A file named on the command line, made absolute from the working
// directory before the program enters its data folder.
std::string pathBeforeDataFolder(const std::string& given);
// Closes the process's recording (idempotent).
void finishProcessRecording();
