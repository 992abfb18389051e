#pragma once
// The terminal window's text: the bytes received and sent, in arrival order, made
// into lines as a terminal shows them. Plain C++ without a window, so that what a
// byte stream becomes can be checked line by line.
//
// Bytes become characters as UTF-8 (a byte of no character shows as "\xNN") or
// Latin-1 (the C1 range 80..9F shows as "\xNN"). A new line begins on the line end
// chosen (LF, CR, or CR LF); the other line-end byte acts as a terminal's: a CR goes
// back to the start of the line, an LF (and VT, FF) down to the next line in the
// same column; in CR mode an LF right after the CR belongs to it. BS moves back one
// column, TAB to the next multiple of eight, BEL is counted for a flash. SGR
// sequences colour the text that follows (16, 256 and direct colours, bold, faint,
// italic, underline, inverse, crossed out); cursor moves along the line (CUF, CUB,
// CHA, HPA) and line edits (EL, ECH, DCH, ICH) apply to the current line; every
// other escape sequence, control string (OSC, DCS, ...) and control character is
// dropped. With control characters shown instead, each C0 byte and DEL is a symbol
// (U+2400 + byte, U+2421) and nothing is applied; the line still ends after the line
// end chosen.
//
// Received and sent bytes each have their own decoder, escape state and colours,
// so a send cannot break a sequence being received; sent bytes are shown only when
// asked for, marked as sent. A line is at most MaxLineCells characters; longer ones
// go on in the next line. Each line keeps the time of the first byte that reached it.
//
// One thread at a time (the window's); nothing here blocks.

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "ZTermInput.h"
#include "ZTermStamps.h"
#include "ZUtf8Decoder.h"

// A colour of the text or its background: the default, one of the 256 of the
// terminal palette (0..15 the named ones), or a direct RGB colour.
struct ZTermColour {
    enum Kind : uint8_t { Default, Palette, Rgb };
    Kind Type = Default;
    uint32_t Value = 0;  // palette index, or 0xRRGGBB
    bool operator==(const ZTermColour&) const = default;
};

struct ZTermStyle {
    enum Flag : uint8_t {
        Bold = 1,
        Faint = 2,
        Italic = 4,
        Underline = 8,
        Inverse = 16,
        CrossedOut = 32,
        Sent = 64,     // a byte that was sent, not received
        Symbolic = 128,  // stands for bytes: "\xNN" or a control symbol
    };
    ZTermColour Foreground;
    ZTermColour Background;
    uint8_t Flags = 0;
    bool operator==(const ZTermStyle&) const = default;
};

struct ZTermLine {
    std::u32string Text;
    std::vector<ZTermStyle> Styles;  // one per character of Text
    int64_t TimeUs = 0;              // of the first byte that reached the line
    bool HasTime = false;            // no byte has reached it yet
};

// Which byte begins a new line.
enum class ZTermNewLine : uint8_t { Lf, Cr, CrLf };

struct ZTermScreenOptions {
    ZTermCharset Charset = ZTermCharset::Utf8;
    ZTermNewLine NewLine = ZTermNewLine::Lf;
    bool ShowControls = false;
    bool ShowSent = false;
    ZTermStampFormat Stamps = ZTermStampFormat::Off;
};

class ZTermScreen {
public:
    static constexpr int MaxLineCells = 4096;
    static constexpr int TabWidth = 8;
    // Longest control sequence (parameters) and control string kept track of: a longer
    // one is dropped whole, a string ends there and what follows is text again.
    static constexpr int MaxSequenceBytes = 64;
    static constexpr int MaxStringBytes = 4096;

    // maxLines: the finished lines held for TakeUpdate at most (older ones are dropped).
    explicit ZTermScreen(int maxLines);

    // Takes effect with the next byte; the escape and decoder states carry over.
    void SetOptions(const ZTermScreenOptions& options) { options_ = options; }
    const ZTermScreenOptions& Options() const { return options_; }
    void SetMaxLines(int maxLines);

    // count bytes received (sent false) or sent, read at timeUs.
    void Feed(const uint8_t* bytes, size_t count, bool sent, int64_t timeUs);
    // A line of its own with text (a notice from the window, such as bytes not shown),
    // after the current line when that holds anything.
    void PutNotice(const std::u32string& text, int64_t timeUs);
    // Forgets every line; the open line starts empty. Escape and decoder states carry over.
    void Clear();

    struct Update {
        std::vector<ZTermLine> Finished;  // oldest first, since the last take
        uint64_t Dropped = 0;             // finished lines older than those, not kept
        int Bells = 0;                    // BEL bytes applied since the last take
    };
    // What changed since the last take; the open line is OpenLine().
    Update TakeUpdate();
    // Whether anything changed since the last take.
    bool Changed() const { return changed_; }
    const ZTermLine& OpenLine() const { return open_; }
    // The time stamp shown before a line, by the options ("" for a line no byte has reached).
    std::u32string Prefix(const ZTermLine& line) const;

private:
    enum class Escape : uint8_t { None, Esc, EscIntermediate, Csi, String, StringEsc };

    // Per direction: decoding, escape parsing and the colours SGR set.
    struct Direction {
        ZUtf8Decoder Utf8;
        Escape State = Escape::None;
        std::string Sequence;  // a control sequence's parameters and intermediates
        bool SequenceTooLong = false;
        int StringBytes = 0;
        ZTermStyle Style;
        bool AfterCr = false;        // CR mode: an LF right after it belongs to it
        bool BreakPending = false;   // controls shown, CR mode: the CR's line ends at the next byte
    };

    void FeedByte(Direction& direction, uint8_t byte);
    void EscapeByte(Direction& direction, uint8_t byte);
    void Character(Direction& direction, char32_t character);
    void Control(Direction& direction, uint8_t byte);
    void ShownControl(Direction& direction, uint8_t byte);
    void RunSequence(Direction& direction, char final);
    void SelectGraphicRendition(ZTermStyle& style, const std::vector<int>& parameters);
    void PutBytes(Direction& direction, const uint8_t* bytes, size_t count);
    void Put(char32_t character, ZTermStyle style);
    void NewLine(bool keepColumn);
    void Touch();

    ZTermScreenOptions options_;
    size_t maxLines_;
    Direction received_;
    Direction sent_;
    std::deque<ZTermLine> finished_;
    uint64_t dropped_ = 0;
    ZTermLine open_;
    int cursor_ = 0;  // column in open_; may lie beyond its end
    int bells_ = 0;
    bool changed_ = false;
    int64_t timeUs_ = 0;  // of the bytes being fed
};
