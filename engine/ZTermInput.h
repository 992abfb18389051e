#pragma once
// What a terminal sends to the device for what its user types: a line and its line
// end, a key as a terminal encodes it, a character typed with Ctrl or Alt, and pasted
// or piped text with its line ends converted. The terminal window and
// `kestrun-cli term` both send through these, so a key means the same bytes in both.
// Plain functions and one small converter; no thread of their own.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// The line end a line (or a typed Enter) is sent with.
enum class ZTermLineEnd : uint8_t { None, Cr, Lf, CrLf };

// "cr", "lf" or "crlf" (the command line's names); false for any other text.
bool ZTermLineEndFromName(std::string_view name, ZTermLineEnd& lineEnd);
// The bytes of a line end: "", "\r", "\n" or "\r\n".
std::string_view ZTermLineEndBytes(ZTermLineEnd lineEnd);

// How characters become bytes and bytes characters on the line.
enum class ZTermCharset : uint8_t { Utf8, Latin1 };

// Characters as bytes: UTF-8, or Latin-1 with '?' for each character beyond U+00FF
// (and for a code point that is no character, in either).
std::string ZTermEncodeText(std::u32string_view text, ZTermCharset charset);
// A line of the input field as it goes out: its text, then the line end.
std::string ZTermEncodeLine(std::u32string_view text, ZTermLineEnd lineEnd, ZTermCharset charset);

// Keys that type no character, as a terminal sends them.
enum class ZTermKey : uint8_t {
    Enter,      // the line end chosen, CR when none is
    Backspace,  // DEL (7F), as terminals send it
    Tab,
    Escape,
    BackTab,  // Shift+Tab: ESC [ Z
    Up,  // ESC [ A .. D
    Down,
    Right,
    Left,
    Home,  // ESC [ H, ESC [ F
    End,
    Insert,  // ESC [ 2 ~, 3 ~, 5 ~, 6 ~
    Delete,
    PageUp,
    PageDown,
    F1,  // ESC O P .. S
    F2,
    F3,
    F4,
    F5,  // ESC [ 15 ~ .. 24 ~
    F6,
    F7,
    F8,
    F9,
    F10,
    F11,
    F12,
};

// The bytes of a key; enter is the line end a typed Enter sends.
std::string ZTermEncodeKey(ZTermKey key, ZTermLineEnd enter);
// The control code of a character typed with Ctrl: a letter (either case) and
// @ [ \ ] ^ _ give 00..1F (Ctrl+C is 03), a space 00, ? DEL (7F); "" for a
// character without one.
std::string ZTermControlCode(char32_t character);
// What a key typed with Alt sends: ESC, then the key's own bytes.
std::string ZTermWithAlt(std::string_view bytes);

// Converts the line ends of text on its way to the device (a paste, a pipe): CR LF,
// a lone CR and a lone LF each become the target's bytes; with target None the
// bytes pass unchanged. A CR goes out at once; an LF that begins the next piece is
// then taken as its second half.
class ZTermLineEndConverter {
public:
    explicit ZTermLineEndConverter(ZTermLineEnd target) : target_(target) {}

    // Appends the converted bytes of one piece to out.
    void Convert(const uint8_t* bytes, size_t count, std::string& out);
    void Convert(std::string_view text, std::string& out) {
        Convert(reinterpret_cast<const uint8_t*>(text.data()), text.size(), out);
    }

private:
    ZTermLineEnd target_;
    bool afterCr_ = false;  // the last byte converted was a CR
};
