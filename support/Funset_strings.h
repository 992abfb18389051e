#pragma once

#include <memory>
#include <string>

// A newly allocated zero-terminated copy of text; the caller owns it.
std::unique_ptr<char[]> CopyToNewBuffer(const std::string& text);
// The system's message text for the calling thread's last error (errno).
std::string GetLastErrorText();
// The system's message text for the given error number.
std::string GetErrorText(int errorNumber);
