#pragma once
// The Modbus RTU server that `kestrun-cli simulate --mode modbus` plays: unit 17
// with the holding registers 0..99 (register i starts at i x 257, writable),
// function 3 (read holding registers) and 6 (write single register). Other
// functions get exception 01, addresses outside 0..99 exception 02, a quantity of
// 0 or more than 125 exception 03. A frame for another unit or with a wrong CRC
// gets no answer, as the serial line rules say. Plain logic without I/O; one thread.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "ZChecksum.h"

class ZModbusDemoServer {
public:
    static constexpr uint8_t kUnit = 17;
    static constexpr int kRegisterCount = 100;
    static constexpr int kMaxReadQuantity = 125;

    ZModbusDemoServer() {
        for (int i = 0; i < kRegisterCount; ++i) registers_[i] = static_cast<uint16_t>(i * 257);
    }

    // Takes the next whole request off the front of received: at once for the
    // 8-byte requests of functions 3 and 6, otherwise when the line has been silent
    // for 3.5 characters (lineSilent), which ends any frame. False while none is complete.
    static bool TakeFrame(std::vector<uint8_t>& received, bool lineSilent, std::vector<uint8_t>& frame) {
        constexpr size_t kFixedRequest = 8;
        const bool fixed = received.size() >= 2 && (received[1] == 3 || received[1] == 6);
        size_t length = 0;
        if (fixed && received.size() >= kFixedRequest) {
            length = kFixedRequest;
        } else if (lineSilent && !received.empty()) {
            length = received.size();
        } else {
            return false;
        }
        frame.assign(received.begin(), received.begin() + static_cast<std::ptrdiff_t>(length));
        received.erase(received.begin(), received.begin() + static_cast<std::ptrdiff_t>(length));
        return true;
    }

    // The answer to one frame; empty when none is due.
    std::vector<uint8_t> Answer(const std::vector<uint8_t>& frame) {
        if (frame.size() < 4 || frame[0] != kUnit || !CrcMatches(frame)) return {};
        const uint8_t function = frame[1];
        if (function != 3 && function != 6) return Exception(function, 1);
        if (frame.size() != 8) return {};
        const int address = frame[2] << 8 | frame[3];
        const int value = frame[4] << 8 | frame[5];
        if (function == 3) {
            if (value < 1 || value > kMaxReadQuantity) return Exception(function, 3);
            if (address + value > kRegisterCount) return Exception(function, 2);
            std::vector<uint8_t> answer{kUnit, function, static_cast<uint8_t>(2 * value)};
            for (int i = address; i < address + value; ++i) {
                answer.push_back(static_cast<uint8_t>(registers_[i] >> 8));
                answer.push_back(static_cast<uint8_t>(registers_[i]));
            }
            return WithCrc(std::move(answer));
        }
        if (address >= kRegisterCount) return Exception(function, 2);
        registers_[address] = static_cast<uint16_t>(value);
        return frame;  // the echo of the request, its CRC included
    }

private:
    static bool CrcMatches(const std::vector<uint8_t>& frame) {
        ZChecksum crc(caCrc16Modbus);
        crc.Update(frame.data(), frame.size() - 2);
        return crc.Matches(frame.data() + frame.size() - 2, false);
    }

    static std::vector<uint8_t> WithCrc(std::vector<uint8_t> bytes) {
        ZChecksum crc(caCrc16Modbus);
        crc.Update(bytes.data(), bytes.size());
        bytes.push_back(static_cast<uint8_t>(crc.Value()));
        bytes.push_back(static_cast<uint8_t>(crc.Value() >> 8));
        return bytes;
    }

    static std::vector<uint8_t> Exception(uint8_t function, uint8_t code) {
        return WithCrc({kUnit, static_cast<uint8_t>(function | 0x80), code});
    }

    uint16_t registers_[kRegisterCount];
};
