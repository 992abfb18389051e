#include "ZFrameCodec.h"

#include <cstring>

#include "ZCobsCodec.h"
#include "ZSlipCodec.h"

namespace {

const ZSlipCodec Slip;
const ZCobsCodec Cobs;
constexpr const char* EncodingNames[] = {"none", "slip", "cobs"};

}  // namespace

const IZFrameCodec* ZFrameCodecFor(int32_t encoding) {
    switch (encoding) {
        case feSlip:
            return &Slip;
        case feCobs:
            return &Cobs;
        default:
            return nullptr;
    }
}

const char* ZFrameEncodingName(int32_t encoding) {
    return encoding >= feNone && encoding <= feCobs ? EncodingNames[encoding] : "unknown";
}

int32_t ZFrameEncodingFromName(const char* name) {
    for (int32_t encoding = feNone; encoding <= feCobs; ++encoding) {
        if (std::strcmp(name, EncodingNames[encoding]) == 0) return encoding;
    }
    return -1;
}
