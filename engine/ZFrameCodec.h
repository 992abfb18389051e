#pragma once
// A byte stuffing that frames a stream by one delimiter byte which never occurs
// inside an encoded frame (SLIP, COBS): the capture modes that decode such frames
// and the sends that encode them share it. Stateless; any thread.

#include <cstddef>
#include <cstdint>
#include <vector>

// Values of ZSendSequence::Encode: how a send is framed on the line.
enum TFrameEncoding : int32_t { feNone = 0, feSlip = 1, feCobs = 2 };

// What decoding one frame gave.
enum TDecodeResult : uint8_t {
    drDecoded = 0,  // the payload is in the output
    drCorrupt = 1,  // the bytes break the encoding's rules
    drTooLong = 2,  // the payload needs more room than the output has
};

class IZFrameCodec {
public:
    virtual ~IZFrameCodec() = default;

    // The byte that ends every encoded frame.
    virtual uint8_t Delimiter() const = 0;
    // Decodes the bytes of one frame, its delimiter left out (so they hold none), into
    // out, which holds capacity bytes. Stops at the first fault: the first of "corrupt"
    // and "too long" that a reader going from the front meets is the result.
    // decodedLength is the payload's length when the result is drDecoded.
    virtual TDecodeResult Decode(const uint8_t* encoded, int length, uint8_t* out, int capacity,
                                 int& decodedLength) const = 0;
    // Appends the frame of the bytes, as it goes on the line, delimiters included.
    virtual void Encode(const uint8_t* bytes, size_t length, std::vector<uint8_t>& out) const = 0;
};

// The codec of an encoding; null for feNone and for any value it does not know.
const IZFrameCodec* ZFrameCodecFor(int32_t encoding);
// The name the command line takes for an encoding: "none", "slip" or "cobs" ("unknown"
// for any other value); and the encoding of such a name (-1 for any other name).
const char* ZFrameEncodingName(int32_t encoding);
int32_t ZFrameEncodingFromName(const char* name);
