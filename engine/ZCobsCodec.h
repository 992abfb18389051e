#pragma once
// COBS framing (Consistent Overhead Byte Stuffing): 00 ends a frame; inside it each
// code byte n (01 to FF) is followed by n - 1 data bytes and stands for them and a
// 00 after them, unless n is FF or the frame ends there. A code byte whose data
// bytes reach past the frame's end makes it corrupt. The encoder starts a new code
// after 254 data bytes and writes no empty code before the delimiter.

#include "ZFrameCodec.h"

class ZCobsCodec : public IZFrameCodec {
public:
    static constexpr uint8_t Zero = 0x00;
    static constexpr uint8_t LongestCode = 0xFF;

    uint8_t Delimiter() const override { return Zero; }
    TDecodeResult Decode(const uint8_t* encoded, int length, uint8_t* out, int capacity,
                         int& decodedLength) const override;
    void Encode(const uint8_t* bytes, size_t length, std::vector<uint8_t>& out) const override;
};
