#pragma once

#include <memory>
#include <string>

// A newly allocated zero-terminated copy of text; the caller owns it.
std::unique_ptr<char[]> CopyToNewBuffer(const std::string& text);
// The system's message text for the calling thread's last error (errno).
std::string GetLastErrorText();
// The system's message text for the given error number.
std::string GetErrorText(int errorNumber);

// Reads the UTF-8 character at text[at] into c and moves at past it. False for a byte
// that starts no valid character (overlong forms, surrogates and values above
// U+10FFFF included): at then moves past that one byte.
bool ZULNextCharacter(const std::string& text, size_t& at, char32_t& c);
// Appends c as UTF-8 (one to four bytes); c is a valid character (no surrogate,
// at most U+10FFFF).
void ZULAppendUtf8(std::string& out, char32_t c);
// Control characters (C0, DEL, C1) and the bidirectional embeddings, overrides and
// isolates (U+202A..U+202E, U+2066..U+2069), which can make a name read as another.
bool ZULIsControlCharacter(char32_t c);
