#include "SerialConfigText.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "ConfigFields.h"

namespace {

const std::string DefaultText =
    "RRS0001084000000204800002048000000170190000160000000400063026013000000000000000000000000096";

// The text with the checksum at 88 recomputed over its first 88 characters.
std::string Resealed(std::string text) {
    unsigned sum = 0;
    for (size_t i = 0; i < 88; ++i) sum ^= static_cast<unsigned char>(text[i]);
    char digits[4];
    std::snprintf(digits, sizeof(digits), "%03u", sum);
    return text.replace(88, 3, digits);
}

// The default text with one field replaced and the checksum made right again.
std::string WithField(size_t pos, const std::string& value) {
    return Resealed(std::string(DefaultText).replace(pos, value.size(), value));
}

TEST(SerialConfigText, DefaultSettingsRoundTripThroughTheKnownText) {
    EXPECT_EQ(SerialConfigToText(DefaultsOnPort1), DefaultText);
    const TSerialConfig read = SerialConfigFromText(DefaultText, Unusual);
    EXPECT_TRUE(read.Valid);
    EXPECT_EQ(ConfigFields(read), ConfigFields(DefaultsOnPort1));
}

TEST(SerialConfigText, EveryFieldSurvivesTheRoundTrip) {
    const std::string text = SerialConfigToText(Unusual);
    ASSERT_EQ(text.size(), SerialConfigTextLength);
    const TSerialConfig read = SerialConfigFromText(text, DefaultsOnPort1);
    EXPECT_TRUE(read.Valid);
    EXPECT_EQ(ConfigFields(read), ConfigFields(Unusual));
}

TEST(SerialConfigText, WritesPaddedOrCutFields) {
    TSerialConfig config = DefaultsOnPort1;
    config.COMPort = 12;
    config.BufSizeTrm = 123456789;
    config.RecTimeOut = -5;
    const std::string text = SerialConfigToText(config);
    EXPECT_EQ(text.substr(4, 3), "012");
    EXPECT_EQ(text.substr(12, 8), "12345678");
    EXPECT_EQ(text.substr(68, 10), "00000000-5");
    EXPECT_EQ(text, Resealed(text));
    // A cut value reads back as cut; a negative one does not read back at all.
    EXPECT_FALSE(SerialConfigFromText(text, DefaultsOnPort1).Valid);
    config.RecTimeOut = 0;
    EXPECT_EQ(SerialConfigFromText(SerialConfigToText(config), DefaultsOnPort1).BufSizeTrm, 12345678);
    config.Valid = false;
    EXPECT_EQ(SerialConfigToText(config), "");
}

TEST(SerialConfigText, ChangingAnyOneCharacterBreaksTheText) {
    for (size_t pos = 0; pos < DefaultText.size(); ++pos) {
        std::string text = DefaultText;
        text[pos] = text[pos] == '5' ? '6' : '5';
        EXPECT_FALSE(SerialConfigFromText(text, DefaultsOnPort1).Valid) << "position " << pos;
    }
}

TEST(SerialConfigText, TextRejectedBeforeItsFieldsLeavesTheCurrentSettings) {
    // Short texts, a wrong mark, a wrong checksum over well-formed fields.
    for (const std::string& text :
         {std::string(""), std::string("RRS0"), std::string("RRS0x"), DefaultText.substr(0, 88),
          std::string(DefaultText).replace(88, 3, "097"), WithField(0, "RRS1"),
          std::string(WithField(4, "012")).replace(88, 3, "000")}) {
        const TSerialConfig read = SerialConfigFromText(text, Unusual);
        EXPECT_FALSE(read.Valid) << text;
        EXPECT_EQ(ConfigFields(read), ConfigFields(Unusual)) << text;
    }
}

TEST(SerialConfigText, FieldsReadBeforeARejectionKeepTheirValues) {
    const TSerialConfig read =
        SerialConfigFromText(Resealed(std::string(DefaultText).replace(4, 5, "01220")), Unusual);
    EXPECT_FALSE(read.Valid);
    EXPECT_EQ(read.COMPort, 12);
    EXPECT_EQ(read.Baudrate, Unusual.Baudrate);
}

TEST(SerialConfigText, FieldEndsAtACharacterCodeZero) {
    std::string text = DefaultText;
    text[6] = '\0';  // the port field holds "00"
    const TSerialConfig read = SerialConfigFromText(Resealed(text), Unusual);
    EXPECT_TRUE(read.Valid);
    EXPECT_EQ(read.COMPort, 0);
    text[4] = '\0';  // nothing before the code zero: not a number
    EXPECT_FALSE(SerialConfigFromText(Resealed(text), Unusual).Valid);
}

struct TextCase {
    const char* name;
    std::string text;
    bool valid;
    int32_t (*field)(const TSerialConfig&) = nullptr;  // the field the case is about, if any
    int32_t value = 0;
};

int32_t Port(const TSerialConfig& c) {
    return c.COMPort;
}
int32_t XOn(const TSerialConfig& c) {
    return c.XOnChar;
}
int32_t RtsCts(const TSerialConfig& c) {
    return c.HandshakeRtsCts;
}

class SerialConfigTextCases : public ::testing::TestWithParam<TextCase> {};

TEST_P(SerialConfigTextCases, AcceptsOrRejects) {
    const TSerialConfig read = SerialConfigFromText(GetParam().text, Unusual);
    EXPECT_EQ(read.Valid, GetParam().valid);
    if (GetParam().field) {
        EXPECT_EQ(GetParam().field(read), GetParam().value);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Fields, SerialConfigTextCases,
    ::testing::Values(TextCase{"HighestBaudrate", WithField(7, "19"), true},
                      TextCase{"BaudrateOutOfRange", WithField(7, "20"), false},
                      TextCase{"DataBitsOutOfRange", WithField(9, "5"), false},
                      TextCase{"ParityOutOfRange", WithField(10, "5"), false},
                      TextCase{"StopBitsOutOfRange", WithField(11, "3"), false},
                      TextCase{"PortNotANumber", WithField(4, "0x1"), false},
                      TextCase{"PortWithLeadingBlanks", WithField(4, "  7"), true, Port, 7},
                      TextCase{"PortWithPlus", WithField(4, "+07"), true, Port, 7},
                      TextCase{"PortNegative", WithField(4, "-07"), true, Port, -7},
                      TextCase{"OnlyASign", WithField(4, "  -"), false},
                      TextCase{"OnlyBlanks", WithField(4, "   "), false},
                      TextCase{"TrailingBlank", WithField(12, "0000204 "), false},
                      TextCase{"FlagNotANumber", WithField(28, "x"), false},
                      TextCase{"FlagAboveOne", WithField(28, "7"), true, RtsCts, 1},
                      TextCase{"CharacterWithLetter", WithField(33, "1x3"), true, XOn, 1},
                      TextCase{"CharacterAllLetters", WithField(33, "abc"), true, XOn, 0},
                      TextCase{"CharacterAbove255", WithField(33, "999"), true, XOn, 999 & 0xFF},
                      TextCase{"Beyond32Bits", WithField(68, "9999999999"), false},
                      TextCase{"ChecksumWithBlank", std::string(DefaultText).replace(88, 3, " 96"), true},
                      TextCase{"ExtraCharactersIgnored", DefaultText + "trailing junk", true}),
    [](const ::testing::TestParamInfo<TextCase>& p) { return p.param.name; });

}  // namespace
