// body_codec.cpp -- a state body as the difference from an earlier one.
//
// First form: the bytes XORed with the base, stored as they are. The
// compressed form replaces it behind the same two functions.
#include <cstring>

#include "net/net.h"

namespace {
constexpr uint8_t kRawForm = 0;
}

int encodeBody(const NetMessage* base, const NetMessage& body, uint8_t* out, int capacity) {
    if (capacity < 1 + kNetMessageSize) return 0;
    out[0] = kRawForm;
    for (int i = 0; i < kNetMessageSize; ++i)
        out[1 + i] = body.bytes[i] ^ (base ? base->bytes[i] : 0);
    return 1 + kNetMessageSize;
}

bool decodeBody(const NetMessage* base, const uint8_t* in, int size, NetMessage& body) {
    if (size != 1 + kNetMessageSize || in[0] != kRawForm) return false;
    for (int i = 0; i < kNetMessageSize; ++i)
        body.bytes[i] = in[1 + i] ^ (base ? base->bytes[i] : 0);
    return true;
}
