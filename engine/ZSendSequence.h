#pragma once
// What the user sends to the device: one sequence of bytes with an optional
// checksum and line end appended (or encoded as one SLIP or COBS frame), how the
// entry fields' texts turn into bytes, and the named list of sequences kept in a
// settings file's "[_send]" section. Plain values; any thread.

#include <cstdint>
#include <string>
#include <vector>

#include "ZFrameCodec.h"

class ZULIniFile;

// Values of LineEnd_i: what follows the sequence (and its checksum).
enum TSendLineEnd : int32_t { leNone = 0, leCR = 1, leLF = 2, leCRLF = 3 };

// The most bytes one send may hold, checksum and line end included.
constexpr size_t MaxSendBytes = 65536;
// The longest repeat interval, in ms (one hour).
constexpr int32_t MaxSendEveryMs = 3600000;

// The longest wait for an answer, in ms (one minute), and the longest gap between frames.
constexpr int32_t MaxWaitAnswerMs = 60000;
constexpr int32_t MaxSendGapMs = 60000;

struct ZSendSequence {
    // ChecksumSkip: the algorithm's protocol decides.
    static constexpr int32_t ProtocolSkip = -1;

    std::string Name;
    std::vector<uint8_t> Data;
    int32_t Checksum = 0;  // a TChecksumAlgorithm; 0 none
    bool ChecksumLSBFirst = false;
    int32_t LineEnd = leNone;
    int32_t Every = 0;        // ms between two sends; 0 sends once
    int32_t Encode = feNone;  // a TFrameEncoding
    // Bytes at the start of Data the checksum leaves out, as the frame check's
    // "skip start"; ProtocolSkip: those the algorithm's protocol implies.
    int32_t ChecksumSkip = ProtocolSkip;
    // After a send, the next one waits for the next frame received, at most this
    // many ms; 0: it does not wait.
    int32_t WaitAnswerMs = 0;

    bool operator==(const ZSendSequence&) const = default;

    // The order the checksum goes in unless the user says otherwise: CRC-16/MODBUS
    // low byte first (as Modbus sends it), every other algorithm most significant first.
    static bool DefaultLSBFirst(int32_t algorithm);

    // The bytes of Data the checksum covers, [first, end), read as the frame check
    // reads a frame: [skip start][covered][gap]. The skip is ChecksumSkip when set;
    // otherwise a leading '$' for XOR-8 as hexadecimal digits (NMEA 0183) and the sync
    // characters B5 62 for Fletcher-8 (UBX), nothing for the rest. NMEA's '*' before
    // the digits, as the last byte of Data, is never covered. A skip past the end
    // covers nothing.
    void CoveredRange(size_t& first, size_t& end) const;
    // The bytes that go out: Data, then the checksum computed over the covered bytes
    // (its field width in bytes, in the order ChecksumLSBFirst gives; the hexadecimal
    // form as its two upper-case digits), then the line end. An unknown algorithm or
    // line end appends nothing. With an Encode, Data and checksum are encoded as one
    // frame with its delimiters instead, and no line end follows.
    std::vector<uint8_t> BuildBytes() const;
};

// HEX pairs, blanks (spaces and tabs) ignored anywhere. False with a text for the
// user on a character that is no HEX digit or an odd number of digits.
bool ParseSendHex(const std::string& text, std::vector<uint8_t>& bytes, std::string& errorText);
// Text whose characters are sent as they are (UTF-8 as its bytes) but for the escapes
// \r, \n, \t, \\ and \xNN. False with a text for the user on any other escape.
bool ParseSendText(const std::string& text, std::vector<uint8_t>& bytes, std::string& errorText);
// The bytes as text with escapes that ParseSendText reads back to the same bytes.
std::string SendBytesToText(const std::vector<uint8_t>& bytes);
// A line end named "cr", "lf" or "crlf" (as the command line takes it); -1 otherwise.
int32_t SendLineEndFromName(const std::string& name);

// The list of named sequences a settings file keeps.
class ZSendList {
public:
    static constexpr const char* IniSection = "_send";

    // Writes the section only when the list is not empty or has a gap or a script, so
    // files without sequences stay exactly as they were; Encode_i, ChecksumSkip_i,
    // WaitAnswerMs_i, SendGapMs and ScriptFile only when they differ from their defaults.
    void WriteToIni(ZULIniFile& ini) const;
    // Replaces the list with the section's (empty without one). Keys that are missing
    // or out of range read as their defaults (Encode_i: none); a Data_i that is no
    // valid HEX or longer than MaxSendBytes is empty.
    void ReadFromIni(const ZULIniFile& ini);

    bool operator==(const ZSendList&) const = default;

    std::vector<ZSendSequence> Items;
    // SendGapMs: the least silence between two frames sent, in ms; a gap below the
    // line's least frame gap (0 included) gives that (see ZLineTiming).
    int32_t GapMs = 0;
    // ScriptFile: the Lua script the Send page ran last, offered again; empty: none.
    std::string ScriptFile;
};
