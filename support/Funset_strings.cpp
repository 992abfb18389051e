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

void ZULAppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

bool ZULNextCharacter(const std::string& text, size_t& at, char32_t& c) {
    const auto lead = static_cast<unsigned char>(text[at]);
    ++at;
    if (lead < 0x80) {
        c = lead;
        return true;
    }
    int more = 0;
    char32_t minimum = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        more = 1;
        minimum = 0x80;
        c = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        more = 2;
        minimum = 0x800;
        c = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        more = 3;
        minimum = 0x10000;
        c = lead & 0x07;
    } else {
        return false;
    }
    size_t next = at;
    for (int i = 0; i < more; ++i, ++next) {
        if (next >= text.size() || (static_cast<unsigned char>(text[next]) & 0xC0) != 0x80) return false;
        c = (c << 6) | (static_cast<unsigned char>(text[next]) & 0x3F);
    }
    if (c < minimum || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return false;
    at = next;
    return true;
}

bool ZULIsControlCharacter(char32_t c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || (c >= 0x202A && c <= 0x202E) ||
           (c >= 0x2066 && c <= 0x2069);
}
