#pragma once
// A UTF-8 decoder that is fed one byte at a time, as bytes arrive from a line: it
// hands on each character it completes and each byte that belongs to no character
// (a stray continuation byte, an overlong form, a surrogate, a code point beyond
// U+10FFFF, a sequence cut short), in stream order. A sequence cut short gives its
// bytes as invalid, one by one, and the byte that cut it is decoded afresh: the
// "maximal subpart" rule, so a decoder that resynchronises never swallows a
// character that follows. Header-only: the terminal's screen and `kestrun-cli term`
// both decode with it.

#include <cstdint>

class ZUtf8Decoder {
public:
    // onChar(char32_t) for a character, onInvalid(uint8_t) for a byte of none.
    template <class OnChar, class OnInvalid>
    void Feed(uint8_t byte, OnChar&& onChar, OnInvalid&& onInvalid) {
        if (held_ > 0) {
            const bool fits = held_ == 1 ? byte >= low_ && byte <= high_ : (byte & 0xC0) == 0x80;
            if (fits) {
                bytes_[held_++] = byte;
                code_ = (code_ << 6) | (byte & 0x3F);
                if (held_ == length_) {
                    held_ = 0;
                    onChar(code_);
                }
                return;
            }
            Flush(onInvalid);
        }
        Start(byte, onChar, onInvalid);
    }

    // The bytes of a character begun but not finished, as invalid: the end of a stream.
    template <class OnInvalid>
    void Flush(OnInvalid&& onInvalid) {
        for (int i = 0; i < held_; ++i) onInvalid(bytes_[i]);
        held_ = 0;
    }

    bool Pending() const { return held_ > 0; }

private:
    template <class OnChar, class OnInvalid>
    void Start(uint8_t byte, OnChar&& onChar, OnInvalid&& onInvalid) {
        low_ = 0x80;
        high_ = 0xBF;
        if (byte < 0x80) {
            onChar(static_cast<char32_t>(byte));
            return;
        }
        if (byte >= 0xC2 && byte <= 0xDF) {
            length_ = 2;
            code_ = byte & 0x1F;
        } else if (byte >= 0xE0 && byte <= 0xEF) {
            length_ = 3;
            code_ = byte & 0x0F;
            if (byte == 0xE0) low_ = 0xA0;   // no overlong form
            if (byte == 0xED) high_ = 0x9F;  // no surrogate
        } else if (byte >= 0xF0 && byte <= 0xF4) {
            length_ = 4;
            code_ = byte & 0x07;
            if (byte == 0xF0) low_ = 0x90;   // no overlong form
            if (byte == 0xF4) high_ = 0x8F;  // nothing beyond U+10FFFF
        } else {
            onInvalid(byte);
            return;
        }
        bytes_[0] = byte;
        held_ = 1;
    }

    uint8_t bytes_[4] = {};
    int held_ = 0;    // bytes of the character begun
    int length_ = 0;  // bytes it takes
    char32_t code_ = 0;
    uint8_t low_ = 0x80;  // the range of its second byte
    uint8_t high_ = 0xBF;
};
