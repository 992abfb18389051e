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

#include "ZLineTiming.h"

class ZULIniFile;

class ZFrameSettings {
public:
    static constexpr const char* IniSection = "_frames";

    void SetDefaults() { *this = ZFrameSettings(); }
    bool IsDefault() const { return *this == ZFrameSettings(); }
    // Whether a checksum is checked (an algorithm from 1 to 10).
    bool ChecksumActive() const;

    // Erases the section, then writes all the checksum keys when any of them differs
    // from its default, and each time key (PreciseTime, SilenceGap, SilenceGapMs,
    // RawRecordingTimed) and Wireshark capture key only when it differs, so older files stay byte for byte.
    void WriteToIni(ZULIniFile& ini) const;
    // Without the section: the defaults. With it: each key read in place, a missing or
    // non-integer key keeps the value held before.
    void ReadFromIni(const ZULIniFile& ini);

    // False, with a text for the user naming the file, when the section holds a
    // SilenceGap outside 15..1000 or a SilenceGapMs outside 0..60000.
    static bool CheckIni(const ZULIniFile& ini, std::string& errorText);
    // The silence that ends a frame in capture mode 4 on the line, in microseconds:
    // SilenceGapMs when set, else SilenceGap tenths of a character time, rounded to the
    // nearest microsecond; the default SilenceGap is the line's least frame gap, which
    // above 19200 baud is at least 1.75 ms.
    int64_t SilenceGapMicros(const ZLineTiming& line) const;
    // The same for a line of baudRate with a character of 1 start bit, dataBits,
    // parityBits and stopBits (1.5 allowed).
    int64_t SilenceGapMicros(int32_t baudRate, int dataBits, int parityBits, double stopBits) const {
        return SilenceGapMicros(ZLineTiming::Of(baudRate, dataBits, parityBits, stopBits));
    }

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
    // Reads wait for the port instead of the poll interval and carry the system time
    // to the microsecond; capture mode 4 implies it.
    bool PreciseTime = false;
    // Capture mode 4: a frame ends after this many tenths of a character time without
    // a byte (the default 3.5 characters: at least 1.75 ms above 19200 baud), or after
    // SilenceGapMs milliseconds when that is not 0.
    int32_t SilenceGap = 35;
    int32_t SilenceGapMs = 0;
    // The raw recording is a pcapng file with the time of every read.
    bool RawRecordingTimed = false;
};
