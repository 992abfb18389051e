// What a terminal sends for what its user types, and the time stamp it puts before a
// line: typed lines, keys, control characters, pasted and piped text.

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "ScopedTimeZone.h"
#include "ZTermInput.h"
#include "ZTermStamps.h"

namespace {

constexpr auto Cr = ZTermLineEnd::Cr, Lf = ZTermLineEnd::Lf, CrLf = ZTermLineEnd::CrLf,
               NoEnd = ZTermLineEnd::None;
constexpr auto Utf8 = ZTermCharset::Utf8, Latin1 = ZTermCharset::Latin1;
using Key = ZTermKey;
using Stamp = ZTermStampFormat;

struct LineCase {
    std::u32string Text;
    ZTermLineEnd LineEnd;
    ZTermCharset Charset;
    std::string Bytes;
};

TEST(TermInputTest, TypedLineGoesOutWithItsLineEnd) {
    const std::vector<LineCase> rows = {
        {U"AT", Cr, Utf8, "AT\r"},
        {U"AT", Lf, Utf8, "AT\n"},
        {U"AT", CrLf, Utf8, "AT\r\n"},
        {U"AT", NoEnd, Utf8, "AT"},
        {U"", CrLf, Utf8, "\r\n"},
        {U"Grüße €", Cr, Utf8,
         "Gr\xc3\xbc\xc3\x9f"
         "e \xe2\x82\xac\r"},
        // Latin-1 has no euro sign; a code point that is no character has no form at all.
        {U"Grüße €ÿ", Cr, Latin1,
         "Gr\xfc\xdf"
         "e ?\xff\r"},
        {std::u32string(1, char32_t{0x1F600}), NoEnd, Utf8, "\xf0\x9f\x98\x80"},
        {std::u32string{char32_t{0x10FFFF}, char32_t{0xD800}, char32_t{0xDFFF}, char32_t{0x110000}}, NoEnd,
         Utf8, "\xf4\x8f\xbf\xbf???"},
    };
    for (const LineCase& row : rows)
        EXPECT_EQ(ZTermEncodeLine(row.Text, row.LineEnd, row.Charset), row.Bytes) << row.Bytes;
}

struct KeyCase {
    ZTermKey Key;
    ZTermLineEnd Enter;
    std::string Bytes;
};

TEST(TermInputTest, KeyGoesOutAsATerminalSendsIt) {
    const std::vector<KeyCase> rows = {
        {Key::Enter, NoEnd, "\r"},    {Key::Enter, CrLf, "\r\n"},     {Key::Enter, Lf, "\n"},
        {Key::Backspace, Cr, "\x7f"}, {Key::Tab, Cr, "\t"},           {Key::BackTab, Cr, "\x1b[Z"},
        {Key::Escape, Cr, "\x1b"},    {Key::Up, Cr, "\x1b[A"},        {Key::Down, Cr, "\x1b[B"},
        {Key::Right, Cr, "\x1b[C"},   {Key::Left, Cr, "\x1b[D"},      {Key::Home, Cr, "\x1b[H"},
        {Key::End, Cr, "\x1b[F"},     {Key::Insert, Cr, "\x1b[2~"},   {Key::Delete, Cr, "\x1b[3~"},
        {Key::PageUp, Cr, "\x1b[5~"}, {Key::PageDown, Cr, "\x1b[6~"}, {Key::F1, Cr, "\x1bOP"},
        {Key::F4, Cr, "\x1bOS"},      {Key::F5, Cr, "\x1b[15~"},      {Key::F6, Cr, "\x1b[17~"},
        {Key::F10, Cr, "\x1b[21~"},   {Key::F11, Cr, "\x1b[23~"},     {Key::F12, Cr, "\x1b[24~"},
    };
    for (const KeyCase& row : rows)
        EXPECT_EQ(ZTermEncodeKey(row.Key, row.Enter), row.Bytes) << static_cast<int>(row.Key);
}

TEST(TermInputTest, ControlCharacterGoesOutAsItsCode) {
    const std::vector<std::pair<char32_t, std::string>> rows = {
        {U'c', "\x03"},
        {U'C', "\x03"},
        {U'a', "\x01"},
        {U'z', "\x1a"},
        {U'@', std::string(1, '\0')},
        {U' ', std::string(1, '\0')},
        {U'[', "\x1b"},
        {U'\\', "\x1c"},
        {U']', "\x1d"},
        {U'_', "\x1f"},
        {U'?', "\x7f"},
        {U'1', ""},
        {U'\u00e4', ""},
        {U'`', ""},
    };
    for (const auto& [character, bytes] : rows)
        EXPECT_EQ(ZTermControlCode(character), bytes) << static_cast<uint32_t>(character);
    EXPECT_EQ(ZTermWithAlt("x"), "\x1bx");
}

struct PasteCase {
    std::vector<std::string> Pieces;
    ZTermLineEnd Target;
    std::string Bytes;
};

TEST(TermInputTest, PastedTextHasItsLineEndsConverted) {
    const std::vector<PasteCase> rows = {
        {{"a\r\nb\nc\rd"}, Cr, "a\rb\rc\rd"},
        {{"a\r\nb\nc\rd"}, CrLf, "a\r\nb\r\nc\r\nd"},
        {{"a\r\nb\nc\rd"}, Lf, "a\nb\nc\nd"},
        {{"a\r\nb\nc\rd"}, NoEnd, "a\r\nb\nc\rd"},
        // A CR LF cut between two pieces is still one line end; the CR is not held back.
        {{"AT\r", "\nATI\r"}, CrLf, "AT\r\nATI\r\n"},
        {{"AT\r", "\r\n"}, Lf, "AT\n\n"},
        {{"\n\n"}, Cr, "\r\r"},
        {{"\r\r\n"}, Cr, "\r\r"},
        {{"\r", "", "\n"}, Cr, "\r"},
        {{std::string("\0\x7f\xff", 3)}, Cr, std::string("\0\x7f\xff", 3)},
    };
    for (const PasteCase& row : rows) {
        ZTermLineEndConverter converter(row.Target);
        std::string out;
        for (const std::string& piece : row.Pieces) converter.Convert(piece, out);
        EXPECT_EQ(out, row.Bytes) << row.Pieces[0];
    }
}

struct StampCase {
    int64_t UnixUs;
    ZTermStampFormat Format;
    std::string Prefix;
};

TEST(TermInputTest, StampPrefixShowsTheLocalTimeCut) {
    const ScopedTimeZone utc("UTC");
    constexpr int64_t Noon = 1796904000LL * 1000000;  // 2026-12-10 12:00:00 UTC
    const std::vector<StampCase> rows = {
        {Noon + 1234567, Stamp::Seconds, "12:00:01 "},
        {Noon + 1234567, Stamp::Milliseconds, "12:00:01.234 "},
        {Noon + 1234567, Stamp::Microseconds, "12:00:01.234567 "},
        {Noon + 999999, Stamp::Milliseconds, "12:00:00.999 "},
        {Noon - 1, Stamp::Microseconds, "11:59:59.999999 "},
        {Noon + 5, Stamp::Off, ""},
        {-1, Stamp::Microseconds, "23:59:59.999999 "},
    };
    for (const StampCase& row : rows) EXPECT_EQ(ZTermStampPrefix(row.UnixUs, row.Format), row.Prefix);
    ZTermStampFormat format = ZTermStampFormat::Off;
    std::string cycle;
    for (int i = 0; i < 5; ++i) {
        format = ZTermNextStampFormat(format);
        cycle += ZTermStampPrefix(Noon, format) + '|';
    }
    EXPECT_EQ(cycle, "12:00:00 |12:00:00.000 |12:00:00.000000 ||12:00:00 |");
}

// A name chooses its setting; any other leaves the setting as it was.
TEST(TermInputTest, CommandLineNamesChooseLineEndsAndStamps) {
    const std::vector<std::tuple<std::string, bool, ZTermLineEnd>> lineEnds = {
        {"cr", true, Cr}, {"lf", true, Lf}, {"crlf", true, CrLf}, {"CRLF", false, NoEnd}, {"", false, NoEnd}};
    for (const auto& [name, known, chosen] : lineEnds) {
        ZTermLineEnd lineEnd = ZTermLineEnd::None;
        EXPECT_EQ(ZTermLineEndFromName(name, lineEnd), known) << name;
        EXPECT_EQ(lineEnd, chosen) << name;
    }
    const std::vector<std::tuple<std::string, bool, ZTermStampFormat>> stamps = {
        {"s", true, Stamp::Seconds},
        {"ms", true, Stamp::Milliseconds},
        {"us", true, Stamp::Microseconds},
        {"ns", false, Stamp::Off}};
    for (const auto& [name, known, chosen] : stamps) {
        ZTermStampFormat format = ZTermStampFormat::Off;
        EXPECT_EQ(ZTermStampFormatFromName(name, format), known) << name;
        EXPECT_EQ(format, chosen) << name;
    }
}

}  // namespace
