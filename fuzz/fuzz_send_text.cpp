// What the Send page and the command line read from an entry: HEX pairs, or text with
// escapes. A text that reads gives bytes that SendBytesToText shows as printable text
// reading back to the same bytes; one that does not says why. The sequence built from
// the bytes holds them, then its checksum field, then its line end, whatever the
// checksum and its skip.

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "FuzzInput.h"
#include "ZChecksum.h"
#include "ZSendSequence.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TFuzzInput input(data, size);
    const bool hex = input.Flag();
    ZSendSequence sequence;
    sequence.Checksum = input.Byte() % (ChecksumAlgorithmCount + 1);
    sequence.ChecksumLSBFirst = input.Flag();
    sequence.LineEnd = input.Byte() % 4;
    sequence.ChecksumSkip = static_cast<int32_t>(input.Byte()) - 2;
    size_t taken = 0;
    const uint8_t* rest = input.Take(input.Left(), taken);
    const std::string text(reinterpret_cast<const char*>(rest), taken);

    std::string error;
    if (!(hex ? ParseSendHex(text, sequence.Data, error) : ParseSendText(text, sequence.Data, error))) {
        Require(!error.empty(), "a text that does not read says why");
        return 0;
    }
    const std::string shown = SendBytesToText(sequence.Data);
    for (char c : shown) Require(c >= 0x20 && c <= 0x7E, "the text shown is printable");
    std::vector<uint8_t> back;
    Require(ParseSendText(shown, back, error), "the text shown reads");
    Require(back == sequence.Data, "the text shown reads back to the same bytes");

    const std::vector<uint8_t> sent = sequence.BuildBytes();
    const size_t lineEnd = sequence.LineEnd == leCRLF ? 2 : sequence.LineEnd == leNone ? 0 : 1;
    const size_t field = ZChecksum::IsActive(sequence.Checksum) ? ZChecksum::FieldWidth(sequence.Checksum) : 0;
    Require(sent.size() == sequence.Data.size() + field + lineEnd, "data, checksum field and line end");
    Require(std::equal(sequence.Data.begin(), sequence.Data.end(), sent.begin()), "the data go first, unchanged");
    size_t first = 0;
    size_t end = 0;
    sequence.CoveredRange(first, end);
    Require(first <= end && end <= sequence.Data.size(), "the checksum covers bytes of the data");
    return 0;
}
