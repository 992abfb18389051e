#pragma once
// SLIP framing (RFC 1055): END (C0) ends a frame; inside it ESC (DB) followed by
// ESC_END (DC) stands for C0 and ESC followed by ESC_ESC (DD) for DB. An ESC
// followed by anything else, or by nothing, makes the frame corrupt. Encoded frames
// are sent with an END before and after, so the receiver drops the noise before.

#include "ZFrameCodec.h"

class ZSlipCodec : public IZFrameCodec {
public:
    static constexpr uint8_t End = 0xC0;
    static constexpr uint8_t Esc = 0xDB;
    static constexpr uint8_t EscEnd = 0xDC;
    static constexpr uint8_t EscEsc = 0xDD;

    uint8_t Delimiter() const override { return End; }
    TDecodeResult Decode(const uint8_t* encoded, int length, uint8_t* out, int capacity,
                         int& decodedLength) const override;
    void Encode(const uint8_t* bytes, size_t length, std::vector<uint8_t>& out) const override;
};
