#include "TriggerSequence.h"

#include <cstring>

namespace {

constexpr char HexDigits[] = "0123456789ABCDEF";

uint8_t ElementByte(int32_t element) {
    return static_cast<uint8_t>(element == AnyByte ? 0 : element & 0xFF);
}

// Index of the first element that is not AnyByte, or count when there is none.
int FirstFixedElement(const int32_t* elements, int count) {
    int i = 0;
    while (i < count && elements[i] == AnyByte) ++i;
    return i;
}

std::string ElementsToBytes(const int32_t* elements, int count) {
    std::string bytes(static_cast<size_t>(count > 0 ? count : 0), '\0');
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(ElementByte(elements[i]));
    return bytes;
}

const uint8_t* AsBytes(const std::string& text) {
    return reinterpret_cast<const uint8_t*>(text.data());
}

}  // namespace

bool MatchAt(const uint8_t* bytes, const int32_t* elements, int count) {
    for (int i = 0; i < count; ++i) {
        if (elements[i] != AnyByte && bytes[i] != static_cast<uint8_t>(elements[i] & 0xFF)) return false;
    }
    return true;
}

int FindTrigger(const uint8_t* bytes, int n, const int32_t* elements, int count) {
    if (count <= 0) return 0;
    if (n < count) return -1;
    const int last = n - count;
    const int anchor = FirstFixedElement(elements, count);
    if (anchor == count) return 0;
    // Only positions where the first fixed element's byte occurs can match, and
    // memchr finds those far faster than trying every position.
    const auto wanted = static_cast<uint8_t>(elements[anchor] & 0xFF);
    const uint8_t* from = bytes + anchor;
    const uint8_t* end = bytes + anchor + last + 1;
    while (from < end) {
        const auto* hit =
            static_cast<const uint8_t*>(std::memchr(from, wanted, static_cast<size_t>(end - from)));
        if (hit == nullptr) return -1;
        const auto position = static_cast<int>(hit - bytes) - anchor;
        if (MatchAt(bytes + position, elements, count)) return position;
        from = hit + 1;
    }
    return -1;
}

std::string BytesToHex(const uint8_t* bytes, int count) {
    if (count <= 0) return {};
    std::string text(static_cast<size_t>(count) * 3 - 1, ' ');
    for (int i = 0; i < count; ++i) {
        text[static_cast<size_t>(i) * 3] = HexDigits[bytes[i] >> 4];
        text[static_cast<size_t>(i) * 3 + 1] = HexDigits[bytes[i] & 0x0F];
    }
    return text;
}

std::string BytesToAscii(const uint8_t* bytes, int count) {
    std::string text(static_cast<size_t>(count > 0 ? count : 0), '.');
    for (size_t i = 0; i < text.size(); ++i) {
        if (bytes[i] >= 32 && bytes[i] <= 126) text[i] = static_cast<char>(bytes[i]);
    }
    return text;
}

std::string TriggerToHex(const int32_t* elements, int count) {
    const std::string bytes = ElementsToBytes(elements, count);
    std::string text = BytesToHex(AsBytes(bytes), static_cast<int>(bytes.size()));
    for (int i = 0; i < count; ++i)
        if (elements[i] == AnyByte) text.replace(static_cast<size_t>(i) * 3, 2, "??");
    return text;
}

std::string TriggerToAscii(const int32_t* elements, int count) {
    const std::string bytes = ElementsToBytes(elements, count);
    return BytesToAscii(AsBytes(bytes), static_cast<int>(bytes.size()));
}
