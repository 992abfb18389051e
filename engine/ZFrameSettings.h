#pragma once
// How frames are checked: the checksum and where it sits in a frame, whether frames
// with a wrong checksum are left out of the log files, and the correction of a
// length field. Stored in the INI section "_frames", which is written only when a
// value differs from its default: a settings file without it means the defaults.
//
// A frame is what one cycle of modes 1 to 3 delivers (start trigger, data and, in
// cmBetweenTriggers, stop trigger, concatenated), read as
// [ChecksumSkipStart][covered bytes][ChecksumGap][checksum][ChecksumSkipEnd].

#include <cstdint>
#include <string>

class ZULIniFile;

class ZFrameSettings {
public:
    static constexpr const char* IniSection = "_frames";

    void SetDefaults() { *this = ZFrameSettings(); }
    bool IsDefault() const { return *this == ZFrameSettings(); }
    // Whether a checksum is checked (an algorithm from 1 to 10).
    bool ChecksumActive() const;

    // Erases the section, then writes all the checksum keys when any of them differs
    // from its default, and each Wireshark capture key that differs from its own.
    void WriteToIni(ZULIniFile& ini) const;
    // Without the section: the defaults. With it: each key read in place, a missing or
    // non-integer key keeps the value held before.
    void ReadFromIni(const ZULIniFile& ini);

    // The capture mode cannot carry a checksum (cmAllBytes has no frames): false with
    // the text the user reads.
    bool CheckCaptureMode(uint8_t captureMode, std::string& errorText) const;

    bool operator==(const ZFrameSettings& other) const = default;

    int32_t ChecksumAlgorithm = 0;  // a TChecksumAlgorithm
    int32_t ChecksumSkipStart = 0;
    int32_t ChecksumGap = 0;
    int32_t ChecksumSkipEnd = 0;
    bool ChecksumMSBFirst = true;
    bool DropBadFrames = false;
    // Added to the value of a cmDynamicSize length field; a result below 0 counts as 0.
    int32_t LengthAdjust = 0;

    // A Wireshark capture of the frames beside the log files ("<first log file's
    // name>.pcapng"), its packets named for the dissector PcapProtocol.
    bool PcapRecording = false;
    std::string PcapProtocol = "data";
};
