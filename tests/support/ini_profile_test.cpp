// Profile files in memory: how text is parsed, read, changed and written back.

#include <gtest/gtest.h>

#include <array>
#include <ostream>
#include <string>
#include <vector>

#include "TestFiles.h"
#include "ZULIniFile.h"

namespace {

ZULIniFile FromText(const ScratchDir& dir, const std::string& text) {
    const std::string file = dir.File("profile.ini");
    WriteBytes(file, text);
    return ZULIniFile(file);
}

class IniProfileTest : public ::testing::Test {
protected:
    ZULIniFile Load(const std::string& text) { return FromText(dir_, text); }
    ScratchDir dir_;
};

TEST_F(IniProfileTest, KeysAndValuesAreTrimmedOfBlanksAndTabsOnly) {
    const ZULIniFile ini = Load("[s]\r\n \tkey \t= \t some value\t \r\nraw=\r\n");
    EXPECT_EQ(ini.ReadString("s", "key", "none"), "some value");
    EXPECT_TRUE(ini.ValueExists("s", "raw"));
    EXPECT_EQ(ini.ReadString("s", "raw", "none"), "");
    EXPECT_FALSE(ini.ValueExists("s", "missing"));
    EXPECT_EQ(ini.ReadString("s", "missing", "none"), "none");
}

TEST_F(IniProfileTest, OnlyTheFirstEqualsSignSeparatesKeyAndValue) {
    const ZULIniFile ini = Load("[s]\nformula = a=b=c\n");
    EXPECT_EQ(ini.ReadString("s", "formula", ""), "a=b=c");
}

TEST_F(IniProfileTest, SectionHeadersTakeTheTextUpToTheFirstClosingBracket) {
    const ZULIniFile ini = Load("  [ first ] trailing\n a=1\n[open\nb=2\n[x]y]\nc=3\n");
    EXPECT_EQ(ini.ReadString("first", "a", ""), "1");
    EXPECT_EQ(ini.ReadString("open", "b", ""), "2");
    EXPECT_EQ(ini.ReadString("x", "c", ""), "3");
    EXPECT_FALSE(ini.SectionExists("x]y"));
}

TEST_F(IniProfileTest, LinesWithoutAKeyAreKeptButNeverRead) {
    const ZULIniFile ini = Load("before=1\n[s]\n; note=1\n=2\nno equals sign\n  ;x=3\n");
    EXPECT_FALSE(ini.ValueExists("s", "; note"));
    EXPECT_FALSE(ini.ValueExists("s", ";x"));
    EXPECT_FALSE(ini.ValueExists("s", ""));
    EXPECT_FALSE(ini.ValueExists("", "before"));
    EXPECT_EQ(ini.ToText(), "before=1\r\n[s]\r\n; note=1\r\n=2\r\nno equals sign\r\n  ;x=3\r\n");
}

TEST_F(IniProfileTest, NamesCompareCaseInsensitivelyInAsciiOnly) {
    const ZULIniFile ini = Load("[Logger]\nMaxLines=7\n[\xC4]\n\xE4=1\n");
    EXPECT_EQ(ini.ReadString("LOGGER", "maxlines", ""), "7");
    EXPECT_TRUE(ini.SectionExists("logger"));
    // Bytes above 127 are not letters to fold: the byte C4 is not E4.
    EXPECT_TRUE(ini.SectionExists("\xC4"));
    EXPECT_FALSE(ini.SectionExists("\xE4"));
    EXPECT_FALSE(ini.ValueExists("\xC4", "\xC4"));
}

TEST_F(IniProfileTest, ReadsUseTheFirstSectionAndTheFirstKeyOfAName) {
    const ZULIniFile ini = Load("[s]\nk=first\nK=second\n[S]\nk=third\nonly=later\n");
    EXPECT_EQ(ini.ReadString("s", "k", ""), "first");
    EXPECT_FALSE(ini.ValueExists("s", "only"));
}

// Lookups go through an index: it must give what a scan in file order gives, for
// files of many sections and keys and after the profile changed.
struct IndexCase {
    const char* name;
    std::string text;
    void (*change)(ZULIniFile& ini);
    std::vector<std::array<std::string, 3>> reads;  // section, key, value ("-" for missing)
    std::string written;                            // ToText afterwards; empty: not compared
};

std::string ManySections(int count, const std::string& tail) {
    std::string text;
    for (int i = 0; i < count; ++i) text += "[s" + std::to_string(i) + "]\r\n";
    return text + tail;
}

class IniIndexTest : public IniProfileTest, public ::testing::WithParamInterface<IndexCase> {};

TEST_P(IniIndexTest, ReadsAsAScanInFileOrderWould) {
    ZULIniFile ini = Load(GetParam().text);
    if (GetParam().change != nullptr) GetParam().change(ini);
    for (const auto& [section, key, value] : GetParam().reads) {
        EXPECT_EQ(ini.ReadString(section, key, "-"), value) << section << "/" << key;
        EXPECT_EQ(ini.ValueExists(section, key), value != "-") << section << "/" << key;
    }
    if (!GetParam().written.empty()) {
        EXPECT_EQ(ini.ToText(), GetParam().written);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, IniIndexTest,
    ::testing::Values(
        IndexCase{"ManySectionsBeforeTheRealOne",
                  ManySections(50000, "[Real]\r\nk=v\r\n[s7]\r\nk=late\r\n"),
                  nullptr,
                  {{"real", "K", "v"}, {"s7", "k", "-"}, {"s49999", "k", "-"}, {"s50000", "k", "-"}},
                  ""},
        IndexCase{"TheSameKeyInTwoSectionsStaysApart",
                  "[a]\nk=1\n[b]\nk=2\n",
                  nullptr,
                  {{"a", "k", "1"}, {"b", "k", "2"}, {"c", "k", "-"}},
                  ""},
        IndexCase{"ErasingTheFirstOfTwoSectionsErasesBoth",
                  "[a]\nk=1\n[b]\nx=0\n[A]\nk=2\n",
                  [](ZULIniFile& ini) {
                      ini.EraseSection("a");
                      ini.WriteString("b", "y", "1");
                      ini.WriteString("a", "k", "3");
                  },
                  {{"a", "k", "3"}, {"b", "x", "0"}, {"b", "y", "1"}},
                  "[b]\r\nx=0\r\ny=1\r\n[a]\r\nk=3\r\n"},
        IndexCase{"KeysWrittenIntoANewSectionAreAllFound",
                  "[a]\nk=1\n",
                  [](ZULIniFile& ini) {
                      for (int i = 0; i < 3000; ++i) ini.WriteInteger("new", "k" + std::to_string(i), i);
                      ini.WriteString("NEW", "K2999", "last");
                  },
                  {{"new", "k0", "0"}, {"new", "k1500", "1500"}, {"new", "k2999", "last"}, {"a", "k", "1"}},
                  ""},
        IndexCase{"AnEmptyKeyIsNeverOne",
                  "[a]\n=1\n",
                  [](ZULIniFile& ini) { ini.WriteString("a", "", "2"); },
                  {{"a", "", "-"}},
                  "[a]\r\n2\r\n=1\r\n"}),
    [](const ::testing::TestParamInfo<IndexCase>& param) { return std::string(param.param.name); });

TEST_F(IniProfileTest, CrLfAndLfFilesReadAlikeAndTheLastLineNeedsNoEnd) {
    const ZULIniFile crlf = Load("[s]\r\na=1\r\nb=2");
    EXPECT_EQ(crlf.ReadString("s", "a", ""), "1");
    EXPECT_EQ(crlf.ReadString("s", "b", ""), "2");
    // Only one CR is a line end; a second belongs to the value.
    const ZULIniFile doubled = Load("[s]\na=1\r\r\n");
    EXPECT_EQ(doubled.ReadString("s", "a", ""), "1\r");
}

TEST_F(IniProfileTest, EightBitValuesSurviveReadingAndWriting) {
    std::string high;
    for (int c = 0x80; c <= 0xFF; ++c) high += static_cast<char>(c);
    const std::string value = "\"quoted\" \\n " + high;
    ZULIniFile ini;
    ini.WriteString("s", "v", value);
    ASSERT_TRUE(ini.UpdateFile(dir_.File("bytes.ini")));
    const ZULIniFile back(dir_.File("bytes.ini"));
    EXPECT_EQ(back.ReadString("s", "v", ""), value);
}

TEST_F(IniProfileTest, AValueHasNoLengthLimit) {
    const std::string value(100000, 'x');
    const ZULIniFile ini = Load("[s]\nlong=" + value + "\n");
    EXPECT_EQ(ini.ReadString("s", "long", ""), value);
}

TEST_F(IniProfileTest, UntouchedTextIsWrittenBackLineForLine) {
    const std::string text =
        "; head comment\r\n"
        "\r\n"
        "[one]\r\n"
        "a=1\r\n"
        "; inside\r\n"
        "b=x y\r\n"
        "\r\n"
        "[two]\r\n"
        "c=\r\n";
    EXPECT_EQ(Load(text).ToText(), text);
}

TEST_F(IniProfileTest, WritingNormalisesBlanksAroundEqualsAndLineEnds) {
    EXPECT_EQ(Load("[ s ]\n  a = 1 \n").ToText(), "[s]\r\na=1\r\n");
}

TEST_F(IniProfileTest, WriteStringReplacesTheFirstOccurrenceInPlaceKeepingTheKeysSpelling) {
    ZULIniFile ini = Load("[S]\nKey=old\nkey=other\nnext=1\n[s]\nkey=third\n");
    ini.WriteString("s", "KEY", "new");
    EXPECT_EQ(ini.ToText(), "[S]\r\nKey=new\r\nkey=other\r\nnext=1\r\n[s]\r\nkey=third\r\n");
}

TEST_F(IniProfileTest, ANewKeyFollowsTheLastKeyOfTheFirstSectionOfItsName) {
    ZULIniFile ini = Load("[a]\nx=1\n; end of a\n\n[b]\ny=2\n[A]\nz=3\n");
    ini.WriteString("A", "new", "v");
    EXPECT_EQ(ini.ToText(), "[a]\r\nx=1\r\nnew=v\r\n; end of a\r\n\r\n[b]\r\ny=2\r\n[A]\r\nz=3\r\n");
    EXPECT_EQ(ini.ReadString("a", "new", ""), "v");
    // The lines that moved down are still found.
    ini.WriteString("a", "x", "changed");
    EXPECT_EQ(ini.ReadString("a", "x", ""), "changed");
}

TEST_F(IniProfileTest, ASectionWithoutKeysGetsItsFirstKeyRightAfterTheHeader) {
    ZULIniFile ini = Load("[a]\n; only a comment\n[b]\n");
    ini.WriteString("a", "k", "1");
    EXPECT_EQ(ini.ToText(), "[a]\r\nk=1\r\n; only a comment\r\n[b]\r\n");
}

TEST_F(IniProfileTest, ANewSectionIsAppendedWithItsKeysInWrittenOrder) {
    ZULIniFile ini = Load("head=1\n[a]\nx=1\n");
    ini.WriteString("new", "z", "26");
    ini.WriteString("new", "y", "25");
    ini.WriteString("new", "z", "0");
    EXPECT_EQ(ini.ToText(), "head=1\r\n[a]\r\nx=1\r\n[new]\r\nz=0\r\ny=25\r\n");
}

TEST_F(IniProfileTest, KeysBeforeTheFirstHeaderAreNotPartOfAnyNamedSection) {
    ZULIniFile ini = Load("k=preamble\n");
    ini.WriteString("", "k", "named");
    EXPECT_EQ(ini.ToText(), "k=preamble\r\n[]\r\nk=named\r\n");
    EXPECT_EQ(ini.ReadString("", "k", ""), "named");
}

TEST_F(IniProfileTest, EraseSectionRemovesEverySectionOfTheNameWithItsLines) {
    ZULIniFile ini = Load("top\n[a]\nx=1\n[b]\ny=2\n[A]\nz=3\n");
    ini.EraseSection("a");
    EXPECT_EQ(ini.ToText(), "top\r\n[b]\r\ny=2\r\n");
    EXPECT_FALSE(ini.SectionExists("a"));
    ini.WriteString("a", "x", "back");
    EXPECT_EQ(ini.ToText(), "top\r\n[b]\r\ny=2\r\n[a]\r\nx=back\r\n");
    ini.EraseSection("missing");
    EXPECT_EQ(ini.ToText(), "top\r\n[b]\r\ny=2\r\n[a]\r\nx=back\r\n");
}

TEST_F(IniProfileTest, EmptyProfile) {
    const ZULIniFile fromNothing;
    EXPECT_EQ(fromNothing.ToText(), "");
    EXPECT_FALSE(fromNothing.SectionExists(""));
    const ZULIniFile missingFile(dir_.File("absent.ini"));
    EXPECT_EQ(missingFile.ToText(), "");
    EXPECT_EQ(missingFile.FileName(), dir_.File("absent.ini"));
}

struct IntegerCase {
    const char* value;
    int32_t expected;  // with the default 77
};

void PrintTo(const IntegerCase& c, std::ostream* out) {
    *out << '"' << c.value << "\" -> " << c.expected;
}

class IniIntegerTest : public ::testing::TestWithParam<IntegerCase> {};

TEST_P(IniIntegerTest, ReadsOnlyWholeDecimalNumbersWithin32Bits) {
    ScratchDir dir;
    const ZULIniFile ini = FromText(dir, std::string("[s]\nn=") + GetParam().value + "\n");
    EXPECT_EQ(ini.ReadInteger("s", "n", 77), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Forms, IniIntegerTest,
    ::testing::Values(IntegerCase{"0", 0}, IntegerCase{"42", 42}, IntegerCase{"+42", 42},
                      IntegerCase{"-42", -42}, IntegerCase{"007", 7}, IntegerCase{"2147483647", 2147483647},
                      IntegerCase{"-2147483648", -2147483647 - 1}, IntegerCase{"2147483648", 77},
                      IntegerCase{"-2147483649", 77}, IntegerCase{"99999999999999999999", 77},
                      IntegerCase{"", 77}, IntegerCase{"-", 77}, IntegerCase{"+", 77}, IntegerCase{"12a", 77},
                      IntegerCase{"0x10", 77}, IntegerCase{"1 2", 77}, IntegerCase{"--1", 77},
                      IntegerCase{"1.5", 77}, IntegerCase{" \t13\t ", 13}));

TEST(IniValues, IntegersAndBooleansAreWrittenInTheirTextForms) {
    ZULIniFile ini;
    ini.WriteInteger("s", "neg", -1);
    ini.WriteInteger("s", "min", -2147483647 - 1);
    ini.WriteBool("s", "yes", true);
    ini.WriteBool("s", "no", false);
    EXPECT_EQ(ini.ToText(), "[s]\r\nneg=-1\r\nmin=-2147483648\r\nyes=1\r\nno=0\r\n");
}

TEST(IniValues, BooleansReadAsIntegersWhereAnyNonZeroIsTrue) {
    ZULIniFile ini;
    ini.WriteString("s", "two", "2");
    ini.WriteString("s", "minus", "-1");
    ini.WriteString("s", "zero", "0");
    ini.WriteString("s", "word", "true");
    EXPECT_TRUE(ini.ReadBool("s", "two", false));
    EXPECT_TRUE(ini.ReadBool("s", "minus", false));
    EXPECT_FALSE(ini.ReadBool("s", "zero", true));
    EXPECT_TRUE(ini.ReadBool("s", "word", true));
    EXPECT_FALSE(ini.ReadBool("s", "word", false));
    EXPECT_TRUE(ini.ReadBool("s", "missing", true));
}

TEST(IniValues, ASectionWithTensOfThousandsOfKeysReadsAndWritesEveryKey) {
    constexpr int Count = 40000;
    ZULIniFile ini;
    for (int i = 0; i < Count; ++i) ini.WriteInteger("big", "Key_" + std::to_string(i), i * 3);
    ScratchDir dir;
    ASSERT_TRUE(ini.UpdateFile(dir.File("big.ini")));
    ZULIniFile back(dir.File("big.ini"));
    for (int i = 0; i < Count; i += 7)
        ASSERT_EQ(back.ReadInteger("big", "key_" + std::to_string(i), -1), i * 3);
    back.WriteInteger("big", "KEY_0", -5);
    back.WriteInteger("big", "extra", 1);
    EXPECT_EQ(back.ReadInteger("big", "key_0", 0), -5);
    EXPECT_EQ(back.ReadInteger("big", "key_39999", 0), 39999 * 3);
    EXPECT_EQ(back.ReadInteger("big", "extra", 0), 1);
}

}  // namespace
