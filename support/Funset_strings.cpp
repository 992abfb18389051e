#include "Funset_strings.h"

#include <cerrno>
#include <cstring>

namespace {

// strerror_r comes in two shapes depending on the feature macros: the XSI one
// fills the buffer and returns a status, the GNU one returns the text (which may
// be a static string that ignores the buffer). Overloads pick whichever we got.
[[maybe_unused]] const char* ErrorTextOf(int status, const char* buffer) {
    return status == 0 ? buffer : nullptr;
}
[[maybe_unused]] const char* ErrorTextOf(const char* text, const char*) {
    return text;
}

}  // namespace

std::unique_ptr<char[]> CopyToNewBuffer(const std::string& text) {
    auto buffer = std::make_unique<char[]>(text.size() + 1);
    std::memcpy(buffer.get(), text.data(), text.size());
    buffer[text.size()] = '\0';
    return buffer;
}

std::string GetLastErrorText() {
    const int lastError = errno;  // before anything else can overwrite it
    return GetErrorText(lastError);
}

std::string GetErrorText(int errorNumber) {
    char buffer[256] = {};
    const char* text = ErrorTextOf(strerror_r(errorNumber, buffer, sizeof(buffer)), buffer);
    if (text == nullptr || *text == '\0') return "Unknown error " + std::to_string(errorNumber);
    return text;
}
