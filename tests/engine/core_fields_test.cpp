// Fields: definitions x data blocks -> values (or why a value is absent), the
// definitions a settings file may not hold, the section's round trip, the text forms
// of values and the log files' "Values:" line.

#include <gtest/gtest.h>
#include <locale.h>
#include <stdlib.h>

#include <cmath>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "TestFiles.h"
#include "ZFieldDecoder.h"
#include "ZFieldList.h"
#include "ZFieldStatistics.h"
#include "ZFieldText.h"
#include "ZLogFileManager.h"
#include "ZLoggerSettings.h"
#include "ZULIniFile.h"

namespace {

// The bytes of HEX pairs separated by blanks.
std::string Hex(const std::string& pairs) {
    std::string bytes;
    for (size_t at = 0; at + 1 < pairs.size(); at += 3)
        bytes += static_cast<char>(std::stoi(pairs.substr(at, 2), nullptr, 16));
    return bytes;
}

// A field named name from "Key=value|Key=value", the keys as a settings file names them
// without their number.
ZFieldDefinition Field(const std::string& name, const std::string& keys) {
    ZFieldDefinition field;
    field.Name = name;
    for (size_t begin = 0, end = 0; begin < keys.size(); begin = end + 1) {
        end = std::min(keys.find('|', begin), keys.size());
        const std::string pair = keys.substr(begin, end - begin);
        const std::string key = pair.substr(0, pair.find('='));
        std::string reason;
        int found = 0;
        while (found < FieldKeyCount && key != ZFieldDefinition::KeyName(static_cast<TFieldKey>(found)))
            ++found;
        if (found == FieldKeyCount) {
            ADD_FAILURE() << "no key " << key;
            continue;
        }
        EXPECT_TRUE(field.SetKeyText(static_cast<TFieldKey>(found), pair.substr(key.size() + 1), key, reason))
            << reason;
    }
    return field;
}

const uint8_t* BytesOf(const std::string& block) {
    return reinterpret_cast<const uint8_t*>(block.data());
}

// A value read, or why none was.
struct Outcome {
    Outcome(double read) : value(read) {}
    explicit Outcome(std::string reason) : why(std::move(reason)) {}
    std::optional<double> value;
    std::string why;
};

Outcome Absent(const std::string& why) {
    return Outcome(why);
}

struct DecodeRow {
    const char* what;
    std::string keys;
    std::string block;
    Outcome expected;
};

const std::string Nmea = "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47";
const std::string NotFinite = "the value is not finite (NaN or infinity)";

TEST(FieldDecoderTest, DefinitionsTimesBlocksGiveValuesOrSayWhyNot) {
    const std::vector<DecodeRow> rows = {
        {"u8", "Type=u8|Offset=0", Hex("FF"), 255},
        {"i8", "Type=i8|Offset=0", Hex("FF"), -1},
        {"u16 MSB first", "Type=u16|Offset=1", Hex("00 12 34"), 0x1234},
        {"u16 LSB first", "Type=u16|Offset=1|MSBFirst=0", Hex("00 12 34"), 0x3412},
        {"i16 MSB first", "Type=i16|Offset=0", Hex("FF FE"), -2},
        {"i16 LSB first", "Type=i16|Offset=0|MSBFirst=0", Hex("FE FF"), -2},
        {"u24", "Type=u24|Offset=0", Hex("01 02 03"), 0x010203},
        {"i24 LSB first", "Type=i24|Offset=0|MSBFirst=0", Hex("00 00 80"), -8388608},
        {"u32", "Type=u32|Offset=0", Hex("DE AD BE EF"), 3735928559.0},
        {"i32 LSB first", "Type=i32|Offset=0|MSBFirst=0", Hex("FF FF FF 7F"), 2147483647},
        {"u64", "Type=u64|Offset=0", Hex("FF FF FF FF FF FF FF FF"), 18446744073709551615.0},
        {"i64", "Type=i64|Offset=0", Hex("80 00 00 00 00 00 00 00"), -9223372036854775808.0},
        {"f32 MSB first", "Type=f32|Offset=0", Hex("41 FC 00 00"), 31.5},
        {"f32 LSB first", "Type=f32|Offset=0|MSBFirst=0", Hex("00 00 FC 41"), 31.5},
        {"f64 MSB first", "Type=f64|Offset=0", Hex("40 3F 80 00 00 00 00 00"), 31.5},
        {"f64 LSB first", "Type=f64|Offset=0|MSBFirst=0", Hex("00 00 00 00 00 80 3F 40"), 31.5},
        {"f32 NaN", "Type=f32|Offset=0", Hex("7F C0 00 00"), Absent(NotFinite)},
        {"f64 infinity", "Type=f64|Offset=0", Hex("7F F0 00 00 00 00 00 00"), Absent(NotFinite)},
        {"scaled beyond a double", "Type=f64|Offset=0|Scale=1e10", Hex("FE 41 EB 2D 66 00 58 35"),
         Absent(NotFinite)},
        {"scale", "Type=i16|Offset=0|Scale=0.1", Hex("01 3B"), 31.5},
        {"scale and add", "Type=u8|Offset=0|Scale=-2|Add=100.5", Hex("0A"), 80.5},
        {"bits of an unsigned", "Type=u16|Offset=0|Bits=4,8", Hex("AB CD"), 0xBC},
        {"bits of a signed: the slice's top bit is its sign", "Type=i16|Offset=0|Bits=4,8", Hex("AB CD"),
         -68},
        {"bits of a signed, top bit clear", "Type=i8|Offset=0|Bits=0,4", Hex("35"), 5},
        {"one signed bit", "Type=i8|Offset=0|Bits=7,1", Hex("80"), -1},
        {"bits LSB first", "Type=u16|Offset=0|MSBFirst=0|Bits=12, 4", Hex("CD AB"), 0xA},
        {"all 64 bits", "Type=i64|Offset=0|Bits=0,64", Hex("FF FF FF FF FF FF FF FE"), -2},
        {"negative offset", "Type=u16|Offset=-2", Hex("00 01 02 03"), 0x0203},
        {"-1 is the last byte", "Type=u8|Offset=-1", Hex("00 01 02 03"), 3},
        {"negative offset past the end", "Type=u16|Offset=-1", Hex("00 01 02 03"),
         Absent("the 2 bytes at offset -1 lie outside the data block of 4 bytes")},
        {"negative offset before the start", "Type=u8|Offset=-5", Hex("00 01 02 03"),
         Absent("the 1 byte at offset -5 lies outside the data block of 4 bytes")},
        {"bytes past the end", "Type=u32|Offset=1", Hex("00 01 02 03"),
         Absent("the 4 bytes at offset 1 lie outside the data block of 4 bytes")},
        {"empty block", "Type=u8|Offset=0", "",
         Absent("the 1 byte at offset 0 lies outside the data block of 0 bytes")},
        {"text token", "Type=text|Index=1", "12.5,33,-4.25", 33},
        {"last text token", "Type=text|Index=2", "12.5,33,-4.25", -4.25},
        {"prefix, then blanks and a tab around the number", "Type=text|Index=1|Prefix=T=", "x,T= \t21.5 ,y",
         21.5},
        {"blanks around a token without prefix", "Type=text|Index=1", "x,  -4.25\t,y", -4.25},
        {"a blank before the prefix", "Type=text|Index=1|Prefix=T=", "x, T=21.5",
         Absent("token 1 \" T=21.5\" does not start with \"T=\"")},
        {"separator space", "Type=text|Separator=space|Index=1|Prefix=T=", "#000042 T=21.5 OK", 21.5},
        {"separator tab", "Type=text|Separator=tab|Index=2", "a\tb\t7", 7},
        {"separator ;", "Type=text|Separator=;|Index=0", "8;9", 8},
        {".5", "Type=text|Index=0", ".5", 0.5},
        {"5.", "Type=text|Index=0", "5.", 5},
        {"sign and exponent", "Type=text|Index=0", "+1E-2", 0.01},
        {"subnormal, as strtod reads it", "Type=text|Index=0", "4e-320", 4e-320},
        {"too large for a double", "Type=text|Index=0", "1e999", Absent(NotFinite)},
        {"0.1, rounded as strtod rounds it", "Type=text|Index=0", "0.1", 0.1},
        {"15 digits", "Type=text|Index=0", "-123456789.012345", -123456789.012345},
        {"16 digits", "Type=text|Index=0", "1234567890.123457", 1234567890.123457},
        {"16 digits above 2^53", "Type=text|Index=0", "953.5388801052521", 953.5388801052521},
        {"two points", "Type=text|Index=0", "1.2.3", Absent("token 0 \"1.2.3\" holds no decimal number")},
        {"only a point", "Type=text|Index=0", ".", Absent("token 0 \".\" holds no decimal number")},
        {"only a sign", "Type=text|Index=0", "-", Absent("token 0 \"-\" holds no decimal number")},
        {"hexadecimal", "Type=text|Index=0", "0x10", Absent("token 0 \"0x10\" holds no decimal number")},
        {"inf", "Type=text|Index=0", "inf", Absent("token 0 \"inf\" holds no decimal number")},
        {"nan", "Type=text|Index=0", "nan", Absent("token 0 \"nan\" holds no decimal number")},
        {"exponent without digits", "Type=text|Index=0", "5e",
         Absent("token 0 \"5e\" holds no decimal number")},
        {"blank inside", "Type=text|Index=0", "1 2", Absent("token 0 \"1 2\" holds no decimal number")},
        {"empty token", "Type=text|Index=1", "1,,3", Absent("token 1 \"\" holds no decimal number")},
        {"only the prefix",
         "Type=text|Index=0|Prefix=T=", "T=", Absent("token 0 \"T=\" holds no decimal number after \"T=\"")},
        {"missing token", "Type=text|Index=5", "a,b",
         Absent("the data block of 3 bytes has 2 tokens, none with index 5")},
        {"Match with wildcards", "Type=text|Index=9|Match=0:24 ?? ?? 47 47 41", Nmea, 545.4},
        {"Match without blanks", "Type=text|Index=9|Match=0:24????474741", Nmea, 545.4},
        {"Match fails", "Type=text|Index=9|Match=0:24 ?? ?? 52 4D 43", Nmea,
         Absent("the data block of 65 bytes does not match 0:24 ?? ?? 52 4D 43")},
        {"Match from the end", "Type=u8|Offset=0|Match=-2:0D 0A", Hex("07 0D 0A"), 7},
        {"Match beyond the block", "Type=u8|Offset=0|Match=2:01 02", Hex("07 01 02"),
         Absent("the data block of 3 bytes does not match 2:01 02")},
        // A number within the last 8 bytes of a longer block is loaded from a copy of them.
        {"u16 in the last bytes of a long block", "Type=u16|Offset=-2", Hex("00 00 00 00 00 00 00 00 12 34"),
         0x1234},
        {"i24 LSB first ending one byte before the end", "Type=i24|Offset=7|MSBFirst=0",
         Hex("00 00 00 00 00 00 00 FE FF FF 00"), -2},
        {"f64 as the last 8 bytes", "Type=f64|Offset=1", Hex("00 40 3F 80 00 00 00 00 00"), 31.5},
        {"bits in the last byte", "Type=i8|Offset=-1|Bits=1,3", Hex("00 00 00 00 00 00 00 00 0C"), -2},
        {"Match in the last bytes of a long block", "Type=u8|Offset=0|Match=-2:0D ??",
         Hex("05 00 00 00 00 00 00 00 0D 0A"), 5},
        {"Match of 9 bytes, the ninth differs", "Type=u8|Offset=0|Match=0:05 ?? ?? ?? ?? ?? ?? ?? 01",
         Hex("05 00 00 00 00 00 00 00 02"),
         Absent("the data block of 9 bytes does not match 0:05 ?? ?? ?? ?? ?? ?? ?? 01")},
        {"Match of 9 bytes", "Type=u8|Offset=0|Match=0:05 ?? ?? ?? ?? ?? ?? ?? 01",
         Hex("05 00 00 00 00 00 00 00 01"), 5},
        {"Match of 8 bytes from the end, the first differs", "Type=u8|Offset=0|Match=-8:01 ?? ?? ?? ?? ?? ?? 02",
         Hex("01 00 00 00 00 00 00 00 02"), Absent("the data block of 9 bytes does not match -8:01 ?? ?? ?? ?? ?? ?? 02")},
        // A short number is read in the scan for its token's end; anything else is read
        // from the whole token.
        {"exponent after a short number", "Type=text|Index=1", "x,1.5e3,y", 1500},
        {"short number, then a blank and more", "Type=text|Index=1", "x,1 2,y",
         Absent("token 1 \"1 2\" holds no decimal number")},
        {"separator the prefix holds", "Type=text|Index=1|Separator=;|Prefix=a;", "x;a;5", Absent("token 1 \"a\" does not start with \"a;\"")},
        {"separator a point", "Type=text|Index=1|Separator=.", "1.25.3", 25},
        {"separator a minus", "Type=text|Index=2|Separator=-", "1-2-3", 3},
        {"prefix longer than the rest of the block", "Type=text|Index=1|Prefix=T==", "x,T=",
         Absent("token 1 \"T=\" does not start with \"T==\"")},
        {"number ending at the block's end after blanks", "Type=text|Index=1", "x,-7.5  ", -7.5},
        {"16 digits with a separator after them", "Type=text|Index=0", "9007199254740993,1", 9007199254740992.0},
    };
    for (const DecodeRow& row : rows) {
        SCOPED_TRACE(row.what);
        ZFieldList list;
        list.Items = {Field("f", row.keys)};
        std::string reason;
        ASSERT_TRUE(list.Check(reason)) << reason;
        const ZFieldDecoder decoder(list);
        const int length = static_cast<int>(row.block.size());
        ZFieldValues values = decoder.MakeValues();
        decoder.Decode(BytesOf(row.block), length, values);
        const std::vector<ZFieldTry> tried = decoder.Try(BytesOf(row.block), length);
        ASSERT_EQ(tried.size(), 1u);
        EXPECT_EQ(values.Has(0), row.expected.value.has_value());
        EXPECT_EQ(tried[0].Present, row.expected.value.has_value());
        if (row.expected.value) {
            EXPECT_EQ(values.Get(0), *row.expected.value);
            EXPECT_EQ(std::signbit(values.Get(0)), std::signbit(*row.expected.value));
            EXPECT_EQ(values.Find("f"), *row.expected.value);
            EXPECT_EQ(tried[0].Value, *row.expected.value);
        } else {
            EXPECT_EQ(values.PresentCount(), 0);
            EXPECT_TRUE(std::isnan(values.Find("f")));
            EXPECT_EQ(tried[0].Why, row.expected.why);
        }
    }
}

struct BlockRow {
    const char* what;
    std::vector<std::string> fields;  // keys, the names falling from f<count-1> to f0
    std::string block;
    std::vector<std::optional<double>> values;  // none: absent
};

// The fields of one list share the scan of a block; each must still read what it
// reads alone, and is found by its index and by its name.
TEST(FieldDecoderTest, EveryFieldOfAListReadsWhatItReadsAlone) {
    const std::string token0 = "Type=text|Index=0", token1 = "Type=text|Index=1",
                      token2 = "Type=text|Index=2";
    const std::vector<BlockRow> rows = {
        {"tokens in falling order", {token2, token0, token1}, "1,2,3", {3, 1, 2}},
        {"one token twice", {token1, "Type=text|Index=1|Prefix=-"}, "1,-2", {-2, 2}},
        {"two separators", {"Type=text|Separator=;|Index=2", token0, "Type=text|Separator=;|Index=1"}, "1,2;3;4",
         {4, 1, 3}},
        {"a later token of another separator", {token1, "Type=text|Separator=space|Index=1"}, "1,2,3 4", {2, 4}},
        {"a field whose Match fails between two", {token0, "Type=text|Index=1|Match=0:FF", token2}, "1,2,3",
         {1, {}, 3}},
        {"a missing token before one present", {"Type=text|Index=5", token1}, "1,2", {{}, 2}},
        {"numbers and text", {"Type=u8|Offset=0", token1}, "7,8", {0x37, 8}},
        {"the token after a last one", {token1, token2}, "1,2", {2, {}}},
        {"a token not a number, then the next", {token0, token1}, "a,2", {{}, 2}},
        {"tokens read in place, then one that is not", {token0, token1, token2}, "1,2.5e1,3", {1, 25, 3}},
        {"an empty last token", {token0, token1}, "1,", {1, {}}},
    };
    for (const BlockRow& row : rows) {
        SCOPED_TRACE(row.what);
        ZFieldList list;
        for (const std::string& keys : row.fields)
            list.Items.push_back(
                Field("f" + std::to_string(row.fields.size() - 1 - list.Items.size()), keys));
        const ZFieldDecoder decoder(list);
        // Values of another list are laid out anew.
        ZFieldValues values;
        decoder.Decode(BytesOf(row.block), static_cast<int>(row.block.size()), values);
        ASSERT_EQ(values.Count(), static_cast<int>(row.values.size()));
        for (size_t i = 0; i < row.values.size(); ++i) {
            SCOPED_TRACE(i);
            const std::string& name = list.Items[i].Name;
            EXPECT_EQ(values.Name(static_cast<int>(i)), name);
            EXPECT_EQ(values.IndexOf(name), static_cast<int>(i));
            EXPECT_EQ(values.Has(static_cast<int>(i)), row.values[i].has_value());
            if (row.values[i]) {
                EXPECT_EQ(values.Find(name), *row.values[i]);
            }
        }
        EXPECT_EQ(values.IndexOf("none"), -1);
    }
}

struct SequenceRow {
    const char* what;
    std::string block;
    std::vector<std::optional<double>> values;  // none: absent
};

// One values object through blocks in turn, as a capture decodes them: nothing of a
// block stays for the next, whether the block is long enough for every number field
// (10 bytes here) or not, and a field that can never be read is never present.
TEST(FieldDecoderTest, ValuesOfOneBlockNeverStayForTheNext) {
    ZFieldList list;
    list.Items = {Field("f0", "Type=u16|Offset=-2"), Field("f1", "Type=i8|Offset=9"),
                  Field("f2", "Type=text|Index=0"), Field("f3", "Type=u8|Offset=0")};
    list.Items[3].HasBits = true;  // a slice beyond its type: refused, never present
    list.Items[3].BitStart = 4;
    list.Items[3].BitLength = 8;
    const std::vector<SequenceRow> rows = {
        {"every field", "5,\x01\x02\x03\x04\x05\x12\x34\xFF", {0x34FF, -1, 5, {}}},
        {"one byte short of f1", "9,\x01\x02\x03\x04\x05\xAB\xCD", {0xABCD, {}, 9, {}}},
        {"a block shorter than 8 bytes", "6,\x01\x02\x56\x78", {0x5678, {}, 6, {}}},
        {"a block too short for any number", "7", {{}, {}, 7, {}}},
        {"no text number", "x,\x01\x02\x03\x04\x05\x06\x07\x08", {0x0708, 8, {}, {}}},
        {"an empty block", "", {{}, {}, {}, {}}},
        {"every field again", "5,\x01\x02\x03\x04\x05\x12\x34\xFF", {0x34FF, -1, 5, {}}},
    };
    const ZFieldDecoder decoder(list);
    ZFieldValues values = decoder.MakeValues();
    for (const SequenceRow& row : rows) {
        SCOPED_TRACE(row.what);
        decoder.Decode(BytesOf(row.block), static_cast<int>(row.block.size()), values);
        int present = 0;
        for (size_t i = 0; i < row.values.size(); ++i) {
            SCOPED_TRACE(i);
            ASSERT_EQ(values.Has(static_cast<int>(i)), row.values[i].has_value());
            if (row.values[i]) {
                EXPECT_EQ(values.Get(static_cast<int>(i)), *row.values[i]);
            }
            present += row.values[i] ? 1 : 0;
        }
        EXPECT_EQ(values.PresentCount(), present);
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
    const std::string types =
        " is no field type: the types are u8, i8, u16, i16, u24, i24, u32, i32, u64, i64, "
        "f32, f64 or text";
    const std::string offsets =
        " is no offset: an offset is a whole number from -16384 to 16384 (-1 is the "
        "last byte)";
    const std::string matches =
        " is not OFFSET:HEX (an offset a whole number from -16384 to 16384, then whole "
        "HEX bytes, ?? for any byte, e.g. 0:24 ?? 47)";
    const std::vector<CheckRow> rows = {
        {"unknown type", "Name_0=t\nType_0=u17\nOffset_0=0\n", "Type_0 \"u17\"" + types},
        {"type names are exact", "Name_0=t\nType_0=U16\nOffset_0=0\n", "Type_0 \"U16\"" + types},
        {"no type", "Name_0=t\nOffset_0=0\n", "Type_0 is missing: every field needs a name and a type"},
        {"no name", "Type_0=u8\nOffset_0=0\n", "Name_0 is missing: every field needs a name and a type"},
        {"empty name", "Name_0=\nType_0=u8\nOffset_0=0\n", "Name_0 is empty: every field needs a name"},
        {"offset no number", "Name_0=t\nType_0=u8\nOffset_0=4x\n", "Offset_0 \"4x\"" + offsets},
        {"offset beyond 16384", "Name_0=t\nType_0=u8\nOffset_0=16385\n", "Offset_0 \"16385\"" + offsets},
        {"offset beyond -16384", "Name_0=t\nType_0=u8\nOffset_0=-16385\n", "Offset_0 \"-16385\"" + offsets},
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
        {"match without offset", number + "Match_0=24 47\n", "Match_0 \"24 47\"" + matches},
        {"match with half a byte", number + "Match_0=0:2\n", "Match_0 \"0:2\"" + matches},
        {"match of nothing", number + "Match_0=0:\n", "Match_0 \"0:\"" + matches},
        {"match with half a wildcard", number + "Match_0=0:?A\n", "Match_0 \"0:?A\"" + matches},
        {"match offset beyond 16384", number + "Match_0=16385:24\n", "Match_0 \"16385:24\"" + matches},
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
    std::string errorText;
    EXPECT_FALSE(
        ZLoggerSettings::CheckIni(ProfileOf(dir, "[_fields]\nCount=1\nName_0=t\nType_0=float\n"), errorText));
    EXPECT_EQ(errorText, "The settings in file \"fields.scs\" cannot be used: Type_0 \"float\"" + types);
}

TEST(FieldListTest, EveryKeySurvivesTheSettingsFileAndNoFieldsWriteNoSection) {
    ScratchDir dir;
    ZFieldList list;
    list.ReadFromIni(
        ProfileOf(dir,
                  "[_fields]\nCount=2\nLogFields=0\nCsvRecording=1\n"
                  "Name_0=temperature\nType_0=i16\nOffset_0=-4\nMSBFirst_0=0\nBits_0=3,9\n"
                  "Scale_0=0.1\nAdd_0=-273.15\nUnit_0=\xC2\xB0"
                  "C\nMatch_0=-2:0D ??\n"
                  "Name_1=altitude, in \"m\"\nType_1=text\nSeparator_1=space\nIndex_1=9\nPrefix_1=A=\n"));
    ASSERT_EQ(list.Items.size(), 2u);
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
    const std::vector<std::pair<double, std::string>> numbers = {
        {31.5, "31.5"}, {42, "42"}, {-0.0, "-0"}, {0.1, "0.1"}, {1e15, "1e+15"}, {123456789012, "123456789012"},
        {1.0 / 3, "0.3333333333333333"}, {4e-320, "4e-320"}, {-1.5e300, "-1.5e+300"}};
    for (const auto& [value, text] : numbers) EXPECT_EQ(ZFieldNumberText(value), text);
    const std::vector<std::pair<std::string, std::string>> cells = {
        {"plain", "plain"}, {"a,b", "\"a,b\""}, {"say \"hi\"", "\"say \"\"hi\"\"\""},
        {"two\r\nlines", "\"two\r\nlines\""}, {"a\rb", "\"a\rb\""}};
    for (const auto& [text, cell] : cells) {
        std::string out;
        ZAppendCsvCell(out, text);
        EXPECT_EQ(out, cell);
    }
    const std::vector<std::pair<std::string, std::string>> names = {
        {"t", "\"t\""}, {"a\"b\\c", "\"a\\\"b\\\\c\""}, {"tab\there", "\"tab\\u0009here\""},
        {"\x1f", "\"\\u001F\""}, {"\xFF" "x", "\"\xEF\xBF\xBDx\""}};
    for (const auto& [text, json] : names) {
        std::string out;
        ZAppendJsonString(out, text);
        EXPECT_EQ(out, json);
    }
}

// A short number is read in one pass, longer ones or those with an exponent the long
// way: either must read as strtod reads it in the C locale, to the last bit.
TEST(FieldTextTest, DecimalNumbersReadAsStrtodReadsThem) {
    const std::vector<std::string> accepted = {
        "0", "-0", "+0", "-0.0", "5.", ".5", "+.5", "-.5", "007", "0.1", "0.2", "0.3", "-1.7976931348623157",
        "999999999999999", "99999999999999.9", ".999999999999999", "0.000000000000001", "123456789012345",
        "9999999999999999", "0.0000000000000001", "1234567890123456789", "12345678901234567890123",
        "0.1000000000000000055511151231257827", "9007199254740993", "2.2250738585072014e-308", "4.9e-324",
        "1.7976931348623157e308", "1e-400", "-1e-400", "1E+2", "0e0", "1.e5", ".5e-1", "8.589973e9",
        "3.0000000000000004", "0.30000000000000004", "900719925474099.3", "-90071992547409.93"};
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    for (const std::string& text : accepted) {
        SCOPED_TRACE(text);
        double value = 0;
        ASSERT_TRUE(ZParseFieldDecimal(text, value));
        const double expected = strtod_l(text.c_str(), nullptr, cLocale);
        EXPECT_EQ(value, expected);
        EXPECT_EQ(std::signbit(value), std::signbit(expected));
    }
    const std::vector<std::string> refused = {"", "+", "-", ".", "-.", "+-1", "1..2", "1.2.3", " 1", "1 ", "1,5",
                                              "0x1A", "1e", "1e+", "e5", ".e5", "inf", "nan", "--1", "1-"};
    for (const std::string& text : refused) {
        SCOPED_TRACE(text);
        double value = 42;
        EXPECT_FALSE(ZParseFieldDecimal(text, value));
        EXPECT_EQ(value, 42);
    }
}

// A short number read from the start of a token of unknown end: where it stops, or
// null when the text does not start with one.
TEST(FieldTextTest, AShortNumberEndsWhereItsCharactersEnd) {
    const std::vector<std::pair<std::string, std::optional<std::pair<size_t, double>>>> rows = {
        {"12.5,x", {{4, 12.5}}},
        {"-3 ", {{2, -3}}},
        {"+.5;", {{3, 0.5}}},
        {"5.,", {{2, 5}}},
        {"1e5", {{1, 1}}},
        {"7.5.1", {{3, 7.5}}},
        {"123456789012345,", {{15, 123456789012345.0}}},
        {"0.00000000000001|", {{16, 1e-14}}},
        {"1234567890123456", {}},
        {"1.234567890123456", {}},
        {"", {}},
        {".", {}},
        {"-", {}},
        {"-.e", {}},
        {" 1", {}},
    };
    for (const auto& [text, expected] : rows) {
        SCOPED_TRACE(text);
        double value = 42;
        const char* end = ZScanShortDecimal(text.data(), text.data() + text.size(), value);
        ASSERT_EQ(end != nullptr, expected.has_value());
        if (expected) {
            EXPECT_EQ(static_cast<size_t>(end - text.data()), expected->first);
            EXPECT_EQ(value, expected->second);
        } else {
            EXPECT_EQ(value, 42);
        }
    }
}

struct StatisticsRow {
    const char* what;
    std::vector<std::string> blocks;
    std::string summary;  // count, then min, max, mean and last when there are values
};

// One statistics object serves every row: a reset forgets what came before.
TEST(FieldStatisticsTest, SummariesHoldCountMinMaxMeanAndLast) {
    ZFieldList list;
    list.Items = {Field("f", "Type=text|Index=0")};
    const ZFieldDecoder decoder(list);
    ZFieldStatistics statistics;
    const std::vector<StatisticsRow> rows = {
        {"no values", {"x"}, "0"},
        {"one value", {"5"}, "1 5 5 5 5"},
        {"falling, absent, rising", {"3", "-1", "x", "7"}, "3 -1 7 3 7"},
        {"a sum beyond a double", {"1.5e308", "1.5e308"}, "2 1.5e+308 1.5e+308 1.5e+308 1.5e+308"},
    };
    for (const StatisticsRow& row : rows) {
        SCOPED_TRACE(row.what);
        statistics.Reset(list);
        for (const std::string& text : row.blocks) {
            ZFieldValues values = decoder.MakeValues();
            decoder.Decode(BytesOf(text), static_cast<int>(text.size()), values);
            sBlock block{0, BytesOf(text), static_cast<int>(text.size()), bkData};
            block.Values = &values;
            statistics.OnBlock(block);
        }
        const std::vector<ZFieldSummary> summaries = statistics.Snapshot();
        ASSERT_EQ(summaries.size(), 1u);
        const ZFieldSummary& s = summaries[0];
        std::string summary = std::to_string(s.Count);
        for (const double number : {s.Min, s.Max, s.Mean, s.Last})
            if (s.Count > 0) summary += " " + ZFieldNumberText(number);
        EXPECT_EQ(summary, row.summary);
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
    list.Items = {Field("temperature", "Type=text|Index=0|Unit=C"), Field("count", "Type=text|Index=1")};
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
        decoder.Decode(BytesOf(row.block), static_cast<int>(row.block.size()), values);
        sBlock block{0, BytesOf(row.block), static_cast<int>(row.block.size()), bkData};
        block.Values = &values;
        sLogString lines;
        ZLogFileManager::FormatBlock(block, false, settings, lines);
        const std::vector<std::string> text = LinesOf(lines.Text);
        EXPECT_EQ(text.empty() ? "" : text.back(), row.lastLine);
        EXPECT_EQ(lines.LineCount, text.size());
        // The values line is the block's last line: a file may start after it, never before.
        if (!lines.Text.empty()) {
            ASSERT_EQ(lines.BlockEnds.size(), 1u);
            EXPECT_EQ(lines.BlockEnds[0].TextEnd, lines.Text.size());
        }
    }
}

}  // namespace
