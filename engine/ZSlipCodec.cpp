#include "ZSlipCodec.h"

#include <cstring>

TDecodeResult ZSlipCodec::Decode(const uint8_t* encoded, int length, uint8_t* out, int capacity,
                                 int& decodedLength) const {
    int at = 0;
    int made = 0;
    while (at < length) {
        // Most bytes stand for themselves: they are copied in runs up to the next escape.
        const auto* escape =
            static_cast<const uint8_t*>(std::memchr(encoded + at, Esc, static_cast<size_t>(length - at)));
        const int run = escape != nullptr ? static_cast<int>(escape - encoded) - at : length - at;
        if (run > capacity - made) return drTooLong;
        std::memcpy(out + made, encoded + at, static_cast<size_t>(run));
        made += run;
        at += run;
        if (escape == nullptr) break;
        if (at + 1 >= length) return drCorrupt;
        const uint8_t escaped = encoded[at + 1];
        if (escaped != EscEnd && escaped != EscEsc) return drCorrupt;
        if (made == capacity) return drTooLong;
        out[made++] = escaped == EscEnd ? End : Esc;
        at += 2;
    }
    decodedLength = made;
    return drDecoded;
}

void ZSlipCodec::Encode(const uint8_t* bytes, size_t length, std::vector<uint8_t>& out) const {
    out.reserve(out.size() + length + 2);
    out.push_back(End);
    for (size_t i = 0; i < length; ++i) {
        if (bytes[i] == End) {
            out.insert(out.end(), {Esc, EscEnd});
        } else if (bytes[i] == Esc) {
            out.insert(out.end(), {Esc, EscEsc});
        } else {
            out.push_back(bytes[i]);
        }
    }
    out.push_back(End);
}
