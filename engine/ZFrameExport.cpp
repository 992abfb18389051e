#include "ZFrameExport.h"

#include "ZFieldText.h"
#include "ZFieldValues.h"
#include "ZULText.h"

namespace {

const char* KindName(uint8_t kind) {
    switch (kind) {
        case bkStartTrigger:
            return "start";
        case bkData:
            return "data";
        case bkStopTrigger:
            return "stop";
        case bkTrash:
            return "trash";
        case bkSent:
            return "sent";
        default:
            return "flush";
    }
}

const char* VerdictText(TFrameVerdict verdict) {
    switch (verdict) {
        case fvGood:
            return "\"good\"";
        case fvBad:
            return "\"bad\"";
        default:
            return "null";
    }
}

std::string FormatTime(TDateTime time) {
    return ZULFormatIsoMicros(ZULToUnixMicros(time));
}

// A data block whose checksum was wrong was not decoded.
void AppendFields(std::string& line, const sBlock& block) {
    line += ", \"fields\": ";
    if (block.Values != nullptr) {
        ZAppendFieldsJson(line, *block.Values);
    } else {
        line += block.Verdict == fvBad ? "null" : "{}";
    }
}

}  // namespace

ZFrameExport::ZFrameExport() : file_(ZULFormat(ZUL_TEXT("TextFile", "frame file"))) {}

ZFrameExport::~ZFrameExport() = default;

bool ZFrameExport::Create(const std::string& fileName, std::string& errorText) {
    return file_.Create(fileName, errorText);
}

std::string ZFrameExport::FormatLine(const sBlock& block, bool withFields) {
    static constexpr char Digits[] = "0123456789ABCDEF";
    const uint8_t* bytes = block.Bytes;
    const int length = bytes == nullptr || block.Length < 0 ? 0 : block.Length;
    const std::span<const uint32_t> triggerCounts = block.TriggerCounts;
    std::string line;
    line.reserve(160 + 2 * static_cast<size_t>(length) + 12 * triggerCounts.size());
    line += "{\"time\": \"";
    line += FormatTime(block.Time);
    line += '"';
    if (block.Line >= 0) {
        line += ", \"line\": ";
        line += std::to_string(block.Line);
    }
    line += ", \"kind\": \"";
    line += KindName(block.Kind);
    line += "\", \"length\": ";
    line += std::to_string(length);
    if (block.EncodedLength > 0) {
        line += ", \"encoded_length\": ";
        line += std::to_string(block.EncodedLength);
    }
    line += ", \"hex\": \"";
    for (int i = 0; i < length; ++i) {
        line += Digits[bytes[i] >> 4];
        line += Digits[bytes[i] & 0x0F];
    }
    line += "\", \"checksum\": ";
    line += VerdictText(block.Verdict);
    line += ", \"data_triggers\": [";
    for (size_t i = 0; i < triggerCounts.size(); ++i) {
        if (i > 0) line += ", ";
        line += std::to_string(triggerCounts[i]);
    }
    line += ']';
    if (withFields && block.Kind == bkData) AppendFields(line, block);
    line += '}';
    return line;
}

void ZFrameExport::OnBlock(const sBlock& block) {
    std::string line = FormatLine(block, withFields_);
    line += '\n';
    file_.Append(line);
}

void ZFrameExport::FlushIfDue() {
    file_.FlushIfDue();
}

bool ZFrameExport::Close(std::string& errorText) {
    return file_.Close(errorText);
}
