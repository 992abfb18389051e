#pragma once
// The capture settings record: log directory, triggers, capture mode with its size
// parameters, log layout switches, the data trigger list and the frame checks. Stored
// in the INI section "_logger_settings" ("_data_triggers" for the list, "_frames" for
// the frame checks, "_fields" for the fields decoded from data blocks).

#include <cstdint>
#include <string>

#include "TriggerSequence.h"
#include "ZDataTriggers.h"
#include "ZFrameCodec.h"
#include "ZFieldList.h"
#include "ZFrameSettings.h"
#include "ZViewSettings.h"
#include "ZSendSequence.h"

class ZULIniFile;

// Stored values of ZLoggerSettings::CaptureMode (not the radio group's item order).
enum TCaptureMode : uint8_t {
    cmAllBytes = 0,
    cmFixedSize = 1,
    cmDynamicSize = 2,
    cmBetweenTriggers = 3,
    // Frames end at a silence on the line (ZFrameSettings::SilenceGap); no triggers.
    cmSilence = 4,
    // Every byte after a frame's end belongs to the next frame, which the stop trigger
    // ends (lines, for example); no start trigger.
    cmUntilStopTrigger = 5,
    // SLIP and COBS frames, handed out decoded (see ZSlipCodec, ZCobsCodec).
    cmSlip = 6,
    cmCobs = 7,
};

// The last stored value a capture knows; a capture runs any other as cmAllBytes.
constexpr uint8_t cmLastKnown = cmCobs;
// Whether a stop trigger ends the frames of the mode (and so has to be set).
constexpr bool ZStopTriggerEndsFrame(uint8_t mode) {
    return mode == cmBetweenTriggers || mode == cmUntilStopTrigger;
}
// The codec of a mode whose frames are decoded; null for every other mode.
const IZFrameCodec* ZFrameCodecOfMode(uint8_t mode);

class ZLoggerSettings {
public:
    static constexpr const char* IniSection = "_logger_settings";

    ZLoggerSettings() { SetDefaults(); }

    // Every field but DataTriggers back to its default; both triggers empty.
    void SetDefaults();
    // Deep copy; assigning a record to itself changes nothing.
    void Assign(const ZLoggerSettings& other);
    void SetTriggerStart(const int32_t* elements, int count);
    void SetTriggerStop(const int32_t* elements, int count);

    // Reconnect, RawRecording and ProxyLink are written only when set, so a file saved
    // with them off is the file saved before they existed.
    void WriteToIni(ZULIniFile& ini) const;
    // Reads in place: a missing or non-integer key keeps the value held before,
    // except the triggers, which are replaced (empty when their size key is missing),
    // and Reconnect, RawRecording and ProxyLink, which are off when their key is missing.
    // A "LogDir" that CheckLogDir refuses keeps the folder held before.
    void ReadFromIni(const ZULIniFile& ini);
    // False, with a text for the user naming the file, when the profile's settings
    // cannot be used as they stand: a "LogDir" that CheckLogDir refuses, frame settings
    // that ZFrameSettings::CheckIni refuses, fields that ZFieldList::CheckIni refuses.
    static bool CheckIni(const ZULIniFile& ini, std::string& errorText);
    // False, with a text for the user, for a folder name holding a control character
    // (NUL included): no file system folder is named so, and a NUL would cut every
    // log file name built from it at the same place.
    static bool CheckLogDir(const std::string& logDir, std::string& errorText);

    // False, with the text the user reads, when the capture mode lacks a trigger it
    // needs (modes 1 to 3 a start trigger; modes 3 and 5 a stop trigger) or cannot
    // check the checksum that is set (ZFrameSettings::CheckCaptureMode).
    bool CheckTriggers(std::string& errorText) const;

    bool operator==(const ZLoggerSettings& other) const = default;

    // Reads are stamped to the microsecond: asked for, or implied by capture mode 4.
    bool UsesPreciseTime() const { return Frames.PreciseTime || CaptureMode == cmSilence; }

    ZDataTriggers DataTriggers;
    std::string LogDir;  // with its trailing '/'
    TTriggerSequence TriggerStart;
    TTriggerSequence TriggerStop;
    uint8_t CaptureMode = cmAllBytes;
    bool AddTimeStamp = true;
    int32_t MaxBytesInLogLine = 32;
    int32_t MaxLinesInLogFile = 500;
    bool ShowHexOutput = true;
    bool ShowASCIIOutput = true;
    bool SeparateHexAndASCII = false;
    bool LogStartTrigger = true;
    bool LogStopTrigger = true;
    bool LogDataField = true;
    bool LogAmountOfTrashedBytes = true;
    int32_t MaxBytesWithinTriggers = -1;
    int32_t BytesAfterTrigger = 0;
    int32_t StartAmountOfBytes = 0;
    int32_t AmountOfBytesWidth = 1;
    bool AmountOfBytesMSBFirst = true;
    ZFrameSettings Frames;
    ZViewSettings View;  // the capture window's
    // The sequences the user sends to the device ("[_send]").
    ZSendList Send;
    // A lost port is waited for and reopened (see ZSerialCapture::SetReconnect).
    bool Reconnect = false;
    // Every byte read is also recorded, beside the log files, as "<first log file's
    // name>.bin" (see ZLogger::StartCapture).
    bool RawRecording = false;
    // The fields decoded from every data block ("[_fields]").
    ZFieldList Fields;
    // Where the window program serves the port to a program (a proxy, whose second line
    // is the program's side; see ZProxyProgramSide): the symbolic link it makes at each
    // start. "" for none. Stored beside the second line, as "ProxyLink" in
    // "[_serial_capture2]", and only when set.
    std::string ProxyLink;
    static constexpr const char* ProxyLinkSection = "_serial_capture2";
    static constexpr const char* ProxyLinkKey = "ProxyLink";
};

// The default log directory: "std_log_out/" in the application directory.
std::string DefaultLogDir();
