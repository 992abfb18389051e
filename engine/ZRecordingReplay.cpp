#include "ZRecordingReplay.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

#include "Funset_strings.h"
#include "ZLogger.h"
#include "ZPcapngWriter.h"
#include "ZULDateTime.h"
#include "ZULFileIO.h"
#include "ZULText.h"

namespace {

// A paced replay waits in slices this long, so that a stop is heard at once.
constexpr int64_t PaceSliceUs = 50'000;

// A pipe would block the open until a writer came, and a device or a folder is no
// recording that ends: only a regular file is read. errno is ENODATA for any other,
// and kind says what it is.
std::FILE* OpenRegularFile(const std::string& fileName, std::string& kind) {
    const int fd = ::open(fileName.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return nullptr;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        kind = ZULFileKindText(info.st_mode);
        ::close(fd);
        errno = ENODATA;
        return nullptr;
    }
    std::FILE* file = ::fdopen(fd, "rb");
    if (file == nullptr) ::close(fd);
    return file;
}

std::string UnreadableText(const std::string& fileName, const std::string& why) {
    return ZULFormat(ZUL_TEXT("RecordingReplay", "File could not be read: \"%1\": %2"), {fileName, why});
}

}  // namespace

bool IsTimedRecordingName(const std::string& path) {
    const std::string suffix = ".pcapng";
    return path.size() > suffix.size() &&
           path.compare(path.size() - suffix.size(), suffix.size(), suffix) == 0;
}

void ZRecordingReplay::FileCloser::operator()(std::FILE* file) const {
    std::fclose(file);
}

ZRecordingReplay::ZRecordingReplay() = default;
ZRecordingReplay::~ZRecordingReplay() = default;

bool ZRecordingReplay::Open(const std::string& fileName, uint8_t captureMode, std::string& errorText,
                            Refusal& why) {
    fileName_ = fileName;
    timed_ = IsTimedRecordingName(fileName);
    why = Refusal::Unreadable;
    if (timed_) return reader_.Open(fileName, ZPcapngWriter::LinkTypeUser0, errorText);
    if (captureMode == cmSilence) {
        why = Refusal::Usage;
        errorText = ZULFormat(ZUL_TEXT("RecordingReplay",
                                       "Capture mode 4 (frames separated by silence) needs a "
                                       "timed recording (.pcapng): \"%1\" holds no time of its reads"),
                              {fileName});
        return false;
    }
    std::string kind;
    file_.reset(OpenRegularFile(fileName, kind));
    if (file_) {
        why = Refusal::None;
        return true;
    }
    const int error = errno;
    if (error == ENODATA) {
        why = Refusal::Usage;
        errorText = ZULFormat(
            ZUL_TEXT("RecordingReplay",
                     "File could not be read: \"%1\": it is %2, and a recording must be a regular file"),
            {fileName, kind});
    } else if (error == ENOENT) {
        why = Refusal::Usage;
        errorText = ZULFormat(ZUL_TEXT("RecordingReplay", "File not found: \"%1\""), {fileName});
    } else {
        errorText = UnreadableText(fileName, GetErrorText(error));
    }
    return false;
}

ZRecordingReplay::Result ZRecordingReplay::Feed(ZLogger& logger, int chunkSize,
                                                const std::function<bool()>& stopRequested,
                                                bool recordedSpeed) {
    readFailure_.clear();
    return timed_ ? FeedTimed(logger, stopRequested, recordedSpeed)
                  : FeedUntimed(logger, chunkSize, stopRequested);
}

// Reads in large blocks and hands them on in chunks of the requested size, so that
// chunk boundaries do not depend on how the file happens to be read.
ZRecordingReplay::Result ZRecordingReplay::FeedUntimed(ZLogger& logger, int chunkSize,
                                                       const std::function<bool()>& stopRequested) {
    const size_t chunk = static_cast<size_t>(std::max(chunkSize, 1));
    const size_t block = std::max<size_t>(1 << 20, chunk);
    std::vector<uint8_t> buffer(block - block % chunk);
    for (;;) {
        if (stopRequested()) return Result::Interrupted;
        const size_t got = std::fread(buffer.data(), 1, buffer.size(), file_.get());
        for (size_t offset = 0; offset < got; offset += chunk)
            logger.FeedReplay(buffer.data() + offset, static_cast<int>(std::min(chunk, got - offset)));
        if (got == buffer.size()) continue;
        if (std::ferror(file_.get()) == 0) return Result::Complete;
        readFailure_ = UnreadableText(fileName_, GetErrorText(errno));
        return Result::ReadFailed;
    }
}

// Feeds every packet as one read at its recorded time, and a packet flagged outbound
// as a send; the reader checked the file whole.
ZRecordingReplay::Result ZRecordingReplay::FeedTimed(ZLogger& logger,
                                                     const std::function<bool()>& stopRequested,
                                                     bool recordedSpeed) {
    ZPcapngReader::Packet packet;
    int64_t firstPacketUs = 0;
    int64_t startedUs = 0;
    while (reader_.Next(packet, readFailure_)) {
        if (stopRequested()) return Result::Interrupted;
        // A packet of no bytes is a read that brought none; it changes nothing.
        if (packet.bytes.empty()) continue;
        if (recordedSpeed && packet.timeUs != 0) {
            if (firstPacketUs == 0) {
                firstPacketUs = packet.timeUs;
                startedUs = ZULNowMicros();
            }
            for (;;) {
                const int64_t dueInUs = (packet.timeUs - firstPacketUs) - (ZULNowMicros() - startedUs);
                if (dueInUs <= 0) break;
                if (stopRequested()) return Result::Interrupted;
                std::this_thread::sleep_for(std::chrono::microseconds(std::min(dueInUs, PaceSliceUs)));
            }
        }
        const auto count = static_cast<int>(packet.bytes.size());
        if ((packet.flags & ZPcapngWriter::FlagDirection) == ZPcapngWriter::FlagOutbound)
            logger.FeedReplaySent(packet.bytes.data(), count, packet.timeUs);
        else
            logger.FeedReplay(packet.bytes.data(), count, packet.timeUs,
                              static_cast<int>(packet.interfaceId));
    }
    return readFailure_.empty() ? Result::Complete : Result::ReadFailed;
}

const std::vector<std::string>& ZRecordingReplay::LineNames() const {
    static const std::vector<std::string> none;
    return timed_ ? reader_.InterfaceNames() : none;
}
