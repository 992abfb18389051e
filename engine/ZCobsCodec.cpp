#include "ZCobsCodec.h"

#include <cstring>

TDecodeResult ZCobsCodec::Decode(const uint8_t* encoded, int length, uint8_t* out, int capacity,
                                 int& decodedLength) const {
    int at = 0;
    int made = 0;
    while (at < length) {
        const int code = encoded[at++];
        const int run = code - 1;
        // A code 00 cannot occur: 00 is the delimiter.
        if (code == Zero || run > length - at) return drCorrupt;
        if (run > capacity - made) return drTooLong;
        std::memcpy(out + made, encoded + at, static_cast<size_t>(run));
        made += run;
        at += run;
        if (code == LongestCode || at == length) continue;
        if (made == capacity) return drTooLong;
        out[made++] = Zero;
    }
    decodedLength = made;
    return drDecoded;
}

void ZCobsCodec::Encode(const uint8_t* bytes, size_t length, std::vector<uint8_t>& out) const {
    out.reserve(out.size() + length + length / 254 + 2);
    size_t codeAt = out.size();
    out.push_back(Zero);
    int code = 1;
    for (size_t i = 0; i < length; ++i) {
        // A full block is closed only when another byte follows, so a payload that
        // fills its last block exactly ends without an empty one.
        if (code == LongestCode) {
            out[codeAt] = LongestCode;
            codeAt = out.size();
            out.push_back(Zero);
            code = 1;
        }
        if (bytes[i] == Zero) {
            out[codeAt] = static_cast<uint8_t>(code);
            codeAt = out.size();
            out.push_back(Zero);
            code = 1;
        } else {
            out.push_back(bytes[i]);
            ++code;
        }
    }
    out[codeAt] = static_cast<uint8_t>(code);
    out.push_back(Zero);
}
