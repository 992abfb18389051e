#include "ZLoggerSettings.h"

#include <cstdio>
#include <utility>

#include "Funset_strings.h"
#include "ZFilter.h"
#include "ZULAppDir.h"
#include "ZULIniFile.h"
#include "ZULText.h"

namespace {

// A trigger longer than the filter's buffer can never be matched, so a size beyond
// that only needs to stay longer than the buffer. Reading the size as stored would
// let one edited key ask for gigabytes.
constexpr int32_t MaxReadTriggerSize = ZFilter::FilterBufferSize + 1;

void WriteTrigger(ZULIniFile& ini, const std::string& sizeKey, const std::string& elementKey,
                  const TTriggerSequence& trigger) {
    const char* section = ZLoggerSettings::IniSection;
    ini.WriteInteger(section, sizeKey, static_cast<int32_t>(trigger.size()));
    for (size_t i = 0; i < trigger.size(); ++i)
        ini.WriteInteger(section, elementKey + std::to_string(i), trigger[i]);
}

TTriggerSequence ReadTrigger(const ZULIniFile& ini, const std::string& sizeKey,
                             const std::string& elementKey) {
    const char* section = ZLoggerSettings::IniSection;
    const int32_t size = ini.ReadInteger(section, sizeKey, 0);
    TTriggerSequence trigger;
    if (size <= 0) return trigger;
    trigger.resize(static_cast<size_t>(size < MaxReadTriggerSize ? size : MaxReadTriggerSize));
    for (size_t i = 0; i < trigger.size(); ++i)
        trigger[i] = ini.ReadInteger(section, elementKey + std::to_string(i), AnyByte);
    return trigger;
}

std::string WithoutFolder(const std::string& fileName) {
    const size_t slash = fileName.rfind('/');
    return slash == std::string::npos ? fileName : fileName.substr(slash + 1);
}

}  // namespace

bool ZLoggerSettings::CheckLogDir(const std::string& logDir, std::string& errorText) {
    for (size_t at = 0; at < logDir.size();) {
        const size_t start = at;
        char32_t c = 0;
        const bool valid = ZULNextCharacter(logDir, at, c);
        if (valid && !ZULIsControlCharacter(c)) continue;
        char code[16];
        if (!valid) {
            std::snprintf(code, sizeof code, "0x%02X", static_cast<unsigned char>(logDir[start]));
            errorText = ZULFormat(
                ZUL_TEXT("Settings", "The log directory contains the byte %1, which is no UTF-8 text"),
                {code});
            return false;
        }
        if (c < 0x80) {
            std::snprintf(code, sizeof code, "0x%02X", static_cast<unsigned>(c));
        } else {
            std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(c));
        }
        errorText = ZULFormat(
            ZUL_TEXT("Settings",
                     "The log directory contains the control character %1, which a folder name cannot hold"),
            {code});
        return false;
    }
    return true;
}

bool ZLoggerSettings::CheckIni(const ZULIniFile& ini, std::string& errorText) {
    std::string reason;
    if (CheckLogDir(ini.ReadString(IniSection, "LogDir", ""), reason)) {
        if (!ZFrameSettings::CheckIni(ini, errorText)) return false;
        if (ZFieldList::CheckIni(ini, reason)) return true;
    }
    errorText = ZULFormat(ZUL_TEXT("Settings", "The settings in file \"%1\" cannot be used: %2"),
                          {WithoutFolder(ini.FileName()), reason});
    return false;
}

const IZFrameCodec* ZFrameCodecOfMode(uint8_t mode) {
    switch (mode) {
        case cmSlip:
            return ZFrameCodecFor(feSlip);
        case cmCobs:
            return ZFrameCodecFor(feCobs);
        default:
            return nullptr;
    }
}

bool ZLoggerSettings::CheckTriggers(std::string& errorText) const {
    if (TriggerStart.empty() && CaptureMode >= cmFixedSize && CaptureMode <= cmBetweenTriggers) {
        errorText = ZULFormat(ZUL_TEXT("Settings", "You have to define a start trigger first!"));
        return false;
    }
    if (TriggerStop.empty() && ZStopTriggerEndsFrame(CaptureMode)) {
        errorText = ZULFormat(ZUL_TEXT("Settings", "You have to define a stop trigger first!"));
        return false;
    }
    return Frames.CheckCaptureMode(CaptureMode, errorText);
}

std::string DefaultLogDir() {
    return ZULGetAppDir() + "std_log_out/";
}

void ZLoggerSettings::SetDefaults() {
    LogDir = DefaultLogDir();
    TriggerStart.clear();
    TriggerStop.clear();
    CaptureMode = cmAllBytes;
    AddTimeStamp = true;
    MaxBytesInLogLine = 32;
    MaxLinesInLogFile = 500;
    ShowHexOutput = true;
    ShowASCIIOutput = true;
    SeparateHexAndASCII = false;
    LogStartTrigger = true;
    LogStopTrigger = true;
    LogDataField = true;
    LogAmountOfTrashedBytes = true;
    MaxBytesWithinTriggers = -1;
    BytesAfterTrigger = 0;
    StartAmountOfBytes = 0;
    AmountOfBytesWidth = 1;
    AmountOfBytesMSBFirst = true;
    Frames.SetDefaults();
    View = ZViewSettings();
    Reconnect = false;
    RawRecording = false;
    Fields = ZFieldList();
    ProxyLink.clear();
}

void ZLoggerSettings::Assign(const ZLoggerSettings& other) {
    if (this == &other) return;
    // Every member is a value (the triggers and the list own their elements), so
    // the member-wise copy is the deep copy.
    *this = other;
}

void ZLoggerSettings::SetTriggerStart(const int32_t* elements, int count) {
    TriggerStart.assign(elements, elements + (count > 0 ? count : 0));
}

void ZLoggerSettings::SetTriggerStop(const int32_t* elements, int count) {
    TriggerStop.assign(elements, elements + (count > 0 ? count : 0));
}

void ZLoggerSettings::WriteToIni(ZULIniFile& ini) const {
    const char* section = IniSection;
    ini.EraseSection(section);
    ini.WriteString(section, "LogDir", LogDir);
    WriteTrigger(ini, "TriggerStartSize", "TriggerStart_", TriggerStart);
    WriteTrigger(ini, "TriggerStopSize", "TriggerStop_", TriggerStop);
    ini.WriteInteger(section, "CaptureMode", CaptureMode);
    ini.WriteBool(section, "AddTimeStamp", AddTimeStamp);
    ini.WriteInteger(section, "MaxBytesInLogLine", MaxBytesInLogLine);
    ini.WriteInteger(section, "MaxLinesInLogFile", MaxLinesInLogFile);
    ini.WriteBool(section, "ShowHexOutput", ShowHexOutput);
    ini.WriteBool(section, "ShowASCIIOutput", ShowASCIIOutput);
    ini.WriteBool(section, "SeparateHexAndASCII", SeparateHexAndASCII);
    ini.WriteBool(section, "LogStartTrigger", LogStartTrigger);
    ini.WriteBool(section, "LogStopTrigger", LogStopTrigger);
    ini.WriteBool(section, "LogDataField", LogDataField);
    ini.WriteBool(section, "LogAmountOfTrashedBytes", LogAmountOfTrashedBytes);
    ini.WriteInteger(section, "MaxBytesWithinTriggers", MaxBytesWithinTriggers);
    ini.WriteInteger(section, "BytesAfterTrigger", BytesAfterTrigger);
    ini.WriteInteger(section, "StartAmountOfBytes", StartAmountOfBytes);
    ini.WriteInteger(section, "AmountOfBytesWidth", AmountOfBytesWidth);
    ini.WriteBool(section, "AmountOfBytesMSBFirst", AmountOfBytesMSBFirst);
    if (Reconnect) ini.WriteBool(section, "Reconnect", Reconnect);
    if (RawRecording) ini.WriteBool(section, "RawRecording", RawRecording);
    if (!ProxyLink.empty()) ini.WriteString(ProxyLinkSection, ProxyLinkKey, ProxyLink);
    DataTriggers.SaveToIni(ini);
    Frames.WriteToIni(ini);
    View.WriteToIni(ini);
    Send.WriteToIni(ini);
    Fields.WriteToIni(ini);
}

void ZLoggerSettings::ReadFromIni(const ZULIniFile& ini) {
    const char* section = IniSection;
    std::string logDir = ini.ReadString(section, "LogDir", LogDir);
    std::string refused;
    if (CheckLogDir(logDir, refused)) LogDir = std::move(logDir);
    TriggerStart = ReadTrigger(ini, "TriggerStartSize", "TriggerStart_");
    TriggerStop = ReadTrigger(ini, "TriggerStopSize", "TriggerStop_");
    CaptureMode = static_cast<uint8_t>(ini.ReadInteger(section, "CaptureMode", CaptureMode) & 0xFF);
    AddTimeStamp = ini.ReadBool(section, "AddTimeStamp", AddTimeStamp);
    MaxBytesInLogLine = ini.ReadInteger(section, "MaxBytesInLogLine", MaxBytesInLogLine);
    MaxLinesInLogFile = ini.ReadInteger(section, "MaxLinesInLogFile", MaxLinesInLogFile);
    ShowHexOutput = ini.ReadBool(section, "ShowHexOutput", ShowHexOutput);
    ShowASCIIOutput = ini.ReadBool(section, "ShowASCIIOutput", ShowASCIIOutput);
    SeparateHexAndASCII = ini.ReadBool(section, "SeparateHexAndASCII", SeparateHexAndASCII);
    LogStartTrigger = ini.ReadBool(section, "LogStartTrigger", LogStartTrigger);
    LogStopTrigger = ini.ReadBool(section, "LogStopTrigger", LogStopTrigger);
    LogDataField = ini.ReadBool(section, "LogDataField", LogDataField);
    LogAmountOfTrashedBytes = ini.ReadBool(section, "LogAmountOfTrashedBytes", LogAmountOfTrashedBytes);
    MaxBytesWithinTriggers = ini.ReadInteger(section, "MaxBytesWithinTriggers", MaxBytesWithinTriggers);
    BytesAfterTrigger = ini.ReadInteger(section, "BytesAfterTrigger", BytesAfterTrigger);
    StartAmountOfBytes = ini.ReadInteger(section, "StartAmountOfBytes", StartAmountOfBytes);
    AmountOfBytesWidth = ini.ReadInteger(section, "AmountOfBytesWidth", AmountOfBytesWidth);
    AmountOfBytesMSBFirst = ini.ReadBool(section, "AmountOfBytesMSBFirst", AmountOfBytesMSBFirst);
    // Written only when on, so a missing key means off, whatever was held before.
    Reconnect = ini.ReadBool(section, "Reconnect", false);
    RawRecording = ini.ReadBool(section, "RawRecording", false);
    ProxyLink = ini.ReadString(ProxyLinkSection, ProxyLinkKey, "");
    DataTriggers.LoadFromIni(ini);
    Frames.ReadFromIni(ini);
    View.ReadFromIni(ini);
    Send.ReadFromIni(ini);
    Fields.ReadFromIni(ini);
}
