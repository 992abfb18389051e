#include "ZCliSettingsCommand.h"

#include <algorithm>
#include <iomanip>
#include <sstream>

#include "ZChecksum.h"
#include "ZCliCaptureReport.h"
#include "ZLogger.h"
#include "ZULIniFile.h"

namespace {

using Json = nlohmann::ordered_json;

Json TriggerJson(const TTriggerSequence& trigger) {
    return Json(trigger);
}

Json DataTriggersJson(const ZDataTriggers& triggers) {
    Json list = Json::array();
    TTriggerSequence values;
    for (int i = 0; i < triggers.GetCount(); ++i) {
        triggers.Get(i, values);
        list.push_back(TriggerJson(values));
    }
    return list;
}

Json PortJson(const ZCliDecodedSettings& decoded) {
    const TSerialConfig& c = decoded.Port;
    Json port;
    port["valid"] = decoded.StoredTextValid;
    port["COMPort"] = c.COMPort;
    port["NetworkPort"] = decoded.NetworkPort;
    port["Baudrate"] = static_cast<int>(c.Baudrate);
    port["CustomBaudrate"] = decoded.CustomBaudrate;
    port["DataBits"] = static_cast<int>(c.DataBits);
    port["ParityBit"] = static_cast<int>(c.ParityBit);
    port["StopBits"] = static_cast<int>(c.StopBits);
    port["BufSizeTrm"] = c.BufSizeTrm;
    port["BufSizeRec"] = c.BufSizeRec;
    port["HandshakeRtsCts"] = c.HandshakeRtsCts;
    port["HandshakeDtrDsr"] = c.HandshakeDtrDsr;
    port["HandshakeXOnXOff"] = c.HandshakeXOnXOff;
    port["RTSActive"] = c.RTSActive;
    port["DTRActive"] = c.DTRActive;
    port["XOnChar"] = static_cast<int>(c.XOnChar);
    port["XOffChar"] = static_cast<int>(c.XOffChar);
    port["XOffLimit"] = c.XOffLimit;
    port["XOnLimit"] = c.XOnLimit;
    port["ErrorChar"] = static_cast<int>(c.ErrorChar);
    port["EofChar"] = static_cast<int>(c.EofChar);
    port["EventChar"] = static_cast<int>(c.EventChar);
    port["ContinueOnXOff"] = c.ContinueOnXOff;
    port["UseErrorChar"] = c.UseErrorChar;
    port["EliminateNullChar"] = c.EliminateNullChar;
    port["AbortOnError"] = c.AbortOnError;
    port["RecTimeOut"] = c.RecTimeOut;
    port["TrmTimeOut"] = c.TrmTimeOut;
    return port;
}

Json LoggerJson(const ZLoggerSettings& s) {
    Json logger;
    logger["LogDir"] = s.LogDir;
    logger["TriggerStart"] = TriggerJson(s.TriggerStart);
    logger["TriggerStop"] = TriggerJson(s.TriggerStop);
    logger["CaptureMode"] = static_cast<int>(s.CaptureMode);
    logger["AddTimeStamp"] = s.AddTimeStamp;
    logger["MaxBytesInLogLine"] = s.MaxBytesInLogLine;
    logger["MaxLinesInLogFile"] = s.MaxLinesInLogFile;
    logger["ShowHexOutput"] = s.ShowHexOutput;
    logger["ShowASCIIOutput"] = s.ShowASCIIOutput;
    logger["SeparateHexAndASCII"] = s.SeparateHexAndASCII;
    logger["LogStartTrigger"] = s.LogStartTrigger;
    logger["LogStopTrigger"] = s.LogStopTrigger;
    logger["LogDataField"] = s.LogDataField;
    logger["LogAmountOfTrashedBytes"] = s.LogAmountOfTrashedBytes;
    logger["MaxBytesWithinTriggers"] = s.MaxBytesWithinTriggers;
    logger["BytesAfterTrigger"] = s.BytesAfterTrigger;
    logger["StartAmountOfBytes"] = s.StartAmountOfBytes;
    logger["AmountOfBytesWidth"] = s.AmountOfBytesWidth;
    logger["AmountOfBytesMSBFirst"] = s.AmountOfBytesMSBFirst;
    logger["Reconnect"] = s.Reconnect;
    logger["RawRecording"] = s.RawRecording;
    return logger;
}

Json FramesJson(const ZFrameSettings& f) {
    Json frames;
    frames["ChecksumAlgorithm"] = f.ChecksumAlgorithm;
    frames["ChecksumSkipStart"] = f.ChecksumSkipStart;
    frames["ChecksumGap"] = f.ChecksumGap;
    frames["ChecksumSkipEnd"] = f.ChecksumSkipEnd;
    frames["ChecksumMSBFirst"] = f.ChecksumMSBFirst;
    frames["DropBadFrames"] = f.DropBadFrames;
    frames["LengthAdjust"] = f.LengthAdjust;
    frames["PreciseTime"] = f.PreciseTime;
    frames["SilenceGap"] = f.SilenceGap;
    frames["SilenceGapMs"] = f.SilenceGapMs;
    frames["RawRecordingTimed"] = f.RawRecordingTimed;
    frames["PcapRecording"] = f.PcapRecording;
    frames["PcapProtocol"] = f.PcapProtocol;
    return frames;
}

Json SendJson(const ZSendList& list) {
    Json sequences = Json::array();
    for (const ZSendSequence& s : list.Items) {
        Json item;
        item["Name"] = s.Name;
        item["Data"] = BytesToHex(s.Data.data(), static_cast<int>(s.Data.size()));
        item["Checksum"] = s.Checksum;
        item["ChecksumLSBFirst"] = s.ChecksumLSBFirst;
        item["LineEnd"] = s.LineEnd;
        item["Every"] = s.Every;
        item["Encode"] = s.Encode;
        sequences.push_back(std::move(item));
    }
    return sequences;
}

// Hex pairs as the trigger editor shows them: "??" for any byte, other elements by
// their low 8 bits (the bits that match), followed by the readable characters.
std::string TriggerText(const TTriggerSequence& trigger) {
    if (trigger.empty()) return "(none)";
    std::ostringstream text;
    std::string ascii;
    for (size_t i = 0; i < trigger.size(); ++i) {
        if (i > 0) text << ' ';
        if (trigger[i] == AnyByte) {
            text << "??";
            ascii += '.';
            continue;
        }
        const auto byte = static_cast<uint8_t>(trigger[i] & 0xFF);
        text << std::uppercase << std::hex << std::setw(2) << std::setfill('0') << static_cast<int>(byte);
        ascii += BytesToAscii(&byte, 1);
    }
    text << "  \"" << ascii << '"';
    return text.str();
}

const char* CaptureModeCaption(uint8_t mode) {
    switch (mode) {
        case cmAllBytes:
            return "Capture all bytes received";
        case cmFixedSize:
            return "Use only start trigger (fixed size)";
        case cmDynamicSize:
            return "Use only start trigger (dynamic size)";
        case cmBetweenTriggers:
            return "Capture between start an stop triggers";
        case cmSilence:
            return "Frames separated by silence";
        case cmUntilStopTrigger:
            return "Frames ending with the stop trigger";
        case cmSlip:
            return "SLIP frames";
        case cmCobs:
            return "COBS frames";
        default:
            return "unknown, captures as \"Capture all bytes received\"";
    }
}

const char* YesNo(bool value) {
    return value ? "yes" : "no";
}

void PrintPort(std::ostream& out, const ZCliDecodedSettings& decoded) {
    const TSerialConfig& c = decoded.Port;
    out << "Port"
        << (decoded.StoredTextValid ? "" : " (the stored port text was not accepted: port defaults kept)")
        << '\n'
        << "  COM port:            " << c.COMPort << (c.COMPort == 0 ? " (none present)" : "") << '\n';
    if (!decoded.NetworkPort.empty()) out << "  Network port:        " << decoded.NetworkPort << '\n';
    out << "  Baud rate:           "
        << (decoded.CustomBaudrate > 0 ? std::to_string(decoded.CustomBaudrate) + " (typed)"
                                       : std::to_string(Baudrates[c.Baudrate]))
        << '\n'
        << "  Data bits:           " << static_cast<int>(c.DataBits) + 4 << '\n'
        << "  Parity:              " << ParityNames[c.ParityBit] << '\n'
        << "  Stop bits:           " << StopbitsNames[c.StopBits] << '\n'
        << "  Buffers (trm/rec):   " << c.BufSizeTrm << " / " << c.BufSizeRec << '\n'
        << "  RTS/CTS handshake:   " << YesNo(c.HandshakeRtsCts) << '\n'
        << "  DTR/DSR handshake:   " << YesNo(c.HandshakeDtrDsr) << '\n'
        << "  XOn/XOff handshake:  " << YesNo(c.HandshakeXOnXOff) << '\n'
        << "  RTS / DTR active:    " << YesNo(c.RTSActive) << " / " << YesNo(c.DTRActive) << '\n'
        << "  XOn / XOff char:     " << static_cast<int>(c.XOnChar) << " / " << static_cast<int>(c.XOffChar)
        << '\n'
        << "  XOff / XOn limit:    " << c.XOffLimit << " / " << c.XOnLimit << '\n'
        << "  Error / EOF / event: " << static_cast<int>(c.ErrorChar) << " / " << static_cast<int>(c.EofChar)
        << " / " << static_cast<int>(c.EventChar) << '\n'
        << "  Continue on XOff:    " << YesNo(c.ContinueOnXOff) << '\n'
        << "  Use error char:      " << YesNo(c.UseErrorChar) << '\n'
        << "  Eliminate NUL:       " << YesNo(c.EliminateNullChar) << '\n'
        << "  Abort on error:      " << YesNo(c.AbortOnError) << '\n'
        << "  Time-outs rec/trm:   " << c.RecTimeOut << " / " << c.TrmTimeOut << " ms\n";
}

void PrintLogger(std::ostream& out, const ZLoggerSettings& s) {
    out << "Capture\n"
        << "  Log directory:       " << s.LogDir << '\n'
        << "  Capture mode:        " << static_cast<int>(s.CaptureMode) << ", "
        << CaptureModeCaption(s.CaptureMode) << '\n'
        << "  Start trigger:       " << TriggerText(s.TriggerStart) << '\n'
        << "  Stop trigger:        " << TriggerText(s.TriggerStop) << '\n'
        << "  Bytes after trigger: " << s.BytesAfterTrigger << '\n'
        << "  Length field:        byte " << s.StartAmountOfBytes << ", " << s.AmountOfBytesWidth << " wide, "
        << (s.AmountOfBytesMSBFirst ? "MSB" : "LSB") << " first\n"
        << "  Bytes per log line:  " << s.MaxBytesInLogLine << '\n'
        << "  Lines per log file:  " << s.MaxLinesInLogFile << '\n'
        << "  HEX / ASCII output:  " << YesNo(s.ShowHexOutput) << " / " << YesNo(s.ShowASCIIOutput) << '\n'
        << "  Log start trigger:   " << YesNo(s.LogStartTrigger) << '\n'
        << "  Log stop trigger:    " << YesNo(s.LogStopTrigger) << '\n'
        << "  Log data field:      " << YesNo(s.LogDataField) << '\n'
        << "  Add time stamp:      " << YesNo(s.AddTimeStamp) << '\n'
        << "  Separate HEX/ASCII:  " << YesNo(s.SeparateHexAndASCII) << '\n'
        << "  Log trashed bytes:   " << YesNo(s.LogAmountOfTrashedBytes) << '\n'
        << "  Max bytes in frame:  " << s.MaxBytesWithinTriggers << '\n'
        << "  Reconnect:           " << YesNo(s.Reconnect) << '\n'
        << "  Raw recording:       " << YesNo(s.RawRecording) << '\n';
}

void PrintFrames(std::ostream& out, const ZFrameSettings& f) {
    out << "Frames\n"
        << "  Checksum:            " << f.ChecksumAlgorithm << ", " << ZChecksum::Name(f.ChecksumAlgorithm)
        << '\n'
        << "  Checksum skip start: " << f.ChecksumSkipStart << '\n'
        << "  Checksum gap:        " << f.ChecksumGap << '\n'
        << "  Checksum skip end:   " << f.ChecksumSkipEnd << '\n'
        << "  Checksum MSB first:  " << YesNo(f.ChecksumMSBFirst) << '\n'
        << "  Drop bad frames:     " << YesNo(f.DropBadFrames) << '\n'
        << "  Length adjust:       " << f.LengthAdjust << '\n'
        << "  Precise time:        " << YesNo(f.PreciseTime) << '\n'
        << "  Silence gap:         " << f.SilenceGap << " tenths of a character, " << f.SilenceGapMs
        << " ms\n"
        << "  Timed raw recording: " << YesNo(f.RawRecordingTimed) << '\n'
        << "  Wireshark capture:   " << YesNo(f.PcapRecording) << ", protocol " << f.PcapProtocol << '\n';
}

void PrintSendList(std::ostream& out, const ZSendList& list) {
    out << "Send sequences: " << list.Items.size() << '\n';
    for (size_t i = 0; i < list.Items.size(); ++i) {
        const ZSendSequence& s = list.Items[i];
        out << "  " << i << ": " << s.Name << ": "
            << BytesToHex(s.Data.data(), static_cast<int>(s.Data.size())) << ", checksum " << s.Checksum
            << ", line end " << s.LineEnd << ", encode " << ZFrameEncodingName(s.Encode) << ", every "
            << s.Every << " ms\n";
    }
}

void PrintDataTriggers(std::ostream& out, const ZDataTriggers& triggers) {
    out << "Data triggers: " << triggers.GetCount() << '\n';
    TTriggerSequence values;
    for (int i = 0; i < triggers.GetCount(); ++i) {
        triggers.Get(i, values);
        out << "  " << i << ": " << TriggerText(values) << '\n';
    }
}

}  // namespace

Json ZCliDecodedSettings::ToJson() const {
    Json json;
    json["port"] = PortJson(*this);
    json["logger"] = LoggerJson(Logger);
    json["data_triggers"] = DataTriggersJson(Logger.DataTriggers);
    json["frames"] = FramesJson(Logger.Frames);
    json["send"] = SendJson(Logger.Send);
    return json;
}

void ZCliDecodedSettings::PrintListing(std::ostream& out) const {
    PrintPort(out, *this);
    PrintLogger(out, Logger);
    PrintFrames(out, Logger.Frames);
    PrintDataTriggers(out, Logger.DataTriggers);
    PrintSendList(out, Logger.Send);
}

int ZCliRunSettings(const ZCliSettingsOptions& options, ZCliContext& context) {
    ZLogger logger{ZLoggerSettings()};
    std::string errorText;
    if (!logger.LoadSettings(options.SettingsFile, errorText)) {
        context.Err << errorText << '\n';
        return kCliExitUsage;
    }
    ZCliDecodedSettings decoded;
    decoded.Port = logger.GetPort().GetConfig();
    const ZULIniFile ini(options.SettingsFile);
    const std::string storedText = ini.ReadString(ZSerialCapture::IniSection, ZSerialCapture::IniKey, "");
    decoded.StoredTextValid = logger.GetPort().StrToConfig(storedText).Valid;
    decoded.CustomBaudrate = static_cast<uint32_t>(std::max(logger.GetPort().GetCustomRate(), 0));
    decoded.NetworkPort = logger.GetNetworkPort();
    logger.GetSettings(decoded.Logger);

    if (options.Json) {
        context.Out << ZCliJsonText(decoded.ToJson()) << '\n';
    } else {
        context.Out << "Settings file " << options.SettingsFile << "\n\n";
        decoded.PrintListing(context.Out);
    }
    return kCliExitOk;
}
