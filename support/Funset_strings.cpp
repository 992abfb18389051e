#include "Funset_strings.h"

#include <cerrno>
#include <cstring>

#include "ZULText.h"

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

// The texts of the error numbers a user meets on serial ports, files and network
// ports, marked for translation. Each is the C library's own text: a library that
// words one differently keeps its wording (GetErrorText compares before using it).
struct KnownError {
    int Number;
    ZULTextTemplate Text;
};
const KnownError KnownErrors[] = {
    {EPERM, ZUL_TEXT("SystemError", "Operation not permitted")},
    {ENOENT, ZUL_TEXT("SystemError", "No such file or directory")},
    {EINTR, ZUL_TEXT("SystemError", "Interrupted system call")},
    {EIO, ZUL_TEXT("SystemError", "Input/output error")},
    {ENXIO, ZUL_TEXT("SystemError", "No such device or address")},
    {E2BIG, ZUL_TEXT("SystemError", "Argument list too long")},
    {EBADF, ZUL_TEXT("SystemError", "Bad file descriptor")},
    {EAGAIN, ZUL_TEXT("SystemError", "Resource temporarily unavailable")},
    {ENOMEM, ZUL_TEXT("SystemError", "Cannot allocate memory")},
    {EACCES, ZUL_TEXT("SystemError", "Permission denied")},
    {EBUSY, ZUL_TEXT("SystemError", "Device or resource busy")},
    {EEXIST, ZUL_TEXT("SystemError", "File exists")},
    {ENODEV, ZUL_TEXT("SystemError", "No such device")},
    {ENOTDIR, ZUL_TEXT("SystemError", "Not a directory")},
    {EISDIR, ZUL_TEXT("SystemError", "Is a directory")},
    {EINVAL, ZUL_TEXT("SystemError", "Invalid argument")},
    {ENFILE, ZUL_TEXT("SystemError", "Too many open files in system")},
    {EMFILE, ZUL_TEXT("SystemError", "Too many open files")},
    {ENOTTY, ZUL_TEXT("SystemError", "Inappropriate ioctl for device")},
    {EFBIG, ZUL_TEXT("SystemError", "File too large")},
    {ENOSPC, ZUL_TEXT("SystemError", "No space left on device")},
    {EROFS, ZUL_TEXT("SystemError", "Read-only file system")},
    {EPIPE, ZUL_TEXT("SystemError", "Broken pipe")},
    {ENAMETOOLONG, ZUL_TEXT("SystemError", "File name too long")},
    {ELOOP, ZUL_TEXT("SystemError", "Too many levels of symbolic links")},
    {ENODATA, ZUL_TEXT("SystemError", "No data available")},
    {EPROTO, ZUL_TEXT("SystemError", "Protocol error")},
    {EADDRINUSE, ZUL_TEXT("SystemError", "Address already in use")},
    {EADDRNOTAVAIL, ZUL_TEXT("SystemError", "Cannot assign requested address")},
    {ENETDOWN, ZUL_TEXT("SystemError", "Network is down")},
    {ENETUNREACH, ZUL_TEXT("SystemError", "Network is unreachable")},
    {ECONNABORTED, ZUL_TEXT("SystemError", "Software caused connection abort")},
    {ECONNRESET, ZUL_TEXT("SystemError", "Connection reset by peer")},
    {ENOTCONN, ZUL_TEXT("SystemError", "Transport endpoint is not connected")},
    {ETIMEDOUT, ZUL_TEXT("SystemError", "Connection timed out")},
    {ECONNREFUSED, ZUL_TEXT("SystemError", "Connection refused")},
    {EHOSTDOWN, ZUL_TEXT("SystemError", "Host is down")},
    {EHOSTUNREACH, ZUL_TEXT("SystemError", "No route to host")},
    {EDQUOT, ZUL_TEXT("SystemError", "Disk quota exceeded")},
};

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
    for (const KnownError& known : KnownErrors)
        if (known.Number == errorNumber && std::strcmp(known.Text.Source, text) == 0)
            return ZULFormat(known.Text);
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
