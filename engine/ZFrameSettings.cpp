#include "ZFrameSettings.h"

#include "ZChecksum.h"
#include "ZULIniFile.h"

bool ZFrameSettings::ChecksumActive() const {
    return ZChecksum::IsActive(ChecksumAlgorithm);
}

void ZFrameSettings::WriteToIni(ZULIniFile& ini) const {
    const char* section = IniSection;
    ini.EraseSection(section);
    // Files that never used these settings stay exactly as they were.
    if (IsDefault()) return;
    const ZFrameSettings defaults;
    // Files written before the Wireshark capture existed stay byte-identical.
    if (PcapRecording != defaults.PcapRecording) ini.WriteBool(section, "PcapRecording", PcapRecording);
    if (PcapProtocol != defaults.PcapProtocol) ini.WriteString(section, "PcapProtocol", PcapProtocol);
    ZFrameSettings checksum = *this;
    checksum.PcapRecording = defaults.PcapRecording;
    checksum.PcapProtocol = defaults.PcapProtocol;
    if (checksum.IsDefault()) return;
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
    PcapRecording = ini.ReadBool(section, "PcapRecording", PcapRecording);
    PcapProtocol = ini.ReadString(section, "PcapProtocol", PcapProtocol);
}

bool ZFrameSettings::CheckCaptureMode(uint8_t captureMode, std::string& errorText) const {
    if (!ChecksumActive() || captureMode != 0) return true;
    errorText =
        "A checksum is checked in frames only: choose a capture mode with a start trigger, "
        "or set the checksum to none!";
    return false;
}
