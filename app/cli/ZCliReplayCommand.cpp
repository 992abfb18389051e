#include "ZCliReplayCommand.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Funset_strings.h"
#include "ZCliCaptureSession.h"
#include "ZPcapngReader.h"
#include "ZPcapngWriter.h"
#include "ZULFileIO.h"

namespace {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

enum class FeedResult { Complete, ReadFailed, Interrupted };

// Reads in large blocks and hands them on in chunks of the requested size, so that
// chunk boundaries do not depend on how the file happens to be read.
FeedResult FeedFile(std::FILE* file, int chunkSize, ZLogger& logger, const ZCliContext& context) {
    const size_t chunk = static_cast<size_t>(chunkSize);
    const size_t block = std::max<size_t>(1 << 20, chunk);
    std::vector<uint8_t> buffer(block - block % chunk);
    for (;;) {
        if (context.IsStopRequested()) return FeedResult::Interrupted;
        const size_t got = std::fread(buffer.data(), 1, buffer.size(), file);
        for (size_t offset = 0; offset < got; offset += chunk) {
            logger.FeedReplay(buffer.data() + offset, static_cast<int>(std::min(chunk, got - offset)));
        }
        if (got < buffer.size())
            return std::ferror(file) == 0 ? FeedResult::Complete : FeedResult::ReadFailed;
    }
}

// A pipe would block the open until a writer came, and a device or a folder is no
// recording that ends: only a regular file is read. errno is ENODATA for any other,
// and kind says what it is.
std::FILE* OpenRecording(const std::string& fileName, std::string& kind) {
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

// Feeds every packet as one read at its recorded time, and a packet flagged outbound
// as a send; the reader checked the file whole.
FeedResult FeedTimedFile(ZPcapngReader& reader, ZLogger& logger, const ZCliContext& context,
                         std::string& errorText) {
    ZPcapngReader::Packet packet;
    while (reader.Next(packet, errorText)) {
        if (context.IsStopRequested()) return FeedResult::Interrupted;
        // A packet of no bytes is a read that brought none; it changes nothing.
        if (packet.bytes.empty()) continue;
        const auto count = static_cast<int>(packet.bytes.size());
        if ((packet.flags & ZPcapngWriter::FlagDirection) == ZPcapngWriter::FlagOutbound)
            logger.FeedReplaySent(packet.bytes.data(), count, packet.timeUs);
        else
            logger.FeedReplay(packet.bytes.data(), count, packet.timeUs,
                              static_cast<int>(packet.interfaceId));
    }
    return errorText.empty() ? FeedResult::Complete : FeedResult::ReadFailed;
}

// Opens what the replay writes besides the log files, feeds the input through the
// engine, does the stop steps and reports. readFailure tells why a feed that failed
// to read its input did.
int Replay(const ZCliReplayOptions& options, ZCliCaptureSession& session, ZCliContext& context,
           const std::function<FeedResult(ZLogger&)>& feed, const std::function<std::string()>& readFailure) {
    if (int code = session.OpenFrameExport(options.FramesFile); code != kCliExitOk) {
        session.Abandon();
        return code;
    }
    if (int code = session.OpenPcap(options.PcapFile, "replay", options.InputFile); code != kCliExitOk) {
        session.Abandon();
        return code;
    }
    if (int code = session.OpenCsv(options.CsvFile); code != kCliExitOk) {
        session.Abandon();
        return code;
    }
    session.ResetCounters();
    ZLogger& logger = session.Logger();
    logger.BeginReplay();
    const FeedResult fed = feed(logger);
    // The stop steps run whatever happened, so everything fed so far is logged.
    logger.EndReplay();
    const bool framesWritten = session.CloseFrameExport();
    const bool csvWritten = session.CheckCsv();

    ZCliCaptureReport report = session.TakeReport();
    // A recording that holds sends shows them, as the capture that made it did.
    report.ShowSent = report.Counters.Sends > 0;
    session.ReportPcap();
    session.ReportCsv();
    if (options.Json) {
        report.PrintJson(context.Out);
    } else {
        report.PrintSummary(context.Out);
    }
    if (fed == FeedResult::ReadFailed) {
        context.Err << readFailure() << '\n';
        return kCliExitFailed;
    }
    if (fed == FeedResult::Interrupted) {
        context.Err << "Replay interrupted: the input was not fed completely.\n";
        return kCliExitFailed;
    }
    return framesWritten && csvWritten && report.CheckLogFiles(context.Err) ? kCliExitOk : kCliExitFailed;
}

}  // namespace

int ZCliRunReplay(const ZCliReplayOptions& options, ZCliContext& context) {
    ZCliCaptureSession session(context);
    if (int code = session.Prepare(options.SettingsFile, options.OutDir); code != kCliExitOk) return code;

    if (IsTimedRecordingName(options.InputFile)) {
        ZPcapngReader reader;
        std::string errorText;
        if (!reader.Open(options.InputFile, ZPcapngWriter::LinkTypeUser0, errorText)) {
            session.Abandon();
            context.Err << errorText << '\n';
            return kCliExitFailed;
        }
        // A recording of two lines replays as two lines, named as they were.
        const std::vector<std::string>& names = reader.InterfaceNames();
        if (names.size() >= 2) {
            session.Logger().SetSecondLine(true);
            for (int line = 0; line < ZLogger::MaxLines; ++line)
                session.Logger().SetLineName(line, names[line]);
        }
        return Replay(
            options, session, context,
            [&](ZLogger& logger) { return FeedTimedFile(reader, logger, context, errorText); },
            [&] { return errorText; });
    }
    if (session.Settings().CaptureMode == cmSilence) {
        session.Abandon();
        context.Err << "Capture mode 4 (frames separated by silence) needs a timed recording (.pcapng): \""
                    << options.InputFile << "\" holds no time of its reads\n";
        return kCliExitUsage;
    }

    std::string kind;
    FilePtr input(OpenRecording(options.InputFile, kind));
    if (!input) {
        const int error = errno;
        session.Abandon();
        if (error == ENODATA) {
            context.Err << "File could not be read: \"" << options.InputFile << "\": it is " << kind
                        << ", and a recording must be a regular file\n";
            return kCliExitUsage;
        }
        if (error == ENOENT) {
            context.Err << "File not found: \"" << options.InputFile << "\"\n";
            return kCliExitUsage;
        }
        context.Err << "File could not be read: \"" << options.InputFile << "\": " << GetErrorText(error)
                    << '\n';
        return kCliExitFailed;
    }
    int readError = 0;
    return Replay(
        options, session, context,
        [&](ZLogger& logger) {
            const FeedResult fed = FeedFile(input.get(), options.ChunkSize, logger, context);
            readError = errno;
            return fed;
        },
        [&] {
            std::string text = "File could not be read: \"";
            text += options.InputFile;
            text += "\": ";
            return text + GetErrorText(readError);
        });
}
