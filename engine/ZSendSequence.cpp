#include "ZSendSequence.h"

#include <algorithm>

#include "TriggerSequence.h"
#include "ZChecksum.h"
#include "ZULIniFile.h"
#include "ZULText.h"

namespace {

// 0..15, or -1 for a character that is no HEX digit.
int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

// The character as the user sees it in a message: control characters by their code.
std::string Shown(char c) {
    const auto byte = static_cast<uint8_t>(c);
    if (byte >= 0x20 && byte != 0x7F) return std::string(1, c);
    return "0x" + BytesToHex(&byte, 1);
}

// The leading bytes a protocol's checksum leaves out, when the data starts with them.
size_t SkipOfProtocol(const ZSendSequence& sequence) {
    const std::vector<uint8_t>& data = sequence.Data;
    if (sequence.Checksum == caXor8Hex && !data.empty() && data[0] == '$') return 1;
    if (sequence.Checksum == caFletcher8 && data.size() >= 2 && data[0] == 0xB5 && data[1] == 0x62) return 2;
    return 0;
}

void AppendChecksum(const ZSendSequence& sequence, std::vector<uint8_t>& out) {
    if (!ZChecksum::IsActive(sequence.Checksum)) return;
    ZChecksum checksum(sequence.Checksum);
    size_t first = 0;
    size_t end = 0;
    sequence.CoveredRange(first, end);
    checksum.Update(sequence.Data.data() + first, end - first);
    const uint32_t value = checksum.Value();
    if (sequence.Checksum == caXor8Hex) {
        // Its field is text, read in text order whatever the byte order.
        const auto byte = static_cast<uint8_t>(value);
        const std::string digits = BytesToHex(&byte, 1);
        out.insert(out.end(), digits.begin(), digits.end());
        return;
    }
    const int width = ZChecksum::FieldWidth(sequence.Checksum);
    for (int i = 0; i < width; ++i) {
        const int shift = 8 * (sequence.ChecksumLSBFirst ? i : width - 1 - i);
        out.push_back(static_cast<uint8_t>(value >> shift));
    }
}

}  // namespace

bool ZSendSequence::DefaultLSBFirst(int32_t algorithm) {
    return algorithm == caCrc16Modbus;
}

void ZSendSequence::CoveredRange(size_t& first, size_t& end) const {
    end = Data.size();
    if (Checksum == caXor8Hex && end > 0 && Data[end - 1] == '*') --end;
    first = ChecksumSkip >= 0 ? static_cast<size_t>(ChecksumSkip) : SkipOfProtocol(*this);
    first = std::min(first, end);
}

std::vector<uint8_t> ZSendSequence::BuildBytes() const {
    std::vector<uint8_t> out = Data;
    AppendChecksum(*this, out);
    if (const IZFrameCodec* codec = ZFrameCodecFor(Encode)) {
        std::vector<uint8_t> frame;
        codec->Encode(out.data(), out.size(), frame);
        return frame;
    }
    if (LineEnd == leCR || LineEnd == leCRLF) out.push_back('\r');
    if (LineEnd == leLF || LineEnd == leCRLF) out.push_back('\n');
    return out;
}

bool ParseSendHex(const std::string& text, std::vector<uint8_t>& bytes, std::string& errorText) {
    bytes.clear();
    int high = -1;
    size_t digits = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (IsBlank(text[i])) continue;
        const int value = HexDigit(text[i]);
        if (value < 0) {
            errorText =
                ZULFormat(ZUL_TEXT("SendSequence", "\"%1\" at position %2 is not a HEX digit (0-9, A-F)."),
                          {Shown(text[i]), std::to_string(i + 1)});
            return false;
        }
        ++digits;
        if (high < 0) {
            high = value;
        } else {
            bytes.push_back(static_cast<uint8_t>(high << 4 | value));
            high = -1;
        }
    }
    if (high >= 0) {
        errorText =
            ZULFormat(ZUL_TEXT("SendSequence", "Odd number of HEX digits (%1): every byte takes two."),
                      {std::to_string(digits)});
        return false;
    }
    return true;
}

bool ParseSendText(const std::string& text, std::vector<uint8_t>& bytes, std::string& errorText) {
    bytes.clear();
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            bytes.push_back(static_cast<uint8_t>(text[i]));
            continue;
        }
        const std::string position = std::to_string(i + 1);
        if (i + 1 == text.size()) {
            errorText = ZULFormat(
                ZUL_TEXT("SendSequence",
                         "The \"\\\" at position %1 ends the text: write \"\\\\\" for a backslash."),
                {position});
            return false;
        }
        const char escape = text[++i];
        switch (escape) {
            case 'r':
                bytes.push_back('\r');
                break;
            case 'n':
                bytes.push_back('\n');
                break;
            case 't':
                bytes.push_back('\t');
                break;
            case '\\':
                bytes.push_back('\\');
                break;
            case 'x': {
                const int high = i + 1 < text.size() ? HexDigit(text[i + 1]) : -1;
                const int low = i + 2 < text.size() ? HexDigit(text[i + 2]) : -1;
                if (high < 0 || low < 0) {
                    errorText = ZULFormat(
                        ZUL_TEXT("SendSequence",
                                 "The \"\\x\" at position %1 needs two HEX digits (\\x00 to \\xFF)."),
                        {position});
                    return false;
                }
                bytes.push_back(static_cast<uint8_t>(high << 4 | low));
                i += 2;
                break;
            }
            default: {
                errorText = ZULFormat(
                    ZUL_TEXT("SendSequence",
                             "Unknown escape \"\\%1\" at position %2: use \\r, \\n, \\t, \\\\ or \\xNN."),
                    {Shown(escape), position});
                return false;
            }
        }
    }
    return true;
}

std::string SendBytesToText(const std::vector<uint8_t>& bytes) {
    std::string text;
    for (uint8_t byte : bytes) {
        switch (byte) {
            case '\r':
                text += "\\r";
                break;
            case '\n':
                text += "\\n";
                break;
            case '\t':
                text += "\\t";
                break;
            case '\\':
                text += "\\\\";
                break;
            default:
                if (byte >= 0x20 && byte <= 0x7E) {
                    text += static_cast<char>(byte);
                } else {
                    text += "\\x";
                    text += BytesToHex(&byte, 1);
                }
        }
    }
    return text;
}

int32_t SendLineEndFromName(const std::string& name) {
    if (name == "cr") return leCR;
    if (name == "lf") return leLF;
    if (name == "crlf") return leCRLF;
    return -1;
}

void ZSendList::WriteToIni(ZULIniFile& ini) const {
    const char* section = IniSection;
    ini.EraseSection(section);
    if (Items.empty() && GapMs == 0 && ScriptFile.empty()) return;
    if (GapMs != 0) ini.WriteInteger(section, "SendGapMs", GapMs);
    if (!ScriptFile.empty()) ini.WriteString(section, "ScriptFile", ScriptFile);
    ini.WriteInteger(section, "Count", static_cast<int32_t>(Items.size()));
    for (size_t i = 0; i < Items.size(); ++i) {
        const ZSendSequence& item = Items[i];
        const std::string n = std::to_string(i);
        ini.WriteString(section, "Name_" + n, item.Name);
        ini.WriteString(section, "Data_" + n,
                        BytesToHex(item.Data.data(), static_cast<int>(item.Data.size())));
        ini.WriteInteger(section, "Checksum_" + n, item.Checksum);
        ini.WriteBool(section, "ChecksumLSBFirst_" + n, item.ChecksumLSBFirst);
        ini.WriteInteger(section, "LineEnd_" + n, item.LineEnd);
        ini.WriteInteger(section, "Every_" + n, item.Every);
        if (item.Encode != feNone) ini.WriteInteger(section, "Encode_" + n, item.Encode);
        if (item.ChecksumSkip != ZSendSequence::ProtocolSkip)
            ini.WriteInteger(section, "ChecksumSkip_" + n, item.ChecksumSkip);
        if (item.WaitAnswerMs != 0) ini.WriteInteger(section, "WaitAnswerMs_" + n, item.WaitAnswerMs);
    }
}

void ZSendList::ReadFromIni(const ZULIniFile& ini) {
    const char* section = IniSection;
    Items.clear();
    // A hand-edited count must not make the list take more memory than its keys can fill.
    const int32_t count = std::clamp(ini.ReadInteger(section, "Count", 0), 0, 10000);
    for (int32_t i = 0; i < count; ++i) {
        const std::string n = std::to_string(i);
        ZSendSequence item;
        item.Name = ini.ReadString(section, "Name_" + n, "");
        std::string ignored;
        if (!ParseSendHex(ini.ReadString(section, "Data_" + n, ""), item.Data, ignored) ||
            item.Data.size() > MaxSendBytes)
            item.Data.clear();
        const int32_t checksum = ini.ReadInteger(section, "Checksum_" + n, 0);
        item.Checksum = ZChecksum::IsActive(checksum) ? checksum : 0;
        item.ChecksumLSBFirst =
            ini.ReadBool(section, "ChecksumLSBFirst_" + n, ZSendSequence::DefaultLSBFirst(item.Checksum));
        const int32_t lineEnd = ini.ReadInteger(section, "LineEnd_" + n, leNone);
        item.LineEnd = lineEnd >= leNone && lineEnd <= leCRLF ? lineEnd : leNone;
        const int32_t every = ini.ReadInteger(section, "Every_" + n, 0);
        item.Every = every > 0 && every <= MaxSendEveryMs ? every : 0;
        const int32_t encode = ini.ReadInteger(section, "Encode_" + n, feNone);
        item.Encode = ZFrameCodecFor(encode) != nullptr ? encode : feNone;
        const int32_t skip = ini.ReadInteger(section, "ChecksumSkip_" + n, ZSendSequence::ProtocolSkip);
        item.ChecksumSkip =
            skip >= 0 && static_cast<size_t>(skip) <= MaxSendBytes ? skip : ZSendSequence::ProtocolSkip;
        const int32_t wait = ini.ReadInteger(section, "WaitAnswerMs_" + n, 0);
        item.WaitAnswerMs = wait > 0 && wait <= MaxWaitAnswerMs ? wait : 0;
        Items.push_back(std::move(item));
    }
    const int32_t gap = ini.ReadInteger(section, "SendGapMs", 0);
    GapMs = gap > 0 && gap <= MaxSendGapMs ? gap : 0;
    ScriptFile = ini.ReadString(section, "ScriptFile", "");
}
