// The system report's 16-bit text, as the report tool leaves it in its file, turned
// into UTF-8: any bytes at all give well-formed UTF-8 without encoded surrogates.

#include <cstdint>
#include <string>

#include "FuzzInput.h"
#include "TZULSystemReport.h"

namespace {

// Length of the well-formed UTF-8 sequence at text[at], or 0 when there is none.
size_t SequenceLength(const std::string& text, size_t at) {
    const auto byte = [&text](size_t i) { return static_cast<uint8_t>(text[i]); };
    const uint8_t lead = byte(at);
    if (lead < 0x80) return 1;
    size_t length = 0;
    uint32_t code = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        code = lead & 0x1Fu;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        code = lead & 0x0Fu;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        code = lead & 0x07u;
    } else {
        return 0;
    }
    if (at + length > text.size()) return 0;
    for (size_t i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80) return 0;
        code = (code << 6) | (byte(at + i) & 0x3Fu);
    }
    const uint32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < smallest[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
    return length;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const std::string text = TZULSystemReport::Utf16ToUtf8(bytes);
    size_t characters = 0;
    for (size_t at = 0; at < text.size(); ++characters) {
        const size_t length = SequenceLength(text, at);
        Require(length != 0, "the converted report is well-formed UTF-8");
        at += length;
    }
    Require(characters <= size / 2, "every character comes from at least one 16-bit unit");
    return 0;
}
