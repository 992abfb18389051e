#pragma once
// Frame checksums: the algorithms a frame's checksum field can hold, computed
// incrementally over the bytes it covers, and the test whether a field holds the
// computed value. No state beyond the running value; any thread.

#include <cstddef>
#include <cstdint>
#include <string>

// Values of ZFrameSettings::ChecksumAlgorithm.
enum TChecksumAlgorithm : int32_t {
    caNone = 0,
    caXor8 = 1,
    caSum8 = 2,
    caSum8TwosComplement = 3,
    caCrc8 = 4,
    caCrc16Modbus = 5,
    caCrc16CcittFalse = 6,
    caCrc16Xmodem = 7,
    caCrc32 = 8,
    caFletcher8 = 9,
    caXor8Hex = 10,
};

constexpr int32_t ChecksumAlgorithmCount = 11;

// What a block says about its frame's checksum: no frame ends with it (or no
// checksum is set), or the frame it ends was right or wrong.
enum TFrameVerdict : uint8_t {
    fvNone = 0,
    fvGood = 1,
    fvBad = 2,
};

class ZChecksum {
public:
    // An algorithm outside 1 to 10 checks nothing (as caNone).
    explicit ZChecksum(int32_t algorithm);

    // Whether the algorithm checks anything.
    static bool IsActive(int32_t algorithm) {
        return algorithm > caNone && algorithm < ChecksumAlgorithmCount;
    }
    // Bytes its field takes in a frame: 1 for the 8-bit sums, 2 for the 16-bit ones,
    // Fletcher-8 (CK_A CK_B) and the two hexadecimal digits, 4 for CRC-32; 0 for none.
    static int FieldWidth(int32_t algorithm);
    // Its name for people ("none", "XOR-8", ...).
    static const char* Name(int32_t algorithm);
    // The algorithm of a number or a name as Name gives it (in any case); -1 for any other text.
    static int32_t FromName(const std::string& text);

    void Update(const uint8_t* bytes, size_t count);
    // The checksum of the bytes so far. Fletcher-8 gives CK_A in the high byte and CK_B
    // in the low one; the hexadecimal form gives the XOR value.
    uint32_t Value() const;
    // Whether the FieldWidth(algorithm) bytes at field hold Value(). With msbFirst the
    // first byte is the most significant; the hexadecimal digits are read in text order
    // and in either case.
    bool Matches(const uint8_t* field, bool msbFirst) const;

private:
    int32_t algorithm_;
    uint32_t value_ = 0;   // running register
    uint32_t second_ = 0;  // Fletcher-8's CK_B
};
