#include "ZFramePcap.h"

#include <fcntl.h>
#include <stdio.h>

#include "ZFilter.h"
#include "ZPcapngWriter.h"
#include "ZULText.h"

namespace {

constexpr uint16_t PduTagDissectorName = 12;
constexpr uint16_t PduTagEnd = 0;
constexpr size_t MaxProtocolLength = 64;

void PutBigEndian16(std::vector<uint8_t>& out, size_t value) {
    out.push_back(static_cast<uint8_t>(value >> 8));
    out.push_back(static_cast<uint8_t>(value));
}

bool IsProtocolCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
           c == '_' || c == '-';
}

}  // namespace

std::vector<uint8_t> ZExportedPduTags(const std::string& dissector) {
    std::vector<uint8_t> tags;
    tags.reserve(8 + dissector.size());
    PutBigEndian16(tags, PduTagDissectorName);
    PutBigEndian16(tags, dissector.size());
    tags.insert(tags.end(), dissector.begin(), dissector.end());
    PutBigEndian16(tags, PduTagEnd);
    PutBigEndian16(tags, 0);
    return tags;
}

bool ZCheckPcapProtocol(const std::string& dissector, std::string& errorText) {
    bool valid = !dissector.empty() && dissector.size() <= MaxProtocolLength;
    for (char c : dissector) valid = valid && IsProtocolCharacter(c);
    if (valid) return true;
    errorText = ZULFormat(ZUL_TEXT("FramePcap",
                                   "This is not a protocol name Wireshark can decode by: \"%1\" (1 to 64 "
                                   "letters, digits, '.', '_' or '-', e.g. \"mbrtu\")"),
                          {dissector});
    return false;
}

ZFramePcap::ZFramePcap() = default;

ZFramePcap::~ZFramePcap() {
    std::string ignored;
    Close(ignored);
}

bool ZFramePcap::Create(const std::string& path, const std::string& dissector, bool betweenTriggers,
                        const std::string& ifName, const std::string& ifDescription, std::string& errorText) {
    if (!ZCheckPcapProtocol(dissector, errorText)) return false;
    std::lock_guard guard(lock_);
    if (writer_) {
        errorText =
            ZULFormat(ZUL_TEXT("FramePcap", "The Wireshark capture is already open: \"%1\""), {path_});
        return false;
    }
    auto writer = std::make_unique<ZPcapngWriter>();
    if (!writer->Create(path, ZPcapLinkTypeUpperPdu, ifName, ifDescription, errorText)) return false;
    writer_ = std::move(writer);
    path_ = path;
    packets_ = 0;
    betweenTriggers_ = betweenTriggers;
    tags_ = ZExportedPduTags(dissector);
    for (sFrame& frame : frames_) frame = sFrame();
    return true;
}

void ZFramePcap::OnBlock(const sBlock& block) {
    const TDateTime time = block.Time;
    const uint8_t* bytes = block.Bytes;
    const int length = bytes == nullptr || block.Length < 0 ? 0 : block.Length;
    const TFrameVerdict verdict = block.Verdict;
    std::lock_guard guard(lock_);
    if (!writer_) return;
    sFrame& frame = frames_[block.Line == 1 ? 1 : 0];
    frame.Direction = block.Line == 1 ? ZPcapFlagOutbound : ZPcapFlagInbound;
    if (frame.LineName != block.LineName) frame.LineName = block.LineName;
    switch (block.Kind) {
        case bkStartTrigger:
            // A frame that never got its end (a buffer overflow reset the filter) still
            // goes out whole before the next one begins.
            if (frame.Gathering) WriteFrame(frame, nullptr);
            BeginFrame(frame, time);
            Append(frame, bytes, length, verdict);
            // A verdict on a start trigger outside cmBetweenTriggers: a frame without data.
            if (!betweenTriggers_ && verdict != fvNone) WriteFrame(frame, nullptr);
            break;
        case bkData:
        case bkStopTrigger:
            if (!frame.Gathering) BeginFrame(frame, time);
            Append(frame, bytes, length, verdict);
            if (block.Kind == bkStopTrigger || !betweenTriggers_) WriteFrame(frame, nullptr);
            break;
        case bkTrash:
            if (frame.Gathering) WriteFrame(frame, nullptr);
            WritePacket(frame, time, bytes, length, frame.Direction, "trash");
            break;
        case bkSent:
            // The frame being received goes on gathering around what was sent.
            WritePacket(frame, time, bytes, length, ZPcapFlagOutbound, nullptr);
            break;
        default:
            if (!frame.Gathering) BeginFrame(frame, time);
            Append(frame, bytes, length, verdict);
            WriteFrame(frame, "flush");
            break;
    }
    writer_->FlushIfDue();
}

void ZFramePcap::BeginFrame(sFrame& frame, TDateTime time) {
    frame.Data = tags_;
    frame.Time = time;
    frame.Bad = false;
    frame.Gathering = true;
}

void ZFramePcap::Append(sFrame& frame, const uint8_t* bytes, int length, TFrameVerdict verdict) {
    frame.Data.insert(frame.Data.end(), bytes, bytes + length);
    frame.Bad = frame.Bad || verdict == fvBad;
}

std::string ZFramePcap::Comment(const sFrame& frame, const char* comment) {
    std::string text = frame.LineName;
    if (comment == nullptr) return text;
    if (!text.empty()) text += ": ";
    text += comment;
    return text;
}

void ZFramePcap::WriteFrame(sFrame& frame, const char* comment) {
    frame.Gathering = false;
    uint32_t flags = frame.Direction;
    if (frame.Bad) {
        flags |= ZPcapFlagCrcError;
        if (comment == nullptr) comment = "checksum wrong";
    }
    ZPcapngWriter::Packet packet;
    packet.timeUs = ZULToUnixMicros(frame.Time);
    packet.bytes = frame.Data.data();
    packet.length = static_cast<uint32_t>(frame.Data.size());
    packet.flags = flags;
    packet.comment = Comment(frame, comment);
    if (writer_->Write(packet)) packets_ += 1;
    frame.Bad = false;
}

void ZFramePcap::WritePacket(const sFrame& frame, TDateTime time, const uint8_t* bytes, int length,
                             uint32_t flags, const char* comment) {
    single_ = tags_;
    single_.insert(single_.end(), bytes, bytes + length);
    ZPcapngWriter::Packet packet;
    packet.timeUs = ZULToUnixMicros(time);
    packet.bytes = single_.data();
    packet.length = static_cast<uint32_t>(single_.size());
    packet.flags = flags;
    packet.comment = Comment(frame, comment);
    if (writer_->Write(packet)) packets_ += 1;
}

void ZFramePcap::Finish() {
    std::lock_guard guard(lock_);
    if (!writer_) return;
    for (sFrame& frame : frames_)
        if (frame.Gathering) WriteFrame(frame, nullptr);
}

void ZFramePcap::FlushIfDue() {
    std::lock_guard guard(lock_);
    if (writer_) writer_->FlushIfDue();
}

bool ZFramePcap::Close(std::string& errorText) {
    Finish();
    std::lock_guard guard(lock_);
    if (!writer_) return true;
    const bool closed = writer_->Close(errorText);
    writer_.reset();
    return closed;
}

bool ZFramePcap::MoveTo(const std::string& newPath) {
    std::lock_guard guard(lock_);
    if (path_.empty()) return false;
    if (renameat2(AT_FDCWD, path_.c_str(), AT_FDCWD, newPath.c_str(), RENAME_NOREPLACE) != 0) return false;
    path_ = newPath;
    return true;
}

bool ZFramePcap::IsOpen() const {
    std::lock_guard guard(lock_);
    return writer_ != nullptr;
}

std::string ZFramePcap::Path() const {
    std::lock_guard guard(lock_);
    return path_;
}

uint64_t ZFramePcap::PacketsWritten() const {
    std::lock_guard guard(lock_);
    return packets_;
}
