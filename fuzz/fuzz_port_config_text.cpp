// The port configuration text as a settings file holds it: any text is accepted or
// refused without harm, and a configuration once written reads back to the same text.

#include <cstdint>
#include <string>

#include "FuzzInput.h"
#include "FuzzPortConfig.h"
#include "SerialConfigText.h"
#include "SerialTypes.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const TSerialConfig read = SerialConfigFromText(text, FuzzDefaultPortConfig());
    // A negative number is written with its sign inside the zero padding and does not
    // read back; no setter of the port makes one, only an edited text.
    const bool negative = read.COMPort < 0 || read.BufSizeTrm < 0 || read.BufSizeRec < 0 ||
                          read.XOffLimit < 0 || read.XOnLimit < 0 || read.RecTimeOut < 0 ||
                          read.TrmTimeOut < 0;
    if (!read.Valid || negative) return 0;
    const std::string written = SerialConfigToText(read);
    if (written.empty()) return 0;
    Require(written.size() == SerialConfigTextLength, "a written configuration has the fixed length");
    const TSerialConfig again = SerialConfigFromText(written, FuzzDefaultPortConfig());
    Require(again.Valid, "a written configuration is accepted");
    Require(SerialConfigToText(again) == written, "a written configuration reads back to the same text");
    return 0;
}
