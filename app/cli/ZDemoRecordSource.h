#pragma once
// The demonstration device's reports in the framings that need no trigger, one per
// frame:
//
//   lines:      "#000042 T=21.5 OK\r\n" ("ALARM" instead of "OK" on every eighth)
//   slip, cobs: a binary record of 9 bytes as one SLIP or COBS frame:
//               54 ('T'), sequence (n % 80 + 1), temperature in half degrees (20 to 79),
//               status (01 OK, 02 ALARM on every eighth), a diagnostic field of three
//               bytes, CRC-16/MODBUS over the seven before it, low byte first
//
// No byte but the first is 54, so the data trigger 54 ?? ?? 01 finds each "OK" record
// once. The diagnostic field is 01 01 and a filler byte below C0 that the device picks
// so that the record holds none of C0, DB and 00; every fiftieth record (n % 50 == 25) carries
// C0 DB 00 instead, which both framings have to escape. Every hundredth record
// (n % 100 == 37) has a wrong CRC (its complement), and every two hundredth frame
// (n % 200 == 77) is corrupted on the line so that it cannot be decoded: SLIP gets an
// escape DB 41, COBS a first code byte FF that points past the frame's end.
// Header-only: the benchmarks use it as well.

#include <cstdint>
#include <cstdio>
#include <vector>

#include "ZChecksum.h"
#include "ZFrameCodec.h"

enum class ZDemoFraming : uint8_t { Lines, Slip, Cobs };

struct ZDemoFramingInfo {
    ZDemoFraming Framing;
    const char* Name;          // the value of --mode
    const char* SettingsFile;  // in the samples folder
};

inline constexpr ZDemoFramingInfo kDemoFramings[] = {
    {ZDemoFraming::Lines, "lines", "demo_lines.scs"},
    {ZDemoFraming::Slip, "slip", "demo_slip.scs"},
    {ZDemoFraming::Cobs, "cobs", "demo_cobs.scs"},
};

class ZDemoRecordSource {
public:
    static constexpr int kRecordLength = 9;
    static constexpr uint8_t kRecordKind = 0x54;
    static constexpr uint8_t kStatusOk = 0x01;
    static constexpr uint8_t kStatusAlarm = 0x02;

    explicit ZDemoRecordSource(ZDemoFraming framing, uint32_t seed = 1) : framing_(framing), random_(seed) {}

    // Appends the next frame.
    void AppendFrame(std::vector<uint8_t>& out) {
        ++frames_;
        halfDegrees_ += static_cast<int>(Next() % 3) - 1;
        if (halfDegrees_ < 20) halfDegrees_ = 20;
        if (halfDegrees_ > 79) halfDegrees_ = 79;
        if (framing_ == ZDemoFraming::Lines) {
            AppendLine(out);
            return;
        }
        const std::vector<uint8_t> record = Record();
        const size_t at = out.size();
        ZFrameCodecFor(framing_ == ZDemoFraming::Slip ? feSlip : feCobs)
            ->Encode(record.data(), record.size(), out);
        if (frames_ % 200 != 77) return;
        if (framing_ == ZDemoFraming::Slip) {
            out.insert(out.begin() + static_cast<std::ptrdiff_t>(at + 1), {0xDB, 0x41});
        } else {
            out[at] = 0xFF;
        }
    }

    uint64_t FramesMade() const { return frames_; }

private:
    static bool IsSpecial(uint8_t byte) { return byte == 0xC0 || byte == 0xDB || byte == 0x00; }

    void AppendLine(std::vector<uint8_t>& out) const {
        char line[40];
        const int tenths = halfDegrees_ * 5;
        const int length =
            std::snprintf(line, sizeof line, "#%06u T=%d.%d %s\r\n", static_cast<unsigned>(frames_ % 1000000),
                          tenths / 10, tenths % 10, frames_ % 8 == 0 ? "ALARM" : "OK");
        out.insert(out.end(), line, line + length);
    }

    std::vector<uint8_t> Record() const {
        std::vector<uint8_t> record = {kRecordKind,
                                       static_cast<uint8_t>(frames_ % 80 + 1),
                                       static_cast<uint8_t>(halfDegrees_),
                                       frames_ % 8 == 0 ? kStatusAlarm : kStatusOk,
                                       0x01,
                                       0x01,
                                       0x01,
                                       0,
                                       0};
        const bool special = frames_ % 50 == 25;
        const bool wrong = frames_ % 100 == 37;
        if (special) {
            record[4] = 0xC0;
            record[5] = 0xDB;
            record[6] = 0x00;
        }
        // The filler makes the CRC, and the wrong one too, free of special bytes.
        for (int filler = 1; filler < 0xC0; ++filler) {
            if (!special) record[6] = static_cast<uint8_t>(filler);
            uint16_t crc = Crc(record);
            if (wrong) crc = static_cast<uint16_t>(~crc);
            record[7] = static_cast<uint8_t>(crc);
            record[8] = static_cast<uint8_t>(crc >> 8);
            if (special || (!IsSpecial(record[7]) && !IsSpecial(record[8]))) break;
        }
        return record;
    }

    static uint16_t Crc(const std::vector<uint8_t>& record) {
        ZChecksum crc(caCrc16Modbus);
        crc.Update(record.data(), kRecordLength - 2);
        return static_cast<uint16_t>(crc.Value());
    }

    uint32_t Next() {
        random_ = random_ * 1664525u + 1013904223u;
        return random_ >> 16;
    }

    ZDemoFraming framing_;
    uint32_t random_;
    uint64_t frames_ = 0;
    int halfDegrees_ = 43;
};
