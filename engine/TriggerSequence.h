#pragma once
// Trigger sequences and the helpers that match them against received bytes and
// render bytes and sequences as text.
//
// A trigger element is a signed 32-bit value: 0..255 stands for that byte, 256
// (AnyByte) for any byte. Other values match and render by their low 8 bits and
// are saved and loaded unchanged. An empty sequence means "no trigger".

#include <cstdint>
#include <string>
#include <vector>

using TTriggerSequence = std::vector<int32_t>;

constexpr int32_t AnyByte = 256;

// True when every element is AnyByte or equals the byte at the same index (low 8 bits).
// Count 0 is a match.
bool MatchAt(const uint8_t* bytes, const int32_t* elements, int count);
// Earliest position p in 0..n-count where MatchAt holds, or -1 (also when n < count).
// Count 0 gives 0.
int FindTrigger(const uint8_t* bytes, int n, const int32_t* elements, int count);
// "0A 1E FF": upper-case pairs separated by one blank, none at the end.
std::string BytesToHex(const uint8_t* bytes, int count);
// One character per byte: 32..126 as themselves, every other byte as '.'.
std::string BytesToAscii(const uint8_t* bytes, int count);
// Elements as BytesToHex renders bytes: AnyByte as "??", any other element as its low 8 bits.
std::string TriggerToHex(const int32_t* elements, int count);
// Elements as BytesToAscii renders bytes: AnyByte as byte 00 ('.'), any other element as its low 8 bits.
std::string TriggerToAscii(const int32_t* elements, int count);

inline std::string TriggerToHex(const TTriggerSequence& t) {
    return TriggerToHex(t.data(), static_cast<int>(t.size()));
}
inline std::string TriggerToAscii(const TTriggerSequence& t) {
    return TriggerToAscii(t.data(), static_cast<int>(t.size()));
}
