// Fields: definitions x data blocks -> values (or why a value is absent), the
// definitions a settings file may not hold, the section's round trip, the text forms
// of values and the log files' "Values:" line.

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "TestFiles.h"
#include "ZFieldDecoder.h"
#include "ZFieldList.h"
#include "ZFieldText.h"
#include "ZLogFileManager.h"
#include "ZLoggerSettings.h"
#include "ZULIniFile.h"

namespace {

using Keys = std::vector<std::pair<TFieldKey, std::string>>;

// The bytes of HEX pairs separated by blanks.
std::string Hex(const std::string& pairs) {
    std::string bytes;
    for (size_t at = 0; at + 1 < pairs.size(); at += 3)
        bytes += static_cast<char>(std::stoi(pairs.substr(at, 2), nullptr, 16));
    return bytes;
}

struct DecodeRow {
    const char* what;
    Keys keys;  // besides the name
    std::string block;
    std::optional<double> value;  // none: absent
    std::string why;              // when absent
};

const std::string Nmea = "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47";

TEST(FieldDecoderTest, DefinitionsTimesBlocksGiveValuesOrSayWhyNot) {
    const std::vector<DecodeRow> rows = {
        {"u8", {{fkType, "u8"}, {fkOffset, "0"}}, Hex("FF"), 255, ""},
        {"i8", {{fkType, "i8"}, {fkOffset, "0"}}, Hex("FF"), -1, ""},
        {"u16 MSB first", {{fkType, "u16"}, {fkOffset, "1"}}, Hex("00 12 34"), 0x1234, ""},
        {"u16 LSB first", {{fkType, "u16"}, {fkOffset, "1"}, {fkMSBFirst, "0"}}, Hex("00 12 34"), 0x3412, ""},
        {"i16 MSB first", {{fkType, "i16"}, {fkOffset, "0"}}, Hex("FF FE"), -2, ""},
        {"i16 LSB first", {{fkType, "i16"}, {fkOffset, "0"}, {fkMSBFirst, "0"}}, Hex("FE FF"), -2, ""},
        {"u24", {{fkType, "u24"}, {fkOffset, "0"}}, Hex("01 02 03"), 0x010203, ""},
        {"i24 LSB first",
         {{fkType, "i24"}, {fkOffset, "0"}, {fkMSBFirst, "0"}},
         Hex("00 00 80"),
         -8388608,
         ""},
        {"u32", {{fkType, "u32"}, {fkOffset, "0"}}, Hex("DE AD BE EF"), 3735928559.0, ""},
        {"i32 LSB first",
         {{fkType, "i32"}, {fkOffset, "0"}, {fkMSBFirst, "0"}},
         Hex("FF FF FF 7F"),
         2147483647,
         ""},
        {"u64",
         {{fkType, "u64"}, {fkOffset, "0"}},
         Hex("FF FF FF FF FF FF FF FF"),
         18446744073709551615.0,
         ""},
        {"i64",
         {{fkType, "i64"}, {fkOffset, "0"}},
         Hex("80 00 00 00 00 00 00 00"),
         -9223372036854775808.0,
         ""},
        {"f32 MSB first", {{fkType, "f32"}, {fkOffset, "0"}}, Hex("41 FC 00 00"), 31.5, ""},
        {"f32 LSB first",
         {{fkType, "f32"}, {fkOffset, "0"}, {fkMSBFirst, "0"}},
         Hex("00 00 FC 41"),
         31.5,
         ""},
        {"f64 MSB first", {{fkType, "f64"}, {fkOffset, "0"}}, Hex("40 3F 80 00 00 00 00 00"), 31.5, ""},
        {"f64 LSB first",
         {{fkType, "f64"}, {fkOffset, "0"}, {fkMSBFirst, "0"}},
         Hex("00 00 00 00 00 80 3F 40"),
         31.5,
         ""},
        {"f32 NaN",
         {{fkType, "f32"}, {fkOffset, "0"}},
         Hex("7F C0 00 00"),
         {},
         "the value is not finite (NaN or infinity)"},
        {"f64 infinity",
         {{fkType, "f64"}, {fkOffset, "0"}},
         Hex("7F F0 00 00 00 00 00 00"),
         {},
         "the value is not finite (NaN or infinity)"},
        {"scaled beyond a double",
         {{fkType, "f64"}, {fkOffset, "0"}, {fkScale, "1e10"}},
         Hex("FE 41 EB 2D 66 00 58 35"),
         {},
         "the value is not finite (NaN or infinity)"},
        {"scale", {{fkType, "i16"}, {fkOffset, "0"}, {fkScale, "0.1"}}, Hex("01 3B"), 31.5, ""},
        {"scale and add",
         {{fkType, "u8"}, {fkOffset, "0"}, {fkScale, "-2"}, {fkAdd, "100.5"}},
         Hex("0A"),
         80.5,
         ""},
        {"bits of an unsigned", {{fkType, "u16"}, {fkOffset, "0"}, {fkBits, "4,8"}}, Hex("AB CD"), 0xBC, ""},
        {"bits of a signed: the slice's top bit is its sign",
         {{fkType, "i16"}, {fkOffset, "0"}, {fkBits, "4,8"}},
         Hex("AB CD"),
         -68,
         ""},
        {"bits of a signed, top bit clear",
         {{fkType, "i8"}, {fkOffset, "0"}, {fkBits, "0,4"}},
         Hex("35"),
         5,
         ""},
        {"one signed bit", {{fkType, "i8"}, {fkOffset, "0"}, {fkBits, "7,1"}}, Hex("80"), -1, ""},
        {"bits LSB first",
         {{fkType, "u16"}, {fkOffset, "0"}, {fkMSBFirst, "0"}, {fkBits, "12, 4"}},
         Hex("CD AB"),
         0xA,
         ""},
        {"all 64 bits",
         {{fkType, "i64"}, {fkOffset, "0"}, {fkBits, "0,64"}},
         Hex("FF FF FF FF FF FF FF FE"),
         -2,
         ""},
        {"negative offset", {{fkType, "u16"}, {fkOffset, "-2"}}, Hex("00 01 02 03"), 0x0203, ""},
        {"-1 is the last byte", {{fkType, "u8"}, {fkOffset, "-1"}}, Hex("00 01 02 03"), 3, ""},
        {"negative offset past the end",
         {{fkType, "u16"}, {fkOffset, "-1"}},
         Hex("00 01 02 03"),
         {},
         "the 2 bytes at offset -1 lie outside the data block of 4 bytes"},
        {"negative offset before the start",
         {{fkType, "u8"}, {fkOffset, "-5"}},
         Hex("00 01 02 03"),
         {},
         "the 1 byte at offset -5 lies outside the data block of 4 bytes"},
        {"bytes past the end",
         {{fkType, "u32"}, {fkOffset, "1"}},
         Hex("00 01 02 03"),
         {},
         "the 4 bytes at offset 1 lie outside the data block of 4 bytes"},
        {"empty block",
         {{fkType, "u8"}, {fkOffset, "0"}},
         "",
         {},
         "the 1 byte at offset 0 lies outside the data block of 0 bytes"},
        {"text token", {{fkType, "text"}, {fkIndex, "1"}}, "12.5,33,-4.25", 33, ""},
        {"last text token", {{fkType, "text"}, {fkIndex, "2"}}, "12.5,33,-4.25", -4.25, ""},
        {"prefix, then blanks and a tab around the number",
         {{fkType, "text"}, {fkIndex, "1"}, {fkPrefix, "T="}},
         "x,T= \t21.5 ,y",
         21.5,
         ""},
        {"blanks around a token without prefix",
         {{fkType, "text"}, {fkIndex, "1"}},
         "x,  -4.25\t,y",
         -4.25,
         ""},
        {"a blank before the prefix",
         {{fkType, "text"}, {fkIndex, "1"}, {fkPrefix, "T="}},
         "x, T=21.5",
         {},
         "token 1 \" T=21.5\" does not start with \"T=\""},
        {"separator space",
         {{fkType, "text"}, {fkSeparator, "space"}, {fkIndex, "1"}, {fkPrefix, "T="}},
         "#000042 T=21.5 OK",
         21.5,
         ""},
        {"separator tab", {{fkType, "text"}, {fkSeparator, "tab"}, {fkIndex, "2"}}, "a\tb\t7", 7, ""},
        {"separator ;", {{fkType, "text"}, {fkSeparator, ";"}, {fkIndex, "0"}}, "8;9", 8, ""},
        {".5", {{fkType, "text"}, {fkIndex, "0"}}, ".5", 0.5, ""},
        {"5.", {{fkType, "text"}, {fkIndex, "0"}}, "5.", 5, ""},
        {"sign and exponent", {{fkType, "text"}, {fkIndex, "0"}}, "+1E-2", 0.01, ""},
        {"subnormal, as strtod reads it", {{fkType, "text"}, {fkIndex, "0"}}, "4e-320", 4e-320, ""},
        {"too large for a double",
         {{fkType, "text"}, {fkIndex, "0"}},
         "1e999",
         {},
         "the value is not finite (NaN or infinity)"},
        {"0.1, rounded as strtod rounds it", {{fkType, "text"}, {fkIndex, "0"}}, "0.1", 0.1, ""},
        {"15 digits", {{fkType, "text"}, {fkIndex, "0"}}, "-123456789.012345", -123456789.012345, ""},
        {"16 digits", {{fkType, "text"}, {fkIndex, "0"}}, "1234567890.123457", 1234567890.123457, ""},
        {"two points",
         {{fkType, "text"}, {fkIndex, "0"}},
         "1.2.3",
         {},
         "token 0 \"1.2.3\" holds no decimal number"},
        {"only a point",
         {{fkType, "text"}, {fkIndex, "0"}},
         ".",
         {},
         "token 0 \".\" holds no decimal number"},
        {"only a sign", {{fkType, "text"}, {fkIndex, "0"}}, "-", {}, "token 0 \"-\" holds no decimal number"},
        {"hexadecimal",
         {{fkType, "text"}, {fkIndex, "0"}},
         "0x10",
         {},
         "token 0 \"0x10\" holds no decimal number"},
        {"inf", {{fkType, "text"}, {fkIndex, "0"}}, "inf", {}, "token 0 \"inf\" holds no decimal number"},
        {"nan", {{fkType, "text"}, {fkIndex, "0"}}, "nan", {}, "token 0 \"nan\" holds no decimal number"},
        {"exponent without digits",
         {{fkType, "text"}, {fkIndex, "0"}},
         "5e",
         {},
         "token 0 \"5e\" holds no decimal number"},
        {"blank inside",
         {{fkType, "text"}, {fkIndex, "0"}},
         "1 2",
         {},
         "token 0 \"1 2\" holds no decimal number"},
        {"empty token",
         {{fkType, "text"}, {fkIndex, "1"}},
         "1,,3",
         {},
         "token 1 \"\" holds no decimal number"},
        {"only the prefix",
         {{fkType, "text"}, {fkIndex, "0"}, {fkPrefix, "T="}},
         "T=",
         {},
         "token 0 \"T=\" holds no decimal number after \"T=\""},
        {"missing token",
         {{fkType, "text"}, {fkIndex, "5"}},
         "a,b",
         {},
         "the data block of 3 bytes has 2 tokens, none with index 5"},
        {"Match with wildcards",
         {{fkType, "text"}, {fkIndex, "9"}, {fkMatch, "0:24 ?? ?? 47 47 41"}},
         Nmea,
         545.4,
         ""},
        {"Match without blanks",
         {{fkType, "text"}, {fkIndex, "9"}, {fkMatch, "0:24????474741"}},
         Nmea,
         545.4,
         ""},
        {"Match fails",
         {{fkType, "text"}, {fkIndex, "9"}, {fkMatch, "0:24 ?? ?? 52 4D 43"}},
         Nmea,
         {},
         "the data block of 65 bytes does not match 0:24 ?? ?? 52 4D 43"},
        {"Match from the end",
         {{fkType, "u8"}, {fkOffset, "0"}, {fkMatch, "-2:0D 0A"}},
         Hex("07 0D 0A"),
         7,
         ""},
        {"Match beyond the block",
         {{fkType, "u8"}, {fkOffset, "0"}, {fkMatch, "2:01 02"}},
         Hex("07 01 02"),
         {},
         "the data block of 3 bytes does not match 2:01 02"},
    };
    for (const DecodeRow& row : rows) {
        SCOPED_TRACE(row.what);
        ZFieldDefinition field;
        field.Name = "f";
        for (const auto& [key, text] : row.keys) {
            std::string reason;
            ASSERT_TRUE(field.SetKeyText(key, text, ZFieldDefinition::KeyName(key), reason)) << reason;
        }
        ZFieldList list;
        list.Items = {field};
        std::string reason;
        ASSERT_TRUE(list.Check(reason)) << reason;
        const ZFieldDecoder decoder(list);
        const auto* bytes = reinterpret_cast<const uint8_t*>(row.block.data());
        const int length = static_cast<int>(row.block.size());
        ZFieldValues values = decoder.MakeValues();
        decoder.Decode(bytes, length, values);
        const std::vector<ZFieldTry> tried = decoder.Try(bytes, length);
        ASSERT_EQ(tried.size(), 1u);
        EXPECT_EQ(values.Has(0), row.value.has_value());
        EXPECT_EQ(tried[0].Present, row.value.has_value());
        if (row.value) {
            EXPECT_EQ(values.Get(0), *row.value);
            EXPECT_EQ(std::signbit(values.Get(0)), std::signbit(*row.value));
            EXPECT_EQ(values.Find("f"), *row.value);
            EXPECT_EQ(tried[0].Value, *row.value);
        } else {
            EXPECT_EQ(values.PresentCount(), 0);
            EXPECT_TRUE(std::isnan(values.Find("f")));
            EXPECT_EQ(tried[0].Why, row.why);
        }
    }
}

TEST(FieldDecoderTest, ValuesAreReadByIndexAndByName) {
    ZFieldList list;
    for (const char* name : {"b", "a", "c"}) {
        ZFieldDefinition field;
        field.Name = name;
        field.HasOffset = true;
        field.Offset = static_cast<int32_t>(list.Items.size());
        list.Items.push_back(field);
    }
    const ZFieldDecoder decoder(list);
    ZFieldValues values = decoder.MakeValues();
    const std::string block = Hex("0B 0A");
    decoder.Decode(reinterpret_cast<const uint8_t*>(block.data()), 2, values);
    EXPECT_EQ(values.Count(), 3);
    EXPECT_EQ(values.PresentCount(), 2);
    EXPECT_EQ(values.IndexOf("a"), 1);
    EXPECT_EQ(values.IndexOf("c"), 2);
    EXPECT_EQ(values.IndexOf("d"), -1);
    EXPECT_EQ(values.Find("b"), 11);
    EXPECT_EQ(values.Get(1), 10);
    EXPECT_FALSE(values.Has(2));
    EXPECT_EQ(values.Name(2), "c");
}

struct BlockRow {
    const char* what;
    std::vector<Keys> fields;  // besides the names, which are f0, f1, ...
    std::string block;
    std::vector<std::optional<double>> values;  // none: absent
};

// The fields of one list share the scan of a block; each must still read what it
// reads alone.
TEST(FieldDecoderTest, EveryFieldOfAListReadsWhatItReadsAlone) {
    const Keys token0 = {{fkType, "text"}, {fkIndex, "0"}};
    const Keys token1 = {{fkType, "text"}, {fkIndex, "1"}};
    const Keys token2 = {{fkType, "text"}, {fkIndex, "2"}};
    const std::vector<BlockRow> rows = {
        {"tokens in falling order", {token2, token0, token1}, "1,2,3", {3, 1, 2}},
        {"one token twice", {token1, {{fkType, "text"}, {fkIndex, "1"}, {fkPrefix, "-"}}}, "1,-2", {-2, 2}},
        {"two separators",
         {{{fkType, "text"}, {fkSeparator, ";"}, {fkIndex, "2"}},
          token0,
          {{fkType, "text"}, {fkSeparator, ";"}, {fkIndex, "1"}}},
         "1,2;3;4",
         {4, 1, 3}},
        {"a later token of another separator",
         {token1, {{fkType, "text"}, {fkSeparator, "space"}, {fkIndex, "1"}}},
         "1,2,3 4",
         {2, 4}},
        {"a field whose Match fails between two",
         {token0, {{fkType, "text"}, {fkIndex, "1"}, {fkMatch, "0:FF"}}, token2},
         "1,2,3",
         {1, {}, 3}},
        {"a missing token before one present", {{{fkType, "text"}, {fkIndex, "5"}}, token1}, "1,2", {{}, 2}},
        {"numbers and text", {{{fkType, "u8"}, {fkOffset, "0"}}, token1}, "7,8", {0x37, 8}},
    };
    for (const BlockRow& row : rows) {
        SCOPED_TRACE(row.what);
        ZFieldList list;
        for (const Keys& keys : row.fields) {
            ZFieldDefinition field;
            field.Name = "f" + std::to_string(list.Items.size());
            for (const auto& [key, text] : keys) {
                std::string reason;
                ASSERT_TRUE(field.SetKeyText(key, text, ZFieldDefinition::KeyName(key), reason)) << reason;
            }
            list.Items.push_back(field);
        }
        const ZFieldDecoder decoder(list);
        // Values of another list are laid out anew.
        ZFieldValues values;
        decoder.Decode(reinterpret_cast<const uint8_t*>(row.block.data()), static_cast<int>(row.block.size()),
                       values);
        ASSERT_EQ(values.Count(), static_cast<int>(row.values.size()));
        for (size_t i = 0; i < row.values.size(); ++i) {
            SCOPED_TRACE(i);
            EXPECT_EQ(values.Has(static_cast<int>(i)), row.values[i].has_value());
            if (row.values[i]) {
                EXPECT_EQ(values.Get(static_cast<int>(i)), *row.values[i]);
            }
        }
    }
}

// A profile holding text, read as a settings file is.
ZULIniFile ProfileOf(const ScratchDir& dir, const std::string& text) {
    const std::string path = dir.File("fields.scs");
    WriteBytes(path, text);
    return ZULIniFile(path);
}

std::string ManyFields(int count) {
    std::string text = "[_fields]\nCount=" + std::to_string(count) + "\n";
    for (int i = 0; i < count; ++i) {
        const std::string n = std::to_string(i);
        text += "Name_" + n + "=f" + n + "\nType_" + n + "=u8\nOffset_" + n + "=" + n + "\n";
    }
    return text;
}

struct CheckRow {
    const char* what;
    std::string keys;    // the section's lines after Count
    std::string reason;  // "" when accepted
};

TEST(FieldListTest, DefinitionsThatCanNeverBeReadAreRefusedNamingTheKey) {
    const std::string number = "Name_0=t\nType_0=i16\nOffset_0=4\n";
    const std::string text = "Name_0=t\nType_0=text\nIndex_0=1\n";
    const std::vector<CheckRow> rows = {
        {"unknown type", "Name_0=t\nType_0=u17\nOffset_0=0\n",
         "Type_0 \"u17\" is no field type: the types are u8, i8, u16, i16, u24, i24, u32, i32, u64, i64, "
         "f32, f64 or text"},
        {"type names are exact", "Name_0=t\nType_0=U16\nOffset_0=0\n",
         "Type_0 \"U16\" is no field type: the types are u8, i8, u16, i16, u24, i24, u32, i32, u64, i64, "
         "f32, f64 or text"},
        {"no type", "Name_0=t\nOffset_0=0\n", "Type_0 is missing: every field needs a name and a type"},
        {"no name", "Type_0=u8\nOffset_0=0\n", "Name_0 is missing: every field needs a name and a type"},
        {"empty name", "Name_0=\nType_0=u8\nOffset_0=0\n", "Name_0 is empty: every field needs a name"},
        {"offset no number", "Name_0=t\nType_0=u8\nOffset_0=4x\n",
         "Offset_0 \"4x\" is no offset: an offset is a whole number from -16384 to 16384 (-1 is the last "
         "byte)"},
        {"offset beyond 16384", "Name_0=t\nType_0=u8\nOffset_0=16385\n",
         "Offset_0 \"16385\" is no offset: an offset is a whole number from -16384 to 16384 (-1 is the last "
         "byte)"},
        {"offset beyond -16384", "Name_0=t\nType_0=u8\nOffset_0=-16385\n",
         "Offset_0 \"-16385\" is no offset: an offset is a whole number from -16384 to 16384 (-1 is the last "
         "byte)"},
        {"offset 16384", "Name_0=t\nType_0=u8\nOffset_0=16384\n", ""},
        {"offset -16384", "Name_0=t\nType_0=u8\nOffset_0=-16384\n", ""},
        {"number without offset", "Name_0=t\nType_0=f32\n",
         "Offset_0 is missing: a field of type f32 needs the offset of its first byte"},
        {"bits beyond the width", number + "Bits_0=12,8\n",
         "Bits_0 \"12,8\" lies outside the 16 bits of type i16"},
        {"bits up to the width", number + "Bits_0=12,4\n", ""},
        {"no bits at all", number + "Bits_0=3,0\n",
         "Bits_0 \"3,0\" is no bit slice: write START,LENGTH (bit 0 the least significant, LENGTH 1 or "
         "more)"},
        {"bits of a float", "Name_0=t\nType_0=f32\nOffset_0=0\nBits_0=0,8\n",
         "Bits_0 is set, but a field of type f32 has no bit slices (integer types only)"},
        {"scale not finite", number + "Scale_0=inf\n", "Scale_0 \"inf\" is no finite decimal number"},
        {"scale beyond a double", number + "Scale_0=1e999\n",
         "Scale_0 \"1e999\" is no finite decimal number"},
        {"add no number", number + "Add_0=one\n", "Add_0 \"one\" is no finite decimal number"},
        {"text without index", "Name_0=t\nType_0=text\n",
         "Index_0 is missing: a text field needs the index of its token (0 = the first)"},
        {"negative index", "Name_0=t\nType_0=text\nIndex_0=-1\n",
         "Index_0 \"-1\" is no token index: a whole number from 0 (the first token) to 16384"},
        {"two characters as separator", text + "Separator_0=ab\n",
         "Separator_0 \"ab\" is no separator: one ASCII character, \"space\" or \"tab\""},
        {"empty separator", text + "Separator_0=\n",
         "Separator_0 is empty: write \"space\" for a blank, \"tab\" for a tab"},
        {"a number's keys are not read for text", text + "Offset_0=x\nMSBFirst_0=y\n", ""},
        {"match without offset", number + "Match_0=24 47\n",
         "Match_0 \"24 47\" is not OFFSET:HEX (an offset a whole number from -16384 to 16384, then whole HEX "
         "bytes, ?? "
         "for any byte, e.g. 0:24 ?? 47)"},
        {"match with half a byte", number + "Match_0=0:2\n",
         "Match_0 \"0:2\" is not OFFSET:HEX (an offset a whole number from -16384 to 16384, then whole HEX "
         "bytes, ?? "
         "for any byte, e.g. 0:24 ?? 47)"},
        {"match of nothing", number + "Match_0=0:\n",
         "Match_0 \"0:\" is not OFFSET:HEX (an offset a whole number from -16384 to 16384, then whole HEX "
         "bytes, ?? "
         "for any byte, e.g. 0:24 ?? 47)"},
        {"match with half a wildcard", number + "Match_0=0:?A\n",
         "Match_0 \"0:?A\" is not OFFSET:HEX (an offset a whole number from -16384 to 16384, then whole HEX "
         "bytes, ?? "
         "for any byte, e.g. 0:24 ?? 47)"},
        {"match offset beyond 16384", number + "Match_0=16385:24\n",
         "Match_0 \"16385:24\" is not OFFSET:HEX (an offset a whole number from -16384 to 16384, then whole "
         "HEX "
         "bytes, ?? for any byte, e.g. 0:24 ?? 47)"},
        {"two fields of one name", number + "Name_1=t\nType_1=u8\nOffset_1=0\n",
         "Name_1 \"t\" is the name of field 0 too: every field needs a name of its own"},
    };
    ScratchDir dir;
    for (const CheckRow& row : rows) {
        SCOPED_TRACE(row.what);
        const int count = row.keys.find("Name_1") != std::string::npos ? 2 : 1;
        const ZULIniFile ini = ProfileOf(dir, "[_fields]\nCount=" + std::to_string(count) + "\n" + row.keys);
        std::string reason;
        EXPECT_EQ(ZFieldList::CheckIni(ini, reason), row.reason.empty());
        EXPECT_EQ(reason, row.reason);
        ZFieldList list;
        list.ReadFromIni(ini);
        EXPECT_EQ(list.Items.size(), row.reason.empty() ? static_cast<size_t>(count) : 0u);
    }
    const std::vector<CheckRow> counts = {
        {"256 fields", ManyFields(256), ""},
        {"257 fields", ManyFields(257), "Count \"257\" is no number of fields: a whole number from 0 to 256"},
        {"count no number", "[_fields]\nCount=two\n",
         "Count \"two\" is no number of fields: a whole number from 0 to 256"},
    };
    for (const CheckRow& row : counts) {
        SCOPED_TRACE(row.what);
        std::string reason;
        EXPECT_EQ(ZFieldList::CheckIni(ProfileOf(dir, row.keys), reason), row.reason.empty());
        EXPECT_EQ(reason, row.reason);
    }
}

TEST(FieldListTest, ASettingsFileNamesItselfInTheRefusal) {
    ScratchDir dir;
    const ZULIniFile ini = ProfileOf(dir, "[_fields]\nCount=1\nName_0=t\nType_0=float\n");
    std::string errorText;
    EXPECT_FALSE(ZLoggerSettings::CheckIni(ini, errorText));
    EXPECT_EQ(errorText,
              "The settings in file \"fields.scs\" cannot be used: Type_0 \"float\" is no field type: the "
              "types are "
              "u8, i8, u16, i16, u24, i24, u32, i32, u64, i64, f32, f64 or text");
}

TEST(FieldListTest, EveryKeySurvivesTheSettingsFileAndNoFieldsWriteNoSection) {
    ZFieldList list;
    list.LogFields = false;
    list.CsvRecording = true;
    ZFieldDefinition number;
    number.Name = "temperature";
    number.Type = ftI16;
    number.HasOffset = true;
    number.Offset = -4;
    number.MSBFirst = false;
    number.HasBits = true;
    number.BitStart = 3;
    number.BitLength = 9;
    number.Scale = 0.1;
    number.Add = -273.15;
    number.Unit =
        "\xC2\xB0"
        "C";
    number.HasMatch = true;
    number.MatchOffset = -2;
    number.MatchPattern = {0x0D, AnyByte};
    ZFieldDefinition text;
    text.Name = "altitude, in \"m\"";
    text.Type = ftText;
    text.Separator = ' ';
    text.HasIndex = true;
    text.Index = 9;
    text.Prefix = "A=";
    list.Items = {number, text};

    ScratchDir dir;
    ZULIniFile written;
    list.WriteToIni(written);
    ASSERT_TRUE(written.UpdateFile(dir.File("saved.scs")));
    ZFieldList read;
    read.ReadFromIni(ZULIniFile(dir.File("saved.scs")));
    EXPECT_EQ(read, list);
    // Values are trimmed: a blank separator is written as a word.
    EXPECT_NE(ReadBytes(dir.File("saved.scs")).find("\r\nSeparator_1=space\r\n"), std::string::npos);

    ZULIniFile empty;
    ZFieldList().WriteToIni(empty);
    EXPECT_FALSE(empty.SectionExists(ZFieldList::IniSection));
    EXPECT_EQ(empty.ToText(), "");
    // The switches go with fields: without any they are at their defaults, as a file
    // saved from such a list (without the section) reads.
    ZFieldList switchesOnly;
    switchesOnly.ReadFromIni(ProfileOf(dir, "[_fields]\nLogFields=0\nCsvRecording=1\n"));
    EXPECT_EQ(switchesOnly, ZFieldList());
}

TEST(FieldTextTest, NumbersCellsAndNamesComeInTheirTextForms) {
    const std::vector<std::pair<double, std::string>> numbers = {{31.5, "31.5"},
                                                                 {42, "42"},
                                                                 {-0.0, "-0"},
                                                                 {0.1, "0.1"},
                                                                 {1e15, "1e+15"},
                                                                 {123456789012, "123456789012"},
                                                                 {1.0 / 3, "0.3333333333333333"},
                                                                 {4e-320, "4e-320"},
                                                                 {-1.5e300, "-1.5e+300"}};
    for (const auto& [value, text] : numbers) EXPECT_EQ(ZFieldNumberText(value), text);
    const std::vector<std::pair<std::string, std::string>> cells = {{"plain", "plain"},
                                                                    {"a,b", "\"a,b\""},
                                                                    {"say \"hi\"", "\"say \"\"hi\"\"\""},
                                                                    {"two\r\nlines", "\"two\r\nlines\""}};
    for (const auto& [text, cell] : cells) {
        std::string out;
        ZAppendCsvCell(out, text);
        EXPECT_EQ(out, cell);
    }
    const std::vector<std::pair<std::string, std::string>> names = {{"t", "\"t\""},
                                                                    {"a\"b\\c", "\"a\\\"b\\\\c\""},
                                                                    {"tab\there", "\"tab\\u0009here\""},
                                                                    {"\xFF"
                                                                     "x",
                                                                     "\"\xEF\xBF\xBDx\""}};
    for (const auto& [text, json] : names) {
        std::string out;
        ZAppendJsonString(out, text);
        EXPECT_EQ(out, json);
    }
}

// The lines of text, each ended by CR LF.
std::vector<std::string> LinesOf(const std::string& text) {
    std::vector<std::string> lines;
    for (size_t begin = 0, end; (end = text.find("\r\n", begin)) != std::string::npos; begin = end + 2)
        lines.push_back(text.substr(begin, end - begin));
    return lines;
}

struct ValuesLineRow {
    const char* what;
    std::string block;
    bool logFields;
    bool logData;
    std::string lastLine;  // the block's last line
};

TEST(FieldTextTest, TheLogShowsTheValuesPresentAfterTheirBlock) {
    ZFieldList list;
    ZFieldDefinition temperature;
    temperature.Name = "temperature";
    temperature.Type = ftText;
    temperature.HasIndex = true;
    temperature.Index = 0;
    temperature.Unit = "C";
    ZFieldDefinition count = temperature;
    count.Name = "count";
    count.Index = 1;
    count.Unit = "";
    list.Items = {temperature, count};
    const ZFieldDecoder decoder(list);
    const std::vector<ValuesLineRow> rows = {
        {"both", "31.5,7", true, true, "Values: temperature=31.5 C, count=7"},
        {"one absent", "x,7", true, true, "Values: count=7"},
        {"none present: no line", "x,y", true, true, "ASCII: x  ,  y"},
        {"LogFields off", "31.5,7", false, true, "ASCII: 3  1  .  5  ,  7"},
        {"data not logged", "31.5,7", true, false, ""},
    };
    for (const ValuesLineRow& row : rows) {
        SCOPED_TRACE(row.what);
        ZLoggerSettings settings;
        settings.Fields = list;
        settings.Fields.LogFields = row.logFields;
        settings.LogDataField = row.logData;
        ZFieldValues values = decoder.MakeValues();
        const auto* bytes = reinterpret_cast<const uint8_t*>(row.block.data());
        decoder.Decode(bytes, static_cast<int>(row.block.size()), values);
        sBlock block{0, bytes, static_cast<int>(row.block.size()), bkData};
        block.Values = &values;
        sLogString lines;
        ZLogFileManager::FormatBlock(block, false, settings, lines);
        const std::vector<std::string> text = LinesOf(lines.Text);
        EXPECT_EQ(text.empty() ? "" : text.back(), row.lastLine);
        EXPECT_EQ(lines.LineCount, text.size());
        // The values line is the block's last line: a file may start after it, never before.
        if (!text.empty()) {
            ASSERT_EQ(lines.BlockEnds.size(), 1u);
            EXPECT_EQ(lines.BlockEnds[0].TextEnd, lines.Text.size());
        }
    }
}

}  // namespace
