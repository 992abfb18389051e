// What a terminal sends for what its user types, and the time stamp it puts before a
// line: typed lines, keys, control characters, pasted and piped text.

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "ZTermInput.h"
#include "ZTermStamps.h"

namespace {

struct LineCase {
    std::u32string Text;
    ZTermLineEnd LineEnd;
    ZTermCharset Charset;
    std::string Bytes;
};

TEST(TermInputTest, TypedLineGoesOutWithItsLineEnd) {
    const std::vector<LineCase> rows = {
        {U"AT", ZTermLineEnd::Cr, ZTermCharset::Utf8, "AT\r"},
        {U"AT", ZTermLineEnd::Lf, ZTermCharset::Utf8, "AT\n"},
        {U"AT", ZTermLineEnd::CrLf, ZTermCharset::Utf8, "AT\r\n"},
        {U"AT", ZTermLineEnd::None, ZTermCharset::Utf8, "AT"},
        {U"", ZTermLineEnd::CrLf, ZTermCharset::Utf8, "\r\n"},
        {U"Grüße €", ZTermLineEnd::Cr, ZTermCharset::Utf8, "Gr\xc3\xbc\xc3\x9f" "e \xe2\x82\xac\r"},
        // Latin-1 has no euro sign; a code point that is no character has no form at all.
        {U"Grüße €", ZTermLineEnd::Cr, ZTermCharset::Latin1, "Gr\xfc\xdf" "e ?\r"},
        {std::u32string(1, char32_t{0x1F600}), ZTermLineEnd::None, ZTermCharset::Utf8, "\xf0\x9f\x98\x80"},
        {std::u32string{char32_t{0xD800}, char32_t{0x110000}}, ZTermLineEnd::None, ZTermCharset::Utf8, "??"},
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
        {ZTermKey::Enter, ZTermLineEnd::None, "\r"},     {ZTermKey::Enter, ZTermLineEnd::CrLf, "\r\n"},
        {ZTermKey::Enter, ZTermLineEnd::Lf, "\n"},       {ZTermKey::Backspace, ZTermLineEnd::Cr, "\x7f"},
        {ZTermKey::Tab, ZTermLineEnd::Cr, "\t"},         {ZTermKey::BackTab, ZTermLineEnd::Cr, "\x1b[Z"},
        {ZTermKey::Escape, ZTermLineEnd::Cr, "\x1b"},    {ZTermKey::Up, ZTermLineEnd::Cr, "\x1b[A"},
        {ZTermKey::Down, ZTermLineEnd::Cr, "\x1b[B"},    {ZTermKey::Right, ZTermLineEnd::Cr, "\x1b[C"},
        {ZTermKey::Left, ZTermLineEnd::Cr, "\x1b[D"},    {ZTermKey::Home, ZTermLineEnd::Cr, "\x1b[H"},
        {ZTermKey::End, ZTermLineEnd::Cr, "\x1b[F"},     {ZTermKey::Insert, ZTermLineEnd::Cr, "\x1b[2~"},
        {ZTermKey::Delete, ZTermLineEnd::Cr, "\x1b[3~"}, {ZTermKey::PageUp, ZTermLineEnd::Cr, "\x1b[5~"},
        {ZTermKey::PageDown, ZTermLineEnd::Cr, "\x1b[6~"}, {ZTermKey::F1, ZTermLineEnd::Cr, "\x1bOP"},
        {ZTermKey::F4, ZTermLineEnd::Cr, "\x1bOS"},      {ZTermKey::F5, ZTermLineEnd::Cr, "\x1b[15~"},
        {ZTermKey::F6, ZTermLineEnd::Cr, "\x1b[17~"},    {ZTermKey::F10, ZTermLineEnd::Cr, "\x1b[21~"},
        {ZTermKey::F11, ZTermLineEnd::Cr, "\x1b[23~"},   {ZTermKey::F12, ZTermLineEnd::Cr, "\x1b[24~"},
    };
    for (const KeyCase& row : rows)
        EXPECT_EQ(ZTermEncodeKey(row.Key, row.Enter), row.Bytes) << static_cast<int>(row.Key);
}

TEST(TermInputTest, ControlCharacterGoesOutAsItsCode) {
    const std::vector<std::pair<char32_t, std::string>> rows = {
        {U'c', "\x03"},         {U'C', "\x03"}, {U'a', "\x01"},  {U'z', "\x1a"}, {U'@', std::string(1, '\0')},
        {U' ', std::string(1, '\0')}, {U'[', "\x1b"}, {U'\\', "\x1c"}, {U']', "\x1d"}, {U'_', "\x1f"},
        {U'?', "\x7f"},         {U'1', ""},     {U'\u00e4', ""}, {U'`', ""},
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
        {{"a\r\nb\nc\rd"}, ZTermLineEnd::Cr, "a\rb\rc\rd"},
        {{"a\r\nb\nc\rd"}, ZTermLineEnd::CrLf, "a\r\nb\r\nc\r\nd"},
        {{"a\r\nb\nc\rd"}, ZTermLineEnd::Lf, "a\nb\nc\nd"},
        {{"a\r\nb\nc\rd"}, ZTermLineEnd::None, "a\r\nb\nc\rd"},
        // A CR LF cut between two pieces is still one line end; the CR is not held back.
        {{"AT\r", "\nATI\r"}, ZTermLineEnd::CrLf, "AT\r\nATI\r\n"},
        {{"AT\r", "\r\n"}, ZTermLineEnd::Lf, "AT\n\n"},
        {{"\n\n"}, ZTermLineEnd::Cr, "\r\r"},
        {{"\r\r\n"}, ZTermLineEnd::Cr, "\r\r"},
        {{"\r", "", "\n"}, ZTermLineEnd::Cr, "\r"},
        {{std::string("\0\x7f\xff", 3)}, ZTermLineEnd::Cr, std::string("\0\x7f\xff", 3)},
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

// The zone the test reads its times in, for its length.
class ScopedTimeZone {
public:
    explicit ScopedTimeZone(const char* zone) {
        if (const char* old = std::getenv("TZ")) old_ = old, hadOld_ = true;
        setenv("TZ", zone, 1);
        tzset();
    }
    ~ScopedTimeZone() {
        if (hadOld_)
            setenv("TZ", old_.c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }
    ScopedTimeZone(const ScopedTimeZone&) = delete;
    ScopedTimeZone& operator=(const ScopedTimeZone&) = delete;

private:
    std::string old_;
    bool hadOld_ = false;
};

TEST(TermInputTest, StampPrefixShowsTheLocalTimeCut) {
    const ScopedTimeZone utc("UTC");
    constexpr int64_t Noon = 1796904000LL * 1000000;  // 2026-12-10 12:00:00 UTC
    const std::vector<StampCase> rows = {
        {Noon + 1234567, ZTermStampFormat::Seconds, "12:00:01 "},
        {Noon + 1234567, ZTermStampFormat::Milliseconds, "12:00:01.234 "},
        {Noon + 1234567, ZTermStampFormat::Microseconds, "12:00:01.234567 "},
        {Noon + 999999, ZTermStampFormat::Milliseconds, "12:00:00.999 "},
        {Noon - 1, ZTermStampFormat::Microseconds, "11:59:59.999999 "},
        {Noon + 5, ZTermStampFormat::Off, ""},
        {-1, ZTermStampFormat::Microseconds, "23:59:59.999999 "},
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

TEST(TermInputTest, CommandLineNamesChooseLineEndsAndStamps) {
    ZTermLineEnd lineEnd = ZTermLineEnd::None;
    EXPECT_TRUE(ZTermLineEndFromName("crlf", lineEnd));
    EXPECT_EQ(lineEnd, ZTermLineEnd::CrLf);
    EXPECT_FALSE(ZTermLineEndFromName("CRLF", lineEnd));
    EXPECT_EQ(lineEnd, ZTermLineEnd::CrLf);
    ZTermStampFormat format = ZTermStampFormat::Off;
    EXPECT_TRUE(ZTermStampFormatFromName("us", format));
    EXPECT_EQ(format, ZTermStampFormat::Microseconds);
    EXPECT_FALSE(ZTermStampFormatFromName("ns", format));
}

}  // namespace
