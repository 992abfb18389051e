// What a terminal makes of a byte stream: line ends of each kind, CR overwriting,
// colours, escape sequences applied or dropped, bytes of no character, control
// symbols, time stamps, sent bytes, and the limits that keep a hostile stream small.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Funset_strings.h"
#include "ScopedTimeZone.h"
#include "ZTermScreen.h"

namespace {

std::string Utf8(const std::u32string& text) {
    std::string out;
    for (const char32_t c : text) ZULAppendUtf8(out, c);
    return out;
}

std::string ColourText(const ZTermColour& colour) {
    if (colour.Type == ZTermColour::Palette) return std::to_string(colour.Value);
    char text[8];
    std::snprintf(text, sizeof text, "#%06X", colour.Value);
    return text;
}

// "<fg=1,b>" wherever the style changes; "<>" back to the default.
std::string StyleText(const ZTermStyle& style) {
    std::string text;
    const auto add = [&text](const std::string& part) { text += (text.empty() ? "" : ",") + part; };
    if (style.Foreground.Type != ZTermColour::Default) add("fg=" + ColourText(style.Foreground));
    if (style.Background.Type != ZTermColour::Default) add("bg=" + ColourText(style.Background));
    const std::pair<uint8_t, const char*> flags[] = {
        {ZTermStyle::Bold, "b"},       {ZTermStyle::Faint, "f"},      {ZTermStyle::Italic, "i"},
        {ZTermStyle::Underline, "u"},  {ZTermStyle::Inverse, "inv"},  {ZTermStyle::CrossedOut, "x"},
        {ZTermStyle::Sent, "sent"},    {ZTermStyle::Symbolic, "sym"}};
    for (const auto& [flag, name] : flags)
        if (style.Flags & flag) add(name);
    return "<" + text + ">";
}

std::string Marked(const ZTermLine& line) {
    std::string out;
    ZTermStyle current;
    for (size_t i = 0; i < line.Text.size(); ++i) {
        if (!(line.Styles[i] == current)) out += StyleText(line.Styles[i]);
        current = line.Styles[i];
        out += Utf8(std::u32string(1, line.Text[i]));
    }
    return out;
}

struct Piece {
    std::string Bytes;
    bool Sent = false;
    int64_t TimeUs = 0;
};

struct ScreenCase {
    const char* Name;
    ZTermScreenOptions Options;
    std::vector<Piece> Pieces;
    std::vector<std::string> Lines;  // every finished line, then the open one
    bool Styles = false;             // compare the lines with their style marks
    int Bells = 0;
    uint64_t Dropped = 0;
    int MaxLines = 100;
};

constexpr auto Lf = ZTermNewLine::Lf, Cr = ZTermNewLine::Cr, CrLf = ZTermNewLine::CrLf;

ZTermScreenOptions Shown(ZTermNewLine newLine) {
    return {.NewLine = newLine, .ShowControls = true};
}
constexpr int64_t Noon = 1796904000LL * 1000000;  // 2026-12-10 12:00:00 UTC

std::string Repeated(char c, size_t count) {
    return std::string(count, c);
}

const std::vector<ScreenCase>& Rows() {
    static const std::vector<ScreenCase> rows = {
        // Line ends.
        {"LfEndsLines", {}, {{"hello\r\nworld"}}, {"hello", "world"}},
        {"LfAloneEndsLines", {}, {{"a\nb\n"}}, {"a", "b", ""}},
        {"CrOverwritesTheLine", {}, {{"12345\rab"}}, {"ab345"}},
        {"ProgressOverwritten", {}, {{"10%\r20%\r30%\n"}}, {"30%", ""}},
        {"VtAndFfGoDown", {}, {{"ab\x0b" "c\x0c" "d"}}, {"ab", "c", "d"}},
        {"CrModeTakesItsLf", {.NewLine = Cr}, {{"one\rtwo\r\nthree"}}, {"one", "two", "three"}},
        {"CrModeLoneLfGoesDown", {.NewLine = Cr}, {{"ab\ncd"}}, {"ab", "  cd"}},
        {"CrModeLfInNextPiece", {.NewLine = Cr}, {{"x\r"}, {"\ny"}}, {"x", "y"}},
        {"CrModeByteBetween", {.NewLine = Cr}, {{"x\r\xff\n"}}, {"x", "\\xFF", ""}},
        {"CrLfModeEndsLines", {.NewLine = CrLf}, {{"a\r\nb"}}, {"a", "b"}},
        {"CrLfModeLoneLfGoesDown", {.NewLine = CrLf}, {{"ab\ncd"}}, {"ab", "  cd"}},
        {"CrLfModeLoneCrReturns", {.NewLine = CrLf}, {{"abc\rX"}}, {"Xbc"}},
        // Control characters applied or dropped.
        {"BackspaceMovesBack", {}, {{"abc\bX\b\b\b\bY"}}, {"YbX"}},
        {"TabToNextStop", {}, {{"a\tb\t\tc"}}, {"a       b               c"}},
        {"BellIsCounted", {}, {{"ding\a\a"}}, {"ding"}, false, 2},
        {"OtherControlsDropped", {}, {{std::string("a\0\x01\x7f" "b", 5)}}, {"ab"}},
        // Bytes of no character.
        {"InvalidByte", {}, {{"a\xff" "b"}}, {"a\\xFFb"}},
        {"SequenceCutShort", {}, {{"\xe2\x82" "A"}}, {"\\xE2\\x82A"}},
        {"OverlongForm", {}, {{"\xc0\xaf\xe0\x80\xaf"}}, {"\\xC0\\xAF\\xE0\\x80\\xAF"}},
        {"Surrogate", {}, {{"\xed\xa0\x80"}}, {"\\xED\\xA0\\x80"}},
        {"BeyondUnicode", {}, {{"\xf4\x90\x80\x80"}}, {"\\xF4\\x90\\x80\\x80"}},
        {"StrayContinuation", {}, {{"\x80\xbf"}}, {"\\x80\\xBF"}},
        {"CharacterAcrossPieces", {}, {{"\xe2\x82"}, {"\xac!"}}, {"€!"}},
        {"C1ControlAsItsBytes", {}, {{"\xc2\x85"}}, {"\\xC2\\x85"}},
        {"InvalidIsMarked", {}, {{"a\xff"}}, {"a<sym>\\xFF"}, true},
        {"Latin1Text", {.Charset = ZTermCharset::Latin1}, {{"Gr\xfc\xdf" "e"}}, {"Grüße"}},
        {"Latin1C1AsBytes", {.Charset = ZTermCharset::Latin1}, {{"\x85\x9f\xa0"}}, {"\\x85\\x9F\u00a0"}},
        // Control characters shown.
        {"ShownInLfMode", Shown(Lf), {{"a\r\nb\a"}}, {"a␍␊", "b␇"}},
        {"ShownInCrMode", Shown(Cr), {{"a\r\nb\rc"}}, {"a␍␊", "b␍", "c"}},
        {"ShownInCrModeAcrossPieces", Shown(Cr), {{"a\r"}, {"\nb"}}, {"a␍␊", "b"}},
        {"ShownInCrLfMode", Shown(CrLf), {{"a\nb\r\nc"}}, {"a␊b␍␊", "c"}},
        {"ShownEscapeAndDelete", Shown(Lf), {{std::string("\x1b[1m\x7f\0", 6)}}, {"␛[1m␡␀"}},
        {"ShownSymbolIsMarked", Shown(Lf), {{"a\t"}}, {"a<sym>␉"}, true},
        // Colours and attributes.
        {"SgrColour", {}, {{"\x1b[31mred\x1b[0m ok"}}, {"<fg=1>red<> ok"}, true},
        {"SgrBoldBackground", {}, {{"\x1b[1;44mX"}}, {"<bg=4,b>X"}, true},
        {"SgrPalette256", {}, {{"\x1b[38;5;255mO\x1b[48;5;17mP"}}, {"<fg=255>O<fg=255,bg=17>P"}, true},
        {"SgrDirectColour", {}, {{"\x1b[38;2;255;2;3mR"}}, {"<fg=#FF0203>R"}, true},
        {"SgrBright", {}, {{"\x1b[91;102m!\x1b[97;107m?"}}, {"<fg=9,bg=10>!<fg=15,bg=15>?"}, true},
        {"SgrNormalIntensity", {}, {{"\x1b[1;2mB\x1b[22mN"}}, {"<b,f>B<>N"}, true},
        {"SgrEmptyResets", {}, {{"\x1b[4mU\x1b[mN"}}, {"<u>U<>N"}, true},
        {"SgrItalicInverseCrossed", {}, {{"\x1b[3;7;9mZ\x1b[23;27;29mz"}}, {"<i,inv,x>Z<>z"}, true},
        {"SgrDefaultColours", {}, {{"\x1b[31;42mA\x1b[39mB\x1b[49mC"}}, {"<fg=1,bg=2>A<bg=2>B<>C"}, true},
        {"SgrColourTooLarge", {}, {{"\x1b[32m\x1b[38;5;300mG\x1b[38;2;1;999;1mH"}}, {"<fg=2>GH"}, true},
        {"SgrSequenceAcrossPieces", {}, {{"\x1b[3"}, {"1mr"}}, {"<fg=1>r"}, true},
        {"SgrKeepsAcrossLines", {}, {{"\x1b[33ma\nb"}}, {"<fg=3>a", "<fg=3>b"}, true},
        // Other escape sequences dropped, or applied on the line.
        {"ScreenMovesDropped", {}, {{"\x1b[2J\x1b[H\x1b[3A\x1b[5;5fhome"}}, {"home"}},
        {"PrivateModesDropped", {}, {{"\x1b[?25lhidden\x1b[?25h"}}, {"hidden"}},
        {"PrivateSgrNotApplied", {}, {{"\x1b[>31mn"}}, {"n"}, true},
        {"OscWithBel", {}, {{"\x1b]0;title\atext"}}, {"text"}},
        {"OscWithStringTerminator", {}, {{"\x1b]2;t\x1b\\x"}}, {"x"}},
        {"DcsDropped", {}, {{"\x1bPq#0;2\x1b\\y"}}, {"y"}},
        {"CharsetAndSaveDropped", {}, {{"\x1b(B\x1b" "7\x1b" "8z"}}, {"z"}},
        {"ControlInsideSequence", {}, {{"ab\x1b[\r3" "1mX"}}, {"<fg=1>X<>b"}, true},
        {"CancelEndsSequence", {}, {{"\x1b[31\x18mX"}}, {"mX"}, true},
        {"EscRestartsSequence", {}, {{"\x1b[31\x1b[32mX"}}, {"<fg=2>X"}, true},
        {"HighByteEndsSequence", {}, {{"\x1b[3\xc3\xa4"}}, {"ä"}},
        {"EraseToEnd", {}, {{"abcdef\x1b[3D\x1b[K"}}, {"abc"}},
        {"EraseToStart", {}, {{"abcdef\x1b[3D\x1b[1K"}}, {"    ef"}},
        {"EraseLine", {}, {{"abcdef\x1b[2KX"}}, {"      X"}},
        {"CursorForward", {}, {{"a\x1b[3Cb\x1b[Cc"}}, {"a   b c"}},
        {"CursorToColumn", {}, {{"abcdef\x1b[2GX\x1b[GY"}}, {"YXcdef"}},
        {"DeleteCharacters", {}, {{"abcdef\r\x1b[2P"}}, {"cdef"}},
        {"InsertBlanks", {}, {{"abc\r\x1b[2@"}}, {"  abc"}},
        {"EraseCharacters", {}, {{"abcdef\r\x1b[2X"}}, {"  cdef"}},
        // Limits.
        {"LongLineGoesOn", {}, {{Repeated('a', 4100)}}, {Repeated('a', 4096), "aaaa"}},
        {"TabAtTheLimit", {}, {{Repeated('a', 4094) + "\t\tbc"}}, {Repeated('a', 4094) + " b", "c"}},
        {"CursorAtTheLimit", {}, {{"\x1b[99999Gx\x1b[99999Cy"}}, {Repeated(' ', 4095) + "y"}},
        {"LongSequenceDropped", {}, {{"\x1b[" + Repeated('0', 63) + "31mX"}}, {"X"}, true},
        {"LongestSequenceApplied", {}, {{"\x1b[" + Repeated('0', 62) + "31mX"}}, {"<fg=1>X"}, true},
        {"LongStringEnds", {}, {{"\x1b]" + Repeated('x', 5000)}}, {Repeated('x', 5000 - 4096)}},
        {"OldLinesDropped", {}, {{"1\n2\n3\n4"}}, {"2", "3", "4"}, false, 0, 1, 2},
        // Sent bytes.
        {"SentShownAndMarked", {.ShowSent = true}, {{"AT\r", true}, {"\r\nOK\r\n"}}, {"<sent>AT", "OK", ""}, true},
        {"SentNotShown", {}, {{"AT\r", true}, {"\r\nOK\r\n"}}, {"", "OK", ""}},
        {"SentKeepsReceivedSequence", {.ShowSent = true}, {{"\x1b[3"}, {"x", true}, {"1mr"}}, {"<sent>x<fg=1>r"}, true},
        {"SentColoursOwn", {.ShowSent = true}, {{"\x1b[32m", true}, {"a"}, {"b", true}}, {"a<fg=2,sent>b"}, true},
        // Time stamps: the read that brought a line's first byte.
        {"StampsMilliseconds",
         {.Stamps = ZTermStampFormat::Milliseconds},
         {{"first\nsec", false, Noon + 1000}, {"ond\nthird", false, Noon + 2500}},
         {"12:00:00.001 first", "12:00:00.001 second", "12:00:00.002 third"}},
        {"StampOfEmptyLine",
         {.Stamps = ZTermStampFormat::Seconds},
         {{"a\n", false, Noon}, {"\n", false, Noon + 3000000}},
         {"12:00:00 a", "12:00:03 ", ""}},
        {"StampsMicroseconds", {.Stamps = ZTermStampFormat::Microseconds}, {{"x", false, Noon + 7}}, {"12:00:00.000007 x"}},
        {"StampOfSentLine",
         {.ShowSent = true, .Stamps = ZTermStampFormat::Seconds},
         {{"AT\n", true, Noon + 1000000}, {"OK\n", false, Noon + 2000000}},
         {"12:00:01 AT", "12:00:02 OK", ""}},
    };
    return rows;
}

void PrintTo(const ScreenCase& row, std::ostream* out) {
    *out << row.Name;
}

class TermScreenTest : public ::testing::TestWithParam<ScreenCase> {};

TEST_P(TermScreenTest, BytesBecomeLines) {
    const ScreenCase& row = GetParam();
    const ScopedTimeZone utc("UTC");
    ZTermScreen screen(row.MaxLines);
    screen.SetOptions(row.Options);
    for (const Piece& piece : row.Pieces)
        screen.Feed(reinterpret_cast<const uint8_t*>(piece.Bytes.data()), piece.Bytes.size(), piece.Sent,
                    piece.TimeUs);
    const ZTermScreen::Update update = screen.TakeUpdate();
    std::vector<ZTermLine> lines = update.Finished;
    lines.push_back(screen.OpenLine());
    std::vector<std::string> shown;
    for (const ZTermLine& line : lines)
        shown.push_back(Utf8(screen.Prefix(line)) + (row.Styles ? Marked(line) : Utf8(line.Text)));
    EXPECT_EQ(shown, row.Lines);
    EXPECT_EQ(update.Bells, row.Bells);
    EXPECT_EQ(update.Dropped, row.Dropped);
    EXPECT_FALSE(screen.Changed());
}

INSTANTIATE_TEST_SUITE_P(Streams, TermScreenTest, ::testing::ValuesIn(Rows()),
                         [](const ::testing::TestParamInfo<ScreenCase>& row) { return std::string(row.param.Name); });

// A notice stands on a line of its own, and clearing forgets every line but keeps a
// sequence begun.
TEST(TermScreenEditTest, NoticeAndClear) {
    ZTermScreen screen(10);
    const std::string before = "abc\ndef\x1b[3";
    screen.Feed(reinterpret_cast<const uint8_t*>(before.data()), before.size(), false, 0);
    screen.PutNotice(U"[lost]", 0);
    EXPECT_EQ(screen.TakeUpdate().Finished.size(), 3u);
    screen.Clear();
    EXPECT_TRUE(screen.Changed());
    const std::string after = "1mr";
    screen.Feed(reinterpret_cast<const uint8_t*>(after.data()), after.size(), false, 0);
    EXPECT_TRUE(screen.TakeUpdate().Finished.empty());
    EXPECT_EQ(Marked(screen.OpenLine()), "<fg=1>r");
}

}  // namespace
