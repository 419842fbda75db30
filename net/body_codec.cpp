// body_codec.cpp -- a state body as its difference from an earlier one,
// compressed with zstd.
//
// Form: one form byte, then one zstd frame of exactly kNetMessageSize bytes.
// Against a base, the frame is compressed with the base body as its raw
// prefix (zstd's "reference prefix"): the unchanged runs of the body,
// wherever they moved when a list grew or shrank, become matches into the
// base. This measured smaller than XORing with the base and compressing
// the result, at the same speed (a busy game, base three bodies back:
// 45.7 against 52.2 KB/s to a client, both about 10 us a body; an XOR
// loses every run behind an entry that appeared or went). Without a base
// the same frame
// stands alone: a full body, a seek point of a recording.
//
// One thread uses the codec (the game's), so the two contexts are kept and
// reused: no allocation per body after the first.
#include <zstd.h>

#include <cstring>

#include "net/net.h"

namespace {

constexpr uint8_t kFormFull = 1;    // a frame on its own
constexpr uint8_t kFormDelta = 2;   // a frame against the base body as prefix
// Fast level: a body is encoded per compact client 100 times a second;
// level 3 measured no smaller, 6 and above 3 to 30 times slower for 8
// to 12 per cent less.
constexpr int kLevel = 1;
// A body is 6008 bytes; the base before it as much again. A frame that
// claims a window past this is not ours (and would only waste the check).
constexpr int kWindowLog = 14;

ZSTD_CCtx* compressor() {
    static ZSTD_CCtx* const c = [] {
        ZSTD_CCtx* const made = ZSTD_createCCtx();
        ZSTD_CCtx_setParameter(made, ZSTD_c_compressionLevel, kLevel);
        ZSTD_CCtx_setParameter(made, ZSTD_c_windowLog, kWindowLog);
        // The content size stays, so a frame of another size is refused
        // before it is decoded; the checksum (4 bytes) refuses a frame
        // decoded against another base than its own. No dictionary id:
        // the form byte names the base.
        ZSTD_CCtx_setParameter(made, ZSTD_c_checksumFlag, 1);
        ZSTD_CCtx_setParameter(made, ZSTD_c_dictIDFlag, 0);
        ZSTD_CCtx_setParameter(made, ZSTD_c_contentSizeFlag, 1);
        return made;
    }();
    return c;
}

ZSTD_DCtx* decompressor() {
    static ZSTD_DCtx* const d = [] {
        ZSTD_DCtx* const made = ZSTD_createDCtx();
        ZSTD_DCtx_setParameter(made, ZSTD_d_windowLogMax, kWindowLog);
        return made;
    }();
    return d;
}

}  // namespace

int encodeBody(const NetMessage* base, const NetMessage& body, uint8_t* out, int capacity) {
    if (out == nullptr || capacity < 2) return 0;
    ZSTD_CCtx* const c = compressor();
    if (c == nullptr) return 0;
    ZSTD_CCtx_reset(c, ZSTD_reset_session_only);
    out[0] = base != nullptr ? kFormDelta : kFormFull;
    if (base != nullptr && ZSTD_isError(ZSTD_CCtx_refPrefix(c, base->bytes, kNetMessageSize))) return 0;
    const size_t n = ZSTD_compress2(c, out + 1, static_cast<size_t>(capacity - 1), body.bytes, kNetMessageSize);
    if (ZSTD_isError(n)) return 0;
    return static_cast<int>(n) + 1;
}

bool decodeBody(const NetMessage* base, const uint8_t* in, int size, NetMessage& body) {
    if (in == nullptr || size < 2) return false;
    if (in[0] != (base != nullptr ? kFormDelta : kFormFull)) return false;
    const uint8_t* const frame = in + 1;
    const size_t frameSize = static_cast<size_t>(size - 1);
    // The frame must say it holds exactly one body; zstd checks that what it
    // decodes matches what the frame says, and never writes past `body`.
    if (ZSTD_getFrameContentSize(frame, frameSize) != static_cast<unsigned long long>(kNetMessageSize)) return false;
    ZSTD_DCtx* const d = decompressor();
    if (d == nullptr) return false;
    ZSTD_DCtx_reset(d, ZSTD_reset_session_only);
    if (base != nullptr && ZSTD_isError(ZSTD_DCtx_refPrefix(d, base->bytes, kNetMessageSize))) return false;
    const size_t n = ZSTD_decompressDCtx(d, body.bytes, kNetMessageSize, frame, frameSize);
    return !ZSTD_isError(n) && n == static_cast<size_t>(kNetMessageSize);
}
