#include "ZFrameSettings.h"

#include "ZChecksum.h"
#include "ZULIniFile.h"
#include "ZULText.h"

bool ZFrameSettings::ChecksumActive() const {
    return ZChecksum::IsActive(ChecksumAlgorithm);
}

namespace {

// The checksum part of the settings, whose keys are written together.
bool ChecksumPartIsDefault(const ZFrameSettings& s) {
    const ZFrameSettings d;
    return s.ChecksumAlgorithm == d.ChecksumAlgorithm && s.ChecksumSkipStart == d.ChecksumSkipStart &&
           s.ChecksumGap == d.ChecksumGap && s.ChecksumSkipEnd == d.ChecksumSkipEnd &&
           s.ChecksumMSBFirst == d.ChecksumMSBFirst && s.DropBadFrames == d.DropBadFrames &&
           s.LengthAdjust == d.LengthAdjust;
}

std::string WithoutFolder(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

void ZFrameSettings::WriteToIni(ZULIniFile& ini) const {
    const char* section = IniSection;
    ini.EraseSection(section);
    // Files that never used these settings stay exactly as they were.
    const ZFrameSettings d;
    if (PreciseTime != d.PreciseTime) ini.WriteBool(section, "PreciseTime", PreciseTime);
    if (SilenceGap != d.SilenceGap) ini.WriteInteger(section, "SilenceGap", SilenceGap);
    if (SilenceGapMs != d.SilenceGapMs) ini.WriteInteger(section, "SilenceGapMs", SilenceGapMs);
    if (RawRecordingTimed != d.RawRecordingTimed)
        ini.WriteBool(section, "RawRecordingTimed", RawRecordingTimed);
    // Files written before the Wireshark capture existed stay byte-identical.
    if (PcapRecording != d.PcapRecording) ini.WriteBool(section, "PcapRecording", PcapRecording);
    if (PcapProtocol != d.PcapProtocol) ini.WriteString(section, "PcapProtocol", PcapProtocol);
    if (ChecksumPartIsDefault(*this)) return;
    ini.WriteInteger(section, "ChecksumAlgorithm", ChecksumAlgorithm);
    ini.WriteInteger(section, "ChecksumSkipStart", ChecksumSkipStart);
    ini.WriteInteger(section, "ChecksumGap", ChecksumGap);
    ini.WriteInteger(section, "ChecksumSkipEnd", ChecksumSkipEnd);
    ini.WriteBool(section, "ChecksumMSBFirst", ChecksumMSBFirst);
    ini.WriteBool(section, "DropBadFrames", DropBadFrames);
    ini.WriteInteger(section, "LengthAdjust", LengthAdjust);
}

void ZFrameSettings::ReadFromIni(const ZULIniFile& ini) {
    const char* section = IniSection;
    // The section is left out exactly when everything is at its default, so its
    // absence must not keep what an earlier file set.
    if (!ini.SectionExists(section)) {
        SetDefaults();
        return;
    }
    ChecksumAlgorithm = ini.ReadInteger(section, "ChecksumAlgorithm", ChecksumAlgorithm);
    ChecksumSkipStart = ini.ReadInteger(section, "ChecksumSkipStart", ChecksumSkipStart);
    ChecksumGap = ini.ReadInteger(section, "ChecksumGap", ChecksumGap);
    ChecksumSkipEnd = ini.ReadInteger(section, "ChecksumSkipEnd", ChecksumSkipEnd);
    ChecksumMSBFirst = ini.ReadBool(section, "ChecksumMSBFirst", ChecksumMSBFirst);
    DropBadFrames = ini.ReadBool(section, "DropBadFrames", DropBadFrames);
    LengthAdjust = ini.ReadInteger(section, "LengthAdjust", LengthAdjust);
    // Keys written only when they differ from the default: a missing one is the default.
    const ZFrameSettings d;
    PreciseTime = ini.ReadBool(section, "PreciseTime", d.PreciseTime);
    SilenceGap = ini.ReadInteger(section, "SilenceGap", d.SilenceGap);
    SilenceGapMs = ini.ReadInteger(section, "SilenceGapMs", d.SilenceGapMs);
    RawRecordingTimed = ini.ReadBool(section, "RawRecordingTimed", d.RawRecordingTimed);
    PcapRecording = ini.ReadBool(section, "PcapRecording", d.PcapRecording);
    PcapProtocol = ini.ReadString(section, "PcapProtocol", d.PcapProtocol);
}

bool ZFrameSettings::CheckIni(const ZULIniFile& ini, std::string& errorText) {
    const ZFrameSettings d;
    const int32_t gap = ini.ReadInteger(IniSection, "SilenceGap", d.SilenceGap);
    const int32_t gapMs = ini.ReadInteger(IniSection, "SilenceGapMs", d.SilenceGapMs);
    std::string reason;
    if (gap < 15 || gap > 1000)
        reason = ZULFormat(
            ZUL_TEXT("FrameSettings", "SilenceGap %1 is outside 15..1000 (tenths of a character time)"),
            {std::to_string(gap)});
    else if (gapMs < 0 || gapMs > 60000)
        reason = ZULFormat(ZUL_TEXT("FrameSettings", "SilenceGapMs %1 is outside 0..60000 (milliseconds)"),
                           {std::to_string(gapMs)});
    else
        return true;
    errorText = ZULFormat(ZUL_TEXT("Settings", "The settings in file \"%1\" cannot be used: %2"),
                          {WithoutFolder(ini.FileName()), reason});
    return false;
}

int64_t ZFrameSettings::SilenceGapMicros(const ZLineTiming& line) const {
    if (SilenceGapMs != 0) return int64_t{SilenceGapMs} * 1000;
    // A USB adapter hands bytes on once a millisecond or so: 3.5 characters of a fast
    // line would cut its frames apart, so the default keeps the line's least frame gap.
    // A count the user chose stands as chosen.
    if (SilenceGap == ZFrameSettings().SilenceGap) return line.FrameGapMicros();
    return line.CharacterTenthsMicros(SilenceGap);
}

bool ZFrameSettings::CheckCaptureMode(uint8_t captureMode, std::string& errorText) const {
    if (!ChecksumActive() || captureMode != 0) return true;
    errorText =
        ZULFormat(ZUL_TEXT("FrameSettings",
                           "A checksum is checked in frames only: choose a capture mode that frames (between "
                           "start and stop triggers, start trigger with a fixed or a dynamic size, or frames "
                           "separated by silence), or set the checksum to none!"));
    return false;
}
