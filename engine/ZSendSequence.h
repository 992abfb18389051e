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

struct ZSendSequence {
    std::string Name;
    std::vector<uint8_t> Data;
    int32_t Checksum = 0;  // a TChecksumAlgorithm; 0 none
    bool ChecksumLSBFirst = false;
    int32_t LineEnd = leNone;
    int32_t Every = 0;        // ms between two sends; 0 sends once
    int32_t Encode = feNone;  // a TFrameEncoding

    bool operator==(const ZSendSequence&) const = default;

    // The order the checksum goes in unless the user says otherwise: CRC-16/MODBUS
    // low byte first (as Modbus sends it), every other algorithm most significant first.
    static bool DefaultLSBFirst(int32_t algorithm);

    // The bytes that go out: Data, then the checksum computed over Data (its field
    // width in bytes, in the order ChecksumLSBFirst gives; the hexadecimal form as
    // its two upper-case digits), then the line end. An unknown algorithm or line end
    // appends nothing. With an Encode, Data and checksum are encoded as one frame with
    // its delimiters instead, and no line end follows.
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

    // Writes the section only when the list is not empty, so files without
    // sequences stay exactly as they were; an empty list removes the section. An
    // Encode_i key is written only for a sequence that is encoded.
    void WriteToIni(ZULIniFile& ini) const;
    // Replaces the list with the section's (empty without one). Keys that are missing
    // or out of range read as their defaults (Encode_i: none); a Data_i that is no
    // valid HEX is empty.
    void ReadFromIni(const ZULIniFile& ini);

    bool operator==(const ZSendList&) const = default;

    std::vector<ZSendSequence> Items;
};
