#include "ZCliSendCommand.h"

#include <algorithm>
#include <cctype>
#include <thread>

#include "ZChecksum.h"
#include "ZCliCaptureSession.h"
#include "ZLogger.h"
#include "ZULIniFile.h"

namespace {

using Clock = ZCliSender::Clock;

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// An algorithm's number, or its name as `kestrun-cli settings` prints it (in any case).
bool ParseChecksum(const std::string& text, int32_t& algorithm) {
    for (int32_t i = 0; i < ChecksumAlgorithmCount; ++i) {
        if (text == std::to_string(i) || Lower(text) == Lower(ZChecksum::Name(i))) {
            algorithm = i;
            return true;
        }
    }
    return false;
}

std::string ChecksumChoices() {
    std::string choices;
    for (int32_t i = 0; i < ChecksumAlgorithmCount; ++i) {
        choices += (i == 0 ? "" : ", ") + std::to_string(i) + " \"" + ZChecksum::Name(i) + "\"";
    }
    return choices;
}

bool BuildDataSequence(const ZCliSendOptions& options, ZSendSequence& sequence, std::ostream& err) {
    std::string joined;
    for (const std::string& part : options.Data) joined += (joined.empty() ? "" : " ") + part;
    std::string error;
    if (!(options.Text ? ParseSendText(joined, sequence.Data, error)
                       : ParseSendHex(joined, sequence.Data, error))) {
        err << error << '\n';
        return false;
    }
    if (!options.Checksum.empty() && !ParseChecksum(options.Checksum, sequence.Checksum)) {
        err << "Unknown checksum \"" << options.Checksum << "\"; choose one of " << ChecksumChoices()
            << ".\n";
        return false;
    }
    sequence.ChecksumLSBFirst = options.ChecksumOrder.empty()
                                    ? ZSendSequence::DefaultLSBFirst(sequence.Checksum)
                                    : options.ChecksumOrder == "lsb";
    if (!options.LineEnd.empty()) sequence.LineEnd = SendLineEndFromName(options.LineEnd);
    if (!options.Encode.empty()) sequence.Encode = ZFrameEncodingFromName(options.Encode.c_str());
    sequence.Every = options.EveryMs;
    return true;
}

// Waits for the port to let every byte out: what the line needs at its rate, and
// a few seconds for the rest of the way.
bool WaitUntilSent(ZLogger& logger, size_t bytes, const ZCliContext& context) {
    const auto lineTime = std::chrono::milliseconds(static_cast<int64_t>(bytes) * 11 * 1000 /
                                                    std::max<int32_t>(logger.GetBaudrate(), 1));
    const auto deadline = Clock::now() + lineTime + std::chrono::seconds(5);
    while (!logger.SendsDone()) {
        if (Clock::now() >= deadline || context.IsStopRequested()) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

}  // namespace

bool ZCliBuildSends(const ZCliSendOptions& options, std::vector<ZSendSequence>& sequences,
                    std::ostream& err) {
    sequences.clear();
    if (!options.Data.empty()) {
        ZSendSequence sequence;
        if (!BuildDataSequence(options, sequence, err)) return false;
        sequences.push_back(std::move(sequence));
    }
    if (!options.SendFile.empty()) {
        const ZULIniFile ini(options.SendFile);
        ZSendList list;
        list.ReadFromIni(ini);
        if (list.Items.empty()) {
            err << "The settings file \"" << options.SendFile << "\" holds no sequences to send ([_send]).\n";
            return false;
        }
        sequences.insert(sequences.end(), list.Items.begin(), list.Items.end());
    }
    for (const ZSendSequence& sequence : sequences) {
        if (sequence.BuildBytes().size() > MaxSendBytes) {
            err << "The sequence is too long to send: " << sequence.BuildBytes().size() << " bytes (at most "
                << MaxSendBytes << ").\n";
            return false;
        }
    }
    return true;
}

ZCliSender::ZCliSender(std::vector<ZSendSequence> sequences) {
    for (const ZSendSequence& sequence : sequences) {
        Item item;
        item.Bytes = sequence.BuildBytes();
        item.Every = std::chrono::milliseconds(sequence.Every);
        items_.push_back(std::move(item));
    }
}

bool ZCliSender::SendDue(ZSerialCapture& capture, Clock::time_point now, std::ostream& err) {
    const bool first = !started_;
    started_ = true;
    bool ok = true;
    for (Item& item : items_) {
        if (item.Done || (!first && now < item.Due)) continue;
        std::string error;
        // Only repeats may be skipped: the first send of each sequence always goes.
        const ZSendResult result = capture.SendBytes(item.Bytes, !first, error);
        if (result == ZSendResult::Refused) {
            // A lost port refuses every repeat: the user is told once, not every interval.
            if (error != lastError_) err << error << '\n';
            lastError_ = error;
            ok = false;
        } else {
            lastError_.clear();
        }
        if (item.Every.count() <= 0) {
            item.Done = true;
            continue;
        }
        // Due times follow the first send's clock, so the interval holds on average
        // however late a single send was.
        item.Due = first ? now + item.Every : item.Due + item.Every;
        if (item.Due <= now) item.Due = now + item.Every;
    }
    return ok;
}

Clock::time_point ZCliSender::NextDue() const {
    Clock::time_point next = Clock::time_point::max();
    for (const Item& item : items_) {
        if (!item.Done) next = std::min(next, item.Due);
    }
    return next;
}

int ZCliRunSend(const ZCliSendCommandOptions& options, ZCliContext& context) {
    std::vector<ZSendSequence> sequences;
    if (!ZCliBuildSends(options.Send, sequences, context.Err)) return kCliExitUsage;
    if (options.ListenSeconds > 0) {
        ZCliCaptureOptions capture = options.Capture;
        capture.DurationSeconds = options.ListenSeconds;
        capture.Sends = sequences;
        return ZCliRunCapture(capture, context);
    }
    // Without listening nothing is recorded: the port is opened, not a capture started.
    ZCliCaptureSession session(context);
    if (int code = session.Prepare(options.Capture.SettingsFile, options.Capture.OutDir); code != kCliExitOk)
        return code;
    ZLogger& logger = session.Logger();
    ZCliChoosePort(options.Capture, logger);
    const std::string portText = ZCliDescribePort(options.Capture, logger);
    if (!logger.OpenPort()) {
        context.Err << "The COM port could not be opened...\n";
        if (const std::string reason = ZCliOpenFailureReason(options.Capture, logger); !reason.empty())
            context.Err << reason << '\n';
        return kCliExitFailed;
    }
    ZCliSender sender(sequences);
    bool ok = sender.SendDue(logger, Clock::now(), context.Err);
    size_t bytes = 0;
    for (const ZSendSequence& sequence : sequences) bytes += sequence.BuildBytes().size();
    if (ok && !WaitUntilSent(logger, bytes, context)) {
        context.Err << "The bytes did not all leave " << portText << " in time.\n";
        ok = false;
    }
    logger.ClosePort();
    if (!ok) return kCliExitFailed;
    context.Err << "Sent " << bytes << " bytes to " << portText << " at " << logger.GetBaudrate()
                << " baud.\n";
    return kCliExitOk;
}
