#include "ZFrameCheck.h"

#include <algorithm>

namespace {

int64_t NonNegative(int32_t value) {
    return std::max<int64_t>(value, 0);
}

// Hands the frame bytes [begin, end) to visit piece by piece.
template <typename Visit>
void ForRange(const sFramePiece* pieces, int count, int64_t begin, int64_t end, Visit visit) {
    int64_t offset = 0;
    for (int i = 0; i < count && offset < end; ++i) {
        const int64_t length = std::max(pieces[i].Length, 0);
        const int64_t from = std::max(begin, offset);
        const int64_t to = std::min(end, offset + length);
        if (from < to) visit(pieces[i].Bytes + (from - offset), static_cast<size_t>(to - from));
        offset += length;
    }
}

}  // namespace

TFrameVerdict ZFrameCheck::Check(const ZFrameSettings& settings, const sFramePiece* pieces, int count) {
    if (!settings.ChecksumActive()) return fvNone;
    int64_t total = 0;
    for (int i = 0; i < count; ++i) total += std::max(pieces[i].Length, 0);
    const int64_t width = ZChecksum::FieldWidth(settings.ChecksumAlgorithm);
    const int64_t fieldEnd = total - NonNegative(settings.ChecksumSkipEnd);
    const int64_t fieldBegin = fieldEnd - width;
    const int64_t coveredBegin = NonNegative(settings.ChecksumSkipStart);
    const int64_t coveredEnd = fieldBegin - NonNegative(settings.ChecksumGap);
    if (coveredEnd < coveredBegin) return fvBad;

    ZChecksum checksum(settings.ChecksumAlgorithm);
    ForRange(pieces, count, coveredBegin, coveredEnd,
             [&checksum](const uint8_t* bytes, size_t length) { checksum.Update(bytes, length); });
    uint8_t field[4] = {};
    size_t filled = 0;
    ForRange(pieces, count, fieldBegin, fieldEnd, [&field, &filled](const uint8_t* bytes, size_t length) {
        std::copy(bytes, bytes + length, field + filled);
        filled += length;
    });
    return checksum.Matches(field, settings.ChecksumMSBFirst) ? fvGood : fvBad;
}
