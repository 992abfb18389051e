#pragma once
// Settings as one line of text: a fixed-width record of decimal digits behind the
// mark "RRS0", closed by a checksum (the exclusive-or of the 88 characters before it).

#include <string>

#include "SerialTypes.h"

constexpr size_t SerialConfigTextLength = 91;

// The text of config; "" when config is not valid.
std::string SerialConfigToText(const TSerialConfig& config);
// The settings of text over current; Valid tells whether the text was accepted.
// Fields read before a rejection keep the values read.
TSerialConfig SerialConfigFromText(const std::string& text, const TSerialConfig& current);
