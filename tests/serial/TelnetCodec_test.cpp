// The Telnet codec by byte sequences: what arrives from a server, split into
// reads as given, must give exactly the data, the answers and the state listed.

#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

#include "TTelnetCodec.h"

namespace {

using Bytes = std::vector<uint8_t>;
constexpr uint8_t IAC = 255, DONT = 254, DO = 253, WONT = 252, WILL = 251, SB = 250, SE = 240;
constexpr uint8_t CP = 44;  // COM-PORT-OPTION

// A baud answer of 115200 padded to a subnegotiation of size bytes (option and command included).
Bytes BaudAnswerOfSize(size_t size) {
    Bytes sub = {IAC, SB, CP, 101, 0, 1, 194, 0};
    sub.resize(size + 2, 0);
    sub.insert(sub.end(), {IAC, SE});
    return sub;
}

struct CodecCase {
    const char* Name;
    std::vector<Bytes> Reads;  // what the server sends, one entry per read
    Bytes Data;                // the data bytes decoded
    Bytes Reply;               // what the codec answers
    int Command = -1;          // a COM-PORT answer expected: its client code...
    uint32_t Value = 0;        // ...and value
    bool Accepted = false;     // the server agreed to COM-PORT-OPTION
    bool Refused = false;
    int Modem = -1;      // the modem state notified, -1 none
    int LineState = 0;   // the line states notified
    Bytes Send = {};     // data to encode for the server...
    Bytes Encoded = {};  // ...and what it becomes
};

const CodecCase Cases[] = {
    {"plain data", {{'a', 'b', 'c'}}, {'a', 'b', 'c'}, {}},
    {"doubled IAC is one data byte", {{'a', IAC, IAC, 'b'}}, {'a', 255, 'b'}, {}},
    {"doubled IAC split across reads", {{'a', IAC}, {IAC, 'b'}}, {'a', 255, 'b'}, {}},
    {"agreement to what we asked is not answered",
     {{IAC, DO, CP, IAC, DO, 0, IAC, WILL, 0}},
     {},
     {},
     -1,
     0,
     true},
    {"a repeated agreement is not answered", {{IAC, DO, CP, IAC, DO, CP}}, {}, {}, -1, 0, true},
    {"suppress-go-ahead is accepted both ways", {{IAC, WILL, 3, IAC, DO, 3}}, {}, {IAC, DO, 3, IAC, WILL, 3}},
    {"echo is refused both ways", {{IAC, WILL, 1, IAC, DO, 1}}, {}, {IAC, DONT, 1, IAC, WONT, 1}},
    {"an unknown option is refused", {{IAC, DO, 99}, {IAC, WILL, 99}}, {}, {IAC, WONT, 99, IAC, DONT, 99}},
    {"a refusal of what is off is not answered", {{IAC, WONT, 1, IAC, DONT, 1}}, {}, {}},
    {"refused COM-PORT-OPTION", {{IAC, DONT, CP}}, {}, {}, -1, 0, false, true},
    {"binary withdrawn after it was granted", {{IAC, WILL, 0, IAC, WONT, 0}}, {}, {IAC, DONT, 0}},
    {"command split after IAC", {{'x', IAC}, {DO}, {99, 'y'}}, {'x', 'y'}, {IAC, WONT, 99}},
    {"two-byte commands carry no data", {{'a', IAC, 241, 'b', IAC, 249}}, {'a', 'b'}, {}},
    {"baud answer", {{IAC, SB, CP, 101, 0, 1, 194, 0, IAC, SE}}, {}, {}, 1, 115200},
    {"baud answer split across reads",
     {{IAC, SB, CP}, {101, 0, 1}, {194, 0, IAC}, {SE, 'z'}},
     {'z'},
     {},
     1,
     115200},
    {"doubled IAC inside an answer",
     {{IAC, SB, CP, 101, 0, 0, IAC, IAC, IAC, IAC, IAC, SE}},
     {},
     {},
     1,
     65535},
    {"data-size answer", {{IAC, SB, CP, 102, 7, IAC, SE}}, {}, {}, 2, 7},
    {"control answer", {{IAC, SB, CP, 105, 3, IAC, SE}}, {}, {}, 5, 3},
    {"a client code from the server is ignored", {{IAC, SB, CP, 1, 0, 0, 37, 128, IAC, SE}}, {}, {}},
    {"another option's subnegotiation is ignored", {{IAC, SB, 24, 1, IAC, SE, 'q'}}, {'q'}, {}},
    {"modem state", {{IAC, SB, CP, 107, 0xB1, IAC, SE}}, {}, {}, -1, 0, false, false, 0xB1},
    {"line states are gathered",
     {{IAC, SB, CP, 106, 0x10, IAC, SE, IAC, SB, CP, 106, 0x04, IAC, SE}},
     {},
     {},
     -1,
     0,
     false,
     false,
     -1,
     0x14},
    {"an overlong subnegotiation is dropped whole",
     {Bytes{IAC, SB, CP, 101}, Bytes(80, 7), Bytes{IAC, SE, 'k'}},
     {'k'},
     {}},
    {"a subnegotiation at the limit is taken",
     {BaudAnswerOfSize(TTelnetCodec::SubnegotiationLimit)},
     {},
     {},
     1,
     115200},
    {"a subnegotiation one byte over the limit is dropped",
     {BaudAnswerOfSize(TTelnetCodec::SubnegotiationLimit + 1)},
     {},
     {}},
    {"a refusal still waiting to be sent is not repeated",
     {{IAC, WILL, 1, IAC, DO, 2, IAC, WILL, 1}, {IAC, DO, 2, IAC, WILL, 1}},
     {},
     {IAC, DONT, 1, IAC, WONT, 2}},
    {"every change of an accepted option is answered",
     {{IAC, WILL, 3, IAC, WONT, 3, IAC, WILL, 3}},
     {},
     {IAC, DO, 3, IAC, DONT, 3, IAC, DO, 3}},
    {"an unterminated subnegotiation ends at the next command",
     {{IAC, SB, CP, 101, 0, IAC, DO, 99, 'm'}},
     {'m'},
     {IAC, WONT, 99}},
    {"CR NUL is CR before binary", {{'a', 13, 0, 'b', 13, 'c'}}, {'a', 13, 'b', 13, 'c'}, {}},
    {"CR NUL split across reads", {{13}, {0, 'b'}}, {13, 'b'}, {}},
    {"CR NUL is two bytes in binary", {{IAC, WILL, 0, 13, 0}}, {13, 0}, {}},
    {"encoding doubles IAC and pads CR before binary",
     {},
     {},
     {},
     -1,
     0,
     false,
     false,
     -1,
     0,
     {1, 255, 13, 2},
     {1, 255, 255, 13, 0, 2}},
    {"encoding in binary only doubles IAC",
     {{IAC, DO, 0}},
     {},
     {},
     -1,
     0,
     false,
     false,
     -1,
     0,
     {255, 13, 255},
     {255, 255, 13, 255, 255}},
};

class TelnetCodecTest : public ::testing::TestWithParam<CodecCase> {};

TEST_P(TelnetCodecTest, DecodesAnswersAndEncodes) {
    const CodecCase& c = GetParam();
    TTelnetCodec codec;
    EXPECT_EQ(codec.Greeting(), (Bytes{IAC, WILL, 0, IAC, DO, 0, IAC, WILL, CP}));
    Bytes data, reply;
    for (const Bytes& read : c.Reads) codec.Decode(read.data(), read.size(), data, reply);
    EXPECT_EQ(data, c.Data);
    EXPECT_EQ(reply, c.Reply);
    EXPECT_EQ(codec.ComPortAccepted(), c.Accepted);
    EXPECT_EQ(codec.ComPortRefused(), c.Refused);
    for (uint8_t command = 1; command <= 5; ++command) {
        const bool expected = command == c.Command;
        EXPECT_EQ(codec.Answer(command).Seen, expected) << int(command);
        if (expected) {
            EXPECT_EQ(codec.Answer(command).Value, c.Value);
        }
    }
    uint8_t modem = 0;
    EXPECT_EQ(codec.ModemState(modem), c.Modem >= 0);
    if (c.Modem >= 0) {
        EXPECT_EQ(modem, c.Modem);
    }
    EXPECT_EQ(codec.TakeLineState(), c.LineState);
    EXPECT_EQ(codec.TakeLineState(), 0);
    Bytes encoded;
    codec.Encode(c.Send.data(), c.Send.size(), encoded);
    EXPECT_EQ(encoded, c.Encoded);
}

INSTANTIATE_TEST_SUITE_P(Sequences, TelnetCodecTest, ::testing::ValuesIn(Cases), [](const auto& sequence) {
    std::string name;
    for (const char* p = sequence.param.Name; *p; ++p)
        name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
    return name;
});

}  // namespace
