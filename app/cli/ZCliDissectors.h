#pragma once
// Whether Wireshark knows a dissector name, as the command line warns about it.

#include <ostream>
#include <string>

// Writes one warning to err when tshark does not list name; nothing otherwise (also
// when tshark cannot tell). "data", which every Wireshark has, is not asked about.
// Blocks while tshark runs (ZListDissectors).
void ZCliWarnUnknownDissector(const std::string& name, std::ostream& err);
