#include "ZTermInput.h"

#include <array>

#include "Funset_strings.h"

namespace {

constexpr char Esc = '\x1b';

bool IsCharacter(char32_t c) {
    return c <= 0x10FFFF && !(c >= 0xD800 && c <= 0xDFFF);
}

// The keys after Enter, Backspace, Tab and Escape, in ZTermKey order.
constexpr std::array<const char*, 23> SequenceKeys = {
    "\x1b[Z",  "\x1b[A",   "\x1b[B",   "\x1b[C",   "\x1b[D",   "\x1b[H",   "\x1b[F",   "\x1b[2~",
    "\x1b[3~", "\x1b[5~",  "\x1b[6~",  "\x1bOP",   "\x1bOQ",   "\x1bOR",   "\x1bOS",   "\x1b[15~",
    "\x1b[17~", "\x1b[18~", "\x1b[19~", "\x1b[20~", "\x1b[21~", "\x1b[23~", "\x1b[24~"};
static_assert(static_cast<size_t>(ZTermKey::F12) - static_cast<size_t>(ZTermKey::BackTab) + 1 ==
              SequenceKeys.size());

}  // namespace

bool ZTermLineEndFromName(std::string_view name, ZTermLineEnd& lineEnd) {
    if (name == "cr") {
        lineEnd = ZTermLineEnd::Cr;
    } else if (name == "lf") {
        lineEnd = ZTermLineEnd::Lf;
    } else if (name == "crlf") {
        lineEnd = ZTermLineEnd::CrLf;
    } else {
        return false;
    }
    return true;
}

std::string_view ZTermLineEndBytes(ZTermLineEnd lineEnd) {
    switch (lineEnd) {
        case ZTermLineEnd::Cr:
            return "\r";
        case ZTermLineEnd::Lf:
            return "\n";
        case ZTermLineEnd::CrLf:
            return "\r\n";
        case ZTermLineEnd::None:
            break;
    }
    return "";
}

std::string ZTermEncodeText(std::u32string_view text, ZTermCharset charset) {
    std::string out;
    out.reserve(text.size());
    for (const char32_t c : text) {
        if (!IsCharacter(c)) {
            out += '?';
        } else if (charset == ZTermCharset::Latin1) {
            out += c <= 0xFF ? static_cast<char>(c) : '?';
        } else {
            ZULAppendUtf8(out, c);
        }
    }
    return out;
}

std::string ZTermEncodeLine(std::u32string_view text, ZTermLineEnd lineEnd, ZTermCharset charset) {
    std::string out = ZTermEncodeText(text, charset);
    out += ZTermLineEndBytes(lineEnd);
    return out;
}

std::string ZTermEncodeKey(ZTermKey key, ZTermLineEnd enter) {
    switch (key) {
        case ZTermKey::Enter:
            // A terminal's Enter is a CR; a line end chosen for it replaces that.
            return std::string(enter == ZTermLineEnd::None ? "\r" : ZTermLineEndBytes(enter));
        case ZTermKey::Backspace:
            return "\x7f";
        case ZTermKey::Tab:
            return "\t";
        case ZTermKey::Escape:
            return std::string(1, Esc);
        default:
            break;
    }
    const auto index = static_cast<size_t>(key) - static_cast<size_t>(ZTermKey::BackTab);
    return index < SequenceKeys.size() ? SequenceKeys[index] : "";
}

std::string ZTermControlCode(char32_t character) {
    if (character >= U'a' && character <= U'z') character -= U'a' - U'A';
    if (character == U' ') return std::string(1, '\0');
    if (character == U'?') return "\x7f";
    if (character >= U'@' && character <= U'_') return std::string(1, static_cast<char>(character - U'@'));
    return "";
}

std::string ZTermWithAlt(std::string_view bytes) {
    std::string out(1, Esc);
    out += bytes;
    return out;
}

void ZTermLineEndConverter::Convert(const uint8_t* bytes, size_t count, std::string& out) {
    if (target_ == ZTermLineEnd::None) {
        out.append(reinterpret_cast<const char*>(bytes), count);
        return;
    }
    const std::string_view lineEnd = ZTermLineEndBytes(target_);
    for (size_t i = 0; i < count; ++i) {
        const uint8_t byte = bytes[i];
        // The CR went out at once: a line typed into a pipe must not wait for the next one.
        const bool secondHalf = afterCr_ && byte == '\n';
        afterCr_ = byte == '\r';
        if (secondHalf) continue;
        if (byte == '\r' || byte == '\n')
            out += lineEnd;
        else
            out += static_cast<char>(byte);
    }
}
